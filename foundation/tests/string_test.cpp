// Behaviour of `string` and `istring` and of the character-string helpers, in
// the width this program was built with.
#include "tl_language.h"
#include "tl_string.h"

#include "mem_manager.h"
#include "string_table_module.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const DWORD npos = string::npos;

// String 1 lists English and Esperanto, so that Esperanto can be made
// current.
::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ResourceModuleEnvironment({{1, L"EN,EO"}}));

std::string Bytes(const string& s) { return s.Psz8(); }

const MemBlock* BlockOf(const void* p) {
    const MemBlock* block = MemFindBlock(p);
    EXPECT_NE(nullptr, block);
    return block;
}

TEST(StringConstruction, DefaultIsEmptyWithABuffer) {
    string s;
    EXPECT_EQ(0u, s.GetLength());
    EXPECT_EQ(0u, s.Length());
    EXPECT_TRUE(s.IsEmpty());
    ASSERT_NE(nullptr, s.Psz());
    EXPECT_EQ(0, s.Psz()[0]);
    EXPECT_EQ(49u, s.GetCapacity());
}

TEST(StringConstruction, NullPointersReadAsNull) {
    EXPECT_EQ("(null)", Bytes(string(static_cast<const CHAR*>(nullptr))));
    EXPECT_EQ("(null)", Bytes(string(static_cast<const WCHAR*>(nullptr))));
    string s("x");
    s = static_cast<const CHAR*>(nullptr);
    EXPECT_EQ("(null)", Bytes(s));
    s = static_cast<const WCHAR*>(nullptr);
    EXPECT_EQ(6u, s.GetLength());
    s += static_cast<const CHAR*>(nullptr);
    s.Append(static_cast<const WCHAR*>(nullptr));
    EXPECT_EQ("(null)(null)(null)", Bytes(s));
}

TEST(StringConstruction, StartAndCountSelectAPartOfEitherWidth) {
    EXPECT_EQ("cde", Bytes(string("abcdef", 2, 3)));
    EXPECT_EQ("cdef", Bytes(string(L"abcdef", 2)));
    EXPECT_EQ("bc", Bytes(string(string("abcd"), 1, 2)));
    // Ranges beyond the source end at its terminator.
    EXPECT_EQ("", Bytes(string("abc", 7)));
    EXPECT_EQ("bc", Bytes(string(L"abc", 1, 50)));
    EXPECT_EQ(2u, string("abc", 1, 50).GetLength());
}

TEST(StringConstruction, CopiesOwnTheirBuffers) {
    string a("abc");
    string b(a);
    b += "d";
    EXPECT_EQ("abc", Bytes(a));
    EXPECT_EQ("abcd", Bytes(b));
    EXPECT_NE(a.Psz(), b.Psz());
    istring i(a);
    EXPECT_EQ("abc", Bytes(i));
}

TEST(StringReserve, GrowthKeepsSixteenSpareAndAddsTheClampedLength) {
    string s;
    s.Reserve(33); // 33 + 16 <= 49: nothing happens
    EXPECT_EQ(49u, s.GetCapacity());
    s.Reserve(100);
    EXPECT_EQ(148u, s.GetCapacity());

    string longer("0123456789012345678901234567890123456789"); // 40 characters
    longer.Reserve(200);
    EXPECT_EQ(200u + 16 + 40, longer.GetCapacity());
    EXPECT_EQ("0123456789012345678901234567890123456789", Bytes(longer));

    const MemBlock* block = BlockOf(s.Psz());
    EXPECT_STREQ("sizeof(TCHAR) * cchMin", block->tag);
    EXPECT_STREQ("tl_string", block->file);
    EXPECT_EQ(148u * sizeof(TCHAR), block->requested);
}

// Growth adds the current length, but never more than 0x100000 characters,
// however long the text already is.
TEST(StringReserve, GrowthByTheLengthStopsAtOneMegaCharacter) {
    auto ofLength = [](DWORD length) {
        string s;
        TCHAR* buffer = s.GetBuffer(length + 1);
        for (DWORD i = 0; i < length; ++i) buffer[i] = static_cast<TCHAR>('a' + i % 26);
        buffer[length] = 0;
        EXPECT_EQ(length, s.UpdateLength());
        return s;
    };
    string below = ofLength(0x90000);
    DWORD wanted = below.GetCapacity() + 100;
    below.Reserve(wanted);
    EXPECT_EQ(wanted + 16 + 0x90000, below.GetCapacity());
    EXPECT_EQ(0x90000u, below.GetLength());
    EXPECT_EQ('a' + (0x90000 - 1) % 26, below.Psz()[0x90000 - 1]);

    string above = ofLength(0x100000 + 0x1234);
    wanted = above.GetCapacity() + 100;
    above.Reserve(wanted);
    EXPECT_EQ(wanted + 16 + 0x100000, above.GetCapacity());
    EXPECT_EQ(0x101234u, above.GetLength());
    EXPECT_EQ('a' + (0x101234 - 1) % 26, above.Psz()[0x101234 - 1]);
}

TEST(StringReserve, ScratchBuffersTakeExactlyTheNeedPlus48) {
    string s;
    s.Reserve8(10);
    EXPECT_EQ(58u, s.GetCapacity8());
    s.Reserve8(5);
    EXPECT_EQ(58u, s.GetCapacity8());
    s.Reserve16(100);
    EXPECT_EQ(148u, s.GetCapacity16());
    // Handing out the other width reserves 4 * (characters + 1) units.
    string probe(TEXT("x"));
#ifdef UNICODE
    EXPECT_STREQ("sizeof(CHAR) * cchMin", BlockOf(probe.GetChars8())->tag);
    EXPECT_EQ(56u, probe.GetCapacity8());
    EXPECT_EQ(0u, probe.GetCapacity16());
#else
    EXPECT_STREQ("sizeof(WCHAR) * cchMin", BlockOf(probe.GetChars16())->tag);
    EXPECT_EQ(56u, probe.GetCapacity16());
    EXPECT_EQ(0u, probe.GetCapacity8());
#endif
    // Putting text of the other width converts it into the native scratch.
    string put;
#ifdef UNICODE
    put.Put(0, "abc");
    EXPECT_EQ(64u, put.GetCapacity16());
#else
    put.Put(0, L"abc");
    EXPECT_EQ(64u, put.GetCapacity8());
#endif
    EXPECT_EQ("abc", Bytes(put));
}

TEST(StringPut, FillsAGapWithSpacesAndOverwritesInPlaceWithACount) {
    string s("xy");
    s.Put(5, "ab");
    EXPECT_EQ("xy   ab", Bytes(s));
    EXPECT_EQ(7u, s.GetLength());

    string t("abcd");
    t.Put(1, "Z", 0, 1);
    EXPECT_EQ("aZcd", Bytes(t));
    t.Put(1, L"QQQ", 1, 1);
    EXPECT_EQ("aQcd", Bytes(t));
    t.Put(2, "XYZ", 0, 3); // reaches past the end: the string ends after it
    EXPECT_EQ("aQXYZ", Bytes(t));
    t.Put(1, "k"); // whole text: the string ends after it
    EXPECT_EQ("ak", Bytes(t));
    t.Assign("hello", 1, 3);
    EXPECT_EQ("ell", Bytes(t));
    t.Assign(L"w");
    EXPECT_EQ("w", Bytes(t));
}

TEST(StringPut, WorksOnItsOwnText) {
    string s("abc");
    s += s;
    EXPECT_EQ("abcabc", Bytes(s));
    s.Append(s.Psz());
    EXPECT_EQ("abcabcabcabc", Bytes(s));
    s = s;
    EXPECT_EQ(12u, s.GetLength());
    s.Put(0, s.Psz(), 9); // "abc" from its own tail
    EXPECT_EQ("abc", Bytes(s));
    // Growing past the capacity while reading its own text.
    string big("0123456789");
    for (int k = 0; k < 6; ++k) big += big;
    EXPECT_EQ(640u, big.GetLength());
    EXPECT_EQ(0, big.Compare(TEXT("0123456789"), 10));
    EXPECT_EQ(630u, big.ReverseFind(string("0123456789")));
}

TEST(StringAppend, CharactersTextsAndStringsOfBothWidths) {
    string s;
    s += 'a';
    s += L'b';
    s += "cd";
    s += L"ef";
    s += string("g");
    s += '\0'; // the terminator cannot become part of the text
    EXPECT_EQ("abcdefg", Bytes(s));
    EXPECT_EQ(7u, s.GetLength());

    const string base("ab");
    EXPECT_EQ("abc", Bytes(base + 'c'));
    EXPECT_EQ("abc", Bytes(base + L'c'));
    EXPECT_EQ("abcd", Bytes(base + "cd"));
    EXPECT_EQ("abcd", Bytes(base + L"cd"));
    EXPECT_EQ("abab", Bytes(base + base));
    EXPECT_EQ("xyab", Bytes("xy" + base));
    EXPECT_EQ("xyab", Bytes(L"xy" + base));
    EXPECT_EQ("ab", Bytes(base));
}

TEST(StringAppend, AppendNumberWritesInTheBaseOfItsDigits) {
    string s;
    AppendNumber(s, 0, TEXT("0123456789"));
    s += ",";
    AppendNumber(s, 4294967295u, TEXT("0123456789"));
    s += ",";
    AppendNumber(s, 255, TEXT("0123456789abcdef"));
    s += ",";
    AppendNumber(s, 5, TEXT("01"));
    s += ",";
    AppendNumber(s, 5, TEXT("x")); // one digit cannot write a number
    EXPECT_EQ("0,4294967295,ff,101,", Bytes(s));
}

TEST(StringBuffer, WritesThroughTheBufferNeedUpdateLength) {
    string s("ab");
    TCHAR* buffer = s.GetBuffer(100);
    ASSERT_NE(nullptr, buffer);
    EXPECT_GE(s.GetCapacity(), 116u);
    buffer[2] = 'c';
    buffer[3] = 'd';
    buffer[4] = 0;
    EXPECT_EQ(2u, s.GetLength());
    EXPECT_EQ(4u, s.UpdateLength());
    EXPECT_EQ("abcd", Bytes(s));

    s[1] = 'X';
    EXPECT_EQ("aXcd", Bytes(s));
    const string& view = s;
    EXPECT_EQ('c', view[2]);
    // Reading far past the text reserves room and finds zeros, not garbage.
    EXPECT_EQ(0, view[500]);
    EXPECT_EQ(0, s.GetChars(300)[0]);
    EXPECT_EQ("aXcd", Bytes(s));
}

TEST(StringViews, TheOtherWidthIsConvertedOnDemand) {
    string s("hello");
    EXPECT_STREQ("hello", s.Psz8());
    EXPECT_STREQ(L"hello", s.Psz16());
    EXPECT_STREQ("llo", s.GetChars8(2));
    EXPECT_STREQ(L"llo", s.GetChars16(2));
    EXPECT_STREQ(TEXT("lo"), s.GetChars(3));
    const CHAR* narrow = s;
    const WCHAR* wide = s;
    EXPECT_STREQ("hello", narrow);
    EXPECT_STREQ(L"hello", wide);
    EXPECT_EQ(s.Psz(), s.GetChars());
}

TEST(StringDup, CopiesCarryTheirSizeExpressionAsTag) {
    string s("dup me");
    CHAR* narrow = s.Dup8();
    WCHAR* wide = s.Dup16();
    TCHAR* native = s.Dup();
    EXPECT_STREQ("dup me", narrow);
    EXPECT_STREQ(L"dup me", wide);
    EXPECT_STREQ(TEXT("dup me"), native);
    EXPECT_STREQ("1+strlen8(psz)", BlockOf(narrow)->tag);
    EXPECT_EQ(7u, BlockOf(narrow)->requested);
    EXPECT_STREQ("sizeof(WCHAR) * (1+strlen16(psz))", BlockOf(wide)->tag);
    EXPECT_EQ(14u, BlockOf(wide)->requested);
    EXPECT_STREQ("tl_string", BlockOf(wide)->file);
#ifdef UNICODE
    EXPECT_STREQ("sizeof(WCHAR) * (1+strlen16(psz))", BlockOf(native)->tag);
#else
    EXPECT_STREQ("1+strlen8(psz)", BlockOf(native)->tag);
#endif
    MemFree(narrow, __FILE__, __LINE__);
    MemFree(wide, __FILE__, __LINE__);
    MemFree(native, __FILE__, __LINE__);
}

TEST(StringTare, PermanentStringsTareEveryBufferTheyTake) {
    string* s = MEMNEW(string, ("permanent"));
    ASSERT_NE(nullptr, s);
    s->Tare();
    EXPECT_EQ(1u, BlockOf(s)->tared);
    EXPECT_EQ(1u, BlockOf(s->Psz())->tared);
    s->Reserve(500); // a new text buffer
    s->Reserve8(500);
    s->Reserve16(500);
    EXPECT_EQ(1u, BlockOf(s->Psz())->tared);
    EXPECT_EQ(1u, BlockOf(s->GetChars8())->tared);
    EXPECT_EQ(1u, BlockOf(s->GetChars16())->tared);
    EXPECT_EQ("permanent", Bytes(*s));
    MEMDELETE(s);

    string plain("p");
    plain.Reserve(500);
    EXPECT_EQ(0u, BlockOf(plain.Psz())->tared);
}

TEST(StringSearch, FindReturnsTheFirstPositionAtOrAfterStart) {
    string s("abcabc");
    EXPECT_EQ(npos, string("abc").Find(string("x")));
    EXPECT_EQ(1u, s.Find(string("bc")));
    EXPECT_EQ(4u, s.Find(string("bc"), 2));
    EXPECT_EQ(npos, s.Find(string("bc"), 5));
    EXPECT_EQ(npos, s.Find(string("abcabcabc")));
    EXPECT_EQ(2u, s.Find(string(""), 2));
    EXPECT_EQ(npos, s.Find(string(""), 6)); // nothing left from there
    EXPECT_EQ(npos, s.Find(string("a"), 100));
    EXPECT_EQ(2u, s.Find('c'));
    EXPECT_EQ(5u, s.Find(L'c', 3));
    EXPECT_EQ(npos, s.Find('z'));
    EXPECT_EQ(3u, string("abc").Find('\0'));
    EXPECT_EQ(3u, string("abc").Find(L'\0'));
}

TEST(StringSearch, ReverseFindReturnsTheLastHitNotBeyondTheLimit) {
    string s("aXaXa");
    EXPECT_EQ(2u, s.ReverseFind('a', 2));
    EXPECT_EQ(2u, s.ReverseFind(L'a', 3));
    EXPECT_EQ(4u, s.ReverseFind('a'));
    EXPECT_EQ(0u, s.ReverseFind('a', 0));
    EXPECT_EQ(npos, s.ReverseFind('q'));
    EXPECT_EQ(2u, s.ReverseFind(string("aXa")));
    EXPECT_EQ(0u, s.ReverseFind(string("aXa"), 1));
    EXPECT_EQ(npos, s.ReverseFind(string("Xa"), 0));
    EXPECT_EQ(5u, s.ReverseFind('\0'));
}

TEST(StringSearch, AnEightBitCharacterIsSignExtendedInTheWideBuild) {
#ifdef UNICODE
    string s(L"a\x00E9\xFFE9");
    EXPECT_EQ(2u, s.Find(static_cast<CHAR>(0xE9)));
    EXPECT_EQ(2u, s.ReverseFind(static_cast<CHAR>(0xE9)));
    EXPECT_EQ(1u, s.Find(static_cast<WCHAR>(0xE9)));
#else
    string s("a\xE9");
    EXPECT_EQ(1u, s.Find(static_cast<CHAR>(0xE9)));
    EXPECT_EQ(1u, s.ReverseFind(static_cast<CHAR>(0xE9)));
    EXPECT_EQ(1u, s.Find(static_cast<WCHAR>(0xE9))); // converted as text
#endif
    EXPECT_EQ(0u, string("a").Find(static_cast<CHAR>('a')));
}

TEST(StringEdit, TrimRemovesSpacesAndTabsAtBothEnds) {
    EXPECT_EQ("ab c", Bytes(string(" \tab c\t ").Trim()));
    EXPECT_EQ("", Bytes(string(" \t \t").Trim()));
    EXPECT_EQ("x", Bytes(string("x").Trim()));
    EXPECT_EQ("a\nb", Bytes(string("a\nb ").Trim()));
}

TEST(StringEdit, MidCopiesARangeCutAtTheEnd) {
    string s("abcdef");
    EXPECT_EQ("bc", Bytes(s.Mid(1, 2)));
    EXPECT_EQ("ef", Bytes(s.Mid(4)));
    EXPECT_EQ("", Bytes(s.Mid(10)));
    EXPECT_EQ("f", Bytes(s.Mid(5, 100)));
}

TEST(StringEdit, ReplaceAllWithLongerShorterAndEqualTexts) {
    string s("a.b.c.");
    s.Replace(".", "--");
    EXPECT_EQ("a--b--c--", Bytes(s));
    EXPECT_EQ(9u, s.GetLength());
    s.Replace(L"--", L"+");
    EXPECT_EQ("a+b+c+", Bytes(s));
    s.Replace(string("+"), string("*"));
    EXPECT_EQ("a*b*c*", Bytes(s));
    s.Replace("*", "");
    EXPECT_EQ("abc", Bytes(s));
    // The search goes on after the inserted text, so it never re-matches it.
    string a("aaa");
    a.Replace("a", "aa");
    EXPECT_EQ("aaaaaa", Bytes(a));
    // An empty pattern replaces nothing.
    a.Replace("", "x");
    EXPECT_EQ("aaaaaa", Bytes(a));
    // Many growths in one pass.
    string many;
    for (int k = 0; k < 200; ++k) many += "x";
    many.Replace("x", "<yy>");
    EXPECT_EQ(800u, many.GetLength());
    EXPECT_EQ(796u, many.ReverseFind(string("<yy>")));
    // Patterns that point into the string itself.
    string self("abcabc");
    self.Replace(self.Psz(), TEXT("z"));
    EXPECT_EQ("z", Bytes(self));
}

TEST(StringEdit, ReplaceARangeByAString) {
    string s("abcdef");
    s.Replace(1, 2, string("XYZ"));
    EXPECT_EQ("aXYZdef", Bytes(s));
    s.Replace(0, 0, string(">"));
    EXPECT_EQ(">aXYZdef", Bytes(s));
    s.Replace(5, 100, string("!"));
    EXPECT_EQ(">aXYZ!", Bytes(s));
    s.Replace(1, 4, string(""));
    EXPECT_EQ(">!", Bytes(s));
    s.Replace(1, 0, s);
    EXPECT_EQ(">>!!", Bytes(s));
}

TEST(StringEdit, PathJoinUsesOneBackslash) {
    EXPECT_EQ("a\\b", Bytes(string("a") / string("b")));
    EXPECT_EQ("a\\b", Bytes(string("a\\") / string("\\b")));
    EXPECT_EQ("b", Bytes(string("") / string("\\b")));
    EXPECT_EQ("x\\y\\z\\w", Bytes(string("x/y") / string("z/w")));
    EXPECT_EQ("a\\", Bytes(string("a/") / string("")));
    string s("dir");
    s /= s;
    EXPECT_EQ("dir\\dir", Bytes(s));
}

TEST(StringCompare, ResultsAreCharacterDifferences) {
    string s("abc");
    EXPECT_EQ(0, s.Compare("abc"));
    EXPECT_EQ(-1, s.Compare(L"abd"));
    EXPECT_EQ('c', s.Compare("ab"));
    EXPECT_EQ(-'d', s.Compare("abcd"));
    EXPECT_EQ(0, s.Compare("abX", 2));
    EXPECT_EQ(0, s.Compare(L"abc", 10));
    EXPECT_EQ(-1, s.Compare(static_cast<const CHAR*>(nullptr)));
    EXPECT_EQ(-1, s.Compare(static_cast<const WCHAR*>(nullptr)));
    EXPECT_EQ(-1, s.CompareNoCase(static_cast<const CHAR*>(nullptr)));
    EXPECT_EQ(0, s.CompareNoCase("ABC"));
    EXPECT_EQ(0, s.CompareNoCase(L"AbX", 2));
    EXPECT_EQ('a' - 'X', s.Compare("Xbc"));
    EXPECT_EQ('a' - 'x', s.CompareNoCase("Xbc"));
    // Characters compare as unsigned values.
    EXPECT_GT(string("\x7F").Compare("\x01"), 0);
#ifdef UNICODE
    EXPECT_EQ(0xE9 - 'a', string(L"\x00E9").Compare(L"a"));
#else
    EXPECT_EQ(0xE9 - 'a', string("\xE9").Compare("a"));
#endif
}

// Checks the six operators against the four kinds of argument.
void ExpectOrder(const string& s, const char* text, int expected) {
    std::wstring wide(text, text + strlen(text));
    string other(text);
    istring otherNoCase(text);
    bool lt = expected<0, gt = expected> 0, eq = expected == 0;
    SCOPED_TRACE(std::string(s.Psz8()) + " vs " + text);
    EXPECT_EQ(lt, s < text);
    EXPECT_EQ(lt, s < wide.c_str());
    EXPECT_EQ(lt, s < other);
    EXPECT_EQ(gt, s > text);
    EXPECT_EQ(gt, s > wide.c_str());
    EXPECT_EQ(gt, s > other);
    EXPECT_EQ(!lt, s >= text);
    EXPECT_EQ(!lt, s >= wide.c_str());
    EXPECT_EQ(!lt, s >= other);
    EXPECT_EQ(!gt, s <= text);
    EXPECT_EQ(!gt, s <= wide.c_str());
    EXPECT_EQ(!gt, s <= other);
    EXPECT_EQ(eq, s == text);
    EXPECT_EQ(eq, s == wide.c_str());
    EXPECT_EQ(eq, s == other);
    EXPECT_EQ(!eq, s != text);
    EXPECT_EQ(!eq, s != wide.c_str());
    EXPECT_EQ(!eq, s != other);
}

// An istring argument compares without case whatever the left side is.
void ExpectOrderNoCase(const string& s, const char* text, int expected) {
    istring other(text);
    bool lt = expected<0, gt = expected> 0, eq = expected == 0;
    SCOPED_TRACE(std::string(s.Psz8()) + " vs istring " + text);
    EXPECT_EQ(lt, s < other);
    EXPECT_EQ(gt, s > other);
    EXPECT_EQ(!lt, s >= other);
    EXPECT_EQ(!gt, s <= other);
    EXPECT_EQ(eq, s == other);
    EXPECT_EQ(!eq, s != other);
}

TEST(StringCompare, OperatorsOfStringAreCaseSensitive) {
    string s("ABC");
    ExpectOrder(s, "ABC", 0);
    ExpectOrder(s, "abc", -1);
    ExpectOrder(s, "ABB", 1);
    ExpectOrder(s, "ABCD", -1);
    ExpectOrder(s, "AB", 1);
    ExpectOrderNoCase(s, "abc", 0);
    ExpectOrderNoCase(s, "abd", -1);
    ExpectOrderNoCase(s, "ab", 1);
}

TEST(StringCompare, OperatorsOfIStringIgnoreCase) {
    istring s("ABC");
    EXPECT_EQ(0, s.Compare("abc"));
    EXPECT_EQ(0, s.Compare(L"aBc"));
    ExpectOrder(s, "abc", 0);
    ExpectOrder(s, "ABC", 0);
    ExpectOrder(s, "abd", -1);
    ExpectOrder(s, "aba", 1);
    ExpectOrder(s, "abcd", -1);
    ExpectOrderNoCase(s, "Abc", 0);
    EXPECT_TRUE(string("ABC") != "abc");
    EXPECT_TRUE(istring("ABC") == "abc");
    // Through a string reference the override still applies.
    const string& asString = s;
    EXPECT_TRUE(asString == "abc");
}

TEST(StringConversion, EsperantoLettersGetTheirLatin3CodesOnlyWhileEsperantoIsCurrent) {
    const WCHAR source[] = {0x0108, 'u', 0x011D, 0x016D, 'x', 0};
    SetLanguage(kLangEsperanto);
    ASSERT_EQ(kLangEsperanto, GetLanguage());
    ASSERT_EQ(1u, GetLanguageIndex());
    string esperanto(source);
    std::string bytes = esperanto.Psz8();
    SetLanguage(kLangEnglish);
    ASSERT_EQ(kLangEnglish, GetLanguage());
    EXPECT_EQ("\xC6u\xF8\xFDx", bytes);
    string english(source);
    EXPECT_EQ("Cugux", std::string(english.Psz8()));
    // A letter the system did not map to its base letter is left alone.
    const WCHAR unmapped[] = {0x0108, 0};
    SetLanguage(kLangEsperanto);
    string other(L"\x00C7");
    std::string otherBytes = other.Psz8();
    std::string mapped = string(unmapped).Psz8();
    SetLanguage(kLangEnglish);
    EXPECT_EQ("\xC7", otherBytes);
    EXPECT_EQ("\xC6", mapped);
}

// Every one of the twelve letters, capital and small, gets its own ISO 8859-3
// byte while Esperanto is current, and its base letter under English.
TEST(StringConversion, AllTwelveEsperantoLettersMapToTheirOwnCodes) {
    const struct {
        WCHAR letter;
        char base;
        unsigned char latin3;
    } letters[] = {
        {0x0108, 'C', 0xC6}, {0x0109, 'c', 0xE6}, {0x011C, 'G', 0xD8}, {0x011D, 'g', 0xF8},
        {0x0124, 'H', 0xA6}, {0x0125, 'h', 0xB6}, {0x0134, 'J', 0xAC}, {0x0135, 'j', 0xBC},
        {0x015C, 'S', 0xDE}, {0x015D, 's', 0xFE}, {0x016C, 'U', 0xDD}, {0x016D, 'u', 0xFD},
    };
    std::wstring all;
    std::string wantEsperanto, wantEnglish;
    for (const auto& l : letters) {
        // Each letter alone and between plain letters, so that no neighbour decides its code.
        all += L'a';
        all += l.letter;
        wantEsperanto += 'a';
        wantEsperanto += static_cast<char>(l.latin3);
        wantEnglish += 'a';
        wantEnglish += l.base;
        const WCHAR alone[] = {l.letter, 0};
        SetLanguage(kLangEsperanto);
        std::string esperanto = string(alone).Psz8();
        SetLanguage(kLangEnglish);
        std::string english = string(alone).Psz8();
        EXPECT_EQ(std::string(1, static_cast<char>(l.latin3)), esperanto)
            << "U+" << std::hex << static_cast<unsigned>(l.letter);
        EXPECT_EQ(std::string(1, l.base), english) << "U+" << std::hex << static_cast<unsigned>(l.letter);
    }
    SetLanguage(kLangEsperanto);
    std::string esperanto = string(all.c_str()).Psz8();
    SetLanguage(kLangEnglish);
    std::string english = string(all.c_str()).Psz8();
    EXPECT_EQ(wantEsperanto, esperanto);
    EXPECT_EQ(wantEnglish, english);
    // Plain base letters stay themselves even in Esperanto: only a mapped letter is replaced.
    SetLanguage(kLangEsperanto);
    std::string bases = string(L"CcGgHhJjSsUu").Psz8();
    SetLanguage(kLangEnglish);
    EXPECT_EQ("CcGgHhJjSsUu", bases);
}

TEST(StringHelpers, LengthCopyAndConcatenation) {
    EXPECT_EQ(0u, strlen8(nullptr));
    EXPECT_EQ(0u, strlen16(nullptr));
    EXPECT_EQ(3u, strlen8("abc"));
    EXPECT_EQ(3u, strlen16(L"abc"));
    WCHAR w[16] = L"keep";
    EXPECT_EQ(w, strcpy16(w, nullptr));
    EXPECT_STREQ(L"keep", w);
    strcat16(w, nullptr);
    EXPECT_STREQ(L"keep", w);
    strcpy16(w, L"ab");
    strcat16(w, L"cd");
    strncat16(w, L"efgh", 2);
    EXPECT_STREQ(L"abcdef", w);
    strncpy16(w, L"xyz", 5);
    EXPECT_STREQ(L"xyz", w);
    EXPECT_EQ(0, w[4]);
    CHAR n[16] = "keep";
    strcpy8(n, nullptr);
    EXPECT_STREQ("keep", n);
    strcat8(n, "!");
    strncat8(n, "??", 1);
    EXPECT_STREQ("keep!?", n);
    strncpy8(n, "ab", 2); // no room for a terminator: none written
    EXPECT_STREQ("abep!?", n);
}

TEST(StringHelpers, CompareAndSearch) {
    EXPECT_EQ(0, strcmp16(L"abc", L"abc"));
    EXPECT_LT(strcmp16(L"abc", L"abd"), 0);
    EXPECT_GT(strcmp8("b", "abc"), 0);
    EXPECT_EQ(0, strncmp16(L"abcX", L"abcY", 3));
    EXPECT_NE(0, strncmp8("abcX", "abcY", 4));
    EXPECT_EQ(0, stricmp16(L"HeLLo", L"hello"));
    EXPECT_EQ(0, stricmp8("HeLLo", "hello"));
    EXPECT_EQ(0, strnicmp16(L"ABx", L"aby", 2));
    EXPECT_EQ(0, strnicmp8("ABx", "aby", 2));
    EXPECT_EQ(0, strcmp8(nullptr, ""));

    const WCHAR* text = L"abcabc";
    EXPECT_EQ(text + 1, strchr16(text, L'b'));
    EXPECT_EQ(text + 4, strrchr16(text, L'b'));
    EXPECT_EQ(text + 6, strchr16(text, 0));
    EXPECT_EQ(nullptr, strchr16(text, L'z'));
    EXPECT_EQ(text + 1, strstr16(text, L"bc"));
    EXPECT_EQ(text + 4, strrstr16(text, L"bc"));
    EXPECT_EQ(text + 3, strrstr16(text, L"abc"));
    EXPECT_EQ(nullptr, strrstr16(text, L"abcabca"));
    EXPECT_EQ(text, strstr16(text, L""));
    const CHAR* narrow = "xyxy";
    EXPECT_EQ(narrow + 1, strchr8(narrow, 'y'));
    EXPECT_EQ(narrow + 3, strrchr8(narrow, 'y'));
    EXPECT_EQ(narrow + 2, strrstr8(narrow, "xy"));
    EXPECT_EQ(nullptr, strstr8(narrow, "yy"));
}

TEST(StringHelpers, CaseMappingUsesTheLowEightBitsAsASignedValue) {
    EXPECT_EQ(L'a', tolower16(L'A'));
    EXPECT_EQ(L'A', toupper16(L'a'));
    EXPECT_EQ(L'1', tolower16(L'1'));
    EXPECT_EQ(0x61, tolower16(0x0141));   // only the low 8 bits are mapped
    EXPECT_EQ(0xFFC9, tolower16(0x00C9)); // negative 8-bit values stay, widened
    EXPECT_EQ('a', tolower8('A'));
    EXPECT_EQ(static_cast<CHAR>(0xC9), tolower8(static_cast<CHAR>(0xC9)));
    WCHAR w[] = L"MiXeD 1";
    EXPECT_STREQ(L"mixed 1", strlwr16(w));
    EXPECT_STREQ(L"MIXED 1", strupr16(w));
    CHAR n[] = "MiXeD";
    EXPECT_STREQ("mixed", strlwr8(n));
    EXPECT_STREQ("MIXED", strupr8(n));
}

TEST(StringHelpers, NumbersParseWithoutSkippingWhiteSpace) {
    EXPECT_EQ(-123, ParseLong16(L"-123x"));
    EXPECT_EQ(7, ParseLong16(L"+7"));
    EXPECT_EQ(0, ParseLong16(L" 5"));
    EXPECT_EQ(0, ParseLong16(L"abc"));
    EXPECT_EQ(0, ParseLong16(nullptr));
    EXPECT_EQ(42, ParseLong8("42"));
    EXPECT_EQ(-1, ParseLong8("4294967295")); // wraps modulo 2^32
    EXPECT_DOUBLE_EQ(-2.5, ParseDouble16(L"-2.50"));
    EXPECT_DOUBLE_EQ(3.0, ParseDouble16(L"3."));
    EXPECT_DOUBLE_EQ(0.25, ParseDouble16(L".25"));
    EXPECT_DOUBLE_EQ(1.0, ParseDouble16(L"1e5")); // no exponent
    EXPECT_DOUBLE_EQ(12.75, ParseDouble8("+12.75z"));
    EXPECT_DOUBLE_EQ(0.0, ParseDouble8(" 1"));
}

} // namespace
