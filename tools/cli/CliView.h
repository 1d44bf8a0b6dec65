#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "link/LinkController.h"
#include "link/LinkView.h"
#include "link/TickTimer.h"

// The command-line tool's log: every text goes to standard output as it is
// written, on the worker's own thread (nothing else touches the stream while
// a link runs, so no hand-over is needed). Messages go to standard error.
class CCliView : public CLinkView, public CLinkOwner
{
public:
    // fnNotify is called (from any thread) when the log received the end of
    // a download or a failure line, so the waiting main thread wakes at once.
    CCliView(std::FILE* pOut, std::FILE* pErr, std::function<void()> fnNotify);

    void ScrollToEnd() override {}
    void InsertText(const std::string& strText) override;
    void StartTickTimer() override { m_timer.Start(); }
    void StopTickTimer() override { m_timer.Stop(); }
    std::atomic<std::int32_t>& Ticks() override { return m_nTicks; }
    std::atomic<std::int32_t>& PortChosen() override { return m_bPortChosen; }
    void ShowMessage(const std::string& strText) override;

    void PortMessage(const std::string& strText) override;
    void ScrollLogToEnd() override {}

    bool EndOfDataSeen() const { return m_bEndOfData.load(); }

private:
    void ErrorLine(const std::string& strText);

    std::FILE* m_pOut;
    std::FILE* m_pErr;
    std::function<void()> m_fnNotify;
    std::atomic<std::int32_t> m_nTicks{0};
    std::atomic<std::int32_t> m_bPortChosen{1};
    std::atomic<bool> m_bEndOfData{false};
    CTickTimer m_timer{m_nTicks};
};
