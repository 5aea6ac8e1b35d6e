// The page's figures: the loop benchmark timed with tick inside the page against the native batch console,
// the time from opening the page to "OK", and the site's size.
//
// Usage: node bench/web_page.mjs [SITE] [TAVIKWM]
//   (defaults: build/web/site and build/release/src/shell/tavikwm; run `npm ci` in tests/web first)
//
// The loop program is bench/programs/loop.bas with its outer loop ten times longer (tick counts
// centiseconds, so the short run would be timed to one or two digits) and its time printed by itself.
import { execFileSync } from 'node:child_process';
import { mkdtempSync, readdirSync, readFileSync, rmSync, statSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = dirname(dirname(fileURLToPath(import.meta.url)));
process.env.TAVIK_SITE = process.argv[2] || join(root, 'build/web/site/');
const native = process.argv[3] || join(root, 'build/release/src/shell/tavikwm');
const { launch, openPage, serveSite, waitForScreen } = await import(join(root, 'tests/web/harness.mjs'));

const RUNS = 5;
const program = readFileSync(join(root, 'bench/programs/loop.bas'), 'utf8')
  .replace('for J=1 to 1000', 'for J=1 to 10000')
  .split('\n').filter((l) => l.trim())
  .concat(['15 T=tick', '85 print tick-T']);
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

// Native: the same program run by the batch console.
const dir = mkdtempSync(join(tmpdir(), 'tavik-bench-'));
const file = join(dir, 'loop.bas');
writeFileSync(file, program.join('\n') + '\n');
const nativeCs = [];
for (let i = 0; i < RUNS; ++i) {
  const out = execFileSync(native, ['--batch', file], { encoding: 'utf8' }).trim().split('\n');
  nativeCs.push(Number(out[out.length - 1]));
}
rmSync(dir, { recursive: true, force: true });

const site = await serveSite();
const browser = await launch();
const loadMs = [];
for (let i = 0; i < RUNS; ++i) {
  const page = await browser.context.newPage();
  const start = Date.now();
  await page.goto(site.url);
  await waitForScreen(page, /OK$/m);
  loadMs.push(Date.now() - start);
  await page.close();
}
const page = await openPage(browser.context, site.url);
for (const line of program) {
  await page.keyboard.type(line);
  await page.keyboard.press('Enter');
}
const pageCs = [];
for (let i = 0; i < RUNS; ++i) {
  await page.keyboard.type('cls:run');
  await page.keyboard.press('Enter');
  await waitForScreen(page, /^-?\d+\n-?\d+\nOK$/m, 120000);
  const lines = (await page.locator('[data-tavik-screen]').textContent()).trim().split('\n');
  pageCs.push(Number(lines[lines.length - 2]));
}
await browser.close();
site.server.close();

let siteBytes = 0;
for (const name of readdirSync(process.env.TAVIK_SITE)) siteBytes += statSync(join(process.env.TAVIK_SITE, name)).size;

const n = median(nativeCs), p = median(pageCs);
console.log(`loop (10,000,000 iterations): page ${p * 10} ms, native batch ${n * 10} ms, ratio ${(p / n).toFixed(2)}` +
            ` (medians of ${RUNS}; page ${pageCs.join(' ')} cs, native ${nativeCs.join(' ')} cs)`);
console.log(`load to "OK": median ${median(loadMs)} ms (${loadMs.join(' ')})`);
console.log(`site: ${(siteBytes / 1e6).toFixed(2)} MB`);
