#pragma once

#include <QFont>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTextOption>
#include <cstdint>
#include <vector>

class QTextBlock;
class QTextDocument;

// Counts the lines of a plain-text document as QPlainTextEdit lays them out
// (a block wider than the text width continues on further lines), without
// laying out the document itself: the widget lays out only what it shows,
// and forcing it to lay out every block takes seconds on a long log.
//
// How: blocks are grouped by shape. With a font whose printable ASCII
// characters all have the same advance (the log's fixed-pitch font), a
// block's line breaks depend only on the width and on the classes of its
// characters, so every digit stands for "0" and every ASCII letter for "a";
// other characters stay as they are. One layout per distinct shape
// (QTextLayout with the document's font, text option, margin and the
// layout's text width, the same steps as QPlainTextDocumentLayout) gives the
// lines of every block of that shape. Log lines come in few shapes, so a
// count after a resize costs a few layouts. With any other font the shape is
// the text itself, which is exact but as slow as laying out everything.
//
// The block table follows every change of the document (contentsChange), so
// appending costs one shape look-up per new block.
class CWrapModel : public QObject
{
public:
    explicit CWrapModel(QTextDocument* pDocument, QObject* pParent = nullptr);

    // Lines as laid out now, at least 1.
    int LineCount();

    // The block holding laid-out line nLine and the line's index inside it;
    // false when nLine is out of range.
    bool Locate(int nLine, QTextBlock& block, int& nLineInBlock);

    // Lays out strText as a block of the document is laid out now and
    // returns the laid-out lines as (start, length) pairs.
    std::vector<std::pair<int, int>> LayoutLines(const QString& strText);

    // Forgets everything and rebuilds from the document.
    void Rebuild();

    // Changes whenever the layout parameters (width, font, text option)
    // change, that is whenever an earlier LayoutLines() result may be stale.
    int Generation() const { return m_nGeneration; }

    // Whether blocks share shapes (fixed-pitch font) or each text is its own.
    bool IsShapeGrouping() const { return m_bUniform; }
    int ShapeCount() const { return m_mapShapes.size(); }

private:
    struct CShape
    {
        QString strKey;
        std::int64_t nRefs = 0;
        int nLines = -1;  // -1: not laid out for the current parameters
    };

    struct CParams
    {
        QFont font;
        qreal rWidth = 0;
        QTextOption::WrapMode eWrap = QTextOption::WrapAtWordBoundaryOrAnywhere;
        QTextOption::Flags flags;
        qreal rTabStop = 0;
        Qt::LayoutDirection eDirection = Qt::LeftToRight;
        QList<QTextOption::Tab> tabs;
    };

    void OnContentsChange(int nPosition, int nRemoved, int nAdded);
    CParams CurrentParams() const;
    void EnsureCurrent();
    void ResolvePending();
    int CountLines(const QString& strText);
    std::vector<std::pair<int, int>> LayoutCurrent(const QString& strText) const;
    QString ShapeKey(const QString& strText) const;
    int AddBlock(const QString& strText);
    void RemoveBlock(int nShape);
    int LinesOf(int nShape) const { return m_vecShapes[size_t(nShape)].nLines; }
    static bool UniformAdvances(const QFont& font);

    QTextDocument* m_pDocument;
    CParams m_params;
    QTextOption m_option;
    bool m_bUniform = false;
    int m_nGeneration = 0;

    std::vector<CShape> m_vecShapes;
    std::vector<int> m_vecFreeShapes;
    QHash<QString, int> m_mapShapes;
    std::vector<int> m_vecPending;

    std::vector<int> m_vecBlockShape;  // shape of each block, in block order
    std::int64_t m_nTotal = 0;         // lines of all blocks whose shape is laid out

    // m_vecLineStart[i]: lines before block i; valid for i < m_nLineStartValid.
    std::vector<std::int64_t> m_vecLineStart;
    size_t m_nLineStartValid = 1;
};
