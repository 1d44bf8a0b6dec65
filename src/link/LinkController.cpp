#include "link/LinkController.h"

#include "link/LinkThreadProc.h"
#include "link/WireProtocol.h"

CLinkController::CLinkController(CLinkInfo& link, CUiCallQueue* pQueue, CLinkOwner& owner)
    : m_link(link), m_pQueue(pQueue), m_owner(owner), m_fnOpen(&OpenSerialPort)
{
}

CLinkController::~CLinkController()
{
    ResetPort();
}

void CLinkController::SetPortOpener(CPortOpener fnOpen)
{
    m_fnOpen = std::move(fnOpen);
}

bool CLinkController::Start(const std::string& strPort)
{
    // The previous worker must be gone before m_bStopped drops to 0, or it
    // would take the flag as its own and run on.
    if (HasWorker() || m_pPort)
    {
        m_link.m_bStopped.store(1);
        JoinWorker();
        ReleasePort(false);
    }

    m_link.m_bStopped.store(0);
    m_pPort = m_fnOpen(strPort);
    if (!m_pPort)
    {
        m_owner.PortMessage(strPort + " port fails !!");
        m_link.m_bStopped.store(1);
        if (m_link.m_pView)
            m_link.m_pView->PortChosen().store(0);
        return false;
    }
    m_owner.PortMessage(strPort + " port succeed ");
    if (!m_pPort->SetupQueues())
        m_owner.PortMessage(strPort + " Buffer setup Error ");
    m_pPort->ApplyLineSettings();

    m_link.m_hComm = m_pPort.get();
    m_bWorkerDone.store(false);
    CLinkInfo* pLink = &m_link;
    m_thread = std::thread([this, pLink] {
        LinkThreadProc(pLink);
        m_bWorkerDone.store(true);
    });
    return true;
}

void CLinkController::Stop()
{
    m_link.m_bStopped.store(1);
    // The worker is out of the port before the stop byte goes out, so the
    // byte never meets a port that the worker has just closed.
    JoinWorker();
    if (!m_pPort)
        return;
    if (m_pPort->IsOpen() && m_pPort->WriteByte(WireProtocol::kCmdStop))
        m_owner.ScrollLogToEnd();
    m_owner.PortMessage("End of Connection");
    ReleasePort(false);
}

void CLinkController::ResetPort()
{
    if (m_pPort || HasWorker())
    {
        m_link.m_bStopped.store(1);
        JoinWorker();
        ReleasePort(true);
    }
    m_link.m_bStopped.store(1);
    m_link.m_bMemoryIdle.store(1);
    m_link.m_bStopMemory.store(0);
}

void CLinkController::Reap()
{
    // A worker with m_bStopped at 0 is live; one with it at 1 ends within a
    // pass, so the wait is short.
    if (!HasWorker() || !m_link.IsStopped())
        return;
    JoinWorker();
    // Only a worker that gave up ends by itself, and it closed the port.
    if (m_pPort && !m_pPort->IsOpen())
        ReleasePort(false);
}

bool CLinkController::IsPortOpen() const
{
    return m_pPort && m_pPort->IsOpen();
}

bool CLinkController::HasWorker() const
{
    return m_thread.joinable();
}

void CLinkController::JoinWorker()
{
    if (!m_thread.joinable())
        return;
    if (m_pQueue)
        m_pQueue->DrainWhile([this] { return !m_bWorkerDone.load(); });
    m_thread.join();
    if (m_pQueue)
        m_pQueue->Drain();
}

void CLinkController::ReleasePort(bool bPurgeFirst)
{
    if (!m_pPort)
        return;
    // A worker that gave up has closed the port already: once is enough.
    if (m_pPort->IsOpen())
    {
        if (bPurgeFirst)
            m_pPort->PurgeReceive();
        m_pPort->Close();
    }
    m_pPort.reset();
    m_link.m_hComm = nullptr;
}
