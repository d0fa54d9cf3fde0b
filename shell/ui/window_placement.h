#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QScreen;
class QWidget;

namespace shell {

// Where a window's frame goes in a screen's available area: centred when it fits. On an axis where it does
// not fit, its start goes to the area's start, so that the title bar and the first controls stay within
// reach however large the scale or small the screen.
QPoint placedFrameTopLeft(const QRect& available, const QSize& frame);

// Puts a top-level window there on the screen (its own screen when none is given). Before the window
// system has framed the window its frame is not known; a title bar of the style's height is assumed then.
void placeOnScreen(QWidget* window, const QScreen* screen = nullptr);

}  // namespace shell
