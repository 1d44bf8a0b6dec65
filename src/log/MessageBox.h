#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class QWidget;

// Every message box of the application goes through here: caption
// "Oxilume V1.1", the exclamation icon unless another is named, and the
// buttons given. Tests install an answerer that sees each box instead of a
// person and returns the button pressed.
class CMessageBox
{
public:
    enum EButtons { OK, YesNo, OKCancel, YesNoCancel };
    // Results in the framework's numbering.
    enum EResult { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

    using CAnswerer = std::function<int(const QString& strText, EButtons eButtons)>;

    static int Show(QWidget* pParent, const QString& strText, EButtons eButtons = OK,
                    QMessageBox::Icon eIcon = QMessageBox::Warning);

    // An empty answerer restores the real boxes.
    static void SetAnswerer(CAnswerer fnAnswerer);
    static bool HasAnswerer();

    static const char* const kCaption;
};
