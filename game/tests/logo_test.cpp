// The logo splash on a real animation window with the program's packed resources: the timeline, the
// loader's worker thread and the two-second minimum, the hand-back of the window, the cancel when the
// window goes during the splash, and the memory manager's counts afterwards. Loaders are the tests' own.
#include "logo.h"

#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "mem_manager.h"
#include "zz_compress.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

const DWORD kFrameMs = 50; // at 20 frames per second

DWORD LiveBlocks() { return MemGetStats().liveBlocks; }

DWORD OwnCallback(AnimWindow*, DWORD, DWORD, LPARAM) { return 1; }

// What a loader saw on its thread.
struct Probe {
    AnimWindow* window;
    DWORD sleep;
    BOOL answer;
    DWORD startFrame, endFrame, startTick, endTick;
    BOOL showing;
    // The image's picture as the loader found it: size, its root's height, where it lies in the root.
    BOOL shown;
    LONG width, height, rootHeight, top;
    RECT rect;
    LRESULT callAnswer;
    DWORD callThread;
    BOOL nestedRun;
    BOOL done;
};

LRESULT OnWindowThread(void* parameter) {
    static_cast<Probe*>(parameter)->callThread = GetCurrentThreadId();
    return 77;
}

BOOL ProbeLoader(void* context) {
    Probe* p = static_cast<Probe*>(context);
    p->startTick = GetTickCount();
    p->startFrame = p->window->GetFrame();
    p->showing = Logo::isShowing();
    // The timeline is over when the loader starts: nothing moves the image any more.
    AnimObject* image = p->window->GetFirstOfDepth(5);
    Graphic* shown = image ? image->GetGraphic() : nullptr;
    if (shown && shown->GetParent()) {
        p->shown = TRUE;
        p->width = shown->GetWidth();
        p->height = shown->GetHeight();
        p->rootHeight = shown->GetParent()->GetHeight();
        p->top = shown->GetRectInParent().top;
        p->rect = image->GetRect();
    }
    p->callAnswer = Logo::callOnWindowThread(OnWindowThread, p);
    p->nestedRun = Logo::run(p->window, GetModuleHandle(nullptr), nullptr, nullptr, FALSE);
    Sleep(p->sleep);
    p->endFrame = p->window->GetFrame();
    p->endTick = GetTickCount();
    p->done = TRUE;
    return p->answer;
}

// Closes the window from the loader's thread, then asks the window thread for a call it must refuse.
BOOL ClosingLoader(void* context) {
    Probe* p = static_cast<Probe*>(context);
    PostMessage(p->window->GetHandle(), WM_CLOSE, 0, 0);
    Sleep(300);
    p->callAnswer = Logo::callOnWindowThread(OnWindowThread, p);
    Sleep(p->sleep);
    p->done = TRUE;
    return TRUE;
}

BOOL NeverLoader(void* context) {
    static_cast<Probe*>(context)->done = TRUE;
    return TRUE;
}

// Samples, from a timer on the window thread, which logo frame the image shows after each frame ran.
struct Sampler {
    AnimWindow* window;
    std::map<DWORD, LONG> shown; // frame that ran last -> logo frame index (-1: no picture)
    DWORD finishAt;              // a frame at which to end the splash from outside, or 0
};
Sampler g_sampler;
void CALLBACK Sample(HWND, UINT, UINT_PTR, DWORD) {
    AnimWindow* window = g_sampler.window;
    AnimObject* image = window->GetFirstOfDepth(5);
    if (!image || window->GetFrame() == 0) return;
    Graphic* g = image->GetGraphic();
    g_sampler.shown[window->GetFrame() - 1] = g ? g->GetRectInParent().top / g->GetHeight() : -1;
    if (g_sampler.finishAt && window->GetFrame() >= g_sampler.finishAt) Logo::finish();
}

HWND g_closeTarget = nullptr;
void CALLBACK CloseLater(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    DestroyWindow(g_closeTarget);
}

class LogoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        AnimInit(GetModuleHandle(nullptr), 0);
        // One whole splash first, kept and then released: the mixer and the engine make their lasting
        // allocations once, so that later counts compare like with like.
        HWND hwnd = MakeWindow();
        const DWORD start = GetTickCount();
        warmResult_ =
            Logo::run(AnimWindow::FromHandle(hwnd), GetModuleHandle(nullptr), nullptr, nullptr, TRUE);
        warmMs_ = GetTickCount() - start;
        warmKept_ = !Logo::isShowing();
        Logo::release();
        DestroyWindow(hwnd);
    }
    static HWND MakeWindow() {
        return CreateWindow(TEXT("AnimWindow"), TEXT(""), WS_POPUP, 0, 0, 240, 294, nullptr, nullptr,
                            GetModuleHandle(nullptr), nullptr);
    }
    void SetUp() override {
        baseline_ = LiveBlocks();
        hwnd_ = MakeWindow();
        window_ = AnimWindow::FromHandle(hwnd_);
        ASSERT_TRUE(window_);
        window_->SetCallback(OwnCallback);
        window_->SetFrameRate(40.0);
        probe_ = Probe();
        probe_.window = window_;
        palette_ = AnimGetDisplay()->GetPaletteGroup();
    }
    void TearDown() override {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        EXPECT_EQ(baseline_, LiveBlocks()) << "the splash leaves nothing behind";
        EXPECT_FALSE(Logo::isShowing());
    }
    // The window is handed back as it was.
    void ExpectRestored() {
        EXPECT_EQ(OwnCallback, window_->GetCallback());
        EXPECT_EQ(25u, window_->GetFrameInterval()) << "the rate was put back";
        EXPECT_EQ(nullptr, window_->GetFirstOfDepth(5)) << "the image went";
        EXPECT_EQ(palette_, AnimGetDisplay()->GetPaletteGroup());
        EXPECT_FALSE(Logo::isShowing());
    }

    static BOOL warmResult_;
    static DWORD warmMs_;
    static BOOL warmKept_;
    DWORD baseline_;
    HWND hwnd_;
    AnimWindow* window_;
    Probe probe_;
    PaletteGroup* palette_;
};
BOOL LogoTest::warmResult_;
DWORD LogoTest::warmMs_;
BOOL LogoTest::warmKept_;

TEST_F(LogoTest, WithoutALoaderTheSplashStillRunsItsTimelineAndTwoSeconds) {
    EXPECT_TRUE(warmResult_);
    EXPECT_TRUE(warmKept_) << "a kept splash is finished, not showing";
    EXPECT_GE(warmMs_, 46 * kFrameMs + 2000 - 2 * kFrameMs);
}

TEST_F(LogoTest, EndFrameIsFiveFramesOnAndNoSoonerThanTwoSecondsAfterTheLoaderStarted) {
    EXPECT_EQ(100u + 5 + 34, Logo::endFrame(100, 1000, 1300));
    EXPECT_EQ(100u + 5 + 40, Logo::endFrame(100, 1000, 1000));
    EXPECT_EQ(105u, Logo::endFrame(100, 1000, 3000));
    EXPECT_EQ(105u, Logo::endFrame(100, 1000, 3500));
    EXPECT_EQ(100u + 5 + 29, Logo::endFrame(100, 0xFFFFFF00, 0x100)) << "across the clock's wrap";
}

TEST_F(LogoTest, AShortLoaderStillLeavesTheSplashTwoSecondsPlusFiveFrames) {
    probe_.sleep = 300;
    probe_.answer = TRUE;
    const DWORD before = window_->GetFrame();
    const BOOL result = Logo::run(window_, GetModuleHandle(nullptr), ProbeLoader, &probe_, FALSE);
    const DWORD endTick = GetTickCount();
    const DWORD endFrame = window_->GetFrame() - 1;
    EXPECT_TRUE(result);
    ASSERT_TRUE(probe_.done);

    // The timeline: the loader starts 6 + 40 frames on, with the last picture centred on the window. (The
    // worker's first look at the frame counter may come a frame or two after its start.)
    EXPECT_GE(probe_.startFrame - before, 46u);
    EXPECT_LE(probe_.startFrame - before, 48u);
    EXPECT_TRUE(probe_.showing);
    ASSERT_TRUE(probe_.shown);
    const LONG width = probe_.width, height = probe_.height;
    EXPECT_EQ(20 * height, probe_.rootHeight);
    EXPECT_EQ(19 * height, probe_.top) << "the last frame shows";
    EXPECT_EQ((240 - width) / 2, probe_.rect.left);
    EXPECT_EQ((294 - height) / 2, probe_.rect.top);
    EXPECT_EQ(width, probe_.rect.right - probe_.rect.left);

    // The handoff ran on the window thread; a second splash was refused.
    EXPECT_EQ(77, probe_.callAnswer);
    EXPECT_EQ(GetCurrentThreadId(), probe_.callThread);
    EXPECT_FALSE(probe_.nestedRun);

    // Two seconds (40 frames) after the loader started, plus five frames; a loop running behind counts a
    // few frames less than the clock, which is what the splash waits for.
    EXPECT_GE(endFrame - probe_.startFrame, 42u);
    EXPECT_LE(endFrame - probe_.startFrame, 47u);
    EXPECT_GE(endTick - probe_.startTick, 2000 + 5 * kFrameMs - kFrameMs);
    EXPECT_LE(endTick - probe_.startTick, 2000 + 5 * kFrameMs + 1500);
    ExpectRestored();
}

TEST_F(LogoTest, ALongLoaderEndsTheSplashFiveFramesAfterItReturnsAndPassesItsFailureOn) {
    probe_.sleep = 2300;
    probe_.answer = FALSE;
    const BOOL result = Logo::run(window_, GetModuleHandle(nullptr), ProbeLoader, &probe_, FALSE);
    const DWORD endTick = GetTickCount();
    const DWORD endFrame = window_->GetFrame() - 1;
    EXPECT_FALSE(result) << "the loader's failure is the splash's answer";
    ASSERT_TRUE(probe_.done);
    EXPECT_GE(endFrame - probe_.endFrame, 5u);
    EXPECT_LE(endFrame - probe_.endFrame, 7u);
    EXPECT_GE(endTick - probe_.endTick, 5 * kFrameMs - kFrameMs);
    EXPECT_LE(endTick - probe_.endTick, 5 * kFrameMs + 1500);
    ExpectRestored();
}

TEST_F(LogoTest, ClosingTheWindowDuringTheLoaderCancelsAndWaitsForIt) {
    probe_.sleep = 300;
    const BOOL result = Logo::run(window_, GetModuleHandle(nullptr), ClosingLoader, &probe_, FALSE);
    EXPECT_FALSE(result) << "start-up fails";
    EXPECT_TRUE(probe_.done) << "the loader had ended before the splash returned";
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_EQ(0, probe_.callAnswer) << "a cancelled splash hands nothing to the window";
    EXPECT_EQ(0u, probe_.callThread);
    EXPECT_EQ(palette_, AnimGetDisplay()->GetPaletteGroup());
}

TEST_F(LogoTest, DestroyingTheWindowDuringTheAnimationCancelsBeforeTheLoader) {
    g_closeTarget = hwnd_;
    SetTimer(nullptr, 0, 600, CloseLater);
    const DWORD start = GetTickCount();
    const BOOL result = Logo::run(window_, GetModuleHandle(nullptr), NeverLoader, &probe_, FALSE);
    EXPECT_FALSE(result);
    EXPECT_FALSE(probe_.done) << "the loader never started";
    EXPECT_FALSE(IsWindow(hwnd_));
    EXPECT_LT(GetTickCount() - start, 2000u) << "the splash ended with its window";
    EXPECT_EQ(palette_, AnimGetDisplay()->GetPaletteGroup());
}

// The logo frame due after frame `relative` of the timeline (0 at its start): one a frame up to 12, then
// frames 13 to 19 every second frame from 26 on.
LONG ExpectedLogoFrame(LONG relative) {
    if (relative < 0) return -1;
    if (relative <= 12) return relative;
    if (relative < 26) return 12;
    if (relative <= 38) return 13 + (relative - 26) / 2;
    return 19;
}

TEST_F(LogoTest, TheTimelineShowsEachFrameAtItsFrameAndFinishEndsItEarly) {
    g_sampler = Sampler{window_, {}, 0};
    const DWORD t0 = window_->GetFrame() + 6;
    g_sampler.finishAt = t0 + 43;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, Sample);
    const BOOL result = Logo::run(window_, GetModuleHandle(nullptr), NeverLoader, &probe_, FALSE);
    KillTimer(nullptr, timer);
    EXPECT_FALSE(result) << "a splash ended from outside has failed";
    EXPECT_TRUE(probe_.done) << "its loader had started, and was waited for";
    EXPECT_LT(window_->GetFrame(), t0 + 60) << "finish did not wait for the two seconds";
    int checked = 0;
    for (const auto& sample : g_sampler.shown) {
        const LONG relative = static_cast<LONG>(sample.first - t0);
        if (relative > 40) continue;
        EXPECT_EQ(ExpectedLogoFrame(relative), sample.second) << "frame " << relative;
        ++checked;
    }
    EXPECT_GE(checked, 20) << "the timer saw most frames";
    ExpectRestored();
}

// A copy of this program whose resource `id` of type 4999 holds `data`, loaded as a data file.
class PatchedModule {
public:
    PatchedModule(WORD id, const std::vector<BYTE>& data) {
        TCHAR folder[MAX_PATH], self[MAX_PATH];
        GetTempPath(MAX_PATH, folder);
        GetTempFileName(folder, TEXT("vlg"), 0, path_);
        GetModuleFileName(nullptr, self, MAX_PATH);
        if (!CopyFile(self, path_, FALSE)) return;
        HANDLE update = BeginUpdateResource(path_, FALSE);
        if (!update) return;
        UpdateResource(update, MAKEINTRESOURCE(4999), MAKEINTRESOURCE(id),
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), const_cast<BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
        if (EndUpdateResource(update, FALSE))
            module = LoadLibraryEx(path_, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~PatchedModule() {
        if (module) FreeLibrary(module);
        DeleteFile(path_);
    }
    HMODULE module = nullptr;

private:
    TCHAR path_[MAX_PATH];
};

std::vector<BYTE> Packed(const std::vector<BYTE>& plain) {
    BYTE* out = nullptr;
    DWORD size = 0;
    ZZCompress(&out, &size, plain.data(), static_cast<DWORD>(plain.size()));
    std::vector<BYTE> block(out, out + size);
    ZZFree(out);
    return block;
}

TEST_F(LogoTest, ADamagedResourceFailsBeforeAnythingIsShown) {
    const std::vector<BYTE> notAPicture(4000, 0x5A);
    std::vector<BYTE> cutSound = Packed(std::vector<BYTE>(3000, 0x80));
    cutSound.resize(cutSound.size() / 2);
    struct Case {
        WORD id;
        std::vector<BYTE> data;
    } cases[] = {{5000, Packed(notAPicture)}, {5002, cutSound}, {5003, {1, 2, 3}}};
    for (const Case& c : cases) {
        PatchedModule patched(c.id, c.data);
        ASSERT_TRUE(patched.module) << c.id;
        const DWORD frame = window_->GetFrame();
        EXPECT_FALSE(Logo::run(window_, patched.module, NeverLoader, &probe_, FALSE)) << c.id;
        EXPECT_EQ(frame, window_->GetFrame()) << "no frame ran for " << c.id;
    }
    EXPECT_FALSE(probe_.done);
    ExpectRestored();
}

TEST_F(LogoTest, MissingResourcesFailBeforeAnythingIsShown) {
    const DWORD frame = window_->GetFrame();
    HMODULE without = GetModuleHandle(TEXT("kernel32.dll"));
    EXPECT_FALSE(Logo::run(window_, without, NeverLoader, &probe_, FALSE));
    EXPECT_FALSE(probe_.done);
    EXPECT_EQ(frame, window_->GetFrame()) << "no frame ran";
    ExpectRestored();
}

} // namespace
