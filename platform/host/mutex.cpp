#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/host/handles.h"
#include "platform/host/host_root.h"
#include "platform/host/posix_io.h"
#include "platform/host/seam.h"
#include "platform/win32.h"

namespace {

std::string SessionNamespace() {
    const char* id = std::getenv("XDG_SESSION_ID");
    if (id != nullptr && *id != '\0') {
        return std::string("session-") + id;
    }
    return "session-" + std::to_string(getsid(0));
}

// A name as one file name: every byte but letters, digits, '-', '_' and '.' is escaped.
std::string FileNameOf(const std::string& name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '_' || (c == '.' && !out.empty())) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

int OpenLockFile(const std::string& path) {
    return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
}

}  // namespace

HANDLE CreateMutexW(SECURITY_ATTRIBUTES*, BOOL, LPCWSTR name) {
    if (HostShouldFail("CreateMutexW")) {
        return nullptr;
    }
    // Only named mutexes are used here.
    if (name == nullptr || *name == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string utf8 = Utf16ToUtf8(name);
    const std::string globalPrefix = "Global\\";
    const bool global = utf8.compare(0, globalPrefix.size(), globalPrefix) == 0;
    const std::string directory =
        HostRoot() + "/mutex/" + (global ? std::string("global") : SessionNamespace());
    const std::string file =
        directory + "/" + FileNameOf(global ? utf8.substr(globalPrefix.size()) : utf8);
    if (!MakeDirectories(directory)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return nullptr;
    }

    // Creators take the guard in turn: the test for other holders and the shared lock that
    // makes this one a holder happen as one step, so of processes that create the name at
    // once exactly one sees it as new. A crashed process's locks go with it.
    const int guard = OpenLockFile(file + ".guard");
    const int lock = OpenLockFile(file);
    if (guard < 0 || lock < 0) {
        if (guard >= 0) {
            close(guard);
        }
        if (lock >= 0) {
            close(lock);
        }
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    while (flock(guard, LOCK_EX) != 0 && errno == EINTR) {
    }
    const bool created = flock(lock, LOCK_EX | LOCK_NB) == 0;
    while (flock(lock, LOCK_SH) != 0 && errno == EINTR) {
    }
    close(guard);

    HostObject object{HostObject::Kind::kMutex, {}, {}, {}, {lock, utf8}};
    HANDLE handle = HostAddHandle(std::move(object));
    SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
    return handle;
}
