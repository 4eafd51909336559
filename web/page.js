// The page of Vexilon: the program's text, the buttons and the drawing
// surface over the interpreter in WebAssembly (web/page.cpp).
//
// Design note. This is the window thread of the browser host. It never
// waits for the interpreter, which runs in a worker sharing the module's
// memory: what the user does (実行, 停止, a key, a click) is handed over
// at once, and at every animation frame the page takes what the interpreter
// left for it: the title line, the next message box, the picture when it
// changed, a page to print, the list of files. Shared memory needs a
// cross-origin isolated page; where the server does not make it one, the
// service worker sw.js does, after one more load.
"use strict";

(async () => {
  const $ = id => document.getElementById(id);
  const editor = $("program"), canvas = $("surface"), box = $("box");
  const STATES = ["starting", "idle", "running", "closed"];
  const STORE = "vexilon.program";
  const params = new URLSearchParams(location.search);

  if (!self.crossOriginIsolated) {
    // Once: a page the service worker could not isolate says so instead.
    if (navigator.serviceWorker && !sessionStorage.getItem("vexilon.isolating")) {
      sessionStorage.setItem("vexilon.isolating", "1");
      try {
        await navigator.serviceWorker.register("sw.js");
        await navigator.serviceWorker.ready;
        location.reload();
        return;
      } catch {}
    }
    $("title").textContent = "このブラウザでは動きません (shared memory is not " +
      "available: serve the page over https or from localhost)";
    document.body.dataset.state = "closed";
    return;
  }
  sessionStorage.removeItem("vexilon.isolating");

  // The site's files are fetched while the module compiles.
  const siteFiles = JSON.parse($("site-files").textContent);
  const fetched = Promise.all(siteFiles.map(async name => {
    const response = await fetch(name);
    return [name, new Uint8Array(await response.arrayBuffer())];
  }));
  let vex;
  try {
    vex = await createVexilon();
  } catch {
    $("title").textContent = "このブラウザでは動きません (the module could not start)";
    document.body.dataset.state = "closed";
    return;
  }

  // Texts go in as UTF-16 and bytes as they are, in memory of the module
  // for the length of one call.
  function withUnits(text, call) {
    const at = vex._malloc(2 * text.length + 2);
    for (let i = 0; i < text.length; ++i) vex.HEAPU16[(at >> 1) + i] = text.charCodeAt(i);
    try { return call(at, text.length); } finally { vex._free(at); }
  }
  function withBytes(bytes, call) {
    const at = vex._malloc(bytes.length || 1);
    if (at) vex.HEAPU8.set(bytes, at);
    try { return call(at, bytes.length); } finally { vex._free(at); }
  }
  const addFile = (name, bytes, users) => withUnits(name, (n, units) =>
    withBytes(bytes, (b, size) => vex._web_add_file(n, units, b, size, users)));

  const client = $("client").getBoundingClientRect();
  canvas.width = Math.max(1, Math.floor(client.width));
  canvas.height = Math.max(1, Math.floor(client.height));
  // The back buffer has the screen's size, as the window program's has.
  const bufferWidth = Math.min(4096, Math.max(screen.width, canvas.width));
  const bufferHeight = Math.min(4096, Math.max(screen.height, canvas.height));
  vex._web_make(canvas.width, canvas.height, bufferWidth, bufferHeight,
                params.has("events") ? 1 : 0);
  for (const [name, bytes] of await fetched) addFile(name, bytes, 0);
  if (!vex._web_start()) return;
  if (params.has("events")) {
    window.vexilonEvents = () => vex.UTF16ToString(vex._web_take_events());
  }

  // --- the user's doing ---------------------------------------------------

  let shown = -1;  // the picture's version on the canvas
  // A run shows as one at once, however soon it ends: the frame after
  // shows its end and its title together.
  const run = text => { if (withUnits(text, vex._web_run)) showState("running"); };
  // A link's program fills the text, not the text kept: that is kept until
  // the user changes the text. The address loses the program, so that
  // loading the page again shows the text kept.
  const linked = /^#program=(.*)$/s.exec(location.hash);
  let pending = null;
  if (linked) {
    try { pending = decodeURIComponent(linked[1]); } catch { pending = null; }
    history.replaceState(null, "", location.href.split("#")[0]);
  }
  editor.value = pending ?? localStorage.getItem(STORE) ?? "";
  const keep = () => { try { localStorage.setItem(STORE, editor.value); } catch {} };
  editor.addEventListener("input", keep);
  $("run").onclick = () => { keep(); run(editor.value); };
  $("clear").onclick = () => { editor.value = ""; keep(); editor.focus(); };
  $("stop").onclick = () => vex._web_stop();
  $("help").onclick = () => vex._web_version();
  $("link").onclick = () => {
    const url = location.href.split("#")[0] + "#program=" + encodeURIComponent(editor.value);
    const field = $("link-text");
    field.hidden = false;
    field.value = url;
    field.select();
    navigator.clipboard?.writeText(url).catch(() => {});
  };
  editor.addEventListener("keydown", event => {
    if (event.key === "Enter" && event.ctrlKey) $("run").click();
  });
  for (const name of siteFiles.filter(f => f.startsWith("examples/"))) {
    const example = name.slice("examples/".length, -".LSP".length);
    const button = document.createElement("button");
    button.textContent = example;
    button.onclick = () => run(`(load 'examples\\${example})`);
    const item = document.createElement("li");
    item.append(button);
    $("examples").append(item);
  }
  $("upload").onchange = async event => {
    for (const file of event.target.files) {
      addFile(file.name, new Uint8Array(await file.arrayBuffer()), 1);
    }
    event.target.value = "";
  };

  // Keys reach a running program as the window's virtual-key codes, when
  // the text is not being edited; Esc and Ctrl+Break stop it.
  const editing = target => target.matches?.("textarea, input");
  // The browsers' key codes are the window's, but for a few keys that some
  // browsers number otherwise (";", "=", "-", the Windows key).
  const virtualKey = event => ({59: 186, 61: 187, 173: 189, 224: 91})[event.keyCode] ?? event.keyCode;
  document.addEventListener("keydown", event => {
    if (box.open || event.isComposing) return;
    if (event.key === "Escape" || event.key === "Cancel" || (event.code === "Pause" && event.ctrlKey)) {
      vex._web_stop();
    }
    if (editing(event.target)) return;
    vex._web_key(virtualKey(event));
    if (document.body.dataset.state === "running") event.preventDefault();
  });
  document.addEventListener("keyup", event => { if (!editing(event.target)) vex._web_key(0); });
  window.addEventListener("blur", () => vex._web_key(0));

  // The mouse on the surface, in its pixels; a left button pressed there is
  // followed outside it until it is released, as the window captures it.
  const LEFT_DOWN = 0, LEFT_UP = 1, RIGHT_DOWN = 2, RIGHT_UP = 3, MOVE = 4;
  let captured = false;
  const pointer = (what, event) => {
    const r = canvas.getBoundingClientRect();
    vex._web_pointer(what, Math.floor((event.clientX - r.left) * canvas.width / r.width),
                     Math.floor((event.clientY - r.top) * canvas.height / r.height));
  };
  canvas.addEventListener("mousedown", event => {
    canvas.focus();
    event.preventDefault();
    if (event.button === 0) captured = true;
    if (event.button === 0 || event.button === 2) pointer(event.button ? RIGHT_DOWN : LEFT_DOWN, event);
  });
  window.addEventListener("mouseup", event => {
    if (event.button === 0 && captured) {
      captured = false;
      pointer(LEFT_UP, event);
    } else if (event.button === 2 && event.target === canvas) {
      pointer(RIGHT_UP, event);
    }
  });
  window.addEventListener("mousemove", event => {
    if (captured || event.target === canvas) pointer(MOVE, event);
  });
  canvas.addEventListener("contextmenu", event => event.preventDefault());

  // The client area follows the page's size; the turtle's origin stays
  // where the first paint put it.
  new ResizeObserver(() => {
    const r = $("client").getBoundingClientRect();
    canvas.width = Math.max(1, Math.min(bufferWidth, Math.floor(r.width)));
    canvas.height = Math.max(1, Math.min(bufferHeight, Math.floor(r.height)));
    vex._web_resize(canvas.width, canvas.height);
    shown = -1;
  }).observe($("client"));

  box.addEventListener("close", () => vex._web_close_box());

  // --- what the interpreter left for the page -----------------------------

  const g = canvas.getContext("2d");
  const pixels = new Uint32Array(vex.HEAPU8.buffer, vex._web_pixels(), bufferWidth * bufferHeight);
  let image = null, filesShown = -1, links = [], wasIdle = false;

  function repaint() {
    const version = vex._web_picture_version();
    if (version === shown) return;
    shown = version;
    const w = canvas.width, h = canvas.height;
    if (!image || image.width !== w || image.height !== h) image = new ImageData(w, h);
    const rows = new Uint32Array(image.data.buffer);
    for (let y = 0; y < h; ++y) rows.set(pixels.subarray(y * bufferWidth, y * bufferWidth + w), y * w);
    g.putImageData(image, 0, 0);
  }

  function takeTitle() {
    const title = vex._web_take_title();
    if (!title) return;
    $("title").textContent = document.title = vex.UTF16ToString(title);
  }

  function takeBox() {
    if (box.open) return;
    const pair = vex._web_take_box();
    if (!pair) return;
    $("box-caption").textContent = vex.UTF16ToString(vex.HEAPU32[pair >> 2]);
    $("box-text").textContent = vex.UTF16ToString(vex.HEAPU32[(pair >> 2) + 1]);
    box.showModal();
  }

  function takePrint() {
    const svg = vex._web_take_print();
    if (!svg) return;
    const sheet = $("printout");
    sheet.innerHTML = vex.UTF8ToString(svg);
    const title = document.title;
    document.title = sheet.querySelector("title")?.textContent ?? title;
    window.print();
    document.title = title;
    sheet.textContent = "";
    vex._web_print_done();
  }

  function takeFiles() {
    const version = vex._web_files_version();
    if (version === filesShown) return;
    filesShown = version;
    links.forEach(URL.revokeObjectURL);
    const list = $("files");
    list.textContent = "";
    const names = vex.UTF16ToString(vex._web_users_files()).split("\n").filter(Boolean);
    links = names.map(name => {
      const pair = withUnits(name, vex._web_read_file);
      const bytes = pair ? vex.HEAPU8.slice(vex.HEAPU32[pair >> 2],
                                            vex.HEAPU32[pair >> 2] + vex.HEAPU32[(pair >> 2) + 1]) : [];
      const a = document.createElement("a");
      a.href = URL.createObjectURL(new Blob([bytes]));
      a.download = a.textContent = name;
      const item = document.createElement("li");
      item.append(a);
      list.append(item);
      return a.href;
    });
  }

  function showState(state) {
    document.body.dataset.state = state;
    $("stop").disabled = state !== "running";
    if (state === "idle" && !wasIdle) {
      wasIdle = true;
      document.body.dataset.ready = Math.round(performance.now());
      if (pending !== null) run(pending);
    }
    // A fatal condition ended the program: once its message has been read,
    // it starts again, with the text kept.
    if (state === "closed" && wasIdle && !box.open) location.reload();
  }

  (function frame() {
    // The state first: what the rest shows is then at least as new, so a
    // run shown as ended shows its title too.
    const state = STATES[vex._web_state()];
    takeTitle();
    takeBox();
    takePrint();
    takeFiles();
    showState(state);
    repaint();
    requestAnimationFrame(frame);
  })();
})();
