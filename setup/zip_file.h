// ZipFile opens a ZIP archive held in memory (a program resource, a file read whole, or a copy of a
// caller's bytes), lists its members by name without regard to case and gives each member's
// uncompressed bytes; ZipEntry is one member. Every failure throws a cetl::exception with a fixed
// English text, and an archive that fails to open is left closed.
#pragma once

#include <windows.h>

#include "cetl_map.h"
#include "mem_manager.h"
#include "tl_string.h"

// The reader's failure texts (the decoder's own are in deflate.h).
extern const CHAR kZipResourceMissing[];   // "the .ZIP file resource specified does not exist"
extern const CHAR kZipFileMissing[];       // "the .ZIP file specified does not exist"
extern const CHAR kZipFileEmpty[];         // "the .ZIP file specified is empty"
extern const CHAR kZipFileTooLarge[];      // "the .ZIP file specified is too large"
extern const CHAR kZipFileUnreadable[];    // "the .ZIP file specified could not be read"
extern const CHAR kZipNotAZip[];           // "the file supplied is not a .ZIP file"
extern const CHAR kZipEntryBeyondData[];   // "the .ZIP file specified contains an entry which extends ..."
extern const CHAR kZipUnsupportedMethod[]; // "the entry %s in the .ZIP file uses an unsupported ..."

const WORD kZipStored = 0;
const WORD kZipDeflated = 8;

// One member: its name exactly as stored ("arm/vexlin.exe", a folder as "arm/"), the sizes and method
// of its local header, and once loaded its uncompressed bytes. A stored member's data points into the
// archive's bytes, which must outlive every use of the entry; a deflated member owns its data.
class ZipEntry : public string {
public:
    ZipEntry();
    ZipEntry(const CHAR* name, DWORD nameLength, DWORD compressedSize, DWORD size, const BYTE* source,
             WORD dosDate, WORD dosTime, WORD method);
    // A copy of loaded deflated data gets a block of its own.
    ZipEntry(const ZipEntry& other);
    ZipEntry& operator=(const ZipEntry& other);
    ~ZipEntry();

    // Makes the data available: a stored member's bytes in place (no more than its compressed size), a
    // deflated member's decoded into a block of its own. Does nothing when loaded already or when the
    // entry has no source. Throws the unsupported-method text for any other method, and the decoder's
    // texts for damaged data (the entry then stays unloaded).
    void Load();
    // Frees owned data; data and size become 0.
    void Unload();

    const string& GetName() const { return *this; }
    DWORD GetCompressedSize() const { return compressedSize_; }
    // The uncompressed size of the local header until loaded, then the bytes actually available.
    DWORD GetSize() const { return size_; }
    const BYTE* GetSource() const { return source_; }
    // Null until loaded.
    const BYTE* GetData() const { return data_; }
    bool IsLoaded() const { return data_ != nullptr; }
    // The member's DOS date and time as a calendar record (16 bytes).
    const SYSTEMTIME& GetTime() const { return time_; }
    WORD GetMethod() const { return method_; }

private:
    void CopyFields(const ZipEntry& other);

    DWORD compressedSize_;
    DWORD declaredSize_; // the local header's uncompressed size, restored on Unload
    DWORD size_;
    const BYTE* source_;
    BYTE* data_;
    bool ownsData_;
    SYSTEMTIME time_;
    WORD method_;
};

class ZipFile {
public:
    typedef cetl::map<istring, ZipEntry*> EntryMap;
    // Iterates the members in name order; *it is the ZipEntry*.
    typedef EntryMap::const_iterator iterator;

    ZipFile();
    ~ZipFile();

    // Each Open closes what was open first. `defer` 0 loads (and decodes) every member at once; non-zero
    // leaves members unloaded until Load. On failure the archive is left closed.
    // From a program resource (the installer uses type "ZIP"); the bytes stay in the module.
    void OpenResource(HMODULE module, LPCTSTR name, LPCTSTR type, BOOL defer);
    // From a file, read whole into a buffer of the archive's own.
    void OpenFile(LPCTSTR path, BOOL defer);
    // From a caller's bytes, copied into a buffer of the archive's own.
    void OpenMemory(const void* data, DWORD size, BOOL defer);
    // From a caller's bytes used in place, as a resource's are: they must outlive the archive and its
    // entries.
    void OpenView(const void* data, DWORD size, BOOL defer);
    // Destroys every entry and the owned buffer.
    void Close();

    // The member of that name compared without case, or null. Names use "/" between folders and no
    // leading "/" (see ZipMemberName).
    ZipEntry* Find(const CHAR* name) const;
    // Loads one member or all of them; throws as ZipEntry::Load does.
    void Load(ZipEntry* entry);
    void LoadAll();

    DWORD GetCount() const { return members_.size(); }
    iterator begin() const { return members_.begin(); }
    iterator end() const { return members_.end(); }

private:
    ZipFile(const ZipFile&) = delete;
    ZipFile& operator=(const ZipFile&) = delete;
    void Parse(const BYTE* bytes, DWORD size, BOOL defer);

    EntryMap members_;
    BYTE* buffer_; // the archive bytes when owned (file or copied memory); null for a resource
};

// A path as callers hold it ("\ARM\VEXLIN.EXE") turned into a member name: backslashes become slashes
// and one leading slash is dropped.
string ZipMemberName(const CHAR* path);

// Archives are registered under "ZIPFILE"; release them with MEMDELETE.
#define NEW_ZIPFILE()                                                                                        \
    static_cast<ZipFile*>(MemRegisterObject(new ZipFile, sizeof(ZipFile), "ZIPFILE", __FILE__, __LINE__))
