#pragma once

#include <atomic>
#include <memory>

#include "serial/SerialPort.h"

// A real port that counts its closes and can refuse its next writes, so
// that tests see "closed exactly once" and provoke "TX error".
class CWatchedPort : public CSerialPort
{
public:
    struct CCounters
    {
        std::atomic<int> m_nCloses{0};
        std::atomic<int> m_nFailWrites{0};
        std::atomic<int> m_nOpens{0};
    };

    CWatchedPort(std::unique_ptr<CSerialPort> pInner, CCounters& counters)
        : m_pInner(std::move(pInner)), m_counters(counters)
    {
        ++m_counters.m_nOpens;
    }

    bool SetupQueues() override { return m_pInner->SetupQueues(); }
    bool ApplyLineSettings() override { return m_pInner->ApplyLineSettings(); }
    bool SetWorkerTimeouts() override { return m_pInner->SetWorkerTimeouts(); }
    int Read(std::uint8_t* pBuffer, int nMax) override { return m_pInner->Read(pBuffer, nMax); }
    bool WriteByte(std::uint8_t byValue) override
    {
        int nFail = m_counters.m_nFailWrites.load();
        while (nFail > 0)
            if (m_counters.m_nFailWrites.compare_exchange_weak(nFail, nFail - 1))
                return false;
        return m_pInner->WriteByte(byValue);
    }
    void WaitReadable(int nMillis) override { m_pInner->WaitReadable(nMillis); }
    void PurgeReceive() override { m_pInner->PurgeReceive(); }
    void Close() override
    {
        ++m_counters.m_nCloses;
        m_pInner->Close();
    }
    bool IsOpen() const override { return m_pInner->IsOpen(); }
    bool HasHungUp() const override { return m_pInner->HasHungUp(); }

private:
    std::unique_ptr<CSerialPort> m_pInner;
    CCounters& m_counters;
};
