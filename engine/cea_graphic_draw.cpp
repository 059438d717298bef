// Graphic drawing: clipping, the plain and run copies, translucent blends, device-context blits,
// stretching and tiling.
#include "cea_graphic.h"

#include "cea_palette_group.h"
#include "mem_manager.h"

#include <string.h>

namespace {

struct Pair {
    DWORD first;
    DWORD second;
};

const DWORD kNoRun = 0xFFFFFFFF;

long long Min3(long long a, long long b, long long c) {
    long long m = a < b ? a : b;
    return m < c ? m : c;
}

} // namespace

// ---- transparency preparation ----

void Graphic::FreeTransparencyTables() {
    if (runs_) MEMFREE(runs_);
    if (rows_) MEMFREE(rows_);
    runs_ = rows_ = nullptr;
    runCapacity_ = runCount_ = rowCapacity_ = rowCount_ = 0;
    if (maskBitmap_) DeleteObject(maskBitmap_);
    maskBitmap_ = nullptr;
}

BOOL Graphic::BuildRunTable(DWORD transparentValue) {
    if (!MEMREALLOC(Pair, rows_, rowCapacity_, static_cast<DWORD>(height_), 1)) return FALSE;
    Pair* rows = reinterpret_cast<Pair*>(rows_);
    for (int y = 0; y < height_; ++y) {
        rows[y].first = kNoRun;
        rows[y].second = 0;
        int x = 0;
        while (x < width_) {
            while (x < width_ && GetPixelValue(x, y) == transparentValue) ++x;
            if (x >= width_) break;
            int start = x;
            while (x < width_ && GetPixelValue(x, y) != transparentValue) ++x;
            if (runCount_ == runCapacity_ && !MEMREALLOC(Pair, runs_, runCapacity_, runCount_ + 1, 128)) {
                FreeTransparencyTables();
                return FALSE;
            }
            Pair* runs = reinterpret_cast<Pair*>(runs_);
            runs[runCount_].first = start;
            runs[runCount_].second = x - start;
            if (rows[y].first == kNoRun) rows[y].first = runCount_;
            ++rows[y].second;
            ++runCount_;
        }
        rowCount_ = y + 1;
    }
    return TRUE;
}

BOOL Graphic::PrepareTransparency() {
    Graphic* root = valid_ ? Root() : nullptr;
    if (!root || !root->bits_) return FALSE;
    if (root != this) return root->PrepareTransparency();
    if (transparent_ != prepared_) {
        FreeTransparencyTables();
        prepared_ = kNoColor;
        if (transparent_ == kNoColor) return FALSE;
        BuildRunTable(ColorToValue(transparent_));
#ifndef UNICODE
        // The mask is made from the run table rather than by a colour match in GDI, so that it marks
        // exactly the pixels the run copy leaves out: 1 where the image is transparent.
        if (rowCount_ == static_cast<DWORD>(height_)) {
            DWORD maskPitch = ((width_ + 15) / 16) * 2;
            DWORD cbMask = maskPitch * height_;
            BYTE* maskBits = static_cast<BYTE*>(MEMALLOC(cbMask));
            if (maskBits) {
                memset(maskBits, 0xFF, cbMask);
                const Pair* rows = reinterpret_cast<const Pair*>(rows_);
                const Pair* runs = reinterpret_cast<const Pair*>(runs_);
                for (int y = 0; y < height_; ++y)
                    for (DWORD r = 0; r < rows[y].second; ++r) {
                        const Pair& run = runs[rows[y].first + r];
                        for (DWORD x = run.first; x < run.first + run.second; ++x)
                            maskBits[y * maskPitch + x / 8] &= static_cast<BYTE>(~(0x80 >> (x % 8)));
                    }
                maskBitmap_ = CreateBitmap(width_, height_, 1, 1, maskBits);
                MEMFREE(maskBits);
            }
        }
#endif
        prepared_ = transparent_;
    }
    return prepared_ != kNoColor;
}

DWORD Graphic::GetRowRunCount(int row) const {
    const Graphic* root = valid_ ? Root() : nullptr;
    if (!root || row < 0 || row >= root->height_ || root->rowCount_ != static_cast<DWORD>(root->height_))
        return 0xFFFFFFFF;
    return reinterpret_cast<const Pair*>(root->rows_)[row].second;
}

// ---- graphic to graphic ----

Graphic* Graphic::ClipCopy(Graphic* source, Graphic* target, int& x, int& y, int& sx, int& sy, int& width,
                           int& height) {
    if (!target || !target->valid_ || !source->bits_) return nullptr;
    long long offsetX = 0, offsetY = 0;
    long long clipRight = target->GetWidth(), clipBottom = target->GetHeight();
    Graphic* root = target;
    while (root->child_) {
        if (!root->parent_) return nullptr;
        offsetX += root->rectInParent_.left;
        offsetY += root->rectInParent_.top;
        root = root->parent_;
    }
    if (!root->bits_) return nullptr;
    long long X = x, Y = y, SX = sx, SY = sy;
    long long W = width == kToEdge ? source->width_ - SX : width;
    long long H = height == kToEdge ? source->height_ - SY : height;
    if (SX < 0) X -= SX, W += SX, SX = 0;
    if (SY < 0) Y -= SY, H += SY, SY = 0;
    if (X < 0) SX -= X, W += X, X = 0;
    if (Y < 0) SY -= Y, H += Y, Y = 0;
    W = Min3(W, source->width_ - SX, clipRight - X);
    H = Min3(H, source->height_ - SY, clipBottom - Y);
    if (W <= 0 || H <= 0) return nullptr;
    x = static_cast<int>(X + offsetX);
    y = static_cast<int>(Y + offsetY);
    sx = static_cast<int>(SX);
    sy = static_cast<int>(SY);
    width = static_cast<int>(W);
    height = static_cast<int>(H);
    return root;
}

void Graphic::CopyPlain(Graphic* target, int x, int y, int sx, int sy, int width, int height) {
    if (depth_ < 8) {
        for (int j = 0; j < height; ++j)
            for (int i = 0; i < width; ++i)
                target->SetPixelValue(x + i, y + j, GetPixelValue(sx + i, sy + j));
        return;
    }
    DWORD bytesPerPixel = depth_ / 8;
    DWORD rowBytes = width * bytesPerPixel;
    // Copying within one image downwards must go bottom-up so that no source row is overwritten first.
    bool upwards = target == this && y > sy;
    for (int k = 0; k < height; ++k) {
        int j = upwards ? height - 1 - k : k;
        memmove(target->bits_ + (y + j) * target->pitch_ + x * bytesPerPixel,
                bits_ + (sy + j) * pitch_ + sx * bytesPerPixel, rowBytes);
    }
}

void Graphic::CopyRuns(Graphic* target, int x, int y, int sx, int sy, int width, int height) {
    PrepareTransparency();
    if (rowCount_ != static_cast<DWORD>(height_)) {
        DrawThroughDC(target, x, y, sx, sy, width, height);
        return;
    }
    const Pair* rows = reinterpret_cast<const Pair*>(rows_);
    const Pair* runs = reinterpret_cast<const Pair*>(runs_);
    DWORD bytesPerPixel = depth_ / 8;
    for (int j = 0; j < height; ++j) {
        const Pair& row = rows[sy + j];
        for (DWORD r = 0; r < row.second; ++r) {
            const Pair& run = runs[row.first + r];
            int start = static_cast<int>(run.first) > sx ? static_cast<int>(run.first) : sx;
            int end = static_cast<int>(run.first + run.second);
            if (end > sx + width) end = sx + width;
            if (start >= end) continue;
            int dx = x + (start - sx);
            if (depth_ < 8) {
                for (int i = start; i < end; ++i)
                    target->SetPixelValue(dx + i - start, y + j, GetPixelValue(i, sy + j));
            } else {
                memmove(target->bits_ + (y + j) * target->pitch_ + dx * bytesPerPixel,
                        bits_ + (sy + j) * pitch_ + start * bytesPerPixel, (end - start) * bytesPerPixel);
            }
        }
    }
}

void Graphic::DrawThroughDC(Graphic* target, int x, int y, int sx, int sy, int width, int height) {
    HDC dc = target->GetDC();
    if (!dc) return;
    Draw(dc, x, y, sx, sy, width, height);
    target->ReleaseDC();
}

namespace {

void SourceColor(const Graphic* source, const BYTE* bits, DWORD pitch, int depth, const RGBQUAD* palette,
                 int x, int y, int& r, int& g, int& b) {
    const BYTE* p = bits + y * pitch;
    switch (depth) {
    case 16: {
        DWORD v = p[x * 2] | p[x * 2 + 1] << 8;
        r = ((v >> 10) & 31) << 3;
        g = ((v >> 5) & 31) << 3;
        b = (v & 31) << 3;
        return;
    }
    case 24:
    case 32: {
        const BYTE* q = p + x * (depth / 8);
        b = q[0];
        g = q[1];
        r = q[2];
        return;
    }
    default: {
        DWORD v = depth == 8 ? p[x] : source->GetPixelValue(x, y);
        r = palette[v & 255].rgbRed;
        g = palette[v & 255].rgbGreen;
        b = palette[v & 255].rgbBlue;
    }
    }
}

// Rounds a channel to its inverse-table cell. Channels from 248 up round to 16, which must stay in the
// top cell rather than wrap round to the darkest one.
inline int Cell(int channel) {
    int cell = (channel + 8) >> 4;
    return cell > 15 ? 15 : cell;
}

inline int Mix(int dest, int source, int alpha) { return dest + (((source - dest) * alpha) >> 8); }

} // namespace

void Graphic::Blend(Graphic* target, int x, int y, int sx, int sy, int width, int height) {
    int targetDepth = target->depth_;
    if (targetDepth < 8) return;
    const BYTE* inverse = nullptr;
    bool fixed = false;
    if (targetDepth == 8) {
        PaletteGroup* group = target->group_;
        if (!group) return;
        fixed = group->IsFixed() != FALSE;
        inverse = group->GetInverseTable();
        if (!fixed && !inverse) return;
    }
    for (int j = 0; j < height; ++j) {
        BYTE* row = target->bits_ + (y + j) * target->pitch_;
        for (int i = 0; i < width; ++i) {
            int alpha = translucencyMode_ == kTranslucencyMap && opacity_
                            ? opacity_[(sy + j) * opacityWidth_ + sx + i]
                            : translucencyValue_;
            if (alpha == 0) continue;
            if (alpha == 255) alpha = 256;
            int r, g, b;
            SourceColor(this, bits_, pitch_, depth_, palette_, sx + i, sy + j, r, g, b);
            int dx = x + i;
            if (targetDepth == 8) {
                const RGBQUAD& d = target->palette_[row[dx]];
                r = Mix(d.rgbRed, r, alpha);
                g = Mix(d.rgbGreen, g, alpha);
                b = Mix(d.rgbBlue, b, alpha);
                if (fixed)
                    row[dx] = g_uniformMap[(r & 0xC0) | (g >> 5) << 3 | (b >> 5)];
                else
                    row[dx] = inverse[Cell(r) << 8 | Cell(g) << 4 | Cell(b)];
            } else if (targetDepth == 16) {
                BYTE* p = row + dx * 2;
                DWORD v = p[0] | p[1] << 8;
                int dr = (v >> 10) & 31, dg = (v >> 5) & 31, db = v & 31;
                v = Mix(dr, r >> 3, alpha) << 10 | Mix(dg, g >> 3, alpha) << 5 | Mix(db, b >> 3, alpha);
                p[0] = static_cast<BYTE>(v);
                p[1] = static_cast<BYTE>(v >> 8);
            } else {
                BYTE* p = row + dx * (targetDepth / 8);
                p[0] = static_cast<BYTE>(Mix(p[0], b, alpha));
                p[1] = static_cast<BYTE>(Mix(p[1], g, alpha));
                p[2] = static_cast<BYTE>(Mix(p[2], r, alpha));
            }
        }
    }
}

BOOL Graphic::ToParentSource(int& x, int& y, int& sx, int& sy, int& width, int& height) const {
    if (!parent_) return FALSE;
    if (sx < 0) x -= sx, width = width == kToEdge ? width : width + sx, sx = 0;
    if (sy < 0) y -= sy, height = height == kToEdge ? height : height + sy, sy = 0;
    int restW = GetWidth() - sx, restH = GetHeight() - sy;
    if (width == kToEdge || width > restW) width = restW;
    if (height == kToEdge || height > restH) height = restH;
    sx += rectInParent_.left;
    sy += rectInParent_.top;
    return width >= 1 && height >= 1;
}

void Graphic::Draw(Graphic* target, int x, int y, int sx, int sy, int width, int height) {
    if (!valid_) return;
    if (child_) {
        if (ToParentSource(x, y, sx, sy, width, height)) parent_->Draw(target, x, y, sx, sy, width, height);
        return;
    }
    Graphic* root = ClipCopy(this, target, x, y, sx, sy, width, height);
    if (!root) return;
    if (translucencyMode_ != kTranslucencyNone)
        Blend(root, x, y, sx, sy, width, height);
    else if (depth_ != root->depth_)
        DrawThroughDC(root, x, y, sx, sy, width, height);
    else if (transparent_ != kNoColor)
        CopyRuns(root, x, y, sx, sy, width, height);
    else
        CopyPlain(root, x, y, sx, sy, width, height);
}

void Graphic::DrawTo(Graphic* target, int x, int y, const RECT& clip) {
    if (!valid_ || x >= clip.right || y >= clip.bottom) return;
    // In 64 bits: a clip may span the whole LONG range, whose differences do not fit an int.
    long long skipLeft = x < clip.left ? static_cast<long long>(clip.left) - x : 0;
    long long skipTop = y < clip.top ? static_cast<long long>(clip.top) - y : 0;
    long long startX = x + skipLeft, startY = y + skipTop;
    long long width = GetWidth() - skipLeft, height = GetHeight() - skipTop;
    if (width > clip.right - startX) width = clip.right - startX;
    if (height > clip.bottom - startY) height = clip.bottom - startY;
    if (width > 0 && height > 0)
        Draw(target, static_cast<int>(startX), static_cast<int>(startY), static_cast<int>(skipLeft),
             static_cast<int>(skipTop), static_cast<int>(width), static_cast<int>(height));
}

// ---- to device contexts ----

// Blits (sx, sy, sw, sh) of this root into the context, stretching when the sizes differ.
void Graphic::BlitToDC(HDC target, int x, int y, int width, int height, int sx, int sy, int sw, int sh) {
    PrepareTransparency();
    HDC source = GetDC();
    if (!source) return;
    bool stretch = width != sw || height != sh;
    int oldTargetMode = 0, oldSourceMode = 0;
    if (stretch) {
        oldTargetMode = SetStretchBltMode(target, COLORONCOLOR);
        oldSourceMode = SetStretchBltMode(source, COLORONCOLOR);
    }
    if (prepared_ == kNoColor) {
        if (stretch)
            StretchBlt(target, x, y, width, height, source, sx, sy, sw, sh, SRCCOPY);
        else
            BitBlt(target, x, y, width, height, source, sx, sy, SRCCOPY);
    } else {
        HDC maskDC = nullptr;
#ifndef UNICODE
        maskDC = maskBitmap_ ? CreateCompatibleDC(nullptr) : nullptr;
        if (maskDC) {
            HGDIOBJ old = SelectObject(maskDC, maskBitmap_);
            // Monochrome sources take the target's text (0) and background (1) colours.
            COLORREF oldText = SetTextColor(target, RGB(0, 0, 0));
            COLORREF oldBk = SetBkColor(target, RGB(255, 255, 255));
            // Target XOR image, then the mask clears the opaque pixels, then XOR image again: opaque
            // pixels end as the image, transparent ones as they were. ORing a blackened image over an
            // ANDed mask would need black among the image's colours, which a palettized image may lack,
            // and would change the image's own pixels while it is prepared.
            if (stretch) {
                StretchBlt(target, x, y, width, height, source, sx, sy, sw, sh, SRCINVERT);
                StretchBlt(target, x, y, width, height, maskDC, sx, sy, sw, sh, SRCAND);
                StretchBlt(target, x, y, width, height, source, sx, sy, sw, sh, SRCINVERT);
            } else {
                BitBlt(target, x, y, width, height, source, sx, sy, SRCINVERT);
                BitBlt(target, x, y, width, height, maskDC, sx, sy, SRCAND);
                BitBlt(target, x, y, width, height, source, sx, sy, SRCINVERT);
            }
            SetTextColor(target, oldText);
            SetBkColor(target, oldBk);
            SelectObject(maskDC, old);
            DeleteDC(maskDC);
        }
#endif
        // Without a mask (the game build, or no memory for the run table) GDI matches the colour itself.
        if (!maskDC) TransparentBlt(target, x, y, width, height, source, sx, sy, sw, sh, prepared_);
    }
    if (stretch) {
        SetStretchBltMode(target, oldTargetMode);
        SetStretchBltMode(source, oldSourceMode);
    }
    GdiFlush();
    ReleaseDC();
}

void Graphic::Draw(HDC target, int x, int y, int sx, int sy, int width, int height) {
    if (!valid_ || !target) return;
    if (child_) {
        if (ToParentSource(x, y, sx, sy, width, height)) parent_->Draw(target, x, y, sx, sy, width, height);
        return;
    }
    if (!bits_) return;
    if (width == kToEdge) width = width_ - sx;
    if (height == kToEdge) height = height_ - sy;
    if (sx < 0) x -= sx, width += sx, sx = 0;
    if (sy < 0) y -= sy, height += sy, sy = 0;
    if (width > width_ - sx) width = width_ - sx;
    if (height > height_ - sy) height = height_ - sy;
    if (width <= 0 || height <= 0) return;
    BlitToDC(target, x, y, width, height, sx, sy, width, height);
}

void Graphic::StretchTo(HDC target, int x, int y, int width, int height, int sx, int sy, int sw, int sh) {
    if (!valid_ || !target) return;
    if (child_) {
        if (!parent_) return;
        RECT r = rectInParent_;
        if (sw == kToEdge) sw = GetWidth() - sx;
        if (sh == kToEdge) sh = GetHeight() - sy;
        // A stretch reads whole source rectangles: one reaching outside the child is refused.
        if (sx < 0 || sy < 0 || sw > GetWidth() - sx || sh > GetHeight() - sy) return;
        parent_->StretchTo(target, x, y, width, height, sx + r.left, sy + r.top, sw, sh);
        return;
    }
    if (!bits_) return;
    if (sw == kToEdge) sw = width_ - sx;
    if (sh == kToEdge) sh = height_ - sy;
    if (width == sw && height == sh) {
        Draw(target, x, y, sx, sy, sw, sh);
        return;
    }
    if (sx < 0 || sy < 0 || sw <= 0 || sh <= 0 || sw > width_ - sx || sh > height_ - sy || width <= 0 ||
        height <= 0)
        return;
    BlitToDC(target, x, y, width, height, sx, sy, sw, sh);
}

void Graphic::StretchTo(Graphic* target, int x, int y, int width, int height, int sx, int sy, int sw,
                        int sh) {
    if (!valid_ || !target || !target->valid_) return;
    int offsetX = 0, offsetY = 0;
    for (Graphic* g = target; g->child_ && g->parent_; g = g->parent_) {
        offsetX += g->rectInParent_.left;
        offsetY += g->rectInParent_.top;
    }
    HDC dc = target->GetDC();
    if (!dc) return;
    // Keep the drawing inside a child target's rectangle.
    int saved = SaveDC(dc);
    IntersectClipRect(dc, offsetX, offsetY, offsetX + target->GetWidth(), offsetY + target->GetHeight());
    StretchTo(dc, x + offsetX, y + offsetY, width, height, sx, sy, sw, sh);
    RestoreDC(dc, saved);
    target->ReleaseDC();
}

// ---- tiling ----

namespace {

// Lays tiles over the area; `draw` receives each piece (target x, y, source x, y, width, height).
template <class DrawPiece>
void LayTiles(int x, int y, int width, int height, int tx, int ty, int tw, int th, int phaseX, int phaseY,
              DrawPiece draw) {
    // Phases are reduced to one tile: the pattern is the same and the loop never starts far away.
    phaseX %= tw;
    if (phaseX < 0) phaseX += tw;
    phaseY %= th;
    if (phaseY < 0) phaseY += th;
    long long right = static_cast<long long>(x) + width, bottom = static_cast<long long>(y) + height;
    for (long long top = static_cast<long long>(y) - phaseY; top < bottom; top += th) {
        long long dy = top < y ? y : top;
        long long h = (top + th < bottom ? top + th : bottom) - dy;
        for (long long left = static_cast<long long>(x) - phaseX; left < right; left += tw) {
            long long dx = left < x ? x : left;
            long long w = (left + tw < right ? left + tw : right) - dx;
            if (w > 0 && h > 0)
                draw(static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(tx + (dx - left)),
                     static_cast<int>(ty + (dy - top)), static_cast<int>(w), static_cast<int>(h));
        }
    }
}

// Cuts the tile rectangle to the source; false when nothing is left.
bool ClipTile(int sourceWidth, int sourceHeight, int& tx, int& ty, int& tw, int& th) {
    if (tw == kToEdge) tw = sourceWidth - tx;
    if (th == kToEdge) th = sourceHeight - ty;
    if (tx < 0) tw += tx, tx = 0;
    if (ty < 0) th += ty, ty = 0;
    if (tw > sourceWidth - tx) tw = sourceWidth - tx;
    if (th > sourceHeight - ty) th = sourceHeight - ty;
    return tw > 0 && th > 0;
}

} // namespace

void Graphic::TileTo(Graphic* target, int x, int y, int width, int height, int tx, int ty, int tw, int th,
                     int phaseX, int phaseY) {
    if (!valid_ || !target || !target->valid_) return;
    if (width == kToEdge) width = target->GetWidth() - x;
    if (height == kToEdge) height = target->GetHeight() - y;
    if (width <= 0 || height <= 0 || !ClipTile(GetWidth(), GetHeight(), tx, ty, tw, th)) return;
    LayTiles(x, y, width, height, tx, ty, tw, th, phaseX, phaseY,
             [&](int dx, int dy, int sx, int sy, int w, int h) { Draw(target, dx, dy, sx, sy, w, h); });
}

void Graphic::TileTo(HDC target, int x, int y, int width, int height, int tx, int ty, int tw, int th,
                     int phaseX, int phaseY) {
    if (!valid_ || !target) return;
    if (width == kToEdge || height == kToEdge) {
        // The edge of a context is the edge of the bitmap selected into it.
        BITMAP info;
        HGDIOBJ bitmap = GetCurrentObject(target, OBJ_BITMAP);
        if (!bitmap || !GetObject(bitmap, sizeof info, &info)) return;
        if (width == kToEdge) width = info.bmWidth - x;
        if (height == kToEdge) height = info.bmHeight - y;
    }
    if (width <= 0 || height <= 0 || !ClipTile(GetWidth(), GetHeight(), tx, ty, tw, th)) return;
    LayTiles(x, y, width, height, tx, ty, tw, th, phaseX, phaseY,
             [&](int dx, int dy, int sx, int sy, int w, int h) { Draw(target, dx, dy, sx, sy, w, h); });
}
