#!/bin/bash
# The plugins in Debian's own hosts: lv2apply (lilv-utils), applyplugin (ladspa-sdk), ffmpeg's
# lv2 and ladspa filters, and Liquidsoap's ladspa operators. Each processes the fixture songs
# (stereo 44.1 and 32 kHz, mono 48 kHz) with the start-up settings and a factory preset, and
# the 16-bit file it writes is the export's from the reported latency on. Liquidsoap runs the
# README's line, and PipeWire (where it and WirePlumber are installed) the README's
# filter-chain file, and each must give the song back processed.
# Usage: plugin_hosts_test.sh files|liquidsoap|pipewire TOOL CLI FIXTURES LV2_PATH LADSPA_PATH
# (three parts, so CTest runs them side by side).
set -u
part=$1
tool=$2
cli=$3
fixtures=$4
export LV2_PATH=$5
export LADSPA_PATH=$6
. "$(dirname "$0")/../support/script_checks.sh"

stereo_uri=https://zelvonicmp3.example.org/lv2/chain-stereo
mono_uri=https://zelvonicmp3.example.org/lv2/chain-mono
if [ "$part" = files ]; then
    for t in lv2apply applyplugin ffmpeg; do
        command -v "$t" >/dev/null || fail "$t is missing (scripts/install-deps installs it)"
    done
fi

# compare NAME EXPORT OUTPUT LATENCY [--odd-top]
compare() {
    local name=$1
    shift
    "$tool" compare "$@" >"$dir/compare.log" 2>&1 || {
        fail "$name differs from the export"
        cat "$dir/compare.log"
    }
}

# The preset as LV2 controls: lv2apply's -c pairs, ffmpeg's sym=value list.
preset_pairs() { "$tool" preset-controls "$1"; }

[ "$part" = files ] && for song in pcm16_stereo_44100 pcm16_mono_48000 pcm16_stereo_32000; do
    in=$fixtures/$song.wav
    rate=$(soxi -r "$in")
    channels=$(soxi -c "$in")
    if [ "$channels" = 2 ]; then
        uri=$stereo_uri label=zelvonic_chain_stereo
    else
        uri=$mono_uri label=zelvonic_chain_mono
    fi
    for preset in 232 343; do
        case=$song-$preset
        # The start-up preset is 232, index 0; 343 is the menu's second, index 1.
        index=0
        [ "$preset" = 343 ] && index=1
        "$cli" export --preset "$preset" --wav --no-normalise -q "$in" -o "$dir/$case.export.wav" ||
            fail "export $case"
        latency=$("$tool" latency lv2 "$channels" "$rate" $(preset_pairs "$preset" | tr ' ' '='))
        [ "$latency" -gt 0 ] 2>/dev/null || fail "no latency for $case: $latency"

        # lv2apply: libsndfile reads x/32768 and writes round(f*32767).
        controls=()
        while read -r symbol value; do
            controls+=(-c "$symbol" "$value")
        done < <(preset_pairs "$preset")
        if lv2apply "${controls[@]}" -i "$in" -o "$dir/$case.lv2apply.wav" "$uri" \
            >"$dir/lv2apply.log" 2>&1; then
            compare "lv2apply $case" "$dir/$case.export.wav" "$dir/$case.lv2apply.wav" \
                "$latency" --odd-top
        else
            fail "lv2apply $case"
            cat "$dir/lv2apply.log"
        fi

        # applyplugin: the controls in port order (Preset first, every other one 0).
        if applyplugin -s 0 "$in" "$dir/$case.applyplugin.wav" "$LADSPA_PATH/zelvonic-chain.so" \
            "$label" "$index" 0 0 0 0 0 0 0 0 0 0 0 >"$dir/applyplugin.log" 2>&1; then
            compare "applyplugin $case" "$dir/$case.export.wav" "$dir/$case.applyplugin.wav" \
                "$latency"
        else
            fail "applyplugin $case"
            cat "$dir/applyplugin.log"
        fi

        # ffmpeg's lv2 filter: ':' inside the URI escaped for the filter graph.
        lv2_controls=$(preset_pairs "$preset" | tr ' ' '=' | paste -sd'|')
        if ffmpeg -nostdin -v error -y -i "$in" \
            -af "lv2=p=${uri/:/\\\\:}:c=$lv2_controls" -c:a pcm_s16le \
            "$dir/$case.ffmpeg-lv2.wav"; then
            compare "ffmpeg -af lv2 $case" "$dir/$case.export.wav" "$dir/$case.ffmpeg-lv2.wav" \
                "$latency"
        else
            fail "ffmpeg -af lv2 $case"
        fi

        # ffmpeg's ladspa filter, with its own latency compensation (the "latency" output):
        # the whole song, tail included.
        if ffmpeg -nostdin -v error -y -i "$in" \
            -af "ladspa=f=zelvonic-chain:p=$label:c=c0=$index:latency=1" -c:a pcm_s16le \
            "$dir/$case.ffmpeg-ladspa.wav"; then
            compare "ffmpeg -af ladspa $case" "$dir/$case.export.wav" \
                "$dir/$case.ffmpeg-ladspa.wav" 0
            [ "$(soxi -s "$dir/$case.ffmpeg-ladspa.wav")" = "$(soxi -s "$dir/$case.export.wav")" ] ||
                fail "ffmpeg -af ladspa $case: not the export's length"
        else
            fail "ffmpeg -af ladspa $case"
        fi
    done
done

# Liquidsoap, as a station runs it: the README's line on a song, written as WAV (its own
# clock running as fast as it can; root allowed, as CI containers run it).
if [ "$part" != liquidsoap ]; then
    :
elif command -v liquidsoap >/dev/null; then
    in=$fixtures/pcm16_stereo_44100.wav
    cat >"$dir/station.liq" <<LIQ
settings.init.allow_root.set(true)
settings.frame.audio.samplerate.set(44100)
radio = once(single("$in"))
radio = ladspa.zelvonic_chain_stereo(preset=1, agc_drive_offset=-2., radio)
clock.assign_new(sync="none", [radio])
output.file(%wav(stereo, samplesize=16), "$dir/liquidsoap.wav", fallible=true,
            on_stop=shutdown, radio)
LIQ
    if LIQ_LADSPA_DIRS=$LADSPA_PATH timeout 120 liquidsoap "$dir/station.liq" \
        >"$dir/liquidsoap.log" 2>&1 && [ -s "$dir/liquidsoap.wav" ]; then
        peak=$(sox "$dir/liquidsoap.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
        awk -v p="$peak" 'BEGIN { exit !(p > 0.5) }' ||
            fail "Liquidsoap's output is nearly silent (peak $peak)"
    else
        fail "Liquidsoap did not process the song through ladspa.zelvonic_chain_stereo"
        tail -20 "$dir/liquidsoap.log"
    fi
else
    echo "liquidsoap is not installed: not run"
    exit 77
fi

# PipeWire with its session manager, where both are installed: the README's filter-chain file
# as a drop-in, a song played into its sink and recorded from a test card behind it. A quiet
# song comes out at more than twice its level: the chain's AGC raised it.
if [ "$part" != pipewire ]; then
    :
elif command -v pipewire >/dev/null && command -v wireplumber >/dev/null &&
    command -v dbus-run-session >/dev/null && command -v pw-cat >/dev/null; then
    mkdir -p "$dir/pw/run" "$dir/pw/config/pipewire/pipewire.conf.d"
    chmod 700 "$dir/pw/run"
    cp "$(dirname "$0")/../../plugins/examples/zelvonic-chain.conf" \
        "$dir/pw/config/pipewire/pipewire.conf.d/"
    cat >"$dir/pw/config/pipewire/pipewire.conf.d/test-card.conf" <<'CONF'
context.objects = [
    { factory = adapter
        args = {
            factory.name = support.null-audio-sink
            node.name = "test-card"
            media.class = "Audio/Sink"
            audio.position = [ FL FR ]
            object.linger = true
        }
    }
]
CONF
    sox "$fixtures/pcm16_stereo_44100.wav" -r 48000 "$dir/pw/quiet.wav" gain -20
    cat >"$dir/pw/session.sh" <<'SESSION'
cd "$1" || exit 1
export XDG_RUNTIME_DIR=$1/run XDG_CONFIG_HOME=$1/config
pipewire >pipewire.log 2>&1 &
server=$!
sleep 1
wireplumber >wireplumber.log 2>&1 &
manager=$!
sleep 3
pw-cat --record --target test-card --rate 48000 --channels 2 --format s16 rec.wav &
recorder=$!
sleep 1
timeout 8 pw-cat --playback --target effect_input.zelvonic_chain quiet.wav
sleep 1
kill $recorder $manager $server
wait
SESSION
    timeout 60 dbus-run-session bash "$dir/pw/session.sh" "$dir/pw" >/dev/null 2>&1
    quiet=$(sox "$dir/pw/quiet.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
    peak=$(sox "$dir/pw/rec.wav" -n stat 2>&1 | awk '/Maximum amplitude/ {print $3}')
    awk -v p="${peak:-0}" -v q="$quiet" 'BEGIN { exit !(p > 2 * q) }' || {
        fail "PipeWire's filter-chain did not process the song (peak ${peak:-none}, in $quiet)"
        tail -n 5 "$dir/pw/pipewire.log" "$dir/pw/wireplumber.log"
    }
else
    echo "PipeWire or WirePlumber is not installed: the filter-chain example not run"
    exit 77
fi

finish_checks "plugins in Debian's hosts ($part)"
