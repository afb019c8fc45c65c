#include "serve/host_controls.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <cstdlib>
#include <optional>
#include <string_view>

#include "scenarios/scenario_steps.h"
#include "serve/json_out.h"
#include "serve/step_actions.h"

namespace qivhost {
namespace {

constexpr std::string_view kResources = "/host/resources";

ControlAnswer Refuse(int status, const std::string& text) { return ControlAnswer{status, ErrorJson(text)}; }

ControlAnswer Ok(const std::vector<std::pair<std::string, std::string>>& fields) {
    return ControlAnswer{200, TextsJson(fields)};
}

// The routes that take steps, and the one kind each takes (none: any).
struct StepRoute {
    std::string_view path;
    std::optional<StepKind> kind;
    const char* action;
};

constexpr StepRoute kStepRoutes[] = {
    {"/host/steps", std::nullopt, ""},
    {"/host/sequence-event", StepKind::Sequence, "sequence"},
    {"/host/honor-server/answers", StepKind::Server, "server"},
    {"/host/messages", StepKind::Message, "message"},
    {"/host/vyre", StepKind::Vyre, "vyre"},
    {"/host/clock", StepKind::Advance, "advance"},
};

ControlAnswer PlaySteps(DevHost& host, const StepRoute& route, const std::string& body) {
    rapidjson::Document document;
    document.Parse(body.c_str(), body.size());
    if (document.HasParseError()) {
        return Refuse(400, std::string("The body is not JSON: ") + rapidjson::GetParseError_En(document.GetParseError()) +
                               " (at offset " + std::to_string(document.GetErrorOffset()) + ")");
    }
    std::vector<const rapidjson::Value*> objects;
    if (document.IsArray() && !route.kind) {
        for (const rapidjson::Value& element : document.GetArray()) objects.push_back(&element);
    } else {
        objects.push_back(&document);
    }
    // Every step is read before any is played, so a bad one changes nothing.
    std::vector<ScenarioStep> steps(objects.size());
    for (std::size_t i = 0; i < objects.size(); ++i) {
        std::string error;
        if (!ReadScenarioStep(*objects[i], "step " + std::to_string(i + 1), steps[i], error)) return Refuse(400, error);
        if (route.kind && steps[i].kind != *route.kind) {
            return Refuse(400, std::string(route.path) + " takes a \"" + route.action + "\" step");
        }
        if (steps[i].kind == StepKind::Call) return Refuse(400, "step " + std::to_string(i + 1) + ": make calls over HTTP");
    }
    for (std::size_t i = 0; i < steps.size(); ++i) {
        std::string error;
        if (!ApplyHostStep(host, steps[i], error)) return Refuse(400, "step " + std::to_string(i + 1) + ": " + error);
        if (!steps[i].hold) (void)host.RunUntilIdle();
    }
    return ControlAnswer{200, "{\"played\":" + std::to_string(steps.size()) + "}"};
}

ControlAnswer Resource(DevHost& host, const ControlRequest& request) {
    const std::string uri = request.path.substr(kResources.size());
    if (uri.size() < 2 || uri[0] != '/') return Refuse(404, "No resource named in " + request.path);
    // The URI reaches the plug-in as a C string, which would end at a NUL.
    if (uri.find('\0') != std::string::npos) return Refuse(400, "A resource URI must not contain a NUL character");
    if (request.method == "GET") {
        const std::optional<std::string> json = host.Components().resources.Json(uri);
        return json ? ControlAnswer{200, *json} : Refuse(404, "No resource at " + uri);
    }
    if (request.method == "PUT" || request.method == "POST") {
        const bool existed = host.Components().resources.Has(uri);
        std::string error;
        if (!host.SetResource(uri, request.body, &error)) return Refuse(400, "The body is not JSON: " + error);
        return Ok({{"uri", uri}, {"change", existed ? "Update" : "Create"}});
    }
    if (request.method == "DELETE") {
        if (!host.DeleteResource(uri)) return Refuse(404, "No resource at " + uri);
        return Ok({{"uri", uri}, {"change", "Delete"}});
    }
    return Refuse(405, "Method not allowed");
}

std::size_t Since(const ControlRequest& request) {
    const auto found = request.query.find("since");
    if (found == request.query.end()) return 0;
    return static_cast<std::size_t>(std::strtoull(found->second.c_str(), nullptr, 10));
}

}  // namespace

ControlAnswer HandleHostControl(DevHost& host, const ControlRequest& request) {
    const std::string& path = request.path;
    const bool get = request.method == "GET";
    if (path == "/host/transcript") {
        return get ? ControlAnswer{200, TranscriptJson(host.History(), Since(request))} : Refuse(405, "Method not allowed");
    }
    if (path == "/host/routes") return get ? ControlAnswer{200, RouteTableJson(host.Routes())} : Refuse(405, "Method not allowed");
    if (path.rfind(kResources, 0) == 0 && (path.size() == kResources.size() || path[kResources.size()] == '/')) {
        return Resource(host, request);
    }
    for (const StepRoute& route : kStepRoutes) {
        if (path != route.path) continue;
        return request.method == "POST" ? PlaySteps(host, route, request.body) : Refuse(405, "Method not allowed");
    }
    return Refuse(404, "No host control at " + path);
}

}  // namespace qivhost
