// The JSON reader against a plain model of the mapping: damaged copies of documents that
// exercise the reader's fast paths (arrays of records sharing a shape, arrays whose room is
// guessed from the ones before, duplicate members, the 8 KiB pieces the text is examined
// in) must read to the tree the model builds from the same parser's events, or fail with
// the parser's own reason and offset. The model builds its tree with the plain calls of
// BindingProperty and applies the duplicate rules naively.
#include "codec/json_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include "support/binding_describe.h"

namespace vclient {
namespace {

using testing_support::Describe;

// Builds the tree that plain BindingProperty calls give for the parser's events: a key
// names the field the next value fills (an existing one is filled again), an object or
// array keeps an existing value of its own kind and replaces any other, a scalar replaces,
// an element is appended.
class ModelBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, ModelBuilder> {
public:
    explicit ModelBuilder(BindingProperty& root) : target_(&root) {}

    bool Null() { Next().Clear(); return true; }
    bool Bool(bool b) { Next().SetBool(b); return true; }
    bool Int(int i) { Next().SetSigned(i); return true; }
    bool Int64(std::int64_t i) { Next().SetSigned(i); return true; }
    bool Uint(unsigned u) { Next().SetUnsigned(u); return true; }
    bool Uint64(std::uint64_t u) { Next().SetUnsigned(u); return true; }
    bool Double(double d) { Next().SetFloat(d); return true; }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        Next().SetString(UpToNul(text, length));
        return true;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        target_ = &open_.back()->Field(UpToNul(text, length));
        return true;
    }
    bool StartObject() { open_.push_back(&Next().EnsureStructure()); return true; }
    bool StartArray() { open_.push_back(&Next().EnsureCollection()); return true; }
    bool EndObject(rapidjson::SizeType) { open_.pop_back(); return true; }
    bool EndArray(rapidjson::SizeType) { open_.pop_back(); return true; }

private:
    static std::string UpToNul(const char* text, rapidjson::SizeType length) {
        const std::string cut(text, length);
        return cut.substr(0, cut.find('\0'));
    }
    BindingProperty& Next() {
        const bool inArray = !open_.empty() && open_.back()->Kind() == BindingPropertyType::Collection;
        return inArray ? open_.back()->Append() : *target_;
    }

    BindingProperty* target_;
    std::vector<BindingProperty*> open_;
};

// What the reader must give for `text`: Describe() of the tree, or the failure text.
std::string Expected(const std::string& text) {
    const std::string document = text.substr(0, text.find('\0'));
    if (document.find_first_not_of(" \t\r\n") == std::string::npos) {
        return "~";  // a blank document is an Empty value, not an error
    }
    BindingProperty root;
    ModelBuilder builder(root);
    rapidjson::Reader reader;
    rapidjson::StringStream stream(document.c_str());
    const rapidjson::ParseResult parsed = reader.Parse(stream, builder);
    if (parsed.IsError()) {
        return std::string("Error: ") + rapidjson::GetParseError_En(parsed.Code()) + " at offset " +
               std::to_string(parsed.Offset()) + ".";
    }
    return Describe(root);
}

// A record of one of three shapes, so arrays of them repeat, leave and return to a shape.
std::string Record(int i) {
    const std::string n = std::to_string(i);
    switch (i % 3) {
    case 0: return R"({"name":"p)" + n + R"(","stats":{"k":)" + n + R"(,"d":2,"a":-3},"items":[1,2,)" + n + "]}";
    case 1: return R"({"name":"q)" + n + R"(","stats":{"k":1.5,"d":)" + n + R"(},"win":true,"name":"r"})";
    default: return R"({"items":[],"stats":{"a":null,"k":)" + n + R"(},"note":"t\"\\\/\t\u00e9\u0000z"})";
    }
}

std::string Records(int count) {
    std::string text = "[";
    for (int i = 0; i < count; ++i) text += (i == 0 ? "" : ",") + Record(i);
    return text + "]";
}

// Replaces, inserts or removes a few bytes, or cuts the text short.
std::string Damage(const std::string& text, std::mt19937& random) {
    static constexpr char kBytes[] = "{}[]\",:\\0123456789-+.eEtrufalsnx \n";
    std::string damaged = text;
    const int changes = 1 + static_cast<int>(random() % 3);
    for (int i = 0; i < changes && !damaged.empty(); ++i) {
        const std::size_t at = random() % damaged.size();
        const char byte = random() % 50 == 0 ? '\0' : kBytes[random() % (sizeof kBytes - 1)];
        switch (random() % 4) {
        case 0: damaged.insert(at, 1, byte); break;
        case 1: damaged.erase(at, 1); break;
        case 2: damaged.resize(at); break;
        default: damaged[at] = byte; break;
        }
    }
    return damaged;
}

TEST(JsonReaderModel, DamagedDocumentsReadAsTheModelReadsThem) {
    const std::string documents[] = {
        R"({"gameId":5123456789,"teams":[{"players":[{"name":"A","stats":{"k":1,"d":2}},)"
        R"({"name":"B","stats":{"k":4,"d":5}}],"win":true},{"players":[],"win":false}],)"
        R"("dup":{"x":1},"dup":{"y":[1,2]},"dup":{"y":[3]},"nested":[[1,2],[3],[]],)"
        R"("numbers":[0,-0,1.5,-2.5e-3,18446744073709551615,-9223372036854775808,1e2],"none":null})",
        Records(24),
        Records(150),  // longer than one 8 KiB piece
    };
    std::mt19937 random(20261206);
    int failures = 0;
    int successes = 0;
    for (const std::string& document : documents) {
        ASSERT_EQ(Describe(JsonToBinding(document).Value()), Expected(document));
        const int rounds = document.size() > 8192 ? 150 : 1000;
        for (int round = 0; round < rounds; ++round) {
            const std::string damaged = Damage(document, random);
            const BindingResult read = JsonToBinding(damaged);
            const std::string expected = Expected(damaged);
            ASSERT_EQ(read.Succeeded() ? Describe(read.Value()) : read.ErrorMessage(), expected) << damaged;
            (read.Succeeded() ? successes : failures)++;
        }
    }
    // Both outcomes must have been exercised for the comparison to mean anything.
    EXPECT_GT(successes, 100);
    EXPECT_GT(failures, 100);
}

}  // namespace
}  // namespace vclient
