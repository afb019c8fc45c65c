// Test support for the router: a small service object with member operations of every
// supported shape, one route table declaring them, requests built from the ABI records
// and answers read back the way a host reads them (packed fields copied by value).
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "binding/host_value.h"
#include "binding/register_type.h"
#include "qiv/plugin_abi.h"
#include "router/api_registry.h"
#include "router/call_context.h"
#include "router/call_result.h"
#include "router/handle_call.h"
#include "router/response_stream.h"
#include "util/failure.h"
#include "util/maybe_type.h"
#include "value/binding_property.h"

namespace router_test {

using namespace vclient;

struct Item { std::string name; std::int32_t count = 0; std::vector<std::string> tags; };

enum class Color : std::int32_t { Red = 1, Green = 2 };

// Not registered: converting it fails.
struct Unregistered { std::int32_t value = 0; };

// A stream over a fixed text, handing out at most `chunk` bytes per read.
class TextStream final : public ResponseStream {
public:
    TextStream(std::string text, std::uint32_t chunk, bool* closed) : text_(std::move(text)), chunk_(chunk), closed_(closed) {}
    bool Read(char* buffer, std::uint32_t& length, bool& more) override {
        const std::size_t count = std::min<std::size_t>({text_.size() - offset_, length, chunk_});
        if (count > 0) std::memcpy(buffer, text_.data() + offset_, count);
        offset_ += count;
        length = static_cast<std::uint32_t>(count);
        more = offset_ < text_.size();
        return true;
    }
    void Close() override { *closed_ = true; }
    std::uint32_t SizeHint() const override { return static_cast<std::uint32_t>(text_.size()); }

private:
    std::string text_;
    std::size_t offset_ = 0;
    std::uint32_t chunk_;
    bool* closed_;
};

class Service {
public:
    Item GetItem(const std::string& id) { return Item{id, 3, {"a", "b"}}; }
    std::string Echo(std::string text) const { return text; }
    std::int64_t Add(std::int32_t a, std::int32_t b) { return std::int64_t{a} + b; }
    bool Flag(bool on) { return on; }
    BindingProperty Object(const BindingProperty& value) { return value; }
    std::vector<BindingProperty> Filter(const std::vector<BindingProperty>& filter) { return filter; }
    Item PostItem(const Item& item) { return item; }
    void Ack() { ++acks; }
    Color GetColor() const { return Color::Green; }
    Unregistered GetUnregistered() { return {}; }
    MaybeType<Failure, std::string> Maybe(std::int32_t code) {
        return code < 0 ? MaybeType<Failure, std::string>(std::string("fine")) : Failure(code, "downstream failed");
    }
    MaybeType<Failure, void> MaybeVoid() { return {}; }
    CallResult Attributes(std::uint32_t mode) {
        CallResult result(BindingProperty{});
        result.Outcome().Value().SetString("attributed");
        result.SetStatus(201);
        result.SetFlag(7);
        result.SetMode(mode);
        result.SetText("text attribute");
        result.AddHeader("x-one", "1");
        result.AddHeader("x-two", "2");
        return result;
    }
    CallResult Downstream(const std::string& message) { return InternalServerError(message); }
    CallResult Stream() {
        CallResult result;
        result.SetStream(std::make_unique<TextStream>(std::string(10000, 's'), 4096, &streamClosed));
        return result;
    }
    std::string Throws() { throw std::runtime_error("boom"); }
    BindingProperty Deep() {
        BindingProperty root;
        BindingProperty* current = &root;
        for (int depth = 0; depth < 300; ++depth) current = &current->Field("d");
        current->SetSigned(1);
        return root;
    }
    std::string Context(const CallContext& context, const std::string& tag) { seen = context; return tag; }
    std::string Url(CallContext context) { return context.url; }
    std::string Two(const std::string& id, std::int32_t n) { return id + ":" + std::to_string(n); }

    int acks = 0;
    bool streamClosed = false;
    CallContext seen;
};

// A request built from owned texts and arrays; Record() points into them.
class TestRequest {
public:
    TestRequest(std::uint32_t method, std::string url) : method_(method), url_(Keep(std::move(url))) {}
    TestRequest(const TestRequest&) = delete;
    TestRequest& operator=(const TestRequest&) = delete;
    ~TestRequest() {
        for (HostRequestParameter& parameter : parameters_) {
            HostValue value = parameter.value;
            HostValueClear(value);
        }
    }

    TestRequest& Word(std::string word) { word_ = Keep(std::move(word)); return *this; }
    TestRequest& Header(std::string name, std::string value) {
        headers_.push_back(HostRequestHeader{Keep(std::move(name)), Keep(std::move(value))});
        return *this;
    }
    // The body has no terminating NUL.
    TestRequest& Body(std::string contentType, const std::string& body) {
        contentType_ = Keep(std::move(contentType));
        body_.assign(body.begin(), body.end());
        return *this;
    }
    // A typed parameter; `value` is taken over and cleared with the request.
    TestRequest& Parameter(std::optional<std::string> name, HostValue value) {
        parameters_.push_back(HostRequestParameter{name ? Keep(std::move(*name)) : nullptr, value});
        return *this;
    }
    TestRequest& TextParameter(std::optional<std::string> name, const std::string& text) {
        HostValue value{};
        (void)HostValueSetText(value, text);
        return Parameter(std::move(name), value);
    }

    HostRequest Record(void* dispatchContext) const {
        HostRequest request{};
        request.method = method_;
        request.url = url_;
        request.parameters = parameters_.empty() ? nullptr : parameters_.data();
        request.parameterCount = static_cast<std::uint32_t>(parameters_.size());
        request.dispatchContext = dispatchContext;
        request.headers = headers_.empty() ? nullptr : headers_.data();
        request.headerCount = static_cast<std::uint32_t>(headers_.size());
        request.contentType = contentType_;
        request.body = body_.empty() ? nullptr : body_.data();
        request.bodyLength = static_cast<std::uint32_t>(body_.size());
        request.clientHandle = 77;
        request.methodWord = word_;
        return request;
    }

private:
    // Texts live in a deque, so the pointers handed out stay valid as more are added.
    const char* Keep(std::string text) { return texts_.emplace_back(std::move(text)).c_str(); }

    std::deque<std::string> texts_;
    std::uint32_t method_;
    const char* url_;
    const char* word_ = nullptr;
    const char* contentType_ = "";
    std::vector<HostRequestHeader> headers_;
    std::vector<char> body_;
    std::vector<HostRequestParameter> parameters_;
};

// A response as the host sees it, copied out field by field before release.
struct Answer {
    std::int32_t status = 0;
    std::optional<std::string> errorText;
    std::uint8_t errorFlag = 0;
    std::uint8_t resultFlag = 0;
    std::uint32_t resultMode = 0;
    std::optional<std::string> resultText;
    std::vector<std::pair<std::string, std::string>> headers;
    std::uint32_t bodyKind = 0;
    BindingProperty body;
    bool streamed = false;
    std::string streamText;
    bool released = false;
};

// Reads a packed field by value: a reference to it would be misaligned.
template <typename T>
T Copy(T value) { return value; }

inline std::string ReadStream(const HostResponse& response) {
    std::string text;
    for (std::uint8_t more = 1; more != 0;) {
        char buffer[4096];
        std::uint32_t length = sizeof buffer;
        if (Copy(response.readChunk)(response.streamContext, buffer, &length, &more) == 0) break;
        text.append(buffer, length);
    }
    if (Copy(response.closeStream) != nullptr) response.closeStream(response.streamContext);
    return text;
}

// Reads every field of a filled response, then releases it.
inline Answer ReadAnswer(HostResponse& response) {
    Answer answer;
    answer.status = response.status;
    if (Copy(response.errorText) != nullptr) answer.errorText = Copy(response.errorText);
    answer.errorFlag = response.errorFlag;
    answer.resultFlag = response.resultFlag;
    answer.resultMode = response.resultMode;
    if (Copy(response.resultText) != nullptr) answer.resultText = Copy(response.resultText);
    for (std::uint32_t index = 0; Copy(response.headers) != nullptr && index < response.headerCount; ++index) {
        const HostRequestHeader header = response.headers[index];
        answer.headers.emplace_back(Copy(header.name), Copy(header.value));
    }
    const HostValue body = response.body;
    answer.bodyKind = body.kind;
    BindingResult converted;
    (void)HostValueToBinding(converted, answer.body, body, "<body>");
    answer.streamed = Copy(response.readChunk) != nullptr;
    if (answer.streamed) answer.streamText = ReadStream(response);
    answer.released = Copy(response.release) != nullptr;
    if (answer.released) response.release(&response);
    return answer;
}

// The route entry of a function in a built table, or null.
inline const RouteFunctionEntry* FindEntry(const RouteTableDescriptor& table, const std::string& name) {
    for (std::uint32_t index = 0; index < table.functionCount; ++index) {
        if (name == table.functions[index].function.name) return &table.functions[index];
    }
    return nullptr;
}

// Calls a function through its route entry, as a host does, and reads the answer.
inline Answer CallEntry(const RouteFunctionEntry& entry, TestRequest& request) {
    const HostRequest record = request.Record(entry.function.dispatchContext);
    HostResponse response{};
    Copy(entry.HandleCall)(&response, &record);
    return ReadAnswer(response);
}

inline std::optional<std::string> Text(const char* text) { return std::string(text); }

inline constexpr std::uint32_t kGet = QIV_HTTP_GET;
inline constexpr std::uint32_t kPost = QIV_HTTP_POST;
inline constexpr std::uint32_t kCustom = QIV_HTTP_CUSTOM;

// A registry with the test types; routes are the test's own.
class RouterFixture {
public:
    RouterFixture() {
        RegisterRecord<Item>(registry, "Item").QIV_FIELD(name).QIV_FIELD(count).QIV_FIELD(tags);
        RegisterEnum<Color>(registry, "Color").QIV_ENUMERATOR(Red).QIV_ENUMERATOR(Green);
    }

    const RouteTableDescriptor& Table() { return *registry.BuildRouteTable(); }

    Answer Call(const std::string& function, TestRequest& request) {
        const RouteFunctionEntry* entry = FindEntry(Table(), function);
        if (entry == nullptr) throw std::logic_error("no route entry named " + function);
        return CallEntry(*entry, request);
    }
    Answer Get(const std::string& function, const std::string& url) {
        TestRequest request(kGet, url);
        return Call(function, request);
    }

    ApiRegistry registry;
    Service service;
};

// The road of a call: the service's whole route table (function names in the comments).
class RoadFixture : public RouterFixture {
public:
    RoadFixture() {
        using M = HttpMethod;
        registry.AddRoute(M::Get, "/items/{id}", &service, &Service::GetItem);            // GetItemsById
        registry.AddRoute(M::Post, "/items", &service, &Service::PostItem).Body("item");  // PostItems
        registry.AddRoute(M::Get, "/item", &service, &Service::PostItem).Argument("item");
        registry.AddRoute(M::Get, "/text", &service, &Service::Echo).Argument("item");
        registry.AddRoute(M::Post, "/ack", &service, &Service::Ack);
        registry.AddRoute(M::Get, "/color", &service, &Service::GetColor);
        registry.AddRoute(M::Get, "/maybe", &service, &Service::Maybe).Argument("code");
        registry.AddRoute(M::Get, "/maybe-void", &service, &Service::MaybeVoid);
        registry.AddRoute(M::Get, "/attributes", &service, &Service::Attributes).Argument("mode");
        registry.AddRoute(M::Get, "/downstream", &service, &Service::Downstream).Argument("message");
        registry.AddRoute(M::Get, "/stream", &service, &Service::Stream);
        registry.AddRoute(M::Get, "/throws", &service, &Service::Throws);
        registry.AddRoute(M::Get, "/deep", &service, &Service::Deep);
        registry.AddRoute(M::Get, "/unregistered", &service, &Service::GetUnregistered);
        registry.AddRoute(M::None, "/context", &service, &Service::Context).Argument("tag");  // Context
        registry.AddRoute(M::Get, "/add", &service, &Service::Add);
        registry.AddRoute(M::Get, "/flag", &service, &Service::Flag).Argument("on");
        registry.AddRoute(M::Get, "/object", &service, &Service::Object).Argument("f");
        registry.AddRoute(M::Get, "/filter", &service, &Service::Filter).Argument("filter");
        registry.AddRoute(M::Get, "/q/{x}", &service, &Service::Echo).Query("x");  // GetQByX
        registry.AddRoute(M::Get, "/header", &service, &Service::Echo).Argument("Token");
        registry.AddRoute(M::Get, "/trace", &service, &Service::Echo).Header("x-trace");
        registry.AddRoute(M::Get, "/two/{id}", &service, &Service::Two);              // GetTwoById
        registry.AddRoute(M::Get, "/echo/{text}", &service, &Service::Echo);          // GetEchoByText
        registry.AddRoute(M::Get, "/files/{+path}", &service, &Service::Echo);        // GetFilesByPath
        registry.AddRoute(M::Get, "/qiv-honor-v2/v1/ballot", &service, &Service::Url);  // GetQivHonorV2V1Ballot
        registry.AddRoute(M::None, "/any", &service, &Service::Url);                  // Any
        registry.AddRoute("PURGE", "/cache", &service, &Service::Url);                // PurgeCache
        registry.AddRoute(M::Get, "/a/b/", &service, &Service::Url);                  // GetAB
        registry.AddRoute(M::Post, "/", &service, &Service::Url);                     // Post
        registry.AddRoute(M::Get, "", &service, &Service::Url);                       // Get
    }
};

}  // namespace router_test
