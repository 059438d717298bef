// Crash safety of the uninstall log: an installation in a child process is ended hard at each of its
// progress points in turn (before journal saves, folders and registry values, between the pieces of
// files); after each, the uninstall driven by the log on disk must leave nothing of what was created.
#include "sl_main.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char kApp[] = "VexlinCrashTest";
// Exit codes: the child's own end at its kill point, and ours for a child that did not end in time.
const DWORD kKilled = 7;
const DWORD kHung = 9;

std::string Directory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.rfind('\\'));
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(HKEY root, const char* key) {
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

bool ValueExists(HKEY root, const char* key, const char* name) {
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExA(handle, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(handle);
    return found;
}

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

// Runs the child with a kill point; returns its exit code and what it printed.
DWORD RunChild(DWORD killPoint, std::string* output) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr, write = nullptr;
    CreatePipe(&read, &write, &inherit, 0);
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    PROCESS_INFORMATION child = {};
    std::string line =
        "\"" + Directory() + "\\toolkit_crash_child.exe\" " + std::to_string(killPoint) + " " + kApp;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child)) {
        CloseHandle(read);
        CloseHandle(write);
        return 0xFFFFFFFF;
    }
    CloseHandle(write);
    // The child's few lines fit the pipe: wait first, so that a child that hangs is ended instead of
    // blocking the read.
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(child.hProcess, 20000) != WAIT_OBJECT_0) {
        TerminateProcess(child.hProcess, kHung);
        WaitForSingleObject(child.hProcess, 5000);
        code = kHung;
    } else {
        GetExitCodeProcess(child.hProcess, &code);
    }
    char buffer[256];
    DWORD got = 0, available = 0;
    while (PeekNamedPipe(read, nullptr, 0, nullptr, &available, nullptr) && available &&
           ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got)
        output->append(buffer, got);
    CloseHandle(read);
    CloseHandle(child.hProcess);
    CloseHandle(child.hThread);
    return code;
}

class CrashTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetupLib lib(0);
        SetupToolkit* t = lib.DesktopToolkit();
        folder_ = std::string(t->GetFolder(kFolderProgramFiles).Psz8()) + "\\" + kApp;
        menu_ = std::string(t->GetFolder(kFolderProgramsMenu).Psz8()) + "\\" + kApp;
        maker_ = t->GetFolder(kFolderMaker).Psz8();
        log_ = maker_ + "\\Uninstall Log for " + kApp + ".txt";
        // A maker folder that was there already, as it usually is.
        CreateDirectoryA(maker_.c_str(), nullptr);
        Uninstall();
        // Leftovers of a broken earlier run would count as there before and never be journalled.
        RemoveTree(folder_);
        RemoveTree(menu_);
    }

    void TearDown() override {
        Uninstall();
        // The child's stand-in for the shared uninstaller, which no log names.
        DeleteFileA((maker_ + "\\remora.dll").c_str());
        RemoveDirectoryA(maker_.c_str());
    }

    bool Uninstall() {
        SetupLib lib(0);
        return lib.Uninstall(FALSE, string(kApp));
    }

    // What the installation may have created, each still there.
    std::vector<std::string> Leftovers() {
        std::vector<std::string> left;
        for (const std::string& path : {folder_, menu_, log_, log_ + ".new"})
            if (Exists(path)) left.push_back(path);
        std::string key = std::string("Software\\") + kApp;
        if (KeyExists(HKEY_CURRENT_USER, key.c_str())) left.push_back("HKCU\\" + key);
        if (KeyExists(HKEY_LOCAL_MACHINE, key.c_str())) left.push_back("HKLM\\" + key);
        std::string uninstall =
            std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kApp;
        if (KeyExists(HKEY_LOCAL_MACHINE, uninstall.c_str())) left.push_back("HKLM\\" + uninstall);
        for (const char* prefix : {"Lang-", "Opt-"})
            if (ValueExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessel\\NLS",
                            (std::string(prefix) + kApp).c_str()))
                left.push_back(std::string("NLS ") + prefix);
        return left;
    }

    std::string folder_, menu_, maker_, log_;
};

TEST_F(CrashTest, EveryKillPointLeavesALogThatUndoesWhatWasMade) {
    // A whole run first: it counts the points and must itself be undone completely.
    std::string output;
    ASSERT_EQ(0u, RunChild(0, &output)) << output;
    unsigned long points = 0;
    ASSERT_EQ(1, sscanf(output.c_str(), "installed after %lu points", &points)) << output;
    ASSERT_GE(points, 50u);
    ASSERT_TRUE(Exists(folder_ + "\\data\\sounds\\a.wav"));
    ASSERT_TRUE(
        KeyExists(HKEY_CURRENT_USER, (std::string("Software\\") + kApp + "\\Settings\\Board").c_str()));
    ASSERT_TRUE(Uninstall());
    EXPECT_EQ(std::vector<std::string>(), Leftovers());

    DWORD withLog = 0, madeSomething = 0, hung = 0;
    for (DWORD point = 1; point <= points; ++point) {
        SCOPED_TRACE("kill point " + std::to_string(point));
        output.clear();
        // A child that hangs (seen rarely under Wine) is ended by the parent: a crash all the same.
        DWORD code = RunChild(point, &output);
        ASSERT_TRUE(code == kKilled || code == kHung) << code << " " << output;
        if (code == kHung) ++hung;
        if (!Leftovers().empty()) ++madeSomething;
        bool logged = Exists(log_);
        if (logged) ++withLog;
        EXPECT_EQ(logged, Uninstall());
        std::vector<std::string> left = Leftovers();
        EXPECT_EQ(std::vector<std::string>(), left);
        if (!left.empty()) break;
    }
    printf("killed at %lu points, %lu left changes, %lu a log, %lu hung and ended by the test\n", points,
           static_cast<unsigned long>(madeSomething), static_cast<unsigned long>(withLog),
           static_cast<unsigned long>(hung));
    EXPECT_GE(madeSomething, points - 2);
}

// A save that stopped before the new log replaced the old one leaves only the new one when there was no
// old one: it is read in the log's stead, and the uninstall removes both.
TEST_F(CrashTest, ALogLeftBesideItsPlaceIsReadInItsStead) {
    CreateDirectoryA(folder_.c_str(), nullptr);
    std::string file = folder_ + "\\vexlin.exe";
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(handle);
    std::string text = "deletedir { \"" + folder_ + "\" }\ndeletefile { \"" + file + "\" }\n";
    handle = CreateFileA((log_ + ".new").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(handle, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(handle);
    EXPECT_TRUE(Uninstall());
    EXPECT_EQ(std::vector<std::string>(), Leftovers());
}

} // namespace
