// The single-instance channel: the first start of a program leaves a hidden window that later starts find
// by its class name, and the main window it stores there is what they hand over to.
#include "tl_dialog.h"

namespace {

// Longest class name the channel compares; longer names never match.
const int kClassNameMax = 256;

struct ChannelSearch {
    const TCHAR* className;
    HWND found;
};

BOOL CALLBACK MatchChannel(HWND window, LPARAM parameter) {
    ChannelSearch* search = reinterpret_cast<ChannelSearch*>(parameter);
    TCHAR name[kClassNameMax + 1];
    int length = GetClassName(window, name, kClassNameMax + 1);
    if (length <= 0 || length > kClassNameMax) return TRUE;
    if (lstrcmpi(name, search->className) != 0) return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindChannel(const string& className) {
    ChannelSearch search = {className.Psz(), nullptr};
    EnumWindows(MatchChannel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Registers the channel class (a copy of "Static" with the default procedure and one window word) and
// makes the hidden 5 x 5 window off screen. Null on failure.
HWND CreateChannel(const string& className) {
    HINSTANCE module = GetModuleHandle(nullptr);
    WNDCLASS wc = {};
    if (!GetClassInfo(nullptr, TEXT("Static"), &wc)) return nullptr;
    wc.lpfnWndProc = DefWindowProc;
    wc.cbWndExtra = 4;
    wc.hInstance = module;
    wc.lpszClassName = className.Psz();
    if (!RegisterClass(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    return CreateWindowEx(0, className.Psz(), TEXT(""), WS_POPUP, -10, -10, 5, 5, nullptr, nullptr, module,
                          nullptr);
}

// How long a start waits for another start that holds the mutex before it looks on its own.
const DWORD kMutexWait = 5000;

} // namespace

HWND FindRunningInstance(const string& name) {
    HANDLE mutex = CreateMutex(nullptr, TRUE, (name + TEXT(" Mutex")).Psz());
    // A mutex that already exists is not handed over by CreateMutex: the other start may still be
    // setting up its channel, so wait for it to let go before looking.
    BOOL owned = mutex != nullptr;
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        DWORD waited = WaitForSingleObject(mutex, kMutexWait);
        owned = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    }

    const string className = name + TEXT(" IPC");
    HWND result = nullptr;
    HWND channel = FindChannel(className);
    if (channel) {
        HWND stored = reinterpret_cast<HWND>(static_cast<LONG_PTR>(GetWindowLong(channel, 0)));
        result = stored ? stored : channel;
    } else {
        CreateChannel(className);
    }

    // The handle stays open: the mutex lives as long as the program does.
    if (owned) ReleaseMutex(mutex);
    return result;
}

BOOL SetInstanceWindow(const string& name, HWND window) {
    HWND channel = FindChannel(name + TEXT(" IPC"));
    if (!channel) return FALSE;
    SetLastError(0);
    LONG previous = SetWindowLong(channel, 0, static_cast<LONG>(reinterpret_cast<LONG_PTR>(window)));
    return previous != 0 || GetLastError() == 0;
}
