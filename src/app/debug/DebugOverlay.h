#pragma once
// `debug-gestures --overlay DIR`: the real overlay, drawn offscreen after each update the
// engine makes, written as numbered PNG files named with the frame time. No display needed.

#include <memory>
#include <string>
#include <vector>

#include "gesture/HUD.h"

namespace trellick {

struct OverlayPictureOptions {
    std::string dir;  // empty: no pictures
    bool dark = false;
    double scale = 1;  // device pixels per logical pixel
};

// Takes --overlay DIR, --overlay-appearance light|dark or --overlay-scale N at args[i]
// (advancing i past the value). Returns 1 when taken, -1 when not one of these, 0 when it
// was bad and already reported.
int parseOverlayOption(const std::vector<std::string>& args, std::size_t& i, OverlayPictureOptions& options);

class OverlayPictures : public HUD {
public:
    // Null, after saying why on standard error, when DIR cannot be made.
    static std::shared_ptr<OverlayPictures> create(const OverlayPictureOptions& options);
    ~OverlayPictures() override;

    // The frame time of the updates that follow.
    void setTime(double t);
    void showList(const std::vector<SwitchTarget>& recents, int recentsSelected,
                  const std::vector<SwitchTarget>& favourites, int favSelected, SwitcherRow focus,
                  HUDLabelStyle labelStyle, HUDStyle style, bool compactPeek) override;
    void hide() override;
    void setCancelProgress(double progress) override;

    int written() const;
    const std::string& dir() const;

private:
    struct Impl;
    explicit OverlayPictures(std::unique_ptr<Impl> impl);
    void picture();
    std::unique_ptr<Impl> d_;
};

}  // namespace trellick
