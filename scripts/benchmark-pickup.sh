#!/usr/bin/env bash
# Measures how long the real agent takes from a job's hand-over until CUPS holds the job: small
# "ZelbrinDefault" PDF jobs, first through the clipboard, then through the redirected folder, then
# the same kind of document given to lp as the yardstick; prints the median and the worst of
# each, the agent's requests to CUPS and CPU time per job, and its CPU time while idle. Usage:
#
#   scripts/benchmark-pickup.sh [BUILD_DIR [AGENT_BINARY]]
#
# BUILD_DIR (default build, relative to the repository) holds zelbrin-pickup-benchmark;
# AGENT_BINARY (default BUILD_DIR/bin/zelbrin-client) is the agent measured, so that an older
# or newer build of the agent can be compared with the same benchmark.
#
# Environment:
#   PICKUP_JOBS=N         jobs per carrier (default 20), after one warm-up job each
#   PICKUP_IDLE=SECONDS   how long the idle agent is watched at the end (default 10)
#   PICKUP_BASE=FOLDER    where the environment goes (default BUILD_DIR/pickup-env); the user
#                         lp must be able to reach it
#
# The agent runs inside a private cupsd (default printer: the raw queue, so that no filter
# competes for the CPU), Xvfb, session bus and home folder. Exit status: 0 when every job
# reached CUPS, 1 when one did not within 10 s, 2 when the run could not be made. Needs root
# (cupsd).

set -euo pipefail

REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
# shellcheck source=scripts/session.sh
source "$REPO_DIR/scripts/session.sh"

if [[ "${1:-}" == -h || "${1:-}" == --help ]]; then
    sed -n '2,/^$/p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 0
fi

die() {
    echo "benchmark-pickup: $*" >&2
    exit 2
}

build_dir=${1:-build}
[[ "$build_dir" == /* ]] || build_dir="$REPO_DIR/$build_dir"
agent_given=${2:-$build_dir/bin/zelbrin-client}
[[ -x "$agent_given" ]] || die "$agent_given not found; build first"
agent_given=$(realpath -- "$agent_given")
benchmark="$build_dir/bin/zelbrin-pickup-benchmark"
[[ -x "$benchmark" ]] || die "$benchmark not found; build first"
jobs=${PICKUP_JOBS:-20}
[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || die "PICKUP_JOBS must be a positive number, not '$jobs'"
[[ $EUID -eq 0 ]] || die "must run as root (the private cupsd switches to the user lp)"

base=${PICKUP_BASE:-$build_dir/pickup-env}
mkdir -p "$base"
base=$(cd "$base" && pwd -P)
# A second run in the same BASE would stop this one's cupsd. The services and the agent do not
# inherit the lock.
exec {lock}>>"$base/pickup.lock"
flock -n "$lock" || die "another run is using $base"

agent_pid=""

# shellcheck disable=SC2317 # called through the trap
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    stop_agent "$agent_pid" 10
    session_stop "$base"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

rm -rf -- "${base:?}/bin" "${base:?}/home" "${base:?}/tmp" "${base:?}/results"
mkdir -p "$base/bin" "$base/home" "$base/tmp" "$base/results"
results="$base/results"
# A copy: a build may replace the binary while the run goes on.
cp -- "$agent_given" "$base/bin/zelbrin-client"

session_start "$base" || die "the private session could not be started"
lpadmin -d zelbrin-raw || die "cannot make zelbrin-raw the default printer"
# Every request in the access log, so that the agent's requests can be counted.
cupsctl AccessLogLevel=all || die "cannot have cupsd log every request"

# The agent's world, private like the integration tests'.
session_home "$base"

documents="$HOME/Documents"
settings="$documents/com.kestrova.ZelbrinClient/ZelbrinSettings.xml"
agent_err="$results/agent.err"

"$base/bin/zelbrin-client" >"$results/agent.out" 2>"$agent_err" </dev/null {lock}>&- &
agent_pid=$!
why=$(wait_until_agent_ready "$agent_pid" "$agent_err") || die "$why"
# A print dialog would wait for a person: every job would time out.
grep -q 'Dialog="0"' "$settings" || die "the \"Dialog\" switch is not off in $settings"

status=0
"$benchmark" --agent "$agent_given" --agent-pid "$agent_pid" --documents "$documents" \
    --jobs "$jobs" --access-log "$base/log/access_log" --lp-printer zelbrin-raw \
    --idle-seconds "${PICKUP_IDLE:-10}" {lock}>&- || status=$?

if [[ -s "$agent_err" ]]; then
    echo "Agent stderr, lines by frequency ($agent_err):"
    sort "$agent_err" | uniq -c | sort -rn | head -n 10 | sed 's/^/  /'
fi
exit "$status"
