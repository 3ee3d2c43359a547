"""Registry files in regedit's format, both ways: the text that loads keys
into a Wine prefix or a machine image, and the keys and values of an export
read back in their order."""

import re

HEADER = "Windows Registry Editor Version 5.00"
HIVE_NAMES = {"HKCU": "HKEY_CURRENT_USER", "HKLM": "HKEY_LOCAL_MACHINE"}

REG_SZ = "REG_SZ"
REG_DWORD = "REG_DWORD"
REG_MULTI_SZ = "REG_MULTI_SZ"
REG_BINARY = "REG_BINARY"

_HEX_TYPES = {"hex": REG_BINARY, "hex(7)": REG_MULTI_SZ}
_VALUE_LINE = re.compile(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$')


def full_key(key):
    """HKLM\\... and HKCU\\... spelled out as regedit writes them."""
    hive, _, rest = key.partition("\\")
    return HIVE_NAMES.get(hive.upper(), hive) + ("\\" + rest if rest else "")


def _quoted(text):
    return '"%s"' % text.replace("\\", "\\\\").replace('"', '\\"')


def _hex(data):
    return ",".join("%02x" % byte for byte in data)


def format_value(name, value):
    """One value line. `value` is a text (REG_SZ), a number (REG_DWORD), a
    list of texts (REG_MULTI_SZ) or bytes (REG_BINARY)."""
    if isinstance(value, bool) or not isinstance(value, (str, int, list, tuple, bytes)):
        raise TypeError("no registry type for %r" % (value,))
    if isinstance(value, bytes):
        data = "hex:" + _hex(value)
    elif isinstance(value, str):
        data = _quoted(value)
    elif isinstance(value, int):
        data = "dword:%08x" % value
    else:
        data = "hex(7):" + _hex("".join(text + "\0" for text in value).encode("utf-16-le") +
                                b"\0\0")
    return "%s=%s" % (_quoted(name), data)


def registry_text(keys):
    """The file for `keys`, a list of (key, {name: value}) in order."""
    lines = [HEADER, ""]
    for key, values in keys:
        lines.append("[%s]" % full_key(key))
        lines.extend(format_value(name, value) for name, value in values.items())
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


def encode(text):
    """regedit's own encoding: UTF-16LE with a byte-order mark. (An ANSI file
    would make Wine read hex(7) data as ANSI bytes.)"""
    return b"\xff\xfe" + text.encode("utf-16-le")


def decode(data):
    if data[:2] == b"\xff\xfe":
        return data[2:].decode("utf-16-le")
    return data.decode("utf-8-sig")


def _unquote(text):
    return re.sub(r"\\(.)", r"\1", text[1:-1])


def _parse_data(data):
    """(type, value) of a value's data as an export writes it."""
    if data.startswith('"'):
        return REG_SZ, _unquote(data)
    if data.startswith("dword:"):
        return REG_DWORD, int(data[6:], 16)
    kind, _, digits = data.partition(":")
    raw = bytes(int(byte, 16) for byte in digits.split(",") if byte.strip())
    if _HEX_TYPES.get(kind) == REG_MULTI_SZ:
        texts = raw.decode("utf-16-le").split("\0")
        return REG_MULTI_SZ, texts[:texts.index("")] if "" in texts else texts
    return _HEX_TYPES.get(kind, kind), raw


def parse(text):
    """[(key, {lower-case name: (name, type, value)})] in the file's order;
    the key as written (full hive name)."""
    keys = []
    values = None
    pending = ""
    for line in text.splitlines():
        line = pending + line.strip()
        if line.endswith("\\") and not line.startswith("["):
            pending = line[:-1]
            continue
        pending = ""
        if line.startswith("[") and line.endswith("]"):
            values = {}
            keys.append((line[1:-1], values))
            continue
        match = _VALUE_LINE.match(line)
        if match and values is not None:
            name = "" if match.group(1) == "@" else _unquote(match.group(1))
            values[name.lower()] = (name,) + _parse_data(match.group(2))
    return keys


def find_value(keys, key, name):
    """(type, value) of one value in parsed keys, or None."""
    wanted = full_key(key).lower()
    for path, values in keys:
        if path.lower() == wanted and name.lower() in values:
            return values[name.lower()][1:]
    return None
