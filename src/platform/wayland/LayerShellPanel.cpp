#include "platform/wayland/LayerShellPanel.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "blur-client-protocol.h"
#include "overlay/HUDController.h"
#include "overlay/QtScreens.h"
#include "platform/wayland/LayerShellShield.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

namespace trellick::wayland {

struct LayerShellPanel::Buffer {
    LayerShellPanel* owner = nullptr;
    wl_buffer* buffer = nullptr;
    void* data = MAP_FAILED;
    std::size_t bytes = 0;
    int width = 0, height = 0;
    bool busy = false;  // the compositor holds it until release

    ~Buffer() {
        if (buffer) wl_buffer_destroy(buffer);
        if (data != MAP_FAILED) munmap(data, bytes);
    }
};

struct LayerShellPanel::Listeners {
    static void release(void* data, wl_buffer*) {
        auto* b = static_cast<Buffer*>(data);
        b->busy = false;
        if (b->owner->dirty_) b->owner->paint();
    }
    static constexpr wl_buffer_listener buffer = {release};

    static void configure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t, uint32_t) {
        // sway configures one surface several times: each is acknowledged and drawn.
        auto* panel = static_cast<LayerShellPanel*>(data);
        zwlr_layer_surface_v1_ack_configure(layer, serial);
        panel->configured_ = true;
        panel->paint();
    }
    static void closed(void* data, zwlr_layer_surface_v1*) {
        // Its output went away; the next showing makes a new surface.
        auto* panel = static_cast<LayerShellPanel*>(data);
        panel->unmap();
        panel->visible_ = false;
    }
    static constexpr zwlr_layer_surface_v1_listener layer = {configure, closed};

    static void frameDone(void* data, wl_callback* callback, uint32_t) {
        auto* panel = static_cast<LayerShellPanel*>(data);
        wl_callback_destroy(callback);
        panel->frameCallback_ = nullptr;
        if (panel->framePresented_) panel->framePresented_();
        if (panel->dirty_) panel->paint();
    }
    static constexpr wl_callback_listener frame = {frameDone};

    static void enter(void* data, wl_surface*, wl_output* output) {
        auto* panel = static_cast<LayerShellPanel*>(data);
        panel->entered_.push_back(output);
        panel->dirty_ = true;
        panel->paint();
    }
    static void leave(void* data, wl_surface*, wl_output* output) {
        std::erase(static_cast<LayerShellPanel*>(data)->entered_, output);
    }
    static constexpr wl_surface_listener surface = {enter, leave};

    static void geometry(void*, wl_output*, int32_t, int32_t, int32_t, int32_t, int32_t, const char*, const char*,
                         int32_t) {}
    static void mode(void*, wl_output*, uint32_t, int32_t, int32_t, int32_t) {}
    static void done(void*, wl_output*) {}
    static void scale(void* data, wl_output* output, int32_t factor) {
        auto* panel = static_cast<LayerShellPanel*>(data);
        for (auto& [name, o] : panel->outputs_)
            if (o.first == output) o.second = std::max(1, factor);
    }
    // Bound at version 2: name and description never come.
    static constexpr wl_output_listener output = {geometry, mode, done, scale, nullptr, nullptr};
};

std::vector<std::string> LayerShellPanel::missingProtocols(const WaylandConnection& connection) {
    std::vector<std::string> missing;
    for (const wl_interface* i : {&wl_compositor_interface, &wl_shm_interface, &zwlr_layer_shell_v1_interface})
        if (!connection.offers(*i)) missing.emplace_back(i->name);
    return missing;
}

LayerShellPanel::LayerShellPanel(std::shared_ptr<WaylandConnection> connection, const HUDModel& live,
                                 std::shared_ptr<AppearanceSource> appearance, std::shared_ptr<LayerShellShield> shield)
    : conn_(std::move(connection)),
      renderer_(live,
                [this] {
                    dirty_ = true;
                    // Drawn after the model's other changes of this turn of the loop.
                    if (visible_) QTimer::singleShot(0, this, [this] { paint(); });
                }),
      appearance_(std::move(appearance)),
      shield_(std::move(shield)) {
    clock_.start();
    // The compositor blends every surface.
    renderer_.setComposited(true);
    // Version 4 brings damage in buffer coordinates.
    compositor_ = conn_->bind<wl_compositor>(wl_compositor_interface, 4);
    shm_ = conn_->bind<wl_shm>(wl_shm_interface, 1);
    layerShell_ = conn_->bind<zwlr_layer_shell_v1>(zwlr_layer_shell_v1_interface, 3);
    for (const auto& g : conn_->globals()) globalAdded(g);
    globalSub_ = conn_->onGlobalAdded([this](const WaylandConnection::Global& g) { globalAdded(g); });
    globalGoneSub_ = conn_->onGlobalRemoved([this](uint32_t name) { globalRemoved(name); });
    if (appearance_) {
        appearanceSub_ = appearance_->subscribe([this](const Appearance& a) {
            renderer_.setAppearance(a);
            dirty_ = true;
            paint();
        });
    }
    prefetching_.setInterval(0);
    QObject::connect(&prefetching_, &QTimer::timeout, this, [this] {
        for (int i = 0; i < 2 && !pending_.empty(); ++i) {
            renderer_.prefetch(pending_.back());
            pending_.pop_back();
        }
        if (pending_.empty() || !visible_) {
            pending_.clear();
            prefetching_.stop();
        }
    });
}

LayerShellPanel::~LayerShellPanel() {
    if (shield_ && visible_) shield_->setOverlayShown(false);
    unmap();
    buffers_.clear();
    for (auto& [name, o] : outputs_) wl_output_destroy(o.first);
    if (blurManager_) org_kde_kwin_blur_manager_destroy(blurManager_);
    if (layerShell_) zwlr_layer_shell_v1_destroy(layerShell_);
    if (shm_) wl_shm_destroy(shm_);
    if (compositor_) wl_compositor_destroy(compositor_);
    conn_->flush();
}

void LayerShellPanel::globalAdded(const WaylandConnection::Global& global) {
    // KWin offers blur only while its blur effect is loaded, which may come and go.
    if (global.interface == org_kde_kwin_blur_manager_interface.name && !blurManager_) {
        blurManager_ =
            static_cast<org_kde_kwin_blur_manager*>(conn_->bind(global, org_kde_kwin_blur_manager_interface, 1));
        blurManagerName_ = global.name;
    }
    if (global.interface != wl_output_interface.name) return;
    // Version 2 brings the scale.
    auto* output = static_cast<wl_output*>(conn_->bind(global, wl_output_interface, 2));
    outputs_[global.name] = {output, 1};
    wl_output_add_listener(output, &Listeners::output, this);
}

void LayerShellPanel::globalRemoved(uint32_t name) {
    if (auto it = outputs_.find(name); it != outputs_.end()) {
        std::erase(entered_, it->second.first);
        wl_output_destroy(it->second.first);
        outputs_.erase(it);
    }
    if (blurManager_ && name == blurManagerName_) {
        // A blur object made from it stays valid until the surface goes.
        org_kde_kwin_blur_manager_destroy(blurManager_);
        blurManager_ = nullptr;
    }
}

void LayerShellPanel::applyBlur(const QSize& logical) {
    const QRectF card = renderer_.cardRect(QSizeF(logical));
    if (!blurManager_ || card == blurFor_) return;
    blurFor_ = card;
    if (!blur_) blur_ = org_kde_kwin_blur_manager_create(blurManager_, surface_);
    wl_region* region = wl_compositor_create_region(compositor_);
    for (const QRect& r : renderer_.cardRegion(QSizeF(logical)))
        wl_region_add(region, r.x(), r.y(), r.width(), r.height());
    // Applied with the surface's next commit.
    org_kde_kwin_blur_set_region(blur_, region);
    org_kde_kwin_blur_commit(blur_);
    wl_region_destroy(region);
}

int LayerShellPanel::scale() const {
    // The largest scale of the outputs the surface is on; before it enters one, of them all.
    int s = 1;
    for (const auto& [name, o] : outputs_)
        if (entered_.empty() || std::ranges::count(entered_, o.first)) s = std::max(s, o.second);
    return s;
}

QSizeF LayerShellPanel::fittingSize(const HUDModel& model) {
    return renderer_.fittingSize(model);
}

void LayerShellPanel::setFrame(const QRectF& frame) {
    const bool resized = frame.size().toSize() != frame_.size().toSize();
    frame_ = frame;
    if (!layer_ || !resized) return;
    // The compositor answers with a configure, which draws at the new size.
    zwlr_layer_surface_v1_set_size(layer_, static_cast<uint32_t>(std::max(1, qRound(frame_.width()))),
                                   static_cast<uint32_t>(std::max(1, qRound(frame_.height()))));
    wl_surface_commit(surface_);
    conn_->flush();
}

void LayerShellPanel::show(double fadeSeconds) {
    const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
    if (fadeSeconds > 0)
        fade_.start(now, fadeSeconds);
    else
        fade_.finish();
    visible_ = true;
    dirty_ = true;
    if (!layer_) map();
    if (shield_) shield_->setOverlayShown(true);
}

void LayerShellPanel::hide() {
    if (shield_ && visible_) shield_->setOverlayShown(false);
    visible_ = false;
    prefetching_.stop();
    pending_.clear();
    unmap();
    conn_->flush();
}

void LayerShellPanel::prefetch(const std::vector<SwitchTarget>& targets) {
    // Those in view are made as they are drawn; the rest nearest the cursor's start first.
    pending_.clear();
    for (auto t = targets.rbegin(); t != targets.rend(); ++t) pending_.push_back(t->icon);
    if (!pending_.empty()) prefetching_.start();
}

void LayerShellPanel::map() {
    if (!compositor_ || !shm_ || !layerShell_) return;
    surface_ = wl_compositor_create_surface(compositor_);
    wl_surface_add_listener(surface_, &Listeners::surface, this);
    // An empty input region: every click and scroll goes to the window below.
    wl_region* none = wl_compositor_create_region(compositor_);
    wl_surface_set_input_region(surface_, none);
    wl_region_destroy(none);
    // No output: the compositor puts it on the focused one.
    layer_ = zwlr_layer_shell_v1_get_layer_surface(layerShell_, surface_, nullptr, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                   "trellick-overlay");
    zwlr_layer_surface_v1_add_listener(layer_, &Listeners::layer, this);
    zwlr_layer_surface_v1_set_size(layer_, static_cast<uint32_t>(std::max(1, qRound(frame_.width()))),
                                   static_cast<uint32_t>(std::max(1, qRound(frame_.height()))));
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_NONE);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_, -1);
    configured_ = false;
    // The first commit carries no buffer; the configure it brings draws the first frame.
    wl_surface_commit(surface_);
    conn_->flush();
}

void LayerShellPanel::unmap() {
    if (frameCallback_) wl_callback_destroy(frameCallback_);
    frameCallback_ = nullptr;
    if (blur_) org_kde_kwin_blur_release(blur_);
    blur_ = nullptr;
    blurFor_ = QRectF();
    if (layer_) zwlr_layer_surface_v1_destroy(layer_);
    if (surface_) wl_surface_destroy(surface_);
    layer_ = nullptr;
    surface_ = nullptr;
    configured_ = false;
    entered_.clear();
    // A release may still come for a buffer of the destroyed surface, after it has been drawn
    // into again: new buffers at the next showing cannot be mistaken for them.
    buffers_.clear();
}

LayerShellPanel::Buffer* LayerShellPanel::freeBuffer(int width, int height) {
    std::erase_if(buffers_, [&](const auto& b) { return !b->busy && (b->width != width || b->height != height); });
    for (auto& b : buffers_)
        if (!b->busy) return b.get();
    if (buffers_.size() >= 2) return nullptr;  // both with the compositor: wait for a release
    auto b = std::make_unique<Buffer>();
    b->owner = this;
    const int stride = width * 4;
    b->bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    b->width = width;
    b->height = height;
    int fd = memfd_create("trellick-overlay", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(b->bytes)) != 0) {
        if (fd >= 0) close(fd);
        return nullptr;
    }
    b->data = mmap(nullptr, b->bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (b->data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(shm_, fd, static_cast<int32_t>(b->bytes));
    // ARGB8888 is premultiplied and little-endian: Qt's ARGB32_Premultiplied on this machine.
    b->buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(b->buffer, &Listeners::buffer, b.get());
    return buffers_.emplace_back(std::move(b)).get();
}

void LayerShellPanel::paint() {
    if (!visible_ || !configured_ || frameCallback_ || !surface_) return;
    const int s = scale();
    const QSize logical(std::max(1, qRound(frame_.width())), std::max(1, qRound(frame_.height())));
    Buffer* b = freeBuffer(logical.width() * s, logical.height() * s);
    if (!b) return;  // drawn at the next release
    dirty_ = false;
    const double now = static_cast<double>(clock_.nsecsElapsed()) / 1e9;
    QImage image(static_cast<uchar*>(b->data), b->width, b->height, static_cast<qsizetype>(b->width) * 4,
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(s);
    image.fill(Qt::transparent);
    renderer_.setDevicePixelRatio(s);
    renderer_.update(now);
    const bool moving = renderer_.advance(now);
    {
        QPainter p(&image);
        renderer_.paint(p, QSizeF(logical));
        if (double opacity = fade_.opacity(now); opacity < 1) {
            p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
            p.fillRect(QRectF(QPointF(0, 0), QSizeF(logical)), QColor::fromRgbF(0, 0, 0, static_cast<float>(opacity)));
        }
    }
    applyBlur(logical);
    wl_surface_set_buffer_scale(surface_, s);
    wl_surface_attach(surface_, b->buffer, 0, 0);
    wl_surface_damage_buffer(surface_, 0, 0, b->width, b->height);
    frameCallback_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frameCallback_, &Listeners::frame, this);
    wl_surface_commit(surface_);
    b->busy = true;
    conn_->flush();
    // Animations and the fade go on at the compositor's frame rate.
    if (moving || !fade_.done(now)) dirty_ = true;
}

std::shared_ptr<HUDController> makeHUDController(std::shared_ptr<WaylandConnection> connection,
                                                 std::shared_ptr<AppearanceSource> appearance,
                                                 std::shared_ptr<LayerShellShield> shield) {
    return std::make_shared<HUDController>(
        [connection = std::move(connection), appearance = std::move(appearance), shield = std::move(shield)](
            const HUDModel& live) { return std::make_unique<LayerShellPanel>(connection, live, appearance, shield); },
        std::make_shared<QtScreens>());
}

}  // namespace trellick::wayland
