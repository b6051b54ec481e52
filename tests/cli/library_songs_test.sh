#!/usr/bin/env bash
# FLAC, Ogg Vorbis, Opus and high-rate WAV songs through zvmp3-cli, checked with the codecs'
# own tools: a 16-bit FLAC exports exactly as the same samples in a WAV; a --flac output
# decodes (flac -d) to exactly the samples of the --wav output; an --opus output decodes
# (opusdec) to the song's length at 48 kHz and its level; a 96 kHz 24-bit WAV exports at
# 48 kHz with the length and level of the same signal made at 48 kHz.
# Usage: library_songs_test.sh ZVMP3_CLI FIXTURE_DIR
set -u
cli=$(realpath "$1")
fixtures=$(realpath "$2")
. "$(dirname "$0")/../support/script_checks.sh"
export LC_ALL=C.UTF-8 LANG=C.UTF-8
export TMPDIR="$dir/tmp"
mkdir -p "$TMPDIR"

export_to() {  # export_to FORMAT SOURCE TARGET: a quiet single-job export
    "$cli" export "$1" -q -j 1 -o "$3" "$fixtures/$2"
}
# The overall RMS level in dB of a sound file, by sox.
rms_db() { sox "$1" -n stats 2>&1 | awk '/^RMS lev dB/ { print $4; exit }'; }
within() {  # within A B LIMIT: |A - B| <= LIMIT
    awk -v a="$1" -v b="$2" -v l="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= l) }'
}
samples() { soxi -s "$1"; }

# The same samples as FLAC and as WAV export to the same bytes (normalised, as by default).
export_to --wav song.flac "$dir/from_flac.wav"
check "export of song.flac" 0 $?
export_to --wav song.wav "$dir/from_wav.wav"
check "export of song.wav" 0 $?
cmp -s "$dir/from_flac.wav" "$dir/from_wav.wav" || fail "song.flac and song.wav export differently"

# --flac decodes to exactly the samples of --wav, from a Vorbis song (a decoded source).
export_to --wav song.ogg "$dir/v.wav" && export_to --flac song.ogg "$dir/v.flac"
check "export of song.ogg to WAV and FLAC" 0 $?
flac -s -d -f "$dir/v.flac" -o "$dir/v_decoded.wav"
check "flac -d of the FLAC export" 0 $?
cmp -s <(tail -c +45 "$dir/v.wav") <(tail -c +45 "$dir/v_decoded.wav") ||
    fail "the FLAC export does not decode to the WAV export's samples"
[ "$(metaflac --show-tag=ALBUM "$dir/v.flac" | cut -d= -f2-)" = "Ogg Album" ] ||
    fail "the FLAC export lost the song's album"
[ "$(metaflac --show-bps "$dir/v.flac")" = 16 ] || fail "the FLAC export is not 16-bit"

# --opus: 48 kHz, the song's length, the WAV export's level within 0.5 dB.
export_to --opus song.flac "$dir/o.opus"
check "export of song.flac to Opus" 0 $?
opusdec --quiet "$dir/o.opus" "$dir/o_decoded.wav" 2>/dev/null
check "opusdec of the Opus export" 0 $?
[ "$(soxi -r "$dir/o_decoded.wav")" = 48000 ] || fail "the Opus export is not at 48 kHz"
want=$((132300 * 48000 / 44100))
[ "$(samples "$dir/o_decoded.wav")" = "$want" ] ||
    fail "the Opus export decodes to $(samples "$dir/o_decoded.wav") samples, not $want"
within "$(rms_db "$dir/o_decoded.wav")" "$(rms_db "$dir/from_flac.wav")" 0.5 ||
    fail "the Opus export's level $(rms_db "$dir/o_decoded.wav") dB is not that of the WAV" \
        "export, $(rms_db "$dir/from_flac.wav") dB"
opusinfo "$dir/o.opus" | grep -q "ARTIST=Fixture Artist" || fail "the Opus export lost the artist"

# 96 kHz 24 bits: exported at 48 kHz, as long and as loud as the signal made at 48 kHz.
"$cli" probe "$fixtures/hires_96k24.wav" | grep -q "96000 Hz -> 48000 Hz" ||
    fail "probe does not say the 96 kHz song is resampled to 48 kHz"
export_to --wav hires_96k24.wav "$dir/hi.wav" && export_to --wav hires_same_48k.wav "$dir/lo.wav"
check "export of the 96 kHz song and its 48 kHz version" 0 $?
[ "$(soxi -r "$dir/hi.wav")" = 48000 ] || fail "the 96 kHz song is not exported at 48 kHz"
[ "$(samples "$dir/hi.wav")" = 144000 ] || fail "the 96 kHz song exports $(samples "$dir/hi.wav")" \
    "samples, not 144000"
within "$(rms_db "$dir/hi.wav")" "$(rms_db "$dir/lo.wav")" 0.2 ||
    fail "the 96 kHz song's processed level $(rms_db "$dir/hi.wav") dB is not that of its" \
        "48 kHz version, $(rms_db "$dir/lo.wav") dB"

[ -z "$(ls -A "$TMPDIR")" ] || fail "files left in the temp folder: $(ls -A "$TMPDIR")"
finish_checks library_songs
