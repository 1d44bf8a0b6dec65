#include <QApplication>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

#include "log/OxilumeView.h"
#include "log/WrapModel.h"

// Lines and their texts as the widget itself lays them out: every block is
// laid out by the widget's own document layout, the slow way the log avoids.
static QStringList WidgetLines(COxilumeView& view)
{
    QStringList lines;
    QTextDocument* pDoc = view.document();
    for (QTextBlock block = pDoc->begin(); block.isValid(); block = block.next())
    {
        pDoc->documentLayout()->blockBoundingRect(block);
        QTextLayout* pLayout = block.layout();
        for (int i = 0; i < pLayout->lineCount(); ++i)
        {
            const QTextLine line = pLayout->lineAt(i);
            lines << block.text().mid(line.textStart(), line.textLength());
        }
    }
    return lines;
}

static QStringList ModelLines(COxilumeView& view)
{
    QStringList lines;
    const int nCount = view.LineCount();
    for (int i = 0; i < nCount; ++i)
        lines << view.ReadLine(i);
    return lines;
}

static void Append(COxilumeView& view, const QByteArray& baText)
{
    view.ScrollToEnd();
    view.InsertText(baText);
}

class CLogViewTest : public QObject
{
    Q_OBJECT

    // A shown view whose viewport is nWidth pixels wide.
    std::unique_ptr<COxilumeView> MakeView(int nWidth)
    {
        auto pView = std::make_unique<COxilumeView>();
        pView->resize(nWidth, 300);
        pView->show();
        if (!QTest::qWaitForWindowExposed(pView.get()))
            qWarning("window not exposed");
        // The frame and the scroll bar take their share: widen until the
        // viewport itself has the width asked for.
        pView->resize(nWidth + (nWidth - pView->viewport()->width()), 300);
        QCoreApplication::processEvents();
        return pView;
    }

private slots:
    void EmptyLogHasOneEmptyLine()
    {
        COxilumeView view;
        QCOMPARE(view.LineCount(), 1);
        QCOMPARE(view.ReadLine(0), QString());
        QCOMPARE(view.ReadLine(1), QString());
        QCOMPARE(view.ReadLine(-1), QString());
    }

    void LineCountAgreesWithWidgetLayout_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("wrap");
        QTest::addColumn<int>("minLines");

        const QByteArray baLog = "2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n"
                                 "2023-5-7  9:05:04 Spo2: 100 (%) HR: 112 (bpm) \r\n"
                                 "2023-12-17 19:05:05 Spo2: 97 (%) HR: 68 (bpm) \r\n";
        QByteArray baLong = "Connection established successfully.";
        baLong = baLong.repeated(8) + "\r\n";
        const QByteArray baNoSpace = QByteArray(300, 'x') + "\r\n" + QByteArray(150, '7') + "\r\n";
        const QByteArray baTabs = "a\tb\tc\td\te\tf\tg\th\ti\tj\tk\tl\tm\tn\to\tp\r\n";
        const QByteArray baTrailing = QByteArray(40, 'w') + QByteArray(60, ' ') + "end\r\n";
        const QByteArray baUnicode = QString::fromUtf8("頁 1 / 3 Ünïcödé ☺ 𝄞 ").repeated(6).toUtf8() + "\r\n";
        const QByteArray baInvalid = QByteArray("bad \xff\xfe bytes \x00 and \xc3 end ", 28).repeated(5) + "\r\n";
        const QByteArray baEnds = "lf only\nlone cr\rcr lf\r\nno end at all";

        QTest::newRow("empty") << QByteArray() << 400 << true << 1;
        QTest::newRow("one short line") << QByteArray("abc\r\n") << 400 << true << 2;
        QTest::newRow("log lines, wide") << baLog << 800 << true << 4;
        QTest::newRow("log lines, narrow") << baLog << 250 << true << 7;
        QTest::newRow("log lines, very narrow") << baLog << 60 << true << 13;
        QTest::newRow("words wrap") << baLong << 400 << true << 3;
        QTest::newRow("words, no wrap") << baLong << 400 << false << 2;
        QTest::newRow("no blanks to break at") << baNoSpace << 300 << true << 5;
        QTest::newRow("tabs") << baTabs << 180 << true << 3;
        QTest::newRow("trailing blanks") << baTrailing << 330 << true << 2;
        QTest::newRow("non-ASCII") << baUnicode << 350 << true << 3;
        QTest::newRow("invalid bytes") << baInvalid << 300 << true << 3;
        QTest::newRow("mixed line ends") << baEnds << 400 << true << 4;
    }

    void LineCountAgreesWithWidgetLayout()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, width);
        QFETCH(bool, wrap);
        QFETCH(int, minLines);

        auto pView = MakeView(width);
        pView->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
        Append(*pView, text);
        QCoreApplication::processEvents();

        const QStringList widget = WidgetLines(*pView);
        QCOMPARE(pView->LineCount(), int(widget.size()));
        QCOMPARE(ModelLines(*pView), widget);
        QVERIFY(pView->LineCount() >= minLines);

        // The same text at other widths, after the window was resized.
        for (int nOther : {width / 2 + 13, width * 2, width})
        {
            pView->resize(nOther, 300);
            QCoreApplication::processEvents();
            const QStringList other = WidgetLines(*pView);
            QCOMPARE(pView->LineCount(), int(other.size()));
            QCOMPARE(ModelLines(*pView), other);
        }
    }

    void LineCountFollowsFontChange()
    {
        auto pView = MakeView(300);
        for (int i = 0; i < 20; ++i)
            Append(*pView, "2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n");
        const int nBefore = pView->LineCount();
        QFont font = pView->font();
        font.setPointSize(font.pointSize() * 2);
        pView->setFont(font);
        QCoreApplication::processEvents();
        QCOMPARE(pView->LineCount(), int(WidgetLines(*pView).size()));
        QVERIFY(pView->LineCount() > nBefore);

        // A proportional font: no shape grouping, still exact.
        pView->setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
        QCoreApplication::processEvents();
        QCOMPARE(pView->LineCount(), int(WidgetLines(*pView).size()));
        QCOMPARE(ModelLines(*pView), WidgetLines(*pView));
    }

    // Typing into a writable log, deleting across lines and replacing a
    // selection keep the count in step with the widget.
    void LineCountFollowsEdits()
    {
        auto pView = MakeView(260);
        for (int i = 0; i < 30; ++i)
            Append(*pView, QByteArray::number(i) + " 2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n");
        QTextCursor cursor = pView->textCursor();
        cursor.setPosition(pView->document()->findBlockByNumber(5).position() + 3);
        cursor.setPosition(pView->document()->findBlockByNumber(9).position() + 7, QTextCursor::KeepAnchor);
        pView->setTextCursor(cursor);
        pView->InsertText("replaced\r\nacross\r\n");
        QCOMPARE(pView->LineCount(), int(WidgetLines(*pView).size()));

        pView->setFocus();
        QTest::keyClicks(pView.get(), "typed text that is long enough to wrap at this width");
        QTest::keyClick(pView.get(), Qt::Key_Return);
        QTest::keyClick(pView.get(), Qt::Key_Backspace);
        QTest::keyClick(pView.get(), Qt::Key_Backspace);
        QCOMPARE(pView->LineCount(), int(WidgetLines(*pView).size()));
        QCOMPARE(ModelLines(*pView), WidgetLines(*pView));
    }

    void AppendLandsAtEndWhateverIsSelected_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("writable") << false;
        QTest::newRow("read-only") << true;
    }

    void AppendLandsAtEndWhateverIsSelected()
    {
        QFETCH(bool, readOnly);
        auto pView = MakeView(400);
        pView->SetReadOnly(readOnly);
        for (int i = 0; i < 200; ++i)
            Append(*pView, "line " + QByteArray::number(i) + "\r\n");

        // The user scrolls to the top and selects something in the middle.
        pView->verticalScrollBar()->setValue(0);
        QTextCursor cursor = pView->textCursor();
        cursor.setPosition(pView->document()->findBlockByNumber(50).position());
        cursor.setPosition(pView->document()->findBlockByNumber(52).position() + 3, QTextCursor::KeepAnchor);
        pView->setTextCursor(cursor);
        QVERIFY(pView->textCursor().hasSelection());

        Append(*pView, "the newest line\r\n");
        QCoreApplication::processEvents();

        const QByteArray baText = pView->GetTextBytes();
        QVERIFY(baText.endsWith("line 199\r\nthe newest line\r\n"));
        QVERIFY(baText.contains("line 50\r\nline 51\r\nline 52\r\n"));
        QVERIFY(!pView->textCursor().hasSelection());
        QCOMPARE(pView->textCursor().position(), pView->document()->characterCount() - 1);
        // Scrolled to the end: the caret, on the empty line after the newest
        // one, stands inside the window.
        QVERIFY(pView->verticalScrollBar()->value() > 150);
        QVERIFY(pView->viewport()->rect().contains(pView->cursorRect()));
        QCOMPARE(pView->LineCount(), 202);
        QCOMPARE(pView->ReadLine(200), QStringLiteral("the newest line"));
    }

    void ClearThenAppend_data()
    {
        QTest::addColumn<bool>("readOnly");
        QTest::newRow("writable") << false;
        QTest::newRow("read-only") << true;
    }

    void ClearThenAppend()
    {
        QFETCH(bool, readOnly);
        auto pView = MakeView(300);
        pView->SetReadOnly(readOnly);
        for (int i = 0; i < 50; ++i)
            Append(*pView, "2023-5-7  9:05:03 Spo2: 98 (%) HR: 72 (bpm) \r\n");
        pView->SetModified(false);

        pView->ClearLog();
        QCOMPARE(pView->LineCount(), 1);
        QCOMPARE(pView->ReadLine(0), QString());
        QCOMPARE(pView->GetTextBytes(), QByteArray());
        QVERIFY(pView->IsModified());
        QCOMPARE(pView->IsReadOnly(), readOnly);

        Append(*pView, "first\r\n");
        QCOMPARE(pView->GetTextBytes(), QByteArray("first\r\n"));
        QCOMPARE(pView->LineCount(), 2);
        QCOMPARE(pView->ReadLine(0), QStringLiteral("first"));

        // Clearing an empty log changes nothing.
        pView->ClearLog();
        pView->SetModified(false);
        pView->ClearLog();
        QVERIFY(!pView->IsModified());
    }

    void InsertTextReplacesSelectionAndLeavesCaretAfter()
    {
        COxilumeView view;
        view.InsertText("one\r\ntwo\nthree\rfour");
        QTextCursor cursor = view.textCursor();
        cursor.setPosition(1);
        cursor.setPosition(6, QTextCursor::KeepAnchor);  // "ne\r\ntw" as the widget holds it
        view.setTextCursor(cursor);
        view.InsertText(std::string("X\r\nY"));
        QCOMPARE(view.GetTextBytes(), QByteArray("oX\r\nYo\nthree\rfour"));
        QCOMPARE(view.textCursor().position(), 4);  // after "oX", the line break and "Y"
        QVERIFY(!view.textCursor().hasSelection());
        QVERIFY(view.IsModified());
        QVERIFY(!view.document()->isUndoAvailable());
    }

    // The rich-edit control would drop text beyond 16,777,215 characters;
    // this log keeps all of it.
    void KeepsTextBeyondTheOldLimit()
    {
        COxilumeView view;
        view.SetReadOnly(true);
        const QByteArray baLine = QByteArray(998, 'x') + "\r\n";
        // The widget holds a line break as one character.
        const int nLines = 16777215 / 999 + 2;
        for (int i = 0; i < nLines; ++i)
            Append(view, baLine);
        Append(view, "the last words\r\n");
        QVERIFY(view.document()->characterCount() > 16777215);
        const QByteArray baText = view.GetTextBytes();
        QCOMPARE(baText.size(), qsizetype(nLines) * 1000 + 16);
        QVERIFY(baText.endsWith("x\r\nthe last words\r\n"));
        QCOMPARE(view.ReadLine(view.LineCount() - 2), QStringLiteral("the last words"));
    }
};

QTEST_MAIN(CLogViewTest)
#include "LogViewTest.moc"
