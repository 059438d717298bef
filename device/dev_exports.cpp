// Our "rapi.dll": the 78 entry points of the desktop remote API, answering for one emulated palm-size PC
// whose file system is a desktop folder. Calls the installer never makes fail with
// ERROR_CALL_NOT_IMPLEMENTED. Every call is serialised by one lock, and every call's name goes to the file
// named by VEXLIN_DEVICE_LOG when it is set, so that tests can see what the desktop side did.
#include "dev_registry.h"
#include "dev_store.h"
#include "sl_rapi_api.h"

#include <lzo/lzo1x.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <type_traits>

#define RAPI_DECLARE0(Result, Name) extern "C" Result WINAPI Name();
#define RAPI_DECLARE(Result, Name, Parameters, Arguments) extern "C" Result WINAPI Name Parameters;
RAPI_ENTRY_POINTS(RAPI_DECLARE0, RAPI_DECLARE)
#undef RAPI_DECLARE0
#undef RAPI_DECLARE

using namespace device;

namespace {

const DWORD kFileLimit = 64 * 1024 * 1024; // largest file the device's libraries read whole
const DWORD kFirstHandle = 0x4000;         // emulated handles never look like desktop ones

struct FindState {
    HANDLE host = INVALID_HANDLE_VALUE;
    bool atRoot = false;
};

struct Emulator {
    CRITICAL_SECTION lock;
    bool initialized = false;
    bool attached = false;
    HANDLE initEvent = nullptr;
    std::wstring folder;
    DeviceSettings settings;
    DeviceRegistry registry;
    std::map<DWORD, HANDLE> files;
    std::map<DWORD, FindState> finds;
    std::map<DWORD, std::wstring> keys;
    DWORD nextHandle = kFirstHandle;
    DWORD lastError = 0;
    HRESULT rapiError = S_OK;

    Emulator() { InitializeCriticalSection(&lock); }
    ~Emulator() { DeleteCriticalSection(&lock); }
};

Emulator g;

void Log(const char* line) {
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"VEXLIN_DEVICE_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    DWORD error = GetLastError();
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        std::string text = std::string(line) + "\n";
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    SetLastError(error);
}

// Holds the lock for one call and notes the call in the log.
class Call {
public:
    explicit Call(const char* name) {
        EnterCriticalSection(&g.lock);
        Log(name);
    }
    ~Call() { LeaveCriticalSection(&g.lock); }
};

// Records a failure the way the device reports it: its last error, also on the calling thread.
template <class Result>
Result Fail(DWORD error, Result result) {
    g.lastError = error;
    SetLastError(error);
    return result;
}

// A registry call's result, with the same bookkeeping for failures.
LONG RegResult(LONG error) {
    if (error != ERROR_SUCCESS) g.lastError = error;
    return error;
}

// Whether a device answers; otherwise the call fails as a broken connection does.
bool Connected() {
    if (g.attached) return true;
    g.rapiError = HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED);
    g.lastError = ERROR_NOT_CONNECTED;
    SetLastError(ERROR_NOT_CONNECTED);
    return false;
}

// Maps a device path; the failure's reason is recorded as the device's last error.
bool Map(const wchar_t* path, MappedPath* mapped, bool wildcards = false) {
    if (MapDevicePath(g.folder, path, mapped, wildcards)) return true;
    g.lastError = GetLastError();
    return false;
}

// After a desktop call failed: its error becomes the device's.
template <class Result>
Result FailWithSystemError(Result result) {
    return Fail(GetLastError(), result);
}

HANDLE NewHandle() { return reinterpret_cast<HANDLE>(static_cast<DWORD_PTR>(g.nextHandle += 4)); }

DWORD HandleValue(HANDLE handle) { return static_cast<DWORD>(reinterpret_cast<DWORD_PTR>(handle)); }

HANDLE HostFile(HANDLE handle) {
    auto found = g.files.find(HandleValue(handle));
    return found == g.files.end() ? INVALID_HANDLE_VALUE : found->second;
}

void CloseEverything() {
    for (auto& entry : g.files) CloseHandle(entry.second);
    for (auto& entry : g.finds) FindClose(entry.second.host);
    g.files.clear();
    g.finds.clear();
    g.keys.clear();
}

std::wstring RegistryPath() { return g.folder + L"\\" + kRegistryFile; }

LONG SaveRegistry() {
    return g.registry.Save(RegistryPath(), g.folder + L"\\" + kRegistryUpdate) ? ERROR_SUCCESS
                                                                               : ERROR_WRITE_FAULT;
}

// Looks at the configuration; a device is attached when its folder exists.
void Attach() {
    g.folder = DeviceFolderFromEnvironment();
    g.attached = !g.folder.empty() && FolderExists(g.folder);
    if (!g.attached) return;
    g.settings = LoadSettings(g.folder);
    g.registry.Load(RegistryPath());
    g.lastError = 0;
    g.rapiError = S_OK;
}

// Resolves an open key or a root to its path.
LONG KeyPath(HKEY key, std::wstring* path) {
    std::wstring root = DeviceRegistry::RootName(key);
    if (!root.empty()) {
        *path = root;
        return ERROR_SUCCESS;
    }
    auto found = g.keys.find(HandleValue(key));
    if (found == g.keys.end()) return ERROR_INVALID_HANDLE;
    if (!g.registry.Exists(found->second)) return ERROR_KEY_DELETED;
    *path = found->second;
    return ERROR_SUCCESS;
}

// Copies text into a caller's buffer of `capacity` characters; false when it does not fit.
bool CopyText(const std::wstring& text, LPWSTR buffer, DWORD capacity) {
    if (!buffer || text.size() + 1 > capacity) return false;
    CopyMemory(buffer, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return true;
}

void ToFindData(const WIN32_FIND_DATAW& host, CE_FIND_DATA* data, DWORD fields) {
    ZeroMemory(data, sizeof(CE_FIND_DATA));
    if (fields & FAF_ATTRIBUTES) data->dwFileAttributes = host.dwFileAttributes;
    if (fields & FAF_CREATION_TIME) data->ftCreationTime = host.ftCreationTime;
    if (fields & FAF_LASTACCESS_TIME) data->ftLastAccessTime = host.ftLastAccessTime;
    if (fields & FAF_LASTWRITE_TIME) data->ftLastWriteTime = host.ftLastWriteTime;
    if (fields & FAF_SIZE_HIGH) data->nFileSizeHigh = host.nFileSizeHigh;
    if (fields & FAF_SIZE_LOW) data->nFileSizeLow = host.nFileSizeLow;
    if (fields & FAF_NAME) lstrcpynW(data->cFileName, host.cFileName, MAX_PATH);
}

// Whether a found entry is shown to the device: not "." or "..", not the emulator's own files.
bool Visible(const WIN32_FIND_DATAW& found, bool atRoot) {
    std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") return false;
    return !atRoot || !IsOwnName(name);
}

// Steps a desktop search to the next visible entry (the current one first when `current`).
bool NextVisible(HANDLE search, bool atRoot, WIN32_FIND_DATAW* found, bool current) {
    if (current && Visible(*found, atRoot)) return true;
    while (FindNextFileW(search, found))
        if (Visible(*found, atRoot)) return true;
    return false;
}

// Starts a desktop search for a device pattern; INVALID_HANDLE_VALUE with the device's error set.
HANDLE StartSearch(LPCWSTR pattern, bool* atRoot, WIN32_FIND_DATAW* found) {
    MappedPath mapped;
    if (!Map(pattern, &mapped, true)) return Fail(g.lastError, INVALID_HANDLE_VALUE);
    if (mapped.depth == 0) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    *atRoot = mapped.depth == 1;
    HANDLE search = FindFirstFileW(mapped.host.c_str(), found);
    if (search == INVALID_HANDLE_VALUE) return FailWithSystemError(INVALID_HANDLE_VALUE);
    if (!NextVisible(search, *atRoot, found, true)) {
        FindClose(search);
        return Fail(ERROR_NO_MORE_FILES, INVALID_HANDLE_VALUE);
    }
    return search;
}

HRESULT AnswerText(const std::wstring& text, DWORD* pcbOutput, BYTE** ppOutput) {
    DWORD size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    BYTE* output = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, size));
    if (!output) return E_OUTOFMEMORY;
    CopyMemory(output, text.c_str(), size);
    *ppOutput = output;
    *pcbOutput = size;
    return S_OK;
}

// Reads the input's UTF-16 texts, each with its terminator; false when they run past the input.
bool InputTexts(const BYTE* input, DWORD cbInput, size_t count, std::vector<std::wstring>* texts) {
    size_t characters = cbInput / sizeof(wchar_t);
    size_t at = 0;
    for (size_t i = 0; i < count; ++i) {
        std::wstring text;
        for (;;) {
            if (at >= characters) return false;
            wchar_t c = static_cast<wchar_t>(input[at * 2] | input[at * 2 + 1] << 8);
            ++at;
            if (c == 0) break;
            text += c;
        }
        texts->push_back(text);
    }
    return true;
}

// Puts the compressed file that the decompressor expanded into `destination` below the transfers folder, at
// the destination's own path, so that what travelled can be looked at; false when it cannot be kept.
bool KeepTransfer(const MappedPath& source, const MappedPath& destination) {
    std::wstring kept = g.folder + L"\\" + kTransfersFolder + destination.host.substr(g.folder.size());
    return MakeFolders(kept.substr(0, kept.rfind(L'\\'))) &&
           MoveFileExW(source.host.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// The device's decompressor: expands a file in the size-prefixed LZO form into the destination and
// removes the compressed file (or keeps it aside, on a device that keeps its transfers).
HRESULT DecompressFile(const BYTE* input, DWORD cbInput) {
    std::vector<std::wstring> paths;
    if (!input || !InputTexts(input, cbInput, 2, &paths)) return E_INVALIDARG;
    if (g.settings.decompressorRejects) return E_FAIL;
    MappedPath source;
    MappedPath destination;
    if (!Map(paths[0].c_str(), &source) || !Map(paths[1].c_str(), &destination) || source.depth == 0 ||
        destination.depth == 0)
        return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    std::string packed;
    if (!ReadWholeFile(source.host, &packed, kFileLimit)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (packed.size() <= 4) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(packed.data());
    DWORD expected = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<DWORD>(bytes[3]) << 24;
    if (expected > kFileLimit) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    std::vector<BYTE> expanded(expected ? expected : 1);
    lzo_uint produced = expected;
    int result = lzo1x_decompress_safe(bytes + 4, packed.size() - 4, expanded.data(), &produced, nullptr);
    if (result != LZO_E_OK || produced != expected) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (!WriteWholeFile(destination.host, expanded.data(), expected))
        return HRESULT_FROM_WIN32(GetLastError());
    if (!g.settings.keepTransfers || !KeepTransfer(source, destination)) DeleteFileW(source.host.c_str());
    return S_OK;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) lzo_init();
    if (reason == DLL_PROCESS_DETACH) {
        CloseEverything();
        if (g.initEvent) CloseHandle(g.initEvent);
        g.initEvent = nullptr;
        Log("unloaded");
    }
    return TRUE;
}

// ---- Starting and stopping ----

HRESULT WINAPI CeRapiInit() {
    Call call("CeRapiInit");
    if (g.initialized) return CERAPI_E_ALREADYINITIALIZED;
    Attach();
    // The real call waits for a device as long as it takes; here a missing device fails at once.
    if (!g.attached) return HRESULT_FROM_WIN32(ERROR_NOT_CONNECTED);
    g.initialized = true;
    return S_OK;
}

HRESULT WINAPI CeRapiInitEx(RAPIINIT* init) {
    Call call("CeRapiInitEx");
    if (!init || init->cbSize != sizeof(RAPIINIT)) return E_INVALIDARG;
    if (g.initialized) return CERAPI_E_ALREADYINITIALIZED;
    g.initEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!g.initEvent) return HRESULT_FROM_WIN32(GetLastError());
    Attach();
    g.initialized = true;
    init->heRapiInit = g.initEvent;
    init->hrRapiInit = g.attached ? S_OK : E_PENDING;
    // Without a device the event stays unsignalled, as on a desktop where none is plugged in.
    if (g.attached) SetEvent(g.initEvent);
    return S_OK;
}

HRESULT WINAPI CeRapiUninit() {
    Call call("CeRapiUninit");
    if (!g.initialized) return E_FAIL;
    CloseEverything();
    if (g.initEvent) CloseHandle(g.initEvent);
    g.initEvent = nullptr;
    g.initialized = false;
    g.attached = false;
    return S_OK;
}

HRESULT WINAPI CeRapiGetError() {
    Call call("CeRapiGetError");
    return g.rapiError;
}

HRESULT WINAPI CeRapiFreeBuffer(LPVOID buffer) {
    Call call("CeRapiFreeBuffer");
    if (buffer) LocalFree(buffer);
    return S_OK;
}

HRESULT WINAPI CeRapiInvoke(LPCWSTR dllPath, LPCWSTR functionName, DWORD cbInput, BYTE* pInput,
                            DWORD* pcbOutput, BYTE** ppOutput, IRAPIStream** ppStream, DWORD) {
    Call call("CeRapiInvoke");
    // The call owns its input whatever happens, as the remote API defines.
    struct InputOwner {
        BYTE* input;
        ~InputOwner() {
            if (input) LocalFree(input);
        }
    } owner{pInput};
    if (pcbOutput) *pcbOutput = 0;
    if (ppOutput) *ppOutput = nullptr;
    if (!Connected()) return g.rapiError;
    // Stream mode would need a COM stream object; the installer only uses block mode.
    if (ppStream) {
        *ppStream = nullptr;
        return Fail(ERROR_CALL_NOT_IMPLEMENTED, E_NOTIMPL);
    }
    if (!functionName || !pcbOutput || !ppOutput) return Fail(ERROR_INVALID_PARAMETER, E_INVALIDARG);
    MappedPath library;
    if (!Map(dllPath, &library)) return HRESULT_FROM_WIN32(g.lastError);
    DWORD attributes = GetFileAttributesW(library.host.c_str());
    if (library.depth == 0 || attributes == INVALID_FILE_ATTRIBUTES ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail(ERROR_MOD_NOT_FOUND, HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
    std::wstring name = Lower(library.host.substr(library.host.rfind(L'\\') + 1));
    std::wstring function = functionName;
    if (name == L"tranzo.dll" && function == L"GetTRANZOVersion")
        return AnswerText(std::to_wstring(g.settings.decompressorVersion), pcbOutput, ppOutput);
    if (name == L"tranzo.dll" && function == L"DecompressFile") return DecompressFile(pInput, cbInput);
    if (name == L"remora.dll" && function == L"GetUninstallVersion")
        return AnswerText(std::to_wstring(g.settings.uninstallerVersion), pcbOutput, ppOutput);
    if (name == L"tranzo.dll" || name == L"remora.dll")
        return Fail(ERROR_PROC_NOT_FOUND, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    // Any other library would have to run device code, which this device cannot.
    return Fail(ERROR_BAD_EXE_FORMAT, HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT));
}

// ---- Object store databases: not emulated ----

CEOID WINAPI CeCreateDatabase(LPWSTR, DWORD, WORD, SORTORDERSPEC*) {
    Call call("CeCreateDatabase");
    return Fail<CEOID>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
BOOL WINAPI CeDeleteDatabase(CEOID) {
    Call call("CeDeleteDatabase");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
BOOL WINAPI CeDeleteRecord(HANDLE, CEOID) {
    Call call("CeDeleteRecord");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
HANDLE WINAPI CeFindFirstDatabase(DWORD) {
    Call call("CeFindFirstDatabase");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, INVALID_HANDLE_VALUE);
}
CEOID WINAPI CeFindNextDatabase(HANDLE) {
    Call call("CeFindNextDatabase");
    return Fail<CEOID>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
BOOL WINAPI CeOidGetInfo(CEOID, CEOIDINFO*) {
    Call call("CeOidGetInfo");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
HANDLE WINAPI CeOpenDatabase(PCEOID, LPWSTR, CEPROPID, DWORD, HWND) {
    Call call("CeOpenDatabase");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, INVALID_HANDLE_VALUE);
}
CEOID WINAPI CeReadRecordProps(HANDLE, DWORD, LPWORD, CEPROPID*, LPBYTE*, LPDWORD) {
    Call call("CeReadRecordProps");
    return Fail<CEOID>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
CEOID WINAPI CeSeekDatabase(HANDLE, DWORD, DWORD, LPDWORD) {
    Call call("CeSeekDatabase");
    return Fail<CEOID>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
BOOL WINAPI CeSetDatabaseInfo(CEOID, CEDBASEINFO*) {
    Call call("CeSetDatabaseInfo");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}

// ---- Files and folders ----

HANDLE WINAPI CeFindFirstFile(LPCWSTR fileName, CE_FIND_DATA* findData) {
    Call call("CeFindFirstFile");
    if (!Connected()) return INVALID_HANDLE_VALUE;
    if (!findData) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    FindState state;
    WIN32_FIND_DATAW found;
    state.host = StartSearch(fileName, &state.atRoot, &found);
    if (state.host == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
    ToFindData(found, findData, 0xFFFFFFFF);
    HANDLE handle = NewHandle();
    g.finds[HandleValue(handle)] = state;
    return handle;
}

BOOL WINAPI CeFindNextFile(HANDLE find, CE_FIND_DATA* findData) {
    Call call("CeFindNextFile");
    if (!Connected()) return FALSE;
    auto state = g.finds.find(HandleValue(find));
    if (state == g.finds.end()) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!findData) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    WIN32_FIND_DATAW found;
    if (!NextVisible(state->second.host, state->second.atRoot, &found, false))
        return Fail(ERROR_NO_MORE_FILES, FALSE);
    ToFindData(found, findData, 0xFFFFFFFF);
    return TRUE;
}

BOOL WINAPI CeFindClose(HANDLE find) {
    Call call("CeFindClose");
    if (!Connected()) return FALSE;
    auto state = g.finds.find(HandleValue(find));
    if (state == g.finds.end()) return Fail(ERROR_INVALID_HANDLE, FALSE);
    FindClose(state->second.host);
    g.finds.erase(state);
    return TRUE;
}

DWORD WINAPI CeGetFileAttributes(LPCWSTR fileName) {
    Call call("CeGetFileAttributes");
    if (!Connected()) return INVALID_FILE_ATTRIBUTES;
    MappedPath mapped;
    if (!Map(fileName, &mapped)) return INVALID_FILE_ATTRIBUTES;
    if (mapped.depth == 0) return FILE_ATTRIBUTE_DIRECTORY;
    DWORD attributes = GetFileAttributesW(mapped.host.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return FailWithSystemError(INVALID_FILE_ATTRIBUTES);
    return attributes;
}

BOOL WINAPI CeSetFileAttributes(LPCWSTR fileName, DWORD attributes) {
    Call call("CeSetFileAttributes");
    if (!Connected()) return FALSE;
    MappedPath mapped;
    if (!Map(fileName, &mapped)) return FALSE;
    if (mapped.depth == 0) return Fail(ERROR_ACCESS_DENIED, FALSE);
    const DWORD settable =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
    attributes &= settable;
    if (!SetFileAttributesW(mapped.host.c_str(), attributes ? attributes : FILE_ATTRIBUTE_NORMAL))
        return FailWithSystemError(FALSE);
    return TRUE;
}

HANDLE WINAPI CeCreateFile(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES,
                           DWORD disposition, DWORD flags, HANDLE) {
    Call call("CeCreateFile");
    if (!Connected()) return INVALID_HANDLE_VALUE;
    MappedPath mapped;
    if (!Map(fileName, &mapped)) return INVALID_HANDLE_VALUE;
    if (mapped.depth == 0) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
    const DWORD attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                             FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NORMAL;
    HANDLE host = CreateFileW(mapped.host.c_str(), access & (GENERIC_READ | GENERIC_WRITE),
                              shareMode & (FILE_SHARE_READ | FILE_SHARE_WRITE), nullptr, disposition,
                              flags & attributes, nullptr);
    if (host == INVALID_HANDLE_VALUE) return FailWithSystemError(INVALID_HANDLE_VALUE);
    HANDLE handle = NewHandle();
    g.files[HandleValue(handle)] = host;
    return handle;
}

BOOL WINAPI CeReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
    Call call("CeReadFile");
    if (!Connected()) return FALSE;
    HANDLE host = HostFile(file);
    if (host == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (overlapped || !read || (!buffer && toRead)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!ReadFile(host, buffer, toRead, read, nullptr)) return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeWriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written,
                        LPOVERLAPPED overlapped) {
    Call call("CeWriteFile");
    if (!Connected()) return FALSE;
    HANDLE host = HostFile(file);
    if (host == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (overlapped || !written || (!buffer && toWrite)) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!WriteFile(host, buffer, toWrite, written, nullptr)) return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeCloseHandle(HANDLE object) {
    Call call("CeCloseHandle");
    if (!Connected()) return FALSE;
    auto found = g.files.find(HandleValue(object));
    if (found == g.files.end()) return Fail(ERROR_INVALID_HANDLE, FALSE);
    CloseHandle(found->second);
    g.files.erase(found);
    return TRUE;
}

BOOL WINAPI CeFindAllFiles(LPCWSTR path, DWORD flags, LPDWORD foundCount, CE_FIND_DATA** found) {
    Call call("CeFindAllFiles");
    if (!Connected()) return FALSE;
    if (!foundCount || !found) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *foundCount = 0;
    *found = nullptr;
    std::vector<WIN32_FIND_DATAW> entries;
    bool atRoot = false;
    WIN32_FIND_DATAW entry;
    HANDLE search = StartSearch(path, &atRoot, &entry);
    if (search == INVALID_HANDLE_VALUE) {
        // Nothing that matches is an empty answer, not a failure.
        return g.lastError == ERROR_NO_MORE_FILES || g.lastError == ERROR_FILE_NOT_FOUND ? TRUE : FALSE;
    }
    do entries.push_back(entry);
    while (NextVisible(search, atRoot, &entry, false) && entries.size() < 65536);
    FindClose(search);
    CE_FIND_DATA* array =
        static_cast<CE_FIND_DATA*>(LocalAlloc(LMEM_FIXED, entries.size() * sizeof(CE_FIND_DATA)));
    if (!array) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    for (size_t i = 0; i < entries.size(); ++i) ToFindData(entries[i], &array[i], flags);
    *foundCount = static_cast<DWORD>(entries.size());
    *found = array;
    return TRUE;
}

BOOL WINAPI CeFindAllDatabases(DWORD, WORD, LPWORD, CEDB_FIND_DATA**) {
    Call call("CeFindAllDatabases");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}

DWORD WINAPI CeGetLastError() {
    Call call("CeGetLastError");
    return g.lastError;
}

DWORD WINAPI CeSetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method) {
    Call call("CeSetFilePointer");
    if (!Connected()) return INVALID_SET_FILE_POINTER;
    HANDLE host = HostFile(file);
    if (host == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
    SetLastError(NO_ERROR);
    DWORD position = SetFilePointer(host, distance, distanceHigh, method);
    if (position == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR)
        return FailWithSystemError(INVALID_SET_FILE_POINTER);
    return position;
}

BOOL WINAPI CeSetEndOfFile(HANDLE file) {
    Call call("CeSetEndOfFile");
    if (!Connected()) return FALSE;
    HANDLE host = HostFile(file);
    if (host == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!SetEndOfFile(host)) return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeCreateDirectory(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    Call call("CeCreateDirectory");
    if (!Connected()) return FALSE;
    MappedPath mapped;
    if (!Map(path, &mapped)) return FALSE;
    if (mapped.depth == 0) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    if (!CreateDirectoryW(mapped.host.c_str(), nullptr)) return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeRemoveDirectory(LPCWSTR path) {
    Call call("CeRemoveDirectory");
    if (!Connected()) return FALSE;
    MappedPath mapped;
    if (!Map(path, &mapped)) return FALSE;
    if (mapped.depth == 0) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!RemoveDirectoryW(mapped.host.c_str())) return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeCreateProcess(LPCWSTR, LPCWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                            LPVOID, LPWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
    Call call("CeCreateProcess");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}

BOOL WINAPI CeMoveFile(LPCWSTR existing, LPCWSTR newName) {
    Call call("CeMoveFile");
    if (!Connected()) return FALSE;
    MappedPath from;
    MappedPath to;
    if (!Map(existing, &from) || !Map(newName, &to)) return FALSE;
    if (from.depth == 0 || to.depth == 0) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!MoveFileW(from.host.c_str(), to.host.c_str())) return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeCopyFile(LPCWSTR existing, LPCWSTR newName, BOOL failIfExists) {
    Call call("CeCopyFile");
    if (!Connected()) return FALSE;
    MappedPath from;
    MappedPath to;
    if (!Map(existing, &from) || !Map(newName, &to)) return FALSE;
    if (from.depth == 0 || to.depth == 0) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!CopyFileW(from.host.c_str(), to.host.c_str(), failIfExists)) return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeDeleteFile(LPCWSTR fileName) {
    Call call("CeDeleteFile");
    if (!Connected()) return FALSE;
    MappedPath mapped;
    if (!Map(fileName, &mapped)) return FALSE;
    if (mapped.depth == 0) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (!DeleteFileW(mapped.host.c_str())) return FailWithSystemError(FALSE);
    return TRUE;
}

DWORD WINAPI CeGetFileSize(HANDLE file, LPDWORD sizeHigh) {
    Call call("CeGetFileSize");
    if (!Connected()) return INVALID_FILE_SIZE;
    HANDLE host = HostFile(file);
    if (host == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, INVALID_FILE_SIZE);
    SetLastError(NO_ERROR);
    DWORD size = GetFileSize(host, sizeHigh);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return FailWithSystemError(INVALID_FILE_SIZE);
    return size;
}

// ---- Registry ----

LONG WINAPI CeRegOpenKeyEx(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result) {
    Call call("CeRegOpenKeyEx");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    if (!result) return RegResult(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    std::wstring base;
    std::wstring path;
    LONG error = KeyPath(key, &base);
    if (error != ERROR_SUCCESS) return RegResult(error);
    if (!DeviceRegistry::Join(base, subKey, &path, &error)) return RegResult(error);
    if (!g.registry.Exists(path)) return RegResult(ERROR_FILE_NOT_FOUND);
    HANDLE handle = NewHandle();
    g.keys[HandleValue(handle)] = path;
    *result = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

LONG WINAPI CeRegEnumKeyEx(HKEY key, DWORD index, LPWSTR name, LPDWORD cchName, LPDWORD, LPWSTR className,
                           LPDWORD cchClass, PFILETIME lastWrite) {
    Call call("CeRegEnumKeyEx");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    std::wstring path;
    LONG error = KeyPath(key, &path);
    if (error != ERROR_SUCCESS) return RegResult(error);
    if (!name || !cchName) return RegResult(ERROR_INVALID_PARAMETER);
    std::vector<std::wstring> names = g.registry.SubKeys(path);
    if (index >= names.size()) return RegResult(ERROR_NO_MORE_ITEMS);
    if (!CopyText(names[index], name, *cchName)) {
        *cchName = static_cast<DWORD>(names[index].size() + 1);
        return RegResult(ERROR_MORE_DATA);
    }
    *cchName = static_cast<DWORD>(names[index].size());
    if (className && cchClass && *cchClass) className[0] = 0;
    if (cchClass) *cchClass = 0;
    if (lastWrite) ZeroMemory(lastWrite, sizeof(FILETIME));
    return ERROR_SUCCESS;
}

LONG WINAPI CeRegCreateKeyEx(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                             PHKEY result, LPDWORD disposition) {
    Call call("CeRegCreateKeyEx");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    if (!result) return RegResult(ERROR_INVALID_PARAMETER);
    *result = nullptr;
    std::wstring base;
    std::wstring path;
    LONG error = KeyPath(key, &base);
    if (error != ERROR_SUCCESS) return RegResult(error);
    if (!DeviceRegistry::Join(base, subKey, &path, &error)) return RegResult(error);
    bool created = false;
    if (!g.registry.Create(path, &created)) return RegResult(ERROR_INVALID_PARAMETER);
    if (created && (error = SaveRegistry()) != ERROR_SUCCESS) return RegResult(error);
    HANDLE handle = NewHandle();
    g.keys[HandleValue(handle)] = path;
    *result = reinterpret_cast<HKEY>(handle);
    if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG WINAPI CeRegCloseKey(HKEY key) {
    Call call("CeRegCloseKey");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    if (!DeviceRegistry::RootName(key).empty()) return ERROR_SUCCESS;
    if (!g.keys.erase(HandleValue(key))) return RegResult(ERROR_INVALID_HANDLE);
    return ERROR_SUCCESS;
}

LONG WINAPI CeRegDeleteKey(HKEY key, LPCWSTR subKey) {
    Call call("CeRegDeleteKey");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    std::wstring base;
    std::wstring path;
    LONG error = KeyPath(key, &base);
    if (error != ERROR_SUCCESS) return RegResult(error);
    if (!DeviceRegistry::Join(base, subKey, &path, &error)) return RegResult(error);
    // The device removes a key together with everything below it.
    error = g.registry.Delete(path);
    if (error == ERROR_SUCCESS) error = SaveRegistry();
    return RegResult(error);
}

LONG WINAPI CeRegEnumValue(HKEY key, DWORD index, LPWSTR name, LPDWORD cchName, LPDWORD, LPDWORD type,
                           LPBYTE data, LPDWORD cbData) {
    Call call("CeRegEnumValue");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    std::wstring path;
    LONG error = KeyPath(key, &path);
    if (error != ERROR_SUCCESS) return RegResult(error);
    if (!name || !cchName || (data && !cbData)) return RegResult(ERROR_INVALID_PARAMETER);
    RegistryKey* found = g.registry.Find(path);
    if (index >= found->values.size()) return RegResult(ERROR_NO_MORE_ITEMS);
    const RegistryValue& value = found->values[index];
    DWORD size = static_cast<DWORD>(value.data.size());
    if (!CopyText(value.name, name, *cchName)) {
        *cchName = static_cast<DWORD>(value.name.size() + 1);
        return RegResult(ERROR_MORE_DATA);
    }
    *cchName = static_cast<DWORD>(value.name.size());
    if (type) *type = value.type;
    if (data && *cbData < size) {
        *cbData = size;
        return RegResult(ERROR_MORE_DATA);
    }
    if (data && size) CopyMemory(data, value.data.data(), size);
    if (cbData) *cbData = size;
    return ERROR_SUCCESS;
}

LONG WINAPI CeRegDeleteValue(HKEY key, LPCWSTR name) {
    Call call("CeRegDeleteValue");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    std::wstring path;
    LONG error = KeyPath(key, &path);
    if (error != ERROR_SUCCESS) return RegResult(error);
    if (!DeviceRegistry::DeleteValue(g.registry.Find(path), name ? name : L""))
        return RegResult(ERROR_FILE_NOT_FOUND);
    return RegResult(SaveRegistry());
}

LONG WINAPI CeRegQueryInfoKey(HKEY key, LPWSTR className, LPDWORD cchClass, LPDWORD, LPDWORD subKeys,
                              LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values,
                              LPDWORD maxValueNameLength, LPDWORD maxValueLength,
                              LPDWORD cbSecurityDescriptor, PFILETIME lastWrite) {
    Call call("CeRegQueryInfoKey");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    std::wstring path;
    LONG error = KeyPath(key, &path);
    if (error != ERROR_SUCCESS) return RegResult(error);
    const RegistryKey* found = g.registry.Find(path);
    std::vector<std::wstring> names = g.registry.SubKeys(path);
    DWORD longestKey = 0;
    for (const std::wstring& name : names) longestKey = std::max(longestKey, static_cast<DWORD>(name.size()));
    DWORD longestName = 0;
    DWORD longestData = 0;
    for (const RegistryValue& value : found->values) {
        longestName = std::max(longestName, static_cast<DWORD>(value.name.size()));
        longestData = std::max(longestData, static_cast<DWORD>(value.data.size()));
    }
    if (className && cchClass && *cchClass) className[0] = 0;
    if (cchClass) *cchClass = 0;
    if (subKeys) *subKeys = static_cast<DWORD>(names.size());
    if (maxSubKeyLength) *maxSubKeyLength = longestKey;
    if (maxClassLength) *maxClassLength = 0;
    if (values) *values = static_cast<DWORD>(found->values.size());
    if (maxValueNameLength) *maxValueNameLength = longestName;
    if (maxValueLength) *maxValueLength = longestData;
    if (cbSecurityDescriptor) *cbSecurityDescriptor = 0;
    if (lastWrite) ZeroMemory(lastWrite, sizeof(FILETIME));
    return ERROR_SUCCESS;
}

LONG WINAPI CeRegQueryValueEx(HKEY key, LPCWSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD cbData) {
    Call call("CeRegQueryValueEx");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    std::wstring path;
    LONG error = KeyPath(key, &path);
    if (error != ERROR_SUCCESS) return RegResult(error);
    if (data && !cbData) return RegResult(ERROR_INVALID_PARAMETER);
    const RegistryValue* value = DeviceRegistry::FindValue(g.registry.Find(path), name ? name : L"");
    if (!value) return RegResult(ERROR_FILE_NOT_FOUND);
    DWORD size = static_cast<DWORD>(value->data.size());
    if (type) *type = value->type;
    if (data && *cbData < size) {
        *cbData = size;
        return RegResult(ERROR_MORE_DATA);
    }
    if (data && size) CopyMemory(data, value->data.data(), size);
    if (cbData) *cbData = size;
    return ERROR_SUCCESS;
}

LONG WINAPI CeRegSetValueEx(HKEY key, LPCWSTR name, DWORD, DWORD type, LPBYTE data, DWORD cbData) {
    Call call("CeRegSetValueEx");
    if (!Connected()) return ERROR_NOT_CONNECTED;
    std::wstring path;
    LONG error = KeyPath(key, &path);
    if (error != ERROR_SUCCESS) return RegResult(error);
    if (!data && cbData) return RegResult(ERROR_INVALID_PARAMETER);
    std::wstring valueName = name ? name : L"";
    if ((error = DeviceRegistry::CheckValue(valueName, cbData)) != ERROR_SUCCESS) return RegResult(error);
    g.registry.SetValue(g.registry.Find(path), valueName, type, data, cbData);
    return RegResult(SaveRegistry());
}

// ---- System ----

BOOL WINAPI CeGetStoreInformation(STORE_INFORMATION* information) {
    Call call("CeGetStoreInformation");
    if (!Connected()) return FALSE;
    if (!information) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ULARGE_INTEGER available, total, free;
    if (!GetDiskFreeSpaceExW(g.folder.c_str(), &available, &total, &free)) return FailWithSystemError(FALSE);
    // A palm-size PC's store is counted in 32 bits.
    information->dwStoreSize = total.QuadPart > 0xFFFFFFFFull ? 0xFFFFFFFF : total.LowPart;
    information->dwFreeSize = available.QuadPart > 0xFFFFFFFFull ? 0xFFFFFFFF : available.LowPart;
    return TRUE;
}

INT WINAPI CeGetSystemMetrics(INT index) {
    Call call("CeGetSystemMetrics");
    if (!Connected()) return 0;
    if (index == SM_CXSCREEN) return 240;
    if (index == SM_CYSCREEN) return 320;
    return 0;
}

INT WINAPI CeGetDesktopDeviceCaps(INT index) {
    Call call("CeGetDesktopDeviceCaps");
    if (!Connected()) return 0;
    switch (index) {
    case HORZRES:
        return 240;
    case VERTRES:
        return 320;
    case BITSPIXEL:
        return 16;
    case PLANES:
        return 1;
    default:
        return 0;
    }
}

VOID WINAPI CeGetSystemInfo(LPSYSTEM_INFO systemInfo) {
    Call call("CeGetSystemInfo");
    if (!Connected()) return;
    if (!systemInfo) {
        Fail(ERROR_INVALID_PARAMETER, 0);
        return;
    }
    if (!g.settings.answersSystemInfo) return;
    ZeroMemory(systemInfo, sizeof(SYSTEM_INFO));
    systemInfo->wProcessorArchitecture = g.settings.processor;
    systemInfo->dwPageSize = 4096;
    systemInfo->lpMinimumApplicationAddress = reinterpret_cast<LPVOID>(0x10000);
    systemInfo->lpMaximumApplicationAddress = reinterpret_cast<LPVOID>(0x7FFFFFFF);
    systemInfo->dwActiveProcessorMask = 1;
    systemInfo->dwNumberOfProcessors = 1;
    systemInfo->dwAllocationGranularity = 0x10000;
    switch (g.settings.processor) {
    case PROCESSOR_ARCHITECTURE_MIPS:
        systemInfo->dwProcessorType = 4000;
        break;
    case PROCESSOR_ARCHITECTURE_SHX:
        systemInfo->dwProcessorType = 10003;
        break;
    case PROCESSOR_ARCHITECTURE_ARM:
        systemInfo->dwProcessorType = 2577;
        break;
    default:
        break;
    }
}

DWORD WINAPI CeSHCreateShortcut(LPWSTR shortcut, LPWSTR target) {
    Call call("CeSHCreateShortcut");
    if (!Connected()) return FALSE;
    if (!target) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    MappedPath mapped;
    if (!Map(shortcut, &mapped)) return FALSE;
    if (mapped.depth == 0) return Fail(ERROR_ACCESS_DENIED, FALSE);
    std::string text = ShortcutText(target);
    if (!WriteWholeFile(mapped.host, text.data(), static_cast<DWORD>(text.size())))
        return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeSHGetShortcutTarget(LPWSTR shortcut, LPWSTR target, INT cbMax) {
    Call call("CeSHGetShortcutTarget");
    if (!Connected()) return FALSE;
    if (!target || cbMax <= 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    MappedPath mapped;
    if (!Map(shortcut, &mapped)) return FALSE;
    std::string text;
    std::wstring found;
    if (mapped.depth == 0 || !ReadWholeFile(mapped.host, &text, 64 * 1024))
        return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (!ParseShortcut(text, &found)) return Fail(ERROR_INVALID_DATA, FALSE);
    // The size is read as bytes, which can only make the copy shorter than a caller counting characters.
    if (!CopyText(found, target, static_cast<DWORD>(cbMax) / sizeof(wchar_t)))
        return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    return TRUE;
}

BOOL WINAPI CeCheckPassword(LPWSTR) {
    Call call("CeCheckPassword");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}

BOOL WINAPI CeGetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite) {
    Call call("CeGetFileTime");
    if (!Connected()) return FALSE;
    HANDLE host = HostFile(file);
    if (host == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!GetFileTime(host, creation, lastAccess, lastWrite)) return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeSetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite) {
    Call call("CeSetFileTime");
    if (!Connected()) return FALSE;
    HANDLE host = HostFile(file);
    if (host == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!SetFileTime(host, creation, lastAccess, lastWrite)) return FailWithSystemError(FALSE);
    return TRUE;
}

BOOL WINAPI CeGetVersionEx(CEOSVERSIONINFO* versionInformation) {
    Call call("CeGetVersionEx");
    if (!Connected()) return FALSE;
    if (!versionInformation || versionInformation->dwOSVersionInfoSize < sizeof(CEOSVERSIONINFO))
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    ZeroMemory(versionInformation, sizeof(CEOSVERSIONINFO));
    versionInformation->dwOSVersionInfoSize = sizeof(CEOSVERSIONINFO);
    versionInformation->dwMajorVersion = 3;
    versionInformation->dwMinorVersion = 0;
    versionInformation->dwBuildNumber = 9348;
    versionInformation->dwPlatformId = 3; // the palm-size platform
    return TRUE;
}

HWND WINAPI CeGetWindow(HWND, UINT) {
    Call call("CeGetWindow");
    return Fail<HWND>(ERROR_CALL_NOT_IMPLEMENTED, nullptr);
}
LONG WINAPI CeGetWindowLong(HWND, int) {
    Call call("CeGetWindowLong");
    return Fail<LONG>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
INT WINAPI CeGetWindowText(HWND, LPWSTR, int) {
    Call call("CeGetWindowText");
    return Fail<INT>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
INT WINAPI CeGetClassName(HWND, LPWSTR, int) {
    Call call("CeGetClassName");
    return Fail<INT>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}

VOID WINAPI CeGlobalMemoryStatus(LPMEMORYSTATUS status) {
    Call call("CeGlobalMemoryStatus");
    if (!Connected()) return;
    if (!status) {
        Fail(ERROR_INVALID_PARAMETER, 0);
        return;
    }
    ZeroMemory(status, sizeof(MEMORYSTATUS));
    status->dwLength = sizeof(MEMORYSTATUS);
    status->dwMemoryLoad = 50;
    status->dwTotalPhys = 32 * 1024 * 1024;
    status->dwAvailPhys = 16 * 1024 * 1024;
    status->dwTotalVirtual = 32 * 1024 * 1024;
    status->dwAvailVirtual = 16 * 1024 * 1024;
}

BOOL WINAPI CeGetSystemPowerStatusEx(SYSTEM_POWER_STATUS_EX*, BOOL) {
    Call call("CeGetSystemPowerStatusEx");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}

DWORD WINAPI CeGetTempPath(DWORD cchBuffer, LPWSTR buffer) {
    Call call("CeGetTempPath");
    if (!Connected()) return 0;
    static const wchar_t temp[] = L"\\Temp\\";
    const DWORD length = sizeof(temp) / sizeof(wchar_t) - 1;
    // As on the desktop: a buffer too small gets the size it needs, terminator included.
    if (!buffer || cchBuffer <= length) return length + 1;
    CopyMemory(buffer, temp, sizeof(temp));
    return length;
}

DWORD WINAPI CeGetSpecialFolderPath(int folder, DWORD cchBuffer, LPWSTR buffer) {
    Call call("CeGetSpecialFolderPath");
    if (!Connected()) return 0;
    static const struct {
        int folder;
        const wchar_t* path;
    } folders[] = {{CSIDL_PROGRAMS, L"\\Windows\\Start Menu\\Programs"},
                   {CSIDL_PERSONAL, L"\\My Documents"},
                   {CSIDL_FAVORITES, L"\\Windows\\Favorites"},
                   {CSIDL_STARTUP, L"\\Windows\\StartUp"},
                   {CSIDL_RECENT, L"\\Windows\\Recent"},
                   {CSIDL_STARTMENU, L"\\Windows\\Start Menu"},
                   {CSIDL_DESKTOPDIRECTORY, L"\\Windows\\Desktop"},
                   {CSIDL_FONTS, L"\\Windows\\Fonts"},
                   {CSIDL_WINDOWS, L"\\Windows"},
                   {CSIDL_PROGRAM_FILES, L"\\Program Files"}};
    for (const auto& entry : folders)
        if (entry.folder == folder) {
            if (!CopyText(entry.path, buffer, cchBuffer)) return Fail<DWORD>(ERROR_INSUFFICIENT_BUFFER, 0);
            return static_cast<DWORD>(wcslen(entry.path));
        }
    return Fail<DWORD>(ERROR_INVALID_PARAMETER, 0);
}

HANDLE WINAPI CeFindFirstDatabaseEx(PCEGUID, DWORD) {
    Call call("CeFindFirstDatabaseEx");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, INVALID_HANDLE_VALUE);
}
CEOID WINAPI CeFindNextDatabaseEx(HANDLE, PCEGUID) {
    Call call("CeFindNextDatabaseEx");
    return Fail<CEOID>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
CEOID WINAPI CeCreateDatabaseEx(PCEGUID, CEDBASEINFO*) {
    Call call("CeCreateDatabaseEx");
    return Fail<CEOID>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
BOOL WINAPI CeSetDatabaseInfoEx(PCEGUID, CEOID, CEDBASEINFO*) {
    Call call("CeSetDatabaseInfoEx");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
HANDLE WINAPI CeOpenDatabaseEx(PCEGUID, PCEOID, LPWSTR, CEPROPID, DWORD, CENOTIFYREQUEST*) {
    Call call("CeOpenDatabaseEx");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, INVALID_HANDLE_VALUE);
}
BOOL WINAPI CeDeleteDatabaseEx(PCEGUID, CEOID) {
    Call call("CeDeleteDatabaseEx");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
CEOID WINAPI CeReadRecordPropsEx(HANDLE, DWORD, LPWORD, CEPROPID*, LPBYTE*, LPDWORD, HANDLE) {
    Call call("CeReadRecordPropsEx");
    return Fail<CEOID>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
CEOID WINAPI CeWriteRecordProps(HANDLE, CEOID, WORD, CEPROPVAL*) {
    Call call("CeWriteRecordProps");
    return Fail<CEOID>(ERROR_CALL_NOT_IMPLEMENTED, 0);
}
BOOL WINAPI CeMountDBVol(PCEGUID, LPWSTR, DWORD) {
    Call call("CeMountDBVol");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
BOOL WINAPI CeUnmountDBVol(PCEGUID) {
    Call call("CeUnmountDBVol");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
BOOL WINAPI CeFlushDBVol(PCEGUID) {
    Call call("CeFlushDBVol");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
BOOL WINAPI CeEnumDBVolumes(PCEGUID, LPWSTR, DWORD) {
    Call call("CeEnumDBVolumes");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}
BOOL WINAPI CeOidGetInfoEx(PCEGUID, CEOID, CEOIDINFO*) {
    Call call("CeOidGetInfoEx");
    return Fail(ERROR_CALL_NOT_IMPLEMENTED, FALSE);
}

// Every export has exactly the shape the desktop side calls it with.
#define RAPI_CHECK0(Result, Name) static_assert(std::is_same<decltype(&::Name), RapiFn_##Name>::value, #Name);
#define RAPI_CHECK(Result, Name, Parameters, Arguments) RAPI_CHECK0(Result, Name)
RAPI_ENTRY_POINTS(RAPI_CHECK0, RAPI_CHECK)
#undef RAPI_CHECK0
#undef RAPI_CHECK
