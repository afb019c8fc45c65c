// ResponseStream: a response body that a handler produces piece by piece instead of as one
// value. A handler hands one over through CallResult::SetStream; the router then gives the
// host two adapters (readChunk, closeStream) that call Read and Close, and the stream is
// destroyed when the host releases the response.
//
// Contract: Read and Close are called on the host's threads, one call at a time for one
// stream. Close is called at most once, either by the host or, when the host never closed
// the stream, on release. Neither may throw out of the router: an exception from Read
// reads as a failed read, one from Close is dropped.
#pragma once

#include <cstdint>

namespace vclient {

class ResponseStream {
public:
    ResponseStream() = default;
    ResponseStream(const ResponseStream&) = delete;
    ResponseStream& operator=(const ResponseStream&) = delete;
    virtual ~ResponseStream() = default;

    // Writes at most `length` bytes into `buffer` and sets `length` to the number written;
    // sets `more` to false after the last chunk. Returns false when the read failed.
    [[nodiscard]] virtual bool Read(char* buffer, std::uint32_t& length, bool& more) = 0;
    // Ends the stream; no Read follows.
    virtual void Close() {}
    // The expected body length in bytes, for the reader's buffer; 0 when unknown.
    [[nodiscard]] virtual std::uint32_t SizeHint() const { return 0; }
};

}  // namespace vclient
