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
    struct Tagged {
        const char* type;
        std::vector<std::string> tags;
    };
    const Tagged tagged[] = {
        {"BindingAsyncState", {"$builtin", "async"}},   {"BindingGenericEvent", {"$builtin"}},
        {"BindingCallbackEvent", {"$builtin"}},         {"BindingAsyncCancelEvent", {"$builtin", "async"}},
        {"BindingFullApiHelp", {"$builtin", "help"}},   {"BindingHelpFormat", {"$builtin", "help"}},
    };
    for (const Tagged& t : tagged) EXPECT_EQ(registry.FindByName(t.type)->tags, t.tags) << t.type;

    const TypeRecord* callback = registry.FindByName("BindingCallbackEvent");
    ASSERT_EQ(callback->fields.size(), 2u);
    EXPECT_EQ(callback->fields[0].name, "id");
    EXPECT_EQ(callback->fields[0].type.type, BindingType::Uint32);
    EXPECT_EQ(callback->fields[0].description, "ID of the callback being invoked");
    EXPECT_EQ(callback->fields[1].type, (TypeIdentifier{BindingType::Vector, BindingType::Object, nullptr}));

    const TypeRecord* state = registry.FindByName("BindingAsyncState");
    EXPECT_EQ(state->description, "Possible states of an asynchronous operation.");
    EXPECT_EQ(state->enumerators.at("Cancelling").description, "A request to cancel the operation has been made");
    EXPECT_EQ(registry.FindByName("BindingHelpFormat")->enumerators.at("Epytext").value, 2);
    const TypeRecord* function = registry.FindByName("BindingFullFunctionHelp");
    EXPECT_EQ(function->fields[2].type.record, registry.FindByName("BindingFullArgumentHelp"));
    EXPECT_EQ(function->fields[8].type, (TypeIdentifier{BindingType::Vector, BindingType::String, nullptr}));

    ASSERT_EQ(registry.EventCount(), 1u);
    const EventRecord* onCallback = registry.EventAt(0);
    EXPECT_EQ(onCallback->name, "OnCallback");
    EXPECT_EQ(onCallback->payload, callback);
    EXPECT_EQ(onCallback->description, "Fired when a callback is invoked.");
    EXPECT_EQ(onCallback->tags, std::vector<std::string>{"$builtin"});
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
    EXPECT_EQ(WalkList(table.types).size(), 17u);
    EXPECT_EQ(WalkList(table.events).size(), 2u);
    EXPECT_EQ(WalkList(table.functions).size(), 2u);
    // Indexing and following next agree.
    for (std::uint32_t i = 0; i + 1 < table.typeCount; ++i) {
        EXPECT_EQ(Read<const ApiTypeDescription*>(&table.types[i], 0), &table.types[i + 1]);
    }
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

TEST_F(ApiDescriptionTest, RecordsHaveFieldsAndEnumerationsEnumeratorsInNameOrder) {
    const ApiDescriptionTable& table = ExportApiDescription(registry);
    const ApiTypeDescription* session = FindType(table, "LoginSession");
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(Read<std::uint32_t>(session, offsetof(ApiTypeDescription, size)), sizeof(LoginSession));
    EXPECT_EQ(Read<const void*>(session, offsetof(ApiTypeDescription, enumerators)), nullptr);
    ASSERT_EQ(Read<std::uint32_t>(session, offsetof(ApiTypeDescription, memberCount)), 4u);
    using D = ApiFieldDescription;
    const auto fields = WalkList(Read<const D*>(session, offsetof(ApiTypeDescription, fields)));
    ASSERT_EQ(fields.size(), 4u);

    struct Expected {
        const char* name;
        std::uint32_t type;
        std::uint32_t element;
        const char* typeName;
        std::size_t offset;
    };
    const Expected expected[] = {
        {"state", 16, 0, "LoginSessionStates", offsetof(LoginSession, state)},
        {"summonerId", 9, 0, "", offsetof(LoginSession, summonerId)},
        {"bans", 15, 6, "", offsetof(LoginSession, bans)},
        {"level", 17, 0, "LoginSession", offsetof(LoginSession, level)},  // the declared type is exported
    };
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(Text(fields[i], offsetof(D, name)), expected[i].name);
        EXPECT_EQ(Read<std::uint32_t>(fields[i], offsetof(D, type)), expected[i].type);
        EXPECT_EQ(Read<std::uint32_t>(fields[i], offsetof(D, elementType)), expected[i].element);
        EXPECT_EQ(Text(fields[i], offsetof(D, typeName)), expected[i].typeName);
        EXPECT_EQ(Read<std::uint32_t>(fields[i], offsetof(D, offset)), expected[i].offset);
        EXPECT_EQ(Read<std::uint8_t>(fields[i], offsetof(D, optional)), 0);
    }
    EXPECT_EQ(Text(fields[1], offsetof(D, description)), "the player");

    const ApiTypeDescription* states = FindType(table, "LoginSessionStates");
    EXPECT_EQ(Read<const void*>(states, offsetof(ApiTypeDescription, fields)), nullptr);
    EXPECT_EQ(Text(states, offsetof(ApiTypeDescription, nameSpace)), "vclient");
    EXPECT_EQ(Read<std::uint32_t>(states, offsetof(ApiTypeDescription, tagCount)), 0u);
    using E = ApiEnumeratorDescription;
    const auto enumerators = WalkList(Read<const E*>(states, offsetof(ApiTypeDescription, enumerators)));
    ASSERT_EQ(enumerators.size(), 4u);
    const std::pair<const char*, std::int32_t> expectedEnumerators[] = {
        {"ERROR", 3}, {"IN_PROGRESS", 0}, {"LOGGING_OUT", 2}, {"SUCCEEDED", 1}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Text(enumerators[i], offsetof(E, name)), expectedEnumerators[i].first);
        EXPECT_EQ(Read<std::int32_t>(enumerators[i], offsetof(E, value)), expectedEnumerators[i].second);
        EXPECT_EQ(Text(enumerators[i], offsetof(E, description)), "");
    }
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

    using A = ApiArgumentDescription;
    const auto arguments = WalkList(Read<const A*>(post, offsetof(F, arguments)));
    ASSERT_EQ(arguments.size(), 3u);
    EXPECT_EQ(Text(arguments[0], offsetof(A, name)), "session");
    EXPECT_EQ(Text(arguments[0], offsetof(A, typeName)), "LoginSession");
    EXPECT_EQ(Read<std::uint32_t>(arguments[1], offsetof(A, type)), 6u);
    EXPECT_EQ(Text(arguments[1], offsetof(A, typeName)), "");
    EXPECT_EQ(Read<std::uint8_t>(arguments[1], offsetof(A, optional)), 1);
    // The argument's declared type (String) is exported, not its native Int32.
    EXPECT_EQ(Read<std::uint32_t>(arguments[2], offsetof(A, type)), 12u);
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
