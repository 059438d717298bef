// Registry keys, values and versioned records against the real registry of
// the test prefix. Each test works below its own key and deletes it again.
#include "registry.h"

#include <gtest/gtest.h>

#include <string.h>
#include <vector>

#include "guarded_bytes.h"
#include "mem_manager.h"

namespace {

class RegistryTest : public ::testing::Test {
protected:
#ifdef UNICODE
    const TCHAR* base_ = TEXT("HKCU\\Software\\VexlinTests\\RegistryW");
#else
    const TCHAR* base_ = TEXT("HKCU\\Software\\VexlinTests\\RegistryA");
#endif
    void SetUp() override { Cleanup(); }
    void TearDown() override { Cleanup(); }
    // The test key below the parent, which is removed with all it holds.
    void Cleanup() {
        const string parent(TEXT("HKCU\\Software\\VexlinTests"));
        RegKey(parent).DeleteTree(string(base_).Mid(parent.GetLength() + 1));
    }
    RegValue Value(const TCHAR* name) { return RegValue(string(base_), string(name)); }
};

TEST_F(RegistryTest, PathsNameTheirRootAndSubKey) {
    struct Case {
        const TCHAR* path;
        HKEY root;
        const TCHAR* subKey;
    } cases[] = {
        {TEXT("HKLM"), HKEY_LOCAL_MACHINE, TEXT("")},
        {TEXT("hkcu\\Foo"), HKEY_CURRENT_USER, TEXT("Foo")},
        {TEXT("HKCR\\a\\b"), HKEY_CLASSES_ROOT, TEXT("a\\b")},
        {TEXT("Software\\X"), HKEY_CURRENT_USER, TEXT("Software\\X")},
        {TEXT("HKLMX\\Y"), HKEY_CURRENT_USER, TEXT("HKLMX\\Y")},
        {TEXT("hkcr"), HKEY_CLASSES_ROOT, TEXT("")},
    };
    for (const Case& c : cases) {
        RegKey key{string(c.path)};
        EXPECT_EQ(c.root, key.Root());
        EXPECT_TRUE(key.SubKey() == c.subKey) << string(c.path).Psz8() << " gave " << key.SubKey().Psz8();
    }
    RegKey child(RegKey(string(TEXT("HKLM\\Software"))), string(TEXT("/Tessel/NLS")));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, child.Root());
    EXPECT_TRUE(child.SubKey() == TEXT("Software\\Tessel\\NLS"));
    EXPECT_EQ(7u, RegKey(7, string(TEXT("x"))).Options());
}

// A root name with its backslash and nothing after it is still the root,
// with an empty sub-key, and reaches the root's own values.
TEST_F(RegistryTest, ARootFollowedOnlyByItsBackslashNamesTheRoot) {
    struct Case {
        const TCHAR* path;
        HKEY root;
    } cases[] = {
        {TEXT("HKLM\\"), HKEY_LOCAL_MACHINE},
        {TEXT("hkcu\\"), HKEY_CURRENT_USER},
        {TEXT("HkCr\\"), HKEY_CLASSES_ROOT},
    };
    for (const Case& c : cases) {
        RegKey key{string(c.path)};
        EXPECT_EQ(c.root, key.Root()) << string(c.path).Psz8();
        EXPECT_TRUE(key.SubKey().IsEmpty()) << string(c.path).Psz8() << " gave " << key.SubKey().Psz8();
    }
    HKEY opened = RegKey(string(TEXT("HKCU\\"))).Open();
    ASSERT_NE(nullptr, opened);
    HKEY software = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyEx(opened, TEXT("Software"), 0, KEY_READ, &software))
        << "the handle is the root itself";
    if (software) RegCloseKey(software);
    RegCloseKey(opened);
}

// Text stored for later expansion is still text: it is read as it is stored.
TEST_F(RegistryTest, GetStringReadsExpandableTextAsItIsStored) {
    const TCHAR stored[] = TEXT("%WINDIR%\\Fonts");
    RegValue path = Value(TEXT("Expandable"));
    ASSERT_TRUE(path.Set(REG_EXPAND_SZ, stored, sizeof stored));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), path.GetType());
    string read(TEXT("stale"));
    EXPECT_TRUE(path.GetString(read));
    EXPECT_TRUE(read == stored) << read.Psz8();
    EXPECT_EQ(14u, read.GetLength());

    // Other kinds of text are not read as one string.
    const TCHAR several[] = TEXT("a\0b\0");
    RegValue list = Value(TEXT("List"));
    ASSERT_TRUE(list.Set(REG_MULTI_SZ, several, sizeof several));
    EXPECT_FALSE(list.GetString(read));
    EXPECT_TRUE(read.IsEmpty());
}

TEST_F(RegistryTest, TypedValuesRoundTripAndMissingOnesReadEmpty) {
    RegValue text = Value(TEXT("Name"));
    EXPECT_EQ(0u, text.GetSize());
    EXPECT_EQ(0u, text.GetType());
    string read(TEXT("stale"));
    EXPECT_FALSE(text.GetString(read));
    EXPECT_TRUE(read.IsEmpty());

    ASSERT_TRUE(text.SetString(string(TEXT("Ludanto"))));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), text.GetType());
    EXPECT_EQ(8 * sizeof(TCHAR), text.GetSize()) << "the terminator is stored";
    EXPECT_TRUE(text.GetString(read));
    EXPECT_TRUE(read == TEXT("Ludanto"));
    EXPECT_EQ(7u, read.GetLength());

    RegValue number = Value(TEXT("Count"));
    DWORD n = 5;
    EXPECT_FALSE(number.GetDword(n));
    EXPECT_EQ(0u, n);
    ASSERT_TRUE(number.SetDword(0xDEADBEEF));
    EXPECT_TRUE(number.GetDword(n));
    EXPECT_EQ(0xDEADBEEFu, n);
    EXPECT_FALSE(number.GetString(read)) << "a number is no text";
    EXPECT_TRUE(read.IsEmpty());

    const BYTE bytes[] = {1, 2, 3, 0, 5};
    RegValue blob = Value(TEXT("Blob"));
    ASSERT_TRUE(blob.SetBinary(RegData(bytes, sizeof bytes)));
    RegData back;
    ASSERT_TRUE(blob.GetBinary(back));
    EXPECT_TRUE(back.Owned());
    ASSERT_EQ(sizeof bytes, back.Size());
    EXPECT_EQ(0, memcmp(bytes, back.Data(), sizeof bytes));

    RegValue copy = Value(TEXT("Copy"));
    EXPECT_TRUE(copy.Copy(blob));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), copy.GetType());
    EXPECT_FALSE(copy.Copy(Value(TEXT("Missing"))));
    EXPECT_EQ(0u, copy.GetType()) << "copying a missing value deletes the destination";
}

TEST_F(RegistryTest, VersionedRecordsAreReadOnlyWhenCompatible) {
    RegValue settings = Value(TEXT("Settings"));
    BYTE record[10];
    for (int i = 0; i < 10; i++) record[i] = static_cast<BYTE>(0xA0 + i);
    ASSERT_TRUE(settings.SetVersioned(0x00010003, RegData(record, sizeof record)));
    EXPECT_EQ(14u, settings.GetSize());

    BYTE wide[16];
    memset(wide, 0x55, sizeof wide);
    ASSERT_TRUE(settings.GetVersioned(0x00010002, wide, sizeof wide));
    EXPECT_EQ(0, memcmp(record, wide, 10));
    for (int i = 10; i < 16; i++) EXPECT_EQ(0, wide[i]) << "byte " << i;

    BYTE narrow[4] = {};
    ASSERT_TRUE(settings.GetVersioned(0x00010003, narrow, sizeof narrow));
    EXPECT_EQ(0, memcmp(record, narrow, 4));

    BYTE untouched[4] = {9, 9, 9, 9};
    EXPECT_FALSE(settings.GetVersioned(0x00010004, untouched, sizeof untouched)) << "older minor";
    EXPECT_FALSE(settings.GetVersioned(0x00020000, untouched, sizeof untouched)) << "other major";
    EXPECT_FALSE(settings.GetVersioned(0x00000003, untouched, sizeof untouched)) << "other major";
    for (BYTE b : untouched) EXPECT_EQ(9, b);

    const BYTE tooShort[3] = {3, 0, 1};
    RegValue damaged = Value(TEXT("Damaged"));
    ASSERT_TRUE(damaged.Set(REG_BINARY, tooShort, sizeof tooShort));
    EXPECT_FALSE(damaged.GetVersioned(0x00010000, untouched, sizeof untouched));
    EXPECT_FALSE(Value(TEXT("Absent")).GetVersioned(0x00010000, untouched, sizeof untouched));
}

// Reserves every free stretch of address space of a megabyte or more, so that no large allocation can
// succeed until the reservation ends; small allocations still find room in the heaps' existing space.
class AddressSpaceExhausted {
public:
    AddressSpaceExhausted() {
        for (SIZE_T size = 256u << 20; size >= (1u << 20); size /= 2)
            while (count_ < kMax) {
                void* p = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
                if (!p) break;
                reserved_[count_++] = p;
            }
    }
    ~AddressSpaceExhausted() {
        while (count_) VirtualFree(reserved_[--count_], 0, MEM_RELEASE);
    }

private:
    static const int kMax = 4096;
    void* reserved_[kMax];
    int count_ = 0;
};

// Reading a long text needs a buffer for it; when none can be had the read fails and leaves the text empty.
TEST_F(RegistryTest, AStringThatFindsNoBufferReadsAsFailure) {
    const DWORD characters = 3u << 20; // 6 MB of UTF-16, or 3 MB of 8-bit text
    TCHAR* big = new TCHAR[characters + 1];
    for (DWORD i = 0; i < characters; ++i) big[i] = TEXT('a') + i % 26;
    big[characters] = 0;
    RegValue value = Value(TEXT("Long"));
    ASSERT_TRUE(value.SetString(string(big)));
    delete[] big;

    string read(TEXT("stale"));
    bool ok;
    {
        AddressSpaceExhausted exhausted;
        ok = value.GetString(read);
    }
    EXPECT_FALSE(ok);
    EXPECT_TRUE(read.IsEmpty());
    // With room again the same value reads in full.
    ASSERT_TRUE(value.GetString(read));
    EXPECT_EQ(characters, read.GetLength());
    EXPECT_EQ(TEXT('a'), read[26]);
}

// Seeded records of every length from 0 to 40 bytes with versions around the required one, read into a
// destination that ends right before an inaccessible page: a compatible record fills the destination
// with its bytes cut to size and zeros beyond them, anything else leaves the destination as it was.
TEST_F(RegistryTest, ArbitraryRecordsReadIntoExactlySizedDestinations) {
    const DWORD required = 0x00030002;
    const DWORD versions[] = {0x00030002, 0x00030007, 0x00030001, 0x00020002, 0x00040002, 0, 0xFFFFFFFF};
    const DWORD sizes[] = {0, 1, 7, 16, 33};
    DWORD seed = 99;
    RegValue value = Value(TEXT("Record"));
    MemStats before = MemGetStats();
    for (int round = 0; round < 300; ++round) {
        seed = seed * 1103515245 + 12345;
        std::vector<BYTE> stored(seed % 41);
        for (BYTE& b : stored) b = static_cast<BYTE>((seed = seed * 1103515245 + 12345) >> 16);
        DWORD version = versions[round % 7];
        if (stored.size() >= 4) memcpy(stored.data(), &version, 4);
        ASSERT_TRUE(value.SetBinary(RegData(stored.data(), static_cast<DWORD>(stored.size()))));
        DWORD size = sizes[round % 5];
        std::vector<BYTE> fill(size, 0xA5);
        GuardedBytes destination(fill);
        bool compatible = stored.size() >= 4 && HIWORD(version) == 3 && LOWORD(version) >= 2;
        EXPECT_EQ(compatible, value.GetVersioned(required, destination.data(), size)) << round;
        for (DWORD i = 0; i < size; ++i) {
            BYTE want = !compatible ? 0xA5 : i + 4 < stored.size() ? stored[i + 4] : 0;
            ASSERT_EQ(want, destination.data()[i]) << "round " << round << ", byte " << i;
        }
    }
    EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
}

TEST_F(RegistryTest, DeleteTreeRemovesEverythingBelowAKey) {
    RegKey base{string(base_)};
    for (const TCHAR* path : {TEXT("Tree\\A\\One"), TEXT("Tree\\A\\Two"), TEXT("Tree\\B")}) {
        RegValue leaf(RegKey(base, string(path)), string(TEXT("v")));
        ASSERT_TRUE(leaf.SetDword(1));
    }
    EXPECT_FALSE(base.DeleteKey(string(TEXT("Tree")))) << "a key with sub-keys stays";
    EXPECT_TRUE(base.DeleteTree(string(TEXT("Tree"))));
    EXPECT_EQ(nullptr, RegKey(base, string(TEXT("Tree"))).Open());
    EXPECT_FALSE(base.DeleteTree(string(TEXT("Tree")))) << "nothing left to delete";

    RegValue v = Value(TEXT("Gone"));
    v.SetDword(3);
    EXPECT_TRUE(base.DeleteValue(string(TEXT("Gone"))));
    EXPECT_EQ(0u, v.GetType());
}

TEST(RegDataTest, OwnedCopiesAreIndependentOfTheirSource) {
    BYTE source[3] = {1, 2, 3};
    RegData borrowed(source, 3);
    EXPECT_FALSE(borrowed.Owned());
    EXPECT_EQ(source, borrowed.Data());
    RegData copied(source, 3, true);
    EXPECT_TRUE(copied.Owned());
    source[0] = 7;
    EXPECT_EQ(1, copied.Data()[0]);
    RegData second(borrowed);
    EXPECT_TRUE(second.Owned());
    EXPECT_EQ(7, second.Data()[0]);
    second = copied;
    EXPECT_EQ(1, second.Data()[0]);
}

} // namespace
