// The window's language: English unless the locale is Japanese (the command-line program's
// rule), or what the setting fixes; the English menus are the design's English menu, and no
// Japanese text is left untranslated in them.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>
#include <QToolTip>
#include <QTranslator>
#include <QtTest/QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "export/external_encoder.h"
#include "playback/device_list.h"
#include "settings/ini_settings.h"
#include "tests/ui/window_fixture.h"
#include "ui/command_ids.h"
#include "ui/dialogs/device_settings_dialog.h"
#include "ui/dialogs/export_again_dialog.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/ui_text.h"
#include "ui/manual.h"
#include "ui/menus.h"
#include "ui/toolbar.h"
#include "ui/window_language.h"

namespace zv {
namespace {

// Sets the locale variables for one test and puts the old values back after it.
class LocaleScope {
public:
    LocaleScope(const char* lc_all, const char* lc_messages, const char* lang) {
        for (const char* name : NAMES) {
            const char* old = std::getenv(name);
            saved_.push_back(old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        }
        set(0, lc_all);
        set(1, lc_messages);
        set(2, lang);
    }
    ~LocaleScope() {
        for (size_t i = 0; i < saved_.size(); ++i) {
            set(i, saved_[i] ? saved_[i]->c_str() : nullptr);
        }
    }
    LocaleScope(const LocaleScope&) = delete;
    LocaleScope& operator=(const LocaleScope&) = delete;

private:
    static constexpr const char* NAMES[] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    static void set(size_t i, const char* value) {
        if (value != nullptr) {
            setenv(NAMES[i], value, 1);
        } else {
            unsetenv(NAMES[i]);
        }
    }
    std::vector<std::optional<std::string>> saved_;
};

// True when the text still holds Japanese: kana, kanji or full-width digits.
bool has_japanese(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3040 && u <= 0x30FF) || (u >= 0x4E00 && u <= 0x9FFF) ||
            (u >= 0xFF10 && u <= 0xFF19) || (u >= 0xFF61 && u <= 0xFF9F)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> menu_titles(QMenuBar& bar) {
    std::vector<std::string> titles;
    for (QAction* a : bar.actions()) {
        titles.push_back(a->text().toStdString());
    }
    return titles;
}

// Every caption of a menu and its submenus, depth first, without the Alt mnemonics.
void collect_captions(const QMenu& menu, std::vector<QString>& out) {
    for (QAction* a : menu.actions()) {
        if (a->isSeparator()) {
            continue;
        }
        out.push_back(without_mnemonic(a->text()));
        if (a->menu() != nullptr) {
            collect_captions(*a->menu(), out);
        }
    }
}

// The Alt letter of a caption ("&File", "ファイル(&F)"), or 0.
char mnemonic_of(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == QLatin1Char('&')) {
            if (text[i + 1] == QLatin1Char('&')) {
                ++i;
                continue;
            }
            return text[i + 1].toLower().toLatin1();
        }
    }
    return 0;
}

// Within a menu (the bar included) no two entries share a letter, and every entry but the
// presets has one.
void expect_distinct_mnemonics(const QList<QAction*>& entries, const std::string& where) {
    std::vector<char> letters;
    for (QAction* a : entries) {
        if (a->isSeparator()) {
            continue;
        }
        const char m = mnemonic_of(a->text());
        if (m == 0) {
            EXPECT_TRUE(is_factory_preset_id(action_command(a))) << a->text().toStdString();
            continue;
        }
        EXPECT_EQ(std::count(letters.begin(), letters.end(), m), 0)
            << where << ": " << a->text().toStdString();
        letters.push_back(m);
        if (a->menu() != nullptr) {
            expect_distinct_mnemonics(a->menu()->actions(), a->text().toStdString());
        }
    }
}

// The window title and every label, button and group title of a dialog.
std::vector<QString> dialog_texts(const QWidget& dialog) {
    std::vector<QString> texts{dialog.windowTitle()};
    for (const QLabel* l : dialog.findChildren<QLabel*>()) {
        texts.push_back(l->text());
    }
    for (const QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
        texts.push_back(b->text());
    }
    for (const QGroupBox* g : dialog.findChildren<QGroupBox*>()) {
        texts.push_back(g->title());
    }
    return texts;
}

// Every message box the window can show, with sample values filled in.
std::vector<BoxMessage> every_message() {
    return {no_output_device_message(),
            no_input_device_message(),
            list_full_message(),
            wave_format_error_message(),
            encoder_params_too_long_message(),
            export_song_confirm_message("a.wav", "b.mp3"),
            export_all_confirm_message(true, ""),
            export_all_confirm_message(false, "/music/out"),
            save_user_preset_message(2),
            latest_version_message(),
            paths_too_long_message(3),
            save_failed_message("/x.plt", "disk full"),
            ini_write_failed_message("/x.ini", "disk full"),
            export_failed_message("/a.wav", "disk full"),
            export_all_failed_message(QStringLiteral("a.wav: disk full")),
            encoder_request_message(true, "/usr/bin/lame", "-V2 %1 %2")};
}

QString tooltip_of(QToolButton* b) {
    QToolTip::hideText();
    for (int i = 0; i < 100 && QToolTip::isVisible(); ++i) {
        QTest::qWait(10);  // the last tip fades out
    }
    QHelpEvent help(QEvent::ToolTip, QPoint(4, 4), b->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(b, &help);
    const QString text = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return text;
}

TEST(WindowLanguage, FollowsTheLocaleAsTheCommandLineProgramDoesUnlessTheSettingFixesIt) {
    struct Case {
        const char* lc_all;
        const char* lc_messages;
        const char* lang;
        Language expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, "ja_JP.UTF-8", Language::Japanese},
        {nullptr, nullptr, "en_US.UTF-8", Language::English},
        {nullptr, nullptr, "de_DE.UTF-8", Language::English},
        {nullptr, nullptr, nullptr, Language::English},
        {"C.UTF-8", nullptr, "ja_JP.UTF-8", Language::English},  // LC_ALL wins
        {"", "ja_JP.eucJP", "en_GB.UTF-8", Language::Japanese},  // empty counts as unset
    };
    for (const Case& c : cases) {
        LocaleScope locale(c.lc_all, c.lc_messages, c.lang);
        EXPECT_EQ(window_language(LanguageChoice::Automatic), c.expected)
            << (c.lang != nullptr ? c.lang : "(no LANG)");
        EXPECT_EQ(window_language(LanguageChoice::Automatic), language_from_environment());
        EXPECT_EQ(window_language(LanguageChoice::English), Language::English);
        EXPECT_EQ(window_language(LanguageChoice::Japanese), Language::Japanese);
    }
    EXPECT_EQ(window_translator(Language::Japanese), nullptr);
    auto english = window_translator(Language::English);
    ASSERT_NE(english, nullptr);
    EXPECT_FALSE(english->isEmpty());
}

TEST(WindowLanguage, TheIniTextOfTheChoiceAndItsMenuCommand) {
    for (const LanguageChoice c :
         {LanguageChoice::Automatic, LanguageChoice::English, LanguageChoice::Japanese}) {
        EXPECT_EQ(language_choice_from_text(language_choice_text(c)), c);
        EXPECT_EQ(language_choice_of_command(language_command(c)), c);
    }
    // A missing key, a damaged or hand-edited value: the locale decides.
    for (const char* text : {"", "english", "Japanese ", "ja", "Automatic\n"}) {
        EXPECT_EQ(language_choice_from_text(text), LanguageChoice::Automatic) << text;
    }
    EXPECT_EQ(language_choice_of_command(cmd::PLAY), std::nullopt);
}

// The window built as the program builds it, after the language of the given locale is
// installed the way start-up installs it.
template <const char* Lang>
class WindowUnderLocale : public test::WindowTest {
protected:
    void SetUp() override {
        apply_window_language(*QCoreApplication::instance(),
                              window_language(LanguageChoice::Automatic), translator);
        test::WindowTest::SetUp();
    }
    void TearDown() override {
        test::WindowTest::TearDown();
        if (translator != nullptr) {
            QCoreApplication::removeTranslator(translator.get());
        }
    }
    LocaleScope locale{nullptr, nullptr, Lang};
    std::unique_ptr<QTranslator> translator;
};

constexpr char ENGLISH_LOCALE[] = "en_US.UTF-8";
constexpr char JAPANESE_LOCALE[] = "ja_JP.UTF-8";
using EnglishWindow = WindowUnderLocale<ENGLISH_LOCALE>;
using JapaneseWindow = WindowUnderLocale<JAPANESE_LOCALE>;

TEST_F(EnglishWindow, ShowsTheEnglishMenusAndTooltips) {
    QMenuBar& bar = *window->menuBar();
    EXPECT_EQ(menu_titles(bar), (std::vector<std::string>{"&File", "Sound &Parameters", "P&laylist",
                                                          "&Export", "&Help"}));
    expect_distinct_mnemonics(bar.actions(), "menu bar");
    EXPECT_EQ(window->menu_action(cmd::OPEN_PLAYLIST)->text().toStdString(), "&Open Playlist...");
    const std::pair<int, const char*> items[] = {
        {cmd::OPEN_PLAYLIST, "Open Playlist..."},
        {cmd::ADD_SONG_FILES, "Open WAV/MP3 File..."},
        {cmd::QUIT, "Quit"},
        {cmd::USE_USER_PRESET_3, "Preset #3"},
        {cmd::SAVE_USER_PRESET_1, "Preset #1"},
        {cmd::BASS_EQ, "Bass EQ - ON/OFF"},
        {cmd::ONAIR, "** ON AIR MODE ** - ON/OFF"},
        {cmd::PLAY, "Play"},
        {cmd::REMOVE_ALL, "Remove all songs"},
        {cmd::EXTERNAL_ENCODER_SETTINGS, "External MP3 Encoding Program Setings.."},
        {cmd::ABOUT, "About ZelvonicMP3..."},
        {cmd::LATEST_VERSION, "Get the latest version..."},
        // The preset names are English in both menus.
        {cmd::PRESET_SMOOTH_FM, "Smooth Listening(Favorite FM)"},
    };
    for (const auto& [command, caption] : items) {
        ASSERT_NE(window->menu_action(command), nullptr) << command;
        EXPECT_EQ(without_mnemonic(window->menu_action(command)->text()).toStdString(), caption)
            << command;
    }
    // Nothing Japanese is left in any menu or submenu, and the submenus have their names.
    std::vector<QString> captions;
    for (QAction* top : bar.actions()) {
        collect_captions(*top->menu(), captions);
    }
    EXPECT_GT(captions.size(), 50u);
    for (const QString& c : captions) {
        if (c != QStringLiteral("日本語")) {  // the language item names itself
            EXPECT_FALSE(has_japanese(c)) << c.toStdString();
        }
    }
    for (const char* submenu :
         {"* Recommended Presets", "Simulates Digital Audio Broadcast", "For Internet Broadcast",
          "Simulates FM Broadcast (with emphasis)", "Use User's Preset", "Save Parameters to",
          "Choose a song", "Move the current song", "Sort List"}) {
        EXPECT_NE(std::find(captions.begin(), captions.end(), QString::fromUtf8(submenu)),
                  captions.end())
            << submenu;
    }

    Toolbar& toolbar = *window->toolbar();
    EXPECT_EQ(tooltip_of(toolbar.button(cmd::PLAY)).toStdString(), "Play[SPACE]");
    EXPECT_EQ(tooltip_of(toolbar.button(cmd::USE_USER_PRESET_3)).toStdString(), "User's Preset #3");
    for (const ToolbarButtonRow& button : toolbar_buttons()) {
        if (button.style != ToolbarStyle::Separator) {
            EXPECT_FALSE(has_japanese(toolbar_tooltip(button.command, false))) << button.command;
        }
    }
}

// What a screen reader says: each control "Bass EQ Freq, 60", each switch "BYPASS, off", and
// the panel, the list and the toolbar by name, all in English.
TEST_F(EnglishWindow, ScreenReadersHearThePanelInEnglish) {
    ctx->processor->params.bass_eq_freq_hz = 60;
    ctx->processor->params.switches.bypass = 0;
    QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(window->panel());
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->text(QAccessible::Name).toStdString(), "Control panel");
    std::vector<std::string> spoken;
    for (int i = 0; i < panel->childCount(); ++i) {
        const QAccessibleInterface* place = panel->child(i);
        const QString value = place->text(QAccessible::Value);
        spoken.push_back(place->text(QAccessible::Name).toStdString() +
                         (value.isEmpty() ? "" : ", " + value.toStdString()));
        EXPECT_FALSE(has_japanese(value)) << spoken.back();
    }
    for (const char* expected : {"Bass EQ Freq, 60", "BYPASS, off", "INIT", "ALL Gain"}) {
        EXPECT_NE(std::find(spoken.begin(), spoken.end(), expected), spoken.end()) << expected;
    }
    EXPECT_EQ(window->playlist_view()->accessibleName().toStdString(), "Playlist");
    EXPECT_EQ(window->toolbar()->accessibleName().toStdString(), "Toolbar");
}

TEST_F(EnglishWindow, ShowsEnglishMessagesDialogsAndStatusBar) {
    EXPECT_EQ(window_text_language(), Language::English);
    for (const BoxMessage& m : every_message()) {
        EXPECT_FALSE(has_japanese(m.caption)) << m.caption.toStdString();
        EXPECT_FALSE(has_japanese(m.text)) << m.text.toStdString();
    }
    // The values go where the English sentence wants them, and in order.
    EXPECT_EQ(export_song_confirm_message("a.wav", "b.mp3").text.toStdString(),
              "From the listed file [ a.wav ]\nthe file [ b.mp3 ] will be made.\n\n"
              "Do you wish to continue?");
    EXPECT_EQ(confirm_message(QString()).caption.toStdString(), "Confirm");
    EXPECT_NE(save_user_preset_message(2).text.indexOf(QStringLiteral("User's Preset #2.")), -1);
    // The core's texts reach the window through the catalogue too: its copies must match.
    for (const char* core : {NO_OUTPUT_DEVICE_TEXT, NO_INPUT_DEVICE_TEXT,
                             ENCODER_PARAMS_ERROR_CAPTION, ENCODER_PARAMS_ERROR_TEXT}) {
        EXPECT_FALSE(has_japanese(message_text(core))) << core;
    }

    DeviceLists lists;
    DeviceSettings settings;
    DeviceSettingsDialog device_dialog(lists, settings);
    EXPECT_EQ(device_dialog.windowTitle().toStdString(), "Sound Device Settings");
    EXPECT_EQ(device_dialog.buttons()->button(QDialogButtonBox::Cancel)->text().toStdString(),
              "Cancel");
    ExportAgainDialog again(false, "/music/out");
    for (const QWidget* dialog :
         {static_cast<QWidget*>(&device_dialog), static_cast<QWidget*>(&again)}) {
        for (const QString& text : dialog_texts(*dialog)) {
            EXPECT_FALSE(has_japanese(text)) << text.toStdString();
        }
    }

    EXPECT_EQ(window->status_text(1).toStdString(), "Songs in list: 0");
    EXPECT_EQ(window->status_text(0).left(17).toStdString(), "[SPACE]:Play/Stop");
}

// The language item's checked choice, from the menu.
std::optional<LanguageChoice> checked_language(MainWindow& window) {
    std::optional<LanguageChoice> checked;
    for (const LanguageChoice c :
         {LanguageChoice::Automatic, LanguageChoice::English, LanguageChoice::Japanese}) {
        QAction* a = window.menu_action(language_command(c));
        if (a != nullptr && a->isChecked()) {
            EXPECT_FALSE(checked.has_value()) << "two language items checked";
            checked = c;
        }
    }
    return checked;
}

TEST_F(EnglishWindow, TheLanguageSettingIsKeptInTheIniFileForTheNextStart) {
    EXPECT_EQ(ctx->ini.read(IniKey::Language), "");
    EXPECT_EQ(checked_language(*window), LanguageChoice::Automatic);

    // Japanese: kept, checked, and the user is told it comes with the next start.
    window->menu_action(cmd::LANGUAGE_JAPANESE)->trigger();
    EXPECT_EQ(ctx->ini.read(IniKey::Language), "Japanese");
    EXPECT_EQ(checked_language(*window), LanguageChoice::Japanese);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.toStdString(),
              "The new language takes effect the next time the program starts.");
    // The next start reads it before the window is built, whatever the locale says.
    EXPECT_EQ(window_language(language_choice_from_text(ctx->ini.read(IniKey::Language))),
              Language::Japanese);

    // Back to what the window speaks now: nothing to tell.
    window->menu_action(cmd::LANGUAGE_ENGLISH)->trigger();
    EXPECT_EQ(ctx->ini.read(IniKey::Language), "English");
    window->menu_action(cmd::LANGUAGE_AUTOMATIC)->trigger();
    EXPECT_EQ(ctx->ini.read(IniKey::Language), "Automatic");
    EXPECT_EQ(host.messages.size(), 1u);
    // The other keys of the file are left as they were.
    std::string error;
    ASSERT_TRUE(ctx->ini.write(IniKey::SoundFileDir, "/music", error)) << error;
    window->menu_action(cmd::LANGUAGE_ENGLISH)->trigger();
    EXPECT_EQ(ctx->ini.read(IniKey::SoundFileDir), "/music");
}

TEST_F(EnglishWindow, AnIniFileThatCannotBeWrittenKeepsTheChoiceAndSaysSo) {
    // A folder where the file should be: the write fails whoever runs the test.
    std::filesystem::create_directories(ctx->ini.file());
    EXPECT_FALSE(window->dispatch(cmd::LANGUAGE_JAPANESE));
    EXPECT_EQ(checked_language(*window), LanguageChoice::Automatic);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.indexOf(QStringLiteral("could not be written")), -1)
        << host.messages[0].text.toStdString();
}

// The page the manual command hands to the desktop.
std::string opened_manual(MainWindow& window) {
    std::string opened;
    window.set_url_opener([&opened](const QUrl& url) {
        opened = url.toLocalFile().toStdString();
        return true;
    });
    window.dispatch(cmd::MANUAL);
    return std::filesystem::path(opened).filename().string();
}

TEST_F(EnglishWindow, OpensTheEnglishManualWhereThereIsOne) {
    EXPECT_EQ(opened_manual(*window), "index_en.html");
    // A manual without its English edition: the one page there is.
    const std::filesystem::path alone = dir.path() / "help" / "index.html";
    std::filesystem::create_directories(alone.parent_path());
    std::ofstream(alone) << "<html></html>";
    EXPECT_EQ(manual_page_for(alone, Language::English), alone);
    EXPECT_EQ(manual_page_for(alone, Language::Japanese), alone);
}

TEST_F(EnglishWindow, PlaylistFileFailuresAreToldInEnglish) {
    const std::filesystem::path bogus = dir.path() / "bogus.plt";
    std::ofstream(bogus) << "not a playlist";
    open_paths(*ctx, {bogus.string()});
    QCoreApplication::processEvents();  // the window shows its messages from the event loop
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.toStdString(),
              "This is not a playlist file.\n" + bogus.string());
}

TEST_F(EnglishWindow, SongsRefusedOnTheCommandLineAreToldInEnglish) {
    // A path longer than the playlist's path field: refused at start-up as at a drop.
    const std::string too_long = (dir.path() / (std::string(300, 'x') + ".wav")).string();
    open_paths(*ctx, {too_long});
    QCoreApplication::processEvents();
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].text.toStdString(),
              "1 files were not added because their paths are too long.\n"
              "(A path may have up to 255 bytes.)");
    EXPECT_EQ(host.messages[0].icon, MessageIcon::Warning);
}

TEST_F(JapaneseWindow, ShowsTheJapaneseMenusAndTooltips) {
    EXPECT_EQ(translator, nullptr);
    // Japanese captions carry their letters in the "(&F)" form, before an ellipsis.
    EXPECT_EQ(menu_titles(*window->menuBar()),
              (std::vector<std::string>{"ファイル(&F)", "パラメータ(&P)", "再生リスト(&L)",
                                        "エクスポート(&E)", "ヘルプ(&H)"}));
    expect_distinct_mnemonics(window->menuBar()->actions(), "menu bar");
    EXPECT_EQ(window->menu_action(cmd::ONAIR)->text().toStdString(), "ON AIR モード(&A)...");
    EXPECT_EQ(without_mnemonic(window->menu_action(cmd::BASS_EQ)->text()).toStdString(),
              "BASSブースト　ON/OFF");
    EXPECT_EQ(without_mnemonic(window->menu_action(cmd::USE_USER_PRESET_1)->text()).toStdString(),
              "プリセット１");
    EXPECT_EQ(tooltip_of(window->toolbar()->button(cmd::STOP)).toStdString(), "停止[SPACE]");
    // The messages stand as the design words them.
    EXPECT_EQ(window_text_language(), Language::Japanese);
    EXPECT_EQ(confirm_message(QString()).caption.toStdString(), "確認");
    EXPECT_EQ(save_user_preset_message(2).text.toStdString(),
              "ユーザープリセット２に現在のパラメータを保存しまず\nよろしいですか？");
    EXPECT_EQ(window->status_text(1).toStdString(), "リスト曲数： 0");
    EXPECT_EQ(opened_manual(*window), "index.html");
}

}  // namespace
}  // namespace zv
