// The link commands in the window, against the device emulator on a real
// pseudo-terminal: enable rules, COM Setup and Start/Stop flows, a whole
// session with a download, File New, Clear Screen and Memory Stop during a
// download, the 20000-line question, "TX error", giving up, and closing the
// window while a download runs.
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "AppTestSupport.h"
#include "DeviceEmulator.h"
#include "WatchedPort.h"
#include "app/FileDialog.h"
#include "app/MainFrame.h"
#include "app/OxilumeApp.h"
#include "link/WireProtocol.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

using namespace AppTest;

namespace
{
constexpr int kLong = 60000;  // generous: the machine is shared and loaded
constexpr int kIdComSetup = 32772;
constexpr int kIdStart = 32773;
constexpr int kIdStop = 32774;
constexpr int kIdMemStart = 32775;
constexpr int kIdMemStop = 32776;
constexpr int kIdClear = 32771;

const QString kConnected = QStringLiteral("Connection established successfully.");

// Routes the document's port through a watched wrapper of the real port.
void WatchPorts(CAppRun& run, CWatchedPort::CCounters& counters)
{
    run.Doc()->Controller()->SetPortOpener([&counters](const std::string& strPort) -> std::unique_ptr<CSerialPort> {
        auto pReal = OpenSerialPort(strPort);
        if (!pReal)
            return nullptr;
        return std::make_unique<CWatchedPort>(std::move(pReal), counters);
    });
}

bool HasLiveLine(COxilumeView* pView)
{
    for (const QString& strLine : LogText(pView).split(QLatin1Char('\n')))
        if (strLine.startsWith(QStringLiteral("20")) && strLine.contains(QStringLiteral("Spo2: ")))
            return true;
    return false;
}

CEmulatorOptions PacedOptions(int nRecords)
{
    CEmulatorOptions options;
    options.m_nRecords = nRecords;
    options.m_bPaced = true;
    return options;
}
}  // namespace

class CAppLinkTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void enableRules_data();
    void enableRules();
    void startBeforeSetupOpensDialogAndCancelShowsNothing();
    void setupOkWithEmptyName();
    void failedOpenWithdrawsChoice();
    void fullSession();
    void fileNewDuringDownload();
    void clearScreenWhileLinesArrive();
    void memoryStopCancelThenOk();
    void linesOverLimit_data();
    void linesOverLimit();
    void txErrorShownOnUiThread();
    void workerGivesUpClosesPortOnce();
    void closeWindowDuringDownload();
    void fileOpenDuringLinkKeepsAppending();

private:
    std::unique_ptr<CScopedSettings> m_pSettings;
    std::unique_ptr<CBoxAnswerer> m_pBoxes;
    QTemporaryDir m_dirFiles;
};

void CAppLinkTest::init()
{
    m_pSettings = std::make_unique<CScopedSettings>();
    m_pBoxes = std::make_unique<CBoxAnswerer>();
}

void CAppLinkTest::cleanup()
{
    CFileDialog::SetChooser({});
    COxilumeDoc::SetSetupRunner({});
    m_pBoxes.reset();
    m_pSettings.reset();
}

void CAppLinkTest::enableRules_data()
{
    QTest::addColumn<int>("bStopped");
    QTest::addColumn<int>("bMemoryIdle");
    QTest::addColumn<QList<bool>>("listEnabled");  // Start, Stop, Memory Start, Memory Stop
    QTest::newRow("stopped") << 1 << 1 << QList<bool>{true, false, false, false};
    QTest::newRow("stopped, ending download") << 1 << 0 << QList<bool>{true, false, false, false};
    QTest::newRow("live") << 0 << 1 << QList<bool>{false, true, true, false};
    QTest::newRow("memory") << 0 << 0 << QList<bool>{false, true, false, true};
}

void CAppLinkTest::enableRules()
{
    QFETCH(int, bStopped);
    QFETCH(int, bMemoryIdle);
    QFETCH(QList<bool>, listEnabled);
    CAppRun run;
    run.Doc()->m_link.m_bStopped.store(bStopped);
    run.Doc()->m_link.m_bMemoryIdle.store(bMemoryIdle);
    run.Frame()->UpdateCommandUI();
    const int aIds[] = {kIdStart, kIdStop, kIdMemStart, kIdMemStop};
    for (int i = 0; i < 4; ++i)
    {
        QCOMPARE(run.Frame()->Action(aIds[i])->isEnabled(), listEnabled.at(i));
        QCOMPARE(run.Doc()->IsCommandEnabled(aIds[i]), listEnabled.at(i));
    }
    for (int nId : {kIdClear, kIdComSetup, 32777})
        QVERIFY(run.Frame()->Action(nId)->isEnabled());
    // A grey command does nothing when sent.
    if (!listEnabled.at(3))
    {
        QVERIFY(!run.Frame()->OnCommand(kIdMemStop));
        QVERIFY(m_pBoxes->Texts().isEmpty());
    }
    run.Doc()->m_link.m_bStopped.store(1);
    run.Doc()->m_link.m_bMemoryIdle.store(1);
}

void CAppLinkTest::startBeforeSetupOpensDialogAndCancelShowsNothing()
{
    CAppRun run;
    run.Frame()->show();
    bool bDialogSeen = false;
    QString strTitle;
    QTimer timer;
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, [&]() {
        QDialog* pWindow = run.Doc()->m_dlgSetup.Window();
        if (!pWindow || !pWindow->isVisible())
            return;
        timer.stop();
        bDialogSeen = true;
        strTitle = pWindow->windowTitle();
        run.Doc()->m_dlgSetup.m_pCancelButton->click();
    });
    timer.start();
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QVERIFY(bDialogSeen);
    QCOMPARE(strTitle, QStringLiteral("Setup"));
    QVERIFY(m_pBoxes->Texts().isEmpty());
    QVERIFY(run.Doc()->m_link.IsStopped());
    QCOMPARE(run.Doc()->m_bPortChosen.load(), 0);
    QVERIFY(!run.Doc()->Controller()->IsPortOpen());
}

void CAppLinkTest::setupOkWithEmptyName()
{
    CAppRun run;
    CSetupAnswer setup{QString()};
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QCOMPARE(setup.Calls(), 1);
    QCOMPARE(m_pBoxes->Texts(), QStringList{QStringLiteral("Plesae plug Wireless Dongle or USB cable!")});
    QCOMPARE(run.Doc()->m_bPortChosen.load(), 0);
    QVERIFY(run.Doc()->m_link.IsStopped());

    // COM Setup on its own: OK with a name chooses it, Cancel withdraws it.
    setup.Set(QStringLiteral("ttyUSB7"));
    QVERIFY(run.Frame()->OnCommand(kIdComSetup));
    QCOMPARE(run.Doc()->m_bPortChosen.load(), 1);
    QCOMPARE(run.Doc()->m_strPort, std::string("ttyUSB7"));
    setup.Set(QStringLiteral("ignored"), 2);
    QVERIFY(run.Frame()->OnCommand(kIdComSetup));
    QCOMPARE(run.Doc()->m_bPortChosen.load(), 0);
    QCOMPARE(run.Doc()->m_strPort, std::string("ttyUSB7"));
}

void CAppLinkTest::failedOpenWithdrawsChoice()
{
    CAppRun run;
    CSetupAnswer setup(QStringLiteral("/dev/oxilume-no-such-port"));
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QCOMPARE(m_pBoxes->Texts(), QStringList{QStringLiteral("/dev/oxilume-no-such-port port fails !!")});
    QCOMPARE(run.Doc()->m_bPortChosen.load(), 0);
    QVERIFY(run.Doc()->m_link.IsStopped());
    QVERIFY(!run.Doc()->Controller()->IsPortOpen());
    QVERIFY(run.Doc()->m_hComm == nullptr);
    // The next start asks for the port again.
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QCOMPARE(setup.Calls(), 2);
}

void CAppLinkTest::fullSession()
{
    CEmulatorOptions options;
    options.m_nRecords = 25;
    CDeviceEmulator device(options);
    QVERIFY2(device.Start(), device.LastError().c_str());
    const QString strPort = QString::fromStdString(device.PortPath());

    CAppRun run;
    run.Frame()->show();
    CWatchedPort::CCounters counters;
    WatchPorts(run, counters);
    CSetupAnswer setup(strPort);
    COxilumeView* pView = run.View();

    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QCOMPARE(m_pBoxes->Texts(), QStringList{strPort + QStringLiteral(" port succeed ")});
    QVERIFY(run.Doc()->m_link.IsLiveMode());
    run.Frame()->UpdateCommandUI();
    QVERIFY(!run.Frame()->Action(kIdStart)->isEnabled());
    QVERIFY(run.Frame()->Action(kIdStop)->isEnabled());

    QVERIFY(WaitFor([&] { return CountLines(pView, kConnected) == 1; }, kLong));
    // The live readings start once q has gone out, some nine seconds later.
    QVERIFY(WaitFor([&] { return HasLiveLine(pView); }, kLong));

    QVERIFY(run.Frame()->OnCommand(kIdMemStart));
    QVERIFY(run.Doc()->m_link.IsMemoryMode() || CountLines(pView, QStringLiteral("End of Data Tranmission")) == 1);
    QVERIFY(WaitFor([&] { return CountLines(pView, QStringLiteral("End of Data Tranmission")) == 1; }, kLong));
    QCOMPARE(CountLines(pView, QStringLiteral("Total number of Memory Data : 25 ")), 1);
    QStringList listRecords;
    for (const QString& strLine : LogText(pView).split(QLatin1Char('\n')))
        if (strLine.startsWith(QLatin1Char('(')))
            listRecords.append(strLine);
    QCOMPARE(listRecords.size(), 25);
    for (int i = 0; i < 25; ++i)
        QVERIFY2(listRecords.at(i).startsWith(QStringLiteral("(%1/25) 20").arg(i + 1)), qPrintable(listRecords.at(i)));
    // Back in live mode: a download can be asked for again.
    QVERIFY(WaitFor([&] { return run.Doc()->m_link.IsLiveMode(); }, kLong));

    m_pBoxes->Clear();
    QVERIFY(run.Frame()->OnCommand(kIdStop));
    QCOMPARE(m_pBoxes->Texts(), QStringList{QStringLiteral("End of Connection")});
    // Waited for with the event loop running: the worker may be waiting for a
    // log line that only this thread can write.
    QVERIFY(WaitFor([&] { return device.CommandCount(WireProtocol::kCmdStop) > 0; }, kLong));
    QVERIFY(run.Doc()->m_link.IsStopped());
    QVERIFY(!run.Doc()->Controller()->IsPortOpen());
    QVERIFY(!run.Doc()->Controller()->HasWorker());
    QCOMPARE(counters.m_nCloses.load(), 1);
    QCOMPARE(run.Doc()->m_bPortChosen.load(), 1);

    // The same port again, without the dialog.
    m_pBoxes->Clear();
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QCOMPARE(setup.Calls(), 1);
    QCOMPARE(m_pBoxes->Texts(), QStringList{strPort + QStringLiteral(" port succeed ")});
    QVERIFY(WaitFor([&] { return CountLines(pView, kConnected) == 2; }, kLong));
    QVERIFY(run.Frame()->OnCommand(kIdStop));
    QCOMPARE(counters.m_nOpens.load(), 2);
    QCOMPARE(counters.m_nCloses.load(), 2);
}

void CAppLinkTest::fileNewDuringDownload()
{
    CDeviceEmulator device(PacedOptions(3000));
    QVERIFY2(device.Start(), device.LastError().c_str());
    CAppRun run;
    CWatchedPort::CCounters counters;
    WatchPorts(run, counters);
    CSetupAnswer setup(QString::fromStdString(device.PortPath()));

    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), kConnected) == 1; }, kLong));
    QVERIFY(run.Frame()->OnCommand(kIdMemStart));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), QStringLiteral("(")) >= 50; }, kLong));

    m_pBoxes->Clear();
    QVERIFY(run.Frame()->OnCommand(57600));
    QCOMPARE(m_pBoxes->Texts(), QStringList{QStringLiteral("Save changes to Untitled?")});
    QCOMPARE(LogText(run.View()), QString());
    QVERIFY(run.Doc()->m_link.IsStopped());
    QCOMPARE(run.Doc()->m_link.m_bMemoryIdle.load(), 1);
    QCOMPARE(run.Doc()->m_bPortChosen.load(), 0);
    QCOMPARE(run.Doc()->m_strPort, std::string("COMX"));
    QVERIFY(!run.Doc()->Controller()->HasWorker());
    QVERIFY(!run.Doc()->Controller()->IsPortOpen());
    QCOMPARE(counters.m_nCloses.load(), 1);
    // Ended without the stop command, and nothing more arrives.
    QTest::qWait(300);
    QCOMPARE(LogText(run.View()), QString());
    QCOMPARE(device.CommandCount(WireProtocol::kCmdStop), std::size_t(0));
    // The next start asks for a port first.
    setup.Set(QStringLiteral("/dev/oxilume-no-such-port"), 2);
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QCOMPARE(setup.Calls(), 2);
}

void CAppLinkTest::clearScreenWhileLinesArrive()
{
    CDeviceEmulator device(PacedOptions(3000));
    QVERIFY2(device.Start(), device.LastError().c_str());
    CAppRun run;
    CSetupAnswer setup(QString::fromStdString(device.PortPath()));
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), kConnected) == 1; }, kLong));
    QVERIFY(run.Frame()->OnCommand(kIdMemStart));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), QStringLiteral("(")) >= 20; }, kLong));

    QVERIFY(run.Frame()->OnCommand(kIdClear));
    QCOMPARE(run.View()->LineCount(), 1);
    QCOMPARE(LogText(run.View()), QString());
    QVERIFY(run.Doc()->m_link.IsMemoryMode());
    // The download goes on into the emptied log, its numbers counting on.
    QVERIFY(WaitFor([&] { return CountLines(run.View(), QStringLiteral("(")) >= 20; }, kLong));
    QVERIFY(!LogText(run.View()).startsWith(QStringLiteral("(1/3000)")));
    QVERIFY(run.Frame()->OnCommand(32777));
    QCOMPARE(LogText(run.View()), QString());
    QVERIFY(run.Frame()->OnCommand(kIdStop));
}

void CAppLinkTest::memoryStopCancelThenOk()
{
    CDeviceEmulator device(PacedOptions(3000));
    QVERIFY2(device.Start(), device.LastError().c_str());
    CAppRun run;
    CSetupAnswer setup(QString::fromStdString(device.PortPath()));
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), kConnected) == 1; }, kLong));
    QVERIFY(run.Frame()->OnCommand(kIdMemStart));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), QStringLiteral("(")) >= 10; }, kLong));

    m_pBoxes->Answer(QStringLiteral("Are you sure"), CMessageBox::IDCANCEL);
    QVERIFY(run.Frame()->OnCommand(kIdMemStop));
    QCOMPARE(m_pBoxes->Count(QStringLiteral("Are you sure to stop memory tranmission?")), 1);
    QCOMPARE(run.Doc()->m_link.m_bMemoryIdle.load(), 0);
    QCOMPARE(run.Doc()->m_link.m_bStopMemory.load(), 0);
    const int nBefore = CountLines(run.View(), QStringLiteral("("));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), QStringLiteral("(")) > nBefore + 5; }, kLong));

    CBoxAnswerer okBoxes;
    QVERIFY(run.Frame()->OnCommand(kIdMemStop));
    QCOMPARE(run.Doc()->m_link.m_bMemoryIdle.load(), 1);
    run.Frame()->UpdateCommandUI();
    QVERIFY(run.Frame()->Action(kIdMemStart)->isEnabled());
    // Waited for with the event loop running: the worker may be waiting for a
    // log line that only this thread can write.
    QVERIFY(WaitFor([&] { return device.CommandCount(WireProtocol::kCmdStop) > 0; }, kLong));
    QVERIFY(WaitFor([&] { return run.Doc()->m_link.m_bStopMemory.load() == 0; }, kLong));
    QVERIFY(run.Frame()->OnCommand(kIdStop));
}

void CAppLinkTest::linesOverLimit_data()
{
    QTest::addColumn<int>("nLines");
    QTest::addColumn<int>("nAnswer");
    QTest::addColumn<bool>("bChooseFile");
    QTest::addColumn<bool>("bAsked");
    QTest::addColumn<bool>("bEmptied");
    QTest::addColumn<bool>("bSaved");
    QTest::newRow("20000: nothing asked") << 20000 << 0 << false << false << false << false;
    QTest::newRow("20001, Yes and saved") << 20001 << int(CMessageBox::IDYES) << true << true << true << true;
    QTest::newRow("20001, Yes and cancelled") << 20001 << int(CMessageBox::IDYES) << false << true << true << false;
    QTest::newRow("20001, No") << 20001 << int(CMessageBox::IDNO) << false << true << true << false;
}

void CAppLinkTest::linesOverLimit()
{
    QFETCH(int, nLines);
    QFETCH(int, nAnswer);
    QFETCH(bool, bChooseFile);
    QFETCH(bool, bAsked);
    QFETCH(bool, bEmptied);
    QFETCH(bool, bSaved);

    CAppRun run;
    run.Frame()->show();
    std::string strText;
    for (int i = 1; i < nLines; ++i)
        strText += "L\r\n";
    run.View()->ScrollToEnd();
    run.View()->InsertText(strText);
    QCOMPARE(run.View()->LineCount(), nLines);

    const QString strPath = m_dirFiles.filePath(QStringLiteral("before-download-%1").arg(QTest::currentDataTag()));
    int nDialogs = 0;
    CFileDialog::SetChooser([&](CFileDialog::EKind eKind, const QString&) {
        ++nDialogs;
        return eKind == CFileDialog::SaveAs && bChooseFile ? strPath : QString();
    });
    if (nAnswer)
        m_pBoxes->Answer(QStringLiteral("Please save"), nAnswer);

    // As a running link would see it: live mode.
    run.Doc()->m_link.m_bStopped.store(0);
    run.Doc()->OnMemoryStart();
    QCOMPARE(run.Doc()->m_link.m_bMemoryIdle.load(), 0);
    run.Doc()->m_link.m_bStopped.store(1);
    run.Doc()->m_link.m_bMemoryIdle.store(1);

    QCOMPARE(m_pBoxes->Count(QStringLiteral("Please save to File before next Transmission")), bAsked ? 1 : 0);
    QCOMPARE(nDialogs, nAnswer == CMessageBox::IDYES ? 1 : 0);
    QCOMPARE(run.View()->LineCount() == 1, bEmptied);
    QCOMPARE(QFile::exists(strPath), bSaved);
    if (bSaved)
    {
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().count("\r\n"), nLines - 1);
        QCOMPARE(run.Frame()->windowTitle(), QFileInfo(strPath).fileName() + QStringLiteral(" - Oxilume V1.1"));
    }
}

void CAppLinkTest::txErrorShownOnUiThread()
{
    CDeviceEmulator device;
    QVERIFY2(device.Start(), device.LastError().c_str());
    CAppRun run;
    CWatchedPort::CCounters counters;
    counters.m_nFailWrites.store(1);  // the handshake byte
    WatchPorts(run, counters);
    CSetupAnswer setup(QString::fromStdString(device.PortPath()));
    bool bOnUiThread = false;
    m_pBoxes->OnBox([&](const QString& strText) {
        if (strText == QLatin1String("TX error"))
            bOnUiThread = QThread::currentThread() == QApplication::instance()->thread();
    });
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QVERIFY(WaitFor([&] { return m_pBoxes->Count(QStringLiteral("TX error")) == 1; }, kLong));
    QVERIFY(bOnUiThread);
    // The handshake never went out, so no answer comes; Stop still ends it all.
    QVERIFY(run.Frame()->OnCommand(kIdStop));
    QCOMPARE(m_pBoxes->Count(QStringLiteral("End of Connection")), 1);
    QCOMPARE(counters.m_nCloses.load(), 1);
    QCOMPARE(CountLines(run.View(), kConnected), 0);
}

void CAppLinkTest::workerGivesUpClosesPortOnce()
{
    CEmulatorOptions options;
    options.m_nSilenceAfter = 1;  // one live frame, then silence
    CDeviceEmulator device(options);
    QVERIFY2(device.Start(), device.LastError().c_str());
    CAppRun run;
    CWatchedPort::CCounters counters;
    WatchPorts(run, counters);
    CSetupAnswer setup(QString::fromStdString(device.PortPath()));
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), kConnected) == 1; }, kLong));
    // q, x three times, then the failure line.
    QVERIFY(WaitFor([&] {
        return CountLines(run.View(), QStringLiteral("**** Connection failed. Please check connection. ****")) == 1;
    }, 2 * kLong));
    QVERIFY(WaitFor([&] { return !run.Doc()->Controller()->HasWorker(); }, kLong));
    QVERIFY(run.Doc()->m_link.IsStopped());
    QCOMPARE(run.Doc()->m_bPortChosen.load(), 0);
    QCOMPARE(counters.m_nCloses.load(), 1);
    QVERIFY(run.Doc()->m_hComm == nullptr);
    // File New after that closes nothing a second time.
    QVERIFY(run.Frame()->OnCommand(57600));
    QCOMPARE(counters.m_nCloses.load(), 1);
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QCOMPARE(setup.Calls(), 2);
    QVERIFY(run.Frame()->OnCommand(kIdStop));
    QCOMPARE(counters.m_nCloses.load(), 2);
}

void CAppLinkTest::closeWindowDuringDownload()
{
    CDeviceEmulator device(PacedOptions(3000));
    QVERIFY2(device.Start(), device.LastError().c_str());
    CWatchedPort::CCounters counters;
    {
        CAppRun run;
        run.Frame()->show();
        WatchPorts(run, counters);
        CSetupAnswer setup(QString::fromStdString(device.PortPath()));
        QVERIFY(run.Frame()->OnCommand(kIdStart));
        QVERIFY(WaitFor([&] { return CountLines(run.View(), kConnected) == 1; }, kLong));
        QVERIFY(run.Frame()->OnCommand(kIdMemStart));
        QVERIFY(WaitFor([&] { return CountLines(run.View(), QStringLiteral("(")) >= 20; }, kLong));
        QVERIFY(run.Close());
        QVERIFY(!run.Frame()->isVisible());
        QVERIFY(run.Doc()->Controller() == nullptr);
        QCOMPARE(counters.m_nCloses.load(), 1);
        QCOMPARE(m_pBoxes->Count(QStringLiteral("Save changes to Untitled?")), 1);
    }
    QCOMPARE(counters.m_nCloses.load(), 1);
    QCOMPARE(device.CommandCount(WireProtocol::kCmdStop), std::size_t(0));
}

void CAppLinkTest::fileOpenDuringLinkKeepsAppending()
{
    const QString strPath = m_dirFiles.filePath(QStringLiteral("earlier.txt"));
    {
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("earlier line\r\n");
    }
    CDeviceEmulator device(PacedOptions(3000));
    QVERIFY2(device.Start(), device.LastError().c_str());
    CAppRun run;
    CSetupAnswer setup(QString::fromStdString(device.PortPath()));
    QVERIFY(run.Frame()->OnCommand(kIdStart));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), kConnected) == 1; }, kLong));
    QVERIFY(run.Frame()->OnCommand(kIdMemStart));
    QVERIFY(WaitFor([&] { return CountLines(run.View(), QStringLiteral("(")) >= 10; }, kLong));

    CFileDialog::SetChooser([&](CFileDialog::EKind, const QString&) { return strPath; });
    QVERIFY(run.Frame()->OnCommand(57601));
    QVERIFY(LogText(run.View()).startsWith(QStringLiteral("earlier line\n")));
    QVERIFY(run.Doc()->m_link.IsMemoryMode());
    QVERIFY(WaitFor([&] { return CountLines(run.View(), QStringLiteral("(")) >= 10; }, kLong));
    QVERIFY(LogText(run.View()).startsWith(QStringLiteral("earlier line\n")));
    QVERIFY(run.Frame()->OnCommand(kIdStop));
}

QTEST_MAIN(CAppLinkTest)
#include "tst_applink.moc"
