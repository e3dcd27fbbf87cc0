/* The host wire protocol's client side, in plain POSIX: for the Wine bridge, whose other half
 * is Win32. */
#pragma once

#include <stdint.h>

/* Connects to the device socket of the first instance of the interface class under the host
 * root and reads its open status. A descriptor, or -1 with *error the Win32 error of the failed
 * open (2 no such device, 21 refused, or the driver's own open status). */
int bridge_open(const char* hostRoot, uint32_t* error);

/* One request frame and its answer. 0, or -1 when the connection broke or the answer did not
 * keep to the protocol (the request then failed with ERROR_GEN_FAILURE). */
int bridge_request(int fd, uint32_t code, const uint8_t* input, uint32_t inputSize,
                   uint32_t capacity, uint32_t* result, uint32_t* lastError, uint8_t* output,
                   uint32_t* returned);

void bridge_close(int fd);
