#!/bin/bash
# A station's processor under Liquidsoap itself: a two-song playlist through pipe() into
# output.file, headless at the pace of the computer's clock, in both ways pipe()
# runs a process: without replay_delay (the process is closed and started again at every
# track and metadata; --trim-latency) and with it (one process for the whole stream); and,
# given the build's LADSPA folder, through the plugin's ladspa.* operator with a factory
# preset chosen by its Preset port. What comes out must be `zvmp3-cli export --wav
# --no-normalise` of the same songs with the same settings, within one 16-bit step, where
# each way puts it; the songs' metadata must come out in order (but for marks Liquidsoap
# itself drops and logs), and every process must end with status 0 and no warning.
#
# Liquidsoap 2.1 does three things of its own that the songs are made for:
# - it hands the process a song's 16-bit samples through floats and back by truncation,
#   which takes one step off every sample that is not 0; the songs it reads are therefore
#   float WAVs whose values truncate back to the 16-bit song exactly;
# - a track ends at its last whole frame (LIQ_FRAME frames, 0.04 s): the songs are whole
#   frames long;
# - pipe() writes a whole frame at a track's end, where the track has none left: the frame
#   before it once more. The songs end with a frame of silence, so that this frame is
#   silence too, and the single process of replay_delay sees one more frame of silence
#   between the songs (its reference is made so).
#
# Another way in is one more add_case with its Liquidsoap operator and its references (see
# "cases" below).
# Usage: [ZV_HOST_PRELOAD=RUNTIME] liquidsoap_test.sh ZVMP3_CLI FIXTURE_DIR [LADSPA_DIR]
# (without LADSPA_DIR the plugin's case is left out; RUNTIME is the shared sanitizer runtime
# Liquidsoap must load first for a sanitizer build's plugin).
set -u
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
media=$2
ladspa=${3:-}
if ! command -v liquidsoap >/dev/null; then
    echo "SKIP: liquidsoap is not installed (scripts/install-deps installs it)"
    exit 77
fi
. "$(dirname "$0")/../support/script_checks.sh"
export LC_ALL=C
# The processes Liquidsoap starts find this build's zvmp3-cli first.
PATH=$(dirname "$cli"):$PATH
export PATH

LIQ_FRAME=1764 # Liquidsoap's frame at 44100 Hz (frame.duration 0.04 s)

# ---- songs and references --------------------------------------------------------------
song=$media/pcm16_stereo_44100.wav
silence() { sox -D -r 44100 -c 2 -n -b 16 -e signed-integer "$1" trim 0 "$2s"; }
sox -D "$song" "$dir/a.wav" trim 0 $((61 * LIQ_FRAME))s pad 0 ${LIQ_FRAME}s &&
    sox -D "$song" "$dir/b.wav" reverse trim 0 $((39 * LIQ_FRAME))s pad 0 ${LIQ_FRAME}s &&
    silence "$dir/end.wav" 88200 && silence "$dir/gap.wav" $LIQ_FRAME || exit 1
# Liquidsoap hands the process x * 32767, truncated, of a float sample x. The float songs
# hold x = v / 32767 for the 16-bit sample v (ffmpeg reads v as v / 32768), and a little more
# (1e-5 of it, under a step at full scale), so that no rounding of the float falls below v.
gain=$(awk 'BEGIN { printf "%.15f", 32768 / 32767 * (1 + 1e-5) }')
for s in a b end; do
    ffmpeg -nostdin -v error -i "$dir/$s.wav" -af "volume=$gain" -c:a pcm_f32le \
        "$dir/$s.f32.wav" || exit 1
    echo "annotate:title=\"$s\":$dir/$s.f32.wav" >>"$dir/songs_f32.m3u"
    echo "annotate:title=\"$s\":$dir/$s.wav" >>"$dir/songs_s16.m3u"
done
# A and B as the single process of replay_delay gets them, and as a plugin gets them.
sox -D "$dir/a.wav" "$dir/gap.wav" "$dir/b.wav" "$dir/a_b.wav" &&
    sox -D "$dir/a.wav" "$dir/b.wav" "$dir/ab.wav" || exit 1
frames_of() { echo $(($(sox -D "$1" -t raw - | wc -c) / 4)); }
a_frames=$(frames_of "$dir/a.wav")

"$cli" params --preset 232 --set agc_drive_db=18 --save "$dir/station.zv3" >/dev/null ||
    exit 1
latency_of() {  # latency_of SETTINGS...: the stream's latency in frames
    "$cli" stream "$@" </dev/null 2>&1 >/dev/null |
        sed -n 's/.*latency \([0-9][0-9]*\) frames.*/\1/p'
}
export_as() {  # export_as OUT SONG SETTINGS... (a parameter file also sets the format)
    local out=$1 song=$2
    shift 2
    "$cli" export "$@" --wav --no-normalise -q "$song" -o "$out" || fail "export of $song"
}

# ---- cases -----------------------------------------------------------------------------
# add_case NAME SONGS OPERATOR: the playlist SONGS (songs_f32.m3u for a process behind
# pipe(); songs_s16.m3u where Liquidsoap's floats reach the chain as they are, as they
# reach a plugin) through OPERATOR, a Liquidsoap expression of the playlist's source s,
# into NAME.raw. Every case must pass the songs' metadata in order.
# expect NAME REFERENCE_WAV FIRST_FRAME: the reference's samples are in NAME.raw from
# FIRST_FRAME on (Liquidsoap runs until every case has written that far).
# expect_processes NAME FEWEST MOST: pipe(id="NAME_pipe") started that many processes, and
# every one that ended did so with status 0 and no warning.
cases=()
expectations=()
process_counts=()
declare -A needed # bytes each case's output must reach
liq_cases=""
add_case() {
    cases+=("$1")
    needed[$1]=0
    liq_cases+="run_case(\"$1\", \"$2\", fun (s) -> $3)"$'\n'
}
expect() {
    local end=$((($3 + $(frames_of "$2")) * 4))
    expectations+=("$1 $2 $3")
    ((end > needed[$1])) && needed[$1]=$end
}
expect_processes() { process_counts+=("$1 $2 $3"); }

# Without replay_delay: at the first track's metadata, at the end of each track and at the
# next track's metadata Liquidsoap closes the process's input and starts it again, and
# adds the marks after all it wrote: two processes a song, one for its metadata. Trimmed,
# each song's process writes the song's export and then the frame pipe() added, processed.
add_case restart songs_f32.m3u \
    'pipe(id="restart_pipe", process="zvmp3-cli stream --format wav --trim-latency --preset 340", s)'
export_as "$dir/restart_a.wav" "$dir/a.wav" --preset 340
export_as "$dir/restart_b.wav" "$dir/b.wav" --preset 340
expect restart "$dir/restart_a.wav" 0
expect restart "$dir/restart_b.wav" $((a_frames + LIQ_FRAME))
expect_processes restart 4 99

# With replay_delay: one process, its output the latency behind; Liquidsoap replays the
# marks 0.1 s after it wrote them. Settings from a parameter file, as a station keeps them.
add_case replay songs_f32.m3u \
    'pipe(id="replay_pipe", replay_delay=0.1, process="zvmp3-cli stream --format wav --params \"$ZV_PARAMS\"", s)'
export ZV_PARAMS=$dir/station.zv3
export_as "$dir/replay_a_b.wav" "$dir/a_b.wav" --params "$ZV_PARAMS"
expect replay "$dir/replay_a_b.wav" "$(latency_of --params "$ZV_PARAMS")"
expect_processes replay 1 1

# The LADSPA plugin's operator: one instance for the whole stream, never reset between
# tracks, given the floats Liquidsoap decoded as they are; marks untouched, no frame added.
# Liquidsoap neither compensates the latency the plugin reports nor shows it (no output
# ports), so A and B come out as one song, that latency behind; at 44.1 kHz it is the
# chain's own, which `stream` prints. The plugin gives y / 32768, which Liquidsoap writes as
# y * 32767 / 32768 truncated: every sample but 0 one step nearer zero. The preset by its
# menu index: 1 is 343. Where the next song is not ready in time, Liquidsoap stops the
# output and starts it again; the plugin runs on. LIQ_LADSPA_DIRS, when set, is the only
# place Liquidsoap looks (it does not read LADSPA_PATH), so a copy installed in the
# system's folders is not taken.
if [ -n "$ladspa" ] && [ ! -f "$ladspa/zelvonic-chain.so" ]; then
    fail "no zelvonic-chain.so in $ladspa"
elif [ -n "$ladspa" ]; then
    export LIQ_LADSPA_DIRS=$ladspa
    add_case ladspa songs_s16.m3u 'ladspa.zelvonic_chain_stereo(preset=1, s)'
    export_as "$dir/ladspa_ab.wav" "$dir/ab.wav" --preset 343
    expect ladspa "$dir/ladspa_ab.wav" "$(latency_of --preset 343)"
else
    echo "the LADSPA plugin's case is left out: no plugin folder given"
fi

# ---- Liquidsoap ------------------------------------------------------------------------
# Each case has its playlist and its own clock at the computer's pace (a thread each): a
# clock without sync spins on a finished playlist and floods the log faster than Liquidsoap
# writes it, so that the pipes' records come late or never, and the songs take minutes
# rather than the seconds they last. The "end" song after B, longer than the second pipe()
# buffers before it plays on, brings the rest of B out. Liquidsoap is stopped once every
# case has written what its references need (marks cannot tell: its replay drops some, see
# below). It refuses to run as root unless told.
cat >"$dir/station.liq" <<EOF
settings.init.allow_root.set(true)
settings.log.stdout.set(false)
settings.log.file.set(true)
settings.log.file.path.set(getenv("ZV_LOG"))
settings.log.level.set(5)
settings.frame.audio.samplerate.set(44100)
settings.frame.duration.set(0.04)
def run_case(name, songs, operator) =
  songs = playlist(id=name ^ "_songs", mode="normal", reload_mode="never", loop=false,
                   getenv("ZV_DIR") ^ "/" ^ songs)
  out = clock(id=name ^ "_clock", sync="cpu", operator(songs))
  out = source.on_metadata(out, fun (m) -> print(name ^ " metadata " ^ m["title"]))
  output.file(id=name, fallible=true, append=true,
              %wav(stereo, samplesize=16, header=false),
              getenv("ZV_DIR") ^ "/" ^ name ^ ".raw", out)
end
$liq_cases
EOF
all_written() {
    local name
    for name in "${cases[@]}"; do
        [ "$(stat -c %s "$dir/$name.raw" 2>/dev/null || echo 0)" -ge "${needed[$name]}" ] ||
            return 1
    done
}
# A sanitizer's runtime in Liquidsoap stops at the first fault and keeps off the signal
# stacks of OCaml's threads, which OCaml frees itself; what Liquidsoap leaves allocated at
# its end is not the plugin's. Its processes inherit all of this.
host_env=()
if [ -n "${ZV_HOST_PRELOAD:-}" ]; then
    host_options=halt_on_error=1:use_sigaltstack=0:detect_leaks=0
    host_env=(LD_PRELOAD="$ZV_HOST_PRELOAD"
        ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}$host_options")
fi
env "${host_env[@]}" ZV_LOG="$dir/liquidsoap.log" ZV_DIR="$dir" liquidsoap "$dir/station.liq" \
    >"$dir/liquidsoap.out" 2>&1 &
liquidsoap=$!
for ((waited = 0; waited < 1200; waited++)); do
    all_written && break
    kill -0 "$liquidsoap" 2>/dev/null || break
    sleep 0.1
done
if ! kill -TERM "$liquidsoap" 2>/dev/null; then
    wait "$liquidsoap"
    fail "liquidsoap ended by itself with status $? before the cases were written"
    tail -n 30 "$dir/liquidsoap.out" "$dir/liquidsoap.log"
else
    # It shuts down in its own time; a hang there is not this test's business.
    for ((waited = 0; waited < 100; waited++)); do
        kill -0 "$liquidsoap" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$liquidsoap" 2>/dev/null
    wait "$liquidsoap" 2>/dev/null
    all_written || fail "not all written in 120 s: $(ls -l "$dir"/*.raw 2>&1)"
fi

# ---- what came out ---------------------------------------------------------------------
# worst_difference RAW REFERENCE_WAV FIRST_FRAME: the largest difference in steps over the
# reference's samples, or "short" when RAW does not hold them all.
worst_difference() {
    local samples
    samples=$(($(frames_of "$2") * 2))
    paste <(tail -c +$(($3 * 4 + 1)) "$1" | od -An -v -td2 -w2 | head -n "$samples") \
        <(sox -D "$2" -t raw - | od -An -v -td2 -w2) |
        awk -v want="$samples" 'NF == 2 { d = $1 - $2; if (d < 0) d = -d; if (d > m) m = d; n++ }
                               END { print (n == want ? m + 0 : "short") }'
}
for e in "${expectations[@]}"; do
    read -r name ref first <<<"$e"
    worst=$(worst_difference "$dir/$name.raw" "$ref" "$first")
    [ "$worst" != short ] && [ "$worst" -le 1 ] ||
        fail "$name: $(basename "$ref") from frame $first differs by $worst steps"
done
# The songs' metadata, in order, as far as the output has come. Liquidsoap's replay keeps
# only one of the marks that fall due in the same read of the output, and a track's end and
# the next track's metadata are written right after each other: now and then it drops one
# of them, and logs it.
in_order() {  # in_order "GOT" "ALL": GOT's words are some of ALL's, in ALL's order
    local rest=" $2 " w
    for w in $1; do
        [[ $rest == *" $w "* ]] || return 1
        rest=" ${rest#* $w }"
    done
}
for name in "${cases[@]}"; do
    titles=$(sed -n "s/^$name metadata //p" "$dir/liquidsoap.out" | tr '\n' ' ')
    dropped=$(grep -c "\[${name}_pipe:.*Cannot replay multiple element at once" \
        "$dir/liquidsoap.log")
    missing=0
    for t in a b; do
        [[ " $titles" == *" $t "* ]] || missing=$((missing + 1))
    done
    in_order "$titles" "a b end" && [ "$missing" -le "$dropped" ] ||
        fail "$name: metadata came out as '$titles' ($dropped marks dropped by Liquidsoap)"
done
for e in "${process_counts[@]}"; do
    read -r name fewest most <<<"$e"
    grep "\[${name}_pipe:" "$dir/liquidsoap.log" >"$dir/pipe.log"
    starts=$(grep -c 'Starting process' "$dir/pipe.log")
    [ "$starts" -ge "$fewest" ] && [ "$starts" -le "$most" ] ||
        fail "$name: $starts processes started, expected $fewest to $most"
    grep -o 'Process exited with code [0-9]*' "$dir/pipe.log" >"$dir/exits"
    if grep -qv 'code 0$' "$dir/exits"; then
        fail "$name: a process ended with another status than 0: $(sort -u "$dir/exits")"
    fi
    # The processes' standard error is in the log at level 5.
    if grep -q 'zvmp3-cli stream: warning' "$dir/pipe.log"; then
        fail "$name: a process warned: $(grep -m1 'zvmp3-cli stream: warning' "$dir/pipe.log")"
    fi
done

finish_checks liquidsoap
