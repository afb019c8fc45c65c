#include "codec/json_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include <rapidjson/prettywriter.h>
#include <rapidjson/writer.h>

#include "value/property_arena.h"
#include "codec/base64.h"
#include "codec/binding_walk.h"

namespace vclient {

namespace {

// The output stream of the writers: the std::string that BindingToJson returns, written
// in place, so the text is not copied out of a separate buffer at the end (for a large
// tree that copy and the fresh pages it touches cost more than a tenth of the write).
// The string's size is the room; the written part ends at the cursor.
class TextStream {
public:
    using Ch = char;

    explicit TextStream(std::size_t capacity) : text_(capacity, '\0') {
        cursor_ = text_.data();
        end_ = cursor_ + text_.size();
    }

    void Put(char c) {
        Reserve(1);
        *cursor_++ = c;
    }
    void PutUnsafe(char c) noexcept { *cursor_++ = c; }
    void Reserve(std::size_t count) {
        if (static_cast<std::size_t>(end_ - cursor_) < count) {
            Grow(count);
        }
    }
    // Room for `count` characters at once, of which Pop gives back what went unused.
    [[nodiscard]] char* Push(std::size_t count) {
        Reserve(count);
        char* at = cursor_;
        cursor_ += count;
        return at;
    }
    void Pop(std::size_t count) noexcept { cursor_ -= count; }
    void Flush() noexcept {}

    // The text written. Room left over after growing is about the size of the text at most; a
    // first estimate that was more than twice too large is given back.
    [[nodiscard]] std::string Take() && {
        const std::size_t written = Written();
        text_.resize(written);
        if (text_.capacity() / 2 > written) {
            text_.shrink_to_fit();
        }
        return std::move(text_);
    }

private:
    [[nodiscard]] std::size_t Written() const noexcept { return static_cast<std::size_t>(cursor_ - text_.data()); }

    void Grow(std::size_t count) {
        const std::size_t written = Written();
        text_.resize(std::max(text_.size() * 2, written + count));
        cursor_ = text_.data() + written;
        end_ = text_.data() + text_.size();
    }

    std::string text_;
    char* cursor_;
    char* end_;
};

// The writers reach the stream through these two (by argument-dependent lookup).
void PutReserve(TextStream& stream, std::size_t count) {
    stream.Reserve(count);
}
void PutUnsafe(TextStream& stream, char c) noexcept {
    stream.PutUnsafe(c);
}

// Converts a number straight into the stream: `convert` writes at most `kRoom` characters
// and returns their end.
template <std::size_t kRoom, typename Convert>
bool WriteConverted(TextStream& stream, Convert convert) {
    char* buffer = stream.Push(kRoom);
    const char* end = convert(buffer);
    stream.Pop(kRoom - static_cast<std::size_t>(end - buffer));
    return true;
}

}  // namespace
}  // namespace vclient

// Numbers are converted straight into the stream, as the writer does for its own buffer.
template <>
inline bool rapidjson::Writer<vclient::TextStream>::WriteInt(int i) {
    return vclient::WriteConverted<11>(*os_, [i](char* buffer) { return internal::i32toa(i, buffer); });
}
template <>
inline bool rapidjson::Writer<vclient::TextStream>::WriteUint(unsigned u) {
    return vclient::WriteConverted<10>(*os_, [u](char* buffer) { return internal::u32toa(u, buffer); });
}
template <>
inline bool rapidjson::Writer<vclient::TextStream>::WriteInt64(std::int64_t i) {
    return vclient::WriteConverted<21>(*os_, [i](char* buffer) { return internal::i64toa(i, buffer); });
}
template <>
inline bool rapidjson::Writer<vclient::TextStream>::WriteUint64(std::uint64_t u) {
    return vclient::WriteConverted<20>(*os_, [u](char* buffer) { return internal::u64toa(u, buffer); });
}
template <>
inline bool rapidjson::Writer<vclient::TextStream>::WriteDouble(double d) {
    const int places = maxDecimalPlaces_;
    return vclient::WriteConverted<25>(*os_, [d, places](char* buffer) { return internal::dtoa(d, buffer, places); });
}

namespace vclient {
namespace {

using CompactWriter = rapidjson::Writer<TextStream>;
using IndentedWriter = rapidjson::PrettyWriter<TextStream>;

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

// The first capacity of the output text. A whole tree prints to about 16 bytes for every
// field node its arena's pages have room for (a name, a short value and punctuation; texts
// longer than a node are on the general heap), on 32-bit and 64-bit builds alike, so a
// large root starts close to its final size instead of growing through copies. A tree of
// a few pages starts small: every size class in use holds a page of its own, so a few
// pages tell little about the size (an everyday event of 300 bytes holds three). A value
// inside a tree starts small too: its arena holds the whole tree.
[[nodiscard]] std::size_t FirstCapacity(const BindingProperty& value) noexcept {
    constexpr std::size_t kSmall = 256;
    constexpr std::size_t kFewPages = 4;
    constexpr std::size_t kTextPerNode = 16;
    constexpr std::size_t kNodesPerPage = detail::SlabClass::kPageSize / sizeof(detail::FieldNode);
    const PropertyArena* arena = value.Arena();
    if (!value.OwnsArena() || arena == nullptr || arena->PagesHeld() < kFewPages) {
        return kSmall;
    }
    return arena->PagesHeld() * kNodesPerPage * kTextPerNode;
}

[[nodiscard]] std::string WriteCompact(const BindingProperty& value, const EnumNames* registry) {
    TextStream stream(FirstCapacity(value));
    CompactWriter writer(stream);
    JsonSink<CompactWriter> sink(writer, registry);
    WalkBindingWith(value, sink);
    return std::move(stream).Take();
}

[[nodiscard]] std::string WriteIndented(const BindingProperty& value, const EnumNames* registry) {
    TextStream stream(FirstCapacity(value));
    IndentedWriter writer(stream);
    writer.SetIndent(' ', 4);
    JsonSink<IndentedWriter> sink(writer, registry);
    WalkBindingWith(value, sink);
    return std::move(stream).Take();
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
