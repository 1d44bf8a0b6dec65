#pragma once

#include <QFont>
#include <QString>
#include <functional>

class QPainter;
class QPrinter;
class QWidget;

// Prints the log: 46 lines a page at fixed printer-dot positions and a
// footer "頁 p / M" at the bottom right of every page. It reads the log only
// through a line count and a line reader, so the lines are those the view
// lays out.
//
// The job itself (printer choice, the loop over the pages, starting and
// ending the document) is done here too, as a small print-job layer: Print()
// with or without the Print dialog and Preview().
class CLogPrinter
{
public:
    using CLineCountFn = std::function<int()>;
    using CReadLineFn = std::function<QString(int nLine)>;

    enum EMode
    {
        WithDialog,  // the Print dialog first, its range preset to 1..M
        AtOnce       // the default printer, or the one named by SetPrintTo()
    };

    static constexpr int kLinesPerPage = 46;
    // Every position on the page is in printer dots of this resolution.
    static constexpr int kDotsPerInch = 600;
    static constexpr int kLineX = 30;
    static constexpr int kFirstLineY = 30;  // the first line stands one step below
    static constexpr int kLineStep = 100;
    static constexpr int kFooterRight = 4558;
    static constexpr int kFooterBottom = 6762;
    static constexpr int kMaxJobNameLength = 31;

    CLogPrinter(CLineCountFn fnLineCount, CReadLineFn fnReadLine);

    // Pages for a log of nLines lines: nLines / 46, rounded up, at least 1.
    static int PageCount(int nLines);
    // "頁 p / M"
    static QString FooterText(int nPage, int nLastPage);
    // The font the pages are printed in: one that has the footer's ideograph.
    static QFont PrinterFont();
    // The document's title cut to the length a job name may have.
    static QString JobName(const QString& strTitle);

    // The printer named on the command line ("pt"); driver and port identify
    // nothing on this platform, the queue name does. An empty name goes back
    // to the default printer.
    static void SetPrintTo(const QString& strPrinter, const QString& strDriver = QString(),
                           const QString& strPort = QString());
    static QString PrintToPrinter();

    // No one is there to answer a dialog (printing from the command line
    // without a display): a job that would need the Print dialog does not
    // start, and says so on the standard error.
    static void SetUnattended(bool bUnattended);
    static bool IsUnattended();

    // Print preparation: the page count M, stored as the printer's last page.
    int PreparePrinting(QPrinter& printer) const;
    // Page printing of page nPage of nLastPage on a painter whose unit is one
    // printer dot from the top-left corner of the printable area.
    void PrintPage(QPainter& painter, int nPage, int nLastPage) const;

    // The whole job. Returns true when the pages went to the printer; false
    // when the dialog was cancelled, no printer could be had or the job did
    // not start ("Could not start print job." is shown for the latter).
    bool Print(QWidget* pParent, EMode eMode, const QString& strTitle) const;
    // Print preview of the same pages on the default printer's page.
    void Preview(QWidget* pParent, const QString& strTitle) const;

    static const char* const kStartFailedText;

private:
    // Sets the job's resolution, page and name before anything is measured.
    static void SetUpPrinter(QPrinter& printer, const QString& strTitle);
    bool PrintPages(QPrinter& printer, int nFirst, int nLast, int nLastPage) const;

    CLineCountFn m_fnLineCount;
    CReadLineFn m_fnReadLine;
};
