#include "app/AboutDlg.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/Images.h"

const char* const CAboutDlg::kCaption = "About Oxilume";
const char* const CAboutDlg::kVersionText = "Oxi Lume Softwre Version V1.1";
const char* const CAboutDlg::kNoticeText = "Live and stored readings of your fingertip pulse oximeter.";

CAboutDlg::CAboutDlg(QWidget* pParent) : QDialog(pParent)
{
    setWindowTitle(QString::fromLatin1(kCaption));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setModal(true);

    m_pIcon = new QLabel(this);
    m_pIcon->setPixmap(Images::AppIconPixmap(32));
    m_pIcon->setFixedSize(32, 32);

    // Shown as typed: no mnemonic, no rich text.
    m_pVersion = new QLabel(QString::fromLatin1(kVersionText), this);
    m_pVersion->setTextFormat(Qt::PlainText);
    m_pNotice = new QLabel(QString::fromLatin1(kNoticeText), this);
    m_pNotice->setTextFormat(Qt::PlainText);

    m_pOk = new QPushButton(tr("OK"), this);
    m_pOk->setDefault(true);
    m_pOk->setAutoDefault(true);
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* pLayout = new QGridLayout(this);
    pLayout->setContentsMargins(16, 12, 12, 16);
    pLayout->setHorizontalSpacing(14);
    pLayout->setVerticalSpacing(10);
    pLayout->addWidget(m_pIcon, 1, 0, 2, 1, Qt::AlignTop);
    pLayout->addWidget(m_pVersion, 1, 1);
    pLayout->addWidget(m_pNotice, 2, 1);
    pLayout->addWidget(m_pOk, 0, 2, Qt::AlignTop);
    pLayout->setColumnStretch(1, 1);
    pLayout->setRowStretch(3, 1);
    m_pOk->setMinimumWidth(75);
    setMinimumWidth(400);
    setFixedHeight(sizeHint().height());
    m_pOk->setFocus();
}
