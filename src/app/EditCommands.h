#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTextDocument>

#include "app/FindReplaceDlg.h"

class QWidget;
class QTextEdit;
class QPlainTextEdit;


// The Edit menu's commands on the log's text widget (a QTextEdit or a
// QPlainTextEdit): Undo, Cut, Copy, Paste, Select All, Find, Find Next and
// Replace, each enabled only as the selection, the clipboard and the
// widget's read-only state allow.
class CEditCommands : public QObject
{
    Q_OBJECT

public:
    explicit CEditCommands(QObject* pParent = nullptr);
    ~CEditCommands() override;

    void SetTarget(QWidget* pTextWidget);
    QWidget* Target() const { return m_pTarget; }

    bool CanUndo() const;
    bool CanCut() const;
    bool CanCopy() const;
    bool CanPaste() const;
    bool CanSelectAll() const;
    bool CanFind() const;
    bool CanFindNext() const;
    bool CanReplace() const;

    void Undo();
    void Cut();
    void Copy();
    void Paste();
    void SelectAll();
    // Opens the modeless Find (or Replace) window over pOwner.
    void Find(QWidget* pOwner);
    void Replace(QWidget* pOwner);
    // Repeats the last search; beeps when nothing more is found.
    void FindNext();

    // One search from the caret; true when found (the match is selected).
    bool FindText(const QString& strText, QTextDocument::FindFlags flags);
    // Replaces the selection when it is a match, then finds the next one.
    void ReplaceOnce(const QString& strFind, const QString& strWith, QTextDocument::FindFlags flags);
    int ReplaceAll(const QString& strFind, const QString& strWith, QTextDocument::FindFlags flags);

    QString LastFind() const { return m_strFind; }
    CFindReplaceDlg* Dialog() const { return m_pDialog; }

private:
    bool HasSelection() const;
    bool IsReadOnly() const;
    bool HasText() const;
    void OpenDialog(QWidget* pOwner, bool bReplace);
    QTextEdit* Rich() const;
    QPlainTextEdit* Plain() const;

    QPointer<QWidget> m_pTarget;
    QPointer<CFindReplaceDlg> m_pDialog;
    QString m_strFind;
    QTextDocument::FindFlags m_findFlags;
};
