#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora beside this script, one folder per target: realistic
curve files for the reader, writes into them for the writer, and integer texts. Run it again
after changing it; the seeds are kept in the repository so that the targets need nothing else."""

import pathlib
import re

HERE = pathlib.Path(__file__).resolve().parent

ADV = [10, 10, 12, 12, 10, 8, 6, 10, 12, 12, 10, 10, 8]
RPM = [1000 * k for k in range(1, 14)]


def section(name, values, eol="\n", fmt="{k}={v}"):
    lines = [f"[{name}]"] + [fmt.format(k=k, v=v) for k, v in enumerate(values, 1)]
    return eol.join(lines) + eol


def saved(eol="\n"):
    """The file that Save writes from the initial curve."""
    return section("ADV", ADV, eol) + eol + section("RPM", RPM, eol)


def utf16(text, order):
    bom = b"\xff\xfe" if order == "le" else b"\xfe\xff"
    return bom + text.encode("utf-16-" + order)


LONG_VALUE = "7" * 3000

FILES = {
    "saved-lf.ini": saved().encode(),
    "saved-crlf.ini": saved("\r\n").encode(),
    "saved-utf8-bom.ini": b"\xef\xbb\xbf" + saved().encode(),
    "saved-utf16le.ini": utf16(saved("\r\n"), "le"),
    "saved-utf16be.ini": utf16(saved(), "be"),
    "utf16le-stray-byte.ini": utf16(saved("\r\n"), "le") + b"\x0a",
    "utf32le-bom.ini": b"\xff\xfe\x00\x00" + saved().encode("utf-32-le"),
    "empty.ini": b"",
    "no-final-line-end.ini": saved().rstrip("\n").encode(),
    "hand-edited.ini": (
        "; curve for the race engine\n"
        "# tuned on the dyno\n"
        "[General]\n"
        "Engine = 'Quendrix 250'\n"
        "\n"
        "  [ adv ]  \n"
        "1 = 0x0A\n"
        "2\t=\t\"10\"\n"
        "3='$C'\n"
        "  4=  12  \n"
        "; 5=99\n"
        "5=+10\n"
        "[Rpm]\n"
        "1=0X3E8\n"
        "2=x7D0\n"
        "3=-0\n"
        "4=007\n"
        "13=2147483648\n"
    ).encode(),
    "duplicates.ini": (
        "[ADV]\n1=10\n1=30\nA=1\na=2\n"
        "[RPM]\n1=1000\n"
        "[adv]\n1=40\n2=41\n"
        "[ADV]\n3=42\n"
    ).encode(),
    "long-lines.ini": (
        "; " + "x" * 4000 + "\n"
        "[ADV]\n"
        "1=" + LONG_VALUE + "\n"
        "2=\"" + "8" * 2046 + "\"\n"
        + "k" * 2100 + "=3\n"
        "[" + "S" * 1000 + "]\n"
        "1=5\n"
    ).encode(),
    "line-ends.ini": (
        "[ADV]\r\r\n1=10\r\r\n2=11\r3=12\n[RPM]\r1=1000\r2=2000\r"
    ).encode(),
    "cr-only.ini": saved("\r").encode(),
    "odd-lines.ini": (
        "1=before any section\n"
        "[ADV\n"
        "1=5\n"
        "[ADV]]\n"
        "2=6\n"
        "[ADV]\n"
        "1\n"
        "3=1\x000\n"
        "\v4=\f13\f\n"
        "=no name\n"
        "[]\n"
        "5=empty section\n"
        "[RPM] trailing text\n"
        "1=1000\n"
    ).encode(),
    "foreign-names.ini": (
        "[Zündung]\nWinkel=12°\n[ADV]\n1=10\nÜberdrehzahl=20000\n"
    ).encode(),
    "invalid-utf8.ini": b"[ADV]\n1=1\xff\xfe0\n2=\xc3(\n[RPM\xe2\x82]\n1=1000\n",
    # Ctrl-Z, the end mark of DOS-era files, around names, values and a header.
    "ctrl-z.ini": b"\x1a[ADV]\n1\x1a=10\n2=\x1a11\x1a\n3\x1a\n3=12\n[RPM]\n13=6500\x1a",
    "nul-in-names.ini": b"[ADV\x00x]\n1\x00=10\n2 \x00=11\n3\x00\n[RPM\x00\n1=1000\n",
    "utf32be-bom.ini": b"\x00\x00\xfe\xff" + saved().encode("utf-32-be"),
    "bom-inside-utf8.ini": (
        "\ufeff[ADV]\n\ufeff1=45\n2=\ufeff46\ufeff\n[\ufeffRPM]\n1=1000\n"
    ).encode(),
    # Bytes that are no whole UTF-8 character at the end of a value, a key or a section name,
    # as files in another encoding have them.
    "ansi-ends-value.ini": b"[RPM]\n3=1\xe5\n",
    "ansi-after-digits.ini": b"[ADV]\n1=10\xe9\n",
    "utf8-bom-cut-short.ini": b"\xef\xbb\xbf[RPM]\n3=1\xe5\n",
    "ansi-ends-key.ini": b"[ADV]\n1\xe9=10\n2=1\xe5\n",
    "ansi-ends-section.ini": b"[ADV\xef]\n1=10\n",
}

# (file state, section, key, value, file): file states as the writer fuzzer reads its first byte.
WRITES = [
    ("0", "ADV", "1", "20", "saved-lf.ini"),
    ("0", "RPM", "13", "15000", "saved-crlf.ini"),
    ("0", "ADV", "14", "5", "saved-utf8-bom.ini"),
    ("0", "RPM", "2", "2500", "saved-utf16le.ini"),
    ("0", "Extra", "Name", " 'quoted' ", "saved-utf16be.ini"),
    ("0", "ADV", "3", "11", "utf16le-stray-byte.ini"),
    ("0", "ADV", "1", "10", "utf32le-bom.ini"),
    ("0", "ADV", "1", "10", "empty.ini"),
    ("2", "ADV", "1", "10", "empty.ini"),
    ("0", "RPM", "14", "1", "no-final-line-end.ini"),
    ("0", "  adv ", " 6 ", "\"  7 \"", "hand-edited.ini"),
    ("0", "General", "engine", "Quendrix 300", "hand-edited.ini"),
    ("0", "adv", "A", "3", "duplicates.ini"),
    ("0", "ADV", "2", "9" * 2100, "long-lines.ini"),
    ("0", "ADV", "2", "12", "line-ends.ini"),
    ("0", "RPM", "3", "3000", "cr-only.ini"),
    ("0", "ADV", "1", "15", "odd-lines.ini"),
    ("0", "Zündung", "Winkel", "14°", "foreign-names.ini"),
    ("0", "ADV", "2", "12", "invalid-utf8.ini"),
    ("0", "ADV", "a=b", "1", "saved-lf.ini"),
    ("0", "A]B", "1", "1", "saved-lf.ini"),
    ("0", "ADV", "1", "1\n2", "saved-lf.ini"),
    ("0", "ADV", ";1", "1", "saved-lf.ini"),
    ("3", "ADV", "1", "20", "saved-lf.ini"),
    ("8", "", "", "", "saved-lf.ini"),
    ("<", "ADV", "1", "20", "saved-lf.ini"),
    ("0", "ADV", "3", "12", "ctrl-z.ini"),
    ("0", "ADV", "2", "12", "nul-in-names.ini"),
    ("0", "RPM", "1", "1000", "utf32be-bom.ini"),
    ("0", "RPM", "1", "\ufeff1000", "bom-inside-utf8.ini"),
    ("0", "RPM", "3", "3000", "ansi-ends-value.ini"),
    ("0", "ADV", "1", "12", "ansi-after-digits.ini"),
    ("0", "RPM", "3", "3000", "utf8-bom-cut-short.ini"),
    ("0", "ADV", "1", "10", "ansi-ends-key.ini"),
    ("0", "ADV", "1\u00e9", "7", "ansi-ends-key.ini"),
    ("0", "ADV", "1", "10", "ansi-ends-section.ini"),
]

INTEGERS = [
    "0", "-0", "007", "+12", "   12", "-2147483648", "2147483647", "2147483648",
    "-2147483649", "$1F4", "0x1F4", "0X1f4", "x7FFFFFFF", "X80000000", "$FFFFFFFF",
    "-$80000000", "$100000000", "$000000001", "12 ", "1.5", "1,5", "", "-", "+", "$",
    "0x", "+-1", "\t12", "12\n", "１２", "\u00a012", "99999999999999999999",
]


def escaped(text):
    """A string as the writer fuzzer reads it: backslashes doubled, ended by a backslash and one
    more character."""
    return text.encode().replace(b"\\", b"\\\\") + b"\\|"


def refill(folder):
    """The folder, emptied of the seeds this script makes (named with two digits first); the
    inputs moved in from fuzz/findings once fixed stay."""
    path = HERE / folder
    path.mkdir(exist_ok=True)
    for seed in path.iterdir():
        if re.match(r"\d\d-", seed.name):
            seed.unlink()
    return path


def main():
    reader = refill("ProfileReaderFuzzer")
    for name, data in FILES.items():
        (reader / name).write_bytes(data)

    writer = refill("ProfileWriterFuzzer")
    for i, (state, sec, key, value, name) in enumerate(WRITES):
        data = state.encode() + escaped(sec) + escaped(key) + escaped(value) + FILES[name]
        (writer / f"{i:02d}-{pathlib.Path(name).stem}").write_bytes(data)

    integer = refill("IntegerTextFuzzer")
    for i, text in enumerate(INTEGERS):
        (integer / f"{i:02d}").write_bytes(text.encode())
    # The same texts as UTF-16 code units, after a NUL byte, and one lone surrogate.
    for i, text in enumerate(INTEGERS[:8]):
        (integer / f"utf16-{i:02d}").write_bytes(b"\0" + text.encode("utf-16-le"))
    (integer / "utf16-lone-surrogate").write_bytes(b"\0" + "1".encode("utf-16-le") + b"\x00\xd8")


if __name__ == "__main__":
    main()
