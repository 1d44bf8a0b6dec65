#include "serial/PosixSerialPort.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{
using Clock = std::chrono::steady_clock;

// Whole milliseconds left until tDeadline, rounded up so that a poll never
// wakes a fraction early and comes round again with a zero time-out.
int MillisUntil(Clock::time_point tDeadline)
{
    const auto tLeft = tDeadline - Clock::now();
    if (tLeft <= Clock::duration::zero())
        return 0;
    const auto nMillis =
        std::chrono::duration_cast<std::chrono::milliseconds>(tLeft + std::chrono::microseconds(999)).count();
    return nMillis > 0x7fffffff ? 0x7fffffff : static_cast<int>(nMillis);
}

void CloseQuietly(int hFd)
{
    // A close interrupted by a signal has still released the descriptor on
    // Linux; retrying could close a number another thread just got.
    ::close(hFd);
}

constexpr short kDeadEvents = POLLHUP | POLLERR | POLLNVAL;
} // namespace

std::string DevicePathForPort(const std::string& strPortName)
{
    static const std::string strWindowsPrefix = "\\\\.\\";
    std::string strName = strPortName;
    if (strName.compare(0, strWindowsPrefix.size(), strWindowsPrefix) == 0)
        strName.erase(0, strWindowsPrefix.size());
    if (!strName.empty() && strName[0] == '/')
        return strName;
    return "/dev/" + strName;
}

std::unique_ptr<CSerialPort> OpenSerialPort(const std::string& strPortName)
{
    return CPosixSerialPort::Open(DevicePathForPort(strPortName));
}

std::unique_ptr<CPosixSerialPort> CPosixSerialPort::Open(const std::string& strPath)
{
    // O_NONBLOCK: a modem port without carrier must not hold the open up.
    // O_NOCTTY: the port must never become this program's controlling terminal.
    const int hPort = ::open(strPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (hPort < 0)
        return nullptr;

    // Only a terminal device is a port: not a regular file, a directory, a
    // pipe or /dev/null, which would all "open" and then swallow the link.
    struct stat st;
    struct termios tios;
    if (::fstat(hPort, &st) != 0 || !S_ISCHR(st.st_mode) || ::tcgetattr(hPort, &tios) != 0)
    {
        CloseQuietly(hPort);
        return nullptr;
    }

    // Exclusive use. TIOCEXCL makes further opens fail with EBUSY, but not
    // for root; the advisory lock also stops root, and a second open from
    // this very program, as long as everyone who opens ports takes it.
    if (::flock(hPort, LOCK_EX | LOCK_NB) != 0)
    {
        CloseQuietly(hPort);
        return nullptr;
    }
    ::ioctl(hPort, TIOCEXCL);

    const int hWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::unique_ptr<CPosixSerialPort> pPort(new CPosixSerialPort(hPort, hWake));
    // Linux raises RTS (and DTR) for a moment at every open of a serial
    // port. The device must see RTS inactive, so lower it again at once,
    // before anything else happens; DTR is left as the driver set it.
    pPort->LowerRts();
    return pPort;
}

CPosixSerialPort::CPosixSerialPort(int hPort, int hWake) : m_hPort(hPort), m_hWake(hWake)
{
}

CPosixSerialPort::~CPosixSerialPort()
{
    Close();
}

void CPosixSerialPort::LowerRts() const
{
    // A pseudo-terminal or a Bluetooth port has no modem lines; the
    // failure is expected there and changes nothing about the link.
    int nLines = TIOCM_RTS;
    ::ioctl(m_hPort, TIOCMBIC, &nLines);
}

bool CPosixSerialPort::SetupQueues()
{
    // Linux offers no way to size a port's queues: each driver keeps its
    // own buffers (a pseudo-terminal holds about 20 KiB each way, a USB
    // adapter's driver its own). The worker reads every few milliseconds,
    // and at 11,520 bytes a second no buffer of that order fills meanwhile.
    // There is nothing the port could refuse, so an open port says yes.
    return IsOpen();
}

bool CPosixSerialPort::ApplyLineSettings()
{
    std::shared_lock<std::shared_mutex> lock(m_lockPort);
    if (m_hPort < 0)
        return false;

    // Start from whatever the port holds, like any other serial API, but
    // keep none of its input, output or local processing: another program
    // may have left it canonical, echoing, translating CR/LF or with
    // XON/XOFF or RTS/CTS on, and each of those would eat or alter bytes.
    struct termios tios;
    if (::tcgetattr(m_hPort, &tios) != 0)
        std::memset(&tios, 0, sizeof tios);
    ::cfmakeraw(&tios);
    tios.c_iflag = 0; // no IXON/IXOFF/IXANY, ICRNL/INLCR/IGNCR, ISTRIP, PARMRK, BRKINT
    tios.c_oflag = 0; // no OPOST and so no ONLCR/OCRNL
    tios.c_lflag = 0; // no ICANON, ECHO*, ISIG, IEXTEN
    tios.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    // CLOCAL: a missing carrier must neither block nor hang the port up.
    // HUPCL stays as the driver holds it: it only decides what DTR does at
    // close, and DTR is the driver's to keep.
    tios.c_cflag |= CS8 | CREAD | CLOCAL;
    tios.c_cc[VMIN] = 0;
    tios.c_cc[VTIME] = 0;
    ::cfsetispeed(&tios, B115200);
    ::cfsetospeed(&tios, B115200);

    const bool bApplied = ::tcsetattr(m_hPort, TCSANOW, &tios) == 0;
    // Some drivers touch the modem lines when the settings change.
    LowerRts();
    if (!bApplied)
        return false;

    // tcsetattr succeeds when any part of the change took; read back what
    // the link depends on.
    struct termios tiosNow;
    if (::tcgetattr(m_hPort, &tiosNow) != 0)
        return false;
    const tcflag_t nBadControl = PARENB | CSTOPB | CRTSCTS;
    return tiosNow.c_iflag == 0 && tiosNow.c_oflag == 0 && tiosNow.c_lflag == 0 &&
           (tiosNow.c_cflag & CSIZE) == CS8 && (tiosNow.c_cflag & nBadControl) == 0 &&
           (tiosNow.c_cflag & (CREAD | CLOCAL)) == (CREAD | CLOCAL) && tiosNow.c_cc[VMIN] == 0 &&
           tiosNow.c_cc[VTIME] == 0 && ::cfgetispeed(&tiosNow) == B115200 &&
           ::cfgetospeed(&tiosNow) == B115200;
}

bool CPosixSerialPort::SetWorkerTimeouts()
{
    // The time-outs live in how the descriptor is used (non-blocking reads,
    // writes bounded by kWriteTimeoutMillis); this makes sure the port is
    // still in the state those rely on.
    std::shared_lock<std::shared_mutex> lock(m_lockPort);
    if (m_hPort < 0)
        return false;
    const int nFlags = ::fcntl(m_hPort, F_GETFL);
    if (nFlags < 0)
        return false;
    if ((nFlags & O_NONBLOCK) == 0 && ::fcntl(m_hPort, F_SETFL, nFlags | O_NONBLOCK) != 0)
        return false;
    struct termios tios;
    if (::tcgetattr(m_hPort, &tios) != 0)
        return false;
    if (tios.c_cc[VMIN] == 0 && tios.c_cc[VTIME] == 0)
        return true;
    tios.c_cc[VMIN] = 0;
    tios.c_cc[VTIME] = 0;
    return ::tcsetattr(m_hPort, TCSANOW, &tios) == 0;
}

int CPosixSerialPort::Read(std::uint8_t* pBuffer, int nMax)
{
    if (pBuffer == nullptr || nMax < 0)
        return -1;
    if (nMax == 0)
        return 0;
    if (m_bClosing.load())
        return -1;
    std::shared_lock<std::shared_mutex> lock(m_lockPort);
    if (m_hPort < 0)
        return -1;
    for (;;)
    {
        const ssize_t nRead = ::read(m_hPort, pBuffer, static_cast<size_t>(nMax));
        if (nRead >= 0)
            return static_cast<int>(nRead);
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        // EIO: the other end is gone (closed pty master, hung-up tty).
        if (errno == EIO)
            m_bHungUp.store(true);
        return -1;
    }
}

bool CPosixSerialPort::WriteByte(std::uint8_t byValue)
{
    if (m_bClosing.load())
        return false;
    std::shared_lock<std::shared_mutex> lock(m_lockPort);
    if (m_hPort < 0)
        return false;
    const Clock::time_point tDeadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMillis);
    for (;;)
    {
        const ssize_t nWritten = ::write(m_hPort, &byValue, 1);
        if (nWritten == 1)
            return true;
        if (nWritten < 0 && errno == EINTR)
            continue;
        if (nWritten < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
        {
            if (errno == EIO)
                m_bHungUp.store(true);
            return false;
        }

        // No room in the output buffer: wait for some, within the bound.
        const int nLeft = MillisUntil(tDeadline);
        if (nLeft <= 0)
            return false;
        struct pollfd aFds[2] = {{m_hPort, POLLOUT, 0}, {m_hWake, POLLIN, 0}};
        const int nReady = ::poll(aFds, 2, nLeft);
        if (nReady < 0 && errno != EINTR)
            return false;
        if (nReady > 0)
        {
            if (aFds[1].revents != 0) // Close is waiting for us
                return false;
            if (aFds[0].revents & kDeadEvents)
            {
                m_bHungUp.store(true);
                return false;
            }
        }
    }
}

void CPosixSerialPort::WaitReadable(int nMillis)
{
    if (nMillis < 0)
        nMillis = 0;
    const Clock::time_point tDeadline = Clock::now() + std::chrono::milliseconds(nMillis);
    {
        std::shared_lock<std::shared_mutex> lock(m_lockPort, std::defer_lock);
        if (!m_bClosing.load() && !m_bHungUp.load())
            lock.lock();
        while (lock.owns_lock() && m_hPort >= 0)
        {
            const int nLeft = MillisUntil(tDeadline);
            if (nLeft <= 0)
                return;
            struct pollfd aFds[2] = {{m_hPort, POLLIN, 0}, {m_hWake, POLLIN, 0}};
            const int nReady = ::poll(aFds, 2, nLeft);
            if (nReady == 0)
                return; // the bound passed quietly
            if (nReady < 0)
            {
                if (errno == EINTR)
                    continue;
                break; // poll itself failed: sleep the rest rather than spin
            }
            if (aFds[1].revents != 0)
                return; // Close is under way; later calls sleep their bound
            if (aFds[0].revents & kDeadEvents)
            {
                // A hung-up terminal reports itself readable and hung up
                // for ever; returning now would turn the worker's loop into
                // a busy spin.
                m_bHungUp.store(true);
                break;
            }
            if (aFds[0].revents & POLLIN)
            {
                int nQueued = 0;
                if (::ioctl(m_hPort, FIONREAD, &nQueued) == 0 && nQueued > 0)
                    return;
                // "Readable" with nothing to read is a dead line, not data.
                break;
            }
            break;
        }
    }
    // Closed, hung up or failing: nothing can arrive, so use up the bound.
    std::this_thread::sleep_until(tDeadline);
}

void CPosixSerialPort::PurgeReceive()
{
    if (m_bClosing.load())
        return;
    std::shared_lock<std::shared_mutex> lock(m_lockPort);
    if (m_hPort >= 0)
        ::tcflush(m_hPort, TCIFLUSH);
}

void CPosixSerialPort::Close()
{
    // One Close at a time: a second caller waits here until the port is
    // really released, then finds nothing left to do.
    std::lock_guard<std::mutex> guard(m_lockClose);
    m_bClosing.store(true);
    if (m_hWake >= 0)
    {
        const std::uint64_t nOne = 1;
        [[maybe_unused]] const ssize_t nIgnored = ::write(m_hWake, &nOne, sizeof nOne);
    }

    std::unique_lock<std::shared_mutex> lock(m_lockPort);
    if (m_hPort < 0)
        return;
    // Give up both kinds of exclusive hold before the descriptor goes: the
    // exclusive flag stays on a terminal after close and would keep others
    // (not root) from opening it.
    ::ioctl(m_hPort, TIOCNXCL);
    ::flock(m_hPort, LOCK_UN);
    CloseQuietly(m_hPort);
    m_hPort = -1;
    if (m_hWake >= 0)
        CloseQuietly(m_hWake);
    m_hWake = -1;
}

bool CPosixSerialPort::IsOpen() const
{
    return !m_bClosing.load();
}

bool CPosixSerialPort::HasHungUp() const
{
    return m_bHungUp.load();
}
