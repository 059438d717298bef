// Helpers of the animation tests: a hidden window of the engine's class, a clock the tests move by hand,
// and a device context that records what a paint copies to it.
#pragma once

#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"

#include <gtest/gtest.h>

namespace animtest {

inline DWORD& Now() {
    static DWORD now = 1000;
    return now;
}
inline DWORD FakeClock() { return Now(); }

// A hidden 240 x 294 window with its engine record; destroyed on scope exit.
class TestWindow {
public:
    explicit TestWindow(int width = 240, int height = 294) {
        AnimInit(GetModuleHandle(nullptr), 0);
        hwnd = CreateWindow(TEXT("AnimWindow"), TEXT(""), WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                            GetModuleHandle(nullptr), nullptr);
        window = AnimWindow::FromHandle(hwnd);
    }
    ~TestWindow() {
        if (IsWindow(hwnd)) DestroyWindow(hwnd);
    }
    AnimWindow* operator->() const { return window; }
    HWND hwnd;
    AnimWindow* window;
};

// A 32-bit memory bitmap filled with a sentinel colour, standing in for the screen.
const DWORD kSentinel = 0x00123456;
class CaptureDC {
public:
    CaptureDC(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        old_ = SelectObject(dc, bitmap_);
        Reset();
    }
    ~CaptureDC() {
        SelectObject(dc, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc);
    }
    void Reset() {
        GdiFlush();
        for (int i = 0; i < width_ * height_; ++i) bits_[i] = kSentinel;
    }
    DWORD At(int x, int y) const {
        GdiFlush();
        return bits_[y * width_ + x] & 0xFFFFFF;
    }
    // Bounding box and count of the pixels that a paint wrote.
    int Touched(RECT* box) const {
        GdiFlush();
        int n = 0;
        SetRect(box, width_, height_, 0, 0);
        for (int y = 0; y < height_; ++y)
            for (int x = 0; x < width_; ++x)
                if ((bits_[y * width_ + x] & 0xFFFFFF) != kSentinel) {
                    ++n;
                    if (x < box->left) box->left = x;
                    if (y < box->top) box->top = y;
                    if (x + 1 > box->right) box->right = x + 1;
                    if (y + 1 > box->bottom) box->bottom = y + 1;
                }
        return n;
    }
    HDC dc;

private:
    int width_, height_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
    DWORD* bits_;
};

// A solid 32-bit graphic (RGBQUAD order in memory: the colour is given as red | green << 8 | blue << 16).
inline Graphic* Solid(int width, int height, COLORREF colour) {
    Graphic* g = MEMNEW(Graphic, (width, height, 32, (const RGBQUAD*)nullptr));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) g->SetPixelColor(x, y, colour);
    return g;
}

// The screen colour (0x00RRGGBB as a DIB stores it) of a colour reference.
inline DWORD Screen(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }

} // namespace animtest
