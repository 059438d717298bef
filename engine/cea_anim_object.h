// `AnimObject` is one rectangular thing on an animation window: it shows a graphic or the current frame
// of a sprite by itself, or a message callback draws it and reacts to the frame clock.
#pragma once

#include <windows.h>

#include "mem_manager.h"

class AnimObject;
class AnimWindow;
class Graphic;
class Sprite;

// Flags: the static layer (composed under every other object and kept between frames), and the promise
// never to draw outside the clipping rectangle given. Other bits belong to the application.
const DWORD aoSTATIC = 0x0001;
const DWORD aoCLIPS = 0x0002;

// Messages sent to an object's callback. Applications number their own above amLAST.
enum {
    amCREATE = 0,  // by the callback constructor; parameter null
    amDESTROY = 1, // first step of destruction; parameter null
    amFRAME = 2,   // every painted frame, before anything is drawn; parameter null
    amDRAW = 3,    // draw yourself; parameter: ANIMDRAW*
    amLAST = amDRAW
};

// What an object must draw: the part `clip` of the object at `object`, both in the target's coordinates.
struct ANIMDRAW {
    Graphic* target;
    RECT clip;
    RECT object;
};

typedef DWORD (*AnimObjectCallback)(AnimObject* object, DWORD message, LPARAM parameter);

class AnimObject {
public:
    // Each attaches the object to `window` at `depth` (smaller is nearer) with an empty rectangle at 0,0.
    AnimObject(AnimWindow* window, Sprite* sprite, LONG depth);
    AnimObject(AnimWindow* window, Graphic* graphic, LONG depth);
    // Sends amCREATE once the callback is set.
    AnimObject(AnimWindow* window, AnimObjectCallback callback, LONG depth);
    // Sends amDESTROY, leaves the window (repainting the area) and frees the data slots.
    ~AnimObject();

    AnimWindow* GetWindow() const { return window_; }
    // Moves the object to the back of its depth on another window (null: on none).
    void SetWindow(AnimWindow* window);
    LONG GetDepth() const { return depth_; }
    // Moves the object to the back of another depth.
    void SetDepth(LONG depth);
    void SendToBack();
    void BringToFront();
    // Directly behind / in front of `other` (null: to the back / front of the window), at its depth.
    void PlaceBehind(AnimObject* other);
    void PlaceInFront(AnimObject* other);

    DWORD GetFlags() const { return flags_; }
    void SetFlags(DWORD flags);

    Graphic* GetGraphic() const { return graphic_; }
    void SetGraphic(Graphic* graphic, BOOL autoDraw = TRUE);
    Sprite* GetSprite() const { return sprite_; }
    void SetSprite(Sprite* sprite, BOOL autoDraw = TRUE);
    // The sprite's frame for the window's frame number, else the graphic.
    Graphic* GetCurrentGraphic() const;
    BOOL GetAutoDraw() const { return autoDraw_; }

    void GetRect(RECT* rect) const;
    const RECT& GetRect() const { return rect_; }
    // Every rectangle setter is ignored while aoSTATIC is set.
    void SetRect(const RECT* rect);
    void GetPos(LONG* x, LONG* y) const;
    void SetPos(LONG x, LONG y);
    void GetSize(LONG* width, LONG* height) const;
    void SetSize(LONG width, LONG height);
    LONG GetWidth() const { return rect_.right - rect_.left; }
    void SetWidth(LONG width) { SetSize(width, GetHeight()); }
    LONG GetHeight() const { return rect_.bottom - rect_.top; }
    void SetHeight(LONG height) { SetSize(GetWidth(), height); }
    // Marks the object's area for repainting in its layer.
    void Invalidate();

    AnimObjectCallback GetCallback() const { return callback_; }
    void SetCallback(AnimObjectCallback callback);
    // The callback's answer, or 1 without a callback.
    DWORD Send(DWORD message, LPARAM parameter);

    // Pointer-sized user slots: 0 beyond the array; SetData grows it (and does nothing if it cannot).
    DWORD_PTR GetData(DWORD index) const { return index < dataCount_ ? data_[index] : 0; }
    void SetData(DWORD index, DWORD_PTR value);
    DWORD GetDataCount() const { return dataCount_; }

    // Composes the object (the part under `clip`, or all of it) into `target`.
    void Draw(Graphic* target, const RECT* clip);
    // For callbacks answering amDRAW: the graphic (null: the object's own) at the object's corner.
    void DrawGraphic(const ANIMDRAW* draw, Graphic* graphic);
    // The sprite's current frame (null: the object's sprite, or without one its graphic).
    void DrawSprite(const ANIMDRAW* draw, Sprite* sprite);

    // Neighbours within the depth list (towards the back / front); the window walks across depths.
    AnimObject* GetNextInDepth() const { return next_; }
    AnimObject* GetPreviousInDepth() const { return previous_; }

private:
    friend class AnimWindow;
    AnimObject(const AnimObject&) = delete;
    AnimObject& operator=(const AnimObject&) = delete;

    void Init(AnimWindow* window, LONG depth);
    void Detach();
    void Attach(AnimWindow* window);

    AnimWindow* window_;
    AnimObject* next_;
    AnimObject* previous_;
    DWORD_PTR* data_;
    DWORD dataCount_;
    RECT rect_;
    LONG depth_;
    DWORD flags_;
    BOOL autoDraw_;
    Graphic* graphic_;
    Sprite* sprite_;
    AnimObjectCallback callback_;
};

// Objects are registered under "ANIMOBJECT": a window deletes the objects still on it when it goes, so
// every object must come from here (and be released with MEMDELETE).
#define NEW_ANIMOBJECT(args)                                                                                 \
    static_cast<AnimObject*>(                                                                                \
        MemRegisterObject(new AnimObject args, sizeof(AnimObject), "ANIMOBJECT", __FILE__, __LINE__))
