// The browser host's figures: what the page costs to fetch, how soon it is
// ready, and how fast it runs fib 25 against vexilon-cli.
//   node bench/web.mjs SITE_DIR VEXILON_CLI [runs]
// The site is served as a plain static server serves it, so the first
// visit installs the page's service worker and loads the page again; the
// ready time is from the start of loading to the start-up library loaded.
// fib 25 is timed forty to a run, the page and vexilon-cli taking turns:
// a run on the page costs about two frames besides its calls (the click
// and the frame that sees the end, some 33 ms), which forty calls make
// weigh little; the first run on a fresh page is reported too, as the browser
// runs code it has not optimised yet.
import {execFileSync} from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import zlib from "node:zlib";
import {openSite} from "../tests/web/site.mjs";

const [site, cli] = process.argv.slice(2, 4).map(p => path.resolve(p));
const runs = Number(process.argv[4] ?? 7);
const {browser, url, close} = await openSite(site);

const timed = async action => { const begin = performance.now(); await action(); return performance.now() - begin; };
async function open() {
  const page = await browser.newPage();
  const loading = await timed(async () => {
    await page.goto(url);
    await page.waitForFunction(() => document.body.dataset.ready, {timeout: 20000, polling: 1});
  });
  return {page, loading};
}
async function run(page, program) {
  await page.$eval("#program", (e, t) => { e.value = t; }, program);
  await page.click("#run");
  await page.waitForFunction(() => document.body.dataset.state === "idle", {timeout: 60000, polling: "mutation"});
}
const median = times => times.sort((a, b) => a - b)[times.length >> 1];

const code = ["index.html", "page.css", "page.js", "sw.js", "vexilon.js", "vexilon.worker.js", "vexilon.wasm"];
for (const file of code) {
  const bytes = fs.readFileSync(path.join(site, file));
  console.log(`${file.padEnd(18)} ${String(bytes.length).padStart(7)} bytes, ${String(zlib.gzipSync(bytes, {level: 9}).length).padStart(6)} compressed`);
}
const total = code.reduce((sum, file) => sum + zlib.gzipSync(fs.readFileSync(path.join(site, file)), {level: 9}).length, 0);
console.log(`site code          ${total} bytes compressed`);

const first = await open();
const again = await open();
console.log(`ready              ${Math.round(first.loading)} ms on the first visit, ${Math.round(again.loading)} ms after ` +
            `(${again.page.url()}: ${await again.page.evaluate(() => document.body.dataset.ready)} ms from navigation)`);

const FIB = "(defun fib (n) (cond ((minusp (- n 2)) n) (T (+ (fib (- n 1)) (fib (- n 2))))))";
const CALLS = 40;
const MANY = `(progn ${"(fib 25) ".repeat(CALLS)})`;
const page = again.page;
await run(page, FIB);
const cold = await timed(() => run(page, "(fib 25)"));
const onPage = [], inCli = [];
for (let i = 0; i < runs; ++i) {
  onPage.push(await timed(() => run(page, MANY)) / CALLS);
  inCli.push(await timed(async () => execFileSync(cli, ["-e", `(progn ${FIB} ${MANY})`], {cwd: site})) / CALLS);
}
const [p, c] = [median(onPage), median(inCli)];
console.log(`fib 25             ${p.toFixed(1)} ms on the page, ${c.toFixed(1)} ms in vexilon-cli (${(p / c).toFixed(2)}x; ` +
            `medians of ${runs}); the first run on the page ${Math.round(cold)} ms`);
await close();
