// Debian's Firefox driven over WebDriver BiDi by puppeteer-core, one JSON command a line
// on standard input, one JSON answer a line on standard output, so that page_test.py
// runs the very cases it runs in the other engines.
//   node firefox_driver.mjs FIREFOX DOWNLOADS
import { createInterface } from "node:readline";
import puppeteer from "puppeteer-core";

const [firefox, downloads] = process.argv.slice(2);
const browser = await puppeteer.launch({
  browser: "firefox",
  executablePath: firefox,
  headless: true,
  extraPrefsFirefox: {
    "browser.download.dir": downloads,
    "browser.download.folderList": 2,
    "browser.download.useDownloadDir": true,
    "browser.download.always_ask_before_handling_new_types": false,
  },
});
const page = await browser.newPage();

const commands = {
  open: async ({ url }) => { await page.goto(url); },
  // Firefox ESR 140 lacks the screen orientation override that comes with the size.
  resize: async ({ width }) => {
    await page.setViewport({ width, height: 900 }).catch((error) => {
      if (!error.message.includes("setScreenOrientationOverride")) {
        throw error;
      }
    });
  },
  run: async ({ body, args }) => page.evaluate(`(async (...args) => { ${body} })(...${JSON.stringify(args)})`),
  choose: async ({ path }) => { await (await page.$("#file")).uploadFile(path); },
  click: async ({ id }) => { await page.click(`#${id}`); },
};

for await (const line of createInterface({ input: process.stdin })) {
  const { op, ...rest } = JSON.parse(line);
  if (op === "quit") {
    break;
  }
  try {
    process.stdout.write(JSON.stringify({ value: (await commands[op](rest)) ?? null }) + "\n");
  } catch (error) {
    process.stdout.write(JSON.stringify({ error: String(error) }) + "\n");
  }
}
await browser.close();
