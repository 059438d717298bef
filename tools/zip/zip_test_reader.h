// A bounds-checked ZIP parser for tests only, written apart from the writer so that a test reads what
// was really stored: local headers, central directory and end record, each field kept as found.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include <zlib.h>

struct ZipTestMember {
    // Local header.
    uint16_t version = 0, flags = 0, method = 0, time = 0, date = 0;
    uint32_t crc = 0, packedSize = 0, size = 0;
    uint16_t extraLength = 0;
    std::string name;
    uint32_t localOffset = 0, dataOffset = 0;
    std::vector<uint8_t> packed;
    // Central directory record.
    uint16_t madeBy = 0, centralVersion = 0, centralFlags = 0, centralMethod = 0, centralTime = 0,
             centralDate = 0, centralExtra = 0, comment = 0, disk = 0, internal = 0;
    uint32_t centralCrc = 0, centralPackedSize = 0, centralSize = 0, external = 0, offset = 0;
    std::string centralName;
};

struct ZipTestArchive {
    std::vector<ZipTestMember> members;
    uint16_t disk = 0, centralDisk = 0, diskEntries = 0, entries = 0, commentLength = 0;
    uint32_t centralSize = 0, centralOffset = 0;
    size_t endOffset = 0;
};

namespace ziptest {

class Cursor {
public:
    Cursor(const std::vector<uint8_t>& data, size_t pos) : data_(data), pos_(pos) {}
    void Need(size_t n) const {
        if (pos_ > data_.size() || data_.size() - pos_ < n)
            throw std::runtime_error("read of " + std::to_string(n) + " bytes at " + std::to_string(pos_) +
                                     " runs past the end");
    }
    uint16_t U16() {
        Need(2);
        const uint16_t v = static_cast<uint16_t>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return v;
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | static_cast<uint32_t>(U16()) << 16;
    }
    std::string Text(size_t n) {
        Need(n);
        std::string s(data_.begin() + pos_, data_.begin() + pos_ + n);
        pos_ += n;
        return s;
    }
    std::vector<uint8_t> Bytes(size_t n) {
        Need(n);
        std::vector<uint8_t> b(data_.begin() + pos_, data_.begin() + pos_ + n);
        pos_ += n;
        return b;
    }
    size_t Pos() const { return pos_; }

private:
    const std::vector<uint8_t>& data_;
    size_t pos_;
};

} // namespace ziptest

// Throws std::runtime_error on anything out of bounds or out of place.
inline ZipTestArchive ParseZipForTest(const std::vector<uint8_t>& data) {
    ZipTestArchive archive;
    if (data.size() < 22) throw std::runtime_error("shorter than an end record");
    // The end record: the last 22 bytes when there is no archive comment (the writer never adds one).
    archive.endOffset = data.size() - 22;
    ziptest::Cursor end(data, archive.endOffset);
    if (end.U32() != 0x06054B50) throw std::runtime_error("no end record at the end");
    archive.disk = end.U16();
    archive.centralDisk = end.U16();
    archive.diskEntries = end.U16();
    archive.entries = end.U16();
    archive.centralSize = end.U32();
    archive.centralOffset = end.U32();
    archive.commentLength = end.U16();
    if (uint64_t(archive.centralOffset) + archive.centralSize != archive.endOffset)
        throw std::runtime_error("the central directory does not end where the end record starts");

    ziptest::Cursor central(data, archive.centralOffset);
    for (uint16_t i = 0; i < archive.entries; ++i) {
        ZipTestMember m;
        if (central.U32() != 0x02014B50) throw std::runtime_error("bad central directory signature");
        m.madeBy = central.U16();
        m.centralVersion = central.U16();
        m.centralFlags = central.U16();
        m.centralMethod = central.U16();
        m.centralTime = central.U16();
        m.centralDate = central.U16();
        m.centralCrc = central.U32();
        m.centralPackedSize = central.U32();
        m.centralSize = central.U32();
        const uint16_t nameLength = central.U16();
        m.centralExtra = central.U16();
        m.comment = central.U16();
        m.disk = central.U16();
        m.internal = central.U16();
        m.external = central.U32();
        m.offset = central.U32();
        m.centralName = central.Text(nameLength);
        central.Bytes(size_t(m.centralExtra) + m.comment);

        ziptest::Cursor local(data, m.offset);
        m.localOffset = m.offset;
        if (local.U32() != 0x04034B50) throw std::runtime_error("bad local header signature");
        m.version = local.U16();
        m.flags = local.U16();
        m.method = local.U16();
        m.time = local.U16();
        m.date = local.U16();
        m.crc = local.U32();
        m.packedSize = local.U32();
        m.size = local.U32();
        const uint16_t localName = local.U16();
        m.extraLength = local.U16();
        m.name = local.Text(localName);
        local.Bytes(m.extraLength);
        m.dataOffset = static_cast<uint32_t>(local.Pos());
        m.packed = local.Bytes(m.packedSize);
        if (local.Pos() > archive.centralOffset)
            throw std::runtime_error("member data overlaps the directory");
        archive.members.push_back(std::move(m));
    }
    if (central.Pos() != archive.endOffset) throw std::runtime_error("central directory size mismatch");
    return archive;
}

// The member's bytes: as stored, or inflated (raw DEFLATE) to exactly the declared size.
inline std::vector<uint8_t> ZipTestContent(const ZipTestMember& m) {
    if (m.method == 0) return m.packed;
    if (m.method != 8) throw std::runtime_error("unknown method " + std::to_string(m.method));
    std::vector<uint8_t> out(m.size + 1);
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) throw std::runtime_error("inflateInit2 failed");
    stream.next_in = const_cast<Bytef*>(m.packed.data());
    stream.avail_in = static_cast<uInt>(m.packed.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const size_t produced = stream.total_out, consumed = stream.total_in;
    inflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("member " + m.name + " does not inflate");
    if (consumed != m.packed.size()) throw std::runtime_error("member " + m.name + " has trailing bytes");
    out.resize(produced);
    return out;
}

inline uint32_t ZipTestCrc(const std::vector<uint8_t>& data) {
    return static_cast<uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
}
