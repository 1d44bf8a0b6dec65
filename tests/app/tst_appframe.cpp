// The main window's resources and the start-up: menus, tool bar, prompts,
// accelerators, status bar, View toggling, recent files, title, the Edit
// commands' rules, the save question, About, How to Use and the command line.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "AppTestSupport.h"
#include "app/AboutDlg.h"
#include "app/CommandLineInfo.h"
#include "app/EditCommands.h"
#include "app/FileDialog.h"
#include "app/Images.h"
#include "app/MainFrame.h"
#include "app/OxilumeApp.h"
#include "app/RecentFileList.h"
#include "app/Resource.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

using namespace AppTest;

namespace
{
QByteArray ReadFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteFile(const QString& strPath, const QByteArray& baText)
{
    QFile file(strPath);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(baText);
}

// Runs fnInside once a modal window is up, from inside its event loop.
void WhenModal(std::function<void(QWidget*)> fnInside)
{
    auto* pTimer = new QTimer;
    pTimer->setInterval(10);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, fnInside]() {
        if (QWidget* pModal = QApplication::activeModalWidget())
        {
            pTimer->stop();
            pTimer->deleteLater();
            fnInside(pModal);
        }
    });
    pTimer->start();
}
}  // namespace

class CAppFrameTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menus_data();
    void menus();
    void toolBar();
    void prompts_data();
    void prompts();
    void accelerators_data();
    void accelerators();
    void textOnlyKeysBindNothing();
    void keysWithoutHandlerChangeNothing();
    void statusBarPanes();
    void buttonHoverShowsPromptThenReady();
    void viewTogglesBars();
    void toolBarImages();
    void titleAndSaveAs();
    void editRules();
    void findAndFindNext();
    void saveQuestion_data();
    void saveQuestion();
    void exitAsksAndCancelKeepsWindow();
    void openAndSaveDialogsListEveryFile();
    void aboutBox();
    void howToUseFromAnotherFolder();

    void commandLine_data();
    void commandLine();
    void startWithoutArguments();
    void startWithFile();
    void startWithUnknownFlag();
    void startWithUpperCaseP();
    void startWithMissingFile();
    void recentFilesFiveStored();
    void recentFileMenu();
    void abbreviatePath_data();
    void abbreviatePath();

private:
    std::unique_ptr<CScopedSettings> m_pSettings;
    std::unique_ptr<CBoxAnswerer> m_pBoxes;
    QTemporaryDir m_dirFiles;
};

void CAppFrameTest::initTestCase()
{
    QVERIFY(m_dirFiles.isValid());
}

void CAppFrameTest::init()
{
    m_pSettings = std::make_unique<CScopedSettings>();
    m_pBoxes = std::make_unique<CBoxAnswerer>();
}

void CAppFrameTest::cleanup()
{
    CFileDialog::SetChooser({});
    m_pBoxes.reset();
    m_pSettings.reset();
}

void CAppFrameTest::menus_data()
{
    QTest::addColumn<int>("nMenu");
    QTest::addColumn<QString>("strMenu");
    QTest::addColumn<QStringList>("listItems");  // "text|id", "-" for a separator

    QTest::newRow("File") << 0 << "&File"
                          << QStringList{"&New\tCtrl+N|57600", "&Open...\tCtrl+O|57601", "&Save\tCtrl+S|57603",
                                         "Save &As...|57604",  "-",
                                         "Recent File|57616",  "-", "E&xit|57665"};
    QTest::newRow("Edit") << 1 << "&Edit"
                          << QStringList{"&Undo\tCtrl+Z|57643",       "-",
                                         "Cu&t\tCtrl+X|57635",        "&Copy\tCtrl+C|57634",
                                         "&Paste\tCtrl+V|57637",      "Select A&ll\tCtrl+A|57642",
                                         "-",                         "&Find...\tCtrl+F|57636",
                                         "F&ind Next\tF3|57640",      "-",
                                         "C&Lear Screen\tCtrl-R|32771"};
    QTest::newRow("View") << 2 << "&View" << QStringList{"&Toolbar|59392", "&Status Bar|59393"};
    QTest::newRow("Setup") << 3 << "&Setup" << QStringList{"CO&M Setup|32772"};
    QTest::newRow("Help") << 4 << "&Help" << QStringList{"How to Use..|32778", "&About Oxilume...|57664"};
}

void CAppFrameTest::menus()
{
    QFETCH(int, nMenu);
    QFETCH(QString, strMenu);
    QFETCH(QStringList, listItems);

    CAppRun run;
    QVERIFY(run.Started());
    const QList<QAction*> listTop = run.Frame()->menuBar()->actions();
    QCOMPARE(listTop.size(), 5);
    QCOMPARE(listTop.at(nMenu)->text(), strMenu);

    QList<QAction*> listShown;
    for (QAction* pAction : listTop.at(nMenu)->menu()->actions())
        if (pAction->isVisible())
            listShown.append(pAction);
    QCOMPARE(listShown.size(), listItems.size());
    for (int i = 0; i < listItems.size(); ++i)
    {
        QAction* pAction = listShown.at(i);
        if (listItems.at(i) == QLatin1String("-"))
        {
            QVERIFY2(pAction->isSeparator(), qPrintable(QString::number(i)));
            continue;
        }
        const QStringList listParts = listItems.at(i).split(QLatin1Char('|'));
        QCOMPARE(pAction->text(), listParts.at(0));
        QCOMPARE(pAction->data().toInt(), listParts.at(1).toInt());
        QCOMPARE(run.Frame()->Action(listParts.at(1).toInt()), pAction);
    }
}

void CAppFrameTest::toolBar()
{
    CAppRun run;
    const QList<int> listExpected = {57600, 57601, 57603, 0,     57635, 57634, 57637, 0,
                                     32773, 32774, 0,     32775, 32776, 32777, 0,     57664};
    QList<int> listIds;
    for (QAction* pAction : run.Frame()->ToolBar()->actions())
        listIds.append(pAction->isSeparator() ? 0 : pAction->data().toInt());
    QCOMPARE(listIds, listExpected);
    QCOMPARE(run.Frame()->ToolBar()->iconSize(), QSize(16, 15));
    QCOMPARE(run.Frame()->toolBarArea(run.Frame()->ToolBar()), Qt::TopToolBarArea);
    QCOMPARE(run.Frame()->ToolBar()->allowedAreas(), Qt::AllToolBarAreas);
    QVERIFY(run.Frame()->ToolBar()->isMovable());
    QVERIFY(run.Frame()->ToolBar()->isFloatable());
    // Menu items show no pictures, as on the menus the program is known by.
    QVERIFY(!run.Frame()->Action(57600)->isIconVisibleInMenu());
}

void CAppFrameTest::prompts_data()
{
    QTest::addColumn<int>("nId");
    QTest::addColumn<QString>("strPrompt");
    QTest::addColumn<QString>("strTip");
    const struct
    {
        int nId;
        const char* pszPrompt;
        const char* pszTip;
    } aRows[] = {
        {57600, "Create a new document", "New"},
        {57601, "Open an existing document", "Open"},
        {57603, "Save the active document", "Save"},
        {57604, "Save the active document with a new name", "Save As"},
        {57665, "Quit the application; prompts to save documents", "Exit"},
        {57643, "Undo the last action", "Undo"},
        {57635, "Cut the selection and put it on the Clipboard", "Cut"},
        {57634, "Copy the selection and put it on the Clipboard", "Copy"},
        {57637, "Insert Clipboard contents", "Paste"},
        {57642, "Select the entire document", "Select All"},
        {57636, "Find the specified text", "Find"},
        {57640, "Repeat the last action", "Repeat"},
        {57641, "Replace specific text with different text", "Replace"},
        {32771, "Clear Screen", "Clear Screen"},
        {32777, "Clear Screen", "Clear Screen(Ctrl-R)"},
        {59392, "Show or hide the toolbar", "Toggle ToolBar"},
        {59393, "Show or hide the status bar", "Toggle StatusBar"},
        {32772, "COM Setup", "COM Setup"},
        {32773, "COM Port Start", "COM Port Start(F9)"},
        {32774, "COM Port Stop", "COM Port Stop(F10)"},
        {32775, "Memory Transmission Start", "Memory Transmission Start(F11)"},
        {32776, "Memory Transmission Stop", "Memory Transmission Stop(F12)"},
        {32778, "How to use..", "How to use.."},
        {57664, "Display program information, version number and copyright", "About"},
        {57680, "Switch to the next window pane", "Next Pane"},
        {57681, "Switch back to the previous window pane", "Previous Pane"},
        {57616, "Open this document", ""},
        {57619, "Open this document", ""},
    };
    for (const auto& row : aRows)
        QTest::newRow(QByteArray::number(row.nId).constData())
            << row.nId << QString::fromLatin1(row.pszPrompt) << QString::fromLatin1(row.pszTip);
}

void CAppFrameTest::prompts()
{
    QFETCH(int, nId);
    QFETCH(QString, strPrompt);
    QFETCH(QString, strTip);
    QCOMPARE(Resource::StatusPrompt(nId), strPrompt);
    QCOMPARE(Resource::ToolTip(nId), strTip);

    CAppRun run;
    QAction* pAction = run.Frame()->Action(nId);
    QVERIFY(pAction);
    QCOMPARE(pAction->statusTip(), strPrompt);
    if (!strTip.isEmpty())
        QCOMPARE(pAction->toolTip(), strTip);
}

void CAppFrameTest::accelerators_data()
{
    QTest::addColumn<QKeySequence>("key");
    QTest::addColumn<int>("nId");
    QTest::newRow("Ctrl+N") << QKeySequence(Qt::CTRL | Qt::Key_N) << 57600;
    QTest::newRow("Ctrl+O") << QKeySequence(Qt::CTRL | Qt::Key_O) << 57601;
    QTest::newRow("Ctrl+S") << QKeySequence(Qt::CTRL | Qt::Key_S) << 57603;
    QTest::newRow("Ctrl+Z") << QKeySequence(Qt::CTRL | Qt::Key_Z) << 57643;
    QTest::newRow("Ctrl+X") << QKeySequence(Qt::CTRL | Qt::Key_X) << 57635;
    QTest::newRow("Ctrl+C") << QKeySequence(Qt::CTRL | Qt::Key_C) << 57634;
    QTest::newRow("Ctrl+V") << QKeySequence(Qt::CTRL | Qt::Key_V) << 57637;
    QTest::newRow("Ctrl+A") << QKeySequence(Qt::CTRL | Qt::Key_A) << 57642;
    QTest::newRow("Ctrl+F") << QKeySequence(Qt::CTRL | Qt::Key_F) << 57636;
    QTest::newRow("F3") << QKeySequence(Qt::Key_F3) << 57640;
    QTest::newRow("Ctrl+H") << QKeySequence(Qt::CTRL | Qt::Key_H) << 57641;
    QTest::newRow("Alt+Enter") << QKeySequence(Qt::ALT | Qt::Key_Return) << 57860;
    QTest::newRow("Alt+Backspace") << QKeySequence(Qt::ALT | Qt::Key_Backspace) << 57643;
    QTest::newRow("Shift+Delete") << QKeySequence(Qt::SHIFT | Qt::Key_Delete) << 57635;
    QTest::newRow("Ctrl+Insert") << QKeySequence(Qt::CTRL | Qt::Key_Insert) << 57634;
    QTest::newRow("Shift+Insert") << QKeySequence(Qt::SHIFT | Qt::Key_Insert) << 57637;
    QTest::newRow("F6") << QKeySequence(Qt::Key_F6) << 57680;
    QTest::newRow("Shift+F6") << QKeySequence(Qt::SHIFT | Qt::Key_F6) << 57681;
    QTest::newRow("Esc") << QKeySequence(Qt::Key_Escape) << 32768;
}

void CAppFrameTest::accelerators()
{
    QFETCH(QKeySequence, key);
    QFETCH(int, nId);
    CAppRun run;
    QAction* pAction = run.Frame()->Action(nId);
    QVERIFY(pAction);
    QVERIFY2(pAction->shortcuts().contains(key), qPrintable(key.toString()));
    // No other command answers the same key.
    for (QAction* pOther : run.Frame()->Actions())
        if (pOther != pAction)
            QVERIFY2(!pOther->shortcuts().contains(key), qPrintable(pOther->text()));
}

void CAppFrameTest::textOnlyKeysBindNothing()
{
    CAppRun run;
    const QList<QKeySequence> listTextOnly = {QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::Key_F9),
                                              QKeySequence(Qt::Key_F10), QKeySequence(Qt::Key_F11),
                                              QKeySequence(Qt::Key_F12)};
    for (QAction* pAction : run.Frame()->Actions())
        for (const QKeySequence& key : listTextOnly)
            QVERIFY2(!pAction->shortcuts().contains(key), qPrintable(key.toString()));
    for (int nId : {32771, 32772, 32773, 32774, 32775, 32776, 32777})
        QVERIFY(run.Frame()->Action(nId)->shortcuts().isEmpty());

    // Pressed for real, F9 starts no link and Ctrl-R clears nothing.
    COxilumeDoc::SetSetupRunner([](CComSetupDlg&, QWidget*) {
        qFatal("F9 ran COM Setup");
        return 2;
    });
    run.View()->InsertText("kept\r\n");
    run.Frame()->show();
    QTest::keyClick(run.Frame(), Qt::Key_F9);
    QTest::keyClick(run.Frame(), Qt::Key_R, Qt::ControlModifier);
    COxilumeDoc::SetSetupRunner({});
    QCOMPARE(LogText(run.View()), QStringLiteral("kept\n"));
}

void CAppFrameTest::keysWithoutHandlerChangeNothing()
{
    CAppRun run;
    run.Frame()->show();
    run.View()->InsertText("a line\r\n");
    const QString strBefore = LogText(run.View());
    const QString strTitle = run.Frame()->windowTitle();
    for (int nId : {57680, 57681, 32768, 57860})
        QVERIFY(!run.Frame()->Action(nId)->isEnabled());
    QTest::keyClick(run.Frame(), Qt::Key_Escape);
    QTest::keyClick(run.Frame(), Qt::Key_F6);
    QTest::keyClick(run.Frame(), Qt::Key_F6, Qt::ShiftModifier);
    QCOMPARE(LogText(run.View()), strBefore);
    QCOMPARE(run.Frame()->windowTitle(), strTitle);
    QVERIFY(run.Frame()->isVisible());
    QVERIFY(m_pBoxes->Texts().isEmpty());
}

void CAppFrameTest::statusBarPanes()
{
    CAppRun run;
    QCOMPARE(run.Frame()->MessagePane()->text(), QStringLiteral("Ready"));
    QStringList listNames;
    for (int nId : {59137, 59138, 59139})
    {
        QLabel* pPane = run.Frame()->Indicator(nId);
        QVERIFY(pPane);
        listNames.append(pPane->objectName());
        // The lock keys cannot be read here, so every lock reads as off.
        QVERIFY(pPane->text().isEmpty());
        QVERIFY(pPane->width() > 0 || pPane->minimumWidth() > 0);
    }
    QCOMPARE(listNames, (QStringList{"CAP", "NUM", "SCRL"}));
}

void CAppFrameTest::buttonHoverShowsPromptThenReady()
{
    CAppRun run;
    run.Frame()->show();
    QVERIFY(QTest::qWaitForWindowExposed(run.Frame()));
    auto* pButton = qobject_cast<QToolButton*>(
        run.Frame()->ToolBar()->widgetForAction(run.Frame()->Action(32773)));
    QVERIFY(pButton);
    QCOMPARE(pButton->toolTip(), QStringLiteral("COM Port Start(F9)"));
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(pButton, &enter);
    QCOMPARE(run.Frame()->MessagePane()->text(), QStringLiteral("COM Port Start"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pButton, &leave);
    QCOMPARE(run.Frame()->MessagePane()->text(), QStringLiteral("Ready"));

    // The tool bar's Clear Screen names its key text; the menu's does not.
    auto* pClear = run.Frame()->ToolBar()->widgetForAction(run.Frame()->Action(32777));
    QCOMPARE(pClear->toolTip(), QStringLiteral("Clear Screen(Ctrl-R)"));
}

void CAppFrameTest::viewTogglesBars()
{
    CAppRun run;
    run.Frame()->show();
    QVERIFY(QTest::qWaitForWindowExposed(run.Frame()));
    run.Frame()->UpdateCommandUI();
    QAction* pToolbar = run.Frame()->Action(59392);
    QAction* pStatus = run.Frame()->Action(59393);
    QVERIFY(pToolbar->isChecked());
    QVERIFY(pStatus->isChecked());

    pToolbar->trigger();
    QVERIFY(!run.Frame()->ToolBar()->isVisible());
    QVERIFY(!pToolbar->isChecked());
    pToolbar->trigger();
    QVERIFY(run.Frame()->ToolBar()->isVisible());
    QVERIFY(pToolbar->isChecked());
    QCOMPARE(run.Frame()->toolBarArea(run.Frame()->ToolBar()), Qt::TopToolBarArea);

    // Docked on another side, it comes back there.
    run.Frame()->addToolBar(Qt::LeftToolBarArea, run.Frame()->ToolBar());
    pToolbar->trigger();
    pToolbar->trigger();
    QCOMPARE(run.Frame()->toolBarArea(run.Frame()->ToolBar()), Qt::LeftToolBarArea);

    pStatus->trigger();
    QVERIFY(!run.Frame()->statusBar()->isVisible());
    QVERIFY(!pStatus->isChecked());
    pStatus->trigger();
    QVERIFY(run.Frame()->statusBar()->isVisible());
    QVERIFY(pStatus->isChecked());
}

void CAppFrameTest::toolBarImages()
{
    // Twelve different pictures of 16x15, none of them blank.
    QList<QImage> listImages;
    for (int i = 0; i < Images::kButtonCount; ++i)
    {
        const QImage image = Images::ToolBarImage(i).toImage();
        QCOMPARE(image.size(), QSize(16, 15));
        int nPainted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                nPainted += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        QVERIFY2(nPainted > 20, qPrintable(QString::number(i)));
        for (const QImage& other : listImages)
            QVERIFY(other != image);
        listImages.append(image);
    }
    QCOMPARE(Images::ToolBarStrip().size(), QSize(192, 15));
    QVERIFY(!Images::AppIcon().pixmap(32, 32).isNull());
    QVERIFY(!Images::AppIcon().pixmap(16, 16).isNull());
}

void CAppFrameTest::titleAndSaveAs()
{
    CAppRun run;
    QCOMPARE(run.Frame()->windowTitle(), QStringLiteral("Untitled - Oxilume V1.1"));
    run.View()->InsertText("12:00 Spo2: 98\r\n");

    const QString strPath = m_dirFiles.filePath(QStringLiteral("session log"));
    QString strProposed;
    CFileDialog::SetChooser([&](CFileDialog::EKind eKind, const QString& strShown) {
        if (eKind != CFileDialog::SaveAs)
            return QString();
        strProposed = strShown;
        return strPath;
    });
    QVERIFY(run.Frame()->OnCommand(57604));
    QCOMPARE(strProposed, QStringLiteral("Untitled"));
    QCOMPARE(run.Frame()->windowTitle(), QStringLiteral("session log - Oxilume V1.1"));
    // No extension is added to the name typed.
    QVERIFY(QFile::exists(strPath));
    QCOMPARE(ReadFile(strPath), QByteArray("12:00 Spo2: 98\r\n"));
    QCOMPARE(run.App().RecentFiles().Path(0), strPath);
    QVERIFY(!run.Doc()->IsModified());

    // Save goes to the same file without asking.
    run.View()->InsertText("more\r\n");
    CFileDialog::SetChooser([](CFileDialog::EKind, const QString&) {
        qFatal("Save asked for a name");
        return QString();
    });
    QVERIFY(run.Frame()->OnCommand(57603));
    QCOMPARE(ReadFile(strPath), QByteArray("12:00 Spo2: 98\r\nmore\r\n"));
}

void CAppFrameTest::editRules()
{
    CAppRun run;
    CMainFrame* pFrame = run.Frame();
    QApplication::clipboard()->setText(QStringLiteral("clip"));
    auto Enabled = [pFrame](int nId) {
        pFrame->UpdateCommandUI();
        return pFrame->Action(nId)->isEnabled();
    };
    // An empty, read-only log.
    QVERIFY(run.View()->IsReadOnly());
    QVERIFY(!Enabled(57634));  // Copy
    QVERIFY(!Enabled(57642));  // Select All
    QVERIFY(!Enabled(57637));  // Paste: read-only
    QVERIFY(!Enabled(57643));  // Undo

    run.View()->InsertText("first line\r\nsecond line\r\n");
    QVERIFY(Enabled(57642));
    QVERIFY(Enabled(57636));   // Find
    QVERIFY(!Enabled(57640));  // Find Next: nothing searched yet
    QVERIFY(!Enabled(57634));  // no selection
    QVERIFY(!Enabled(57641));  // Replace: read-only

    QVERIFY(pFrame->OnCommand(57642));
    QVERIFY(Enabled(57634));
    QVERIFY(!Enabled(57635));  // Cut: read-only
    QVERIFY(pFrame->OnCommand(57634));
    QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("first line\nsecond line\n"));
    QVERIFY(!pFrame->OnCommand(57635));
    QVERIFY(!pFrame->OnCommand(57637));
    QCOMPARE(LogText(run.View()), QStringLiteral("first line\nsecond line\n"));

    // A writable log (as a program without the reset would have) lets them.
    run.View()->SetReadOnly(false);
    QVERIFY(Enabled(57635));
    QVERIFY(Enabled(57637));
    QVERIFY(Enabled(57641));
    run.View()->SetReadOnly(true);
}

void CAppFrameTest::findAndFindNext()
{
    CAppRun run;
    run.View()->InsertText("HR: 70\r\nHR: 71\r\nHR: 72\r\n");
    CEditCommands& edit = run.Frame()->Edit();
    run.View()->moveCursor(QTextCursor::Start);
    QVERIFY(edit.FindText(QStringLiteral("HR:"), {}));
    const int nFirst = run.View()->textCursor().selectionStart();
    run.Frame()->UpdateCommandUI();
    QVERIFY(run.Frame()->Action(57640)->isEnabled());
    QVERIFY(run.Frame()->OnCommand(57640));
    QVERIFY(run.View()->textCursor().selectionStart() > nFirst);
    QCOMPARE(run.View()->textCursor().selectedText(), QStringLiteral("HR:"));

    // Ctrl+F opens the modeless Find window with the selection in it.
    QVERIFY(run.Frame()->OnCommand(57636));
    QVERIFY(edit.Dialog());
    QVERIFY(edit.Dialog()->isVisible());
    QVERIFY(!edit.Dialog()->isModal());
    QCOMPARE(edit.Dialog()->m_pFindEdit->text(), QStringLiteral("HR:"));
    edit.Dialog()->close();
}

void CAppFrameTest::saveQuestion_data()
{
    QTest::addColumn<int>("nCommand");
    QTest::addColumn<int>("nAnswer");
    QTest::addColumn<bool>("bReplaced");
    QTest::addColumn<bool>("bSaved");
    QTest::newRow("New, Cancel") << 57600 << int(CMessageBox::IDCANCEL) << false << false;
    QTest::newRow("New, No") << 57600 << int(CMessageBox::IDNO) << true << false;
    QTest::newRow("New, Yes") << 57600 << int(CMessageBox::IDYES) << true << true;
    QTest::newRow("Open, Cancel") << 57601 << int(CMessageBox::IDCANCEL) << false << false;
    QTest::newRow("Open, No") << 57601 << int(CMessageBox::IDNO) << true << false;
    QTest::newRow("Open, Yes") << 57601 << int(CMessageBox::IDYES) << true << true;
}

void CAppFrameTest::saveQuestion()
{
    QFETCH(int, nCommand);
    QFETCH(int, nAnswer);
    QFETCH(bool, bReplaced);
    QFETCH(bool, bSaved);

    const QString strOther = m_dirFiles.filePath(QStringLiteral("other.txt"));
    WriteFile(strOther, "other\r\n");
    const QString strSaved = m_dirFiles.filePath(QStringLiteral("saved-%1-%2").arg(nCommand).arg(nAnswer));
    CFileDialog::SetChooser([&](CFileDialog::EKind eKind, const QString&) {
        return eKind == CFileDialog::Open ? strOther : strSaved;
    });
    m_pBoxes->Answer(QStringLiteral("Save changes"), nAnswer);

    CAppRun run;
    run.View()->InsertText("changed\r\n");
    QVERIFY(run.Doc()->IsModified());
    run.Frame()->OnCommand(nCommand);
    QCOMPARE(m_pBoxes->Texts(), QStringList{QStringLiteral("Save changes to Untitled?")});
    const QString strNow = LogText(run.View());
    if (!bReplaced)
        QCOMPARE(strNow, QStringLiteral("changed\n"));
    else
        QCOMPARE(strNow, nCommand == 57600 ? QString() : QStringLiteral("other\n"));
    QCOMPARE(QFile::exists(strSaved), bSaved);
    if (bSaved)
        QCOMPARE(ReadFile(strSaved), QByteArray("changed\r\n"));

    // An unchanged log is replaced without a question.
    m_pBoxes->Clear();
    if (run.Doc()->IsModified())
        run.Doc()->SetModifiedFlag(false);
    run.Frame()->OnCommand(57600);
    QVERIFY(m_pBoxes->Texts().isEmpty());
}

void CAppFrameTest::exitAsksAndCancelKeepsWindow()
{
    CAppRun run;
    run.Frame()->show();
    run.View()->InsertText("unsaved\r\n");
    m_pBoxes->Answer(QStringLiteral("Save changes"), CMessageBox::IDCANCEL);
    QVERIFY(!run.Frame()->OnCommand(57665) || run.Frame()->isVisible());
    QVERIFY(run.Frame()->isVisible());
    QCOMPARE(m_pBoxes->Count(QStringLiteral("Save changes to Untitled?")), 1);

    CBoxAnswerer noAnswers;  // replaces the answerer: "No" this time
    noAnswers.Answer(QStringLiteral("Save changes"), CMessageBox::IDNO);
    QSignalSpy spyClosed(&run.App(), &COxilumeApp::MainWindowClosed);
    run.Frame()->OnCommand(57665);
    QVERIFY(!run.Frame()->isVisible());
    QCOMPARE(spyClosed.count(), 1);
}

void CAppFrameTest::openAndSaveDialogsListEveryFile()
{
    CAppRun run;
    for (int nKind : {0, 1})
    {
        QStringList listFilters;
        QStringList listModelFilters{"unset"};
        WhenModal([&](QWidget* pModal) {
            if (auto* pDialog = qobject_cast<QFileDialog*>(pModal))
            {
                listFilters = pDialog->nameFilters();
                if (auto* pModel = pDialog->findChild<QFileSystemModel*>())
                    listModelFilters = pModel->nameFilters();
                pDialog->reject();
            }
        });
        const QString strChosen = nKind == 0 ? CFileDialog::GetOpenFileName(run.Frame())
                                             : CFileDialog::GetSaveFileName(run.Frame(), QStringLiteral("Untitled"));
        QVERIFY(strChosen.isEmpty());
        QCOMPARE(listFilters, QStringList{QStringLiteral("All Files (*.*)")});
        // Files without a dot in their names are listed too.
        QVERIFY(listModelFilters.isEmpty());
    }
}

void CAppFrameTest::aboutBox()
{
    CAppRun run;
    run.Frame()->show();
    const QString strTitle = run.Frame()->windowTitle();
    for (int nHow = 0; nHow < 3; ++nHow)
    {
        QString strCaption;
        QStringList listTexts;
        bool bIcon = false;
        QWidget* pParent = nullptr;
        WhenModal([&, nHow](QWidget* pModal) {
            auto* pAbout = qobject_cast<CAboutDlg*>(pModal);
            if (!pAbout)
                return;
            strCaption = pAbout->windowTitle();
            listTexts = {pAbout->m_pVersion->text(), pAbout->m_pNotice->text(), pAbout->m_pOk->text()};
            bIcon = !pAbout->m_pIcon->pixmap().isNull();
            pParent = pAbout->parentWidget();
            if (nHow == 0)
                pAbout->m_pOk->click();
            else if (nHow == 1)
                QTest::keyClick(pAbout, Qt::Key_Escape);
            else
                QTest::keyClick(pAbout, Qt::Key_Return);
        });
        QVERIFY(run.Frame()->OnCommand(57664));
        QCOMPARE(strCaption, QStringLiteral("About Oxilume"));
        QCOMPARE(listTexts.value(0), QStringLiteral("Oxi Lume Softwre Version V1.1"));
        QVERIFY(!listTexts.value(1).isEmpty());
        QCOMPARE(listTexts.value(2), QStringLiteral("OK"));
        QVERIFY(bIcon);
        QCOMPARE(pParent, run.Frame());
    }
    QCOMPARE(run.Frame()->windowTitle(), strTitle);
    QVERIFY(m_pBoxes->Texts().isEmpty());
}

void CAppFrameTest::howToUseFromAnotherFolder()
{
    const QString strKeep = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_dirFiles.path()));
    CAppRun run;
    QVERIFY(run.Frame()->OnCommand(32778));
    QDir::setCurrent(strKeep);

    QTextBrowser* pHelp = run.App().HelpWindow();
    QVERIFY(pHelp);
    QVERIFY(pHelp->isVisible());
    // Not owned by the main window: a window of its own.
    QVERIFY(pHelp->parentWidget() == nullptr);
    QVERIFY(pHelp->isWindow());
    QCOMPARE(pHelp->source().toLocalFile(),
             QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("oxilhlp.html")));
    QVERIFY(pHelp->toPlainText().contains(QStringLiteral("dialout")));
    // Asked again, it shows the guide again.
    pHelp->setHtml(QStringLiteral("elsewhere"));
    QVERIFY(run.Frame()->OnCommand(32778));
    QVERIFY(pHelp->toPlainText().contains(QStringLiteral("How to Use")));
    QVERIFY(m_pBoxes->Texts().isEmpty());
}

void CAppFrameTest::commandLine_data()
{
    QTest::addColumn<QStringList>("listArgs");
    QTest::addColumn<int>("nCommand");
    QTest::addColumn<QString>("strFile");
    QTest::addColumn<QStringList>("listPrinter");
    QTest::addColumn<bool>("bDemo");
    using C = CCommandLineInfo;
    const QStringList none;
    QTest::newRow("nothing") << QStringList{} << int(C::FileNew) << "" << none << false;
    QTest::newRow("file") << QStringList{"a.log"} << int(C::FileOpen) << "a.log" << none << false;
    QTest::newRow("two files") << QStringList{"a.log", "b.log"} << int(C::FileOpen) << "a.log" << none << false;
    QTest::newRow("-p") << QStringList{"-p", "a.log"} << int(C::FilePrint) << "a.log" << none << false;
    QTest::newRow("/p") << QStringList{"/p", "a.log"} << int(C::FilePrint) << "a.log" << none << false;
    QTest::newRow("-P") << QStringList{"-P", "a.log"} << int(C::FileOpen) << "a.log" << none << false;
    QTest::newRow("-pt") << QStringList{"-pt", "a.log", "Laser", "drv", "lpt1"} << int(C::FilePrintTo) << "a.log"
                         << QStringList{"Laser", "drv", "lpt1"} << false;
    QTest::newRow("-PT") << QStringList{"-PT", "a.log", "Laser"} << int(C::FileOpen) << "a.log" << none << false;
    QTest::newRow("-dde") << QStringList{"-dde"} << int(C::FileDDE) << "" << none << false;
    QTest::newRow("-DDE") << QStringList{"-DDE"} << int(C::FileNew) << "" << none << false;
    QTest::newRow("-unregister") << QStringList{"-unregister"} << int(C::AppUnregister) << "" << none << false;
    QTest::newRow("/UNREGSERVER") << QStringList{"/UNREGSERVER"} << int(C::AppUnregister) << "" << none << false;
    QTest::newRow("-embedding") << QStringList{"-embedding"} << int(C::FileNew) << "" << none << false;
    QTest::newRow("unknown") << QStringList{"-frobnicate", "a.log"} << int(C::FileOpen) << "a.log" << none << false;
    QTest::newRow("-demo") << QStringList{"-demo"} << int(C::FileNew) << "" << none << true;
    QTest::newRow("/Demo") << QStringList{"/Demo", "x"} << int(C::FileOpen) << "x" << none << true;
    QTest::newRow("absolute path") << QStringList{"/p", "/tmp/night/a.log"} << int(C::FilePrint) << "/tmp/night/a.log"
                                   << none << false;
}

void CAppFrameTest::commandLine()
{
    QFETCH(QStringList, listArgs);
    QFETCH(int, nCommand);
    QFETCH(QString, strFile);
    QFETCH(QStringList, listPrinter);
    QFETCH(bool, bDemo);
    const CCommandLineInfo info = CCommandLineInfo::FromArguments(listArgs);
    QCOMPARE(int(info.m_nShellCommand), nCommand);
    QCOMPARE(info.m_strFileName, strFile);
    QCOMPARE(info.m_strPrinterName, listPrinter.value(0));
    QCOMPARE(info.m_strDriverName, listPrinter.value(1));
    QCOMPARE(info.m_strPortName, listPrinter.value(2));
    QCOMPARE(info.m_bDemo, bDemo);
    QCOMPARE(info.m_bRunEmbedded, listArgs.contains(QStringLiteral("-embedding")));
}

void CAppFrameTest::startWithoutArguments()
{
    CAppRun run;
    QVERIFY(run.Started());
    QVERIFY(run.Frame()->isVisible());
    QCOMPARE(run.Frame()->windowTitle(), QStringLiteral("Untitled - Oxilume V1.1"));
    QCOMPARE(run.Doc()->GetTitle(), QStringLiteral("Untitled"));
    QVERIFY(run.View()->IsReadOnly());
    QCOMPARE(LogText(run.View()), QString());
    QCOMPARE(run.View()->LineCount(), 1);
    QCOMPARE(run.Doc()->m_strPort, std::string("COMX"));
    QCOMPARE(run.Doc()->m_bPortChosen.load(), 0);
    QVERIFY(run.Doc()->m_link.IsStopped());
    QVERIFY(m_pBoxes->Texts().isEmpty());
}

void CAppFrameTest::startWithFile()
{
    const QString strPath = m_dirFiles.filePath(QStringLiteral("morning.txt"));
    WriteFile(strPath, "2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n");
    CAppRun run({strPath});
    QVERIFY(run.Started());
    QVERIFY(run.Frame()->isVisible());
    QCOMPARE(run.Frame()->windowTitle(), QStringLiteral("morning.txt - Oxilume V1.1"));
    QCOMPARE(LogText(run.View()), QStringLiteral("2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \n"));
    QCOMPARE(run.App().RecentFiles().Path(0), strPath);
    // The link is ready and the log cannot be typed into, also without a New.
    QVERIFY(run.View()->IsReadOnly());
    QVERIFY(run.Doc()->m_link.m_pView != nullptr);
}

void CAppFrameTest::startWithUnknownFlag()
{
    CAppRun run({QStringLiteral("-frobnicate"), QStringLiteral("/x")});
    QVERIFY(run.Started());
    QCOMPARE(run.Frame()->windowTitle(), QStringLiteral("Untitled - Oxilume V1.1"));
    QVERIFY(m_pBoxes->Texts().isEmpty());
}

void CAppFrameTest::startWithUpperCaseP()
{
    const QString strPath = m_dirFiles.filePath(QStringLiteral("upper.txt"));
    WriteFile(strPath, "line\r\n");
    CAppRun run({QStringLiteral("-P"), strPath});
    // Not the print flag: the file simply opens and the window shows.
    QVERIFY(run.Started());
    QVERIFY(run.Frame()->isVisible());
    QCOMPARE(LogText(run.View()), QStringLiteral("line\n"));
}

void CAppFrameTest::startWithMissingFile()
{
    CAppRun run({m_dirFiles.filePath(QStringLiteral("no such file"))});
    QVERIFY(!run.Started());
    QCOMPARE(m_pBoxes->Texts().size(), 1);
}

void CAppFrameTest::recentFilesFiveStored()
{
    QStringList listPaths;
    {
        QSettings settings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Oxilume V1.1"));
        settings.beginGroup(QStringLiteral("Recent File List"));
        for (int i = 1; i <= 5; ++i)
        {
            const QString strPath = m_dirFiles.filePath(QStringLiteral("log%1.txt").arg(i));
            WriteFile(strPath, QByteArray("file ") + QByteArray::number(i) + "\r\n");
            listPaths.append(strPath);
            settings.setValue(QStringLiteral("File%1").arg(i), strPath);
        }
    }
    {
        CAppRun run;
        QCOMPARE(run.App().RecentFiles().Paths(), listPaths.mid(0, 4));
        QList<QString> listTexts;
        for (int nId = 57616; nId <= 57619; ++nId)
        {
            QVERIFY(run.Frame()->Action(nId)->isVisible());
            listTexts.append(run.Frame()->Action(nId)->text());
        }
        QVERIFY(listTexts.at(0).startsWith(QStringLiteral("&1 ")));
        QVERIFY(listTexts.at(3).startsWith(QStringLiteral("&4 ")));
        for (const QString& strText : listTexts)
            QVERIFY(strText.length() <= 3 + 30);

        // Opening the third makes it the first.
        run.Frame()->OnCommand(57618);
        QCOMPARE(LogText(run.View()), QStringLiteral("file 3\n"));
        QCOMPARE(run.App().RecentFiles().Path(0), listPaths.at(2));
        QCOMPARE(run.App().RecentFiles().Path(1), listPaths.at(0));
    }
    // Written back at exit, most recent first.
    QSettings settings(QStringLiteral("Local AppWizard-Generated Applications"), QStringLiteral("Oxilume V1.1"));
    settings.beginGroup(QStringLiteral("Recent File List"));
    QCOMPARE(settings.value(QStringLiteral("File1")).toString(), listPaths.at(2));
    QCOMPARE(settings.value(QStringLiteral("File2")).toString(), listPaths.at(0));
    QCOMPARE(settings.value(QStringLiteral("File4")).toString(), listPaths.at(3));
}

void CAppFrameTest::recentFileMenu()
{
    CAppRun run;
    QAction* pFirst = run.Frame()->Action(57616);
    QCOMPARE(pFirst->text(), QStringLiteral("Recent File"));
    run.Frame()->UpdateCommandUI();
    QVERIFY(!pFirst->isEnabled());
    QVERIFY(pFirst->isVisible());

    const QString strPath = m_dirFiles.filePath(QStringLiteral("a&b.txt"));
    WriteFile(strPath, "x\r\n");
    QVERIFY(run.App().OpenDocumentFile(strPath));
    run.Frame()->UpdateCommandUI();
    QVERIFY(pFirst->isEnabled());
    // The ampersand of the name shows as typed.
    QCOMPARE(pFirst->text(), QStringLiteral("&1 ") + CRecentFileList::AbbreviatePath(strPath).replace("&", "&&"));

    // A listed file that has gone leaves the list when chosen.
    QVERIFY(QFile::remove(strPath));
    run.Frame()->OnCommand(57616);
    QCOMPARE(run.App().RecentFiles().Count(), 0);
    QCOMPARE(pFirst->text(), QStringLiteral("Recent File"));
}

void CAppFrameTest::abbreviatePath_data()
{
    QTest::addColumn<QString>("strPath");
    QTest::addColumn<QString>("strShown");
    QTest::newRow("short") << "/home/ann/log.txt" << "/home/ann/log.txt";
    QTest::newRow("exactly 30") << "/home/ann/abcdefghijklmn/x.txt" << "/home/ann/abcdefghijklmn/x.txt";
    QTest::newRow("long") << "/home/ann/oximeter/logs/2023/may/night.txt" << "/home/.../2023/may/night.txt";
    QTest::newRow("long folder") << "/home/averyveryverylongfoldername/x/night.txt" << "/home/.../x/night.txt";
    QTest::newRow("long first") << "/averyveryverylongfoldername/x/night.txt" << ".../night.txt";
    QTest::newRow("long name") << "/home/ann/a-very-long-file-name-of-the-log.txt"
                               << "a-very-long-file-name-of-the-log.txt";
}

void CAppFrameTest::abbreviatePath()
{
    QFETCH(QString, strPath);
    QFETCH(QString, strShown);
    const QString strResult = CRecentFileList::AbbreviatePath(strPath);
    QCOMPARE(strResult, strShown);
}

QTEST_MAIN(CAppFrameTest)
#include "tst_appframe.moc"
