#include "log/MessageBox.h"

#include <QApplication>
#include <QPushButton>

const char* const CMessageBox::kCaption = "Oxilume V1.1";

namespace
{
CMessageBox::CAnswerer& Answerer()
{
    static CMessageBox::CAnswerer s_fnAnswerer;
    return s_fnAnswerer;
}
}  // namespace

void CMessageBox::SetAnswerer(CAnswerer fnAnswerer)
{
    Answerer() = std::move(fnAnswerer);
}

bool CMessageBox::HasAnswerer()
{
    return static_cast<bool>(Answerer());
}

int CMessageBox::Show(QWidget* pParent, const QString& strText, EButtons eButtons, QMessageBox::Icon eIcon)
{
    if (Answerer())
        return Answerer()(strText, eButtons);

    QMessageBox box(eIcon, QString::fromLatin1(kCaption), strText, QMessageBox::NoButton, pParent);
    switch (eButtons)
    {
    case OK:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case OKCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec())
    {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        // Esc and the close box answer as Cancel does; a box with OK alone
        // has no other answer.
        return eButtons == OK ? IDOK : (eButtons == YesNo ? IDNO : IDCANCEL);
    }
}
