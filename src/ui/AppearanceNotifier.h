#pragma once

#include <QObject>

class QEvent;

// Tells views that the desktop switched between light and dark. Widgets inside
// a window hear of it through their own change events; a top-level widget does
// not, so views that keep resolved colours also listen here.
class AppearanceNotifier : public QObject {
    Q_OBJECT
public:
    static AppearanceNotifier& instance();

    // True for the events through which Qt passes on a palette or theme change.
    static bool isAppearanceChange(const QEvent* event);

signals:
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppearanceNotifier();
};
