// Put into the page by each engine's driver once it has loaded: what the cases stage and
// what they read back, the same in every engine.
window.kovaltTest = (() => {
  const pause = (ms) => new Promise((done) => setTimeout(done, ms));
  // A slice keeps the file it was cut from, so that a read can be staged by the chosen
  // file's name: the first read of slow.sav takes half a second, unreadable.sav fails as a
  // file that changed or went since it was chosen; the second read of changed.sav has a
  // byte changed, of grew.sav one byte more, of shrank.sav one less.
  const slice = Blob.prototype.slice;
  Blob.prototype.slice = function (...range) {
    const part = slice.apply(this, range);
    part.source = this.source ?? this;
    return part;
  };
  const secondReads = {
    "changed.sav": (bytes) => { bytes[200000] ^= 0xFF; return bytes; },
    "grew.sav": (bytes) => { const grown = new Uint8Array(bytes.length + 1); grown.set(bytes); return grown; },
    "shrank.sav": (bytes) => bytes.slice(0, -1),
  };
  // Of each file: its reads so far, and when the page had the last; and for each second
  // read, the time since the page had the first.
  const reads = new Map();
  const gaps = [];
  const arrayBuffer = Blob.prototype.arrayBuffer;
  Blob.prototype.arrayBuffer = function () {
    const source = this.source ?? this;
    if (source.name === "unreadable.sav") {
      return Promise.reject(new DOMException("changed since it was chosen", "NotReadableError"));
    }
    if (!reads.has(source)) {
      reads.set(source, { count: 0, at: 0 });
    }
    const of = reads.get(source);
    of.count += 1;
    if (of.count === 2) {
      gaps.push(performance.now() - of.at);
    }
    let read = arrayBuffer.call(this);
    if (secondReads[source.name] && of.count === 2) {
      read = read.then((buffer) => secondReads[source.name](new Uint8Array(buffer)).buffer);
    }
    if (source.name === "slow.sav" && of.count === 1) {
      read = read.then((buffer) => pause(500).then(() => buffer));
    }
    return read.then((buffer) => {
      of.at = performance.now();
      return buffer;
    });
  };

  const texts = (selector) => [...document.querySelectorAll(selector)].map((node) => node.textContent);

  return {
    // Once the page has given its verdict on the last choice, and any slower earlier
    // read has had the time to come back: how long the verdict took, or -1.
    async settled(lastName) {
      const start = performance.now();
      while (performance.now() - start < 10000) {
        const phase = document.body.dataset.phase;
        const chosen = document.getElementById("chosen").textContent;
        if (["done", "refused", "failed"].includes(phase) && (lastName === null || chosen.includes(lastName))) {
          const took = performance.now() - start;
          await pause(700);
          return took;
        }
        await pause(10);
      }
      return -1;
    },

    observe() {
      const shown = (id) => (document.getElementById(id).hidden ? "" : document.getElementById(id).textContent);
      const verdict = document.getElementById("verdict");
      return {
        lines: texts("#dialogue .line"),
        meanings: texts("#dialogue li > .en"),
        offered: !document.getElementById("save").hidden,
        afterShown: !document.getElementById("after").hidden,
        // Each language on its own, and how the verdict is marked.
        verdict: [verdict.firstChild?.textContent ?? "", verdict.querySelector(".en")?.textContent ?? "", verdict.className],
        named: shown("named"),
        changes: document.getElementById("changes").hidden ? null : texts("#changed li"),
        saved: document.getElementById("saved").textContent,
        savedKind: document.getElementById("saved").className,
        focused: document.activeElement.id,
        gaps,
        elapsed: Number(document.body.dataset.elapsed),
        sideways: document.documentElement.scrollWidth > document.documentElement.clientWidth,
      };
    },

    // A drop of these files (name, bytes, and whether the item is a folder), or of text
    // alone, on the page outside the drop area; whether the page kept the browser from
    // opening what was dragged over it and dropped.
    drop(files) {
      const data = new DataTransfer();
      if (files.length === 0) {
        data.setData("text/plain", "savedata.sav");
      }
      for (const [name, bytes] of files) {
        data.items.add(new File([new Uint8Array(bytes)], name));
      }
      const folders = files.filter((file) => file[2]).map(([name]) => name);
      const entry = DataTransferItem.prototype.webkitGetAsEntry;
      DataTransferItem.prototype.webkitGetAsEntry = function () {
        return folders.includes(this.getAsFile()?.name) ? { isDirectory: true } : entry?.call(this) ?? null;
      };
      const over = new DragEvent("dragover", { dataTransfer: data, bubbles: true, cancelable: true });
      const drop = new DragEvent("drop", { dataTransfer: data, bubbles: true, cancelable: true });
      document.body.dispatchEvent(over);
      document.body.dispatchEvent(drop);
      DataTransferItem.prototype.webkitGetAsEntry = entry;
      return [over.defaultPrevented, drop.defaultPrevented];
    },

    // Where headless Chromium has no folder dialog to show: the picker the page would
    // open, open for a moment, over a folder of its own (name to bytes) that keeps what
    // the page writes. It writes; cancels (as a refused folder or a "Don't Allow" does);
    // refuses the permission; or fails the write, as a full disk does.
    stubFolderPicker(how = "writes", folder = {}) {
      window.folder = folder;
      window.folderPicks = 0;
      window.showDirectoryPicker = async (options) => {
        window.folderPicks += 1;
        window.pickerOptions = options;
        await pause(200);
        if (how === "cancels") {
          throw new DOMException("The user aborted a request.", "AbortError");
        }
        return {
          name: "saves",
          queryPermission: async () => (how === "refuses" ? "denied" : "granted"),
          removeEntry: async (name) => { delete folder[name]; },
          getFileHandle: async (name, options) => {
            if (!(name in folder) && !options?.create) {
              throw new DOMException("", "NotFoundError");
            }
            folder[name] ??= [];
            const parts = [];
            return {
              createWritable: async () => ({
                write: async (part) => {
                  if (how === "fails") {
                    throw new DOMException("the folder is full", "QuotaExceededError");
                  }
                  parts.push(part);
                },
                close: async () => { folder[name] = Array.from(new Uint8Array(await new Blob(parts).arrayBuffer())); },
                abort: async () => {},
              }),
            };
          },
        };
      };
    },

    // What the page's policy lets through of what the page never needs: a load from its
    // own folder, eval, a script or style that is not its own, a connection elsewhere.
    async policy(elsewhere) {
      // What the page itself loaded, before the probes below try their own loads.
      const outcome = { resources: performance.getEntriesByType("resource").map((entry) => entry.name) };
      // From a timer: a driver may allow eval while its own script runs.
      outcome.eval = await new Promise((done) => setTimeout(() => {
        try {
          done((0, eval)("'ran'"));
        } catch {
          done("refused");
        }
      }));
      // Made from markup, so that the page itself asks for them: a driver's own loads
      // may pass a policy.
      const loaded = (markup) => new Promise((done) => {
        const element = document.createRange().createContextualFragment(markup).firstChild;
        element.onload = () => done("loaded");
        element.onerror = () => done("refused");
        setTimeout(() => done("refused"), 2000);
        document.body.append(element);
      });
      outcome.image = await loaded('<img src="beside.png">');
      outcome.script = await loaded('<script src="beside.js"></script>');
      const inline = document.createElement("script");
      inline.textContent = "window.inlineRan = true;";
      document.body.append(inline);
      outcome.inlineScript = window.inlineRan ? "ran" : "refused";
      const style = document.createElement("style");
      style.textContent = "body { --probe: applied; }";
      document.head.append(style);
      outcome.inlineStyle = getComputedStyle(document.body).getPropertyValue("--probe").trim() === "applied" ? "applied" : "refused";
      // A server that answers, on another origin than the page's.
      outcome.fetch = await fetch(elsewhere, { mode: "no-cors" }).then(() => "fetched", () => "refused");
      return outcome;
    },
  };
})();
