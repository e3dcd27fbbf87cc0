// The one source of the executable's version. Also read by the resource compiler.
#pragma once

#define TOLLVANE_VERSION_MAJOR 1
#define TOLLVANE_VERSION_MINOR 0
#define TOLLVANE_VERSION_BUILD 1000
#define TOLLVANE_VERSION_REVISION 1000

#define TOLLVANE_STRINGIZE2(x) #x
#define TOLLVANE_STRINGIZE(x) TOLLVANE_STRINGIZE2(x)
#define TOLLVANE_VERSION_TEXT                                              \
    TOLLVANE_STRINGIZE(TOLLVANE_VERSION_MAJOR)                             \
    "." TOLLVANE_STRINGIZE(TOLLVANE_VERSION_MINOR) "." TOLLVANE_STRINGIZE( \
        TOLLVANE_VERSION_BUILD) "." TOLLVANE_STRINGIZE(TOLLVANE_VERSION_REVISION)
