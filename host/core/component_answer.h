// What a client component answers to one of the plug-in's requests, before the host
// writes it into the HostResponse: a status and either an error text, a body value, or
// a streamed body given as chunks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/host_value_json.h"

namespace qivhost {

// A streamed body: each readChunk call hands out at most one chunk (less when the
// plug-in's buffer is smaller). The read numbered failAtRead (0-based) fails.
struct StreamScript {
    std::vector<std::string> chunks;
    std::uint32_t sizeHint = 0;
    std::optional<std::uint32_t> failAtRead;
};

struct [[nodiscard]] ComponentAnswer {
    std::int32_t status = 200;
    std::optional<std::string> error;
    OwnedHostValue body;
    std::optional<StreamScript> stream;

    [[nodiscard]] static ComponentAnswer Ok(OwnedHostValue body = OwnedHostValue()) {
        ComponentAnswer answer;
        answer.body = std::move(body);
        return answer;
    }
    [[nodiscard]] static ComponentAnswer Failure(std::int32_t status, std::string error) {
        ComponentAnswer answer;
        answer.status = status;
        answer.error = std::move(error);
        return answer;
    }
};

}  // namespace qivhost
