#pragma once
// A layout that places its items left to right at their ideal sizes and wraps to a new line
// when the next item would pass the available width. `spacing` separates items on a line,
// `lineSpacing` the lines. An item wider than the line on its own stays on the line it
// starts (the wrap needs something before it), so it overflows instead of leaving an empty
// line. Used by the favourites tab's suggestion shelf (8 and 8).

#include <QLayout>
#include <QList>
#include <optional>

namespace trellick::ui {

class FlowLayout : public QLayout {
public:
    FlowLayout(int spacing, int lineSpacing, QWidget* parent = nullptr);
    ~FlowLayout() override;

    // The size the items need when offered `width`, or, without one, on a single line:
    // (the offered width, else the widest line; the bottom of the last line).
    QSize measure(std::optional<int> width) const;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Walks the items over a line `maxWidth` wide; places them inside `place` when given.
    QSize walk(double maxWidth, const QRect* place) const;

    QList<QLayoutItem*> items_;
    int spacing_;
    int lineSpacing_;
};

}  // namespace trellick::ui
