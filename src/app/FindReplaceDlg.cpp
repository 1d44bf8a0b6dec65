#include "app/FindReplaceDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/EditCommands.h"

CFindReplaceDlg::CFindReplaceDlg(CEditCommands& edit, bool bReplace, QWidget* pParent)
    : QDialog(pParent), m_edit(edit), m_bReplace(bReplace)
{
    setWindowTitle(bReplace ? tr("Replace") : tr("Find"));
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* pGrid = new QGridLayout;
    m_pFindEdit = new QLineEdit(this);
    auto* pFindLabel = new QLabel(tr("Fi&nd what:"), this);
    pFindLabel->setBuddy(m_pFindEdit);
    pGrid->addWidget(pFindLabel, 0, 0);
    pGrid->addWidget(m_pFindEdit, 0, 1);
    if (bReplace)
    {
        m_pReplaceEdit = new QLineEdit(this);
        auto* pWithLabel = new QLabel(tr("Re&place with:"), this);
        pWithLabel->setBuddy(m_pReplaceEdit);
        pGrid->addWidget(pWithLabel, 1, 0);
        pGrid->addWidget(m_pReplaceEdit, 1, 1);
    }
    m_pWholeWord = new QCheckBox(tr("Match &whole word only"), this);
    m_pMatchCase = new QCheckBox(tr("Match &case"), this);

    auto* pLeft = new QVBoxLayout;
    pLeft->addLayout(pGrid);
    auto* pOptions = new QHBoxLayout;
    auto* pChecks = new QVBoxLayout;
    pChecks->addWidget(m_pWholeWord);
    pChecks->addWidget(m_pMatchCase);
    pOptions->addLayout(pChecks);
    if (!bReplace)
    {
        auto* pDirection = new QGroupBox(tr("Direction"), this);
        m_pUp = new QRadioButton(tr("&Up"), pDirection);
        m_pDown = new QRadioButton(tr("&Down"), pDirection);
        m_pDown->setChecked(true);
        auto* pDirLayout = new QHBoxLayout(pDirection);
        pDirLayout->addWidget(m_pUp);
        pDirLayout->addWidget(m_pDown);
        pOptions->addWidget(pDirection);
    }
    pLeft->addLayout(pOptions);
    pLeft->addStretch();

    auto* pButtons = new QVBoxLayout;
    m_pFindNext = new QPushButton(tr("&Find Next"), this);
    m_pFindNext->setDefault(true);
    pButtons->addWidget(m_pFindNext);
    if (bReplace)
    {
        m_pReplace = new QPushButton(tr("&Replace"), this);
        m_pReplaceAll = new QPushButton(tr("Replace &All"), this);
        pButtons->addWidget(m_pReplace);
        pButtons->addWidget(m_pReplaceAll);
        connect(m_pReplace, &QPushButton::clicked, this, [this]() {
            m_edit.ReplaceOnce(m_pFindEdit->text(), m_pReplaceEdit->text(), Flags());
        });
        connect(m_pReplaceAll, &QPushButton::clicked, this, [this]() {
            m_edit.ReplaceAll(m_pFindEdit->text(), m_pReplaceEdit->text(), Flags());
        });
    }
    auto* pCancel = new QPushButton(tr("Cancel"), this);
    pButtons->addWidget(pCancel);
    pButtons->addStretch();
    connect(pCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pFindNext, &QPushButton::clicked, this, &CFindReplaceDlg::OnFindNext);
    connect(m_pFindEdit, &QLineEdit::textChanged, this, &CFindReplaceDlg::UpdateButtons);

    auto* pTop = new QHBoxLayout(this);
    pTop->addLayout(pLeft, 1);
    pTop->addLayout(pButtons);
    UpdateButtons();
}

void CFindReplaceDlg::SetFindText(const QString& strText)
{
    m_pFindEdit->setText(strText);
    m_pFindEdit->selectAll();
}

QTextDocument::FindFlags CFindReplaceDlg::Flags() const
{
    QTextDocument::FindFlags flags;
    if (m_pWholeWord->isChecked())
        flags |= QTextDocument::FindWholeWords;
    if (m_pMatchCase->isChecked())
        flags |= QTextDocument::FindCaseSensitively;
    if (m_pUp && m_pUp->isChecked())
        flags |= QTextDocument::FindBackward;
    return flags;
}

void CFindReplaceDlg::OnFindNext()
{
    if (!m_edit.FindText(m_pFindEdit->text(), Flags()))
        QApplication::beep();
}

void CFindReplaceDlg::UpdateButtons()
{
    const bool bAny = !m_pFindEdit->text().isEmpty();
    m_pFindNext->setEnabled(bAny);
    if (m_pReplace)
        m_pReplace->setEnabled(bAny);
    if (m_pReplaceAll)
        m_pReplaceAll->setEnabled(bAny);
}
