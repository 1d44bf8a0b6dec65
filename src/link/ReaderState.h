#pragma once

#include <cstdint>
#include <string>

// Positions of the byte that comes next (CReaderState::m_nPosition), and the
// waits in ticks of 100 ms, shared by the byte rules and the reader loop.
namespace ReaderPos
{
constexpr int kBetweenFrames = 1;
constexpr int kLiveChecksum = 9;
constexpr int kHeaderCount0 = 12;
constexpr int kHeaderCount1 = 13;
constexpr int kHeaderCount2 = 14;
constexpr int kHeaderChecksum = 15;
constexpr int kRecordYear = 21;
constexpr int kRecordChecksum = 29;

constexpr int kLiveWait = 92;
constexpr int kMemoryWait = 10;
}  // namespace ReaderPos

// The link worker's own record: what it sends next, how it decodes the next
// byte, and its time-out bookkeeping. One per worker, for its whole life.
struct CReaderState
{
    std::uint8_t m_byPending = 0;      // command written at the top of the next pass; 0 = none
    std::uint8_t m_byState = 0;        // command last written, or set by the byte rules; 0 = none
    int m_nPosition = 0;               // 0 no handshake yet, 1 between frames, 2-9 live, 12-15 header, 21-29 record
    std::uint8_t m_bySum = 0;          // running sum of the frame's bytes, wraps at 256
    std::int32_t m_nRecordTotal = 0;   // record count of the last memory header
    std::int32_t m_nRecordIndex = 0;   // good records of the current download
    int m_nThreshold = 0;              // time-out in ticks; 0 = none pending
    std::uint8_t m_byFirstRetry = 0;   // sent by the first live-mode time-out; 0 = none
    int m_nRetryCount = 0;             // time-outs since the last progress
    std::string m_strLine;             // the log line being built

    // The values a worker starts with: r pending, everything else clear.
    void Reset() { *this = CReaderState(); m_byPending = 0x72; }
};
