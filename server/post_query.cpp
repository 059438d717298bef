// Shape checks of a score post's query.
#include "post_query.h"

namespace scores {

static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool percentDecode(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return false;
        int high = hexValue(text[i + 1]), low = hexValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
        out.push_back(char(high * 16 + low));
        i += 2;
    }
    return true;
}

bool parsePostQuery(const std::string& raw, PostQuery& query, std::string& reason) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t amp = raw.find('&', start);
        std::string field;
        if (!percentDecode(raw.substr(start, amp == std::string::npos ? std::string::npos : amp - start),
                           field)) {
            reason = "the query holds a broken %-escape";
            return false;
        }
        fields.push_back(field);
        if (amp == std::string::npos) break;
        start = amp + 1;
        // Ten fields more than nine parts need already tell that the post is too big.
        if (fields.size() > 5 + 5 * kMostParts + 10) break;
    }
    if (fields.size() < 5 || fields[0] != "post" || fields[1] != "game" || fields[2] != "10" ||
        fields[3] != "lang") {
        reason = "the query does not begin with post&game&10&lang&";
        return false;
    }
    if (fields[4] == "en")
        query.language = Language::English;
    else if (fields[4] == "eo")
        query.language = Language::Esperanto;
    else {
        reason = "the language is neither en nor eo";
        return false;
    }
    size_t rest = fields.size() - 5;
    if (rest > 5 * kMostParts) {
        reason = "the post has more than " + std::to_string(kMostParts) + " score parts";
        return false;
    }
    if (rest % 5 != 0) {
        reason = "a score part does not have the form score&<score>&<name>&<day>&<signature>";
        return false;
    }
    query.parts.clear();
    for (size_t i = 5; i < fields.size(); i += 5) {
        if (fields[i] != "score") {
            reason = "a score part does not begin with score&";
            return false;
        }
        query.parts.push_back(PostedFields{fields[i + 1], fields[i + 2], fields[i + 3], fields[i + 4]});
    }
    return true;
}

} // namespace scores
