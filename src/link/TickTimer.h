#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

// A 100 ms tick source without a window system: a thread of its own that adds
// one to a counter on every tick while the timer runs. Start restarts the
// period as the window timer does; Stop keeps the count.
class CTickTimer
{
public:
    explicit CTickTimer(std::atomic<std::int32_t>& nTicks,
                        std::chrono::milliseconds period = std::chrono::milliseconds(100));
    ~CTickTimer();

    CTickTimer(const CTickTimer&) = delete;
    CTickTimer& operator=(const CTickTimer&) = delete;

    void Start();
    void Stop();
    bool IsRunning();

private:
    void Run();

    std::atomic<std::int32_t>& m_nTicks;
    const std::chrono::milliseconds m_period;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bRunning = false;
    bool m_bQuit = false;
    std::uint64_t m_nGeneration = 0;  // bumped by each Start, so a restart begins a fresh period
    std::thread m_thread;
};
