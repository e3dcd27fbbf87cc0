#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "platform/host/handles.h"
#include "platform/host/seam.h"
#include "platform/win32.h"

namespace {

thread_local DWORD t_lastError = 0;

// Sizes of the live heap blocks, so a freed block can be shown to the seam whole.
// Never destroyed: blocks are still freed by tear-downs that run at exit.
std::map<void*, SIZE_T>& LiveBlocks() {
    static auto& blocks = *new std::map<void*, SIZE_T>;
    return blocks;
}

char g_processHeap;

}  // namespace

DWORD GetLastError() {
    return t_lastError;
}

void SetLastError(DWORD code) {
    t_lastError = code;
}

void Sleep(DWORD milliseconds) {
    HostSleeps().calls.push_back(milliseconds);
    if (!HostSleeps().wait) {
        return;
    }
    timespec delay{static_cast<time_t>(milliseconds / 1000),
                   static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&delay, &delay) != 0) {
    }
}

HANDLE GetProcessHeap() {
    return &g_processHeap;
}

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (heap != &g_processHeap) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (HostShouldFail("HeapAlloc")) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, bytes ? bytes : 1)
                                             : std::malloc(bytes ? bytes : 1);
    if (block == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    LiveBlocks()[block] = bytes;
    ++HostHeap().allocations;
    HostHeap().liveBlocks = LiveBlocks().size();
    return block;
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID p) {
    if (p == nullptr) {
        return TRUE;
    }
    const auto it = LiveBlocks().find(p);
    if (heap != &g_processHeap || it == LiveBlocks().end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (HostHeap().onFree) {
        HostHeap().onFree(static_cast<const uint8_t*>(p), it->second);
    }
    LiveBlocks().erase(it);
    HostHeap().liveBlocks = LiveBlocks().size();
    std::free(p);
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    if (HostObject* device = HostFindHandle(handle, HostObject::Kind::kDevice)) {
        if (device->device.socket >= 0) {
            close(device->device.socket);
        } else if (HostDeviceScript().close) {
            HostDeviceScript().close();
        }
        HostRemoveHandle(handle);
        HostClosed().push_back("device");
        return TRUE;
    }
    if (HostObject* mutex = HostFindHandle(handle, HostObject::Kind::kMutex)) {
        close(mutex->mutex.lockFile);
        HostClosed().push_back("mutex:" + mutex->mutex.name);
        HostRemoveHandle(handle);
        return TRUE;
    }
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}
