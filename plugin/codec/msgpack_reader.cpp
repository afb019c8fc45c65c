#include "codec/msgpack_reader.h"

#include <algorithm>
#include <bit>
#include <new>
#include <string>
#include <vector>

#include "value/nesting_limit.h"
#include "codec/msgpack_format.h"

namespace vclient {
namespace {

// One open node: the value the next item goes into and, once that value is a container,
// how many items it announced (twice the pairs for a map) and how many were read.
struct Frame {
    explicit Frame(BindingProperty* node) noexcept : target(node) {}

    BindingProperty* target;
    std::uint64_t announced = 0;
    std::uint64_t read = 0;
    std::size_t start = 0;        // offset of the container's format byte
    std::string_view pendingKey;  // points into the input, which outlives the read
};

bool IsContainer(const BindingProperty& node) noexcept {
    return node.Kind() == BindingPropertyType::Collection || node.Kind() == BindingPropertyType::Structure;
}

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
    const bool isMap = frame.target->Kind() == BindingPropertyType::Structure;
    return "Invalid MessagePack data. " + std::string(isMap ? "Map of " : "Array of ") +
           std::to_string(isMap ? frame.announced / 2 : frame.announced) + (isMap ? " pairs" : " items") +
           " at position " + PositionText(frame.start) + " is truncated.";
}

constexpr std::string_view kKeysMustBeStrings = "Map keys must be strings.";

bool IsStringClass(MsgPackClass kind) noexcept {
    return kind == MsgPackClass::FixStr || kind == MsgPackClass::Str8 || kind == MsgPackClass::Str16 ||
           kind == MsgPackClass::Str32;
}

class MsgPackReader {
public:
    MsgPackReader(const std::uint8_t* bytes, std::size_t size, BindingResult& result)
        : bytes_(bytes), size_(size), reserveBudget_(size), result_(result) {}

    void Run();
    [[nodiscard]] std::size_t Position() const noexcept { return position_; }

private:
    [[nodiscard]] bool Failed() const noexcept { return !result_.Succeeded(); }
    [[nodiscard]] std::size_t Remaining() const noexcept { return size_ - position_; }

    // Chooses where the next item goes; false when the top container is complete and
    // was popped instead. `isKey` is set when the next item is a map key.
    bool NextTarget(bool& isKey);
    // The input ended: complete containers close, an open one fails the read.
    void FinishAtEnd();
    void ReadKey(MsgPackClass kind, std::uint8_t formatByte);
    void ReadValue(MsgPackClass kind, std::uint8_t formatByte);
    void ReadString(MsgPackClass kind, std::uint8_t formatByte, BindingProperty& target);
    void ReadBlob(std::size_t lengthWidth, BindingProperty& target);
    void OpenCollection(std::uint64_t count, std::size_t start);
    void OpenStructure(std::uint64_t pairs, std::size_t start);
    [[nodiscard]] bool CheckNesting();

    // Big-endian unsigned integer of 1, 2, 4 or 8 bytes; fails the result when truncated.
    bool ReadInteger(std::size_t width, std::uint64_t& value);
    bool ReadCount(MsgPackClass kind, std::uint8_t formatByte, std::uint64_t& count);
    bool ReadSpan(bool isString, std::uint64_t length, std::string_view& bytes);
    void SetScalar(BindingProperty& target, MsgPackClass kind, std::uint8_t formatByte);
    void Pop() { frames_.pop_back(); }

    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t position_ = 0;
    // Elements that announced counts may still reserve in total: never more than the
    // input has bytes, so nested announcements cannot multiply the memory they claim.
    std::size_t reserveBudget_;
    BindingResult& result_;
    std::vector<Frame> frames_;
};

void MsgPackReader::Run() {
    frames_.reserve(16);
    frames_.push_back(Frame{&result_.Value()});
    while (!Failed() && !frames_.empty()) {
        if (position_ == size_) {
            FinishAtEnd();
            return;
        }
        bool isKey = false;
        if (!NextTarget(isKey)) {
            continue;
        }
        if (Failed()) {
            return;
        }
        const std::uint8_t formatByte = bytes_[position_++];
        const MsgPackClass kind = ClassifyMsgPackByte(formatByte);
        if (isKey) {
            ReadKey(kind, formatByte);
        } else {
            ReadValue(kind, formatByte);
        }
    }
}

bool MsgPackReader::NextTarget(bool& isKey) {
    Frame& top = frames_.back();
    const BindingPropertyType kind = top.target->Kind();
    if (kind != BindingPropertyType::Collection && kind != BindingPropertyType::Structure) {
        return true;  // a fresh frame: the value goes into its own target
    }
    if (top.read == top.announced) {
        Pop();
        return false;
    }
    if (kind == BindingPropertyType::Collection) {
        BindingProperty* element = top.target->TryElement(static_cast<std::size_t>(top.read));
        if (element == nullptr) {
            result_.Fail(InvalidDataAt(position_, "A collection holds at most 268435455 elements."));
            return true;
        }
        ++top.read;
        frames_.push_back(Frame{element});
        return true;
    }
    const bool keyTurn = top.read % 2 == 0;
    ++top.read;
    if (keyTurn) {
        isKey = true;
        return true;
    }
    // A repeated key replaces the earlier value whole rather than merging into it.
    BindingProperty& field = top.target->Field(top.pendingKey);
    field.Clear();
    frames_.push_back(Frame{&field});
    return true;
}

void MsgPackReader::FinishAtEnd() {
    if (frames_.size() == 1 && !IsContainer(*frames_.back().target)) {
        return;  // nothing was read: an empty input holds Empty
    }
    while (!frames_.empty()) {
        const Frame& top = frames_.back();
        if (!IsContainer(*top.target)) {
            Pop();  // an item its container counted but the input does not hold
            result_.Fail(TruncatedContainer(frames_.back()));
            return;
        }
        if (top.read < top.announced) {
            result_.Fail(TruncatedContainer(top));
            return;
        }
        Pop();
    }
}

void MsgPackReader::ReadKey(MsgPackClass kind, std::uint8_t formatByte) {
    if (!IsStringClass(kind)) {
        result_.Fail(InvalidDataAt(position_, kKeysMustBeStrings));
        return;
    }
    std::uint64_t length = 0;
    std::string_view text;
    if (!ReadCount(kind, formatByte, length) || !ReadSpan(true, length, text)) {
        return;
    }
    frames_.back().pendingKey = text;
}

void MsgPackReader::ReadValue(MsgPackClass kind, std::uint8_t formatByte) {
    BindingProperty& target = *frames_.back().target;
    const std::size_t start = position_ - 1;
    std::uint64_t count = 0;
    switch (kind) {
        case MsgPackClass::FixArray:
        case MsgPackClass::Array16:
        case MsgPackClass::Array32:
            if (CheckNesting() && ReadCount(kind, formatByte, count)) {
                OpenCollection(count, start);
            }
            return;
        case MsgPackClass::FixMap:
        case MsgPackClass::Map16:
        case MsgPackClass::Map32:
            if (CheckNesting() && ReadCount(kind, formatByte, count)) {
                OpenStructure(count, start);
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
            break;
        case MsgPackClass::Nil:
            break;
        case MsgPackClass::False:
        case MsgPackClass::True:
            target.SetBool(kind == MsgPackClass::True);
            break;
        case MsgPackClass::Float32:
            if (!ReadInteger(4, bits)) {
                return;
            }
            target.SetFloat(static_cast<double>(std::bit_cast<float>(static_cast<std::uint32_t>(bits))));
            break;
        case MsgPackClass::Float64:
            if (!ReadInteger(8, bits)) {
                return;
            }
            target.SetFloat(std::bit_cast<double>(bits));
            break;
        case MsgPackClass::Uint8:
        case MsgPackClass::Uint16:
        case MsgPackClass::Uint32:
        case MsgPackClass::Uint64:
            if (!ReadInteger(std::size_t{1} << (static_cast<int>(kind) - static_cast<int>(MsgPackClass::Uint8)), bits)) {
                return;
            }
            target.SetUnsigned(bits);
            break;
        case MsgPackClass::Int8:
            if (!ReadInteger(1, bits)) {
                return;
            }
            target.SetSigned(static_cast<std::int8_t>(bits));
            break;
        case MsgPackClass::Int16:
            if (!ReadInteger(2, bits)) {
                return;
            }
            target.SetSigned(static_cast<std::int16_t>(bits));
            break;
        case MsgPackClass::Int32:
            if (!ReadInteger(4, bits)) {
                return;
            }
            target.SetSigned(static_cast<std::int32_t>(bits));
            break;
        case MsgPackClass::Int64:
            if (!ReadInteger(8, bits)) {
                return;
            }
            target.SetSigned(static_cast<std::int64_t>(bits));
            break;
        default:  // 0xC1 and the extension types
            result_.Fail(InvalidDataAt(position_));
            return;
    }
    Pop();
}

void MsgPackReader::ReadString(MsgPackClass kind, std::uint8_t formatByte, BindingProperty& target) {
    std::uint64_t length = 0;
    std::string_view text;
    if (!ReadCount(kind, formatByte, length) || !ReadSpan(true, length, text)) {
        return;
    }
    target.SetString(text);
    Pop();
}

void MsgPackReader::ReadBlob(std::size_t lengthWidth, BindingProperty& target) {
    std::uint64_t length = 0;
    std::string_view bytes;
    if (!ReadInteger(lengthWidth, length) || !ReadSpan(false, length, bytes)) {
        return;
    }
    target.SetBlob(BindingBlob(bytes.begin(), bytes.end()));
    Pop();
}

bool MsgPackReader::CheckNesting() {
    if (frames_.size() <= kMaxNestingDepth) {
        return true;
    }
    result_.Fail(InvalidDataAt(position_, "Containers are nested deeper than " +
                                              std::to_string(kMaxNestingDepth) + " levels."));
    return false;
}

void MsgPackReader::OpenCollection(std::uint64_t count, std::size_t start) {
    Frame& frame = frames_.back();
    frame.start = start;
    frame.target->EnsureCollection();
    // Every element takes at least one byte, so an announcement larger than the rest
    // of the input reserves only what the input could still hold.
    const std::size_t reserve = static_cast<std::size_t>(std::min<std::uint64_t>(
        {count, Remaining(), reserveBudget_, BindingProperty::kMaxCollectionSize}));
    reserveBudget_ -= reserve;
    static_cast<void>(frame.target->Reserve(reserve));  // cannot fail: below the limit
    frame.announced = count;
    frame.read = 0;
}

void MsgPackReader::OpenStructure(std::uint64_t pairs, std::size_t start) {
    Frame& frame = frames_.back();
    frame.start = start;
    frame.target->EnsureStructure();
    frame.announced = pairs * 2;  // at most 2^33, no overflow in 64 bits
    frame.read = 0;
}

bool MsgPackReader::ReadInteger(std::size_t width, std::uint64_t& value) {
    if (Remaining() < width) {
        result_.Fail(TruncatedInteger(width, position_));
        return false;
    }
    value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value = (value << 8) | bytes_[position_ + i];
    }
    position_ += width;
    return true;
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

bool MsgPackReader::ReadSpan(bool isString, std::uint64_t length, std::string_view& bytes) {
    if (Remaining() < length) {
        result_.Fail(TruncatedBytes(isString, length, position_));
        return false;
    }
    const auto count = static_cast<std::size_t>(length);
    bytes = std::string_view(reinterpret_cast<const char*>(bytes_ + position_), count);
    position_ += count;
    return true;
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
    } catch (const std::bad_alloc&) {
        read.result.Fail("Not enough memory to read the MessagePack value.");
    }
    read.consumed = reader.Position();
    return read;
}

MsgPackReadResult MsgPackToBinding(std::string_view bytes) {
    return MsgPackToBinding(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace vclient
