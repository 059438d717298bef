// Keys and values of the system registry named by one path such as
// HKCU/Software/Tessel/Vexlin (written with backslashes), typed reads and
// writes, and binary records guarded by a version word so that settings of an
// older layout are ignored, not misread. Every operation opens the key, does
// its work and closes it again.
#pragma once

#include "tl_string.h"

// A binary blob that either owns a tracked copy of its bytes or only refers
// to the caller's.
class RegData {
public:
    RegData() : data_(nullptr), _cbData(0), owned_(false) {}
    // Refers to the caller's bytes, or copies them when `copy` is set.
    RegData(const void* data, DWORD size, bool copy = false);
    RegData(const RegData& other); // always an owned copy
    RegData& operator=(const RegData& other);
    ~RegData();

    const BYTE* Data() const { return data_; }
    DWORD Size() const { return _cbData; }
    bool Owned() const { return owned_; }
    // Takes ownership of a block from MemAlloc.
    void Adopt(BYTE* data, DWORD size);
    void Clear();

private:
    BYTE* data_;
    DWORD _cbData;
    bool owned_;
};

class RegKey {
public:
    explicit RegKey(const string& path);
    // The option word belongs to whoever creates the key; no operation here reads it.
    RegKey(DWORD options, const string& path);
    RegKey(const RegKey& parent, const string& name);
    RegKey(const RegKey& other) = default;
    virtual ~RegKey() {}

    DWORD Options() const { return options_; }
    HKEY Root() const { return root_; }
    const string& SubKey() const { return subKey_; }

    // Open handles, or null; Create makes the key when it is missing.
    HKEY Create() const;
    HKEY Open() const;
    void Close(HKEY handle) const;
    bool DeleteValue(const string& name) const;
    bool DeleteKey(const string& name) const;
    // Deletes the sub-key with everything below it.
    bool DeleteTree(const string& name) const;

private:
    DWORD options_;
    HKEY root_;
    string subKey_;
};

class RegValue : public RegKey {
public:
    RegValue(const string& path, const string& name);
    RegValue(const RegKey& key, const string& name);
    RegValue(const RegValue& other) = default;

    const string& Name() const { return name_; }

    DWORD GetSize() const; // 0 when missing
    DWORD GetType() const; // 0 when missing
    bool Query(DWORD* type, void* buffer, DWORD* size) const;
    bool Set(DWORD type, const void* data, DWORD size) const;
    // Writes the source's type and bytes here; a source that cannot be read
    // deletes this value. True when this value was written.
    bool Copy(const RegValue& source) const;

    bool SetString(const string& text) const;
    // Empty unless the value is REG_SZ or REG_EXPAND_SZ.
    bool GetString(string& text) const;
    bool SetDword(DWORD value) const;
    bool GetDword(DWORD& value) const; // 0 when missing
    bool SetBinary(const RegData& data) const;
    bool GetBinary(RegData& data) const;

    // A record is the version word (major in the high 16 bits, minor in the
    // low 16) followed by its bytes.
    bool SetVersioned(DWORD version, const RegData& data) const;
    // Reads a record of the same major and at least the required minor into
    // the destination, cut to its size and zero-filled beyond the stored
    // bytes. An incompatible record leaves the destination untouched.
    bool GetVersioned(DWORD required, void* destination, DWORD size) const;

private:
    string name_;
};
