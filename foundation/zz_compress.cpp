// LZO container: shared compressor work area, one lock for every caller, bounded decompression.
#include "zz_compress.h"

#include "mem_manager.h"

#include <lzo/lzo1x.h>

namespace {

const DWORD kHeaderSize = 4;
// An LZO1X stream cannot expand one input byte into more than a few hundred output bytes (each extra
// length byte adds 255), so a header that claims more than this is damaged; rejecting it early keeps a
// hostile block from reserving gigabytes.
const DWORD kMaxExpansion = 256;
const DWORD kExpansionSlack = 1024;

// Process-wide state, made on first use. A function-local static makes the first use safe when two
// threads compress at once, and the work area and the lock live for the whole process.
struct ZZState {
    bool ready = false;
    BYTE* workArea = nullptr;
    CRITICAL_SECTION lock;

    ZZState() {
        // lzo_init checks the library against the type sizes this program was compiled with.
        if (lzo_init() != LZO_E_OK) return;
        workArea = static_cast<BYTE*>(MEMALLOC(LZO1X_1_MEM_COMPRESS + 1024));
        if (!workArea) return;
        MEMTARE(workArea);
        InitializeCriticalSection(&lock);
        ready = true;
    }
};

ZZState* EnterState() {
    static ZZState state;
    if (!state.ready) return nullptr;
    EnterCriticalSection(&state.lock);
    return &state;
}

// Output buffers carry a margin beyond the data so that the compressor's worst case always fits.
BYTE* AllocateOutput(DWORD* pcbOut, DWORD n) {
    if (n > 0xFFFFFFFFu - n / 64 - 19 - 1024) return nullptr;
    *pcbOut = n + n / 64 + 19 + 1024;
    return static_cast<BYTE*>(MEMALLOC(*pcbOut));
}

void WriteSize(BYTE* p, DWORD n) {
    p[0] = static_cast<BYTE>(n);
    p[1] = static_cast<BYTE>(n >> 8);
    p[2] = static_cast<BYTE>(n >> 16);
    p[3] = static_cast<BYTE>(n >> 24);
}

DWORD ReadSize(const BYTE* p) {
    return p[0] | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

} // namespace

BOOL ZZCompress(BYTE** ppOut, DWORD* pcbOut, const BYTE* pIn, DWORD cbIn) {
    *ppOut = nullptr;
    ZZState* state = EnterState();
    if (!state) return FALSE;
    BOOL ok = FALSE;
    DWORD capacity = 0;
    BYTE* out = cbIn <= 0xFFFFFFFFu - kHeaderSize ? AllocateOutput(&capacity, cbIn + kHeaderSize) : nullptr;
    if (out) {
        WriteSize(out, cbIn);
        lzo_uint compressed = capacity - kHeaderSize;
        int result = lzo1x_1_compress(pIn, cbIn, out + kHeaderSize, &compressed, state->workArea);
        if (result == LZO_E_OK) {
            *ppOut = out;
            *pcbOut = static_cast<DWORD>(compressed) + kHeaderSize;
            ok = TRUE;
        } else {
            SetLastError(static_cast<DWORD>(result));
        }
    }
    if (!ok && out) MEMFREE(out);
    LeaveCriticalSection(&state->lock);
    return ok;
}

BOOL ZZDecompress(BYTE** ppOut, DWORD* pcbOut, const BYTE* pBlock, DWORD cbBlock) {
    *ppOut = nullptr;
    ZZState* state = EnterState();
    if (!state) return FALSE;
    BOOL ok = FALSE;
    if (pBlock && cbBlock > kHeaderSize) {
        DWORD expected = ReadSize(pBlock);
        DWORD streamLength = cbBlock - kHeaderSize;
        bool plausible = streamLength <= (0xFFFFFFFFu - kExpansionSlack) / kMaxExpansion &&
                         expected <= streamLength * kMaxExpansion + kExpansionSlack;
        DWORD capacity = 0;
        BYTE* out = plausible ? AllocateOutput(&capacity, expected) : nullptr;
        if (!plausible) {
            SetLastError(static_cast<DWORD>(LZO_E_INPUT_OVERRUN));
        } else if (out) {
            // The safe decompressor never writes past `capacity` nor reads past the block.
            lzo_uint produced = capacity;
            int result = lzo1x_decompress_safe(pBlock + kHeaderSize, streamLength, out, &produced, nullptr);
            // A stream that decodes to another length than its header states is damaged as well.
            if (result == LZO_E_OK && produced != expected) result = LZO_E_ERROR;
            if (result == LZO_E_OK) {
                *ppOut = out;
                *pcbOut = static_cast<DWORD>(produced);
                ok = TRUE;
            } else {
                SetLastError(static_cast<DWORD>(result));
                MEMFREE(out);
            }
        }
    }
    LeaveCriticalSection(&state->lock);
    return ok;
}

void ZZFree(BYTE* pOut) {
    if (pOut) MEMFREE(pOut);
}

BOOL ZZLoadResource(HMODULE module, LPCTSTR name, BYTE** ppOut, DWORD* pcbOut) {
    *ppOut = nullptr;
    *pcbOut = 0;
    HRSRC found = FindResource(module, name, MAKEINTRESOURCE(kZZResourceType));
    if (!found) return FALSE;
    HGLOBAL loaded = LoadResource(module, found);
    const BYTE* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data || !ZZDecompress(ppOut, pcbOut, data, SizeofResource(module, found))) {
        *ppOut = nullptr;
        *pcbOut = 0;
        return FALSE;
    }
    return TRUE;
}
