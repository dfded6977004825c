#pragma once

#include <QImage>
#include <QPixmap>

class QScreen;

// What lies behind an overlay when no compositing manager can blend it: a dimmed,
// blurred picture of the screen taken before the overlay appears.
namespace BlurredBackdrop {

// Blurs by shrinking to an eighth, box-blurring the small picture and stretching it
// back to the original size: a few milliseconds instead of a full-size blur.
QImage blur(const QImage& picture);

// The screen's current content, blurred; a null pixmap when it cannot be read.
QPixmap ofScreen(QScreen& screen);

} // namespace BlurredBackdrop
