#pragma once

#include <QHeaderView>

// The row indicator at the left of a grid: a narrow column that marks the
// current row with a triangle and a row being appended with an asterisk
// (the header text "*" of that row).
class RowIndicatorHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit RowIndicatorHeader(QWidget* parent = nullptr);

    // Repaints the marks when the view's current row moves.
    void followCurrentRow(QAbstractItemView* view);

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    QAbstractItemView* m_view = nullptr;
};
