#!/bin/bash
# The built plugins as Debian's validators and listers see them: lv2_validate (sord_validate
# against the LV2 vocabularies' own schemas) finds no error in the bundle; lv2ls and lv2info
# find both plugins with every control port, the latency port and the eleven presets;
# analyseplugin shows both LADSPA plugins with their labels, ids and ports. The shared object
# shows hosts only its two entry points and needs no library beyond libsoxr and the C and C++
# runtimes (no Qt, no sound device).
# Usage: plugin_validation_test.sh TOOL LV2_PATH LADSPA_PATH
set -u
tool=$1
export LV2_PATH=$2
ladspa=$3/zelvonic-chain.so
bundle=$LV2_PATH/zelvonic-chain.lv2
. "$(dirname "$0")/../support/script_checks.sh"

if command -v lv2_validate >/dev/null; then
    lv2_validate "$bundle"/*.ttl >"$dir/validate.log" 2>&1
    grep -q "Found 0 errors" "$dir/validate.log" || {
        fail "lv2_validate found errors"
        grep -A4 "^error" "$dir/validate.log" | head -40
    }
else
    fail "lv2_validate is missing (lv2-dev and sordi)"
fi

lv2ls >"$dir/lv2ls" 2>&1
presets=("FM Station - Smooth Listening(Favorite FM)" "FM Station - Wide Stereo(Genetral Purpose)"
    "FM Station - Punchy Bass(Hip-Hop Music)" "FM Station - Bright and Dense(Rock Music)"
    "FM Station - Clear Vocal(POP Music)" "Digital Broadcast - Wide Stereo(Genetral Purpose)"
    "Digital Broadcast - Punchy Bass(Hip-Hop Music)"
    "Digital Broadcast - Bright and Dense(Rock Music)"
    "Digital Broadcast - Clear Vocal(POP Music)" "Internet Radio Station - Talk & Music Show"
    "AM Radio Station - Talk Show")
for kind in stereo mono; do
    uri=https://zelvonicmp3.example.org/lv2/chain-$kind
    grep -qx "$uri" "$dir/lv2ls" || fail "lv2ls does not list $uri"
    if ! lv2info "$uri" >"$dir/$kind.info" 2>&1; then
        fail "lv2info $uri"
        continue
    fi
    grep -q "Has latency: *yes" "$dir/$kind.info" || fail "$kind: lv2info sees no latency port"
    for symbol in $("$tool" symbols) latency control notify; do
        grep -qE "Symbol: +$symbol\$" "$dir/$kind.info" || fail "$kind: no port $symbol"
    done
    ports=$(grep -c "^	Port [0-9]*:" "$dir/$kind.info")
    audio=$([ "$kind" = stereo ] && echo 4 || echo 2)
    [ "$ports" = $((audio + 66 + 3)) ] || fail "$kind: $ports ports"
    for p in "${presets[@]}"; do
        grep -qF "	         $p" "$dir/$kind.info" || fail "$kind: no preset '$p'"
    done
    grep -qF 'Scale Points:' "$dir/$kind.info" || fail "$kind: no scale points"
    for label in FAST 12MS 50US THRU 4.TR- ADPTV 'L<>R'; do
        grep -qF "= \"$label\"" "$dir/$kind.info" || fail "$kind: no scale point $label"
    done
done

if command -v analyseplugin >/dev/null; then
    analyseplugin "$ladspa" >"$dir/analyse" 2>&1 || fail "analyseplugin"
    for expected in 'Plugin Label: "zelvonic_chain_stereo"' 'Plugin Unique ID: 5831' \
        'Plugin Label: "zelvonic_chain_mono"' 'Plugin Unique ID: 5832' \
        '"Input L" input, audio' '"Output R" output, audio' '"Input" input, audio' \
        '"latency" output, control' '"Preset" input, control, 0 to 10, default 0, integer'; do
        grep -qF "$expected" "$dir/analyse" || fail "analyseplugin lacks: $expected"
    done
    while read -r name; do
        [ "$(grep -cF "\"$name\" input, control" "$dir/analyse")" = 2 ] ||
            fail "analyseplugin: '$name' not in both plugins"
    done < <("$tool" ladspa-ports)
    grep -q "default 0" "$dir/analyse" || fail "analyseplugin: no default 0"
    ! grep -F "input, control" "$dir/analyse" | grep -v "default 0" ||
        fail "a LADSPA control without DEFAULT_0"
else
    fail "analyseplugin is missing (ladspa-sdk)"
fi

# What hosts load: two entry points, and only these libraries.
exports=$(nm -D --defined-only "$ladspa" | awk '{print $3}' | sort | tr '\n' ' ')
[ "$exports" = "ladspa_descriptor lv2_descriptor " ] || fail "exported symbols: $exports"
needed=$(readelf -d "$ladspa" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
[ "$needed" = "libc.so.6 libgcc_s.so.1 libm.so.6 libsoxr.so.0 libstdc++.so.6 " ] ||
    fail "libraries needed: $needed"
cmp -s "$ladspa" "$bundle/zelvonic-chain.so" || fail "the bundle and LADSPA objects differ"

finish_checks "plugin validation"
