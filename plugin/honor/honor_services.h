// HonorServices: what the honor logic asks of the plug-in around it, and nothing more:
// announcing the feature's own resources, a request to another plug-in, the honor server
// behind the service proxy, the acknowledgement on the Vyre connection, and waiting for
// an answer. HonorPlugin implements it with its runtime (AppModule) functions; a test can
// stand in for it without a host.
//
// On top of the request it offers the three calls of the "honor-vote" step at the
// pre-end-of-game plug-in, with their trace messages on failure.
//
// Threading: like all of the feature, called only on the host's calling thread. Await
// gives the host turns, so other handlers of the plug-in may run nested while it waits.
#pragma once

#include <cstdint>
#include <future>
#include <string>
#include <variant>
#include <vector>

#include "honor/honor_records.h"
#include "router/http_method.h"
#include "util/failure.h"
#include "util/maybe_type.h"

namespace Vorn::Client::Honor {

// The post-game step this feature owns.
inline constexpr const char* kHonorVoteStep = "honor-vote";

// The records the feature publishes as the data of its resources.
using Publication = std::variant<Api::Ballot, std::vector<Api::Honor>, std::vector<std::uint64_t>, Api::FullTeamVote,
                                 Api::VoteCompletion, Api::VendedHonorChange, Api::VendedReward, Api::ProfileInfo>;

class HonorServices {
public:
    template <class T>
    using Outcome = vclient::MaybeType<vclient::Failure, T>;
    template <class T>
    using Pending = std::future<Outcome<T>>;

    // ---- The feature's own resources ----------------------------------------------------
    // Announces a Create (PublishResource) or an Update (PublishUpdate) of `uri` with
    // `value` as its data; nothing is sent when the value does not convert.
    virtual void PublishResource(const std::string& uri, const Publication& value) = 0;
    virtual void PublishUpdate(const std::string& uri, const Publication& value) = 0;
    // Announces a Delete of `uri`, without data.
    virtual void DeleteResource(const std::string& uri) = 0;

    // ---- Other components -------------------------------------------------------------
    // A REST request to another plug-in, without arguments; returns once its outcome is
    // there.
    virtual Outcome<void> Request(vclient::HttpMethod method, const std::string& path) = 0;
    // `method` of `service` through the service proxy. The answer of "honorPlayer" is a
    // text; "retrieveProfile" takes an empty value and answers the profile.
    virtual Pending<std::string> CallServiceProxy(const std::string& service, const std::string& method,
                                                  const ServiceProxy::HonorPlayerRequest& request) = 0;
    virtual Pending<ServiceProxy::RetrieveProfileResponse> CallServiceProxy(
        const std::string& service, const std::string& method, const vclient::BindingProperty& request) = 0;
    // `method` of `destination` on the Vyre connection, with the response as its argument.
    virtual Pending<void> InvokeVyre(const std::string& destination, const std::string& method,
                                     const Api::VyreSimpleMessageResponse& argument) = 0;
    // Waits for the outcome, giving the host turns meanwhile.
    virtual Outcome<std::string> Await(Pending<std::string> future) = 0;
    virtual Outcome<ServiceProxy::RetrieveProfileResponse> Await(
        Pending<ServiceProxy::RetrieveProfileResponse> future) = 0;
    virtual Outcome<void> Await(Pending<void> future) = 0;

    // ---- The "honor-vote" step at the pre-end-of-game plug-in -------------------------
    // Each sends its request and waits for it; a failure only emits its trace message.
    void PostEnablement();
    void PostDisablement();
    void PostCompletion();

protected:
    // Never deleted through this interface.
    ~HonorServices() = default;
};

}  // namespace Vorn::Client::Honor
