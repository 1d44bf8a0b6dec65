#include "link/UiCallQueue.h"

#include <chrono>

struct CUiCallQueue::CRequest
{
    std::function<void()> fnWork;
    bool bDone = false;
};

CUiCallQueue::CUiCallQueue(std::function<void()> pfnWake)
    : m_pfnWake(std::move(pfnWake)), m_idOwner(std::this_thread::get_id())
{
}

CUiCallQueue::~CUiCallQueue()
{
    // A request still queued here belongs to a worker that outlived its
    // owner; run it so that the worker is not left waiting for ever.
    Drain();
}

void CUiCallQueue::SetWake(std::function<void()> pfnWake)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pfnWake = std::move(pfnWake);
}

void CUiCallQueue::SetOwnerThread(std::thread::id idOwner)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idOwner = idOwner;
}

void CUiCallQueue::Call(std::function<void()> fnWork)
{
    std::function<void()> fnWake;
    bool bOnOwner = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        bOnOwner = std::this_thread::get_id() == m_idOwner;
        fnWake = m_pfnWake;
    }
    if (bOnOwner)
    {
        // Waiting here could never end. Keep the order with what the worker
        // queued before.
        Drain();
        fnWork();
        return;
    }

    CRequest request;
    request.fnWork = std::move(fnWork);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(&request);
    }
    m_cvQueued.notify_all();
    if (fnWake)
        fnWake();

    std::unique_lock<std::mutex> lock(m_mutex);
    m_cvDone.wait(lock, [&request] { return request.bDone; });
}

int CUiCallQueue::Drain()
{
    int nRan = 0;
    for (;;)
    {
        CRequest* pRequest = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_queue.empty())
                break;
            pRequest = m_queue.front();
            m_queue.pop_front();
        }
        // The work runs unlocked: it may itself show a modal box whose event
        // loop drains this queue again.
        pRequest->fnWork();
        ++nRan;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            pRequest->bDone = true;
        }
        m_cvDone.notify_all();
    }
    return nRan;
}

void CUiCallQueue::DrainWhile(const std::function<bool()>& fnStillWaiting, int nPollMillis)
{
    if (nPollMillis < 1)
        nPollMillis = 1;
    while (fnStillWaiting())
    {
        if (Drain() > 0)
            continue;
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cvQueued.wait_for(lock, std::chrono::milliseconds(nPollMillis),
                            [this] { return !m_queue.empty(); });
    }
    Drain();
}

int CUiCallQueue::Pending()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int>(m_queue.size());
}
