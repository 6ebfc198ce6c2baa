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

// Icon sides drawn at rest; pixmaps are made for these when a list arrives.
constexpr double restingSides[] = {M::peekIcon, M::fullIcon};

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

// The status field shows the caption as it is: no cross-fade.
Windows95HUDView::Windows95HUDView() : PartsView(restingSides, 0) {
    titleText_.setTextFormat(Qt::PlainText);
    titleText_.setText(QStringLiteral("Switcher"));
    ink_ = QPen(Win95::ink);
    white_ = QPen(Win95::white);
    faintInk_ = QPen(withAlpha(Win95::ink, 0.7));
    outline_ = QPen(Win95::ink, Win95Cursor::lineWidth, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    outline_.setMiterLimit(10);
    inkBrush_ = QBrush(Win95::ink);
    whiteBrush_ = QBrush(Win95::white);
    grayBrush_ = QBrush(Win95::gray);
}

// Texts per entry, by mode: the status field's two lines, or the per-icon label's one.
std::vector<TextRecipe> Windows95HUDView::recipesFor(HUDLabelStyle style) const {
    using F = TextRecipe::Field;
    if (style == HUDLabelStyle::caption) {
        return {{F::title, 13, QFont::Bold, M::statusWidth, M::statusWidth},
                {F::subtitle, 11, QFont::Normal, M::statusWidth, M::statusWidth}};
    }
    const double rw = M::recentsCell(style) - 6, fw = M::favCell - 6;
    return {{F::title, 12, QFont::Bold, rw, fw}, {F::title, 12, QFont::Normal, rw, fw}};
}

void Windows95HUDView::prepareTexts(const OverlayFonts& fonts) {
    titleText_.prepare(QTransform(), fonts.font(titlePoints, QFont::Bold));
    space_.prepare(QTransform(), fonts.font(13, QFont::Bold));
}

QSizeF Windows95HUDView::fittingSize(const HUDModel& model, const StyleContext& ctx) const {
    Windows95Layout layout;
    layoutWindows95(model, *ctx.fonts, layout);
    return layout.size;
}

void Windows95HUDView::sync(const HUDModel& m, const StyleContext& ctx, PaintResources& res, double now) {
    const Start start = begin(m, ctx, res, now);
    layoutWindows95(m, *ctx.fonts, layout_.next);
    const bool restart = layout_.restarts(start.fresh);
    layout_.take(restart, start.focusChanged, focusBlend_, now);
    const Windows95Layout& target = layout_.target;

    const double thumb = target.scroll.present ? target.scroll.thumb.x() - target.scroll.track.x() : 0;
    const Win95CancelPointer& pointer = target.pointer;
    if (restart) {
        // A new showing starts where it is meant to be, with nothing carried over.
        thumb_.snap(thumb);
        progress_.snap(pointer.progress);
    } else {
        if (target.scroll.present) thumb_.retarget(thumb, now);
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
    layout_.compose(focusBlend_, now);
    const Windows95Layout& target = layout_.target;
    if (layout_.shown.scroll.present && target.scroll.present) {
        // The thumb follows the cursor along a track that may be changing size with its row.
        const double k = layout_.shown.scroll.track.width() / target.scroll.track.width();
        layout_.shown.scroll.thumb.moveLeft(layout_.shown.scroll.track.x() + k * thumb_.value(now));
    }
    layout_.shown.pointer.start = QPointF(startX_.value(now), startY_.value(now));
    layout_.shown.pointer.end = layout_.shown.closeButton.center();
    layout_.shown.pointer.progress = progress_.value(now);
}

bool Windows95HUDView::advance(double now) {
    compose(now);
    return layout_.blending || !thumb_.settled(now) || !startX_.settled(now) || !startY_.settled(now) ||
           !progress_.settled(now);
}

void Windows95HUDView::settle() {
    layout_.blending = false;
    focusBlend_.snap(1);
    thumb_.snap(thumb_.target());
    startX_.snap(startX_.target());
    startY_.snap(startY_.target());
    progress_.snap(progress_.target());
    compose(now_);
}

QPainterPath Windows95HUDView::cardOutline() const {
    QPainterPath path;
    if (!layout_.shown.empty) path.addRect(layout_.shown.window);
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
    const QPointF tip = layout_.shown.pointer.tip();
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

void Windows95HUDView::paintRow(QPainter& p, const PartRow& row, const HUDModel& m, SwitcherRow which,
                                PaintResources& res) {
    if (!row.glyph.isNull()) {
        p.setOpacity(0.7);
        drawSymbol(p, Symbol::pinFill, row.glyph, inkBrush_);
    }
    for (std::size_t i = 0; i < row.cellList.size(); ++i) {
        const PartCell& c = row.cellList[i];
        const StyleTexts::Entry* e = texts_.at(m, which, static_cast<int>(i));
        p.setOpacity(1);
        if (c.selected) p.fillRect(c.block, Win95::navy);
        p.setOpacity(c.iconOpacity);
        // The placeholder's symbol: quiet on silver, white on navy.
        paintIcon(p, iconOf(e, res), c.icon, c.selected ? whiteBrush_ : grayBrush_, res);
        if (e) paintLabel(p, c, *e, white_, ink_);
    }
}

void Windows95HUDView::paintStatus(QPainter& p, const HUDModel& m) {
    const PartCaption& st = layout_.shown.caption;
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
    const Windows95Layout& L = layout_.shown;
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
    if (L.caption.present) paintStatus(p, m);
    p.setOpacity(1);
    paintBevel(p, L.window, true);

    if (L.pointer.drawn) {
        p.setRenderHint(QPainter::Antialiasing);
        paintPointer(p);
    }
    p.setOpacity(1);
}

}  // namespace trellick
