"use strict";

// Everything in a function of its own: the runtime's script that follows declares many
// names at the top level (run among them).
var Module = (() => {
const IMAGE_SIZE = 262144;

// The catalogue, by message id, as the tool hands it over once it has started: each
// line's English meaning, and what to do after a refusal.
const catalogue = [];

const said = {
  ready: ["セーブデータを選んでください。", "Choose your save."],
  reading: ["読み込んでいます。", "Reading the file."],
  done: ["完了しました。output.sav を保存してください。", "Done. Save output.sav."],
  unsupported: [
    "このページは、このブラウザーでは使えません。2022 年以降のブラウザー（Edge 97 以降、Chrome 97 以降、Firefox 102 以降、Safari 16 以降）で、WebAssembly が有効になっている必要があります。",
    "This browser cannot run the page. It needs a browser from 2022 or later (Edge 97, Chrome 97, Firefox 102 or Safari 16 and later), with WebAssembly allowed.",
  ],
  several: [
    "複数のファイルがドロップされましたが、その中に savedata.sav が見つからないか、2 つ以上あります。savedata.sav だけをドロップしてください。",
    "Several files were dropped, and none of them, or more than one, is named savedata.sav. Drop savedata.sav alone.",
  ],
  noFile: ["ドロップされたものはファイルではありません。savedata.sav をドロップしてください。", "What was dropped is not a file. Drop savedata.sav."],
  pickerFailed: [
    "ブラウザーのファイル選択が使えませんでした。もう一度ボタンを押すと、別の方法で選べます。ドラッグ アンド ドロップでも選べます。",
    "The browser's file chooser could not be used. Press the button again to choose another way, or drag and drop the file.",
  ],
  downloadStarted: [
    "output.sav のダウンロードを始めました。保存先は多くの場合「ダウンロード」フォルダーです。ブラウザーのダウンロード一覧で、完了したことと、保存された名前を確かめてください（同じ名前のファイルがあると、output(1).sav や output (1).sav のような名前になります）。使うのは、更新日時がたった今のファイルだけです。",
    "The download of output.sav has started, usually into your Downloads folder. In the browser's list of downloads, check that it finished and the name it was saved under (where a file of that name was there already, output(1).sav or \"output (1).sav\", say). Use only the file dated just now.",
  ],
  failed: [
    "問題が起きたため、最後まで実行できませんでした。何も保存されていません。ページを再読み込みしてもう一度試すか、別のブラウザーを使ってください。",
    "Something went wrong, and the run could not finish. Nothing was saved. Reload the page and try again, or use another browser.",
  ],
  // Chromium reports a cancel, a folder it will not open and a refused permission alike.
  cancelled: [
    "保存を取りやめました。output.sav は保存されていません。もう一度「output.sav を保存」を押してください。「ダウンロード」「デスクトップ」「ドキュメント」のフォルダーそのものは選べないので、その中のフォルダーを選びます（Chrome では、フォルダーを選んだあと「許可する」を押します）。",
    "Saving was cancelled, and output.sav was not saved. Press \"Save output.sav\" again. The Downloads, Desktop and Documents folders themselves cannot be chosen: choose a folder inside one of them (in Chrome, choose a folder, then click \"Allow\").",
  ],
  refused: [
    "ブラウザーがそのフォルダーへの保存を許可しなかったため、output.sav は保存されていません。もう一度「output.sav を保存」を押し、フォルダーを選んだあと「許可する」を押してください。",
    "The browser did not allow saving in that folder, so output.sav was not saved. Press \"Save output.sav\" again, choose a folder, then click \"Allow\".",
  ],
  notSaved: [
    "output.sav を保存できませんでした。選んだフォルダーに output.sav があっても、それは前のもので、今回の結果ではありません。別のフォルダーを選んで、もう一度保存してください。",
    "output.sav could not be saved. An output.sav in the folder you chose is an older one, not this result. Choose another folder and save again.",
  ],
  notSavedEmptyLeft: [
    "output.sav を保存できませんでした。選んだフォルダーに output.sav があっても、空か前のもので、今回の結果ではないので使わないでください。別のフォルダーを選んで、もう一度保存してください。",
    "output.sav could not be saved. An output.sav in the folder you chose is empty or an older one, not this result: do not use it. Choose another folder and save again.",
  ],
  // A file of another name may be the backup (savedata_old.sav) beside the save.
  named: (name) => [
    `選んだファイルは「${name}」で、savedata.sav ではありません。これがバックアップ（savedata_old.sav など）なら、この output.sav で置き換えると、バックアップを取った後の進行が失われます。ゲームが今使っている savedata.sav を選び直してください。`,
    `You chose "${name}", not savedata.sav. If this is a backup (savedata_old.sav, say), replacing your save with this output.sav loses all progress made since that backup: choose the savedata.sav the game uses now.`,
  ],
};

// The page's one state, drawn by draw() alone.
const state = {
  phase: "loading",  // loading, unsupported, ready, reading, done, refused, failed
  chosen: null,      // the player's file: { name, size }
  lines: [],         // the run's dialogue: { id, text }
  output: null,      // a complete run's 262,144 bytes, offered for saving
  handle: null,      // where the chosen save came from, for the save picker
  notice: null,      // what a choice that ran nothing says
  saved: null,       // { ok, text } after Save: ok true, false, or null where not known
  changes: null,     // a complete run's differing bytes: [offset, before, after]
  busy: null,        // "choosing" or "saving" while a picker or a save is under way
  elapsed: null,     // milliseconds from the choice to the verdict
  choice: 0,         // the newest choice's number: a run of any older one is stale
  plainInput: !window.showOpenFilePicker,  // the file input, where no picker can serve
};

const element = (id) => document.getElementById(id);
const choose = element("choose"), input = element("file"), save = element("save");

function bilingual(target, [japanese, english]) {
  const en = document.createElement("span");
  en.className = "en";
  en.lang = "en";
  en.textContent = english;
  target.replaceChildren(japanese, en);
}

// A live region is told again only when its words change.
function say(target, text, kind) {
  target.className = kind;
  if (target.dataset.said !== text.join("\n")) {
    target.dataset.said = text.join("\n");
    text[0] ? bilingual(target, text) : target.replaceChildren();
  }
}

function lineItem({ id, text }, index, lines) {
  const item = document.createElement("li");
  item.dataset.id = id;
  const line = document.createElement("span");
  line.className = "line";
  line.textContent = text;
  const meaning = document.createElement("span");
  meaning.className = "en";
  meaning.lang = "en";
  meaning.textContent = catalogue[id].meaning;
  item.className = [text.startsWith("Error: ") ? "error" : "", index > 0 && catalogue[lines[index - 1].id].name === "MSG_BLANK" ? "gap" : ""].join(" ").trim();
  item.append(line, meaning);
  return item;
}

function draw() {
  const { phase, chosen, lines } = state;
  document.body.dataset.phase = phase;
  choose.disabled = phase === "loading" || phase === "unsupported";
  save.hidden = phase !== "done";
  element("download-note").hidden = save.hidden || Boolean(window.showDirectoryPicker);
  element("after").hidden = save.hidden || state.saved?.ok === false;
  if (chosen) {
    bilingual(element("chosen"), [`${chosen.name}（${chosen.size.toLocaleString("ja")} バイト）`, `${chosen.name} (${chosen.size.toLocaleString("en")} bytes)`]);
  } else {
    element("chosen").replaceChildren();
  }
  // Another name is the verdict itself, and said again beside Save.
  const named = phase === "done" && chosen.name !== "savedata.sav" ? said.named(chosen.name) : null;
  element("named").hidden = !named;
  say(element("named"), named ?? ["", ""], "failed");
  drawChanges(phase === "done" ? state.changes : null);
  // The blank line is a gap before the next line, not an item of its own.
  element("dialogue").replaceChildren(...lines.map(lineItem).filter((item) => catalogue[item.dataset.id].name !== "MSG_BLANK"));
  const refusal = [...lines].reverse().find((line) => catalogue[line.id].advice);
  const verdict = state.notice ?? named ?? (phase === "refused" ? refusal && catalogue[refusal.id].advice : said[phase]);
  const failing = named || ["refused", "unsupported", "failed"].includes(phase);
  say(element("verdict"), verdict ?? ["", ""], failing ? "failed" : phase === "done" ? "done" : "");
  const savedKind = !state.saved || state.saved.ok === null ? "" : state.saved.ok ? "done" : "failed";
  say(element("saved"), state.saved ? state.saved.text : ["", ""], savedKind);
  document.body.dataset.elapsed = state.elapsed ?? "";
}

// Every byte in which output.sav differs from the chosen save, found by comparing the two.
function drawChanges(changes) {
  const box = element("changes");
  box.hidden = !changes;
  if (!changes) {
    return;
  }
  const hex = (value, digits) => "0x" + value.toString(16).toUpperCase().padStart(digits, "0");
  bilingual(element("changes-said"), changes.length
    ? [`元のセーブデータと output.sav で違うのは、次の ${changes.length} バイトだけです（位置: 元の値 → 新しい値、16 進数）。ほかのバイトはすべて同じです。`, `Only these ${changes.length} bytes differ between your save and output.sav (position: old value → new value, in hexadecimal); every other byte is the same.`]
    : ["元のセーブデータと output.sav に違いはありません。モップルキンの状態はすでにリセットされているので、置き換える必要はありません。", "Nothing differs between your save and output.sav: Mopplekin was already reset, so you need not replace your save."]);
  element("changed").replaceChildren(...changes.map(([offset, before, after]) => {
    const item = document.createElement("li");
    item.textContent = `${hex(offset, 5)}: ${hex(before, 2)} → ${hex(after, 2)}`;
    return item;
  }));
}

function differences(before, after) {
  const changes = [];
  for (let offset = 0; offset < after.length; offset++) {
    if (before[offset] !== after[offset]) {
      changes.push([offset, before[offset], after[offset]]);
    }
  }
  return changes;
}

function update(changes) {
  Object.assign(state, changes);
  draw();
}

// A choice that runs nothing still withdraws what an earlier one offered.
function refuseChoice(notice) {
  state.choice += 1;
  update({ phase: "refused", chosen: null, lines: [], output: null, changes: null, handle: null, notice, saved: null, elapsed: null });
}

// Whatever throws while a choice is read or run: the page says so rather than wait on.
function failed() {
  if (state.phase !== "unsupported") {
    update({ phase: "failed", output: null, notice: null });
  }
}

async function runOn(file, handle, readable) {
  const choice = ++state.choice;
  const chosenAt = performance.now();
  update({ phase: "reading", chosen: { name: file.name, size: file.size }, lines: [], output: null, handle, notice: null, saved: null, elapsed: null });
  try {
    await readAndRun(file, readable, choice, chosenAt);
  } catch {
    if (choice === state.choice) {
      failed();
    }
  }
}

async function readAndRun(file, readable, choice, chosenAt) {
  // Read twice, as the console programs read a save, each time as far as a run reads
  // whatever length the browser gave: a save that a game writes meanwhile, or that grew
  // or shrank since it was chosen, then shows.
  let reads = null;
  if (readable) {
    try {
      const read = async () => new Uint8Array(await file.slice(0, Module._kovaltReadLimit()).arrayBuffer());
      // Chromium (the engine with the pickers) refuses to read a file changed since it
      // was chosen. The others read what the file holds at each read, so there the second
      // waits a moment: a game that the scheduler paused in the middle of a write goes on,
      // and the two reads differ.
      const first = await read();
      await new Promise((done) => setTimeout(done, window.showOpenFilePicker ? 0 : 30));
      reads = [first, await read()];
    } catch {
      reads = null;  // a folder, or a file gone or changed since it was chosen
    }
  }
  if (choice !== state.choice) {
    return;
  }
  if (reads) {
    Module._kovaltChooseFile(file.size);
    reads.forEach((bytes, index) => {
      const at = Module._kovaltReadInto(index, bytes.length);
      Module.HEAPU8.set(bytes, at);
    });
  } else {
    Module._kovaltChooseUnreadable();
  }
  // The run writes its lines and its output into the state as it goes; drawn at its end.
  const status = Module._kovaltRun();
  const offered = state.output;
  const complete = status === 0 && offered !== null && offered.length === IMAGE_SIZE;
  update({ phase: complete ? "done" : "refused", output: complete ? offered : null, changes: complete ? differences(reads[0], offered) : null, elapsed: performance.now() - chosenAt });
  if (complete && file.name === "savedata.sav") {
    save.focus();  // the next step; the verdict itself is announced as a live region
  }
}

function download(bytes) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([bytes], { type: "application/octet-stream" }));
  link.download = "output.sav";
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  // Whether the browser then saved it, asked, or was refused, the page cannot know.
  update({ saved: { ok: null, text: said.downloadStarted } });
}

// One save at a time: a second press while the folder dialog is open, or within a second
// of a download started, does nothing. A new attempt clears what the last one said.
async function saveOutput() {
  if (state.busy) {
    return;
  }
  update({ busy: "saving", saved: null });
  try {
    await saveTo();
  } catch {
    update({ saved: { ok: false, text: said.notSaved } });
  }
  setTimeout(() => update({ busy: null }), state.saved?.ok === null ? 1000 : 0);
}

async function saveTo() {
  const bytes = state.output;
  if (!bytes) {
    return;
  }
  if (!window.showDirectoryPicker) {
    return download(bytes);
  }
  // A folder, not a file: the save dialog of Chrome and Edge empties a file the moment it
  // is picked, and the player could pick savedata.sav itself. In a folder nothing is
  // touched but output.sav, as the console programs do.
  const handle = await state.handle;
  let folder;
  try {
    folder = await window.showDirectoryPicker({ id: "output", mode: "readwrite", ...(handle && handle.kind === "file" ? { startIn: handle } : {}) });
  } catch (error) {
    // A picker that fails otherwise still leaves the download.
    const ended = { AbortError: said.cancelled, NotAllowedError: said.refused }[error.name];
    return ended ? update({ saved: { ok: false, text: ended } }) : download(bytes);
  }
  if ((await folder.queryPermission?.({ mode: "readwrite" })) === "denied") {
    return update({ saved: { ok: false, text: said.refused } });
  }
  // An output.sav that this attempt creates goes again if the write fails; an older one
  // stays as it was until the new one is whole.
  const absent = await folder.getFileHandle("output.sav").then(() => false, (error) => error.name === "NotFoundError");
  let writable;
  try {
    writable = await (await folder.getFileHandle("output.sav", { create: true })).createWritable();
    await writable.write(bytes);
    await writable.close();
  } catch (error) {
    await writable?.abort().catch(() => {});
    const removed = !absent || (await folder.removeEntry("output.sav").then(() => true, () => false));
    const text = error.name === "NotAllowedError" ? said.refused : removed ? said.notSaved : said.notSavedEmptyLeft;
    return update({ saved: { ok: false, text } });
  }
  update({ saved: { ok: true, text: [`「${folder.name}」フォルダーに output.sav を保存しました。`, `Saved output.sav in the folder "${folder.name}".`] } });
}

choose.addEventListener("click", async () => {
  if (state.plainInput) {
    return input.click();
  }
  if (state.busy === "choosing") {
    return;  // its picker is open: a second one would be refused, not shown
  }
  let handle;
  try {
    update({ busy: "choosing" });
    [handle] = await window.showOpenFilePicker();
  } catch (error) {
    if (error.name !== "AbortError") {
      state.plainInput = true;
      refuseChoice(said.pickerFailed);
      input.click();
    }
    return;
  } finally {
    update({ busy: null });
  }
  let file;
  try {
    file = await handle.getFile();
  } catch {
    return runOn({ name: handle.name, size: 0 }, null, false);
  }
  runOn(file, handle, true);
});
input.addEventListener("change", () => {
  const file = input.files[0];
  input.value = "";  // so that choosing the same file again runs again
  if (file) {
    runOn(file, null, true);
  }
});
save.addEventListener("click", saveOutput);
// A held Enter repeats its click: one save.
save.addEventListener("keydown", (event) => {
  if (event.repeat) {
    event.preventDefault();
  }
});

window.addEventListener("error", failed);
window.addEventListener("unhandledrejection", failed);

// The whole window takes a drop; nothing dropped replaces the page.
window.addEventListener("dragover", (event) => {
  event.preventDefault();
  document.body.classList.add("over");
});
window.addEventListener("dragleave", (event) => {
  if (!event.relatedTarget) {
    document.body.classList.remove("over");
  }
});
window.addEventListener("drop", (event) => {
  event.preventDefault();
  document.body.classList.remove("over");
  if (state.phase === "loading" || state.phase === "unsupported") {
    return;
  }
  const files = [...event.dataTransfer.files];
  const items = [...event.dataTransfer.items].filter((item) => item.kind === "file");
  const named = files.filter((file) => file.name === "savedata.sav");
  if (files.length === 0) {
    return refuseChoice(said.noFile);
  }
  if (files.length > 1 && named.length !== 1) {
    return refuseChoice(said.several);
  }
  const file = files.length === 1 ? files[0] : named[0];
  // Asked for at once: the dropped items are gone once the event is over.
  const item = items[files.indexOf(file)];
  const entry = item && item.webkitGetAsEntry ? item.webkitGetAsEntry() : null;
  const handle = item && item.getAsFileSystemHandle ? item.getAsFileSystemHandle().catch(() => null) : null;
  runOn(file, handle, !(entry && entry.isDirectory));
});

return {
  wasmBinary: Uint8Array.from(atob(element("kovalt-wasm").textContent.trim()), (c) => c.charCodeAt(0)),
  kovaltShowText: (id, text) => state.lines.push({ id, text: text.replace(/\n$/, "") }),
  kovaltOfferOutput: (bytes) => { state.output = bytes; },
  kovaltCatalogueRow: (id, name, meaning, japanese, english) => {
    catalogue[id] = { name, meaning, ...(japanese ? { advice: [japanese, english] } : {}) };
  },
  onRuntimeInitialized: () => {
    Module._kovaltCatalogue();
    update({ phase: "ready" });
  },
  // No WebAssembly, or a policy that forbids it.
  onAbort: () => update({ phase: "unsupported" }),
};
})();
