// Resource-event delivery of the end-of-game statistics, measured the way the client
// delivers them: the plug-in library is loaded and initialized by the development host,
// and the loop then calls the plug-in's subscription callback itself (a lean host: no
// queue, no transcript) with the statistics as a host value, built once beforehand. One
// delivery is the plug-in's whole road: host value -> tree -> resource event -> the
// end-of-game record -> the honor handler, which keeps the record. The reference is a
// RapidJSON Document parse of the same statistics as JSON text.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include <rapidjson/document.h>

#include "core/dev_host.h"
#include "core/host_value_json.h"
#include "components/client_resource_uris.h"
#include "documents.h"
#include "side_by_side.h"

namespace {

// The plug-in, started, and its subscription to the statistics' resource.
class LoadedPlugin {
public:
    LoadedPlugin() {
        if (!host_.Load(QIV_PLUGIN_PATH, qivhost::HostVersion{}) || !host_.Initialize()) {
            error_ = "the plug-in did not start: " + host_.Error();
            return;
        }
        host_.RunUntilIdle();
        for (const qivhost::Subscription& subscription : host_.Subscriptions().All()) {
            if (subscription.name.find("eog-stats-block") != std::string::npos) {
                subscription_ = subscription;
            }
        }
        if (subscription_.callback == nullptr) {
            error_ = "the plug-in did not subscribe to the end-of-game statistics";
        }
    }
    ~LoadedPlugin() { host_.Shutdown(); }

    [[nodiscard]] const std::string& Error() const { return error_; }
    // Delivers `payload` as the subscription's event, as the client's event loop does.
    void Deliver(const HostValue& payload) const {
        HostEvent event{};
        event.name = subscription_.name.c_str();
        event.payload = payload;
        event.context = subscription_.context;
        subscription_.callback(&event);
    }

private:
    qivhost::DevHost host_;
    qivhost::Subscription subscription_;
    std::string error_;
};

// One plug-in per process: the library is loaded once.
const LoadedPlugin& Plugin() {
    static const LoadedPlugin plugin;
    return plugin;
}

// The resource event of an update of the statistics, as the client sends it.
qivhost::OwnedHostValue UpdateEvent(const std::string& statsJson) {
    const std::string json = std::string(R"({"uri":")") + qivhost::kEndOfGameStatsUri +
                             R"(","eventType":"Update","data":)" + statsJson + "}";
    qivhost::HostValueFromJson read = qivhost::HostValueFromJsonText(json);
    return std::move(read.value);
}

void EventDeliverySideBySide(benchmark::State& state) {
    const LoadedPlugin& plugin = Plugin();
    if (!plugin.Error().empty()) {
        state.SkipWithError(plugin.Error().c_str());
        return;
    }
    const std::string& text = qivbench::EndOfGame();
    const qivhost::OwnedHostValue payload = UpdateEvent(text);
    qivbench::SideBySide(
        state, [&] { plugin.Deliver(payload.Get()); },
        [&text] {
            rapidjson::Document document;
            document.Parse(text.c_str());
            benchmark::DoNotOptimize(document);
        });
}

// The delivery alone, for profiles.
void EventDelivery(benchmark::State& state) {
    const LoadedPlugin& plugin = Plugin();
    const qivhost::OwnedHostValue payload = UpdateEvent(qivbench::EndOfGame());
    for (auto _ : state) {
        plugin.Deliver(payload.Get());
    }
}

}  // namespace

BENCHMARK(EventDeliverySideBySide)->Name("EventDeliverySideBySide/EndOfGame");
BENCHMARK(EventDelivery)->Name("EventDelivery/EndOfGame");

BENCHMARK_MAIN();
