// StaticEx: static text laid out with DrawText. With SS_NOTIFY the text is a link: drawn underlined in the
// link colour, it shows the hand cursor while the pointer is over the text, and a click on the text (press
// and release both over it) tells the parent STN_CLICKED. Without SS_NOTIFY it is plain text.
#include "tl_controls.h"
#include "tl_dialog.h"

#include "mem_manager.h"
#include "tl_string.h"

namespace {

// Per-window data; the window's first word points to it.
struct STATICEXINFO {
    explicit STATICEXINFO(const TCHAR* initial)
        : signature(kStaticExSignature), text(initial ? initial : TEXT("")), font(nullptr),
          underlined(nullptr), pressed(FALSE) {
        SetRectEmpty(&textRect);
    }
    DWORD signature;
    string text;
    HFONT font;       // the owner's font (not deleted here), or null for the system font
    HFONT underlined; // the link's font, made from `font` and deleted here
    RECT textRect;    // where the laid-out text lies, client coordinates
    BOOL pressed;     // a press on the link waits for its release
};

STATICEXINFO* Info(HWND window) {
    STATICEXINFO* info = reinterpret_cast<STATICEXINFO*>(GetWindowLongPtr(window, 0));
    return info && info->signature == kStaticExSignature ? info : nullptr;
}

BOOL IsLink(HWND window) { return (GetWindowLong(window, GWL_STYLE) & SS_NOTIFY) != 0; }

UINT TextFormat(HWND window) {
    const LONG style = GetWindowLong(window, GWL_STYLE);
    UINT format = 0;
    switch (style & SS_TYPEMASK) {
    case SS_CENTER:
        format = DT_CENTER | DT_WORDBREAK;
        break;
    case SS_RIGHT:
        format = DT_RIGHT | DT_WORDBREAK;
        break;
    case SS_LEFTNOWORDWRAP:
        format = DT_LEFT;
        break;
    default:
        format = DT_LEFT | DT_WORDBREAK;
    }
    if (style & SS_NOPREFIX) format |= DT_NOPREFIX;
    return format;
}

void DeleteUnderlined(STATICEXINFO* info) {
    if (info->underlined) DeleteObject(info->underlined);
    info->underlined = nullptr;
}

HFONT DrawingFont(HWND window, STATICEXINFO* info) {
    HFONT base = info->font ? info->font : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    if (!IsLink(window)) return base;
    if (!info->underlined) {
        LOGFONT lf;
        if (GetObject(base, sizeof lf, &lf)) {
            lf.lfUnderline = TRUE;
            info->underlined = CreateFontIndirect(&lf);
        }
    }
    return info->underlined ? info->underlined : base;
}

// Measures the text as it will be drawn and places the rectangle by the alignment.
void Layout(HWND window, STATICEXINFO* info) {
    RECT client;
    GetClientRect(window, &client);
    SetRectEmpty(&info->textRect);
    if (info->text.IsEmpty()) return;
    HDC dc = GetDC(window);
    if (!dc) return;
    HGDIOBJ old = SelectObject(dc, DrawingFont(window, info));
    const UINT format = TextFormat(window);
    RECT measured = client;
    DrawText(dc, info->text.Psz(), -1, &measured, format | DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    LONG width = measured.right - measured.left;
    LONG height = measured.bottom - measured.top;
    LONG clientWidth = client.right - client.left;
    LONG x = client.left;
    if (format & DT_CENTER) x = client.left + (clientWidth - width) / 2;
    if (format & DT_RIGHT) x = client.right - width;
    SetRect(&info->textRect, x, client.top, x + width, client.top + height);
    IntersectRect(&info->textRect, &info->textRect, &client);
}

BOOL OverText(HWND window, STATICEXINFO* info, POINT p) {
    return IsLink(window) && PtInRect(&info->textRect, p);
}

void Paint(HWND window, STATICEXINFO* info) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(window, &client);
    HWND parent = GetParent(window);
    // The parent colours its statics as it would colour a plain static.
    HBRUSH brush =
        parent ? reinterpret_cast<HBRUSH>(SendMessage(parent, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(window)))
               : nullptr;
    if (!brush) {
        brush = GetSysColorBrush(COLOR_BTNFACE);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    FillRect(dc, &client, brush);
    if (!IsWindowEnabled(window))
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
    else if (IsLink(window))
        SetTextColor(dc, GetSysColor(COLOR_HOTLIGHT));
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, DrawingFont(window, info));
    DrawText(dc, info->text.Psz(), -1, &client, TextFormat(window));
    SelectObject(dc, old);
    EndPaint(window, &ps);
}

LRESULT CALLBACK StaticExProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        const CREATESTRUCT* create = reinterpret_cast<const CREATESTRUCT*>(lParam);
        STATICEXINFO* info = MEMNEW(STATICEXINFO, (create ? create->lpszName : nullptr));
        if (!info) return -1;
        SetWindowLongPtr(window, 0, reinterpret_cast<LONG_PTR>(info));
        Layout(window, info);
        return 0;
    }
    STATICEXINFO* info = Info(window);
    if (!info) return DefWindowProc(window, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        SetWindowLongPtr(window, 0, 0);
        DeleteUnderlined(info);
        info->signature = 0;
        MEMDELETE(info);
        return 0;
    case WM_SIZE:
        Layout(window, info);
        return 0;
    case WM_STYLECHANGED:
        DeleteUnderlined(info);
        Layout(window, info);
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_SETTEXT:
        info->text =
            reinterpret_cast<const TCHAR*>(lParam) ? reinterpret_cast<const TCHAR*>(lParam) : TEXT("");
        Layout(window, info);
        InvalidateRect(window, nullptr, TRUE);
        return TRUE;
    case WM_GETTEXT: {
        TCHAR* buffer = reinterpret_cast<TCHAR*>(lParam);
        if (!buffer || wParam == 0) return 0;
        DWORD count = info->text.GetLength();
        if (count > wParam - 1) count = static_cast<DWORD>(wParam - 1);
        CopyMemory(buffer, info->text.Psz(), count * sizeof(TCHAR));
        buffer[count] = 0;
        return count;
    }
    case WM_GETTEXTLENGTH:
        return info->text.GetLength();
    case WM_SETFONT:
        info->font = reinterpret_cast<HFONT>(wParam);
        DeleteUnderlined(info);
        Layout(window, info);
        if (LOWORD(lParam)) InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(info->font);
    case WM_ENABLE:
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_ERASEBKGND:
        return 1; // painting fills the whole client area
    case WM_PAINT:
        Paint(window, info);
        return 0;
    case WM_SETCURSOR: {
        POINT p;
        GetCursorPos(&p);
        ScreenToClient(window, &p);
        SetCursor(LoadCursor(nullptr, OverText(window, info, p) ? MAKEINTRESOURCE(32649) : IDC_ARROW));
        return TRUE;
    }
    case WM_LBUTTONDOWN: {
        POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (OverText(window, info, p)) {
            info->pressed = TRUE;
            SetCapture(window);
        }
        return 0;
    }
    case WM_LBUTTONUP: {
        if (!info->pressed) return 0;
        info->pressed = FALSE;
        if (GetCapture() == window) ReleaseCapture();
        POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        HWND parent = GetParent(window);
        if (OverText(window, info, p) && parent)
            SendMessage(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), STN_CLICKED),
                        reinterpret_cast<LPARAM>(window));
        return 0;
    }
    case WM_CAPTURECHANGED:
        info->pressed = FALSE;
        return 0;
    }
    return DefWindowProc(window, message, wParam, lParam);
}

} // namespace

ATOM RegisterStaticExClass(HINSTANCE module) {
    WNDCLASS wc = {};
    WNDCLASS staticClass = {};
    if (GetClassInfo(nullptr, TEXT("Static"), &staticClass)) wc.style = staticClass.style;
    wc.lpfnWndProc = StaticExProc;
    wc.cbWndExtra = 8;
    wc.hInstance = module;
    wc.hCursor = nullptr;
    wc.hbrBackground = nullptr;
    wc.lpszClassName = STATICEX_CLASS;
    return RegisterClass(&wc);
}
