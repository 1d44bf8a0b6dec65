#include "app/CommandLineInfo.h"

#include <QFileInfo>

namespace
{
// "/" starts a flag, but here it also starts every absolute path: an
// argument with a further "/" in it, or one that names an existing file,
// is a file name.
bool IsFlag(const QString& strArg)
{
    if (strArg.startsWith(QLatin1Char('-')))
        return true;
    if (!strArg.startsWith(QLatin1Char('/')))
        return false;
    return strArg.indexOf(QLatin1Char('/'), 1) < 0 && !QFileInfo::exists(strArg);
}
}  // namespace

CCommandLineInfo CCommandLineInfo::FromArguments(const QStringList& listArgs)
{
    CCommandLineInfo info;
    info.ParseArguments(listArgs);
    return info;
}

void CCommandLineInfo::ParseArguments(const QStringList& listArgs)
{
    for (const QString& strArg : listArgs)
    {
        const bool bFlag = IsFlag(strArg);
        ParseParam(bFlag ? strArg.mid(1) : strArg, bFlag);
    }
    ParseLast();
}

void CCommandLineInfo::ParseParam(const QString& strParam, bool bFlag)
{
    if (bFlag)
        ParseFlag(strParam);
    else
        ParseNotFlag(strParam);
}

void CCommandLineInfo::ParseFlag(const QString& strFlag)
{
    if (strFlag == QLatin1String("pt"))
        m_nShellCommand = FilePrintTo;
    else if (strFlag == QLatin1String("p"))
        m_nShellCommand = FilePrint;
    else if (strFlag == QLatin1String("dde"))
        m_nShellCommand = FileDDE;
    else if (strFlag.compare(QLatin1String("Unregister"), Qt::CaseInsensitive) == 0
             || strFlag.compare(QLatin1String("Unregserver"), Qt::CaseInsensitive) == 0)
        m_nShellCommand = AppUnregister;
    else if (strFlag.compare(QLatin1String("Embedding"), Qt::CaseInsensitive) == 0)
        m_bRunEmbedded = true;
    else if (strFlag.compare(QLatin1String("Automation"), Qt::CaseInsensitive) == 0)
        m_bRunAutomated = true;
    else if (strFlag.compare(QLatin1String("demo"), Qt::CaseInsensitive) == 0)
        m_bDemo = true;
    // Anything else is not ours to know and is ignored.
}

void CCommandLineInfo::ParseNotFlag(const QString& strParam)
{
    if (m_strFileName.isEmpty())
        m_strFileName = strParam;
    else if (m_nShellCommand == FilePrintTo && m_strPrinterName.isEmpty())
        m_strPrinterName = strParam;
    else if (m_nShellCommand == FilePrintTo && m_strDriverName.isEmpty())
        m_strDriverName = strParam;
    else if (m_nShellCommand == FilePrintTo && m_strPortName.isEmpty())
        m_strPortName = strParam;
    // Further arguments are ignored.
}

void CCommandLineInfo::ParseLast()
{
    if (m_nShellCommand == FileNew && !m_strFileName.isEmpty())
        m_nShellCommand = FileOpen;
}
