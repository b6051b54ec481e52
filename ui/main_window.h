// The main window: a toolbar held at 28 px, the skinned panel, the playlist view and the
// two-part status bar, 745 px wide with only the height free. It hosts the streaming engine
// (WindowServices for the core, PanelHost for the panel) and hands every action to the
// command layer.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QTableView>
#include <QToolBar>

#include "ui/app_context.h"
#include "ui/panel_widget.h"
#include "ui/playlist_table_model.h"
#include "ui/skin.h"

namespace zv {

inline constexpr const char* WINDOW_CAPTION = "ZelvonicMP3 V3.04";
inline constexpr const char* VERSION_TEXT = "V3.04.03";
inline constexpr const char* KEY_HELP_TEXT =
    "【スペース】:再生/停止 | 【↑/↓】:曲選択 | 【Shift + ↑/↓】:曲移動 | 【DEL】:曲消去";

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
    QToolBar* toolbar() const { return toolbar_; }
    QString status_text(int part) const;
    // The height of the area below the menu bar (toolbar, panel, list and status bar).
    int client_height() const;

    // WindowServices and PanelHost.
    void redraw_panel() override;
    void refresh_playlist() override;
    void set_list_commands_enabled(bool enabled) override;
    bool list_commands_enabled() const { return list_commands_enabled_; }
    void show_message(const std::string& caption, const std::string& text) override;
    bool pointer_over_seek_buttons(bool forward_only) override;
    void release_transport_buttons() override;
    void close_window() override;
    void run_command(int command_id) override;
    void press_seek(int step) override;
    void release_seek() override;
    bool engine_playing() const override;

signals:
    void first_painted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void update_layout();
    // The About dialog shown once as a splash; it comes with the window's dialogs.
    void show_splash() {}
    void mirror_selection();

    AppContext& ctx_;
    const Skin& skin_;
    QToolBar* toolbar_ = nullptr;
    PanelWidget* panel_ = nullptr;
    QTableView* list_ = nullptr;
    PlaylistTableModel* model_ = nullptr;
    QLabel* status_[2] = {nullptr, nullptr};
    bool list_commands_enabled_ = true;
    bool painted_once_ = false;
};

}  // namespace zv
