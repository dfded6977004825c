#pragma once

#include <QList>
#include <QRect>

#include <optional>

struct xcb_connection_t;

// Top-level windows of an X server as seen from a connection of the test's own.
struct TopWindow {
    unsigned int id = 0;
    QRect geometry;
    bool viewable = false;
    bool overrideRedirect = false;
};

class X11Windows {
public:
    X11Windows();
    ~X11Windows();
    bool isConnected() const { return m_connection != nullptr; }

    QList<TopWindow> topLevels() const; // bottom to top, as the server stacks them
    std::optional<TopWindow> find(unsigned int id) const;
    unsigned int focus() const;
    // Takes a selection, as a compositing manager takes _NET_WM_CM_S<n>; false on failure.
    bool ownSelection(const char* name);
    // Maps a plain 300×200 window at the given place, managed by nobody; returns its id.
    unsigned int mapPlainWindow(QPoint at);
    void raise(unsigned int id);
    void setFocus(unsigned int id);
    void destroy(unsigned int id);

private:
    void sync() const; // returns once the server has handled every request sent
    xcb_connection_t* m_connection = nullptr;
    unsigned int m_root = 0;
};
