#pragma once

#include <atomic>
#include <cstdint>

#include "link/LinkView.h"
#include "serial/SerialPort.h"

// The one record that the user-interface thread and the link worker share.
// The flags hold 0 or 1 and are read and written whole; m_pView and m_hComm
// are written only while no worker runs and read once by a starting worker.
//
// The three link states:  stopped      m_bStopped 1, m_bMemoryIdle 1
//                         live mode    m_bStopped 0, m_bMemoryIdle 1
//                         memory mode  m_bStopped 0, m_bMemoryIdle 0
class CLinkInfo
{
public:
    std::atomic<std::int32_t> m_bStopMemory{0};
    std::atomic<std::int32_t> m_bStopped{1};
    CLinkView* m_pView = nullptr;
    HCOMM m_hComm = nullptr;
    std::atomic<std::int32_t> m_bMemoryIdle{1};

    bool IsStopped() const { return m_bStopped.load() != 0; }
    bool IsLiveMode() const { return m_bStopped.load() == 0 && m_bMemoryIdle.load() != 0; }
    bool IsMemoryMode() const { return m_bStopped.load() == 0 && m_bMemoryIdle.load() == 0; }
};
