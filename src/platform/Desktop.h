// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QImage>
#include <QString>
#include <QUrl>

class QScreen;
class QWindow;

// What the windows need of the desktop beyond Qt itself.
namespace platform {

struct SystemVersion {
    enum class Os { Linux, MacOS, Other };
    Os os = Os::Other;
    int major = 0;
    int minor = 0;
    int patch = 0;

    bool isMacOSAtLeast(int wantMajor, int wantMinor, int wantPatch) const
    {
        if (os != Os::MacOS)
            return false;
        if (major != wantMajor)
            return major > wantMajor;
        if (minor != wantMinor)
            return minor > wantMinor;
        return patch >= wantPatch;
    }
};

class Desktop {
public:
    virtual ~Desktop() = default;

    virtual SystemVersion systemVersion() = 0;
    // The desktop's "reduce motion" / "no animations" setting, read now.
    virtual bool prefersReducedMotion() = 0;
    // Opens a web address in the default browser. False when nothing could open it.
    virtual bool openUrl(const QUrl& url) = 0;
    // The one way this platform leads the user to grant keyboard access.
    virtual void openKeyboardAccessSettings() = 0;
    // Shows the file selected in the file manager, or at least its folder.
    virtual bool revealFile(const QString& path) = 0;
    // Keeps a shown full-screen window above every other window, on every workspace,
    // raising it again whenever something is stacked above it, until it is hidden.
    // Call once the native window exists, before showing it.
    virtual void placeAboveAllWindows(QWindow& window) = 0;
    // Call before a window placed above all others is hidden or destroyed: what kept it
    // there may have to be taken down before the window's surface goes.
    virtual void releaseFromAbove(QWindow&) {}
    // Gives the keyboard focus to a window placed above all others. When that window
    // hides, the focus goes back to the window that had it, if that one still exists.
    virtual void makeKeyWindow(QWindow& window) = 0;
    // Whether the desktop itself keeps a window placed above all others in front (an
    // overlay layer, a watch on the stacking order); false where only losing the focus
    // tells that another window came in front of it.
    virtual bool keepsAboveByItself(const QWindow& window) = 0;
    // While held, the session does not blank, lock or suspend the screens for idleness
    // (nobody types while the keyboard is locked). Never waits; where the desktop offers no
    // way to ask, nothing happens.
    virtual void holdOffIdle(bool held) = 0;
    // Whether a compositing manager blends translucent windows with what lies behind.
    virtual bool compositesWindows() = 0;
    // What the screen shows now, shrunk by the factor in each direction (each pixel
    // stands for a block of the screen's pixels); null when it cannot be read.
    virtual QImage screenSnapshot(QScreen& screen, int shrinkFactor) = 0;
};

} // namespace platform
