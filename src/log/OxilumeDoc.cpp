#include "log/OxilumeDoc.h"

#include <QWidget>

#include "log/MessageBox.h"
#include "log/OxilumeView.h"

const char* const COxilumeDoc::kNoPortText = "Plesae plug Wireless Dongle or USB cable!";
const char* const COxilumeDoc::kSaveFirstText = "Please save to File before next Transmission";
const char* const COxilumeDoc::kStopMemoryText = "Are you sure to stop memory tranmission?";

namespace
{
// Command numbers of the link commands and of Save As.
constexpr int kIdClearScreen = 32771;
constexpr int kIdComSetup = 32772;
constexpr int kIdComPortStart = 32773;
constexpr int kIdComPortStop = 32774;
constexpr int kIdMemoryStart = 32775;
constexpr int kIdMemoryStop = 32776;
constexpr int kIdClearScreenBar = 32777;
constexpr int kIdFileSaveAs = 57604;

COxilumeDoc::CSetupRunner& SetupRunner()
{
    static COxilumeDoc::CSetupRunner s_fnRunner;
    return s_fnRunner;
}

// Marks a link command as under way for as long as it runs, boxes included.
class CBusy
{
public:
    explicit CBusy(int& nBusy) : m_nBusy(nBusy) { ++m_nBusy; }
    ~CBusy() { --m_nBusy; }
    CBusy(const CBusy&) = delete;
    CBusy& operator=(const CBusy&) = delete;

private:
    int& m_nBusy;
};
}  // namespace

COxilumeDoc::COxilumeDoc(QObject* pParent) : CTextDoc(pParent) {}

COxilumeDoc::~COxilumeDoc()
{
    ShutdownLink();
}

void COxilumeDoc::SetSetupRunner(CSetupRunner fnRunner)
{
    SetupRunner() = std::move(fnRunner);
}

void COxilumeDoc::AttachLink(std::unique_ptr<CLinkView> pLinkView, CUiCallQueue* pQueue)
{
    ShutdownLink();
    m_pLinkView = std::move(pLinkView);
    m_link.m_pView = m_pLinkView.get();
    if (m_pLinkView)
        m_pController = std::make_unique<CLinkController>(m_link, pQueue, *this);
}

void COxilumeDoc::ShutdownLink()
{
    CBusy busy(m_nBusy);
    if (m_pController)
        m_pController->ResetPort();
    m_pController.reset();
    m_hComm = nullptr;
    m_link.m_pView = nullptr;
    m_pLinkView.reset();
}

void COxilumeDoc::SetCommandSink(std::function<bool(int nId)> fnSendCommand)
{
    m_fnSendCommand = std::move(fnSendCommand);
}

QWidget* COxilumeDoc::OwnerWindow() const
{
    COxilumeView* pView = GetView();
    return pView ? pView->window() : nullptr;
}

bool COxilumeDoc::OnNewDocument()
{
    if (!CTextDoc::OnNewDocument())
        return false;

    CBusy busy(m_nBusy);
    m_link.m_pView = m_pLinkView.get();
    if (COxilumeView* pView = GetView())
        pView->SetReadOnly(true);
    // The port part: a running worker is ended (no stop byte goes to the
    // device), then the port is purged and closed, once.
    if (m_pController)
        m_pController->ResetPort();
    m_hComm = nullptr;
    m_strPort = "COMX";
    m_bPortChosen.store(0);
    m_link.m_bStopped.store(1);
    m_link.m_bMemoryIdle.store(1);
    m_link.m_bStopMemory.store(0);
    return true;
}

bool COxilumeDoc::IsCommandEnabled(int nId) const
{
    switch (nId)
    {
    case kIdComPortStart:
        return m_link.m_bStopped.load() == 1;
    case kIdComPortStop:
        return m_link.m_bStopped.load() == 0;
    case kIdMemoryStart:
        return m_link.m_bStopped.load() == 0 && m_link.m_bMemoryIdle.load() == 1;
    case kIdMemoryStop:
        return m_link.m_bStopped.load() == 0 && m_link.m_bMemoryIdle.load() == 0;
    default:
        return true;
    }
}

bool COxilumeDoc::OnCommand(int nId)
{
    switch (nId)
    {
    case kIdClearScreen:
    case kIdClearScreenBar:
        OnClearScreen();
        return true;
    case kIdComSetup:
    case kIdComPortStart:
    case kIdComPortStop:
    case kIdMemoryStart:
    case kIdMemoryStop:
        // One link command at a time: a second one arriving while the first
        // waits in a box would meet the port and the worker half-way.
        if (m_nBusy > 0 || !IsCommandEnabled(nId))
            return true;
        break;
    default:
        return CTextDoc::OnCommand(nId);
    }
    switch (nId)
    {
    case kIdComSetup:
        OnComSetup();
        break;
    case kIdComPortStart:
        OnComPortStart();
        break;
    case kIdComPortStop:
        OnComPortStop();
        break;
    case kIdMemoryStart:
        OnMemoryStart();
        break;
    case kIdMemoryStop:
        OnMemoryStop();
        break;
    default:
        break;
    }
    return true;
}

void COxilumeDoc::OnIdle()
{
    if (m_nBusy > 0 || !m_pController)
        return;
    m_pController->Reap();
    if (!m_pController->IsPortOpen())
        m_hComm = nullptr;
}

void COxilumeDoc::OnComSetup()
{
    CBusy busy(m_nBusy);
    const int nResult = SetupRunner() ? SetupRunner()(m_dlgSetup, OwnerWindow()) : m_dlgSetup.DoModal(OwnerWindow());
    if (nResult != CComSetupDlg::ResultOK)
    {
        m_bPortChosen.store(0);
        return;
    }
    m_strPort = m_dlgSetup.m_strComPort.toLocal8Bit().toStdString();
    if (m_strPort.empty())
    {
        m_bPortChosen.store(0);
        CMessageBox::Show(OwnerWindow(), QString::fromLatin1(kNoPortText), CMessageBox::OK);
    }
    else
    {
        m_bPortChosen.store(1);
    }
}

void COxilumeDoc::OnComPortStart()
{
    CBusy busy(m_nBusy);
    if (m_bPortChosen.load() == 0)
    {
        OnComSetup();
        if (m_bPortChosen.load() == 0)
            return;
    }
    if (!m_pController)
        return;
    // Steps 2 to 9: the controller opens and sets up the port, shows its
    // messages, and starts the worker once any earlier one has ended.
    m_pController->Start(m_strPort);
    m_hComm = m_link.m_hComm;
}

void COxilumeDoc::OnComPortStop()
{
    CBusy busy(m_nBusy);
    if (!m_pController)
        return;
    // Raises m_bStopped, lets the worker finish its pass, writes z,
    // "End of Connection", then closes the port.
    m_pController->Stop();
    m_hComm = nullptr;
}

void COxilumeDoc::OnMemoryStart()
{
    CBusy busy(m_nBusy);
    COxilumeView* pView = GetView();
    if (pView && pView->LineCount() > kMaxLinesBeforeSave)
    {
        if (CMessageBox::Show(OwnerWindow(), QString::fromLatin1(kSaveFirstText), CMessageBox::YesNo)
            == CMessageBox::IDYES)
        {
            if (m_fnSendCommand)
                m_fnSendCommand(kIdFileSaveAs);
        }
        // Emptied whatever the answer, saved or not.
        OnClearScreen();
    }
    // The link may have ended while the question was up; a download asked
    // for then would start by itself with the next link.
    if (m_link.m_bStopped.load() == 0)
        m_link.m_bMemoryIdle.store(0);
}

void COxilumeDoc::OnMemoryStop()
{
    CBusy busy(m_nBusy);
    if (CMessageBox::Show(OwnerWindow(), QString::fromLatin1(kStopMemoryText), CMessageBox::OKCancel)
        != CMessageBox::IDOK)
        return;
    m_link.m_bMemoryIdle.store(1);
    m_link.m_bStopMemory.store(1);
}

void COxilumeDoc::OnClearScreen()
{
    if (COxilumeView* pView = GetView())
        pView->ClearLog();
}

void COxilumeDoc::PortMessage(const std::string& strText)
{
    CMessageBox::Show(OwnerWindow(), QString::fromLocal8Bit(strText.c_str()), CMessageBox::OK);
}

void COxilumeDoc::ScrollLogToEnd()
{
    if (COxilumeView* pView = GetView())
        pView->ScrollToEnd();
}
