#include "router/route_pattern.h"

#include <cstddef>
#include <utility>

#include "router/url_decode.h"

namespace vclient {
namespace {

// One flag per position of a URL, 0 to its length inclusive.
using PositionFlags = std::vector<std::uint8_t>;

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool NeedsEscape(char c) {
    switch (c) {
        case '^': case '$': case '.': case '*': case '+': case '?':
        case '(': case ')': case '[': case ']': case '|': case '\\': return true;
        default: return false;
    }
}

const char* PatternPiece(CaptureKind kind) {
    switch (kind) {
        case CaptureKind::Rest: return "(.*)";
        case CaptureKind::Fragment: return "#(.*)";
        case CaptureKind::Segment: break;
    }
    return "([^/]*)";
}

// The bytes a group may take: "[^/]" excludes only "/", ECMAScript's "." the line ends.
bool GroupTakes(CaptureKind kind, char c) {
    if (kind == CaptureKind::Segment) return c != '/';
    return c != '\n' && c != '\r';
}

// border[i]: length of the longest proper prefix of word[0..i] that is also its suffix.
std::vector<std::size_t> BorderTable(std::string_view word) {
    std::vector<std::size_t> border(word.size(), 0);
    std::size_t length = 0;
    for (std::size_t i = 1; i < word.size(); ++i) {
        while (length > 0 && word[i] != word[length]) length = border[length - 1];
        if (word[i] == word[length]) ++length;
        border[i] = length;
    }
    return border;
}

// Flags every position of `text` where `word` occurs, in linear time (overlaps included).
PositionFlags MarkOccurrences(std::string_view text, std::string_view word) {
    if (word.empty()) return PositionFlags(text.size() + 1, 1);
    PositionFlags marks(text.size() + 1, 0);
    const std::vector<std::size_t> border = BorderTable(word);
    std::size_t matched = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        while (matched > 0 && text[i] != word[matched]) matched = border[matched - 1];
        if (text[i] == word[matched]) ++matched;
        if (matched < word.size()) continue;
        marks[i + 1 - word.size()] = 1;
        matched = border[matched - 1];
    }
    return marks;
}

// starts[p]: a group of `kind` starting at p can end at some flagged position of `ends`
// without leaving its byte class. Walks from the right, keeping the nearest flagged end and
// the end of the run of bytes the group may take.
PositionFlags FeasibleStarts(const PositionFlags& ends, CaptureKind kind, std::string_view url) {
    const std::size_t n = url.size();
    PositionFlags starts(n + 1, 0);
    std::size_t nearestEnd = kNone;
    std::size_t runEnd = n;
    for (std::size_t p = n + 1; p-- > 0;) {
        if (p < n && !GroupTakes(kind, url[p])) runEnd = p;
        if (ends[p] != 0) nearestEnd = p;
        starts[p] = nearestEnd <= runEnd ? 1 : 0;
    }
    return starts;
}

// ends[i][q]: group i may end at q, that is, the literal after it occurs at q and everything
// after that literal can still match the rest of the URL. Built from the last group back.
std::vector<PositionFlags> FeasibleEnds(std::string_view url, const std::vector<std::string>& literals,
                                        const std::vector<RouteCapture>& captures) {
    const std::size_t groups = captures.size();
    std::vector<PositionFlags> ends(groups);
    PositionFlags nextStarts;  // FeasibleStarts of group i + 1
    for (std::size_t i = groups; i-- > 0;) {
        const std::string& after = literals[i + 1];
        PositionFlags& end = ends[i] = MarkOccurrences(url, after);
        for (std::size_t q = 0; q < end.size(); ++q) {
            if (end[q] == 0) continue;
            const std::size_t next = q + after.size();
            end[q] = (i + 1 == groups ? next == url.size() : nextStarts[next] != 0) ? 1 : 0;
        }
        nextStarts = FeasibleStarts(end, captures[i].kind, url);
    }
    return ends;
}

// Walks the groups left to right, giving each the longest text after which the rest still
// matches: the split a backtracking ECMAScript matcher settles on first.
std::optional<std::vector<std::string_view>> SplitGroups(std::string_view url,
                                                         const std::vector<std::string>& literals,
                                                         const std::vector<RouteCapture>& captures) {
    if (url.substr(0, literals.front().size()) != literals.front()) return std::nullopt;
    const std::vector<PositionFlags> ends = FeasibleEnds(url, literals, captures);
    std::vector<std::string_view> groups;
    groups.reserve(captures.size());
    std::size_t p = literals.front().size();
    for (std::size_t i = 0; i < captures.size(); ++i) {
        std::size_t q = p;
        while (q < url.size() && GroupTakes(captures[i].kind, url[q])) ++q;
        while (q > p && ends[i][q] == 0) --q;
        if (ends[i][q] == 0) return std::nullopt;  // only the first group can fail here
        groups.push_back(url.substr(p, q - p));
        p = q + literals[i + 1].size();
    }
    return groups;
}

}  // namespace

RoutePattern::RoutePattern(std::string_view pathTemplate) : literals_(1) {
    if (pathTemplate.find('{') == std::string_view::npos) {
        literal_ = true;
        patternText_ = pathTemplate;
        literals_.front() = pathTemplate;
        return;
    }
    std::optional<RouteCapture> open;  // the variable being read, between its braces
    bool atNameStart = false;
    for (const char c : pathTemplate) {
        if (!open && c == '{') {
            open.emplace();
            atNameStart = true;
        } else if (!open) {
            AddCharacter(c);
        } else if (c == '}') {
            CloseVariable(std::move(*open));
            open.reset();
        } else {
            if (atNameStart && c == '+') open->kind = CaptureKind::Rest;
            else if (atNameStart && c == '#') open->kind = CaptureKind::Fragment;
            else open->name += c;
            atNameStart = false;
        }
    }
}

void RoutePattern::AddCharacter(char c) {
    if (NeedsEscape(c)) patternText_ += '\\';
    patternText_ += c;
    literals_.back() += c;
}

void RoutePattern::CloseVariable(RouteCapture capture) {
    patternText_ += PatternPiece(capture.kind);
    if (capture.kind == CaptureKind::Fragment) literals_.back() += '#';
    captures_.push_back(std::move(capture));
    literals_.emplace_back();
}

std::optional<std::vector<std::string_view>> RoutePattern::MatchGroups(std::string_view url) const {
    if (captures_.empty()) {
        if (url != literals_.front()) return std::nullopt;
        return std::vector<std::string_view>{};
    }
    return SplitGroups(url, literals_, captures_);
}

bool RoutePattern::Match(std::string_view url, PathArguments& arguments) const {
    const std::optional<std::vector<std::string_view>> groups = MatchGroups(url);
    if (!groups) return false;
    for (std::size_t i = 0; i < captures_.size(); ++i) {
        arguments.insert_or_assign(captures_[i].name, UrlDecode((*groups)[i]));
    }
    return true;
}

}  // namespace vclient
