// Reads the label files of the pictures' texts ("key = text" lines, UTF-8), one file per language.
#pragma once

#include <map>
#include <string>

// Throws std::runtime_error naming the line when a line has no '=' or a key repeats.
std::map<std::string, std::string> ParseLabels(const std::string& text);
std::map<std::string, std::string> LoadLabels(const std::string& path);
