#include "router/route_pattern.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "router/url_decode.h"

namespace vclient {
namespace {

using Kind = CaptureKind;

struct TemplateCase {
    const char* pathTemplate;
    bool literal;
    std::string patternText;
    std::vector<RouteCapture> captures;
};

TEST(RoutePattern, TurnsTemplatesIntoPatterns) {
    const TemplateCase cases[] = {
        {"/qiv-honor-v2/v1/ballot", true, "/qiv-honor-v2/v1/ballot", {}}, {"/x.y", true, "/x.y", {}},
        {"/items/{id}", false, "/items/([^/]*)", {{Kind::Segment, "id"}}},
        {"/files/{+path}", false, "/files/(.*)", {{Kind::Rest, "path"}}},
        {"/doc{#part}", false, "/doc#(.*)", {{Kind::Fragment, "part"}}},
        {"/x.y/{a}", false, "/x\\.y/([^/]*)", {{Kind::Segment, "a"}}},
        {"^$.*+?()[]|\\{a}", false, "\\^\\$\\.\\*\\+\\?\\(\\)\\[\\]\\|\\\\([^/]*)",
         {{Kind::Segment, "a"}}},
        {"#-}~ {a}", false, "#-}~ ([^/]*)", {{Kind::Segment, "a"}}},
        {"/{}/{++x}/{x+}/{+#y}/{a{b}", false, "/([^/]*)/(.*)/([^/]*)/(.*)/([^/]*)",
         {{Kind::Segment, ""}, {Kind::Rest, "+x"}, {Kind::Segment, "x+"}, {Kind::Rest, "#y"},
          {Kind::Segment, "a{b"}}},
        {"/a/{id", false, "/a/", {}},  // a variable left open adds nothing
    };
    for (const TemplateCase& c : cases) {
        const RoutePattern pattern(c.pathTemplate);
        EXPECT_EQ(pattern.IsLiteral(), c.literal) << c.pathTemplate;
        EXPECT_EQ(pattern.PatternText(), c.patternText) << c.pathTemplate;
        EXPECT_EQ(pattern.Captures(), c.captures) << c.pathTemplate;
    }
}

struct MatchCase { const char* pathTemplate; std::string url; bool matches; PathArguments arguments; };

TEST(RoutePattern, MatchesUrlsAndDecodesVariables) {
    const MatchCase cases[] = {
        {"/x.y", "/x.y", true, {}}, {"/x.y", "/xzy", false, {}}, {"/x.y", "/x.y/", false, {}},
        {"/x.y/{a}", "/xzy/1", false, {}}, {"/x.y/{a}", "/x.y/1", true, {{"a", "1"}}},
        {"/items/{id}", "/items/a%20b", true, {{"id", "a b"}}},
        {"/items/{id}", "/items/x+y", true, {{"id", "x y"}}}, {"/items/{id}", "/items/", true, {{"id", ""}}},
        {"/items/{id}", "/items/a/b", false, {}}, {"/items/{id}", "/items", false, {}},
        {"/items/{id}", "/items/a%2Fb", true, {{"id", "a/b"}}},
        {"/files/{+path}", "/files/a/b/c", true, {{"path", "a/b/c"}}},
        {"/a/{+x}/{y}", "/a/b/c/d", true, {{"x", "b/c"}, {"y", "d"}}},
        {"/{+a}{+b}", "/xyz", true, {{"a", "xyz"}, {"b", ""}}}, {"/{a}/{a}", "/1/2", true, {{"a", "2"}}},
        {"/doc{#part}", "/doc#intro", true, {{"part", "intro"}}}, {"/doc{#part}", "/docintro", false, {}},
        {"/{+a}", "/a\nb", false, {}},  // "." stops at line ends, "[^/]" does not
        {"/{a}", "/a\rb", true, {{"a", "a\rb"}}},
        {"/a/{id", "/a/", true, {}},
        {"/a/{id", "/a/x", false, {}},
    };
    for (const MatchCase& c : cases) {
        PathArguments arguments;
        EXPECT_EQ(RoutePattern(c.pathTemplate).Match(c.url, arguments), c.matches) << c.url;
        EXPECT_EQ(arguments, c.arguments) << c.pathTemplate << " " << c.url;
    }
}

TEST(RoutePattern, MatchReplacesByNameAndLeavesTheMapAloneOnFailure) {
    const RoutePattern pattern("/items/{id}");
    PathArguments arguments{{"id", "old"}, {"other", "kept"}};
    EXPECT_FALSE(pattern.Match("/elsewhere/1", arguments));
    EXPECT_EQ(arguments, (PathArguments{{"id", "old"}, {"other", "kept"}}));
    EXPECT_TRUE(pattern.Match("/items/7", arguments));
    EXPECT_EQ(arguments, (PathArguments{{"id", "7"}, {"other", "kept"}}));
}

// A megabyte of URL: no recursion, no backtracking blow-up with several greedy groups.
TEST(RoutePattern, HandlesMegabyteUrls) {
    std::string slashes;
    for (int i = 0; i < (1 << 19); ++i) slashes += "a/";
    const RoutePattern threeRests("/{+a}/{+b}/{+c}x");
    EXPECT_FALSE(threeRests.MatchGroups("/" + slashes).has_value());
    const std::string url = "/" + slashes + "x";  // the groups are views into it
    const auto groups = threeRests.MatchGroups(url);
    ASSERT_TRUE(groups.has_value());
    EXPECT_EQ((*groups)[0].size(), slashes.size() - 3);  // the first group takes all it can
    EXPECT_EQ((*groups)[1], "a");
    EXPECT_EQ((*groups)[2], "");
    PathArguments arguments;
    EXPECT_TRUE(RoutePattern("/files/{+path}").Match("/files/" + slashes, arguments));
    EXPECT_EQ(arguments["path"], slashes);
    EXPECT_FALSE(RoutePattern("/{a}/{a}").Match("/" + slashes, arguments));
    const std::string same(1 << 20, 'a');
    EXPECT_TRUE(RoutePattern("{a}" + std::string(40, 'a')).MatchGroups(same).has_value());
}

// Random templates and URLs, compared with the standard library's ECMAScript engine on
// inputs short enough for it.
class Differential : public ::testing::Test {
protected:
    std::string Pick(const std::string& alphabet, std::size_t maxLength) {
        std::string text(Number(maxLength), ' ');
        for (char& c : text) c = alphabet[Number(alphabet.size() - 1)];
        return text;
    }
    std::size_t Number(std::size_t max) { return std::uniform_int_distribution<std::size_t>(0, max)(random_); }

    // A template and, beside it, the URL it describes with its variables filled in.
    std::pair<std::string, std::string> TemplateAndUrl() {
        static const char* const kinds[] = {"", "+", "#"};
        static const char* const names[] = {"a", "b", "", "a"};
        std::string pathTemplate = "/";
        std::string url = "/";
        for (std::size_t part = Number(4) + 1; part > 0; --part) {
            const std::string literal = Pick("ab/.#^$*+?()[]|\\-}~ ", 3);
            const std::size_t kind = Number(2);
            pathTemplate += literal + "{" + kinds[kind] + names[Number(3)] + "}";
            url += literal + (kind == 2 ? "#" : "") + Pick("ab/#.+%20\n", 4);
        }
        if (Number(9) == 0) pathTemplate += "{open";
        return {pathTemplate, url};
    }

    std::mt19937 random_{20240601u};
};

TEST_F(Differential, AgreesWithStdRegexOnVerdictAndGroups) {
    std::size_t matched = 0;
    for (int round = 0; round < 1500; ++round) {
        auto [pathTemplate, derived] = TemplateAndUrl();
        const RoutePattern pattern(pathTemplate);
        const std::regex regex(pattern.PatternText(), std::regex::ECMAScript | std::regex::optimize);
        const std::string urls[] = {derived, derived + "/", derived.substr(1),
                                    Pick("ab/#.x\n\r", 12), Pick("/a#", 16)};
        for (const std::string& url : urls) {
            std::smatch expected;
            const bool regexMatched = std::regex_match(url, expected, regex);
            const auto groups = pattern.MatchGroups(url);
            ASSERT_EQ(groups.has_value(), regexMatched) << pathTemplate << " on " << url;
            if (!regexMatched) continue;
            ++matched;
            ASSERT_EQ(std::vector<std::string>(groups->begin(), groups->end()),
                      std::vector<std::string>(expected.begin() + 1, expected.end()))
                << pathTemplate << " on " << url;
        }
    }
    EXPECT_GT(matched, 1000u);  // the derived URLs must exercise the capture split
}

struct DecodeCase { std::string text; std::string expected; };

TEST(UrlDecode, DecodesEscapesAndPlus) {
    const DecodeCase cases[] = {
        {"", ""}, {"abc", "abc"}, {"a+b", "a b"}, {"a%20b", "a b"},
        {"%2B", "+"},        // an escaped plus stays a plus
        {"%2541", "%41"},    // decoded once only
        {"%C3%A9", "\xc3\xa9"}, {"\xe9/", "\xe9/"},
    };
    for (const DecodeCase& c : cases) EXPECT_EQ(UrlDecode(c.text), c.expected) << c.text;
}

TEST(UrlDecode, KeepsAPercentThatStartsNoEscape) {
    const DecodeCase cases[] = {
        {"%", "%"}, {"%4", "%4"}, {"100%", "100%"}, {"a%2", "a%2"}, {"%%41", "%A"}, {"%+1", "% 1"}, {"%-1%", "%-1%"},
    };
    for (const DecodeCase& c : cases) EXPECT_EQ(UrlDecode(c.text), c.expected) << c.text;
}

TEST(UrlDecode, EveryTwoBytesAfterAPercentGiveOneByteOrStayText) {
    const std::string hex = "0123456789abcdefABCDEF";
    for (int high = 0; high < 256; ++high) {
        for (int low = 0; low < 256; ++low) {
            const char h = static_cast<char>(high);
            const char l = static_cast<char>(low);
            const std::string decoded = UrlDecode(std::string{'%', h, l});
            if (hex.find(h) != std::string::npos && hex.find(l) != std::string::npos) {
                const int value = std::stoi(std::string{h, l}, nullptr, 16);
                ASSERT_EQ(decoded, std::string(1, static_cast<char>(value)));
            } else {
                ASSERT_EQ(decoded.front(), '%');
                ASSERT_EQ(decoded.size(), 3u);
            }
        }
    }
}

}  // namespace
}  // namespace vclient
