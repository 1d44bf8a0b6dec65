// The program printing from its command line ("p" and "pt") through the real
// CUPS PDF queue; the PDFs are read back with poppler.

#include "PdfReadBack.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <unistd.h>

using namespace PdfReadBack;

namespace
{
constexpr int kRunTimeoutMs = 120000;
constexpr int kJobTimeoutMs = 120000;

QString Footer(int nPage, int nPages)
{
    return QString::fromUtf8("\xE9\xA0\x81 %1 / %2").arg(nPage).arg(nPages);
}

QString LineName(int i)
{
    return QStringLiteral("L%1").arg(i, 4, 10, QLatin1Char('0'));
}

struct CResult
{
    bool bFinished = false;
    int nExitCode = -1;
    QString strStderr;
};

// Runs the program; it must end by itself (a window or a box left waiting
// for someone would keep it running until the time-out).
CResult RunOxilume(const QString& strDir, const QStringList& args)
{
    CResult result;
    QProcess process;
    // File names are given relative to this folder: an absolute name begins
    // with "/", the flag character.
    process.setWorkingDirectory(strDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(OXILUME_BINARY), args);
    if (!process.waitForStarted(30000))
        return result;
    result.bFinished = process.waitForFinished(kRunTimeoutMs);
    if (!result.bFinished)
    {
        process.kill();
        process.waitForFinished();
    }
    result.nExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.strStderr = QString::fromLocal8Bit(process.readAllStandardError());
    return result;
}

QStringList Texts(const CPage& page)
{
    QStringList texts;
    for (const CLine& line : page.Lines())
        texts << line.strText;
    return texts;
}
}  // namespace

class CPrintCmdLineTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Stem(const QString& strCase) const { return QStringLiteral("oxcl%1%2").arg(getpid()).arg(strCase); }

    // Writes a log of nLines lines, prints it with the arguments before the
    // file name (and those after it), and reads the queue's PDF back.
    QVector<CPage> PrintLog(const QString& strCase, int nLines, const QStringList& before,
                            const QStringList& after = {}, bool bLastEnded = false)
    {
        const QString strStem = Stem(strCase);
        RemoveOutput(strStem);
        const QString strName = strStem + QStringLiteral(".log");
        if (!WriteLog(m_dir.filePath(strName), nLines, bLastEnded))
            return {};
        const CResult result = RunOxilume(m_dir.path(), before + QStringList{strName} + after);
        if (!result.bFinished)
        {
            qWarning("oxilume did not end by itself: %s", qPrintable(result.strStderr));
            return {};
        }
        if (result.nExitCode != 0)
        {
            qWarning("oxilume ended with %d: %s", result.nExitCode, qPrintable(result.strStderr));
            return {};
        }
        const QString strPdf = WaitForPdf(strStem, kJobTimeoutMs);
        if (strPdf.isEmpty())
        {
            qWarning("no PDF from the queue for %s", qPrintable(strStem));
            return {};
        }
        return ReadPdf(strPdf);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString strWhy = WhyCupsNotReady();
        if (!strWhy.isEmpty())
            QFAIL(qPrintable(QStringLiteral("cannot print: ") + strWhy));
    }

    // Which lines land on which page, with "-p", "/p" and "pt" naming the
    // default queue itself.
    void printsEveryPage_data()
    {
        QTest::addColumn<int>("nLines");
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<int>("nPages");
        QTest::newRow("empty log, -p") << 0 << QStringList{QStringLiteral("-p")} << QStringList{} << 1;
        QTest::newRow("46 lines, /p") << 46 << QStringList{QStringLiteral("/p")} << QStringList{} << 1;
        QTest::newRow("47 lines, -p") << 47 << QStringList{QStringLiteral("-p")} << QStringList{} << 2;
        QTest::newRow("100 lines, -p") << 100 << QStringList{QStringLiteral("-p")} << QStringList{} << 3;
        QTest::newRow("47 lines, -pt named queue")
            << 47 << QStringList{QStringLiteral("-pt")}
            << QStringList{QLatin1String(kQueue), QStringLiteral("winspool"), QStringLiteral("Ne00:")} << 2;
    }
    void printsEveryPage()
    {
        QFETCH(int, nLines);
        QFETCH(QStringList, before);
        QFETCH(QStringList, after);
        QFETCH(int, nPages);
        const QVector<CPage> pages = PrintLog(QStringLiteral("n%1%2").arg(nLines).arg(after.isEmpty() ? "p" : "pt"),
                                              nLines, before, after);
        QCOMPARE(pages.size(), nPages);
        for (int p = 1; p <= nPages; ++p)
        {
            QStringList expected;
            for (int i = (p - 1) * 46; i < std::min(p * 46, nLines); ++i)
                expected << LineName(i);
            expected << Footer(p, nPages);
            QCOMPARE(Texts(pages.at(p - 1)), expected);
        }
    }

    // Every line of a saved log ends in CR LF, and the empty line after the
    // last one is a line of the log too: 46 such lines make 47, two pages,
    // the second with its empty line and the footer alone.
    void finalLineEnd()
    {
        const QVector<CPage> pages = PrintLog(QStringLiteral("ended"), 46, {QStringLiteral("-p")}, {}, true);
        QCOMPARE(pages.size(), 2);
        QCOMPARE(Texts(pages.at(0)).size(), 47);
        QCOMPARE(Texts(pages.at(0)).at(45), LineName(45));
        QCOMPARE(Texts(pages.at(1)), QStringList{Footer(2, 2)});
    }

    // Lines 100 dots apart from y = 130; the footer's right edge in place
    // for one- and two-digit page numbers.
    void positions()
    {
        const QVector<CPage> pages = PrintLog(QStringLiteral("pos"), 460, {QStringLiteral("-p")});
        QCOMPARE(pages.size(), 10);
        const QVector<CLine> lines = pages.at(2).Lines();
        QCOMPARE(lines.size(), 47);
        QCOMPARE(lines.first().strText, LineName(92));
        // The print system's conversion rewrites the faces and their ascent,
        // so the top is near 130 and the step exact.
        QVERIFY2(std::abs(lines.first().rTop - 130) <= 20, qPrintable(QString::number(lines.first().rTop)));
        for (int k = 2; k <= 46; ++k)
            QVERIFY2(std::abs(lines.at(k - 1).rTop - lines.at(k - 2).rTop - 100) <= 1,
                     qPrintable(QStringLiteral("line %1").arg(k)));
        const std::optional<CLine> footer9 = pages.at(8).Find(Footer(9, 10));
        const std::optional<CLine> footer10 = pages.at(9).Find(Footer(10, 10));
        QVERIFY(footer9 && footer10);
        QVERIFY2(std::abs(footer9->rRight - 4558) <= 4, qPrintable(QString::number(footer9->rRight)));
        QVERIFY(std::abs(footer10->rRight - footer9->rRight) <= 1);
        QVERIFY(footer10->rLeft < footer9->rLeft - 20);
    }

    // "pt" naming a printer that does not exist: the failure is reported,
    // the program ends by itself and nothing is printed.
    void missingPrinter()
    {
        QVERIFY(WaitForIdleQueue(kJobTimeoutMs));
        const QString strStem = Stem(QStringLiteral("missing"));
        RemoveOutput(strStem);
        const QString strName = strStem + QStringLiteral(".log");
        QVERIFY(WriteLog(m_dir.filePath(strName), 5));
        const CResult result = RunOxilume(m_dir.path(), {QStringLiteral("-pt"), strName, QStringLiteral("NoSuchPrinter"),
                                           QStringLiteral("winspool"), QStringLiteral("Ne00:")});
        QVERIFY2(result.bFinished, "oxilume did not end by itself");
        QVERIFY2(result.strStderr.contains(QLatin1String("Could not start print job.")), qPrintable(result.strStderr));
        QVERIFY(result.nExitCode != 0);
        QVERIFY(WaitForIdleQueue(kJobTimeoutMs));
        QVERIFY(QDir(OutputDir()).entryList({strStem + QLatin1Char('*')}, QDir::Files).isEmpty());
    }

    // A file that cannot be opened: reported, a non-zero status, no job.
    void missingFile()
    {
        QVERIFY(WaitForIdleQueue(kJobTimeoutMs));
        const QString strStem = Stem(QStringLiteral("nofile"));
        RemoveOutput(strStem);
        const CResult result = RunOxilume(m_dir.path(), {QStringLiteral("-p"), strStem + QStringLiteral(".log")});
        QVERIFY2(result.bFinished, "oxilume did not end by itself");
        QVERIFY(result.nExitCode != 0);
        QVERIFY2(!result.strStderr.trimmed().isEmpty(), "the failed open was not reported");
        QVERIFY(WaitForIdleQueue(kJobTimeoutMs));
        QVERIFY(QDir(OutputDir()).entryList({strStem + QLatin1Char('*')}, QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(CPrintCmdLineTest)
#include "tst_printcmdline.moc"
