"""Runs in a folder where someone left a Unix symbolic link under the name of
a file the program writes, leading to a file elsewhere on drive C. Wine shows
the link as the file it leads to, so a program that opens the name and
truncates it writes the guarded file; one that makes its file fresh and
renames it over the name replaces the link and leaves the guarded file as it
was."""

import os

import scenarios

GUARDED = r"C:\windows\guarded\settings.ini"
GUARDED_TEXT = b"[guarded]\r\n"
COMPLETED = scenarios.APP_DIR + r"\Completed.txt"


def plant_link(context, windows_path):
    target = context.prefix.host_path(GUARDED)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    with open(target, "wb") as guarded:
        guarded.write(GUARDED_TEXT)
    link = context.prefix.host_path(windows_path)
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(target, link)
    return link


def linked_file_scenario(written, args, want):
    """`written` gives the file the run makes from the context; `want` is
    the bytes it must hold afterwards."""
    def run(context):
        path = written(context)
        link = plant_link(context, path)
        code = context.prefix.wine(scenarios.EXE, *args,
                                   cwd=context.prefix.host_path(scenarios.APP_DIR)).returncode
        context.expect_equal(code, 0, "exit code")
        with open(context.prefix.host_path(GUARDED), "rb") as guarded:
            context.expect_equal(guarded.read(), GUARDED_TEXT, "the file the link led to")
        context.expect(not os.path.islink(link), "%s is still a link" % path)
        context.expect_equal(context.take_file(path), want, path)
    return run


def all_scenarios():
    return [
        ("link under the log's name",
         linked_file_scenario(lambda context: context.log_path(scenarios.APP_DIR), ["/hwscan"],
                              scenarios.log_of("Scan Hardware Change...", "Exit code: = 0"))),
        ("link under Completed.txt",
         linked_file_scenario(lambda context: COMPLETED, ["/dnicdrv", "/nicid", "{x}"],
                              b"Disabled NIC")),
    ]
