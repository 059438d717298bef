// Behaviour of sformat: the typed argument list, positional references,
// inline conversions and the formatting of each kind of value.
#include "tl_format.h"
#include "tl_language.h"
#include "tl_variant.h"

#include "string_table_module.h"

#include <gtest/gtest.h>

#include <string.h>

#include <limits>
#include <string>

namespace {

// Messages 100 (English) and 101 (Esperanto), and a message whose English
// text continues in resource 112.
::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ResourceModuleEnvironment({{1, L"EN,EO"},
                                                                       {100, L"%{ld,s} Installing %2"},
                                                                       {101, L"%{ld,s} Instalas %2"},
                                                                       {110, L"Done+"},
                                                                       {112, L" at last"}}));

std::string Bytes(const string& s) { return s.Psz8(); }

// The 32-bit pattern of a float, the way callers pass an "f" argument.
int FloatBits(float value) {
    int bits;
    memcpy(&bits, &value, sizeof(bits));
    return bits;
}

TEST(FormatTypedList, ArgumentsAreReferencedByPosition) {
    EXPECT_EQ("Installing file.txt\n40% complete",
              Bytes(sformat("%{ld,s} Installing %2\n%1%% complete", 40, TEXT("file.txt"))));
    EXPECT_EQ("b-a-b", Bytes(sformat(L"%{s,s}%2-%1-%2", TEXT("a"), TEXT("b"))));
    // Only one blank after the list is skipped.
    EXPECT_EQ(" x", Bytes(sformat("%{s}  %1", TEXT("x"))));
    EXPECT_EQ("x", Bytes(sformat("%{s}\t%1", TEXT("x"))));
    // Semicolons separate as commas do.
    EXPECT_EQ("1,2", Bytes(sformat("%{d;d}%1,%2", 1, 2)));
}

TEST(FormatTypedList, EveryListedArgumentIsFetchedEvenWhenUnused) {
    EXPECT_EQ("", Bytes(sformat("%{s,ld,ld}", TEXT("a"), 1, 2)));
    // The inline conversion takes the argument after the three listed ones.
    EXPECT_EQ("77", Bytes(sformat("%{s,ld,ld}%d", TEXT("a"), 1, 2, 77)));
    EXPECT_EQ("9:5:x", Bytes(sformat("%{s,ld}%d:%2:%1", TEXT("x"), 5, 9)));
}

TEST(FormatTypedList, ABlankSeparatorGivesAnEmptyConversionThatFetchesNothing) {
    EXPECT_EQ("1|(?)|x", Bytes(sformat("%{ld, s}%1|%2|%3", 1, TEXT("x"))));
    EXPECT_EQ("(?)", Bytes(sformat("%{}%1")));
    EXPECT_EQ("(?)/7", Bytes(sformat("%{q}%1/%d", 7)));
    // A list without its closing brace ends with the text.
    EXPECT_EQ("", Bytes(sformat("%{ld", 3)));
}

TEST(FormatPositions, BadPositionsGiveAPlaceholder) {
    EXPECT_EQ("(?)", Bytes(sformat("%{ld}%2", 1)));
    EXPECT_EQ("(?)", Bytes(sformat("%{ld}%0", 1)));
    EXPECT_EQ("(?)", Bytes(sformat("%1")));
    EXPECT_EQ("a(?)", Bytes(sformat("a%")));
    EXPECT_EQ("(?)!", Bytes(sformat("%!")));
    EXPECT_EQ("100%", Bytes(sformat("100%%")));
    EXPECT_EQ("x x", Bytes(sformat("%{s}%1 %1", TEXT("x"))));
}

TEST(FormatPositions, WhatFollowsTheFirstDotIsGivenBack) {
    EXPECT_EQ("end.", Bytes(sformat("%{s}%1.", TEXT("end"))));
    EXPECT_EQ("3.5", Bytes(sformat("%{ld}%1.5", 3)));
    EXPECT_EQ("3..", Bytes(sformat("%{ld}%1..", 3)));
    // A size letter without a type letter is swallowed with the position.
    EXPECT_EQ("3", Bytes(sformat("%{ld}%1l", 3)));
}

TEST(FormatLongs, FlagsWidthAndSign) {
    EXPECT_EQ("[42   ]", Bytes(sformat("%{-5ld}[%1]", 42)));
    EXPECT_EQ("00-42", Bytes(sformat("%{05ld}%1", -42)));
    EXPECT_EQ("+7", Bytes(sformat("%{+ld}%1", 7)));
    EXPECT_EQ("-7", Bytes(sformat("%{+ld}%1", -7)));
    EXPECT_EQ("   42", Bytes(sformat("%{5d}%1", 42)));
    EXPECT_EQ("42", Bytes(sformat("%{1d}%1", 42)));
    EXPECT_EQ("-2147483648", Bytes(sformat("%{ld}%1", static_cast<int>(0x80000000u))));
}

// Left alignment wins over zero padding: the padding goes on the right, as
// spaces, whichever order the flags come in and for every kind of value.
TEST(FormatLongs, LeftAlignmentPadsWithSpacesEvenWithTheZeroFlag) {
    EXPECT_EQ("[42   ]", Bytes(sformat("%{-05ld}[%1]", 42)));
    EXPECT_EQ("[42   ]", Bytes(sformat("%{0-5ld}[%1]", 42)));
    EXPECT_EQ("[-42  ]", Bytes(sformat("%{-05ld}[%1]", -42)));
    EXPECT_EQ("[ab   ]", Bytes(sformat("%{-05s}[%1]", TEXT("ab"))));
    EXPECT_EQ("[2.5   ]", Bytes(sformat("%{-06.1lf}[%1]", 2.5)));
}

TEST(FormatLongs, HexUnsignedAndShortValues) {
    EXPECT_EQ("ff", Bytes(sformat("%{x}%1", 255)));
    EXPECT_EQ("FF", Bytes(sformat("%{X}%1", 255)));
    EXPECT_EQ("-1", Bytes(sformat("%{x}%1", -1))); // hex keeps the sign
    EXPECT_EQ("4294967295", Bytes(sformat("%{lu}%1", -1)));
    EXPECT_EQ("4294967295", Bytes(sformat("%{u}%1", -1)));
    EXPECT_EQ("9029", Bytes(sformat("%{hd}%1", 0x12345))); // low 16 bits
    EXPECT_EQ("-1", Bytes(sformat("%{hd}%1", 0xFFFF)));
    // The low 16 bits are taken as signed; "u" then shows the 32-bit pattern.
    EXPECT_EQ("4294967295", Bytes(sformat("%{hu}%1", 0xFFFF)));
}

TEST(FormatLongs, CharactersTakeTheLowEightBits) {
    EXPECT_EQ("A", Bytes(sformat("%{c}%1", 0x141)));
    EXPECT_EQ("[  A]", Bytes(sformat("%{3c}[%1]", 'A')));
    EXPECT_EQ("xy", Bytes(sformat("%c%c", 'x', 'y')));
    EXPECT_EQ("", Bytes(sformat("%c", 0x100))); // a 0 character adds nothing
}

TEST(FormatDoubles, DigitsAreTruncatedAndALeadingZeroNeedsTheZeroFlag) {
    EXPECT_EQ(".25", Bytes(sformat("%{.2lf}%1", 0.257)));
    EXPECT_EQ("0.25", Bytes(sformat("%{0.2lf}%1", 0.257)));
    EXPECT_EQ("2.50000000", Bytes(sformat("%{lf}%1", 2.5)));
    EXPECT_EQ("2", Bytes(sformat("%{.0lf}%1", 2.9)));
    EXPECT_EQ("0", Bytes(sformat("%{.0lf}%1", 0.9)));
    EXPECT_EQ("-.5", Bytes(sformat("%{.1lf}%1", -0.5)));
    EXPECT_EQ("+2.2", Bytes(sformat("%{+.1lf}%1", 2.25)));
    EXPECT_EQ("000-1.50", Bytes(sformat("%{08.2lf}%1", -1.5)));
    EXPECT_EQ("1.50    |", Bytes(sformat("%{-8.2lf}%1|", 1.5)));
    EXPECT_EQ("4294967295.0", Bytes(sformat("%{.1lf}%1", 1e20)));
}

TEST(FormatDoubles, DoublesTakeTwoSlotsAndFloatsOne) {
    EXPECT_EQ("2.50000000|7", Bytes(sformat("%lf|%d", 2.5, 7)));
    EXPECT_EQ("1.25|7|3.5", Bytes(sformat("%{.2lf,d}%1|%2|%.1lf", 1.25, 7, 3.5)));
    EXPECT_EQ("1.50|9", Bytes(sformat("%.2f|%d", FloatBits(1.5f), 9)));
    EXPECT_EQ("-0.75", Bytes(sformat("%{0.2f}%1", FloatBits(-0.75f))));
}

TEST(FormatStrings, TextsOfEachWidthWithPrecisionAndWidth) {
    EXPECT_EQ("abc", Bytes(sformat("%{.3s}%1", TEXT("abcdef"))));
    EXPECT_EQ("[ab    ]", Bytes(sformat("%{-6s}[%1]", TEXT("ab"))));
    EXPECT_EQ("[    ab]", Bytes(sformat("%{6s}[%1]", TEXT("ab"))));
    EXPECT_EQ("0000ab", Bytes(sformat("%{06s}%1", TEXT("ab"))));
    EXPECT_EQ("wide/narrow/native", Bytes(sformat("%ls/%hs/%s", L"wide", "narrow", TEXT("native"))));
    EXPECT_EQ("(null)", Bytes(sformat("%s", static_cast<const TCHAR*>(nullptr))));
    EXPECT_EQ("(null)", Bytes(sformat(static_cast<const CHAR*>(nullptr))));
}

TEST(FormatInline, ConversionsOfTheText) {
    EXPECT_EQ("   42", Bytes(sformat("%5d", 42)));
    EXPECT_EQ("(?)-5d", Bytes(sformat("%-5d", 42)));
    EXPECT_EQ("(?)+d", Bytes(sformat("%+d", 42)));
    EXPECT_EQ("a=1, b=ff.", Bytes(sformat("a=%ld, b=%x.", 1, 255)));
    EXPECT_EQ("12", Bytes(sformat("%hd%hu", 1, 2)));
}

TEST(FormatLimits, HugeWidthsAndPrecisionsAreCapped) {
    EXPECT_EQ(4096u, sformat("%{999999999ld}%1", 1).GetLength());
    EXPECT_EQ(4097u, sformat("%{.999999999lf}%1", 0.5).GetLength());
}

TEST(FormatResources, MessagesComeFromTheCurrentLanguage) {
    EXPECT_EQ("Installing a.txt", Bytes(sformat(100u, 5, TEXT("a.txt"))));
    EXPECT_EQ("Done at last!", Bytes(sformat("%m!", 110)));
    EXPECT_EQ("[Done at last]", Bytes(sformat("%{m}[%1]", 110)));
    EXPECT_EQ("", Bytes(sformat(200u)));
    SetLanguage(kLangEsperanto);
    std::string esperanto = Bytes(sformat(100u, 5, TEXT("a.txt")));
    SetLanguage(kLangEnglish);
    EXPECT_EQ("Instalas a.txt", esperanto);
}

TEST(Variant, ReadsAsEitherNumberKind) {
    EXPECT_EQ(Variant::kLong, Variant().GetKind());
    EXPECT_EQ(-3, Variant(-3.9).AsLong());
    EXPECT_EQ(2147483647, Variant(1e12).AsLong());
    EXPECT_EQ(-2147483647 - 1, Variant(-1e12).AsLong());
    EXPECT_EQ(0, Variant(std::numeric_limits<double>::quiet_NaN()).AsLong());
    EXPECT_DOUBLE_EQ(7.0, Variant(static_cast<LONG>(7)).AsDouble());
    Variant text{string("-12.5kg")};
    EXPECT_EQ(Variant::kString, text.GetKind());
    EXPECT_EQ(-12, text.AsLong());
    EXPECT_DOUBLE_EQ(-12.5, text.AsDouble());
    EXPECT_EQ("-12.5kg", Bytes(text.AsString()));
    EXPECT_TRUE(Variant(static_cast<LONG>(1)).AsString().IsEmpty());
}

} // namespace
