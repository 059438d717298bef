// The ZIP reader: the three sources, the local-header walk, the member map, loading stored and deflated
// members, and every failure text of the reader.
#include "deflate.h"
#include "zip_file.h"
#include "zip_test_support.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace ziptest;

Bytes Pattern(size_t size, unsigned seed) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = BYTE((i * 31 + seed * 7 + (i >> 5)) & 0xFF);
    return data;
}

// Like the installer's payload: four processor folders, the game in each, the uninstaller and two
// readme files, all stored.
Bytes PayloadLikeArchive(std::vector<std::pair<std::string, Bytes>>* files) {
    ZipWriter zip;
    std::string error;
    const char* folders[] = {"arm/", "mips/", "shx/", "native/"};
    unsigned seed = 1;
    for (const char* folder : folders) {
        EXPECT_TRUE(zip.AddFolder(folder, &error)) << error;
        std::string name = std::string(folder) + "vexlin.exe";
        Bytes data = Pattern(3000 + seed * 100, seed);
        EXPECT_TRUE(zip.Add(name, data, ZipMethod::Stored, &error)) << error;
        files->push_back({name, data});
        ++seed;
    }
    const char* others[] = {"remora.dll", "readme.txt", "liesmin.txt", "native/remora.dll"};
    for (const char* name : others) {
        Bytes data = Pattern(500 + seed, seed);
        EXPECT_TRUE(zip.Add(name, data, ZipMethod::Stored, &error)) << error;
        files->push_back({name, data});
        ++seed;
    }
    return zip.Finish();
}

class ZipFileTest : public MemoryBalanced {};

TEST_F(ZipFileTest, PayloadOfStoredMembersFindsFoldersAndFilesThroughSeparatorConversion) {
    std::vector<std::pair<std::string, Bytes>> files;
    Bytes archive = PayloadLikeArchive(&files);
    for (BOOL defer : {FALSE, TRUE}) {
        ZipFile zip;
        zip.OpenMemory(archive.data(), DWORD(archive.size()), defer);
        EXPECT_EQ(12u, zip.GetCount());
        for (const char* folder : {"arm/", "MIPS/", "shx/", "Native/"}) {
            ZipEntry* entry = zip.Find(folder);
            ASSERT_TRUE(entry) << folder;
            EXPECT_EQ(0u, entry->GetSize());
            EXPECT_EQ(0u, entry->GetCompressedSize());
        }
        ZipEntry* game = zip.Find(ZipMemberName("ARM\\VEXLIN.EXE"));
        ASSERT_TRUE(game);
        EXPECT_EQ(game, zip.Find("arm/vexlin.exe"));
        EXPECT_EQ(game, zip.Find(ZipMemberName("\\arm\\vexlin.exe")));
        EXPECT_STREQ("arm/vexlin.exe", game->GetName().Psz8());
        EXPECT_EQ(nullptr, zip.Find("arm\\vexlin.exe"));
        EXPECT_EQ(nullptr, zip.Find("vexlin.exe"));
        EXPECT_EQ(defer == FALSE, game->IsLoaded());
        zip.LoadAll();
        for (const auto& file : files) {
            ZipEntry* entry = zip.Find(file.first.c_str());
            ASSERT_TRUE(entry) << file.first;
            EXPECT_EQ(kZipStored, entry->GetMethod());
            ASSERT_EQ(file.second.size(), entry->GetSize());
            // A stored member's data is the archive's own bytes, not a copy.
            EXPECT_EQ(entry->GetSource(), entry->GetData());
            EXPECT_EQ(file.second, Bytes(entry->GetData(), entry->GetData() + entry->GetSize()))
                << file.first;
        }
        // The map's order is the names' order without case.
        std::vector<std::string> names;
        for (ZipFile::iterator it = zip.begin(); it != zip.end(); ++it)
            names.push_back((*it)->GetName().Psz8());
        ASSERT_EQ(12u, names.size());
        EXPECT_EQ("arm/", names[0]);
        EXPECT_EQ("arm/vexlin.exe", names[1]);
        EXPECT_EQ("shx/vexlin.exe", names[11]);
    }
}

TEST_F(ZipFileTest, SkinResourceDecodesItsDeflatedMembers) {
    ZipFile zip;
    zip.OpenResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(800), "ZIP", TRUE);
    EXPECT_EQ(20u, zip.GetCount());
    ZipEntry* list = zip.Find("LIST.PSP");
    ASSERT_TRUE(list);
    EXPECT_EQ(kZipDeflated, list->GetMethod());
    EXPECT_FALSE(list->IsLoaded());
    EXPECT_EQ(3108u, list->GetSize());
    zip.Load(list);
    ASSERT_TRUE(list->IsLoaded());
    EXPECT_NE(list->GetSource(), list->GetData());
    EXPECT_EQ(SkinAsset("list.psp"), Bytes(list->GetData(), list->GetData() + list->GetSize()));
    // Loading again changes nothing.
    const BYTE* data = list->GetData();
    list->Load();
    EXPECT_EQ(data, list->GetData());

    ZipFile eager;
    eager.OpenResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(800), "ZIP", FALSE);
    for (ZipFile::iterator it = eager.begin(); it != eager.end(); ++it) {
        ZipEntry* entry = *it;
        ASSERT_TRUE(entry->IsLoaded()) << entry->GetName().Psz8();
        EXPECT_EQ(SkinAsset(entry->GetName().Psz8()),
                  Bytes(entry->GetData(), entry->GetData() + entry->GetSize()))
            << entry->GetName().Psz8();
    }
}

TEST_F(ZipFileTest, FileSourceReadsTheWholeArchive) {
    ZipFile zip;
    zip.OpenFile(SkinZipPath().c_str(), FALSE);
    EXPECT_EQ(20u, zip.GetCount());
    ZipEntry* skin = zip.Find("skin.txt");
    ASSERT_TRUE(skin);
    EXPECT_EQ(kZipDeflated, skin->GetMethod());
    EXPECT_EQ(SkinAsset("skin.txt"), Bytes(skin->GetData(), skin->GetData() + skin->GetSize()));
    zip.Close();
    EXPECT_EQ(0u, zip.GetCount());
}

TEST_F(ZipFileTest, SourcesThatCannotBeHadFailWithTheirTexts) {
    ZipFile zip;
    EXPECT_EQ(kZipResourceMissing, FailureOf([&] {
                  zip.OpenResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(801), "ZIP", TRUE);
              }));
    EXPECT_EQ(kZipResourceMissing, FailureOf([&] {
                  zip.OpenResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(800), "ZAP", TRUE);
              }));
    EXPECT_EQ(kZipFileMissing, FailureOf([&] { zip.OpenFile("Z:\\no\\such\\archive.zip", TRUE); }));

    char folder[MAX_PATH], path[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    GetTempFileNameA(folder, "vzt", 0, path); // made empty
    EXPECT_EQ(kZipFileEmpty, FailureOf([&] { zip.OpenFile(path, TRUE); }));
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "PK\3\3 not really", 16, &written, nullptr);
    CloseHandle(file);
    EXPECT_EQ(kZipNotAZip, FailureOf([&] { zip.OpenFile(path, TRUE); }));
    DeleteFileA(path);

    EXPECT_EQ(kZipNotAZip, FailureOf([&] { zip.OpenMemory(nullptr, 100, TRUE); }));
    EXPECT_EQ(kZipNotAZip, FailureOf([&] { zip.OpenMemory("PK\3\4", 3, TRUE); }));
    EXPECT_EQ(kZipNotAZip, FailureOf([&] { zip.OpenMemory("PK\1\2xxxx", 8, TRUE); }));
    EXPECT_EQ(0u, zip.GetCount());
    // Four bytes of signature and nothing more is an archive without members.
    EXPECT_EQ(kNoFailure, FailureOf([&] { zip.OpenMemory("PK\3\4", 4, TRUE); }));
    EXPECT_EQ(0u, zip.GetCount());
}

TEST_F(ZipFileTest, StoredMemberYieldsNoMoreThanItsCompressedSize) {
    Member shorter{"shorter.bin"};
    shorter.data = Text("12345678");
    shorter.size = 10;
    Member longer{"longer.bin"};
    longer.data = Text("12345678");
    longer.size = 5;
    Bytes archive = Archive({shorter, longer});
    ZipFile zip;
    zip.OpenMemory(archive.data(), DWORD(archive.size()), FALSE);
    ZipEntry* a = zip.Find("shorter.bin");
    ASSERT_TRUE(a);
    EXPECT_EQ(8u, a->GetSize());
    EXPECT_EQ(0, memcmp("12345678", a->GetData(), 8));
    ZipEntry* b = zip.Find("longer.bin");
    ASSERT_TRUE(b);
    EXPECT_EQ(5u, b->GetSize());
}

TEST_F(ZipFileTest, DeflatedMembersDecodeIntoBlocksOfTheirOwn) {
    Member empty{"empty.txt", kZipDeflated};
    empty.data = {0x01, 0x00, 0x00, 0xFF, 0xFF}; // one final stored block of length 0
    empty.size = 0;
    Member stored{"stored.txt", kZipDeflated};
    stored.data = {0x01, 0x05, 0x00, 0xFA, 0xFF, 'h', 'e', 'l', 'l', 'o'};
    stored.size = 5;
    Member damaged{"damaged.txt", kZipDeflated};
    damaged.data = {0x07}; // block type 3
    Bytes archive = Archive({empty, stored, damaged});
    ZipFile zip;
    zip.OpenMemory(archive.data(), DWORD(archive.size()), TRUE);
    ZipEntry* e = zip.Find("empty.txt");
    ASSERT_TRUE(e);
    e->Load();
    EXPECT_TRUE(e->IsLoaded());
    EXPECT_EQ(0u, e->GetSize());
    ZipEntry* s = zip.Find("stored.txt");
    ASSERT_TRUE(s);
    s->Load();
    ASSERT_EQ(5u, s->GetSize());
    EXPECT_EQ(0, memcmp("hello", s->GetData(), 5));
    const MemBlock* block = MemFindBlock(s->GetData());
    ASSERT_TRUE(block);
    EXPECT_STREQ("cbUncompressed + 1024", block->tag);

    ZipEntry* d = zip.Find("damaged.txt");
    ASSERT_TRUE(d);
    EXPECT_EQ(kInflateBadContent, FailureOf([&] { d->Load(); }));
    EXPECT_FALSE(d->IsLoaded());
    // Loading at once fails the whole archive, which is then left closed.
    EXPECT_EQ(kInflateBadContent,
              FailureOf([&] { zip.OpenMemory(archive.data(), DWORD(archive.size()), FALSE); }));
    EXPECT_EQ(0u, zip.GetCount());
}

TEST_F(ZipFileTest, DecodedOutputMayExceedTheDeclaredSizeBy1024BytesAndNoMore) {
    // Stored blocks: 1029 bytes declared as 5, then 1030.
    for (DWORD length : {1029u, 1030u}) {
        Member m{"grown.bin", kZipDeflated};
        m.data = {0x01, BYTE(length), BYTE(length >> 8), BYTE(~length), BYTE(~length >> 8)};
        Bytes payload = Pattern(length, 3);
        m.data.insert(m.data.end(), payload.begin(), payload.end());
        m.size = 5;
        Bytes archive = Archive({m});
        ZipFile zip;
        zip.OpenMemory(archive.data(), DWORD(archive.size()), TRUE);
        ZipEntry* entry = zip.Find("grown.bin");
        ASSERT_TRUE(entry);
        if (length == 1029) {
            entry->Load();
            EXPECT_EQ(1029u, entry->GetSize());
            EXPECT_EQ(payload, Bytes(entry->GetData(), entry->GetData() + entry->GetSize()));
        } else {
            EXPECT_EQ(kInflateBadContent, FailureOf([&] { entry->Load(); }));
        }
    }
}

TEST_F(ZipFileTest, UnsupportedMethodIsRefusedWithTheMemberName) {
    Member bzip{"data/Big.bin", 12};
    bzip.data = Text("BZh91AY&SY");
    Member fine{"fine.txt"};
    fine.data = Text("fine");
    Bytes archive = Archive({fine, bzip});
    ZipFile zip;
    zip.OpenMemory(archive.data(), DWORD(archive.size()), TRUE);
    EXPECT_EQ(2u, zip.GetCount());
    ZipEntry* entry = zip.Find("DATA/BIG.BIN");
    ASSERT_TRUE(entry);
    EXPECT_EQ(12, entry->GetMethod());
    const std::string text = "the entry data/Big.bin in the .ZIP file uses an unsupported compression method";
    EXPECT_EQ(text, FailureOf([&] { entry->Load(); }));
    EXPECT_EQ(text, FailureOf([&] { zip.OpenMemory(archive.data(), DWORD(archive.size()), FALSE); }));
    EXPECT_EQ(0u, zip.GetCount());
}

TEST_F(ZipFileTest, WalkEndsAtTheDataEndOrAtTheFirstOtherSignature) {
    Member a{"a.txt"};
    a.data = Text("alpha");
    Member b{"b.txt"};
    b.data = Text("beta");
    // No central directory: the archive ends right after the last member's data.
    Bytes bare = Archive({a, b});
    ZipFile zip;
    zip.OpenMemory(bare.data(), DWORD(bare.size()), FALSE);
    EXPECT_EQ(2u, zip.GetCount());
    ASSERT_TRUE(zip.Find("b.txt"));
    EXPECT_EQ(4u, zip.Find("b.txt")->GetSize());
    // Anything after a member that is not a local header ends the walk there.
    Bytes trailing = Archive({a});
    Put32(trailing, 0x02014B50);
    Bytes more = Archive({b});
    trailing.insert(trailing.end(), more.begin(), more.end());
    zip.OpenMemory(trailing.data(), DWORD(trailing.size()), FALSE);
    EXPECT_EQ(1u, zip.GetCount());
    // A header needs more than its 30 bytes before the end to be read at all.
    Member empty{""};
    Bytes headerOnly = Archive({a, empty});
    zip.OpenMemory(headerOnly.data(), DWORD(headerOnly.size()), FALSE);
    EXPECT_EQ(1u, zip.GetCount());
}

TEST_F(ZipFileTest, EntriesThatRunPastTheDataAreRefused) {
    Member a{"a.txt"};
    a.data = Text("alpha");
    Bytes archive = Archive({a});
    ZipFile zip;
    for (DWORD cut = 1; cut < 5; ++cut) {
        EXPECT_EQ(kZipEntryBeyondData,
                  FailureOf([&] { zip.OpenMemory(archive.data(), DWORD(archive.size() - cut), TRUE); }))
            << cut;
    }
    Member huge{"huge.bin"};
    huge.data = Text("x");
    huge.compressedSize = 0xFFFFFFF0; // would wrap a 32-bit end
    Bytes wrapping = Archive({huge});
    EXPECT_EQ(kZipEntryBeyondData,
              FailureOf([&] { zip.OpenMemory(wrapping.data(), DWORD(wrapping.size()), TRUE); }));
    Member extra{"extra.bin"};
    extra.extra = Bytes(8, 0);
    Bytes withExtra = Archive({extra});
    withExtra.resize(withExtra.size() - 1);
    EXPECT_EQ(kZipEntryBeyondData,
              FailureOf([&] { zip.OpenMemory(withExtra.data(), DWORD(withExtra.size()), TRUE); }));
    EXPECT_EQ(0u, zip.GetCount());
}

TEST_F(ZipFileTest, NamesLongerThanAWindowsPathAreRefused) {
    Member longest{std::string(258, 'n') + "/"};
    Member tooLong{std::string(259, 'n') + "/"};
    Bytes fits = Archive({longest, Member{"x"}});
    Bytes refused = Archive({tooLong, Member{"x"}});
    ZipFile zip;
    zip.OpenMemory(fits.data(), DWORD(fits.size()), FALSE);
    EXPECT_EQ(2u, zip.GetCount());
    ASSERT_TRUE(zip.Find(longest.name.c_str()));
    EXPECT_EQ(259u, zip.Find(longest.name.c_str())->GetName().GetLength());
    EXPECT_EQ(kZipEntryBeyondData,
              FailureOf([&] { zip.OpenMemory(refused.data(), DWORD(refused.size()), FALSE); }));
}

TEST_F(ZipFileTest, LaterMemberOfTheSameNameReplacesTheEarlier) {
    Member first{"Skin.txt"};
    first.data = Text("first");
    Member second{"SKIN.TXT"};
    second.data = Text("second");
    Member other{"other.txt"};
    Bytes archive = Archive({first, other, second});
    ZipFile zip;
    zip.OpenMemory(archive.data(), DWORD(archive.size()), FALSE);
    EXPECT_EQ(2u, zip.GetCount());
    ZipEntry* entry = zip.Find("skin.txt");
    ASSERT_TRUE(entry);
    EXPECT_STREQ("SKIN.TXT", entry->GetName().Psz8());
    ASSERT_EQ(6u, entry->GetSize());
    EXPECT_EQ(0, memcmp("second", entry->GetData(), 6));
}

TEST_F(ZipFileTest, FlagBitsTwoAndThree) {
    Member option{"fast.txt", kZipDeflated, 0x0006}; // deflate's "super fast" option: nothing follows
    option.data = {0x01, 0x02, 0x00, 0xFD, 0xFF, 'o', 'k'};
    Member described{"described.txt", 0, 0x0008};
    described.data = Text("abc");
    Member next{"next.txt"};
    next.data = Text("next");
    for (bool signature : {false, true}) {
        Bytes archive = Archive({option, described});
        if (signature) Put32(archive, 0x08074B50);
        Put32(archive, 0);
        Put32(archive, 3);
        Put32(archive, 3);
        AppendMember(archive, next);
        ZipFile zip;
        zip.OpenMemory(archive.data(), DWORD(archive.size()), FALSE);
        EXPECT_EQ(3u, zip.GetCount()) << signature;
        ASSERT_TRUE(zip.Find("fast.txt"));
        EXPECT_EQ(2u, zip.Find("fast.txt")->GetSize());
        ASSERT_TRUE(zip.Find("next.txt"));
        EXPECT_EQ(0, memcmp("next", zip.Find("next.txt")->GetData(), 4));
        // A descriptor cut short runs past the data.
        Bytes cut = Archive({described});
        Put32(cut, 0);
        EXPECT_EQ(kZipEntryBeyondData,
                  FailureOf([&] { zip.OpenMemory(cut.data(), DWORD(cut.size()), TRUE); }));
    }
    // A deflated member written as a stream has no size in its local header.
    Member streamed{"streamed.txt", kZipDeflated, 0x0008};
    streamed.compressedSize = 0;
    streamed.size = 0;
    Bytes archive = Archive({streamed});
    archive.insert(archive.end(), {0x01, 0x00, 0x00, 0xFF, 0xFF});
    Put32(archive, 0);
    Put32(archive, 5);
    Put32(archive, 0);
    ZipFile zip;
    EXPECT_EQ("the entry streamed.txt in the .ZIP file uses an unsupported compression method",
              FailureOf([&] { zip.OpenMemory(archive.data(), DWORD(archive.size()), TRUE); }));
}

TEST_F(ZipFileTest, EntryKeepsItsDosTimeAsACalendarRecord) {
    Member m{"dated.txt"};
    m.dosDate = ((2026 - 1980) << 9) | (12 << 5) | 7;
    m.dosTime = (13 << 11) | (45 << 5) | (58 / 2);
    Bytes archive = Archive({m});
    ZipFile zip;
    zip.OpenMemory(archive.data(), DWORD(archive.size()), TRUE);
    ASSERT_TRUE(zip.Find("dated.txt"));
    const SYSTEMTIME& t = zip.Find("dated.txt")->GetTime();
    EXPECT_EQ(16u, sizeof t);
    EXPECT_EQ(2026, t.wYear);
    EXPECT_EQ(12, t.wMonth);
    EXPECT_EQ(7, t.wDay);
    EXPECT_EQ(1, t.wDayOfWeek); // a Monday
    EXPECT_EQ(13, t.wHour);
    EXPECT_EQ(45, t.wMinute);
    EXPECT_EQ(58, t.wSecond);
}

TEST_F(ZipFileTest, CopiedEntryOwnsItsOwnDecodedBlock) {
    ZipFile zip;
    zip.OpenResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(800), "ZIP", FALSE);
    ZipEntry* list = zip.Find("list.psp");
    ASSERT_TRUE(list);
    {
        ZipEntry copy(*list);
        ASSERT_TRUE(copy.IsLoaded());
        EXPECT_NE(list->GetData(), copy.GetData());
        EXPECT_EQ(Bytes(list->GetData(), list->GetData() + list->GetSize()),
                  Bytes(copy.GetData(), copy.GetData() + copy.GetSize()));
        const MemBlock* block = MemFindBlock(copy.GetData());
        ASSERT_TRUE(block);
        EXPECT_STREQ("cbUncompressed", block->tag);
        ZipEntry assigned;
        assigned = *zip.Find("frame-c.psp"); // stored: shares the archive's bytes
        EXPECT_EQ(zip.Find("frame-c.psp")->GetData(), assigned.GetData());
        assigned = copy;
        EXPECT_NE(copy.GetData(), assigned.GetData());
        copy.Unload();
        EXPECT_FALSE(copy.IsLoaded());
        EXPECT_EQ(3108u, copy.GetSize());
        copy.Load();
        EXPECT_EQ(3108u, copy.GetSize());
    }
    const MemBlock* entry = MemFindBlock(list);
    ASSERT_TRUE(entry);
    EXPECT_STREQ("ZIPENTRY", entry->tag);
    ZipFile* owned = NEW_ZIPFILE();
    ASSERT_TRUE(MemFindBlock(owned));
    EXPECT_STREQ("ZIPFILE", MemFindBlock(owned)->tag);
    MEMDELETE(owned);
}

} // namespace
