#pragma once

#include <QString>
#include <functional>

class QWidget;

// The Open and Save As dialogs. Both list only "All Files (*.*)", which
// matches every file (also those without a dot), and nothing is added to a
// name typed in Save As. Tests install a chooser that answers instead of a
// person.
class CFileDialog
{
public:
    enum EKind { Open, SaveAs };
    // Returns the chosen path, or an empty string for Cancel.
    using CChooser = std::function<QString(EKind eKind, const QString& strProposed)>;

    static const char* const kFilter;  // "All Files (*.*)"

    static QString GetOpenFileName(QWidget* pParent);
    // strProposed: the name shown at first (the document's title or path).
    static QString GetSaveFileName(QWidget* pParent, const QString& strProposed);

    // An empty chooser restores the real dialogs.
    static void SetChooser(CChooser fnChooser);

private:
    static QString Run(QWidget* pParent, EKind eKind, const QString& strProposed);
};
