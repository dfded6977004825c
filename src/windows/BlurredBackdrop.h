#pragma once

#include <QImage>

class QScreen;

// What lies behind an overlay when no compositing manager can blend it: a dimmed,
// blurred picture of the screen taken before the overlay appears.
namespace BlurredBackdrop {

// Shrinks the picture to an eighth of its width and height and box-blurs the small
// picture: a millisecond or two instead of a full-size blur. Drawn stretched back to
// full size with smooth scaling, it reads as a wide blur. Null for a null picture.
QImage blur(const QImage& picture);

// The screen's current content, blurred and shrunk; null when it cannot be read.
QImage ofScreen(QScreen& screen);

} // namespace BlurredBackdrop
