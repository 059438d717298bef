// Trace sink of the setup library.
#include "sl_trace.h"

#include <stdarg.h>

namespace {

// Set once by a test or a developer build before any thread traces; read without a lock.
volatile SetupTraceSink g_sink = nullptr;

} // namespace

SetupTraceSink SetupSetTraceSink(SetupTraceSink sink) {
    SetupTraceSink previous = g_sink;
    g_sink = sink;
    return previous;
}

void SetupTrace(const char* format, ...) {
    SetupTraceSink sink = g_sink;
    if (!sink) return;
    va_list args;
    va_start(args, format);
    // wvsprintf stops at 1024 characters, which bounds a line even for a hostile path.
    char line[1025];
    wvsprintfA(line, format, args);
    va_end(args);
    sink(line);
}
