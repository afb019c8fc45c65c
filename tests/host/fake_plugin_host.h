// The development host with the test plug-in of fake_plugin.cpp loaded and initialized,
// and helpers to run its commands and read its answers. Every test ends by checking that
// each response the host filled came back exactly once (no leak, no stray release).
#pragma once

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <string>

#include "core/dev_host.h"

namespace qivhost {

class FakePluginHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.Load(QIV_FAKE_PLUGIN_PATH, HostVersion{})) << host.Error();
        ASSERT_TRUE(host.Initialize());
        host.RunUntilIdle();
    }

    void TearDown() override {
        EXPECT_EQ(host.Responses().Outstanding(), 0u);
        EXPECT_EQ(host.Responses().Counts().refilledBeforeRelease, 0u);
        EXPECT_EQ(ResponseLedger::UnknownReleases(), unknownReleasesBefore);
    }

    // Runs a command of the plug-in ("subscribe?name=E") and returns its answer's body.
    rapidjson::Document Run(const std::string& command) {
        const RestAnswer answer = host.Call("GET", "/fake/" + command);
        EXPECT_EQ(answer.status, 200) << command << ": " << answer.errorText.value_or("");
        return Parse(answer.bodyJson);
    }

    static rapidjson::Document Parse(const std::string& json) {
        rapidjson::Document document;
        document.Parse(json.c_str());
        EXPECT_FALSE(document.HasParseError()) << json;
        return document;
    }

    // The events the plug-in received so far, as {name, payload, contextMatched} objects.
    rapidjson::Document Received() { return Run("events"); }

    std::size_t CountReceived(const std::string& name) {
        const rapidjson::Document received = Received();
        std::size_t count = 0;
        for (const auto& event : received["events"].GetArray()) count += name == event["name"].GetString() ? 1 : 0;
        return count;
    }

    DevHost host;
    const std::uint64_t unknownReleasesBefore = ResponseLedger::UnknownReleases();
};

}  // namespace qivhost
