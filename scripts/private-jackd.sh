# Sourced by the sound measurements: a private JACK server with the dummy driver, stopped at
# exit. `start_private_jackd RATE PERIOD LOG` starts it (realtime where the system allows,
# else without) and points JACK_DEFAULT_SERVER at it; returns 77 when jackd is missing.
# `wait_for_port NAME [SECONDS]` waits until a port of that name exists.
jackd_pid=""
stop_private_jackd() {
    if [ -n "$jackd_pid" ]; then
        kill "$jackd_pid" 2>/dev/null
        wait "$jackd_pid" 2>/dev/null
        jackd_pid=""
    fi
}

start_private_jackd() {
    local rate=$1 period=$2 log=$3 mode
    command -v jackd >/dev/null || return 77
    export JACK_DEFAULT_SERVER="zvmeasure$$"
    export JACK_NO_AUDIO_RESERVATION=1
    for mode in --realtime --no-realtime; do
        jackd "$mode" -t 5000 -n "$JACK_DEFAULT_SERVER" -d dummy -r "$rate" -p "$period" \
            >"$log" 2>&1 &
        jackd_pid=$!
        if jack_wait -w -t 5 >/dev/null 2>&1 && kill -0 "$jackd_pid" 2>/dev/null; then
            jackd_realtime=$([ "$mode" = --realtime ] && ! grep -q "Cannot use real-time" "$log" &&
                echo yes || echo no)
            return 0
        fi
        stop_private_jackd
    done
    return 1
}

wait_for_port() {
    local name=$1 tries=$((${2:-5} * 20))
    while [ "$tries" -gt 0 ]; do
        jack_lsp 2>/dev/null | grep -qx "$name" && return 0
        sleep 0.05
        tries=$((tries - 1))
    done
    return 1
}
