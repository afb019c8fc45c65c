// Writes the host's answers into the plug-in's HostResponse records and takes them back.
//
// Fill() writes status, error text or body, or a stream (readChunk, closeStream,
// sizeHint, streamContext), and always sets `release`. Everything it allocates is the
// host's; the plug-in calls release exactly once when done, which frees it. A release
// of a record the host never filled, or a second release, frees nothing and is counted
// in UnknownReleases(). Records the plug-in never released are freed when the ledger goes
// away and show up as Outstanding() before that.
//
// Threading: release may come from any thread; the ledger's table is locked.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/component_answer.h"
#include "qiv/plugin_abi.h"

namespace qivhost {

struct ResponseCounts {
    std::uint64_t filled = 0;
    std::uint64_t released = 0;
    std::uint64_t streamReads = 0;
    std::uint64_t failedStreamReads = 0;
    std::uint64_t streamCloses = 0;
    std::uint64_t refilledBeforeRelease = 0;  // a record filled again while still unreleased
};

class ResponseLedger {
public:
    ResponseLedger() = default;
    ~ResponseLedger();
    ResponseLedger(const ResponseLedger&) = delete;
    ResponseLedger& operator=(const ResponseLedger&) = delete;

    void Fill(HostResponse& response, ComponentAnswer answer);
    [[nodiscard]] ResponseCounts Counts() const;
    [[nodiscard]] std::size_t Outstanding() const;
    [[nodiscard]] static std::uint64_t UnknownReleases();

private:
    friend struct LedgerAccess;
    ResponseCounts counts_;
};

}  // namespace qivhost
