#!/usr/bin/env python3
"""Kovalt.html in one browser engine, all from Debian's packages: Chromium through Selenium
and chromedriver, WebKit through Selenium and WebKitWebDriver under Xvfb, Firefox through
puppeteer-core over WebDriver BiDi (firefox_driver.mjs). Every engine runs the page's rows
of ../scenarios.json, the table the console programs run too, with the same page helpers,
page_helpers.js: each run must show the row's exact lines, with their meanings, and offer
exactly the reset of its save, saved by the engine's own path; the policy must refuse what
the page never needs. Prints the time from a valid save chosen to output.sav offered, the
median of 20.

usage: page_test.py chromium|webkit|firefox PAGE MAKE_SAMPLE
Exits 77 (skipped) where the engine or its driver is missing, unless KOVALT_REQUIRE_ALL is
set (CI), where that is a failure.
"""
import base64
import functools
import http.server
import json
import os
import pathlib
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = pathlib.Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent))
from scenarios import TABLE, dialogue, make_save, reset  # noqa: E402

ENGINE, PAGE, MAKE_SAMPLE = (sys.argv[1:4] + [""] * 3)[:3]
PAGE_DATA = TABLE["page"]
HELPERS = (HERE / "page_helpers.js").read_text(encoding="utf-8")
MODULES = HERE.parent.parent / "node_modules"
AXE = MODULES / "axe-core/axe.min.js"
PROGRAMS = {
    "chromium": [("/usr/bin/chromium", "chromium"), ("/usr/bin/chromedriver", "chromium-driver")],
    "webkit": [("/usr/bin/WebKitWebDriver", "webkit2gtk-driver"), ("/usr/bin/xvfb-run", "xvfb")],
    "firefox": [("/usr/bin/firefox-esr", "firefox-esr"), ("/usr/bin/node", "nodejs")],
}
MINIBROWSER = "/usr/lib/x86_64-linux-gnu/webkit2gtk-4.1/MiniBrowser"
ONE_PIXEL_PNG = "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAQAAAC1HAwCAAAAC0lEQVR42mNkYAAAAAYAAjCB0C8AAAAASUVORK5CYII="


def missing():
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "no Selenium (Debian: apt-get install python3-selenium)"
    for program, package in PROGRAMS[ENGINE]:
        if not os.access(program, os.X_OK):
            return f"no {program} (Debian: apt-get install {package})"
    if ENGINE == "firefox" and not (MODULES / "puppeteer-core").is_dir():
        return "no puppeteer-core (bash cmake/install_packages.sh test)"
    if not os.path.exists(PAGE):
        return f"no page at {PAGE}: Emscripten is missing (Debian: apt-get install emscripten)"
    return None


class Selenium:
    """Chromium or WebKit; the downloads go to the folder given."""

    def __init__(self, downloads, profile):
        from selenium import webdriver
        if ENGINE == "chromium":
            from selenium.webdriver.chrome.service import Service
            options = webdriver.ChromeOptions()
            options.binary_location = "/usr/bin/chromium"
            for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-quic",
                             "--no-first-run", "--disable-background-networking",
                             "--disable-component-update", "--disable-sync", f"--user-data-dir={profile}"):
                options.add_argument(argument)
            options.add_experimental_option("prefs", {"download.default_directory": downloads,
                                                      "download.prompt_for_download": False})
            self.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        else:
            options = webdriver.WebKitGTKOptions()
            options.binary_location = MINIBROWSER
            options.add_argument("--automation")
            os.environ["HOME"] = downloads  # where MiniBrowser saves a download
            # Reached as a remote: the WebKitGTK class of Ubuntu 24.04's Selenium cannot
            # start a session.
            from selenium.webdriver.webkitgtk.service import Service
            self.service = Service("/usr/bin/WebKitWebDriver")
            self.service.start()
            self.driver = webdriver.Remote(command_executor=self.service.service_url, options=options)
            # The driver is on this machine: a chosen file goes by its path, not uploaded.
            from selenium.webdriver.remote.file_detector import UselessFileDetector
            self.driver.file_detector = UselessFileDetector()

    def open(self, url):
        self.driver.get(url)

    def resize(self, width):
        self.driver.set_window_size(width, 900)

    def run(self, body, *args):
        value, error = self.driver.execute_async_script(
            "const done = arguments[arguments.length - 1];"
            f"(async (...args) => {{ {body} }})(...[...arguments].slice(0, -1))"
            ".then((value) => done([value, null]), (e) => done([null, String(e)]));",
            *args)
        if error is not None:
            raise RuntimeError(error)
        return value

    def choose(self, path):
        from selenium.webdriver.common.by import By
        self.driver.find_element(By.ID, "file").send_keys(path)

    def click(self, element_id):
        from selenium.webdriver.common.by import By
        self.driver.find_element(By.ID, element_id).click()

    def quit(self):
        self.driver.quit()
        if ENGINE == "webkit":
            self.service.stop()


class Firefox:
    """Firefox through firefox_driver.mjs: each call a command of that name."""

    def __init__(self, downloads, profile):
        self.process = subprocess.Popen(["node", str(HERE / "firefox_driver.mjs"), "/usr/bin/firefox-esr", downloads],
                                        cwd=HERE, stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)

    def send(self, op, **arguments):
        self.process.stdin.write(json.dumps({"op": op, **arguments}) + "\n")
        self.process.stdin.flush()
        answer = json.loads(self.process.stdout.readline() or '{"error": "the driver ended"}')
        if "error" in answer:
            raise RuntimeError(f"{op}: {answer['error']}")
        return answer["value"]

    def open(self, url): self.send("open", url=url)
    def resize(self, width): self.send("resize", width=width)
    def run(self, body, *args): return self.send("run", body=body, args=list(args))
    def choose(self, path): self.send("choose", path=path)
    def click(self, element_id): self.send("click", id=element_id)

    def quit(self):
        self.process.stdin.write('{"op": "quit"}\n')
        self.process.stdin.close()
        self.process.wait(30)


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *_):
        pass


def differing(before, after):
    """The page's list of changed bytes, made independently of the page."""
    return [f"0x{at:05X}: 0x{old:02X} → 0x{new:02X}" for at, (old, new) in enumerate(zip(before, after)) if old != new]


def normalised(line):
    """A line as the meanings table keys it: a length in parentheses stands as N."""
    head, _, tail = line.rpartition(" (")
    return f"{head} (N)" if tail[:-1].lstrip("-").isdigit() else line


class Page(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.folder = pathlib.Path(cls.scratch.name)
        cls.downloads = cls.folder / "downloads"
        cls.downloads.mkdir()
        # The page beside what its policy must refuse to load.
        site = cls.folder / "site"
        site.mkdir()
        shutil.copy(PAGE, site / "Kovalt.html")
        (site / "beside.png").write_bytes(base64.b64decode(ONE_PIXEL_PNG))
        (site / "beside.js").write_text("window.besideRan = true;\n")
        cls.url = (site / "Kovalt.html").as_uri()
        # The same folder from a server on this machine's loopback, for the policy: Firefox
        # lets a file:// page load files beside it whatever its policy says.
        handler = functools.partial(Quiet, directory=str(site))
        cls.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        threading.Thread(target=cls.server.serve_forever, daemon=True).start()
        cls.served = f"http://127.0.0.1:{cls.server.server_port}/Kovalt.html"
        rows = [row for row in TABLE["scenarios"] if "page" in row.get("on", ["page"])]
        used = {row["save"] for row in rows} | {file[1] for row in rows for way in ("choose", "drop")
                                                 for file in row.get("page", {}).get(way, [])}
        cls.saves = {name: cls.folder / f"{name}.bin" for name in used - {None}}
        for name, path in cls.saves.items():
            make_save(name, path, MAKE_SAMPLE)
        cls.engine = (Firefox if ENGINE == "firefox" else Selenium)(str(cls.downloads), str(cls.folder / "profile"))

    @classmethod
    def tearDownClass(cls):
        cls.engine.quit()
        cls.server.shutdown()
        cls.server.server_close()
        cls.scratch.cleanup()

    def open_page(self, width=1000, url=None):
        self.engine.resize(width)
        self.engine.open(url or self.url)
        self.engine.run("while (!['ready', 'unsupported'].includes(document.body.dataset.phase)) {"
                        " await new Promise((done) => setTimeout(done, 10)); }")
        self.engine.run(HELPERS)

    def given(self, name, save):
        """The save under the name the player's file has, in a folder of its own."""
        folder = self.folder / f"given-{time.monotonic_ns()}"
        folder.mkdir()
        shutil.copy(self.saves[save], folder / name)
        return str(folder / name)

    def saved_by_the_engine(self, download=False, presses=1):
        """Presses Save (twice at once, where asked) and returns the bytes that the
        engine's own save path got: the one download, or what the page wrote to output.sav
        in the folder chosen. A held Enter, whose repeats would click again, is held off."""
        press = f"for (let i = 0; i < {presses}; i++) document.getElementById('save').click();"
        held = ("const e = new KeyboardEvent('keydown', { key: 'Enter', repeat: true, cancelable: true });"
                " document.getElementById('save').dispatchEvent(e); return e.defaultPrevented;")
        self.assertTrue(self.engine.run(held), "a held Enter would save again")
        if ENGINE == "chromium" and not download:  # the File System Access API, its picker stood in for
            self.engine.run("kovaltTest.stubFolderPicker();")
            self.engine.run(press)
            folder = self.engine.run("for (let i = 0; i < 500 && !Object.values(window.folder)[0]?.length; i++) {"
                                     " await new Promise((d) => setTimeout(d, 10)); } return [window.folder, window.folderPicks];")
            self.assertEqual([list(folder[0]), folder[1]], [["output.sav"], 1], "one folder picked, only output.sav written")
            saved = bytes(folder[0]["output.sav"])
            seen = self.engine.run("return kovaltTest.observe();")
            self.assertEqual([seen["savedKind"], seen["afterShown"]], ["done", True])
            self.assertIn("フォルダーに output.sav を保存しました", seen["saved"])
            return saved
        downloaded = lambda: [path for path in self.downloads.glob("output*.sav") if path.is_file()]
        for old in downloaded():
            old.unlink()
        self.engine.run(press)
        # What the page can know: that a download started, not that a file was saved; and
        # within a second of it, another press starts no second one.
        seen = self.engine.run("await new Promise((d) => setTimeout(d, 300)); document.getElementById('save').click();"
                               " return kovaltTest.observe();")
        self.assertIn("ダウンロードを始めました", seen["saved"])
        self.assertNotIn("しました。", seen["saved"].replace("始めました。", ""))
        self.assertEqual(seen["savedKind"], "", "a download started is marked as neither saved nor failed")
        for _ in range(1000):
            done = downloaded()
            if done and done[0].stat().st_size == 262144:
                time.sleep(1.5)  # for a second download, were there one
                self.assertEqual(len(downloaded()), 1, "one press, one download")
                return done[0].read_bytes()
            time.sleep(0.01)
        self.fail(f"nothing downloaded: {list(self.downloads.iterdir())}")

    def assert_verdict(self, verdict, expected):
        """Each expected text in the verdict's part of its own language."""
        for text in filter(None, expected.split(" | ")):
            self.assertIn(text, verdict[0] if re.search("[\u3040-\u30ff\u4e00-\u9fff]", text) else verdict[1])

    def test_scenarios(self):
        for row in TABLE["scenarios"]:
            if "page" not in row.get("on", ["page"]):
                continue
            case = {"choose": [["savedata.sav", row["save"]]], **row.get("page", {})}
            with self.subTest(row["name"]):
                self.open_page(case.get("width", 1000))
                if case.get("throws"):
                    self.engine.run("Module._kovaltRun = () => { throw new TypeError('staged'); };")
                for name, save in case["choose"]:
                    self.engine.choose(self.given(name, save))
                if "drop" in case:
                    if case["choose"] and not case.get("dropWhileReading"):
                        self.engine.run("await kovaltTest.settled(args[0]);", case["choose"][-1][0])
                    files = [[name, list(self.saves[save].read_bytes()), *folder] for name, save, *folder in case["drop"]]
                    self.assertEqual(self.engine.run("return kovaltTest.drop(args[0]);", files), [True, True],
                                     "a drop outside the drop area would replace the page")
                # The name the page shows at the end: the last file chosen, or none after a refused drop.
                if "drop" in case:
                    shown = "savedata.sav" if row["says"] else None
                else:
                    shown = case["choose"][-1][0]
                took = self.engine.run("return await kovaltTest.settled(args[0]);", shown)
                self.assertTrue(0 <= took < case.get("within", 10000), f"the verdict after {took} ms")
                seen = self.engine.run("return kovaltTest.observe();")
                expected = [line for line in dialogue(row["says"]) if line]
                self.assertEqual(seen["lines"], expected)
                self.assertEqual(seen["meanings"], [PAGE_DATA["meanings"][normalised(line)] for line in expected])
                offered = row["output"] == "reset"
                self.assertEqual((seen["offered"], seen["afterShown"]), (offered, offered))
                self.assert_verdict(seen["verdict"], case.get("verdict", ""))
                # Green, and the focus on Save, only for a complete run on savedata.sav; a file
                # of another name is the verdict, and said again beside Save.
                complete = offered and shown == "savedata.sav"
                self.assertEqual([seen["verdict"][2], seen["focused"] == "save"], ["done" if complete else "failed", complete])
                self.assertEqual(f"「{shown}」" in seen["named"], offered and not complete)
                self.assertFalse(seen["sideways"], f"wider than the window at {case.get('width', 1000)} px")
                if ENGINE != "chromium":  # where a read sees the file as it is now, the second waits
                    self.assertTrue(all(gap >= 25 for gap in seen["gaps"]), seen["gaps"])
                if offered:
                    chosen = self.saves[row["save"]].read_bytes()
                    self.assertEqual(seen["changes"], differing(chosen, reset(chosen)))
                    self.assertEqual(self.saved_by_the_engine(presses=case.get("presses", 1)), reset(chosen))

    def test_policy_refuses_what_the_page_never_needs(self):
        for url in (self.url, self.served):
            with self.subTest(url):
                if url == self.url and ENGINE == "firefox":
                    continue
                self.open_page(url=url)
                elsewhere = self.served.replace("127.0.0.1", "localhost")
                self.assertEqual(self.engine.run("return await kovaltTest.policy(args[0]);", elsewhere),
                                 PAGE_DATA["policy"])

    def test_every_end_of_a_save_attempt(self):
        """Chromium's pickers, stood in for. After a save into a folder that started where the
        chosen save is, each other end of an attempt says so in a line of its own, and a
        failed write leaves the folder as it was; a picker that fails otherwise leaves the
        download. A second press of Choose while its picker is open opens no second one; a
        file the picker gives that cannot be read is refused; a picker that fails falls back
        to the plain file input."""
        if ENGINE != "chromium":
            self.skipTest("only Chromium has the pickers")
        self.open_page()
        valid = self.saves["valid"].read_bytes()
        self.engine.run("window.picked = { kind: 'file', name: 'savedata.sav', getFile: async () => new File([new Uint8Array(args[0])], 'savedata.sav') };"
                        " window.showOpenFilePicker = async () => [window.picked]; document.getElementById('choose').click();"
                        " await kovaltTest.settled('savedata.sav');", list(valid))
        self.assertEqual(self.saved_by_the_engine(), reset(valid))
        self.assertTrue(self.engine.run("return window.pickerOptions.startIn === window.picked;"), "not started in the save's folder")
        older = [1, 2, 3]
        for how, folder, said in [("cancels", {}, "保存を取りやめました"), ("refuses", {}, "許可しなかった"),
                                  ("fails", {}, "今回の結果ではありません"), ("fails", {"output.sav": older}, "今回の結果ではありません")]:
            with self.subTest(how=how, folder=folder):
                seen, left = self.engine.run("kovaltTest.stubFolderPicker(args[0], args[1]); document.getElementById('save').click();"
                                             " await new Promise((d) => setTimeout(d, 400)); return [kovaltTest.observe(), window.folder];",
                                             how, dict(folder))
                self.assertIn(said, seen["saved"])
                self.assertEqual([seen["savedKind"], seen["afterShown"], left], ["failed", False, folder])
        self.assertEqual(list(self.downloads.glob("output*.sav")), [], "a failed save downloads nothing")
        self.engine.run("window.showDirectoryPicker = async () => { throw new DOMException('', 'SecurityError'); };")
        self.assertEqual(self.saved_by_the_engine(download=True), reset(valid))
        self.engine.run("window.openPicks = 0; window.showOpenFilePicker = async () => { window.openPicks += 1;"
                        " await new Promise((d) => setTimeout(d, 300)); throw new DOMException('', 'AbortError'); };")
        self.engine.run("for (let i = 0; i < 2; i++) document.getElementById('choose').click();"
                        " await new Promise((d) => setTimeout(d, 400));")
        self.assertEqual(self.engine.run("return [window.openPicks, kovaltTest.observe().offered];"), [1, True])
        self.engine.run("window.picked.getFile = async () => { throw new DOMException('', 'NotReadableError'); };"
                        " window.showOpenFilePicker = async () => [window.picked]; document.getElementById('choose').click();"
                        " await new Promise((d) => setTimeout(d, 100)); await kovaltTest.settled('savedata.sav');")
        self.assertEqual(self.engine.run("return kovaltTest.observe().lines;"),
                         [line for line in dialogue(["@opening", "@not found", "@prompt"]) if line])
        self.engine.run("window.showOpenFilePicker = async () => { throw new DOMException('', 'SecurityError'); };"
                        " document.getElementById('file').click = () => { window.plainInput = true; };")
        self.engine.click("choose")
        self.assertTrue(self.engine.run("await new Promise((d) => setTimeout(d, 100)); return window.plainInput;"))

    def test_without_javascript_or_webassembly_it_says_what_it_needs(self):
        if ENGINE != "chromium":
            self.skipTest("the page's scripts are changed or held off before they run in Chromium")
        from selenium.webdriver.common.by import By
        self.engine.driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": True})
        self.engine.open(self.url)
        shown = [element.is_displayed() for element in self.engine.driver.find_elements(By.CSS_SELECTOR, "#verdict, noscript p")]
        self.engine.driver.execute_cdp_cmd("Emulation.setScriptExecutionDisabled", {"value": False})
        self.assertEqual(shown, [True, False], "without JavaScript: its notice, not 'getting ready'")
        script = self.engine.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument",
                                                     {"source": "delete window.WebAssembly;"})
        self.addCleanup(self.engine.driver.execute_cdp_cmd, "Page.removeScriptToEvaluateOnNewDocument", script)
        self.engine.open(self.url)
        verdict = self.engine.run("while (document.body.dataset.phase !== 'unsupported') {"
                                  " await new Promise((d) => setTimeout(d, 10)); }"
                                  " return [document.getElementById('choose').disabled, document.getElementById('verdict').textContent];")
        self.assertEqual(verdict[0], True)
        self.assertIn("Edge 97, Chrome 97, Firefox 102 or Safari 16", verdict[1])

    def test_accessibility_rules(self):
        if ENGINE != "chromium":
            self.skipTest("axe-core runs in Chromium")
        if not AXE.exists():
            reason = "no axe-core (bash cmake/install_packages.sh test)"
            return self.fail(reason) if os.environ.get("KOVALT_REQUIRE_ALL") else self.skipTest(reason)
        self.open_page()
        self.engine.choose(self.given("savedata.sav", "spoiled"))
        self.engine.run("await kovaltTest.settled('savedata.sav');")
        self.engine.driver.execute_script(AXE.read_text(encoding="utf-8"))
        violations = self.engine.run("const result = await axe.run(document);"
                                     " return result.violations.map((v) => v.id + ': ' + v.nodes.length);")
        self.assertEqual(violations, [])

    def test_time_to_offer(self):
        self.open_page()
        save = self.given("savedata.sav", "valid")
        rates = [1, 6] if ENGINE == "chromium" else [1]
        for rate in rates:
            if ENGINE == "chromium":
                self.engine.driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": rate})
            times = []
            for _ in range(20):
                self.engine.choose(save)
                self.engine.run("while (document.body.dataset.phase !== 'done') { await new Promise((d) => setTimeout(d, 1)); }")
                times.append(self.engine.run("return kovaltTest.observe().elapsed;"))
            print(f"\n{ENGINE}{f' at {rate}x CPU throttling' if rate > 1 else ''}: from a valid save chosen to "
                  f"output.sav offered, median of 20 {statistics.median(times):.1f} ms; page {os.path.getsize(PAGE)} bytes",
                  file=sys.stderr)
        if ENGINE == "chromium":
            self.engine.driver.execute_cdp_cmd("Emulation.setCPUThrottlingRate", {"rate": 1})


if __name__ == "__main__":
    reason = missing()
    if reason:
        print(reason, file=sys.stderr)
        sys.exit(1 if os.environ.get("KOVALT_REQUIRE_ALL") else 77)
    if ENGINE == "webkit" and not os.environ.get("DISPLAY"):
        # This MiniBrowser has no headless mode.
        os.execv("/usr/bin/xvfb-run", ["xvfb-run", "-a", sys.executable, *sys.argv])
    unittest.main(argv=sys.argv[:1], verbosity=2)
