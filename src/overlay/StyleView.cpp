#include "overlay/StyleView.h"

#include "overlay/ModernView.h"

namespace trellick {

std::unique_ptr<StyleView> makeStyleView(HUDStyle style) {
    switch (style) {
    case HUDStyle::modern:
        return std::make_unique<ModernView>();
    case HUDStyle::classic:
    case HUDStyle::windows95:
        // Not built yet: drawn in the modern style until their views join here.
        return std::make_unique<ModernView>();
    }
    return std::make_unique<ModernView>();
}

}  // namespace trellick
