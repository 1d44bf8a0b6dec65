#include "DeviceEmulator.h"

#include "link/WireProtocol.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace
{
using namespace WireProtocol;

// One byte at 115200 baud, 8N1: ten bit times.
constexpr std::chrono::nanoseconds kByteTime(86806);
// How long a write may wait for a host that does not read before its bytes
// are given up.
constexpr int kWriteBudgetMs = 2000;

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian), so
// that stored records do not depend on the machine's time zone.
long DaysFromCivil(int y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void CivilFromDays(long z, int& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<int>(yoe) + static_cast<int>(era) * 400 + (m <= 2);
}

int Clamp(int n, int nLow, int nHigh) { return std::max(nLow, std::min(nHigh, n)); }

// A step of -1, 0 or +1 that leans back towards nHome.
int Drift(std::mt19937& rng, int n, int nHome)
{
    const unsigned r = rng() % 8;
    if (r == 0)
        return n - 1;
    if (r == 1)
        return n + 1;
    if (r == 2)
        return n + (n < nHome ? 1 : n > nHome ? -1 : 0);
    return n;
}

void MakeRaw(int nFd)
{
    termios tio{};
    if (tcgetattr(nFd, &tio) != 0)
        return;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(nFd, TCSANOW, &tio);
}

void SetFlags(int nFd)
{
    const int nFlags = fcntl(nFd, F_GETFL);
    if (nFlags >= 0)
        fcntl(nFd, F_SETFL, nFlags | O_NONBLOCK);
    fcntl(nFd, F_SETFD, FD_CLOEXEC);
}

void CloseFd(int& nFd)
{
    if (nFd >= 0)
        ::close(nFd);
    nFd = -1;
}
}  // namespace

std::array<std::uint8_t, 9> CStoredRecord::Frame() const
{
    std::array<std::uint8_t, 9> frame{m_byYear, m_byMonth, m_byDay, m_byHour, m_byMinute,
                                      m_bySecond, m_bySpo2, m_byPulse, 0};
    frame[kOffChecksum] = Checksum(frame.data(), kOffChecksum);
    return frame;
}

CDeviceEmulator::CDeviceEmulator(const CEmulatorOptions& options)
    : m_options(options), m_rngLive(options.m_nSeed ^ 0x9E3779B9u)
{
    MakeRecords();
}

CDeviceEmulator::~CDeviceEmulator() { Stop(); }

void CDeviceEmulator::MakeRecords()
{
    const int nCount = std::max(0, m_options.m_nRecords);
    m_vecRecords.reserve(static_cast<std::size_t>(nCount));
    std::mt19937 rng(m_options.m_nSeed);

    const long nStart =
        DaysFromCivil(m_options.m_nStartYear, static_cast<unsigned>(m_options.m_nStartMonth),
                      static_cast<unsigned>(m_options.m_nStartDay)) * 86400L +
        m_options.m_nStartHour * 3600L + m_options.m_nStartMinute * 60L + m_options.m_nStartSecond;

    // A sleeper: saturation wanders between 94 and 99, with a dip every two
    // to twelve minutes that sinks by 4 to 11 points and recovers within a
    // minute; the pulse wanders around 62 and rises a little in a dip.
    int nSpo2 = 97;
    int nPulse = 62;
    int nNextDip = 120 + static_cast<int>(rng() % 600);
    int nDipLength = 0;
    int nDipAt = 0;
    int nDipDepth = 0;
    for (int i = 0; i < nCount; ++i)
    {
        if (nDipLength == 0 && i >= nNextDip)
        {
            nDipLength = 20 + static_cast<int>(rng() % 40);
            nDipDepth = 4 + static_cast<int>(rng() % 8);
            nDipAt = 0;
        }
        int nShownSpo2 = nSpo2;
        int nShownPulse = nPulse;
        if (nDipLength > 0)
        {
            // Down and back up along a triangle.
            const int nHalf = nDipLength / 2;
            const int nDown = nDipAt <= nHalf ? nDipAt : nDipLength - nDipAt;
            nShownSpo2 = nSpo2 - nDipDepth * nDown / std::max(1, nHalf);
            nShownPulse = nPulse + 6 * nDown / std::max(1, nHalf);
            if (++nDipAt >= nDipLength)
            {
                nDipLength = 0;
                nNextDip = i + 120 + static_cast<int>(rng() % 600);
            }
        }
        else
        {
            nSpo2 = Clamp(Drift(rng, nSpo2, 97), 94, 99);
            nPulse = Clamp(Drift(rng, nPulse, 62), 52, 84);
            nShownSpo2 = nSpo2;
            nShownPulse = nPulse;
        }

        const long t = nStart + i;
        long nDays = t / 86400;
        long nSec = t % 86400;
        if (nSec < 0)
        {
            nSec += 86400;
            --nDays;
        }
        int y = 0;
        unsigned m = 0, d = 0;
        CivilFromDays(nDays, y, m, d);

        CStoredRecord rec;
        rec.m_byYear = static_cast<std::uint8_t>(y - 2000);
        rec.m_byMonth = static_cast<std::uint8_t>(m);
        rec.m_byDay = static_cast<std::uint8_t>(d);
        rec.m_byHour = static_cast<std::uint8_t>(nSec / 3600);
        rec.m_byMinute = static_cast<std::uint8_t>(nSec / 60 % 60);
        rec.m_bySecond = static_cast<std::uint8_t>(nSec % 60);
        rec.m_bySpo2 = static_cast<std::uint8_t>(Clamp(nShownSpo2, 80, 100));
        rec.m_byPulse = static_cast<std::uint8_t>(Clamp(nShownPulse, 50, 90));
        m_vecRecords.push_back(rec);
    }
}

std::array<std::uint8_t, 5> CDeviceEmulator::HeaderFrame() const
{
    const std::uint32_t n = static_cast<std::uint32_t>(m_vecRecords.size());
    std::array<std::uint8_t, 5> frame{m_options.m_byVersion, static_cast<std::uint8_t>(n >> 16),
                                      static_cast<std::uint8_t>(n >> 8),
                                      static_cast<std::uint8_t>(n), 0};
    frame[4] = Checksum(frame.data(), 4);
    return frame;
}

bool CDeviceEmulator::Open()
{
    if (m_bOpen)
        return true;

    int fds[2];
    if (pipe(fds) != 0)
    {
        m_strError = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    m_nWakeRead = fds[0];
    m_nWakeWrite = fds[1];
    SetFlags(m_nWakeRead);
    SetFlags(m_nWakeWrite);

    if (!m_options.m_strDevice.empty())
    {
        m_nMaster = ::open(m_options.m_strDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (m_nMaster < 0)
        {
            m_strError = m_options.m_strDevice + ": " + std::strerror(errno);
            return false;
        }
        SetFlags(m_nMaster);
        if (isatty(m_nMaster))
            MakeRaw(m_nMaster);
        m_strPortPath = m_options.m_strDevice;
        m_bOpen = true;
        return true;
    }

    m_nMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_nMaster < 0 || grantpt(m_nMaster) != 0 || unlockpt(m_nMaster) != 0)
    {
        m_strError = std::string("pseudo-terminal: ") + std::strerror(errno);
        CloseFd(m_nMaster);
        return false;
    }
    char szName[128] = {};
    if (ptsname_r(m_nMaster, szName, sizeof szName) != 0)
    {
        m_strError = std::string("ptsname: ") + std::strerror(errno);
        CloseFd(m_nMaster);
        return false;
    }
    SetFlags(m_nMaster);
    MakeRaw(m_nMaster);

    // Our own hold on the slave keeps the pty from hanging up whenever the
    // host closes it, and lets us put it in raw mode before the host comes:
    // a cooked slave would echo our frames back as commands.
    m_nSlave = ::open(szName, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_nSlave < 0)
    {
        m_strError = std::string(szName) + ": " + std::strerror(errno);
        CloseFd(m_nMaster);
        return false;
    }
    SetFlags(m_nSlave);
    MakeRaw(m_nSlave);

    m_strPortPath = szName;
    m_bOpen = true;
    return true;
}

bool CDeviceEmulator::Start()
{
    if (m_thread.joinable())
        return true;
    if (!Open())
        return false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CDeviceEmulator::RequestStop()
{
    m_bStopRequested.store(true);
    if (m_nWakeWrite >= 0)
    {
        const char c = 's';
        ssize_t n = ::write(m_nWakeWrite, &c, 1);
        (void)n;
    }
}

void CDeviceEmulator::Stop()
{
    RequestStop();
    if (m_thread.joinable())
        m_thread.join();
    CloseLine();
    CloseFd(m_nWakeRead);
    CloseFd(m_nWakeWrite);
    m_bOpen = false;
}

void CDeviceEmulator::CloseLine()
{
    // The master first, so that the host sees the hang-up at once.
    CloseFd(m_nMaster);
    CloseFd(m_nSlave);
}

void CDeviceEmulator::HangUp()
{
    Trace("hang-up", nullptr, 0);
    // Closing the master throws away what the host has not read yet, while
    // on a real wire the bytes sent before the cut would have arrived. So
    // give the host a while to take them first.
    if (m_nSlave >= 0)
    {
        // Bytes written to the master reach the slave's queue a moment
        // later, so the queue must be seen empty a few times in a row.
        const auto tGiveUp = Clock::now() + std::chrono::milliseconds(kWriteBudgetMs);
        int nEmptySeen = 0;
        while (!m_bStopRequested.load() && Clock::now() < tGiveUp && nEmptySeen < 5)
        {
            int nQueued = 0;
            if (ioctl(m_nSlave, FIONREAD, &nQueued) != 0)
                break;
            nEmptySeen = nQueued > 0 ? 0 : nEmptySeen + 1;
            pollfd pfd{m_nWakeRead, POLLIN, 0};
            ::poll(&pfd, 1, 10);
        }
    }
    else if (m_nMaster >= 0)
    {
        tcdrain(m_nMaster);
    }
    CloseLine();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bHungUp = true;
    m_cv.notify_all();
}

bool CDeviceEmulator::PauseUntil(Clock::time_point tUntil)
{
    for (;;)
    {
        if (m_bStopRequested.load())
            return false;
        const auto tNow = Clock::now();
        if (tNow >= tUntil)
            return true;
        const auto dt = tUntil - tNow;
        if (dt > std::chrono::milliseconds(2))
        {
            // Long pauses wait on the wake pipe so that a stop ends them.
            pollfd pfd{m_nWakeRead, POLLIN, 0};
            const int nMs = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(dt).count());
            ::poll(&pfd, 1, std::max(1, nMs - 1));
        }
        else
        {
            std::this_thread::sleep_until(tUntil);
        }
    }
}

void CDeviceEmulator::Run()
{
    if (!m_bOpen)
        return;
#if defined(__linux__)
    // Paced bytes are 87 us apart; the default 50 us timer slack would
    // stretch every one of them.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
#endif
    m_tWireFree = Clock::now();
    if (m_options.m_nHangupAfter == 0)
        HangUp();

    std::uint8_t abyBuffer[256];
    while (!m_bStopRequested.load() && m_nMaster >= 0)
    {
        int nTimeout = -1;
        if (m_nLiveLeft > 0)
        {
            const auto dt = m_tNextLive - Clock::now();
            const auto nMs = std::chrono::duration_cast<std::chrono::milliseconds>(dt).count();
            nTimeout = static_cast<int>(std::max<long long>(0, nMs + 1));
        }

        pollfd pfds[3] = {{m_nMaster, POLLIN, 0}, {m_nWakeRead, POLLIN, 0}, {m_nInputFd, POLLIN, 0}};
        const nfds_t nFds = m_nInputFd >= 0 ? 3 : 2;
        const int nReady = ::poll(pfds, nFds, nTimeout);
        if (nReady < 0 && errno != EINTR)
            break;

        if (nReady > 0 && (pfds[1].revents & POLLIN))
        {
            char c[64];
            while (::read(m_nWakeRead, c, sizeof c) > 0)
            {
            }
        }
        if (m_bStopRequested.load())
            break;

        if (nReady > 0 && nFds == 3 && pfds[2].revents)
        {
            char c[256];
            const ssize_t n = ::read(m_nInputFd, c, sizeof c);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                break;
        }

        if (nReady > 0 && pfds[0].revents)
        {
            const ssize_t n = ::read(m_nMaster, abyBuffer, sizeof abyBuffer);
            if (n > 0)
            {
                // A command reaches the device only after its own wire time:
                // the answer cannot start before.
                if (m_options.m_bPaced)
                    m_tWireFree = std::max(m_tWireFree, Clock::now() + kByteTime * n);
                for (ssize_t i = 0; i < n && m_nMaster >= 0 && !m_bStopRequested.load(); ++i)
                    HandleByte(abyBuffer[i]);
            }
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            {
                // No host on the line (EIO, or a device whose far end is
                // gone): wait a little instead of spinning on the hang-up.
                pollfd pfd{m_nWakeRead, POLLIN, 0};
                ::poll(&pfd, 1, 20);
            }
        }

        if (m_nMaster >= 0 && m_nLiveLeft > 0 && Clock::now() >= m_tNextLive)
        {
            --m_nLiveLeft;
            m_tNextLive += std::chrono::milliseconds(m_options.m_nLiveIntervalMs);
            // A late wake-up does not send a burst of frames to catch up.
            if (m_tNextLive < Clock::now())
                m_tNextLive = Clock::now() + std::chrono::milliseconds(m_options.m_nLiveIntervalMs);
            SendLiveFrame();
        }
    }
}

void CDeviceEmulator::HandleByte(std::uint8_t byCommand)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vecCommands.push_back(byCommand);
        m_cv.notify_all();
    }
    Trace("command", &byCommand, 1);

    switch (byCommand)
    {
    case kCmdHandshake:
        // The host starts afresh: what was still streaming belongs to the
        // session before, so it is dropped rather than delivered ahead of 0xFE.
        if (m_nLiveLeft > 0 || m_eAwaited != EAwaited::None)
            tcflush(m_nSlave >= 0 ? m_nSlave : m_nMaster, m_nSlave >= 0 ? TCIFLUSH : TCOFLUSH);
        m_nLiveLeft = 0;
        m_eAwaited = EAwaited::None;
        if (!m_options.m_bNoHandshake)
            SendMarker(kMarkHandshake);
        break;
    case kCmdLive:
    case kCmdLiveAgain:
        StartLive();
        break;
    case kCmdHeader:
    {
        m_nLiveLeft = 0;
        m_nNextRecord = 0;
        const auto frame = HeaderFrame();
        m_vecAwaited.assign(frame.begin(), frame.end());
        m_eAwaited = EAwaited::Frame;
        m_eAwaitedKind = EFrame::Header;
        SendFrame(EFrame::Header, frame.data(), frame.size(), false);
        break;
    }
    case kCmdNextRecord:
        m_nLiveLeft = 0;
        if (m_nNextRecord < m_vecRecords.size())
        {
            const auto frame = m_vecRecords[m_nNextRecord++].Frame();
            m_vecAwaited.assign(frame.begin(), frame.end());
            m_eAwaited = EAwaited::Frame;
            m_eAwaitedKind = EFrame::Record;
            SendFrame(EFrame::Record, frame.data(), frame.size(), false);
        }
        else
        {
            m_eAwaited = EAwaited::EndMarker;
            SendMarker(kMarkEndOfData);
        }
        break;
    case kCmdResume:
        // The frame the host waits for goes out again from its start.
        m_nLiveLeft = 0;
        if (m_eAwaited == EAwaited::Frame)
            SendFrame(m_eAwaitedKind, m_vecAwaited.data(), m_vecAwaited.size(), true);
        else if (m_eAwaited == EAwaited::EndMarker)
            SendMarker(kMarkEndOfData);
        break;
    case kCmdStop:
        m_nLiveLeft = 0;
        m_eAwaited = EAwaited::None;
        break;
    default:
        break;  // not a command: ignored
    }
}

void CDeviceEmulator::StartLive()
{
    const int nCount = std::max(0, m_options.m_nLiveCount);
    if (nCount == 0)
        return;
    if (m_nLiveLeft > 0)
    {
        // Already streaming: keep the rhythm, count afresh.
        m_nLiveLeft = nCount;
        return;
    }
    m_nLiveLeft = nCount - 1;
    m_tNextLive = Clock::now() + std::chrono::milliseconds(m_options.m_nLiveIntervalMs);
    SendLiveFrame();
}

void CDeviceEmulator::SendLiveFrame()
{
    const std::time_t tNow = std::time(nullptr);
    std::tm tmNow{};
    localtime_r(&tNow, &tmNow);

    m_nLiveSpo2 = Clamp(Drift(m_rngLive, m_nLiveSpo2, 97), 95, 99);
    m_nLivePulse = Clamp(Drift(m_rngLive, m_nLivePulse, 68), 58, 82);

    CStoredRecord rec;
    rec.m_byYear = static_cast<std::uint8_t>(Clamp(tmNow.tm_year + 1900 - 2000, 0, 255));
    rec.m_byMonth = static_cast<std::uint8_t>(tmNow.tm_mon + 1);
    rec.m_byDay = static_cast<std::uint8_t>(tmNow.tm_mday);
    rec.m_byHour = static_cast<std::uint8_t>(tmNow.tm_hour);
    rec.m_byMinute = static_cast<std::uint8_t>(tmNow.tm_min);
    rec.m_bySecond = static_cast<std::uint8_t>(std::min(tmNow.tm_sec, 59));
    rec.m_bySpo2 = static_cast<std::uint8_t>(m_nLiveSpo2);
    rec.m_byPulse = static_cast<std::uint8_t>(m_nLivePulse);
    const auto frame = rec.Frame();
    SendFrame(EFrame::Live, frame.data(), frame.size(), false);
}

bool CDeviceEmulator::Silenced() const
{
    return m_options.m_nSilenceAfter >= 0 &&
           m_nFramesCounted >= static_cast<std::size_t>(m_options.m_nSilenceAfter);
}

void CDeviceEmulator::SendFrame(EFrame eKind, const std::uint8_t* pBytes, std::size_t nCount,
                                bool bResent)
{
    if (Silenced())
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_counts.m_nDroppedBytes += nCount;
        return;
    }
    ++m_nFramesCounted;

    std::vector<std::uint8_t> vecFrame(pBytes, pBytes + nCount);
    const bool bCorrupt = m_options.m_nCorruptEvery > 0 &&
                          m_nFramesCounted % static_cast<std::size_t>(m_options.m_nCorruptEvery) == 0;
    if (bCorrupt)
    {
        // Still below 0x80, so it can never pass for a marker.
        vecFrame.back() = static_cast<std::uint8_t>((vecFrame.back() + 1) & 0x7F);
    }

    Trace(eKind == EFrame::Live ? "live" : eKind == EFrame::Header ? "header" : "record",
          vecFrame.data(), vecFrame.size());

    if (eKind == EFrame::Record && m_options.m_bSplitRecords)
    {
        for (std::size_t nAt = 0; nAt < vecFrame.size() && m_nMaster >= 0; nAt += 3)
        {
            if (nAt > 0 &&
                !PauseUntil(Clock::now() + std::chrono::milliseconds(m_options.m_nSplitPauseMs)))
                break;
            WriteLine(vecFrame.data() + nAt, std::min<std::size_t>(3, vecFrame.size() - nAt));
        }
    }
    else
    {
        WriteLine(vecFrame.data(), vecFrame.size());
    }

    // Counted once its bytes are out, so that a waiter can go and read them.
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (eKind)
    {
    case EFrame::Live: ++m_counts.m_nLiveFrames; break;
    case EFrame::Header: ++m_counts.m_nHeaderFrames; break;
    case EFrame::Record: ++m_counts.m_nRecordFrames; break;
    }
    if (bResent)
        ++m_counts.m_nResentFrames;
    if (bCorrupt)
        ++m_counts.m_nCorruptedFrames;
    m_cv.notify_all();
}

void CDeviceEmulator::SendMarker(std::uint8_t byMarker)
{
    if (Silenced())
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_counts.m_nDroppedBytes;
        return;
    }
    Trace("marker", &byMarker, 1);
    WriteLine(&byMarker, 1);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (byMarker == kMarkHandshake)
        ++m_counts.m_nHandshakeMarkers;
    else
        ++m_counts.m_nEndMarkers;
    m_cv.notify_all();
}

void CDeviceEmulator::WriteLine(const std::uint8_t* pBytes, std::size_t nCount)
{
    if (m_nMaster < 0)
        return;
    bool bHangUp = false;
    if (m_options.m_nHangupAfter >= 0)
    {
        std::size_t nSent;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            nSent = m_counts.m_nBytes;
        }
        const std::size_t nLimit = static_cast<std::size_t>(m_options.m_nHangupAfter);
        const std::size_t nLeft = nLimit > nSent ? nLimit - nSent : 0;
        if (nCount >= nLeft)
        {
            nCount = nLeft;
            bHangUp = true;
        }
    }

    if (!m_options.m_bPaced)
    {
        WriteRaw(pBytes, nCount);
    }
    else
    {
        // Byte i has arrived one byte time after byte i-1. Bytes go out in
        // groups of m_nPacedBurst once the last of the group has arrived;
        // whatever is due goes out together, so a late wake-up does not slow
        // the average rate, and no byte ever comes early.
        const Clock::time_point tBase = std::max(m_tWireFree, Clock::now());
        const std::size_t nBurst = static_cast<std::size_t>(std::max(1, m_options.m_nPacedBurst));
        std::size_t nDone = 0;
        while (nDone < nCount)
        {
            const auto tNow = Clock::now();
            std::size_t nDue = nDone;
            while (nDue < nCount && tBase + kByteTime * static_cast<long>(nDue + 1) <= tNow)
                ++nDue;
            const std::size_t nWant = std::min(nCount, nDone + nBurst);
            if (nDue < nWant)
            {
                if (!PauseUntil(tBase + kByteTime * static_cast<long>(nWant)))
                    return;
                continue;
            }
            if (!WriteRaw(pBytes + nDone, nDue - nDone))
                break;
            nDone = nDue;
        }
        m_tWireFree = tBase + kByteTime * static_cast<long>(nCount);
    }

    if (bHangUp)
        HangUp();
}

bool CDeviceEmulator::WriteRaw(const std::uint8_t* pBytes, std::size_t nCount)
{
    const auto tGiveUp = Clock::now() + std::chrono::milliseconds(kWriteBudgetMs);
    std::size_t nDone = 0;
    while (nDone < nCount && m_nMaster >= 0)
    {
        const ssize_t n = ::write(m_nMaster, pBytes + nDone, nCount - nDone);
        if (n > 0)
        {
            nDone += static_cast<std::size_t>(n);
            std::lock_guard<std::mutex> lock(m_mutex);
            m_counts.m_nBytes += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            break;  // no host on the line: the bytes are lost, as on a real wire
        // The host does not read: wait for room, but not forever.
        if (m_bStopRequested.load() || Clock::now() >= tGiveUp)
            break;
        pollfd pfds[2] = {{m_nMaster, POLLOUT, 0}, {m_nWakeRead, POLLIN, 0}};
        ::poll(pfds, 2, 20);
    }
    if (nDone < nCount)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_counts.m_nDroppedBytes += nCount - nDone;
    }
    return nDone == nCount;
}

void CDeviceEmulator::Trace(const char* pszWhat, const std::uint8_t* pBytes, std::size_t nCount) const
{
    if (!m_options.m_bTrace)
        return;
    std::string str = std::string("sim: ") + pszWhat;
    char sz[8];
    for (std::size_t i = 0; i < nCount; ++i)
    {
        std::snprintf(sz, sizeof sz, " %02X", pBytes[i]);
        str += sz;
    }
    str += '\n';
    std::fputs(str.c_str(), stderr);
}

std::vector<std::uint8_t> CDeviceEmulator::Commands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_vecCommands;
}

std::size_t CDeviceEmulator::CommandCount(std::uint8_t byCommand) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<std::size_t>(std::count(m_vecCommands.begin(), m_vecCommands.end(), byCommand));
}

void CDeviceEmulator::ClearCommands()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecCommands.clear();
}

bool CDeviceEmulator::WaitForCommand(std::uint8_t byCommand, int nTimeoutMs, std::size_t nCount) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [&] {
        return static_cast<std::size_t>(
                   std::count(m_vecCommands.begin(), m_vecCommands.end(), byCommand)) >= nCount;
    });
}

CEmulatorCounts CDeviceEmulator::Counts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counts;
}

bool CDeviceEmulator::WaitForFrames(std::size_t nFrames, int nTimeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                         [&] { return m_counts.Frames() >= nFrames; });
}

bool CDeviceEmulator::IsHungUp() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bHungUp;
}

bool CDeviceEmulator::WaitForHangup(int nTimeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [&] { return m_bHungUp; });
}
