// Where the host platform keeps its devices, mutexes and machine facts, and text conversions.
#pragma once

#include <string>

// $TOLLVANE_HOST_ROOT, else $XDG_RUNTIME_DIR/tollvane-host, else /tmp/tollvane-host-<uid>;
// read anew on every call.
std::string HostRoot();

std::string Utf16ToUtf8(const std::u16string& text);
std::u16string Utf8ToUtf16(const std::string& text);
