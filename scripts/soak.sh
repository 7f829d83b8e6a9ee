#!/usr/bin/env bash
# Drives the real agent with JOBS print jobs in a row against a private CUPS and prints figures:
# jobs lost or doubled, the agent's memory and open file descriptors, time taken. Usage:
#
#   scripts/soak.sh [JOBS [BUILD_DIR]]          (defaults: 1000 and build)
#
# Odd jobs go through the clipboard (zelbrin-send --clipboard returns once the agent has
# replied), even ones through the redirected folder (the script waits until the folder is
# empty). Every job is a one-page PDF of its own whose page reads "Soak job NNNNNN", so that the
# captured output tells which jobs came out and how often. All jobs are "ZelbrinDefault" jobs to
# the default printer of a private cupsd, inside a private Xvfb, session bus and home folder.
#
# Environment:
#   SOAK_QUEUE=tray|raw   default printer: the PPD queue zelbrin-tray (the default) or the raw
#                         queue zelbrin-raw, which keeps CUPS filters out of the run and whose
#                         captures are also compared byte for byte with the documents sent
#   SOAK_BASE=FOLDER      where the environment and the results go (default BUILD_DIR/soak-env);
#                         the user lp must be able to reach it
#   SOAK_TIMEOUT=SECONDS  how long one job may take (default 30)
#
# Exit status: 0 when every job came out exactly once, 1 when one was lost or doubled, 2 when
# the environment or the agent could not be started. Needs root (cupsd). Run it niced, e.g.
# `nice -n 10 bash scripts/soak.sh`.

set -euo pipefail

REPO_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
# shellcheck source=scripts/session.sh
source "$REPO_DIR/scripts/session.sh"

if [[ "${1:-}" == -h || "${1:-}" == --help ]]; then
    sed -n '2,/^$/p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 0
fi

jobs=${1:-1000}
build_dir=${2:-build}
queue_kind=${SOAK_QUEUE:-tray}
timeout_s=${SOAK_TIMEOUT:-30}

die() {
    echo "soak: $*" >&2
    exit 2
}

[[ "$jobs" =~ ^[1-9][0-9]*$ ]] || die "JOBS must be a positive number, not '$jobs'"
[[ "$timeout_s" =~ ^[1-9][0-9]*$ ]] || die "SOAK_TIMEOUT must be a positive number of seconds"
case "$queue_kind" in
    tray) queue=zelbrin-tray ;;
    raw) queue=zelbrin-raw ;;
    *) die "SOAK_QUEUE must be tray or raw, not '$queue_kind'" ;;
esac
[[ "$build_dir" == /* ]] || build_dir="$REPO_DIR/$build_dir"
for program in zelbrin-client zelbrin-send zelbrin-relaunch; do
    [[ -x "$build_dir/bin/$program" ]] || die "$build_dir/bin/$program not found; build first"
done
[[ $EUID -eq 0 ]] || die "must run as root (the private cupsd switches to the user lp)"
command -v python3 >/dev/null || die "python3 not found"

base=${SOAK_BASE:-$build_dir/soak-env}
mkdir -p "$base"
base=$(cd "$base" && pwd -P)
# A second run in the same BASE would stop this one's cupsd and remove its files. The lock is
# not passed on to the services and the agent, whose descriptors are counted.
exec {lock}>>"$base/soak.lock"
flock -n "$lock" || die "another soak run is using $base"

agent_pid=""
sender_pid=""

# shellcheck disable=SC2317 # called through the trap
cleanup() {
    local status=$?
    trap - EXIT INT TERM
    if [[ -n "$sender_pid" ]] && kill -0 "$sender_pid" 2>/dev/null; then
        kill -TERM "$sender_pid" 2>/dev/null || true
        wait "$sender_pid" 2>/dev/null || true
    fi
    stop_agent "$agent_pid" 10
    session_stop "$base"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Only what this script made in BASE goes; testenv.sh renews its own files.
rm -rf -- "${base:?}/bin" "${base:?}/docs" "${base:?}/home" "${base:?}/tmp" "${base:?}/results"
mkdir -p "$base/bin" "$base/docs" "$base/home/bin" "$base/tmp" "$base/results"
results="$base/results"

# Copies: other builds may replace the binaries in BUILD_DIR while the run goes on.
cp -- "$build_dir/bin/zelbrin-client" "$build_dir/bin/zelbrin-send" \
    "$build_dir/bin/zelbrin-relaunch" "$base/bin/"
agent_bin="$base/bin/zelbrin-client"
send_bin="$base/bin/zelbrin-send"

# One small PDF per job; its page text carries the job number, which survives the PPD queue's
# filters as well as the raw queue.
python3 - "$base/docs" "$jobs" <<'EOF'
import sys
folder, count = sys.argv[1], int(sys.argv[2])
for n in range(1, count + 1):
    ident = "%06d" % n
    text = ("BT /F1 24 Tf 72 720 Td (Soak job %s) Tj ET" % ident).encode()
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842]"
        b" /Resources << /Font << /F1 4 0 R >> >> /Contents 5 0 R >>",
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        b"<< /Length %d >>\nstream\n" % len(text) + text + b"\nendstream",
    ]
    out = b"%PDF-1.4\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    out += b"".join(b"%010d 00000 n \n" % offset for offset in offsets)
    out += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    with open("%s/soak-%s.pdf" % (folder, ident), "wb") as f:
        f.write(out)
EOF

session_start "$base" || die "the private session could not be started"

# CUPS keeps 500 jobs by default and refuses more while it holds them: a job refused there
# would count as lost by the agent. With no limit every job also stays listed for the count.
echo "MaxJobs 0" >> "$base/etc/cupsd.conf"
kill -HUP "$(cat "$base/cupsd.pid")"
deadline=$(($(now_us) + 10000000))
sleep 0.2
until [[ "$(lpstat -r 2>/dev/null || true)" == "scheduler is running" ]] &&
    lpstat -p "$queue" >/dev/null 2>&1; do
    (($(now_us) < deadline)) || die "cupsd did not come back after reloading; see $base/log/"
    sleep 0.05
done
lpadmin -d "$queue" || die "cannot make $queue the default printer"

# The agent's world, private like the integration tests': a desktop opener that only records.
session_home "$base"
opened="$results/opened.log"
# shellcheck disable=SC2016 # $1 belongs to the stand-in, not to this script
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s"\n' "$opened" > "$HOME/bin/xdg-open"
chmod 0755 "$HOME/bin/xdg-open"
export PATH="$HOME/bin:$PATH"

documents="$HOME/Documents"
drive="$documents/ZbDataDrive"
settings="$documents/com.kestrova.ZelbrinClient/ZelbrinSettings.xml"
agent_err="$results/agent.err"
agent_out="$results/agent.out"
send_log="$results/send.log"
job_table="$results/jobs.tsv"
samples="$results/samples.tsv"

"$agent_bin" >"$agent_out" 2>"$agent_err" </dev/null {lock}>&- &
agent_pid=$!
why=$(wait_until_agent_ready "$agent_pid" "$agent_err") || die "$why"
# A print dialog would wait for a person: every job would time out.
grep -q 'Dialog="0"' "$settings" || die "the \"Dialog\" switch is not off in $settings"

shopt -s nullglob dotglob
folder_empty() {
    local entries=("$drive"/*)
    ((${#entries[@]} == 0))
}

# One line per sample: job, RSS kB, peak RSS kB, FDs, threads, CPU ticks, seconds since start.
clock_ticks=$(getconf CLK_TCK)
sample() {
    local after=$1 rss hwm threads fds cpu fields
    # An agent that has just ended leaves no sample; the loop reports its end.
    [[ -r "/proc/$agent_pid/status" ]] || return 0
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$agent_pid/status")
    hwm=$(awk '/^VmHWM:/ {print $2}' "/proc/$agent_pid/status")
    threads=$(awk '/^Threads:/ {print $2}' "/proc/$agent_pid/status")
    fds=("/proc/$agent_pid/fd/"*)
    # Fields 14 and 15 (utime, stime) counted after the command name, which may hold spaces.
    read -r -a fields < <(sed 's/^.*) //' "/proc/$agent_pid/stat")
    cpu=$((fields[11] + fields[12]))
    printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$after" "$rss" "$hwm" "${#fds[@]}" "$threads" "$cpu" \
        "$((($(now_us) - start_us) / 1000))" >> "$samples"
}

warm_up=$((jobs >= 100 ? 50 : (jobs + 1) / 2))
printf 'job\tchannel\tstatus\tms\terr_from\terr_to\n' > "$job_table"
: > "$samples"
: > "$send_log"
echo "soak: $jobs jobs to $queue (clipboard and folder alternating); agent pid $agent_pid;" \
    "results in $results"

start_us=$(now_us)
sample 0
for ((n = 1; n <= jobs; n++)); do
    if ! kill -0 "$agent_pid" 2>/dev/null; then
        echo "soak: the agent ended before job $n; see $agent_err" >&2
        break
    fi
    doc=$(printf '%s/docs/soak-%06d.pdf' "$base" "$n")
    err_from=$(stat -c %s "$agent_err")
    printf '== job %d\n' "$n" >> "$send_log"
    t0=$(now_us)
    status=0
    if ((n % 2 == 1)); then
        channel=clipboard
        how=(--clipboard --timeout "$timeout_s")
    else
        channel=folder
        how=(--folder --documents "$documents")
    fi
    "$send_bin" "${how[@]}" --command ZelbrinDefault --file "$doc" >>"$send_log" 2>&1 {lock}>&- &
    sender_pid=$!
    wait "$sender_pid" || status=$?
    sender_pid=""
    if [[ $channel == folder ]] && ((status == 0)); then
        deadline=$((t0 + timeout_s * 1000000))
        until folder_empty; do
            if (($(now_us) >= deadline)); then
                # Left there, it would hold up every later folder job.
                status=124
                echo "soak: job $n not taken from the folder within $timeout_s s; removed" \
                    >> "$send_log"
                rm -f -- "$drive/pjobd.data" "$drive/pjob.data"
                break
            fi
            sleep 0.02
        done
    fi
    t1=$(now_us)
    printf '%d\t%s\t%d\t%d\t%d\t%d\n' "$n" "$channel" "$status" "$(((t1 - t0) / 1000))" \
        "$err_from" "$(stat -c %s "$agent_err")" >> "$job_table"
    if ((status != 0)); then
        echo "soak: job $n ($channel) failed with status $status" >&2
    fi
    if ((n == warm_up || n % 100 == 0)); then
        sample "$n"
    fi
done
sent=$((n - 1))
send_us=$(($(now_us) - start_us))

# CUPS finishes what it holds; a few more ticks show a job carried out a second time late.
deadline=$(($(now_us) + 120000000))
while [[ -n "$(lpstat -o 2>/dev/null || true)" ]] && (($(now_us) < deadline)); do
    sleep 0.2
done
sleep 3
end_us=$(now_us)
agent_alive=0
if kill -0 "$agent_pid" 2>/dev/null; then
    agent_alive=1
    sample end
fi

# ---------------------------------------------------------------- counting

# lpstat lists no more than 500 jobs here; the spool keeps a control file of every job CUPS
# accepted (MaxJobs 0 and PreserveJobHistory).
control_files=("$base/spool/c"[0-9]*)
cups_jobs=${#control_files[@]}
cups_pending=$(lpstat -o 2>/dev/null | wc -l || true)
captures=("$base/out/"*/job-*.prn)
# Each capture's job number, one line "CAPTURE ID" (ID "-" when the page text was not found).
: > "$results/captures.txt"
for file in "${captures[@]}"; do
    id=$(grep -aom1 'Soak job [0-9]\{6\}' "$file" || true)
    printf '%s %s\n' "${file#"$base/out/"}" "${id:+${id#Soak job }}" >> "$results/captures.txt"
done
sed -i 's/ $/ -/' "$results/captures.txt"
without_id=$(awk '$2 == "-"' "$results/captures.txt" | wc -l)
altered=0
if [[ "$queue_kind" == raw ]]; then
    while read -r capture id; do
        [[ "$id" == - ]] && continue
        cmp -s "$base/out/$capture" "$base/docs/soak-$id.pdf" || altered=$((altered + 1))
    done < "$results/captures.txt"
fi

# Per job: how many captures name it.
declare -A seen=()
while read -r _ id; do
    [[ "$id" == - ]] && continue
    seen[$id]=$((${seen[$id]:-0} + 1))
done < "$results/captures.txt"
lost_ids=()
doubled_ids=()
for ((n = 1; n <= sent; n++)); do
    id=$(printf '%06d' "$n")
    count=${seen[$id]:-0}
    if ((count == 0)); then
        lost_ids+=("$n")
    elif ((count > 1)); then
        doubled_ids+=("$n")
    fi
done
stray=0
for id in "${!seen[@]}"; do
    ((10#$id >= 1 && 10#$id <= sent)) || stray=$((stray + 1))
done

# ---------------------------------------------------------------- report

mb() { awk -v kb="$1" 'BEGIN { printf "%.1f", kb / 1024 }'; }

echo
echo "Agent after each sample (RSS and peak in MB, CPU in seconds of the agent):"
printf '  %-9s %8s %8s %6s %8s %8s %9s\n' "after job" "RSS" "peak" "FDs" "threads" "CPU" "elapsed"
while IFS=$'\t' read -r after rss hwm fds threads cpu ms; do
    printf '  %-9s %8s %8s %6s %8s %8s %8.1fs\n' "$after" "$(mb "$rss")" "$(mb "$hwm")" "$fds" \
        "$threads" "$(awk -v t="$cpu" -v h="$clock_ticks" 'BEGIN { printf "%.1f", t / h }')" \
        "$(awk -v ms="$ms" 'BEGIN { print ms / 1000 }')"
done < "$samples"

# Milliseconds from handing a job over until the agent had taken it: median, 95th percentile, max.
latency() {
    awk -F'\t' -v c="$1" 'NR > 1 && $2 == c && $3 == 0 { print $4 }' "$job_table" | sort -n |
        awk '{ v[NR] = $1 } END {
            if (NR == 0) { print "none"; exit }
            printf "median %d, p95 %d, max %d ms", v[int((NR + 1) / 2)],
                v[int(NR * 0.95 + 0.999)], v[NR] }'
}
failed_sends=$(awk -F'\t' 'NR > 1 && $3 != 0' "$job_table" | wc -l)

warm_line=$(awk -F'\t' -v w="$warm_up" '$1 == w' "$samples")
end_line=$(awk -F'\t' '$1 == "end"' "$samples")
[[ -n "$end_line" ]] || end_line=$(tail -n 1 "$samples")
IFS=$'\t' read -r _ rss_start _ fds_start _ <<<"${warm_line:-$(head -n 1 "$samples")}"
IFS=$'\t' read -r _ rss_end hwm_end fds_end _ <<<"$end_line"

echo
echo "Summary"
printf '  jobs sent        %d of %d (%d clipboard, %d folder) to %s\n' "$sent" "$jobs" \
    "$(((sent + 1) / 2))" "$((sent / 2))" "$queue"
printf '  sends failed     %d (sender error or not taken within %d s)\n' "$failed_sends" \
    "$timeout_s"
printf '  CUPS jobs        %d accepted, %d still pending; captured %d, without a job number %d\n' \
    "$cups_jobs" "$cups_pending" "${#captures[@]}" "$without_id"
if [[ "$queue_kind" == raw ]]; then
    printf '  altered          %d captures differ from the document sent\n' "$altered"
fi
printf '  lost             %d%s\n' "${#lost_ids[@]}" \
    "${lost_ids[*]:+ (job numbers: ${lost_ids[*]})}"
printf '  doubled          %d%s\n' "${#doubled_ids[@]}" \
    "${doubled_ids[*]:+ (job numbers: ${doubled_ids[*]})}"
((stray == 0)) || printf '  unknown numbers  %d\n' "$stray"
printf '  RSS              %s MB after job %s, %s MB at the end (peak %s MB)\n' \
    "$(mb "$rss_start")" "$warm_up" "$(mb "$rss_end")" "$(mb "$hwm_end")"
printf '  FDs              %s after job %s, %s at the end\n' "$fds_start" "$warm_up" "$fds_end"
printf '  latency          clipboard: %s\n' "$(latency clipboard)"
printf '                   folder:    %s\n' "$(latency folder)"
awk -v s="$send_us" -v t="$end_us" -v st="$start_us" -v n="$sent" 'BEGIN {
    printf "  total time       %.1f s sending, %.1f s in all (until CUPS was done, + 3 s)\n",
        s / 1e6, (t - st) / 1e6
    printf "  jobs per second  %.2f\n", n / (s / 1e6) }'
printf '  agent            %s; %d lines on stderr\n' \
    "$( ((agent_alive)) && echo "still running" || echo "ENDED during the run")" \
    "$(wc -l < "$agent_err")"
if [[ -s "$opened" ]]; then
    printf '  opened           %d documents were handed to xdg-open\n' "$(wc -l < "$opened")"
fi

echo
echo "Agent stderr, lines by frequency:"
sort "$agent_err" | uniq -c | sort -rn | head -n 15 | sed 's/^/  /'
if [[ -s "$agent_out" ]]; then
    echo "Agent stdout, lines by frequency:"
    sort "$agent_out" | uniq -c | sort -rn | head -n 15 | sed 's/^/  /'
fi

# What the sender and the agent said during each job that went wrong.
tell_job() {
    local n=$1 row channel status ms from to
    row=$(awk -F'\t' -v n="$n" '$1 == n' "$job_table")
    IFS=$'\t' read -r _ channel status ms from to <<<"$row"
    echo
    printf 'Job %d (%s, id %06d): sender status %s after %s ms; captures: %s\n' "$n" "$channel" \
        "$n" "$status" "$ms" \
        "$(awk -v id="$(printf '%06d' "$n")" '$2 == id { printf "%s ", $1 }' \
            "$results/captures.txt")"
    echo "  sender said:"
    awk -v n="$n" '/^== job / { on = ($3 == n); next } on' "$send_log" | sed 's/^/    /'
    echo "  agent's stderr meanwhile:"
    if ((to > from)); then
        tail -c +"$((from + 1))" "$agent_err" | head -c "$((to - from))" | sed 's/^/    /'
    fi
}
problems=("${lost_ids[@]}" "${doubled_ids[@]}")
if ((${#problems[@]} > 0)); then
    for n in "${problems[@]:0:20}"; do tell_job "$n"; done
    ((${#problems[@]} <= 20)) || echo "(and $((${#problems[@]} - 20)) more; see $job_table)"
fi
echo
echo "Results stay in $results (jobs.tsv, samples.tsv, captures.txt, agent.err, send.log)."

if ((${#lost_ids[@]} > 0 || ${#doubled_ids[@]} > 0 || stray > 0 || sent < jobs)); then
    exit 1
fi
exit 0
