// The POSIX serial port against real pseudo-terminals. The test holds the
// master and plays the device; the port under test opens the slave by path,
// as it would open /dev/ttyUSB0.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "serial/PosixSerialPort.h"

namespace
{
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// Generous limits: other builds and tests share this machine's two cores.
constexpr auto kArrivalLimit = std::chrono::seconds(10);

Bytes EveryByteValue()
{
    Bytes aBytes;
    for (int n = 0; n <= 0xFF; ++n)
        aBytes.push_back(static_cast<std::uint8_t>(n));
    return aBytes;
}

// The device's end of a pseudo-terminal pair.
class CPtyDevice
{
public:
    CPtyDevice()
    {
        m_hMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_hMaster < 0 || ::grantpt(m_hMaster) != 0 || ::unlockpt(m_hMaster) != 0)
            return;
        char szName[128] = {};
        if (::ptsname_r(m_hMaster, szName, sizeof szName) != 0)
            return;
        m_strSlave = szName;
        // The device speaks raw bytes too: nothing on this side may echo,
        // translate or swallow what the port sends.
        struct termios tios;
        ::tcgetattr(m_hMaster, &tios);
        ::cfmakeraw(&tios);
        ::tcsetattr(m_hMaster, TCSANOW, &tios);
        ::fcntl(m_hMaster, F_SETFL, ::fcntl(m_hMaster, F_GETFL) | O_NONBLOCK);
    }
    ~CPtyDevice() { Hangup(); }
    CPtyDevice(const CPtyDevice&) = delete;
    CPtyDevice& operator=(const CPtyDevice&) = delete;

    bool IsValid() const { return m_hMaster >= 0 && !m_strSlave.empty(); }
    const std::string& SlavePath() const { return m_strSlave; }

    // Closing the master is what a pulled USB cable looks like to the port.
    void Hangup()
    {
        if (m_hMaster >= 0)
            ::close(m_hMaster);
        m_hMaster = -1;
    }

    bool Send(const Bytes& aBytes)
    {
        std::size_t nDone = 0;
        const auto tDeadline = Clock::now() + kArrivalLimit;
        while (nDone < aBytes.size() && Clock::now() < tDeadline)
        {
            const ssize_t n = ::write(m_hMaster, aBytes.data() + nDone, aBytes.size() - nDone);
            if (n > 0)
                nDone += static_cast<std::size_t>(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            else
            {
                struct pollfd fd = {m_hMaster, POLLOUT, 0};
                ::poll(&fd, 1, 10);
            }
        }
        return nDone == aBytes.size();
    }

    // What the port sent: waits until nWanted bytes came or the limit passed,
    // then keeps listening for tQuiet so that extra bytes (an echo) show up.
    Bytes Receive(std::size_t nWanted, std::chrono::milliseconds tQuiet = std::chrono::milliseconds(0))
    {
        Bytes aGot;
        const auto tDeadline = Clock::now() + kArrivalLimit;
        while (aGot.size() < nWanted && Clock::now() < tDeadline)
            ReadOnce(aGot, 20);
        const auto tQuietEnd = Clock::now() + tQuiet;
        while (Clock::now() < tQuietEnd)
            ReadOnce(aGot, 10);
        return aGot;
    }

private:
    void ReadOnce(Bytes& aGot, int nMillis)
    {
        struct pollfd fd = {m_hMaster, POLLIN, 0};
        if (::poll(&fd, 1, nMillis) <= 0)
            return;
        std::uint8_t aBuffer[4096];
        const ssize_t n = ::read(m_hMaster, aBuffer, sizeof aBuffer);
        if (n > 0)
            aGot.insert(aGot.end(), aBuffer, aBuffer + n);
    }

    int m_hMaster = -1;
    std::string m_strSlave;
};

// What the port received, read the way the worker does it: wait, then read
// up to 200 bytes.
Bytes ReceiveOnPort(CSerialPort& port, std::size_t nWanted,
                    std::chrono::milliseconds tQuiet = std::chrono::milliseconds(0))
{
    Bytes aGot;
    std::uint8_t aBuffer[200];
    const auto tDeadline = Clock::now() + kArrivalLimit;
    auto readOnce = [&](int nWait) {
        port.WaitReadable(nWait);
        const int n = port.Read(aBuffer, static_cast<int>(sizeof aBuffer));
        if (n > 0)
            aGot.insert(aGot.end(), aBuffer, aBuffer + n);
    };
    while (aGot.size() < nWanted && Clock::now() < tDeadline)
        readOnce(20);
    const auto tQuietEnd = Clock::now() + tQuiet;
    while (Clock::now() < tQuietEnd)
        readOnce(10);
    return aGot;
}

class SerialPortTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_device.IsValid()) << "no pseudo-terminal: " << std::strerror(errno); }

    std::unique_ptr<CSerialPort> OpenConfigured()
    {
        auto pPort = OpenSerialPort(m_device.SlavePath());
        if (pPort)
        {
            EXPECT_TRUE(pPort->SetupQueues());
            EXPECT_TRUE(pPort->ApplyLineSettings());
            EXPECT_TRUE(pPort->SetWorkerTimeouts());
        }
        return pPort;
    }

    CPtyDevice m_device;
};

// ---------------------------------------------------------------------------
// Every byte value both ways, also on a slave that another program left set
// up for a terminal session rather than a binary link.

struct SLeftoverMode
{
    const char* pszName;
    std::function<void(termios&)> fnApply;
};

void PrintTo(const SLeftoverMode& mode, std::ostream* pOut)
{
    *pOut << mode.pszName;
}

class SerialLeftoverModeTest : public SerialPortTest, public ::testing::WithParamInterface<SLeftoverMode>
{
};

TEST_P(SerialLeftoverModeTest, EveryByteValuePassesBothWaysUnchanged)
{
    {
        // "Another program": a plain open that sets the mode and closes.
        const int hOther = ::open(m_device.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(hOther, 0);
        struct termios tios;
        ASSERT_EQ(::tcgetattr(hOther, &tios), 0);
        GetParam().fnApply(tios);
        ASSERT_EQ(::tcsetattr(hOther, TCSANOW, &tios), 0);
        ::close(hOther);
    }

    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    const Bytes aAll = EveryByteValue();

    // Device to port: all 256 values, and no echo back to the device.
    ASSERT_TRUE(m_device.Send(aAll));
    EXPECT_EQ(ReceiveOnPort(*pPort, aAll.size(), std::chrono::milliseconds(100)), aAll);
    EXPECT_EQ(m_device.Receive(0, std::chrono::milliseconds(100)), Bytes()) << "the port echoed";

    // Port to device, one byte at a time as the link writes.
    for (std::uint8_t by : aAll)
        ASSERT_TRUE(pPort->WriteByte(by)) << "byte " << int(by);
    EXPECT_EQ(m_device.Receive(aAll.size(), std::chrono::milliseconds(100)), aAll);
    EXPECT_EQ(ReceiveOnPort(*pPort, 0, std::chrono::milliseconds(50)), Bytes());
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SerialLeftoverModeTest,
    ::testing::Values(
        SLeftoverMode{"AsCreated", [](termios&) {}},
        SLeftoverMode{"CanonicalEcho",
                      [](termios& t) {
                          t.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL | ISIG | IEXTEN;
                      }},
        SLeftoverMode{"SoftwareFlowControl", [](termios& t) { t.c_iflag |= IXON | IXOFF | IXANY; }},
        SLeftoverMode{"HardwareFlowControl", [](termios& t) { t.c_cflag |= CRTSCTS; }},
        SLeftoverMode{"LineEndTranslation",
                      [](termios& t) {
                          t.c_iflag |= ICRNL | INLCR | IGNCR;
                          t.c_oflag |= OPOST | ONLCR | OCRNL;
                      }},
        SLeftoverMode{"SevenBitsEvenParityTwoStops",
                      [](termios& t) {
                          t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB;
                          t.c_iflag |= ISTRIP | INPCK | PARMRK | BRKINT;
                      }},
        SLeftoverMode{"EverythingAtOnce",
                      [](termios& t) {
                          t.c_lflag |= ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN;
                          t.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP;
                          t.c_oflag |= OPOST | ONLCR;
                          t.c_cflag |= CRTSCTS | PARENB;
                          t.c_cc[VMIN] = 1;
                          t.c_cc[VTIME] = 5;
                      }}),
    [](const ::testing::TestParamInfo<SLeftoverMode>& info) { return std::string(info.param.pszName); });

// ---------------------------------------------------------------------------
// Reading and purging.

TEST_F(SerialPortTest, EmptyReadReturnsAtOnceWithNothing)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    std::uint8_t aBuffer[200];
    // A read that waited for data would never come back here; the bound
    // only guards against a read that waits out some time-out first.
    const auto tStart = Clock::now();
    EXPECT_EQ(pPort->Read(aBuffer, 200), 0);
    EXPECT_LT(Clock::now() - tStart, std::chrono::seconds(2));
    EXPECT_EQ(pPort->Read(aBuffer, 0), 0);
    EXPECT_FALSE(pPort->HasHungUp());
}

TEST_F(SerialPortTest, ReadTakesAtMostTheAskedCount)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    Bytes aSent(500);
    for (std::size_t n = 0; n < aSent.size(); ++n)
        aSent[n] = static_cast<std::uint8_t>(n * 7);
    ASSERT_TRUE(m_device.Send(aSent));

    Bytes aGot;
    std::uint8_t aBuffer[256];
    const auto tDeadline = Clock::now() + kArrivalLimit;
    while (aGot.size() < aSent.size() && Clock::now() < tDeadline)
    {
        pPort->WaitReadable(20);
        const int n = pPort->Read(aBuffer, 200);
        ASSERT_GE(n, 0);
        ASSERT_LE(n, 200);
        aGot.insert(aGot.end(), aBuffer, aBuffer + n);
    }
    EXPECT_EQ(aGot, aSent);
}

TEST_F(SerialPortTest, WaitReadableReturnsWhenBytesArrive)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    std::thread device([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_device.Send({0x42});
    });
    const auto tStart = Clock::now();
    pPort->WaitReadable(30000);
    device.join();
    // Far below the bound: the wait ended because the byte came.
    EXPECT_LT(Clock::now() - tStart, std::chrono::seconds(20));
    EXPECT_EQ(ReceiveOnPort(*pPort, 1), Bytes({0x42}));
}

TEST_F(SerialPortTest, PurgeDropsBytesThatHadArrived)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    ASSERT_TRUE(m_device.Send({0xFE, 0x01, 0x02, 0x03, 0xFD, 0x55, 0xAA}));
    pPort->WaitReadable(10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    pPort->PurgeReceive();
    std::uint8_t aBuffer[200];
    EXPECT_EQ(pPort->Read(aBuffer, 200), 0);
    EXPECT_EQ(ReceiveOnPort(*pPort, 0, std::chrono::milliseconds(100)), Bytes());

    // The port still works afterwards, and only the new bytes arrive.
    ASSERT_TRUE(m_device.Send({0x71, 0x72}));
    EXPECT_EQ(ReceiveOnPort(*pPort, 2, std::chrono::milliseconds(50)), Bytes({0x71, 0x72}));
}

TEST_F(SerialPortTest, PurgeLeavesTheSendSideAlone)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    ASSERT_TRUE(pPort->WriteByte(0x72));
    pPort->PurgeReceive();
    EXPECT_EQ(m_device.Receive(1), Bytes({0x72}));
}

// ---------------------------------------------------------------------------
// Opening: exclusive, only terminals, names.

TEST_F(SerialPortTest, SecondOpenOfAHeldPortFails)
{
    auto pFirst = OpenSerialPort(m_device.SlavePath());
    ASSERT_NE(pFirst, nullptr);
    // The same program, by path and by bare name (the same device node).
    EXPECT_EQ(OpenSerialPort(m_device.SlavePath()), nullptr);
    EXPECT_EQ(OpenSerialPort(m_device.SlavePath().substr(std::strlen("/dev/"))), nullptr);

    // Another program (also when it runs as root, where TIOCEXCL does not
    // stop it).
    const pid_t nChild = ::fork();
    ASSERT_GE(nChild, 0);
    if (nChild == 0)
        ::_exit(OpenSerialPort(m_device.SlavePath()) == nullptr ? 0 : 1);
    int nStatus = 0;
    ASSERT_EQ(::waitpid(nChild, &nStatus, 0), nChild);
    ASSERT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 0) << "another process opened a held port";

    // The failed opens did not disturb the holder.
    ASSERT_TRUE(pFirst->ApplyLineSettings());
    ASSERT_TRUE(m_device.Send({0x5A}));
    EXPECT_EQ(ReceiveOnPort(*pFirst, 1), Bytes({0x5A}));
}

TEST_F(SerialPortTest, PortHeldByAnotherProgramFails)
{
    // A program holding the port the usual Linux way, with a lock of its own.
    const int hOther = ::open(m_device.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(hOther, 0);
    ASSERT_EQ(::flock(hOther, LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(OpenSerialPort(m_device.SlavePath()), nullptr);
    ::close(hOther);
    EXPECT_NE(OpenSerialPort(m_device.SlavePath()), nullptr);
}

#ifdef TIOCGEXCL
TEST_F(SerialPortTest, ExclusiveFlagIsHeldWhileOpenAndReleasedByClose)
{
    auto pPort = OpenSerialPort(m_device.SlavePath());
    ASSERT_NE(pPort, nullptr);
    auto exclusiveFlag = [&] {
        // Root may still open an exclusive terminal, which lets us look.
        const int hLook = ::open(m_device.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        int nExclusive = -1;
        if (hLook >= 0)
        {
            ::ioctl(hLook, TIOCGEXCL, &nExclusive);
            ::close(hLook);
        }
        return nExclusive;
    };
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can open an exclusive terminal to look at its flag";
    EXPECT_EQ(exclusiveFlag(), 1);
    pPort->Close();
    // Left set, it would keep every non-root program out of the port.
    EXPECT_EQ(exclusiveFlag(), 0);
}
#endif

struct SNotAPort
{
    const char* pszName;
    std::function<std::string(const std::string& strScratch)> fnMake;
};

void PrintTo(const SNotAPort& path, std::ostream* pOut)
{
    *pOut << path.pszName;
}

class SerialNotAPortTest : public ::testing::TestWithParam<SNotAPort>
{
protected:
    void SetUp() override
    {
        char szScratch[] = "/tmp/oxilume-serial-XXXXXX";
        ASSERT_NE(::mkdtemp(szScratch), nullptr);
        m_strScratch = szScratch;
    }
    void TearDown() override
    {
        if (!m_strScratch.empty())
        {
            const std::string strCommand = "rm -rf '" + m_strScratch + "'";
            [[maybe_unused]] int nIgnored = std::system(strCommand.c_str());
        }
    }
    std::string m_strScratch;
};

TEST_P(SerialNotAPortTest, OpenFails)
{
    const std::string strPath = GetParam().fnMake(m_strScratch);
    EXPECT_EQ(OpenSerialPort(strPath), nullptr) << strPath;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, SerialNotAPortTest,
    ::testing::Values(
        SNotAPort{"RegularFile",
                  [](const std::string& strDir) {
                      const std::string strPath = strDir + "/file";
                      const int h = ::open(strPath.c_str(), O_CREAT | O_WRONLY, 0600);
                      [[maybe_unused]] ssize_t n = ::write(h, "x", 1);
                      ::close(h);
                      return strPath;
                  }},
        SNotAPort{"Directory", [](const std::string& strDir) { return strDir; }},
        SNotAPort{"NamedPipe",
                  [](const std::string& strDir) {
                      const std::string strPath = strDir + "/fifo";
                      ::mkfifo(strPath.c_str(), 0600);
                      return strPath;
                  }},
        SNotAPort{"DevNull", [](const std::string&) { return std::string("/dev/null"); }},
        SNotAPort{"BareNameDevNull", [](const std::string&) { return std::string("null"); }},
        SNotAPort{"MissingPath", [](const std::string& strDir) { return strDir + "/ttyUSB0"; }},
        SNotAPort{"MissingBareName", [](const std::string&) { return std::string("ttyOxilumeNone9"); }},
        SNotAPort{"WindowsName", [](const std::string&) { return std::string("COM3"); }},
        SNotAPort{"EmptyName", [](const std::string&) { return std::string(); }}),
    [](const ::testing::TestParamInfo<SNotAPort>& info) { return std::string(info.param.pszName); });

TEST(SerialDevicePathTest, MapsPortNamesToDeviceNodes)
{
    const struct
    {
        const char* pszName;
        const char* pszPath;
    } aCases[] = {
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"ttyUSB10", "/dev/ttyUSB10"},
        {"rfcomm0", "/dev/rfcomm0"},
        {"ttyS3", "/dev/ttyS3"},
        {"pts/3", "/dev/pts/3"},
        {"/dev/pts/3", "/dev/pts/3"},
        {"/dev/serial/by-id/usb-Prolific-port0", "/dev/serial/by-id/usb-Prolific-port0"},
        {"/tmp/ttyFake", "/tmp/ttyFake"},
        {"\\\\.\\ttyUSB0", "/dev/ttyUSB0"},
        {"\\\\.\\COM12", "/dev/COM12"},
        {"COM3", "/dev/COM3"},
        {"", "/dev/"},
    };
    for (const auto& c : aCases)
        EXPECT_EQ(DevicePathForPort(c.pszName), c.pszPath) << "port name \"" << c.pszName << "\"";
}

TEST_F(SerialPortTest, BareNameOpensTheNodeUnderDev)
{
    ASSERT_EQ(m_device.SlavePath().rfind("/dev/", 0), 0u);
    auto pPort = OpenSerialPort(m_device.SlavePath().substr(std::strlen("/dev/")));
    ASSERT_NE(pPort, nullptr);
    ASSERT_TRUE(pPort->ApplyLineSettings());
    ASSERT_TRUE(pPort->WriteByte(0x72));
    EXPECT_EQ(m_device.Receive(1), Bytes({0x72}));
}

// ---------------------------------------------------------------------------
// Closing.

TEST_F(SerialPortTest, ClosedPortCanBeOpenedAgain)
{
    for (int nRound = 0; nRound < 3; ++nRound)
    {
        auto pPort = OpenConfigured();
        ASSERT_NE(pPort, nullptr) << "round " << nRound;
        ASSERT_TRUE(m_device.Send({static_cast<std::uint8_t>(0xF0 + nRound)}));
        EXPECT_EQ(ReceiveOnPort(*pPort, 1), Bytes({static_cast<std::uint8_t>(0xF0 + nRound)}));
        pPort->PurgeReceive();
        pPort->Close();
        EXPECT_FALSE(pPort->IsOpen());
    }
}

TEST_F(SerialPortTest, SecondCloseAndLaterCallsAreHarmless)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    EXPECT_TRUE(pPort->IsOpen());
    pPort->Close();
    pPort->Close();
    EXPECT_FALSE(pPort->IsOpen());

    std::uint8_t aBuffer[200];
    EXPECT_EQ(pPort->Read(aBuffer, 200), -1);
    EXPECT_FALSE(pPort->WriteByte(0x7A));
    EXPECT_FALSE(pPort->ApplyLineSettings());
    EXPECT_FALSE(pPort->SetWorkerTimeouts());
    pPort->PurgeReceive();
    pPort->WaitReadable(1);

    // The device node is free again, for this program and others.
    EXPECT_NE(OpenSerialPort(m_device.SlavePath()), nullptr);
}

TEST_F(SerialPortTest, CloseFromTwoThreadsAtOnceClosesOnce)
{
    for (int nRound = 0; nRound < 20; ++nRound)
    {
        auto pPort = OpenSerialPort(m_device.SlavePath());
        ASSERT_NE(pPort, nullptr) << "round " << nRound;
        std::atomic<bool> bGo{false};
        auto closer = [&] {
            while (!bGo.load())
                std::this_thread::yield();
            pPort->Close();
        };
        std::thread a(closer), b(closer);
        bGo.store(true);
        a.join();
        b.join();
        EXPECT_FALSE(pPort->IsOpen());
    }
    EXPECT_NE(OpenSerialPort(m_device.SlavePath()), nullptr);
}

TEST_F(SerialPortTest, CloseCutsAPendingWaitShort)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    std::atomic<bool> bWaiting{false};
    std::thread worker([&] {
        bWaiting.store(true);
        pPort->WaitReadable(60000);
    });
    while (!bWaiting.load())
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto tStart = Clock::now();
    pPort->Close();
    worker.join();
    // Without the wake-up, Close would sit out the worker's whole minute.
    EXPECT_LT(Clock::now() - tStart, std::chrono::seconds(30));
    EXPECT_FALSE(pPort->IsOpen());
}

// ---------------------------------------------------------------------------
// Two threads on one port: the worker reads and writes, the user interface
// writes the stop byte.

TEST_F(SerialPortTest, WritesFromTwoThreadsWhileReadingAllArrive)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    constexpr int kEach = 400;
    std::atomic<int> nFailures{0};
    std::atomic<bool> bReading{true};
    std::atomic<std::size_t> nPortGot{0};

    std::thread reader([&] {
        std::uint8_t aBuffer[200];
        while (bReading.load())
        {
            pPort->WaitReadable(5);
            const int n = pPort->Read(aBuffer, 200);
            if (n > 0)
                nPortGot.fetch_add(static_cast<std::size_t>(n));
        }
    });
    auto writer = [&](std::uint8_t by) {
        for (int n = 0; n < kEach; ++n)
            if (!pPort->WriteByte(by))
                nFailures.fetch_add(1);
    };
    std::thread workerWrites(writer, std::uint8_t{'m'});
    std::thread uiWrites(writer, std::uint8_t{'z'});
    ASSERT_TRUE(m_device.Send(Bytes(300, 0xAB)));

    const Bytes aGot = m_device.Receive(2 * kEach);
    workerWrites.join();
    uiWrites.join();
    const auto tDeadline = Clock::now() + kArrivalLimit;
    while (nPortGot.load() < 300 && Clock::now() < tDeadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    bReading.store(false);
    reader.join();

    EXPECT_EQ(nFailures.load(), 0);
    ASSERT_EQ(aGot.size(), std::size_t{2 * kEach});
    int nM = 0, nZ = 0;
    for (std::uint8_t by : aGot)
        (by == 'm' ? nM : nZ) += 1;
    EXPECT_EQ(nM, kEach);
    EXPECT_EQ(nZ, kEach);
    EXPECT_EQ(nPortGot.load(), 300u);
}

// ---------------------------------------------------------------------------
// The other end going away, and a device that stops taking bytes.

TEST_F(SerialPortTest, HungUpPortReadsNothingAndRefusesWrites)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    m_device.Hangup();

    std::uint8_t aBuffer[200];
    for (int n = 0; n < 10; ++n)
    {
        pPort->WaitReadable(1);
        EXPECT_LE(pPort->Read(aBuffer, 200), 0);
    }
    EXPECT_TRUE(pPort->HasHungUp());
    EXPECT_FALSE(pPort->WriteByte(0x71));
    EXPECT_TRUE(pPort->IsOpen());
    pPort->PurgeReceive();
    pPort->Close();
    EXPECT_FALSE(pPort->IsOpen());
}

struct SWaitCase
{
    const char* pszName;
    bool bHangUp;
};

void PrintTo(const SWaitCase& c, std::ostream* pOut)
{
    *pOut << c.pszName;
}

class SerialWaitBoundTest : public SerialPortTest, public ::testing::WithParamInterface<SWaitCase>
{
};

// The worker paces its passes with WaitReadable. On a port with nothing to
// read it must sleep its bound each time, including a hung-up port, which
// poll() reports as "ready" over and over.
TEST_P(SerialWaitBoundTest, WaitSleepsItsBoundWhenNothingCanArrive)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    if (GetParam().bHangUp)
        m_device.Hangup();

    std::uint8_t aBuffer[200];
    const auto tStart = Clock::now();
    for (int n = 0; n < 100; ++n)
    {
        pPort->WaitReadable(5);
        EXPECT_LE(pPort->Read(aBuffer, 200), 0);
    }
    // 100 waits of 5 ms: 500 ms if each one sleeps; a spinning wait would
    // take next to nothing. Only the lower end is checked.
    EXPECT_GE(Clock::now() - tStart, std::chrono::milliseconds(400));
}

INSTANTIATE_TEST_SUITE_P(Ports, SerialWaitBoundTest,
                         ::testing::Values(SWaitCase{"Idle", false}, SWaitCase{"HungUp", true}),
                         [](const ::testing::TestParamInfo<SWaitCase>& info) {
                             return std::string(info.param.pszName);
                         });

TEST_F(SerialPortTest, WriteToAFullPortGivesUpAndRecovers)
{
    auto pPort = OpenConfigured();
    ASSERT_NE(pPort, nullptr);
    // The device reads nothing, so the pty's buffers (some 20 KiB) fill up.
    bool bGaveUp = false;
    for (int n = 0; n < (1 << 22) && !bGaveUp; ++n)
        bGaveUp = !pPort->WriteByte(static_cast<std::uint8_t>(n));
    ASSERT_TRUE(bGaveUp) << "the port never filled up";
    EXPECT_FALSE(pPort->WriteByte(0x7A));
    EXPECT_FALSE(pPort->HasHungUp());

    // Once the device reads again the port takes bytes again.
    Bytes aDrained = m_device.Receive(1, std::chrono::milliseconds(300));
    EXPECT_FALSE(aDrained.empty());
    bool bWrote = false;
    const auto tDeadline = Clock::now() + kArrivalLimit;
    while (!bWrote && Clock::now() < tDeadline)
    {
        bWrote = pPort->WriteByte(0x71);
        m_device.Receive(0, std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(bWrote);
}

} // namespace
