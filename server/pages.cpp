// The answer page of a post and the scores pages, in both languages.
#include "pages.h"

namespace scores {
namespace {

struct Texts {
    const char* code;
    const char* anonymous;
    const char* months[12];
    const char* postTitle;
    const char* nothingSent;
    const char* kept;
    const char* already;
    const char* refused;
    const char* seeScores;
    const char* scoresTitle;
    const char* allTime;
    const char* bestOf; // followed by the month and year
    const char* place;
    const char* name;
    const char* score;
    const char* date;
    const char* empty;
    const char* otherLanguage;
    const char* reasons[11];
};

const Texts kEnglish = {
    "en",
    "Anonymous",
    {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
     "November", "December"},
    "Vexlin: scores posted",
    "No scores were sent. Only dated scores from a real game are posted.",
    "Kept",
    "Already on the list",
    "Refused",
    "See the high scores",
    "Vexlin high scores",
    "Best of all time",
    "Best of ",
    "Place",
    "Name",
    "Score",
    "Date",
    "No scores yet.",
    "Esperanto",
    {"", "the score is not a number", "the game cannot reach this score", "the date is not a day number",
     "the date is not a real date", "the date is before 2000", "the date is in the future",
     "the name holds characters the game does not send", "the name is too long",
     "the signature is not a number", "the signature does not match the entry"},
};

const Texts kEsperanto = {
    "eo",
    "Nenomita",
    {"januaro", "februaro", "marto", "aprilo", "majo", "junio", "julio", "aŭgusto", "septembro", "oktobro",
     "novembro", "decembro"},
    "Vexlin: poentaroj senditaj",
    "Neniu poentaro estis sendita. Nur datitaj poentaroj el vera ludo estas senditaj.",
    "Konservita",
    "Jam en la listo",
    "Rifuzita",
    "Vidu la plej bonajn poentarojn",
    "Vexlin: plej bonaj poentaroj",
    "Plej bonaj de ĉiam",
    "Plej bonaj de ",
    "Loko",
    "Nomo",
    "Poentaro",
    "Dato",
    "Ankoraŭ neniuj poentaroj.",
    "English",
    {"", "la poentaro ne estas nombro", "la ludo ne povas atingi ĉi tiun poentaron",
     "la dato ne estas taga numero", "la dato ne estas vera dato", "la dato estas antaŭ 2000",
     "la dato estas en la estonteco", "la nomo enhavas signojn, kiujn la ludo ne sendas",
     "la nomo estas tro longa", "la subskribo ne estas nombro", "la subskribo ne kongruas kun la ero"},
};

const Texts& textsFor(Language language) { return language == Language::Esperanto ? kEsperanto : kEnglish; }

// One style for every page: narrow screens get the full width, wide ones a readable column.
const char* const kStyle =
    "body{font-family:sans-serif;margin:0 auto;padding:0.5em;max-width:36em;line-height:1.4}"
    "h1{font-size:1.3em}h2{font-size:1.1em;margin-top:1.2em}"
    "table{border-collapse:collapse;width:100%}"
    "th,td{text-align:left;padding:0.15em 0.35em;border-bottom:1px solid #ccc}"
    "td.n,th.n{text-align:right;white-space:nowrap}"
    "li{margin:0.2em 0}.refused{color:#900}";

std::string pageHead(const Texts& t, const char* title) {
    return std::string("<!DOCTYPE html>\n<html lang=\"") + t.code +
           "\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
           htmlEscape(title) + "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n<h1>" +
           htmlEscape(title) + "</h1>\n";
}

std::string scoreTable(const Texts& t, const std::vector<ListedScore>& list, Language language) {
    if (list.empty()) return std::string("<p>") + htmlEscape(t.empty) + "</p>\n";
    std::string out = std::string("<table>\n<tr><th class=\"n\">") + htmlEscape(t.place) + "</th><th>" +
                      htmlEscape(t.name) + "</th><th class=\"n\">" + htmlEscape(t.score) + "</th><th>" +
                      htmlEscape(t.date) + "</th></tr>\n";
    for (size_t i = 0; i < list.size(); i++) {
        out += "<tr><td class=\"n\">" + std::to_string(i + 1) + ".</td><td>" +
               htmlEscape(displayName(printableText(list[i].name, 256), language)) + "</td><td class=\"n\">" +
               groupThousands(list[i].score) + "</td><td>" + htmlEscape(formatDate(list[i].day, language)) +
               "</td></tr>\n";
    }
    return out + "</table>\n";
}

} // namespace

const char* scoresPagePath(Language language) {
    return language == Language::Esperanto ? "/vexlin/scores-eo.html" : "/vexlin/scores-en.html";
}

std::string htmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string printableText(const std::string& text, size_t mostBytes) {
    std::string out;
    size_t i = 0;
    while (i < text.size() && out.size() < mostBytes) {
        unsigned char b = (unsigned char)text[i];
        size_t length = b < 0x80             ? 1
                        : (b & 0xE0) == 0xC0 ? 2
                        : (b & 0xF0) == 0xE0 ? 3
                        : (b & 0xF8) == 0xF0 ? 4
                                             : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; k++) valid = ((unsigned char)text[i + k] & 0xC0) == 0x80;
        if (valid && length == 2) valid = b >= 0xC2;
        if (!valid || (length == 1 && (b < 0x20 || b == 0x7F))) {
            out += '?';
            i += 1;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return out;
}

std::string groupThousands(uint32_t value) {
    std::string digits = std::to_string(value), out;
    for (size_t i = 0; i < digits.size(); i++) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string displayName(const std::string& encodedName, Language language) {
    if (encodedName.empty()) return textsFor(language).anonymous;
    std::string out = encodedName;
    for (char& c : out)
        if (c == '@') c = ' ';
    return out;
}

std::string formatDate(uint32_t day, Language language) {
    CivilDate d = decodeDayNumber(day);
    const Texts& t = textsFor(language);
    if (language == Language::Esperanto)
        return std::to_string(d.day) + "-a de " + t.months[d.month - 1] + " " + std::to_string(d.year);
    return std::to_string(d.day) + " " + t.months[d.month - 1] + " " + std::to_string(d.year);
}

std::string refusalText(Refusal refusal, Language language) {
    return textsFor(language).reasons[int(refusal)];
}

std::string renderPostAnswer(Language language, const std::vector<PartOutcome>& parts) {
    const Texts& t = textsFor(language);
    std::string out = pageHead(t, t.postTitle);
    if (parts.empty()) {
        out += std::string("<p>") + htmlEscape(t.nothingSent) + "</p>\n";
    } else {
        out += "<ul>\n";
        for (const PartOutcome& p : parts) {
            if (p.refusal == Refusal::None) {
                uint32_t score = 0, day = 0;
                parseUnsigned32(p.fields.score, score);
                parseUnsigned32(p.fields.day, day);
                out += std::string("<li>") + htmlEscape(p.added ? t.kept : t.already) + ": " +
                       groupThousands(score) + " &ndash; " +
                       htmlEscape(displayName(p.fields.name, language)) + ", " +
                       htmlEscape(formatDate(day, language)) + "</li>\n";
            } else {
                out += std::string("<li class=\"refused\">") + htmlEscape(t.refused) + ": " +
                       htmlEscape(printableText(p.fields.score, 16)) + " &ndash; " +
                       htmlEscape(printableText(p.fields.name, 96)) + ": " +
                       htmlEscape(refusalText(p.refusal, language)) + "</li>\n";
            }
        }
        out += "</ul>\n";
    }
    out += std::string("<p><a href=\"") + scoresPagePath(language) + "\">" + htmlEscape(t.seeScores) +
           "</a></p>\n";
    return out + "</body>\n</html>\n";
}

std::string renderScoresPage(Language language, const std::vector<ListedScore>& allTime,
                             const std::vector<ListedScore>& thisMonth, const CivilDate& today) {
    const Texts& t = textsFor(language);
    Language other = language == Language::Esperanto ? Language::English : Language::Esperanto;
    std::string out = pageHead(t, t.scoresTitle);
    out += std::string("<p><a href=\"") + scoresPagePath(other) + "\" hreflang=\"" + textsFor(other).code +
           "\">" + htmlEscape(t.otherLanguage) + "</a></p>\n";
    out += std::string("<h2>") + htmlEscape(t.allTime) + "</h2>\n" + scoreTable(t, allTime, language);
    out += std::string("<h2>") + htmlEscape(t.bestOf) + htmlEscape(t.months[today.month - 1]) + " " +
           std::to_string(today.year) + "</h2>\n" + scoreTable(t, thisMonth, language);
    return out + "</body>\n</html>\n";
}

} // namespace scores
