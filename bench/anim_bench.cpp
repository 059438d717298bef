// Cost of one painted frame of the animation window at 8 bits per pixel: 110 moving 24 x 24 objects
// over a 240 x 294 backdrop composed through the dirty rectangles, a frame in which nothing changed,
// and, as the baseline of the same run, recomposing the whole frame every time.
#include <stdio.h>

#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"

namespace {

const int kObjects = 110;
const int kFrames = 300;
const double kBudgetMicroseconds = 50000.0; // one frame at 20 frames per second

struct Mover {
    AnimObject* object;
    int dx, dy;
};

LARGE_INTEGER g_frequency;

double Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1e6 / g_frequency.QuadPart;
}

void Move(AnimWindow* w, Mover* movers) {
    for (int i = 0; i < kObjects; ++i) {
        Mover& m = movers[i];
        LONG x, y;
        m.object->GetPos(&x, &y);
        if (x + m.dx < 0 || x + m.dx + 24 > w->GetWidth()) m.dx = -m.dx;
        if (y + m.dy < 0 || y + m.dy + 24 > w->GetHeight()) m.dy = -m.dy;
        m.object->SetPos(x + m.dx, y + m.dy);
    }
}

// Microseconds per frame; `change` runs before each paint.
template <typename Change>
double Measure(AnimWindow* w, Change change) {
    double start = Now();
    for (int f = 0; f < kFrames; ++f) {
        change();
        w->Update();
    }
    return (Now() - start) / kFrames;
}

void Report(const char* what, double microseconds) {
    printf("%-44s %9.1f us/frame  %6.2f%% of the 50 ms budget\n", what, microseconds,
           microseconds * 100.0 / kBudgetMicroseconds);
}

} // namespace

int main() {
    QueryPerformanceFrequency(&g_frequency);
    if (!AnimInit(GetModuleHandle(nullptr), aiFORCE8BPP)) return 1;
    HWND hwnd = CreateWindow(TEXT("AnimWindow"), TEXT(""), WS_POPUP, 0, 0, 240, 294, nullptr, nullptr,
                             GetModuleHandle(nullptr), nullptr);
    AnimWindow* w = AnimWindow::FromHandle(hwnd);
    if (!w || !w->GetBackground() || w->GetBackground()->GetDepth() != 8) {
        printf("no 8-bit animation window\n");
        return 1;
    }
    Graphic* background = w->GetBackground();
    for (int y = 0; y < 294; ++y)
        for (int x = 0; x < 240; ++x) background->SetPixelValue(x, y, ((x / 8) ^ (y / 8)) & 1 ? 20 : 40);
    w->InvalidateAll(TRUE);

    // 8-bit pieces with a transparent corner, so the copies go through the opaque-run path.
    Graphic* piece = MEMNEW(Graphic, (24, 24, 8, (const RGBQUAD*)nullptr));
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) piece->SetPixelValue(x, y, x + y < 6 ? 0 : 100 + (x ^ y) % 50);
    piece->SetTransparency(piece->ValueToColor(0));
    Mover movers[kObjects];
    DWORD seed = 7;
    for (int i = 0; i < kObjects; ++i) {
        seed = seed * 1103515245 + 12345;
        movers[i].object = NEW_ANIMOBJECT((w, piece, 10 + i % 5));
        movers[i].object->SetPos((seed >> 8) % 216, (seed >> 16) % 270);
        movers[i].dx = 1 + (seed >> 4) % 3;
        movers[i].dy = 1 + (seed >> 12) % 3;
    }
    w->Update();

    printf("%d objects of 24 x 24 over 240 x 294 at 8 bits, %d frames each\n", kObjects, kFrames);
    double moving = Measure(w, [&] { Move(w, movers); });
    double still = Measure(w, [] {});
    double whole = Measure(w, [&] {
        Move(w, movers);
        w->InvalidateAll(TRUE);
    });
    double wholeStill = Measure(w, [&] { w->InvalidateAll(TRUE); });
    Report("dirty rectangles, all objects moving", moving);
    Report("dirty rectangles, nothing changed", still);
    Report("whole frame recomposed, all objects moving", whole);
    Report("whole frame recomposed, nothing changed", wholeStill);
    printf("dirty rectangles vs whole frame: %.2fx (moving), %.1fx (nothing changed)\n", whole / moving,
           wholeStill / (still > 0 ? still : 1));

    DestroyWindow(hwnd);
    MEMDELETE(piece);
    return 0;
}
