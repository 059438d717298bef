// The installation toolkit's device branch against our emulated device: the device's folders and
// processor, plain and compressed files with and without the decompressor, a shortcut, registry values,
// the language values copied from the desktop, the device's application entry, and the uninstall through
// the log on the device, which leaves the device as it was and the desktop untouched.
#include "mem_manager.h"
#include "sl_internal.h"
#include "sl_main.h"
#include "zip_writer.h"
#include "zz_compress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kApp[] = "VexlinDeviceTest";

std::string ReadHostFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteHostFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..") continue;
            std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

// Every file and folder below a host folder, relative to it, sorted; the emulator's own files left out.
void ListTree(const std::string& folder, const std::string& prefix, std::vector<std::string>* out) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == ".." || name[0] == '$') continue;
        out->push_back(prefix + "\\" + name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListTree(folder + "\\" + name, prefix + "\\" + name, out);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(out->begin(), out->end());
}

std::vector<uint8_t> Sample(size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t((i / 40) % 3 ? 'a' + (i / 40) % 26 : i * seed);
    return bytes;
}

std::string Text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

void SetDesktopText(const char* key, const char* name, const char* text) {
    HKEY handle;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), DWORD(strlen(text) + 1));
    RegCloseKey(handle);
}

void DeleteDesktopValue(const char* key, const char* name) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_ALL_ACCESS, &handle) != ERROR_SUCCESS) return;
    RegDeleteValueA(handle, name);
    RegCloseKey(handle);
}

std::string DesktopText(const char* key, const char* name) {
    return SlRegReadText(nullptr, HKEY_LOCAL_MACHINE, string(key), string(name)).Psz8();
}

// A 32-bit value of the device's registry, 0xFFFFFFFF when missing.
DWORD DeviceDword(RapiLink* link, HKEY root, const char* key, const char* name) {
    HKEY handle;
    if (CeRegOpenKeyEx(link, root, string(key).Psz16(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    DWORD value = 0xFFFFFFFF, type = 0, size = sizeof value;
    if (CeRegQueryValueEx(link, handle, string(name).Psz16(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                          &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        value = 0xFFFFFFFF;
    CeRegCloseKey(link, handle);
    return value;
}

bool DeviceKeyExists(RapiLink* link, HKEY root, const char* key) {
    HKEY handle;
    if (CeRegOpenKeyEx(link, root, string(key).Psz16(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    CeRegCloseKey(link, handle);
    return true;
}

std::string DeviceText(RapiLink* link, HKEY root, const char* key, const char* name) {
    return SlRegReadText(link, root, string(key), string(name)).Psz8();
}

class DeviceToolkitTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        base_ =
            std::string(temp) + "vexlin_devtk_" + info->name() + "_" + std::to_string(GetCurrentProcessId());
        RemoveTree(base_);
        CreateDirectoryA(base_.c_str(), nullptr);
        device_ = base_ + "\\device";
        calls_ = base_ + "\\calls.log";
        for (const char* folder : {"", "\\Program Files", "\\Windows", "\\Windows\\Start Menu",
                                   "\\Windows\\Start Menu\\Programs", "\\Windows\\StartUp"})
            CreateDirectoryA((device_ + folder).c_str(), nullptr);
        for (const char* name : {"VEXLIN_DEVICE_PROCESSOR", "VEXLIN_DEVICE_DECOMPRESSOR_VERSION",
                                 "VEXLIN_DEVICE_DECOMPRESSOR_REJECTS", "VEXLIN_DEVICE_UNINSTALLER_VERSION"})
            SetEnvironmentVariableA(name, nullptr);
        SetEnvironmentVariableA("VEXLIN_DEVICE_DIR", device_.c_str());
        SetEnvironmentVariableA("VEXLIN_DEVICE_LOG", calls_.c_str());
    }

    void TearDown() override {
        SetEnvironmentVariableA("VEXLIN_DEVICE_DIR", nullptr);
        SetEnvironmentVariableA("VEXLIN_DEVICE_LOG", nullptr);
        SetEnvironmentVariableA("VEXLIN_DEVICE_PROCESSOR", nullptr);
        RemoveTree(base_);
    }

    size_t Calls(const char* name) {
        std::istringstream in(ReadHostFile(calls_));
        size_t n = 0;
        for (std::string line; std::getline(in, line);) n += line == name;
        return n;
    }

    std::vector<std::string> DeviceTree() {
        std::vector<std::string> tree;
        ListTree(device_, "", &tree);
        return tree;
    }

    std::string base_, device_, calls_;
};

TEST_F(DeviceToolkitTest, FoldersAndProcessorComeFromTheDevice) {
    {
        SetupLib lib(kRapiStartupTimeout);
        SetupToolkit* t = lib.DeviceToolkit();
        ASSERT_NE(nullptr, t);
        EXPECT_TRUE(t->IsDevice());
        EXPECT_STREQ("\\", t->GetFolder(kFolderRoot).Psz8());
        // No TopDir on this device: its program files folder at its root.
        EXPECT_STREQ("\\Program Files", t->GetFolder(kFolderProgramFiles).Psz8());
        EXPECT_STREQ("\\Program Files\\Tessel Software", t->GetFolder(kFolderMaker).Psz8());
        EXPECT_STREQ("\\Windows\\Start Menu\\Programs", t->GetFolder(kFolderProgramsMenu).Psz8());
        EXPECT_STREQ("\\Windows\\StartUp", t->GetFolder(kFolderStartup).Psz8());
        EXPECT_TRUE(t->GetFolder(5).IsEmpty());
        EXPECT_STREQ("arm", t->ProcessorName().Psz8());
        EXPECT_STREQ("native", lib.DesktopToolkit()->ProcessorName().Psz8());
        EXPECT_STREQ("C:\\", lib.DesktopToolkit()->GetFolder(kFolderRoot).Psz8());
        ASSERT_TRUE(SlRegCreateKey(lib.DetectDevice(0), HKEY_LOCAL_MACHINE, string("PMail\\Attachments")));
        ASSERT_TRUE(SlRegSetString(lib.DetectDevice(0), HKEY_LOCAL_MACHINE, string("PMail\\Attachments"),
                                   string("TopDir"), string("Programoj")));
        // Computed once: the cache holds until the toolkit goes.
        EXPECT_STREQ("\\Program Files", t->GetFolder(kFolderProgramFiles).Psz8());
    }
    const struct {
        const char* setting;
        const char* name;
    } processors[] = {{"mips", "mips"}, {"shx", "shx"}, {"ppc", "ppc"}, {"7", "unknown"}};
    for (const auto& p : processors) {
        SetEnvironmentVariableA("VEXLIN_DEVICE_PROCESSOR", p.setting);
        SetupLib lib(kRapiStartupTimeout);
        ASSERT_NE(nullptr, lib.DeviceToolkit());
        EXPECT_STREQ(p.name, lib.DeviceToolkit()->ProcessorName().Psz8()) << p.setting;
        EXPECT_STREQ("\\Programoj", lib.DeviceToolkit()->GetFolder(kFolderProgramFiles).Psz8());
        EXPECT_STREQ("\\Programoj\\Tessel Software", lib.DeviceToolkit()->GetFolder(kFolderMaker).Psz8());
    }
}

TEST_F(DeviceToolkitTest, InstallFinalizeAndUninstallOnTheDevice) {
    // The compressor's work area lives as long as the process: made before counting.
    BYTE* packed = nullptr;
    DWORD packedSize = 0;
    ZZCompress(&packed, &packedSize, reinterpret_cast<const BYTE*>("warm up"), 7);
    ZZFree(packed);
    MemStats before = MemGetStats();
    ZipWriter writer;
    std::string error;
    std::vector<uint8_t> small = Sample(3000, 3), big = Sample(70000, 5), other = Sample(9000, 7);
    ASSERT_TRUE(writer.Add("arm/vexlin.exe", big, ZipMethod::Deflated, &error));
    ASSERT_TRUE(writer.Add("arm/readme.txt", small, ZipMethod::Stored, &error));
    ASSERT_TRUE(writer.Add("arm/more.dat", other, ZipMethod::Stored, &error));
    ASSERT_TRUE(writer.Add("remora.dll", Sample(100, 9), ZipMethod::Stored, &error));
    std::vector<uint8_t> zip = writer.Finish();
    const char* nls = "SOFTWARE\\Tessel\\NLS";
    SetDesktopText(nls, "Lang-VexlinDeviceTest", "EO");
    SetDesktopText(nls, "Opt-VexlinDeviceTest", "EN,EO");
    std::vector<std::string> untouched = DeviceTree();
    // The decompressor is on the device, in the maker folder.
    CreateDirectoryA((device_ + "\\Program Files\\Tessel Software").c_str(), nullptr);
    WriteHostFile(device_ + "\\Program Files\\Tessel Software\\tranzo.dll", "emulated");
    {
        ZipFile archive;
        archive.OpenMemory(zip.data(), DWORD(zip.size()), TRUE);
        SetupLib lib(kRapiStartupTimeout);
        SetupToolkit* t = lib.DeviceToolkit();
        ASSERT_NE(nullptr, t);
        RapiLink* link = lib.DetectDevice(0);
        ASSERT_TRUE(t->OpenJournal(string(kApp)));
        EXPECT_STREQ("\\Program Files\\Tessel Software\\Uninstall Log for VexlinDeviceTest.txt",
                     t->JournalPath().Psz8());
        std::string folder = "\\Program Files\\VexlinDeviceTest";

        // A small file goes plainly, a large one compressed through the decompressor.
        DeleteFileA(calls_.c_str());
        ASSERT_TRUE(t->InstallFile(string((folder + "\\readme.txt").c_str()), archive,
                                   string("arm/readme.txt"), 0, 10));
        EXPECT_EQ(0u, Calls("CeRapiInvoke"));
        ASSERT_TRUE(t->InstallFile(string((folder + "\\bin\\vexlin.exe").c_str()), archive,
                                   string("arm\\vexlin.exe"), 10, 50));
        EXPECT_EQ(2u, Calls("CeRapiInvoke")) << "the version, then the expansion";
        EXPECT_EQ(Text(small), ReadHostFile(device_ + folder + "\\readme.txt"));
        EXPECT_EQ(Text(big), ReadHostFile(device_ + folder + "\\bin\\vexlin.exe"));
        EXPECT_EQ(50, t->CurrentPercent());

        ASSERT_TRUE(t->LinkFile(string("\\Windows\\Start Menu\\Programs\\Vexlin.lnk"),
                                string((folder + "\\bin\\vexlin.exe").c_str())));
        EXPECT_TRUE(Exists(device_ + "\\Windows\\Start Menu\\Programs\\Vexlin.lnk"));
        WCHAR target[MAX_PATH] = {0};
        ASSERT_TRUE(CeSHGetShortcutTarget(
            link, const_cast<LPWSTR>(L"\\Windows\\Start Menu\\Programs\\Vexlin.lnk"), target, sizeof target));
        EXPECT_STREQ(string(("\"" + folder + "\\bin\\vexlin.exe\"").c_str()).Psz16(), target);

        ASSERT_TRUE(t->WriteRegString(HKEY_CURRENT_USER, string("Software\\Tessel\\VexlinDeviceTest"),
                                      string("Player"), string("Ludanto")));
        ASSERT_TRUE(t->WriteRegDword(HKEY_CURRENT_USER, string("Software\\Tessel\\VexlinDeviceTest"),
                                     string("Level"), 9));
        EXPECT_EQ("Ludanto",
                  DeviceText(link, HKEY_CURRENT_USER, "Software\\Tessel\\VexlinDeviceTest", "Player"));
        EXPECT_EQ(9u, DeviceDword(link, HKEY_CURRENT_USER, "Software\\Tessel\\VexlinDeviceTest", "Level"));
        EXPECT_EQ("", DesktopText("Software\\Tessel\\VexlinDeviceTest", "Player")) << "not on the desktop";

        // The language values: the desktop's copied, a missing one as empty text.
        DeleteDesktopValue(nls, "Opt-VexlinDeviceTest");
        ASSERT_TRUE(t->TransferLanguage(string(kApp)));
        EXPECT_EQ("EO", DeviceText(link, HKEY_LOCAL_MACHINE, nls, "Lang-VexlinDeviceTest"));
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS,
                  CeRegOpenKeyEx(link, HKEY_LOCAL_MACHINE, L"SOFTWARE\\Tessel\\NLS", 0, KEY_READ, &key));
        DWORD type = 0, size = 64;
        BYTE value[64];
        EXPECT_EQ(ERROR_SUCCESS,
                  CeRegQueryValueEx(link, key, L"Opt-VexlinDeviceTest", nullptr, &type, value, &size));
        EXPECT_EQ(2u, size) << "an empty text with its terminator";
        CeRegCloseKey(link, key);

        // The uninstaller and the device's application entry; the uninstaller is no entry of the log.
        ASSERT_TRUE(t->Finalize(archive, string("remora.dll"), 95, 100));
        EXPECT_EQ(Text(Sample(100, 9)),
                  ReadHostFile(device_ + "\\Program Files\\Tessel Software\\remora.dll"));
        const char* apps = "Software\\Apps\\VexlinDeviceTest";
        EXPECT_EQ(kApp, DeviceText(link, HKEY_LOCAL_MACHINE, apps, "InstlDir"));
        EXPECT_EQ("\\Program Files\\Tessel Software\\remora.dll",
                  DeviceText(link, HKEY_LOCAL_MACHINE, apps, "IsvFile"));
        EXPECT_EQ(1u, DeviceDword(link, HKEY_LOCAL_MACHINE, apps, "Instl"));
        EXPECT_EQ(0u, DeviceDword(link, HKEY_LOCAL_MACHINE, apps, "InstlDirCnt"));
        std::string log = ReadHostFile(device_ + "\\Program Files\\Tessel Software\\Uninstall Log for "
                                                 "VexlinDeviceTest.txt");
        EXPECT_NE(std::string::npos, log.find("deletefile { \"" + folder + "\\bin\\vexlin.exe\" }")) << log;
        EXPECT_EQ(std::string::npos, log.find("remora.dll"));

        // Uninstall through the log on the device: everything the installation made goes.
        ASSERT_TRUE(lib.Uninstall(TRUE, string(kApp)));
        std::vector<std::string> left = DeviceTree();
        std::vector<std::string> expected = untouched;
        for (const char* kept :
             {"\\Program Files\\Tessel Software", "\\Program Files\\Tessel Software\\remora.dll",
              "\\Program Files\\Tessel Software\\tranzo.dll"})
            expected.push_back(kept);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(expected, left);
        EXPECT_FALSE(DeviceKeyExists(link, HKEY_CURRENT_USER, "Software\\Tessel\\VexlinDeviceTest"));
        EXPECT_FALSE(DeviceKeyExists(link, HKEY_LOCAL_MACHINE, apps));
        EXPECT_FALSE(DeviceKeyExists(link, HKEY_LOCAL_MACHINE, nls));
        // The desktop's own language value is the desktop's: the device's uninstall leaves it alone.
        EXPECT_EQ("EO", DesktopText(nls, "Lang-VexlinDeviceTest"));
        EXPECT_FALSE(lib.Uninstall(TRUE, string(kApp))) << "no log any more";
    }

    // Without the decompressor a large file goes plainly.
    DeleteFileA((device_ + "\\Program Files\\Tessel Software\\tranzo.dll").c_str());
    {
        ZipFile archive;
        archive.OpenMemory(zip.data(), DWORD(zip.size()), TRUE);
        SetupLib lib(kRapiStartupTimeout);
        SetupToolkit* t = lib.DeviceToolkit();
        ASSERT_NE(nullptr, t);
        ASSERT_TRUE(t->OpenJournal(string(kApp)));
        DeleteFileA(calls_.c_str());
        ASSERT_TRUE(t->InstallFile(string("\\Program Files\\VexlinDeviceTest\\more.dat"), archive,
                                   string("arm/more.dat"), 0, 100));
        EXPECT_EQ(1u, Calls("CeRapiInvoke")) << "only the version, which fails";
        EXPECT_EQ(Text(other), ReadHostFile(device_ + "\\Program Files\\VexlinDeviceTest\\more.dat"));
        ASSERT_TRUE(lib.Uninstall(TRUE, string(kApp)));
        EXPECT_FALSE(Exists(device_ + "\\Program Files\\VexlinDeviceTest"));
    }
    DeleteDesktopValue(nls, "Lang-VexlinDeviceTest");
    EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
}

} // namespace
