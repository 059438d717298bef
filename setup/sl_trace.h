// Trace lines of the setup library ("setuplib: ...", "rapi: ..."). They go to a sink that discards them
// unless a test or a developer build installs one that keeps them.
#pragma once

#include <windows.h>

// Receives one formatted line, line break included.
typedef void (*SetupTraceSink)(const char* line);

// Installs a sink (null discards again) and returns the one that was in place.
SetupTraceSink SetupSetTraceSink(SetupTraceSink sink);

// Formats a trace line with the platform's printf-like formatter ("%ld", "%s"), cut at 1024 characters,
// and hands it to the sink; nothing is formatted while no sink is installed.
void SetupTrace(const char* format, ...);
