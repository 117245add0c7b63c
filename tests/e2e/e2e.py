#!/usr/bin/python3
"""Runs PravikFtp.exe end to end under Wine, one scenario at a time.

    e2e.py --tools DIR --updater EXE --wine-run SCRIPT --work DIR SCENARIO

The workstation is C:\\Pravik of the Wine prefix in $WINEPREFIX, on the X display in
$DISPLAY. The central database is an SQLite file PravikALL in the updater's working
folder, reached through the machine's unixODBC with the SQLite driver registered as
"SQL Server" (or FreeTDS, for a server that cannot be reached). The FTP server is
pyftpdlib on port 21 of a loopback address of its own. The notifier is a stand-in of ours:
the workstation holds its "old" build, the server its "new" one, and each start is logged.
Message boxes are read and answered by boxwatch.exe, the window found and closed by
waitwindow.exe.

Every scenario checks what the program did (exit code, boxes, notifier stops and starts,
the program file and the version file) and that a failure leaves the old program
byte-identical and the version file as it was. Prints what it checked; exits 0 when all
held, 1 otherwise.
"""
import argparse
import os
import re
import shutil
import signal
import sqlite3
import subprocess
import sys
import time

CAPTION = "약국 프라빅 버전확인 0408"
RETRIEVAL_FAILED = ("다운로드중...", "화일 복사중 Error(101)가 발생했습니다..")
SERVER_VERSION = "0408"
FTP_USER = "pravik"
FTP_PASSWORD = "73pravik"
FTP_DIRECTORY = "/pravik"
REFUSED = "Socket Error # 10061\\r\\nConnection refused."
# The updater's own bound on a silent server is 60 s; a run that waits it out still ends.
RUN_LIMIT = 150


class Failed(Exception):
    pass


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Run:
    """One scenario's world and the updater's run in it."""

    def __init__(self, args, name):
        self.args = args
        self.name = name
        self.work = os.path.join(args.work, name)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.prefix = os.environ["WINEPREFIX"]
        self.pravik = os.path.join(self.prefix, "drive_c", "Pravik")
        shutil.rmtree(self.pravik, ignore_errors=True)
        os.makedirs(self.pravik)
        shutil.copy(args.updater, os.path.join(self.pravik, "PravikFtp.exe"))
        self.old = self.read(os.path.join(args.tools, "PravikNW-old.exe"))
        self.new = self.read(os.path.join(args.tools, "PravikNW-new.exe"))
        self.starts_log = os.path.join(self.work, "starts.log")
        self.env = dict(os.environ, LC_ALL="C.UTF-8", WINEDEBUG="-all",
                        ODBCSYSINI=args.sqlite_drivers,
                        PRAVIK_NOTIFIER_LOG=windows_path(self.starts_log))
        self.processes = []
        self.notifier = None
        self.mounted = []
        self.restore_dpi = False
        self.updater_env = {}
        self.checks = []
        self.exit_code = None
        self.seconds = None

    # The world before the run.

    @staticmethod
    def read(path):
        with open(path, "rb") as f:
            return f.read()

    def version_file(self, text):
        with open(os.path.join(self.pravik, "Version.txt"), "wb") as f:
            f.write(text.encode("cp949"))

    def program(self, build):
        with open(os.path.join(self.pravik, "PravikNW.exe"), "wb") as f:
            f.write(self.old if build == "old" else self.new)

    def database(self, version=SERVER_VERSION, host="", user=FTP_USER, password=FTP_PASSWORD,
                 directory=FTP_DIRECTORY, settings=True):
        path = os.path.join(self.work, "PravikALL")
        with sqlite3.connect(path) as db:
            db.execute("Create Table MVERCHKMESSAGECLIENT (CHKVERSION Text)")
            db.execute("Create Table MCODEBASE (CODEID Text, CODE Text, CODETEXT Text)")
            db.execute("Insert Into MVERCHKMESSAGECLIENT Values (?)", (version,))
            for code, text in (("001", host), ("002", user), ("003", password), ("999", directory)):
                if settings:
                    db.execute("Insert Into MCODEBASE Values ('760', ?, ?)", (code, text))
        db.close()

    def unreachable_database(self):
        """A real SQL Server client (FreeTDS) for a server host where nothing listens."""
        self.env["ODBCSYSINI"] = self.args.freetds_drivers
        # The program's built-in server name must resolve on this machine, not outside it.
        with open("/etc/hosts") as f:
            known = any(self.args.db_server in line.split()[1:] for line in f if not line.startswith("#"))
        if not known:
            with open("/etc/hosts", "a") as f:
                f.write("127.0.21.254\t%s\n" % self.args.db_server)

    def ftp_server(self, address, rate=0, padding=0):
        """pyftpdlib on address:21 holding the new build, padded to slow a throttled run."""
        root = os.path.join(self.work, "served")
        os.makedirs(os.path.join(root, "pravik"))
        os.makedirs(os.path.join(root, "empty"))
        with open(os.path.join(root, "pravik", "PravikNW.exe"), "wb") as f:
            f.write(self.new + b"\0" * padding)
        port_file = os.path.join(self.work, "ftp.port")
        command = ["/usr/bin/python3", self.args.ftp_server, "--address", address, "--port", "21",
                   "--port-file", port_file]
        if rate:
            command += ["--rate", str(rate)]
        server = self.start(command + [FTP_USER, FTP_PASSWORD, root], wine=False)
        self.wait_for(lambda: os.path.exists(port_file), 10, "the FTP server to listen")
        return server

    def running_notifier(self):
        self.notifier = self.start(["C:\\Pravik\\PravikNW.exe"])
        self.wait_for(lambda: self.starts(), 20, "the old notifier to run")

    def notifier_stopped(self):
        """Whether the notifier that ran before the updater has ended."""
        try:
            self.notifier.wait(5)
            return True
        except subprocess.TimeoutExpired:
            return False

    # The run.

    def start(self, command, wine=True, env=None, stdout=subprocess.DEVNULL):
        if wine:
            command = [self.args.wine_run] + command
        process = subprocess.Popen(command, cwd=self.work, env=env or self.env, stdin=subprocess.DEVNULL,
                                   stdout=stdout, stderr=subprocess.DEVNULL, start_new_session=True)
        self.processes.append(process)
        return process

    def watch_boxes(self, count, timeout=RUN_LIMIT):
        out = os.path.join(self.work, "boxes.txt")
        return self.start([os.path.join(self.args.tools, "boxwatch.exe"), "--timeout", str(timeout), "--count",
                           str(count), "--press", "--out", windows_path(out)])

    def user_closes_window(self, boxes, timeout=RUN_LIMIT):
        """For run_updater: once the boxes were answered, the user closes the idle window."""

        def close(updater):
            boxes.wait(timeout)
            self.start([os.path.join(self.args.tools, "waitwindow.exe"), "--timeout", str(timeout), "--close",
                        CAPTION])

        return close

    def wine(self, command, check=True):
        """Runs a Windows command in the session and waits for it."""
        subprocess.run([self.args.wine_run] + command, cwd=self.work, env=self.env, check=check, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def set_dpi(self, dpi):
        """The screen's dots per inch for this run; the session starts anew to read it."""
        self.wine(["reg", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d",
                   str(dpi), "/f"])
        self.restore_dpi = True
        subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        subprocess.run(["wineserver", "-w"], env=self.env, check=False)

    def window_state(self, restore=False, timeout=30):
        """The update window's state ("normal" and the like) once it is there; with restore,
        restored afterwards."""
        return self.window_state_and_frame(restore, timeout).split(" ")[0]

    def window_state_and_frame(self, restore=False, timeout=30):
        """The state and the outer frame as "STATE LEFT TOP WIDTH HEIGHT"."""
        command = [self.args.wine_run, os.path.join(self.args.tools, "waitwindow.exe"), "--timeout", str(timeout)]
        out = subprocess.run(command + (["--restore"] if restore else []) + [CAPTION], cwd=self.work, env=self.env,
                             capture_output=True, text=True, timeout=timeout + 30)
        return out.stdout.strip()

    def run_updater(self, during=None, show=None):
        """Starts the updater as Explorer does, or with `start /min` or `/max`; waits for its end."""
        began = time.monotonic()
        command = ["C:\\Pravik\\PravikFtp.exe"]
        if show:
            command = ["start", "/wait", show] + command
        # Its standard output is a file, where the connect failures' lines go.
        with open(os.path.join(self.work, "stdout.txt"), "wb") as output:
            updater = self.start(command, env=dict(self.env, **self.updater_env), stdout=output)
        if during:
            during(updater)
        try:
            self.exit_code = updater.wait(RUN_LIMIT)
        except subprocess.TimeoutExpired:
            raise Failed("the updater did not end within %d s" % RUN_LIMIT)
        self.seconds = time.monotonic() - began

    def wait_for(self, condition, seconds, what):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if condition():
                return
            time.sleep(0.05)
        raise Failed("waited %d s for %s" % (seconds, what))

    def finish(self):
        # Ends every Windows process of the session, the notifiers the updater started too.
        subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        for process in self.processes:
            if process.poll() is None:
                os.killpg(process.pid, signal.SIGKILL)
            process.wait()
        if self.restore_dpi:
            self.wine(["reg", "delete", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/f"], check=False)
            subprocess.run(["wineserver", "-k"], env=self.env, check=False)
        for mount in reversed(self.mounted):
            subprocess.run(["umount", mount], check=False)

    # What the run left.

    def boxes(self):
        path = os.path.join(self.work, "boxes.txt")
        if not os.path.exists(path):
            return []
        with open(path, encoding="utf-8") as f:
            return [tuple(line.rstrip("\n").split("\t")[:2]) for line in f if line.strip()]

    def starts(self):
        if not os.path.exists(self.starts_log):
            return []
        with open(self.starts_log, encoding="ascii", errors="replace") as f:
            return [line.split()[0] for line in f if line.strip()]

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
        data = self.read(path)
        return {self.old: "old", self.new: "new"}.get(data, "damaged (%d bytes)" % len(data))

    def expect(self, what, actual, expected):
        self.checks.append((what, actual, expected))

    def report(self):
        failed = 0
        for what, actual, expected in self.checks:
            ok = actual == expected
            failed += not ok
            print("%s %-16s %s" % ("ok  " if ok else "FAIL", what,
                                   repr(actual) if ok else "%r, expected %r" % (actual, expected)))
        leftovers = [n for n in os.listdir(self.pravik) if n.endswith(".download")]
        if leftovers:
            failed += 1
            print("FAIL temporary files left: %s" % leftovers)
        return failed


def ink(picture, left, top, width, height):
    """The share of dark pixels in a part of a screenshot."""
    out = subprocess.run(["convert", picture, "-crop", "%dx%d+%d+%d" % (width, height, left, top), "-colorspace",
                          "Gray", "-threshold", "50%", "-format", "%[fx:1-mean]", "info:"],
                         check=True, capture_output=True, text=True, timeout=30)
    return float(out.stdout)


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


def expect_outcome(run, starts, program, version, boxes=(), exit_code=0):
    run.expect("exit code", run.exit_code, exit_code)
    run.expect("boxes", run.boxes(), list(boxes))
    run.expect("notifier starts", run.starts(), starts)
    run.expect("program", run.program_build(), program)
    run.expect("version file", run.version_file_text(), version)


def expect_untouched(run, starts, boxes, version="0407"):
    """A failed update: the old program byte-identical, the version file as it was."""
    expect_outcome(run, starts, "old", version, boxes)


def program_title_box(text):
    return ("Pravikftp", text)


@scenario
def row1_no_program(run):
    arrange(run, "0407", 1, program=None)
    run.run_updater()
    expect_outcome(run, ["new"], "new", "0408")


@scenario
def row2_version_n(run):
    arrange(run, "N\r\nkept line", 2)
    run.run_updater()
    expect_outcome(run, ["new"], "new", "0408\r\nkept line")


@scenario
def row3_equal_running(run):
    arrange(run, "0408", 3, server=False, running=True)
    run.run_updater()
    # Stopped and started again: the old one gone, a new instance of the same build.
    expect_outcome(run, ["old", "old"], "old", "0408")
    run.expect("old one stopped", run.notifier_stopped(), True)


@scenario
def row4_equal_not_running(run):
    arrange(run, "0408\nsecond\n", 4, server=False)
    run.run_updater()
    expect_outcome(run, ["old"], "old", "0408\r\nsecond\r\n")


@scenario
def row5_delayed(run):
    arrange(run, "0407\nsecond\n", 5, running=True)
    screenshot = os.path.join(run.args.work, "delayed-window.png")
    frames = []

    def shoot(updater):
        # The window is on the screen while the timer runs.
        frames.append(run.window_state_and_frame())
        time.sleep(0.3)
        subprocess.run(["import", "-window", "root", "-display", os.environ["DISPLAY"], screenshot], check=True,
                       timeout=30)

    run.run_updater(during=shoot)
    run.expect("window frame", frames, ["normal 348 124 446 98"])
    run.expect("waited ~2 s", run.seconds >= 2.0, True)
    expect_outcome(run, ["old", "new"], "new", "0408\r\nsecond\r\n")
    run.expect("old one stopped", run.notifier_stopped(), True)
    # The text line is drawn where it belongs and nothing else is in the client area.
    # (Whether Hangul shows, not boxes, the picture tells.)
    run.expect("text line drawn", ink(screenshot, 370, 155, 290, 28) > 0.02, True)
    run.expect("rest left blank", ink(screenshot, 360, 188, 420, 28) < 0.001, True)
    run.expect("left of window", ink(screenshot, 300, 150, 40, 40) > 0.999, True)
    print("screenshot: %s" % screenshot)


@scenario
def row6_different(run):
    arrange(run, "0407", 6)
    run.run_updater()
    expect_outcome(run, ["new"], "new", "0408")


@scenario
def started_minimized(run):
    # A minimised start: nothing happens until the user restores the program.
    arrange(run, "0408", 13, server=False)

    def restore_later(updater):
        time.sleep(3)
        run.expect("before restore", (updater.poll(), run.starts()), (None, []))
        run.expect("window state", run.window_state(restore=True), "minimized")

    run.run_updater(during=restore_later, show="/min")
    expect_outcome(run, ["old"], "old", "0408")


@scenario
def started_maximized(run):
    # Show command 3: the waiting window is maximised.
    arrange(run, "0407", 14, running=True)
    states = []
    run.run_updater(during=lambda updater: states.append(run.window_state()), show="/max")
    run.expect("window state", states, ["maximized"])
    expect_outcome(run, ["old", "new"], "new", "0408")


@scenario
def high_dpi(run):
    # At 144 dots per inch the window and its contents are half as large again.
    run.set_dpi(144)
    arrange(run, "0407", 16, running=True)
    frames = []
    run.run_updater(during=lambda updater: frames.append(run.window_state_and_frame()))
    run.expect("window frame", frames, ["normal 522 186 669 147"])
    expect_outcome(run, ["old", "new"], "new", "0408")


@scenario
def startup_error(run):
    # Without the sockets library the FTP client cannot be created: the program ends at
    # once with the start-up error box and exit code 1.
    arrange(run, "0407", 15, server=False)
    run.updater_env["WINEDLLOVERRIDES"] = "mscoree,mshtml=;ws2_32=d"
    # The session's desktop must come up with the library, before the updater runs.
    run.wine(["cmd", "/c", "exit"])
    run.watch_boxes(1)
    run.run_updater()
    run.expect("exit code", run.exit_code, 1)
    [(caption, text)] = run.boxes() or [("", "")]
    run.expect("box caption", caption, "Application Error")
    # The place is an offset into the program file, sixteen hex digits on 64-bit Windows.
    run.expect("box text", bool(re.fullmatch(
        r"Exception EIdWS2StubError in module PravikFtp\.exe at [0-9A-F]{16}\.\\n"
        r"Error on loading Winsock2 library \(WS2_32\.DLL\): Module not found\.", text)), True)
    run.expect("notifier starts", run.starts(), [])
    run.expect("program", run.program_build(), "old")
    run.expect("version file", run.version_file_text(), "0407")


@scenario
def database_unreachable(run):
    arrange(run, "0407", 7, server=False)
    run.unreachable_database()
    run.run_updater(during=run.user_closes_window(run.watch_boxes(1)))
    # The driver's own text, as the database layer passes it on.
    expect_untouched(run, [], [program_title_box(
        "[FreeTDS][SQL Server]Unable to connect: Adaptive Server is unavailable or does not exist.")])


@scenario
def null_setting(run):
    run.version_file("0407")
    run.program("old")
    run.database(host=None)
    run.run_updater(during=run.user_closes_window(run.watch_boxes(1)))
    expect_untouched(run, [], [program_title_box("Invalid variant type conversion.")])


@scenario
def ftp_refused_while_waiting(run):
    # Nobody listens there: each tick shows one box, until the user closes the window.
    arrange(run, "0407", 9, server=False, running=True)
    run.run_updater(during=run.user_closes_window(run.watch_boxes(2)))
    expect_untouched(run, ["old"], [program_title_box(REFUSED)] * 2)
    run.expect("standard output", run.standard_output(), "Socket Error # 10061\r\nConnection refused.\r\n" * 2)
    run.expect("old one stopped", run.notifier_stopped(), True)


@scenario
def file_missing_on_server(run):
    arrange(run, "0407", 10, directory="/empty")
    run.watch_boxes(1)
    run.run_updater()
    expect_untouched(run, ["old"], [RETRIEVAL_FAILED])


@scenario
def program_in_use(run):
    # Row 2 with the notifier running: its program file cannot be replaced.
    arrange(run, "N", 11, running=True)
    run.watch_boxes(1)
    run.run_updater()
    expect_untouched(run, ["old", "old"], [RETRIEVAL_FAILED], version="N")
    run.expect("still running", run.notifier_stopped(), False)


@scenario
def transfer_cut_off(run):
    arrange(run, "0407", 12, server=False)
    server = run.ftp_server(loopback(12), rate=256 * 1024, padding=8 * 1024 * 1024)
    run.watch_boxes(1)

    def cut(updater):
        partial = os.path.join(run.pravik, "PravikNW.exe.download")
        run.wait_for(lambda: os.path.exists(partial) and os.path.getsize(partial) > 64 * 1024, 40,
                     "the transfer to begin")
        os.killpg(server.pid, signal.SIGKILL)

    run.run_updater(during=cut)
    expect_untouched(run, ["old"], [RETRIEVAL_FAILED])


# The fault matrix: each row injects one fault into an immediate download (row 6: the
# versions differ, the notifier does not run) and checks the same promises: the program
# ends or waits as it must, the old notifier program is byte-identical, and Version.txt
# does not claim the new version.
LOST_CONNECTION = "Connection Closed Gracefully."


def fault_server(run, fault, host, padding=0):
    served = os.path.join(run.work, "served.bin")
    with open(served, "wb") as f:
        f.write(run.new + b"\0" * padding)
    port_file = os.path.join(run.work, "ftp.port")
    run.start(["/usr/bin/python3", run.args.ftp_fault_server, "--address", host, "--port-file", port_file, fault,
               served], wine=False)
    run.wait_for(lambda: os.path.exists(port_file), 10, "the fault server to listen")


def error_box_then_idle(text):
    """The error shows in the error box; the window then waits, idle, for the user."""

    def outcome(run):
        run.run_updater(during=run.user_closes_window(run.watch_boxes(1)))
        expect_untouched(run, [], [program_title_box(text)])

    return outcome


def retrieval_failure(run):
    """The failure box; the notifier is started anyway and the program ends."""
    run.watch_boxes(1)
    run.run_updater()
    expect_untouched(run, ["old"], [RETRIEVAL_FAILED])


def fault_row(name, inject, outcome):
    def play(run):
        run.version_file("0407")
        run.program("old")
        inject(run)
        outcome(run)

    play.__name__ = name
    scenario(play)


def ftp_fault(fault, n, **options):
    return lambda run: (run.database(host=loopback(n)), fault_server(run, fault, loopback(n), **options))


fault_row("fault_close_after_greeting", ftp_fault("close-after-greeting", 20), error_box_then_idle(LOST_CONNECTION))
fault_row("fault_close_after_user", ftp_fault("close-after-user", 21), error_box_then_idle(LOST_CONNECTION))
fault_row("fault_close_after_150", ftp_fault("close-after-150", 22), retrieval_failure)
fault_row("fault_data_reset_half", ftp_fault("reset-data-half", 23, padding=4 << 20), retrieval_failure)
# The two that wait out the client's bound on a silent server, 60 s.
fault_row("fault_no_data_connection", ftp_fault("no-data-connection", 24), retrieval_failure)
fault_row("fault_silent_server", ftp_fault("silent", 25), error_box_then_idle("Read Timeout."))
fault_row("fault_long_reply", ftp_fault("long-reply", 26), error_box_then_idle("Max line length exceeded."))
fault_row("fault_not_a_number", ftp_fault("not-a-number", 27),
          error_box_then_idle("ome to a server that forgot its manners\\r\\n"))


@scenario
def fault_foreign_data_first(run):
    # A third host reaches the announced port first: turned away, the server's file taken.
    arrange(run, "0407", 28, server=False)
    fault_server(run, "foreign-first", loopback(28))
    run.run_updater()
    expect_outcome(run, ["new"], "new", "0408")


def disk_full(run):
    # C:\Pravik on a small file system that holds what is there but not the new program.
    run.database(host=loopback(29))
    run.ftp_server(loopback(29), padding=4 << 20)
    used = sum(os.path.getsize(os.path.join(run.pravik, n)) for n in os.listdir(run.pravik))
    held = os.path.join(run.work, "held")
    shutil.move(run.pravik, held)
    os.makedirs(run.pravik)
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%d" % (used + (1 << 20)), "pravik-full", run.pravik],
                   check=True)
    run.mounted.append(run.pravik)
    for name in os.listdir(held):
        shutil.copy(os.path.join(held, name), run.pravik)


def read_only_version_file(run):
    # Read-only for everybody, root too: the file is mounted over itself read-only.
    run.database(host=loopback(30))
    run.ftp_server(loopback(30))
    version = os.path.join(run.pravik, "Version.txt")
    subprocess.run(["mount", "--bind", version, version], check=True)
    run.mounted.append(version)
    subprocess.run(["mount", "-o", "remount,ro,bind", version], check=True)


fault_row("fault_disk_full", disk_full, retrieval_failure)
fault_row("fault_version_file_read_only", read_only_version_file,
          error_box_then_idle("Cannot create file C:\\\\Pravik\\\\Version.txt."))
fault_row("fault_code_table_empty", lambda run: run.database(settings=False),
          # An empty host is this machine (as Windows takes it), where nothing serves FTP.
          error_box_then_idle(REFUSED))


def huge_password(run):
    run.database(host=loopback(31), password="p" * (1 << 20))
    run.ftp_server(loopback(31))


fault_row("fault_huge_codetext", huge_password, error_box_then_idle("Command too long.\\r\\n"))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--tools", required=True, help="folder of the Windows test tools")
    parser.add_argument("--updater", required=True)
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--ftp-server", required=True)
    parser.add_argument("--ftp-fault-server", required=True)
    parser.add_argument("--sqlite-drivers", required=True)
    parser.add_argument("--freetds-drivers", required=True)
    parser.add_argument("--db-server", required=True, help="the database server host built into the updater")
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    args = parser.parse_args()

    run = Run(args, args.scenario)
    try:
        SCENARIOS[args.scenario](run)
    except Failed as failure:
        print("FAIL %s" % failure)
        run.finish()
        return 1
    failed = run.report()
    run.finish()
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
