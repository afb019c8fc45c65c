// The acknowledgement of a level change or reward waits for the Vyre "ack" invocation;
// news the host delivers during that wait must survive it. The host core here delivers a
// newer simple dialog message from inside the invocation, as a nested delivery would.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "binding/host_value.h"
#include "codec/json_reader.h"
#include "honor/honor_plugin.h"

namespace Vorn::Client::Honor {
namespace {

struct NestingCore {
    HostCore core{};
    std::vector<std::string> dispatched;  // "<eventType> <uri>", each publication once
    std::vector<std::string> invocations;
    std::function<void()> duringInvoke;
};

NestingCore& Of(const HostCore* self) { return *reinterpret_cast<NestingCore*>(const_cast<HostCore*>(self)); }

// Answers the configuration read with the feature enabled and every other read with 404.
void PerformRequest(const HostCore* self, HostResponse* response, const HostRequest* request) {
    const std::string url = request->url;
    if (url == "/qiv-login/v1/session/invoke") {
        Of(self).invocations.push_back(url);
        if (Of(self).duringInvoke) {
            const std::function<void()> nested = std::move(Of(self).duringInvoke);
            Of(self).duringInvoke = nullptr;
            nested();
        }
        return;
    }
    if (url == "/qiv-platform-config/v1/namespaces/Honor") {
        vclient::BindingResult config = vclient::JsonToBinding(R"({"Enabled": true})");
        HostValue body{};
        ASSERT_TRUE(vclient::BindingToHostValue(body, config.Value(), nullptr));
        response->body = body;
        response->release = [](HostResponse* r) {
            HostValue owned = r->body;
            vclient::HostValueClear(owned);
        };
        return;
    }
    if (request->method == 2) {
        response->errorText = "absent";
        response->status = 404;
    }
}

void DispatchEvent(const HostCore* self, const HostEvent* event) {
    const std::string name = event->name;
    if (name != "OnJsonApiEvent") return;  // count each publication once
    vclient::BindingResult result;
    vclient::BindingProperty payload;
    const HostValue value = event->payload;
    ASSERT_TRUE(vclient::HostValueToBinding(result, payload, value, "event"));
    Of(self).dispatched.push_back(payload.Find("eventType").GetString() + " " + payload.Find("uri").GetString());
}

Api::VyreSimpleMessage Message(const std::string& msgId, const std::string& type, const std::string& payload) {
    Api::VyreSimpleMessage message;
    message.msgId = msgId;
    message.type = type;
    message.params = {payload};
    return message;
}

class NewsAckTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.core.PerformRequest = &PerformRequest;
        host_.core.DispatchEvent = &DispatchEvent;
        host_.core.SubscribeEvent = [](const HostCore*, const char*, std::uint32_t, HostEventCallback, void*,
                                       std::uint32_t) {};
        host_.core.UnsubscribeEvent = [](const HostCore*, const char*, std::uint32_t) {};
        plugin_ = new HonorPlugin();
        PluginLoadRecord record{};
        record.apiMajor = 18;
        plugin_->Register(&record, "qiv-honor-v2");
        callbacks_ = record.callbacks;
        context_.core = &host_.core;
        context_.clientHandle = 5;
        ASSERT_EQ(callbacks_->Initialize(plugin_, &context_), 1);
        ASSERT_TRUE(plugin_->Enabled());
        host_.dispatched.clear();
    }
    void TearDown() override { callbacks_->Shutdown(plugin_); }

    NestingCore host_;
    HostContext context_{};
    HonorPlugin* plugin_ = nullptr;
    const PluginCallbacks* callbacks_ = nullptr;
};

TEST_F(NewsAckTest, ALevelChangeDeliveredDuringTheAckStaysPendingWithItsOwnMessage) {
    plugin_->OnSimpleDialogMessage(Message("first", "level-change", R"({"actionType":"one"})"));
    host_.duringInvoke = [&] {
        plugin_->OnSimpleDialogMessage(Message("second", "level-change", R"({"actionType":"two"})"));
    };
    host_.dispatched.clear();
    plugin_->AckLevelChange();
    EXPECT_EQ(host_.dispatched, (std::vector<std::string>{"Update /qiv-honor-v2/v1/level-change",
                                                          "Update /qiv-honor-v2/v1/profile"}))
        << "the newer change is published and not deleted";
    EXPECT_EQ(plugin_->GetLevelChange().actionType, "two");
    ASSERT_TRUE(plugin_->LevelChangeMessage().has_value());
    EXPECT_EQ(plugin_->LevelChangeMessage()->msgId, "second");

    host_.dispatched.clear();
    plugin_->AckLevelChange();
    EXPECT_EQ(host_.dispatched, (std::vector<std::string>{"Delete /qiv-honor-v2/v1/level-change"}));
    EXPECT_EQ(host_.invocations.size(), 2u) << "each message is acknowledged once";
    EXPECT_FALSE(plugin_->LevelChangeMessage().has_value());
    EXPECT_EQ(plugin_->GetLevelChange().actionType, "");
}

TEST_F(NewsAckTest, ARewardDeliveredDuringTheAckStaysPendingWithItsOwnMessage) {
    plugin_->OnSimpleDialogMessage(Message("first", "reward-granted", R"({"rewardType":"chest"})"));
    host_.duringInvoke = [&] {
        plugin_->OnSimpleDialogMessage(Message("second", "reward-granted", R"({"rewardType":"key"})"));
    };
    host_.dispatched.clear();
    plugin_->AckRewardGranted();
    EXPECT_EQ(host_.dispatched, (std::vector<std::string>{"Update /qiv-honor-v2/v1/reward-granted"}));
    EXPECT_EQ(plugin_->GetRewardGranted().rewardType, "key");
    ASSERT_TRUE(plugin_->RewardMessage().has_value());
    EXPECT_EQ(plugin_->RewardMessage()->msgId, "second");

    host_.dispatched.clear();
    plugin_->AckRewardGranted();
    EXPECT_EQ(host_.dispatched, (std::vector<std::string>{"Delete /qiv-honor-v2/v1/reward-granted"}));
    EXPECT_EQ(host_.invocations.size(), 2u) << "each message is acknowledged once";
    EXPECT_FALSE(plugin_->RewardMessage().has_value());
    EXPECT_EQ(plugin_->GetRewardGranted().rewardType, "");
}

}  // namespace
}  // namespace Vorn::Client::Honor
