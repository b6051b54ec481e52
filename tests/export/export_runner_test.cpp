#include "export/export_runner.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <variant>

#include "export/mp3_convert.h"
#include "test_media.h"

namespace zv {
namespace {

// The window's side, scripted: answers, and what it was told.
struct ScriptedHost : ExportRunnerHost {
    ExportAgainAnswer again = ExportAgainAnswer::ExportAll;
    bool confirm_ok = true;
    std::vector<std::string> questions;
    std::vector<SongStart> starts;
    std::vector<int> selected_at_start;
    std::vector<bool> in_progress_at_start;
    std::vector<SongReport> done;
    std::function<void(int index, const ExportJob&)> on_block;
    const Playlist* playlist = nullptr;
    bool read_playlist = true;
    const ExportRunner* runner = nullptr;

    // The questions as short texts: "song:SOURCE>TARGET", "all:FOLDER", "again:FOLDER", with
    // "beside" for the sources' own folders.
    static std::string where(const ConfirmExportAll& a) {
        return a.beside_sources ? "beside" : a.folder;
    }
    ExportAgainAnswer ask_export_again(const ConfirmExportAll& a) override {
        questions.push_back("again:" + where(a));
        return again;
    }
    bool confirm(const ExportConfirmation& q) override {
        if (const auto* song = std::get_if<ConfirmExportSong>(&q)) {
            questions.push_back("song:" + song->source + ">" + song->target);
        } else {
            questions.push_back("all:" + where(std::get<ConfirmExportAll>(q)));
        }
        return confirm_ok;
    }
    void song_starting(const SongStart& s) override {
        starts.push_back(s);
        if (read_playlist)  // only with one job: workers write it meanwhile
            selected_at_start.push_back(playlist->selected_index);
        in_progress_at_start.push_back(runner->export_in_progress());
    }
    void song_done(const SongReport& r) override { done.push_back(r); }
    void job_block_done(int index, const ExportJob& job) override {
        if (on_block)
            on_block(index, job);
    }
};

class ExportRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        processor_startup(*processor);
        options.output_mp3 = 0;
        options.normalise_on_export = 0;
        ::mkdir((dir / "in").c_str(), 0755);
        ::mkdir((dir / "out").c_str(), 0755);
        ::mkdir((dir / "other").c_str(), 0755);
    }
    std::string wav(const std::string& name, size_t frames = 3000, int amplitude = 9000) {
        test::WavContent shape;
        shape.samples = test::test_signal(frames, 2, amplitude);
        std::string path = dir / name;
        test::write_bytes(path, test::make_wav_bytes(shape));
        return path;
    }
    // An MP3 made by the program's own encoder.
    std::string mp3(const std::string& name) {
        std::string w = wav(name + ".src.wav", 20000);
        std::string path = dir / name;
        ConvertFailure why;
        EXPECT_TRUE(encode_wav_to_mp3_builtin(w, path, 128, {}, why)) << why.text;
        std::filesystem::remove(w);
        return path;
    }
    void add(const std::string& path) {
        ASSERT_TRUE(was_added(add_song_file(*playlist, path, true))) << path;
    }
    ExportContext context() {
        return ExportContext{*playlist, *processor, options, encoder, throttle, temp};
    }
    ExportRunReport export_all(ScriptedHost& host, const std::string& folder,
                               ExportRunnerConfig config = {}) {
        ExportRunner runner(context(), host, config);
        host.playlist = playlist.get();
        host.runner = &runner;
        return runner.export_all(folder);
    }
    std::vector<int32_t> marks() const {
        return std::vector<int32_t>(playlist->song_mark.begin(),
                                    playlist->song_mark.begin() + playlist->song_count);
    }

    test::ScratchDir dir;
    std::unique_ptr<Playlist> playlist = std::make_unique<Playlist>();
    std::unique_ptr<Processor> processor = make_processor();
    ExportOptions options;
    EncoderSettings encoder;
    ThrottleSettings throttle;
    TempFolder temp{"00000042"};
};

TEST(ExportRunnerText, TimeDisplayShowsRowAndCount) {
    EXPECT_EQ(export_time_text(0, 12), " 0/12");
    EXPECT_EQ(export_time_text(11, 12), " 11/12");
}

TEST_F(ExportRunnerTest, ExportAllMarksRestoresSelectionAndConfirmsTheFolder) {
    add(wav("in/a.wav"));
    add(wav("in/b.wav"));
    add(wav("in/c.wav"));
    playlist->selected_index = 1;
    processor->params.test_channels = 0.0;
    ScriptedHost host;
    ExportRunReport r = export_all(host, dir / "out");
    ASSERT_EQ(r.count(SongOutcome::Exported), 3);
    EXPECT_FALSE(r.cancelled);
    ASSERT_EQ(host.questions.size(), 1u);
    EXPECT_EQ(host.questions[0], "all:" + dir / "out");
    EXPECT_EQ(marks(), (std::vector<int32_t>{MARK_EXPORTED, MARK_EXPORTED, MARK_EXPORTED}));
    EXPECT_EQ(host.selected_at_start, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(host.in_progress_at_start, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(playlist->selected_index, 1);
    EXPECT_EQ(processor->params.test_channels, 1.0);
    EXPECT_EQ(host.starts[2].position, 3);
    EXPECT_EQ(host.starts[2].planned, 3);
    EXPECT_EQ(host.starts[2].output, dir / "out/mm_c.wav");
    for (const char* name : {"out/mm_a.wav", "out/mm_b.wav", "out/mm_c.wav"})
        EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
}

TEST_F(ExportRunnerTest, SecondExportAllAsksAgainAndSkipsExportedAndFailedSongs) {
    add(wav("in/a.wav"));
    add(wav("in/b.wav"));
    ScriptedHost first;
    ASSERT_EQ(export_all(first, dir / "out").count(SongOutcome::Exported), 2);
    playlist->song_mark[1] = MARK_FAILED;
    add(wav("in/c.wav"));
    std::filesystem::remove_all(dir / "out");
    ::mkdir((dir / "out").c_str(), 0755);

    ScriptedHost cancel;
    cancel.again = ExportAgainAnswer::Cancel;
    ExportRunReport r = export_all(cancel, dir / "out");
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(r.songs.empty());
    EXPECT_EQ(cancel.questions, (std::vector<std::string>{"again:" + dir / "out"}));

    ScriptedHost skip;
    skip.again = ExportAgainAnswer::ExceptExported;
    r = export_all(skip, dir / "out");
    ASSERT_EQ(r.songs.size(), 1u);
    EXPECT_EQ(r.songs[0].index, 2);
    EXPECT_EQ(marks(), (std::vector<int32_t>{MARK_EXPORTED, MARK_FAILED, MARK_EXPORTED}));
    EXPECT_FALSE(std::filesystem::exists(dir / "out/mm_a.wav"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/mm_c.wav"));

    ScriptedHost all;
    all.again = ExportAgainAnswer::ExportAll;
    EXPECT_EQ(export_all(all, dir / "out").count(SongOutcome::Exported), 3);
    EXPECT_EQ(marks()[1], MARK_FAILED) << "a failed mark is never turned into exported";
}

TEST_F(ExportRunnerTest, DeclinedConfirmationExportsNothing) {
    add(wav("in/a.wav"));
    ScriptedHost host;
    host.confirm_ok = false;
    ExportRunReport r = export_all(host, dir / "out");
    EXPECT_TRUE(r.cancelled);
    EXPECT_TRUE(host.starts.empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
}

// The guards: a target never replaces a source, two songs never write one target.
TEST_F(ExportRunnerTest, RefusedSongsAreMarkedFailedAndTheRestGoOn) {
    const std::string own = wav("in/a.wav");
    const std::string x_mp3 = mp3("in/x.mp3");
    const std::string x_wav = wav("in/x.wav");
    const std::string other = wav("other/a.wav");  // exported onto in/a.wav with no affix
    add(own);
    add(x_mp3);
    add(x_wav);
    add(other);
    const std::vector<uint8_t> own_bytes = test::read_bytes(own);
    const std::vector<uint8_t> x_wav_bytes = test::read_bytes(x_wav);
    options.name_affix.fill('\0');  // Export All into the sources' own folder, no affix
    ScriptedHost host;
    ExportRunReport r = export_all(host, dir / "in");
    ASSERT_EQ(r.songs.size(), 4u);
    EXPECT_EQ(r.songs[0].outcome, SongOutcome::Refused);
    ASSERT_TRUE(r.songs[0].clash.has_value());
    EXPECT_EQ(r.songs[0].clash->kind, TargetClashKind::ReplacesItself);
    EXPECT_EQ(r.songs[0].clash->output, own);
    EXPECT_EQ(r.songs[1].outcome, SongOutcome::Refused) << "x.mp3 would become x.wav, a source";
    EXPECT_EQ(r.songs[2].outcome, SongOutcome::Refused);
    EXPECT_EQ(r.songs[3].outcome, SongOutcome::Refused);
    ASSERT_TRUE(r.songs[3].clash.has_value());
    EXPECT_EQ(r.songs[3].clash->kind, TargetClashKind::ReplacesSource);
    EXPECT_EQ(r.songs[3].clash->other, own);
    EXPECT_EQ(marks(), (std::vector<int32_t>(4, MARK_FAILED)));
    EXPECT_EQ(test::read_bytes(own), own_bytes);
    EXPECT_EQ(test::read_bytes(x_wav), x_wav_bytes);

    // Into another folder: x.mp3 and x.wav both become mm_x.wav; the first one wins.
    std::fill(playlist->song_mark.begin(), playlist->song_mark.end(), MARK_NONE);
    const char mm[] = "mm_";
    std::memcpy(options.name_affix.data(), mm, sizeof mm);
    ScriptedHost again;
    r = export_all(again, dir / "out");
    ASSERT_EQ(r.songs.size(), 4u);
    EXPECT_EQ(r.songs[0].outcome, SongOutcome::Exported);
    EXPECT_EQ(r.songs[1].outcome, SongOutcome::Exported);
    EXPECT_EQ(r.songs[1].output, dir / "out/mm_x.wav");
    EXPECT_EQ(r.songs[2].outcome, SongOutcome::Refused);
    ASSERT_TRUE(r.songs[2].clash.has_value());
    EXPECT_EQ(r.songs[2].clash->kind, TargetClashKind::SameOutput);
    EXPECT_EQ(r.songs[2].clash->output, dir / "out/mm_x.wav");
    EXPECT_EQ(r.songs[2].clash->other, x_mp3);
    EXPECT_EQ(r.songs[3].outcome, SongOutcome::Refused) << "other/a.wav is also mm_a.wav";
    EXPECT_EQ(marks(),
              (std::vector<int32_t>{MARK_EXPORTED, MARK_EXPORTED, MARK_FAILED, MARK_FAILED}));
    // Only a song written carries the loudness of what was written.
    for (const SongReport& song : r.songs) {
        EXPECT_EQ(song.loudness.has_value(), song.outcome == SongOutcome::Exported) << song.source;
    }
}

TEST_F(ExportRunnerTest, BesideTheSourcesAnEmptyAffixBecomesZel) {
    const std::string a = wav("in/a.wav");
    add(a);
    options.name_affix.fill('\0');
    options.save_to_source_folder = 1;
    ScriptedHost host;
    ExportRunReport r = export_all(host, "");
    ASSERT_EQ(r.count(SongOutcome::Exported), 1);
    EXPECT_EQ(host.questions[0], "all:beside");
    EXPECT_TRUE(std::filesystem::exists(dir / "in/zel_a.wav"));
    EXPECT_STREQ(options.name_affix.data(), "zel_");
    playlist->song_mark[0] = MARK_EXPORTED;
    ScriptedHost again;
    export_all(again, "");
    EXPECT_EQ(again.questions[0], "again:beside");
}

TEST_F(ExportRunnerTest, AnAffixThatIsNotAPlainNamePartIsRefused) {
    add(wav("in/a.wav"));
    for (const char* affix : {"../x_", "a/b", ".."}) {
        options.name_affix.fill('\0');
        std::memcpy(options.name_affix.data(), affix, std::strlen(affix));
        ScriptedHost host;
        ExportRunReport r = export_all(host, dir / "out");
        ASSERT_TRUE(r.refusal.has_value()) << affix;
        EXPECT_EQ(r.refusal->kind, ExportRefusalKind::AffixNotPlain);
        EXPECT_EQ(r.refusal->affix, affix);
        EXPECT_TRUE(host.questions.empty());
        EXPECT_TRUE(r.songs.empty());
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / "out"));
    EXPECT_FALSE(std::filesystem::exists(dir / "x_a.wav"));
}

TEST_F(ExportRunnerTest, EncoderFailureSwitchesTheRestToWav) {
    add(wav("in/a.wav"));
    add(wav("in/b.wav"));
    options.output_mp3 = 1;
    encoder.use_external_encoder = 1;
    const std::string prog = dir / "enc";
    std::ofstream(prog) << "#!/bin/sh\necho refusing; exit 3\n";
    ::chmod(prog.c_str(), 0755);
    std::strcpy(encoder.external_encoder_path.data(), prog.c_str());
    std::strcpy(encoder.external_encoder_params.data(), "%1 %2");
    ScriptedHost host;
    ExportRunReport r = export_all(host, dir / "out");
    ASSERT_EQ(r.songs.size(), 2u);
    EXPECT_EQ(r.songs[0].outcome, SongOutcome::Failed);
    EXPECT_TRUE(r.songs[0].switched_to_wav);
    EXPECT_NE(r.songs[0].reason.find("status 3"), std::string::npos) << r.songs[0].reason;
    EXPECT_EQ(r.songs[0].encoder_output, "refusing\n");
    EXPECT_EQ(r.songs[1].outcome, SongOutcome::Exported);
    EXPECT_EQ(r.songs[1].output, dir / "out/mm_b.wav");
    EXPECT_EQ(options.output_mp3, 0);
    EXPECT_EQ(marks(), (std::vector<int32_t>{MARK_FAILED, MARK_EXPORTED}));
    EXPECT_FALSE(std::filesystem::exists(dir / "out/mm_a.mp3"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out/mm_a.wav"));
}

TEST_F(ExportRunnerTest, CancellingTheSecondSongStopsTheLoop) {
    for (bool keep : {false, true}) {
        std::fill(playlist->song_mark.begin(), playlist->song_mark.end(), MARK_NONE);
        playlist->song_count = 0;
        std::filesystem::remove_all(dir / "out");
        ::mkdir((dir / "out").c_str(), 0755);
        add(wav("in/a.wav"));
        add(wav("in/b.wav", 5 * 16384));
        add(wav("in/c.wav"));
        ScriptedHost host;
        ExportRunner runner(context(), host, ExportRunnerConfig{1, keep, 0});
        host.playlist = playlist.get();
        host.runner = &runner;
        host.on_block = [&](int index, const ExportJob&) {
            if (index == 1)
                runner.cancel();
        };
        ExportRunReport r = runner.export_all(dir / "out");
        EXPECT_TRUE(r.cancelled);
        ASSERT_EQ(r.songs.size(), 2u);
        EXPECT_EQ(r.songs[1].outcome, SongOutcome::Cancelled);
        EXPECT_TRUE(r.songs[0].loudness.has_value());
        EXPECT_FALSE(r.songs[1].loudness.has_value());
        EXPECT_EQ(marks(), (std::vector<int32_t>{MARK_EXPORTED, MARK_NONE, MARK_NONE}));
        EXPECT_TRUE(std::filesystem::exists(dir / "out/mm_a.wav"));
        // The window keeps a cancelled song's blocks, a batch run leaves nothing.
        EXPECT_EQ(std::filesystem::exists(dir / "out/mm_b.wav"), keep);
        EXPECT_FALSE(std::filesystem::exists(dir / "out/mm_c.wav"));
        EXPECT_FALSE(runner.export_in_progress());
    }
}

TEST_F(ExportRunnerTest, ExportSongConfirmsAndLeavesTheMarkAlone) {
    const std::string a = wav("in/a.wav");
    add(wav("in/z.wav"));
    add(a);
    playlist->selected_index = 1;
    ScriptedHost host;
    ExportRunner runner(context(), host);
    host.playlist = playlist.get();
    host.runner = &runner;
    ExportRunReport r = runner.export_song(dir / "out/song");
    ASSERT_EQ(r.count(SongOutcome::Exported), 1) << (r.songs.empty() ? "" : r.songs[0].reason);
    EXPECT_EQ(host.questions[0], "song:" + a + ">" + dir / "out/song");
    EXPECT_EQ(r.songs[0].output, dir / "out/song.wav");
    EXPECT_EQ(marks(), (std::vector<int32_t>{MARK_NONE, MARK_NONE}));
    EXPECT_EQ(playlist->selected_index, 1);

    const std::vector<uint8_t> before = test::read_bytes(a);
    r = runner.export_song(a);
    ASSERT_EQ(r.songs.size(), 1u);
    EXPECT_EQ(r.songs[0].outcome, SongOutcome::Refused);
    EXPECT_EQ(marks()[1], MARK_FAILED);
    EXPECT_EQ(test::read_bytes(a), before);
}

// Several jobs at once, each with its own processor copy: the same files and marks as one.
TEST_F(ExportRunnerTest, ParallelJobsGiveTheSameFilesAsOne) {
    for (int k = 0; k < 5; ++k)
        add(wav("in/s" + std::to_string(k) + ".wav", 20000 + 7000 * static_cast<size_t>(k),
                3000 + 5000 * k));
    ::mkdir((dir / "two").c_str(), 0755);
    ScriptedHost one, two;
    two.read_playlist = false;
    ASSERT_EQ(export_all(one, dir / "out").count(SongOutcome::Exported), 5);
    std::fill(playlist->song_mark.begin(), playlist->song_mark.end(), MARK_NONE);
    ExportRunReport r = export_all(two, dir / "two", ExportRunnerConfig{3, false, 0});
    ASSERT_EQ(r.count(SongOutcome::Exported), 5);
    EXPECT_EQ(marks(), std::vector<int32_t>(5, MARK_EXPORTED));
    for (int k = 0; k < 5; ++k) {
        const std::string name = "/mm_s" + std::to_string(k) + ".wav";
        EXPECT_EQ(test::read_bytes(dir / "out" + name), test::read_bytes(dir / "two" + name))
            << name;
    }
}

}  // namespace
}  // namespace zv
