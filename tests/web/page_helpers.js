// Put into the page by each engine's driver once it has loaded: what the cases stage and
// what they read back, the same in every engine.
window.kovaltTest = (() => {
  // A slice keeps the name of the file it was cut from, so that a read can be staged by
  // the chosen file's name: slow.sav takes half a second, unreadable.sav fails as a file
  // that changed or went since it was chosen; the second read of changed.sav has a byte
  // changed, of grew.sav one byte more, of shrank.sav one less.
  const slice = Blob.prototype.slice;
  Blob.prototype.slice = function (...range) {
    const part = slice.apply(this, range);
    part.stagedName = this.name ?? this.stagedName;
    return part;
  };
  const secondReads = {
    "changed.sav": (bytes) => { bytes[200000] ^= 0xFF; return bytes; },
    "grew.sav": (bytes) => { const grown = new Uint8Array(bytes.length + 1); grown.set(bytes); return grown; },
    "shrank.sav": (bytes) => bytes.slice(0, -1),
  };
  const readsOf = {};
  const arrayBuffer = Blob.prototype.arrayBuffer;
  Blob.prototype.arrayBuffer = function () {
    const name = this.name ?? this.stagedName;
    if (name === "unreadable.sav") {
      return Promise.reject(new DOMException("changed since it was chosen", "NotReadableError"));
    }
    readsOf[name] = (readsOf[name] ?? 0) + 1;
    if (secondReads[name] && readsOf[name] === 2) {
      return arrayBuffer.call(this).then((buffer) => secondReads[name](new Uint8Array(buffer)).buffer);
    }
    const read = arrayBuffer.call(this);
    return name === "slow.sav" ? new Promise((done) => setTimeout(() => done(read), 500)) : read;
  };

  const pause = (ms) => new Promise((done) => setTimeout(done, ms));
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
      return {
        lines: texts("#dialogue .line"),
        meanings: texts("#dialogue li > .en"),
        offered: !document.getElementById("save").hidden,
        afterShown: !document.getElementById("after").hidden,
        verdict: document.getElementById("verdict").textContent,
        named: document.getElementById("named").hidden ? "" : document.getElementById("named").textContent,
        changes: document.getElementById("changes").hidden ? null : texts("#changed li"),
        saved: document.getElementById("saved").textContent,
        elapsed: Number(document.body.dataset.elapsed),
        sideways: document.documentElement.scrollWidth > document.documentElement.clientWidth,
      };
    },

    // A drop of these files (name and bytes), or of text alone.
    drop(files) {
      const data = new DataTransfer();
      if (files.length === 0) {
        data.setData("text/plain", "savedata.sav");
      }
      for (const [name, bytes] of files) {
        data.items.add(new File([new Uint8Array(bytes)], name));
      }
      document.body.dispatchEvent(new DragEvent("drop", { dataTransfer: data, bubbles: true, cancelable: true }));
    },

    // Where headless Chromium has no folder dialog to show: the picker the page would
    // open, open for a moment, keeping what the page asks of it and writes through it.
    stubFolderPicker(failing) {
      window.savedBytes = null;
      window.folderPicks = 0;
      window.showDirectoryPicker = async () => {
        window.folderPicks += 1;
        await pause(200);
        return {
          name: "saves",
          getFileHandle: async (name, how) => {
            window.askedFor = [name, Boolean(how && how.create)];
            return {
              createWritable: async () => {
                if (failing) {
                  throw new DOMException("the folder is full", "QuotaExceededError");
                }
                const parts = [];
                return {
                  write: async (part) => { parts.push(part); },
                  close: async () => { window.savedBytes = Array.from(new Uint8Array(await new Blob(parts).arrayBuffer())); },
                };
              },
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
