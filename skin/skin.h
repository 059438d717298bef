// `Skin`: a skin archive turned into ready resources — "skin.txt" read into properties, every ".psp" and
// ".bmp" member made a picture sharing one palette group, ".wav" members made sounds, ".txt" members
// texts — answering property, style and picture questions for a control type and variant. Opening throws
// cetl::exception with the archive reader's texts, the map's text for a missing "skin.txt", and the
// picture texts of GetControlGraphics.
#pragma once

#include <windows.h>

#include "cetl_list.h"
#include "cetl_map.h"
#include "properties.h"
#include "skingraphics.h"
#include "skinprops.h"
#include "tl_string.h"

class Graphic;
class PaletteGroup;
class Sound;
class SkinFonts;
class ZipEntry;
class ZipFile;

// One member of the skin, or a picture the program added ("VexlinSetup Frame.psp").
struct SKINFILE {
    string name;
    string text;      // ".txt" members
    Graphic* picture; // ".psp" and ".bmp" members (registered as "SPRITE"); null when unreadable
    Sound* sound;     // ".wav" members (registered as "SOUND")
    const BYTE* data; // the member's bytes until converted
    DWORD size;
    ZipEntry* entry; // the archive member the bytes came from, unloaded after conversion
    SKINFILE() : picture(nullptr), sound(nullptr), data(nullptr), size(0), entry(nullptr) {}
    ~SKINFILE();
};

class Skin {
public:
    Skin();
    ~Skin();

    // Open from a program resource (the installer's is type "ZIP", identifier 800), a file or a copy of
    // bytes. Each throws on failure and leaves the skin closed.
    void OpenResource(HMODULE module, LPCTSTR name, LPCTSTR type);
    void OpenFile(LPCTSTR path);
    void OpenMemory(const void* data, DWORD size);
    void Close();

    // A property through the variant and override rules; empty when absent.
    string GetProperty(const string& key, const Properties* overrides, const string& variant) const;
    string GetProperty(const TCHAR* key) const { return GetProperty(string(key), nullptr, string()); }
    // Sets a property as a line "key = value" of the key file would, replacing the file's own value.
    void SetProperty(const string& key, const string& value);
    void GetWindowStyle(SKINWINDOWSTYLE* style, const Properties* overrides, const string& variant) const;
    void GetTextStyle(SKINTEXTSTYLE* style, DWORD code, const Properties* overrides,
                      const string& variant) const;

    // "variant type.psp", "variant type.bmp", "type.psp", "type.bmp": the first that exists, or null.
    Graphic* FindPicture(const string& type, const string& variant) const;
    // The picture cut by the grid of `code` (made once, kept with the skin). A missing picture throws
    // "the skin %s is missing the %s %s image" unless the code's top bit is set or the type is "text",
    // which give null.
    SKINCONTROLGRAPHICS* GetControlGraphics(const string& type, DWORD code, const string& variant);

    SKINFILE* FindFile(const string& name) const;
    // Takes ownership of a record (made with MEMNEW); a record of the same name is replaced.
    void AddFile(SKINFILE* file);
    DWORD GetFileCount() const { return files_.size(); }
    const cetl::stringmap<SKINFILE*>& GetFiles() const { return files_; }

    const Properties& GetProperties() const { return properties_; }
    PaletteGroup* GetPaletteGroup() const { return group_; }
    COLORREF GetTransparentColor() const { return transparent_; }
    SkinFonts* GetFonts() const { return fonts_; }

private:
    Skin(const Skin&) = delete;
    Skin& operator=(const Skin&) = delete;
    // Turns the open archive's members into records and resources.
    void Convert();

    cetl::stringmap<SKINFILE*> files_;
    Properties properties_;
    PaletteGroup* group_;
    ZipFile* archive_;
    COLORREF transparent_;
    cetl::list<SKINCONTROLGRAPHICS*> controlGraphics_;
    SkinFonts* fonts_;
};
