// The resources of the client's other components (login, game flow, end of game,
// platform configuration, pre-end-of-game, messaging service), keyed by URI and held as
// host values built from JSON. A GET of the plug-in is answered from here; changes made
// by tests or scenarios go through ResourceStore::Set/Remove and are announced as the
// owning component would (see resource_change.h).
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "core/host_value_json.h"

namespace qivhost {

class ResourceStore {
public:
    // Stores a copy; returns true when the URI was new (a Create), false for an Update.
    bool Set(const std::string& uri, const OwnedHostValue& value);
    // False when there was nothing to remove.
    bool Remove(const std::string& uri);
    [[nodiscard]] const OwnedHostValue* Find(const std::string& uri) const;
    [[nodiscard]] std::optional<std::string> Json(const std::string& uri) const;
    [[nodiscard]] bool Has(const std::string& uri) const { return resources_.count(uri) != 0; }
    const std::map<std::string, OwnedHostValue>& All() const { return resources_; }

private:
    std::map<std::string, OwnedHostValue> resources_;
};

}  // namespace qivhost
