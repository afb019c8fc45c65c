#include "platform/debugger_observer.h"

#include <atomic>

#include "platform/platform.h"

namespace vclient::platform {
namespace {

struct DebuggerSink {
    std::atomic<DebuggerObserver> observer{nullptr};
    std::atomic<void*> context{nullptr};
};

DebuggerSink& Sink() {
    static DebuggerSink sink;
    return sink;
}

}  // namespace

void NotifyDebuggerObserver(const char* text) {
    DebuggerSink& sink = Sink();
    const DebuggerObserver observer = sink.observer.load(std::memory_order_acquire);
    if (observer != nullptr && text != nullptr) observer(sink.context.load(std::memory_order_acquire), text);
}

void SetDebuggerObserver(DebuggerObserver observer, void* context) {
    DebuggerSink& sink = Sink();
    sink.observer.store(nullptr, std::memory_order_release);
    sink.context.store(context, std::memory_order_release);
    sink.observer.store(observer, std::memory_order_release);
}

}  // namespace vclient::platform
