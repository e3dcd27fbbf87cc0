// The host platform's test seam: tests replace what the platform would answer, fail any of its
// calls, and watch the process heap.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32.h"

// When a pointer is set, GetSystemTime or QueryPerformanceCounter answers with its value.
struct HostClock {
    const SYSTEMTIME* time;
    const LARGE_INTEGER* counter;
};
HostClock& HostClockOverride();

// Called on entry to every host operation with its Win32 name. Returning true makes the call
// fail as the platform's own failure would, with *pError as the last error.
using HostFaultHook = std::function<bool(const char* operation, DWORD* pError)>;
HostFaultHook& HostFaults();
// True when the hook fails this call; sets the last error then.
bool HostShouldFail(const char* operation);

// One answer of a device to a request, as the wire protocol carries it.
struct HostReply {
    BOOL result;
    DWORD lastError;
    std::vector<uint8_t> output;
};

// A device played by the test instead of a driver process. While `open` is set, CreateFileW
// calls it instead of connecting: it returns 0 to open the handle, else the open's error.
// Requests on such a handle go to `request`; its reply passes the same checks as a reply
// frame from a socket.
struct HostScriptedDevice {
    std::function<DWORD(const std::u16string& path)> open;
    std::function<HostReply(DWORD code, const std::vector<uint8_t>& input, DWORD capacity)> request;
    std::function<void()> close;
};
HostScriptedDevice& HostDeviceScript();

// The heap: every live block with its size, and a hook that sees each block as it is freed.
struct HostHeapWatch {
    std::function<void(const uint8_t* block, SIZE_T size)> onFree;
    SIZE_T liveBlocks = 0;
    SIZE_T allocations = 0;
};
HostHeapWatch& HostHeap();

// Sleep: each call's milliseconds, and whether to wait for real.
struct HostSleepLog {
    std::vector<DWORD> calls;
    bool wait = true;
};
HostSleepLog& HostSleeps();

// Message boxes: when `answer` is set, MessageBoxW records the box and returns its answer
// instead of asking on the terminal.
struct HostMessageBox {
    std::u16string caption;
    std::u16string text;
    UINT type;
};
struct HostMessageBoxes {
    std::function<int(const HostMessageBox&)> answer;
    std::vector<HostMessageBox> shown;
};
HostMessageBoxes& HostBoxes();

// What CloseHandle closed, in order: "device", or "mutex:" and the mutex's name.
std::vector<std::string>& HostClosed();

// The module's string tables, which a program linking LoadStringW provides, as the resource
// compiler provides them on Windows: every entry of every language.
struct HostStringResource {
    WORD language;
    UINT id;
    const char* utf8;
};
const HostStringResource* HostModuleStrings(size_t* count);

// Handles of every kind the host platform has given out and not yet seen closed.
size_t HostOpenHandles();

// Puts every hook back as the platform starts.
void HostResetSeam();
