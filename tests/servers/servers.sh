# Starting and stopping real FTP servers on 127.0.0.1, sourced by interop.sh and by the
# download benchmark.
#
# The caller sets `work` (a private temporary folder, for configs, logs and port files)
# and `data` (the tree served), and installs `trap stop_servers EXIT`. A start function
# sets server_pid and server_port, or returns nonzero with the reason in $work/server.log.

servers_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
server_python=/usr/bin/python3
server_user=pravikftp
server_password=interop-pass
servers=()

have_vsftpd() {
  vsftpd_bin=$(PATH=$PATH:/usr/sbin:/sbin command -v vsftpd)
}

have_pyftpdlib() {
  $server_python -c 'import pyftpdlib' 2>/dev/null
}

# vsftpd runs each session in a session of its own, so a server is stopped by killing
# every process below the one started, gathered before any of them dies and is reparented.
kill_tree() {
  local pids=("$1") i=0 child
  while [ $i -lt ${#pids[@]} ]; do
    for child in $(ps -o pid= --ppid "${pids[i]}" 2>/dev/null); do pids+=("$child"); done
    i=$((i + 1))
  done
  kill -KILL "${pids[@]}" 2>/dev/null
}

stop_servers() {
  local pid
  for pid in "${servers[@]}"; do kill_tree "$pid"; done
  servers=()
}

free_port() {
  $server_python -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

port_open() {
  timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$1" 2>/dev/null
}

# vsftpd serves local accounts only. PAM's pam_shells wants a shell listed in /etc/shells,
# and vsftpd changes into the home folder before local_root, so that must exist too.
vsftpd_user() {
  id "$server_user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir / --shell /bin/sh "$server_user" || return 1
  echo "$server_user:$server_password" | chpasswd
}

# Each server runs under a hard time limit, so none outlives a killed caller for long.
server_time_limit=900

# start_vsftpd TAG [BYTES-PER-SECOND]
start_vsftpd() {
  local conf=$work/vsftpd-$1.conf rate=${2:-0} attempt port pid
  [ -d /var/run/vsftpd/empty ] || mkdir -p /var/run/vsftpd/empty
  # The port is free when asked but may be taken before vsftpd binds it: then try another.
  for attempt in 1 2 3; do
    port=$(free_port)
    cat >"$conf" <<EOF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=NO
local_enable=YES
write_enable=NO
local_root=$data
pasv_enable=YES
port_enable=YES
connect_from_port_20=NO
local_max_rate=$rate
secure_chroot_dir=/var/run/vsftpd/empty
pam_service_name=vsftpd
xferlog_enable=NO
EOF
    timeout -s KILL $server_time_limit "$vsftpd_bin" "$conf" >>"$work/server.log" 2>&1 &
    pid=$!
    disown $pid
    servers+=("$pid")
    for _ in $(seq 50); do
      if port_open "$port"; then
        server_pid=$pid server_port=$port
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    kill_tree "$pid"
  done
  return 1
}

# start_pyftpdlib TAG [BYTES-PER-SECOND]
start_pyftpdlib() {
  local port_file=$work/port-$1 rate=${2:-0} pid
  local throttle=()
  [ "$rate" != 0 ] && throttle=(--rate "$rate")
  timeout -s KILL $server_time_limit $server_python "$servers_dir/../../tools/ftp-server" \
    --port-file "$port_file" "${throttle[@]}" "$server_user" "$server_password" "$data" \
    >>"$work/server.log" 2>&1 &
  pid=$!
  disown $pid
  servers+=("$pid")
  for _ in $(seq 50); do
    if [ -s "$port_file" ]; then
      server_pid=$pid server_port=$(cat "$port_file")
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}
