#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>

#include <filesystem>

#include "dialog_test_support.h"
#include "settings/text_field.h"
#include "tests/support/file_bytes.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"
#include "ui/dialogs/export_progress_dialog.h"

namespace zv {
namespace {

namespace fs = std::filesystem;

struct ExportDialogFixture : ::testing::Test {
    test::ScratchDir dir;
    std::unique_ptr<Processor> processor = make_processor();
    ThrottleSettings throttle;
    test::ScriptedHost host;

    void SetUp() override {
        processor_startup(*processor);
        fs::create_directory(dir / "tmp");
    }

    ExportJobInputs inputs(size_t frames, bool mp3) {
        test::WavContent wav;
        wav.samples = test::test_signal(frames, 2);
        const std::string src = dir / "song.wav";
        test::write_bytes(src, test::make_wav_bytes(wav));
        ExportJobInputs in;
        set_song_path(in.entry, src);
        in.entry.sample_rate = 44100;
        in.entry.channels = 2;
        in.entry.pcm_bytes = static_cast<int32_t>(frames * 4);
        in.target_path = dir / "out.wav";
        in.options.output_mp3 = mp3 ? 1 : 0;
        in.options.normalise_on_export = 0;
        in.temp_folder = dir / "tmp";
        in.run_id = "00000042";
        return in;
    }
};

TEST_F(ExportDialogFixture, RunsTheExportToItsEndAndShowsItsProgress) {
    ExportProgressDialog d(inputs(5 * 16384 + 100, false), *processor, throttle, host);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("ZelvonicMP3 : Exporting WAV/MP3 File..."));
    int blocks = 0;
    double loudest = 0;
    QObject::connect(&d, &ExportProgressDialog::block_processed, [&] {
        ++blocks;
        MeterSnapshot m;
        EXPECT_TRUE(d.take_meters(m)) << "a signal comes with blocks to take";
        loudest = std::max({loudest, m.output_peak_l, m.output_peak_r});
        EXPECT_TRUE(d.isVisible());
    });
    EXPECT_EQ(d.exec(), 1);
    EXPECT_EQ(d.job_result().end, ExportEnd::Completed);
    EXPECT_EQ(d.job_result().output_path, dir / "out.wav");
    EXPECT_TRUE(fs::exists(dir / "out.wav"));
    EXPECT_EQ(d.source_field()->text().toStdString(), dir / "song.wav");
    EXPECT_EQ(d.target_field()->text().toStdString(), dir / "out.wav");
    EXPECT_EQ(d.time_label()->text(), QStringLiteral("00:01"));  // 5 blocks of 16384 frames
    EXPECT_EQ(d.progress_bar()->maximum(), 5);
    EXPECT_EQ(d.progress_bar()->value(), 5);
    EXPECT_GE(blocks, 1);
    EXPECT_GT(loudest, 0.0);
    EXPECT_TRUE(host.messages.empty());
    // The status line ends with the song's loudness.
    ASSERT_TRUE(d.job_result().loudness.has_value());
    EXPECT_EQ(d.status_label()->text().toStdString(), loudness_text(*d.job_result().loudness));
}

// The export runner makes the job and routes its observer to the dialog.
TEST_F(ExportDialogFixture, RunsAJobMadeByItsOwnerAndLeavesItsEndAlone) {
    struct Route : ExportObserver {
        ExportProgressDialog* d = nullptr;
        void files(const std::string& s, const std::string& t) override { d->job_files(s, t); }
        void stage(ExportStage s) override { d->job_stage(s); }
        void processed(uint64_t f, int32_t r) override { d->job_processed(f, r); }
        void set_progress_range(int max) override { d->job_progress_range(max); }
        void step_progress() override { d->job_step(); }
        void block_done() override { d->job_block_done(); }
        void finished(const ExportJobResult& r) override { d->job_finished(r); }
    } route;
    ExportJob job(inputs(3 * 16384, false), *processor, route, &throttle);
    {
        ExportProgressDialog d(job, *processor, throttle, host);
        route.d = &d;
        EXPECT_EQ(d.exec(), 1);
        EXPECT_EQ(d.progress_bar()->value(), 3);
    }
    job.join();
    // Its owner decides by this whether the run goes on.
    EXPECT_FALSE(job.cancel_requested());
    EXPECT_EQ(job.result().end, ExportEnd::Completed);
}

TEST_F(ExportDialogFixture, CancelOnlyAsksTheJobToStopAndTheDialogEndsWithZero) {
    // A long song, slowed down by the throttle, so the cancel comes while it runs.
    throttle.cpu_throttle_on.store(1);
    throttle.cpu_throttle_level.store(40);
    ExportProgressDialog d(inputs(60 * 16384, false), *processor, throttle, host);
    bool still_open_after_cancel = false;
    QObject::connect(&d, &ExportProgressDialog::block_processed, [&] {
        if (d.cancel_requested()) {
            return;
        }
        d.close();  // the window's close button: ignored but for the flag
        still_open_after_cancel = d.isVisible() && d.cancel_requested();
        QTest::keyClick(&d, Qt::Key_Escape);
        still_open_after_cancel = still_open_after_cancel && d.isVisible();
    });
    EXPECT_EQ(d.exec(), 0);
    EXPECT_TRUE(still_open_after_cancel);
    EXPECT_EQ(d.job_result().end, ExportEnd::Cancelled);
    EXPECT_LT(d.progress_bar()->value(), 60);
    EXPECT_EQ(d.status_label()->text().indexOf(QStringLiteral("LUFS")), -1);
}

TEST_F(ExportDialogFixture, KeyboardAlone) {
    throttle.cpu_throttle_on.store(1);
    throttle.cpu_throttle_level.store(40);
    ExportProgressDialog d(inputs(60 * 16384, false), *processor, throttle, host);
    std::vector<QWidget*> walk;
    bool entered = false;
    QObject::connect(&d, &ExportProgressDialog::block_processed, [&] {
        if (entered) {
            return;
        }
        entered = true;
        d.activateWindow();
        d.throttle_check()->setFocus();
        walk = test::tab_walk(d);
        // Enter presses Cancel, the default button: the flag only.
        d.cancel_button()->setFocus();
        QTest::keyClick(d.cancel_button(), Qt::Key_Return);
    });
    EXPECT_EQ(d.exec(), 0);
    std::vector<QWidget*> expected = {d.throttle_check(), d.throttle_slider(), d.cancel_button()};
    EXPECT_EQ(walk, expected);
}

TEST_F(ExportDialogFixture, TheThrottleControlsWriteTheSettingsLive) {
    throttle.cpu_throttle_on.store(0);
    throttle.cpu_throttle_level.store(55);  // out of range in a state file
    ExportProgressDialog d(inputs(3 * 16384, false), *processor, throttle, host);
    EXPECT_EQ(throttle.cpu_throttle_level.load(), 40);  // clamped and stored back
    EXPECT_EQ(d.throttle_slider()->minimum(), 1);
    EXPECT_EQ(d.throttle_slider()->maximum(), 40);
    EXPECT_EQ(d.throttle_slider()->value(), 40);
    EXPECT_EQ(d.throttle_check()->text(), QStringLiteral("Don't use 100% CPU Power: "));
    bool changed_while_running = false;
    QObject::connect(&d, &ExportProgressDialog::block_processed, [&] {
        if (changed_while_running) {
            return;
        }
        d.throttle_check()->click();
        d.throttle_slider()->setFocus();
        QTest::keyClick(d.throttle_slider(), Qt::Key_Left);  // one step towards "MORE"
        changed_while_running =
            throttle.cpu_throttle_on.load() == 1 && throttle.cpu_throttle_level.load() == 39;
    });
    EXPECT_EQ(d.exec(), 1);
    EXPECT_TRUE(changed_while_running);
}

TEST_F(ExportDialogFixture, MakesAnMp3AndReportsAParameterLineThatIsTooLong) {
    {
        ExportProgressDialog d(inputs(2 * 16384, true), *processor, throttle, host);
        EXPECT_EQ(d.exec(), 1);
        EXPECT_EQ(d.job_result().end, ExportEnd::Completed);
        EXPECT_TRUE(fs::exists(dir / "out.mp3"));
        EXPECT_EQ(d.target_field()->text().toStdString(), dir / "out.mp3");
    }
    ExportJobInputs in = inputs(2 * 16384, true);
    in.target_path = dir / "other.wav";
    in.encoder.use_external_encoder = 1;
    set_text(in.encoder.external_encoder_path, "/bin/true");
    set_text(in.encoder.external_encoder_params, "%1 %2 " + std::string(240, 'x'));
    ExportProgressDialog d(in, *processor, throttle, host);
    EXPECT_EQ(d.exec(), 1);  // not cancelled: the command goes on with the next song
    EXPECT_TRUE(d.job_result().params_too_long);
    EXPECT_TRUE(d.job_result().encoder_failed);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0].caption, QStringLiteral("外部MP3エンコーダ パラメータエラー"));
    EXPECT_FALSE(fs::exists(dir / "other.mp3"));
}

}  // namespace
}  // namespace zv
