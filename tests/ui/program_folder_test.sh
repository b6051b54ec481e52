#!/usr/bin/env bash
# zvmp3 and the folders it keeps its files in, as a careless user or a downloaded folder would
# set them up: tempwav as a link to a folder of the user's, to a file; a folder holding a
# zvmp3.prf (and a tempwav link to its parent) as the current directory; --folder and
# --portable; a program folder that cannot be used and a state file that cannot be saved
# (both told in a box, under test on the test events); part files of dead runs. Each run
# starts the window offscreen, waits for its first paint and ends it with SIGTERM, as closing
# it would. Nothing outside the program folder may change, and tempwav is never followed.
# Usage: program_folder_test.sh ZVMP3
set -u
zvmp3=$(realpath "$1")
. "$(dirname "$0")/../support/script_checks.sh"
export QT_QPA_PLATFORM=offscreen JACK_NO_START_SERVER=1 LC_ALL=C.UTF-8 LANG=C.UTF-8
export XDG_CONFIG_HOME="$dir/config" HOME="$dir/home"
unset XDG_RUNTIME_DIR
mkdir -p "$HOME" "$dir/run"
default="$XDG_CONFIG_HOME/zelvonicmp3"

# run LABEL ARGS...: starts zvmp3 in $dir/run, ends it once painted; the status in $status,
# the test events and messages in $dir/err.
status=0
run() {
    local label=$1
    shift
    rm -f "$dir/err"  # the last run's first paint must not end this one before it starts
    (cd "$dir/run" && exec "$zvmp3" --no-splash --test-events "$@" </dev/null >/dev/null 2>"$dir/err") &
    local pid=$! waited=0
    while ! grep -q "zvmp3-test: first-paint" "$dir/err" 2>/dev/null; do
        if ! kill -0 "$pid" 2>/dev/null; then
            break
        fi
        sleep 0.1
        waited=$((waited + 1))
        if [ "$waited" -gt 600 ]; then
            fail "$label: no first paint in 60 s"
            break
        fi
    done
    kill -TERM "$pid" 2>/dev/null
    wait "$pid"
    status=$?
}
has() {  # has LABEL TEXT: the test events hold TEXT
    grep -qF -- "$2" "$dir/err" || fail "$1: no '$2' in: $(head -c 600 "$dir/err")"
}
listing() { (cd "$1" && find . -mindepth 1 | LC_ALL=C sort | tr '\n' ' '); }

# Files of the user's that a followed link would lose.
mkdir -p "$dir/Documents/sub" "$default"
echo letter >"$dir/Documents/letter.txt"
echo song >"$dir/Documents/song.wav"
echo keep >"$dir/Documents/sub/keep.txt"
echo precious >"$dir/precious.txt"
documents=$(listing "$dir/Documents")

# tempwav as a link to a folder: left alone, said once; the state file is saved all the same.
ln -s "$dir/Documents" "$default/tempwav"
run "tempwav -> folder"
check "tempwav -> folder" 0 "$status"
[ "$(listing "$dir/Documents")" = "$documents" ] || fail "tempwav -> folder: Documents now holds $(listing "$dir/Documents")"
has "tempwav -> folder" "is a symbolic link, not a folder: left alone"
[ "$(grep -c "left alone" "$dir/err")" -eq 1 ] || fail "tempwav -> folder: not said once"
has "tempwav -> folder" "state saved"
[ -L "$default/tempwav" ] || fail "tempwav -> folder: the link itself is gone"

# tempwav as a link to a file, and a plain file named tempwav.
rm "$default/tempwav"
ln -s "$dir/precious.txt" "$default/tempwav"
run "tempwav -> file"
check "tempwav -> file" 0 "$status"
[ "$(cat "$dir/precious.txt")" = precious ] || fail "tempwav -> file: the file changed"
has "tempwav -> file" "left alone"
rm "$default/tempwav"
echo mine >"$default/tempwav"
run "tempwav a file"
[ "$(cat "$default/tempwav")" = mine ] || fail "tempwav a file: it changed"
has "tempwav a file" "is not a folder: left alone"
rm "$default/tempwav"

# A real tempwav: its files and links go, never what the links name; sub-folders stay.
mkdir -p "$default/tempwav/sub"
echo old >"$default/tempwav/old.wav"
ln -s "$dir/precious.txt" "$default/tempwav/link.wav"
echo kept >"$default/tempwav/sub/kept.wav"
run "a real tempwav"
[ "$(listing "$default/tempwav")" = "./sub ./sub/kept.wav " ] || fail "a real tempwav holds $(listing "$default/tempwav")"
[ -f "$dir/precious.txt" ] || fail "a real tempwav: a link's file was deleted"

# A folder holding a zvmp3.prf, with tempwav linking to its parent, as the current directory:
# never taken for the program folder.
mkdir -p "$dir/Downloads/pack"
echo download >"$dir/Downloads/other.zip"
cp "$default/zvmp3.prf" "$dir/Downloads/pack/zvmp3.prf"
ln -s .. "$dir/Downloads/pack/tempwav"
before=$(listing "$dir/Downloads")
prf=$(md5sum <"$dir/Downloads/pack/zvmp3.prf")
rmdir "$dir/run" && ln -s "$dir/Downloads/pack" "$dir/run"
run "a preset pack as the current directory"
check "a preset pack as the current directory" 0 "$status"
has "a preset pack" "folder $default pid"
[ "$(listing "$dir/Downloads")" = "$before" ] || fail "the pack's parent now holds $(listing "$dir/Downloads")"
[ "$(md5sum <"$dir/Downloads/pack/zvmp3.prf")" = "$prf" ] || fail "the pack's state file was written"
rm "$dir/run" && mkdir "$dir/run"

# Named with --folder, the pack is used, and still its tempwav link is not followed.
run "--folder the pack" --folder "$dir/Downloads/pack"
has "--folder the pack" "folder $dir/Downloads/pack pid"
[ "$(listing "$dir/Downloads")" = "$before" ] || fail "--folder: the pack's parent now holds $(listing "$dir/Downloads")"

# --portable: the folder of the executable.
mkdir "$dir/stick"
cp "$zvmp3" "$dir/stick/zvmp3"
zvmp3_saved=$zvmp3
zvmp3="$dir/stick/zvmp3"
run "--portable" --portable
zvmp3=$zvmp3_saved
has "--portable" "folder $dir/stick pid"
[ -f "$dir/stick/zvmp3.prf" ] || fail "--portable: no state file beside the program"
"$zvmp3" --folder "$dir/x" --portable >/dev/null 2>&1
check "--folder with --portable" 2 $?

# A program folder that cannot be used: told in a box, not only on stderr.
echo "a file" >"$dir/not-a-folder"
run "an unusable program folder" --folder "$dir/not-a-folder"
check "an unusable program folder" 1 "$status"
has "an unusable program folder" "box ZelvonicMP3:"
has "an unusable program folder" "not-a-folder"

# A state file that cannot be saved at quit: told in a box; the quit still ends.
mkdir "$dir/blocked" "$dir/blocked/zvmp3.prf"
run "a state file that cannot be saved" --folder "$dir/blocked"
check "a state file that cannot be saved" 0 "$status"
has "a state file that cannot be saved" "state not saved"
has "a state file that cannot be saved" "box ZelvonicMP3:"

# Part files of saves that a killed run left in the program folder and users/ go at start;
# those of a live process (this shell) and other files stay.
sh -c 'exit 0' &
dead=$!
wait "$dead"
mkdir -p "$default/users"
touch "$default/.zvpart-$dead-Ab12Cd" "$default/users/.zvpart-$dead-Ef34Gh" \
    "$default/.zvpart-$$-Ij56Kl" "$default/notes.txt"
run "part files of dead runs"
[ ! -e "$default/.zvpart-$dead-Ab12Cd" ] || fail "a dead run's part file stayed"
[ ! -e "$default/users/.zvpart-$dead-Ef34Gh" ] || fail "a dead run's part file in users/ stayed"
[ -e "$default/.zvpart-$$-Ij56Kl" ] || fail "a live process's part file was removed"
[ -e "$default/notes.txt" ] || fail "another file was removed"

# The rule is in the help.
"$zvmp3" --help >"$dir/help" 2>&1
grep -q -- "--portable" "$dir/help" || fail "--help does not name --portable"
grep -q "never taken" "$dir/help" || fail "--help does not give the program folder rule"

finish_checks program-folder
