// Helpers of the skin tests: the generated default skin's members read from the host build's assets,
// skin archives built from them with changes, and the failure text of a call.
#pragma once

#include "cetl_exception.h"
#include "mem_manager.h"
#include "skin.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace skintest {

using Bytes = std::vector<uint8_t>;
using Members = std::map<std::string, Bytes>;

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string AssetPath(const std::string& name) { return std::string(VEXLIN_ASSETS) + "/skin/" + name; }

const char* const kPictureNames[] = {"frame-c",   "frame-lr", "frame-tb",   "background", "frame-x",
                                     "frame-min", "pbutton",  "rbutton",    "cbutton",    "pbar",
                                     "text",      "vscroll",  "hscroll",    "edit",       "cursor",
                                     "list",      "listitem", "icon-alert", "icon-info"};

// The default skin's nineteen pictures and its key file, by member name.
inline Members DefaultMembers() {
    Members members;
    for (const char* name : kPictureNames)
        members[std::string(name) + ".psp"] = ReadBytes(AssetPath(std::string(name) + ".psp"));
    members["skin.txt"] = ReadBytes(VEXLIN_SKIN_TEXT);
    return members;
}

inline Bytes Zip(const Members& members) {
    ZipWriter writer;
    std::string error;
    for (const auto& m : members)
        EXPECT_TRUE(writer.Add(m.first, m.second,
                               m.first == "skin.txt" ? ZipMethod::Deflated : ZipMethod::Stored, &error))
            << error;
    return writer.Finish();
}

inline Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

// The text a call throws, or "no failure".
template <class Call>
std::string Failure(Call call) {
    try {
        call();
    } catch (const cetl::exception& e) {
        return e.message().Psz8();
    }
    return "no failure";
}

inline void OpenMembers(Skin& skin, const Members& members) {
    Bytes zip = Zip(members);
    skin.OpenMemory(zip.data(), DWORD(zip.size()));
}

} // namespace skintest
