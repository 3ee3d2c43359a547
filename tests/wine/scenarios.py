"""The end-to-end scenarios of cvlsetup.exe under Wine. Each runs in a fresh
copy of the template prefix with the programs in C:\\app and returns the
list of its failures (empty when it passed)."""

import os
import re

APP_DIR = r"C:\app"
EXE = r"C:\app\cvlsetup.exe"
PROBE = r"C:\app\cvl_platform_probe.exe"
LOG_NAME = "InstallLog.txt"
COMPAT_KEY = (r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags"
              r"\Compatibility Assistant\Persisted")
NET_CLASS_GUID = "{4d36e972-e325-11ce-bfc1-08002be10318}"


class Context:
    """A scenario's prefix, its programs and its findings."""

    def __init__(self, prefix):
        self.prefix = prefix
        self.failures = []

    def expect(self, condition, what):
        if not condition:
            self.failures.append(what)

    def expect_equal(self, got, want, what):
        if got != want:
            self.failures.append("%s: expected %r, got %r" % (what, want, got))

    def run_cvlsetup(self, *args):
        """Runs the program from its own folder; returns the exit code as the
        shell sees it (its low byte)."""
        return self.prefix.wine(EXE, *args, cwd=self.prefix.host_path(APP_DIR)).returncode

    def log_bytes(self):
        path = os.path.join(self.prefix.host_path(APP_DIR), LOG_NAME)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as log:
            return log.read()

    def ended_process_id(self):
        """The id of a process that has already ended."""
        result = self.prefix.checked_wine(PROBE, "print-pid")
        return result.stdout.decode().strip()

    def expect_compat_registration(self, registered):
        value = self.prefix.reg_query(COMPAT_KEY, EXE)
        if registered:
            self.expect_equal(value, ("REG_DWORD", "0x1"), "compatibility value of " + EXE)
        else:
            self.expect_equal(value, None, "compatibility value of " + EXE)


def log_of(*lines):
    return b"".join(line.encode("ascii") + b"\r\n" for line in lines)


# Command lines whose whole outcome is the exit code, the log and the
# compatibility registration: (name, arguments, exit code, exact log bytes or
# None for no log file, registered). Wine reports NT 6.1, so every accepted
# command line registers the program's path; a rejected one ends before that.
COMMAND_LINES = [
    ("empty command line", [], 2, None, False),
    ("rejected command line", ["/bogus"], 2, None, False),
    ("rejected after a valid option", ["/vistab701", "/bogus"], 2, None, False),
    ("family switch without an action", ["/vistab701"], 3, log_of("Exit code: = 3"), True),
    ("hardware rescan", ["/hwscan"], 0,
     log_of("Scan Hardware Change...", "Exit code: = 0"), True),
    ("switches fold case", ["/HWSCAN"], 0,
     log_of("Scan Hardware Change...", "Exit code: = 0"), True),
]


def command_line_scenario(args, exit_code, log, registered):
    def run(context):
        context.expect_equal(context.run_cvlsetup(*args), exit_code, "exit code")
        context.expect_equal(context.log_bytes(), log, LOG_NAME)
        context.expect_compat_registration(registered)
    return run


def driver_package_tool(context):
    """"/rp" starts the system's pnputil.exe without arguments and logs a
    complaint when it did not start or ended with 0."""
    system32 = r"C:\windows\system32"
    tool = os.path.join(context.prefix.host_path(system32), "pnputil.exe")
    if os.path.exists(tool):
        tool_exit = context.prefix.wine(system32 + r"\pnputil.exe").returncode
    else:
        tool_exit = None  # cannot start
    lines = []
    if tool_exit in (None, 0):
        lines.append("Could not execute the application....")
    lines.append("Exit code: = 0")
    context.expect_equal(context.run_cvlsetup("/rp"), 0, "exit code")
    context.expect_equal(context.log_bytes(), log_of(*lines), LOG_NAME)


def make_victims(context, names):
    folder = context.prefix.host_path(r"C:\victim")
    os.makedirs(folder, exist_ok=True)
    for name in names:
        with open(os.path.join(folder, name), "wb") as victim:
            victim.write(b"MZ")
    return folder


# The second stage of the self-deletion: (name, process id or None for the id
# of an ended process, target argument, files present, files it must delete).
SELF_DELETIONS = [
    ("self-deletion deletes the named file only", None, r"C:\victim\target.exe",
     ["target.exe", "target.exe.bak", "target"], {"target.exe"}),
    ("self-deletion of a path with a blank", None, r"C:\victim\my?app.exe",
     ["my app.exe", "my", "app.exe"], {"my app.exe"}),
    ("self-deletion with an id that is no number", "abc", r"C:\victim\target.exe",
     ["target.exe"], set()),
    ("self-deletion with process id 0", "0", r"C:\victim\target.exe", ["target.exe"], set()),
]


def self_deletion_scenario(process_id, target, present, deleted):
    def run(context):
        folder = make_victims(context, present)
        pid = process_id if process_id is not None else context.ended_process_id()
        context.expect_equal(context.run_cvlsetup("/selfdel", pid, target), 0, "exit code")
        remaining = set(os.listdir(folder))
        context.expect_equal(remaining, set(present) - deleted, "files left in C:\\victim")
        context.expect_equal(context.log_bytes(), None, LOG_NAME)
    return run


def platform_contract(context):
    """The real platform layer against Wine, through the probe program."""
    prefix = context.prefix
    device_key = r"HKLM\System\CurrentControlSet\Enum\ROOT\CVLPROBE\0000"
    prefix.reg_add(device_key, "HardwareID", "REG_MULTI_SZ", r"CVL_PROBE_DEVICE\0CVL_PROBE_FAMILY")
    prefix.reg_add(device_key, "CompatibleIDs", "REG_MULTI_SZ", r"CVL_PROBE_A\0CVL_PROBE_B")
    prefix.reg_add(device_key, "ClassGUID", "REG_SZ", NET_CLASS_GUID)
    service_path = r"system32\DRIVERS\cvlprobe.sys"
    prefix.checked_wine("sc", "create", "cvlprobe", "type=", "kernel", "start=", "demand",
                        "binPath=", service_path)
    os.makedirs(prefix.host_path(r"C:\probe"), exist_ok=True)
    result = prefix.wine(PROBE, "contract", PROBE, "CVL_PROBE_DEVICE", "cvlprobe", service_path,
                         "C:\\probe\\")
    output = result.stdout.decode(errors="replace")
    context.failures.extend(line for line in output.splitlines() if line.startswith("FAIL"))
    context.expect_equal(result.returncode, 0, "probe exit code")
    # A probe that died half-way prints no summary.
    context.expect(re.search(r"^\d+ failed\r?$", output, re.MULTILINE),
                   "probe output ends early:\n" + output[-2000:])


# Wine takes no class-install parameters, but its trace names the install
# function of each request's header and the size of the record handed over:
# SP_PROPCHANGE_PARAMS (20 bytes) and SP_REMOVEDEVICE_PARAMS (16 bytes) on
# x64. Only the 64-bit program runs under Wine here.
DIF_PROPERTYCHANGE = 0x12
DIF_REMOVE = 0x05
EXPECTED_REQUESTS = [(DIF_PROPERTYCHANGE, 20), (DIF_REMOVE, 16)]
REQUEST_TRACE = re.compile(r"fixme:setupapi:SetupDiSetClassInstallParamsW \S+ \S+ (\d+) (\d+)")


def class_install_requests(context):
    result = context.prefix.wine(PROBE, "class-install-requests", debug="fixme+setupapi")
    trace = result.stderr.decode(errors="replace")
    # Wine prints the function in hex and the size in decimal.
    requests = [(int(f, 16), int(size)) for f, size in REQUEST_TRACE.findall(trace)]
    context.expect_equal(result.returncode, 0, "probe exit code")
    context.expect_equal(requests, EXPECTED_REQUESTS, "class-install requests (function, bytes)")


def all_scenarios():
    scenarios = [(name, command_line_scenario(args, code, log, registered))
                 for name, args, code, log, registered in COMMAND_LINES]
    scenarios.append(("driver package tool", driver_package_tool))
    scenarios += [(name, self_deletion_scenario(pid, target, present, deleted))
                  for name, pid, target, present, deleted in SELF_DELETIONS]
    scenarios.append(("platform layer contract", platform_contract))
    scenarios.append(("class-install request records", class_install_requests))
    return scenarios
