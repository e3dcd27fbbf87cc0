// Small POSIX helpers of the host platform, shared with the simulated driver: whole reads and
// writes on a stream socket, the wire protocol's little-endian words, and directory trees.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// False when the connection broke or ended first. Interrupted calls are resumed; writes never
// raise SIGPIPE.
bool SendAll(int fd, const uint8_t* p, size_t n);
bool ReceiveAll(int fd, uint8_t* p, size_t n);

void PutU32(std::vector<uint8_t>& out, uint32_t v);
uint32_t GetU32(const uint8_t* p);

// Creates the directory and its parents as needed; true when it exists afterwards.
bool MakeDirectories(const std::string& path);
