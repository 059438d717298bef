// The query of a score post as the game builds it: "post&game&10&lang&<en|eo>" followed by any number of
// "&score&<score>&<name>&<day>&<signature>" parts. Parsing only checks the shape; each part's content is
// judged later, one part at a time.
#pragma once

#include <string>
#include <vector>

#include "score_rules.h"

namespace scores {

// A game posts at most its nine table entries.
constexpr size_t kMostParts = 9;
// Longest request target taken: nine parts with long names, each character percent-encoded, fit easily.
constexpr size_t kLongestTarget = 4096;

struct PostQuery {
    Language language = Language::English;
    std::vector<PostedFields> parts;
};

// Fills `query` from the raw (still percent-encoded) query text. On a malformed query answers false with a
// plain English reason for the 400 answer.
bool parsePostQuery(const std::string& raw, PostQuery& query, std::string& reason);

// Decodes %XX escapes; false on a broken escape or an encoded NUL.
bool percentDecode(const std::string& text, std::string& out);

} // namespace scores
