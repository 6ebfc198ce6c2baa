// How often a scroll made right after a walk ends is lost on a private headless sway. The
// shield stands while the overlay is shown; once it goes, sway gives the pointer back to the
// window below only at the next motion. Each run: the pointer rests on a window that reports
// its scrolls, the overlay (and with it the shield) shows for a moment and goes, and after a
// delay a virtual pointer scrolls once without moving. Counts, per delay, the scrolls the
// window received and those lost. Between runs a motion gives the window the pointer again and
// a control scroll checks that it receives scrolls at all, and a scroll while the overlay is
// shown checks that the shield stands.
// Usage: bench_wayland_scroll_after_walk [RUNS]

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "WaylandRig.h"
#include "common/QtLoop.h"
#include "overlay/HUDModel.h"
#include "platform/wayland/LayerShellPanel.h"
#include "platform/wayland/LayerShellShield.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

using namespace trellick;

using bench::pumpUntil;
using bench::settle;
using bench::Stats;

namespace {}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    rig::WaylandRig rig;
    std::string why;
    if (!rig.start(&why)) {
        std::fprintf(stderr, "bench_wayland_scroll_after_walk: no Wayland rig: %s\n", why.c_str());
        return 1;
    }
    const std::string wheels = rig.tmp() + "/wheels.log";
    rig.program({TRELLICK_TEST_WINDOW, "--class", "Below", "--title", "below"}, wheels);
    auto received = [&] {
        std::ifstream in(wheels);
        int n = 0;
        for (std::string line; std::getline(in, line);) n += line == "wheel";
        return n;
    };

    auto opened = wayland::WaylandConnection::open(rig.socket.c_str());
    if (!opened) {
        std::fprintf(stderr, "bench_wayland_scroll_after_walk: %s\n", opened.error().reason.c_str());
        return 1;
    }
    auto conn = opened.value();
    auto* manager = conn->bind<zwlr_virtual_pointer_manager_v1>(zwlr_virtual_pointer_manager_v1_interface, 1);
    if (!manager) {
        std::fprintf(stderr, "bench_wayland_scroll_after_walk: no virtual pointer on the rig\n");
        return 1;
    }
    zwlr_virtual_pointer_v1* pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, nullptr);
    uint32_t now = 0;
    auto moveTo = [&](uint32_t x, uint32_t y) {
        zwlr_virtual_pointer_v1_motion_absolute(pointer, now += 10, x, y, 1280, 720);
        zwlr_virtual_pointer_v1_frame(pointer);
        conn->flush();
    };
    auto scroll = [&] {
        zwlr_virtual_pointer_v1_axis_source(pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
        zwlr_virtual_pointer_v1_axis_discrete(pointer, now += 10, WL_POINTER_AXIS_VERTICAL_SCROLL,
                                              wl_fixed_from_int(15), 1);
        zwlr_virtual_pointer_v1_frame(pointer);
        conn->flush();
    };

    HUDModel model;
    SwitchTarget entry;
    entry.title = "Entry";
    model.visible.set({entry, entry, entry});
    model.recentsCount.set(3);
    auto shield = std::make_shared<wayland::LayerShellShield>(conn);
    if (!shield->create()) {
        std::fprintf(stderr, "bench_wayland_scroll_after_walk: the shield cannot be made on the rig\n");
        return 1;
    }
    shield->setEnabled(true);
    wayland::LayerShellPanel panel(conn, model, nullptr, shield);
    panel.setFrame(QRectF(QPointF(0, 0), panel.fittingSize(model)));

    // The window is up and receives a scroll with the pointer on it.
    if (!pumpUntil(
            [&] {
                moveTo(900, 500);
                scroll();
                settle(0.1);
                return received() > 0;
            },
            10.0)) {
        std::fprintf(stderr, "bench_wayland_scroll_after_walk: the window never received a scroll\n");
        return 1;
    }
    for (double delay : {0.0, 0.1, 0.5}) {
        int delivered = 0, lost = 0, skipped = 0, leaked = 0;
        for (int run = 0; run < runs; ++run) {
            // The window has the pointer: a control scroll reaches it.
            moveTo(900 + run % 2, 500);
            int before = received();
            scroll();
            if (!pumpUntil([&] { return received() > before; }, 1.0)) {
                ++skipped;
                continue;
            }
            panel.show(0);
            settle(0.3);  // the walk, its overlay shown
            // Meanwhile the shield swallows scrolls: else nothing here measures it.
            before = received();
            scroll();
            settle(0.1);
            leaked += received() > before;
            panel.hide();
            settle(delay);
            before = received();
            scroll();
            (pumpUntil([&] { return received() > before; }, 0.5) ? delivered : lost) += 1;
        }
        std::printf("scroll %3.0f ms after the overlay goes: %d of %d delivered, %d lost", delay * 1000, delivered,
                    delivered + lost, lost);
        std::printf("; %d of the scrolls during the overlay went through", leaked);
        if (skipped) std::printf(" (%d runs skipped: the control scroll did not arrive)", skipped);
        std::printf("\n");
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    zwlr_virtual_pointer_manager_v1_destroy(manager);
    return 0;
}
