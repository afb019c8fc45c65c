// Named and positional message formatting with arbitrary templates and arguments.
//
// The input gives the arguments (each a type code and its value), a buffer size and the
// template. Checks: FormatPositional writes at most size - 1 characters and a terminator
// into a buffer of exactly that size, returns what it wrote, and gives the same text
// into any larger buffer (the message buffer); FormatNamed's positional format formats
// the same way and stays deterministic.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "util/format_named.h"
#include "util/format_positional.h"

namespace {

using qivfuzz::Check;
using vclient::FormatArgument;

// Storage for the arguments: FormatArgument refers to the caller's values.
struct Arguments {
    std::vector<std::unique_ptr<std::int64_t>> numbers;
    std::vector<std::unique_ptr<std::string>> texts;
    std::vector<std::unique_ptr<double>> doubles;
    std::deque<std::string_view> views;
    std::vector<FormatArgument> list;

    void Add(FuzzedDataProvider& in) {
        switch (in.ConsumeIntegralInRange<int>(0, 11)) {
            case 0: list.emplace_back(in.ConsumeBool() ? kTrue : kFalse); break;
            case 1: list.emplace_back(Keep(static_cast<char>(in.ConsumeIntegral<std::uint8_t>()))); break;
            case 2: list.emplace_back(KeepAs<std::int16_t>(in)); break;
            case 3: list.emplace_back(KeepAs<std::uint16_t>(in)); break;
            case 4: list.emplace_back(KeepAs<std::int32_t>(in)); break;
            case 5: list.emplace_back(KeepAs<std::uint32_t>(in)); break;
            case 6: list.emplace_back(KeepAs<long long>(in)); break;
            case 7: list.emplace_back(KeepAs<unsigned long long>(in)); break;
            case 8: {
                auto& v = doubles.emplace_back(std::make_unique<double>(in.ConsumeFloatingPoint<double>()));
                list.emplace_back(*v);
                break;
            }
            case 9: {
                auto& t = texts.emplace_back(std::make_unique<std::string>(in.ConsumeRandomLengthString(64)));
                list.emplace_back(*t);
                break;
            }
            case 10: {
                auto& t = texts.emplace_back(std::make_unique<std::string>(in.ConsumeRandomLengthString(64)));
                list.emplace_back(t->c_str());  // up to its first NUL
                break;
            }
            default: {
                auto& t = texts.emplace_back(std::make_unique<std::string>(in.ConsumeRandomLengthString(64)));
                list.emplace_back(views.emplace_back(*t));  // the argument refers to the view
                break;
            }
        }
    }

private:
    template <class T>
    const T& KeepAs(FuzzedDataProvider& in) {
        auto& slot = numbers.emplace_back(std::make_unique<std::int64_t>(0));
        T value = in.ConsumeIntegral<T>();
        static_assert(sizeof(T) <= sizeof(std::int64_t));
        std::memcpy(slot.get(), &value, sizeof value);
        return *reinterpret_cast<const T*>(slot.get());
    }
    const char& Keep(char c) {
        auto& slot = numbers.emplace_back(std::make_unique<std::int64_t>(0));
        std::memcpy(slot.get(), &c, 1);
        return *reinterpret_cast<const char*>(slot.get());
    }
    static constexpr bool kTrue = true;
    static constexpr bool kFalse = false;
};

std::string Positional(const std::string& format, const Arguments& arguments, std::size_t size, std::size_t& written) {
    // Exactly `size` bytes, so that AddressSanitizer sees any write past the end.
    std::unique_ptr<char[]> buffer(size == 0 ? nullptr : new char[size]);
    if (size != 0) std::memset(buffer.get(), 0x55, size);
    written = vclient::FormatPositional(buffer.get(), size, format.c_str(), arguments.list.data(), arguments.list.size());
    if (size == 0) return {};
    Check(written < size, "at most size - 1 characters", qivfuzz::Quoted(format));
    Check(buffer[written] == '\0', "terminated where it says", qivfuzz::Quoted(format));
    return std::string(buffer.get(), written);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    Arguments arguments;
    const int count = in.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < count; ++i) arguments.Add(in);
    const std::size_t bufferSize = in.ConsumeIntegralInRange<std::size_t>(0, 80);
    const std::string templ = in.ConsumeRemainingBytesAsString();
    const std::string shown = qivfuzz::Quoted(templ);

    // Positional: into a small buffer of exact size and into the message buffer.
    std::size_t small = 0;
    std::size_t full = 0;
    const std::string cut = Positional(templ, arguments, bufferSize, small);
    const std::string whole = Positional(templ, arguments, vclient::kMessageBufferSize, full);
    Check(whole.size() < vclient::kMessageBufferSize, "a message fits the message buffer", shown);
    if (bufferSize != 0) {
        Check(small <= full && whole.compare(0, cut.size(), cut) == 0, "a smaller buffer holds a prefix",
              shown + "\nsmall " + qivfuzz::Quoted(cut) + "\nwhole " + qivfuzz::Quoted(whole));
    }
    const std::string viaString = vclient::FormatToString(templ, arguments.list.data(), arguments.list.size());
    Check(viaString == Positional(templ.substr(0, templ.find('\0')), arguments, vclient::kMessageBufferSize, full),
          "FormatToString formats the text up to its first NUL", shown);

    // Named: the positional format it derives formats like any other, twice alike.
    vclient::PropertyMap properties;
    const std::string format = vclient::FormatNamed(templ, arguments.list.data(), arguments.list.size(), properties);
    vclient::PropertyMap again;
    Check(format == vclient::FormatNamed(templ, arguments.list.data(), arguments.list.size(), again),
          "FormatNamed is deterministic", shown);
    Check(properties.size() == again.size(), "the same names twice", shown);
    for (auto left = properties.begin(), right = again.begin(); left != properties.end(); ++left, ++right) {
        Check(left->first == right->first && left->second.index() == right->second.index(), "the same names twice",
              shown + "\nname " + left->first);
    }
    const std::string message =
        vclient::FormatToString(format, arguments.list.data(), arguments.list.size());
    Check(message.size() < vclient::kMessageBufferSize, "a named message fits the message buffer", shown);
    return 0;
}
