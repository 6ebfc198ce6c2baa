#pragma once
// The overlay's panel on a wlroots compositor: a zwlr_layer_shell_v1 surface on the overlay
// layer, not anchored (the compositor centres it on the focused output, which follows the
// pointer), without keyboard interactivity and with an empty input region, so clicks and
// scrolls reach the window below. Debian 12's Qt can make no layer surface, so it is a plain
// Wayland client on the backend's connection: the overlay's renderer paints into a QImage over
// wl_shm memory, two buffers taking turns as the compositor releases them, a new frame only
// when the compositor asks for one (wl_surface.frame), at the integer scale of the outputs the
// surface is on. The fade is painted, as the compositor has no window opacity to set.
//
// Where KWin offers blur behind (org_kde_kwin_blur_manager, while its blur effect runs), the
// card's outline is blurred, as on X11.
//
// Hidden, the surface is destroyed: nothing is drawn or woken up until the next showing.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "overlay/Animation.h"
#include "overlay/HUDPanel.h"
#include "overlay/OverlayDesktop.h"
#include "overlay/OverlayRenderer.h"
#include "platform/wayland/WaylandConnection.h"

struct wl_buffer;
struct wl_callback;
struct wl_compositor;
struct wl_output;
struct wl_shm;
struct wl_surface;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct org_kde_kwin_blur_manager;
struct org_kde_kwin_blur;

namespace trellick {
class HUDController;
}

namespace trellick::wayland {

class LayerShellShield;

class LayerShellPanel : public QObject, public HUDPanel {
public:
    // The protocols the panel needs; empty when all are offered, else the missing ones' names.
    static std::vector<std::string> missingProtocols(const WaylandConnection& connection);

    // `shield` (optional) stands while the panel is shown.
    LayerShellPanel(std::shared_ptr<WaylandConnection> connection, const HUDModel& live,
                    std::shared_ptr<AppearanceSource> appearance, std::shared_ptr<LayerShellShield> shield = nullptr);
    ~LayerShellPanel() override;
    LayerShellPanel(const LayerShellPanel&) = delete;
    LayerShellPanel& operator=(const LayerShellPanel&) = delete;

    bool isVisible() const override { return visible_; }
    QSizeF fittingSize(const HUDModel& model) override;
    QRectF frame() const override { return frame_; }
    // Only the size counts: the compositor places the surface.
    void setFrame(const QRectF& frame) override;
    void show(double fadeSeconds) override;
    void hide() override;
    // A few icons per turn of the event loop while the panel is shown.
    void prefetch(const std::vector<SwitchTarget>& targets) override;
    // Called each time the compositor has taken a committed frame to the screen (its frame
    // callback): what benchmarks time the panel's painting by.
    void setFramePresented(std::function<void()> observer) { framePresented_ = std::move(observer); }

    struct Buffer;
    struct Listeners;

private:
    void map();
    void unmap();
    // Draws and commits when the compositor is ready for a frame; else at its next frame event
    // or buffer release.
    void paint();
    Buffer* freeBuffer(int width, int height);
    int scale() const;
    void globalAdded(const WaylandConnection::Global& global);
    void globalRemoved(uint32_t name);
    void applyBlur(const QSize& logical);

    std::shared_ptr<WaylandConnection> conn_;
    OverlayRenderer renderer_;
    std::shared_ptr<AppearanceSource> appearance_;
    std::shared_ptr<LayerShellShield> shield_;
    Subscription appearanceSub_, globalSub_, globalGoneSub_;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    std::map<uint32_t, std::pair<wl_output*, int>> outputs_;  // global name -> output, its scale
    std::vector<wl_output*> entered_;                         // the outputs the surface is on

    wl_surface* surface_ = nullptr;
    zwlr_layer_surface_v1* layer_ = nullptr;
    org_kde_kwin_blur_manager* blurManager_ = nullptr;
    uint32_t blurManagerName_ = 0;
    org_kde_kwin_blur* blur_ = nullptr;
    QRectF blurFor_;  // the card rectangle the blur region was set for
    wl_callback* frameCallback_ = nullptr;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    bool configured_ = false;
    bool dirty_ = false;
    bool visible_ = false;
    QRectF frame_;
    QElapsedTimer clock_;
    FadeIn fade_;
    QTimer prefetching_;
    std::vector<std::optional<IconHandle>> pending_;  // icons still to get ready, last first
    std::function<void()> framePresented_;
};

// The overlay of the tray application on a wlroots compositor: a layer-shell panel, sized for
// the Qt screens (the compositor places it), with the shield where there is one.
std::shared_ptr<HUDController> makeHUDController(std::shared_ptr<WaylandConnection> connection,
                                                 std::shared_ptr<AppearanceSource> appearance,
                                                 std::shared_ptr<LayerShellShield> shield);

}  // namespace trellick::wayland
