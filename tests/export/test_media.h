// The export tests' helpers: scratch folders, file bytes and WAV builders from tests/support.
#pragma once

#include "tests/support/file_bytes.h"
#include "tests/support/fixtures.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/wav_builder.h"
