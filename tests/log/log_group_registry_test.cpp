// Registration changes the process-wide group table, so this runs in its own executable
// as one sequence.
#include "log/log_groups.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "log/log_api.h"

namespace vclient {
namespace {

std::string Names(LogGroups groups) {
    char buffer[512];
    FormatLogGroups(buffer, sizeof buffer, groups);
    return buffer;
}

TEST(LogGroupRegistry, FindsKnownNamesAndFillsTheTableInOrder) {
    const struct {
        const char* name;
        LogGroups mask;
    } known[] = {{"DBG", 1}, {"GEN", 2}, {"TST", 128}, {"LOC", 256}, {"DBGX", 1}, {"", 0}, {nullptr, 0}};
    for (const auto& k : known) EXPECT_EQ(RegisterLogGroup(k.name), k.mask) << (k.name ? k.name : "(null)");
    EXPECT_EQ(Names(LogGroups{1} << 8), "LOC") << "LOC is registered at start-up";

    EXPECT_EQ(RegisterLogGroup("ABC"), 512u) << "the next new name takes index 9";
    EXPECT_EQ(RegisterLogGroup("ABCDEF"), 512u) << "only three characters count";
    EXPECT_EQ(RegisterLogGroup("AB"), 1024u);
    EXPECT_EQ(Names(512 | 1024), "ABC;AB");
    EXPECT_EQ(Names(LogGroups{1} << 11), "???");

    LogGroups viaApi = 99;
    GetLogApi()->RegisterLogGroup(&viaApi, "AB");
    EXPECT_EQ(viaApi, 1024u);
    RegisterLogGroup(nullptr, "ABC");  // no place for the mask: registering still works

    // Threads registering the same new name agree on one index.
    std::vector<LogGroups> masks(8);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < masks.size(); ++t) {
        threads.emplace_back([&masks, t] { masks[t] = RegisterLogGroup("CCR"); });
    }
    for (std::thread& thread : threads) thread.join();
    for (LogGroups mask : masks) EXPECT_EQ(mask, LogGroups{1} << 11);
    EXPECT_EQ(Names(LogGroups{1} << 11), "CCR");

    for (int index = 12; index < 64; ++index) {
        const std::string name = "G" + std::to_string(index);
        EXPECT_EQ(RegisterLogGroup(name.c_str()), LogGroups{1} << index) << name;
    }
    EXPECT_EQ(Names(LogGroups{1} << 63), "G63");
    EXPECT_EQ(RegisterLogGroup("ZZZ"), 0u) << "a full table stores nothing more";
    EXPECT_EQ(RegisterLogGroup("G63"), LogGroups{1} << 63) << "known names are still found";
    LogGroups full = 7;
    RegisterLogGroup(&full, "YYY");
    EXPECT_EQ(full, 0u);
}

}  // namespace
}  // namespace vclient
