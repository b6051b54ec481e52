// The export tests' helpers: scratch folders, file bytes and WAV builders from tests/support,
// and an export observer that ignores every report.
#pragma once

#include <cstdint>
#include <string>

#include "export/export_job.h"
#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"

namespace zv::test {

// Takes every report of an export job and does nothing with it.
struct QuietExportObserver : ExportObserver {
    void files(const std::string&, const std::string&) override {}
    void stage(ExportStage) override {}
    void processed(uint64_t, int32_t) override {}
    void set_progress_range(int) override {}
    void step_progress() override {}
    void finished(const ExportJobResult&) override {}
};

}  // namespace zv::test
