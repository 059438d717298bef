// Benchmark: the time from a click on Install to the success box of the real installer, for a desktop
// installation and for both targets with the emulated device, against a plain file copy of the same
// files (the game and the uninstaller, once per target) measured in the same run. Uses the end-to-end
// folder's installer, device emulator and driver; installs into the prefix and uninstalls again.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

std::string g_folder;

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return double(count.QuadPart) / double(frequency.QuadPart);
}

bool Run(std::string line, DWORD ms = 90000) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    bool ended = WaitForSingleObject(process.hProcess, ms) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return ended;
}

bool Drive(const std::string& steps) { return Run("\"" + g_folder + "\\setup_driver.exe\" " + steps); }

bool TraceHolds(const std::string& trace, const char* text) {
    FILE* file = fopen(trace.c_str(), "rb");
    if (!file) return false;
    char line[2048];
    bool found = false;
    while (!found && fgets(line, sizeof line, file)) found = strstr(line, text) != nullptr;
    fclose(file);
    return found;
}

// Seconds from the Install click to the success box, or a negative number on failure.
double TimeInstall(bool both, const std::string& device) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string trace = std::string(temp) + "vexlin-setup-bench.txt";
    DeleteFileA(trace.c_str());
    SetEnvironmentVariableA("VEXLIN_SETUP_TRACE", trace.c_str());
    SetEnvironmentVariableA("VEXLIN_DEVICE_DIR", both ? device.c_str() : nullptr);
    if (both) CreateDirectoryA(device.c_str(), nullptr);
    Drive("reset");
    std::string line = "\"" + g_folder + "\\VexlinSetup.exe\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    Drive("wait \"Vexlin Setup\" 20000");
    if (both) Drive("click \"Vexlin Setup\" 252 128 sleep 300");
    HWND frame = FindWindowA("SkinWindow", "Vexlin Setup");
    double start = Now();
    PostMessageA(frame, WM_MOUSEMOVE, 0, MAKELPARAM(398, 325));
    PostMessageA(frame, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(398, 325));
    PostMessageA(frame, WM_LBUTTONUP, 0, MAKELPARAM(398, 325));
    double end = -1;
    while (Now() - start < 60) {
        if (TraceHolds(trace, "setup: message success")) {
            end = Now();
            break;
        }
        if (TraceHolds(trace, "setup: message failure")) break;
        Sleep(2);
    }
    Drive("sleep 300 close \"Vexlin Setup\"");
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    Drive("uninstall yes,ok");
    SetEnvironmentVariableA("VEXLIN_SETUP_TRACE", nullptr);
    return end < 0 ? -1 : end - start;
}

// Seconds to copy the game and the uninstaller into `targets` fresh folders.
double TimeCopy(const std::string& game, const std::string& remora, int targets) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    double start = Now();
    for (int t = 0; t < targets; ++t) {
        std::string folder = std::string(temp) + "vexlin-copy-" + std::to_string(t);
        CreateDirectoryA(folder.c_str(), nullptr);
        CopyFileA(game.c_str(), (folder + "\\vexlin.exe").c_str(), FALSE);
        CopyFileA(remora.c_str(), (folder + "\\remora.dll").c_str(), FALSE);
    }
    double seconds = Now() - start;
    for (int t = 0; t < targets; ++t) {
        std::string folder = std::string(temp) + "vexlin-copy-" + std::to_string(t);
        DeleteFileA((folder + "\\vexlin.exe").c_str());
        DeleteFileA((folder + "\\remora.dll").c_str());
        RemoveDirectoryA(folder.c_str());
    }
    return seconds;
}

} // namespace

int main() {
    g_folder = VEXLIN_E2E_FOLDER;
    for (char& c : g_folder)
        if (c == '/') c = '\\';
    g_folder = "Z:" + g_folder;
    std::string source = std::string("Z:") + VEXLIN_TEST_ARM_FOLDER;
    for (char& c : source)
        if (c == '/') c = '\\';
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string device = std::string(temp) + "vexlin-bench-device";

    double desktop = TimeInstall(false, device);
    double both = TimeInstall(true, device);
    double copyOne = TimeCopy(source + "\\vexlin.exe", source + "\\remora.dll", 1);
    double copyTwo = TimeCopy(source + "\\vexlin.exe", source + "\\remora.dll", 2);
    if (desktop < 0 || both < 0) {
        printf("setup_bench: an installation did not reach its success box\n");
        return 1;
    }
    printf("Install to success box, desktop:           %8.1f ms\n", desktop * 1000);
    printf("Plain copy of the same files, one target:  %8.2f ms  (installer / copy: %.0fx)\n", copyOne * 1000,
           desktop / copyOne);
    printf("Install to success box, desktop + device:  %8.1f ms\n", both * 1000);
    printf("Plain copy of the same files, two targets: %8.2f ms  (installer / copy: %.0fx)\n", copyTwo * 1000,
           both / copyTwo);
    return 0;
}
