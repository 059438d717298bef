// Developer tool: lists a ZIP archive's members or extracts them through the installer's own reader, and
// reports a damaged archive with the reader's text.
// Usage: vexlin-unzip archive.zip                 lists name, method, sizes and date of every member
//        vexlin-unzip archive.zip -x [member] [-d folder]
//                                                 extracts one member or all into a folder (default ".")
#include "cetl_exception.h"
#include "zip_file.h"

#include <stdio.h>

#include <string>

namespace {

int Usage() {
    fprintf(stderr, "usage: vexlin-unzip archive.zip [-x [member]] [-d folder]\n");
    return 2;
}

std::string MethodName(WORD method) {
    if (method == kZipStored) return "stored";
    if (method == kZipDeflated) return "deflated";
    return "method " + std::to_string(method);
}

void List(ZipFile& zip) {
    printf("%-40s %-10s %10s %10s  %s\n", "name", "method", "packed", "size", "date");
    for (ZipFile::iterator it = zip.begin(); it != zip.end(); ++it) {
        const ZipEntry* entry = *it;
        const SYSTEMTIME& t = entry->GetTime();
        printf("%-40s %-10s %10lu %10lu  %04u-%02u-%02u %02u:%02u:%02u\n", entry->GetName().Psz8(),
               MethodName(entry->GetMethod()).c_str(), static_cast<unsigned long>(entry->GetCompressedSize()),
               static_cast<unsigned long>(entry->GetSize()), t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
               t.wSecond);
    }
    printf("%lu members\n", static_cast<unsigned long>(zip.GetCount()));
}

// A member name is written only below the target folder: no drive, no leading slash, no "..".
bool SafeName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || name.find(':') != std::string::npos)
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

// Creates every folder of `path` up to its last separator.
void MakeFolders(const std::string& path) {
    for (size_t i = 1; i < path.size(); ++i) {
        if (path[i] == '\\') CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
}

bool Extract(ZipEntry* entry, const std::string& folder) {
    std::string name = entry->GetName().Psz8();
    if (!SafeName(name)) {
        fprintf(stderr, "vexlin-unzip: %s: refused, the name leaves the target folder\n", name.c_str());
        return false;
    }
    std::string path = folder + "\\" + name;
    for (char& c : path)
        if (c == '/') c = '\\';
    MakeFolders(path);
    if (path.back() == '\\') return true; // a folder member
    entry->Load();
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE &&
              WriteFile(file, entry->GetData(), entry->GetSize(), &written, nullptr) &&
              written == entry->GetSize();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!ok) {
        fprintf(stderr, "vexlin-unzip: cannot write %s\n", path.c_str());
        return false;
    }
    printf("%s (%lu bytes)\n", name.c_str(), static_cast<unsigned long>(entry->GetSize()));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const char* archive = argv[1];
    bool extract = false;
    const char* member = nullptr;
    std::string folder = ".";
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-x") {
            extract = true;
            if (i + 1 < argc && argv[i + 1][0] != '-') member = argv[++i];
        } else if (arg == "-d" && i + 1 < argc) {
            folder = argv[++i];
        } else {
            return Usage();
        }
    }
    ZipFile zip;
    int failed = 0;
    try {
        zip.OpenFile(archive, TRUE);
        if (!extract) {
            List(zip);
        } else {
            CreateDirectoryA(folder.c_str(), nullptr);
            if (member) {
                ZipEntry* entry = zip.Find(ZipMemberName(member));
                if (!entry) {
                    fprintf(stderr, "vexlin-unzip: %s: no member %s\n", archive, member);
                    return 1;
                }
                failed += !Extract(entry, folder);
            } else {
                // A damaged member is reported and the others are still extracted.
                for (ZipFile::iterator it = zip.begin(); it != zip.end(); ++it) {
                    try {
                        failed += !Extract(*it, folder);
                    } catch (const cetl::exception& e) {
                        fprintf(stderr, "vexlin-unzip: %s: %s\n", (*it)->GetName().Psz8(),
                                e.message().Psz8());
                        ++failed;
                    }
                }
            }
        }
    } catch (const cetl::exception& e) {
        fprintf(stderr, "vexlin-unzip: %s: %s\n", archive, e.message().Psz8());
        return 1;
    }
    return failed ? 1 : 0;
}
