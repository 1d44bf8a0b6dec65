#pragma once

#include <QString>
#include <QStringList>

// What the command line asks of start-up. Each argument that begins with "/"
// or "-" is a flag; the first other argument names the file, and after "pt"
// the next three name the printer, its driver and its port.
//
// An argument that begins with "/" but holds another "/" or names an
// existing file is an absolute path, not a flag.
//
// "p", "pt" and "dde" are compared with case; "Unregister", "Unregserver",
// "Embedding", "Automation" and our own "demo" without; any other flag is
// ignored.
class CCommandLineInfo
{
public:
    enum EShellCommand
    {
        FileNew,        // a new, empty log
        FileOpen,       // open m_strFileName as the log
        FilePrint,      // "p": print m_strFileName on the default printer, then end
        FilePrintTo,    // "pt": print m_strFileName on m_strPrinterName, then end
        FileDDE,        // "dde": the shell's start-up service; starts as FileNew/FileOpen here
        AppUnregister,  // "Unregister"/"Unregserver": nothing is registered, so just end
        FileNothing
    };

    EShellCommand m_nShellCommand = FileNew;
    QString m_strFileName;
    QString m_strPrinterName;
    QString m_strDriverName;
    QString m_strPortName;
    bool m_bRunEmbedded = false;
    bool m_bRunAutomated = false;
    // "-demo": start the built-in device emulator on a pseudo-terminal.
    bool m_bDemo = false;

    // Arguments without the program name (argv[1] on).
    void ParseArguments(const QStringList& listArgs);
    // One argument; bFlag when it began with "/" or "-" (already dropped).
    void ParseParam(const QString& strParam, bool bFlag);
    // Settles the shell command once every argument has been seen.
    void ParseLast();

    bool IsPrintCommand() const { return m_nShellCommand == FilePrint || m_nShellCommand == FilePrintTo; }

    static CCommandLineInfo FromArguments(const QStringList& listArgs);

private:
    void ParseFlag(const QString& strFlag);
    void ParseNotFlag(const QString& strParam);
};
