// The platform calls behind the installation toolkit, each with its two branches: the desktop's Win32
// calls with 8-bit text when the link is null, the device's remote calls with the text widened to UTF-16
// through the device link otherwise. Registry keys are named by a root and a subkey.
#pragma once

#include "sl_rapi.h"
#include "tl_string.h"

// INVALID_FILE_ATTRIBUTES (0xFFFFFFFF) when the path does not exist.
DWORD SlGetAttributes(RapiLink* link, const string& path);
bool SlExists(RapiLink* link, const string& path);
bool SlSetAttributes(RapiLink* link, const string& path, DWORD attributes);
bool SlCreateFolder(RapiLink* link, const string& path);
bool SlRemoveFolder(RapiLink* link, const string& path);
bool SlDeleteFile(RapiLink* link, const string& path);
bool SlMoveFile(RapiLink* link, const string& from, const string& to);
// Puts a file in the place of another. On the desktop in one step; the device cannot replace, so the old
// file is deleted first.
bool SlReplaceFile(RapiLink* link, const string& from, const string& to);
// A whole file into a block from MemAlloc (*bytes, released with MemFree; null for an empty file). False
// when the file cannot be opened or read, or is larger than 64 MB, which no log of ours reaches.
bool SlReadFile(RapiLink* link, const string& path, BYTE** bytes, DWORD* count);

// "HKLM\", "HKCU\" or "HKCR\" and the subkey; any other root gives the subkey alone.
string SlRegistryPath(HKEY root, const string& subKey);
// The root and subkey of such a path; a path without a known prefix names HKEY_CURRENT_USER.
void SlSplitRegistryPath(const string& path, HKEY* root, string* subKey);

bool SlRegKeyExists(RapiLink* link, HKEY root, const string& subKey);
// Opens the key, creating it when missing.
bool SlRegCreateKey(RapiLink* link, HKEY root, const string& subKey);
// Sets a value; REG_SZ takes the text (widened with its terminator on the device).
bool SlRegSetString(RapiLink* link, HKEY root, const string& subKey, const string& name, const string& text);
bool SlRegSetValue(RapiLink* link, HKEY root, const string& subKey, const string& name, DWORD type,
                   const void* data, DWORD size);
// A value read as text into a 1024-byte buffer; empty when the key or the value is missing.
string SlRegReadText(RapiLink* link, HKEY root, const string& subKey, const string& name);
bool SlRegDeleteValue(RapiLink* link, HKEY root, const string& subKey, const string& name);
// Deletes the key only when it has no subkeys and no values.
bool SlRegDeleteEmptyKey(RapiLink* link, HKEY root, const string& subKey);
// Deletes the key with its values (it must have no subkeys).
bool SlRegDeleteKey(RapiLink* link, HKEY root, const string& subKey);
