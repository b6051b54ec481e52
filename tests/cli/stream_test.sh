#!/bin/bash
# zvmp3-cli stream in pipes: what comes out must be the export's processed song behind the
# reported latency, whatever feeds the pipe (ffmpeg, a WAV, a writer that stalls), for stereo
# and mono and with settings given in order; WAV in gives a WAV stream out that sox and
# ffmpeg read from a pipe; a closed input flushes the tail, a reader that goes away ends it
# quietly with status 1.
# Usage: stream_test.sh ZVMP3_CLI FIXTURE_DIR
set -u
cli=$1
media=$2
. "$(dirname "$0")/../support/script_checks.sh"
latency_of() {  # the frames the stream reported on stderr
    sed -n 's/.*latency \([0-9][0-9]*\) frames.*/\1/p' "$1"
}
# same_as_export DESCRIPTION STREAM_OUTPUT EXPORT_WAV FRAME_BYTES LATENCY
# The export's file is its header then the processed samples; the stream holds the same
# samples after latency frames of the chain's lead-in.
same_as_export() {
    local data skip
    data=$(($(stat -c %s "$3") - 44))
    skip=$(($5 * $4))
    [ "$(stat -c %s "$2")" -eq $((data + skip)) ] ||
        fail "$1: $(stat -c %s "$2") bytes, expected $data + $skip"
    tail -c +$((skip + 1)) "$2" | cmp -s - <(tail -c "$data" "$3") ||
        fail "$1: the samples differ from the export's"
}
export LC_ALL=C

# ffmpeg feeding raw PCM, with settings in order; the export of the same song must agree.
settings=(--preset 340 --set final_lpf=0 --set agc_drive_db=18)
ffmpeg -nostdin -v error -i "$media/pcm16_stereo_44100.wav" -f s16le - |
    "$cli" stream "${settings[@]}" >"$dir/s.raw" 2>"$dir/err"
check "ffmpeg | stream" 0 "${PIPESTATUS[1]}"
"$cli" export --wav --no-normalise "${settings[@]}" -q "$media/pcm16_stereo_44100.wav" \
    -o "$dir/ex.wav"
check "export" 0 $?
lat=$(latency_of "$dir/err")
[ -n "$lat" ] || fail "no latency on stderr: $(cat "$dir/err")"
[ "${lat:-0}" -eq 962 ] || fail "latency $lat with the FIR low-pass off, expected 962"
same_as_export "ffmpeg raw stereo" "$dir/s.raw" "$dir/ex.wav" 4 "${lat:-0}"

# --trim-latency lines the stream up with the input: the export's samples exactly.
"$cli" stream "${settings[@]}" --trim-latency <"$media/pcm16_stereo_44100.wav" \
    --format wav --output raw >"$dir/t.raw" 2>/dev/null
check "stream --trim-latency" 0 $?
same_as_export "--trim-latency" "$dir/t.raw" "$dir/ex.wav" 4 0

# WAV in, WAV out: a header whose sizes mean "until the end", then the raw output's bytes;
# sox and ffmpeg read it from a pipe as those samples.
le() {  # le VALUE BYTES: VALUE as BYTES little-endian bytes
    local i
    for ((i = 0; i < $2; i++)); do printf "\\$(printf %03o $(($1 >> 8 * i & 255)))"; done
}
wav_header() {  # wav_header RATE CHANNELS: the streaming header
    printf RIFF && le 0xFFFFFFFF 4 && printf 'WAVEfmt ' && le 16 4 && le 1 2 && le "$2" 2
    le "$1" 4 && le $(($1 * $2 * 2)) 4 && le $(($2 * 2)) 2 && le 16 2
    printf data && le 0xFFFFFFFF 4
}
"$cli" stream "${settings[@]}" --trim-latency --format wav <"$media/pcm16_stereo_44100.wav" \
    >"$dir/t.wav" 2>/dev/null
check "stream --format wav" 0 $?
head -c 44 "$dir/t.wav" | cmp -s - <(wav_header 44100 2) ||
    fail "WAV header: $(head -c 44 "$dir/t.wav" | od -An -tx1 | tr -d '\n')"
tail -c +45 "$dir/t.wav" | cmp -s - "$dir/t.raw" || fail "WAV output's samples differ from raw"
"$cli" stream "${settings[@]}" --trim-latency --format wav <"$media/pcm16_stereo_44100.wav" \
    2>/dev/null | sox -t wav - -t raw - 2>/dev/null | cmp -s - "$dir/t.raw" ||
    fail "sox does not read the WAV stream from a pipe as its samples"
"$cli" stream "${settings[@]}" --trim-latency --format wav <"$media/pcm16_stereo_44100.wav" \
    2>/dev/null | ffmpeg -v error -f wav -i - -f s16le - 2>/dev/null | cmp -s - "$dir/t.raw" ||
    fail "ffmpeg does not read the WAV stream from a pipe as its samples"
# Raw in gives WAV out when asked, with the raw input's layout.
"$cli" stream --rate 32000 --channels 1 --output wav </dev/null 2>/dev/null | head -c 44 |
    cmp -s - <(wav_header 32000 1) || fail "--output wav of mono 32 kHz raw input"

# ffmpeg's WAV into a pipe leaves the sizes unknown (all ones): read to the end.
ffmpeg -nostdin -v error -i "$media/pcm16_stereo_44100.wav" -f wav - |
    "$cli" stream --format wav "${settings[@]}" --trim-latency 2>"$dir/err" |
    cmp -s - "$dir/t.wav" || fail "ffmpeg's WAV of unknown size"
grep -q warning "$dir/err" && fail "ffmpeg's WAV of unknown size: $(cat "$dir/err")"

# An input that ends before the size its header gives: what came is processed, a warning
# says so and the status stays 0 (pipe writers often write made-up sizes). The sizes that
# stand for "unknown" (Liquidsoap's pipe() writes 0xEFFFFFDB by default) warn of nothing.
head -c 1044 "$media/pcm16_stereo_44100.wav" |
    "$cli" stream --format wav --output raw --trim-latency >"$dir/short.raw" 2>"$dir/err"
check "short WAV input" 0 $?
[ "$(stat -c %s "$dir/short.raw")" -eq 1000 ] || fail "short WAV input gave $(stat -c %s "$dir/short.raw") bytes"
grep -q "warning: the input ended $(($(stat -c %s "$media/pcm16_stereo_44100.wav") - 1044)) bytes before" \
    "$dir/err" || fail "short WAV input: $(cat "$dir/err")"
for sizes in '\x24\0\0\0 \0\0\0\0' '\xff\xff\xff\xef \xdb\xff\xff\xef'; do
    read -r riff data <<<"$sizes"
    { printf "RIFF${riff}"; tail -c +9 "$media/pcm16_stereo_44100.wav" | head -c 32
        printf "${data}"; head -c 1000 /dev/zero; } |
        "$cli" stream --format wav --output raw --trim-latency >"$dir/short.raw" 2>"$dir/err"
    check "unknown size $sizes" 0 $?
    [ "$(stat -c %s "$dir/short.raw")" -eq 1000 ] && ! grep -q warning "$dir/err" ||
        fail "unknown size $sizes: $(stat -c %s "$dir/short.raw") bytes, $(cat "$dir/err")"
done

# A mono 48 kHz WAV on standard input, from a writer that stalls and splits frames.
"$cli" export --wav --no-normalise -q "$media/pcm16_mono_48000.wav" -o "$dir/mono.wav"
{
    head -c 1001
    sleep 0.2
    cat
} <"$media/pcm16_mono_48000.wav" | "$cli" stream --format wav --output raw >"$dir/m.raw" 2>"$dir/err"
check "stalling WAV writer | stream" 0 "${PIPESTATUS[1]}"
lat=$(latency_of "$dir/err")
[ "${lat:-0}" -eq 974 ] || fail "latency ${lat:-none} at factory settings, expected 974"
same_as_export "mono 48 kHz WAV" "$dir/m.raw" "$dir/mono.wav" 2 "${lat:-0}"

# The way round a streaming chain uses it: ffmpeg in, ffmpeg out.
ffmpeg -nostdin -v error -i "$media/pcm16_stereo_32000.wav" -f s16le - |
    "$cli" stream --rate 32000 2>/dev/null |
    ffmpeg -v error -f s16le -ar 32000 -ac 2 -i - -y "$dir/out.wav"
check "ffmpeg | stream | ffmpeg" "0 0 0" "${PIPESTATUS[*]}"
[ -s "$dir/out.wav" ] || fail "ffmpeg wrote nothing"

# An MP3 cannot match to the byte: ffmpeg's decoder drops the encoder's and decoder's delay
# (576 + 529 frames) that the program's decoder keeps, and rounds differently by a step or
# two. Aligned by that delay, and once the AGC has settled from the different lead-in (the
# first 5000 frames), the two agree within a few steps.
"$cli" export --wav --no-normalise -q "$media/tone_3s_44100.mp3" -o "$dir/mp3.wav"
ffmpeg -nostdin -v error -i "$media/tone_3s_44100.mp3" -f s16le - |
    "$cli" stream --channels 1 >"$dir/mp3.raw" 2>"$dir/err"
lat=$(latency_of "$dir/err")
skip=$(((${lat:-0} - 1105) * 2))  # negative: the export runs ahead
worst=$(paste <(tail -c +45 "$dir/mp3.wav" | tail -c +$((-skip + 1)) | od -An -v -td2 -w2) \
    <(od -An -v -td2 -w2 "$dir/mp3.raw") |
    awk 'NR > 5000 && NF == 2 { d = $1 - $2; if (d < 0) d = -d; if (d > m) m = d; n++ }
         END { print (n > 100000 ? m : "short") }')
[ "$worst" != short ] && [ "$worst" -le 6 ] ||
    fail "MP3 through ffmpeg differs from the export by $worst steps"

# A reader that goes away: status 1, and nothing but the latency on stderr.
head -c 8000000 /dev/zero | "$cli" stream 2>"$dir/err" | head -c 100 >/dev/null
check "closed output" 1 "${PIPESTATUS[1]}"
[ "$(wc -l <"$dir/err")" -eq 1 ] || fail "a closed output was not quiet: $(cat "$dir/err")"

# Empty input: the chain's tail is all there is; with --trim-latency nothing.
"$cli" stream </dev/null >"$dir/e.raw" 2>/dev/null
check "empty input" 0 $?
[ "$(stat -c %s "$dir/e.raw")" -eq $((974 * 4)) ] || fail "empty input gave $(stat -c %s "$dir/e.raw") bytes"
"$cli" stream --trim-latency </dev/null 2>/dev/null | cmp -s - /dev/null ||
    fail "--trim-latency of nothing wrote something"

# Bad input and usage.
"$cli" stream --format wav <"$media/pcm24_stereo.wav" >/dev/null 2>"$dir/err"
check "24-bit WAV" 1 $?
grep -q "unsupported format" "$dir/err" || fail "24-bit WAV: $(cat "$dir/err")"
"$cli" stream --format wav <"$media/pcm16_stereo_44100.wav" >/dev/full 2>"$dir/err"
check "full output" 1 $?
grep -q "No space left" "$dir/err" || fail "full output: $(cat "$dir/err")"
"$cli" stream <"$dir" >/dev/null 2>"$dir/err"
check "a folder on standard input" 1 $?
grep -q "cannot read standard input" "$dir/err" || fail "a folder: $(cat "$dir/err")"
# Binary sound is never written to a terminal (script(1) gives the command one).
if command -v script >/dev/null; then
    script -qec "'$cli' stream </dev/null" /dev/null >"$dir/err" 2>&1
    check "a terminal on standard output" 2 $?
    grep -q "standard output is a terminal" "$dir/err" || fail "a terminal: $(cat "$dir/err")"
fi
"$cli" stream --rate 22050 </dev/null >/dev/null 2>&1
check "--rate 22050" 2 $?
"$cli" stream --channels 3 </dev/null >/dev/null 2>&1
check "--channels 3" 2 $?
"$cli" stream --format flac </dev/null >/dev/null 2>&1
check "--format flac" 2 $?
"$cli" stream --output flac </dev/null >/dev/null 2>&1
check "--output flac" 2 $?

# Every broken WAV and settings file of the fixtures: a clear end, never a hang or a signal.
for f in "$media"/hostile/*.wav "$media"/hostile/*.zv3; do
    case $f in
        *.wav) args=(--format wav) ;;
        *) args=(--params "$f") ;;
    esac
    timeout -k 5 60 "$cli" stream "${args[@]}" <"$f" >/dev/null 2>"$dir/err"
    status=$?
    case $status in
        0) ;;
        1 | 2) [ -s "$dir/err" ] || fail "$(basename "$f"): status $status without a message" ;;
        *) fail "$(basename "$f"): status $status" ;;
    esac
done
mkfifo "$dir/fifo.zv3"
timeout -k 5 60 "$cli" stream --params "$dir/fifo.zv3" </dev/null >/dev/null 2>&1
check "--params a FIFO" 1 $?

finish_checks stream
