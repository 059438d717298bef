// Screens: drawing through the shimmer, the buttons' paints and hits (the
// torn label of a press), the head bar's level progress and score, and the
// high-score list drawn from glyphs and month pictures.
#include "screens.h"

#include "cea_anim_object.h"
#include "cea_anim_window.h"
#include "cea_graphic.h"
#include "check_button.h"
#include "game.h"
#include "game_graphics.h"
#include "gl_anim_button.h"
#include "high_scores.h"

namespace {

const LONG kListLineHeight = 17;
const LONG kMonthRaise = 2;
const char kGlyphs[] = "0123456789.,-";
const int kGlyphCount = 13;
const DWORD kLargestScore = 999999999; // nine places on the head bar

RECT Intersect(const RECT& a, const RECT& b) {
    RECT r;
    if (!IntersectRect(&r, &a, &b)) SetRectEmpty(&r);
    return r;
}

void DrawClipped(Graphic* picture, Graphic* target, LONG x, LONG y, const RECT& clip) {
    if (picture && !IsRectEmpty(&clip)) picture->DrawTo(target, x, y, clip);
}

// "1,000,200": the highest group plain, every further group of three with its comma.
void FormatThousands(DWORD value, char* out) {
    DWORD groups[4];
    int count = 0;
    do {
        groups[count++] = value % 1000;
        value /= 1000;
    } while (value && count < 4);
    out += wsprintfA(out, "%u", groups[count - 1]);
    for (int i = count - 2; i >= 0; i--) out += wsprintfA(out, ",%03u", groups[i]);
}

} // namespace

void Screens::drawShimmered(const ANIMDRAW* draw, Graphic* picture, Graphic* highlight, int x, int y) {
    if (!draw || !picture) return;
    DrawClipped(picture, draw->target, x, y, draw->clip);
    if (!highlight) return;
    for (int k = 0; k < kBandCount; k++) {
        RECT band = {m_bands[k].rect.left, draw->clip.top, m_bands[k].rect.right, draw->clip.bottom};
        DrawClipped(highlight, draw->target, x, y, Intersect(band, draw->clip));
    }
}

bool Screens::hitsButton(const ScreenButton* record, POINT point) const {
    AnimButton* button = record->button;
    if (!button->IsEnabled()) return false;
    if (record->kind != kButtonOrdinary) return true;
    // Only the label's visible width takes hits, centred where the label is.
    LONG left = record->hitCentre - record->visibleWidth / 2;
    return point.x >= left && point.x < left + record->visibleWidth;
}

void Screens::paintButton(ScreenButton* record, const ANIMDRAW* draw) {
    AnimButton* button = record->button;
    const RECT& r = draw->object;
    if (record->kind == kButtonCheck) {
        // Hidden like the ordinary buttons while the done button's press runs: only the pressed label
        // is left on the screen.
        if (m_pressed) return;
        DrawClipped(static_cast<CheckButton*>(button)->current(), draw->target, r.left, r.top,
                    Intersect(r, draw->clip));
        return;
    }
    bool down = button->IsHeld() || m_pressed == button;
    Graphic* picture = down ? record->highlight : record->label;
    Graphic* highlight = down ? record->label : record->highlight;
    if (!picture) picture = record->label;
    if (record->kind == kButtonSimple) {
        drawShimmered(draw, picture, highlight, r.left + record->labelX, r.top);
        return;
    }
    if (m_pressed && m_pressed != button) return;
    LONG x = r.left + record->labelX, y = r.top;
    if (m_pressed == button && m_pressStep != 0) {
        // Torn: even rows slide left, odd rows right, further with every step.
        LONG shift = (record->labelX + picture->GetWidth()) * m_pressStep / 7;
        RECT clip = draw->clip;
        if (clip.left < 0) clip.left = 0;
        for (LONG row = 0; row < picture->GetHeight(); row++) {
            RECT line = {clip.left, y + row, clip.right, y + row + 1};
            DrawClipped(picture, draw->target, x + (row % 2 ? shift : -shift), y, Intersect(line, clip));
        }
        return;
    }
    drawShimmered(draw, picture, highlight, x, y);
}

void Screens::paintProgress(const ANIMDRAW* draw) {
    Game* game = m_context->game;
    Graphic* bar = m_context->graphics->picture(kPicProgress);
    if (!game || !bar) return;
    LONG full = bar->GetWidth(), height = bar->GetHeight();
    LONG width = 0;
    if (game->bonus()) {
        width = full;
    } else if (game->target() > 0) {
        int removed = game->removed() < game->target() ? game->removed() : game->target();
        if (removed < 0) removed = 0;
        width = full * removed / game->target();
    }
    if (width <= 0) return;
    LONG x = draw->object.left, y = draw->object.top;
    RECT body = {x, y, x + width - 1, y + height};
    DrawClipped(bar, draw->target, x, y, Intersect(body, draw->clip));
    // The bar's rounded end: its last column closes the drawn width.
    RECT end = {x + width - 1, y, x + width, y + height};
    DrawClipped(bar, draw->target, x + width - full, y, Intersect(end, draw->clip));
}

void Screens::paintScore(const ANIMDRAW* draw) {
    Game* game = m_context->game;
    if (!game) return;
    // Nine places are all the head bar has: a larger score shows as nine nines.
    DWORD score = game->score() > kLargestScore ? kLargestScore : game->score();
    LONG x = draw->object.left, y = draw->object.top;
    bool started = false;
    for (DWORD place = 100000000; place >= 1; place /= 10) {
        DWORD digit = score / place % 10;
        if (!digit && !started && place > 1) continue;
        started = true;
        Graphic* picture = m_context->graphics->tile(kPicScoreDigits, digit);
        if (!picture) return;
        DrawClipped(picture, draw->target, x, y, draw->clip);
        x += picture->GetWidth();
    }
}

void Screens::paintList(const ANIMDRAW* draw) {
    const HighScoreTable* table = m_context->highScores;
    const GraphicsSet* g = m_context->graphics;
    if (!table) return;
    LONG top = draw->object.top;
    for (int i = 0; i < kHighScoreCount; i++, top += kListLineHeight) {
        const HighScoreEntry& entry = table->entries[i];
        bool lit = i == m_highlight;
        char number[24], text[64];
        FormatThousands(entry.score, number);
        DWORD year = 0, month = 0, day = 0;
        bool dated = entry.check != 0;
        if (dated) {
            DecodeDayNumber(entry.date, &year, &month, &day);
            wsprintfA(text, "%u. %s - %u ", i + 1, number, day);
        } else {
            wsprintfA(text, "%u. %s", i + 1, number);
        }
        LONG pen = draw->object.left;
        // Glyphs overlap their neighbours by two pixels; a space is one pixel.
        for (int pass = 0; pass < (dated ? 2 : 1); pass++) {
            for (const char* c = text; *c; c++) {
                if (*c == ' ') {
                    pen += 1;
                    continue;
                }
                const char* found = nullptr;
                for (int k = 0; k < kGlyphCount; k++)
                    if (kGlyphs[k] == *c) found = kGlyphs + k;
                if (!found) continue;
                Graphic* glyph = g->tile(kPicListGlyphs, (lit ? kGlyphCount : 0) + (found - kGlyphs));
                if (!glyph) continue;
                DrawClipped(glyph, draw->target, pen - 1, top, draw->clip);
                pen += glyph->GetWidth() - 2;
            }
            if (dated && pass == 0) {
                Graphic* picture = month >= 1 && month <= 12
                                       ? g->tile(kPicMonths, (month - 1) * 2 + (lit ? 1 : 0))
                                       : nullptr;
                if (picture) {
                    DrawClipped(picture, draw->target, pen - 1, top - kMonthRaise, draw->clip);
                    pen += picture->GetWidth() - 2;
                }
                wsprintfA(text, " %u", year);
            }
        }
    }
}
