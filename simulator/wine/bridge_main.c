/* The user-mode half of the Quenwick bridge under Wine: serves the bridge driver's named pipe
 * and carries each open, request and close to the driver program that serves the host root,
 * over the host wire protocol (see quenwick_bridge_sys.c for the pipe's messages: one
 * connection each, in byte mode).
 *
 *   quenwick-wine-bridge <host root>
 *
 * A Winelib program: Win32 for the pipe, POSIX (bridge_socket.c) for the device socket. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "bridge_socket.h"

#define kHeaderBytes 24
#define kAnswerBytes 12
#define kMaxData (1024 * 1024)
#define kMaxHandles 64

static struct {
    unsigned long long handle;
    int fd;
} g_open[kMaxHandles];

static int* Slot(unsigned long long handle) {
    for (int i = 0; i < kMaxHandles; ++i) {
        if (g_open[i].fd >= 0 && g_open[i].handle == handle) {
            return &g_open[i].fd;
        }
    }
    return NULL;
}

static uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    memcpy(&v, p, 4);
    return v;
}

/* Answers one message into `answer`; the answer's length. */
static DWORD Handle(const char* hostRoot, const uint8_t* message, DWORD size, uint8_t* answer) {
    uint32_t* words = (uint32_t*)answer;
    words[0] = 0;
    words[1] = 31; /* ERROR_GEN_FAILURE */
    words[2] = 0;
    if (size < kHeaderBytes) {
        return kAnswerBytes;
    }
    const uint32_t op = Load32(message);
    const unsigned long long handle =
        Load32(message + 4) | ((unsigned long long)Load32(message + 8) << 32);
    const uint32_t code = Load32(message + 12);
    const uint32_t inputSize = Load32(message + 16);
    const uint32_t capacity = Load32(message + 20);
    if (inputSize > size - kHeaderBytes || capacity > kMaxData) {
        return kAnswerBytes;
    }
    int* fd = Slot(handle);
    if (op == 1) {
        if (fd != NULL) {
            bridge_close(*fd);
            *fd = -1;
        }
        uint32_t error = 0;
        const int opened = bridge_open(hostRoot, &error);
        if (opened < 0) {
            words[1] = error;
            return kAnswerBytes;
        }
        for (int i = 0; i < kMaxHandles; ++i) {
            if (g_open[i].fd < 0) {
                g_open[i].handle = handle;
                g_open[i].fd = opened;
                words[0] = 1;
                words[1] = 0;
                return kAnswerBytes;
            }
        }
        bridge_close(opened);
        words[1] = 4; /* ERROR_TOO_MANY_OPEN_FILES */
        return kAnswerBytes;
    }
    if (op == 3) {
        if (fd != NULL) {
            bridge_close(*fd);
            *fd = -1;
        }
        words[0] = 1;
        words[1] = 0;
        return kAnswerBytes;
    }
    if (op != 2 || fd == NULL) {
        words[1] = 6; /* ERROR_INVALID_HANDLE */
        return kAnswerBytes;
    }
    uint32_t result = 0, lastError = 0, returned = 0;
    if (bridge_request(*fd, code, message + kHeaderBytes, inputSize, capacity, &result, &lastError,
                       answer + kAnswerBytes, &returned) != 0) {
        bridge_close(*fd);
        *fd = -1;
        return kAnswerBytes;
    }
    words[0] = result;
    words[1] = result ? 0 : lastError;
    words[2] = returned;
    return kAnswerBytes + returned;
}

static BOOL ReadExactly(HANDLE pipe, uint8_t* buffer, DWORD size) {
    while (size > 0) {
        DWORD n = 0;
        if (!ReadFile(pipe, buffer, size, &n, NULL) || n == 0) {
            return FALSE;
        }
        buffer += n;
        size -= n;
    }
    return TRUE;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: quenwick-wine-bridge <host root>\n");
        return 2;
    }
    for (int i = 0; i < kMaxHandles; ++i) {
        g_open[i].fd = -1;
    }
    const DWORD room = kHeaderBytes + kMaxData;
    /* Win32 memory: Wine refuses glibc heap addresses as I/O buffers. */
    uint8_t* message = VirtualAlloc(NULL, room, MEM_COMMIT, PAGE_READWRITE);
    uint8_t* answer = VirtualAlloc(NULL, kAnswerBytes + kMaxData, MEM_COMMIT, PAGE_READWRITE);
    HANDLE pipe = CreateNamedPipeW(L"\\\\.\\pipe\\tollvane-quenwick", PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1,
                                   kAnswerBytes + kMaxData, room, 0, NULL);
    if (pipe == INVALID_HANDLE_VALUE || message == NULL || answer == NULL) {
        fprintf(stderr, "quenwick-wine-bridge: CreateNamedPipeW failed, error %u\n",
                (unsigned)GetLastError());
        return 1;
    }
    /* TOLLVANE_BRIDGE_TRACE=1 prints each message and its answer on standard error. */
    const int trace = getenv("TOLLVANE_BRIDGE_TRACE") != NULL;
    printf("ready\n");
    fflush(stdout);
    for (;;) {
        if (!ConnectNamedPipe(pipe, NULL) && GetLastError() != ERROR_PIPE_CONNECTED) {
            continue;
        }
        if (ReadExactly(pipe, message, kHeaderBytes) && Load32(message + 16) <= kMaxData &&
            ReadExactly(pipe, message + kHeaderBytes, Load32(message + 16))) {
            const DWORD length =
                Handle(argv[1], message, kHeaderBytes + Load32(message + 16), answer);
            if (trace) {
                fprintf(stderr, "op %u code %#x in %u room %u -> result %u error %u returned %u\n",
                        Load32(message), Load32(message + 12), Load32(message + 16),
                        Load32(message + 20), Load32(answer), Load32(answer + 4),
                        Load32(answer + 8));
            }
            DWORD written = 0;
            WriteFile(pipe, answer, length, &written, NULL);
            FlushFileBuffers(pipe);
        } else if (trace) {
            fprintf(stderr, "a message did not arrive whole, error %u\n", (unsigned)GetLastError());
        }
        DisconnectNamedPipe(pipe);
    }
}
