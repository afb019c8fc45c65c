// The reference under the YAML reader: libyaml's raw event loop over a text (parse and
// release every event, nothing else), the floor that any YAML reader on libyaml pays.
#pragma once

#include <yaml.h>

#include <cstddef>
#include <string>

namespace qivbench {

// The events parsed; 0 when libyaml did not parse the whole text.
inline std::size_t LibyamlEvents(const std::string& text) {
    yaml_parser_t parser;
    yaml_parser_initialize(&parser);
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    yaml_event_t event;
    std::size_t events = 0;
    bool done = false;
    while (!done && yaml_parser_parse(&parser, &event) != 0) {
        done = event.type == YAML_STREAM_END_EVENT;
        ++events;
        yaml_event_delete(&event);
    }
    const bool failed = parser.error != YAML_NO_ERROR;
    yaml_parser_delete(&parser);
    return done && !failed ? events : 0;
}

}  // namespace qivbench
