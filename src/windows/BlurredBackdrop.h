// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QList>
#include <QRect>

class QScreen;

// What lies behind an overlay: a dimmed, blurred picture of the screen taken before
// the overlay appears.
namespace BlurredBackdrop {

// A picture of the screen is taken at an eighth of its width and height and blurred
// at that size: well under a millisecond instead of a full-size blur. Drawn stretched
// back to full size with smooth scaling, it reads as a wide blur.
inline constexpr int kShrinkFactor = 8;
// Room around each window left out of the picture for the shadow a window manager or
// compositor draws beside it.
inline constexpr int kShadowMargin = 32;

// Three box blurs of radius 2 over the small picture, the same size back; null for null.
QImage blur(const QImage& small);

// Paints each pixel of the area (in the image's pixels) from the nearest pixels outside
// it, left, right, above and below, weighted by nearness: a smooth gradient between the
// edges, exact over a linear one. An area with nothing outside it is left alone.
void fillFromSurroundings(QImage& image, const QRect& area);

// The screen's current content, shrunk and blurred, with the windows in leftOut
// (global coordinates, device-independent pixels) painted over from their
// surroundings first, so that no trace of them shows; null when it cannot be read.
QImage ofScreen(QScreen& screen, const QList<QRect>& leftOut = {});

} // namespace BlurredBackdrop
