#include "links/bridge/BridgeLibrary.h"

#include <QtGlobal>

namespace {

template<class Fn> bool resolve(QLibrary &library, const char *name, Fn &target)
{
    target = reinterpret_cast<Fn>(library.resolve(name));
    return target != nullptr;
}

} // namespace

BridgeLibrary::Status BridgeLibrary::load()
{
    if (m_status != Status::NotLoaded)
        return m_status;

    const QString fromEnvironment = qEnvironmentVariable(EnvironmentVariable);
    const bool fromVariable = !fromEnvironment.isEmpty();
    m_requested = fromVariable ? fromEnvironment : QString::fromLatin1(LibraryName);
    m_library.setFileName(m_requested);
    if (!m_library.load()) {
        m_status = Status::LibraryMissing;
        const QString variable = QString::fromLatin1(EnvironmentVariable);
        m_message = fromVariable
            ? u"The bridge library \"%1\" named by %2 could not be loaded: %3"_qs.arg(
                m_requested, variable, m_library.errorString())
            : u"The bridge library %1 (lib%1.so) was not found; set %2 to its path: %3"_qs.arg(
                m_requested, variable, m_library.errorString());
        return m_status;
    }

    SiUsbXpFunctions f;
    const char *missing = nullptr;
    if (!resolve(m_library, "SI_GetNumDevices", f.SI_GetNumDevices))
        missing = "SI_GetNumDevices";
    else if (!resolve(m_library, "SI_Open", f.SI_Open))
        missing = "SI_Open";
    else if (!resolve(m_library, "SI_SetBaudRate", f.SI_SetBaudRate))
        missing = "SI_SetBaudRate";
    else if (!resolve(m_library, "SI_SetTimeouts", f.SI_SetTimeouts))
        missing = "SI_SetTimeouts";
    else if (!resolve(m_library, "SI_Read", f.SI_Read))
        missing = "SI_Read";
    else if (!resolve(m_library, "SI_FlushBuffers", f.SI_FlushBuffers))
        missing = "SI_FlushBuffers";
    else if (!resolve(m_library, "SI_Close", f.SI_Close))
        missing = "SI_Close";

    if (missing) {
        m_status = Status::FunctionMissing;
        m_missing = QString::fromLatin1(missing);
        m_message = u"The bridge library \"%1\" has no function %2"_qs.arg(m_library.fileName(),
                                                                           m_missing);
        m_library.unload();
        return m_status;
    }
    m_functions = f;
    m_status = Status::Loaded;
    return m_status;
}
