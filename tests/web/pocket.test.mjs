// The page as a pocket computer, in headless chromium: on a phone's screen with touch (the soft keys, a tap,
// the input method, the fit in portrait and landscape), offline after one visit, a program passed on by
// link, and the example programs from the menu.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { appendFileSync, cpSync, mkdtempSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { SITE, enter, launch, openPage, screenText, serveSite, waitForScreen } from './harness.mjs';

const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };

function programBytes(lines) {
  return Buffer.concat([Buffer.from([0xFF, 0xFE]), Buffer.from(lines.map((l) => l + '\r\n').join(''), 'utf16le')]);
}
async function menu(page, label) {
  await page.click('#menu');
  await page.getByRole('menuitem', { name: label, exact: true }).click();
}
async function openFile(page, name, lines) {
  const chooser = page.waitForEvent('filechooser');
  await menu(page, 'Open...');
  await (await chooser).setFiles({ name, mimeType: 'application/octet-stream', buffer: programBytes(lines) });
  await waitForScreen(page, /^OK\n\n/);
}
// Waits until what fn gives in the page (it may be async, as waitForFunction's may not) is true.
async function until(page, fn, arg, timeout = 20000) {
  const end = Date.now() + timeout;
  while (!(await page.evaluate(fn, arg))) {
    if (Date.now() > end) throw new Error(`never true: ${fn}`);
    await page.waitForTimeout(50);
  }
}
// Share Link's link, the box that shows it closed again.
async function sharedLink(page) {
  await menu(page, 'Share Link');
  await page.waitForSelector('#share:not([hidden])');
  const link = await page.inputValue('#share-url');
  await page.click('#share-ok');
  await page.waitForSelector('#share', { state: 'hidden' });
  return link;
}
// The next alert or question's text; it is dismissed (a question declined).
const nextDialog = (page) => new Promise((resolve) => page.once('dialog', (d) => {
  resolve(d.message());
  d.dismiss();
}));
const focused = (page) => page.evaluate(() => document.activeElement && document.activeElement.id);
const shape = (page) => page.evaluate(() => {
  const c = document.getElementById('screen');
  return parseFloat(c.style.width) > parseFloat(c.style.height) ? 'landscape' : 'portrait';
});

let site;
before(async () => { site = await serveSite(); });
after(() => site.server.close());

describe('a phone', () => {
  let phone;
  before(async () => { phone = await launch(PHONE); });
  after(() => phone.close());

  test('a tap opens the keys field; the soft keys type arrows, Home, End and Enter and BREAK stops a run', async () => {
    const page = await openPage(phone.context, site.url);
    assert.equal(await page.isVisible('#phonekeys'), true);
    await page.evaluate(() => document.getElementById('keys').blur());
    // (A tap also places the cursor: the second one taps another cell, not the keys field now there.)
    await page.tap('#screen', { position: { x: 300, y: 400 } });
    assert.equal(await focused(page), 'keys');
    // A closed on-screen keyboard reopens: the field loses and takes the focus again.
    await page.evaluate(() => {
      window.blurs = 0;
      document.getElementById('keys').addEventListener('blur', () => { window.blurs += 1; });
    });
    await page.tap('#screen', { position: { x: 60, y: 400 } });
    assert.equal(await focused(page), 'keys');
    assert.equal(await page.evaluate(() => window.blurs), 1);

    const key = (name) => page.tap(`#phonekeys [aria-label="${name}"]`);
    await page.keyboard.type('cls');
    await key('Enter');
    await waitForScreen(page, /^\n*$/);
    await page.keyboard.type('10 print "A"');
    await key('Enter');
    await page.keyboard.type('list');
    await key('Enter');
    await waitForScreen(page, /^list\n10 print "A"\n$/m);
    await key('Up');
    for (let i = 0; i < 10; ++i) await key('Right');
    await key('Left');
    await key('Right');
    await page.keyboard.type('Z');
    await key('Enter');
    await key('Down');
    await page.keyboard.type('cls:list');
    await key('Enter');
    await waitForScreen(page, /^10 print "ZA"\n/m);
    // Every soft key left the focus, and the on-screen keyboard, with the keys field.
    assert.equal(await focused(page), 'keys');

    // In key mode the keys give their codes: Home 36, End 35, Up 38, Enter 13.
    await page.keyboard.type('cls:print waitkey;waitkey;waitkey;waitkey');
    await key('Enter');
    for (const name of ['Home', 'End', 'Up', 'Enter']) await key(name);
    await waitForScreen(page, /^36353813$/m);

    await page.keyboard.type('20 goto 20');
    await key('Enter');
    await page.keyboard.type('run');
    await key('Enter');
    await page.waitForTimeout(300);
    await page.tap('#break');
    await waitForScreen(page, /^Break in 20\nOK$/m);
    assert.equal(await focused(page), 'keys');
    assert.deepEqual(page.errors, []);
    await page.close();
  });

  test('the input method\'s text arrives once and in order, also when a soft key ends the composition', async () => {
    const page = await openPage(phone.context, site.url);
    const cdp = await page.context().newCDPSession(page);
    // Autocorrect: the word is composed, corrected, then committed.
    await page.keyboard.type('print "');
    await cdp.send('Input.imeSetComposition', { text: 'teh', selectionStart: 3, selectionEnd: 3 });
    await cdp.send('Input.imeSetComposition', { text: 'the', selectionStart: 3, selectionEnd: 3 });
    await cdp.send('Input.insertText', { text: 'the' });
    await cdp.send('Input.insertText', { text: ' end"' });
    await page.tap('#phonekeys [aria-label="Enter"]');
    await waitForScreen(page, /^print "the end"\nthe end\n$/m);
    // A word still composed when Enter is tapped: typed before the Enter, and not again when committed.
    await cdp.send('Input.imeSetComposition', { text: 'cl', selectionStart: 2, selectionEnd: 2 });
    await cdp.send('Input.imeSetComposition', { text: 'cls:?7', selectionStart: 6, selectionEnd: 6 });
    await page.tap('#phonekeys [aria-label="Enter"]');
    await waitForScreen(page, /^7\n/);
    await cdp.send('Input.insertText', { text: '?8' });
    await page.tap('#phonekeys [aria-label="Enter"]');
    await waitForScreen(page, /^7\n\?8\n8\n$/m);
    assert.doesNotMatch(await screenText(page), /cls:\?7/);
    await page.close();
  });

  test('the screen fits the phone without scrolling in portrait and landscape, and turns with it', async () => {
    const page = await openPage(phone.context, site.url);
    for (const [width, height] of [[360, 740], [390, 844], [430, 932], [740, 360], [844, 390], [932, 430]]) {
      await page.setViewportSize({ width, height });
      const want = width > height ? 'landscape' : 'portrait';
      await page.waitForFunction((landscape) => {
        const c = document.getElementById('screen');
        return (parseFloat(c.style.width) > parseFloat(c.style.height)) === landscape;
      }, want === 'landscape');
      await page.waitForTimeout(100);
      const fit = await page.evaluate(() => {
        const box = (id) => document.getElementById(id).getBoundingClientRect();
        const s = box('screen'), k = box('softkeys');
        const root = document.scrollingElement;
        return { s: [s.left, s.top, s.right, s.bottom], k: [k.left, k.top, k.right, k.bottom],
                 scroll: [root.scrollWidth, root.scrollHeight], view: [innerWidth, innerHeight],
                 zoom: visualViewport.scale };
      });
      const at = `${width} x ${height}: ${JSON.stringify(fit)}`;
      const [vw, vh] = fit.view;
      assert.deepEqual(fit.scroll, [vw, vh], at);
      assert.equal(fit.zoom, 1, at);
      for (const r of [fit.s, fit.k]) assert.ok(r[0] >= -0.5 && r[1] >= -0.5 && r[2] <= vw + 0.5 && r[3] <= vh + 0.5, at);
      // The screen above the keys, as large as the phone allows: it meets the sides or the keys.
      assert.ok(fit.s[3] <= fit.k[1] + 0.5, at);
      assert.ok(fit.s[2] - fit.s[0] > vw - 1 || fit.k[1] - fit.s[1] > vh - (fit.k[3] - fit.k[1]) - 1, at);
      assert.ok(fit.k[2] - fit.k[0] > vw - 1, at);
      assert.equal(await shape(page), want, at);
    }
    // ORIENT turns the screen on a phone held sideways; turning the phone turns it to match.
    await enter(page, 'orient 0:print "upright"');
    await waitForScreen(page, /^upright$/m);
    assert.equal(await shape(page), 'portrait');
    await page.setViewportSize({ width: 390, height: 844 });
    await page.setViewportSize({ width: 844, height: 390 });
    await page.waitForFunction(() => {
      const c = document.getElementById('screen');
      return parseFloat(c.style.width) > parseFloat(c.style.height);
    });
    await page.close();

    // A phone held sideways starts the computer in landscape.
    const sideways = await phone.context.newPage();
    await sideways.setViewportSize({ width: 844, height: 390 });
    await sideways.goto(site.url);
    await waitForScreen(sideways, /OK$/m);
    assert.equal(await shape(sideways), 'landscape');
    await sideways.close();
  });
});

describe('offline', () => {
  test('after one visit a reload without the network starts the computer with a saved program', async () => {
    const own = await serveSite();
    const browser = await launch();
    try {
      const page = await openPage(browser.context, own.url);
      await until(page, async () => (await caches.keys()).length === 1 && !!navigator.serviceWorker.controller);
      await enter(page, '10 print "kept offline"');
      await enter(page, 'save "OFF.TK":print "saved"');
      await waitForScreen(page, /^saved$/m);
      await browser.context.setOffline(true);
      own.server.closeAllConnections();
      await new Promise((resolve) => own.server.close(resolve));
      await page.reload();
      await waitForScreen(page, /OK$/m);
      await enter(page, 'run "OFF.TK"');
      await waitForScreen(page, /^kept offline\nOK$/m);
      // The examples are part of the site.
      await menu(page, 'PRIMES.TK');
      await enter(page, 'run');
      await waitForScreen(page, /^62 primes below 300\.$/m);
      assert.deepEqual(page.errors, []);
      await page.close();
    } finally {
      await browser.context.setOffline(false);
      await browser.close();
    }
  });

  test('a new deployment replaces the cache of the old one', async () => {
    const dir = mkdtempSync(join(tmpdir(), 'tavik-site-'));
    cpSync(SITE, dir, { recursive: true });
    const own = await serveSite(dir);
    const browser = await launch();
    const caches = (page) => page.evaluate(async () => (await caches.keys()).filter((k) => k.startsWith('tavikWM-')));
    try {
      const page = await openPage(browser.context, own.url);
      await until(page, async () => (await caches.keys()).length === 1 && !!navigator.serviceWorker.controller);
      const [first] = await caches(page);
      appendFileSync(join(dir, 'page.css'), '\n/* deployed again */\n');
      execFileSync(process.env.TAVIK_CMAKE || 'cmake',
                   [`-DSITE=${dir}`, `-DTEMPLATE=${new URL('../../src/shell/web/sw.js.in', import.meta.url).pathname}`,
                    '-P', new URL('../../src/shell/web/site_version.cmake', import.meta.url).pathname]);
      await page.evaluate(async () => (await navigator.serviceWorker.getRegistration()).update());
      await until(page, async (old) => {
        const names = (await caches.keys()).filter((k) => k.startsWith('tavikWM-'));
        return names.length === 1 && names[0] !== old;
      }, first);
      const css = await page.evaluate(async () => {
        const names = await caches.keys();
        return [names, await (await (await caches.open(names[0])).match('page.css')).text()];
      });
      assert.match(css[1], /deployed again/, JSON.stringify(css[0]));
      await page.close();
    } finally {
      await browser.close();
      own.server.close();
      rmSync(dir, { recursive: true, force: true });
    }
  });
});

describe('a program by link', () => {
  let browser;
  before(async () => {
    browser = await launch();
    await browser.context.grantPermissions(['clipboard-read', 'clipboard-write']);
  });
  after(() => browser.close());

  // Every kind of text a line may hold: keywords, both sets of variables, the array, decimal and hex
  // numbers, operators, strings and remarks with ASCII punctuation, kana and kanji, full-width forms,
  // a character outside the basic plane and a lone surrogate half.
  const PROGRAM = [
    '10 rem ABC xyz 0123 !#$%&\'()*+,-./:;<=>?@[\\]^_`{|}~ \u65E5\u672C\u8A9E\uFF76\uFF85\u3000\uFF21\uFF11 \uD83D\uDE00',
    '20 A=0x7fff:b=-32767:@(3)=A/7:z=(A>0)+(b<0)*2',
    '30 print "q !#$%&\'()*+,-./:;<=>?@[\\]^_`{|}~ \u3072\u3089\u304C\u306A \u30AB\u30BF\u30AB\u30CA \uD83D\uDE00 \uD800"',
    '40 for I=1 to 2:gosub 100:next:print @(3);z;" ";b',
    '50 end',
    '100 print "i=";I:return',
  ];

  test('Share Link puts a link on the clipboard and shows it; the link opens the same program, and RUN runs it', async () => {
    const page = await openPage(browser.context, site.url);
    await openFile(page, 'ALL.TK', PROGRAM);
    await menu(page, 'Share Link');
    await page.waitForSelector('#share:not([hidden])');
    const shown = await page.inputValue('#share-url');
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), shown);
    assert.match(shown, new RegExp(`^${site.url.replace(/[.]/g, '\\.')}#[A-Za-z0-9_-]+$`));
    await page.click('#share-ok');
    await page.waitForSelector('#share', { state: 'hidden' });
    await page.close();

    const other = await openPage(browser.context, shown);
    await waitForScreen(other, /^10 rem ABC/m);
    await waitForScreen(other, /^100 print "i=";I:return\n$/m);
    await enter(other, 'save "BACK.TK":print "saved"');
    await waitForScreen(other, /^saved$/m);
    const back = await other.evaluate(() => [...window.Module.FS.readFile('/tavik/BACK.TK')]);
    assert.deepEqual(Buffer.from(back), programBytes(PROGRAM));
    await enter(other, 'cls:run');
    await waitForScreen(other, /^i=1\ni=2\n4681-3 -32767\nOK$/m);
    assert.deepEqual(other.errors, []);

    await other.close();
  });

  test('a link to an unsaved program\'s page asks first; a declined link changes nothing', async () => {
    const page = await openPage(browser.context, site.url);
    await openFile(page, 'TWO.TK', ['10 print "two"']);
    const link = await sharedLink(page);
    await enter(page, 'new');
    await enter(page, '10 print "mine"');
    const asked = nextDialog(page);
    await page.evaluate((hash) => { location.hash = hash; }, new URL(link).hash);
    assert.equal(await asked, 'The program in memory has not been saved. Replace it with the program of the link?');
    await enter(page, 'cls:list');
    await waitForScreen(page, /^10 print "mine"\n$/m);
    // Saved, it is replaced without a question.
    await enter(page, 'save "MINE.TK":print "saved"');
    await waitForScreen(page, /^saved$/m);
    await page.evaluate(() => { location.hash = ''; });
    await page.evaluate((hash) => { location.hash = hash; }, new URL(link).hash);
    await waitForScreen(page, /^list\n10 print "two"\n$/m);
    await enter(page, 'run');
    await waitForScreen(page, /^two\nOK$/m);
    await page.close();
  });

  test('a damaged link is refused whole; a program too long for a link is refused with a message', async () => {
    const page = await openPage(browser.context, site.url);
    await openFile(page, 'ONE.TK', ['10 print "one"']);
    const good = new URL(await sharedLink(page)).hash.slice(1);
    const packed = (bytes) => page.evaluate(async (data) => {
      const stream = new Blob([new Uint8Array(data)]).stream().pipeThrough(new CompressionStream('deflate'));
      const out = new Uint8Array(await new Response(stream).arrayBuffer());
      return btoa(String.fromCharCode(...out)).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
    }, [...bytes]);
    const damaged = [
      'not*base64',
      good.slice(0, -6),                                         // cut short
      good.slice(0, 10) + (good[10] === 'A' ? 'B' : 'A') + good.slice(11),  // one character changed
      await packed(Buffer.from('10 print "no mark"\r\n', 'utf16le')),
      await packed(programBytes(['10 print 1', 'print 2'])),    // a line without a number
      await packed(programBytes(['20 print 1', '10 print 2'])), // out of order
    ];
    for (const fragment of damaged) {
      const asked = nextDialog(page);
      await page.evaluate((hash) => { location.hash = hash; }, fragment);
      assert.equal(await asked, 'Nothing was loaded: the link does not hold a program.', fragment);
      await enter(page, 'cls:list');
      await waitForScreen(page, /^10 print "one"\n$/m);
    }

    // Letters that do not compress: far more than a link holds.
    let seed = 7;
    const random = () => { seed = (seed * 1103515245 + 12345) % 2147483648; return seed; };
    const lines = [];
    for (let n = 1; n <= 90; ++n) {
      lines.push(`${n * 10} print "${Array.from({ length: 150 }, () => String.fromCharCode(33 + (random() >> 8) % 90)).join('').replace(/"/g, '#')}"`);
    }
    await openFile(page, 'LONG.TK', lines);
    const asked = nextDialog(page);
    await menu(page, 'Share Link');
    assert.match(await asked, /^The program is too long for a link \(\d+ characters, at most 8192\): save it to a file instead\.$/);
    assert.equal(await page.isHidden('#share'), true);
    await page.close();
  });
});

describe('examples', () => {
  test('MENU lists the ten examples; each is loaded as LOAD loads a file and runs', async () => {
    const browser = await launch();
    try {
      const page = await openPage(browser.context, site.url);
      await page.click('#menu');
      const names = await page.locator('#menu-list .sub').allTextContents();
      assert.deepEqual(names.filter((n) => n.endsWith('.TK')),
                       ['BOUNCE.TK', 'GRAPHICS.TK', 'GREETING.TK', 'GUESS.TK', 'HANOI.TK', 'KEYS.TK', 'LOCALS.TK',
                        'PRIMES.TK', 'SORT.TK', 'TABLE.TK']);
      await page.click('#menu');
      await menu(page, 'HANOI.TK');
      await waitForScreen(page, /^OK\n\n/);
      await enter(page, 'run');
      await waitForScreen(page, /moves\.\nOK$/m);
      await enter(page, 'cls:list 10');
      await waitForScreen(page, /^10 rem Towers of Hanoi/m);
      // The program's name is the example's: SAVE without a name cannot write into the page's examples.
      await enter(page, 'cls:save');
      await waitForScreen(page, /^Save Error in 0\nOK$/m);
      await page.close();
    } finally {
      await browser.close();
    }
  });
});
