#pragma once

#include <QObject>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

#include "link/LinkView.h"
#include "link/UiCallQueue.h"

class COxilumeView;
class QWidget;

// The link worker's window onto the log view. The log operations and the
// "TX error" box are handed to the user-interface thread through a call
// queue, and the worker waits until each has been carried out; the tick
// timer and its counter are the view's own, which any thread may use.
//
// Made and destroyed on the user-interface thread; it must outlive every
// worker that uses it (the link controller joins the worker first).
class CViewLinkAdapter : public QObject, public CLinkView
{
    Q_OBJECT

public:
    CViewLinkAdapter(COxilumeView& view, std::atomic<std::int32_t>& bPortChosen, QObject* pParent = nullptr);
    ~CViewLinkAdapter() override;

    void ScrollToEnd() override;
    void InsertText(const std::string& strText) override;
    void StartTickTimer() override;
    void StopTickTimer() override;
    std::atomic<std::int32_t>& Ticks() override;
    std::atomic<std::int32_t>& PortChosen() override;
    void ShowMessage(const std::string& strText) override;

    CUiCallQueue& Queue() { return m_queue; }
    // The window the "TX error" box is shown over.
    void SetMessageOwner(QWidget* pOwner) { m_pMessageOwner = pOwner; }

    // Carries out what the worker has asked for so far (UI thread).
    int Drain();
    // True while a request of the worker is being carried out on the UI
    // thread (a "TX error" box may be up in it).
    bool IsDraining() const { return m_nDrainDepth > 0; }

private:
    void Wake();
    // Carries out a ScrollToEnd the worker asked for and did not wait for.
    void FlushScroll();

    COxilumeView& m_view;
    std::atomic<std::int32_t>& m_bPortChosen;
    QPointer<QWidget> m_pMessageOwner;
    CUiCallQueue m_queue;
    // One wake-up event in flight is enough: Drain takes every request.
    std::atomic<bool> m_bWakePosted{false};
    std::atomic<bool> m_bScrollPending{false};
    const std::thread::id m_idOwner = std::this_thread::get_id();
    int m_nDrainDepth = 0;
};
