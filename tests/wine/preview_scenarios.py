"""cvlpreview.exe, the host runner built for Windows, under Wine: on the
example machine images, on a fleet of them and on a fresh capture of the
prefix, its text and JSON reports of a command line are the same bytes as
those of cvlsetup-host (the host build's runner) on Linux, its exit status
is the same, and a machine it saves is the same files. Both programs write
their reports with LF line ends: cvlpreview.exe puts its standard output
into binary mode.

Paths: a report names one host path, the --save folder ("Saved the changed
machine to ..." in the text, "savedTo" in the JSON), as it was given on the
command line. Each side runs in a work folder of its own and is given the
same relative --save path, so the reports are equal byte for byte; --machine
appears in no report, and each side is given it as its own system spells it
(Z:\\... under Wine). A runner's error message that names an absolute path is
compared once each side's work folder is written as <work>.

Without the host runner (no --host-runner) cvlpreview.exe still runs every
command line, and only its exit status is looked at."""

import difflib
import hashlib
import os
import shutil
import subprocess
import tempfile

from capture_scenarios import (capture_with_package, place_driver_package, publish_inf,
                               windows_path_of_host)
from device_scenarios import SETUP_STATE_KEY, DeviceMachine, running_b702
from scenarios import APP_DIR

PREVIEW_EXE = APP_DIR + r"\cvlpreview.exe"
REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
EXAMPLE_MACHINES = os.path.join(REPO, "examples", "machines")
RUNNER_NAMES = ("cvlpreview.exe", "cvlsetup-host")
REPORTS = ("text", "json")
# The runner's own exit statuses; cvlsetup's codes are all smaller.
RUNNER_FAILURES = {64, 65, 70, 73}

INSTALL_2016 = ["/i", "/vistab701", "/f", r"drivers\win7\netcvl.inf"]
INSTALL_2017 = ["/i", "/vistab701", "/f", r"drivers\win7-2017\netcvl.inf"]
# (runner options, cvlsetup switches) tried on every example machine: the
# actions of the demo, a refused command line and a program started.
EXAMPLE_RUNS = [
    ([], ["/chknicexist", "/vistab701"]),
    ([], ["/dnicdrv", "/b702"]),
    ([], ["/enicdrv", "/b702"]),
    ([], INSTALL_2016),
    ([], INSTALL_2017),
    ([], ["/q", "/vistab701", "/f", r"drivers\win7-2017\netcvl.inf"]),
    ([], ["/u", "/vistab701", "/s"]),
    ([], ["/rp"]),
    ([], ["/bogus"]),
]
# Failures and interruptions of the same runs.
FAULT_RUNS = [
    (["--fail", "SetupDiCallClassInstaller"], ["/dnicdrv", "/b702"]),
    (["--fail", "RegQueryValueExW:3:ERROR_ACCESS_DENIED"], ["/chknicexist", "/vistab701"]),
    (["--fail", "UpdateDriverForPlugAndPlayDevicesW:1:0xE0000235"], INSTALL_2017),
    (["--stop-after", "20"], INSTALL_2017),
    (["--power-loss-after", "20"], INSTALL_2017),
]
# What runs on a fresh capture of the prefix.
CAPTURE_RUNS = [
    ([], ["/chknicexist", "/vistab701"]),
    ([], ["/dnicdrv", "/b702"]),
    ([], INSTALL_2016),
    ([], ["/u", "/vistab701", "/s"]),
]


def example_machines():
    """The machine images of examples/machines, by name."""
    return sorted(name for name in os.listdir(EXAMPLE_MACHINES)
                  if os.path.isfile(os.path.join(EXAMPLE_MACHINES, name, "machine.txt")))


def tree_state(folder):
    """{path below `folder`: SHA-256 and writability, or "folder"} of a saved
    machine image."""
    state = {}
    for root, folders, names in os.walk(folder):
        for name in folders:
            state[os.path.relpath(os.path.join(root, name), folder)] = "folder"
        for name in names:
            path = os.path.join(root, name)
            with open(path, "rb") as file:
                digest = hashlib.sha256(file.read()).hexdigest()
            state[os.path.relpath(path, folder)] = (digest, os.access(path, os.W_OK))
    return state


def first_difference(want, got):
    """A few lines of a unified diff of two reports, each line shown with
    its line end."""
    def lines(report):
        return [repr(line) for line in report.splitlines(keepends=True)]

    diff = difflib.unified_diff(lines(want), lines(got), "cvlsetup-host", "cvlpreview.exe",
                                lineterm="", n=1)
    return "\n".join(list(diff)[:20])


class Preview:
    """Runs one runner command line twice: cvlpreview.exe under Wine in a
    work folder of its own, and cvlsetup-host on Linux in another."""

    def __init__(self, context, work):
        self.context = context
        self.prefix = context.prefix
        self.runner = os.path.abspath(context.simulation.runner) if context.simulation else None
        self.linux_work = os.path.join(work, "linux")
        self.wine_work = os.path.join(work, "wine")
        os.makedirs(self.linux_work)
        os.makedirs(self.wine_work)
        self.runs = 0

    def wine(self, options, env=None):
        """(exit status, standard output, standard error) of cvlpreview.exe."""
        result = self.prefix.wine(PREVIEW_EXE, *options, cwd=self.wine_work, env=env)
        return result.returncode, result.stdout, result.stderr

    def linux(self, options):
        result = subprocess.run([self.runner, *options], cwd=self.linux_work,
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        return result.returncode, result.stdout, result.stderr

    def compare(self, machine, options, args, env=None):
        """Runs `options` and `args` against `machine` (a host path, None
        when `options` hold --machine) on both sides and expects the same
        status and report. Returns the status."""
        def command(path):
            return (["--machine", path] if path else []) + options + ["--", *args]

        what = " ".join(options + args)
        self.runs += 1
        code, out, err = self.wine(command(machine and windows_path_of_host(machine)), env)
        if not self.runner:
            self.context.expect(code not in RUNNER_FAILURES, "cvlpreview.exe ended with %d for "
                                "%s: %s" % (code, what, err.decode(errors="replace")[-500:]))
            return code
        linux_code, linux_out, linux_err = self.linux(command(machine))
        self.context.expect(linux_code not in RUNNER_FAILURES, "cvlsetup-host ended with %d for "
                            "%s: %s" % (linux_code, what, linux_err.decode(errors="replace")))
        self.context.expect_equal(code, linux_code, "the exit status of " + what)
        if out != linux_out:
            self.context.failures.append("the report of %s differs:\n%s" % (
                what, first_difference(linux_out, out)))
        return code

    def compare_saved(self, relative):
        """The machines both sides saved to `relative` are the same files."""
        if not self.runner:
            return
        wine_tree = tree_state(os.path.join(self.wine_work, relative))
        linux_tree = tree_state(os.path.join(self.linux_work, relative))
        self.context.expect(bool(linux_tree), "cvlsetup-host saved a machine to " + relative)
        if wine_tree != linux_tree:
            differing = sorted(path for path in set(wine_tree) | set(linux_tree)
                               if wine_tree.get(path) != linux_tree.get(path))
            self.context.failures.append("the machines saved to %s differ in %s" % (
                relative, differing[:10]))

    def error_text(self, stderr, work, windows):
        """A runner's error message with its name, its line ends and the
        work folder it ran in written alike on both sides."""
        text = stderr.decode(errors="replace").replace("\r\n", "\n")
        for name in RUNNER_NAMES:
            text = text.replace(name, "<runner>")
        for spelling in ([windows_path_of_host(work) + "\\"] if windows else []) + [work + "/"]:
            text = text.replace(spelling, "<work>/")
        return text.replace("\\", "/") if windows else text


def note_runs(context, preview, what):
    context.notes.append("%d command lines on %s, text and JSON, %s" % (
        preview.runs, what, "each report equal to cvlsetup-host's"
        if preview.runner else "cvlpreview.exe only (no host runner given)"))


def compare_on_examples(context, runs, what):
    """Each of `runs` (options, arguments) on each example machine, in both
    report forms."""
    with tempfile.TemporaryDirectory(prefix="cvl-preview-") as work:
        preview = Preview(context, work)
        for name in example_machines():
            for options, args in runs:
                for report in REPORTS:
                    preview.compare(os.path.join(EXAMPLE_MACHINES, name),
                                    ["--report", report] + options, args)
        note_runs(context, preview, ", ".join(example_machines()) + what)


def example_reports(context):
    """The demo's command lines on each example machine."""
    compare_on_examples(context, EXAMPLE_RUNS, "")


def example_faults(context):
    """Failed calls and cut-short runs on each example machine."""
    compare_on_examples(context, FAULT_RUNS, " with failures")


def saved_machines(context):
    """An install saved, then an uninstall on the saved machine, saved again
    under a name with a blank and a letter outside ASCII (through the
    command line in UTF-16 on Windows, in UTF-8 on Linux): the reports name
    the save folders alike, and the saved machines are the same files. A
    machine saved over an earlier one replaces it."""
    example = os.path.join(EXAMPLE_MACHINES, "win7-x64")
    utf8 = {"LC_ALL": "C.UTF-8"}  # how Wine reads the command line's bytes
    with tempfile.TemporaryDirectory(prefix="cvl-preview-") as work:
        preview = Preview(context, work)
        installed, removed = "after-install", "Büro Dvořák nach Deinstallation"
        preview.compare(example, ["--save", installed], INSTALL_2017)
        preview.compare_saved(installed)
        for report in REPORTS:
            # --machine relative to each side's work folder.
            preview.compare(None, ["--machine", installed, "--save", removed, "--report",
                                   report], ["/u", "/vistab701", "/s"], env=utf8)
            preview.compare_saved(removed)
        preview.compare(example, ["--save", removed, "--report", "json"], ["/dnicdrv", "/b702"],
                        env=utf8)
        preview.compare_saved(removed)
        note_runs(context, preview, "win7-x64 and the machines saved from it")


def runner_errors(context):
    """The runner's own failures end with the same status on both sides,
    and the message is the same once the runner's name and the work folder
    are written alike: a wrong command line (64), a folder that is no image
    (65), a save into the input image (64), a save target that is a
    file (73), a fleet folder that is missing (66) and an empty one (66).
    cvlpreview.exe names itself in each message."""
    example = os.path.join(EXAMPLE_MACHINES, "win7-x64")
    with tempfile.TemporaryDirectory(prefix="cvl-preview-") as work:
        preview = Preview(context, work)
        for side in (preview.linux_work, preview.wine_work):
            shutil.copytree(example, os.path.join(side, "image"))
            with open(os.path.join(side, "a-file"), "w") as file:
                file.write("not a folder\n")
            os.makedirs(os.path.join(side, "empty-fleet"))
        cases = [
            ([], 64),
            (["--machine", "image", "--report", "xml"], 64),
            (["--machine", "no-such-image", "--", "/rp"], 65),
            (["--machine", "image", "--save", os.path.join("image", "inside"), "--", "/rp"], 64),
            (["--machine", "image", "--save", "a-file", "--", "/rp"], 73),
            (["--fleet", "no-such-fleet", "--", "/rp"], 66),
            (["--fleet", "empty-fleet", "--", "/rp"], 66),
        ]
        for options, status in cases:
            code, _, err = preview.wine(options)
            what = " ".join(options) or "no arguments"
            context.expect_equal(code, status, "cvlpreview.exe's status for " + what)
            text = preview.error_text(err, preview.wine_work, True)
            context.expect(err.decode(errors="replace").startswith("cvlpreview.exe: "),
                           "the message of %s names the runner: %r" % (
                               what, err.decode(errors="replace")))
            if code == 64:
                context.expect("usage: cvlpreview.exe --machine DIR" in
                               err.decode(errors="replace"), "the usage line for " + what)
            if not preview.runner:
                continue
            linux_code, _, linux_err = preview.linux(options)
            context.expect_equal(linux_code, status, "cvlsetup-host's status for " + what)
            # The reason a folder cannot be read is the system's own text.
            if status not in (65, 66):
                context.expect_equal(text, preview.error_text(linux_err, preview.linux_work,
                                                              False), "the message for " + what)


def fleet_folder(side):
    """A fleet in `side`'s work folder: two captures of each example machine
    and a folder that is no whole capture (no machine.txt, as a capture cut
    short leaves it)."""
    fleet = os.path.join(side, "fleet")
    for name in example_machines():
        for copy in ("a", "b"):
            shutil.copytree(os.path.join(EXAMPLE_MACHINES, name),
                            os.path.join(fleet, "%s-%s" % (name, copy)))
    os.makedirs(os.path.join(fleet, "half-written", "drive_c"))
    return fleet


def unloaded_rows_alike(report):
    """A fleet report with the host path in the row of the capture that
    could not be loaded written with "/": that row names the file the
    capture lacks as the runner's system writes paths (with backslashes
    under Wine, doubled in JSON), and is otherwise the same."""
    return b"\n".join(line.replace(b"\\\\", b"/").replace(b"\\", b"/")
                      if b"half-written" in line and b"registry.reg" in line else line
                      for line in report.split(b"\n"))


def fleet_reports(context):
    """--fleet over the same folder, named alike (relative to each side's
    work folder): the text and JSON reports, the HTML page and the exit
    status (65, for the folder that is no capture) are the same on both
    sides but for the separators of the paths in the half-written folder's
    row. The page is named outside ASCII, as a command-line argument may be."""
    page_name = "fleet-\u0416.html"
    with tempfile.TemporaryDirectory(prefix="cvl-preview-") as work:
        preview = Preview(context, work)
        for side in (preview.linux_work, preview.wine_work):
            fleet_folder(side)
        for args in (INSTALL_2017, ["/u", "/vistab701", "/s"]):
            for report in REPORTS:
                options = ["--fleet", "fleet", "--report", report, "--report", "html",
                           page_name, "--", *args]
                what = " ".join(options)
                preview.runs += 1
                code, out, err = preview.wine(options)
                context.expect_equal(code, 65, "cvlpreview.exe's status for %s (%s)" % (
                    what, err.decode(errors="replace")[-500:]))
                context.expect(b"half-written" in out, "the report of %s has a row for the "
                               "folder that is no capture" % what)
                context.expect(os.path.isfile(os.path.join(preview.wine_work, page_name)),
                               "%s wrote its page under the name given" % what)
                if not preview.runner:
                    continue
                linux_code, linux_out, _ = preview.linux(options)
                context.expect_equal(code, linux_code, "the exit status of " + what)
                if unloaded_rows_alike(out) != linux_out:
                    context.failures.append("the report of %s differs:\n%s" % (
                        what, first_difference(linux_out, unloaded_rows_alike(out))))
                pages = []
                for side in (preview.linux_work, preview.wine_work):
                    with open(os.path.join(side, page_name), "rb") as page:
                        pages.append(unloaded_rows_alike(page.read()))
                if pages[1] != pages[0]:
                    context.failures.append("the HTML page of %s differs:\n%s" % (
                        what, first_difference(pages[0], pages[1])))
        note_runs(context, preview, "a fleet of %d captures and a half-written folder" % (
            2 * len(example_machines())))


def fresh_capture(context):
    """cvlcapture.exe captures a prefix that holds a running B702 adapter,
    its published INF, the family's setup state and the driver package
    beside the program; the capture's reports are the same on both sides."""
    prefix = context.prefix
    DeviceMachine(context, [running_b702()])
    publish_inf(prefix)
    prefix.import_registry([(SETUP_STATE_KEY + r"\VISTA_B701",
                             {"InfName": r"C:\windows\inf\oem3.inf"})])
    place_driver_package(prefix)
    with tempfile.TemporaryDirectory(prefix="cvl-preview-") as work:
        image = os.path.join(work, "capture")
        captured = capture_with_package(prefix, image)
        context.expect(captured.returncode in (0, 1) and
                       os.path.isfile(os.path.join(image, "machine.txt")),
                       "cvlcapture ended with %d: %s" % (
                           captured.returncode, captured.stderr.decode(errors="replace")[-2000:]))
        if context.failures:
            return
        preview = Preview(context, work)
        for options, args in CAPTURE_RUNS:
            for report in REPORTS:
                preview.compare(image, ["--report", report] + options, args)
        note_runs(context, preview, "a fresh capture")


def all_scenarios():
    return [("preview: the example machines' reports equal the host runner's", example_reports),
            ("preview: failures and interruptions on the example machines", example_faults),
            ("preview: saved machines and their paths", saved_machines),
            ("preview: the runner's own failures", runner_errors),
            ("preview: a fleet's reports equal the host runner's", fleet_reports),
            ("preview: a fresh capture's reports equal the host runner's", fresh_capture)]
