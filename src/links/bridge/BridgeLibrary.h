#pragma once

#include "links/bridge/SiUsbXpApi.h"

#include <QLibrary>
#include <QString>

// The bridge library's seven functions, resolved together; all null until a load succeeds.
struct SiUsbXpFunctions
{
    SiGetNumDevicesFn SI_GetNumDevices = nullptr;
    SiOpenFn SI_Open = nullptr;
    SiSetBaudRateFn SI_SetBaudRate = nullptr;
    SiSetTimeoutsFn SI_SetTimeouts = nullptr;
    SiReadFn SI_Read = nullptr;
    SiFlushBuffersFn SI_FlushBuffers = nullptr;
    SiCloseFn SI_Close = nullptr;
};

// Loads the bridge maker's library at run time: the file named by the environment variable
// METERLINK_SIUSBXP when it is set and not empty, otherwise `SiUSBXp` (libSiUSBXp.so) from the
// system's search path. A missing library or function leaves a status and a message to show;
// the link then behaves as if no bridge were present.
//
// load() runs on one thread, before any function is called. Afterwards the table never changes
// and the library stays mapped while this object lives, so one worker thread may call the
// functions without locks (the library's own calls are not made concurrent by this class).
class BridgeLibrary
{
public:
    enum class Status {
        NotLoaded, // load() not called yet
        Loaded, // all seven functions resolved
        LibraryMissing, // the library file could not be loaded
        FunctionMissing, // the library lacks one of the seven functions
    };

    static constexpr const char *LibraryName = "SiUSBXp";
    static constexpr const char *EnvironmentVariable = "METERLINK_SIUSBXP";

    BridgeLibrary() = default;
    BridgeLibrary(const BridgeLibrary &) = delete;
    BridgeLibrary &operator=(const BridgeLibrary &) = delete;

    // Loads once; a later call returns the first result.
    Status load();

    Status status() const { return m_status; }
    bool isLoaded() const { return m_status == Status::Loaded; }
    // Empty when loaded; otherwise names the library looked for and METERLINK_SIUSBXP, or the
    // missing function.
    QString message() const { return m_message; }
    // The file asked for: the variable's path or "SiUSBXp".
    QString requestedName() const { return m_requested; }
    // The missing function's name, for Status::FunctionMissing.
    QString missingFunction() const { return m_missing; }
    // Null pointers unless loaded.
    const SiUsbXpFunctions &functions() const { return m_functions; }

private:
    QLibrary m_library;
    SiUsbXpFunctions m_functions;
    Status m_status = Status::NotLoaded;
    QString m_message;
    QString m_requested;
    QString m_missing;
};
