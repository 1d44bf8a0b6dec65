#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/LinkController.h"
#include "link/LinkInfo.h"
#include "link/LinkView.h"
#include "log/TextDoc.h"
#include "serial/ComSetupDlg.h"
#include "serial/SerialPort.h"

class CUiCallQueue;
class QWidget;

// The log document: the text of the log (held by its view) and the whole
// state of the device link.
class COxilumeDoc : public CTextDoc, public CLinkOwner
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
    // Kept for the document's life, so that the text accepted last stays.
    CComSetupDlg m_dlgSetup;
    CLinkInfo m_link;
    std::string m_strPort{"COMX"};
    // The open port, or null while none is open.
    HCOMM m_hComm = nullptr;

    // --- The link commands ------------------------------------------------

    // The worker's window onto the view (its log operations reach the view's
    // thread through pQueue) and the owner of port and worker. Until this
    // has been given, the link commands do nothing.
    void AttachLink(std::unique_ptr<CLinkView> pLinkView, CUiCallQueue* pQueue);
    // Ends a running worker and closes the port (no stop byte), for good:
    // before the view or the document goes away.
    void ShutdownLink();
    // How the document issues a framework command such as Save As (57604).
    void SetCommandSink(std::function<bool(int nId)> fnSendCommand);

    bool OnCommand(int nId) override;
    // The enable rules of the link commands (true for other commands).
    bool IsCommandEnabled(int nId) const;
    // While the program idles: joins a worker that gave up by itself.
    void OnIdle();
    // A link command is under way (one of its boxes may be up).
    bool IsLinkBusy() const { return m_nBusy > 0; }

    void OnComSetup();
    void OnComPortStart();
    void OnComPortStop();
    void OnMemoryStart();
    void OnMemoryStop();
    void OnClearScreen();

    CLinkController* Controller() const { return m_pController.get(); }
    CLinkView* LinkView() const { return m_pLinkView.get(); }

    // Runs the COM Setup dialog; tests answer it instead of a person. An
    // empty runner restores the real dialog.
    using CSetupRunner = std::function<int(CComSetupDlg& dlg, QWidget* pOwner)>;
    static void SetSetupRunner(CSetupRunner fnRunner);

    static const char* const kNoPortText;        // "Plesae plug Wireless Dongle or USB cable!"
    static const char* const kSaveFirstText;     // "Please save to File before next Transmission"
    static const char* const kStopMemoryText;    // "Are you sure to stop memory tranmission?"
    static constexpr int kMaxLinesBeforeSave = 20000;

    // CLinkOwner: the port messages in boxes, and the caret move of COM Port Stop.
    void PortMessage(const std::string& strText) override;
    void ScrollLogToEnd() override;

private:
    QWidget* OwnerWindow() const;

    std::unique_ptr<CLinkView> m_pLinkView;
    std::unique_ptr<CLinkController> m_pController;
    std::function<bool(int)> m_fnSendCommand;
    int m_nBusy = 0;
};
