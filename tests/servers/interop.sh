#!/usr/bin/env bash
# Runs ftpget against a real FTP server on 127.0.0.1 and checks what arrives.
#
#   interop.sh [--wine-paths] SERVER COMMAND...
#
# SERVER is vsftpd or pyftpdlib. COMMAND is the ftpget program, with any wrapper in front
# of it, e.g. `wine-run.sh ftpget.exe`; --wine-paths hands it local paths as Z:\... so a
# Windows build writes to the same files the checks then read. Prints one line per check
# and a summary; exits 0 when all passed, 1 when any failed, 77 when the server is not
# installed (1 in CI). vsftpd logs in a local system user, so that server needs root.
set -uo pipefail

usage() {
  echo "usage: interop.sh [--wine-paths] vsftpd|pyftpdlib COMMAND..." >&2
  exit 2
}

wine_paths=false
if [ "${1:-}" = --wine-paths ]; then
  wine_paths=true
  shift
fi
[ $# -ge 2 ] || usage
server=$1
shift
ftpget=("$@")
source "$(dirname "$0")/servers.sh"

# Each ftpget run, a large one under Wine included, ends well within this; a hang is a
# failure, not a stuck test.
run_limit=120
kill_timeout=5
user=$server_user
password=$server_password

# A machine without the server skips (ctest's SKIP_RETURN_CODE); in CI (PRAVIK_CI set) the
# machine has every package and runs as root, so a skip there is a failure.
skip() {
  if [ -n "${PRAVIK_CI:-}" ] && [ "$PRAVIK_CI" != 0 ]; then
    echo "FAIL $1: cannot skip in CI"
    exit 1
  fi
  echo "$1: skipped"
  exit 77
}

case $server in
  vsftpd)
    have_vsftpd || skip "vsftpd is not installed"
    [ "$(id -u)" = 0 ] || skip "vsftpd needs root to start and to add its test user"
    # What each server answers when the file is not there; the client must pass it on.
    missing_text="Failed to open file"
    ;;
  pyftpdlib)
    have_pyftpdlib || skip "pyftpdlib is not installed"
    missing_text="No such file or directory"
    ;;
  *) usage ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/pravik-interop.XXXXXX")
trap 'stop_servers; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# The served tree: vsftpd reads it as the test user, so it must be world-readable.
data=$work/data
mkdir -p "$data/sub" "$work/get"
chmod 755 "$work" "$data" "$data/sub"
sizes=(0 1 32767 32768 32769 67108864)
for size in "${sizes[@]}"; do head -c "$size" /dev/urandom >"$data/sub/f$size"; done
# Not a multiple of any buffer size, and the present part neither.
head -c 1000003 /dev/urandom >"$data/sub/resume.bin"
resume_present=400009
chmod 644 "$data/sub/"*

passed=0
failed=0
pass() {
  echo "ok   $1"
  passed=$((passed + 1))
}
fail() {
  echo "FAIL $1: $2"
  failed=$((failed + 1))
}

# The path the client is given for a file the checks read here.
local_path() {
  if $wine_paths; then
    local p=${1//\//\\}
    echo "Z:$p"
  else
    echo "$1"
  fi
}

# ftpget_run OUT-PREFIX [OPTIONS...] DIRECTORY REMOTE LOCAL: runs against the current
# server, leaves stderr in OUT-PREFIX.err and the exit code in $rc, and returns it too
# for a run in the background.
ftpget_run() {
  local out=$1
  shift
  local args=("$@")
  local n=${#args[@]}
  args[n - 1]=$(local_path "${args[n - 1]}")
  local options=("${args[@]:0:n-3}")
  timeout "$run_limit" "${ftpget[@]}" "${options[@]}" 127.0.0.1 "$port" "$user" "$password" \
    "${args[@]:n-3}" >"$out.out" 2>"$out.err"
  rc=$?
  return $rc
}

mode_flags() { [ "$1" = passive ] && echo --passive; }

no_leftover() { [ ! -e "$1.download" ]; }

if [ "$server" = vsftpd ] && ! vsftpd_user; then
  echo "cannot set up the test user $user"
  exit 1
fi
if ! "start_$server" main; then
  echo "FAIL $server did not start:"
  cat "$work/server.log"
  echo "0 passed, 1 failed"
  exit 1
fi
port=$server_port
echo "$server on 127.0.0.1:$port"

# Every size around the 32 KiB boundary, none at all, and one far past any buffer.
for mode in active passive; do
  for size in "${sizes[@]}"; do
    name="$mode: CWD sub, RETR $size bytes"
    dest=$work/get/$mode-$size
    ftpget_run "$dest" $(mode_flags $mode) sub "f$size" "$dest"
    if [ $rc != 0 ]; then
      fail "$name" "exit $rc: $(tr '\n' ' ' <"$dest.err")"
    elif ! cmp -s "$dest" "$data/sub/f$size"; then
      fail "$name" "$(cmp "$dest" "$data/sub/f$size" 2>&1 | head -1)"
    elif ! no_leftover "$dest"; then
      fail "$name" "$dest.download left behind"
    else
      pass "$name"
    fi
    rm -f "$dest"
  done
done

for mode in active passive; do
  name="$mode: resume after $resume_present of 1000003 bytes"
  dest=$work/get/$mode-resume
  head -c $resume_present "$data/sub/resume.bin" >"$dest"
  ftpget_run "$dest" $(mode_flags $mode) --no-overwrite --resume sub resume.bin "$dest"
  if [ $rc != 0 ]; then
    fail "$name" "exit $rc: $(tr '\n' ' ' <"$dest.err")"
  elif ! cmp -s "$dest" "$data/sub/resume.bin"; then
    fail "$name" "$(cmp "$dest" "$data/sub/resume.bin" 2>&1 | head -1), size $(stat -c %s "$dest")"
  else
    pass "$name"
  fi
done

name="passive: an existing file is replaced by the download"
dest=$work/get/replaced
echo "old contents" >"$dest"
ftpget_run "$dest" --passive sub f32769 "$dest"
if [ $rc != 0 ]; then
  fail "$name" "exit $rc: $(tr '\n' ' ' <"$dest.err")"
elif ! cmp -s "$dest" "$data/sub/f32769" || ! no_leftover "$dest"; then
  fail "$name" "wrong contents or $dest.download left behind"
else
  pass "$name"
fi

# A published SHA-256: the file is taken when its digest matches, refused (old file kept)
# when not. Given in upper case to show that either case does.
digest=$(sha256sum "$data/sub/f32769" | cut -d' ' -f1)
for published in "${digest^^}" "$(printf '%064d' 0)"; do
  name="active: --sha256 ${published:0:8}... $([ "$published" = "${digest^^}" ] && echo takes || echo refuses) the file"
  dest=$work/get/hashed
  echo "old contents" >"$dest"
  cp "$dest" "$work/expected"
  ftpget_run "$dest" --sha256 "$published" sub f32769 "$dest"
  if [ "$published" = "${digest^^}" ]; then
    if [ $rc != 0 ] || ! cmp -s "$dest" "$data/sub/f32769"; then
      fail "$name" "exit $rc: $(tr '\n' ' ' <"$dest.err")"
    else
      pass "$name"
    fi
  elif [ $rc != 1 ] || ! grep -qF "Hash check: expected $published, received $digest" "$dest.err"; then
    fail "$name" "exit $rc: $(tr '\n' ' ' <"$dest.err")"
  elif ! cmp -s "$dest" "$work/expected" || ! no_leftover "$dest"; then
    fail "$name" "old file changed or $dest.download left behind"
  else
    pass "$name"
  fi
  rm -f "$dest"
done

name="a wrong password is refused"
dest=$work/get/refused
password=wrong-$password ftpget_run "$dest" sub f1 "$dest"
if [ $rc != 1 ]; then
  fail "$name" "exit $rc"
elif [ -e "$dest" ] || [ -e "$dest.download" ]; then
  fail "$name" "a local file was made"
else
  pass "$name"
fi

for mode in active passive; do
  name="$mode: a missing remote file fails with the server's reply, old file kept"
  dest=$work/get/$mode-kept
  echo "the previous version" >"$dest"
  cp "$dest" "$work/expected"
  ftpget_run "$dest" $(mode_flags $mode) sub no-such-file "$dest"
  if [ $rc != 1 ]; then
    fail "$name" "exit $rc"
  elif ! grep -qF "$missing_text" "$dest.err"; then
    fail "$name" "no \"$missing_text\" in: $(tr '\n' ' ' <"$dest.err")"
  elif ! cmp -s "$dest" "$work/expected" || ! no_leftover "$dest"; then
    fail "$name" "old file changed or $dest.download left behind"
  else
    pass "$name"
  fi
done

# The server dies in the middle of a large transfer: throttled to 1 MiB/s so the kill
# surely lands while data flows, and only once some of it has arrived.
for mode in active passive; do
  name="$mode: server killed mid-transfer fails, old file kept, no temporary left"
  dest=$work/get/$mode-killed
  echo "the previous version" >"$dest"
  cp "$dest" "$work/expected"
  if ! "start_$server" "throttled-$mode" 1048576; then
    fail "$name" "throttled server did not start"
    continue
  fi
  # Well past the client's own timeout, well short of the throttled transfer's minute.
  port=$server_port run_limit=30 ftpget_run "$dest" $(mode_flags $mode) --timeout $kill_timeout \
    sub f67108864 "$dest" &
  client=$!
  arrived=false
  for _ in $(seq 100); do
    if [ "$(stat -c %s "$dest.download" 2>/dev/null || echo 0)" -ge 262144 ]; then
      arrived=true
      break
    fi
    kill -0 $client 2>/dev/null || break
    sleep 0.1
  done
  kill_tree "$server_pid"
  wait $client
  rc=$?
  if ! $arrived; then
    fail "$name" "the transfer never got under way: $(tr '\n' ' ' <"$dest.err")"
  elif [ $rc != 1 ]; then
    fail "$name" "exit $rc: $(tr '\n' ' ' <"$dest.err")"
  elif ! cmp -s "$dest" "$work/expected"; then
    fail "$name" "the old file changed"
  elif ! no_leftover "$dest"; then
    fail "$name" "$dest.download left behind"
  else
    pass "$name"
  fi
done

if [ $failed != 0 ]; then
  echo "--- server log"
  tail -n 40 "$work/server.log"
fi
echo "$passed passed, $failed failed"
[ $failed = 0 ]
