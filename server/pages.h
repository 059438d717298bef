// The HTML the server answers with: the page after a score post and the two scores pages, in English or
// Esperanto, UTF-8, readable on a palm-size screen and on a desktop without any script. Everything printed
// that came from outside is escaped.
#pragma once

#include <string>
#include <vector>

#include "score_rules.h"
#include "score_store.h"

namespace scores {

// What became of one part of a post.
struct PartOutcome {
    PostedFields fields;
    Refusal refusal = Refusal::None;
    bool added = false; // accepted and new (false for an accepted entry already stored)
};

std::string renderPostAnswer(Language language, const std::vector<PartOutcome>& parts);
std::string renderScoresPage(Language language, const std::vector<ListedScore>& allTime,
                             const std::vector<ListedScore>& thisMonth, const CivilDate& today);

// The scores page's path for a language.
const char* scoresPagePath(Language language);

// Pieces of the pages, shared with the tests.
std::string htmlEscape(const std::string& text);
// Replaces bytes that are not UTF-8 and control characters with "?", so that echoed input stays text.
std::string printableText(const std::string& text, size_t mostBytes);
// 1000200 -> "1,000,200", as the game's own list writes it.
std::string groupThousands(uint32_t value);
// The name as the player wrote it: "@" shown as a space, an empty name as the game's anonymous name.
std::string displayName(const std::string& encodedName, Language language);
std::string formatDate(uint32_t day, Language language);
std::string refusalText(Refusal refusal, Language language);

} // namespace scores
