// `string` is the text type of every interface, held in the build's native
// character width and able to hand out the other width on demand; `istring`
// is the same text compared without case.
#pragma once

#include <windows.h>

class istring;

class string {
public:
    // Position that means "not found" and count that means "to the end".
    static const DWORD npos = 0xFFFFFFFF;

    string();
    string(const CHAR* text, DWORD start = 0, DWORD count = npos);
    string(const WCHAR* text, DWORD start = 0, DWORD count = npos);
    // Copies from the other string's 16-bit form.
    string(const string& other, DWORD start = 0, DWORD count = npos);
    // The localized string resource `id` of the current language.
    explicit string(UINT id);

    // The virtual operations below are declared in the order of the virtual
    // table that other modules were built against; keep it.
    virtual ~string();
    virtual string& operator=(const string& other);
    virtual string& operator=(const WCHAR* text);
    virtual string& operator=(const CHAR* text);
    // Marks the string (made with MEM_NEW) and its buffers as permanent.
    virtual void Tare();
    virtual void TareBuffers();
    virtual string& operator+=(WCHAR c);
    virtual string& operator+=(CHAR c);
    virtual string& operator+=(const WCHAR* text);
    virtual string& operator+=(const CHAR* text);
    virtual string& operator+=(const string& other);
    virtual string operator+(WCHAR c) const;
    virtual string operator+(CHAR c) const;
    virtual string operator+(const WCHAR* text) const;
    virtual string operator+(const CHAR* text) const;
    virtual string operator+(const string& other) const;
    // Path join: "a" / "b" is "a\b"; slashes become backslashes.
    virtual string& operator/=(const string& other);
    virtual string operator/(const string& other) const;
    virtual DWORD GetLength() const;
    virtual DWORD Length() const;
    virtual DWORD UpdateLength();
    virtual operator const CHAR*() const;
    virtual operator const WCHAR*() const;
    virtual TCHAR operator[](DWORD index) const;
    virtual TCHAR& operator[](DWORD index);
    virtual const CHAR* Psz8() const;
    virtual const WCHAR* Psz16() const;
    virtual const TCHAR* Psz() const;
    virtual const CHAR* GetChars8() const;
    virtual const CHAR* GetChars8(DWORD index) const;
    virtual const WCHAR* GetChars16() const;
    virtual const WCHAR* GetChars16(DWORD index) const;
    virtual const TCHAR* GetChars() const;
    virtual const TCHAR* GetChars(DWORD index) const;
    // Writable text of at least cchMin characters; call UpdateLength after
    // writing through it.
    virtual TCHAR* GetBuffer(DWORD cchMin);
    // Copies from MemAlloc that the caller releases with MemFree.
    virtual TCHAR* Dup() const;
    virtual CHAR* Dup8() const;
    virtual WCHAR* Dup16() const;
    virtual string Trim() const;
    virtual string Mid(DWORD start, DWORD count = npos) const;
    // Difference of the first differing characters, 0 when equal, -1 for a
    // null pointer. A count limits the characters compared.
    virtual int Compare(const WCHAR* text, DWORD count = npos) const;
    virtual int Compare(const CHAR* text, DWORD count = npos) const;
    virtual int CompareNoCase(const WCHAR* text, DWORD count = npos) const;
    virtual int CompareNoCase(const CHAR* text, DWORD count = npos) const;
    virtual bool IsEmpty() const;
    virtual bool operator<(const WCHAR* text) const;
    virtual bool operator<(const CHAR* text) const;
    virtual bool operator<(const string& other) const;
    virtual bool operator<(const istring& other) const;
    virtual bool operator>(const WCHAR* text) const;
    virtual bool operator>(const CHAR* text) const;
    virtual bool operator>(const string& other) const;
    virtual bool operator>(const istring& other) const;
    virtual bool operator>=(const WCHAR* text) const;
    virtual bool operator>=(const CHAR* text) const;
    virtual bool operator>=(const string& other) const;
    virtual bool operator>=(const istring& other) const;
    virtual bool operator<=(const WCHAR* text) const;
    virtual bool operator<=(const CHAR* text) const;
    virtual bool operator<=(const string& other) const;
    virtual bool operator<=(const istring& other) const;
    virtual bool operator==(const WCHAR* text) const;
    virtual bool operator==(const CHAR* text) const;
    virtual bool operator==(const string& other) const;
    virtual bool operator==(const istring& other) const;
    virtual bool operator!=(const WCHAR* text) const;
    virtual bool operator!=(const CHAR* text) const;
    virtual bool operator!=(const string& other) const;
    virtual bool operator!=(const istring& other) const;
    virtual void Replace(DWORD start, DWORD count, const string& with);
    virtual void Replace(const WCHAR* oldText, const WCHAR* newText);
    virtual void Replace(const CHAR* oldText, const CHAR* newText);
    virtual void Replace(const string& oldText, const string& newText);
    virtual DWORD Find(const string& pattern, DWORD start = 0) const;
    virtual DWORD Find(WCHAR c, DWORD start = 0) const;
    virtual DWORD Find(CHAR c, DWORD start = 0) const;
    virtual DWORD ReverseFind(const string& pattern, DWORD limit = npos) const;
    virtual DWORD ReverseFind(WCHAR c, DWORD limit = npos) const;
    virtual DWORD ReverseFind(CHAR c, DWORD limit = npos) const;
    virtual void Reserve(DWORD cchMin);
    virtual void Reserve8(DWORD cchMin);
    virtual void Reserve16(DWORD cchMin);
    virtual void Assign(const WCHAR* text, DWORD start = 0, DWORD count = npos);
    virtual void Assign(const CHAR* text, DWORD start = 0, DWORD count = npos);
    // Writes count characters of text + start at position: a gap is filled
    // with spaces; an explicit count that ends inside the string overwrites
    // in place, otherwise the string ends after the copied text.
    virtual void Put(DWORD position, const WCHAR* text, DWORD start = 0, DWORD count = npos);
    virtual void Put(DWORD position, const CHAR* text, DWORD start = 0, DWORD count = npos);
    virtual void Append(const WCHAR* text);
    virtual void Append(const CHAR* text);

protected:
    // Native-width workers of the Put, Replace and ReverseFind families. They
    // carry their own names because in each build one of the public twins
    // already has the native signature.
    virtual void PutNative(DWORD position, const TCHAR* text, DWORD start, DWORD count);

public:
    virtual void ReplaceAll(const TCHAR* oldText, const TCHAR* newText);

protected:
    virtual DWORD ReverseFindNative(TCHAR c, DWORD limit) const;

public:
    // Subscripts with int literals would otherwise be ambiguous against the
    // built-in subscript through the pointer conversions.
    TCHAR operator[](int index) const { return (*this)[static_cast<DWORD>(index)]; }
    TCHAR& operator[](int index) { return (*this)[static_cast<DWORD>(index)]; }

    // Test and diagnostics view of the buffer sizes.
    DWORD GetCapacity() const { return capacity_; }
    DWORD GetCapacity8() const { return capacity8_; }
    DWORD GetCapacity16() const { return capacity16_; }

private:
    void ReserveText(DWORD cchMin) const;
    void ReserveScratch8(DWORD cchMin) const;
    void ReserveScratch16(DWORD cchMin) const;
    DWORD FindText(const TCHAR* pattern, DWORD patternLength, DWORD start) const;
    bool Overlaps(const void* p) const;

    // Reading a const string may grow its buffers or refill the scratch
    // conversions; its value never changes.
    mutable TCHAR* text_;
    mutable DWORD capacity_;
    DWORD length_;
    mutable CHAR* scratch8_;
    mutable DWORD capacity8_;
    mutable WCHAR* scratch16_;
    mutable DWORD capacity16_;
    bool permanent_;
};

// A string that compares without case.
class istring : public string {
public:
    istring() {}
    istring(const CHAR* text, DWORD start = 0, DWORD count = npos) : string(text, start, count) {}
    istring(const WCHAR* text, DWORD start = 0, DWORD count = npos) : string(text, start, count) {}
    istring(const string& other, DWORD start = 0, DWORD count = npos) : string(other, start, count) {}
    istring(const istring& other) : string(other) {}
    explicit istring(UINT id) : string(id) {}

    using string::operator=;
    istring& operator=(const istring& other) {
        string::operator=(other);
        return *this;
    }

    int Compare(const WCHAR* text, DWORD count = npos) const override;
    int Compare(const CHAR* text, DWORD count = npos) const override;
};

string operator+(const CHAR* text, const string& s);
string operator+(const WCHAR* text, const string& s);

// Appends value in the base strlen(digits), written with those digits, most
// significant first. Fewer than two digits give nothing to write with.
void AppendNumber(string& s, DWORD value, const TCHAR* digits);

// Character-string helpers of both widths. A null pointer reads as an empty
// text; the copying ones leave the destination alone for a null argument.
DWORD strlen8(const CHAR* s);
CHAR* strcpy8(CHAR* dst, const CHAR* src);
CHAR* strcat8(CHAR* dst, const CHAR* src);
CHAR* strncat8(CHAR* dst, const CHAR* src, DWORD count);
CHAR* strncpy8(CHAR* dst, const CHAR* src, DWORD count);
int strcmp8(const CHAR* a, const CHAR* b);
int strncmp8(const CHAR* a, const CHAR* b, DWORD count);
int stricmp8(const CHAR* a, const CHAR* b);
int strnicmp8(const CHAR* a, const CHAR* b, DWORD count);
const CHAR* strchr8(const CHAR* s, CHAR c);
const CHAR* strrchr8(const CHAR* s, CHAR c);
const CHAR* strstr8(const CHAR* text, const CHAR* pattern);
const CHAR* strrstr8(const CHAR* text, const CHAR* pattern);
CHAR* strlwr8(CHAR* s);
CHAR* strupr8(CHAR* s);
CHAR tolower8(CHAR c);
CHAR toupper8(CHAR c);
LONG ParseLong8(const CHAR* s);
double ParseDouble8(const CHAR* s);

DWORD strlen16(const WCHAR* s);
WCHAR* strcpy16(WCHAR* dst, const WCHAR* src);
WCHAR* strcat16(WCHAR* dst, const WCHAR* src);
WCHAR* strncat16(WCHAR* dst, const WCHAR* src, DWORD count);
WCHAR* strncpy16(WCHAR* dst, const WCHAR* src, DWORD count);
int strcmp16(const WCHAR* a, const WCHAR* b);
int strncmp16(const WCHAR* a, const WCHAR* b, DWORD count);
int stricmp16(const WCHAR* a, const WCHAR* b);
int strnicmp16(const WCHAR* a, const WCHAR* b, DWORD count);
const WCHAR* strchr16(const WCHAR* s, WCHAR c);
const WCHAR* strrchr16(const WCHAR* s, WCHAR c);
const WCHAR* strstr16(const WCHAR* text, const WCHAR* pattern);
const WCHAR* strrstr16(const WCHAR* text, const WCHAR* pattern);
WCHAR* strlwr16(WCHAR* s);
WCHAR* strupr16(WCHAR* s);
WCHAR tolower16(WCHAR c);
WCHAR toupper16(WCHAR c);
LONG ParseLong16(const WCHAR* s);
double ParseDouble16(const WCHAR* s);

// The native-width helpers.
#ifdef UNICODE
inline DWORD tstrlen(const WCHAR* s) { return strlen16(s); }
inline LONG ParseLong(const WCHAR* s) { return ParseLong16(s); }
inline double ParseDouble(const WCHAR* s) { return ParseDouble16(s); }
#else
inline DWORD tstrlen(const CHAR* s) { return strlen8(s); }
inline LONG ParseLong(const CHAR* s) { return ParseLong8(s); }
inline double ParseDouble(const CHAR* s) { return ParseDouble8(s); }
#endif
