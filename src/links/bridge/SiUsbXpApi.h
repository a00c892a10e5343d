#pragma once

#include <cstdint>

// The C functions of the bridge maker's library (`SiUSBXp`), as the bridge link calls them.
// Every one returns a status; 0 means success. Counts and device numbers are 32 bits wide.
extern "C" {

using SiStatus = std::int32_t;
using SiHandle = void *;

// The number of bridges present.
using SiGetNumDevicesFn = SiStatus (*)(std::uint32_t *count);
// Opens bridge `device` (0 for the first) and gives its handle.
using SiOpenFn = SiStatus (*)(std::uint32_t device, SiHandle *handle);
using SiSetBaudRateFn = SiStatus (*)(SiHandle handle, std::uint32_t baudRate);
// Read and write time-outs in milliseconds, for every bridge.
using SiSetTimeoutsFn = SiStatus (*)(std::uint32_t readTimeout, std::uint32_t writeTimeout);
// Reads up to `toRead` bytes into `buffer`; `returned` receives how many. The link passes one
// byte and no overlapped record (nullptr). A non-zero status means no byte.
using SiReadFn = SiStatus (*)(SiHandle handle, std::uint8_t *buffer, std::uint32_t toRead,
                              std::uint32_t *returned, void *overlapped);
// Discards the bridge's transmit and/or receive buffers (each flag 1 to discard).
using SiFlushBuffersFn = SiStatus (*)(SiHandle handle, std::uint8_t transmit, std::uint8_t receive);
using SiCloseFn = SiStatus (*)(SiHandle handle);
}
