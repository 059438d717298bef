// Objects of the animation window: their place in the depth lists, their rectangle and how they draw.
#include "cea_anim_object.h"

#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "cea_sprite.h"

namespace {

const LONG kDefaultDepth = 100;

BOOL IsEmptyRect(const RECT& r) { return r.left >= r.right || r.top >= r.bottom; }

RECT Intersection(const RECT& a, const RECT& b) {
    RECT r = {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
              a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    return r;
}

} // namespace

void AnimObject::Init(AnimWindow* window, LONG depth) {
    window_ = nullptr;
    next_ = previous_ = nullptr;
    data_ = nullptr;
    dataCount_ = 0;
    SetRectEmpty(&rect_);
    depth_ = depth;
    flags_ = 0;
    autoDraw_ = FALSE;
    graphic_ = nullptr;
    sprite_ = nullptr;
    callback_ = nullptr;
    Attach(window);
}

AnimObject::AnimObject(AnimWindow* window, Sprite* sprite, LONG depth) {
    Init(window, depth);
    SetSprite(sprite, TRUE);
}

AnimObject::AnimObject(AnimWindow* window, Graphic* graphic, LONG depth) {
    Init(window, depth);
    SetGraphic(graphic, TRUE);
}

AnimObject::AnimObject(AnimWindow* window, AnimObjectCallback callback, LONG depth) {
    Init(window, depth);
    SetCallback(callback);
    Send(amCREATE, 0);
}

AnimObject::~AnimObject() {
    Send(amDESTROY, 0);
    // A pending move or change of this object must not outlive it.
    if (window_) window_->ForgetObject(this);
    Detach();
    if (data_) MEMFREE(data_);
    data_ = nullptr;
    dataCount_ = 0;
    window_ = nullptr;
    graphic_ = nullptr;
    sprite_ = nullptr;
    callback_ = nullptr;
    SetRectEmpty(&rect_);
    depth_ = 0;
    flags_ = 0;
    autoDraw_ = FALSE;
}

void AnimObject::Attach(AnimWindow* window) {
    window_ = window;
    if (window_) window_->AddObject(this);
}

void AnimObject::Detach() {
    if (window_) window_->RemoveObject(this);
}

void AnimObject::SetWindow(AnimWindow* window) {
    // What the old window scheduled for the object would otherwise reach it on the new one, or outlive it.
    if (window_ && window_ != window) window_->ForgetObject(this);
    Detach();
    Attach(window);
}

void AnimObject::SetDepth(LONG depth) {
    Detach();
    depth_ = depth;
    Attach(window_);
}

void AnimObject::SendToBack() {
    if (!window_) return;
    Detach();
    depth_ = kDefaultDepth;
    AnimObject* last = window_->GetLastObject();
    if (last)
        window_->InsertObject(this, last, FALSE);
    else
        window_->AddObject(this);
}

void AnimObject::BringToFront() {
    if (!window_) return;
    Detach();
    depth_ = kDefaultDepth;
    AnimObject* first = window_->GetFirstObject();
    if (first)
        window_->InsertObject(this, first, TRUE);
    else
        window_->AddObject(this);
}

void AnimObject::PlaceBehind(AnimObject* other) {
    // An object on another window (or itself) gives no place to go.
    if (!other) return SendToBack();
    if (!window_ || other == this || other->window_ != window_) return;
    Detach();
    window_->InsertObject(this, other, FALSE);
}

void AnimObject::PlaceInFront(AnimObject* other) {
    if (!other) return BringToFront();
    if (!window_ || other == this || other->window_ != window_) return;
    Detach();
    window_->InsertObject(this, other, TRUE);
}

void AnimObject::SetFlags(DWORD flags) {
    if (flags == flags_) return;
    Invalidate();
    flags_ = flags;
    Invalidate();
}

void AnimObject::SetGraphic(Graphic* graphic, BOOL autoDraw) {
    Invalidate();
    graphic_ = graphic;
    if (graphic) {
        autoDraw_ = autoDraw;
        RECT r = graphic->GetRect();
        if (!IsEmptyRect(r)) SetSize(r.right - r.left, r.bottom - r.top);
    } else {
        autoDraw_ = FALSE;
    }
    Invalidate();
}

void AnimObject::SetSprite(Sprite* sprite, BOOL autoDraw) {
    Invalidate();
    sprite_ = sprite;
    if (sprite) {
        autoDraw_ = autoDraw;
        RECT r = sprite->GetRect();
        if (!IsEmptyRect(r)) SetSize(r.right - r.left, r.bottom - r.top);
    } else {
        autoDraw_ = FALSE;
    }
    Invalidate();
}

Graphic* AnimObject::GetCurrentGraphic() const {
    if (sprite_) return sprite_->GetFrameAt(window_ ? window_->GetFrame() : 0);
    return graphic_;
}

void AnimObject::GetRect(RECT* rect) const {
    if (rect) *rect = rect_;
}

void AnimObject::SetRect(const RECT* rect) {
    if (!rect || (flags_ & aoSTATIC)) return;
    Invalidate();
    rect_ = *rect;
    Invalidate();
}

void AnimObject::GetPos(LONG* x, LONG* y) const {
    if (x) *x = rect_.left;
    if (y) *y = rect_.top;
}

void AnimObject::SetPos(LONG x, LONG y) {
    RECT r = {x, y, x + GetWidth(), y + GetHeight()};
    SetRect(&r);
}

void AnimObject::GetSize(LONG* width, LONG* height) const {
    if (width) *width = GetWidth();
    if (height) *height = GetHeight();
}

void AnimObject::SetSize(LONG width, LONG height) {
    RECT r = {rect_.left, rect_.top, rect_.left + width, rect_.top + height};
    SetRect(&r);
}

void AnimObject::Invalidate() {
    if (window_) window_->Invalidate(&rect_, (flags_ & aoSTATIC) != 0);
}

void AnimObject::SetCallback(AnimObjectCallback callback) {
    callback_ = callback;
    if (!callback)
        autoDraw_ = TRUE;
    else if (!graphic_)
        autoDraw_ = FALSE;
}

DWORD AnimObject::Send(DWORD message, LPARAM parameter) {
    // An animated sprite shows a new frame every frame.
    if (message == amFRAME && autoDraw_ && sprite_ && sprite_->GetFrameCount() > 1) Invalidate();
    if (!callback_) return 1;
    return callback_(this, message, parameter);
}

void AnimObject::SetData(DWORD index, DWORD_PTR value) {
    if (index == 0xFFFFFFFF) return;
    if (!MEMREALLOC(DWORD_PTR, data_, dataCount_, index + 1, 4)) return;
    data_[index] = value;
}

void AnimObject::Draw(Graphic* target, const RECT* clip) {
    RECT r = clip ? Intersection(rect_, *clip) : rect_;
    if (IsEmptyRect(r) || !target) return;
    Graphic* g = GetCurrentGraphic();
    if (g && autoDraw_) {
        g->Draw(target, r.left, r.top, r.left - rect_.left, r.top - rect_.top, r.right - r.left,
                r.bottom - r.top);
        return;
    }
    ANIMDRAW draw = {target, r, rect_};
    Send(amDRAW, reinterpret_cast<LPARAM>(&draw));
}

void AnimObject::DrawGraphic(const ANIMDRAW* draw, Graphic* graphic) {
    if (!draw || !draw->target) return;
    if (!graphic) graphic = graphic_;
    if (!graphic) return;
    RECT clip = Intersection(draw->clip, draw->object);
    if (IsEmptyRect(clip)) return;
    graphic->DrawTo(draw->target, draw->object.left, draw->object.top, clip);
}

void AnimObject::DrawSprite(const ANIMDRAW* draw, Sprite* sprite) {
    if (!sprite) sprite = sprite_;
    Graphic* g = sprite ? sprite->GetFrameAt(window_ ? window_->GetFrame() : 0) : graphic_;
    if (g) DrawGraphic(draw, g);
}
