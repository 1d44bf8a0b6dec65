// oxilume-cli: runs the device link without a window. The log goes to
// standard output byte for byte, the port messages to standard error.
//
// Exit status: 0 stopped as asked (end of download, --seconds, a signal),
// 1 bad usage, 2 the port could not be opened, 3 the link gave up.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "CliView.h"
#include "link/LinkController.h"
#include "link/LinkInfo.h"
#include "serial/ListPorts.h"

namespace
{
const char* const kUsage =
    "Usage: oxilume-cli PORT [--download] [--seconds N]\n"
    "       oxilume-cli --list-ports\n"
    "       oxilume-cli --help\n"
    "\n"
    "Opens PORT (a port name such as ttyUSB0, or an absolute device path),\n"
    "runs the link to the oximeter and writes its log to standard output.\n"
    "Port messages go to standard error.\n"
    "\n"
    "  --download    ask for the stored readings at once; stop after the\n"
    "                end of the data\n"
    "  --seconds N   stop after N seconds\n"
    "  --list-ports  list the ports that can reach the device\n"
    "  --help        show this text\n"
    "\n"
    "Exit status: 0 stopped as asked, 1 bad usage, 2 the port cannot be opened,\n"
    "3 the connection failed.\n";

int UsageError(const char* pszWhat)
{
    std::fprintf(stderr, "oxilume-cli: %s\n%s", pszWhat, kUsage);
    return 1;
}

bool ParseSeconds(const char* pszText, long& nSeconds)
{
    char* pEnd = nullptr;
    errno = 0;
    const long nValue = std::strtol(pszText, &pEnd, 10);
    if (errno != 0 || pEnd == pszText || *pEnd != '\0' || nValue < 0 || nValue > 100000000L)
        return false;
    nSeconds = nValue;
    return true;
}
}  // namespace

int main(int argc, char** argv)
{
    std::string strPort;
    bool bDownload = false;
    long nSeconds = -1;
    for (int i = 1; i < argc; ++i)
    {
        const std::string strArg = argv[i];
        if (strArg == "--help" || strArg == "-h")
        {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (strArg == "--list-ports")
            return ListOfferedPorts(std::cout);
        if (strArg == "--download")
            bDownload = true;
        else if (strArg == "--seconds")
        {
            if (i + 1 >= argc || !ParseSeconds(argv[i + 1], nSeconds))
                return UsageError("--seconds needs a whole number of seconds");
            ++i;
        }
        else if (!strArg.empty() && strArg[0] == '-' && strArg != "-")
            return UsageError(("unknown option " + strArg).c_str());
        else if (strPort.empty())
            strPort = strArg;
        else
            return UsageError("only one port can be given");
    }
    if (strPort.empty())
        return UsageError("no port given");

    // The signals are taken by this thread alone, with sigtimedwait, so
    // every thread started from here on inherits the mask. SIGUSR1 is the
    // link's own wake-up: the end of a download or a failure line.
    sigset_t setWait;
    sigemptyset(&setWait);
    sigaddset(&setWait, SIGINT);
    sigaddset(&setWait, SIGTERM);
    sigaddset(&setWait, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &setWait, nullptr);
    // A reader of standard output that went away must not kill the link.
    signal(SIGPIPE, SIG_IGN);

    const pid_t nSelf = getpid();
    CCliView view(stdout, stderr, [nSelf] { kill(nSelf, SIGUSR1); });
    CLinkInfo link;
    link.m_pView = &view;
    CLinkController controller(link, nullptr, view);

    // As Memory Transmission Start does: the worker's first mode check after
    // the handshake answer then sends f.
    if (bDownload)
        link.m_bMemoryIdle.store(0);
    if (!controller.Start(strPort))
        return 2;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(nSeconds);
    for (;;)
    {
        if (link.IsStopped())
        {
            // Only the worker raises the flag here: it gave up.
            controller.Reap();
            return 3;
        }
        if (bDownload && view.EndOfDataSeen())
            break;
        if (nSeconds >= 0 && std::chrono::steady_clock::now() >= deadline)
            break;

        timespec waitFor{0, 100 * 1000 * 1000};
        if (nSeconds >= 0)
        {
            const auto left = deadline - std::chrono::steady_clock::now();
            if (left < std::chrono::milliseconds(100))
            {
                const auto nNanos = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
                waitFor.tv_nsec = nNanos > 0 ? static_cast<long>(nNanos) : 0;
            }
        }
        siginfo_t info;
        const int nSignal = sigtimedwait(&setWait, &info, &waitFor);
        if (nSignal == SIGINT || nSignal == SIGTERM)
            break;
    }
    controller.Stop();
    return 0;
}
