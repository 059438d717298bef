// Markup text: the tag reader, the style stack and the wrapping layout.
#include "skinmarkup.h"

#include "mem_manager.h"

namespace {

bool IsBlank(TCHAR c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsBreak(TCHAR c) { return c == '\r' || c == '\n'; }

// Whether text[position] starts with `word` (ASCII, compared without case).
bool StartsWith(const TCHAR* text, DWORD length, DWORD position, const char* word) {
    for (DWORD i = 0; word[i]; ++i) {
        if (position + i >= length) return false;
        TCHAR c = text[position + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<TCHAR>(c | 0x20);
        if (c != static_cast<TCHAR>(word[i])) return false;
    }
    return true;
}

// The position after the next ">" from `position`, or npos when the text has none: a tag that never
// closes is ordinary text, like "<b" without ">".
DWORD AfterClose(const TCHAR* text, DWORD length, DWORD position) {
    for (DWORD i = position; i < length; ++i)
        if (text[i] == '>') return i + 1;
    return string::npos;
}

// A font tag's kind once it has read a face or a size: a font, or a font and a colour after a colour.
DWORD KindWithFont(DWORD kind) {
    if (kind == mkTEXT) return mkFONT;
    if (kind == mkCOLOR) return mkFONTCOLOR;
    return kind;
}

// A font tag's kind once it has read a colour: a colour, or a font and a colour after a face or size.
DWORD KindWithColour(DWORD kind) {
    if (kind == mkTEXT) return mkCOLOR;
    if (kind == mkFONT) return mkFONTCOLOR;
    return kind;
}

DWORD ReadFontTag(const TCHAR* text, DWORD length, DWORD at, MarkupToken* token) {
    token->kind = mkTEXT; // no attribute read yet
    for (;;) {
        while (at < length && IsBlank(text[at])) ++at;
        if (StartsWith(text, length, at, "face=")) {
            at += 5;
            bool quoted = at < length && text[at] == '"';
            if (quoted) ++at;
            DWORD start = at;
            while (at < length && text[at] != '>' && text[at] != '"' && (quoted || !IsBlank(text[at]))) ++at;
            token->font += string(text + start, 0, at - start);
            if (at < length && text[at] == '"') ++at;
            token->kind = KindWithFont(token->kind);
        } else if (StartsWith(text, length, at, "size=")) {
            at += 5;
            DWORD start = at;
            while (at < length && text[at] != '>' && !IsBlank(text[at])) ++at;
            token->font += TEXT(",");
            token->font += string(text + start, 0, at - start);
            token->kind = KindWithFont(token->kind);
        } else if (StartsWith(text, length, at, "color=")) {
            at += 6;
            DWORD start = at;
            while (at < length && text[at] != '>' && !IsBlank(text[at])) ++at;
            string colour(text, start, at - start);
            COLORREF value = ColorFromString(colour.Psz());
            // An unreadable colour leaves the colour as it was.
            token->colour = value ? (value & 0xFFFFFF) : kNoColor;
            token->kind = KindWithColour(token->kind);
        } else {
            break;
        }
    }
    DWORD after = AfterClose(text, length, at);
    if (after == string::npos) return string::npos;
    // A font tag without a known attribute still opens a level, so that its closing tag pops that level
    // and not the one around it.
    if (token->kind == mkTEXT) token->kind = mkFONTCOLOR; // changes nothing
    return after;
}

} // namespace

DWORD ReadMarkupTag(const TCHAR* text, DWORD length, DWORD position, MarkupToken* token) {
    MarkupToken read;
    DWORD after = string::npos;
    if (position >= length || text[position] != '<') return string::npos;
    if (StartsWith(text, length, position, "</")) {
        read.kind = mkCLOSE;
        after = AfterClose(text, length, position + 2);
    } else if (StartsWith(text, length, position, "<b>")) {
        read.kind = mkBOLD;
        after = position + 3;
    } else if (StartsWith(text, length, position, "<i>")) {
        read.kind = mkITALIC;
        after = position + 3;
    } else if (StartsWith(text, length, position, "<u>")) {
        read.kind = mkUNDERLINE;
        after = position + 3;
    } else if (StartsWith(text, length, position, "<a href=")) {
        read.kind = mkLINK;
        DWORD at = position + 8;
        if (at < length && text[at] == '"') ++at;
        DWORD start = at;
        while (at < length && text[at] != '>' && text[at] != '"') ++at;
        read.target = string(text + start, 0, at - start);
        after = AfterClose(text, length, at);
    } else if (StartsWith(text, length, position, "<font ")) {
        after = ReadFontTag(text, length, position + 6, &read);
    }
    if (after == string::npos) return string::npos;
    if (token) *token = read;
    return after;
}

string MarkupStyle::FontDescription() const {
    string description(font);
    if (bold || italic || underline) {
        description += TEXT(",");
        if (bold) description += TEXT("B");
        if (italic) description += TEXT("I");
        if (underline) description += TEXT("U");
    }
    return description;
}

MarkupStyle ApplyMarkupToken(const MarkupStyle& style, const MarkupToken& token) {
    MarkupStyle changed(style);
    switch (token.kind) {
    case mkLINK:
        changed.link = token.target;
        break;
    case mkBOLD:
        changed.bold = TRUE;
        break;
    case mkITALIC:
        changed.italic = TRUE;
        break;
    case mkUNDERLINE:
        changed.underline = TRUE;
        break;
    case mkFONT:
    case mkCOLOR:
    case mkFONTCOLOR:
        if (token.kind != mkCOLOR && !token.font.IsEmpty()) changed.font = token.font;
        if (token.kind != mkFONT && token.colour != kNoColor) changed.colour = token.colour;
        break;
    }
    return changed;
}

// ---- layout ----

void MarkupLayout::Clear() {
    runs_.clear();
    height_ = 0;
}

const MarkupRun* MarkupLayout::RunAt(POINT point) const {
    for (const MarkupRun& run : runs_)
        if (PtInRect(&run.rect, point)) return &run;
    return nullptr;
}

void MarkupLayout::FinishLine(DWORD firstRun, LONG top, LONG width, DWORD textLayout, LONG* lineHeight) {
    LONG height = 0, lineWidth = 0;
    DWORD count = runs_.size();
    for (DWORD i = firstRun; i < count; ++i) {
        const RECT& r = runs_[i].rect;
        if (r.bottom - r.top > height) height = r.bottom - r.top;
        lineWidth += r.right - r.left;
    }
    if (firstRun >= count) height = kMarkupBlankLine;
    LONG shift = 0;
    if (textLayout == mlRIGHT)
        shift = width - lineWidth;
    else if (textLayout == mlCENTER)
        shift = (width - lineWidth) / 2;
    for (DWORD i = firstRun; i < count; ++i) {
        RECT& r = runs_[i].rect;
        LONG runHeight = r.bottom - r.top;
        OffsetRect(&r, shift, 0);
        r.bottom = top + height;
        r.top = r.bottom - runHeight;
    }
    *lineHeight = height;
}

LONG MarkupLayout::Layout(const string& source, LONG width, const MarkupStyle& base, DWORD textLayout,
                          MarkupMeasurer* measurer) {
    Clear();
    const TCHAR* text = source.GetChars();
    DWORD length = source.GetLength();
    if (width < 1) width = 1;

    // The style stack: level 0 is the base and is never popped. Levels above the depth are kept for reuse.
    cetl::vector<MarkupStyle> stack;
    stack.push_back(base);
    DWORD depth = 0;

    LONG lineTop = 0; // top of the current line, extra spacing included
    LONG x = 0;       // the current point along the line
    bool lineOpen = false;
    bool newLine = true; // the next run starts a new line
    DWORD lineFirst = 0;
    DWORD position = 0;
    // Every tag ends with a ">": a "<" after the last one is text without looking further, which keeps a
    // text full of unclosed tags from being scanned to its end at each of them.
    DWORD lastClose = 0;
    for (DWORD i = length; i > 0; --i)
        if (text[i - 1] == '>') {
            lastClose = i - 1;
            break;
        }

    while (position < length) {
        // A tag changes the style and makes no run; it does not start a line either.
        if (text[position] == '<' && position < lastClose) {
            MarkupToken token;
            DWORD after = ReadMarkupTag(text, length, position, &token);
            if (after != string::npos) {
                if (token.kind == mkCLOSE) {
                    if (depth > 0) --depth;
                } else {
                    MarkupStyle changed = ApplyMarkupToken(stack[depth], token);
                    ++depth;
                    stack[depth] = changed; // grows the stack by one level when needed
                }
                position = after;
                continue;
            }
        }

        if (newLine) {
            LONG extra = 0;
            if (IsBreak(text[position])) {
                // One line break ends the line; each further one adds a blank line's spacing. A CR LF pair
                // counts as one break.
                bool cr = text[position] == '\r';
                ++position;
                if (cr && position < length && text[position] == '\n') ++position;
                while (position < length && IsBreak(text[position])) {
                    cr = text[position] == '\r';
                    ++position;
                    if (cr && position < length && text[position] == '\n') ++position;
                    extra += kMarkupBlankLine;
                }
            }
            if (lineOpen) {
                LONG lineHeight;
                FinishLine(lineFirst, lineTop, width, textLayout, &lineHeight);
                lineTop += lineHeight;
            }
            lineTop += extra;
            lineFirst = runs_.size();
            lineOpen = true;
            x = 0;
            newLine = false;
            if (position >= length) {
                // Trailing breaks leave no empty last line.
                lineOpen = false;
                break;
            }
        }

        // A run: up to a line break, the end, or a tag (a "<" that is no tag is ordinary text).
        DWORD end = position;
        if (IsBreak(text[end])) {
            newLine = true;
            continue;
        }
        LONG remaining = width - x;
        // No character is narrower than a pixel, so more than `remaining` characters never fit: looking
        // at only that many (and one more, to know the run goes on) keeps a long word from costing its
        // whole length at every line.
        DWORD room = remaining > 0 ? static_cast<DWORD>(remaining) : 0;
        DWORD limit = room + 2 < length - position ? position + room + 2 : length;
        while (end < limit && !IsBreak(text[end])) {
            if (text[end] == '<' && end > position && end < lastClose &&
                ReadMarkupTag(text, length, end, nullptr) != string::npos)
                break;
            ++end;
        }
        const MarkupStyle& style = stack[depth];
        DWORD count = end - position;
        DWORD fit = remaining > 0 ? measurer->Fit(style, text + position, count, remaining) : 0;
        if (fit > count) fit = count;
        DWORD take = count, skip = 0;
        if (fit < count) {
            // Break at the last blank that still fits; the blanks at a break are not drawn.
            DWORD cut = fit;
            while (cut > 0 && text[position + cut] != ' ' && text[position + cut] != '\t') --cut;
            // Blanks alone before the break make no word: that is nothing fitting either.
            DWORD firstWord = 0;
            while (firstWord < cut &&
                   (text[position + firstWord] == ' ' || text[position + firstWord] == '\t'))
                ++firstWord;
            if (firstWord == cut && x > 0) cut = 0;
            if (cut > 0) {
                take = cut;
                skip = cut;
                while (position + skip < length &&
                       (text[position + skip] == ' ' || text[position + skip] == '\t'))
                    ++skip;
                skip -= take;
            } else if (x > 0) {
                // Nothing fits after what the line holds: try again on a new line, which does not start
                // with the blanks that separated the words.
                newLine = true;
                while (position < length && (text[position] == ' ' || text[position] == '\t')) ++position;
                continue;
            } else {
                take = fit > 0 ? fit : 1; // a word wider than the line is split where it no longer fits
            }
        }
        SIZE size = measurer->Extent(style, text + position, take);
        MarkupRun run;
        run.text = string(text + position, 0, take);
        run.style = style;
        SetRect(&run.rect, x, lineTop, x + size.cx, lineTop + size.cy);
        runs_.push_back(run);
        x += size.cx;
        position += take + skip;
        if (take < count || x >= width)
            newLine = true;
        else if (end < length && IsBreak(text[end]))
            newLine = true;
    }
    if (lineOpen) {
        LONG lineHeight;
        FinishLine(lineFirst, lineTop, width, textLayout, &lineHeight);
        lineTop += lineHeight;
    }
    height_ = lineTop;
    return height_;
}

LONG MeasureMarkup(const string& text, LONG width, const MarkupStyle& base, MarkupMeasurer* measurer) {
    MarkupLayout layout;
    return layout.Layout(text, width, base, mlLEFT, measurer);
}
