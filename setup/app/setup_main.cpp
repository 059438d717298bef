// VexlinSetup's entry: start-up in its order (languages, engine, skin, setup library, payload, pictures),
// the frame run modally, the closing message, and teardown in its order.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "cetl_exception.h"
#include "mem_manager.h"
#include "setup_flow.h"
#include "setup_fonts.h"
#include "setup_resources.h"
#include "skin.h"
#include "skinmessage.h"
#include "skinwindow.h"
#include "sl_main.h"
#include "sl_trace.h"
#include "tl_format.h"
#include "tl_language.h"
#include "zip_file.h"

namespace {

const COLORREF kButtonTransparent = RGB(0, 0, 255);
const CHAR kFrameArtworkName[] = "VexlinSetup Frame.psp";

#ifdef VEXLIN_SETUP_TEST_BUILD
// The test build's trace: VEXLIN_SETUP_TRACE names a file that receives the setup library's and the
// flow's trace lines. The end-to-end tests read the pages shown and the closing texts from it. The shipped
// installer reads no such switch: its trace goes to the discarding sink.
char g_traceFile[MAX_PATH];
CRITICAL_SECTION g_traceLock;
DWORD g_traceStart;

void TraceToFile(const char* line) {
    EnterCriticalSection(&g_traceLock);
    FILE* file = fopen(g_traceFile, "ab");
    if (file) {
        // Milliseconds since start-up, to see where time goes.
        fprintf(file, "%6lu ", GetTickCount() - g_traceStart);
        fputs(line, file);
        fclose(file);
    }
    LeaveCriticalSection(&g_traceLock);
}

void StartTrace() {
    DWORD n = GetEnvironmentVariableA("VEXLIN_SETUP_TRACE", g_traceFile, sizeof g_traceFile);
    if (n == 0 || n >= sizeof g_traceFile) return;
    InitializeCriticalSection(&g_traceLock);
    g_traceStart = GetTickCount();
    SetupSetTraceSink(TraceToFile);
}

// The test build's pause between install steps (VEXLIN_SETUP_STEP_PAUSE milliseconds), so a test can
// close the frame while a step is on.
void ReadStepPause() {
    char pause[16];
    if (GetEnvironmentVariableA("VEXLIN_SETUP_STEP_PAUSE", pause, sizeof pause) && pause[0])
        g_setup.stepPause = static_cast<DWORD>(atoi(pause));
}
#else
void StartTrace() {}
void ReadStepPause() {}
#endif

string LoadText(UINT id) {
    string text;
    AppendLocalizedString(text, id);
    return text;
}

// The worker's posted commands arrive at the frame's window; the skinned window passes on only what its
// controls send, so the frame's window is subclassed to hand posted commands to the frame procedure.
WNDPROC g_frameWindowProc = nullptr;

LRESULT CALLBACK FrameWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        SkinWindow* window = SkinWindow::FromHandle(hwnd);
        if (window) return FrameProc(window, message, wParam, lParam);
    }
    return CallWindowProc(g_frameWindowProc, hwnd, message, wParam, lParam);
}

// The frame is sized to its artwork, so the picture is drawn once, unstretched.
LRESULT FrameStartProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_frameWindowProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtr(window->GetHandle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameWindowProc)));
        if (Graphic* art = g_setup.skin->FindPicture(string("frame"), window->GetVariant())) {
            RECT work;
            SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
            LONG width = art->GetWidth(), height = art->GetHeight();
            window->SetWindowRect(work.left + (work.right - work.left - width) / 2,
                                  work.top + (work.bottom - work.top - height) / 2, width, height);
        }
    }
    return FrameProc(window, message, wParam, lParam);
}

void Run(HINSTANCE instance) {
    g_setup.instance = instance;
    ReadStepPause();
    g_setup.skin = MEMNEW(Skin, ());
    g_setup.skin->OpenResource(instance, MAKEINTRESOURCE(IDZ_SKIN), "ZIP");
    // Every control's text in the dialog face, whatever the skin file says.
    g_setup.skin->SetProperty(string("Font"), string("MS Shell Dlg,-13"));

    g_setup.setupLib = MEMNEW(SetupLib, (kRapiStartupTimeout));
    g_setup.archive = NEW_ZIPFILE();
    g_setup.archive->OpenResource(instance, MAKEINTRESOURCE(IDZ_PAYLOAD), "ZIP", FALSE);

    SKINFILE* artwork = MEMNEW(SKINFILE, ());
    artwork->name = string(kFrameArtworkName);
    // Keyed on the skin's transparent colour, so the window's shape follows the artwork's rim.
    artwork->picture =
        MEMNEW(Graphic, (nullptr, instance, MAKEINTRESOURCE(IDG_FRAME), g_setup.skin->GetTransparentColor()));
    g_setup.skin->AddFile(artwork);
    g_setup.installPicture =
        MEMNEW(Graphic, (nullptr, instance, MAKEINTRESOURCE(IDG_INSTALL), kButtonTransparent));
    g_setup.rescanPicture =
        MEMNEW(Graphic, (nullptr, instance, MAKEINTRESOURCE(IDG_RESCAN), kButtonTransparent));

    SkinWindow* frame =
        SkinWindow::Create(g_setup.skin, string("VexlinSetup"), FrameStartProc, IDD_FRAME, 0, nullptr);
    if (frame) frame->RunModal();
    FlowTrace("setup: frame closed\n");

    if (g_setup.result == kResultSuccess) {
        FlowTrace("setup: message success\n");
        SkinMessageBox(g_setup.skin, MB_ICONINFORMATION, LoadText(IDS_TITLE), LoadText(IDS_SUCCESS));
    } else if (g_setup.result == kResultFailure) {
        FlowTrace("setup: message failure %s\n", g_setup.lastError.Psz8());
        SkinMessageBox(g_setup.skin, MB_ICONHAND, LoadText(IDS_TITLE),
                       sformat(IDS_FAILURE, g_setup.lastError.Psz8()));
    }

    MEMDELETE(g_setup.archive);
    g_setup.archive = nullptr;
    MEMDELETE(g_setup.setupLib);
    g_setup.setupLib = nullptr;
    if (frame) FrameProc(frame, WM_DESTROY, 0, 0);
    // The frame's controls hold cut-up forms of skin pictures: they leave before the skin does.
    if (frame) frame->Destroy();
    g_setup.frame = nullptr;
    MEMDELETE(g_setup.skin);
    g_setup.skin = nullptr;
    MEMDELETE(g_setup.installPicture);
    MEMDELETE(g_setup.rescanPicture);
    g_setup.installPicture = g_setup.rescanPicture = nullptr;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    StartTrace();
    InitLanguages(string("Vexlin"), IDS_LANGUAGES);
    // The Esperanto faces are there for this process before any window or font is made.
    RegisterEoFonts(instance);
    if (AnimInit(instance, 0) && SkinWindow::RegisterClass(instance, IDI_SETUP)) {
        FlowTrace("setup: language %u\n", GetLanguage());
        try {
            Run(instance);
        } catch (const cetl::exception& e) {
            FlowTrace("setup: exception %s\n", e.message().Psz8());
        }
    }
    RemoveEoFonts();
    MemReport();
    return 0;
}
