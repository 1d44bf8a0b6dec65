// oxilume-sim: the oximeter's side of the serial link, on a pseudo-terminal
// (or a given serial device), for demos, scripts and end-to-end tests.

#include "DeviceEmulator.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
const char kUsage[] =
    "Usage: oxilume-sim [options]\n"
    "Plays a pulse oximeter on a pseudo-terminal and prints the path of the port\n"
    "to open on the first line of standard output. Runs until SIGINT or SIGTERM,\n"
    "until standard input ends (unless it is /dev/null or --no-stdin is given),\n"
    "or until the --hangup-after fault has hung up.\n"
    "\n"
    "Device:\n"
    "  --records N            stored records (default 300), one a second\n"
    "  --seed S               seed of the stored values (default 1)\n"
    "  --start YYYY-MM-DDTHH:MM:SS  time of the first record (default 2023-05-07T22:00:00)\n"
    "  --live-count N         live frames after each q or x (default 10)\n"
    "  --live-interval-ms MS  spacing of the live frames (default 1000)\n"
    "  --device PATH          run on this serial device instead of a new pty\n"
    "Faults:\n"
    "  --no-handshake         never answer r\n"
    "  --silence-after N      send nothing more after N frames\n"
    "  --corrupt-every K      every K-th frame carries a wrong checksum\n"
    "  --split-records        send each stored record in three writes...\n"
    "  --split-pause-ms MS    ...this far apart (default 20)\n"
    "  --paced                take the wire time of 115200 baud for every byte\n"
    "  --paced-burst N        hand paced bytes over N at a time, each group once its\n"
    "                         last byte has arrived (default 1)\n"
    "  --hangup-after N       close the line once N bytes have gone out\n"
    "Other:\n"
    "  --no-stdin             do not end when standard input ends\n"
    "  --trace                commands and frames to standard error\n"
    "  --help                 this text\n";

CDeviceEmulator* g_pEmulator = nullptr;

extern "C" void OnSignal(int)
{
    if (g_pEmulator)
        g_pEmulator->RequestStop();
}

bool ParseLong(const char* psz, long nMin, long nMax, long& nOut)
{
    if (!psz || !*psz)
        return false;
    char* pEnd = nullptr;
    errno = 0;
    const long n = std::strtol(psz, &pEnd, 10);
    if (errno != 0 || *pEnd != '\0' || n < nMin || n > nMax)
        return false;
    nOut = n;
    return true;
}

bool ParseStart(const char* psz, CEmulatorOptions& options)
{
    int y, mo, d, h, mi, s;
    char cSep = 0;
    if (!psz || std::sscanf(psz, "%d-%d-%d%c%d:%d:%d", &y, &mo, &d, &cSep, &h, &mi, &s) != 7)
        return false;
    if ((cSep != 'T' && cSep != ' ') || y < 2000 || y > 2255 || mo < 1 || mo > 12 || d < 1 ||
        d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return false;
    options.m_nStartYear = y;
    options.m_nStartMonth = mo;
    options.m_nStartDay = d;
    options.m_nStartHour = h;
    options.m_nStartMinute = mi;
    options.m_nStartSecond = s;
    return true;
}

bool IsDevNull(int nFd)
{
    struct stat stFd, stNull;
    return fstat(nFd, &stFd) == 0 && stat("/dev/null", &stNull) == 0 &&
           S_ISCHR(stFd.st_mode) && stFd.st_rdev == stNull.st_rdev;
}

int UsageError(const std::string& strWhat)
{
    std::fprintf(stderr, "oxilume-sim: %s (see --help)\n", strWhat.c_str());
    return 2;
}
}  // namespace

int main(int argc, char** argv)
{
    CEmulatorOptions options;
    bool bWatchInput = true;

    for (int i = 1; i < argc; ++i)
    {
        const std::string strArg = argv[i];
        const char* pszValue = i + 1 < argc ? argv[i + 1] : nullptr;
        long n = 0;
        auto needs = [&](long nMin, long nMax) {
            if (!ParseLong(pszValue, nMin, nMax, n))
                return false;
            ++i;
            return true;
        };

        if (strArg == "--help" || strArg == "-h")
        {
            std::fputs(kUsage, stdout);
            return 0;
        }
        else if (strArg == "--records")
        {
            if (!needs(0, 0xFFFFFF))
                return UsageError("--records needs a count from 0 to 16777215");
            options.m_nRecords = static_cast<int>(n);
        }
        else if (strArg == "--seed")
        {
            if (!needs(0, 0xFFFFFFFFL))
                return UsageError("--seed needs a number");
            options.m_nSeed = static_cast<std::uint32_t>(n);
        }
        else if (strArg == "--start")
        {
            if (!ParseStart(pszValue, options))
                return UsageError("--start needs YYYY-MM-DDTHH:MM:SS");
            ++i;
        }
        else if (strArg == "--live-count")
        {
            if (!needs(0, INT_MAX))
                return UsageError("--live-count needs a count");
            options.m_nLiveCount = static_cast<int>(n);
        }
        else if (strArg == "--live-interval-ms")
        {
            if (!needs(1, 3600000))
                return UsageError("--live-interval-ms needs a time in milliseconds");
            options.m_nLiveIntervalMs = static_cast<int>(n);
        }
        else if (strArg == "--no-handshake")
            options.m_bNoHandshake = true;
        else if (strArg == "--silence-after")
        {
            if (!needs(0, INT_MAX))
                return UsageError("--silence-after needs a frame count");
            options.m_nSilenceAfter = static_cast<int>(n);
        }
        else if (strArg == "--corrupt-every")
        {
            if (!needs(1, INT_MAX))
                return UsageError("--corrupt-every needs a frame count of 1 or more");
            options.m_nCorruptEvery = static_cast<int>(n);
        }
        else if (strArg == "--split-records")
            options.m_bSplitRecords = true;
        else if (strArg == "--split-pause-ms")
        {
            if (!needs(0, 60000))
                return UsageError("--split-pause-ms needs a time in milliseconds");
            options.m_nSplitPauseMs = static_cast<int>(n);
        }
        else if (strArg == "--paced")
            options.m_bPaced = true;
        else if (strArg == "--paced-burst")
        {
            if (!needs(1, 4096))
                return UsageError("--paced-burst needs a byte count of 1 or more");
            options.m_nPacedBurst = static_cast<int>(n);
        }
        else if (strArg == "--hangup-after")
        {
            if (!needs(0, LONG_MAX))
                return UsageError("--hangup-after needs a byte count");
            options.m_nHangupAfter = n;
        }
        else if (strArg == "--device")
        {
            if (!pszValue || !*pszValue)
                return UsageError("--device needs a path");
            options.m_strDevice = pszValue;
            ++i;
        }
        else if (strArg == "--no-stdin")
            bWatchInput = false;
        else if (strArg == "--trace")
            options.m_bTrace = true;
        else
            return UsageError("unknown option " + strArg);
    }

    const std::uint32_t nCount = static_cast<std::uint32_t>(options.m_nRecords);
    for (int nShift : {16, 8, 0})
    {
        const unsigned by = (nCount >> nShift) & 0xFF;
        if (by == 0xFD || by == 0xFE)
        {
            std::fprintf(stderr,
                         "oxilume-sim: warning: the record count %u has a byte 0x%02X, which the "
                         "host takes for a marker\n",
                         nCount, by);
            break;
        }
    }

    CDeviceEmulator emulator(options);
    if (!emulator.Open())
    {
        std::fprintf(stderr, "oxilume-sim: %s\n", emulator.LastError().c_str());
        return 1;
    }

    g_pEmulator = &emulator;
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    if (bWatchInput && !IsDevNull(STDIN_FILENO))
        emulator.SetInputFd(STDIN_FILENO);

    std::printf("%s\n", emulator.PortPath().c_str());
    std::fflush(stdout);

    emulator.Run();
    g_pEmulator = nullptr;
    emulator.Stop();
    return 0;
}
