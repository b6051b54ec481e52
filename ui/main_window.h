// The main window: the menu bar, the toolbar at 28 px, the skinned panel, the playlist view
// and the two-part status bar, 745 px wide with only the height free. It hosts the streaming
// engine (WindowServices for the core, PanelHost for the panel) and hands every action to the
// command layer: menu items, toolbar buttons, shortcuts, the view's keys and clicks, the
// panel's transport and switch buttons and dropped files alike. The commands' actions are
// greyed and checked from the command table's guard whenever the panel or the list changes.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QTableView>
#include <QUrl>
#include <functional>
#include <vector>

#include "ui/app_context.h"
#include "ui/command_actions.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/export_commands.h"
#include "ui/dialogs/parameter_commands.h"
#include "ui/dialogs/playlist_commands.h"
#include "ui/panel_widget.h"
#include "ui/playlist_input.h"
#include "ui/playlist_table_model.h"
#include "ui/skin.h"
#include "ui/toolbar.h"
#include "ui/window_language.h"

namespace zv {

inline constexpr const char* WINDOW_CAPTION = "ZelvonicMP3 V3.04";
inline constexpr const char* KEY_HELP_TEXT = QT_TRANSLATE_NOOP(
    "Window", "【スペース】:再生/停止 | 【↑/↓】:曲選択 | 【Shift + ↑/↓】:曲移動 | 【DEL】:曲消去");

struct WindowOptions {
    bool enumerate_devices = true;  // false: the engine's device needs no enumeration (tests)
    bool splash = true;             // --no-splash clears it
};

class MainWindow final : public QMainWindow, public WindowServices, public PanelHost {
    Q_OBJECT
public:
    // Creates the window's parts in start-up order: status bar, playlist view, the splash,
    // the sound devices, the ON AIR auto-start timer, then the toolbar. The window is shown
    // by the caller.
    MainWindow(AppContext& ctx, const Skin& skin, WindowOptions options, QWidget* parent = nullptr);
    ~MainWindow() override;

    PanelWidget* panel() const { return panel_; }
    QTableView* playlist_view() const { return list_; }
    PlaylistTableModel* table_model() const { return model_; }
    Toolbar* toolbar() const { return toolbar_; }
    PlaylistInput* playlist_input() const { return input_; }
    // The action of a command (the menu bar's item, the toolbar's button), or null.
    QAction* menu_action(int command) const;
    QString status_text(int part) const;
    // The height of the area below the menu bar (toolbar, panel, list and status bar).
    int client_height() const;

    // Runs a command as the window's menus, toolbar and keys do: a command its guard refuses
    // (a greyed one) does nothing. True when the command ran. The actions follow the state
    // afterwards.
    bool dispatch(int command_id);
    // Scrolls the playlist view so that row is the top row (mode 0) or, when it is below the
    // page, the last row but one (mode 1).
    void scroll_list_to(int row, int mode);
    // Dropped files and folders, as local paths.
    // True when the drop added a song or opened a playlist; a drop that can add nothing
    // (ON AIR mode, a full list, a playlist while a song plays) is refused and told why.
    bool drop_files(const std::vector<std::string>& paths);
    // How the manual and the home page are opened (QDesktopServices by default; tests
    // replace it).
    using UrlOpener = std::function<bool(const QUrl&)>;
    void set_url_opener(UrlOpener opener) { open_url_ = std::move(opener); }
    // How dialogs and message boxes are shown: modally through Qt by default; tests and the
    // test control channel answer them from a script.
    void set_dialog_host(DialogHost* host) { host_ = host != nullptr ? host : &qt_host_; }
    DialogHost& dialog_host() { return *host_; }
    // The About picture shown once at start-up, while it is up.
    QDialog* splash() const { return splash_; }

    // WindowServices and PanelHost.
    void redraw_panel() override;
    void refresh_playlist() override;
    void set_list_commands_enabled(bool enabled) override;
    bool list_commands_enabled() const;
    void show_message(const std::string& caption, const std::string& text) override;
    void show_scan_warnings(const ScanResult& result) override;
    bool pointer_over_seek_buttons(bool forward_only) override;
    void release_transport_buttons() override;
    void close_window() override;
    bool add_song_files() override;
    bool open_playlist() override;
    bool save_playlist() override;
    bool open_parameter_file() override;
    bool save_parameter_file() override;
    bool save_user_preset(int number) override;
    bool sound_device_settings() override;
    bool encoder_settings() override;
    bool export_songs(bool all) override;
    bool peak_level() override;
    bool about() override;
    bool open_manual() override;
    bool latest_version() override;
    // Keeps the choice in the INI file; the window speaks it from the next start.
    bool choose_language(LanguageChoice choice) override;
    void run_command(int command_id) override;
    void press_seek(int step) override;
    void release_seek() override;
    bool engine_playing() const override;

signals:
    void first_painted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

public:
    // The toolbar's place is fixed: no menu to hide it.
    QMenu* createPopupMenu() override { return nullptr; }

private:
    void build_menus();
    void check_language_item(LanguageChoice choice);
    // Greys and checks the commands' actions as the state now allows.
    void update_command_states();
    void update_layout();
    // The About picture at start-up: shown without holding anything up, once the window has
    // painted, and gone after 3 s or a click.
    void show_splash();
    void mirror_selection();
    void show_box(const BoxMessage& message);
    ExportCommandContext export_context();
    PlaylistCommandContext playlist_context();
    ParameterCommandContext parameter_context();

    AppContext& ctx_;
    const Skin& skin_;
    Toolbar* toolbar_ = nullptr;
    PanelWidget* panel_ = nullptr;
    QTableView* list_ = nullptr;
    PlaylistTableModel* model_ = nullptr;
    PlaylistInput* input_ = nullptr;
    CommandActions* actions_ = nullptr;
    UrlOpener open_url_;
    QtDialogHost qt_host_;
    DialogHost* host_ = &qt_host_;
    QPointer<QDialog> splash_;
    bool splash_wanted_ = false;
    QLabel* status_[2] = {nullptr, nullptr};
    bool painted_once_ = false;
};

}  // namespace zv
