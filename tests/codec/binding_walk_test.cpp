#include "codec/binding_walk.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vclient {
namespace {

// Records every event as a short text.
class RecordingSink final : public BindingSink {
public:
    std::vector<std::string> events;

    void WriteNull() override { events.push_back("null"); }
    void WriteBool(bool value) override { events.push_back(value ? "bool:true" : "bool:false"); }
    void WriteSigned(std::int64_t value) override { events.push_back("signed:" + std::to_string(value)); }
    void WriteUnsigned(std::uint64_t value) override { events.push_back("unsigned:" + std::to_string(value)); }
    void WriteDouble(double value) override { events.push_back("double:" + std::to_string(value)); }
    void WriteString(std::string_view text) override { events.push_back("string:" + std::string(text)); }
    void WriteBlob(std::span<const std::uint8_t> bytes) override { events.push_back("blob:" + std::to_string(bytes.size())); }
    void WriteEnum(BindingEnumPair pair) override {
        events.push_back("enum:" + std::to_string(pair.typeKey) + "/" + std::to_string(pair.value));
    }
    void StartCollection(std::size_t count) override { events.push_back("[" + std::to_string(count)); }
    void StartElement(std::size_t index) override { events.push_back("<" + std::to_string(index)); }
    void EndElement(std::size_t index) override { events.push_back(std::to_string(index) + ">"); }
    void EndCollection() override { events.push_back("]"); }
    void StartStructure(std::size_t count) override { events.push_back("{" + std::to_string(count)); }
    void FieldName(const std::string& name) override { events.push_back("<" + name); }
    void EndField(const std::string& name) override { events.push_back(name + ">"); }
    void EndStructure() override { events.push_back("}"); }
};

TEST(BindingWalk, NestedContainersSendBoundariesInOrder) {
    BindingProperty root;
    root.Field("b").Element(1).SetSigned(2);  // b: [null, 2]
    root.Field("a").Field("x").SetBool(false);
    root.Field("c").EnsureCollection();
    RecordingSink sink;
    WalkBinding(root, sink);
    EXPECT_THAT(sink.events, ::testing::ElementsAre(                                 //
                                 "{3",                                                //
                                 "<a", "{1", "<x", "bool:false", "x>", "}", "a>",     //
                                 "<b", "[2", "<0", "null", "0>", "<1", "signed:2", "1>", "]", "b>",  //
                                 "<c", "[0", "]", "c>",                               //
                                 "}"));
}

TEST(BindingWalk, DeepTreesWalkWithoutRecursion) {
    constexpr std::size_t kDepth = 100'000;
    BindingProperty root;
    BindingProperty* cursor = &root;
    for (std::size_t i = 0; i < kDepth; ++i) {
        cursor = (i % 2 == 0) ? &cursor->Element(0) : &cursor->Field("k");
    }
    cursor->SetSigned(1);
    RecordingSink sink;
    WalkBinding(root, sink);
    // Per level: start, child boundary open/close, end; plus the innermost scalar.
    EXPECT_EQ(sink.events.size(), kDepth * 4 + 1);
    EXPECT_EQ(sink.events[kDepth * 2], "signed:1");
    EXPECT_EQ(sink.events.front(), "[1");
    EXPECT_EQ(sink.events.back(), "]");
}

}  // namespace
}  // namespace vclient
