// A stand-in for the bridge maker's library, loaded by the tests through BridgeLibrary. It
// exports the seven SI_ functions and FakeSi_ control functions the test resolves from the
// same file. Built once whole and once without SI_FlushBuffers (FAKE_SI_WITHOUT_FLUSH).

#include "links/bridge/SiUsbXpApi.h"

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct ReadResult
{
    int byte;
    SiStatus status;
    std::uint32_t count;
    bool block; // waits for FakeSi_ReleaseRead() before returning
};

// Returned by SI_Read when no result is queued, as a time-out would.
constexpr SiStatus EmptyReadStatus = 0xFF;
// Returned for a null handle.
constexpr SiStatus InvalidHandleStatus = 0x01;

struct Fake
{
    std::mutex mutex;
    std::condition_variable changed;
    std::uint32_t devices = 1;
    SiStatus numDevicesStatus = 0, openStatus = 0, baudStatus = 0, timeoutsStatus = 0,
             flushStatus = 0, closeStatus = 0;
    std::deque<ReadResult> reads;
    std::string log;
    std::string errors;
    bool open = false;
    int blocked = 0; // reads waiting for a release
    int releases = 0;
    int handleTarget = 0; // its address is the handle
};

Fake &fake()
{
    static Fake f;
    return f;
}

void record(Fake &f, const std::string &line)
{
    f.log += line + '\n';
}
void error(Fake &f, const std::string &line)
{
    f.errors += line + '\n';
}

// A call that needs the open bridge's handle.
void checkHandle(Fake &f, const char *name, SiHandle handle)
{
    if (!f.open)
        error(f, std::string(name) + " without an open bridge");
    else if (handle != &f.handleTarget)
        error(f, std::string(name) + " with a wrong handle");
}

std::size_t copyOut(const std::string &text, char *out, std::size_t size)
{
    if (out && size > 0) {
        const std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
        std::memcpy(out, text.data(), n);
        out[n] = '\0';
    }
    return text.size();
}

} // namespace

FAKE_EXPORT SiStatus SI_GetNumDevices(std::uint32_t *count)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    record(f, "SI_GetNumDevices");
    if (f.numDevicesStatus == 0)
        *count = f.devices;
    return f.numDevicesStatus;
}

FAKE_EXPORT SiStatus SI_Open(std::uint32_t device, SiHandle *handle)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    record(f, "SI_Open " + std::to_string(device));
    if (f.open)
        error(f, "SI_Open while open");
    if (device >= f.devices)
        error(f, "SI_Open of a device not present");
    if (f.openStatus != 0)
        return f.openStatus;
    f.open = true;
    *handle = &f.handleTarget;
    return 0;
}

FAKE_EXPORT SiStatus SI_SetBaudRate(SiHandle handle, std::uint32_t baudRate)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    record(f, "SI_SetBaudRate " + std::to_string(baudRate));
    checkHandle(f, "SI_SetBaudRate", handle);
    return f.baudStatus;
}

FAKE_EXPORT SiStatus SI_SetTimeouts(std::uint32_t readTimeout, std::uint32_t writeTimeout)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    record(f, "SI_SetTimeouts " + std::to_string(readTimeout) + ' ' + std::to_string(writeTimeout));
    if (!f.open)
        error(f, "SI_SetTimeouts without an open bridge");
    return f.timeoutsStatus;
}

FAKE_EXPORT SiStatus SI_Read(SiHandle handle, std::uint8_t *buffer, std::uint32_t toRead,
                             std::uint32_t *returned, void *overlapped)
{
    Fake &f = fake();
    std::unique_lock lock(f.mutex);
    record(f, "SI_Read " + std::to_string(toRead));
    checkHandle(f, "SI_Read", handle);
    if (overlapped)
        error(f, "SI_Read with an overlapped record");
    if (f.reads.empty()) {
        *returned = 0;
        return EmptyReadStatus;
    }
    const ReadResult r = f.reads.front();
    f.reads.pop_front();
    if (r.block) {
        ++f.blocked;
        f.changed.notify_all();
        f.changed.wait(lock, [&f] { return f.releases > 0; });
        --f.releases;
        --f.blocked;
        f.changed.notify_all();
        if (!f.open)
            error(f, "SI_Read returned after SI_Close");
    }
    *returned = r.count;
    if (r.count > 0 && toRead > 0)
        buffer[0] = std::uint8_t(r.byte);
    return r.status;
}

#ifndef FAKE_SI_WITHOUT_FLUSH
FAKE_EXPORT SiStatus SI_FlushBuffers(SiHandle handle, std::uint8_t transmit, std::uint8_t receive)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    record(f, "SI_FlushBuffers " + std::to_string(transmit) + ' ' + std::to_string(receive));
    checkHandle(f, "SI_FlushBuffers", handle);
    return f.flushStatus;
}
#endif

FAKE_EXPORT SiStatus SI_Close(SiHandle handle)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    record(f, "SI_Close");
    // The handle of an open that failed: refused, as a real library refuses an invalid handle.
    if (handle == nullptr && !f.open)
        return InvalidHandleStatus;
    checkHandle(f, "SI_Close", handle);
    f.open = false;
    return f.closeStatus;
}

// Back to one bridge, all statuses 0, no queued reads, empty logs. Does not release a blocked
// read.
FAKE_EXPORT void FakeSi_Reset()
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    f.devices = 1;
    f.numDevicesStatus = f.openStatus = f.baudStatus = f.timeoutsStatus = f.flushStatus
        = f.closeStatus = 0;
    f.reads.clear();
    f.log.clear();
    f.errors.clear();
    f.open = false;
}

FAKE_EXPORT void FakeSi_SetDeviceCount(std::uint32_t count)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    f.devices = count;
}

// The status the named function returns from now on ("SI_Open", ...); false for another name.
FAKE_EXPORT bool FakeSi_SetStatus(const char *function, SiStatus status)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    const std::string name(function);
    SiStatus *target = name == "SI_GetNumDevices" ? &f.numDevicesStatus
        : name == "SI_Open"                       ? &f.openStatus
        : name == "SI_SetBaudRate"                ? &f.baudStatus
        : name == "SI_SetTimeouts"                ? &f.timeoutsStatus
        : name == "SI_FlushBuffers"               ? &f.flushStatus
        : name == "SI_Close"                      ? &f.closeStatus
                                                  : nullptr;
    if (!target)
        return false;
    *target = status;
    return true;
}

// Queues what a later SI_Read delivers: `byte` placed when count > 0, `count` as the bytes
// returned, `status` returned. With `block`, that read waits for FakeSi_ReleaseRead().
FAKE_EXPORT void FakeSi_QueueRead(int byte, SiStatus status, std::uint32_t count, bool block)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    f.reads.push_back({byte, status, count, block});
}

// Waits until a read is blocked; returns at once when one already is.
FAKE_EXPORT void FakeSi_WaitForBlockedRead()
{
    Fake &f = fake();
    std::unique_lock lock(f.mutex);
    f.changed.wait(lock, [&f] { return f.blocked > f.releases; });
}

FAKE_EXPORT void FakeSi_ReleaseRead()
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    ++f.releases;
    f.changed.notify_all();
}

// The calls so far, one line each ("SI_Open 0"); returns the full length, copies what fits.
FAKE_EXPORT std::size_t FakeSi_CallLog(char *out, std::size_t size)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    return copyOut(f.log, out, size);
}

// Misuse seen so far, one line each (a call after SI_Close, a wrong handle, ...).
FAKE_EXPORT std::size_t FakeSi_Errors(char *out, std::size_t size)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    return copyOut(f.errors, out, size);
}
