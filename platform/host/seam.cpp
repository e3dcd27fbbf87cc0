#include "platform/host/seam.h"

HostClock& HostClockOverride() {
    static HostClock clock{nullptr, nullptr};
    return clock;
}
