// ToApiName: the name of an API function, formed from its method word and its path.
//
// GET "/qiv-honor-v2/v1/ballot" is GetQivHonorV2V1Ballot, POST
// "/qiv-honor-v2/v1/level-change/ack" is PostQivHonorV2V1LevelChangeAck, GET "/players/{id}"
// is GetPlayersById. With an empty method word the path alone is named, which is how the
// runtime turns the plug-in's short name "qiv-honor-v2" into QivHonorV2.
//
// Rule: a non-empty word contributes its first character unchanged, the rest of it in lower
// case and a "/"; the path follows. In the whole text "!", "+", "-", ".", "/" and "_" are
// dropped and capitalise the next character; "{" becomes "By" and capitalises the next
// character; "}" is dropped. Every other byte is copied, upper-cased when capitalisation is
// pending (only ASCII letters change case; bytes above 127 are copied as they are).
#pragma once

#include <string>
#include <string_view>

namespace vclient {

[[nodiscard]] std::string ToApiName(std::string_view methodWord, std::string_view path);

}  // namespace vclient
