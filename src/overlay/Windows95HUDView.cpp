#include "overlay/Windows95HUDView.h"

#include <QPainter>
#include <cmath>

#include "overlay/AppIcons.h"
#include "overlay/Drawing.h"
#include "overlay/OverlayFonts.h"
#include "overlay/Symbols.h"

namespace trellick {

namespace {

using M = Win95Metrics;

enum StatusText { statusTitle, statusSubtitle };
enum LabelText { labelTitleSelected, labelTitle };

constexpr int titlePoints = 12;

std::vector<TextRecipe> recipesFor(HUDLabelStyle style) {
    using F = TextRecipe::Field;
    if (style == HUDLabelStyle::caption) {
        return {{F::title, 13, QFont::Bold, M::statusWidth, M::statusWidth},
                {F::subtitle, 11, QFont::Normal, M::statusWidth, M::statusWidth}};
    }
    const double rw = M::recentsCell(style) - 6, fw = M::favCell - 6;
    return {{F::title, 12, QFont::Bold, rw, fw}, {F::title, 12, QFont::Normal, rw, fw}};
}

constexpr double restingSides[] = {M::peekIcon, M::fullIcon};

double pixmapSide(double drawn) {
    return drawn > M::peekIcon + 0.5 ? M::fullIcon : M::peekIcon;
}

void paintBevel(QPainter& p, const QRectF& r, bool raised) {
    for (const auto& s : Win95Bevel{raised}.strips(r)) p.fillRect(s.rect, s.colour);
}

const QPainterPath& pointerPath() {
    static const QPainterPath path = retroPointerPath();
    return path;
}

// Room around the pointer for its shadow's blur, in logical pixels.
constexpr double shadowMargin = 3;

}  // namespace

Windows95HUDView::Windows95HUDView() {
    for (QStaticText* t : {&titleText_, &space_}) t->setTextFormat(Qt::PlainText);
    titleText_.setText(QStringLiteral("Switcher"));
    space_.setText(QStringLiteral(" "));
    ink_ = QPen(Win95::ink);
    white_ = QPen(Win95::white);
    faintInk_ = QPen(withAlpha(Win95::ink, 0.7));
    outline_ = QPen(Win95::ink, Win95Cursor::lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    outline_.setMiterLimit(10);
    inkBrush_ = QBrush(Win95::ink);
    whiteBrush_ = QBrush(Win95::white);
    grayBrush_ = QBrush(Win95::gray);
}

QSizeF Windows95HUDView::fittingSize(const HUDModel& model, const StyleContext& ctx) const {
    Windows95Layout layout;
    layoutWindows95(model, *ctx.fonts, layout);
    return layout.size;
}

void Windows95HUDView::warmIcon(const AppIconCache::Entry* icon, PaintResources& res, double dpr) const {
    if (!icon || icon->kind() == AppIconCache::Kind::addFavourites) return;
    for (double side : restingSides) res.icons.pixmap(icon, side, dpr);
}

void Windows95HUDView::warmIcons(const HUDModel& m, PaintResources& res) {
    auto warm = [&](SwitcherRow row, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (const StyleTexts::Entry* e = texts_.at(m, row, static_cast<int>(i)))
                warmIcon(e->icon, res, ctx_.devicePixelRatio);
        }
    };
    warm(SwitcherRow::recents, m.visible().size());
    warm(SwitcherRow::favourites, m.favourites().size());
}

void Windows95HUDView::sync(const HUDModel& m, const StyleContext& ctx, PaintResources& res, double now) {
    const bool rescale = ctx.devicePixelRatio != ctx_.devicePixelRatio;
    ctx_ = ctx;
    now_ = now;
    const bool fresh = m.generation() != generation_;
    generation_ = m.generation();
    if (fresh || m.labelStyle() != labelStyle_) {
        labelStyle_ = m.labelStyle();
        texts_.use(generation_, recipesFor(labelStyle_), *ctx.fonts);
        titleText_.prepare(QTransform(), ctx.fonts->font(titlePoints, QFont::Bold));
        space_.prepare(QTransform(), ctx.fonts->font(13, QFont::Bold));
    }
    if (texts_.prepare(m, res.icons) || fresh || rescale) warmIcons(m, res);

    layoutWindows95(m, *ctx.fonts, next_);
    const bool focusChanged = m.focus() != focus_;
    focus_ = m.focus();
    const bool restart = fresh || target_.empty || next_.empty;
    if (!restart && focusChanged) {
        blending_ = sameWindows95Shape(shown_, next_);
        if (blending_) {
            from_ = shown_;
            focusBlend_.snap(0);
            focusBlend_.retarget(1, now);
        }
    } else if (restart || (blending_ && !sameWindows95Shape(from_, next_))) {
        blending_ = false;
    }
    std::swap(target_, next_);

    const double thumb = target_.scroll.present ? target_.scroll.thumb.x() - target_.scroll.track.x() : 0;
    const Win95CancelPointer& pointer = target_.pointer;
    if (restart) {
        // A new showing starts where it is meant to be, with nothing carried over.
        focusBlend_.snap(1);
        thumb_.snap(thumb);
        progress_.snap(pointer.progress);
    } else {
        if (target_.scroll.present) thumb_.retarget(thumb, now);
        progress_.retarget(pointer.progress, now);
    }
    if (restart || !pointerShown_) {
        // A pointer that was not drawn appears where it belongs.
        startX_.snap(pointer.start.x());
        startY_.snap(pointer.start.y());
    } else {
        startX_.retarget(pointer.start.x(), now);
        startY_.retarget(pointer.start.y(), now);
    }
    pointerShown_ = pointer.drawn;
    compose(now);
}

void Windows95HUDView::compose(double now) {
    now_ = now;
    if (blending_ && !focusBlend_.settled(now)) {
        blendWindows95(from_, target_, focusBlend_.value(now), shown_);
    } else {
        blending_ = false;
        shown_ = target_;
    }
    if (shown_.scroll.present && target_.scroll.present) {
        // The thumb follows the cursor along a track that may be changing size with its row.
        const double k = shown_.scroll.track.width() / target_.scroll.track.width();
        shown_.scroll.thumb.moveLeft(shown_.scroll.track.x() + k * thumb_.value(now));
    }
    shown_.pointer.start = QPointF(startX_.value(now), startY_.value(now));
    shown_.pointer.end = shown_.closeButton.center();
    shown_.pointer.progress = progress_.value(now);
}

bool Windows95HUDView::advance(double now) {
    compose(now);
    return blending_ || !thumb_.settled(now) || !startX_.settled(now) || !startY_.settled(now) ||
           !progress_.settled(now);
}

void Windows95HUDView::settle() {
    blending_ = false;
    focusBlend_.snap(1);
    thumb_.snap(thumb_.target());
    startX_.snap(startX_.target());
    startY_.snap(startY_.target());
    progress_.snap(progress_.target());
    compose(now_);
}

QPainterPath Windows95HUDView::cardOutline() const {
    QPainterPath path;
    if (!shown_.empty) path.addRect(shown_.window);
    return path;
}

const QImage& Windows95HUDView::pointerShadow() {
    const double dpr = ctx_.devicePixelRatio;
    const QSizeF size(Win95Cursor::width + 2 * shadowMargin, Win95Cursor::height + 2 * shadowMargin);
    if (layerFits(shadow_, size, dpr)) return shadow_;
    QImage mask(static_cast<int>(std::ceil(size.width() * dpr)), static_cast<int>(std::ceil(size.height() * dpr)),
                QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(dpr, dpr);
        p.translate(shadowMargin, shadowMargin);
        p.setPen(QPen(Qt::black, Win95Cursor::lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.setBrush(Qt::black);
        p.drawPath(pointerPath());
    }
    blurAlpha(mask, Win95Cursor::shadowBlur / 2 * dpr);
    shadow_ = layerImage(size, dpr);
    for (int y = 0; y < mask.height(); ++y) {
        const uchar* src = mask.constScanLine(y);
        auto* dst = reinterpret_cast<QRgb*>(shadow_.scanLine(y));
        for (int x = 0; x < mask.width(); ++x)
            dst[x] = qPremultiply(qRgba(0, 0, 0, static_cast<int>(std::lround(src[x] * Win95Cursor::shadowOpacity))));
    }
    return shadow_;
}

void Windows95HUDView::paintPointer(QPainter& p) {
    const QPointF tip = shown_.pointer.tip();
    const double o = Win95Cursor::shadowOffset - shadowMargin;
    p.drawImage(tip + QPointF(o, o), pointerShadow());
    const QTransform old = p.worldTransform();
    p.translate(tip);
    p.setPen(outline_);
    p.setBrush(whiteBrush_);
    p.drawPath(pointerPath());
    p.setBrush(Qt::NoBrush);
    p.setWorldTransform(old);
}

void Windows95HUDView::paintRow(QPainter& p, const Win95Row& row, const HUDModel& m, SwitcherRow which,
                                PaintResources& res) {
    const double dpr = ctx_.devicePixelRatio;
    if (!row.glyph.isNull()) {
        p.setOpacity(0.7);
        drawSymbol(p, Symbol::pinFill, row.glyph, inkBrush_);
    }
    for (std::size_t i = 0; i < row.cellList.size(); ++i) {
        const Win95Cell& c = row.cellList[i];
        const StyleTexts::Entry* e = texts_.at(m, which, static_cast<int>(i));
        p.setOpacity(1);
        if (c.selected) p.fillRect(c.block, Win95::navy);
        p.setOpacity(c.iconOpacity);
        const AppIconCache::Entry* ie = e ? e->icon : res.icons.resolve(std::nullopt);
        if (ie->kind() == AppIconCache::Kind::addFavourites) {
            // The placeholder's symbol: quiet on silver, white on navy.
            drawSymbol(p, Symbol::plusCircleFill, c.icon, c.selected ? whiteBrush_ : grayBrush_);
        } else if (const QPixmap* pm = res.icons.pixmap(ie, pixmapSide(c.icon.width()), dpr)) {
            p.drawPixmap(c.icon, *pm, QRectF(QPointF(0, 0), pm->size()));
        }
        if (!c.label.isNull() && c.labelOpacity > 0 && e) {
            p.setOpacity(c.labelOpacity);
            const std::size_t t = c.selected ? labelTitleSelected : labelTitle;
            p.setFont(texts_.font(t));
            p.setPen(c.selected ? white_ : ink_);
            drawStaticTextCentred(p, c.label, e->text[t]);
        }
    }
}

void Windows95HUDView::paintStatus(QPainter& p, const HUDModel& m) {
    const Win95Status& st = shown_.status;
    p.setOpacity(1);
    p.fillRect(st.frame, Win95::silver);
    paintBevel(p, st.frame, false);
    const StyleTexts::Entry* e = st.index >= 0 ? texts_.at(m, st.row, st.index) : nullptr;
    p.setFont(texts_.font(statusTitle));
    p.setPen(ink_);
    const bool titled = e && !e->text[statusTitle].text().isEmpty();
    drawStaticTextCentred(p, st.title, titled ? e->text[statusTitle] : space_);
    if (e && st.hasSubtitle && !e->text[statusSubtitle].text().isEmpty()) {
        p.setFont(texts_.font(statusSubtitle));
        p.setPen(faintInk_);
        drawStaticTextCentred(p, st.subtitle, e->text[statusSubtitle]);
    }
}

void Windows95HUDView::paint(QPainter& p, const HUDModel& m, PaintResources& res) {
    const Windows95Layout& L = shown_;
    if (L.empty) return;
    // Square edges on whole pixels: only the symbols, icons and pointer are smoothed.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setOpacity(1);
    p.fillRect(L.window, Win95::silver);

    p.fillRect(L.titleBar, Win95::navy);
    p.setRenderHint(QPainter::Antialiasing);
    drawSymbol(p, Symbol::rectangle2Swap, L.titleGlyph, whiteBrush_, SymbolWeight::bold);
    p.setFont(ctx_.fonts->font(titlePoints, QFont::Bold));
    p.setPen(white_);
    p.drawStaticText(L.titleText.topLeft(), titleText_);
    for (const Win95TitleButton& b : L.buttons) {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.fillRect(b.frame, Win95::silver);
        paintBevel(p, b.frame, !b.pressed);
        p.setRenderHint(QPainter::Antialiasing);
        const QSizeF s = symbolSize(b.symbol, 7);
        const QPointF shift = b.pressed ? QPointF(0.5, 0.5) : QPointF();
        drawSymbol(p, b.symbol, QRectF(b.frame.center() - QPointF(s.width() / 2, s.height() / 2) + shift, s), inkBrush_,
                   SymbolWeight::black);
    }

    p.setRenderHint(QPainter::Antialiasing, false);
    if (L.favourites.present) paintRow(p, L.favourites, m, SwitcherRow::favourites, res);
    paintRow(p, L.recents, m, SwitcherRow::recents, res);
    p.setRenderHint(QPainter::Antialiasing);
    for (const Win95Arrow* a : {&L.left, &L.right}) {
        if (a->opacity <= 0.001) continue;
        p.setOpacity(a->opacity);
        drawSymbol(p, a == &L.left ? Symbol::arrowtriangleLeftFill : Symbol::arrowtriangleRightFill, a->glyph,
                   inkBrush_, SymbolWeight::bold);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    if (L.scroll.present && L.scroll.opacity > 0) {
        p.setOpacity(L.scroll.opacity);
        p.fillRect(L.scroll.track, Win95::silver);
        paintBevel(p, L.scroll.track, false);
        p.fillRect(L.scroll.thumb, Win95::silver);
        paintBevel(p, L.scroll.thumb, true);
    }
    if (L.status.present) paintStatus(p, m);
    p.setOpacity(1);
    paintBevel(p, L.window, true);

    if (L.pointer.drawn) {
        p.setRenderHint(QPainter::Antialiasing);
        paintPointer(p);
    }
    p.setOpacity(1);
}

}  // namespace trellick
