// Properties and PropertiesValue: the map's shape, empty defaults, keys
// without case, field-by-field copies and release of all they hold.
#include "properties.h"

#include <gtest/gtest.h>

namespace {

TEST(Properties, AnswerAnyCaseOfAKeyAndAnEmptyValueForAMissingOne) {
    Properties p;
    EXPECT_EQ(79, p.promotion());
    EXPECT_EQ(32u, p.levels());
    p.set(istring("Text Layout"), PropertiesValue(string("left"), 0));
    p.set(istring("text layout"), PropertiesValue(string("center"), 0));
    EXPECT_EQ(1u, p.size());
    EXPECT_STREQ("center", p.lookup(istring("TEXT LAYOUT")).text.Psz8());
    EXPECT_STREQ("Text Layout", p.begin().key().Psz8()); // the first spelling stays
    const PropertiesValue& missing = p.lookup(istring("frame border"));
    EXPECT_TRUE(missing.text.IsEmpty());
    EXPECT_EQ(0, missing.number);
    EXPECT_EQ(1u, p.size());
    p[istring("frame border")].number = 20;
    EXPECT_EQ(20, p.get(istring("FRAME BORDER")).number);
}

TEST(PropertiesValue, CopiesEachFieldIntoItsOwnText) {
    PropertiesValue original(string("12 pt"), 12), assigned;
    PropertiesValue copy(original);
    copy.text += "x";
    assigned = original;
    EXPECT_STREQ("12 pt", original.text.Psz8());
    EXPECT_STREQ("12 pt", assigned.text.Psz8());
    EXPECT_EQ(12, assigned.number);
    EXPECT_NE(original.text.Psz(), assigned.text.Psz());
}

TEST(Properties, ClearingAndDestructionReleaseKeysValuesAndNodes) {
    DWORD before = MemGetStats().liveBlocks;
    {
        Properties p;
        for (int i = 0; i < 40; ++i) {
            string key("key ");
            AppendNumber(key, i, TEXT("0123456789"));
            p.set(istring(key), PropertiesValue(key, i));
        }
        Properties copy(p);
        p.clear();
        EXPECT_EQ(0u, p.size());
        EXPECT_EQ(17, copy.lookup(istring("KEY 17")).number);
        EXPECT_EQ(79, copy.promotion());
    }
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

} // namespace
