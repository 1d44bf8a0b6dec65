#include "log/LogCodec.h"

namespace
{
// Characters that the text document would turn into structure (block or
// frame breaks, objects) or that collide with the escape range.
bool NeedsEscape(char32_t cp)
{
    return cp == 0 || cp == 0x2028 || cp == 0x2029 || (cp >= 0xFDD0 && cp <= 0xFDEF) || cp == 0xFFFC ||
           cp == 0xFFFE || cp == 0xFFFF || (cp >= CLogCodec::kEscapeBase && cp <= CLogCodec::kEscapeBase + 0xFF);
}

bool IsContinuation(unsigned char by) { return (by & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when the byte at p
// does not start one. Overlong forms, surrogates and values beyond U+10FFFF
// count as invalid.
int SequenceLength(const unsigned char* p, qsizetype nLeft, char32_t& cp)
{
    const unsigned char by = p[0];
    if (by < 0x80)
    {
        cp = by;
        return 1;
    }
    if (by >= 0xC2 && by <= 0xDF)
    {
        if (nLeft < 2 || !IsContinuation(p[1]))
            return 0;
        cp = (char32_t(by & 0x1F) << 6) | (p[1] & 0x3F);
        return 2;
    }
    if (by >= 0xE0 && by <= 0xEF)
    {
        if (nLeft < 3 || !IsContinuation(p[1]) || !IsContinuation(p[2]))
            return 0;
        if ((by == 0xE0 && p[1] < 0xA0) || (by == 0xED && p[1] > 0x9F))
            return 0;
        cp = (char32_t(by & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F);
        return 3;
    }
    if (by >= 0xF0 && by <= 0xF4)
    {
        if (nLeft < 4 || !IsContinuation(p[1]) || !IsContinuation(p[2]) || !IsContinuation(p[3]))
            return 0;
        if ((by == 0xF0 && p[1] < 0x90) || (by == 0xF4 && p[1] > 0x8F))
            return 0;
        cp = (char32_t(by & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) | (char32_t(p[2] & 0x3F) << 6) |
             (p[3] & 0x3F);
        return 4;
    }
    return 0;
}

void AppendUtf8(char32_t cp, QByteArray& baOut)
{
    if (cp < 0x80)
    {
        baOut.append(char(cp));
    }
    else if (cp < 0x800)
    {
        baOut.append(char(0xC0 | (cp >> 6)));
        baOut.append(char(0x80 | (cp & 0x3F)));
    }
    else if (cp < 0x10000)
    {
        baOut.append(char(0xE0 | (cp >> 12)));
        baOut.append(char(0x80 | ((cp >> 6) & 0x3F)));
        baOut.append(char(0x80 | (cp & 0x3F)));
    }
    else
    {
        baOut.append(char(0xF0 | (cp >> 18)));
        baOut.append(char(0x80 | ((cp >> 12) & 0x3F)));
        baOut.append(char(0x80 | ((cp >> 6) & 0x3F)));
        baOut.append(char(0x80 | (cp & 0x3F)));
    }
}
}  // namespace

QString CLogCodec::Decode(const char* pData, qsizetype nSize, std::vector<std::uint8_t>& vecEnds)
{
    QString strText;
    strText.reserve(nSize);
    const auto* p = reinterpret_cast<const unsigned char*>(pData);
    qsizetype i = 0;
    while (i < nSize)
    {
        const unsigned char by = p[i];
        if (by == '\r')
        {
            const bool bCrLf = i + 1 < nSize && p[i + 1] == '\n';
            strText.append(QChar::ParagraphSeparator);
            vecEnds.push_back(bCrLf ? kCrLf : kCr);
            i += bCrLf ? 2 : 1;
            continue;
        }
        if (by == '\n')
        {
            strText.append(QChar::ParagraphSeparator);
            vecEnds.push_back(kLf);
            ++i;
            continue;
        }
        if (by >= 0x20 && by < 0x80)
        {
            strText.append(QChar(by));
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int nLength = SequenceLength(p + i, nSize - i, cp);
        if (nLength == 0 || NeedsEscape(cp))
        {
            const int nBytes = nLength == 0 ? 1 : nLength;
            for (int k = 0; k < nBytes; ++k)
                strText.append(QChar(char16_t(kEscapeBase + p[i + k])));
            i += nBytes;
            continue;
        }
        if (cp >= 0x10000)
        {
            strText.append(QChar(QChar::highSurrogate(cp)));
            strText.append(QChar(QChar::lowSurrogate(cp)));
        }
        else
        {
            strText.append(QChar(char16_t(cp)));
        }
        i += nLength;
    }
    return strText;
}

void CLogCodec::EncodeLine(QStringView strLine, QByteArray& baOut)
{
    const qsizetype nSize = strLine.size();
    for (qsizetype i = 0; i < nSize; ++i)
    {
        const char16_t ch = strLine[i].unicode();
        if (ch < 0x80)
        {
            baOut.append(char(ch));
        }
        else if (IsEscape(QChar(ch)))
        {
            baOut.append(char(ch - kEscapeBase));
        }
        else if (QChar::isHighSurrogate(ch) && i + 1 < nSize && QChar::isLowSurrogate(strLine[i + 1].unicode()))
        {
            AppendUtf8(QChar::surrogateToUcs4(ch, strLine[i + 1].unicode()), baOut);
            ++i;
        }
        else if (QChar::isSurrogate(ch))
        {
            // Only typing or pasting can bring a lone surrogate; it has no
            // bytes of its own.
            AppendUtf8(0xFFFD, baOut);
        }
        else
        {
            AppendUtf8(ch, baOut);
        }
    }
}

const char* CLogCodec::LineEndBytes(int nLineEnd)
{
    switch (nLineEnd)
    {
    case kLf:
        return "\n";
    case kCr:
        return "\r";
    default:
        return "\r\n";
    }
}
