// The emulated device's registry and its file.
#include "dev_registry.h"

#include "dev_store.h"

namespace device {

namespace {

const char kHeader[] = "vexlin-device-registry 1";

const wchar_t* const kRoots[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                 L"HKEY_USERS"};

bool IsRoot(const std::wstring& lowerPath) {
    for (const wchar_t* root : kRoots)
        if (lowerPath == Lower(root)) return true;
    return false;
}

std::wstring Parent(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseHex(const std::string& text, std::vector<BYTE>* data) {
    data->clear();
    if (text == "-") return true;
    if (text.size() % 2 || text.size() / 2 > DeviceRegistry::kMaxDataBytes) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = HexDigit(text[i]);
        int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return false;
        data->push_back(static_cast<BYTE>(high << 4 | low));
    }
    return true;
}

// A key path read from a file: a known root and parts that Join would accept.
bool ParseKeyPath(const std::string& text, std::wstring* path) {
    std::wstring wide;
    if (!FromUtf8(text, &wide)) return false;
    size_t slash = wide.find(L'\\');
    std::wstring root = wide.substr(0, slash);
    for (const wchar_t* known : kRoots)
        if (Lower(root) == Lower(known)) {
            LONG error = 0;
            return DeviceRegistry::Join(known, slash == std::wstring::npos ? L"" : wide.c_str() + slash + 1,
                                        path, &error);
        }
    return false;
}

} // namespace

DeviceRegistry::DeviceRegistry() {
    for (const wchar_t* root : kRoots) keys_[Lower(root)].path = root;
}

std::wstring DeviceRegistry::RootName(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) return kRoots[0];
    if (root == HKEY_CURRENT_USER) return kRoots[1];
    if (root == HKEY_LOCAL_MACHINE) return kRoots[2];
    if (root == HKEY_USERS) return kRoots[3];
    return std::wstring();
}

bool DeviceRegistry::Join(const std::wstring& base, const wchar_t* sub, std::wstring* path, LONG* error) {
    *path = base;
    if (!sub) return true;
    std::wstring part;
    for (const wchar_t* c = sub;; ++c) {
        if (*c == L'\\' || *c == 0) {
            if (!part.empty()) *path += L"\\" + part;
            part.clear();
            if (*c == 0) return true;
            continue;
        }
        if (*c < 32 || part.size() >= kMaxNameLength || path->size() > 4 * kMaxNameLength) {
            *error = ERROR_INVALID_PARAMETER;
            return false;
        }
        part += *c;
    }
}

bool DeviceRegistry::Exists(const std::wstring& path) const { return keys_.count(Lower(path)) != 0; }

bool DeviceRegistry::Create(const std::wstring& path, bool* created) {
    *created = false;
    std::wstring lower = Lower(path);
    if (keys_.count(lower)) return true;
    std::wstring parent = Parent(path);
    if (parent.empty()) return false; // not below a root
    bool parentCreated = false;
    if (!Create(parent, &parentCreated)) return false;
    keys_[lower].path = path;
    *created = true;
    return true;
}

LONG DeviceRegistry::Delete(const std::wstring& path) {
    std::wstring lower = Lower(path);
    if (IsRoot(lower)) return ERROR_ACCESS_DENIED;
    auto found = keys_.find(lower);
    if (found == keys_.end()) return ERROR_FILE_NOT_FOUND;
    std::wstring prefix = lower + L"\\";
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (it->first == lower || it->first.compare(0, prefix.size(), prefix) == 0)
            it = keys_.erase(it);
        else
            ++it;
    }
    return ERROR_SUCCESS;
}

std::vector<std::wstring> DeviceRegistry::SubKeys(const std::wstring& path) const {
    std::vector<std::wstring> names;
    std::wstring prefix = Lower(path) + L"\\";
    for (auto it = keys_.lower_bound(prefix); it != keys_.end(); ++it) {
        if (it->first.compare(0, prefix.size(), prefix) != 0) break;
        if (it->first.find(L'\\', prefix.size()) == std::wstring::npos)
            names.push_back(it->second.path.substr(prefix.size()));
    }
    return names;
}

RegistryKey* DeviceRegistry::Find(const std::wstring& path) {
    auto found = keys_.find(Lower(path));
    return found == keys_.end() ? nullptr : &found->second;
}

const RegistryKey* DeviceRegistry::Find(const std::wstring& path) const {
    auto found = keys_.find(Lower(path));
    return found == keys_.end() ? nullptr : &found->second;
}

RegistryValue* DeviceRegistry::FindValue(RegistryKey* key, const std::wstring& name) {
    std::wstring lower = Lower(name);
    for (RegistryValue& value : key->values)
        if (Lower(value.name) == lower) return &value;
    return nullptr;
}

LONG DeviceRegistry::CheckValue(const std::wstring& name, DWORD cbData) {
    if (name.size() > kMaxNameLength || cbData > kMaxDataBytes) return ERROR_INVALID_PARAMETER;
    // Names are stored to the end of their line.
    for (wchar_t c : name)
        if (c == L'\r' || c == L'\n') return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

void DeviceRegistry::SetValue(RegistryKey* key, const std::wstring& name, DWORD type, const BYTE* data,
                              DWORD cbData) {
    RegistryValue* value = FindValue(key, name);
    if (!value) {
        key->values.push_back(RegistryValue());
        value = &key->values.back();
        value->name = name;
    }
    value->type = type;
    value->data.assign(data, data + cbData);
}

bool DeviceRegistry::DeleteValue(RegistryKey* key, const std::wstring& name) {
    std::wstring lower = Lower(name);
    for (auto it = key->values.begin(); it != key->values.end(); ++it)
        if (Lower(it->name) == lower) {
            key->values.erase(it);
            return true;
        }
    return false;
}

std::vector<const RegistryKey*> DeviceRegistry::AllKeys() const {
    std::vector<const RegistryKey*> all;
    for (const auto& entry : keys_) all.push_back(&entry.second);
    return all;
}

std::string DeviceRegistry::Serialize() const {
    static const char digits[] = "0123456789abcdef";
    std::string text = std::string(kHeader) + "\n";
    for (const auto& entry : keys_) {
        const RegistryKey& key = entry.second;
        text += "key " + ToUtf8(key.path) + "\n";
        for (const RegistryValue& value : key.values) {
            text += "value " + std::to_string(value.type) + " ";
            if (value.data.empty()) text += "-";
            for (BYTE b : value.data) {
                text += digits[b >> 4];
                text += digits[b & 15];
            }
            text += " " + ToUtf8(value.name) + "\n";
        }
    }
    return text;
}

bool DeviceRegistry::Parse(const std::string& text, DeviceRegistry* registry) {
    *registry = DeviceRegistry();
    if (text.size() > kMaxFileBytes) return false;
    size_t start = 0;
    bool first = true;
    RegistryKey* key = nullptr;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) {
            if (line != kHeader) return false;
            first = false;
            continue;
        }
        if (line.compare(0, 4, "key ") == 0) {
            std::wstring path;
            bool created = false;
            key = ParseKeyPath(line.substr(4), &path) && registry->Create(path, &created)
                      ? registry->Find(path)
                      : nullptr;
        } else if (line.compare(0, 6, "value ") == 0 && key) {
            size_t typeEnd = line.find(' ', 6);
            if (typeEnd == std::string::npos) continue;
            size_t dataEnd = line.find(' ', typeEnd + 1);
            if (dataEnd == std::string::npos) continue;
            std::string typeText = line.substr(6, typeEnd - 6);
            if (typeText.empty() || typeText.size() > 10) continue;
            unsigned long long type = 0;
            bool digits = true;
            for (char c : typeText) {
                if (c < '0' || c > '9') digits = false;
                type = type * 10 + (c - '0');
            }
            if (!digits || type > 0xFFFFFFFFull) continue;
            std::vector<BYTE> data;
            std::wstring name;
            if (!ParseHex(line.substr(typeEnd + 1, dataEnd - typeEnd - 1), &data)) continue;
            if (!FromUtf8(line.substr(dataEnd + 1), &name)) continue;
            if (CheckValue(name, static_cast<DWORD>(data.size())) != ERROR_SUCCESS) continue;
            registry->SetValue(key, name, static_cast<DWORD>(type), data.data(),
                               static_cast<DWORD>(data.size()));
        }
        // Any other line is skipped: one damaged line costs only itself.
    }
    return !first;
}

bool DeviceRegistry::Load(const std::wstring& file) {
    std::string text;
    if (!ReadWholeFile(file, &text, kMaxFileBytes)) {
        *this = DeviceRegistry();
        return false;
    }
    return Parse(text, this);
}

bool DeviceRegistry::Save(const std::wstring& file, const std::wstring& update) const {
    std::string text = Serialize();
    if (!WriteWholeFile(update, text.data(), static_cast<DWORD>(text.size()))) return false;
    return MoveFileExW(update.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

} // namespace device
