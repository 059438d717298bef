// Logo: the maker's animated logo that owns the game's window while the game loads. It swaps in its own
// palette, frame callback and frame rate, plays a fixed timeline of 20 frames and three sounds, then runs
// the loader on a worker thread and ends no sooner than two seconds after the loader started.
#pragma once

#include <windows.h>

class AnimObject;
class AnimWindow;
class Graphic;
class PaletteGroup;
class Sound;

// Runs on the worker thread; answers success (TRUE) or failure.
typedef BOOL (*LogoLoader)(void* context);
// A call the loader hands to the window thread (see Logo::callOnWindowThread).
typedef LRESULT (*LogoWindowCall)(void* parameter);

// Resources of type 4999 (size-prefixed LZO1X streams): the picture and the three sounds.
const WORD kLogoPictureResource = 5000;
const WORD kLogoFirstSoundResource = 5001;
const DWORD kLogoFrameCount = 20;
const DWORD kLogoSoundCount = 3;
// Events of the splash's timeline on the window's clock.
enum { kLogoPlaySound = 1000, kLogoStopSound = 1001, kLogoStartLoader = 1002, kLogoEnd = 1003 };
// The splash's pace, and how long it lasts at least once the loader started.
const double kLogoFrameRate = 20.0;
const DWORD kLogoMinimumLoadTime = 2000;

class Logo {
public:
    // Shows the splash on `window` with the resources of `instance`, runs `loader(context)` (may be null)
    // on a worker thread, restores the window's callback and frame rate, and returns the loader's answer:
    // FALSE when a resource is missing or damaged (nothing is shown then), when the loader fails, or when
    // the window goes away during the splash. The Logo is destroyed afterwards unless `keep` is set and
    // the answer is TRUE; release() destroys a kept one. One splash at a time: a nested run fails.
    static BOOL run(AnimWindow* window, HINSTANCE instance, LogoLoader loader, void* context, BOOL keep);
    // A Logo exists and has not finished.
    static BOOL isShowing();
    // Ends a showing splash as failed, waiting for a running loader. For shutdown.
    static void finish();
    // Destroys a Logo kept by run (its palette goes back to the display).
    static void release();

    // For the loader: runs `call(parameter)` on the window thread and returns its answer, so that the
    // loader can hand over what belongs to the window (its filters, its objects). 0 without a call
    // when the splash was cancelled or no splash runs.
    static LRESULT callOnWindowThread(LogoWindowCall call, void* parameter);

    // Frame of the end event for a loader whose end the window thread learns at `frame` and `clock`: five
    // frames on, and no earlier than kLogoMinimumLoadTime after the loader started.
    static DWORD endFrame(DWORD frame, DWORD loaderStart, DWORD clock);

private:
    Logo(AnimWindow* window, HINSTANCE instance, LogoLoader loader, void* context);
    ~Logo();
    Logo(const Logo&) = delete;
    Logo& operator=(const Logo&) = delete;

    BOOL load();
    void start();
    void loop();
    void restore();
    void cancel();
    void waitForWorker();
    void startLoader();
    void scheduleEnd();
    BOOL windowAlive() const;

    static DWORD WINAPI worker(LPVOID parameter);
    static DWORD windowCallback(AnimWindow* window, DWORD event, DWORD value, LPARAM pointer);
    static DWORD objectCallback(AnimObject* object, DWORD message, LPARAM parameter);
    static LRESULT CALLBACK filter(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    AnimWindow* window_;
    HWND handle_; // the window's handle, to tell whether the window still exists
    HINSTANCE instance_;
    LogoLoader loader_;
    void* context_;
    Sound* sounds_[kLogoSoundCount];
    Graphic* picture_;
    Graphic* frames_[kLogoFrameCount];
    LONG frameWidth_;
    LONG frameHeight_;
    PaletteGroup* paletteGroup_;
    AnimObject* object_;
    PaletteGroup* savedPalette_;
    BOOL paletteSwapped_;
    DWORD (*savedCallback_)(AnimWindow*, DWORD, DWORD, LPARAM);
    double savedRate_;
    BOOL started_; // the window was taken over and must be restored
    DWORD loaderStart_;
    HANDLE thread_;
    // Shared with the worker thread, under lock_.
    CRITICAL_SECTION lock_;
    BOOL finished_;
    BOOL result_;
    BOOL cancelled_;
};
