#include "value/structure_filler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "value/property_arena.h"
#include "support/binding_describe.h"

namespace vclient {
namespace {

using Record = std::vector<std::string>;  // names in arrival order
using testing_support::Describe;

bool AllTreesHoldRules(const BindingProperty& value) {
    if (!value.FieldTreeHoldsRules()) return false;
    for (const auto& entry : value.Fields()) {
        if (!AllTreesHoldRules(entry.value)) return false;
    }
    for (const BindingProperty& element : value.Elements()) {
        if (!AllTreesHoldRules(element)) return false;
    }
    return true;
}

// The same records filled through the filler and through Field: a collection of records,
// each field set to its position in the record (a repeated name takes the later one).
void FillBoth(const std::vector<Record>& records, BindingProperty& filled, BindingProperty& plain) {
    StructureFiller filler;
    for (std::size_t r = 0; r < records.size(); ++r) {
        BindingProperty& viaFiller = filled.Element(r);
        BindingProperty& viaField = plain.Element(r);
        filler.Open(viaFiller, 1);
        viaField.EnsureStructure();
        for (std::size_t i = 0; i < records[r].size(); ++i) {
            filler.Field(records[r][i]).SetSigned(static_cast<std::int64_t>(i));
            viaField.Field(records[r][i]).SetSigned(static_cast<std::int64_t>(i));
        }
        filler.Close();
    }
    filler.Finish();
}

// Records of every size from 1 to 300 names, each coming three times in one scrambled
// order: the second and third are built from the learnt order, and every tree keeps the
// red-black rules, also when plain insertions follow.
TEST(StructureFiller, RepeatedRecordsOfEverySizeBuildValidTrees) {
    for (std::size_t size = 1; size <= 300; size += (size < 40 ? 1 : 13)) {
        Record names;
        for (std::size_t i = 0; i < size; ++i) names.push_back("n" + std::to_string((i * 7919) % size));
        BindingProperty filled;
        BindingProperty plain;
        FillBoth({names, names, names}, filled, plain);
        ASSERT_EQ(Describe(filled), Describe(plain)) << "size " << size;
        ASSERT_TRUE(AllTreesHoldRules(filled)) << "size " << size;
        BindingProperty& last = filled.Element(2);
        for (int extra = 0; extra < 20; ++extra) last.Field("x" + std::to_string(extra)).SetSigned(extra);
        ASSERT_TRUE(last.FieldTreeHoldsRules()) << "size " << size;
        ASSERT_EQ(last.Size(), size + 20);
    }
}

// Records that break from the shape in every way give what Field gives: another name in
// the middle, fewer or more names, a repeated name, an empty record, a record whose
// Structure already had fields.
TEST(StructureFiller, RecordsThatLeaveTheShapeMatchPlainFields) {
    const std::vector<Record> records = {
        {"b", "a", "c"}, {"b", "a", "c"}, {"b", "x", "c"}, {"b", "x"},      {"b", "x", "c", "d"},
        {"b", "x", "c", "d"}, {"b", "b", "a"}, {},       {"b", "a", "b"}, {"b", "x", "c", "d"},
        {"q"}, {"q"}, {"b", "x", "c", "d", "e", "b"}, {"b", "x", "c", "d", "e"}, {"b", "x", "c", "d", "e"},
        // Records of several first names take turns at one depth; more first names than
        // the depth keeps shapes for push the oldest out.
        {"minute", "gold", "xp"}, {"id", "vars"}, {"minute", "gold", "xp"}, {"id", "vars"}, {"id", "vars"},
        {"k1", "a"}, {"k2", "a"}, {"k3", "a"}, {"k4", "a"}, {"minute", "gold", "xp"}, {"k1", "a"}, {"k4", "a"},
        {"minute", "gold"}, {"minute", "gold", "xp", "zz"}, {"minute", "gold", "xp", "zz"},
    };
    BindingProperty filled;
    BindingProperty plain;
    FillBoth(records, filled, plain);
    EXPECT_EQ(Describe(filled), Describe(plain));
    EXPECT_TRUE(AllTreesHoldRules(filled));

    // A Structure that already has fields is filled the plain way, merging.
    BindingProperty root;
    root.Element(1).Field("z").SetSigned(9);
    BindingProperty rootPlain = root;
    FillBoth({{"a"}, {"a", "z"}}, root, rootPlain);
    EXPECT_EQ(Describe(root), "[{a:s0},{a:s0,z:s1}]");

    // A large record merged into a Structure with other fields makes a shape all the same
    // (its tree holds names beyond the shape's), and the records that repeat it follow it.
    Record large;
    for (int i = 0; i < 24; ++i) large.push_back("f" + std::to_string((i * 11) % 24));
    BindingProperty merged;
    merged.Element(0).Field("f99").SetSigned(-1);
    merged.Element(0).Field("e").SetSigned(-2);
    BindingProperty expected = merged;
    FillBoth({large, large, large}, merged, expected);
    EXPECT_EQ(Describe(merged), Describe(expected));
    EXPECT_TRUE(AllTreesHoldRules(merged));
}

// Nested records (a record holding an array of records) at their own depths, random
// names from a small alphabet so that shapes come and go, against plain fields.
TEST(StructureFiller, RandomNestedRecordsMatchPlainFields) {
    std::uint32_t state = 99;
    auto next = [&state](std::uint32_t bound) {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) % bound;
    };
    const std::vector<std::string> alphabet = {"id", "name", "kills", "deaths", "assists", "items", "x", "stats"};
    BindingProperty filled;
    BindingProperty plain;
    StructureFiller filler;
    std::vector<std::size_t> previous;
    for (std::size_t r = 0; r < 400; ++r) {
        const bool repeat = next(4) != 0;
        std::vector<std::size_t> picks;
        if (repeat && !previous.empty()) {
            picks = previous;
        } else {
            for (std::uint32_t i = next(6) + 1; i > 0; --i) picks.push_back(next(static_cast<std::uint32_t>(alphabet.size())));
        }
        previous = picks;
        filler.Open(filled.Element(r), 1);
        BindingProperty& viaField = plain.Element(r).EnsureStructure();
        for (std::size_t i = 0; i < picks.size(); ++i) {
            const std::string& name = alphabet[picks[i]];
            if (name == "stats") {
                BindingProperty& inner = filler.Field(name);
                filler.Open(inner, 2);
                BindingProperty& innerPlain = viaField.Field(name).EnsureStructure();
                for (const char* stat : {"gold", "xp", "level"}) {
                    filler.Field(stat).SetSigned(static_cast<std::int64_t>(r));
                    innerPlain.Field(stat).SetSigned(static_cast<std::int64_t>(r));
                }
                filler.Close();
            } else {
                filler.Field(name).SetSigned(static_cast<std::int64_t>(i));
                viaField.Field(name).SetSigned(static_cast<std::int64_t>(i));
            }
        }
        filler.Close();
    }
    filler.Finish();
    EXPECT_EQ(Describe(filled), Describe(plain));
    EXPECT_TRUE(AllTreesHoldRules(filled));
}

// Finishing with records still open (a reader stopping on an error) links what was held,
// and the filler's own references to names are given back.
TEST(StructureFiller, FinishLinksOpenRecordsAndLetsGoOfNames) {
    BindingProperty root;
    const PropertyArena* arena = nullptr;
    {
        StructureFiller filler;
        for (int r = 0; r < 2; ++r) {
            filler.Open(root.Element(static_cast<std::size_t>(r)), 1);
            filler.Field("alpha").SetSigned(r);
            filler.Field("beta").SetSigned(r);
            filler.Close();
        }
        filler.Open(root.Element(2), 1);
        filler.Field("alpha").SetSigned(2);  // held, not linked yet
        filler.Finish();
        arena = root.Arena();
        ASSERT_NE(arena, nullptr);
        EXPECT_EQ(arena->StringUseCount("alpha"), 3u);  // the three fields, not the shape
        EXPECT_EQ(arena->StringUseCount("beta"), 2u);
    }
    EXPECT_EQ(Describe(root), "[{alpha:s0,beta:s0},{alpha:s1,beta:s1},{alpha:s2}]");
    EXPECT_TRUE(root.At(2).FieldTreeHoldsRules());
    root.Clear();
    EXPECT_EQ(arena->StringCount(), 0u);
}

}  // namespace
}  // namespace vclient
