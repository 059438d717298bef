// The command lines of the asset tools: "--name value" pairs, each option given once, or any number of
// times when it collects a list.
#pragma once

#include <string>
#include <vector>

struct ToolOption {
    const char* name;                           // with its dashes: "--out"
    std::string* value;                         // a single option, or null
    std::vector<std::string>* values = nullptr; // a repeatable option's list
};

// Stores each "--name value" pair of argv into its option. Returns false with the offending word in
// *bad for an unknown option or one without its value.
bool ReadToolOptions(int argc, char** argv, const std::vector<ToolOption>& options, std::string* bad);
