// vexlin-zip: builds a ZIP archive from files, each named as it should appear in the archive:
//   vexlin-zip OUT.zip [--stored NAME FILE | --deflated NAME FILE | --folder NAME/]...
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "zip_writer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: vexlin-zip OUT.zip [--stored NAME FILE | --deflated NAME FILE | "
                             "--folder NAME/]...\n");
        return 2;
    }
    ZipWriter zip;
    std::string error;
    for (int i = 2; i < argc;) {
        const std::string option = argv[i];
        if (option == "--folder" && i + 1 < argc) {
            if (!zip.AddFolder(argv[i + 1], &error)) break;
            i += 2;
        } else if ((option == "--stored" || option == "--deflated") && i + 2 < argc) {
            std::ifstream in(argv[i + 2], std::ios::binary);
            if (!in) {
                error = std::string("cannot read ") + argv[i + 2];
                break;
            }
            const std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
            if (!zip.Add(argv[i + 1], data, option == "--stored" ? ZipMethod::Stored : ZipMethod::Deflated,
                         &error))
                break;
            i += 3;
        } else {
            error = "unknown or incomplete option " + option;
            break;
        }
    }
    if (error.empty()) WriteZipFile(argv[1], zip.Finish(), &error);
    if (!error.empty()) {
        std::fprintf(stderr, "vexlin-zip: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
