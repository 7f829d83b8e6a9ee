#!/usr/bin/env bash
# Private services for integration tests and local runs: a cupsd on a loopback
# port with three capture queues, an Xvfb, a Samba server with two anonymous
# shares and a session bus with GVfs. Everything lives in one folder (BASE) so
# that the machine's own CUPS, Samba, session bus, port 631 and the real home
# folder are never touched.
#
#   testenv.sh cups-start BASE    start a private cupsd (stops an earlier one in BASE)
#   testenv.sh cups-stop  BASE    stop it (only the recorded pid)
#   testenv.sh xvfb-start BASE    start a private Xvfb (stops an earlier one in BASE)
#   testenv.sh xvfb-stop  BASE    stop it
#   testenv.sh smb-start  BASE    start a private smbd on 127.0.0.1:445 (stops an
#                                 earlier one in BASE); where port 445 cannot be
#                                 had (not root, port in use, no smbd) it writes
#                                 ZELBRIN_SMB_SKIP to smb.env and still succeeds
#   testenv.sh smb-stop   BASE    stop it
#   testenv.sh bus-start  BASE    start a private session bus on which the GVfs
#                                 daemons start on demand (stops an earlier one)
#   testenv.sh bus-stop   BASE    stop it, the GVfs daemons and their FUSE mount
#   testenv.sh sway-start BASE    start a headless sway with XWayland (stops an
#                                 earlier one in BASE); as root it runs as the
#                                 system user zelbrin-wl, made when missing (sway
#                                 refuses root). Where it cannot run (no sway or
#                                 Xwayland, no such user) it writes
#                                 ZELBRIN_WAYLAND_SKIP to sway.env and still succeeds
#   testenv.sh sway-stop  BASE    stop it and XWayland
#   testenv.sh exec BASE -- CMD [ARGS...]
#                                 run CMD with CUPS_SERVER, CUPS_SERVERROOT,
#                                 DISPLAY, DBUS_SESSION_BUS_ADDRESS, the
#                                 ZELBRIN_SMB_*, ZELBRIN_WAYLAND_* and
#                                 ZELBRIN_XWAYLAND_DISPLAY variables, HOME and
#                                 XDG_RUNTIME_DIR pointing into BASE
#                                 (WAYLAND_DISPLAY and XAUTHORITY removed; so is
#                                 DBUS_SESSION_BUS_ADDRESS without bus-start)
#
# Files in BASE:
#   cups.env   CUPS_SERVER=127.0.0.1:PORT and CUPS_SERVERROOT=BASE/etc
#   xvfb.env   DISPLAY=:N
#   smb.env    ZELBRIN_SMB_DOCS=FOLDER of the share "docs" and
#              ZELBRIN_SMB_TEAM_DOCS=FOLDER of the share "Team Docs"
#              (\\127.0.0.1\docs, \\127.0.0.1\Team Docs: anonymous, read-only);
#              or only ZELBRIN_SMB_SKIP=REASON when no server could be started
#   bus.env    DBUS_SESSION_BUS_ADDRESS=unix:path=BASE/xdg-runtime/bus and
#              GVFS_REMOTE_VOLUME_MONITOR_IGNORE=1
#   sway.env   ZELBRIN_WAYLAND_DISPLAY=absolute path of sway's Wayland socket and
#              ZELBRIN_XWAYLAND_DISPLAY=:N of its XWayland (which lets the test user
#              in); or only ZELBRIN_WAYLAND_SKIP=REASON. Tests set WAYLAND_DISPLAY and
#              DISPLAY from them where they want the Wayland session: the Xvfb stays
#              the default display
#   cupsd.pid, xvfb.pid, smbd.pid, bus.pid, sway.pid   (the .env and .pid files go away on stop)
#   cups.sock                the same cupsd on a Unix socket
#   home/, xdg-runtime/      HOME and XDG_RUNTIME_DIR for exec and the GVfs daemons;
#                            xdg-runtime/gvfs is the GVfs FUSE mount
#   out/QUEUE/job-N.prn      captured jobs of each queue
#   wayland/                 sway's user's folder: config, HOME, run/ (its
#                            XDG_RUNTIME_DIR); a link into /tmp when that user
#                            cannot reach BASE or the socket path would be too long
#   smb/docs/, smb/team-docs/  the share folders, emptied on smb-start; smb is a
#                            link into /tmp when the user nobody cannot reach BASE
#   smb.conf, samba/         smbd's configuration and state
#   log/error_log, log/cupsd.out, log/xvfb.out, log/smbd.out, log/bus.out, log/sway.out
#                            for diagnosis
#
# Queues (printer-info in quotes):
#   zelbrin-tray   "Office Tray Printer"  PPD tests/data/tray-printer.ppd; the default
#   zelbrin-raw    "Raw Capture"          no PPD: accepts everything, raw included
#   zelbrin-noraw  "No Raw Printer"       the tray PPD, PDF passed through unchanged;
#                                         refuses application/vnd.cups-raw
#
# cupsd and smbd must run as root (they switch to the lp and nobody users).
# sway-start as another user runs sway as that user.

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

# ---------------------------------------------------------------- helpers of smbd and the bus

# True when something accepts TCP connections on 127.0.0.1:PORT. The subshell
# closes the connection again at once.
port_answers() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Pids of the processes whose environment holds MARKER: daemons that a
# recorded process started and that may outlive it.
marked_pids() {
    local marker=$1 file pid
    # One grep over all environments: a loop of pid_is_ours would take a second.
    while IFS= read -r file; do
        pid=${file#/proc/}
        pid=${pid%/environ}
        [[ "$pid" =~ ^[0-9]+$ ]] && (( pid != $$ && pid != BASHPID )) && printf '%s\n' "$pid"
    done < <(grep -lsxzF -- "$marker" /proc/[0-9]*/environ || true)
}

# Signals every process that carries MARKER, checking each pid right before.
signal_marked() {
    local signal=$1 marker=$2 pid
    for pid in $(marked_pids "$marker"); do
        if pid_is_ours "$pid" "$marker"; then
            kill "-$signal" "$pid" 2>/dev/null || true
        fi
    done
}

# Ends what is left of the processes that carry MARKER: SIGTERM, then SIGKILL.
kill_marked() {
    local marker=$1 name=$2 pids deadline
    pids=$(marked_pids "$marker")
    [[ -n "$pids" ]] || return 0
    echo "testenv: stopping leftover $name processes: ${pids//$'\n'/ }" >&2
    signal_marked TERM "$marker"
    deadline=$(($(now_us) + 5000000))
    while [[ -n "$(marked_pids "$marker")" ]] && (($(now_us) < deadline)); do
        sleep 0.05
    done
    [[ -n "$(marked_pids "$marker")" ]] || return 0
    signal_marked KILL "$marker"
    deadline=$(($(now_us) + 2000000))
    while [[ -n "$(marked_pids "$marker")" ]] && (($(now_us) < deadline)); do
        sleep 0.05
    done
    pids=$(marked_pids "$marker")
    [[ -z "$pids" ]] || die "$name processes do not exit: ${pids//$'\n'/ }"
}

# ---------------------------------------------------------------- Samba

# The agent builds smb:// URLs without a port, so only 445 will do.
SMB_PORT=445
# Serialises smb-start across all BASEs of the machine.
SMB_LOCK=/tmp/zelbrin-testenv-smb.lock

# Removes FOLDER. Where it is a link to a folder this script made in /tmp
# (a name starting with PREFIX), that folder goes with it.
remove_folder_or_link() {
    local folder=$1 prefix=$2 target
    if [[ -L "$folder" ]]; then
        target=$(readlink -- "$folder")
        if [[ "$target" == "$prefix"* ]]; then
            rm -rf -- "$target"
        fi
    fi
    rm -rf -- "${folder:?}"
}

# The share folders behind BASE/smb, made in /tmp when the user nobody cannot
# reach BASE.
remove_smb_shares() {
    remove_folder_or_link "$1/smb" /tmp/zelbrin-smb.
}

smb_stop() {
    local base=$1 marker
    marker=$(marker "$base" smbd)
    stop_recorded "$base/smbd.pid" "$marker" smbd
    # smbd ends its connection processes itself; this only catches strays.
    kill_marked "$marker" smbd
    rm -f -- "$base/smb.env"
    if [[ -L "$base/smb" ]]; then
        remove_smb_shares "$base"
    fi
}

# Pids of the processes that listen on 127.0.0.1:445, one a line.
smb_listeners() {
    local lines
    lines=$(ss -Hltnp src "127.0.0.1:$SMB_PORT" 2>/dev/null) || return 0
    grep -oE 'pid=[0-9]+' <<<"$lines" | cut -d= -f2 | sort -u || true
}

# Names the program on 127.0.0.1:445 as " (NAME, pid PID)", if ss can tell.
smb_port_holder() {
    { ss -Hltnp src "127.0.0.1:$SMB_PORT" 2>/dev/null || true; } |
        sed -nE 's/.*users:\(\("([^"]+)",pid=([0-9]+).*/ (\1, pid \2)/p' | head -n 1
}

# Where no server can be had the fixture still passes: the tests read the
# reason and skip.
smb_skip() {
    local base=$1 reason=$2
    printf 'ZELBRIN_SMB_SKIP=%s\n' "$reason" > "$base/smb.env"
    echo "testenv: no private Samba server: $reason" >&2
    exit 0
}

# True when the user nobody, as whom smbd serves the guest, can read FOLDER.
nobody_reaches() {
    command -v runuser >/dev/null || return 0
    runuser -u nobody -- test -r "$1" -a -x "$1" 2>/dev/null
}

# Prints the folder that holds the share folders: BASE/smb, or a folder in
# /tmp linked as BASE/smb when nobody cannot get through BASE's parents.
make_smb_shares() {
    local base=$1 root
    remove_smb_shares "$base"
    install -d -m 0755 "$base/smb"
    if ! nobody_reaches "$base/smb"; then
        rmdir -- "$base/smb"
        root=$(mktemp -d /tmp/zelbrin-smb.XXXXXX)
        chmod 0755 "$root"
        ln -s -- "$root" "$base/smb"
        nobody_reaches "$root" || die "user nobody cannot reach $root either"
        echo "testenv: user nobody cannot reach $base; the shares live in $root" >&2
    fi
    install -d -m 0755 "$base/smb/docs" "$base/smb/team-docs"
    (cd -- "$base/smb" && pwd -P)
}

write_smb_conf() {
    local base=$1 shares=$2
    local state="$base/samba"
    cat > "$base/smb.conf" <<EOF
# Private Samba server for tests: loopback only, anonymous read-only shares.
[global]
    server role = standalone server
    interfaces = lo
    bind interfaces only = yes
    smb ports = $SMB_PORT
    disable netbios = yes
    lock directory = $state/lock
    state directory = $state/state
    cache directory = $state/cache
    pid directory = $state/run
    private dir = $state/private
    ncalrpc dir = $state/ncalrpc
    log file = $base/log/smbd.log
    max log size = 0
    # Every client is the guest, that is nobody: the agent connects anonymously.
    map to guest = Bad User
    guest account = nobody
    load printers = no
    printing = bsd
    printcap name = /dev/null
    disable spoolss = yes
    # Else smbd starts samba-dcerpcd, which detaches and outlives smbd.
    rpc start on demand helpers = no

[docs]
    path = $shares/docs
    read only = yes
    guest ok = yes
    guest only = yes

# Upper case and a space: GVfs lowercases share names and percent-encodes spaces.
[Team Docs]
    path = $shares/team-docs
    read only = yes
    guest ok = yes
    guest only = yes
EOF
}

smb_start() {
    local base=$1 shares pid deadline lock other have_ss=0 ready=0
    smb_stop "$base"
    command -v smbd >/dev/null || smb_skip "$base" "smbd not found (install the samba package)"
    [[ $EUID -eq 0 ]] || smb_skip "$base" "smb-start must run as root (port $SMB_PORT, files served as nobody)"
    command -v ss >/dev/null && have_ss=1

    # smbd binds with SO_REUSEPORT: a second smbd does not fail on a taken port
    # but shares it with the first. So starts in different BASEs take turns,
    # and each one finds the port free before it starts smbd.
    exec {lock}>>"$SMB_LOCK"
    flock -w 60 "$lock" || die "another smb-start has held $SMB_LOCK for 60 s"
    if port_answers "$SMB_PORT"; then
        smb_skip "$base" "127.0.0.1:$SMB_PORT is taken by another server$(smb_port_holder)"
    fi

    # A fresh state every time, and empty shares.
    rm -rf -- "${base:?}/samba" "${base:?}/log/smbd.log" "${base:?}/log/smbd.out"
    # smbd refuses state folders that are not exactly 0755.
    install -d -m 0755 "$base/log" "$base/samba" "$base/samba/lock" "$base/samba/state" \
        "$base/samba/cache" "$base/samba/run" "$base/samba/ncalrpc"
    install -d -m 0700 "$base/samba/private"
    shares=$(make_smb_shares "$base")
    write_smb_conf "$base" "$shares"

    # No --no-process-group: smbd signals its whole process group on exit,
    # which must be its own and not the caller's. The lock stays here.
    ZELBRIN_TESTENV="$base/smbd" smbd --foreground --debug-stdout -d1 -s "$base/smb.conf" \
        </dev/null >>"$base/log/smbd.out" 2>&1 {lock}>&- &
    pid=$!
    echo "$pid" > "$base/smbd.pid"
    # It usually listens within 0.3 s.
    deadline=$(($(now_us) + 10000000))
    while (($(now_us) < deadline)); do
        kill -0 "$pid" 2>/dev/null || break
        if (( have_ss )); then
            grep -qxF -- "$pid" <<<"$(smb_listeners)" && ready=1
        else
            port_answers "$SMB_PORT" && ready=1
        fi
        (( ready == 0 )) || break
        sleep 0.05
    done
    if (( ready == 0 )); then
        smb_stop "$base"
        if port_answers "$SMB_PORT"; then
            smb_skip "$base" "127.0.0.1:$SMB_PORT is taken by another server$(smb_port_holder)"
        fi
        die "smbd (pid $pid) did not listen on 127.0.0.1:$SMB_PORT within 10 s; see $base/log/smbd.out"
    fi
    # A server that does not take turns with this script (the machine's own
    # smbd, say) may have come up at the same moment.
    for other in $(smb_listeners); do
        if ! pid_is_ours "$other" "$(marker "$base" smbd)"; then
            smb_stop "$base"
            smb_skip "$base" "127.0.0.1:$SMB_PORT is shared with another server$(smb_port_holder)"
        fi
    done

    printf 'ZELBRIN_SMB_DOCS=%s\nZELBRIN_SMB_TEAM_DOCS=%s\n' "$shares/docs" "$shares/team-docs" \
        > "$base/smb.env"
    echo "testenv: smbd pid $pid on 127.0.0.1:$SMB_PORT, shares docs and \"Team Docs\" in $shares/"
}

# ---------------------------------------------------------------- session bus and GVfs

# True when FOLDER is a mount point in /proc/mounts (BASE holds no whitespace,
# so no octal escapes to decode).
is_mounted() {
    local folder=$1 point
    while read -r _ point _; do
        [[ "$point" == "$folder" ]] && return 0
    done < /proc/mounts
    return 1
}

bus_answers() {
    DBUS_SESSION_BUS_ADDRESS=$1 dbus-send --session --dest=org.freedesktop.DBus \
        --print-reply / org.freedesktop.DBus.ListNames >/dev/null 2>&1
}

bus_stop() {
    local base=$1 marker deadline
    local fuse="$base/xdg-runtime/gvfs"
    marker=$(marker "$base" bus)
    stop_recorded "$base/bus.pid" "$marker" dbus-daemon
    rm -f -- "$base/bus.env"
    # Without the bus the GVfs daemons end by themselves, and gvfsd-fuse
    # unmounts its folder.
    deadline=$(($(now_us) + 5000000))
    while [[ -n "$(marked_pids "$marker")" ]] && (($(now_us) < deadline)); do
        sleep 0.05
    done
    # A gvfsd-fuse that was killed or hangs leaves it mounted. Unmounting
    # first also frees daemons that wait on it.
    if is_mounted "$fuse"; then
        echo "testenv: $fuse still mounted; unmounting it" >&2
        fusermount3 -u "$fuse" 2>/dev/null || umount -l "$fuse" 2>/dev/null || true
    fi
    kill_marked "$marker" GVfs
    if is_mounted "$fuse"; then
        umount -l "$fuse" 2>/dev/null || true
        ! is_mounted "$fuse" || die "cannot unmount $fuse"
    fi
    rm -f -- "$base/xdg-runtime/bus"
}

bus_start() {
    local base=$1 pid deadline address ready=0
    local socket="$base/xdg-runtime/bus"
    command -v dbus-daemon >/dev/null || die "dbus-daemon not found (install the dbus package)"
    command -v dbus-send >/dev/null || die "dbus-send not found (install the dbus package)"
    # A Unix socket path longer than sun_path (108 bytes) cannot be bound.
    (( ${#socket} < 108 )) || die "BASE is too long for the bus socket $socket"
    bus_stop "$base"
    mkdir -p "$base/log" "$base/home" "$base/xdg-runtime"
    chmod 0700 "$base/xdg-runtime"
    rm -f -- "$base/log/bus.out"
    address="unix:path=$socket"

    # The daemons the bus starts inherit its environment: the marker finds
    # them on stop, and gvfsd mounts FUSE in XDG_RUNTIME_DIR/gvfs.
    env -u DISPLAY -u WAYLAND_DISPLAY -u XAUTHORITY \
        ZELBRIN_TESTENV="$base/bus" HOME="$base/home" XDG_RUNTIME_DIR="$base/xdg-runtime" \
        DBUS_SESSION_BUS_ADDRESS="$address" GVFS_REMOTE_VOLUME_MONITOR_IGNORE=1 \
        dbus-daemon --session --nofork --nopidfile --address="$address" \
        </dev/null >>"$base/log/bus.out" 2>&1 &
    pid=$!
    echo "$pid" > "$base/bus.pid"
    deadline=$(($(now_us) + 10000000))
    while (($(now_us) < deadline)); do
        kill -0 "$pid" 2>/dev/null || break
        if [[ -S "$socket" ]] && bus_answers "$address"; then
            ready=1
            break
        fi
        sleep 0.05
    done
    if (( ready == 0 )); then
        bus_stop "$base"
        die "dbus-daemon did not answer on $socket within 10 s; see $base/log/bus.out"
    fi
    printf 'DBUS_SESSION_BUS_ADDRESS=%s\nGVFS_REMOTE_VOLUME_MONITOR_IGNORE=1\n' "$address" \
        > "$base/bus.env"
    echo "testenv: dbus-daemon pid $pid on $address"
}

# ---------------------------------------------------------------- sway and XWayland

# sway refuses to run as root: root runs it as this system user.
SWAY_USER=zelbrin-wl
# Serialises creating that user across all BASEs of the machine.
SWAY_USER_LOCK=/tmp/zelbrin-testenv-user.lock

sway_stop() {
    local base=$1 marker
    marker=$(marker "$base" sway)
    stop_recorded "$base/sway.pid" "$marker" sway
    # XWayland and the start-up script carry the marker too.
    kill_marked "$marker" sway
    rm -f -- "$base/sway.env"
    if [[ -L "$base/wayland" ]]; then
        remove_folder_or_link "$base/wayland" /tmp/zelbrin-wl.
    fi
}

# Where no compositor can be had the fixture still passes: the tests read the
# reason and skip.
sway_skip() {
    local base=$1 reason=$2
    printf 'ZELBRIN_WAYLAND_SKIP=%s\n' "$reason" > "$base/sway.env"
    echo "testenv: no private sway: $reason" >&2
    exit 0
}

ensure_sway_user() {
    local lock rc=0
    id -u "$SWAY_USER" >/dev/null 2>&1 && return 0
    exec {lock}>>"$SWAY_USER_LOCK"
    flock -w 60 "$lock" || return 1
    if ! id -u "$SWAY_USER" >/dev/null 2>&1; then
        # Its HOME is set per BASE on start; it needs none of its own.
        useradd --system --user-group --no-create-home --home-dir /nonexistent \
            --shell /usr/sbin/nologin --comment "Zelbrin test compositor" "$SWAY_USER" >&2 || rc=$?
    fi
    exec {lock}>&-
    return "$rc"
}

# Runs CMD as USER, or as the caller when USER is empty.
as_user() {
    local user=$1
    shift
    if [[ -n "$user" ]]; then
        setpriv --reuid="$user" --regid="$user" --init-groups -- "$@"
    else
        "$@"
    fi
}

# Makes the folder that USER runs sway in and prints its real path: BASE/wayland,
# or a folder in /tmp linked as BASE/wayland when USER cannot get through
# BASE's parents or the socket path would not fit sun_path (108 bytes).
make_sway_home() {
    local base=$1 user=$2 home="$1/wayland"
    remove_folder_or_link "$home" /tmp/zelbrin-wl.
    install -d -m 0755 "$home"
    [[ -z "$user" ]] || chown "$user:" "$home"
    if (( ${#home} + 20 >= 108 )) || ! as_user "$user" test -w "$home" -a -x "$home"; then
        rmdir -- "$home"
        ln -s -- "$(mktemp -d /tmp/zelbrin-wl.XXXXXX)" "$home"
        chmod 0755 "$home/"
        [[ -z "$user" ]] || chown "$user:" "$home/"
        echo "testenv: sway runs in $(readlink -- "$home") (BASE out of reach or too long)" >&2
    fi
    install -d -m 0700 "$home/run" "$home/home"
    [[ -z "$user" ]] || chown "$user:" "$home/run" "$home/home"
    (cd -- "$home" && pwd -P)
}

# sway runs this once it is up. XWayland admits only its own user, so the
# caller is let in before the displays are reported.
write_sway_files() {
    local home=$1 user=$2 admit=""
    [[ -z "$user" ]] || admit="xhost +si:localuser:$(id -un) >/dev/null || exit 1"
    cat > "$home/ready.sh" <<EOF
#!/bin/sh
# Blocks until XWayland answers.
xprop -root >/dev/null || exit 1
$admit
printf '%s %s\\n' "\$WAYLAND_DISPLAY" "\$DISPLAY" > "$home/displays.new" &&
    mv -f "$home/displays.new" "$home/displays"
EOF
    chmod 0755 "$home/ready.sh"
    cat > "$home/config" <<EOF
# Headless sway for tests. "force" starts XWayland at once instead of on the
# first X client.
xwayland force
exec $home/ready.sh
EOF
}

unix_socket_answers() {
    python3 -c 'import socket, sys
socket.socket(socket.AF_UNIX).connect(sys.argv[1])' "$1" 2>/dev/null
}

sway_start() {
    local base=$1 user="" home pid deadline wl="" x="" socket=""
    local -a drop=()
    sway_stop "$base"
    command -v sway >/dev/null || sway_skip "$base" "sway not found (install the sway package)"
    command -v Xwayland >/dev/null ||
        sway_skip "$base" "Xwayland not found (install the xwayland package)"
    command -v xprop >/dev/null || sway_skip "$base" "xprop not found (install the x11-utils package)"
    if [[ $EUID -eq 0 ]]; then
        command -v xhost >/dev/null ||
            sway_skip "$base" "xhost not found (install the x11-xserver-utils package)"
        ensure_sway_user || sway_skip "$base" "cannot create the system user $SWAY_USER"
        user=$SWAY_USER
        drop=(setpriv --reuid="$user" --regid="$user" --init-groups --)
    fi
    mkdir -p "$base/log"
    rm -f -- "$base/log/sway.out"
    home=$(make_sway_home "$base" "$user")
    write_sway_files "$home" "$user"

    # A clean environment: nothing of the caller's session (DISPLAY,
    # WAYLAND_DISPLAY, the bus) reaches sway or what it starts.
    env -i PATH=/usr/local/bin:/usr/bin:/bin HOME="$home/home" XDG_RUNTIME_DIR="$home/run" \
        WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        ZELBRIN_TESTENV="$base/sway" "${drop[@]}" sway -c "$home/config" \
        </dev/null >>"$base/log/sway.out" 2>&1 &
    pid=$!
    echo "$pid" > "$base/sway.pid"
    # Both displays usually answer within 0.5 s.
    deadline=$(($(now_us) + 15000000))
    while (($(now_us) < deadline)); do
        if { read -r wl x < "$home/displays"; } 2>/dev/null; then
            socket="$home/run/$wl"
            break
        fi
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    if [[ -z "$socket" ]] || ! [[ "$wl" == wayland-* && "$x" =~ ^:[0-9]+$ ]] ||
        ! unix_socket_answers "$socket" || ! DISPLAY=$x xprop -root >/dev/null 2>&1; then
        sway_stop "$base"
        tail -n 20 "$base/log/sway.out" >&2 || true
        die "sway did not offer a Wayland socket and an XWayland display open to $(id -un) within 15 s (got '$wl' '$x'); see $base/log/sway.out"
    fi
    printf 'ZELBRIN_WAYLAND_DISPLAY=%s\nZELBRIN_XWAYLAND_DISPLAY=%s\n' "$socket" "$x" \
        > "$base/sway.env"
    echo "testenv: sway pid $pid on $socket, XWayland on DISPLAY=$x"
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
    unset DISPLAY WAYLAND_DISPLAY XAUTHORITY DBUS_SESSION_BUS_ADDRESS \
        ZELBRIN_WAYLAND_DISPLAY ZELBRIN_XWAYLAND_DISPLAY ZELBRIN_WAYLAND_SKIP
    export CUPS_SERVER="$base/no-cupsd.sock" CUPS_SERVERROOT="$base/etc"
    load_env_file "$base/cups.env"
    load_env_file "$base/xvfb.env"
    load_env_file "$base/smb.env"
    load_env_file "$base/bus.env"
    load_env_file "$base/sway.env"
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
        smb-start)  (( $# == 0 )) || usage; smb_start "$base" ;;
        smb-stop)   (( $# == 0 )) || usage; smb_stop "$base" ;;
        bus-start)  (( $# == 0 )) || usage; bus_start "$base" ;;
        bus-stop)   (( $# == 0 )) || usage; bus_stop "$base" ;;
        sway-start) (( $# == 0 )) || usage; sway_start "$base" ;;
        sway-stop)  (( $# == 0 )) || usage; sway_stop "$base" ;;
        exec)       exec_in_env "$base" "$@" ;;
        *)          usage ;;
    esac
}

main "$@"
