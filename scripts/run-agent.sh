#!/usr/bin/env bash
# Runs the agent from a build folder.
#
#   scripts/run-agent.sh [BUILD_DIR [AGENT_ARGS...]]     (BUILD_DIR defaults to build)
#
# With a desktop (DISPLAY or WAYLAND_DISPLAY set) the agent simply runs in your
# own session. Without one (a server, a container, an SSH login) the script
# gives the agent a private world inside BUILD_DIR/run-session: an Xvfb for the
# clipboard, a private cupsd whose printers write every job into files, and a
# private HOME, so neither the machine's CUPS nor your home folder is touched.
# Ctrl-C stops the agent and everything the script started. The private world
# lasts as long as an agent runs in it: a restart of the agent (its menu, or
# `zelbrin-client --restart` with the session's environment) keeps it. The
# private cupsd needs root.

set -euo pipefail

REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
# shellcheck source=scripts/session.sh
source "$REPO_DIR/scripts/session.sh"

if [[ "${1:-}" == -h || "${1:-}" == --help ]]; then
    sed -n '2,/^$/p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 0
fi

if (( $# > 0 )); then
    build_dir=$1
    shift
else
    build_dir="$REPO_DIR/build"
fi
if [[ ! -d "$build_dir" ]]; then
    echo "run-agent: build folder '$build_dir' does not exist." >&2
    echo "Build first, for example: cmake -S . -B build -G Ninja && cmake --build build" >&2
    exit 1
fi
build_dir=$(cd "$build_dir" && pwd -P)
agent="$build_dir/bin/zelbrin-client"
sender="$build_dir/bin/zelbrin-send"
if [[ ! -x "$agent" ]]; then
    echo "run-agent: $agent not found or not executable." >&2
    echo "Build first, for example: cmake -S . -B build -G Ninja && cmake --build build" >&2
    exit 1
fi

# A desktop session is there: use it as it is.
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec "$agent" "$@"
fi

session="$build_dir/run-session"
mkdir -p "$session"

agent_pid=""
# /proc names the programs by their real path.
bin_dir=$(cd "$build_dir/bin" && pwd -P)

# shellcheck disable=SC2317 # called through the trap
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    # Up to about 5 s for the agent to finish its work, then it is forced; so is any agent that
    # a restart put in its place.
    stop_agent "$agent_pid" 5
    stop_session_agents "$bin_dir" 5
    session_stop "$session"
    echo "run-agent: stopped. Captured jobs stay in $session/out/" >&2
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# A session bus of its own too, on which GVfs mounts Windows shares for "ZelbrinOpenUrl" jobs.
session_start "$session"
# Everything the agent sees points into the session folder.
session_home "$session"

sample_pdf=/usr/share/cups/data/default-testpage.pdf
cat <<EOF

  Zelbrin Client runs headless with a private session in
    $session

  Printers (private cupsd on $CUPS_SERVER, nothing is printed on paper):
    zelbrin-tray  "Office Tray Printer" (default)  -> $session/out/zelbrin-tray/job-N.prn
    zelbrin-raw   "Raw Capture"                    -> $session/out/zelbrin-raw/job-N.prn

  Send a sample job from a second terminal:
    DISPLAY=$DISPLAY HOME=$HOME $sender --folder --command ZelbrinDefault --file $sample_pdf
  or through the clipboard:
    DISPLAY=$DISPLAY HOME=$HOME $sender --clipboard --command ZelbrinDefault --file $sample_pdf

  See the jobs:
    CUPS_SERVER=$CUPS_SERVER lpstat -W all -o

  Ctrl-C stops the agent, the X server and cupsd.

EOF

# In the background so that a signal to this script reaches the trap at once;
# the trap then stops the agent.
"$agent" "$@" &
agent_pid=$!
set +e
wait "$agent_pid"
agent_status=$?
set -e
agent_pid=""
# After a restart (which the old agent ends with status 0) the agent is one that is not our
# child: it cannot be waited for, and the session ends when it ends, whatever its status.
until session_ended "$bin_dir"; do
    sleep 0.5
done
exit "$agent_status"
