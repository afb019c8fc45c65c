// The word-at-a-time text comparisons of the binding library against the plain byte-wise
// definitions: names order as unsigned bytes, a shorter name first at a common prefix.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "value/field_tree.h"
#include "value/string_table.h"

namespace vclient::detail {
namespace {

int Sign(int value) { return (value > 0) - (value < 0); }

// Every length up to 24 against every length up to 24, with one byte changed at every
// position (to a lower, higher and high-bit value), in buffers offset by one so the word
// loads are unaligned.
TEST(NameCompare, MatchesByteWiseOrderAndEquality) {
    const std::string base = "\x01" "abcdefghijklmnopqrstuvwxyz0123";
    for (std::size_t leftSize = 0; leftSize <= 24; ++leftSize) {
        for (std::size_t rightSize = 0; rightSize <= 24; ++rightSize) {
            for (std::size_t changed = 0; changed <= rightSize; ++changed) {
                for (const char replacement : {'\0', 'a', 'z', '\x7f', '\x80', '\xff'}) {
                    const std::string left = base.substr(0, leftSize + 1);
                    std::string right = base.substr(0, rightSize + 1);
                    if (changed < rightSize) right[changed + 1] = replacement;
                    const std::string_view a(left.data() + 1, leftSize);
                    const std::string_view b(right.data() + 1, rightSize);
                    ASSERT_EQ(CompareFieldNames(a, b), Sign(a.compare(b)))
                        << leftSize << " " << rightSize << " " << changed << " " << int(replacement);
                    ASSERT_EQ(CompareFieldNames(b, a), Sign(b.compare(a)));
                    ASSERT_EQ(SameBytes(a, b), a == b) << leftSize << " " << rightSize << " " << changed;
                }
            }
        }
    }
}

}  // namespace
}  // namespace vclient::detail
