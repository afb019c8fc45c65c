// HandleCall on the honor plug-in's fifteen routes, with a body under each content type
// (JSON, MessagePack, YAML, and unknown ones). The plug-in's libraries are linked into
// this program with a minimal in-process host (minimal_host.h) rather than loaded by the
// development host: every input gets a fresh plug-in in well under a millisecond, the
// coverage of the whole library is seen directly, and nothing of the development host's
// transcript grows across millions of calls. When the first input bit is set, the host
// serves a configuration that enables the feature, so the calls reach the active logic.
#include <cstddef>
#include <cstdint>

#include "call_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const qivfuzz::CallOptions options{
        {{"/qiv-platform-config/v1/namespaces/Honor",
          R"({"DayOneModalEnabled":true,"Enabled":true,"Honor2018Enabled":true,"SecondsToVote":40})"},
         {"/qiv-login/v1/session", R"({"state":"SUCCEEDED","summonerId":7,"accountId":9})"},
         {"/qiv-pre-end-of-game/v1/currentSequenceEvent", R"({"name":"honor-vote","priority":1})"}},
        {"content-type", "accept"}};
    qivfuzz::RunCall(data, size, options);
    return 0;
}
