#include "binding/builtin_types.h"

#include "binding/binding_registry.h"
#include "binding/register_type.h"

namespace vclient {

namespace {

constexpr std::string_view kBuiltin = "$builtin";
constexpr std::string_view kHelp = "help";
constexpr std::string_view kAsync = "async";

void RegisterAsyncAndEventTypes(BindingRegistry& registry) {
    RegisterEnum<BindingAsyncState>(registry, "BindingAsyncState")
        .Description("Possible states of an asynchronous operation.")
        .Tags({kBuiltin, kAsync})
        .QIV_ENUMERATOR(None, "Invalid state")
        .QIV_ENUMERATOR(Running, "The operation is in flight")
        .QIV_ENUMERATOR(Cancelling, "A request to cancel the operation has been made")
        .QIV_ENUMERATOR(Cancelled, "The operation was cancelled")
        .QIV_ENUMERATOR(Succeeded, "The operation completed successfully")
        .QIV_ENUMERATOR(Failed, "The operation encountered an error");

    RegisterRecord<BindingGenericEvent>(registry, "BindingGenericEvent")
        .Description("Represents generic data for an event.")
        .Tag(kBuiltin)
        .QIV_FIELD(data, {.description = "Event data"});
    RegisterRecord<BindingCallbackEvent>(registry, "BindingCallbackEvent")
        .Description("Represents the parameters of a call to a provided callback.")
        .Tag(kBuiltin)
        .QIV_FIELD(id, {.description = "ID of the callback being invoked"})
        .QIV_FIELD(parameters, {.description = "Callback parameters"});
    RegisterRecord<BindingGenericAsyncEvent>(registry, "BindingGenericAsyncEvent")
        .Description("Represents generic data for an asynchronous event.")
        .Tags({kBuiltin, kAsync})
        .QIV_FIELD(asyncToken, {.description = "Asynchronous operation token"})
        .QIV_FIELD(data, {.description = "Event data"});
    RegisterRecord<BindingAsyncFailureEvent>(registry, "BindingAsyncFailureEvent")
        .Description("Represents a failed asynchronous operation.")
        .Tags({kBuiltin, kAsync})
        .QIV_FIELD(asyncToken, {.description = "Asynchronous operation token"})
        .QIV_FIELD(error, {.description = "Error message"});
    RegisterRecord<BindingAsyncCancelEvent>(registry, "BindingAsyncCancelEvent")
        .Description("Represents a cancelled asynchronous operation.")
        .Tags({kBuiltin, kAsync})
        .QIV_FIELD(asyncToken, {.description = "Asynchronous operation token"});
}

void DeclareCallbackEvent(BindingRegistry& registry) {
    const auto declaration = registry.DeclareEvent("OnCallback", registry.FindByName("BindingCallbackEvent"));
    if (declaration.existed) return;
    declaration.event.description = "Fired when a callback is invoked.";
    declaration.event.tags = {std::string(kBuiltin)};
}

void RegisterDescriptionTypes(BindingRegistry& registry) {
    RegisterRecord<BindingFullTypeIdentifier>(registry, "BindingFullTypeIdentifier")
        .Description("Describes the type of a value.")
        .Tags({kBuiltin, kHelp})
        .QIV_FIELD(type)
        .QIV_FIELD(elementType);
    RegisterRecord<BindingFullArgumentHelp>(registry, "BindingFullArgumentHelp")
        .Description("Describes a function parameter.")
        .Tags({kBuiltin, kHelp})
        .QIV_FIELD(name)
        .QIV_FIELD(description)
        .QIV_FIELD(type)
        .QIV_FIELD(optional);
    RegisterRecord<BindingFullFunctionHelp>(registry, "BindingFullFunctionHelp")
        .Description("Describes a function.")
        .Tags({kBuiltin, kHelp})
        .QIV_FIELD(name)
        .QIV_FIELD(nameSpace)
        .QIV_FIELD(arguments)
        .QIV_FIELD(returns)
        .QIV_FIELD(description)
        .QIV_FIELD(help)
        .QIV_FIELD(threadSafe)
        .QIV_FIELD(async)
        .QIV_FIELD(tags);
    RegisterRecord<BindingFullEnumValueHelp>(registry, "BindingFullEnumValueHelp")
        .Description("Describes an enumerator.")
        .Tags({kBuiltin, kHelp})
        .QIV_FIELD(name)
        .QIV_FIELD(description)
        .QIV_FIELD(value);
    RegisterRecord<BindingFullFieldHelp>(registry, "BindingFullFieldHelp")
        .Description("Describes a member of a struct.")
        .Tags({kBuiltin, kHelp})
        .QIV_FIELD(name)
        .QIV_FIELD(description)
        .QIV_FIELD(offset)
        .QIV_FIELD(type)
        .QIV_FIELD(optional);
}

void RegisterHelpTypes(BindingRegistry& registry) {
    RegisterRecord<BindingFullTypeHelp>(registry, "BindingFullTypeHelp")
        .Description("Describes a struct or enum type.")
        .Tags({kBuiltin, kHelp})
        .QIV_FIELD(name)
        .QIV_FIELD(nameSpace)
        .QIV_FIELD(size)
        .QIV_FIELD(description)
        .QIV_FIELD(tags)
        .QIV_FIELD(fields)
        .QIV_FIELD(values);
    RegisterRecord<BindingFullEventHelp>(registry, "BindingFullEventHelp")
        .Description("Describes an event.")
        .Tags({kBuiltin, kHelp})
        .QIV_FIELD(name)
        .QIV_FIELD(nameSpace)
        .QIV_FIELD(type)
        .QIV_FIELD(description)
        .QIV_FIELD(tags);
    RegisterRecord<BindingFullApiHelp>(registry, "BindingFullApiHelp")
        .Description("Describes the exposed native API.")
        .Tags({kBuiltin, kHelp})
        .QIV_FIELD(functions)
        .QIV_FIELD(types)
        .QIV_FIELD(events);
    RegisterEnum<BindingHelpFormat>(registry, "BindingHelpFormat")
        .Description("Help format for binding functions and types.")
        .Tags({kBuiltin, kHelp})
        .QIV_ENUMERATOR(Full, "Native help format")
        .QIV_ENUMERATOR(Epytext, "Python epytext format");
}

}  // namespace

void RegisterBuiltinTypes(BindingRegistry& registry) {
    RegisterAsyncAndEventTypes(registry);
    DeclareCallbackEvent(registry);
    RegisterDescriptionTypes(registry);
    RegisterHelpTypes(registry);
}

}  // namespace vclient
