#include "game_art.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "picture_table.h"

const Color kLaneColour{20, 28, 52};
const Color kGrooveColour{14, 20, 40};
const Color kPanelColour{34, 52, 96};
const Color kFieldColour{10, 14, 30};

namespace {

constexpr float kPi = 3.14159265f;
const Color kWhite{255, 255, 255};
const Color kGold{255, 206, 64};
const Color kPale{214, 228, 255};
const Color kOutline{6, 8, 18};
const Color kPieceBase[4] = {{236, 124, 24}, {244, 212, 52}, {40, 124, 226}, {200, 84, 186}};

const std::string& Label(const std::map<std::string, std::string>& labels, const std::string& key) {
    auto it = labels.find(key);
    if (it == labels.end()) throw std::runtime_error("the label \"" + key + "\" is missing");
    return it->second;
}

float Smooth(float t) { return t * t * (3 - 2 * t); }

// ---- pieces ----

Canvas PieceBackdrop() {
    Canvas tile(24, 24, kLaneColour);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) tile.Set(x, y, LaneAt(x));
    return tile;
}

// The mark that tells the colours apart without hue: circle, diamond, square, triangle.
float MarkSdf(int colour, float x, float y, float cx, float cy, float size) {
    switch (colour & 3) {
    case 0:
        return SdfCircle(x, y, cx, cy, size * 0.9f);
    case 1:
        return SdfPolygon(
            x, y, {cx, cy - size * 1.25f, cx + size * 1.1f, cy, cx, cy + size * 1.25f, cx - size * 1.1f, cy});
    case 2:
        return SdfRoundBox(x, y, cx, cy, size * 0.85f, size * 0.85f, 1.0f);
    default:
        return SdfPolygon(x, y,
                          {cx, cy - size * 1.15f, cx + size * 1.15f, cy + size * 0.85f, cx - size * 1.15f,
                           cy + size * 0.85f});
    }
}

void DrawMark(Canvas& c, int colour, float cx, float cy, float size, Color tone, float opacity = 1) {
    c.Fill([=](float x, float y) { return MarkSdf(colour, x, y, cx + 0.6f, cy + 0.8f, size); },
           Scale(tone, 0.35f), 0.6f * opacity);
    c.Fill([=](float x, float y) { return MarkSdf(colour, x, y, cx, cy, size); }, Shade(tone, 0.6f), opacity);
}

// A rounded gem of the colour, scaled around the cell's centre; glint is the position of a light band
// travelling across it (negative for none).
void DrawBody(Canvas& c, Color base, float scale, float glint) {
    const float half = 10.5f * scale, radius = 4.5f * scale;
    if (half <= 0.2f) return;
    auto body = [=](float x, float y) { return SdfRoundBox(x, y, 12, 12, half, half, radius); };
    c.Fill(body, Shade(base, -0.55f));
    auto inner = [=](float x, float y) {
        return SdfRoundBox(x, y, 12, 12, half - 1.2f, half - 1.2f, radius);
    };
    c.Fill(inner, [=](float, float y) {
        const float t = std::clamp((y - (12 - half)) / (2 * half), 0.0f, 1.0f);
        return t < 0.5f ? Mix(Shade(base, 0.35f), base, t * 2)
                        : Mix(base, Shade(base, -0.3f), (t - 0.5f) * 2);
    });
    // A soft top highlight.
    c.Fill(
        [=](float x, float y) {
            return SdfRoundBox(x, y, 12, 12 - half * 0.55f, half * 0.7f, half * 0.28f, 3 * scale);
        },
        Shade(base, 0.55f), 0.45f);
    if (glint >= 0) {
        c.Fill([=](float x,
                   float y) { return std::max(std::fabs((x + y) - glint) / 1.41f - 1.6f, inner(x, y)); },
               kWhite, 0.65f);
    }
}

Canvas PlainTile(int colour, int phase) {
    Canvas tile = PieceBackdrop();
    const float glint = phase == 0 ? -1.0f : -6.0f + phase * 7.5f;
    DrawBody(tile, kPieceBase[colour], 1.0f, glint);
    DrawMark(tile, colour, 12, 12, 4.2f, kPieceBase[colour]);
    return tile;
}

// A curved arrow around the centre from angle a0 to a1 (radians), with its head at a1.
void DrawArcArrow(Canvas& c, float a0, float a1, float radius, Color tone) {
    auto arc = [=](float x, float y) {
        const float dx = x - 12, dy = y - 12;
        float angle = std::atan2(dy, dx);
        // Distance along the ring, clipped to the arc's angles.
        float mid = (a0 + a1) / 2, span = std::fabs(a1 - a0) / 2;
        float d = std::remainder(angle - mid, 2 * kPi);
        const float ring = std::fabs(std::hypot(dx, dy) - radius) - 1.1f;
        return std::fabs(d) <= span ? ring : 99.0f;
    };
    c.Fill(arc, tone);
    const float hx = 12 + radius * std::cos(a1), hy = 12 + radius * std::sin(a1);
    const float tx = -std::sin(a1) * (a1 > a0 ? -1 : 1), ty = std::cos(a1) * (a1 > a0 ? -1 : 1);
    const float nx = std::cos(a1), ny = std::sin(a1);
    c.Fill(
        [=](float x, float y) {
            return SdfPolygon(x, y,
                              {hx - tx * 3.2f, hy - ty * 3.2f, hx + nx * 3.0f, hy + ny * 3.0f, hx - nx * 3.0f,
                               hy - ny * 3.0f});
        },
        tone);
}

Canvas ChangerTile(int colour, int phase) {
    Canvas tile = PieceBackdrop();
    const int next = (colour + 1) % 4;
    const float t = phase == 0 ? 0.0f : Smooth(phase / 8.0f);
    const Color base = Mix(kPieceBase[colour], kPieceBase[next], t);
    DrawBody(tile, base, 1.0f, -1);
    const float turn = t * kPi;
    DrawArcArrow(tile, -2.6f + turn, -0.7f + turn, 7.6f, Shade(base, 0.85f));
    DrawArcArrow(tile, 0.55f + turn, 2.45f + turn, 7.6f, Shade(base, 0.85f));
    if (t < 1) DrawMark(tile, colour, 12, 12, 3.0f * (1 - t) + 0.01f, base, 1 - t);
    if (t > 0) DrawMark(tile, next, 12, 12, 3.0f * t, base, t);
    return tile;
}

Canvas ClearerTile(int colour, int phase) {
    Canvas tile = PieceBackdrop();
    const Color base = kPieceBase[colour];
    const float spin = phase / 9.0f * (kPi / 4);
    const float pulse = 0.5f + 0.5f * std::cos(phase / 9.0f * 2 * kPi);
    // Eight rays of the colour's light shade, turning one eighth of a turn per loop.
    for (int k = 0; k < 8; ++k) {
        const float a = spin + k * kPi / 4;
        const float length = (k % 2 ? 9.5f : 11.0f) - (1 - pulse) * 1.5f;
        tile.Fill(
            [=](float x, float y) {
                return SdfSegment(x, y, 12, 12, 12 + length * std::cos(a), 12 + length * std::sin(a), 1.3f);
            },
            Shade(base, 0.5f + 0.3f * pulse));
    }
    tile.Fill([=](float x, float y) { return SdfCircle(x, y, 12, 12, 7.8f); }, Shade(base, -0.55f));
    tile.Fill([=](float x, float y) { return SdfCircle(x, y, 12, 12, 6.8f); },
              [=](float, float y) {
                  return Mix(Shade(base, 0.4f), Shade(base, -0.25f), std::clamp((y - 5) / 14, 0.0f, 1.0f));
              });
    DrawMark(tile, colour, 12, 12, 3.0f, base);
    return tile;
}

Canvas BombTile(int colour, int phase) {
    Canvas tile = PieceBackdrop();
    const Color base = kPieceBase[colour];
    const float flicker = 0.5f + 0.5f * std::sin(phase / 9.0f * 2 * kPi);
    // Fuse, then the body over its root.
    tile.Fill([](float x, float y) { return SdfSegment(x, y, 15.5f, 6.5f, 18.5f, 3.5f, 1.0f); },
              Color{150, 130, 100});
    tile.Fill([](float x, float y) { return SdfCircle(x, y, 12, 13.5f, 8.8f); }, Color{10, 10, 12});
    tile.Fill([](float x, float y) { return SdfCircle(x, y, 12, 13.5f, 8.0f); },
              [](float x, float y) {
                  const float d = std::hypot(x - 9.5f, y - 10.5f) / 12;
                  return Mix(Color{120, 120, 128}, Color{22, 22, 26}, std::clamp(d, 0.0f, 1.0f));
              });
    // A band of the colour it stands for, with its mark.
    tile.Fill([](float x,
                 float y) { return std::max(SdfCircle(x, y, 12, 13.5f, 8.0f), std::fabs(y - 14.5f) - 3.2f); },
              base);
    DrawMark(tile, colour, 12, 14.5f, 2.2f, base);
    // The spark at the fuse's end: a small star that flickers around its loop.
    const float size = 1.8f + 2.2f * flicker;
    for (int k = 0; k < 4; ++k) {
        const float a = k * kPi / 4 + phase * 0.35f;
        tile.Fill(
            [=](float x, float y) {
                return SdfSegment(x, y, 19 - size * std::cos(a), 3 - size * std::sin(a),
                                  19 + size * std::cos(a), 3 + size * std::sin(a), 0.55f);
            },
            Mix(Color{255, 160, 40}, Color{255, 250, 200}, flicker));
    }
    return tile;
}

void DrawSparkle(Canvas& c, float size, Color tone, float rotation) {
    if (size <= 0) return;
    auto star = [=](float x, float y) {
        std::vector<float> points;
        for (int k = 0; k < 8; ++k) {
            const float a = rotation + k * kPi / 4, r = k % 2 ? size * 0.3f : size;
            points.push_back(12 + r * std::cos(a));
            points.push_back(12 + r * std::sin(a));
        }
        return SdfPolygon(x, y, points);
    };
    c.Fill(star, tone);
    c.Fill([=](float x, float y) { return SdfCircle(x, y, 12, 12, size * 0.25f); }, kWhite);
}

Canvas AppearTile(int colour, int step) {
    if (step == 0) return PlainTile(colour, 0);
    Canvas tile = PieceBackdrop();
    const float scale[4] = {1, 0.72f, 0.4f, 0.0f};
    const float sparkle[4] = {0, 6.0f, 9.0f, 7.0f};
    DrawBody(tile, kPieceBase[colour], scale[step], -1);
    if (scale[step] > 0.5f) DrawMark(tile, colour, 12, 12, 4.2f * scale[step], kPieceBase[colour]);
    DrawSparkle(tile, sparkle[step], Shade(kPieceBase[colour], 0.7f), step * 0.4f);
    return tile;
}

Canvas TileSheet(int columns, int rows, Canvas (*tile)(int, int)) {
    Canvas sheet(24 * columns, 24 * rows, kLaneColour);
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column) sheet.Put(tile(column, row), 24 * column, 24 * row);
    return sheet;
}

// ---- text ----

struct TextStyle {
    int font = 0;
    int size = 16;
    Color top = kWhite, bottom = kPale;
    float outline = 1.3f; // 0 for none
    Color outlineColour = kOutline;
    bool shadow = true;
};

// Renders text, shrinking the size until it fits the width.
Mask FitText(const ArtFonts& fonts, const std::string& text, TextStyle& style, int maxWidth) {
    for (;; --style.size) {
        Mask mask = fonts.text->Render(style.font, text, style.size);
        if (mask.width + 2 * style.outline + 1 <= maxWidth) return mask;
        if (style.size <= 7)
            throw std::runtime_error("\"" + text + "\" does not fit in " + std::to_string(maxWidth));
    }
}

// Draws text with outline and shadow so that its centre lies at (cx, cy).
void DrawText(Canvas& c, const ArtFonts& fonts, const std::string& text, TextStyle style, float cx, float cy,
              int maxWidth) {
    const Mask mask = FitText(fonts, text, style, maxWidth);
    // Centre on the ink, not on the font's line box, so labels sit in the middle of their tile.
    int top = mask.height, bottom = 0;
    for (int y = 0; y < mask.height; ++y)
        for (int x = 0; x < mask.width; ++x)
            if (mask.At(x, y) > 0.1f) top = std::min(top, y), bottom = std::max(bottom, y + 1);
    if (bottom <= top) return;
    const int x = static_cast<int>(std::lround(cx - mask.width / 2.0f));
    const int y = static_cast<int>(std::lround(cy - (top + bottom) / 2.0f));
    if (style.outline > 0) {
        const Mask outline = Dilate(mask, style.outline);
        const int r = static_cast<int>(std::ceil(style.outline));
        if (style.shadow) c.Stamp(outline, x - r + 1, y - r + 1, style.outlineColour, 0.6f);
        c.Stamp(outline, x - r, y - r, style.outlineColour);
    } else if (style.shadow) {
        c.Stamp(mask, x + 1, y + 1, style.outlineColour, 0.7f);
    }
    const float y0 = static_cast<float>(y + top), y1 = static_cast<float>(y + bottom);
    c.Stamp(mask, x, y, [=](float, float py) {
        return Mix(style.top, style.bottom, std::clamp((py - y0) / std::max(1.0f, y1 - y0), 0.0f, 1.0f));
    });
}

TextStyle LabelStyle(const ArtFonts& fonts, int size, bool highlighted) {
    TextStyle style;
    style.font = fonts.bold;
    style.size = size;
    style.top = highlighted ? Color{255, 252, 226} : Color{236, 242, 255};
    style.bottom = highlighted ? Color{255, 214, 80} : Color{120, 166, 236};
    style.outlineColour = highlighted ? Color{60, 40, 4} : kOutline;
    return style;
}

TextStyle GoldStyle(const ArtFonts& fonts, int size, bool highlighted) {
    TextStyle style;
    style.font = fonts.bold;
    style.size = size;
    style.top = highlighted ? Color{255, 255, 240} : Color{255, 236, 150};
    style.bottom = highlighted ? Color{255, 220, 110} : Color{214, 140, 18};
    style.outline = 1.6f;
    return style;
}

// Splits text into lines no wider than maxWidth.
std::vector<std::string> Wrap(const ArtFonts& fonts, int font, int size, const std::string& text,
                              int maxWidth) {
    std::vector<std::string> lines;
    std::string line, word;
    auto fits = [&](const std::string& s) { return fonts.text->Render(font, s, size).width <= maxWidth; };
    size_t pos = 0;
    while (pos <= text.size()) {
        const size_t space = std::min(text.find(' ', pos), text.size());
        word = text.substr(pos, space - pos);
        const std::string candidate = line.empty() ? word : line + " " + word;
        if (line.empty() || fits(candidate))
            line = candidate;
        else
            lines.push_back(line), line = word;
        pos = space + 1;
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// A paragraph, left aligned from (x, y), returns the y below it.
int DrawParagraph(Canvas& c, const ArtFonts& fonts, const std::string& text, int x, int y, int width,
                  int size, Color colour) {
    const int lineHeight = size + 1;
    const std::vector<std::string> lines = Wrap(fonts, fonts.condensed, size, text, width);
    if (lines.size() > 4) throw std::runtime_error("\"" + text + "\" needs more than four lines");
    for (const std::string& line : lines) {
        int baseline = 0;
        const Mask mask = fonts.text->Render(fonts.condensed, line, size, &baseline);
        c.Stamp(Dilate(mask, 1.0f), x - 1, y - 1, kOutline, 0.8f);
        c.Stamp(mask, x, y, colour);
        y += lineHeight;
    }
    return y;
}

// ---- pictures ----

Canvas Background() {
    Canvas c(240, 294, kLaneColour);
    for (int y = 0; y < 294; ++y)
        for (int x = 0; x < 240; ++x) c.Set(x, y, LaneAt(x));
    return c;
}

Canvas TitleStrips(const ArtFonts& fonts) {
    Canvas c(240, 92, kPanelColour);
    for (int strip = 0; strip < 2; ++strip) {
        const int top = 46 * strip;
        c.Fill([=](float, float y) { return (y > top && y < top + 46) ? -1.0f : 1.0f; },
               [=](float, float y) {
                   const float t = (y - top) / 46;
                   return strip == 0 ? Mix(Color{44, 68, 128}, Color{8, 12, 28}, t)
                                     : Mix(Color{8, 12, 28}, Color{44, 68, 128}, t);
               });
        // A gold rule on the edge that faces the board.
        const int ruleY = strip == 0 ? 44 : 46;
        c.FillRect(0, ruleY, 240, 2, Color{196, 132, 16});
        c.FillRect(0, strip == 0 ? ruleY : ruleY + 1, 240, 1, Color{255, 206, 64});
    }
    TextStyle title = GoldStyle(fonts, 34, false);
    title.outline = 2.0f;
    DrawText(c, fonts, "Vexlin", title, 120, 22, 230);
    for (int k = 0; k < 4; ++k) {
        Canvas tile = PlainTile(k, k == 1 ? 4 : 0);
        // Pieces stand on the strip, so only their bodies are copied.
        for (int y = 0; y < 24; ++y)
            for (int x = 0; x < 24; ++x)
                if (!(tile.At(x, y).r == LaneAt(x).r && tile.At(x, y).g == LaneAt(x).g &&
                      tile.At(x, y).b == LaneAt(x).b))
                    c.Set(8 + 26 * k + x, 46 + 14 + y, tile.At(x, y));
    }
    TextStyle maker = LabelStyle(fonts, 13, false);
    maker.font = fonts.condensedBold;
    DrawText(c, fonts, "Tessel", maker, 184, 46 + 26, 100);
    return c;
}

Canvas SheetOf(int columns, int rows, Canvas (*tile)(int, int)) { return TileSheet(columns, rows, tile); }

Canvas MenuButton(const ArtFonts& fonts, const std::string& first, const std::string& second, bool icon) {
    Canvas c(91, 42, kPanelColour);
    for (int k = 0; k < 2; ++k) {
        const float top = 21.0f * k;
        const bool bright = icon ? k == 1 : false;
        const Color face = bright ? Color{100, 146, 220} : Color{56, 88, 160};
        c.Fill([=](float x, float y) { return SdfRoundBox(x, y, 45.5f, top + 10.5f, 44.5f, 9.8f, 6); },
               kOutline);
        c.Fill([=](float x, float y) { return SdfRoundBox(x, y, 45.5f, top + 10.5f, 43.3f, 8.6f, 5); },
               [=](float, float y) { return Mix(Shade(face, 0.3f), Shade(face, -0.3f), (y - top) / 21); });
        if (icon) {
            for (int bar = 0; bar < 3; ++bar)
                c.Fill(
                    [=](float x, float y) {
                        return SdfRoundBox(x, y, 45.5f, top + 5.5f + 5 * bar, 11, 1.2f, 1.2f);
                    },
                    bright ? Color{255, 248, 214} : Color{214, 228, 255});
        } else {
            TextStyle style = LabelStyle(fonts, 12, false);
            style.font = fonts.condensedBold;
            style.outline = 1.0f;
            DrawText(c, fonts, k == 0 ? first : second, style, 45.5f, top + 10.5f, 84);
        }
    }
    return c;
}

Canvas HeadBar() {
    Canvas c(240, 53, kLaneColour, 0.0f);
    for (int y = 32; y < 53; ++y)
        for (int x = 0; x < 240; ++x) c.Set(x, y, LaneAt(x), 0.0f);
    c.FillRect(0, 0, 240, 32, kPanelColour);
    c.FillRect(0, 0, 240, 1, Color{100, 146, 220});
    c.FillRect(0, 30, 240, 1, Color{255, 206, 64});
    c.FillRect(0, 31, 240, 1, Color{196, 132, 16});
    // The inset field under the score digits and the groove of the progress bar.
    c.FillRect(2, 5, 146, 19, kFieldColour);
    c.FillRect(2, 23, 236, 6, kFieldColour);
    return c;
}

Canvas ScoreDigits(const ArtFonts& fonts) {
    Canvas c(160, 17, kFieldColour);
    for (int d = 0; d < 10; ++d) {
        TextStyle style = GoldStyle(fonts, 16, false);
        style.outline = 0;
        style.outlineColour = Color{0, 0, 0};
        DrawText(c, fonts, std::string(1, char('0' + d)), style, 16 * d + 8, 8.5f, 16);
    }
    return c;
}

Canvas Progress() {
    Canvas c(234, 4, kFieldColour);
    for (int x = 0; x < 234; ++x)
        for (int y = 0; y < 4; ++y) {
            Color fill = Mix(Color{0, 150, 108}, Color{255, 206, 64}, x / 233.0f);
            if (y == 0) fill = Shade(fill, 0.45f);
            if (y == 3) fill = Shade(fill, -0.35f);
            c.Set(x, y, x == 233 ? Color{255, 248, 214} : fill);
        }
    return c;
}

// Pictures drawn tile by tile on transparent ground: fn(canvas, column, row, centreX, centreY).
template <typename Fn>
Canvas KeyedTiles(int width, int height, int columns, int rows, Fn fn) {
    Canvas c(width, height, kLaneColour, 0.0f);
    const int tw = width / columns, th = height / rows;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            fn(c, column, row, tw * column + tw / 2.0f, th * row + th / 2.0f);
    return c;
}

Canvas Glyphs(const ArtFonts& fonts) {
    const std::string glyphs = "0123456789.,-";
    return KeyedTiles(130, 28, 13, 2, [&](Canvas& c, int column, int row, float, float cy) {
        TextStyle style = row ? GoldStyle(fonts, 12, true) : LabelStyle(fonts, 12, false);
        style.outline = 0;
        style.shadow = true;
        // The list draws each glyph one pixel left of its pen and advances by width - 2.
        DrawText(c, fonts, std::string(1, glyphs[column]), style, 10 * column + 5.0f, cy, 9);
    });
}

Canvas Months(const ArtFonts& fonts) {
    static const char* const kRoman[12] = {"I",   "II",   "III", "IV", "V",  "VI",
                                           "VII", "VIII", "IX",  "X",  "XI", "XII"};
    return KeyedTiles(54, 192, 2, 12, [&](Canvas& c, int column, int row, float cx, float cy) {
        TextStyle style = column ? GoldStyle(fonts, 12, true) : LabelStyle(fonts, 12, false);
        style.font = fonts.condensedBold;
        style.outline = 0;
        DrawText(c, fonts, kRoman[row], style, cx, cy, 25);
    });
}

Canvas LevelDigits(const ArtFonts& fonts) {
    return KeyedTiles(46, 250, 2, 10, [&](Canvas& c, int column, int row, float cx, float cy) {
        DrawText(c, fonts, std::string(1, char('0' + row)), GoldStyle(fonts, 23, column == 1), cx, cy, 22);
    });
}

Canvas Popups() {
    return KeyedTiles(32, 36, 1, 3, [&](Canvas& c, int, int row, float cx, float cy) {
        const int marks = row + 1;
        const float size = 3.0f + row * 1.0f;
        for (int m = 0; m < marks; ++m) {
            const float x = cx + (m - (marks - 1) / 2.0f) * (size * 2.2f);
            auto chevron = [=](float px, float py) {
                return std::min(SdfSegment(px, py, x - size, cy + size * 0.5f, x, cy - size * 0.5f, 1.2f),
                                SdfSegment(px, py, x, cy - size * 0.5f, x + size, cy + size * 0.5f, 1.2f));
            };
            c.Fill([=](float px, float py) { return chevron(px, py) - 1.0f; }, kOutline);
            c.Fill(chevron, Mix(Color{255, 206, 64}, Color{255, 248, 214}, row / 2.0f));
        }
    });
}

Canvas Banner(const ArtFonts& fonts, int width, int height, int columns, int rows,
              const std::vector<std::string>& texts, int size) {
    // Tiles come in pairs (picture, highlight); texts[k] is the text of pair k.
    return KeyedTiles(width, height, columns, rows, [&](Canvas& c, int column, int row, float cx, float cy) {
        const int tile = row * columns + column;
        DrawText(c, fonts, texts[tile / 2], GoldStyle(fonts, size, tile % 2 == 1), cx, cy,
                 width / columns - 6);
    });
}

Canvas ButtonLabels(const ArtFonts& fonts, const std::map<std::string, std::string>& labels) {
    return KeyedTiles(344, 374, 2, 11, [&](Canvas& c, int column, int row, float cx, float cy) {
        if (row == 4) return; // no button uses label 4
        // The two score-server labels stand at x 95 beside the high-score picture, their tile's centre at
        // x 181 of the 240-pixel window: their text must stay within 2 x 59 pixels to show whole.
        const int maxWidth = row == 5 || row == 6 ? 112 : 160;
        DrawText(c, fonts, Label(labels, "button" + std::to_string(row)), LabelStyle(fonts, 19, column == 1),
                 cx, cy, maxWidth);
    });
}

Canvas CheckPictures(const ArtFonts& fonts, const std::map<std::string, std::string>& labels) {
    return KeyedTiles(172, 264, 1, 8, [&](Canvas& c, int, int row, float, float cy) {
        const bool on = row % 2 == 0;
        const float bx = 16;
        c.Fill([=](float x, float y) { return SdfRoundBox(x, y, bx, cy, 8.5f, 8.5f, 3); }, kOutline);
        c.Fill([=](float x, float y) { return SdfRoundBox(x, y, bx, cy, 7.2f, 7.2f, 2.4f); },
               [=](float, float y) {
                   return Mix(Color{100, 146, 220}, Color{34, 52, 96}, (y - cy + 8) / 16);
               });
        if (row == 4 || row == 5) {
            // Language: a small globe instead of a tick, both languages being "on".
            c.Fill([=](float x, float y) { return std::fabs(SdfCircle(x, y, bx, cy, 5)) - 0.8f; }, kWhite);
            c.Fill([=](float x,
                       float y) { return std::max(std::fabs(x - bx) - 0.7f, SdfCircle(x, y, bx, cy, 5)); },
                   kWhite);
            c.Fill([=](float x,
                       float y) { return std::max(std::fabs(y - cy) - 0.7f, SdfCircle(x, y, bx, cy, 5)); },
                   kWhite);
        } else if (on) {
            c.Fill(
                [=](float x, float y) {
                    return std::min(SdfSegment(x, y, bx - 4.5f, cy, bx - 1.5f, cy + 3.5f, 1.5f),
                                    SdfSegment(x, y, bx - 1.5f, cy + 3.5f, bx + 5.5f, cy - 5.5f, 1.5f));
                },
                Color{255, 220, 110});
        }
        TextStyle style = LabelStyle(fonts, 15, false);
        style.font = fonts.condensedBold;
        Mask probe = FitText(fonts, Label(labels, "check" + std::to_string(row)), style, 140);
        DrawText(c, fonts, Label(labels, "check" + std::to_string(row)), style, 30 + probe.width / 2.0f + 2,
                 cy, 140);
    });
}

Canvas HighScoreTitle(const ArtFonts& fonts, const std::map<std::string, std::string>& labels) {
    Canvas c(240, 36, kLaneColour);
    c.Fill([](float, float) { return -1.0f; },
           [](float, float y) {
               return Mix(Color{44, 68, 128}, Color{8, 12, 28}, y / 36);
           });
    DrawText(c, fonts, Label(labels, "hstitle"), GoldStyle(fonts, 22, false), 120, 17, 230);
    for (int x = 0; x < 240; ++x) {
        const float edge = std::min(x, 239 - x) / 40.0f;
        c.Set(x, 35, Mix(Color{56, 36, 0}, Color{255, 206, 64}, std::min(edge, 1.0f)));
    }
    return c;
}

Canvas HighScorePicture(const ArtFonts& fonts, const std::map<std::string, std::string>& labels) {
    Canvas c(118, 50, kLaneColour);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 118; ++x) c.Set(x, y, LaneAt(x));
    // A cup: bowl, handles, stem and foot.
    const Color gold{255, 206, 64};
    auto cup = [](float x, float y) {
        const float bowl = std::max(SdfCircle(x, y, 20, 12, 12), y - 17.0f);
        const float top = std::max(SdfRoundBox(x, y, 20, 8, 12, 8, 1), SdfCircle(x, y, 20, 12, 12));
        const float handles = std::min(std::fabs(SdfCircle(x, y, 8, 14, 5)) - 1.3f,
                                       std::fabs(SdfCircle(x, y, 32, 14, 5)) - 1.3f);
        const float stem = SdfRoundBox(x, y, 20, 30, 2.5f, 6, 1);
        const float foot = SdfRoundBox(x, y, 20, 38, 9, 3, 1.5f);
        return std::min({std::min(bowl, top), handles, stem, foot});
    };
    c.Fill([&](float x, float y) { return cup(x, y) - 1.2f; }, kOutline);
    c.Fill(cup, [&](float x, float y) {
        return Mix(Shade(gold, 0.5f), Shade(gold, -0.35f), std::clamp((x - 8 + y * 0.3f) / 34, 0.0f, 1.0f));
    });
    TextStyle style = LabelStyle(fonts, 12, false);
    style.font = fonts.condensedBold;
    style.outline = 1.0f;
    DrawText(c, fonts, Label(labels, "hspicture1"), style, 78, 16, 76);
    DrawText(c, fonts, Label(labels, "hspicture2"), style, 78, 32, 76);
    return c;
}

Canvas HelpPicture(const ArtFonts& fonts, const std::map<std::string, std::string>& labels) {
    Canvas c(240, 196, kLaneColour, 0.0f);
    const Color text{222, 232, 255};
    // Beside the three example pieces at the top left.
    DrawParagraph(c, fonts, Label(labels, "help.match"), 68, 10, 166, 12, text);
    // A heading and up to three lines; a down arrow after the heading when the piece is below the picture.
    auto block = [&](const std::string& key, int x, int y, bool arrow) {
        TextStyle heading = GoldStyle(fonts, 13, false);
        heading.font = fonts.condensedBold;
        heading.outline = 1.0f;
        const Mask probe = FitText(fonts, Label(labels, key + ".title"), heading, 100);
        DrawText(c, fonts, Label(labels, key + ".title"), heading, x + probe.width / 2.0f + 2, y + 6, 100);
        if (arrow) {
            const float ax = x + probe.width + 10.0f, ay = y + 6.0f;
            c.Fill(
                [=](float px, float py) {
                    return SdfPolygon(px, py, {ax - 4, ay - 3, ax + 4, ay - 3, ax, ay + 3});
                },
                kGold);
        }
        DrawParagraph(c, fonts, Label(labels, key), x, y + 14, 110, 11, text);
    };
    // Under the changer (40, 80) and the wildcard (170, 80) of the help screen.
    block("help.changer", 6, 106, false);
    block("help.wild", 126, 106, false);
    // The bomb and the clearers are shown below the picture.
    block("help.bomb", 6, 154, true);
    block("help.clearer", 126, 154, true);
    return c;
}

} // namespace

Color LaneAt(int x) {
    const int column = ((x % 24) + 24) % 24;
    return column == 0 || column == 23 ? kGrooveColour : kLaneColour;
}

Canvas DrawGamePicture(int id, const ArtFonts& fonts, const std::map<std::string, std::string>& labels) {
    switch (id) {
    case 700:
        return Background();
    case 701:
        return TitleStrips(fonts);
    case 702:
        return SheetOf(4, 9, ChangerTile);
    case 703:
        return SheetOf(4, 9, ClearerTile);
    case 704:
        return SheetOf(4, 9, PlainTile);
    case 705:
        return SheetOf(4, 9, BombTile);
    case 706:
        return SheetOf(4, 4, AppearTile);
    case 707:
        return MenuButton(fonts, "", "", true);
    case 708:
        return HeadBar();
    case 711:
        return Glyphs(fonts);
    case 712:
        return Months(fonts);
    case 721:
        return ScoreDigits(fonts);
    case 722:
        return Progress();
    case 723:
        return LevelDigits(fonts);
    case 732:
        return Popups();
    case 709:
    case 710:
        return Banner(fonts, 480, 74, 2, 2, {Label(labels, "gameover"), Label(labels, "newhigh")}, 26);
    case 713:
    case 714:
        return HighScoreTitle(fonts, labels);
    case 715:
    case 716:
        return ButtonLabels(fonts, labels);
    case 717:
    case 718:
        return CheckPictures(fonts, labels);
    case 719:
    case 720:
        return HighScorePicture(fonts, labels);
    case 724:
    case 725:
        return Banner(fonts, 160, 25, 2, 1, {Label(labels, "level")}, 21);
    case 726:
    case 727:
        return Banner(fonts, 185, 72, 1, 2, {Label(labels, "bonus")}, 24);
    case 728:
    case 729:
        return HelpPicture(fonts, labels);
    case 730:
    case 731:
        return MenuButton(fonts, Label(labels, "hint1"), Label(labels, "hint2"), false);
    default:
        throw std::runtime_error("no picture " + std::to_string(id));
    }
}
