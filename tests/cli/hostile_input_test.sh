#!/usr/bin/env bash
# Every zvmp3-cli command against what a careless or hostile user, a damaged disk or a shared
# preset hands it: broken WAV, MP3, FLAC, Ogg, Opus, settings and playlist files (made by
# scripts/make-fixtures),
# FIFOs, devices, links, a file whose reads fail (a link to /proc/self/mem, whose first page is
# never mapped: EIO), and odd names (spaces, quotes, $(...), newlines, leading dashes,
# bytes that are not UTF-8). For every run it checks:
#   - the exit status, and that nothing hangs (60 s) or dies of a signal;
#   - the message: present for a failure, naming the user's file, never a private temporary
#     path;
#   - no leftover files: nothing new in the source and target folders but the expected
#     outputs, the private temp folder (TMPDIR) empty again;
#   - the sources unchanged (checksums at the end), special files still what they were.
#
# Usage: hostile_input_test.sh ZVMP3_CLI FIXTURE_DIR
set -u
cli=$(realpath "$1")
fixtures=$(realpath "$2")
limit=60

work=$(mktemp -d) || exit 1
cleanup() {
    chmod -R u+rwx "$work" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
src="$work/src"  # the songs and settings handed to the commands
out="$work/out"  # where they write
tmp="$work/tmp"  # the commands' temp folder: empty again after every run
mkdir -p "$src" "$out" "$tmp"
export TMPDIR="$tmp"
export LC_ALL=C.UTF-8 LANG=C.UTF-8  # English messages
cd "$work" || exit 1

fails=0
passes=0

ok() { passes=$((passes + 1)); }
bad() {  # bad DESCRIPTION
    fails=$((fails + 1))
    echo "FAIL: $1"
    if [ -s "$work/err" ]; then
        sed 's/^/    stderr: /' "$work/err" | head -n 5
    fi
}
check() {  # check DESCRIPTION COMMAND... : passes when the command succeeds
    local what=$1
    shift
    if "$@"; then ok; else bad "$what"; fi
}

listing() { (cd "$1" && find . -mindepth 1 -printf '%p\n' | LC_ALL=C sort); }

# run STATUS LABEL ARGS...: runs the CLI in $work, keeps stdout/stderr in $work/out.txt and
# $work/err, and checks the status (a list like "1|2" allows either), hangs and crashes, the
# temp folder, and that no message names a private path.
status=0
run_dir=$work        # where the commands run
run() {
    local want=$1 label=$2
    shift 2
    local before_src before_out
    before_src=$(listing "$src")
    before_out=$(listing "$out")
    (cd "$run_dir" && timeout -k 5 "$limit" "$cli" "$@" >"$work/out.txt" 2>"$work/err" </dev/null)
    status=$?
    if [ "$status" = 124 ] || [ "$status" = 137 ]; then
        bad "$label: still running after $limit s (blocked?)"
        return
    fi
    if [ "$status" -ge 128 ]; then
        bad "$label: died of signal $((status - 128))"
        return
    fi
    case "|$want|" in
        *"|$status|"*) ok ;;
        *) bad "$label: exit status $status, expected $want" ;;
    esac
    if [ -n "$(ls -A "$tmp")" ]; then
        bad "$label: left files in the temp folder: $(ls -A "$tmp" | tr '\n' ' ')"
        rm -rf "${tmp:?}"/* "$tmp"/.[!.]* 2>/dev/null
    fi
    if grep -a -q -e "$tmp" -e '\$\$temp' -e '\.zvpart-' "$work/err" "$work/out.txt"; then
        bad "$label: a message names a private working file"
    fi
    if [ "$(listing "$src")" != "$before_src" ]; then
        bad "$label: the source folder changed: $(diff <(echo "$before_src") \
            <(listing "$src") | grep -a '^[<>]' | tr '\n' ' ')"
    fi
    after_out=$(listing "$out")
    new_out=$(diff <(echo "$before_out") <(echo "$after_out") | grep -a '^>' | cut -c3-)
    if echo "$new_out" | grep -a -q -e '\.zvpart-' -e '\$\$temp' -e '\.part'; then
        bad "$label: a part file was left in the target folder"
    fi
}
# The last run's messages mention TEXT.
said() { grep -qF -- "$1" "$work/err" "$work/out.txt"; }
# A failure's message names the file (some distinctive part of its name).
names() {  # names LABEL TEXT
    if [ "$status" != 0 ]; then
        if said "$2"; then ok; else bad "$1: the message does not name the file ($2)"; fi
    fi
}
clear_out() { rm -rf "${out:?}"/* "$out"/.[!.]* 2>/dev/null; }

# ---- the songs, under ordinary and odd names ------------------------------------------------

cp "$fixtures/pcm16_stereo_44100.wav" "$src/plain.wav"
cp "$fixtures/cbr128_id3v1v2.mp3" "$src/plain.mp3"
odd_names=(
    "with space"
    "it's \"quoted\""
    '$(touch pwned)'
    $'new\nline'
    "-dash"
    $'latin1 caf\xe9 \xff\xfe'
    $'tab\there'
    'back\slash'
)
for n in "${odd_names[@]}"; do
    cp "$fixtures/pcm16_stereo_44100.wav" "$src/$n.wav"
    cp "$fixtures/cbr64_mono_32000.mp3" "$src/$n.mp3"
done
for f in "$fixtures"/hostile/*; do
    cp "$f" "$src/"
done
for f in no_samples.wav no_audio.mp3 rate_change.mp3 channels_change.mp3 truncated_in_list.wav \
    pcm24_stereo.wav mpeg2_22050.mp3 layer2_384k.mp3 song.flac song.ogg song.opus \
    six_channels.flac; do
    cp "$fixtures/$f" "$src/"
done
# The FLAC, Ogg and Opus files no command may take, and the two whose damage only shows when
# they are read (a cut FLAC, an Ogg page that fails its checksum).
bad_library_songs=(empty.flac noise.flac opus_named.flac zero_rate.flac million_channels.flac
    noise.opus six_channels.flac zero_channels_24.wav many_channels_24.wav zero_rate_24.wav)
damaged_library_songs=(cut.flac broken_page.ogg)
cp "$fixtures/hostile/random_body.zv3" "$src/settings.zv3"
mkfifo "$src/fifo.wav" "$src/fifo.mp3" "$src/fifo.zv3" "$src/fifo.prf" "$src/fifo.plt" \
    "$src/fifo.flac"
ln -s /dev/zero "$src/zero.flac"
ln -s /proc/self/mem "$src/eio.flac"
mkdir "$src/folder.flac"
ln -s /dev/zero "$src/zero.wav"
ln -s /dev/zero "$src/zero.mp3"
ln -s /dev/zero "$src/zero.zv3"
ln -s /dev/zero "$src/zero.plt"
ln -s /proc/self/mem "$src/eio.wav"
ln -s /proc/self/mem "$src/eio.mp3"
ln -s /proc/self/mem "$src/eio.zv3"
ln -s /proc/self/mem "$src/eio.plt"
ln -s fifo.wav "$src/to_fifo.wav"
mkdir "$src/folder.wav" "$src/folder.zv3" "$src/folder.plt"
# A device node of our own for targets (only where mknod is allowed): replacing it would show
# what `-o /dev/null` did as root, without touching the system's /dev/null.
device=""
if mknod "$work/null.wav" c 1 3 2>/dev/null; then
    device="$work/null.wav"
fi
checksums() { (cd "$src" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum); }
sums_before=$(checksums)

# ---- probe ---------------------------------------------------------------------------------

for n in "${odd_names[@]}"; do
    run 0 "probe of '$n'" probe -- "$src/$n.wav" "$src/$n.mp3"
done
run_dir=$src
run 0 "probe of a leading-dash name after --" probe -- "-dash.wav"
run 0 "probe of ./-dash.wav" probe ./-dash.wav
run_dir=$work
run 0 "probe --tsv of names with a newline and a tab" probe --tsv "$src/"$'new\nline.wav' \
    "$src/"$'tab\there.wav'
check "probe --tsv: one line per file" [ "$(wc -l <"$work/out.txt")" -eq 3 ]
for f in empty riff_only not_wave huge_fmt data_before_fmt zero_channels noise \
    truncated_in_list; do
    run 1 "probe of $f.wav" probe "$src/$f.wav"
    names "probe of $f.wav" "$f.wav"
done
run 0 "probe of a 24-bit WAV, FLAC, Vorbis and Opus songs" probe "$src/pcm24_stereo.wav" \
    "$src/song.flac" "$src/song.ogg" "$src/song.opus"
for f in "${bad_library_songs[@]}"; do
    run 1 "probe of $f" probe "$src/$f"
    names "probe of $f" "$f"
done
run 1 "probe of an Opus file named .flac" probe "$src/opus_named.flac"
check "probe of an Opus file named .flac: says what it is" said "an Ogg Opus file, not FLAC"
for f in "${damaged_library_songs[@]}"; do
    run "0|1" "probe of $f" probe "$src/$f"
done
for f in empty noise id3v2_past_the_end mpeg2_22050; do
    run 1 "probe of $f.mp3" probe "$src/$f.mp3"
    names "probe of $f.mp3" "$f.mp3"
done
for f in fifo.wav to_fifo.wav zero.wav folder.wav fifo.flac zero.flac folder.flac; do
    run 1 "probe of $f" probe "$src/$f"
    check "probe of $f: says it is no regular file" said "not a regular file"
done
run 1 "probe of a file whose reads fail" probe "$src/eio.wav" "$src/eio.mp3" "$src/eio.flac"
check "probe: the read error is named" said "Input/output error"
run 2 "probe without files" probe
run 2 "probe with an unknown option" probe --frobnicate "$src/plain.wav"

# ---- peak ----------------------------------------------------------------------------------

for n in "${odd_names[@]}"; do
    run 0 "peak of '$n'" peak -- "$src/$n.wav" "$src/$n.mp3"
done
for f in empty.wav not_wave.wav huge_fmt.wav data_before_fmt.wav zero_channels.wav \
    truncated_in_list.wav empty.mp3 noise.mp3 id3v2_past_the_end.mp3 layer2_384k.mp3; do
    run 1 "peak of $f" peak "$src/$f"
    names "peak of $f" "$f"
done
for f in fifo.wav fifo.mp3 to_fifo.wav zero.wav zero.mp3 folder.wav; do
    run 1 "peak of $f" peak "$src/$f"
    names "peak of $f" "$f"
done
run 1 "peak of a file whose reads fail" peak "$src/eio.wav"
check "peak: the read error is named" said "Input/output error"
for f in "${bad_library_songs[@]}" "${damaged_library_songs[@]}" fifo.flac zero.flac \
    folder.flac eio.flac; do
    run 1 "peak of $f" peak "$src/$f"
    names "peak of $f" "$f"
done
run 0 "peak of FLAC, Vorbis and Opus songs" peak "$src/song.flac" "$src/song.ogg" \
    "$src/song.opus"
run "0|1" "peak of an MP3 whose rate changes" peak "$src/rate_change.mp3"
check "peak: the change is named" said "changes from 44100 Hz"

# ---- loudness ------------------------------------------------------------------------------

for n in "${odd_names[@]}"; do
    run 0 "loudness of '$n'" loudness -- "$src/$n.wav" "$src/$n.mp3"
done
for f in empty.wav not_wave.wav huge_fmt.wav data_before_fmt.wav zero_channels.wav \
    truncated_in_list.wav empty.mp3 noise.mp3 id3v2_past_the_end.mp3 layer2_384k.mp3 \
    fifo.wav fifo.mp3 to_fifo.wav zero.wav zero.mp3 folder.wav; do
    run 1 "loudness of $f" loudness --tsv "$src/$f"
    names "loudness of $f" "$f"
done
run 1 "loudness of a file whose reads fail" loudness "$src/eio.wav"
check "loudness: the read error is named" said "Input/output error"
for f in "${bad_library_songs[@]}" "${damaged_library_songs[@]}" fifo.flac zero.flac \
    folder.flac eio.flac; do
    run 1 "loudness of $f" loudness --tsv "$src/$f"
    names "loudness of $f" "$f"
done
run 1 "loudness of an MP3 whose rate changes" loudness "$src/rate_change.mp3"
check "loudness: the change is named" said "changes from 44100 Hz"

# ---- export --------------------------------------------------------------------------------

for n in "${odd_names[@]}"; do
    before=$(listing "$out")
    run 0 "export of '$n' into a folder" export --wav -q -j 1 -d "$out" -- "$src/$n.wav"
    check "export of '$n': the output has the source's name" [ -f "$out/mm_$n.wav" ]
    run 0 "export of '$n' to an odd target" export --wav -q -j 1 -o "$out/to $n.wav" -- \
        "$src/$n.mp3"
    check "export of '$n': -o wrote the named file" [ -f "$out/to $n.wav" ]
done
check "no \$(...) in a name was run" [ ! -e "$work/pwned" ]
check "no \$(...) in a name was run in the folders" [ ! -e "$src/pwned" ] && [ ! -e "$out/pwned" ]
clear_out
for f in empty.wav riff_only.wav not_wave.wav huge_fmt.wav data_before_fmt.wav \
    zero_channels.wav noise.wav truncated_in_list.wav empty.mp3 noise.mp3 \
    id3v2_past_the_end.mp3 mpeg2_22050.mp3 layer2_384k.mp3 fifo.wav fifo.mp3 to_fifo.wav \
    zero.wav zero.mp3 folder.wav eio.wav eio.mp3; do
    run 1 "export of $f" export --wav -q -j 1 -d "$out" "$src/$f"
    names "export of $f" "$f"
    check "export of $f: no output" [ -z "$(ls -A "$out")" ]
    clear_out
done
# Songs through libsndfile, into every format: refused or failed, nothing left behind.
for f in "${bad_library_songs[@]}" "${damaged_library_songs[@]}" fifo.flac zero.flac \
    folder.flac eio.flac; do
    for format in --wav --mp3 --flac --opus; do
        run 1 "export $format of $f" export $format -q -j 1 -d "$out" "$src/$f"
        names "export $format of $f" "$f"
        check "export $format of $f: no output" [ -z "$(ls -A "$out")" ]
        clear_out
    done
done
run 1 "export of a cut FLAC" export --flac -q -j 1 -d "$out" "$src/cut.flac"
check "export of a cut FLAC: says it is cut short" said "cut short"
run 1 "export of an Ogg page with a broken checksum" export --opus -q -j 1 -d "$out" \
    "$src/broken_page.ogg"
check "export of a broken Ogg page: says so" said "checksum"
clear_out
for n in "${odd_names[@]}"; do
    run 0 "export --flac of '$n'" export --flac -q -j 2 -d "$out" -- "$src/$n.wav"
    run 0 "export --opus of '$n'" export --opus -q -j 1 -o "$out/to $n.opus" -- "$src/$n.mp3"
    check "export of '$n': FLAC and Opus written" [ -f "$out/mm_$n.flac" ] && \
        [ -f "$out/to $n.opus" ]
    clear_out
done
run 2 "export --opus with a bitrate out of its range" export --opus --bitrate 320 -q -j 1 \
    -d "$out" "$src/plain.wav"
check "export --opus --bitrate 320: nothing written" [ -z "$(ls -A "$out")" ]
run 1 "export of a file whose reads fail" export --wav -q -j 1 -d "$out" "$src/eio.wav"
check "export: the read error is named" said "Input/output error"
run 1 "export of a WAV without samples" export --wav -q -j 1 -d "$out" "$src/no_samples.wav"
check "export of a WAV without samples: no output" [ -z "$(ls -A "$out")" ]
clear_out
run 1 "export of an MP3 without audio" export --wav -q -j 1 -d "$out" "$src/no_audio.mp3"
check "export of an MP3 without audio: no output" [ -z "$(ls -A "$out")" ]
clear_out
for f in rate_change.mp3 channels_change.mp3; do
    run "0|1" "export of $f" export --wav -q -j 1 -d "$out" "$src/$f"
    check "export of $f: the change is named" said "the stream changes from 44100 Hz"
    clear_out
done

# Targets that are not regular files are refused and stay what they were.
run 1 "export -o a FIFO" export --wav -q -j 1 -o "$src/fifo.wav" "$src/plain.wav"
check "export -o a FIFO: says why" said "not a regular file"
check "export -o a FIFO: still a FIFO" [ -p "$src/fifo.wav" ]
run 1 "export -o a link to a FIFO" export --wav -q -j 1 -o "$src/to_fifo.wav" "$src/plain.wav"
check "export -o a link to a FIFO: still a link" [ -L "$src/to_fifo.wav" ]
check "export -o a link to a FIFO: still a FIFO behind it" [ -p "$src/fifo.wav" ]
run 1 "export -o a folder" export --wav -q -j 1 -o "$src/folder.wav" "$src/plain.wav"
if [ -n "$device" ]; then
    run 1 "export -o a device" export --wav -q -j 1 -o "$device" "$src/plain.wav"
    check "export -o a device: still a device" [ -c "$device" ]
fi
# A link is written through; a replaced file keeps its mode.
printf 'old' >"$out/old.wav"
chmod 600 "$out/old.wav"
ln -s old.wav "$out/link.wav"
run 0 "export -o a link" export --wav -q -j 1 -o "$out/link.wav" "$src/plain.wav"
check "export -o a link: the link stays" [ -L "$out/link.wav" ]
check "export -o a link: the file behind it is the song" [ "$(stat -c %s "$out/old.wav")" -gt 3 ]
check "export -o a 0600 file: stays 0600" [ "$(stat -c %a "$out/old.wav")" = 600 ]
clear_out
long=$(printf 'n%.0s' $(seq 251))
run 0 "export -o a 255-byte name" export --wav -q -j 1 -o "$out/$long.wav" "$src/plain.wav"
check "export -o a 255-byte name: written" [ -f "$out/$long.wav" ]
clear_out
# A source is never replaced by its own output.
run 1 "export -o the source itself" export --wav -q -j 1 -o "$src/plain.wav" "$src/plain.wav"
mkdir "$work/beside"
cp "$src/plain.wav" "$work/beside/"
run 0 "export beside the source with an empty affix" export --wav -q -j 1 --beside-source \
    --affix "" "$work/beside/plain.wav"
check "export beside the source: the source stays" cmp -s "$src/plain.wav" "$work/beside/plain.wav"
check "export beside the source: zel_ names the output" [ -f "$work/beside/zel_plain.wav" ]
rm -rf "$work/beside"
run 2 "export with an affix that leaves the folder" export --wav -q -j 1 --affix "../x_" \
    -d "$out" "$src/plain.wav"
check "export with an affix ../: nothing written outside the folder" [ ! -e "$work/x_plain.wav" ]
rm -f "$work/x_plain.wav"
run 0 "export -j1" export --wav -q -j1 -d "$out" "$src/plain.wav"
clear_out
run 2 "export --params \"\"" export --wav -q --params "" -d "$out" "$src/plain.wav"
clear_out
for f in fifo.zv3 zero.zv3 folder.zv3 eio.zv3; do
    run 1 "export --params $f" export --wav -q -j 1 --params "$src/$f" -d "$out" "$src/plain.wav"
    names "export --params $f" "$f"
    check "export --params $f: no output" [ -z "$(ls -A "$out")" ]
    clear_out
done
run 1 "export --state a FIFO" export --wav -q -j 1 --state "$src/fifo.prf" -d "$out" \
    "$src/plain.wav"
for f in empty.zv3 wrong_magic.zv3; do
    run 1 "export --params $f" export --wav -q -j 1 --params "$src/$f" -d "$out" "$src/plain.wav"
    clear_out
done
# The magic alone is a file of an earlier version: every field takes its default.
run 0 "export --params with the magic only" export --wav -q -j 1 --params "$src/magic_only.zv3" \
    -d "$out" "$src/plain.wav"
clear_out
run "0|1" "export --params with a random body" export --wav -q -j 1 --params "$src/settings.zv3" \
    -d "$out" "$src/plain.wav"
clear_out
# A shared parameter file never starts a program by itself.
if "$cli" params --set use_external_encoder=1 --set external_encoder_path=/usr/bin/touch \
    --set "external_encoder_params=$work/encoder_ran" --save "$work/encoder.zv3" \
    >/dev/null 2>&1; then
    run "0|1" "export --params naming an external encoder" export --mp3 -q -j 1 \
        --params "$work/encoder.zv3" -d "$out" "$src/plain.wav"
    check "the parameter file's program did not run" [ ! -e "$work/encoder_ran" ]
    rm -f "$work/encoder_ran" "$work/encoder.zv3"
    clear_out
fi

# ---- params --------------------------------------------------------------------------------

for f in fifo.zv3 zero.zv3 folder.zv3 eio.zv3 empty.zv3 wrong_magic.zv3; do
    run 1 "params --params $f" params --params "$src/$f"
    names "params --params $f" "$f"
done
run 1 "params --state a FIFO" params --state "$src/fifo.prf"
names "params --state a FIFO" "fifo.prf"
run 0 "params --params a cut file" params --params "$src/cut_600.zv3"
run 0 "params --params the magic only" params --params "$src/magic_only.zv3"
run "0|1" "params --state with a random body" params --state "$src/random_body.prf"
for n in "${odd_names[@]}"; do
    run 0 "params --save '$n'" params --save "$out/$n.zv3"
    check "params --save '$n': written" [ "$(stat -c %s "$out/$n.zv3")" = 1899 ]
    run 0 "params --params '$n'" params --params "$out/$n.zv3"
done
clear_out
run 1 "params --save a FIFO" params --save "$src/fifo.zv3"
check "params --save a FIFO: still a FIFO" [ -p "$src/fifo.zv3" ]
run 1 "params --save a folder" params --save "$src/folder.zv3"
if [ -n "$device" ]; then
    run 1 "params --save a device" params --save "$device"
    check "params --save a device: still a device" [ -c "$device" ]
fi
printf 'x' >"$out/private.zv3"
chmod 600 "$out/private.zv3"
ln -s private.zv3 "$out/link.zv3"
run 0 "params --save a link" params --save "$out/link.zv3"
check "params --save a link: the link stays" [ -L "$out/link.zv3" ]
check "params --save a 0600 file: stays 0600" [ "$(stat -c %a "$out/private.zv3")" = 600 ]
run 0 "params --save a 255-byte name" params --save "$out/$long.zv3"
clear_out
run 2 "params --save \"\"" params --save ""
run 2 "params --params \"\"" params --params ""

# ---- playlist ------------------------------------------------------------------------------

for f in empty.plt short.plt fifo.plt zero.plt folder.plt eio.plt; do
    run 1 "playlist show $f" playlist show "$src/$f"
    names "playlist show $f" "$f"
done
# A file of the right size is read as a playlist whatever it holds: its paths name nothing.
run 0 "playlist show of noise" playlist show "$src/noise.plt"
check "playlist show of noise: an empty list" said "0 songs in list"
run 0 "playlist make with odd names" playlist make "$out/odd list.plt" "$src/with space.wav" \
    "$src/"$'new\nline.wav' "$src/-dash.mp3" "$src/"$'latin1 caf\xe9 \xff\xfe.wav'
run 0 "playlist show --tsv with odd names" playlist show --tsv "$out/odd list.plt"
check "playlist show --tsv: one line per song" [ "$(wc -l <"$work/out.txt")" -eq 5 ]
run 1 "playlist make refuses special files" playlist make "$out/special.plt" "$src/fifo.wav" \
    "$src/zero.wav" "$src/eio.wav" "$src/plain.wav"
names "playlist make refuses special files" "fifo.wav"
run 1 "playlist make into a FIFO" playlist make "$src/fifo.plt" "$src/plain.wav"
check "playlist make into a FIFO: still a FIFO" [ -p "$src/fifo.plt" ]
clear_out
# A list whose stored song has since become a FIFO: opening it drops the song at once.
cp "$src/plain.wav" "$work/swap.wav"
run 0 "playlist make of a song" playlist make "$out/swap.plt" "$work/swap.wav"
rm "$work/swap.wav"
mkfifo "$work/swap.wav"
run 0 "playlist show of a list whose song became a FIFO" playlist show "$out/swap.plt"
check "the FIFO is left out" said "1 of 1 stored songs left out"
rm -f "$work/swap.wav"
clear_out

# ---- presets, devices, play, onair ---------------------------------------------------------

run 0 "presets" presets --tsv
run 2 "presets with an argument" presets extra
run "0|1" "devices" devices
check "devices: no sound-library chatter" [ "$(grep -a -c -e '^ALSA lib' -e '^Cannot connect' \
    -e '^jack' "$work/err")" = 0 ]
for f in fifo.wav zero.wav eio.wav empty.wav noise.mp3 folder.wav fifo.flac zero.flac \
    eio.flac noise.flac opus_named.flac million_channels.flac; do
    run 1 "play $f" play "$src/$f"
done
run 1 "play --params a FIFO" play --params "$src/fifo.zv3" "$src/plain.wav"
run 1 "onair --params a FIFO" onair --seconds 1 --params "$src/fifo.zv3"
run "0|1" "onair for a second" onair --seconds 1

# ---- the sources -----------------------------------------------------------------------------

sums_after=$(checksums)
if [ "$sums_after" = "$sums_before" ]; then
    ok
else
    bad "sources changed: $(diff <(echo "$sums_before") <(echo "$sums_after") | grep -a '^[<>]' |
        tr '\n' ' ')"
fi
for f in fifo.wav fifo.mp3 fifo.zv3 fifo.prf fifo.plt fifo.flac; do
    check "$f is still a FIFO" [ -p "$src/$f" ]
done
check "no \$(...) in a name was run" [ ! -e "$work/pwned" ]

echo "hostile input: $passes checks passed, $fails failed"
[ "$fails" -eq 0 ]
