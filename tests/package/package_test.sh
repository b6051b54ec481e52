#!/bin/bash
# The Debian package: CPack builds it from the build tree (already built by `make test`), it is
# unpacked into a scratch root with dpkg -x, and what it holds is checked: the CLI runs from
# there and shows the package's version; the desktop program, entry, icons, MIME type and
# user's manual are in place; the LV2 bundle and the LADSPA object load from there; the manual pages render cleanly and name every command and
# option the CLI's --help gives; the bash completion offers them. lintian, when installed,
# must find no error.
# Usage: package_test.sh CPACK BUILD_DIR
set -u
cpack=$1
build=$2
. "$(dirname "$0")/../support/script_checks.sh"

if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$dir/out" >"$dir/cpack.log" 2>&1; then
    cat "$dir/cpack.log"
    echo "FAIL: cpack"
    exit 1
fi
debs=("$dir"/out/zelvonicmp3_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    ls -l "$dir/out"
    echo "FAIL: expected one zelvonicmp3_*.deb"
    exit 1
fi
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)

# The libraries the programs link come from dpkg-shlibdeps.
for p in libqt6widgets6 libportaudio2 libmp3lame0 libsoxr0 libc6; do
    [[ $depends == *"$p"* ]] || fail "Depends lacks $p: $depends"
done
if dpkg-deb -c "$deb" | awk '{print $2}' | grep -qv '^root/root$'; then
    fail "files not owned by root"
fi

root=$dir/root
dpkg -x "$deb" "$root" || { echo "FAIL: dpkg -x"; exit 1; }
cli=$root/usr/bin/zvmp3-cli
out=$("$cli" --version) || fail "zvmp3-cli --version exit status $?"
# 3.4.3 is shown as 3.04.03.
shown=$(echo "$version" | awk -F. '{printf "%d.%02d.%02d", $1, $2, $3}')
[[ $out == *"$shown"* ]] || fail "zvmp3-cli --version: '$out', package version $version"
[ -x "$root/usr/bin/zvmp3" ] || fail "no usr/bin/zvmp3"

share=$root/usr/share
for f in applications/zvmp3.desktop mime/packages/zvmp3-playlist.xml zvmp3/help/index.html \
    doc/zelvonicmp3/copyright doc/zelvonicmp3/changelog.gz; do
    [ -s "$share/$f" ] || fail "no usr/share/$f"
done
for size in 16 22 24 32 48 64 128 256; do
    [ -s "$share/icons/hicolor/${size}x${size}/apps/zvmp3.png" ] || fail "no ${size}px icon"
done

# The plugins: the LV2 bundle where hosts look for it, and the LADSPA object; lilv and the
# LADSPA SDK's analyser load them from the unpacked tree.
lv2_dir=$(echo "$root"/usr/lib/*/lv2/zelvonic-chain.lv2)
for f in manifest.ttl zelvonic-chain.ttl presets.ttl zelvonic-chain.so; do
    [ -s "$lv2_dir/$f" ] || fail "no LV2 bundle file $f under usr/lib/<triplet>/lv2"
done
[ -s "$root/usr/lib/ladspa/zelvonic-chain.so" ] || fail "no usr/lib/ladspa/zelvonic-chain.so"
if command -v lv2info >/dev/null; then
    LV2_PATH=$(dirname "$lv2_dir") lv2info https://zelvonicmp3.example.org/lv2/chain-stereo \
        >"$dir/lv2info" 2>&1 && grep -q "Has latency: *yes" "$dir/lv2info" ||
        fail "lv2info cannot load the installed bundle"
fi
if command -v analyseplugin >/dev/null; then
    analyseplugin "$root/usr/lib/ladspa/zelvonic-chain.so" 2>&1 | grep -q zelvonic_chain_mono ||
        fail "analyseplugin cannot load the installed LADSPA object"
fi

# The manual pages: man-db renders them without a warning, and the CLI's page names every
# command and each command's options as the installed CLI's --help lists them.
for page in zvmp3 zvmp3-cli; do
    file=$share/man/man1/$page.1.gz
    if [ ! -s "$file" ]; then
        fail "no man page $page"
        continue
    fi
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$file" >"$dir/$page.txt" \
        2>"$dir/$page.err"
    if [ -s "$dir/$page.err" ] || [ ! -s "$dir/$page.txt" ]; then
        fail "man $page:"
        cat "$dir/$page.err"
    fi
done
# Read in the page's source, where line breaks cannot split an option. The options several
# commands share are described once under SETTINGS, which those commands' sections name;
# -h/--help and -v/--verbose once for every command.
zcat "$share/man/man1/zvmp3-cli.1.gz" | sed 's/\\-/-/g' >"$dir/zvmp3-cli.src"
section() {  # section NAME: the page's text under .SH/.SS NAME
    awk -v name="$1" '$0 == ".SH " name || $0 == ".SS " name { on = 1; next }
                      /^\.S[SH] / { on = 0 } on' "$dir/zvmp3-cli.src"
}
section SETTINGS >"$dir/settings"
commands=$("$cli" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p')
[ -n "$commands" ] || fail "no commands in zvmp3-cli --help"
for c in $commands; do
    section "$c" >"$dir/section"
    [ -s "$dir/section" ] || fail "man zvmp3-cli has no section for $c"
    grep -q SETTINGS "$dir/section" && cat "$dir/settings" >>"$dir/section"
    # The options are the first column of the help's option lines.
    options=$("$cli" "$c" --help | grep -E '^[[:space:]]+-' |
        sed -E 's/^[[:space:]]+//; s/  .*//' | grep -oE -- '--[a-z][a-z0-9-]*')
    for opt in $options; do
        case $opt in
        --help | --verbose) ;;
        *) grep -qF -- "$opt" "$dir/section" || fail "man zvmp3-cli: $c lacks $opt" ;;
        esac
    done
done

# The desktop program's page names the options of its --help (Qt's own are left to Qt).
zcat "$share/man/man1/zvmp3.1.gz" | sed 's/\\-/-/g' >"$dir/zvmp3.src"
options=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/zvmp3" --help 2>/dev/null |
    grep -E '^[[:space:]]+-' | sed -E 's/^[[:space:]]+//; s/  .*//' |
    grep -oE -- '--[a-z][a-z0-9-]*')
[ -n "$options" ] || fail "no options in zvmp3 --help"
for opt in $options; do
    grep -qF -- "$opt" "$dir/zvmp3.src" || fail "man zvmp3 lacks $opt"
done

# The completion, in plain bash with the unpacked CLI first on PATH.
completion=$share/bash-completion/completions/zvmp3-cli
if [ -s "$completion" ]; then
    complete_words() {
        PATH=$root/usr/bin:$PATH bash -c '
            source "$1"
            shift
            COMP_WORDS=("$@")
            COMP_CWORD=$(($# - 1))
            _zvmp3_cli
            printf "%s\n" "${COMPREPLY[@]}"' bash "$completion" "$@"
    }
    got=$(complete_words zvmp3-cli "")
    for c in $commands --version; do
        grep -qx -- "$c" <<<"$got" || fail "completion of commands lacks $c"
    done
    got=$(complete_words zvmp3-cli export --b)
    [ "$got" = $'--beside-source\n--bitrate' ] || fail "completion of export --b: $got"
    got=$(complete_words zvmp3-cli play --preset "")
    [ "$(wc -l <<<"$got")" -eq 11 ] || fail "completion of --preset: $got"
    # "--name=VALUE" split at the "=" as bash does, or left whole.
    got=$(complete_words zvmp3-cli params --set = bands[6].gai)
    [ "$got" = "bands[6].gain_db=" ] || fail "completion of --set=bands[6].gai: $got"
    got=$(complete_words zvmp3-cli params --set=bands[6].gai)
    [ "$got" = "--set=bands[6].gain_db=" ] || fail "completion of --set=bands[6].gai: $got"
    # Songs by extension in any case, and folders; nothing else.
    mkdir -p "$dir/files/folder"
    touch "$dir/files/a.wav" "$dir/files/B.MP3" "$dir/files/c.txt" "$dir/files/d.prf" \
        "$dir/files/e.Flac" "$dir/files/f.ogg" "$dir/files/g.opus"
    got=$(cd "$dir/files" && complete_words zvmp3-cli export "" | LC_ALL=C sort | tr '\n' ' ')
    [ "$got" = "B.MP3 a.wav e.Flac f.ogg folder g.opus " ] ||
        fail "completion of export's songs: $got"
    got=$(cd "$dir/files" && complete_words zvmp3-cli export --opus --bitrate 2 | tr '\n' ' ')
    [ "$got" = "256 " ] || fail "completion of --opus --bitrate 2: $got"
    got=$(cd "$dir/files" && complete_words zvmp3-cli play --state "" | sort | tr '\n' ' ')
    [ "$got" = "d.prf folder " ] || fail "completion of --state: $got"
    # stream's --output is a form, not a file.
    got=$(cd "$dir/files" && complete_words zvmp3-cli stream --output "" | tr '\n' ' ')
    [ "$got" = "raw wav " ] || fail "completion of stream --output: $got"
else
    fail "no bash completion"
fi

if command -v lintian >/dev/null; then
    lintian --fail-on error --tag-display-limit 0 "$deb" >"$dir/lintian.log" 2>&1 ||
        fail "lintian found errors"
    cat "$dir/lintian.log"
else
    echo "lintian is not installed: not run"
fi

finish_checks "package $(basename "$deb")"
