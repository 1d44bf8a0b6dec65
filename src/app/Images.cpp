#include "app/Images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygon>

namespace Images
{
namespace
{
// A small fixed palette, so that the buttons look like one set.
const QColor kInk(0, 0, 0);
const QColor kPaper(255, 255, 255);
const QColor kShade(128, 128, 128);
const QColor kLight(192, 192, 192);
const QColor kFolder(255, 214, 64);
const QColor kFolderDark(176, 128, 0);
const QColor kDisk(0, 64, 160);
const QColor kGo(0, 160, 0);
const QColor kGoDark(0, 96, 0);
const QColor kHalt(208, 0, 0);
const QColor kHaltDark(128, 0, 0);
const QColor kChip(48, 48, 48);
const QColor kPin(200, 170, 60);
const QColor kHelp(0, 84, 200);

void Px(QPainter& p, int x, int y, const QColor& c)
{
    p.fillRect(x, y, 1, 1, c);
}

// A box with a one-pixel outline; x, y, w, h are outer bounds.
void Box(QPainter& p, int x, int y, int w, int h, const QColor& fill, const QColor& line = kInk)
{
    p.fillRect(x, y, w, h, line);
    p.fillRect(x + 1, y + 1, w - 2, h - 2, fill);
}

void HLine(QPainter& p, int x1, int x2, int y, const QColor& c)
{
    p.fillRect(x1, y, x2 - x1 + 1, 1, c);
}

void VLine(QPainter& p, int x, int y1, int y2, const QColor& c)
{
    p.fillRect(x, y1, 1, y2 - y1 + 1, c);
}

// A page with a folded top-right corner.
void Page(QPainter& p, int x, int y, int w, int h)
{
    const int c = 3;  // size of the fold
    const int xRight = x + w - 1;
    for (int r = 0; r < h; ++r)
    {
        const int xEnd = r < c ? xRight - c + r : xRight;
        if (r == 0 || r == h - 1)
        {
            HLine(p, x, xEnd, y + r, kInk);
            continue;
        }
        HLine(p, x + 1, xEnd - 1, y + r, kPaper);
        Px(p, x, y + r, kInk);
        Px(p, xEnd, y + r, kInk);
    }
    // the folded-over corner
    VLine(p, xRight - c, y, y + c, kInk);
    HLine(p, xRight - c, xRight, y + c, kInk);
    for (int r = 1; r < c; ++r)
        HLine(p, xRight - c + 1, xRight - c + r - 1 < xRight - c + 1 ? xRight - c + 1 : xRight - c + r - 1,
              y + r, kLight);
}

void TextLines(QPainter& p, int x1, int x2, int y1, int y2, const QColor& c)
{
    for (int y = y1; y <= y2; y += 2)
        HLine(p, x1, x2, y, c);
}

void DrawNew(QPainter& p)
{
    Page(p, 3, 0, 10, 14);
    TextLines(p, 5, 10, 6, 11, kLight);
}

void DrawOpen(QPainter& p)
{
    // back of the folder
    Box(p, 0, 3, 6, 3, kFolder);
    Box(p, 0, 4, 13, 10, kFolder);
    // front flap, slanted
    QPolygon flap;
    flap << QPoint(2, 7) << QPoint(15, 7) << QPoint(12, 13) << QPoint(0, 13);
    p.setPen(kInk);
    p.setBrush(QColor(255, 236, 140));
    p.drawPolygon(flap);
    HLine(p, 3, 13, 8, kPaper);
    // the arrow out of it
    Px(p, 9, 1, kInk);
    Px(p, 10, 0, kInk);
    Px(p, 11, 0, kInk);
    Px(p, 12, 0, kInk);
    Px(p, 13, 1, kInk);
    Px(p, 14, 2, kInk);
    Px(p, 13, 3, kInk);
    Px(p, 14, 3, kInk);
    Px(p, 15, 3, kInk);
    Px(p, 14, 4, kInk);
}

void DrawSave(QPainter& p)
{
    Box(p, 1, 0, 14, 14, kDisk);
    // label
    Box(p, 3, 0, 10, 7, kPaper);
    TextLines(p, 5, 10, 2, 4, kLight);
    // shutter
    Box(p, 4, 9, 8, 5, kLight);
    p.fillRect(9, 10, 2, 3, kDisk);
}

void DrawCut(QPainter& p)
{
    // blades
    for (int i = 0; i < 7; ++i)
    {
        Px(p, 4 + i / 2, i, kInk);
        Px(p, 11 - i / 2, i, kInk);
    }
    Px(p, 7, 7, kInk);
    Px(p, 8, 7, kInk);
    Px(p, 7, 8, kShade);
    Px(p, 8, 8, kShade);
    // handles
    p.setPen(QPen(kHalt, 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(2, 9, 4, 4);
    p.drawEllipse(9, 9, 4, 4);
    Px(p, 6, 9, kHalt);
    Px(p, 9, 9, kHalt);
}

void DrawCopy(QPainter& p)
{
    Page(p, 1, 0, 9, 10);
    TextLines(p, 3, 6, 4, 8, kLight);
    Page(p, 6, 4, 9, 11);
    TextLines(p, 8, 12, 8, 12, kShade);
}

void DrawPaste(QPainter& p)
{
    // board and clip
    Box(p, 1, 1, 11, 13, kFolderDark);
    Box(p, 4, 0, 5, 3, kLight);
    // sheet on it
    Page(p, 6, 4, 9, 11);
    TextLines(p, 8, 12, 8, 12, kShade);
}

// The plug of a serial cable, shared by the two port buttons.
void DrawPlug(QPainter& p)
{
    Box(p, 0, 3, 7, 9, kLight);
    for (int y = 5; y <= 9; y += 2)
    {
        Px(p, 2, y, kInk);
        Px(p, 4, y, kInk);
    }
    HLine(p, 7, 8, 6, kInk);
    HLine(p, 7, 8, 8, kInk);
}

void DrawGo(QPainter& p, int x, int y, int h)
{
    // A right-pointing triangle h high.
    for (int i = 0; i <= h / 2; ++i)
    {
        VLine(p, x + i, y + i, y + h - 1 - i, kGo);
        Px(p, x + i, y + i, kGoDark);
        Px(p, x + i, y + h - 1 - i, kGoDark);
    }
    VLine(p, x, y, y + h - 1, kGoDark);
}

void DrawHalt(QPainter& p, int x, int y, int n)
{
    Box(p, x, y, n, n, kHalt, kHaltDark);
}

void DrawPortStart(QPainter& p)
{
    DrawPlug(p);
    DrawGo(p, 9, 2, 11);
}

void DrawPortStop(QPainter& p)
{
    DrawPlug(p);
    DrawHalt(p, 9, 4, 7);
}

// A memory chip with its pins, shared by the two memory buttons.
void DrawChip(QPainter& p)
{
    for (int x = 1; x <= 7; x += 2)
    {
        Px(p, x, 0, kPin);
        Px(p, x, 14, kPin);
    }
    Box(p, 0, 1, 9, 13, kChip);
    Px(p, 2, 3, kPaper);
    HLine(p, 2, 6, 7, kShade);
    HLine(p, 2, 6, 9, kShade);
}

void DrawMemoryStart(QPainter& p)
{
    DrawChip(p);
    // a downward arrow: the records come down to the computer
    p.fillRect(11, 2, 3, 6, kGo);
    for (int i = 0; i < 4; ++i)
        HLine(p, 9 + i, 15 - i, 8 + i, kGo);
    VLine(p, 10, 2, 7, kGoDark);
}

void DrawMemoryStop(QPainter& p)
{
    DrawChip(p);
    DrawHalt(p, 10, 4, 6);
}

void DrawClear(QPainter& p)
{
    // A page being wiped by an eraser.
    Box(p, 0, 0, 11, 14, kPaper);
    TextLines(p, 2, 8, 3, 5, kLight);
    QPolygon eraser;
    eraser << QPoint(6, 11) << QPoint(11, 6) << QPoint(15, 10) << QPoint(10, 14);
    p.setPen(kInk);
    p.setBrush(QColor(240, 120, 150));
    p.drawPolygon(eraser);
    QPolygon tip;
    tip << QPoint(6, 11) << QPoint(8, 9) << QPoint(12, 13) << QPoint(10, 14);
    p.setBrush(kPaper);
    p.drawPolygon(tip);
}

void DrawAbout(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(kHelp);
    p.drawEllipse(QRectF(1, 0, 14, 14));
    p.setRenderHint(QPainter::Antialiasing, false);
    // the question mark
    HLine(p, 6, 9, 3, kPaper);
    Px(p, 5, 4, kPaper);
    Px(p, 10, 4, kPaper);
    Px(p, 10, 5, kPaper);
    Px(p, 9, 6, kPaper);
    Px(p, 8, 7, kPaper);
    VLine(p, 7, 7, 8, kPaper);
    VLine(p, 8, 8, 8, kPaper);
    p.fillRect(7, 10, 2, 2, kPaper);
}
}  // namespace

QPixmap ToolBarImage(int nIndex)
{
    QPixmap pm(kButtonWidth, kButtonHeight);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, false);
    switch (nIndex)
    {
    case 0: DrawNew(p); break;
    case 1: DrawOpen(p); break;
    case 2: DrawSave(p); break;
    case 3: DrawCut(p); break;
    case 4: DrawCopy(p); break;
    case 5: DrawPaste(p); break;
    case 6: DrawPortStart(p); break;
    case 7: DrawPortStop(p); break;
    case 8: DrawMemoryStart(p); break;
    case 9: DrawMemoryStop(p); break;
    case 10: DrawClear(p); break;
    case 11: DrawAbout(p); break;
    default: break;
    }
    return pm;
}

QPixmap ToolBarStrip()
{
    QPixmap pm(kButtonWidth * kButtonCount, kButtonHeight);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    for (int i = 0; i < kButtonCount; ++i)
        p.drawPixmap(i * kButtonWidth, 0, ToolBarImage(i));
    return pm;
}

QPixmap AppIconPixmap(int nSize)
{
    QPixmap pm(nSize, nSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing, true);
    const qreal s = nSize / 32.0;
    p.scale(s, s);
    // The device: a rounded body with a dark screen.
    p.setPen(QPen(QColor(20, 40, 90), 1.2));
    p.setBrush(QColor(40, 110, 200));
    p.drawRoundedRect(QRectF(1.5, 3.5, 29, 25), 6, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(10, 20, 40));
    p.drawRoundedRect(QRectF(5, 8, 22, 15), 2, 2);
    // A pulse wave across the screen.
    QPainterPath wave;
    wave.moveTo(6, 17);
    wave.lineTo(11, 17);
    wave.lineTo(13, 11);
    wave.lineTo(16, 21);
    wave.lineTo(18, 15);
    wave.lineTo(20, 17);
    wave.lineTo(26, 17);
    p.setPen(QPen(QColor(90, 255, 120), nSize >= 32 ? 1.6 : 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    // The red light of the sensor.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 40, 40));
    p.drawEllipse(QRectF(23, 4.5, 3, 3));
    return pm;
}

QIcon AppIcon()
{
    QIcon icon;
    for (int n : {16, 32, 48, 64})
        icon.addPixmap(AppIconPixmap(n));
    return icon;
}
}  // namespace Images
