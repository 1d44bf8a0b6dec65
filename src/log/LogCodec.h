#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <vector>

// The mapping between the log's bytes (the system code page: UTF-8 here) and
// the text the widget holds. It is lossless for any bytes at all, so that a
// saved file opens and saves again byte for byte:
// - CR LF, a lone LF and a lone CR each end a line; which one it was is kept
//   per line, so the same bytes are written back.
// - A byte that is not part of valid UTF-8, a NUL, and a valid sequence whose
//   character the text widget would not keep as it stands (paragraph and
//   line separators, its frame markers, the object replacement character,
//   the escape range itself) become one escape character per byte,
//   U+EF00 + byte, from the private use area. Writing turns every escape
//   character back into its byte.
class CLogCodec
{
public:
    // How a line ended; stored as the block's user state (-1, the widget's
    // default, reads as CR LF).
    enum ELineEnd : std::uint8_t { kCrLf = 0, kLf = 1, kCr = 2 };

    static constexpr char16_t kEscapeBase = 0xEF00;

    // Decodes nSize bytes. Line ends become QChar::ParagraphSeparator in the
    // result; their kinds are appended to vecEnds in order.
    static QString Decode(const char* pData, qsizetype nSize, std::vector<std::uint8_t>& vecEnds);

    // Appends the bytes of one line's text (no line end) to baOut.
    static void EncodeLine(QStringView strLine, QByteArray& baOut);

    // The bytes that end a line of the given kind (user state).
    static const char* LineEndBytes(int nLineEnd);

    static bool IsEscape(QChar ch) { return ch.unicode() >= kEscapeBase && ch.unicode() <= kEscapeBase + 0xFF; }
};
