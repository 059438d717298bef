// The shared uninstaller end to end in the test prefix: an installation made with the toolkit and
// finalized with the real remora.dll, then the uninstall string run exactly as the registry holds it, with
// a driver answering the message boxes. A "No" changes nothing; a "Yes" removes everything the
// installation made and nothing else, in the product's language, and schedules the uninstaller's own
// removal only when no other product's log remains. A hook library can refuse the uninstall.
#include "sl_main.h"
#include "sl_toolkit.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char kApp[] = "VexlinRemoraTest";
const char kOtherLog[] = "Uninstall Log for VexlinRemoraOther.txt";
const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VexlinRemoraTest";
const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";

std::string Directory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.rfind('\\'));
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string RegText(HKEY root, const char* key, const char* name) {
    char buffer[1024] = {0};
    DWORD size = sizeof buffer - 1;
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<no key>";
    LONG r = RegQueryValueExA(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    return r == ERROR_SUCCESS ? buffer : "<no value>";
}

void SetRegText(HKEY root, const char* key, const char* name, const std::string& text) {
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr));
    RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   DWORD(text.size() + 1));
    RegCloseKey(handle);
}

bool KeyExists(HKEY root, const char* key) {
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::wstring Lower(std::wstring s) {
    for (wchar_t& c : s) c = towlower(c);
    return s;
}

// The pending renames of the next restart as (source, target) pairs.
std::vector<std::pair<std::wstring, std::wstring>> PendingRenames() {
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                      &key) != ERROR_SUCCESS)
        return pairs;
    DWORD size = 0, type = 0;
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        size) {
        std::vector<wchar_t> data(size / 2 + 2, 0);
        RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type,
                         reinterpret_cast<BYTE*>(&data[0]), &size);
        std::vector<std::wstring> items;
        for (size_t i = 0; i < size / 2;) {
            std::wstring item(&data[i]);
            items.push_back(item);
            i += item.size() + 1;
        }
        for (size_t i = 0; i + 1 < items.size(); i += 2) pairs.push_back({items[i], items[i + 1]});
    }
    RegCloseKey(key);
    return pairs;
}

// Positions of the pending deletions (empty target) of a path, in order.
std::vector<size_t> PendingDeletions(const std::string& path) {
    std::vector<size_t> found;
    std::wstring wanted = Lower(std::wstring(path.begin(), path.end()));
    std::vector<std::pair<std::wstring, std::wstring>> pairs = PendingRenames();
    for (size_t i = 0; i < pairs.size(); ++i) {
        std::wstring source = Lower(pairs[i].first);
        if (pairs[i].second.empty() && source.size() >= wanted.size() &&
            source.compare(source.size() - wanted.size(), wanted.size(), wanted) == 0 &&
            (source.size() == wanted.size() || source[source.size() - wanted.size() - 1] == '\\'))
            found.push_back(i);
    }
    return found;
}

// Takes the pending deletions of these paths out again, so that no later start of the prefix acts on them.
void ForgetPendingDeletions(const std::vector<std::string>& paths) {
    std::vector<std::pair<std::wstring, std::wstring>> pairs = PendingRenames();
    std::wstring kept;
    for (const auto& pair : pairs) {
        bool ours = false;
        for (const std::string& path : paths) {
            std::wstring wanted = Lower(std::wstring(path.begin(), path.end()));
            std::wstring source = Lower(pair.first);
            ours = ours || (source.size() >= wanted.size() &&
                            source.compare(source.size() - wanted.size(), wanted.size(), wanted) == 0);
        }
        if (ours) continue;
        kept += pair.first + L'\0' + pair.second + L'\0';
    }
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    if (kept.empty())
        RegDeleteValueW(key, L"PendingFileRenameOperations");
    else
        RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(kept.c_str()), DWORD((kept.size() + 1) * 2));
    RegCloseKey(key);
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

// The uninstall logs of other products in the maker folder.
std::vector<std::string> OtherLogs(const std::string& maker) {
    std::vector<std::string> logs;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((maker + "\\Uninstall Log for *.txt").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return logs;
    do
        if (std::string(found.cFileName) != "Uninstall Log for VexlinRemoraTest.txt")
            logs.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return logs;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// Runs a command line as it is, and the driver answering that process's message boxes; returns the boxes
// the driver saw as "caption|text" lines.
std::vector<std::string> RunAnswered(const std::string& commandLine, const char* answers) {
    std::string report = Directory() + "\\answers.txt";
    DeleteFileA(report.c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION target = {}, driver = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &target)) {
        ADD_FAILURE() << "cannot start " << commandLine;
        return {};
    }
    std::string driverLine = "\"" + Directory() + "\\dialog_answerer.exe\" " +
                             std::to_string(target.dwProcessId) + " " + answers + " 60000 \"" + report + "\"";
    EXPECT_TRUE(CreateProcessA(nullptr, &driverLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &startup, &driver));
    if (WaitForSingleObject(target.hProcess, 70000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the uninstaller did not end";
        TerminateProcess(target.hProcess, 1);
    }
    if (driver.hProcess && WaitForSingleObject(driver.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(driver.hProcess, 1);
    CloseHandle(target.hProcess);
    CloseHandle(target.hThread);
    if (driver.hProcess) {
        CloseHandle(driver.hProcess);
        CloseHandle(driver.hThread);
    }
    return Lines(ReadAll(report));
}

class RemoraTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetupLib lib(0);
        SetupToolkit* t = lib.DesktopToolkit();
        pf_ = t->GetFolder(kFolderProgramFiles).Psz8();
        maker_ = t->GetFolder(kFolderMaker).Psz8();
        menu_ = t->GetFolder(kFolderProgramsMenu).Psz8();
        exe_ = pf_ + "\\VexlinRemoraTest\\bin\\vexlin.exe";
        shared_ = pf_ + "\\VexlinRemoraShared";
        readme_ = shared_ + "\\Vexlin\\readme.txt";
        lnk_ = menu_ + "\\VexlinRemoraTest\\Vexlin.lnk";
        log_ = maker_ + "\\Uninstall Log for VexlinRemoraTest.txt";
        remora_ = maker_ + "\\remora.dll";
        CleanUp();
        // What was there before: a folder holding another product's file, and a key with its own value.
        CreateDirectoryA(shared_.c_str(), nullptr);
        WriteAll(shared_ + "\\other.txt", "another product");
        SetRegText(HKEY_CURRENT_USER, "Software\\Tessel", "VexlinRemoraUnrelated", "keep");
    }

    void TearDown() override {
        CleanUp();
        DeleteFileA((shared_ + "\\other.txt").c_str());
        RemoveDirectoryA(shared_.c_str());
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Tessel", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, "VexlinRemoraUnrelated");
            RegCloseKey(key);
        }
    }

    void CleanUp() {
        if (Exists(log_)) {
            SetupLib lib(0);
            lib.Uninstall(FALSE, string(kApp));
        }
        DeleteFileA((maker_ + "\\" + kOtherLog).c_str());
        ForgetPendingDeletions({remora_, maker_});
        // Leftovers of a broken earlier run would count as there before and never be journalled.
        RemoveTree(pf_ + "\\VexlinRemoraTest");
        RemoveTree(shared_ + "\\Vexlin");
        RemoveTree(menu_ + "\\VexlinRemoraTest");
    }

    // The installation of the product, its language choice stored as the installer stores it.
    void Install(const char* language, bool withHook = false) {
        ZipWriter writer;
        std::string error;
        ASSERT_TRUE(
            writer.Add("native/vexlin.exe", Bytes(std::string(40000, 'v')), ZipMethod::Deflated, &error));
        ASSERT_TRUE(writer.Add("readme.txt", Bytes("Legu min"), ZipMethod::Stored, &error));
        ASSERT_TRUE(writer.Add("remora.dll", Bytes(ReadAll(Directory() + "\\remora.dll")),
                               ZipMethod::Deflated, &error));
        ASSERT_TRUE(writer.Add("hook.dll", Bytes(ReadAll(Directory() + "\\uninstall_hook.dll")),
                               ZipMethod::Deflated, &error));
        std::vector<uint8_t> zip = writer.Finish();
        ZipFile archive;
        archive.OpenMemory(zip.data(), DWORD(zip.size()), TRUE);
        SetRegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessel\\NLS", "Opt-VexlinRemoraTest", "EN,EO");
        SetRegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessel\\NLS", "Lang-VexlinRemoraTest", language);

        SetupLib lib(0);
        SetupToolkit* t = lib.DesktopToolkit();
        ASSERT_TRUE(t->OpenJournal(string(kApp)));
        ASSERT_TRUE(t->InstallFile(string(exe_.c_str()), archive, string("native\\vexlin.exe"), 0, 40));
        ASSERT_TRUE(t->InstallFile(string(readme_.c_str()), archive, string("readme.txt"), 40, 50));
        if (withHook) {
            std::string hook = pf_ + "\\VexlinRemoraTest\\hook.dll";
            ASSERT_TRUE(t->InstallFile(string(hook.c_str()), archive, string("hook.dll"), 50, 60));
            ASSERT_TRUE(t->RegisterHook(string(hook.c_str())));
        }
        ASSERT_TRUE(t->LinkFile(string(lnk_.c_str()), string(exe_.c_str())));
        ASSERT_TRUE(t->WriteRegString(HKEY_CURRENT_USER, string("Software\\Tessel\\VexlinRemoraTest\\Scores"),
                                      string("Best"), string("100")));
        ASSERT_TRUE(t->WriteRegDword(HKEY_CURRENT_USER, string("Software\\Tessel\\VexlinRemoraTest"),
                                     string("Runs"), 3));
        ASSERT_TRUE(t->TransferLanguage(string(kApp)));
        ASSERT_TRUE(t->Finalize(archive, string("remora.dll"), 95, 100));
        ASSERT_EQ(ReadAll(Directory() + "\\remora.dll"), ReadAll(remora_));
    }

    void ExpectInstalled() {
        EXPECT_TRUE(Exists(exe_));
        EXPECT_TRUE(Exists(readme_));
        EXPECT_TRUE(Exists(lnk_));
        EXPECT_TRUE(Exists(log_));
        EXPECT_EQ("100", RegText(HKEY_CURRENT_USER, "Software\\Tessel\\VexlinRemoraTest\\Scores", "Best"));
        EXPECT_EQ("EN,EO", RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessel\\NLS", "Opt-VexlinRemoraTest"));
        EXPECT_EQ(kApp, RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"));
    }

    // Nothing the installation made is left; what was there before is.
    void ExpectRemoved() {
        for (const std::string& path : {exe_, pf_ + "\\VexlinRemoraTest", readme_, shared_ + "\\Vexlin", lnk_,
                                        menu_ + "\\VexlinRemoraTest", log_, log_ + ".new"})
            EXPECT_FALSE(Exists(path)) << path;
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\Tessel\\VexlinRemoraTest"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
        EXPECT_EQ('<', RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessel\\NLS", "Opt-VexlinRemoraTest")[0]);
        EXPECT_EQ('<', RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessel\\NLS", "Lang-VexlinRemoraTest")[0]);
        EXPECT_EQ("another product", ReadAll(shared_ + "\\other.txt"));
        EXPECT_TRUE(Exists(pf_));
        EXPECT_TRUE(Exists(menu_));
        EXPECT_EQ("keep", RegText(HKEY_CURRENT_USER, "Software\\Tessel", "VexlinRemoraUnrelated"));
    }

    std::string UninstallString() { return RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"); }

    std::string pf_, maker_, menu_, exe_, shared_, readme_, lnk_, log_, remora_;
};

TEST_F(RemoraTest, NoKeepsEverythingAndYesRemovesItInTheProductsLanguage) {
    Install("EO");
    // Another product of the maker still needs the shared uninstaller.
    WriteAll(maker_ + "\\" + kOtherLog, "#\n");
    std::string command = UninstallString();
    EXPECT_EQ("rundll32 \"" + remora_ + "\",Uninstall VexlinRemoraTest", command);

    std::vector<std::string> boxes = RunAnswered(command, "no");
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Malinstalilo de Tessel Software|\xC4\x88u vi volas forigi VexlinRemoraTest kun \xC4\x89iuj "
              "\xC4\x9Diaj eroj el \xC4\x89i tiu komputilo?",
              boxes[0]);
    ExpectInstalled();

    // Without a product's name there is nothing to ask: the uninstaller says so, in its first language.
    boxes = RunAnswered("rundll32 \"" + remora_ + "\",Uninstall", "ok");
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Tessel Software Uninstaller|No product was named for removal.", boxes[0]);
    ExpectInstalled();

    boxes = RunAnswered(command, "yes,ok");
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("Malinstalilo de Tessel Software|VexlinRemoraTest estas forigita el \xC4\x89i tiu komputilo.",
              boxes[1]);
    ExpectRemoved();
    EXPECT_TRUE(Exists(remora_));
    EXPECT_TRUE(PendingDeletions(remora_).empty()) << "another product's log remains";
    EXPECT_TRUE(PendingDeletions(maker_).empty());
}

TEST_F(RemoraTest, TheLastProductsUninstallSchedulesTheUninstallerAndTheMakerFolder) {
    // Tests that install share a lock on the maker folder; a log left by anything else spoils this case.
    std::vector<std::string> others = OtherLogs(maker_);
    ASSERT_TRUE(others.empty()) << "another product's log in the maker folder: " << others[0];
    Install("EN");
    std::vector<std::string> boxes = RunAnswered(UninstallString(), "yes,ok");
    ASSERT_EQ(2u, boxes.size());
    EXPECT_EQ("Tessel Software Uninstaller|Do you want to remove VexlinRemoraTest and all of its components "
              "from this computer?",
              boxes[0]);
    EXPECT_EQ("Tessel Software Uninstaller|VexlinRemoraTest has been removed from this computer.", boxes[1]);
    ExpectRemoved();
    // The file first, then the folder, which is empty by then.
    std::vector<size_t> file = PendingDeletions(remora_), folder = PendingDeletions(maker_);
    ASSERT_EQ(1u, file.size());
    ASSERT_EQ(1u, folder.size());
    EXPECT_LT(file[0], folder[0]);
    // What the restart would do.
    ForgetPendingDeletions({remora_, maker_});
    DeleteFileA(remora_.c_str());
    RemoveDirectoryA(maker_.c_str());

    // Nothing to remove any more: the failure is reported and nothing is scheduled.
    Install("EN");
    std::string command = UninstallString();
    SetupLib lib(0);
    ASSERT_TRUE(lib.Uninstall(FALSE, string(kApp)));
    boxes = RunAnswered(command, "yes,ok");
    ASSERT_EQ(2u, boxes.size());
    EXPECT_NE(std::string::npos, boxes[1].find("VexlinRemoraTest could not be removed")) << boxes[1];
    EXPECT_TRUE(PendingDeletions(remora_).empty());
}

TEST_F(RemoraTest, AHookAnsweringZeroStopsTheUninstallWithNothingRemoved) {
    std::string hookLog = Directory() + "\\hook_calls.txt";
    DeleteFileA(hookLog.c_str());
    SetEnvironmentVariableA("VEXLIN_HOOK_LOG", hookLog.c_str());
    Install("EN", true);
    std::string hook = pf_ + "\\VexlinRemoraTest\\hook.dll";
    std::string hookBytes = ReadAll(hook);
    {
        SetEnvironmentVariableA("VEXLIN_HOOK_ANSWER", "0");
        SetupLib lib(0);
        EXPECT_FALSE(lib.Uninstall(FALSE, string(kApp)));
        ExpectInstalled();
        EXPECT_EQ(hookBytes, ReadAll(hook)) << "the hook is back in its place";
        EXPECT_EQ("OnUninstallBegin VexlinRemoraTest\n", ReadAll(hookLog));
    }
    {
        SetEnvironmentVariableA("VEXLIN_HOOK_ANSWER", "1");
        SetupLib lib(0);
        EXPECT_TRUE(lib.Uninstall(FALSE, string(kApp)));
        ExpectRemoved();
        EXPECT_FALSE(Exists(hook));
        EXPECT_EQ("OnUninstallBegin VexlinRemoraTest\nOnUninstallBegin VexlinRemoraTest\n"
                  "OnUninstallEnd VexlinRemoraTest\n",
                  ReadAll(hookLog));
    }
    SetEnvironmentVariableA("VEXLIN_HOOK_ANSWER", nullptr);
    SetEnvironmentVariableA("VEXLIN_HOOK_LOG", nullptr);
    // The moved hook was deleted after its end call.
    WIN32_FIND_DATAA found;
    std::string drive = pf_.substr(0, 3);
    HANDLE search = FindFirstFileA((drive + "This File Is Safe To Delete*.dll").c_str(), &found);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search) << found.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

} // namespace
