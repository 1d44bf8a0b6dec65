#pragma once

#include <QIcon>
#include <QPixmap>

// The pictures of the application, drawn here rather than shipped as files:
// the twelve 16x15 tool-bar images and the application icon.
namespace Images
{
constexpr int kButtonWidth = 16;
constexpr int kButtonHeight = 15;
constexpr int kButtonCount = 12;

// Image nIndex (0..11) of the tool bar, in button order: new, open, save,
// cut, copy, paste, port start, port stop, memory start, memory stop, clear,
// about.
QPixmap ToolBarImage(int nIndex);
// The 192x15 strip of all twelve, as the tool bar's bitmap.
QPixmap ToolBarStrip();

// The application's icon in 16x16 and 32x32 (and larger for docks and
// switchers).
QIcon AppIcon();
QPixmap AppIconPixmap(int nSize);
}  // namespace Images
