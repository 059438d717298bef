#include "options.h"

bool ReadToolOptions(int argc, char** argv, const std::vector<ToolOption>& options, std::string* bad) {
    for (int i = 1; i < argc; i += 2) {
        const std::string key = argv[i];
        const ToolOption* option = nullptr;
        for (const ToolOption& o : options)
            if (key == o.name) option = &o;
        if (!option || i + 1 >= argc) {
            *bad = key;
            return false;
        }
        if (option->values)
            option->values->push_back(argv[i + 1]);
        else
            *option->value = argv[i + 1];
    }
    return true;
}
