#include "ComSetupDlg.h"

#include "PortDiscovery.h"

#include <QApplication>
#include <algorithm>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace
{
// Dialog units scale with the dialog's font: a quarter of the average
// character width across, an eighth of the line height down.
class CDialogUnits
{
public:
    explicit CDialogUnits(const QFont& font)
    {
        const QFontMetrics fm(font);
        static const QString kAlphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        m_nBaseX = (fm.horizontalAdvance(kAlphabet) / 26 + 1) / 2;
        m_nBaseY = fm.height();
        if (m_nBaseX < 1)
            m_nBaseX = 1;
        if (m_nBaseY < 1)
            m_nBaseY = 1;
    }
    int X(int nUnits) const { return (nUnits * m_nBaseX + 2) / 4; }
    int Y(int nUnits) const { return (nUnits * m_nBaseY + 4) / 8; }
    QRect Rect(int x, int y, int w, int h) const { return QRect(X(x), Y(y), X(w), Y(h)); }

private:
    int m_nBaseX;
    int m_nBaseY;
};
} // namespace

CComSetupDlg::CComSetupDlg(QWidget* pOwner) : m_pOwner(pOwner)
{
}

CComSetupDlg::~CComSetupDlg()
{
    DestroyWindow();
}

void CComSetupDlg::SetPortSource(std::shared_ptr<CPortSource> pSource)
{
    m_pSource = std::move(pSource);
}

void CComSetupDlg::BuildWindow(QWidget* pOwner)
{
    // With the owner as parent Qt centres the dialog over it when it shows.
    auto* pWindow = new QDialog(pOwner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                            Qt::WindowCloseButtonHint);
    pWindow->setWindowTitle(QStringLiteral("Setup"));
    pWindow->setModal(true);

    const CDialogUnits du(pWindow->font());
    pWindow->setFixedSize(du.X(187), du.Y(94));

    // Made in tab order: OK, Cancel, then the combo box.
    m_pOkButton = new QPushButton(QStringLiteral("OK"), pWindow);
    m_pOkButton->setGeometry(du.Rect(130, 23, 50, 14));
    m_pOkButton->setDefault(true);
    m_pOkButton->setAutoDefault(true);

    m_pCancelButton = new QPushButton(QStringLiteral("Cancel"), pWindow);
    m_pCancelButton->setGeometry(du.Rect(130, 44, 50, 14));
    m_pCancelButton->setAutoDefault(false);

    auto* pLabel = new QLabel(QStringLiteral("COM Port :"), pWindow);
    QRect rcLabel = du.Rect(21, 35, 36, 8);
    // Never clip the label when the font runs wider than the template's.
    rcLabel.setWidth(std::max(rcLabel.width(), pLabel->sizeHint().width()));
    rcLabel.setHeight(std::max(rcLabel.height(), pLabel->sizeHint().height()));
    pLabel->setGeometry(rcLabel);
    pLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    m_wndPortCombo = new QComboBox(pWindow);
    m_wndPortCombo->setEditable(true);
    // The list keeps its own order; typed text never joins it.
    m_wndPortCombo->setInsertPolicy(QComboBox::NoInsert);
    m_wndPortCombo->setDuplicatesEnabled(true);
    // The template's height includes the dropped-down list. Linux port names
    // (ttyUSB0, /dev/pts/12) are longer than COM3, so the field reaches up to
    // the buttons instead of the template's 48 units.
    m_wndPortCombo->setGeometry(du.X(60), du.Y(34), du.X(66), m_wndPortCombo->sizeHint().height());

    QWidget::setTabOrder(m_pOkButton, m_pCancelButton);
    QWidget::setTabOrder(m_pCancelButton, m_wndPortCombo);

    QObject::connect(m_pOkButton, &QPushButton::clicked, pWindow, &QDialog::accept);
    QObject::connect(m_pCancelButton, &QPushButton::clicked, pWindow, &QDialog::reject);

    m_pWindow = pWindow;
}

void CComSetupDlg::OnInitDialog()
{
    // The list is still empty, so the earlier text can only go into the
    // edit field.
    m_wndPortCombo->setEditText(m_strComPort);

    std::vector<std::string> offered;
    if (m_pSource)
        offered = DiscoverPorts(*m_pSource);
    else
        offered = DiscoverPorts();

    std::vector<std::string> listed;
    for (const std::string& strName : offered)
    {
        const std::size_t nIndex = SortedInsertIndex(listed, strName);
        listed.insert(listed.begin() + static_cast<std::ptrdiff_t>(nIndex), strName);
        m_wndPortCombo->insertItem(static_cast<int>(nIndex), QString::fromStdString(strName));
    }

    const int nDefault = DefaultPortIndex(m_wndPortCombo->count());
    if (nDefault >= 0)
    {
        m_wndPortCombo->setCurrentIndex(nDefault);
        m_wndPortCombo->setEditText(m_wndPortCombo->itemText(nDefault));
    }

    m_pOkButton->setFocus(Qt::OtherFocusReason);
}

void CComSetupDlg::DestroyWindow()
{
    delete m_pWindow;
    m_pWindow = nullptr;
    m_wndPortCombo = nullptr;
    m_pOkButton = nullptr;
    m_pCancelButton = nullptr;
}

int CComSetupDlg::DoModal(QWidget* pOwner)
{
    if (!pOwner)
        pOwner = m_pOwner;
    if (!pOwner)
        pOwner = QApplication::activeWindow();

    DestroyWindow();
    BuildWindow(pOwner);
    OnInitDialog();

    const int nCode = m_pWindow->exec();
    int nResult = ResultCancel;
    if (nCode == QDialog::Accepted)
    {
        m_strComPort = m_wndPortCombo->lineEdit()->text();
        nResult = ResultOK;
    }
    DestroyWindow();
    return nResult;
}
