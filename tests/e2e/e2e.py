#!/usr/bin/python3
"""Runs PravikFtp.exe end to end under Wine, one scenario at a time.

    e2e.py --tools DIR --updater EXE --wine-run SCRIPT --work DIR ... SCENARIO
    e2e.py --list

The workstation is C:\\Pravik of the Wine prefix in $WINEPREFIX, on the X display in
$DISPLAY. The central database is an SQLite file PravikALL in the updater's working
folder, reached through the machine's unixODBC with the SQLite driver registered as
"SQL Server", or FreeTDS, a real SQL Server client, for the program's built-in server name
resolved to a loopback address where a listener of ours, or nobody, waits. The FTP server
is pyftpdlib or a scripted server of ours on port 21 of a loopback address of its own; both
log what they were asked and answered. The notifier is a stand-in of ours: the workstation
holds its "old" build, the server its "new" one, and each start is logged with its process
id and whether it took over or quit on a running instance. Message boxes are watched from
the first moment to the last: each is written down and pressed, so an unexpected box fails
the scenario at once rather than by a time-out. The window is found, waited on and closed
by waitwindow.exe; winprobe.exe tells which notifier runs at the end.

Every scenario checks what the program did (exit code, boxes, notifier stops and starts,
the notifier left running, the program file and the version file), that a failure leaves
the old program byte-identical and the version file as it was, and that the fault it plays
really happened. Prints what it checked; exits 0 when all held, 1 otherwise. --list prints
the scenarios' names, one a line.
"""
import argparse
import hashlib
import os
import re
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import threading
import time
import traceback

CAPTION = "약국 프라빅 버전확인 0408"
RETRIEVAL_FAILED = ("다운로드중...", "화일 복사중 Error(101)가 발생했습니다..")
SERVER_VERSION = "0408"
FTP_USER = "pravik"
FTP_PASSWORD = "73pravik"
FTP_DIRECTORY = "/pravik"
REFUSED = "Socket Error # 10061\\r\\nConnection refused."
# One wait for the updater; its own bound on a silent server is 60 s, so a run that waits
# that out still ends within it.
RUN_LIMIT = 150
SILENCE_LIMIT = 60
# The whole scenario, its cleanup included, ends before ctest kills it at 300 s.
SCENARIO_LIMIT = 270
# How long a window waiting for its user must stay there, enabled, to count as idle: longer
# than the 2000 ms of the timer, so a program that wrongly tried again would be seen.
IDLE_SECONDS = 3.0
# Where the program's built-in database server name leads on this machine, and the port and
# protocol a workstation's SQL Server client configuration would give FreeTDS.
DB_ADDRESS = "127.0.21.254"
DB_PORT = 1433
TDS_VERSION = "7.4"
SHARING_VIOLATION = 32
# Never in the administrator's log: the FTP password, the database's password, its login.
SECRETS = (FTP_PASSWORD, "73quenda18", "PWD=", "UID=")
# The program's bounds on the central database: the login and each statement.
DB_LOGIN_LIMIT = 15


class Failed(Exception):
    pass


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def read_events(path):
    """A log of "<monotonic seconds> <event>" lines, as (seconds, event) pairs."""
    if not os.path.exists(path):
        return []
    events = []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            stamp, _, event = line.rstrip("\n").partition(" ")
            events.append((float(stamp), event))
    return events


def mounts_under(folder):
    """Mount points at or below folder, deepest first."""
    folder = os.path.realpath(folder)
    points = []
    with open("/proc/self/mounts") as f:
        for line in f:
            point = line.split()[1].replace("\\040", " ")
            if point == folder or point.startswith(folder + "/"):
                points.append(point)
    return sorted(points, key=len, reverse=True)


class Run:
    """One scenario's world and the updater's run in it."""

    def __init__(self, args, name):
        self.args = args
        self.name = name
        self.prefix = os.environ["WINEPREFIX"]
        self.pravik = os.path.join(self.prefix, "drive_c", "Pravik")
        self.env = dict(os.environ, LC_ALL="C.UTF-8", WINEDEBUG="-all", ODBCSYSINI=args.sqlite_drivers)
        self.processes = []
        self.mounted = []
        self.restore_dpi = False
        self.checks = []
        # What this run's own secrets are beyond the fixed ones (a scenario's passwords).
        self.secrets = list(SECRETS)
        self.work = os.path.join(args.work, name)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        # A scenario killed before its own cleanup leaves its traces to the next one.
        self.clean_up_leftovers()
        shutil.rmtree(self.pravik, ignore_errors=True)
        os.makedirs(self.pravik)
        shutil.copy(args.updater, os.path.join(self.pravik, "PravikFtp.exe"))
        self.old = read_bytes(os.path.join(args.tools, "PravikNW-old.exe"))
        self.new = read_bytes(os.path.join(args.tools, "PravikNW-new.exe"))
        self.starts_log = os.path.join(self.work, "starts.log")
        self.boxes_log = os.path.join(self.work, "boxes.txt")
        self.ftp_log_path = os.path.join(self.work, "ftp.log")
        self.env["PRAVIK_NOTIFIER_LOG"] = windows_path(self.starts_log)
        self.box_watch = None
        self.box_times = []
        self.log_path = os.path.join(self.pravik, "PravikFtp.log")
        self.held = []
        self.notifier = None
        self.updater_env = {}
        self.exit_code = None
        self.began = None
        self.seconds = None

    # Cleanup: at the start of a scenario for what an earlier one left, at its end for its own.

    def clean_up_leftovers(self):
        self.stop_wine()
        for point in mounts_under(self.pravik):
            subprocess.run(["umount", "-l", point], check=False)
        if self.dpi_set():
            self.wine(["reg", "delete", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/f"], check=False)
            self.stop_wine()

    def stop_wine(self):
        """Ends every Windows process of the session: notifiers, watchers, the updater."""
        subprocess.run(["wineserver", "-k"], env=self.env, check=False, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False, timeout=60)

    def dpi_set(self):
        """Whether the session's registry holds a screen setting of a scenario."""
        path = os.path.join(self.prefix, "user.reg")
        if not os.path.exists(path):
            return False
        with open(path, encoding="utf-8", errors="replace") as f:
            return re.search(r'\[Control Panel\\\\Desktop\][^\[]*"LogPixels"', f.read()) is not None

    def finish(self):
        steps = [self.stop_wine, self.end_processes]
        if self.restore_dpi:
            steps.append(lambda: self.wine(["reg", "delete", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels",
                                            "/f"], check=False))
            steps.append(self.stop_wine)
        steps += [lambda mount=mount: subprocess.run(["umount", mount], check=False)
                  for mount in reversed(self.mounted)]
        for step in steps:
            try:
                step()
            except Exception:
                traceback.print_exc()

    def end_processes(self):
        for holder in self.held:
            try:
                holder.stdin.close()
            except OSError:
                pass
        for process in self.processes:
            if process.poll() is None:
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            process.wait(10)

    # The world before the run.

    def version_file(self, text):
        with open(os.path.join(self.pravik, "Version.txt"), "wb") as f:
            f.write(text.encode("cp949"))

    def program(self, build):
        with open(os.path.join(self.pravik, "PravikNW.exe"), "wb") as f:
            f.write(self.old if build == "old" else self.new)

    def database(self, version=SERVER_VERSION, host="", user=FTP_USER, password=FTP_PASSWORD,
                 directory=FTP_DIRECTORY, settings=True, published=None, mode=None, rollout=None, named=None,
                 start_check=None):
        """The central database; published, when given, is the notifier's SHA-256 (code 998),
        mode the transfer mode (code 997), rollout the share of the staged rollout (996) and
        named its workstations (995), start_check the switch of the notifier's start check (994)."""
        if password and password not in self.secrets:
            # A part long enough to be no accident, short enough to be found in a cut line.
            self.secrets.append(password[:64])
        path = os.path.join(self.work, "PravikALL")
        with sqlite3.connect(path) as db:
            db.execute("Create Table MVERCHKMESSAGECLIENT (CHKVERSION Text)")
            db.execute("Create Table MCODEBASE (CODEID Text, CODE Text, CODETEXT Text)")
            db.execute("Insert Into MVERCHKMESSAGECLIENT Values (?)", (version,))
            rows = [("001", host), ("002", user), ("003", password), ("999", directory)]
            if published is not None:
                rows.append(("998", published))
            if mode is not None:
                rows.append(("997", mode))
            if rollout is not None:
                rows.append(("996", rollout))
            if named is not None:
                rows.append(("995", named))
            if start_check is not None:
                rows.append(("994", start_check))
            for code, text in rows:
                if settings:
                    db.execute("Insert Into MCODEBASE Values ('760', ?, ?)", (code, text))
        db.close()

    def sql_server_client(self):
        """FreeTDS, a real SQL Server client, in place of the SQLite file: the program's
        built-in server name resolves to DB_ADDRESS on this machine (never outside it), and
        the port and protocol come as a workstation's client configuration gives them.
        Without them FreeTDS opens no connection at all and fails as if nobody listened."""
        with open("/etc/hosts") as f:
            addresses = [line.split()[0] for line in f
                         if not line.startswith("#") and self.args.db_server in line.split()[1:]]
        if not addresses:
            with open("/etc/hosts", "a") as f:
                f.write("%s\t%s\n" % (DB_ADDRESS, self.args.db_server))
        elif addresses[0] != DB_ADDRESS:
            raise Failed("/etc/hosts sends %s to %s, not %s" % (self.args.db_server, addresses[0], DB_ADDRESS))
        self.env.update(ODBCSYSINI=self.args.freetds_drivers, TDSPORT=str(DB_PORT), TDSVER=TDS_VERSION)

    def tds_listener(self, silent=False):
        """A listener of ours where the database server would be; logs to tds.log."""
        port_file = os.path.join(self.work, "tds.port")
        command = ["/usr/bin/python3", self.args.tds_listener, "--address", DB_ADDRESS, "--port", str(DB_PORT),
                   "--port-file", port_file, "--log", os.path.join(self.work, "tds.log")]
        self.start(command + (["--silent"] if silent else []), wine=False)
        self.wait_for(lambda: os.path.exists(port_file), 10, "the database listener to listen")

    def ftp_server(self, address, rate=0, padding=0, content=None, passive_only=False):
        """pyftpdlib on address:21 holding the new build (or content), padded to slow a
        throttled run; refusing active mode with passive_only."""
        root = os.path.join(self.work, "served")
        os.makedirs(os.path.join(root, "pravik"))
        os.makedirs(os.path.join(root, "empty"))
        with open(os.path.join(root, "pravik", "PravikNW.exe"), "wb") as f:
            f.write((self.new if content is None else content) + b"\0" * padding)
        port_file = os.path.join(self.work, "ftp.port")
        command = ["/usr/bin/python3", self.args.ftp_server, "--address", address, "--port", "21",
                   "--port-file", port_file, "--log", self.ftp_log_path]
        if rate:
            command += ["--rate", str(rate)]
        if passive_only:
            command += ["--passive-only"]
        server = self.start(command + [FTP_USER, FTP_PASSWORD, root], wine=False)
        self.wait_for(lambda: os.path.exists(port_file), 10, "the FTP server to listen")
        return server

    def fault_server(self, fault, host, padding=0, rate=0, third_host=None):
        """The scripted FTP server on host:21, playing the fault (file sent at rate bytes per
        second, when given); logs to ftp.log."""
        served = os.path.join(self.work, "served.bin")
        with open(served, "wb") as f:
            f.write(self.new + b"\0" * padding)
        port_file = os.path.join(self.work, "ftp.port")
        self.start(["/usr/bin/python3", self.args.ftp_fault_server, "--address", host, "--port-file", port_file,
                    "--log", self.ftp_log_path, "--rate", str(rate)]
                   + (["--third-host", third_host] if third_host else []) + [fault, served], wine=False)
        self.wait_for(lambda: os.path.exists(port_file), 10, "the fault server to listen")

    def signed_builds(self, installed, served):
        """The notifier builds as signed for the tests (see sign-test-programs): installed and
        served name files there, "old-a.exe" and the like; "unsigned" is the plain build."""
        def build(name, plain):
            return plain if name == "unsigned" else read_bytes(os.path.join(self.args.signed_programs, name))

        self.old = build(installed, self.old)
        self.new = build(served, self.new)

    def hold_file(self, windows_file, share_write):
        """Another program holding the file open for reading (letting others write it too,
        with share_write) until the scenario ends."""
        command = [self.args.wine_run, self.tool("holdfile.exe")] + (["--share-write"] if share_write else [])
        holder = subprocess.Popen(command + [windows_file], cwd=self.work, env=self.env, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
        self.processes.append(holder)
        self.held.append(holder)
        if holder.stdout.readline().strip() != b"held":
            raise Failed("holdfile could not open %s" % windows_file)

    def running_notifier(self):
        self.notifier = self.start(["C:\\Pravik\\PravikNW.exe"])
        self.wait_for(lambda: self.starts() == ["old started"], 20, "the old notifier to run")

    def notifier_stopped(self):
        """Whether the notifier that ran before the updater has ended."""
        try:
            self.notifier.wait(5)
            return True
        except subprocess.TimeoutExpired:
            return False

    def set_dpi(self, dpi):
        """The screen's dots per inch for this run; the session starts anew to read it."""
        self.restore_dpi = True
        self.wine(["reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                   str(dpi), "/f"])
        self.stop_wine()

    # The run.

    def start(self, command, wine=True, env=None, stdout=subprocess.DEVNULL):
        if wine:
            command = [self.args.wine_run] + command
        process = subprocess.Popen(command, cwd=self.work, env=env or self.env, stdin=subprocess.DEVNULL,
                                   stdout=stdout, stderr=subprocess.DEVNULL, start_new_session=True)
        self.processes.append(process)
        return process

    def tool(self, name):
        return os.path.join(self.args.tools, name)

    def wine(self, command, check=True, timeout=60):
        """Runs a Windows command in the session, waits for it and gives its output."""
        out = subprocess.run([self.args.wine_run] + command, cwd=self.work, env=self.env, check=check,
                             timeout=timeout, stdin=subprocess.DEVNULL, capture_output=True, text=True)
        return out.returncode, out.stdout.splitlines()

    def watch_boxes(self):
        """Watches every message box from now to the end: written down and pressed."""
        if not self.box_watch:
            self.box_watch = self.start([self.tool("boxwatch.exe"), "--count", "0", "--press", "--timeout",
                                         str(SCENARIO_LIMIT), "--out", windows_path(self.boxes_log)])
            self.wait_for(lambda: os.path.exists(self.boxes_log), 30, "the box watcher to start")

    def wait_for_boxes(self, count, updater=None, timeout=RUN_LIMIT):
        """Waits until count boxes came, or the updater ended; notes when each was seen."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            seen = len(self.boxes() or [])
            self.box_times += [time.monotonic()] * (seen - len(self.box_times))
            if seen >= count or (updater and updater.poll() is not None):
                return
            time.sleep(0.02)

    def waitwindow(self, *options, timeout=30):
        """waitwindow.exe on the update window: its exit status and the lines it printed."""
        return self.wine([self.tool("waitwindow.exe"), "--timeout", str(timeout)] + list(options) + [CAPTION],
                         check=False, timeout=2 * timeout + 30)

    def window_state_and_frame(self, *options):
        """The state and the outer frame as "STATE LEFT TOP WIDTH HEIGHT", once the window is there."""
        _, lines = self.waitwindow(*options)
        return lines[0] if lines else None

    def window_state(self, *options):
        frame = self.window_state_and_frame(*options)
        return frame.split(" ")[0] if frame else None

    def user_closes_window(self, boxes=1, idle=True):
        """For run_updater: once that many boxes came and were answered, the window must wait,
        there and enabled, for the user (with idle), who then closes it."""

        def close(updater):
            self.wait_for_boxes(boxes, updater)
            if updater.poll() is not None:
                self.expect("window after box", "the updater ended", "closed by the user")
                return
            options = ["--idle", str(IDLE_SECONDS)] if idle else []
            status, lines = self.waitwindow(*(options + ["--close"]))
            self.expect("window after box", (status, lines[1:]), (0, (["idle"] if idle else []) + ["closed"]))

        return close

    def run_updater(self, during=None, show=None):
        """Starts the updater as Explorer does, or as a shortcut with the show command `show`
        does (7 minimised, 3 maximised); waits for its end."""
        self.watch_boxes()
        command = ["C:\\Pravik\\PravikFtp.exe"]
        if show:
            command = [self.tool("launch.exe"), "--show", str(show)] + command
        self.began = time.monotonic()
        # Its standard output is a file, where the connect failures' lines go.
        with open(os.path.join(self.work, "stdout.txt"), "wb") as output:
            updater = self.start(command, env=dict(self.env, **self.updater_env), stdout=output)
        if during:
            during(updater)
        try:
            self.exit_code = updater.wait(RUN_LIMIT)
        except subprocess.TimeoutExpired:
            raise Failed("the updater did not end within %d s" % RUN_LIMIT)
        self.seconds = time.monotonic() - self.began

    def wait_for(self, condition, seconds, what):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition():
                return time.monotonic()
            time.sleep(0.02)
        raise Failed("waited %d s for %s" % (seconds, what))

    def when_ended(self, process):
        """A list that gets the moment the process ended, watched from a thread of its own."""
        ended = []
        threading.Thread(target=lambda: (process.wait(), ended.append(time.monotonic())), daemon=True).start()
        return ended

    # What the run left.

    def boxes(self):
        """The boxes shown, or None when nobody watched."""
        if not os.path.exists(self.boxes_log):
            return None
        with open(self.boxes_log, encoding="utf-8") as f:
            return [tuple(line.rstrip("\n").split("\t")[:2]) for line in f if line.strip()]

    def start_entries(self):
        """The notifier's start log as (label, process id, outcome) triples."""
        if not os.path.exists(self.starts_log):
            return []
        with open(self.starts_log, encoding="ascii", errors="replace") as f:
            return [tuple(line.split(None, 2)) for line in f if len(line.split(None, 2)) == 3]

    def starts(self):
        """The starts as "<label> <outcome>", e.g. "new started", "old quit: already running"."""
        return ["%s %s" % (label, outcome.strip()) for label, _, outcome in self.start_entries()]

    def notifier_running(self):
        """Which notifier runs now, as the updater would find it: the label of the process that
        owns the window "PravikNW", when it holds the mutex and is the last one that started."""
        status, lines = self.wine([self.tool("winprobe.exe"), "notifier"], check=False)
        found = re.fullmatch(r"mutex=(yes|no) window=(\d+|none)", lines[0] if lines else "")
        if status != 0 or not found:
            return "winprobe failed: %r" % lines
        mutex, window = found.groups()
        if window == "none":
            return "none" if mutex == "no" else "a mutex without a window"
        entries = self.start_entries()
        owners = [entry for entry in entries if entry[1] == window]
        if not owners:
            return "process %s, not a start of ours" % window
        label, _, outcome = owners[0]
        started = [entry for entry in entries if entry[2].strip() == "started"]
        if outcome.strip() != "started" or owners[0] != started[-1]:
            label += " (an earlier start)"
        return label if mutex == "yes" else label + " without the mutex"

    def open_for_writing(self, windows_file):
        """"writable", or "refused <error>" as another Windows program sees the file now."""
        _, lines = self.wine([self.tool("winprobe.exe"), "open-for-writing", windows_file], check=False)
        return lines[0] if lines else None

    def database_opened(self):
        """Whether some process has the SQLite database open: the updater keeps it open from
        its first query to its end."""
        target = os.path.realpath(os.path.join(self.work, "PravikALL"))
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                for fd in os.listdir("/proc/%s/fd" % pid):
                    if os.readlink("/proc/%s/fd/%s" % (pid, fd)) == target:
                        return True
            except OSError:
                continue
        return False

    def log_lines(self):
        """The administrator's log: each line's text, without its time and process id."""
        if not os.path.exists(self.log_path):
            return []
        with open(self.log_path, "rb") as f:
            lines = f.read().decode("cp949", errors="replace").split("\r\n")
        return [re.sub(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} \[\d+\] ", "", line) for line in lines if line]

    def ftp_events(self):
        return read_events(self.ftp_log_path)

    def ftp_commands(self):
        """The verbs the FTP server received, in order."""
        return [(event.split()[1:] or [""])[0].upper() for _, event in self.ftp_events()
                if event.startswith("command ")]

    def ftp_replies(self):
        return [event[len("reply "):] for _, event in self.ftp_events() if event.startswith("reply ")]

    def ftp_replies_to(self, verb):
        """The reply codes the FTP server gave to each command with that verb."""
        codes, waiting = [], False
        for _, event in self.ftp_events():
            if event.startswith("command "):
                waiting = event.split()[1].upper() == verb
            elif event.startswith("reply ") and waiting:
                codes.append(event.split()[1])
                waiting = False
        return codes

    def faults_fired(self):
        """The scripted server's "fault <name>: <what>" events, as (name, what) pairs."""
        fired = []
        for _, event in self.ftp_events():
            if event.startswith("fault "):
                name, _, what = event[len("fault "):].partition(": ")
                fired.append((name, what))
        return fired

    def event_time(self, events, prefix):
        """The moment of the first event that starts with prefix, or None."""
        return next((moment for moment, event in events if event.startswith(prefix)), None)

    def standard_output(self):
        with open(os.path.join(self.work, "stdout.txt"), "rb") as f:
            return f.read().decode("cp949")

    def version_file_text(self):
        path = os.path.join(self.pravik, "Version.txt")
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read().decode("cp949")

    def program_build(self):
        path = os.path.join(self.pravik, "PravikNW.exe")
        if not os.path.exists(path):
            return None
        data = read_bytes(path)
        return {self.old: "old", self.new: "new"}.get(data, "damaged (%d bytes)" % len(data))

    def expect(self, what, actual, expected):
        self.checks.append((what, actual, expected))

    def expect_within(self, what, seconds, low, high):
        """A measured time between two events (None: one did not happen) within [low, high] s."""
        ok = seconds is not None and low <= seconds <= high
        shown = None if seconds is None else "%.1f s" % seconds
        self.checks.append((what, shown, shown if ok else "%g to %g s" % (low, high)))

    def report(self):
        failed = 0
        for what, actual, expected in self.checks:
            ok = actual == expected
            failed += not ok
            print("%s %-20s %s" % ("ok  " if ok else "FAIL", what,
                                   repr(actual) if ok else "%r, expected %r" % (actual, expected)))
        leftovers = [n for n in os.listdir(self.pravik) if n.endswith(".download")]
        if leftovers:
            failed += 1
            print("FAIL temporary files left: %s" % leftovers)
        if os.path.exists(self.log_path):
            with open(self.log_path, "rb") as f:
                text = f.read().decode("cp949", errors="replace")
            told = [secret for secret in self.secrets if secret in text]
            if told:
                failed += 1
                print("FAIL the log holds a secret (%d of them)" % len(told))
        return failed


def ink(picture, left, top, width, height):
    """The share of dark pixels in a part of a screenshot."""
    out = subprocess.run(["convert", picture, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "-colorspace",
                          "Gray", "-threshold", "50%", "-format", "%[fx:1-mean]", "info:"],
                         check=True, capture_output=True, text=True, timeout=30)
    return float(out.stdout)


def connect_result(address, port):
    """"refused" when nobody listens at address:port, else what happened."""
    try:
        with socket.create_connection((address, port), timeout=5):
            return "accepted"
    except ConnectionRefusedError:
        return "refused"
    except OSError as error:
        return error.strerror or str(error)


# The scenarios. Each arranges its world, runs the updater and says what must hold.
SCENARIOS = {}


def scenario(function):
    SCENARIOS[function.__name__.replace("_", "-")] = function
    return function


def loopback(n):
    return "127.0.21.%d" % n


def arrange(run, version_file, n, program="old", server=True, running=False, **database):
    """A workstation with that version file (None: none) and notifier build (None: none),
    the central database naming the FTP server at loopback(n), which serves the new build."""
    if version_file is not None:
        run.version_file(version_file)
    if program:
        run.program(program)
    run.database(host=loopback(n), **database)
    if server:
        run.ftp_server(loopback(n))
    if running:
        run.running_notifier()


def expect_outcome(run, starts, program, version, boxes=(), exit_code=0, running=None):
    """What the run left. The notifier left running is by default the last one that started;
    boxes=None leaves the boxes to the scenario."""
    if running is None:
        started = [start.split()[0] for start in starts if start.endswith(" started")]
        running = started[-1] if started else "none"
    run.expect("exit code", run.exit_code, exit_code)
    if boxes is not None:
        run.expect("boxes", run.boxes(), list(boxes))
    run.expect("notifier starts", run.starts(), starts)
    run.expect("notifier running", run.notifier_running(), running)
    run.expect("program", run.program_build(), program)
    run.expect("version file", run.version_file_text(), version)


def expect_untouched(run, starts, boxes, version="0407", running=None):
    """A failed update: the old program byte-identical, the version file as it was."""
    expect_outcome(run, starts, "old", version, boxes, running=running)


def program_title_box(text):
    return ("Pravikftp", text)


def expect_log(run, *fragments):
    """The administrator's log holds a line with each fragment, in this order: what an
    administrator reads to tell what the run did and why. A tuple of fragments stands for
    one line that holds them all."""
    lines, at, missing = run.log_lines(), 0, []
    for fragment in fragments:
        parts = fragment if isinstance(fragment, tuple) else (fragment,)
        found = next((i for i in range(at, len(lines)) if all(part in lines[i] for part in parts)), None)
        if found is None:
            missing.append(fragment)
        else:
            at = found + 1
    run.expect("log", missing, [])
    if missing:
        print("the log:\n  " + "\n  ".join(lines))


@scenario
def row1_no_program(run):
    arrange(run, "0407", 1, program=None)
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    expect_log(run, "Decision: row 1, no notifier program", ("Retrieved ", "no installed notifier"))


@scenario
def row2_version_n(run):
    arrange(run, "N\r\nkept line", 2)
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408\r\nkept line")
    expect_log(run, 'Local version "N"', "Decision: row 2, no local version", "Retrieved ")


@scenario
def row3_equal_running(run):
    arrange(run, "0408", 3, server=False, running=True)
    run.run_updater()
    # Stopped and started again: the old one gone, a new instance of the same build running,
    # not one that quit because the old one still held the mutex.
    expect_outcome(run, ["old started", "old started"], "old", "0408")
    run.expect("old one stopped", run.notifier_stopped(), True)


@scenario
def row4_equal_not_running(run):
    arrange(run, "0408\nsecond\n", 4, server=False)
    run.run_updater()
    expect_outcome(run, ["old started"], "old", "0408\r\nsecond\r\n")


@scenario
def row5_delayed(run):
    arrange(run, "0407\nsecond\n", 5, running=True)
    stopped = run.when_ended(run.notifier)
    screenshot = os.path.join(run.args.work, "delayed-window.png")
    frames = []

    def text_line_ink():
        return ink(screenshot, 370, 155, 290, 28)

    def shoot(updater):
        # The window is on the screen while the timer runs; shot again until it is drawn.
        frames.append(run.window_state_and_frame())
        for _ in range(10):
            subprocess.run(["import", "-window", "root", "-display", os.environ["DISPLAY"], screenshot], check=True,
                           timeout=30)
            if text_line_ink() > 0.02:
                break

    run.run_updater(during=shoot)
    run.expect("window frame", frames, ["normal 348 124 446 98"])
    # The 2000 ms of the timer, from the old notifier's end to the download's connection.
    connected = run.event_time(run.ftp_events(), "connected")
    run.expect_within("stop to download", connected - stopped[0] if connected and stopped else None, 1.2, 4.0)
    expect_outcome(run, ["old started", "new started"], "new", "0408\r\nsecond\r\n")
    run.expect("old one stopped", run.notifier_stopped(), True)
    expect_log(run, "Start: C:\\Pravik\\PravikFtp.exe, version ", "Notifier running", 'Server version "0408"',
               'Local version "0407"', "Decision: row 5", "Stopping the notifier", "Delayed download",
               'Setting FTP host (code 760/001): "%s"' % loopback(5), "Setting FTP password (code 760/003): given",
               "FTP connect to %s:21" % loopback(5), "FTP connected and logged in after ", 'FTP directory "/pravik"',
               "Retrieving PravikNW.exe in active binary mode", "Retrieved %d bytes in " % len(run.new),
               'Version file C:\\Pravik\\Version.txt written, first line "0408"',
               "Starting the notifier C:\\Pravik\\PravikNW.exe", "End, exit code 0")
    # The text line is drawn where it belongs and nothing else is in the client area.
    # (Whether Hangul shows, not boxes, the picture tells.)
    run.expect("text line drawn", text_line_ink() > 0.02, True)
    run.expect("rest left blank", ink(screenshot, 360, 188, 420, 28) < 0.001, True)
    run.expect("left of window", ink(screenshot, 300, 150, 40, 40) > 0.999, True)
    print("screenshot: %s" % screenshot)


@scenario
def row6_different(run):
    arrange(run, "0407", 6)
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")


def minimised_start(name, n, bring_back):
    """A shortcut set to "Run: Minimized" (show command 7): nothing happens until the user
    brings the program back, by bring_back ("--restore" or "--maximize", as its taskbar
    button offers)."""

    def play(run):
        arrange(run, "0408", n, server=False)

        def later(updater):
            run.expect("window state", run.window_state(), "minimized")
            # The window is up; had the check run, its first query would hold the database open.
            run.expect("before", (updater.poll(), run.database_opened(), run.starts()), (None, False, []))
            run.expect("brought back from", run.window_state(bring_back), "minimized")

        run.run_updater(during=later, show=7)
        expect_outcome(run, ["old started"], "old", "0408")

    play.__name__ = name
    scenario(play)


minimised_start("started_minimized", 13, "--restore")
minimised_start("started_minimized_then_maximized", 55, "--maximize")


@scenario
def started_maximized(run):
    # Show command 3: the waiting window is maximised.
    arrange(run, "0407", 14, running=True)
    states = []
    run.run_updater(during=lambda updater: states.append(run.window_state()), show=3)
    run.expect("window state", states, ["maximized"])
    expect_outcome(run, ["old started", "new started"], "new", "0408")


@scenario
def high_dpi(run):
    # At 144 dots per inch the window and its contents are half as large again.
    run.set_dpi(144)
    arrange(run, "0407", 16, running=True)
    frames = []
    run.run_updater(during=lambda updater: frames.append(run.window_state_and_frame()))
    run.expect("window frame", frames, ["normal 522 186 669 147"])
    expect_outcome(run, ["old started", "new started"], "new", "0408")


@scenario
def startup_error(run):
    # Without the sockets library the FTP client cannot be created: the program ends at
    # once with the start-up error box and exit code 1.
    arrange(run, "0407", 15, server=False)
    run.updater_env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;ws2_32=d"
    # The session's desktop must come up with the library, before the updater runs.
    run.wine(["cmd", "/c", "exit"])
    run.run_updater()
    boxes = run.boxes()
    run.expect("box count", len(boxes or []), 1)
    [(caption, text)] = (boxes or [("", "")])[:1]
    run.expect("box caption", caption, "Application Error")
    # The place is an offset into the program file, sixteen hex digits on 64-bit Windows.
    run.expect("box text", bool(re.fullmatch(
        r"Exception EIdWS2StubError in module PravikFtp\.exe at [0-9A-F]{16}\.\\n"
        r"Error on loading Winsock2 library \(WS2_32\.DLL\): Module not found\.", text)), True)
    expect_outcome(run, [], "old", "0407", boxes=None, exit_code=1)


# The central database. The program's text for a server it cannot reach is FreeTDS's, and
# FreeTDS gives the same text when it never tried: each scenario shows what happened on the
# network as well.
UNREACHABLE = "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not exist."
DROPPED = "[FreeTDS][SQL Server]Unable to connect to data source."
TIMED_OUT = "[FreeTDS][SQL Server]Timeout expired."


@scenario
def database_unreachable(run):
    # Nobody listens where the server name leads: the connection is refused.
    arrange(run, "0407", 7, server=False)
    run.sql_server_client()
    dump = os.path.join(run.work, "freetds.log")
    run.env["TDSDUMP"] = dump
    run.expect("nobody listens", connect_result(DB_ADDRESS, DB_PORT), "refused")
    run.run_updater(during=run.user_closes_window())
    expect_untouched(run, [], [program_title_box(UNREACHABLE)])
    # The client's own trace: it connected there, and was refused.
    with open(dump, errors="replace") if os.path.exists(dump) else open(os.devnull) as f:
        attempts = re.findall(r"Connecting to \S+ port \d+|reported: Connection refused", f.read())
    run.expect("client tried", attempts, ["Connecting to %s port %d" % (DB_ADDRESS, DB_PORT),
                                          "reported: Connection refused"])


@scenario
def database_drops_connection(run):
    # A server that accepts the connection and closes it at the client's first packet.
    arrange(run, "0407", 8, server=False)
    run.sql_server_client()
    run.tds_listener()
    run.run_updater(during=run.user_closes_window())
    expect_untouched(run, [], [program_title_box(DROPPED)])
    seen = [re.sub(r" from \S+| length \d+", "", event) for _, event in read_events(os.path.join(run.work, "tds.log"))]
    run.expect("server saw", seen, ["connected", "packet type 0x12", "closed"])


@scenario
def null_setting(run):
    run.version_file("0407")
    run.program("old")
    run.database(host=None)
    run.run_updater(during=run.user_closes_window())
    expect_untouched(run, [], [program_title_box("Invalid variant type conversion.")])


@scenario
def ftp_refused_while_waiting(run):
    # Nobody listens there: each tick shows one box, until the user closes the window
    # (whenever that comes between the ticks).
    arrange(run, "0407", 9, server=False, running=True)
    run.run_updater(during=run.user_closes_window(boxes=2, idle=False))
    boxes = run.boxes() or []
    run.expect("boxes", boxes[:2], [program_title_box(REFUSED)] * 2)
    run.expect("every box", set(boxes), {program_title_box(REFUSED)})
    run.expect("standard output", set(run.standard_output().splitlines(True)),
               {"Socket Error # 10061\r\n", "Connection refused.\r\n"})
    gap = run.box_times[1] - run.box_times[0] if len(run.box_times) > 1 else None
    run.expect_within("between attempts", gap, 1.5, 5.0)
    expect_untouched(run, ["old started"], None, running="none")
    run.expect("old one stopped", run.notifier_stopped(), True)


@scenario
def file_missing_on_server(run):
    arrange(run, "0407", 10, directory="/empty")
    retrieval_failure(run)
    run.expect("RETR answered", run.ftp_replies_to("RETR"), ["550"])
    # The cause, which the box does not tell.
    expect_log(run, ("Retrieval failed after 0 bytes in ", "kept: EIdProtocolReplyError (reply 550): "),
               'Box "다운로드중..." shown: 화일 복사중 Error(101)', "Starting the notifier", "End, exit code 0")


@scenario
def program_in_use(run):
    # Row 2 with the notifier running: its program file cannot be replaced.
    arrange(run, "N", 11, running=True)
    run.expect("program file", run.open_for_writing("C:\\Pravik\\PravikNW.exe"), "refused %d" % SHARING_VIOLATION)
    run.run_updater()
    # The start after the failure finds the old one still there.
    expect_untouched(run, ["old started", "old quit: already running"], [RETRIEVAL_FAILED], version="N")
    run.expect("still running", run.notifier_stopped(), False)
    # Refused before the server was asked for the file, and the log says why: in use.
    run.expect("FTP commands", run.ftp_commands(), ["USER", "PASS", "TYPE", "SYST", "CWD"])
    expect_log(run, ("Retrieval failed after 0 bytes", "kept: EFCreateError (system error %d): Cannot create file "
                     "C:\\Pravik\\PravikNW.exe" % SHARING_VIOLATION))


@scenario
def transfer_cut_off(run):
    arrange(run, "0407", 12, server=False)
    server = run.ftp_server(loopback(12), rate=256 * 1024, padding=8 * 1024 * 1024)
    grown = []

    def cut(updater):
        partial = os.path.join(run.pravik, "PravikNW.exe.download")
        run.wait_for(lambda: os.path.exists(partial) and os.path.getsize(partial) > 64 * 1024, 40,
                     "the transfer to begin")
        grown.append(True)
        os.killpg(server.pid, signal.SIGKILL)
        run.wait_for_boxes(1, updater)

    run.run_updater(during=cut)
    run.expect("transfer began", grown, [True])
    expect_untouched(run, ["old started"], [RETRIEVAL_FAILED])
    # The client's own count: part of the file, not none and not all of it.
    counts = [int(m.group(1)) for m in map(re.compile(r"Retrieval failed after (\d+) bytes").search,
                                          run.log_lines()) if m]
    total = len(run.new) + 8 * 1024 * 1024
    run.expect("cut mid-transfer", [64 * 1024 < count < total for count in counts], [True])


# The fault matrix: each row injects one fault into an immediate download (row 6: the
# versions differ, the notifier does not run), checks the same promises (the program ends
# or waits as it must, the old notifier program is byte-identical, Version.txt does not
# claim the new version) and shows that its own fault happened.
LOST_CONNECTION = "Connection Closed Gracefully."


def error_box_then_idle(text):
    """The error shows in the error box; the window then waits, idle, for the user."""

    def outcome(run):
        run.run_updater(during=run.user_closes_window())
        expect_untouched(run, [], [program_title_box(text)])

    return outcome


def retrieval_failure(run):
    """The failure box; the notifier is started anyway and the program ends."""
    run.run_updater(during=lambda updater: run.wait_for_boxes(1, updater))
    expect_untouched(run, ["old started"], [RETRIEVAL_FAILED])


def fault_row(name, inject, outcome, *evidence):
    def play(run):
        run.version_file("0407")
        run.program("old")
        inject(run)
        outcome(run)
        for check in evidence:
            check(run)

    play.__name__ = name
    scenario(play)


def ftp_fault(fault, n, **options):
    return lambda run: (run.database(host=loopback(n)), run.fault_server(fault, loopback(n), **options))


def fired(fault, what=None):
    """The scripted server played the fault, once (and did what it says)."""

    def check(run):
        run.expect("fault fired", [name for name, _ in run.faults_fired()], [fault])
        if what:
            run.expect("fault played", [done for _, done in run.faults_fired()], [what(run)])

    return check


def waited_out_silence(run):
    """The client gave up on the silent server after its own bound, not sooner or much later."""
    silent_from = run.event_time(run.ftp_events(), "fault ")
    box = run.box_times[0] if run.box_times else None
    run.expect_within("client waited", box - silent_from if box and silent_from else None,
                      SILENCE_LIMIT - 1, SILENCE_LIMIT + 15)


def ftp_commands(*verbs):
    def check(run):
        run.expect("FTP commands", run.ftp_commands(), list(verbs))

    return check


RESET_PADDING = 4 << 20


def reset_half(run):
    size = len(run.new) + RESET_PADDING
    return "reset the data connection after %d of %d bytes" % (size // 2, size)


def ended_promptly_after(fault_event, limit):
    """The box came within `limit` s of the server playing its fault: the client saw it, no
    time-out of its own ran out first."""

    def check(run):
        fault_at = run.event_time(run.ftp_events(), "fault " + fault_event)
        box = run.box_times[0] if run.box_times else None
        run.expect_within("fault to box", box - fault_at if box and fault_at else None, 0, limit)

    return check


# The server only stops sending: the client must notice the close at its first reply, send
# nothing after USER and say so in the log.
fault_row("fault_close_after_greeting", ftp_fault("close-after-greeting", 20), error_box_then_idle(LOST_CONNECTION),
          fired("close-after-greeting"), ftp_commands("USER"),
          lambda run: expect_log(run, ("FTP connect failed after ", "EIdConnClosedGracefully: " + LOST_CONNECTION)))
fault_row("fault_close_after_user", ftp_fault("close-after-user", 21), error_box_then_idle(LOST_CONNECTION),
          fired("close-after-user"))
fault_row("fault_close_after_150", ftp_fault("close-after-150", 22), retrieval_failure, fired("close-after-150"),
          ended_promptly_after("close-after-150", 10),
          lambda run: expect_log(run, ("Retrieval failed after 0 bytes", "EIdConnClosedGracefully: " + LOST_CONNECTION)))
fault_row("fault_data_reset_half", ftp_fault("reset-data-half", 23, padding=RESET_PADDING), retrieval_failure,
          fired("reset-data-half", reset_half))
# The two that wait out the client's bound on a silent server, 60 s.
fault_row("fault_no_data_connection", ftp_fault("no-data-connection", 24), retrieval_failure,
          fired("no-data-connection"), waited_out_silence,
          lambda run: expect_log(run, "EIdAcceptTimeout: Timed out waiting for the server's data connection."))
fault_row("fault_silent_server", ftp_fault("silent", 25), error_box_then_idle("Read Timeout."), fired("silent"),
          waited_out_silence)
fault_row("fault_long_reply", ftp_fault("long-reply", 26), error_box_then_idle("Max line length exceeded."),
          fired("long-reply"))
fault_row("fault_not_a_number", ftp_fault("not-a-number", 27),
          error_box_then_idle("ome to a server that forgot its manners\\r\\n"), fired("not-a-number"))


@scenario
def fault_foreign_data_first(run):
    # A third host reaches the announced port first: turned away, the server's file taken.
    arrange(run, "0407", 28, server=False)
    run.fault_server("foreign-first", loopback(28))
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    fired("foreign-first")(run)


def disk_full(run):
    # C:\Pravik on a small file system that holds what is there but not the new program; the
    # file sent at an even pace, so that the file system is seen filling up.
    run.database(host=loopback(29))
    run.fault_server("none", loopback(29), padding=4 << 20, rate=1 << 20)
    used = sum(os.path.getsize(os.path.join(run.pravik, n)) for n in os.listdir(run.pravik))
    held = os.path.join(run.work, "held")
    shutil.move(run.pravik, held)
    os.makedirs(run.pravik)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % (used + (1 << 20)), "pravik-full", run.pravik],
                   check=True)
    run.mounted.append(run.pravik)
    for name in os.listdir(held):
        shutil.copy(os.path.join(held, name), run.pravik)


def disk_fills(run):
    """The retrieval failure, with the file system's free space watched until the box."""
    lowest = []

    def watch(updater):
        free = []
        while not run.boxes() and updater.poll() is None:
            status = os.statvfs(run.pravik)
            free.append(status.f_bavail * status.f_frsize)
            time.sleep(0.005)
        lowest.append(min(free))
        run.wait_for_boxes(1, updater)

    run.run_updater(during=watch)
    expect_untouched(run, ["old started"], [RETRIEVAL_FAILED])
    # Less free than one piece of the transfer: the next one could not be written.
    run.expect("disk filled up", lowest[0] < 32 * 1024 if lowest else None, True)
    # And the client gave up the transfer before its end.
    run.expect("transfer", [event.split(" after ")[0] for _, event in run.ftp_events()
                            if event.startswith(("sent ", "data connection "))], ["data connection failed"])


def read_only_version_file(run):
    # Read-only for everybody, root too: the file is mounted over itself read-only.
    run.database(host=loopback(30))
    run.ftp_server(loopback(30))
    version = os.path.join(run.pravik, "Version.txt")
    subprocess.run(["mount", "--bind", version, version], check=True)
    run.mounted.append(version)
    subprocess.run(["mount", "-o", "remount,ro,bind", version], check=True)


fault_row("fault_disk_full", disk_full, disk_fills)
fault_row("fault_version_file_read_only", read_only_version_file,
          error_box_then_idle("Cannot create file C:\\\\Pravik\\\\Version.txt."), ftp_commands())
fault_row("fault_code_table_empty", lambda run: run.database(settings=False),
          # An empty host is this machine (as Windows takes it), where nothing serves FTP.
          error_box_then_idle(REFUSED))


def huge_password(run):
    run.database(host=loopback(31), password="p" * (1 << 20))
    run.ftp_server(loopback(31))


def refused_as_too_long(run):
    """The server got the huge password line and refused it: its reply is what the box shows."""
    replies = run.ftp_replies()
    run.expect("server refused", ("500 Command too long." in replies, "230 Login successful." in replies),
               (True, False))


fault_row("fault_huge_codetext", huge_password, error_box_then_idle("Command too long.\\r\\n"),
          refused_as_too_long)


# A central database server that takes the connection and never answers: the login gives
# up within its bound and the window then waits for the user.
@scenario
def database_silent(run):
    arrange(run, "0407", 40, server=False)
    run.sql_server_client()
    run.tds_listener(silent=True)
    run.run_updater(during=run.user_closes_window())
    expect_untouched(run, [], [program_title_box(TIMED_OUT)])
    seen = [re.sub(r" from \S+| length \d+", "", event) for _, event in read_events(os.path.join(run.work, "tds.log"))]
    run.expect("server saw", seen[:2], ["connected", "packet type 0x12"])
    box = run.box_times[0] if run.box_times else None
    accepted = run.event_time(read_events(os.path.join(run.work, "tds.log")), "connected")
    run.expect_within("connection to box", box - accepted if box and accepted else None, DB_LOGIN_LIMIT - 1,
                      DB_LOGIN_LIMIT + 3)
    expect_log(run, "Error EDatabaseError (SQLSTATE HYT00, native error 0): " + TIMED_OUT[:-1], "End, exit code 0")


# Another program reads Version.txt and lets others write it (a scanner, a reader of the
# file): the version is still recorded after the download, the notifier started, once.
def version_file_held(row, n):
    def play(run):
        arrange(run, "0407", n, running=row == 5)
        run.hold_file("C:\\Pravik\\Version.txt", share_write=True)
        run.run_updater()
        starts = ["old started", "new started"] if row == 5 else ["new started"]
        expect_outcome(run, starts, "new", "0408")
        run.expect("RETR", run.ftp_commands().count("RETR"), 1)
        expect_log(run, "Decision: row %d" % row, "Retrieved ", "Version file C:\\Pravik\\Version.txt written")

    play.__name__ = "version_file_held_row%d" % row
    scenario(play)


version_file_held(6, 41)
version_file_held(5, 42)


# The download's checks: a file that is not whole, not a program or not the published one
# is refused, and a refusal is a failed retrieval (the box, the old notifier started
# again, nothing replaced, no new version), the log naming the check.
def refused(run, *reason):
    run.run_updater(during=lambda updater: run.wait_for_boxes(1, updater))
    expect_untouched(run, ["old started"], [RETRIEVAL_FAILED])
    expect_log(run, ("Downloaded file refused after ",) + reason, 'Box "다운로드중..." shown', "Starting the notifier")


@scenario
def check_half_then_226(run):
    # The server sends half the file and says all went well: SIZE told otherwise.
    run.version_file("0407")
    run.program("old")
    run.database(host=loopback(43))
    run.fault_server("half-then-226", loopback(43))
    size = len(run.new)
    refused(run, "EIdFTPSizeMismatch: Size check: the server gave %d bytes, %d arrived." % (size, size // 2))
    run.expect("fault fired", [name for name, _ in run.faults_fired()], ["half-then-226"])


@scenario
def check_html_page(run):
    page = b"<html><body><h1>404 Not Found</h1></body></html>\n"
    arrange(run, "0407", 44, server=False)
    run.ftp_server(loopback(44), content=page)
    refused(run, "Windows program check: no MZ header (%d bytes)" % len(page))


@scenario
def check_empty_file(run):
    arrange(run, "0407", 45, server=False)
    run.ftp_server(loopback(45), content=b"")
    refused(run, "Windows program check: no MZ header (0 bytes)")


@scenario
def check_published_hash(run):
    # The SHA-256 as Windows 7's certutil prints it: upper case, in groups of two.
    digest = hashlib.sha256(run.new).hexdigest()
    grouped = " ".join(digest.upper()[i:i + 2] for i in range(0, 64, 2))
    arrange(run, "0407", 46, published="  %s " % grouped)
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    expect_log(run, ("Retrieved ", "SHA-256 %s as published" % digest))


@scenario
def check_wrong_hash(run):
    other = hashlib.sha256(b"another notifier").hexdigest()
    arrange(run, "0407", 47, published=other)
    refused(run, "Hash check: the published SHA-256 is %s, the file's is %s" % (other,
                                                                               hashlib.sha256(run.new).hexdigest()))


# The publisher: stand-in notifiers signed for the run by two test publishers.
def publisher(name, installed, served, n, accepted, reason=None, signer="Pravik Test Publisher A"):
    def play(run):
        run.signed_builds(installed, served)
        arrange(run, "0407", n)
        if accepted:
            run.run_updater()
            expect_outcome(run, ["new started"], "new", "0408")
        else:
            refused(run, 'Publisher check: the installed notifier is signed by "', signer, reason)

    play.__name__ = name
    scenario(play)


publisher("publisher_signed_by_unsigned", "old-a.exe", "unsigned", 48, False,
          "the new one is unsigned (TRUST_E_NOSIGNATURE)")
publisher("publisher_signed_by_another", "old-a.exe", "new-b.exe", 49, False, "the new one is signed by")
publisher("publisher_changed_after_signing", "old-a.exe", "new-a-changed.exe", 50, False,
          "the new one is a signature that does not match the file (TRUST_E_BAD_DIGEST)")
publisher("publisher_same", "old-a.exe", "new-a.exe", 51, True)
publisher("publisher_renewed_certificate", "old-a.exe", "new-a-renewed.exe", 52, True)
publisher("publisher_unsigned_by_signed", "unsigned", "new-a.exe", 53, True)
# One publisher whose certificate has expired since: the same certificate no longer counts.
publisher("publisher_expired_certificate", "old-e.exe", "new-e.exe", 70, False, "its certificate has expired",
          signer="Pravik Test Publisher E")


# Three runs against a server whose login reply is 1.5 MB, from a log one byte short of its
# bound: each line is cut, the log moves aside once, and the two files stay within 2.5 MiB.
@scenario
def log_bound_huge_reply(run):
    arrange(run, "0408", 71, server=False)
    run.fault_server("huge-login-reply", loopback(71))
    with open(run.log_path, "wb") as f:
        f.write(b"h" * ((1 << 20) - 1))
    logins = []
    for attempt in range(3):
        run.version_file("0407")
        run.run_updater()
        expect_outcome(run, ["new started"] * (attempt + 1), "new", "0408")
        run.program("old")
        logins += [line for line in run.log_lines() if line.startswith("FTP connected and logged in")]
    sizes = [os.path.getsize(p) for p in (run.log_path, run.log_path + ".1") if os.path.exists(p)]
    run.expect("log and older copy", (len(sizes), sum(sizes) <= 2.5 * (1 << 20)), (2, True))
    # The history before the runs went aside whole, the new log starts with a run's line.
    with open(run.log_path + ".1", "rb") as f:
        run.expect("history kept", f.read((1 << 20) - 1) == b"h" * ((1 << 20) - 1), True)
    run.expect("login lines cut", (len(logins) >= 3, all(len(line.encode("cp949")) < 2100 and
                                                          line.endswith(" bytes)") for line in logins)), (True, True))
    run.expect("fault fired", [name for name, _ in run.faults_fired()], ["huge-login-reply"] * 3)


# The staged rollout. Held back, a workstation keeps its notifier (restarted, or started),
# its version file byte for byte, never connects to the FTP server and shows no box.
def held_back(run, starts):
    before = read_bytes(os.path.join(run.pravik, "Version.txt"))
    run.run_updater()
    expect_outcome(run, starts, "old", before.decode("cp949"))
    run.expect("version file bytes", read_bytes(os.path.join(run.pravik, "Version.txt")), before)
    run.expect("FTP connections", [e for _, e in run.ftp_events() if e == "connected"], [])


def rollout_bucket(run):
    found = [re.search(r"held back by the rollout: bucket (\d+) at (\d+) %", line) for line in run.log_lines()
             if line.startswith("Rollout of")]
    return [(int(m.group(1)), int(m.group(2))) for m in found if m]


@scenario
def rollout_paused(run):
    arrange(run, "0407\nsecond\n", 72, running=True, rollout="0")
    fleet_table(run)
    held_back(run, ["old started", "old started"])
    run.expect("old one stopped", run.notifier_stopped(), True)
    run.expect("held at", [share for _, share in rollout_bucket(run)], [0])
    rows = report_rows(run)
    run.expect("rows", len(rows), 1)
    expect_row(run, (rows or [{}])[0], "held", 5, "0407", "0408", None, "old", "held back by the rollout: bucket ")


@scenario
def rollout_malformed_share(run):
    arrange(run, "0407", 73, rollout="1O")
    fleet_table(run)
    held_back(run, ["old started"])
    rows = report_rows(run)
    run.expect("row cause", [row["CAUSE"].split("; ")[-1] for row in rows if row.get("RESULT") == "held"],
               ['the rollout percentage "1O" is not a whole number from 0 to 100, taken as 0 %'])
    expect_log(run, ("held back by the rollout: bucket ", ' at 0 %; the rollout percentage "1O" is not a whole number'))


@scenario
def rollout_full_with_blanks(run):
    arrange(run, "0407", 74, rollout="  100 ")
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    expect_log(run, ("Rollout of \"0408\"", ": in the rollout: bucket ", " at 100 %"), "Retrieved ")


@scenario
def rollout_named_in_lower_case(run):
    # The name Windows gives this workstation, as an administrator might type it.
    _, lines = run.wine(["cmd", "/c", "echo %COMPUTERNAME%"])
    name = lines[0].strip().lower() if lines else "?"
    arrange(run, "0407", 75, rollout="0", named="office, %s  test-pc" % name)
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    expect_log(run, ("named in the rollout (bucket ", " at 0 %)"), "Retrieved ")


@scenario
def rollout_paused_without_program(run):
    # Nothing to run otherwise: the new notifier comes whatever the share.
    arrange(run, "0407", 76, program=None, rollout="0")
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    run.expect("rollout asked", [line for line in run.log_lines() if line.startswith("Rollout of")], [])


# Show command 2 (minimised and active, as `start /min` asks) runs the check at once: only
# 7 waits for the user.
@scenario
def started_minimized_active(run):
    arrange(run, "0408", 54, server=False)
    run.run_updater(show=2)
    expect_outcome(run, ["old started"], "old", "0408")


# Passive mode, chosen in the code table, for workstations behind NAT: the workstation opens
# the data connection, to the server it logged in to, and a server that refuses active mode
# serves it.
@scenario
def passive_mode(run):
    arrange(run, "0407", 56, server=False, mode=" pasv ")
    run.ftp_server(loopback(56), passive_only=True)
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    run.expect("FTP commands", run.ftp_commands(), ["USER", "PASS", "TYPE", "SYST", "CWD", "SIZE", "PASV", "RETR"])
    expect_log(run, 'Setting FTP transfer mode (code 760/997): " pasv "', "Retrieving PravikNW.exe in passive binary mode",
               "Retrieved %d bytes in " % len(run.new))


@scenario
def passive_active_refused(run):
    # The same server without the setting: active mode, refused by the server, as before.
    arrange(run, "0407", 57, server=False)
    run.ftp_server(loopback(57), passive_only=True)
    retrieval_failure(run)
    run.expect("PORT answered", run.ftp_replies_to("PORT"), ["500"])
    run.expect("PASV sent", "PASV" in run.ftp_commands(), False)


@scenario
def passive_third_host(run):
    # The 227 names another host, where a forged file waits on the same port: the client
    # connects only to the server it talks to, and installs the server's file.
    arrange(run, "0407", 58, server=False, mode="PASV")
    run.fault_server("pasv-third-host", loopback(58), third_host=loopback(59))
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    run.expect("fault fired", [name for name, _ in run.faults_fired()], ["pasv-third-host"])
    run.expect("227 named", [what.rsplit(":", 1)[0] for _, what in run.faults_fired()], ["227 named " + loopback(59)])
    events = [event for _, event in run.ftp_events()]
    run.expect("third host reached", "forged listener reached" in events, False)
    run.expect("data connections", len([e for e in events if e.startswith("data connection from")]), 1)
    expect_log(run, "Retrieving PravikNW.exe in passive binary mode", "Retrieved %d bytes in " % len(run.new))


@scenario
def passive_misconfigured(run):
    # Neither PASV nor PORT: nothing is asked of the FTP server; the failure box, the old
    # notifier started again, the log naming the setting.
    arrange(run, "0407", 60, mode="passive please")
    retrieval_failure(run)
    run.expect("FTP commands", run.ftp_commands(), [])
    expect_log(run, ("Download not tried; C:\\Pravik\\PravikNW.exe kept: EUpdateMisconfigured: Transfer mode setting: "
                     '"passive please" is neither PASV (passive mode) nor PORT (active mode)'),
               'Box "다운로드중..." shown', "Starting the notifier")


# The fleet report: the table of fleet.sql in the test database, as an administrator makes
# it, and the rows the runs leave there.
FLEET_REPORT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "fleet-report")
REPORT_COLUMNS = ("WORKSTATION", "RUNSTARTED", "UPDATERVERSION", "LOCALVERSION", "SERVERVERSION", "DECISION",
                  "RESULT", "CAUSE", "BYTES", "DURATIONMS", "NOTIFIERSHA256", "RECORDED")
RUN_STARTED = r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}"


def fleet_table(run, *statements):
    """MVERCHKRESULT and its views made by fleet.sql, then the statements (a trigger...)."""
    subprocess.run(["/usr/bin/python3", FLEET_REPORT, "--create-sqlite", os.path.join(run.work, "PravikALL")],
                   check=True)
    with sqlite3.connect(os.path.join(run.work, "PravikALL")) as db:
        for statement in statements:
            db.execute(statement)
    db.close()


def report_rows(run):
    """The table's rows in the order they arrived, as dicts; printed for the record."""
    with sqlite3.connect(os.path.join(run.work, "PravikALL")) as db:
        rows = [dict(zip(REPORT_COLUMNS, row)) for row in
                db.execute("Select %s From MVERCHKRESULT Order By RowId" % ", ".join(REPORT_COLUMNS))]
    db.close()
    for row in rows:
        print("row: %r" % row)
    return rows


def report_lines(run):
    return [line for line in run.log_lines() if line.startswith("Report: ")]


def expect_row(run, row, result, decision, local, server, bytes_, program, cause=None):
    """One row as the run must have written it; cause, when given, is where its CAUSE begins."""
    digest = {"old": hashlib.sha256(run.old).hexdigest(), "new": hashlib.sha256(run.new).hexdigest()}.get(program)
    run.expect("row", {k: row.get(k) for k in ("RESULT", "DECISION", "LOCALVERSION", "SERVERVERSION", "BYTES",
                                                "NOTIFIERSHA256", "UPDATERVERSION")},
               {"RESULT": result, "DECISION": decision, "LOCALVERSION": local, "SERVERVERSION": server,
                "BYTES": bytes_, "NOTIFIERSHA256": digest, "UPDATERVERSION": "1.0.0.0"})
    run.expect("row cause", (row.get("CAUSE") or "")[:len(cause or "")] if cause else row.get("CAUSE"), cause)
    run.expect("row start and time", (bool(re.fullmatch(RUN_STARTED, row.get("RUNSTARTED") or "")),
                                      isinstance(row.get("DURATIONMS"), int) and row["DURATIONMS"] >= 0,
                                      bool(row.get("WORKSTATION")), row.get("RECORDED") is not None),
               (True, True, True, True))


@scenario
def report_updated(run):
    arrange(run, "0407", 60)
    fleet_table(run)
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    rows = report_rows(run)
    run.expect("rows", len(rows), 1)
    expect_row(run, (rows or [{}])[0], "updated", 6, "0407", "0408", len(run.new), "new")
    expect_log(run, "Starting the notifier", ("Outcome: updated, decision row 6", "%d bytes received" % len(run.new)),
               "Report: row of updated written to MVERCHKRESULT", "End, exit code 0")


@scenario
def report_current(run):
    arrange(run, "0408", 61, server=False)
    fleet_table(run)
    run.run_updater()
    expect_outcome(run, ["old started"], "old", "0408")
    rows = report_rows(run)
    run.expect("rows", len(rows), 1)
    expect_row(run, (rows or [{}])[0], "current", 4, "0408", "0408", None, "old")


@scenario
def report_refused(run):
    other = hashlib.sha256(b"another notifier").hexdigest()
    arrange(run, "0407", 62, published=other)
    fleet_table(run)
    run.run_updater(during=lambda updater: run.wait_for_boxes(1, updater))
    expect_untouched(run, ["old started"], [RETRIEVAL_FAILED])
    rows = report_rows(run)
    run.expect("rows", len(rows), 1)
    expect_row(run, (rows or [{}])[0], "refused", 6, "0407", "0408", len(run.new), "old",
               "EUpdateRefused: Hash check: the published SHA-256 is %s" % other)
    # Written before the box, which may wait for hours on an unattended workstation.
    expect_log(run, "Report: row of refused written", 'Box "다운로드중..." shown', "Starting the notifier")


@scenario
def report_failed(run):
    # Nobody serves FTP there: the connection is refused.
    arrange(run, "0407", 63, server=False)
    fleet_table(run)
    run.expect("nobody listens", connect_result(loopback(63), 21), "refused")
    run.run_updater(during=run.user_closes_window())
    expect_untouched(run, [], [program_title_box(REFUSED)])
    rows = report_rows(run)
    run.expect("rows", len(rows), 1)
    expect_row(run, (rows or [{}])[0], "failed", 6, "0407", "0408", None, "old",
               "EIdSocketError (Winsock error 10061): Socket Error # 10061\r\nConnection refused.")
    expect_log(run, "Report: row of failed written", 'Box "Pravikftp" shown', "End, exit code 0")


@scenario
def report_no_table(run):
    # Without the table the run is what it always was, and its log says so once.
    arrange(run, "0407", 64)
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    run.expect("report lines", report_lines(run),
               ["Report: no table MVERCHKRESULT in the central database; nothing reported"])
    run.expect("pending file", os.path.exists(os.path.join(run.pravik, "PravikFtp.pending")), False)


@scenario
def report_refused_by_trigger(run):
    arrange(run, "0407", 65)
    fleet_table(run, "Create Trigger NoReports Before Insert On MVERCHKRESULT "
                     "Begin Select Raise(Abort, 'reports are closed'); End")
    run.run_updater()
    expect_outcome(run, ["new started"], "new", "0408")
    run.expect("rows", report_rows(run), [])
    expect_log(run, ("Report: row of updated of the run started ", "refused and dropped: EDatabaseError (SQLSTATE ",
                     "reports are closed"), "End, exit code 0")


@scenario
def report_hostile_version(run):
    # A CHKVERSION with a quote and SQL in it: stored as the text it is, nothing of it run.
    version = "0408'); Drop Table MVERCHKRESULT; --"
    arrange(run, "0407", 66, version=version)
    fleet_table(run)
    run.run_updater()
    expect_outcome(run, ["new started"], "new", version)
    rows = report_rows(run)
    run.expect("rows", [(row["RESULT"], row["SERVERVERSION"]) for row in rows], [("updated", version)])


@scenario
def report_database_back(run):
    # Three runs: the first finds the table, the second cannot reach the database and keeps
    # its row, the third sends that row first and then its own.
    arrange(run, "0408", 67, server=False)
    fleet_table(run)
    pending = os.path.join(run.pravik, "PravikFtp.pending")
    run.run_updater()
    run.expect("first run", (run.exit_code, run.starts()), (0, ["old started"]))
    run.expect("queue begun", (os.path.exists(pending), os.path.exists(pending) and os.path.getsize(pending)),
               (True, 0))
    sqlite_env = dict(run.env)
    run.sql_server_client()
    run.run_updater(during=run.user_closes_window())
    run.expect("second run", (run.exit_code, run.boxes()), (0, [program_title_box(UNREACHABLE)]))
    with open(pending, "rb") if os.path.exists(pending) else open(os.devnull, "rb") as f:
        kept = f.read().decode("cp949").split("\r\n")
    run.expect("row kept", [line.split("\t")[6] for line in kept if line], ["failed"])
    run.env = sqlite_env
    run.run_updater()
    run.expect("third run", (run.exit_code, run.starts()[-1]), (0, "old started"))
    rows = report_rows(run)
    run.expect("rows", [(row["RESULT"], row["SERVERVERSION"], row["LOCALVERSION"]) for row in rows],
               [("current", "0408", "0408"), ("failed", None, None), ("current", "0408", "0408")])
    if len(rows) == 3:
        run.expect("kept start", rows[0]["RUNSTARTED"] < rows[1]["RUNSTARTED"] < rows[2]["RUNSTARTED"], True)
        run.expect("kept cause", (rows[1]["CAUSE"] or "").startswith("EDatabaseError (SQLSTATE "), True)
    run.expect("queue emptied", os.path.exists(pending) and os.path.getsize(pending), 0)
    expect_log(run, "Report: the central database was not reached; row of failed kept in C:\\Pravik\\PravikFtp.pending "
                    "(1 row waiting)",
               "Report: 1 row of C:\\Pravik\\PravikFtp.pending sent, 0 rows refused and dropped",
               "Report: row of current written to MVERCHKRESULT")


# The start check (code 994 ON): a served notifier that does not start is replaced by the
# one it replaced. The stand-ins: "exits" ends at once with exit code 3, "nomutex" runs
# without ever taking the mutex, "late" takes it 8 s after its start.

def serve_standin(run, label):
    """The stand-in build `label` as the program the server holds ("new" in program_build)."""
    run.new = read_bytes(os.path.join(run.args.tools, "PravikNW-%s.exe" % label))


def expect_held_record(run):
    path = os.path.join(run.pravik, "PravikFtp.held")
    text = open(path, encoding="ascii", newline="").read() if os.path.exists(path) else ""
    run.expect("held record", re.fullmatch(r"version=0408\r\nsha256=\r\ndate=\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\r\n",
                                           text) is not None, True)


def settled_starts(run, count):
    """Waits for the start log to hold `count` lines: the updater goes on once the mutex is
    there, and a stand-in writes its line just after it has taken the mutex."""
    try:
        run.wait_for(lambda: len(run.starts()) >= count, 10, "%d lines in the notifier's start log" % count)
    except Failed:
        pass


def rollback_time(run):
    """The milliseconds from the broken start to the old notifier running, as the log gives them."""
    found = [re.search(r"Rollback done: the previous notifier runs again (\d+) ms", line) for line in run.log_lines()]
    found = [match for match in found if match]
    return int(found[-1].group(1)) if found else None


def rolled_back(label, n, row, finding, starts_before=()):
    def play(run):
        serve_standin(run, label)
        arrange(run, "0407", n, start_check="ON", running=(row == 5))
        run.run_updater()
        broken = "exits ended: exit code 3" if label == "exits" else "nomutex started without the mutex"
        settled_starts(run, len(starts_before) + 2)
        expect_outcome(run, list(starts_before) + [broken, "old started"], "old", "0407", running="old")
        expect_held_record(run)
        expect_log(run, "Decision: row %d" % row, "Start check on", "The installed notifier kept as "
                   "C:\\Pravik\\PravikNW.exe.previous",
                   ("Starting the notifier C:\\Pravik\\PravikNW.exe (the new program): started, start check failed: ",
                    finding),
                   ("Rollback: the new notifier \"0408\" did not start: ", finding),
                   "Rollback: C:\\Pravik\\PravikNW.exe.previous put back as C:\\Pravik\\PravikNW.exe",
                   ("(the previous program): started, \"PravikNW.exe\" mutex after ",),
                   "Rollback done: the previous notifier runs again ", "Outcome: rolledback")
        if label == "nomutex":
            expect_log(run, "Rollback: the new notifier's process ended")
        print("rollback: the old notifier ran again %s ms after the broken start" % rollback_time(run))
        print("the log of the rollback:\n  " + "\n  ".join(run.log_lines()))
        if row != 6 or label != "exits":
            return
        # The same version again: held, nothing downloaded, the old notifier (running)
        # restarted, the version file left.
        first = len(run.log_lines())
        run.run_updater()
        second = run.log_lines()[first:]
        settled_starts(run, 3)
        expect_outcome(run, [broken, "old started", "old started"], "old", "0407", running="old")
        run.expect("second run connects", [line for line in second if "FTP connect" in line], [])
        run.expect("second run held", any('is held: its start failed here on ' in line for line in second), True)
        run.expect("second run outcome", any(line.startswith("Outcome: held") for line in second), True)
    play.__name__ = "start_check_%s_row%d" % (label, row)
    return play


for _label, _n, _row, _finding, _before in (
        ("exits", 90, 6, "ended with exit code 3 after ", ()),
        ("exits", 91, 5, "ended with exit code 3 after ", ("old started",)),
        ("nomutex", 92, 6, "no mutex after 30 s", ())):
    scenario(rolled_back(_label, _n, _row, _finding, _before))


@scenario
def start_check_late_row6(run):
    serve_standin(run, "late")
    arrange(run, "0407", 93, start_check="ON")
    run.run_updater()
    settled_starts(run, 1)
    expect_outcome(run, ["late started"], "new", "0408")
    run.expect("nothing held", os.path.exists(os.path.join(run.pravik, "PravikFtp.held")), False)
    run.expect("previous kept", read_bytes(os.path.join(run.pravik, "PravikNW.exe.previous")) == run.old, True)
    expect_log(run, ("Starting the notifier C:\\Pravik\\PravikNW.exe (the new program): started, "
                     "\"PravikNW.exe\" mutex after "), 'Version file C:\\Pravik\\Version.txt written, first line "0408"',
               "Outcome: updated")
    waited = [int(m.group(1)) for m in (re.search(r'"PravikNW.exe" mutex after (\d+) ms', line)
                                          for line in run.log_lines()) if m]
    run.expect_within("mutex wait", waited[0] / 1000.0 if waited else None, 7.5, 12.0)


def main():
    if sys.argv[1:] == ["--list"]:
        print("\n".join(sorted(SCENARIOS)))
        return 0
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tools", required=True, help="folder of the Windows test tools")
    parser.add_argument("--updater", required=True)
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--ftp-server", required=True)
    parser.add_argument("--ftp-fault-server", required=True)
    parser.add_argument("--tds-listener", required=True)
    parser.add_argument("--sqlite-drivers", required=True)
    parser.add_argument("--freetds-drivers", required=True)
    parser.add_argument("--db-server", required=True, help="the database server host built into the updater")
    parser.add_argument("--signed-programs", required=True, help="the stand-in notifiers signed for the tests")
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    args = parser.parse_args()

    def stop(signum, frame):
        raise Failed("stopped by signal %d" % signum if signum != signal.SIGALRM
                     else "the scenario took over %d s" % SCENARIO_LIMIT)

    for signum in (signal.SIGALRM, signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
        signal.signal(signum, stop)
    signal.alarm(SCENARIO_LIMIT)
    run = None
    try:
        run = Run(args, args.scenario)
        SCENARIOS[args.scenario](run)
        failed = run.report()
    except Exception as error:
        if run:
            run.report()
        if isinstance(error, Failed):
            print("FAIL %s" % error)
        else:
            traceback.print_exc()
        failed = 1
    finally:
        signal.alarm(0)
        for signum in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            signal.signal(signum, signal.SIG_IGN)
        if run:
            run.finish()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
