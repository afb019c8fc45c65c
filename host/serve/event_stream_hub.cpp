#include "serve/event_stream_hub.h"

namespace qivhost {

std::uint64_t EventStreamHub::Join() {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || readers_.size() >= readerLimit_) return 0;
    const std::uint64_t id = nextId_++;
    readers_.emplace(id, Reader{});
    return id;
}

void EventStreamHub::Leave(std::uint64_t reader) {
    const std::lock_guard<std::mutex> lock(mutex_);
    readers_.erase(reader);
}

void EventStreamHub::Publish(const StreamedEvent& event) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (auto& [id, reader] : readers_) {
            if (reader.cutOff) continue;
            if (reader.queue.size() >= queueLimit_) {
                reader.cutOff = true;
                reader.queue.clear();
                continue;
            }
            reader.queue.push_back(event);
        }
    }
    changed_.notify_all();
}

StreamWait EventStreamHub::Next(std::uint64_t reader, std::chrono::milliseconds timeout, StreamedEvent& out) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto ready = [&] {
        const auto found = readers_.find(reader);
        return closed_ || found == readers_.end() || found->second.cutOff || !found->second.queue.empty();
    };
    changed_.wait_for(lock, timeout, ready);
    const auto found = readers_.find(reader);
    if (closed_ || found == readers_.end()) return StreamWait::Closed;
    if (found->second.cutOff) return StreamWait::CutOff;
    if (found->second.queue.empty()) return StreamWait::Idle;
    out = std::move(found->second.queue.front());
    found->second.queue.pop_front();
    return StreamWait::Event;
}

void EventStreamHub::Close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    changed_.notify_all();
}

std::size_t EventStreamHub::Readers() const {
    const std::lock_guard<std::mutex> lock(mutex_);
    return readers_.size();
}

std::string FormatStreamEvent(const StreamedEvent& event) {
    std::string name = event.name;
    for (char& c : name) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    // Each line of the payload is a data line of its own; the reader joins them again.
    std::string text = "event: " + name + "\ndata: ";
    for (const char c : event.payloadJson) {
        if (c == '\r') continue;
        text += c == '\n' ? std::string("\ndata: ") : std::string(1, c);
    }
    return text + "\n\n";
}

}  // namespace qivhost
