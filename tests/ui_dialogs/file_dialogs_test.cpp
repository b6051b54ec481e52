#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QRegularExpression>

#include <filesystem>
#include <fstream>

#include "dialog_test_support.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"
#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/file_dialogs.h"

namespace zv {
namespace {

namespace fs = std::filesystem;

void touch(const std::string& path) {
    std::ofstream(path) << "x";
}

struct FileDialogFixture : ::testing::Test {
    test::ScratchDir dir;
    IniSettings ini{dir / "zelmp3.ini"};
    test::ScriptedHost host;
    std::string read(IniKey k) { return ini.read(k); }
};

TEST_F(FileDialogFixture, KeysAreWrittenOnOkOnly) {
    fs::create_directory(dir / "lists");
    std::string error;
    ASSERT_TRUE(ini.write(IniKey::ListFileDir, dir / "lists/old.plt", error));
    touch(dir / "lists/a.plt");

    host.steps.push_back(test::cancel_dialog([&](QDialog& d) {
        // The dialog opens in the folder of the file chosen last time.
        EXPECT_EQ(static_cast<QFileDialog&>(d).directory().absolutePath().toStdString(),
                  dir / "lists");
    }));
    EXPECT_FALSE(choose_playlist_to_open(host, ini, nullptr));
    EXPECT_EQ(read(IniKey::ListFileDir), dir / "lists/old.plt");

    host.steps.push_back(test::choose_files({dir / "lists/a.plt"}));
    EXPECT_EQ(choose_playlist_to_open(host, ini, nullptr), dir / "lists/a.plt");
    EXPECT_EQ(read(IniKey::ListFileDir), dir / "lists/a.plt");
    // Another dialog's key is left alone.
    EXPECT_EQ(read(IniKey::ListFileSaveDir), home_folder());
}

TEST_F(FileDialogFixture, EachDialogHasItsFiltersSuffixAndMode) {
    struct Case {
        const char* name;
        std::function<bool()> run;
        QFileDialog::AcceptMode accept;
        QStringList filters;
        QString suffix;
        IniKey key;
    };
    const std::string target = dir / "new.out";
    auto ok = [&](auto r) { return static_cast<bool>(r); };
    const Case cases[] = {
        {"open playlist",
         [&] { return ok(choose_playlist_to_open(host, ini, nullptr)); },
         QFileDialog::AcceptOpen,
         {QStringLiteral("再生リストファイルを開く {*.plt} (*.[pP][lL][tT])"),
          QStringLiteral("全てのファイル {*.*} (*)")},
         QStringLiteral("plt"),
         IniKey::ListFileDir},
        {"save playlist",
         [&] { return ok(choose_playlist_to_save(host, ini, nullptr)); },
         QFileDialog::AcceptSave,
         {QStringLiteral("再生リストを保存 {*.plt} (*.[pP][lL][tT])"),
          QStringLiteral("全てのファイル {*.*} (*)")},
         QStringLiteral("plt"),
         IniKey::ListFileSaveDir},
        {"open params",
         [&] { return ok(choose_parameter_file_to_open(host, ini, nullptr)); },
         QFileDialog::AcceptOpen,
         {QStringLiteral("パラメータファイルを開く {*.zv3} (*.[zZ][vV]3)"),
          QStringLiteral("全てのファイル {*.*} (*)")},
         QStringLiteral("zv3"),
         IniKey::ParamFileDir},
        {"save params",
         [&] { return ok(choose_parameter_file_to_save(host, ini, nullptr)); },
         QFileDialog::AcceptSave,
         {QStringLiteral("パラメータファイルを保存 {*.zv3} (*.[zZ][vV]3)"),
          QStringLiteral("全てのファイル {*.*} (*)")},
         QStringLiteral("zv3"),
         IniKey::ParamFileSaveDir},
        {"export mp3",
         [&] { return ok(choose_export_file(host, ini, true, nullptr)); },
         QFileDialog::AcceptSave,
         {QStringLiteral("Output to WAV File {*.mp3} (*.[mM][pP]3)"),
          QStringLiteral("All files {*.*} (*)")},
         QStringLiteral("mp3"),
         IniKey::SoundFileExportDir},
        {"export wav",
         [&] { return ok(choose_export_file(host, ini, false, nullptr)); },
         QFileDialog::AcceptSave,
         {QStringLiteral("Output to WAV File {*.wav} (*.[wW][aA][vV])"),
          QStringLiteral("All files {*.*} (*)")},
         QStringLiteral("wav"),
         IniKey::SoundFileExportDir},
        {"export flac",
         [&] { return ok(choose_export_file(host, ini, ExportFormat::Flac, nullptr)); },
         QFileDialog::AcceptSave,
         {QStringLiteral("Output to FLAC File {*.flac} (*.[fF][lL][aA][cC])"),
          QStringLiteral("All files {*.*} (*)")},
         QStringLiteral("flac"),
         IniKey::SoundFileExportDir},
        {"export opus",
         [&] { return ok(choose_export_file(host, ini, ExportFormat::Opus, nullptr)); },
         QFileDialog::AcceptSave,
         {QStringLiteral("Output to Opus File {*.opus} (*.[oO][pP][uU][sS])"),
          QStringLiteral("All files {*.*} (*)")},
         QStringLiteral("opus"),
         IniKey::SoundFileExportDir},
    };
    for (const Case& c : cases) {
        host.steps.push_back(test::choose_files({target}, [&](QFileDialog& d) {
            EXPECT_EQ(d.acceptMode(), c.accept) << c.name;
            EXPECT_EQ(d.nameFilters(), c.filters) << c.name;
            EXPECT_EQ(d.defaultSuffix(), c.suffix) << c.name;
            EXPECT_TRUE(d.testOption(QFileDialog::DontUseNativeDialog));
            if (c.accept == QFileDialog::AcceptSave) {
                EXPECT_FALSE(d.testOption(QFileDialog::DontConfirmOverwrite)) << c.name;
            }
        }));
        if (c.accept == QFileDialog::AcceptOpen) {
            touch(target);
        } else {
            fs::remove(target);
        }
        EXPECT_TRUE(c.run()) << c.name;
        EXPECT_EQ(read(c.key), target) << c.name;
    }
}

TEST_F(FileDialogFixture, SongFilesRememberTheFileOrTheFolderOfSeveral) {
    touch(dir / "a.wav");
    touch(dir / "b.MP3");
    host.steps.push_back(test::choose_files({dir / "a.wav"}, [&](QFileDialog& d) {
        EXPECT_EQ(d.fileMode(), QFileDialog::ExistingFiles);
        EXPECT_EQ(d.nameFilters().value(0),
                  QStringLiteral("サウンドファイルを開く {*.wav;*.mp3;*.flac;*.ogg;*.oga;*.opus} "
                                 "(*.[wW][aA][vV] *.[mM][pP]3 *.[fF][lL][aA][cC] *.[oO][gG][gG] "
                                 "*.[oO][gG][aA] *.[oO][pP][uU][sS])"));
        EXPECT_EQ(
            d.nameFilters().value(1),
            QStringLiteral("WAV/MP3ファイルを開く {*.wav;*.mp3} (*.[wW][aA][vV] *.[mM][pP]3)"));
        EXPECT_EQ(d.defaultSuffix(), QStringLiteral("wav"));
    }));
    EXPECT_EQ(choose_song_files(host, ini, nullptr), std::vector<std::string>{dir / "a.wav"});
    EXPECT_EQ(read(IniKey::SoundFileDir), dir / "a.wav");

    host.steps.push_back(test::choose_files({"a.wav", "b.MP3"}, [&](QFileDialog& d) {
        d.setDirectory(QString::fromStdString(dir.path()));
    }));
    std::vector<std::string> two = choose_song_files(host, ini, nullptr);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1], dir / "b.MP3");
    EXPECT_EQ(read(IniKey::SoundFileDir), dir.path());

    host.steps.push_back(test::cancel_dialog());
    EXPECT_TRUE(choose_song_files(host, ini, nullptr).empty());
    EXPECT_EQ(read(IniKey::SoundFileDir), dir.path());
}

TEST_F(FileDialogFixture, FolderChooserStartsAtTheFolderChosenLast) {
    fs::create_directories(dir / "out/sub");
    std::string error;
    ASSERT_TRUE(ini.write(IniKey::SelectFolderPath, dir / "out", error));
    host.steps.push_back(test::choose_files({dir / "out/sub"}, [&](QFileDialog& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("出力フォルダを選択"));
        EXPECT_EQ(d.fileMode(), QFileDialog::Directory);
        EXPECT_EQ(d.directory().absolutePath().toStdString(), dir / "out");
    }));
    EXPECT_EQ(browse_for_folder(host, ini, nullptr, SELECT_FOLDER_TITLE), dir / "out/sub");
    EXPECT_EQ(read(IniKey::SelectFolderPath), dir / "out/sub");
    host.steps.push_back(test::cancel_dialog());
    EXPECT_FALSE(browse_for_folder(host, ini, nullptr, SELECT_FOLDER_TITLE));
    EXPECT_EQ(read(IniKey::SelectFolderPath), dir / "out/sub");
}

TEST(FileDialogRules, InitialFolderAndPatterns) {
    test::ScratchDir dir;
    fs::create_directory(dir / "f");
    EXPECT_EQ(initial_folder(dir / "f"), dir / "f");
    EXPECT_EQ(initial_folder(dir / "f/gone.plt"), dir / "f");
    EXPECT_EQ(initial_folder(dir / "nowhere/x/y.plt"), home_folder());
    EXPECT_EQ(initial_folder(""), home_folder());
    EXPECT_EQ(initial_folder("c:\\"), home_folder());  // an INI file from the old days

    const QString pattern = QString::fromStdString(case_insensitive_pattern("*.wav"));
    const QRegularExpression re(QRegularExpression::wildcardToRegularExpression(pattern));
    for (const char* name : {"a.wav", "B.WAV", "c.Wav"}) {
        EXPECT_TRUE(re.match(QString::fromUtf8(name)).hasMatch()) << name;
    }
    EXPECT_FALSE(re.match(QStringLiteral("a.wave")).hasMatch());
    EXPECT_FALSE(re.match(QStringLiteral("a.mp3")).hasMatch());
}

}  // namespace
}  // namespace zv
