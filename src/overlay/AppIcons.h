#pragma once
// Application icons for the overlay. A target's IconHandle carries a name (a theme icon name
// or an absolute file, from the desktop entry) and/or data (a QImage from the window's
// _NET_WM_ICON, held as std::shared_ptr<const QImage> behind the core's opaque pointer).
// Each application is resolved once: the theme icon or file first, else the image, else a
// generic application glyph; then pixmaps are made per size on first use and kept. Styles
// resolve and warm up the sizes they need when a list arrives, so a cursor step only
// draws what is already there. Main thread only.

#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/SwitchTarget.h"

namespace trellick {

// The name the gesture engine gives the "Add Favourites" entry's icon: drawn as a symbol.
inline constexpr const char* addFavouritesIconName = "trellick-add-favourites";
// The symbol's share of the icon square it stands in: a 70-point symbol in a 100-point image,
// so the entry reads as a hint beside real icons, not as one of them.
inline constexpr double addFavouritesSymbolScale = 0.6;

class AppIconCache {
public:
    enum class Kind { image, generic, addFavourites };

    class Entry {
    public:
        Kind kind() const { return kind_; }

    private:
        friend class AppIconCache;
        Kind kind_ = Kind::generic;
        QIcon icon;    // a theme icon or a file
        QImage image;  // the window's own image
        struct Sized {
            int side;  // device pixels
            QPixmap pixmap;
            QImage shadow;  // blurred alpha in black, made on request
            double shadowBlur = 0;
        };
        std::deque<Sized> sizes;  // stable addresses: pixmaps are handed out by pointer
    };

    // Looks a name up in the icon theme; replaceable so that tests can count lookups.
    using ThemeLookup = std::function<QIcon(const QString& name)>;
    explicit AppIconCache(ThemeLookup lookup = {});

    // The entry of a target's icon, resolved on first sight of its application. Never null.
    const Entry* resolve(const std::optional<IconHandle>& icon);

    // The image of `entry` for a square of `side` logical pixels at `dpr`, made on first
    // request (the generic glyph included); null for an entry drawn as a symbol.
    const QPixmap* pixmap(const Entry* entry, double side, double dpr);
    // A drop shadow for that pixmap: its alpha blurred (blurRadius in logical pixels), black,
    // with `blurRadius` of margin on every side.
    const QImage* shadow(const Entry* entry, double side, double dpr, double blurRadius);

private:
    Entry::Sized& sized(Entry& e, double side, double dpr);

    ThemeLookup lookup_;
    std::unordered_map<std::string, std::unique_ptr<Entry>> byName_;
    struct ImageEntry {
        std::weak_ptr<const void> owner;  // the address may be reused once the image is gone
        std::unique_ptr<Entry> entry;
    };
    std::map<const void*, ImageEntry> byImage_;
    Entry generic_;
    Entry addFavourites_;
};

}  // namespace trellick
