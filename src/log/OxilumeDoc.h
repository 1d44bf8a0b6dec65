#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "link/LinkInfo.h"
#include "log/TextDoc.h"
#include "serial/SerialPort.h"

// The log document: the text of the log (held by its view) and the whole
// state of the device link.
class COxilumeDoc : public CTextDoc
{
    Q_OBJECT

public:
    explicit COxilumeDoc(QObject* pParent = nullptr);
    ~COxilumeDoc() override;

    // New document: the framework's step, then the link's reset on top.
    bool OnNewDocument() override;

    // 1: m_strPort holds a port the user chose in COM Setup. Both threads
    // write it; the worker reaches it through the view.
    std::atomic<std::int32_t> m_bPortChosen{0};
    // The COM Setup dialog object (m_dlgSetup) follows here.
    CLinkInfo m_link;
    std::string m_strPort{"COMX"};
    // The open port, or null while none is open.
    HCOMM m_hComm = nullptr;
};
