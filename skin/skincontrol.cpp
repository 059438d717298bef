// Skinned controls: state cells, drawing, hit tests, mouse and keyboard rules.
#include "skincontrol.h"

#include <shellapi.h>

#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "mem_manager.h"
#include "skin.h"
#include "skinfonts.h"
#include "skingraphics.h"
#include "skinwindow.h"

namespace {

void DefaultOpenLink(const string& target) {
    // A link opens through the shell, which hands a "mailto:" target to the mail program.
    ShellExecute(nullptr, TEXT("open"), target.Psz(), nullptr, nullptr, SW_SHOWNORMAL);
}

SkinLinkOpener g_openLink = DefaultOpenLink;

LONG Clamp(LONG value, LONG low, LONG high) { return value < low ? low : value > high ? high : value; }

bool IsVertical(DWORD type) { return type == sctVSCROLL; }

} // namespace

SkinLinkOpener SkinSetLinkOpener(SkinLinkOpener opener) {
    SkinLinkOpener old = g_openLink;
    g_openLink = opener ? opener : DefaultOpenLink;
    return old;
}

SkinControl::SkinControl(SkinWindow* owner, SKINWINDOWINSET* page, DWORD type, DWORD id, const string& text,
                         DWORD style)
    : owner_(owner), page_(page), type_(type), id_(id), style_(style), text_(text), enabled_(TRUE),
      checked_(FALSE), visible_(TRUE), radioGroup_(0), graphics_(nullptr), ownGraphics_(nullptr),
      second_(nullptr), object_(nullptr), progress_(0), scrollMin_(0), scrollMax_(100), scrollPage_(0),
      scrollPos_(0), dragOffset_(0), pressedPart_(spNONE), scrollTarget_(nullptr), caret_(0), anchor_(0),
      selectedItem_(-1), forcedRow_(-1) {
    x_.flags = y_.flags = 0;
    x_.offset = y_.offset = x_.size = y_.size = 0;
    SetRectEmpty(&rect_);
    textStyle_.textColor = textStyle_.disabledTextColor = textStyle_.selectedTextColor = 0;
    textStyle_.selectedBackgroundColor = 0;
    textStyle_.left = textStyle_.top = textStyle_.right = textStyle_.bottom = 0;
    textStyle_.textLayout = textStyle_.imageLayout = kAlignLeft;
    textStyle_.imageXAdjust = textStyle_.imageYAdjust = 0;
    AnimWindow* window = owner ? owner->GetAnimWindow() : nullptr;
    if (window) {
        object_ = NEW_ANIMOBJECT((window, ObjectCallback, 10));
        if (object_) object_->SetData(0, reinterpret_cast<DWORD_PTR>(this));
    }
    caret_ = anchor_ = text_.GetLength();
}

SkinControl::~SkinControl() {
    if (object_) {
        object_->SetData(0, 0);
        MEMDELETE(object_);
    }
    if (ownGraphics_) MEMDELETE(ownGraphics_);
}

DWORD SkinControl::ObjectCallback(AnimObject* object, DWORD message, LPARAM parameter) {
    SkinControl* control = reinterpret_cast<SkinControl*>(object->GetData(0));
    if (message == amDRAW && control) {
        const ANIMDRAW* draw = reinterpret_cast<const ANIMDRAW*>(parameter);
        if (control->visible_) control->Draw(draw->target, draw->clip);
        return 1;
    }
    return 1;
}

void SkinControl::Invalidate() {
    if (object_) object_->Invalidate();
}

void SkinControl::SetText(const string& text) {
    text_ = text;
    caret_ = anchor_ = text_.GetLength();
    LayoutText();
    Invalidate();
}

void SkinControl::Enable(BOOL enable) {
    enabled_ = enable != FALSE;
    LayoutText(); // the base colour follows the state
    Invalidate();
}

void SkinControl::SetChecked(BOOL checked) {
    checked_ = checked != FALSE;
    Invalidate();
}

void SkinControl::Show(BOOL show) {
    visible_ = show != FALSE;
    Invalidate();
}

void SkinControl::SetProgress(LONG position) {
    progress_ = Clamp(position, 0, 100);
    Invalidate();
}

void SkinControl::SetScrollInfo(LONG minimum, LONG maximum, LONG page, LONG position) {
    if (maximum < minimum) maximum = minimum;
    scrollMin_ = minimum;
    scrollMax_ = maximum;
    scrollPage_ = page < 0 ? 0 : page;
    scrollPos_ = Clamp(position, minimum, maximum);
    Invalidate();
}

void SkinControl::GetSelection(DWORD* start, DWORD* length) const {
    DWORD low = caret_ < anchor_ ? caret_ : anchor_, high = caret_ < anchor_ ? anchor_ : caret_;
    *start = low;
    *length = high - low;
}

void SkinControl::SetSelection(DWORD anchor, DWORD caret) {
    DWORD length = text_.GetLength();
    anchor_ = anchor > length ? length : anchor;
    caret_ = caret > length ? length : caret;
    Invalidate();
}

void SkinControl::AddItem(const string& item) {
    items_.push_back(item);
    Invalidate();
}

void SkinControl::ClearItems() {
    items_.clear();
    selectedItem_ = -1;
    Invalidate();
}

void SkinControl::SetSelectedItem(LONG index) {
    selectedItem_ = index >= 0 && static_cast<DWORD>(index) < items_.size() ? index : -1;
    Invalidate();
}

void SkinControl::SetLayout(LONG xFlags, LONG xOffset, LONG width, LONG yFlags, LONG yOffset, LONG height) {
    if (xFlags != kSkinKeep) x_.flags = static_cast<DWORD>(xFlags);
    if (xOffset != kSkinKeep) x_.offset = xOffset;
    if (width != kSkinKeep) x_.size = width;
    if (yFlags != kSkinKeep) y_.flags = static_cast<DWORD>(yFlags);
    if (yOffset != kSkinKeep) y_.offset = yOffset;
    if (height != kSkinKeep) y_.size = height;
    if (owner_) owner_->Place(this);
}

void SkinControl::SetRect(const RECT& rect) {
    Invalidate();
    rect_ = rect;
    if (object_) object_->SetRect(&rect_);
    LayoutText();
    Invalidate();
}

void SkinControl::MakePictures() {
    Skin* skin = owner_ ? owner_->GetSkin() : nullptr;
    if (!skin) return;
    const string& variant = owner_->GetVariant();
    skin->GetTextStyle(&textStyle_, type_, nullptr, variant);
    if (!ownGraphics_) {
        switch (type_) {
        case sctPUSHBUTTON:
            if (id_ == kSkinCloseBox)
                graphics_ = skin->GetControlGraphics(string(TEXT("frame-x")), 4, variant);
            else if (id_ == kSkinMinimizeBox)
                graphics_ = skin->GetControlGraphics(string(TEXT("frame-min")), 5, variant);
            else
                graphics_ = skin->GetControlGraphics(string(TEXT("pbutton")), 7, variant);
            break;
        case sctRADIOBUTTON:
            graphics_ = skin->GetControlGraphics(string(TEXT("rbutton")), 8, variant);
            break;
        case sctCHECKBOX:
            graphics_ = skin->GetControlGraphics(string(TEXT("cbutton")), 9, variant);
            break;
        case sctPROGRESS:
            graphics_ = skin->GetControlGraphics(string(TEXT("pbar")), 10, variant);
            break;
        case sctSTATIC:
            graphics_ = skin->GetControlGraphics(string(TEXT("text")), 11, variant);
            break;
        case sctVSCROLL:
            graphics_ = skin->GetControlGraphics(string(TEXT("vscroll")), 12, variant);
            break;
        case sctHSCROLL:
            graphics_ = skin->GetControlGraphics(string(TEXT("hscroll")), 13, variant);
            break;
        case sctEDIT:
            graphics_ = skin->GetControlGraphics(string(TEXT("edit")), 15, variant);
            second_ = skin->GetControlGraphics(string(TEXT("cursor")), 16, variant);
            break;
        case sctLIST:
            graphics_ = skin->GetControlGraphics(string(TEXT("list")), 17, variant);
            second_ = skin->GetControlGraphics(string(TEXT("listitem")), 8, variant);
            break;
        }
    }
    LayoutText();
    Invalidate();
}

void SkinControl::SetPicture(Graphic* picture) {
    if (ownGraphics_) MEMDELETE(ownGraphics_);
    ownGraphics_ = nullptr;
    if (picture) {
        DWORD code = graphics_ ? graphics_->code : type_ == sctUSER ? SkinGrid(1, 1) : type_;
        ownGraphics_ = MEMNEW(SKINCONTROLGRAPHICS, (picture, code));
    }
    graphics_ = ownGraphics_;
    Invalidate();
}

RECT SkinControl::TextRect() const {
    RECT r = rect_;
    r.left += textStyle_.left;
    r.top += textStyle_.top;
    r.right -= textStyle_.right;
    r.bottom -= textStyle_.bottom;
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

MarkupStyle SkinControl::BaseStyle() const {
    MarkupStyle style;
    style.font = textStyle_.font;
    style.colour = IsEffectivelyEnabled() ? textStyle_.textColor : textStyle_.disabledTextColor;
    return style;
}

void SkinControl::LayoutText() {
    layout_.Clear();
    if (type_ == sctEDIT || type_ == sctLIST || type_ == sctUSER || text_.IsEmpty()) return;
    Skin* skin = owner_ ? owner_->GetSkin() : nullptr;
    if (!skin || !skin->GetFonts()) return;
    RECT r = TextRect();
    DWORD align = textStyle_.textLayout;
    if (type_ == sctSTATIC) {
        if (style_ & SS_RIGHT)
            align = mlRIGHT;
        else if (style_ & SS_CENTER)
            align = mlCENTER;
    }
    layout_.Layout(text_, r.right - r.left, BaseStyle(), align, skin->GetFonts());
}

LONG SkinControl::MeasureText(LONG width) {
    Skin* skin = owner_ ? owner_->GetSkin() : nullptr;
    if (!skin || !skin->GetFonts()) return 0;
    return MeasureMarkup(text_, width, BaseStyle(), skin->GetFonts());
}

BOOL SkinControl::IsEffectivelyEnabled() const {
    if (forcedRow_ >= 0) return forcedRow_ >= 1;
    if (!enabled_) return FALSE;
    // A scroll bar whose range fits within its page has nothing to scroll.
    if ((type_ == sctVSCROLL || type_ == sctHSCROLL) && scrollMax_ - scrollMin_ <= scrollPage_) return FALSE;
    return TRUE;
}

void SkinControl::ForceState(LONG row) {
    forcedRow_ = row < 0 || row > 3 ? -1 : row;
    LayoutText();
    Invalidate();
}

BOOL SkinControl::IsHot() const {
    if (forcedRow_ >= 0) return forcedRow_ >= 2;
    if (!owner_ || !IsEffectivelyEnabled() || owner_->GetHotControl() != this) return FALSE;
    return !owner_->IsButtonDown() || owner_->GetPressedControl() == this;
}

BOOL SkinControl::IsPressed() const {
    if (forcedRow_ >= 0) return forcedRow_ == 3;
    return IsHot() && owner_->GetPressedControl() == this;
}

DWORD SkinControl::StateRow() const {
    if (IsPressed()) return 3;
    if (IsHot()) return 2;
    return IsEffectivelyEnabled() ? 1 : 0;
}

DWORD SkinControl::CellIndex() const {
    switch (type_) {
    case sctPUSHBUTTON:
        if (id_ == kSkinCloseBox || id_ == kSkinMinimizeBox) return IsPressed() ? 2 : IsHot() ? 1 : 0;
        return StateRow() * 3;
    case sctRADIOBUTTON:
    case sctCHECKBOX:
        return 2 * StateRow() + (checked_ ? 1 : 0);
    }
    return 0;
}

BOOL SkinControl::WantsFocus() const {
    return type_ == sctPUSHBUTTON || type_ == sctRADIOBUTTON || type_ == sctCHECKBOX || type_ == sctEDIT ||
           type_ == sctLIST;
}

BOOL SkinControl::HitTest(POINT point) const {
    if (!visible_ || !PtInRect(&rect_, point)) return FALSE;
    // Static texts and progress bars take no presses, except a static text's links.
    if (type_ == sctPROGRESS) return FALSE;
    if (type_ == sctSTATIC) {
        RECT r = TextRect();
        POINT inLayout = {point.x - r.left, point.y - r.top};
        const MarkupRun* run = layout_.RunAt(inLayout);
        return run && !run->style.link.IsEmpty();
    }
    // A transparent pixel of the frame buttons' pictures lets the press through to what lies below.
    if ((id_ == kSkinCloseBox || id_ == kSkinMinimizeBox) && graphics_) {
        Graphic* cell = graphics_->Cell(CellIndex());
        if (cell && cell->HasTransparency()) {
            LONG x = point.x - rect_.left, y = point.y - rect_.top;
            if (x < cell->GetWidth() && y < cell->GetHeight() &&
                (cell->GetPixelColor(x, y) & 0xFFFFFF) == (cell->GetTransparency() & 0xFFFFFF))
                return FALSE;
        }
    }
    return TRUE;
}

// ---- scroll bars ----

void SkinControl::GetThumb(LONG* trackStart, LONG* trackLength, LONG* thumbStart, LONG* thumbLength) const {
    bool vertical = IsVertical(type_);
    LONG length = vertical ? rect_.bottom - rect_.top : rect_.right - rect_.left;
    LONG arrow = graphics_ ? (vertical ? graphics_->cellHeight : graphics_->cellWidth) : 0;
    if (2 * arrow > length) arrow = length / 2;
    *trackStart = arrow;
    *trackLength = length - 2 * arrow;
    LONG range = (scrollMax_ - scrollMin_) - scrollPage_;
    if (range < 1) range = 1;
    LONG thumb = arrow;
    if (owner_ && owner_->GetStyle().proportionalScrollbars) {
        LONG shown = range < scrollPage_ ? range : scrollPage_;
        thumb = static_cast<LONG>(static_cast<LONGLONG>(*trackLength) * shown / range);
    }
    if (thumb > *trackLength) thumb = *trackLength;
    if (thumb < 0) thumb = 0;
    LONG p = Clamp(scrollPos_, scrollMin_, scrollMax_);
    LONG start = static_cast<LONG>(static_cast<LONGLONG>(p - scrollMin_) * (*trackLength - thumb) / range);
    *thumbStart = *trackStart + Clamp(start, 0, *trackLength - thumb);
    *thumbLength = thumb;
}

DWORD SkinControl::ScrollPartAt(POINT point) const {
    if (!PtInRect(&rect_, point)) return spNONE;
    LONG along = IsVertical(type_) ? point.y - rect_.top : point.x - rect_.left;
    LONG trackStart, trackLength, thumbStart, thumbLength;
    GetThumb(&trackStart, &trackLength, &thumbStart, &thumbLength);
    if (along < trackStart) return spFIRSTARROW;
    if (along >= trackStart + trackLength) return spSECONDARROW;
    if (along < thumbStart) return spTRACKBEFORE;
    if (along < thumbStart + thumbLength) return spTHUMB;
    return spTRACKAFTER;
}

void SkinControl::ScrollTo(LONG position, WORD code) {
    LONG top = scrollMax_ - scrollPage_;
    if (top < scrollMin_) top = scrollMin_;
    scrollPos_ = Clamp(position, scrollMin_, top);
    Invalidate();
    UINT message = IsVertical(type_) ? WM_VSCROLL : WM_HSCROLL;
    WPARAM wParam = MAKEWPARAM(code, static_cast<WORD>(scrollPos_));
    if (scrollTarget_) {
        // A bar attached to a control (a list) scrolls it.
        if (scrollTarget_->type_ == sctLIST) scrollTarget_->Invalidate();
        owner_->SendToPage(scrollTarget_->page_, message, wParam, static_cast<LPARAM>(scrollTarget_->id_));
    } else if (owner_) {
        owner_->SendToPage(page_, message, wParam, static_cast<LPARAM>(id_));
    }
}

// ---- mouse and keys ----

void SkinControl::OnPress(POINT point) {
    switch (type_) {
    case sctVSCROLL:
    case sctHSCROLL: {
        if (!IsEffectivelyEnabled()) return;
        pressedPart_ = ScrollPartAt(point);
        LONG step = scrollPage_ > 0 ? scrollPage_ : 1;
        if (pressedPart_ == spFIRSTARROW)
            ScrollTo(scrollPos_ - 1, SB_LINEUP);
        else if (pressedPart_ == spSECONDARROW)
            ScrollTo(scrollPos_ + 1, SB_LINEDOWN);
        else if (pressedPart_ == spTRACKBEFORE)
            ScrollTo(scrollPos_ - step, SB_PAGEUP);
        else if (pressedPart_ == spTRACKAFTER)
            ScrollTo(scrollPos_ + step, SB_PAGEDOWN);
        else if (pressedPart_ == spTHUMB) {
            LONG trackStart, trackLength, thumbStart, thumbLength;
            GetThumb(&trackStart, &trackLength, &thumbStart, &thumbLength);
            LONG along = IsVertical(type_) ? point.y - rect_.top : point.x - rect_.left;
            dragOffset_ = along - thumbStart;
        }
        break;
    }
    case sctEDIT: {
        RECT r = TextRect();
        caret_ = anchor_ = EditPositionAt(point.x - r.left);
        Invalidate();
        break;
    }
    case sctLIST: {
        if (!second_ || second_->cellHeight <= 0) return;
        RECT r = TextRect();
        LONG index = (point.y - r.top) / second_->cellHeight;
        if (index >= 0 && static_cast<DWORD>(index) < items_.size() && index != selectedItem_) {
            selectedItem_ = index;
            Invalidate();
            Notify(kSkinListSelChange);
        }
        break;
    }
    default:
        Invalidate();
    }
}

void SkinControl::OnDrag(POINT point) {
    if ((type_ == sctVSCROLL || type_ == sctHSCROLL) && pressedPart_ == spTHUMB) {
        LONG trackStart, trackLength, thumbStart, thumbLength;
        GetThumb(&trackStart, &trackLength, &thumbStart, &thumbLength);
        LONG along = IsVertical(type_) ? point.y - rect_.top : point.x - rect_.left;
        // The thumb stays within its track.
        LONG start = Clamp(along - dragOffset_ - trackStart, 0, trackLength - thumbLength);
        LONG range = (scrollMax_ - scrollMin_) - scrollPage_;
        if (range < 1) range = 1;
        LONG travel = trackLength - thumbLength;
        LONG position = travel > 0
                            ? scrollMin_ + static_cast<LONG>(static_cast<LONGLONG>(start) * range / travel)
                            : scrollMin_;
        if (position != scrollPos_) ScrollTo(position, SB_THUMBTRACK);
        return;
    }
    Invalidate();
}

void SkinControl::OnRelease(POINT point) {
    if (type_ == sctVSCROLL || type_ == sctHSCROLL) {
        if (pressedPart_ == spTHUMB) ScrollTo(scrollPos_, SB_THUMBPOSITION);
        pressedPart_ = spNONE;
        Invalidate();
        return;
    }
    Invalidate();
    if (!HitTest(point)) return;
    if (type_ == sctSTATIC) {
        RECT r = TextRect();
        POINT inLayout = {point.x - r.left, point.y - r.top};
        const MarkupRun* run = layout_.RunAt(inLayout);
        if (run && !run->style.link.IsEmpty()) g_openLink(run->style.link);
        return;
    }
    if (type_ == sctPUSHBUTTON || type_ == sctRADIOBUTTON || type_ == sctCHECKBOX) Click();
}

void SkinControl::Click() {
    if (!IsEffectivelyEnabled()) return;
    switch (type_) {
    case sctPUSHBUTTON:
        Notify(BN_CLICKED);
        break;
    case sctRADIOBUTTON:
        if (checked_) return;
        if (owner_)
            owner_->CheckRadio(this);
        else
            checked_ = TRUE;
        Invalidate();
        Notify(BN_CLICKED);
        break;
    case sctCHECKBOX:
        checked_ = !checked_;
        Invalidate();
        Notify(BN_CLICKED);
        break;
    }
}

void SkinControl::Notify(WORD code) {
    if (owner_) owner_->SendToPage(page_, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id_), code), 0);
}

void SkinControl::OnKeyDown(UINT key) {
    if (type_ == sctLIST) {
        LONG count = static_cast<LONG>(items_.size());
        LONG index = selectedItem_;
        if (key == VK_UP)
            index = index > 0 ? index - 1 : 0;
        else if (key == VK_DOWN)
            index = index + 1 < count ? index + 1 : count - 1;
        else if (key == VK_HOME)
            index = 0;
        else if (key == VK_END)
            index = count - 1;
        if (count > 0 && index != selectedItem_) {
            selectedItem_ = index;
            Invalidate();
            Notify(kSkinListSelChange);
        }
        return;
    }
    if (type_ != sctEDIT) return;
    DWORD length = text_.GetLength();
    bool shift = GetKeyState(VK_SHIFT) < 0, control = GetKeyState(VK_CONTROL) < 0;
    DWORD caret = caret_;
    switch (key) {
    case VK_LEFT:
        caret = control ? 0 : caret > 0 ? caret - 1 : 0;
        break;
    case VK_RIGHT:
        caret = control ? length : caret < length ? caret + 1 : length;
        break;
    case VK_HOME:
        caret = 0;
        break;
    case VK_END:
        caret = length;
        break;
    case VK_DELETE: {
        DWORD start, count;
        GetSelection(&start, &count);
        if (count == 0 && caret_ < length) SetSelection(caret_, caret_ + 1);
        GetSelection(&start, &count);
        if (count > 0) EditReplaceSelection(string());
        return;
    }
    default:
        return;
    }
    caret_ = caret;
    if (!shift) anchor_ = caret_;
    Invalidate();
}

void SkinControl::EditReplaceSelection(const string& with) {
    DWORD start, count;
    GetSelection(&start, &count);
    text_.Replace(start, count, with);
    caret_ = anchor_ = start + with.GetLength();
    if (caret_ > text_.GetLength()) caret_ = anchor_ = text_.GetLength();
    Invalidate();
    Notify(kSkinEditChange);
}

void SkinControl::OnChar(UINT character) {
    if (type_ == sctPUSHBUTTON || type_ == sctRADIOBUTTON || type_ == sctCHECKBOX) {
        if (character == '\r' || character == ' ') Click();
        return;
    }
    if (type_ != sctEDIT) return;
    DWORD start, count;
    GetSelection(&start, &count);
    switch (character) {
    case 8: // Backspace
        if (count == 0 && caret_ > 0) SetSelection(caret_ - 1, caret_);
        GetSelection(&start, &count);
        if (count > 0) EditReplaceSelection(string());
        return;
    case 3:  // Ctrl+C
    case 24: // Ctrl+X
        if (count > 0 && OpenClipboard(owner_ ? owner_->GetHandle() : nullptr)) {
            EmptyClipboard();
            HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, count + 1);
            if (memory) {
                CHAR* copy = static_cast<CHAR*>(GlobalLock(memory));
                if (copy) {
                    memcpy(copy, text_.GetChars8(start), count);
                    copy[count] = 0;
                    GlobalUnlock(memory);
                    if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
                } else {
                    GlobalFree(memory);
                }
            }
            CloseClipboard();
        }
        if (character == 24 && count > 0) EditReplaceSelection(string());
        return;
    case 22: { // Ctrl+V
        string pasted;
        if (IsClipboardFormatAvailable(CF_TEXT) && OpenClipboard(owner_ ? owner_->GetHandle() : nullptr)) {
            HANDLE data = GetClipboardData(CF_TEXT);
            const CHAR* text = data ? static_cast<const CHAR*>(GlobalLock(data)) : nullptr;
            if (text) {
                // An edit field holds one line: the pasted text ends at its first line break.
                DWORD n = 0;
                SIZE_T limit = GlobalSize(data);
                while (n < limit && text[n] && text[n] != '\r' && text[n] != '\n') ++n;
                pasted = string(text, 0, n);
                GlobalUnlock(data);
            }
            CloseClipboard();
        }
        if (count > 0 || !pasted.IsEmpty()) EditReplaceSelection(pasted);
        return;
    }
    }
    if (character >= 32 && character <= 255) {
        TCHAR typed[2] = {static_cast<TCHAR>(character), 0};
        EditReplaceSelection(string(typed));
    }
}

LONG SkinControl::EditCaretX(DWORD position) {
    Skin* skin = owner_ ? owner_->GetSkin() : nullptr;
    if (!skin) return 0;
    MarkupStyle style = BaseStyle();
    SkinFonts* fonts = skin->GetFonts();
    RECT r = TextRect();
    LONG width = fonts->Extent(style, text_.GetChars(), text_.GetLength()).cx;
    LONG start = 0;
    if (textStyle_.textLayout == kAlignRight)
        start = (r.right - r.left) - width;
    else if (textStyle_.textLayout == kAlignCenter)
        start = ((r.right - r.left) - width) / 2;
    if (position > text_.GetLength()) position = text_.GetLength();
    return start + fonts->Extent(style, text_.GetChars(), position).cx;
}

DWORD SkinControl::EditPositionAt(LONG x) {
    DWORD length = text_.GetLength();
    for (DWORD i = 0; i < length; ++i) {
        LONG middle = (EditCaretX(i) + EditCaretX(i + 1)) / 2;
        if (x < middle) return i;
    }
    return length;
}

// ---- drawing ----

void SkinControl::DrawText(Graphic* target, const RECT& clip, const RECT& area) {
    Skin* skin = owner_ ? owner_->GetSkin() : nullptr;
    if (!skin || layout_.GetRunCount() == 0) return;
    LONG y = area.top;
    // Button labels sit in the middle of their height; other texts start at the top.
    if (type_ == sctPUSHBUTTON || type_ == sctRADIOBUTTON || type_ == sctCHECKBOX) {
        LONG spare = (area.bottom - area.top) - layout_.GetHeight();
        if (spare > 0) y += spare / 2;
    }
    HDC dc = target->GetDC();
    if (!dc) return;
    RECT cut;
    if (IntersectRect(&cut, &clip, &rect_)) skin->GetFonts()->Draw(dc, layout_, area.left, y, &cut);
    target->ReleaseDC();
}

void SkinControl::DrawPushButton(Graphic* target, const RECT& clip) {
    LONG w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
    if (id_ == kSkinCloseBox || id_ == kSkinMinimizeBox) {
        DrawSkinCell(graphics_->Cell(CellIndex()), target, clip, rect_.left, rect_.top, w, h);
        return;
    }
    DWORD first = CellIndex();
    Graphic* left = graphics_->Cell(first);
    Graphic* middle = graphics_->Cell(first + 1);
    Graphic* right = graphics_->Cell(first + 2);
    LONG lw = graphics_->cellWidth;
    LONG leftWidth = w < lw ? w : lw;
    DrawSkinCell(left, target, clip, rect_.left, rect_.top, leftWidth, h);
    LONG remaining = w - leftWidth;
    if (remaining > 0) {
        LONG rightWidth = remaining < lw ? remaining : lw;
        DrawSkinCell(right, target, clip, rect_.right - rightWidth, rect_.top, rightWidth, h);
        LONG between = w - lw - rightWidth;
        if (between > 0) TileSkinCell(middle, target, clip, rect_.left + lw, rect_.top, between, h);
    }
}

void SkinControl::DrawBox(Graphic* target, const RECT& clip) {
    Graphic* cell = graphics_->Cell(CellIndex());
    if (!cell) return;
    LONG cw = graphics_->cellWidth, ch = graphics_->cellHeight;
    LONG x = rect_.left + textStyle_.imageXAdjust;
    if (textStyle_.imageLayout == kAlignRight)
        x = rect_.right - cw - textStyle_.imageXAdjust;
    else if (textStyle_.imageLayout == kAlignCenter)
        x = rect_.left + ((rect_.right - rect_.left) - cw) / 2;
    LONG y = rect_.top + textStyle_.imageYAdjust;
    RECT cut;
    // The cell is cut at the control's edges.
    if (!IntersectRect(&cut, &clip, &rect_)) return;
    DrawSkinCell(cell, target, cut, x, y, cw, ch);
}

void SkinControl::DrawProgress(Graphic* target, const RECT& clip) {
    LONG w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
    LONG w0 = graphics_->cellWidth;
    LONG leftWidth = w < w0 ? w : w0;
    DrawSkinCell(graphics_->Cell(0), target, clip, rect_.left, rect_.top, leftWidth, h);
    LONG remaining = w - leftWidth;
    if (remaining <= 0) return;
    LONG rightWidth = remaining < w0 ? remaining : w0;
    DrawSkinCell(graphics_->Cell(3), target, clip, rect_.right - rightWidth, rect_.top, rightWidth, h);
    LONG r = remaining - rightWidth;
    if (r <= 0 || w0 <= 0) return;
    // The filled part grows in whole cells.
    LONG filled = w0 * ((progress_ * r / 100) / w0);
    if (filled > 0) TileSkinCell(graphics_->Cell(2), target, clip, rect_.left + w0, rect_.top, filled, h);
    if (r - filled > 0)
        TileSkinCell(graphics_->Cell(1), target, clip, rect_.left + w0 + filled, rect_.top, r - filled, h);
}

void SkinControl::DrawScrollBar(Graphic* target, const RECT& clip) {
    bool vertical = IsVertical(type_);
    LONG trackStart, trackLength, thumbStart, thumbLength;
    GetThumb(&trackStart, &trackLength, &thumbStart, &thumbLength);
    DWORD baseRow = IsEffectivelyEnabled() ? 1 : 0;
    DWORD hotPart = spNONE;
    if (forcedRow_ >= 2) {
        hotPart = spTHUMB;
    } else if (IsHot()) {
        POINT mouse;
        GetCursorPos(&mouse);
        ScreenToClient(owner_->GetHandle(), &mouse);
        hotPart = IsPressed() && pressedPart_ != spNONE ? pressedPart_ : ScrollPartAt(mouse);
    }
    auto row = [&](DWORD part) -> DWORD { return part == hotPart ? (IsPressed() ? 3 : 2) : baseRow; };
    LONG length = vertical ? rect_.bottom - rect_.top : rect_.right - rect_.left;
    LONG thickness = vertical ? rect_.right - rect_.left : rect_.bottom - rect_.top;
    // One segment along the bar: [start, start + size) drawn with a column's cell.
    auto segment = [&](DWORD column, DWORD part, LONG start, LONG size, bool tile) {
        if (size <= 0) return;
        Graphic* cell = graphics_->Cell(column, row(part));
        if (vertical) {
            if (tile)
                TileSkinCellDown(cell, target, clip, rect_.left, rect_.top + start, thickness, size);
            else
                StretchSkinCell(cell, target, clip,
                                RECT{rect_.left, rect_.top + start, rect_.right, rect_.top + start + size});
        } else {
            if (tile)
                TileSkinCell(cell, target, clip, rect_.left + start, rect_.top, size, thickness);
            else
                StretchSkinCell(cell, target, clip,
                                RECT{rect_.left + start, rect_.top, rect_.left + start + size, rect_.bottom});
        }
    };
    segment(0, spFIRSTARROW, 0, trackStart < length ? trackStart : length, false);
    if (length > trackStart)
        segment(3, spSECONDARROW, trackStart + trackLength, length - trackStart - trackLength, false);
    segment(1, spTRACKBEFORE, trackStart, thumbStart - trackStart, true);
    segment(1, spTRACKAFTER, thumbStart + thumbLength, trackStart + trackLength - thumbStart - thumbLength,
            true);
    segment(2, spTHUMB, thumbStart, thumbLength, true);
}

void SkinControl::DrawEdit(Graphic* target, const RECT& clip) {
    DrawSkinNineCells(graphics_, 0, target, clip, rect_);
    Skin* skin = owner_ ? owner_->GetSkin() : nullptr;
    if (!skin) return;
    RECT r = TextRect();
    RECT cut;
    if (!IntersectRect(&cut, &clip, &r)) return;
    MarkupStyle style = BaseStyle();
    SkinFonts* fonts = skin->GetFonts();
    LONG height = fonts->Extent(style, TEXT(""), 0).cy;
    LONG top = r.top + ((r.bottom - r.top) - height) / 2;
    DWORD start, count;
    GetSelection(&start, &count);
    HDC dc = target->GetDC();
    if (!dc) return;
    int saved = SaveDC(dc);
    IntersectClipRect(dc, cut.left, cut.top, cut.right, cut.bottom);
    if (count > 0) {
        RECT selection = {r.left + EditCaretX(start), top, r.left + EditCaretX(start + count), top + height};
        HBRUSH brush = CreateSolidBrush(textStyle_.selectedBackgroundColor);
        if (brush) {
            FillRect(dc, &selection, brush);
            DeleteObject(brush);
        }
    }
    HFONT font = fonts->Get(style.FontDescription());
    if (font) SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    LONG x = r.left + EditCaretX(0);
    SetTextColor(dc, style.colour);
    ExtTextOut(dc, x, top, 0, nullptr, text_.Psz(), text_.GetLength(), nullptr);
    if (count > 0) {
        SetTextColor(dc, textStyle_.selectedTextColor);
        ExtTextOut(dc, r.left + EditCaretX(start), top, 0, nullptr, text_.GetChars(start), count, nullptr);
    }
    RestoreDC(dc, saved);
    target->ReleaseDC();
    // The caret shows while the field has the focus.
    if (owner_ && owner_->GetFocus() == this && second_) {
        Graphic* caret = second_->Cell(0);
        if (caret)
            StretchSkinCell(caret, target, cut,
                            RECT{r.left + EditCaretX(caret_), top,
                                 r.left + EditCaretX(caret_) + caret->GetWidth(), top + height});
    }
}

void SkinControl::DrawList(Graphic* target, const RECT& clip) {
    DrawSkinNineCells(graphics_, 0, target, clip, rect_);
    Skin* skin = owner_ ? owner_->GetSkin() : nullptr;
    if (!skin || !second_ || second_->cellHeight <= 0) return;
    RECT r = TextRect();
    RECT cut;
    if (!IntersectRect(&cut, &clip, &r)) return;
    MarkupStyle style = BaseStyle();
    SkinFonts* fonts = skin->GetFonts();
    LONG itemHeight = second_->cellHeight;
    DWORD row = IsEffectivelyEnabled() ? 1 : 0;
    for (DWORD i = 0; i < items_.size(); ++i) {
        LONG top = r.top + static_cast<LONG>(i) * itemHeight;
        if (top >= r.bottom) break;
        bool selected = static_cast<LONG>(i) == selectedItem_;
        // Item cells: the row is the list's state, the column whether the item is selected.
        StretchSkinCell(second_->Cell(selected ? 1 : 0, row), target, cut,
                        RECT{r.left, top, r.right, top + itemHeight});
        HDC dc = target->GetDC();
        if (!dc) return;
        int saved = SaveDC(dc);
        IntersectClipRect(dc, cut.left, cut.top, cut.right, cut.bottom);
        HFONT font = fonts->Get(style.FontDescription());
        if (font) SelectObject(dc, font);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, selected ? textStyle_.selectedTextColor : style.colour);
        LONG textHeight = fonts->Extent(style, TEXT(""), 0).cy;
        ExtTextOut(dc, r.left, top + (itemHeight - textHeight) / 2, 0, nullptr, items_[i].Psz(),
                   items_[i].GetLength(), nullptr);
        RestoreDC(dc, saved);
        target->ReleaseDC();
    }
}

void SkinControl::Draw(Graphic* target, const RECT& clip) {
    if (!visible_ || !target) return;
    RECT cut;
    if (!IntersectRect(&cut, &clip, &rect_)) return;
    switch (type_) {
    case sctPUSHBUTTON:
        if (graphics_) DrawPushButton(target, cut);
        break;
    case sctRADIOBUTTON:
    case sctCHECKBOX:
        if (graphics_) DrawBox(target, cut);
        break;
    case sctPROGRESS:
        if (graphics_) DrawProgress(target, cut);
        return;
    case sctSTATIC:
        // The optional "text" picture frames the text as nine cells.
        if (graphics_) DrawSkinNineCells(graphics_, 0, target, cut, rect_);
        break;
    case sctVSCROLL:
    case sctHSCROLL:
        if (graphics_) DrawScrollBar(target, cut);
        return;
    case sctEDIT:
        if (graphics_) DrawEdit(target, cut);
        return;
    case sctLIST:
        if (graphics_) DrawList(target, cut);
        return;
    case sctUSER:
        // Program-drawn; a picture given to it (a message box icon) is shown whole.
        if (graphics_) StretchSkinCell(graphics_->Cell(0), target, cut, rect_);
        return;
    default:
        return;
    }
    DrawText(target, cut, TextRect());
}
