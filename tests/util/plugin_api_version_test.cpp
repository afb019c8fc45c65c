#include "util/plugin_api_version.h"

#include <gtest/gtest.h>

#include <string>

#include "util/format_positional.h"

namespace vclient {
namespace {

struct VersionCase {
    PluginApiVersion version;
    const char* text;
};

TEST(PluginApiVersion, PrintsNumbersThenNonEmptyLabels) {
    const VersionCase cases[] = {
        {{18, 0, 0, "", ""}, "18.0.0"},
        {{1, 2, 3, "beta.1", ""}, "1.2.3-beta.1"},
        {{1, 2, 3, "", "build.7"}, "1.2.3+build.7"},
        {{1, 2, 3, "rc.1", "exp.5114f85"}, "1.2.3-rc.1+exp.5114f85"},
        {{4294967295u, 4294967295u, 4294967295u, "", ""}, "4294967295.4294967295.4294967295"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.version.ToString(), c.text);
        EXPECT_EQ(Format("%1", c.version), c.text) << "formatted as an argument";
    }
}

TEST(PluginApiVersion, FormatsUnderStringRules) {
    const PluginApiVersion version{1, 2, 3, "rc.1", "b9"};
    const struct {
        const char* format;
        const char* expected;
    } cases[] = {
        {"[%1$16s]", "[   1.2.3-rc.1+b9]"}, {"[%1$-16s]", "[1.2.3-rc.1+b9   ]"},
        {"[%1$.7s]", "[1.2.3-r]"},          {"[%1$10.3s]", "[       1.2]"},
        {"[%1$d]", "[1.2.3-rc.1+b9]"},  // "d" is not allowed: the text is printed
        {"[%s]", "[1.2.3-rc.1+b9]"},
    };
    for (const auto& c : cases) EXPECT_EQ(Format(c.format, version), c.expected) << c.format;
}

}  // namespace
}  // namespace vclient
