#!/bin/sh
# zvmp3-cli probe --tsv over every generated song, compared column by column with what
# scripts/make-fixtures wrote into expectations.tsv ('-' cells are not checked).
# Usage: probe_fixtures_test.sh ZVMP3_CLI FIXTURE_DIR
set -u
cli=$1
fixtures=$2
out=$(mktemp) || exit 1
trap 'rm -f "$out"' EXIT
cd "$fixtures" || exit 1
# Some songs are refused on purpose, so the probe's own status is not the verdict.
"$cli" probe --tsv *.wav *.mp3 *.flac *.ogg *.opus >"$out" 2>/dev/null
awk -F '\t' '
    FNR == 1 { for (i = 1; i <= NF; ++i) col[FILENAME, $i] = i; next }
    FILENAME == ARGV[1] { want[$1] = $0; next }
    {
        seen[$1] = 1
        if (!($1 in want)) { print "FAIL: " $1 " has no expectations row"; ++failed; next }
        split(want[$1], w, "\t")
        n = split("probe_result rate channels pcm_bytes time_text id3_title id3_artist id3_album id3_track chain_rate", names, " ")
        for (k = 1; k <= n; ++k) {
            e = w[col[ARGV[1], names[k]]]
            g = $(col[ARGV[2], names[k]])
            if (e != "-" && e != g) {
                print "FAIL: " $1 " " names[k] ": probe says \"" g "\", expected \"" e "\""
                ++failed
            }
        }
        ++checked
    }
    END {
        for (f in want) if (!(f in seen)) { print "FAIL: " f " was not probed"; ++failed }
        printf "%d files checked, %d differences\n", checked, failed
        exit failed > 0
    }' expectations.tsv "$out" || exit 1
# A WAV refused by both readers is told the rule of the list, not the 16-bit reader's alone.
"$cli" probe pcm8_mono.wav >"$out" 2>/dev/null
grep -q "16-, 24- or 32-bit PCM or 32-bit float, 1 or 2 channels, 8000 to 192000 Hz" "$out" || {
    echo "FAIL: the 8-bit WAV's refusal: $(cat "$out")"
    exit 1
}
