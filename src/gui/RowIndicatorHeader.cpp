#include "gui/RowIndicatorHeader.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionHeader>

namespace {
constexpr int kIndicatorWidth = 12;
} // namespace

RowIndicatorHeader::RowIndicatorHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
    setSectionResizeMode(QHeaderView::Fixed);
    setHighlightSections(false);
    setSectionsClickable(false);
}

void RowIndicatorHeader::followCurrentRow(QAbstractItemView* view) {
    m_view = view;
    auto update = [this] { viewport()->update(); };
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, update);
}

QSize RowIndicatorHeader::sizeHint() const {
    QSize hint = QHeaderView::sizeHint();
    hint.setWidth(kIndicatorWidth);
    return hint;
}

void RowIndicatorHeader::paintSection(QPainter* painter, const QRect& rect,
                                      int logicalIndex) const {
    if (!rect.isValid()) {
        return;
    }
    QStyleOptionHeader option;
    initStyleOption(&option);
    option.rect = rect;
    option.section = logicalIndex;
    option.text.clear();
    // The style leaves the painter's clip changed behind it.
    painter->save();
    style()->drawControl(QStyle::CE_Header, &option, painter, this);
    painter->restore();

    const bool current = m_view != nullptr && m_view->currentIndex().isValid() &&
                         m_view->currentIndex().row() == logicalIndex;
    const bool appended =
        model() != nullptr &&
        model()->headerData(logicalIndex, Qt::Vertical).toString() == QStringLiteral("*");
    if (!current && !appended) {
        return;
    }
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->setPen(Qt::NoPen);
    painter->setBrush(palette().color(QPalette::WindowText));
    const QPointF centre = QRectF(rect).center();
    if (appended) {
        painter->setPen(palette().color(QPalette::WindowText));
        painter->drawText(rect, Qt::AlignCenter, QStringLiteral("*"));
    } else {
        QPainterPath triangle;
        triangle.moveTo(centre.x() - 2.5, centre.y() - 4.0);
        triangle.lineTo(centre.x() + 2.5, centre.y());
        triangle.lineTo(centre.x() - 2.5, centre.y() + 4.0);
        triangle.closeSubpath();
        painter->drawPath(triangle);
    }
    painter->restore();
}
