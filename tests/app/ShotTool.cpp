// Takes screenshots of the running program in demo mode for a person to
// look at: the main window with live lines and a download, the COM Setup
// dialog, the About box, a message box and the help window. Run under an X
// server (xvfb-run); the pictures are what the X server shows.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <cstdio>

#include "AppTestSupport.h"
#include "app/MainFrame.h"
#include "app/OxilumeApp.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

namespace
{
QString g_strFolder;

void Shot(const QString& strName, QWidget* pWidget = nullptr)
{
    QTest::qWait(400);
    QScreen* pScreen = QGuiApplication::primaryScreen();
    QPixmap pm = pWidget ? pScreen->grabWindow(0, pWidget->frameGeometry().x(), pWidget->frameGeometry().y(),
                                               pWidget->frameGeometry().width(), pWidget->frameGeometry().height())
                         : pScreen->grabWindow(0);
    const QString strPath = QDir(g_strFolder).filePath(strName + QStringLiteral(".png"));
    pm.save(strPath);
    std::printf("%s\n", qPrintable(strPath));
}

// Runs fn on the next modal window, from inside its loop.
void OnModal(std::function<void(QWidget*)> fn)
{
    auto* pTimer = new QTimer;
    pTimer->setInterval(50);
    QObject::connect(pTimer, &QTimer::timeout, [pTimer, fn]() {
        if (QWidget* p = QApplication::activeModalWidget())
        {
            pTimer->stop();
            pTimer->deleteLater();
            fn(p);
        }
    });
    pTimer->start();
}
}  // namespace

int main(int argc, char** argv)
{
    QApplication a(argc, argv);
    g_strFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(g_strFolder);
    AppTest::CScopedSettings settings;

    COxilumeApp app;
    if (!app.InitInstance({QStringLiteral("-demo")}))
        return 1;
    CMainFrame* pFrame = app.MainFrame();
    pFrame->move(20, 20);
    pFrame->resize(760, 520);
    QTest::qWait(500);
    Shot(QStringLiteral("01-start"));

    // COM Setup as the user sees it: the demo port preselected.
    OnModal([](QWidget* pDialog) {
        Shot(QStringLiteral("02-com-setup"), pDialog);
        QTest::keyClick(pDialog, Qt::Key_Return);
    });
    pFrame->OnCommand(32772);

    // The first message box for real, then the rest answered.
    OnModal([](QWidget* pBox) {
        Shot(QStringLiteral("03-port-succeed"), pBox);
        if (auto* p = qobject_cast<QMessageBox*>(pBox))
            p->accept();
    });
    pFrame->OnCommand(32773);
    AppTest::CBoxAnswerer boxes;
    AppTest::WaitFor([&] { return AppTest::CountLines(app.View(), QStringLiteral("20")) >= 3; }, 40000);
    Shot(QStringLiteral("04-live-lines"));

    pFrame->OnCommand(32775);
    AppTest::WaitFor([&] { return AppTest::CountLines(app.View(), QStringLiteral("End of Data")) >= 1; }, 60000);
    QTest::qWait(300);
    Shot(QStringLiteral("05-download-done"));

    OnModal([](QWidget* pAbout) {
        Shot(QStringLiteral("06-about"), pAbout);
        QTest::keyClick(pAbout, Qt::Key_Escape);
    });
    app.OnAppAbout();

    pFrame->OnCommand(32774);
    app.OnHelpHowToUse();
    app.HelpWindow()->move(60, 40);
    QTest::qWait(300);
    Shot(QStringLiteral("07-help"));
    app.HelpWindow()->close();

    // The File menu open, the pointer resting on an item.
    pFrame->activateWindow();
    QTest::keyClick(pFrame, Qt::Key_F, Qt::AltModifier);
    QTest::qWait(300);
    Shot(QStringLiteral("08-file-menu"));
    QTest::keyClick(QApplication::activePopupWidget() ? QApplication::activePopupWidget() : pFrame, Qt::Key_Escape);

    pFrame->close();
    app.ExitInstance();
    return 0;
}
