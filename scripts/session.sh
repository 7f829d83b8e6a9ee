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

# session_agents BIN_DIR: the processes of BIN_DIR's zelbrin-relaunch and zelbrin-client that
# belong to this session (their XDG_RUNTIME_DIR is the session's), one PID a line, the relaunch
# helpers first. A restart replaces the agent by one that is not our child: the old agent starts
# the helper and ends, and the helper starts the new agent, in a session of its own, before it
# ends itself. One look can miss the new agent while it is being started (its /proc entry says
# nothing during the exec): see session_ended.
session_agents() {
    local bin=$1 own="XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" kind dir exe found
    # One find over /proc rather than a readlink per process: this runs every half second.
    found=$(find /proc -mindepth 2 -maxdepth 2 -name exe -lname "$bin/zelbrin-*" \
        -printf '%h %l\n' 2>/dev/null) || true
    for kind in zelbrin-relaunch zelbrin-client; do
        while read -r dir exe; do
            [[ "${exe% (deleted)}" == "$bin/$kind" ]] || continue
            tr '\0' '\n' <"$dir/environ" 2>/dev/null | grep -qxF -- "$own" || continue
            printf '%s\n' "${dir#/proc/}"
        done <<<"$found"
    done
}

# session_ended BIN_DIR: true when two looks, half a second apart, find no agent of the session.
# A handover from one agent to the next takes milliseconds.
session_ended() {
    [[ -z "$(session_agents "$1")" ]] && sleep 0.5 && [[ -z "$(session_agents "$1")" ]]
}

# stop_session_agents BIN_DIR SECONDS: every process session_agents lists, helpers first so that
# none starts an agent after its predecessor was stopped.
stop_session_agents() {
    local bin=$1 seconds=$2 pid pids
    for _ in 1 2 3 4 5; do
        mapfile -t pids < <(session_agents "$bin")
        if ((${#pids[@]} == 0)); then
            session_ended "$bin" && return 0
            continue
        fi
        for pid in "${pids[@]}"; do
            stop_agent "$pid" "$seconds"
        done
    done
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
