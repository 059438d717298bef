// The device emulator on its own, called the way the desktop side calls it: files, folders, attributes,
// registry keys and values, enumeration and deletion, shortcuts, the decompressor and uninstaller
// libraries, persistence across processes (the device tool reads what this process wrote and the other
// way round), refusal of paths that leave the device folder, and bounded fuzzing of its registry file and
// of the compressed input its decompressor reads.
#include "dev_registry.h"
#include "dev_store.h"
#include "sl_rapi_api.h"

#include <gtest/gtest.h>

#include "test_files.h"
#include <lzo/lzo1x.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Runs the device tool and returns what it printed; *status gets its exit status.
std::string RunTool(const std::string& arguments, DWORD* status) {
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return std::string();
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process = {};
    std::string command = "\"" + ModuleFolder() + "\\devicetool.exe\" " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    BOOL started =
        CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string output;
    if (started) {
        char buffer[4096];
        DWORD read = 0;
        while (::ReadFile(readEnd, buffer, sizeof(buffer), &read, nullptr) && read)
            output.append(buffer, read);
        WaitForSingleObject(process.hProcess, 60000);
        GetExitCodeProcess(process.hProcess, status);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        *status = 0xFFFFFFFF;
    }
    CloseHandle(readEnd);
    return output;
}

// The emulator's entry points, looked up by their undecorated names.
struct Rapi {
    HMODULE module = nullptr;
#define RAPI_MEMBER0(Result, Name) RapiFn_##Name Name = nullptr;
#define RAPI_MEMBER(Result, Name, Parameters, Arguments) RAPI_MEMBER0(Result, Name)
    RAPI_ENTRY_POINTS(RAPI_MEMBER0, RAPI_MEMBER)
#undef RAPI_MEMBER0
#undef RAPI_MEMBER

    bool Load() {
        module = LoadLibraryA((ModuleFolder() + "\\rapi.dll").c_str());
        if (!module) return false;
        bool all = true;
#define RAPI_LOOKUP0(Result, Name)                                                                           \
    Name = reinterpret_cast<RapiFn_##Name>(reinterpret_cast<void*>(GetProcAddress(module, #Name)));          \
    all = all && Name;
#define RAPI_LOOKUP(Result, Name, Parameters, Arguments) RAPI_LOOKUP0(Result, Name)
        RAPI_ENTRY_POINTS(RAPI_LOOKUP0, RAPI_LOOKUP)
#undef RAPI_LOOKUP0
#undef RAPI_LOOKUP
        return all;
    }

    void Unload() {
        if (module) FreeLibrary(module);
        module = nullptr;
    }
};

std::vector<BYTE> Pack(const std::string& bytes) {
    static std::vector<BYTE> work(LZO1X_1_MEM_COMPRESS);
    std::vector<BYTE> block(4 + bytes.size() + bytes.size() / 16 + 64 + 3);
    DWORD size = static_cast<DWORD>(bytes.size());
    for (int i = 0; i < 4; ++i) block[i] = static_cast<BYTE>(size >> (8 * i));
    lzo_uint packed = block.size() - 4;
    lzo1x_1_compress(reinterpret_cast<const BYTE*>(bytes.data()), bytes.size(), block.data() + 4, &packed,
                     work.data());
    block.resize(4 + packed);
    return block;
}

// A LocalAlloc block holding UTF-16 texts each with its terminator, as the remote call takes its input.
BYTE* Input(const std::vector<std::wstring>& texts, DWORD* cb) {
    std::wstring joined;
    for (const std::wstring& text : texts) joined += text + L'\0';
    *cb = static_cast<DWORD>(joined.size() * sizeof(wchar_t));
    BYTE* block = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, *cb ? *cb : 1));
    CopyMemory(block, joined.data(), *cb);
    return block;
}

class DeviceEmulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        base_ =
            std::string(temp) + "vexlin_device_" + info->name() + "_" + std::to_string(GetCurrentProcessId());
        RemoveTree(base_);
        CreateDirectoryA(base_.c_str(), nullptr);
        device_ = base_ + "\\device";
        for (const char* name : {"VEXLIN_DEVICE_LOG", "VEXLIN_DEVICE_PROCESSOR",
                                 "VEXLIN_DEVICE_DECOMPRESSOR_VERSION", "VEXLIN_DEVICE_DECOMPRESSOR_REJECTS",
                                 "VEXLIN_DEVICE_UNINSTALLER_VERSION", "VEXLIN_DEVICE_KEEP_TRANSFERS"})
            SetEnvironmentVariableA(name, nullptr);
        SetEnvironmentVariableA("VEXLIN_DEVICE_DIR", device_.c_str());
        ASSERT_TRUE(rapi_.Load());
    }

    void TearDown() override {
        if (rapi_.module) rapi_.CeRapiUninit();
        rapi_.Unload();
        SetEnvironmentVariableA("VEXLIN_DEVICE_DIR", nullptr);
        RemoveTree(base_);
    }

    void Create(const std::string& options = "") {
        DWORD status = 1;
        std::string output = RunTool("create \"" + device_ + "\" " + options, &status);
        ASSERT_EQ(status, 0u) << output;
    }

    void Start() {
        RAPIINIT init = {sizeof(init), nullptr, 0};
        ASSERT_EQ(rapi_.CeRapiInitEx(&init), S_OK);
        ASSERT_EQ(WaitForSingleObject(init.heRapiInit, 1000), WAIT_OBJECT_0);
    }

    void Restart() {
        rapi_.CeRapiUninit();
        rapi_.Unload();
        ASSERT_TRUE(rapi_.Load());
        Start();
    }

    // Writes a device file through the emulator.
    bool Put(const wchar_t* path, const std::string& bytes) {
        HANDLE file = rapi_.CeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0;
        BOOL ok = rapi_.CeWriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        return rapi_.CeCloseHandle(file) && ok && written == bytes.size();
    }

    std::vector<std::wstring> List(const wchar_t* pattern) {
        std::vector<std::wstring> names;
        CE_FIND_DATA found;
        HANDLE search = rapi_.CeFindFirstFile(pattern, &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do names.push_back(found.cFileName);
        while (rapi_.CeFindNextFile(search, &found));
        EXPECT_EQ(rapi_.CeGetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
        EXPECT_TRUE(rapi_.CeFindClose(search));
        std::sort(names.begin(), names.end());
        return names;
    }

    HRESULT Invoke(const wchar_t* library, const wchar_t* function, const std::vector<std::wstring>& texts,
                   std::wstring* answer = nullptr) {
        DWORD cbInput = 0;
        BYTE* input = Input(texts, &cbInput);
        DWORD cbOutput = 0;
        BYTE* output = nullptr;
        HRESULT result =
            rapi_.CeRapiInvoke(library, function, cbInput, input, &cbOutput, &output, nullptr, 0);
        if (answer) answer->clear();
        if (output) {
            if (answer) answer->assign(reinterpret_cast<wchar_t*>(output), cbOutput / sizeof(wchar_t));
            LocalFree(output);
        }
        return result;
    }

    std::string base_;
    std::string device_;
    Rapi rapi_;
};

TEST_F(DeviceEmulatorTest, WithoutADeviceStartingSucceedsButTheEventNeverFires) {
    SetEnvironmentVariableA("VEXLIN_DEVICE_DIR", nullptr);
    RAPIINIT bad = {8, nullptr, 0};
    EXPECT_EQ(rapi_.CeRapiInitEx(&bad), E_INVALIDARG);
    EXPECT_EQ(rapi_.CeRapiInitEx(nullptr), E_INVALIDARG);
    RAPIINIT init = {sizeof(init), nullptr, 0};
    ASSERT_EQ(rapi_.CeRapiInitEx(&init), S_OK);
    ASSERT_NE(init.heRapiInit, nullptr);
    EXPECT_EQ(WaitForSingleObject(init.heRapiInit, 100), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(rapi_.CeRapiInitEx(&init), CERAPI_E_ALREADYINITIALIZED);
    // Device calls fail as over a broken connection.
    EXPECT_EQ(rapi_.CeGetFileAttributes(L"\\Windows"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_CONNECTED));
    EXPECT_EQ(rapi_.CeRapiGetError(), HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED));
    EXPECT_EQ(rapi_.CeRapiUninit(), S_OK);
    EXPECT_EQ(rapi_.CeRapiUninit(), E_FAIL);
    EXPECT_EQ(rapi_.CeRapiInit(), HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED));
}

TEST_F(DeviceEmulatorTest, EntryPointsTheInstallerNeverCallsFailCleanly) {
    Create();
    Start();
    auto expectNotImplemented = [&](bool failed, const char* name) {
        EXPECT_TRUE(failed) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED)) << name;
        EXPECT_EQ(rapi_.CeGetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED)) << name;
    };
    CEOID oid = 0;
    CEGUID volume = {};
    WORD count = 0;
    CEDB_FIND_DATA* databases = nullptr;
    wchar_t text[64];
    expectNotImplemented(rapi_.CeCreateDatabase(const_cast<LPWSTR>(L"db"), 0, 0, nullptr) == 0,
                         "CeCreateDatabase");
    expectNotImplemented(!rapi_.CeDeleteDatabase(1), "CeDeleteDatabase");
    expectNotImplemented(!rapi_.CeDeleteRecord(nullptr, 1), "CeDeleteRecord");
    expectNotImplemented(rapi_.CeFindFirstDatabase(0) == INVALID_HANDLE_VALUE, "CeFindFirstDatabase");
    expectNotImplemented(rapi_.CeFindNextDatabase(nullptr) == 0, "CeFindNextDatabase");
    expectNotImplemented(!rapi_.CeOidGetInfo(1, nullptr), "CeOidGetInfo");
    expectNotImplemented(rapi_.CeOpenDatabase(&oid, nullptr, 0, 0, nullptr) == INVALID_HANDLE_VALUE,
                         "CeOpenDatabase");
    expectNotImplemented(rapi_.CeReadRecordProps(nullptr, 0, nullptr, nullptr, nullptr, nullptr) == 0,
                         "CeReadRecordProps");
    expectNotImplemented(rapi_.CeSeekDatabase(nullptr, 0, 0, nullptr) == 0, "CeSeekDatabase");
    expectNotImplemented(!rapi_.CeSetDatabaseInfo(1, nullptr), "CeSetDatabaseInfo");
    expectNotImplemented(!rapi_.CeFindAllDatabases(0, 0, &count, &databases), "CeFindAllDatabases");
    expectNotImplemented(!rapi_.CeCreateProcess(L"\\x.exe", nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                                                nullptr, nullptr, nullptr),
                         "CeCreateProcess");
    expectNotImplemented(!rapi_.CeCheckPassword(const_cast<LPWSTR>(L"pw")), "CeCheckPassword");
    expectNotImplemented(rapi_.CeGetWindow(nullptr, 0) == nullptr, "CeGetWindow");
    expectNotImplemented(rapi_.CeGetWindowLong(nullptr, 0) == 0, "CeGetWindowLong");
    expectNotImplemented(rapi_.CeGetWindowText(nullptr, text, 64) == 0, "CeGetWindowText");
    expectNotImplemented(rapi_.CeGetClassName(nullptr, text, 64) == 0, "CeGetClassName");
    expectNotImplemented(!rapi_.CeGetSystemPowerStatusEx(nullptr, TRUE), "CeGetSystemPowerStatusEx");
    expectNotImplemented(rapi_.CeFindFirstDatabaseEx(&volume, 0) == INVALID_HANDLE_VALUE,
                         "CeFindFirstDatabaseEx");
    expectNotImplemented(rapi_.CeFindNextDatabaseEx(nullptr, &volume) == 0, "CeFindNextDatabaseEx");
    expectNotImplemented(rapi_.CeCreateDatabaseEx(&volume, nullptr) == 0, "CeCreateDatabaseEx");
    expectNotImplemented(!rapi_.CeSetDatabaseInfoEx(&volume, 1, nullptr), "CeSetDatabaseInfoEx");
    expectNotImplemented(rapi_.CeOpenDatabaseEx(&volume, &oid, nullptr, 0, 0, nullptr) ==
                             INVALID_HANDLE_VALUE,
                         "CeOpenDatabaseEx");
    expectNotImplemented(!rapi_.CeDeleteDatabaseEx(&volume, 1), "CeDeleteDatabaseEx");
    expectNotImplemented(rapi_.CeReadRecordPropsEx(nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr) ==
                             0,
                         "CeReadRecordPropsEx");
    expectNotImplemented(rapi_.CeWriteRecordProps(nullptr, 0, 0, nullptr) == 0, "CeWriteRecordProps");
    expectNotImplemented(!rapi_.CeMountDBVol(&volume, nullptr, 0), "CeMountDBVol");
    expectNotImplemented(!rapi_.CeUnmountDBVol(&volume), "CeUnmountDBVol");
    expectNotImplemented(!rapi_.CeFlushDBVol(&volume), "CeFlushDBVol");
    expectNotImplemented(!rapi_.CeEnumDBVolumes(&volume, text, 64), "CeEnumDBVolumes");
    expectNotImplemented(!rapi_.CeOidGetInfoEx(&volume, 1, nullptr), "CeOidGetInfoEx");
    // Handles that were never handed out are refused, not followed.
    EXPECT_FALSE(rapi_.CeCloseHandle(reinterpret_cast<HANDLE>(0x1234)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(rapi_.CeFindClose(INVALID_HANDLE_VALUE));
    EXPECT_EQ(rapi_.CeRegCloseKey(reinterpret_cast<HKEY>(0x1234)), ERROR_INVALID_HANDLE);
}

TEST_F(DeviceEmulatorTest, FilesAndFoldersBehaveAsOnTheDevice) {
    Create();
    Start();
    EXPECT_EQ(rapi_.CeGetFileAttributes(L"\\"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    ASSERT_TRUE(rapi_.CeCreateDirectory(L"\\Program Files\\Vexlin", nullptr));
    EXPECT_FALSE(rapi_.CeCreateDirectory(L"\\Program Files\\Vexlin", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    ASSERT_TRUE(Put(L"\\Program Files\\Vexlin\\vexlin.exe", "program bytes"));
    EXPECT_EQ(ReadHostFile(device_ + "\\Program Files\\Vexlin\\vexlin.exe"), "program bytes");

    HANDLE file = rapi_.CeCreateFile(L"/Program Files/Vexlin/vexlin.exe", GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(rapi_.CeGetFileSize(file, nullptr), 13u);
    EXPECT_EQ(rapi_.CeSetFilePointer(file, 8, nullptr, FILE_BEGIN), 8u);
    char buffer[16] = {};
    DWORD read = 0;
    ASSERT_TRUE(rapi_.CeReadFile(file, buffer, sizeof(buffer), &read, nullptr));
    EXPECT_EQ(std::string(buffer, read), "bytes");
    EXPECT_TRUE(rapi_.CeCloseHandle(file));
    EXPECT_FALSE(rapi_.CeCloseHandle(file));

    // Attributes: read-only holds, 0 clears them.
    ASSERT_TRUE(rapi_.CeSetFileAttributes(L"\\Program Files\\Vexlin\\vexlin.exe", FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(rapi_.CeGetFileAttributes(L"\\Program Files\\Vexlin\\vexlin.exe") & FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(rapi_.CeDeleteFile(L"\\Program Files\\Vexlin\\vexlin.exe"));
    ASSERT_TRUE(rapi_.CeSetFileAttributes(L"\\Program Files\\Vexlin\\vexlin.exe", 0));
    EXPECT_FALSE(rapi_.CeGetFileAttributes(L"\\Program Files\\Vexlin\\vexlin.exe") & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(rapi_.CeGetFileAttributes(L"\\Program Files\\Vexlin\\missing.txt"), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(rapi_.CeGetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    ASSERT_TRUE(
        rapi_.CeCopyFile(L"\\Program Files\\Vexlin\\vexlin.exe", L"\\Program Files\\Vexlin\\copy.exe", TRUE));
    EXPECT_FALSE(
        rapi_.CeCopyFile(L"\\Program Files\\Vexlin\\vexlin.exe", L"\\Program Files\\Vexlin\\copy.exe", TRUE));
    ASSERT_TRUE(
        rapi_.CeMoveFile(L"\\Program Files\\Vexlin\\copy.exe", L"\\Program Files\\Vexlin\\moved.exe"));
    EXPECT_EQ(List(L"\\Program Files\\Vexlin\\*"), (std::vector<std::wstring>{L"moved.exe", L"vexlin.exe"}));
    EXPECT_EQ(List(L"\\Program Files\\Vexlin\\v*.exe"), (std::vector<std::wstring>{L"vexlin.exe"}));
    DWORD count = 0;
    CE_FIND_DATA* all = nullptr;
    ASSERT_TRUE(rapi_.CeFindAllFiles(L"\\Program Files\\Vexlin\\*", FAF_NAME | FAF_SIZE_LOW, &count, &all));
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(all[0].nFileSizeLow + all[1].nFileSizeLow, 26u);
    EXPECT_EQ(all[0].dwFileAttributes, 0u); // not asked for
    EXPECT_EQ(rapi_.CeRapiFreeBuffer(all), S_OK);

    // The root lists the device's folders, never the emulator's own files.
    std::vector<std::wstring> root = List(L"\\*");
    EXPECT_NE(std::find(root.begin(), root.end(), L"Windows"), root.end());
    for (const std::wstring& name : root) EXPECT_NE(name[0], L'$') << std::string(name.begin(), name.end());

    EXPECT_FALSE(rapi_.CeRemoveDirectory(L"\\Program Files\\Vexlin"));
    EXPECT_TRUE(rapi_.CeDeleteFile(L"\\Program Files\\Vexlin\\moved.exe"));
    EXPECT_TRUE(rapi_.CeDeleteFile(L"\\Program Files\\Vexlin\\vexlin.exe"));
    EXPECT_FALSE(rapi_.CeDeleteFile(L"\\Program Files\\Vexlin\\vexlin.exe"));
    EXPECT_TRUE(rapi_.CeRemoveDirectory(L"\\Program Files\\Vexlin"));
    EXPECT_FALSE(Exists(device_ + "\\Program Files\\Vexlin"));
    EXPECT_TRUE(List(L"\\Nowhere\\*").empty());

    wchar_t path[MAX_PATH];
    EXPECT_EQ(rapi_.CeGetSpecialFolderPath(CSIDL_PROGRAMS, MAX_PATH, path), 28u);
    EXPECT_STREQ(path, L"\\Windows\\Start Menu\\Programs");
    EXPECT_GT(rapi_.CeGetSpecialFolderPath(CSIDL_STARTUP, MAX_PATH, path), 0u);
    EXPECT_STREQ(path, L"\\Windows\\StartUp");
    EXPECT_NE(rapi_.CeGetFileAttributes(path), INVALID_FILE_ATTRIBUTES); // the tool made it
    EXPECT_EQ(rapi_.CeGetSpecialFolderPath(CSIDL_PROGRAMS, 10, path), 0u);
    EXPECT_EQ(rapi_.CeGetSpecialFolderPath(12345, MAX_PATH, path), 0u);
    EXPECT_EQ(rapi_.CeGetTempPath(MAX_PATH, path), 6u);
    EXPECT_STREQ(path, L"\\Temp\\");
    EXPECT_EQ(rapi_.CeGetTempPath(3, path), 7u);
}

TEST_F(DeviceEmulatorTest, PathsThatLeaveTheDeviceFolderAreRefused) {
    Create();
    Start();
    WriteHostFile(base_ + "\\outside.txt", "desktop file");
    const wchar_t* escapes[] = {L"..\\outside.txt",
                                L"\\..\\outside.txt",
                                L"\\Windows\\..\\..\\outside.txt",
                                L"/../outside.txt",
                                L"C:\\outside.txt",
                                L"C:outside.txt",
                                L"\\Windows\\x.txt:alt",
                                L"\\$registry.dat",
                                L"\\$device.ini",
                                L"\\CON",
                                L"\\Windows\\nul.txt",
                                L"\\Windows\\trailing.",
                                L"\\Windows\\.\\x.txt",
                                L"\\Windows\\*.txt"};
    for (const wchar_t* path : escapes) {
        std::string shown(path, path + wcslen(path));
        EXPECT_EQ(rapi_.CeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE)
            << shown;
        EXPECT_NE(rapi_.CeGetLastError(), 0u) << shown;
        EXPECT_EQ(rapi_.CeGetFileAttributes(path), INVALID_FILE_ATTRIBUTES) << shown;
        EXPECT_FALSE(rapi_.CeDeleteFile(path)) << shown;
        EXPECT_FALSE(rapi_.CeCreateDirectory(path, nullptr)) << shown;
        EXPECT_FALSE(rapi_.CeSHCreateShortcut(const_cast<LPWSTR>(path), const_cast<LPWSTR>(L"\"\\x.exe\"")))
            << shown;
        EXPECT_FALSE(rapi_.CeMoveFile(L"\\Windows", path)) << shown;
    }
    EXPECT_EQ(ReadHostFile(base_ + "\\outside.txt"), "desktop file");
    EXPECT_TRUE(Exists(device_ + "\\$registry.dat"));
    EXPECT_TRUE(Exists(device_ + "\\Windows"));
    std::wstring longPath = L"\\" + std::wstring(300, L'a');
    EXPECT_EQ(rapi_.CeCreateFile(longPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(rapi_.CeGetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    // A doubled separator stays inside the device.
    EXPECT_TRUE(Put(L"\\\\Windows\\\\inside.txt", "inside"));
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\inside.txt"), "inside");
}

TEST_F(DeviceEmulatorTest, RegistryKeysAndValuesAreKeptEnumeratedAndDeleted) {
    Create();
    Start();
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(rapi_.CeRegCreateKeyEx(HKEY_LOCAL_MACHINE, L"Software\\Apps\\Vexlin", 0, nullptr, 0, 0, nullptr,
                                     &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    wchar_t text[] = L"Vexlin";
    DWORD one = 1;
    ASSERT_EQ(rapi_.CeRegSetValueEx(key, L"InstlDir", 0, REG_SZ, reinterpret_cast<BYTE*>(text), sizeof(text)),
              ERROR_SUCCESS);
    ASSERT_EQ(rapi_.CeRegSetValueEx(key, L"Instl", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
              ERROR_SUCCESS);
    EXPECT_EQ(rapi_.CeRegSetValueEx(key, L"Bad\nName", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
              ERROR_INVALID_PARAMETER);

    HKEY again = nullptr;
    ASSERT_EQ(rapi_.CeRegCreateKeyEx(HKEY_LOCAL_MACHINE, L"software\\apps\\VEXLIN", 0, nullptr, 0, 0, nullptr,
                                     &again, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    DWORD type = 0;
    DWORD word = 0;
    DWORD cb = 4;
    ASSERT_EQ(rapi_.CeRegQueryValueEx(again, L"INSTL", nullptr, &type, reinterpret_cast<BYTE*>(&word), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(word, 1u);
    wchar_t small[3];
    cb = sizeof(small);
    EXPECT_EQ(
        rapi_.CeRegQueryValueEx(again, L"InstlDir", nullptr, &type, reinterpret_cast<BYTE*>(small), &cb),
        ERROR_MORE_DATA);
    EXPECT_EQ(cb, sizeof(text));
    EXPECT_EQ(rapi_.CeRegQueryValueEx(again, L"Missing", nullptr, &type, nullptr, &cb), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(rapi_.CeRegCloseKey(again), ERROR_SUCCESS);

    HKEY child = nullptr;
    ASSERT_EQ(rapi_.CeRegCreateKeyEx(key, L"Child", 0, nullptr, 0, 0, nullptr, &child, nullptr),
              ERROR_SUCCESS);
    DWORD subKeys = 0, values = 0, longestName = 0, longestData = 0;
    ASSERT_EQ(rapi_.CeRegQueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                                      &longestName, &longestData, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 1u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(longestName, 8u);
    EXPECT_EQ(longestData, sizeof(text));

    wchar_t name[64];
    DWORD cchName = 64;
    ASSERT_EQ(rapi_.CeRegEnumKeyEx(key, 0, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_STREQ(name, L"Child");
    EXPECT_EQ(cchName, 5u);
    cchName = 64;
    EXPECT_EQ(rapi_.CeRegEnumKeyEx(key, 1, name, &cchName, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    std::vector<std::wstring> names;
    for (DWORD i = 0;; ++i) {
        cchName = 64;
        BYTE data[64];
        DWORD cbData = sizeof(data);
        LONG result = rapi_.CeRegEnumValue(key, i, name, &cchName, nullptr, &type, data, &cbData);
        if (result == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(result, ERROR_SUCCESS);
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"InstlDir", L"Instl"}));

    EXPECT_EQ(rapi_.CeRegDeleteValue(key, L"Instl"), ERROR_SUCCESS);
    EXPECT_EQ(rapi_.CeRegDeleteValue(key, L"Instl"), ERROR_FILE_NOT_FOUND);
    // Deleting a key takes everything below it; handles to it then report the deletion.
    EXPECT_EQ(rapi_.CeRegDeleteKey(HKEY_LOCAL_MACHINE, L"Software\\Apps\\Vexlin"), ERROR_SUCCESS);
    EXPECT_EQ(rapi_.CeRegSetValueEx(child, L"x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
              ERROR_KEY_DELETED);
    HKEY gone = nullptr;
    EXPECT_EQ(rapi_.CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, L"Software\\Apps\\Vexlin\\Child", 0, 0, &gone),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(rapi_.CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, L"Software\\Apps", 0, 0, &gone), ERROR_SUCCESS);
    EXPECT_EQ(rapi_.CeRegCloseKey(gone), ERROR_SUCCESS);
    EXPECT_EQ(rapi_.CeRegDeleteKey(HKEY_LOCAL_MACHINE, L""), ERROR_ACCESS_DENIED);
    rapi_.CeRegCloseKey(key);
    rapi_.CeRegCloseKey(child);
}

TEST_F(DeviceEmulatorTest, ShortcutsAreStoredInTheDevicesTextForm) {
    Create();
    Start();
    wchar_t shortcut[] = L"\\Windows\\Start Menu\\Programs\\Vexlin.lnk";
    wchar_t target[] = L"\"\\Program Files\\Vexlin\\vexlin.exe\"";
    ASSERT_TRUE(rapi_.CeSHCreateShortcut(shortcut, target));
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\Start Menu\\Programs\\Vexlin.lnk"),
              "34#\"\\Program Files\\Vexlin\\vexlin.exe\"");
    wchar_t back[MAX_PATH];
    ASSERT_TRUE(rapi_.CeSHGetShortcutTarget(shortcut, back, sizeof(back)));
    EXPECT_STREQ(back, target);
    EXPECT_FALSE(rapi_.CeSHGetShortcutTarget(shortcut, back, 8));
    WriteHostFile(device_ + "\\Windows\\broken.lnk", "no number here");
    EXPECT_FALSE(
        rapi_.CeSHGetShortcutTarget(const_cast<LPWSTR>(L"\\Windows\\broken.lnk"), back, sizeof(back)));
}

TEST_F(DeviceEmulatorTest, WhatOneProcessWritesAnotherReads) {
    // The tool (another process) made a MIPS device; this process sees it.
    Create("--processor mips --decompressor 3");
    Start();
    SYSTEM_INFO info;
    FillMemory(&info, sizeof(info), 0xFE);
    rapi_.CeGetSystemInfo(&info);
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_MIPS);
    HKEY attachments = nullptr;
    ASSERT_EQ(rapi_.CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, L"PMail\\Attachments", 0, 0, &attachments),
              ERROR_SUCCESS);
    wchar_t top[64];
    DWORD cb = sizeof(top);
    ASSERT_EQ(
        rapi_.CeRegQueryValueEx(attachments, L"TopDir", nullptr, nullptr, reinterpret_cast<BYTE*>(top), &cb),
        ERROR_SUCCESS);
    EXPECT_STREQ(top, L"Program Files");
    rapi_.CeRegCloseKey(attachments);
    std::wstring answer;
    EXPECT_EQ(Invoke(L"\\Program Files\\Tessel Software\\tranzo.dll", L"GetTRANZOVersion", {L""}, &answer),
              S_OK);
    EXPECT_EQ(answer, std::wstring(L"3", 2));

    // This process writes; after it lets go, the tool lists it all.
    HKEY key = nullptr;
    ASSERT_EQ(rapi_.CeRegCreateKeyEx(HKEY_CURRENT_USER, L"Software\\Tessel\\Vexlin", 0, nullptr, 0, 0,
                                     nullptr, &key, nullptr),
              ERROR_SUCCESS);
    wchar_t greeting[] = L"hello";
    DWORD seven = 7;
    ASSERT_EQ(rapi_.CeRegSetValueEx(key, L"Greeting", 0, REG_SZ, reinterpret_cast<BYTE*>(greeting),
                                    sizeof(greeting)),
              ERROR_SUCCESS);
    ASSERT_EQ(rapi_.CeRegSetValueEx(key, L"Level", 0, REG_DWORD, reinterpret_cast<BYTE*>(&seven), 4),
              ERROR_SUCCESS);
    rapi_.CeRegCloseKey(key);
    ASSERT_TRUE(Put(L"\\My Documents\\note.txt", "twelve bytes"));
    ASSERT_TRUE(rapi_.CeSHCreateShortcut(const_cast<LPWSTR>(L"\\Windows\\StartUp\\Note.lnk"),
                                         const_cast<LPWSTR>(L"\"\\My Documents\\note.txt\"")));
    rapi_.CeRapiUninit();
    rapi_.Unload();

    DWORD status = 1;
    std::string listing = RunTool("list \"" + device_ + "\"", &status);
    EXPECT_EQ(status, 0u);
    for (const char* expected :
         {"processor: mips", "decompressor: version 3, accepting", "\\My Documents\\note.txt  12 bytes",
          "HKEY_CURRENT_USER\\Software\\Tessel\\Vexlin", "Greeting = REG_SZ \"hello\"", "Level = REG_DWORD 7",
          "\\Windows\\StartUp\\Note.lnk -> \"\\My Documents\\note.txt\""})
        EXPECT_NE(listing.find(expected), std::string::npos) << expected << "\n" << listing;
    EXPECT_EQ(listing.find("$registry"), std::string::npos);

    // A new start of the library finds the same device.
    ASSERT_TRUE(rapi_.Load());
    Start();
    ASSERT_EQ(rapi_.CeRegOpenKeyEx(HKEY_CURRENT_USER, L"Software\\Tessel\\Vexlin", 0, 0, &key),
              ERROR_SUCCESS);
    DWORD level = 0;
    cb = 4;
    ASSERT_EQ(rapi_.CeRegQueryValueEx(key, L"Level", nullptr, nullptr, reinterpret_cast<BYTE*>(&level), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(level, 7u);
    rapi_.CeRegCloseKey(key);
    rapi_.CeRapiUninit();

    // Reset: a fresh device of the same kind.
    listing = RunTool("reset \"" + device_ + "\"", &status);
    EXPECT_EQ(status, 0u) << listing;
    listing = RunTool("list \"" + device_ + "\"", &status);
    EXPECT_EQ(listing.find("note.txt"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("Greeting"), std::string::npos) << listing;
    EXPECT_NE(listing.find("TopDir = REG_SZ \"Program Files\""), std::string::npos) << listing;
    EXPECT_NE(listing.find("processor: mips"), std::string::npos) << listing;
    EXPECT_NE(listing.find("tranzo.dll"), std::string::npos) << listing;

    // Without the decompressor, and with a rejecting one.
    RunTool("create \"" + device_ + "\" --no-decompressor", &status);
    listing = RunTool("list \"" + device_ + "\"", &status);
    EXPECT_NE(listing.find("decompressor: none"), std::string::npos) << listing;
    RunTool("create \"" + device_ + "\" --decompressor 2 --rejecting", &status);
    listing = RunTool("list \"" + device_ + "\"", &status);
    EXPECT_NE(listing.find("decompressor: version 2, rejecting"), std::string::npos) << listing;
    RunTool("frobnicate \"" + device_ + "\"", &status);
    EXPECT_EQ(status, 2u);
}

TEST_F(DeviceEmulatorTest, TheDeviceLibrariesAnswerThroughTheRemoteCall) {
    Create("--uninstaller-version 1");
    Start();
    const wchar_t* tranzo = L"\\Program Files\\Tessel Software\\tranzo.dll";
    std::string original(30000, 'v');
    for (size_t i = 0; i < original.size(); i += 7) original[i] = static_cast<char>(i);
    std::vector<BYTE> packed = Pack(original);
    ASSERT_TRUE(Put(L"\\packed.tmp", std::string(packed.begin(), packed.end())));
    EXPECT_EQ(Invoke(tranzo, L"DecompressFile", {L"\\packed.tmp", L"\\Windows\\expanded.bin"}), S_OK);
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\expanded.bin"), original);
    EXPECT_FALSE(Exists(device_ + "\\packed.tmp"));

    std::wstring answer;
    WriteHostFile(device_ + "\\Windows\\remora.dll", "emulated");
    EXPECT_EQ(Invoke(L"\\Windows\\remora.dll", L"GetUninstallVersion", {L""}, &answer), S_OK);
    EXPECT_EQ(answer, std::wstring(L"1", 2));
    EXPECT_EQ(Invoke(L"\\Windows\\absent.dll", L"GetUninstallVersion", {L""}),
              HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    EXPECT_EQ(Invoke(tranzo, L"Unknown", {L""}), HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(Invoke(L"\\..\\tranzo.dll", L"GetTRANZOVersion", {L""}),
              HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    // An input whose second text runs off its end.
    DWORD cb = 0;
    BYTE* input = Input({L"\\packed.tmp"}, &cb);
    DWORD cbOutput = 0;
    BYTE* output = nullptr;
    EXPECT_EQ(rapi_.CeRapiInvoke(tranzo, L"DecompressFile", cb, input, &cbOutput, &output, nullptr, 0),
              E_INVALIDARG);
    IRAPIStream* stream = reinterpret_cast<IRAPIStream*>(1);
    EXPECT_EQ(rapi_.CeRapiInvoke(tranzo, L"GetTRANZOVersion", 0, nullptr, &cbOutput, &output, &stream, 0),
              E_NOTIMPL);
    EXPECT_EQ(stream, nullptr);

    // A rejecting decompressor leaves both files as they were.
    rapi_.CeRapiUninit();
    SetEnvironmentVariableA("VEXLIN_DEVICE_DECOMPRESSOR_REJECTS", "1");
    Start();
    ASSERT_TRUE(Put(L"\\packed.tmp", std::string(packed.begin(), packed.end())));
    EXPECT_NE(Invoke(tranzo, L"DecompressFile", {L"\\packed.tmp", L"\\Windows\\second.bin"}), S_OK);
    EXPECT_TRUE(Exists(device_ + "\\packed.tmp"));
    EXPECT_FALSE(Exists(device_ + "\\Windows\\second.bin"));
}

TEST_F(DeviceEmulatorTest, AKeepingDeviceSetsWhatTravelledAsideOutOfItsOwnSight) {
    Create("--keep-transfers");
    Start();
    const wchar_t* tranzo = L"\\Program Files\\Tessel Software\\tranzo.dll";
    std::string original(40000, 'k');
    for (size_t i = 0; i < original.size(); i += 5) original[i] = static_cast<char>(i / 5);
    std::vector<BYTE> packed = Pack(original);
    std::string packedBytes(packed.begin(), packed.end());
    ASSERT_TRUE(Put(L"\\packed.tmp", packedBytes));
    ASSERT_EQ(Invoke(tranzo, L"DecompressFile", {L"\\packed.tmp", L"\\Windows\\expanded.bin"}), S_OK);
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\expanded.bin"), original);
    EXPECT_FALSE(Exists(device_ + "\\packed.tmp"));
    // The compressed file waits at the destination's path below the transfers folder ...
    std::string kept = device_ + "\\$transfers\\Windows\\expanded.bin";
    EXPECT_EQ(ReadHostFile(kept), packedBytes);
    // ... where the device cannot see or reach it.
    std::vector<std::wstring> root = List(L"\\*");
    EXPECT_EQ(std::find(root.begin(), root.end(), std::wstring(L"$transfers")), root.end());
    EXPECT_EQ(rapi_.CeGetFileAttributes(L"\\$transfers\\Windows\\expanded.bin"), 0xFFFFFFFFu);
    EXPECT_EQ(rapi_.CeCreateFile(L"\\$transfers\\x", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
              INVALID_HANDLE_VALUE);

    // The tool lists it and expands it back with the program's own decoder; a plain file is refused.
    DWORD status = 1;
    std::string listing = RunTool("list \"" + device_ + "\"", &status);
    size_t section = listing.find("kept transfers:");
    ASSERT_NE(section, std::string::npos) << listing;
    EXPECT_NE(listing.find("\\Windows\\expanded.bin  " + std::to_string(packed.size()) + " bytes", section),
              std::string::npos)
        << listing;
    std::string out = base_ + "\\expanded.out";
    std::string printed = RunTool("expand \"" + kept + "\" \"" + out + "\"", &status);
    EXPECT_EQ(status, 0u) << printed;
    EXPECT_EQ(ReadHostFile(out), original);
    printed = RunTool("expand \"" + device_ + "\\Windows\\expanded.bin\" \"" + out + "\"", &status);
    EXPECT_EQ(status, 1u) << printed;

    // Without the setting the compressed file is simply gone.
    rapi_.CeRapiUninit();
    SetEnvironmentVariableA("VEXLIN_DEVICE_KEEP_TRANSFERS", "0");
    Start();
    ASSERT_TRUE(Put(L"\\packed.tmp", packedBytes));
    ASSERT_EQ(Invoke(tranzo, L"DecompressFile", {L"\\packed.tmp", L"\\Windows\\again.bin"}), S_OK);
    EXPECT_FALSE(Exists(device_ + "\\packed.tmp"));
    EXPECT_FALSE(Exists(device_ + "\\$transfers\\Windows\\again.bin"));
}

TEST_F(DeviceEmulatorTest, DamagedCompressedInputNeverCrashesTheDecompressor) {
    Create();
    Start();
    std::string original(20000, '\0');
    std::mt19937 random(1234);
    for (size_t i = 0; i < original.size(); ++i)
        original[i] = static_cast<char>(i % 97 < 60 ? i % 5 : random());
    std::vector<BYTE> packed = Pack(original);
    for (int round = 0; round < 300; ++round) {
        std::vector<BYTE> damaged = packed;
        int kind = round % 4;
        // Damage the decompressor must always notice: a stream cut short, or a size header that lies.
        bool surelyBroken = false;
        if (kind == 0) {
            damaged.resize(random() % damaged.size());
            surelyBroken = true;
        } else if (kind == 1) {
            for (int i = 0; i < 1 + round % 8; ++i) damaged[random() % damaged.size()] ^= 1 << (random() % 8);
        } else if (kind == 2) {
            damaged[random() % 4] ^= static_cast<BYTE>(1 + random() % 255);
            surelyBroken = true;
        } else {
            for (size_t i = 4 + random() % 64; i < damaged.size(); i += 1 + random() % 512)
                damaged[i] = static_cast<BYTE>(random());
        }
        ASSERT_TRUE(Put(L"\\fuzz.tmp", std::string(damaged.begin(), damaged.end())));
        DeleteFileA((device_ + "\\Windows\\fuzz.bin").c_str());
        HRESULT result = Invoke(L"\\Program Files\\Tessel Software\\tranzo.dll", L"DecompressFile",
                                {L"\\fuzz.tmp", L"\\Windows\\fuzz.bin"});
        if (surelyBroken) {
            EXPECT_NE(result, S_OK) << round;
        }
        // A refused stream writes nothing; an accepted one writes a file.
        EXPECT_EQ(Exists(device_ + "\\Windows\\fuzz.bin"), result == S_OK) << round;
    }
}

TEST_F(DeviceEmulatorTest, ADamagedRegistryFileKeepsWhatCanBeRead) {
    Create();
    std::string file = device_ + "\\$registry.dat";
    WriteHostFile(file, "vexlin-device-registry 1\r\n"
                        "key HKEY_CURRENT_USER\\Good\n"
                        "value 4 07000000 Seven\n"
                        "value 1 0 OddHex\n"
                        "value 1 zz NotHex\n"
                        "value x 00 BadType\n"
                        "key HKEY_NOWHERE\\Lost\n"
                        "value 4 01000000 Orphan\n"
                        "garbage line\n"
                        "key HKEY_CURRENT_USER\\Good\\Inner\n"
                        "value 3 - Empty");
    Start();
    HKEY key = nullptr;
    ASSERT_EQ(rapi_.CeRegOpenKeyEx(HKEY_CURRENT_USER, L"Good", 0, 0, &key), ERROR_SUCCESS);
    DWORD values = 0, subKeys = 0;
    ASSERT_EQ(rapi_.CeRegQueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                                      nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(values, 1u);
    EXPECT_EQ(subKeys, 1u);
    rapi_.CeRegCloseKey(key);
    ASSERT_EQ(rapi_.CeRegOpenKeyEx(HKEY_CURRENT_USER, L"Good\\Inner", 0, 0, &key), ERROR_SUCCESS);
    DWORD cb = 99;
    DWORD type = 0;
    EXPECT_EQ(rapi_.CeRegQueryValueEx(key, L"Empty", nullptr, &type, nullptr, &cb), ERROR_SUCCESS);
    EXPECT_EQ(cb, 0u);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    rapi_.CeRegCloseKey(key);

    // A file that is no registry at all leaves an empty but working one, rewritten on the next change.
    rapi_.CeRapiUninit();
    WriteHostFile(file, std::string("\x00\xFF garbage", 10));
    Start();
    ASSERT_EQ(rapi_.CeRegCreateKeyEx(HKEY_LOCAL_MACHINE, L"Fresh", 0, nullptr, 0, 0, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    rapi_.CeRegCloseKey(key);
    EXPECT_EQ(ReadHostFile(file).compare(0, 24, "vexlin-device-registry 1"), 0);
}

TEST(DeviceRegistryFuzz, MutatedFilesParseWithoutHarmAndReadBackStably) {
    device::DeviceRegistry registry;
    bool created = false;
    std::wstring path = L"HKEY_LOCAL_MACHINE\\Software\\Apps\\Vexlin";
    ASSERT_TRUE(registry.Create(path, &created));
    std::wstring text = L"Vexlin";
    DWORD one = 1;
    registry.SetValue(registry.Find(path), L"InstlDir", REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                      14);
    registry.SetValue(registry.Find(path), L"Instl", REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    registry.SetValue(registry.Find(path), L"", REG_BINARY, nullptr, 0);
    ASSERT_TRUE(registry.Create(L"HKEY_CURRENT_USER\\Software\\Tessel\\Vexlin\\Deep\\Deeper", &created));
    std::string valid = registry.Serialize();

    device::DeviceRegistry parsed;
    ASSERT_TRUE(device::DeviceRegistry::Parse(valid, &parsed));
    EXPECT_EQ(parsed.Serialize(), valid);

    std::mt19937 random(99);
    for (int round = 0; round < 3000; ++round) {
        std::string damaged = valid;
        int edits = 1 + random() % 6;
        for (int i = 0; i < edits; ++i) {
            size_t at = random() % damaged.size();
            switch (random() % 4) {
            case 0:
                damaged[at] = static_cast<char>(random());
                break;
            case 1:
                damaged.erase(at, random() % 16);
                break;
            case 2:
                damaged.insert(at, std::string(1 + random() % 4, "\n\\ -0aZ\xC3"[random() % 9]));
                break;
            default:
                damaged.resize(at);
                break;
            }
            if (damaged.empty()) damaged = "v";
        }
        device::DeviceRegistry result;
        device::DeviceRegistry::Parse(damaged, &result);
        // Whatever was kept is itself a valid registry that reads back to the same thing.
        std::string again = result.Serialize();
        device::DeviceRegistry second;
        ASSERT_TRUE(device::DeviceRegistry::Parse(again, &second)) << round;
        ASSERT_EQ(second.Serialize(), again) << round;
    }
}

} // namespace
