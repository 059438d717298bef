// The emulated device's registry: keys under the four roots with their named, typed values, kept in a
// text file in the device folder. A damaged file never stops the device: what can be read is kept.
//
// File layout (UTF-8, one item per line, "\n" or "\r\n"):
//   vexlin-device-registry 1
//   key HKEY_LOCAL_MACHINE\Software\Apps\Vexlin
//   value <type in decimal> <data in hexadecimal, or -> <name to the end of the line>
// Value lines belong to the key line above them.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace device {

struct RegistryValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct RegistryKey {
    std::wstring path; // root name and subkeys, as first written
    std::vector<RegistryValue> values;
};

class DeviceRegistry {
public:
    // Limits that keep a hostile file or caller from making the device unusable.
    static const size_t kMaxFileBytes = 8 * 1024 * 1024;
    static const size_t kMaxNameLength = 255;
    static const size_t kMaxDataBytes = 1024 * 1024;

    DeviceRegistry();

    // "HKEY_LOCAL_MACHINE" and its kin for the four predefined roots, else empty.
    static std::wstring RootName(HKEY root);

    // The full path of `sub` below `base` (a full path). False with a registry error in *error when a
    // part is longer than kMaxNameLength or holds a control character.
    static bool Join(const std::wstring& base, const wchar_t* sub, std::wstring* path, LONG* error);

    bool Exists(const std::wstring& path) const;
    // Creates the key and any missing parents; *created tells whether the key itself is new.
    bool Create(const std::wstring& path, bool* created);
    // Deletes the key with everything below it. Roots cannot be deleted.
    LONG Delete(const std::wstring& path);
    // Direct subkey names in a stable order.
    std::vector<std::wstring> SubKeys(const std::wstring& path) const;
    RegistryKey* Find(const std::wstring& path);
    const RegistryKey* Find(const std::wstring& path) const;

    static RegistryValue* FindValue(RegistryKey* key, const std::wstring& name);
    // Checks a value before it is stored; a registry error code.
    static LONG CheckValue(const std::wstring& name, DWORD cbData);
    void SetValue(RegistryKey* key, const std::wstring& name, DWORD type, const BYTE* data, DWORD cbData);
    static bool DeleteValue(RegistryKey* key, const std::wstring& name);

    // Every key, roots first, in the same stable order.
    std::vector<const RegistryKey*> AllKeys() const;

    std::string Serialize() const;
    // Reads a file's text; a registry of what could be read. Returns false when the text is not a
    // registry at all (the result then holds the roots only).
    static bool Parse(const std::string& text, DeviceRegistry* registry);

    bool Load(const std::wstring& file);
    // Writes the text beside the file and then moves it over, so a failed write keeps the old file.
    bool Save(const std::wstring& file, const std::wstring& update) const;

private:
    std::map<std::wstring, RegistryKey> keys_; // by lower-case path
};

} // namespace device
