// Printing a long log from the command line: the program's own CPU time
// (user + system) and peak memory, against the 10 s target and against a
// one-page print measured in the same run.

#include "PdfReadBack.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace PdfReadBack;

namespace
{
constexpr int kLines = 20000;
constexpr double kTargetSeconds = 10.0;

struct CRun
{
    bool bOk = false;
    double rCpuSeconds = 0;
    double rWallSeconds = 0;
    long nMaxRssKiB = 0;
    double rUntilPdfSeconds = 0;
    int nPages = 0;
};

bool WriteReadings(const QString& strPath, int nLines)
{
    QFile file(strPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray baAll;
    for (int i = 0; i < nLines; ++i)
        baAll += QStringLiteral("%1  2026/12/11 %2:%3:%4  SpO2 %5%  PR %6 bpm\r\n")
                     .arg(i + 1, 5)
                     .arg(i / 3600 % 24, 2, 10, QLatin1Char('0'))
                     .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                     .arg(i % 60, 2, 10, QLatin1Char('0'))
                     .arg(90 + i % 10)
                     .arg(60 + i % 40)
                     .toLatin1();
    return file.write(baAll) == baAll.size();
}

int PageCount(const QString& strPdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {strPdf});
    process.waitForFinished(60000);
    for (const QByteArray& line : process.readAllStandardOutput().split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return 0;
}

// Runs the program with "-p file" and takes its resource use from wait4.
CRun PrintFile(const QString& strPath, const QString& strStem)
{
    CRun run;
    RemoveOutput(strStem);
    if (!WaitForIdleQueue(300000))
        return run;
    const QByteArray baBinary = OXILUME_BINARY;
    // Named relative to its folder: an absolute name begins with "/", the
    // flag character.
    const QByteArray baDir = QFileInfo(strPath).absolutePath().toLocal8Bit();
    const QByteArray baFile = QFileInfo(strPath).fileName().toLocal8Bit();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = fork();
    if (pid == 0)
    {
        if (chdir(baDir.constData()) != 0)
            _exit(126);
        execl(baBinary.constData(), baBinary.constData(), "-p", baFile.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return run;
    int nStatus = 0;
    rusage usage{};
    if (wait4(pid, &nStatus, 0, &usage) != pid)
        return run;
    run.rWallSeconds = timer.elapsed() / 1000.0;
    run.rCpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                      usage.ru_stime.tv_usec / 1e6;
    run.nMaxRssKiB = usage.ru_maxrss;
    if (!WIFEXITED(nStatus))
        return run;
    const QString strPdf = WaitForPdf(strStem, 600000);
    run.rUntilPdfSeconds = timer.elapsed() / 1000.0;
    if (strPdf.isEmpty())
        return run;
    run.nPages = PageCount(strPdf);
    run.bOk = true;
    return run;
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString strWhy = WhyCupsNotReady();
    if (!strWhy.isEmpty())
    {
        std::fprintf(stderr, "bench_print: cannot print: %s\n", qPrintable(strWhy));
        return 1;
    }
    QTemporaryDir dir;
    const QString strStem = QStringLiteral("oxbench%1").arg(getpid());
    const QString strSmall = dir.filePath(strStem + QStringLiteral("a.log"));
    const QString strLarge = dir.filePath(strStem + QStringLiteral("b.log"));
    if (!WriteReadings(strSmall, 1) || !WriteReadings(strLarge, kLines))
        return 1;

    const CRun small = PrintFile(strSmall, strStem + QLatin1Char('a'));
    const CRun large = PrintFile(strLarge, strStem + QLatin1Char('b'));
    if (!small.bOk || !large.bOk)
    {
        std::fprintf(stderr, "bench_print: a print did not come out of the queue\n");
        return 1;
    }
    std::printf("print %d lines, %d pages (one-line log: %d page)\n", kLines, large.nPages, small.nPages);
    std::printf("  own time (user+sys): %.2f s = %.3f x the %.0f s target; one-page print %.2f s (x %.1f)\n",
                large.rCpuSeconds, large.rCpuSeconds / kTargetSeconds, kTargetSeconds, small.rCpuSeconds,
                large.rCpuSeconds / small.rCpuSeconds);
    std::printf("  peak memory (max RSS): %.1f MiB = %.2f x the one-page print's %.1f MiB\n",
                large.nMaxRssKiB / 1024.0, static_cast<double>(large.nMaxRssKiB) / small.nMaxRssKiB,
                small.nMaxRssKiB / 1024.0);
    std::printf("  wall time of the program: %.2f s; until the queue's PDF was there: %.2f s\n",
                large.rWallSeconds, large.rUntilPdfSeconds);
    const bool bPass = large.nPages == (kLines + 45) / 46 && large.rCpuSeconds < kTargetSeconds;
    std::printf("%s\n", bPass ? "within target" : "OVER TARGET or wrong page count");
    return bPass ? 0 : 1;
}
