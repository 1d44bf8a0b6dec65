#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Hands work from the link worker to the thread that owns the log, and makes
// the worker wait until it has been done, so that lines keep their order.
//
// The owner runs Drain() whenever it is woken (the wake-up function posts an
// event to its loop). An owner that must wait for a worker to end never
// blocks plainly: it calls DrainWhile(), which keeps carrying out the
// worker's requests while it waits, so a worker waiting for a log operation
// can always finish.
class CUiCallQueue
{
public:
    // pfnWake is called from the worker after each request is queued; it must
    // not block (for Qt: a queued invocation of Drain on the owner's thread).
    // The constructing thread is taken as the owner.
    explicit CUiCallQueue(std::function<void()> pfnWake = {});
    ~CUiCallQueue();

    CUiCallQueue(const CUiCallQueue&) = delete;
    CUiCallQueue& operator=(const CUiCallQueue&) = delete;

    void SetWake(std::function<void()> pfnWake);
    // Names the thread that drains (when it is not the constructing one).
    void SetOwnerThread(std::thread::id idOwner);

    // Worker side: queue fnWork and wait until the owner has run it. Called on
    // the owner's own thread, fnWork runs at once (after the requests queued
    // before it), since waiting there could never end.
    void Call(std::function<void()> fnWork);

    // Owner side: run every queued request. Returns how many ran.
    int Drain();

    // Owner side: while bStillWaiting() is true, run requests as they come,
    // waking at least every nPollMillis to ask again.
    void DrainWhile(const std::function<bool()>& fnStillWaiting, int nPollMillis = 5);

    // Requests queued and not yet taken by the owner.
    int Pending();

private:
    struct CRequest;
    std::mutex m_mutex;
    std::condition_variable m_cvQueued;
    std::condition_variable m_cvDone;
    std::deque<CRequest*> m_queue;
    std::function<void()> m_pfnWake;
    std::thread::id m_idOwner;
};
