#include <QtTest>
#include <thread>

#include "log/OxilumeView.h"

namespace
{
// Records every timer id the view's timer handling sees.
class CRecordingView : public COxilumeView
{
public:
    QList<int> m_ids;

protected:
    void OnTimer(int nIdEvent) override
    {
        m_ids << nIdEvent;
        COxilumeView::OnTimer(nIdEvent);
    }
};
}  // namespace

class CLogTicksTest : public QObject
{
    Q_OBJECT

private slots:
    void OnlyTimer2000Counts_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<bool>("counts");
        QTest::newRow("2000") << 2000 << true;
        QTest::newRow("1999") << 1999 << false;
        QTest::newRow("2001") << 2001 << false;
        QTest::newRow("0") << 0 << false;
    }

    void OnlyTimer2000Counts()
    {
        QFETCH(int, id);
        QFETCH(bool, counts);
        CRecordingView view;
        view.SetTimer(id, 20);
        QTRY_VERIFY_WITH_TIMEOUT(view.m_ids.size() >= 3, 20000);
        view.KillTimer(id);
        QVERIFY(!view.IsTimerRunning(id));
        // Every tick reached the handling, whatever its id.
        QVERIFY(std::all_of(view.m_ids.begin(), view.m_ids.end(), [id](int n) { return n == id; }));
        QCOMPARE(view.m_nTicks.load(), counts ? int(view.m_ids.size()) : 0);
    }

    // A timer message the view did not start (another object's id) passes on
    // to the widget's handling without counting.
    void ForeignTimerEventDoesNotCount()
    {
        CRecordingView view;
        QTimerEvent event(2000);
        QCoreApplication::sendEvent(&view, &event);
        QCOMPARE(view.m_nTicks.load(), 0);
        QVERIFY(view.m_ids.isEmpty());
    }

    void StartAndStopFromAnotherThread()
    {
        COxilumeView view;
        std::thread([&view] { view.StartTickTimer(); }).join();
        QTRY_VERIFY_WITH_TIMEOUT(view.m_nTicks.load() >= 3, 20000);
        QVERIFY(view.IsTimerRunning(COxilumeView::kTickTimerId));

        // The worker resets the counter with a plain store; restarting while
        // running keeps one timer.
        std::thread([&view] {
            view.m_nTicks.store(0);
            view.StartTickTimer();
        }).join();
        QTRY_VERIFY_WITH_TIMEOUT(view.m_nTicks.load() >= 2, 20000);

        std::thread([&view] { view.StopTickTimer(); }).join();
        QTRY_VERIFY_WITH_TIMEOUT(!view.IsTimerRunning(COxilumeView::kTickTimerId), 20000);
        const int nTicks = view.m_nTicks.load();
        QTest::qWait(350);
        QCOMPARE(view.m_nTicks.load(), nTicks);
    }

    void StartAndStopOnTheUiThread()
    {
        COxilumeView view;
        view.StartTickTimer();
        QVERIFY(view.IsTimerRunning(COxilumeView::kTickTimerId));
        QTRY_VERIFY_WITH_TIMEOUT(view.m_nTicks.load() >= 1, 20000);
        view.StopTickTimer();
        QVERIFY(!view.IsTimerRunning(COxilumeView::kTickTimerId));
    }
};

QTEST_MAIN(CLogTicksTest)
#include "LogTicksTest.moc"
