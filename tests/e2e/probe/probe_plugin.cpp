// The probe: a plug-in built only for the end-to-end tests, answering to the export the
// host knows. It exercises the runtime's roads one by one: argument binding from path,
// query, header and body; outgoing GETs; service-proxy calls (uuid- and method-based);
// exact and pattern observers, the exact one publishing a mirror (an item named "ask"
// makes it wait for a lookup of its own); Vyre; telemetry. Everything a handler sees is
// noted in order and readable at GET "/qiv-probe/v1/seen".
#include <cstdint>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "binding/register_type.h"
#include "qiv/plugin_abi.h"
#include "router/api_registry.h"
#include "router/call_result.h"
#include "runtime/plugin_base.h"
#include "util/format_positional.h"

namespace qivprobe {

struct ProbeItem {
    std::string name;
    std::int32_t count = 0;
    std::vector<std::string> tags;
};

struct ProbeEcho {
    std::string id;
    std::int32_t limit = 0;
    std::string trace;
    bool verbose = false;
};

struct ProbeNote {
    std::string text;
    std::int32_t level = 0;
};

struct ProbeLetter {
    std::string subject;
    ProbeNote note;
    std::vector<ProbeNote> notes;
};

namespace {

using vclient::BindingProperty;
using vclient::CallResult;
using vclient::Failure;
using vclient::HttpMethod;
using vclient::MaybeType;
using vclient::PluginResourceEventType;
using vclient::ResourceEvent;

constexpr char kSourceItemUri[] = "/probe-source/v1/item";
constexpr char kSourceItemsPattern[] = "/probe-source/v1/items/*";
constexpr char kMirrorUri[] = "/qiv-probe/v1/mirror";
constexpr char kVyreNoteUri[] = "/qiv-probe/v1/vyre-note";
constexpr char kNoteClass[] = "probe.messages.Note";
constexpr char kLetterClass[] = "probe.messages.Letter";
constexpr char kServer[] = "probe.server";
constexpr char kMethodOption[] = "probe-option";

// The words of PluginResourceEventType, by value.
constexpr const char* kEventTypeWords[] = {"Create", "Update", "Delete"};

class ProbePlugin final : public vclient::PluginBase {
public:
    void RegisterApi() override {
        RegisterRecords();
        RegisterRoutes();
    }

    bool Start() override {
        ObserveResource<ProbeItem>(kSourceItemUri, [this](const ResourceEvent<ProbeItem>& e) { OnSourceItem(e); });
        ObserveResource<ProbeItem>(kSourceItemsPattern,
                                   [this](const ResourceEvent<ProbeItem>& e) { OnSourceItems(e); });
        SubscribeVyre<ProbeNote>(kNoteClass, [this](const ProbeNote& note) { OnVyreNote(note); });
        return true;
    }

private:
    void RegisterRecords() {
        vclient::ApiRegistry& r = Registry();
        const std::string& p = RoutePrefix();
        vclient::RegisterRecord<ProbeItem>(r, p + "Item").QIV_FIELD(name).QIV_FIELD(count).QIV_FIELD(tags);
        vclient::RegisterRecord<ProbeEcho>(r, p + "Echo").QIV_FIELD(id).QIV_FIELD(limit).QIV_FIELD(trace)
            .QIV_FIELD(verbose);
        vclient::RegisterRecord<ProbeNote>(r, p + "Note").QIV_FIELD(text).QIV_FIELD(level);
        vclient::RegisterRecord<ProbeLetter>(r, p + "Letter").QIV_FIELD(subject).QIV_FIELD(note).QIV_FIELD(notes);
        SetVyreClassName(vclient::StaticType::Key<ProbeNote>(), kNoteClass);
        SetVyreClassName(vclient::StaticType::Key<ProbeLetter>(), kLetterClass);
    }

    void RegisterRoutes() {
        vclient::ApiRegistry& api = Registry();
        api.AddRoute(HttpMethod::Get, "/qiv-probe/v1/echo/{id}", this, &ProbePlugin::Echo)
            .Path("id").Query("limit").Header("x-trace").Argument("verbose");
        api.AddRoute(HttpMethod::Get, "/qiv-probe/v1/resource", this, &ProbePlugin::ReadResource).Query("uri");
        api.AddRoute(HttpMethod::Post, "/qiv-probe/v1/lookup", this, &ProbePlugin::Lookup).Body("item");
        api.AddRoute(HttpMethod::Post, "/qiv-probe/v1/method-call", this, &ProbePlugin::MethodCall).Query("method");
        api.AddRoute(HttpMethod::Post, "/qiv-probe/v1/vyre", this, &ProbePlugin::SendLetter).Body("letter");
        api.AddRoute(HttpMethod::Post, "/qiv-probe/v1/telemetry/{name}", this, &ProbePlugin::SendTelemetry)
            .Path("name").Body("data");
        api.AddRoute(HttpMethod::Get, "/qiv-probe/v1/seen", this, &ProbePlugin::Seen);
    }

    // ---- Routes ----

    ProbeEcho Echo(const std::string& id, std::int32_t limit, const std::string& trace, bool verbose) {
        return ProbeEcho{id, limit, trace, verbose};
    }

    CallResult ReadResource(const std::string& uri) {
        MaybeType<Failure, BindingProperty> read = Request<BindingProperty>(HttpMethod::Get, uri);
        if (!read.Succeeded()) return vclient::InternalServerError(read.GetFailure().message);
        return CallResult(std::move(read).Value());
    }

    MaybeType<Failure, ProbeItem> Lookup(const ProbeItem& item) {
        return Await(CallServiceProxy<ProbeItem>(kServer, "lookup", item));
    }

    // A method-based request; its answer is the reply's payload text.
    MaybeType<Failure, std::string> MethodCall(const std::string& method) {
        auto promise = std::make_shared<std::promise<MaybeType<Failure, std::string>>>();
        std::future<MaybeType<Failure, std::string>> future = promise->get_future();
        const ProbeNote request{method, 1};
        const std::string refused = StartServiceProxyRequest(
            kServer, method, request, kMethodOption, "", [promise](const vclient::PluginServiceProxyResponse& reply) {
                if (!reply.error.empty()) {
                    promise->set_value(Failure(0, reply.error));
                    return;
                }
                promise->set_value(MaybeType<Failure, std::string>(reply.payload));
            });
        if (!refused.empty()) return Failure(0, refused);
        return Await(std::move(future));
    }

    MaybeType<Failure, void> SendLetter(const ProbeLetter& letter) {
        return Await(InvokeVyre("probeDestination", "deliverLetter", letter));
    }

    MaybeType<Failure, void> SendTelemetry(const std::string& name, const BindingProperty& data) {
        vclient::TelemetrySender* sender = Telemetry();
        if (sender == nullptr) return Failure(503, "Not attached");
        return Await(sender->SendTelemetry(name, data));
    }

    std::vector<std::string> Seen() { return seen_; }

    // ---- Observers ----

    void Note(const char* observer, const ResourceEvent<ProbeItem>& event) {
        const char* type = kEventTypeWords[static_cast<int>(event.eventType)];
        seen_.push_back(
            vclient::Format("%1 %2 %3 %4/%5", observer, type, event.uri, event.value.name, event.value.count));
    }

    // An item named "ask" makes the observer wait for a lookup of its own: a wait nested
    // in the delivery, which may itself run inside another handler's wait.
    void OnSourceItem(const ResourceEvent<ProbeItem>& event) {
        Note("exact", event);
        if (event.value.name == "ask") {
            MaybeType<Failure, ProbeItem> answer = Lookup(event.value);
            seen_.push_back(answer.Succeeded() ? "asked " + answer.Value().name
                                               : "ask failed: " + answer.GetFailure().message);
        }
        if (event.eventType == PluginResourceEventType::Delete) {
            DeleteResource(kMirrorUri);
            return;
        }
        PublishResource(kMirrorUri, event.value);
    }

    void OnSourceItems(const ResourceEvent<ProbeItem>& event) { Note("pattern", event); }

    void OnVyreNote(const ProbeNote& note) {
        seen_.push_back(vclient::Format("vyre %1/%2", note.text, note.level));
        PublishResource(kVyreNoteUri, note);
    }

    std::vector<std::string> seen_;
};

}  // namespace
}  // namespace qivprobe

// The host knows one export name; the probe answers to it like the real plug-in.
extern "C" QIV_EXPORT void QIV_CALL load_qiv_honor_v2(PluginLoadRecord* record) {
    if (record == nullptr) return;
    auto* plugin = new qivprobe::ProbePlugin();
    plugin->Register(record, "qiv-probe");
}
