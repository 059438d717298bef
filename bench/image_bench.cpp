// Costs of the picture work the game does while loading and on every frame: reading full-screen PSP
// pictures, merging a graphics set into one palette, and drawing transparent tiles into an 8-bit frame.
// Each figure comes with a baseline measured in the same run.
#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "mem_manager.h"
#include "psp_writer.h"

#include <stdio.h>

#include <random>
#include <vector>

namespace {

const int kScreenWidth = 240;
const int kScreenHeight = 294;

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// Best time of `rounds` runs of `work`, in seconds per call; the best run is the one least disturbed.
template <class Work>
double Best(int rounds, int calls, Work work) {
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        double start = Now();
        for (int i = 0; i < calls; ++i) work();
        double each = (Now() - start) / calls;
        if (each < best) best = each;
    }
    return best;
}

// A picture like the game's backgrounds: smooth gradients with some noise, so that neither run-length
// packing nor deflate has it too easy.
PspImage Backdrop(int bits, unsigned seed) {
    std::mt19937 random(seed);
    PspImage image;
    image.width = kScreenWidth;
    image.height = kScreenHeight;
    image.bits = bits;
    if (bits == 8) {
        for (int i = 0; i < 256; ++i) image.palette.push_back({uint8_t(i), uint8_t(i / 2), uint8_t(255 - i)});
        image.palette[255] = {255, 255, 255};
    }
    PspLayer layer;
    for (int y = 0; y < kScreenHeight; ++y)
        for (int x = 0; x < kScreenWidth; ++x) {
            int level = (x + y) / 3 + (random() % 8 == 0 ? int(random() % 5) : 0);
            if (bits == 8) {
                layer.pixels.push_back(uint8_t(level));
            } else {
                layer.pixels.push_back(uint8_t(level));
                layer.pixels.push_back(uint8_t(x));
                layer.pixels.push_back(uint8_t(y));
            }
        }
    image.layers.push_back(layer);
    return image;
}

std::vector<uint8_t> PspBytes(const PspImage& image, PspCompression compression) {
    std::vector<uint8_t> out;
    std::string error;
    if (!WritePsp(image, compression, out, &error)) printf("writing a PSP failed: %s\n", error.c_str());
    return out;
}

// The same picture as an uncompressed BMP in memory: the cheapest load there is.
std::vector<uint8_t> BmpBytes(const std::vector<uint8_t>& psp) {
    Graphic* g = MEMNEW(Graphic, (nullptr, psp.data(), DWORD(psp.size()), kNoColor));
    TCHAR folder[MAX_PATH], path[MAX_PATH];
    GetTempPath(MAX_PATH, folder);
    GetTempFileName(folder, TEXT("vib"), 0, path);
    HANDLE file = CreateFile(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::vector<uint8_t> bmp;
    if (file != INVALID_HANDLE_VALUE && g->Save(file)) {
        bmp.resize(GetFileSize(file, nullptr));
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        DWORD read = 0;
        ReadFile(file, bmp.data(), DWORD(bmp.size()), &read, nullptr);
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    DeleteFile(path);
    MEMDELETE(g);
    return bmp;
}

double LoadTime(const std::vector<uint8_t>& data) {
    return Best(5, 20, [&] {
        Graphic* g = MEMNEW(Graphic, (nullptr, data.data(), DWORD(data.size()), kNoColor));
        if (!g->IsLoaded()) printf("load failed\n");
        MEMDELETE(g);
    });
}

void Loading() {
    printf("loading %dx%d pictures from memory (ms per picture)\n", kScreenWidth, kScreenHeight);
    struct Case {
        const char* name;
        int bits;
        PspCompression compression;
    } cases[] = {{"8-bit PSP, run-length", 8, PspCompression::RunLength},
                 {"24-bit PSP, deflate", 24, PspCompression::Deflate}};
    for (const Case& c : cases) {
        std::vector<uint8_t> psp = PspBytes(Backdrop(c.bits, 1), c.compression);
        std::vector<uint8_t> bmp = BmpBytes(psp);
        double pspTime = LoadTime(psp);
        double bmpTime = LoadTime(bmp);
        printf("  %-24s %6.3f ms (%6lu bytes)   same picture as BMP %6.3f ms   ratio %.1fx\n", c.name,
               pspTime * 1e3, static_cast<unsigned long>(psp.size()), bmpTime * 1e3, pspTime / bmpTime);
    }
}

// 33 pictures of a graphics set: pieces, digits, buttons and banners of assorted sizes, each with up to
// 40 colours drawn from a shared pool of 160, in a palette order of its own.
std::vector<Graphic*> GraphicsSet() {
    std::mt19937 random(7);
    std::vector<COLORREF> pool;
    for (int i = 0; i < 160; ++i) pool.push_back(RGB(random() & 255, random() & 255, random() & 255));
    std::vector<Graphic*> set;
    for (int n = 0; n < 33; ++n) {
        int width = n < 20 ? 24 : n < 30 ? 96 : 240;
        int height = n < 20 ? 24 : n < 30 ? 32 : 60;
        RGBQUAD palette[256] = {};
        int colours = 8 + random() % 33;
        for (int i = 0; i < colours; ++i) {
            COLORREF c = pool[random() % pool.size()];
            palette[(i * 37 + n) % 256] = {GetBValue(c), GetGValue(c), GetRValue(c), 0};
        }
        Graphic* g = MEMNEW(Graphic, (width, height, 8, palette));
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                g->SetPixelValue(x, y, ((x / 3 + y / 2 + n) % colours * 37 + n) % 256);
        set.push_back(g);
    }
    return set;
}

void Merging() {
    printf("palette merge of a set of 33 8-bit pictures (ms per merge)\n");
    for (int uniform = 0; uniform < 2; ++uniform) {
        // The first merge gives every picture a new palette, which remakes its bitmap.
        double first = 1e30;
        for (int round = 0; round < 5; ++round) {
            std::vector<Graphic*> set = GraphicsSet();
            PaletteGroup group;
            double start = Now();
            group.Open();
            if (uniform) group.AddEntries(kUniformPalette, 0);
            for (Graphic* g : set) group.Add(g);
            group.Close();
            double took = Now() - start;
            if (took < first) first = took;
            for (Graphic* g : set) MEMDELETE(g);
        }
        // A later close merges again from the members' current pixels, whose palettes then stay.
        std::vector<Graphic*> set = GraphicsSet();
        PaletteGroup group;
        group.Open();
        if (uniform) group.AddEntries(kUniformPalette, 0);
        for (Graphic* g : set) group.Add(g);
        group.Close();
        double again = Best(5, 10, [&] {
            group.Open();
            group.Close();
        });
        for (Graphic* g : set) MEMDELETE(g);
        printf("  %-36s first merge %7.3f ms   merge again %7.3f ms\n",
               uniform ? "uniform palette" : "own palette (with the inverse table)", first * 1e3,
               again * 1e3);
    }
}

// A round piece on a transparent ground, like the board's pieces.
Graphic* Piece(int colour) {
    RGBQUAD palette[256] = {};
    for (int i = 0; i < 256; ++i) palette[i] = {BYTE(i), BYTE(i * 5), BYTE(255 - i), 0};
    palette[1] = {255, 0, 255, 0}; // the transparent colour
    Graphic* g = MEMNEW(Graphic, (24, 24, 8, palette));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            int dx = 2 * x - 23, dy = 2 * y - 23;
            g->SetPixelValue(x, y, dx * dx + dy * dy <= 22 * 22 ? 16 + colour * 40 + (x + y) % 20 : 1);
        }
    g->SetTransparency(RGB(255, 0, 255));
    return g;
}

void Drawing() {
    printf("110 transparent 24x24 tiles into an 8-bit %dx%d frame (us per frame)\n", kScreenWidth,
           kScreenHeight);
    Graphic* pieces[4];
    for (int i = 0; i < 4; ++i) pieces[i] = Piece(i);
    Graphic* frame = MEMNEW(Graphic, (kScreenWidth, kScreenHeight, 8, pieces[0]->GetPalette()));
    auto drawRuns = [&] {
        for (int n = 0; n < 110; ++n)
            pieces[n % 4]->Draw(frame, (n % 10) * 24, 30 + (n / 10) * 24, 0, 0, 24, 24);
    };
    HDC frameDC = frame->GetDC();
    HDC pieceDC[4];
    for (int i = 0; i < 4; ++i) pieceDC[i] = pieces[i]->GetDC();
    auto drawGdi = [&] {
        for (int n = 0; n < 110; ++n)
            TransparentBlt(frameDC, (n % 10) * 24, 30 + (n / 10) * 24, 24, 24, pieceDC[n % 4], 0, 0, 24, 24,
                           RGB(255, 0, 255));
        GdiFlush();
    };
    double gdi = Best(5, 50, drawGdi);
    std::vector<BYTE> viaGdi(frame->GetBits(), frame->GetBits() + frame->GetPitch() * kScreenHeight);
    for (int i = 0; i < 4; ++i) pieces[i]->ReleaseDC();
    frame->ReleaseDC();
    memset(frame->GetBits(), 0, frame->GetPitch() * kScreenHeight);
    double runs = Best(5, 50, drawRuns);
    // Both must give the same picture; GDI's colour-keyed blit converts the colours on the way and may not.
    long differing = 0;
    for (size_t i = 0; i < viaGdi.size(); ++i) differing += viaGdi[i] != frame->GetBits()[i];
    printf("  run copy %8.1f us   TransparentBlt %8.1f us   TransparentBlt / run copy %.1fx\n", runs * 1e6,
           gdi * 1e6, gdi / runs);
    printf("  pixels where the two differ: %ld of %lu\n", differing,
           static_cast<unsigned long>(viaGdi.size()));
    MEMDELETE(frame);
    for (Graphic* p : pieces) MEMDELETE(p);
}

} // namespace

int main() {
    Loading();
    Merging();
    Drawing();
    return 0;
}
