#include "app/OxilumeApp.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTextBrowser>
#include <QUrl>
#include <cstdio>

#include "app/AboutDlg.h"
#include "app/DemoDevice.h"
#include "app/FileDialog.h"
#include "app/Images.h"
#include "app/MainFrame.h"
#include "app/Resource.h"
#include "app/ViewLinkAdapter.h"
#include "log/MessageBox.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

const char* const COxilumeApp::kAppName = "Oxilume V1.1";
const char* const COxilumeApp::kRegistryKey = "Local AppWizard-Generated Applications";
const char* const COxilumeApp::kTemplateString = "Oxilume V1.1\n\nOxilum\n\n\nOxilume.Document\nOxilum Document";
const char* const COxilumeApp::kHelpFileName = "oxilhlp.html";

namespace
{
COxilumeApp* s_pInstance = nullptr;
}  // namespace

COxilumeApp::COxilumeApp(QObject* pParent) : QObject(pParent)
{
    s_pInstance = this;
}

COxilumeApp::~COxilumeApp()
{
    // The worker writes into the view and holds the port: it ends first,
    // then the window and the document go, and the emulator last.
    if (m_pDoc)
        m_pDoc->ShutdownLink();
    m_pHelpWindow.reset();
    m_pMainFrame.reset();
    m_pDoc.reset();
    m_pDemo.reset();
    if (s_pInstance == this)
        s_pInstance = nullptr;
}

COxilumeApp* COxilumeApp::Instance()
{
    return s_pInstance;
}

COxilumeView* COxilumeApp::View() const
{
    return m_pMainFrame ? m_pMainFrame->View() : nullptr;
}

void COxilumeApp::LoadStdProfileSettings()
{
    QSettings settings(QString::fromLatin1(kRegistryKey), QString::fromLatin1(kAppName));
    m_recentFiles.ReadList(settings);
}

void COxilumeApp::SaveStdProfileSettings()
{
    QSettings settings(QString::fromLatin1(kRegistryKey), QString::fromLatin1(kAppName));
    m_recentFiles.WriteList(settings);
    settings.sync();
}

bool COxilumeApp::InitInstance(const QStringList& listArgs)
{
    // OLE, ActiveX hosting and the three-dimensional dialogs have no
    // counterpart here; the settings store is named by QSettings below.
    LoadStdProfileSettings();

    const CCommandLineInfo info = CCommandLineInfo::FromArguments(listArgs);
    if (info.m_bDemo && !StartDemo())
        std::fprintf(stderr, "oxilume: the demo device could not be started.\n");

    if (!ProcessShellCommand(info))
        return false;

    m_pMainFrame->show();
    m_pMainFrame->raise();
    m_pMainFrame->activateWindow();
    return true;
}

void COxilumeApp::ExitInstance()
{
    if (m_bExited)
        return;
    m_bExited = true;
    if (m_pDoc)
        m_pDoc->ShutdownLink();
    SaveStdProfileSettings();
}

bool COxilumeApp::ProcessShellCommand(const CCommandLineInfo& info)
{
    switch (info.m_nShellCommand)
    {
    case CCommandLineInfo::FileNew:
    case CCommandLineInfo::FileDDE:
        if (!info.m_strFileName.isEmpty())
            return OpenDocumentFile(info.m_strFileName, false);
        if (!CreateMainWindow() || !m_pDoc->OnNewDocument())
        {
            CMessageBox::Show(nullptr, QStringLiteral("Failed to create empty document."));
            return false;
        }
        return m_pMainFrame != nullptr;

    case CCommandLineInfo::FileOpen:
        return OpenDocumentFile(info.m_strFileName, false);

    case CCommandLineInfo::FilePrint:
    case CCommandLineInfo::FilePrintTo:
        if (info.m_strFileName.isEmpty())
        {
            // Nothing to print: start as without arguments.
            CCommandLineInfo infoNew = info;
            infoNew.m_nShellCommand = CCommandLineInfo::FileNew;
            return ProcessShellCommand(infoNew);
        }
        return PrintFromCommandLine(info);

    case CCommandLineInfo::AppUnregister:
        // Nothing of ours is registered with the system.
        return false;

    case CCommandLineInfo::FileNothing:
        return CreateMainWindow();
    }
    return false;
}

bool COxilumeApp::CreateMainWindow()
{
    if (m_pMainFrame)
        return true;

    auto pFrame = std::make_unique<CMainFrame>(*this);
    auto* pView = new COxilumeView(pFrame.get());
    auto pDoc = std::make_unique<COxilumeDoc>();
    pDoc->SetView(pView);
    if (!pFrame->OnCreate(pView, pDoc.get()))
        return false;

    // The link's window onto the view exists from the start, so that a log
    // opened from the command line can run a link before any File New.
    auto pAdapter = std::make_unique<CViewLinkAdapter>(*pView, pDoc->m_bPortChosen);
    pAdapter->SetMessageOwner(pFrame.get());
    CUiCallQueue* pQueue = &pAdapter->Queue();
    pDoc->AttachLink(std::move(pAdapter), pQueue);
    CMainFrame* pFrameRaw = pFrame.get();
    pDoc->SetCommandSink([pFrameRaw](int nId) { return pFrameRaw->OnCommand(nId); });
    // The log cannot be typed into, also before the first new document.
    pView->SetReadOnly(true);

    m_pDoc = std::move(pDoc);
    m_pMainFrame = std::move(pFrame);
    return true;
}

bool COxilumeApp::OnFileNew()
{
    if (!CreateMainWindow())
        return false;
    if (!m_pMainFrame->SaveModified())
        return false;
    return m_pDoc->OnNewDocument();
}

void COxilumeApp::OnFileOpen()
{
    if (!CreateMainWindow())
        return;
    const QString strPath = CFileDialog::GetOpenFileName(m_pMainFrame.get());
    if (!strPath.isEmpty())
        OpenDocumentFile(strPath);
}

bool COxilumeApp::OpenDocumentFile(const QString& strPath, bool bShow, bool* pbCancelled)
{
    if (pbCancelled)
        *pbCancelled = false;
    if (!CreateMainWindow())
        return false;
    if (!m_pMainFrame->SaveModified())
    {
        if (pbCancelled)
            *pbCancelled = true;
        return false;
    }
    if (!m_pDoc->OnOpenDocument(strPath))
        return false;
    m_recentFiles.Add(strPath);
    m_pMainFrame->UpdateRecentFileMenu();
    m_pMainFrame->UpdateFrameTitle();
    if (bShow)
        m_pMainFrame->show();
    return true;
}

void COxilumeApp::OnOpenRecentFile(int nIndex)
{
    const QString strPath = m_recentFiles.Path(nIndex);
    if (strPath.isEmpty())
        return;
    bool bCancelled = false;
    if (!OpenDocumentFile(strPath, true, &bCancelled) && !bCancelled)
    {
        // A file that no longer opens leaves the list.
        m_recentFiles.Remove(m_recentFiles.Paths().indexOf(strPath));
        if (m_pMainFrame)
            m_pMainFrame->UpdateRecentFileMenu();
    }
}

void COxilumeApp::OnAppAbout()
{
    CAboutDlg dlg(m_pMainFrame.get());
    dlg.exec();
}

QString COxilumeApp::HelpFilePath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString::fromLatin1(kHelpFileName));
}

void COxilumeApp::OnHelpHowToUse()
{
    if (!m_pHelpWindow)
    {
        // A window of its own: the main window neither owns it nor stays
        // beneath it.
        m_pHelpWindow = std::make_unique<QTextBrowser>();
        m_pHelpWindow->setObjectName(QStringLiteral("HelpWindow"));
        m_pHelpWindow->setWindowTitle(QStringLiteral("Oxilume - How to Use"));
        m_pHelpWindow->setWindowIcon(Images::AppIcon());
        m_pHelpWindow->setOpenExternalLinks(true);
        m_pHelpWindow->resize(640, 600);
    }
    const QString strPath = HelpFilePath();
    if (QFileInfo::exists(strPath))
    {
        const QUrl url = QUrl::fromLocalFile(strPath);
        if (m_pHelpWindow->source() == url)
            m_pHelpWindow->reload();
        else
            m_pHelpWindow->setSource(url);
    }
    else
    {
        m_pHelpWindow->setPlainText(QStringLiteral("The user guide %1 was not found.").arg(strPath));
    }
    m_pHelpWindow->show();
    m_pHelpWindow->raise();
    m_pHelpWindow->activateWindow();
}

void COxilumeApp::OnMainWindowClosed()
{
    SaveStdProfileSettings();
    if (m_pHelpWindow)
        m_pHelpWindow->close();
    emit MainWindowClosed();
}

bool COxilumeApp::StartDemo()
{
    m_pDemo = std::make_unique<CDemoDevice>();
    if (!m_pDemo->Start())
    {
        m_pDemo.reset();
        return false;
    }
    qputenv("OXILUME_DEMO_PORT", m_pDemo->PortPath().toLocal8Bit());
    return true;
}
