#pragma once

#include <cstdint>

#include "link/LinkInfo.h"
#include "link/LinkView.h"
#include "link/ReaderState.h"

// The byte rules: each received byte, in order, moves the reader state on,
// builds and flushes log lines, and arms or stops the tick timer. The reader
// loop uses the same three timer and log operations for its own steps.
class CFrameDecoder
{
public:
    CFrameDecoder(CReaderState& state, CLinkView& view, CLinkInfo& link);

    // Takes one byte. Returns true when the rest of the current read must be
    // dropped (after a bad live frame or a bad record).
    bool TakeByte(std::uint8_t byValue);

    // Ticks := 0, then start timer 2000 (its period restarts if it runs).
    void ArmTimer();
    // Stops timer 2000; the tick count keeps its value.
    void StopTimer();
    // ScrollToEnd, InsertText of the line buffer, then empty the buffer.
    void FlushLine();

private:
    bool TakeLiveByte(std::uint8_t byValue);
    bool TakeMemoryByte(std::uint8_t byValue);
    bool TakeRecordChecksum(std::uint8_t byValue);
    // Retry count := 0, threshold := 10, first retry := n, arm the timer.
    void RearmMemoryWait();

    CReaderState& m_state;
    CLinkView& m_view;
    CLinkInfo& m_link;
};
