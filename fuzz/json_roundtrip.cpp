// JSON text -> tree -> JSON text, against RapidJSON's own DOM parse of the same bytes.
//
// The reader must take the same accept/reject decision as the DOM parse with the default
// flags (its grammar: no comments, no trailing commas, no NaN/Infinity), report the same
// error text and offset for a rejected document, and build, for an accepted one, the
// tree the DOM describes: kinds, numbers bit for bit, texts byte for byte, members in the
// structure's name order. The tree then writes (compact and indented) to text that reads
// back as the same tree and that the DOM parse accepts too.
//
// The reader's documented rules that the DOM does not share are carved out below, each
// where it applies, and nothing else:
//   R1 the document ends at its first NUL byte, texts at their first NUL character;
//   R2 an empty or blank document is a success holding Empty;
//   R3 duplicate member names: the later value replaces the earlier one, two objects
//      merge, two arrays append;
//   R4 nesting deeper than kMaxNestingDepth fails with "Arrays and objects nested deeper
//      than 256 levels." where the level too many opens;
//   R5 a number beyond the range of a double fails with the number-too-big text;
//   R6 a negative exponent of nine or more digits reads as a zero of the number's sign
//      (the DOM parse itself overflows there, so numbers are taken as texts);
//   R7 "-0" reads as Signed 0, while the DOM keeps no sign for an integer zero; a Signed
//      zero writes back as 0 and so reads back Unsigned;
//   R8 the reader converts numbers with the default flags, RapidJSON's fast conversion,
//      which is not correctly rounded: the shortest text the writer gives for a double
//      may read back a few units in the last place away (kReadBackUlps).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include "codec/json_number_guard.h"
#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "fuzz_support.h"
#include "value/nesting_limit.h"

namespace {

using vclient::BindingProperty;
using vclient::BindingPropertyType;
using qivfuzz::Check;
using qivfuzz::Quoted;

using Dom = rapidjson::Document;

std::string ErrorText(rapidjson::ParseErrorCode code, std::size_t offset) {
    return std::string("Error: ") + rapidjson::GetParseError_En(code) + " at offset " + std::to_string(offset) + ".";
}

// R1: a text as the tree keeps it.
std::string_view UpToNul(const char* text, std::size_t length) {
    std::size_t size = 0;
    while (size < length && text[size] != '\0') ++size;
    return {text, size};
}

bool IsNumberCharacter(char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Forwards the reader's events to the DOM, applying R4, R5 and R6 where the events arrive.
template <class Stream>
struct Reference {
    Dom& dom;
    const Stream& stream;
    const char* text;
    std::size_t depth = 0;
    bool tooBig = false;
    std::size_t tooBigAt = 0;  // R5: the number's first character
    bool tooDeep = false;      // R4

    using Ch = char;
    bool Null() { return dom.Null(); }
    bool Bool(bool b) { return dom.Bool(b); }
    bool Int(int i) { return dom.Int(i); }
    bool Uint(unsigned u) { return dom.Uint(u); }
    bool Int64(std::int64_t i) { return dom.Int64(i); }
    bool Uint64(std::uint64_t u) { return dom.Uint64(u); }
    bool Double(double d) {
        if (!std::isfinite(d)) return NumberTooBig(stream.Tell());
        return dom.Double(d);
    }
    // R6: with numbers as texts, each is converted alone, as the default flags would.
    bool RawNumber(const char* number, rapidjson::SizeType length, bool) {
        const std::string_view digits(number, length);
        if (vclient::IsHugeNegativeExponent(digits)) return dom.Double(digits.front() == '-' ? -0.0 : 0.0);
        const std::string copy(digits);
        Catcher caught;
        rapidjson::Reader reader;
        rapidjson::StringStream alone(copy.c_str());
        const rapidjson::ParseResult parsed = reader.Parse<rapidjson::kParseDefaultFlags>(alone, caught);
        if (parsed.IsError()) return parsed.Code() == rapidjson::kParseErrorNumberTooBig && NumberTooBig(stream.Tell());
        switch (caught.kind) {
            case Catcher::kSigned: return dom.Int64(caught.i);
            case Catcher::kUnsigned: return dom.Uint64(caught.u);
            default: return Double(caught.d);
        }
    }
    bool String(const char* s, rapidjson::SizeType length, bool copy) { return dom.String(s, length, copy); }
    bool StartObject() { return Open() && dom.StartObject(); }
    bool Key(const char* s, rapidjson::SizeType length, bool copy) { return dom.Key(s, length, copy); }
    bool EndObject(rapidjson::SizeType count) { --depth; return dom.EndObject(count); }
    bool StartArray() { return Open() && dom.StartArray(); }
    bool EndArray(rapidjson::SizeType count) { --depth; return dom.EndArray(count); }

private:
    // The one number of a text holding only that number.
    struct Catcher : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Catcher> {
        enum Kind { kSigned, kUnsigned, kDouble } kind = kDouble;
        std::int64_t i = 0;
        std::uint64_t u = 0;
        double d = 0;
        bool Default() { return false; }
        bool Int(int v) { kind = kSigned; i = v; return true; }
        bool Int64(std::int64_t v) { kind = kSigned; i = v; return true; }
        bool Uint(unsigned v) { kind = kUnsigned; u = v; return true; }
        bool Uint64(std::uint64_t v) { kind = kUnsigned; u = v; return true; }
        bool Double(double v) { kind = kDouble; d = v; return true; }
    };

    bool Open() {
        tooDeep = ++depth > vclient::kMaxNestingDepth;
        return !tooDeep;
    }
    bool NumberTooBig(std::size_t end) {
        std::size_t start = end;
        while (start > 0 && IsNumberCharacter(text[start - 1])) --start;
        tooBig = true;
        tooBigAt = start;
        return false;
    }
};

}  // namespace

namespace {

// The tree the DOM describes, with R1 and R3 applied.
void Build(BindingProperty& target, const rapidjson::Value& value) {
    switch (value.GetType()) {
        case rapidjson::kNullType: target.Clear(); break;
        case rapidjson::kFalseType: target.SetBool(false); break;
        case rapidjson::kTrueType: target.SetBool(true); break;
        case rapidjson::kNumberType:
            if (value.IsDouble()) target.SetFloat(value.GetDouble());
            else if (value.IsUint64()) target.SetUnsigned(value.GetUint64());
            else target.SetSigned(value.GetInt64());
            break;
        case rapidjson::kStringType: target.SetString(UpToNul(value.GetString(), value.GetStringLength())); break;
        case rapidjson::kObjectType:
            target.EnsureStructure();
            for (const auto& member : value.GetObject()) {
                Build(target.Field(UpToNul(member.name.GetString(), member.name.GetStringLength())), member.value);
            }
            break;
        case rapidjson::kArrayType:
            target.EnsureCollection();
            for (const auto& element : value.GetArray()) Build(target.Append(), element);
            break;
    }
}

// R7: Unsigned 0 in the expectation stands for an integer zero of either sign.
void AllowSignedZero(const BindingProperty& ours, BindingProperty& expected) {
    if (expected.Kind() == BindingPropertyType::Unsigned && expected.GetUnsigned() == 0 &&
        ours.Kind() == BindingPropertyType::Signed && ours.GetSigned() == 0) {
        expected.SetSigned(0);
        return;
    }
    if (expected.Kind() != ours.Kind()) return;
    if (ours.Kind() == BindingPropertyType::Collection && ours.Size() == expected.Size()) {
        for (std::size_t i = 0; i < ours.Size(); ++i) AllowSignedZero(ours.At(i), expected.Element(i));
    } else if (ours.Kind() == BindingPropertyType::Structure) {
        for (const auto& [name, field] : ours.Fields()) {
            if (expected.HasField(name)) AllowSignedZero(field, expected.Field(name));
        }
    }
}

// R7: a Signed zero reads back as Unsigned zero once written.
void WrittenZeros(BindingProperty& value) {
    if (value.Kind() == BindingPropertyType::Signed && value.GetSigned() == 0) value.SetUnsigned(0);
    if (value.Kind() == BindingPropertyType::Collection) {
        for (BindingProperty& element : value.Elements()) WrittenZeros(element);
    } else if (value.Kind() == BindingPropertyType::Structure) {
        for (auto [name, field] : value.Fields()) WrittenZeros(field);
    }
}

struct ReferenceOutcome {
    Dom dom;
    rapidjson::ParseResult parsed;
    bool tooBig = false;
    std::size_t tooBigAt = 0;
    bool tooDeep = false;
};

void ParseReference(const std::string& text, ReferenceOutcome& out) {
    const bool careful = vclient::MayHoldHugeNegativeExponent(text);
    rapidjson::StringStream stream(text.c_str());
    Reference<rapidjson::StringStream> handler{out.dom, stream, text.c_str()};
    rapidjson::Reader reader;
    auto generate = [&](Dom&) {
        out.parsed = careful ? reader.Parse<rapidjson::kParseNumbersAsStringsFlag>(stream, handler)
                             : reader.Parse<rapidjson::kParseDefaultFlags>(stream, handler);
        return !out.parsed.IsError();
    };
    out.dom.Populate(generate);
    out.tooBig = handler.tooBig;
    out.tooBigAt = handler.tooBigAt;
    out.tooDeep = handler.tooDeep;
}

bool IsBlank(std::string_view text) {
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') return false;
    }
    return true;
}

constexpr std::uint64_t kReadBackUlps = 4;

// Writes `tree` in both layouts and checks that each reads back as `tree` and is JSON.
void CheckWriteBack(const BindingProperty& tree, const std::string& input) {
    BindingProperty expected = tree;
    WrittenZeros(expected);
    for (const char* lineBreak : {static_cast<const char*>(nullptr), "\r\n"}) {
        const std::string written = vclient::BindingToJson(tree, nullptr, lineBreak);
        const vclient::BindingResult again = vclient::JsonToBinding(written);
        Check(again.Succeeded(), "written text reads back", "input " + Quoted(input) + "\nwritten " + Quoted(written) +
                                                                "\n" + again.ErrorMessage());
        const std::string difference = qivfuzz::Difference(expected, again.Value(), "$", kReadBackUlps);  // R8
        Check(difference.empty(), "written text reads back alike",
              "input " + Quoted(input) + "\nwritten " + Quoted(written) + "\n" + difference);
        if (tree.IsEmpty()) {
            Check(written.empty(), "an Empty root writes as the empty text", Quoted(written));
            continue;
        }
        Dom dom;
        dom.Parse(written.c_str());
        Check(!dom.HasParseError(), "written text is JSON to the DOM parse", Quoted(written));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const std::string input(bytes, size);
    const vclient::BindingResult ours = vclient::JsonToBinding(bytes, size);
    const std::string text(UpToNul(bytes, size));  // R1

    if (IsBlank(text)) {  // R2
        Check(ours.Succeeded() && ours.Value().IsEmpty(), "a blank document is a success holding Empty", Quoted(input));
        return 0;
    }
    ReferenceOutcome reference;
    ParseReference(text, reference);
    if (reference.parsed.IsError()) {
        std::string expected = ErrorText(reference.parsed.Code(), reference.parsed.Offset());
        if (reference.tooBig) expected = ErrorText(rapidjson::kParseErrorNumberTooBig, reference.tooBigAt);  // R5
        if (reference.tooDeep) {  // R4
            expected = "Error: Arrays and objects nested deeper than 256 levels. at offset " +
                       std::to_string(reference.parsed.Offset()) + ".";
        }
        Check(!ours.Succeeded(), "the DOM parse rejects, the reader accepts", Quoted(input) + "\n" + expected);
        Check(ours.ErrorMessage() == expected, "same error text",
              Quoted(input) + "\nreader: " + ours.ErrorMessage() + "\nexpected: " + expected);
        return 0;
    }
    Check(ours.Succeeded(), "the DOM parse accepts, the reader rejects", Quoted(input) + "\n" + ours.ErrorMessage());
    BindingProperty expected;
    Build(expected, reference.dom);
    AllowSignedZero(ours.Value(), expected);
    const std::string difference = qivfuzz::Difference(expected, ours.Value());
    Check(difference.empty(), "the reader's tree is the DOM's", Quoted(input) + "\n" + difference);
    if (input.size() < 4096) Check(ours.Value().FieldTreeHoldsRules(), "field trees keep their rules", Quoted(input));
    CheckWriteBack(ours.Value(), input);
    return 0;
}
