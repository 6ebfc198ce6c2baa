#pragma once
// What the X server knows of an overlay panel, asked the way any client could: the shown
// override-redirect windows of a process, their geometry, depth and shape.

#include <xcb/res.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace trellick::rig {

struct ShownWindow {
    xcb_window_t id = 0;
    int x = 0, y = 0, width = 0, height = 0, depth = 0;
    int centreX() const { return x + width / 2; }
    int centreY() const { return y + height / 2; }
};

// The process that made `w`, as the server knows it (XRes); 0 when unknown.
inline int clientPid(xcb_connection_t* c, xcb_window_t w) {
    xcb_res_client_id_spec_t query{w, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto* reply = xcb_res_query_client_ids_reply(c, xcb_res_query_client_ids(c, 1, &query), nullptr);
    int pid = 0;
    if (!reply) return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply); it.rem; xcb_res_client_id_value_next(&it))
        if (xcb_res_client_id_value_value_length(it.data) >= 1)
            pid = static_cast<int>(*xcb_res_client_id_value_value(it.data));
    free(reply);
    return pid;
}

// The viewable override-redirect top-level windows of process `pid`, bottom to top.
inline std::vector<ShownWindow> shownOverrideRedirect(xcb_connection_t* c, xcb_window_t root, int pid) {
    std::vector<ShownWindow> out;
    auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
    if (!tree) return out;
    const xcb_window_t* kids = xcb_query_tree_children(tree);
    for (int i = 0, n = xcb_query_tree_children_length(tree); i < n; ++i) {
        auto* attr = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, kids[i]), nullptr);
        bool candidate = attr && attr->override_redirect && attr->map_state == XCB_MAP_STATE_VIEWABLE;
        free(attr);
        if (!candidate || clientPid(c, kids[i]) != pid) continue;
        auto* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, kids[i]), nullptr);
        if (!g) continue;
        out.push_back({kids[i], g->x, g->y, g->width, g->height, g->depth});
        free(g);
    }
    free(tree);
    return out;
}

// The rectangles of the window's bounding shape (the whole window when it has none).
inline std::vector<xcb_rectangle_t> boundingShape(xcb_connection_t* c, xcb_window_t w) {
    std::vector<xcb_rectangle_t> out;
    auto* r = xcb_shape_get_rectangles_reply(c, xcb_shape_get_rectangles(c, w, XCB_SHAPE_SK_BOUNDING), nullptr);
    if (!r) return out;
    const xcb_rectangle_t* rects = xcb_shape_get_rectangles_rectangles(r);
    out.assign(rects, rects + xcb_shape_get_rectangles_rectangles_length(r));
    free(r);
    return out;
}

}  // namespace trellick::rig
