// `SkinControl`: one control of a skinned window — push button, radio button, check box, progress bar,
// static text, scroll bar, program-drawn area, edit field or list box — drawn on the window's animation
// object from the state cells of its skin picture, with its markup text, hit test, mouse and key rules.
#pragma once

#include <windows.h>

#include "cetl_vector.h"
#include "skinmarkup.h"
#include "skinprops.h"
#include "tl_string.h"

class AnimObject;
class Graphic;
class SkinWindow;
struct ANIMDRAW;
struct SKINCONTROLGRAPHICS;
struct SKINWINDOWINSET;

// Control type codes.
enum {
    sctPUSHBUTTON = 7,
    sctRADIOBUTTON = 8,
    sctCHECKBOX = 9,
    sctPROGRESS = 10,
    sctSTATIC = 11,
    sctVSCROLL = 12,
    sctHSCROLL = 13,
    sctUSER = 14,
    sctEDIT = 15,
    sctLIST = 17
};

// Identifiers of the frame's own buttons and the first of the renumbered ones.
const DWORD kSkinCloseBox = 40000;
const DWORD kSkinMinimizeBox = 40001;
const DWORD kSkinFirstFreeId = 40100;

// A layout value that keeps the present one.
const LONG kSkinKeep = static_cast<LONG>(0x80000001);
// Layout flags of an axis.
const DWORD slFAR = 0x1;     // the offset is from the right (bottom) edge
const DWORD slCENTER = 0x2;  // centred on the reference, moved by the offset
const DWORD slOUTER = 0x4;   // the reference is the window's outer rectangle, not its inner one
const DWORD slGROW = 0x10;   // the size grows with the window
const DWORD slSHRINK = 0x20; // the size shrinks as the window grows

struct SKINAXIS {
    DWORD flags;
    LONG offset;
    LONG size;
};

// Scroll bar parts under the mouse.
enum { spNONE = 0, spFIRSTARROW = 1, spTRACKBEFORE = 2, spTHUMB = 3, spTRACKAFTER = 4, spSECONDARROW = 5 };

// Edit change notification code.
const WORD kSkinEditChange = 0x300;
// List selection change notification code.
const WORD kSkinListSelChange = 1;

// What activating a link does; the default opens the target through the shell. Returns the one before.
typedef void (*SkinLinkOpener)(const string& target);
SkinLinkOpener SkinSetLinkOpener(SkinLinkOpener opener);

class SkinControl {
public:
    SkinControl(SkinWindow* owner, SKINWINDOWINSET* page, DWORD type, DWORD id, const string& text,
                DWORD style);
    ~SkinControl();

    SkinWindow* GetOwner() const { return owner_; }
    SKINWINDOWINSET* GetPage() const { return page_; }
    DWORD GetType() const { return type_; }
    DWORD GetId() const { return id_; }
    DWORD GetStyle() const { return style_; }
    const string& GetText() const { return text_; }
    void SetText(const string& text);

    BOOL IsEnabled() const { return enabled_; }
    void Enable(BOOL enable);
    BOOL IsChecked() const { return checked_; }
    void SetChecked(BOOL checked);
    BOOL IsVisible() const { return visible_; }
    void Show(BOOL show);
    DWORD GetRadioGroup() const { return radioGroup_; }
    void SetRadioGroup(DWORD group) { radioGroup_ = group; }

    // Progress position 0 to 100.
    void SetProgress(LONG position);
    LONG GetProgress() const { return progress_; }

    // Scroll bar range, page and position.
    void SetScrollInfo(LONG minimum, LONG maximum, LONG page, LONG position);
    LONG GetScrollPos() const { return scrollPos_; }
    // Thumb start and length along the track, relative to the bar's start; the track's start and length.
    void GetThumb(LONG* trackStart, LONG* trackLength, LONG* thumbStart, LONG* thumbLength) const;
    // The scroll bar part at a window point.
    DWORD ScrollPartAt(POINT point) const;
    // The window notified by the bar's moves (null: the owner's window procedure).
    void SetScrollTarget(SkinControl* target) { scrollTarget_ = target; }

    // Edit caret and selection.
    DWORD GetCaret() const { return caret_; }
    void GetSelection(DWORD* start, DWORD* length) const;
    void SetSelection(DWORD anchor, DWORD caret);

    // List items.
    void AddItem(const string& item);
    void ClearItems();
    DWORD GetItemCount() const { return items_.size(); }
    LONG GetSelectedItem() const { return selectedItem_; }
    void SetSelectedItem(LONG index);

    // Layout: each axis from the reference rectangle of the window (see SkinWindow::Place).
    void SetLayout(LONG xFlags, LONG xOffset, LONG width, LONG yFlags, LONG yOffset, LONG height);
    const SKINAXIS& GetAxisX() const { return x_; }
    const SKINAXIS& GetAxisY() const { return y_; }
    const RECT& GetRect() const { return rect_; }
    // Places the control at a window rectangle (done by the window from the layout).
    void SetRect(const RECT& rect);

    // Takes the skin picture(s) of the type (throws the missing-picture text for a required one), and the
    // text style. A picture given by the program replaces the skin's.
    void MakePictures();
    void SetPicture(Graphic* picture);
    SKINCONTROLGRAPHICS* GetGraphics() const { return graphics_; }
    const SKINTEXTSTYLE& GetTextStyle() const { return textStyle_; }
    const MarkupLayout& GetLayout() const { return layout_; }
    // Lays the text out afresh for the present rectangle and font.
    void LayoutText();
    // The height of the text laid out at a width.
    LONG MeasureText(LONG width);

    // State as drawn: enabled (and not switched off by its own state), hot, pressed.
    BOOL IsEffectivelyEnabled() const;
    BOOL IsHot() const;
    BOOL IsPressed() const;
    // The row (push, radio and check buttons: 3 pressed, 2 hot, 1 enabled, 0 disabled) and the cell drawn.
    DWORD StateRow() const;
    DWORD CellIndex() const;
    BOOL WantsFocus() const;
    // Draws the control as if in state row 0 to 3 whatever the mouse does (-1: as it is), for pictures
    // of every state made by tools.
    void ForceState(LONG row);

    // Whether the control takes a press at a window point.
    BOOL HitTest(POINT point) const;
    // Mouse: a press on the control, moves while it is pressed, the release (inside or not).
    void OnPress(POINT point);
    void OnDrag(POINT point);
    void OnRelease(POINT point);
    // Keys and characters given to the focused control.
    void OnKeyDown(UINT key);
    void OnChar(UINT character);
    // Acts as clicked: push buttons notify, radio buttons check (unchecking their group), check boxes
    // toggle.
    void Click();

    void Invalidate();
    AnimObject* GetObject() const { return object_; }
    // Draws the control into an engine target (also used for pictures saved by tools).
    void Draw(Graphic* target, const RECT& clip);

private:
    SkinControl(const SkinControl&) = delete;
    SkinControl& operator=(const SkinControl&) = delete;

    static DWORD ObjectCallback(AnimObject* object, DWORD message, LPARAM parameter);
    RECT TextRect() const;
    MarkupStyle BaseStyle() const;
    void DrawText(Graphic* target, const RECT& clip, const RECT& area);
    void DrawPushButton(Graphic* target, const RECT& clip);
    void DrawBox(Graphic* target, const RECT& clip);
    void DrawProgress(Graphic* target, const RECT& clip);
    void DrawScrollBar(Graphic* target, const RECT& clip);
    void DrawEdit(Graphic* target, const RECT& clip);
    void DrawList(Graphic* target, const RECT& clip);
    void Notify(WORD code);
    void ScrollTo(LONG position, WORD code);
    void EditReplaceSelection(const string& with);
    LONG EditCaretX(DWORD position);
    DWORD EditPositionAt(LONG x);

    SkinWindow* owner_;
    SKINWINDOWINSET* page_;
    DWORD type_;
    DWORD id_;
    DWORD style_;
    string text_;
    BOOL enabled_;
    BOOL checked_;
    BOOL visible_;
    DWORD radioGroup_;
    SKINAXIS x_, y_;
    RECT rect_;
    SKINCONTROLGRAPHICS* graphics_; // the skin's, or made from the program's picture
    SKINCONTROLGRAPHICS* ownGraphics_;
    SKINCONTROLGRAPHICS* second_; // caret or list item
    SKINTEXTSTYLE textStyle_;
    MarkupLayout layout_;
    AnimObject* object_;
    LONG progress_;
    LONG scrollMin_, scrollMax_, scrollPage_, scrollPos_;
    LONG dragOffset_; // thumb drag: the press point's distance from the thumb's start
    DWORD pressedPart_;
    SkinControl* scrollTarget_;
    DWORD caret_, anchor_;
    cetl::vector<string> items_;
    LONG selectedItem_;
    LONG forcedRow_;
};
