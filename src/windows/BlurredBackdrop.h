#pragma once

#include <QImage>

class QScreen;

// What lies behind an overlay when no compositing manager can blend it: a dimmed,
// blurred picture of the screen taken before the overlay appears.
namespace BlurredBackdrop {

// A picture of the screen is taken at an eighth of its width and height and blurred
// at that size: well under a millisecond instead of a full-size blur. Drawn stretched
// back to full size with smooth scaling, it reads as a wide blur.
inline constexpr int kShrinkFactor = 8;

// Three box blurs of radius 2 over the small picture, the same size back; null for null.
QImage blur(const QImage& small);

// The screen's current content, shrunk and blurred; null when it cannot be read.
QImage ofScreen(QScreen& screen);

} // namespace BlurredBackdrop
