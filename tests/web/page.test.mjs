// The page as a learner uses it, in headless chromium: typing and editing, keys and the input method, the
// browser's folder across reloads and pages, BREAK against an endless loop, the plane on the canvas, the
// file chooser and downloads, the menu, ORIENT and the switched-off computer.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { enter, launch, openPage, screenText, serveSite, waitForScreen } from './harness.mjs';

// A program file as SAVE writes it: UTF-16LE with a byte-order mark, CR LF after every line.
function programBytes(lines) {
  return Buffer.concat([Buffer.from([0xFF, 0xFE]), Buffer.from(lines.map((l) => l + '\r\n').join(''), 'utf16le')]);
}

let site;
let browser;
before(async () => {
  site = await serveSite();
  browser = await launch();
});
after(async () => {
  await browser.close();
  site.server.close();
});

async function menu(page, label) {
  await page.click('#menu');
  await page.getByRole('menuitem', { name: label, exact: true }).click();
}

describe('typing', () => {
  test('a typed line runs, a typed program is listed, and a listed line edited on screen replaces it', async () => {
    const page = await openPage(browser.context, site.url);
    await enter(page, 'print 1+2');
    await waitForScreen(page, /^print 1\+2\n3$/m);
    // Typed at full speed: every character arrives, also those typed before the next line request.
    await enter(page, '10 print "A"');
    await enter(page, '20 print "B"');
    await enter(page, 'list');
    await waitForScreen(page, /^list\n10 print "A"\n20 print "B"\n$/m);
    // Up to the listed line 10, right to the letter, insert Z, Enter: the line as it now stands is stored.
    for (let i = 0; i < 2; ++i) await page.keyboard.press('ArrowUp');
    for (let i = 0; i < 10; ++i) await page.keyboard.press('ArrowRight');
    await page.keyboard.type('Z');
    await page.keyboard.press('Enter');
    // Enter left the cursor on the next listed line: down to the empty row below it.
    await page.keyboard.press('ArrowDown');
    await enter(page, 'cls:list:run');
    await waitForScreen(page, /^10 print "ZA"\n20 print "B"\nZA\nB\nOK$/m);
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  test('a click or a tap places the cursor on a cell; Home, End and Delete edit the line', async () => {
    const page = await openPage(browser.context, site.url);
    // The page's point at the middle of a console cell, and the cursor's cell.
    const cell = async (column, row) => page.evaluate(([c, r]) => {
      const p = window.Module._tavik_layout() >> 2;
      const v = window.Module.HEAP32.subarray(p, p + 32);
      const box = document.getElementById('screen').getBoundingClientRect();
      const k = box.width / v[0];
      return { x: box.left + (v[8] + (c + 0.5) * v[4]) * k, y: box.top + (v[9] + (r + 0.5) * v[5]) * k,
        left: box.left + v[8] * k, cursor: [v[23], v[24]] };
    }, [column, row]);
    await enter(page, 'cls');
    await page.keyboard.type('xprint 123');
    const two = await cell(8, 0);
    await page.mouse.click(two.x, two.y);
    assert.deepEqual((await cell(0, 0)).cursor, [8, 0]);
    if (two.left > 1) await page.mouse.click(two.left - 1, two.y); // beside the grid: refused
    await page.mouse.click(two.x, two.y, { button: 'right' });
    for (const key of ['Delete', 'Home', 'Delete', 'End']) await page.keyboard.press(key);
    await page.keyboard.type('4');
    await page.keyboard.press('Enter');
    await waitForScreen(page, /^print 134\n134$/m);

    // A finger: the tap on the 5 of "print 56", then Delete.
    await page.keyboard.type('print 56');
    const row = (await cell(0, 0)).cursor[1];
    const five = await cell(6, row);
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x: five.x, y: five.y }] });
    await cdp.send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
    assert.deepEqual((await cell(0, 0)).cursor, [6, row]);
    await page.keyboard.press('Delete');
    await page.keyboard.press('Enter');
    await waitForScreen(page, /^print 6\n6$/m);
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  test('AUTO numbers the typed lines; MENU Renumber... renumbers them with their GOTO', async () => {
    const page = await openPage(browser.context, site.url);
    await enter(page, 'auto');
    await page.keyboard.type('print "A"');
    await page.keyboard.press('Enter');
    await page.keyboard.type('goto 10');
    await page.keyboard.press('Enter');
    await page.keyboard.press('Enter');
    await waitForScreen(page, /^10 print "A"\n20 goto 10\n30\nOK$/m);
    const asked = [];
    page.once('dialog', async (d) => { asked.push(d.message(), d.defaultValue()); await d.accept('100,,5'); });
    await menu(page, 'Renumber...');
    await waitForScreen(page, /^renum 100,,5$/m);
    assert.deepEqual(asked, ['RENUM new,old,step:', '10,,10']);
    await enter(page, 'list');
    await waitForScreen(page, /^list\n100 print "A"\n105 goto 100$/m);
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  test('keys give the window\'s codes and characters; KEY() sees a key held; the input method commits text', async () => {
    const page = await openPage(browser.context, site.url);
    await enter(page, 'cls:print waitkey:print waitkey:print waitchar:print waitchar');
    await page.keyboard.press('ArrowLeft');
    await page.keyboard.press('F1');
    await page.keyboard.type('a');
    await page.keyboard.press('Control+B');
    await waitForScreen(page, /^37\n112\n97\n2$/m);

    await enter(page, 'cls');
    await enter(page, '10 for I=1 to 500:if key(16) then print "held":end');
    await enter(page, '20 waitms 10:next:print "never"');
    await enter(page, 'run');
    await page.waitForTimeout(100);
    await page.keyboard.down('Shift');
    await waitForScreen(page, /^held\nOK$/m);
    await page.keyboard.up('Shift');

    const cdp = await page.context().newCDPSession(page);
    await enter(page, 'cls');
    await page.keyboard.type('print "');
    await cdp.send('Input.imeSetComposition', { text: 'にほん', selectionStart: 3, selectionEnd: 3 });
    await cdp.send('Input.insertText', { text: '日本' });
    await page.keyboard.type('"');
    await page.keyboard.press('Enter');
    await waitForScreen(page, /^print "日本"\n日本$/m);
    await page.close();
  });

  test('pasted lines are typed one request at a time; Copy Screen copies the screen\'s text', async () => {
    await browser.context.grantPermissions(['clipboard-read', 'clipboard-write']);
    const page = await openPage(browser.context, site.url);
    await page.evaluate(() => navigator.clipboard.writeText('cls\n10 print 6*7\r\nrun\n'));
    await page.keyboard.press('Shift+Insert');
    await waitForScreen(page, /^10 print 6\*7\nrun\n42\nOK$/m);
    await menu(page, 'Copy Screen');
    await page.waitForFunction(async () => (await navigator.clipboard.readText()).includes('42'));
    const copied = await page.evaluate(() => navigator.clipboard.readText());
    assert.equal(copied, '10 print 6*7\nrun\n42\nOK\n' + '\n'.repeat(26));

    // A line longer than the console takes is refused whole, with the window's message.
    const message = new Promise((resolve) => page.once('dialog', (d) => { resolve(d.message()); d.dismiss(); }));
    await page.evaluate(() => navigator.clipboard.writeText('print 1\n' + 'x'.repeat(300)));
    await menu(page, 'Paste');
    assert.equal(await message, 'Nothing was pasted: line 2 has 300 characters, and a line holds at most 255.');
    assert.doesNotMatch(await screenText(page), /print 1/);
    await page.close();
  });
});

describe('the browser\'s folder', () => {
  test('SAVE keeps a program across a reload; two pages keep each other\'s files', async () => {
    const a = await openPage(browser.context, site.url);
    const b = await openPage(browser.context, site.url);
    await enter(a, '10 print "from a"');
    await enter(a, 'save "A.TK"');
    await waitForScreen(a, /^save "A\.TK"\n$/m);
    await enter(b, '10 print "from b"');
    await enter(b, 'save "B.TK"');
    await waitForScreen(b, /^save "B\.TK"\n$/m);
    // A page that saves never removes what the other saved.
    await enter(a, 'save "A2.TK"');
    await waitForScreen(a, /^save "A2\.TK"\n$/m);
    await b.close();

    await a.reload();
    await waitForScreen(a, /OK$/m);
    await enter(a, 'load "A.TK"');
    await enter(a, 'cls:list');
    await waitForScreen(a, /^10 print "from a"\n$/m);
    await enter(a, 'load "B.TK"');
    await enter(a, 'cls:list');
    await waitForScreen(a, /^10 print "from b"\n$/m);
    await a.close();
  });

  test('a save the browser refuses is reported as a Save Error, and the failure loses nothing', async () => {
    const page = await openPage(browser.context, site.url);
    await enter(page, '10 print 1');
    // The browser's storage fails as private browsing or a full disk makes it fail.
    await page.evaluate(() => {
      window.storingPut = IDBObjectStore.prototype.put;
      IDBObjectStore.prototype.put = () => { throw new DOMException('refused', 'QuotaExceededError'); };
    });
    await enter(page, 'save "NO.TK"');
    await waitForScreen(page, /^Save Error in 0\nOK$/m);

    await enter(page, 'cls:list');
    await waitForScreen(page, /^10 print 1\n$/m);
    // A name outside the browser's folder would not outlast the page: refused, though the browser stores.
    await page.evaluate(() => { IDBObjectStore.prototype.put = window.storingPut; });
    await enter(page, 'cls:save "/tmp/OUT.TK"');
    await waitForScreen(page, /^Save Error in 0\nOK$/m);
    // Nor is the refused file left behind for a LOAD to find until the next reload.
    await enter(page, 'cls:load "NO.TK"');
    await waitForScreen(page, /^File Not Found or Load Error i\nn 0\nOK$/m);
    await page.close();
  });

  test('Open... takes a file from the computer and loads it; Save As... stores and downloads the exact file', async () => {
    const page = await openPage(browser.context, site.url);
    const chooser = page.waitForEvent('filechooser');
    await menu(page, 'Open...');
    await (await chooser).setFiles({ name: 'UP.TK', mimeType: 'application/octet-stream',
                                     buffer: programBytes(['10 print 40+2', '20 print "up"']) });
    // LOAD clears the screen as it resets the computer.
    await waitForScreen(page, /^OK\n\n/);
    await enter(page, 'run');
    await waitForScreen(page, /^OK\nrun\n42\nup\nOK$/m);

    page.once('dialog', (d) => d.accept('OUT'));
    const download = page.waitForEvent('download');
    await menu(page, 'Save As...');
    const saved = await download;
    assert.equal(saved.suggestedFilename(), 'OUT.TK');
    assert.deepEqual(readFileSync(await saved.path()), programBytes(['10 print 40+2', '20 print "up"']));
    await waitForScreen(page, /^save "OUT\.TK"\n$/m);

    // Save As over a file of the folder asks first; declined, nothing is typed.
    const asked = [];
    page.on('dialog', (d) => {
      asked.push(d.type());
      if (d.type() === 'prompt') d.accept('OUT.TK');
      else d.dismiss();
    });
    await enter(page, 'cls');
    await menu(page, 'Save As...');
    await page.waitForTimeout(300);
    assert.deepEqual(asked, ['prompt', 'confirm']);
    assert.doesNotMatch(await screenText(page), /save/);
    page.removeAllListeners('dialog');

    // The uploaded and the saved file are both in the folder after a reload.
    await page.reload();
    await waitForScreen(page, /OK$/m);
    await enter(page, 'load "OUT.TK"');
    await enter(page, 'cls:list');
    await waitForScreen(page, /^10 print 40\+2\n20 print "up"\n$/m);
    await enter(page, 'cls:run "UP.TK"');
    await waitForScreen(page, /^42\nup\nOK$/m);
    await page.close();
  });
});

describe('running', () => {
  test('an endless loop leaves the page responsive and BREAK stops it within 100 ms', async () => {
    const page = await openPage(browser.context, site.url);
    await enter(page, '10 goto 10');
    await enter(page, 'run');
    await page.waitForTimeout(500);
    const took = await page.evaluate(async () => {
      const mirror = document.querySelector('[data-tavik-screen]');
      const start = performance.now();
      document.getElementById('break').click();
      while (!/Break in 10/.test(mirror.textContent)) await new Promise((r) => setTimeout(r, 1));
      return performance.now() - start;
    });
    assert.ok(took < 100, `BREAK took ${took} ms`);
    await waitForScreen(page, /^Break in 10\nOK$/m);
    await page.close();
  });

  test('the plane\'s pixels are drawn enlarged on the canvas in the colours set', async () => {
    const page = await openPage(browser.context, site.url);
    await enter(page, 'fcolor 255,0,0:graph 10,20,20:pset 5,5:fcolor 0,0,255:pset 6,5:print pointr(5,5)');
    await waitForScreen(page, /^255$/m);
    await page.waitForTimeout(100);
    const pixels = await page.evaluate(() => {
      const p = window.Module._tavik_layout() >> 2;
      const v = window.Module.HEAP32.subarray(p, p + 32);
      const [scaleX, scaleY, left, top] = [v[15], v[16], v[17], v[18]];
      const canvas = document.getElementById('screen');
      const k = canvas.width / v[0];
      const ctx = canvas.getContext('2d');
      const at = (x, y) => [...ctx.getImageData(Math.floor((left + (x + 0.5) * scaleX) * k),
                                                Math.floor((top + (y + 0.5) * scaleY) * k), 1, 1).data];
      return { red: at(5, 5), blue: at(6, 5), white: at(0, 0), scaleX, scaleY };
    });
    assert.ok(pixels.scaleX >= 1 && pixels.scaleY >= 1);
    assert.deepEqual(pixels.red, [255, 0, 0, 255]);
    assert.deepEqual(pixels.blue, [0, 0, 255, 255]);
    assert.deepEqual(pixels.white, [255, 255, 255, 255]);
    await page.close();
  });

  test('the screen is drawn at the device pixel ratio, scaled to the browser window', async () => {
    const page = await browser.context.newPage();
    const cdp = await page.context().newCDPSession(page);
    await cdp.send('Emulation.setDeviceMetricsOverride', { width: 400, height: 560, deviceScaleFactor: 2, mobile: false });
    await page.goto(site.url);
    await waitForScreen(page, /OK$/m);
    const size = await page.evaluate(() => {
      const c = document.getElementById('screen');
      return { w: c.width, h: c.height, cssW: parseFloat(c.style.width), cssH: parseFloat(c.style.height),
               bar: document.getElementById('softkeys').offsetHeight };
    });
    // 480 x 640 fits 400 x (560 - the soft keys) by its height; twice as many pixels as CSS pixels.
    assert.ok(Math.abs(size.cssH - (560 - size.bar)) < 1, JSON.stringify(size));
    assert.ok(Math.abs(size.cssW - size.cssH * 480 / 640) < 1, JSON.stringify(size));
    assert.equal(size.w, Math.round(size.cssW * 2));
    assert.equal(size.h, Math.round(size.cssH * 2));
    await page.close();
  });

  test('ORIENT turns the page\'s screen; orient -1 waits until it is landscape', async () => {
    const page = await openPage(browser.context, site.url);
    const shape = () => page.evaluate(() => {
      const c = document.getElementById('screen');
      return parseFloat(c.style.width) > parseFloat(c.style.height) ? 'landscape' : 'portrait';
    });
    assert.equal(await shape(), 'portrait');
    await enter(page, 'orient 90');
    await page.waitForFunction(() => {
      const c = document.getElementById('screen');
      return parseFloat(c.style.width) > parseFloat(c.style.height);
    });
    await enter(page, 'orient 0:print "turned"');
    await waitForScreen(page, /^turned$/m);
    assert.equal(await shape(), 'portrait');
    await enter(page, 'orient -1:print "wide"');
    await page.waitForTimeout(300);
    assert.doesNotMatch(await screenText(page), /^wide$/m);
    // The phone is turned.
    await page.evaluate(() => window.Module._tavik_resize(640, 480));
    await waitForScreen(page, /^wide$/m);
    await page.close();
  });
});

describe('the menu', () => {
  test('About shows the version; Exit switches the computer off and Switch on starts it again', async () => {
    const page = await openPage(browser.context, site.url);
    await page.keyboard.press('Control+A');
    await page.waitForSelector('#about:not([hidden])');
    assert.equal(await page.textContent('#about-version'), 'tavikWM Version 0.03');
    assert.equal(await page.textContent('#about-caption'), 'バージョン情報 tavikWM');
    await page.click('#about-ok');
    await page.waitForSelector('#about', { state: 'hidden' });
    // The keys go to the console again.
    await enter(page, 'print 7');
    await waitForScreen(page, /^7$/m);

    await menu(page, 'Exit');
    await page.waitForSelector('#off:not([hidden])');
    await page.click('#switch-on');
    await waitForScreen(page, /^OK$/m);
    assert.doesNotMatch(await screenText(page), /print 7/);
    await page.close();
  });
});
