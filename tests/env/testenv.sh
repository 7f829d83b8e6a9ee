#!/usr/bin/env bash
# Private services for integration tests and local runs: a cupsd on a loopback
# port with three capture queues, and an Xvfb. Everything lives in one folder
# (BASE) so that the machine's own CUPS, port 631 and the real home folder are
# never touched.
#
#   testenv.sh cups-start BASE    start a private cupsd (stops an earlier one in BASE)
#   testenv.sh cups-stop  BASE    stop it (only the recorded pid)
#   testenv.sh xvfb-start BASE    start a private Xvfb (stops an earlier one in BASE)
#   testenv.sh xvfb-stop  BASE    stop it
#   testenv.sh exec BASE -- CMD [ARGS...]
#                                 run CMD with CUPS_SERVER, CUPS_SERVERROOT,
#                                 DISPLAY, HOME and XDG_RUNTIME_DIR pointing
#                                 into BASE (WAYLAND_DISPLAY, XAUTHORITY and
#                                 DBUS_SESSION_BUS_ADDRESS removed)
#
# Files in BASE:
#   cups.env   CUPS_SERVER=127.0.0.1:PORT and CUPS_SERVERROOT=BASE/etc
#   xvfb.env   DISPLAY=:N
#   cupsd.pid, xvfb.pid      (the .env and .pid files go away on stop)
#   cups.sock                the same cupsd on a Unix socket
#   home/, xdg-runtime/      HOME and XDG_RUNTIME_DIR for exec
#   out/QUEUE/job-N.prn      captured jobs of each queue
#   log/error_log, log/cupsd.out, log/xvfb.out               for diagnosis
#
# Queues (printer-info in quotes):
#   zelbrin-tray   "Office Tray Printer"  PPD tests/data/tray-printer.ppd; the default
#   zelbrin-raw    "Raw Capture"          no PPD: accepts everything, raw included
#   zelbrin-noraw  "No Raw Printer"       the tray PPD, PDF passed through unchanged;
#                                         refuses application/vnd.cups-raw
#
# cupsd must run as root (it switches to the lp user for filters).

set -euo pipefail

SCRIPT_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd -P)
PPD_SOURCE="$SCRIPT_DIR/../data/tray-printer.ppd"
BACKEND_SOURCE="$SCRIPT_DIR/capture-backend"
CUPS_LIB=/usr/lib/cups

die() {
    echo "testenv: $*" >&2
    exit 1
}

usage() {
    sed -n '2,/^$/p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//' >&2
    exit 2
}

# Creates BASE when needed and prints it as an absolute path. Whitespace is
# refused: the folder ends up in cupsd.conf lines and in device URIs.
normalise_base() {
    local base=$1
    [[ -n "$base" ]] || die "BASE folder missing"
    [[ "$base" != *[[:space:]]* ]] || die "BASE folder must not contain whitespace: '$base'"
    mkdir -p -- "$base"
    base=$(cd -- "$base" && pwd -P)
    [[ "$base" != / ]] || die "BASE folder must not be /"
    printf '%s\n' "$base"
}

# True when PID is alive and was started by this script for this BASE: its
# environment holds MARKER. A recycled pid of an unrelated process is thus
# never signalled.
pid_is_ours() {
    local pid=$1 marker=$2 environ
    [[ "$pid" =~ ^[0-9]+$ ]] || return 1
    # A zombie's environment reads as empty: it counts as gone.
    environ=$( { tr '\0' '\n' < "/proc/$pid/environ"; } 2>/dev/null) || return 1
    grep -qxF -- "$marker" <<<"$environ"
}

# Stops the process recorded in PIDFILE (only that pid), if it is still ours.
stop_recorded() {
    local pidfile=$1 marker=$2 name=$3 pid deadline
    if [[ ! -f "$pidfile" ]]; then
        return 0
    fi
    pid=$(head -n 1 "$pidfile" 2>/dev/null || true)
    if pid_is_ours "$pid" "$marker"; then
        kill -TERM "$pid" 2>/dev/null || true
        # Up to 5 s for a clean exit.
        deadline=$(($(now_us) + 5000000))
        while pid_is_ours "$pid" "$marker" && (($(now_us) < deadline)); do
            sleep 0.05
        done
        if pid_is_ours "$pid" "$marker"; then
            echo "testenv: $name (pid $pid) ignored SIGTERM, sending SIGKILL" >&2
            kill -KILL "$pid" 2>/dev/null || true
            deadline=$(($(now_us) + 2000000))
            while pid_is_ours "$pid" "$marker" && (($(now_us) < deadline)); do
                sleep 0.05
            done
        fi
        if pid_is_ours "$pid" "$marker"; then
            die "$name (pid $pid) does not exit"
        fi
    fi
    rm -f -- "$pidfile"
}

# Microseconds since the epoch, for deadlines that do not depend on how long
# each polling step takes.
now_us() {
    local t=${EPOCHREALTIME/[.,]/}
    printf '%s\n' "$((10#$t))"
}

free_port() {
    # The kernel picks an unused port; cupsd binds it a moment later.
    python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()'
}

# ---------------------------------------------------------------- CUPS

marker() { printf 'ZELBRIN_TESTENV=%s/%s\n' "$1" "$2"; }

cups_stop() {
    local base=$1
    stop_recorded "$base/cupsd.pid" "$(marker "$base" cupsd)" cupsd
    rm -f -- "$base/cups.env"
}

write_cupsd_conf() {
    local base=$1 port=$2 socket_line
    # A Unix socket path longer than sun_path (108 bytes) cannot be bound.
    if (( ${#base} + 10 < 104 )); then
        socket_line="Listen $base/cups.sock"
    else
        socket_line="# BASE is too long for a Unix socket path; TCP only."
    fi
    cat > "$base/etc/cupsd.conf" <<EOF
# Private cupsd for tests: loopback only, everything open to local clients.
LogLevel info
MaxLogSize 0
Listen 127.0.0.1:$port
$socket_line
Browsing No
BrowseLocalProtocols none
WebInterface No
DefaultAuthType None
DefaultEncryption Never
PreserveJobHistory Yes
PreserveJobFiles Yes
# printers.conf on disk at once: the start-up reloads cupsd right after creating the queues.
DirtyCleanInterval 0
# A failing job must not stop the queue for the tests that follow.
ErrorPolicy abort-job

<Location />
  Order allow,deny
  Allow 127.0.0.1
  Allow localhost
</Location>

# Job names and users stay visible to every client, so tests can read them back.
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
EOF
}

write_cups_files_conf() {
    local base=$1
    cat > "$base/etc/cups-files.conf" <<EOF
ServerRoot $base/etc
ServerBin $base/lib
StateDir $base/run
CacheDir $base/cache
RequestRoot $base/spool
TempDir $base/spool/tmp
AccessLog $base/log/access_log
ErrorLog $base/log/error_log
PageLog $base/log/page_log
Printcap $base/etc/printcap
FileDevice Yes
User lp
Group lp
SystemGroup root
EOF
}

prepare_server_bin() {
    local base=$1 dir f
    for dir in cgi-bin daemon driver filter monitor notifier; do
        if [[ -e "$CUPS_LIB/$dir" ]]; then
            ln -s "$CUPS_LIB/$dir" "$base/lib/$dir"
        fi
    done
    mkdir -p "$base/lib/backend"
    for f in "$CUPS_LIB"/backend/*; do
        [[ -e "$f" || -L "$f" ]] || continue
        ln -s "$f" "$base/lib/backend/$(basename "$f")"
    done
    # Mode 0700: cupsd runs such backends as root.
    install -m 0700 "$BACKEND_SOURCE" "$base/lib/backend/capture"
}

# lpadmin warns that PPD drivers are deprecated; that line is expected.
quiet_lpadmin() {
    local err rc=0
    err=$(lpadmin "$@" 2>&1) || rc=$?
    err=$(grep -v 'Printer drivers are deprecated' <<<"$err" || true)
    [[ -z "$err" ]] || printf '%s\n' "$err" >&2
    return "$rc"
}

# True once the queue answers and its document-format-supported lacks raw.
refuses_raw() {
    local port=$1 queue=$2 formats
    formats=$(ipptool -tv "ipp://127.0.0.1:$port/printers/$queue" get-printer-attributes.test \
        2>/dev/null | grep 'document-format-supported' || true)
    [[ -n "$formats" && "$formats" != *application/vnd.cups-raw* ]]
}

# A queue that refuses raw data. cupsd gives every PPD queue a raw path (the filter
# "application/vnd.cups-raw application/octet-stream 0 -" is added to the PPD's own filters
# in its cached PPD data, CACHEDIR/QUEUE.data), so no PPD alone can drop it. That one line is
# taken out of the cache, which is newer than the PPD and thus read as it is, and cupsd
# reloads (SIGHUP). The PPD's only filter passes PDF through unchanged.
add_noraw_queue() {
    local base=$1 pid=$2 port=$3 cache="$base/cache/zelbrin-noraw.data" deadline
    sed '1a *cupsFilter: "application/pdf 0 -"' "$PPD_SOURCE" > "$base/etc/noraw.ppd"
    quiet_lpadmin -p zelbrin-noraw -E -v "capture:$base/out/zelbrin-noraw" \
        -D "No Raw Printer" -P "$base/etc/noraw.ppd" || return 1
    if [[ ! -f "$cache" ]]; then
        echo "testenv: cupsd wrote no $cache" >&2
        return 1
    fi
    # zcat -f: the cache is gzip-compressed, but a plain one would pass through as well.
    zcat -f "$cache" | grep -a -v '^Filter application/vnd\.cups-raw ' | gzip -c > "$cache.new" &&
        chmod 0644 "$cache.new" && mv -f "$cache.new" "$cache" && kill -HUP "$pid" || return 1
    if ! command -v ipptool >/dev/null; then
        echo "testenv: ipptool missing (cups-ipp-utils): zelbrin-noraw is not checked" >&2
        sleep 1
        return 0
    fi
    deadline=$(($(now_us) + 10000000))
    while (($(now_us) < deadline)); do
        refuses_raw "$port" zelbrin-noraw && return 0
        sleep 0.05
    done
    echo "testenv: zelbrin-noraw still accepts application/vnd.cups-raw (CUPS' cache format changed?)" >&2
    return 1
}

cups_start() {
    local base=$1 port pid attempt deadline status ready
    command -v cupsd >/dev/null || die "cupsd not found (install the cups package)"
    [[ -f "$PPD_SOURCE" ]] || die "PPD not found: $PPD_SOURCE"
    [[ -f "$BACKEND_SOURCE" ]] || die "capture backend not found: $BACKEND_SOURCE"
    [[ $EUID -eq 0 ]] || die "cups-start must run as root (cupsd switches to the lp user)"

    cups_stop "$base"
    # A fresh state every time: job ids restart at 1, so old captures must go.
    # log/ itself stays: xvfb-start may be writing into it at the same time.
    rm -rf -- "${base:?}/etc" "${base:?}/spool" "${base:?}/cache" "${base:?}/run" \
        "${base:?}/lib" "${base:?}/out" "${base:?}/cups.env" "${base:?}/cups.sock" \
        "${base:?}/log/error_log" "${base:?}/log/access_log" "${base:?}/log/page_log" \
        "${base:?}/log/cupsd.out"
    mkdir -p "$base/etc/ppd" "$base/etc/ssl" "$base/spool/tmp" "$base/cache" \
        "$base/log" "$base/run" "$base/lib" "$base/home" \
        "$base/out/zelbrin-raw" "$base/out/zelbrin-tray" "$base/out/zelbrin-noraw"
    prepare_server_bin "$base"
    write_cups_files_conf "$base"
    # Filters run as lp; behind a folder lp cannot enter, every job through a
    # PPD queue fails with "filter errors" while raw jobs still work.
    if command -v runuser >/dev/null && ! runuser -u lp -- test -x "$base/lib/filter/"; then
        die "user lp cannot reach $base (filters run as lp): choose a BASE whose parent folders are world-searchable"
    fi

    local -x HOME="$base/home" CUPS_SERVERROOT="$base/etc"
    local -x CUPS_SERVER
    ready=0
    # The port is free when picked but could be taken before cupsd binds it.
    for ((attempt = 1; attempt <= 3 && ready == 0; attempt++)); do
        port=$(free_port)
        write_cupsd_conf "$base" "$port"
        CUPS_SERVER="127.0.0.1:$port"
        # Own output files: a caller that captures output (CTest) must not
        # wait for a daemon that keeps its pipes open.
        ZELBRIN_TESTENV="$base/cupsd" cupsd -f -c "$base/etc/cupsd.conf" -s "$base/etc/cups-files.conf" \
            </dev/null >>"$base/log/cupsd.out" 2>&1 &
        pid=$!
        echo "$pid" > "$base/cupsd.pid"
        # It is usually ready within 0.2 s.
        deadline=$(($(now_us) + 10000000))
        while (($(now_us) < deadline)); do
            if ! kill -0 "$pid" 2>/dev/null; then
                break
            fi
            status=$(lpstat -r 2>/dev/null || true)
            if [[ "$status" == "scheduler is running" ]]; then
                ready=1
                break
            fi
            sleep 0.05
        done
        if (( ready == 0 )); then
            if kill -0 "$pid" 2>/dev/null; then
                cups_stop "$base"
                die "cupsd (pid $pid) did not answer on 127.0.0.1:$port within 10 s; see $base/log/"
            fi
            wait "$pid" 2>/dev/null || true
            rm -f -- "$base/cupsd.pid"
            echo "testenv: cupsd exited during start-up (attempt $attempt); see $base/log/" >&2
        fi
    done
    (( ready == 1 )) || die "cupsd did not start; see $base/log/error_log and $base/log/cupsd.out"

    if ! quiet_lpadmin -p zelbrin-raw -E -v "capture:$base/out/zelbrin-raw" -D "Raw Capture" ||
        ! quiet_lpadmin -p zelbrin-tray -E -v "capture:$base/out/zelbrin-tray" \
            -D "Office Tray Printer" -P "$PPD_SOURCE" ||
        ! quiet_lpadmin -d zelbrin-tray ||
        ! add_noraw_queue "$base" "$pid" "$port"; then
        cups_stop "$base"
        die "creating the queues failed; see $base/log/error_log"
    fi

    printf 'CUPS_SERVER=127.0.0.1:%s\nCUPS_SERVERROOT=%s\n' "$port" "$base/etc" > "$base/cups.env"
    echo "testenv: cupsd pid $pid on 127.0.0.1:$port, captures in $base/out/"
}

# ---------------------------------------------------------------- Xvfb

xvfb_stop() {
    local base=$1
    stop_recorded "$base/xvfb.pid" "$(marker "$base" xvfb)" Xvfb
    rm -f -- "$base/xvfb.display" "$base/xvfb.env"
}

xvfb_start() {
    local base=$1 pid deadline line display=""
    command -v Xvfb >/dev/null || die "Xvfb not found (install the xvfb package)"
    xvfb_stop "$base"
    mkdir -p "$base/log"
    : > "$base/xvfb.display"
    # -displayfd: Xvfb picks a free display and writes its number once it
    # accepts connections, so no fixed number can clash with another server.
    ZELBRIN_TESTENV="$base/xvfb" Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 -noreset \
        3>"$base/xvfb.display" </dev/null >>"$base/log/xvfb.out" 2>&1 &
    pid=$!
    echo "$pid" > "$base/xvfb.pid"
    deadline=$(($(now_us) + 10000000))
    while (($(now_us) < deadline)); do
        # Complete only once the line ends with a newline.
        if IFS= read -r line < "$base/xvfb.display" && [[ "$line" =~ ^[0-9]+$ ]]; then
            display=$line
            break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if [[ -z "$display" ]]; then
        xvfb_stop "$base"
        die "Xvfb did not report a display within 10 s; see $base/log/xvfb.out"
    fi
    printf 'DISPLAY=:%s\n' "$display" > "$base/xvfb.env"
    echo "testenv: Xvfb pid $pid on DISPLAY=:$display"
}

# ---------------------------------------------------------------- exec

load_env_file() {
    local file=$1 line
    [[ -f "$file" ]] || return 0
    while IFS= read -r line || [[ -n "$line" ]]; do
        [[ -n "$line" ]] || continue
        [[ "$line" =~ ^[A-Za-z_][A-Za-z0-9_]*= ]] || die "bad line in $file: $line"
        export "${line?}"
    done < "$file"
}

exec_in_env() {
    local base=$1
    shift
    [[ "${1:-}" == -- ]] && shift
    (( $# > 0 )) || die "exec: no command given"
    # Nothing may reach the machine's own CUPS or the user's desktop session:
    # without a private service the variables point nowhere instead of
    # falling back to the defaults.
    unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS
    export CUPS_SERVER="$base/no-cupsd.sock" CUPS_SERVERROOT="$base/etc"
    load_env_file "$base/cups.env"
    load_env_file "$base/xvfb.env"
    mkdir -p "$base/home"
    mkdir -p "$base/xdg-runtime"
    chmod 0700 "$base/xdg-runtime"
    # A private HOME keeps ~/.cups/lpoptions and settings of the machine out.
    export HOME="$base/home"
    export XDG_RUNTIME_DIR="$base/xdg-runtime"
    exec "$@"
}

# ---------------------------------------------------------------- main

main() {
    local cmd=${1:-}
    (( $# >= 2 )) || usage
    shift
    local base
    base=$(normalise_base "$1")
    shift
    case "$cmd" in
        cups-start) (( $# == 0 )) || usage; cups_start "$base" ;;
        cups-stop)  (( $# == 0 )) || usage; cups_stop "$base" ;;
        xvfb-start) (( $# == 0 )) || usage; xvfb_start "$base" ;;
        xvfb-stop)  (( $# == 0 )) || usage; xvfb_stop "$base" ;;
        exec)       exec_in_env "$base" "$@" ;;
        *)          usage ;;
    esac
}

main "$@"
