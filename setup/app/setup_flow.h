// The installer's flow: the process-wide state of one setup run, the frame and page procedures, the
// worker thread that installs on the desktop and the device, and the progress callback that turns the
// toolkits' reports into status lines for the frame.
#pragma once

#include <windows.h>

#include "tl_string.h"

class Graphic;
class SetupLib;
class SetupToolkit;
class Skin;
class SkinWindow;
class ZipFile;
struct SKINWINDOWINSET;

// Where the installation goes.
enum { kTargetDesktop = 0, kTargetBoth = 1, kTargetDevice = 2 };
// How the frame closed.
enum { kResultClosed = 0, kResultSuccess = 1, kResultFailure = 2 };

// What the worker posts with IDM_UPDATESTATUS. Made by the worker with NEW_UPDATESTATUS, freed by the
// frame, which owns it from the moment it is posted.
struct UPDATESTATUS {
    LONG control;
    LONG percent;
    CHAR text[256];
};
#define NEW_UPDATESTATUS()                                                                                   \
    static_cast<UPDATESTATUS*>(                                                                              \
        MemRegisterObject(new UPDATESTATUS(), sizeof(UPDATESTATUS), "UPDATESTATUS", __FILE__, __LINE__))

struct SetupState {
    HINSTANCE instance;
    Skin* skin;
    SetupLib* setupLib;
    ZipFile* archive;
    SkinWindow* frame;
    SKINWINDOWINSET* topPage;
    SKINWINDOWINSET* middlePage;
    SKINWINDOWINSET* progressPage;
    LONG target;
    LONG result;
    string lastError;
    Graphic* installPicture;
    Graphic* rescanPicture;
    // Set while the worker runs; a request to stop is honoured between two steps.
    volatile LONG working;
    volatile LONG stopRequested;
    // Milliseconds the worker waits before each check for a stop: always 0 in the shipped installer; the
    // test build's switch VEXLIN_SETUP_STEP_PAUSE sets it to watch (and test) a stop in the middle of an
    // installation.
    DWORD stepPause;
};

extern SetupState g_setup;

// The frame's procedure (dialog 101).
LRESULT FrameProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM lParam);

// Installs on one toolkit with its progress shown on bar `bar`; false with g_setup.lastError set.
bool InstallOnToolkit(SetupToolkit* toolkit, LONG bar);
// The toolkits' progress callback; `user` is the bar's identifier.
void SetupProgressCallback(DWORD kind, LONG percent, const string& path, DWORD_PTR user);
// The last component of a path ("C:\Program Files\Vexlin\vexlin.exe" gives "vexlin.exe").
string LastPathComponent(const string& path);

// A trace line of the flow, kept only when the developer's trace file is configured.
void FlowTrace(const char* format, ...);
