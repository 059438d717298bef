// setup_driver: drives a skinned window of another process the way a person would, by posted mouse
// messages and keys, for the installer's end-to-end tests. Steps run in order:
//   wait CAPTION MS       until a visible skinned window of that caption is there
//   gone CAPTION MS       until none is
//   click CAPTION X Y     move, press and release at a window point
//   key CAPTION CODE      a typed character (13: Enter) to the window's focused control
//   close CAPTION         the system's close (the close box)
//   sleep MS
// It prints "driver: done" after the last step, or "driver: FAILED ..." and stops at the first step
// that cannot be done.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

struct Search {
    const char* caption;
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
    Search* search = reinterpret_cast<Search*>(parameter);
    char className[64], caption[256];
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && strcmp(className, "SkinWindow") == 0 &&
        strcmp(caption, search->caption) == 0) {
        // The first in z-order: a message box sits over its frame.
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND Find(const char* caption) {
    Search search = {caption, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitFor(const char* caption, DWORD ms, bool present) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = Find(caption);
        if ((window != nullptr) == present) return present ? window : HWND(1);
        if (GetTickCount() - start > ms) return nullptr;
        Sleep(50);
    }
}

void Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    PostMessageA(window, message, wParam, lParam);
    Sleep(60);
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc;) {
        const char* step = argv[i];
        bool ok = true;
        if (strcmp(step, "sleep") == 0 && i + 1 < argc) {
            Sleep(atoi(argv[i + 1]));
            i += 2;
        } else if ((strcmp(step, "wait") == 0 || strcmp(step, "gone") == 0) && i + 2 < argc) {
            ok = WaitFor(argv[i + 1], atoi(argv[i + 2]), step[0] == 'w') != nullptr;
            i += 3;
        } else if (strcmp(step, "click") == 0 && i + 3 < argc) {
            HWND window = WaitFor(argv[i + 1], 5000, true);
            ok = window != nullptr;
            if (ok) {
                LPARAM at = MAKELPARAM(atoi(argv[i + 2]), atoi(argv[i + 3]));
                Post(window, WM_MOUSEMOVE, 0, at);
                Post(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
                Post(window, WM_LBUTTONUP, 0, at);
            }
            i += 4;
        } else if (strcmp(step, "key") == 0 && i + 2 < argc) {
            HWND window = WaitFor(argv[i + 1], 5000, true);
            ok = window != nullptr;
            if (ok) Post(window, WM_CHAR, atoi(argv[i + 2]), 1);
            i += 3;
        } else if (strcmp(step, "close") == 0 && i + 1 < argc) {
            HWND window = WaitFor(argv[i + 1], 5000, true);
            ok = window != nullptr;
            if (ok) Post(window, WM_CLOSE, 0, 0);
            i += 2;
        } else {
            printf("driver: FAILED unknown or incomplete step %s\n", step);
            return 1;
        }
        if (!ok) {
            printf("driver: FAILED at %s %s\n", step, i - 2 < argc ? argv[i - 2] : "");
            fflush(stdout);
            return 1;
        }
    }
    printf("driver: done\n");
    return 0;
}
