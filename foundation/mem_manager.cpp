// The tracked heap: 1 MiB chunks carved into blocks of 128-byte classes, free
// lists per class, a hash of live addresses, and large blocks on their own.
#include "mem_manager.h"

#include <string.h>

static_assert(sizeof(void*) != 4 || sizeof(MemBlock) == 68, "block header is 17 words");
static_assert(sizeof(void*) != 4 || sizeof(MemChunk) == 28, "chunk header is 7 words");

namespace {

const char kFreeLiteral[] = "free";
const DWORD kChunkCapacity = kMemChunkSize - sizeof(MemChunk);

struct MemoryManager {
    CRITICAL_SECTION lock;
    MemChunk* current;
    MemBlock* buckets[kMemBuckets];
    MemBlock* freeLists[kMemClasses];
    DWORD emptyChunks;

    MemoryManager() : current(nullptr), buckets(), freeLists(), emptyChunks(0) {
        InitializeCriticalSection(&lock);
    }
};

MemReportSink g_reportSink = nullptr;

// Created on first use and never torn down: objects that outlive main still
// release through it. Function-local statics are initialised once even when
// two threads race to the first allocation.
MemoryManager& Manager() {
    static MemoryManager* manager = new MemoryManager;
    return *manager;
}

class Lock {
public:
    explicit Lock(MemoryManager& m) : m_(m) { EnterCriticalSection(&m_.lock); }
    ~Lock() { LeaveCriticalSection(&m_.lock); }

private:
    MemoryManager& m_;
};

DWORD TotalSize(DWORD requested) {
    // The next multiple of 128 strictly above requested + overhead.
    DWORD n = requested + kMemBlockOverhead;
    return n + 128 - n % 128;
}

DWORD ClassOf(DWORD total) { return total / 128 - 1; }

DWORD BucketOf(const void* key) {
    return (static_cast<DWORD>(reinterpret_cast<UINT_PTR>(key)) >> 4) & 0x3FFF;
}

DWORD* TrailerOf(MemBlock* block) {
    return reinterpret_cast<DWORD*>(reinterpret_cast<BYTE*>(block) + sizeof(MemBlock) + block->capacity);
}

void WriteFreshBlock(MemBlock* block, DWORD total, MemChunk* chunk) {
    block->signature = kMemLeadingSignature;
    block->bucket = kMemFreeBucket;
    block->hashPrev = block->hashNext = nullptr;
    block->freePrev = block->freeNext = nullptr;
    block->chunk = chunk;
    block->kind = kMemKindPlain;
    block->large = 0;
    block->capacity = total - kMemBlockOverhead;
    block->requested = 0;
    block->file = kFreeLiteral;
    block->tag = kFreeLiteral;
    block->line = 0;
    block->tared = 0;
    block->user = reinterpret_cast<BYTE*>(block) + sizeof(MemBlock);
    block->object = nullptr;
    *TrailerOf(block) = kMemTrailingSignature;
}

void PushFree(MemoryManager& m, MemBlock* block) {
    DWORD cls = ClassOf(block->capacity + kMemBlockOverhead);
    block->freePrev = nullptr;
    block->freeNext = m.freeLists[cls];
    if (block->freeNext) block->freeNext->freePrev = block;
    m.freeLists[cls] = block;
}

void UnlinkFree(MemoryManager& m, MemBlock* block) {
    DWORD cls = ClassOf(block->capacity + kMemBlockOverhead);
    if (block->freePrev)
        block->freePrev->freeNext = block->freeNext;
    else if (m.freeLists[cls] == block)
        m.freeLists[cls] = block->freeNext;
    if (block->freeNext) block->freeNext->freePrev = block->freePrev;
    block->freePrev = block->freeNext = nullptr;
}

bool CreateChunk(MemoryManager& m) {
    MemChunk* chunk = static_cast<MemChunk*>(LocalAlloc(LMEM_FIXED, kMemChunkSize));
    if (!chunk) return false;
    chunk->prev = nullptr;
    chunk->next = m.current;
    if (m.current) m.current->prev = chunk;
    m.current = chunk;
    m.emptyChunks++;
    chunk->liveCount = 0;
    chunk->carvedCount = 0;
    chunk->capacity = kChunkCapacity;
    chunk->remaining = kChunkCapacity;
    chunk->firstBlock = reinterpret_cast<BYTE*>(chunk) + sizeof(MemChunk);
    return true;
}

MemBlock* Carve(MemoryManager& m, DWORD size) {
    if (size < 128) size = 128;
    MemChunk* chunk = m.current;
    if (!chunk || chunk->remaining < size) return nullptr;
    MemBlock* block = reinterpret_cast<MemBlock*>(chunk->firstBlock + (chunk->capacity - chunk->remaining));
    chunk->remaining -= size;
    chunk->carvedCount++;
    WriteFreshBlock(block, size, chunk);
    return block;
}

MemBlock* TakeFromFreeLists(MemoryManager& m, DWORD total) {
    DWORD first = ClassOf(total);
    DWORD last = first + kMemClassSpan - 1;
    if (last >= kMemClasses) last = kMemClasses - 1;
    for (DWORD cls = first; cls <= last; cls++) {
        MemBlock* block = m.freeLists[cls];
        if (block) {
            UnlinkFree(m, block);
            return block;
        }
    }
    return nullptr;
}

MemBlock* CarveWithNewChunkIfNeeded(MemoryManager& m, DWORD total) {
    if (!m.current) {
        CreateChunk(m);
    } else if (total > m.current->remaining) {
        // The tail that is too short for this request still serves smaller ones.
        DWORD rest = m.current->remaining;
        if (rest >= 128) PushFree(m, Carve(m, rest));
        CreateChunk(m);
    }
    return Carve(m, total);
}

void* Allocate(DWORD requested, DWORD kind, void* object, const char* tag, const char* file, LONG line) {
    MemoryManager& m = Manager();
    Lock lock(m);
    // An object's record holds no user bytes: its size is only noted.
    DWORD userBytes = kind == kMemKindObject ? 0 : requested;
    DWORD total = TotalSize(userBytes);
    // A request so large that its total wraps around cannot be served.
    if (total < userBytes) return nullptr;
    MemBlock* block;
    if (total > kMemLargeThreshold) {
        block = static_cast<MemBlock*>(LocalAlloc(LMEM_FIXED, total));
        if (!block) return nullptr;
        WriteFreshBlock(block, total, nullptr);
        block->large = 1;
    } else {
        block = TakeFromFreeLists(m, total);
        if (!block) block = CarveWithNewChunkIfNeeded(m, total);
        if (!block) return nullptr;
    }
    const void* key = (kind == kMemKindObject && object) ? object : block->user;
    DWORD bucket = BucketOf(key);
    block->bucket = bucket;
    block->hashPrev = nullptr;
    block->hashNext = m.buckets[bucket];
    if (block->hashNext) block->hashNext->hashPrev = block;
    m.buckets[bucket] = block;
    block->kind = kind;
    block->large = total > kMemLargeThreshold ? 1 : 0;
    block->requested = requested;
    block->file = file;
    block->tag = tag;
    block->line = line;
    block->tared = 0;
    block->object = kind == kMemKindObject ? object : nullptr;
    if (block->chunk && ++block->chunk->liveCount == 1) m.emptyChunks--;
    return kind == kMemKindObject ? object : block->user;
}

// Whether a block's header still describes a block that fits where it lives: a
// caller that wrote before its block may have changed the capacity, and the
// trailer, the free list and the chunk walk all go by it.
bool HeaderFits(const MemBlock* block) {
    if (block->large > 1 || block->kind > kMemKindObject) return false;
    DWORD total = block->capacity + kMemBlockOverhead;
    if (total < block->capacity) return false;
    if (block->large) {
        SIZE_T size = LocalSize(const_cast<MemBlock*>(block));
        return !block->chunk && total > kMemLargeThreshold && total <= size;
    }
    // A chunk's carved tail may have any total of at least 128 bytes, not only a multiple of 128.
    if (total < 128 || ClassOf(total) >= kMemClasses || !block->chunk) return false;
    // Checked by address alone: a damaged chunk pointer is never followed.
    UINT_PTR first = reinterpret_cast<UINT_PTR>(block->chunk) + sizeof(MemChunk);
    UINT_PTR end = reinterpret_cast<UINT_PTR>(block->chunk) + kMemChunkSize;
    UINT_PTR at = reinterpret_cast<UINT_PTR>(block);
    return at >= first && at < end && total <= end - at;
}

// The block of a live address; null for an unknown address and for a block
// whose header no longer fits, which is then reported like an unknown one.
MemBlock* Lookup(MemoryManager& m, const void* address) {
    if (!address) return nullptr;
    for (MemBlock* b = m.buckets[BucketOf(address)]; b; b = b->hashNext)
        if (b->user == address || b->object == address) return HeaderFits(b) ? b : nullptr;
    return nullptr;
}

void AddressReport(const void* address, const char* file, LONG line, const char* message) {
    char text[1024];
    wsprintfA(text,
              "%s\n\n   Address: 0x%08lX\n   Current: %s line %ld\n\nClick OK to dismiss\nClick X to debug",
              message, static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(address)),
              file ? file : "(null)", static_cast<long>(line));
    int answer = g_reportSink ? g_reportSink(text)
                              : MessageBoxA(nullptr, text, "Memory Manager", MB_OKCANCEL | MB_ICONSTOP);
    if (answer == IDCANCEL) DebugBreak();
}

// Reports about a known block stay silent in the shipped configuration.
void BlockReport(const MemBlock*, const char*, LONG, const char*) {}

void CheckSignatures(const MemBlock* block, const char* file, LONG line) {
    if (block->signature != kMemLeadingSignature)
        BlockReport(block, file, line, "The leading signature on a memory block was overwritten.");
    else if (*TrailerOf(const_cast<MemBlock*>(block)) != kMemTrailingSignature)
        BlockReport(block, file, line, "The trailing signature on a memory block was overwritten.");
}

void ReleaseChunk(MemoryManager& m, MemChunk* chunk) {
    BYTE* at = chunk->firstBlock;
    for (DWORD i = 0; i < chunk->carvedCount; i++) {
        MemBlock* block = reinterpret_cast<MemBlock*>(at);
        UnlinkFree(m, block);
        at += block->capacity + kMemBlockOverhead;
    }
    if (chunk->prev) chunk->prev->next = chunk->next;
    if (chunk->next) chunk->next->prev = chunk->prev;
    if (m.current == chunk) m.current = chunk->next;
    m.emptyChunks--;
    LocalFree(chunk);
}

void Release(void* address, bool asObject, const char* file, LONG line) {
    MemoryManager& m = Manager();
    Lock lock(m);
    MemBlock* block = Lookup(m, address);
    if (!block) {
        AddressReport(address, file, line, "An invalid address was deleted.");
        return;
    }
    if (asObject && block->kind != kMemKindObject)
        BlockReport(block, file, line, "A non-object memory address was deleted.");
    else if (!asObject && block->kind == kMemKindObject)
        BlockReport(block, file, line, "A C++ object was deleted using the \"free\" method.");
    CheckSignatures(block, file, line);

    if (block->hashPrev)
        block->hashPrev->hashNext = block->hashNext;
    else
        m.buckets[block->bucket] = block->hashNext;
    if (block->hashNext) block->hashNext->hashPrev = block->hashPrev;
    block->hashPrev = block->hashNext = nullptr;
    block->bucket = kMemFreeBucket;

    if (block->large) {
        LocalFree(block);
        return;
    }
    PushFree(m, block);
    block->file = kFreeLiteral;
    block->tag = kFreeLiteral;
    block->line = 0;
    block->tared = 0;
    block->object = nullptr;
    MemChunk* chunk = block->chunk;
    if (--chunk->liveCount == 0) {
        m.emptyChunks++;
        if (m.emptyChunks > kMemMaxEmptyChunks) ReleaseChunk(m, chunk);
    }
}

} // namespace

void* MemAlloc(DWORD size, const char* tag, const char* file, LONG line) {
    return Allocate(size, kMemKindPlain, nullptr, tag, file, line);
}

void MemFree(void* address, const char* file, LONG line) { Release(address, false, file, line); }

void* MemRegisterObject(void* object, DWORD size, const char* tag, const char* file, LONG line) {
    // A failed construction has nothing to record; the caller gets its null back.
    if (!object) return nullptr;
    return Allocate(size, kMemKindObject, object, tag, file, line);
}

void MemUnregisterObject(void* object, const char* file, LONG line) { Release(object, true, file, line); }

void MemTare(void* address, const char* file, LONG line) {
    MemoryManager& m = Manager();
    Lock lock(m);
    MemBlock* block = Lookup(m, address);
    if (!block) {
        AddressReport(address, file, line, "An invalid address was tared.");
        return;
    }
    CheckSignatures(block, file, line);
    block->tared = 1;
}

void MemValidate(void* address, const char* file, LONG line) {
    MemoryManager& m = Manager();
    Lock lock(m);
    if (!Lookup(m, address)) AddressReport(address, file, line, "An invalid address was referenced.");
}

int MemRealloc(DWORD elementSize, void** array, DWORD* count, DWORD minimum, DWORD growth, const char* file,
               LONG line) {
    if (*count >= minimum) return 1;
    DWORD newCount = minimum + growth - 1;
    // Without growth, or with a sum that wraps around, the new array would
    // hold fewer than `minimum` elements and the caller would write past it.
    if (newCount < minimum) return 0;
    // A count whose byte size wraps around could never be allocated.
    if (elementSize && newCount > 0xFFFFFFFFu / elementSize) return 0;
    BYTE* fresh = static_cast<BYTE*>(MemAlloc(elementSize * newCount, "MemRealloc", file, line));
    if (!fresh) return 0;
    DWORD kept = *count * elementSize;
    if (*array) memcpy(fresh, *array, kept);
    memset(fresh + kept, 0, elementSize * newCount - kept);
    if (*array) MemFree(*array, file, line);
    *array = fresh;
    *count = newCount;
    return 1;
}

void MemReport() {}

MemReportSink MemSetReportSink(MemReportSink sink) {
    MemoryManager& m = Manager();
    Lock lock(m);
    MemReportSink old = g_reportSink;
    g_reportSink = sink;
    return old;
}

MemStats MemGetStats() {
    MemoryManager& m = Manager();
    Lock lock(m);
    MemStats stats = {};
    stats.emptyChunks = m.emptyChunks;
    for (MemChunk* c = m.current; c; c = c->next) {
        stats.chunks++;
        stats.liveBlocks += c->liveCount;
        stats.freeBlocks += c->carvedCount - c->liveCount;
    }
    for (DWORD b = 0; b < kMemBuckets; b++)
        for (MemBlock* block = m.buckets[b]; block; block = block->hashNext)
            stats.liveBytes += block->requested;
    return stats;
}

const MemBlock* MemFindBlock(const void* address) {
    MemoryManager& m = Manager();
    Lock lock(m);
    return Lookup(m, address);
}

const MemChunk* MemCurrentChunk() {
    MemoryManager& m = Manager();
    Lock lock(m);
    return m.current;
}
