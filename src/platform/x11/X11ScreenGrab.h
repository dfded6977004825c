// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QRect>

namespace platform {

// Reads what an area of the X screen shows (in the server's pixels), shrunk by the
// factor in each direction: the X server scales it down (XRender, bilinear) and only
// the small picture crosses the socket, about 1/64 of the pixels at a factor of 8.
// Null when there is no X server, no XRender or an unusual pixel format.
QImage grabX11ScreenShrunk(const QRect& area, int factor);

} // namespace platform
