#include "labels.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {
std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}
} // namespace

std::map<std::string, std::string> ParseLabels(const std::string& text) {
    std::map<std::string, std::string> labels;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == '#') continue;
        const size_t equals = trimmed.find('=');
        if (equals == std::string::npos)
            throw std::runtime_error("label line " + std::to_string(number) + " has no '='");
        const std::string key = Trim(trimmed.substr(0, equals));
        if (key.empty() || !labels.emplace(key, Trim(trimmed.substr(equals + 1))).second)
            throw std::runtime_error("label line " + std::to_string(number) + ": empty or repeated key");
    }
    return labels;
}

std::map<std::string, std::string> LoadLabels(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the labels " + path);
    std::stringstream text;
    text << in.rdbuf();
    return ParseLabels(text.str());
}
