#include "log/LogPrinter.h"

#include "log/MessageBox.h"

#include <QFontMetricsF>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

#include <algorithm>
#include <cstdio>
#include <utility>

const char* const CLogPrinter::kStartFailedText = "Could not start print job.";

namespace
{
struct CPrintTo
{
    QString strPrinter;
    QString strDriver;
    QString strPort;
};

CPrintTo& PrintTo()
{
    static CPrintTo s_printTo;
    return s_printTo;
}

bool& Unattended()
{
    static bool s_bUnattended = false;
    return s_bUnattended;
}

// Line ends are part of a line as the log reads it, but on paper they would
// only show as boxes or nothing.
QString WithoutLineEnd(QString strLine)
{
    while (strLine.endsWith(QLatin1Char('\n')) || strLine.endsWith(QLatin1Char('\r')))
        strLine.chop(1);
    return strLine;
}
}  // namespace

CLogPrinter::CLogPrinter(CLineCountFn fnLineCount, CReadLineFn fnReadLine)
    : m_fnLineCount(std::move(fnLineCount)), m_fnReadLine(std::move(fnReadLine))
{
}

int CLogPrinter::PageCount(int nLines)
{
    if (nLines < 1)
        return 1;
    return nLines / kLinesPerPage + (nLines % kLinesPerPage != 0 ? 1 : 0);
}

QString CLogPrinter::FooterText(int nPage, int nLastPage)
{
    return QStringLiteral("\u9801 %1 / %2").arg(nPage).arg(nLastPage);
}

QFont CLogPrinter::PrinterFont()
{
    // A mono face for the log's columns; the CJK face supplies the footer's
    // ideograph, which the Latin faces lack.
    QFont font;
    font.setFamilies({QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Sans Mono CJK TC"),
                      QStringLiteral("Noto Sans CJK TC"), QStringLiteral("Noto Sans CJK SC")});
    font.setStyleHint(QFont::TypeWriter);
    // 10 pt keeps a line's full height (ascent and descent) inside the
    // 100-dot step at 600 dpi.
    font.setPointSizeF(10.0);
    return font;
}

QString CLogPrinter::JobName(const QString& strTitle)
{
    return strTitle.left(kMaxJobNameLength);
}

void CLogPrinter::SetPrintTo(const QString& strPrinter, const QString& strDriver, const QString& strPort)
{
    PrintTo() = CPrintTo{strPrinter, strDriver, strPort};
}

QString CLogPrinter::PrintToPrinter()
{
    return PrintTo().strPrinter;
}

void CLogPrinter::SetUnattended(bool bUnattended)
{
    Unattended() = bUnattended;
}

bool CLogPrinter::IsUnattended()
{
    return Unattended();
}

int CLogPrinter::PreparePrinting(QPrinter& printer) const
{
    const int nLastPage = PageCount(m_fnLineCount ? m_fnLineCount() : 1);
    printer.setFromTo(1, nLastPage);
    return nLastPage;
}

void CLogPrinter::PrintPage(QPainter& painter, int nPage, int nLastPage) const
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    const qreal rAscent = metrics.ascent();

    // The footer's bottom-right corner stands at the fixed point, so a wider
    // page number moves it to the left.
    const QString strFooter = FooterText(nPage, nLastPage);
    const qreal rWidth = metrics.horizontalAdvance(strFooter);
    const qreal rHeight = metrics.height();
    painter.drawText(QPointF(kFooterRight - rWidth, kFooterBottom - rHeight + rAscent), strFooter);

    const int nLines = m_fnLineCount ? m_fnLineCount() : 0;
    // 64-bit: the slice bounds of a very high page number do not overflow.
    const long long nEnd = std::min<long long>(static_cast<long long>(nPage) * kLinesPerPage, nLines);
    int nY = kFirstLineY;
    for (long long i = static_cast<long long>(nPage - 1) * kLinesPerPage; i < nEnd; ++i)
    {
        nY += kLineStep;
        const QString strLine = WithoutLineEnd(m_fnReadLine(static_cast<int>(i)));
        if (!strLine.isEmpty())
            painter.drawText(QPointF(kLineX, nY + rAscent), strLine);
    }
}

void CLogPrinter::SetUpPrinter(QPrinter& printer, const QString& strTitle)
{
    printer.setResolution(kDotsPerInch);
    // The origin of the painter is the top-left corner of what the printer
    // can print: no margins beyond the printer's own.
    QPageLayout layout = printer.pageLayout();
    layout.setMode(QPageLayout::StandardMode);
    layout.setMargins(layout.minimumMargins());
    printer.setPageLayout(layout);
    printer.setFullPage(false);
    printer.setDocName(JobName(strTitle));
}

bool CLogPrinter::PrintPages(QPrinter& printer, int nFirst, int nLast, int nLastPage) const
{
    QPainter painter;
    if (!painter.begin(&printer))
    {
        CMessageBox::Show(nullptr, QString::fromLatin1(kStartFailedText));
        return false;
    }
    painter.setFont(PrinterFont());
    for (int nPage = nFirst; nPage <= nLast; ++nPage)
    {
        if (nPage != nFirst && !printer.newPage())
            break;
        PrintPage(painter, nPage, nLastPage);
    }
    return painter.end();
}

bool CLogPrinter::Print(QWidget* pParent, EMode eMode, const QString& strTitle) const
{
    const QString strNamed = eMode == AtOnce ? PrintToPrinter() : QString();
    QPrinterInfo info;
    if (!strNamed.isEmpty())
    {
        info = QPrinterInfo::printerInfo(strNamed);
        if (info.isNull())
        {
            // Left to itself the platform would quietly print to a file instead.
            CMessageBox::Show(pParent, QString::fromLatin1(kStartFailedText));
            return false;
        }
    }
    else
    {
        info = QPrinterInfo::defaultPrinter();
    }

    QPrinter printer(QPrinter::HighResolution);
    if (!info.isNull())
        printer.setPrinterName(info.printerName());
    SetUpPrinter(printer, strTitle);
    const int nLastPage = PreparePrinting(printer);

    int nFirst = 1;
    int nLast = nLastPage;
    if (eMode == WithDialog || info.isNull())
    {
        if (IsUnattended())
        {
            std::fprintf(stderr, "%s: %s\n", CMessageBox::kCaption,
                         info.isNull() ? "there is no default printer and no one to choose one"
                                       : "no one to answer the Print dialog");
            return false;
        }
        QPrintDialog dialog(&printer, pParent);
        dialog.setMinMax(1, nLastPage);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0)
        {
            nFirst = std::max(1, printer.fromPage());
            nLast = std::min(nLastPage, printer.toPage() > 0 ? printer.toPage() : nLastPage);
        }
        // The dialog may have changed the printer and with it the page.
        SetUpPrinter(printer, strTitle);
        if (nFirst > nLast)
            return false;
    }
    return PrintPages(printer, nFirst, nLast, nLastPage);
}

void CLogPrinter::Preview(QWidget* pParent, const QString& strTitle) const
{
    QPrinter printer(QPrinter::HighResolution);
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull())
        printer.setPrinterName(info.printerName());
    SetUpPrinter(printer, strTitle);
    const int nLastPage = PreparePrinting(printer);
    QPrintPreviewDialog dialog(&printer, pParent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [this, nLastPage](QPrinter* pPrinter) { PrintPages(*pPrinter, 1, nLastPage, nLastPage); });
    dialog.exec();
}
