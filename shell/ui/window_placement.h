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

// The client size of a window designed at `design` where its client area has `room`: the design where it
// fits; otherwise as much as there is room for (the content then scrolls), widened or heightened by a
// scroll bar's extent where only the other axis needs one and there is room for the bar.
QSize fittedClientSize(const QSize& design, const QSize& room, int scrollBarExtent);

// Makes a window of fixed, designed size reachable on a screen too small for it (a large scale factor):
// when its client area does not fit the room, its controls move into a scroll area that fills the window,
// which gets fittedClientSize(); where it fits nothing changes. Focus moving to a control brings it into
// view. Returns the widget that holds the controls when it was made by this call (so that the window can
// watch it as it watches itself), otherwise nothing. Call before placeOnScreen().
QWidget* fitOnScreen(QWidget* window, const QScreen* screen = nullptr);
// The same for a given room for the client area.
QWidget* fitWithin(QWidget* window, const QSize& room);

// Puts a top-level window there on the screen (its own screen when none is given). Before the window
// system has framed the window its frame is not known; a title bar of the style's height is assumed then.
void placeOnScreen(QWidget* window, const QScreen* screen = nullptr);

}  // namespace shell
