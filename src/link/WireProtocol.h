#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Every byte that passes between the host and the oximeter. There are no
// start bytes or lengths: the host knows what comes next only from the
// command it sent last, and finds a frame's end by counting bytes. Numbers
// are sent most significant byte first.
namespace WireProtocol
{
// Host commands, one byte each.
constexpr std::uint8_t kCmdHandshake = 0x72;   // 'r': answered by kMarkHandshake
constexpr std::uint8_t kCmdLive = 0x71;        // 'q': send live reading frames
constexpr std::uint8_t kCmdLiveAgain = 0x78;   // 'x': send live readings again
constexpr std::uint8_t kCmdHeader = 0x66;      // 'f': send the memory header
constexpr std::uint8_t kCmdNextRecord = 0x6D;  // 'm': send the next stored record
constexpr std::uint8_t kCmdResume = 0x6E;      // 'n': resume the memory transfer
constexpr std::uint8_t kCmdStop = 0x7A;        // 'z': stop transmitting

// Device markers: never frame bytes, wherever they arrive.
constexpr std::uint8_t kMarkEndOfData = 0xFD;
constexpr std::uint8_t kMarkHandshake = 0xFE;

// Frame lengths, checksum included.
constexpr std::size_t kLiveFrameSize = 9;    // yy mm dd hh mi ss spo2 pulse sum
constexpr std::size_t kHeaderFrameSize = 5;  // version count(3 bytes) sum
constexpr std::size_t kRecordFrameSize = 9;  // as the live frame

// Offsets inside a live or record frame.
constexpr std::size_t kOffYear = 0;     // year - 2000
constexpr std::size_t kOffMonth = 1;    // low four bits; the high ones count in the sum only
constexpr std::size_t kOffDay = 2;
constexpr std::size_t kOffHour = 3;
constexpr std::size_t kOffMinute = 4;
constexpr std::size_t kOffSecond = 5;
constexpr std::size_t kOffSpo2 = 6;     // percent; 0 = no reading (live frames)
constexpr std::size_t kOffPulse = 7;    // bpm; 0 = no reading (live frames)
constexpr std::size_t kOffChecksum = 8;

// The 7-bit checksum over the bytes before the checksum byte: their sum
// modulo 256 with the top bit cleared. A checksum byte of 0x80 or more can
// therefore never match.
inline std::uint8_t Checksum(const std::uint8_t* pBytes, std::size_t nCount)
{
    std::uint8_t bySum = 0;
    for (std::size_t i = 0; i < nCount; ++i)
        bySum = static_cast<std::uint8_t>(bySum + pBytes[i]);
    return static_cast<std::uint8_t>(bySum & 0x7F);
}

using CReadingFrame = std::array<std::uint8_t, kLiveFrameSize>;
using CHeaderFrame = std::array<std::uint8_t, kHeaderFrameSize>;

// A live reading frame or a memory record (same layout) with its checksum.
// The year is given as the byte on the wire (year - 2000); the month byte
// goes out whole, high bits included.
inline CReadingFrame MakeReadingFrame(std::uint8_t byYear, std::uint8_t byMonth,
                                      std::uint8_t byDay, std::uint8_t byHour,
                                      std::uint8_t byMinute, std::uint8_t bySecond,
                                      std::uint8_t bySpo2, std::uint8_t byPulse)
{
    CReadingFrame frame{byYear, byMonth, byDay, byHour, byMinute, bySecond, bySpo2, byPulse, 0};
    frame[kOffChecksum] = Checksum(frame.data(), kOffChecksum);
    return frame;
}

// A memory header announcing nCount records (only the low 24 bits are sent).
inline CHeaderFrame MakeHeaderFrame(std::uint8_t byVersion, std::uint32_t nCount)
{
    CHeaderFrame frame{byVersion,
                       static_cast<std::uint8_t>(nCount >> 16),
                       static_cast<std::uint8_t>(nCount >> 8),
                       static_cast<std::uint8_t>(nCount),
                       0};
    frame[kHeaderFrameSize - 1] = Checksum(frame.data(), kHeaderFrameSize - 1);
    return frame;
}
}  // namespace WireProtocol
