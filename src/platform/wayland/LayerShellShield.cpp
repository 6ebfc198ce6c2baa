#include "platform/wayland/LayerShellShield.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <wayland-cursor.h>

#include <cstdlib>

#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace trellick::wayland {

struct LayerShellShield::Listeners {
    static LayerShellShield& of(void* data) { return *static_cast<LayerShellShield*>(data); }

    static void configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
        auto& shield = of(data);
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        if (!shield.surface_ || width == 0 || height == 0) return;
        wp_viewport_set_destination(shield.viewport_, static_cast<int32_t>(width), static_cast<int32_t>(height));
        wl_surface_attach(shield.surface_, shield.pixel_, 0, 0);
        wl_surface_damage_buffer(shield.surface_, 0, 0, 1, 1);
        wl_surface_commit(shield.surface_);
        shield.conn_->flush();
    }
    static void closed(void* data, zwlr_layer_surface_v1*) { of(data).lower(); }
    static constexpr zwlr_layer_surface_v1_listener layer = {configure, closed};

    static void capabilities(void* data, wl_seat* seat, uint32_t caps) {
        auto& shield = of(data);
        if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !shield.keyboard_) {
            shield.keyboard_ = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(shield.keyboard_, &keyboard, data);
        } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD) && shield.keyboard_) {
            wl_keyboard_destroy(shield.keyboard_);
            shield.keyboard_ = nullptr;
        }
        if ((caps & WL_SEAT_CAPABILITY_POINTER) && !shield.pointer_) {
            shield.pointer_ = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(shield.pointer_, &pointer, data);
        } else if (!(caps & WL_SEAT_CAPABILITY_POINTER) && shield.pointer_) {
            wl_pointer_destroy(shield.pointer_);
            shield.pointer_ = nullptr;
        }
    }
    // Bound at version 1: the seat's name never comes.
    static constexpr wl_seat_listener seat = {capabilities, nullptr};

    static void keymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
    static void enter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
    static void leave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
    static void key(void* data, wl_keyboard*, uint32_t, uint32_t, uint32_t code, uint32_t state) {
        // Key codes are the kernel's, whatever the layout: Escape is KEY_ESC.
        if (code == KEY_ESC && state == WL_KEYBOARD_KEY_STATE_PRESSED) of(data).escape();
    }
    static void modifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
    // Bound at version 1: no repeat information comes.
    static constexpr wl_keyboard_listener keyboard = {keymap, enter, leave, key, modifiers, nullptr};

    static void pointerEnter(void* data, wl_pointer*, uint32_t serial, wl_surface* surface, wl_fixed_t, wl_fixed_t) {
        if (surface && surface == of(data).surface_) of(data).setCursor(serial);
    }
    static void pointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) {}
    static void motion(void*, wl_pointer*, uint32_t, wl_fixed_t, wl_fixed_t) {}
    static void button(void*, wl_pointer*, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void axis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
    // Bound at version 1: frames and the finer axis events never come.
    static constexpr wl_pointer_listener pointer = {pointerEnter, pointerLeave, motion,  button,  axis,
                                                    nullptr,      nullptr,      nullptr, nullptr, nullptr};
};

std::vector<std::string> LayerShellShield::missingProtocols(const WaylandConnection& connection) {
    std::vector<std::string> missing;
    for (const wl_interface* i : {&wl_compositor_interface, &wl_shm_interface, &wl_seat_interface,
                                  &zwlr_layer_shell_v1_interface, &wp_viewporter_interface})
        if (!connection.offers(*i)) missing.emplace_back(i->name);
    return missing;
}

LayerShellShield::LayerShellShield(std::shared_ptr<WaylandConnection> connection) : conn_(std::move(connection)) {}

LayerShellShield::~LayerShellShield() {
    lower();
    if (pixel_) wl_buffer_destroy(pixel_);
    if (keyboard_) wl_keyboard_destroy(keyboard_);
    if (pointer_) wl_pointer_destroy(pointer_);
    if (cursorSurface_) wl_surface_destroy(cursorSurface_);
    if (cursorTheme_) wl_cursor_theme_destroy(cursorTheme_);
    if (seat_) wl_seat_destroy(seat_);
    if (viewporter_) wp_viewporter_destroy(viewporter_);
    if (layerShell_) zwlr_layer_shell_v1_destroy(layerShell_);
    if (shm_) wl_shm_destroy(shm_);
    if (compositor_) wl_compositor_destroy(compositor_);
    conn_->flush();
}

bool LayerShellShield::create() {
    if (pixel_) return true;
    if (!missingProtocols(*conn_).empty()) return false;
    // Version 4 brings damage in buffer coordinates.
    compositor_ = conn_->bind<wl_compositor>(wl_compositor_interface, 4);
    shm_ = conn_->bind<wl_shm>(wl_shm_interface, 1);
    layerShell_ = conn_->bind<zwlr_layer_shell_v1>(zwlr_layer_shell_v1_interface, 3);
    viewporter_ = conn_->bind<wp_viewporter>(wp_viewporter_interface, 1);
    seat_ = conn_->bind<wl_seat>(wl_seat_interface, 1);
    wl_seat_add_listener(seat_, &Listeners::seat, this);
    // One transparent pixel (all zero: premultiplied ARGB).
    int fd = memfd_create("trellick-shield", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, 4) != 0) {
        if (fd >= 0) close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, 4);
    pixel_ = wl_shm_pool_create_buffer(pool, 0, 1, 1, 4, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    conn_->flush();
    return true;
}

void LayerShellShield::setEnabled(bool enabled) {
    scrollWanted_ = enabled;
    update();
}

std::optional<KeyMonitor::Token> LayerShellShield::addEscapeMonitor(std::function<void()> onEscape) {
    if (!create()) return std::nullopt;
    Token token = next_++;
    escapeHandlers_[token] = std::move(onEscape);
    update();
    return token;
}

void LayerShellShield::removeMonitor(Token token) {
    escapeHandlers_.erase(token);
    update();
}

void LayerShellShield::setOverlayShown(bool shown) {
    overlayShown_ = shown;
    update();
}

void LayerShellShield::update() {
    const bool wanted = overlayShown_ && (scrollWanted_ || !escapeHandlers_.empty());
    if (wanted && !layer_)
        raise();
    else if (!wanted && layer_)
        lower();
}

void LayerShellShield::raise() {
    if (!create()) return;
    surface_ = wl_compositor_create_surface(compositor_);
    viewport_ = wp_viewporter_get_viewport(viewporter_, surface_);
    // No output: the compositor picks the focused one, where the overlay is too.
    layer_ = zwlr_layer_shell_v1_get_layer_surface(layerShell_, surface_, nullptr, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                   "trellick-shield");
    zwlr_layer_surface_v1_add_listener(layer_, &Listeners::layer, this);
    zwlr_layer_surface_v1_set_anchor(layer_, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                                 ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_size(layer_, 0, 0);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    wl_surface_commit(surface_);
    conn_->flush();
}

void LayerShellShield::lower() {
    if (viewport_) wp_viewport_destroy(viewport_);
    if (layer_) zwlr_layer_surface_v1_destroy(layer_);
    if (surface_) wl_surface_destroy(surface_);
    viewport_ = nullptr;
    layer_ = nullptr;
    surface_ = nullptr;
    conn_->flush();
}

void LayerShellShield::setCursor(uint32_t serial) {
    if (!cursorSurface_) {
        const char* size = std::getenv("XCURSOR_SIZE");
        const int pixels = size && std::atoi(size) > 0 ? std::atoi(size) : 24;
        // Without the theme's files, libwayland-cursor's own arrow stands in.
        cursorTheme_ = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), pixels, shm_);
        wl_cursor* arrow = cursorTheme_ ? wl_cursor_theme_get_cursor(cursorTheme_, "left_ptr") : nullptr;
        if (!arrow || arrow->image_count == 0) return;
        wl_cursor_image* image = arrow->images[0];
        hotspotX_ = static_cast<int32_t>(image->hotspot_x);
        hotspotY_ = static_cast<int32_t>(image->hotspot_y);
        cursorSurface_ = wl_compositor_create_surface(compositor_);
        wl_surface_attach(cursorSurface_, wl_cursor_image_get_buffer(image), 0, 0);
        wl_surface_damage_buffer(cursorSurface_, 0, 0, static_cast<int32_t>(image->width),
                                 static_cast<int32_t>(image->height));
        wl_surface_commit(cursorSurface_);
    }
    wl_pointer_set_cursor(pointer_, serial, cursorSurface_, hotspotX_, hotspotY_);
    conn_->flush();
}

void LayerShellShield::escape() {
    if (!layer_) return;
    auto handlers = escapeHandlers_;  // a handler may remove itself
    for (auto& [token, handler] : handlers) handler();
}

}  // namespace trellick::wayland
