#include "skin_art.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <stdexcept>

namespace {

const Color kLane{20, 28, 52};
const Color kPanel{34, 52, 96};
const Color kField{10, 14, 30};
const Color kDeep{14, 20, 40};
const Color kOutline{6, 8, 18};
const Color kGold{255, 206, 64};
const Color kGoldDark{196, 132, 16};
const Color kSky{100, 146, 220};
const Color kBlueFace{56, 88, 160};
const Color kPale{214, 228, 255};
const Color kWhite{255, 255, 255};
const Color kGrey{92, 100, 122};
const Color kPieces[4] = {{236, 124, 24}, {244, 212, 52}, {40, 124, 226}, {200, 84, 186}};

// The four states of a pressable picture, row by row.
enum State { kDisabled = 0, kEnabled = 1, kHot = 2, kPressed = 3 };

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

// Outward normal of a shape by central differences, for lighting a bevel from the top left.
float Light(const Sdf& shape, float x, float y) {
    const float dx = shape(x + 0.5f, y) - shape(x - 0.5f, y), dy = shape(x, y + 0.5f) - shape(x, y - 0.5f);
    const float len = std::hypot(dx, dy);
    if (len < 1e-4f) return 0;
    return (-dx - dy) / (len * 1.4142f); // +1 facing the top left, -1 facing the bottom right
}

// The frame rim as a function of the depth inside the outer edge, lit by the edge's direction. Along a
// straight edge it depends on the depth alone, so edge pieces tile without seams.
Color RimColour(float depth, float light, float ring) {
    const float scale = ring / 20.0f;
    if (depth < 1.3f) return kOutline;
    if (depth < 3.2f * scale) return Shade(kPanel, light * 0.45f);
    if (depth < 12.5f * scale)
        return Shade(Mix(kPanel, kLane, (depth - 3.2f * scale) / (9.3f * scale)), light * 0.12f);
    if (depth < 13.8f * scale) return kField;
    if (depth < 16.2f * scale) return Mix(kGold, kGoldDark, Clamp01(0.5f - light * 0.6f));
    if (depth < 17.6f * scale) return kOutline;
    return kDeep;
}

// A whole framed window with a rim `ring` wide and round corners; the inside past the rim is `inside`.
Canvas FramedWindow(int width, int height, float radius, float ring, Color inside,
                    const Sdf& extraShape = nullptr) {
    Canvas c(width, height, kOutline, 0.0f);
    const float w = float(width), h = float(height);
    Sdf outer = [=](float x, float y) { return SdfRoundBox(x, y, w / 2, h / 2, w / 2, h / 2, radius); };
    if (extraShape) {
        Sdf base = outer;
        outer = [base, extraShape](float x, float y) { return std::min(base(x, y), extraShape(x, y)); };
    }
    c.Fill(outer, [&](float x, float y) {
        const float depth = -outer(x, y);
        if (depth >= ring) return inside;
        return RimColour(depth, Light(outer, x, y), ring);
    });
    return c;
}

Canvas Crop(const Canvas& source, int x, int y, int width, int height) {
    Canvas c(width, height, kOutline, 0.0f);
    for (int yy = 0; yy < height; ++yy)
        for (int xx = 0; xx < width; ++xx)
            c.Set(xx, yy, source.At(x + xx, y + yy), source.AlphaAt(x + xx, y + yy));
    return c;
}

Canvas Background() {
    Canvas c(64, 64, kLane);
    // Faint diagonal weave with a period that divides the tile, so tiling shows no seam.
    c.Fill(
        [](float x, float y) {
            const float u = std::fmod(x + y, 16.0f);
            return std::fabs(u - 8.0f) - 1.2f;
        },
        Color{24, 34, 63});
    c.Fill(
        [](float x, float y) {
            const float u = std::fmod(x - y + 64.0f, 32.0f);
            return std::fabs(u - 16.0f) - 0.6f;
        },
        Color{17, 24, 45});
    return c;
}

// A face of a pressable control: colours by state.
struct Face {
    Color top, bottom, rim;
    float gloss;
};

Face ButtonFace(State state, Color base) {
    switch (state) {
    case kDisabled:
        return {Color{78, 86, 106}, Color{50, 56, 72}, Color{40, 44, 58}, 0.08f};
    case kEnabled:
        return {Shade(base, 0.32f), Shade(base, -0.38f), kOutline, 0.22f};
    case kHot:
        return {Shade(base, 0.5f), Shade(base, -0.2f), kGold, 0.3f};
    default:
        return {Shade(base, -0.45f), Shade(base, -0.05f), kGoldDark, 0.05f};
    }
}

// A pill-shaped button across `cells` cells of cellW x cellH for one state, at (ox, oy) in `c`. The
// middle is straight, so the middle cell tiles; `leftIcon` draws into the left cell.
void DrawPill(Canvas& c, int ox, int oy, int width, int height, State state, Color base,
              const std::function<void(Canvas&, float cx, float cy, State)>& leftIcon, float iconX) {
    const float w = float(width), h = float(height), r = h / 2 - 2.5f;
    const float shift = state == kPressed ? 1.0f : 0.0f;
    const Face face = ButtonFace(state, base);
    auto box = [=](float inset) {
        return [=](float x, float y) {
            return SdfRoundBox(x, y, ox + w / 2, oy + h / 2, w / 2 - 1.5f - inset, h / 2 - 2.5f - inset,
                               std::max(r - inset, 1.0f));
        };
    };
    // Drop shadow under a raised button.
    if (state != kPressed) c.Fill([=](float x, float y) { return box(0)(x, y - 1.5f); }, kOutline, 0.55f);
    c.Fill(box(0), state == kHot || state == kPressed ? face.rim : kOutline);
    c.Fill(box(1.2f),
           [=](float, float y) { return Mix(face.top, face.bottom, Clamp01((y - oy - 3) / (h - 6))); });
    // Gloss on the upper half.
    c.Fill([=](float x, float y) { return std::max(box(2.4f)(x, y), y - (oy + h * 0.45f + shift)); }, kWhite,
           face.gloss);
    if (leftIcon) leftIcon(c, ox + iconX, oy + h / 2 + shift, state);
}

void Gem(Canvas& c, float cx, float cy, State state) {
    const Color tone = state == kDisabled ? Color{130, 136, 150} : kGold;
    const float s = 4.6f;
    auto diamond = [=](float dx, float dy, float k) {
        return [=](float x, float y) {
            return SdfPolygon(x, y,
                              {cx + dx, cy + dy - s * k, cx + dx + s * k, cy + dy, cx + dx, cy + dy + s * k,
                               cx + dx - s * k, cy + dy});
        };
    };
    c.Fill(diamond(0.4f, 0.9f, 1.05f), kOutline, 0.7f);
    c.Fill(diamond(0, 0, 1.0f), [=](float, float y) {
        return Mix(Shade(tone, 0.55f), Shade(tone, -0.35f), Clamp01((y - cy + s) / (2 * s)));
    });
    c.Fill(diamond(-1.1f, -1.1f, 0.35f), kWhite, state == kDisabled ? 0.3f : 0.75f);
}

Canvas PushButtons(int cellW, int cellH, Color base,
                   const std::function<void(Canvas&, float, float, State)>& icon, float iconX) {
    Canvas c(cellW * 3, cellH * 4, kOutline, 0.0f);
    for (int row = 0; row < 4; ++row)
        DrawPill(c, 0, row * cellH, cellW * 3, cellH, State(row), base, icon, iconX);
    return c;
}

// Round close and minimise boxes: normal, hot, pressed.
Canvas CaptionBox(bool close) {
    Canvas c(20, 60, kOutline, 0.0f);
    for (int k = 0; k < 3; ++k) {
        const float cx = 10, cy = 30 * 0 + 20 * k + 10 + (k == 2 ? 0.5f : 0);
        const Color face = k == 0 ? kPanel : close ? Color{226, 96, 40} : kSky;
        const Color top = k == 2 ? Shade(face, -0.35f) : Shade(face, 0.3f),
                    bottom = k == 2 ? face : Shade(face, -0.35f);
        c.Fill([=](float x, float y) { return SdfCircle(x, y, cx, cy, 7.4f); }, k == 0 ? kOutline : kGold);
        c.Fill([=](float x, float y) { return SdfCircle(x, y, cx, cy, 6.3f); },
               [=](float, float y) { return Mix(top, bottom, Clamp01((y - cy + 6) / 12)); });
        const Color mark = k == 0 ? kPale : kWhite;
        if (close) {
            c.Fill(
                [=](float x, float y) {
                    return std::min(SdfSegment(x, y, cx - 2.8f, cy - 2.8f, cx + 2.8f, cy + 2.8f, 1.1f),
                                    SdfSegment(x, y, cx - 2.8f, cy + 2.8f, cx + 2.8f, cy - 2.8f, 1.1f));
                },
                mark);
        } else {
            c.Fill([=](float x, float y) { return SdfRoundBox(x, y, cx, cy + 1.5f, 3.4f, 1.1f, 0.8f); },
                   mark);
        }
    }
    return c;
}

// Radio buttons (round) and check boxes (square): column 0 clear, column 1 checked; rows by state.
Canvas Toggles(bool round) {
    Canvas c(32, 64, kOutline, 0.0f);
    for (int row = 0; row < 4; ++row)
        for (int checked = 0; checked < 2; ++checked) {
            const float cx = 16 * checked + 8, cy = 16 * row + 8;
            auto shape = [=](float inset) {
                return [=](float x, float y) {
                    return round ? SdfCircle(x, y, cx, cy, 7.0f - inset)
                                 : SdfRoundBox(x, y, cx, cy, 6.8f - inset, 6.8f - inset, 2.6f - inset * 0.5f);
                };
            };
            const Color rim = row == kDisabled  ? kGrey
                              : row == kEnabled ? kSky
                              : row == kHot     ? Color{196, 222, 255}
                                                : kGold;
            c.Fill(shape(0), kOutline);
            c.Fill(shape(1.0f), rim);
            c.Fill(shape(2.2f), [=](float, float y) {
                const Color well = row == kPressed ? Color{24, 34, 66} : kField;
                return Mix(Shade(well, -0.3f), Shade(well, 0.15f), Clamp01((y - cy + 5) / 10));
            });
            if (!checked) continue;
            const Color mark = row == kDisabled ? Color{140, 146, 160} : kGold;
            if (round) {
                c.Fill([=](float x, float y) { return SdfCircle(x, y, cx, cy, 3.2f); },
                       [=](float, float y) {
                           return Mix(Shade(mark, 0.5f), Shade(mark, -0.25f), Clamp01((y - cy + 3) / 6));
                       });
                c.Fill([=](float x, float y) { return SdfCircle(x, y, cx - 1.0f, cy - 1.1f, 1.0f); }, kWhite,
                       0.7f);
            } else {
                c.Fill(
                    [=](float x, float y) {
                        return std::min(SdfSegment(x, y, cx - 3.2f, cy + 0.2f, cx - 0.8f, cy + 2.7f, 1.2f),
                                        SdfSegment(x, y, cx - 0.8f, cy + 2.7f, cx + 3.6f, cy - 3.0f, 1.2f));
                    },
                    mark);
            }
        }
    return c;
}

// Progress bar: left end, empty middle, filled middle (a gold segment), right end.
Canvas ProgressBar() {
    Canvas c(40, 18, kOutline, 0.0f);
    const float h = 18;
    // The groove as one long pill: the end cells are its two ends, the middle cells its straight part.
    Canvas groove(60, 18, kOutline, 0.0f);
    auto pill = [=](float inset) {
        return [=](float x, float y) {
            return SdfRoundBox(x, y, 30, h / 2, 29.5f - inset, h / 2 - 0.5f - inset, 8.5f - inset);
        };
    };
    groove.Fill(pill(0), kOutline);
    groove.Fill(pill(1.0f), [=](float, float y) {
        return Mix(Color{6, 9, 20}, Color{28, 40, 76}, Clamp01((y - 2) / 14));
    });
    c.Put(Crop(groove, 0, 0, 10, 18), 0, 0);
    c.Put(Crop(groove, 25, 0, 10, 18), 10, 0);
    c.Put(Crop(groove, 25, 0, 10, 18), 20, 0);
    c.Put(Crop(groove, 50, 0, 10, 18), 30, 0);
    // The filled cell: a gold block inside the groove with a gap on its right, so the fill reads as steps.
    c.Fill([=](float x, float y) { return SdfRoundBox(x, y, 24.5f, h / 2, 3.5f, h / 2 - 3.5f, 1.2f); },
           [=](float, float y) {
               return Mix(Color{255, 240, 170}, Color{226, 142, 20}, Clamp01((y - 3.5f) / 11));
           });
    return c;
}

// A nine-cell panel: rounded rim and an even middle; cellW x cellH cells.
Canvas NineSlice(int cellW, int cellH, Color fillTop, Color fillBottom, Color rim, bool inset) {
    const int w = cellW * 3, h = cellH * 3;
    Canvas c(w, h, kOutline, 0.0f);
    auto box = [=](float d) {
        return [=](float x, float y) {
            return SdfRoundBox(x, y, w / 2.0f, h / 2.0f, w / 2.0f - d, h / 2.0f - d,
                               std::max(5.0f - d, 1.0f));
        };
    };
    c.Fill(box(0), kOutline);
    c.Fill(box(1.0f), rim);
    // The middle row must be even top to bottom and the middle column side to side, so the shading
    // lives in the border cells only.
    c.Fill(box(2.0f), [=](float, float y) {
        if (y < cellH) return inset ? fillTop : fillBottom;
        if (y >= 2 * cellH) return inset ? fillBottom : fillTop;
        return Mix(fillTop, fillBottom, 0.5f);
    });
    if (inset) c.Fill([=](float x, float y) { return std::max(box(2.0f)(x, y), y - 3.0f); }, kOutline, 0.6f);
    return c;
}

// Scroll bars: columns first arrow, track, thumb, second arrow; rows by state. Drawn vertical; the
// horizontal one is the same picture with every cell mirrored over its diagonal.
Canvas VerticalScroll() {
    Canvas c(64, 64, kOutline, 0.0f);
    for (int row = 0; row < 4; ++row) {
        const State state = State(row);
        const float y0 = 16.0f * row;
        for (int column = 0; column < 4; ++column) {
            const float cx = 16.0f * column + 8, cy = y0 + 8;
            if (column == 1) {
                // The track: a groove the whole cell high, transparent at the sides, drawn pixel by pixel
                // so that no shape's edge reaches into the next row's cell.
                const Color groove = state == kPressed ? Color{24, 34, 66}
                                     : state == kHot   ? Color{18, 26, 50}
                                                       : kField;
                for (int y = int(y0); y < int(y0) + 16; ++y)
                    for (int x = 16 * column + 3; x < 16 * column + 13; ++x)
                        c.Set(x, y, x == 16 * column + 3 || x == 16 * column + 12 ? kOutline : groove);
                continue;
            }
            const Face face = ButtonFace(state, kBlueFace);
            auto body = [=](float inset) {
                return [=](float x, float y) {
                    return column == 2
                               ? SdfRoundBox(x, y, cx, cy, 6.5f - inset, 7.5f - inset, 4.0f - inset * 0.5f)
                               : SdfCircle(x, y, cx, cy, 7.0f - inset);
                };
            };
            c.Fill(body(0), state == kHot || state == kPressed ? face.rim : kOutline);
            c.Fill(body(1.1f),
                   [=](float, float y) { return Mix(face.top, face.bottom, Clamp01((y - y0 - 2) / 12)); });
            const Color mark = state == kDisabled ? Color{130, 136, 150} : kPale;
            const float s = state == kPressed ? 0.6f : 0.0f;
            if (column == 2) {
                for (int k = -1; k <= 1; ++k)
                    c.Fill([=](float x,
                               float y) { return SdfRoundBox(x, y, cx, cy + 3.0f * k, 3.2f, 0.6f, 0.5f); },
                           mark, 0.8f);
            } else {
                const float dir = column == 0 ? -1.0f : 1.0f;
                c.Fill(
                    [=](float x, float y) {
                        return SdfPolygon(x, y,
                                          {cx, cy + s + 3.2f * dir, cx + 3.8f, cy + s - 2.0f * dir, cx - 3.8f,
                                           cy + s - 2.0f * dir});
                    },
                    mark);
            }
        }
    }
    return c;
}

// Each square cell mirrored over its own diagonal, the grid kept: a vertical bar's arrows, track and thumb
// become a horizontal bar's, still one part per column and one state per row.
Canvas TransposeCells(const Canvas& source, int cell) {
    Canvas c(source.Width(), source.Height(), kOutline, 0.0f);
    for (int y = 0; y < source.Height(); ++y)
        for (int x = 0; x < source.Width(); ++x) {
            const int x0 = x - x % cell, y0 = y - y % cell;
            c.Set(x0 + (y - y0), y0 + (x - x0), source.At(x, y), source.AlphaAt(x, y));
        }
    return c;
}

// List items: column 0 not selected, column 1 selected; rows by state. A plain item draws nothing.
Canvas ListItems() {
    Canvas c(32, 72, kOutline, 0.0f);
    for (int row = 0; row < 4; ++row)
        for (int selected = 0; selected < 2; ++selected) {
            const int x0 = 16 * selected, y0 = 18 * row;
            Color top, bottom;
            if (selected) {
                const Color base = row == kDisabled  ? Color{70, 76, 96}
                                   : row == kHot     ? kSky
                                   : row == kPressed ? kPanel
                                                     : kBlueFace;
                top = Shade(base, 0.2f), bottom = Shade(base, -0.3f);
            } else if (row == kHot || row == kPressed) {
                top = row == kHot ? Color{30, 44, 82} : Color{38, 58, 108}, bottom = Shade(top, -0.25f);
            } else {
                continue;
            }
            for (int y = 1; y < 17; ++y)
                for (int x = 0; x < 16; ++x) c.Set(x0 + x, y0 + y, Mix(top, bottom, (y - 1) / 15.0f));
            if (selected)
                for (int x = 0; x < 16; ++x) c.Set(x0 + x, y0 + 16, row == kDisabled ? kGrey : kGold);
        }
    return c;
}

Canvas MessageIcon(bool alert) {
    Canvas c(32, 32, kOutline, 0.0f);
    const Color base = alert ? Color{226, 96, 40} : kPieces[2];
    Sdf shape = alert ? Sdf([](float x, float y) {
        return SdfPolygon(x, y, {16, 3, 30, 28, 2, 28}) - 1.5f;
    })
                      : Sdf([](float x, float y) { return SdfCircle(x, y, 16, 16, 14); });
    c.Fill([=](float x, float y) { return shape(x - 0.5f, y - 1.5f); }, kOutline, 0.6f);
    c.Fill(shape, kOutline);
    c.Fill(
        [=](float x, float y) { return shape(x, y) + 1.3f; },
        [=](float, float y) { return Mix(Shade(base, 0.45f), Shade(base, -0.35f), Clamp01((y - 3) / 26)); });
    c.Fill([=](float x, float y) { return std::max(shape(x, y) + 3.0f, y - 13.0f); }, kWhite, 0.22f);
    const Color mark = kWhite;
    if (alert) {
        c.Fill([](float x, float y) { return SdfSegment(x, y, 16, 11, 16, 19.5f, 1.9f); }, mark);
        c.Fill([](float x, float y) { return SdfCircle(x, y, 16, 24, 1.9f); }, mark);
    } else {
        c.Fill([](float x, float y) { return SdfCircle(x, y, 16, 9.5f, 2.1f); }, mark);
        c.Fill([](float x, float y) { return SdfSegment(x, y, 16, 14.5f, 16, 23, 2.0f); }, mark);
        c.Fill([](float x, float y) { return SdfSegment(x, y, 13.5f, 23.5f, 18.5f, 23.5f, 1.2f); }, mark);
    }
    return c;
}

// A small plain piece (rounded tile with its mark) for emblems and icons.
void Piece(Canvas& c, int colour, float x, float y, float size) {
    const Color base = kPieces[colour];
    const float cx = x + size / 2, cy = y + size / 2, r = std::max(size * 0.2f, 1.0f);
    c.Fill([=](float px, float py) { return SdfRoundBox(px, py, cx, cy, size / 2, size / 2, r); },
           Shade(base, -0.6f));
    c.Fill(
        [=](float px, float py) {
            return SdfRoundBox(px, py, cx, cy, size / 2 - 1, size / 2 - 1, std::max(r - 1, 0.5f));
        },
        [=](float, float py) {
            return Mix(Shade(base, 0.35f), Shade(base, -0.3f), Clamp01((py - y) / size));
        });
    if (size < 10) return;
    const float m = size * 0.2f;
    const Color mark = Shade(base, 0.65f);
    switch (colour) {
    case 0:
        c.Fill([=](float px, float py) { return SdfCircle(px, py, cx, cy, m); }, mark);
        break;
    case 1:
        c.Fill(
            [=](float px, float py) {
                return SdfPolygon(
                    px, py, {cx, cy - m * 1.3f, cx + m * 1.1f, cy, cx, cy + m * 1.3f, cx - m * 1.1f, cy});
            },
            mark);
        break;
    case 2:
        c.Fill([=](float px, float py) { return SdfRoundBox(px, py, cx, cy, m * 0.9f, m * 0.9f, 0.8f); },
               mark);
        break;
    default:
        c.Fill(
            [=](float px, float py) {
                return SdfPolygon(
                    px, py, {cx, cy - m * 1.15f, cx + m * 1.2f, cy + m * 0.9f, cx - m * 1.2f, cy + m * 0.9f});
            },
            mark);
    }
}

void InstallIcon(Canvas& c, float cx, float cy, State state) {
    const Color mark = state == kDisabled ? Color{150, 154, 164} : kWhite;
    c.Fill([=](float x, float y) { return SdfSegment(x, y, cx, cy - 8, cx, cy + 1, 1.6f); }, kOutline, 0.5f);
    c.Fill(
        [=](float x, float y) {
            return std::min(SdfSegment(x, y, cx, cy - 8.5f, cx, cy + 0.5f, 1.5f),
                            SdfPolygon(x, y, {cx - 5, cy - 1, cx + 5, cy - 1, cx, cy + 4.5f}));
        },
        mark);
    c.Fill(
        [=](float x, float y) {
            return std::min(SdfSegment(x, y, cx - 7, cy + 3, cx - 7, cy + 7, 1.1f),
                            std::min(SdfSegment(x, y, cx - 7, cy + 7, cx + 7, cy + 7, 1.1f),
                                     SdfSegment(x, y, cx + 7, cy + 7, cx + 7, cy + 3, 1.1f)));
        },
        mark);
}

void RescanIcon(Canvas& c, float cx, float cy, State state) {
    const Color mark = state == kDisabled ? Color{150, 154, 164} : kWhite;
    const float r = 6.0f;
    // A ring broken at the top right and the bottom left, each half ending in an arrow head: clockwise.
    c.Fill(
        [=](float x, float y) {
            const float ring = std::fabs(SdfCircle(x, y, cx, cy, r)) - 1.4f;
            return std::max(ring, 2.4f - std::fabs((x - cx) + (y - cy)) / 1.4142f);
        },
        mark);
    for (int k = 0; k < 2; ++k) {
        // The end of the arc just before its gap, and the clockwise tangent there.
        const float angle = -0.785f - 0.42f + (k == 0 ? 0.0f : 3.1416f);
        const float px = cx + r * std::cos(angle), py = cy + r * std::sin(angle);
        const float tx = -std::sin(angle), ty = std::cos(angle);
        c.Fill(
            [=](float x, float y) {
                return SdfPolygon(x, y,
                                  {px + tx * 4.0f, py + ty * 4.0f, px - ty * 3.6f, py + tx * 3.6f,
                                   px + ty * 3.6f, py - tx * 3.6f});
            },
            mark);
    }
}

Canvas SetupFrame() {
    using L = SetupFrameLayout;
    const float w = L::kWidth, h = L::kHeight;
    // The top-right corner is squared off: the close box sits there, inside the window's shape.
    Sdf closeTab = [=](float x, float y) { return SdfRoundBox(x, y, w - 18, 18, 18, 18, 3); };
    Canvas c = FramedWindow(L::kWidth, L::kHeight, 22, L::kRing, kLane, closeTab);
    const Canvas ground = Background();
    const int ring = L::kRing;
    auto inside = [&](int x, int y) {
        return c.AlphaAt(x, y) > 0.99f && x >= ring + 2 && y >= ring + 2 && x < w - ring - 2 &&
               y < h - ring - 2;
    };
    for (int y = 0; y < L::kHeight; ++y)
        for (int x = 0; x < L::kWidth; ++x) {
            if (!(c.At(x, y).r == kLane.r && c.At(x, y).g == kLane.g && c.At(x, y).b == kLane.b) ||
                !inside(x, y))
                continue;
            Color colour = ground.At(x % 64, y % 64);
            if (y < L::kTitleStripBottom)
                colour = Mix(Color{44, 68, 128}, Color{12, 18, 40},
                             Clamp01((y - ring) / float(L::kTitleStripBottom - ring)));
            else if (y >= L::kButtonBandTop)
                colour = Mix(Color{12, 18, 40}, Color{34, 52, 96}, Clamp01((y - L::kButtonBandTop) / 48.0f));
            c.Set(x, y, colour);
        }
    // Gold rules under the title strip and over the button band.
    for (int x = ring; x < L::kWidth - ring; ++x) {
        if (!inside(x, L::kTitleStripBottom)) continue;
        c.Set(x, L::kTitleStripBottom - 2, kGoldDark);
        c.Set(x, L::kTitleStripBottom - 1, kGold);
        c.Set(x, L::kTitleStripBottom, kOutline);
        c.Set(x, L::kButtonBandTop - 1, kOutline);
        c.Set(x, L::kButtonBandTop, kGold);
        c.Set(x, L::kButtonBandTop + 1, kGoldDark);
    }
    // The page field: a slightly sunken panel for the wizard's pages.
    const float px0 = L::kPageLeft, py0 = L::kPageTop, px1 = L::kPageRight, py1 = L::kPageBottom;
    auto field = [=](float inset) {
        return [=](float x, float y) {
            return SdfRoundBox(x, y, (px0 + px1) / 2, (py0 + py1) / 2, (px1 - px0) / 2 - inset,
                               (py1 - py0) / 2 - inset, 10 - inset);
        };
    };
    c.Fill(field(0), Color{44, 68, 128});
    c.Fill(field(1), kOutline);
    c.Fill(field(2), [=](float, float y) {
        return Mix(Color{12, 17, 36}, Color{18, 26, 50}, Clamp01((y - py0) / (py1 - py0)));
    });
    c.Fill([=](float x, float y) { return std::max(field(2)(x, y), y - py0 - 5); }, kOutline, 0.5f);
    // The emblem: the four pieces right of the title, clear of the close box.
    for (int k = 0; k < 4; ++k) Piece(c, k, 352 + 24 * k, 28, 20);
    return c;
}

} // namespace

Canvas DrawSkinPicture(const SkinPictureSpec& entry) {
    const std::string name = entry.name;
    if (entry.id == 501) return SetupFrame();
    if (entry.id == 502) return PushButtons(32, 36, Color{226, 110, 24}, InstallIcon, 15);
    if (entry.id == 503) return PushButtons(32, 36, kBlueFace, RescanIcon, 15);
    if (name == "frame-c") return FramedWindow(40, 40, 14, 20, kDeep);
    if (name == "frame-lr") return Crop(FramedWindow(40, 200, 14, 20, kDeep), 0, 68, 40, 64);
    if (name == "frame-tb") return Crop(FramedWindow(200, 40, 14, 20, kDeep), 68, 0, 64, 40);
    if (name == "background") return Background();
    if (name == "frame-x") return CaptionBox(true);
    if (name == "frame-min") return CaptionBox(false);
    if (name == "pbutton") return PushButtons(28, 30, kBlueFace, Gem, 13);
    if (name == "rbutton") return Toggles(true);
    if (name == "cbutton") return Toggles(false);
    if (name == "pbar") return ProgressBar();
    if (name == "text")
        return NineSlice(8, 8, Color{22, 31, 58}, Color{18, 26, 48}, Color{30, 44, 82}, false);
    if (name == "vscroll") return VerticalScroll();
    if (name == "hscroll") return TransposeCells(VerticalScroll(), 16);
    if (name == "edit") return NineSlice(8, 8, kField, Color{16, 22, 42}, Color{100, 146, 220}, true);
    if (name == "cursor") {
        Canvas c(2, 16, kGold);
        for (int y = 0; y < 16; ++y) c.Set(1, y, kGoldDark);
        return c;
    }
    if (name == "list") return NineSlice(8, 13, kField, Color{14, 20, 38}, Color{44, 68, 128}, true);
    if (name == "listitem") return ListItems();
    if (name == "icon-alert") return MessageIcon(true);
    if (name == "icon-info") return MessageIcon(false);
    throw std::runtime_error("no drawing for the picture \"" + name + "\"");
}

PspImage ToKeyedPsp(const Canvas& canvas, const std::string& layerName, Color edge) {
    PspImage image;
    image.width = static_cast<uint32_t>(canvas.Width());
    image.height = static_cast<uint32_t>(canvas.Height());
    image.bits = 24;
    PspLayer layer;
    layer.name = layerName;
    layer.pixels.reserve(static_cast<size_t>(canvas.Width()) * canvas.Height() * 3);
    for (int y = 0; y < canvas.Height(); ++y)
        for (int x = 0; x < canvas.Width(); ++x) {
            const float alpha = canvas.AlphaAt(x, y);
            uint8_t r = 0, g = 0, b = 255;
            if (alpha >= 0.5f) {
                const Color c = Mix(edge, canvas.At(x, y), alpha);
                r = static_cast<uint8_t>(std::lround(std::clamp(c.r, 0.0f, 255.0f)));
                g = static_cast<uint8_t>(std::lround(std::clamp(c.g, 0.0f, 255.0f)));
                b = static_cast<uint8_t>(std::lround(std::clamp(c.b, 0.0f, 255.0f)));
                if (r == 0 && g == 0 && b == 255) b = 254;
            }
            layer.pixels.insert(layer.pixels.end(), {r, g, b});
        }
    image.layers.push_back(std::move(layer));
    return image;
}

Canvas DrawIcon(const std::string& which, int size) {
    Canvas c(size, size, kOutline, 0.0f);
    const float s = float(size);
    if (which == "game") {
        const float gap = size >= 32 ? 2 : 1, tile = (s - gap) / 2;
        for (int k = 0; k < 4; ++k) Piece(c, k, (k % 2) * (tile + gap), (k / 2) * (tile + gap), tile);
        return c;
    }
    if (which != "setup") throw std::runtime_error("no icon \"" + which + "\"");
    // A night-blue box with a gold rim, a piece dropping into it.
    const float r = s * 0.16f;
    auto box = [=](float inset) {
        return [=](float x, float y) {
            return SdfRoundBox(x, y, s / 2, s * 0.62f, s / 2 - 0.5f - inset, s * 0.37f - inset, r);
        };
    };
    c.Fill(box(0), kOutline);
    c.Fill(box(s / 32), kGold);
    c.Fill(box(s / 16 + 0.5f),
           [=](float, float y) { return Mix(kPanel, kField, Clamp01((y - s * 0.3f) / (s * 0.7f))); });
    const float tile = s * 0.44f;
    Piece(c, 0, (s - tile) / 2, s * 0.04f, tile);
    c.Fill(
        [=](float x, float y) {
            return SdfPolygon(x, y, {s * 0.5f, s * 0.9f, s * 0.66f, s * 0.66f, s * 0.34f, s * 0.66f});
        },
        kGold);
    return c;
}
