// The process-wide tracked heap: every plain buffer and every object made with
// `new` is recorded with the tag, source file and line of the call that made
// it, guarded by signatures, and checked when it is released.
#pragma once

#include <windows.h>

// Block layout (all words 32 bits on the target). Exposed so that tests can
// check capacities and signatures; product code never touches these fields.
struct MemChunk;

struct MemBlock {
    DWORD signature; // kMemLeadingSignature
    DWORD bucket;    // hash bucket, or kMemFreeBucket while free
    MemBlock* hashPrev;
    MemBlock* hashNext;
    MemBlock* freePrev;
    MemBlock* freeNext;
    MemChunk* chunk;  // null for a large block
    DWORD kind;       // kMemKindPlain or kMemKindObject
    DWORD large;      // 1 when taken straight from LocalAlloc
    DWORD capacity;   // bytes between header and trailer
    DWORD requested;  // bytes the caller asked for (object size)
    const char* file; // call site, or "free"
    const char* tag;  // size expression or type name, or "free"
    LONG line;        // call site line, 0 while free
    DWORD tared;      // 1 once marked permanent
    void* user;       // the user area, right after this header
    void* object;     // a registered object's own address, else null
};

struct MemChunk {
    MemChunk* next; // older chunk
    MemChunk* prev; // newer chunk
    DWORD capacity;
    DWORD remaining;
    DWORD liveCount;
    DWORD carvedCount;
    BYTE* firstBlock;
};

const DWORD kMemLeadingSignature = 0x4D656D21;  // "!meM" in memory
const DWORD kMemTrailingSignature = 0x4F6B6179; // "yakO" in memory
const DWORD kMemFreeBucket = 0xFFFFFFFF;
const DWORD kMemKindPlain = 0;
const DWORD kMemKindObject = 1;
const DWORD kMemBlockOverhead = sizeof(MemBlock) + sizeof(DWORD);
const DWORD kMemChunkSize = 0x100000;
const DWORD kMemLargeThreshold = 0x80000;
const DWORD kMemBuckets = 16384;
const DWORD kMemClasses = 4096;
const DWORD kMemClassSpan = 17; // a request may reuse a block up to 16 classes larger
const DWORD kMemMaxEmptyChunks = 3;

// Allocation and release. Failures return null (or 0) and show nothing;
// unknown addresses are reported through the report sink below.
void* MemAlloc(DWORD size, const char* tag, const char* file, LONG line);
void MemFree(void* address, const char* file, LONG line);
void* MemRegisterObject(void* object, DWORD size, const char* tag, const char* file, LONG line);
void MemUnregisterObject(void* object, const char* file, LONG line);
void MemTare(void* address, const char* file, LONG line);
void MemValidate(void* address, const char* file, LONG line);
// Grows an array to at least `minimum` elements (minimum + growth - 1),
// zeroing the new ones. Returns 0 and keeps the old array on failure, and
// when minimum + growth - 1 cannot hold `minimum` (no growth, or a sum
// beyond 32 bits).
int MemRealloc(DWORD elementSize, void** array, DWORD* count, DWORD minimum, DWORD growth, const char* file,
               LONG line);
void MemReport();

// The address report ("An invalid address was deleted." and its kin) goes to
// a message box by default. A sink receives the complete report text and
// answers IDOK or IDCANCEL; IDCANCEL breaks into the debugger. Returns the
// sink that was in place; null restores the message box.
typedef int (*MemReportSink)(const char* text);
MemReportSink MemSetReportSink(MemReportSink sink);

// Read-only views for tests and diagnostics (taken under the lock).
struct MemStats {
    DWORD chunks;
    DWORD emptyChunks;
    DWORD liveBlocks;
    DWORD freeBlocks;
    DWORD liveBytes; // what the callers of the live blocks asked for
};
MemStats MemGetStats();
const MemBlock* MemFindBlock(const void* address); // null when not live
const MemChunk* MemCurrentChunk();

// Call-site macros. The tag of a plain block is its size expression as
// written; the tag of an object is its type name.
#define MEMALLOC(size) MemAlloc((size), #size, __FILE__, __LINE__)
#define MEMFREE(p) MemFree((p), __FILE__, __LINE__)
#define MEMTARE(p) MemTare((p), __FILE__, __LINE__)
#define MEMVALIDATE(p) MemValidate((p), __FILE__, __LINE__)
#define MEMREALLOC(type, array, count, minimum, growth)                                                      \
    MemRealloc(sizeof(type), reinterpret_cast<void**>(&(array)), &(count), (minimum), (growth), __FILE__,    \
               __LINE__)
// MEMNEW(Type, (args)) constructs and registers; MEMDELETE unregisters and deletes.
#define MEMNEW(Type, args)                                                                                   \
    static_cast<Type*>(MemRegisterObject(new Type args, sizeof(Type), #Type, __FILE__, __LINE__))
#define MEMDELETE(p)                                                                                         \
    do {                                                                                                     \
        MemUnregisterObject((p), __FILE__, __LINE__);                                                        \
        delete (p);                                                                                          \
    } while (0)
