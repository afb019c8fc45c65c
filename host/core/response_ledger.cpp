#include "core/response_ledger.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace qivhost {

struct LedgerAccess {
    static ResponseCounts& Counts(ResponseLedger& ledger) { return ledger.counts_; }
};

namespace {

struct StreamState {
    std::vector<std::string> chunks;
    std::size_t index = 0;
    std::size_t offset = 0;
    std::optional<std::uint32_t> failAtRead;
    std::uint32_t reads = 0;
    ResponseLedger* owner = nullptr;
};

struct Entry {
    ResponseLedger* owner = nullptr;
    char* errorText = nullptr;
    HostValue body{};
    StreamState* stream = nullptr;
};

std::mutex& TableLock() {
    static std::mutex lock;
    return lock;
}

std::unordered_map<const HostResponse*, Entry>& Table() {
    static std::unordered_map<const HostResponse*, Entry> table;
    return table;
}

std::uint64_t& UnknownReleaseCount() {
    static std::uint64_t count = 0;
    return count;
}

void FreeEntry(Entry& entry) {
    std::free(entry.errorText);
    ClearHostValue(entry.body);
    delete entry.stream;
    entry = Entry{};
}

char* Duplicate(const std::string& text) {
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) std::abort();
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

uint8_t QIV_CALL ReadChunk(void* context, char* buffer, std::uint32_t* length, std::uint8_t* more) {
    auto* stream = static_cast<StreamState*>(context);
    if (stream == nullptr || buffer == nullptr || length == nullptr || more == nullptr) return 0;
    ResponseCounts& counts = LedgerAccess::Counts(*stream->owner);
    ++counts.streamReads;
    if (stream->failAtRead && *stream->failAtRead == stream->reads++) {
        ++counts.failedStreamReads;
        *length = 0;
        return 0;
    }
    std::uint32_t written = 0;
    if (stream->index < stream->chunks.size()) {
        const std::string& chunk = stream->chunks[stream->index];
        written = static_cast<std::uint32_t>(std::min<std::size_t>(*length, chunk.size() - stream->offset));
        if (written > 0) std::memcpy(buffer, chunk.data() + stream->offset, written);
        stream->offset += written;
        if (stream->offset >= chunk.size()) {
            ++stream->index;
            stream->offset = 0;
        }
    }
    *length = written;
    *more = stream->index < stream->chunks.size() ? 1 : 0;
    return 1;
}

void QIV_CALL CloseStream(void* context) {
    auto* stream = static_cast<StreamState*>(context);
    if (stream != nullptr) ++LedgerAccess::Counts(*stream->owner).streamCloses;
}

void QIV_CALL Release(HostResponse* response) {
    Entry entry;
    {
        std::lock_guard<std::mutex> guard(TableLock());
        const auto found = Table().find(response);
        if (found == Table().end()) {
            ++UnknownReleaseCount();
            return;
        }
        entry = found->second;
        Table().erase(found);
        ++LedgerAccess::Counts(*entry.owner).released;
    }
    FreeEntry(entry);
}

}  // namespace

ResponseLedger::~ResponseLedger() {
    std::lock_guard<std::mutex> guard(TableLock());
    for (auto it = Table().begin(); it != Table().end();) {
        if (it->second.owner != this) {
            ++it;
            continue;
        }
        FreeEntry(it->second);
        it = Table().erase(it);
    }
}

void ResponseLedger::Fill(HostResponse& response, ComponentAnswer answer) {
    Entry entry;
    entry.owner = this;
    response.status = answer.status;
    if (answer.error) {
        entry.errorText = Duplicate(*answer.error);
        response.errorText = entry.errorText;
    } else if (answer.stream) {
        entry.stream = new StreamState{answer.stream->chunks, 0, 0, answer.stream->failAtRead, 0, this};
        response.readChunk = &ReadChunk;
        response.closeStream = &CloseStream;
        response.sizeHint = answer.stream->sizeHint;
        response.streamContext = entry.stream;
    } else {
        entry.body = answer.body.Release();
        response.body = entry.body;
    }
    response.release = &Release;
    std::lock_guard<std::mutex> guard(TableLock());
    ++counts_.filled;
    auto [slot, inserted] = Table().try_emplace(&response, entry);
    if (inserted) return;
    ++counts_.refilledBeforeRelease;
    FreeEntry(slot->second);
    slot->second = entry;
}

ResponseCounts ResponseLedger::Counts() const {
    std::lock_guard<std::mutex> guard(TableLock());
    return counts_;
}

std::size_t ResponseLedger::Outstanding() const {
    std::lock_guard<std::mutex> guard(TableLock());
    return static_cast<std::size_t>(std::count_if(Table().begin(), Table().end(),
                                                  [this](const auto& item) { return item.second.owner == this; }));
}

std::uint64_t ResponseLedger::UnknownReleases() {
    std::lock_guard<std::mutex> guard(TableLock());
    return UnknownReleaseCount();
}

}  // namespace qivhost
