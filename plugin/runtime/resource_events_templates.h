// Definitions of ResourceEvents' member templates; included at the end of
// resource_events.h.
#pragma once

#include "binding/conversion.h"
#include "binding/static_type.h"
#include "log/log.h"
#include "runtime/resource_events.h"
#include "value/binding_result.h"

namespace vclient {

template <class T>
void ResourceEvents::Observe(const std::string& uri, std::function<void(ResourceEvent<T>&)> handler) {
    ObserveWith(uri, [this, handler = std::move(handler)](const PluginResourceEvent& event) {
        ResourceEvent<T> typed;
        typed.uri = event.uri;
        typed.eventType = event.eventType;
        if (event.eventType != PluginResourceEventType::Delete) {
            BindingResult result;
            FromBinding(result, event.data, typed.value, "<value>", Types());
            if (!result.Succeeded()) {
                QIV_LOG_TRACE("Couldn't convert resource %s to C++ while handling update for URL: %s",
                              std::string(StaticType::Name<T>()).c_str(), event.uri.c_str());
                return;
            }
        }
        handler(typed);
    });
}

template <class T>
void ResourceEvents::Publish(const std::string& uri, PluginResourceEventType type, const T& value) {
    BindingResult converted;
    ToBinding(converted, value, Types());
    if (!converted.Succeeded()) {
        QIV_LOG_TRACE("%s: Couldn't convert resource %s for event uri \"%s\"", ModuleName().c_str(),
                      std::string(StaticType::Name<T>()).c_str(), uri.c_str());
        return;
    }
    PluginResourceEvent event;
    event.uri = uri;
    event.eventType = type;
    event.data = std::move(converted.Value());
    (void)Send("OnJsonApiEvent", event);
}

}  // namespace vclient
