#!/usr/bin/env bash
# The libraries below the front ends report facts, not words: no Japanese (kana, kanji, CJK
# punctuation, full-width forms) and no dialog control id (CTL_...) in their sources. The
# window and the command line word the facts themselves.
#
# Usage: core_words_test.sh SOURCE_DIR
set -u
source "$(dirname "$0")/../support/script_checks.sh"
src=$1

for lib in engine sources playback export settings; do
    [ -d "$src/$lib" ] || fail "$lib: no such folder in $src"
    cjk=$(LC_ALL=C.UTF-8 grep -rnP '[\x{3000}-\x{30FF}\x{3400}-\x{9FFF}\x{FF00}-\x{FFEF}]' \
        "$src/$lib")
    [ -z "$cjk" ] || fail "$lib holds Japanese text:
$cjk"
    ids=$(grep -rnw 'CTL_[A-Z0-9_]*' "$src/$lib")
    [ -z "$ids" ] || fail "$lib names dialog controls:
$ids"
done

# The check itself finds what it looks for.
mkdir -p "$dir/probe"
printf 'const char* t = "確認";\n' >"$dir/probe/a.cpp"
printf 'constexpr int CTL_EXPORT_TIME = 1016;\n' >"$dir/probe/b.h"
LC_ALL=C.UTF-8 grep -qrP '[\x{3000}-\x{30FF}\x{3400}-\x{9FFF}\x{FF00}-\x{FFEF}]' "$dir/probe" ||
    fail "the Japanese pattern misses a kanji"
grep -qrw 'CTL_[A-Z0-9_]*' "$dir/probe" || fail "the control id pattern misses CTL_EXPORT_TIME"

finish_checks core_words
