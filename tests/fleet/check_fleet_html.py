#!/usr/bin/env python3
"""The fleet report's HTML page as a browser shows it.

Makes a small fleet from the demo machine (as it is, after the install it
previews, without the driver package, one capture named with markup, and a
folder that is no capture), runs the host runner's fleet preview with the
JSON report on standard output and the page in a file, has Debian's Chromium
load the page headless and dump the document it built, and checks the
totals and the machines' rows in that document against the JSON report.

    tests/fleet/check_fleet_html.py [--host-runner build/cvlsetup-host] [--chromium chromium]
"""

import argparse
import html.parser
import json
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
DEMO = ROOT / "examples" / "machines" / "win7-x64"
SWITCHES = ["/i", "/vistab701", "/f", "drivers\\win7-2017\\netcvl.inf"]
MARKUP_NAME = "pc-<b>0420<i>&amp;'\""  # must show as these very characters
# The runner's own status when a capture cannot be loaded.
SOME_CAPTURE_UNREAD = 65


class Failed(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failed(what)


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, timeout=300, **kwargs)


def make_fleet(runner, fleet):
    fleet.mkdir()
    shutil.copytree(DEMO, fleet / "pc-0417")
    saved = run([runner, "--machine", str(DEMO), "--save", str(fleet / "pc-0418"), "--"]
                + SWITCHES)
    check(saved.returncode == 0, f"saving the installed machine failed: {saved.stderr}")
    shutil.copytree(DEMO, fleet / "pc-0419")
    shutil.rmtree(fleet / "pc-0419" / "drive_c" / "setup" / "drivers" / "win7-2017")
    shutil.copytree(DEMO, fleet / MARKUP_NAME)
    (fleet / "pc-broken").mkdir()
    (fleet / "pc-broken" / "machine.txt").write_text("version = <NT>\n")


class PageReader(html.parser.HTMLParser):
    """The totals rows and the machine rows of the page, as text."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.totals = []      # [outcome, count]
        self.machines = []    # {"class": ..., field: text}
        self.scripts = 0
        self.outside = []     # attributes that would fetch something
        self._open = []       # (tag, classes) of the open elements
        self._field = None    # (where, key) that the text goes to

    def handle_starttag(self, tag, attrs):
        attributes = dict(attrs)
        classes = (attributes.get("class") or "").split()
        if tag == "script":
            self.scripts += 1
        for name in ("src", "href"):
            if name in attributes:
                self.outside.append(f"{tag} {name}={attributes[name]}")
        if tag not in ("meta", "br", "img", "link"):
            self._open.append((tag, classes))
        inside_totals = any(t == "table" and "totals" in c for t, c in self._open)
        if tag == "tr" and inside_totals and any(t == "tbody" for t, _ in self._open):
            self.totals.append(["", ""])
        elif tag == "details" and "machine" in classes:
            self.machines.append({"class": classes, "text": ""})
        if inside_totals and self.totals and tag in ("th", "td"):
            key = "outcome" if "outcome" in classes else "count" if "count" in classes else None
            self._field = ("totals", key) if key else None
        elif self.machines and any(t == "details" for t, _ in self._open):
            for key in ("name", "meaning", "exit-code", "updated", "switched", "removed",
                        "registry", "files", "report", "error", "outcome"):
                if key in classes:
                    self._field = ("machine", key)

    def handle_endtag(self, tag):
        while self._open:
            open_tag, classes = self._open.pop()
            if open_tag == tag:
                break
        if tag in ("th", "td", "span", "b", "pre", "p"):
            self._field = None

    def handle_data(self, data):
        if self._field is None:
            return
        where, key = self._field
        if where == "totals":
            row = self.totals[-1]
            row[0 if key == "outcome" else 1] += data
        else:
            self.machines[-1][key] = self.machines[-1].get(key, "") + data


def dump_dom(chromium, page, profile):
    dumped = run([chromium, "--headless", "--no-sandbox", "--disable-gpu",
                  "--no-first-run", f"--user-data-dir={profile}", "--dump-dom",
                  page.as_uri()])
    check(dumped.returncode == 0, f"chromium failed ({dumped.returncode}): {dumped.stderr[-2000:]}")
    check("<details" in dumped.stdout, f"chromium gave no document: {dumped.stdout[:500]}")
    return dumped.stdout


def check_page(document, report):
    reader = PageReader()
    reader.feed(document)
    check(reader.scripts == 0, "the page holds a script")
    check(not reader.outside, f"the page refers to other files: {reader.outside}")

    expected_totals = [[t["outcome"], str(t["machines"])] for t in report["totals"]]
    shown_totals = [[o.strip(), c.strip()] for o, c in reader.totals]
    check(shown_totals == expected_totals,
          f"totals shown {shown_totals}, the JSON report has {expected_totals}")
    check(len(expected_totals) >= 3, f"the fleet should give three outcomes: {expected_totals}")

    machines = report["machines"]
    check([m.get("name") for m in reader.machines] == [m["name"] for m in machines],
          f"rows {[m.get('name') for m in reader.machines]}, "
          f"JSON {[m['name'] for m in machines]}")
    check(any(m["name"] == MARKUP_NAME for m in machines),
          "the capture named with markup is not shown by its name")

    for row, machine in zip(reader.machines, machines):
        name = machine["name"]
        if machine["exitCode"] is None:
            check(row.get("error", "").strip() == machine["error"],
                  f"{name}: error shown {row.get('error')!r}, JSON {machine['error']!r}")
            check(row.get("outcome", "").strip() == machine["outcome"],
                  f"{name}: outcome shown {row.get('outcome')!r}")
            continue
        shown = {key: row.get(key, "").strip() for key in
                 ("exit-code", "meaning", "updated", "switched", "removed", "registry", "files")}
        expected = {"exit-code": str(machine["exitCode"]), "meaning": machine["meaning"],
                    "updated": str(machine["adaptersUpdated"]),
                    "switched": str(machine["adaptersSwitched"]),
                    "removed": str(machine["adaptersRemoved"]),
                    "registry": str(machine["registryChanges"]),
                    "files": str(machine["fileChanges"])}
        check(shown == expected, f"{name}: row {shown}, JSON {expected}")

    # One machine's whole report: every change and log line of its JSON
    # report is in the text its row opens to.
    first = next(m for m in machines if m["name"] == "pc-0417")
    row = reader.machines[machines.index(first)]
    lines = row.get("report", "").splitlines()
    check(lines and lines[0] == f"Exit code: {first['exitCode']}",
          f"pc-0417: the report starts {lines[:1]}")
    expected_lines = first["report"]["changes"] + first["report"]["timeline"]
    expected_lines += first["report"]["installLog"]["lines"]
    missing = [line for line in expected_lines if "  " + line not in lines]
    check(not missing, f"pc-0417: lines of the JSON report not on the page: {missing[:5]}")
    check(first["registryChanges"] > 0 and first["adaptersUpdated"] == 1,
          f"pc-0417: the install should update one adapter: {first}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host-runner", default=str(ROOT / "build" / "cvlsetup-host"))
    parser.add_argument("--chromium", default="chromium")
    arguments = parser.parse_args()
    if shutil.which(arguments.chromium) is None:
        print(f"check_fleet_html: {arguments.chromium} is not installed "
              "(scripts/install-deps.sh installs it)", file=sys.stderr)
        return 1

    with tempfile.TemporaryDirectory(prefix="cvl-fleet-") as scratch:
        scratch = Path(scratch)
        fleet = scratch / "fleet"
        make_fleet(arguments.host_runner, fleet)
        page = scratch / "fleet report.html"
        preview = run([arguments.host_runner, "--fleet", str(fleet), "--report", "json",
                       "--report", "html", str(page), "--"] + SWITCHES)
        try:
            check(preview.returncode == SOME_CAPTURE_UNREAD,
                  f"the fleet run ended with {preview.returncode}: {preview.stderr}")
            report = json.loads(preview.stdout)
            check(report["machineCount"] == 5, f"{report['machineCount']} machines")
            check_page(dump_dom(arguments.chromium, page, scratch / "profile"), report)
        except Failed as failure:
            print(f"check_fleet_html: FAILED: {failure}", file=sys.stderr)
            return 1
    print("check_fleet_html: the page Chromium shows matches the JSON report "
          f"({len(report['machines'])} machines, {len(report['totals'])} outcomes)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
