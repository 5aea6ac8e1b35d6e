// The page around the WebAssembly computer: it draws the console from the model, hands keys, the soft keys
// and the menu to the hand-off, and keeps the browser's folder of programs (IndexedDB) in step with the
// folder the interpreter sees. Runs before tavikwm.js and sets up its Module.
'use strict';

(function () {
  const FOLDER = '/tavik';
  const FONT_FAMILY = 'Tavik Console Gothic';
  const FONT_STACK = `"${FONT_FAMILY}", "MS Gothic", "IPAGothic", "VL Gothic", "Noto Sans Mono CJK JP", monospace`;
  const MARGIN_GREY = '#808080';
  const DB_NAME = 'tavikWM';
  const STORE = 'files';

  const $ = (id) => document.getElementById(id);
  const canvas = $('screen');
  const ctx = canvas.getContext('2d', { alpha: false });
  const keys = $('keys');
  const mirror = $('mirror');
  const started = performance.now();

  let ready = false;        // main is running
  let switchedOff = false;
  let frameWanted = false;
  let caretTimer = 0;
  let scale = 1;            // device pixels per screen pixel
  let cssScale = 1;
  let lastLayout = null;
  let texts = null;
  let frameFields = [];     // the names of the frame's fields, in tavik_layout's order
  const pendingDownloads = new Set();

  // ---------------------------------------------------------------------------------------------------
  // The browser's folder: one record per file, written one file at a time, so that two pages never
  // undo each other's saves.

  let dbPromise = null;
  function openDb() {
    if (!dbPromise) {
      dbPromise = new Promise((resolve, reject) => {
        const request = indexedDB.open(DB_NAME, 1);
        request.onupgradeneeded = () => request.result.createObjectStore(STORE);
        request.onsuccess = () => resolve(request.result);
        request.onerror = () => reject(request.error);
      });
    }
    return dbPromise;
  }
  async function readFolder() {
    const db = await openDb();
    return new Promise((resolve, reject) => {
      const files = new Map();
      const tx = db.transaction(STORE, 'readonly');
      const cursor = tx.objectStore(STORE).openCursor();
      cursor.onsuccess = () => {
        const c = cursor.result;
        if (!c) return;
        files.set(String(c.key), c.value.data);
        c.continue();
      };
      tx.oncomplete = () => resolve(files);
      tx.onerror = () => reject(tx.error);
    });
  }
  async function writeRecord(name, data) {
    const db = await openDb();
    return new Promise((resolve) => {
      const tx = db.transaction(STORE, 'readwrite');
      tx.objectStore(STORE).put({ data, modified: Date.now() }, name);
      tx.oncomplete = () => resolve(true);
      tx.onerror = () => resolve(false);
      tx.onabort = () => resolve(false);
    });
  }
  function putInFolder(name, data) {
    const FS = Module.FS;
    const parts = name.split('/');
    let dir = FOLDER;
    for (const part of parts.slice(0, -1)) {
      dir += '/' + part;
      try { FS.mkdir(dir); } catch (e) { /* there already */ }
    }
    FS.writeFile(FOLDER + '/' + name, data);
  }
  // Files another page saved since: taken in while the computer waits at the prompt, never under a
  // program that may be reading a file.
  async function refreshFolder() {
    if (!ready || switchedOff || !Module._tavik_input_active()) return;
    try {
      for (const [name, data] of await readFolder()) putInFolder(name, data);
    } catch (e) { /* the folder stays as it was */ }
  }
  function askForPersistence() {
    if (!navigator.storage || !navigator.storage.persist) return;
    try {
      if (localStorage.getItem('tavikWM.persistAsked')) return;
      localStorage.setItem('tavikWM.persistAsked', '1');
    } catch (e) { /* storage refused: ask anyway, once for this page */ }
    navigator.storage.persisted().then((already) => { if (!already) navigator.storage.persist(); });
  }
  function offerDownload(name, data) {
    const blob = new Blob([data], { type: 'application/octet-stream' });
    const a = document.createElement('a');
    a.href = URL.createObjectURL(blob);
    a.download = name.split('/').pop();
    document.body.appendChild(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 10000);
  }

  // ---------------------------------------------------------------------------------------------------
  // Drawing

  function hex(colour) {
    const r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return '#' + ((1 << 24) | (r << 16) | (g << 8) | b).toString(16).slice(1);
  }
  function fontFor(height) {
    return `${height}px ${FONT_STACK}`;
  }
  const measured = new Map();
  function measureFont(height) {
    if (!measured.has(height)) {
      const m = document.createElement('canvas').getContext('2d');
      m.font = fontFor(height);
      const metrics = m.measureText('\uFF21');
      const ascent = Math.round(metrics.fontBoundingBoxAscent || height * 0.88);
      const descent = Math.round(metrics.fontBoundingBoxDescent || height * 0.12);
      measured.set(height, [Math.max(1, Math.round(metrics.width)), Math.max(1, ascent + descent), ascent]);
    }
    return measured.get(height);
  }

  function readLayout() {
    const p = Module._tavik_layout() >> 2;
    const v = Module.HEAP32.subarray(p, p + frameFields.length);
    const layout = {};
    frameFields.forEach((name, i) => { layout[name] = v[i]; });
    return layout;
  }

  // Screen pixels to device pixels, rounded so that neighbouring cells meet without a seam.
  const px = (x) => Math.round(x * scale);

  function fitToWindow(layout) {
    const bar = $('softkeys').offsetHeight || 32;
    const w = layout.screenWidth, h = layout.screenHeight;
    const area = viewportArea();
    cssScale = Math.max(0.1, Math.min(area.width / w, (area.height - bar) / h));
    const dpr = window.devicePixelRatio || 1;
    scale = cssScale * dpr;
    canvas.style.width = `${w * cssScale}px`;
    canvas.style.height = `${h * cssScale}px`;
    canvas.width = Math.max(1, Math.round(w * scale));
    canvas.height = Math.max(1, Math.round(h * scale));
    $('device').style.width = `${touchDevice ? area.width : w * cssScale}px`;
    layoutAbout(layout);
  }

  function paintRow(layout, row) {
    const p = Module._tavik_row(row) >> 2;
    const cells = Module.HEAPU32.subarray(p, p + layout.columns * 4);
    const top = layout.gridTop + row * layout.cellHeight;
    const y0 = px(top), y1 = px(top + layout.cellHeight);
    const [, , ascent] = measureFont(layout.fontHeight);
    for (let c = 0; c < layout.columns; ++c) {
      const left = layout.gridLeft + c * layout.cellWidth;
      const x0 = px(left), x1 = px(left + layout.cellWidth);
      const glyph = cells[c * 4 + 1];
      ctx.fillStyle = hex(cells[c * 4 + 3]);
      ctx.fillRect(x0, y0, x1 - x0, y1 - y0);
      // Code 0 and a lone half of a surrogate pair have no picture: only the background.
      if (glyph !== 0 && (glyph < 0xD800 || glyph > 0xDFFF) && glyph !== 0x3000) {
        ctx.fillStyle = hex(cells[c * 4 + 2]);
        ctx.save();
        ctx.beginPath();
        ctx.rect(x0, y0, x1 - x0, y1 - y0);
        ctx.clip();
        ctx.fillText(String.fromCharCode(glyph), x0, y0 + ascent * scale);
        ctx.restore();
      }
    }
  }

  function paintPlane(layout) {
    const band = [px(layout.bandLeft), px(layout.bandTop), px(layout.bandRight), px(layout.bandBottom)];
    ctx.fillStyle = MARGIN_GREY;
    ctx.fillRect(band[0], band[1], band[2] - band[0], band[3] - band[1]);
    if (!layout.planeExists || layout.scaleX <= 0 || layout.scaleY <= 0) return;
    const w = layout.planeWidth, h = layout.planeHeight;
    const p = Module._tavik_plane_rgba();
    const image = new ImageData(new Uint8ClampedArray(Module.HEAPU8.buffer, p, w * h * 4).slice(), w, h);
    const off = paintPlane.canvas || (paintPlane.canvas = document.createElement('canvas'));
    off.width = w;
    off.height = h;
    off.getContext('2d').putImageData(image, 0, 0);
    ctx.imageSmoothingEnabled = false;
    const x0 = px(layout.pictureLeft), y0 = px(layout.pictureTop);
    ctx.drawImage(off, x0, y0, px(layout.pictureLeft + w * layout.scaleX) - x0,
                  px(layout.pictureTop + h * layout.scaleY) - y0);
  }

  function frame() {
    frameWanted = false;
    if (!ready) return;
    const layout = readLayout();
    const turned = !lastLayout || lastLayout.screenWidth !== layout.screenWidth ||
                   lastLayout.screenHeight !== layout.screenHeight;
    if (turned) fitToWindow(layout);
    const all = turned || layout.allSpoiled || !lastLayout || lastLayout.rows !== layout.rows ||
                lastLayout.columns !== layout.columns || lastLayout.cellWidth !== layout.cellWidth ||
                lastLayout.cellHeight !== layout.cellHeight || lastLayout.firstTextRow !== layout.firstTextRow;
    ctx.font = fontFor(layout.fontHeight * scale);
    ctx.textBaseline = 'alphabetic';
    if (all) {
      ctx.fillStyle = MARGIN_GREY;
      ctx.fillRect(0, 0, canvas.width, canvas.height);
    }
    if (all || layout.planeSpoiled) {
      if (layout.firstTextRow > 0) paintPlane(layout);
    }
    let changed = all;
    for (let row = 0; row < layout.rows; ++row) {
      const spoiled = Module._tavik_take_row_spoiled(row);
      changed = changed || spoiled;
      if (row >= layout.firstTextRow && (all || spoiled)) paintRow(layout, row);
    }
    for (let row = layout.rows; row < 100; ++row) Module._tavik_take_row_spoiled(row);
    // The mirror: a line per row, as Copy Screen takes the screen.
    if (changed) {
      const text = Module.UTF8ToString(Module._tavik_screen_text()).replace(/\n$/, '');
      if (mirror.textContent !== text) mirror.textContent = text;
    }
    placeKeysField(layout);
    lastLayout = layout;
  }
  function scheduleFrame() {
    if (frameWanted) return;
    frameWanted = true;
    requestAnimationFrame(frame);
  }

  // The input method's window opens at the cursor cell.
  function placeKeysField(layout) {
    keys.style.left = `${(layout.gridLeft + layout.cursorColumn * layout.cellWidth) * cssScale}px`;
    keys.style.top = `${(layout.gridTop + layout.cursorRow * layout.cellHeight) * cssScale}px`;
    keys.style.fontSize = `${layout.fontHeight * cssScale}px`;
  }

  // ---------------------------------------------------------------------------------------------------
  // Keys

  // Windows virtual-key codes by the key's place on the keyboard, where the browser's keyCode is not one.
  const CODE_KEYS = {
    Numpad0: 0x60, Numpad1: 0x61, Numpad2: 0x62, Numpad3: 0x63, Numpad4: 0x64, Numpad5: 0x65, Numpad6: 0x66,
    Numpad7: 0x67, Numpad8: 0x68, Numpad9: 0x69, NumpadMultiply: 0x6A, NumpadAdd: 0x6B,
    NumpadSubtract: 0x6D, NumpadDecimal: 0x6E, NumpadDivide: 0x6F, NumpadEnter: 0x0D,
    Semicolon: 0xBA, Equal: 0xBB, Comma: 0xBC, Minus: 0xBD, Period: 0xBE, Slash: 0xBF, Backquote: 0xC0,
    BracketLeft: 0xDB, Backslash: 0xDC, BracketRight: 0xDD, Quote: 0xDE, IntlYen: 0xDC,
    MetaLeft: 0x5B, MetaRight: 0x5C, ContextMenu: 0x5D, AltLeft: 0x12, AltRight: 0x12,
  };
  function virtualKeyOf(e) {
    if (CODE_KEYS[e.code] !== undefined) return CODE_KEYS[e.code];
    const k = e.keyCode | 0;
    return k > 0 && k < 256 ? k : 0;
  }
  // The characters a key types, as the window's keyboard gives them.
  function unitsOf(e) {
    if (e.altKey || e.metaKey) return '';
    switch (e.key) {
      case 'Enter': return '\r';
      case 'Backspace': return '\b';
      case 'Tab': return '\t';
      case 'Escape': return '\x1B';
      default: break;
    }
    if (e.ctrlKey) {
      if (/^Key[A-Z]$/.test(e.code)) return String.fromCharCode(e.code.charCodeAt(3) - 64);
      return '';
    }
    return [...e.key].length === 1 ? e.key : '';
  }
  // Keys that arrive while no input request is open wait a moment for the next one: after Enter the
  // computer needs a turn of the browser's events before it asks for the next line, and what is typed in
  // that moment must not be lost. What waits longer (a program ran) is dropped, as the window drops it.
  const TYPE_AHEAD_MS = 500;
  const typeAhead = [];
  function deliver(entry) {
    if (entry.key) Module._tavik_key_down(entry.key);
    else Module._tavik_char(entry.unit);
    wake();
  }
  function queueInput(entry) {
    if (!typeAhead.length && Module._tavik_input_active()) {
      deliver(entry);
      return;
    }
    // KEY() sees a key at once, whatever waits.
    if (entry.key) Module._tavik_key_down(entry.key);
    typeAhead.push(entry);
  }
  function drainTypeAhead() {
    if (!ready || switchedOff) { typeAhead.length = 0; return; }
    const now = performance.now();
    while (typeAhead.length && Module._tavik_input_active()) {
      const entry = typeAhead.shift();
      if (now - entry.at > TYPE_AHEAD_MS) continue;
      deliver(entry);
    }
  }
  function typeUnits(text) {
    const at = performance.now();
    for (let i = 0; i < text.length; ++i) queueInput({ unit: text.charCodeAt(i), at });
  }

  keys.addEventListener('keydown', (e) => {
    if (!ready || switchedOff) return;
    if (e.isComposing || e.keyCode === 229) return; // the input method's own keys
    if (!$('about').hidden) {
      if (e.key === 'Enter' || e.key === 'Escape') closeAbout();
      e.preventDefault();
      return;
    }
    const ctrlOnly = e.ctrlKey && !e.altKey && !e.metaKey && !e.shiftKey;
    // The paste keys (the window's Shift+Insert and Ctrl+Shift+V, and the browser's Ctrl+V) are left to the
    // browser: only its paste event may read the clipboard, and it types the text.
    const pasteKey = (e.ctrlKey && !e.altKey && !e.metaKey && e.code === 'KeyV') ||
                     (e.shiftKey && !e.ctrlKey && !e.altKey && e.key === 'Insert');
    if (pasteKey) return;
    const vk = virtualKeyOf(e);
    if (ctrlOnly && vk === 0x41) { e.preventDefault(); showAbout(); return; }
    if (ctrlOnly && vk === 0x51) { e.preventDefault(); return; }
    if (vk) queueInput({ key: vk, at: performance.now() });
    const units = unitsOf(e);
    if (units) typeUnits(units);
    // F11 and F12 stay the browser's (full screen, its tools).
    if (e.key !== 'F11' && e.key !== 'F12') e.preventDefault();
  });
  keys.addEventListener('keyup', (e) => {
    if (!ready) return;
    const vk = virtualKeyOf(e);
    if (vk) Module._tavik_key_up(vk);
  });
  keys.addEventListener('compositionend', (e) => {
    const rest = notYetTyped(e.data || '');
    if (ready && !switchedOff && rest) typeUnits(rest);
    keys.value = '';
  });
  // Text typed without key events of its own (an on-screen keyboard).
  keys.addEventListener('input', (e) => {
    if (e.isComposing) return;
    if (ready && !switchedOff) {
      if (e.inputType === 'insertText' && e.data) typeUnits(e.data);
      // On-screen keyboards that send no key codes of their own.
      if (e.inputType === 'deleteContentBackward') { queueInput({ key: 0x08, at: performance.now() }); typeUnits('\b'); }
      if (e.inputType === 'insertLineBreak') { queueInput({ key: 0x0D, at: performance.now() }); typeUnits('\r'); }
    }
    if (!e.isComposing) keys.value = '';
  });
  keys.addEventListener('paste', (e) => {
    e.preventDefault();
    const text = (e.clipboardData || window.clipboardData).getData('text');
    paste(text);
  });
  keys.addEventListener('blur', () => { if (ready) Module._tavik_focus_lost(); });
  canvas.addEventListener('mousedown', (e) => { e.preventDefault(); keys.focus(); });
  // A click or a tap on a cell places the cursor there while a line is asked (the mouse's primary button,
  // a finger, a pen). Typed keys still waiting go first, so the click lands where they left the cursor.
  canvas.addEventListener('pointerdown', (e) => {
    if (!ready || switchedOff || !e.isPrimary || e.button !== 0) return;
    drainTypeAhead();
    const box = canvas.getBoundingClientRect();
    Module._tavik_press(Math.floor((e.clientX - box.left) / cssScale), Math.floor((e.clientY - box.top) / cssScale));
    keys.focus();
  });
  document.addEventListener('visibilitychange', () => { if (!document.hidden) refreshFolder(); });
  window.addEventListener('focus', () => { keys.focus(); refreshFolder(); });

  // Pasted text is typed as the window's Paste types it: each line at a line request, none lost.
  function paste(text) {
    if (!ready || switchedOff || !text) return;
    const p = Module._malloc(text.length * 2);
    for (let i = 0; i < text.length; ++i) Module.HEAPU16[(p >> 1) + i] = text.charCodeAt(i);
    Module._tavik_paste(p, text.length); // a refused paste is shown from there
    Module._free(p);
    wake();
  }

  // ---------------------------------------------------------------------------------------------------
  // Soft keys, menu and About

  function putText(text) {
    const p = Module._tavik_text_buffer() >> 1;
    const n = Math.min(text.length, 512);
    for (let i = 0; i < n; ++i) Module.HEAPU16[p + i] = text.charCodeAt(i);
    return n;
  }
  // A command line typed for the user; a refusal is shown from the computer's side.
  function typeCommand(text) {
    Module._tavik_type(putText(text));
    wake();
  }
  // A file loaded as Open loads a chosen one; false when the name cannot be typed.
  function openFile(name) {
    const typed = Module._tavik_open_file(putText(name)) === 1;
    wake();
    return typed;
  }
  // The answer to a question a MENU command asked; false when its command was refused.
  function answer(command, text) {
    const typed = Module._tavik_answer(command, putText(text)) === 1;
    wake();
    return typed;
  }

  // Open and Run... take a file from the computer: it joins the browser's folder before its command is typed.
  let chooserCommand = 0;
  $('chooser').addEventListener('change', async () => {
    const file = $('chooser').files[0];
    $('chooser').value = '';
    if (!file) return;
    const data = new Uint8Array(await file.arrayBuffer());
    putInFolder(file.name, data);
    await writeRecord(file.name, data);
    answer(chooserCommand, file.name);
    keys.focus();
  });
  function chooseFile(command) {
    chooserCommand = command;
    $('chooser').click();
  }
  // Renumber... asks for RENUM's arguments, starting with the usual ones.
  function renumber(command, question, usual) {
    const given = prompt(question.trim(), usual);
    if (given !== null) answer(command, given);
  }
  function saveAs(command) {
    let name = prompt('Save as (a name in the browser\'s folder; the file is also downloaded):', 'PROGRAM.TK');
    if (name === null) return;
    name = name.trim();
    if (!name) return;
    if (!/\.[^./]+$/.test(name)) name += '.TK';
    // As the window's save dialog does, a file already in the folder is replaced only when the user agrees.
    if (Module.FS.analyzePath(FOLDER + '/' + name).exists && !confirm(`${name} is already in the browser's folder. Replace it?`)) return;
    if (answer(command, name)) pendingDownloads.add(name);
  }
  async function pasteClipboard() {
    let text;
    try {
      text = await navigator.clipboard.readText();
    } catch (e) {
      alert('The browser does not let the page read the clipboard here: paste with Ctrl+V.');
      return;
    }
    paste(text);
  }
  async function copyText(text) {
    try {
      await navigator.clipboard.writeText(text);
    } catch (e) {
      const t = document.createElement('textarea');
      t.value = text;
      document.body.appendChild(t);
      t.select();
      document.execCommand('copy');
      t.remove();
    }
  }

  // The MENU as the computer's side gives it (tavik_menu); every entry is carried out there.
  function buildMenu() {
    const list = $('menu-list');
    list.textContent = '';
    texts.menu.forEach((entry, i) => {
      if (entry.submenu) {
        // A submenu with nothing in it is not shown.
        const next = texts.menu[i + 1];
        if (!next || next.level === 0) return;
        const group = document.createElement('div');
        group.className = 'group';
        group.textContent = entry.label;
        list.appendChild(group);
        return;
      }
      const item = document.createElement('div');
      item.setAttribute('role', 'menuitem');
      item.tabIndex = -1;
      // A command that asks the computer for a file says so, as the window's dialogs do.
      item.textContent = entry.asksFile && !entry.label.endsWith('...') ? entry.label + '...' : entry.label;
      if (entry.level > 0) item.className = 'sub';
      item.addEventListener('click', () => {
        closeMenu();
        Module._tavik_command(entry.command);
        wake();
        if ($('about').hidden) keys.focus();
      });
      list.appendChild(item);
    });
  }
  function closeMenu() {
    $('menu-list').hidden = true;
    $('menu').setAttribute('aria-expanded', 'false');
  }
  $('menu').addEventListener('click', () => {
    const list = $('menu-list');
    if (list.hidden) {
      list.hidden = false;
      $('menu').setAttribute('aria-expanded', 'true');
      const first = list.querySelector('[role="menuitem"]');
      if (first) first.focus();
    } else {
      closeMenu();
      keys.focus();
    }
  });
  $('menu-list').addEventListener('keydown', (e) => {
    const items = [...$('menu-list').querySelectorAll('[role="menuitem"]')];
    const at = items.indexOf(document.activeElement);
    if (e.key === 'ArrowDown') items[(at + 1) % items.length].focus();
    else if (e.key === 'ArrowUp') items[(at + items.length - 1) % items.length].focus();
    else if (e.key === 'Enter' && at >= 0) items[at].click();
    else if (e.key === 'Escape') { closeMenu(); keys.focus(); }
    e.preventDefault();
  });
  document.addEventListener('mousedown', (e) => {
    if (!$('softkeys').contains(e.target)) closeMenu();
  });
  // A click anywhere outside the menu and the About box gives the keys back to the console.
  document.addEventListener('mouseup', (e) => {
    if ($('menu-list').hidden && $('about').hidden && $('off').hidden && !$('softkeys').contains(e.target)) keys.focus();
  });
  $('break').addEventListener('click', () => {
    if (ready && !switchedOff) Module._tavik_break();
    wake();
    keys.focus();
  });
  $('switch-on').addEventListener('click', () => location.reload());

  // The About box fills the screen; its two layouts (portrait, landscape) place the icon and the two lines
  // as the dialog templates do, in dialog units of its 9-point face.
  const ABOUT_LAYOUTS = {
    portrait: { icon: [12, 12], version: [12, 36, 137], notice: [12, 48, 137] },
    landscape: { icon: [12, 12], version: [48, 12, 155], notice: [48, 24, 155] },
  };
  function layoutAbout(layout) {
    const l = layout.screenHeight > layout.screenWidth ? ABOUT_LAYOUTS.portrait : ABOUT_LAYOUTS.landscape;
    const ux = 1.5 * cssScale, uy = 1.625 * cssScale;
    const place = (el, at) => {
      el.style.left = `${at[0] * ux}px`;
      el.style.top = `${at[1] * uy}px`;
      if (at[2]) el.style.width = `${at[2] * ux}px`;
    };
    place($('about-icon'), l.icon);
    $('about-icon').style.width = $('about-icon').style.height = `${20 * ux}px`;
    place($('about-version'), l.version);
    place($('about-notice'), l.notice);
    $('about').style.fontSize = `${12 * cssScale}px`;
  }
  function showAbout() {
    closeMenu();
    $('about').hidden = false;
    $('about-ok').focus();
  }
  function closeAbout() {
    $('about').hidden = true;
    keys.focus();
  }
  $('about-ok').addEventListener('click', closeAbout);
  $('about').addEventListener('keydown', (e) => {
    if (e.key === 'Escape') closeAbout();
  });

  // A turned phone turns the page's screen with it.
  if (screen.orientation) {
    screen.orientation.addEventListener('change', () => {
      if (!ready || !lastLayout) return;
      wake();
      const w = lastLayout.screenWidth, h = lastLayout.screenHeight;
      const landscape = screen.orientation.type.startsWith('landscape');
      const small = Math.min(w, h), large = Math.max(w, h);
      Module._tavik_resize(landscape ? large : small, landscape ? small : large);
    });
  }
  window.addEventListener('resize', () => { if (lastLayout) { lastLayout = null; scheduleFrame(); } });

  // ---------------------------------------------------------------------------------------------------
  // Phones and tablets: a row of the keys their on-screen keyboards lack, the screen fitted above that
  // keyboard, the input method's text typed once and in order, and the screen turned with the phone.

  const touchDevice = matchMedia('(pointer: coarse)').matches;
  if (touchDevice) {
    document.documentElement.classList.add('touch');
    $('phonekeys').hidden = false;
  }
  // The area the page may fill: above the on-screen keyboard where the browser says where it stands.
  function viewportArea() {
    const vv = window.visualViewport;
    if (!touchDevice || !vv) return { width: window.innerWidth, height: window.innerHeight };
    const body = document.body.style;
    body.left = `${vv.offsetLeft}px`;
    body.top = `${vv.offsetTop}px`;
    body.width = `${vv.width}px`;
    body.height = `${vv.height}px`;
    return { width: vv.width, height: vv.height };
  }
  if (touchDevice && window.visualViewport) {
    const refit = () => { if (lastLayout) { lastLayout = null; scheduleFrame(); } };
    window.visualViewport.addEventListener('resize', refit);
    window.visualViewport.addEventListener('scroll', refit);
  }

  // Arrows, Home and End repeat while held, as a keyboard's do; KEY() sees each key held until it is let go.
  const PHONE_KEYS = [
    { name: 'Home', label: 'Home', key: 0x24 },
    { name: 'Left', label: '\u2190', key: 0x25, repeats: true },
    { name: 'Up', label: '\u2191', key: 0x26, repeats: true },
    { name: 'Down', label: '\u2193', key: 0x28, repeats: true },
    { name: 'Right', label: '\u2192', key: 0x27, repeats: true },
    { name: 'End', label: 'End', key: 0x23 },
    { name: 'Enter', label: '\u21B5', key: 0x0D, units: '\r' },
  ];
  const REPEAT_DELAY_MS = 400, REPEAT_EVERY_MS = 60;
  function pressPhoneKey(entry) {
    if (!ready || switchedOff) return;
    endComposition();
    queueInput({ key: entry.key, at: performance.now() });
    if (entry.units) typeUnits(entry.units);
  }
  for (const entry of PHONE_KEYS) {
    const button = document.createElement('button');
    button.type = 'button';
    button.tabIndex = -1;
    button.textContent = entry.label;
    button.setAttribute('aria-label', entry.name);
    if (entry.label.length > 1) button.className = 'word';
    let repeat = 0;
    const release = () => {
      clearTimeout(repeat);
      clearInterval(repeat);
      repeat = 0;
      if (!button.classList.contains('down')) return;
      button.classList.remove('down');
      if (ready) Module._tavik_key_up(entry.key);
    };
    // Pressed at once, without taking the focus from the keys field: the on-screen keyboard stays open.
    button.addEventListener('pointerdown', (e) => {
      e.preventDefault();
      if (e.button !== 0) return;
      closeMenu();
      release();
      button.setPointerCapture(e.pointerId);
      button.classList.add('down');
      pressPhoneKey(entry);
      if (entry.repeats) {
        repeat = setTimeout(() => { repeat = setInterval(() => pressPhoneKey(entry), REPEAT_EVERY_MS); },
                            REPEAT_DELAY_MS);
      }
    });
    button.addEventListener('pointerup', release);
    button.addEventListener('pointercancel', release);
    button.addEventListener('lostpointercapture', release);
    button.addEventListener('mousedown', (e) => e.preventDefault());
    // Pressed from the keyboard or a screen reader (no pointer): down and up at once.
    button.addEventListener('click', (e) => {
      if (e.detail !== 0) return;
      pressPhoneKey(entry);
      if (ready) Module._tavik_key_up(entry.key);
    });
    $('phonekeys').appendChild(button);
  }
  // BREAK and MENU keep the focus in the keys field too.
  for (const id of ['break', 'menu']) $(id).addEventListener('mousedown', (e) => { if (touchDevice) e.preventDefault(); });

  // A tap on the screen opens the on-screen keyboard, also when the user closed it and the keys field kept
  // its focus (a focused field opens no keyboard).
  canvas.addEventListener('pointerup', (e) => {
    if (e.pointerType !== 'touch' || !ready || switchedOff) return;
    if (document.activeElement === keys) keys.blur();
    keys.focus();
  });

  // The input method's text still being composed: a soft key types it first, so that it arrives before
  // the key, and the input method's own commit that follows is not typed again.
  let composing = '';
  let typedAhead = null;
  keys.addEventListener('compositionstart', () => { composing = ''; typedAhead = null; });
  keys.addEventListener('compositionupdate', (e) => { composing = e.data || ''; });
  function endComposition() {
    if (!composing) return;
    const text = composing;
    composing = '';
    typeUnits(text);
    typedAhead = text;
    // The input method commits what it shows when the field loses its focus.
    keys.blur();
    keys.focus();
  }
  function notYetTyped(committed) {
    composing = '';
    const ahead = typedAhead;
    typedAhead = null;
    if (ahead === null) return committed;
    return committed.startsWith(ahead) ? committed.slice(ahead.length) : '';
  }

  // A phone held sideways starts the computer in landscape.
  function phoneScreen() {
    if (!touchDevice) return [];
    const landscape = screen.orientation ? screen.orientation.type.startsWith('landscape')
                                         : window.innerWidth > window.innerHeight;
    return landscape ? ['640', '480'] : [];
  }
  // ORIENT turns the phone with the screen where the browser lets a page hold the phone's orientation (an
  // installed page, full screen); elsewhere the next turn of the phone turns the screen back to match it.
  let turningWithPhone = false;
  function turnPhoneWithScreen() {
    if (turningWithPhone || !touchDevice || !screen.orientation || !screen.orientation.lock) return;
    requestAnimationFrame(() => {
      if (!lastLayout) return;
      const landscape = lastLayout.screenWidth > lastLayout.screenHeight;
      screen.orientation.lock(landscape ? 'landscape' : 'portrait').catch(() => {});
    });
  }

  // ---------------------------------------------------------------------------------------------------
  // Offline and installable: the service worker keeps the site after the first visit. Browsers run service
  // workers only for pages from HTTPS or from localhost.

  function keepForOffline() {
    if (!('serviceWorker' in navigator) || !window.isSecureContext) return;
    // After the start, so that caching the site does not slow the first prompt.
    setTimeout(() => navigator.serviceWorker.register('sw.js').catch(() => {}), 0);
  }

  // Things to do when the computer next opens a request (the start's first prompt, the one after a load).
  const promptWaiters = [];
  function atPrompt() {
    if (!ready || switchedOff || !Module._tavik_input_active()) return;
    const waiters = promptWaiters.splice(0);
    for (const waiter of waiters) waiter();
  }
  function atNextPrompt(action) {
    promptWaiters.push(action);
  }

  // ---------------------------------------------------------------------------------------------------
  // Programs shared by link: the URL's fragment holds the program file as SAVE writes it (the listing as
  // UTF-16LE text after its mark), compressed with deflate and base64url-encoded. Nothing reaches a
  // server; the program opens in any browser that has the page.

  const LINK_LIMIT = 8192;                 // characters of the fragment: what every browser and chat takes
  const LINK_FILE = '/link/LINK.TK';       // outside the browser's folder: a link fills no file of its own
  const LINK_TEXTS = {
    tooLong: (n) => `The program is too long for a link (${n} characters, at most ${LINK_LIMIT}): save it to a file instead.`,
    empty: 'There is no program to share.',
    damaged: 'Nothing was loaded: the link does not hold a program.',
    unsaved: 'The program in memory has not been saved. Replace it with the program of the link?',
    copied: 'The link to this program is on the clipboard:',
    notCopied: 'The browser did not let the page use the clipboard: copy the link from here.',
  };

  // Inflating stops past the largest program file there can be: a link cannot fill the memory.
  const LINK_INFLATED_LIMIT = 1 << 20;
  async function deflated(bytes, inflate) {
    const stream = new Blob([bytes]).stream()
      .pipeThrough(inflate ? new DecompressionStream('deflate') : new CompressionStream('deflate'));
    const reader = stream.getReader();
    const parts = [];
    let size = 0;
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      size += value.length;
      if (inflate && size > LINK_INFLATED_LIMIT) {
        reader.cancel();
        throw new RangeError('too large');
      }
      parts.push(value);
    }
    const out = new Uint8Array(size);
    let at = 0;
    for (const part of parts) { out.set(part, at); at += part.length; }
    return out;
  }
  function base64url(bytes) {
    let binary = '';
    for (let i = 0; i < bytes.length; i += 0x8000) binary += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
    return btoa(binary).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  }
  function fromBase64url(text) {
    if (!/^[A-Za-z0-9_-]+$/.test(text)) return null;
    try {
      const binary = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
      return Uint8Array.from(binary, (c) => c.charCodeAt(0));
    } catch (e) {
      return null;
    }
  }
  // The program as SAVE would write it.
  function programFile() {
    const p = Module._tavik_program_file();
    return Module.HEAPU8.slice(p, p + Module._tavik_program_file_size());
  }
  // A program file exactly as SAVE writes one: the mark, then numbered lines in ascending order, each
  // ending in CR LF. Anything else is not loaded at all.
  function isProgramFile(bytes) {
    if (bytes.length < 2 || bytes.length % 2 || bytes[0] !== 0xFF || bytes[1] !== 0xFE) return false;
    let text = '';
    for (let i = 2; i < bytes.length; i += 2) text += String.fromCharCode(bytes[i] | (bytes[i + 1] << 8));
    if (text === '') return true;
    if (!text.endsWith('\r\n')) return false;
    let last = 0;
    for (const line of text.slice(0, -2).split('\r\n')) {
      const m = /^([1-9][0-9]{0,4})/.exec(line);
      if (!m || /[\r\n]/.test(line) || +m[1] > 32767 || +m[1] <= last) return false;
      last = +m[1];
    }
    return true;
  }
  // A program not yet saved: there is one, and the file it was last loaded from or saved to holds another.
  function programUnsaved(program) {
    if (program.length <= 2) return false;
    const name = Module.UTF8ToString(Module._tavik_current_file());
    if (!name) return true;
    try {
      const saved = Module.FS.readFile(name.startsWith('/') ? name : FOLDER + '/' + name);
      return saved.length !== program.length || saved.some((b, i) => b !== program[i]);
    } catch (e) {
      return true;
    }
  }

  async function shareLink() {
    const program = programFile();
    if (program.length <= 2) { alert(LINK_TEXTS.empty); return; }
    const fragment = base64url(await deflated(program, false));
    if (fragment.length > LINK_LIMIT) { alert(LINK_TEXTS.tooLong(fragment.length)); return; }
    const url = location.href.replace(/#.*$/, '') + '#' + fragment;
    let copied = true;
    try {
      await navigator.clipboard.writeText(url);
    } catch (e) {
      copied = false;
    }
    showShared(url, copied);
  }
  function showShared(url, copied) {
    closeMenu();
    $('share-note').textContent = copied ? LINK_TEXTS.copied : LINK_TEXTS.notCopied;
    $('share-url').value = url;
    $('share').hidden = false;
    $('share-url').focus();
    $('share-url').select();
  }
  // The page's own entries of the MENU, by the key their entry gives.
  const PAGE_COMMANDS = { 'share-link': shareLink };
  function closeShared() {
    $('share').hidden = true;
    keys.focus();
  }
  $('share-ok').addEventListener('click', closeShared);
  $('share').addEventListener('keydown', (e) => { if (e.key === 'Escape' || e.key === 'Enter') { e.preventDefault(); closeShared(); } });

  // Opening a link: the program is checked whole before anything is replaced, loaded as LOAD loads a
  // file, and listed; RUN runs it.
  async function openLink() {
    const fragment = location.hash.slice(1);
    if (!fragment) return;
    let program = null;
    const packed = fromBase64url(fragment);
    if (packed) {
      try { program = await deflated(packed, true); } catch (e) { program = null; }
    }
    if (!program || !isProgramFile(program)) { alert(LINK_TEXTS.damaged); return; }
    if (programUnsaved(programFile()) && !confirm(LINK_TEXTS.unsaved)) return;
    try { Module.FS.mkdir('/link'); } catch (e) { /* there already */ }
    Module.FS.writeFile(LINK_FILE, program);
    if (openFile(LINK_FILE)) atNextPrompt(() => typeCommand('list\r'));
    keys.focus();
  }
  // A link opened in the page that is running: as a menu command, it stops what runs.
  window.addEventListener('hashchange', () => { if (ready && !switchedOff) openLink(); });

  // ---------------------------------------------------------------------------------------------------
  // What the C++ side calls (Module.tavik) and the start

  // The computer's wait for the browser's events; wake() ends it early, once something was handed over.
  let sleeping = null;
  function wake() {
    if (!sleeping) return;
    const { resolve, timer } = sleeping;
    sleeping = null;
    clearTimeout(timer);
    resolve();
  }

  let audio = null;
  const tavik = {
    measureFont: (height) => measureFont(height),
    scheduleFrame,
    beep() {
      try {
        audio = audio || new AudioContext();
        const o = audio.createOscillator(), g = audio.createGain();
        o.frequency.value = 880;
        g.gain.value = 0.1;
        o.connect(g).connect(audio.destination);
        o.start();
        o.stop(audio.currentTime + 0.08);
      } catch (e) { /* no sound here */ }
    },
    caretTimer(run) {
      clearInterval(caretTimer);
      caretTimer = run ? setInterval(() => { Module._tavik_caret_tick(); }, 500) : 0;
      // A request opened: what was typed ahead goes to it once this call has returned.
      if (run) Promise.resolve().then(drainTypeAhead).then(atPrompt);
    },
    screenTurned: () => { lastLayout = null; scheduleFrame(); turnPhoneWithScreen(); },
    switchedOff() {
      switchedOff = true;
      clearInterval(caretTimer);
      $('off').hidden = false;
      $('switch-on').focus();
    },
    // Never rejects: the computer waits for the answer, and a refusal is a Save Error.
    async storeFile(name, data) {
      let stored = false;
      try { stored = await writeRecord(name, data); } catch (e) { stored = false; }
      if (stored && pendingDownloads.delete(name)) offerDownload(name, data);
      return stored ? 1 : 0;
    },
    sleep(ms) {
      return new Promise((resolve) => {
        sleeping = { resolve, timer: setTimeout(() => { sleeping = null; resolve(); }, ms) };
      });
    },
    // A turn for the browser that costs no timer delay: a message to ourselves comes back after the
    // events, painting included, that were waiting.
    // The MENU's host. A question is asked once the command's call has returned, and answered with
    // tavik_answer; so is the page's own command.
    showMessage: (text) => alert(text),
    askFileName(command, save) {
      if (save) queueMicrotask(() => saveAs(command));
      else chooseFile(command);
    },
    askRenumber(command, question, usual) { queueMicrotask(() => renumber(command, question, usual)); },
    showAbout: () => showAbout(),
    readClipboard: () => { pasteClipboard(); },
    copyText: (text) => { copyText(text); },
    hostCommand(key) {
      const own = PAGE_COMMANDS[key];
      if (own) queueMicrotask(own);
    },
    yieldTurn() {
      return new Promise((resolve) => {
        if (frameWanted) {
          // A frame is due: give the browser the chance to paint before going on.
          setTimeout(resolve, 0);
          return;
        }
        const channel = new MessageChannel();
        channel.port1.onmessage = () => resolve();
        channel.port2.postMessage(0);
      });
    },
  };

  function parseTexts(all, menu) {
    const lines = all.split('\n');
    const t = { caption: lines[0], version: lines[1], notice: lines[2], breakLabel: lines[3], menuLabel: lines[4], menu: [] };
    for (const line of menu.split('\n')) {
      if (!line) continue;
      const [level, command, kind, label] = line.split('\t');
      t.menu.push({ level: +level, command: +command, label, submenu: kind === 'submenu', asksFile: kind === 'file' });
    }
    return t;
  }

  // The screen's size: ?screen=WxH, else the device's 480 x 640.
  function screenArguments() {
    const m = /^(\d+)x(\d+)$/.exec(new URLSearchParams(location.search).get('screen') || '');
    return m ? [m[1], m[2]] : phoneScreen();
  }

  const fontReady = (async () => {
    try {
      const face = new FontFace(FONT_FAMILY, 'url(console-gothic.ttf)');
      document.fonts.add(await face.load());
    } catch (e) { /* the browser's fonts draw the console */ }
  })();
  let folderFiles = new Map();
  const folderReady = readFolder().then((files) => { folderFiles = files; }, () => {});

  window.Module = {
    tavik,
    noInitialRun: true,
    print: (text) => console.log(text),
    printErr: (text) => console.warn(text),
    preRun: [() => {
      Module.FS.mkdir(FOLDER);
    }],
    onRuntimeInitialized() {
      Promise.all([fontReady, folderReady]).then(() => {
        for (const [name, data] of folderFiles) {
          try { putInFolder(name, data); } catch (e) { /* a name the folder cannot hold */ }
        }
        texts = parseTexts(Module.UTF8ToString(Module._tavik_texts()), Module.UTF8ToString(Module._tavik_menu()));
        frameFields = Module.UTF8ToString(Module._tavik_frame_names()).trim().split(' ');
        $('break').textContent = texts.breakLabel;
        $('menu').textContent = texts.menuLabel;
        $('about-caption').textContent = texts.caption;
        $('about-version').textContent = texts.version;
        $('about-notice').textContent = texts.notice;
        buildMenu();
        ready = true;
        keys.focus();
        askForPersistence();
        window.tavikStartedMs = performance.now() - started;
        Module.callMain(screenArguments());
        keepForOffline();
        if (Module._tavik_input_active()) openLink();
        else atNextPrompt(openLink);
      });
    },
  };
})();
