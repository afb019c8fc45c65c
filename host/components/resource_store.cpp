#include "components/resource_store.h"

namespace qivhost {

bool ResourceStore::Set(const std::string& uri, const OwnedHostValue& value) {
    const bool created = resources_.count(uri) == 0;
    resources_[uri] = value;
    return created;
}

bool ResourceStore::Remove(const std::string& uri) { return resources_.erase(uri) != 0; }

const OwnedHostValue* ResourceStore::Find(const std::string& uri) const {
    const auto found = resources_.find(uri);
    return found == resources_.end() ? nullptr : &found->second;
}

std::optional<std::string> ResourceStore::Json(const std::string& uri) const {
    const OwnedHostValue* value = Find(uri);
    if (value == nullptr) return std::nullopt;
    return HostValueToJson(value->Get());
}

}  // namespace qivhost
