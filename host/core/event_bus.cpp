#include "core/event_bus.h"

#include <algorithm>

namespace qivhost {

std::uint64_t EventBus::Subscribe(std::string name, std::uint32_t clientHandle, HostEventCallback callback,
                                  void* context, std::uint32_t flag) {
    const std::uint64_t id = nextId_++;
    for (Subscription& existing : subscriptions_) {
        if (existing.name != name || existing.clientHandle != clientHandle) continue;
        existing = Subscription{std::move(name), clientHandle, callback, context, flag, id};
        return id;
    }
    subscriptions_.push_back(Subscription{std::move(name), clientHandle, callback, context, flag, id});
    return id;
}

bool EventBus::Unsubscribe(std::string_view name, std::uint32_t clientHandle) {
    const auto found = std::find_if(subscriptions_.begin(), subscriptions_.end(), [&](const Subscription& s) {
        return s.name == name && s.clientHandle == clientHandle;
    });
    if (found == subscriptions_.end()) return false;
    subscriptions_.erase(found);
    return true;
}

std::vector<Subscription> EventBus::SubscribersOf(std::string_view name) const {
    std::vector<Subscription> found;
    for (const Subscription& s : subscriptions_) {
        if (s.name == name) found.push_back(s);
    }
    return found;
}

bool EventBus::IsLive(std::uint64_t id) const {
    return std::any_of(subscriptions_.begin(), subscriptions_.end(), [id](const Subscription& s) { return s.id == id; });
}

bool EventBus::IsSubscribed(std::string_view name, std::uint32_t clientHandle) const {
    return std::any_of(subscriptions_.begin(), subscriptions_.end(), [&](const Subscription& s) {
        return s.name == name && s.clientHandle == clientHandle;
    });
}

}  // namespace qivhost
