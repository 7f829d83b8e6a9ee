# shellcheck shell=bash
# The private session in which the scripts run the real agent: a cupsd, an Xvfb and a session
# bus (tests/env/testenv.sh) and a home folder, all inside one BASE folder. Sourced by
# run-agent.sh, soak.sh and benchmark-pickup.sh; needs REPO_DIR set.
#
# A script that holds a lock on a descriptor named by the variable `lock` keeps it from the
# services and the agent, so that a second run is refused only while this one lives.

TESTENV="$REPO_DIR/tests/env/testenv.sh"
session_started=()

now_us() {
    local t=${EPOCHREALTIME/[.,]/}
    printf '%s\n' "$((10#$t))"
}

# Runs a command without the script's lock descriptor.
without_lock() {
    (
        if [[ -n "${lock:-}" ]]; then exec {lock}>&-; fi
        exec "$@"
    )
}

# session_start BASE: the three services, their addresses exported. Each one is stopped by
# session_stop even when a later one fails to start.
session_start() {
    local base=$1 service line
    for service in cups xvfb bus; do
        session_started+=("$service")
        without_lock bash "$TESTENV" "$service-start" "$base" >/dev/null || return 1
    done
    while IFS= read -r line; do
        [[ -n "$line" ]] && export "${line?}"
    done < <(cat "$base/cups.env" "$base/xvfb.env" "$base/bus.env")
}

# session_stop BASE: what session_start started, in reverse order.
session_stop() {
    local base=$1 i
    for ((i = ${#session_started[@]} - 1; i >= 0; i--)); do
        bash "$TESTENV" "${session_started[i]}-stop" "$base" >/dev/null || true
    done
    session_started=()
}

# session_home BASE: HOME, the temporary folder and the XDG folders inside BASE; no Wayland.
session_home() {
    local base=$1
    mkdir -p "$base/home" "$base/tmp" "$base/xdg-runtime"
    chmod 0700 "$base/xdg-runtime"
    export HOME="$base/home"
    export TMPDIR="$base/tmp"
    export XDG_RUNTIME_DIR="$base/xdg-runtime"
    export XDG_CONFIG_HOME="$HOME/.config"
    export XDG_DATA_HOME="$HOME/.local/share"
    export XDG_CACHE_HOME="$HOME/.cache"
    export XDG_STATE_HOME="$HOME/.local/state"
    unset WAYLAND_DISPLAY XAUTHORITY
}

# stop_agent PID SECONDS: SIGTERM, which the agent takes like "Quit"; forced after SECONDS.
stop_agent() {
    local pid=$1 rounds=$(($2 * 20)) i
    [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null || return 0
    kill -TERM "$pid" 2>/dev/null || true
    for ((i = 0; i < rounds; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

# wait_until_agent_ready PID ERRFILE: the agent has written its settings and made the folder.
wait_until_agent_ready() {
    local pid=$1 err=$2 deadline
    local documents="$HOME/Documents"
    deadline=$(($(now_us) + 15000000))
    until [[ -f "$documents/com.kestrova.ZelbrinClient/ZelbrinSettings.xml" &&
        -d "$documents/ZbDataDrive" ]]; do
        kill -0 "$pid" 2>/dev/null || { echo "the agent ended at start-up: $(cat "$err")"; return 1; }
        (($(now_us) < deadline)) || { echo "the agent wrote no settings within 15 s"; return 1; }
        sleep 0.05
    done
}
