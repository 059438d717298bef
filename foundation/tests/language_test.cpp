// The language state and the string resource loaders.
#include "tl_language.h"
#include "tl_string.h"

#include "string_table_module.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Bytes(const string& s) { return s.Psz8(); }

// Runs first: the test program itself carries no string resources.
TEST(LanguageDefaults, WithoutALanguageListTheProgramIsEnglishOnly) {
    EXPECT_EQ(kLangEnglish, GetLanguage());
    EXPECT_EQ(0u, GetLanguageIndex());
    EXPECT_EQ(1u, GetLanguageCount());
    SetLanguage(kLangEsperanto); // not in the list: nothing changes
    EXPECT_EQ(kLangEnglish, GetLanguage());
    EXPECT_EQ(nullptr, LoadStringResource(1));
    EXPECT_EQ(GetModuleHandle(nullptr), GetResourceModule());
    EXPECT_TRUE(string(1u).IsEmpty());
}

TEST(LanguageCodes, CodesMapToIdentifiersWithoutCase) {
    EXPECT_EQ(kLangEsperanto, LanguageCodeToId(istring("eo")));
    EXPECT_EQ(kLangEnglish, LanguageCodeToId(istring("En")));
    EXPECT_EQ(1036, LanguageCodeToId(istring("fr")));
    EXPECT_EQ(1031, LanguageCodeToId(istring("DE")));
    EXPECT_EQ(1034, LanguageCodeToId(istring(L"es")));
    EXPECT_EQ(kLangUnknown, LanguageCodeToId(istring("xx")));
    EXPECT_EQ(kLangUnknown, LanguageCodeToId(istring("")));
    EXPECT_EQ(kLangUnknown, LanguageCodeToId(istring("ENG")));
}

// A program whose string 1 lists English and Esperanto, with localized runs.
class LocalizedStrings : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        table_ = new StringTableModule({{1, L"EN,EO"},
                                        {10, L"Part one+"},
                                        {11, L"Parto unu+"},
                                        {12, L"part two"},
                                        {13, L"parto du"},
                                        {20, L"end+"},
                                        {31, L"only Esperanto"},
                                        {40, L"a+"},
                                        {42, L"b+"},
                                        {44, L"c"},
                                        {47, L"\x0109"
                                             L"e\x0125o"}});
        SetResourceModule(table_->module());
        InitLanguages(string("VexlinTest"), 1);
    }
    static void TearDownTestSuite() {
        SetLanguage(kLangEnglish);
        SetResourceModule(nullptr);
        delete table_;
    }
    void SetUp() override {
        ASSERT_NE(nullptr, table_->module());
        SetLanguage(kLangEnglish);
    }

    static StringTableModule* table_;
};

StringTableModule* LocalizedStrings::table_ = nullptr;

TEST_F(LocalizedStrings, TheListGivesTheStrideAndTheFirstLanguageIsCurrent) {
    EXPECT_EQ(2u, GetLanguageCount());
    EXPECT_EQ(kLangEnglish, GetLanguage());
    EXPECT_EQ(0u, GetLanguageIndex());
    SetLanguage(kLangEsperanto);
    EXPECT_EQ(kLangEsperanto, GetLanguage());
    EXPECT_EQ(1u, GetLanguageIndex());
    SetLanguage(1036); // French is not in the list
    EXPECT_EQ(kLangEsperanto, GetLanguage());
    EXPECT_EQ(1u, GetLanguageIndex());
}

TEST_F(LocalizedStrings, LoadStringResourceGivesTheCountedText) {
    const WCHAR* text = LoadStringResource(12);
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(8, text[0]);
    EXPECT_EQ(std::wstring(L"part two"), std::wstring(text + 1, text + 1 + text[0]));
    EXPECT_EQ(nullptr, LoadStringResource(14));  // an empty entry of a present block
    EXPECT_EQ(nullptr, LoadStringResource(500)); // no such block
    EXPECT_EQ(nullptr, LoadStringResource(0x10000));
}

TEST_F(LocalizedStrings, APieceEndingInPlusContinuesOneStrideFurther) {
    EXPECT_EQ("Part onepart two", Bytes(string(10u)));
    EXPECT_EQ("abc", Bytes(string(40u)));
    // The "+" goes even when the continuation is missing.
    EXPECT_EQ("end", Bytes(string(20u)));
    SetLanguage(kLangEsperanto);
    EXPECT_EQ("Parto unuparto du", Bytes(string(10u)));
    EXPECT_EQ("only Esperanto", Bytes(string(30u)));
}

TEST_F(LocalizedStrings, AMissingFirstResourceGivesAnEmptyString) {
    EXPECT_TRUE(string(30u).IsEmpty());
    EXPECT_TRUE(string(600u).IsEmpty());
    istring i(600u);
    EXPECT_TRUE(i.IsEmpty());
}

TEST_F(LocalizedStrings, EsperantoTextReachesEightBitsAsLatin3) {
    SetLanguage(kLangEsperanto);
    string text(46u);
    std::string bytes = text.Psz8();
    SetLanguage(kLangEnglish);
    EXPECT_EQ("\xE6"
              "e\xB6o",
              bytes);
#ifdef UNICODE
    EXPECT_STREQ(L"\x0109"
                 L"e\x0125o",
                 text.Psz16());
#endif
}

TEST(LanguageList, RunsOfCommasSeparateOnce) {
    StringTableModule table({{1, L",EN,,EO,"}, {5, L"five"}, {7, L"seven"}});
    ASSERT_NE(nullptr, table.module());
    SetResourceModule(table.module());
    InitLanguages(string("VexlinTest"), 1);
    EXPECT_EQ(2u, GetLanguageCount());
    SetLanguage(kLangEsperanto);
    EXPECT_EQ(1u, GetLanguageIndex());
    EXPECT_EQ("seven", Bytes(string(6u)));
    SetLanguage(kLangEnglish);
    EXPECT_EQ("five", Bytes(string(5u)));

    // A missing list means English alone.
    InitLanguages(string("VexlinTest"), 300);
    EXPECT_EQ(1u, GetLanguageCount());
    EXPECT_EQ(kLangEnglish, GetLanguage());
    SetResourceModule(nullptr);
}

} // namespace
