#include "router/api_registry.h"

#include <mutex>
#include <string>
#include <unordered_set>
#include <utility>

#include "binding/api_description.h"
#include "router/api_name.h"
#include "router/route_table.h"

namespace vclient {

namespace {

// One trailing "/" goes, unless the path is "/" itself.
std::string_view WithoutTrailingSlash(std::string_view path) {
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

// The template's variable names in order, each once: the default names of the first arguments.
std::vector<std::string> VariableNames(const RoutePattern& pattern) {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const RouteCapture& capture : pattern.Captures()) {
        if (seen.insert(capture.name).second) names.push_back(capture.name);
    }
    return names;
}

std::vector<ArgumentRecord> DefaultArguments(const std::vector<TypeIdentifier>& types,
                                             const RoutePattern& pattern) {
    const std::vector<std::string> variables = VariableNames(pattern);
    std::vector<ArgumentRecord> arguments(types.size());
    for (std::size_t index = 0; index < types.size(); ++index) {
        arguments[index].name = index < variables.size() ? variables[index] : "arg" + std::to_string(index);
        arguments[index].type = types[index];
    }
    return arguments;
}

}  // namespace

ApiRegistry::ApiRegistry() = default;

ApiRegistry::~ApiRegistry() = default;

void ApiRegistry::SetApiTags(std::vector<std::string> tags) {
    const std::lock_guard lock(Mutex());
    apiTags_ = std::move(tags);
}

HttpMethod ApiRegistry::MethodOfWord(std::string_view word) noexcept {
    if (word.empty()) return HttpMethod::None;
    for (std::uint32_t code = 1; code <= 7; ++code) {
        const HttpMethod method = HttpMethodFromCode(code);
        if (HttpMethodWord(method) == word) return method;
    }
    return HttpMethod::Custom;
}

RouteBuilder ApiRegistry::DeclareRoute(RouteDeclaration declaration) {
    const HttpMethod method = HttpMethodFromCode(HttpMethodCode(declaration.method));  // outside 1 to 8: None
    if (declaration.handler == nullptr) return {};
    if (method == HttpMethod::Custom && declaration.methodWord.empty()) return {};
    const std::string_view word = method == HttpMethod::None ? std::string_view() : declaration.methodWord;
    const std::string name = ToApiName(word, declaration.pathTemplate);
    if (name.empty()) return {};

    RouteBinding fresh;
    fresh.pathTemplate = std::string(WithoutTrailingSlash(declaration.pathTemplate));
    fresh.pattern.emplace(fresh.pathTemplate.empty() ? std::string_view(name) : std::string_view(fresh.pathTemplate));
    fresh.method = method;
    if (method == HttpMethod::Custom) fresh.methodWord = std::string(word);
    fresh.locations.assign(declaration.argumentTypes.size(), static_cast<std::uint32_t>(ArgumentLocation::Any));
    fresh.handler = std::move(declaration.handler);

    const std::lock_guard lock(Mutex());
    const FunctionDeclaration declared = DeclareFunction(name);
    FunctionRecord& function = declared.function;
    auto found = routes_.find(&function);
    if (found == routes_.end()) {
        found = routes_.emplace(&function, std::make_unique<RouteBinding>()).first;
    } else if (table_ != nullptr) {
        return {};  // the host routes by the table already built: its bindings stay as they are
    }
    // A function declared again keeps its binding, whose address the table hands the host,
    // and takes everything else from the later declaration.
    RouteBinding& binding = *found->second;
    binding = std::move(fresh);
    binding.function = &function;
    binding.context = {this, &binding};
    function.arguments = DefaultArguments(declaration.argumentTypes, *binding.pattern);
    function.result = declaration.result;
    function.tags = apiTags_;
    NoteChange();
    return RouteBuilder(*this, binding);
}

bool ApiRegistry::DeclareArgument(RouteBinding& binding, std::size_t index, ArgumentLocation location,
                                  std::string_view name, std::string_view description) {
    const std::lock_guard lock(Mutex());
    std::vector<ArgumentRecord>& arguments = binding.function->arguments;
    if (index >= arguments.size()) return false;
    arguments[index].name = std::string(name);
    arguments[index].description = std::string(description);
    if (binding.locations.size() <= index) {
        binding.locations.resize(index + 1, static_cast<std::uint32_t>(ArgumentLocation::Any));
    }
    binding.locations[index] = static_cast<std::uint32_t>(location);
    NoteChange();
    return true;
}

const RouteBinding* ApiRegistry::FindRoute(const FunctionRecord& function) const {
    const std::lock_guard lock(Mutex());
    const auto found = routes_.find(&function);
    return found == routes_.end() ? nullptr : found->second.get();
}

const RouteBinding* ApiRegistry::FindRoute(std::string_view functionName) const {
    const FunctionRecord* function = FindFunction(functionName);
    return function == nullptr ? nullptr : FindRoute(*function);
}

std::size_t ApiRegistry::RouteCount() const {
    const std::lock_guard lock(Mutex());
    return routes_.size();
}

const RouteTableDescriptor* ApiRegistry::BuildRouteTable() {
    const std::lock_guard lock(Mutex());
    if (table_ != nullptr) return &table_->Descriptor();
    const ApiDescriptionTables& description = DescriptionTables();
    auto table = std::make_unique<RouteTable>();
    const std::uint32_t count = description.Table().functionCount;
    for (std::uint32_t index = 0; index < count; ++index) {
        const FunctionRecord* function = FunctionAt(index);
        const auto found = function == nullptr ? routes_.end() : routes_.find(function);
        table->AddFunction(description.Function(index), found == routes_.end() ? nullptr : found->second.get());
    }
    table->Finish(description.Table());
    table_ = std::move(table);
    return &table_->Descriptor();
}

}  // namespace vclient
