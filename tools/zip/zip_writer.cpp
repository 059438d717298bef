#include "zip_writer.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

#include <zlib.h>

namespace {

constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint16_t kVersionStored = 10;  // 1.0: stored files
constexpr uint16_t kVersionDeflate = 20; // 2.0: deflate and folders
constexpr uint16_t kMadeByDos = 20;
constexpr uint32_t kDosFolderAttribute = 0x10;
constexpr uint32_t kDosArchiveAttribute = 0x20;

void U16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void U32(std::vector<uint8_t>& out, uint32_t v) {
    U16(out, static_cast<uint16_t>(v));
    U16(out, static_cast<uint16_t>(v >> 16));
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Raw DEFLATE (no zlib wrapper) at the highest level, which is what the flags announce.
bool Deflate(const std::vector<uint8_t>& data, std::vector<uint8_t>& out) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    out.resize(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return result == Z_STREAM_END;
}

} // namespace

bool ZipWriter::CheckName(const std::string& name, std::string* error) const {
    auto fail = [&](const std::string& why) {
        if (error) *error = "member \"" + name + "\": " + why;
        return false;
    };
    if (name.empty()) return fail("the name is empty");
    if (name.size() > kZipMaxName) return fail("the name is longer than " + std::to_string(kZipMaxName));
    if (name.find('\\') != std::string::npos) return fail("names separate folders with '/'");
    if (name[0] == '/') return fail("the name starts with '/'");
    if (members_.size() >= 0xFFFF) return fail("the archive already holds the most members it can count");
    const std::string key = Lower(name);
    for (const Member& m : members_)
        if (Lower(m.name) == key) return fail("a member of that name (ignoring case) exists");
    return true;
}

bool ZipWriter::Add(const std::string& name, const std::vector<uint8_t>& data, ZipMethod method,
                    std::string* error) {
    if (!CheckName(name, error)) return false;
    if (data.size() >= std::numeric_limits<uint32_t>::max()) {
        if (error) *error = "member \"" + name + "\" is too large for a ZIP archive";
        return false;
    }
    Member m{name, method, 0, static_cast<uint32_t>(data.size()), {}, false};
    m.crc = static_cast<uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size())));
    if (method == ZipMethod::Deflated) {
        if (!Deflate(data, m.packed)) {
            if (error) *error = "member \"" + name + "\" could not be deflated";
            return false;
        }
    } else {
        m.packed = data;
    }
    members_.push_back(std::move(m));
    return true;
}

bool ZipWriter::AddFolder(const std::string& name, std::string* error) {
    if (name.empty() || name.back() != '/') {
        if (error) *error = "folder \"" + name + "\" must end in '/'";
        return false;
    }
    if (!CheckName(name, error)) return false;
    members_.push_back(Member{name, ZipMethod::Stored, 0, 0, {}, true});
    return true;
}

// The fields a member's local header and its central directory entry share, from the version
// needed to extract up to the name's length.
void ZipWriter::MemberFields(std::vector<uint8_t>& out, const Member& m, uint16_t version) {
    U16(out, version);
    U16(out, m.method == ZipMethod::Deflated ? kZipFlagsDeflated : kZipFlagsStored);
    U16(out, static_cast<uint16_t>(m.method));
    U16(out, kZipDosTime);
    U16(out, kZipDosDate);
    U32(out, m.crc);
    U32(out, static_cast<uint32_t>(m.packed.size()));
    U32(out, m.size);
    U16(out, static_cast<uint16_t>(m.name.size()));
}

std::vector<uint8_t> ZipWriter::Finish() const {
    std::vector<uint8_t> out, central;
    for (const Member& m : members_) {
        const uint16_t version =
            m.method == ZipMethod::Deflated || m.folder ? kVersionDeflate : kVersionStored;
        const uint32_t offset = static_cast<uint32_t>(out.size());

        U32(out, kLocalSignature);
        MemberFields(out, m, version);
        U16(out, 0); // no extra field
        out.insert(out.end(), m.name.begin(), m.name.end());
        out.insert(out.end(), m.packed.begin(), m.packed.end());

        U32(central, kCentralSignature);
        U16(central, kMadeByDos);
        MemberFields(central, m, version);
        U16(central, 0); // extra
        U16(central, 0); // comment
        U16(central, 0); // disk
        U16(central, 0); // internal attributes
        U32(central, m.folder ? kDosFolderAttribute : kDosArchiveAttribute);
        U32(central, offset);
        central.insert(central.end(), m.name.begin(), m.name.end());
    }
    const uint32_t centralOffset = static_cast<uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    U32(out, kEndSignature);
    U16(out, 0); // this disk
    U16(out, 0); // disk of the central directory
    U16(out, static_cast<uint16_t>(members_.size()));
    U16(out, static_cast<uint16_t>(members_.size()));
    U32(out, static_cast<uint32_t>(central.size()));
    U32(out, centralOffset);
    U16(out, 0); // comment length
    return out;
}

bool WriteZipFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    FILE* file = std::fopen(path.c_str(), "wb");
    bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file && std::fclose(file) != 0) ok = false;
    if (!ok) {
        if (file) std::remove(path.c_str());
        if (error) *error = "cannot write " + path;
    }
    return ok;
}
