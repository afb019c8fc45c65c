#include "codec/json_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include "value/nesting_limit.h"
#include "value/structure_filler.h"
#include "codec/json_number_guard.h"

namespace vclient {

namespace {

using rapidjson::SizeType;

// The parser's working stack (texts copied out of the document on the careful path) goes
// through the library's operator new like every other allocation, so that the memory
// statistics count it.
struct StackAllocator {
    static constexpr bool kNeedFree = true;
    void* Malloc(std::size_t size) { return size == 0 ? nullptr : ::operator new(size); }
    void* Realloc(void* block, std::size_t oldSize, std::size_t newSize) {
        if (newSize == 0) {
            Free(block);
            return nullptr;
        }
        void* grown = ::operator new(newSize);
        if (block != nullptr) {
            std::memcpy(grown, block, std::min(oldSize, newSize));
            Free(block);
        }
        return grown;
    }
    static void Free(void* block) noexcept { ::operator delete(block); }
};
using Reader = rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, StackAllocator>;

// Names and values are mostly a few bytes long, where a plain loop beats a library call.
[[nodiscard]] std::string_view UpToNul(const char* text, std::size_t length) noexcept {
    std::size_t size = 0;
    while (size < length && text[size] != '\0') {
        ++size;
    }
    return {text, size};
}

// The same for a whole document, where the library's vectorised search pays off.
[[nodiscard]] std::string_view DocumentUpToNul(const char* text, std::size_t length) noexcept {
    const void* nul = std::memchr(text, '\0', length);
    return {text, nul == nullptr ? length : static_cast<std::size_t>(static_cast<const char*>(nul) - text)};
}

// The reader's handler: builds the tree as the events arrive. `target_` is the value the
// next event fills (the root, or the field named by the last key); `open_` holds the
// containers whose closing bracket or brace is still to come, innermost last. Only
// containers are on the stack and a scalar always lands in a child of the innermost one,
// so replacing a value (duplicate member) never touches an open container.
class TreeBuilder {
public:
    using Ch = char;

    // `mayHoldNul`: whether the document has a "\u0000" escape, the only way a NUL gets
    // into a string (the document itself ends at its first NUL byte).
    TreeBuilder(BindingProperty& root, bool mayHoldNul) : target_(&root), mayHoldNul_(mayHoldNul) {
        open_.reserve(32);
    }

    // Links what the structure filler still holds; call before the tree is failed or handed out.
    void Finish() noexcept { structures_.Finish(); }

    // Why the builder stopped the parse, if it did: the parser reports every such stop as
    // a handler error, which JsonToBinding turns into the reason itself.
    enum class Refusal { None, NumberTooBig, TooDeep, TooManyElements };
    [[nodiscard]] Refusal Refused() const noexcept { return refusal_; }

    bool Null() { return Fill([](BindingProperty& value) { value.Clear(); }); }
    bool Bool(bool b) { return Fill([b](BindingProperty& value) { value.SetBool(b); }); }
    bool Int(int i) { return Int64(i); }
    bool Uint(unsigned u) { return Uint64(u); }
    bool Int64(std::int64_t i) { return Fill([i](BindingProperty& value) { value.SetSigned(i); }); }
    bool Uint64(std::uint64_t u) { return Fill([u](BindingProperty& value) { value.SetUnsigned(u); }); }
    bool Double(double d) {
        if (!std::isfinite(d)) {
            return Refuse(Refusal::NumberTooBig);
        }
        return Fill([d](BindingProperty& value) { value.SetFloat(d); });
    }
    // Numbers arrive as text only on the careful path (see json_number_guard.h).
    bool RawNumber(const char* text, SizeType length, bool) {
        if (IsHugeNegativeExponent({text, length})) {
            return Double(text[0] == '-' ? -0.0 : 0.0);
        }
        Reader reader;
        rapidjson::StringStream stream(text);
        return !reader.Parse<rapidjson::kParseDefaultFlags>(stream, *this).IsError();
    }
    bool String(const char* text, SizeType length, bool) {
        const std::string_view cut = Cut(text, length);
        return Fill([cut](BindingProperty& value) { value.SetString(cut); });
    }
    bool StartObject() { return Open(false); }
    bool Key(const char* text, SizeType length, bool) {
        target_ = &structures_.Field(Cut(text, length));
        return true;
    }
    bool EndObject(SizeType) {
        structures_.Close();
        return Close();
    }
    bool StartArray() { return Open(true); }
    bool EndArray(SizeType) { return Close(); }

private:
    // A string of the document as the tree keeps it: up to its first NUL.
    [[nodiscard]] std::string_view Cut(const char* text, SizeType length) const noexcept {
        return mayHoldNul_ ? UpToNul(text, length) : std::string_view(text, length);
    }

    // The value the next event fills: a new element inside a Collection, else the target.
    // Null past the collection limit, with the refusal recorded.
    [[nodiscard]] BindingProperty* NextTarget() {
        if (open_.empty() || open_.back().firstCapacity == 0) {
            return target_;
        }
        BindingProperty* element = open_.back().value->TryAppend(open_.back().firstCapacity);
        if (element == nullptr) {
            Refuse(Refusal::TooManyElements);
        }
        return element;
    }

    bool Refuse(Refusal why) noexcept {
        refusal_ = why;
        return false;
    }

    template <typename Setter>
    bool Fill(Setter&& set) {
        BindingProperty* value = NextTarget();
        if (value == nullptr) {
            return false;
        }
        set(*value);
        return true;
    }

    bool Open(bool collection) {
        if (open_.size() >= kMaxNestingDepth) {
            return Refuse(Refusal::TooDeep);
        }
        BindingProperty* value = NextTarget();
        if (value == nullptr) {
            return false;
        }
        const std::size_t depth = open_.size();
        if (collection) {
            OpenArray(*value, depth);
        } else {
            structures_.Open(*value, depth);
            open_.push_back({value, 0, 0});
        }
        return true;
    }

    // An array gets room at once for as many elements as the last array of its member name
    // held at its depth (a player's items, a player's timeline: arrays of records repeat
    // their sizes), else the last array of its depth, within bounds.
    void OpenArray(BindingProperty& value, std::size_t depth) {
        if (depth >= arraySizes_.size()) {
            arraySizes_.resize(depth + 1);
        }
        ArraySizes& sizes = arraySizes_[depth];
        // A member's value when the innermost open container is an object.
        const detail::StringEntry* name = open_.empty() || open_.back().firstCapacity != 0 ? nullptr : structures_.LastName();
        std::uint32_t room = sizes.last;
        std::uint32_t slot = ArraySizes::kNoName;
        if (name != nullptr) {
            for (slot = 0; slot < ArraySizes::kNames && sizes.names[slot] != name; ++slot) {
            }
            if (slot < ArraySizes::kNames) {
                room = sizes.sizes[slot];
            } else {
                slot = sizes.next;
                sizes.next = (sizes.next + 1) % ArraySizes::kNames;
                sizes.names[slot] = name;
                sizes.sizes[slot] = room;
            }
        }
        open_.push_back({&value.EnsureCollection(), std::clamp(room, kFirstElements, kMostFirstElements), slot});
    }

    bool Close() {
        const Frame closed = open_.back();
        open_.pop_back();
        if (closed.firstCapacity != 0) {
            ArraySizes& sizes = arraySizes_[open_.size()];
            sizes.last = static_cast<std::uint32_t>(std::min(closed.value->Size(), std::size_t{kMostFirstElements}));
            if (closed.nameSlot != ArraySizes::kNoName) {
                sizes.sizes[closed.nameSlot] = sizes.last;
            }
        }
        return true;
    }

    // An open container: its value and, for a Collection, the capacity its buffer starts
    // with (0 for a Structure) and its slot in the sizes of its depth.
    struct Frame {
        BindingProperty* value;
        std::uint32_t firstCapacity;
        std::uint32_t nameSlot;
    };

    // The sizes of the arrays last closed at one depth: the last one's, and those of the
    // last few member names arrays were read under. Names are only compared.
    struct ArraySizes {
        static constexpr std::uint32_t kNames = 4;
        static constexpr std::uint32_t kNoName = kNames;
        const detail::StringEntry* names[kNames] = {};
        std::uint32_t sizes[kNames] = {};
        std::uint32_t next = 0;  // the slot a new name takes
        std::uint32_t last = kFirstElements;
    };

    // First capacities of arrays: at least room for a few (most arrays hold more than one
    // element), at most as many as wasting the room of a short array after a long one
    // stays cheap.
    static constexpr std::uint32_t kFirstElements = 4;
    static constexpr std::uint32_t kMostFirstElements = 64;

    BindingProperty* target_;
    bool mayHoldNul_;
    std::vector<Frame> open_;
    std::vector<ArraySizes> arraySizes_;  // by depth
    StructureFiller structures_;  // fills the Structures of open_; arrays of records go fast
    Refusal refusal_ = Refusal::None;
};

// The reason of a failed parse: the parser's own, or the builder's when it stopped the parse.
[[nodiscard]] std::string Reason(rapidjson::ParseErrorCode code, TreeBuilder::Refusal refusal) {
    using Refusal = TreeBuilder::Refusal;
    if (code == rapidjson::kParseErrorTermination) {
        switch (refusal) {
            case Refusal::NumberTooBig:
                return rapidjson::GetParseError_En(rapidjson::kParseErrorNumberTooBig);
            case Refusal::TooDeep:
                return "Arrays and objects nested deeper than " + std::to_string(kMaxNestingDepth) + " levels.";
            case Refusal::TooManyElements:
                return "Array with more than " + std::to_string(BindingProperty::kMaxCollectionSize) + " elements.";
            case Refusal::None:
                break;
        }
    }
    return rapidjson::GetParseError_En(code);
}

// Documents shorter than this are copied to the stack for the in-place parse.
constexpr std::size_t kLocalCopySize = 2048;

[[nodiscard]] bool IsBlank(char c) noexcept {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// "Error: <reason> at offset <n>.", the parser's form for every failure.
[[nodiscard]] std::string ErrorAt(std::string_view reason, std::size_t offset) {
    std::string message = "Error: ";
    message += reason;
    message += " at offset ";
    message += std::to_string(offset);
    message += '.';
    return message;
}

// What the reader must know about a document before parsing it.
struct TextFacts {
    bool mayHoldNul = false;  // a "\u0000" escape: strings must be cut at a NUL
    bool careful = false;     // numbers must arrive as texts (see json_number_guard.h)
};

// Copies `text` to `copy` piece by piece and looks for what TextFacts records in each
// piece of the text just after copying it, while it is in the cache. A match may run on
// past its piece: it is read from the whole text.
[[nodiscard]] TextFacts CopyAndExamine(std::string_view text, char* copy) noexcept {
    constexpr std::size_t kPiece = 8192;
    constexpr std::string_view kNulEscape = "\\u0000";
    TextFacts facts;
    for (std::size_t from = 0; from < text.size(); from += kPiece) {
        const std::size_t to = std::min(text.size(), from + kPiece);
        std::memcpy(copy + from, text.data() + from, to - from);
        if (!facts.mayHoldNul) {
            // Ends where only escapes starting in this piece fit.
            const std::string_view window = text.substr(0, std::min(text.size(), to + kNulEscape.size() - 1));
            facts.mayHoldNul = window.find(kNulEscape, from) != std::string_view::npos;
        }
        if (!facts.careful) {
            facts.careful = MayHoldHugeNegativeExponent(text, from, to);
        }
    }
    copy[text.size()] = '\0';
    return facts;
}

// Parses the document in `text`, which ends at its first NUL if it holds one. The tree
// interns every text it keeps, so the reader may parse a copy in place: strings are
// unescaped where they stand instead of being copied out first. The checks that read
// the whole text run over each piece of it as it is copied, so the text is read from
// memory once.
[[nodiscard]] BindingResult ParseText(std::string_view text) {
    BindingResult result;
    std::size_t start = 0;
    while (start < text.size() && IsBlank(text[start])) {
        ++start;
    }
    if (start == text.size() || text[start] == '\0') {
        return result;  // an empty document is no error
    }
    if (text.size() >= kRunawayDigitRun) {
        // Only a text this long can hold a runaway number; it must lie before the end.
        text = DocumentUpToNul(text.data(), text.size());
        if (const std::size_t runaway = FindRunawayNumber(text); runaway != std::string_view::npos) {
            result.Fail(ErrorAt(rapidjson::GetParseError_En(rapidjson::kParseErrorNumberTooBig), runaway));
            return result;
        }
    }
    // The copy the in-place parse works on: on the stack for everyday documents. Whatever
    // follows a NUL is copied and looked at too, but never parsed.
    char local[kLocalCopySize];
    std::unique_ptr<char[]> heapCopy;
    char* copy = local;
    if (text.size() >= kLocalCopySize) {
        heapCopy = std::make_unique_for_overwrite<char[]>(text.size() + 1);
        copy = heapCopy.get();
    }
    const TextFacts facts = CopyAndExamine(text, copy);
    TreeBuilder builder(result.Value(), facts.mayHoldNul);
    Reader reader;
    rapidjson::ParseResult parsed;
    if (facts.careful) {
        // Numbers reach the builder as texts here, which an in-place parse leaves unterminated.
        rapidjson::StringStream stream(copy);
        parsed = reader.Parse<rapidjson::kParseNumbersAsStringsFlag>(stream, builder);
    } else {
        rapidjson::InsituStringStream stream(copy);
        parsed = reader.Parse<rapidjson::kParseInsituFlag>(stream, builder);
    }
    builder.Finish();
    if (!parsed.IsError()) {
        return result;
    }
    result.Fail(ErrorAt(Reason(parsed.Code(), builder.Refused()), parsed.Offset()));
    return result;
}

}  // namespace

BindingResult JsonToBinding(const char* text) {
    if (text == nullptr) {
        return {};
    }
    return ParseText(text);
}

BindingResult JsonToBinding(const std::string& text) {
    return ParseText(text);
}

BindingResult JsonToBinding(const char* data, std::size_t length) {
    if (data == nullptr) {
        return {};
    }
    return ParseText(std::string_view(data, length));
}

}  // namespace vclient
