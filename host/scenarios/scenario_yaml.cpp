#include "scenarios/scenario_yaml.h"

#include <yaml.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace qivhost {
namespace {

constexpr char kStringTag[] = "tag:yaml.org,2002:str";

std::string Place(const yaml_mark_t& mark) {
    return std::to_string(mark.line + 1) + ":" + std::to_string(mark.column + 1) + ": ";
}

bool IsDigits(std::string_view text) {
    if (text.empty()) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// [-+]digits
bool IsInteger(std::string_view text) {
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    return IsDigits(text);
}

// [-+](digits[.digits*] | .digits)([eE][-+]digits)
bool IsDecimal(std::string_view text) {
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    const std::size_t exponent = text.find_first_of("eE");
    std::string_view mantissa = text.substr(0, exponent);
    if (exponent != std::string_view::npos) {
        std::string_view power = text.substr(exponent + 1);
        if (!power.empty() && (power[0] == '-' || power[0] == '+')) power.remove_prefix(1);
        if (!IsDigits(power)) return false;
    }
    const std::size_t dot = mantissa.find('.');
    if (dot == std::string_view::npos) return IsDigits(mantissa);
    const std::string_view whole = mantissa.substr(0, dot);
    const std::string_view fraction = mantissa.substr(dot + 1);
    if (whole.empty() && fraction.empty()) return false;
    return (whole.empty() || IsDigits(whole)) && (fraction.empty() || IsDigits(fraction));
}

// A plain scalar as the JSON value it reads as. False when it reads as a number that
// does not fit.
bool PlainScalar(const std::string& text, rapidjson::Value& out, rapidjson::Document::AllocatorType& allocator) {
    if (text.empty() || text == "~" || text == "null" || text == "Null" || text == "NULL") {
        out.SetNull();
    } else if (text == "true" || text == "True" || text == "TRUE") {
        out.SetBool(true);
    } else if (text == "false" || text == "False" || text == "FALSE") {
        out.SetBool(false);
    } else if (IsInteger(text)) {
        errno = 0;
        char* end = nullptr;
        if (text[0] == '-') {
            const long long value = std::strtoll(text.c_str(), &end, 10);
            if (errno == ERANGE) return false;
            out.SetInt64(value);
        } else {
            const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
            if (errno == ERANGE) return false;
            out.SetUint64(value);
        }
    } else if (IsDecimal(text)) {
        errno = 0;
        const double value = std::strtod(text.c_str(), nullptr);
        if (errno == ERANGE) return false;
        out.SetDouble(value);
    } else {
        out.SetString(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), allocator);
    }
    return true;
}

// Builds the tree from the parser's events.
class TreeBuilder {
public:
    TreeBuilder(rapidjson::Document& document, std::size_t maxDepth) : document_(document), maxDepth_(maxDepth) {}

    // False with error_ set.
    bool Take(const yaml_event_t& event) {
        switch (event.type) {
            case YAML_DOCUMENT_START_EVENT: return StartDocument(event);
            case YAML_MAPPING_START_EVENT: return Open(event, true);
            case YAML_SEQUENCE_START_EVENT: return Open(event, false);
            case YAML_MAPPING_END_EVENT:
            case YAML_SEQUENCE_END_EVENT: return Close(event);
            case YAML_SCALAR_EVENT: return Scalar(event);
            case YAML_ALIAS_EVENT: return Fail(event.start_mark, "aliases are not supported in scenario files");
            default: return true;
        }
    }

    bool Done() const { return done_; }
    const std::string& Error() const { return error_; }

private:
    struct Frame {
        rapidjson::Value value;
        rapidjson::Value key;
        yaml_mark_t keyMark{};
        bool mapping = false;
        bool haveKey = false;
    };

    bool Fail(const yaml_mark_t& mark, const std::string& what) {
        error_ = Place(mark) + what;
        return false;
    }

    bool StartDocument(const yaml_event_t& event) {
        if (documents_++ > 0) return Fail(event.start_mark, "a scenario file holds one YAML document only");
        return true;
    }

    bool Open(const yaml_event_t& event, bool mapping) {
        if (stack_.size() >= maxDepth_) return Fail(event.start_mark, "values nest too deeply");
        if (ExpectingKey()) return Fail(event.start_mark, "mapping keys must be plain text");
        Frame frame;
        if (mapping) {
            frame.value.SetObject();
        } else {
            frame.value.SetArray();
        }
        frame.mapping = mapping;
        stack_.push_back(std::move(frame));
        return true;
    }

    bool Close(const yaml_event_t& event) {
        rapidjson::Value value(std::move(stack_.back().value));
        stack_.pop_back();
        return Put(event, value);
    }

    bool Scalar(const yaml_event_t& event) {
        const std::string text(reinterpret_cast<const char*>(event.data.scalar.value), event.data.scalar.length);
        const char* tag = reinterpret_cast<const char*>(event.data.scalar.tag);
        const bool asText = !event.data.scalar.plain_implicit || (tag != nullptr && std::strcmp(tag, kStringTag) == 0);
        rapidjson::Value value;
        if (asText || ExpectingKey()) {
            value.SetString(text.c_str(), static_cast<rapidjson::SizeType>(text.size()), document_.GetAllocator());
        } else if (!PlainScalar(text, value, document_.GetAllocator())) {
            return Fail(event.start_mark, "the number " + text + " is out of range");
        }
        return Put(event, value);
    }

    bool ExpectingKey() const { return !stack_.empty() && stack_.back().mapping && !stack_.back().haveKey; }

    // Puts a finished value where it belongs: the root, a list, a key or a key's value.
    bool Put(const yaml_event_t& event, rapidjson::Value& value) {
        if (stack_.empty()) {
            static_cast<rapidjson::Value&>(document_) = value;  // moves
            done_ = true;
            return true;
        }
        Frame& top = stack_.back();
        if (!top.mapping) {
            top.value.PushBack(value, document_.GetAllocator());
            return true;
        }
        if (!top.haveKey) {
            top.key = value;
            top.keyMark = event.start_mark;
            top.haveKey = true;
            return true;
        }
        if (top.value.HasMember(top.key)) {
            return Fail(top.keyMark, "the key \"" + std::string(top.key.GetString()) + "\" appears twice");
        }
        top.value.AddMember(top.key, value, document_.GetAllocator());
        top.haveKey = false;
        return true;
    }

    rapidjson::Document& document_;
    std::size_t maxDepth_;
    std::vector<Frame> stack_;
    std::string error_;
    int documents_ = 0;
    bool done_ = false;
};

// Owns the parser for the length of one read.
class Parser {
public:
    explicit Parser(std::string_view text) {
        ready_ = yaml_parser_initialize(&parser_) != 0;
        if (!ready_) return;
        yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
        yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    }
    ~Parser() {
        if (ready_) yaml_parser_delete(&parser_);
    }
    Parser(const Parser&) = delete;
    Parser& operator=(const Parser&) = delete;

    bool Ready() const { return ready_; }
    bool Next(yaml_event_t& event) { return yaml_parser_parse(&parser_, &event) != 0; }
    std::string Problem() const {
        std::string text = Place(parser_.problem_mark) + (parser_.problem != nullptr ? parser_.problem : "not YAML");
        if (parser_.context != nullptr) text += std::string(" ") + parser_.context;
        return text;
    }

private:
    yaml_parser_t parser_{};
    bool ready_ = false;
};

}  // namespace

bool YamlToDocument(std::string_view text, std::size_t maxDepth, rapidjson::Document& out, std::string& error) {
    Parser parser(text);
    if (!parser.Ready()) {
        error = "1:1: the YAML reader could not start";
        return false;
    }
    TreeBuilder builder(out, maxDepth);
    for (;;) {
        yaml_event_t event;
        if (!parser.Next(event)) {
            error = parser.Problem();
            return false;
        }
        const bool end = event.type == YAML_STREAM_END_EVENT;
        const bool ok = builder.Take(event);
        yaml_event_delete(&event);
        if (!ok) {
            error = builder.Error();
            return false;
        }
        if (end) break;
    }
    if (!builder.Done()) {
        error = "1:1: the file holds no YAML document";
        return false;
    }
    return true;
}

}  // namespace qivhost
