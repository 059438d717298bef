// The device link: the installer's connection to an attached palm-size PC through the synchronisation
// software's "rapi.dll", loaded by name at run time so that the installer runs without it. Besides the
// remote API's own calls it holds the device-side work that has no desktop twin: the device's processor,
// and files sent compressed for the decompressor library on the device ("tranzo.dll") to expand.
#pragma once

#include "sl_rapi_api.h"
#include "tl_string.h"

// An open link (allocation tag "RAPI"): the loaded library and its entry points in lookup order. Made by
// RapiOpen only, released by RapiClose.
struct RapiLink {
    HMODULE module;
    FARPROC entries[kRapiEntryCount];
};

// Time-outs the installer waits for a device: at start-up, and when the user asks to look again.
const DWORD kRapiStartupTimeout = 500;
const DWORD kRapiRescanTimeout = 1000;

// Loads "rapi.dll", finds all its entry points, starts it and waits up to `timeout` milliseconds for a
// device to answer. Returns null (after a trace line saying why, with nothing left loaded) when the
// library is missing or incomplete, refuses to start, or no device answers in time.
RapiLink* RapiOpen(DWORD timeout);

// Stops the library, unloads it and frees the link; null is allowed.
void RapiClose(RapiLink* link);

// One forwarding operation per entry point apart from the three that start and stop the library: the same
// name, the link first, then the remote API's own arguments and result (text is UTF-16). The link must be
// one RapiOpen returned.
#define RAPI_WITH_LINK(...) (RapiLink * link, __VA_ARGS__)
#define RAPI_DECLARE_FORWARD0(Result, Name) Result Name(RapiLink* link);
#define RAPI_DECLARE_FORWARD(Result, Name, Parameters, Arguments) Result Name RAPI_WITH_LINK Parameters;
RAPI_FORWARDED_ENTRY_POINTS(RAPI_DECLARE_FORWARD0, RAPI_DECLARE_FORWARD)
#undef RAPI_DECLARE_FORWARD0
#undef RAPI_DECLARE_FORWARD

// The payload folder name of a processor architecture: 1 "mips", 3 "ppc", 4 "shx", 5 "arm", anything
// else "unknown".
const char* RapiProcessorName(WORD architecture);

// Asks the device for its system information into a record first filled with 0xFE bytes, so that a field
// the device leaves alone reads as no known value.
void RapiQuerySystemInfo(RapiLink* link, SYSTEM_INFO* info);

// The device's processor folder name ("arm", ... or "unknown").
const char* RapiDeviceProcessor(RapiLink* link);

// Reports the progress of a transfer: the percent reached and the device path being written.
typedef void (*RapiProgress)(void* context, LONG percent, const string& path);

// What the device branch of a toolkit's file writer brings to a transfer.
struct RapiTransfer {
    RapiLink* link;
    // The toolkit's cached decompressor version: -1 until asked, 0 = send everything plainly.
    LONG* decompressorVersion;
    // Device folder that holds "tranzo.dll".
    string makerFolder;
    RapiProgress progress; // may be null
    void* context;
};

// Files up to this size always travel plainly: compressing them gains too little.
const DWORD kRapiCompressAbove = 5120;
// Largest piece handed to one remote write.
const DWORD kRapiWriteChunk = 32768;

// The decompressor's version on the device, asked once and then kept in *decompressorVersion. A failed
// call or an empty answer counts as 0 (no decompressor).
LONG RapiDecompressorVersion(const RapiTransfer& transfer);

// Writes `count` bytes to a device file as they are: attributes cleared, the file created anew, pieces of
// at most 32768 bytes. With `from` -1 nothing is reported; otherwise `from` first and then after each
// piece the share of `from`..`to` written so far. Returns FALSE after a trace line when the file cannot
// be created or a write fails.
BOOL RapiWritePlainFile(const RapiTransfer& transfer, const string& path, const BYTE* bytes, DWORD count,
                        LONG from, LONG to);

// Sends a file to the device: compressed through a temporary file and the device's decompressor when it
// is larger than 5120 bytes and a decompressor answers, plainly otherwise. A decompressor that refuses
// the file is not asked again by this toolkit and the file goes plainly instead. Returns whether the
// destination holds the file.
BOOL RapiSendFile(const RapiTransfer& transfer, const string& path, const BYTE* bytes, DWORD count, LONG from,
                  LONG to);

// The compressor of transfers (ZZCompress; its output is released with ZZFree). Tests put a failing one in
// place; null restores the usual one. Returns the one that was in place.
typedef BOOL (*RapiCompressor)(BYTE** ppOut, DWORD* pcbOut, const BYTE* pIn, DWORD cbIn);
RapiCompressor RapiSetCompressor(RapiCompressor compressor);

// Writes the given library bytes to the maker folder as "tranzo.dll" when the device has no decompressor
// yet (the folder must exist), then asks the version anew. Returns FALSE when the write fails; a device
// that already has one is left alone and gives TRUE.
BOOL RapiInstallDecompressor(const RapiTransfer& transfer, const BYTE* bytes, DWORD count, LONG from,
                             LONG to);

// The desktop counterpart of CeRapiInvoke: loads `library`, calls its function `function` with the same
// shape (the function takes over `input`, which must come from LocalAlloc; the caller frees *ppOutput
// with LocalFree) and unloads it. Returns the function's result, or the failure as an HRESULT when the
// library or function is missing.
HRESULT RapiInvokeDesktop(const string& library, const string& function, DWORD cbInput, BYTE* input,
                          DWORD* pcbOutput, BYTE** ppOutput);

// Asks `function` of a library for its version with an empty UTF-16 input and reads the answer as
// decimal UTF-16 text: on the device through `link`, on the desktop when `link` is null. Returns 0 when
// the call fails or answers nothing.
LONG RapiAskVersion(RapiLink* link, const string& library, const string& function);

// Reads UTF-16 decimal text of at most `cb` bytes (it may lack a terminator); 0 when it holds no digits.
LONG RapiParseVersion(const BYTE* text, DWORD cb);
