#pragma once

// Pieces shared by the link tests: a pseudo-terminal whose master side the
// test plays the device on, a port wrapper that notes when each command went
// out, and a log view that keeps what it was given.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/LinkView.h"
#include "serial/SerialPort.h"

// The master side of a fresh pseudo-terminal; the slave's path is the port.
class CTestPty
{
public:
    CTestPty()
    {
        m_hMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_hMaster >= 0 && ::grantpt(m_hMaster) == 0 && ::unlockpt(m_hMaster) == 0)
        {
            char szName[128] = {};
            if (::ptsname_r(m_hMaster, szName, sizeof szName) == 0)
                m_strSlave = szName;
        }
    }
    ~CTestPty() { CloseMaster(); }

    bool IsValid() const { return m_hMaster >= 0 && !m_strSlave.empty(); }
    const std::string& SlavePath() const { return m_strSlave; }

    void Write(const std::vector<std::uint8_t>& vecBytes)
    {
        std::size_t nDone = 0;
        while (nDone < vecBytes.size())
        {
            const ssize_t n = ::write(m_hMaster, vecBytes.data() + nDone, vecBytes.size() - nDone);
            if (n <= 0)
                return;
            nDone += static_cast<std::size_t>(n);
        }
    }

    // What the host wrote, waiting up to nMillis for the first byte.
    std::vector<std::uint8_t> ReadAvailable(int nMillis = 0)
    {
        std::vector<std::uint8_t> vecOut;
        pollfd pfd{m_hMaster, POLLIN, 0};
        if (::poll(&pfd, 1, nMillis) <= 0 || !(pfd.revents & POLLIN))
            return vecOut;
        std::uint8_t aby[512];
        const ssize_t n = ::read(m_hMaster, aby, sizeof aby);
        if (n > 0)
            vecOut.assign(aby, aby + n);
        return vecOut;
    }

    void CloseMaster()
    {
        if (m_hMaster >= 0)
            ::close(m_hMaster);
        m_hMaster = -1;
    }

private:
    int m_hMaster = -1;
    std::string m_strSlave;
};

// The real port, with a note of each command written and of the fixture's
// clock at that moment, so tests can say when a command went out.
class CRecordingPort : public CSerialPort
{
public:
    struct CWrite
    {
        std::uint8_t byValue;
        int nTick;   // the test's own count of ticks since the start
        int nPass;   // the pass that wrote it
        bool bOk;
    };

    CRecordingPort(std::unique_ptr<CSerialPort> pInner, const int* pnTick, const int* pnPass)
        : m_pInner(std::move(pInner)), m_pnTick(pnTick), m_pnPass(pnPass)
    {
    }

    ~CRecordingPort() override
    {
        if (m_fnOnDestroy)
            m_fnOnDestroy(*this);
    }

    // Called as the port object goes away, for tests whose owner drops it.
    std::function<void(CRecordingPort&)> m_fnOnDestroy;

    bool SetupQueues() override { return m_pInner->SetupQueues(); }
    bool ApplyLineSettings() override { return m_pInner->ApplyLineSettings(); }
    bool SetWorkerTimeouts() override { return m_pInner->SetWorkerTimeouts(); }
    int Read(std::uint8_t* pBuffer, int nMax) override { return m_pInner->Read(pBuffer, nMax); }
    bool WriteByte(std::uint8_t byValue) override
    {
        const bool bOk = m_pInner->WriteByte(byValue);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vecWrites.push_back({byValue, m_pnTick ? *m_pnTick : 0, m_pnPass ? *m_pnPass : 0, bOk});
        return bOk;
    }
    void WaitReadable(int nMillis) override { m_pInner->WaitReadable(nMillis); }
    void PurgeReceive() override
    {
        ++m_nPurges;
        m_pInner->PurgeReceive();
    }
    void Close() override
    {
        ++m_nCloses;
        m_pInner->Close();
    }
    bool IsOpen() const override { return m_pInner->IsOpen(); }
    bool HasHungUp() const override { return m_pInner->HasHungUp(); }

    std::vector<CWrite> Writes()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vecWrites;
    }
    std::string WrittenText()
    {
        std::string str;
        for (const CWrite& w : Writes())
            str += static_cast<char>(w.byValue);
        return str;
    }

    std::atomic<int> m_nPurges{0};
    std::atomic<int> m_nCloses{0};

private:
    std::unique_ptr<CSerialPort> m_pInner;
    const int* m_pnTick;
    const int* m_pnPass;
    std::mutex m_mutex;
    std::vector<CWrite> m_vecWrites;
};

// A log view that keeps every piece of text, and a tick counter that only
// the test moves (or a tick source of the test's choice).
class CTestView : public CLinkView
{
public:
    struct CPiece
    {
        std::string strText;
        int nTick;
        int nPass;
    };

    CTestView(const int* pnTick = nullptr, const int* pnPass = nullptr)
        : m_pnTick(pnTick), m_pnPass(pnPass)
    {
    }

    void ScrollToEnd() override { ++m_nScrolls; }
    void InsertText(const std::string& strText) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vecPieces.push_back({strText, m_pnTick ? *m_pnTick : 0, m_pnPass ? *m_pnPass : 0});
        m_strLog += strText;
    }
    void StartTickTimer() override { m_bTimerRunning = true; }
    void StopTickTimer() override { m_bTimerRunning = false; }
    std::atomic<std::int32_t>& Ticks() override { return m_nTicks; }
    std::atomic<std::int32_t>& PortChosen() override { return m_bPortChosen; }
    void ShowMessage(const std::string& strText) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_vecMessages.push_back(strText);
    }

    std::vector<CPiece> Pieces()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vecPieces;
    }
    std::string Log()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_strLog;
    }
    std::vector<std::string> Messages()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vecMessages;
    }
    std::size_t PieceCount()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vecPieces.size();
    }

    std::atomic<std::int32_t> m_nTicks{0};
    std::atomic<std::int32_t> m_bPortChosen{1};
    std::atomic<bool> m_bTimerRunning{false};
    std::atomic<int> m_nScrolls{0};

private:
    const int* m_pnTick;
    const int* m_pnPass;
    std::mutex m_mutex;
    std::vector<CPiece> m_vecPieces;
    std::vector<std::string> m_vecMessages;
    std::string m_strLog;
};

// A good nine-byte live or record frame.
inline std::vector<std::uint8_t> MakeFrame(std::uint8_t byYear, std::uint8_t byMonth, std::uint8_t byDay,
                                           std::uint8_t byHour, std::uint8_t byMinute, std::uint8_t bySecond,
                                           std::uint8_t bySpo2, std::uint8_t byPulse)
{
    std::vector<std::uint8_t> vec{byYear, byMonth, byDay, byHour, byMinute, bySecond, bySpo2, byPulse};
    std::uint8_t bySum = 0;
    for (std::uint8_t by : vec)
        bySum = static_cast<std::uint8_t>(bySum + by);
    vec.push_back(static_cast<std::uint8_t>(bySum & 0x7F));
    return vec;
}

inline std::vector<std::uint8_t> MakeHeader(std::uint8_t byVersion, std::uint32_t nCount)
{
    std::vector<std::uint8_t> vec{byVersion, static_cast<std::uint8_t>(nCount >> 16),
                                  static_cast<std::uint8_t>(nCount >> 8), static_cast<std::uint8_t>(nCount)};
    std::uint8_t bySum = 0;
    for (std::uint8_t by : vec)
        bySum = static_cast<std::uint8_t>(bySum + by);
    vec.push_back(static_cast<std::uint8_t>(bySum & 0x7F));
    return vec;
}
