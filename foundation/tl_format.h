// `sformat` is a string built from a format text and variable arguments. A
// leading typed argument list ("%{ld,s} Installing %2") lets a translated
// text use its arguments in any order; printf-like conversions ("%5d") are
// understood inline.
#pragma once

#include <stdarg.h>

#include "tl_string.h"

class sformat : public string {
public:
    sformat() {}
    // The format is the localized string resource id.
    explicit sformat(UINT id, ...);
    sformat(const CHAR* format, ...);
    sformat(const WCHAR* format, ...);

    using string::operator=;

private:
    // Arguments follow the platform's convention: one 32-bit slot each, two
    // for a double.
    void Format(const string& format, va_list* args);
};
