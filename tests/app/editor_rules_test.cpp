#include "editor/editor_rules.h"

#include <gtest/gtest.h>

namespace k8w {
namespace {

LoopSettings loops(std::array<int, 5> types, std::array<int, 5> parts = {}) {
    LoopSettings s;
    s.type = types;
    s.part = parts;
    return s;
}

TEST(LoopRules, EntryLoopEnablesTheDelayAndPullsPassThroughAndControlLoopsToPartitionZero) {
    LoopSettings s = loops({4, 5, 6, 1, 2}, {3, 1, 2, 3, 1});
    EXPECT_TRUE(ApplyLoopTypeRules(s));
    EXPECT_EQ(s.type, (std::array<int, 5>{4, 5, 6, 1, 2}));
    EXPECT_EQ(s.part, (std::array<int, 5>{0, 0, 0, 3, 1}));
}

TEST(LoopRules, WithoutEntryLoopPassThroughLoopsAreSwitchedOff) {
    LoopSettings s = loops({1, 5, 6, 5, 3}, {0, 2, 2, 1, 0});
    EXPECT_FALSE(ApplyLoopTypeRules(s));
    EXPECT_EQ(s.type, (std::array<int, 5>{1, 0, 6, 0, 3}));
    EXPECT_EQ(s.part, (std::array<int, 5>{0, 2, 2, 1, 0}));
}

TEST(LoopRules, SeparatorsBecomeOff) {
    LoopSettings s = loops({5, 4, 4, 4, 4});
    EXPECT_FALSE(ApplyLoopTypeRules(s));
    EXPECT_EQ(s.type, (std::array<int, 5>{0, 0, 0, 0, 0}));
}

TEST(LoopRules, PartitionRules) {
    LoopSettings s = loops({4, 5, 6, 1, 1}, {2, 2, 2, 2, 2});
    ApplyLoop1PartitionRule(s);
    EXPECT_EQ(s.part[0], 0);
    ApplyPassThroughPartitionRule(s, 2);
    ApplyPassThroughPartitionRule(s, 3);
    ApplyPassThroughPartitionRule(s, 4);
    EXPECT_EQ(s.part, (std::array<int, 5>{0, 0, 2, 2, 2}));
    LoopSettings guard = loops({1, 1, 1, 1, 1}, {3, 0, 0, 0, 0});
    ApplyLoop1PartitionRule(guard);
    EXPECT_EQ(guard.part[0], 3);
}

TEST(ProfileTexts, TablesMatchTheLists) {
    EXPECT_STREQ(kOutputProfileTexts[0].item, "Выключен");
    EXPECT_STREQ(kOutputProfileTexts[7].item, "Изменение состояния охраны (общий)");
    EXPECT_STREQ(kBuzzerProfileTexts[0].description, "Зуммер всегда выключен");
    EXPECT_EQ(ProfileDescription(false, 0), QStringLiteral("Выход всегда находится в режиме «Выключен»"));
    EXPECT_TRUE(ProfileDescription(false, 10).isEmpty());
    EXPECT_TRUE(ProfileDescription(true, 3).isEmpty());
    EXPECT_TRUE(ProfileDescription(true, -1).isEmpty());
    EXPECT_TRUE(ProfileDescription(false, 9).endsWith(QStringLiteral("команды Выключение идикации КТС.")));
}

TEST(UpdateDefaults, FitTheirFields) {
    EXPECT_LE(kDefaultUpdateHost.size(), 18);
    EXPECT_EQ(kDefaultUpdatePort, QStringLiteral("25001"));
    EXPECT_EQ(kDefaultParamsPort, QStringLiteral("25002"));
}

TEST(TextToIntDef, IntegersOrTheFallback) {
    EXPECT_EQ(TextToIntDef(QStringLiteral("120"), -1), 120);
    EXPECT_EQ(TextToIntDef(QStringLiteral("-7"), 0), -7);
    EXPECT_EQ(TextToIntDef(QStringLiteral("+7"), 0), 7);
    EXPECT_EQ(TextToIntDef(QString(), 60), 60);
    EXPECT_EQ(TextToIntDef(QStringLiteral(" 1"), 60), 60);
    EXPECT_EQ(TextToIntDef(QStringLiteral("12a"), -1), -1);
    EXPECT_EQ(TextToIntDef(QStringLiteral("-"), 5), 5);
    EXPECT_EQ(TextToIntDef(QStringLiteral("99999999999"), 5), 5);
    EXPECT_EQ(TextToIntDef(QStringLiteral("999999999"), 5), 999999999);
}

} // namespace
} // namespace k8w
