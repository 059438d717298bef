// Markup text of skinned controls: a few HTML-like tags (<b>, <i>, <u>, <font ...>, <a href=...> and any
// closing tag) read into tokens, a style stack, and the layout of a text into positioned runs that wrap
// at a width. Layout measures through an interface, so the rules run without a window.
#pragma once

#include <windows.h>

#include "cea_graphic.h"
#include "cetl_vector.h"
#include "tl_string.h"

// Kinds of tag token.
enum {
    mkLINK = 0,      // "<a href=": carries the target
    mkBOLD = 1,      // "<b>"
    mkITALIC = 2,    // "<i>"
    mkUNDERLINE = 3, // "<u>"
    mkFONT = 4,      // "<font " with face and/or size: carries the font text
    mkCOLOR = 5,     // "<font " with color only: carries the colour
    mkFONTCOLOR = 6, // "<font " with color and face and/or size: both
    mkCLOSE = 7,     // any "</...>"
    mkTEXT = 8       // no tag
};

struct MarkupToken {
    DWORD kind;
    string font;
    COLORREF colour;
    string target;
    MarkupToken() : kind(mkTEXT), colour(kNoColor) {}
};

// Reads the tag at text[position] (the text is `length` characters long). Returns the position after the
// tag and fills `token`, or string::npos when no tag starts there (the "<" is then ordinary text).
DWORD ReadMarkupTag(const TCHAR* text, DWORD length, DWORD position, MarkupToken* token);

// One level of the style stack.
struct MarkupStyle {
    BOOL bold;
    BOOL italic;
    BOOL underline;
    string font; // a font description: face, size, style letters ("Arial,-14,I")
    COLORREF colour;
    string link; // target of a link, empty outside links
    MarkupStyle() : bold(FALSE), italic(FALSE), underline(FALSE), colour(0) {}
    // The font description with the style flags added as letters.
    string FontDescription() const;
};

// Applies a token of kind 0 to 6 to a copy of `style`.
MarkupStyle ApplyMarkupToken(const MarkupStyle& style, const MarkupToken& token);

// A laid-out piece of text: its rectangle relative to the layout rectangle's top left, and its style.
struct MarkupRun {
    string text;
    RECT rect;
    MarkupStyle style;
};

// Text layouts.
enum { mlLEFT = 0, mlRIGHT = 1, mlCENTER = 2 };

// Measures text in a style on one line.
class MarkupMeasurer {
public:
    virtual ~MarkupMeasurer() {}
    // Width and height of text[0, count).
    virtual SIZE Extent(const MarkupStyle& style, const TCHAR* text, DWORD count) = 0;
    // How many leading characters of text[0, count) fit within `width` pixels (0 when not even one).
    virtual DWORD Fit(const MarkupStyle& style, const TCHAR* text, DWORD count, LONG width) = 0;
};

// Blank lines are this many pixels high, not a full line; so is a line without runs.
const LONG kMarkupBlankLine = 8;

// The runs of a text laid out into `width` pixels from a base style. Rebuilt by each Layout.
class MarkupLayout {
public:
    MarkupLayout() : height_(0) {}
    // Fills the runs and returns the total height.
    LONG Layout(const string& text, LONG width, const MarkupStyle& base, DWORD textLayout,
                MarkupMeasurer* measurer);
    void Clear();
    DWORD GetRunCount() const { return runs_.size(); }
    const MarkupRun& GetRun(DWORD index) const { return runs_[index]; }
    LONG GetHeight() const { return height_; }
    // The run under a point relative to the layout, or null.
    const MarkupRun* RunAt(POINT point) const;

private:
    void FinishLine(DWORD firstRun, LONG top, LONG width, DWORD textLayout, LONG* lineHeight);

    cetl::vector<MarkupRun> runs_;
    LONG height_;
};

// The total height of a text laid out into `width` pixels.
LONG MeasureMarkup(const string& text, LONG width, const MarkupStyle& base, MarkupMeasurer* measurer);
