#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// What the device link needs from the log view: the two append operations,
// the 100 ms tick timer with its counter, the document's port-choice flag and
// a blocking message box. The window, the command-line tool and tests each
// provide one.
//
// Threads: every call comes from the worker thread. InsertText and
// ShowMessage return only once the owner of the log has carried them out, so
// lines arrive in the order they were produced. ScrollToEnd may return
// earlier, but is carried out before the worker's next request. StartTickTimer and
// StopTickTimer may return before the timer has changed.
class CLinkView
{
public:
    virtual ~CLinkView() = default;

    virtual void ScrollToEnd() = 0;
    // Bytes of the system code page, CR LF included, written as they stand.
    virtual void InsertText(const std::string& strText) = 0;

    // Starts timer 2000 with a period of 100 ms, restarting its period when it
    // runs already. Each tick adds one to Ticks().
    virtual void StartTickTimer() = 0;
    virtual void StopTickTimer() = 0;
    // The view's m_nTicks.
    virtual std::atomic<std::int32_t>& Ticks() = 0;

    // The document's m_bPortChosen, reached through its view.
    virtual std::atomic<std::int32_t>& PortChosen() = 0;

    // A modal box with an OK button ("TX error"); returns once it was closed.
    virtual void ShowMessage(const std::string& strText) = 0;
};
