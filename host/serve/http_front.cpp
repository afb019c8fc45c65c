#include "serve/http_front.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "serve/api_help.h"
#include "serve/explorer_page.h"
#include "serve/host_controls.h"
#include "serve/json_out.h"
#include "serve/openapi_document.h"
#include "serve/request_guard.h"
#include "serve/step_actions.h"

namespace qivhost {
namespace {

constexpr const char* kJson = "application/json";
// Workers for connections: the event stream readers (at most the hub's limit) hold one
// each for as long as they read; the rest answer calls.
constexpr std::size_t kWorkerThreads = 24;
// A longer path is refused before any route pattern is matched against it.
constexpr std::size_t kMaxPathBytes = 4096;
// What cpp-httplib adds to the request's headers from the connection itself.
constexpr const char* kConnectionFields[] = {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const char* StatusText(int status) {
    switch (status) {
        case 400: return "Bad request";
        case 403: return "Forbidden";
        case 404: return "Not found";
        case 405: return "Method not allowed";
        case 413: return "Request body too large";
        case 414: return "Request target too long";
        case 415: return "Unsupported media type";
        case 503: return "The host is shutting down";
        default: return status >= 500 ? "Internal server error" : "Request failed";
    }
}

void Error(httplib::Response& response, int status, const std::string& text) {
    response.status = status;
    response.set_content(ErrorJson(text), kJson);
}

// cpp-httplib reads a Content-Length that is no number as 0, and would let it stand
// beside chunked transfer, where a proxy in front might frame the body otherwise.
bool LengthWellFormed(const httplib::Request& request) {
    const std::size_t lengths = request.get_header_value_count("Content-Length");
    if (lengths == 0) return true;
    const std::string length = request.get_header_value("Content-Length");
    const bool digits = !length.empty() && length.size() <= 18 &&
                        std::all_of(length.begin(), length.end(), [](char c) { return c >= '0' && c <= '9'; });
    return lengths == 1 && digits && !request.has_header("Transfer-Encoding");
}

bool Write(httplib::DataSink& sink, const std::string& text) { return sink.write(text.data(), text.size()); }

// The plug-in's answer as the HTTP answer.
void WriteAnswer(const RestAnswer& answer, httplib::Response& response) {
    std::int32_t status = EffectiveStatus(answer);
    std::optional<std::string> error = answer.errorText;
    if (status < 100 || status > 599) {
        error = "The plug-in answered the status " + std::to_string(status) + (error ? ": " + *error : std::string());
        status = 500;
    } else if (answer.streamFailed) {
        error = "The plug-in's streamed answer broke off";
        status = 500;
    }
    std::string contentType = answer.streamed ? "application/octet-stream" : kJson;
    for (const auto& [name, value] : answer.headers) {
        const std::string lower = Lower(name);
        if (lower == "content-type") contentType = value;
        const bool framing = lower == "content-length" || lower == "transfer-encoding" || lower == "connection";
        if (!name.empty() && !framing && lower != "content-type") response.set_header(name, value);
    }
    if (error) return Error(response, status, *error);
    response.status = status;
    if (status < 200 || status == 204 || status == 304) return;
    response.set_content(answer.bodyJson, answer.streamed ? contentType : kJson);
}

}  // namespace

HttpFront::HttpFront(PluginThread& plugin, EventStreamHub& events, const ServeOptions& options)
    : plugin_(plugin), events_(events), options_(options), anyAddress_(!IsLoopbackListenAddress(options.listenAddress)) {
    server_.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    server_.set_payload_max_length(options_.maxBodyBytes);
    // Answers go out at once: with Nagle's algorithm a small answer waits for the client's
    // delayed acknowledgement, some 40 ms per request on loopback.
    server_.set_tcp_nodelay(true);
    // A keep-alive connection serves as many requests as its client sends.
    server_.set_keep_alive_max_count(1000000);
    server_.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        const std::optional<std::string> origin =
            request.has_header("Origin") ? std::optional<std::string>(request.get_header_value("Origin")) : std::nullopt;
        const std::optional<std::string> refusal = RefusalOf(
            request.get_header_value_count("Host"), request.get_header_value("Host"),
            origin ? std::optional<std::string_view>(*origin) : std::nullopt, anyAddress_);
        if (refusal) {
            Error(response, 403, *refusal);
        } else if (!LengthWellFormed(request)) {
            Error(response, 400, "Malformed Content-Length, or both Content-Length and Transfer-Encoding");
        } else if (request.path.size() > kMaxPathBytes) {
            Error(response, 414, StatusText(414));
        } else if (request.is_multipart_form_data()) {
            Error(response, 415, "Multipart bodies are not supported");
        } else {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        return httplib::Server::HandlerResponse::Handled;
    });
    const httplib::Server::Handler plain = [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response, std::nullopt);
    };
    const httplib::Server::HandlerWithContentReader withBody =
        [this](const httplib::Request& request, httplib::Response& response, const httplib::ContentReader& reader) {
            HandleWithBody(request, response, reader);
        };
    server_.Get(".*", plain).Options(".*", plain);
    server_.Post(".*", withBody).Put(".*", withBody).Patch(".*", withBody).Delete(".*", withBody);
    // cpp-httplib's own refusals (400, 404, 413 ...) in the same shape as ours.
    server_.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& response) {
            if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            response.set_content(ErrorJson(StatusText(response.status)), kJson);
            return httplib::Server::HandlerResponse::Handled;
        }));
    server_.set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr) {
        Error(response, 500, StatusText(500));
    });
}

HttpFront::~HttpFront() { Stop(); }

int HttpFront::Bind(std::string& error) {
    int port = options_.port;
    if (port == 0) {
        port = server_.bind_to_any_port(options_.listenAddress);
    } else if (!server_.bind_to_port(options_.listenAddress, port)) {
        port = -1;
    }
    if (port < 0) error = "cannot listen on " + options_.listenAddress + " port " + std::to_string(options_.port);
    return port;
}

void HttpFront::Start() {
    thread_ = std::thread([this] { (void)server_.listen_after_bind(); });
    // Stop must not come before the server runs, or it would find nothing to stop.
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void HttpFront::Stop() {
    if (!thread_.joinable()) return;
    server_.stop();
    thread_.join();
}

void HttpFront::HandleWithBody(const httplib::Request& request, httplib::Response& response,
                               const httplib::ContentReader& reader) {
    // cpp-httplib checks a declared length against the limit, but not chunked or
    // compressed bodies: counted here as they arrive, decompressed.
    std::string body;
    bool tooLarge = false;
    const bool read = reader([&](const char* data, std::size_t length) {
        if (body.size() + length > options_.maxBodyBytes) {
            tooLarge = true;
            return false;
        }
        body.append(data, length);
        return true;
    });
    // A declared length over the limit: cpp-httplib has set 413 and skipped the body.
    if (tooLarge || response.status == 413) return Error(response, 413, StatusText(413));
    if (!read) return Error(response, 400, "The request body could not be read");
    const bool hasBody = request.has_header("Content-Length") || request.has_header("Transfer-Encoding");
    Handle(request, response, hasBody ? std::optional<std::string>(std::move(body)) : std::nullopt);
}

void HttpFront::Handle(const httplib::Request& request, httplib::Response& response, std::optional<std::string> body) {
    if (request.path == "/events") {
        if (request.method != "GET") return Error(response, 405, StatusText(405));
        return Stream(response);
    }
    if (request.path.rfind(kHostControlPrefix, 0) == 0) return Control(request, response, body.value_or(""));
    if (request.method == "GET" && request.path == "/") {
        const std::string_view page = ExplorerPage();
        return response.set_content(page.data(), page.size(), "text/html; charset=utf-8");
    }
    if (request.method == "GET" && (request.path == "/openapi.json" || request.path == "/help")) {
        return Describe(request.path == "/help", response);
    }
    CallPlugin(request, response, std::move(body));
}

// The description tables live while the plug-in is loaded: read on the plug-in thread.
void HttpFront::Describe(bool asHelp, httplib::Response& response) {
    std::string json;
    const bool ran = plugin_.Run([&](DevHost& host) {
        const PluginLoadRecord& record = host.LoadRecord();
        const ApiHelp help = ReadApiHelp(host.Loaded() ? record.routeTable : nullptr);
        if (asHelp) {
            json = ApiHelpJson(help);
            return;
        }
        const std::string version = std::to_string(record.apiMajor) + "." + std::to_string(record.apiMinor) + "." +
                                    std::to_string(record.apiPatch);
        json = OpenApiDocument(OpenApiSource{host.Loaded() && record.shortName != nullptr ? record.shortName : "",
                                             version, &host.Routes(), &help});
    });
    if (!ran) return Error(response, 503, StatusText(503));
    response.set_content(json, kJson);
}

void HttpFront::CallPlugin(const httplib::Request& request, httplib::Response& response,
                           std::optional<std::string> body) {
    RestCall call;
    call.method = request.method;
    call.url = request.target;
    for (const auto& [name, value] : request.headers) {
        const bool connection = std::find(std::begin(kConnectionFields), std::end(kConnectionFields), name) !=
                                std::end(kConnectionFields);
        if (!connection) call.headers.emplace_back(Lower(name), value);
    }
    call.contentType = request.get_header_value("Content-Type");
    call.body = std::move(body);
    std::optional<RestAnswer> answer;
    if (!plugin_.Run([&](DevHost& host) { answer.emplace(host.Call(call)); })) return Error(response, 503, StatusText(503));
    WriteAnswer(*answer, response);
}

void HttpFront::Control(const httplib::Request& request, httplib::Response& response, std::string body) {
    ControlRequest control{request.method, request.path, std::move(body), request.params};
    ControlAnswer answer;
    if (!plugin_.Run([&](DevHost& host) { answer = HandleHostControl(host, control); })) {
        return Error(response, 503, StatusText(503));
    }
    response.status = answer.status;
    response.set_content(answer.json, kJson);
}

void HttpFront::Stream(httplib::Response& response) {
    const std::uint64_t reader = events_.Join();
    if (reader == 0) return Error(response, 503, "Too many event stream readers");
    response.set_header("Cache-Control", "no-cache");
    const std::chrono::milliseconds interval = options_.keepAliveInterval;
    response.set_chunked_content_provider(
        "text/event-stream",
        [this, reader, interval, opened = false](std::size_t, httplib::DataSink& sink) mutable {
            // The first comment tells the reader that it receives every event from now on.
            if (!opened) {
                opened = true;
                return Write(sink, ": connected\n\n");
            }
            StreamedEvent event;
            switch (events_.Next(reader, interval, event)) {
                case StreamWait::Event: return Write(sink, FormatStreamEvent(event));
                case StreamWait::Idle: return Write(sink, ": keep-alive\n\n");
                case StreamWait::CutOff: (void)Write(sink, ": too far behind, events were lost\n\n"); break;
                case StreamWait::Closed: break;
            }
            sink.done();
            return true;
        },
        [this, reader](bool) { events_.Leave(reader); });
}

}  // namespace qivhost
