// The emulated device's folder, settings, path mapping and shortcut text.
#include "dev_store.h"

#include <stdlib.h>

namespace device {

const wchar_t kSettingsFile[] = L"$device.ini";
const wchar_t kRegistryFile[] = L"$registry.dat";
const wchar_t kRegistryUpdate[] = L"$registry.new";
const wchar_t kTransfersFolder[] = L"$transfers";

namespace {

// Settings files are a few lines; anything larger is not one of ours.
const DWORD kSettingsLimit = 64 * 1024;

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
    if (length == 0 || length >= 1024) return std::wstring();
    return std::wstring(buffer, length);
}

bool ParseNumber(const std::string& text, long* value) {
    if (text.empty() || text.size() > 9) return false;
    long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + (c - '0');
    }
    *value = result;
    return true;
}

void Apply(DeviceSettings* settings, const std::string& key, const std::string& value) {
    long number = 0;
    if (key == "processor") {
        ParseProcessor(value, &settings->processor, &settings->answersSystemInfo);
    } else if (key == "decompressor_version" && ParseNumber(value, &number)) {
        settings->decompressorVersion = number;
    } else if (key == "decompressor_rejects" && ParseNumber(value, &number)) {
        settings->decompressorRejects = number != 0;
    } else if (key == "uninstaller_version" && ParseNumber(value, &number)) {
        settings->uninstallerVersion = number;
    } else if (key == "keep_transfers" && ParseNumber(value, &number)) {
        settings->keepTransfers = number != 0;
    }
}

bool IsReservedDeviceName(const std::wstring& component) {
    std::wstring base = Lower(component.substr(0, component.find(L'.')));
    static const wchar_t* const names[] = {L"con", L"prn", L"aux", L"nul", L"clock$", L"conin$", L"conout$"};
    for (const wchar_t* name : names)
        if (base == name) return true;
    if (base.size() == 4 && (base.compare(0, 3, L"com") == 0 || base.compare(0, 3, L"lpt") == 0) &&
        base[3] >= L'0' && base[3] <= L'9')
        return true;
    return false;
}

bool Refuse(DWORD error) {
    SetLastError(error);
    return false;
}

} // namespace

std::wstring Lower(const std::wstring& text) {
    std::wstring lower = text;
    if (!lower.empty()) CharLowerBuffW(&lower[0], static_cast<DWORD>(lower.size()));
    return lower;
}

bool IsOwnName(const std::wstring& name) {
    std::wstring lower = Lower(name);
    for (const wchar_t* own : {kSettingsFile, kRegistryFile, kRegistryUpdate, kTransfersFolder})
        if (lower == Lower(own)) return true;
    return false;
}

std::wstring DeviceFolderFromEnvironment() {
    std::wstring named = Environment(L"VEXLIN_DEVICE_DIR");
    if (named.empty()) return named;
    wchar_t full[MAX_PATH * 2];
    DWORD length = GetFullPathNameW(named.c_str(), MAX_PATH * 2, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 2) return std::wstring();
    std::wstring folder(full, length);
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    return folder;
}

bool FolderExists(const std::wstring& folder) {
    DWORD attributes = GetFileAttributesW(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool ParseProcessor(const std::string& text, WORD* processor, bool* answers) {
    static const struct {
        const char* name;
        WORD value;
    } names[] = {{"mips", PROCESSOR_ARCHITECTURE_MIPS},
                 {"ppc", PROCESSOR_ARCHITECTURE_PPC},
                 {"shx", PROCESSOR_ARCHITECTURE_SHX},
                 {"arm", PROCESSOR_ARCHITECTURE_ARM}};
    for (const auto& entry : names)
        if (text == entry.name) {
            *processor = entry.value;
            *answers = true;
            return true;
        }
    if (text == "none") {
        *answers = false;
        return true;
    }
    long number = 0;
    if (!ParseNumber(text, &number) || number > 0xFFFF) return false;
    *processor = static_cast<WORD>(number);
    *answers = true;
    return true;
}

std::string ProcessorText(const DeviceSettings& settings) {
    if (!settings.answersSystemInfo) return "none";
    switch (settings.processor) {
    case PROCESSOR_ARCHITECTURE_MIPS:
        return "mips";
    case PROCESSOR_ARCHITECTURE_PPC:
        return "ppc";
    case PROCESSOR_ARCHITECTURE_SHX:
        return "shx";
    case PROCESSOR_ARCHITECTURE_ARM:
        return "arm";
    default:
        return std::to_string(settings.processor);
    }
}

DeviceSettings LoadSettings(const std::wstring& folder, bool withEnvironment) {
    DeviceSettings settings;
    std::string text;
    if (ReadWholeFile(folder + L"\\" + kSettingsFile, &text, kSettingsLimit)) {
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t equals = line.find('=');
            if (equals != std::string::npos)
                Apply(&settings, line.substr(0, equals), line.substr(equals + 1));
            start = end + 1;
        }
    }
    if (withEnvironment) {
        static const struct {
            const wchar_t* variable;
            const char* key;
        } overrides[] = {{L"VEXLIN_DEVICE_PROCESSOR", "processor"},
                         {L"VEXLIN_DEVICE_DECOMPRESSOR_VERSION", "decompressor_version"},
                         {L"VEXLIN_DEVICE_DECOMPRESSOR_REJECTS", "decompressor_rejects"},
                         {L"VEXLIN_DEVICE_UNINSTALLER_VERSION", "uninstaller_version"},
                         {L"VEXLIN_DEVICE_KEEP_TRANSFERS", "keep_transfers"}};
        for (const auto& entry : overrides) {
            std::wstring value = Environment(entry.variable);
            if (!value.empty()) Apply(&settings, entry.key, ToUtf8(value));
        }
    }
    return settings;
}

bool SaveSettings(const std::wstring& folder, const DeviceSettings& settings) {
    std::string text = "processor=" + ProcessorText(settings) + "\r\n" +
                       "decompressor_version=" + std::to_string(settings.decompressorVersion) + "\r\n" +
                       "decompressor_rejects=" + (settings.decompressorRejects ? "1" : "0") + "\r\n" +
                       "uninstaller_version=" + std::to_string(settings.uninstallerVersion) + "\r\n" +
                       "keep_transfers=" + (settings.keepTransfers ? "1" : "0") + "\r\n";
    return WriteWholeFile(folder + L"\\" + kSettingsFile, text.data(), static_cast<DWORD>(text.size()));
}

bool MapDevicePath(const std::wstring& folder, const wchar_t* path, MappedPath* mapped, bool wildcards) {
    if (!path) return Refuse(ERROR_INVALID_PARAMETER);
    size_t length = wcslen(path);
    if (length > MAX_PATH) return Refuse(ERROR_FILENAME_EXCED_RANGE);
    std::vector<std::wstring> parts;
    std::wstring part;
    for (size_t i = 0; i <= length; ++i) {
        wchar_t c = path[i];
        if (c == L'\\' || c == L'/' || c == 0) {
            if (!part.empty()) parts.push_back(part);
            part.clear();
            continue;
        }
        // A colon names a drive or a stream of another file: both lie outside the device's tree.
        if (c == L':') return Refuse(ERROR_ACCESS_DENIED);
        if (c < 32 || c == L'<' || c == L'>' || c == L'"' || c == L'|') return Refuse(ERROR_INVALID_NAME);
        part += c;
    }
    mapped->host = folder;
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::wstring& name = parts[i];
        if (name == L"." || name == L"..") return Refuse(ERROR_ACCESS_DENIED);
        // The desktop drops trailing dots and spaces, so "a." would be another name for "a".
        if (name.back() == L'.' || name.back() == L' ') return Refuse(ERROR_INVALID_NAME);
        bool last = i + 1 == parts.size();
        if (name.find_first_of(L"*?") != std::wstring::npos && !(wildcards && last))
            return Refuse(ERROR_INVALID_NAME);
        if (IsReservedDeviceName(name)) return Refuse(ERROR_ACCESS_DENIED);
        if (i == 0 && IsOwnName(name)) return Refuse(ERROR_ACCESS_DENIED);
        mapped->host += L"\\" + name;
    }
    mapped->depth = parts.size();
    return true;
}

std::string ShortcutText(const std::wstring& target) {
    return std::to_string(target.size()) + "#" + ToUtf8(target);
}

bool ParseShortcut(const std::string& text, std::wstring* target) {
    size_t hash = text.find('#');
    if (hash == 0 || hash == std::string::npos || hash > 9) return false;
    for (size_t i = 0; i < hash; ++i)
        if (text[i] < '0' || text[i] > '9') return false;
    std::string rest = text.substr(hash + 1);
    size_t end = rest.find_first_of("\r\n");
    if (end != std::string::npos) rest.resize(end);
    return FromUtf8(rest, target);
}

bool FromUtf8(const std::string& text, std::wstring* wide) {
    wide->clear();
    if (text.empty()) return true;
    if (text.size() > 0x7FFFFFFF) return false;
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
    if (count <= 0) return false;
    wide->resize(count);
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        &(*wide)[0], count);
    return true;
}

std::string ToUtf8(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    int count = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
    std::string text(count > 0 ? count : 0, '\0');
    if (count > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &text[0], count, nullptr,
                            nullptr);
    return text;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes, DWORD limit) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    bool ok = size != INVALID_FILE_SIZE && high == 0 && size <= limit;
    if (ok) {
        bytes->assign(size, '\0');
        DWORD read = 0;
        ok = size == 0 || (ReadFile(file, &(*bytes)[0], size, &read, nullptr) && read == size);
    }
    CloseHandle(file);
    return ok;
}

bool WriteWholeFile(const std::wstring& path, const void* bytes, DWORD count) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = count == 0 || (WriteFile(file, bytes, count, &written, nullptr) && written == count);
    CloseHandle(file);
    return ok;
}

bool MakeFolders(const std::wstring& path) {
    if (FolderExists(path)) return true;
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos && slash > 2 && !MakeFolders(path.substr(0, slash))) return false;
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace device
