// The language state, the choice kept in the registry and the string
// resource loaders.
#include "tl_language.h"
#include "tl_string.h"

#include "string_table_module.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Bytes(const string& s) { return s.Psz8(); }

// Names of their own per width, so that both test programs may run at once.
#ifdef UNICODE
const std::wstring kApp = L"VexlinTestW";
const std::wstring kOther = L"VexlinOtherW";
#else
const std::wstring kApp = L"VexlinTestA";
const std::wstring kOther = L"VexlinOtherA";
#endif

const WCHAR kNls[] = L"Software\\Tessel\\NLS";

// A value of the shared key as the registry holds it.
struct Stored {
    bool present = false;
    DWORD type = 0;
    DWORD bytes = 0;
    std::wstring text; // up to the first terminator
    bool terminated = false;
};

Stored ReadStored(const std::wstring& name) {
    Stored stored;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kNls, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return stored;
    WCHAR data[1024] = {0};
    DWORD size = sizeof(data) - sizeof(WCHAR);
    if (RegQueryValueExW(key, name.c_str(), nullptr, &stored.type, reinterpret_cast<BYTE*>(data), &size) ==
        ERROR_SUCCESS) {
        stored.present = true;
        stored.bytes = size;
        stored.text = data;
        stored.terminated = size >= sizeof(WCHAR) && data[size / sizeof(WCHAR) - 1] == 0;
    }
    RegCloseKey(key);
    return stored;
}

// What the program itself handed to RegSetValueEx. The system adds back a
// terminator that a text value was written without, so the stored value
// cannot show whether the program wrote it; the call as made can. The
// program's calls go through this test program's import table, whose entries
// are redirected to recorders for the whole run.
struct Handed {
    std::wstring name;
    DWORD type = 0;
    std::vector<BYTE> data;
};
std::vector<Handed> g_handed;
bool g_testIsWriting = false; // the test's own writes are not the program's

typedef LONG(WINAPI* SetValueW)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
typedef LONG(WINAPI* SetValueA)(HKEY, LPCSTR, DWORD, DWORD, const BYTE*, DWORD);
extern "C" SetValueW g_importSetValueW asm("__imp__RegSetValueExW@24");
extern "C" SetValueA g_importSetValueA asm("__imp__RegSetValueExA@24");
SetValueW g_realSetValueW = nullptr;
SetValueA g_realSetValueA = nullptr;

void Record(const std::wstring& name, DWORD type, const BYTE* data, DWORD bytes) {
    if (g_testIsWriting) return;
    Handed handed;
    handed.name = name;
    handed.type = type;
    if (data) handed.data.assign(data, data + bytes);
    g_handed.push_back(handed);
}

LONG WINAPI RecordSetValueW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                            DWORD bytes) {
    Record(name ? name : L"", type, data, bytes);
    return g_realSetValueW(key, name, reserved, type, data, bytes);
}

LONG WINAPI RecordSetValueA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                            DWORD bytes) {
    std::wstring wide;
    for (const char* c = name; c && *c; ++c) wide += static_cast<WCHAR>(static_cast<unsigned char>(*c));
    Record(wide, type, data, bytes);
    return g_realSetValueA(key, name, reserved, type, data, bytes);
}

template <typename F>
void Redirect(F& slot, F replacement, F* original) {
    DWORD old;
    ASSERT_TRUE(VirtualProtect(&slot, sizeof slot, PAGE_READWRITE, &old));
    if (original) *original = slot;
    slot = replacement;
    VirtualProtect(&slot, sizeof slot, old, &old);
}

class RecordRegistryWrites : public ::testing::Environment {
public:
    void SetUp() override {
        Redirect(g_importSetValueW, &RecordSetValueW, &g_realSetValueW);
        Redirect(g_importSetValueA, &RecordSetValueA, &g_realSetValueA);
    }
    void TearDown() override {
        Redirect(g_importSetValueW, g_realSetValueW, static_cast<SetValueW*>(nullptr));
        Redirect(g_importSetValueA, g_realSetValueA, static_cast<SetValueA*>(nullptr));
    }
};

::testing::Environment* const g_recorder = ::testing::AddGlobalTestEnvironment(new RecordRegistryWrites);

void StoreRaw(const std::wstring& name, DWORD type, const void* data, DWORD bytes) {
    struct Unrecorded {
        Unrecorded() { g_testIsWriting = true; }
        ~Unrecorded() { g_testIsWriting = false; }
    } unrecorded;
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kNls, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &key, nullptr));
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes));
    RegCloseKey(key);
}

void Store(const std::wstring& name, const std::wstring& text) {
    StoreRaw(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

void Remove(const std::wstring& name) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kNls, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, name.c_str());
    RegCloseKey(key);
}

void RemoveValuesOf(const std::wstring& app) {
    Remove(L"Opt-" + app);
    Remove(L"Lang-" + app);
}

// A stored text as the program wrote it: a REG_SZ with its terminator.
::testing::AssertionResult WrittenAs(const std::wstring& name, const std::wstring& text) {
    Stored stored = ReadStored(name);
    if (!stored.present)
        return ::testing::AssertionFailure() << "no value " << std::string(name.begin(), name.end());
    if (stored.type != REG_SZ) return ::testing::AssertionFailure() << "type " << stored.type;
    if (stored.text != text)
        return ::testing::AssertionFailure()
               << "text " << std::string(stored.text.begin(), stored.text.end());
    if (!stored.terminated || stored.bytes != (text.size() + 1) * sizeof(WCHAR))
        return ::testing::AssertionFailure()
               << "stored without its terminator (" << stored.bytes << " bytes)";
    // The program's last write of the value, as it handed it over: the text
    // in its own width with the terminator counted.
    const Handed* last = nullptr;
    for (const Handed& handed : g_handed)
        if (_wcsicmp(handed.name.c_str(), name.c_str()) == 0) last = &handed;
    if (!last) return ::testing::AssertionFailure() << "the program never wrote the value";
    if (last->type != REG_SZ) return ::testing::AssertionFailure() << "handed over as type " << last->type;
    std::basic_string<TCHAR> native(text.begin(), text.end());
    native += TCHAR(0);
    std::vector<BYTE> want(reinterpret_cast<const BYTE*>(native.data()),
                           reinterpret_cast<const BYTE*>(native.data() + native.size()));
    if (last->data != want)
        return ::testing::AssertionFailure() << "handed over " << last->data.size() << " bytes, not the "
                                             << want.size() << " of the text and its terminator";
    return ::testing::AssertionSuccess();
}

// The program stays named after its last test and may store its choice
// again; the run leaves nothing behind.
class RegistryCleanup : public ::testing::Environment {
public:
    void TearDown() override {
        RemoveValuesOf(kApp);
        RemoveValuesOf(kOther);
    }
};

::testing::Environment* const g_cleanup = ::testing::AddGlobalTestEnvironment(new RegistryCleanup);

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
        RemoveValuesOf(kApp);
        InitLanguages(string(kApp.c_str()), 1);
    }
    static void TearDownTestSuite() {
        SetLanguage(kLangEnglish);
        SetResourceModule(nullptr);
        delete table_;
        RemoveValuesOf(kApp);
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
    RemoveValuesOf(kApp);
    InitLanguages(string(kApp.c_str()), 1);
    EXPECT_EQ(2u, GetLanguageCount());
    SetLanguage(kLangEsperanto);
    EXPECT_EQ(1u, GetLanguageIndex());
    EXPECT_EQ("seven", Bytes(string(6u)));
    SetLanguage(kLangEnglish);
    EXPECT_EQ("five", Bytes(string(5u)));

    // A missing list means English alone.
    InitLanguages(string(kApp.c_str()), 300);
    EXPECT_EQ(1u, GetLanguageCount());
    EXPECT_EQ(kLangEnglish, GetLanguage());
    EXPECT_TRUE(WrittenAs(L"Opt-" + kApp, L"EN"));
    SetResourceModule(nullptr);
    RemoveValuesOf(kApp);
}

// A program whose list is "EN,EO", run against the prefix's registry.
class StoredChoice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        table_ = new StringTableModule({{1, L"EN,EO"}, {2, L"XX,EO,EN"}, {100, L"hundred"}, {101, L"cent"}});
    }
    static void TearDownTestSuite() {
        delete table_;
        table_ = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(nullptr, table_->module());
        SetResourceModule(table_->module());
        RemoveValuesOf(kApp);
        RemoveValuesOf(kOther);
    }
    void TearDown() override {
        RemoveValuesOf(kApp);
        RemoveValuesOf(kOther);
        SetResourceModule(nullptr);
    }
    static void Start() { InitLanguages(string(kApp.c_str()), 1); }

    static StringTableModule* table_;
};

StringTableModule* StoredChoice::table_ = nullptr;

TEST_F(StoredChoice, AFirstStartStoresTheListAndTheFirstLanguage) {
    Start();
    EXPECT_TRUE(WrittenAs(L"Opt-" + kApp, L"EN,EO"));
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EN"));
    EXPECT_EQ(0u, GetLanguageIndex());
    EXPECT_EQ(kLangEnglish, GetLanguage());
    EXPECT_EQ(2u, GetLanguageCount());
    EXPECT_EQ("hundred", Bytes(string(100u)));
}

TEST_F(StoredChoice, AStoredChoiceIsTakenWithoutCase) {
    Store(L"Lang-" + kApp, L"eo");
    Start();
    EXPECT_EQ(1u, GetLanguageIndex());
    EXPECT_EQ(kLangEsperanto, GetLanguage());
    EXPECT_EQ("cent", Bytes(string(100u)));
    // Stored again in the list's own spelling.
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EO"));
    EXPECT_TRUE(WrittenAs(L"Opt-" + kApp, L"EN,EO"));
}

// Codes outside the list, codes nobody knows, values too long for a code and
// values that are not text all give way to the first language.
TEST_F(StoredChoice, AnUnusableStoredChoiceIsReplacedByTheFirstLanguage) {
    const std::wstring unusable[] = {
        L"FR", L"XX", L"EO,EN", L" EO", std::wstring(300, L'E'), std::wstring(261, L'x')};
    for (const std::wstring& code : unusable) {
        Store(L"Lang-" + kApp, code);
        Start();
        EXPECT_EQ(0u, GetLanguageIndex()) << code.size();
        EXPECT_EQ(kLangEnglish, GetLanguage());
        EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EN"));
        SetLanguage(kLangEsperanto); // so that a choice left alone would show
    }
    DWORD number = 1;
    StoreRaw(L"Lang-" + kApp, REG_DWORD, &number, sizeof(number));
    Start();
    EXPECT_EQ(0u, GetLanguageIndex());
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EN"));
    // Exactly as long as a code may be still reads as a code, and is unknown.
    Store(L"Lang-" + kApp, std::wstring(260, L'E'));
    Start();
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EN"));
}

// A value stored by another program without its terminator is read up to
// its stored length. The data is followed by a letter in memory, so the
// system has no terminator to count in and stores exactly the two letters.
TEST_F(StoredChoice, AStoredChoiceWithoutItsTerminatorIsReadToItsLength) {
    const WCHAR unterminated[] = L"EOX";
    StoreRaw(L"Lang-" + kApp, REG_SZ, unterminated, 2 * sizeof(WCHAR));
    Stored stored = ReadStored(L"Lang-" + kApp);
    ASSERT_TRUE(stored.present);
    ASSERT_EQ(2 * sizeof(WCHAR), stored.bytes);
    ASSERT_FALSE(stored.terminated);
    Start();
    EXPECT_EQ(1u, GetLanguageIndex());
    EXPECT_EQ(kLangEsperanto, GetLanguage());
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EO")) << "written back whole";
    SetLanguage(kLangEnglish);
}

TEST_F(StoredChoice, AListStartingWithAnUnknownCodeStartsInTheFirstKnownOne) {
    InitLanguages(string(kApp.c_str()), 2);
    EXPECT_EQ(3u, GetLanguageCount());
    EXPECT_EQ(1u, GetLanguageIndex());
    EXPECT_EQ(kLangEsperanto, GetLanguage());
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EO"));
    SetLanguage(kLangUnknown);
    EXPECT_EQ(kLangEsperanto, GetLanguage());
}

TEST_F(StoredChoice, SetLanguageStoresTheChoiceForTheNextStart) {
    Start();
    SetLanguage(kLangEsperanto);
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EO"));
    SetLanguage(1036); // not in the list
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EO"));
    SetLanguage(kLangEnglish);
    SetLanguage(kLangEsperanto);
    Start();
    EXPECT_EQ(1u, GetLanguageIndex());
    EXPECT_EQ(kLangEsperanto, GetAppLanguage(string()));
    EXPECT_EQ(kLangEsperanto, GetAppLanguage(string(kApp.c_str())));
}

TEST_F(StoredChoice, TheOwnNameInAnyCaseMeansTheCurrentLanguage) {
    Start();
    std::wstring shouted = kApp;
    for (WCHAR& c : shouted) c = towupper(c);
    SetAppLanguage(string(shouted.c_str()), kLangEsperanto);
    EXPECT_EQ(kLangEsperanto, GetLanguage());
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EO"));
    SetAppLanguage(string(), kLangEnglish);
    EXPECT_EQ(kLangEnglish, GetLanguage());
    EXPECT_EQ(kLangEnglish, GetAppLanguageOption(string(), 0));
    EXPECT_EQ(kLangEsperanto, GetAppLanguageOption(string(shouted.c_str()), 1));
    EXPECT_EQ(kLangUnknown, GetAppLanguageOption(string(), 2));
}

// The installer sets the language of the game it installs by the game's name.
TEST_F(StoredChoice, AnotherProgramIsReachedThroughItsStoredList) {
    Start();
    const string other(kOther.c_str());
    // Without its list nothing can be chosen for it.
    SetAppLanguage(other, kLangEsperanto);
    EXPECT_FALSE(ReadStored(L"Lang-" + kOther).present);
    EXPECT_EQ(kLangUnknown, GetAppLanguage(other));
    EXPECT_EQ(kLangUnknown, GetAppLanguageOption(other, 0));

    Store(L"Opt-" + kOther, L"EN,,EO");
    EXPECT_EQ(kLangEnglish, GetAppLanguageOption(other, 0));
    EXPECT_EQ(kLangEsperanto, GetAppLanguageOption(other, 1));
    EXPECT_EQ(kLangUnknown, GetAppLanguageOption(other, 2));
    SetAppLanguage(other, kLangEsperanto);
    EXPECT_TRUE(WrittenAs(L"Lang-" + kOther, L"EO"));
    EXPECT_EQ(kLangEsperanto, GetAppLanguage(other));
    SetAppLanguage(other, 1031); // German is not in its list
    EXPECT_TRUE(WrittenAs(L"Lang-" + kOther, L"EO"));
    // Our own language is another matter.
    EXPECT_EQ(kLangEnglish, GetLanguage());
    EXPECT_TRUE(WrittenAs(L"Lang-" + kApp, L"EN"));

    // A list too long to be one is no list.
    Store(L"Opt-" + kOther, L"EN,EO," + std::wstring(300, L'D'));
    EXPECT_EQ(kLangUnknown, GetAppLanguageOption(other, 0));
    SetAppLanguage(other, kLangEnglish);
    EXPECT_TRUE(WrittenAs(L"Lang-" + kOther, L"EO"));
    Store(L"Lang-" + kOther, std::wstring(400, L'E'));
    EXPECT_EQ(kLangUnknown, GetAppLanguage(other));
}

TEST_F(StoredChoice, ANameTooLongToKeepIsNotStoredUnder) {
    Start();
    RemoveValuesOf(kApp);
    std::wstring longName = kApp + std::wstring(300, L'x');
    InitLanguages(string(longName.c_str()), 1);
    EXPECT_EQ(2u, GetLanguageCount());
    EXPECT_EQ(kLangEnglish, GetLanguage());
    SetLanguage(kLangEsperanto);
    EXPECT_EQ(kLangEsperanto, GetLanguage());
    // Neither under the old name nor under a cut one.
    EXPECT_FALSE(ReadStored(L"Lang-" + kApp).present);
    EXPECT_FALSE(ReadStored(L"Lang-" + longName.substr(0, 260)).present);
    EXPECT_EQ(kLangUnknown, GetAppLanguage(string(longName.c_str())));
    SetLanguage(kLangEnglish);
}

} // namespace
