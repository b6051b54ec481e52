# Sourced by the test scripts: a scratch folder $dir removed at exit, and the failure count
# with its reporters. A script ends with `finish_checks NAME`.
dir=$(mktemp -d) || exit 1
trap 'rm -rf "$dir"' EXIT
fails=0
fail() {
    echo "FAIL: $*"
    fails=$((fails + 1))
}
check() {  # check DESCRIPTION EXPECTED_STATUS ACTUAL_STATUS
    [ "$2" = "$3" ] || fail "$1 (exit $3, expected $2)"
}
finish_checks() {  # finish_checks NAME: says so when all passed; exits 1 when any failed
    [ "$fails" -eq 0 ] && echo "$1: all passed"
    exit $((fails > 0))
}
