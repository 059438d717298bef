// The few Pocket PC shell and core calls that a desktop build lacks, mapped to their desktop
// equivalents or to nothing, so that the game's sources read the same on both platforms.
#pragma once

#include <windows.h>

#ifndef UNDER_CE

// Soft input panel: a desktop has none, so showing or hiding it always succeeds.
#ifndef SIPF_OFF
#define SIPF_OFF 0x00000000
#define SIPF_ON 0x00000001
#endif
inline BOOL SipShowIM(DWORD /*flags*/) { return TRUE; }

// Full-screen dialogs: the desktop build sizes its dialog itself, so these only report success.
#ifndef SHIDIF_DONEBUTTON
#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010
typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;
#endif
inline BOOL SHInitDialog(PSHINITDLGINFO /*info*/) { return TRUE; }

#ifndef SHFS_SHOWTASKBAR
#define SHFS_SHOWTASKBAR 0x0001
#define SHFS_HIDETASKBAR 0x0002
#define SHFS_SHOWSIPBUTTON 0x0004
#define SHFS_HIDESIPBUTTON 0x0008
#define SHFS_SHOWSTARTICON 0x0010
#define SHFS_HIDESTARTICON 0x0020
#endif
inline BOOL SHFullScreen(HWND /*window*/, DWORD /*state*/) { return TRUE; }

// Colour-keyed blit: the desktop's msimg32 has the same call under another name.
inline BOOL TransparentImage(HDC target, int x, int y, int width, int height, HDC source, int sx, int sy,
                             int sw, int sh, COLORREF transparent) {
    return TransparentBlt(target, x, y, width, height, source, sx, sy, sw, sh, transparent);
}

// Event signalling through one call with an operation code.
#ifndef EVENT_SET
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3
#endif
inline BOOL EventModify(HANDLE event, DWORD operation) {
    switch (operation) {
    case EVENT_SET:
        return SetEvent(event);
    case EVENT_RESET:
        return ResetEvent(event);
    case EVENT_PULSE:
        return PulseEvent(event);
    }
    return FALSE;
}

#endif // UNDER_CE
