// The uninstall journal's entries, the uninstall log it is saved as, and the log's reader.
#include "sl_journal.h"

namespace {

const CHAR* const kKeywords[kJournalKinds] = {"deletedir", "deletefile", "deletekey", "deleteval", "apphook"};

const CHAR* const kHeader =
    "#\n"
    "# This uninstall log is automatically generated during installation\n"
    "# and is used by the Tessel Software uninstaller for removing this\n"
    "# product from your machine.\n"
    "#\n"
    "# If this file is missing or damaged, Windows will be unable to\n"
    "# automatically uninstall this product.\n"
    "#\n"
    "###############################################################################\n"
    "\n";

bool IsBlank(CHAR c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Cuts a log text into tokens: "{" and "}" alone, quoted texts up to the next quote or line end (the
// quotes dropped), and bare words; at the end every read gives the end token.
class LogTokens {
public:
    LogTokens(const CHAR* text, DWORD length) : text_(text), length_(length), pos_(0) {}

    // The next token into `token`; false at the end of the text. `quoted` tells a quoted text apart from
    // a bare word of the same letters (a quoted "{" is no brace).
    bool Next(string& token, bool& quoted) {
        while (pos_ < length_ && IsBlank(text_[pos_])) ++pos_;
        quoted = false;
        if (pos_ >= length_) return false;
        DWORD start = pos_;
        CHAR c = text_[pos_];
        if (c == '{' || c == '}') {
            ++pos_;
        } else if (c == '"') {
            quoted = true;
            start = ++pos_;
            while (pos_ < length_ && text_[pos_] != '"' && text_[pos_] != '\r' && text_[pos_] != '\n') ++pos_;
            Take(token, start, pos_);
            if (pos_ < length_ && text_[pos_] == '"') ++pos_;
            return true;
        } else {
            while (pos_ < length_ && !IsBlank(text_[pos_]) && text_[pos_] != '{' && text_[pos_] != '}' &&
                   text_[pos_] != '"')
                ++pos_;
        }
        Take(token, start, pos_);
        return true;
    }

    void SkipLine() {
        while (pos_ < length_ && text_[pos_] != '\n') ++pos_;
    }

private:
    // The characters from `start` to `end`, taken from their own address so that the cost does not grow
    // with the position; a zero byte among them ends the token early.
    void Take(string& token, DWORD start, DWORD end) {
        token = "";
        token.Assign(text_ + start, 0, end - start);
    }

    const CHAR* text_;
    DWORD length_;
    DWORD pos_;
};

} // namespace

const CHAR* JournalKeyword(DWORD kind) { return kind < kJournalKinds ? kKeywords[kind] : nullptr; }

bool Journal::Contains(DWORD kind, const string& first, const string& second) const {
    for (DWORD i = 0; i < entries_.size(); ++i) {
        const JournalEntry& e = entries_[i];
        if (e.kind == kind && e.first == first && (kind != kJournalDeleteVal || e.second == second))
            return true;
    }
    return false;
}

bool Journal::Add(DWORD kind, const string& first, const string& second) {
    if (kind >= kJournalKinds || Contains(kind, first, second)) return false;
    JournalEntry entry;
    entry.kind = kind;
    entry.first = first;
    if (kind == kJournalDeleteVal) entry.second = second;
    entries_.push_back(entry);
    return true;
}

string Journal::ToLogText() const {
    string text(kHeader);
    for (DWORD i = 0; i < entries_.size(); ++i) {
        const JournalEntry& e = entries_[i];
        text += kKeywords[e.kind];
        text += " { \"";
        text += e.first;
        if (e.kind == kJournalDeleteVal) {
            text += "\" \"";
            text += e.second;
        }
        text += "\" }\n";
    }
    return text;
}

void Journal::ReadLogText(const CHAR* text, DWORD length) {
    entries_.clear();
    if (!text) return;
    LogTokens tokens(text, length);
    string keyword, brace, first, second;
    bool quoted;
    while (tokens.Next(keyword, quoted)) {
        if (keyword.GetLength() && keyword[0] == '#') {
            tokens.SkipLine();
            continue;
        }
        if (!tokens.Next(brace, quoted) || quoted || brace != "{") return;
        DWORD kind = 0;
        while (kind < kJournalKinds && keyword.CompareNoCase(kKeywords[kind]) != 0) ++kind;
        if (kind == kJournalKinds || !tokens.Next(first, quoted)) return;
        second = "";
        if (kind == kJournalDeleteVal && !tokens.Next(second, quoted)) return;
        if (!tokens.Next(brace, quoted) || quoted || brace != "}") return;
        JournalEntry entry;
        entry.kind = kind;
        entry.first = first;
        entry.second = second;
        entries_.push_back(entry);
    }
}
