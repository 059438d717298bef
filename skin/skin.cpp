// Skin archives: opening, conversion of members, property and picture questions.
#include "skin.h"

#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "cea_sound.h"
#include "cetl_exception.h"
#include "mem_manager.h"
#include "skinfonts.h"
#include "zip_file.h"

namespace {

// Whether a name ends in a suffix such as ".psp", without regard to case.
bool EndsWith(const string& name, const TCHAR* suffix) {
    DWORD length = name.GetLength(), suffixLength = tstrlen(suffix);
    return length >= suffixLength && lstrcmpi(name.GetChars(length - suffixLength), suffix) == 0;
}

template <class T>
T* Register(T* object, const char* tag, const char* file, LONG line) {
    return static_cast<T*>(MemRegisterObject(object, sizeof(T), tag, file, line));
}

} // namespace

SKINFILE::~SKINFILE() {
    if (picture) MEMDELETE(picture);
    if (sound) MEMDELETE(sound);
}

Skin::Skin()
    : files_(0.5f, 16, nullptr), group_(nullptr), archive_(nullptr), transparent_(kNoColor), fonts_(nullptr) {
    fonts_ = MEMNEW(SkinFonts, ());
}

Skin::~Skin() {
    Close();
    if (fonts_) MEMDELETE(fonts_);
}

void Skin::Close() {
    for (SKINCONTROLGRAPHICS* graphics : controlGraphics_) MEMDELETE(graphics);
    controlGraphics_.clear();
    for (SKINFILE* file : files_) MEMDELETE(file);
    files_.clear();
    properties_.clear();
    if (archive_) MEMDELETE(archive_);
    archive_ = nullptr;
    if (group_) MEMDELETE(group_);
    group_ = nullptr;
    transparent_ = kNoColor;
}

void Skin::OpenResource(HMODULE module, LPCTSTR name, LPCTSTR type) {
    Close();
    archive_ = NEW_ZIPFILE();
    try {
        archive_->OpenResource(module, name, type, FALSE);
        Convert();
    } catch (...) {
        Close();
        throw;
    }
}

void Skin::OpenFile(LPCTSTR path) {
    Close();
    archive_ = NEW_ZIPFILE();
    try {
        archive_->OpenFile(path, FALSE);
        Convert();
    } catch (...) {
        Close();
        throw;
    }
}

void Skin::OpenMemory(const void* data, DWORD size) {
    Close();
    archive_ = NEW_ZIPFILE();
    try {
        archive_->OpenMemory(data, size, FALSE);
        Convert();
    } catch (...) {
        Close();
        throw;
    }
}

void Skin::Convert() {
    for (ZipFile::iterator it = archive_->begin(); it != archive_->end(); ++it) {
        ZipEntry* entry = *it;
        SKINFILE* file = Register(new SKINFILE, "SKINFILE", __FILE__, __LINE__);
        file->name = entry->GetName();
        file->data = entry->GetData();
        file->size = entry->GetSize();
        file->entry = entry;
        AddFile(file);
    }

    for (SKINFILE* file : files_) {
        if (EndsWith(file->name, TEXT(".wav"))) {
            file->sound = Register(new Sound(file->data, file->size), "SOUND", __FILE__, __LINE__);
        } else if (EndsWith(file->name, TEXT(".txt"))) {
            // The text stops at a zero byte, should a member carry one.
            file->text = string(reinterpret_cast<const CHAR*>(file->data), 0, file->size);
        } else {
            continue;
        }
        if (file->entry) file->entry->Unload();
        file->data = nullptr;
        file->size = 0;
    }

    // A skin without its key file fails with the map's own text.
    const SKINFILE* key = files_.at(istring(TEXT("skin.txt")));
    ReadProperties(properties_, key->text.GetChars(), key->text.GetLength(), kPropertiesMerge);

    string transparent = properties_.lookup(istring(TEXT("transparent color"))).text;
    transparent_ = transparent.IsEmpty() ? kNoColor : ParsePropertyColor(transparent, kNoColor);

    group_ = Register(new PaletteGroup, "PALETTEGROUP", __FILE__, __LINE__);
    group_->Open();
    for (SKINFILE* file : files_) {
        // BMP members become pictures too, through the same loader as PSP ones.
        if (!EndsWith(file->name, TEXT(".psp")) && !EndsWith(file->name, TEXT(".bmp"))) continue;
        Graphic* picture = Register(new Graphic(nullptr, file->data, file->size, transparent_), "SPRITE",
                                    __FILE__, __LINE__);
        if (picture && !picture->IsLoaded()) {
            // An unreadable picture is no picture: a control that needs it reports it missing.
            MEMDELETE(picture);
            picture = nullptr;
        }
        file->picture = picture;
        if (picture) group_->Add(picture);
        if (file->entry) file->entry->Unload();
        file->data = nullptr;
        file->size = 0;
    }
    group_->Close();
}

string Skin::GetProperty(const string& key, const Properties* overrides, const string& variant) const {
    return LookupProperty(properties_, key, overrides, variant);
}

void Skin::SetProperty(const string& key, const string& value) {
    string line = key + TEXT(" = ") + value;
    ReadProperties(properties_, line.Psz(), line.GetLength(), kPropertiesMerge);
}

void Skin::GetWindowStyle(SKINWINDOWSTYLE* style, const Properties* overrides, const string& variant) const {
    ReadWindowStyle(properties_, style, overrides, variant);
}

void Skin::GetTextStyle(SKINTEXTSTYLE* style, DWORD code, const Properties* overrides,
                        const string& variant) const {
    ReadTextStyle(properties_, style, code, overrides, variant);
}

SKINFILE* Skin::FindFile(const string& name) const { return files_.get(istring(name), nullptr); }

void Skin::AddFile(SKINFILE* file) {
    if (!file) return;
    istring name(file->name);
    SKINFILE* old = files_.get(name, nullptr);
    if (old == file) return;
    if (old) {
        // Cut-up forms of the old picture go with it.
        for (cetl::list<SKINCONTROLGRAPHICS*>::iterator it = controlGraphics_.begin();
             it != controlGraphics_.end();) {
            if ((*it)->picture == old->picture) {
                MEMDELETE(*it);
                it = controlGraphics_.erase(it);
            } else {
                ++it;
            }
        }
        MEMDELETE(old);
    }
    files_.set(name, file);
}

Graphic* Skin::FindPicture(const string& type, const string& variant) const {
    static const TCHAR* const suffixes[2] = {TEXT(".psp"), TEXT(".bmp")};
    if (!variant.IsEmpty()) {
        for (const TCHAR* suffix : suffixes) {
            SKINFILE* file = FindFile(variant + TEXT(" ") + type + suffix);
            if (file && file->picture) return file->picture;
        }
    }
    for (const TCHAR* suffix : suffixes) {
        SKINFILE* file = FindFile(type + suffix);
        if (file && file->picture) return file->picture;
    }
    return nullptr;
}

SKINCONTROLGRAPHICS* Skin::GetControlGraphics(const string& type, DWORD code, const string& variant) {
    Graphic* picture = FindPicture(type, variant);
    if (!picture) {
        if ((code & kSkinGridExplicit) || type.CompareNoCase(TEXT("text")) == 0) return nullptr;
        string message(TEXT("the skin "));
        message += GetProperty(TEXT("skin"));
        message += TEXT(" is missing the ");
        message += variant;
        message += TEXT(" ");
        message += type;
        message += TEXT(" image");
        throw cetl::exception(message);
    }
    for (SKINCONTROLGRAPHICS* graphics : controlGraphics_)
        if (graphics->picture == picture && graphics->code == code) return graphics;
    SKINCONTROLGRAPHICS* graphics = MEMNEW(SKINCONTROLGRAPHICS, (picture, code));
    try {
        controlGraphics_.push_back(graphics);
    } catch (...) {
        MEMDELETE(graphics);
        throw;
    }
    return graphics;
}
