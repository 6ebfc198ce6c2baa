#pragma once
// The content of the about window: the mark, the name, the version and build, what Trellick
// does, the privacy line and the licence.

#include <QWidget>
#include <memory>
#include <optional>
#include <string>

#include "common/Observable.h"
#include "overlay/OverlayDesktop.h"

namespace trellick {

// The version and build as the build system recorded them; either may be unknown.
struct VersionInfo {
    std::optional<std::string> version;  // the project version, e.g. "0.1.0"
    std::optional<std::string> build;    // the git commit's short hash
    static VersionInfo fromBuild();
};

class AboutView : public QWidget {
public:
    // "Version 0.1.0 (1a2b3c4)"; "?" stands for each value that is unknown.
    static QString versionLine(const VersionInfo& info);

    // The view fixes its own size: 360 wide, as tall as its content.
    explicit AboutView(const std::shared_ptr<AppearanceSource>& appearance = nullptr,
                       const VersionInfo& version = VersionInfo::fromBuild(), QWidget* parent = nullptr);
    ~AboutView() override;

private:
    Subscription look_;
};

}  // namespace trellick
