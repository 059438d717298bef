// Helpers of the ZIP reader's tests: hand-made local headers for the odd archives a writer would never
// make, the generated skin archive's path, the failure text of a call, and the memory manager's count.
#pragma once

#include "cetl_exception.h"
#include "mem_manager.h"

#include <gtest/gtest.h>

#include <stdio.h>

#include <string>
#include <vector>

#ifndef VEXLIN_SKIN_ZIP
#error "VEXLIN_SKIN_ZIP names the generated skin archive (set by setup/CMakeLists.txt)"
#endif

namespace ziptest {

using Bytes = std::vector<BYTE>;

const char kNoFailure[] = "no failure";

inline void Put16(Bytes& out, DWORD v) {
    out.push_back(BYTE(v));
    out.push_back(BYTE(v >> 8));
}
inline void Put32(Bytes& out, DWORD v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// One local header and its data, every field given.
struct Member {
    explicit Member(const std::string& memberName, WORD memberMethod = 0, WORD memberFlags = 0)
        : name(memberName), method(memberMethod), flags(memberFlags) {}
    std::string name;
    WORD method;
    WORD flags;
    DWORD compressedSize = 0xFFFFFFFF; // 0xFFFFFFFF: the data's length
    DWORD size = 0xFFFFFFFF;           // 0xFFFFFFFF: the data's length
    Bytes data;
    Bytes extra;
    WORD dosTime = (12 << 11);
    WORD dosDate = ((2001 - 1980) << 9) | (6 << 5) | 1;
};

inline void AppendMember(Bytes& out, const Member& m) {
    Put32(out, 0x04034B50);
    Put16(out, 20);
    Put16(out, m.flags);
    Put16(out, m.method);
    Put16(out, m.dosTime);
    Put16(out, m.dosDate);
    Put32(out, 0); // the CRC is never checked
    Put32(out, m.compressedSize == 0xFFFFFFFF ? DWORD(m.data.size()) : m.compressedSize);
    Put32(out, m.size == 0xFFFFFFFF ? DWORD(m.data.size()) : m.size);
    Put16(out, DWORD(m.name.size()));
    Put16(out, DWORD(m.extra.size()));
    out.insert(out.end(), m.name.begin(), m.name.end());
    out.insert(out.end(), m.extra.begin(), m.extra.end());
    out.insert(out.end(), m.data.begin(), m.data.end());
}

inline Bytes Archive(const std::vector<Member>& members) {
    Bytes out;
    for (const Member& m : members) AppendMember(out, m);
    return out;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// The message of the cetl::exception the action throws, or kNoFailure.
template <class Action>
std::string FailureOf(Action action) {
    try {
        action();
    } catch (const cetl::exception& e) {
        return e.message().Psz8();
    }
    return kNoFailure;
}

// A host path as a Windows path: "/x/y" becomes "Z:\x\y" (the emulator's root drive).
inline std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline std::string SkinZipPath() { return WindowsPath(VEXLIN_SKIN_ZIP); }

// A member of the skin archive as its own file: the generator leaves each picture beside the archive,
// and the key file is the tree's own.
inline Bytes SkinAsset(const std::string& name) {
    std::string path = SkinZipPath();
    path = path.substr(0, path.rfind('\\') + 1) + name;
    if (name == "skin.txt") path = WindowsPath(VEXLIN_SKIN_TEXT);
    Bytes data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        ADD_FAILURE() << "cannot open " << path;
        return data;
    }
    BYTE chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    fclose(f);
    return data;
}

inline DWORD LiveBlocks() { return MemGetStats().liveBlocks; }

// Every test ends with the memory manager's live blocks where they started.
class MemoryBalanced : public ::testing::Test {
protected:
    void SetUp() override { live_ = LiveBlocks(); }
    void TearDown() override { EXPECT_EQ(live_, LiveBlocks()) << "tracked blocks leaked or freed twice"; }

private:
    DWORD live_ = 0;
};

} // namespace ziptest
