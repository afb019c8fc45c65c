#include "event_name.h"

#include <gtest/gtest.h>

#include "runtime/plugin_resource_event.h"

namespace qivhost {
namespace {

// The host announces a resource under the name the plug-in's runtime subscribes to: both
// keep the URI's first three pieces, five under "qiv-platform-config".
TEST(EventName, HostAndRuntimeNameAResourcesEventAlike) {
    const struct {
        const char* uri;
        const char* name;
    } cases[] = {
        {"/qiv-gameflow/v1/session", "OnJsonApiEvent_qiv-gameflow_v1_session"},
        {"/qiv-end-of-game/v1/eog-stats-block", "OnJsonApiEvent_qiv-end-of-game_v1_eog-stats-block"},
        {"/qiv-platform-config/v1/namespaces/Honor", "OnJsonApiEvent_qiv-platform-config_v1_namespaces_Honor"},
        {"/qiv-platform-config/v1/namespaces/Honor/x/y", "OnJsonApiEvent_qiv-platform-config_v1_namespaces_Honor_x"},
        {"/qiv-login/v1/session/a/b", "OnJsonApiEvent_qiv-login_v1_session"},
        {"qiv-gameflow//v1///session/", "OnJsonApiEvent_qiv-gameflow_v1_session"},
        {"/vorn-messaging-service/v1/message/honor/level-change", "OnJsonApiEvent_vorn-messaging-service_v1_message"},
        {"/a/qiv-platform-config/b/c/d/e", "OnJsonApiEvent_a_qiv-platform-config_b"},
        {"/x", "OnJsonApiEvent_x"},
        {"///", "OnJsonApiEvent"},
        {"", "OnJsonApiEvent"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EventNameForUri(c.uri), c.name) << c.uri;
        EXPECT_EQ(vclient::EventNameForUri(c.uri), c.name) << c.uri;
    }
}

TEST(EventName, VyreTypesReplaceDotsWithUnderscores) {
    EXPECT_EQ(VyreEventName("a.b.C"), "OnVyreEvent_a_b_C");
    EXPECT_EQ(VyreEventName(""), "OnVyreEvent_");
}

}  // namespace
}  // namespace qivhost
