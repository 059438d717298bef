// The animation window: engine start-up, the window procedure, surfaces and composition, depth lists,
// the frame clock with its schedule, and the paced frame loop.
#include "cea_anim_window.h"

#include <string.h>

#include "ce_compat.h"
#include "cea_anim_object.h"
#include "cea_graphic.h"
#include "cea_palette_group.h"
#include "mem_manager.h"

namespace {

const DWORD kNoSlot = 0xFFFFFFFF;
const double kDefaultFrameRate = 40.0;
const DWORD kBusyPaint = 999;
// A region grows by at most one rectangle per pass; real scenes settle in a few passes.
const DWORD kMaxExpansionPasses = 10000;

struct AnimGlobals {
    BOOL initialised;
    BOOL highResolution;
    DWORD frequency;
    DWORD elapsed;
    LONGLONG last;
    AnimDisplay* display;
    AnimWindow** windows;
    DWORD windowCount;
    HWND cachedHandle;
    AnimWindow* cachedWindow;
    AnimClock clock;
};
AnimGlobals g_anim;

BOOL IsEmptyRect(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Intersection(const RECT& a, const RECT& b) {
    RECT r = {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
              a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    return r;
}

BOOL IsListed(AnimWindow* window) {
    for (DWORD i = 0; i < g_anim.windowCount; ++i)
        if (g_anim.windows[i] == window) return TRUE;
    return FALSE;
}

BOOL ListWindow(AnimWindow* window) {
    for (DWORD i = 0; i < g_anim.windowCount; ++i)
        if (!g_anim.windows[i]) {
            g_anim.windows[i] = window;
            return TRUE;
        }
    DWORD index = g_anim.windowCount;
    if (!MEMREALLOC(AnimWindow*, g_anim.windows, g_anim.windowCount, index + 1, 1)) return FALSE;
    g_anim.windows[index] = window;
    return TRUE;
}

void UnlistWindow(AnimWindow* window) {
    for (DWORD i = 0; i < g_anim.windowCount; ++i)
        if (g_anim.windows[i] == window) g_anim.windows[i] = nullptr;
    if (g_anim.cachedWindow == window) {
        g_anim.cachedWindow = nullptr;
        g_anim.cachedHandle = nullptr;
    }
}

} // namespace

// ---- the display ----

AnimDisplay::AnimDisplay(BOOL force8Bits) {
    width_ = GetSystemMetrics(SM_CXSCREEN);
    height_ = GetSystemMetrics(SM_CYSCREEN);
    HDC screen = ::GetDC(nullptr);
    depth_ = screen ? GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) : 32;
    if (screen) ::ReleaseDC(nullptr, screen);
    if (force8Bits) depth_ = 8;
}

RECT AnimDisplay::GetRect() const {
    RECT r = {0, 0, width_, height_};
    return r;
}

PaletteGroup* AnimDisplay::GetPaletteGroup() const { return PaletteGroup::GetDisplayGroup(); }

BOOL AnimDisplay::SetPaletteGroup(PaletteGroup* group) {
    PaletteGroup::SetDisplayGroup(group);
    for (DWORD i = 0; i < g_anim.windowCount; ++i) {
        AnimWindow* window = g_anim.windows[i];
        if (!window) continue;
        window->DeleteSurfaces();
        window->RebuildSurfaces();
    }
    return 1;
}

HPALETTE AnimDisplay::GetPaletteHandle() const {
    PaletteGroup* group = GetPaletteGroup();
    if (!IsPalettized() || !group) return nullptr;
    return group->GetPaletteHandle();
}

// ---- start-up and time ----

BOOL AnimInit(HINSTANCE instance, DWORD flags) {
    if (g_anim.initialised) return g_anim.initialised;
    WNDCLASS wc;
    memset(&wc, 0, sizeof wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_GLOBALCLASS;
    wc.lpfnWndProc = AnimWindowProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = TEXT("AnimWindow");
    if (!RegisterClass(&wc)) return 0;
    wc.hCursor = nullptr;
    wc.lpszClassName = TEXT("AnimWindowNoCursor");
    if (!RegisterClass(&wc)) return 0;
    LARGE_INTEGER frequency;
    if (QueryPerformanceFrequency(&frequency) && frequency.LowPart != 0) {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        g_anim.highResolution = TRUE;
        g_anim.frequency = frequency.LowPart;
        g_anim.elapsed = 0;
        g_anim.last = now.QuadPart;
    }
    g_anim.initialised = TRUE;
    AnimDisplay* display = new AnimDisplay((flags & aiFORCE8BPP) != 0);
    g_anim.display = static_cast<AnimDisplay*>(
        MemRegisterObject(display, sizeof(AnimDisplay), "DISPLAY", __FILE__, __LINE__));
    if (g_anim.display) MEMTARE(g_anim.display);
    return 1;
}

DWORD AnimGetTime() {
    if (g_anim.clock) return g_anim.clock();
    if (!g_anim.highResolution) return GetTickCount();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    LONGLONG milliseconds = (now.QuadPart - g_anim.last) * 1000 / g_anim.frequency;
    g_anim.elapsed += static_cast<DWORD>(milliseconds);
    // Only the whole milliseconds are consumed: frequent callers would otherwise lose the fractions and
    // slow the clock down.
    g_anim.last += milliseconds * g_anim.frequency / 1000;
    return g_anim.elapsed;
}

AnimClock AnimSetClock(AnimClock clock) {
    AnimClock old = g_anim.clock;
    g_anim.clock = clock;
    return old;
}

AnimDisplay* AnimGetDisplay() { return g_anim.display; }

// ---- lifetime ----

AnimWindow* AnimWindow::FromHandle(HWND window) {
    if (!window) return nullptr;
    if (window == g_anim.cachedHandle && g_anim.cachedWindow &&
        g_anim.cachedWindow->signature_ == kAnimSignature && g_anim.cachedWindow->window_ == window)
        return g_anim.cachedWindow;
    AnimWindow* record = reinterpret_cast<AnimWindow*>(GetWindowLongPtr(window, 0));
    // Only records of this process's window list are read, so a stray value in another class's extra
    // bytes cannot fault.
    if (!record || !IsListed(record) || record->signature_ != kAnimSignature || record->window_ != window)
        return nullptr;
    g_anim.cachedHandle = window;
    g_anim.cachedWindow = record;
    return record;
}

AnimWindow::Busy::~Busy() {
    if (--window_->busy_ == 0 && window_->signature_ == kAnimDeadSignature) MEMDELETE(window_);
}

AnimWindow::AnimWindow(HWND window)
    : signature_(0), window_(window), background_(nullptr), stage_(nullptr), frame_(nullptr), paintCount_(0),
      lockCount_(0), callback_(nullptr), interval_(0), timerPeriod_(0), timing_(nullptr), timingIndex_(0),
      frameRate_(nullptr), status_(nullptr), currentFrame_(0), endFrame_(0), data_(nullptr), dataCount_(0),
      depths_(nullptr), depthCount_(0), resync_(FALSE), inactive_(FALSE), playDepth_(0), endPlay_(FALSE),
      busy_(0), zoom_(1) {
    SetRectEmpty(&client_);
}

AnimWindow::~AnimWindow() {
    // Destroy has normally run on WM_DESTROY already; this covers a record that never got that far.
    if (signature_ == kAnimSignature) Destroy();
}

BOOL AnimWindow::Create() {
    if (!ListWindow(this)) return FALSE;
    timing_ = static_cast<DWORD*>(MEMALLOC(sizeof(DWORD) * cfTIMING_WINDOW));
    if (!timing_) {
        UnlistWindow(this);
        return FALSE;
    }
    memset(timing_, 0, sizeof(DWORD) * cfTIMING_WINDOW);
    signature_ = kAnimSignature;
    timingIndex_ = 0;
    resync_ = inactive_ = FALSE;
    RebuildSurfaces();
    SetFrameRate(kDefaultFrameRate);
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
    return TRUE;
}

void AnimWindow::Destroy() {
    if (signature_ != kAnimSignature) return;
    Busy busy(this);
    lockCount_ = paintCount_ = kBusyPaint;
    KillTimer(window_, kAnimTimerId);
    SendEvent(awDESTROY, 0, 0);
    ShowFrameRate(FALSE);
    if (status_) {
        AnimObject* status = status_;
        status_ = nullptr;
        MEMDELETE(status);
    }
    // Each deleted object leaves its list, so the front of the window is always the next to go.
    for (DWORD guard = 0; depthCount_ > 0 && depths_[0] && guard < 0x1000000; ++guard) {
        AnimObject* object = depths_[0];
        MEMDELETE(object);
    }
    if (depths_) MEMFREE(depths_);
    depths_ = nullptr;
    depthCount_ = 0;
    filters_.Reset();
    UnlistWindow(this);
    signature_ = kAnimDeadSignature;
    if (IsWindow(window_) && GetWindowLongPtr(window_, 0) == reinterpret_cast<LONG_PTR>(this))
        SetWindowLongPtr(window_, 0, 0);
    DeleteSurfaces();
    staticRegion_.Clear();
    topRegion_.Clear();
    schedule_.Reset();
    if (data_) MEMFREE(data_);
    data_ = nullptr;
    dataCount_ = 0;
    if (timing_) MEMFREE(timing_);
    timing_ = nullptr;
    window_ = nullptr;
    SetRectEmpty(&client_);
    callback_ = nullptr;
    interval_ = timerPeriod_ = timingIndex_ = 0;
    currentFrame_ = endFrame_ = 0;
    resync_ = inactive_ = FALSE;
    lockCount_ = paintCount_ = kBusyPaint;
}

LRESULT CALLBACK AnimWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        AnimWindow* created = new AnimWindow(hwnd);
        created = static_cast<AnimWindow*>(
            MemRegisterObject(created, sizeof(AnimWindow), "ANIMWINDOW", __FILE__, __LINE__));
        if (!created) return -1;
        SetWindowLongPtr(hwnd, 0, reinterpret_cast<LONG_PTR>(created));
        if (!created->Create()) {
            SetWindowLongPtr(hwnd, 0, 0);
            MEMDELETE(created);
            return -1;
        }
    }
    AnimWindow* window = AnimWindow::FromHandle(hwnd);
    if (window) {
        AnimWindow::Busy busy(window);
        switch (message) {
        case WM_SIZE:
            window->RebuildSurfaces();
            break;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            RECT area = ps.rcPaint;
            int zoom = window->zoom_;
            // Composed pixels that the screen area touches, rounded outwards.
            SetRect(&area, area.left / zoom, area.top / zoom, (area.right + zoom - 1) / zoom,
                    (area.bottom + zoom - 1) / zoom);
            window->Invalidate(&area, FALSE);
            if (dc) window->Paint(dc);
            EndPaint(hwnd, &ps);
            break;
        }
        case WM_ERASEBKGND:
            window->Invalidate(nullptr, FALSE);
            break;
        case WM_DISPLAYCHANGE:
            // Paints rely on the screen depth read earlier; only a display change makes it stale.
            PaletteGroup::RefreshScreenDepth();
            break;
        }
        // Filters see positions in composed pixels; the wheel's position is on the screen and stays.
        if (window->zoom_ > 1 && message >= WM_MOUSEFIRST && message <= WM_MOUSELAST &&
            message != WM_MOUSEWHEEL)
            lParam = MAKELPARAM(static_cast<short>(LOWORD(lParam)) / window->zoom_,
                                static_cast<short>(HIWORD(lParam)) / window->zoom_);
        // The filters' answers never stop the window's own handling.
        if (window->IsAlive()) window->filters_.Dispatch(hwnd, message, wParam, lParam);
        if (message == WM_DESTROY) window->Destroy();
    }
    return DefWindowProc(hwnd, message, wParam, lParam);
}

// ---- surfaces and invalidation ----

void AnimWindow::DeleteSurfaces() {
    Graphic* surfaces[3] = {background_, stage_, frame_};
    background_ = stage_ = frame_ = nullptr;
    for (Graphic* g : surfaces)
        if (g) MEMDELETE(g);
}

void AnimWindow::RebuildSurfaces() {
    if (!IsAlive()) return;
    RECT old = client_;
    GetClientRect(window_, &client_);
    client_.right /= zoom_;
    client_.bottom /= zoom_;
    if (client_.right - client_.left > old.right - old.left ||
        client_.bottom - client_.top > old.bottom - old.top)
        DeleteSurfaces();
    if (background_ && stage_ && frame_) {
        // A shrinking window keeps its larger surfaces.
        Invalidate(nullptr, TRUE);
        return;
    }
    AnimDisplay* display = AnimGetDisplay();
    int depth = display ? display->GetDepth() : 0;
    // Single-threaded: nothing can change the group while the surfaces take its palette.
    PaletteGroup* group = display ? display->GetPaletteGroup() : nullptr;
    LONG width = GetWidth(), height = GetHeight();
    Graphic** surfaces[3] = {&background_, &stage_, &frame_};
    for (Graphic** surface : surfaces) {
        if (*surface || width <= 0 || height <= 0) continue;
        Graphic* g = group && depth <= 8 ? MEMNEW(Graphic, (width, height, depth, group))
                                         : MEMNEW(Graphic, (width, height, depth, (const RGBQUAD*)nullptr));
        if (g && !g->IsLoaded()) {
            MEMDELETE(g);
            g = nullptr;
        }
        *surface = g;
    }
    if (background_) SendEvent(awBACKGROUND, 0, reinterpret_cast<LPARAM>(background_));
    Invalidate(nullptr, TRUE);
}

void AnimWindow::FillBackground(COLORREF colour, RECT* rect) {
    RECT area = client_;
    if (rect) {
        *rect = Intersection(*rect, client_);
        area = *rect;
    }
    if (background_ && !IsEmptyRect(area)) {
        HDC dc = background_->GetDC();
        HBRUSH brush = CreateSolidBrush(colour);
        if (dc && brush) FillRect(dc, &area, brush);
        if (brush) DeleteObject(brush);
        if (dc) background_->ReleaseDC();
        GdiFlush();
    }
    InvalidateAll(TRUE);
}

void AnimWindow::Invalidate(const RECT* rect, BOOL staticLayer) {
    RECT r = rect ? Intersection(*rect, client_) : client_;
    if (IsEmptyRect(r)) return;
    (staticLayer ? staticRegion_ : topRegion_).Add(&r);
}

void AnimWindow::InvalidateAll(BOOL invalidate) {
    if (invalidate) Invalidate(nullptr, TRUE);
}

void AnimWindow::Unlock() {
    if (lockCount_ == 0) return;
    if (--lockCount_ == 0) Update();
}

void AnimWindow::Update() {
    if (lockCount_ > 0 || !IsAlive()) return;
    HDC dc = ::GetDC(window_);
    if (!dc) return;
    HWND handle = window_;
    Paint(dc);
    ::ReleaseDC(handle, dc);
}

void AnimWindow::SendEvent(DWORD event, DWORD value, LPARAM pointer, DWORD* result) {
    DWORD answer = callback_ ? callback_(this, event, value, pointer) : 1;
    if (result) *result = answer;
}

void AnimWindow::SetCallback(AnimWindowCallback callback) {
    callback_ = callback;
    if (background_) SendEvent(awBACKGROUND, 0, reinterpret_cast<LPARAM>(background_));
}

void AnimWindow::SetData(DWORD index, DWORD_PTR value) {
    if (index == 0xFFFFFFFF) return;
    if (!MEMREALLOC(DWORD_PTR, data_, dataCount_, index + 1, 4)) return;
    data_[index] = value;
}

// ---- composition ----

void AnimWindow::ExpandRegion(DirtyRegion& region) {
    // A static object that may draw all of itself must be recomposed whole wherever part of it is dirty.
    for (DWORD pass = 0; pass < kMaxExpansionPasses; ++pass) {
        BOOL added = FALSE;
        for (AnimObject* o = GetLastObject(); o && !added; o = GetPreviousObject(o)) {
            if (!(o->flags_ & aoSTATIC) || (o->flags_ & aoCLIPS)) continue;
            RECT r = Intersection(o->rect_, client_);
            for (DWORD i = 0; i < region.GetCount(); ++i) {
                const RECT& d = *region.Get(i);
                if (RectsOverlap(r, d) && !RectInside(r, d)) {
                    region.Add(&r);
                    added = TRUE;
                    break;
                }
            }
        }
        if (!added) return;
    }
}

void AnimWindow::DrawLayer(Graphic* target, BOOL staticLayer, const DirtyRegion* region) {
    AnimObject* previous = nullptr;
    for (AnimObject* o = GetLastObject(); o && IsAlive(); o = previous) {
        previous = GetPreviousObject(o);
        if (((o->flags_ & aoSTATIC) != 0) != (staticLayer != 0)) continue;
        if (!region) {
            o->Draw(target, nullptr);
            continue;
        }
        // Part by part: the parts are disjoint, and the box around two of them may cover pixels that are
        // not recomposed, where this object would be drawn over nearer objects that are not redrawn there.
        for (DWORD i = 0; i < region->GetCount() && IsAlive(); ++i) {
            RECT part = Intersection(o->rect_, *region->Get(i));
            if (!IsEmptyRect(part)) o->Draw(target, &part);
        }
    }
}

void AnimWindow::CopyRegion(Graphic* source, Graphic* target, const DirtyRegion& region) {
    if (!source || !target) return;
    for (DWORD i = 0; i < region.GetCount(); ++i) {
        const RECT& r = *region.Get(i);
        source->Draw(target, r.left, r.top, r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
}

void AnimWindow::SetZoom(int zoom) {
    if (zoom < 1) zoom = 1;
    if (zoom == zoom_) return;
    zoom_ = zoom;
    RebuildSurfaces();
    InvalidateRect(window_, nullptr, FALSE);
}

void AnimWindow::ShowZoomed(HDC dc, const DirtyRegion& region) {
    HDC source = frame_->GetDC();
    if (!source) return;
    // Every composed pixel becomes a zoom x zoom square: no smoothing.
    int oldMode = SetStretchBltMode(dc, COLORONCOLOR);
    for (DWORD i = 0; i < region.GetCount(); ++i) {
        const RECT& r = *region.Get(i);
        LONG w = r.right - r.left, h = r.bottom - r.top;
        StretchBlt(dc, r.left * zoom_, r.top * zoom_, w * zoom_, h * zoom_, source, r.left, r.top, w, h,
                   SRCCOPY);
    }
    if (oldMode) SetStretchBltMode(dc, oldMode);
    frame_->ReleaseDC();
}

void AnimWindow::Paint(HDC dc) {
    if (paintCount_ > 0 || lockCount_ > 0 || !IsAlive() || !dc) return;
    Busy busy(this);
    ++paintCount_;
    AnimDisplay* display = AnimGetDisplay();
    HPALETTE palette = display ? display->GetPaletteHandle() : nullptr;
    HPALETTE oldPalette = nullptr;
    if (palette) {
        oldPalette = SelectPalette(dc, palette, FALSE);
        RealizePalette(dc);
    }
    SendEvent(awPAINTBEGIN, 0, 0);
    AnimObject* next = nullptr;
    for (AnimObject* o = GetFirstObject(); o && IsAlive(); o = next) {
        next = GetNextObject(o);
        o->Send(amFRAME, 0);
    }
    if (IsAlive()) SendEvent(awPAINTFRAMED, 0, 0);

    if (IsAlive()) ExpandRegion(staticRegion_);
    if (IsAlive() && !staticRegion_.IsEmpty()) {
        CopyRegion(background_, stage_, staticRegion_);
        if (stage_) DrawLayer(stage_, TRUE, &staticRegion_);
        for (DWORD i = 0; i < staticRegion_.GetCount(); ++i) topRegion_.Add(staticRegion_.Get(i));
        staticRegion_.Clear();
    }
    if (IsAlive()) ExpandRegion(topRegion_);
    if (IsAlive() && !topRegion_.IsEmpty()) {
        CopyRegion(stage_, frame_, topRegion_);
        if (frame_) DrawLayer(frame_, FALSE, &topRegion_);
        if (frame_ && IsAlive()) {
            GdiFlush();
            // One memory device context for every copy of this paint: making one per rectangle costs far
            // more than the copies themselves.
            frame_->GetDC();
            if (zoom_ > 1) {
                ShowZoomed(dc, topRegion_);
            } else {
                for (DWORD i = 0; i < topRegion_.GetCount(); ++i) {
                    const RECT& r = *topRegion_.Get(i);
                    frame_->Draw(dc, r.left, r.top, r.left, r.top, r.right - r.left, r.bottom - r.top);
                }
            }
            frame_->ReleaseDC();
        }
        topRegion_.Clear();
    }
    if (palette) SelectPalette(dc, oldPalette, FALSE);
    if (!IsAlive()) return;
    SendEvent(awPAINTEND, 0, 0);
    if (!IsAlive()) return;
    // A stamp of 0 reads as "no paint yet".
    DWORD now = AnimGetTime();
    timing_[timingIndex_] = now ? now : 1;
    timingIndex_ = (timingIndex_ + 1) % cfTIMING_WINDOW;
    --paintCount_;
}

// ---- depth lists ----

DWORD AnimWindow::UsedDepthSlots() const {
    DWORD used = 0;
    while (used < depthCount_ && depths_[used]) ++used;
    return used;
}

DWORD AnimWindow::FindDepthSlot(LONG depth) const {
    for (DWORD i = 0; i < depthCount_ && depths_[i]; ++i)
        if (depths_[i]->depth_ == depth) return i;
    return kNoSlot;
}

AnimObject* AnimWindow::GetFirstObject() const { return depthCount_ > 0 ? depths_[0] : nullptr; }

AnimObject* AnimWindow::GetNextObject(AnimObject* object) const {
    if (!object) return nullptr;
    if (object->next_) return object->next_;
    DWORD slot = FindDepthSlot(object->depth_);
    return slot != kNoSlot && slot + 1 < depthCount_ ? depths_[slot + 1] : nullptr;
}

AnimObject* AnimWindow::GetLastObject() const {
    DWORD used = UsedDepthSlots();
    if (used == 0) return nullptr;
    AnimObject* o = depths_[used - 1];
    while (o->next_) o = o->next_;
    return o;
}

AnimObject* AnimWindow::GetPreviousObject(AnimObject* object) const {
    if (!object) return nullptr;
    if (object->previous_) return object->previous_;
    DWORD slot = FindDepthSlot(object->depth_);
    if (slot == kNoSlot || slot == 0) return nullptr;
    AnimObject* o = depths_[slot - 1];
    while (o->next_) o = o->next_;
    return o;
}

LONG AnimWindow::GetNextDepth(LONG depth) const {
    for (DWORD i = 0; i < depthCount_ && depths_[i]; ++i)
        if (depths_[i]->depth_ > depth) return depths_[i]->depth_;
    return 0;
}

LONG AnimWindow::GetPreviousDepth(LONG depth) const {
    LONG found = 0;
    for (DWORD i = 0; i < depthCount_ && depths_[i]; ++i)
        if (depths_[i]->depth_ < depth && depths_[i]->depth_ > 0) found = depths_[i]->depth_;
    return found;
}

AnimObject* AnimWindow::GetFirstOfDepth(LONG depth) const {
    DWORD slot = FindDepthSlot(depth);
    return slot == kNoSlot ? nullptr : depths_[slot];
}

void AnimWindow::AddObject(AnimObject* object) {
    if (!object || !IsAlive()) return;
    object->next_ = object->previous_ = nullptr;
    DWORD slot = FindDepthSlot(object->depth_);
    if (slot != kNoSlot) {
        AnimObject* last = depths_[slot];
        while (last->next_) last = last->next_;
        last->next_ = object;
        object->previous_ = last;
    } else {
        DWORD used = UsedDepthSlots();
        DWORD at = 0;
        while (at < used && depths_[at]->depth_ < object->depth_) ++at;
        if (!MEMREALLOC(AnimObject*, depths_, depthCount_, used + 1, 4)) return;
        memmove(&depths_[at + 1], &depths_[at], (used - at) * sizeof(AnimObject*));
        depths_[at] = object;
    }
    object->Invalidate();
}

void AnimWindow::RemoveObject(AnimObject* object) {
    if (!object) return;
    DWORD slot = FindDepthSlot(object->depth_);
    if (slot == kNoSlot) return;
    if (depths_[slot] == object) {
        depths_[slot] = object->next_;
        if (object->next_) {
            object->next_->previous_ = nullptr;
        } else {
            DWORD used = UsedDepthSlots(); // counts up to the emptied slot only
            DWORD end = slot + 1;
            while (end < depthCount_ && depths_[end]) ++end;
            (void)used;
            memmove(&depths_[slot], &depths_[slot + 1], (end - slot - 1) * sizeof(AnimObject*));
            depths_[end - 1] = nullptr;
        }
    } else if (object->previous_) {
        object->previous_->next_ = object->next_;
        if (object->next_) object->next_->previous_ = object->previous_;
    } else {
        return; // not in this window's lists
    }
    object->next_ = object->previous_ = nullptr;
    object->Invalidate();
}

void AnimWindow::InsertObject(AnimObject* object, AnimObject* other, BOOL before) {
    if (!object || !other || !IsAlive()) return;
    DWORD slot = FindDepthSlot(other->depth_);
    if (slot == kNoSlot || (depths_[slot] != other && !other->previous_)) {
        AddObject(object); // `other` is not on this window: keep the object's own depth
        return;
    }
    object->depth_ = other->depth_;
    if (before) {
        object->next_ = other;
        object->previous_ = other->previous_;
        if (other->previous_)
            other->previous_->next_ = object;
        else
            depths_[slot] = object;
        other->previous_ = object;
    } else {
        object->previous_ = other;
        object->next_ = other->next_;
        if (other->next_) other->next_->previous_ = object;
        other->next_ = object;
    }
    object->Invalidate();
}

// ---- frame clock ----

void AnimWindow::SetFrameRate(double framesPerSecond) {
    if (!(framesPerSecond > 0)) framesPerSecond = kDefaultFrameRate;
    KillTimer(window_, kAnimTimerId);
    double interval = 1000.0 / framesPerSecond;
    interval_ = interval >= 0xFFFFFFFF ? 0xFFFFFFFF : static_cast<DWORD>(interval);
    // The timer only wakes the message pump; slow rates wake it a little before the frame is due.
    timerPeriod_ = interval_ < 120 ? 20 : interval_ - 100;
    SetTimer(window_, kAnimTimerId, timerPeriod_, nullptr);
}

double AnimWindow::GetFrameRate() const { return interval_ ? 1000.0 / interval_ : 0.0; }

double AnimWindow::GetActualFrameRate() const {
    if (!timing_ || timing_[0] == 0) return 0.0;
    DWORD now = AnimGetTime();
    DWORD perFrame;
    if (timingIndex_ != 0 && timing_[cfTIMING_WINDOW - 1] == 0)
        perFrame = (now - timing_[0]) / timingIndex_;
    else
        perFrame = (now - timing_[timingIndex_]) / cfTIMING_WINDOW;
    return perFrame ? 1000.0 / perFrame : 0.0;
}

DWORD AnimWindow::ScheduleObject(DWORD frame, AnimObject* object, Graphic* graphic, const RECT* rect) {
    DWORD index = schedule_.AddObject(frame, object, graphic, rect);
    if (index != kNoEntry && frame + 1 > endFrame_) endFrame_ = frame + 1;
    return index;
}

DWORD AnimWindow::ScheduleEvent(DWORD frame, DWORD code, LPARAM value) {
    DWORD index = schedule_.AddEvent(frame, code, value);
    if (index != kNoEntry && frame + 1 > endFrame_) endFrame_ = frame + 1;
    return index;
}

BOOL AnimWindow::RunFrames(DWORD last) {
    if (!IsAlive()) return FALSE;
    Busy busy(this);
    if (last == kAllFrames) {
        if (currentFrame_ >= endFrame_) return TRUE;
        last = endFrame_ - 1;
    }
    BOOL stopped = FALSE;
    while (!stopped && currentFrame_ <= last && IsAlive()) {
        for (DWORD i = 0; i < schedule_.GetCount(); ++i) {
            const SCHEDENTRY* e = schedule_.Get(i);
            if (!e->inUse || e->frame != currentFrame_ || !e->object) continue;
            SCHEDENTRY entry = *e;
            schedule_.Free(i);
            AnimObject* o = entry.object;
            if (o->GetFlags() & aoSTATIC) o->SetFlags(o->GetFlags() & ~aoSTATIC);
            BOOL moves = !IsEmptyRect(entry.rect);
            if (moves) o->SetRect(&entry.rect);
            // A null graphic with a rectangle only moves; without one it hides the graphic.
            if (entry.graphic || !moves) o->SetGraphic(entry.graphic, TRUE);
        }
        for (DWORD i = 0; i < schedule_.GetCount() && IsAlive(); ++i) {
            const SCHEDENTRY* e = schedule_.Get(i);
            if (!e->inUse || e->frame != currentFrame_ || e->object) continue;
            SCHEDENTRY entry = *e;
            schedule_.Free(i);
            DWORD answer = 1;
            SendEvent(awEVENT, entry.code, entry.value, &answer);
            if (answer == 0) {
                stopped = TRUE;
                break;
            }
        }
        if (!IsAlive()) return FALSE;
        ++currentFrame_;
        if (endFrame_ < currentFrame_) endFrame_ = currentFrame_;
    }
    if (!stopped) Update();
    return !stopped;
}

void AnimWindow::Step() {
    if (!IsAlive()) return;
    Busy busy(this);
    Lock();
    RunFrames(currentFrame_);
    if (IsAlive()) Unlock();
}

void AnimWindow::ForgetObject(AnimObject* object) {
    schedule_.RemoveObject(object);
    if (frameRate_ == object) frameRate_ = nullptr;
    if (status_ == object) status_ = nullptr;
}

BOOL AnimWindow::IsInactiveForPump() const {
#ifdef UNICODE
    return inactive_;
#else
    return FALSE;
#endif
}

void AnimWindow::Play(DWORD frames) { PlayLoop(frames, FALSE); }

void AnimWindow::PlayToEnd() { PlayLoop(kAllFrames, TRUE); }

void AnimWindow::SetInactive(BOOL inactive) {
    inactive_ = inactive;
#ifdef UNICODE
    // Coming back to the front, the game wants the whole screen, not the soft keyboard.
    if (!inactive) SipShowIM(SIPF_OFF);
#endif
}

void AnimWindow::PlayLoop(DWORD frames, BOOL toEnd) {
    if (!IsAlive()) return;
    Busy busy(this);
    ++playDepth_;
    BOOL sawQuit = FALSE;
    WPARAM quitCode = 0;
    DWORD next = AnimGetTime();
    while (frames != 0 && IsAlive() && !endPlay_ && (!toEnd || currentFrame_ < endFrame_)) {
        DWORD t = AnimGetTime();
        if (resync_) next = t;
        next += interval_;
        Lock();
        BOOL ran = RunFrames(currentFrame_);
        DWORD done = 1;
        // Behind time: run further frames without painting, so game time keeps to the frame rate.
        while (ran && IsAlive() && interval_ != 0 && !resync_ && static_cast<LONG>(t - next) > 0 &&
               done < frames && (!toEnd || currentFrame_ < endFrame_)) {
            ran = RunFrames(currentFrame_);
            ++done;
            next += interval_;
        }
        if (!IsAlive()) break;
        resync_ = FALSE;
        Unlock();
        if (!ran || !IsAlive()) break;
        if (interval_ == 0) {
            // No pacing: still let the window's messages through.
            MSG msg;
            while (IsAlive() && PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    sawQuit = TRUE;
                    quitCode = msg.wParam;
                    continue;
                }
                TranslateMessage(&msg);
                DispatchMessage(&msg);
            }
        }
        while (IsAlive() && !endPlay_ &&
               (static_cast<LONG>(AnimGetTime() - next) < 0 || IsInactiveForPump())) {
            MSG msg;
            BOOL got = GetMessage(&msg, nullptr, 0, 0);
            if (got == -1) continue;
            if (!got) {
                // The quit is kept for the application's own loop once this one ends.
                sawQuit = TRUE;
                quitCode = msg.wParam;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessage(&msg);
        }
        if (frames != kAllFrames) {
            if (frames <= done) break;
            frames -= done;
        }
    }
    // The request ends every loop of this window; once the outermost has ended, later runs play normally.
    if (--playDepth_ == 0) endPlay_ = FALSE;
    if (sawQuit) PostQuitMessage(static_cast<int>(quitCode));
}
