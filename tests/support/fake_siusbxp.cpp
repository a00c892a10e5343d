// A stand-in for the bridge maker's library, loaded by the tests through BridgeLibrary. It
// exports the seven SI_ functions and FakeSi_ control functions the test resolves from the
// same file. Built once whole and once without SI_FlushBuffers (FAKE_SI_WITHOUT_FLUSH).
//
// Loaded by another program (meterlog), it is steered through the environment instead:
//   FAKE_SIUSBXP_SCRIPT=FILE  read at the first SI_ call, one command a line ("#" comments and
//                             blank lines skipped):
//       devices N             SI_GetNumDevices reports N bridges
//       status SI_Xxx N       the status that function returns from then on
//       read HH               a read placing byte HH (hexadecimal), status 0
//       read HH count 0       a read returning status 0 and no byte
//       fail N                a read returning status N and no byte
//       text STRING           each character of STRING as a read of its own
//       line STRING           STRING's characters, then 0D and 0A, as reads
//                             Once the reads are used up, every read waits 20 ms (the real
//                             library's 500 ms time-out, shortened) and returns the empty-read
//                             status. A line not understood is noted among the errors.
//   FAKE_SIUSBXP_LOG=FILE     the call log, then a line "errors:" and the misuse lines, written
//                             after every SI_Close and when the library is unloaded.

#include "links/bridge/SiUsbXpApi.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

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
// How long a read of a scripted fake waits when the script's reads are used up.
constexpr auto ExhaustedReadWait = std::chrono::milliseconds(20);

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
    bool scriptRead = false; // FAKE_SIUSBXP_SCRIPT was looked at
    bool scripted = false; // a script was read: used-up reads wait
};

// Made at the first call and never destroyed, so that the unload hook and a read still running
// at exit find it whole.
std::atomic<Fake *> g_fake {nullptr};

Fake &fake()
{
    Fake *f = g_fake.load(std::memory_order_acquire);
    if (!f) {
        auto *made = new Fake;
        if (g_fake.compare_exchange_strong(f, made, std::memory_order_acq_rel))
            f = made;
        else
            delete made;
    }
    return *f;
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

SiStatus *statusOf(Fake &f, const std::string &name)
{
    return name == "SI_GetNumDevices" ? &f.numDevicesStatus
        : name == "SI_Open"           ? &f.openStatus
        : name == "SI_SetBaudRate"    ? &f.baudStatus
        : name == "SI_SetTimeouts"    ? &f.timeoutsStatus
        : name == "SI_FlushBuffers"   ? &f.flushStatus
        : name == "SI_Close"          ? &f.closeStatus
                                      : nullptr;
}

// A whole number of the script in `base` (0: decimal, or hexadecimal after "0x").
bool number(const std::string &text, int base, long long &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    value = std::strtoll(text.c_str(), &end, base);
    return *end == '\0';
}

void queueText(Fake &f, const std::string &text)
{
    for (const char c : text)
        f.reads.push_back({static_cast<unsigned char>(c), 0, 1, false});
}

// One script line; false when it is not understood.
bool scriptLine(Fake &f, const std::string &line)
{
    std::istringstream words(line);
    std::string command;
    words >> command;
    // The rest of the line after the command and one blank, for text and line.
    const std::size_t textAt = line.find(command) + command.size() + 1;
    const std::string rest = textAt <= line.size() ? line.substr(textAt) : std::string();
    std::string a, b, c, extra;
    long long n = 0;
    if (command == "text" || command == "line") {
        queueText(f, rest);
        if (command == "line")
            queueText(f, "\r\n");
        return true;
    }
    words >> a >> b >> c >> extra;
    if (!extra.empty())
        return false;
    if (command == "devices" && b.empty() && number(a, 10, n) && n >= 0) {
        f.devices = std::uint32_t(n);
        return true;
    }
    if (command == "status" && c.empty() && statusOf(f, a) && number(b, 0, n)) {
        *statusOf(f, a) = SiStatus(n);
        return true;
    }
    if (command == "read" && number(a, 16, n) && n >= 0 && n <= 0xFF) {
        long long count = 1;
        if (!b.empty() && !(b == "count" && number(c, 10, count) && count == 0))
            return false;
        f.reads.push_back({int(n), 0, std::uint32_t(count), false});
        return true;
    }
    if (command == "fail" && b.empty() && number(a, 0, n) && n != 0) {
        f.reads.push_back({0, SiStatus(n), 0, false});
        return true;
    }
    return false;
}

// Reads FAKE_SIUSBXP_SCRIPT once, at the first SI_ call.
void readScript(Fake &f)
{
    if (f.scriptRead)
        return;
    f.scriptRead = true;
    const char *path = std::getenv("FAKE_SIUSBXP_SCRIPT");
    if (!path || !*path)
        return;
    f.scripted = true;
    std::ifstream in(path);
    if (!in) {
        error(f, std::string("script ") + path + " could not be read");
        return;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        if (!scriptLine(f, line.substr(first)))
            error(f, "script line " + std::to_string(number) + " not understood: " + line);
    }
}

// Writes the call log and the errors to FAKE_SIUSBXP_LOG, when it is set.
void writeLog(const std::string &log, const std::string &errors)
{
    const char *path = std::getenv("FAKE_SIUSBXP_LOG");
    if (!path || !*path)
        return;
    if (std::FILE *out = std::fopen(path, "w")) {
        const std::string text = log + "errors:\n" + errors;
        std::fwrite(text.data(), 1, text.size(), out);
        std::fclose(out);
    }
}

void writeLog(const Fake &f)
{
    writeLog(f.log, f.errors);
}

__attribute__((destructor)) void writeLogAtUnload()
{
    // A library loaded and let go without a call (one that lacks a function) writes an empty
    // log: a state made now would outlive the library's memory.
    Fake *f = g_fake.load(std::memory_order_acquire);
    if (!f) {
        writeLog({}, {});
        return;
    }
    std::lock_guard lock(f->mutex);
    writeLog(*f);
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
    readScript(f);
    record(f, "SI_GetNumDevices");
    if (f.numDevicesStatus == 0)
        *count = f.devices;
    return f.numDevicesStatus;
}

FAKE_EXPORT SiStatus SI_Open(std::uint32_t device, SiHandle *handle)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    readScript(f);
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
    readScript(f);
    record(f, "SI_SetBaudRate " + std::to_string(baudRate));
    checkHandle(f, "SI_SetBaudRate", handle);
    return f.baudStatus;
}

FAKE_EXPORT SiStatus SI_SetTimeouts(std::uint32_t readTimeout, std::uint32_t writeTimeout)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    readScript(f);
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
    readScript(f);
    record(f, "SI_Read " + std::to_string(toRead));
    checkHandle(f, "SI_Read", handle);
    if (overlapped)
        error(f, "SI_Read with an overlapped record");
    if (f.reads.empty()) {
        *returned = 0;
        if (f.scripted) {
            lock.unlock();
            std::this_thread::sleep_for(ExhaustedReadWait);
        }
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
    readScript(f);
    record(f, "SI_FlushBuffers " + std::to_string(transmit) + ' ' + std::to_string(receive));
    checkHandle(f, "SI_FlushBuffers", handle);
    return f.flushStatus;
}
#endif

FAKE_EXPORT SiStatus SI_Close(SiHandle handle)
{
    Fake &f = fake();
    std::lock_guard lock(f.mutex);
    readScript(f);
    record(f, "SI_Close");
    SiStatus status = f.closeStatus;
    // The handle of an open that failed: refused, as a real library refuses an invalid handle.
    if (handle == nullptr && !f.open) {
        status = InvalidHandleStatus;
    } else {
        checkHandle(f, "SI_Close", handle);
        f.open = false;
    }
    writeLog(f);
    return status;
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
    SiStatus *target = statusOf(f, function);
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
