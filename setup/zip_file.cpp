// The ZIP reader: the three sources, the walk over the local headers and loading members.
#include "zip_file.h"

#include "cetl_exception.h"
#include "deflate.h"
#include "tl_format.h"

#include <string.h>

const CHAR kZipResourceMissing[] = "the .ZIP file resource specified does not exist";
const CHAR kZipFileMissing[] = "the .ZIP file specified does not exist";
const CHAR kZipFileEmpty[] = "the .ZIP file specified is empty";
const CHAR kZipFileTooLarge[] = "the .ZIP file specified is too large";
const CHAR kZipFileUnreadable[] = "the .ZIP file specified could not be read";
const CHAR kZipNotAZip[] = "the file supplied is not a .ZIP file";
const CHAR kZipEntryBeyondData[] =
    "the .ZIP file specified contains an entry which extends beyond the supplied data";
const CHAR kZipUnsupportedMethod[] = "the entry %s in the .ZIP file uses an unsupported compression method";

namespace {

const DWORD kLocalHeaderSignature = 0x04034B50;
const DWORD kDescriptorSignature = 0x08074B50;
const DWORD kLocalHeaderSize = 30;
// Names are held as Windows paths are: 259 characters and the terminator at most.
const DWORD kMaxNameLength = MAX_PATH - 1;
const WORD kFlagDataDescriptor = 0x0008;
// A DEFLATE code is at least one bit long, so one input byte yields at most four 258-byte matches of
// two bits each: no stream of n bytes can produce more than 1032 n bytes.
const ULONGLONG kMaxDeflateExpansion = 1032;

DWORD Read16(const BYTE* p) { return DWORD(p[0]) | (DWORD(p[1]) << 8); }
DWORD Read32(const BYTE* p) { return Read16(p) | (Read16(p + 2) << 16); }

[[noreturn]] void Fail(const CHAR* text) { throw cetl::exception(text); }

[[noreturn]] void FailUnsupported(const string& name) {
    throw cetl::exception(sformat(kZipUnsupportedMethod, name.Psz8()));
}

// The calendar record of a DOS date and time; the day of the week only for a month that exists.
SYSTEMTIME DosToSystemTime(WORD dosDate, WORD dosTime) {
    SYSTEMTIME time = {};
    time.wYear = WORD(1980 + (dosDate >> 9));
    time.wMonth = WORD((dosDate >> 5) & 15);
    time.wDay = WORD(dosDate & 31);
    time.wHour = WORD(dosTime >> 11);
    time.wMinute = WORD((dosTime >> 5) & 63);
    time.wSecond = WORD((dosTime & 31) * 2);
    if (time.wMonth >= 1 && time.wMonth <= 12) {
        static const int kMonthOffset[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
        int year = time.wYear - (time.wMonth < 3 ? 1 : 0);
        time.wDayOfWeek =
            WORD((year + year / 4 - year / 100 + year / 400 + kMonthOffset[time.wMonth - 1] + time.wDay) % 7);
    }
    return time;
}

} // namespace

string ZipMemberName(const CHAR* path) {
    string name(path ? path : "");
    name.Replace("\\", "/");
    if (name.Psz8()[0] == '/') name = string(name.Psz8(), 1);
    return name;
}

ZipEntry::ZipEntry()
    : compressedSize_(0), declaredSize_(0), size_(0), source_(nullptr), data_(nullptr), ownsData_(false),
      time_(), method_(0) {}

ZipEntry::ZipEntry(const CHAR* name, DWORD nameLength, DWORD compressedSize, DWORD size, const BYTE* source,
                   WORD dosDate, WORD dosTime, WORD method)
    : string(name, 0, nameLength), compressedSize_(compressedSize), declaredSize_(size), size_(size),
      source_(source), data_(nullptr), ownsData_(false), time_(DosToSystemTime(dosDate, dosTime)),
      method_(method) {}

ZipEntry::ZipEntry(const ZipEntry& other) : string(other), data_(nullptr), ownsData_(false) {
    CopyFields(other);
}

ZipEntry& ZipEntry::operator=(const ZipEntry& other) {
    if (this != &other) {
        Unload();
        string::operator=(other);
        CopyFields(other);
    }
    return *this;
}

ZipEntry::~ZipEntry() {
    Unload();
    size_ = 0;
}

void ZipEntry::CopyFields(const ZipEntry& other) {
    compressedSize_ = other.compressedSize_;
    declaredSize_ = other.declaredSize_;
    size_ = other.size_;
    source_ = other.source_;
    time_ = other.time_;
    method_ = other.method_;
    data_ = nullptr;
    ownsData_ = false;
    if (!other.ownsData_) {
        data_ = other.data_;
        return;
    }
    DWORD cbUncompressed = other.size_;
    data_ = static_cast<BYTE*>(MEMALLOC(cbUncompressed));
    if (data_) {
        memcpy(data_, other.data_, cbUncompressed);
        ownsData_ = true;
    } else {
        // Without a block of its own the copy stays unloaded and can be loaded from its source again.
        size_ = declaredSize_;
    }
}

void ZipEntry::Load() {
    if (!source_ || data_) return;
    if (method_ == kZipStored) {
        if (compressedSize_ < size_) size_ = compressedSize_;
        data_ = const_cast<BYTE*>(source_);
        return;
    }
    if (method_ != kZipDeflated) FailUnsupported(*this);
    // The buffer holds the declared size and 1024 bytes more, but never more than the compressed bytes
    // can expand to: output beyond either is impossible or refused by the decoder, so a hostile size
    // costs no memory it could not fill.
    DWORD cbUncompressed = declaredSize_;
    ULONGLONG capacity = ULONGLONG(cbUncompressed) + 1024;
    if (capacity > kMaxDeflateExpansion * compressedSize_) capacity = kMaxDeflateExpansion * compressedSize_;
    // A buffer that cannot be had leaves the content undecodable.
    if (capacity > 0xFFFFFFFFu) Fail(kInflateBadContent);
    BYTE* buffer = static_cast<BYTE*>(MemAlloc(DWORD(capacity), "cbUncompressed + 1024", __FILE__, __LINE__));
    if (!buffer) Fail(kInflateBadContent);
    DWORD produced;
    try {
        produced = Inflate(source_, compressedSize_, buffer, DWORD(capacity));
    } catch (...) {
        MEMFREE(buffer);
        throw;
    }
    data_ = buffer;
    ownsData_ = true;
    size_ = produced;
}

void ZipEntry::Unload() {
    if (ownsData_ && data_) MEMFREE(data_);
    data_ = nullptr;
    ownsData_ = false;
    size_ = declaredSize_;
}

ZipFile::ZipFile() : members_(0.5f, 16), buffer_(nullptr) {}

ZipFile::~ZipFile() { Close(); }

void ZipFile::Close() {
    for (EntryMap::iterator it = members_.begin(); it != members_.end(); ++it) {
        ZipEntry* entry = *it;
        MEMDELETE(entry);
    }
    members_.clear();
    if (buffer_) MEMFREE(buffer_);
    buffer_ = nullptr;
}

void ZipFile::OpenResource(HMODULE module, LPCTSTR name, LPCTSTR type, BOOL defer) {
    Close();
    HRSRC resource = FindResource(module, name, type);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const BYTE* bytes = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!bytes) Fail(kZipResourceMissing);
    Parse(bytes, SizeofResource(module, resource), defer);
}

void ZipFile::OpenFile(LPCTSTR path, BOOL defer) {
    Close();
    HANDLE file = CreateFile(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) Fail(kZipFileMissing);
    DWORD high = 0;
    DWORD cbData = GetFileSize(file, &high);
    const CHAR* failure = nullptr;
    if (cbData == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        failure = kZipFileUnreadable;
    } else if (high) {
        failure = kZipFileTooLarge;
    } else if (!cbData) {
        failure = kZipFileEmpty;
    } else if (!(buffer_ = static_cast<BYTE*>(MEMALLOC(cbData)))) {
        failure = kZipFileTooLarge;
    } else {
        DWORD read = 0;
        if (!ReadFile(file, buffer_, cbData, &read, nullptr) || read != cbData) failure = kZipFileUnreadable;
    }
    CloseHandle(file);
    if (failure) {
        Close();
        Fail(failure);
    }
    Parse(buffer_, cbData, defer);
}

void ZipFile::OpenMemory(const void* data, DWORD size, BOOL defer) {
    Close();
    if (data && size) {
        DWORD cbData = size;
        buffer_ = static_cast<BYTE*>(MEMALLOC(cbData));
        if (!buffer_) Fail(kZipFileTooLarge);
        memcpy(buffer_, data, cbData);
    }
    Parse(buffer_, size, defer);
}

void ZipFile::OpenView(const void* data, DWORD size, BOOL defer) {
    Close();
    Parse(static_cast<const BYTE*>(data), size, defer);
}

// Walks the local headers from the start; the first header without its signature (normally the
// central directory's) ends the walk, so the central directory and the end record are never needed.
//
// Flag bit 2 (0x0004) is a compression option of deflated members and changes nothing here. Bit 3
// (0x0008) says a data descriptor (12 bytes, or 16 with its own signature) follows the data: the walk
// steps over it, using the sizes of the local header. A deflated member whose local header leaves the
// compressed size at 0 under bit 3 was written as a stream; its extent is known only to the central
// directory, so it is refused as unsupported rather than read as empty and the walk lost in its data.
// A name of 260 bytes or more does not fit a Windows path: the entry is refused as extending beyond
// what the reader can hold.
void ZipFile::Parse(const BYTE* bytes, DWORD size, BOOL defer) {
    try {
        if (!bytes || size < 4 || Read32(bytes) != kLocalHeaderSignature) Fail(kZipNotAZip);
        DWORD pos = 0;
        while (size - pos > kLocalHeaderSize) {
            const BYTE* header = bytes + pos;
            if (Read32(header) != kLocalHeaderSignature) break;
            pos += kLocalHeaderSize;
            WORD flags = WORD(Read16(header + 6));
            WORD method = WORD(Read16(header + 8));
            WORD dosTime = WORD(Read16(header + 10));
            WORD dosDate = WORD(Read16(header + 12));
            DWORD compressedSize = Read32(header + 18);
            DWORD uncompressedSize = Read32(header + 22);
            DWORD nameLength = Read16(header + 26);
            DWORD extraLength = Read16(header + 28);
            ULONGLONG needed = ULONGLONG(compressedSize) + nameLength + extraLength;
            if (needed > size - pos || nameLength > kMaxNameLength) Fail(kZipEntryBeyondData);
            const CHAR* name = reinterpret_cast<const CHAR*>(bytes + pos);
            DWORD source = pos + nameLength + extraLength;
            DWORD next = source + compressedSize;
            if (flags & kFlagDataDescriptor) {
                if (method != kZipStored && compressedSize == 0) FailUnsupported(string(name, 0, nameLength));
                DWORD descriptor = size - next >= 4 && Read32(bytes + next) == kDescriptorSignature ? 16 : 12;
                if (descriptor > size - next) Fail(kZipEntryBeyondData);
                next += descriptor;
            }
            ZipEntry* entry =
                cetl::detail::track(new ZipEntry(name, nameLength, compressedSize, uncompressedSize,
                                                 bytes + source, dosDate, dosTime, method),
                                    "ZIPENTRY", __FILE__, __LINE__);
            // A later member of the same name (compared without case) takes the earlier one's place.
            ZipEntry*& slot = members_[istring(*entry)];
            if (slot) MEMDELETE(slot);
            slot = entry;
            pos = next;
        }
        if (!defer) LoadAll();
    } catch (...) {
        Close();
        throw;
    }
}

ZipEntry* ZipFile::Find(const CHAR* name) const {
    EntryMap::const_iterator it = members_.find(istring(name ? name : ""));
    return it != members_.end() ? *it : nullptr;
}

void ZipFile::Load(ZipEntry* entry) {
    if (entry) entry->Load();
}

void ZipFile::LoadAll() {
    for (EntryMap::iterator it = members_.begin(); it != members_.end(); ++it) (*it)->Load();
}
