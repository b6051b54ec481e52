#include "ui/main_window.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "sources/playlist_file.h"
#include "ui/command_ids.h"
#include "ui/commands.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/device_settings_dialog.h"
#include "ui/dialogs/encoder_settings_dialog.h"
#include "ui/dialogs/export_commands.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/parameter_commands.h"
#include "ui/dialogs/peak_command.h"
#include "ui/dialogs/playlist_commands.h"
#include "ui/dialogs/ui_text.h"
#include "ui/manual.h"
#include "ui/menus.h"

namespace zv {

namespace {

constexpr const char* MANUAL_MISSING_TEXT =
    QT_TRANSLATE_NOOP("Message", "ユーザーズ マニュアル（help/index.html）が見つかりません。");
constexpr const char* MANUAL_NOT_OPENED_TEXT =
    QT_TRANSLATE_NOOP("Message", "ユーザーズ マニュアルを開けませんでした。\n");
constexpr const char* PAGE_NOT_OPENED_TEXT =
    QT_TRANSLATE_NOOP("Message", "WEBページを開けませんでした。\n");
constexpr const char* SONG_COUNT_TEXT = QT_TRANSLATE_NOOP("Window", "リスト曲数： %1");
// What screen readers call the playlist view and the toolbar.
constexpr const char* PLAYLIST_ACCESSIBLE_NAME = QT_TRANSLATE_NOOP("Window", "再生リスト");
constexpr const char* TOOLBAR_ACCESSIBLE_NAME = QT_TRANSLATE_NOOP("Window", "ツールバー");
constexpr char WINDOW_CONTEXT[] = "Window";

// The local files and folders of a drag; other URLs are not ours to take.
std::vector<std::string> local_paths(const QMimeData* mime) {
    std::vector<std::string> paths;
    if (mime == nullptr || !mime->hasUrls()) {
        return paths;
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            paths.push_back(url.toLocalFile().toStdString());
        }
    }
    return paths;
}

// Drops are taken as a copy (or a link): never as a move, which a file manager that honours
// it would end by removing the originals.
Qt::DropAction copy_action(Qt::DropActions offered) {
    if (offered.testFlag(Qt::CopyAction)) {
        return Qt::CopyAction;
    }
    if (offered.testFlag(Qt::LinkAction)) {
        return Qt::LinkAction;
    }
    return Qt::IgnoreAction;
}

}  // namespace

MainWindow::MainWindow(AppContext& ctx, const Skin& skin, WindowOptions options, QWidget* parent)
    : QMainWindow(parent),
      ctx_(ctx),
      skin_(skin),
      open_url_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setWindowTitle(QString::fromUtf8(WINDOW_CAPTION));
    setWindowIcon(skin.window_icon());
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    // Status bar: the key help in part 0, the song count in part 1.
    for (QLabel*& part : status_) {
        part = new QLabel(this);
        part->setTextFormat(Qt::PlainText);
        statusBar()->addWidget(part);
    }
    status_[0]->setText(QCoreApplication::translate(WINDOW_CONTEXT, KEY_HELP_TEXT));

    // The panel and, below it, the playlist view.
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    panel_ = new PanelWidget(
        skin, ctx.state(), ctx.meters, *this, [&ctx] { return ctx.display_inputs(); }, central);
    layout->addWidget(panel_);
    list_ = new QTableView(central);
    list_->setAccessibleName(QCoreApplication::translate(WINDOW_CONTEXT, PLAYLIST_ACCESSIBLE_NAME));
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
            if (splash_wanted_) {
                show_splash();
            }
        }
    });

    ctx.window = this;
    ctx.driver.set_window(this);
    actions_ = new CommandActions(
        skin, [this](int id) { dispatch(id); }, this);

    // The playlist view's clicks, keys and header clicks; the panel passes on the view's keys
    // that its focus mark does not take, so Space plays and stops whichever of the two has
    // the focus.
    input_ = new PlaylistInput(
        *list_, ctx, [this](int id) { return dispatch(id); }, [this] { redraw_panel(); }, this);
    panel_->set_other_keys([this](int key, Qt::KeyboardModifiers modifiers) {
        return input_ != nullptr && input_->key(key, modifiers);
    });
    panel_->setFocusPolicy(Qt::StrongFocus);
    list_->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(panel_, list_);

    build_menus();
    setAcceptDrops(true);

    // The splash waits for the window's first paint, so it never holds the start up.
    splash_wanted_ = options.splash;
    if (options.enumerate_devices) {
        for (const std::string& warning : ctx.enumerate_sound_devices()) {
            show_message(APP_CAPTION, warning);
        }
    }
    arm_onair_autostart(*ctx.engine);

    // The toolbar: its height T is held at 28 px so the panel's coordinates stay the design's.
    toolbar_ = new Toolbar(
        skin, [this](int id) { return actions_->action(id); },
        [this] { return engine_busy(*ctx_.engine); }, this);
    toolbar_->setAccessibleName(
        QCoreApplication::translate(WINDOW_CONTEXT, TOOLBAR_ACCESSIBLE_NAME));
    connect(toolbar_, &Toolbar::command_triggered, this, [this](int id) { dispatch(id); });
    addToolBar(Qt::TopToolBarArea, toolbar_);

    refresh_playlist();
    update_command_states();
    update_layout();
    const int status_height = statusBar()->sizeHint().height();
    const int menu_height = menuBar()->sizeHint().height();
    const int height = menu_height + PANEL_HEIGHT + PLAYLIST_INITIAL_HEIGHT + status_height;
    resize(PANEL_WIDTH, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->availableGeometry();
        move(s.x() + (s.width() - PANEL_WIDTH) / 2, s.y() + (s.height() - height - 65) / 2);
    }
    // The view has the focus at start, so Space plays at once.
    list_->setFocus(Qt::OtherFocusReason);
}

void MainWindow::build_menus() {
    build_menu_bar(*menuBar(), [this](int id) { return actions_->action(id); });
    // The language items show the choice the INI file keeps, one of three.
    auto* languages = new QActionGroup(this);
    for (const LanguageChoice choice :
         {LanguageChoice::Automatic, LanguageChoice::English, LanguageChoice::Japanese}) {
        if (QAction* a = menu_action(language_command(choice))) {
            a->setCheckable(true);
            languages->addAction(a);
        }
    }
    check_language_item(language_choice_from_text(ctx_.ini.read(IniKey::Language)));
    // F10 opens the menu bar, as on other desktops; Alt alone does where the style allows.
    auto* f10 = new QAction(this);
    f10->setShortcut(QKeySequence(Qt::Key_F10));
    connect(f10, &QAction::triggered, this, [this] {
        const QList<QAction*> menus = menuBar()->actions();
        if (!menus.isEmpty()) {
            menuBar()->setActiveAction(menus.front());
        }
    });
    addAction(f10);
}

QAction* MainWindow::menu_action(int command) const {
    return actions_ != nullptr ? actions_->action(command) : nullptr;
}

bool MainWindow::dispatch(int command_id) {
    const bool ran = zv::run_command(ctx_, command_id);
    update_command_states();
    return ran;
}

void MainWindow::update_command_states() {
    if (actions_ != nullptr) {
        actions_->update(ctx_);
    }
}

MainWindow::~MainWindow() {
    // The input filter goes first: the widgets it watches are taken down below.
    delete input_;
    input_ = nullptr;
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
    status_[0]->setText(QCoreApplication::translate(WINDOW_CONTEXT, KEY_HELP_TEXT));
    status_[1]->setText(QCoreApplication::translate(WINDOW_CONTEXT, SONG_COUNT_TEXT)
                            .arg(ctx_.playlist->song_count));
    update_layout();
}

void MainWindow::redraw_panel() {
    panel_->update();
    update_command_states();
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
    update_command_states();
}

void MainWindow::scroll_list_to(int row, int mode) {
    const int count = ctx_.playlist->song_count;
    if (count <= 0 || model_->rowCount() <= 0) {
        return;
    }
    const int row_height = std::max(1, list_->rowHeight(0));
    const int per_page = std::max(1, list_->viewport()->height() / row_height);
    const int wanted = mode == 0 ? row : std::max(0, row - per_page + 2);
    list_->scrollTo(model_->index(std::clamp(wanted, 0, model_->rowCount() - 1), 0),
                    QAbstractItemView::PositionAtTop);
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
    // The list commands' guard reads ON AIR mode itself.
    (void)enabled;
    update_command_states();
}

bool MainWindow::list_commands_enabled() const {
    return ctx_.engine->onair_mode == 0;
}

void MainWindow::show_message(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "zvmp3: %s\n", text.c_str());
    // Without a caption it is the system's own text (a device that cannot be opened): no
    // caption and no icon, as that text has always been shown; the program's texts warn.
    BoxMessage m;
    // Fixed texts (the core's among them) are in the catalogue; texts with names or numbers
    // filled in stay as they are.
    m.caption = message_text(caption.c_str());
    m.text = message_text(text.c_str());
    m.icon = caption.empty() ? MessageIcon::None : MessageIcon::Warning;
    show_box(m);
}

void MainWindow::show_box(const BoxMessage& message) {
    // Shown from the event loop: the caller may be in the middle of a drop or of the
    // engine's buffer handling, where a modal loop must not start.
    QTimer::singleShot(0, this, [this, message] { host_->show(this, message); });
}

void MainWindow::show_splash() {
    splash_wanted_ = false;
    auto* about = new AboutDialog(skin_.image(SkinId::ProductArt), this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->setModal(false);
    splash_ = about;
    about->show();
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
    // The panel's buttons use the commands' actions, as the menus do.
    if (QAction* a = menu_action(command_id)) {
        a->trigger();
    } else {
        dispatch(command_id);
    }
}

PlaylistCommandContext MainWindow::playlist_context() {
    return PlaylistCommandContext{*ctx_.playlist, ctx_.ini, *host_, this};
}

ParameterCommandContext MainWindow::parameter_context() {
    return ParameterCommandContext{ctx_.state(), ctx_.folders, ctx_.ini,
                                   *host_,       this,         [] { QApplication::beep(); }};
}

bool MainWindow::add_song_files() {
    PlaylistCommandContext list = playlist_context();
    if (zv::add_song_files(list, ctx_.engine_idle())) {
        refresh_playlist();
    }
    return true;
}

bool MainWindow::open_playlist() {
    PlaylistCommandContext list = playlist_context();
    if (zv::open_playlist(list, ctx_.engine_idle())) {
        refresh_playlist();
    }
    return true;
}

bool MainWindow::save_playlist() {
    PlaylistCommandContext list = playlist_context();
    return zv::save_playlist(list);
}

bool MainWindow::open_parameter_file() {
    ParameterCommandContext params = parameter_context();
    if (!zv::open_parameter_file(params)) {
        return false;
    }
    redraw_panel();  // the panel shows the loaded values at once
    return true;
}

bool MainWindow::save_parameter_file() {
    ParameterCommandContext params = parameter_context();
    return zv::save_parameter_file(params);
}

bool MainWindow::save_user_preset(int number) {
    ParameterCommandContext params = parameter_context();
    if (!save_user_preset_asking(params, number)) {
        return false;
    }
    redraw_panel();
    return true;
}

bool MainWindow::sound_device_settings() {
    DeviceSettingsDialog dialog(ctx_.engine->lists, ctx_.engine->settings, this);
    const int32_t low_latency = ctx_.engine->settings.low_latency;
    if (host_->exec(dialog) != QDialog::Accepted) {
        return false;
    }
    // The low-latency switch lives in the INI file, the rest in the state file.
    std::string error;
    if (ctx_.engine->settings.low_latency != low_latency &&
        !ctx_.ini.write(
            IniKey::LowLatency,
            ctx_.engine->settings.low_latency != 0 ? LOW_LATENCY_ON_TEXT : LOW_LATENCY_OFF_TEXT,
            error)) {
        host_->show(this, ini_write_failed_message(ctx_.ini.file().string(), error));
    }
    return true;
}

bool MainWindow::encoder_settings() {
    EncoderSettingsDialog dialog(
        ctx_.encoder, *host_, ctx_.ini, [this] { return ctx_.engine_idle(); }, this);
    return host_->exec(dialog) == QDialog::Accepted;
}

bool MainWindow::export_songs(bool all) {
    ExportCommandContext e = export_context();
    const bool idle = ctx_.engine_idle();
    return all ? export_all_command(e, idle) : export_song_command(e, idle);
}

bool MainWindow::peak_level() {
    if (!get_peak_level(*ctx_.playlist, ctx_.engine_idle(), *host_, this)) {
        return false;
    }
    refresh_playlist();
    return true;
}

bool MainWindow::about() {
    QApplication::beep();
    AboutDialog about(skin_.image(SkinId::ProductArt), this);
    host_->exec(about);
    return true;
}

bool MainWindow::latest_version() {
    if (!is_yes(host_->show(this, latest_version_message()))) {
        return false;
    }
    if (!open_url_(QUrl(QString::fromUtf8(HOME_PAGE_URL)))) {
        show_message(APP_MESSAGE_CAPTION,
                     message_text(PAGE_NOT_OPENED_TEXT).toStdString() + HOME_PAGE_URL);
    }
    return true;
}

bool MainWindow::choose_language(LanguageChoice choice) {
    const LanguageChoice before = language_choice_from_text(ctx_.ini.read(IniKey::Language));
    if (choice != before) {
        std::string error;
        if (!ctx_.ini.write(IniKey::Language, language_choice_text(choice), error)) {
            check_language_item(before);
            host_->show(this, ini_write_failed_message(ctx_.ini.file().string(), error));
            return false;
        }
    }
    check_language_item(choice);
    if (window_language(choice) != window_text_language()) {
        host_->show(this, language_next_start_message());
    }
    return true;
}

void MainWindow::check_language_item(LanguageChoice choice) {
    if (QAction* a = menu_action(language_command(choice))) {
        a->setChecked(true);
    }
}

ExportCommandContext MainWindow::export_context() {
    ExportCommandContext e{*ctx_.playlist, *ctx_.processor, ctx_.export_options,
                           ctx_.encoder,   ctx_.throttle,   *ctx_.temp,
                           ctx_.ini,       *host_,          this};
    e.set_in_progress = [this](bool on) {
        ctx_.export_in_progress = on;
        redraw_panel();
    };
    e.song_starting = [this](const SongStart& start) {
        refresh_playlist();
        scroll_list_to(start.index, 1);
        panel_->repaint();
    };
    // The panel's meters follow the export's blocks; the panel reads nothing the job writes.
    e.block_processed = [this](const MeterSnapshot& block) {
        ctx_.meters.absorb(block);
        redraw_panel();
    };
    e.run_ended = [this] { refresh_playlist(); };
    return e;
}

bool MainWindow::open_manual() {
    const std::optional<std::filesystem::path> page = find_manual(
        ctx_.folders.start_folder, QCoreApplication::applicationDirPath().toStdString());
    if (!page) {
        show_message(APP_MESSAGE_CAPTION, MANUAL_MISSING_TEXT);
        return true;
    }
    const std::filesystem::path shown = manual_page_for(*page, window_text_language());
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(shown.string()));
    if (!open_url_(url)) {
        show_message(APP_MESSAGE_CAPTION,
                     message_text(MANUAL_NOT_OPENED_TEXT).toStdString() + shown.string());
    }
    return true;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    dragMoveEvent(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    const Qt::DropAction action = copy_action(event->possibleActions());
    if (action == Qt::IgnoreAction || local_paths(event->mimeData()).empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const std::vector<std::string> paths = local_paths(event->mimeData());
    const Qt::DropAction action = copy_action(event->possibleActions());
    if (paths.empty() || action == Qt::IgnoreAction || !drop_files(paths)) {
        event->setDropAction(Qt::IgnoreAction);
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

bool MainWindow::drop_files(const std::vector<std::string>& paths) {
    // In ON AIR mode the list holds the live input alone; adding songs is greyed, and so are
    // drops.
    if (!list_commands_enabled()) {
        show_box(error_message(message_text(TEXT_DROP_IN_ONAIR)));
        return false;
    }
    // Playlist files open as on the command line; songs and folders are added.
    bool opened = false;
    std::vector<std::string> songs;
    for (const std::string& path : paths) {
        if (!has_extension(path, ".plt")) {
            songs.push_back(path);
        } else if (!ctx_.engine_idle()) {
            show_box(error_message(message_text(TEXT_PLAYLIST_DROP_WHILE_BUSY)));
        } else {
            const PlaylistFileResult r = open_playlist_file(*ctx_.playlist, path, true);
            opened = opened || r.status == PlaylistFileStatus::ok;
            const std::string message = playlist_file_message(r, path, window_text_language());
            if (!message.empty()) {
                show_message(APP_MESSAGE_CAPTION, message);
            }
        }
    }
    int added = 0;
    if (!songs.empty()) {
        const ScanResult r = drop_paths(*ctx_.playlist, songs, ctx_.engine_idle());
        added = r.added;
        show_scan_warnings(r);
    }
    refresh_playlist();
    return opened || added > 0;
}

void MainWindow::show_scan_warnings(const ScanResult& result) {
    if (result.left_out > 0) {
        show_box(songs_left_out_message(result.left_out));
    } else if (result.list_full_reached) {
        show_box(list_full_message());
    }
    if (result.paths_too_long > 0) {
        show_box(paths_too_long_message(result.paths_too_long));
    }
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
