// The toolkit's classes and the helpers that raise a window or let a dialog fill the screen.
#include "tl_dialog.h"

#include "ce_compat.h"
#include "tl_controls.h"

ATOM RegisterDialogClass(HINSTANCE module, LPCTSTR className, HICON icon, UINT style) {
    WNDCLASS wc = {};
    wc.style = style ? style : kDialogClassStyle;
    wc.lpfnWndProc = DefDlgProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 32; // at least the dialog manager's DLGWINDOWEXTRA
    wc.hInstance = module;
    wc.hIcon = icon;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = className;
    return RegisterClass(&wc);
}

BOOL InitGuiLib(HINSTANCE module) {
    // A second call (or a second library in the process) finds the classes registered: that is no failure.
    RegisterDialogClass(module, GUILIB_DIALOG_CLASS, nullptr, kDialogClassStyle);
    RegisterColorButtonClass(module);
    RegisterStaticExClass(module);
    RegisterEtchedLineClass(module);
    return TRUE;
}

BOOL BringToFront(HWND window) {
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    return SetForegroundWindow(window);
}

BOOL MakeFullScreen(HWND dialog, BOOL hideTaskbar) {
    SHINITDLGINFO info = {};
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    // The whole screen with no menu bar: the game draws its own buttons.
    info.dwFlags = SHIDIF_FULLSCREENNOMENUBAR;
    SHInitDialog(&info);
    DWORD state = SHFS_HIDESIPBUTTON;
    state |= hideTaskbar ? SHFS_HIDETASKBAR | SHFS_HIDESTARTICON : SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON;
    SHFullScreen(dialog, state);
    return BringToFront(dialog);
}

BOOL InitFullScreenDialog(HWND dialog) {
    SHINITDLGINFO info = {};
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = SHIDIF_FULLSCREENNOMENUBAR | SHIDIF_DONEBUTTON;
    return SHInitDialog(&info);
}

HWND FindChildDialog(HWND window) {
    if (!window) return nullptr;
    return FindWindowEx(window, nullptr, TEXT("#32770"), nullptr);
}
