#include "X11Windows.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include <xcb/xcb.h>

namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

} // namespace

X11Windows::X11Windows() : m_connection(xcb_connect(nullptr, nullptr))
{
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root; // one screen
}

X11Windows::~X11Windows()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

void X11Windows::sync() const
{
    Reply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

QList<TopWindow> X11Windows::topLevels() const
{
    QList<TopWindow> windows;
    const Reply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    const xcb_window_t* children = tree ? xcb_query_tree_children(tree.get()) : nullptr;
    for (int i = 0; tree && i < xcb_query_tree_children_length(tree.get()); ++i)
        if (const auto window = find(children[i]))
            windows.append(*window);
    return windows;
}

std::optional<TopWindow> X11Windows::find(unsigned int id) const
{
    const Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, id), nullptr));
    const Reply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, id), nullptr));
    if (!attributes || !geometry)
        return std::nullopt;
    return TopWindow{id, QRect(geometry->x, geometry->y, geometry->width, geometry->height),
                     attributes->map_state == XCB_MAP_STATE_VIEWABLE,
                     bool(attributes->override_redirect)};
}

unsigned int X11Windows::focus() const
{
    const Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    return focus ? focus->focus : 0;
}

bool X11Windows::ownSelection(const char* name)
{
    const Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, false, uint16_t(strlen(name)), name), nullptr));
    if (!atom)
        return false;
    const xcb_window_t owner = xcb_generate_id(m_connection);
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, owner, m_root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_set_selection_owner(m_connection, owner, atom->atom, XCB_CURRENT_TIME);
    const Reply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, atom->atom), nullptr));
    return reply && reply->owner == owner;
}

unsigned int X11Windows::mapPlainWindow(QPoint at)
{
    const xcb_window_t window = xcb_generate_id(m_connection);
    const uint32_t values[] = {0x00ff8800, 1}; // orange, override-redirect
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, int16_t(at.x()),
                      int16_t(at.y()), 300, 200, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(m_connection, window);
    sync();
    return window;
}

void X11Windows::raise(unsigned int id)
{
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(m_connection, id, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    sync();
}

void X11Windows::setFocus(unsigned int id)
{
    xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_PARENT, id, XCB_CURRENT_TIME);
    sync();
}

void X11Windows::destroy(unsigned int id)
{
    xcb_destroy_window(m_connection, id);
    sync();
}
