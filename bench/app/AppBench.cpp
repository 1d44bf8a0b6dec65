// While a worker thread appends 1,300 lines a second (ScrollToEnd and
// InsertText through the window's hand-over queue) to a log that already
// holds 100,000 lines, a 2 ms timer on the UI thread measures how late it
// fires. Prints the longest stall against the 50 ms limit.
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "DeviceEmulator.h"
#include "app/MainFrame.h"
#include "app/OxilumeApp.h"
#include "app/ViewLinkAdapter.h"
#include "log/MessageBox.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

namespace
{
// The paced download of 10,000 records from the emulator into the window's
// log, against the wire time of its bytes: 10 bytes a record (9 of the
// frame, 1 m) at 86.8 us a byte.
void DownloadBenchmark()
{
    constexpr int kRecords = 10000;
    CEmulatorOptions options;
    options.m_nRecords = kRecords;
    options.m_bPaced = true;
    CDeviceEmulator device(options);
    if (!device.Start())
        return;
    CMessageBox::SetAnswerer([](const QString&, CMessageBox::EButtons) { return int(CMessageBox::IDOK); });
    const QString strPort = QString::fromStdString(device.PortPath());
    COxilumeDoc::SetSetupRunner([strPort](CComSetupDlg& dlg, QWidget*) {
        dlg.m_strComPort = strPort;
        return 1;
    });
    COxilumeApp app;
    if (!app.InitInstance({}))
        return;
    COxilumeView* pView = app.View();
    app.MainFrame()->OnCommand(32773);
    auto Has = [pView](const char* pszText) { return pView->toPlainText().contains(QLatin1String(pszText)); };
    while (!Has("Connection established"))
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    QElapsedTimer clock;
    clock.start();
    app.MainFrame()->OnCommand(32775);
    while (!Has("End of Data Tranmission"))
    {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        if (clock.elapsed() > 120000)
            break;
    }
    const double dSeconds = clock.nsecsElapsed() / 1e9;
    const double dWire = kRecords * 10 * 86.8e-6;
    std::printf("paced download of %d records: %.2f s, wire time %.2f s, ratio %.3f (target <= 1.20)\n", kRecords,
                dSeconds, dWire, dSeconds / dWire);
    app.MainFrame()->OnCommand(32774);
    app.ExitInstance();
    CMessageBox::SetAnswerer({});
    COxilumeDoc::SetSetupRunner({});
}
}  // namespace

int main(int argc, char** argv)
{
    QApplication a(argc, argv);
    QMainWindow window;
    auto* pView = new COxilumeView(&window);
    window.setCentralWidget(pView);
    window.resize(760, 520);
    window.show();
    std::atomic<std::int32_t> bPortChosen{1};
    CViewLinkAdapter adapter(*pView, bPortChosen);

    std::string strFill;
    for (int i = 0; i < 100000; ++i)
        strFill += "(" + std::to_string(i + 1) + "/100000) 2023-5-7 22:04:39 Spo2: 96 (%) HR: 62 (bpm) \r\n";
    pView->ScrollToEnd();
    pView->InsertText(strFill);
    QApplication::processEvents();

    constexpr int kSeconds = 10;
    constexpr int kLinesPerSecond = 1300;
    std::atomic<bool> bDone{false};
    std::thread worker([&] {
        const auto tStart = std::chrono::steady_clock::now();
        for (int n = 0; n < kSeconds * kLinesPerSecond; ++n)
        {
            std::this_thread::sleep_until(tStart + std::chrono::microseconds(1000000LL * n / kLinesPerSecond));
            adapter.ScrollToEnd();
            adapter.InsertText("2023-5-7 22:04:39 Spo2: 96 (%) HR: 62 (bpm) \r\n");
        }
        bDone.store(true);
    });

    std::vector<qint64> vecLate;
    QElapsedTimer clock;
    clock.start();
    qint64 nLast = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(2);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 nNow = clock.nsecsElapsed();
        if (nLast)
            vecLate.push_back(nNow - nLast - 2000000);
        nLast = nNow;
        if (bDone.load())
            a.quit();
    });
    tick.start();
    a.exec();
    worker.join();

    std::sort(vecLate.begin(), vecLate.end());
    const double dMaxMs = vecLate.empty() ? 0 : vecLate.back() / 1e6;
    const double dP99Ms = vecLate.empty() ? 0 : vecLate[vecLate.size() * 99 / 100] / 1e6;
    std::printf("lines in log: %d\n", pView->blockCount());
    std::printf("longest UI stall: %.1f ms (limit 50 ms, ratio %.2f); 99th percentile %.2f ms\n", dMaxMs,
                dMaxMs / 50.0, dP99Ms);
    std::fflush(stdout);
    window.hide();
    DownloadBenchmark();
    return 0;
}
