#include "binding/api_description.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/builtin_types.h"
#include "binding/native_type.h"
#include "binding/register_type.h"

namespace vclient {
namespace {

enum class LoginSessionStates { IN_PROGRESS = 0, SUCCEEDED = 1, LOGGING_OUT = 2, ERROR = 3 };

struct LoginSession {
    LoginSessionStates state = LoginSessionStates::IN_PROGRESS;
    std::uint64_t summonerId = 0;
    std::vector<std::int32_t> bans;
    std::int32_t level = 0;
};

// Reads a packed member the way a host does: by copying its bytes, never by reference.
template <class Value>
Value Read(const void* record, std::size_t offset) {
    Value value;
    std::memcpy(&value, static_cast<const std::byte*>(record) + offset, sizeof(Value));
    return value;
}

std::string Text(const void* record, std::size_t offset) {
    const char* text = Read<const char*>(record, offset);
    EXPECT_NE(text, nullptr) << "texts are never null";
    return text == nullptr ? std::string() : std::string(text);
}

template <class Record>
std::vector<const Record*> WalkList(const Record* first) {
    std::vector<const Record*> records;
    for (const Record* record = first; record != nullptr; record = Read<const Record*>(record, 0)) records.push_back(record);
    return records;
}

class ApiDescriptionTest : public ::testing::Test {
protected:
    ApiDescriptionTest() {
        RegisterEnum<LoginSessionStates>(registry, "LoginSessionStates")
            .Namespace("vclient")
            .QIV_ENUMERATOR(IN_PROGRESS).QIV_ENUMERATOR(ERROR).QIV_ENUMERATOR(SUCCEEDED).QIV_ENUMERATOR(LOGGING_OUT);
        RegisterRecord<LoginSession>(registry, "LoginSession")
            .Tag("plugin")
            .QIV_FIELD(state)
            .QIV_FIELD(summonerId, {.description = "the player"})
            .QIV_FIELD(bans)
            .QIV_FIELD(level, {.declaredType = TypeIdentifierOf<LoginSession>(registry)});

        FunctionRecord& get = registry.DeclareFunction("GetSession").function;
        get.result = TypeIdentifierOf<LoginSession>(registry);
        get.description = "Reads the session.";
        FunctionRecord& post = registry.DeclareFunction("PostSession").function;
        post.tags = {"Plugins", "Plugin qiv-honor-v2"};
        post.threadSafe = true;
        post.isAsync = true;
        post.asyncResult = registry.FindByName("LoginSession");
        post.arguments.push_back({"session", "the body", false, TypeIdentifierOf<LoginSession>(registry), {}});
        post.arguments.push_back({"count", "", true, {BindingType::Int32}, {}});
        post.arguments.push_back({"as", "", false, {BindingType::Int32}, {BindingType::String}});
        registry.DeclareEvent("OnSession", registry.FindByName("LoginSession")).event.nameSpace = "vclient";
    }

    const ApiTypeDescription* FindType(const ApiDescriptionTable& table, const std::string& name) {
        for (const ApiTypeDescription* type : WalkList(table.types)) {
            if (Text(type, offsetof(ApiTypeDescription, name)) == name) return type;
        }
        return nullptr;
    }

    BindingRegistry registry;
};

TEST(BindingRegistry, BuiltinsAreRegisteredAtConstruction) {
    const BindingRegistry registry;
    const std::vector<std::string> names = {
        "BindingAsyncState",         "BindingGenericEvent",     "BindingCallbackEvent",    "BindingGenericAsyncEvent",
        "BindingAsyncFailureEvent",  "BindingAsyncCancelEvent", "BindingFullTypeIdentifier", "BindingFullArgumentHelp",
        "BindingFullFunctionHelp",   "BindingFullEnumValueHelp", "BindingFullFieldHelp",     "BindingFullTypeHelp",
        "BindingFullEventHelp",      "BindingFullApiHelp",      "BindingHelpFormat",
    };
    ASSERT_EQ(registry.TypeCount(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        const TypeRecord* type = registry.TypeAt(i);
        EXPECT_EQ(type->name, names[i]);
        EXPECT_EQ(type->tags.at(0), "$builtin");
        EXPECT_EQ(type->nameSpace, "");
    }
    EXPECT_EQ(registry.FindByName("BindingFullApiHelp")->tags, (std::vector<std::string>{"$builtin", "help"}));
    const TypeRecord* callback = registry.FindByName("BindingCallbackEvent");
    EXPECT_EQ(callback->fields[1].type, (TypeIdentifier{BindingType::Vector, BindingType::Object, nullptr}));
    ASSERT_EQ(registry.EventCount(), 1u);
    EXPECT_EQ(registry.EventAt(0)->name, "OnCallback");
    EXPECT_EQ(registry.EventAt(0)->payload, callback);
}

TEST(BindingRegistry, SecondDeclarationsReturnTheFirst) {
    BindingRegistry registry;
    const auto again = registry.DeclareEvent("OnCallback", nullptr);
    EXPECT_TRUE(again.existed);
    EXPECT_EQ(&again.event, registry.FindEvent("OnCallback"));
    EXPECT_EQ(again.event.payload, registry.FindByName("BindingCallbackEvent"));
    EXPECT_EQ(registry.EventCount(), 1u);

    const auto first = registry.DeclareFunction("F");
    EXPECT_FALSE(first.existed);
    first.function.description = "first";
    const auto second = registry.DeclareFunction("F");
    EXPECT_TRUE(second.existed);
    EXPECT_EQ(&second.function, &first.function);
    EXPECT_EQ(registry.FunctionCount(), 1u);

    RegisterBuiltinTypes(registry);  // names already registered stay as they are
    EXPECT_EQ(registry.TypeCount(), 15u);
    EXPECT_EQ(registry.EventCount(), 1u);
}

TEST_F(ApiDescriptionTest, ArraysAreListsInRegistrationOrder) {
    const ApiDescriptionTable& table = ExportApiDescription(registry);
    ASSERT_EQ(table.typeCount, 17u);
    ASSERT_EQ(table.eventCount, 2u);
    ASSERT_EQ(table.functionCount, 2u);
    EXPECT_EQ(WalkList(table.events).size(), 2u);
    EXPECT_EQ(WalkList(table.functions).size(), 2u);
    const auto types = WalkList(table.types);  // indexing and following next agree
    for (std::uint32_t i = 0; i < table.typeCount; ++i) EXPECT_EQ(types.at(i), &table.types[i]);
    EXPECT_EQ(Text(&table.types[0], offsetof(ApiTypeDescription, name)), "BindingAsyncState");
    EXPECT_EQ(Text(&table.types[15], offsetof(ApiTypeDescription, name)), "LoginSessionStates");
    EXPECT_EQ(Text(&table.types[16], offsetof(ApiTypeDescription, name)), "LoginSession");

    const ApiEventDescription* onCallback = &table.events[0];
    EXPECT_EQ(Text(onCallback, offsetof(ApiEventDescription, name)), "OnCallback");
    EXPECT_EQ(Text(onCallback, offsetof(ApiEventDescription, typeName)), "BindingCallbackEvent");
    EXPECT_EQ(Text(onCallback, offsetof(ApiEventDescription, nameSpace)), "");
    EXPECT_EQ(Read<std::uint32_t>(onCallback, offsetof(ApiEventDescription, tagCount)), 1u);
    EXPECT_STREQ(Read<const char* const*>(onCallback, offsetof(ApiEventDescription, tags))[0], "$builtin");
    EXPECT_EQ(Text(&table.events[1], offsetof(ApiEventDescription, nameSpace)), "vclient");
}

// A record's fields in wire order ("name type/element typeName @offset description"), an
// enumeration's enumerators in name order ("name=value").
TEST_F(ApiDescriptionTest, RecordsHaveFieldsAndEnumerationsEnumeratorsInNameOrder) {
    const ApiDescriptionTable& table = ExportApiDescription(registry);
    using T = ApiTypeDescription;
    using D = ApiFieldDescription;
    const T* session = FindType(table, "LoginSession");
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(Read<std::uint32_t>(session, offsetof(T, size)), sizeof(LoginSession));
    EXPECT_EQ(Read<std::uint32_t>(session, offsetof(T, memberCount)), 4u);
    EXPECT_EQ(Read<const void*>(session, offsetof(T, enumerators)), nullptr);
    std::vector<std::string> fields;
    for (const D* f : WalkList(Read<const D*>(session, offsetof(T, fields)))) {
        EXPECT_EQ(Read<std::uint8_t>(f, offsetof(D, optional)), 0);
        fields.push_back(Text(f, offsetof(D, name)) + " " + std::to_string(Read<std::uint32_t>(f, offsetof(D, type))) +
                         "/" + std::to_string(Read<std::uint32_t>(f, offsetof(D, elementType))) + " " +
                         Text(f, offsetof(D, typeName)) + " @" + std::to_string(Read<std::uint32_t>(f, offsetof(D, offset))) +
                         " " + Text(f, offsetof(D, description)));
    }
    const auto at = [](std::size_t offset) { return " @" + std::to_string(offset) + " "; };
    EXPECT_EQ(fields, (std::vector<std::string>{
                          "state 16/0 LoginSessionStates" + at(offsetof(LoginSession, state)),
                          "summonerId 9/0 " + at(offsetof(LoginSession, summonerId)) + "the player",
                          "bans 15/6 " + at(offsetof(LoginSession, bans)),
                          "level 17/0 LoginSession" + at(offsetof(LoginSession, level)),  // the declared type
                      }));

    using E = ApiEnumeratorDescription;
    const T* states = FindType(table, "LoginSessionStates");
    EXPECT_EQ(Read<const void*>(states, offsetof(T, fields)), nullptr);
    EXPECT_EQ(Text(states, offsetof(T, nameSpace)), "vclient");
    EXPECT_EQ(Read<std::uint32_t>(states, offsetof(T, tagCount)), 0u);
    std::vector<std::string> enumerators;
    for (const E* e : WalkList(Read<const E*>(states, offsetof(T, enumerators)))) {
        EXPECT_EQ(Text(e, offsetof(E, description)), "");
        enumerators.push_back(Text(e, offsetof(E, name)) + "=" + std::to_string(Read<std::int32_t>(e, offsetof(E, value))));
    }
    EXPECT_EQ(enumerators, (std::vector<std::string>{"ERROR=3", "IN_PROGRESS=0", "LOGGING_OUT=2", "SUCCEEDED=1"}));
}

TEST_F(ApiDescriptionTest, FunctionsWithArgumentsTagsAndResults) {
    const ApiDescriptionTable& table = ExportApiDescription(registry);
    using F = ApiFunctionDescription;
    const F* get = &table.functions[0];
    const std::pair<std::size_t, const char*> texts[] = {
        {offsetof(F, name), "GetSession"}, {offsetof(F, resultTypeName), "LoginSession"},
        {offsetof(F, description), "Reads the session."}, {offsetof(F, help), ""}, {offsetof(F, asyncTypeName), ""}};
    for (const auto& [offset, text] : texts) EXPECT_EQ(Text(get, offset), text) << offset;
    const std::pair<std::size_t, std::uint32_t> words[] = {
        {offsetof(F, reserved), 0}, {offsetof(F, tagCount), 0}, {offsetof(F, argumentCount), 0},
        {offsetof(F, resultType), 17}};
    for (const auto& [offset, word] : words) EXPECT_EQ(Read<std::uint32_t>(get, offset), word) << offset;
    EXPECT_EQ(Read<void*>(get, offsetof(F, dispatchContext)), nullptr);
    EXPECT_EQ(Read<std::uint8_t>(get, offsetof(F, threadSafe)), 0);

    const F* post = &table.functions[1];
    EXPECT_EQ(Read<const F*>(post, 0), nullptr);
    EXPECT_EQ(Read<std::uint8_t>(post, offsetof(F, threadSafe)), 1);
    EXPECT_EQ(Text(post, offsetof(F, asyncTypeName)), "LoginSession");
    ASSERT_EQ(Read<std::uint32_t>(post, offsetof(F, tagCount)), 2u);
    EXPECT_STREQ(Read<const char* const*>(post, offsetof(F, tags))[1], "Plugin qiv-honor-v2");

    // "name type typeName", "?" when optional; the declared type (String, 12) of "as" is
    // exported, not its native Int32.
    using A = ApiArgumentDescription;
    std::vector<std::string> arguments;
    for (const A* a : WalkList(Read<const A*>(post, offsetof(F, arguments)))) {
        arguments.push_back(Text(a, offsetof(A, name)) + " " + std::to_string(Read<std::uint32_t>(a, offsetof(A, type))) +
                            " " + Text(a, offsetof(A, typeName)) + (Read<std::uint8_t>(a, offsetof(A, optional)) ? "?" : ""));
    }
    EXPECT_EQ(arguments, (std::vector<std::string>{"session 17 LoginSession", "count 6 ?", "as 12 "}));
}

TEST_F(ApiDescriptionTest, TablesStayValidAcrossLaterExports) {
    const ApiDescriptionTable& first = ExportApiDescription(registry);
    EXPECT_EQ(&ExportApiDescription(registry), &first);  // nothing changed: the same tables
    const ApiTypeDescription* oldTypes = first.types;
    (void)registry.DeclareFunction("Later");
    const ApiDescriptionTable& second = ExportApiDescription(registry);
    EXPECT_NE(&second, &first);
    EXPECT_EQ(second.functionCount, 3u);
    EXPECT_EQ(first.functionCount, 2u);
    EXPECT_EQ(Text(oldTypes, offsetof(ApiTypeDescription, name)), "BindingAsyncState");
    const ApiFunctionDescription later = registry.DescriptionTables().Function(2);
    EXPECT_EQ(Text(&later, offsetof(ApiFunctionDescription, name)), "Later");
}

}  // namespace
}  // namespace vclient
