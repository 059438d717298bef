// Decoding speed of the installer's DEFLATE decoder against zlib's inflate (the baseline) and the tests'
// reference decoder, on the same streams in one run: the generated skin's files (each, joined and in small
// pieces), and a mixed corpus of a few MB (pictures, sounds, text, an executable), each file deflated by
// zlib at its default level.
#include "deflate.h"
#include "mem_manager.h"
#include "reference_inflate.h"

#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include <zlib.h>

namespace {

using Bytes = std::vector<BYTE>;

struct Stream {
    Bytes original;
    Bytes packed;
};

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

std::string WindowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

Bytes ReadWhole(const std::string& path, size_t limit) {
    Bytes data;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return data;
    BYTE chunk[65536];
    size_t n;
    while (data.size() < limit && (n = fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + n);
    fclose(f);
    if (data.size() > limit) data.resize(limit);
    return data;
}

// The files of `folder` matching `pattern`, in name order, until `budget` bytes are taken.
std::vector<Bytes> Files(const std::string& folder, const char* pattern, size_t budget) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((WindowsPath(folder) + "\\" + pattern).c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    std::sort(names.begin(), names.end());
    std::vector<Bytes> files;
    size_t taken = 0;
    for (const std::string& name : names) {
        if (taken >= budget) break;
        Bytes data = ReadWhole(WindowsPath(folder) + "\\" + name, budget - taken);
        taken += data.size();
        if (!data.empty()) files.push_back(data);
    }
    return files;
}

Bytes Deflate(const Bytes& data) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&stream, uLong(data.size())) + 16);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = uInt(data.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::vector<Stream> Streams(const std::vector<Bytes>& files) {
    std::vector<Stream> streams;
    for (const Bytes& f : files) streams.push_back({f, Deflate(f)});
    return streams;
}

// zlib as a reader uses it per member: set up, inflate the whole stream, tear down.
DWORD ZlibInflate(const BYTE* in, DWORD inSize, BYTE* out, DWORD capacity) {
    z_stream stream{};
    inflateInit2(&stream, -MAX_WBITS);
    stream.next_in = const_cast<Bytef*>(in);
    stream.avail_in = inSize;
    stream.next_out = out;
    stream.avail_out = capacity;
    inflate(&stream, Z_FINISH);
    DWORD produced = DWORD(stream.total_out);
    inflateEnd(&stream);
    return produced;
}

typedef DWORD (*Decoder)(const BYTE*, DWORD, BYTE*, DWORD);

// One pass over every stream, in seconds; the first pass of each decoder checks every output.
double Pass(Decoder decode, const std::vector<Stream>& streams, Bytes& out, bool check, bool* correct) {
    double start = Now();
    for (const Stream& s : streams) {
        DWORD produced = decode(s.packed.data(), DWORD(s.packed.size()), out.data(), DWORD(out.size()));
        if (check && (produced != s.original.size() || memcmp(out.data(), s.original.data(), produced) != 0))
            *correct = false;
    }
    return Now() - start;
}

// Best of `rounds` passes of each decoder, in MB of output per second. zlib and the own decoder take turns
// in every round, so that a busy machine slows them alike; the slow reference decoder runs a fifth as
// many rounds after them.
void Report(const char* name, const std::vector<Stream>& streams, int rounds) {
    size_t original = 0, packed = 0, largest = 0;
    for (const Stream& s : streams) {
        original += s.original.size();
        packed += s.packed.size();
        largest = std::max(largest, s.original.size());
    }
    printf("%s: %u streams, %.2f MB decoded from %.2f MB\n", name, unsigned(streams.size()),
           original / 1048576.0, packed / 1048576.0);
    Bytes out(largest + 1024);
    bool zlibOk = true, ownOk = true, referenceOk = true;
    double zlibBest = 1e30, ownBest = 1e30, referenceBest = 1e30;
    for (int r = 0; r < rounds; ++r) {
        zlibBest = std::min(zlibBest, Pass(ZlibInflate, streams, out, r == 0, &zlibOk));
        ownBest = std::min(ownBest, Pass(Inflate, streams, out, r == 0, &ownOk));
    }
    // Last, as its large tables would push the others' out of the caches.
    for (int r = 0; r < std::max(1, rounds / 5); ++r)
        referenceBest = std::min(referenceBest, Pass(ReferenceInflate, streams, out, r == 0, &referenceOk));
    double megabytes = original / 1048576.0;
    double zlib = megabytes / zlibBest, own = megabytes / ownBest, reference = megabytes / referenceBest;
    printf("  zlib inflate (baseline)   %8.1f MB/s%s\n", zlib, zlibOk ? "" : "  WRONG OUTPUT");
    printf("  own decoder               %8.1f MB/s   %.2fx zlib%s\n", own, own / zlib,
           ownOk ? "" : "  WRONG OUTPUT");
    printf("  reference decoder         %8.1f MB/s   %.2fx zlib%s\n", reference, reference / zlib,
           referenceOk ? "" : "  WRONG OUTPUT");
}

} // namespace

int main() {
    const std::string assets = VEXLIN_ASSETS;
    std::vector<Bytes> skin = Files(assets + "/skin", "*.psp", 1 << 20);
    skin.push_back(ReadWhole(WindowsPath(VEXLIN_TREE "/assets/skin/skin.txt"), 1 << 20));
    Report("generated skin (20 files)", Streams(skin), 50);
    // The same bytes as one stream (the decoding loop alone) and as 300-byte streams (mostly the cost of
    // starting a stream and reading its code tables).
    Bytes joined;
    for (const Bytes& f : skin) joined.insert(joined.end(), f.begin(), f.end());
    Report("the skin's files as one stream", Streams({joined}), 50);
    std::vector<Bytes> pieces;
    for (size_t at = 0; at + 300 <= joined.size(); at += 300)
        pieces.push_back(Bytes(joined.begin() + at, joined.begin() + at + 300));
    Report("the skin's files in 300-byte streams", Streams(pieces), 50);

    std::vector<Bytes> mixed;
    for (auto part :
         {Files(assets + "/graphics", "*.psp", 900 << 10), Files(assets + "/logo", "*", 500 << 10),
          Files(assets + "/setup", "*", 100 << 10), Files(assets + "/sounds", "*.wav", 1500 << 10),
          Files(VEXLIN_TREE "/foundation", "*.cpp", 300 << 10),
          Files(VEXLIN_TREE "/engine", "*.cpp", 300 << 10), Files(VEXLIN_TREE "/assets", "*.txt", 100 << 10)})
        mixed.insert(mixed.end(), part.begin(), part.end());
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    mixed.push_back(ReadWhole(self, 1200 << 10)); // an executable: this program
    Report("mixed corpus (pictures, sounds, text, an executable)", Streams(mixed), 20);
    return 0;
}
