// Throughput of the tracked heap against the process heap and the C runtime
// on one mixed workload of allocations and releases of varied sizes.
#include "mem_manager.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

const int kSlots = 4096;
const int kOperations = 2000000;

struct Operation {
    unsigned short slot;
    DWORD size; // 0 releases the slot's block
};

// Mostly small blocks, some medium ones and a few large ones, as the programs
// allocate: strings and nodes, picture rows, whole pictures.
DWORD DrawSize(unsigned& seed) {
    seed = seed * 1103515245u + 12345u;
    unsigned r = (seed >> 8) % 1000;
    seed = seed * 1103515245u + 12345u;
    unsigned v = seed >> 8;
    if (r < 800) return 1 + v % 256;
    if (r < 990) return 257 + v % 8000;
    return 8257 + v % 120000;
}

Operation* MakeWorkload() {
    Operation* ops = static_cast<Operation*>(malloc(sizeof(Operation) * kOperations));
    bool live[kSlots] = {};
    unsigned seed = 12345;
    for (int i = 0; i < kOperations; i++) {
        seed = seed * 1103515245u + 12345u;
        unsigned short slot = static_cast<unsigned short>((seed >> 8) % kSlots);
        ops[i].slot = slot;
        ops[i].size = live[slot] ? 0 : DrawSize(seed);
        live[slot] = !live[slot];
    }
    return ops;
}

struct Allocator {
    const char* name;
    void* (*allocate)(DWORD size);
    void (*release)(void* p);
};

void* TrackedAlloc(DWORD size) { return MemAlloc(size, "size", "mem_bench", 1); }
void TrackedFree(void* p) { MemFree(p, "mem_bench", 2); }
void* HeapAllocate(DWORD size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void HeapRelease(void* p) { HeapFree(GetProcessHeap(), 0, p); }
void* CrtAlloc(DWORD size) { return malloc(size); }
void CrtFree(void* p) { free(p); }

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Runs the workload once and returns operations per second.
double Run(const Allocator& a, const Operation* ops) {
    static void* slots[kSlots];
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < kOperations; i++) {
        const Operation& op = ops[i];
        if (op.size) {
            char* p = static_cast<char*>(a.allocate(op.size));
            if (!p) {
                printf("%s: allocation of %lu bytes failed\n", a.name, static_cast<unsigned long>(op.size));
                exit(1);
            }
            p[0] = 1;
            p[op.size - 1] = 2;
            slots[op.slot] = p;
        } else {
            a.release(slots[op.slot]);
            slots[op.slot] = nullptr;
        }
    }
    for (void*& p : slots)
        if (p) a.release(p), p = nullptr;
    QueryPerformanceCounter(&end);
    return kOperations / Seconds(start, end);
}

} // namespace

int main() {
    Operation* ops = MakeWorkload();
    const Allocator allocators[] = {{"MemAlloc/MemFree", TrackedAlloc, TrackedFree},
                                    {"HeapAlloc/HeapFree", HeapAllocate, HeapRelease},
                                    {"malloc/free", CrtAlloc, CrtFree}};
    double best[3] = {};
    // Three rounds, the best of each counts: the first warms caches and heaps.
    for (int round = 0; round < 3; round++)
        for (int i = 0; i < 3; i++) {
            double rate = Run(allocators[i], ops);
            if (rate > best[i]) best[i] = rate;
        }
    printf("mixed workload: %d operations over %d slots, sizes 1 B to 128 KiB\n", kOperations, kSlots);
    for (int i = 0; i < 3; i++) printf("%-20s %10.0f operations/s\n", allocators[i].name, best[i]);
    printf("MemAlloc vs HeapAlloc: %.2fx\n", best[0] / best[1]);
    printf("MemAlloc vs malloc:    %.2fx\n", best[0] / best[2]);
    free(ops);
    return 0;
}
