// Test helper: bytes placed so that their last byte is followed by an inaccessible page, so that a reader
// that reads (or a writer that writes) one byte past the end faults at once instead of passing unnoticed.
#pragma once

#include <windows.h>

#include <string.h>
#include <vector>

class GuardedBytes {
public:
    explicit GuardedBytes(const std::vector<BYTE>& bytes) : GuardedBytes(bytes.data(), bytes.size()) {}
    GuardedBytes(const void* bytes, size_t size) {
        DWORD pages = static_cast<DWORD>((size + 4095) / 4096) + 1;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, pages * 4096, MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        VirtualProtect(base_ + (pages - 1) * 4096, 4096, PAGE_NOACCESS, &old);
        data_ = base_ + (pages - 1) * 4096 - size;
        if (size) memcpy(data_, bytes, size);
    }
    ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    BYTE* data() const { return data_; }

private:
    BYTE* base_;
    BYTE* data_;
};
