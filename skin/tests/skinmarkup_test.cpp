// Markup text: tags read into tokens, the style stack, wrapping, blank-line spacing, alignment and the
// measured height, with a measurer of fixed-width characters; hostile texts with the real fonts.
#include "skinfonts.h"
#include "skinmarkup.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const DWORD kNotATag = string::npos;

// Every character is 7 pixels wide; lines are 14 pixels high, bold ones 16.
class FixedMeasurer : public MarkupMeasurer {
public:
    SIZE Extent(const MarkupStyle& style, const TCHAR*, DWORD count) override {
        SIZE size = {static_cast<LONG>(count) * 7, style.bold ? 16 : 14};
        return size;
    }
    DWORD Fit(const MarkupStyle&, const TCHAR*, DWORD count, LONG width) override {
        DWORD fit = static_cast<DWORD>(width / 7);
        return fit < count ? fit : count;
    }
};

struct Laid {
    MarkupLayout layout;
    LONG height;
    Laid(const char* text, LONG width, DWORD align = mlLEFT) {
        FixedMeasurer measurer;
        MarkupStyle base;
        base.font = "Arial,-14";
        base.colour = RGB(1, 2, 3);
        height = layout.Layout(string(text), width, base, align, &measurer);
    }
    std::string Text(DWORD i) const { return layout.GetRun(i).text.Psz8(); }
    const RECT& Rect(DWORD i) const { return layout.GetRun(i).rect; }
    const MarkupStyle& Style(DWORD i) const { return layout.GetRun(i).style; }
};

void ExpectRect(const RECT& r, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(left, r.left);
    EXPECT_EQ(top, r.top);
    EXPECT_EQ(right, r.right);
    EXPECT_EQ(bottom, r.bottom);
}

TEST(MarkupTags, ReadEachKindAndWhereItEnds) {
    MarkupToken t;
    const char* bold = "<B>x";
    EXPECT_EQ(3u, ReadMarkupTag(bold, 4, 0, &t));
    EXPECT_EQ(static_cast<DWORD>(mkBOLD), t.kind);
    EXPECT_EQ(3u, ReadMarkupTag("<u>", 3, 0, &t));
    EXPECT_EQ(static_cast<DWORD>(mkUNDERLINE), t.kind);
    const char* close = "</whatever>z";
    EXPECT_EQ(11u, ReadMarkupTag(close, 12, 0, &t));
    EXPECT_EQ(static_cast<DWORD>(mkCLOSE), t.kind);

    const char* title = "<font face=arial size=18><i>";
    EXPECT_EQ(25u, ReadMarkupTag(title, 28, 0, &t));
    EXPECT_EQ(static_cast<DWORD>(mkFONT), t.kind);
    EXPECT_STREQ("arial,18", t.font.Psz8());
    const char* sizeOnly = "<font size=9>";
    ReadMarkupTag(sizeOnly, 13, 0, &t);
    EXPECT_STREQ(",9", t.font.Psz8());
    const char* colour = "<FONT COLOR=#FF8000>";
    ReadMarkupTag(colour, 20, 0, &t);
    EXPECT_EQ(static_cast<DWORD>(mkCOLOR), t.kind);
    EXPECT_EQ(RGB(0xFF, 0x80, 0), t.colour);
    const char* both = "<font face=\"Times New Roman\" color=#0000FF>";
    EXPECT_EQ(43u, ReadMarkupTag(both, 43, 0, &t));
    EXPECT_EQ(static_cast<DWORD>(mkFONTCOLOR), t.kind);
    EXPECT_STREQ("Times New Roman", t.font.Psz8());
    EXPECT_EQ(RGB(0, 0, 0xFF), t.colour);

    const char* link = "<a href=\"mailto:help@vexlin.example\">mail</a>";
    EXPECT_EQ(37u, ReadMarkupTag(link, 45, 0, &t));
    EXPECT_EQ(static_cast<DWORD>(mkLINK), t.kind);
    EXPECT_STREQ("mailto:help@vexlin.example", t.target.Psz8());
}

TEST(MarkupTags, UnfinishedOrUnknownTagsAreText) {
    MarkupToken t;
    EXPECT_EQ(kNotATag, ReadMarkupTag("<b", 2, 0, &t));
    EXPECT_EQ(kNotATag, ReadMarkupTag("<bx>", 4, 0, &t));
    EXPECT_EQ(kNotATag, ReadMarkupTag("<p>", 3, 0, &t));
    EXPECT_EQ(kNotATag, ReadMarkupTag("</b", 3, 0, &t));
    EXPECT_EQ(kNotATag, ReadMarkupTag("<font size=3", 12, 0, &t));
    EXPECT_EQ(kNotATag, ReadMarkupTag("x<b>", 4, 0, &t));
    // The reader never looks past the given length.
    EXPECT_EQ(kNotATag, ReadMarkupTag("<b>", 2, 0, &t));
}

TEST(MarkupLayout, OneBoldRunAndTheEmptyText) {
    Laid install("<b>Install</b>", 200);
    ASSERT_EQ(1u, install.layout.GetRunCount());
    EXPECT_EQ("Install", install.Text(0));
    EXPECT_TRUE(install.Style(0).bold);
    EXPECT_FALSE(install.Style(0).italic);
    ExpectRect(install.Rect(0), 0, 0, 49, 16);
    EXPECT_EQ(16, install.height);

    Laid empty("", 200);
    EXPECT_EQ(0u, empty.layout.GetRunCount());
    EXPECT_EQ(0, empty.height);
}

TEST(MarkupLayout, ThreeLineBreaksAfterABoldLineGiveSixteenPixelsOfSpacing) {
    Laid thanks("<b>Thank you!</b>\n\n\nWe hope you enjoy it.", 70);
    ASSERT_EQ(4u, thanks.layout.GetRunCount());
    EXPECT_EQ("Thank you!", thanks.Text(0));
    EXPECT_TRUE(thanks.Style(0).bold);
    ExpectRect(thanks.Rect(0), 0, 0, 70, 16);
    // The sentence wraps at blanks into lines of at most ten characters.
    EXPECT_EQ("We hope", thanks.Text(1));
    EXPECT_EQ("you enjoy", thanks.Text(2));
    EXPECT_EQ("it.", thanks.Text(3));
    ExpectRect(thanks.Rect(1), 0, 32, 49, 46);
    ExpectRect(thanks.Rect(2), 0, 46, 63, 60);
    ExpectRect(thanks.Rect(3), 0, 60, 21, 74);
    EXPECT_FALSE(thanks.Style(1).bold);
    EXPECT_EQ(74, thanks.height);

    // One blank line is 8 pixels; a CR LF pair is one break.
    Laid blank("a\r\n\r\nb", 100);
    ASSERT_EQ(2u, blank.layout.GetRunCount());
    ExpectRect(blank.Rect(1), 0, 22, 7, 36);
}

TEST(MarkupLayout, ClosingTagsPopOneLevelAndNeverTheBase) {
    Laid nested("<b><i>x</font>y</b>z</i></u>w", 200);
    ASSERT_EQ(4u, nested.layout.GetRunCount());
    EXPECT_TRUE(nested.Style(0).bold && nested.Style(0).italic);
    EXPECT_TRUE(nested.Style(1).bold);
    EXPECT_FALSE(nested.Style(1).italic);
    EXPECT_FALSE(nested.Style(2).bold);
    EXPECT_FALSE(nested.Style(3).bold);
    EXPECT_STREQ("Arial,-14", nested.Style(3).font.Psz8());
    EXPECT_EQ(RGB(1, 2, 3), nested.Style(3).colour);
    // Runs of one line share its bottom: the bold ones are taller.
    EXPECT_EQ(16, nested.Rect(2).bottom);
    EXPECT_EQ(2, nested.Rect(2).top);

    Laid font("<font face=Tahoma color=#00FF00>g<font size=20>h</font>i</font>j", 200);
    ASSERT_EQ(4u, font.layout.GetRunCount());
    EXPECT_STREQ("Tahoma", font.Style(0).font.Psz8());
    EXPECT_EQ(RGB(0, 0xFF, 0), font.Style(0).colour);
    EXPECT_STREQ(",20", font.Style(1).font.Psz8());
    EXPECT_EQ(RGB(0, 0xFF, 0), font.Style(1).colour);
    EXPECT_STREQ("Tahoma", font.Style(2).font.Psz8());
    EXPECT_STREQ("Arial,-14", font.Style(3).font.Psz8());
    EXPECT_EQ(RGB(1, 2, 3), font.Style(3).colour);
}

TEST(MarkupLayout, UnfinishedTagIsPlainText) {
    Laid text("a<b c", 200);
    ASSERT_EQ(1u, text.layout.GetRunCount());
    EXPECT_EQ("a<b c", text.Text(0));
    EXPECT_FALSE(text.Style(0).bold);
    Laid after("x <b>y", 200);
    ASSERT_EQ(2u, after.layout.GetRunCount());
    EXPECT_EQ("x ", after.Text(0));
    EXPECT_TRUE(after.Style(1).bold);
    ExpectRect(after.Rect(1), 14, 0, 21, 16);
}

TEST(MarkupLayout, AWordWiderThanTheLineIsSplitWhereItNoLongerFits) {
    Laid word("abcdefghijklmnop", 50);
    ASSERT_EQ(3u, word.layout.GetRunCount());
    EXPECT_EQ("abcdefg", word.Text(0));
    EXPECT_EQ("hijklmn", word.Text(1));
    EXPECT_EQ("op", word.Text(2));
    EXPECT_EQ(42, word.height);
    // A line narrower than one character still takes one per line.
    Laid narrow("abc", 3);
    EXPECT_EQ(3u, narrow.layout.GetRunCount());
    // After a run on the line, a word that does not fit moves to the next line whole.
    Laid moved("<b>ab</b>cdefgh", 50);
    ASSERT_EQ(2u, moved.layout.GetRunCount());
    EXPECT_EQ("cdefgh", moved.Text(1));
    EXPECT_EQ(0, moved.Rect(1).left);
    EXPECT_EQ(16, moved.Rect(1).top);
    // A run moved to the next line leaves its leading blanks behind.
    Laid blanks("<b>abcdef</b>  gh", 50);
    ASSERT_EQ(2u, blanks.layout.GetRunCount());
    EXPECT_EQ("gh", blanks.Text(1));
    ExpectRect(blanks.Rect(1), 0, 16, 14, 30);
}

TEST(MarkupLayout, LinesAlignRightOrCentreByTheirOwnWidth) {
    Laid right("ab\nabcd", 100, mlRIGHT);
    ExpectRect(right.Rect(0), 86, 0, 100, 14);
    ExpectRect(right.Rect(1), 72, 14, 100, 28);
    Laid centre("ab", 100, mlCENTER);
    ExpectRect(centre.Rect(0), 43, 0, 57, 14);
    FixedMeasurer measurer;
    EXPECT_EQ(28, MeasureMarkup(string("abcd efgh"), 40, MarkupStyle(), &measurer));
}

TEST(MarkupLayout, LinksKeepTheirTargetAndAreFoundByPoint) {
    Laid mail("Write to <a href=\"mailto:help@vexlin.example\">us</a>.", 300);
    ASSERT_EQ(3u, mail.layout.GetRunCount());
    EXPECT_STREQ("mailto:help@vexlin.example", mail.Style(1).link.Psz8());
    EXPECT_TRUE(mail.Style(2).link.IsEmpty());
    POINT on = {65, 5}, off = {10, 5};
    ASSERT_NE(nullptr, mail.layout.RunAt(on));
    EXPECT_STREQ("us", mail.layout.RunAt(on)->text.Psz8());
    EXPECT_TRUE(mail.layout.RunAt(off)->style.link.IsEmpty());
}

// Hostile texts with the real fonts: no crash, no hang, every character laid out once.
TEST(MarkupLayout, HostileTextsLayOutInBoundedTime) {
    SkinFonts fonts;
    MarkupStyle base;
    base.font = "Arial,-14";
    MarkupLayout layout;

    std::string nested;
    for (int i = 0; i < 10000; ++i) nested += (i % 3 == 0) ? "<b>" : (i % 3 == 1) ? "<i>" : "<font size=9>";
    nested += "deep";
    DWORD start = GetTickCount();
    layout.Layout(string(nested.c_str()), 200, base, mlLEFT, &fonts);
    ASSERT_EQ(1u, layout.GetRunCount());
    EXPECT_TRUE(layout.GetRun(0).style.bold && layout.GetRun(0).style.italic);

    std::string unbalanced = "</b></b></i>x<b>y</i></font><a href=z";
    for (int i = 0; i < 20000; ++i) unbalanced += "<font ";
    layout.Layout(string(unbalanced.c_str()), 200, base, mlCENTER, &fonts);
    EXPECT_GT(layout.GetRunCount(), 0u);

    std::string word(1 << 20, 'W');
    LONG height = layout.Layout(string(word.c_str()), 200, base, mlLEFT, &fonts);
    DWORD characters = 0;
    for (DWORD i = 0; i < layout.GetRunCount(); ++i) {
        characters += layout.GetRun(i).text.GetLength();
        ASSERT_LE(layout.GetRun(i).rect.right, 200) << i;
    }
    EXPECT_EQ(1u << 20, characters);
    EXPECT_GT(height, 1000);
    EXPECT_LT(GetTickCount() - start, 20000u);
}

TEST(MarkupLayout, RealFontsMeasureBoldWiderAndWrapToTheWidth) {
    SkinFonts fonts;
    MarkupStyle base;
    base.font = "Arial,-14";
    MarkupLayout plain, bold;
    plain.Layout(string("Install Vexlin"), 500, base, mlLEFT, &fonts);
    bold.Layout(string("<b>Install Vexlin</b>"), 500, base, mlLEFT, &fonts);
    ASSERT_EQ(1u, plain.GetRunCount());
    ASSERT_EQ(1u, bold.GetRunCount());
    EXPECT_GT(bold.GetRun(0).rect.right, plain.GetRun(0).rect.right);
    EXPECT_GE(plain.GetHeight(), 12);
    LONG one = plain.GetHeight();
    LONG wrapped = MeasureMarkup(string("Install Vexlin on this computer now"), 60, base, &fonts);
    EXPECT_GE(wrapped, 3 * one);
}

} // namespace
