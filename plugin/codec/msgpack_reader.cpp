#include "codec/msgpack_reader.h"

#include <algorithm>
#include <bit>
#include <new>
#include <string>
#include <vector>

#include "value/nesting_limit.h"
#include "value/structure_filler.h"
#include "codec/msgpack_format.h"

namespace vclient {
namespace {

// One open container: its value, how many items it announced (twice the pairs for a
// map) and how many were read.
struct Frame {
    BindingProperty* target;
    std::uint64_t announced;
    std::uint64_t read;
    std::size_t start;  // offset of the container's format byte
    bool isMap;
};

std::string PositionText(std::size_t position) {
    return std::to_string(position);
}

std::string InvalidDataAt(std::size_t position, std::string_view detail = {}) {
    std::string text = "Invalid MessagePack data at position " + PositionText(position) + ".";
    if (!detail.empty()) {
        text += ' ';
        text += detail;
    }
    return text;
}

std::string TruncatedInteger(std::size_t width, std::size_t position) {
    return "Invalid MessagePack data. " + std::to_string(width * 8) + "-bit integer value at position " +
           PositionText(position) + " is truncated.";
}

std::string TruncatedBytes(bool isString, std::uint64_t length, std::size_t position) {
    if (isString) {
        return "Invalid MessagePack data. String of size " + std::to_string(length) + " at position " +
               PositionText(position) + " is truncated.";
    }
    return "Invalid MessagePack data. Raw bytes of size " + std::to_string(length) + " at position " +
           PositionText(position) + " are truncated.";
}

// A container that the input ends inside: it announced more items than the input holds.
std::string TruncatedContainer(const Frame& frame) {
    const bool isMap = frame.isMap;
    return "Invalid MessagePack data. " + std::string(isMap ? "Map of " : "Array of ") +
           std::to_string(isMap ? frame.announced / 2 : frame.announced) + (isMap ? " pairs" : " items") +
           " at position " + PositionText(frame.start) + " is truncated.";
}

constexpr std::string_view kKeysMustBeStrings = "Map keys must be strings.";

bool IsStringClass(MsgPackClass kind) noexcept {
    return kind == MsgPackClass::FixStr || kind == MsgPackClass::Str8 || kind == MsgPackClass::Str16 ||
           kind == MsgPackClass::Str32;
}

// Reads iteratively: `frames_` holds the open containers, innermost last, and each turn
// reads one value into the target the innermost container chose (or the root). Maps fill
// their Structures through a StructureFiller, as the JSON reader does: arrays of records
// of one shape link their fields by a plan learnt once.
class MsgPackReader {
public:
    MsgPackReader(const std::uint8_t* bytes, std::size_t size, BindingResult& result)
        : bytes_(bytes), size_(size), reserveBudget_(size), result_(result) {}

    void Run();
    // Links what the structure filler still holds; call before the tree is handed out.
    void Finish() noexcept { structures_.Finish(); }
    [[nodiscard]] std::size_t Position() const noexcept { return position_; }

private:
    [[nodiscard]] bool Failed() const noexcept { return !result_.Succeeded(); }
    // Failing clears the tree: the structure filler lets go of it first.
    void Fail(std::string_view message) {
        structures_.Finish();
        result_.Fail(message);
    }
    [[nodiscard]] std::size_t Remaining() const noexcept { return size_ - position_; }

    // Reads the value at the read position into `target`: a scalar whole, a container
    // opened (pushed, with its announced count).
    void ReadValue(BindingProperty& target);
    // The target of the next item: closes the containers that are complete and returns
    // null when none is left open (the root value is read), or when reading failed.
    BindingProperty* NextTarget();
    void ReadString(MsgPackClass kind, std::uint8_t formatByte, BindingProperty& target);
    void ReadBlob(std::size_t lengthWidth, BindingProperty& target);
    void OpenCollection(BindingProperty& target, std::uint64_t count, std::size_t start);
    void OpenStructure(BindingProperty& target, std::uint64_t pairs, std::size_t start);
    [[nodiscard]] bool CheckNesting();

    // Big-endian unsigned integer of 1, 2, 4 or 8 bytes; fails the result when truncated.
    bool ReadInteger(std::size_t width, std::uint64_t& value) {
        if (Remaining() < width) {
            Fail(TruncatedInteger(width, position_));
            return false;
        }
        const std::uint8_t* at = bytes_ + position_;
        switch (width) {
            case 1:
                value = at[0];
                break;
            case 2:
                value = static_cast<std::uint64_t>(at[0]) << 8 | at[1];
                break;
            case 4:
                value = static_cast<std::uint64_t>(at[0]) << 24 | static_cast<std::uint64_t>(at[1]) << 16 |
                        static_cast<std::uint64_t>(at[2]) << 8 | at[3];
                break;
            default:
                value = 0;
                for (std::size_t i = 0; i < 8; ++i) {
                    value = (value << 8) | at[i];
                }
                break;
        }
        position_ += width;
        return true;
    }
    bool ReadCount(MsgPackClass kind, std::uint8_t formatByte, std::uint64_t& count);
    bool ReadSpan(bool isString, std::uint64_t length, std::string_view& bytes) {
        if (Remaining() < length) {
            Fail(TruncatedBytes(isString, length, position_));
            return false;
        }
        const auto count = static_cast<std::size_t>(length);
        bytes = std::string_view(reinterpret_cast<const char*>(bytes_ + position_), count);
        position_ += count;
        return true;
    }
    // First capacity of a collection that outgrows its reservation.
    static constexpr std::size_t kFirstElements = 4;
    void SetScalar(BindingProperty& target, MsgPackClass kind, std::uint8_t formatByte);

    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t position_ = 0;
    // Elements that announced counts may still reserve in total: never more than the
    // input has bytes, so nested announcements cannot multiply the memory they claim.
    std::size_t reserveBudget_;
    BindingResult& result_;
    std::vector<Frame> frames_;
    StructureFiller structures_;
};

void MsgPackReader::Run() {
    if (size_ == 0) {
        return;  // nothing to read: an empty input holds Empty
    }
    frames_.reserve(16);
    BindingProperty* target = &result_.Value();
    do {
        ReadValue(*target);
        target = NextTarget();
    } while (target != nullptr);
}

BindingProperty* MsgPackReader::NextTarget() {
    while (!Failed() && !frames_.empty()) {
        Frame& top = frames_.back();
        if (top.read == top.announced) {
            if (top.isMap) {
                structures_.Close();
            }
            frames_.pop_back();
            continue;
        }
        if (position_ == size_) {
            // The input ends inside a container: the innermost open one is truncated.
            Fail(TruncatedContainer(top));
            return nullptr;
        }
        if (!top.isMap) {
            // Elements arrive in order: the next one is appended (room for the announced
            // count is mostly reserved already).
            BindingProperty* element = top.target->TryAppend(kFirstElements);
            if (element == nullptr) {
                Fail(InvalidDataAt(position_, "A collection holds at most 268435455 elements."));
                return nullptr;
            }
            ++top.read;
            return element;
        }
        // A key, then its value. Keys are mostly short: a fixstr needs no count bytes.
        const std::uint8_t formatByte = bytes_[position_++];
        std::string_view key;
        if ((formatByte & 0xE0u) == 0xA0u) {
            if (!ReadSpan(true, formatByte & 0x1Fu, key)) {
                return nullptr;
            }
        } else {
            const MsgPackClass kind = ClassifyMsgPackByte(formatByte);
            std::uint64_t length = 0;
            if (!IsStringClass(kind)) {
                Fail(InvalidDataAt(position_, kKeysMustBeStrings));
                return nullptr;
            }
            if (!ReadCount(kind, formatByte, length) || !ReadSpan(true, length, key)) {
                return nullptr;
            }
        }
        top.read += 2;
        if (position_ == size_) {
            Fail(TruncatedContainer(top));
            return nullptr;
        }
        // A repeated key replaces the earlier value whole rather than merging into it.
        BindingProperty& field = structures_.Field(key);
        field.Clear();
        return &field;
    }
    return nullptr;
}

void MsgPackReader::ReadValue(BindingProperty& target) {
    const std::uint8_t formatByte = bytes_[position_++];
    // The formats that pack their value or length into the format byte come first.
    if (formatByte <= 0x7Fu || formatByte >= 0xE0u) {
        target.SetSigned(static_cast<std::int8_t>(formatByte));
        return;
    }
    if ((formatByte & 0xE0u) == 0xA0u) {
        std::string_view text;
        if (ReadSpan(true, formatByte & 0x1Fu, text)) {
            target.SetString(text);
        }
        return;
    }
    const MsgPackClass kind = ClassifyMsgPackByte(formatByte);
    const std::size_t start = position_ - 1;
    std::uint64_t count = 0;
    switch (kind) {
        case MsgPackClass::FixArray:
        case MsgPackClass::Array16:
        case MsgPackClass::Array32:
            if (CheckNesting() && ReadCount(kind, formatByte, count)) {
                OpenCollection(target, count, start);
            }
            return;
        case MsgPackClass::FixMap:
        case MsgPackClass::Map16:
        case MsgPackClass::Map32:
            if (CheckNesting() && ReadCount(kind, formatByte, count)) {
                OpenStructure(target, count, start);
            }
            return;
        case MsgPackClass::FixStr:
        case MsgPackClass::Str8:
        case MsgPackClass::Str16:
        case MsgPackClass::Str32:
            ReadString(kind, formatByte, target);
            return;
        case MsgPackClass::Bin8:
            ReadBlob(1, target);
            return;
        case MsgPackClass::Bin16:
            ReadBlob(2, target);
            return;
        case MsgPackClass::Bin32:
            ReadBlob(4, target);
            return;
        default:
            SetScalar(target, kind, formatByte);
            return;
    }
}

void MsgPackReader::SetScalar(BindingProperty& target, MsgPackClass kind, std::uint8_t formatByte) {
    std::uint64_t bits = 0;
    switch (kind) {
        case MsgPackClass::FixInt:
            target.SetSigned(static_cast<std::int8_t>(formatByte));
            return;
        case MsgPackClass::Nil:
            return;
        case MsgPackClass::False:
        case MsgPackClass::True:
            target.SetBool(kind == MsgPackClass::True);
            return;
        case MsgPackClass::Float32:
            if (ReadInteger(4, bits)) {
                target.SetFloat(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits))));
            }
            return;
        case MsgPackClass::Float64:
            if (ReadInteger(8, bits)) {
                target.SetFloat(std::bit_cast<double>(bits));
            }
            return;
        case MsgPackClass::Uint8:
        case MsgPackClass::Uint16:
        case MsgPackClass::Uint32:
        case MsgPackClass::Uint64:
            if (ReadInteger(std::size_t{1} << (static_cast<int>(kind) - static_cast<int>(MsgPackClass::Uint8)), bits)) {
                target.SetUnsigned(bits);
            }
            return;
        case MsgPackClass::Int8:
            if (ReadInteger(1, bits)) {
                target.SetSigned(static_cast<std::int8_t>(bits));
            }
            return;
        case MsgPackClass::Int16:
            if (ReadInteger(2, bits)) {
                target.SetSigned(static_cast<std::int16_t>(bits));
            }
            return;
        case MsgPackClass::Int32:
            if (ReadInteger(4, bits)) {
                target.SetSigned(static_cast<std::int32_t>(bits));
            }
            return;
        case MsgPackClass::Int64:
            if (ReadInteger(8, bits)) {
                target.SetSigned(static_cast<std::int64_t>(bits));
            }
            return;
        default:  // 0xC1 and the extension types
            Fail(InvalidDataAt(position_));
            return;
    }
}

void MsgPackReader::ReadString(MsgPackClass kind, std::uint8_t formatByte, BindingProperty& target) {
    std::uint64_t length = 0;
    std::string_view text;
    if (ReadCount(kind, formatByte, length) && ReadSpan(true, length, text)) {
        target.SetString(text);
    }
}

void MsgPackReader::ReadBlob(std::size_t lengthWidth, BindingProperty& target) {
    std::uint64_t length = 0;
    std::string_view bytes;
    if (ReadInteger(lengthWidth, length) && ReadSpan(false, length, bytes)) {
        target.SetBlob(BindingBlob(bytes.begin(), bytes.end()));
    }
}

// The frames are the containers around the one being opened: it would be one level more.
bool MsgPackReader::CheckNesting() {
    if (frames_.size() < kMaxNestingDepth) {
        return true;
    }
    Fail(InvalidDataAt(position_, "Containers are nested deeper than " +
                                              std::to_string(kMaxNestingDepth) + " levels."));
    return false;
}

void MsgPackReader::OpenCollection(BindingProperty& target, std::uint64_t count, std::size_t start) {
    target.EnsureCollection();
    // Every element takes at least one byte, so an announcement larger than the rest
    // of the input reserves only what the input could still hold.
    const std::size_t reserve = static_cast<std::size_t>(std::min<std::uint64_t>(
        {count, Remaining(), reserveBudget_, BindingProperty::kMaxCollectionSize}));
    reserveBudget_ -= reserve;
    static_cast<void>(target.Reserve(reserve));  // cannot fail: below the limit
    frames_.push_back(Frame{&target, count, 0, start, false});
}

void MsgPackReader::OpenStructure(BindingProperty& target, std::uint64_t pairs, std::size_t start) {
    structures_.Open(target, frames_.size());
    frames_.push_back(Frame{&target, pairs * 2, 0, start, true});  // at most 2^33, no overflow in 64 bits
}

// The count or length that a container or string format announces: packed into the
// format byte for the fix formats, else a big-endian number after it.
bool MsgPackReader::ReadCount(MsgPackClass kind, std::uint8_t formatByte, std::uint64_t& count) {
    switch (kind) {
        case MsgPackClass::FixMap:
        case MsgPackClass::FixArray:
            count = formatByte & 0x0Fu;
            return true;
        case MsgPackClass::FixStr:
            count = formatByte & 0x1Fu;
            return true;
        case MsgPackClass::Str8:
            return ReadInteger(1, count);
        case MsgPackClass::Str16:
        case MsgPackClass::Array16:
        case MsgPackClass::Map16:
            return ReadInteger(2, count);
        default:  // Str32, Array32, Map32
            return ReadInteger(4, count);
    }
}

}  // namespace

MsgPackReadResult MsgPackToBinding(const std::uint8_t* bytes, std::size_t size) {
    MsgPackReadResult read;
    if (bytes == nullptr) {
        size = 0;
    }
    MsgPackReader reader(bytes, size, read.result);
    try {
        reader.Run();
        reader.Finish();
    } catch (const std::bad_alloc&) {
        reader.Finish();
        read.result.Fail("Not enough memory to read the MessagePack value.");
    }
    read.consumed = reader.Position();
    return read;
}

MsgPackReadResult MsgPackToBinding(std::string_view bytes) {
    return MsgPackToBinding(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace vclient
