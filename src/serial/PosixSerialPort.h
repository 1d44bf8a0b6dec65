#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>

#include "serial/SerialPort.h"

// The device node that a port name stands for: a bare name (ttyUSB0,
// rfcomm0, pts/3) lives under /dev, an absolute path is taken as it stands.
// A leading "\\.\" (the Windows device prefix) is dropped first, so a name
// built for that platform still finds its node here.
std::string DevicePathForPort(const std::string& strPortName);

// A serial port on a POSIX terminal device, driven by termios, ioctl and
// poll directly. The descriptor stays non-blocking for its whole life: reads
// never wait and every wait is an explicit poll with a bound.
//
// Threads: Read, WriteByte, WaitReadable and PurgeReceive may run on two
// threads at once. Close may race with any of them and with itself: the
// first call wakes a pending wait, waits only for calls already inside the
// descriptor (at most one write's 55 ms) and releases the port; a second
// call returns once that is done. Calls after Close fail or do nothing.
class CPosixSerialPort final : public CSerialPort
{
public:
    // Opens the device node at strPath. Null when it does not exist, is not
    // a terminal, or another open (in this program or another) holds it.
    static std::unique_ptr<CPosixSerialPort> Open(const std::string& strPath);

    ~CPosixSerialPort() override;
    CPosixSerialPort(const CPosixSerialPort&) = delete;
    CPosixSerialPort& operator=(const CPosixSerialPort&) = delete;

    bool SetupQueues() override;
    bool ApplyLineSettings() override;
    bool SetWorkerTimeouts() override;
    int Read(std::uint8_t* pBuffer, int nMax) override;
    bool WriteByte(std::uint8_t byValue) override;
    void WaitReadable(int nMillis) override;
    void PurgeReceive() override;
    void Close() override;
    bool IsOpen() const override;
    bool HasHungUp() const override;

    // 5 ms per byte plus 50 ms, as the worker's time-outs give it.
    static constexpr int kWriteTimeoutMillis = 5 * 1 + 50;

private:
    CPosixSerialPort(int hPort, int hWake);
    void LowerRts() const;

    // Shared by every call that uses m_hPort; Close takes it alone, so a
    // descriptor number is never used after it was closed (and maybe reused).
    mutable std::shared_mutex m_lockPort;
    int m_hPort;
    // An eventfd that Close signals to cut a pending poll short.
    int m_hWake;
    // Makes a second, concurrent Close wait for the first to finish.
    std::mutex m_lockClose;
    std::atomic<bool> m_bClosing{false};
    std::atomic<bool> m_bHungUp{false};
};
