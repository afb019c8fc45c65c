// The events the plug-in dispatches, fanned out to the readers of the event stream
// (GET /events). The plug-in thread publishes and never waits for a reader: each reader
// has a queue of at most `queueLimit` events, and a reader that falls that far behind is
// cut off (its stream ends, the client may reconnect) instead of holding memory. At most
// `readerLimit` readers at once, since each one holds an HTTP worker thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

namespace qivhost {

struct StreamedEvent {
    std::string name;
    std::string payloadJson;
};

enum class StreamWait {
    Event,      // `out` holds the next event
    Idle,       // nothing came within the timeout
    Closed,     // the hub is closing: end the stream
    CutOff,     // the reader fell behind and lost events: end the stream
};

class EventStreamHub {
public:
    explicit EventStreamHub(std::size_t queueLimit = 1024, std::size_t readerLimit = 16)
        : queueLimit_(queueLimit), readerLimit_(readerLimit) {}

    // A new reader's id, or 0 when the hub is closed or has its readers already.
    std::uint64_t Join();
    void Leave(std::uint64_t reader);
    void Publish(const StreamedEvent& event);
    // Waits up to `timeout` for the reader's next event.
    StreamWait Next(std::uint64_t reader, std::chrono::milliseconds timeout, StreamedEvent& out);
    // Wakes every reader with Closed; Join refuses from now on.
    void Close();
    [[nodiscard]] std::size_t Readers() const;

private:
    struct Reader {
        std::deque<StreamedEvent> queue;
        bool cutOff = false;
    };

    const std::size_t queueLimit_;
    const std::size_t readerLimit_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::uint64_t, Reader> readers_;
    std::uint64_t nextId_ = 1;
    bool closed_ = false;
};

// One event in the text/event-stream format: "event: NAME\ndata: JSON\n\n". A line break
// in the name would end the field early, so it becomes a blank; one in the payload starts
// another data line.
[[nodiscard]] std::string FormatStreamEvent(const StreamedEvent& event);

}  // namespace qivhost
