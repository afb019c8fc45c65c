// The acknowledgement of news, one path for both kinds (level change and reward):
// ActiveHonorLogic on a HonorState, with services that record what would leave the
// plug-in. News that came as a simple dialog message is acknowledged ("ack") once;
// news that the host delivers while the "ack" waits is news of its own, and a level
// change that arrives while the profile is fetched is newer than the server's answer.
// What the "ack" carries on the wire, and news without a message, are the HonorNews
// end-to-end tests'.
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "honor/active_honor_logic.h"

namespace Vorn::Client::Honor {
namespace {

// Records publications ("Update <uri>") and the msgIds of the "ack"s; `duringAck` runs
// inside the wait for the next "ack", as a nested delivery would.
class RecordingServices final : public HonorServices {
public:
    std::vector<std::string> published;
    std::vector<std::string> acked;
    std::function<void()> duringAck;
    std::function<void()> duringProfile;
    bool ackFails = false;

    void PublishResource(const std::string& uri, const Publication&) override { published.push_back("Create " + uri); }
    void PublishUpdate(const std::string& uri, const Publication&) override { published.push_back("Update " + uri); }
    void DeleteResource(const std::string& uri) override { published.push_back("Delete " + uri); }
    Outcome<void> Request(vclient::HttpMethod, const std::string&) override { return {}; }
    // The honor server plays no part in an acknowledgement.
    Pending<std::string> CallServiceProxy(const std::string&, const std::string&,
                                          const ServiceProxy::HonorPlayerRequest&) override { return {}; }
    // The server's profile: level 1.
    Pending<ServiceProxy::RetrieveProfileResponse> CallServiceProxy(const std::string&, const std::string&,
                                                                    const vclient::BindingProperty&) override {
        std::promise<Outcome<ServiceProxy::RetrieveProfileResponse>> answer;
        ServiceProxy::RetrieveProfileResponse profile;
        profile.honorLevel = 1;
        answer.set_value(profile);
        return answer.get_future();
    }
    Pending<void> InvokeVyre(const std::string&, const std::string&,
                             const Api::VyreSimpleMessageResponse& response) override {
        acked.push_back(response.msgId);
        std::promise<Outcome<void>> answer;
        answer.set_value(ackFails ? Outcome<void>(vclient::Failure(503, "away")) : Outcome<void>());
        return answer.get_future();
    }
    Outcome<std::string> Await(Pending<std::string> future) override { return future.get(); }
    Outcome<ServiceProxy::RetrieveProfileResponse> Await(
        Pending<ServiceProxy::RetrieveProfileResponse> future) override {
        if (duringProfile) std::exchange(duringProfile, nullptr)();
        return future.get();
    }
    Outcome<void> Await(Pending<void> future) override {
        if (duringAck) std::exchange(duringAck, nullptr)();
        return future.get();
    }
};

struct Kind {
    const char* name;
    NewsKind kind;
    std::vector<std::string> announced;  // what an arrival publishes
    std::string deleted;
    friend void PrintTo(const Kind& kind, std::ostream* out) { *out << kind.name; }
};

class NewsAck : public ::testing::TestWithParam<Kind> {
protected:
    bool LevelChange() const { return GetParam().kind == NewsKind::LevelChange; }
    // News arrives as HonorPlugin hands it on: into the state (with the simple dialog
    // message `msgId`, none when empty), then to the logic. `id` tells the news apart.
    void Arrive(const std::string& id, const std::string& msgId = "") {
        Api::VyreSimpleMessage message;
        message.msgId = msgId;
        if (!msgId.empty()) state.KeepMessage(GetParam().kind, message);
        if (LevelChange()) {
            Api::VendedHonorChange change;
            change.actionType = id;
            state.ReceiveLevelChange(change);
            logic.OnLevelChange(change);
        } else {
            Api::VendedReward reward;
            reward.rewardType = id;
            state.ReceiveReward(reward);
            logic.OnRewardGranted(reward);
        }
    }
    void Ack() { LevelChange() ? logic.AckLevelChange() : logic.AckRewardGranted(); }
    std::string Pending() {
        return LevelChange() ? logic.GetLevelChange().actionType : logic.GetRewardGranted().rewardType;
    }
    std::string KeptMessage() const {
        const auto& message = state.Message(GetParam().kind);
        return message.has_value() ? message->msgId : "(none)";
    }

    HonorState state;
    RecordingServices services;
    ActiveHonorLogic logic{state, services, std::make_shared<BallotBuilder>()};
};

// Also when the "ack" fails: the message is not kept for a second try.
TEST_P(NewsAck, TheKeptMessageIsAcknowledgedOnceWhicheverRoadTheLatestNewsCameBy) {
    Arrive("one", "m-1");
    Arrive("two");  // from the messaging service
    services.ackFails = true;
    services.published.clear();
    Ack();
    Ack();
    EXPECT_EQ(services.acked, std::vector<std::string>{"m-1"});
    EXPECT_EQ(services.published, (std::vector<std::string>{GetParam().deleted, GetParam().deleted}));
    EXPECT_EQ(Pending(), "");
    EXPECT_EQ(KeptMessage(), "(none)");
}

TEST_P(NewsAck, NewsArrivingDuringTheAckStaysPendingWithItsOwnMessage) {
    Arrive("first", "m-1");
    services.duringAck = [&] { Arrive("second", "m-2"); };
    services.published.clear();
    Ack();
    EXPECT_EQ(services.published, GetParam().announced) << "the newer news is published and not deleted";
    EXPECT_EQ(Pending(), "second");
    EXPECT_EQ(KeptMessage(), "m-2");

    services.published.clear();
    Ack();
    EXPECT_EQ(services.acked, (std::vector<std::string>{"m-1", "m-2"}));
    EXPECT_EQ(services.published, std::vector<std::string>{GetParam().deleted});
    EXPECT_EQ(Pending(), "");
    EXPECT_EQ(KeptMessage(), "(none)");
}

// The profile fetched from the server is stored after the wait, unless a level change
// brought a newer one meanwhile.
TEST(ProfileFetch, ALevelChangeDuringTheWaitIsNewerThanTheServersAnswer) {
    HonorState state;
    RecordingServices services;
    ActiveHonorLogic logic{state, services, std::make_shared<BallotBuilder>()};
    services.duringProfile = [&] {
        Api::VendedHonorChange change;
        change.currentState.level = 3;
        state.ReceiveLevelChange(change);
        logic.OnLevelChange(change);
    };
    EXPECT_EQ(logic.GetProfile().honorLevel, 3);
    EXPECT_EQ(state.Profile()->honorLevel, 3);

    HonorState fresh;
    ActiveHonorLogic plain{fresh, services, std::make_shared<BallotBuilder>()};
    EXPECT_EQ(plain.GetProfile().honorLevel, 1) << "without news the server's answer is kept";
    EXPECT_EQ(fresh.Profile()->honorLevel, 1);
}

INSTANTIATE_TEST_SUITE_P(
    News, NewsAck,
    ::testing::Values(Kind{"LevelChange", NewsKind::LevelChange,
                           {"Update /qiv-honor-v2/v1/level-change", "Update /qiv-honor-v2/v1/profile"},
                           "Delete /qiv-honor-v2/v1/level-change"},
                      Kind{"Reward", NewsKind::Reward, {"Update /qiv-honor-v2/v1/reward-granted"},
                           "Delete /qiv-honor-v2/v1/reward-granted"}),
    [](const auto& tested) { return std::string(tested.param.name); });

}  // namespace
}  // namespace Vorn::Client::Honor
