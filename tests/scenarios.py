#!/usr/bin/env python3
"""The rows of scenarios.json on a console front-end: the native kovalt, or Kovalt.exe under
Wine. Each row's save is made in a scratch folder beside an older output.sav, the run is
staged as the row says, and its exact bytes on standard output, its exit status and the
folder afterwards are compared with the row. The expected dialogue is the table's own,
never the tool's catalogue. web/page_test.py runs the same rows on the page.

usage: scenarios.py kovalt KOVALT MAKE_SAMPLE SHIM
       scenarios.py Kovalt.exe KOVALT_EXE MAKE_SAMPLE WINE WINEPREFIX
Exits 77 (skipped) where Kovalt.exe or Wine is missing, unless KOVALT_REQUIRE_ALL is set.
"""
import json
import os
import pathlib
import resource
import signal
import socket
import subprocess
import sys
import tempfile
import unittest

HERE = pathlib.Path(__file__).resolve().parent
TABLE = json.loads((HERE / "scenarios.json").read_text(encoding="utf-8"))
COPY = 74276
OLDER = b"x" * 300000  # an older output.sav, longer than the image


def dialogue(lines):
    """The row's lines, each "@name" standing for the table's lines of that name."""
    expanded = []
    for line in lines:
        expanded += dialogue(TABLE["dialogue"][line[1:]]) if line.startswith("@") else [line]
    return expanded


def reset(save):
    """What the tool must write: both reset-state bytes cleared, both copies resealed so
    that their little-endian 16-bit words sum to 0."""
    image = bytearray(save)
    for start in (0, COPY):
        image[start + 7359] = 0
        image[start + 74272:start + 74274] = b"\0\0"
        total = sum(int.from_bytes(image[at:at + 2], "little") for at in range(start, start + COPY, 2))
        image[start + 74272:start + 74274] = (-total & 0xFFFF).to_bytes(2, "little")
    return bytes(image)


def make_save(name, path, make_sample):
    """The save of that recipe at the path, or in the same folder under the name the recipe
    puts it in, with the links it names."""
    recipe = TABLE["saves"][name]
    home = path.with_name(recipe.get("in", path.name))
    if "symlink" in recipe:
        os.symlink(home.name, path.with_name(recipe["symlink"]))
    if "sample" in recipe:
        subprocess.run([make_sample, str(recipe["sample"]), str(home)], check=True)
    elif "length" in recipe:
        with open(path, "wb") as zeros:  # sparse, so that gigabytes cost nothing
            zeros.truncate(recipe["length"])
    elif "folder" in recipe:
        os.mkdir(path)
    elif "fifo" in recipe:
        os.mkfifo(path)
    elif "socket" in recipe:
        with socket.socket(socket.AF_UNIX) as bound:
            bound.bind(str(path))
    else:
        os.symlink(recipe["link"], path)
    if "hardlink" in recipe:
        os.link(home, path.with_name(recipe["hardlink"]))
    if "flip" in recipe:
        data = bytearray(home.read_bytes())
        data[recipe["flip"]] ^= 1
        home.write_bytes(bytes(data))


class Scenarios(unittest.TestCase):
    def test_every_row(self):
        for row in TABLE["scenarios"]:
            if FRONT_END in row.get("on", ["kovalt", "Kovalt.exe", "page"]):
                with self.subTest(row["name"]), tempfile.TemporaryDirectory() as folder:
                    self.check(row, pathlib.Path(folder))

    def check(self, row, folder):
        save, output = folder / "savedata.sav", folder / "output.sav"
        if row["save"]:
            make_save(row["save"], save, MAKE_SAMPLE)
        if not output.exists():
            output.write_bytes(OLDER)
        older = output.read_bytes()
        before = save.read_bytes() if "sample" in TABLE["saves"].get(row["save"], {}) else None
        staged = row.get("staged", {})
        shown, status = run(folder, staged)
        if row["says"] is not None:
            expected = "".join(line + "\n" for line in dialogue(row["says"])).encode("cp932")
            self.assertEqual(shown, expected.replace(b"\n", b"\r\n") if FRONT_END == "Kovalt.exe" else expected)
        self.assertEqual(status, -getattr(signal, row["status"]) if isinstance(row["status"], str) else row["status"])
        self.assertEqual(sorted(os.listdir(folder)), ["output.sav"] + (["savedata.sav"] if row["save"] else []))
        self.assertFalse(output.is_symlink())
        # The tool never writes the save; a writer that the shim stages does.
        writer = "KOVALT_STORE_AT_READ" in staged.get("environment", {})
        self.assertTrue(before is None or writer or save.read_bytes() == before, "the save changed")
        wanted = reset(before) if row["output"] == "reset" else older
        self.assertTrue(output.read_bytes() == wanted, f"output.sav is not the {row['output']} one")
        if "mode" in row and FRONT_END == "kovalt":  # a new file's, less the umask
            self.assertEqual(f"{output.stat().st_mode & 0o777:o}", row["mode"])


def run(folder, staged):
    """Standard output's bytes (None where nobody read them) and the exit status, or minus
    the signal that ended the run."""
    environment = dict(os.environ)
    if FRONT_END == "kovalt":
        command = [PROGRAM, "ignored-argument"]
        if "environment" in staged:
            environment.update(LD_PRELOAD=EXTRA[0], ASAN_OPTIONS="verify_asan_link_order=0", **staged["environment"])
    else:
        command = [EXTRA[0], PROGRAM, "ignored-argument"]
        environment.update(WINEPREFIX=EXTRA[1], WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")

    def limits():
        if "fileSizeLimit" in staged:
            resource.setrlimit(resource.RLIMIT_FSIZE, (staged["fileSizeLimit"],) * 2)
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN if staged.get("ignoreFileSizeSignal") else signal.SIG_DFL)

    stdout = subprocess.PIPE
    if staged.get("readerGone"):
        reader, stdout = os.pipe()
        os.close(reader)
    child = subprocess.Popen(command, cwd=folder, stdin=subprocess.DEVNULL, stdout=stdout, env=environment,
                             umask=int(staged.get("umask", "022"), 8), preexec_fn=limits, start_new_session=True)
    if stdout != subprocess.PIPE:
        os.close(stdout)
    shown, _ = child.communicate(timeout=20)
    return shown, child.returncode


if __name__ == "__main__":
    FRONT_END, PROGRAM, MAKE_SAMPLE, *EXTRA = sys.argv[1:]
    if not os.path.exists(PROGRAM) or (FRONT_END == "Kovalt.exe" and not os.path.exists(EXTRA[0])):
        print(f"cannot run {PROGRAM}: Kovalt.exe needs MinGW-w64 and Wine (Debian: apt-get install "
              "g++-mingw-w64-x86-64 wine64)", file=sys.stderr)
        sys.exit(1 if os.environ.get("KOVALT_REQUIRE_ALL") else 77)
    unittest.main(argv=sys.argv[:1], verbosity=2)
