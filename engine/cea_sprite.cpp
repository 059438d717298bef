// Sprite frames: layers of a PSP image or tiles of one image, and child sprites.
#include "cea_sprite.h"

#include "cea_graphic.h"
#include "mem_manager.h"

void Sprite::Clear() {
    ownsGraphic_ = FALSE;
    source_ = nullptr;
    child_ = FALSE;
    SetRectEmpty(&rectInParent_);
    parent_ = nullptr;
    frames_ = nullptr;
    frameCount_ = frameCapacity_ = 0;
    children_ = nullptr;
    childCount_ = 0;
}

Sprite::Sprite(Graphic* source, DWORD across, DWORD down, DWORD count) {
    Clear();
    source_ = source;
    Split(across, down, count);
}

Sprite::Sprite(const TCHAR* path, COLORREF transparent, DWORD across, DWORD down, DWORD count) {
    Clear();
    source_ = MEMNEW(Graphic, (this, path, transparent));
    ownsGraphic_ = TRUE;
    Split(across, down, count);
}

Sprite::Sprite(HANDLE file, COLORREF transparent, DWORD across, DWORD down, DWORD count) {
    Clear();
    source_ = MEMNEW(Graphic, (this, file, transparent));
    ownsGraphic_ = TRUE;
    Split(across, down, count);
}

Sprite::Sprite(const BYTE* data, DWORD size, COLORREF transparent, DWORD across, DWORD down, DWORD count) {
    Clear();
    source_ = MEMNEW(Graphic, (this, data, size, transparent));
    ownsGraphic_ = TRUE;
    Split(across, down, count);
}

Sprite::Sprite(HMODULE module, LPCTSTR name, COLORREF transparent, DWORD across, DWORD down, DWORD count) {
    Clear();
    source_ = MEMNEW(Graphic, (this, module, name, transparent));
    ownsGraphic_ = TRUE;
    Split(across, down, count);
}

Sprite::Sprite(Sprite* parent, const RECT& rect) {
    Clear();
    if (!parent) return;
    child_ = TRUE;
    parent_ = parent;
    rectInParent_ = rect;
    source_ = parent->source_;
    for (DWORD i = 0; i < parent->frameCount_; ++i) {
        Graphic* frame = MEMNEW(Graphic, (parent->frames_[i], &rect));
        if (!frame || !AppendFrame(frame)) break;
    }
    for (DWORD i = 0; i < parent->childCount_; ++i) {
        if (!parent->children_[i]) {
            parent->children_[i] = this;
            return;
        }
    }
    DWORD slot = parent->childCount_;
    if (MEMREALLOC(Sprite*, parent->children_, parent->childCount_, slot + 1, 4))
        parent->children_[slot] = this;
}

Sprite::~Sprite() {
    // Child sprites go first, at every level: their frames are children of this sprite's frames.
    for (DWORD i = 0; i < childCount_; ++i) {
        Sprite* child = children_[i];
        children_[i] = nullptr;
        if (child) {
            child->parent_ = nullptr;
            MEMDELETE(child);
        }
    }
    if (children_) MEMFREE(children_);
    for (DWORD i = 0; i < frameCount_; ++i)
        if (frames_[i]) MEMDELETE(frames_[i]);
    if (frames_) MEMFREE(frames_);
    if (child_ && parent_) parent_->RemoveChild(this);
    if (ownsGraphic_ && source_) MEMDELETE(source_);
}

void Sprite::RemoveChild(Sprite* child) {
    for (DWORD i = 0; i < childCount_; ++i)
        if (children_[i] == child) children_[i] = nullptr;
}

BOOL Sprite::AppendFrame(Graphic* frame) {
    if (!frame) return FALSE;
    if (frameCount_ == frameCapacity_ && !MEMREALLOC(Graphic*, frames_, frameCapacity_, frameCount_ + 1, 1)) {
        MEMDELETE(frame);
        return FALSE;
    }
    frames_[frameCount_++] = frame;
    return TRUE;
}

void Sprite::Split(DWORD across, DWORD down, DWORD count) {
    if (!source_) return;
    int width = source_->GetWidth(), height = source_->GetHeight();
    int tileWidth = across & kAllTiles ? static_cast<int>(across & ~kAllTiles)
                                       : width / static_cast<int>(across > 1 ? across : 1);
    int tileHeight = down & kAllTiles ? static_cast<int>(down & ~kAllTiles)
                                      : height / static_cast<int>(down > 1 ? down : 1);
    int columns = width / (tileWidth > 1 ? tileWidth : 1);
    int rows = height / (tileHeight > 1 ? tileHeight : 1);
    DWORD frames = static_cast<DWORD>(columns) * rows;
    if (count != kAllTiles && count < frames) frames = count;
    if (frameCount_ > 0) return; // a layered image already has its frames
    for (DWORD i = 0; i < frames; ++i) {
        RECT tile;
        tile.left = tileWidth * static_cast<int>(i % columns);
        tile.top = tileHeight * static_cast<int>(i / columns);
        tile.right = tile.left + tileWidth;
        tile.bottom = tile.top + tileHeight;
        Graphic* frame = MEMNEW(Graphic, (source_, &tile));
        if (!AppendFrame(frame)) break;
    }
}

RECT Sprite::GetRectInParent() const { return child_ ? rectInParent_ : GetRect(); }

RECT Sprite::GetRect() const {
    RECT rect = {0, 0, 0, 0};
    if (frameCount_ > 0) rect = frames_[0]->GetRect();
    return rect;
}

int Sprite::GetWidth() const { return frameCount_ > 0 ? frames_[0]->GetWidth() : 0; }
int Sprite::GetHeight() const { return frameCount_ > 0 ? frames_[0]->GetHeight() : 0; }

Graphic* Sprite::GetFrameAt(DWORD frameNumber) const {
    if (frameCount_ == 0) return nullptr;
    return frames_[frameNumber % frameCount_];
}
