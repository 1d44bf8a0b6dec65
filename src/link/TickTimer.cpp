#include "link/TickTimer.h"

CTickTimer::CTickTimer(std::atomic<std::int32_t>& nTicks, std::chrono::milliseconds period)
    : m_nTicks(nTicks), m_period(period), m_thread([this] { Run(); })
{
}

CTickTimer::~CTickTimer()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_cv.notify_all();
    m_thread.join();
}

void CTickTimer::Start()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bRunning = true;
        ++m_nGeneration;
    }
    m_cv.notify_all();
}

void CTickTimer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bRunning = false;
        ++m_nGeneration;
    }
    m_cv.notify_all();
}

bool CTickTimer::IsRunning()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bRunning;
}

void CTickTimer::Run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_bQuit)
    {
        if (!m_bRunning)
        {
            m_cv.wait(lock, [this] { return m_bQuit || m_bRunning; });
            continue;
        }
        const std::uint64_t nGeneration = m_nGeneration;
        auto next = std::chrono::steady_clock::now() + m_period;
        while (!m_bQuit && m_bRunning && m_nGeneration == nGeneration)
        {
            if (m_cv.wait_until(lock, next, [&] {
                    return m_bQuit || !m_bRunning || m_nGeneration != nGeneration;
                }))
                break;
            m_nTicks.fetch_add(1);
            next += m_period;
            // After a long stall (a suspended machine) count on from now
            // instead of firing a burst of late ticks.
            const auto now = std::chrono::steady_clock::now();
            if (next < now)
                next = now + m_period;
        }
    }
}
