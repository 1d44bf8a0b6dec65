#include "app/EditCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "app/FindReplaceDlg.h"

CEditCommands::CEditCommands(QObject* pParent) : QObject(pParent) {}

CEditCommands::~CEditCommands()
{
    if (m_pDialog)
        delete m_pDialog.data();
}

void CEditCommands::SetTarget(QWidget* pTextWidget)
{
    m_pTarget = pTextWidget;
}

QTextEdit* CEditCommands::Rich() const
{
    return qobject_cast<QTextEdit*>(m_pTarget.data());
}

QPlainTextEdit* CEditCommands::Plain() const
{
    return qobject_cast<QPlainTextEdit*>(m_pTarget.data());
}

bool CEditCommands::HasSelection() const
{
    if (auto* p = Rich())
        return p->textCursor().hasSelection();
    if (auto* p = Plain())
        return p->textCursor().hasSelection();
    return false;
}

bool CEditCommands::IsReadOnly() const
{
    if (auto* p = Rich())
        return p->isReadOnly();
    if (auto* p = Plain())
        return p->isReadOnly();
    return true;
}

bool CEditCommands::HasText() const
{
    const QTextDocument* pDoc = Rich() ? Rich()->document() : (Plain() ? Plain()->document() : nullptr);
    return pDoc && !pDoc->isEmpty();
}

bool CEditCommands::CanUndo() const
{
    const QTextDocument* pDoc = Rich() ? Rich()->document() : (Plain() ? Plain()->document() : nullptr);
    return pDoc && !IsReadOnly() && pDoc->isUndoAvailable();
}

bool CEditCommands::CanCut() const
{
    return HasSelection() && !IsReadOnly();
}

bool CEditCommands::CanCopy() const
{
    return HasSelection();
}

bool CEditCommands::CanPaste() const
{
    if (IsReadOnly() || !m_pTarget)
        return false;
    const QMimeData* pData = QApplication::clipboard()->mimeData();
    return pData && pData->hasText();
}

bool CEditCommands::CanSelectAll() const
{
    return HasText();
}

bool CEditCommands::CanFind() const
{
    return HasText();
}

bool CEditCommands::CanFindNext() const
{
    return HasText() && !m_strFind.isEmpty();
}

bool CEditCommands::CanReplace() const
{
    return HasText() && !IsReadOnly();
}

void CEditCommands::Undo()
{
    if (!CanUndo())
        return;
    if (auto* p = Rich())
        p->undo();
    else if (auto* p = Plain())
        p->undo();
}

void CEditCommands::Cut()
{
    if (!CanCut())
        return;
    if (auto* p = Rich())
        p->cut();
    else if (auto* p = Plain())
        p->cut();
}

void CEditCommands::Copy()
{
    if (!CanCopy())
        return;
    if (auto* p = Rich())
        p->copy();
    else if (auto* p = Plain())
        p->copy();
}

void CEditCommands::Paste()
{
    if (!CanPaste())
        return;
    if (auto* p = Rich())
        p->paste();
    else if (auto* p = Plain())
        p->paste();
}

void CEditCommands::SelectAll()
{
    if (auto* p = Rich())
        p->selectAll();
    else if (auto* p = Plain())
        p->selectAll();
}

void CEditCommands::OpenDialog(QWidget* pOwner, bool bReplace)
{
    if (m_pDialog && m_pDialog->IsReplace() != bReplace)
        m_pDialog->close();
    if (!m_pDialog)
        m_pDialog = new CFindReplaceDlg(*this, bReplace, pOwner);
    // The selected word, or the last search, is what one most likely looks for.
    QString strSeed = m_strFind;
    if (auto* p = Rich())
        strSeed = p->textCursor().selectedText().isEmpty() ? strSeed : p->textCursor().selectedText();
    else if (auto* p = Plain())
        strSeed = p->textCursor().selectedText().isEmpty() ? strSeed : p->textCursor().selectedText();
    if (strSeed.contains(QChar::ParagraphSeparator))
        strSeed = m_strFind;
    m_pDialog->SetFindText(strSeed);
    m_pDialog->show();
    m_pDialog->raise();
    m_pDialog->activateWindow();
}

void CEditCommands::Find(QWidget* pOwner)
{
    if (CanFind())
        OpenDialog(pOwner, false);
}

void CEditCommands::Replace(QWidget* pOwner)
{
    if (CanReplace())
        OpenDialog(pOwner, true);
}

void CEditCommands::FindNext()
{
    if (!CanFindNext())
        return;
    if (!FindText(m_strFind, m_findFlags))
        QApplication::beep();
}

bool CEditCommands::FindText(const QString& strText, QTextDocument::FindFlags flags)
{
    if (strText.isEmpty())
        return false;
    m_strFind = strText;
    m_findFlags = flags;
    if (auto* p = Rich())
        return p->find(strText, flags);
    if (auto* p = Plain())
        return p->find(strText, flags);
    return false;
}

void CEditCommands::ReplaceOnce(const QString& strFind, const QString& strWith, QTextDocument::FindFlags flags)
{
    if (!CanReplace() || strFind.isEmpty())
        return;
    QTextCursor cursor = Rich() ? Rich()->textCursor() : Plain()->textCursor();
    const Qt::CaseSensitivity cs =
        flags.testFlag(QTextDocument::FindCaseSensitively) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (cursor.hasSelection() && cursor.selectedText().compare(strFind, cs) == 0)
        cursor.insertText(strWith);
    if (!FindText(strFind, flags))
        QApplication::beep();
}

int CEditCommands::ReplaceAll(const QString& strFind, const QString& strWith, QTextDocument::FindFlags flags)
{
    if (!CanReplace() || strFind.isEmpty())
        return 0;
    QTextDocument* pDoc = Rich() ? Rich()->document() : Plain()->document();
    flags &= ~QTextDocument::FindBackward;
    int nCount = 0;
    QTextCursor block(pDoc);
    block.beginEditBlock();
    QTextCursor cursor(pDoc);
    for (;;)
    {
        const QTextCursor found = pDoc->find(strFind, cursor, flags);
        if (found.isNull())
            break;
        cursor = found;
        cursor.insertText(strWith);
        ++nCount;
    }
    block.endEditBlock();
    m_strFind = strFind;
    m_findFlags = flags;
    if (nCount == 0)
        QApplication::beep();
    return nCount;
}
