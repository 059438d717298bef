// The uninstall journal: the duplicate rule, the exact log text, and the log reader on written, odd and
// hostile logs.
#include "sl_journal.h"

#include "guarded_bytes.h"
#include "mem_manager.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> Bytes(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

// Reads `text` with its last byte right before an inaccessible page.
void Read(Journal& journal, const std::string& text) {
    GuardedBytes guarded(Bytes(text));
    journal.ReadLogText(reinterpret_cast<const CHAR*>(guarded.data()), static_cast<DWORD>(text.size()));
}

std::string Entry(const Journal& journal, DWORD i) {
    const JournalEntry& e = journal.At(i);
    return std::string(JournalKeyword(e.kind)) + "|" + e.first.Psz8() + "|" + e.second.Psz8();
}

TEST(Journal, DuplicatesAreNeverAdded) {
    Journal journal;
    EXPECT_TRUE(journal.Add(kJournalDeleteDir, string("C:\\Program Files")));
    EXPECT_FALSE(journal.Add(kJournalDeleteDir, string("C:\\Program Files")));
    EXPECT_TRUE(journal.Add(kJournalDeleteFile, string("C:\\Program Files")));
    EXPECT_TRUE(journal.Add(kJournalDeleteVal, string("HKCU\\Software\\Tessel\\Vexlin"), string("Settings")));
    EXPECT_FALSE(
        journal.Add(kJournalDeleteVal, string("HKCU\\Software\\Tessel\\Vexlin"), string("Settings")));
    EXPECT_TRUE(
        journal.Add(kJournalDeleteVal, string("HKCU\\Software\\Tessel\\Vexlin"), string("HighScores")));
    // Only "deleteval" tells entries apart by their second text.
    EXPECT_TRUE(journal.Add(kJournalDeleteKey, string("HKCU\\Software\\Tessel")));
    EXPECT_FALSE(journal.Add(kJournalDeleteKey, string("HKCU\\Software\\Tessel"), string("other")));
    EXPECT_FALSE(journal.Add(kJournalKinds, string("x")));
    ASSERT_EQ(5u, journal.Count());
    EXPECT_EQ("deletefile|C:\\Program Files|", Entry(journal, 1));
    EXPECT_EQ("deleteval|HKCU\\Software\\Tessel\\Vexlin|HighScores", Entry(journal, 3));
}

TEST(Journal, LogTextIsTheHeaderThenOneLinePerEntry) {
    Journal journal;
    journal.Add(kJournalDeleteDir, string("C:\\Program Files\\Tessel Software"));
    journal.Add(kJournalDeleteFile, string("C:\\Program Files\\Vexlin\\vexlin.exe"));
    journal.Add(kJournalDeleteKey, string("HKLM\\SOFTWARE\\Tessel\\NLS"));
    journal.Add(kJournalDeleteVal, string("HKLM\\SOFTWARE\\Tessel\\NLS"), string("Lang-Vexlin"));
    journal.Add(kJournalAppHook, string("C:\\hook.dll"));
    const std::string expected = "#\n"
                                 "# This uninstall log is automatically generated during installation\n"
                                 "# and is used by the Tessel Software uninstaller for removing this\n"
                                 "# product from your machine.\n"
                                 "#\n"
                                 "# If this file is missing or damaged, Windows will be unable to\n"
                                 "# automatically uninstall this product.\n"
                                 "#\n" +
                                 std::string(79, '#') +
                                 "\n\n"
                                 "deletedir { \"C:\\Program Files\\Tessel Software\" }\n"
                                 "deletefile { \"C:\\Program Files\\Vexlin\\vexlin.exe\" }\n"
                                 "deletekey { \"HKLM\\SOFTWARE\\Tessel\\NLS\" }\n"
                                 "deleteval { \"HKLM\\SOFTWARE\\Tessel\\NLS\" \"Lang-Vexlin\" }\n"
                                 "apphook { \"C:\\hook.dll\" }\n";
    EXPECT_EQ(expected, journal.ToLogText().Psz8());

    // What was written reads back entry for entry.
    Journal back;
    Read(back, journal.ToLogText().Psz8());
    ASSERT_EQ(5u, back.Count());
    for (DWORD i = 0; i < 5; ++i) EXPECT_EQ(Entry(journal, i), Entry(back, i));
}

TEST(Journal, ReaderTakesKeywordsWithoutCaseAndStopsAtTheFirstBadLine) {
    Journal journal;
    Read(journal, "deleteval{\"HKCU\\Software\\Tessel\\Vexlin\"\t\"Settings\"}\r\n"
                  "# a comment { \"x\" }\n"
                  "DeleteFile { \"a b\" }   DELETEDIR { plain }\n");
    ASSERT_EQ(3u, journal.Count());
    EXPECT_EQ("deleteval|HKCU\\Software\\Tessel\\Vexlin|Settings", Entry(journal, 0));
    EXPECT_EQ("deletefile|a b|", Entry(journal, 1));
    EXPECT_EQ("deletedir|plain|", Entry(journal, 2));

    // An unknown first keyword: nothing is read, and what the journal held before is gone.
    Read(journal, "removeall { \"C:\\\" }\ndeletefile { \"x\" }\n");
    EXPECT_EQ(0u, journal.Count());
    // A missing brace ends the reading, keeping what came before.
    Read(journal, "deletefile { \"one\" }\ndeletefile \"two\" }\ndeletefile { \"three\" }\n");
    ASSERT_EQ(1u, journal.Count());
    EXPECT_EQ("deletefile|one|", Entry(journal, 0));
    // A quoted brace is a text, not a brace.
    Read(journal, "deletefile \"{\" \"x\" }\n");
    EXPECT_EQ(0u, journal.Count());
}

TEST(Journal, AQuotedTextWithoutItsClosingQuoteEndsAtTheLineEnd) {
    Journal journal;
    Read(journal, "deletefile { \"C:\\unfinished.txt\n} deletedir { \"C:\\folder\" }\ndeletefile { \"at end");
    ASSERT_EQ(2u, journal.Count());
    EXPECT_EQ("deletefile|C:\\unfinished.txt|", Entry(journal, 0));
    EXPECT_EQ("deletedir|C:\\folder|", Entry(journal, 1));
}

// Logs no installer wrote: binary noise, lone quotes and braces, 10 000 entries, a megabyte of one word.
// Each is read within its bytes, quickly, and leaves the memory manager's counts where they were.
TEST(Journal, HostileLogsAreReadWithoutCrashOrHang) {
    MemStats before = MemGetStats();
    {
        Journal journal;
        std::string many;
        for (int i = 0; i < 10000; ++i) many += "deletefile { \"C:\\f" + std::to_string(i) + "\" }\n";
        Read(journal, many);
        ASSERT_EQ(10000u, journal.Count());
        EXPECT_EQ("deletefile|C:\\f9999|", Entry(journal, 9999));

        Read(journal, std::string(1 << 20, 'w'));
        EXPECT_EQ(0u, journal.Count());
        Read(journal, "deletefile { \"" + std::string(1 << 20, 'q'));
        ASSERT_EQ(0u, journal.Count()) << "no closing brace";
        Read(journal, std::string(100000, '"'));
        Read(journal, std::string(100000, '{'));
        Read(journal, std::string(100000, '}'));
        Read(journal, "");
        EXPECT_EQ(0u, journal.Count());
        Read(journal, std::string("deletefile { \"a\0b\" }\n", 21));
        ASSERT_EQ(1u, journal.Count());
        EXPECT_EQ("deletefile|a|", Entry(journal, 0)) << "a zero byte ends the text it is in";

        std::mt19937 random(5);
        std::string good = many.substr(0, 2000);
        const char alphabet[] = "{}\" \t\r\n#deletvalkyhop\\\0\xff";
        for (int round = 0; round < 2000; ++round) {
            std::string text = good;
            for (int e = 0; e < 8; ++e)
                text[random() % text.size()] = alphabet[random() % (sizeof alphabet - 1)];
            text.resize(random() % text.size());
            Read(journal, text);
            EXPECT_LE(journal.Count(), 100u);
        }
    }
    EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
}

} // namespace
