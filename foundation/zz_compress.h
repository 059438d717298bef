// The "zz" container: a 4-byte little-endian uncompressed size followed by an LZO1X-1 stream. Used for
// compressed program resources (type 4999) and for files sent to the device.
#pragma once

#include <windows.h>

// Resource type of compressed program resources.
const WORD kZZResourceType = 4999;

// Compresses cbIn bytes into a new block (*ppOut, *pcbOut = its length). Returns FALSE on failure, with
// the library's error code as the thread's last error and *ppOut null. Free the block with ZZFree.
BOOL ZZCompress(BYTE** ppOut, DWORD* pcbOut, const BYTE* pIn, DWORD cbIn);

// Expands a block made by ZZCompress into a new buffer (*ppOut, *pcbOut = the data's length). Returns
// FALSE for a block of 4 bytes or fewer, a damaged stream (the library's error code as the last error)
// or a lack of memory; *ppOut is then null. Free the buffer with ZZFree.
BOOL ZZDecompress(BYTE** ppOut, DWORD* pcbOut, const BYTE* pBlock, DWORD cbBlock);

// Releases a buffer from ZZCompress or ZZDecompress; null is allowed.
void ZZFree(BYTE* pOut);

// Finds resource `name` of type 4999 in `module` and expands it. On failure returns FALSE with *ppOut
// null and *pcbOut 0.
BOOL ZZLoadResource(HMODULE module, LPCTSTR name, BYTE** ppOut, DWORD* pcbOut);
