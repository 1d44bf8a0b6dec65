// Page layout of the printed log, printed through the real CUPS PDF queue
// and read back with poppler. The command-line runs live in tst_printcmdline.

#include "PdfReadBack.h"
#include "log/LogPrinter.h"
#include "log/MessageBox.h"

#include <QApplication>
#include <QDialog>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <unistd.h>

using namespace PdfReadBack;

namespace
{
constexpr int kJobTimeoutMs = 180000;

QStringList MakeLines(int nLines)
{
    QStringList lines;
    for (int i = 0; i < nLines; ++i)
        lines << QStringLiteral("L%1\r\n").arg(i, 4, 10, QLatin1Char('0'));
    return lines;
}

QString Stem(const char* pszCase)
{
    return QStringLiteral("oxlp%1_%2").arg(getpid()).arg(QLatin1String(pszCase));
}

CLogPrinter PrinterFor(const QStringList& lines)
{
    // An empty log still has its one empty line.
    return CLogPrinter([lines] { return std::max(1, static_cast<int>(lines.size())); },
                       [lines](int i) { return i < lines.size() ? lines.at(i) : QString(); });
}

QString FontsOf(const QString& strPdf)
{
    QProcess process;
    process.start(QStringLiteral("pdffonts"), {strPdf});
    process.waitForFinished(60000);
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}
}  // namespace

class CLogPrinterTest : public QObject
{
    Q_OBJECT

private:
    // Prints the lines on the default printer and reads the PDF back.
    QVector<CPage> PrintThroughCups(const QStringList& lines, const char* pszCase, QString* pstrPdf = nullptr)
    {
        const QString strStem = Stem(pszCase);
        RemoveOutput(strStem);
        CLogPrinter::SetPrintTo(QString());
        if (!PrinterFor(lines).Print(nullptr, CLogPrinter::AtOnce, strStem))
            return {};
        const QString strPdf = WaitForPdf(strStem, kJobTimeoutMs);
        if (strPdf.isEmpty())
            return {};
        if (pstrPdf)
            *pstrPdf = strPdf;
        QString strError;
        QVector<CPage> pages = ReadPdf(strPdf, &strError);
        if (!strError.isEmpty())
            qWarning("%s", qPrintable(strError));
        return pages;
    }

    // Prints one page straight into a PDF file of the given page, without the
    // print system: for layouts that no paper of the queue holds.
    static QVector<CPage> PrintPageToFile(const QStringList& lines, int nPage, int nLastPage,
                                          const QPageSize& pageSize, QPageLayout::Orientation eOrientation)
    {
        QTemporaryDir dir;
        const QString strPdf = dir.filePath(QStringLiteral("page.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(strPdf);
        printer.setResolution(CLogPrinter::kDotsPerInch);
        printer.setPageLayout(QPageLayout(pageSize, eOrientation, QMarginsF()));
        printer.setFullPage(false);
        QPainter painter(&printer);
        painter.setFont(CLogPrinter::PrinterFont());
        PrinterFor(lines).PrintPage(painter, nPage, nLastPage);
        painter.end();
        return ReadPdf(strPdf);
    }

private slots:
    void initTestCase()
    {
        const QString strWhy = WhyCupsNotReady();
        if (!strWhy.isEmpty())
            QFAIL(qPrintable(QStringLiteral("cannot print: ") + strWhy));
    }

    void pageCount_data()
    {
        QTest::addColumn<int>("nLines");
        QTest::addColumn<int>("nPages");
        QTest::newRow("no line") << 0 << 1;
        QTest::newRow("one line") << 1 << 1;
        QTest::newRow("46 lines") << 46 << 1;
        QTest::newRow("47 lines") << 47 << 2;
        QTest::newRow("92 lines") << 92 << 2;
        QTest::newRow("93 lines") << 93 << 3;
        QTest::newRow("100 lines") << 100 << 3;
        QTest::newRow("20000 lines") << 20000 << 435;
        QTest::newRow("3014610 lines") << 3014610 << 65535;
    }
    void pageCount()
    {
        QFETCH(int, nLines);
        QFETCH(int, nPages);
        QCOMPARE(CLogPrinter::PageCount(nLines), nPages);
        QPrinter printer;
        CLogPrinter logPrinter([nLines] { return std::max(1, nLines); }, [](int) { return QString(); });
        QCOMPARE(logPrinter.PreparePrinting(printer), nPages);
        QCOMPARE(printer.fromPage(), 1);
        QCOMPARE(printer.toPage(), nPages);
    }

    void footerAndJobName()
    {
        QCOMPARE(CLogPrinter::FooterText(3, 12), QString::fromUtf8("\xE9\xA0\x81 3 / 12"));
        QCOMPARE(CLogPrinter::JobName(QStringLiteral("a-title-that-is-longer-than-31-characters.txt")),
                 QStringLiteral("a-title-that-is-longer-than-31-"));
        QCOMPARE(CLogPrinter::JobName(QStringLiteral("log.txt")), QStringLiteral("log.txt"));
        // The font must cover the ideograph, or the footer prints a box.
        QVERIFY(QFontMetrics(CLogPrinter::PrinterFont()).inFontUcs4(0x9801));
    }

    // Which lines land on which page, and the footer of every page.
    void pages_data()
    {
        QTest::addColumn<int>("nLines");
        QTest::addColumn<int>("nPages");
        QTest::newRow("empty log") << 0 << 1;
        QTest::newRow("46 lines") << 46 << 1;
        QTest::newRow("47 lines") << 47 << 2;
        QTest::newRow("100 lines") << 100 << 3;
    }
    void pages()
    {
        QFETCH(int, nLines);
        QFETCH(int, nPages);
        const QStringList lines = MakeLines(nLines);
        QString strPdf;
        const QByteArray caseName = QByteArray("pages") + QByteArray::number(nLines);
        const QVector<CPage> printed = PrintThroughCups(lines, caseName.constData(), &strPdf);
        QCOMPARE(printed.size(), nPages);
        for (int p = 1; p <= nPages; ++p)
        {
            const CPage& page = printed.at(p - 1);
            QStringList expected;
            for (int i = (p - 1) * CLogPrinter::kLinesPerPage; i < std::min(p * CLogPrinter::kLinesPerPage, nLines); ++i)
                expected << QStringLiteral("L%1").arg(i, 4, 10, QLatin1Char('0'));
            expected << QString::fromUtf8("\xE9\xA0\x81 %1 / %2").arg(p).arg(nPages);
            QStringList got;
            for (const CLine& line : page.Lines())
                got << line.strText;
            QCOMPARE(got, expected);
        }
        // The ideograph comes from a face that has it, not as a substitute box.
        QVERIFY2(FontsOf(strPdf).contains(QLatin1String("CJK")), qPrintable(FontsOf(strPdf)));
    }

    // Lines stand 100 dots apart from y = 130 at x = 30; the footer ends at
    // (4558, 6762) whatever the width of its numbers.
    void positions()
    {
        const QVector<CPage> printed = PrintThroughCups(MakeLines(10 * CLogPrinter::kLinesPerPage), "pos");
        QCOMPARE(printed.size(), 10);

        const CPage& first = printed.first();
        const QVector<CLine> lines = first.Lines();
        QCOMPARE(lines.size(), CLogPrinter::kLinesPerPage + 1);
        for (int k = 1; k <= CLogPrinter::kLinesPerPage; ++k)
        {
            const CLine& line = lines.at(k - 1);
            // The read-back top is the face's ascent above the baseline; the
            // print system's conversion rewrites the faces and with them the
            // ascent, so only the step is exact here (see pageGeometry).
            QVERIFY2(std::abs(line.rTop - (30 + 100 * k)) <= 20,
                     qPrintable(QStringLiteral("line %1 at y %2").arg(k).arg(line.rTop)));
            QVERIFY2(std::abs(line.rLeft - 30) <= 8, qPrintable(QStringLiteral("x %1").arg(line.rLeft)));
            if (k > 1)
                QVERIFY2(std::abs(line.rTop - lines.at(k - 2).rTop - 100) <= 1,
                         qPrintable(QStringLiteral("step %1").arg(line.rTop - lines.at(k - 2).rTop)));
        }
        const CLine page10Top = printed.at(9).Lines().first();
        QCOMPARE(page10Top.strText, QStringLiteral("L0414"));
        QVERIFY(std::abs(page10Top.rTop - lines.first().rTop) <= 1);

        const std::optional<CLine> footer9 = printed.at(8).Find(QString::fromUtf8("\xE9\xA0\x81 9 / 10"));
        const std::optional<CLine> footer10 = printed.at(9).Find(QString::fromUtf8("\xE9\xA0\x81 10 / 10"));
        QVERIFY(footer9 && footer10);
        QVERIFY2(std::abs(footer9->rRight - 4558) <= 4, qPrintable(QString::number(footer9->rRight)));
        QVERIFY2(std::abs(footer10->rRight - footer9->rRight) <= 1,
                 qPrintable(QStringLiteral("%1 vs %2").arg(footer10->rRight).arg(footer9->rRight)));
        QVERIFY(footer10->rLeft < footer9->rLeft - 20);
        QVERIFY2(std::abs(footer9->rBottom - 6762) <= 25, qPrintable(QString::number(footer9->rBottom)));
        QVERIFY(std::abs(footer10->rBottom - footer9->rBottom) <= 1);
    }

    // The same page straight from the page printing, fonts untouched: the
    // text tops and the footer's corner stand exactly where they belong.
    void pageGeometry()
    {
        const QVector<CPage> printed =
            PrintPageToFile(MakeLines(100), 2, 3, QPageSize(QPageSize::A4), QPageLayout::Portrait);
        QCOMPARE(printed.size(), 1);
        const QVector<CLine> lines = printed.first().Lines();
        QCOMPARE(lines.size(), CLogPrinter::kLinesPerPage + 1);
        for (int k = 1; k <= CLogPrinter::kLinesPerPage; ++k)
        {
            const CLine& line = lines.at(k - 1);
            QCOMPARE(line.strText, QStringLiteral("L%1").arg(45 + k, 4, 10, QLatin1Char('0')));
            QVERIFY2(std::abs(line.rTop - (30 + 100 * k)) <= 1,
                     qPrintable(QStringLiteral("line %1 at y %2").arg(k).arg(line.rTop)));
            QVERIFY2(std::abs(line.rLeft - 30) <= 1, qPrintable(QStringLiteral("x %1").arg(line.rLeft)));
        }
        const CLine& footer = lines.last();
        QCOMPARE(footer.strText, QString::fromUtf8("\xE9\xA0\x81 2 / 3"));
        QVERIFY2(std::abs(footer.rRight - 4558) <= 1, qPrintable(QString::number(footer.rRight)));
        // The ideograph's face reaches a little lower than the digits' face;
        // the corner is placed by the line's font, the digits' one.
        double rDigitsBottom = 0;
        for (const CWord& word : printed.first().words)
            if (word.strText == QLatin1String("3"))
                rDigitsBottom = word.rBottom;
        QVERIFY2(std::abs(rDigitsBottom - 6762) <= 1, qPrintable(QString::number(rDigitsBottom)));
    }

    // A line longer than 99 characters prints whole.
    void longLineWhole()
    {
        const QString strLong = QStringLiteral("X").repeated(60) + QStringLiteral("0123456789").repeated(9);
        const QVector<CPage> printed = PrintPageToFile({strLong + QStringLiteral("\r\n")}, 1, 1,
                                                       QPageSize(QPageSize::A3), QPageLayout::Landscape);
        QCOMPARE(printed.size(), 1);
        QVERIFY(printed.first().Find(strLong));
    }

    // A page past the end of a log that shrank carries its footer alone.
    void emptySlice()
    {
        const QVector<CPage> printed =
            PrintPageToFile(MakeLines(10), 3, 3, QPageSize(QPageSize::A4), QPageLayout::Portrait);
        QCOMPARE(printed.size(), 1);
        QStringList got;
        for (const CLine& line : printed.first().Lines())
            got << line.strText;
        QCOMPARE(got, QStringList{QString::fromUtf8("\xE9\xA0\x81 3 / 3")});
    }

    // Cancelling the Print dialog prints nothing.
    void dialogCancelled()
    {
        QVERIFY(WaitForIdleQueue(kJobTimeoutMs));
        const QString strStem = Stem("cancel");
        RemoveOutput(strStem);
        bool bSawDialog = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (auto* pDialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget()))
            {
                bSawDialog = true;
                pDialog->reject();
            }
        });
        timer.start(100);
        QVERIFY(!PrinterFor(MakeLines(5)).Print(nullptr, CLogPrinter::WithDialog, strStem));
        timer.stop();
        QVERIFY(bSawDialog);
        QVERIFY(WaitForIdleQueue(kJobTimeoutMs));
        QVERIFY(QDir(OutputDir()).entryList({strStem + QLatin1Char('*')}, QDir::Files).isEmpty());
    }

    // A named printer that does not exist: the message, and no job at all
    // (not even the quiet print to a file the platform would fall back to).
    void missingPrinter()
    {
        QVERIFY(WaitForIdleQueue(kJobTimeoutMs));
        const QString strStem = Stem("missing");
        RemoveOutput(strStem);
        QStringList shown;
        CMessageBox::SetAnswerer([&shown](const QString& strText, CMessageBox::EButtons) {
            shown << strText;
            return static_cast<int>(CMessageBox::IDOK);
        });
        CLogPrinter::SetPrintTo(QStringLiteral("NoSuchPrinter"), QStringLiteral("winspool"), QStringLiteral("Ne00:"));
        const bool bPrinted = PrinterFor(MakeLines(5)).Print(nullptr, CLogPrinter::AtOnce, strStem);
        CLogPrinter::SetPrintTo(QString());
        CMessageBox::SetAnswerer({});
        QVERIFY(!bPrinted);
        QCOMPARE(shown, QStringList{QStringLiteral("Could not start print job.")});
        QVERIFY(WaitForIdleQueue(kJobTimeoutMs));
        QVERIFY(QDir(OutputDir()).entryList({strStem + QLatin1Char('*')}, QDir::Files).isEmpty());
        QVERIFY(!QFile::exists(QDir::current().filePath(strStem)));
    }
};

QTEST_MAIN(CLogPrinterTest)
#include "tst_logprinter.moc"
