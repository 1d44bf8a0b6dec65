#include "log/OxilumeView.h"

#include <QFont>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QThread>
#include <QTimerEvent>

#include "log/LogCodec.h"
#include "log/OxilumeDoc.h"
#include "log/WrapModel.h"

namespace
{
// A fixed-pitch font keeps the columns of the log lines aligned and lets the
// line count group blocks by shape (see CWrapModel).
QFont LogFont()
{
    QFont font(QStringLiteral("Monospace"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPointSize(10);
    font.setKerning(false);
    return font;
}
}  // namespace

COxilumeView::COxilumeView(QWidget* pParent) : QPlainTextEdit(pParent)
{
    // EM_REPLACESEL without undo; an undo stack would also keep a copy of
    // every line a long session appends.
    document()->setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFont(LogFont());
    m_pWrap = new CWrapModel(document(), this);
}

COxilumeView::~COxilumeView() = default;

void COxilumeView::SetDocument(CTextDoc* pDocument)
{
    m_pDocument = pDocument;
}

COxilumeDoc* COxilumeView::GetDocument() const
{
    return qobject_cast<COxilumeDoc*>(m_pDocument.data());
}

void COxilumeView::ScrollToEnd()
{
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    ensureCursorVisible();
}

void COxilumeView::InsertText(const QByteArray& baText)
{
    ReplaceSelection(baText.constData(), baText.size());
}

void COxilumeView::InsertText(const std::string& strText)
{
    ReplaceSelection(strText.data(), qsizetype(strText.size()));
}

void COxilumeView::InsertText(const char* pszText)
{
    ReplaceSelection(pszText, pszText ? qsizetype(qstrlen(pszText)) : 0);
}

void COxilumeView::ReplaceSelection(const char* pData, qsizetype nSize)
{
    QTextCursor cursor = textCursor();
    if (nSize == 0 && !cursor.hasSelection())
        return;
    std::vector<std::uint8_t> vecEnds;
    const QString strText = CLogCodec::Decode(pData, nSize, vecEnds);
    QTextDocument* pDoc = document();
    const int nFirstBlock = pDoc->findBlock(cursor.selectionStart()).blockNumber();
    // The line end after the selection survives the replacement and ends the
    // last line of the inserted text.
    const int nTailState = pDoc->findBlock(cursor.selectionEnd()).userState();
    // The widget's own cursor, so it ends after the text.
    insertPlainText(strText);
    ApplyLineEnds(nFirstBlock, vecEnds, nTailState);
    // As the edit control does on a replacement, the caret stays in view, so
    // an appended line is seen.
    ensureCursorVisible();
}

void COxilumeView::ApplyLineEnds(int nFirstBlock, const std::vector<std::uint8_t>& vecEnds, int nTailState)
{
    QTextBlock block = document()->findBlockByNumber(nFirstBlock);
    for (std::uint8_t byEnd : vecEnds)
    {
        if (!block.isValid())
            return;
        block.setUserState(byEnd);
        block = block.next();
    }
    if (block.isValid())
        block.setUserState(nTailState);
}

void COxilumeView::ClearLog()
{
    const bool bHadText = !document()->isEmpty();
    QTextCursor cursor = textCursor();
    cursor.select(QTextCursor::Document);
    setTextCursor(cursor);
    ensureCursorVisible();
    cursor.removeSelectedText();
    document()->firstBlock().setUserState(-1);
    setTextCursor(cursor);
    if (bHadText)
        SetModified(true);
}

int COxilumeView::LineCount()
{
    return m_pWrap->LineCount();
}

QString COxilumeView::ReadLine(int nIndex)
{
    QTextBlock block;
    int nLineInBlock = 0;
    if (!m_pWrap->Locate(nIndex, block, nLineInBlock))
        return QString();
    const QString strBlock = block.text();
    CReadCache& cache = m_readCache;
    if (cache.nGeneration != m_pWrap->Generation() || cache.strText != strBlock)
    {
        cache.vecLines = m_pWrap->LayoutLines(strBlock);
        cache.nGeneration = m_pWrap->Generation();
        cache.strText = strBlock;
    }
    if (cache.vecLines.empty())
        return QString();
    const auto& line = cache.vecLines[size_t(std::min<int>(nLineInBlock, int(cache.vecLines.size()) - 1))];
    return strBlock.mid(line.first, line.second);
}

void COxilumeView::SetReadOnly(bool bReadOnly)
{
    setReadOnly(bReadOnly);
    if (bReadOnly)
    {
        // Read-only still lets the user select and copy with the keyboard.
        setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
}

QByteArray COxilumeView::GetTextBytes() const
{
    QByteArray baText;
    const QTextDocument* pDoc = document();
    baText.reserve(pDoc->characterCount() + pDoc->blockCount());
    for (QTextBlock block = pDoc->begin(); block.isValid(); block = block.next())
    {
        CLogCodec::EncodeLine(block.text(), baText);
        if (block.next().isValid())
            baText.append(CLogCodec::LineEndBytes(block.userState()));
    }
    return baText;
}

void COxilumeView::SetTextBytes(const QByteArray& baText)
{
    const bool bModified = IsModified();
    QTextCursor cursor = textCursor();
    cursor.select(QTextCursor::Document);
    setTextCursor(cursor);
    ReplaceSelection(baText.constData(), baText.size());
    document()->lastBlock().setUserState(-1);
    cursor = textCursor();
    cursor.movePosition(QTextCursor::Start);
    setTextCursor(cursor);
    SetModified(bModified);
}

bool COxilumeView::IsModified() const
{
    return document()->isModified();
}

void COxilumeView::SetModified(bool bModified)
{
    document()->setModified(bModified);
}

void COxilumeView::StartTickTimer()
{
    if (QThread::currentThread() == thread())
        SetTimer(kTickTimerId, kTickMillis);
    else
        RequestTickTimer(true);
}

void COxilumeView::StopTickTimer()
{
    if (QThread::currentThread() == thread())
        KillTimer(kTickTimerId);
    else
        RequestTickTimer(false);
}

void COxilumeView::RequestTickTimer(bool bRun)
{
    m_bTickWanted.store(bRun);
    if (m_bTickRequestQueued.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            // Cleared before the wish is read, so a wish made after this
            // point queues a call of its own.
            m_bTickRequestQueued.store(false);
            if (m_bTickWanted.load())
                SetTimer(kTickTimerId, kTickMillis);
            else
                KillTimer(kTickTimerId);
        },
        Qt::QueuedConnection);
}

void COxilumeView::SetTimer(int nIdEvent, int nMillis)
{
    m_mapTimers[nIdEvent].start(nMillis, Qt::PreciseTimer, this);
}

void COxilumeView::KillTimer(int nIdEvent)
{
    auto it = m_mapTimers.find(nIdEvent);
    if (it != m_mapTimers.end())
        m_mapTimers.erase(it);  // QBasicTimer stops as it goes
}

bool COxilumeView::IsTimerRunning(int nIdEvent) const
{
    auto it = m_mapTimers.find(nIdEvent);
    return it != m_mapTimers.end() && it->second.isActive();
}

void COxilumeView::timerEvent(QTimerEvent* pEvent)
{
    for (const auto& [nIdEvent, timer] : m_mapTimers)
    {
        if (timer.timerId() == pEvent->timerId())
        {
            OnTimer(nIdEvent);
            break;
        }
    }
    // Every timer message goes on to the widget's own handling as well.
    QPlainTextEdit::timerEvent(pEvent);
}

void COxilumeView::OnTimer(int nIdEvent)
{
    if (nIdEvent == kTickTimerId)
        m_nTicks.fetch_add(1);
}

void COxilumeView::OnInitialUpdate()
{
    m_marginsPrint = QMargins(kPrintMarginTwips, kPrintMarginTwips, kPrintMarginTwips, kPrintMarginTwips);
}

bool COxilumeView::OnCommand(int nId)
{
    switch (nId)
    {
    case kIdFilePrint:
        OnFilePrint();
        return true;
    case kIdFilePrintDirect:
        OnFilePrintDirect();
        return true;
    case kIdFilePrintPreview:
        OnFilePrintPreview();
        return true;
    default:
        return false;
    }
}
