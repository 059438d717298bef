// Text in the native character width with scratch buffers for the other
// width, and the character-string helpers of both widths.
#include "tl_string.h"

#include "mem_manager.h"
#include "tl_language.h"

#include <ctype.h>
#include <string.h>

namespace {

// Every block the strings allocate is booked under this source name.
const char kFile[] = "tl_string";

const CHAR kNull8[] = "(null)";
const WCHAR kNull16[] = L"(null)";
// The build's native width does the work; the other width is converted.
#ifdef UNICODE
typedef CHAR OtherChar;
const TCHAR* const kNullNative = kNull16;
const OtherChar* const kNullOther = kNull8;
#else
typedef WCHAR OtherChar;
const TCHAR* const kNullNative = kNull8;
const OtherChar* const kNullOther = kNull16;
#endif

const DWORD npos = string::npos;

// Characters compare as unsigned values.
inline DWORD Unit(CHAR c) { return static_cast<BYTE>(c); }
inline DWORD Unit(WCHAR c) { return c; }
inline CHAR Lower(CHAR c) { return tolower8(c); }
inline WCHAR Lower(WCHAR c) { return tolower16(c); }

// Length of s, but looking at no more than limit characters: counted
// resource texts carry no terminator, so an explicit count must not be
// read past.
template <typename C>
DWORD BoundedLength(const C* s, DWORD limit) {
    DWORD n = 0;
    while (n < limit && s[n]) ++n;
    return n;
}

template <typename C>
DWORD Length(const C* s) {
    DWORD n = 0;
    if (s)
        while (s[n]) ++n;
    return n;
}

// -1 for a null pointer on either side, else the difference of the first
// differing characters within count.
template <typename C>
int CompareText(const C* a, const C* b, DWORD count, bool noCase) {
    if (!a || !b) return -1;
    for (DWORD i = 0; i < count; ++i) {
        DWORD x = noCase ? Unit(Lower(a[i])) : Unit(a[i]);
        DWORD y = noCase ? Unit(Lower(b[i])) : Unit(b[i]);
        if (x != y) return static_cast<int>(x - y);
        if (!a[i]) break;
    }
    return 0;
}

// The helpers take a null pointer as an empty text.
template <typename C>
int HelperCompare(const C* a, const C* b, DWORD count, bool noCase) {
    static const C empty[1] = {0};
    return CompareText(a ? a : empty, b ? b : empty, count, noCase);
}

template <typename C>
C* CopyText(C* dst, const C* src) {
    if (!dst || !src) return dst;
    DWORD i = 0;
    for (; src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

template <typename C>
C* CopyTextN(C* dst, const C* src, DWORD count) {
    if (!dst || !src) return dst;
    DWORD i = 0;
    for (; i < count && src[i]; ++i) dst[i] = src[i];
    for (; i < count; ++i) dst[i] = 0;
    return dst;
}

template <typename C>
C* CatTextN(C* dst, const C* src, DWORD count) {
    if (!dst || !src) return dst;
    C* end = dst + Length(dst);
    DWORD i = 0;
    for (; i < count && src[i]; ++i) end[i] = src[i];
    end[i] = 0;
    return dst;
}

template <typename C>
const C* FindChar(const C* s, C c) {
    if (!s) return nullptr;
    for (;; ++s) {
        if (*s == c) return s;
        if (!*s) return nullptr;
    }
}

template <typename C>
const C* FindLastChar(const C* s, C c) {
    if (!s) return nullptr;
    const C* found = nullptr;
    for (;; ++s) {
        if (*s == c) found = s;
        if (!*s) return found;
    }
}

template <typename C>
const C* FindText(const C* text, const C* pattern) {
    if (!text || !pattern) return nullptr;
    DWORD n = Length(text), m = Length(pattern);
    for (DWORD i = 0; i + m <= n; ++i)
        if (CompareText(text + i, pattern, m, false) == 0) return text + i;
    return nullptr;
}

template <typename C>
const C* FindLastText(const C* text, const C* pattern) {
    if (!text || !pattern) return nullptr;
    DWORD n = Length(text), m = Length(pattern);
    if (m > n) return nullptr;
    for (DWORD i = n - m + 1; i-- > 0;)
        if (CompareText(text + i, pattern, m, false) == 0) return text + i;
    return nullptr;
}

template <typename C, typename Map>
C* MapText(C* s, Map map) {
    if (s)
        for (C* p = s; *p; ++p) *p = map(*p);
    return s;
}

// Digits beyond what a double holds are read but no longer add value, so a
// long run cannot overflow the scale into infinity.
template <typename C>
double ParseDoubleText(const C* s) {
    if (!s) return 0.0;
    DWORD i = 0;
    bool negative = false;
    if (s[i] == '+')
        ++i;
    else if (s[i] == '-')
        negative = true, ++i;
    double value = 0.0;
    for (; s[i] >= '0' && s[i] <= '9'; ++i) value = value * 10.0 + (s[i] - '0');
    if (s[i] == '.') {
        double scale = 1.0;
        DWORD digits = 0;
        for (++i; s[i] >= '0' && s[i] <= '9'; ++i)
            if (++digits <= 20) {
                scale /= 10.0;
                value += (s[i] - '0') * scale;
            }
    }
    return negative ? -value : value;
}

// Overflow wraps modulo 2^32 rather than being undefined.
template <typename C>
LONG ParseLongText(const C* s) {
    if (!s) return 0;
    DWORD i = 0;
    bool negative = false;
    if (s[i] == '+')
        ++i;
    else if (s[i] == '-')
        negative = true, ++i;
    DWORD value = 0;
    for (; s[i] >= '0' && s[i] <= '9'; ++i) value = value * 10 + static_cast<DWORD>(s[i] - '0');
    return static_cast<LONG>(negative ? 0u - value : value);
}

// The runtime's case mapping of a character's low 8 bits taken as a signed
// value. Negative values are outside what tolower/toupper accept; the "C"
// locale leaves them unchanged, so they are kept as they are.
inline int RuntimeLower(int v) { return v >= 0 ? tolower(v) : v; }
inline int RuntimeUpper(int v) { return v >= 0 ? toupper(v) : v; }

struct EsperantoLetter {
    WCHAR source;
    CHAR base;
    BYTE latin3;
};

const EsperantoLetter kEsperanto[] = {
    {0x0108, 'C', 0xC6}, {0x0109, 'c', 0xE6}, {0x011C, 'G', 0xD8}, {0x011D, 'g', 0xF8},
    {0x0124, 'H', 0xA6}, {0x0125, 'h', 0xB6}, {0x0134, 'J', 0xAC}, {0x0135, 'j', 0xBC},
    {0x015C, 'S', 0xDE}, {0x015D, 's', 0xFE}, {0x016C, 'U', 0xDD}, {0x016D, 'u', 0xFD},
};

// The system code page has no Esperanto letters and maps them to their base
// letters; Esperanto texts are shown with ISO 8859-3 fonts, so the letters
// get their codes there back.
void FixEsperanto(const WCHAR* source, DWORD sourceLength, CHAR* out, DWORD outLength) {
    for (DWORD i = 0; i < sourceLength && i < outLength; ++i)
        for (const EsperantoLetter& letter : kEsperanto)
            if (source[i] == letter.source && out[i] == letter.base) {
                out[i] = static_cast<CHAR>(letter.latin3);
                break;
            }
}

// Converts n characters into dst, which holds capacity units; the output
// keeps at most capacity - 1 of them and is always terminated.
DWORD Convert(const CHAR* src, DWORD n, WCHAR* dst, DWORD capacity) {
    if (!dst || capacity == 0) return 0;
    int out = 0;
    if (n > 0)
        out = MultiByteToWideChar(CP_ACP, 0, src, static_cast<int>(n), dst, static_cast<int>(capacity - 1));
    if (out < 0) out = 0;
    dst[out] = 0;
    return static_cast<DWORD>(out);
}

DWORD Convert(const WCHAR* src, DWORD n, CHAR* dst, DWORD capacity) {
    if (!dst || capacity == 0) return 0;
    int out = 0;
    if (n > 0)
        out = WideCharToMultiByte(CP_ACP, 0, src, static_cast<int>(n), dst, static_cast<int>(capacity - 1),
                                  " ", nullptr);
    if (out < 0) out = 0;
    dst[out] = 0;
    if (GetLanguage() == kLangEsperanto) FixEsperanto(src, n, dst, static_cast<DWORD>(out));
    return static_cast<DWORD>(out);
}

// One character of the other width in the native one.
#ifdef UNICODE
// A CHAR is widened by sign extension, as callers have always got.
TCHAR NativeChar(CHAR c) { return static_cast<WCHAR>(static_cast<SHORT>(static_cast<signed char>(c))); }
#else
// A WCHAR is converted as text.
TCHAR NativeChar(WCHAR c) {
    CHAR out[8];
    Convert(&c, c ? 1 : 0, out, sizeof(out));
    return out[0];
}
#endif

// Scratch buffers are only ever rewritten whole, so the old content is not
// kept. The new buffer is taken before the old one goes, so a failed
// allocation leaves a usable (if short) buffer.
template <typename C>
void ReserveScratch(C*& buffer, DWORD& capacity, DWORD cchMin, bool permanent, const char* tag) {
    if (cchMin > 0x7FFFFFFF / sizeof(C)) return;
    DWORD need = cchMin + 48;
    if (need <= capacity) return;
    C* fresh = static_cast<C*>(MemAlloc(sizeof(C) * need, tag, kFile, __LINE__));
    if (!fresh) return;
    fresh[0] = 0;
    if (permanent) MemTare(fresh, kFile, __LINE__);
    if (buffer) MemFree(buffer, kFile, __LINE__);
    buffer = fresh;
    capacity = need;
}

inline bool IsBlank(TCHAR c) { return c == ' ' || c == '\t'; }

} // namespace

// ---------------------------------------------------------------------------
// Character-string helpers.

DWORD strlen8(const CHAR* s) { return Length(s); }
CHAR* strcpy8(CHAR* dst, const CHAR* src) { return CopyText(dst, src); }
CHAR* strcat8(CHAR* dst, const CHAR* src) { return CatTextN(dst, src, npos); }
CHAR* strncat8(CHAR* dst, const CHAR* src, DWORD count) { return CatTextN(dst, src, count); }
CHAR* strncpy8(CHAR* dst, const CHAR* src, DWORD count) { return CopyTextN(dst, src, count); }
int strcmp8(const CHAR* a, const CHAR* b) { return HelperCompare(a, b, npos, false); }
int strncmp8(const CHAR* a, const CHAR* b, DWORD count) { return HelperCompare(a, b, count, false); }
int stricmp8(const CHAR* a, const CHAR* b) { return HelperCompare(a, b, npos, true); }
int strnicmp8(const CHAR* a, const CHAR* b, DWORD count) { return HelperCompare(a, b, count, true); }
const CHAR* strchr8(const CHAR* s, CHAR c) { return FindChar(s, c); }
const CHAR* strrchr8(const CHAR* s, CHAR c) { return FindLastChar(s, c); }
const CHAR* strstr8(const CHAR* text, const CHAR* pattern) { return FindText(text, pattern); }
const CHAR* strrstr8(const CHAR* text, const CHAR* pattern) { return FindLastText(text, pattern); }
CHAR* strlwr8(CHAR* s) { return MapText(s, tolower8); }
CHAR* strupr8(CHAR* s) { return MapText(s, toupper8); }
CHAR tolower8(CHAR c) { return static_cast<CHAR>(RuntimeLower(static_cast<signed char>(c))); }
CHAR toupper8(CHAR c) { return static_cast<CHAR>(RuntimeUpper(static_cast<signed char>(c))); }
LONG ParseLong8(const CHAR* s) { return ParseLongText(s); }
double ParseDouble8(const CHAR* s) { return ParseDoubleText(s); }

DWORD strlen16(const WCHAR* s) { return Length(s); }
WCHAR* strcpy16(WCHAR* dst, const WCHAR* src) { return CopyText(dst, src); }
WCHAR* strcat16(WCHAR* dst, const WCHAR* src) { return CatTextN(dst, src, npos); }
WCHAR* strncat16(WCHAR* dst, const WCHAR* src, DWORD count) { return CatTextN(dst, src, count); }
WCHAR* strncpy16(WCHAR* dst, const WCHAR* src, DWORD count) { return CopyTextN(dst, src, count); }
int strcmp16(const WCHAR* a, const WCHAR* b) { return HelperCompare(a, b, npos, false); }
int strncmp16(const WCHAR* a, const WCHAR* b, DWORD count) { return HelperCompare(a, b, count, false); }
int stricmp16(const WCHAR* a, const WCHAR* b) { return HelperCompare(a, b, npos, true); }
int strnicmp16(const WCHAR* a, const WCHAR* b, DWORD count) { return HelperCompare(a, b, count, true); }
const WCHAR* strchr16(const WCHAR* s, WCHAR c) { return FindChar(s, c); }
const WCHAR* strrchr16(const WCHAR* s, WCHAR c) { return FindLastChar(s, c); }
const WCHAR* strstr16(const WCHAR* text, const WCHAR* pattern) { return FindText(text, pattern); }
const WCHAR* strrstr16(const WCHAR* text, const WCHAR* pattern) { return FindLastText(text, pattern); }
WCHAR* strlwr16(WCHAR* s) { return MapText(s, tolower16); }
WCHAR* strupr16(WCHAR* s) { return MapText(s, toupper16); }
WCHAR tolower16(WCHAR c) {
    return static_cast<WCHAR>(RuntimeLower(static_cast<signed char>(c & 0xFF)) & 0xFFFF);
}
WCHAR toupper16(WCHAR c) {
    return static_cast<WCHAR>(RuntimeUpper(static_cast<signed char>(c & 0xFF)) & 0xFFFF);
}
LONG ParseLong16(const WCHAR* s) { return ParseLongText(s); }
double ParseDouble16(const WCHAR* s) { return ParseDoubleText(s); }

// ---------------------------------------------------------------------------
// string

string::string()
    : text_(nullptr), capacity_(0), length_(0), scratch8_(nullptr), capacity8_(0), scratch16_(nullptr),
      capacity16_(0), permanent_(false) {
    ReserveText(1);
}

string::string(const CHAR* text, DWORD start, DWORD count) : string() { Put(0, text, start, count); }

string::string(const WCHAR* text, DWORD start, DWORD count) : string() { Put(0, text, start, count); }

string::string(const string& other, DWORD start, DWORD count) : string() {
    Put(0, other.GetChars16(), start, count);
}

string::string(UINT id) : string() { AppendLocalizedString(*this, id); }

string::~string() {
    if (text_) MemFree(text_, kFile, __LINE__);
    if (scratch8_) MemFree(scratch8_, kFile, __LINE__);
    if (scratch16_) MemFree(scratch16_, kFile, __LINE__);
}

string& string::operator=(const string& other) {
    if (&other != this) Put(0, other.GetChars16());
    return *this;
}

string& string::operator=(const WCHAR* text) {
    Put(0, text);
    return *this;
}

string& string::operator=(const CHAR* text) {
    Put(0, text);
    return *this;
}

void string::Tare() {
    TareBuffers();
    MemTare(this, kFile, __LINE__);
}

void string::TareBuffers() {
    if (text_) MemTare(text_, kFile, __LINE__);
    if (scratch8_) MemTare(scratch8_, kFile, __LINE__);
    if (scratch16_) MemTare(scratch16_, kFile, __LINE__);
    permanent_ = true;
}

// Appending character 0 appends nothing: the terminator cannot be part of
// the text.
string& string::operator+=(WCHAR c) {
    WCHAR one[2] = {c, 0};
    Put(length_, one);
    return *this;
}

string& string::operator+=(CHAR c) {
    CHAR one[2] = {c, 0};
    Put(length_, one);
    return *this;
}

string& string::operator+=(const WCHAR* text) {
    Put(length_, text);
    return *this;
}

string& string::operator+=(const CHAR* text) {
    Put(length_, text);
    return *this;
}

string& string::operator+=(const string& other) {
    Put(length_, other.GetChars16());
    return *this;
}

string string::operator+(WCHAR c) const {
    string copy(*this);
    copy += c;
    return copy;
}

string string::operator+(CHAR c) const {
    string copy(*this);
    copy += c;
    return copy;
}

string string::operator+(const WCHAR* text) const {
    string copy(*this);
    copy += text;
    return copy;
}

string string::operator+(const CHAR* text) const {
    string copy(*this);
    copy += text;
    return copy;
}

string string::operator+(const string& other) const {
    string copy(*this);
    copy += other;
    return copy;
}

// The argument is copied before this string changes, so a string joined
// with itself works on its original text.
string& string::operator/=(const string& other) {
    string tail(other);
    for (DWORD i = 0; i < tail.length_; ++i)
        if (tail.text_[i] == '/') tail.text_[i] = '\\';
    for (DWORD i = 0; i < length_; ++i)
        if (text_[i] == '/') text_[i] = '\\';
    if (length_ > 0 && text_[length_ - 1] != '\\') {
        const TCHAR separator[2] = {'\\', 0};
        PutNative(length_, separator, 0, npos);
    }
    PutNative(length_, tail.text_, tail.text_[0] == '\\' ? 1 : 0, npos);
    return *this;
}

string string::operator/(const string& other) const {
    string copy(*this);
    copy /= other;
    return copy;
}

DWORD string::GetLength() const { return length_; }

DWORD string::Length() const { return length_; }

DWORD string::UpdateLength() {
    length_ = tstrlen(text_);
    return length_;
}

string::operator const CHAR*() const { return GetChars8(0); }

string::operator const WCHAR*() const { return GetChars16(0); }

TCHAR string::operator[](DWORD index) const {
    ReserveText(index);
    return index < capacity_ ? text_[index] : 0;
}

TCHAR& string::operator[](DWORD index) {
    ReserveText(index);
    if (index < capacity_) return text_[index];
    // Only an index the heap cannot hold gets here; writes to it go nowhere.
    static TCHAR discard;
    discard = 0;
    return discard;
}

const CHAR* string::Psz8() const { return GetChars8(0); }

const WCHAR* string::Psz16() const { return GetChars16(0); }

const TCHAR* string::Psz() const { return GetChars(0); }

const CHAR* string::GetChars8() const { return GetChars8(0); }

const WCHAR* string::GetChars16() const { return GetChars16(0); }

const TCHAR* string::GetChars() const { return GetChars(0); }

#ifdef UNICODE
const WCHAR* string::GetChars16(DWORD index) const { return GetChars(index); }

const CHAR* string::GetChars8(DWORD index) const {
    const WCHAR* source = GetChars(index);
    DWORD n = strlen16(source);
    ReserveScratch8(4 * (n + 1));
    if (!scratch8_) return "";
    Convert(source, n, scratch8_, capacity8_);
    return scratch8_;
}
#else
const CHAR* string::GetChars8(DWORD index) const { return GetChars(index); }

const WCHAR* string::GetChars16(DWORD index) const {
    const CHAR* source = GetChars(index);
    DWORD n = strlen8(source);
    ReserveScratch16(4 * (n + 1));
    if (!scratch16_) return L"";
    Convert(source, n, scratch16_, capacity16_);
    return scratch16_;
}
#endif

// Past the text the buffer holds zeros (fresh buffers are cleared), so the
// pointer always reaches a terminator.
const TCHAR* string::GetChars(DWORD index) const {
    ReserveText(index);
    return index < capacity_ ? text_ + index : text_ + length_;
}

TCHAR* string::GetBuffer(DWORD cchMin) {
    ReserveText(cchMin);
    return cchMin < capacity_ ? text_ : nullptr;
}

TCHAR* string::Dup() const {
#ifdef UNICODE
    return Dup16();
#else
    return Dup8();
#endif
}

CHAR* string::Dup8() const {
    const CHAR* psz = GetChars8();
    CHAR* copy = static_cast<CHAR*>(MemAlloc(1 + strlen8(psz), "1+strlen8(psz)", kFile, __LINE__));
    return strcpy8(copy, psz);
}

WCHAR* string::Dup16() const {
    const WCHAR* psz = GetChars16();
    WCHAR* copy = static_cast<WCHAR*>(
        MemAlloc(sizeof(WCHAR) * (1 + strlen16(psz)), "sizeof(WCHAR) * (1+strlen16(psz))", kFile, __LINE__));
    return strcpy16(copy, psz);
}

string string::Trim() const {
    DWORD first = 0, end = length_;
    while (first < end && IsBlank(text_[first])) ++first;
    while (end > first && IsBlank(text_[end - 1])) --end;
    return Mid(first, end - first);
}

string string::Mid(DWORD start, DWORD count) const {
    string part;
    part.PutNative(0, text_, start, count);
    return part;
}

int string::Compare(const TCHAR* text, DWORD count) const { return CompareText(text_, text, count, false); }

int string::Compare(const OtherChar* text, DWORD count) const {
    if (!text) return -1;
    string other(text);
    return CompareText(text_, other.text_, count, false);
}

int string::CompareNoCase(const TCHAR* text, DWORD count) const {
    return CompareText(text_, text, count, true);
}

int string::CompareNoCase(const OtherChar* text, DWORD count) const {
    if (!text) return -1;
    string other(text);
    return CompareText(text_, other.text_, count, true);
}

bool string::IsEmpty() const { return text_[0] == 0; }

bool string::operator<(const WCHAR* text) const { return Compare(text) < 0; }
bool string::operator<(const CHAR* text) const { return Compare(text) < 0; }
bool string::operator<(const string& other) const { return Compare(other.GetChars()) < 0; }
bool string::operator<(const istring& other) const { return CompareNoCase(other.GetChars()) < 0; }
bool string::operator>(const WCHAR* text) const { return Compare(text) > 0; }
bool string::operator>(const CHAR* text) const { return Compare(text) > 0; }
bool string::operator>(const string& other) const { return Compare(other.GetChars()) > 0; }
bool string::operator>(const istring& other) const { return CompareNoCase(other.GetChars()) > 0; }
bool string::operator>=(const WCHAR* text) const { return Compare(text) >= 0; }
bool string::operator>=(const CHAR* text) const { return Compare(text) >= 0; }
bool string::operator>=(const string& other) const { return Compare(other.GetChars()) >= 0; }
bool string::operator>=(const istring& other) const { return CompareNoCase(other.GetChars()) >= 0; }
bool string::operator<=(const WCHAR* text) const { return Compare(text) < 1; }
bool string::operator<=(const CHAR* text) const { return Compare(text) < 1; }
bool string::operator<=(const string& other) const { return Compare(other.GetChars()) < 1; }
bool string::operator<=(const istring& other) const { return CompareNoCase(other.GetChars()) < 1; }
bool string::operator==(const WCHAR* text) const { return Compare(text) == 0; }
bool string::operator==(const CHAR* text) const { return Compare(text) == 0; }
bool string::operator==(const string& other) const { return Compare(other.GetChars()) == 0; }
bool string::operator==(const istring& other) const { return CompareNoCase(other.GetChars()) == 0; }
bool string::operator!=(const WCHAR* text) const { return Compare(text) != 0; }
bool string::operator!=(const CHAR* text) const { return Compare(text) != 0; }
bool string::operator!=(const string& other) const { return Compare(other.GetChars()) != 0; }
bool string::operator!=(const istring& other) const { return CompareNoCase(other.GetChars()) != 0; }

// A range reaching past the end is cut at the end.
void string::Replace(DWORD start, DWORD count, const string& with) {
    if (&with == this) {
        string copy(with);
        Replace(start, count, copy);
        return;
    }
    if (start > length_) start = length_;
    if (count > length_ - start) count = length_ - start;
    const TCHAR* insert = with.GetChars();
    DWORD insertLength = tstrlen(insert);
    ReserveText(length_ + insertLength);
    if (capacity_ < length_ + insertLength + 1) return;
    memmove(text_ + start + insertLength, text_ + start + count,
            (length_ - start - count + 1) * sizeof(TCHAR));
    memcpy(text_ + start, insert, insertLength * sizeof(TCHAR));
    UpdateLength();
}

void string::Replace(const TCHAR* oldText, const TCHAR* newText) { ReplaceAll(oldText, newText); }

void string::Replace(const OtherChar* oldText, const OtherChar* newText) {
    string oldNative(oldText), newNative(newText);
    ReplaceAll(oldNative.text_, newNative.text_);
}

void string::Replace(const string& oldText, const string& newText) {
    string oldNative(oldText), newNative(newText);
    ReplaceAll(oldNative.text_, newNative.text_);
}

DWORD string::Find(const string& pattern, DWORD start) const {
    const TCHAR* text = pattern.GetChars();
    return FindText(text, tstrlen(text), start);
}

DWORD string::Find(TCHAR c, DWORD start) const {
    if (start > length_) return npos;
    if (c == 0) return length_;
    for (DWORD i = start; i < length_; ++i)
        if (text_[i] == c) return i;
    return npos;
}

DWORD string::Find(OtherChar c, DWORD start) const { return Find(NativeChar(c), start); }

DWORD string::ReverseFind(const string& pattern, DWORD limit) const {
    DWORD last = npos;
    for (DWORD hit = Find(pattern, 0); hit != npos && hit <= limit; hit = Find(pattern, hit + 1)) last = hit;
    return last;
}

DWORD string::ReverseFind(TCHAR c, DWORD limit) const { return ReverseFindNative(c, limit); }

DWORD string::ReverseFind(OtherChar c, DWORD limit) const { return ReverseFindNative(NativeChar(c), limit); }

void string::Reserve(DWORD cchMin) { ReserveText(cchMin); }

void string::Reserve8(DWORD cchMin) { ReserveScratch8(cchMin); }

void string::Reserve16(DWORD cchMin) { ReserveScratch16(cchMin); }

void string::Assign(const WCHAR* text, DWORD start, DWORD count) { Put(0, text, start, count); }

void string::Assign(const CHAR* text, DWORD start, DWORD count) { Put(0, text, start, count); }

void string::Put(DWORD position, const TCHAR* text, DWORD start, DWORD count) {
    PutNative(position, text, start, count);
}

// The other width is converted into the native scratch buffer first.
void string::Put(DWORD position, const OtherChar* text, DWORD start, DWORD count) {
    if (!text) text = kNullOther;
    const OtherChar* source = text + BoundedLength(text, start);
    DWORD n = BoundedLength(source, count);
#ifdef UNICODE
    ReserveScratch16(4 * (n + 1));
    TCHAR* scratch = scratch16_;
    DWORD scratchCapacity = capacity16_;
#else
    ReserveScratch8(4 * (n + 1));
    TCHAR* scratch = scratch8_;
    DWORD scratchCapacity = capacity8_;
#endif
    DWORD converted = Convert(source, n, scratch, scratchCapacity);
    PutNative(position, scratch ? scratch : TEXT(""), 0, count == npos ? npos : converted);
}

void string::Append(const WCHAR* text) { Put(length_, text); }

void string::Append(const CHAR* text) { Put(length_, text); }

// A start beyond the source's end reads nothing, and an explicit count is
// cut at the source's terminator: neither may read past the source text.
void string::PutNative(DWORD position, const TCHAR* text, DWORD start, DWORD count) {
    if (!text) text = kNullNative;
    if (Overlaps(text)) {
        string copy;
        copy.PutNative(0, text, start, count);
        PutNative(position, copy.text_, 0, count == npos ? npos : copy.length_);
        return;
    }
    const TCHAR* source = text + BoundedLength(text, start);
    DWORD n = count == npos ? tstrlen(source) : BoundedLength(source, count);
    DWORD end = position + n;
    if (end < position || end == npos) return;
    ReserveText(end + 1);
    if (capacity_ < end + 1) return;
    for (DWORD i = length_; i < position; ++i) text_[i] = ' ';
    memcpy(text_ + position, source, n * sizeof(TCHAR));
    if (count == npos || end >= length_) {
        length_ = end;
        text_[end] = 0;
    }
}

// An empty pattern would be found again right after each replacement and
// never end, so it replaces nothing.
void string::ReplaceAll(const TCHAR* oldText, const TCHAR* newText) {
    if (!oldText) oldText = kNullNative;
    if (!newText) newText = kNullNative;
    if (Overlaps(oldText) || Overlaps(newText)) {
        string oldCopy(oldText), newCopy(newText);
        ReplaceAll(oldCopy.text_, newCopy.text_);
        return;
    }
    DWORD oldLength = tstrlen(oldText), newLength = tstrlen(newText);
    if (oldLength == 0) return;
    for (DWORD hit = FindText(oldText, oldLength, 0); hit != npos;
         hit = FindText(oldText, oldLength, hit + newLength)) {
        ReserveText(length_ + newLength);
        if (capacity_ < length_ + newLength + 1) break;
        if (oldLength != newLength)
            memmove(text_ + hit + newLength, text_ + hit + oldLength,
                    (length_ - hit - oldLength + 1) * sizeof(TCHAR));
        memcpy(text_ + hit, newText, newLength * sizeof(TCHAR));
        length_ = length_ - oldLength + newLength;
    }
    UpdateLength();
}

DWORD string::ReverseFindNative(TCHAR c, DWORD limit) const {
    DWORD last = npos;
    for (DWORD hit = Find(c, 0); hit != npos && hit <= limit; hit = Find(c, hit + 1)) last = hit;
    return last;
}

// Growth keeps 16 spare characters and adds the length (32 at least, 1M at
// most) so that appending one piece at a time stays linear. The whole old
// buffer is kept, including characters written past the length through
// operator[] or GetBuffer, and the rest of the new one is cleared.
void string::ReserveText(DWORD cchMin) const {
    if (cchMin <= npos - 16 && cchMin + 16 <= capacity_) return;
    const DWORD maxChars = 0x7FFFFFFF / sizeof(TCHAR) - 0x100000 - 16;
    if (cchMin > maxChars) return;
    DWORD grow = length_ < 32 ? 32 : (length_ > 0x100000 ? 0x100000 : length_);
    DWORD newCapacity = cchMin + 16 + grow;
    TCHAR* buffer =
        static_cast<TCHAR*>(MemAlloc(sizeof(TCHAR) * newCapacity, "sizeof(TCHAR) * cchMin", kFile, __LINE__));
    if (!buffer) return;
    if (permanent_) MemTare(buffer, kFile, __LINE__);
    DWORD kept = 0;
    if (text_) {
        kept = capacity_;
        memcpy(buffer, text_, kept * sizeof(TCHAR));
        MemFree(text_, kFile, __LINE__);
    }
    memset(buffer + kept, 0, (newCapacity - kept) * sizeof(TCHAR));
    text_ = buffer;
    capacity_ = newCapacity;
}

void string::ReserveScratch8(DWORD cchMin) const {
    ReserveScratch(scratch8_, capacity8_, cchMin, permanent_, "sizeof(CHAR) * cchMin");
}

void string::ReserveScratch16(DWORD cchMin) const {
    ReserveScratch(scratch16_, capacity16_, cchMin, permanent_, "sizeof(WCHAR) * cchMin");
}

// An empty pattern is found at start, unless nothing is left from there.
DWORD string::FindText(const TCHAR* pattern, DWORD patternLength, DWORD start) const {
    if (start > length_) return npos;
    if (patternLength == 0) return start < length_ ? start : npos;
    for (DWORD i = start; i + patternLength <= length_; ++i)
        if (memcmp(text_ + i, pattern, patternLength * sizeof(TCHAR)) == 0) return i;
    return npos;
}

bool string::Overlaps(const void* p) const {
    const BYTE* b = static_cast<const BYTE*>(p);
    const BYTE* begin = reinterpret_cast<const BYTE*>(text_);
    return text_ && b >= begin && b < begin + capacity_ * sizeof(TCHAR);
}

// ---------------------------------------------------------------------------
// istring

int istring::Compare(const WCHAR* text, DWORD count) const { return CompareNoCase(text, count); }

int istring::Compare(const CHAR* text, DWORD count) const { return CompareNoCase(text, count); }

// ---------------------------------------------------------------------------

string operator+(const CHAR* text, const string& s) {
    string result(text);
    result += s;
    return result;
}

string operator+(const WCHAR* text, const string& s) {
    string result(text);
    result += s;
    return result;
}

void AppendNumber(string& s, DWORD value, const TCHAR* digits) {
    DWORD base = tstrlen(digits);
    if (base < 2) return;
    TCHAR reversed[33];
    DWORD n = 0;
    do {
        reversed[n++] = digits[value % base];
        value /= base;
    } while (value);
    TCHAR written[34];
    for (DWORD i = 0; i < n; ++i) written[i] = reversed[n - 1 - i];
    written[n] = 0;
    s += written;
}
