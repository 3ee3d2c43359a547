"""The end-to-end scenarios of cvlsetup.exe under Wine. Each runs in a fresh
copy of the template prefix with the programs in C:\\app and records its
failures in the context. Where the simulated machine can run the same command
line (given the host runner), its outcome must equal Wine's."""

import collections
import os
import re
import shutil

import generations

APP_DIR = r"C:\app"
EXE = r"C:\app\cvlsetup.exe"
CONTRACT_TESTS = r"C:\app\cvl_platform_contract_tests.exe"
VICTIM_DIR = r"C:\victim"
LOG_NAME = "InstallLog.txt"
ROOT_LOG = r"C:\INST.TXT"  # the log on Windows 98, at the root of the current drive
COMPAT_KEY = (r"HKCU\Software\Microsoft\Windows NT\CurrentVersion\AppCompatFlags"
              r"\Compatibility Assistant\Persisted")
NET_CLASS_GUID = "{4d36e972-e325-11ce-bfc1-08002be10318}"
SYSTEM32 = r"C:\windows\system32"
PNPUTIL = SYSTEM32 + r"\pnputil.exe"

# What a run leaves that the scenarios look at: the exit code as the shell
# sees it, the log's bytes (None without a log), the compatibility value of
# the program's path (None without one) and the files left in C:\victim.
Outcome = collections.namedtuple("Outcome", "exit_code log compat victims")


class Context:
    """A scenario's prefix, the program's bits (32 or 64) and the Windows
    generation Wine reports, the optional simulation and the findings."""

    def __init__(self, prefix, simulation=None, test_dlls=None, bits=64,
                 generation=generations.DEFAULT):
        self.prefix = prefix
        self.simulation = simulation
        self.bits = bits
        self.generation = generation
        # Test-only DLLs a scenario may put beside the program: name -> file.
        self.test_dlls = test_dlls or {}
        self.failures = []
        # Lines the runner prints under the scenario's result, pass or fail.
        self.notes = []

    def expect(self, condition, what):
        if not condition:
            self.failures.append(what)

    def expect_equal(self, got, want, what):
        if got != want:
            self.failures.append("%s: expected %r, got %r" % (what, want, got))

    def log_path(self, folder):
        """Where a run from `folder` writes its install log."""
        if self.generation.kind == generations.ROOT_LOG_KIND:
            return ROOT_LOG
        return folder + "\\" + LOG_NAME

    def take_file(self, windows_path):
        """The bytes of a file a run left, removed for the next run; None
        without one."""
        path = self.prefix.host_path(windows_path)
        if not os.path.exists(path):
            return None
        with open(path, "rb") as file:
            data = file.read()
        os.remove(path)
        return data

    def take_log(self, folder):
        """The install log a run from `folder` wrote (see take_file)."""
        return self.take_file(self.log_path(folder))

    def make_victims(self, names):
        folder = self.prefix.host_path(VICTIM_DIR)
        os.makedirs(folder, exist_ok=True)
        for name in names:
            with open(os.path.join(folder, name), "wb") as victim:
                victim.write(b"MZ")

    def run_under_wine(self, args, victims=(), program=EXE):
        """Runs the program from its own folder with the files `victims` in
        C:\\victim."""
        if victims:
            self.make_victims(victims)
        folder = program.rpartition("\\")[0]
        code = self.prefix.wine(program, *args, cwd=self.prefix.host_path(folder)).returncode
        log = self.take_log(folder)
        value = self.prefix.reg_query(COMPAT_KEY, program)
        compat = int(value[1], 16) if value and value[0] == "REG_DWORD" else value
        left = None
        if victims:
            left = frozenset(os.listdir(self.prefix.host_path(VICTIM_DIR)))
        return Outcome(code, log, compat, left)

    def compare_with_simulation(self, args, wine, victims=(), tools=(), program=EXE):
        if not self.simulation:
            return
        folder = program.rpartition("\\")[0]
        code, image = self.simulation.run(args, program, folder,
                                          files=[VICTIM_DIR + "\\" + v for v in victims],
                                          tools=tools)
        try:
            simulated = Outcome(code & 0xFF, image.file_bytes(self.log_path(folder)),
                                image.dword(COMPAT_KEY, program),
                                frozenset(image.listing(VICTIM_DIR)) if victims else None)
        finally:
            image.close()
        self.expect_equal(simulated, wine, "the simulated machine against Wine")

    def ended_process_id(self):
        """The id of a process that has already ended."""
        result = self.prefix.checked_wine(CONTRACT_TESTS, "print-pid")
        return result.stdout.decode().strip()


def log_of(*lines):
    return b"".join(line.encode("ascii") + b"\r\n" for line in lines)


# Command lines whose whole outcome is the exit code, the log and the
# compatibility registration: (name, arguments, exit code, exact log bytes or
# None for no log file). Wine reports NT 6.1, so every accepted command line
# registers the program's path with 1; a rejected one ends before that.
COMMAND_LINES = [
    ("empty command line", [], 2, None),
    ("rejected command line", ["/bogus"], 2, None),
    ("rejected after a valid option", ["/vistab701", "/bogus"], 2, None),
    ("family switch without an action", ["/vistab701"], 3, log_of("Exit code: = 3")),
    ("hardware rescan", ["/hwscan"], 0, log_of("Scan Hardware Change...", "Exit code: = 0")),
    ("switches fold case", ["/HWSCAN"], 0, log_of("Scan Hardware Change...", "Exit code: = 0")),
]


def command_line_scenario(args, exit_code, log):
    def run(context):
        registered = 1 if log is not None else None
        outcome = context.run_under_wine(args)
        context.expect_equal(outcome, Outcome(exit_code, log, registered, None), "outcome")
        context.compare_with_simulation(args, outcome)
    return run


def program_path_with_blank(context):
    """The entry gets the command line without the program's quoted path."""
    program = r"C:\my app\cvlsetup.exe"
    os.makedirs(context.prefix.host_path(r"C:\my app"))
    shutil.copy(context.prefix.host_path(EXE), context.prefix.host_path(program))
    outcome = context.run_under_wine(["/vistab701"], program=program)
    context.expect_equal(outcome, Outcome(3, log_of("Exit code: = 3"), 1, None), "outcome")
    context.compare_with_simulation(["/vistab701"], outcome, program=program)


def driver_package_tool(context):
    """"/rp" starts the system's pnputil.exe without arguments and logs a
    complaint when it did not start, and the tool's exit code when it ended
    with another code than 0."""
    tools = []
    if os.path.exists(context.prefix.host_path(PNPUTIL)):
        tools.append((PNPUTIL, context.prefix.wine(PNPUTIL).returncode))
    lines = []
    if not tools:
        lines.append("Could not execute the application....")
    elif tools[0][1] != 0:
        code = tools[0][1] & 0xFFFFFFFF
        lines.append("pnputil exit code = %d" % (code - (1 << 32) if code >= 1 << 31 else code))
    lines.append("Exit code: = 0")
    outcome = context.run_under_wine(["/rp"])
    context.expect_equal(outcome, Outcome(0, log_of(*lines), 1, None), "outcome")
    context.compare_with_simulation(["/rp"], outcome, tools=tools)


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
        pid = process_id if process_id is not None else context.ended_process_id()
        args = ["/selfdel", pid, target]
        outcome = context.run_under_wine(args, victims=present)
        # The command line is accepted, so the path is registered, but the
        # second stage ends the process before any log is written.
        want = Outcome(0, None, 1, frozenset(set(present) - deleted))
        context.expect_equal(outcome, want, "outcome")
        context.compare_with_simulation(args, outcome, victims=present)
    return run


# What the contract cases of the platform layer find prepared in the prefix:
# a network adapter to read, one to remove, and a kernel driver service.
CONTRACT_DEVICES = [
    (r"ROOT\CVLPROBE\0000", r"CVL_PROBE_DEVICE\0CVL_PROBE_FAMILY"),
    (r"ROOT\CVLPROBE\0001", "CVL_PROBE_REMOVABLE"),
]
CONTRACT_SERVICE = "cvlprobe"
CONTRACT_SERVICE_PATH = r"system32\DRIVERS\cvlprobe.sys"
CONTRACT_WORK = "C:\\contract\\"
GTEST_SUMMARY = re.compile(r"^\[(==========|  PASSED  |  FAILED  |  SKIPPED )\] .*$", re.MULTILINE)


def platform_contract(context, *forms):
    """The contract cases of the platform layer against Wine: the same
    GoogleTest cases the host build runs on the simulated machine. With
    "--ansi-forms" the layer calls the ANSI forms it calls on Windows 95, 98
    and Me (Wine reports those systems only to 32-bit programs), in the
    prefix's code page, 1252."""
    prefix = context.prefix
    for instance, hardware_ids in CONTRACT_DEVICES:
        device_key = "HKLM\\System\\CurrentControlSet\\Enum\\" + instance
        prefix.reg_add(device_key, "HardwareID", "REG_MULTI_SZ", hardware_ids)
        prefix.reg_add(device_key, "CompatibleIDs", "REG_MULTI_SZ", r"CVL_PROBE_A\0CVL_PROBE_B")
        prefix.reg_add(device_key, "ClassGUID", "REG_SZ", NET_CLASS_GUID)
    prefix.checked_wine("sc", "create", CONTRACT_SERVICE, "type=", "kernel", "start=", "demand",
                        "binPath=", CONTRACT_SERVICE_PATH)
    os.makedirs(prefix.host_path(CONTRACT_WORK), exist_ok=True)
    result = prefix.wine(CONTRACT_TESTS, *forms, "--device=CVL_PROBE_DEVICE",
                         "--removable-device=CVL_PROBE_REMOVABLE",
                         "--service=" + CONTRACT_SERVICE,
                         "--service-path=" + CONTRACT_SERVICE_PATH, "--work=" + CONTRACT_WORK)
    output = result.stdout.decode(errors="replace").replace("\r\n", "\n")
    summary = [match.group(0) for match in GTEST_SUMMARY.finditer(output)]
    context.notes.extend(summary)
    context.expect_equal(result.returncode, 0, "contract test program exit code")
    # A program that died half-way prints no closing count.
    context.expect(any(line.startswith("[  PASSED  ]") or line.startswith("[  FAILED  ]")
                       for line in summary),
                   "contract test output ends early:\n" + output[-3000:])
    if result.returncode != 0:
        context.failures.append("output of the failed cases:\n" + failed_case_output(output))


def failed_case_output(output):
    """The lines of each case that failed, from its start to its end."""
    lines = []
    inside = False
    for line in output.splitlines():
        if line.startswith("[ RUN      ]"):
            inside = True
            case = [line]
            continue
        if inside:
            case.append(line)
            if line.startswith("[  FAILED  ]"):
                lines += case
                inside = False
            elif line.startswith("[       OK ]"):
                inside = False
    return "\n".join(lines[-200:])


# Wine takes no class-install parameters, but its trace names the install
# function of each request's header and the size of the record handed over:
# SP_PROPCHANGE_PARAMS (20 bytes) and SP_REMOVEDEVICE_PARAMS (16 bytes), the
# same for both programs: the records hold 32-bit fields only.
DIF_PROPERTYCHANGE = 0x12
DIF_REMOVE = 0x05
EXPECTED_REQUESTS = [(DIF_PROPERTYCHANGE, 20), (DIF_REMOVE, 16)]
REQUEST_TRACE = re.compile(r"fixme:setupapi:SetupDiSetClassInstallParamsW \S+ \S+ (\w+) (\d+)")


def class_install_requests(context):
    result = context.prefix.wine(CONTRACT_TESTS, "class-install-requests",
                                 debug="fixme+setupapi")
    trace = result.stderr.decode(errors="replace")
    # Wine prints the function in hex and the size in decimal.
    requests = [(int(f, 16), int(size)) for f, size in REQUEST_TRACE.findall(trace)]
    context.expect_equal(result.returncode, 0, "contract test program exit code")
    context.expect_equal(requests, EXPECTED_REQUESTS, "class-install requests (function, bytes)")


def all_scenarios():
    scenarios = [(name, command_line_scenario(args, code, log))
                 for name, args, code, log in COMMAND_LINES]
    scenarios.append(("program path with a blank", program_path_with_blank))
    scenarios.append(("driver package tool", driver_package_tool))
    scenarios += [(name, self_deletion_scenario(pid, target, present, deleted))
                  for name, pid, target, present, deleted in SELF_DELETIONS]
    scenarios.append(("platform layer contract", platform_contract))
    scenarios.append(("platform layer contract, ANSI forms",
                      lambda context: platform_contract(context, "--ansi-forms")))
    scenarios.append(("class-install request records", class_install_requests))
    return scenarios
