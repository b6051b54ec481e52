#include "ui/playlist_table_model.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>

namespace zv {

PlaylistTableModel::PlaylistTableModel(const PlaylistView& view, const Skin& skin, QObject* parent)
    : QAbstractTableModel(parent),
      view_(view),
      skin_(skin),
      rows_(static_cast<int>(view.rows.size())) {}

int PlaylistTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int PlaylistTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : PLAYLIST_COLUMN_COUNT;
}

QVariant PlaylistTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_ || index.column() >= PLAYLIST_COLUMN_COUNT ||
        index.row() >= static_cast<int>(view_.rows.size())) {
        return {};
    }
    const PlaylistRow& row = view_.rows[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(row.columns[static_cast<size_t>(index.column())]);
        case Qt::DecorationRole:
            if (index.column() == 0) {
                return skin_.row_icon(row.image);
            }
            return {};
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
        default:
            return {};
    }
}

QVariant PlaylistTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= PLAYLIST_COLUMN_COUNT) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return QString::fromLatin1(PLAYLIST_COLUMNS[static_cast<size_t>(section)].title);
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    }
    return {};
}

Qt::ItemFlags PlaylistTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void PlaylistTableModel::rebuild(const std::function<void()>& rebuild_rows) {
    // The core rebuilds every row on each refresh, as the view did: a reset says just that.
    beginResetModel();
    rebuild_rows();
    rows_ = static_cast<int>(view_.rows.size());
    endResetModel();
}

void NumberColumnDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const {
    QStyleOptionViewItem o = option;
    initStyleOption(&o, index);
    const QPixmap image = index.data(Qt::DecorationRole).value<QPixmap>();
    const QString text = o.text;
    // The style draws the row's background and selection; the image and text go on top.
    o.text.clear();
    o.icon = QIcon();
    o.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget* w = o.widget;
    QStyle* style = w != nullptr ? w->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &o, painter, w);
    const QRect r = option.rect;
    int x = r.x() + 1;
    if (!image.isNull()) {
        painter->drawPixmap(x, r.y() + (r.height() - image.height()) / 2, image);
        x += image.width() + 2;
    }
    painter->save();
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(QRect(x, r.y(), r.right() - x, r.height()), Qt::AlignLeft | Qt::AlignVCenter,
                      text);
    painter->restore();
}

}  // namespace zv
