#include "pspwrite.h"

#include <cstdio>

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args[0] == "-h" || args[0] == "--help") {
        std::fputs(kPspWriteUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    std::string error;
    if (!RunPspWrite(args, &error)) {
        std::fprintf(stderr, "pspwrite: %s\n%s", error.c_str(), kPspWriteUsage);
        return 1;
    }
    return 0;
}
