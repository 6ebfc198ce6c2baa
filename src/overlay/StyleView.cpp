#include "overlay/StyleView.h"

#include "overlay/ClassicHUDView.h"
#include "overlay/ModernView.h"
#include "overlay/Windows95HUDView.h"

namespace trellick {

std::unique_ptr<StyleView> makeStyleView(HUDStyle style) {
    switch (style) {
    case HUDStyle::modern:
        return std::make_unique<ModernView>();
    case HUDStyle::classic:
        return std::make_unique<ClassicHUDView>();
    case HUDStyle::windows95:
        return std::make_unique<Windows95HUDView>();
    }
    // A value outside the enumeration (a cast of a bad stored number): the default style.
    return std::make_unique<ModernView>();
}

}  // namespace trellick
