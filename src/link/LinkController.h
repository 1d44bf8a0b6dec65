#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "link/LinkInfo.h"
#include "link/UiCallQueue.h"
#include "serial/SerialPort.h"

// What the link's owner (the main window, the command-line tool, a test)
// gives the controller: a way to show the port messages and to move the log's
// caret to its end from the owner's own thread.
class CLinkOwner
{
public:
    virtual ~CLinkOwner() = default;

    // One port message: "<port> port fails !!", "<port> port succeed ",
    // "<port> Buffer setup Error " or "End of Connection". Returns once the
    // user has seen it (a modal box, a line on standard error).
    virtual void PortMessage(const std::string& strText) = 0;

    // The caret move of COM Port Stop after the stop byte went out, on the
    // owner's thread (not through the worker's hand-over queue).
    virtual void ScrollLogToEnd() = 0;
};

// Owns the open port and the worker thread of one link block, and keeps the
// order between them: the port is closed only once the worker has returned,
// exactly once, also when the worker closed it itself after giving up; a new
// worker starts only after the previous one has been joined; and every wait
// for the worker keeps carrying out its log requests (the queue's
// DrainWhile), so a worker that waits for a log operation can always end.
//
// All members are called from the owner's thread, the one that drains the
// queue. The link block's m_pView must be set before Start.
class CLinkController
{
public:
    using CPortOpener = std::function<std::unique_ptr<CSerialPort>(const std::string& strPort)>;

    // pQueue may be null when the view carries out log operations on the
    // worker's own thread; waits then simply join.
    CLinkController(CLinkInfo& link, CUiCallQueue* pQueue, CLinkOwner& owner);
    // Ends a running worker and closes the port (as the new-document reset
    // does, without the stop byte), so nothing outlives the owner.
    ~CLinkController();

    CLinkController(const CLinkController&) = delete;
    CLinkController& operator=(const CLinkController&) = delete;

    // Replaces OpenSerialPort (tests wrap the real port to watch it).
    void SetPortOpener(CPortOpener fnOpen);

    // COM Port Start from step 2 on (choosing a port is the caller's step 1):
    // m_bStopped := 0; open strPort; on failure "<port> port fails !!",
    // m_bStopped := 1, the view's PortChosen() := 0, and false is returned.
    // Otherwise "<port> port succeed ", queue sizes ("<port> Buffer setup
    // Error " when refused), line settings, m_hComm, and the worker starts.
    // A worker left from an earlier link is joined first.
    bool Start(const std::string& strPort);

    // COM Port Stop: m_bStopped := 1; the worker is joined; z is written
    // (ScrollLogToEnd when it went out); "End of Connection"; the port is
    // closed. Does nothing but join when no port is open.
    void Stop();

    // The new-document reset's port part: when a port is open, m_bStopped :=
    // 1, join, purge the receive side, close (no stop byte). Then the link
    // block's m_bStopped := 1, m_bMemoryIdle := 1, m_bStopMemory := 0.
    // m_bPortChosen and the port name are the document's.
    void ResetPort();

    // Joins a worker that gives up by itself (after a connection failure; it
    // raised m_bStopped) and releases the port it closed. Does nothing while
    // m_bStopped is 0 or when there is no worker; the owner may call it
    // whenever it sees m_bStopped at 1. Waits at most for the worker's last
    // pass, draining the queue meanwhile.
    void Reap();

    // A port is held open (m_hComm of the document).
    bool IsPortOpen() const;
    // A worker thread has been started and not joined yet (it may be ending).
    bool HasWorker() const;

private:
    // Waits for the worker (draining the queue) and joins it.
    void JoinWorker();
    // Closes the held port unless the worker closed it, then drops it.
    void ReleasePort(bool bPurgeFirst);

    CLinkInfo& m_link;
    CUiCallQueue* m_pQueue;
    CLinkOwner& m_owner;
    CPortOpener m_fnOpen;
    std::unique_ptr<CSerialPort> m_pPort;  // the document's m_hComm
    std::thread m_thread;
    std::atomic<bool> m_bWorkerDone{true};
};
