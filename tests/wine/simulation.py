"""The simulated side of a scenario: the same command line run by the host
runner against a machine image made to match the Wine prefix, so that the two
worlds can be compared where both can run it."""

import os
import re
import subprocess
import tempfile

from wine_prefix import drive_c_path

# Exit statuses of the runner itself (a wrong command line, a bad image, a
# machine that could not be read back or saved); cvlsetup's own codes are
# all smaller.
RUNNER_FAILURES = {64, 65, 70, 73}

VALUE_LINE = re.compile(r'^"((?:[^"\\]|\\.)*)"=dword:([0-9a-fA-F]{8})$')


HIVE_NAMES = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}


def registry_dword(registry_text, key, name):
    """The number of a REG_DWORD value in a regedit export, or None."""
    hive, _, rest = key.partition("\\")
    key = HIVE_NAMES.get(hive.upper(), hive) + "\\" + rest
    section = None
    for line in registry_text.splitlines():
        line = line.strip()
        if line.startswith("[") and line.endswith("]"):
            section = line[1:-1].lower()
            continue
        match = VALUE_LINE.match(line)
        if section == key.lower() and match:
            value_name = re.sub(r"\\(.)", r"\1", match.group(1))
            if value_name.lower() == name.lower():
                return int(match.group(2), 16)
    return None


class Simulation:
    """Runs cvlsetup-host on a fresh image a run."""

    def __init__(self, runner):
        self.runner = runner

    def run(self, args, program, current_dir, files=(), tools=()):
        """Runs `args` with the program at `program` (a C: path) and the files
        named (C: paths) present; `tools` are (C: path, exit code) pairs of
        programs the run may start. Returns (exit code, the saved image's
        folder object); the caller reads the image before the folder goes."""
        work = tempfile.TemporaryDirectory(prefix="cvl-sim-")
        image = os.path.join(work.name, "image")
        for path in [program, *files, *(tool for tool, _ in tools)]:
            host = drive_c_path(image, path)
            os.makedirs(os.path.dirname(host), exist_ok=True)
            with open(host, "wb") as file:
                file.write(b"MZ")
        settings = [
            "version = NT 6.1.7601",
            "windows_dir = C:\\windows",
            "temp_dir = C:\\windows\\Temp\\",
            "current_dir = " + current_dir,
            "program = " + program,
        ] + ["tool_exit_code = %s %d" % (tool, code) for tool, code in tools]
        with open(os.path.join(image, "machine.txt"), "w") as machine:
            machine.write("\n".join(settings) + "\n")
        with open(os.path.join(image, "registry.reg"), "w") as registry:
            registry.write("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n")
        saved = os.path.join(work.name, "saved")
        result = subprocess.run([self.runner, "--machine", image, "--save", saved, "--", *args],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        if result.returncode in RUNNER_FAILURES or not os.path.isdir(saved):
            raise RuntimeError("cvlsetup-host ended with %d and saved no machine: %s" % (
                result.returncode, result.stderr.decode(errors="replace")))
        return result.returncode, SavedImage(work, saved)


class SavedImage:
    def __init__(self, work, root):
        self._work = work
        self.root = root

    def file_bytes(self, path):
        host = drive_c_path(self.root, path)
        if not os.path.exists(host):
            return None
        with open(host, "rb") as file:
            return file.read()

    def listing(self, folder):
        return set(os.listdir(drive_c_path(self.root, folder)))

    def dword(self, key, name):
        with open(os.path.join(self.root, "registry.reg"), "rb") as registry:
            data = registry.read()
        text = data.decode("utf-16") if data[:2] == b"\xff\xfe" else data.decode("utf-8-sig")
        return registry_dword(text, key, name)

    def close(self):
        self._work.cleanup()

