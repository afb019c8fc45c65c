#include "core/outgoing_request.h"

#include "core/http_method_names.h"

namespace qivhost {

OutgoingRequest OutgoingRequest::From(const HostRequest& request) {
    OutgoingRequest copy;
    const std::uint32_t code = request.method;
    copy.method = code <= 8 ? code : 0;
    const char* word = request.methodWord;
    copy.methodWord = copy.method == 8 ? std::string(word == nullptr ? "" : word) : MethodWord(copy.method);
    const char* url = request.url;
    copy.hasUrl = url != nullptr;
    copy.url = url == nullptr ? std::string() : std::string(url);
    copy.clientHandle = request.clientHandle;
    const HostRequestParameter* parameters = request.parameters;
    const std::uint32_t count = parameters == nullptr ? 0 : request.parameterCount;
    for (std::uint32_t i = 0; i < count && i < kMaxRequestParameters; ++i) {
        const char* name = parameters[i].name;
        copy.parameters.push_back(RequestParameter{name == nullptr ? std::string() : std::string(name), name != nullptr,
                                                   OwnedHostValue::CopyOf(parameters[i].value)});
    }
    return copy;
}

std::string OutgoingRequest::Describe() const {
    std::string text = (methodWord.empty() ? std::string("(no method)") : methodWord) + " " +
                       (hasUrl ? "\"" + url + "\"" : std::string("(null)"));
    if (parameters.empty()) return text;
    text += " [";
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (i > 0) text += ", ";
        if (parameters[i].named) text += parameters[i].name + "=";
        text += HostValueToJson(parameters[i].value.Get());
    }
    return text + "]";
}

std::string OutgoingRequest::Path() const { return url.substr(0, url.find('?')); }

bool OutgoingRequest::TextParameter(std::size_t index, std::string& out) const {
    return index < parameters.size() && HostValueText(parameters[index].value.Get(), out);
}

bool OutgoingRequest::HandleParameter(std::size_t index, std::uint32_t& out) const {
    if (index >= parameters.size()) return false;
    const HostValue& value = parameters[index].value.Get();
    if (value.kind == QIV_HOST_VALUE_UNSIGNED && value.unsignedValue <= UINT32_MAX) {
        out = static_cast<std::uint32_t>(value.unsignedValue);
        return true;
    }
    if (value.kind == QIV_HOST_VALUE_SIGNED && value.signedValue >= 0 && value.signedValue <= INT64_C(0xFFFFFFFF)) {
        out = static_cast<std::uint32_t>(value.signedValue);
        return true;
    }
    return false;
}

}  // namespace qivhost
