#!/usr/bin/python3
"""Installs, repairs, upgrades and removes the updater's Windows Installer package under Wine.

    msi-test.py --make-msi TOOL --wine-prefix-script SCRIPT --exe EXE --version V
                --next-exe EXE --next-version V2 --work DIR

Builds the package of EXE (version V) and of the next build (V2) with tools/make-msi and
plays, in a Wine prefix of its own under DIR, what an administrator's software distribution
does with "msiexec /qn": install; the same package again (a repair); the next version with
FIREWALLRULE=0 (a major upgrade); the older package over the newer (refused); uninstall.
After each step it checks C:\\Pravik, the logon start value, the products that Windows
Installer has registered and the commands given to icacls and netsh. Wine's icacls and netsh
are stubs that change nothing, but they name the arguments they were started with (in
Wine's "fixme" channel), so the command lines a Windows machine would run are checked here;
what those commands do to a real folder and firewall is not. Prints each check; exits 0
when all held.
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys

RUN_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
RUN_VALUE = '"C:\\Pravik\\PravikFtp.exe"'
GRANT = ["C:\\Pravik\\.", "/grant", "*S-1-5-32-545:(OI)(CI)M"]
RULE_DELETE = ["advfirewall", "firewall", "delete", "rule", "name=PravikFtp", "program=C:\\Pravik\\PravikFtp.exe"]
RULE_ADD = ["advfirewall", "firewall", "add", "rule", "name=PravikFtp", "dir=in", "action=allow",
            "program=C:\\Pravik\\PravikFtp.exe", "enable=yes"]
# What the workstation holds that the package never owned: it must survive every step.
WORKSTATION = {"PravikNW.exe": b"MZ the notifier", "Version.txt": b"0408\r\n",
               "PravikFtp.log": b"2026-01-01 00:00:00.000 [1] Start\r\n", "PravikFtp.pending": b"report\r\n"}
MSI_TIMEOUT = 120


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def file_version(data):
    """The file version of a program's version resource, "1.0.0.0"; None without one."""
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        return None
    ms, ls = struct.unpack_from("<II", data, at + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def stub_calls(stderr):
    """The icacls and netsh starts that Wine's stubs reported, as (tool, [arguments])."""
    calls = []
    for line in stderr.splitlines():
        found = re.search(r"fixme:(icacls|netsh):\w+ stub: (.*)$", line)
        if found:
            words = re.findall(r'L?"((?:[^"\\]|\\.)*)"', found.group(2))
            calls.append((found.group(1), [w.replace("\\\\", "\\") for w in words[1:]]))
    return calls


class Machine:
    def __init__(self, args):
        self.args = args
        self.prefix = os.path.join(args.work, "prefix")
        self.pravik = os.path.join(self.prefix, "drive_c", "Pravik")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDLLOVERRIDES="mscoree,mshtml=",
                        WINEDEBUG="-all,fixme+icacls,fixme+netsh")
        self.env.pop("DISPLAY", None)
        self.checks = []

    def expect(self, what, actual, expected):
        self.checks.append((what, actual, expected))
        ok = actual == expected
        print("%s %-34s %s" % ("ok  " if ok else "FAIL", what,
                               repr(actual) if ok else "%r, expected %r" % (actual, expected)), flush=True)

    def wine(self, command, timeout=60):
        out = subprocess.run(["wine"] + command, env=self.env, capture_output=True, text=True,
                             errors="replace", timeout=timeout, stdin=subprocess.DEVNULL)
        # The registry reaches system.reg when the session ends.
        subprocess.run(["wineserver", "-w"], env=self.env, timeout=60)
        return out

    def msiexec(self, step, *arguments):
        """msiexec with a verbose log of the step; its exit code and the tools it started."""
        log = os.path.join(self.args.work, step + ".log")
        out = self.wine(["msiexec"] + list(arguments) + ["/qn", "/l*v", "Z:" + log.replace("/", "\\")],
                        timeout=MSI_TIMEOUT)
        return out.returncode, stub_calls(out.stderr)

    def run_value(self):
        out = self.wine(["reg", "query", RUN_KEY, "/v", "PravikFtp"])
        found = re.search(r"PravikFtp\s+(REG_\w+)\s+(.*)$", out.stdout, re.M)
        return found.groups() if found else None

    def products(self):
        """The products registered for removal, as (name, version, per machine) triples."""
        with open(os.path.join(self.prefix, "system.reg"), encoding="utf-8", errors="replace") as f:
            text = f.read()
        found = []
        for section in re.split(r"\n(?=\[)", text):
            if re.match(r"\[Software\\\\(Wow6432Node\\\\)?Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\\{",
                        section):
                name = re.search(r'^"DisplayName"="(.*)"$', section, re.M)
                version = re.search(r'^"DisplayVersion"="(.*)"$', section, re.M)
                if name and name.group(1) == "PravikFtp":
                    found.append((name.group(1), version.group(1) if version else None))
        return found

    def installed_program(self):
        path = os.path.join(self.pravik, "PravikFtp.exe")
        return read_bytes(path) if os.path.exists(path) else None

    def workstation_files(self):
        return {name: read_bytes(os.path.join(self.pravik, name)) for name in WORKSTATION
                if os.path.exists(os.path.join(self.pravik, name))}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("--make-msi", "--wine-prefix-script", "--exe", "--version", "--next-exe", "--next-version",
                   "--work"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    current_msi = os.path.join(args.work, "PravikFtp-%s-win64.msi" % args.version)
    next_msi = os.path.join(args.work, "PravikFtp-%s-win64.msi" % args.next_version)
    subprocess.run([args.make_msi, "win64", args.version, args.exe, current_msi], check=True)
    subprocess.run([args.make_msi, "win64", args.next_version, args.next_exe, next_msi], check=True)
    current, following = read_bytes(args.exe), read_bytes(args.next_exe)

    machine = Machine(args)
    subprocess.run([args.wine_prefix_script, machine.prefix, "fresh"], env=machine.env, check=True, timeout=300)
    windows = lambda path: "Z:" + path.replace("/", "\\")
    try:
        print("== install %s" % os.path.basename(current_msi))
        code, calls = machine.msiexec("install", "/i", windows(current_msi))
        machine.expect("exit code", code, 0)
        machine.expect("program file", machine.installed_program() == current, True)
        machine.expect("logon start", machine.run_value(), ("REG_SZ", RUN_VALUE))
        machine.expect("products", machine.products(), [("PravikFtp", args.version)])
        machine.expect("rights, firewall rule", calls,
                       [("icacls", GRANT), ("netsh", RULE_DELETE), ("netsh", RULE_ADD)])

        # What the updater and the notifier leave in the folder from now on.
        for name, data in WORKSTATION.items():
            with open(os.path.join(machine.pravik, name), "wb") as f:
                f.write(data)

        print("== the same package again: a repair")
        with open(os.path.join(machine.pravik, "PravikFtp.exe"), "wb") as f:
            f.write(b"damaged")
        machine.wine(["reg", "delete", RUN_KEY, "/v", "PravikFtp", "/f"])
        machine.expect("logon start removed by hand", machine.run_value(), None)
        code, calls = machine.msiexec("repair", "/i", windows(current_msi))
        machine.expect("exit code", code, 0)
        machine.expect("program file restored", machine.installed_program() == current, True)
        machine.expect("logon start restored", machine.run_value(), ("REG_SZ", RUN_VALUE))
        machine.expect("products", machine.products(), [("PravikFtp", args.version)])
        # The old rule removed first: netsh would add a second one.
        machine.expect("rights, firewall rule", calls,
                       [("icacls", GRANT), ("netsh", RULE_DELETE), ("netsh", RULE_ADD)])
        machine.expect("workstation's files", machine.workstation_files(), WORKSTATION)

        print("== upgrade to %s with FIREWALLRULE=0" % os.path.basename(next_msi))
        code, calls = machine.msiexec("upgrade", "/i", windows(next_msi), "FIREWALLRULE=0")
        machine.expect("exit code", code, 0)
        program = machine.installed_program()
        machine.expect("program file", program == following, True)
        machine.expect("version resource", file_version(program or b""), args.next_version + ".0")
        machine.expect("logon start", machine.run_value(), ("REG_SZ", RUN_VALUE))
        machine.expect("products", machine.products(), [("PravikFtp", args.next_version)])
        # The older product's removal takes its rule; the newer one adds none.
        machine.expect("rights, firewall rule", calls, [("netsh", RULE_DELETE), ("icacls", GRANT)])
        machine.expect("workstation's files", machine.workstation_files(), WORKSTATION)

        print("== the older package over the newer: refused")
        code, calls = machine.msiexec("downgrade", "/i", windows(current_msi))
        # 1603, a fatal error; a Unix exit status keeps its low byte only.
        machine.expect("exit code (low byte)", code, 1603 & 0xFF)
        machine.expect("program file kept", machine.installed_program() == following, True)
        machine.expect("products", machine.products(), [("PravikFtp", args.next_version)])
        machine.expect("tools started", calls, [])

        print("== uninstall")
        code, calls = machine.msiexec("uninstall", "/x", windows(next_msi))
        machine.expect("exit code", code, 0)
        machine.expect("program file", machine.installed_program(), None)
        machine.expect("logon start", machine.run_value(), None)
        machine.expect("products", machine.products(), [])
        machine.expect("firewall rule", calls, [("netsh", RULE_DELETE)])
        machine.expect("workstation's files kept", machine.workstation_files(), WORKSTATION)
    finally:
        subprocess.run(["wineserver", "-k"], env=machine.env, stderr=subprocess.DEVNULL)
        subprocess.run(["wineserver", "-w"], env=machine.env, timeout=60)
        # The steps' logs stay; the prefix, whose C:\Pravik holds stand-ins that are no
        # Windows programs, goes.
        shutil.rmtree(machine.prefix, ignore_errors=True)
    failed = sum(actual != expected for _, actual, expected in machine.checks)
    print("%d passed, %d failed" % (len(machine.checks) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
