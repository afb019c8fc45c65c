// GET /: one self-contained HTML page (no outside script, style or font) for a person at a
// browser. It lists the plug-in's routes from /openapi.json; calls one with a method, a
// target, a content type and a body editor, and shows the answer's status, error and
// body; shows the event stream (/events) live, every event by its name; and sets, reads
// or deletes a host resource (/host/resources/...). Texts from the host are shown as
// text, never as markup.
//
// Scripted use (tests, screenshots): the query "?set=URI&value=JSON" sets that resource
// and "?call=METHOD%20TARGET&body=TEXT" makes that call, through the page's own forms,
// once the event stream is connected (set first), and waits a little for an event after
// the call; the page then marks <body> with data-scripted="done".
#pragma once

#include <string_view>

namespace qivhost {

[[nodiscard]] std::string_view ExplorerPage();

}  // namespace qivhost
