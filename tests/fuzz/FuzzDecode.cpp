// Feeds arbitrary bytes, in arbitrary reads, to the frame decoding from any
// reader state, with the reader loop's own steps (writing the pending
// command, a command write of its own, its mode check) in between. Besides
// the sanitizers it checks, independently of the decoder's own arithmetic:
//  - every reading line that reaches the log was built from bytes whose
//    checksum the harness recomputed, and reads exactly as those bytes say;
//  - every other text is one of the fixed messages, where it may come;
//  - the line buffer stays small, whatever arrives.

#include <atomic>
#include <cstddef>
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

constexpr std::size_t kMaxLine = 128;
constexpr std::size_t kReadSize = 200;

constexpr std::uint8_t kStates[] = {0,         kCmdHandshake, kCmdLive,       kCmdLiveAgain,
                                    kCmdHeader, kCmdNextRecord, kCmdResume, kCmdStop};

[[noreturn]] void Fail(const char* pszWhat, const std::string& strDetail = {})
{
    std::fprintf(stderr, "decode oracle: %s %s\n", pszWhat, strDetail.c_str());
    std::abort();
}

void Check(bool bHolds, const char* pszWhat, const std::string& strDetail = {})
{
    if (!bHolds)
        Fail(pszWhat, strDetail);
}

class CFuzzView : public CLinkView
{
public:
    std::vector<std::string> m_texts;  // texts of the current byte
    bool m_bScrolled = false;
    std::atomic<std::int32_t> m_nTicks{0};
    std::atomic<std::int32_t> m_bPortChosen{1};

    void ScrollToEnd() override { m_bScrolled = true; }
    void InsertText(const std::string& strText) override
    {
        Check(m_bScrolled, "InsertText without ScrollToEnd");
        m_bScrolled = false;
        Check(strText.size() <= kMaxLine, "overlong log text", strText);
        m_texts.push_back(strText);
    }
    void StartTickTimer() override { Check(m_nTicks.load() == 0, "timer started without resetting ticks"); }
    void StopTickTimer() override {}
    std::atomic<std::int32_t>& Ticks() override { return m_nTicks; }
    std::atomic<std::int32_t>& PortChosen() override { return m_bPortChosen; }
    void ShowMessage(const std::string&) override { Fail("message box from the decoding"); }
};

std::string Padded(int nValue, int nWidth, char chPad)
{
    std::string str = std::to_string(nValue);
    while (static_cast<int>(str.size()) < nWidth)
        str.insert(str.begin(), chPad);
    return str;
}

// The reading as it must appear, built without printf.
std::string ExpectedReading(const std::vector<std::uint8_t>& bytes, bool bLive)
{
    std::string str = "20" + Padded(bytes[0], 2, '0') + "-" + std::to_string(bytes[1] & 0x0F) + "-" +
                      std::to_string(bytes[2]) + " " + Padded(bytes[3], 2, ' ') + ":" +
                      Padded(bytes[4], 2, '0') + ":" + Padded(bytes[5], 2, '0') + " ";
    str += (bLive && bytes[6] == 0) ? std::string("Spo2: - (%) ") : "Spo2: " + std::to_string(bytes[6]) + " (%) ";
    str += (bLive && bytes[7] == 0) ? std::string("HR: - (bpm) ") : "HR: " + std::to_string(bytes[7]) + " (bpm) ";
    return str + "\r\n";
}

bool IsMemoryState(std::uint8_t byState)
{
    return byState == kCmdHeader || byState == kCmdNextRecord || byState == kCmdResume || byState == kCmdStop;
}

bool IsKnownPosition(int nPosition)
{
    return (nPosition >= 0 && nPosition <= 9) || (nPosition >= 12 && nPosition <= 15) ||
           (nPosition >= 21 && nPosition <= 29);
}

// The bytes that the decoder moved its position for since a frame began,
// kept by the harness itself.
struct CFrameTrace
{
    std::vector<std::uint8_t> bytes;
    bool bValid = false;
    bool bLive = false;
    long long nNumber = 0;  // record number shown, index + 1 at the frame start
    long long nTotal = 0;
};

class CHarness
{
public:
    CReaderState m_state;
    CFuzzView m_view;
    CLinkInfo m_link;
    CFrameDecoder m_decoder{m_state, m_view, m_link};
    CFrameTrace m_trace;
    bool m_bLastRecordShown = false;  // the last record's checksum may be compared again
    bool m_bUntraced = false;          // started inside a frame whose first bytes were never seen

    // Returns true when the decoder asks to drop the rest of the read.
    bool Take(std::uint8_t byValue)
    {
        const int nBefore = m_state.m_nPosition;
        const std::uint8_t byStateBefore = m_state.m_byState;
        const std::int32_t nIndexBefore = m_state.m_nRecordIndex;
        const std::int32_t nTotalBefore = m_state.m_nRecordTotal;
        const bool bMarker = byValue == kMarkEndOfData || byValue == kMarkHandshake;
        m_view.m_texts.clear();

        const bool bDrop = m_decoder.TakeByte(byValue);
        const int nAfter = m_state.m_nPosition;

        Check(m_state.m_strLine.size() <= kMaxLine, "line buffer grows", m_state.m_strLine);
        Check(nAfter == nBefore || IsKnownPosition(nAfter), "unknown position", std::to_string(nAfter));
        if (bMarker)
            Check(nAfter == nBefore || nAfter == 1, "a marker moved the frame position");

        const bool bLiveState = byStateBefore == kCmdLive || byStateBefore == kCmdLiveAgain;
        const bool bChecksumByte = !bMarker && ((nBefore == 9 && bLiveState) ||
                                                (nBefore == 29 && IsMemoryState(byStateBefore)));
        bool bReadingShown = false;
        for (std::size_t i = 0; i < m_view.m_texts.size(); ++i)
        {
            const std::string& strText = m_view.m_texts[i];
            if (strText == "Connection established successfully.\r\n")
            {
                Check(byValue == kMarkHandshake && byStateBefore == kCmdHandshake, "handshake line out of place");
                continue;
            }
            if (strText == "End of Data Tranmission\r\n")
            {
                Check(byValue == kMarkEndOfData && byStateBefore == kCmdNextRecord, "end line out of place");
                continue;
            }
            if (strText.rfind("Total number of Memory Data : ", 0) == 0)
            {
                Check(bReadingShown && i > 0, "total line without a last record");
                Check(strText == "Total number of Memory Data : " + std::to_string(nTotalBefore) + " \r\n",
                      "total line", strText);
                Check(nIndexBefore + 1 == nTotalBefore, "total line before the last record");
                continue;
            }
            // Everything else completes a frame: the bytes traced since its
            // start must carry this checksum.
            Check(bChecksumByte, "a line from a byte that is no checksum", strText);
            bReadingShown = true;
            if (m_bUntraced)
                continue;  // a frame begun before the harness's start: bytes unseen
            Check(m_trace.bValid && m_trace.bytes.size() == 8, "a line without eight traced frame bytes", strText);
            Check(Checksum(m_trace.bytes.data(), 8) == byValue, "a line from a frame whose checksum failed",
                  strText);
            std::string strExpected = ExpectedReading(m_trace.bytes, m_trace.bLive);
            if (!m_trace.bLive)
                strExpected = "(" + std::to_string(m_trace.nNumber) + "/" + std::to_string(m_trace.nTotal) + ") " +
                              strExpected;
            if (m_bLastRecordShown && nBefore == 29 && strText == "\r\n")
                continue;  // the last record's checksum compared once more: nothing shown
            Check(strText == strExpected, "reading line differs from its bytes", strText + " | " + strExpected);
        }
        if (bDrop)
            Check(m_view.m_texts.empty(), "a dropped read showed a line");

        // Trace the frame bytes by how the position moved.
        if (bChecksumByte)
        {
            m_bLastRecordShown = nAfter == 29 && bReadingShown;
            if (nAfter != 29)
                m_trace.bValid = false;
        }
        else if (!bMarker && nBefore == 1 && nAfter == 2 && !IsMemoryState(byStateBefore))
        {
            m_trace = CFrameTrace{{byValue}, true, true, 0, 0};
        }
        else if (!bMarker && nBefore == 21 && nAfter == 22 && IsMemoryState(byStateBefore))
        {
            m_trace = CFrameTrace{{byValue}, true, false, static_cast<long long>(nIndexBefore) + 1, nTotalBefore};
        }
        else if (!bMarker && nAfter == nBefore + 1 && ((nBefore >= 2 && nBefore <= 8) || (nBefore >= 22 && nBefore <= 28)))
        {
            if (m_trace.bValid)
                m_trace.bytes.push_back(byValue);
        }
        else if (nAfter != nBefore)
        {
            m_trace.bValid = false;
        }
        if (nAfter != 29)
            m_bLastRecordShown = false;
        // The unseen frame goes on while its position counts up inside it.
        const bool bInsideFrame = nAfter == nBefore + 1 && ((nBefore >= 2 && nBefore <= 8) ||
                                                            (nBefore >= 22 && nBefore <= 28));
        if (bChecksumByte ? nAfter != 29 : (nAfter != nBefore && !bInsideFrame))
            m_bUntraced = false;
        return bDrop;
    }

    // The reader loop's mode check, reduced to its effect on the reader state.
    void ModeCheck()
    {
        if (m_link.m_bMemoryIdle.load() == 0)
        {
            if (m_state.m_nPosition == 1 && m_state.m_byState != kCmdHeader &&
                m_state.m_byState != kCmdNextRecord)
            {
                m_decoder.StopTimer();
                m_state.m_byState = kCmdHeader;
                m_state.m_byPending = kCmdHeader;
                m_state.m_byFirstRetry = kCmdHeader;
                m_state.m_nRetryCount = 0;
                m_state.m_nThreshold = 10;
                m_decoder.ArmTimer();
            }
        }
        else if (m_state.m_byState == kCmdNextRecord)
        {
            m_state.m_byState = 0;
            m_state.m_nPosition = 1;
            m_state.m_nRecordIndex = 0;
            m_state.m_byFirstRetry = kCmdLive;
            m_state.m_nThreshold = 92;
            m_decoder.ArmTimer();
        }
    }
};

// A little reader of the fuzzer's bytes; runs dry as zeros.
class CInput
{
public:
    CInput(const std::uint8_t* pData, std::size_t nSize) : m_pData(pData), m_nSize(nSize) {}
    bool Empty() const { return m_nPos >= m_nSize; }
    std::uint8_t Byte() { return m_nPos < m_nSize ? m_pData[m_nPos++] : 0; }
    std::size_t Take(std::size_t nWanted, const std::uint8_t*& pOut)
    {
        const std::size_t nLeft = m_nSize - (m_nPos < m_nSize ? m_nPos : m_nSize);
        const std::size_t nCount = nWanted < nLeft ? nWanted : nLeft;
        pOut = m_pData + m_nPos;
        m_nPos += nCount;
        return nCount;
    }

private:
    const std::uint8_t* m_pData;
    std::size_t m_nSize;
    std::size_t m_nPos = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize)
{
    CInput in(pData, nSize);
    CHarness h;
    CReaderState& s = h.m_state;

    // The start: any reader state at any position, with a running sum, a
    // record total and index, and a pending command.
    s.Reset();
    const std::uint8_t byState = in.Byte();
    s.m_byState = byState < 0xF0 ? kStates[byState % 8] : static_cast<std::uint8_t>(byState << 4);
    const std::uint8_t byPosition = in.Byte();
    s.m_nPosition = byPosition < 0xF0 ? byPosition % 32 : byPosition;
    s.m_bySum = in.Byte();
    const std::uint8_t byTotal = in.Byte();
    if (byTotal & 0x80)
        s.m_nRecordTotal = ((byTotal & 0x7F) << 16) | (in.Byte() << 8) | in.Byte();
    else
        s.m_nRecordTotal = byTotal & 0x0F;
    const std::uint8_t byIndex = in.Byte();
    s.m_nRecordIndex = (byIndex & 0x80) ? (s.m_nRecordTotal > (byIndex & 3) ? s.m_nRecordTotal - 1 - (byIndex & 3) : 0)
                                        : (byIndex & 0x0F);
    s.m_byPending = kStates[in.Byte() % 8];
    h.m_link.m_bMemoryIdle = in.Byte() & 1;
    h.m_link.m_bStopped = 0;
    h.m_bUntraced = (s.m_nPosition >= 2 && s.m_nPosition <= 9) || (s.m_nPosition >= 22 && s.m_nPosition <= 29);

    // Then reads, each preceded by what the loop did before it.
    while (!in.Empty())
    {
        const std::uint8_t byStep = in.Byte();
        switch (byStep & 3)
        {
        case 1:  // the loop writes the pending command
            if (s.m_byPending != 0)
            {
                s.m_byState = s.m_byPending;
                s.m_byPending = 0;
            }
            break;
        case 2:  // the loop writes a command of its own (time-out, stop)
            s.m_byState = kStates[(byStep >> 2) % 8];
            s.m_byPending = 0;
            break;
        case 3:  // the user starts or stops a download; the mode check follows
            h.m_link.m_bMemoryIdle = (byStep >> 2) & 1;
            h.ModeCheck();
            break;
        default: break;
        }
        const std::uint8_t* pRead = nullptr;
        const std::size_t nCount = in.Take(static_cast<std::size_t>(in.Byte()) % kReadSize + 1, pRead);
        for (std::size_t i = 0; i < nCount; ++i)
            if (h.Take(pRead[i]))
                break;  // the rest of the read is not looked at
        h.ModeCheck();
    }
    return 0;
}
