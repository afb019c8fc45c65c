#include "runtime/json_record.h"

#include "codec/json_reader.h"

namespace vclient {

BindingResult ReadJsonTree(const std::string& text) { return JsonToBinding(text); }

}  // namespace vclient
