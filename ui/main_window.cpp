#include "ui/main_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>
#include <cstdio>

#include "ui/commands.h"

namespace zv {

MainWindow::MainWindow(AppContext& ctx, const Skin& skin, WindowOptions options, QWidget* parent)
    : QMainWindow(parent), ctx_(ctx), skin_(skin) {
    setWindowTitle(QString::fromUtf8(WINDOW_CAPTION));
    setWindowIcon(skin.window_icon());
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    // Status bar: the key help in part 0, the song count in part 1.
    for (QLabel*& part : status_) {
        part = new QLabel(this);
        part->setTextFormat(Qt::PlainText);
        statusBar()->addWidget(part);
    }
    status_[0]->setText(QString::fromUtf8(KEY_HELP_TEXT));

    // The panel and, below it, the playlist view.
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panel_ = new PanelWidget(
        skin, ctx.state(), *ctx.playlist, ctx.meters, *this,
        [&ctx] { return ctx.display_inputs(); }, central);
    layout->addWidget(panel_);
    list_ = new QTableView(central);
    model_ = new PlaylistTableModel(ctx.view, skin, this);
    list_->setModel(model_);
    list_->setItemDelegateForColumn(0, new NumberColumnDelegate(list_));
    list_->setShowGrid(true);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The selection mirrors selected_index; the view's own clicks come with its input.
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setSortingEnabled(false);
    list_->setIconSize(QSize(16, 16));
    list_->setWordWrap(false);
    list_->verticalHeader()->hide();
    list_->verticalHeader()->setDefaultSectionSize(18);
    list_->horizontalHeader()->setSectionsMovable(true);
    list_->horizontalHeader()->setHighlightSections(false);
    list_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int c = 0; c < PLAYLIST_COLUMN_COUNT; ++c) {
        list_->setColumnWidth(c, PLAYLIST_COLUMNS[static_cast<size_t>(c)].width);
    }
    layout->addWidget(list_, 1);
    setCentralWidget(central);
    connect(panel_, &PanelWidget::painted, this, [this] {
        mirror_selection();
        if (!painted_once_) {
            painted_once_ = true;
            emit first_painted();
        }
    });

    ctx.window = this;
    ctx.driver.set_window(this);

    if (options.splash) {
        show_splash();
    }
    if (options.enumerate_devices) {
        for (const std::string& warning : ctx.enumerate_sound_devices()) {
            show_message(APP_CAPTION, warning);
        }
    }
    arm_onair_autostart(*ctx.engine);

    // The toolbar, held at 28 px at the top of the client area so the panel's coordinates
    // stay those of the design; its buttons come with the commands' menus.
    // A toolbar sizes itself to its buttons; a box of fixed size holds it at 28 px.
    auto* toolbar_box = new QWidget(central);
    toolbar_box->setFixedSize(PANEL_WIDTH, TOOLBAR_HEIGHT);
    auto* toolbar_layout = new QHBoxLayout(toolbar_box);
    toolbar_layout->setContentsMargins(0, 0, 0, 0);
    toolbar_ = new QToolBar(toolbar_box);
    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(16, 15));
    toolbar_layout->addWidget(toolbar_);
    layout->insertWidget(0, toolbar_box);

    refresh_playlist();
    update_layout();
    const int status_height = statusBar()->sizeHint().height();
    const int height = PANEL_HEIGHT + PLAYLIST_INITIAL_HEIGHT + status_height;
    resize(PANEL_WIDTH, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->availableGeometry();
        move(s.x() + (s.width() - PANEL_WIDTH) / 2, s.y() + (s.height() - height - 65) / 2);
    }
}

MainWindow::~MainWindow() {
    ctx_.driver.set_window(nullptr);
    if (ctx_.window == this) {
        ctx_.window = nullptr;
    }
}

void MainWindow::update_layout() {
    const int menu_height = menuWidget() != nullptr ? menuWidget()->sizeHint().height() : 0;
    setFixedWidth(PANEL_WIDTH);
    setMinimumHeight(menu_height + PANEL_HEIGHT + MIN_LIST_HEIGHT);
}

int MainWindow::client_height() const {
    const int menu_height = menuWidget() != nullptr ? menuWidget()->height() : 0;
    return height() - menu_height;
}

QString MainWindow::status_text(int part) const {
    return part == 0 || part == 1 ? status_[part]->text() : QString();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    const int w = width();
    status_[0]->setFixedWidth(4 * (w / 5));
    status_[1]->setFixedWidth(w - 4 * (w / 5));
    status_[0]->setText(QString::fromUtf8(KEY_HELP_TEXT));
    status_[1]->setText(QString::fromUtf8("リスト曲数： %1").arg(ctx_.playlist->song_count));
    update_layout();
}

void MainWindow::redraw_panel() {
    panel_->update();
}

void MainWindow::refresh_playlist() {
    const int top = list_->rowAt(0);
    const int row_height = list_->verticalHeader()->defaultSectionSize();
    const int per_page = row_height > 0 ? list_->viewport()->height() / row_height : 1;
    model_->rebuild([this] { refresh_playlist_view(*ctx_.playlist, ctx_.view, ctx_.activity()); });
    const int count = ctx_.playlist->song_count;
    if (count > 0) {
        const int wanted = restored_top_row(top < 0 ? 0 : top, count, per_page);
        list_->scrollTo(model_->index(wanted, 0), QAbstractItemView::PositionAtTop);
    }
    status_[1]->setText(QString::fromStdString(ctx_.view.status_text));
    mirror_selection();
    panel_->update();
}

void MainWindow::mirror_selection() {
    const Playlist& pl = *ctx_.playlist;
    if (pl.song_count <= 0 || ctx_.export_in_progress || pl.selected_index < 0 ||
        pl.selected_index >= model_->rowCount()) {
        return;
    }
    const QModelIndex wanted = model_->index(pl.selected_index, 0);
    QItemSelectionModel* selection = list_->selectionModel();
    if (selection->currentIndex() == wanted && selection->isRowSelected(pl.selected_index, {})) {
        return;
    }
    selection->setCurrentIndex(wanted,
                               QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void MainWindow::set_list_commands_enabled(bool enabled) {
    // The menu items and toolbar buttons this greys come with the commands' menus.
    list_commands_enabled_ = enabled;
}

void MainWindow::show_message(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "zvmp3: %s\n", text.c_str());
    auto* box = new QMessageBox(QMessageBox::Warning,
                                QString::fromStdString(caption.empty() ? APP_CAPTION : caption),
                                QString::fromStdString(text), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool MainWindow::pointer_over_seek_buttons(bool forward_only) {
    return panel_->model().pointer_over_seek_buttons(panel_->pointer(), forward_only);
}

void MainWindow::release_transport_buttons() {
    panel_->model().release_transport_buttons();
}

void MainWindow::close_window() {
    close();
}

void MainWindow::run_command(int command_id) {
    zv::run_command(ctx_, command_id);
}

void MainWindow::press_seek(int step) {
    press_seek_button(*ctx_.engine, step);
}

void MainWindow::release_seek() {
    release_seek_buttons(*ctx_.engine);
}

bool MainWindow::engine_playing() const {
    return ctx_.engine->engine_state == ENGINE_PLAYING;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A busy engine is stopped and closed before the loop ends; the state file is saved after.
    ctx_.driver.kill_timer(TIMER_NEXT_SONG);
    ctx_.driver.kill_timer(TIMER_ONAIR_AUTOSTART);
    if (engine_busy(*ctx_.engine)) {
        stop_and_close(*ctx_.engine);
    }
    event->accept();
}

}  // namespace zv
