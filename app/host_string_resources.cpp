#include "platform/host/seam.h"

namespace {

const HostStringResource kStrings[] = {
#include "app/host_string_tables.inc"
};

}  // namespace

const HostStringResource* HostModuleStrings(size_t* count) {
    *count = sizeof kStrings / sizeof kStrings[0];
    return kStrings;
}
