// The small window toolkit of both programs: message boxes that may run on a thread of their own, the
// toolkit's dialog class, the channel through which a second start of a program finds the first one, and
// the helpers that bring a window to the front or let a dialog fill a palm-size PC's screen.
#pragma once

#include <windows.h>

#include "tl_string.h"

// ShowMessage flag: show the box on a new thread and return at once.
const DWORD kMessageAsync = 0x80000000;

// What one message box shows. Registered with the memory manager under its type name; an asynchronous
// box's thread owns (and deletes) its parameters.
struct MESSAGE_PARAMS {
    MESSAGE_PARAMS(DWORD flags_, const string& caption_, const string& text_)
        : flags(flags_), caption(caption_), text(text_) {}
    DWORD flags;
    string caption;
    string text;
};

// Shows a message box with no owner. A style without an icon gets the question icon when it asks for more
// than OK, else the information icon. Returns the box's answer, or 0 at once with kMessageAsync (and 0
// when the box cannot be shown).
int ShowMessage(DWORD flags, const string& caption, const string& text);

// The call that finally shows a box (MessageBox by default), replaceable so that tests see what would be
// shown without a box waiting for a person. Returns the previous one; null restores MessageBox.
typedef int(WINAPI* MessageBoxFunction)(HWND owner, LPCTSTR text, LPCTSTR caption, UINT flags);
MessageBoxFunction SetMessageBoxFunction(MessageBoxFunction function);

// Class names of the toolkit.
#define GUILIB_DIALOG_CLASS TEXT("GuiLibDefDlgClass")
#define COLORBUTTON_CLASS TEXT("ColorButton")
#define STATICEX_CLASS TEXT("StaticEx")
#define ETCHEDLINE_CLASS TEXT("EtchedLine")

// Default class style of the toolkit's dialogs (CS_GLOBALCLASS | CS_VREDRAW | CS_HREDRAW).
const UINT kDialogClassStyle = 0x4003;

// Registers the dialog class and the three controls and loads the custom colours. Always true: a class
// that is already registered stays as it is.
BOOL InitGuiLib(HINSTANCE module);
// A dialog class over DefDlgProc with 32 window bytes, the arrow cursor and no background; style 0 means
// kDialogClassStyle. The class atom, or 0 when it cannot be registered.
ATOM RegisterDialogClass(HINSTANCE module, LPCTSTR className, HICON icon, UINT style);

// The single-instance channel of a program: a mutex (name + " Mutex") that serialises two starts, and a
// hidden top-level window of class name + " IPC" whose first window word holds the main window.
// The running instance's main window (or its channel window while none is stored), or null for the first
// instance, which now owns the channel.
HWND FindRunningInstance(const string& name);
// Stores the main window in this program's channel; false when the channel does not exist.
BOOL SetInstanceWindow(const string& name, HWND window);

// Raises the window above every other and activates it; the result of SetForegroundWindow.
BOOL BringToFront(HWND window);
// Sizes a dialog to the whole screen and shows or hides the taskbar, then brings it to the front; the
// result of BringToFront.
BOOL MakeFullScreen(HWND dialog, BOOL hideTaskbar);
// Sizes a dialog to the whole screen with a Done button; the result of SHInitDialog.
BOOL InitFullScreenDialog(HWND dialog);
// The first direct child of class "#32770", or null.
HWND FindChildDialog(HWND window);
