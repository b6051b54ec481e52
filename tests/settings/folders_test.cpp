#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "settings/ini_settings.h"
#include "settings/program_folders.h"
#include "settings/state_file.h"
#include "settings/user_presets.h"
#include "tests/settings/test_support.h"

namespace zv {
namespace {

TEST(ProgramFolders, RunIdIsEightDigitsOfTheTime) {
    EXPECT_EQ(make_run_id(1765000000), "65000000");
    EXPECT_EQ(make_run_id(1200000042), "00000042");
    const std::string now = make_program_folders("/p").run_id;
    EXPECT_EQ(now.size(), 8u);
    EXPECT_EQ(now.find_first_not_of("0123456789"), std::string::npos);
}

TEST(ProgramFolders, EachProgramFolderUsesItsOwnFiles) {
    test::TempDir a, b;
    for (auto [dir, drive] : {std::pair{&a, 3.5}, std::pair{&b, 17.0}}) {
        OwnedProgramState st;
        ProgramState s = st.view();
        st.processor->params.settings.agc_drive_db = drive;
        ASSERT_TRUE(save_settings_file(s, dir->path() / "zvmp3.prf").ok);
    }
    for (auto [dir, drive] : {std::pair{&a, 3.5}, std::pair{&b, 17.0}}) {
        const ProgramFolders f = make_program_folders(choose_program_folder(dir->path(), "/"));
        EXPECT_EQ(f.start_folder, dir->path());
        EXPECT_EQ(state_file_path(f), f.start_folder / "zvmp3.prf");
        EXPECT_EQ(user_preset_path(f, 3), f.start_folder / "users" / "user_preset_3.zv3");
        EXPECT_EQ(temp_folder_path(f), f.start_folder / "tempwav");
        OwnedProgramState st;
        ProgramState s = st.view();
        ASSERT_EQ(load_settings_file(s, state_file_path(f), SettingsFileKind::State, nullptr),
                  LoadResult::Loaded);
        EXPECT_EQ(st.processor->params.settings.agc_drive_db, drive);
    }
}

TEST(UserPresets, SavingPresetTwoCreatesUsersAndTheFile) {
    test::TempDir dir;
    const ProgramFolders f{dir.path(), "00000001"};
    OwnedProgramState st;
    ProgramState s = st.view();
    st.processor->params.bands[4].gain_db = 21.0;
    ASSERT_FALSE(std::filesystem::exists(dir.path() / "users"));
    const SaveResult r = save_user_preset(s, f, 2);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(std::filesystem::file_size(dir.path() / "users" / "user_preset_2.zv3"), 1899u);
    EXPECT_FALSE(save_user_preset(s, f, 4).ok);

    OwnedProgramState other;
    ProgramState os = other.view();
    EXPECT_EQ(use_user_preset(os, f, 2, 44100, nullptr), LoadResult::Loaded);
    EXPECT_EQ(other.processor->params.bands[4].gain_db, 21.0);

    // users/ cannot be made when a plain file holds its name: the failure is reported.
    test::TempDir blocked;
    std::ofstream(blocked.path() / "users") << "x";
    EXPECT_FALSE(save_user_preset(s, ProgramFolders{blocked.path(), "1"}, 1).ok);
}

TEST(UserPresets, MissingPresetChangesNothingButRedoesTheRateSetup) {
    test::TempDir dir;
    const ProgramFolders f{dir.path(), "00000001"};
    OwnedProgramState st;
    ProgramState s = st.view();
    processor_startup(*st.processor);
    st.processor->params.bass_eq_rate_hz = 44100;
    SettingsBytes before = encode_settings(s);
    EXPECT_EQ(use_user_preset(s, f, 1, 48000, nullptr), LoadResult::Missing);
    EXPECT_EQ(st.processor->params.bass_eq_rate_hz, 48000.0);
    EXPECT_EQ(st.processor->state.sample_rate, 48000);
    test::put_f64(before, 552, 48000.0);  // the rate inside the stored bass EQ group
    EXPECT_EQ(encode_settings(s), before);
}

TEST(ProgramFolders, CleanTempFolderKeepsOnlySubFolders) {
    test::TempDir dir;
    const auto temp = dir.path() / "tempwav";
    std::filesystem::create_directories(temp / "sub");
    std::ofstream(temp / "a.wav") << "a";
    std::ofstream(temp / ".hidden") << "b";
    std::ofstream(temp / "sub" / "keep.wav") << "c";
    const TempCleanResult r = clean_temp_folder(temp);
    EXPECT_EQ(r.outcome, TempCleanOutcome::Cleaned);
    EXPECT_EQ(r.removed, 2);
    EXPECT_FALSE(temp_clean_left_alone(r));
    EXPECT_FALSE(std::filesystem::exists(temp / "a.wav"));
    EXPECT_FALSE(std::filesystem::exists(temp / ".hidden"));
    EXPECT_TRUE(std::filesystem::exists(temp / "sub" / "keep.wav"));
    EXPECT_EQ(clean_temp_folder(dir.path() / "missing").outcome, TempCleanOutcome::Missing);
}

// tempwav as a link: to a folder of the user's (its files must survive), to a file, dangling.
// Nothing is followed and nothing is deleted; the outcome says what was found.
TEST(ProgramFolders, CleanTempFolderNeverFollowsALink) {
    test::TempDir dir;
    const auto documents = dir.path() / "Documents";
    std::filesystem::create_directories(documents / "sub");
    std::ofstream(documents / "letter.txt") << "precious";
    std::ofstream(documents / "song.wav") << "precious";
    const auto temp = dir.path() / "tempwav";
    std::filesystem::create_directory_symlink(documents, temp);
    TempCleanResult r = clean_temp_folder(temp);
    EXPECT_EQ(r.outcome, TempCleanOutcome::Link);
    EXPECT_TRUE(temp_clean_left_alone(r));
    EXPECT_EQ(test::folder_listing(documents),
              (std::vector<std::string>{"letter.txt", "song.wav", "sub"}));
    // Through the exit path as well.
    const ProgramFolders f{dir.path(), "00000001"};
    OwnedProgramState st;
    ProgramState s = st.view();
    ASSERT_TRUE(save_state_at_exit(s, f, &r).ok);
    EXPECT_EQ(r.outcome, TempCleanOutcome::Link);
    EXPECT_TRUE(std::filesystem::exists(documents / "letter.txt"));
    EXPECT_TRUE(std::filesystem::is_symlink(temp));

    std::filesystem::remove(temp);
    std::filesystem::create_symlink(documents / "letter.txt", temp);
    EXPECT_EQ(clean_temp_folder(temp).outcome, TempCleanOutcome::Link);
    EXPECT_TRUE(std::filesystem::exists(documents / "letter.txt"));
    std::filesystem::remove(temp);
    std::filesystem::create_symlink(dir.path() / "nowhere", temp);
    EXPECT_EQ(clean_temp_folder(temp).outcome, TempCleanOutcome::Link);
    std::filesystem::remove(temp);
    std::ofstream(temp) << "a plain file named tempwav";
    EXPECT_EQ(clean_temp_folder(temp).outcome, TempCleanOutcome::NotAFolder);
    EXPECT_TRUE(std::filesystem::exists(temp));
}

// Inside a real tempwav, links are removed themselves: the files they name stay, and so does
// the folder a link to a folder names, whatever it holds.
TEST(ProgramFolders, CleanTempFolderRemovesLinksNotTheirTargets) {
    test::TempDir dir;
    const auto elsewhere = dir.path() / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    std::ofstream(elsewhere / "keep.wav") << "k";
    const auto temp = dir.path() / "tempwav";
    std::filesystem::create_directories(temp);
    std::filesystem::create_symlink(elsewhere / "keep.wav", temp / "file-link.wav");
    std::filesystem::create_directory_symlink(elsewhere, temp / "folder-link");
    std::filesystem::create_symlink(dir.path() / "nowhere", temp / "dangling");
    std::ofstream(temp / "old.wav") << "o";
    ASSERT_EQ(::mkfifo((temp / "fifo").c_str(), 0600), 0);
    const TempCleanResult r = clean_temp_folder(temp);
    EXPECT_EQ(r.outcome, TempCleanOutcome::Cleaned);
    EXPECT_EQ(r.removed, 4);
    EXPECT_EQ(test::folder_listing(temp), (std::vector<std::string>{"fifo"}));
    EXPECT_EQ(test::folder_listing(elsewhere), (std::vector<std::string>{"keep.wav"}));
}

TEST(ProgramFolders, ExitEmptiesTempwavThenSavesTheStateFile) {
    test::TempDir dir;
    const ProgramFolders f{dir.path(), "00000001"};
    std::filesystem::create_directories(temp_folder_path(f));
    std::ofstream(temp_folder_path(f) / "x.wav") << "x";
    OwnedProgramState st;
    ProgramState s = st.view();
    st.processor->params.switches.noise_gate = 1;
    TempCleanResult cleaned;
    ASSERT_TRUE(save_state_at_exit(s, f, &cleaned).ok);
    EXPECT_EQ(cleaned.removed, 1);
    EXPECT_TRUE(std::filesystem::is_empty(temp_folder_path(f)));

    OwnedProgramState next;
    ProgramState ns = next.view();
    processor_startup(*next.processor);
    EXPECT_EQ(load_state_file(ns, f, nullptr), LoadResult::Loaded);
    EXPECT_EQ(next.processor->params.switches.noise_gate, 1);
}

TEST(IniSettings, KeysDefaultToHomeAndPersistOnWrite) {
    test::TempDir dir;
    const IniSettings ini(dir.path() / "conf" / "zelmp3.ini");
    EXPECT_EQ(ini.read(IniKey::ParamFileDir), home_folder());
    std::string error;
    ASSERT_TRUE(ini.write(IniKey::ParamFileDir, "/music/set/a.zv3", error)) << error;
    ASSERT_TRUE(ini.write(IniKey::SelectFolderPath, std::string(300, 'd'), error)) << error;
    EXPECT_EQ(ini.read(IniKey::ParamFileDir), "/music/set/a.zv3");
    EXPECT_EQ(ini.read(IniKey::SelectFolderPath), std::string(259, 'd'));
    EXPECT_EQ(ini.read(IniKey::ListFileDir), home_folder());
    // The low-latency switch is no folder: missing reads as nothing (off).
    EXPECT_EQ(ini.read(IniKey::LowLatency), "");
    ASSERT_TRUE(ini.write(IniKey::LowLatency, LOW_LATENCY_ON_TEXT, error)) << error;
    EXPECT_EQ(ini.read(IniKey::LowLatency), LOW_LATENCY_ON_TEXT);
    // Separators of the INI syntax and non-ASCII names come back as written.
    const std::string odd = "/m/a, b; c=d \"e\" [f]/曲 1.zv3";
    ASSERT_TRUE(ini.write(IniKey::SoundFileDir, odd, error)) << error;
    EXPECT_EQ(ini.read(IniKey::SoundFileDir), odd);

    std::ifstream in(ini.file());
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("[ZelvonicMP3]"), std::string::npos);
    EXPECT_NE(text.find("ParamFileDir=/music/set/a.zv3"), std::string::npos);
    EXPECT_NE(text.find("LowLatency=1"), std::string::npos);

    // An INI file that cannot be written is reported.
    const IniSettings bad(ini.file() / "under-a-file.ini");
    EXPECT_FALSE(bad.write(IniKey::EncToolDir, "/x", error));
}

TEST(ProgramFolders, DefaultFolderAndIniFileLiveInTheConfigFolder) {
    const char* old_xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old_xdg ? old_xdg : "";
    setenv("XDG_CONFIG_HOME", "/tmp/cfg-test", 1);
    EXPECT_EQ(default_program_folder(), std::filesystem::path("/tmp/cfg-test/zelvonicmp3"));
    EXPECT_EQ(default_ini_file_path(),
              std::filesystem::path("/tmp/cfg-test/zelvonicmp3/zelmp3.ini"));
    setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
    EXPECT_EQ(default_program_folder(),
              std::filesystem::path(home_folder()) / ".config" / "zelvonicmp3");
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(default_ini_file_path(),
              std::filesystem::path(home_folder()) / ".config" / "zelvonicmp3" / "zelmp3.ini");
    EXPECT_EQ(ini_file_path(ProgramFolders{"/p", "1"}), std::filesystem::path("/p/zelmp3.ini"));
    if (old_xdg) {
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

// Only a folder the user names is used; a folder that holds a zvmp3.prf (and a tempwav link
// to its parent, as a downloaded "preset pack" might) is never adopted by starting in it.
TEST(ProgramFolders, OnlyANamedFolderIsUsed) {
    test::TempDir dir;
    const auto cwd = dir.path() / "pack";
    std::filesystem::create_directories(cwd);
    EXPECT_EQ(choose_program_folder({}, cwd), default_program_folder());
    std::ofstream(cwd / "zvmp3.prf") << "x";
    std::filesystem::create_directory_symlink("..", cwd / "tempwav");
    EXPECT_EQ(choose_program_folder({}, cwd), default_program_folder());
    // --folder (or --portable's folder); a relative one is taken from the current folder.
    EXPECT_EQ(choose_program_folder("/elsewhere", cwd), std::filesystem::path("/elsewhere"));
    EXPECT_EQ(choose_program_folder("rel", cwd), cwd / "rel");
    EXPECT_EQ(choose_program_folder(cwd, "/"), cwd);

    // The folder is made on first start, with its parents.
    std::string error;
    const auto fresh = dir.path() / "a" / "b" / "zelvonicmp3";
    ASSERT_TRUE(prepare_program_folder(fresh, error)) << error;
    EXPECT_TRUE(std::filesystem::is_directory(fresh));
    EXPECT_TRUE(prepare_program_folder(fresh, error));
    // A plain file in its place is refused with a reason.
    EXPECT_FALSE(prepare_program_folder(cwd / "zvmp3.prf", error));
    EXPECT_NE(error.find("zvmp3.prf"), std::string::npos);
}

}  // namespace
}  // namespace zv
