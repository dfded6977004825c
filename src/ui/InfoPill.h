#pragma once

#include <QWidget>

// The status capsule: a tinted symbol and one line of text on clear glass; one
// static-text element to assistive technology.
class InfoPill : public QWidget {
    Q_OBJECT
public:
    InfoPill(const QString& symbolName, const QString& title, bool isReady,
             QWidget* parent = nullptr);

    using QWidget::update;
    void update(const QString& symbolName, const QString& title, bool isReady);
};
