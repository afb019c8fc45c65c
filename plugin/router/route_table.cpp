#include "router/route_table.h"

#include <cstdint>
#include <string>

#include "router/handle_call.h"
#include "router/route_binding.h"

namespace vclient {

namespace {

constexpr const char* kEmptyText = "";

std::vector<RouteArgumentLocation> LocationArray(const RouteBinding& binding, std::uint32_t argumentCount) {
    std::vector<RouteArgumentLocation> locations(argumentCount);
    for (std::uint32_t index = 0; index < argumentCount; ++index) {
        RouteArgumentLocation location{};
        location.reserved = 0;
        location.location = binding.LocationOf(index);
        locations[index] = location;
    }
    return locations;
}

}  // namespace

void RouteTable::AddFunction(const ApiFunctionDescription& description, RouteBinding* binding) {
    RouteFunctionEntry entry{};
    entry.function = description;
    entry.function.next = nullptr;
    entry.function.dispatchContext = binding != nullptr ? &binding->context : nullptr;
    entry.HandleCall = &HandleCall;
    entry.pathTemplate = binding != nullptr ? binding->pathTemplate.c_str() : kEmptyText;
    entry.method = binding != nullptr ? HttpMethodCode(binding->method) : 0;
    entry.flag = binding != nullptr ? binding->flag : 0;
    entry.methodWord = binding != nullptr ? binding->methodWord.c_str() : kEmptyText;

    std::vector<RouteArgumentLocation> locations;
    if (binding != nullptr) locations = LocationArray(*binding, description.argumentCount);
    entry.argumentLocations = locations.empty() ? nullptr : locations.data();
    locations_.push_back(std::move(locations));

    std::vector<RouteTextList> lists;
    if (binding != nullptr) {
        for (const std::vector<std::string>& list : binding->textLists) {
            std::vector<const char*> texts;
            texts.reserve(list.size());
            for (const std::string& text : list) texts.push_back(text.c_str());
            RouteTextList record{};
            record.texts = texts.empty() ? nullptr : texts.data();
            record.count = static_cast<std::uint32_t>(texts.size());
            texts_.push_back(std::move(texts));
            lists.push_back(record);
        }
    }
    entry.textLists = lists.empty() ? nullptr : lists.data();
    entry.textListCount = static_cast<std::uint32_t>(lists.size());
    textLists_.push_back(std::move(lists));
    entries_.push_back(entry);
}

void RouteTable::Finish(const ApiDescriptionTable& description) {
    for (std::size_t index = 0; index + 1 < entries_.size(); ++index) {
        entries_[index].function.next = &entries_[index + 1].function;
    }
    descriptor_.functions = entries_.empty() ? nullptr : entries_.data();
    descriptor_.functionCount = static_cast<std::uint32_t>(entries_.size());
    descriptor_.types = description.types;
    descriptor_.typeCount = description.typeCount;
    descriptor_.events = description.events;
    descriptor_.eventCount = description.eventCount;
}

}  // namespace vclient
