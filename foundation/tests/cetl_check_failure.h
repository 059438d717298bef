// Runs a statement that must fail a container check and says how it failed:
// the message of the thrown cetl::exception in the installer build, the code,
// flags and argument count of the structured exception in the game build.
#pragma once

#include "cetl_failure.h"

#include <gtest/gtest.h>
#include <setjmp.h>
#include <stdio.h>
#include <string>

#ifndef UNICODE
#include "cetl_exception.h"
#endif

namespace cetl_test {

const char kNoFailure[] = "no failure";

#ifdef UNICODE

// What the game's checks raise: code 0, no flags, no arguments.
const char kRaisedCodeZero[] = "code 0x0 flags 0x0 arguments 0";

// The structured exception is caught by a vectored handler, which sees it
// before any frame handler, and the handler jumps back to the setjmp point:
// mingw's C++ code registers no frame handlers that would have to run, and
// longjmp restores the thread's handler chain on the way back.
inline jmp_buf g_landing;
inline volatile bool g_armed = false;
inline char g_raised[64];

inline LONG CALLBACK CatchRaised(EXCEPTION_POINTERS* info) {
    if (!g_armed) return EXCEPTION_CONTINUE_SEARCH;
    g_armed = false;
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    snprintf(g_raised, sizeof g_raised, "code 0x%lx flags 0x%lx arguments %lu", record->ExceptionCode,
             record->ExceptionFlags, record->NumberParameters);
    longjmp(g_landing, 1);
}

// The statement must not own objects that need destroying when the jump
// skips it: build keys and values before the call.
template <class Action>
std::string CheckFailure(Action action) {
    PVOID handler = AddVectoredExceptionHandler(1, CatchRaised);
    std::string outcome = kNoFailure;
    if (setjmp(g_landing) == 0) {
        g_armed = true;
        action();
        g_armed = false;
    } else {
        outcome = g_raised;
    }
    RemoveVectoredExceptionHandler(handler);
    return outcome;
}

#define EXPECT_CHECK_FAILS(statement, text)                                                                  \
    EXPECT_EQ(std::string(::cetl_test::kRaisedCodeZero), ::cetl_test::CheckFailure([&] { statement; }))

#else

template <class Action>
std::string CheckFailure(Action action) {
    try {
        action();
    } catch (const cetl::exception& e) {
        return e.message().Psz8();
    }
    return kNoFailure;
}

#define EXPECT_CHECK_FAILS(statement, text)                                                                  \
    EXPECT_EQ(std::string(text), ::cetl_test::CheckFailure([&] { statement; }))

#endif

} // namespace cetl_test
