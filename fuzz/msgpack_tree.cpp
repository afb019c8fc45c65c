// MessagePack bytes -> tree, against a small recursive reading of the same bytes that
// follows the reader's documented contract: the kinds of each format byte, string keys
// only, a repeated key keeping its last value, nesting of at most kMaxNestingDepth
// containers, a container the input ends inside refused, the error texts with their
// byte positions, and the bytes consumed.
// The tree must also write as JSON that reads back (NaN and infinite floats included).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "codec/json_reader.h"
#include "codec/json_writer.h"
#include "codec/msgpack_reader.h"
#include "fuzz_support.h"
#include "value/nesting_limit.h"

namespace {

using vclient::BindingProperty;
using qivfuzz::Check;

class Expected {
public:
    Expected(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    // Reads the value at the start; false on an error or when the input ended first.
    bool Read(BindingProperty& root) { return size_ == 0 || Value(root, 1); }

    std::string error;
    std::size_t position = 0;

private:
    bool Fail(std::string text) {
        error = std::move(text);
        return false;
    }
    bool Integer(std::size_t width, std::uint64_t& value) {
        if (size_ - position < width) {
            return Fail("Invalid MessagePack data. " + std::to_string(width * 8) + "-bit integer value at position " +
                        std::to_string(position) + " is truncated.");
        }
        value = 0;
        for (std::size_t i = 0; i < width; ++i) value = value << 8 | bytes_[position++];
        return true;
    }
    bool Span(bool isString, std::uint64_t length, std::string_view& out) {
        if (size_ - position < length) {
            return Fail(isString ? "Invalid MessagePack data. String of size " + std::to_string(length) +
                                       " at position " + std::to_string(position) + " is truncated."
                                 : "Invalid MessagePack data. Raw bytes of size " + std::to_string(length) +
                                       " at position " + std::to_string(position) + " are truncated.");
        }
        out = {reinterpret_cast<const char*>(bytes_ + position), static_cast<std::size_t>(length)};
        position += static_cast<std::size_t>(length);
        return true;
    }
    static bool IsString(std::uint8_t c) { return (c >= 0xA0 && c <= 0xBF) || (c >= 0xD9 && c <= 0xDB); }
    bool StringAfter(std::uint8_t c, std::string_view& text) {
        std::uint64_t length = c & 0x1F;
        if (c >= 0xD9 && !Integer(std::size_t{1} << (c - 0xD9), length)) return false;
        return Span(true, length, text);
    }
    // Whether an item of the open container (`start` its format byte's offset) follows;
    // the input ending first fails the read, naming that container.
    bool More(bool isMap, std::uint64_t count, std::size_t start) {
        if (position < size_) return true;
        return Fail("Invalid MessagePack data. " + std::string(isMap ? "Map of " : "Array of ") +
                    std::to_string(count) + (isMap ? " pairs" : " items") + " at position " + std::to_string(start) +
                    " is truncated.");
    }

    bool Value(BindingProperty& target, std::size_t depth) {
        const std::size_t start = position;
        const std::uint8_t c = bytes_[position++];
        std::uint64_t bits = 0;
        std::string_view text;
        if (c <= 0x7F || c >= 0xE0) {
            target.SetSigned(static_cast<std::int8_t>(c));
            return true;
        }
        const bool isMap = (c >= 0x80 && c <= 0x8F) || c == 0xDE || c == 0xDF;
        const bool isArray = (c >= 0x90 && c <= 0x9F) || c == 0xDC || c == 0xDD;
        if (isMap || isArray) {
            if (depth > vclient::kMaxNestingDepth) {
                return Fail("Invalid MessagePack data at position " + std::to_string(position) +
                            ". Containers are nested deeper than 256 levels.");
            }
            std::uint64_t count = c & 0x0F;
            if (c >= 0xDC && !Integer(c == 0xDC || c == 0xDE ? 2 : 4, count)) return false;
            if (isArray) {
                target.EnsureCollection();
                for (std::uint64_t i = 0; i < count; ++i) {
                    if (!More(false, count, start) || !Value(target.Append(), depth + 1)) return false;
                }
                return true;
            }
            target.EnsureStructure();
            for (std::uint64_t i = 0; i < count; ++i) {
                if (!More(true, count, start)) return false;
                const std::uint8_t k = bytes_[position++];
                if (!IsString(k)) {
                    return Fail("Invalid MessagePack data at position " + std::to_string(position) +
                                ". Map keys must be strings.");
                }
                std::string_view key;
                if (!StringAfter(k, key) || !More(true, count, start)) return false;
                BindingProperty& field = target.Field(key);
                field.Clear();  // a repeated key keeps its last value
                if (!Value(field, depth + 1)) return false;
            }
            return true;
        }
        if (IsString(c)) {
            if (!StringAfter(c, text)) return false;
            target.SetString(text);
            return true;
        }
        switch (c) {
            case 0xC0: return true;
            case 0xC2: target.SetBool(false); return true;
            case 0xC3: target.SetBool(true); return true;
            case 0xC4:
            case 0xC5:
            case 0xC6:
                if (!Integer(std::size_t{1} << (c - 0xC4), bits) || !Span(false, bits, text)) return false;
                target.SetBlob(vclient::BindingBlob(text.begin(), text.end()));
                return true;
            case 0xCA: {
                if (!Integer(4, bits)) return false;
                float single;
                const auto word = static_cast<std::uint32_t>(bits);
                std::memcpy(&single, &word, sizeof single);
                target.SetFloat(static_cast<double>(single));
                return true;
            }
            case 0xCB: {
                if (!Integer(8, bits)) return false;
                double wide;
                std::memcpy(&wide, &bits, sizeof wide);
                target.SetFloat(wide);
                return true;
            }
            case 0xCC:
            case 0xCD:
            case 0xCE:
            case 0xCF:
                if (!Integer(std::size_t{1} << (c - 0xCC), bits)) return false;
                target.SetUnsigned(bits);
                return true;
            case 0xD0:
                if (!Integer(1, bits)) return false;
                target.SetSigned(static_cast<std::int8_t>(bits));
                return true;
            case 0xD1:
                if (!Integer(2, bits)) return false;
                target.SetSigned(static_cast<std::int16_t>(bits));
                return true;
            case 0xD2:
                if (!Integer(4, bits)) return false;
                target.SetSigned(static_cast<std::int32_t>(bits));
                return true;
            case 0xD3:
                if (!Integer(8, bits)) return false;
                target.SetSigned(static_cast<std::int64_t>(bits));
                return true;
            default:  // 0xC1, ext 8/16/32, fixext 1-16
                return Fail("Invalid MessagePack data at position " + std::to_string(position) + ".");
        }
    }

    const std::uint8_t* bytes_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const vclient::MsgPackReadResult ours = vclient::MsgPackToBinding(data, size);
    const std::string input = qivfuzz::Quoted({reinterpret_cast<const char*>(data), size});
    Check(ours.consumed <= size, "consumed within the input", input);

    BindingProperty expectedTree;
    Expected expected(data, size);
    const bool read = expected.Read(expectedTree);
    if (!read) {
        Check(!ours.result.Succeeded(), "a malformed input is refused", input + "\nexpected: " + expected.error);
        Check(ours.result.ErrorMessage() == expected.error, "same error text",
              input + "\nreader: " + ours.result.ErrorMessage() + "\nexpected: " + expected.error);
        return 0;
    }
    Check(ours.result.Succeeded(), "a well-formed input is read", input + "\n" + ours.result.ErrorMessage());
    Check(ours.consumed == expected.position, "bytes consumed",
          input + "\nreader " + std::to_string(ours.consumed) + ", expected " + std::to_string(expected.position));
    const std::string difference = qivfuzz::Difference(expectedTree, ours.result.Value());
    Check(difference.empty(), "the reader's tree", input + "\n" + difference);

    // Whatever the tree holds (blobs, NaN), its JSON text must be JSON.
    const std::string json = vclient::BindingToJson(ours.result.Value());
    const vclient::BindingResult again = vclient::JsonToBinding(json);
    Check(again.Succeeded(), "the tree writes as JSON", input + "\n" + qivfuzz::Quoted(json) + "\n" + again.ErrorMessage());
    return 0;
}
