#include "codec/json_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "binding/property_arena.h"
#include "codec/base64.h"
#include "codec/binding_walk.h"

namespace vclient {

namespace {

using CompactWriter = rapidjson::Writer<rapidjson::StringBuffer>;
using IndentedWriter = rapidjson::PrettyWriter<rapidjson::StringBuffer>;

// Texts longer than a SizeType can count do not occur in practice; a longer one is cut
// at that length rather than wrapped around to a wrong one.
[[nodiscard]] rapidjson::SizeType TextLength(std::size_t size) noexcept {
    constexpr std::size_t kMax = static_cast<rapidjson::SizeType>(-1);
    return static_cast<rapidjson::SizeType>(size < kMax ? size : kMax);
}

// A sink writing JSON through one of RapidJSON's writers; the two layouts differ only in
// the writer type. Element and field boundaries need no output.
template <typename Writer>
class JsonSink final : public BindingSink {
public:
    JsonSink(Writer& writer, const EnumNames* registry) : writer_(writer), registry_(registry) {}

    void WriteNull() override { writer_.Null(); }
    void WriteBool(bool value) override { writer_.Bool(value); }
    // Values that fit 32 bits take the writer's shorter conversion; the text is the same.
    void WriteSigned(std::int64_t value) override {
        if (value >= INT32_MIN && value <= INT32_MAX) {
            writer_.Int(static_cast<int>(value));
            return;
        }
        writer_.Int64(value);
    }
    void WriteUnsigned(std::uint64_t value) override {
        if (value <= UINT32_MAX) {
            writer_.Uint(static_cast<unsigned>(value));
            return;
        }
        writer_.Uint64(value);
    }
    void WriteDouble(double value) override {
        if (!std::isfinite(value)) {
            writer_.Null();  // JSON has no NaN or infinity; the writer would emit nothing
            return;
        }
        writer_.Double(value);
    }
    // Kept out of line: inlined into the walk, the writer's escaping loop runs short of
    // registers on 32-bit builds and goes through memory for every character.
    [[gnu::noinline]] void WriteString(std::string_view text) override {
        writer_.String(text.data(), TextLength(text.size()));
    }
    void WriteBlob(std::span<const std::uint8_t> bytes) override {
        scratch_.clear();
        AppendBase64(bytes, scratch_);
        writer_.String(scratch_.data(), TextLength(scratch_.size()));
    }
    void WriteEnum(BindingEnumPair pair) override {
        const std::string* name = registry_ == nullptr
                                      ? nullptr
                                      : registry_->FindEnumeratorName(static_cast<std::uint32_t>(pair.typeKey), pair.value);
        if (name == nullptr) {
            writer_.Int64(pair.value);
            return;
        }
        WriteString(*name);
    }
    void StartCollection(std::size_t) override { writer_.StartArray(); }
    void StartElement(std::size_t) override {}
    void EndElement(std::size_t) override {}
    void EndCollection() override { writer_.EndArray(); }
    void StartStructure(std::size_t) override { writer_.StartObject(); }
    [[gnu::noinline]] void FieldName(const std::string& name) override { writer_.Key(name.data(), TextLength(name.size())); }
    void EndField(const std::string&) override {}
    void EndStructure() override { writer_.EndObject(); }

private:
    Writer& writer_;
    const EnumNames* registry_;
    std::string scratch_;  // Base64 text of the current blob
};

// The first capacity of the output buffer. A whole tree prints to a fraction of the memory
// its arena holds (a name or number takes fewer bytes as text than the node that holds it),
// so a root starts with a quarter of that instead of growing from a few hundred bytes
// through a dozen reallocations. A value inside a tree starts small: its arena holds the
// whole tree.
[[nodiscard]] std::size_t FirstCapacity(const BindingProperty& value) noexcept {
    constexpr std::size_t kSmall = 256;
    const PropertyArena* arena = value.Arena();
    if (!value.OwnsArena() || arena == nullptr) {
        return kSmall;
    }
    return std::max(kSmall, arena->PagesHeld() * detail::SlabClass::kPageSize / 4);
}

[[nodiscard]] std::string WriteCompact(const BindingProperty& value, const EnumNames* registry) {
    rapidjson::StringBuffer buffer(nullptr, FirstCapacity(value));
    CompactWriter writer(buffer);
    JsonSink<CompactWriter> sink(writer, registry);
    WalkBindingWith(value, sink);
    return std::string(buffer.GetString(), buffer.GetSize());
}

[[nodiscard]] std::string WriteIndented(const BindingProperty& value, const EnumNames* registry) {
    rapidjson::StringBuffer buffer(nullptr, FirstCapacity(value));
    IndentedWriter writer(buffer);
    writer.SetIndent(' ', 4);
    JsonSink<IndentedWriter> sink(writer, registry);
    WalkBindingWith(value, sink);
    return std::string(buffer.GetString(), buffer.GetSize());
}

[[nodiscard]] std::string ReplaceLineFeeds(std::string_view text, std::string_view lineBreak) {
    std::string result;
    result.reserve(text.size() + text.size() / 8 * lineBreak.size());
    std::size_t from = 0;
    for (std::size_t at = text.find('\n'); at != std::string_view::npos; at = text.find('\n', from)) {
        result.append(text.substr(from, at - from));
        result.append(lineBreak);
        from = at + 1;
    }
    result.append(text.substr(from));
    return result;
}

}  // namespace

std::string BindingToJson(const BindingProperty& value, const EnumNames* registry, const char* lineBreak) {
    if (value.IsEmpty()) {
        return {};
    }
    if (lineBreak == nullptr || *lineBreak == '\0') {
        return WriteCompact(value, registry);
    }
    std::string text = WriteIndented(value, registry);
    if (std::strcmp(lineBreak, "\n") == 0) {
        return text;
    }
    return ReplaceLineFeeds(text, lineBreak);
}

}  // namespace vclient
