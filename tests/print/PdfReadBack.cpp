#include "PdfReadBack.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <pwd.h>
#include <unistd.h>

namespace PdfReadBack
{
namespace
{
QString Run(const QString& strProgram, const QStringList& args, int* pnExit = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(strProgram, args);
    if (!process.waitForFinished(60000))
    {
        process.kill();
        process.waitForFinished();
        if (pnExit)
            *pnExit = -1;
        return QString();
    }
    if (pnExit)
        *pnExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

constexpr double kPointsToDots = kDotsPerInch / 72.0;
}  // namespace

QString WhyCupsNotReady()
{
    int nExit = 0;
    const QString strScheduler = Run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &nExit);
    if (!strScheduler.contains(QLatin1String("is running")))
        return QStringLiteral("the CUPS scheduler is not running (lpstat -r: %1); "
                              "run scripts/test.d/pre-cups.sh as root")
            .arg(strScheduler.trimmed());
    const QString strDefault = Run(QStringLiteral("lpstat"), {QStringLiteral("-d")});
    if (!strDefault.contains(QLatin1String(kQueue)))
        return QStringLiteral("%1 is not the default printer (lpstat -d: %2)")
            .arg(QLatin1String(kQueue), strDefault.trimmed());
    const QString strPrinter = Run(QStringLiteral("lpstat"), {QStringLiteral("-p"), QLatin1String(kQueue)});
    if (!strPrinter.contains(QLatin1String("enabled")))
        return QStringLiteral("%1 is not enabled (%2)").arg(QLatin1String(kQueue), strPrinter.trimmed());
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/pdftotext")) &&
        Run(QStringLiteral("pdftotext"), {QStringLiteral("-v")}).isEmpty())
        return QStringLiteral("pdftotext (poppler-utils) is missing");
    return QString();
}

QString OutputDir()
{
    const QByteArray env = qgetenv("OXILUME_PDF_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    const passwd* pUser = getpwuid(geteuid());
    return QStringLiteral("/var/spool/cups-pdf/") +
           (pUser ? QString::fromLocal8Bit(pUser->pw_name) : QStringLiteral("root"));
}

void RemoveOutput(const QString& strStem)
{
    QDir dir(OutputDir());
    for (const QString& strName : dir.entryList({strStem + QLatin1Char('*')}, QDir::Files))
        dir.remove(strName);
}

bool WaitForIdleQueue(int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < nTimeoutMs)
    {
        int nExit = 0;
        const QString strJobs = Run(QStringLiteral("lpstat"), {QStringLiteral("-o"), QLatin1String(kQueue)}, &nExit);
        if (nExit == 0 && strJobs.trimmed().isEmpty())
            return true;
        QThread::msleep(250);
    }
    return false;
}

QString WaitForPdf(const QString& strStem, int nTimeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QDir dir(OutputDir());
    while (timer.elapsed() < nTimeoutMs)
    {
        if (WaitForIdleQueue(std::max<qint64>(1, nTimeoutMs - timer.elapsed())))
        {
            dir.refresh();
            const QStringList names =
                dir.entryList({strStem + QStringLiteral("*.pdf")}, QDir::Files, QDir::Time);
            if (!names.isEmpty())
                return dir.filePath(names.first());
        }
        QThread::msleep(250);
    }
    return QString();
}

QVector<CPage> ReadPdf(const QString& strPath, QString* pstrError)
{
    QVector<CPage> pages;
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), strPath, QStringLiteral("-")});
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
    {
        if (pstrError)
            *pstrError = QStringLiteral("pdftotext failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
        return pages;
    }
    QXmlStreamReader xml(process.readAllStandardOutput());
    while (!xml.atEnd())
    {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        const auto attrs = xml.attributes();
        if (xml.name() == QLatin1String("page"))
        {
            CPage page;
            page.rWidth = attrs.value(QLatin1String("width")).toDouble() * kPointsToDots;
            page.rHeight = attrs.value(QLatin1String("height")).toDouble() * kPointsToDots;
            pages.append(page);
        }
        else if (xml.name() == QLatin1String("word") && !pages.isEmpty())
        {
            CWord word;
            word.rLeft = attrs.value(QLatin1String("xMin")).toDouble() * kPointsToDots;
            word.rTop = attrs.value(QLatin1String("yMin")).toDouble() * kPointsToDots;
            word.rRight = attrs.value(QLatin1String("xMax")).toDouble() * kPointsToDots;
            word.rBottom = attrs.value(QLatin1String("yMax")).toDouble() * kPointsToDots;
            // CJK faces share one glyph between 頁 and the radical U+2FB4,
            // and the text read back may name either.
            word.strText = xml.readElementText().normalized(QString::NormalizationForm_KC);
            pages.last().words.append(word);
        }
    }
    if (xml.hasError() && pstrError)
        *pstrError = QStringLiteral("pdftotext output: ") + xml.errorString();
    return pages;
}

QVector<CLine> CPage::Lines() const
{
    QVector<CWord> sorted = words;
    std::sort(sorted.begin(), sorted.end(), [](const CWord& a, const CWord& b) {
        if (std::abs(a.rTop - b.rTop) > 20)
            return a.rTop < b.rTop;
        return a.rLeft < b.rLeft;
    });
    QVector<CLine> lines;
    for (const CWord& word : sorted)
    {
        // A glyph from another face may sit a little higher or lower.
        if (!lines.isEmpty() && std::abs(lines.last().rTop - word.rTop) <= 20)
        {
            CLine& line = lines.last();
            line.strText += QLatin1Char(' ') + word.strText;
            line.rLeft = std::min(line.rLeft, word.rLeft);
            line.rRight = std::max(line.rRight, word.rRight);
            line.rBottom = std::max(line.rBottom, word.rBottom);
            continue;
        }
        lines.append(CLine{word.rTop, word.rLeft, word.rRight, word.rBottom, word.strText});
    }
    return lines;
}

std::optional<CLine> CPage::Find(const QString& strText) const
{
    for (const CLine& line : Lines())
        if (line.strText == strText)
            return line;
    return std::nullopt;
}

bool WriteLog(const QString& strPath, int nLines, bool bLastEnded)
{
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    for (int i = 0; i < nLines; ++i)
    {
        file.write(QStringLiteral("L%1").arg(i, 4, 10, QLatin1Char('0')).toLatin1());
        if (i + 1 < nLines || bLastEnded)
            file.write("\r\n");
    }
    return file.error() == QFile::NoError;
}
}  // namespace PdfReadBack
