// SPDX-License-Identifier: GPL-3.0-or-later

#include "ui/SystemColor.h"

// Light and dark values follow the Mac's published system colours, which the
// interface was designed against; the separator is a cool grey so that the glass
// stroke built from it (at 0.45) reads as an edge, not an outline.
namespace SystemColor {

namespace {
QColor rgba(int r, int g, int b, qreal a = 1.0)
{
    QColor c(r, g, b);
    c.setAlphaF(float(a));
    return c;
}
} // namespace

AppearanceColor label()
{
    return {rgba(0, 0, 0, 0.85), rgba(255, 255, 255, 0.85)};
}

AppearanceColor secondaryLabel()
{
    // Darker than the Mac's 0.5 in light mode: small grey text on the lighter glass here
    // would read at under 4.5:1.
    return {rgba(0, 0, 0, 0.62), rgba(255, 255, 255, 0.55)};
}

AppearanceColor tertiaryLabel()
{
    return {rgba(0, 0, 0, 0.26), rgba(255, 255, 255, 0.25)};
}

AppearanceColor separator()
{
    return {rgba(150, 150, 160, 0.1), rgba(170, 170, 180, 0.1)};
}

AppearanceColor controlBackground()
{
    return {rgba(255, 255, 255), rgba(30, 30, 30)};
}

AppearanceColor windowBackground()
{
    return {rgba(236, 236, 236), rgba(50, 50, 50)};
}

AppearanceColor systemBlue()
{
    return {rgba(0, 122, 255), rgba(10, 132, 255)};
}

AppearanceColor systemGreen()
{
    return {rgba(52, 199, 89), rgba(48, 209, 88)};
}

AppearanceColor black()
{
    return {rgba(0, 0, 0), rgba(0, 0, 0)};
}

AppearanceColor white()
{
    return {rgba(255, 255, 255), rgba(255, 255, 255)};
}

QPalette palette(Appearance appearance)
{
    const bool dark = appearance == Appearance::Dark;
    const QColor window = windowBackground().resolved(appearance);
    // Text colours are translucent in the table; a palette wants them laid on the window.
    const auto over = [&window](QColor colour) {
        const qreal a = colour.alphaF();
        return QColor::fromRgbF(float(colour.redF() * a + window.redF() * (1 - a)),
                                float(colour.greenF() * a + window.greenF() * (1 - a)),
                                float(colour.blueF() * a + window.blueF() * (1 - a)));
    };
    const QColor text = over(label().resolved(appearance));
    const QColor base = controlBackground().resolved(appearance);
    const QColor button = dark ? window.lighter(130) : window.lighter(104);
    QPalette palette(text, button, button.lighter(150), button.darker(200), button.darker(150),
                     text, white().resolved(appearance), base, window);
    const QColor disabled = over(tertiaryLabel().resolved(appearance));
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    palette.setColor(QPalette::PlaceholderText, over(secondaryLabel().resolved(appearance)));
    palette.setColor(QPalette::AlternateBase, dark ? base.lighter(130) : window);
    palette.setColor(QPalette::Highlight, systemBlue().resolved(appearance));
    palette.setColor(QPalette::HighlightedText, white().resolved(appearance));
    palette.setColor(QPalette::Link, systemBlue().resolved(appearance));
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    return palette;
}

} // namespace SystemColor
