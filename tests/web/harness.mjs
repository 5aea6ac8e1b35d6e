// The page under test: the built site served by a small static server of our own (plain files, no special
// headers, as any server would), and Debian's chromium driven headless through playwright-core.
import { createServer } from 'node:http';
import { mkdtempSync, readFileSync, rmSync, statSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';
import { chromium } from 'playwright-core';

export const SITE = process.env.TAVIK_SITE || new URL('../../build/web/site/', import.meta.url).pathname;

const TYPES = {
  '.html': 'text/html; charset=utf-8', '.js': 'text/javascript', '.css': 'text/css',
  '.wasm': 'application/wasm', '.ttf': 'font/ttf', '.svg': 'image/svg+xml', '.txt': 'text/plain',
  '.png': 'image/png', '.webmanifest': 'application/manifest+json',
};

export async function serveSite(site = SITE) {
  const server = createServer((req, res) => {
    const path = normalize(decodeURIComponent(new URL(req.url, 'http://x').pathname)).replace(/^(\.\.[/\\])+/, '');
    let file = join(site, path);
    try {
      if (statSync(file).isDirectory()) file = join(file, 'index.html');
      const body = readFileSync(file);
      res.writeHead(200, { 'Content-Type': TYPES[extname(file)] || 'application/octet-stream' });
      res.end(body);
    } catch {
      res.writeHead(404);
      res.end();
    }
  });
  await new Promise((resolve) => server.listen(Number(process.env.TAVIK_PORT || 0), '127.0.0.1', resolve));
  return { server, url: `http://127.0.0.1:${server.address().port}/` };
}

// One browser profile per suite: a fresh folder, so that IndexedDB starts empty.
// options: the context's own (a phone's viewport, touch, mobile emulation).
export async function launch(options = {}) {
  const profile = mkdtempSync(join(tmpdir(), 'tavik-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: process.env.TAVIK_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    acceptDownloads: true,
    viewport: { width: 520, height: 720 },
    ...options,
    args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--no-first-run', '--disable-quic', '--disable-gpu'],
  });
  return {
    context,
    async close() {
      await context.close();
      rmSync(profile, { recursive: true, force: true });
    },
  };
}

export function screenText(page) {
  return page.locator('[data-tavik-screen]').textContent();
}

// Waits until the screen's text matches; the failure names what the screen showed.
export async function waitForScreen(page, pattern, timeout = 10000) {
  try {
    await page.waitForFunction(
      ([source, flags]) => new RegExp(source, flags).test(document.querySelector('[data-tavik-screen]').textContent),
      [pattern.source, pattern.flags], { timeout, polling: 20 });
  } catch (e) {
    throw new Error(`screen never matched ${pattern}; it shows:\n${await screenText(page)}`);
  }
}

export async function openPage(context, url) {
  const page = await context.newPage();
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  page.errors = errors;
  await page.goto(url);
  await waitForScreen(page, /OK$/m);
  return page;
}

// Types a line and Enter, then waits for the prompt's next request (the caret's timer runs again).
export async function enter(page, line) {
  await page.keyboard.type(line);
  await page.keyboard.press('Enter');
}
