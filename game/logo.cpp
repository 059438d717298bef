// The logo splash: loading its packed resources, the timeline, the loader's worker thread and the
// hand-back of the window.
//
// Threads: the worker runs only the loader and touches neither the window nor the engine's clock (whose
// counter is not guarded). It stores the loader's answer under the Logo's lock and posts its end to the
// window (kLogoLoaderDone); the window thread, in the Logo's filter, reads the clock and schedules the end
// event on the window's own table. What the loader must give to the window (the game's stylus filter)
// goes the same way, through callOnWindowThread, a message sent to the window and run by that filter.
#include "logo.h"

#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "cea_sound.h"
#include "mem_manager.h"
#include "zz_compress.h"

namespace {

// Private messages of the splash to its window: the loader ended (posted), a call for the window thread
// (sent; the long parameter points to a WindowCallRequest).
const UINT kLogoLoaderDone = WM_APP + 0x4C0;
const UINT kLogoWindowCall = WM_APP + 0x4C1;

struct WindowCallRequest {
    LogoWindowCall call;
    void* parameter;
    LRESULT answer; // written on the window thread before the sent message returns
    BOOL done;
};

// Depth of the image object, and how many frames after the start the timeline begins.
const LONG kLogoDepth = 5;
const DWORD kLeadFrames = 6;
// The worker's end reaches the window this many frames before the splash ends.
const DWORD kEndDelayFrames = 5;

Logo* g_logo = nullptr;

} // namespace

Logo::Logo(AnimWindow* window, HINSTANCE instance, LogoLoader loader, void* context)
    : window_(window), handle_(window ? window->GetHandle() : nullptr), instance_(instance), loader_(loader),
      context_(context), picture_(nullptr), frameWidth_(0), frameHeight_(0), paletteGroup_(nullptr),
      object_(nullptr), savedPalette_(nullptr), paletteSwapped_(FALSE), savedCallback_(nullptr),
      savedRate_(0), started_(FALSE), loaderStart_(0), thread_(nullptr), finished_(FALSE), result_(TRUE),
      cancelled_(FALSE) {
    for (DWORD i = 0; i < kLogoSoundCount; ++i) sounds_[i] = nullptr;
    for (DWORD i = 0; i < kLogoFrameCount; ++i) frames_[i] = nullptr;
    InitializeCriticalSection(&lock_);
}

Logo::~Logo() {
    // By now the worker has posted its end (or was waited for): this only collects the thread.
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (paletteSwapped_ && AnimGetDisplay()) AnimGetDisplay()->SetPaletteGroup(savedPalette_);
    if (object_) MEMDELETE(object_); // its amDESTROY clears object_
    object_ = nullptr;
    for (DWORD i = 0; i < kLogoSoundCount; ++i)
        if (sounds_[i]) MEMDELETE(sounds_[i]);
    for (DWORD i = 0; i < kLogoFrameCount; ++i)
        if (frames_[i]) MEMDELETE(frames_[i]);
    if (picture_) MEMDELETE(picture_);
    if (paletteGroup_) MEMDELETE(paletteGroup_);
    DeleteCriticalSection(&lock_);
}

BOOL Logo::load() {
    for (DWORD i = 0; i < kLogoSoundCount; ++i) {
        BYTE* data = nullptr;
        DWORD size = 0;
        if (!ZZLoadResource(instance_, MAKEINTRESOURCE(kLogoFirstSoundResource + i), &data, &size))
            return FALSE;
        sounds_[i] = MEMNEW(Sound, (data, size));
        ZZFree(data);
        if (!sounds_[i] || !sounds_[i]->HasData()) return FALSE;
    }

    BYTE* data = nullptr;
    DWORD size = 0;
    if (!ZZLoadResource(instance_, MAKEINTRESOURCE(kLogoPictureResource), &data, &size)) return FALSE;
    picture_ = MEMNEW(Graphic, (nullptr, data, size, kNoColor));
    ZZFree(data);
    if (!picture_ || !picture_->IsLoaded()) return FALSE;
    frameWidth_ = picture_->GetWidth();
    frameHeight_ = picture_->GetHeight() / static_cast<LONG>(kLogoFrameCount);
    if (frameWidth_ <= 0 || frameHeight_ <= 0) return FALSE;

    paletteGroup_ = MEMNEW(PaletteGroup, ());
    if (!paletteGroup_ || !paletteGroup_->Open()) return FALSE;
    paletteGroup_->Add(picture_);
    paletteGroup_->Close();

    for (DWORD k = 0; k < kLogoFrameCount; ++k) {
        RECT strip = {0, static_cast<LONG>(k) * frameHeight_, frameWidth_,
                      static_cast<LONG>(k + 1) * frameHeight_};
        frames_[k] = MEMNEW(Graphic, (picture_, &strip));
        if (!frames_[k]) return FALSE;
    }
    return TRUE;
}

void Logo::start() {
    started_ = TRUE;
    window_->Lock();
    window_->FillBackground(RGB(0, 0, 0), nullptr);
    if (AnimGetDisplay()) {
        savedPalette_ = AnimGetDisplay()->GetPaletteGroup();
        paletteSwapped_ = AnimGetDisplay()->SetPaletteGroup(paletteGroup_);
    }
    savedCallback_ = window_->GetCallback();
    window_->SetCallback(windowCallback);
    savedRate_ = window_->GetFrameRate();
    window_->SetFrameRate(kLogoFrameRate);
    window_->AddFilter(filter, FilterFlags(afALL, 1));

    object_ = NEW_ANIMOBJECT((window_, objectCallback, kLogoDepth));
    if (object_) {
        LONG x = (window_->GetWidth() - frameWidth_) / 2;
        LONG y = (window_->GetHeight() - frameHeight_) / 2;
        RECT place = {x, y, x + frameWidth_, y + frameHeight_};
        object_->SetRect(&place);
    }

    const DWORD t0 = window_->GetFrame() + kLeadFrames;
    window_->ScheduleEvent(t0, kLogoPlaySound, 1);
    for (DWORD k = 0; k <= 12; ++k)
        if (object_) window_->ScheduleObject(t0 + k, object_, frames_[k], nullptr);
    window_->ScheduleEvent(t0 + 13, kLogoPlaySound, 2);
    window_->ScheduleEvent(t0 + 13, kLogoStopSound, 1);
    window_->ScheduleEvent(t0 + 26, kLogoPlaySound, 3);
    for (DWORD k = 13; k < kLogoFrameCount; ++k)
        if (object_) window_->ScheduleObject(t0 + 26 + 2 * (k - 13), object_, frames_[k], nullptr);
    // Without this entry the splash could never end: its failure ends the splash at once.
    if (window_->ScheduleEvent(t0 + 40, kLogoStartLoader, 0) == 0xFFFFFFFF) finished_ = TRUE;
    window_->Unlock();
}

BOOL Logo::windowAlive() const { return IsWindow(handle_) && AnimWindow::FromHandle(handle_) == window_; }

void Logo::loop() {
    while (!finished_) {
        if (!windowAlive()) {
            // Gone without telling the splash (its callback was replaced): the same as a destruction.
            cancel();
            break;
        }
        window_->Play(1);
    }
}

void Logo::restore() {
    if (!started_ || !windowAlive()) return;
    window_->RemoveFilter(filter);
    // Nothing of the timeline may reach the restored callback, whose own events may share these codes.
    for (DWORD code = kLogoPlaySound; code <= kLogoEnd; ++code) window_->UnscheduleEvents(code, 0);
    if (object_) window_->UnscheduleObject(object_);
    window_->SetCallback(savedCallback_);
    if (savedRate_ != 0) window_->SetFrameRate(savedRate_);
    started_ = FALSE;
}

void Logo::cancel() {
    EnterCriticalSection(&lock_);
    result_ = FALSE;
    cancelled_ = TRUE;
    LeaveCriticalSection(&lock_);
    for (DWORD i = 0; i < kLogoSoundCount; ++i)
        if (sounds_[i]) sounds_[i]->Stop();
    waitForWorker();
    finished_ = TRUE;
}

void Logo::waitForWorker() {
    if (!thread_) return;
    // Only sent messages are handled while waiting: a loader blocked in callOnWindowThread gets its answer
    // (0, the splash being cancelled), and nothing posted to a window that may be half torn down runs.
    while (MsgWaitForMultipleObjects(1, &thread_, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

DWORD Logo::endFrame(DWORD frame, DWORD loaderStart, DWORD clock) {
    const DWORD elapsed = clock - loaderStart;
    const DWORD remaining = elapsed < kLogoMinimumLoadTime ? kLogoMinimumLoadTime - elapsed : 0;
    return frame + kEndDelayFrames + remaining * static_cast<DWORD>(kLogoFrameRate) / 1000;
}

void Logo::scheduleEnd() {
    DWORD frame = endFrame(window_->GetFrame(), loaderStart_, AnimGetTime());
    // A splash whose end cannot be scheduled would never end: it ends now.
    if (window_->ScheduleEvent(frame, kLogoEnd, 0) == 0xFFFFFFFF) finished_ = TRUE;
}

void Logo::startLoader() {
    loaderStart_ = AnimGetTime();
    if (loader_) thread_ = CreateThread(nullptr, 0, worker, this, 0, nullptr);
    if (loader_ && !thread_) {
        EnterCriticalSection(&lock_);
        result_ = FALSE; // a loader that cannot run has failed
        LeaveCriticalSection(&lock_);
    }
    // Without a running loader the splash still lasts its two seconds.
    if (!thread_) scheduleEnd();
}

DWORD WINAPI Logo::worker(LPVOID parameter) {
    Logo* logo = static_cast<Logo*>(parameter);
    BOOL answer = logo->loader_(logo->context_);
    EnterCriticalSection(&logo->lock_);
    if (!logo->cancelled_) logo->result_ = answer;
    const BOOL cancelled = logo->cancelled_;
    LeaveCriticalSection(&logo->lock_);
    // A cancelled splash waits for this thread itself; its window may be gone.
    if (!cancelled) PostMessage(logo->handle_, kLogoLoaderDone, 0, 0);
    return 0;
}

LRESULT CALLBACK Logo::filter(HWND window, UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    Logo* logo = g_logo;
    if (!logo || window != logo->handle_) return 0;
    if (message == kLogoLoaderDone) {
        if (!logo->finished_ && !logo->cancelled_) logo->scheduleEnd();
        return 1;
    }
    if (message == kLogoWindowCall) {
        WindowCallRequest* request = reinterpret_cast<WindowCallRequest*>(lParam);
        if (logo->cancelled_ || !request || !request->call) return 1;
        // The window procedure answers with the default procedure's result: the call's answer travels in
        // the request instead.
        request->answer = request->call(request->parameter);
        request->done = TRUE;
        return 1;
    }
    return 0;
}

LRESULT Logo::callOnWindowThread(LogoWindowCall call, void* parameter) {
    Logo* logo = g_logo;
    if (!logo || !call) return 0;
    WindowCallRequest request = {call, parameter, 0, FALSE};
    SendMessage(logo->handle_, kLogoWindowCall, 0, reinterpret_cast<LPARAM>(&request));
    return request.done ? request.answer : 0;
}

DWORD Logo::windowCallback(AnimWindow* window, DWORD event, DWORD code, LPARAM value) {
    Logo* logo = g_logo;
    if (!logo || window != logo->window_) return 1;
    switch (event) {
    case awDESTROY:
        logo->cancel();
        break;
    case awBACKGROUND:
        window->FillBackground(RGB(0, 0, 0), nullptr);
        break;
    case awEVENT: {
        Sound* sound =
            value >= 1 && value <= static_cast<LPARAM>(kLogoSoundCount) ? logo->sounds_[value - 1] : nullptr;
        if (code == kLogoPlaySound && sound && !logo->cancelled_) sound->Play(Sound::kOnce);
        if (code == kLogoStopSound && sound && !logo->cancelled_) sound->Stop();
        if (code == kLogoStartLoader) logo->startLoader();
        if (code == kLogoEnd) logo->finished_ = TRUE;
        break;
    }
    }
    return 1;
}

BOOL Logo::run(AnimWindow* window, HINSTANCE instance, LogoLoader loader, void* context, BOOL keep) {
    if (g_logo || !window) return FALSE;
    Logo* logo = static_cast<Logo*>(MemRegisterObject(new Logo(window, instance, loader, context),
                                                      sizeof(Logo), "LOGO", __FILE__, __LINE__));
    if (!logo) return FALSE;
    g_logo = logo;
    BOOL result = FALSE;
    if (logo->load()) {
        logo->start();
        logo->loop();
        EnterCriticalSection(&logo->lock_);
        result = logo->result_;
        LeaveCriticalSection(&logo->lock_);
    }
    logo->restore();
    if (!(keep && result)) release();
    return result;
}

BOOL Logo::isShowing() { return g_logo && !g_logo->finished_; }

void Logo::finish() {
    if (isShowing()) g_logo->cancel();
}

void Logo::release() {
    Logo* logo = g_logo;
    if (!logo) return;
    logo->restore();
    g_logo = nullptr;
    MEMDELETE(logo);
}

DWORD Logo::objectCallback(AnimObject* object, DWORD message, LPARAM /*parameter*/) {
    if (message == amDESTROY && g_logo && g_logo->object_ == object) g_logo->object_ = nullptr;
    return 1;
}
