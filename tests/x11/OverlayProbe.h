#pragma once
// What the X server knows of an overlay panel, asked the way any client could: the shown
// override-redirect windows of a process, their geometry, depth and shape; and a desktop of
// two monitors on one Xvfb screen (RandR 1.5 monitors).

#include <sys/uio.h>
#include <xcb/res.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <cstdlib>
#include <cstring>
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

// Splits a screen into monitors of the given widths, side by side, for as long as `c` stays
// connected (the server drops a client's monitors with it). The first holds the screen's
// output and is the primary. False when the server cannot (no RandR 1.5).
inline bool splitIntoMonitors(xcb_connection_t* c, xcb_window_t root, const std::vector<int>& widths, int height) {
    auto* ext = xcb_query_extension_reply(c, xcb_query_extension(c, 5, "RANDR"), nullptr);
    const uint8_t major = ext && ext->present ? ext->major_opcode : 0;
    free(ext);
    if (!major) return false;
    // Raw requests (libxcb-randr has no headers here): QueryVersion 1.5, GetScreenResourcesCurrent,
    // SetMonitor.
    auto send = [&](std::vector<uint32_t> words, bool reply) {
        words[0] |= static_cast<uint32_t>(words.size()) << 16;
        iovec v[4];
        v[2] = {words.data(), words.size() * 4};
        xcb_protocol_request_t req{1, nullptr, 0, static_cast<uint8_t>(!reply)};
        return xcb_send_request(c, XCB_REQUEST_RAW | (reply ? 0 : XCB_REQUEST_CHECKED), v + 2, &req);
    };
    auto replyTo = [&](unsigned seq) { return static_cast<uint8_t*>(xcb_wait_for_reply(c, seq, nullptr)); };
    uint8_t* version = replyTo(send({major | 0u << 8, 1, 5}, true));
    const bool ok =
        version && (reinterpret_cast<uint32_t*>(version)[2] > 1 || reinterpret_cast<uint32_t*>(version)[3] >= 5);
    free(version);
    if (!ok) return false;
    uint8_t* resources = replyTo(send({major | 25u << 8, root}, true));
    if (!resources) return false;
    uint16_t crtcs, outputs;
    std::memcpy(&crtcs, resources + 16, 2);
    std::memcpy(&outputs, resources + 18, 2);
    uint32_t output = 0;
    if (outputs) std::memcpy(&output, resources + 32 + 4 * crtcs, 4);
    free(resources);
    int x = 0;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        std::string name = "TRELLICK-" + std::to_string(i);
        auto* atom =
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(name.size()), name.data()), nullptr);
        const bool withOutput = i == 0 && output;
        std::vector<uint32_t> rq{major | 43u << 8,
                                 root,
                                 atom ? atom->atom : 0,
                                 (i == 0 ? 1u : 0u) | (withOutput ? 1u : 0u) << 16,
                                 static_cast<uint32_t>(x & 0xffff),
                                 static_cast<uint32_t>(widths[i]) | static_cast<uint32_t>(height) << 16,
                                 static_cast<uint32_t>(widths[i]) * 254 / 960,
                                 static_cast<uint32_t>(height) * 254 / 960};
        if (withOutput) rq.push_back(output);
        free(atom);
        if (xcb_generic_error_t* e = xcb_request_check(c, {send(rq, false)})) {
            free(e);
            return false;
        }
        x += widths[i];
    }
    return true;
}

}  // namespace trellick::rig
