// The installation toolkit on the desktop, in the test prefix: what an installation journals and in which
// order, progress, registry values, shortcuts, the uninstaller's version rule, and an uninstall through the
// log that removes what was made and nothing else.
#include "sl_main.h"
#include "sl_toolkit.h"

#include "mem_manager.h"
#include "zip_writer.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

const char kApp[] = "VexlinToolkitTest";

std::vector<uint8_t> Pattern(size_t size, int seed) {
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i) v[i] = uint8_t(i * 31 + seed + i / 977);
    return v;
}

std::string ReadAll(const std::string& path) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string text(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!text.empty()) ReadFile(file, &text[0], DWORD(text.size()), &read, nullptr);
    CloseHandle(file);
    return text;
}

void WriteAll(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string Directory() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path);
    return s.substr(0, s.rfind('\\'));
}

std::string RegText(HKEY root, const char* key, const char* name) {
    char buffer[1024] = {0};
    DWORD size = sizeof buffer - 1;
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<no key>";
    LONG r = RegQueryValueExA(handle, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    return r == ERROR_SUCCESS ? buffer : "<no value>";
}

bool KeyExists(HKEY root, const char* key) {
    HKEY handle;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
    RegCloseKey(handle);
    return true;
}

std::string EntryText(const Journal& journal, DWORD i) {
    const JournalEntry& e = journal.At(i);
    std::string text = std::string(JournalKeyword(e.kind)) + " " + e.first.Psz8();
    if (e.kind == kJournalDeleteVal) text += std::string(" / ") + e.second.Psz8();
    return text;
}

struct Report {
    DWORD kind;
    LONG percent;
    std::string path;
    bool logCoversFile; // at a file's first report: its "deletefile" line was already on disk
};

struct Recorder {
    std::vector<Report> reports;
    std::string logPath;
};

void Record(DWORD kind, LONG percent, const string& path, DWORD_PTR user) {
    Recorder* r = reinterpret_cast<Recorder*>(user);
    Report report = {kind, percent, path.Psz8(), false};
    if (kind == kProgressFile && !r->logPath.empty())
        report.logCoversFile =
            ReadAll(r->logPath).find("deletefile { \"" + report.path + "\" }") != std::string::npos;
    r->reports.push_back(report);
}

// Everything below runs as one installation and its uninstall, in steps that build on each other.
class ToolkitTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { CleanUp(); }
    static void TearDownTestSuite() { CleanUp(); }
    // Leftovers of a failed earlier run.
    static void CleanUp() {
        SetupLib lib(0);
        SetupToolkit* t = lib.DesktopToolkit();
        std::string pf = t->GetFolder(kFolderProgramFiles).Psz8();
        if (Exists(t->GetFolder(kFolderMaker).Psz8() + std::string("\\Uninstall Log for ") + kApp + ".txt"))
            t->Uninstall(string(kApp));
        DeleteFileA((pf + "\\VexlinToolkitTest\\bin\\vexlin.exe").c_str());
        DeleteFileA((pf + "\\VexlinToolkitTest\\big.dat").c_str());
        RemoveDirectoryA((pf + "\\VexlinToolkitTest\\bin").c_str());
        RemoveDirectoryA((pf + "\\VexlinToolkitTest").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VexlinToolkitTest\\Sub");
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\VexlinToolkitTest");
        RegDeleteKeyA(HKEY_LOCAL_MACHINE,
                      "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VexlinToolkitTest");
    }
};

TEST_F(ToolkitTest, InstallFinalizeAndUninstallThroughTheLog) {
    MemStats before = MemGetStats();
    {
        ZipWriter writer;
        std::string error;
        ASSERT_TRUE(writer.Add("native/vexlin.exe", Pattern(70000, 1), ZipMethod::Deflated, &error)) << error;
        ASSERT_TRUE(writer.Add("big.dat", Pattern(100000, 2), ZipMethod::Stored, &error)) << error;
        ASSERT_TRUE(writer.Add("remora.dll", std::vector<uint8_t>{'N', 'E', 'W'}, ZipMethod::Stored, &error));
        std::vector<uint8_t> zip = writer.Finish();
        ZipFile archive;
        archive.OpenMemory(zip.data(), DWORD(zip.size()), TRUE);

        SetupLib lib(0);
        SetupToolkit* t = lib.DesktopToolkit();
        EXPECT_EQ(nullptr, lib.DeviceToolkit());
        EXPECT_STREQ("native", t->ProcessorName().Psz8());
        std::string pf = t->GetFolder(kFolderProgramFiles).Psz8();
        std::string maker = pf + "\\Tessel Software";
        EXPECT_EQ(maker, t->GetFolder(kFolderMaker).Psz8());
        EXPECT_STREQ("C:\\", t->GetFolder(kFolderRoot).Psz8());
        EXPECT_TRUE(Exists(t->GetFolder(kFolderProgramsMenu).Psz8()))
            << t->GetFolder(kFolderProgramsMenu).Psz8();
        EXPECT_TRUE(t->GetFolder(9).IsEmpty());

        Recorder recorder;
        t->SetProgressCallback(Record, reinterpret_cast<DWORD_PTR>(&recorder));
        ASSERT_TRUE(t->OpenJournal(string(kApp)));
        recorder.logPath = t->JournalPath().Psz8();
        EXPECT_EQ(maker + "\\Uninstall Log for VexlinToolkitTest.txt", recorder.logPath);
        EXPECT_EQ("\"" + maker + "\\remora.dll\" \"" + recorder.logPath + "\"", t->CommandLine().Psz8());

        // Every folder the destination needs that was not there yet, then the file: each on disk before
        // its change. The program files folder was there before and stays out.
        std::string exe = pf + "\\VexlinToolkitTest\\bin\\vexlin.exe";
        ASSERT_TRUE(t->InstallFile(string(exe.c_str()), archive, string("\\NATIVE\\vexlin.exe"), 0, 5));
        const Journal& journal = t->GetJournal();
        ASSERT_EQ(3u, journal.Count());
        EXPECT_EQ("deletedir " + pf + "\\VexlinToolkitTest", EntryText(journal, 0));
        EXPECT_EQ("deletedir " + pf + "\\VexlinToolkitTest\\bin", EntryText(journal, 1));
        EXPECT_EQ("deletefile " + exe, EntryText(journal, 2));
        std::vector<uint8_t> want = Pattern(70000, 1);
        EXPECT_EQ(std::string(want.begin(), want.end()), ReadAll(exe));
        ASSERT_FALSE(recorder.reports.empty());
        bool sawFile = false;
        for (const Report& r : recorder.reports)
            if (r.kind == kProgressFile && r.path == exe && !sawFile) {
                sawFile = true;
                EXPECT_TRUE(r.logCoversFile) << "the log named the file before it was written";
            }
        EXPECT_TRUE(sawFile);

        // Progress of a 100 000-byte file: the start, then after each 32 768-byte piece.
        recorder.reports.clear();
        std::string big = pf + "\\VexlinToolkitTest\\big.dat";
        ASSERT_TRUE(t->InstallFile(string(big.c_str()), archive, string("big.dat"), 5, 95));
        std::vector<LONG> percents;
        for (const Report& r : recorder.reports)
            if (r.kind == kProgressFile) percents.push_back(r.percent);
        EXPECT_EQ((std::vector<LONG>{5, 34, 63, 93, 95}), percents);
        EXPECT_EQ(95, t->CurrentPercent());

        // A member that is not there: last error 2 and nothing journalled.
        SetLastError(0);
        EXPECT_FALSE(t->InstallFile(string((pf + "\\VexlinToolkitTest\\none.exe").c_str()), archive,
                                    string("native/none.exe"), 0, 1));
        EXPECT_EQ(2u, GetLastError());
        EXPECT_EQ(4u, journal.Count());

        // Registry: the key chain and the value, a registration that adds nothing the second time, and
        // the two language values.
        HKEY existing;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_CURRENT_USER, "Software", &existing));
        RegCloseKey(existing);
        ASSERT_TRUE(t->WriteRegString(HKEY_CURRENT_USER, string("Software\\VexlinToolkitTest\\Sub"),
                                      string("Name"), string("Ludanto")));
        ASSERT_TRUE(
            t->WriteRegDword(HKEY_CURRENT_USER, string("Software\\VexlinToolkitTest"), string("Count"), 7));
        EXPECT_EQ("Ludanto", RegText(HKEY_CURRENT_USER, "Software\\VexlinToolkitTest\\Sub", "Name"));
        EXPECT_EQ("deleteval HKCU\\Software\\VexlinToolkitTest / Count",
                  EntryText(journal, journal.Count() - 1));
        // Registration journals the whole key chain, the key that was there before too; a second one adds
        // nothing.
        t->RegisterValueForRemoval(HKEY_CURRENT_USER, string("Software\\VexlinToolkitTest"), string("Count"));
        DWORD count = journal.Count();
        EXPECT_EQ("deletekey HKCU\\Software", EntryText(journal, count - 1));
        EXPECT_EQ("deletekey HKCU\\Software\\VexlinToolkitTest", EntryText(journal, 4))
            << "Software was there";
        t->RegisterValueForRemoval(HKEY_CURRENT_USER, string("Software\\VexlinToolkitTest"), string("Count"));
        EXPECT_EQ(count, journal.Count());
        ASSERT_TRUE(t->TransferLanguage(string(kApp)));
        EXPECT_EQ(count + 5, journal.Count()) << "the NLS key's chain of three and two values";
        EXPECT_EQ("deleteval HKLM\\SOFTWARE\\Tessel\\NLS / Opt-VexlinToolkitTest",
                  EntryText(journal, count + 4));

        // A real shortcut whose target resolves.
        std::string menu = t->GetFolder(kFolderProgramsMenu).Psz8();
        std::string lnk = menu + "\\VexlinToolkitTest\\Vexlin.lnk";
        ASSERT_TRUE(t->LinkFile(string(lnk.c_str()), string(exe.c_str())));
        CoInitialize(nullptr);
        IShellLinkA* shell = nullptr;
        ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                               IID_IShellLinkA, reinterpret_cast<void**>(&shell))));
        IPersistFile* file = nullptr;
        shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
        EXPECT_TRUE(SUCCEEDED(file->Load(string(lnk.c_str()).Psz16(), STGM_READ)));
        char target[MAX_PATH] = {0};
        shell->GetPath(target, MAX_PATH, nullptr, 0);
        EXPECT_STRCASEEQ(exe.c_str(), target);
        file->Release();
        shell->Release();
        CoUninitialize();

        // The uninstaller: one answering 2 is kept, one answering 1 (or nothing) is replaced.
        std::string remora = maker + "\\remora.dll";
        ASSERT_TRUE(CopyFileA((Directory() + "\\current_uninstaller.dll").c_str(), remora.c_str(), FALSE));
        std::string current = ReadAll(remora);
        ASSERT_TRUE(t->Finalize(archive, string("remora.dll"), 95, 99));
        EXPECT_EQ(current, ReadAll(remora));
        ASSERT_TRUE(CopyFileA((Directory() + "\\old_uninstaller.dll").c_str(), remora.c_str(), FALSE));
        ASSERT_TRUE(t->Finalize(archive, string("remora.dll"), 95, 99));
        EXPECT_EQ("NEW", ReadAll(remora));
        WriteAll(remora, "not a library");
        ASSERT_TRUE(t->Finalize(archive, string("remora.dll"), 95, 100));
        EXPECT_EQ("NEW", ReadAll(remora));
        EXPECT_EQ(100, t->CurrentPercent());
        EXPECT_EQ(std::string::npos, ReadAll(recorder.logPath).find("remora.dll"))
            << "the shared uninstaller";
        EXPECT_EQ(std::string::npos, ReadAll(recorder.logPath).find("Uninstall Log")) << "the log itself";
        const char* uninstallKey =
            "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VexlinToolkitTest";
        EXPECT_EQ(kApp, RegText(HKEY_LOCAL_MACHINE, uninstallKey, "DisplayName"));
        EXPECT_EQ("rundll32 \"" + remora + "\",Uninstall VexlinToolkitTest",
                  RegText(HKEY_LOCAL_MACHINE, uninstallKey, "UninstallString"));

        // The log on disk reads back as the journal.
        SetupLib other(0);
        ASSERT_TRUE(other.DesktopToolkit()->ReadUninstallLog(string(kApp)));
        ASSERT_EQ(journal.Count(), other.DesktopToolkit()->GetJournal().Count());
        for (DWORD i = 0; i < journal.Count(); ++i)
            EXPECT_EQ(EntryText(journal, i), EntryText(other.DesktopToolkit()->GetJournal(), i));

        // Uninstall: what the installation made is gone, what was there before stays.
        HKEY software;
        RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &software);
        RegSetValueExA(software, "VexlinToolkitTestOther", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
        RegCloseKey(software);
        ASSERT_TRUE(lib.Uninstall(FALSE, string(kApp)));
        EXPECT_FALSE(Exists(exe));
        EXPECT_FALSE(Exists(big));
        EXPECT_FALSE(Exists(pf + "\\VexlinToolkitTest"));
        EXPECT_FALSE(Exists(lnk));
        EXPECT_FALSE(Exists(menu + "\\VexlinToolkitTest"));
        EXPECT_FALSE(Exists(recorder.logPath));
        EXPECT_TRUE(Exists(pf));
        EXPECT_TRUE(Exists(menu));
        EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\VexlinToolkitTest"));
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, uninstallKey));
        EXPECT_EQ('<', RegText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Tessel\\NLS", "Opt-VexlinToolkitTest")[0]);
        EXPECT_EQ("x", RegText(HKEY_CURRENT_USER, "Software", "VexlinToolkitTestOther"));
        RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_ALL_ACCESS, &software);
        RegDeleteValueA(software, "VexlinToolkitTestOther");
        RegCloseKey(software);
        EXPECT_FALSE(lib.Uninstall(FALSE, string(kApp))) << "no log any more";
        DeleteFileA(remora.c_str());
        RemoveDirectoryA(maker.c_str());
    }
    EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
}

} // namespace
