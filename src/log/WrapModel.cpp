#include "log/WrapModel.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextLine>
#include <algorithm>
#include <climits>

CWrapModel::CWrapModel(QTextDocument* pDocument, QObject* pParent) : QObject(pParent), m_pDocument(pDocument)
{
    connect(m_pDocument, &QTextDocument::contentsChange, this, &CWrapModel::OnContentsChange);
    Rebuild();
}

CWrapModel::CParams CWrapModel::CurrentParams() const
{
    CParams params;
    params.font = m_pDocument->defaultFont();
    const QTextOption option = m_pDocument->defaultTextOption();
    params.eWrap = option.wrapMode();
    params.flags = option.flags();
    params.rTabStop = option.tabStopDistance();
    params.eDirection = option.textDirection();
    params.tabs = option.tabs();

    // The width the widget's own layout gives its lines (its text width less
    // the margins), read from a laid-out block: the layout drops every
    // block's lines whenever that width changes, so a block with lines was
    // laid out at the current width. Laying out the first block costs little.
    QTextBlock probe = m_pDocument->firstBlock();
    if (QAbstractTextDocumentLayout* pLayout = m_pDocument->documentLayout())
        pLayout->blockBoundingRect(probe);
    QTextLayout* pProbe = probe.layout();
    if (pProbe && pProbe->lineCount() > 0)
        params.rWidth = pProbe->lineAt(0).width();
    else
        params.rWidth = qreal(INT_MAX / 256);
    return params;
}

bool CWrapModel::UniformAdvances(const QFont& font)
{
    QFont plain(font);
    const QFontMetricsF fm(plain);
    const qreal rAdvance = fm.horizontalAdvance(QLatin1Char('0'));
    if (rAdvance <= 0)
        return false;
    for (char ch = 0x21; ch < 0x7F; ++ch)
    {
        if (fm.horizontalAdvance(QLatin1Char(ch)) != rAdvance)
            return false;
    }
    // A font with ligatures or kerning would make a run narrower than its
    // characters.
    static const char* const s_apszRuns[] = {"ffi", "fl", "AV", "Te", "--", "->", "==", "www", "0000", "aaaa"};
    for (const char* pszRun : s_apszRuns)
    {
        const QString strRun = QString::fromLatin1(pszRun);
        if (fm.horizontalAdvance(strRun) != rAdvance * strRun.size())
            return false;
    }
    return true;
}

QString CWrapModel::ShapeKey(const QString& strText) const
{
    if (!m_bUniform)
        return strText;
    QString strKey = strText;
    for (QChar& ch : strKey)
    {
        const char16_t u = ch.unicode();
        if (u >= '0' && u <= '9')
            ch = QLatin1Char('0');
        else if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z'))
            ch = QLatin1Char('a');
    }
    return strKey;
}

int CWrapModel::AddBlock(const QString& strText)
{
    const QString strKey = ShapeKey(strText);
    auto it = m_mapShapes.constFind(strKey);
    int nShape;
    if (it != m_mapShapes.constEnd())
    {
        nShape = it.value();
    }
    else
    {
        if (!m_vecFreeShapes.empty())
        {
            nShape = m_vecFreeShapes.back();
            m_vecFreeShapes.pop_back();
        }
        else
        {
            nShape = int(m_vecShapes.size());
            m_vecShapes.emplace_back();
        }
        CShape& shape = m_vecShapes[size_t(nShape)];
        shape.strKey = strKey;
        shape.nRefs = 0;
        shape.nLines = -1;
        m_mapShapes.insert(strKey, nShape);
        m_vecPending.push_back(nShape);
    }
    CShape& shape = m_vecShapes[size_t(nShape)];
    ++shape.nRefs;
    if (shape.nLines >= 0)
        m_nTotal += shape.nLines;
    return nShape;
}

void CWrapModel::RemoveBlock(int nShape)
{
    CShape& shape = m_vecShapes[size_t(nShape)];
    if (shape.nLines >= 0)
        m_nTotal -= shape.nLines;
    if (--shape.nRefs == 0)
    {
        m_mapShapes.remove(shape.strKey);
        shape.strKey = QString();
        shape.nLines = -1;
        m_vecFreeShapes.push_back(nShape);
    }
}

void CWrapModel::Rebuild()
{
    m_params = CurrentParams();
    m_option = m_pDocument->defaultTextOption();
    ++m_nGeneration;
    m_bUniform = UniformAdvances(m_params.font);
    m_vecShapes.clear();
    m_vecFreeShapes.clear();
    m_mapShapes.clear();
    m_vecPending.clear();
    m_vecBlockShape.clear();
    m_nTotal = 0;
    m_vecBlockShape.reserve(size_t(m_pDocument->blockCount()));
    for (QTextBlock block = m_pDocument->begin(); block.isValid(); block = block.next())
        m_vecBlockShape.push_back(AddBlock(block.text()));
    m_nLineStartValid = 1;
}

void CWrapModel::OnContentsChange(int nPosition, int /*nRemoved*/, int nAdded)
{
    const int nOldCount = int(m_vecBlockShape.size());
    const int nNewCount = m_pDocument->blockCount();
    QTextBlock first = m_pDocument->findBlock(nPosition);
    if (!first.isValid())
        first = m_pDocument->lastBlock();
    QTextBlock last = m_pDocument->findBlock(nPosition + nAdded);
    if (!last.isValid())
        last = m_pDocument->lastBlock();
    const int nFirst = first.blockNumber();
    const int nLast = last.blockNumber();
    // Old blocks nFirst..nOldLast were replaced by new blocks nFirst..nLast.
    const int nOldLast = nLast - (nNewCount - nOldCount);
    if (nFirst < 0 || nLast < nFirst || nOldLast < nFirst || nOldLast >= nOldCount)
    {
        Rebuild();
        return;
    }

    for (int i = nFirst; i <= nOldLast; ++i)
        RemoveBlock(m_vecBlockShape[size_t(i)]);
    const int nOld = nOldLast - nFirst + 1;
    const int nNew = nLast - nFirst + 1;
    auto itFirst = m_vecBlockShape.begin() + nFirst;
    if (nNew > nOld)
        m_vecBlockShape.insert(itFirst + nOld, size_t(nNew - nOld), 0);
    else if (nNew < nOld)
        m_vecBlockShape.erase(itFirst + nNew, itFirst + nOld);
    QTextBlock block = first;
    for (int i = nFirst; i <= nLast; ++i, block = block.next())
        m_vecBlockShape[size_t(i)] = AddBlock(block.text());
    m_nLineStartValid = std::min(m_nLineStartValid, size_t(nFirst) + 1);
}

int CWrapModel::CountLines(const QString& strText)
{
    return int(LayoutCurrent(strText).size());
}

std::vector<std::pair<int, int>> CWrapModel::LayoutLines(const QString& strText)
{
    EnsureCurrent();
    return LayoutCurrent(strText);
}

std::vector<std::pair<int, int>> CWrapModel::LayoutCurrent(const QString& strText) const
{
    QTextLayout layout(strText, m_params.font);
    layout.setTextOption(m_option);
    layout.setCacheEnabled(false);
    std::vector<std::pair<int, int>> vecLines;
    layout.beginLayout();
    for (;;)
    {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLeadingIncluded(true);
        line.setLineWidth(m_params.rWidth);
        vecLines.emplace_back(line.textStart(), line.textLength());
    }
    layout.endLayout();
    if (vecLines.empty())
        vecLines.emplace_back(0, 0);
    return vecLines;
}

void CWrapModel::EnsureCurrent()
{
    const CParams params = CurrentParams();
    if (!(params.font == m_params.font))
    {
        Rebuild();
    }
    else if (params.rWidth != m_params.rWidth || params.eWrap != m_params.eWrap || params.flags != m_params.flags ||
             params.rTabStop != m_params.rTabStop || params.eDirection != m_params.eDirection ||
             params.tabs != m_params.tabs)
    {
        m_params = params;
        ++m_nGeneration;
        m_vecPending.clear();
        for (size_t i = 0; i < m_vecShapes.size(); ++i)
        {
            if (m_vecShapes[i].nRefs > 0)
            {
                m_vecShapes[i].nLines = -1;
                m_vecPending.push_back(int(i));
            }
        }
        m_nTotal = 0;
        m_nLineStartValid = 1;
    }
    m_option = m_pDocument->defaultTextOption();
}

void CWrapModel::ResolvePending()
{
    if (m_vecPending.empty())
        return;
    std::vector<int> vecPending;
    vecPending.swap(m_vecPending);
    for (int nShape : vecPending)
    {
        CShape& shape = m_vecShapes[size_t(nShape)];
        if (shape.nRefs <= 0 || shape.nLines >= 0)
            continue;
        shape.nLines = CountLines(shape.strKey);
        m_nTotal += shape.nRefs * shape.nLines;
    }
    m_nLineStartValid = 1;
}

int CWrapModel::LineCount()
{
    EnsureCurrent();
    ResolvePending();
    return int(std::clamp<std::int64_t>(m_nTotal, 1, INT_MAX));
}

bool CWrapModel::Locate(int nLine, QTextBlock& block, int& nLineInBlock)
{
    const int nCount = LineCount();
    if (nLine < 0 || nLine >= nCount)
        return false;
    const size_t nBlocks = m_vecBlockShape.size();
    m_vecLineStart.resize(nBlocks + 1);
    m_vecLineStart[0] = 0;
    for (size_t i = std::max<size_t>(m_nLineStartValid, 1); i <= nBlocks; ++i)
        m_vecLineStart[i] = m_vecLineStart[i - 1] + LinesOf(m_vecBlockShape[i - 1]);
    m_nLineStartValid = nBlocks + 1;

    const auto it = std::upper_bound(m_vecLineStart.begin(), m_vecLineStart.end(), std::int64_t(nLine));
    const int nBlock = int(it - m_vecLineStart.begin()) - 1;
    block = m_pDocument->findBlockByNumber(nBlock);
    nLineInBlock = int(nLine - m_vecLineStart[size_t(nBlock)]);
    return block.isValid();
}
