// How the containers report a failed check: the installer throws a
// cetl::exception carrying a fixed English text, the game raises a structured
// exception with code 0 and carries no texts at all.
#pragma once

#include <windows.h>

namespace cetl {

// The checks a container can fail. The installer maps each to its message;
// the game raises the same structured exception for all of them.
enum failure {
    failListEmpty,           // taking or removing the first element of an empty list
    failNotInList,           // finding an element the list does not hold
    failNotInVector,         // no item at the index
    failInvalidIterator,     // an iterator that references no element of this container
    failIteratorAtEnd,       // stepping forward from the end
    failIteratorAtBeginning, // stepping back from before the beginning
    failNotInMap,            // a key the map does not hold, where no default applies
    failureCount
};

// Never returns: the check that called it cannot go on.
[[noreturn]] void fail(failure reason);

} // namespace cetl
