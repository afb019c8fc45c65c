// The observer of the debugger channel (platform.h, SetDebuggerObserver), shared by the
// system files: each passes every debugger text to NotifyDebuggerObserver.
#pragma once

namespace vclient::platform {

// Hands `text` to the installed observer, if any.
void NotifyDebuggerObserver(const char* text);

}  // namespace vclient::platform
