// Builds ZIP archives in memory for the programs' resources (the skin and the installer's payload):
// stored and deflated members, every date and time field fixed so the same inputs give the same bytes.
// Plain C++17 plus zlib.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class ZipMethod : uint16_t { Stored = 0, Deflated = 8 };

// The one date and time every member carries: 1 June 2001, 12:00:00 in MS-DOS form.
constexpr uint16_t kZipDosTime = (12 << 11) | (0 << 5) | (0 / 2);
constexpr uint16_t kZipDosDate = ((2001 - 1980) << 9) | (6 << 5) | 1;
// General-purpose flags: deflated members say "maximum compression" (bits 1-2 = 01); no member ever
// sets bit 2 or 3, so a reader that walks local headers alone finds every size where it expects it.
constexpr uint16_t kZipFlagsStored = 0x0000;
constexpr uint16_t kZipFlagsDeflated = 0x0002;
// Longest member name; readers copy names into a buffer the size of a Windows path.
constexpr size_t kZipMaxName = 259;

class ZipWriter {
public:
    // Adds a file member. Returns false with a reason (and adds nothing) for an empty or over-long name,
    // a name with a backslash or a leading slash, a name already present (compared without regard to
    // case, as the programs' reader looks members up), data of 4 GB or more, or a deflate failure.
    bool Add(const std::string& name, const std::vector<uint8_t>& data, ZipMethod method, std::string* error);
    // Adds an empty folder member; the name must end in "/". Same failures as Add.
    bool AddFolder(const std::string& name, std::string* error);

    size_t Count() const { return members_.size(); }
    // The whole archive: local headers and data in the order added, the central directory, the end
    // record. An archive without members is the 22-byte end record alone.
    std::vector<uint8_t> Finish() const;

private:
    struct Member {
        std::string name;
        ZipMethod method;
        uint32_t crc, size;
        std::vector<uint8_t> packed;
        bool folder;
    };
    bool CheckName(const std::string& name, std::string* error) const;
    static void MemberFields(std::vector<uint8_t>& out, const Member& m, uint16_t version);
    std::vector<Member> members_;
};

// Writes bytes to a file; false with a reason when it cannot (a partial file is removed).
bool WriteZipFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);
