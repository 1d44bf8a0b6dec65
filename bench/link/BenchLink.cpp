// bench_link [RECORDS]: figures of the link against limits measured in the
// same run.
//
// 1. A download of RECORDS (default 10,000) stored records from the emulator
//    paced at 115200 baud, through oxilume-cli, against the wire time of 10
//    bytes a record (the m and the nine record bytes) at 86.8 us a byte.
// 2. The same download run in this process on the same core (controller,
//    reader loop, the tool's own log writer), with every read, log line and
//    write timed, to show where the host's reaction to each record goes.
// 3. The processor time oxilume-cli takes while connected to a device that
//    stays silent for 10 s, as a share of one core.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CliView.h"
#include "DeviceEmulator.h"
#include "link/LinkController.h"
#include "link/LinkInfo.h"

namespace
{
using Clock = std::chrono::steady_clock;
constexpr double kByteMicros = 1e6 / 11520.0;  // 10 bits a byte at 115200 baud: 86.8 us
const std::string kEndOfData = "End of Data Tranmission\r\n";

double Micros(Clock::duration d)
{
    return std::chrono::duration<double, std::micro>(d).count();
}

struct CChild
{
    pid_t pid = -1;
    int hOut = -1;
    int hErr = -1;
};

CChild Spawn(const std::vector<std::string>& vecArgs)
{
    CChild child;
    int aOut[2];
    int aErr[2];
    if (::pipe2(aOut, O_CLOEXEC) != 0 || ::pipe2(aErr, O_CLOEXEC) != 0)
        return child;
    child.pid = ::fork();
    if (child.pid == 0)
    {
        ::dup2(aOut[1], 1);
        ::dup2(aErr[1], 2);
        std::string strPath = OXILUME_CLI_PATH;
        std::vector<std::string> vecCopy = vecArgs;
        std::vector<char*> argv{strPath.data()};
        for (std::string& s : vecCopy)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        ::execv(strPath.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(aOut[1]);
    ::close(aErr[1]);
    child.hOut = aOut[0];
    child.hErr = aErr[0];
    return child;
}

// Reads the child's output until both pipes end, noting when strMark first
// appeared; returns the exit status, with the child's resource use.
int Collect(CChild& child, std::string& strOut, const std::string& strMark, Clock::time_point& tMark,
            rusage& usage)
{
    bool bOut = true;
    bool bErr = true;
    bool bSeen = false;
    std::string strErr;
    while (bOut || bErr)
    {
        pollfd afd[2] = {{bOut ? child.hOut : -1, POLLIN, 0}, {bErr ? child.hErr : -1, POLLIN, 0}};
        if (::poll(afd, 2, 1000) <= 0)
            continue;
        char sz[65536];
        if (afd[0].revents)
        {
            const ssize_t n = ::read(child.hOut, sz, sizeof sz);
            if (n > 0)
            {
                strOut.append(sz, static_cast<std::size_t>(n));
                if (!bSeen && !strMark.empty() &&
                    strOut.find(strMark, strOut.size() > static_cast<std::size_t>(n) + strMark.size()
                                             ? strOut.size() - static_cast<std::size_t>(n) - strMark.size()
                                             : 0) != std::string::npos)
                {
                    bSeen = true;
                    tMark = Clock::now();
                }
            }
            else
                bOut = false;
        }
        if (afd[1].revents)
        {
            const ssize_t n = ::read(child.hErr, sz, sizeof sz);
            if (n > 0)
                strErr.append(sz, static_cast<std::size_t>(n));
            else
                bErr = false;
        }
    }
    ::close(child.hOut);
    ::close(child.hErr);
    int nStatus = 0;
    ::wait4(child.pid, &nStatus, 0, &usage);
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
}

CEmulatorOptions PacedDownload(int nRecords)
{
    CEmulatorOptions options;
    options.m_nRecords = nRecords;
    options.m_bPaced = true;
    return options;
}

// ---- 1. through oxilume-cli ------------------------------------------------

double g_dFloorMicros = 0;

bool BenchCli(int nRecords)
{
    CDeviceEmulator emulator(PacedDownload(nRecords));
    if (!emulator.Start())
    {
        std::fprintf(stderr, "emulator: %s\n", emulator.LastError().c_str());
        return false;
    }
    const auto tStart = Clock::now();
    CChild child = Spawn({emulator.PortPath(), "--download"});
    std::string strOut;
    Clock::time_point tEnd = tStart;
    rusage usage{};
    const int nStatus = Collect(child, strOut, kEndOfData, tEnd, usage);
    if (nStatus != 0 || tEnd == tStart)
    {
        std::fprintf(stderr, "oxilume-cli ended with %d before the end of the data\n", nStatus);
        return false;
    }
    std::size_t nLines = 0;
    for (char c : strOut)
        nLines += c == '\n';
    // The handshake answer and the header are on the wire too: 1 + 1 + 1 + 5.
    const double dLimit = (10.0 * nRecords + 8.0 + 2.0) * kByteMicros;
    const double dTaken = Micros(tEnd - tStart);
    const double dCpu = usage.ru_utime.tv_sec * 1e6 + usage.ru_utime.tv_usec + usage.ru_stime.tv_sec * 1e6 +
                        usage.ru_stime.tv_usec;
    std::printf("download via oxilume-cli: %d records, %zu log lines\n", nRecords, nLines);
    std::printf("  time %.3f s, wire-time limit %.3f s: ratio %.3f (target <= 1.20)\n", dTaken / 1e6,
                dLimit / 1e6, dTaken / dLimit);
    if (g_dFloorMicros > 0)
        std::printf("  ratio %.3f to the floor measured in this run\n", dTaken / g_dFloorMicros);
    std::printf("  CPU of the tool: %.3f s = %.1f%% of one core over the download\n", dCpu / 1e6,
                100.0 * dCpu / dTaken);
    return true;
}

// ---- 2. in process, timed ---------------------------------------------------

struct CEvent
{
    enum EKind { ReadBytes, WriteM, LineStart, LineEnd } eKind;
    Clock::time_point t;
    int n;
};

class CEventLog
{
public:
    void Add(CEvent::EKind eKind, int n = 0)
    {
        const auto t = Clock::now();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vec.push_back({eKind, t, n});
    }
    std::vector<CEvent> Take()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vec;
    }
    void Reserve(std::size_t n) { m_vec.reserve(n); }

private:
    std::mutex m_mutex;
    std::vector<CEvent> m_vec;
};

class CTimedPort : public CSerialPort
{
public:
    CTimedPort(std::unique_ptr<CSerialPort> pInner, CEventLog& log) : m_pInner(std::move(pInner)), m_log(log) {}
    bool SetupQueues() override { return m_pInner->SetupQueues(); }
    bool ApplyLineSettings() override { return m_pInner->ApplyLineSettings(); }
    bool SetWorkerTimeouts() override { return m_pInner->SetWorkerTimeouts(); }
    int Read(std::uint8_t* pBuffer, int nMax) override
    {
        const int n = m_pInner->Read(pBuffer, nMax);
        if (n > 0)
            m_log.Add(CEvent::ReadBytes, n);
        return n;
    }
    bool WriteByte(std::uint8_t byValue) override
    {
        const bool bOk = m_pInner->WriteByte(byValue);
        if (byValue == 'm')
            m_log.Add(CEvent::WriteM);
        return bOk;
    }
    void WaitReadable(int nMillis) override { m_pInner->WaitReadable(nMillis); }
    void PurgeReceive() override { m_pInner->PurgeReceive(); }
    void Close() override { m_pInner->Close(); }
    bool IsOpen() const override { return m_pInner->IsOpen(); }
    bool HasHungUp() const override { return m_pInner->HasHungUp(); }

private:
    std::unique_ptr<CSerialPort> m_pInner;
    CEventLog& m_log;
};

// The tool's own log writer, with each line timed.
class CTimedView : public CCliView
{
public:
    CTimedView(std::FILE* pOut, CEventLog& log) : CCliView(pOut, stderr, {}), m_log(log) {}
    void InsertText(const std::string& strText) override
    {
        m_log.Add(CEvent::LineStart);
        CCliView::InsertText(strText);
        m_log.Add(CEvent::LineEnd);
    }

private:
    CEventLog& m_log;
};

double Median(std::vector<double> vec)
{
    if (vec.empty())
        return 0;
    std::sort(vec.begin(), vec.end());
    return vec[vec.size() / 2];
}

double Percentile(std::vector<double> vec, double dShare)
{
    if (vec.empty())
        return 0;
    std::sort(vec.begin(), vec.end());
    const std::size_t n = std::min(vec.size() - 1, static_cast<std::size_t>(dShare * static_cast<double>(vec.size())));
    return vec[n];
}

double Mean(const std::vector<double>& vec)
{
    double d = 0;
    for (double x : vec)
        d += x;
    return vec.empty() ? 0 : d / static_cast<double>(vec.size());
}

bool BenchInProcess(int nRecords)
{
    CDeviceEmulator emulator(PacedDownload(nRecords));
    if (!emulator.Start())
        return false;

    // Standard output of the tool stands in as a pipe that a reader drains.
    int aPipe[2];
    if (::pipe2(aPipe, O_CLOEXEC) != 0)
        return false;
    std::thread reader([h = aPipe[0]] {
        char sz[65536];
        while (::read(h, sz, sizeof sz) > 0)
        {
        }
    });
    std::FILE* pOut = ::fdopen(aPipe[1], "w");

    CEventLog events;
    events.Reserve(static_cast<std::size_t>(nRecords) * 16);
    CTimedView view(pOut, events);
    CLinkInfo link;
    link.m_pView = &view;
    CLinkController controller(link, nullptr, view);
    controller.SetPortOpener([&events](const std::string& strPort) -> std::unique_ptr<CSerialPort> {
        std::unique_ptr<CSerialPort> p = OpenSerialPort(strPort);
        if (!p)
            return nullptr;
        return std::make_unique<CTimedPort>(std::move(p), events);
    });
    link.m_bMemoryIdle = 0;
    const auto tStart = Clock::now();
    if (!controller.Start(emulator.PortPath()))
        return false;
    while (!view.EndOfDataSeen() && !link.IsStopped())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto tEnd = Clock::now();
    controller.Stop();
    std::fclose(pOut);
    reader.join();

    // Per record k: the read that completed it, its line, the next m.
    const std::vector<CEvent> vec = events.Take();
    std::vector<double> vecCycle, vecWait, vecDecode, vecLine, vecNextM, vecReads;
    Clock::time_point tM{};
    Clock::time_point tLastRead{};
    Clock::time_point tLineStart{};
    Clock::time_point tLineEnd{};
    int nReadsSinceM = 0;
    bool bHaveM = false;
    bool bLine = false;
    for (const CEvent& e : vec)
    {
        switch (e.eKind)
        {
        case CEvent::ReadBytes:
            tLastRead = e.t;
            ++nReadsSinceM;
            break;
        case CEvent::LineStart:
            tLineStart = e.t;
            break;
        case CEvent::LineEnd:
            tLineEnd = e.t;
            bLine = true;
            break;
        case CEvent::WriteM:
            if (bHaveM && bLine)
            {
                vecCycle.push_back(Micros(e.t - tM));
                vecWait.push_back(Micros(tLastRead - tM));
                vecDecode.push_back(Micros(tLineStart - tLastRead));
                vecLine.push_back(Micros(tLineEnd - tLineStart));
                vecNextM.push_back(Micros(e.t - tLineEnd));
                vecReads.push_back(nReadsSinceM);
            }
            tM = e.t;
            bHaveM = true;
            bLine = false;
            nReadsSinceM = 0;
            break;
        }
    }
    const double dWire = 10.0 * kByteMicros;
    const double dLimit = (10.0 * nRecords + 10.0) * kByteMicros;
    const double dTaken = Micros(tEnd - tStart);
    std::printf("download in process (same core, timed): %zu record cycles\n", vecCycle.size());
    std::printf("  time %.3f s: ratio %.3f to the wire-time limit, %.3f to the floor\n", dTaken / 1e6,
                dTaken / dLimit, g_dFloorMicros > 0 ? dTaken / g_dFloorMicros : 0.0);
    std::printf("  per record, median (mean) in us; wire time of one cycle %.1f us\n", dWire);
    std::printf("    cycle m to m              %8.1f (%8.1f)  ratio %.3f to the wire time\n", Median(vecCycle),
                Mean(vecCycle), Median(vecCycle) / dWire);
    std::printf("    cycle p90 / p99 / max     %8.1f / %.1f / %.1f\n", Percentile(vecCycle, 0.9),
                Percentile(vecCycle, 0.99), Percentile(vecCycle, 1.0));
    std::printf("    m out to last byte read   %8.1f (%8.1f)  of which wire time of 9 bytes %.1f,\n"
                "                                                   the rest is device reply + wake-up\n",
                Median(vecWait), Mean(vecWait), 9 * kByteMicros);
    std::printf("    reads per record          %8.1f (%8.1f)\n", Median(vecReads), Mean(vecReads));
    std::printf("    last read to line start   %8.1f (%8.1f)  decoding\n", Median(vecDecode), Mean(vecDecode));
    std::printf("    log line (write+flush)    %8.1f (%8.1f)\n", Median(vecLine), Mean(vecLine));
    std::printf("    line end to next m out    %8.1f (%8.1f)  next pass and the write\n", Median(vecNextM),
                Mean(vecNextM));
    const double dHost = Mean(vecDecode) + Mean(vecLine) + Mean(vecNextM);
    std::printf("    host reaction (last byte read to m out): %.1f us = %.1f%% of the cycle\n", dHost,
                100.0 * dHost / Mean(vecCycle));
    return true;
}

// ---- 0. the floor: the emulator against a host that does nothing but answer --

// Blocks for each byte and answers every record with m at once: what the
// paced emulator and the pseudo-terminal allow on this machine right now.
bool BenchFloor(int nRecords, double& dFloorMicros)
{
    CDeviceEmulator emulator(PacedDownload(nRecords));
    if (!emulator.Start())
        return false;
    std::unique_ptr<CSerialPort> pPort = OpenSerialPort(emulator.PortPath());
    if (!pPort)
        return false;
    pPort->ApplyLineSettings();
    pPort->SetWorkerTimeouts();
    auto ReadExactly = [&pPort](int nCount, std::uint8_t* pOut) {
        int nGot = 0;
        while (nGot < nCount)
        {
            const int n = pPort->Read(pOut + nGot, nCount - nGot);
            if (n > 0)
                nGot += n;
            else
                pPort->WaitReadable(1000);
        }
    };
    const auto tStart = Clock::now();
    std::uint8_t aby[16];
    pPort->WriteByte('r');
    ReadExactly(1, aby);
    pPort->WriteByte('f');
    ReadExactly(5, aby);
    for (int i = 0; i < nRecords; ++i)
    {
        pPort->WriteByte('m');
        ReadExactly(9, aby);
    }
    pPort->WriteByte('m');
    ReadExactly(1, aby);
    dFloorMicros = Micros(Clock::now() - tStart);
    pPort->WriteByte('z');
    pPort->Close();
    const double dLimit = (10.0 * nRecords + 10.0) * kByteMicros;
    std::printf("floor (emulator + pty, a host that only answers): %.3f s: ratio %.3f to the wire-time limit\n",
                dFloorMicros / 1e6, dFloorMicros / dLimit);
    return aby[0] == 0xFD;
}

// ---- 3. idle processor use -------------------------------------------------

bool BenchIdle(int nSeconds)
{
    CEmulatorOptions options;
    options.m_nLiveCount = 0;  // answers r, then never sends a frame
    CDeviceEmulator emulator(options);
    if (!emulator.Start())
        return false;
    CChild child = Spawn({emulator.PortPath(), "--seconds", std::to_string(nSeconds)});
    std::string strOut;
    Clock::time_point tMark{};
    rusage usage{};
    const auto tStart = Clock::now();
    const int nStatus = Collect(child, strOut, "", tMark, usage);
    const double dWall = Micros(Clock::now() - tStart);
    const double dCpu = usage.ru_utime.tv_sec * 1e6 + usage.ru_utime.tv_usec + usage.ru_stime.tv_sec * 1e6 +
                        usage.ru_stime.tv_usec;
    std::printf("connected and silent for %d s (exit %d): CPU %.3f s of %.3f s wall = %.2f%% of one core "
                "(target < 2%%): ratio %.3f to the target\n",
                nSeconds, nStatus, dCpu / 1e6, dWall / 1e6, 100.0 * dCpu / dWall, (dCpu / dWall) / 0.02);
    return nStatus == 0;
}
}  // namespace

int main(int argc, char** argv)
{
    const int nRecords = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int nIdleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;
    bool bOk = BenchFloor(nRecords, g_dFloorMicros);
    bOk = BenchCli(nRecords) && bOk;
    bOk = BenchInProcess(nRecords) && bOk;
    bOk = BenchIdle(nIdleSeconds) && bOk;
    return bOk ? 0 : 1;
}
