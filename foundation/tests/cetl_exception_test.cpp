// cetl::exception and the reports of failed checks: the installer's texts,
// the game's structured exception, and no texts in the game.
#include "cetl_exception.h"
#include "cetl_check_failure.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Spelt backwards so that this file does not put the texts into the program
// that is searched for them.
const char* const kReversedTexts[cetl::failureCount] = {
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

TEST(CetlFailure, EachCheckReportsItsTextOrCodeZero) {
    for (int i = 0; i < cetl::failureCount; ++i) {
        std::string outcome = cetl_test::CheckFailure([&] { cetl::fail(static_cast<cetl::failure>(i)); });
#ifdef UNICODE
        EXPECT_EQ(cetl_test::kRaisedCodeZero, outcome);
#else
        EXPECT_EQ(Forwards(kReversedTexts[i]), outcome);
#endif
    }
    EXPECT_EQ(cetl_test::kNoFailure, cetl_test::CheckFailure([] {}));
}

TEST(CetlFailure, OnlyTheInstallerCarriesTheTexts) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::ifstream in(path, std::ios::binary);
    std::string program((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_NE(std::string::npos, program.find("Running main() from")); // the search works
    for (const char* reversed : kReversedTexts) {
#ifdef UNICODE
        EXPECT_EQ(std::string::npos, program.find(Forwards(reversed)));
#else
        EXPECT_NE(std::string::npos, program.find(Forwards(reversed)));
#endif
    }
}

#ifdef UNICODE

jmp_buf g_landing;
std::vector<DWORD> g_flags;

LONG CALLBACK ResumeOnce(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != 0) return EXCEPTION_CONTINUE_SEARCH;
    g_flags.push_back(info->ExceptionRecord->ExceptionFlags);
    if (g_flags.size() == 1) return EXCEPTION_CONTINUE_EXECUTION;
    longjmp(g_landing, 1);
}

TEST(CetlFailure, AResumedCheckIsRaisedAgainAsNonContinuable) {
    PVOID handler = AddVectoredExceptionHandler(1, ResumeOnce);
    volatile bool returned = false;
    if (setjmp(g_landing) == 0) {
        cetl::fail(cetl::failListEmpty);
        returned = true;
    }
    RemoveVectoredExceptionHandler(handler);
    EXPECT_FALSE(returned);
    ASSERT_EQ(2u, g_flags.size());
    EXPECT_EQ(0u, g_flags[0]);
    EXPECT_EQ(static_cast<DWORD>(EXCEPTION_NONCONTINUABLE), g_flags[1]);
}

#else

struct SkinError : cetl::exception {
    SkinError() : cetl::exception("the skin is missing an image") {}
};

TEST(CetlException, IsThrownByValueCaughtAsTheBaseAndCopiesItsMessage) {
    try {
        throw SkinError();
    } catch (const cetl::exception& e) {
        cetl::exception copy(e);
        EXPECT_STREQ("the skin is missing an image", copy.message().Psz8());
    }
    cetl::exception assigned(L"wide");
    assigned = cetl::exception(string("assigned"));
    EXPECT_STREQ("assigned", assigned.message().Psz8());
}

#endif

} // namespace
