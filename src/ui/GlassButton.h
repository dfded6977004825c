#pragma once

#include <QWidget>

#include <functional>

class FocusAwareButton;
class GlassPanel;

// The glass push button: a capsule of tinted glass with a symbol, a title and an
// accent glow. The owner sets onClick and sizes it (236 × 52 in this program).
class GlassButton : public QWidget {
    Q_OBJECT
public:
    GlassButton(const QString& title, const QString& symbolName, QWidget* parent = nullptr);
    ~GlassButton() override;

    std::function<void()> onClick;

    FocusAwareButton* button() const;
};
