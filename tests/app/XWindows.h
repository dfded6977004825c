#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QThread>

#include <functional>

// Xlib after Qt: its macros (None, Bool, Status) clash with Qt's names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

// Looks at the windows of an X server from the outside, as a window manager would.
class XWindows {
public:
    XWindows() : m_display(XOpenDisplay(nullptr)) {}
    ~XWindows()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    XWindows(const XWindows&) = delete;
    XWindows& operator=(const XWindows&) = delete;

    Display* display() const { return m_display; }
    Window root() const { return DefaultRootWindow(m_display); }

    // Top-level windows in stacking order, bottom first.
    QList<Window> topLevels() const
    {
        QList<Window> result;
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(m_display, root(), &rootReturn, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count; ++i)
                result.append(children[i]);
            XFree(children);
        }
        return result;
    }

    bool isViewable(Window window) const
    {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(m_display, window, &attributes) &&
               attributes.map_state == IsViewable;
    }

    long cardinal(Window window, const char* property) const
    {
        const QList<unsigned long> values = longs(window, property, XA_CARDINAL);
        return values.isEmpty() ? -1 : static_cast<long>(values.first());
    }

    QList<Atom> atoms(Window window, const char* property) const
    {
        QList<Atom> result;
        for (unsigned long value : longs(window, property, XA_ATOM))
            result.append(static_cast<Atom>(value));
        return result;
    }

    Atom atom(const char* name) const { return XInternAtom(m_display, name, False); }

    QString windowClass(Window window) const
    {
        XClassHint hint{};
        if (!XGetClassHint(m_display, window, &hint))
            return {};
        const QString result = QString::fromLatin1(hint.res_name) + QLatin1Char('/') +
                               QString::fromLatin1(hint.res_class);
        XFree(hint.res_name);
        XFree(hint.res_class);
        return result;
    }

    Window inputFocus() const
    {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_display, &focus, &revert);
        return focus;
    }

    // The viewable top-level windows a process put on screen.
    QList<Window> viewableWindowsOf(qint64 pid) const
    {
        QList<Window> result;
        for (Window window : topLevels()) {
            if (isViewable(window) && cardinal(window, "_NET_WM_PID") == pid)
                result.append(window);
        }
        return result;
    }

    // Asks a window to close, as a window manager's close button does.
    void requestClose(Window window) const
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = atom("WM_PROTOCOLS");
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(atom("WM_DELETE_WINDOW"));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, window, False, NoEventMask, &event);
        XFlush(m_display);
    }

    // Polls until `condition` holds or `timeoutMs` pass.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!condition()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QThread::msleep(5);
        }
        return true;
    }

private:
    QList<unsigned long> longs(Window window, const char* property, Atom type) const
    {
        QList<unsigned long> result;
        Atom actualType = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(m_display, window, atom(property), 0, 64, False, type, &actualType,
                               &format, &count, &after, &data) == Success &&
            data) {
            if (format == 32) {
                const auto* values = reinterpret_cast<const unsigned long*>(data);
                for (unsigned long i = 0; i < count; ++i)
                    result.append(values[i]);
            }
            XFree(data);
        }
        return result;
    }

    Display* m_display;
};
