// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/x11/X11ScreenGrab.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include <xcb/render.h>
#include <xcb/xcb.h>

namespace platform {
namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_render_fixed_t fixed(double value)
{
    return xcb_render_fixed_t(value * 65536.0);
}

// One connection for the life of the process, opened on first use, with the root's
// picture format found once.
class RenderConnection {
public:
    static RenderConnection& instance()
    {
        static RenderConnection connection;
        return connection;
    }

    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    xcb_render_pictformat_t rootFormat = 0;
    bool usable = false;

private:
    RenderConnection()
    {
        int screenNumber = 0;
        connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(connection))
            return;
        const xcb_setup_t* setup = xcb_get_setup(connection);
        xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
        for (int i = 0; i < screenNumber && screens.rem; ++i)
            xcb_screen_next(&screens);
        if (!screens.rem)
            return;
        root = screens.data->root;
        // Only the common layout is read: 24-bit colour in 32-bit little-endian pixels,
        // which is QImage::Format_RGB32 on this machine.
        bool thirtyTwoBits = false;
        for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem;
             xcb_format_next(&formats))
            if (formats.data->depth == 24)
                thirtyTwoBits = formats.data->bits_per_pixel == 32;
        if (screens.data->root_depth != 24 || !thirtyTwoBits ||
            setup->image_byte_order != XCB_IMAGE_ORDER_LSB_FIRST)
            return;
        const xcb_query_extension_reply_t* render =
            xcb_get_extension_data(connection, &xcb_render_id);
        if (!render || !render->present)
            return;
        rootFormat = findFormat(screens.data->root_visual);
        usable = rootFormat != 0;
    }
    ~RenderConnection()
    {
        if (connection)
            xcb_disconnect(connection);
    }

    xcb_render_pictformat_t findFormat(xcb_visualid_t visual)
    {
        const Reply<xcb_render_query_pict_formats_reply_t> formats(
            xcb_render_query_pict_formats_reply(
                connection, xcb_render_query_pict_formats(connection), nullptr));
        if (!formats)
            return 0;
        for (auto screens = xcb_render_query_pict_formats_screens_iterator(formats.get());
             screens.rem; xcb_render_pictscreen_next(&screens))
            for (auto depths = xcb_render_pictscreen_depths_iterator(screens.data); depths.rem;
                 xcb_render_pictdepth_next(&depths))
                for (auto visuals = xcb_render_pictdepth_visuals_iterator(depths.data); visuals.rem;
                     xcb_render_pictvisual_next(&visuals))
                    if (visuals.data->visual == visual)
                        return visuals.data->format;
        return 0;
    }
};

} // namespace

QImage grabX11ScreenShrunk(const QRect& area, int factor)
{
    RenderConnection& x = RenderConnection::instance();
    if (!x.usable || area.isEmpty() || factor < 1)
        return {};
    xcb_connection_t* c = x.connection;
    const int width = std::max(1, area.width() / factor);
    const int height = std::max(1, area.height() / factor);

    // The root, children included, seen through a transform that maps each small pixel
    // to the middle of its block on screen.
    const xcb_render_picture_t source = xcb_generate_id(c);
    const uint32_t includeInferiors = XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS;
    xcb_render_create_picture(c, source, x.root, x.rootFormat, XCB_RENDER_CP_SUBWINDOW_MODE,
                              &includeInferiors);
    const double middle = factor / 2.0 - 0.5;
    const xcb_render_transform_t shrink{fixed(factor),
                                        0,
                                        fixed(area.x() + middle),
                                        0,
                                        fixed(factor),
                                        fixed(area.y() + middle),
                                        0,
                                        0,
                                        fixed(1)};
    xcb_render_set_picture_transform(c, source, shrink);
    static constexpr char kFilter[] = "bilinear";
    xcb_render_set_picture_filter(c, source, uint16_t(std::strlen(kFilter)), kFilter, 0, nullptr);

    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    xcb_create_pixmap(c, 24, pixmap, x.root, uint16_t(width), uint16_t(height));
    const xcb_render_picture_t target = xcb_generate_id(c);
    xcb_render_create_picture(c, target, pixmap, x.rootFormat, 0, nullptr);
    xcb_render_composite(c, XCB_RENDER_PICT_OP_SRC, source, XCB_NONE, target, 0, 0, 0, 0, 0, 0,
                         uint16_t(width), uint16_t(height));

    xcb_generic_error_t* rawError = nullptr;
    const Reply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, 0, 0,
                                          uint16_t(width), uint16_t(height), ~0u),
                            &rawError));
    const Reply<xcb_generic_error_t> error(rawError);
    xcb_render_free_picture(c, target);
    xcb_render_free_picture(c, source);
    xcb_free_pixmap(c, pixmap);
    xcb_flush(c);
    // Errors of the unchecked requests above arrive as events nobody else reads.
    while (xcb_generic_event_t* event = xcb_poll_for_event(c))
        std::free(event);

    const std::size_t size = std::size_t(width) * std::size_t(height) * 4;
    if (!image || error || std::size_t(xcb_get_image_data_length(image.get())) < size)
        return {};
    // The server leaves the top byte undefined: RGB32 ignores it.
    return QImage(xcb_get_image_data(image.get()), width, height, width * 4, QImage::Format_RGB32)
        .copy();
}

} // namespace platform
