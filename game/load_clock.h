// LoadClockMs: a millisecond reading of the performance counter, so that the
// loading stage can keep its own account of where its time went.
#pragma once

#include <windows.h>

inline double LoadClockMs() {
    LARGE_INTEGER frequency, now;
    if (!QueryPerformanceFrequency(&frequency) || !QueryPerformanceCounter(&now) || frequency.QuadPart == 0)
        return 0.0;
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}
