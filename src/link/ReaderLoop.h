#pragma once

#include <cstdint>
#include <optional>

#include "link/FrameDecoder.h"
#include "link/LinkInfo.h"
#include "link/LinkView.h"
#include "link/ReaderState.h"
#include "serial/SerialPort.h"

// The link worker's loop, cut into its steps so that tests can run single
// passes and set the tick counter by hand: Start once, RunPass until it
// returns false, End once. LinkThreadProc runs exactly that.
class CReaderLoop
{
public:
    // The longest sleep between two reads that brought nothing. A byte is
    // then handled within a few milliseconds of its arrival, and a silent
    // device costs next to no processor time.
    static constexpr int kIdleWaitMillis = 5;

    explicit CReaderLoop(CLinkInfo& link);

    // Takes the view and the port from the link block, sets the port's
    // time-outs and the start values. False when the link is stopped
    // already (go straight to End).
    bool Start();
    // One pass: write, read, the bytes to the decoding, mode check, time-out
    // check, connection failure. Returns false when the loop must end.
    bool RunPass();
    // m_bMemoryIdle := 1; purges the input unless the port was closed here.
    int End();

    // Tests set 0 so that passes never sleep.
    void SetIdleWaitMillis(int nMillis) { m_nIdleWaitMillis = nMillis; }

    const CReaderState& State() const { return m_state; }
    // True once a connection failure closed the port.
    bool ClosedPort() const { return m_bClosedPort; }

private:
    void ConnectionFailure(const char* pszText);
    void ModeCheck();
    void TimeoutCheck();

    CLinkInfo& m_link;
    CLinkView* m_pView = nullptr;
    CSerialPort* m_pPort = nullptr;
    CReaderState m_state;
    std::optional<CFrameDecoder> m_decoder;  // made once the view is known
    bool m_bClosedPort = false;
    int m_nIdleWaitMillis = kIdleWaitMillis;
};
