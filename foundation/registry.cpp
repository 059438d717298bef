// Registry keys, values and versioned records.
#include "registry.h"

#include "mem_manager.h"

#include <string.h>

namespace {

const char kFile[] = "c:\\src\\wince\\common\\registry";
// MAXIMUM_ALLOWED: keys are opened with every right the caller may have.
const REGSAM kAccess = 0x10000000;

BYTE* AllocateBytes(DWORD size, const char* tag, LONG line) {
    return static_cast<BYTE*>(MemAlloc(size, tag, kFile, line));
}

void ParsePath(const string& path, HKEY& root, string& subKey) {
    struct Root {
        const TCHAR* name;
        HKEY key;
    };
    static const Root roots[] = {{TEXT("HKLM"), HKEY_LOCAL_MACHINE},
                                 {TEXT("HKCU"), HKEY_CURRENT_USER},
                                 {TEXT("HKCR"), HKEY_CLASSES_ROOT}};
    for (const Root& r : roots) {
        string prefix(r.name);
        prefix += TEXT("\\");
        if (path.CompareNoCase(prefix.Psz(), 5) == 0 && path.GetLength() >= 5) {
            root = r.key;
            subKey = path.Mid(5);
            return;
        }
    }
    for (const Root& r : roots) {
        if (path.CompareNoCase(r.name) == 0) {
            root = r.key;
            subKey = TEXT("");
            return;
        }
    }
    root = HKEY_CURRENT_USER;
    subKey = path;
}

} // namespace

RegData::RegData(const void* data, DWORD size, bool copy) : data_(nullptr), _cbData(0), owned_(false) {
    if (!copy) {
        data_ = static_cast<BYTE*>(const_cast<void*>(data));
        _cbData = size;
        return;
    }
    BYTE* bytes = AllocateBytes(size, "cbData", __LINE__);
    if (!bytes) return;
    if (size) memcpy(bytes, data, size);
    Adopt(bytes, size);
}

RegData::RegData(const RegData& other) : data_(nullptr), _cbData(0), owned_(false) { *this = other; }

RegData& RegData::operator=(const RegData& other) {
    if (this == &other) return *this;
    BYTE* bytes = AllocateBytes(other._cbData, "_cbData", __LINE__);
    if (bytes && other._cbData) memcpy(bytes, other.data_, other._cbData);
    Clear();
    if (bytes) Adopt(bytes, other._cbData);
    return *this;
}

RegData::~RegData() { Clear(); }

void RegData::Adopt(BYTE* data, DWORD size) {
    Clear();
    data_ = data;
    _cbData = size;
    owned_ = true;
}

void RegData::Clear() {
    if (owned_ && data_) MemFree(data_, kFile, __LINE__);
    data_ = nullptr;
    _cbData = 0;
    owned_ = false;
}

RegKey::RegKey(const string& path) : options_(0), root_(HKEY_CURRENT_USER) {
    ParsePath(path, root_, subKey_);
}

RegKey::RegKey(DWORD options, const string& path) : options_(options), root_(HKEY_CURRENT_USER) {
    ParsePath(path, root_, subKey_);
}

RegKey::RegKey(const RegKey& parent, const string& name)
    : options_(parent.options_), root_(parent.root_), subKey_(parent.subKey_ / name) {}

HKEY RegKey::Create() const {
    HKEY handle = nullptr;
    DWORD disposition;
    if (RegCreateKeyEx(root_, subKey_.Psz(), 0, nullptr, 0, kAccess, nullptr, &handle, &disposition) !=
        ERROR_SUCCESS)
        return nullptr;
    return handle;
}

HKEY RegKey::Open() const {
    HKEY handle = nullptr;
    if (RegOpenKeyEx(root_, subKey_.Psz(), 0, kAccess, &handle) != ERROR_SUCCESS) return nullptr;
    return handle;
}

void RegKey::Close(HKEY handle) const {
    if (handle) RegCloseKey(handle);
}

bool RegKey::DeleteValue(const string& name) const {
    HKEY handle = Open();
    if (!handle) return false;
    bool deleted = RegDeleteValue(handle, name.Psz()) == ERROR_SUCCESS;
    Close(handle);
    return deleted;
}

bool RegKey::DeleteKey(const string& name) const {
    HKEY handle = Open();
    if (!handle) return false;
    bool deleted = RegDeleteKey(handle, name.Psz()) == ERROR_SUCCESS;
    Close(handle);
    return deleted;
}

bool RegKey::DeleteTree(const string& name) const {
    RegKey child(*this, name);
    HKEY handle = child.Open();
    if (handle) {
        TCHAR subName[520];
        // Each pass deletes the first sub-key, so index 0 always names the next one.
        for (;;) {
            DWORD length = sizeof subName / sizeof subName[0];
            if (RegEnumKeyEx(handle, 0, subName, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (!child.DeleteTree(string(subName))) break; // never loop on a sub-key that will not go
        }
        child.Close(handle);
    }
    return DeleteKey(name);
}

RegValue::RegValue(const string& path, const string& name) : RegKey(path), name_(name) {}

RegValue::RegValue(const RegKey& key, const string& name) : RegKey(key), name_(name) {}

DWORD RegValue::GetSize() const {
    DWORD size = 0;
    return Query(nullptr, nullptr, &size) ? size : 0;
}

DWORD RegValue::GetType() const {
    DWORD type = 0, size = 0;
    return Query(&type, nullptr, &size) ? type : 0;
}

bool RegValue::Query(DWORD* type, void* buffer, DWORD* size) const {
    HKEY handle = Open();
    if (!handle) return false;
    LONG result = RegQueryValueEx(handle, Name().Psz(), nullptr, type, static_cast<BYTE*>(buffer), size);
    Close(handle);
    return result == ERROR_SUCCESS;
}

bool RegValue::Set(DWORD type, const void* data, DWORD size) const {
    HKEY handle = Create();
    if (!handle) return false;
    LONG result = RegSetValueEx(handle, Name().Psz(), 0, type, static_cast<const BYTE*>(data), size);
    Close(handle);
    return result == ERROR_SUCCESS;
}

bool RegValue::Copy(const RegValue& source) const {
    DWORD size = source.GetSize();
    BYTE* buffer = AllocateBytes(size, "cbData", __LINE__);
    if (!buffer) return false;
    DWORD type = 0;
    bool written = false;
    if (source.Query(&type, buffer, &size))
        written = Set(type, buffer, size);
    else
        DeleteValue(Name());
    MemFree(buffer, kFile, __LINE__);
    return written;
}

bool RegValue::SetString(const string& text) const {
    return Set(REG_SZ, text.Psz(), (text.GetLength() + 1) * sizeof(TCHAR));
}

bool RegValue::GetString(string& text) const {
    text = TEXT("");
    DWORD type = 0, size = 0;
    if (!Query(&type, nullptr, &size) || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    DWORD characters = size / sizeof(TCHAR);
    // Room for a terminator that the stored text may lack.
    TCHAR* buffer = text.GetBuffer(characters + 1);
    if (!buffer || !Query(&type, buffer, &size)) {
        text = TEXT("");
        return false;
    }
    buffer[characters] = 0;
    text.UpdateLength();
    return true;
}

bool RegValue::SetDword(DWORD value) const { return Set(REG_DWORD, &value, sizeof value); }

bool RegValue::GetDword(DWORD& value) const {
    DWORD type = 0, size = sizeof value;
    value = 0;
    if (Query(&type, &value, &size) && size == sizeof value) return true;
    value = 0;
    return false;
}

bool RegValue::SetBinary(const RegData& data) const { return Set(REG_BINARY, data.Data(), data.Size()); }

bool RegValue::GetBinary(RegData& data) const {
    data.Clear();
    DWORD size = GetSize();
    DWORD type = 0;
    // The value may grow between the two reads; a failed read then fails the whole.
    BYTE* bytes = static_cast<BYTE*>(MemAlloc(size, "rd._cbData", kFile, __LINE__));
    if (!bytes) return false;
    if (!Query(&type, bytes, &size)) {
        MemFree(bytes, kFile, __LINE__);
        return false;
    }
    data.Adopt(bytes, size);
    return true;
}

bool RegValue::SetVersioned(DWORD version, const RegData& data) const {
    DWORD full = data.Size() + 4;
    BYTE* bytes = AllocateBytes(full, "cbFull", __LINE__);
    if (!bytes) return false;
    for (int i = 0; i < 4; i++) bytes[i] = static_cast<BYTE>(version >> (8 * i));
    if (data.Size()) memcpy(bytes + 4, data.Data(), data.Size());
    bool written = Set(REG_BINARY, bytes, full);
    MemFree(bytes, kFile, __LINE__);
    return written;
}

bool RegValue::GetVersioned(DWORD required, void* destination, DWORD size) const {
    RegData stored;
    if (!GetBinary(stored) || stored.Size() < 4) return false;
    const BYTE* bytes = stored.Data();
    DWORD version = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<DWORD>(bytes[3]) << 24;
    if (HIWORD(version) != HIWORD(required) || LOWORD(version) < LOWORD(required)) return false;
    DWORD available = stored.Size() - 4;
    DWORD copied = available < size ? available : size;
    memcpy(destination, bytes + 4, copied);
    memset(static_cast<BYTE*>(destination) + copied, 0, size - copied);
    return true;
}
