#!/usr/bin/env python3
"""Checks a release package made by scripts/package.sh: the files it holds
and nothing else, the SHA-256 sums, and each program's PE header and version
resource: the architecture of its folder, the subsystem it must have, and the
project version of CMakeLists.txt in both the fixed and the text version.

    check_package.py [dist/cvlsetup-1.0.0.zip [CMakeLists.txt]]

Without a package it checks dist/cvlsetup-<project version>.zip.

Exits 0 when the package is right, 1 with the findings otherwise."""

import hashlib
import os
import re
import struct
import sys
import zipfile

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

MACHINE_I386 = 0x14C
MACHINE_AMD64 = 0x8664
SUBSYSTEM_GUI = 2
SUBSYSTEM_CONSOLE = 3
RT_VERSION = 16
RT_MANIFEST = 24
FIXED_INFO_SIGNATURE = 0xFEEF04BD

# name -> (machine, PE32+ or not, subsystem, the execution level its
# manifest asks for): cvlsetup changes drivers and needs an administrator;
# the capture only reads the machine and the preview only the image folders
# it is given, and both run as whoever starts them.
PROGRAMS = {
    "x64/cvlsetup.exe": (MACHINE_AMD64, True, SUBSYSTEM_GUI, "requireAdministrator"),
    "x64/cvlcapture.exe": (MACHINE_AMD64, True, SUBSYSTEM_CONSOLE, "asInvoker"),
    "x64/cvlpreview.exe": (MACHINE_AMD64, True, SUBSYSTEM_CONSOLE, "asInvoker"),
    "x86/cvlsetup.exe": (MACHINE_I386, False, SUBSYSTEM_GUI, "requireAdministrator"),
    "x86/cvlcapture.exe": (MACHINE_I386, False, SUBSYSTEM_CONSOLE, "asInvoker"),
    "x86/cvlpreview.exe": (MACHINE_I386, False, SUBSYSTEM_CONSOLE, "asInvoker"),
}
EXECUTION_LEVEL = re.compile(rb'requestedExecutionLevel\s+level="(\w+)"')
# The README's relative links point into docs/, which the package carries
# beside it with the same names.
DOCUMENTS = {"docs/" + name: os.path.join("docs", name)
             for name in sorted(os.listdir(os.path.join(REPO, "docs"))) if name.endswith(".md")}
EXPECTED_FILES = set(PROGRAMS) | set(DOCUMENTS) | {"README.txt", "SHA256SUMS.txt"}
RELATIVE_LINK = re.compile(rb"\]\((?!https?:|mailto:|#)([^)#\s]+)")


def project_version(cmake_lists):
    with open(cmake_lists) as file:
        match = re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", file.read())
    if not match:
        raise ValueError("no project VERSION in " + cmake_lists)
    parts = [int(part) for part in match.group(1).split(".")]
    return tuple(parts + [0] * (4 - len(parts)))


class PeImage:
    """The parts of a PE file the package check needs."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data,
                                                                               pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.pe32_plus = magic == 0x20B
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (112 if self.pe32_plus else 96)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        for index in range(sections):
            at = optional + optional_size + 40 * index
            virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<IIII", data, at + 8)
            self.sections.append((rva, max(virtual_size, raw_size), raw_offset))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("address 0x%x is in no section" % rva)

    def resource(self, resource_type):
        """The bytes of the first resource of `resource_type`."""
        base = self.offset(self.resource_rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for index in range(named + numbered):
                yield struct.unpack_from("<II", self.data, base + directory + 16 + 8 * index)

        for ident, target in entries(0):
            if ident != resource_type:
                continue
            while target & 0x80000000:  # a subdirectory: take its first entry
                target = next(entries(target & 0x7FFFFFFF))[1]
            rva, size = struct.unpack_from("<II", self.data, base + target)
            start = self.offset(rva)
            return self.data[start:start + size]
        raise ValueError("no resource of type %d" % resource_type)


def fixed_version(resource):
    at = resource.find(struct.pack("<I", FIXED_INFO_SIGNATURE))
    if at < 0:
        raise ValueError("no fixed file information")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", resource, at + 8)

    def split(ms, ls):
        return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    return split(file_ms, file_ls), split(product_ms, product_ls)


def text_version(resource, name):
    """A StringFileInfo value: the UTF-16 key, padding, then the text."""
    key = name.encode("utf-16-le") + b"\0\0"
    at = resource.find(key)
    if at < 0:
        return None
    at += len(key)
    at += (4 - at % 4) % 4
    end = at
    while resource[end:end + 2] != b"\0\0":
        end += 2
    return resource[at:end].decode("utf-16-le")


def check(package, version):
    findings = []
    dotted = ".".join(str(part) for part in version)
    with zipfile.ZipFile(package) as archive:
        names = {info.filename for info in archive.infolist() if not info.is_dir()}
        if names != EXPECTED_FILES:
            findings.append("files: missing %s, unexpected %s" % (
                sorted(EXPECTED_FILES - names), sorted(names - EXPECTED_FILES)))
        contents = {name: archive.read(name) for name in names}

    sums = {}
    for line in contents.get("SHA256SUMS.txt", b"").decode().splitlines():
        digest, _, name = line.rstrip("\r").partition("  ")
        sums[name] = digest
    if set(sums) != EXPECTED_FILES - {"SHA256SUMS.txt"}:
        findings.append("SHA256SUMS.txt lists %s" % sorted(sums))
    for name, digest in sums.items():
        if name in contents and hashlib.sha256(contents[name]).hexdigest() != digest:
            findings.append("%s: SHA-256 does not match SHA256SUMS.txt" % name)

    if "README.txt" in contents:
        with open(os.path.join(REPO, "README.md"), "rb") as readme:
            want = readme.read().replace(b"\n", b"\r\n")
        if contents["README.txt"] != want:
            findings.append("README.txt is not README.md with CR LF line ends")
        for target in sorted(set(RELATIVE_LINK.findall(contents["README.txt"]))):
            if target.decode() not in contents:
                findings.append("README.txt links to %s, which the package lacks" % target.decode())
    for name, source in DOCUMENTS.items():
        if name in contents:
            with open(os.path.join(REPO, source), "rb") as document:
                if contents[name] != document.read().replace(b"\n", b"\r\n"):
                    findings.append("%s is not %s with CR LF line ends" % (name, source))

    for name, (machine, pe32_plus, subsystem, level) in sorted(PROGRAMS.items()):
        if name not in contents:
            continue
        try:
            image = PeImage(contents[name])
            if (image.machine, image.pe32_plus, image.subsystem) != (machine, pe32_plus,
                                                                     subsystem):
                findings.append("%s: machine 0x%x, PE32+ %s, subsystem %d" % (
                    name, image.machine, image.pe32_plus, image.subsystem))
            levels = EXECUTION_LEVEL.findall(image.resource(RT_MANIFEST))
            if levels != [level.encode()]:
                findings.append("%s: manifest asks for %s, not %s" % (name, levels, level))
            resource = image.resource(RT_VERSION)
            file_version, product_version = fixed_version(resource)
            if file_version != version or product_version != version:
                findings.append("%s: fixed version %s / %s, project %s" % (
                    name, file_version, product_version, dotted))
            for key in ("FileVersion", "ProductVersion"):
                if text_version(resource, key) != dotted:
                    findings.append("%s: %s is %r, project %s" % (
                        name, key, text_version(resource, key), dotted))
            original = name.rpartition("/")[2]
            if text_version(resource, "OriginalFilename") != original:
                findings.append("%s: OriginalFilename is %r" % (
                    name, text_version(resource, "OriginalFilename")))
        except (ValueError, struct.error) as error:
            findings.append("%s: %s" % (name, error))
    if os.path.basename(package) != "cvlsetup-%d.%d.%d.zip" % version[:3]:
        findings.append("package name %s does not carry version %s" % (
            os.path.basename(package), dotted))
    return findings


def main():
    if len(sys.argv) > 3:
        print(__doc__)
        return 2
    cmake_lists = sys.argv[2] if len(sys.argv) == 3 else os.path.join(REPO, "CMakeLists.txt")
    version = project_version(cmake_lists)
    package = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        REPO, "dist", "cvlsetup-%d.%d.%d.zip" % version[:3])
    if not os.path.isfile(package):
        print("check_package: no package at " + package)
        return 1
    findings = check(package, version)
    for finding in findings:
        print("check_package: " + finding)
    if not findings:
        print("check_package: %s is complete" % package)
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
