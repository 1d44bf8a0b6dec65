#pragma once

#include <QString>
#include <QStringList>

class QSettings;

// The File menu's list of the most recently opened or saved logs, most
// recent first, kept in the settings store as "File1".."File4" of the
// section "Recent File List".
class CRecentFileList
{
public:
    static const char* const kSection;   // "Recent File List"
    static const char* const kEntryFormat;  // "File%d"
    static constexpr int kMaxEntries = 4;
    static constexpr int kMaxDisplayLength = 30;

    explicit CRecentFileList(int nSize = kMaxEntries);

    int Size() const { return m_nSize; }
    // Entries in use, without the empty ones at the end.
    int Count() const { return static_cast<int>(m_listPaths.size()); }
    QString Path(int nIndex) const;
    const QStringList& Paths() const { return m_listPaths; }

    // Puts strPath first; an entry for the same file moves up instead of
    // being repeated, and the oldest falls off the end.
    void Add(const QString& strPath);
    void Remove(int nIndex);
    void Clear() { m_listPaths.clear(); }

    // Reads File1..FileN; gaps are skipped and names beyond N are not used.
    void ReadList(QSettings& settings);
    // Writes File1..FileN back and removes the values of unused entries.
    void WriteList(QSettings& settings) const;

    // The menu text of an entry: "&<n> " and the path shortened to 30
    // characters, with ampersands doubled so that they show as typed.
    QString MenuText(int nIndex) const;

    // A path shortened to nMax characters: the root and first folder, "...",
    // then as many of the last folders and the file's name as fit; just the
    // file's name when even that is too long.
    static QString AbbreviatePath(const QString& strPath, int nMax = kMaxDisplayLength);

private:
    int m_nSize;
    QStringList m_listPaths;
};
