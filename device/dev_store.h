// The emulated device's store: which desktop folder is the device, its settings, how device paths map to
// desktop paths inside that folder (and which are refused), and the device's shortcut text. The emulator
// is a test and developer tool that nothing shipped carries, so it uses the standard library.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace device {

// Files of the emulator itself in the device folder; the device never sees them.
extern const wchar_t kSettingsFile[];   // "$device.ini"
extern const wchar_t kRegistryFile[];   // "$registry.dat"
extern const wchar_t kRegistryUpdate[]; // "$registry.new", written and then moved over the registry
// "$transfers": where a device that keeps its transfers puts each compressed file its decompressor expanded,
// at the destination's own path below this folder, so a test can look at what travelled.
extern const wchar_t kTransfersFolder[];

// Whether a name at the device's root is one of the emulator's own files or folders.
bool IsOwnName(const std::wstring& name);

// What kind of device the folder emulates.
struct DeviceSettings {
    WORD processor = PROCESSOR_ARCHITECTURE_ARM;
    // False: CeGetSystemInfo leaves the caller's record as it was (a device that answers nothing).
    bool answersSystemInfo = true;
    long decompressorVersion = 1;
    bool decompressorRejects = false;
    long uninstallerVersion = 2;
    // True: the decompressor keeps each compressed file below kTransfersFolder instead of deleting it.
    bool keepTransfers = false;
};

// The device folder named by VEXLIN_DEVICE_DIR as a full path, or empty when none is named.
std::wstring DeviceFolderFromEnvironment();

// Whether `folder` exists as a folder.
bool FolderExists(const std::wstring& folder);

// Reads "processor" ("arm", "mips", "shx", "ppc", "none" or a number). Returns false for anything else.
bool ParseProcessor(const std::string& text, WORD* processor, bool* answers);
std::string ProcessorText(const DeviceSettings& settings);

// The folder's settings file, then the VEXLIN_DEVICE_PROCESSOR, VEXLIN_DEVICE_DECOMPRESSOR_VERSION,
// VEXLIN_DEVICE_DECOMPRESSOR_REJECTS, VEXLIN_DEVICE_UNINSTALLER_VERSION and VEXLIN_DEVICE_KEEP_TRANSFERS
// variables over it. Lines that
// cannot be read keep the defaults.
DeviceSettings LoadSettings(const std::wstring& folder, bool withEnvironment = true);
bool SaveSettings(const std::wstring& folder, const DeviceSettings& settings);

// A device path resolved to the desktop.
struct MappedPath {
    std::wstring host;
    size_t depth = 0; // folders below the device's root; 0 is the root itself
};

// Maps a device path ("\Windows\x.lnk"; "/" counts as "\", and a path without a leading "\" starts at the
// root too) into `folder`. Returns false, with the reason as the thread's last error, for paths that would
// leave the folder or alias another name: "..", ".", drive letters and any ":", names ending in a dot or
// a space, control characters, reserved device names such as "CON", the emulator's own files, and paths
// longer than MAX_PATH. Wildcards are allowed in the last part only, and only when asked for.
bool MapDevicePath(const std::wstring& folder, const wchar_t* path, MappedPath* mapped,
                   bool wildcards = false);

// The device's shortcut text: the target's length, "#", the target.
std::string ShortcutText(const std::wstring& target);
// The target of a shortcut text; false when it is not one.
bool ParseShortcut(const std::string& text, std::wstring* target);

// UTF-8 and UTF-16 conversions; invalid input gives false.
bool FromUtf8(const std::string& text, std::wstring* wide);
std::string ToUtf8(const std::wstring& wide);

// Reads a whole file of at most `limit` bytes; false when it cannot be read or is larger.
bool ReadWholeFile(const std::wstring& path, std::string* bytes, DWORD limit);
// Writes a whole file anew.
bool WriteWholeFile(const std::wstring& path, const void* bytes, DWORD count);
// Makes a desktop folder and any missing folders above it; true when it exists afterwards.
bool MakeFolders(const std::wstring& path);

std::wstring Lower(const std::wstring& text);

} // namespace device
