#!/usr/bin/env bash
# zvmp3-cli's messages follow the locale by the window's rule: the first of LC_ALL, LC_MESSAGES
# and LANG that is set and not empty decides, Japanese when it starts with "ja", else English.
#
# Usage: language_test.sh ZVMP3_CLI
set -u
cli=$(realpath "$1")
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

english="--jobs needs a number of at least 1"
japanese="--jobs には 1 以上の数が必要です"
fails=0

# expect LANGUAGE VARIABLES...: runs a refused export under exactly these locale variables.
expect() {
    local want=$1
    shift
    local err status
    err=$(env -u LC_ALL -u LC_MESSAGES -u LANG -u LANGUAGE "$@" "$cli" export --jobs 0 a.wav -o b 2>&1 >/dev/null)
    status=$?
    local text=$english
    [ "$want" = ja ] && text=$japanese
    if [ "$status" -ne 2 ] || [[ "$err" != *"$text"* ]]; then
        echo "FAIL: $* -> status $status, wanted the $want message: $err"
        fails=$((fails + 1))
    fi
}

expect ja LANG=ja_JP.UTF-8
expect en LANG=en_US.UTF-8
expect en LANG=de_DE.UTF-8
expect en
expect en LC_ALL=C.UTF-8 LANG=ja_JP.UTF-8
expect ja LC_MESSAGES=ja_JP.eucJP LANG=en_GB.UTF-8
expect ja LC_ALL= LANG=ja_JP.UTF-8

# Under an English locale nothing the commands print is Japanese, the core's facts included:
# the device warnings (whatever devices this machine has) and a file that is no playlist.
printf 'not a playlist' >bogus.plt
for run in "devices" "playlist show bogus.plt" "export --jobs 0 a.wav -o b"; do
    # shellcheck disable=SC2086 # the words of the command line
    out=$(env -u LC_MESSAGES -u LANG -u LANGUAGE LC_ALL=C.UTF-8 "$cli" $run 2>&1)
    if printf '%s' "$out" | LC_ALL=C.UTF-8 grep -qP '[\x{3000}-\x{30FF}\x{3400}-\x{9FFF}\x{FF00}-\x{FFEF}]'; then
        echo "FAIL: zvmp3-cli $run printed Japanese under LC_ALL=C.UTF-8: $out"
        fails=$((fails + 1))
    fi
done
out=$(env -u LC_ALL -u LC_MESSAGES -u LANGUAGE LANG=ja_JP.UTF-8 "$cli" playlist show bogus.plt 2>&1)
if [[ "$out" != *"プレイリストファイルではありません"* ]]; then
    echo "FAIL: a file that is no playlist, under LANG=ja_JP.UTF-8: $out"
    fails=$((fails + 1))
fi

[ "$fails" -eq 0 ] && echo "language: all passed"
exit $((fails > 0))
