// Host values of arbitrary shape decoded from fuzz bytes, as a host might fill them: any
// kind code (valid or not), numbers, texts and blobs with arbitrary bytes, nested arrays
// and entries, empty and large counts, counts that read as negative, and null arrays
// and texts. Every pointer is valid (or null): the host's memory is trusted to be
// readable, its content is not. The source owns everything it builds.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "qiv/plugin_abi.h"

namespace qivfuzz {

class HostValueSource {
public:
    // Values nest at most this deep here; deeper input ends in Empty values. Above the
    // reader's own limit, so that its check is reached.
    static constexpr int kMaxDepth = 300;

    explicit HostValueSource(FuzzedDataProvider& in) : in_(in) {}

    HostValue Next(int depth = 0) {
        HostValue value{};
        if (in_.remaining_bytes() == 0 || depth >= kMaxDepth) return value;
        const std::uint8_t code = in_.ConsumeIntegral<std::uint8_t>();
        value.kind = code < 200 ? code % 12 : code;  // mostly 0..11, sometimes far out
        switch (value.kind) {
            case QIV_HOST_VALUE_BOOL:
                value.boolean = in_.ConsumeIntegral<std::uint8_t>();
                break;
            case QIV_HOST_VALUE_SIGNED:
            case QIV_HOST_VALUE_UNSIGNED:
            case QIV_HOST_VALUE_FLOAT:
                value.unsignedValue = in_.ConsumeIntegral<std::uint64_t>();
                break;
            case QIV_HOST_VALUE_STRING:
            case QIV_HOST_VALUE_OWNED_STRING:
                if (in_.ConsumeIntegralInRange<int>(0, 15) == 0) {
                    value.string.text = nullptr;
                } else {
                    value.string.text = Text(in_.ConsumeRandomLengthString(64));
                }
                value.string.length = in_.ConsumeIntegral<std::uint32_t>();  // not to be trusted
                break;
            case QIV_HOST_VALUE_BLOB:
            case QIV_HOST_VALUE_OWNED_BLOB: {
                const std::vector<std::uint8_t> bytes = in_.ConsumeBytes<std::uint8_t>(in_.ConsumeIntegralInRange<std::size_t>(0, 64));
                const bool nullBytes = in_.ConsumeIntegralInRange<int>(0, 15) == 0;
                value.blob.size = static_cast<std::uint32_t>(bytes.size());
                value.blob.bytes = nullBytes ? nullptr : Bytes(bytes);
                if (nullBytes) value.blob.size = in_.ConsumeIntegral<std::uint32_t>();
                break;
            }
            case QIV_HOST_VALUE_COLLECTION: {
                std::uint32_t count = 0;
                HostValue* elements = Array<HostValue>(count);
                for (std::uint32_t i = 0; elements != nullptr && i < Filled(count); ++i) elements[i] = Next(depth + 1);
                value.collection.elements = elements;
                value.collection.count = count;
                break;
            }
            case QIV_HOST_VALUE_STRUCTURE: {
                std::uint32_t count = 0;
                HostStructureEntry* entries = Array<HostStructureEntry>(count);
                for (std::uint32_t i = 0; entries != nullptr && i < Filled(count); ++i) {
                    entries[i].name = in_.ConsumeIntegralInRange<int>(0, 31) == 0 ? nullptr : Text(Name());
                    entries[i].nameOwned = in_.ConsumeIntegral<std::uint8_t>();
                    entries[i].value = Next(depth + 1);
                }
                value.structure.entries = entries;
                value.structure.count = count;
                break;
            }
            default:
                value.unsignedValue = in_.ConsumeIntegral<std::uint64_t>();  // garbage payload of an unknown kind
                break;
        }
        return value;
    }

private:
    // The array of a collection or structure and its count word: mostly a small array
    // whose count is its size; sometimes null with a count, or a count that reads as
    // negative (an empty container, whose one-element array must not be read), or a long
    // run of Empty elements.
    template <class T>
    T* Array(std::uint32_t& count) {
        switch (in_.ConsumeIntegralInRange<int>(0, 15)) {
            case 0:
                count = in_.ConsumeIntegralInRange<std::uint32_t>(0, 3);
                return nullptr;
            case 1:
                count = 0x80000000u | in_.ConsumeIntegral<std::uint32_t>();
                return Slots<T>(1);
            case 2:
                count = in_.ConsumeIntegralInRange<std::uint32_t>(0, 4096);
                return Slots<T>(count);
            default:
                count = in_.ConsumeIntegralInRange<std::uint32_t>(0, 6);
                return Slots<T>(count);
        }
    }
    // How many slots of an array of `count` to fill: none for a negative count, at most
    // a few for a long run (the rest stay Empty, zeroed).
    static std::uint32_t Filled(std::uint32_t count) {
        if (count >= 0x80000000u) return 0;
        return count < 8 ? count : 8;
    }
    template <class T>
    T* Slots(std::uint32_t count) {
        if (count == 0) return Keep(std::make_unique<T[]>(1));  // a valid pointer with nothing to read
        return Keep(std::make_unique<T[]>(count));
    }
    template <class T>
    T* Keep(std::unique_ptr<T[]> block) {
        T* raw = block.get();
        blocks_.emplace_back(std::shared_ptr<void>(block.release(), [](void* p) { delete[] static_cast<T*>(p); }));
        return raw;
    }
    std::string Name() {
        static const char* const kNames[] = {"uri", "eventType", "data", "gameId", "summonerId", "teams",
                                             "players", "honorLevel", "Enabled", "phase", "state", "payload"};
        const int pick = in_.ConsumeIntegralInRange<int>(0, 15);
        if (pick < 12) return kNames[pick];
        return in_.ConsumeRandomLengthString(16);
    }
    const char* Text(const std::string& text) {
        return texts_.emplace_back(text).c_str();
    }
    const std::uint8_t* Bytes(const std::vector<std::uint8_t>& bytes) {
        auto& kept = bytes_.emplace_back(bytes);
        return kept.empty() ? Keep(std::make_unique<std::uint8_t[]>(1)) : kept.data();
    }

    FuzzedDataProvider& in_;
    std::deque<std::string> texts_;
    std::deque<std::vector<std::uint8_t>> bytes_;
    std::vector<std::shared_ptr<void>> blocks_;
};

}  // namespace qivfuzz
