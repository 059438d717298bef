// Graphic: creation, BMP loading and saving, pixel and palette access, children, device contexts.
// Drawing lives in cea_graphic_draw.cpp.
#include "cea_graphic.h"

#include "cea_palette_group.h"
#include "cea_psp.h"
#include "cea_sprite.h"
#include "mem_manager.h"

#include <string.h>

namespace {

const char kPspSignature[] = "Paint Shop Pro Image File";
const DWORD kInfoHeaderSize = 40;
const DWORD kFileHeaderSize = 14;
// Larger images than this are refused: their pixel buffers would not fit the 32-bit sizes of the format.
const LONG kMaxDimension = 32767;

DWORD PitchFor(int width, int depth) { return ((static_cast<DWORD>(width) * depth + 31) / 32) * 4; }

DWORD MaskFor(int depth) { return depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1; }

bool IsSupportedDepth(int depth) {
    return depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

COLORREF QuadToColor(const RGBQUAD& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

DWORD ReadDword(const BYTE* p) {
    return p[0] | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

int ScreenDepth() {
    HDC screen = ::GetDC(nullptr);
    int depth = screen ? GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) : 32;
    if (screen) ::ReleaseDC(nullptr, screen);
    return IsSupportedDepth(depth) ? depth : 32;
}

// The palette a blank graphic gets when none is given: black and white for 1 bit, else the display's
// system palette. A display without a palette has none, so the stock default palette fills in.
void DefaultPalette(int depth, RGBQUAD* palette) {
    DWORD n = 1u << depth;
    memset(palette, 0, sizeof(RGBQUAD) * 256);
    if (depth == 1) {
        palette[1].rgbRed = palette[1].rgbGreen = palette[1].rgbBlue = 255;
        return;
    }
    PALETTEENTRY entries[256];
    memset(entries, 0, sizeof entries);
    HDC screen = ::GetDC(nullptr);
    UINT got = screen ? GetSystemPaletteEntries(screen, 0, n, entries) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    if (got == 0) {
        PALETTEENTRY stock[20];
        UINT count = GetPaletteEntries(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 0, 20, stock);
        for (UINT i = 0; i < count && i < 10 && i < n; ++i) entries[i] = stock[i];
        for (UINT i = 10; i < count && n >= 20; ++i) entries[n - 20 + i] = stock[i];
    }
    for (DWORD i = 0; i < n; ++i) {
        palette[i].rgbRed = entries[i].peRed;
        palette[i].rgbGreen = entries[i].peGreen;
        palette[i].rgbBlue = entries[i].peBlue;
    }
}

} // namespace

// ---- construction ----

Graphic::Graphic() { Clear(); }

Graphic::Graphic(int width, int height, int depth, const RGBQUAD* palette) {
    Clear();
    Create(width, height, depth, palette);
}

Graphic::Graphic(int width, int height, int depth, PaletteGroup* group) {
    Clear();
    RGBQUAD palette[256];
    const RGBQUAD* use = nullptr;
    if (group && depth != 0 && depth <= 8) {
        PALETTEENTRY entries[256];
        memset(entries, 0, sizeof entries);
        group->GetEntries(0, 256, entries);
        for (int i = 0; i < 256; ++i) {
            palette[i].rgbRed = entries[i].peRed;
            palette[i].rgbGreen = entries[i].peGreen;
            palette[i].rgbBlue = entries[i].peBlue;
            palette[i].rgbReserved = 0;
        }
        use = palette;
    }
    if (Create(width, height, depth, use) && group && depth_ <= 8) group->Join(this);
}

Graphic::Graphic(Sprite* sprite, const TCHAR* path, COLORREF transparent) {
    Clear();
    HANDLE file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD size = GetFileSize(file, nullptr);
    BYTE* data = size != INVALID_FILE_SIZE && size > 0 ? static_cast<BYTE*>(MEMALLOC(size)) : nullptr;
    DWORD read = 0;
    if (data && ReadFile(file, data, size, &read, nullptr) && read == size)
        Load(sprite, data, size, transparent);
    if (data) MEMFREE(data);
    CloseHandle(file);
}

Graphic::Graphic(Sprite* sprite, HANDLE file, COLORREF transparent) {
    Clear();
    LoadFromFile(sprite, file, transparent);
}

// An open file holds a BMP at its current position; only as many bytes as the headers promise are read.
void Graphic::LoadFromFile(Sprite* sprite, HANDLE file, COLORREF transparent) {
    BYTE start[2];
    DWORD read = 0;
    if (!ReadFile(file, start, 2, &read, nullptr) || read != 2) return;
    if (start[0] == 'B' && start[1] == 'M') {
        if (SetFilePointer(file, kFileHeaderSize - 2, nullptr, FILE_CURRENT) == INVALID_SET_FILE_POINTER)
            return;
    } else {
        SetFilePointer(file, -2, nullptr, FILE_CURRENT);
    }
    BITMAPINFOHEADER info;
    if (!ReadFile(file, &info, sizeof info, &read, nullptr) || read != sizeof info) return;
    SetFilePointer(file, -static_cast<LONG>(sizeof info), nullptr, FILE_CURRENT);
    int depth = info.biBitCount;
    LONG height = info.biHeight < 0 ? -info.biHeight : info.biHeight;
    if (!IsSupportedDepth(depth) || info.biWidth <= 0 || info.biWidth > kMaxDimension || height <= 0 ||
        height > kMaxDimension)
        return;
    DWORD size = kInfoHeaderSize + (depth <= 8 ? 4u << depth : 0) + PitchFor(info.biWidth, depth) * height;
    BYTE* data = static_cast<BYTE*>(MEMALLOC(size));
    if (!data) return;
    if (ReadFile(file, data, size, &read, nullptr) && read == size) Load(sprite, data, size, transparent);
    MEMFREE(data);
}

Graphic::Graphic(Sprite* sprite, HMODULE module, LPCTSTR name, COLORREF transparent) {
    Clear();
    HRSRC found = FindResource(module, name, RT_BITMAP);
    if (!found) found = FindResource(module, name, TEXT("GRAPHIC"));
    if (!found) found = FindResource(module, name, TEXT("PSP"));
    if (!found) return;
    HGLOBAL loaded = LoadResource(module, found);
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (data) Load(sprite, data, SizeofResource(module, found), transparent);
}

Graphic::Graphic(Sprite* sprite, const BYTE* data, DWORD size, COLORREF transparent) {
    Clear();
    Load(sprite, data, size, transparent);
}

Graphic::Graphic(Graphic* parent, const RECT* rect) {
    Clear();
    if (!parent || !parent->valid_) return;
    child_ = 1;
    parent_ = parent;
    rectInParent_ = rect ? *rect : parent->GetRect();
    // A child never reaches outside its parent.
    RECT bounds = parent->GetRect();
    if (!IntersectRect(&rectInParent_, &rectInParent_, &bounds)) SetRectEmpty(&rectInParent_);
    parent->AddChild(this);
}

Graphic::~Graphic() {
    if (!valid_) return;
    for (DWORD i = 0; i < childCount_; ++i) {
        Graphic* child = children_[i];
        if (!child) continue;
        children_[i] = nullptr;
        child->parent_ = nullptr; // keeps it from editing this list while it goes
        MEMDELETE(child);
    }
    if (children_) MEMFREE(children_);
    children_ = nullptr;
    childCount_ = 0;
    Empty();
    valid_ = 0;
}

void Graphic::Clear() {
    valid_ = 1;
    child_ = 0;
    parent_ = nullptr;
    SetRectEmpty(&rectInParent_);
    bitmap_ = nullptr;
    bits_ = nullptr;
    memset(palette_, 0, sizeof palette_);
    width_ = height_ = depth_ = 0;
    dc_ = nullptr;
    dcCount_ = 0;
    oldBitmap_ = nullptr;
    pitch_ = 0;
    valueMask_ = 0;
    group_ = nullptr;
    translucencyMode_ = kTranslucencyNone;
    translucencyValue_ = 0;
    opacity_ = nullptr;
    opacityHeight_ = opacityWidth_ = 0;
    transparent_ = kNoColor;
    prepared_ = kNoColor;
    maskBitmap_ = nullptr;
    runCapacity_ = runCount_ = 0;
    runs_ = nullptr;
    rowCapacity_ = rowCount_ = 0;
    rows_ = nullptr;
    selection_ = nullptr;
    selectionSize_ = 0;
    children_ = nullptr;
    childCount_ = 0;
}

// Back to the empty state; the child list survives (children follow a re-load of their root).
void Graphic::Empty() {
    if (child_) {
        if (parent_) parent_->RemoveChild(this);
        parent_ = nullptr;
    } else {
        if (group_) group_->Forget(this);
        group_ = nullptr;
        SetTranslucency(kTranslucencyNone, 0);
        FreeTransparencyTables();
        if (dc_) {
            SelectObject(dc_, oldBitmap_);
            DeleteDC(dc_);
        }
        if (bitmap_) DeleteObject(bitmap_);
        if (selection_) MEMFREE(selection_);
    }
    Graphic** children = children_;
    DWORD childCount = childCount_;
    Clear();
    children_ = children;
    childCount_ = childCount;
}

void Graphic::AddChild(Graphic* child) {
    for (DWORD i = 0; i < childCount_; ++i) {
        if (!children_[i]) {
            children_[i] = child;
            return;
        }
    }
    DWORD slot = childCount_;
    if (MEMREALLOC(Graphic*, children_, childCount_, slot + 1, 4)) children_[slot] = child;
}

void Graphic::RemoveChild(Graphic* child) {
    for (DWORD i = 0; i < childCount_; ++i)
        if (children_[i] == child) children_[i] = nullptr;
}

// A root re-made smaller keeps its children (they follow a re-load), but none may reach past its pixels.
void Graphic::ClipChildren() {
    RECT bounds = GetRect();
    for (DWORD i = 0; i < childCount_; ++i) {
        Graphic* child = children_[i];
        if (!child) continue;
        if (!IntersectRect(&child->rectInParent_, &child->rectInParent_, &bounds))
            SetRectEmpty(&child->rectInParent_);
        child->ClipChildren();
    }
}

BOOL Graphic::Create(int width, int height, int depth, const RGBQUAD* palette) {
    if (!valid_) return FALSE;
    Empty();
    if (child_) return FALSE;
    if (depth == 0) depth = ScreenDepth();
    if (!IsSupportedDepth(depth) || width <= 0 || height <= 0 || width > kMaxDimension ||
        height > kMaxDimension)
        return FALSE;
    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info;
    memset(&info, 0, sizeof info);
    DWORD pitch = PitchFor(width, depth);
    info.header.biSize = kInfoHeaderSize;
    info.header.biWidth = width;
    info.header.biHeight = -height;
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(depth);
    info.header.biCompression = BI_RGB;
    info.header.biSizeImage = pitch * height;
    if (depth <= 8) {
        DWORD n = 1u << depth;
        info.header.biClrUsed = n;
        if (palette)
            memcpy(info.colors, palette, n * sizeof(RGBQUAD));
        else
            DefaultPalette(depth, info.colors);
        memcpy(palette_, info.colors, n * sizeof(RGBQUAD));
    }
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP bitmap =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (screen) ::ReleaseDC(nullptr, screen);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        memset(palette_, 0, sizeof palette_);
        return FALSE;
    }
    bitmap_ = bitmap;
    bits_ = static_cast<BYTE*>(bits);
    width_ = width;
    height_ = height;
    depth_ = depth;
    pitch_ = pitch;
    valueMask_ = MaskFor(depth);
    ClipChildren();
    return TRUE;
}

BOOL Graphic::Load(Sprite* sprite, const BYTE* data, DWORD size, COLORREF transparent) {
    if (!valid_ || child_) return FALSE;
    Empty();
    if (!data) return FALSE;
    DWORD signatureLength = sizeof kPspSignature - 1;
    if (size > signatureLength && memcmp(data, kPspSignature, signatureLength) == 0) {
        if (ReadPsp(this, sprite, data, size, transparent)) return TRUE;
        Empty();
        return FALSE;
    }
    if (!LoadBmp(data, size)) {
        Empty();
        return FALSE;
    }
    SetTransparency(transparent);
    return TRUE;
}

// BMP data with or without its file header; rows bottom-up (positive height) or top-down.
BOOL Graphic::LoadBmp(const BYTE* data, DWORD size) {
    if (size < kFileHeaderSize) return FALSE;
    if (data[0] == 'B' && data[1] == 'M') {
        data += kFileHeaderSize;
        size -= kFileHeaderSize;
    }
    if (size < kInfoHeaderSize) return FALSE;
    BITMAPINFOHEADER info;
    memcpy(&info, data, sizeof info);
    int depth = info.biPlanes * info.biBitCount;
    if (info.biSize < kInfoHeaderSize || info.biPlanes != 1 || !IsSupportedDepth(depth) ||
        info.biCompression != BI_RGB || info.biWidth <= 0 || info.biWidth > kMaxDimension ||
        info.biHeight == 0 || info.biHeight > kMaxDimension || info.biHeight < -kMaxDimension)
        return FALSE;
    bool bottomUp = info.biHeight > 0;
    int height = bottomUp ? info.biHeight : -info.biHeight;
    DWORD header = kInfoHeaderSize + (depth <= 8 ? 4u << depth : 0);
    if (size < header) return FALSE;
    RGBQUAD palette[256];
    memset(palette, 0, sizeof palette);
    if (depth <= 8) memcpy(palette, data + kInfoHeaderSize, 4u << depth);
    if (!Create(info.biWidth, height, depth, depth <= 8 ? palette : nullptr)) return FALSE;
    DWORD image = pitch_ * height_;
    // Pixels are copied only when all of them are there; a short file leaves a blank image.
    if (size - header >= image) {
        memcpy(bits_, data + header, image);
        if (bottomUp && height_ > 1) {
            BYTE* row = static_cast<BYTE*>(MEMALLOC(pitch_));
            if (!row) return FALSE;
            for (int top = 0, bottom = height_ - 1; top < bottom; ++top, --bottom) {
                memcpy(row, bits_ + top * pitch_, pitch_);
                memcpy(bits_ + top * pitch_, bits_ + bottom * pitch_, pitch_);
                memcpy(bits_ + bottom * pitch_, row, pitch_);
            }
            MEMFREE(row);
        }
    }
    return TRUE;
}

// ---- relations and sizes ----

Graphic* Graphic::Root() {
    Graphic* g = this;
    while (g->child_ && g->parent_) g = g->parent_;
    return g->child_ ? nullptr : g;
}

const Graphic* Graphic::Root() const { return const_cast<Graphic*>(this)->Root(); }

BOOL Graphic::IsLoaded() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root && root->bits_ != nullptr;
}

RECT Graphic::GetRectInParent() const {
    RECT rect = {0, 0, 0, 0};
    if (valid_) rect = child_ ? rectInParent_ : GetRect();
    return rect;
}

RECT Graphic::GetRect() const {
    RECT rect = {0, 0, GetWidth(), GetHeight()};
    return rect;
}

int Graphic::GetWidth() const {
    if (!valid_) return 0;
    return child_ ? rectInParent_.right - rectInParent_.left : width_;
}

int Graphic::GetHeight() const {
    if (!valid_) return 0;
    return child_ ? rectInParent_.bottom - rectInParent_.top : height_;
}

int Graphic::GetDepth() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root ? root->depth_ : 0;
}

DWORD Graphic::GetPitch() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root ? root->pitch_ : 0;
}

BYTE* Graphic::GetBits() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root ? root->bits_ : nullptr;
}

const RGBQUAD* Graphic::GetPalette() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root ? root->palette_ : nullptr;
}

PaletteGroup* Graphic::GetPaletteGroup() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root ? root->group_ : nullptr;
}

void Graphic::SetPaletteGroup(PaletteGroup* group) {
    Graphic* root = valid_ ? Root() : nullptr;
    if (root) root->group_ = group;
}

// ---- transparency, translucency, selection ----

COLORREF Graphic::GetTransparency() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root ? root->transparent_ : kNoColor;
}

void Graphic::SetTransparency(COLORREF colour) {
    Graphic* root = valid_ ? Root() : nullptr;
    if (!root) return;
    root->transparent_ = colour;
}

BOOL Graphic::IsTranslucent() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root && root->translucencyMode_ != kTranslucencyNone;
}

void Graphic::GetTranslucency(int* mode, BYTE* value) const {
    const Graphic* root = valid_ ? Root() : nullptr;
    if (mode) *mode = root ? root->translucencyMode_ : 0;
    if (value) *value = root ? root->translucencyValue_ : 0;
}

BOOL Graphic::SetTranslucency(int mode, BYTE value) {
    Graphic* root = valid_ ? Root() : nullptr;
    if (!root) return FALSE;
    if (root != this) return root->SetTranslucency(mode, value);
    if (mode == translucencyMode_ && value == translucencyValue_) return TRUE;
    if (opacity_) MEMFREE(opacity_);
    opacity_ = nullptr;
    opacityWidth_ = opacityHeight_ = 0;
    translucencyMode_ = mode;
    translucencyValue_ = value;
    if (mode == kTranslucencyMap) {
        DWORD cbOpacity = static_cast<DWORD>(width_) * height_;
        opacity_ = static_cast<BYTE*>(MEMALLOC(cbOpacity));
        if (!opacity_) {
            translucencyMode_ = kTranslucencyNone;
            translucencyValue_ = 0;
            return FALSE;
        }
        memset(opacity_, 128, cbOpacity);
        opacityWidth_ = width_;
        opacityHeight_ = height_;
    }
    return TRUE;
}

BOOL Graphic::SetOpacityFromGraphic(Graphic* source) {
    Graphic* root = valid_ ? Root() : nullptr;
    if (!root || !source || !source->IsLoaded() || source->GetWidth() != GetWidth() ||
        source->GetHeight() != GetHeight())
        return FALSE;
    if (!root->SetTranslucency(kTranslucencyMap, 128)) return FALSE;
    int width = GetWidth(), height = GetHeight();
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < root->width_; ++x) {
            BYTE level = 0;
            if (x < width) {
                COLORREF c = source->GetPixelColor(x, y);
                level = static_cast<BYTE>((GetRValue(c) + GetGValue(c) + GetBValue(c)) / 3);
            }
            root->opacity_[y * root->width_ + x] = level;
        }
    }
    return TRUE;
}

BYTE* Graphic::GetOpacityMap() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root ? root->opacity_ : nullptr;
}

BOOL Graphic::HasSelection() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root && root->selection_ != nullptr;
}

BOOL Graphic::GetSelection(BYTE** selection, DWORD* size) const {
    *selection = nullptr;
    *size = 0;
    const Graphic* root = valid_ ? Root() : nullptr;
    if (!root || !root->bits_) return FALSE;
    int width = GetWidth(), height = GetHeight();
    int left = 0, top = 0;
    for (const Graphic* g = this; g->child_; g = g->parent_) {
        left += g->rectInParent_.left;
        top += g->rectInParent_.top;
    }
    DWORD bytes = static_cast<DWORD>(width) * height;
    BYTE* buffer = static_cast<BYTE*>(MEMALLOC(bytes));
    if (!buffer) return FALSE;
    memset(buffer, 0, bytes);
    if (root->selection_) {
        for (int y = 0; y < height; ++y)
            memcpy(buffer + y * width, root->selection_ + (top + y) * root->width_ + left, width);
    }
    *selection = buffer;
    *size = bytes;
    return TRUE;
}

void Graphic::FreeSelection(BYTE* selection) {
    if (selection) MEMFREE(selection);
}

void Graphic::AdoptSelection(BYTE* selection, DWORD size) {
    Graphic* root = valid_ ? Root() : nullptr;
    if (!root || size != static_cast<DWORD>(root->width_) * root->height_) {
        if (selection) MEMFREE(selection);
        return;
    }
    if (root->selection_) MEMFREE(root->selection_);
    root->selection_ = selection;
    root->selectionSize_ = size;
}

// ---- pixels and colours ----

DWORD Graphic::GetPixelValue(int x, int y) const {
    if (!valid_) return 0xFFFFFFFF;
    if (child_) {
        if (!parent_ || x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) return 0xFFFFFFFF;
        return parent_->GetPixelValue(x + rectInParent_.left, y + rectInParent_.top);
    }
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return 0xFFFFFFFF;
    const BYTE* row = bits_ + y * pitch_;
    const BYTE* p = row + (x * depth_) / 8;
    switch (depth_) {
    case 8:
        return *p;
    case 16:
        return p[0] | p[1] << 8;
    case 24:
        return p[0] | p[1] << 8 | p[2] << 16;
    case 32:
        return ReadDword(p);
    default:
        return (*p >> (8 - depth_ - (x * depth_) % 8)) & valueMask_;
    }
}

void Graphic::SetPixelValue(int x, int y, DWORD value) {
    if (!valid_) return;
    if (child_) {
        if (parent_ && x >= 0 && y >= 0 && x < GetWidth() && y < GetHeight())
            parent_->SetPixelValue(x + rectInParent_.left, y + rectInParent_.top, value);
        return;
    }
    if (!bits_ || x < 0 || y < 0 || x >= width_ || y >= height_) return;
    BYTE* p = bits_ + y * pitch_ + (x * depth_) / 8;
    switch (depth_) {
    case 8:
        *p = static_cast<BYTE>(value);
        break;
    case 16:
        p[0] = static_cast<BYTE>(value);
        p[1] = static_cast<BYTE>(value >> 8);
        break;
    case 24:
        p[0] = static_cast<BYTE>(value);
        p[1] = static_cast<BYTE>(value >> 8);
        p[2] = static_cast<BYTE>(value >> 16);
        break;
    case 32:
        memcpy(p, &value, 4);
        break;
    default: {
        int shift = 8 - depth_ - (x * depth_) % 8;
        *p = static_cast<BYTE>((*p & ~(valueMask_ << shift)) | ((value & valueMask_) << shift));
    }
    }
}

COLORREF Graphic::GetPixelColor(int x, int y) const {
    DWORD value = GetPixelValue(x, y);
    return value == 0xFFFFFFFF && GetDepth() != 32 ? kNoColor : ValueToColor(value);
}

void Graphic::SetPixelColor(int x, int y, COLORREF colour) { SetPixelValue(x, y, ColorToValue(colour)); }

DWORD Graphic::ColorToValue(COLORREF colour) const {
    const Graphic* root = valid_ ? Root() : nullptr;
    if (!root) return 0;
    BYTE r = GetRValue(colour), g = GetGValue(colour), b = GetBValue(colour);
    switch (root->depth_) {
    case 1:
    case 2:
    case 4:
    case 8:
        for (DWORD i = 0; i < (1u << root->depth_); ++i) {
            const RGBQUAD& q = root->palette_[i];
            if (q.rgbRed == r && q.rgbGreen == g && q.rgbBlue == b) return i;
        }
        return 0;
    case 16:
        return (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);
    case 24:
    case 32:
        return b | g << 8 | r << 16;
    default:
        return 0;
    }
}

COLORREF Graphic::ValueToColor(DWORD value) const {
    const Graphic* root = valid_ ? Root() : nullptr;
    if (!root) return kNoColor;
    switch (root->depth_) {
    case 1:
    case 2:
    case 4:
    case 8: {
        DWORD last = (1u << root->depth_) - 1;
        return QuadToColor(root->palette_[value < last ? value : last]);
    }
    case 16:
        return RGB(((value >> 10) & 31) << 3, ((value >> 5) & 31) << 3, (value & 31) << 3);
    case 24:
    case 32:
        return RGB((value >> 16) & 255, (value >> 8) & 255, value & 255);
    default:
        return kNoColor;
    }
}

COLORREF Graphic::GetPaletteColor(DWORD index) const {
    const Graphic* root = valid_ ? Root() : nullptr;
    if (!root || root->depth_ == 0 || root->depth_ > 8 || index >= (1u << root->depth_)) return kNoColor;
    return QuadToColor(root->palette_[index]);
}

// A DIB section's colour table is fixed at creation, so a new palette means a new DIB holding the same
// bits; everything that hangs off the graphic is carried across.
BOOL Graphic::SetPaletteEntries(const PALETTEENTRY* entries, DWORD first, DWORD count) {
    Graphic* root = valid_ ? Root() : nullptr;
    if (!root || !root->bits_ || root->depth_ > 8) return FALSE;
    if (root != this) return root->SetPaletteEntries(entries, first, count);
    DWORD n = 1u << depth_;
    if (first >= n) return TRUE;
    if (count > n - first) count = n - first;
    RGBQUAD table[256];
    memcpy(table, palette_, sizeof table);
    for (DWORD i = 0; i < count; ++i) {
        table[first + i].rgbRed = entries[i].peRed;
        table[first + i].rgbGreen = entries[i].peGreen;
        table[first + i].rgbBlue = entries[i].peBlue;
        table[first + i].rgbReserved = 0;
    }
    if (memcmp(table, palette_, n * sizeof(RGBQUAD)) == 0) return TRUE;
    if (dcCount_) return FALSE; // the open context holds the old bitmap
    COLORREF transparent = transparent_;
    SetTransparency(kNoColor);
    DWORD cbBits = pitch_ * height_;
    BYTE* saved = static_cast<BYTE*>(MEMALLOC(cbBits));
    if (!saved) {
        SetTransparency(transparent);
        return FALSE;
    }
    memcpy(saved, bits_, cbBits);
    int mode = translucencyMode_;
    BYTE value = translucencyValue_;
    BYTE* opacity = opacity_;
    BYTE* selection = selection_;
    DWORD selectionSize = selectionSize_;
    PaletteGroup* group = group_;
    opacity_ = nullptr;
    translucencyMode_ = kTranslucencyNone;
    selection_ = nullptr;
    group_ = nullptr; // not a departure from the group: it comes back below
    int width = width_, height = height_, depth = depth_;
    BOOL created = Create(width, height, depth, table);
    if (created) memcpy(bits_, saved, cbBits);
    MEMFREE(saved);
    group_ = group;
    selection_ = selection;
    selectionSize_ = selectionSize;
    translucencyMode_ = mode;
    translucencyValue_ = value;
    opacity_ = opacity;
    opacityWidth_ = width;
    opacityHeight_ = height;
    SetTransparency(transparent);
    return created;
}

// ---- device contexts ----

HDC Graphic::GetDC() {
    Graphic* root = valid_ ? Root() : nullptr;
    if (!root || !root->bitmap_) return nullptr;
    if (root->dcCount_ == 0) {
        HDC screen = ::GetDC(nullptr);
        root->dc_ = CreateCompatibleDC(screen);
        if (screen) ::ReleaseDC(nullptr, screen);
        if (!root->dc_) return nullptr;
        root->oldBitmap_ = SelectObject(root->dc_, root->bitmap_);
    }
    ++root->dcCount_;
    return root->dc_;
}

void Graphic::ReleaseDC() {
    Graphic* root = valid_ ? Root() : nullptr;
    if (!root || root->dcCount_ == 0) return;
    if (--root->dcCount_ == 0) {
        GdiFlush();
        SelectObject(root->dc_, root->oldBitmap_);
        DeleteDC(root->dc_);
        root->dc_ = nullptr;
        root->oldBitmap_ = nullptr;
    }
}

BOOL Graphic::HasOpenDC() const {
    const Graphic* root = valid_ ? Root() : nullptr;
    return root && root->dcCount_ > 0;
}

// ---- saving ----

namespace {

bool WriteAll(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

} // namespace

// Rows of 1, 2 and 4 bits are packed pixel by pixel, since a child's rectangle may start inside a byte.
// Two bits per pixel exists on the handheld displays only; desktop viewers may not open such a file.
BOOL Graphic::Save(HANDLE file) {
    Graphic* root = valid_ ? Root() : nullptr;
    int depth = GetDepth();
    if (!root || !root->bits_ || !IsSupportedDepth(depth)) return FALSE;
    int width = GetWidth(), height = GetHeight();
    if (width <= 0 || height <= 0) return FALSE;
    DWORD pitch = PitchFor(width, depth);
    DWORD paletteBytes = depth <= 8 ? 4u << depth : 0;
    BITMAPFILEHEADER fileHeader;
    memset(&fileHeader, 0, sizeof fileHeader);
    fileHeader.bfType = 0x4D42;
    fileHeader.bfOffBits = kFileHeaderSize + kInfoHeaderSize + paletteBytes;
    fileHeader.bfSize = fileHeader.bfOffBits + pitch * height;
    BITMAPINFOHEADER info;
    memset(&info, 0, sizeof info);
    info.biSize = kInfoHeaderSize;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = static_cast<WORD>(depth);
    info.biCompression = BI_RGB;
    info.biSizeImage = pitch * height;
    if (depth <= 8) info.biClrUsed = info.biClrImportant = 1u << depth;
    bool ok = WriteAll(file, &fileHeader, kFileHeaderSize) && WriteAll(file, &info, kInfoHeaderSize) &&
              (paletteBytes == 0 || WriteAll(file, root->palette_, paletteBytes));
    BYTE* row = ok ? static_cast<BYTE*>(MEMALLOC(pitch)) : nullptr;
    ok = ok && row;
    int left = 0, top = 0;
    for (Graphic* g = this; g->child_; g = g->parent_) {
        left += g->rectInParent_.left;
        top += g->rectInParent_.top;
    }
    DWORD bytesPerPixel = depth / 8;
    for (int y = height - 1; ok && y >= 0; --y) {
        memset(row, 0, pitch);
        if (depth >= 8) {
            memcpy(row, root->bits_ + (top + y) * root->pitch_ + left * bytesPerPixel, width * bytesPerPixel);
        } else {
            for (int x = 0; x < width; ++x) {
                DWORD bit = static_cast<DWORD>(x) * depth;
                row[bit / 8] |=
                    static_cast<BYTE>(root->GetPixelValue(left + x, top + y) << (8 - depth - bit % 8));
            }
        }
        ok = WriteAll(file, row, pitch);
    }
    if (row) MEMFREE(row);
    return ok;
}

// ---- colour text ----

void ColorToString(COLORREF colour, TCHAR text[8]) {
    static const char digits[] = "0123456789ABCDEF";
    BYTE channels[3] = {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
    text[0] = TEXT('#');
    for (int i = 0; i < 3; ++i) {
        text[1 + 2 * i] = digits[channels[i] >> 4];
        text[2 + 2 * i] = digits[channels[i] & 15];
    }
    text[7] = 0;
}

COLORREF ColorFromString(const TCHAR* text) {
    if (!text) return 0;
    if (*text == TEXT('#')) ++text;
    DWORD value = 0;
    for (int i = 0; i < 6; ++i) {
        TCHAR c = text[i];
        DWORD digit;
        if (c >= TEXT('0') && c <= TEXT('9'))
            digit = c - TEXT('0');
        else if (c >= TEXT('A') && c <= TEXT('F'))
            digit = c - TEXT('A') + 10;
        else if (c >= TEXT('a') && c <= TEXT('f'))
            digit = c - TEXT('a') + 10;
        else
            return 0;
        value = value << 4 | digit;
    }
    return RGB(value >> 16, (value >> 8) & 255, value & 255) | 0x02000000;
}
