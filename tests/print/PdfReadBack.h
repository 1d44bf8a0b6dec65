#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// Helpers for the printing tests: is the print system up, where do the PDF
// queue's files land, and what text stands where on each page.
namespace PdfReadBack
{
// The queue the test stage sets up and makes the default.
inline const char* const kQueue = "OxilumePDF";
constexpr double kDotsPerInch = 600.0;

struct CWord
{
    double rLeft = 0, rTop = 0, rRight = 0, rBottom = 0;  // printer dots
    QString strText;
};

struct CLine
{
    double rTop = 0, rLeft = 0, rRight = 0, rBottom = 0;
    QString strText;  // the words joined by single blanks
};

struct CPage
{
    double rWidth = 0, rHeight = 0;  // printer dots
    QVector<CWord> words;
    // Words grouped into lines by their top edge, top to bottom.
    QVector<CLine> Lines() const;
    // The line whose text is strText, if there is one.
    std::optional<CLine> Find(const QString& strText) const;
};

// Empty when CUPS runs with the queue enabled and default; else why not.
QString WhyCupsNotReady();

// The folder the PDF queue writes this user's files to.
QString OutputDir();

// Deletes earlier output whose name starts with strStem.
void RemoveOutput(const QString& strStem);

// Waits until the queue has no unfinished job and a finished PDF whose name
// starts with strStem exists; returns its path, or an empty string after
// nTimeoutMs.
QString WaitForPdf(const QString& strStem, int nTimeoutMs);

// Waits until the queue has no unfinished job; false after nTimeoutMs.
bool WaitForIdleQueue(int nTimeoutMs);

// The PDF's pages read back with pdftotext -bbox, positions in dots.
QVector<CPage> ReadPdf(const QString& strPath, QString* pstrError = nullptr);

// Writes nLines lines "L0000".."Lnnnn" ending in CR LF, all but the last
// unless bLastEnded; nLines 0 makes an empty file. The log counts the empty
// line after a final CR LF as a line of its own, so without bLastEnded the
// log has exactly nLines lines (at least 1).
bool WriteLog(const QString& strPath, int nLines, bool bLastEnded = false);
}  // namespace PdfReadBack
