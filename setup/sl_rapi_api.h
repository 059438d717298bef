// The desktop remote API of a palm-size PC ("rapi.dll"): its record types and the shapes of its 78 entry
// points, listed once in lookup order. The device link looks the entry points up by these names, and the
// device emulator exports them, so both sides are checked against this one table.
#pragma once

#include <windows.h>

typedef DWORD CEOID;
typedef CEOID* PCEOID;
typedef DWORD CEPROPID;

// Identifies a database volume.
struct CEGUID {
    DWORD Data1;
    DWORD Data2;
    DWORD Data3;
    DWORD Data4;
};
typedef CEGUID* PCEGUID;

// Records of the device's object store databases. Nothing on the desktop side looks inside them; they are
// only passed through, so their layouts stay the device's business.
struct SORTORDERSPEC;
struct CEOIDINFO;
struct CEDBASEINFO;
struct CEPROPVAL;
struct CENOTIFYREQUEST;
struct CEDB_FIND_DATA;
struct IRAPIStream;

// Passed to CeRapiInitEx; the callee fills the event and the result.
struct RAPIINIT {
    DWORD cbSize; // 12
    HANDLE heRapiInit;
    HRESULT hrRapiInit;
};

// One file or folder found on the device.
struct CE_FIND_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};

// Fields CeFindAllFiles fills.
const DWORD FAF_ATTRIBUTES = 0x01;
const DWORD FAF_CREATION_TIME = 0x02;
const DWORD FAF_LASTACCESS_TIME = 0x04;
const DWORD FAF_LASTWRITE_TIME = 0x08;
const DWORD FAF_SIZE_HIGH = 0x10;
const DWORD FAF_SIZE_LOW = 0x20;
const DWORD FAF_OID = 0x40;
const DWORD FAF_NAME = 0x80;

struct STORE_INFORMATION {
    DWORD dwStoreSize;
    DWORD dwFreeSize;
};

struct CEOSVERSIONINFO {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
};

struct SYSTEM_POWER_STATUS_EX {
    BYTE ACLineStatus;
    BYTE BatteryFlag;
    BYTE BatteryLifePercent;
    BYTE Reserved1;
    DWORD BatteryLifeTime;
    DWORD BatteryFullLifeTime;
    BYTE Reserved2;
    BYTE BackupBatteryFlag;
    BYTE BackupBatteryLifePercent;
    BYTE Reserved3;
    DWORD BackupBatteryLifeTime;
    DWORD BackupBatteryFullLifeTime;
};

// Results of the library itself.
const HRESULT CERAPI_E_ALREADYINITIALIZED = static_cast<HRESULT>(0x80041001);

// The shape of a function that CeRapiInvoke calls inside a device library in block mode. The output is
// allocated with LocalAlloc and released by the caller with LocalFree.
typedef HRESULT(STDAPICALLTYPE* RapiExtension)(DWORD cbInput, BYTE* pInput, DWORD* pcbOutput, BYTE** ppOutput,
                                               IRAPIStream* pStream);

// Every entry point in lookup order: the three that start and stop the library, then the 75 that the
// device link forwards. X0(result, name) for those without arguments; X(result, name, (parameters),
// (arguments)) for the others.
#define RAPI_ENTRY_POINTS(X0, X) RAPI_INIT_ENTRY_POINTS(X0, X) RAPI_FORWARDED_ENTRY_POINTS(X0, X)

#define RAPI_INIT_ENTRY_POINTS(X0, X)                                                                        \
    X0(HRESULT, CeRapiInit)                                                                                  \
    X(HRESULT, CeRapiInitEx, (RAPIINIT * pRapiInit), (pRapiInit))                                            \
    X0(HRESULT, CeRapiUninit)

#define RAPI_FORWARDED_ENTRY_POINTS(X0, X)                                                                   \
    X0(HRESULT, CeRapiGetError)                                                                              \
    X(HRESULT, CeRapiFreeBuffer, (LPVOID buffer), (buffer))                                                  \
    X(HRESULT, CeRapiInvoke,                                                                                 \
      (LPCWSTR dllPath, LPCWSTR functionName, DWORD cbInput, BYTE * pInput, DWORD * pcbOutput,               \
       BYTE * *ppOutput, IRAPIStream * *ppStream, DWORD reserved),                                           \
      (dllPath, functionName, cbInput, pInput, pcbOutput, ppOutput, ppStream, reserved))                     \
    X(CEOID, CeCreateDatabase, (LPWSTR name, DWORD type, WORD sortCount, SORTORDERSPEC * sorts),             \
      (name, type, sortCount, sorts))                                                                        \
    X(BOOL, CeDeleteDatabase, (CEOID oid), (oid))                                                            \
    X(BOOL, CeDeleteRecord, (HANDLE database, CEOID record), (database, record))                             \
    X(HANDLE, CeFindFirstDatabase, (DWORD type), (type))                                                     \
    X(CEOID, CeFindNextDatabase, (HANDLE enumeration), (enumeration))                                        \
    X(BOOL, CeOidGetInfo, (CEOID oid, CEOIDINFO * info), (oid, info))                                        \
    X(HANDLE, CeOpenDatabase, (PCEOID oid, LPWSTR name, CEPROPID property, DWORD flags, HWND notify),        \
      (oid, name, property, flags, notify))                                                                  \
    X(CEOID, CeReadRecordProps,                                                                              \
      (HANDLE database, DWORD flags, LPWORD propertyCount, CEPROPID * properties, LPBYTE * buffer,           \
       LPDWORD cbBuffer),                                                                                    \
      (database, flags, propertyCount, properties, buffer, cbBuffer))                                        \
    X(CEOID, CeSeekDatabase, (HANDLE database, DWORD seekType, DWORD value, LPDWORD index),                  \
      (database, seekType, value, index))                                                                    \
    X(BOOL, CeSetDatabaseInfo, (CEOID oid, CEDBASEINFO * info), (oid, info))                                 \
    X(HANDLE, CeFindFirstFile, (LPCWSTR fileName, CE_FIND_DATA * findData), (fileName, findData))            \
    X(BOOL, CeFindNextFile, (HANDLE find, CE_FIND_DATA * findData), (find, findData))                        \
    X(BOOL, CeFindClose, (HANDLE find), (find))                                                              \
    X(DWORD, CeGetFileAttributes, (LPCWSTR fileName), (fileName))                                            \
    X(BOOL, CeSetFileAttributes, (LPCWSTR fileName, DWORD attributes), (fileName, attributes))               \
    X(HANDLE, CeCreateFile,                                                                                  \
      (LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security, DWORD disposition,   \
       DWORD flags, HANDLE templateFile),                                                                    \
      (fileName, access, shareMode, security, disposition, flags, templateFile))                             \
    X(BOOL, CeReadFile, (HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped),   \
      (file, buffer, toRead, read, overlapped))                                                              \
    X(BOOL, CeWriteFile,                                                                                     \
      (HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped),                \
      (file, buffer, toWrite, written, overlapped))                                                          \
    X(BOOL, CeCloseHandle, (HANDLE object), (object))                                                        \
    X(BOOL, CeFindAllFiles, (LPCWSTR path, DWORD flags, LPDWORD foundCount, CE_FIND_DATA * *found),          \
      (path, flags, foundCount, found))                                                                      \
    X(BOOL, CeFindAllDatabases, (DWORD type, WORD flags, LPWORD foundCount, CEDB_FIND_DATA * *found),        \
      (type, flags, foundCount, found))                                                                      \
    X0(DWORD, CeGetLastError)                                                                                \
    X(DWORD, CeSetFilePointer, (HANDLE file, LONG distance, PLONG distanceHigh, DWORD method),               \
      (file, distance, distanceHigh, method))                                                                \
    X(BOOL, CeSetEndOfFile, (HANDLE file), (file))                                                           \
    X(BOOL, CeCreateDirectory, (LPCWSTR path, LPSECURITY_ATTRIBUTES security), (path, security))             \
    X(BOOL, CeRemoveDirectory, (LPCWSTR path), (path))                                                       \
    X(BOOL, CeCreateProcess,                                                                                 \
      (LPCWSTR application, LPCWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,                      \
       LPSECURITY_ATTRIBUTES threadSecurity, BOOL inheritHandles, DWORD flags, LPVOID environment,           \
       LPWSTR currentDirectory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION processInformation),           \
      (application, commandLine, processSecurity, threadSecurity, inheritHandles, flags, environment,        \
       currentDirectory, startup, processInformation))                                                       \
    X(BOOL, CeMoveFile, (LPCWSTR existing, LPCWSTR newName), (existing, newName))                            \
    X(BOOL, CeCopyFile, (LPCWSTR existing, LPCWSTR newName, BOOL failIfExists),                              \
      (existing, newName, failIfExists))                                                                     \
    X(BOOL, CeDeleteFile, (LPCWSTR fileName), (fileName))                                                    \
    X(DWORD, CeGetFileSize, (HANDLE file, LPDWORD sizeHigh), (file, sizeHigh))                               \
    X(LONG, CeRegOpenKeyEx, (HKEY key, LPCWSTR subKey, DWORD reserved, REGSAM access, PHKEY result),         \
      (key, subKey, reserved, access, result))                                                               \
    X(LONG, CeRegEnumKeyEx,                                                                                  \
      (HKEY key, DWORD index, LPWSTR name, LPDWORD cchName, LPDWORD reserved, LPWSTR className,              \
       LPDWORD cchClass, PFILETIME lastWrite),                                                               \
      (key, index, name, cchName, reserved, className, cchClass, lastWrite))                                 \
    X(LONG, CeRegCreateKeyEx,                                                                                \
      (HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className, DWORD options, REGSAM access,             \
       LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition),                                   \
      (key, subKey, reserved, className, options, access, security, result, disposition))                    \
    X(LONG, CeRegCloseKey, (HKEY key), (key))                                                                \
    X(LONG, CeRegDeleteKey, (HKEY key, LPCWSTR subKey), (key, subKey))                                       \
    X(LONG, CeRegEnumValue,                                                                                  \
      (HKEY key, DWORD index, LPWSTR name, LPDWORD cchName, LPDWORD reserved, LPDWORD type, LPBYTE data,     \
       LPDWORD cbData),                                                                                      \
      (key, index, name, cchName, reserved, type, data, cbData))                                             \
    X(LONG, CeRegDeleteValue, (HKEY key, LPCWSTR name), (key, name))                                         \
    X(LONG, CeRegQueryInfoKey,                                                                               \
      (HKEY key, LPWSTR className, LPDWORD cchClass, LPDWORD reserved, LPDWORD subKeys,                      \
       LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,          \
       LPDWORD maxValueLength, LPDWORD cbSecurityDescriptor, PFILETIME lastWrite),                           \
      (key, className, cchClass, reserved, subKeys, maxSubKeyLength, maxClassLength, values,                 \
       maxValueNameLength, maxValueLength, cbSecurityDescriptor, lastWrite))                                 \
    X(LONG, CeRegQueryValueEx,                                                                               \
      (HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD cbData),                 \
      (key, name, reserved, type, data, cbData))                                                             \
    X(LONG, CeRegSetValueEx,                                                                                 \
      (HKEY key, LPCWSTR name, DWORD reserved, DWORD type, LPBYTE data, DWORD cbData),                       \
      (key, name, reserved, type, data, cbData))                                                             \
    X(BOOL, CeGetStoreInformation, (STORE_INFORMATION * information), (information))                         \
    X(INT, CeGetSystemMetrics, (INT index), (index))                                                         \
    X(INT, CeGetDesktopDeviceCaps, (INT index), (index))                                                     \
    X(VOID, CeGetSystemInfo, (LPSYSTEM_INFO systemInfo), (systemInfo))                                       \
    X(DWORD, CeSHCreateShortcut, (LPWSTR shortcut, LPWSTR target), (shortcut, target))                       \
    X(BOOL, CeSHGetShortcutTarget, (LPWSTR shortcut, LPWSTR target, INT cbMax), (shortcut, target, cbMax))   \
    X(BOOL, CeCheckPassword, (LPWSTR password), (password))                                                  \
    X(BOOL, CeGetFileTime, (HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite),  \
      (file, creation, lastAccess, lastWrite))                                                               \
    X(BOOL, CeSetFileTime, (HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite),  \
      (file, creation, lastAccess, lastWrite))                                                               \
    X(BOOL, CeGetVersionEx, (CEOSVERSIONINFO * versionInformation), (versionInformation))                    \
    X(HWND, CeGetWindow, (HWND window, UINT command), (window, command))                                     \
    X(LONG, CeGetWindowLong, (HWND window, int index), (window, index))                                      \
    X(INT, CeGetWindowText, (HWND window, LPWSTR text, int maxCount), (window, text, maxCount))              \
    X(INT, CeGetClassName, (HWND window, LPWSTR className, int maxCount), (window, className, maxCount))     \
    X(VOID, CeGlobalMemoryStatus, (LPMEMORYSTATUS status), (status))                                         \
    X(BOOL, CeGetSystemPowerStatusEx, (SYSTEM_POWER_STATUS_EX * status, BOOL update), (status, update))      \
    X(DWORD, CeGetTempPath, (DWORD cchBuffer, LPWSTR buffer), (cchBuffer, buffer))                           \
    X(DWORD, CeGetSpecialFolderPath, (int folder, DWORD cchBuffer, LPWSTR buffer),                           \
      (folder, cchBuffer, buffer))                                                                           \
    X(HANDLE, CeFindFirstDatabaseEx, (PCEGUID volume, DWORD type), (volume, type))                           \
    X(CEOID, CeFindNextDatabaseEx, (HANDLE enumeration, PCEGUID volume), (enumeration, volume))              \
    X(CEOID, CeCreateDatabaseEx, (PCEGUID volume, CEDBASEINFO * info), (volume, info))                       \
    X(BOOL, CeSetDatabaseInfoEx, (PCEGUID volume, CEOID oid, CEDBASEINFO * info), (volume, oid, info))       \
    X(HANDLE, CeOpenDatabaseEx,                                                                              \
      (PCEGUID volume, PCEOID oid, LPWSTR name, CEPROPID property, DWORD flags, CENOTIFYREQUEST * request),  \
      (volume, oid, name, property, flags, request))                                                         \
    X(BOOL, CeDeleteDatabaseEx, (PCEGUID volume, CEOID oid), (volume, oid))                                  \
    X(CEOID, CeReadRecordPropsEx,                                                                            \
      (HANDLE database, DWORD flags, LPWORD propertyCount, CEPROPID * properties, LPBYTE * buffer,           \
       LPDWORD cbBuffer, HANDLE heap),                                                                       \
      (database, flags, propertyCount, properties, buffer, cbBuffer, heap))                                  \
    X(CEOID, CeWriteRecordProps, (HANDLE database, CEOID record, WORD propertyCount, CEPROPVAL * values),    \
      (database, record, propertyCount, values))                                                             \
    X(BOOL, CeMountDBVol, (PCEGUID volume, LPWSTR name, DWORD flags), (volume, name, flags))                 \
    X(BOOL, CeUnmountDBVol, (PCEGUID volume), (volume))                                                      \
    X(BOOL, CeFlushDBVol, (PCEGUID volume), (volume))                                                        \
    X(BOOL, CeEnumDBVolumes, (PCEGUID volume, LPWSTR buffer, DWORD cchBuffer), (volume, buffer, cchBuffer))  \
    X(BOOL, CeOidGetInfoEx, (PCEGUID volume, CEOID oid, CEOIDINFO * info), (volume, oid, info))

// One pointer type per entry point: RapiFn_CeRapiInvoke and so on.
#define RAPI_FN_TYPE0(Result, Name) typedef Result(WINAPI* RapiFn_##Name)();
#define RAPI_FN_TYPE(Result, Name, Parameters, Arguments) typedef Result(WINAPI* RapiFn_##Name) Parameters;
RAPI_ENTRY_POINTS(RAPI_FN_TYPE0, RAPI_FN_TYPE)
#undef RAPI_FN_TYPE0
#undef RAPI_FN_TYPE

// Index of each entry point in lookup order: kRapi_CeRapiInit = 0 ... kRapi_CeOidGetInfoEx = 77.
#define RAPI_INDEX0(Result, Name) kRapi_##Name,
#define RAPI_INDEX(Result, Name, Parameters, Arguments) kRapi_##Name,
enum RapiEntryIndex { RAPI_ENTRY_POINTS(RAPI_INDEX0, RAPI_INDEX) kRapiEntryCount };
#undef RAPI_INDEX0
#undef RAPI_INDEX

static_assert(kRapiEntryCount == 78, "the remote API has 78 entry points");
static_assert(sizeof(RAPIINIT) == 12, "the initialisation record is 12 bytes");
static_assert(sizeof(SYSTEM_INFO) == 36, "the system information record is 36 bytes");
