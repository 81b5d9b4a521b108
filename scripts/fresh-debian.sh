#!/usr/bin/env bash
# The check to run before a release, for each Debian release the README promises (12 and 13):
# the README's two commands on a Debian machine that has never seen the project.
#
# It makes a fresh Debian SUITE with debootstrap, from the archive this machine's apt uses, puts
# a clean clone of the current commit in it and, as root there:
#   1. runs ./run.sh against a private X server on this machine: the window must appear, and
#      ESC must end the program with status 0;
#   2. runs ./test.sh, which must pass.
# It takes about 25 minutes, and several gigabytes under WORK while it runs.
#   scripts/fresh-debian.sh SUITE [WORK]     (SUITE: bookworm, trixie...; WORK: a new folder)
#
# Everything is mounted in a mount namespace of its own, which ends with the script, so nothing
# stays mounted whatever happens; the chroot is removed only once nothing is mounted under it
# (removing a tree through a bind mount of /dev would delete this machine's devices).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
suite=${1:?usage: scripts/fresh-debian.sh SUITE [WORK]}
work=$(realpath -m "${2:-/var/tmp/soundpath-fresh-$suite}")
[ "$EUID" -eq 0 ] || exec sudo "$0" "$@"
source scripts/lib.sh
ensure_packages debootstrap xvfb x11-utils xdotool git
codename=$(release_codename)
mirror=$(debian_mirror "$codename")
commit=$(git rev-parse HEAD)
git diff --quiet HEAD || echo "note: uncommitted changes are not checked, only $commit" >&2

# ---- inside the namespace: make the machine, run the two commands -----------------------------
if [ "${FRESH_INSIDE:-}" != 1 ]; then
  if [ -e "$work" ]; then
    echo "$work is there already: name a new folder" >&2
    exit 1
  fi
  mkdir -p "$work"
  status=0
  FRESH_INSIDE=1 unshare --mount --propagation private "$0" "$suite" "$work" || status=$?
  if findmnt -rn -o TARGET | grep -q -F "$work/"; then
    echo "something is still mounted under $work: left in place" >&2
  else
    rm -rf "$work"
  fi
  exit "$status"
fi

root=$work/root
log=$work/log
started=$SECONDS
step() { echo "== $((SECONDS - started)) s: $*"; }

step "debootstrap $suite from $mirror"
debootstrap --include=git,ca-certificates "$suite" "$root" "$mirror" >"$log" 2>&1 ||
  { tail -20 "$log"; echo "debootstrap failed" >&2; exit 1; }
cp /etc/resolv.conf "$root/etc/resolv.conf"
for m in proc sys dev dev/pts dev/shm; do
  mount --bind "/$m" "$root/$m"
done
git clone -q --no-local "$top" "$root/root/soundpath"
git -C "$root/root/soundpath" checkout -q "$commit"
in_chroot() { chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"; }

# ./run.sh shows its window on an X server of this machine's, whose socket the chroot sees.
step "./run.sh"
mkdir -p /tmp/.X11-unix "$root/tmp/.X11-unix"
chmod 1777 /tmp/.X11-unix
start_xvfb
trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
in_chroot DISPLAY="$DISPLAY" bash -c 'cd /root/soundpath && ./run.sh' >"$work/run.log" 2>&1 &
program=$!
# The first run installs packages and builds: up to 10 minutes.
if ! wait_for_window 600 "$program"; then
  tail -20 "$work/run.log"
  echo "FAIL: ./run.sh showed no window" >&2
  exit 1
fi
step "the window is there; ESC"
sleep 1
# The window opens at (0, 0), and with no window manager the keyboard follows the pointer.
xdotool mousemove 400 300 sleep 0.2 keydown Escape sleep 0.1 keyup Escape
code=0
wait "$program" || code=$?
[ "$code" -eq 0 ] || { tail -20 "$work/run.log"; echo "FAIL: ./run.sh ended with $code" >&2; exit 1; }
umount "$root/tmp/.X11-unix"
kill "$xvfb_pid"

step "./test.sh"
code=0
in_chroot bash -c 'cd /root/soundpath && ./test.sh' >"$work/test.log" 2>&1 </dev/null || code=$?
cp "$work/test.log" "/var/tmp/soundpath-fresh-$suite-test.log"
grep -E '^(== |.*tests passed|.*tests failed|FAIL)' "$work/test.log" || true
[ "$code" -eq 0 ] || { tail -40 "$work/test.log"; echo "FAIL: ./test.sh ended with $code" >&2; exit 1; }
step "both commands passed on a fresh Debian $suite (the test log: /var/tmp/soundpath-fresh-$suite-test.log)"
