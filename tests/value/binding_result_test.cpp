#include "value/binding_result.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace vclient {
namespace {

TEST(BindingResult, DefaultIsSuccessAndFailSetsErrorFieldAndFlag) {
    const BindingResult fresh;
    EXPECT_TRUE(fresh.Succeeded());
    EXPECT_TRUE(fresh.Value().IsEmpty());

    const char* const messages[] = {"A value for 'x' is required.", "", "h\xc3\xa9", "line\nbreak"};
    for (const char* message : messages) {
        BindingResult result;
        result.Value().Field("old").SetSigned(1);
        result.Fail(message);
        EXPECT_FALSE(result.Succeeded());
        EXPECT_EQ(result.ErrorMessage(), message);
        EXPECT_EQ(result.Value().Size(), 1u);
        EXPECT_EQ(result.Value().Find("error").GetString(), message);
    }
}

TEST(BindingResult, ErrorMessageNeedsAStringErrorField) {
    BindingResult result;
    result.Fail("x");
    result.Value().Field("error").SetSigned(5);
    EXPECT_EQ(result.ErrorMessage(), "");
    BindingResult success;
    success.Value().Field("error").SetString("not a failure");
    EXPECT_EQ(success.ErrorMessage(), "");
}

TEST(BindingResult, FailWithItsOwnMessage) {
    BindingResult result;
    result.Fail(std::string(40, 'e'));
    result.Fail(result.ErrorMessage());
    EXPECT_EQ(result.ErrorMessage(), std::string(40, 'e'));
}

// A result made from a value is a success holding it; marking a failure a success again
// keeps the value but no longer reports its text.
TEST(BindingResult, ConstructionFromAValueAndMarkSucceeded) {
    BindingProperty value;
    value.SetString("v");
    const BindingResult fromCopy(value);
    EXPECT_TRUE(fromCopy.Succeeded());
    EXPECT_EQ(fromCopy.Value().GetString(), "v");
    const BindingResult fromMove(std::move(value));
    EXPECT_EQ(fromMove.Value().GetString(), "v");

    BindingResult failed;
    failed.Fail("bad");
    failed.MarkSucceeded();
    EXPECT_TRUE(failed.Succeeded());
    EXPECT_EQ(failed.ErrorMessage(), "");
    EXPECT_EQ(failed.Value().Find("error").GetString(), "bad");
}

}  // namespace
}  // namespace vclient
