// The page as a pocket computer, its figures: the time to the first "OK" on a phone (Chromium's mobile
// emulation of a 390 x 844 screen at 3 device pixels per pixel, touch, the CPU slowed four times), from the
// network and from the service worker's cache; the time of a reload without the network; the site's size.
//
// Usage: node bench/web_pocket.mjs [SITE]   (default build/web/site; run `npm ci` in tests/web first)
import { readdirSync, statSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = dirname(dirname(fileURLToPath(import.meta.url)));
process.env.TAVIK_SITE = process.argv[2] || join(root, 'build/web/site/');
const { launch, serveSite, waitForScreen } = await import(join(root, 'tests/web/harness.mjs'));

const RUNS = 5;
const PHONE = { viewport: { width: 390, height: 844 }, deviceScaleFactor: 3, isMobile: true, hasTouch: true };
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

// Milliseconds from the start of the navigation to the first "OK" on the screen's mirror.
async function toFirstOk(page, go) {
  await go();
  await waitForScreen(page, /OK$/m, 60000);
  return page.evaluate(() => performance.now());
}
async function throttled(context) {
  const page = await context.newPage();
  const cdp = await context.newCDPSession(page);
  await cdp.send('Emulation.setCPUThrottlingRate', { rate: 4 });
  return page;
}

const site = await serveSite();

// From the network: no service worker, so every run fetches the site.
const fresh = await launch({ ...PHONE, serviceWorkers: 'block' });
const networkMs = [];
for (let i = 0; i < RUNS; ++i) {
  const page = await throttled(fresh.context);
  networkMs.push(await toFirstOk(page, () => page.goto(site.url)));
  await page.close();
}
await fresh.close();

// From the service worker's cache, then offline.
const kept = await launch(PHONE);
const first = await kept.context.newPage();
await first.goto(site.url);
await waitForScreen(first, /OK$/m);
for (const end = Date.now() + 20000; Date.now() < end;) {
  if (await first.evaluate(async () => (await caches.keys()).length > 0 && !!navigator.serviceWorker.controller)) break;
  await first.waitForTimeout(50);
}
await first.close();
const cachedMs = [];
for (let i = 0; i < RUNS; ++i) {
  const page = await throttled(kept.context);
  cachedMs.push(await toFirstOk(page, () => page.goto(site.url)));
  await page.close();
}
await kept.context.setOffline(true);
const offlineMs = [];
const page = await throttled(kept.context);
await page.goto(site.url);
await waitForScreen(page, /OK$/m, 60000);
for (let i = 0; i < RUNS; ++i) offlineMs.push(await toFirstOk(page, () => page.reload()));
await page.close();
await kept.context.setOffline(false);
await kept.close();
site.server.close();

function sizeOf(dir) {
  let bytes = 0;
  for (const name of readdirSync(dir)) {
    const path = join(dir, name);
    bytes += statSync(path).isDirectory() ? sizeOf(path) : statSync(path).size;
  }
  return bytes;
}

const ms = (xs) => `median ${Math.round(median(xs))} ms (${xs.map(Math.round).join(' ')})`;
console.log(`phone, CPU slowed 4x, first "OK" from the network: ${ms(networkMs)}`);
console.log(`phone, CPU slowed 4x, first "OK" from the service worker's cache: ${ms(cachedMs)}`);
console.log(`phone, CPU slowed 4x, reload without the network to "OK": ${ms(offlineMs)}`);
console.log(`site: ${(sizeOf(process.env.TAVIK_SITE) / 1e6).toFixed(2)} MB`);
