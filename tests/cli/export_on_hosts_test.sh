#!/bin/bash
# scripts/export-on-hosts on two "hosts" of this computer: ':' and a second login through a
# plain 'sh -c' wrapper in place of ssh, so songs and settings really go through parallel's
# transfers and come back. Every file must be byte for byte the local export's; refused and
# failed songs are named and the others go on; nothing is left behind.
# Usage: export_on_hosts_test.sh ZVMP3_CLI FIXTURE_DIR SCRIPT
set -u
cli=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
media=$2
script=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
if ! command -v parallel >/dev/null || ! command -v rsync >/dev/null; then
    echo "SKIP: GNU parallel or rsync is not installed"
    exit 77
fi
. "$(dirname "$0")/../support/script_checks.sh"
export LC_ALL=C

# The second host: a login that drops ssh's options and the host name and runs the command
# with sh -c here, logging what it was asked.
cat >"$dir/fake-ssh" <<EOS
#!/bin/sh
echo "\$*" >>"$dir/ssh.log"
while [ \$# -gt 0 ]; do
    case \$1 in
        -[oplSiFceJLRDWw]) shift 2 ;;
        -*) shift ;;
        *) break ;;
    esac
done
shift
[ "\${1:-}" = -- ] && shift
exec sh -c "\$*"
EOS
chmod +x "$dir/fake-ssh"
hosts=(-S 1/: -S "1/$dir/fake-ssh second" --cli "$cli")

mkdir "$dir/songs" "$dir/hosts" "$dir/local" "$dir/run"
cp "$media/pcm16_stereo_44100.wav" "$media/pcm16_mono_48000.wav" "$media/tone_3s_44100.mp3" \
    "$media/cbr128_id3v1v2.mp3" "$dir/songs/"
cp "$media/pcm16_stereo_32000.wav" "$dir/songs/a 'quoted' name.wav"
"$cli" params --preset 336 --set bass_eq_gain_db=3 \
    --save "$dir/station.zv3" >/dev/null
check "params --save" 0 $?

# MP3 at 192 kbit/s with a parameter file, run from a folder of its own.
(cd "$dir/run" && "$script" "${hosts[@]}" --params "$dir/station.zv3" --bitrate 192 \
    --affix st_ -d "$dir/hosts" "$dir"/songs/*) >"$dir/out" 2>"$dir/err"
check "export-on-hosts" 0 $?
"$cli" export -q --params "$dir/station.zv3" --bitrate 192 --affix st_ -d "$dir/local" "$dir"/songs/*
check "local export" 0 $?
[ "$(ls "$dir/local" | wc -l)" -eq 5 ] || fail "the local export wrote $(ls "$dir/local")"
for f in "$dir"/local/*; do
    cmp -s "$f" "$dir/hosts/$(basename "$f")" || fail "$(basename "$f") differs from the local export"
done
[ "$(ls -A "$dir/hosts" | wc -l)" -eq 5 ] || fail "the folder holds $(ls -A "$dir/hosts")"
grep -q -- "--sender" "$dir/ssh.log" || fail "nothing came back from the second host"
grep -q "st_pcm16_stereo_44100.mp3" "$dir/out" || fail "no line per song: $(cat "$dir/out")"
[ -z "$(ls -A "$dir/run")" ] || fail "left in the working folder: $(ls -A "$dir/run")"

# WAV, and songs that cannot be exported: a name taken twice, a file that is not a song. Run
# as from cron, without SHELL or HOME: parallel's jobs need a shell, its warnings are no version.
rm -f "$dir"/hosts/* "$dir"/local/*
mkdir "$dir/other"
cp "$media/pcm16_mono_48000.wav" "$dir/other/"
printf 'not a song' >"$dir/songs/broken.wav"
env -u SHELL -u HOME "$script" "${hosts[@]}" -j 1 --wav --affix "" -d "$dir/hosts" "$dir/songs/broken.wav" \
    "$dir/songs/pcm16_mono_48000.wav" "$dir/other/pcm16_mono_48000.wav" \
    "$dir/songs/tone_3s_44100.mp3" >"$dir/out" 2>"$dir/err"
check "with a broken and a doubled song" 1 $?
grep -q "broken.wav" "$dir/err" || fail "the broken song is not named: $(cat "$dir/err")"
grep -q "other/pcm16_mono_48000.wav.*refused" "$dir/err" || fail "the doubled name: $(cat "$dir/err")"
"$cli" export -q --wav --affix "" -d "$dir/local" "$dir/songs/pcm16_mono_48000.wav" \
    "$dir/songs/tone_3s_44100.mp3"
for f in "$dir"/local/*; do
    cmp -s "$f" "$dir/hosts/$(basename "$f")" || fail "WAV $(basename "$f") differs"
done
[ "$(ls -A "$dir/hosts" | wc -l)" -eq 2 ] || fail "the folder holds $(ls -A "$dir/hosts")"

# A host whose zvmp3-cli is another version would give other bytes: nothing is exported.
cat >"$dir/versioned-cli" <<EOS
#!/bin/sh
[ -n "\${ZV_SECOND_HOST:-}" ] && [ "\$1" = --version ] && { echo "zvmp3-cli (ZelvonicMP3) 0.0.1"; exit 0; }
exec "$cli" "\$@"
EOS
chmod +x "$dir/versioned-cli"
rm -f "$dir"/hosts/*
ZV_SECOND_HOST=1 "$script" -S : --cli "$dir/versioned-cli" -d "$dir/hosts" \
    "$dir/songs/tone_3s_44100.mp3" >/dev/null 2>"$dir/err"
check "one host" 0 $?
sed -i 's|^exec sh -c|ZV_SECOND_HOST=1 exec sh -c|' "$dir/fake-ssh"
rm -f "$dir"/hosts/*
"$script" -S : -S "$dir/fake-ssh second" --cli "$dir/versioned-cli" -d "$dir/hosts" \
    "$dir/songs/tone_3s_44100.mp3" >/dev/null 2>"$dir/err"
check "hosts with different versions" 1 $?
grep -q "different versions" "$dir/err" || fail "different versions: $(cat "$dir/err")"
[ -z "$(ls -A "$dir/hosts")" ] || fail "exported with different versions: $(ls -A "$dir/hosts")"

# Hostile names: a folder whose name ends in a newline beside one without it (each with a
# different song of the same name), a target folder likewise, folders named '-x' and '-', and
# an output name that begins with a dot. Each song is exported from its own folder into the
# right target, byte for byte the local export's; the decoys stay untouched.
nl=$'\n'
sed -i 's|^ZV_SECOND_HOST=1 exec sh -c|exec sh -c|' "$dir/fake-ssh"
mkdir "$dir/names" "$dir/names/dir$nl" "$dir/names/dir" "$dir/names/-x" "$dir/names/-" \
    "$dir/dest$nl" "$dir/dest" "$dir/local-names"
cp "$media/pcm16_stereo_44100.wav" "$dir/names/dir$nl/song.wav"
cp "$media/pcm16_mono_48000.wav" "$dir/names/dir/song.wav"
cp "$media/pcm16_stereo_32000.wav" "$dir/names/-x/dash.wav"
cp "$media/tone_3s_44100.mp3" "$dir/names/-/lone.mp3"
cp "$media/pcm16_mono_48000.wav" "$dir/names/.hidden.wav"
for names in "dir$nl/song.wav" "-x/dash.wav -/lone.mp3" .hidden.wav; do
    read -r -a list <<<"$names"
    [ "$names" = "dir$nl/song.wav" ] && list=("$names")
    (cd "$dir/names" && "$script" "${hosts[@]}" --wav --affix "" -d "$dir/dest$nl" -- \
        "${list[@]}") >"$dir/out" 2>"$dir/err"
    check "hostile names: ${list[*]}" 0 $?
done
(cd "$dir/names" && "$cli" export -q --wav --affix "" -d "$dir/local-names" -- \
    "dir$nl/song.wav" -x/dash.wav -/lone.mp3 .hidden.wav)
check "local export of the hostile names" 0 $?
for f in song.wav dash.wav lone.wav .hidden.wav; do
    [ -f "$dir/local-names/$f" ] || fail "the local export did not write $f"
    cmp -s "$dir/local-names/$f" "$dir/dest$nl/$f" || fail "$f differs from the local export: $(cat "$dir/err")"
done
[ "$(ls -A "$dir/dest$nl" | wc -l)" -eq 4 ] || fail "the target holds $(ls -A "$dir/dest$nl")"
[ -z "$(ls -A "$dir/dest")" ] || fail "written into the folder without the newline: $(ls -A "$dir/dest")"
cmp -s "$dir/names/dir/song.wav" "$media/pcm16_mono_48000.wav" || fail "the decoy song changed"

# A folder as SOURCE: its songs (a FLAC among them) in natural name order, sub-folders where
# their names fall; --flac goes to the hosts as given.
mkdir -p "$dir/album/3 extra" "$dir/album-out" "$dir/album-local"
cp "$media/pcm16_mono_48000.wav" "$dir/album/10.wav"
cp "$media/pcm16_mono_48000.wav" "$dir/album/2.wav"
cp "$media/pcm16_mono_48000.wav" "$dir/album/3 extra/track.wav"
cp "$media/song.flac" "$dir/album/7.FLAC"
"$script" "${hosts[@]}" --flac -d "$dir/album-out" "$dir/album" >"$dir/out" 2>"$dir/err"
check "a folder as source" 0 $?
sed 's/ -> .*//; s|.*/album/||' "$dir/out" | tr '\n' '|' >"$dir/order"
[ "$(cat "$dir/order")" = "2.wav|3 extra/track.wav|7.FLAC|10.wav|" ] ||
    fail "folder order: $(cat "$dir/order")"
"$cli" export -q --flac -d "$dir/album-local" "$dir/album/2.wav" "$dir/album/3 extra/track.wav" \
    "$dir/album/7.FLAC" "$dir/album/10.wav"
[ "$(ls "$dir/album-out" | tr "\n" " ")" = "mm_10.flac mm_2.flac mm_7.flac mm_track.flac " ] ||
    fail "album: the hosts wrote $(ls "$dir/album-out")"
for f in "$dir"/album-local/*; do
    cmp -s "$f" "$dir/album-out/$(basename "$f")" || fail "album: $(basename "$f") differs"
done

# A bad --affix is a usage error before anything is sent to a host.
: >"$dir/ssh.log"
for bad in "a/b" ".." "--affix=x/y" "$(printf 'a%.0s' $(seq 32))"; do
    if [[ $bad == --affix=* ]]; then
        "$script" "${hosts[@]}" "$bad" -d "$dir/hosts" "$dir/songs/tone_3s_44100.mp3" >/dev/null 2>"$dir/err"
    else
        "$script" "${hosts[@]}" --affix "$bad" -d "$dir/hosts" "$dir/songs/tone_3s_44100.mp3" >/dev/null 2>"$dir/err"
    fi
    check "--affix '$bad'" 2 $?
done
[ ! -s "$dir/ssh.log" ] || fail "a host was asked with a bad affix ($(wc -l <"$dir/ssh.log") calls)"

# Usage.
"$script" -d "$dir/hosts" -o x "$dir/songs/tone_3s_44100.mp3" >/dev/null 2>&1
check "-o" 2 $?
"$script" "$dir/songs/tone_3s_44100.mp3" >/dev/null 2>&1
check "no folder" 2 $?
"$script" -d "$dir/missing" "$dir/songs/tone_3s_44100.mp3" >/dev/null 2>&1
check "missing folder" 1 $?

finish_checks export-on-hosts
