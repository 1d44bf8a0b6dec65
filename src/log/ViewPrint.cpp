// The view's print commands: the pages are the view's laid-out lines.
#include "log/LogPrinter.h"
#include "log/OxilumeDoc.h"
#include "log/OxilumeView.h"

namespace
{
CLogPrinter PrinterFor(COxilumeView& view)
{
    return CLogPrinter([&view] { return view.LineCount(); }, [&view](int nLine) { return view.ReadLine(nLine); });
}

QString TitleOf(const COxilumeView& view)
{
    const COxilumeDoc* pDoc = view.GetDocument();
    return pDoc ? pDoc->GetTitle() : QStringLiteral("Untitled");
}
}  // namespace

bool COxilumeView::OnFilePrint()
{
    return PrinterFor(*this).Print(window(), CLogPrinter::WithDialog, TitleOf(*this));
}

bool COxilumeView::OnFilePrintDirect()
{
    return PrinterFor(*this).Print(window(), CLogPrinter::AtOnce, TitleOf(*this));
}

void COxilumeView::OnFilePrintPreview()
{
    PrinterFor(*this).Preview(window(), TitleOf(*this));
}
