// setup_driver: drives a skinned window of another process the way a person would, by posted mouse
// messages and keys, for the installer's end-to-end tests. Steps run in order:
//   wait CAPTION MS       until a visible skinned window of that caption is there
//   gone CAPTION MS       until none is
//   boxed CAPTION MS      until a second one is there (a box over its frame)
//   click CAPTION X Y     move, press and release at a window point
//   char CAPTION CODE     a typed character (13: Enter) to the window's focused control
//   close CAPTION         the system's close (the close box)
//   sleep MS
//   reset                 removes what an installation of Vexlin may have left (files, shortcut, keys,
//                         the stored language), so that a scenario starts clean
//   file PATH / nofile PATH, key ROOT SUBKEY / nokey ROOT SUBKEY (ROOT: HKLM or HKCU)
//                         checks; "%PF%" in a path stands for the Program Files folder
//   runlnk                opens the Games shortcut as the shell would
//   waitany CAPTION MS    until a visible top-level window of any class with that caption is there
//   lnk / nolnk           the Games shortcut is there / is in no programs menu
//   uninstall ANSWERS     runs the uninstall string as the registry holds it, its message boxes answered
//                         by dialog_answerer (beside this program) with ANSWERS, and waits for it
// It prints "driver: done" after the last step, or "driver: FAILED ..." and stops at the first step
// that cannot be done.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

struct Search {
    const char* caption;
    HWND found;
    int count;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    char className[64], caption[256];
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && strcmp(className, "SkinWindow") == 0 &&
        strcmp(caption, search->caption) == 0) {
        // The first in z-order: a message box sits over its frame.
        if (search->count++ == 0) search->found = window;
    }
    return TRUE;
}

Search Find(const char* caption) {
    Search search = {caption, nullptr, 0};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search;
}

// Until `count` visible windows of the caption are there (0: none); the first of them in z-order.
HWND WaitFor(const char* caption, DWORD ms, int count) {
    DWORD start = GetTickCount();
    for (;;) {
        Search search = Find(caption);
        if (count == 0 ? search.count == 0 : search.count >= count) return count ? search.found : HWND(1);
        if (GetTickCount() - start > ms) return nullptr;
        Sleep(50);
    }
}

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vexlin";

std::string Folder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return path;
}

std::string Expand(const char* path) {
    std::string text = path;
    size_t at = text.find("%PF%");
    if (at != std::string::npos) text.replace(at, 4, Folder(CSIDL_PROGRAM_FILES));
    return text;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

HKEY Root(const char* name) { return strcmp(name, "HKCU") == 0 ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

bool KeyExists(HKEY root, const char* subKey) {
    HKEY key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string Shortcut(int csidl) { return Folder(csidl) + "\\Games\\Vexlin.lnk"; }

void RemoveTree(const std::string& path) {
    std::string from = path + std::string(1, '\0');
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    if (Exists(path)) SHFileOperationA(&op);
}

void Reset() {
    std::string pf = Folder(CSIDL_PROGRAM_FILES);
    RemoveTree(pf + "\\Vexlin");
    RemoveTree(pf + "\\Tessel Software");
    DeleteFileA(Shortcut(CSIDL_COMMON_PROGRAMS).c_str());
    DeleteFileA(Shortcut(CSIDL_PROGRAMS).c_str());
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tessel\\Vexlin");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Tessel\\Vexlin");
    HKEY nls;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Tessel\\NLS", 0, KEY_SET_VALUE, &nls) == ERROR_SUCCESS) {
        RegDeleteValueA(nls, "Lang-Vexlin");
        RegCloseKey(nls);
    }
}

std::string RegText(HKEY root, const char* subKey, const char* name) {
    char data[1024] = "";
    DWORD size = sizeof data - 1, type = 0;
    HKEY key;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "";
    RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return data;
}

bool Uninstall(const char* answers) {
    std::string command = RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString");
    printf("driver: uninstall string %s\n", command.c_str());
    if (command.empty()) return false;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION target = {}, answerer = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &target))
        return false;
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string folder = self;
    folder = folder.substr(0, folder.find_last_of('\\'));
    std::string report = folder + "\\answers-" + std::to_string(target.dwProcessId) + ".txt";
    std::string line = "\"" + folder + "\\dialog_answerer.exe\" " + std::to_string(target.dwProcessId) + " " +
                       answers + " 60000 \"" + report + "\"";
    bool started =
        CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &answerer);
    bool ended = WaitForSingleObject(target.hProcess, 70000) == WAIT_OBJECT_0;
    if (!ended) TerminateProcess(target.hProcess, 1);
    if (started) {
        if (WaitForSingleObject(answerer.hProcess, 10000) != WAIT_OBJECT_0)
            TerminateProcess(answerer.hProcess, 1);
        CloseHandle(answerer.hProcess);
        CloseHandle(answerer.hThread);
    }
    CloseHandle(target.hProcess);
    CloseHandle(target.hThread);
    FILE* file = fopen(report.c_str(), "rb");
    if (file) {
        char text[2048];
        while (fgets(text, sizeof text, file)) printf("driver: uninstall box %s", text);
        fclose(file);
        DeleteFileA(report.c_str());
    }
    return ended && started;
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageA(window, message, wParam, lParam);
    Sleep(60);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc;) {
        const char* step = argv[i];
        const int at = i;
        bool ok = true;
        if (strcmp(step, "sleep") == 0 && i + 1 < argc) {
            Sleep(atoi(argv[i + 1]));
            i += 2;
        } else if ((strcmp(step, "wait") == 0 || strcmp(step, "gone") == 0 || strcmp(step, "boxed") == 0) &&
                   i + 2 < argc) {
            int count = step[0] == 'w' ? 1 : step[0] == 'b' ? 2 : 0;
            ok = WaitFor(argv[i + 1], atoi(argv[i + 2]), count) != nullptr;
            i += 3;
        } else if (strcmp(step, "click") == 0 && i + 3 < argc) {
            HWND window = WaitFor(argv[i + 1], 5000, 1);
            ok = window != nullptr;
            if (ok) {
                LPARAM at = MAKELPARAM(atoi(argv[i + 2]), atoi(argv[i + 3]));
                Post(window, WM_MOUSEMOVE, 0, at);
                Post(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
                Post(window, WM_LBUTTONUP, 0, at);
            }
            i += 4;
        } else if (strcmp(step, "char") == 0 && i + 2 < argc) {
            HWND window = WaitFor(argv[i + 1], 5000, 1);
            ok = window != nullptr;
            if (ok) Post(window, WM_CHAR, atoi(argv[i + 2]), 1);
            i += 3;
        } else if (strcmp(step, "close") == 0 && i + 1 < argc) {
            HWND window = WaitFor(argv[i + 1], 5000, 1);
            ok = window != nullptr;
            if (ok) Post(window, WM_CLOSE, 0, 0);
            i += 2;
        } else if (strcmp(step, "reset") == 0) {
            Reset();
            i += 1;
        } else if ((strcmp(step, "file") == 0 || strcmp(step, "nofile") == 0) && i + 1 < argc) {
            ok = Exists(Expand(argv[i + 1])) == (step[0] == 'f');
            i += 2;
        } else if ((strcmp(step, "key") == 0 || strcmp(step, "nokey") == 0) && i + 2 < argc) {
            ok = KeyExists(Root(argv[i + 1]), argv[i + 2]) == (step[0] == 'k');
            i += 3;
        } else if (strcmp(step, "lnk") == 0 || strcmp(step, "nolnk") == 0) {
            bool there = Exists(Shortcut(CSIDL_COMMON_PROGRAMS)) || Exists(Shortcut(CSIDL_PROGRAMS));
            ok = there == (step[0] == 'l');
            i += 1;
        } else if (strcmp(step, "runlnk") == 0) {
            std::string lnk = Exists(Shortcut(CSIDL_COMMON_PROGRAMS)) ? Shortcut(CSIDL_COMMON_PROGRAMS)
                                                                      : Shortcut(CSIDL_PROGRAMS);
            ok = reinterpret_cast<INT_PTR>(
                     ShellExecuteA(nullptr, "open", lnk.c_str(), nullptr, nullptr, SW_SHOW)) > 32;
            i += 1;
        } else if (strcmp(step, "waitany") == 0 && i + 2 < argc) {
            DWORD start = GetTickCount();
            ok = false;
            while (!ok && GetTickCount() - start < DWORD(atoi(argv[i + 2]))) {
                HWND window = FindWindowA(nullptr, argv[i + 1]);
                ok = window && IsWindowVisible(window);
                if (!ok) Sleep(100);
            }
            i += 3;
        } else if (strcmp(step, "uninstall") == 0 && i + 1 < argc) {
            ok = Uninstall(argv[i + 1]);
            i += 2;
        } else {
            printf("driver: FAILED unknown or incomplete step %s\n", step);
            return 1;
        }
        if (!ok) {
            printf("driver: FAILED at %s %s\n", step, at + 1 < argc ? argv[at + 1] : "");
            fflush(stdout);
            return 1;
        }
    }
    printf("driver: done\n");
    return 0;
}
