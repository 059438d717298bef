// `AuxControl` is the base of the controls that live inside an animation window instead of being system
// windows: it owns the control's animation object, keeps its text, identifier, kind, colours and font,
// lays the control out on demand and runs the process-wide focus and mouse capture of these controls.
// Derived controls supply the layout and the painting.
#pragma once

#include <windows.h>

#include "cea_anim_object.h"
#include "tl_string.h"

class AnimWindow;
class Graphic;

// Messages of a control's object, above the engine's own: the hit test (parameter: POINT* relative to
// the object's top-left corner; non-zero for a hit) and the question whether the control takes presses.
enum {
    acHITTEST = 100,
    acACCEPTPRESS = 101,
};

// The user-data slot of a control's object that points back to the control.
const DWORD kAuxControlSlot = 4;

// Colour table indexes with defaults taken from the system colours.
enum {
    acCOLOR_FACE = 0,
    acCOLOR_HIGHLIGHT = 1,
    acCOLOR_SHADOW = 2,
    acCOLOR_BUTTONFACE = 3,
    acCOLOR_TEXT = 4,
};

// Kinds of control, for the focus and capture lookups.
const DWORD kAuxKindBase = 0;
const DWORD kAuxKindButton = 1;
const DWORD kAuxAnyKind = 0xFFFFFFFF;

class AuxControl {
public:
    // Creates the control's object on `window` at `depth` with `callback` (which should pass what it does
    // not handle itself to AuxControl::ObjectCallback) and hooks the window's mouse messages.
    AuxControl(AnimWindow* window, DWORD id, LONG depth, AnimObjectCallback callback);
    virtual ~AuxControl();

    // Empty without an object; the rectangle getters lay out first when needed.
    virtual void GetRect(RECT* rect);
    // Moves and sizes the object; null switches to automatic layout.
    virtual void SetRect(const RECT* rect);
    virtual void GetPosition(LONG* x, LONG* y);
    // Moves the object; automatic sizing ends, a pending layout still sizes it.
    virtual void SetPosition(LONG x, LONG y);
    virtual void SetAutoSize();
    virtual void GetSize(LONG* width, LONG* height);
    virtual void SetSize(LONG width, LONG height);
    // The text's length plus the terminator.
    virtual DWORD GetTextLength();
    virtual string GetText();
    virtual void SetText(const string& text);
    // The picture the object shows (its sprite's current frame, else its graphic); null without an object.
    virtual Graphic* GetImage();
    virtual void SetImage(Graphic* image);
    virtual DWORD GetId();
    virtual void SetId(DWORD id);
    virtual BOOL IsEnabled();
    virtual void Enable(BOOL enable);
    // Lays out when needed, repaints the object's area, and redraws at once with auto-redraw.
    virtual void Refresh();
    // 0xFFFFFFFF for an index with neither an entry nor a default.
    virtual COLORREF GetColor(DWORD index);
    // FALSE when the table cannot grow to hold the index.
    virtual BOOL SetColor(DWORD index, COLORREF colour);
    virtual void SetFocus();
    virtual BOOL HasCapture();
    virtual void SetCapture();
    virtual void ReleaseCapture();
    virtual void DrawFocusRect(HDC dc, const RECT* rect);
    // A one- or two-pixel bevel in the control's highlight and shadow colours (EDGE_* and BF_* flags).
    virtual void DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags);
    // Computes the object's size and position; the base only marks the layout done.
    virtual void Layout();
    // Draws the control into the record's target; the base draws nothing.
    virtual void Paint(const ANIMDRAW* draw);
    virtual void OnSetFocus();
    virtual void OnKillFocus();

    // Takes ownership of the font (null: the system font); the previous one is deleted unless it is the
    // system font or the same font.
    void SetFont(HFONT font);
    HFONT GetFont() const { return font_; }
    // A font from a description such as "Tahoma,9,B" (the system font when it cannot be made).
    void SetFontDescription(const string& description);

    AnimObject* GetObject() const { return object_; }
    AnimWindow* GetWindow() const;
    DWORD GetKind() const { return kind_; }
    BOOL GetAutoRedraw() const { return autoRedraw_; }
    void SetAutoRedraw(BOOL autoRedraw) { autoRedraw_ = autoRedraw; }
    BOOL NeedsLayout() const { return needsLayout_; }

    // The control behind an object, or null when the object is not a live control's.
    static AuxControl* FromObject(AnimObject* object);
    // The first control among the window's objects (front to back) with that identifier, or null.
    static AuxControl* FindControl(AnimWindow* window, DWORD id);
    // The focused / captured control when it is of that kind (kAuxAnyKind: of any), else null.
    static AuxControl* GetFocusedControl(DWORD kind = kAuxAnyKind);
    static AuxControl* GetCapturedControl(DWORD kind = kAuxAnyKind);
    // Releases the capture and takes the focus from whichever control has it.
    static void ClearFocus();

    // The callback behaviour every control's object needs: hit test, forgetting a deleted object, layout
    // on amFRAME and Paint on amDRAW. Answers 1 to everything else.
    static DWORD ObjectCallback(AnimObject* object, DWORD message, LPARAM parameter);
    // The window filter that turns presses into focus and capture, and ends the capture on release.
    static LRESULT CALLBACK MouseHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Redraws the window now (only called where auto-redraw asks for it).
    void Redraw();
    void InvalidateObject();
    // The object's hit test for a point in window client coordinates.
    BOOL HitTest(POINT point);

    AnimObject* object_;
    BOOL autoSize_;
    BOOL needsLayout_;
    string text_;
    DWORD id_;
    AnimObjectCallback callback_;
    DWORD kind_;
    COLORREF* colors_;
    DWORD colorCount_;
    BOOL autoRedraw_;
    BOOL enabled_;
    HFONT font_;

private:
    AuxControl(const AuxControl&) = delete;
    AuxControl& operator=(const AuxControl&) = delete;

    // Every live control, so that an object whose slot 4 holds something else is never taken for one.
    AuxControl* nextLive_;
    static AuxControl* firstLive_;

    static AuxControl* focused_;
    static AuxControl* captured_;
    static HWND previousCapture_;
};
