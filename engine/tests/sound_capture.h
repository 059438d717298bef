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

// Sets Wine's audio driver in the prefix for the life of the object and puts
// back what was there before.
class DriverChoice {
public:
    explicit DriverChoice(const char* driver) {
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Drivers", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &m_key, nullptr) != ERROR_SUCCESS) {
            m_key = nullptr;
            return;
        }
        DWORD size = sizeof(m_old);
        m_hadOld = RegQueryValueExA(m_key, "Audio", nullptr, nullptr, reinterpret_cast<BYTE*>(m_old),
                                    &size) == ERROR_SUCCESS;
        m_old[sizeof(m_old) - 1] = 0;
        RegSetValueExA(m_key, "Audio", 0, REG_SZ, reinterpret_cast<const BYTE*>(driver),
                       static_cast<DWORD>(strlen(driver) + 1));
    }
    ~DriverChoice() {
        if (!m_key) return;
        if (m_hadOld)
            RegSetValueExA(m_key, "Audio", 0, REG_SZ, reinterpret_cast<const BYTE*>(m_old),
                           static_cast<DWORD>(strlen(m_old) + 1));
        else
            RegDeleteValueA(m_key, "Audio");
        RegCloseKey(m_key);
    }

private:
    HKEY m_key;
    bool m_hadOld = false;
    char m_old[64] = {};
};

} // namespace soundcapture
