// Message boxes, the toolkit's classes, the single-instance channel between two processes and the window
// helpers, on real windows. No box waits for a person: a replaced box call records what would be shown,
// and real boxes are found by their caption and closed by the test.
#include "mem_manager.h"
#include "tl_controls.h"
#include "tl_dialog.h"

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>
#include <string>

namespace {

#ifdef UNICODE
const char* kWidth = "W";
#else
const char* kWidth = "A";
#endif

DWORD LiveBlocks() { return MemGetStats().liveBlocks; }

// ---- message boxes through the replaced call ----

struct Shown {
    HWND owner;
    std::basic_string<TCHAR> text, caption;
    UINT flags;
    int calls;
};
Shown g_shown;
HANDLE g_release = nullptr; // when set, the recorder waits for it before answering

int WINAPI RecordBox(HWND owner, LPCTSTR text, LPCTSTR caption, UINT flags) {
    g_shown.owner = owner;
    g_shown.text = text;
    g_shown.caption = caption;
    g_shown.flags = flags;
    ++g_shown.calls;
    if (g_release) WaitForSingleObject(g_release, 10000);
    return IDNO;
}

class MessageTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_shown = Shown{reinterpret_cast<HWND>(1), {}, {}, 0, 0};
        previous_ = SetMessageBoxFunction(RecordBox);
    }
    void TearDown() override {
        SetMessageBoxFunction(previous_);
        if (g_release) CloseHandle(g_release);
        g_release = nullptr;
    }
    MessageBoxFunction previous_;
};

TEST_F(MessageTest, AStyleWithoutAnIconGetsOneByItsButtons) {
    const string caption(TEXT("Vexlin")), text(TEXT("Play again?"));
    ShowMessage(MB_OK, caption, text); // the test's own strings may keep conversion buffers
    g_shown.calls = 0;
    const DWORD before = LiveBlocks();
    struct Case {
        DWORD flags, shown;
    } cases[] = {
        {MB_YESNO, MB_YESNO | MB_ICONQUESTION},
        {MB_OK, MB_OK | MB_ICONINFORMATION},
        {MB_OKCANCEL | MB_DEFBUTTON2, MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONQUESTION},
        {MB_ICONSTOP | MB_OK, MB_ICONSTOP},
        {MB_ICONWARNING | MB_YESNOCANCEL, MB_ICONWARNING | MB_YESNOCANCEL},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IDNO, ShowMessage(c.flags, caption, text)) << std::hex << c.flags;
        EXPECT_EQ(c.shown, g_shown.flags) << std::hex << c.flags;
    }
    EXPECT_EQ(5, g_shown.calls);
    EXPECT_EQ(nullptr, g_shown.owner) << "a box has no owner";
    EXPECT_EQ(std::basic_string<TCHAR>(TEXT("Play again?")), g_shown.text);
    EXPECT_EQ(std::basic_string<TCHAR>(TEXT("Vexlin")), g_shown.caption);
    EXPECT_EQ(before, LiveBlocks()) << "the parameters are released after each box";
}

TEST_F(MessageTest, AnAsynchronousBoxReturnsAtOnceAndItsThreadReleasesTheParameters) {
    g_release = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    const string caption(TEXT("Async")), text(TEXT("Later"));
    SetEvent(g_release);
    ShowMessage(MB_OK, caption, text); // the test's own strings may keep conversion buffers
    ResetEvent(g_release);
    g_shown.calls = 0;
    const DWORD before = LiveBlocks();
    EXPECT_EQ(0, ShowMessage(MB_YESNO | kMessageAsync, caption, text));
    for (int i = 0; i < 500 && g_shown.calls == 0; ++i) Sleep(10);
    ASSERT_EQ(1, g_shown.calls) << "the box runs on its own thread";
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), g_shown.flags) << "bit 31 is not passed on";
    EXPECT_GT(LiveBlocks(), before) << "the box thread still holds its parameters";
    SetEvent(g_release);
    for (int i = 0; i < 500 && LiveBlocks() != before; ++i) Sleep(10);
    EXPECT_EQ(before, LiveBlocks());
}

// ---- real boxes, closed by the test ----

struct Closer {
    const TCHAR* caption;
    WPARAM command;
    BOOL closed;
};

HWND WaitForBox(const TCHAR* caption, DWORD milliseconds) {
    for (DWORD waited = 0; waited < milliseconds; waited += 20) {
        HWND box = FindWindow(TEXT("#32770"), caption);
        if (box) return box;
        Sleep(20);
    }
    return nullptr;
}

DWORD WINAPI CloseBox(LPVOID parameter) {
    Closer* closer = static_cast<Closer*>(parameter);
    HWND box = WaitForBox(closer->caption, 20000);
    if (box) closer->closed = PostMessage(box, WM_COMMAND, closer->command, 0);
    return 0;
}

TEST(RealMessageBox, AnsweredBoxReturnsTheButtonPressed) {
    const TCHAR* caption = TEXT("Vexlin test question");
    Closer closer = {caption, IDYES, FALSE};
    HANDLE thread = CreateThread(nullptr, 0, CloseBox, &closer, 0, nullptr);
    ASSERT_TRUE(thread);
    const int answer = ShowMessage(MB_YESNO, string(caption), string(TEXT("Go on?")));
    WaitForSingleObject(thread, 20000);
    CloseHandle(thread);
    EXPECT_TRUE(closer.closed);
    EXPECT_EQ(IDYES, answer);
}

TEST(RealMessageBox, AsynchronousBoxStaysUpAfterTheCallUntilClosed) {
    const TCHAR* caption = TEXT("Vexlin test notice");
    const DWORD before = LiveBlocks();
    EXPECT_EQ(0, ShowMessage(MB_OK | kMessageAsync, string(caption), string(TEXT("Loading failed."))));
    HWND box = WaitForBox(caption, 20000);
    ASSERT_TRUE(box) << "the box appears on its own thread";
    EXPECT_NE(GetCurrentThreadId(), GetWindowThreadProcessId(box, nullptr));
    EXPECT_GT(LiveBlocks(), before);
    PostMessage(box, WM_COMMAND, IDOK, 0);
    for (int i = 0; i < 1000 && (IsWindow(box) || LiveBlocks() != before); ++i) Sleep(10);
    EXPECT_FALSE(IsWindow(box));
    EXPECT_EQ(before, LiveBlocks()) << "the box thread released its parameters";
}

// ---- the toolkit's classes ----

TEST(GuiLib, RegistersTheFourClassesOnceAndAgainWithoutFailing) {
    HINSTANCE module = GetModuleHandle(nullptr);
    EXPECT_TRUE(InitGuiLib(module));
    EXPECT_TRUE(InitGuiLib(module)) << "classes that exist are no failure";
    const HCURSOR arrow = LoadCursor(nullptr, IDC_ARROW);
    WNDCLASS staticClass = {};
    ASSERT_TRUE(GetClassInfo(nullptr, TEXT("Static"), &staticClass));
    struct Case {
        const TCHAR* name;
        UINT style;
        int extra;
        HCURSOR cursor;
        HBRUSH background;
    } cases[] = {
        {GUILIB_DIALOG_CLASS, 0x4003, 32, arrow, nullptr},
        {COLORBUTTON_CLASS, 0, 12, arrow, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
        {STATICEX_CLASS, staticClass.style, 8, nullptr, nullptr},
        {ETCHEDLINE_CLASS, 0, 0, arrow, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1)},
    };
    for (const Case& c : cases) {
        WNDCLASS wc = {};
        ASSERT_TRUE(GetClassInfo(module, c.name, &wc)) << c.extra;
        EXPECT_EQ(c.style, wc.style) << c.extra;
        EXPECT_EQ(c.extra, wc.cbWndExtra);
        EXPECT_EQ(0, wc.cbClsExtra);
        EXPECT_EQ(c.cursor, wc.hCursor) << c.extra;
        EXPECT_EQ(c.background, wc.hbrBackground) << c.extra;
        EXPECT_EQ(nullptr, wc.lpszMenuName);
    }
}

TEST(GuiLib, DialogClassWithDefaultStyleCarriesItsIconAndMakesDialogs) {
    HINSTANCE module = GetModuleHandle(nullptr);
    HICON icon = LoadIcon(nullptr, IDI_APPLICATION);
    const TCHAR* name = TEXT("VexlinTestDialogClass");
    ATOM atom = RegisterDialogClass(module, name, icon, 0);
    ASSERT_NE(0, atom);
    WNDCLASS wc = {};
    ASSERT_TRUE(GetClassInfo(module, name, &wc));
    EXPECT_EQ(0x4003u, wc.style) << "style 0 means the toolkit's own";
    EXPECT_EQ(icon, wc.hIcon);
    EXPECT_EQ(0, RegisterDialogClass(module, name, icon, 0)) << "a second registration fails";

    // A dialog of the class behaves as a dialog: DefDlgProc answers and keeps its result.
    HWND dialog =
        CreateWindowEx(0, name, TEXT("dlg"), WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, module, nullptr);
    ASSERT_TRUE(dialog);
    SetWindowLongPtr(dialog, DWLP_MSGRESULT, 1234);
    EXPECT_EQ(1234, GetWindowLongPtr(dialog, DWLP_MSGRESULT));
    DestroyWindow(dialog);
    UnregisterClass(name, module);
}

// ---- the single-instance channel ----

std::basic_string<TCHAR> Widen(const std::string& text) {
    return std::basic_string<TCHAR>(text.begin(), text.end());
}

std::string ProgramName(const char* purpose) {
    char name[128];
    sprintf(name, "Vexlin %s %s %lu", purpose, kWidth, GetCurrentProcessId());
    return name;
}

HWND ChannelOf(const std::string& name) { return FindWindow(Widen(name + " IPC").c_str(), nullptr); }

HWND MakeWindow() {
    return CreateWindowEx(0, TEXT("Static"), TEXT("main"), WS_POPUP, 0, 0, 20, 20, nullptr, nullptr,
                          GetModuleHandle(nullptr), nullptr);
}

TEST(InstanceChannel, FirstStartOwnsAHiddenChannelAndLaterLooksFindTheStoredWindow) {
    const std::string name = ProgramName("First");
    const string programName(Widen(name).c_str());
    EXPECT_FALSE(SetInstanceWindow(programName, MakeWindow())) << "no channel before the first look";
    ASSERT_EQ(nullptr, FindRunningInstance(programName)) << "the first start";

    HWND channel = ChannelOf(name);
    ASSERT_TRUE(channel);
    RECT r;
    GetWindowRect(channel, &r);
    EXPECT_EQ(-10, r.left);
    EXPECT_EQ(-10, r.top);
    EXPECT_EQ(5, r.right - r.left);
    EXPECT_EQ(5, r.bottom - r.top);
    EXPECT_FALSE(IsWindowVisible(channel));
    EXPECT_EQ(static_cast<LONG>(WS_POPUP), GetWindowLong(channel, GWL_STYLE) & (WS_POPUP | WS_CHILD));
    EXPECT_EQ(nullptr, GetParent(channel));

    EXPECT_EQ(channel, FindRunningInstance(programName))
        << "until a main window is stored, the channel itself";
    HWND main = MakeWindow();
    ASSERT_TRUE(SetInstanceWindow(programName, main));
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(toupper(c));
    EXPECT_EQ(main, FindRunningInstance(string(Widen(upper).c_str()))) << "names compare without case";
    EXPECT_EQ(channel, ChannelOf(name)) << "no second channel";
    DestroyWindow(main);
    DestroyWindow(channel);
}

// Run in a second process: looks for the program named by the environment and writes what it found.
TEST(InstanceChannel, ChildProbe) {
    const char* name = getenv("VEXLIN_INSTANCE_PROBE");
    const char* out = getenv("VEXLIN_INSTANCE_OUT");
    if (!name || !out) GTEST_SKIP() << "only run by the two-process test";
    HWND found = FindRunningInstance(string(Widen(name).c_str()));
    FILE* f = fopen(out, "w");
    ASSERT_TRUE(f);
    fprintf(f, "%lu\n", static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(found)));
    fclose(f);
}

// Starts this program again with only the probe test, for a given name; the handle the probe found, or
// ~0 when the probe left no answer.
UINT_PTR ProbeInOtherProcess(const std::string& name) {
    char self[MAX_PATH], temp[MAX_PATH], out[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    GetTempPathA(MAX_PATH, temp);
    GetTempFileNameA(temp, "vip", 0, out);
    SetEnvironmentVariableA("VEXLIN_INSTANCE_PROBE", name.c_str());
    SetEnvironmentVariableA("VEXLIN_INSTANCE_OUT", out);
    std::string command = std::string("\"") + self + "\" --gtest_filter=InstanceChannel.ChildProbe";
    // The probe's own report goes nowhere: its closing line must not pass for this program's.
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nullptr;
    si.hStdOutput = nul;
    si.hStdError = nul;
    PROCESS_INFORMATION pi = {};
    UINT_PTR found = ~static_cast<UINT_PTR>(0);
    std::string line(command);
    BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
    if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
    if (started) {
        // Messages of this thread keep flowing, so a look at its windows from outside is answered.
        while (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 60000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
        }
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        FILE* f = fopen(out, "r");
        unsigned long value = 0;
        if (f && fscanf(f, "%lu", &value) == 1) found = value;
        if (f) fclose(f);
    }
    SetEnvironmentVariableA("VEXLIN_INSTANCE_PROBE", nullptr);
    SetEnvironmentVariableA("VEXLIN_INSTANCE_OUT", nullptr);
    DeleteFileA(out);
    return found;
}

TEST(InstanceChannel, ASecondProcessGetsTheFirstOnesMainWindow) {
    const std::string name = ProgramName("Shared");
    const string programName(Widen(name).c_str());
    ASSERT_EQ(nullptr, FindRunningInstance(programName));
    HWND main = MakeWindow();
    ASSERT_TRUE(SetInstanceWindow(programName, main));

    std::string lower = name;
    for (char& c : lower) c = static_cast<char>(tolower(c));
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(main), ProbeInOtherProcess(lower));
    EXPECT_EQ(0u, ProbeInOtherProcess(ProgramName("Unrelated"))) << "another program starts first";
    EXPECT_FALSE(ChannelOf(ProgramName("Unrelated"))) << "its channel went with its process";

    DestroyWindow(main);
    DestroyWindow(ChannelOf(name));
}

// ---- window helpers ----

TEST(WindowHelpers, BringToFrontRaisesWithoutLeavingTheWindowTopmost) {
    HWND other = CreateWindowEx(0, TEXT("Static"), TEXT("other"), WS_POPUP | WS_VISIBLE, 0, 0, 30, 30,
                                nullptr, nullptr, GetModuleHandle(nullptr), nullptr);
    HWND window = CreateWindowEx(0, TEXT("Static"), TEXT("front"), WS_POPUP | WS_VISIBLE, 10, 10, 30, 30,
                                 nullptr, nullptr, GetModuleHandle(nullptr), nullptr);
    SetForegroundWindow(other);
    SetWindowPos(other, HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    EXPECT_TRUE(BringToFront(window));
    EXPECT_EQ(window, GetForegroundWindow());
    EXPECT_EQ(0, GetWindowLong(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    HWND below = window;
    while (below && below != other) below = GetWindow(below, GW_HWNDNEXT);
    EXPECT_EQ(other, below) << "above the other window";

    SetForegroundWindow(other);
    EXPECT_EQ(BringToFront(window), MakeFullScreen(window, TRUE));
    EXPECT_EQ(window, GetForegroundWindow());
    EXPECT_TRUE(InitFullScreenDialog(window));
    DestroyWindow(window);
    DestroyWindow(other);
}

TEST(WindowHelpers, FindChildDialogLooksOnlyAtDirectChildren) {
    HINSTANCE module = GetModuleHandle(nullptr);
    HWND parent = CreateWindowEx(0, TEXT("Static"), TEXT("parent"), WS_POPUP, 0, 0, 100, 100, nullptr,
                                 nullptr, module, nullptr);
    HWND holder =
        CreateWindowEx(0, TEXT("Static"), TEXT(""), WS_CHILD, 0, 0, 50, 50, parent, nullptr, module, nullptr);
    EXPECT_EQ(nullptr, FindChildDialog(parent));
    EXPECT_EQ(nullptr, FindChildDialog(nullptr));
    HWND nested =
        CreateWindowEx(0, TEXT("#32770"), TEXT(""), WS_CHILD, 0, 0, 20, 20, holder, nullptr, module, nullptr);
    ASSERT_TRUE(nested);
    EXPECT_EQ(nullptr, FindChildDialog(parent)) << "a grandchild is not looked at";
    HWND dialog =
        CreateWindowEx(0, TEXT("#32770"), TEXT(""), WS_CHILD, 0, 0, 20, 20, parent, nullptr, module, nullptr);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog, FindChildDialog(parent));
    DestroyWindow(parent);
}

} // namespace
