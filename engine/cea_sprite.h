// `Sprite` is an ordered list of frames over one source image: the layers of a layered PSP file or equal
// tiles split from one image. A child sprite cuts the same rectangle out of every frame of its parent.
#pragma once

#include <windows.h>

class Graphic;

// As a tile count: every tile. As across/down with the top bit set: the low bits are the tile size.
const DWORD kAllTiles = 0x80000000;

class Sprite {
public:
    // Frames over `source`, which the sprite does not own.
    Sprite(Graphic* source, DWORD across = 1, DWORD down = 1, DWORD count = kAllTiles);
    // Loads and owns its source image; a layered PSP gives one frame per layer and is not split.
    Sprite(const TCHAR* path, COLORREF transparent, DWORD across = 1, DWORD down = 1,
           DWORD count = kAllTiles);
    Sprite(HANDLE file, COLORREF transparent, DWORD across = 1, DWORD down = 1, DWORD count = kAllTiles);
    Sprite(const BYTE* data, DWORD size, COLORREF transparent, DWORD across = 1, DWORD down = 1,
           DWORD count = kAllTiles);
    Sprite(HMODULE module, LPCTSTR name, COLORREF transparent, DWORD across = 1, DWORD down = 1,
           DWORD count = kAllTiles);
    // The rectangle of every frame of `parent`.
    Sprite(Sprite* parent, const RECT& rect);
    ~Sprite();

    BOOL IsChild() const { return child_; }
    Sprite* GetParent() const { return child_ ? parent_ : nullptr; }
    RECT GetRectInParent() const;
    RECT GetRect() const;
    int GetWidth() const;
    int GetHeight() const;
    Graphic* GetFrame(DWORD index) const { return index < frameCount_ ? frames_[index] : nullptr; }
    DWORD GetFrameCount() const { return frameCount_; }
    // The frame shown at a window's frame number.
    Graphic* GetFrameAt(DWORD frameNumber) const;
    Graphic* GetSource() const { return source_; }

    // For the PSP reader: takes ownership of a layer frame. FALSE (frame deleted) when the list cannot grow.
    BOOL AppendFrame(Graphic* frame);

private:
    Sprite(const Sprite&) = delete;
    Sprite& operator=(const Sprite&) = delete;

    void Clear();
    void Split(DWORD across, DWORD down, DWORD count);
    void RemoveChild(Sprite* child);

    BOOL ownsGraphic_;
    Graphic* source_;
    BOOL child_;
    RECT rectInParent_;
    Sprite* parent_;
    Graphic** frames_;
    DWORD frameCount_;
    DWORD frameCapacity_;
    Sprite** children_;
    DWORD childCount_;
};
