// The positional parameters of one outgoing request: host values that the plug-in built
// and releases itself after the call.
#pragma once

#include <vector>

#include "binding/host_value.h"
#include "qiv/plugin_abi.h"

namespace vclient {

class RequestParameters {
public:
    RequestParameters() = default;
    RequestParameters(const RequestParameters&) = delete;
    RequestParameters& operator=(const RequestParameters&) = delete;
    ~RequestParameters() {
        for (HostRequestParameter& parameter : parameters_) HostValueClear(parameter.value);
    }

    // A new zeroed parameter (no name: outgoing parameters are positional).
    HostValue& Add() {
        parameters_.push_back(HostRequestParameter{});
        return parameters_.back().value;
    }
    [[nodiscard]] HostRequestParameter* Data() { return parameters_.empty() ? nullptr : parameters_.data(); }
    [[nodiscard]] std::uint32_t Count() const { return static_cast<std::uint32_t>(parameters_.size()); }

private:
    std::vector<HostRequestParameter> parameters_;
};

}  // namespace vclient
