#include "app/RecentFileList.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

const char* const CRecentFileList::kSection = "Recent File List";
const char* const CRecentFileList::kEntryFormat = "File%1";

CRecentFileList::CRecentFileList(int nSize) : m_nSize(nSize) {}

QString CRecentFileList::Path(int nIndex) const
{
    return (nIndex >= 0 && nIndex < Count()) ? m_listPaths.at(nIndex) : QString();
}

namespace
{
QString CanonicalName(const QString& strPath)
{
    // The same file reached by another spelling (./a, a relative path) is one entry.
    return QDir::cleanPath(QFileInfo(strPath).absoluteFilePath());
}
}  // namespace

void CRecentFileList::Add(const QString& strPath)
{
    if (strPath.isEmpty())
        return;
    const QString strFull = CanonicalName(strPath);
    m_listPaths.removeAll(strFull);
    m_listPaths.prepend(strFull);
    while (Count() > m_nSize)
        m_listPaths.removeLast();
}

void CRecentFileList::Remove(int nIndex)
{
    if (nIndex >= 0 && nIndex < Count())
        m_listPaths.removeAt(nIndex);
}

void CRecentFileList::ReadList(QSettings& settings)
{
    m_listPaths.clear();
    settings.beginGroup(QLatin1String(kSection));
    for (int i = 1; i <= m_nSize; ++i)
    {
        const QString strPath = settings.value(QString::fromLatin1(kEntryFormat).arg(i)).toString();
        if (!strPath.isEmpty())
            m_listPaths.append(strPath);
    }
    settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const
{
    settings.beginGroup(QLatin1String(kSection));
    for (int i = 1; i <= m_nSize; ++i)
    {
        const QString strKey = QString::fromLatin1(kEntryFormat).arg(i);
        if (i <= Count())
            settings.setValue(strKey, m_listPaths.at(i - 1));
        else
            settings.remove(strKey);
    }
    settings.endGroup();
}

QString CRecentFileList::MenuText(int nIndex) const
{
    QString strName = AbbreviatePath(Path(nIndex));
    strName.replace(QLatin1String("&"), QLatin1String("&&"));
    return QStringLiteral("&%1 %2").arg(nIndex + 1).arg(strName);
}

QString CRecentFileList::AbbreviatePath(const QString& strPath, int nMax)
{
    if (strPath.length() <= nMax)
        return strPath;

    const QChar chSep = QLatin1Char('/');
    const int nNameStart = strPath.lastIndexOf(chSep) + 1;
    const QString strName = strPath.mid(nNameStart);
    if (strName.length() >= nMax || nNameStart <= 0)
        return strName;

    // The head: the root and the first folder ("/home"), when there is one
    // beyond the file's own folder.
    int nHeadEnd = strPath.indexOf(chSep, 1);
    if (nHeadEnd < 0 || nHeadEnd >= nNameStart - 1)
        nHeadEnd = 0;
    const QString strHead = strPath.left(nHeadEnd);
    const QString strDots = QStringLiteral("/...");

    // The tail: whole trailing components, as many as fit behind head/...
    int nTailStart = nNameStart - 1;  // at the separator before the name
    if (strHead.length() + strDots.length() + (strPath.length() - nTailStart) > nMax)
    {
        const QString strShort = QStringLiteral("...") + strPath.mid(nTailStart);
        return strShort.length() <= nMax ? strShort : strName;
    }
    for (;;)
    {
        const int nPrev = strPath.lastIndexOf(chSep, nTailStart - 1);
        if (nPrev <= nHeadEnd)
            break;
        if (strHead.length() + strDots.length() + (strPath.length() - nPrev) > nMax)
            break;
        nTailStart = nPrev;
    }
    return strHead + strDots + strPath.mid(nTailStart);
}
