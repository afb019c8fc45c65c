// The API description's records of functions, their arguments and events, kept by the
// binding registry beside the types. The router declares functions (one per route) and
// fills them; the runtime and the plug-in declare events. The registry owns every record
// and never moves or removes one, so pointers to them stay valid while it lives.
#pragma once

#include <string>
#include <vector>

#include "binding/type_record.h"

namespace vclient {

struct ArgumentRecord {
    std::string name;
    std::string description;
    bool optional = false;
    TypeIdentifier type;
    // Shown by API descriptions instead of `type`; unused while its type is None.
    TypeIdentifier declaredType;
};

struct FunctionRecord {
    std::string name;
    std::string nameSpace;
    std::vector<ArgumentRecord> arguments;  // in declaration order
    TypeIdentifier result;
    std::vector<std::string> tags;
    std::string description;
    std::string help;
    bool threadSafe = false;
    bool isAsync = false;
    const TypeRecord* asyncResult = nullptr;  // asynchronous functions only
};

struct EventRecord {
    std::string name;
    std::string nameSpace;
    const TypeRecord* payload = nullptr;
    std::string description;
    std::vector<std::string> tags;
};

}  // namespace vclient
