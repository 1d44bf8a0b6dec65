// The COM Setup dialog on real widgets: what each opening shows, what OK,
// Enter, Cancel, Esc and the close box leave in m_strComPort.

#include "ComSetupDlg.h"
#include "PortSource.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace
{
class CTablePortSource : public CPortSource
{
public:
    std::vector<std::string> m_adapters;
    std::vector<SPresentPort> m_present;

    std::vector<std::string> ReadAdapterNames() override { return m_adapters; }
    std::optional<std::vector<SPresentPort>> ReadPresentPorts() override { return m_present; }

    // Ports that discovery offers, by the Bluetooth rule.
    void Offer(const std::vector<std::string>& ports)
    {
        m_adapters.clear();
        m_present.clear();
        for (const auto& strPort : ports)
            m_present.push_back({"\\Device\\BthModem0", strPort});
    }
};

// What the dialog showed when it had opened.
struct SSeen
{
    bool bShown = false;
    QString strCaption;
    QString strEditText;
    QStringList items;
    int nCurrent = -2;
    QWidget* pFocus = nullptr;
    bool bOkIsDefault = false;
    QRect rcDialog;
    QStringList labels;
    QList<QWidget*> tabChain;
};

// Runs DoModal; once the window is up, records what it shows and hands it to
// fnAct, which must close it. A dialog still open after a long wait is
// rejected so a failing test cannot hang.
int RunDialog(CComSetupDlg& dlg, SSeen& seen, const std::function<void(CComSetupDlg&)>& fnAct,
              QWidget* pOwner = nullptr)
{
    auto* pPoll = new QTimer;
    pPoll->setInterval(10);
    QElapsedTimer clock;
    clock.start();
    QObject::connect(pPoll, &QTimer::timeout, [&, pPoll] {
        QDialog* pWindow = dlg.Window();
        if (pWindow && pWindow->isVisible())
        {
            pPoll->stop();
            seen.bShown = true;
            seen.strCaption = pWindow->windowTitle();
            seen.strEditText = dlg.m_wndPortCombo->currentText();
            for (int i = 0; i < dlg.m_wndPortCombo->count(); ++i)
                seen.items << dlg.m_wndPortCombo->itemText(i);
            seen.nCurrent = dlg.m_wndPortCombo->currentIndex();
            seen.pFocus = pWindow->focusWidget();
            seen.bOkIsDefault = dlg.m_pOkButton->isDefault();
            seen.rcDialog = pWindow->geometry();
            for (auto* pLabel : pWindow->findChildren<QLabel*>())
                seen.labels << pLabel->text();
            QWidget* pWidget = dlg.m_pOkButton;
            for (int i = 0; i < 3; ++i)
            {
                seen.tabChain << pWidget;
                pWidget = pWidget->nextInFocusChain();
                while (pWidget && pWidget->focusPolicy() == Qt::NoFocus)
                    pWidget = pWidget->nextInFocusChain();
            }
            fnAct(dlg);
        }
        else if (clock.elapsed() > 30000)
        {
            pPoll->stop();
            if (pWindow)
                pWindow->reject();
        }
    });
    pPoll->start();
    const int nResult = dlg.DoModal(pOwner);
    delete pPoll;
    return nResult;
}

void ClickOk(CComSetupDlg& dlg)
{
    QTest::mouseClick(dlg.m_pOkButton, Qt::LeftButton);
}
void ClickCancel(CComSetupDlg& dlg)
{
    QTest::mouseClick(dlg.m_pCancelButton, Qt::LeftButton);
}
void TypeText(CComSetupDlg& dlg, const QString& strText)
{
    QLineEdit* pEdit = dlg.m_wndPortCombo->lineEdit();
    pEdit->setFocus();
    pEdit->selectAll();
    QTest::keyClick(pEdit, Qt::Key_Delete);
    QTest::keyClicks(pEdit, strText);
}
} // namespace

class CComSetupDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void FirstOpeningWithNothingFound()
    {
        auto pSource = std::make_shared<CTablePortSource>();
        CComSetupDlg dlg;
        dlg.SetPortSource(pSource);
        SSeen seen;
        QCOMPARE(RunDialog(dlg, seen, ClickOk), 1);
        QVERIFY(seen.bShown);
        QCOMPARE(seen.strCaption, QString("Setup"));
        QCOMPARE(seen.labels, QStringList{"COM Port :"});
        QCOMPARE(seen.strEditText, QString());
        QVERIFY(seen.items.isEmpty());
        QVERIFY(seen.bOkIsDefault);
        QCOMPARE(dlg.m_strComPort, QString());
        QVERIFY(dlg.Window() == nullptr);
    }

    // OK first, then Cancel, then the combo box; the focus starts on OK.
    void TabOrderAndFocus()
    {
        auto pSource = std::make_shared<CTablePortSource>();
        pSource->Offer({"COM3"});
        CComSetupDlg dlg;
        dlg.SetPortSource(pSource);
        SSeen seen;
        QWidget* pOk = nullptr;
        QWidget* pCancel = nullptr;
        QWidget* pCombo = nullptr;
        QCOMPARE(RunDialog(dlg, seen,
                           [&](CComSetupDlg& d) {
                               pOk = d.m_pOkButton;
                               pCancel = d.m_pCancelButton;
                               pCombo = d.m_wndPortCombo;
                               ClickCancel(d);
                           }),
                 2);
        QCOMPARE(seen.pFocus, pOk);
        QCOMPARE(seen.tabChain.size(), 3);
        QCOMPARE(seen.tabChain[0], pOk);
        QCOMPARE(seen.tabChain[1], pCancel);
        // The editable combo box takes the focus through its line edit.
        QVERIFY(seen.tabChain[2] == pCombo || seen.tabChain[2]->parentWidget() == pCombo);
    }

    void EarlierChoiceKeptWhenNothingFound()
    {
        auto pSource = std::make_shared<CTablePortSource>();
        CComSetupDlg dlg;
        dlg.SetPortSource(pSource);
        SSeen first;
        QCOMPARE(RunDialog(dlg, first, [](CComSetupDlg& d) { TypeText(d, "COM3"); ClickOk(d); }), 1);
        QCOMPARE(dlg.m_strComPort, QString("COM3"));

        SSeen second;
        QCOMPARE(RunDialog(dlg, second, ClickOk), 1);
        QCOMPARE(second.strEditText, QString("COM3"));
        QCOMPARE(dlg.m_strComPort, QString("COM3"));
    }

    void PreselectionBeatsEarlierChoice()
    {
        auto pSource = std::make_shared<CTablePortSource>();
        CComSetupDlg dlg;
        dlg.SetPortSource(pSource);
        dlg.m_strComPort = "COM4";
        pSource->Offer({"COM4", "COM3"});
        SSeen seen;
        QCOMPARE(RunDialog(dlg, seen, ClickOk), 1);
        QCOMPARE(seen.items, (QStringList{"COM3", "COM4"}));
        QCOMPARE(seen.nCurrent, 0);
        QCOMPARE(seen.strEditText, QString("COM3"));
        QCOMPARE(dlg.m_strComPort, QString("COM3"));
    }

    // The list keeps the discovery order rule, repeats included, and the
    // second-to-last entry is preselected.
    void ListIsSortedTheDiscoveryWay()
    {
        auto pSource = std::make_shared<CTablePortSource>();
        pSource->Offer({"COM3", "com2", "COM10", "COM6", "COM6", "Com1"});
        CComSetupDlg dlg;
        dlg.SetPortSource(pSource);
        SSeen seen;
        QCOMPARE(RunDialog(dlg, seen, ClickOk), 1);
        QCOMPARE(seen.items, (QStringList{"Com1", "COM10", "com2", "COM3", "COM6", "COM6"}));
        QCOMPARE(seen.nCurrent, 4);
        QCOMPARE(dlg.m_strComPort, QString("COM6"));

        // Discovery runs afresh at each opening.
        pSource->Offer({"COM9"});
        SSeen again;
        QCOMPARE(RunDialog(dlg, again, ClickOk), 1);
        QCOMPARE(again.items, QStringList{"COM9"});
        QCOMPARE(dlg.m_strComPort, QString("COM9"));
    }

    // Typed text is taken as it stands: not in the list, blanks kept, by the
    // OK button or by Enter in the edit field.
    void TypedTextAccepted_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("button") << "COM7" << false;
        QTest::newRow("enter") << "COM7" << true;
        QTest::newRow("blanks kept") << " /dev/pts/3 " << false;
        QTest::newRow("cleared") << "" << true;
    }
    void TypedTextAccepted()
    {
        QFETCH(QString, typed);
        QFETCH(bool, byEnter);
        auto pSource = std::make_shared<CTablePortSource>();
        pSource->Offer({"COM3", "COM4"});
        CComSetupDlg dlg;
        dlg.SetPortSource(pSource);
        SSeen seen;
        const int nResult = RunDialog(dlg, seen, [&](CComSetupDlg& d) {
            TypeText(d, typed);
            if (byEnter)
                QTest::keyClick(d.m_wndPortCombo->lineEdit(), Qt::Key_Return);
            else
                ClickOk(d);
        });
        QCOMPARE(nResult, 1);
        QCOMPARE(dlg.m_strComPort, typed);
    }

    // Cancel, Esc and the close box all leave the earlier value.
    void DismissKeepsOldValue_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("cancel button") << 0;
        QTest::newRow("escape") << 1;
        QTest::newRow("close box") << 2;
    }
    void DismissKeepsOldValue()
    {
        QFETCH(int, how);
        auto pSource = std::make_shared<CTablePortSource>();
        pSource->Offer({"COM5"});
        CComSetupDlg dlg;
        dlg.SetPortSource(pSource);
        dlg.m_strComPort = "COM3";
        SSeen seen;
        const int nResult = RunDialog(dlg, seen, [&](CComSetupDlg& d) {
            TypeText(d, "XYZ");
            if (how == 0)
                ClickCancel(d);
            else if (how == 1)
                QTest::keyClick(d.m_wndPortCombo->lineEdit(), Qt::Key_Escape);
            else
                d.Window()->close();
        });
        QCOMPARE(nResult, 2);
        QCOMPARE(dlg.m_strComPort, QString("COM3"));
    }

    void CentredOverOwner()
    {
        QMainWindow owner;
        owner.setGeometry(200, 150, 800, 600);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        auto pSource = std::make_shared<CTablePortSource>();
        CComSetupDlg dlg(&owner);
        dlg.SetPortSource(pSource);
        SSeen seen;
        QCOMPARE(RunDialog(dlg, seen, ClickCancel), 2);
        const QPoint ptDelta = seen.rcDialog.center() - owner.geometry().center();
        QVERIFY2(ptDelta.manhattanLength() < 40, qPrintable(QString("off by %1,%2").arg(ptDelta.x()).arg(ptDelta.y())));
        // 187 x 94 dialog units, wider than tall, large enough for its texts.
        QVERIFY(seen.rcDialog.width() > seen.rcDialog.height());
        QVERIFY(seen.rcDialog.width() >= 187);
    }
};

QTEST_MAIN(CComSetupDlgTest)
#include "ComSetupDlgTest.moc"
