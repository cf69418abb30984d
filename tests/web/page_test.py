#!/usr/bin/env python3
"""Kovalt.html in a real browser: Debian's headless Chromium, driven by Selenium through
Debian's chromedriver, opens the page from file:// and is given synthetic saves through
the page's own file input. Each run must show the very lines that the native kovalt
prints for that file, and a valid save must come out as the very bytes of kovalt's
output.sav, through the File System Access API and as a download alike. The page must
fetch nothing, and its policy must refuse a connection.

usage: page_test.py PAGE KOVALT MAKE_SAMPLE
Exits 77 (skipped) where Chromium, chromedriver or Selenium is missing, unless
KOVALT_REQUIRE_ALL is set (CI), where that is a failure. Prints the time from choosing
a valid save to output.sav being offered, the median of 20.
"""
import base64
import json
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import unittest

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
IMAGE_SIZE = 262144
PAGE, KOVALT, MAKE_SAMPLE = (sys.argv[1:4] + [""] * 3)[:3]

# Stand-ins for the pickers that a headless browser cannot show: each records what the
# page asked of it, and the save picker keeps the bytes the page writes.
PICKERS = """
window.picked = {};
window.showSaveFilePicker = async (options) => {
  picked.saveOptions = options;
  const parts = [];
  return { name: options.suggestedName, createWritable: async () => ({
    write: async (part) => { parts.push(part); },
    close: async () => { picked.bytes = Array.from(new Uint8Array(await new Blob(parts).arrayBuffer())); },
  }) };
};
window.showOpenFilePicker = async () => {
  const file = new File([Uint8Array.from(atob(picked.toOpen), (c) => c.charCodeAt(0))], "savedata.sav");
  picked.openHandle = { kind: "file", name: "savedata.sav", getFile: async () => file };
  return [picked.openHandle];
};
"""
NO_PICKERS = "delete window.showSaveFilePicker; delete window.showOpenFilePicker;"


def missing():
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "no Selenium (Debian: apt-get install python3-selenium)"
    for program, package in ((CHROMIUM, "chromium"), (CHROMEDRIVER, "chromium-driver")):
        if not os.access(program, os.X_OK):
            return f"no {program} (Debian: apt-get install {package})"
    if not os.path.exists(PAGE):
        return f"no page at {PAGE}: Emscripten is missing (Debian: apt-get install emscripten)"
    return None


def native_run(save):
    """The dialogue's lines and output.sav, or None, as the native kovalt gives them."""
    with tempfile.TemporaryDirectory() as folder:
        shutil.copy(save, os.path.join(folder, "savedata.sav"))
        shown = subprocess.run([KOVALT], cwd=folder, stdin=subprocess.DEVNULL,
                               capture_output=True, start_new_session=True).stdout
        output = pathlib.Path(folder, "output.sav")
        return shown.decode("cp932").split("\n")[:-1], output.read_bytes() if output.exists() else None


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
        cls.scratch = tempfile.TemporaryDirectory()
        cls.downloads = os.path.join(cls.scratch.name, "downloads")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                         "--no-first-run", "--disable-background-networking",
                         "--disable-component-update", "--disable-sync",
                         f"--user-data-dir={cls.scratch.name}/profile"):
            options.add_argument(argument)
        options.add_experimental_option("prefs", {"download.default_directory": cls.downloads,
                                                  "download.prompt_for_download": False})
        options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
        cls.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        cls.url = pathlib.Path(PAGE).resolve().as_uri()

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        cls.scratch.cleanup()

    def open_page(self, script=PICKERS):
        self.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": script})
        self.driver.get(self.url)
        self.wait_for("document.body.dataset.ready === 'yes'")

    def wait_for(self, condition, seconds=10):
        deadline = time.monotonic() + seconds
        while not self.driver.execute_script(f"return {condition};"):
            self.assertLess(time.monotonic(), deadline, f"never: {condition}")
            time.sleep(0.01)

    def save_file(self, name, length, change=None):
        path = os.path.join(self.scratch.name, name)
        if length == IMAGE_SIZE:
            subprocess.run([MAKE_SAMPLE, "7", path], check=True)
        else:
            with open(path, "wb") as file:
                file.truncate(length)  # sparse: a file of gigabytes costs nothing
        if change is not None:
            with open(path, "r+b") as file:
                file.seek(change)
                byte = file.read(1)
                file.seek(change)
                file.write(bytes([byte[0] ^ 1]))
        return path

    def choose(self, path):
        """Chooses the file through the page's input; returns the status and the lines."""
        from selenium.webdriver.common.by import By
        self.driver.execute_script("delete document.body.dataset.status;")
        self.driver.find_element(By.ID, "file").send_keys(path)
        self.wait_for("document.body.dataset.status !== undefined")
        lines = self.driver.execute_script(
            "return [...document.querySelectorAll('#dialogue .line')].map((l) => l.textContent);")
        meanings = self.driver.execute_script(
            "return [...document.querySelectorAll('#dialogue .en')].map((m) => m.textContent);")
        offered = self.driver.execute_script("return !document.getElementById('save').hidden;")
        return int(self.driver.execute_script("return document.body.dataset.status;")), lines, meanings, offered

    def click(self, element_id):
        from selenium.webdriver.common.by import By
        self.driver.find_element(By.ID, element_id).click()

    def test_valid_save_comes_out_as_the_native_tools_output(self):
        self.open_page()
        save = self.save_file("valid.sav", IMAGE_SIZE)
        expected_lines, expected_output = native_run(save)
        status, lines, meanings, offered = self.choose(save)
        self.assertEqual((status, lines, offered), (0, expected_lines, True))
        self.assertTrue(all(meanings[i] for i, line in enumerate(lines) if line), meanings)
        self.click("save")
        self.wait_for("picked.bytes !== undefined")
        self.assertEqual(bytes(self.driver.execute_script("return picked.bytes;")), expected_output)
        self.assertEqual(self.driver.execute_script("return picked.saveOptions;"),
                         {"suggestedName": "output.sav"})
        # Opened through the open picker, the save picker starts in that save's folder.
        self.driver.execute_script("picked.toOpen = arguments[0];",
                                   base64.b64encode(pathlib.Path(save).read_bytes()).decode())
        self.click("choose")
        self.wait_for("document.body.dataset.status === '0' && !document.getElementById('save').hidden")
        self.driver.execute_script("delete picked.bytes;")
        self.click("save")
        self.wait_for("picked.bytes !== undefined")
        self.assertTrue(self.driver.execute_script("return picked.saveOptions.startIn === picked.openHandle;"))
        self.assertEqual(bytes(self.driver.execute_script("return picked.bytes;")), expected_output)
        self.print_time_to_offer(save)

    def test_without_the_file_system_access_api_it_downloads(self):
        self.open_page(NO_PICKERS)
        save = self.save_file("valid.sav", IMAGE_SIZE)
        self.assertEqual(self.choose(save)[0], 0)
        self.click("save")
        downloaded = pathlib.Path(self.downloads, "output.sav")
        deadline = time.monotonic() + 10
        while not downloaded.exists():
            self.assertLess(time.monotonic(), deadline, "no output.sav downloaded")
            time.sleep(0.05)
        self.assertEqual(downloaded.read_bytes(), native_run(save)[1])

    def test_refusals_show_the_native_lines_and_offer_nothing(self):
        self.open_page()
        for name, length, change in (("long.sav", IMAGE_SIZE + 1, None), ("empty.sav", 0, None),
                                     ("huge.sav", 4294967297, None),
                                     ("spoiled.sav", IMAGE_SIZE, 100)):
            with self.subTest(name):
                save = self.save_file(name, length, change)
                status, lines, _, offered = self.choose(save)
                self.assertEqual((status, lines, offered), (1, native_run(save)[0], False))
                self.assertTrue(lines[-2].startswith("Error: "), lines)
                verdict = self.driver.execute_script("return document.getElementById('verdict').textContent;")
                self.assertIn("別のセーブデータを使ってください", verdict)

    def test_nothing_is_fetched_and_the_policy_refuses_connections(self):
        self.driver.get_log("performance")  # what earlier tests left
        self.open_page()
        self.choose(self.save_file("valid.sav", IMAGE_SIZE))
        refused = self.driver.execute_async_script("""
            const done = arguments[0];
            const seen = [];
            document.addEventListener("securitypolicyviolation", (e) => seen.push(e.violatedDirective));
            fetch("http://127.0.0.1:9/").then(() => done(["fetched"]), () => setTimeout(() => done(seen), 100));
        """)
        self.assertEqual(refused, ["connect-src"])
        requested = {json.loads(entry["message"])["message"]["params"]["request"]["url"]
                     for entry in self.driver.get_log("performance")
                     if '"Network.requestWillBeSent"' in entry["message"]}
        self.assertEqual(requested, {self.url})
        self.assertEqual(self.driver.execute_script(
            "return performance.getEntriesByType('resource').length;"), 0)

    def test_every_control_has_a_label(self):
        self.open_page()
        unnamed = self.driver.execute_script("""
            return [...document.querySelectorAll('button, input')].filter((control) =>
                !(control.labels && control.labels.length) && !control.textContent.trim()).map((c) => c.id);
        """)
        self.assertEqual(unnamed, [])

    def print_time_to_offer(self, save):
        times = []
        for _ in range(20):
            start = time.perf_counter()
            self.assertEqual(self.choose(save)[3], True)
            times.append(time.perf_counter() - start)
        print(f"\nfrom choosing a valid save to output.sav offered: median of 20 "
              f"{statistics.median(times) * 1000:.1f} ms; page {os.path.getsize(PAGE)} bytes",
              file=sys.stderr)


if __name__ == "__main__":
    reason = missing()
    if reason:
        print(reason, file=sys.stderr)
        sys.exit(1 if os.environ.get("KOVALT_REQUIRE_ALL") else 77)
    unittest.main(argv=sys.argv[:1], verbosity=2)
