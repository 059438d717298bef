// The control base: object ownership, text, colours, font, layout on demand, focus and capture.
#include "aux_control.h"

#include <windowsx.h>

#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "tl_language.h"

AuxControl* AuxControl::firstLive_ = nullptr;
AuxControl* AuxControl::focused_ = nullptr;
AuxControl* AuxControl::captured_ = nullptr;
HWND AuxControl::previousCapture_ = nullptr;

namespace {

const COLORREF kNoColour = 0xFFFFFFFF;

HFONT SystemFont() { return static_cast<HFONT>(GetStockObject(SYSTEM_FONT)); }

// Fills a rectangle with a colour; "no colour" fills nothing.
void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
    if (colour == kNoColour || IsRectEmpty(&rect)) return;
    HBRUSH brush = CreateSolidBrush(colour);
    if (!brush) return;
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

} // namespace

AuxControl::AuxControl(AnimWindow* window, DWORD id, LONG depth, AnimObjectCallback callback)
    : object_(nullptr), autoSize_(TRUE), needsLayout_(FALSE), id_(id), callback_(callback),
      kind_(kAuxKindBase), colors_(nullptr), colorCount_(0), autoRedraw_(FALSE), enabled_(TRUE),
      font_(SystemFont()), nextLive_(firstLive_) {
    firstLive_ = this;
    if (!window) return;
    // The object's amCREATE arrives before the back pointer is stored, so it finds no control and is
    // answered with 1 like any other message of a stranger.
    object_ = NEW_ANIMOBJECT((window, callback, depth));
    if (!object_) return;
    object_->SetData(kAuxControlSlot, reinterpret_cast<DWORD_PTR>(this));
    window->AddFilter(MouseHook, FilterFlags(afALL, 0));
}

AuxControl::~AuxControl() {
    // Leave the live list first: the object's callback, reached while the object is deleted below, must
    // not find this control half destroyed.
    for (AuxControl** link = &firstLive_; *link; link = &(*link)->nextLive_) {
        if (*link == this) {
            *link = nextLive_;
            break;
        }
    }
    AnimWindow* window = GetWindow();
    if (window) window->RemoveFilter(MouseHook);
    if (object_) {
        AnimObject* object = object_;
        object_ = nullptr;
        object->SetData(kAuxControlSlot, 0);
        MEMDELETE(object);
    }
    if (captured_ == this) ReleaseCapture();
    if (focused_ == this) ClearFocus();
    if (autoRedraw_ && window) window->Update();
    if (colors_) MEMFREE(colors_);
    colors_ = nullptr;
    colorCount_ = 0;
    // The control owns the font it was given; a font left behind would leak a GDI object per control.
    if (font_ && font_ != SystemFont()) DeleteObject(font_);
    font_ = nullptr;
}

AnimWindow* AuxControl::GetWindow() const { return object_ ? object_->GetWindow() : nullptr; }

void AuxControl::Redraw() {
    AnimWindow* window = GetWindow();
    if (window) window->Update();
}

void AuxControl::InvalidateObject() {
    if (object_) object_->Invalidate();
}

BOOL AuxControl::HitTest(POINT point) {
    if (!object_) return FALSE;
    const RECT& rect = object_->GetRect();
    if (!PtInRect(&rect, point)) return FALSE;
    POINT relative = {point.x - rect.left, point.y - rect.top};
    return object_->Send(acHITTEST, reinterpret_cast<LPARAM>(&relative)) != 0;
}

void AuxControl::GetRect(RECT* rect) {
    if (!rect) return;
    if (needsLayout_ && object_) Layout();
    if (object_)
        object_->GetRect(rect);
    else
        SetRectEmpty(rect);
}

void AuxControl::SetRect(const RECT* rect) {
    if (!rect) {
        SetAutoSize();
        return;
    }
    // An explicit rectangle wins over a layout still pending from an earlier text or picture change,
    // which would otherwise resize the control on the next frame.
    autoSize_ = FALSE;
    needsLayout_ = FALSE;
    if (object_) object_->SetRect(rect);
}

void AuxControl::GetPosition(LONG* x, LONG* y) {
    if (needsLayout_ && object_) Layout();
    if (object_) {
        object_->GetPos(x, y);
        return;
    }
    if (x) *x = 0;
    if (y) *y = 0;
}

void AuxControl::SetPosition(LONG x, LONG y) {
    // Layouts keep the position, so a pending one may still size the control.
    autoSize_ = FALSE;
    if (object_) object_->SetPos(x, y);
}

void AuxControl::SetAutoSize() {
    autoSize_ = TRUE;
    needsLayout_ = TRUE;
    InvalidateObject();
}

void AuxControl::GetSize(LONG* width, LONG* height) {
    if (needsLayout_ && object_) Layout();
    if (object_) {
        object_->GetSize(width, height);
        return;
    }
    if (width) *width = 0;
    if (height) *height = 0;
}

void AuxControl::SetSize(LONG width, LONG height) {
    // As with SetRect: an explicit size is not overwritten by a pending layout.
    autoSize_ = FALSE;
    needsLayout_ = FALSE;
    if (object_) object_->SetSize(width, height);
}

DWORD AuxControl::GetTextLength() { return text_.GetLength() + 1; }

string AuxControl::GetText() { return text_; }

void AuxControl::SetText(const string& text) {
    text_ = text;
    if (autoSize_) needsLayout_ = TRUE;
    Refresh();
}

Graphic* AuxControl::GetImage() { return object_ ? object_->GetCurrentGraphic() : nullptr; }

void AuxControl::SetImage(Graphic* image) {
    if (!object_) return;
    // The control draws the picture itself, inside its own face.
    object_->SetGraphic(image, FALSE);
    if (autoSize_) needsLayout_ = TRUE;
    if (autoRedraw_) Redraw();
}

DWORD AuxControl::GetId() { return id_; }

void AuxControl::SetId(DWORD id) { id_ = id; }

BOOL AuxControl::IsEnabled() { return enabled_; }

void AuxControl::Enable(BOOL enable) {
    enabled_ = enable ? TRUE : FALSE;
    Refresh();
}

void AuxControl::Refresh() {
    if (needsLayout_ && object_) Layout();
    InvalidateObject();
    if (autoRedraw_) Redraw();
}

COLORREF AuxControl::GetColor(DWORD index) {
    if (index < colorCount_) return colors_[index];
    switch (index) {
    case acCOLOR_FACE:
    case acCOLOR_BUTTONFACE:
        return GetSysColor(COLOR_BTNFACE);
    case acCOLOR_HIGHLIGHT:
        return GetSysColor(COLOR_BTNHIGHLIGHT);
    case acCOLOR_SHADOW:
        return GetSysColor(COLOR_BTNSHADOW);
    case acCOLOR_TEXT:
        return GetSysColor(COLOR_WINDOWTEXT);
    default:
        return kNoColour;
    }
}

BOOL AuxControl::SetColor(DWORD index, COLORREF colour) {
    // index + 1 would wrap to 0 and "grow" nothing.
    if (index == 0xFFFFFFFF) return FALSE;
    if (!MEMREALLOC(COLORREF, colors_, colorCount_, index + 1, 4) || index >= colorCount_) return FALSE;
    colors_[index] = colour;
    return TRUE;
}

void AuxControl::SetFocus() {
    if (captured_ && captured_ != this) captured_->ReleaseCapture();
    if (focused_ == this) return;
    AuxControl* old = focused_;
    focused_ = this;
    if (old) {
        old->OnKillFocus();
        old->InvalidateObject();
    }
    InvalidateObject();
    OnSetFocus();
    if (autoRedraw_) Redraw();
}

void AuxControl::ClearFocus() {
    if (captured_) captured_->ReleaseCapture();
    AuxControl* old = focused_;
    if (!old) return;
    focused_ = nullptr;
    old->OnKillFocus();
    old->InvalidateObject();
    if (old->autoRedraw_) old->Redraw();
}

BOOL AuxControl::HasCapture() { return captured_ == this; }

void AuxControl::SetCapture() {
    if (captured_ && captured_ != this) captured_->ReleaseCapture();
    AnimWindow* window = GetWindow();
    if (!window) return;
    HWND handle = window->GetHandle();
    HWND previous = ::SetCapture(handle);
    // Taking the capture again must not remember our own window: giving the capture "back" to it on
    // release would keep the mouse captured for good.
    if (captured_ != this && previous != handle) previousCapture_ = previous;
    captured_ = this;
}

void AuxControl::ReleaseCapture() {
    if (captured_ != this) return;
    captured_ = nullptr;
    HWND previous = previousCapture_;
    previousCapture_ = nullptr;
    ::ReleaseCapture();
    if (previous && IsWindow(previous)) ::SetCapture(previous);
}

void AuxControl::DrawFocusRect(HDC dc, const RECT* rect) {
    if (dc && rect) ::DrawFocusRect(dc, rect);
}

void AuxControl::DrawEdge(HDC dc, RECT* rect, UINT edge, UINT flags) {
    if (!dc || !rect) return;
    RECT r = *rect;
    const UINT rings[2] = {edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER),
                           edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)};
    for (UINT ring : rings) {
        if (!ring) continue;
        BOOL raised = (ring & (BDR_RAISEDOUTER | BDR_RAISEDINNER)) != 0;
        COLORREF light = GetColor(acCOLOR_HIGHLIGHT), dark = GetColor(acCOLOR_SHADOW);
        COLORREF topLeft = raised ? light : dark, bottomRight = raised ? dark : light;
        if (flags & BF_TOP) FillSolid(dc, {r.left, r.top, r.right, r.top + 1}, topLeft);
        if (flags & BF_LEFT) FillSolid(dc, {r.left, r.top, r.left + 1, r.bottom}, topLeft);
        if (flags & BF_BOTTOM) FillSolid(dc, {r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
        if (flags & BF_RIGHT) FillSolid(dc, {r.right - 1, r.top, r.right, r.bottom}, bottomRight);
        if (flags & BF_TOP) ++r.top;
        if (flags & BF_LEFT) ++r.left;
        if (flags & BF_BOTTOM) --r.bottom;
        if (flags & BF_RIGHT) --r.right;
    }
    if (flags & BF_ADJUST) *rect = r;
}

void AuxControl::Layout() { needsLayout_ = FALSE; }

void AuxControl::Paint(const ANIMDRAW*) {}

void AuxControl::OnSetFocus() {}

void AuxControl::OnKillFocus() {}

void AuxControl::SetFont(HFONT font) {
    if (!font) font = SystemFont();
    HFONT old = font_;
    font_ = font;
    if (old && old != SystemFont() && old != font) DeleteObject(old);
    // Another font measures the text anew.
    if (autoSize_ && old != font) needsLayout_ = TRUE;
    Refresh();
}

void AuxControl::SetFontDescription(const string& description) {
    SetFont(CreateFontFromDescription(description));
}

AuxControl* AuxControl::FromObject(AnimObject* object) {
    if (!object) return nullptr;
    DWORD_PTR slot = object->GetData(kAuxControlSlot);
    if (!slot) return nullptr;
    for (AuxControl* control = firstLive_; control; control = control->nextLive_)
        if (reinterpret_cast<DWORD_PTR>(control) == slot)
            return control->object_ == object ? control : nullptr;
    return nullptr;
}

AuxControl* AuxControl::FindControl(AnimWindow* window, DWORD id) {
    if (!window) return nullptr;
    for (AnimObject* object = window->GetFirstObject(); object; object = window->GetNextObject(object)) {
        AuxControl* control = FromObject(object);
        if (control && control->id_ == id) return control;
    }
    return nullptr;
}

AuxControl* AuxControl::GetFocusedControl(DWORD kind) {
    return focused_ && (kind == kAuxAnyKind || focused_->kind_ == kind) ? focused_ : nullptr;
}

AuxControl* AuxControl::GetCapturedControl(DWORD kind) {
    return captured_ && (kind == kAuxAnyKind || captured_->kind_ == kind) ? captured_ : nullptr;
}

DWORD AuxControl::ObjectCallback(AnimObject* object, DWORD message, LPARAM parameter) {
    AuxControl* control = FromObject(object);
    if (!control) return 1;
    switch (message) {
    case acHITTEST: {
        const POINT* point = reinterpret_cast<const POINT*>(parameter);
        if (!point || (object->GetFlags() & aoSTATIC)) return 0;
        return point->x >= 0 && point->y >= 0 && point->x < object->GetWidth() &&
               point->y < object->GetHeight();
    }
    case amDESTROY:
        control->object_ = nullptr;
        return 1;
    case amFRAME:
        if (control->needsLayout_) control->Layout();
        return 1;
    case amDRAW:
        if (parameter) control->Paint(reinterpret_cast<const ANIMDRAW*>(parameter));
        return 1;
    default:
        return 1;
    }
}

LRESULT CALLBACK AuxControl::MouseHook(HWND handle, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_LBUTTONDOWN) {
        AnimWindow* window = AnimWindow::FromHandle(handle);
        if (!window) return 0;
        POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        AuxControl* taken = nullptr;
        for (AnimObject* object = window->GetFirstObject(); object && !taken;
             object = window->GetNextObject(object)) {
            if (!PtInRect(&object->GetRect(), point)) continue;
            AuxControl* control = FromObject(object);
            if (control && object->Send(acACCEPTPRESS, 0) && control->HitTest(point)) taken = control;
        }
        if (taken) {
            taken->SetFocus();
            taken->SetCapture();
        } else {
            ClearFocus();
        }
    } else if (message == WM_LBUTTONUP) {
        AuxControl* control = focused_;
        // Only the control's own window ends its capture (the system sends it every mouse message while
        // captured); a control whose object is gone can no longer be asked, and lets the capture go.
        AnimWindow* window = control ? control->GetWindow() : nullptr;
        if (window && window->GetHandle() != handle) return 0;
        if (control && control->HasCapture() && (!window || control->object_->Send(acACCEPTPRESS, 0))) {
            control->ReleaseCapture();
            control->InvalidateObject();
        }
    }
    return 0;
}
