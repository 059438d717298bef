// Reporting a failed container check in either build.
#include "cetl_failure.h"

#ifndef UNICODE
#include "cetl_exception.h"
#endif

#include <stdlib.h>

namespace cetl {

#ifdef UNICODE

void fail(failure) {
    RaiseException(0, 0, 0, nullptr);
    // A handler may resume a continuable exception, but the check has nothing
    // to hand back, so resuming must not fall into the caller: the second raise
    // cannot be resumed.
    RaiseException(0, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    abort();
}

#else

static const char* const kMessages[failureCount] = {
    "the list is empty",
    "the item specified does not exist within the list",
    "the item specified does not exist within the vector",
    "the iterator does not reference a valid object",
    "the iterator has already reached the end of the container",
    "the iterator has already reached the beginning of the container",
    "the index specified does not exist within the map",
};

void fail(failure reason) {
    // Every reason is a member of the enumeration, but a cast integer is not.
    if (reason < 0 || reason >= failureCount) reason = failInvalidIterator;
    throw exception(kMessages[reason]);
}

#endif

} // namespace cetl
