// ZIP writer: archives read back field by field with the test's own parser, contents through zlib,
// determinism, the reader's local-header walk, and every refused name.
#include "zip_test_reader.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Noise(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    Bytes b(n);
    for (uint8_t& v : b) v = static_cast<uint8_t>(random());
    return b;
}

Bytes Repetitive(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>("tile-row "[i % 9]);
    return b;
}

struct Input {
    std::string name;
    Bytes data;
    ZipMethod method;
    bool folder;
};

std::vector<Input> SampleInputs() {
    return {
        {"skin.txt", Text("transparent color = #0000FF\r\nfont = Arial,-14,I\r\n"), ZipMethod::Deflated,
         false},
        {"arm/", {}, ZipMethod::Stored, true},
        {"arm/vexlin.exe", Noise(5000, 1), ZipMethod::Stored, false},
        {"list.psp", Repetitive(3108), ZipMethod::Deflated, false},
        {"empty.bin", {}, ZipMethod::Stored, false},
        {"noise.bin", Noise(777, 2), ZipMethod::Deflated, false},
        {"empty-deflated.bin", {}, ZipMethod::Deflated, false},
    };
}

Bytes Build(const std::vector<Input>& inputs) {
    ZipWriter zip;
    std::string error;
    for (const Input& in : inputs) {
        const bool ok =
            in.folder ? zip.AddFolder(in.name, &error) : zip.Add(in.name, in.data, in.method, &error);
        EXPECT_TRUE(ok) << error;
    }
    EXPECT_EQ(zip.Count(), inputs.size());
    return zip.Finish();
}

TEST(ZipWriter, EveryFieldOfEveryMemberReadsBack) {
    const std::vector<Input> inputs = SampleInputs();
    const Bytes archive = Build(inputs);
    const ZipTestArchive parsed = ParseZipForTest(archive);

    EXPECT_EQ(parsed.disk, 0);
    EXPECT_EQ(parsed.centralDisk, 0);
    EXPECT_EQ(parsed.diskEntries, inputs.size());
    EXPECT_EQ(parsed.entries, inputs.size());
    EXPECT_EQ(parsed.commentLength, 0);
    ASSERT_EQ(parsed.members.size(), inputs.size());

    uint32_t expectedOffset = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        const Input& in = inputs[i];
        const ZipTestMember& m = parsed.members[i];
        SCOPED_TRACE(in.name);
        const bool deflated = in.method == ZipMethod::Deflated;
        EXPECT_EQ(m.name, in.name);
        EXPECT_EQ(m.centralName, in.name);
        EXPECT_EQ(m.localOffset, expectedOffset) << "members follow each other without gaps";
        EXPECT_EQ(m.version, deflated || in.folder ? 20 : 10);
        EXPECT_EQ(m.flags, deflated ? 0x0002 : 0x0000);
        EXPECT_EQ(m.flags & 0x000C, 0) << "no descriptor bits: the sizes in the local header hold";
        EXPECT_EQ(m.method, deflated ? 8 : 0);
        EXPECT_EQ(m.time, 12 << 11);
        EXPECT_EQ(m.date, (21 << 9) | (6 << 5) | 1);
        EXPECT_EQ(m.size, in.data.size());
        EXPECT_EQ(m.crc, ZipTestCrc(in.data));
        EXPECT_EQ(m.extraLength, 0);
        if (!deflated) {
            EXPECT_EQ(m.packedSize, in.data.size());
        }

        EXPECT_EQ(m.madeBy, 20);
        EXPECT_EQ(m.centralVersion, m.version);
        EXPECT_EQ(m.centralFlags, m.flags);
        EXPECT_EQ(m.centralMethod, m.method);
        EXPECT_EQ(m.centralTime, m.time);
        EXPECT_EQ(m.centralDate, m.date);
        EXPECT_EQ(m.centralCrc, m.crc);
        EXPECT_EQ(m.centralPackedSize, m.packedSize);
        EXPECT_EQ(m.centralSize, m.size);
        EXPECT_EQ(m.centralExtra, 0);
        EXPECT_EQ(m.comment, 0);
        EXPECT_EQ(m.disk, 0);
        EXPECT_EQ(m.internal, 0);
        EXPECT_EQ(m.external, in.folder ? 0x10u : 0x20u);

        const Bytes content = ZipTestContent(m);
        EXPECT_EQ(content, in.data);
        EXPECT_EQ(ZipTestCrc(content), m.crc);
        expectedOffset = m.dataOffset + m.packedSize;
    }
    EXPECT_EQ(parsed.centralOffset, expectedOffset) << "the directory follows the last member's data";
    // Repetitive data really shrinks; the folder carries no data.
    EXPECT_LT(parsed.members[3].packedSize, 3108u / 4);
    EXPECT_EQ(parsed.members[1].packedSize, 0u);
}

// The programs' reader walks local headers only, from the start, and stops at the first other signature.
TEST(ZipWriter, LocalHeaderWalkFindsEveryMemberAndStopsAtTheDirectory) {
    const std::vector<Input> inputs = SampleInputs();
    const Bytes archive = Build(inputs);
    auto u16 = [&](size_t p) { return uint32_t(archive.at(p) | archive.at(p + 1) << 8); };
    auto u32 = [&](size_t p) { return u16(p) | u16(p + 2) << 16; };
    size_t pos = 0, found = 0;
    while (pos + 30 < archive.size() && u32(pos) == 0x04034B50) {
        const size_t next = pos + 30 + u16(pos + 26) + u16(pos + 28) + u32(pos + 18);
        ASSERT_LE(next, archive.size());
        EXPECT_EQ(std::string(archive.begin() + pos + 30, archive.begin() + pos + 30 + u16(pos + 26)),
                  inputs.at(found).name);
        pos = next;
        ++found;
    }
    EXPECT_EQ(found, inputs.size());
    EXPECT_EQ(u32(pos), 0x02014B50u);
}

TEST(ZipWriter, SameInputsGiveTheSameBytes) {
    const Bytes a = Build(SampleInputs()), b = Build(SampleInputs());
    EXPECT_EQ(a, b);
    std::vector<Input> changed = SampleInputs();
    changed[2].data[100] ^= 1;
    EXPECT_NE(Build(changed), a);
}

TEST(ZipWriter, EmptyArchiveIsTheEndRecordAlone) {
    const Bytes archive = ZipWriter().Finish();
    ASSERT_EQ(archive.size(), 22u);
    const ZipTestArchive parsed = ParseZipForTest(archive);
    EXPECT_EQ(parsed.entries, 0);
    EXPECT_EQ(parsed.centralOffset, 0u);
    EXPECT_EQ(parsed.centralSize, 0u);
}

TEST(ZipWriter, RefusesBadNamesAndLeavesTheArchiveAsItWas) {
    ZipWriter zip;
    std::string error;
    ASSERT_TRUE(zip.Add("Skin.txt", Text("a"), ZipMethod::Stored, &error)) << error;
    const Bytes before = zip.Finish();
    const std::string longest(kZipMaxName, 'n');
    struct Case {
        std::string name;
        bool folder;
        const char* why;
    } cases[] = {
        {"", false, "empty"},
        {"SKIN.TXT", false, "ignoring case"},
        {"arm\\vexlin.exe", false, "'/'"},
        {"/root.txt", false, "starts with"},
        {longest + "x", false, "longer than"},
        {"arm", true, "must end in"},
    };
    for (const Case& c : cases) {
        error.clear();
        const bool ok = c.folder ? zip.AddFolder(c.name, &error)
                                 : zip.Add(c.name, Text("b"), ZipMethod::Deflated, &error);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.name << ": " << error;
    }
    EXPECT_EQ(zip.Count(), 1u);
    EXPECT_EQ(zip.Finish(), before);
    EXPECT_TRUE(zip.Add(longest, Text("c"), ZipMethod::Stored, &error)) << error;
    EXPECT_EQ(ParseZipForTest(zip.Finish()).members.at(1).name, longest);
}

// The parser that the other checks lean on must itself refuse damaged archives instead of reading past
// them, or those checks would prove nothing.
TEST(ZipWriter, TestParserRefusesEveryTruncation) {
    const Bytes archive = Build(SampleInputs());
    for (size_t cut = 0; cut < archive.size(); ++cut) {
        const Bytes part(archive.begin(), archive.begin() + cut);
        EXPECT_THROW(ParseZipForTest(part), std::runtime_error) << cut;
    }
    Bytes damaged = archive;
    damaged[0] ^= 0xFF;
    EXPECT_THROW(ParseZipForTest(damaged), std::runtime_error);
}

} // namespace
