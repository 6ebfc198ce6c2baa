#include "overlay/AppIcons.h"

#include <QPainter>
#include <cmath>

#include "overlay/Drawing.h"
#include "overlay/Symbols.h"

namespace trellick {

AppIconCache::AppIconCache(ThemeLookup lookup) : lookup_(std::move(lookup)) {
    if (!lookup_) lookup_ = [](const QString& name) { return QIcon::fromTheme(name); };
    generic_.kind_ = Kind::generic;
    addFavourites_.kind_ = Kind::addFavourites;
}

const AppIconCache::Entry* AppIconCache::resolve(const std::optional<IconHandle>& icon) {
    if (!icon) return &generic_;
    if (icon->name == addFavouritesIconName) return &addFavourites_;
    const auto* image = static_cast<const QImage*>(icon->data.get());
    auto fromImage = [&](Entry& e) {
        if (image && !image->isNull()) {
            e.kind_ = Kind::image;
            e.image = *image;
        }
    };
    if (!icon->name.empty()) {
        if (auto it = byName_.find(icon->name); it != byName_.end()) return it->second.get();
        auto e = std::make_unique<Entry>();
        QString name = QString::fromStdString(icon->name);
        QIcon found = name.startsWith('/') ? QIcon(name) : lookup_(name);
        // A theme entry or file that cannot be drawn (a missing file, an SVG without the
        // SVG plugin) counts as absent.
        if (!found.isNull() && !found.pixmap(QSize(64, 64)).isNull()) {
            e->kind_ = Kind::image;
            e->icon = found;
        } else {
            fromImage(*e);
        }
        return byName_.emplace(icon->name, std::move(e)).first->second.get();
    }
    if (!image) return &generic_;
    if (auto it = byImage_.find(image); it != byImage_.end() && !it->second.owner.expired())
        return it->second.entry.get();
    std::erase_if(byImage_, [](const auto& kv) { return kv.second.owner.expired(); });
    auto e = std::make_unique<Entry>();
    fromImage(*e);
    return byImage_.insert_or_assign(image, ImageEntry{icon->data, std::move(e)}).first->second.entry.get();
}

AppIconCache::Entry::Sized& AppIconCache::sized(Entry& e, double side, double dpr) {
    const int device = std::max(1, static_cast<int>(std::lround(side * dpr)));
    for (auto& s : e.sizes) {
        if (s.side == device) return s;
    }
    QImage square(device, device, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    {
        QPainter p(&square);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        if (e.kind_ == Kind::image) {
            QImage src = !e.icon.isNull() ? e.icon.pixmap(QSize(device, device)).toImage() : e.image;
            // Fit, keeping proportions; small sources are scaled up rather than left tiny.
            QSize fit = src.size().scaled(device, device, Qt::KeepAspectRatio);
            QImage scaled = src.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            p.drawImage(QPointF((device - fit.width()) / 2.0, (device - fit.height()) / 2.0), scaled);
        } else {
            drawGenericAppIcon(p, QRectF(0, 0, device, device));
        }
    }
    QPixmap pm = QPixmap::fromImage(std::move(square));
    pm.setDevicePixelRatio(dpr);
    e.sizes.push_back(Entry::Sized{device, std::move(pm), {}, 0});
    return e.sizes.back();
}

const QPixmap* AppIconCache::pixmap(const Entry* entry, double side, double dpr) {
    if (!entry || entry->kind_ == Kind::addFavourites) return nullptr;
    return &sized(const_cast<Entry&>(*entry), side, dpr).pixmap;
}

const QImage* AppIconCache::shadow(const Entry* entry, double side, double dpr, double blurRadius) {
    if (!entry || entry->kind_ == Kind::addFavourites) return nullptr;
    auto& s = sized(const_cast<Entry&>(*entry), side, dpr);
    if (s.shadow.isNull() || s.shadowBlur != blurRadius) {
        const int margin = static_cast<int>(std::ceil(blurRadius * dpr));
        QImage alpha(s.side + 2 * margin, s.side + 2 * margin, QImage::Format_Alpha8);
        alpha.fill(0);
        {
            QPainter p(&alpha);
            p.drawImage(margin, margin, s.pixmap.toImage());
        }
        blurAlpha(alpha, blurRadius / 2 * dpr);
        QImage shade(alpha.size(), QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < alpha.height(); ++y) {
            const uchar* a = alpha.constScanLine(y);
            auto* d = reinterpret_cast<QRgb*>(shade.scanLine(y));
            for (int x = 0; x < alpha.width(); ++x) d[x] = qRgba(0, 0, 0, a[x]);
        }
        shade.setDevicePixelRatio(dpr);
        s.shadow = std::move(shade);
        s.shadowBlur = blurRadius;
    }
    return &s.shadow;
}

}  // namespace trellick
