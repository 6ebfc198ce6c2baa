// A small X11 client for the rig: maps windows with a given WM_CLASS and title, answers
// WM_DELETE_WINDOW by destroying that window, and exits when its last window is gone.
// Usage: x11_test_window --class CLASS [--title T] [--count N] [--no-pid] [--dock] [--icon]
// --icon: a _NET_WM_ICON of 16, 64 and 128 pixels, opaque red, green and half-transparent blue.

#include <unistd.h>
#include <xcb/xcb.h>

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    // Options with a value take the next argument; flags are present or not.
    std::map<std::string, std::string> arg{{"--class", "TestWindow"}, {"--title", "test window"}, {"--count", "1"}};
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        arg[a] = arg.count(a) && i + 1 < argc ? argv[++i] : "";
    }
    const std::string cls = arg["--class"], title = arg["--title"];
    const int count = std::atoi(arg["--count"].c_str());
    const bool setPid = !arg.count("--no-pid"), dock = arg.count("--dock"), icon = arg.count("--icon");
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    auto atom = [c](const char* name) {
        auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(strlen(name)), name), nullptr);
        xcb_atom_t a = r ? r->atom : 0;
        free(r);
        return a;
    };
    xcb_atom_t protocols = atom("WM_PROTOCOLS"), del = atom("WM_DELETE_WINDOW");
    std::string wmClass = cls;
    for (auto& ch : wmClass) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    wmClass += '\0' + cls + '\0';
    std::set<xcb_window_t> windows;
    for (int i = 0; i < count; ++i) {
        xcb_window_t w = xcb_generate_id(c);
        uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, 40 + 30 * i, 40 + 30 * i, 320, 200, 1,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK,
                          values);
        auto set = [&](xcb_atom_t property, xcb_atom_t type, uint8_t format, uint32_t length, const void* data) {
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, format, length, data);
        };
        std::string t = count > 1 ? title + " " + std::to_string(i + 1) : title;
        set(XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, static_cast<uint32_t>(t.size()), t.data());
        set(atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, static_cast<uint32_t>(t.size()), t.data());
        set(XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, static_cast<uint32_t>(wmClass.size()), wmClass.data());
        set(protocols, XCB_ATOM_ATOM, 32, 1, &del);
        uint32_t pid = static_cast<uint32_t>(getpid());
        if (setPid) set(atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        xcb_atom_t dockType = atom("_NET_WM_WINDOW_TYPE_DOCK");
        if (dock) set(atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, 32, 1, &dockType);
        if (icon) {
            std::vector<uint32_t> argb;
            for (auto [size, colour] : {std::pair{16u, 0xffff0000u}, {64u, 0xff00ff00u}, {128u, 0x800000ffu}}) {
                argb.insert(argb.end(), {size, size});
                argb.insert(argb.end(), size * size, colour);
            }
            set(atom("_NET_WM_ICON"), XCB_ATOM_CARDINAL, 32, static_cast<uint32_t>(argb.size()), argb.data());
        }
        xcb_map_window(c, w);
        windows.insert(w);
    }
    xcb_flush(c);
    while (xcb_generic_event_t* ev = xcb_wait_for_event(c)) {
        auto* cm = reinterpret_cast<xcb_client_message_event_t*>(ev);
        if ((ev->response_type & 0x7f) == XCB_CLIENT_MESSAGE && cm->type == protocols && cm->data.data32[0] == del) {
            xcb_destroy_window(c, cm->window);
            windows.erase(cm->window);
            // Round-trip so the destruction reaches the server before we might exit.
            free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        }
        free(ev);
        if (windows.empty()) break;
    }
    xcb_disconnect(c);
    return 0;
}
