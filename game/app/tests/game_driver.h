// The game program driven from a test: its registry records, its language,
// its window found among the test's, and one run of the program whose taps
// go through the zoom to the animation control. Shared by the end-to-end
// tests of the game program.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "high_scores.h"

namespace game_driver {

const wchar_t kGameKey[] = L"Software\\Tessel\\Vexlin";
const wchar_t kNlsKey[] = L"Software\\Tessel\\NLS";
const DWORD kVersion = 0x00010000;

inline std::wstring ProgramPath(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder = folder.substr(0, folder.find_last_of(L"\\/") + 1);
    return folder + name;
}

inline void DeleteGameValues() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kGameKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"Settings");
        RegDeleteValueW(key, L"HighScores");
        RegCloseKey(key);
    }
}

inline void WriteValue(const wchar_t* name, const std::vector<BYTE>& bytes) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kGameKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExW(key, name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
}

// Empty when the value is missing.
inline std::vector<BYTE> ReadValue(const wchar_t* name) {
    std::vector<BYTE> bytes;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kGameKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return bytes;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size) {
        bytes.resize(size);
        RegQueryValueExW(key, name, nullptr, nullptr, bytes.data(), &size);
    }
    RegCloseKey(key);
    return bytes;
}

inline std::vector<BYTE> Record(DWORD version, const std::vector<DWORD>& words) {
    std::vector<BYTE> bytes(4 + 4 * words.size());
    memcpy(bytes.data(), &version, 4);
    if (!words.empty()) memcpy(bytes.data() + 4, words.data(), 4 * words.size());
    return bytes;
}

inline DWORD Word(const std::vector<BYTE>& bytes, size_t index) {
    DWORD w = 0;
    if (bytes.size() >= 4 * (index + 1)) memcpy(&w, bytes.data() + 4 * index, 4);
    return w;
}

// Settings of a player who has been here before: not a first run.
inline void WriteSettings(DWORD effects, DWORD music, DWORD advanced) {
    WriteValue(L"Settings", Record(kVersion, {effects, music, advanced, DayNumber(2020, 1, 1)}));
}

inline void SetLanguage(const wchar_t* code) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kNlsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, L"Lang-Vexlin", 0, REG_SZ, reinterpret_cast<const BYTE*>(code),
                   static_cast<DWORD>((wcslen(code) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

struct FindData {
    DWORD process;
    const wchar_t* title; // null: the game's dialog (it carries its published screen)
    HWND found;
};

inline BOOL CALLBACK FindWindowOf(HWND window, LPARAM parameter) {
    FindData* data = reinterpret_cast<FindData*>(parameter);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (data->process && process != data->process) return TRUE;
    if (!IsWindowVisible(window)) return TRUE;
    if (data->title) {
        wchar_t text[128] = {};
        GetWindowTextW(window, text, 128);
        if (wcscmp(text, data->title) != 0) return TRUE;
    } else if (!GetDlgItem(window, 1001)) {
        return TRUE;
    }
    data->found = window;
    return FALSE;
}

inline HWND FindTopWindow(DWORD process, const wchar_t* title) {
    FindData data = {process, title, nullptr};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

// One run of the game program.
class GameRun {
public:
    explicit GameRun(const wchar_t* program = L"vexlin_test.exe", int zoom = 1, bool oneColour = false) {
        SetEnvironmentVariableW(L"VEXLIN_TEST_ZOOM", zoom ? std::to_wstring(zoom).c_str() : nullptr);
        SetEnvironmentVariableW(L"VEXLIN_TEST_ONE_COLOUR", oneColour ? L"1" : nullptr);
        std::wstring command = L"\"" + ProgramPath(program) + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        started_ = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &info_) != FALSE;
    }
    ~GameRun() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(info_.hProcess, 1);
            WaitForSingleObject(info_.hProcess, 5000);
        }
        CloseHandle(info_.hProcess);
        CloseHandle(info_.hThread);
    }
    bool started() const { return started_; }
    DWORD id() const { return info_.dwProcessId; }

    // The game's dialog once it shows a screen.
    HWND window(DWORD timeout = 40000) {
        for (DWORD waited = 0; waited < timeout; waited += 50) {
            HWND found = FindTopWindow(id(), nullptr);
            if (found && GetPropW(found, L"VexlinScreen")) return dialog_ = found;
            if (exited(0)) return nullptr;
            Sleep(50);
        }
        return nullptr;
    }
    int screen() const {
        return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(dialog_, L"VexlinScreen"))) - 1;
    }
    int state() const {
        return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(dialog_, L"VexlinState"))) - 1;
    }
    // Thousandths of the way from one spawned piece to the next (0 outside a normal level's play).
    int spawnPhase() const {
        return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(dialog_, L"VexlinSpawnPhase"))) - 1;
    }
    int zoom() const { return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(dialog_, L"VexlinZoom"))); }

    bool waitScreen(int screen, DWORD timeout = 10000) {
        for (DWORD waited = 0; waited < timeout; waited += 50) {
            if (screen == this->screen()) return true;
            Sleep(50);
        }
        return false;
    }
    // A press is posted in the animation control's pixels: game position times the zoom.
    void tapPixel(int x, int y) {
        HWND control = GetDlgItem(dialog_, 1001);
        PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        PostMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
    void tap(int x, int y) {
        int z = zoom();
        tapPixel(x * z + z / 2, y * z + z / 2);
    }
    bool exited(DWORD timeout) { return WaitForSingleObject(info_.hProcess, timeout) == WAIT_OBJECT_0; }

private:
    PROCESS_INFORMATION info_ = {};
    bool started_ = false;
    HWND dialog_ = nullptr;
};

// Positions of the buttons in game pixels (their labels' middles).
const POINT kNewGame = {120, 77};      // main menu, first button (y 60, labels 34 high)
const POINT kHelpDone = {61, 267};     // help screen, label drawn at x -25 on y 250
const POINT kPauseExit = {120, 233};   // pause menu, fifth button from y 80
const POINT kBoardBottom = {120, 280}; // the board's lowest row

} // namespace game_driver
