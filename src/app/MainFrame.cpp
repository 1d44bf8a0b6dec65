#include "app/MainFrame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QToolBar>

#include "app/EditCommands.h"
#include "app/FileDialog.h"
#include "app/Images.h"
#include "app/LockKeys.h"
#include "app/OxilumeApp.h"
#include "app/Resource.h"
#include "log/MessageBox.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

using namespace Resource;

namespace
{
// How often the tool bar's buttons and the lock indicators are brought up
// to date while the program idles.
constexpr int kIdleUpdateMillis = 100;

bool IsMruCommand(int nId)
{
    return nId >= kIdFileMru1 && nId <= kIdFileMru4;
}
}  // namespace

CMainFrame::CMainFrame(COxilumeApp& app) : QMainWindow(nullptr), m_app(app)
{
    setObjectName(QStringLiteral("MainFrame"));
    setWindowIcon(Images::AppIcon());
    m_pEdit = new CEditCommands(this);
}

CMainFrame::~CMainFrame()
{
    m_timerIdle.stop();
}

QAction* CMainFrame::MakeAction(int nId, const QString& strText)
{
    auto* pAction = new QAction(strText, this);
    pAction->setData(nId);
    pAction->setStatusTip(StatusPrompt(nId));
    pAction->setToolTip(ToolTip(nId).isEmpty() ? StatusPrompt(nId) : ToolTip(nId));
    pAction->setIconVisibleInMenu(false);
    connect(pAction, &QAction::triggered, this, [this, nId]() { OnCommand(nId); });
    m_mapActions.insert(nId, pAction);
    return pAction;
}

bool CMainFrame::OnCreate(COxilumeView* pView, COxilumeDoc* pDoc)
{
    if (!pView || !pDoc)
        return false;
    m_pView = pView;
    m_pDoc = pDoc;
    setCentralWidget(pView);
    m_pEdit->SetTarget(pView);

    CreateMenus();
    CreateAccelerators();
    if (!CreateToolBar() || !CreateStatusBar())
        return false;

    connect(m_pDoc, &COxilumeDoc::TitleChanged, this, [this]() { UpdateFrameTitle(); });
    UpdateFrameTitle();
    UpdateRecentFileMenu();

    m_timerIdle.setInterval(kIdleUpdateMillis);
    connect(&m_timerIdle, &QTimer::timeout, this, [this]() {
        UpdateCommandUI();
        UpdateIndicators();
    });
    m_timerIdle.start();
    UpdateCommandUI();
    UpdateIndicators();
    resize(720, 480);
    return true;
}

void CMainFrame::CreateMenus()
{
    QMenuBar* pBar = menuBar();

    m_pFileMenu = pBar->addMenu(QStringLiteral("&File"));
    m_pFileMenu->addAction(MakeAction(kIdFileNew, QStringLiteral("&New\tCtrl+N")));
    m_pFileMenu->addAction(MakeAction(kIdFileOpen, QStringLiteral("&Open...\tCtrl+O")));
    m_pFileMenu->addAction(MakeAction(kIdFileSave, QStringLiteral("&Save\tCtrl+S")));
    m_pFileMenu->addAction(MakeAction(kIdFileSaveAs, QStringLiteral("Save &As...")));
    m_pFileMenu->addSeparator();
    for (int nId = kIdFileMru1; nId <= kIdFileMru4; ++nId)
    {
        QAction* pRecent = MakeAction(nId, QStringLiteral("Recent File"));
        m_listRecent.append(pRecent);
        m_pFileMenu->addAction(pRecent);
    }
    m_pRecentAnchor = m_pFileMenu->addSeparator();
    m_pFileMenu->addAction(MakeAction(kIdAppExit, QStringLiteral("E&xit")));

    QMenu* pEdit = pBar->addMenu(QStringLiteral("&Edit"));
    pEdit->addAction(MakeAction(kIdEditUndo, QStringLiteral("&Undo\tCtrl+Z")));
    pEdit->addSeparator();
    pEdit->addAction(MakeAction(kIdEditCut, QStringLiteral("Cu&t\tCtrl+X")));
    pEdit->addAction(MakeAction(kIdEditCopy, QStringLiteral("&Copy\tCtrl+C")));
    pEdit->addAction(MakeAction(kIdEditPaste, QStringLiteral("&Paste\tCtrl+V")));
    pEdit->addAction(MakeAction(kIdEditSelectAll, QStringLiteral("Select A&ll\tCtrl+A")));
    pEdit->addSeparator();
    pEdit->addAction(MakeAction(kIdEditFind, QStringLiteral("&Find...\tCtrl+F")));
    pEdit->addAction(MakeAction(kIdEditRepeat, QStringLiteral("F&ind Next\tF3")));
    pEdit->addSeparator();
    // "Ctrl-R" is the menu's text only: no key is bound to Clear Screen.
    pEdit->addAction(MakeAction(kIdClearScreen, QStringLiteral("C&Lear Screen\tCtrl-R")));

    QMenu* pView = pBar->addMenu(QStringLiteral("&View"));
    QAction* pToolbar = MakeAction(kIdViewToolbar, QStringLiteral("&Toolbar"));
    pToolbar->setCheckable(true);
    pView->addAction(pToolbar);
    QAction* pStatus = MakeAction(kIdViewStatusBar, QStringLiteral("&Status Bar"));
    pStatus->setCheckable(true);
    pView->addAction(pStatus);

    QMenu* pSetup = pBar->addMenu(QStringLiteral("&Setup"));
    pSetup->addAction(MakeAction(kIdComSetup, QStringLiteral("CO&M Setup")));

    QMenu* pHelp = pBar->addMenu(QStringLiteral("&Help"));
    pHelp->addAction(MakeAction(kIdHowToUse, QStringLiteral("How to Use..")));
    pHelp->addAction(MakeAction(kIdAppAbout, QStringLiteral("&About Oxilume...")));

    m_listMenus = {m_pFileMenu, pEdit, pView, pSetup, pHelp};
    for (QMenu* pMenu : m_listMenus)
    {
        // The framework asks every rule before a menu shows.
        connect(pMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
        connect(pMenu, &QMenu::aboutToHide, this, [this]() { SetMessageText(QString()); });
    }
}

void CMainFrame::CreateAccelerators()
{
    // The accelerator table: several keys may send one command. The key
    // names in the texts of Clear Screen and the link buttons bind nothing.
    auto Bind = [this](int nId, const QList<QKeySequence>& listKeys) {
        QAction* pAction = Action(nId);
        if (!pAction)
        {
            // A command that only a key sends.
            pAction = MakeAction(nId, QString());
            addAction(pAction);
        }
        pAction->setShortcuts(listKeys);
        pAction->setShortcutContext(Qt::WindowShortcut);
    };
    Bind(kIdFileNew, {QKeySequence(Qt::CTRL | Qt::Key_N)});
    Bind(kIdFileOpen, {QKeySequence(Qt::CTRL | Qt::Key_O)});
    Bind(kIdFileSave, {QKeySequence(Qt::CTRL | Qt::Key_S)});
    Bind(kIdEditUndo, {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)});
    Bind(kIdEditCut, {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)});
    Bind(kIdEditCopy, {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)});
    Bind(kIdEditPaste, {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)});
    Bind(kIdEditSelectAll, {QKeySequence(Qt::CTRL | Qt::Key_A)});
    Bind(kIdEditFind, {QKeySequence(Qt::CTRL | Qt::Key_F)});
    Bind(kIdEditRepeat, {QKeySequence(Qt::Key_F3)});
    Bind(kIdEditReplace, {QKeySequence(Qt::CTRL | Qt::Key_H)});
    Bind(kIdObjectProperties, {QKeySequence(Qt::ALT | Qt::Key_Return), QKeySequence(Qt::ALT | Qt::Key_Enter)});
    Bind(kIdNextPane, {QKeySequence(Qt::Key_F6)});
    Bind(kIdPrevPane, {QKeySequence(Qt::SHIFT | Qt::Key_F6)});
    Bind(kIdCancelInPlace, {QKeySequence(Qt::Key_Escape)});

    // Commands no menu, button or key sends: the print commands of the command line.
    for (int nId : {kIdFilePrint, kIdFilePrintDirect, kIdFilePrintPreview})
        addAction(MakeAction(nId, QString()));
}

bool CMainFrame::CreateToolBar()
{
    m_pToolBar = new QToolBar(QStringLiteral("Standard"), this);
    m_pToolBar->setObjectName(QStringLiteral("ToolBar"));
    m_pToolBar->setIconSize(QSize(Images::kButtonWidth, Images::kButtonHeight));
    m_pToolBar->setMovable(true);
    m_pToolBar->setFloatable(true);
    m_pToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The bar's own close entry would hide it behind the View menu's back.
    m_pToolBar->toggleViewAction()->setVisible(false);

    const int aButtons[] = {kIdFileNew,     kIdFileOpen,      kIdFileSave,       0,
                            kIdEditCut,     kIdEditCopy,      kIdEditPaste,      0,
                            kIdComPortStart, kIdComPortStop,  0,
                            kIdMemoryStart, kIdMemoryStop,    kIdClearScreenBar, 0,
                            kIdAppAbout};
    int nImage = 0;
    for (int nId : aButtons)
    {
        if (nId == 0)
        {
            m_pToolBar->addSeparator();
            continue;
        }
        QAction* pAction = Action(nId);
        if (!pAction)
            pAction = MakeAction(nId, StatusPrompt(nId));
        pAction->setIcon(QIcon(Images::ToolBarImage(nImage++)));
        m_pToolBar->addAction(pAction);
    }
    if (nImage != Images::kButtonCount)
        return false;
    addToolBar(Qt::TopToolBarArea, m_pToolBar);
    connect(m_pToolBar, &QToolBar::visibilityChanged, this, [this]() { UpdateCommandUI(); });
    return true;
}

bool CMainFrame::CreateStatusBar()
{
    QStatusBar* pBar = statusBar();
    pBar->setObjectName(QStringLiteral("StatusBar"));
    pBar->setSizeGripEnabled(true);
    m_pMessagePane = new QLabel(LoadString(kIdsIdleMessage), pBar);
    m_pMessagePane->setObjectName(QStringLiteral("MessagePane"));
    m_pMessagePane->setTextFormat(Qt::PlainText);
    m_pMessagePane->setMinimumWidth(1);
    pBar->addWidget(m_pMessagePane, 1);
    for (int nId : {kIdIndicatorCaps, kIdIndicatorNum, kIdIndicatorScrl})
    {
        auto* pPane = new QLabel(pBar);
        pPane->setObjectName(LoadString(nId));
        pPane->setAlignment(Qt::AlignCenter);
        pPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pPane->setMinimumWidth(pPane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        pBar->addPermanentWidget(pPane);
        m_mapIndicators.insert(nId, pPane);
    }
    return true;
}

bool CMainFrame::event(QEvent* pEvent)
{
    if (pEvent->type() == QEvent::StatusTip)
    {
        SetMessageText(static_cast<QStatusTipEvent*>(pEvent)->tip());
        return true;
    }
    return QMainWindow::event(pEvent);
}

void CMainFrame::SetMessageText(const QString& strText)
{
    if (m_pMessagePane)
        m_pMessagePane->setText(strText.isEmpty() ? LoadString(kIdsIdleMessage) : strText);
}

void CMainFrame::UpdateIndicators()
{
    const unsigned nState = LockKeys::State();
    const struct
    {
        int nId;
        unsigned nBit;
    } aPanes[] = {{kIdIndicatorCaps, 1u}, {kIdIndicatorNum, 2u}, {kIdIndicatorScrl, 4u}};
    for (const auto& pane : aPanes)
    {
        if (QLabel* pLabel = Indicator(pane.nId))
        {
            const QString strText = (nState & pane.nBit) ? LoadString(pane.nId) : QString();
            if (pLabel->text() != strText)
                pLabel->setText(strText);
        }
    }
}

bool CMainFrame::IsCommandEnabled(int nId) const
{
    switch (nId)
    {
    case kIdEditUndo:
        return m_pEdit->CanUndo();
    case kIdEditCut:
        return m_pEdit->CanCut();
    case kIdEditCopy:
        return m_pEdit->CanCopy();
    case kIdEditPaste:
        return m_pEdit->CanPaste();
    case kIdEditSelectAll:
        return m_pEdit->CanSelectAll();
    case kIdEditFind:
        return m_pEdit->CanFind();
    case kIdEditRepeat:
        return m_pEdit->CanFindNext();
    case kIdEditReplace:
        return m_pEdit->CanReplace();
    case kIdObjectProperties:
    case kIdNextPane:
    case kIdPrevPane:
    case kIdCancelInPlace:
        // No embedded objects and no split window: nothing handles these.
        return false;
    case kIdClearScreen:
    case kIdComSetup:
    case kIdComPortStart:
    case kIdComPortStop:
    case kIdMemoryStart:
    case kIdMemoryStop:
    case kIdClearScreenBar:
        return m_pDoc && m_pDoc->IsCommandEnabled(nId);
    default:
        break;
    }
    if (IsMruCommand(nId))
        return nId - kIdFileMru1 < m_app.RecentFiles().Count();
    return true;
}

void CMainFrame::UpdateCommandUI()
{
    if (m_pDoc)
        m_pDoc->OnIdle();
    for (auto it = m_mapActions.cbegin(); it != m_mapActions.cend(); ++it)
    {
        const bool bEnabled = IsCommandEnabled(it.key());
        if (it.value()->isEnabled() != bEnabled)
            it.value()->setEnabled(bEnabled);
    }
    if (QAction* p = Action(kIdViewToolbar))
        p->setChecked(m_pToolBar && m_pToolBar->isVisible());
    if (QAction* p = Action(kIdViewStatusBar))
        p->setChecked(statusBar()->isVisible());
}

bool CMainFrame::OnCommand(int nId)
{
    // The rule is asked again: the state may have changed since the
    // button was last brought up to date.
    if (!IsCommandEnabled(nId))
        return false;

    bool bHandled = true;
    switch (nId)
    {
    case kIdFileNew:
        m_app.OnFileNew();
        break;
    case kIdFileOpen:
        m_app.OnFileOpen();
        break;
    case kIdFileSave:
        DoFileSave();
        break;
    case kIdFileSaveAs:
        DoSave();
        break;
    case kIdAppExit:
        close();
        break;
    case kIdEditUndo:
        m_pEdit->Undo();
        break;
    case kIdEditCut:
        m_pEdit->Cut();
        break;
    case kIdEditCopy:
        m_pEdit->Copy();
        break;
    case kIdEditPaste:
        m_pEdit->Paste();
        break;
    case kIdEditSelectAll:
        m_pEdit->SelectAll();
        break;
    case kIdEditFind:
        m_pEdit->Find(this);
        break;
    case kIdEditRepeat:
        m_pEdit->FindNext();
        break;
    case kIdEditReplace:
        m_pEdit->Replace(this);
        break;
    case kIdViewToolbar:
        m_pToolBar->setVisible(!m_pToolBar->isVisible());
        break;
    case kIdViewStatusBar:
        statusBar()->setVisible(!statusBar()->isVisible());
        break;
    case kIdAppAbout:
        m_app.OnAppAbout();
        break;
    case kIdHowToUse:
        m_app.OnHelpHowToUse();
        break;
    default:
        if (IsMruCommand(nId))
            m_app.OnOpenRecentFile(nId - kIdFileMru1);
        else if (m_pView && m_pView->OnCommand(nId))
            ;
        else if (m_pDoc && m_pDoc->OnCommand(nId))
            ;
        else if (nId == kIdFilePrint || nId == kIdFilePrintDirect || nId == kIdFilePrintPreview)
            m_app.OnPrintCommand(nId);
        else
            bHandled = false;
        break;
    }
    UpdateCommandUI();
    return bHandled;
}

void CMainFrame::UpdateFrameTitle()
{
    const QString strTitle = m_pDoc ? m_pDoc->GetTitle() : QString();
    const QString strApp = LoadString(kIdsAppTitle);
    setWindowTitle(strTitle.isEmpty() ? strApp : strTitle + QStringLiteral(" - ") + strApp);
}

void CMainFrame::UpdateRecentFileMenu()
{
    const CRecentFileList& list = m_app.RecentFiles();
    for (int i = 0; i < m_listRecent.size(); ++i)
    {
        QAction* pAction = m_listRecent.at(i);
        if (list.Count() == 0 && i == 0)
        {
            // The place of the list while it is empty.
            pAction->setText(QStringLiteral("Recent File"));
            pAction->setVisible(true);
            pAction->setEnabled(false);
            continue;
        }
        const bool bUsed = i < list.Count();
        pAction->setVisible(bUsed);
        pAction->setEnabled(bUsed);
        if (bUsed)
            pAction->setText(list.MenuText(i));
    }
}

bool CMainFrame::SaveModified()
{
    if (!m_pDoc || !m_pDoc->IsModified())
        return true;
    const QString strText = QStringLiteral("Save changes to %1?").arg(m_pDoc->GetTitle());
    switch (CMessageBox::Show(this, strText, CMessageBox::YesNoCancel))
    {
    case CMessageBox::IDYES:
        return DoFileSave();
    case CMessageBox::IDNO:
        return true;
    default:
        return false;
    }
}

bool CMainFrame::DoFileSave()
{
    if (!m_pDoc)
        return false;
    const QString strPath = m_pDoc->GetPathName();
    if (strPath.isEmpty())
        return DoSave();
    const QFileInfo info(strPath);
    if (info.exists() && !info.isWritable())
        return DoSave();
    return DoSave(strPath);
}

bool CMainFrame::DoSave(const QString& strPathIn)
{
    if (!m_pDoc)
        return false;
    QString strPath = strPathIn;
    if (strPath.isEmpty())
    {
        const QString strProposed = m_pDoc->GetPathName().isEmpty() ? m_pDoc->GetTitle() : m_pDoc->GetPathName();
        strPath = CFileDialog::GetSaveFileName(this, strProposed);
        if (strPath.isEmpty())
            return false;
    }
    if (!m_pDoc->OnSaveDocument(strPath))
        return false;
    m_app.RecentFiles().Add(strPath);
    UpdateRecentFileMenu();
    UpdateFrameTitle();
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* pEvent)
{
    // A modal box of ours is up (its answer is still to come) or a link step
    // is under way: the window stays until that has finished.
    if (QApplication::activeModalWidget() || (m_pDoc && m_pDoc->IsLinkBusy()))
    {
        pEvent->ignore();
        return;
    }
    if (!SaveModified())
    {
        pEvent->ignore();
        return;
    }
    // The worker writes into the view and holds the port: both end here,
    // before anything of the window goes.
    if (m_pDoc)
        m_pDoc->ShutdownLink();
    m_timerIdle.stop();
    pEvent->accept();
    m_app.OnMainWindowClosed();
}
