// The host's subscriptions: who receives events of which name. A subscription is keyed
// by (event name, clientHandle); subscribing again under the same key replaces the
// callback, context and flag. Delivery itself is the DevHost's (it goes through the
// pending queue); the bus only answers who is subscribed right now.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "qiv/plugin_abi.h"

namespace qivhost {

struct Subscription {
    std::string name;
    std::uint32_t clientHandle = 0;
    HostEventCallback callback = nullptr;
    void* context = nullptr;
    std::uint32_t flag = 0;
    std::uint64_t id = 0;  // unique per subscription made, never reused
};

class EventBus {
public:
    // Returns the new subscription's id.
    std::uint64_t Subscribe(std::string name, std::uint32_t clientHandle, HostEventCallback callback, void* context,
                            std::uint32_t flag);
    // False when there was no such subscription.
    bool Unsubscribe(std::string_view name, std::uint32_t clientHandle);
    // A snapshot, in subscription order.
    [[nodiscard]] std::vector<Subscription> SubscribersOf(std::string_view name) const;
    [[nodiscard]] bool IsLive(std::uint64_t id) const;
    [[nodiscard]] bool IsSubscribed(std::string_view name, std::uint32_t clientHandle) const;
    const std::vector<Subscription>& All() const { return subscriptions_; }
    [[nodiscard]] std::size_t Count() const { return subscriptions_.size(); }
    void Clear() { subscriptions_.clear(); }

private:
    std::vector<Subscription> subscriptions_;
    std::uint64_t nextId_ = 1;
};

}  // namespace qivhost
