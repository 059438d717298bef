// `AnimButton` is the push button, check box and radio button drawn inside an animation window: it tracks
// the stylus from press to release, clicks (toggling or checking its radio group when asked to), tells the
// application through window-procedure style handlers, and draws itself from two pictures or a plain face.
#pragma once

#include "aux_control.h"

class Graphic;

// Style: the type in bits 0 to 3, the click behaviour in bits 4 to 7, the radio group in bits 16 to 31.
const DWORD abTYPEMASK = 0x000F;
const DWORD abPUSHBUTTON = 0x0000;
const DWORD abCHECKBOX = 0x0001;
const DWORD abRADIOBUTTON = 0x0002;
const DWORD abBEHAVIOURMASK = 0x00F0;
const DWORD abAUTORADIO = 0x0010;
const DWORD abAUTOTOGGLE = 0x0020;
// A push button whose face and edge show only while pressed, checked or under the cursor.
const DWORD abHOVER = 0x0100;
const DWORD abCENTERTEXT = 0x0200;
inline DWORD ButtonGroupStyle(WORD group) { return static_cast<DWORD>(group) << 16; }

// The filters shared by every button of a window: release before the control base's hook, tracking after.
const DWORD kButtonReleasePriority = 99;
const DWORD kButtonTrackingPriority = 101;

// A hook sees the button object's messages: (object, message, parameter).
typedef AnimObjectCallback ButtonHook;

class AnimButton : public AuxControl {
public:
    AnimButton(AnimWindow* window, DWORD id, DWORD style, LONG depth);
    ~AnimButton() override;

    // Receives WM_COMMAND with BN_CLICKED; (window, message, MAKEWPARAM(id, code), the button).
    void SetCommandHandler(WNDPROC handler) { commandHandler_ = handler; }
    // Receives WM_COMMAND with BN_HILITE and BN_UNHILITE.
    void SetNotifyHandler(WNDPROC handler) { notifyHandler_ = handler; }
    BOOL IsHeld() const { return held_; }
    void SetHeld(BOOL held);
    BOOL IsChecked() const { return checked_; }
    void SetChecked(BOOL checked);
    DWORD GetStyle() const { return style_; }
    void GetPictures(Graphic** first, Graphic** second) const;
    // Pictures are not owned; with either set the button is drawn and sized by them alone.
    void SetPictures(Graphic* first, Graphic* second);
    // Called after the default drawing with amDRAW and the draw record.
    void SetPostPaintHook(ButtonHook hook);
    // Sees every message of the object first (answering 0 stops it, so it also decides the hit test of a
    // disabled button) and replaces the default drawing. A hook answering non-zero to amDRAW is called
    // twice per draw, once as a message and once as the drawing; hooks draw the same pixels both times.
    // It does not see the amDESTROY of a button being destroyed: the button is gone by then.
    void SetMessageHook(ButtonHook hook);

    void Layout() override;
    void Paint(const ANIMDRAW* draw) override;
    void OnKillFocus() override;

    // The button behind an object, or null.
    static AnimButton* FromObject(AnimObject* object);
    // The focused control when it is a button, else null.
    static AnimButton* GetFocusedButton();

    static DWORD ButtonCallback(AnimObject* object, DWORD message, LPARAM parameter);
    static LRESULT CALLBACK TrackingFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK ReleaseFilter(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    BOOL IsCheckType() const;
    BOOL HasPictures() const { return firstPicture_ || secondPicture_; }
    void Notify(WORD code);
    void Click();
    void PaintPush(const ANIMDRAW* draw);
    void PaintCheck(const ANIMDRAW* draw);
    // The focused button holding the capture on this window, and the message's point in its client area.
    static AnimButton* TrackedButton(HWND window, LPARAM lParam, POINT* point);

    WNDPROC commandHandler_;
    WNDPROC notifyHandler_;
    BOOL held_;
    BOOL checked_;
    DWORD style_;
    Graphic* firstPicture_;
    Graphic* secondPicture_;
    ButtonHook postPaintHook_;
    ButtonHook messageHook_;
};

// Buttons are registered under "ANIMBUTTON" and released with MEMDELETE.
#define NEW_ANIMBUTTON(args)                                                                                 \
    static_cast<AnimButton*>(                                                                                \
        MemRegisterObject(new AnimButton args, sizeof(AnimButton), "ANIMBUTTON", __FILE__, __LINE__))
