#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

// Options of the oximeter emulator. The defaults behave like a healthy device.
struct CEmulatorOptions
{
    // Stored records: how many, and the values' seed. Record i is taken at
    // the start time plus i seconds.
    int m_nRecords = 300;
    std::uint32_t m_nSeed = 1;
    int m_nStartYear = 2023;  // 2000 to 2255
    int m_nStartMonth = 5;
    int m_nStartDay = 7;
    int m_nStartHour = 22;
    int m_nStartMinute = 0;
    int m_nStartSecond = 0;
    std::uint8_t m_byVersion = 1;  // the header's format version

    // Live frames sent after each q or x, and their spacing.
    int m_nLiveCount = 10;
    int m_nLiveIntervalMs = 1000;

    // Faults.
    bool m_bNoHandshake = false;  // r is never answered
    int m_nSilenceAfter = -1;     // frames; after that many nothing more is sent; < 0: off
    int m_nCorruptEvery = 0;      // every K-th frame carries a wrong checksum; 0: off
    bool m_bSplitRecords = false; // memory records go out in three writes...
    int m_nSplitPauseMs = 20;     // ...with this pause between them
    bool m_bPaced = false;        // bytes take their wire time at 115200 baud
    int m_nPacedBurst = 1;        // paced bytes handed over together (1: each on its own)
    long m_nHangupAfter = -1;     // bytes; the line is closed once that many went out; < 0: off

    // Empty: open a pseudo-terminal and offer its slave side. Otherwise the
    // serial device (or pty slave) to run on.
    std::string m_strDevice;

    bool m_bTrace = false;  // commands and frames to standard error
};

// One stored reading, as the device keeps it (year as 2000 + byte).
struct CStoredRecord
{
    std::uint8_t m_byYear = 0;
    std::uint8_t m_byMonth = 0;
    std::uint8_t m_byDay = 0;
    std::uint8_t m_byHour = 0;
    std::uint8_t m_byMinute = 0;
    std::uint8_t m_bySecond = 0;
    std::uint8_t m_bySpo2 = 0;
    std::uint8_t m_byPulse = 0;

    // The nine bytes on the wire, checksum included.
    std::array<std::uint8_t, 9> Frame() const;
};

// What went over the line so far.
struct CEmulatorCounts
{
    std::size_t m_nLiveFrames = 0;
    std::size_t m_nHeaderFrames = 0;
    std::size_t m_nRecordFrames = 0;  // resent records included
    std::size_t m_nResentFrames = 0;  // frames repeated for n
    std::size_t m_nCorruptedFrames = 0;
    std::size_t m_nHandshakeMarkers = 0;
    std::size_t m_nEndMarkers = 0;
    std::size_t m_nBytes = 0;         // bytes handed to the line
    std::size_t m_nDroppedBytes = 0;  // bytes the line would not take in time, or kept back by silence

    std::size_t Frames() const { return m_nLiveFrames + m_nHeaderFrames + m_nRecordFrames; }
};

// Plays the oximeter's side of the serial protocol on a pseudo-terminal or
// a serial device.
//
// Threads: Start() runs the device on a thread of its own; Run() runs it in
// the caller. Every query and wait may be called from any thread while it
// runs. RequestStop() is async-signal-safe.
class CDeviceEmulator
{
public:
    explicit CDeviceEmulator(const CEmulatorOptions& options = CEmulatorOptions());
    ~CDeviceEmulator();
    CDeviceEmulator(const CDeviceEmulator&) = delete;
    CDeviceEmulator& operator=(const CDeviceEmulator&) = delete;

    // Opens the pty (or the device). Repeated calls do nothing. False with
    // LastError() when it fails.
    bool Open();
    // Open() and run on an own thread.
    bool Start();
    // Runs in the calling thread until RequestStop(), the end of the input
    // given to SetInputFd(), or the hang-up fault. Open() first.
    void Run();
    void RequestStop();
    // Ends the thread (if any) and closes the line. Safe to call repeatedly.
    void Stop();
    // Run() also ends when this descriptor reaches its end (the program's
    // standard input). Set it before Run().
    void SetInputFd(int nFd) { m_nInputFd = nFd; }

    // The path the host opens: the pty's slave side, or the device given.
    const std::string& PortPath() const { return m_strPortPath; }
    const std::string& LastError() const { return m_strError; }
    const CEmulatorOptions& Options() const { return m_options; }

    const std::vector<CStoredRecord>& Records() const { return m_vecRecords; }
    std::array<std::uint8_t, 5> HeaderFrame() const;

    // Every byte received from the host, in order.
    std::vector<std::uint8_t> Commands() const;
    std::size_t CommandCount(std::uint8_t byCommand) const;
    void ClearCommands();
    // True once byCommand has arrived nCount times in all.
    bool WaitForCommand(std::uint8_t byCommand, int nTimeoutMs, std::size_t nCount = 1) const;

    CEmulatorCounts Counts() const;
    std::size_t LiveFramesSent() const { return Counts().m_nLiveFrames; }
    std::size_t FramesSent() const { return Counts().Frames(); }
    std::size_t BytesSent() const { return Counts().m_nBytes; }
    // True once nFrames frames of any kind have gone out.
    bool WaitForFrames(std::size_t nFrames, int nTimeoutMs) const;

    bool IsHungUp() const;
    bool WaitForHangup(int nTimeoutMs) const;

private:
    using Clock = std::chrono::steady_clock;
    enum class EFrame { Live, Header, Record };
    enum class EAwaited { None, Frame, EndMarker };

    void MakeRecords();
    void HandleByte(std::uint8_t byCommand);
    void StartLive();
    void SendLiveFrame();
    void SendFrame(EFrame eKind, const std::uint8_t* pBytes, std::size_t nCount, bool bResent);
    void SendMarker(std::uint8_t byMarker);
    void WriteLine(const std::uint8_t* pBytes, std::size_t nCount);
    bool WriteRaw(const std::uint8_t* pBytes, std::size_t nCount);
    bool Silenced() const;
    void HangUp();
    void CloseLine();
    // Sleeps until tUntil; false when a stop was asked for meanwhile.
    bool PauseUntil(Clock::time_point tUntil);
    void Trace(const char* pszWhat, const std::uint8_t* pBytes, std::size_t nCount) const;

    CEmulatorOptions m_options;
    std::vector<CStoredRecord> m_vecRecords;

    std::string m_strPortPath;
    std::string m_strError;
    int m_nMaster = -1;     // the line: pty master or the device
    int m_nSlave = -1;      // our own hold on the slave, so host reopens find it intact
    int m_nWakeRead = -1;   // self-pipe that ends a poll on stop
    int m_nWakeWrite = -1;
    int m_nInputFd = -1;
    bool m_bOpen = false;

    std::thread m_thread;
    std::atomic<bool> m_bStopRequested{false};

    // Device state, touched by the device thread only.
    int m_nLiveLeft = 0;
    Clock::time_point m_tNextLive;
    std::mt19937 m_rngLive;
    int m_nLiveSpo2 = 97;
    int m_nLivePulse = 68;
    std::size_t m_nNextRecord = 0;
    EAwaited m_eAwaited = EAwaited::None;
    EFrame m_eAwaitedKind = EFrame::Header;
    std::vector<std::uint8_t> m_vecAwaited;
    std::size_t m_nFramesCounted = 0;  // for silence and corruption
    Clock::time_point m_tWireFree;     // paced line: when the last byte will have arrived

    // Shared with the queries.
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::vector<std::uint8_t> m_vecCommands;
    CEmulatorCounts m_counts;
    bool m_bHungUp = false;
};
