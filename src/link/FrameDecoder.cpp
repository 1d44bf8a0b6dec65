#include "link/FrameDecoder.h"

#include <cstdarg>
#include <cstdio>

#include "link/WireProtocol.h"

namespace
{
using namespace WireProtocol;

constexpr int kPosBetweenFrames = ReaderPos::kBetweenFrames;
constexpr int kPosLiveChecksum = ReaderPos::kLiveChecksum;
constexpr int kPosHeaderCount0 = ReaderPos::kHeaderCount0;
constexpr int kPosHeaderCount1 = ReaderPos::kHeaderCount1;
constexpr int kPosHeaderCount2 = ReaderPos::kHeaderCount2;
constexpr int kPosHeaderChecksum = ReaderPos::kHeaderChecksum;
constexpr int kPosRecordYear = ReaderPos::kRecordYear;
constexpr int kPosRecordChecksum = ReaderPos::kRecordChecksum;
using ReaderPos::kLiveWait;
using ReaderPos::kMemoryWait;

// Every formatted piece is short: the longest, the record prefix with two
// full-width 32-bit numbers, needs about 35 bytes. snprintf truncates
// rather than overflows should that ever change.
void AppendFormat(std::string& strLine, const char* pszFormat, ...)
    __attribute__((format(printf, 2, 3)));

void AppendFormat(std::string& strLine, const char* pszFormat, ...)
{
    char szPiece[96];
    va_list args;
    va_start(args, pszFormat);
    const int nLength = std::vsnprintf(szPiece, sizeof szPiece, pszFormat, args);
    va_end(args);
    if (nLength <= 0)
        return;
    const std::size_t nUsed = static_cast<std::size_t>(nLength) < sizeof szPiece
                                  ? static_cast<std::size_t>(nLength)
                                  : sizeof szPiece - 1;
    strLine.append(szPiece, nUsed);
}

// The reading fields after the year, shared by live frames and records:
// positions 2 to 8 of a live frame, 22 to 28 of a record. Only a live frame
// shows a 0 in SpO2 or pulse rate as a missing reading.
void AppendField(std::string& strLine, int nField, std::uint8_t byValue, bool bLive)
{
    const int nValue = byValue;
    switch (nField)
    {
    case 1: AppendFormat(strLine, "%d-", nValue & 0x0F); break;
    case 2: AppendFormat(strLine, "%d ", nValue); break;
    case 3: AppendFormat(strLine, "%2d:", nValue); break;
    case 4: AppendFormat(strLine, "%02d:", nValue); break;
    case 5: AppendFormat(strLine, "%02d ", nValue); break;
    case 6:
        if (bLive && nValue == 0)
            strLine += "Spo2: - (%) ";
        else
            AppendFormat(strLine, "Spo2: %d (%%) ", nValue);
        break;
    case 7:
        if (bLive && nValue == 0)
            strLine += "HR: - (bpm) ";
        else
            AppendFormat(strLine, "HR: %d (bpm) ", nValue);
        break;
    default: break;
    }
}
}  // namespace

CFrameDecoder::CFrameDecoder(CReaderState& state, CLinkView& view, CLinkInfo& link)
    : m_state(state), m_view(view), m_link(link)
{
}

void CFrameDecoder::ArmTimer()
{
    m_view.Ticks().store(0);
    m_view.StartTickTimer();
}

void CFrameDecoder::StopTimer()
{
    m_view.StopTickTimer();
}

void CFrameDecoder::FlushLine()
{
    m_view.ScrollToEnd();
    m_view.InsertText(m_state.m_strLine);
    m_state.m_strLine.clear();
}

bool CFrameDecoder::TakeByte(std::uint8_t byValue)
{
    CReaderState& s = m_state;
    const std::uint8_t byState = s.m_byState;

    // Markers are tested before anything else and never count as frame
    // bytes, so they never move the position.
    if (byValue == kMarkEndOfData)
    {
        if (byState != kCmdNextRecord)
            return false;
        s.m_byPending = 0;
        s.m_strLine = "End of Data Tranmission\r\n";
        FlushLine();
        s.m_nPosition = kPosBetweenFrames;
        s.m_byFirstRetry = kCmdLive;
        s.m_nThreshold = kLiveWait;
        // The reader state stays m: the loop's mode check of this pass
        // returns the link to live mode from it.
        m_link.m_bMemoryIdle.store(1);
        ArmTimer();
        return false;
    }
    if (byValue == kMarkHandshake)
    {
        if (byState != kCmdHandshake)
            return false;
        s.m_byFirstRetry = kCmdLive;
        s.m_nThreshold = kLiveWait;
        s.m_nPosition = kPosBetweenFrames;
        ArmTimer();
        s.m_strLine = "Connection established successfully.\r\n";
        FlushLine();
        return false;
    }

    const bool bMemory = byState == kCmdHeader || byState == kCmdNextRecord ||
                         byState == kCmdResume || byState == kCmdStop;
    if (bMemory)
        return TakeMemoryByte(byValue);

    const bool bLive = byState == kCmdLive || byState == kCmdLiveAgain;
    if (bLive && s.m_nPosition >= kPosBetweenFrames && s.m_nPosition <= kPosLiveChecksum)
        return TakeLiveByte(byValue);

    return false;
}

bool CFrameDecoder::TakeLiveByte(std::uint8_t byValue)
{
    CReaderState& s = m_state;
    const int nPosition = s.m_nPosition;

    if (nPosition == kPosBetweenFrames)
    {
        s.m_bySum = byValue;
        s.m_strLine.clear();
        AppendFormat(s.m_strLine, "20%02d-", static_cast<int>(byValue));
        s.m_nPosition = nPosition + 1;
        return false;
    }
    if (nPosition < kPosLiveChecksum)
    {
        s.m_bySum = static_cast<std::uint8_t>(s.m_bySum + byValue);
        AppendField(s.m_strLine, nPosition - 1, byValue, true);
        s.m_nPosition = nPosition + 1;
        return false;
    }

    bool bDrop = false;
    if (byValue == static_cast<std::uint8_t>(s.m_bySum & 0x7F))
    {
        s.m_strLine += "\r\n";
        FlushLine();
    }
    else
    {
        // A partial line from a bad frame is never shown; ask for the
        // readings again at once and ignore whatever else this read holds,
        // since its frame boundaries can no longer be trusted.
        s.m_strLine.clear();
        s.m_byState = kCmdLive;
        s.m_byPending = kCmdLiveAgain;
        s.m_nThreshold = kLiveWait;
        ArmTimer();
        bDrop = true;
    }
    s.m_bySum = 0;
    s.m_nRetryCount = 0;
    s.m_nPosition = kPosBetweenFrames;
    s.m_byFirstRetry = kCmdLive;
    return bDrop;
}

void CFrameDecoder::RearmMemoryWait()
{
    CReaderState& s = m_state;
    s.m_nRetryCount = 0;
    s.m_nThreshold = kMemoryWait;
    s.m_byFirstRetry = kCmdResume;
    ArmTimer();
}

bool CFrameDecoder::TakeMemoryByte(std::uint8_t byValue)
{
    CReaderState& s = m_state;

    // Any memory byte is progress: the wait it ends is over, and a position
    // that no memory frame uses leaves no time-out pending at all.
    StopTimer();
    s.m_nThreshold = 0;
    s.m_nRetryCount = 0;
    s.m_byFirstRetry = 0;

    const int nPosition = s.m_nPosition;
    switch (nPosition)
    {
    case kPosBetweenFrames:
        s.m_bySum = byValue;
        RearmMemoryWait();
        s.m_nPosition = kPosHeaderCount0;
        return false;

    case kPosHeaderCount0:
        s.m_bySum = static_cast<std::uint8_t>(s.m_bySum + byValue);
        s.m_nRecordTotal = byValue;
        RearmMemoryWait();
        s.m_nPosition = kPosHeaderCount1;
        return false;

    case kPosHeaderCount1:
    case kPosHeaderCount2:
        // The count has 24 bits; keeping it to them means no state, however
        // it came about, can overflow the total.
        s.m_bySum = static_cast<std::uint8_t>(s.m_bySum + byValue);
        s.m_nRecordTotal = static_cast<std::int32_t>(
            ((static_cast<std::uint32_t>(s.m_nRecordTotal) << 8) | byValue) & 0xFFFFFFu);
        RearmMemoryWait();
        s.m_nPosition = nPosition + 1;
        return false;

    case kPosHeaderChecksum:
        s.m_byState = kCmdHeader;
        s.m_nRetryCount = 0;
        s.m_nThreshold = kMemoryWait;
        if (byValue == static_cast<std::uint8_t>(s.m_bySum & 0x7F))
        {
            s.m_byPending = kCmdNextRecord;
            s.m_byFirstRetry = kCmdNextRecord;
            ArmTimer();
            s.m_nPosition = kPosRecordYear;
        }
        else
        {
            // The position and the sum stay: the next bytes are compared
            // with the same checksum until one matches or the wait ends.
            s.m_byFirstRetry = kCmdResume;
            ArmTimer();
        }
        return false;

    case kPosRecordChecksum:
        return TakeRecordChecksum(byValue);

    default:
        break;
    }

    if (nPosition == kPosRecordYear)
    {
        s.m_bySum = byValue;
        s.m_strLine.clear();
        // The index is bounded by the record total's 24 bits in practice;
        // widen anyway so that the display of index + 1 cannot overflow.
        const long long nNumber = static_cast<long long>(s.m_nRecordIndex) + 1;
        AppendFormat(s.m_strLine, "(%lld/%ld) 20%02d-", nNumber,
                     static_cast<long>(s.m_nRecordTotal), static_cast<int>(byValue));
        RearmMemoryWait();
        s.m_nPosition = kPosRecordYear + 1;
        return false;
    }
    if (nPosition > kPosRecordYear && nPosition < kPosRecordChecksum)
    {
        s.m_bySum = static_cast<std::uint8_t>(s.m_bySum + byValue);
        AppendField(s.m_strLine, nPosition - kPosRecordYear, byValue, false);
        RearmMemoryWait();
        s.m_nPosition = nPosition + 1;
        return false;
    }

    // Positions that no memory frame uses (0, 2 to 11, 16 to 20, 30 and
    // above): nothing beyond the first step.
    return false;
}

bool CFrameDecoder::TakeRecordChecksum(std::uint8_t byValue)
{
    CReaderState& s = m_state;

    if (byValue != static_cast<std::uint8_t>(s.m_bySum & 0x7F))
    {
        // The record comes again from its first byte after n; until then
        // the rest of this read cannot be placed.
        s.m_strLine.clear();
        s.m_byState = kCmdNextRecord;
        s.m_nRetryCount = 0;
        s.m_nThreshold = kMemoryWait;
        s.m_byFirstRetry = kCmdResume;
        ArmTimer();
        s.m_nPosition = kPosRecordYear;
        return true;
    }

    s.m_strLine += "\r\n";
    FlushLine();
    // Saturate rather than overflow on a device that never stops sending.
    if (s.m_nRecordIndex < INT32_MAX)
        ++s.m_nRecordIndex;

    if (s.m_nRecordIndex == s.m_nRecordTotal)
    {
        AppendFormat(s.m_strLine, "Total number of Memory Data : %d \r\n",
                     static_cast<int>(s.m_nRecordTotal));
        FlushLine();
        s.m_nRecordIndex = 0;
        s.m_byState = 0;
        s.m_byPending = kCmdNextRecord;
        // The position stays at the checksum and no wait is armed: the
        // final m is answered by the end-of-data marker.
        return false;
    }

    // Until the queued m has gone out, the rest of the read is ignored.
    s.m_byState = s.m_byPending;
    s.m_byPending = kCmdNextRecord;
    s.m_nPosition = kPosRecordYear;
    RearmMemoryWait();
    return false;
}
