// The installer's pages and its worker thread. Everything that touches a window runs on the user-interface
// thread; the worker only posts IDM_UPDATESTATUS (with a record the frame frees) and IDM_FINISHED.
#include "setup_flow.h"

#include <stdarg.h>
#include <stdio.h>

#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "cetl_exception.h"
#include "mem_manager.h"
#include "setup_resources.h"
#include "sl_main.h"
#include "sl_trace.h"
#include "skin.h"
#include "skincontrol.h"
#include "skinmessage.h"
#include "skinwindow.h"
#include "tl_format.h"
#include "tl_language.h"
#include "zip_file.h"

SetupState g_setup;

namespace {

const CHAR kAppName[] = "Vexlin";

string LoadText(UINT id) {
    string text;
    AppendLocalizedString(text, id);
    return text;
}

// Freezes the frame's drawing while pages are taken down and built, so no half-built page shows.
class FrozenFrame {
public:
    explicit FrozenFrame(SkinWindow* frame) : anim_(frame ? frame->GetAnimWindow() : nullptr) {
        if (anim_) anim_->Lock();
    }
    ~FrozenFrame() {
        if (anim_) {
            anim_->InvalidateAll(TRUE);
            anim_->Unlock();
        }
    }

private:
    AnimWindow* anim_;
};

LRESULT LanguageProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT TargetProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT NoDeviceProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ProgressProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM lParam);

void BuildLanguagePage() {
    g_setup.topPage = g_setup.frame->InsetPage(string(), LanguageProc, IDD_LANGUAGE, 0);
    FlowTrace("setup: page %d\n", IDD_LANGUAGE);
}

// The target page when a device answered at start-up or on Rescan, else the no-device page; no probe.
void BuildMiddlePage() {
    bool device = g_setup.setupLib->DetectDevice(0) != nullptr;
    UINT id = device ? IDD_TARGET : IDD_NODEVICE;
    g_setup.middlePage = g_setup.frame->InsetPage(string(), device ? TargetProc : NoDeviceProc, id, 0);
    FlowTrace("setup: page %d\n", id);
}

void DestroyPage(SKINWINDOWINSET** page) {
    if (*page) g_setup.frame->DestroyPage(*page);
    *page = nullptr;
}

// Puts the program's picture on a page's button and anchors it to the frame's button band: 16 pixels above
// the window's outer bottom edge.
void DressButton(SkinWindow* window, DWORD id, Graphic* picture) {
    SkinControl* button = window->GetControl(id);
    if (!button) throw cetl::exception(string(sformat("the page has no control %lu", id)));
    if (picture) window->SetControlPicture(id, picture);
    const SKINAXIS& x = button->GetAxisX();
    const SKINAXIS& y = button->GetAxisY();
    window->SetControlLayout(id, x.flags, x.offset, x.size, slFAR | slOUTER, 16, y.size);
    window->Place(button);
}

DWORD WINAPI WorkerThread(LPVOID) {
    bool ok = true;
    SetupLib* lib = g_setup.setupLib;
    if (g_setup.target == kTargetDesktop || g_setup.target == kTargetBoth)
        ok = InstallOnToolkit(lib->DesktopToolkit(), IDC_PROGRESS_FIRST);
    if (ok && (g_setup.target == kTargetDevice || g_setup.target == kTargetBoth)) {
        SetupToolkit* device = lib->DeviceToolkit();
        if (!device) {
            // The device went away between the page and the install: reported like a failed file.
            g_setup.lastError = sformat(IDS_NO_FILE, "vexlin.exe");
            ok = false;
        } else {
            ok = InstallOnToolkit(device,
                                  g_setup.target == kTargetBoth ? IDC_PROGRESS_SECOND : IDC_PROGRESS_FIRST);
        }
    }
    FlowTrace("setup: finished %d\n", ok ? 1 : 0);
    InterlockedExchange(&g_setup.working, 0);
    PostMessage(g_setup.frame->GetHandle(), WM_COMMAND, MAKEWPARAM(IDM_FINISHED, 0), ok ? 1 : 0);
    return 0;
}

// Between two steps: true when the person asked to stop.
bool StopHere() {
    if (g_setup.stepPause) Sleep(g_setup.stepPause);
    return g_setup.stopRequested != 0;
}

LRESULT LanguageProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        window->SetChecked(IDC_ENGLISH, GetLanguage() == kLangEnglish);
        window->SetChecked(IDC_ESPERANTO, GetLanguage() == kLangEsperanto);
        window->SetText(IDC_TITLE, LoadText(IDS_TITLE_MARKUP));
        window->SetCaption(LoadText(IDS_TITLE));
        break;
    case kSkinPicturesReady:
        DressButton(window, IDC_INSTALL, g_setup.installPicture);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ENGLISH:
        case IDC_ESPERANTO: {
            FrozenFrame frozen(window);
            LANGID language = window->GetChecked(IDC_ENGLISH) ? kLangEnglish : kLangEsperanto;
            if (language != GetLanguage()) {
                SetLanguage(language);
                FlowTrace("setup: language %u\n", language);
                // This procedure's own page goes: nothing below touches it.
                DestroyPage(&g_setup.topPage);
                BuildLanguagePage();
                DestroyPage(&g_setup.middlePage);
                BuildMiddlePage();
            }
            break;
        }
        case IDC_INSTALL: {
            FrozenFrame frozen(window);
            DestroyPage(&g_setup.topPage);
            DestroyPage(&g_setup.middlePage);
            UINT id = g_setup.target == kTargetBoth ? IDD_PROGRESS_BOTH : IDD_PROGRESS_ONE;
            FlowTrace("setup: install target %ld\n", g_setup.target);
            g_setup.progressPage = window->InsetPage(string(), ProgressProc, id, 0);
            FlowTrace("setup: page %d\n", id);
            break;
        }
        }
        break;
    }
    return 0;
}

LRESULT TargetProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        window->SetChecked(IDC_TARGET_DESKTOP, g_setup.target == kTargetDesktop);
        window->SetChecked(IDC_TARGET_BOTH, g_setup.target == kTargetBoth);
        window->SetChecked(IDC_TARGET_DEVICE, g_setup.target == kTargetDevice);
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_TARGET_DESKTOP:
        case IDC_TARGET_BOTH:
        case IDC_TARGET_DEVICE:
            g_setup.target = window->GetChecked(IDC_TARGET_DESKTOP) ? kTargetDesktop
                             : window->GetChecked(IDC_TARGET_BOTH)  ? kTargetBoth
                                                                    : kTargetDevice;
            FlowTrace("setup: target %ld\n", g_setup.target);
            break;
        }
        break;
    }
    return 0;
}

LRESULT NoDeviceProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        g_setup.target = kTargetDesktop;
        break;
    case kSkinPicturesReady:
        DressButton(window, IDC_RESCAN, g_setup.rescanPicture);
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_RESCAN) {
            bool found = g_setup.setupLib->DetectDevice(kRapiRescanTimeout) != nullptr;
            FlowTrace("setup: rescan %d\n", found ? 1 : 0);
            if (found) {
                FrozenFrame frozen(window);
                DestroyPage(&g_setup.middlePage);
                g_setup.target = kTargetBoth;
                g_setup.middlePage = window->InsetPage(string(), TargetProc, IDD_TARGET, 0);
                FlowTrace("setup: page %d\n", IDD_TARGET);
            }
        }
        break;
    }
    return 0;
}

LRESULT ProgressProc(SkinWindow* window, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) {
        window->SetText(IDC_STATUS, string());
        InterlockedExchange(&g_setup.working, 1);
        HANDLE thread = CreateThread(nullptr, 0, WorkerThread, nullptr, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
        } else {
            InterlockedExchange(&g_setup.working, 0);
            g_setup.lastError = LoadText(IDS_NO_UNINSTALL);
            PostMessage(window->GetHandle(), WM_COMMAND, MAKEWPARAM(IDM_FINISHED, 0), 0);
        }
    }
    return 0;
}

} // namespace

void FlowTrace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    char line[1024];
    _vsnprintf(line, sizeof line - 1, format, args);
    line[sizeof line - 1] = 0;
    va_end(args);
    SetupTrace("%s", line);
}

string LastPathComponent(const string& path) {
    const CHAR* text = path.Psz8();
    const CHAR* last = text;
    for (const CHAR* p = text; *p; ++p)
        if (*p == '\\' || *p == '/') last = p + 1;
    return string(last);
}

void SetupProgressCallback(DWORD kind, LONG percent, const string& path, DWORD_PTR user) {
    UINT id;
    switch (kind) {
    case kProgressFile:
        id = IDS_STATUS_INSTALLING;
        break;
    case kProgressFolder:
        id = IDS_STATUS_FOLDER;
        break;
    case kProgressRegistry:
        id = IDS_STATUS_REGISTRY;
        break;
    case kProgressFinishing:
        id = IDS_STATUS_FINISHING;
        break;
    default:
        id = IDS_STATUS_UNINSTALL;
        break;
    }
    string name = LastPathComponent(path);
    sformat text(id, percent, name.Psz8());
    // The toolkits report every chunk they write; a line the frame already shows is not posted again, so
    // the frame's queue holds only what changes what a person sees.
    static LONG lastControl = 0;
    static CHAR lastText[256] = "";
    if (lastControl == static_cast<LONG>(user) && lstrcmpA(lastText, text.Psz8()) == 0) return;
    lastControl = static_cast<LONG>(user);
    lstrcpynA(lastText, text.Psz8(), sizeof lastText);
    UPDATESTATUS* record = NEW_UPDATESTATUS();
    record->control = static_cast<LONG>(user);
    record->percent = percent;
    lstrcpynA(record->text, text.Psz8(), sizeof record->text);
    // Once posted the record is the frame's; a post that fails leaves it here to free.
    if (!g_setup.frame || !PostMessage(g_setup.frame->GetHandle(), WM_COMMAND,
                                       MAKEWPARAM(IDM_UPDATESTATUS, 0), reinterpret_cast<LPARAM>(record)))
        MEMDELETE(record);
}

// Closing the frame while the worker installs: the person is asked; on yes, the worker finishes the step
// it is on, skips the remaining content steps and still writes the uninstaller and its entries, so that
// everything installed so far is in a saved log and the uninstall string removes it. The frame closes
// only when the worker has finished, and the closing box says the installation was stopped.
bool InstallOnToolkit(SetupToolkit* toolkit, LONG bar) {
    toolkit->SetProgressCallback(SetupProgressCallback, static_cast<DWORD_PTR>(bar));
    toolkit->OpenJournal(string(kAppName));
    const string gameKey("Software\\Tessel\\Vexlin");
    toolkit->RegisterValueForRemoval(HKEY_CURRENT_USER, gameKey, string("Settings"));
    toolkit->RegisterValueForRemoval(HKEY_CURRENT_USER, gameKey, string("HighScores"));
    toolkit->TransferLanguage(string(kAppName));
    toolkit->SaveJournal();

    string processor = toolkit->ProcessorName();
    string destination =
        sformat("%s\\%s\\vexlin.exe", toolkit->GetFolder(kFolderProgramFiles).Psz8(), kAppName);
    string member = sformat("%s\\vexlin.exe", processor.Psz8());
    bool stopped = StopHere();
    if (!stopped) {
        if (!toolkit->InstallFile(destination, *g_setup.archive, member, 5, 95)) {
            g_setup.lastError = sformat(IDS_NO_FILE, member.Psz8());
            FlowTrace("setup: failed %s\n", g_setup.lastError.Psz8());
            return false;
        }
        stopped = StopHere();
    }
    if (!stopped) {
        string shortcut =
            sformat("%s\\Games\\%s.lnk", toolkit->GetFolder(kFolderProgramsMenu).Psz8(), kAppName);
        if (!toolkit->LinkFile(shortcut, destination)) {
            g_setup.lastError = sformat(IDS_NO_FILE, member.Psz8());
            FlowTrace("setup: failed %s\n", g_setup.lastError.Psz8());
            return false;
        }
        stopped = StopHere();
    }
    string uninstaller = sformat("%s\\remora.dll", processor.Psz8());
    if (!toolkit->Finalize(*g_setup.archive, uninstaller, 95, 100)) {
        g_setup.lastError = LoadText(IDS_NO_UNINSTALL);
        FlowTrace("setup: failed %s\n", g_setup.lastError.Psz8());
        return false;
    }
    if (stopped) {
        g_setup.lastError = LoadText(IDS_STOPPED);
        FlowTrace("setup: stopped\n");
        return false;
    }
    return true;
}

LRESULT FrameProc(SkinWindow* window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        g_setup.frame = window;
        BuildLanguagePage();
        BuildMiddlePage();
        break;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDCANCEL:
        case kSkinCloseBox:
            if (!g_setup.progressPage) {
                FlowTrace("setup: closed\n");
                window->EndModal(0);
            } else if (g_setup.working && !g_setup.stopRequested) {
                int answer = SkinMessageBox(g_setup.skin, MB_ICONQUESTION | MB_YESNO, LoadText(IDS_TITLE),
                                            LoadText(IDS_ASK_STOP), window->GetHandle());
                // The worker may have finished while the question was up: its end is on its way.
                if (answer == IDYES && g_setup.working) {
                    InterlockedExchange(&g_setup.stopRequested, 1);
                    FlowTrace("setup: stop requested\n");
                }
            }
            break;
        case IDM_UPDATESTATUS: {
            UPDATESTATUS* record = reinterpret_cast<UPDATESTATUS*>(lParam);
            if (!record) break;
            window->SetProgress(static_cast<DWORD>(record->control), record->percent);
            window->SetText(IDC_STATUS, string(record->text));
            MEMDELETE(record);
            break;
        }
        case IDM_FINISHED:
            g_setup.result = lParam ? kResultSuccess : kResultFailure;
            FlowTrace("setup: result %ld\n", g_setup.result);
            window->EndModal(g_setup.result);
            break;
        }
        break;
    case WM_DESTROY:
        DestroyPage(&g_setup.topPage);
        DestroyPage(&g_setup.middlePage);
        DestroyPage(&g_setup.progressPage);
        break;
    }
    return 0;
}
