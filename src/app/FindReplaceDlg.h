#pragma once

#include <QDialog>
#include <QTextDocument>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class CEditCommands;

// The modeless Find and Replace window of the log.
class CFindReplaceDlg : public QDialog
{
    Q_OBJECT

public:
    CFindReplaceDlg(CEditCommands& edit, bool bReplace, QWidget* pParent);

    void SetFindText(const QString& strText);
    QTextDocument::FindFlags Flags() const;
    bool IsReplace() const { return m_bReplace; }

    QLineEdit* m_pFindEdit = nullptr;
    QLineEdit* m_pReplaceEdit = nullptr;
    QCheckBox* m_pWholeWord = nullptr;
    QCheckBox* m_pMatchCase = nullptr;
    QRadioButton* m_pUp = nullptr;
    QRadioButton* m_pDown = nullptr;
    QPushButton* m_pFindNext = nullptr;
    QPushButton* m_pReplace = nullptr;
    QPushButton* m_pReplaceAll = nullptr;

private:
    void OnFindNext();
    void UpdateButtons();

    CEditCommands& m_edit;
    bool m_bReplace;
};
