#include "router/api_name.h"

#include <gtest/gtest.h>

#include <string>

namespace vclient {
namespace {

struct NameCase {
    const char* word;
    std::string path;
    std::string expected;
};

TEST(ToApiName, FollowsTheNamingRule) {
    const NameCase cases[] = {
        {"GET", "/qiv-honor-v2/v1/ballot", "GetQivHonorV2V1Ballot"},
        {"POST", "/qiv-honor-v2/v1/level-change/ack", "PostQivHonorV2V1LevelChangeAck"},
        {"GET", "/players/{id}", "GetPlayersById"},
        {"", "qiv-honor-v2", "QivHonorV2"},
        {"DELETE", "/a_b!c.d", "DeleteABCD"},
        {"get", "/x", "GetX"},
        {"GET", "", "Get"},
        {"", "", ""},
        {"", "/files/{+path}", "FilesByPath"},
        {"", "/doc/{#part}", "DocBy#part"},   // "#" is copied and ends the capital
        {"", "/v1/2fa", "V12fa"},
        {"", "a}b", "Ab"},                     // "}" keeps the flag as it was
        {"", "/}b", "B"},
        {"", "{}", "By"},
        {"", "/a b~c", "A b~c"},
        {"", "/\xc3\xa9t", "\xc3\xa9t"},       // bytes above 127 are copied and end the capital
        {"G\xc3\x89T", "/x", "G\xc3\x89tX"},   // only ASCII letters are lowered
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(ToApiName(c.word, c.path), c.expected) << c.word << " " << c.path;
    }
}

TEST(ToApiName, CopiesEveryByteOutsideTheTableUnchanged) {
    for (int byte = 128; byte < 256; ++byte) {
        const std::string text{static_cast<char>(byte), 'a'};
        EXPECT_EQ(ToApiName("", text), text) << byte;
    }
}

}  // namespace
}  // namespace vclient
