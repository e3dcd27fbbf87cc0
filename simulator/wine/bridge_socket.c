#include "bridge_socket.h"

#include <dirent.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#define kClass "{4F7C2B9E-1D3A-4E86-9B5F-A2C8E0D47613}"

static int ByName(const void* a, const void* b) {
    return strcmp(*(char* const*)a, *(char* const*)b);
}

/* The first instance in the byte order of the names, as the host platform numbers them. */
static int FirstDevice(const char* hostRoot, char* path, size_t size) {
    char dir[4096];
    snprintf(dir, sizeof dir, "%s/devices/" kClass, hostRoot);
    DIR* d = opendir(dir);
    if (d == NULL) {
        return -1;
    }
    char* names[256];
    int count = 0;
    struct dirent* entry;
    while ((entry = readdir(d)) != NULL && count < 256) {
        if (entry->d_name[0] != '.') {
            names[count++] = strdup(entry->d_name);
        }
    }
    closedir(d);
    if (count == 0) {
        return -1;
    }
    qsort(names, (size_t)count, sizeof names[0], ByName);
    if ((size_t)snprintf(path, size, "%s/%s/device", dir, names[0]) >= size) {
        path[0] = 0;
    }
    for (int i = 0; i < count; ++i) {
        free(names[i]);
    }
    return 0;
}

static int ReadAll(int fd, void* buffer, size_t size) {
    uint8_t* p = buffer;
    while (size > 0) {
        const ssize_t n = recv(fd, p, size, 0);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return -1;
        }
        p += n;
        size -= (size_t)n;
    }
    return 0;
}

static int WriteAll(int fd, const void* buffer, size_t size) {
    const uint8_t* p = buffer;
    while (size > 0) {
        const ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return -1;
        }
        p += n;
        size -= (size_t)n;
    }
    return 0;
}

int bridge_open(const char* hostRoot, uint32_t* error) {
    char path[4096];
    struct stat st;
    if (FirstDevice(hostRoot, path, sizeof path) != 0 || stat(path, &st) != 0) {
        *error = 2; /* ERROR_FILE_NOT_FOUND */
        return -1;
    }
    struct sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (strlen(path) >= sizeof address.sun_path) {
        *error = 2;
        return -1;
    }
    strcpy(address.sun_path, path);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, (struct sockaddr*)&address, sizeof address) != 0) {
        if (fd >= 0) {
            close(fd);
        }
        *error = 21; /* ERROR_NOT_READY */
        return -1;
    }
    uint32_t status = 0;
    if (ReadAll(fd, &status, 4) != 0) {
        close(fd);
        *error = 21;
        return -1;
    }
    if (status != 0) {
        close(fd);
        *error = status;
        return -1;
    }
    return fd;
}

int bridge_request(int fd, uint32_t code, const uint8_t* input, uint32_t inputSize,
                   uint32_t capacity, uint32_t* result, uint32_t* lastError, uint8_t* output,
                   uint32_t* returned) {
    const uint32_t header[3] = {code, inputSize, capacity};
    if (WriteAll(fd, header, sizeof header) != 0 ||
        (inputSize > 0 && WriteAll(fd, input, inputSize) != 0)) {
        return -1;
    }
    uint32_t answer[3];
    if (ReadAll(fd, answer, sizeof answer) != 0 || answer[2] > capacity) {
        return -1;
    }
    if (answer[2] > 0 && ReadAll(fd, output, answer[2]) != 0) {
        return -1;
    }
    *result = answer[0];
    *lastError = answer[1];
    *returned = answer[2];
    return 0;
}

void bridge_close(int fd) {
    if (fd >= 0) {
        close(fd);
    }
}
