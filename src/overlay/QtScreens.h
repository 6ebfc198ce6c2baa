#pragma once
// The screens and the pointer as Qt sees them, for the overlay's panels.

#include "overlay/HUDPanel.h"

namespace trellick {

class QtScreens : public ScreenLocator {
public:
    QPointF pointer() const override;
    std::vector<QRectF> screens() const override;
    std::optional<QRectF> primary() const override;
};

}  // namespace trellick
