// The reference the chain's speed is measured against, in the same run: sox (the command-line
// program) running a simpler chain of the same kind over the same WAV: a 10 Hz high-pass, a
// slow compander in the AGC's place, a six-band compander split where the bands are split
// (150, 425, 1100, 2400 and 5900 Hz), a fast compander in the clippers' place, a 15 kHz
// low-pass and dither to 16 bits. It has no look-ahead, enhancer, pre-emphasis, HF limiter or
// FIR, so the chain does more work per frame than sox does.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zv::bench {

// The effects as sox takes them after the input and output files.
std::vector<std::string> sox_reference_effects();

struct ProgramRun {
    bool ok = false;      // the program ran and returned 0
    double wall_s = 0.0;  // its elapsed time
    double cpu_s = 0.0;   // its user and system time
};

// Runs a program (args[0] looked up in PATH) with its output discarded.
ProgramRun run_program_timed(const std::vector<std::string>& args);

// sox's reference chain from in_wav into out_wav.
ProgramRun run_sox_reference(const std::string& in_wav, const std::string& out_wav);

// A plain 16-bit stereo WAV of interleaved samples, for sox to read. False when it cannot be
// written.
bool write_stereo_wav(const std::string& path, const std::vector<int16_t>& samples, int rate);

}  // namespace zv::bench
