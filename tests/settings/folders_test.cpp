#include <gtest/gtest.h>
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

// Runs the body with the current directory set to dir, restoring it afterwards.
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::filesystem::path& dir)
        : old_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~ScopedCurrentDir() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

TEST(ProgramFolders, RunIdIsEightDigitsOfTheTime) {
    EXPECT_EQ(make_run_id(1765000000), "65000000");
    EXPECT_EQ(make_run_id(1200000042), "00000042");
    const std::string now = make_program_folders().run_id;
    EXPECT_EQ(now.size(), 8u);
    EXPECT_EQ(now.find_first_not_of("0123456789"), std::string::npos);
}

TEST(ProgramFolders, EachStartFolderUsesItsOwnFiles) {
    test::TempDir a, b;
    for (auto [dir, drive] : {std::pair{&a, 3.5}, std::pair{&b, 17.0}}) {
        OwnedProgramState st;
        ProgramState s = st.view();
        st.processor->params.settings.agc_drive_db = drive;
        ASSERT_TRUE(save_settings_file(s, dir->path() / "zvmp3.prf").ok);
    }
    for (auto [dir, drive] : {std::pair{&a, 3.5}, std::pair{&b, 17.0}}) {
        ScopedCurrentDir cd(dir->path());
        const ProgramFolders f = make_program_folders();
        EXPECT_EQ(std::filesystem::canonical(f.start_folder),
                  std::filesystem::canonical(dir->path()));
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
    EXPECT_EQ(clean_temp_folder(temp), 2);
    EXPECT_FALSE(std::filesystem::exists(temp / "a.wav"));
    EXPECT_FALSE(std::filesystem::exists(temp / ".hidden"));
    EXPECT_TRUE(std::filesystem::exists(temp / "sub" / "keep.wav"));
    EXPECT_EQ(clean_temp_folder(dir.path() / "missing"), 0);
}

TEST(ProgramFolders, ExitEmptiesTempwavThenSavesTheStateFile) {
    test::TempDir dir;
    const ProgramFolders f{dir.path(), "00000001"};
    std::filesystem::create_directories(temp_folder_path(f));
    std::ofstream(temp_folder_path(f) / "x.wav") << "x";
    OwnedProgramState st;
    ProgramState s = st.view();
    st.processor->params.switches.noise_gate = 1;
    ASSERT_TRUE(save_state_at_exit(s, f).ok);
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

TEST(ProgramFolders, OptionThenPortableFolderThenDefault) {
    test::TempDir dir;
    const auto cwd = dir.path() / "cwd";
    std::filesystem::create_directories(cwd);
    // Nothing in the current folder: the default program folder.
    EXPECT_EQ(choose_program_folder({}, cwd), default_program_folder());
    // A folder that already holds the state file is a portable set-up.
    std::ofstream(cwd / "zvmp3.prf") << "x";
    EXPECT_EQ(choose_program_folder({}, cwd), cwd);
    // --folder wins over both; a relative one is taken from the current folder.
    EXPECT_EQ(choose_program_folder("/elsewhere", cwd), std::filesystem::path("/elsewhere"));
    EXPECT_EQ(choose_program_folder("rel", cwd), cwd / "rel");

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
