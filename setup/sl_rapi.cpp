// Device link: opening and closing "rapi.dll", the forwarding operations, the processor, and files sent
// plainly or compressed for the device's decompressor.
#include "sl_rapi.h"

#include "mem_manager.h"
#include "sl_trace.h"
#include "tl_format.h"
#include "zz_compress.h"

namespace {

#define RAPI_NAME0(Result, Name) #Name,
#define RAPI_NAME(Result, Name, Parameters, Arguments) #Name,
const char* const kEntryNames[kRapiEntryCount] = {RAPI_ENTRY_POINTS(RAPI_NAME0, RAPI_NAME)};
#undef RAPI_NAME0
#undef RAPI_NAME

// Entry points are kept as plain addresses; each call turns one back into its own shape.
template <class Function>
Function Entry(RapiLink* link, RapiEntryIndex index) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(link->entries[index]));
}

// Where the decompressor's input (two paths with their terminators) is built.
const DWORD kDecompressInputBytes = 1040;

const WCHAR kEmptyText[] = L"";

RapiCompressor g_compressor = ZZCompress;

string DecompressorPath(const RapiTransfer& transfer) { return transfer.makerFolder + "\\tranzo.dll"; }

void Report(const RapiTransfer& transfer, LONG percent, const string& path) {
    if (transfer.progress) transfer.progress(transfer.context, percent, path);
}

// A copy of `bytes` in a LocalAlloc block, as the remote call's input must be.
BYTE* LocalCopy(const void* bytes, DWORD count) {
    BYTE* block = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, count ? count : 1));
    if (block && count) CopyMemory(block, bytes, count);
    return block;
}

// Whether both paths with their terminators fit the decompressor's input.
bool FitsDecompressorInput(const string& temporary, const string& destination) {
    return (temporary.GetLength() + destination.GetLength() + 2) * sizeof(WCHAR) <= kDecompressInputBytes;
}

// Expands the temporary file into the destination with the device's decompressor; 0 when it did.
HRESULT InvokeDecompressor(const RapiTransfer& transfer, const string& temporary, const string& destination) {
    DWORD first = temporary.GetLength() + 1;
    DWORD second = destination.GetLength() + 1;
    // The remote call takes over its input and releases it with LocalFree.
    BYTE* input = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED | LMEM_ZEROINIT, kDecompressInputBytes));
    if (!input) return E_OUTOFMEMORY;
    CopyMemory(input, temporary.Psz16(), first * sizeof(WCHAR));
    CopyMemory(input + first * sizeof(WCHAR), destination.Psz16(), second * sizeof(WCHAR));
    DWORD cbOutput = 0;
    BYTE* output = nullptr;
    string library = DecompressorPath(transfer);
    HRESULT result = CeRapiInvoke(transfer.link, library.Psz16(), L"DecompressFile",
                                  (first + second) * sizeof(WCHAR), input, &cbOutput, &output, nullptr, 0);
    if (output) LocalFree(output);
    return result;
}

} // namespace

RapiLink* RapiOpen(DWORD timeout) {
    SetupTrace("rapi: initializing...\n");
    HMODULE module = LoadLibraryA("rapi.dll");
    if (!module) {
        DWORD error = GetLastError();
        SetupTrace("rapi: failed to load rapi.dll; error %ld\n", static_cast<long>(error));
        return nullptr;
    }
    RapiLink* link = static_cast<RapiLink*>(MemAlloc(sizeof(RapiLink), "RAPI", __FILE__, __LINE__));
    if (!link) {
        FreeLibrary(module);
        return nullptr;
    }
    ZeroMemory(link, sizeof(RapiLink));
    link->module = module;
    for (int i = 0; i < kRapiEntryCount; ++i) {
        link->entries[i] = GetProcAddress(module, kEntryNames[i]);
        if (!link->entries[i]) {
            DWORD error = GetLastError();
            SetupTrace("rapi: failed to find functions in rapi.dll; error %ld\n", static_cast<long>(error));
            RapiClose(link);
            return nullptr;
        }
    }
    SetupTrace("rapi: calling CeRapiInitEx\n");
    RAPIINIT init = {sizeof(RAPIINIT), nullptr, 0};
    HRESULT result = Entry<RapiFn_CeRapiInitEx>(link, kRapi_CeRapiInitEx)(&init);
    if (result != 0) {
        SetupTrace("rapi: CeRapiInitEx failed; error %ld\n", static_cast<long>(result));
        RapiClose(link);
        return nullptr;
    }
    // Only the event tells whether a device answered; the record's result code is not looked at.
    if (init.heRapiInit && WaitForSingleObject(init.heRapiInit, timeout) == WAIT_OBJECT_0) {
        SetupTrace("rapi: initialization succeeded\n");
        return link;
    }
    SetupTrace("rapi: CeRapiInitEx timed out\n");
    RapiClose(link);
    return nullptr;
}

void RapiClose(RapiLink* link) {
    if (!link) return;
    SetupTrace("rapi: uninitializing\n");
    if (link->module) {
        if (link->entries[kRapi_CeRapiUninit]) Entry<RapiFn_CeRapiUninit>(link, kRapi_CeRapiUninit)();
        FreeLibrary(link->module);
    }
    MemFree(link, __FILE__, __LINE__);
    SetupTrace("rapi: uninitialization complete\n");
}

#define RAPI_FORWARD0(Result, Name)                                                                          \
    Result Name(RapiLink* link) { return Entry<RapiFn_##Name>(link, kRapi_##Name)(); }
#define RAPI_FORWARD(Result, Name, Parameters, Arguments)                                                    \
    Result Name RAPI_WITH_LINK Parameters { return Entry<RapiFn_##Name>(link, kRapi_##Name) Arguments; }
RAPI_FORWARDED_ENTRY_POINTS(RAPI_FORWARD0, RAPI_FORWARD)
#undef RAPI_FORWARD0
#undef RAPI_FORWARD

const char* RapiProcessorName(WORD architecture) {
    switch (architecture) {
    case PROCESSOR_ARCHITECTURE_MIPS:
        return "mips";
    case PROCESSOR_ARCHITECTURE_PPC:
        return "ppc";
    case PROCESSOR_ARCHITECTURE_SHX:
        return "shx";
    case PROCESSOR_ARCHITECTURE_ARM:
        return "arm";
    default:
        return "unknown";
    }
}

void RapiQuerySystemInfo(RapiLink* link, SYSTEM_INFO* info) {
    FillMemory(info, sizeof(SYSTEM_INFO), 0xFE);
    CeGetSystemInfo(link, info);
}

const char* RapiDeviceProcessor(RapiLink* link) {
    SYSTEM_INFO info;
    RapiQuerySystemInfo(link, &info);
    return RapiProcessorName(info.wProcessorArchitecture);
}

LONG RapiParseVersion(const BYTE* text, DWORD cb) {
    LONG value = 0;
    for (DWORD i = 0; i + 1 < cb; i += 2) {
        WCHAR c = static_cast<WCHAR>(text[i] | text[i + 1] << 8);
        if (c < L'0' || c > L'9') break;
        // A longer number than any version is cut rather than wrapped into a negative one.
        if (value > (0x7FFFFFFF - 9) / 10) break;
        value = value * 10 + (c - L'0');
    }
    return value;
}

HRESULT RapiInvokeDesktop(const string& library, const string& function, DWORD cbInput, BYTE* input,
                          DWORD* pcbOutput, BYTE** ppOutput) {
    *pcbOutput = 0;
    *ppOutput = nullptr;
    HMODULE module = LoadLibraryA(library.Psz8());
    RapiExtension call = module ? reinterpret_cast<RapiExtension>(
                                      reinterpret_cast<void*>(GetProcAddress(module, function.Psz8())))
                                : nullptr;
    if (!call) {
        DWORD error = GetLastError();
        // The function would have taken over the input; without one it is released here.
        if (input) LocalFree(input);
        if (module) FreeLibrary(module);
        return HRESULT_FROM_WIN32(error ? error : ERROR_PROC_NOT_FOUND);
    }
    HRESULT result = call(cbInput, input, pcbOutput, ppOutput, nullptr);
    FreeLibrary(module);
    return result;
}

LONG RapiAskVersion(RapiLink* link, const string& library, const string& function) {
    BYTE* input = LocalCopy(kEmptyText, sizeof(kEmptyText));
    if (!input) return 0;
    DWORD cbOutput = 0;
    BYTE* output = nullptr;
    HRESULT result =
        link ? CeRapiInvoke(link, library.Psz16(), function.Psz16(), sizeof(kEmptyText), input, &cbOutput,
                            &output, nullptr, 0)
             : RapiInvokeDesktop(library, function, sizeof(kEmptyText), input, &cbOutput, &output);
    LONG version = result == 0 && output ? RapiParseVersion(output, cbOutput) : 0;
    if (output) LocalFree(output);
    return version;
}

LONG RapiDecompressorVersion(const RapiTransfer& transfer) {
    if (*transfer.decompressorVersion < 0)
        *transfer.decompressorVersion =
            RapiAskVersion(transfer.link, DecompressorPath(transfer), string("GetTRANZOVersion"));
    return *transfer.decompressorVersion;
}

BOOL RapiWritePlainFile(const RapiTransfer& transfer, const string& path, const BYTE* bytes, DWORD count,
                        LONG from, LONG to) {
    RapiLink* link = transfer.link;
    CeSetFileAttributes(link, path.Psz16(), 0);
    HANDLE file = CeCreateFile(link, path.Psz16(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        SetupTrace("setuplib: rapi writefile failed to create %s\n", path.Psz8());
        return FALSE;
    }
    // The remote write takes at most one piece per call, so even an unreported write goes in pieces.
    if (from != -1) Report(transfer, from, path);
    BOOL ok = TRUE;
    DWORD written = 0;
    while (written < count) {
        DWORD piece = count - written < kRapiWriteChunk ? count - written : kRapiWriteChunk;
        DWORD done = 0;
        if (!CeWriteFile(link, file, bytes + written, piece, &done, nullptr) || done != piece) {
            ok = FALSE;
            break;
        }
        written += piece;
        // 64-bit arithmetic: the product of the span and a large file's size would wrap 32 bits.
        if (from != -1)
            Report(transfer,
                   static_cast<LONG>(static_cast<DWORD>(from) +
                                     static_cast<ULONGLONG>(static_cast<DWORD>(to - from)) * written / count),
                   path);
    }
    CeCloseHandle(link, file);
    if (!ok) SetupTrace("setuplib: writefile failed to write %s\n", path.Psz8());
    return ok;
}

BOOL RapiSendFile(const RapiTransfer& transfer, const string& path, const BYTE* bytes, DWORD count, LONG from,
                  LONG to) {
    sformat temporary("\\This File Is Safe To Delete (#%ld)", static_cast<long>(GetTickCount()));
    // A destination too long to be named to the decompressor goes plainly, like a small file.
    if (count > kRapiCompressAbove && FitsDecompressorInput(temporary, path) &&
        RapiDecompressorVersion(transfer) > 0) {
        BYTE* packed = nullptr;
        DWORD packedSize = 0;
        // A file that cannot be compressed simply goes plainly.
        if (g_compressor(&packed, &packedSize, bytes, count)) {
            BOOL expanded = FALSE;
            if (RapiWritePlainFile(transfer, temporary, packed, packedSize, from, to)) {
                expanded = InvokeDecompressor(transfer, temporary, path) == 0;
                // A decompressor that refused once is not trusted with this toolkit's later files.
                if (!expanded) *transfer.decompressorVersion = 0;
                // The decompressor may already have removed it; a refusal must not leave it behind.
                CeDeleteFile(transfer.link, temporary.Psz16());
            }
            ZZFree(packed);
            if (expanded) return TRUE;
        }
    }
    return RapiWritePlainFile(transfer, path, bytes, count, from, to);
}

RapiCompressor RapiSetCompressor(RapiCompressor compressor) {
    RapiCompressor previous = g_compressor;
    g_compressor = compressor ? compressor : ZZCompress;
    return previous;
}

BOOL RapiInstallDecompressor(const RapiTransfer& transfer, const BYTE* bytes, DWORD count, LONG from,
                             LONG to) {
    if (RapiDecompressorVersion(transfer) != 0) return TRUE;
    if (!RapiWritePlainFile(transfer, DecompressorPath(transfer), bytes, count, from, to)) return FALSE;
    *transfer.decompressorVersion = -1;
    RapiDecompressorVersion(transfer);
    return TRUE;
}
