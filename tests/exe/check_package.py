"""The release zip holds the program folder, with its empty ★MailData, and the Japanese read-me, nothing else;
its Japanese names are marked UTF-8 so that Windows shows them right; the read-me opens right in Notepad
(UTF-8 with a byte-order mark, CR LF); the program in it is the one just built.

    check_package.py ZIP DIST_FOLDER VERSION
"""

import sys
import zipfile

README = "はじめにお読みください.txt"
EXPECTED = {
    "Sorabune/", "Sorabune/Sorabune.exe", "Sorabune/about.html", "Sorabune/Sound/", "Sorabune/Sound/Kouka.mid",
    "Sorabune/★MailData/", README,
}
UTF8_NAMES = 0x800


def problems(path, dist, version):
    with zipfile.ZipFile(path) as archive:
        entries = {entry.filename: entry for entry in archive.infolist()}
        if set(entries) != EXPECTED:
            yield f"entries: missing {sorted(EXPECTED - set(entries))}, unexpected {sorted(set(entries) - EXPECTED)}"
            return
        for name, entry in entries.items():
            if not name.isascii() and not entry.flag_bits & UTF8_NAMES:
                yield f"{name}: name not marked UTF-8"
        readme = archive.read(README)
        if not readme.startswith(b"\xef\xbb\xbf") or readme.count(b"\n") != readme.count(b"\r\n"):
            yield f"{README}: not UTF-8 with a byte-order mark and CR LF line ends"
        if version not in readme.decode("utf-8-sig") or version not in archive.read("Sorabune/about.html").decode():
            yield f"version {version} missing from {README} or about.html"
        with open(f"{dist}/Sorabune.exe", "rb") as built:
            if archive.read("Sorabune/Sorabune.exe") != built.read():
                yield "Sorabune.exe differs from the one in dist/: the zip is out of date"


def main():
    path, dist, version = sys.argv[1:4]
    try:
        found = list(problems(path, dist, version))
    except (OSError, zipfile.BadZipFile) as error:
        found = [str(error)]
    for problem in found:
        print("FAIL", problem)
    print(f"{len(found)} problems in {path}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
