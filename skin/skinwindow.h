// `SkinWindow`: a top-level window of class "SkinWindow" drawn entirely by the animation engine with the
// pictures of a skin. Its content comes from dialog templates made invisibly and replaced control by
// control with skinned controls; the program's procedures then see it as a dialog (WM_INITDIALOG,
// WM_COMMAND). The window is shaped by its frame's opaque pixels, dragged and resized by hand, and run
// modally.
#pragma once

#include <windows.h>

#include "cetl_list.h"
#include "cetl_vector.h"
#include "skinprops.h"
#include "skinregion.h"
#include "tl_string.h"

class AnimWindow;
class Graphic;
class Skin;
class SkinControl;
class SkinWindow;

// Window and page procedures: (window, message, first parameter, second parameter); they return 0.
typedef LRESULT (*SkinProc)(SkinWindow* window, UINT message, WPARAM wParam, LPARAM lParam);

// Sent to a page's procedure once the page's controls have their pictures.
const UINT kSkinPicturesReady = 0x4002;

// A page: the controls made from one dialog template.
struct SKINWINDOWINSET {
    SkinWindow* window;
    string variant;
    SkinProc procedure;
    UINT dialogId;
    LPARAM user;
};

// Mouse zones of a press.
enum {
    szNONE = 0,
    szDRAG,
    szCONTROL,
    szLEFT,
    szRIGHT,
    szTOP,
    szBOTTOM,
    szTOPLEFT,
    szTOPRIGHT,
    szBOTTOMLEFT,
    szBOTTOMRIGHT
};

class SkinWindow {
public:
    // Registers the window class "SkinWindow" (once), with the icon resource `icon` when there is one.
    static BOOL RegisterClass(HINSTANCE instance, UINT icon);
    // Creates the window with the skin's look for `variant`, insetting dialog `dialogId` (0: none) as the
    // first page. Throws cetl::exception when a required picture is missing; null when the window
    // cannot be made.
    static SkinWindow* Create(Skin* skin, const string& variant, SkinProc procedure, UINT dialogId,
                              LPARAM user, HWND parent);
    // The skinned window of a window handle, or null.
    static SkinWindow* FromHandle(HWND window);
    // Destroys the window, its controls and pages, and the record itself.
    void Destroy();

    // Shows the window and runs its frames and messages until EndModal; returns the result.
    INT_PTR RunModal();
    void EndModal(INT_PTR result);
    BOOL IsModalRunning() const { return modalRunning_; }

    // Adds a page from a dialog template (throws like Create); removes a page and its controls.
    SKINWINDOWINSET* InsetPage(const string& variant, SkinProc procedure, UINT dialogId, LPARAM user);
    void DestroyPage(SKINWINDOWINSET* page);
    SKINWINDOWINSET* GetFirstPage() const;

    // Adds a control made by the program (message boxes), to the first page. Its pictures come with
    // MakeControls.
    SkinControl* AddControl(DWORD type, DWORD id, const string& text, DWORD style);
    // Gives every control without one its pictures and lays out the texts (throws for missing pictures).
    void MakeControls();

    SkinControl* GetControl(DWORD id) const;
    DWORD GetControlCount() const { return controls_.size(); }
    SkinControl* GetControlAt(DWORD index) const { return controls_[index]; }
    // The controls of a page in creation order.
    void GetPageControls(const SKINWINDOWINSET* page, cetl::vector<SkinControl*>* list) const;

    // Control access by identifier; each does nothing for an unknown identifier.
    void SetText(DWORD id, const string& text);
    void SetChecked(DWORD id, BOOL checked);
    BOOL GetChecked(DWORD id) const;
    void SetProgress(DWORD id, LONG position);
    // Cuts a picture of the program into the control's grid; the picture stays the caller's.
    void SetControlPicture(DWORD id, Graphic* picture);
    void SetControlLayout(DWORD id, LONG xFlags, LONG xOffset, LONG width, LONG yFlags, LONG yOffset,
                          LONG height);

    // Places a control from its layout and the window's present size.
    void Place(SkinControl* control);
    // Moves and sizes the window (outer rectangle), laying out frame, shape and controls again.
    void SetWindowRect(LONG left, LONG top, LONG width, LONG height);
    void SetCaption(const string& caption);

    // The window less its frame borders, in window coordinates.
    RECT GetInnerRect() const;
    RECT GetOuterRect() const;
    HWND GetHandle() const { return window_; }
    AnimWindow* GetAnimWindow() const;
    Skin* GetSkin() const { return skin_; }
    const string& GetVariant() const { return variant_; }
    const SKINWINDOWSTYLE& GetStyle() const { return style_; }
    BOOL IsResizable() const { return resizable_; }
    BOOL HasCloseBox() const { return closeBox_; }
    BOOL HasMinimizeBox() const { return minimizeBox_; }
    HRGN CopyRegion() const;
    const SKINFRAMEPIECE* GetFramePieces(DWORD* count) const {
        *count = pieceCount_;
        return pieces_;
    }

    // Mouse state for the controls' states.
    SkinControl* GetHotControl() const { return hot_; }
    SkinControl* GetPressedControl() const { return pressed_; }
    SkinControl* GetFocus() const { return focus_; }
    void SetFocus(SkinControl* control) { focus_ = control; }
    BOOL IsButtonDown() const { return buttonDown_; }
    // The zone a press at a window point would start.
    DWORD HitZone(POINT point, SkinControl** control) const;
    // Tracking limits of a resizable window.
    void GetSizeLimits(SIZE* minimum, SIZE* maximum) const;

    // Sends a message to a page's procedure (null: the window's own page).
    LRESULT SendToPage(SKINWINDOWINSET* page, UINT message, WPARAM wParam, LPARAM lParam);
    // Radio buttons of one group, unchecked except `checked`.
    void CheckRadio(SkinControl* checked);

    // Draws the window's background (frame and inside) into a target of the window's size.
    void DrawBackground(Graphic* target, const RECT& clip);
    // Composes the whole window (background and every visible control) into a new graphic of its size
    // (MEMDELETE it); null on failure. For checks and screenshots.
    Graphic* Render();

    // Called by the window procedure.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL* handled);

private:
    SkinWindow(Skin* skin, const string& variant);
    ~SkinWindow();
    SkinWindow(const SkinWindow&) = delete;
    SkinWindow& operator=(const SkinWindow&) = delete;

    void MakePage(SKINWINDOWINSET* page, BOOL first);
    void BuildFrame();
    void ApplyRegion();
    void LayoutAll();
    DWORD FreeId();
    void OnButtonDown(POINT point);
    void OnMouseMove(POINT point);
    void OnButtonUp(POINT point);
    void SetHot(SkinControl* control);
    void RemoveControl(SkinControl* control);

    Skin* skin_;
    string variant_;
    HWND window_;
    SKINWINDOWSTYLE style_;
    cetl::vector<SkinControl*> controls_;
    cetl::list<SKINWINDOWINSET*> pages_;
    SKINFRAMEPIECE pieces_[kMaxFramePieces];
    DWORD pieceCount_;
    Graphic* background_; // the skin's "background" picture, or null
    BOOL singleFrame_;
    BOOL resizable_, closeBox_, minimizeBox_;
    SIZE design_; // the inner size of the window's own template, 0 without one
    DWORD radioGroups_;
    BOOL lastWasRadio_;
    DWORD nextFreeId_;
    // Mouse.
    DWORD zone_;
    SkinControl* pressed_;
    SkinControl* hot_;
    SkinControl* focus_;
    BOOL buttonDown_;
    POINT pressScreen_;
    RECT pressWindow_;
    // Modal run.
    BOOL modalRunning_;
    BOOL modalEnded_;
    INT_PTR modalResult_;
    HWND disabledParent_;
};
