// The formatter: typed argument list, positional references and inline
// conversions.
#include "tl_format.h"

#include "mem_manager.h"
#include "tl_variant.h"

#include <math.h>
#include <string.h>

namespace {

const DWORD npos = string::npos;

// Widths and precisions beyond this are taken as this: a hostile format
// must not ask for gigabytes of padding.
const DWORD kMaxWidth = 4096;

const TCHAR kDecimal[] = TEXT("0123456789");
const TCHAR kHexLower[] = TEXT("0123456789abcdef");
const TCHAR kHexUpper[] = TEXT("0123456789ABCDEF");
const TCHAR kUnknown[] = TEXT("(?)");

bool Has(const string& conversion, const CHAR* part) { return conversion.Find(string(part)) != npos; }

bool IsDigit(TCHAR c) { return c >= '0' && c <= '9'; }

DWORD Clamp(LONG value) {
    if (value < 0) return 0;
    return static_cast<DWORD>(value) > kMaxWidth ? kMaxWidth : static_cast<DWORD>(value);
}

// Takes one argument as the conversion's type says; an unknown type
// takes none and reads as "(?)". The first substring that matches decides.
Variant Fetch(const string& conversion, va_list* args) {
    if (Has(conversion, "ld") || Has(conversion, "lu")) return Variant(static_cast<LONG>(va_arg(*args, int)));
    if (Has(conversion, "hd") || Has(conversion, "hu") || Has(conversion, "lc"))
        return Variant(static_cast<LONG>(static_cast<SHORT>(va_arg(*args, int) & 0xFFFF)));
    if (Has(conversion, "d") || Has(conversion, "u")) return Variant(static_cast<LONG>(va_arg(*args, int)));
    if (Has(conversion, "x") || Has(conversion, "X")) return Variant(static_cast<LONG>(va_arg(*args, int)));
    if (Has(conversion, "c"))
        return Variant(static_cast<LONG>(static_cast<signed char>(va_arg(*args, int) & 0xFF)));
    if (Has(conversion, "lf")) return Variant(va_arg(*args, double));
    if (Has(conversion, "f")) {
        // A float passed through "..." would arrive as a double; callers
        // put its 32-bit pattern in one slot instead.
        int bits = va_arg(*args, int);
        float value;
        memcpy(&value, &bits, sizeof(value));
        return Variant(static_cast<double>(value));
    }
    if (Has(conversion, "ls")) return Variant(string(va_arg(*args, const WCHAR*)));
    if (Has(conversion, "hs")) return Variant(string(va_arg(*args, const CHAR*)));
    if (Has(conversion, "s")) return Variant(string(va_arg(*args, const TCHAR*)));
    if (Has(conversion, "m")) return Variant(string(static_cast<UINT>(va_arg(*args, int))));
    return Variant(string(kUnknown));
}

void AppendLong(string& out, const string& conversion, LONG value, bool plus) {
    if (Has(conversion, "c")) {
        out += static_cast<CHAR>(value & 0xFF);
        return;
    }
    DWORD magnitude = static_cast<DWORD>(value);
    if (value >= 0 && plus) {
        out += TEXT("+");
    } else if (!Has(conversion, "u") && value < 0) {
        out += TEXT("-");
        magnitude = 0u - magnitude;
    }
    AppendNumber(out, magnitude,
                 Has(conversion, "x")   ? kHexLower
                 : Has(conversion, "X") ? kHexUpper
                                        : kDecimal);
}

// Digits are truncated, never rounded. A value below 1 shows no leading 0
// unless zero padding is asked for or no fraction is shown. Integer parts
// beyond 32 bits show as 4294967295; NaN shows as 0.
void AppendDouble(string& out, double value, DWORD precision, bool plus, bool zero) {
    if (value != value) value = 0.0;
    if (value >= 0 && plus) out += TEXT("+");
    if (value < 0) {
        out += TEXT("-");
        value = -value;
    }
    if (value >= 1.0 || precision == 0 || zero) {
        double whole = floor(value);
        AppendNumber(out, whole >= 4294967295.0 ? 0xFFFFFFFF : static_cast<DWORD>(whole), kDecimal);
        value -= whole;
        if (!(value >= 0.0 && value < 1.0)) value = 0.0; // infinity
    }
    if (precision == 0) return;
    TCHAR digits[kMaxWidth + 2];
    digits[0] = '.';
    for (DWORD k = 1; k <= precision; ++k) {
        value *= 10.0;
        int digit = static_cast<int>(value);
        if (digit > 9) digit = 9;
        digits[k] = static_cast<TCHAR>('0' + digit);
        value -= digit;
    }
    digits[precision + 1] = 0;
    out += digits;
}

// Formats one value: flags "0", "+", "-" in any order, a width, then "."
// and a precision.
string FormatValue(const string& conversion, const Variant& value) {
    const TCHAR* p = conversion.Psz();
    DWORD i = 0;
    bool zero = false, plus = false, left = false;
    for (;; ++i) {
        if (p[i] == '0')
            zero = true;
        else if (p[i] == '+')
            plus = true;
        else if (p[i] == '-')
            left = true;
        else
            break;
    }
    DWORD width = Clamp(ParseLong(p + i));
    while (IsDigit(p[i])) ++i;
    DWORD precision = value.GetKind() == Variant::kDouble ? 8 : npos;
    if (p[i] == '.') precision = Clamp(ParseLong(p + i + 1));

    string out;
    switch (value.GetKind()) {
    case Variant::kLong:
        AppendLong(out, conversion, value.AsLong(), plus);
        break;
    case Variant::kDouble:
        AppendDouble(out, value.AsDouble(), precision, plus, zero);
        break;
    case Variant::kString:
        out = value.AsString().Mid(0, precision);
        break;
    }

    DWORD length = out.GetLength();
    if (length >= width) return out;
    TCHAR pad[kMaxWidth + 1];
    TCHAR fill = !left && zero ? '0' : ' ';
    for (DWORD k = 0; k < width - length; ++k) pad[k] = fill;
    pad[width - length] = 0;
    if (left) {
        out += pad;
        return out;
    }
    string padded(pad);
    padded += out;
    return padded;
}

// The typed arguments, in list order. Only order and count matter, so a
// pointer array grown with MemRealloc does. An entry that cannot be stored
// is left out, which later shows as "(?)" where it is referenced.
class TypedArguments {
public:
    TypedArguments() : items_(nullptr), count_(0), allocated_(0) {}
    ~TypedArguments() {
        for (DWORD k = 0; k < count_; ++k) MEMDELETE(items_[k]);
        if (items_) MEMFREE(items_);
    }
    void Add(const string& value) {
        if (!MEMREALLOC(string*, items_, allocated_, count_ + 1, 4)) return;
        string* item = MEMNEW(string, (value));
        if (item) items_[count_++] = item;
    }
    // Position n counts from 1; null when there is no such argument.
    const string* At(LONG n) const {
        return n >= 1 && static_cast<DWORD>(n) <= count_ ? items_[n - 1] : nullptr;
    }

private:
    TypedArguments(const TypedArguments&) = delete;
    TypedArguments& operator=(const TypedArguments&) = delete;

    string** items_;
    DWORD count_;
    DWORD allocated_;
};

bool IsTypeLetter(TCHAR c) {
    return c == 'd' || c == 'u' || c == 'f' || c == 'c' || c == 's' || c == 'm' || c == 'x' || c == 'X';
}

bool EndsConversion(TCHAR c) { return c == 0 || c == ' ' || c == ',' || c == ';' || c == '}'; }

} // namespace

sformat::sformat(UINT id, ...) {
    va_list args;
    va_start(args, id);
    Format(string(id), &args);
    va_end(args);
}

sformat::sformat(const CHAR* format, ...) {
    va_list args;
    va_start(args, format);
    Format(string(format), &args);
    va_end(args);
}

sformat::sformat(const WCHAR* format, ...) {
    va_list args;
    va_start(args, format);
    Format(string(format), &args);
    va_end(args);
}

void sformat::Format(const string& format, va_list* args) {
    const TCHAR* f = format.Psz();
    DWORD i = 0;
    TypedArguments typed;

    // Exactly one separator lies between two conversions, so ", " gives
    // an empty conversion for the space, which takes no argument.
    if (f[0] == '%' && f[1] == '{') {
        i = 2;
        for (;;) {
            DWORD begin = i;
            while (!EndsConversion(f[i])) ++i;
            string conversion = format.Mid(begin, i - begin);
            TCHAR end = f[i];
            if (end && end != '}') ++i;
            typed.Add(FormatValue(conversion, Fetch(conversion, args)));
            if (end == '}' || end == 0) break;
        }
        if (f[i] == '}') {
            ++i;
            if (f[i] == ' ' || f[i] == '\t') ++i;
        }
    }

    while (f[i]) {
        if (f[i] != '%') {
            DWORD begin = i;
            while (f[i] && f[i] != '%') ++i;
            Put(GetLength(), f, begin, i - begin);
            continue;
        }
        if (f[i + 1] == '%') {
            *this += TEXT("%");
            i += 2;
            continue;
        }
        // Digits and "." up to an optional size letter, then an optional
        // type letter, which ends the conversion.
        DWORD j = i + 1, dot = npos;
        bool sized = false;
        TCHAR type = 0;
        for (; f[j]; ++j) {
            if (!sized && (IsDigit(f[j]) || f[j] == '.')) {
                if (f[j] == '.' && dot == npos) dot = j;
            } else if (!sized && (f[j] == 'l' || f[j] == 'h')) {
                sized = true;
            } else {
                if (IsTypeLetter(f[j])) type = f[j++];
                break;
            }
        }
        string conversion = format.Mid(i + 1, j - i - 1);
        if (type) {
            *this += FormatValue(conversion, Fetch(conversion, args));
            i = j;
            continue;
        }
        // A positional reference; what was collected from the first "."
        // on is ordinary text again ("%1." shows argument 1 and a ".").
        const string* argument = typed.At(ParseLong(conversion.Psz()));
        *this += argument ? argument->Psz() : kUnknown;
        i = dot != npos ? dot : j;
    }
}
