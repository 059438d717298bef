// cetl::exception and the failure reports of the container checks: the
// installer's texts, the game's structured exception, and no texts in the game.
#include "cetl_exception.h"
#include "cetl_check_failure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <type_traits>
#include <vector>

namespace {

static_assert(std::is_polymorphic<cetl::exception>::value, "caught through references to derived errors");
static_assert(std::has_virtual_destructor<cetl::exception>::value, "deleted through the base");

// The report texts, spelt backwards so that this file itself does not put
// them into the program that is searched for them.
const char* const kReversedTexts[] = {
    "ytpme si tsil eht",
    "tsil eht nihtiw tsixe ton seod deificeps meti eht",
    "rotcev eht nihtiw tsixe ton seod deificeps meti eht",
    "tcejbo dilav a ecnerefer ton seod rotareti eht",
    "reniatnoc eht fo dne eht dehcaer ydaerla sah rotareti eht",
    "reniatnoc eht fo gninnigeb eht dehcaer ydaerla sah rotareti eht",
    "pam eht nihtiw tsixe ton seod deificeps xedni eht",
};

std::string Forwards(const char* reversed) {
    std::string text(reversed);
    return std::string(text.rbegin(), text.rend());
}

std::vector<char> OwnProgram() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Holds(const std::vector<char>& bytes, const std::string& text) {
    return std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

TEST(CetlFailure, EveryCheckReportsItsOwnFailure) {
    const cetl::failure reasons[] = {cetl::failListEmpty,     cetl::failNotInList,
                                     cetl::failNotInVector,   cetl::failInvalidIterator,
                                     cetl::failIteratorAtEnd, cetl::failIteratorAtBeginning,
                                     cetl::failNotInMap};
    for (int i = 0; i < 7; ++i) {
#ifdef UNICODE
        EXPECT_EQ(cetl_test::kRaisedCodeZero, cetl_test::CheckFailure([&] { cetl::fail(reasons[i]); }));
#else
        EXPECT_EQ(Forwards(kReversedTexts[i]), cetl_test::CheckFailure([&] { cetl::fail(reasons[i]); }));
#endif
    }
    EXPECT_EQ(cetl_test::kNoFailure, cetl_test::CheckFailure([] {}));
}

TEST(CetlFailure, OnlyTheInstallerCarriesTheTexts) {
    std::vector<char> program = OwnProgram();
    ASSERT_TRUE(Holds(program, "Running main() from")); // the search itself works
    for (const char* reversed : kReversedTexts) {
#ifdef UNICODE
        EXPECT_FALSE(Holds(program, Forwards(reversed))) << Forwards(reversed);
#else
        EXPECT_TRUE(Holds(program, Forwards(reversed))) << Forwards(reversed);
#endif
    }
}

#ifdef UNICODE

jmp_buf g_resumeLanding;
std::vector<DWORD> g_flagsSeen;

LONG CALLBACK ResumeOnce(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != 0) return EXCEPTION_CONTINUE_SEARCH;
    g_flagsSeen.push_back(info->ExceptionRecord->ExceptionFlags);
    if (g_flagsSeen.size() == 1) return EXCEPTION_CONTINUE_EXECUTION;
    longjmp(g_resumeLanding, 1);
}

TEST(CetlFailure, AResumedCheckRaisesAgainWithoutReturning) {
    g_flagsSeen.clear();
    PVOID handler = AddVectoredExceptionHandler(1, ResumeOnce);
    volatile bool returned = false;
    if (setjmp(g_resumeLanding) == 0) {
        cetl::fail(cetl::failListEmpty);
        returned = true;
    }
    RemoveVectoredExceptionHandler(handler);
    EXPECT_FALSE(returned);
    ASSERT_LE(2u, g_flagsSeen.size());
    EXPECT_EQ(0u, g_flagsSeen[0]);
    EXPECT_TRUE(g_flagsSeen[1] & EXCEPTION_NONCONTINUABLE);
}

#else

struct SkinError : cetl::exception {
    SkinError() : cetl::exception("the skin is missing an image") {}
};

TEST(CetlException, IsThrownByValueAndCaughtAsTheBase) {
    try {
        throw SkinError();
    } catch (const cetl::exception& e) {
        EXPECT_STREQ("the skin is missing an image", e.message().Psz8());
    }
    cetl::exception wide(L"wide text");
    cetl::exception copy(wide);
    EXPECT_STREQ("wide text", copy.message().Psz8());
    copy = cetl::exception(string("assigned"));
    EXPECT_STREQ("assigned", copy.message().Psz8());
    EXPECT_STREQ("wide text", wide.message().Psz8());
}

#endif

} // namespace
