// Printing from the command line: "p" prints the log on the default printer,
// "pt" on the printer named after the file; then the application ends.
#include "app/OxilumeApp.h"

#include "log/LogPrinter.h"
#include "log/MessageBox.h"
#include "log/OxilumeView.h"

#include <QGuiApplication>
#include <cstdio>

namespace
{
// The offscreen and minimal platforms show nothing to anyone: a message box
// or the Print dialog would wait for ever.
bool NobodyToAnswer()
{
    const QString strPlatform = QGuiApplication::platformName();
    return strPlatform == QLatin1String("offscreen") || strPlatform == QLatin1String("minimal");
}

int DefaultAnswer(CMessageBox::EButtons eButtons)
{
    switch (eButtons)
    {
    case CMessageBox::OK:
        return CMessageBox::IDOK;
    case CMessageBox::YesNo:
        return CMessageBox::IDNO;
    default:
        return CMessageBox::IDCANCEL;
    }
}
}  // namespace

bool COxilumeApp::PrintFromCommandLine(const CCommandLineInfo& info)
{
    // With no one to answer, the messages go to the standard error instead.
    const bool bUnattended = NobodyToAnswer() && !CMessageBox::HasAnswerer();
    if (bUnattended)
    {
        CMessageBox::SetAnswerer([](const QString& strText, CMessageBox::EButtons eButtons) {
            std::fprintf(stderr, "%s: %s\n", CMessageBox::kCaption, qPrintable(strText));
            return DefaultAnswer(eButtons);
        });
        CLogPrinter::SetUnattended(true);
    }

    bool bPrinted = false;
    if (OpenDocumentFile(info.m_strFileName, false))
    {
        if (info.m_nShellCommand == CCommandLineInfo::FilePrintTo)
            CLogPrinter::SetPrintTo(info.m_strPrinterName, info.m_strDriverName, info.m_strPortName);
        else
            CLogPrinter::SetPrintTo(QString());
        bPrinted = View() && View()->OnFilePrintDirect();
        CLogPrinter::SetPrintTo(QString());
    }

    if (bUnattended)
    {
        CMessageBox::SetAnswerer({});
        CLogPrinter::SetUnattended(false);
    }
    // A log that did not open or did not print ends the program with a
    // failure status; processing answers false either way, so no window shows.
    SetExitCode(bPrinted ? 0 : 1);
    return false;
}

void COxilumeApp::OnPrintCommand(int nId)
{
    if (COxilumeView* pView = View())
        pView->OnCommand(nId);
}
