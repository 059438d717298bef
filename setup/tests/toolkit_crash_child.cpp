// The installation that the crash test kills. Usage: toolkit_crash_child <kill point> <application name>
// It installs a tree of files, shortcuts, registry values and the uninstaller with the toolkit, counting
// every progress report (each comes just before a journal save, a folder, a registry value, or at a
// file's start and after each of its pieces). At report number <kill point> it ends itself at once with
// TerminateProcess, as a crash or a power cut would, leaving only what is on disk. A run that gets through
// prints "installed after <n> points" and exits 0.
#include "sl_main.h"
#include "zip_writer.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

DWORD g_killPoint;
DWORD g_points;

void CountPoint(DWORD, LONG, const string&, DWORD_PTR) {
    if (++g_points == g_killPoint) TerminateProcess(GetCurrentProcess(), 7);
}

std::vector<uint8_t> Pattern(size_t size, int seed) {
    std::vector<uint8_t> v(size);
    for (size_t i = 0; i < size; ++i) v[i] = uint8_t(i * 13 + seed + i / 511);
    return v;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 1;
    g_killPoint = strtoul(argv[1], nullptr, 10);
    std::string app = argv[2];
    ZipWriter writer;
    std::string error;
    writer.Add("native/vexlin.exe", Pattern(100000, 1), ZipMethod::Deflated, &error);
    writer.Add("native/data/level.dat", Pattern(3000, 2), ZipMethod::Stored, &error);
    writer.Add("native/data/sounds/a.wav", Pattern(40000, 3), ZipMethod::Deflated, &error);
    writer.Add("native/data/sounds/b.wav", Pattern(10, 4), ZipMethod::Stored, &error);
    writer.Add("native/help/readme.txt", Pattern(500, 5), ZipMethod::Stored, &error);
    writer.Add("native/help/en/index.txt", Pattern(700, 7), ZipMethod::Stored, &error);
    writer.Add("native/help/eo/index.txt", Pattern(800, 8), ZipMethod::Deflated, &error);
    writer.Add("native/skins/classic/board.psp", Pattern(50000, 9), ZipMethod::Deflated, &error);
    writer.Add("native/skins/classic/pieces.psp", Pattern(20000, 10), ZipMethod::Stored, &error);
    writer.Add("remora.dll", Pattern(64, 6), ZipMethod::Stored, &error);
    std::vector<uint8_t> zip = writer.Finish();
    ZipFile archive;
    archive.OpenMemory(zip.data(), DWORD(zip.size()), TRUE);

    SetupLib lib(0);
    SetupToolkit* t = lib.DesktopToolkit();
    t->SetProgressCallback(CountPoint, 0);
    string name(app.c_str());
    string folder = t->GetFolder(kFolderProgramFiles) + "\\" + name;
    string menu = t->GetFolder(kFolderProgramsMenu) + "\\" + name;
    string key = string("Software\\") + name;
    bool ok = t->OpenJournal(name) && t->InstallTree(folder, archive, string("native"), 0, 80) &&
              t->LinkFile(menu + "\\Vexlin.lnk", folder + "\\vexlin.exe") &&
              t->LinkFile(menu + "\\Help\\Readme.lnk", folder + "\\help\\readme.txt") &&
              t->LinkFile(menu + "\\Help\\Esperanto\\Legu.lnk", folder + "\\help\\eo\\index.txt") &&
              t->WriteRegString(HKEY_CURRENT_USER, key + "\\Settings\\Board", string("Size"), string("10")) &&
              t->WriteRegDword(HKEY_CURRENT_USER, key + "\\Settings", string("Level"), 4) &&
              t->WriteRegBinary(HKEY_CURRENT_USER, key, string("Scores"),
                                reinterpret_cast<const BYTE*>("\1\2\3"), 3) &&
              t->WriteRegString(HKEY_LOCAL_MACHINE, key, string("Path"), folder) &&
              t->TransferLanguage(name) && t->Finalize(archive, string("remora.dll"), 90, 100);
    if (!ok) {
        printf("installation failed at point %lu\n", static_cast<unsigned long>(g_points));
        return 2;
    }
    printf("installed after %lu points\n", static_cast<unsigned long>(g_points));
    return 0;
}
