// Export Song and Export All as a user runs them from the window: the option dialog, the save
// dialog or the folder chooser, the questions, and the progress dialog whose job runs on its
// worker while the panel follows it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "settings/encoder_trust.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"
#include "tests/ui/window_fixture.h"
#include "ui/command_ids.h"
#include "ui/dialogs/export_again_dialog.h"
#include "ui/dialogs/export_options_dialog.h"
#include "ui/dialogs/export_progress_dialog.h"
#include "ui/dialogs/messages.h"

namespace zv {
namespace {

namespace fs = std::filesystem;
using test::ScriptedHost;
using test::WindowTest;

// The option dialog answered with OK: WAV or MP3 at a bitrate, without normalising (so the
// exports are quick), and for Export All the affix and the beside-the-source choice.
ScriptedHost::Step options(bool mp3, const char* bitrate = "128", const char* affix = nullptr,
                           bool beside = false) {
    return [=](QDialog& d) {
        auto* o = qobject_cast<ExportOptionsDialog*>(&d);
        if (o == nullptr) {
            ADD_FAILURE() << "not the export option dialog";
            return int(QDialog::Rejected);
        }
        (mp3 ? o->mp3_radio() : o->wav_radio())->setChecked(true);
        o->bitrate_edit()->setText(QString::fromLatin1(bitrate));
        o->normalise_check()->setChecked(false);
        if (affix != nullptr) {
            o->affix_edit()->setText(QString::fromLatin1(affix));
        }
        if (o->source_folder_check() != nullptr) {
            o->source_folder_check()->setChecked(beside);
        }
        o->accept();
        return o->result();
    };
}

// Runs the progress dialog for real and checks what the panel shows meanwhile.
ScriptedHost::Step progress(const std::function<void(ExportProgressDialog&)>& check = {}) {
    return [check](QDialog& d) {
        auto* p = qobject_cast<ExportProgressDialog*>(&d);
        if (p == nullptr) {
            ADD_FAILURE() << "not the export progress dialog";
            return int(QDialog::Rejected);
        }
        if (check) {
            check(*p);
        }
        return d.exec();
    };
}

TEST_F(WindowTest, ExportSongWritesTheChosenFileAndRemembersItsFolder) {
    add_songs({{"a.wav", 0.5}, {"b.wav", 0.5}});
    run_command(*ctx, cmd::CHOOSE_NEXT);
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    host.steps.push_back(options(false));
    host.steps.push_back(test::choose_files({(out / "mine.wav").string()}));
    host.answers.push_back(MessageAnswer::Ok);  // the confirmation
    bool in_progress_seen = false;
    host.steps.push_back(progress([&](ExportProgressDialog&) {
        in_progress_seen = ctx->export_in_progress;
        // The panel's time display shows the row being exported and the count.
        EXPECT_EQ(time_display_text(ctx->display_inputs()), " 1/2");
    }));
    EXPECT_TRUE(window->dispatch(cmd::EXPORT_SONG));

    EXPECT_TRUE(in_progress_seen);
    EXPECT_FALSE(ctx->export_in_progress);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption.toStdString(), "確認");
    EXPECT_EQ(host.messages[0].icon, MessageIcon::Question);
    EXPECT_NE(host.messages[0].text.indexOf(QString::fromStdString((out / "mine.wav").string())),
              -1);
    // 0.5 s of 16-bit stereo at 44.1 kHz behind a 44-byte header.
    EXPECT_EQ(fs::file_size(out / "mine.wav"), 44u + 22050u * 4u);
    EXPECT_EQ(ctx->playlist->song_mark[1], MARK_NONE);  // Export Song leaves the marks
    EXPECT_EQ(ctx->playlist->selected_index, 1);
    EXPECT_EQ(ctx->export_options.output_mp3, 0);
    EXPECT_EQ(ctx->ini.read(IniKey::SoundFileExportDir), (out / "mine.wav").string());
    EXPECT_TRUE(host.steps.empty());
}

TEST_F(WindowTest, ExportSongStopsAtEachCancelAndNeverReplacesItsSource) {
    add_songs({{"a.wav", 0.2}});
    const fs::path source = dir.path() / "a.wav";
    const auto size = fs::file_size(source);
    // Cancel in the option dialog: no file dialog follows; the options stay.
    ctx->export_options.output_mp3 = 1;
    host.steps.push_back(test::cancel_dialog(
        [](QDialog& d) { static_cast<ExportOptionsDialog&>(d).wav_radio()->setChecked(true); }));
    EXPECT_FALSE(window->dispatch(cmd::EXPORT_SONG));
    EXPECT_EQ(ctx->export_options.output_mp3, 1);
    EXPECT_TRUE(host.steps.empty());
    // Cancel at the confirmation: nothing is written.
    host.steps.push_back(options(false));
    host.steps.push_back(test::choose_files({(dir.path() / "x.wav").string()}));
    host.answers.push_back(MessageAnswer::Cancel);
    EXPECT_FALSE(window->dispatch(cmd::EXPORT_SONG));
    EXPECT_FALSE(fs::exists(dir.path() / "x.wav"));
    // The song's own file as target: refused before any work, told, the song marked failed.
    host.messages.clear();
    host.steps.push_back(options(false));
    // (the user says yes to the file dialog's own replace question)
    host.steps.push_back(test::choose_files(
        {source.string()}, [](QFileDialog& d) { d.setOption(QFileDialog::DontConfirmOverwrite); }));
    host.answers.push_back(MessageAnswer::Ok);
    window->dispatch(cmd::EXPORT_SONG);
    EXPECT_EQ(fs::file_size(source), size);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[1].icon, MessageIcon::Warning);
    EXPECT_NE(host.messages[1].text.indexOf(QString::fromStdString(source.string())), -1);
    EXPECT_EQ(ctx->playlist->song_mark[0], MARK_FAILED);
    EXPECT_TRUE(host.steps.empty());
}

TEST_F(WindowTest, ExportAllMarksTheSongsAndAsksBeforeExportingAgain) {
    add_songs({{"a.wav", 0.3}, {"b.wav", 0.3}, {"c.wav", 0.3}});
    run_command(*ctx, cmd::CHOOSE_NEXT);
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    host.steps.push_back(options(true, "100", "mm_"));
    host.steps.push_back(test::choose_files({out.string()}));
    host.answers.push_back(MessageAnswer::Ok);
    std::vector<std::string> times;
    for (int i = 0; i < 3; ++i) {
        host.steps.push_back(progress([&](ExportProgressDialog&) {
            times.push_back(time_display_text(ctx->display_inputs()));
        }));
    }
    EXPECT_TRUE(window->dispatch(cmd::EXPORT_ALL));
    EXPECT_EQ(times, (std::vector<std::string>{" 0/3", " 1/3", " 2/3"}));
    EXPECT_EQ(ctx->encoder.mp3_bitrate_kbps, 112);  // 100 rounds up to the list
    for (const char* name : {"mm_a.mp3", "mm_b.mp3", "mm_c.mp3"}) {
        EXPECT_GT(fs::file_size(out / name), 1000u) << name;
    }
    EXPECT_FALSE(fs::exists(out / "mm_a.wav"));  // the processed WAV is a working file
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ctx->playlist->song_mark[static_cast<size_t>(i)], MARK_EXPORTED) << i;
    }
    EXPECT_EQ(ctx->playlist->selected_index, 1);  // restored
    EXPECT_FALSE(ctx->export_in_progress);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text.toStdString(),
              "フォルダ[ " + out.string() + " ]にファイルを出力します。\n\nよろしいですか？");
    // The run ends with the loudness of every song written, a line each.
    const std::string summary = host.messages[1].text.toStdString();
    EXPECT_EQ(host.messages[1].icon, MessageIcon::None);
    for (const char* name : {"mm_a.mp3", "mm_b.mp3", "mm_c.mp3"}) {
        EXPECT_NE(summary.find((out / name).string() + ": "), std::string::npos) << summary;
    }
    EXPECT_EQ(std::count(summary.begin(), summary.end(), '\n'), 4) << summary;
    EXPECT_NE(summary.find(" LUFS, range "), std::string::npos) << summary;

    // Again: the export-again question shows the folder; "except exported" leaves nothing.
    host.steps.push_back(options(true));
    host.steps.push_back(test::choose_files({out.string()}));
    host.steps.push_back([&](QDialog& d) {
        auto* again = qobject_cast<ExportAgainDialog*>(&d);
        EXPECT_NE(again, nullptr);
        if (again != nullptr) {
            EXPECT_EQ(again->folder_field()->text().toStdString(), out.string());
            again->new_only_button()->click();
        }
        return d.result();
    });
    const auto before = host.dialogs.size();
    window->dispatch(cmd::EXPORT_ALL);
    EXPECT_EQ(host.dialogs.size(), before + 3);  // no progress dialog
    EXPECT_TRUE(host.steps.empty());
}

TEST_F(WindowTest, ExportAllBesideTheSourcesKeepsThemAndTellsFailures) {
    add_songs({{"a.wav", 0.2}, {"b.wav", 0.2}});
    // A song whose file went away after it was added fails; the other is written.
    fs::remove(dir.path() / "b.wav");
    host.steps.push_back(options(false, "128", "", true));  // no folder chooser
    host.answers.push_back(MessageAnswer::Ok);
    host.steps.push_back(progress());
    host.steps.push_back(progress());
    window->dispatch(cmd::EXPORT_ALL);
    EXPECT_TRUE(fs::exists(dir.path() / "zel_a.wav"));  // the empty affix became "zel_"
    EXPECT_TRUE(fs::exists(dir.path() / "a.wav"));
    EXPECT_EQ(std::string(ctx->export_options.name_affix.data()), "zel_");
    EXPECT_EQ(ctx->playlist->song_mark[0], MARK_EXPORTED);
    EXPECT_EQ(ctx->playlist->song_mark[1], MARK_FAILED);
    ASSERT_EQ(host.messages.size(), 3u);  // the question, the failure, the loudness
    EXPECT_EQ(host.messages[0].text.toStdString(),
              "元のファイルと同じフォルダにファイルを出力します。\n\nよろしいですか？");
    // One message at the end names the song that failed.
    EXPECT_EQ(host.messages[1].icon, MessageIcon::Warning);
    EXPECT_NE(
        host.messages[1].text.indexOf(QString::fromStdString((dir.path() / "b.wav").string())), -1);
    EXPECT_TRUE(host.steps.empty());
}

TEST_F(WindowTest, AnEncoderThatFailsTurnsTheRestToWavAndSaysSo) {
    add_songs({{"a.wav", 0.2}, {"b.wav", 0.2}});
    ctx->encoder.use_external_encoder = 1;
    const std::string program = "/bin/false", params = "%1 %2";
    std::copy(program.begin(), program.end(), ctx->encoder.external_encoder_path.begin());
    std::copy(params.begin(), params.end(), ctx->encoder.external_encoder_params.begin());
    std::string error;
    ASSERT_TRUE(confirm_encoder(ctx->ini, ctx->encoder, error)) << error;
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    host.steps.push_back(options(true));
    host.steps.push_back(test::choose_files({out.string()}));
    host.answers.push_back(MessageAnswer::Ok);
    host.steps.push_back(progress());
    host.steps.push_back(progress());
    window->dispatch(cmd::EXPORT_ALL);
    EXPECT_EQ(ctx->export_options.output_mp3, 0);
    EXPECT_EQ(ctx->playlist->song_mark[0], MARK_FAILED);
    EXPECT_FALSE(fs::exists(out / "mm_a.mp3"));
    EXPECT_TRUE(fs::exists(out / "mm_b.wav"));  // the second song as WAV
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_NE(host.messages[1].text.indexOf(QString::fromUtf8(TEXT_SWITCHED_TO_WAV)), -1);
}

TEST_F(WindowTest, CancellingTheSecondSongStopsExportAll) {
    add_songs({{"a.wav", 0.2}, {"b.wav", 8.0}, {"c.wav", 0.2}});
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    host.steps.push_back(options(false));
    host.steps.push_back(test::choose_files({out.string()}));
    host.answers.push_back(MessageAnswer::Ok);
    host.steps.push_back(progress());
    // The second song: Cancel as soon as its first block is done; the dialog waits for the
    // job to stop and ends with 0.
    host.steps.push_back([](QDialog& d) {
        auto* p = qobject_cast<ExportProgressDialog*>(&d);
        QObject::connect(p, &ExportProgressDialog::block_processed, p,
                         [p] { QTest::mouseClick(p->cancel_button(), Qt::LeftButton); });
        const int result = d.exec();
        EXPECT_EQ(result, 0);
        return result;
    });
    window->dispatch(cmd::EXPORT_ALL);
    EXPECT_EQ(ctx->playlist->song_mark[0], MARK_EXPORTED);
    EXPECT_EQ(ctx->playlist->song_mark[1], MARK_NONE);
    EXPECT_EQ(ctx->playlist->song_mark[2], MARK_NONE);
    // Nothing of the cancelled song under its name, no part file; the first song stays.
    EXPECT_EQ(test::folder_listing(out), (std::vector<std::string>{"mm_a.wav"}));
    EXPECT_TRUE(host.steps.empty());  // no third dialog
    // The dialog's ending says so.
    const BoxMessage said = export_cancelled_message((out / "mm_b.wav").string());
    EXPECT_TRUE(std::any_of(host.messages.begin(), host.messages.end(),
                            [&](const BoxMessage& m) { return m.text == said.text; }));
}

// Cancel of a long song exported to MP3 leaves nothing under the target's name: not a short
// MP3 that passes for the whole song, not a part file.
TEST_F(WindowTest, ACancelledMp3ExportLeavesNothingAndSaysSo) {
    add_songs({{"long.wav", 8.0}});
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    host.steps.push_back(options(true));
    host.steps.push_back(test::choose_files({(out / "long.mp3").string()}));
    host.answers.push_back(MessageAnswer::Ok);
    host.steps.push_back([](QDialog& d) {
        auto* p = qobject_cast<ExportProgressDialog*>(&d);
        QObject::connect(p, &ExportProgressDialog::block_processed, p,
                         [p] { QTest::mouseClick(p->cancel_button(), Qt::LeftButton); });
        return d.exec();
    });
    window->dispatch(cmd::EXPORT_SONG);
    EXPECT_TRUE(test::folder_listing(out).empty()) << test::folder_listing(out).front();
    ASSERT_EQ(host.messages.size(), 2u);  // the confirmation, then the ending
    EXPECT_EQ(host.messages[1].text, export_cancelled_message((out / "long.mp3").string()).text);
    EXPECT_EQ(ctx->playlist->song_mark[0], MARK_NONE);
}

// A WAV put into the slot of a tagged MP3 (Remove All, then a drop) exports to an MP3 that
// carries none of that song's tag: only the encoder's mark.
TEST_F(WindowTest, AWavInTheSlotOfATaggedMp3ExportsWithoutItsTag) {
    const fs::path tagged = dir.path() / "tagged.mp3";
    fs::copy_file(test::fixture("cbr128_id3v1v2.mp3"), tagged);
    window->drop_files({tagged.string()});
    ASSERT_EQ(ctx->playlist->song_count, 1);
    ASSERT_EQ(ctx->playlist->tags[0].title(), "Fixture Song");
    window->dispatch(cmd::REMOVE_ALL);
    ASSERT_EQ(ctx->playlist->song_count, 0);
    add_songs({{"plain.wav", 0.3}});
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    host.steps.push_back(options(true));
    host.steps.push_back(test::choose_files({out.string()}));
    host.answers.push_back(MessageAnswer::Ok);
    host.steps.push_back(progress());
    window->dispatch(cmd::EXPORT_ALL);
    // An untagged song gets no ID3v1 tag at all, so the file ends in audio, not "TAG".
    const std::vector<uint8_t> mp3 = test::read_bytes(out / "mm_plain.mp3");
    ASSERT_GT(mp3.size(), 128u);
    Id3v1Tag tail;
    std::copy(mp3.end() - 128, mp3.end(), tail.bytes.begin());
    EXPECT_FALSE(tail.present()) << "ends with the tag of " << tail.title();
    const std::string text(mp3.begin(), mp3.end());
    EXPECT_EQ(text.find("Fixture Song"), std::string::npos);
}

// An external encoder that came with the state file (or a user preset) runs only once this
// program folder has its program and parameter line confirmed; Cancel exports with the
// built-in encoder and keeps it. The encoder settings dialog's OK confirms too.
TEST_F(WindowTest, AnExternalEncoderRunsOnlyOnceConfirmed) {
    add_songs({{"a.wav", 0.2}});
    const fs::path marker = dir.path() / "encoder-ran";
    const fs::path program = dir.path() / "encoder";
    std::ofstream(program) << "#!/bin/sh\necho ran >>'" << marker.string()
                           << "'\nexec cp \"$1\" \"$2\"\n";
    fs::permissions(program, fs::perms::owner_all);
    const std::string program_path = program.string();
    auto bring = [&](const std::string& params) {
        ctx->encoder.use_external_encoder = 1;
        ctx->encoder.external_encoder_path.fill('\0');
        ctx->encoder.external_encoder_params.fill('\0');
        std::copy(program_path.begin(), program_path.end(),
                  ctx->encoder.external_encoder_path.begin());
        std::copy(params.begin(), params.end(), ctx->encoder.external_encoder_params.begin());
    };
    int exports = 0;
    auto export_song = [&](std::vector<MessageAnswer> answers) {
        host.messages.clear();
        host.steps.push_back(options(true));
        // A new name each time: the save dialog would ask before replacing a file.
        const std::string name = "x" + std::to_string(++exports) + ".mp3";
        host.steps.push_back(test::choose_files({(dir.path() / name).string()}));
        for (MessageAnswer a : answers) {
            host.answers.push_back(a);
        }
        host.steps.push_back(progress());
        window->dispatch(cmd::EXPORT_SONG);
        EXPECT_TRUE(host.steps.empty());
    };
    bring("%1 %2");
    // The question, answered Cancel, then the export's confirmation: the built-in encoder.
    export_song({MessageAnswer::Cancel, MessageAnswer::Ok});
    ASSERT_GE(host.messages.size(), 1u);
    EXPECT_NE(host.messages[0].text.indexOf(QString::fromStdString(program.string())), -1);
    EXPECT_TRUE(host.messages[0].default_is_negative);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_TRUE(fs::exists(dir.path() / "x1.mp3"));
    EXPECT_EQ(ctx->encoder.use_external_encoder, 0);
    // Asked again and answered OK: it runs, and is confirmed from now on.
    bring("%1 %2");
    export_song({MessageAnswer::Ok, MessageAnswer::Ok});
    EXPECT_TRUE(fs::exists(marker));
    export_song({MessageAnswer::Ok});
    EXPECT_EQ(host.messages.size(), 1u) << "only the export's confirmation";
    // Another parameter line is another encoder.
    bring("%1 %2 -q");
    export_song({MessageAnswer::Cancel, MessageAnswer::Ok});
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(ctx->encoder.use_external_encoder, 0);
    // The settings dialog's OK confirms what it shows.
    bring("%1 %2 -q");
    host.steps.push_back([](QDialog& d) {
        d.accept();
        return d.result();
    });
    window->dispatch(cmd::EXTERNAL_ENCODER_SETTINGS);
    export_song({MessageAnswer::Ok});
    EXPECT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(ctx->encoder.use_external_encoder, 1);
}

// Continuous play's next-song timer, armed when a song has just ended, must not start a song
// while the export's, peak or playlist dialogs are up: a job would share the processor or the
// list with playback, or the list would be replaced under a playing song.
TEST_F(WindowTest, TheNextSongWaitsWhileJobAndPlaylistDialogsAreUp) {
    add_songs({{"a.wav", 0.2}, {"b.wav", 0.2}});
    window->menu_action(cmd::CONTINUOUS_PLAYBACK)->trigger();
    ASSERT_TRUE(run_command(*ctx, cmd::PLAY));
    play_out();
    ASSERT_TRUE(ctx->driver.timer_armed(TIMER_NEXT_SONG));
    for (int id : {cmd::EXPORT_SONG, cmd::PEAK_LEVEL, cmd::OPEN_PLAYLIST}) {
        ctx->driver.set_timer(TIMER_NEXT_SONG, 1000);
        host.steps.push_back([this](QDialog& d) {
            QTest::qWait(1300);  // longer than the timer's second
            EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
            d.reject();
            return d.result();
        });
        window->dispatch(id);
        EXPECT_FALSE(ctx->driver.timer_armed(TIMER_NEXT_SONG)) << id;
    }
    EXPECT_EQ(ctx->engine->engine_state, ENGINE_IDLE);
}

// While a song is exported the panel repaints with the export's meters (the job's worker
// writes the processor meanwhile; ThreadSanitizer watches this test).
TEST_F(WindowTest, ThePanelRepaintsWithTheExportsMetersWhileItRuns) {
    add_songs({{"a.wav", 3.0}});
    ctx->meters = MeterModel{};
    host.steps.push_back(options(false));
    host.steps.push_back(test::choose_files({(dir.path() / "x.wav").string()}));
    host.answers.push_back(MessageAnswer::Ok);
    int paints = 0;
    double peak = 0;
    host.steps.push_back([&](QDialog& d) {
        auto* panel = window->panel();
        auto counter = QObject::connect(panel, &PanelWidget::painted, [&] {
            ++paints;
            peak = std::max(peak, ctx->meters.held().output_peak_l);
        });
        auto* p = qobject_cast<ExportProgressDialog*>(&d);
        // Each block is laid on the panel's meters before the panel is repainted; slow the
        // job a little so the loop sees several blocks.
        p->throttle_check()->setChecked(true);
        const int result = d.exec();
        QObject::disconnect(counter);
        return result;
    });
    EXPECT_TRUE(window->dispatch(cmd::EXPORT_SONG));
    EXPECT_GT(paints, 0);
    EXPECT_GT(peak, 1000.0);  // the tone's level, not silence
}

// The export's working folder: start-up removes those of runs that died (and no other); the
// run's own is made in the temp base on the first export and goes with the program.
TEST_F(WindowTest, StartUpRemovesTheWorkingFoldersOfDeadRunsOnly) {
    const fs::path base = dir.path() / "tmp";
    fs::create_directories(base);
    const pid_t dead = ::fork();
    if (dead == 0) {
        ::_exit(0);
    }
    ASSERT_GT(dead, 0);
    ::waitpid(dead, nullptr, 0);
    const fs::path stale = base / ("zvmp3-" + std::to_string(dead) + "-Ab12Cd");
    const fs::path live = base / ("zvmp3-" + std::to_string(::getppid()) + "-Ef34Gh");
    const fs::path other = base / "zvmp3-notes";
    for (const fs::path& p : {stale, live, other}) {
        fs::create_directories(p / "sub");
    }
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("TMPDIR", base.c_str(), 1);
    window.reset();
    ctx.reset();
    SetUp();
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other));

    add_songs({{"a.wav", 0.2}});
    host.steps.push_back(options(false));
    host.steps.push_back(test::choose_files({(dir.path() / "x.wav").string()}));
    host.answers.push_back(MessageAnswer::Ok);
    fs::path working;
    host.steps.push_back(progress([&](ExportProgressDialog&) {
        for (const auto& e : fs::directory_iterator(base)) {
            if (e.path().filename().string().rfind("zvmp3-" + std::to_string(::getpid()), 0) == 0) {
                working = e.path();
            }
        }
    }));
    window->dispatch(cmd::EXPORT_SONG);
    EXPECT_TRUE(fs::exists(dir.path() / "x.wav"));
    EXPECT_FALSE(working.empty());
    window.reset();
    ctx.reset();
    EXPECT_FALSE(fs::exists(working));
    if (old != nullptr) {
        ::setenv("TMPDIR", saved.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

// The progress dialog's loop left while its job runs, as when the program quits on SIGTERM: the
// song is stopped and waited for, and no further song starts.
TEST_F(WindowTest, ALoopLeftBeforeTheJobsEndStopsTheRun) {
    add_songs({{"a.wav", 8.0}, {"b.wav", 0.2}});
    const fs::path out = dir.path() / "out";
    fs::create_directories(out);
    host.steps.push_back(options(false));
    host.steps.push_back(test::choose_files({out.string()}));
    host.answers.push_back(MessageAnswer::Ok);
    host.steps.push_back([](QDialog& d) {
        auto* p = qobject_cast<ExportProgressDialog*>(&d);
        bool block = false;
        QObject::connect(p, &ExportProgressDialog::block_processed, p, [&block] { block = true; });
        p->show();
        for (int i = 0; i < 500 && !block; ++i) {
            QTest::qWait(5);
        }
        EXPECT_TRUE(block);
        return 0;  // back without the dialog having ended
    });
    window->dispatch(cmd::EXPORT_ALL);
    EXPECT_EQ(ctx->playlist->song_mark[0], MARK_NONE);
    EXPECT_EQ(ctx->playlist->song_mark[1], MARK_NONE);
    EXPECT_FALSE(fs::exists(out / "mm_b.wav"));
    EXPECT_TRUE(host.steps.empty());
    EXPECT_FALSE(ctx->export_in_progress);
}

}  // namespace
}  // namespace zv
