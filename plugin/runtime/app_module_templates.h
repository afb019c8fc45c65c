// Definitions of AppModule's member templates; included at the end of app_module.h.
#pragma once

namespace vclient {

// ---- Requests -------------------------------------------------------------------------

template <class A>
void AppModule::AddParameter(BindingResult& result, RequestParameters& parameters, const A& argument) {
    if (!result.Succeeded()) return;
    BindingResult converted;
    ToBinding(converted, argument, Types());
    if (!converted.Succeeded()) {
        result.Fail(converted.ErrorMessage());
        return;
    }
    if (!BindingToHostValue(parameters.Add(), converted.Value(), &Types())) {
        result.Fail("Couldn't convert the value for the host");
    }
}

template <class R, class... A>
MaybeType<Failure, R> AppModule::Request(HttpMethod method, std::string_view url, const A&... arguments) {
    RequestParameters parameters;
    BindingResult converted;
    (AddParameter(converted, parameters, arguments), ...);
    if (!converted.Succeeded()) {
        return Failure::Named(400, "Request not sent: Error converting parameters for {method} {url}: {error}",
                              HttpMethodWord(method), url, converted.ErrorMessage());
    }
    if constexpr (std::is_void_v<R>) {
        return SendRequest(method, url, parameters, nullptr);
    } else {
        BindingProperty body;
        MaybeType<Failure, void> sent = SendRequest(method, url, parameters, &body);
        if (!sent.Succeeded()) return sent.GetFailure();
        BindingResult result;
        R value{};
        FromBinding(result, body, value, "<result>", Types());
        if (!result.Succeeded()) {
            return Failure::Named(0, "Error converting response for {method} {url}: {error}", HttpMethodWord(method),
                                  url, result.ErrorMessage());
        }
        return MaybeType<Failure, R>(std::move(value));
    }
}

// ---- Resource events ------------------------------------------------------------------

template <class T>
void AppModule::ObserveResource(const std::string& uri, std::function<void(const ResourceEvent<T>&)> handler) {
    RawHandler wrapped = [this, handler = std::move(handler)](const PluginResourceEvent& event) {
        ResourceEvent<T> typed;
        typed.uri = event.uri;
        typed.eventType = event.eventType;
        if (event.eventType != PluginResourceEventType::Delete) {
            BindingResult result;
            FromBinding(result, event.data, typed.value, "<value>", Types());
            if (!result.Succeeded()) {
                LogTrace("Couldn't convert resource %s to C++ while handling update for URL: %s",
                         std::string(StaticType::Name<T>()).c_str(), event.uri.c_str());
                return;
            }
        }
        handler(typed);
    };
    RegisterResourceHandler(uri, wrapped);
    Subscribe(uri);
    if (uri.find('*') == std::string::npos) ReadInitialResource(uri, wrapped);
}

template <class T>
void AppModule::PublishEvent(const std::string& uri, PluginResourceEventType type, const T& value) {
    BindingResult converted;
    ToBinding(converted, value, Types());
    if (!converted.Succeeded()) {
        LogTrace("%s: Couldn't convert resource %s for event uri \"%s\"", ModuleName().c_str(),
                 std::string(StaticType::Name<T>()).c_str(), uri.c_str());
        return;
    }
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = type;
    event.data = std::move(converted.Value());
    (void)SendEvent("OnJsonApiEvent", event);
}

template <class T>
void AppModule::PublishResource(const std::string& uri, const T& value) {
    PublishEvent(uri, PluginResourceEventType::Create, value);
}

template <class T>
void AppModule::PublishUpdate(const std::string& uri, const T& value) {
    PublishEvent(uri, PluginResourceEventType::Update, value);
}

// ---- Service proxy and Vyre -----------------------------------------------------------

template <class Req>
std::string AppModule::StartServiceProxyRequest(const std::string& service, const std::string& method,
                                                const Req& request, const std::string& methodOption,
                                                const std::string& secondOption,
                                                std::function<void(const PluginServiceProxyResponse&)> completion) {
    if (stopping_ != 0) return "Finalizing";
    BindingResult converted;
    ToBinding(converted, request, Types());
    if (!converted.Succeeded()) {
        return Failure::Named(0, "Failed to convert type {type} to BindingProperty for serialization",
                              StaticType::Name<Req>())
            .message;
    }
    const std::string payload = BindingToJson(converted.Value(), &Types(), nullptr);
    return StartPreparedRequest(service, method, payload, methodOption, secondOption, std::move(completion));
}

template <class Resp, class Req>
std::future<MaybeType<Failure, Resp>> AppModule::CallServiceProxy(const std::string& service,
                                                                  const std::string& method, const Req& request) {
    auto promise = std::make_shared<std::promise<MaybeType<Failure, Resp>>>();
    std::future<MaybeType<Failure, Resp>> future = promise->get_future();
    auto completion = [this, promise](const PluginServiceProxyResponse& reply) {
        if (!reply.error.empty()) {
            promise->set_value(Failure(0, reply.error));
            return;
        }
        BindingResult parsed = JsonToBinding(reply.payload);
        Resp value{};
        if (parsed.Succeeded()) {
            BindingResult converted;
            FromBinding(converted, parsed.Value(), value, "<value>", Types());
            if (converted.Succeeded()) {
                promise->set_value(MaybeType<Failure, Resp>(std::move(value)));
                return;
            }
        }
        promise->set_value(Failure::Named(0, "Failed to deserialize response payload \"{payload}\" to a {type}",
                                          reply.payload, StaticType::Name<Resp>()));
    };
    const std::string refused = StartServiceProxyRequest(service, method, request, "", "", completion);
    if (!refused.empty()) promise->set_value(Failure(0, refused));
    return future;
}

template <class... A>
std::future<MaybeType<Failure, void>> AppModule::InvokeVyre(const std::string& destination,
                                                            const std::string& method, const A&... arguments) {
    BindingResult collected;
    collected.Value().EnsureCollection();
    auto add = [&](const auto& argument) {
        if (!collected.Succeeded()) return;
        using Argument = std::decay_t<decltype(argument)>;
        BindingResult converted;
        ToBinding(converted, argument, Types());
        if (!converted.Succeeded()) {
            collected.Fail(converted.ErrorMessage());
            return;
        }
        BindingProperty& slot = collected.Value().Append();
        slot = std::move(converted.Value());
        AnnotateVyreClasses(slot, Types().FindByKey(StaticType::Key<Argument>()));
    };
    (add(arguments), ...);
    return InvokeVyreWith(destination, method, collected);
}

template <class T>
void AppModule::SubscribeVyre(const std::string& typeName, std::function<void(const T&)> handler) {
    vyreHandlers_[typeName] = [this, handler = std::move(handler)](const BindingProperty& body) {
        BindingResult converted;
        T value{};
        FromBinding(converted, body, value, "<value>", Types());
        if (!converted.Succeeded()) {
            LogTrace("%s: Couldn't convert VYRE DTO %s to C++ from %s", ModuleName().c_str(),
                     std::string(StaticType::Name<T>()).c_str(), BindingToJson(body, &Types(), nullptr).c_str());
            return;
        }
        handler(value);
    };
    std::string name = "OnVyreEvent_" + typeName;
    for (char& c : name) {
        if (c == '.') c = '_';
    }
    LogTrace("%s: Subscribing to VYRE event: %s", ModuleName().c_str(), name.c_str());
    SubscribeWithHandler(name, 1, [this](const BindingProperty& payload) { DispatchVyre(payload); });
}

// ---- Waiting --------------------------------------------------------------------------

template <class T>
MaybeType<Failure, T> AppModule::Await(std::future<MaybeType<Failure, T>> future) {
    try {
        if (!future.valid()) throw std::future_error(std::future_errc::no_state);
        {
            WaitTurns turns(*this, StaticType::Name<MaybeType<Failure, T>>());
            while (future.wait_for(std::chrono::seconds(0)) == std::future_status::timeout) turns.NotReady();
        }
        return future.get();
    } catch (const std::future_error& error) {
        RaiseBrokenFuture(error);
    }
}

}  // namespace vclient
