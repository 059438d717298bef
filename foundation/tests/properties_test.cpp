// Properties and PropertiesValue: the map's shape, defaults for missing keys,
// keys without case, field-by-field copies and release of everything held.
#include "properties.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

namespace {

static_assert(std::is_base_of<cetl::stringmap<PropertiesValue>, Properties>::value, "class chain");
static_assert(
    std::is_base_of<cetl::safemap<istring, PropertiesValue>, cetl::stringmap<PropertiesValue>>::value,
    "class chain");

TEST(Properties, AreBuiltWithPromotion79And32Levels) {
    Properties p;
    EXPECT_EQ(79, p.promotion());
    EXPECT_EQ(32u, p.levels());
}

TEST(Properties, MissingKeysGiveAnEmptyValueWithoutInserting) {
    Properties p;
    p.set(istring("font"), PropertiesValue(string("Tahoma"), 0));
    const PropertiesValue& missing = p.lookup(istring("frame border"));
    EXPECT_TRUE(missing.text.IsEmpty());
    EXPECT_EQ(0, missing.number);
    EXPECT_TRUE(p.get(istring("frame border")).text.IsEmpty());
    EXPECT_EQ(1u, p.size());
    EXPECT_STREQ("20", p.get(istring("frame border"), PropertiesValue(string("20"), 20)).text.Psz8());
    EXPECT_EQ(1u, p.size());
    p[istring("frame border")].number = 20;
    EXPECT_EQ(2u, p.size());
    EXPECT_EQ(20, p.lookup(istring("FRAME BORDER")).number);
}

TEST(Properties, ALaterSettingOfTheSameKeyInAnyCaseReplacesTheValue) {
    Properties p;
    p.set(istring("Text Layout"), PropertiesValue(string("left"), 0));
    p.set(istring("text layout"), PropertiesValue(string("center"), 0));
    p.set(istring("Border"), PropertiesValue(string("4 px"), 4));
    EXPECT_EQ(2u, p.size());
    EXPECT_STREQ("center", p.lookup(istring("TEXT LAYOUT")).text.Psz8());
    std::vector<std::string> keys;
    for (Properties::const_iterator it = p.begin(); it != p.end(); ++it) keys.push_back(it.key().Psz8());
    // The key keeps the spelling of its first setting.
    EXPECT_EQ((std::vector<std::string>{"Border", "Text Layout"}), keys);
}

TEST(PropertiesValue, CopiesEachFieldIntoItsOwnText) {
    PropertiesValue original(string("12 pt"), 12);
    PropertiesValue copy(original);
    copy.text += "x";
    copy.number = 3;
    EXPECT_STREQ("12 pt", original.text.Psz8());
    EXPECT_EQ(12, original.number);
    PropertiesValue assigned;
    assigned = original;
    EXPECT_STREQ("12 pt", assigned.text.Psz8());
    EXPECT_EQ(12, assigned.number);
    EXPECT_NE(original.text.Psz(), assigned.text.Psz());
    assigned = assigned;
    EXPECT_STREQ("12 pt", assigned.text.Psz8());
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
        EXPECT_EQ(40u, p.size());
        EXPECT_EQ(17, p.lookup(istring("KEY 17")).number);
        Properties copy(p);
        EXPECT_EQ(40u, copy.size());
        EXPECT_EQ(79, copy.promotion());
        p.clear();
        EXPECT_EQ(0u, p.size());
        EXPECT_EQ(17, copy.lookup(istring("key 17")).number);
    }
    EXPECT_EQ(before, MemGetStats().liveBlocks);
}

} // namespace
