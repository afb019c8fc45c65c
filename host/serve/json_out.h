// Small JSON texts the development host writes for people and programs: an error object,
// the route table, the transcript. Written with RapidJSON's writer, so every text is
// escaped as JSON wants it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/plugin_routes.h"
#include "core/transcript.h"

namespace qivhost {

// {"error":"<text>"}
[[nodiscard]] std::string ErrorJson(const std::string& text);
// {"<name>":"<text>",...} from name/text pairs, in order.
[[nodiscard]] std::string TextsJson(const std::vector<std::pair<std::string, std::string>>& fields);
// [{"name","method","path","arguments":[{"name","location","optional"}]}...]; "method"
// is the method word, "*" for a route that takes every method.
[[nodiscard]] std::string RouteTableJson(const std::vector<RouteInfo>& routes);
// {"count":N,"entries":[{"slot","detail"}...]}: the entries from `since` on; count is the
// transcript's whole length, so a reader can ask for what came after.
[[nodiscard]] std::string TranscriptJson(const Transcript& transcript, std::size_t since);

}  // namespace qivhost
