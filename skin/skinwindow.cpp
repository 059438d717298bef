// Skinned windows: pages from dialog templates, the frame and shape, control layout, mouse zones,
// keyboard routing and modal runs.
#include "skinwindow.h"

#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "cetl_exception.h"
#include "mem_manager.h"
#include "skin.h"
#include "skincontrol.h"
#include "skingraphics.h"
#include "tl_language.h"

namespace {

const TCHAR kClassName[] = TEXT("SkinWindow");
const TCHAR kRecordProperty[] = TEXT("SkinWindowRecord");
BOOL g_registered = FALSE;

// The invisible dialogs that templates are read from answer nothing themselves.
INT_PTR CALLBACK TemplateProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

DWORD AnimCallback(AnimWindow* window, DWORD event, DWORD, LPARAM pointer) {
    SkinWindow* skinWindow = SkinWindow::FromHandle(window->GetHandle());
    if (event == awBACKGROUND && skinWindow && pointer) {
        Graphic* background = reinterpret_cast<Graphic*>(pointer);
        RECT all = {0, 0, background->GetWidth(), background->GetHeight()};
        skinWindow->DrawBackground(background, all);
    }
    return 1;
}

LRESULT CALLBACK SkinWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SkinWindow* window = SkinWindow::FromHandle(hwnd);
    if (window) {
        BOOL handled = FALSE;
        LRESULT result = window->HandleMessage(message, wParam, lParam, &handled);
        if (handled) return result;
    }
    return AnimWindowProc(hwnd, message, wParam, lParam);
}

// A window's text read in 16 bits and converted by the string type, which gives the Esperanto letters
// their ISO 8859-3 bytes while Esperanto is current (an 8-bit read would turn them into base letters).
string WindowText(HWND window) {
    int length = GetWindowTextLengthW(window);
    if (length <= 0) return string();
    WCHAR* buffer = static_cast<WCHAR*>(MEMALLOC((length + 1) * sizeof(WCHAR)));
    if (!buffer) return string();
    GetWindowTextW(window, buffer, length + 1);
    string text(buffer);
    MEMFREE(buffer);
    return text;
}

bool StartsWithNoCase(const string& text, const TCHAR* prefix) {
    DWORD n = tstrlen(prefix);
    return text.GetLength() >= n && text.CompareNoCase(prefix, n) == 0;
}

LONG Scale(LONG value, LONG present, LONG design) {
    return design > 0 ? static_cast<LONG>(static_cast<LONGLONG>(value) * present / design) : value;
}

} // namespace

BOOL SkinWindow::RegisterClass(HINSTANCE instance, UINT icon) {
    if (g_registered) return TRUE;
    if (!AnimInit(instance, 0)) return FALSE;
    WNDCLASS wc;
    if (!GetClassInfo(instance, TEXT("AnimWindowNoCursor"), &wc) &&
        !GetClassInfo(nullptr, TEXT("AnimWindowNoCursor"), &wc))
        return FALSE;
    wc.lpfnWndProc = SkinWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = kClassName;
    wc.hIcon = icon ? LoadIcon(instance, MAKEINTRESOURCE(icon)) : nullptr;
    wc.style &= ~CS_GLOBALCLASS;
    g_registered = ::RegisterClass(&wc) != 0;
    return g_registered;
}

SkinWindow* SkinWindow::FromHandle(HWND window) {
    return window ? static_cast<SkinWindow*>(GetProp(window, kRecordProperty)) : nullptr;
}

SkinWindow::SkinWindow(Skin* skin, const string& variant)
    : skin_(skin), variant_(variant), window_(nullptr), pieceCount_(0), background_(nullptr),
      singleFrame_(FALSE), resizable_(FALSE), closeBox_(FALSE), minimizeBox_(FALSE), radioGroups_(0),
      lastWasRadio_(FALSE), nextFreeId_(kSkinFirstFreeId), zone_(szNONE), pressed_(nullptr), hot_(nullptr),
      focus_(nullptr), buttonDown_(FALSE), modalRunning_(FALSE), modalEnded_(FALSE), modalResult_(0),
      disabledParent_(nullptr) {
    ZeroMemory(&style_, sizeof style_);
    ZeroMemory(pieces_, sizeof pieces_);
    design_.cx = design_.cy = 0;
    pressScreen_.x = pressScreen_.y = 0;
    SetRectEmpty(&pressWindow_);
}

SkinWindow::~SkinWindow() {}

SkinWindow* SkinWindow::Create(Skin* skin, const string& variant, SkinProc procedure, UINT dialogId,
                               LPARAM user, HWND parent) {
    HINSTANCE instance = GetModuleHandle(nullptr);
    if (!skin || !RegisterClass(instance, 0)) return nullptr;
    SkinWindow* w = static_cast<SkinWindow*>(MemRegisterObject(
        new SkinWindow(skin, variant), sizeof(SkinWindow), "SKINWINDOW", __FILE__, __LINE__));
    if (!w) return nullptr;
    skin->GetWindowStyle(&w->style_, nullptr, variant);
    w->window_ =
        CreateWindowEx(0, kClassName, TEXT(""), WS_POPUP, 0, 0, 10, 10, parent, nullptr, instance, nullptr);
    if (!w->window_) {
        MEMDELETE(w);
        return nullptr;
    }
    SetProp(w->window_, kRecordProperty, w);
    AnimWindow* anim = w->GetAnimWindow();
    if (anim) {
        anim->SetFrameRate(w->style_.framesPerSecond);
        anim->SetCallback(AnimCallback);
    }
    SKINWINDOWINSET* page = static_cast<SKINWINDOWINSET*>(MemRegisterObject(
        new SKINWINDOWINSET, sizeof(SKINWINDOWINSET), "SKINWINDOWINSET", __FILE__, __LINE__));
    page->window = w;
    page->variant = variant;
    page->procedure = procedure;
    page->dialogId = dialogId;
    page->user = user;
    w->pages_.push_back(page);
    try {
        w->BuildFrame();
        if (dialogId) w->MakePage(page, TRUE);
    } catch (...) {
        w->Destroy();
        throw;
    }
    return w;
}

AnimWindow* SkinWindow::GetAnimWindow() const { return window_ ? AnimWindow::FromHandle(window_) : nullptr; }

void SkinWindow::RemoveControl(SkinControl* control) {
    if (hot_ == control) hot_ = nullptr;
    if (pressed_ == control) pressed_ = nullptr;
    if (focus_ == control) focus_ = nullptr;
    for (DWORD i = 0; i < controls_.size(); ++i)
        if (controls_[i] == control) {
            controls_.erase(i);
            break;
        }
    MEMDELETE(control);
}

void SkinWindow::Destroy() {
    // Controls go before the window, whose engine record would otherwise delete their objects under them.
    while (controls_.size() > 0) RemoveControl(controls_[controls_.size() - 1]);
    for (SKINWINDOWINSET* page : pages_) MEMDELETE(page);
    pages_.clear();
    if (disabledParent_) {
        EnableWindow(disabledParent_, TRUE);
        disabledParent_ = nullptr;
    }
    if (window_) {
        HWND window = window_;
        RemoveProp(window, kRecordProperty);
        window_ = nullptr;
        DestroyWindow(window);
    }
    MEMDELETE(this);
}

// ---- pages ----

SKINWINDOWINSET* SkinWindow::GetFirstPage() const { return pages_.empty() ? nullptr : pages_.front(); }

SKINWINDOWINSET* SkinWindow::InsetPage(const string& variant, SkinProc procedure, UINT dialogId,
                                       LPARAM user) {
    SKINWINDOWINSET* page = static_cast<SKINWINDOWINSET*>(MemRegisterObject(
        new SKINWINDOWINSET, sizeof(SKINWINDOWINSET), "SKINWINDOWINSET", __FILE__, __LINE__));
    page->window = this;
    page->variant = variant;
    page->procedure = procedure;
    page->dialogId = dialogId;
    page->user = user;
    pages_.push_back(page);
    try {
        MakePage(page, FALSE);
    } catch (...) {
        DestroyPage(page);
        throw;
    }
    return page;
}

void SkinWindow::DestroyPage(SKINWINDOWINSET* page) {
    if (!page) return;
    for (DWORD i = controls_.size(); i-- > 0;)
        if (controls_[i]->GetPage() == page) RemoveControl(controls_[i]);
    for (cetl::list<SKINWINDOWINSET*>::iterator it = pages_.begin(); it != pages_.end(); ++it)
        if (*it == page) {
            pages_.erase(it);
            break;
        }
    MEMDELETE(page);
}

DWORD SkinWindow::FreeId() {
    while (GetControl(nextFreeId_)) ++nextFreeId_;
    return nextFreeId_++;
}

SkinControl* SkinWindow::AddControl(DWORD type, DWORD id, const string& text, DWORD style) {
    SKINWINDOWINSET* page = GetFirstPage();
    if (GetControl(id)) id = FreeId();
    SkinControl* control = MEMNEW(SkinControl, (this, page, type, id, text, style));
    controls_.push_back(control);
    return control;
}

void SkinWindow::MakePage(SKINWINDOWINSET* page, BOOL first) {
    HINSTANCE module = nullptr;
    const DLGTEMPLATE* found = FindLocalizedDialog(page->dialogId, &module);
    if (!found) return;
    HRSRC resource =
        FindResource(module, MAKEINTRESOURCE((page->dialogId + GetLanguageIndex()) & 0xFFFF), RT_DIALOG);
    DWORD size = resource ? SizeofResource(module, resource) : 0;
    if (size < sizeof(DLGTEMPLATE)) return;
    // A copy without WS_VISIBLE keeps the dialog from ever showing.
    BYTE* copy = static_cast<BYTE*>(MEMALLOC(size));
    if (!copy) return;
    memcpy(copy, found, size);
    bool extended = reinterpret_cast<WORD*>(copy)[1] == 0xFFFF;
    DWORD* styleField = reinterpret_cast<DWORD*>(copy + (extended ? 12 : 0));
    *styleField &= ~WS_VISIBLE;
    HWND dialog =
        // Made as a 16-bit dialog, its controls keep the template's texts as written; an 8-bit one would
        // hold them in the system code page, which has no Esperanto letters.
        CreateDialogIndirectParamW(module, reinterpret_cast<DLGTEMPLATE*>(copy), window_, TemplateProc, 0);
    MEMFREE(copy);
    if (!dialog) return;

    RECT client;
    GetClientRect(dialog, &client);
    if (first) {
        DWORD style = static_cast<DWORD>(GetWindowLong(dialog, GWL_STYLE));
        resizable_ = (style & WS_THICKFRAME) != 0;
        closeBox_ = (style & WS_SYSMENU) != 0;
        minimizeBox_ = (style & WS_MINIMIZEBOX) != 0;
        design_.cx = client.right;
        design_.cy = client.bottom;
        SetWindowText(window_, WindowText(dialog).Psz());
        RECT work;
        SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
        LONG width = client.right + style_.left + style_.right,
             height = client.bottom + style_.top + style_.bottom;
        SetWindowRect(work.left + (work.right - work.left - width) / 2,
                      work.top + (work.bottom - work.top - height) / 2, width, height);
        LONG closeWidth = 0;
        if (closeBox_) {
            SKINCONTROLGRAPHICS* x = skin_->GetControlGraphics(string(TEXT("frame-x")), 4, variant_);
            SkinControl* close = AddControl(sctPUSHBUTTON, kSkinCloseBox, string(), 0);
            close->SetLayout(slFAR | slOUTER, 0, x->cellWidth, slOUTER, 0, x->cellHeight);
            closeWidth = x->cellWidth;
        }
        if (minimizeBox_) {
            // The minimise box sits directly left of the close box.
            SKINCONTROLGRAPHICS* m = skin_->GetControlGraphics(string(TEXT("frame-min")), 5, variant_);
            SkinControl* minimize = AddControl(sctPUSHBUTTON, kSkinMinimizeBox, string(), 0);
            minimize->SetLayout(slFAR | slOUTER, closeWidth, m->cellWidth, slOUTER, 0, m->cellHeight);
        }
    }

    lastWasRadio_ = FALSE;
    DWORD firstNew = controls_.size();
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        DWORD id = static_cast<DWORD>(GetDlgCtrlID(child)) & 0xFFFF;
        if (id == 0xFFFF || GetControl(id)) id = FreeId();
        TCHAR className[64];
        GetClassName(child, className, 64);
        istring cls(className);
        string text = WindowText(child);
        DWORD style = static_cast<DWORD>(GetWindowLong(child, GWL_STYLE));
        if (cls == istring(TEXT("static"))) {
            if (StartsWithNoCase(text, TEXT("CLASS:"))) {
                cls = istring(text.Mid(6));
                text = string();
            } else if (StartsWithNoCase(text, TEXT("USER:"))) {
                cls = istring(TEXT("user"));
                text = text.Mid(5);
            } else if (text.CompareNoCase(TEXT("USER")) == 0) {
                cls = istring(TEXT("user"));
                text = string();
            }
        }
        DWORD type = 0;
        if (cls == istring(TEXT("button"))) {
            DWORD kind = style & 0xF;
            if (kind == BS_PUSHBUTTON)
                type = sctPUSHBUTTON;
            else if (kind == BS_RADIOBUTTON || kind == BS_AUTORADIOBUTTON)
                type = sctRADIOBUTTON;
            else if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX)
                type = sctCHECKBOX;
        } else if (cls == istring(TEXT("msctls_progress32")) || cls == istring(TEXT("msctls_progress")) ||
                   cls == istring(TEXT("progress"))) {
            type = sctPROGRESS;
        } else if (cls == istring(TEXT("static"))) {
            type = sctSTATIC;
        } else if (cls == istring(TEXT("scrollbar"))) {
            type = (style & SBS_VERT) ? sctVSCROLL : sctHSCROLL;
        } else if (cls == istring(TEXT("user"))) {
            type = sctUSER;
        } else if (cls == istring(TEXT("edit"))) {
            type = sctEDIT;
        } else if (cls == istring(TEXT("listbox"))) {
            type = sctLIST;
        }
        if (type == 0) continue; // a class without a skinned kind is left out
        SkinControl* control = MEMNEW(SkinControl, (this, page, type, id, text, style));
        controls_.push_back(control);
        control->Enable(IsWindowEnabled(child));
        if (type == sctRADIOBUTTON || type == sctCHECKBOX)
            control->SetChecked(SendMessage(child, BM_GETCHECK, 0, 0) == BST_CHECKED);
        if (type == sctRADIOBUTTON) {
            if (!lastWasRadio_) ++radioGroups_;
            control->SetRadioGroup(radioGroups_);
        }
        lastWasRadio_ = type == sctRADIOBUTTON;
        if (!focus_ && (style & WS_TABSTOP) && control->WantsFocus()) focus_ = control;
        RECT r;
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        control->SetLayout(0, r.left, r.right - r.left, 0, r.top, r.bottom - r.top);
    }
    DestroyWindow(dialog);

    for (DWORD i = first ? 0 : firstNew; i < controls_.size(); ++i) controls_[i]->MakePictures();
    SendToPage(page, WM_INITDIALOG, 0, page->user);
    SendToPage(page, kSkinPicturesReady, 0, 0);
}

void SkinWindow::MakeControls() {
    for (DWORD i = 0; i < controls_.size(); ++i) {
        SkinControl* control = controls_[i];
        control->MakePictures();
        Place(control);
    }
}

void SkinWindow::GetPageControls(const SKINWINDOWINSET* page, cetl::vector<SkinControl*>* list) const {
    list->clear();
    for (DWORD i = 0; i < controls_.size(); ++i)
        if (controls_[i]->GetPage() == page) list->push_back(controls_[i]);
}

SkinControl* SkinWindow::GetControl(DWORD id) const {
    for (DWORD i = 0; i < controls_.size(); ++i)
        if (controls_[i]->GetId() == id) return controls_[i];
    return nullptr;
}

void SkinWindow::SetText(DWORD id, const string& text) {
    if (SkinControl* c = GetControl(id)) c->SetText(text);
}

void SkinWindow::SetChecked(DWORD id, BOOL checked) {
    SkinControl* c = GetControl(id);
    if (!c) return;
    if (c->GetType() == sctRADIOBUTTON && checked)
        CheckRadio(c);
    else
        c->SetChecked(checked);
}

BOOL SkinWindow::GetChecked(DWORD id) const {
    SkinControl* c = GetControl(id);
    return c ? c->IsChecked() : FALSE;
}

void SkinWindow::SetProgress(DWORD id, LONG position) {
    if (SkinControl* c = GetControl(id)) c->SetProgress(position);
}

void SkinWindow::SetControlPicture(DWORD id, Graphic* picture) {
    if (SkinControl* c = GetControl(id)) c->SetPicture(picture);
}

void SkinWindow::SetControlLayout(DWORD id, LONG xFlags, LONG xOffset, LONG width, LONG yFlags, LONG yOffset,
                                  LONG height) {
    if (SkinControl* c = GetControl(id)) c->SetLayout(xFlags, xOffset, width, yFlags, yOffset, height);
}

void SkinWindow::CheckRadio(SkinControl* checked) {
    for (DWORD i = 0; i < controls_.size(); ++i) {
        SkinControl* c = controls_[i];
        if (c->GetType() == sctRADIOBUTTON && c->GetPage() == checked->GetPage() &&
            c->GetRadioGroup() == checked->GetRadioGroup())
            c->SetChecked(c == checked);
    }
}

LRESULT SkinWindow::SendToPage(SKINWINDOWINSET* page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!page) page = GetFirstPage();
    return page && page->procedure ? page->procedure(this, message, wParam, lParam) : 0;
}

// ---- geometry ----

RECT SkinWindow::GetOuterRect() const {
    RECT r = {0, 0, 0, 0};
    if (window_) {
        RECT w;
        GetWindowRect(window_, &w);
        r.right = w.right - w.left;
        r.bottom = w.bottom - w.top;
    }
    return r;
}

RECT SkinWindow::GetInnerRect() const {
    RECT r = GetOuterRect();
    r.left += style_.left;
    r.top += style_.top;
    r.right -= style_.right;
    r.bottom -= style_.bottom;
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

void SkinWindow::Place(SkinControl* control) {
    RECT inner = GetInnerRect(), outer = GetOuterRect();
    LONG innerWidth = inner.right - inner.left, innerHeight = inner.bottom - inner.top;
    bool scale = !resizable_ && design_.cx > 0 && design_.cy > 0 && singleFrame_;
    auto axis = [&](const SKINAXIS& a, LONG refStart, LONG refEnd, LONG present, LONG design, LONG* start,
                    LONG* end) {
        LONG size = a.size, offset = a.offset;
        LONG change = design > 0 ? present - design : 0;
        if (a.flags & slGROW) size += change;
        if (a.flags & slSHRINK) size -= change;
        if (scale && !(a.flags & (slFAR | slCENTER))) {
            offset = Scale(offset, present, design);
            size = Scale(size, present, design);
        }
        if (size < 0) size = 0;
        if (a.flags & slCENTER)
            *start = refStart + (refEnd - refStart - size) / 2 + offset;
        else if (a.flags & slFAR)
            *start = refEnd - size - offset;
        else
            *start = refStart + offset;
        *end = *start + size;
    };
    const SKINAXIS& ax = control->GetAxisX();
    const SKINAXIS& ay = control->GetAxisY();
    RECT r;
    const RECT& xr = (ax.flags & slOUTER) ? outer : inner;
    const RECT& yr = (ay.flags & slOUTER) ? outer : inner;
    axis(ax, xr.left, xr.right, innerWidth, design_.cx, &r.left, &r.right);
    axis(ay, yr.top, yr.bottom, innerHeight, design_.cy, &r.top, &r.bottom);
    control->SetRect(r);
}

void SkinWindow::LayoutAll() {
    for (DWORD i = 0; i < controls_.size(); ++i) Place(controls_[i]);
}

void SkinWindow::BuildFrame() {
    pieceCount_ = 0;
    singleFrame_ = FALSE;
    RECT outer = GetOuterRect();
    LONG w = outer.right, h = outer.bottom;
    background_ = skin_->FindPicture(string(TEXT("background")), variant_);
    if (Graphic* frame = skin_->FindPicture(string(TEXT("frame")), variant_)) {
        singleFrame_ = TRUE;
        SKINFRAMEPIECE& p = pieces_[pieceCount_++];
        p.cell = frame;
        SetRect(&p.rect, 0, 0, w, h);
        p.mode = frame->GetWidth() == w && frame->GetHeight() == h ? kPieceOnce : kPieceStretch;
        return;
    }
    if (!skin_->FindPicture(string(TEXT("frame-c")), variant_)) return;
    SKINCONTROLGRAPHICS* corners = skin_->GetControlGraphics(string(TEXT("frame-c")), 1, variant_);
    LONG cw = corners->cellWidth, ch = corners->cellHeight;
    if (skin_->FindPicture(string(TEXT("frame-lr")), variant_)) {
        SKINCONTROLGRAPHICS* lr = skin_->GetControlGraphics(string(TEXT("frame-lr")), 2, variant_);
        pieces_[pieceCount_++] =
            SKINFRAMEPIECE{lr->Cell(0), RECT{0, ch, lr->cellWidth, h - ch}, kPieceTileDown};
        pieces_[pieceCount_++] =
            SKINFRAMEPIECE{lr->Cell(1), RECT{w - lr->cellWidth, ch, w, h - ch}, kPieceTileDown};
    }
    if (skin_->FindPicture(string(TEXT("frame-tb")), variant_)) {
        SKINCONTROLGRAPHICS* tb = skin_->GetControlGraphics(string(TEXT("frame-tb")), 3, variant_);
        pieces_[pieceCount_++] =
            SKINFRAMEPIECE{tb->Cell(0), RECT{cw, 0, w - cw, tb->cellHeight}, kPieceTileAcross};
        pieces_[pieceCount_++] =
            SKINFRAMEPIECE{tb->Cell(1), RECT{cw, h - tb->cellHeight, w - cw, h}, kPieceTileAcross};
    }
    pieces_[pieceCount_++] = SKINFRAMEPIECE{corners->Cell(0), RECT{0, 0, cw, ch}, kPieceOnce};
    pieces_[pieceCount_++] = SKINFRAMEPIECE{corners->Cell(1), RECT{w - cw, 0, w, ch}, kPieceOnce};
    pieces_[pieceCount_++] = SKINFRAMEPIECE{corners->Cell(2), RECT{0, h - ch, cw, h}, kPieceOnce};
    pieces_[pieceCount_++] = SKINFRAMEPIECE{corners->Cell(3), RECT{w - cw, h - ch, w, h}, kPieceOnce};
}

void SkinWindow::ApplyRegion() {
    RECT outer = GetOuterRect();
    HRGN region = SkinFrameRegion(pieces_, pieceCount_, outer.right, outer.bottom);
    // The window owns the region from here on.
    if (!SetWindowRgn(window_, region, TRUE) && region) DeleteObject(region);
}

HRGN SkinWindow::CopyRegion() const {
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    if (region && GetWindowRgn(window_, region) == ERROR) {
        DeleteObject(region);
        region = nullptr;
    }
    return region;
}

void SkinWindow::SetWindowRect(LONG left, LONG top, LONG width, LONG height) {
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SkinWindow::SetCaption(const string& caption) { SetWindowText(window_, caption.Psz()); }

void SkinWindow::DrawBackground(Graphic* target, const RECT& clip) {
    if (!target) return;
    HDC dc = target->GetDC();
    if (dc) {
        HBRUSH brush = CreateSolidBrush(style_.backgroundColor);
        if (brush) {
            FillRect(dc, &clip, brush);
            DeleteObject(brush);
        }
        target->ReleaseDC();
    }
    if (!singleFrame_ && background_) {
        RECT inner = GetInnerRect();
        if (style_.backgroundLayout == kLayoutStretch) {
            StretchSkinCell(background_, target, clip, inner);
        } else if (style_.backgroundLayout == kLayoutCenter) {
            LONG x = inner.left + (inner.right - inner.left - background_->GetWidth()) / 2;
            LONG y = inner.top + (inner.bottom - inner.top - background_->GetHeight()) / 2;
            RECT cut;
            if (IntersectRect(&cut, &clip, &inner))
                DrawSkinCell(background_, target, cut, x, y, background_->GetWidth(),
                             background_->GetHeight());
        } else {
            TileSkinCell2D(background_, target, clip, inner);
        }
    }
    DrawSkinFramePieces(pieces_, pieceCount_, target, clip);
}

Graphic* SkinWindow::Render() {
    RECT outer = GetOuterRect();
    if (outer.right <= 0 || outer.bottom <= 0) return nullptr;
    Graphic* picture = MEMNEW(Graphic, (outer.right, outer.bottom, 32, (const RGBQUAD*)nullptr));
    if (!picture || !picture->IsLoaded()) {
        if (picture) MEMDELETE(picture);
        return nullptr;
    }
    DrawBackground(picture, outer);
    for (DWORD i = 0; i < controls_.size(); ++i) controls_[i]->Draw(picture, outer);
    return picture;
}

// ---- mouse ----

void SkinWindow::GetSizeLimits(SIZE* minimum, SIZE* maximum) const {
    LONG cornerWidth = 0, cornerHeight = 0;
    for (DWORD i = 0; i < pieceCount_; ++i)
        if (pieces_[i].mode == kPieceOnce && pieces_[i].cell) {
            cornerWidth = pieces_[i].cell->GetWidth();
            cornerHeight = pieces_[i].cell->GetHeight();
        }
    LONG xmin = ParsePropertyNumber(
        skin_->GetProperty(string(TEXT("window size xminimum")), nullptr, variant_).Psz());
    LONG ymin = ParsePropertyNumber(
        skin_->GetProperty(string(TEXT("window size yminimum")), nullptr, variant_).Psz());
    LONG xmax = ParsePropertyNumber(
        skin_->GetProperty(string(TEXT("window size xmaximum")), nullptr, variant_).Psz());
    LONG ymax = ParsePropertyNumber(
        skin_->GetProperty(string(TEXT("window size ymaximum")), nullptr, variant_).Psz());
    RECT work;
    SystemParametersInfo(SPI_GETWORKAREA, 0, &work, 0);
    LONG workWidth = work.right - work.left - 1, workHeight = work.bottom - work.top - 1;
    minimum->cx = 2 * cornerWidth > xmin ? 2 * cornerWidth : xmin;
    minimum->cy = 2 * cornerHeight > ymin ? 2 * cornerHeight : ymin;
    maximum->cx = xmax <= 0 || xmax > workWidth ? workWidth : xmax;
    maximum->cy = ymax <= 0 || ymax > workHeight ? workHeight : ymax;
    if (maximum->cx < minimum->cx) maximum->cx = minimum->cx;
    if (maximum->cy < minimum->cy) maximum->cy = minimum->cy;
}

DWORD SkinWindow::HitZone(POINT point, SkinControl** control) const {
    *control = nullptr;
    RECT outer = GetOuterRect();
    if (!PtInRect(&outer, point)) return szNONE;
    if (resizable_) {
        LONG bandX = GetSystemMetrics(SM_CXFRAME) + 4, bandY = GetSystemMetrics(SM_CYFRAME) + 4;
        bool left = point.x < bandX, right = point.x >= outer.right - bandX;
        bool top = point.y < bandY, bottom = point.y >= outer.bottom - bandY;
        if (top && left) return szTOPLEFT;
        if (top && right) return szTOPRIGHT;
        if (bottom && left) return szBOTTOMLEFT;
        if (bottom && right) return szBOTTOMRIGHT;
        if (left) return szLEFT;
        if (right) return szRIGHT;
        if (top) return szTOP;
        if (bottom) return szBOTTOM;
    }
    // The newest control lies on top.
    for (DWORD i = controls_.size(); i-- > 0;) {
        SkinControl* c = controls_[i];
        if (c->IsVisible() && c->HitTest(point)) {
            *control = c;
            return szCONTROL;
        }
    }
    if (style_.titlebarHeight == -1 || point.y < style_.titlebarHeight) return szDRAG;
    return szNONE;
}

void SkinWindow::SetHot(SkinControl* control) {
    if (control == hot_) return;
    if (hot_) hot_->Invalidate();
    hot_ = control;
    if (hot_) hot_->Invalidate();
}

void SkinWindow::OnButtonDown(POINT point) {
    SkinControl* control;
    DWORD zone = HitZone(point, &control);
    if (zone == szNONE) return;
    zone_ = zone;
    buttonDown_ = TRUE;
    SetCapture(window_);
    // Moves are measured from the press in screen terms, from the message's own point, so that a drag
    // follows the messages even where the pointer itself is elsewhere.
    pressScreen_ = point;
    ClientToScreen(window_, &pressScreen_);
    GetWindowRect(window_, &pressWindow_);
    if (control) {
        pressed_ = control;
        SetHot(control);
        if (control->WantsFocus() && focus_ != control) {
            SkinControl* old = focus_;
            focus_ = control;
            if (old) old->Invalidate();
        }
        control->OnPress(point);
    }
}

void SkinWindow::OnMouseMove(POINT point) {
    if (!buttonDown_) {
        SkinControl* control;
        HitZone(point, &control);
        SetHot(control && control->IsEffectivelyEnabled() ? control : nullptr);
        return;
    }
    POINT screen = point;
    ClientToScreen(window_, &screen);
    LONG dx = screen.x - pressScreen_.x, dy = screen.y - pressScreen_.y;
    if (zone_ == szDRAG) {
        SetWindowPos(window_, nullptr, pressWindow_.left + dx, pressWindow_.top + dy, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    } else if (zone_ == szCONTROL) {
        if (pressed_) {
            SetHot(pressed_->HitTest(point) ? pressed_ : nullptr);
            pressed_->OnDrag(point);
        }
    } else if (zone_ != szNONE) {
        RECT r = pressWindow_;
        if (zone_ == szLEFT || zone_ == szTOPLEFT || zone_ == szBOTTOMLEFT) r.left += dx;
        if (zone_ == szRIGHT || zone_ == szTOPRIGHT || zone_ == szBOTTOMRIGHT) r.right += dx;
        if (zone_ == szTOP || zone_ == szTOPLEFT || zone_ == szTOPRIGHT) r.top += dy;
        if (zone_ == szBOTTOM || zone_ == szBOTTOMLEFT || zone_ == szBOTTOMRIGHT) r.bottom += dy;
        SIZE minimum, maximum;
        GetSizeLimits(&minimum, &maximum);
        LONG width = r.right - r.left, height = r.bottom - r.top;
        LONG clampedWidth = width < minimum.cx ? minimum.cx : width > maximum.cx ? maximum.cx : width;
        LONG clampedHeight = height < minimum.cy ? minimum.cy : height > maximum.cy ? maximum.cy : height;
        // The edge being dragged moves; the opposite one stays.
        if (r.left != pressWindow_.left)
            r.left = r.right - clampedWidth;
        else
            r.right = r.left + clampedWidth;
        if (r.top != pressWindow_.top)
            r.top = r.bottom - clampedHeight;
        else
            r.bottom = r.top + clampedHeight;
        SetWindowRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
}

void SkinWindow::OnButtonUp(POINT point) {
    if (!buttonDown_) return;
    buttonDown_ = FALSE;
    zone_ = szNONE;
    if (GetCapture() == window_) ReleaseCapture();
    SkinControl* control = pressed_;
    pressed_ = nullptr;
    // The release may run the program's procedure, which may remove the control: nothing after it
    // touches the control.
    if (control) control->OnRelease(point);
}

LRESULT SkinWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, BOOL* handled) {
    *handled = FALSE;
    POINT point = {static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    BOOL enabled = IsWindowEnabled(window_);
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (enabled) OnButtonDown(point);
        break;
    case WM_MOUSEMOVE:
        if (enabled) {
            OnMouseMove(point);
            TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window_, 0};
            TrackMouseEvent(&track);
        }
        break;
    case WM_MOUSELEAVE:
        if (!buttonDown_) SetHot(nullptr);
        break;
    case WM_LBUTTONUP:
        OnButtonUp(point);
        break;
    case WM_CAPTURECHANGED:
        if (buttonDown_ && reinterpret_cast<HWND>(lParam) != window_) {
            buttonDown_ = FALSE;
            pressed_ = nullptr;
            zone_ = szNONE;
        }
        break;
    case WM_SETCURSOR:
        SetCursor(LoadCursor(nullptr, IDC_ARROW));
        *handled = TRUE;
        return TRUE;
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_HOME:
        case VK_END:
        case VK_INSERT:
        case VK_DELETE:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_LEFT:
        case VK_RIGHT:
        case VK_UP:
        case VK_DOWN:
            if (focus_ && focus_->IsVisible() && focus_->IsEffectivelyEnabled())
                focus_->OnKeyDown(static_cast<UINT>(wParam));
            break;
        }
        break;
    case WM_CHAR:
        if (focus_ && focus_->IsVisible() && focus_->IsEffectivelyEnabled())
            focus_->OnChar(static_cast<UINT>(wParam));
        break;
    case WM_CLOSE:
        // Closing from the system (Alt+F4, the task bar) is the close box; a window without one stays.
        if (closeBox_ || GetControl(kSkinCloseBox))
            SendToPage(nullptr, WM_COMMAND, MAKEWPARAM(kSkinCloseBox, BN_CLICKED), 0);
        *handled = TRUE;
        return 0;
    case WM_SIZE: {
        BuildFrame();
        ApplyRegion();
        LayoutAll();
        LRESULT result = AnimWindowProc(window_, message, wParam, lParam);
        AnimWindow* anim = GetAnimWindow();
        if (anim && anim->GetBackground()) {
            RECT outer = GetOuterRect();
            DrawBackground(anim->GetBackground(), outer);
            anim->InvalidateAll(TRUE);
        }
        *handled = TRUE;
        return result;
    }
    case WM_DESTROY:
        // Destroyed from outside: the controls leave before the engine deletes the objects under them.
        while (controls_.size() > 0) RemoveControl(controls_[controls_.size() - 1]);
        RemoveProp(window_, kRecordProperty);
        break;
    }
    return 0;
}

// ---- modal run ----

INT_PTR SkinWindow::RunModal() {
    if (!window_) return modalResult_;
    modalEnded_ = FALSE;
    modalRunning_ = TRUE;
    HWND owner = GetWindow(window_, GW_OWNER);
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabledParent_ = owner;
    }
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    HWND window = window_;
    while (!modalEnded_ && IsWindow(window) && FromHandle(window) == this) {
        AnimWindow* anim = GetAnimWindow();
        if (!anim) break;
        anim->Play(1);
        MSG quit;
        // A quit request ends the run and stays queued for the program's own loop.
        if (PeekMessage(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) break;
    }
    if (FromHandle(window) != this) return 0; // destroyed during the run: the record is gone
    modalRunning_ = FALSE;
    if (disabledParent_) {
        EnableWindow(disabledParent_, TRUE);
        disabledParent_ = nullptr;
    }
    if (IsWindow(window_)) ShowWindow(window_, SW_HIDE);
    return modalResult_;
}

void SkinWindow::EndModal(INT_PTR result) {
    modalResult_ = result;
    modalEnded_ = TRUE;
    // The run's frame loop would otherwise wait out the rest of its frame (a tenth of a second at the
    // skin's usual rate) before the run could see its end.
    if (AnimWindow* anim = GetAnimWindow()) anim->EndPlay();
}
