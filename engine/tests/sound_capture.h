// Helpers of the tests that hear the real sound output: under Wine, with ALSA
// pointed at tests/alsa/capture.conf (the test run sets ALSA_CONFIG_PATH and
// VEXLIN_SOUND_CAPTURE), whatever the wave-output device plays lands, raw
// 16-bit 44100 Hz stereo, in a file; these find that file, read it back and
// switch the prefix to Wine's ALSA driver for as long as a test needs it.
#pragma once

#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

namespace soundcapture {

// What the private configuration hands to the capture file, whatever Wine
// gives the device.
const int kCaptureRate = 44100;

// The Windows name of a host path, through Wine's own mapping; empty when
// not running under Wine.
inline std::wstring WindowsPath(const std::string& hostPath) {
    typedef WCHAR*(CDECL * ToDos)(LPCSTR);
    FARPROC entry = GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name");
    ToDos toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(entry));
    if (!toDos) return std::wstring();
    WCHAR* dos = toDos(hostPath.c_str());
    std::wstring result = dos ? dos : L"";
    if (dos) HeapFree(GetProcessHeap(), 0, dos);
    return result;
}

// The capture file's Windows name from the test run's environment; empty
// (with the reason in `why`) when the run is not set up for capturing.
inline std::wstring CapturePath(std::string* why) {
    char hostPath[1024];
    DWORD length = GetEnvironmentVariableA("VEXLIN_SOUND_CAPTURE", hostPath, sizeof(hostPath));
    if (!length || length >= sizeof(hostPath) || !GetEnvironmentVariableA("ALSA_CONFIG_PATH", nullptr, 0)) {
        *why = "needs ALSA_CONFIG_PATH (tests/alsa/capture.conf) and VEXLIN_SOUND_CAPTURE, as the test run "
               "sets them";
        return std::wstring();
    }
    std::wstring path = WindowsPath(hostPath);
    if (path.empty()) *why = "not under Wine: the capture goes through Wine's ALSA driver";
    return path;
}

// The captured samples, interleaved left and right; empty when there is no file.
inline std::vector<short> ReadCapture(const std::wstring& path) {
    std::vector<short> samples;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return samples;
    short chunk[4096];
    size_t got;
    while ((got = fread(chunk, sizeof(short), 4096, file)) > 0)
        samples.insert(samples.end(), chunk, chunk + got);
    fclose(file);
    return samples;
}

const char kDriversKey[] = "Software\\Wine\\Drivers";
// Beside the driver while a test has switched it: "=" and the value before,
// or nothing when there was none. A test that dies with the driver switched
// leaves it there for PutBackAudioDriver.
const char kDriverBefore[] = "VexlinTestAudioBefore";

inline std::string ReadText(HKEY key, const char* name, bool* present) {
    char text[256] = {};
    DWORD size = sizeof(text) - 1;
    *present =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS;
    return *present ? std::string(text) : std::string();
}

inline void WriteText(HKEY key, const char* name, const std::string& text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

// Puts back the driver a switch (this run's or a dead run's) kept aside.
// Returns false when nothing was kept.
inline bool PutBackAudioDriver() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kDriversKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    bool kept = false;
    std::string before = ReadText(key, kDriverBefore, &kept);
    if (kept) {
        if (!before.empty() && before[0] == '=')
            WriteText(key, "Audio", before.substr(1));
        else
            RegDeleteValueA(key, "Audio");
        RegDeleteValueA(key, kDriverBefore);
    }
    RegCloseKey(key);
    return kept;
}

// Sets Wine's audio driver in the prefix for the life of the object and puts
// back what was there before.
class DriverChoice {
public:
    explicit DriverChoice(const char* driver) {
        HKEY key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kDriversKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return;
        bool kept = false, had = false;
        ReadText(key, kDriverBefore, &kept);
        // A dead run's switch is still in place: what it kept is the value to put back.
        if (!kept) {
            std::string old = ReadText(key, "Audio", &had);
            WriteText(key, kDriverBefore, had ? "=" + old : std::string());
        }
        WriteText(key, "Audio", driver);
        RegCloseKey(key);
        m_switched = true;
    }
    ~DriverChoice() {
        if (m_switched) PutBackAudioDriver();
    }

private:
    bool m_switched = false;

    DriverChoice(const DriverChoice&) = delete;
    DriverChoice& operator=(const DriverChoice&) = delete;
};

} // namespace soundcapture
