#!/usr/bin/env bash
# zvmp3-cli playlist: make a list from a folder, show it (aligned and --tsv) after a song has
# gone, and the exit status of each kind of failure.
# Usage: playlist_test.sh ZVMP3_CLI FIXTURE_DIR
set -u
cli=$1
media=$2
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
fails=0
check() {  # check DESCRIPTION EXPECTED_STATUS ACTUAL_STATUS
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1 (exit $3, expected $2)"
        fails=$((fails + 1))
    fi
}
has() {  # has DESCRIPTION FILE TEXT
    if ! grep -qF -- "$3" "$2"; then
        echo "FAIL: $1: '$3' not in:"
        cat "$2"
        fails=$((fails + 1))
    fi
}

mkdir "$dir/songs"
cp "$media/cbr128_id3v1v2.mp3" "$media/pcm16_mono_48000.wav" "$dir/songs/"
"$cli" playlist make "$dir/list.plt" "$dir/songs" >"$dir/out" 2>"$dir/err"
check "make from a folder" 0 $?
has "make reports the count" "$dir/out" "2 songs"
[ "$(wc -c <"$dir/list.plt")" -eq 640008 ] || { echo "FAIL: file size"; fails=$((fails + 1)); }

"$cli" playlist show "$dir/list.plt" >"$dir/out" 2>"$dir/err"
check "show" 0 $?
has "show lists the tag" "$dir/out" "Fixture Song"
has "show ends with the status text" "$dir/out" "2 songs in list"

rm "$dir/songs/pcm16_mono_48000.wav"
"$cli" playlist show --tsv "$dir/list.plt" >"$dir/out" 2>"$dir/err"
check "show --tsv" 0 $?
printf 'No\tfs\tch\tFile Name\tTime\tTitle\tArtist\tAlbum\tTr\tFull Path\n' >"$dir/header"
head -n 1 "$dir/out" | cmp -s - "$dir/header" || { echo "FAIL: tsv header"; fails=$((fails + 1)); }
[ "$(wc -l <"$dir/out")" -eq 2 ] || { echo "FAIL: vanished song still listed"; fails=$((fails + 1)); }
has "the tsv row" "$dir/out" "$(printf '00\t44\t2\tcbr128_id3v1v2.mp3\t00:05\t')"
has "dropped songs are counted" "$dir/err" "1 of 2 stored songs left out"

"$cli" playlist show "$media/pcm16_stereo_44100.wav" >/dev/null 2>"$dir/err"
check "show of a file that is not a playlist" 1 $?
has "the reason" "$dir/err" "not a playlist file"
"$cli" playlist show "$dir/missing.plt" >/dev/null 2>&1
check "show of a missing file" 1 $?
"$cli" playlist make "$dir/two.plt" "$dir/songs" "$dir/songs/notes.txt" >/dev/null 2>"$dir/err"
check "make with a refused file" 1 $?
has "the refused file is named" "$dir/err" "notes.txt: not a song file (.wav, .mp3, .flac, .ogg, .oga or .opus)"
[ -f "$dir/two.plt" ] || { echo "FAIL: the accepted songs were not written"; fails=$((fails + 1)); }
# An album folder enters in natural name order (01..12, track2 before track10), sub-folders
# where their names fall; more than 2000 songs leave the rest out, counted, with status 1.
mkdir -p "$dir/album/07 bonus" "$dir/many"
for n in 01 02 03 04 05 06 07 08 09 10 11 12; do
    cp "$media/pcm16_mono_48000.wav" "$dir/album/$n.wav"
done
cp "$media/pcm16_mono_48000.wav" "$dir/album/07 bonus/track10.wav"
cp "$media/pcm16_mono_48000.wav" "$dir/album/07 bonus/track2.wav"
"$cli" playlist make "$dir/album.plt" "$dir/album" >/dev/null 2>"$dir/err"
check "make from an album folder" 0 $?
"$cli" playlist show --tsv "$dir/album.plt" | tail -n +2 | cut -f4 | tr '\n' ' ' >"$dir/order"
has "natural order" "$dir/order" "01.wav 02.wav 03.wav 04.wav 05.wav 06.wav 07.wav track2.wav track10.wav 08.wav 09.wav 10.wav 11.wav 12.wav "
# 2003 copies of a small song, made by tee 500 at a time (a process per file is slow).
for from in 0 500 1000 1500 2000; do
    names=()
    for ((i = from; i < from + 500 && i < 2003; i++)); do
        names+=("$dir/many/s$i.wav")
    done
    tee "${names[@]}" <"$media/no_samples.wav" >/dev/null
done
"$cli" playlist make "$dir/many.plt" "$dir/many" >"$dir/out" 2>"$dir/err"
check "make from a folder of 2003 songs" 1 $?
has "the songs left out are counted" "$dir/err" "3 songs left out, the list is full"
has "the list holds 2000" "$dir/out" "2000 songs"
"$cli" playlist show --tsv "$dir/many.plt" | tail -n 1 | cut -f4 >"$dir/last"
has "the first 2000 in order are kept" "$dir/last" "s1999.wav"
"$cli" playlist make "$dir/no/such/folder/x.plt" "$dir/songs" >/dev/null 2>&1
check "make into a missing folder" 1 $?
"$cli" playlist show >/dev/null 2>&1
check "show without a file" 2 $?
"$cli" playlist frobnicate >/dev/null 2>&1
check "unknown action" 2 $?
"$cli" playlist --help >/dev/null 2>&1
check "--help" 0 $?

[ "$fails" -eq 0 ] && echo "all playlist CLI checks passed"
[ "$fails" -eq 0 ]
