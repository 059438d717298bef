// ColorButton: a push button whose face shows a colour swatch, and the process-wide table of custom
// colours that colour choosers share, kept in the registry between runs.
#include "tl_controls.h"

#include "registry.h"
#include "tl_dialog.h"

#include <string.h>

namespace {

// Window words: the colour, then whether the pointer was inside at the last look.
const int kColorWord = 0;
const int kInsideWord = 4;
const COLORREF kNoSwatch = 0xFFFFFFFF;

COLORREF g_customColors[kCustomColorCount];

RegValue CustomColorsValue() { return RegValue(string(CUSTOM_COLORS_KEY), string(CUSTOM_COLORS_VALUE)); }

BOOL PointerInside(HWND window, LPARAM lParam) {
    RECT client;
    GetClientRect(window, &client);
    POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    return PtInRect(&client, p);
}

void Paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    RECT r;
    GetClientRect(window, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    const BOOL pressed = GetCapture() == window && GetWindowLong(window, kInsideWord);
    UINT edge = !IsWindowEnabled(window) ? EDGE_BUMP : pressed ? EDGE_SUNKEN : EDGE_RAISED;
    DrawEdge(dc, &r, edge, BF_RECT);
    if (pressed) OffsetRect(&r, 1, 1);
    InflateRect(&r, -4, -4);
    const COLORREF colour = static_cast<COLORREF>(GetWindowLong(window, kColorWord));
    if (colour != kNoSwatch && r.right > r.left && r.bottom > r.top) {
        POINT outline[5] = {{r.left, r.top},
                            {r.right - 1, r.top},
                            {r.right - 1, r.bottom - 1},
                            {r.left, r.bottom - 1},
                            {r.left, r.top}};
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
        Polyline(dc, outline, 5);
        SelectObject(dc, oldPen);
        InflateRect(&r, -1, -1);
        HBRUSH brush = CreateSolidBrush(colour);
        if (brush) {
            FillRect(dc, &r, brush);
            DeleteObject(brush);
        }
    }
    EndPaint(window, &ps);
}

LRESULT CALLBACK ColorButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        SetWindowLong(window, kColorWord, static_cast<LONG>(kNoSwatch));
        SetWindowLong(window, kInsideWord, 0);
        return 0;
    case WM_ENABLE:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case CBM_GETCOLOR:
        return static_cast<COLORREF>(GetWindowLong(window, kColorWord));
    case CBM_SETCOLOR:
        SetWindowLong(window, kColorWord, static_cast<LONG>(lParam));
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_LBUTTONDOWN:
        SetCapture(window);
        SetWindowLong(window, kInsideWord, 1);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_MOUSEMOVE:
        if (GetCapture() == window) {
            BOOL inside = PointerInside(window, lParam);
            if (inside != GetWindowLong(window, kInsideWord)) {
                SetWindowLong(window, kInsideWord, inside);
                InvalidateRect(window, nullptr, FALSE);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (GetCapture() == window) {
            const BOOL inside = PointerInside(window, lParam);
            ReleaseCapture();
            InvalidateRect(window, nullptr, FALSE);
            // Released over the button: a click, told to the parent as a push button tells it.
            if (inside) {
                HWND parent = GetParent(window);
                if (parent)
                    SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), BN_CLICKED),
                                reinterpret_cast<LPARAM>(window));
            }
        }
        return 0;
    case WM_CAPTURECHANGED:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_PAINT:
        Paint(window);
        return 0;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

} // namespace

COLORREF* GetCustomColors() { return g_customColors; }

BOOL LoadCustomColorsFrom(const RegValue& value) {
    if (value.GetVersioned(kCustomColorsVersion, g_customColors, kCustomColorBytes)) return TRUE;
    memset(g_customColors, 0, sizeof g_customColors);
    return FALSE;
}

BOOL SaveCustomColorsTo(const RegValue& value) {
    return value.SetVersioned(kCustomColorsVersion, RegData(g_customColors, kCustomColorBytes));
}

BOOL LoadCustomColors() { return LoadCustomColorsFrom(CustomColorsValue()); }
BOOL SaveCustomColors() { return SaveCustomColorsTo(CustomColorsValue()); }

ATOM RegisterColorButtonClass(HINSTANCE module) {
    WNDCLASS wc = {};
    wc.lpfnWndProc = ColorButtonProc;
    wc.cbWndExtra = 12;
    wc.hInstance = module;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = COLORBUTTON_CLASS;
    ATOM atom = RegisterClass(&wc);
    LoadCustomColors();
    return atom;
}
