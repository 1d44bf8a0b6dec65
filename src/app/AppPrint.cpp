// Printing from the command line. The printing part replaces the bodies
// below; everything else of start-up stays in OxilumeApp.cpp.
#include "app/OxilumeApp.h"

bool COxilumeApp::PrintFromCommandLine(const CCommandLineInfo& info)
{
    // Without a print job of our own the log is only opened, hidden; the
    // application then ends as after every print from the command line.
    OpenDocumentFile(info.m_strFileName, false);
    return false;
}

void COxilumeApp::OnPrintCommand(int nId)
{
    Q_UNUSED(nId);
}
