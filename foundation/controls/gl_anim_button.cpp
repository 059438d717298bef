// Animation buttons: tracking, clicks, notifications, layout and drawing.
#include "gl_anim_button.h"

#include <windowsx.h>

#include "cea_anim_window.h"
#include "cea_graphic.h"

namespace {

const COLORREF kNoColour = 0xFFFFFFFF;
const LONG kCheckBoxSize = 13;

RECT Intersection(const RECT& a, const RECT& b) {
    RECT result;
    if (!IntersectRect(&result, &a, &b)) SetRectEmpty(&result);
    return result;
}

// Draws a picture with its top-left corner at (x, y), only inside `clip`.
void DrawPicture(Graphic* picture, Graphic* target, LONG x, LONG y, const RECT& clip) {
    if (picture && target && !IsRectEmpty(&clip)) picture->DrawTo(target, x, y, clip);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    if (colour == kNoColour || IsRectEmpty(&rect)) return;
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// A device context on the record's target, clipped to the part being redrawn; RestoreDC puts back the
// font, colours, background mode and clipping the drawing changed.
class TargetDC {
public:
    explicit TargetDC(const ANIMDRAW* draw) : target_(draw->target), dc_(nullptr), saved_(0) {
        if (!target_) return;
        dc_ = target_->GetDC();
        if (!dc_) return;
        saved_ = SaveDC(dc_);
        IntersectClipRect(dc_, draw->clip.left, draw->clip.top, draw->clip.right, draw->clip.bottom);
    }
    ~TargetDC() {
        if (!dc_) return;
        if (saved_) RestoreDC(dc_, saved_);
        target_->ReleaseDC();
    }
    HDC Get() const { return dc_; }

private:
    Graphic* target_;
    HDC dc_;
    int saved_;
};

} // namespace

AnimButton::AnimButton(AnimWindow* window, DWORD id, DWORD style, LONG depth)
    : AuxControl(window, id, depth, ButtonCallback), commandHandler_(nullptr), notifyHandler_(nullptr),
      held_(FALSE), checked_(FALSE), style_(style), firstPicture_(nullptr), secondPicture_(nullptr),
      postPaintHook_(nullptr), messageHook_(nullptr) {
    kind_ = kAuxKindButton;
    if (!object_) return;
    // A filter already on the window only gains a reference, so all buttons of a window share the two.
    window->AddFilter(ReleaseFilter, FilterFlags(afALL, kButtonReleasePriority));
    window->AddFilter(TrackingFilter, FilterFlags(afALL, kButtonTrackingPriority));
}

AnimButton::~AnimButton() {
    AnimWindow* window = GetWindow();
    if (window) {
        window->RemoveFilter(ReleaseFilter);
        window->RemoveFilter(TrackingFilter);
    }
}

AnimButton* AnimButton::FromObject(AnimObject* object) {
    AuxControl* control = AuxControl::FromObject(object);
    return control && control->GetKind() == kAuxKindButton ? static_cast<AnimButton*>(control) : nullptr;
}

AnimButton* AnimButton::GetFocusedButton() {
    return static_cast<AnimButton*>(AuxControl::GetFocusedControl(kAuxKindButton));
}

void AnimButton::SetHeld(BOOL held) {
    held_ = held ? TRUE : FALSE;
    Refresh();
}

void AnimButton::SetChecked(BOOL checked) {
    checked_ = checked ? TRUE : FALSE;
    Refresh();
}

void AnimButton::GetPictures(Graphic** first, Graphic** second) const {
    if (first) *first = firstPicture_;
    if (second) *second = secondPicture_;
}

void AnimButton::SetPictures(Graphic* first, Graphic* second) {
    firstPicture_ = first;
    secondPicture_ = second;
    if (autoSize_) needsLayout_ = TRUE;
    InvalidateObject();
    if (autoRedraw_) Redraw();
}

void AnimButton::SetPostPaintHook(ButtonHook hook) {
    postPaintHook_ = hook;
    InvalidateObject();
    if (autoRedraw_) Redraw();
}

void AnimButton::SetMessageHook(ButtonHook hook) {
    messageHook_ = hook;
    InvalidateObject();
    if (autoRedraw_) Redraw();
}

void AnimButton::OnKillFocus() { SetHeld(FALSE); }

BOOL AnimButton::IsCheckType() const {
    DWORD type = style_ & abTYPEMASK;
    return type == abCHECKBOX || type == abRADIOBUTTON;
}

void AnimButton::Notify(WORD code) {
    WNDPROC handler = code == BN_CLICKED ? commandHandler_ : notifyHandler_;
    if (!handler) return;
    AnimWindow* window = GetWindow();
    handler(window ? window->GetHandle() : nullptr, WM_COMMAND, MAKEWPARAM(id_, code),
            reinterpret_cast<LPARAM>(this));
}

void AnimButton::Click() {
    DWORD behaviour = style_ & abBEHAVIOURMASK;
    if (behaviour == abAUTOTOGGLE) checked_ = !checked_;
    if (behaviour == abAUTORADIO && object_ && !checked_) {
        AnimWindow* window = GetWindow();
        for (AnimObject* object = window->GetFirstObject(); object; object = window->GetNextObject(object)) {
            AnimButton* other = FromObject(object);
            if (!other || other == this || (other->style_ & abBEHAVIOURMASK) != abAUTORADIO ||
                (other->style_ >> 16) != (style_ >> 16))
                continue;
            // Repainted as well, or a cleared radio button would go on showing its checked look.
            if (other->checked_) object->Invalidate();
            other->checked_ = FALSE;
        }
        checked_ = TRUE;
    }
    InvalidateObject();
    // The handler may destroy this button (a new screen): nothing of it is touched afterwards.
    Notify(BN_CLICKED);
}

AnimButton* AnimButton::TrackedButton(HWND handle, LPARAM lParam, POINT* point) {
    AnimWindow* window = AnimWindow::FromHandle(handle);
    if (!window) return nullptr;
    point->x = GET_X_LPARAM(lParam);
    point->y = GET_Y_LPARAM(lParam);
    AnimButton* button = GetFocusedButton();
    // The point belongs to this window; a button on another one is not tracked through it.
    if (!button || !button->HasCapture() || button->GetWindow() != window) return nullptr;
    return button;
}

LRESULT CALLBACK AnimButton::TrackingFilter(HWND handle, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_MOUSEMOVE && message != WM_LBUTTONDOWN) return 0;
    POINT point;
    AnimButton* button = TrackedButton(handle, lParam, &point);
    if (!button) return 0;
    // Held follows the hit only for an enabled button, so a disabled one (which a message hook may still
    // let hit) neither holds nor sends an unhilite for a hilite it never sent.
    BOOL held = button->HitTest(point) && button->enabled_;
    if (held == button->held_) return 0;
    button->held_ = held;
    button->Notify(held ? BN_HILITE : BN_UNHILITE);
    button->Refresh();
    return 0;
}

LRESULT CALLBACK AnimButton::ReleaseFilter(HWND handle, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_LBUTTONUP) return 0;
    POINT point;
    AnimButton* button = TrackedButton(handle, lParam, &point);
    if (!button) return 0;
    if (button->held_) button->Notify(BN_UNHILITE);
    button->held_ = FALSE;
    button->Refresh();
    if (button->HitTest(point) && button->enabled_) button->Click();
    return 0;
}

DWORD AnimButton::ButtonCallback(AnimObject* object, DWORD message, LPARAM parameter) {
    AnimButton* button = FromObject(object);
    if (!button) return 1;
    if (button->messageHook_) {
        if (!button->messageHook_(object, message, parameter)) return 0;
    } else if (message == acHITTEST && !button->enabled_) {
        return 0;
    }
    return AuxControl::ObjectCallback(object, message, parameter);
}

void AnimButton::Layout() {
    if (!object_) return;
    LONG width, height;
    if (HasPictures()) {
        Graphic* first = firstPicture_ ? firstPicture_ : secondPicture_;
        Graphic* second = secondPicture_ ? secondPicture_ : firstPicture_;
        width = first->GetWidth() > second->GetWidth() ? first->GetWidth() : second->GetWidth();
        height = first->GetHeight() > second->GetHeight() ? first->GetHeight() : second->GetHeight();
    } else {
        SIZE text = {0, 0};
        if (!text_.IsEmpty()) {
            HWND handle = GetWindow()->GetHandle();
            HDC dc = ::GetDC(handle);
            if (dc) {
                HGDIOBJ oldFont = SelectObject(dc, font_);
                GetTextExtentExPoint(dc, text_.GetChars(), text_.GetLength(), 0, nullptr, nullptr, &text);
                SelectObject(dc, oldFont);
                ::ReleaseDC(handle, dc);
            }
        }
        SIZE image = {0, 0};
        BOOL push = !IsCheckType();
        if (push) {
            Graphic* shown = GetImage();
            if (shown) {
                image.cx = shown->GetWidth();
                image.cy = shown->GetHeight();
            }
        } else {
            image.cx = image.cy = kCheckBoxSize;
        }
        width = 2 + (push ? 5 : 0) + text.cx + image.cx + (text.cx && image.cx ? 8 : 0);
        height = (push ? 7 : 0) + (text.cy > image.cy ? text.cy : image.cy);
    }
    object_->SetSize(width, height);
    needsLayout_ = FALSE;
}

void AnimButton::Paint(const ANIMDRAW* draw) {
    if (!draw) return;
    if (messageHook_) {
        messageHook_(object_, amDRAW, reinterpret_cast<LPARAM>(draw));
        return;
    }
    if (!HasPictures() && IsCheckType())
        PaintCheck(draw);
    else
        PaintPush(draw);
}

void AnimButton::PaintPush(const ANIMDRAW* draw) {
    const RECT& r = draw->object;
    BOOL pressed = held_ || checked_;
    LONG p = pressed ? 1 : 0;
    BOOL pictures = HasPictures();
    if (pictures)
        DrawPicture(pressed ? secondPicture_ : firstPicture_, draw->target, r.left, r.top,
                    Intersection(r, draw->clip));

    BOOL face = TRUE;
    if ((style_ & abHOVER) && !pictures) {
        if (!enabled_) {
            face = FALSE;
        } else if (!pressed) {
            POINT cursor;
            AnimWindow* window = GetWindow();
            if (!window || !GetCursorPos(&cursor))
                face = FALSE;
            else {
                ScreenToClient(window->GetHandle(), &cursor);
                if (!HasCapture() && !PtInRect(&r, cursor)) face = FALSE;
            }
        }
        // The hover button follows the cursor with the focus.
        if (GetFocusedControl() == this && !face)
            ClearFocus();
        else if (GetFocusedControl() != this && face)
            SetFocus();
    }

    Graphic* shown = GetImage();
    {
        TargetDC target(draw);
        HDC dc = target.Get();
        if (dc) {
            if (!pictures && face) {
                FillSolid(dc, r, GetColor(acCOLOR_BUTTONFACE));
                RECT edge = r;
                DrawEdge(dc, &edge, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
            }
            if (!text_.IsEmpty()) {
                LONG x = r.left + 3 + p, y = r.top + 3 + p;
                if (shown) x += shown->GetWidth() + 8;
                RECT textRect = {x, y, r.right - 1 + p, r.bottom - 1 + p};
                UINT format = DT_SINGLELINE | DT_VCENTER;
                if (style_ & abCENTERTEXT) {
                    format |= DT_CENTER;
                    textRect.left = r.left + 1 + p;
                }
                SelectObject(dc, font_);
                SetTextColor(dc, GetColor(acCOLOR_TEXT));
                SetBkMode(dc, TRANSPARENT);
                DrawText(dc, text_.GetChars(), text_.GetLength(), &textRect, format);
            }
            if (!pictures && face && GetFocusedControl() == this) {
                RECT focus = r;
                InflateRect(&focus, -2, -2);
                DrawFocusRect(dc, &focus);
            }
        }
    }
    if (!pictures && shown) {
        LONG x = r.left + 3 + p, y = r.top + 3 + p;
        RECT clip = {x, y, x + (r.right - r.left) - 7, y + (r.bottom - r.top) - 7};
        DrawPicture(shown, draw->target, x, y, Intersection(clip, draw->clip));
    }
    if (postPaintHook_) postPaintHook_(object_, amDRAW, reinterpret_cast<LPARAM>(draw));
}

void AnimButton::PaintCheck(const ANIMDRAW* draw) {
    const RECT& r = draw->object;
    TargetDC target(draw);
    HDC dc = target.Get();
    if (!dc) return;
    FillSolid(dc, r, GetColor(acCOLOR_FACE));
    // The box (the game draws its check buttons from pictures, so this plain look is ours to choose): a
    // sunken square with a solid mark in the text colour while checked.
    LONG boxTop = r.top + (r.bottom - r.top - kCheckBoxSize) / 2;
    RECT box = {r.left, boxTop, r.left + kCheckBoxSize, boxTop + kCheckBoxSize};
    DrawEdge(dc, &box, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    if (checked_) {
        InflateRect(&box, -2, -2);
        FillSolid(dc, box, GetColor(acCOLOR_TEXT));
    }
    LONG x = r.left + 21;
    if (!text_.IsEmpty()) {
        SelectObject(dc, font_);
        SIZE size = {0, 0};
        GetTextExtentExPoint(dc, text_.GetChars(), text_.GetLength(), 0, nullptr, nullptr, &size);
        // Drawn at the top of its centred rectangle, so that clipping to it never cuts the text.
        LONG top = r.top + (r.bottom - r.top - size.cy) / 2;
        RECT clip = {x, top, x + size.cx, top + size.cy};
        SetTextColor(dc, GetColor(acCOLOR_TEXT));
        SetBkMode(dc, TRANSPARENT);
        ExtTextOut(dc, x, top, ETO_CLIPPED, &clip, text_.GetChars(), text_.GetLength(), nullptr);
    }
    if (GetFocusedControl() == this) {
        RECT focus = r;
        focus.left = x - 2;
        DrawFocusRect(dc, &focus);
    }
}
