#pragma once

// A log view built the way the window builds its own: every log operation
// and the message box are handed to the owner's thread through CUiCallQueue
// and the worker waits for each; ticks come from a real timer thread.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/LinkController.h"
#include "link/LinkView.h"
#include "link/TickTimer.h"
#include "link/UiCallQueue.h"

class CQueuedView : public CLinkView, public CLinkOwner
{
public:
    explicit CQueuedView(std::chrono::milliseconds tickPeriod = std::chrono::milliseconds(100))
        : m_timer(m_nTicks, tickPeriod)
    {
    }

    void ScrollToEnd() override
    {
        m_queue.Call([this] { CheckOwner(); ++m_nScrolls; });
    }
    void InsertText(const std::string& strText) override
    {
        m_queue.Call([this, &strText] {
            CheckOwner();
            m_vecPieces.push_back(strText);
        });
    }
    void StartTickTimer() override { m_timer.Start(); }
    void StopTickTimer() override { m_timer.Stop(); }
    std::atomic<std::int32_t>& Ticks() override { return m_nTicks; }
    std::atomic<std::int32_t>& PortChosen() override { return m_bPortChosen; }
    void ShowMessage(const std::string& strText) override
    {
        m_queue.Call([this, &strText] {
            CheckOwner();
            m_vecBoxes.push_back(strText);
        });
    }

    void PortMessage(const std::string& strText) override
    {
        CheckOwner();
        m_vecPortMessages.push_back(strText);
    }
    void ScrollLogToEnd() override
    {
        CheckOwner();
        ++m_nOwnerScrolls;
    }

    // Owner side: drains until fnDone holds or nMillis have passed.
    bool WaitFor(const std::function<bool()>& fnDone, int nMillis)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMillis);
        m_queue.DrainWhile([&] { return !fnDone() && std::chrono::steady_clock::now() < until; });
        return fnDone();
    }

    // Everything below is touched on the owner's thread only.
    std::string Log() const
    {
        std::string str;
        for (const std::string& s : m_vecPieces)
            str += s;
        return str;
    }
    bool Logged(const std::string& str) const { return Log().find(str) != std::string::npos; }

    CUiCallQueue m_queue;
    std::vector<std::string> m_vecPieces;
    std::vector<std::string> m_vecBoxes;
    std::vector<std::string> m_vecPortMessages;
    int m_nScrolls = 0;
    int m_nOwnerScrolls = 0;
    std::atomic<int> m_nWrongThread{0};
    std::atomic<std::int32_t> m_nTicks{0};
    std::atomic<std::int32_t> m_bPortChosen{1};

private:
    void CheckOwner()
    {
        if (std::this_thread::get_id() != m_idOwner)
            ++m_nWrongThread;
    }

    std::thread::id m_idOwner = std::this_thread::get_id();
    CTickTimer m_timer;
};
