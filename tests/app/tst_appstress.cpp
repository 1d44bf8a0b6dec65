// 200 links in a row against the emulator, each started, given a burst of
// lines (a download) and then ended one of three ways: COM Port Stop, File
// New or closing the window. A watchdog ends the run if any cycle hangs.
#include <QTest>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "AppTestSupport.h"
#include "DeviceEmulator.h"
#include "app/MainFrame.h"
#include "app/OxilumeApp.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

using namespace AppTest;

namespace
{
constexpr int kCycles = 200;
constexpr int kLong = 60000;
// No single cycle may take this long, however loaded the machine.
constexpr int kHangSeconds = 180;

class CWatchdog
{
public:
    CWatchdog()
        : m_thread([this] {
              while (!m_bDone.load())
              {
                  std::this_thread::sleep_for(std::chrono::milliseconds(200));
                  const auto tIdle = std::chrono::steady_clock::now() - Last();
                  if (tIdle > std::chrono::seconds(kHangSeconds))
                  {
                      std::fprintf(stderr, "watchdog: cycle %d hangs, %s\n", m_nCycle.load(), m_pszStep.load());
                      std::abort();
                  }
              }
          })
    {
        Progress(0, "start");
    }
    ~CWatchdog()
    {
        m_bDone.store(true);
        m_thread.join();
    }
    void Progress(int nCycle, const char* pszStep)
    {
        m_nCycle.store(nCycle);
        m_pszStep.store(pszStep);
        m_nLast.store(std::chrono::steady_clock::now().time_since_epoch().count());
    }

private:
    std::chrono::steady_clock::time_point Last() const
    {
        return std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(m_nLast.load()));
    }
    std::atomic<bool> m_bDone{false};
    std::atomic<int> m_nCycle{0};
    std::atomic<const char*> m_pszStep{""};
    std::atomic<std::chrono::steady_clock::rep> m_nLast{0};
    std::thread m_thread;
};
}  // namespace

class CAppStressTest : public QObject
{
    Q_OBJECT

private slots:
    void startBurstEnd();
};

void CAppStressTest::startBurstEnd()
{
    CScopedSettings settings;
    CBoxAnswerer boxes;
    CEmulatorOptions options;
    options.m_nRecords = 40;
    CDeviceEmulator device(options);
    QVERIFY2(device.Start(), device.LastError().c_str());
    CSetupAnswer setup(QString::fromStdString(device.PortPath()));
    CWatchdog watchdog;
    const QString strConnected = QStringLiteral("Connection established successfully.");

    std::unique_ptr<CAppRun> pRun;
    int aEnds[3] = {0, 0, 0};
    for (int nCycle = 0; nCycle < kCycles; ++nCycle)
    {
        watchdog.Progress(nCycle, "start");
        if (!pRun)
        {
            pRun = std::make_unique<CAppRun>();
            QVERIFY(pRun->Started());
        }
        COxilumeDoc* pDoc = pRun->Doc();
        pDoc->OnClearScreen();
        QVERIFY2(pRun->Frame()->OnCommand(32773), qPrintable(QString::number(nCycle)));
        QVERIFY2(pDoc->m_link.IsLiveMode(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        QVERIFY(WaitFor([&] { return CountLines(pRun->View(), strConnected) >= 1; }, kLong));

        watchdog.Progress(nCycle, "burst");
        QVERIFY(pRun->Frame()->OnCommand(32775));
        QVERIFY(WaitFor([&] { return CountLines(pRun->View(), QStringLiteral("(")) >= 5; }, kLong));

        watchdog.Progress(nCycle, "end");
        const int nHow = nCycle % 3;
        ++aEnds[nHow];
        if (nHow == 0)
        {
            QVERIFY(pRun->Frame()->OnCommand(32774));
            QVERIFY(!pDoc->Controller()->HasWorker());
            QVERIFY(!pDoc->Controller()->IsPortOpen());
        }
        else if (nHow == 1)
        {
            QVERIFY(pRun->Frame()->OnCommand(57600));
            QVERIFY(!pDoc->Controller()->HasWorker());
            QVERIFY(!pDoc->Controller()->IsPortOpen());
            QCOMPARE(pDoc->m_bPortChosen.load(), 0);
        }
        else
        {
            QVERIFY(pRun->Close());
            QVERIFY(pDoc->Controller() == nullptr);
            pRun.reset();
        }
    }
    pRun.reset();
    watchdog.Progress(kCycles, "done");
    QCOMPARE(aEnds[0] + aEnds[1] + aEnds[2], kCycles);
    // Every start opened the port; the boxes were the ones a person would see.
    QCOMPARE(boxes.Count(QString::fromStdString(device.PortPath()) + QStringLiteral(" port succeed ")), kCycles);
}

QTEST_MAIN(CAppStressTest)
#include "tst_appstress.moc"
