// EtchedLine: a two-pixel sunken line across the top of the control over the button-face colour. It paints
// inside BeginPaint/EndPaint: drawn before the default procedure's own BeginPaint, the line would be erased
// by the class background whenever an erase is pending.
#include "tl_controls.h"
#include "tl_dialog.h"

namespace {

LRESULT CALLBACK EtchedLineProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        RECT client;
        GetClientRect(window, &client);
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (dc) {
            RECT line = {client.left, client.top, client.right, client.top + 2};
            DrawEdge(dc, &line, BDR_SUNKENOUTER, BF_RECT);
            RECT below = {client.left, line.bottom, client.right, client.bottom};
            if (below.bottom > below.top) FillRect(dc, &below, GetSysColorBrush(COLOR_BTNFACE));
        }
        EndPaint(window, &ps);
    }
    return DefWindowProc(window, message, wParam, lParam);
}

} // namespace

ATOM RegisterEtchedLineClass(HINSTANCE module) {
    WNDCLASS wc = {};
    wc.lpfnWndProc = EtchedLineProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ETCHEDLINE_CLASS;
    return RegisterClass(&wc);
}
