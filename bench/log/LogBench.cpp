// Cost of the log as it grows: appending one line, LineCount (as laid out,
// wrapped), LineCount after a resize, and resident memory at 300,000 lines.
// Figures are printed as ratios to their limits; a ratio under 1 is within.
// "size" is the log's length when the appends were timed; "lines" counts
// them in; "count" columns are LineCount wrapped and in the wide window.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <functional>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "log/OxilumeView.h"
#include "log/WrapModel.h"

namespace
{
constexpr int kWrapWidth = 400;   // viewport width at which every line wraps once
constexpr int kWideWidth = 640;   // a typical window: the lines fit
constexpr double kAppendRatioLimit = 2.0;
constexpr double kLineCountLimitMs = 250.0;
constexpr double kRssLimitMiB = 300.0;

QByteArray Line(int n)
{
    // About 60 characters, like a numbered memory record.
    return QByteArray::number(n % 100000).rightJustified(5, '0') + "/300000 2023-5-" + QByteArray::number(n % 28 + 1) +
           " " + QByteArray::number(n % 24).rightJustified(2, ' ') + ":05:03 Spo2: " +
           QByteArray::number(90 + n % 10) + " (%) HR: " + QByteArray::number(60 + n % 50) + " (bpm) \r\n";
}

double RssMiB()
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n'))
    {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

void SetViewportWidth(COxilumeView& view, int nWidth)
{
    for (int i = 0; i < 3; ++i)
    {
        view.resize(view.width() + (nWidth - view.viewport()->width()), 400);
        QCoreApplication::processEvents();
    }
}

// Median cost of one append (ScrollToEnd, InsertText, and the event loop's
// turn that repaints), in microseconds.
double AppendMicros(COxilumeView& view, int& nNext)
{
    std::vector<double> vecMicros;
    QElapsedTimer timer;
    for (int i = 0; i < 301; ++i)
    {
        const QByteArray baLine = Line(nNext++);
        timer.start();
        view.ScrollToEnd();
        view.InsertText(baLine);
        QCoreApplication::processEvents();
        vecMicros.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::nth_element(vecMicros.begin(), vecMicros.begin() + 150, vecMicros.end());
    return vecMicros[150];
}

double TimeMs(const std::function<void()>& fn)
{
    QElapsedTimer timer;
    timer.start();
    fn();
    return double(timer.nsecsElapsed()) / 1e6;
}

void FillTo(COxilumeView& view, int& nNext, int nLines)
{
    while (view.document()->blockCount() - 1 < nLines)
    {
        QByteArray baChunk;
        const int nChunk = std::min(1000, nLines - (view.document()->blockCount() - 1));
        for (int i = 0; i < nChunk; ++i)
            baChunk += Line(nNext++);
        view.ScrollToEnd();
        view.InsertText(baChunk);
        QCoreApplication::processEvents();
    }
}
}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    COxilumeView view;
    view.SetReadOnly(true);
    view.show();
    SetViewportWidth(view, kWrapWidth);
    std::printf("viewport %d px, line \"%s\" (%d bytes)\n", view.viewport()->width(),
                Line(0).trimmed().constData(), int(Line(0).size()));

    int nNext = 0;
    double rAppendAtZero = 0;
    double rAppendAt300k = 0;
    double rCountAt300k = 0;
    double rCountAfterResize = 0;
    std::printf("%8s %8s %12s %14s %10s %16s %10s\n", "size", "lines", "append us", "LineCount ms", "count", "after resize ms",
                "count");
    for (int nSize : {0, 20000, 100000, 300000})
    {
        FillTo(view, nNext, nSize);
        SetViewportWidth(view, kWrapWidth);
        view.LineCount();
        const double rAppend = AppendMicros(view, nNext);
        int nCount = 0;
        const double rCount = TimeMs([&] { nCount = view.LineCount(); });

        // Resize to the wide window and back: the count must follow both.
        SetViewportWidth(view, kWideWidth);
        int nWide = 0;
        const double rWide = TimeMs([&] { nWide = view.LineCount(); });
        SetViewportWidth(view, kWrapWidth);
        int nBack = 0;
        const double rBack = TimeMs([&] { nBack = view.LineCount(); });
        const int nBlocks = view.document()->blockCount() - 1;
        const bool bRight = nCount == 2 * nBlocks + 1 && nWide == nBlocks + 1 && nBack == nCount;
        std::printf("%8d %8d %12.1f %14.3f %10d %16.3f %10d%s\n", nSize, nBlocks, rAppend, rCount, nCount, std::max(rWide, rBack),
                    nWide, bRight ? "" : "  WRONG COUNT");
        if (nSize == 0)
            rAppendAtZero = rAppend;
        if (nSize == 300000)
        {
            rAppendAt300k = rAppend;
            rCountAt300k = rCount;
            rCountAfterResize = std::max(rWide, rBack);
        }
    }
    const double rRss = RssMiB();

    std::printf("\nratios to the limits (under 1 is within):\n");
    std::printf("  append at 300k / append at 0 = %.2f, limit %.1f -> ratio %.2f\n", rAppendAt300k / rAppendAtZero,
                kAppendRatioLimit, rAppendAt300k / rAppendAtZero / kAppendRatioLimit);
    std::printf("  LineCount at 300k = %.3f ms, limit %.0f ms -> ratio %.4f\n", rCountAt300k, kLineCountLimitMs,
                rCountAt300k / kLineCountLimitMs);
    std::printf("  LineCount after resize at 300k = %.3f ms, limit %.0f ms -> ratio %.4f\n", rCountAfterResize,
                kLineCountLimitMs, rCountAfterResize / kLineCountLimitMs);
    std::printf("  VmRSS at 300k = %.1f MiB, limit %.0f MiB -> ratio %.2f\n", rRss, kRssLimitMiB, rRss / kRssLimitMiB);
    std::printf("  shapes at 300k: %d (grouping %s)\n", view.WrapModel().ShapeCount(),
                view.WrapModel().IsShapeGrouping() ? "on" : "off");

    // Reading every line, as printing does.
    qsizetype nChars = 0;
    const double rRead = TimeMs([&] {
        const int nLines = view.LineCount();
        for (int i = 0; i < nLines; ++i)
            nChars += view.ReadLine(i).size();
    });
    std::printf("  at 300k: ReadLine of every line %.0f ms (%.2f us a line)\n", rRead,
                rRead * 1000.0 / view.LineCount());

    // The file steps on the same log.
    QByteArray baFile;
    const double rSave = TimeMs([&] { baFile = view.GetTextBytes(); });
    const double rOpen = TimeMs([&] {
        view.SetTextBytes(baFile);
        view.LineCount();
    });
    const double rClear = TimeMs([&] {
        view.ClearLog();
        view.LineCount();
    });
    std::printf("  at 300k: text to bytes %.0f ms (%.1f MiB), bytes to log and count %.0f ms, ClearLog %.0f ms\n",
                rSave, baFile.size() / 1048576.0, rOpen, rClear);
    view.SetTextBytes(baFile);
    QCoreApplication::processEvents();

    // For comparison: the widget's own layout of every block (what the count
    // avoids), and the count with a proportional font, where every line is
    // its own shape.
    const double rFull = TimeMs([&] {
        for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
            view.document()->documentLayout()->blockBoundingRect(block);
    });
    std::printf("\nfor comparison at 300k: laying out every block in the widget %.0f ms\n", rFull);
    view.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
    QCoreApplication::processEvents();
    int nProp = 0;
    const double rProp = TimeMs([&] { nProp = view.LineCount(); });
    std::printf("  proportional font, first LineCount %.0f ms (%d lines, %d shapes)\n", rProp, nProp,
                view.WrapModel().ShapeCount());
    return 0;
}
