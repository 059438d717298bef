// Developer and tester tool for emulated devices: makes a device folder of a chosen kind, lists what is on
// it (files, registry values, shortcuts, kept transfers), resets it to a fresh device, and expands a
// compressed transfer with the program's own decoder.
//
//   devicetool create FOLDER [--processor arm|mips|shx|ppc|none|N] [--decompressor VERSION]
//                            [--no-decompressor] [--rejecting] [--uninstaller-version N] [--keep-transfers]
//   devicetool list FOLDER
//   devicetool reset FOLDER
//   devicetool expand PACKED EXPANDED
#include "dev_registry.h"
#include "dev_store.h"
#include "zz_compress.h"

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

using namespace device;

namespace {

// Where a fresh device keeps its programs, and where the installer looks for the decompressor.
const wchar_t kProgramFiles[] = L"Program Files";
const wchar_t kDecompressor[] = L"\\Program Files\\Tessel Software\\tranzo.dll";

const wchar_t* const kStandardFolders[] = {L"\\Windows",
                                           L"\\Windows\\Start Menu",
                                           L"\\Windows\\Start Menu\\Programs",
                                           L"\\Windows\\StartUp",
                                           L"\\Windows\\Desktop",
                                           L"\\Windows\\Favorites",
                                           L"\\Windows\\Fonts",
                                           L"\\Windows\\Recent",
                                           L"\\My Documents",
                                           L"\\Program Files",
                                           L"\\Temp"};

int Usage() {
    fprintf(stderr,
            "usage: devicetool create FOLDER [--processor arm|mips|shx|ppc|none|N]\n"
            "                             [--decompressor VERSION] [--no-decompressor] [--rejecting]\n"
            "                             [--uninstaller-version N] [--keep-transfers]\n"
            "       devicetool list FOLDER\n"
            "       devicetool reset FOLDER\n"
            "       devicetool expand PACKED EXPANDED\n");
    return 2;
}

std::wstring Widen(const char* text) {
    int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(count > 0 ? count : 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], count);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

std::wstring FullFolder(const char* text) {
    std::wstring named = Widen(text);
    wchar_t full[MAX_PATH * 2];
    DWORD length = GetFullPathNameW(named.c_str(), MAX_PATH * 2, full, nullptr);
    if (length == 0 || length >= MAX_PATH * 2) return std::wstring();
    std::wstring folder(full, length);
    while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
    return folder;
}

// Removes everything inside `folder`, keeping the folder itself and, at the top, the settings file.
bool EmptyFolder(const std::wstring& folder, bool top) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    bool ok = true;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (top && Lower(name) == Lower(kSettingsFile)) continue;
        std::wstring path = folder + L"\\" + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = EmptyFolder(path, false) && RemoveDirectoryW(path.c_str()) && ok;
        else
            ok = DeleteFileW(path.c_str()) && ok;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return ok;
}

std::wstring HostPath(const std::wstring& folder, const wchar_t* devicePath) {
    MappedPath mapped;
    MapDevicePath(folder, devicePath, &mapped);
    return mapped.host;
}

// Gives the folder the standard folders and registry of a fresh device, and the decompressor when asked.
bool Furnish(const std::wstring& folder, bool decompressor) {
    for (const wchar_t* path : kStandardFolders)
        if (!MakeFolders(HostPath(folder, path))) return false;
    DeviceRegistry registry;
    registry.Load(folder + L"\\" + kRegistryFile);
    bool created = false;
    std::wstring attachments = L"HKEY_LOCAL_MACHINE\\PMail\\Attachments";
    registry.Create(attachments, &created);
    if (!DeviceRegistry::FindValue(registry.Find(attachments), L"TopDir")) {
        std::wstring top = kProgramFiles;
        registry.SetValue(registry.Find(attachments), L"TopDir", REG_SZ,
                          reinterpret_cast<const BYTE*>(top.c_str()),
                          static_cast<DWORD>((top.size() + 1) * sizeof(wchar_t)));
    }
    if (!registry.Save(folder + L"\\" + kRegistryFile, folder + L"\\" + kRegistryUpdate)) return false;
    std::wstring library = HostPath(folder, kDecompressor);
    if (!decompressor)
        return !(GetFileAttributesW(library.c_str()) != INVALID_FILE_ATTRIBUTES &&
                 !DeleteFileW(library.c_str()));
    static const char placeholder[] = "emulated decompressor library\r\n";
    return MakeFolders(library.substr(0, library.rfind(L'\\'))) &&
           WriteWholeFile(library, placeholder, sizeof(placeholder) - 1);
}

std::string ValueText(const RegistryValue& value) {
    char number[32];
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()),
                          value.data.size() / sizeof(wchar_t));
        text.resize(wcsnlen(text.c_str(), text.size()));
        return std::string(value.type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ") + " \"" + ToUtf8(text) + "\"";
    }
    case REG_DWORD:
        if (value.data.size() == 4) {
            DWORD word = value.data[0] | value.data[1] << 8 | value.data[2] << 16 |
                         static_cast<DWORD>(value.data[3]) << 24;
            snprintf(number, sizeof(number), "%lu", static_cast<unsigned long>(word));
            return std::string("REG_DWORD ") + number;
        }
        break;
    default:
        break;
    }
    std::string text = "type " + std::to_string(value.type) + ",";
    for (BYTE b : value.data) {
        snprintf(number, sizeof(number), " %02x", b);
        text += number;
    }
    return text;
}

void ListFiles(const std::wstring& folder, const std::wstring& devicePath, bool top,
               std::vector<std::wstring>* shortcuts) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    std::vector<WIN32_FIND_DATAW> entries;
    do {
        std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (top && IsOwnName(name)) continue;
        entries.push_back(found);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    for (const WIN32_FIND_DATAW& entry : entries) {
        std::wstring path = devicePath + L"\\" + entry.cFileName;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            printf("  %s\\\n", ToUtf8(path).c_str());
            ListFiles(folder + L"\\" + entry.cFileName, path, false, shortcuts);
        } else {
            printf("  %s  %lu bytes%s\n", ToUtf8(path).c_str(),
                   static_cast<unsigned long>(entry.nFileSizeLow),
                   entry.dwFileAttributes & FILE_ATTRIBUTE_READONLY ? ", read-only" : "");
            std::wstring lower = Lower(path);
            if (lower.size() > 4 && lower.compare(lower.size() - 4, 4, L".lnk") == 0)
                shortcuts->push_back(path);
        }
    }
}

int List(const std::wstring& folder) {
    if (!FolderExists(folder)) {
        fprintf(stderr, "devicetool: %s is not a device folder\n", ToUtf8(folder).c_str());
        return 1;
    }
    DeviceSettings settings = LoadSettings(folder, false);
    printf("device: %s\n", ToUtf8(folder).c_str());
    printf("processor: %s\n", ProcessorText(settings).c_str());
    bool present = GetFileAttributesW(HostPath(folder, kDecompressor).c_str()) != INVALID_FILE_ATTRIBUTES;
    if (present)
        printf("decompressor: version %ld, %s\n", settings.decompressorVersion,
               settings.decompressorRejects ? "rejecting" : "accepting");
    else
        printf("decompressor: none\n");
    printf("uninstaller version: %ld\n", settings.uninstallerVersion);
    printf("files:\n");
    std::vector<std::wstring> shortcuts;
    ListFiles(folder, L"", true, &shortcuts);
    if (settings.keepTransfers) {
        printf("kept transfers:\n");
        std::vector<std::wstring> ignored;
        ListFiles(folder + L"\\" + kTransfersFolder, L"", false, &ignored);
    }
    printf("registry:\n");
    DeviceRegistry registry;
    registry.Load(folder + L"\\" + kRegistryFile);
    for (const RegistryKey* key : registry.AllKeys()) {
        if (key->path.find(L'\\') == std::wstring::npos && key->values.empty()) continue;
        printf("  %s\n", ToUtf8(key->path).c_str());
        for (const RegistryValue& value : key->values)
            printf("    %s = %s\n", value.name.empty() ? "(default)" : ToUtf8(value.name).c_str(),
                   ValueText(value).c_str());
    }
    printf("shortcuts:\n");
    for (const std::wstring& path : shortcuts) {
        std::string text;
        std::wstring target;
        if (ReadWholeFile(HostPath(folder, path.c_str()), &text, 64 * 1024) && ParseShortcut(text, &target))
            printf("  %s -> %s\n", ToUtf8(path).c_str(), ToUtf8(target).c_str());
        else
            printf("  %s -> (not a shortcut)\n", ToUtf8(path).c_str());
    }
    return 0;
}

int Create(const std::wstring& folder, int argc, char** argv) {
    DeviceSettings settings = LoadSettings(folder, false);
    bool decompressor = true;
    for (int i = 0; i < argc; ++i) {
        std::string option = argv[i];
        bool hasValue = i + 1 < argc;
        char* end = nullptr;
        if (option == "--processor" && hasValue) {
            if (!ParseProcessor(argv[++i], &settings.processor, &settings.answersSystemInfo)) return Usage();
        } else if (option == "--decompressor" && hasValue) {
            settings.decompressorVersion = strtol(argv[++i], &end, 10);
            if (*end || settings.decompressorVersion < 0) return Usage();
            decompressor = true;
        } else if (option == "--no-decompressor") {
            decompressor = false;
        } else if (option == "--keep-transfers") {
            settings.keepTransfers = true;
        } else if (option == "--rejecting") {
            settings.decompressorRejects = true;
        } else if (option == "--uninstaller-version" && hasValue) {
            settings.uninstallerVersion = strtol(argv[++i], &end, 10);
            if (*end || settings.uninstallerVersion < 0) return Usage();
        } else {
            return Usage();
        }
    }
    if (!MakeFolders(folder) || !SaveSettings(folder, settings) || !Furnish(folder, decompressor)) {
        fprintf(stderr, "devicetool: cannot make a device in %s\n", ToUtf8(folder).c_str());
        return 1;
    }
    printf("devicetool: device ready in %s\n", ToUtf8(folder).c_str());
    return 0;
}

int Reset(const std::wstring& folder) {
    if (!FolderExists(folder)) {
        fprintf(stderr, "devicetool: %s is not a device folder\n", ToUtf8(folder).c_str());
        return 1;
    }
    bool decompressor =
        GetFileAttributesW(HostPath(folder, kDecompressor).c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!EmptyFolder(folder, true) || !Furnish(folder, decompressor)) {
        fprintf(stderr, "devicetool: cannot reset %s\n", ToUtf8(folder).c_str());
        return 1;
    }
    printf("devicetool: device in %s reset\n", ToUtf8(folder).c_str());
    return 0;
}

// Expands a compressed transfer (the size-prefixed LZO form) with the program's own decoder, so a test can
// hold what travelled against the file it came from.
int Expand(const char* packedPath, const char* expandedPath) {
    std::string packed;
    if (!ReadWholeFile(Widen(packedPath), &packed, 64 * 1024 * 1024)) {
        fprintf(stderr, "devicetool: cannot read %s\n", packedPath);
        return 1;
    }
    BYTE* expanded = nullptr;
    DWORD count = 0;
    if (!ZZDecompress(&expanded, &count, reinterpret_cast<const BYTE*>(packed.data()),
                      static_cast<DWORD>(packed.size()))) {
        fprintf(stderr, "devicetool: %s is not a compressed transfer\n", packedPath);
        return 1;
    }
    bool written = WriteWholeFile(Widen(expandedPath), expanded, count);
    ZZFree(expanded);
    if (!written) {
        fprintf(stderr, "devicetool: cannot write %s\n", expandedPath);
        return 1;
    }
    printf("devicetool: expanded %lu bytes into %lu\n", static_cast<unsigned long>(packed.size()),
           static_cast<unsigned long>(count));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string command = argv[1];
    if (command == "expand") return argc == 4 ? Expand(argv[2], argv[3]) : Usage();
    std::wstring folder = FullFolder(argv[2]);
    if (folder.empty()) return Usage();
    if (command == "create") return Create(folder, argc - 3, argv + 3);
    if (command == "list" && argc == 3) return List(folder);
    if (command == "reset" && argc == 3) return Reset(folder);
    return Usage();
}
