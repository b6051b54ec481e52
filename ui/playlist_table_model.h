// The playlist view's table model: it only renders the core's playlist view rows (ten column
// texts and one of six row images); the order of the rows is the playlist's own, sorted by
// the core, never by a proxy.
#pragma once

#include <QAbstractTableModel>
#include <QStyledItemDelegate>
#include <functional>

#include "sources/playlist_view.h"
#include "ui/skin.h"

namespace zv {

class PlaylistTableModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    PlaylistTableModel(const PlaylistView& view, const Skin& skin, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Runs rebuild_rows (the core's refresh of the view rows) inside a model reset.
    void rebuild(const std::function<void()>& rebuild_rows);

private:
    const PlaylistView& view_;
    const Skin& skin_;
    int rows_ = 0;  // what the attached views were last told
};

// The "No" column is 40 px wide for a 16 px image and two digits: drawn with the narrow margins
// of a report list rather than the style's roomier ones, which would leave no room for text.
class NumberColumnDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};

}  // namespace zv
