"""Wine prefixes for the end-to-end tests: one template per session, one
fresh copy per scenario, and the few ways a scenario talks to Wine."""

import os
import shutil
import subprocess
import tempfile

import registry_file

NET_CLASS_KEY = (r"HKLM\System\CurrentControlSet\Control\Class"
                 r"\{4d36e972-e325-11ce-bfc1-08002be10318}")
AEDEBUG_KEY = r"HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug"
WINE_DRIVERS_KEY = r"HKCU\Software\Wine\Drivers"

# A wine call that does not end within this time has hung.
CALL_TIMEOUT = 120


class WineError(Exception):
    pass


def drive_c_path(root, windows_path):
    """The Linux path of a path on drive C: of a prefix or machine image."""
    drive, _, rest = windows_path.partition(":")
    if drive.upper() != "C":
        raise ValueError("only drive C: is mapped: " + windows_path)
    return os.path.join(root, "drive_c", *[part for part in rest.split("\\") if part])


def wine_environment(prefix, trace):
    env = dict(os.environ)
    # Without a display a message box returns at once instead of waiting.
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    env["WINEPREFIX"] = prefix
    env["WINEDEBUG"] = trace or "-all"
    env["WINEDLLOVERRIDES"] = "mscoree,mshtml="
    env["WINEARCH"] = "win64"
    return env


class Prefix:
    """One Wine prefix and its running server."""

    def __init__(self, root, trace=None):
        self.root = root
        self.env = wine_environment(root, trace)

    def host_path(self, windows_path):
        return drive_c_path(self.root, windows_path)

    def run(self, args, cwd=None, timeout=CALL_TIMEOUT, debug=None, native_dlls=()):
        """`debug` replaces WINEDEBUG for this call; `native_dlls` are loaded
        from the program's folder instead of Wine's own."""
        env = self.env
        if debug:
            env = dict(env, WINEDEBUG=debug)
        if native_dlls:
            overrides = ";".join([env["WINEDLLOVERRIDES"]] +
                                 ["%s=n,b" % name for name in native_dlls])
            env = dict(env, WINEDLLOVERRIDES=overrides)
        # Output goes to files, not pipes: the services a call starts inherit
        # its output handles, and a pipe would then not end with the call.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            try:
                process = subprocess.run(args, env=env, cwd=cwd, stdin=subprocess.DEVNULL,
                                         stdout=out, stderr=err, timeout=timeout)
            except subprocess.TimeoutExpired as error:
                self.stop()
                raise WineError("timed out: " + " ".join(args)) from error
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(args, process.returncode, out.read(), err.read())

    def wine(self, *args, cwd=None, debug=None, native_dlls=()):
        return self.run(["wine", *args], cwd=cwd, debug=debug, native_dlls=native_dlls)

    def checked_wine(self, *args, cwd=None):
        result = self.wine(*args, cwd=cwd)
        if result.returncode != 0:
            raise WineError("wine %s ended with %d: %s" % (
                " ".join(args), result.returncode, result.stderr.decode(errors="replace")))
        return result

    def reg_add(self, key, name, reg_type, data):
        self.checked_wine("reg", "add", key, "/v", name, "/t", reg_type, "/d", data, "/f")

    def import_registry(self, keys):
        """Loads (key, {name: value}) pairs with one regedit call."""
        windows_path = r"C:\cvl-import.reg"
        host = self.host_path(windows_path)
        with open(host, "wb") as file:
            file.write(registry_file.encode(registry_file.registry_text(keys)))
        try:
            self.checked_wine("regedit", "/S", windows_path)
        finally:
            os.remove(host)

    def export_registry(self, key):
        """The keys and values below `key`, parsed, in the registry's order."""
        windows_path = r"C:\cvl-export.reg"
        self.checked_wine("reg", "export", key, windows_path, "/y")
        host = self.host_path(windows_path)
        try:
            with open(host, "rb") as file:
                return registry_file.parse(registry_file.decode(file.read()))
        finally:
            os.remove(host)

    def reg_query(self, key, name):
        """(type, data text) of a value, or None when it is not there."""
        result = self.wine("reg", "query", key, "/v", name)
        if result.returncode != 0:
            return None
        for line in result.stdout.decode(errors="replace").splitlines():
            if not line.startswith("    "):
                continue
            fields = line.strip().split("    ")
            if len(fields) >= 2 and fields[0].lower() == name.lower():
                return fields[1], (fields[2] if len(fields) > 2 else "")
        return None

    def start_server(self):
        # A persistent server keeps the calls of one scenario quick; the
        # warm-up call keeps the first piped call from hanging on services
        # that inherit its output.
        self.run(["wineserver", "-p"])
        self.wine("cmd", "/c", "exit", "0")

    def stop(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)


def build_template(root, trace=None):
    """A booted prefix with what every scenario expects of the machine."""
    template = Prefix(root, trace)
    booted = template.run(["wineboot", "-i"], timeout=300)
    if booted.returncode != 0:
        raise WineError("wineboot failed: " + booted.stderr.decode(errors="replace"))
    # The network class is listed by name only once its key names it.
    template.reg_add(NET_CLASS_KEY, "Class", "REG_SZ", "Net")
    # No crash dialogs, and no graphics driver for message boxes to wait on.
    template.reg_add(AEDEBUG_KEY, "Debugger", "REG_SZ", "")
    template.reg_add(WINE_DRIVERS_KEY, "Graphics", "REG_SZ", "none")
    template.stop()
    return template


def copy_prefix(template, root, trace=None):
    # A hard-link copy would share files with the template; copy them.
    subprocess.run(["cp", "-a", template.root, root], check=True)
    prefix = Prefix(root, trace)
    prefix.start_server()
    return prefix


def remove_prefix(prefix):
    prefix.stop()
    shutil.rmtree(prefix.root, ignore_errors=True)
