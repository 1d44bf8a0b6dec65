#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// One open serial port, as the device link uses it. The link reads, writes,
// purges and closes through this interface only, so that a Win32 port (or a
// test's own port) can stand in for the POSIX one.
//
// Threads: the worker reads, writes, purges and waits; the user-interface
// thread may write the stop byte at the same time. Close() is called by
// exactly one side once the worker no longer uses the port; a second call
// does nothing.
class CSerialPort
{
public:
    virtual ~CSerialPort() = default;

    // Queue sizes (input 32768, output 1024). False when the port refuses them.
    virtual bool SetupQueues() = 0;
    // 115200 8N1, raw binary, no flow control, RTS inactive. False on failure.
    virtual bool ApplyLineSettings() = 0;
    // The worker's time-outs: reads never wait, a one-byte write gives up
    // after 55 ms. False on failure.
    virtual bool SetWorkerTimeouts() = 0;

    // Reads what has arrived, up to nMax bytes, without waiting. Returns the
    // count (0 when nothing arrived) or -1 on failure; both mean "nothing
    // received" to the link.
    virtual int Read(std::uint8_t* pBuffer, int nMax) = 0;
    // Writes one byte; false when it could not be handed over in time.
    virtual bool WriteByte(std::uint8_t byValue) = 0;
    // Sleeps until bytes may be readable or nMillis have passed. Never returns
    // early over and over on a port that hung up: a dead port sleeps the bound.
    virtual void WaitReadable(int nMillis) = 0;
    // Throws away received bytes that were not read yet.
    virtual void PurgeReceive() = 0;
    // Releases the port so that it can be opened again.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // True once the other end has gone for good (a pulled USB cable, a closed
    // pseudo-terminal master). Such a port reads nothing, refuses writes and
    // sleeps through WaitReadable; only closing and opening again can help.
    // The link itself keeps to its time-out rules and need not ask.
    virtual bool HasHungUp() const { return false; }
};

// The platform's port handle for the link: null is the invalid handle.
using HCOMM = CSerialPort*;

// Opens a port by the name the user chose (ttyUSB0, rfcomm0, /dev/pts/3).
// Returns null when the open fails (no such port, held by another program,
// not a terminal device).
std::unique_ptr<CSerialPort> OpenSerialPort(const std::string& strPortName);
