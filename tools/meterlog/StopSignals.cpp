#include "StopSignals.h"

#include "ExitCodes.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int g_pipe[2] = {-1, -1};
std::atomic<int> g_received {0};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only touch lock-free data");

void onSignal(int signal)
{
    if (g_received.fetch_add(1) > 0)
        _exit(ExitCode::SignalBase + signal);
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

} // namespace

bool StopSignals::install()
{
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &StopSignals::readPipe);

    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        sigaction(s, &action, nullptr);
    // A reader of --json that goes away shows as a failed write, not as a sudden death.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

void StopSignals::readPipe()
{
    unsigned char number = 0;
    while (::read(g_pipe[0], &number, 1) == 1)
        Q_EMIT stopRequested(number);
}
