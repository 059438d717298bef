// The toolkit's platform calls, desktop and device branch side by side.
#include "sl_internal.h"

#include "mem_manager.h"

namespace {

const DWORD kMaxFileRead = 64u << 20;

// The parent key's handle and the last part of a subkey.
bool SplitLastKey(const string& subKey, string* parent, string* last) {
    DWORD cut = subKey.ReverseFind('\\');
    if (cut == string::npos) {
        *parent = "";
        *last = subKey;
    } else {
        *parent = subKey.Mid(0, cut);
        *last = subKey.Mid(cut + 1);
    }
    return last->GetLength() > 0;
}

HKEY OpenKey(RapiLink* link, HKEY root, const string& subKey, REGSAM access) {
    HKEY key = nullptr;
    LONG result = link ? CeRegOpenKeyEx(link, root, subKey.Psz16(), 0, access, &key)
                       : RegOpenKeyExA(root, subKey.Psz8(), 0, access, &key);
    return result == ERROR_SUCCESS ? key : nullptr;
}

void CloseKey(RapiLink* link, HKEY key) {
    if (link)
        CeRegCloseKey(link, key);
    else
        RegCloseKey(key);
}

} // namespace

DWORD SlGetAttributes(RapiLink* link, const string& path) {
    return link ? CeGetFileAttributes(link, path.Psz16()) : GetFileAttributesA(path.Psz8());
}

bool SlExists(RapiLink* link, const string& path) {
    return SlGetAttributes(link, path) != INVALID_FILE_ATTRIBUTES;
}

bool SlSetAttributes(RapiLink* link, const string& path, DWORD attributes) {
    return (link ? CeSetFileAttributes(link, path.Psz16(), attributes)
                 : SetFileAttributesA(path.Psz8(), attributes)) != FALSE;
}

bool SlCreateFolder(RapiLink* link, const string& path) {
    return (link ? CeCreateDirectory(link, path.Psz16(), nullptr) : CreateDirectoryA(path.Psz8(), nullptr)) !=
           FALSE;
}

bool SlRemoveFolder(RapiLink* link, const string& path) {
    return (link ? CeRemoveDirectory(link, path.Psz16()) : RemoveDirectoryA(path.Psz8())) != FALSE;
}

bool SlDeleteFile(RapiLink* link, const string& path) {
    return (link ? CeDeleteFile(link, path.Psz16()) : DeleteFileA(path.Psz8())) != FALSE;
}

bool SlMoveFile(RapiLink* link, const string& from, const string& to) {
    return (link ? CeMoveFile(link, from.Psz16(), to.Psz16()) : MoveFileA(from.Psz8(), to.Psz8())) != FALSE;
}

bool SlReplaceFile(RapiLink* link, const string& from, const string& to) {
    if (!link)
        return MoveFileExA(from.Psz8(), to.Psz8(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
               FALSE;
    CeDeleteFile(link, to.Psz16());
    return CeMoveFile(link, from.Psz16(), to.Psz16()) != FALSE;
}

bool SlReadFile(RapiLink* link, const string& path, BYTE** bytes, DWORD* count) {
    *bytes = nullptr;
    *count = 0;
    HANDLE file = link ? CeCreateFile(link, path.Psz16(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                       : CreateFileA(path.Psz8(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    DWORD size = link ? CeGetFileSize(link, file, &high) : GetFileSize(file, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= kMaxFileRead;
    BYTE* buffer = ok && size ? static_cast<BYTE*>(MEMALLOC(size)) : nullptr;
    if (size && !buffer) ok = false;
    DWORD done = 0;
    while (ok && done < size) {
        DWORD read = 0;
        BOOL result = link ? CeReadFile(link, file, buffer + done, size - done, &read, nullptr)
                           : ReadFile(file, buffer + done, size - done, &read, nullptr);
        if (!result || read == 0) ok = false;
        done += read;
    }
    if (link)
        CeCloseHandle(link, file);
    else
        CloseHandle(file);
    if (!ok) {
        if (buffer) MEMFREE(buffer);
        return false;
    }
    *bytes = buffer;
    *count = size;
    return true;
}

string SlRegistryPath(HKEY root, const string& subKey) {
    const CHAR* prefix = root == HKEY_LOCAL_MACHINE  ? "HKLM\\"
                         : root == HKEY_CURRENT_USER ? "HKCU\\"
                         : root == HKEY_CLASSES_ROOT ? "HKCR\\"
                                                     : "";
    return string(prefix) + subKey;
}

void SlSplitRegistryPath(const string& path, HKEY* root, string* subKey) {
    static const struct {
        const CHAR* prefix;
        HKEY root;
    } roots[] = {
        {"HKLM\\", HKEY_LOCAL_MACHINE}, {"HKCU\\", HKEY_CURRENT_USER}, {"HKCR\\", HKEY_CLASSES_ROOT}};
    for (const auto& r : roots) {
        if (path.CompareNoCase(r.prefix, 5) == 0) {
            *root = r.root;
            *subKey = path.Mid(5);
            return;
        }
    }
    *root = HKEY_CURRENT_USER;
    *subKey = path;
}

bool SlRegKeyExists(RapiLink* link, HKEY root, const string& subKey) {
    HKEY key = OpenKey(link, root, subKey, KEY_READ);
    if (key) CloseKey(link, key);
    return key != nullptr;
}

bool SlRegCreateKey(RapiLink* link, HKEY root, const string& subKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG result =
        link ? CeRegCreateKeyEx(link, root, subKey.Psz16(), 0, nullptr, 0, 0, nullptr, &key, &disposition)
             : RegCreateKeyExA(root, subKey.Psz8(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                               &disposition);
    if (result != ERROR_SUCCESS) return false;
    CloseKey(link, key);
    return true;
}

bool SlRegSetValue(RapiLink* link, HKEY root, const string& subKey, const string& name, DWORD type,
                   const void* data, DWORD size) {
    HKEY key = OpenKey(link, root, subKey, KEY_ALL_ACCESS);
    if (!key) return false;
    BYTE* bytes = static_cast<BYTE*>(const_cast<void*>(data));
    LONG result = link ? CeRegSetValueEx(link, key, name.Psz16(), 0, type, bytes, size)
                       : RegSetValueExA(key, name.Psz8(), 0, type, bytes, size);
    CloseKey(link, key);
    return result == ERROR_SUCCESS;
}

bool SlRegSetString(RapiLink* link, HKEY root, const string& subKey, const string& name, const string& text) {
    if (link) return SlRegSetValue(link, root, subKey, name, REG_SZ, text.Psz16(), text.GetLength() * 2 + 2);
    return SlRegSetValue(link, root, subKey, name, REG_SZ, text.Psz8(), text.GetLength() + 1);
}

string SlRegReadText(RapiLink* link, HKEY root, const string& subKey, const string& name) {
    HKEY key = OpenKey(link, root, subKey, KEY_READ);
    if (!key) return string();
    string text;
    if (link) {
        // The device answers in UTF-16: room for 1024 characters.
        WCHAR buffer[1024 + 1];
        DWORD type = 0, size = 1024 * sizeof(WCHAR);
        if (CeRegQueryValueEx(link, key, name.Psz16(), nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                              &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            buffer[size / 2 < 1024 ? size / 2 : 1024] = 0;
            text = buffer;
        }
    } else {
        CHAR buffer[1024 + 1];
        DWORD type = 0, size = 1024;
        if (RegQueryValueExA(key, name.Psz8(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ)) {
            buffer[size < 1024 ? size : 1024] = 0;
            text = buffer;
        }
    }
    CloseKey(link, key);
    return text;
}

bool SlRegDeleteValue(RapiLink* link, HKEY root, const string& subKey, const string& name) {
    HKEY key = OpenKey(link, root, subKey, KEY_ALL_ACCESS);
    if (!key) return false;
    LONG result = link ? CeRegDeleteValue(link, key, name.Psz16()) : RegDeleteValueA(key, name.Psz8());
    CloseKey(link, key);
    return result == ERROR_SUCCESS;
}

bool SlRegDeleteKey(RapiLink* link, HKEY root, const string& subKey) {
    string parent, last;
    if (!SplitLastKey(subKey, &parent, &last)) return false;
    HKEY key = parent.IsEmpty() ? root : OpenKey(link, root, parent, KEY_ALL_ACCESS);
    if (!key) return false;
    LONG result = link ? CeRegDeleteKey(link, key, last.Psz16()) : RegDeleteKeyA(key, last.Psz8());
    if (key != root) CloseKey(link, key);
    return result == ERROR_SUCCESS;
}

bool SlRegDeleteEmptyKey(RapiLink* link, HKEY root, const string& subKey) {
    HKEY key = OpenKey(link, root, subKey, KEY_READ);
    if (!key) return false;
    bool empty;
    if (link) {
        WCHAR name[256];
        DWORD cch = 256;
        // Only "no more items" means none: a name too long for the buffer is still a subkey or value.
        empty = CeRegEnumKeyEx(link, key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_NO_MORE_ITEMS;
        cch = 256;
        if (empty)
            empty = CeRegEnumValue(link, key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_NO_MORE_ITEMS;
    } else {
        DWORD subKeys = 1, values = 1;
        empty = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                 nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
                subKeys == 0 && values == 0;
    }
    CloseKey(link, key);
    return empty && SlRegDeleteKey(link, root, subKey);
}
