// The two overlays every animation window can show: the measured frame rate at the bottom left and a
// status strip of text along the bottom.
#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "tl_format.h"
#include "tl_string.h"

namespace {

const LONG kFrameRateDepth = 1;
const LONG kStatusDepth = 2;

// Both overlays use the screen's default GUI font; its metrics decide their size.
SIZE MeasureText(const TCHAR* text) {
    SIZE size = {0, 0};
    HDC screen = ::GetDC(nullptr);
    if (!screen) return size;
    HGDIOBJ old = SelectObject(screen, GetStockObject(DEFAULT_GUI_FONT));
    GetTextExtentPoint32(screen, text, lstrlen(text), &size);
    SelectObject(screen, old);
    ::ReleaseDC(nullptr, screen);
    return size;
}

// White box with black text, drawn over the object's whole rectangle.
void DrawTextBox(const ANIMDRAW* draw, const TCHAR* text, UINT alignment) {
    if (!draw || !draw->target) return;
    HDC dc = draw->target->GetDC();
    if (!dc) return;
    RECT box = draw->object;
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColour = SetTextColor(dc, RGB(0, 0, 0));
    DrawText(dc, text, -1, &box, alignment | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldFont);
    GdiFlush();
    draw->target->ReleaseDC();
}

DWORD FrameRateProc(AnimObject* object, DWORD message, LPARAM parameter) {
    AnimWindow* window = object->GetWindow();
    switch (message) {
    case amCREATE: {
        // Sized for the widest reading it is likely to show.
        sformat sample(TEXT(" %.1lf FPS "), 998.4);
        SIZE size = MeasureText(sample.Psz());
        if (window) {
            RECT r = {0, window->GetHeight() - size.cy, size.cx, window->GetHeight()};
            object->SetRect(&r);
        }
        break;
    }
    case amFRAME:
        object->Invalidate();
        break;
    case amDRAW:
        if (window) {
            sformat text(TEXT(" %.1lf FPS "), window->GetActualFrameRate());
            DrawTextBox(reinterpret_cast<const ANIMDRAW*>(parameter), text.Psz(), DT_CENTER);
        }
        break;
    }
    return 1;
}

DWORD StatusProc(AnimObject* object, DWORD message, LPARAM parameter) {
    AnimWindow* window = object->GetWindow();
    switch (message) {
    case amCREATE: {
        SIZE size = MeasureText(TEXT("X!'g"));
        if (window) {
            RECT r = {0, window->GetHeight() - size.cy, window->GetWidth(), window->GetHeight()};
            object->SetRect(&r);
        }
        break;
    }
    case amDESTROY: {
        string* text = reinterpret_cast<string*>(object->GetData(0));
        object->SetData(0, 0);
        if (text) MEMDELETE(text);
        break;
    }
    case amDRAW: {
        string* text = reinterpret_cast<string*>(object->GetData(0));
        DrawTextBox(reinterpret_cast<const ANIMDRAW*>(parameter), text ? text->Psz() : TEXT(""), DT_RIGHT);
        break;
    }
    }
    return 1;
}

} // namespace

void AnimWindow::ShowFrameRate(BOOL show) {
    if (show && !frameRate_ && IsAlive()) {
        frameRate_ = NEW_ANIMOBJECT((this, FrameRateProc, kFrameRateDepth));
    } else if (!show && frameRate_) {
        AnimObject* readout = frameRate_;
        frameRate_ = nullptr;
        MEMDELETE(readout);
    }
}

void AnimWindow::SetStatusText(const string& text) {
    if (text.IsEmpty()) {
        if (status_) {
            AnimObject* strip = status_;
            status_ = nullptr;
            MEMDELETE(strip);
        }
        return;
    }
    if (!IsAlive()) return;
    if (!status_) status_ = NEW_ANIMOBJECT((this, StatusProc, kStatusDepth));
    if (!status_) return;
    string* copy = MEMNEW(string, (text));
    if (!copy) return;
    string* old = reinterpret_cast<string*>(status_->GetData(0));
    status_->SetData(0, reinterpret_cast<DWORD_PTR>(copy));
    if (status_->GetData(0) != reinterpret_cast<DWORD_PTR>(copy)) {
        MEMDELETE(copy); // no room for the slot: keep the old text
        return;
    }
    if (old) MEMDELETE(old);
    status_->Invalidate();
}
