// `AnimWindow` is the engine's runtime behind a window of class "AnimWindow": it composes its objects over
// a background into the dirty rectangles only, runs a frame clock with scheduled actions and a paced loop
// that keeps the frame rate, and hands input to the application's filters.
#pragma once

#include <windows.h>

#include "cea_dirty_region.h"
#include "cea_filters.h"
#include "cea_schedule.h"

class AnimObject;
class AnimWindow;
class Graphic;
class PaletteGroup;
class string;

// AnimInit flags: compose at 8 bits per pixel whatever the screen has.
const DWORD aiFORCE8BPP = 0x0001;

// Events sent to a window's callback.
enum {
    awDESTROY = 0,     // the window is going
    awBACKGROUND = 1,  // the background surface (pointer) was made, or a callback was set while one exists
    awPAINTBEGIN = 2,  // a paint starts, before the objects get amFRAME
    awPAINTFRAMED = 3, // every object had amFRAME; composition follows
    awPAINTEND = 4,    // the frame reached the screen
    awEVENT = 5        // a scheduled event: code, value; answering 0 stops the frame run
};

typedef DWORD (*AnimWindowCallback)(AnimWindow* window, DWORD event, DWORD value, LPARAM pointer);

const DWORD cfTIMING_WINDOW = 30;
const DWORD kAnimSignature = 0x416E696D; // "Anim"
const DWORD kAnimDeadSignature = ~kAnimSignature;
const UINT kAnimTimerId = 1099;
// As a frame count: no limit; as RunFrames' last frame: up to the end frame.
const DWORD kAllFrames = 0xFFFFFFFF;

// The screen that windows compose for: its size, the depth of the surfaces and the palette they share.
class AnimDisplay {
public:
    AnimDisplay(BOOL force8Bits);
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int GetDepth() const { return depth_; }
    RECT GetRect() const;
    BOOL IsPalettized() const { return depth_ <= 8; }
    PaletteGroup* GetPaletteGroup() const;
    // Rebuilds the surfaces of every window with the group's palette. Returns 1.
    BOOL SetPaletteGroup(PaletteGroup* group);
    // The palette to realize when painting: null unless palettized with a group.
    HPALETTE GetPaletteHandle() const;

private:
    int width_;
    int height_;
    int depth_;
};

// Registers the window classes and starts the clock, once per process. 0 when a class cannot be
// registered.
BOOL AnimInit(HINSTANCE instance, DWORD flags);
// Milliseconds since AnimInit.
DWORD AnimGetTime();
// Replaces the millisecond clock (null: the real one); for tests that drive time themselves.
typedef DWORD (*AnimClock)();
AnimClock AnimSetClock(AnimClock clock);
// Null before AnimInit.
AnimDisplay* AnimGetDisplay();
LRESULT CALLBACK AnimWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class AnimWindow {
public:
    // The window's record, or null for another class or a destroyed window.
    static AnimWindow* FromHandle(HWND window);

    HWND GetHandle() const { return window_; }
    const RECT& GetRect() const { return client_; }
    LONG GetWidth() const { return client_.right - client_.left; }
    LONG GetHeight() const { return client_.bottom - client_.top; }
    Graphic* GetBackground() const { return background_; }
    Graphic* GetStage() const { return stage_; }
    Graphic* GetFrameSurface() const { return frame_; }

    // Fills part of the background (null: all; clamped in place to the client area) with a colour.
    void FillBackground(COLORREF colour, RECT* rect);
    // Marks a rectangle (null: the client area) for recomposition, in the static or the top layer.
    void Invalidate(const RECT* rect, BOOL staticLayer);
    void InvalidateAll(BOOL invalidate);
    const DirtyRegion& GetStaticRegion() const { return staticRegion_; }
    const DirtyRegion& GetTopRegion() const { return topRegion_; }

    // While locked nothing is painted; the last unlock paints.
    void Lock() { ++lockCount_; }
    void Unlock();
    // Paints into the window now, unless locked.
    void Update();
    // Composes the dirty rectangles and copies them to `dc`, unless locked or already painting.
    void Paint(HDC dc);

    AnimWindowCallback GetCallback() const { return callback_; }
    void SetCallback(AnimWindowCallback callback);
    DWORD_PTR GetData(DWORD index) const { return index < dataCount_ ? data_[index] : 0; }
    void SetData(DWORD index, DWORD_PTR value);

    // Front to back: the first object of the smallest depth first. Null at the end.
    AnimObject* GetFirstObject() const;
    AnimObject* GetNextObject(AnimObject* object) const;
    AnimObject* GetLastObject() const;
    AnimObject* GetPreviousObject(AnimObject* object) const;
    // The smallest depth above `depth` / the greatest below it (and above 0) that has objects; 0 if none.
    LONG GetNextDepth(LONG depth) const;
    LONG GetPreviousDepth(LONG depth) const;
    AnimObject* GetFirstOfDepth(LONG depth) const;

    // Used by AnimObject: attach at the back of the object's depth / detach / link before or after
    // `other` taking its depth. Each repaints the object's area.
    void AddObject(AnimObject* object);
    void RemoveObject(AnimObject* object);
    void InsertObject(AnimObject* object, AnimObject* other, BOOL before);
    // Used by AnimObject's destructor: drops its schedule entries and any overlay reference to it.
    void ForgetObject(AnimObject* object);

    // Whole-number magnification of the window on the screen: the objects still compose at the client
    // size divided by the zoom, each composed pixel is shown as zoom x zoom screen pixels, and mouse
    // positions are divided by the zoom before any filter sees them. 1 (the default) is no zoom.
    void SetZoom(int zoom);
    int GetZoom() const { return zoom_; }

    // 0 means 40 frames per second.
    void SetFrameRate(double framesPerSecond);
    double GetFrameRate() const;
    DWORD GetFrameInterval() const { return interval_; }
    DWORD GetTimerPeriod() const { return timerPeriod_; }
    // Over the last 30 paints (or as many as there were); 0 before the first.
    double GetActualFrameRate() const;

    // Index of the entry, or 0xFFFFFFFF when none could be made.
    DWORD ScheduleObject(DWORD frame, AnimObject* object, Graphic* graphic, const RECT* rect);
    DWORD ScheduleEvent(DWORD frame, DWORD code, LPARAM value);
    void UnscheduleObject(AnimObject* object) { schedule_.RemoveObject(object); }
    void UnscheduleGraphic(Graphic* graphic) { schedule_.RemoveGraphic(graphic); }
    void UnscheduleEvents(DWORD code, LPARAM value) { schedule_.RemoveEvents(code, value); }
    void UnscheduleFrame(DWORD frame) { schedule_.RemoveFrame(frame); }
    const Schedule& GetSchedule() const { return schedule_; }
    DWORD GetFrame() const { return currentFrame_; }
    DWORD GetEndFrame() const { return endFrame_; }
    // Runs frames up to `last` (kAllFrames: to the end frame) and paints once. 0 when an event stopped it.
    BOOL RunFrames(DWORD last);
    void Step();
    // The paced loop: runs `frames` frames (kAllFrames: until the window goes or an event stops it),
    // pumping the thread's messages between them and skipping paints when behind.
    void Play(DWORD frames);
    void PlayToEnd();
    // Ends the Play loops running on this window as soon as the message being handled returns, without
    // waiting for the next frame's time (a window that is closing has no frame left to show). No effect
    // when none runs.
    void EndPlay() {
        if (playDepth_ > 0) endPlay_ = TRUE;
    }
    // The next loop round starts timing afresh instead of catching up.
    void Resync() { resync_ = TRUE; }
    void SetInactive(BOOL inactive);
    BOOL IsInactive() const { return inactive_; }

    // The frame-rate read-out at the bottom left, and the status strip along the bottom.
    void ShowFrameRate(BOOL show);
    AnimObject* GetFrameRateObject() const { return frameRate_; }
    void SetStatusText(const string& text);
    AnimObject* GetStatusObject() const { return status_; }

    // Flags: FilterFlags(mask, priority); a filter added n times must be removed n times.
    BOOL AddFilter(WNDPROC filter, DWORD flags) { return filters_.Add(filter, flags); }
    BOOL RemoveFilter(WNDPROC filter) { return filters_.Add(filter, 0); }
    const FilterTable& GetFilters() const { return filters_; }

    // Made by the window procedure.
    explicit AnimWindow(HWND window);
    ~AnimWindow();

private:
    friend LRESULT CALLBACK AnimWindowProc(HWND, UINT, WPARAM, LPARAM);
    friend class AnimDisplay;
    AnimWindow(const AnimWindow&) = delete;
    AnimWindow& operator=(const AnimWindow&) = delete;

    BOOL Create();
    void Destroy();
    void RebuildSurfaces();
    void DeleteSurfaces();
    void ExpandRegion(DirtyRegion& region);
    void DrawLayer(Graphic* target, BOOL staticLayer, const DirtyRegion* region);
    void CopyRegion(Graphic* source, Graphic* target, const DirtyRegion& region);
    void ShowZoomed(HDC dc, const DirtyRegion& region);
    void SendEvent(DWORD event, DWORD value, LPARAM pointer, DWORD* result = nullptr);
    DWORD FindDepthSlot(LONG depth) const; // 0xFFFFFFFF when no list has that depth
    DWORD UsedDepthSlots() const;
    void PlayLoop(DWORD frames, BOOL toEnd);
    BOOL IsAlive() const { return signature_ == kAnimSignature; }
    // In the game build an inactive window's loop keeps pumping without looking at the clock.
    BOOL IsInactiveForPump() const;

    // A window destroyed while one of its own calls is still on the stack (a callback or a filter closing
    // it) keeps its cleared record until the outermost such call returns, so that call can see it is gone.
    class Busy {
    public:
        explicit Busy(AnimWindow* window) : window_(window) { ++window_->busy_; }
        ~Busy();

    private:
        AnimWindow* window_;
    };

    DWORD signature_;
    HWND window_;
    RECT client_;
    Graphic* background_;
    Graphic* stage_;
    Graphic* frame_;
    DirtyRegion staticRegion_;
    DirtyRegion topRegion_;
    DWORD paintCount_;
    DWORD lockCount_;
    AnimWindowCallback callback_;
    DWORD interval_;
    DWORD timerPeriod_;
    DWORD* timing_;
    DWORD timingIndex_;
    AnimObject* frameRate_;
    AnimObject* status_;
    Schedule schedule_;
    DWORD currentFrame_;
    DWORD endFrame_;
    FilterTable filters_;
    DWORD_PTR* data_;
    DWORD dataCount_;
    AnimObject** depths_;
    DWORD depthCount_;
    BOOL resync_;
    BOOL inactive_;
    DWORD playDepth_; // Play loops running on this window, nested ones included
    BOOL endPlay_;
    DWORD busy_;
    int zoom_;
};
