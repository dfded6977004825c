// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QWidget>

class ElidedLabel;
class GlassPanel;
class StatusAnnouncer;
class SymbolView;

// The status capsule: a tinted symbol and one line of text on clear glass; one
// static-text element to assistive technology, which is told each new text.
class InfoPill : public QWidget {
    Q_OBJECT
public:
    // Made complete by the constructor below or not at all.
    InfoPill() = delete;
    explicit InfoPill(QWidget* parent) = delete;
    InfoPill(const QString& symbolName, const QString& title, bool isReady,
             QWidget* parent = nullptr);

    using QWidget::update;
    // A new title is announced to screen readers.
    void update(const QString& symbolName, const QString& title, bool isReady);
    // Announces the title again, though it has not changed: the answer to an action
    // that was refused for the reason it already gives.
    void announceTitle();

    QString title() const;
    GlassPanel* glass() const { return m_glass; }
    SymbolView* iconView() const { return m_iconView; }
    ElidedLabel* label() const { return m_label; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutContent();

    GlassPanel* m_glass = nullptr;
    SymbolView* m_iconView = nullptr;
    ElidedLabel* m_label = nullptr;
    StatusAnnouncer* m_announcer = nullptr;
};
