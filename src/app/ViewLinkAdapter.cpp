#include "app/ViewLinkAdapter.h"

#include <QMetaObject>
#include <QString>
#include <QThread>

#include "log/MessageBox.h"
#include "log/OxilumeView.h"

CViewLinkAdapter::CViewLinkAdapter(COxilumeView& view, std::atomic<std::int32_t>& bPortChosen, QObject* pParent)
    : QObject(pParent), m_view(view), m_bPortChosen(bPortChosen)
{
    m_queue.SetOwnerThread(m_idOwner);
    m_queue.SetWake([this] { Wake(); });
}

CViewLinkAdapter::~CViewLinkAdapter()
{
    m_queue.SetWake({});
}

void CViewLinkAdapter::Wake()
{
    // Worker thread. The event reaches this object's (the UI) thread; posted
    // events die with the object, and the controller joins every worker
    // before the object goes.
    if (m_bWakePosted.exchange(true))
        return;
    QMetaObject::invokeMethod(this, [this] { Drain(); }, Qt::QueuedConnection);
}

int CViewLinkAdapter::Drain()
{
    // Cleared before draining, so a request queued while we drain posts a
    // fresh wake-up and is never left behind.
    m_bWakePosted.store(false);
    ++m_nDrainDepth;
    FlushScroll();
    const int nRan = m_queue.Drain();
    --m_nDrainDepth;
    return nRan;
}

void CViewLinkAdapter::ScrollToEnd()
{
    // Not waited for: it is carried out on the UI thread before anything the
    // worker asks for next (the insert that normally follows runs it first),
    // so every line still lands at the end, in order, at one round trip a line.
    if (std::this_thread::get_id() == m_idOwner)
    {
        FlushScroll();
        m_view.ScrollToEnd();
        return;
    }
    m_bScrollPending.store(true);
    Wake();
}

void CViewLinkAdapter::FlushScroll()
{
    if (m_bScrollPending.exchange(false))
        m_view.ScrollToEnd();
}

void CViewLinkAdapter::InsertText(const std::string& strText)
{
    m_queue.Call([this, &strText] {
        FlushScroll();
        m_view.InsertText(strText);
    });
}

void CViewLinkAdapter::StartTickTimer()
{
    m_view.StartTickTimer();
}

void CViewLinkAdapter::StopTickTimer()
{
    m_view.StopTickTimer();
}

std::atomic<std::int32_t>& CViewLinkAdapter::Ticks()
{
    return m_view.m_nTicks;
}

std::atomic<std::int32_t>& CViewLinkAdapter::PortChosen()
{
    return m_bPortChosen;
}

void CViewLinkAdapter::ShowMessage(const std::string& strText)
{
    m_queue.Call([this, &strText] {
        FlushScroll();
        CMessageBox::Show(m_pMessageOwner ? m_pMessageOwner.data() : m_view.window(),
                          QString::fromLocal8Bit(strText.c_str()), CMessageBox::OK);
    });
}
