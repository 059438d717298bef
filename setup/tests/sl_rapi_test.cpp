// The device link against our emulated device: opening with a missing, incomplete or silent library and
// with an attached device, the processor names, and files sent plainly or compressed with every fall-back.
// Each case points the library search at the subfolder of this program's folder that holds the
// "rapi.dll" it needs; the emulator notes every call in a log file that the cases read.
#include "mem_manager.h"
#include "sl_rapi.h"
#include "sl_trace.h"

#include <gtest/gtest.h>

#include "test_files.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_trace;

void KeepTrace(const char* line) { g_trace.push_back(line); }

std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

size_t Count(const std::vector<std::string>& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
}

// Bytes that compress well but not trivially.
std::string Sample(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i / 50) % 4 ? 'a' + (i / 50) % 26 : random());
    return bytes;
}

class RapiLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_trace.clear();
        SetupSetTraceSink(KeepTrace);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        base_ =
            std::string(temp) + "vexlin_rapi_" + info->name() + "_" + std::to_string(GetCurrentProcessId());
        RemoveTree(base_);
        CreateDirectoryA(base_.c_str(), nullptr);
        device_ = base_ + "\\device";
        log_ = base_ + "\\calls.log";
        SetEnvironmentVariableA("VEXLIN_DEVICE_LOG", log_.c_str());
        for (const char* name :
             {"VEXLIN_DEVICE_DIR", "VEXLIN_DEVICE_PROCESSOR", "VEXLIN_DEVICE_DECOMPRESSOR_VERSION",
              "VEXLIN_DEVICE_DECOMPRESSOR_REJECTS", "VEXLIN_DEVICE_UNINSTALLER_VERSION"})
            SetEnvironmentVariableA(name, nullptr);
        UseLibrary("emulator");
    }

    void TearDown() override {
        SetupSetTraceSink(nullptr);
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("VEXLIN_DEVICE_LOG", nullptr);
        SetEnvironmentVariableA("VEXLIN_DEVICE_DIR", nullptr);
        RemoveTree(base_);
    }

    void UseLibrary(const char* variant) { SetDllDirectoryA((ModuleFolder() + "\\" + variant).c_str()); }

    // An attached device with the usual folders; the decompressor only when asked.
    void AttachDevice(bool decompressor) {
        for (const char* folder : {"", "\\Program Files", "\\Program Files\\Tessel Software", "\\Windows"})
            CreateDirectoryA((device_ + folder).c_str(), nullptr);
        if (decompressor) WriteHostFile(device_ + "\\Program Files\\Tessel Software\\tranzo.dll", "emulated");
        SetEnvironmentVariableA("VEXLIN_DEVICE_DIR", device_.c_str());
    }

    std::vector<std::string> Calls() { return ReadLines(log_); }

    std::vector<std::string> TempFilesOnDevice() {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((device_ + "\\This File Is Safe To Delete*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }

    std::string base_;
    std::string device_;
    std::string log_;
};

TEST_F(RapiLinkTest, AMissingLibraryGivesNullAndTracesTheLoadError) {
    UseLibrary("none");
    EXPECT_EQ(RapiOpen(100), nullptr);
    ASSERT_EQ(g_trace.size(), 2u);
    EXPECT_EQ(g_trace[0], "rapi: initializing...\n");
    EXPECT_EQ(g_trace[1], "rapi: failed to load rapi.dll; error 126\n");
    EXPECT_EQ(GetModuleHandleA("rapi.dll"), nullptr);
}

TEST_F(RapiLinkTest, ALibraryLackingAnyEntryPointIsUnloadedWithoutStarting) {
    for (const char* missing : {"CeRapiInit", "CeRapiInvoke", "CeRegSetValueEx", "CeOidGetInfoEx"}) {
        SCOPED_TRACE(missing);
        DeleteFileA(log_.c_str());
        g_trace.clear();
        UseLibrary((std::string("lacking_") + missing).c_str());
        EXPECT_EQ(RapiOpen(100), nullptr);
        EXPECT_EQ(GetModuleHandleA("rapi.dll"), nullptr);
        std::vector<std::string> expected = {"rapi: initializing...\n",
                                             "rapi: failed to find functions in rapi.dll; error 127\n",
                                             "rapi: uninitializing\n", "rapi: uninitialization complete\n"};
        EXPECT_EQ(g_trace, expected);
        std::vector<std::string> calls = Calls();
        EXPECT_EQ(Count(calls, "CeRapiInitEx"), 0u);
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), "unloaded");
    }
}

TEST_F(RapiLinkTest, NoDeviceAnsweringTimesOutAndUninitialisesBeforeUnloading) {
    // First no device named at all, then a named folder that is not there (a device unplugged).
    for (bool named : {false, true}) {
        SCOPED_TRACE(named);
        DeleteFileA(log_.c_str());
        g_trace.clear();
        if (named) SetEnvironmentVariableA("VEXLIN_DEVICE_DIR", (base_ + "\\unplugged").c_str());
        DWORD start = GetTickCount();
        EXPECT_EQ(RapiOpen(200), nullptr);
        EXPECT_GE(GetTickCount() - start, 150u);
        EXPECT_EQ(GetModuleHandleA("rapi.dll"), nullptr);
        std::vector<std::string> expected = {"rapi: initializing...\n", "rapi: calling CeRapiInitEx\n",
                                             "rapi: CeRapiInitEx timed out\n", "rapi: uninitializing\n",
                                             "rapi: uninitialization complete\n"};
        EXPECT_EQ(g_trace, expected);
        std::vector<std::string> calls = Calls();
        EXPECT_EQ(calls, (std::vector<std::string>{"CeRapiInitEx", "CeRapiUninit", "unloaded"}));
    }
}

TEST_F(RapiLinkTest, AnAttachedDeviceOpensWithinItsTimeOutAndClosesCleanly) {
    AttachDevice(false);
    RapiLink* link = RapiOpen(kRapiStartupTimeout);
    ASSERT_NE(link, nullptr);
    const MemBlock* block = MemFindBlock(link);
    ASSERT_NE(block, nullptr);
    EXPECT_STREQ(block->tag, "RAPI");
    EXPECT_NE(GetModuleHandleA("rapi.dll"), nullptr);
    for (int i = 0; i < kRapiEntryCount; ++i) EXPECT_NE(link->entries[i], nullptr) << i;
    EXPECT_EQ(g_trace.back(), "rapi: initialization succeeded\n");
    RapiClose(link);
    EXPECT_EQ(GetModuleHandleA("rapi.dll"), nullptr);
    EXPECT_EQ(g_trace.back(), "rapi: uninitialization complete\n");
    std::vector<std::string> calls = Calls();
    EXPECT_EQ(calls, (std::vector<std::string>{"CeRapiInitEx", "CeRapiUninit", "unloaded"}));
}

// The library refuses a second start while the first is running, which is how a refusal is provoked here.
TEST_F(RapiLinkTest, ALibraryThatRefusesToStartGivesNullWithItsResult) {
    AttachDevice(false);
    RapiLink* first = RapiOpen(kRapiStartupTimeout);
    ASSERT_NE(first, nullptr);
    g_trace.clear();
    EXPECT_EQ(RapiOpen(kRapiStartupTimeout), nullptr);
    std::vector<std::string> expected = {"rapi: initializing...\n", "rapi: calling CeRapiInitEx\n",
                                         "rapi: CeRapiInitEx failed; error -2147217407\n",
                                         "rapi: uninitializing\n", "rapi: uninitialization complete\n"};
    EXPECT_EQ(g_trace, expected);
    // The failed attempt gave back only its own reference to the library.
    EXPECT_NE(GetModuleHandleA("rapi.dll"), nullptr);
    RapiClose(first);
    EXPECT_EQ(GetModuleHandleA("rapi.dll"), nullptr);
}

TEST_F(RapiLinkTest, ProcessorNamesComeFromTheFirstFieldOfTheSystemRecord) {
    AttachDevice(false);
    const struct {
        const char* setting;
        const char* name;
    } cases[] = {{"1", "mips"},    {"3", "ppc"},     {"4", "shx"},    {"5", "arm"},
                 {"0", "unknown"}, {"9", "unknown"}, {nullptr, "arm"}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.setting ? entry.setting : "default");
        SetEnvironmentVariableA("VEXLIN_DEVICE_PROCESSOR", entry.setting);
        RapiLink* link = RapiOpen(kRapiStartupTimeout);
        ASSERT_NE(link, nullptr);
        EXPECT_STREQ(RapiDeviceProcessor(link), entry.name);
        RapiClose(link);
    }
    // A device that leaves the record alone: it stays 0xFE throughout, which names no processor.
    SetEnvironmentVariableA("VEXLIN_DEVICE_PROCESSOR", "none");
    RapiLink* link = RapiOpen(kRapiStartupTimeout);
    ASSERT_NE(link, nullptr);
    SYSTEM_INFO info;
    ZeroMemory(&info, sizeof(info));
    RapiQuerySystemInfo(link, &info);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&info);
    EXPECT_EQ(std::count(bytes, bytes + sizeof(info), 0xFE), 36);
    EXPECT_STREQ(RapiDeviceProcessor(link), "unknown");
    RapiClose(link);
    EXPECT_STREQ(RapiProcessorName(0xFEFE), "unknown");
}

// An open link to a device with its decompressor, and the toolkit side of a transfer.
class RapiTransferTest : public RapiLinkTest {
protected:
    void Open(bool decompressor) {
        AttachDevice(decompressor);
        link_ = RapiOpen(kRapiStartupTimeout);
        ASSERT_NE(link_, nullptr);
        transfer_.link = link_;
        transfer_.decompressorVersion = &version_;
        transfer_.makerFolder = "\\Program Files\\Tessel Software";
        transfer_.progress = [](void* context, LONG percent, const string&) {
            static_cast<std::vector<LONG>*>(context)->push_back(percent);
        };
        transfer_.context = &progress_;
    }

    void TearDown() override {
        RapiClose(link_);
        RapiLinkTest::TearDown();
    }

    bool Send(const char* path, const std::string& bytes, LONG from = 0, LONG to = 100) {
        return RapiSendFile(transfer_, string(path), reinterpret_cast<const BYTE*>(bytes.data()),
                            static_cast<DWORD>(bytes.size()), from, to);
    }

    RapiLink* link_ = nullptr;
    LONG version_ = -1;
    RapiTransfer transfer_ = {};
    std::vector<LONG> progress_;
};

TEST_F(RapiTransferTest, AFileOf5120BytesIsAlwaysSentPlainly) {
    Open(true);
    std::string bytes = Sample(5120, 1);
    ASSERT_TRUE(Send("\\Windows\\small.bin", bytes));
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\small.bin"), bytes);
    std::vector<std::string> calls = Calls();
    // The decompressor is not even asked for its version.
    EXPECT_EQ(Count(calls, "CeRapiInvoke"), 0u);
    EXPECT_EQ(Count(calls, "CeCreateFile"), 1u);
    EXPECT_EQ(version_, -1);
}

TEST_F(RapiTransferTest, AFileOf5121BytesTravelsCompressedAndArrivesIdentical) {
    Open(true);
    std::string bytes = Sample(5121, 2);
    ASSERT_TRUE(Send("\\Windows\\large.bin", bytes, 10, 20));
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\large.bin"), bytes);
    EXPECT_EQ(version_, 1);
    std::vector<std::string> calls = Calls();
    // The version, then the expansion; the only file the link created is the temporary one.
    EXPECT_EQ(Count(calls, "CeRapiInvoke"), 2u);
    EXPECT_EQ(Count(calls, "CeCreateFile"), 1u);
    EXPECT_TRUE(TempFilesOnDevice().empty());
    ASSERT_FALSE(progress_.empty());
    EXPECT_EQ(progress_.front(), 10);
    EXPECT_EQ(progress_.back(), 20);
    // The version is asked once per toolkit.
    std::string more = Sample(40000, 3);
    ASSERT_TRUE(Send("\\Windows\\more.bin", more));
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\more.bin"), more);
    EXPECT_EQ(Count(Calls(), "CeRapiInvoke"), 3u);
}

TEST_F(RapiTransferTest, WithoutADecompressorLargeFilesGoPlainly) {
    for (const char* answer : {"absent", "0"}) {
        SCOPED_TRACE(answer);
        bool present = std::string(answer) != "absent";
        if (present) SetEnvironmentVariableA("VEXLIN_DEVICE_DECOMPRESSOR_VERSION", answer);
        Open(present);
        std::string bytes = Sample(9000, 4);
        ASSERT_TRUE(Send("\\Windows\\plain.bin", bytes));
        EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\plain.bin"), bytes);
        EXPECT_EQ(version_, 0);
        EXPECT_EQ(Count(Calls(), "CeRapiInvoke"), 1u);
        RapiClose(link_);
        link_ = nullptr;
        version_ = -1;
        DeleteFileA(log_.c_str());
    }
}

TEST_F(RapiTransferTest, ARejectingDecompressorStillGetsTheFileAndIsNotAskedAgain) {
    SetEnvironmentVariableA("VEXLIN_DEVICE_DECOMPRESSOR_REJECTS", "1");
    Open(true);
    std::string bytes = Sample(20000, 5);
    ASSERT_TRUE(Send("\\Windows\\refused.bin", bytes, 0, 50));
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\refused.bin"), bytes);
    EXPECT_EQ(version_, 0);
    EXPECT_TRUE(TempFilesOnDevice().empty());
    // Temporary file, then the plain file: two runs of progress, each ending at the top.
    EXPECT_EQ(std::count(progress_.begin(), progress_.end(), 50), 2);
    size_t invokes = Count(Calls(), "CeRapiInvoke");
    EXPECT_EQ(invokes, 2u);
    std::string later = Sample(30000, 6);
    ASSERT_TRUE(Send("\\Windows\\later.bin", later));
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\later.bin"), later);
    EXPECT_EQ(Count(Calls(), "CeRapiInvoke"), invokes);
}

BOOL FailingCompressor(BYTE** ppOut, DWORD* pcbOut, const BYTE*, DWORD) {
    *ppOut = nullptr;
    *pcbOut = 0;
    return FALSE;
}

TEST_F(RapiTransferTest, ACompressionFailureFallsBackToAPlainTransfer) {
    Open(true);
    RapiSetCompressor(FailingCompressor);
    std::string bytes = Sample(12000, 7);
    BOOL sent = Send("\\Windows\\fallback.bin", bytes);
    RapiSetCompressor(nullptr);
    ASSERT_TRUE(sent);
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\fallback.bin"), bytes);
    EXPECT_TRUE(TempFilesOnDevice().empty());
    // Only the version was asked; the decompressor was never handed a file, and it stays trusted.
    EXPECT_EQ(Count(Calls(), "CeRapiInvoke"), 1u);
    EXPECT_EQ(version_, 1);
}

TEST_F(RapiTransferTest, PlainWritesReportProgressAfterEachPiece) {
    Open(false);
    std::string bytes = Sample(100000, 8);
    ASSERT_TRUE(RapiWritePlainFile(transfer_, string("\\Windows\\progress.bin"),
                                   reinterpret_cast<const BYTE*>(bytes.data()), 100000, 5, 95));
    EXPECT_EQ(progress_, (std::vector<LONG>{5, 34, 63, 93, 95}));
    EXPECT_EQ(Count(Calls(), "CeWriteFile"), 4u);
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\progress.bin"), bytes);
    // From -1: no reports, still in pieces the remote write takes.
    progress_.clear();
    ASSERT_TRUE(RapiWritePlainFile(transfer_, string("\\Windows\\quiet.bin"),
                                   reinterpret_cast<const BYTE*>(bytes.data()), 100000, -1, 0));
    EXPECT_TRUE(progress_.empty());
    EXPECT_EQ(ReadHostFile(device_ + "\\Windows\\quiet.bin"), bytes);
}

TEST_F(RapiTransferTest, AFileThatCannotBeCreatedFailsWithItsTraceLine) {
    Open(true);
    std::string bytes = Sample(8000, 9);
    EXPECT_FALSE(Send("\\..\\outside.bin", bytes));
    EXPECT_FALSE(Exists(base_ + "\\outside.bin"));
    EXPECT_EQ(g_trace.back(), "setuplib: rapi writefile failed to create \\..\\outside.bin\n");
    EXPECT_TRUE(TempFilesOnDevice().empty());
}

TEST_F(RapiTransferTest, ADestinationTooLongToNameToTheDecompressorGoesPlainly) {
    Open(true);
    std::string name = "\\Windows\\" + std::string(200, 'f') + "\\" + std::string(300, 'n');
    std::string bytes = Sample(9000, 10);
    // The emulated device refuses paths beyond MAX_PATH, so the plain write fails; the point is that the
    // decompressor is never handed a path its input cannot hold.
    Send(name.c_str(), bytes);
    EXPECT_EQ(Count(Calls(), "CeRapiInvoke"), 0u);
}

TEST_F(RapiTransferTest, TheDecompressorIsInstalledOnlyWhereNoneAnswers) {
    Open(false);
    std::string library = "device library bytes";
    ASSERT_TRUE(RapiInstallDecompressor(transfer_, reinterpret_cast<const BYTE*>(library.data()),
                                        static_cast<DWORD>(library.size()), 0, 100));
    EXPECT_EQ(ReadHostFile(device_ + "\\Program Files\\Tessel Software\\tranzo.dll"), library);
    EXPECT_EQ(version_, 1);
    // Now one answers: nothing is written again.
    WriteHostFile(device_ + "\\Program Files\\Tessel Software\\tranzo.dll", "kept");
    ASSERT_TRUE(RapiInstallDecompressor(transfer_, reinterpret_cast<const BYTE*>(library.data()),
                                        static_cast<DWORD>(library.size()), 0, 100));
    EXPECT_EQ(ReadHostFile(device_ + "\\Program Files\\Tessel Software\\tranzo.dll"), "kept");
}

TEST_F(RapiTransferTest, VersionsAreAskedOnTheDeviceAndOnTheDesktop) {
    Open(false);
    string deviceUninstaller("\\Program Files\\Tessel Software\\remora.dll");
    EXPECT_EQ(RapiAskVersion(link_, deviceUninstaller, string("GetUninstallVersion")), 0);
    WriteHostFile(device_ + "\\Program Files\\Tessel Software\\remora.dll", "emulated");
    EXPECT_EQ(RapiAskVersion(link_, deviceUninstaller, string("GetUninstallVersion")), 2);
    EXPECT_EQ(RapiAskVersion(link_, deviceUninstaller, string("NoSuchFunction")), 0);

    string desktop((ModuleFolder() + "\\remote_call_library.dll").c_str());
    EXPECT_EQ(RapiAskVersion(nullptr, desktop, string("GetUninstallVersion")), 2);
    EXPECT_EQ(RapiAskVersion(nullptr, desktop, string("AlwaysFails")), 0);
    EXPECT_EQ(RapiAskVersion(nullptr, desktop, string("Missing")), 0);
    EXPECT_EQ(
        RapiAskVersion(nullptr, string((base_ + "\\absent.dll").c_str()), string("GetUninstallVersion")), 0);
    DWORD cb = 1;
    BYTE* output = reinterpret_cast<BYTE*>(1);
    BYTE* input = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, 2));
    EXPECT_EQ(RapiInvokeDesktop(desktop, string("Missing"), 2, input, &cb, &output),
              HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(output, nullptr);
    EXPECT_EQ(cb, 0u);
}

TEST(RapiParseVersion, ReadsLeadingDecimalDigitsWithinTheAnswer) {
    auto parse = [](const std::wstring& text, DWORD cb) {
        return RapiParseVersion(reinterpret_cast<const BYTE*>(text.c_str()), cb);
    };
    EXPECT_EQ(parse(L"12", 6), 12);
    EXPECT_EQ(parse(L"12", 2), 1); // no terminator inside the answer
    EXPECT_EQ(parse(L"12", 3), 1); // an odd last byte is no character
    EXPECT_EQ(parse(L"x3", 6), 0);
    EXPECT_EQ(parse(L"", 2), 0);
    EXPECT_EQ(parse(L"7 beta", 14), 7);
    EXPECT_GT(parse(L"99999999999999999999", 42), 0);
}

TEST_F(RapiTransferTest, ForwardedRegistryCallsReachTheDevice) {
    Open(false);
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(CeRegCreateKeyEx(link_, HKEY_LOCAL_MACHINE, L"Software\\Apps\\Vexlin", 0, nullptr, 0, 0,
                               nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    WCHAR text[] = L"Vexlin";
    ASSERT_EQ(
        CeRegSetValueEx(link_, key, L"InstlDir", 0, REG_SZ, reinterpret_cast<BYTE*>(text), sizeof(text)),
        ERROR_SUCCESS);
    WCHAR back[1024];
    DWORD type = 0;
    DWORD cb = sizeof(back);
    ASSERT_EQ(CeRegQueryValueEx(link_, key, L"InstlDir", nullptr, &type, reinterpret_cast<BYTE*>(back), &cb),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(back, L"Vexlin");
    EXPECT_EQ(CeRegCloseKey(link_, key), ERROR_SUCCESS);
    WCHAR folder[260];
    EXPECT_GT(CeGetSpecialFolderPath(link_, 2, 260, folder), 0u);
    EXPECT_STREQ(folder, L"\\Windows\\Start Menu\\Programs");
    EXPECT_EQ(CeGetFileAttributes(link_, L"\\Nothing Here"), INVALID_FILE_ATTRIBUTES);
}

} // namespace
