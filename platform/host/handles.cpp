#include "platform/host/handles.h"

#include <map>

#include "platform/host/seam.h"

namespace {

// Never destroyed: handles are still closed by tear-downs that run at exit.
std::map<uintptr_t, HostObject>& Table() {
    static auto& table = *new std::map<uintptr_t, HostObject>;
    return table;
}

}  // namespace

HANDLE HostAddHandle(HostObject object) {
    // Values are never reused, so a handle closed twice is always found invalid.
    static uintptr_t next = 0x100;
    const uintptr_t value = next;
    next += 4;
    Table().emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

HostObject* HostFindHandle(HANDLE handle, HostObject::Kind kind) {
    const auto it = Table().find(reinterpret_cast<uintptr_t>(handle));
    return it != Table().end() && it->second.kind == kind ? &it->second : nullptr;
}

void HostRemoveHandle(HANDLE handle) {
    Table().erase(reinterpret_cast<uintptr_t>(handle));
}

size_t HostOpenHandles() {
    return Table().size();
}
