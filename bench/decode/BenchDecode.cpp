// How many times faster than the serial line the frame decoding takes its
// bytes. The stream is what a session brings: live frames (a few of them
// bad), then a download of many stored records with the loop's writes of m
// between the reads, then live frames again. The view does no work, so the
// figure is the decoding's own cost.
//
// Usage: bench_decode [seconds]   (default 3)

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/FrameDecoder.h"
#include "link/LinkInfo.h"
#include "link/LinkView.h"
#include "link/ReaderState.h"
#include "link/WireProtocol.h"

namespace
{
using namespace WireProtocol;

// 115200 baud, 10 bits a byte (start, 8 data, stop).
constexpr double kLineBytesPerSecond = 11520.0;
constexpr std::size_t kReadSize = 200;

class CCountingView : public CLinkView
{
public:
    std::size_t m_nLines = 0;
    std::size_t m_nChars = 0;
    std::atomic<std::int32_t> m_nTicks{0};
    std::atomic<std::int32_t> m_bPortChosen{1};

    void ScrollToEnd() override {}
    void InsertText(const std::string& strText) override
    {
        ++m_nLines;
        m_nChars += strText.size();
    }
    void StartTickTimer() override {}
    void StopTickTimer() override {}
    std::atomic<std::int32_t>& Ticks() override { return m_nTicks; }
    std::atomic<std::int32_t>& PortChosen() override { return m_bPortChosen; }
    void ShowMessage(const std::string&) override {}
};

// One read of the session, and the command the loop writes before it.
struct CRead
{
    std::uint8_t byWriteFirst;  // 0 = write the pending command, if any
    std::vector<std::uint8_t> bytes;
};

CReadingFrame Reading(unsigned nSeed)
{
    return MakeReadingFrame(static_cast<std::uint8_t>(20 + nSeed % 6), static_cast<std::uint8_t>(1 + nSeed % 12),
                            static_cast<std::uint8_t>(1 + nSeed % 28), static_cast<std::uint8_t>(nSeed % 24),
                            static_cast<std::uint8_t>(nSeed % 60), static_cast<std::uint8_t>((nSeed * 7) % 60),
                            static_cast<std::uint8_t>(85 + nSeed % 15), static_cast<std::uint8_t>(50 + nSeed % 80));
}

// Live frames arrive in bursts, several to a read; every 50th is damaged.
void AddLive(std::vector<CRead>& reads, unsigned nFrames, unsigned& nSeed)
{
    CRead read{kCmdLive, {}};
    for (unsigned i = 0; i < nFrames; ++i)
    {
        CReadingFrame frame = Reading(nSeed++);
        if (nSeed % 50 == 0)
            frame[kOffChecksum] ^= 0x01;
        if (read.bytes.size() + frame.size() > kReadSize)
        {
            reads.push_back(read);
            read = CRead{kCmdLive, {}};
        }
        read.bytes.insert(read.bytes.end(), frame.begin(), frame.end());
    }
    if (!read.bytes.empty())
        reads.push_back(read);
}

// The header after f, then one record a read after each m, then 0xFD.
void AddDownload(std::vector<CRead>& reads, unsigned nRecords, unsigned& nSeed)
{
    const CHeaderFrame header = MakeHeaderFrame(1, nRecords);
    reads.push_back(CRead{kCmdHeader, {header.begin(), header.end()}});
    for (unsigned i = 0; i < nRecords; ++i)
    {
        const CReadingFrame frame = Reading(nSeed++);
        reads.push_back(CRead{0, {frame.begin(), frame.end()}});
    }
    reads.push_back(CRead{0, {kMarkEndOfData}});
}

struct CResult
{
    std::size_t nBytes = 0;
    std::size_t nLines = 0;
};

CResult RunSession(const std::vector<CRead>& reads)
{
    CReaderState state;
    state.Reset();
    CCountingView view;
    CLinkInfo link;
    link.m_bStopped = 0;
    link.m_bMemoryIdle = 1;
    CFrameDecoder decoder(state, view, link);

    state.m_byState = kCmdHandshake;
    state.m_byPending = 0;
    decoder.TakeByte(kMarkHandshake);

    CResult result;
    for (const CRead& read : reads)
    {
        // The loop's write step and the parts of its mode check that change
        // how the bytes are read.
        const std::uint8_t byCommand = read.byWriteFirst ? read.byWriteFirst : state.m_byPending;
        if (byCommand)
        {
            state.m_byState = byCommand;
            state.m_byPending = 0;
        }
        if (byCommand == kCmdHeader)
            link.m_bMemoryIdle = 0;
        for (std::uint8_t byValue : read.bytes)
        {
            ++result.nBytes;
            if (decoder.TakeByte(byValue))
                break;
        }
        if (link.m_bMemoryIdle.load() != 0 && state.m_byState == kCmdNextRecord)
        {
            state.m_byState = 0;
            state.m_nPosition = 1;
            state.m_nRecordIndex = 0;
        }
    }
    result.nLines = view.m_nLines;
    return result;
}
}  // namespace

int main(int argc, char** argv)
{
    const double dSeconds = argc > 1 ? std::max(0.2, std::atof(argv[1])) : 3.0;

    std::vector<CRead> reads;
    unsigned nSeed = 1;
    AddLive(reads, 2000, nSeed);
    AddDownload(reads, 10000, nSeed);
    AddLive(reads, 2000, nSeed);

    // One session to check the stream decodes as meant and to warm up.
    const CResult check = RunSession(reads);
    // Every record, the total and end lines, the handshake line, and the live
    // frames not lost behind a damaged one in the same read.
    const std::size_t nExpectedMin = 10000 + 3 + 2000;
    if (check.nLines < nExpectedMin)
    {
        std::fprintf(stderr, "bench_decode: the session gave %zu lines, expected at least %zu\n", check.nLines,
                     nExpectedMin);
        return 1;
    }

    using Clock = std::chrono::steady_clock;
    std::size_t nBytes = 0;
    std::size_t nSessions = 0;
    const Clock::time_point start = Clock::now();
    double dElapsed = 0;
    do
    {
        nBytes += RunSession(reads).nBytes;
        ++nSessions;
        dElapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (dElapsed < dSeconds);

    const double dRate = static_cast<double>(nBytes) / dElapsed;
    std::printf("decode: %zu sessions, %zu bytes (%zu lines each) in %.2f s\n", nSessions, nBytes, check.nLines,
                dElapsed);
    std::printf("decode: %.0f bytes/s = %.0f x the line rate of %.0f bytes/s\n", dRate, dRate / kLineBytesPerSecond,
                kLineBytesPerSecond);
    return 0;
}
