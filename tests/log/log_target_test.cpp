#include "log/log_target.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/log_system.h"
#include "log/recording_log_target.h"

namespace vclient {
namespace {

using testing_support::RecordingLogTarget;

class LogTargetTest : public ::testing::Test {
protected:
    void SetUp() override { LogAddRef(); }
    void TearDown() override { LogRelease(); }
};

TEST_F(LogTargetTest, NewTargetHasTheDefaultSettingsAndIsDetached) {
    RecordingLogTarget target;
    EXPECT_FALSE(target.IsAttached());
    EXPECT_EQ(target.GetLevel(), LogLevel::Warn);
    EXPECT_EQ(target.GetEnabledGroups(), 0u);
    EXPECT_EQ(target.GetDisabledGroups(), 0u);
    EXPECT_STREQ(target.GetFormat(LogRecord{}), "#D| #L| #G| #M");
}

TEST_F(LogTargetTest, SetGroupsClearsDisabledBitsFromTheEnabledMask) {
    const struct {
        LogGroups enabled;
        LogGroups disabled;
        LogGroups storedEnabled;
    } cases[] = {
        {kLogGroupDbg, kLogGroupDbg, 0},
        {kLogGroupDbg | kLogGroupGen, kLogGroupGen, kLogGroupDbg},
        {kLogGroupDbg, kLogGroupGen, kLogGroupDbg},
        {0, ~LogGroups{0}, 0},
        {LogGroups{1} << 63, 0, LogGroups{1} << 63},
    };
    RecordingLogTarget target;
    LogTargetInterface* table = target.Interface();
    for (const auto& c : cases) {
        table->SetGroups(table, c.enabled, c.disabled);
        EXPECT_EQ(table->GetEnabledGroups(table), c.storedEnabled) << c.enabled << "/" << c.disabled;
        EXPECT_EQ(table->GetDisabledGroups(table), c.disabled);
    }
}

TEST_F(LogTargetTest, ConfigureAppliesEverythingAndAttachesOnce) {
    RecordingLogTarget target;
    target.Attach();
    target.Configure({LogLevel::Okay, kLogGroupDbg | kLogGroupGen, kLogGroupGen, "#L| #G| #M"});
    EXPECT_TRUE(target.IsAttached());
    EXPECT_EQ(target.GetEnabledGroups(), kLogGroupDbg) << "the disabled GEN is cleared from the enabled mask";

    SetLogLevel(LogLevel::Okay);
    Log(LogLevel::Okay, kLogGroupDbg, "first");
    Log(LogLevel::Okay, kLogGroupGen, "refused");
    Log(LogLevel::Okay, kLogGroupMem, "not enabled");
    ASSERT_EQ(target.recorded.size(), 1u) << "configuring an attached target must not add it twice";
    EXPECT_EQ(target.recorded[0].line, "  OKAY| DBG| first\n");

    target.Configure({LogLevel::Error, 0, 0, "#M"});
    Log(LogLevel::Warn, kLogGroupMem, "below target level");
    Log(LogLevel::Error, kLogGroupMem, "any group");
    EXPECT_EQ(target.recorded.back().line, "any group\n");
    EXPECT_EQ(target.recorded.size(), 2u);
}

TEST_F(LogTargetTest, TableEntriesReachTheTarget) {
    RecordingLogTarget target("Tabled", {LogLevel::Okay, 0, 0, "<#M>"});
    LogTargetInterface* table = target.Interface();
    EXPECT_EQ(table->Version(table), 1);
    EXPECT_STREQ(table->GetName(table), "Tabled");
    table->SetLevel(table, LogLevel::Error);
    EXPECT_EQ(table->GetLevel(table), LogLevel::Error);
    EXPECT_EQ(target.GetLevel(), LogLevel::Error);

    table->Attach(table);
    table->Attach(table);  // already attached: no second entry
    EXPECT_TRUE(table->IsAttached(table));
    EXPECT_EQ(FindLogTarget("Tabled"), table);
    Log(LogLevel::Always, 0, "once");
    EXPECT_EQ(target.recorded.size(), 1u);

    LogRecord record;
    record.message = "direct";
    EXPECT_TRUE(table->Write(table, record));
    EXPECT_EQ(target.recorded.back().line, "<direct>\n");
    EXPECT_STREQ(table->GetFormat(table, record), "<#M>");

    table->Detach(table);
    EXPECT_FALSE(table->IsAttached(table));
    EXPECT_EQ(FindLogTarget("Tabled"), nullptr);
    Log(LogLevel::Always, 0, "after detach");
    EXPECT_EQ(target.recorded.size(), 2u);
}

}  // namespace
}  // namespace vclient
