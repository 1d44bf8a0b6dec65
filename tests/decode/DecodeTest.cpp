// Byte sequences in, log texts, timer operations and reader state out.

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "link/FrameDecoder.h"
#include "link/LinkInfo.h"
#include "link/LinkView.h"
#include "link/ReaderState.h"
#include "link/WireProtocol.h"

namespace
{
using Bytes = std::vector<std::uint8_t>;
using Events = std::vector<std::string>;
using namespace WireProtocol;

constexpr std::uint8_t r = kCmdHandshake;
constexpr std::uint8_t q = kCmdLive;
constexpr std::uint8_t x = kCmdLiveAgain;
constexpr std::uint8_t f = kCmdHeader;
constexpr std::uint8_t m = kCmdNextRecord;
constexpr std::uint8_t n = kCmdResume;
constexpr std::uint8_t z = kCmdStop;

template <std::size_t N>
Bytes ToBytes(const std::array<std::uint8_t, N>& frame)
{
    return Bytes(frame.begin(), frame.end());
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The worked example of the protocol: 2023-05-07 09:05:03, 98 %, 72 bpm.
const Bytes kExample = {0x17, 0x05, 0x07, 0x09, 0x05, 0x03, 0x62, 0x48, 0x5E};
const char* const kExampleLine = "2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n";

// Logs every log and timer operation in order. Starting the timer records
// whether the tick counter had been set to 0 first, which is what arming
// means; tests move the counter by hand.
class CRecordingView : public CLinkView
{
public:
    Events m_events;
    std::atomic<std::int32_t> m_nTicks{57};
    std::atomic<std::int32_t> m_bPortChosen{1};

    void ScrollToEnd() override { m_events.push_back("scroll"); }
    void InsertText(const std::string& strText) override { m_events.push_back("text:" + strText); }
    void StartTickTimer() override
    {
        m_events.push_back(m_nTicks.load() == 0 ? "arm" : "start@" + std::to_string(m_nTicks.load()));
    }
    void StopTickTimer() override { m_events.push_back("stop"); }
    std::atomic<std::int32_t>& Ticks() override { return m_nTicks; }
    std::atomic<std::int32_t>& PortChosen() override { return m_bPortChosen; }
    void ShowMessage(const std::string& strText) override { m_events.push_back("box:" + strText); }

    // The texts that reached the log, each checked to follow a ScrollToEnd.
    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < m_events.size(); ++i)
        {
            if (m_events[i].rfind("text:", 0) != 0)
                continue;
            EXPECT_TRUE(i > 0 && m_events[i - 1] == "scroll") << "InsertText without ScrollToEnd";
            lines.push_back(m_events[i].substr(5));
        }
        return lines;
    }
    void Clear()
    {
        m_events.clear();
        m_nTicks = 57;
    }
};

std::string Dump(const CReaderState& s)
{
    std::ostringstream out;
    out << "pending=" << int(s.m_byPending) << " state=" << int(s.m_byState)
        << " pos=" << s.m_nPosition << " sum=" << int(s.m_bySum)
        << " total=" << s.m_nRecordTotal << " index=" << s.m_nRecordIndex
        << " threshold=" << s.m_nThreshold << " first=" << int(s.m_byFirstRetry)
        << " retries=" << s.m_nRetryCount << " line='" << s.m_strLine << "'";
    return out.str();
}

class DecodeTest : public ::testing::Test
{
protected:
    CReaderState m_state;
    CRecordingView m_view;
    CLinkInfo m_link;
    CFrameDecoder m_decoder{m_state, m_view, m_link};

    void SetUp() override
    {
        // As after the loop's first write: r has gone out.
        m_state.Reset();
        m_state.m_byState = r;
        m_state.m_byPending = 0;
        m_link.m_bStopped = 0;
        m_link.m_bMemoryIdle = 1;
        m_link.m_pView = &m_view;
    }

    // One read as the reader loop hands it over: byte by byte until a rule
    // asks to drop the rest. Returns how many bytes were taken.
    std::size_t Read(const Bytes& bytes)
    {
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (m_decoder.TakeByte(bytes[i]))
                return i + 1;
        return bytes.size();
    }

    // The reader loop's write step.
    void Write(std::uint8_t byCommand)
    {
        m_view.ScrollToEnd();
        m_state.m_byState = byCommand;
        m_state.m_byPending = 0;
    }

    // Live mode between frames, as after a handshake and a q.
    void StartLive(std::uint8_t byState = q)
    {
        m_state.m_byState = byState;
        m_state.m_nPosition = 1;
        m_state.m_nThreshold = 92;
        m_state.m_byFirstRetry = q;
    }

    // Waiting for a record of a download with the given total.
    void StartRecords(std::int32_t nTotal, std::int32_t nIndex, std::uint8_t byState = m)
    {
        m_link.m_bMemoryIdle = 0;
        m_state.m_byState = byState;
        m_state.m_nPosition = 21;
        m_state.m_nRecordTotal = nTotal;
        m_state.m_nRecordIndex = nIndex;
        m_state.m_nThreshold = 10;
        m_state.m_byFirstRetry = m;
    }
};

// ---------------------------------------------------------------- handshake

TEST_F(DecodeTest, HandshakeAnswerStartsTheLiveWaitEveryTimeItComes)
{
    m_state.m_byState = r;
    m_state.m_nRetryCount = 2;
    m_state.m_byPending = x;  // untouched by the answer
    const Events once = {"arm", "scroll", "text:Connection established successfully.\r\n"};

    EXPECT_EQ(Read({kMarkHandshake}), 1u);
    EXPECT_EQ(m_view.m_events, once);
    EXPECT_EQ(m_state.m_nPosition, 1);
    EXPECT_EQ(m_state.m_nThreshold, 92);
    EXPECT_EQ(m_state.m_byFirstRetry, q);
    EXPECT_EQ(m_state.m_byState, r);
    EXPECT_EQ(m_state.m_nRetryCount, 2);
    EXPECT_EQ(m_state.m_byPending, x);
    EXPECT_TRUE(m_state.m_strLine.empty());

    // A second answer is shown again and starts the wait afresh.
    m_view.Clear();
    EXPECT_EQ(Read({kMarkHandshake}), 1u);
    EXPECT_EQ(m_view.m_events, once);
    EXPECT_EQ(m_view.m_nTicks.load(), 0);
}

TEST_F(DecodeTest, BeforeTheHandshakeOnlyTheAnswerCounts)
{
    m_state.m_byState = r;
    const std::string strBefore = Dump(m_state);
    EXPECT_EQ(Read(kExample + Bytes{kMarkEndOfData, 0x00, 0x7F, 0xFF}), 13u);
    EXPECT_TRUE(m_view.m_events.empty());
    EXPECT_EQ(Dump(m_state), strBefore);
}

// --------------------------------------------------------------- live frames

struct LiveCase
{
    const char* pszName;
    Bytes bytes;
    const char* pszLine;
};

TEST_F(DecodeTest, GoodLiveFramesGiveOneLineEach)
{
    const LiveCase cases[] = {
        {"worked example", kExample, kExampleLine},
        {"no reading yet", ToBytes(MakeReadingFrame(0x17, 5, 7, 9, 5, 3, 0, 0)),
         "2023-5-7  9:05:03 Spo2: - (%) HR: - (bpm) \r\n"},
        {"month high bits ignored", ToBytes(MakeReadingFrame(0x17, 0x15, 7, 9, 5, 3, 98, 72)), kExampleLine},
        {"month 0x1C", ToBytes(MakeReadingFrame(0x17, 0x1C, 31, 23, 59, 58, 97, 130)),
         "2023-12-31 23:59:58 Spo2: 97 (%) HR: 130 (bpm) \r\n"},
        {"year 5, small minute and second", ToBytes(MakeReadingFrame(5, 1, 1, 0, 0, 9, 95, 60)),
         "2005-1-1  0:00:09 Spo2: 95 (%) HR: 60 (bpm) \r\n"},
        {"all zero", Bytes(9, 0), "2000-0-0  0:00:00 Spo2: - (%) HR: - (bpm) \r\n"},
        {"widest values", ToBytes(MakeReadingFrame(0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF)),
         "20255-15-255 255:255:255 Spo2: 255 (%) HR: 255 (bpm) \r\n"},
        {"only SpO2 missing", ToBytes(MakeReadingFrame(0x17, 5, 7, 9, 5, 3, 0, 72)),
         "2023-5-7  9:05:03 Spo2: - (%) HR: 72 (bpm) \r\n"},
        {"0xFD inside is dropped", {0x17, 0x05, 0x07, 0x09, 0x05, 0x03, 0x62, 0xFD, 0x48, 0x5E}, kExampleLine},
        {"0xFE inside is dropped", {0x17, 0xFE, 0x05, 0x07, 0x09, 0x05, 0x03, 0x62, 0x48, 0xFE, 0x5E},
         kExampleLine},
    };
    for (std::uint8_t byState : {q, x})
        for (const LiveCase& c : cases)
        {
            SCOPED_TRACE(std::string(c.pszName) + (byState == q ? " (q)" : " (x)"));
            SetUp();
            m_view.Clear();
            StartLive(byState);
            // A good frame ends a retry run but leaves the running wait alone.
            m_state.m_nRetryCount = 3;
            m_state.m_nThreshold = 2;
            m_state.m_byFirstRetry = 0;

            EXPECT_EQ(Read(c.bytes), c.bytes.size());
            EXPECT_EQ(m_view.m_events, (Events{"scroll", std::string("text:") + c.pszLine}));
            EXPECT_EQ(m_state.m_nPosition, 1);
            EXPECT_EQ(m_state.m_bySum, 0);
            EXPECT_EQ(m_state.m_nRetryCount, 0);
            EXPECT_EQ(m_state.m_byFirstRetry, q);
            EXPECT_EQ(m_state.m_nThreshold, 2);
            EXPECT_EQ(m_state.m_byState, byState);
            EXPECT_EQ(m_state.m_byPending, 0);
            EXPECT_TRUE(m_state.m_strLine.empty());
        }
}

TEST_F(DecodeTest, MarkersNeverMoveTheLivePosition)
{
    StartLive();
    Read({0x17, 0x05, 0x07, 0x09});
    const std::string strBefore = Dump(m_state);
    Read({kMarkEndOfData, kMarkHandshake, kMarkEndOfData});
    EXPECT_EQ(Dump(m_state), strBefore);
    EXPECT_TRUE(m_view.m_events.empty());
}

TEST_F(DecodeTest, TwoGoodFramesInOneReadGiveTwoLines)
{
    StartLive();
    const Bytes second = ToBytes(MakeReadingFrame(0x17, 5, 7, 9, 5, 4, 97, 73));
    EXPECT_EQ(Read(kExample + second), 18u);
    EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{
                                  kExampleLine, "2023-5-7  9:05:04 Spo2: 97 (%) HR: 73 (bpm) \r\n"}));
}

struct BadLiveCase
{
    const char* pszName;
    Bytes bytes;
    std::size_t nTaken;  // bytes looked at before the rest of the read is dropped
};

TEST_F(DecodeTest, BadLiveFrameShowsNothingAsksAgainAndDropsTheRead)
{
    Bytes offByOne = kExample;
    offByOne[8] = 0x5F;
    Bytes topBit = kExample;
    topBit[8] = 0x5E | 0x80;  // equal in the low seven bits only
    // A pulse rate of 253 is taken as a marker: the checksum fills its
    // place and the next frame's first byte is compared as the checksum.
    const Bytes lostPulse = {0x17, 0x05, 0x07, 0x09, 0x05, 0x03, 0x62, 0xFD, 0x5E};

    const BadLiveCase cases[] = {
        {"checksum off by one, good frame behind it", offByOne + kExample, 9},
        {"checksum with the top bit set", topBit + kExample, 9},
        {"pulse rate 253", lostPulse + kExample, 10},
    };
    for (std::uint8_t byState : {q, x})
        for (const BadLiveCase& c : cases)
        {
            SCOPED_TRACE(std::string(c.pszName) + (byState == q ? " (q)" : " (x)"));
            SetUp();
            m_view.Clear();
            StartLive(byState);
            m_state.m_nRetryCount = 2;
            m_state.m_nThreshold = 2;

            EXPECT_EQ(Read(c.bytes), c.nTaken);
            EXPECT_EQ(m_view.m_events, (Events{"arm"}));
            EXPECT_EQ(m_view.m_nTicks.load(), 0);
            EXPECT_EQ(m_state.m_byState, q);
            EXPECT_EQ(m_state.m_byPending, x);
            EXPECT_EQ(m_state.m_nThreshold, 92);
            EXPECT_EQ(m_state.m_nPosition, 1);
            EXPECT_EQ(m_state.m_bySum, 0);
            EXPECT_EQ(m_state.m_nRetryCount, 0);
            EXPECT_EQ(m_state.m_byFirstRetry, q);
            EXPECT_TRUE(m_state.m_strLine.empty());

            // The next read starts a fresh frame.
            m_view.Clear();
            Read(kExample);
            EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{kExampleLine}));
        }
}

struct IgnoredCase
{
    const char* pszName;
    std::uint8_t byState;
    int nPosition;
    std::uint8_t byValue;
};

TEST_F(DecodeTest, IgnoredBytesChangeNothing)
{
    const IgnoredCase cases[] = {
        {"live state before the handshake", q, 0, 0x17},
        {"live state at a header position", x, 12, 0x17},
        {"live state at a record position", q, 25, 0x17},
        {"live state past every frame", q, 40, 0x17},
        {"no state", 0, 1, 0x17},
        {"no state, 0xFD", 0, 29, kMarkEndOfData},
        {"no state, 0xFE", 0, 1, kMarkHandshake},
        {"handshake state", r, 1, 0x17},
        {"0xFD while live", q, 5, kMarkEndOfData},
        {"0xFD waiting for the header", f, 1, kMarkEndOfData},
        {"0xFD during resume", n, 24, kMarkEndOfData},
        {"0xFD after stop", z, 21, kMarkEndOfData},
        {"0xFD before the handshake", r, 0, kMarkEndOfData},
        {"0xFE while live", q, 1, kMarkHandshake},
        {"0xFE in a record", m, 23, kMarkHandshake},
        {"0xFE in a header", f, 13, kMarkHandshake},
        {"0xFE during resume", n, 21, kMarkHandshake},
    };
    for (const IgnoredCase& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        SetUp();
        m_view.Clear();
        m_state.m_byState = c.byState;
        m_state.m_nPosition = c.nPosition;
        m_state.m_nThreshold = 10;
        m_state.m_byFirstRetry = n;
        m_state.m_bySum = 0x33;
        m_state.m_strLine = "partial";
        const std::string strBefore = Dump(m_state);

        EXPECT_FALSE(m_decoder.TakeByte(c.byValue));
        EXPECT_TRUE(m_view.m_events.empty());
        EXPECT_EQ(Dump(m_state), strBefore);
        EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
    }
}

// ------------------------------------------------------------- memory header

TEST_F(DecodeTest, GoodHeaderTakesTheCountAndAsksForTheFirstRecord)
{
    struct
    {
        Bytes bytes;
        std::int32_t nTotal;
    } const cases[] = {
        {{0x01, 0x00, 0x01, 0x2C, 0x2E}, 300},
        {{0x00, 0x00, 0x00, 0x00, 0x00}, 0},
        {ToBytes(MakeHeaderFrame(0x07, 0xFFFFFF)), 0xFFFFFF},
        {ToBytes(MakeHeaderFrame(0x02, 0x010203)), 0x010203},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nTotal);
        SetUp();
        m_view.Clear();
        m_link.m_bMemoryIdle = 0;
        m_state.m_byState = f;
        m_state.m_nPosition = 1;
        m_state.m_nRetryCount = 3;

        // Every header byte ends the running wait and starts a 10-tick one.
        for (std::size_t i = 0; i + 1 < c.bytes.size(); ++i)
        {
            m_view.Clear();
            m_state.m_nRetryCount = 3;
            EXPECT_FALSE(m_decoder.TakeByte(c.bytes[i]));
            EXPECT_EQ(m_view.m_events, (Events{"stop", "arm"}));
            EXPECT_EQ(m_state.m_nThreshold, 10);
            EXPECT_EQ(m_state.m_byFirstRetry, n);
            EXPECT_EQ(m_state.m_nRetryCount, 0);
        }
        m_view.Clear();
        EXPECT_FALSE(m_decoder.TakeByte(c.bytes.back()));
        EXPECT_EQ(m_view.m_events, (Events{"stop", "arm"}));  // nothing shown
        EXPECT_EQ(m_state.m_nRecordTotal, c.nTotal);
        EXPECT_EQ(m_state.m_byState, f);
        EXPECT_EQ(m_state.m_byPending, m);
        EXPECT_EQ(m_state.m_byFirstRetry, m);
        EXPECT_EQ(m_state.m_nThreshold, 10);
        EXPECT_EQ(m_state.m_nPosition, 21);
    }
}

TEST_F(DecodeTest, HeaderWithNoRecordsEndsAtTheFirstEndMarker)
{
    m_link.m_bMemoryIdle = 0;
    m_state.m_byState = f;
    m_state.m_nPosition = 1;
    Read({0x00, 0x00, 0x00, 0x00, 0x00});
    Write(m);
    m_view.Clear();

    EXPECT_EQ(Read({kMarkEndOfData}), 1u);
    EXPECT_EQ(m_view.m_events, (Events{"scroll", "text:End of Data Tranmission\r\n", "arm"}));
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
    EXPECT_EQ(m_state.m_byState, m);  // the loop's mode check resets it
    EXPECT_EQ(m_state.m_byPending, 0);
    EXPECT_EQ(m_state.m_nPosition, 1);
    EXPECT_EQ(m_state.m_byFirstRetry, q);
    EXPECT_EQ(m_state.m_nThreshold, 92);
}

TEST_F(DecodeTest, BadHeaderChecksumWaitsForAByteMatchingTheSameSum)
{
    m_link.m_bMemoryIdle = 0;
    m_state.m_byState = f;
    m_state.m_nPosition = 1;

    // The read goes on after the mismatch: 0x2F and 0x30 are compared with
    // the same masked sum 0x2E, which the third byte finally matches.
    EXPECT_EQ(Read({0x01, 0x00, 0x01, 0x2C, 0x2F}), 5u);
    EXPECT_EQ(m_state.m_nPosition, 15);
    EXPECT_EQ(m_state.m_byState, f);
    EXPECT_EQ(m_state.m_byPending, 0);  // nothing is queued; the time-out sends n
    EXPECT_EQ(m_state.m_byFirstRetry, n);
    EXPECT_EQ(m_state.m_nThreshold, 10);
    EXPECT_EQ(m_view.m_events.back(), "arm");

    Write(n);
    EXPECT_EQ(Read({0x30, 0x2E, 0x17}), 3u);
    EXPECT_TRUE(m_view.Lines().empty());
    EXPECT_EQ(m_state.m_nRecordTotal, 300);
    EXPECT_EQ(m_state.m_byPending, m);
    EXPECT_EQ(m_state.m_byState, f);
    EXPECT_EQ(m_state.m_nPosition, 22);  // 0x17 was taken as the first record's year
}

// ------------------------------------------------------------ memory records

TEST_F(DecodeTest, StoredRecordsAreNumberedAgainstTheHeader)
{
    struct
    {
        const char* pszName;
        Bytes bytes;
        std::int32_t nTotal;
        std::int32_t nIndex;
        std::uint8_t byState;
        const char* pszLine;
    } const cases[] = {
        {"worked example", kExample, 250, 0, m, "(1/250) 2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n"},
        {"zero readings are shown as numbers", ToBytes(MakeReadingFrame(0x17, 5, 7, 9, 5, 3, 0, 0)), 250, 41, m,
         "(42/250) 2023-5-7  9:05:03 Spo2: 0 (%) HR: 0 (bpm) \r\n"},
        {"widest count", ToBytes(MakeReadingFrame(5, 0x1C, 1, 12, 0, 0, 90, 200)), 0xFFFFFF, 0, m,
         "(1/16777215) 2005-12-1 12:00:00 Spo2: 90 (%) HR: 200 (bpm) \r\n"},
        {"markers are not record bytes", {0x17, 0x05, 0xFE, 0x07, 0x09, 0x05, 0xFD, 0x03, 0x62, 0x48, 0x5E}, 250,
         0, f, "(1/250) 2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n"},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.pszName);
        SetUp();
        m_view.Clear();
        StartRecords(c.nTotal, c.nIndex, c.byState);

        EXPECT_EQ(Read(c.bytes), c.bytes.size());
        EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{c.pszLine}));
        // Every record byte restarts the 10-tick wait, the checksum included.
        EXPECT_EQ(m_view.m_events.back(), "arm");
        EXPECT_EQ(m_state.m_nRecordIndex, c.nIndex + 1);
        EXPECT_EQ(m_state.m_byState, 0);  // the pending command (none) until m goes out
        EXPECT_EQ(m_state.m_byPending, m);
        EXPECT_EQ(m_state.m_nPosition, 21);
        EXPECT_EQ(m_state.m_nThreshold, 10);
        EXPECT_EQ(m_state.m_byFirstRetry, n);
        EXPECT_EQ(m_state.m_nRetryCount, 0);
    }
}

TEST_F(DecodeTest, HeaderAndFirstRecordInOneReadKeepDecoding)
{
    // Before the queued m has gone out the reader state takes that m, so the
    // second record of the same read is decoded too.
    m_link.m_bMemoryIdle = 0;
    m_state.m_byState = f;
    m_state.m_nPosition = 1;
    const Bytes second = ToBytes(MakeReadingFrame(0x17, 5, 7, 9, 6, 3, 97, 71));
    EXPECT_EQ(Read(ToBytes(MakeHeaderFrame(1, 5)) + kExample + second), 23u);
    EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{
                                  "(1/5) 2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n",
                                  "(2/5) 2023-5-7  9:06:03 Spo2: 97 (%) HR: 71 (bpm) \r\n"}));
    EXPECT_EQ(m_state.m_byState, m);
    EXPECT_EQ(m_state.m_nRecordIndex, 2);
}

TEST_F(DecodeTest, FailedRecordIsShownOnceWithItsOwnNumberWhenItComesAgain)
{
    StartRecords(10, 4);
    Bytes bad = kExample;
    bad[8] = 0x5D;
    const Bytes next = ToBytes(MakeReadingFrame(0x17, 5, 7, 9, 6, 3, 97, 71));

    EXPECT_EQ(Read(bad + kExample + next), 9u);
    EXPECT_TRUE(m_view.Lines().empty());
    EXPECT_EQ(m_view.m_events.back(), "arm");
    EXPECT_EQ(m_state.m_nPosition, 21);
    EXPECT_EQ(m_state.m_byState, m);
    EXPECT_EQ(m_state.m_byPending, 0);  // the time-out sends n
    EXPECT_EQ(m_state.m_nThreshold, 10);
    EXPECT_EQ(m_state.m_byFirstRetry, n);
    EXPECT_EQ(m_state.m_nRecordIndex, 4);
    EXPECT_TRUE(m_state.m_strLine.empty());

    Write(n);
    m_view.Clear();
    EXPECT_EQ(Read(kExample), 9u);
    EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{
                                  "(5/10) 2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n"}));
    EXPECT_EQ(m_state.m_nRecordIndex, 5);
}

TEST_F(DecodeTest, ThreeRecordDownloadEndsWithTotalAndEndLines)
{
    m_link.m_bMemoryIdle = 0;
    m_state.m_byState = f;
    m_state.m_nPosition = 1;
    const Bytes records[] = {
        ToBytes(MakeReadingFrame(0x17, 5, 7, 9, 5, 3, 98, 72)),
        ToBytes(MakeReadingFrame(0x17, 5, 7, 9, 5, 4, 0, 0)),
        ToBytes(MakeReadingFrame(0x18, 0x1C, 31, 23, 59, 59, 100, 255)),
    };

    Read(ToBytes(MakeHeaderFrame(1, 3)));
    for (const Bytes& record : records)
    {
        ASSERT_EQ(m_state.m_byPending, m);
        Write(m);
        EXPECT_EQ(Read(record), 9u);
    }
    // The last record leaves no wait: the timer was stopped by its checksum
    // byte and not started again.
    EXPECT_EQ(m_view.m_events.back(), "text:Total number of Memory Data : 3 \r\n");
    EXPECT_EQ(m_view.m_events[m_view.m_events.size() - 5], "stop");
    EXPECT_EQ(m_state.m_nPosition, 29);
    EXPECT_EQ(m_state.m_nThreshold, 0);
    EXPECT_EQ(m_state.m_nRecordIndex, 0);
    EXPECT_EQ(m_state.m_byState, 0);
    EXPECT_EQ(m_state.m_byPending, m);

    Write(m);
    EXPECT_EQ(Read({kMarkEndOfData}), 1u);
    EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{
                                  "(1/3) 2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n",
                                  "(2/3) 2023-5-7  9:05:04 Spo2: 0 (%) HR: 0 (bpm) \r\n",
                                  "(3/3) 2024-12-31 23:59:59 Spo2: 100 (%) HR: 255 (bpm) \r\n",
                                  "Total number of Memory Data : 3 \r\n",
                                  "End of Data Tranmission\r\n",
                              }));
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
    EXPECT_EQ(m_state.m_nPosition, 1);
}

TEST_F(DecodeTest, AfterTheLastRecordAStrayByteIsComparedAsItsChecksum)
{
    // One record announced and received; the final m has gone out.
    StartRecords(2, 1);
    Read(kExample);
    ASSERT_EQ(m_state.m_nPosition, 29);
    Write(m);
    const std::string strAfterLast = Dump(m_state);
    const std::size_t nEventsAfterLast = m_view.m_events.size();

    // A byte equal to the last record's masked sum completes it once more:
    // an empty line, and the count starts again from 1. The reader state is
    // then none, so the next byte of the read is ignored.
    EXPECT_EQ(Read({0x5E, 0x40}), 2u);
    EXPECT_EQ(m_view.m_events.size(), nEventsAfterLast + 4);
    EXPECT_EQ(m_view.m_events[nEventsAfterLast + 2], "text:\r\n");
    EXPECT_EQ(m_state.m_nRecordIndex, 1);
    EXPECT_EQ(m_state.m_nPosition, 21);
    EXPECT_EQ(m_state.m_byState, 0);
    EXPECT_EQ(m_state.m_byPending, m);

    // Any other byte fails as a record checksum: back to the record start,
    // the rest of the read dropped.
    SetUp();
    StartRecords(2, 1);
    Read(kExample);
    Write(m);
    ASSERT_EQ(Dump(m_state), strAfterLast);
    EXPECT_EQ(Read({0x11, kMarkEndOfData}), 1u);
    EXPECT_EQ(m_state.m_nPosition, 21);
    EXPECT_EQ(m_state.m_byState, m);
    EXPECT_EQ(m_state.m_nThreshold, 10);

    // The end marker still ends the download from there.
    SetUp();
    StartRecords(2, 1);
    Read(kExample);
    Write(m);
    m_view.Clear();
    EXPECT_EQ(Read({kMarkEndOfData}), 1u);
    EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{"End of Data Tranmission\r\n"}));
}

TEST_F(DecodeTest, RecordIndexSurvivesANewHeader)
{
    StartRecords(9, 2, f);
    m_state.m_nPosition = 1;
    Read(ToBytes(MakeHeaderFrame(1, 5)) + kExample);
    EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{
                                  "(3/5) 2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n"}));
}

TEST_F(DecodeTest, EndMarkerInsideARecordEndsTheDownload)
{
    StartRecords(5, 1);
    Read({0x17, 0x05, 0x07});
    m_view.Clear();
    EXPECT_EQ(Read({kMarkEndOfData, 0x09}), 2u);
    EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{"End of Data Tranmission\r\n"}));
    EXPECT_EQ(m_link.m_bMemoryIdle.load(), 1);
    EXPECT_EQ(m_state.m_byState, m);
    // Until the loop's mode check resets reader state m, later bytes of the
    // same read are memory bytes again, now at the header's first position.
    EXPECT_EQ(m_state.m_nPosition, 12);
}

TEST_F(DecodeTest, MemoryBytesAtUnusedPositionsOnlyCancelTheWait)
{
    struct
    {
        std::uint8_t byState;
        int nPosition;
    } const cases[] = {{f, 0}, {m, 2}, {n, 9}, {z, 11}, {f, 16}, {m, 20}, {n, 30}, {z, 99}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nPosition);
        SetUp();
        m_view.Clear();
        m_state.m_byState = c.byState;
        m_state.m_nPosition = c.nPosition;
        m_state.m_nThreshold = 10;
        m_state.m_nRetryCount = 3;
        m_state.m_byFirstRetry = n;

        EXPECT_FALSE(m_decoder.TakeByte(0x17));
        EXPECT_EQ(m_view.m_events, (Events{"stop"}));
        EXPECT_EQ(m_state.m_nPosition, c.nPosition);
        EXPECT_EQ(m_state.m_nThreshold, 0);
        EXPECT_EQ(m_state.m_nRetryCount, 0);
        EXPECT_EQ(m_state.m_byFirstRetry, 0);
        EXPECT_EQ(m_state.m_byState, c.byState);
    }
}

TEST_F(DecodeTest, RecordsStillDecodeInEveryMemoryState)
{
    for (std::uint8_t byState : {f, m, n, z})
    {
        SCOPED_TRACE(int(byState));
        SetUp();
        m_view.Clear();
        StartRecords(3, 0, byState);
        Read(kExample);
        EXPECT_EQ(m_view.Lines(), (std::vector<std::string>{
                                      "(1/3) 2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n"}));
    }
}

TEST_F(DecodeTest, RecordNumberCannotOverflow)
{
    // A device that keeps sending records past a count it never reaches.
    StartRecords(0, INT32_MAX - 1);
    Read(kExample);
    Write(m);
    Read(kExample);
    EXPECT_EQ(m_state.m_nRecordIndex, INT32_MAX);
    const std::vector<std::string> lines = m_view.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(0, 15), "(2147483647/0) ");
    EXPECT_EQ(lines[1].substr(0, 15), "(2147483648/0) ");
}
}  // namespace
