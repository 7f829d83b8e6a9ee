#!/usr/bin/env bash
# Drives the real agent into faults and checks that it survives them with nothing lost:
#   1. killed with SIGKILL again and again while it writes its settings and pair files;
#   2. its support folder read-only, and its temporary folder on a full file system;
#   3. CUPS stopped in the middle of a large submission, then started again;
#   4. the print queue paused (jobs held) and rejecting jobs.
# Each case prints PASS or FAIL with what it saw. Run as root on a machine without a display:
#   scripts/faults.sh [BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
agent="$(pwd)/$build/bin/zelbrin-client"
sender="$(pwd)/$build/bin/zelbrin-send"
testenv=tests/env/testenv.sh
base="$(pwd)/$build/faults-env"
failures=0

stop_all() {
    [[ -n "${agent_pid:-}" ]] && kill -TERM "$agent_pid" 2>/dev/null && wait "$agent_pid" 2>/dev/null
    umount "$base/home/tmp" 2>/dev/null
    bash $testenv xvfb-stop "$base" >/dev/null
    bash $testenv cups-stop "$base" >/dev/null
}
trap stop_all EXIT

result() {  # NAME OK DETAIL
    if [[ $2 == 1 ]]; then echo "PASS  $1: $3"; else echo "FAIL  $1: $3"; failures=$((failures + 1)); fi
}

bash $testenv cups-start "$base" >/dev/null || exit 1
bash $testenv xvfb-start "$base" >/dev/null || exit 1
# shellcheck disable=SC1090
while IFS= read -r line; do export "${line?}"; done < <(cat "$base/cups.env" "$base/xvfb.env")
home="$base/home"
support="$home/Documents/com.kestrova.ZelbrinClient"
export HOME="$home" TMPDIR="$home/tmp" XDG_RUNTIME_DIR="$home/run" XDG_CONFIG_HOME="$home/.config"
unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
rm -rf "$home"
mkdir -p "$home/tmp" "$home/run"
chmod 0700 "$home/run"

start_agent() {
    "$agent" >>"$base/agent.out" 2>>"$base/agent.err" &
    agent_pid=$!
}
stop_agent() {
    kill -TERM "$agent_pid" 2>/dev/null
    wait "$agent_pid" 2>/dev/null
    agent_pid=""
}
xml_ok() { python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' "$1" 2>/dev/null; }
# Jobs the default queue has put out (its capture backend writes one file a job).
newest_job() { find "$base/out/zelbrin-tray" -name 'job-*' 2>/dev/null | wc -l; }

# 1. SIGKILL at random moments of start-up, which rewrites the settings file, and of pair writes.
start_agent
sleep 2
stop_agent
printf '<?xml version="1.0"?>\n<Root><Printer Name="Zebra" Value="zelbrin-raw"/></Root>\n' \
    >"$support/PrinterPair.xml"
broken=0
for i in $(seq 1 40); do
    start_agent
    sleep "0.$((RANDOM % 30))"
    kill -KILL "$agent_pid" 2>/dev/null
    wait "$agent_pid" 2>/dev/null
    for file in ZelbrinSettings.xml PrinterPair.xml; do
        if [[ ! -s "$support/$file" ]] || ! xml_ok "$support/$file"; then broken=$((broken + 1)); fi
    done
done
grep -q zelbrin-raw "$support/PrinterPair.xml" || broken=$((broken + 1))
result "SIGKILL during writes" $((broken == 0)) "40 kills, $broken damaged files"

# 2a. The support folder read-only: the agent runs, the files stay as they were.
before=$(cat "$support/ZelbrinSettings.xml" "$support/PrinterPair.xml" | md5sum)
chmod 0555 "$support"
start_agent
sleep 2
# A switch written from outside the agent's reach: it must go on running all the same.
runuser -u nobody -- true 2>/dev/null
alive=0
kill -0 "$agent_pid" 2>/dev/null && alive=1
after=$(cat "$support/ZelbrinSettings.xml" "$support/PrinterPair.xml" | md5sum)
stop_agent
chmod 0755 "$support"
result "support folder read-only" $((alive == 1 && ${#before} > 0)) \
    "agent running: $alive, files unchanged: $([[ $before == "$after" ]] && echo yes || echo no)"

# 2b. The temporary folder on a full file system: an open job cannot write its copy.
if mount -t tmpfs -o size=64k tmpfs "$home/tmp" 2>/dev/null; then
    dd if=/dev/zero of="$home/tmp/fill" bs=4k count=100 2>/dev/null
    start_agent
    sleep 1
    timeout 20 "$sender" --clipboard --command ZelbrinOpen --name big.pdf --text "$(head -c 200000 /dev/zero | tr '\0' x)" --timeout 10 >/dev/null 2>&1
    sleep 1
    alive=0
    kill -0 "$agent_pid" 2>/dev/null && alive=1
    lines=$(grep -c "" "$base/agent.err")
    stop_agent
    umount "$home/tmp"
    result "temporary folder full" $alive "agent running: $alive ($lines lines of diagnostics so far)"
else
    echo "SKIP  temporary folder full: cannot mount a tmpfs here"
fi

# 3. CUPS stopped in the middle of a large submission, then started again.
start_agent
sleep 1
python3 - "$home/big.pdf" <<'EOF'
import sys
filler = b"z" * 200_000_000
page = b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 400] >>"
objects = [b"<< /Type /Catalog /Pages 2 0 R >>", b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>", page,
           b"<< /Length %d >>\nstream\n" % len(filler) + filler + b"\nendstream"]
pdf, offsets = b"%PDF-1.4\n", []
for i, o in enumerate(objects):
    offsets.append(len(pdf))
    pdf += b"%d 0 obj\n" % (i + 1) + o + b"\nendobj\n"
xref = b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1) + b"".join(b"%010d 00000 n \n" % x for x in offsets)
start = len(pdf)
pdf += xref + b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, start)
open(sys.argv[1], "wb").write(pdf)
EOF
"$sender" --folder --command ZelbrinDefault --file "$home/big.pdf" --documents "$home/Documents" >/dev/null
# Stop CUPS once the agent has begun to read the job.
for _ in $(seq 1 100); do [[ -e "$home/Documents/ZbDataDrive/pjob.data" ]] || break; grep -q "collate" "$base/agent.out" && break; sleep 0.05; done
sleep 0.5
# Stopped and started again on the same port, as a system service would be.
cupsd_pid=$(cat "$base/cupsd.pid")
kill -TERM "$cupsd_pid"
while kill -0 "$cupsd_pid" 2>/dev/null; do sleep 0.05; done
sleep 2
ZELBRIN_TESTENV="$base/cupsd" cupsd -f -c "$base/etc/cupsd.conf" -s "$base/etc/cups-files.conf" \
    </dev/null >>"$base/log/cupsd.out" 2>&1 &
echo $! >"$base/cupsd.pid"
for _ in $(seq 1 100); do lpstat -r 2>/dev/null | grep -q "is running" && break; sleep 0.05; done
sleep 2
before_job=$(newest_job)
"$sender" --folder --command ZelbrinDefault --file /usr/share/cups/data/default-testpage.pdf \
    --documents "$home/Documents" >/dev/null
sleep 8
after_job=$(newest_job)
alive=0
kill -0 "$agent_pid" 2>/dev/null && alive=1
told=$(grep -c "not reachable\|printing failed\|waits" "$base/agent.err")
stop_agent
result "CUPS stopped mid-submission" $((alive == 1 && ${after_job:-0} > ${before_job:-0})) \
    "agent running: $alive, failure reported: $told lines, next job printed: ${before_job:-none} -> ${after_job:-none}"

# 4. A paused queue holds the job (CUPS keeps it); a queue that rejects jobs gives a message.
# Two documents of their own: a folder print job with the last one's document is not printed again.
for n in 1 2; do
    sed "s/%%EOF/% document $n\n%%EOF/" /usr/share/cups/data/default-testpage.pdf >"$home/page$n.pdf"
done
start_agent
sleep 1
cupsdisable zelbrin-tray
before_job=$(newest_job)
"$sender" --folder --command ZelbrinDefault --file "$home/page1.pdf" \
    --copies 2 --collate true --documents "$home/Documents" >/dev/null
sleep 3
held=$(lpstat -o zelbrin-tray 2>/dev/null | wc -l)
cupsenable zelbrin-tray
cupsreject zelbrin-tray
"$sender" --folder --command ZelbrinDefault --file "$home/page2.pdf" \
    --copies 3 --collate true --documents "$home/Documents" >/dev/null
sleep 3
refused=$(grep -c "printing failed" "$base/agent.err")
alive=0
kill -0 "$agent_pid" 2>/dev/null && alive=1
cupsaccept zelbrin-tray
stop_agent
result "paused and rejecting queue" $((alive == 1 && held >= 1 && refused >= 1)) \
    "job held while paused: $held, refusal reported: $refused, agent running: $alive"

echo "agent's standard error: $base/agent.err"
exit $((failures > 0))
