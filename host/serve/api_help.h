// The plug-in's API as the host presents it, read from the description tables the
// plug-in hands over at load (the route table descriptor: the function entries, then the
// types and the events), and written as the help records: a BindingFullApiHelp of
// BindingFullFunctionHelp, BindingFullTypeHelp and BindingFullEventHelp, field names as
// the records name them (GET /help). The OpenAPI document is built from the same reading.
//
// Reading: the function entries by index, as the routes are read; every other array as a
// list along its next pointers, ending at its count or at a null pointer, whichever comes
// first, and after kMaxRouteEntries records at most; a null text reads as empty. The tables live while the plug-in is loaded: read them on the thread
// that owns the plug-in, and keep only the copy.
//
// A type identifier is written as two texts: "type" is the registered name of the record
// or enumeration for "struct" and "enum" when the plug-in names one, else the type's word
// ("bool" ... "map", empty for 0 and unknown codes); "elementType" is, for "vector" and
// "map", the registered name of the element's record or enumeration when named, else the
// element's word; empty for every other type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qiv/plugin_abi.h"

namespace qivhost {

struct HelpTypeIdentifier {
    std::uint32_t type = 0;
    std::uint32_t elementType = 0;
    std::string typeName;  // the registered record or enumeration, when the plug-in names one
};

struct HelpArgument {
    std::string name;
    std::string description;
    HelpTypeIdentifier type;
    bool optional = false;
};

struct HelpFunction {
    std::string name;
    std::string nameSpace;
    std::vector<HelpArgument> arguments;
    HelpTypeIdentifier returns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    std::string async;  // the asynchronous result's type name; empty when synchronous
    std::vector<std::string> tags;
};

struct HelpField {
    std::string name;
    std::string description;
    std::uint32_t offset = 0;
    HelpTypeIdentifier type;
    bool optional = false;
};

struct HelpEnumValue {
    std::string name;
    std::string description;
    std::int32_t value = 0;
};

struct HelpType {
    std::string name;
    std::string nameSpace;
    std::uint32_t size = 0;
    std::string description;
    std::vector<std::string> tags;
    bool enumeration = false;  // the table set the enumerator array, not the field array
    std::vector<HelpField> fields;
    std::vector<HelpEnumValue> values;
};

struct HelpEvent {
    std::string name;
    std::string nameSpace;
    std::string typeName;  // of the payload record
    std::string description;
    std::vector<std::string> tags;
};

struct ApiHelp {
    std::vector<HelpFunction> functions;
    std::vector<HelpType> types;
    std::vector<HelpEvent> events;
};

// The word of a type code ("bool" ... "map"); empty for 0 and codes above 19.
[[nodiscard]] std::string TypeWord(std::uint32_t code);
[[nodiscard]] ApiHelp ReadApiHelp(const RouteTableDescriptor* table);
// The BindingFullApiHelp record as JSON.
[[nodiscard]] std::string ApiHelpJson(const ApiHelp& help);

}  // namespace qivhost
