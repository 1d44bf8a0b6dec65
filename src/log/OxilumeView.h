#pragma once

#include <QBasicTimer>
#include <QByteArray>
#include <QMargins>
#include <QPlainTextEdit>
#include <QPointer>
#include <QString>
#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

class COxilumeDoc;
class CTextDoc;
class CWrapModel;

// The log view: a plain-text widget that holds the whole log, wraps it at the
// window's edge and cannot be typed into once read-only.
//
// The five log operations and everything else here belong to the
// user-interface thread, except StartTickTimer, StopTickTimer and m_nTicks,
// which any thread may use.
class COxilumeView : public QPlainTextEdit
{
    Q_OBJECT

public:
    static constexpr int kTickTimerId = 2000;
    static constexpr int kTickMillis = 100;
    // Print margins set at every initial update, in twips.
    static constexpr int kPrintMarginTwips = 720;

    explicit COxilumeView(QWidget* pParent = nullptr);
    ~COxilumeView() override;

    // Caret after the last character, selection dropped, caret scrolled into
    // view. Appending is always ScrollToEnd() followed by InsertText().
    void ScrollToEnd();
    // Replaces the selection with the text of these bytes (the system code
    // page, CR LF written as they stand; see CLogCodec) and leaves the caret
    // after it, scrolled into view. Not undoable.
    void InsertText(const QByteArray& baText);
    void InsertText(const std::string& strText);
    void InsertText(const char* pszText);
    // Empties the log. It counts as a change (the modified flag is set) when
    // there was text to remove.
    void ClearLog();
    // Lines as laid out at the current width, at least 1.
    int LineCount();
    // Text of laid-out line nIndex (from 0), without any line end; the part
    // of a wrapped block that stands on that line. Empty when out of range.
    QString ReadLine(int nIndex);

    void SetReadOnly(bool bReadOnly);
    bool IsReadOnly() const { return isReadOnly(); }

    // The whole log as the file's bytes.
    QByteArray GetTextBytes() const;
    // Replaces the whole log by these bytes (file open). Leaves the caret at
    // the start and the modified flag as it was.
    void SetTextBytes(const QByteArray& baText);

    // The control's modified flag.
    bool IsModified() const;
    void SetModified(bool bModified);

    // Tick counter: +1 per tick of timer 2000, counted on the UI thread.
    std::atomic<std::int32_t> m_nTicks{0};
    // Start (or restart the period of) / stop timer 2000. Any thread; from
    // another thread the change happens shortly after the call returns, in
    // the order of the calls.
    void StartTickTimer();
    void StopTickTimer();

    // Timers of the view's window, by our own ids (UI thread). Starting a
    // running id restarts its period.
    void SetTimer(int nIdEvent, int nMillis);
    void KillTimer(int nIdEvent);
    bool IsTimerRunning(int nIdEvent) const;

    // Set by CTextDoc::SetView.
    void SetDocument(CTextDoc* pDocument);
    COxilumeDoc* GetDocument() const;

    // Initial update: runs at every new or opened document.
    virtual void OnInitialUpdate();
    QMargins PrintMarginsTwips() const { return m_marginsPrint; }

    // Command routing: the main window offers each command to the view, then
    // to the document. Returns true when handled.
    virtual bool OnCommand(int nId);

    // Printing (ViewPrint.cpp, with CLogPrinter): 57607 with the Print
    // dialog, 57608 at once, 57609 print preview. No menu reaches them; the
    // command line's print flags send 57608. True when the pages went out.
    static constexpr int kIdFilePrint = 57607;
    static constexpr int kIdFilePrintDirect = 57608;
    static constexpr int kIdFilePrintPreview = 57609;
    bool OnFilePrint();
    bool OnFilePrintDirect();
    void OnFilePrintPreview();

    // The wrap model behind LineCount(); exposed for tests and benchmarks.
    CWrapModel& WrapModel() { return *m_pWrap; }

protected:
    // Timer handling for every timer of the view's window: 2000 counts a
    // tick. Overrides should call the base.
    virtual void OnTimer(int nIdEvent);
    void timerEvent(QTimerEvent* pEvent) override;

private:
    void ReplaceSelection(const char* pData, qsizetype nSize);
    void ApplyLineEnds(int nFirstBlock, const std::vector<std::uint8_t>& vecEnds, int nTailState);

    CWrapModel* m_pWrap = nullptr;
    // The block ReadLine() laid out last: printing reads its lines in turn.
    struct CReadCache
    {
        int nGeneration = -1;
        QString strText;
        std::vector<std::pair<int, int>> vecLines;
    } m_readCache;
    QPointer<CTextDoc> m_pDocument;
    std::map<int, QBasicTimer> m_mapTimers;
    // Requests for the tick timer from other threads: the last one wins, and
    // only one is queued at a time. A download re-arms the timer at every
    // byte, and a queued call per byte would keep waking the UI thread.
    void RequestTickTimer(bool bRun);
    std::atomic<bool> m_bTickWanted{false};
    std::atomic<bool> m_bTickRequestQueued{false};
    QMargins m_marginsPrint;
};
