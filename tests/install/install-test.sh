#!/usr/bin/env bash
# What an installation holds, checked on a built tree; needs no display.
#
#   install-test.sh tree    BUILD_DIR VERSION            cmake --install into a temporary prefix
#   install-test.sh package BUILD_DIR VERSION DEB_VERSION the Debian package that cpack makes
#
# With Ninja, CPack only runs the install scripts and builds nothing, so it packs what the build
# folder holds.
set -euo pipefail
mode=$1 build=$2 version=$3 deb_version=${4:-}
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

icon_sizes=(16 22 24 32 48 64 128 256)
programs=(bin/zelbrin-client bin/zelbrin-send libexec/zelbrin-client/zelbrin-relaunch)

# The files of an installation below its prefix, in sorted order.
expected_files() {
  {
    printf '%s\n' "${programs[@]}" \
      share/applications/zelbrin-client.desktop \
      share/doc/zelbrin-client/changelog.Debian.gz share/doc/zelbrin-client/copyright \
      share/icons/hicolor/scalable/apps/zelbrin-client.svg \
      share/man/man1/zelbrin-client.1.gz share/man/man1/zelbrin-send.1.gz \
      share/metainfo/com.kestrova.ZelbrinClient.metainfo.xml
    for size in "${icon_sizes[@]}"; do
      echo "share/icons/hicolor/${size}x${size}/apps/zelbrin-client.png"
    done
  } | sed "s|^|$1|" | sort
}

same_files() {  # NAME ACTUAL-LIST (expected on standard input)
  local diff
  if ! diff=$(diff <(cat) <(printf '%s\n' "$2")); then
    fail "$1 does not hold exactly the expected files (< missing, > unexpected):"$'\n'"$diff"
  fi
}

case $mode in
tree)
  prefix=$work/prefix
  cmake --install "$build" --prefix "$prefix" >/dev/null
  expected_files "" | same_files "the installed tree" \
    "$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort)"

  desktop-file-validate --no-hints "$prefix/share/applications/zelbrin-client.desktop" ||
    fail "the desktop entry is not valid"
  # --strict fails on warnings and infos too; pedantic notes pass.
  appstreamcli validate --strict --no-net \
    "$prefix/share/metainfo/com.kestrova.ZelbrinClient.metainfo.xml" ||
    fail "the AppStream metainfo is not valid"

  # Icon themes trust the folder name, so it must be the picture's real size.
  for size in "${icon_sizes[@]}"; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/zelbrin-client.png
    real=$(python3 -c 'import struct, sys
data = open(sys.argv[1], "rb").read(24)
print("%dx%d" % struct.unpack(">II", data[16:24]))' "$icon" 2>/dev/null) || real=unreadable
    [[ $real == "${size}x${size}" ]] || fail "the icon is $real pixels, installed as ${size}x${size}"
  done

  # The agent finds its relaunch helper through a path relative to its own folder, kept in the
  # program as an 8-bit or a 16-bit (QStringLiteral) text.
  agent=$prefix/bin/zelbrin-client
  texts=$(strings -n 6 "$agent"; strings -e l -n 6 "$agent")
  helper_dir=$(grep -m1 -Ex '(\.\./)+[^ ]*zelbrin-client' <<<"$texts") ||
    helper_dir="(none found)"
  [[ -x $prefix/bin/$helper_dir/zelbrin-relaunch ]] ||
    fail "the agent looks for zelbrin-relaunch in bin/$helper_dir, where it is not installed"

  # Hardening: PIE, read-only relocations bound at start, stack protection; and fortified calls,
  # which only the agent has (every call of the two small programs has sizes known when built).
  pie='FLAGS_1.* PIE' now='FLAGS.* BIND_NOW'
  fortified='__[a-z0-9]+_chk(@|[[:space:]]|$)'  # __stack_chk_fail is no fortified call
  for program in "${programs[@]}"; do
    dynamic=$(readelf -dW "$prefix/$program")
    symbols=$(readelf --dyn-syms -W "$prefix/$program")
    [[ $dynamic =~ $pie ]] || fail "$program is no PIE"
    [[ $(readelf -lW "$prefix/$program") == *GNU_RELRO* ]] || fail "$program has no RELRO segment"
    [[ $dynamic =~ $now ]] || fail "$program is not bound at start"
    [[ $symbols == *__stack_chk_fail* ]] || fail "$program has no stack protection"
    [[ $program != */zelbrin-client || $symbols =~ $fortified ]] ||
      fail "$program calls no fortified C library function"
  done

  # Without any display: --version must be answered before Qt looks for one.
  status=0
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    timeout 10 "$prefix/bin/zelbrin-client" --version 2>&1) || status=$?
  if [[ $status -ne 0 || $output != *"zelbrin-client $version"* ]]; then
    fail "the installed agent's --version without a display gave status $status and: $output"
  fi

  # A wrong option is refused with the usage before Qt looks for a display; --help names the
  # files of the user who asks.
  for program in zelbrin-client zelbrin-send; do
    status=0
    output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
      timeout 10 "$prefix/bin/$program" --bogus --clipboard 2>&1 >/dev/null) || status=$?
    [[ $status -eq 2 && $output == *"$program: "*bogus*Usage:* ]] ||
      fail "$program --bogus gave status $status and: $output"
  done
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_CONFIG_HOME \
    HOME="$work/home" timeout 10 "$prefix/bin/zelbrin-client" --help 2>&1) || true
  [[ $output == *" $work/home/Documents/com.kestrova.ZelbrinClient/ZelbrinLogFile.txt"* ]] ||
    fail "the agent's --help does not name the log file of HOME=$work/home: $output"
  ;;
package)
  cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
  deb=$work/zelbrin-client_${deb_version}_$(dpkg --print-architecture).deb
  if [[ ! -f $deb ]]; then
    fail "cpack made no $(basename "$deb"); it made: $(cd "$work" && ls ./*.deb 2>/dev/null)"
    exit 1
  fi

  expected_files ./usr/ | same_files "the package" \
    "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)"

  # Depends comes from dpkg-shlibdeps; these are the libraries the programs really link.
  depends=$(dpkg-deb -f "$deb" Depends)
  names=" $(sed -E 's/ *\([^)]*\)//g; s/,/ /g' <<<"$depends" | tr -s ' ') "
  for pattern in libqt6widgets6 libqt6printsupport6 libcups2 'libqpdf[0-9]+' libssl3 \
                 libglib2.0-0 libxcb1 libpugixml1v5; do
    [[ $names =~ \ $pattern\  ]] || fail "Depends lacks $pattern: $depends"
  done

  # Only tags the project cannot fix are let through:
  # - initial-upload-closes-no-bugs: the package is not uploaded to Debian, so there is no
  #   "intent to package" bug for its first changelog entry to close.
  status=0
  report=$(lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs \
             "$deb" 2>&1) || status=$?
  (( status == 0 )) ||
    fail "lintian finds errors or warnings:"$'\n'"$(grep -v '^running with root' <<<"$report")"
  ;;
*)
  echo "usage: install-test.sh tree|package BUILD_DIR VERSION [DEB_VERSION]" >&2
  exit 2
  ;;
esac

(( failures == 0 )) || exit 1
echo "install-test $mode: all checks passed"
