#!/usr/bin/env bash
# The shipped desktop program carries no test harness: none of the test build's options, event
# lines, control channel, scripted dialog host or silent device is in zvmp3's binary. The test
# build (zvmp3-test) holds them all, which shows the check would see them.
#
# Usage: shipping_program_test.sh ZVMP3 ZVMP3_TEST
set -u
source "$(dirname "$0")/../support/script_checks.sh"
shipped=$1
test_build=$2

marks=(test-control test-events test-autoplay render-screenshot render-panel "zvmp3-test:"
    "control done" TestControl TestDialogHost StepDevice)
for mark in "${marks[@]}"; do
    grep -qaF -- "$mark" "$shipped" && fail "zvmp3 holds \"$mark\""
    grep -qaF -- "$mark" "$test_build" || fail "zvmp3-test lacks \"$mark\" (the check sees nothing)"
done

finish_checks shipping_program
