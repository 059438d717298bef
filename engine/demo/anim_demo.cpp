// A look at the engine at work: a tiled backdrop, a few dozen bouncing sprites and tiles at several
// depths, a static panel, a translucent pane, the frame-rate read-out and a status strip. It closes
// itself after twelve seconds.
#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "cea_sprite.h"
#include "tl_string.h"

namespace {

const int kClientWidth = 240;
const int kClientHeight = 294;
const double kFramesPerSecond = 20.0;
const DWORD kEndFrame = 12 * 20;
const DWORD kEndEvent = 1;
const COLORREF kKey = RGB(255, 0, 255);

Graphic* g_tile = nullptr;

// Velocity lives in the object's data slots 0 and 1 (as signed values).
DWORD Bounce(AnimObject* o, DWORD message, LPARAM) {
    if (message != amFRAME) return 1;
    AnimWindow* w = o->GetWindow();
    LONG x, y;
    o->GetPos(&x, &y);
    LONG dx = static_cast<LONG>(o->GetData(0)), dy = static_cast<LONG>(o->GetData(1));
    if (x + dx < 0 || x + dx + o->GetWidth() > w->GetWidth()) dx = -dx;
    if (y + dy < 0 || y + dy + o->GetHeight() > w->GetHeight() - 14) dy = -dy;
    o->SetData(0, static_cast<DWORD_PTR>(dx));
    o->SetData(1, static_cast<DWORD_PTR>(dy));
    o->SetPos(x + dx, y + dy);
    return 1;
}

DWORD Events(AnimWindow*, DWORD event, DWORD code, LPARAM pointer) {
    if (event == awBACKGROUND && g_tile) {
        Graphic* background = reinterpret_cast<Graphic*>(pointer);
        g_tile->TileTo(background, 0, 0, kToEdge, kToEdge, 0, 0, kToEdge, kToEdge, 0, 0);
    }
    if (event == awEVENT && code == kEndEvent) return 0;
    return 1;
}

Graphic* MakeTile() {
    Graphic* tile = MEMNEW(Graphic, (16, 16, 0, (const RGBQUAD*)nullptr));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            tile->SetPixelColor(x, y, ((x / 8) ^ (y / 8)) ? RGB(40, 70, 110) : RGB(55, 90, 140));
    return tile;
}

// Four frames of a ball whose highlight turns round, side by side, on a transparent key colour.
Graphic* MakeBalls(COLORREF base) {
    Graphic* strip = MEMNEW(Graphic, (96, 24, 0, (const RGBQUAD*)nullptr));
    for (int frame = 0; frame < 4; ++frame) {
        int hx = frame == 0 || frame == 3 ? 8 : 15, hy = frame < 2 ? 8 : 15;
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x) {
                int cx = x - 12, cy = y - 12;
                COLORREF c = kKey;
                if (cx * cx + cy * cy <= 121) {
                    int d = (x - hx) * (x - hx) + (y - hy) * (y - hy);
                    int lift = d < 16 ? 120 : d < 49 ? 60 : 0;
                    int r = GetRValue(base) + lift, g = GetGValue(base) + lift, b = GetBValue(base) + lift;
                    c = RGB(r > 255 ? 255 : r, g > 255 ? 255 : g, b > 255 ? 255 : b);
                }
                strip->SetPixelColor(frame * 24 + x, y, c);
            }
    }
    strip->SetTransparency(kKey);
    return strip;
}

Graphic* MakeBox(int width, int height, COLORREF fill, COLORREF edge) {
    Graphic* g = MEMNEW(Graphic, (width, height, 0, (const RGBQUAD*)nullptr));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            g->SetPixelColor(x, y, x < 2 || y < 2 || x >= width - 2 || y >= height - 2 ? edge : fill);
    return g;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    if (!AnimInit(instance, 0)) return 1;
    g_tile = MakeTile();
    RECT frame = {0, 0, kClientWidth, kClientHeight};
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    AdjustWindowRect(&frame, style, FALSE);
    HWND hwnd = CreateWindow(TEXT("AnimWindow"), TEXT("Engine demo"), style, 40, 40, frame.right - frame.left,
                             frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    AnimWindow* w = AnimWindow::FromHandle(hwnd);
    if (!w) return 1;
    w->SetCallback(Events); // tiles the backdrop at once
    w->SetFrameRate(kFramesPerSecond);

    const COLORREF colours[] = {RGB(200, 40, 40), RGB(40, 170, 60), RGB(220, 180, 30), RGB(120, 60, 200)};
    Graphic* strips[4];
    Sprite* balls[4];
    for (int i = 0; i < 4; ++i) {
        strips[i] = MakeBalls(colours[i]);
        balls[i] = MEMNEW(Sprite, (strips[i], 4, 1));
    }
    Graphic* squares[3] = {MakeBox(16, 16, RGB(240, 240, 240), RGB(20, 20, 20)),
                           MakeBox(20, 12, RGB(250, 140, 40), RGB(90, 40, 0)),
                           MakeBox(12, 20, RGB(60, 200, 220), RGB(0, 60, 80))};
    Graphic* panel = MakeBox(140, 36, RGB(230, 220, 190), RGB(120, 90, 40));
    Graphic* pane = MakeBox(90, 70, RGB(255, 255, 255), RGB(255, 255, 160));
    pane->SetTranslucency(kTranslucencyUniform, 110);

    // Static panel: part of the stage, recomposed only where something over it moved.
    AnimObject* still = NEW_ANIMOBJECT((w, panel, 60));
    still->SetPos(50, 120);
    still->SetFlags(aoSTATIC);

    DWORD seed = 12345;
    auto next = [&seed](int range) {
        seed = seed * 1103515245 + 12345;
        return static_cast<int>((seed >> 16) % range);
    };
    const LONG depths[] = {10, 20, 30, 40};
    for (int i = 0; i < 36; ++i) {
        AnimObject* o = i < 28 ? NEW_ANIMOBJECT((w, balls[i % 4], depths[i % 4]))
                               : NEW_ANIMOBJECT((w, squares[i % 3], depths[(i + 1) % 4] + 5));
        o->SetCallback(Bounce);
        // A callback turns auto-draw off for a sprite object: the sprite should still draw itself.
        if (o->GetSprite()) o->SetSprite(o->GetSprite(), TRUE);
        o->SetPos(next(200), next(240));
        int dx = 1 + next(4), dy = 1 + next(4);
        o->SetData(0, static_cast<DWORD_PTR>(next(2) ? dx : -dx));
        o->SetData(1, static_cast<DWORD_PTR>(next(2) ? dy : -dy));
    }
    AnimObject* glass = NEW_ANIMOBJECT((w, pane, 5));
    glass->SetCallback(Bounce);
    glass->SetPos(20, 40);
    glass->SetData(0, 1);
    glass->SetData(1, 1);

    w->ShowFrameRate(TRUE);
    w->SetStatusText(string(TEXT("36 objects, 4 depths, 20 fps ")));
    w->ScheduleEvent(kEndFrame, kEndEvent, 0);
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);

    w->Play(kAllFrames);
    if (IsWindow(hwnd)) DestroyWindow(hwnd); // deletes the objects still on it

    for (int i = 0; i < 4; ++i) {
        MEMDELETE(balls[i]);
        MEMDELETE(strips[i]);
    }
    for (Graphic* g : squares) MEMDELETE(g);
    MEMDELETE(panel);
    MEMDELETE(pane);
    MEMDELETE(g_tile);
    return 0;
}
