#pragma once
// Scroll suppression and Escape on a wlroots compositor, where a client can neither grab the
// pointer nor read other clients' keys: while the overlay is shown, a transparent layer surface
// covers the focused output (overlay layer, anchored to every edge, input everywhere) and takes
// the keyboard (interactivity `exclusive`). Scrolls and clicks land on it and are dropped; an
// Escape typed meanwhile reaches it.
//
// The trade-off, as on X11 with its grab: the window below sees the pointer leave and come back,
// keyboard focus moves to the shield for its lifetime, and after it goes sway gives the pointer
// back only at the next motion, so a scroll in between can be lost. That is why it stands only
// while the overlay is shown, not for a whole walk: toggle swipes and a walk before its reveal do
// without (libinput already makes three fingers a gesture, not a scroll).
//
// The surface is one transparent pixel stretched over the output by wp_viewporter. A surface that
// names no cursor shows none, so the shield sets the theme's arrow when the pointer enters it
// (XCURSOR_THEME and XCURSOR_SIZE as the session sets them, else the default theme at 24).
// Main thread.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gesture/InputServices.h"
#include "platform/wayland/WaylandConnection.h"

struct wl_buffer;
struct wl_compositor;
struct wl_cursor_theme;
struct wl_keyboard;
struct wl_pointer;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct wp_viewport;
struct wp_viewporter;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

namespace trellick::wayland {

class LayerShellShield : public ScrollBlocker, public KeyMonitor {
public:
    // The protocols the shield needs; empty when all are offered, else the missing ones' names.
    static std::vector<std::string> missingProtocols(const WaylandConnection& connection);

    explicit LayerShellShield(std::shared_ptr<WaylandConnection> connection);
    ~LayerShellShield() override;
    LayerShellShield(const LayerShellShield&) = delete;
    LayerShellShield& operator=(const LayerShellShield&) = delete;

    // False where the compositor lacks a protocol it needs.
    bool create() override;
    void setEnabled(bool enabled) override;
    // The compositor never takes the surface away while it stands.
    void setLostHandler(std::function<void()>) override {}
    std::optional<Token> addEscapeMonitor(std::function<void()> onEscape) override;
    void removeMonitor(Token token) override;

    // The overlay's panel says when it is shown: the shield stands only meanwhile.
    void setOverlayShown(bool shown);

    struct Listeners;

private:
    // Raises or takes down the surface to match what is wanted.
    void update();
    void raise();
    void lower();
    void escape();
    void setCursor(uint32_t serial);

    std::shared_ptr<WaylandConnection> conn_;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_pointer* pointer_ = nullptr;
    wl_cursor_theme* cursorTheme_ = nullptr;
    wl_surface* cursorSurface_ = nullptr;
    int32_t hotspotX_ = 0, hotspotY_ = 0;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    wp_viewporter* viewporter_ = nullptr;
    wl_buffer* pixel_ = nullptr;

    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    wp_viewport* viewport_ = nullptr;

    bool scrollWanted_ = false;
    bool overlayShown_ = false;
    std::map<Token, std::function<void()>> escapeHandlers_;
    Token next_ = 0;
};

}  // namespace trellick::wayland
