// The page in a browser: headless Chromium drives a fresh page of the site
// for each case of the table, as a user would.
//   node tests/web/pages.mjs SITE_DIR VEXILON_CLI
// (bench/web.mjs measures the page's figures.)
import assert from "node:assert/strict";
import {execFileSync} from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import {openSite, temporary} from "./site.mjs";

const [site, cli] = process.argv.slice(2).map(p => path.resolve(p));
const {browser, url, close} = await openSite(site);

async function open(address = url + "index.html?events") {
  const page = await browser.newPage();
  await page.evaluateOnNewDocument(() => { window.print = () => { window.printed = document.getElementById("printout").innerHTML; }; });
  await page.goto(address);
  await page.waitForFunction(() => document.body.dataset.ready && document.body.dataset.state !== "running", {timeout: 20000});
  return page;
}
const text = (page, selector) => page.$eval(selector, e => e.textContent);
const ended = page => page.waitForFunction(() => document.body.dataset.state === "idle" || document.getElementById("box").open, {timeout: 20000});
// Types program as the user would paste it and presses 実行; waits for the
// run's end or its first message, unless told not to.
async function run(page, program, wait = true) {
  await page.$eval("#program", (e, t) => { e.value = t; }, program);
  await page.click("#run");
  if (wait) await ended(page);
}
async function closeBox(page) {
  const shown = [await text(page, "#box-caption"), await text(page, "#box-text")];
  await page.click("#box button");
  return ended(page).then(() => shown);
}
const surface = page => page.$eval("#surface", c => ({x: c.getBoundingClientRect().x, y: c.getBoundingClientRect().y, w: c.width, h: c.height}));
// Waits for ink in the 5 x 5 pixels around (x, y) of the surface.
const inked = (page, x, y) => page.waitForFunction((x, y) => document.getElementById("surface").getContext("2d")
  .getImageData(x - 2, y - 2, 5, 5).data.includes(0), {timeout: 10000}, x, y);
const events = page => page.evaluate(() => window.vexilonEvents().split("\n").filter(Boolean));
const EXAMPLES = ["clickpoly", "clock", "fruits", "hilbert", "koch", "rubber", "savedraw", "spiral", "star", "tree"];

const cases = [
  ["a typed program draws, and its value is the title", async page => {
    await page.click("#clear");
    await page.type("#program", "(progn (fd 100) 'done)");
    await page.click("#run");
    await ended(page);
    assert.equal(await text(page, "#title"), "Vexilon - done ");
    const s = await surface(page);
    await inked(page, Math.trunc(s.w / 2), Math.trunc(s.h / 2) - 50);
    assert.equal(await page.$eval("#program", e => e.value), "(progn (fd 100) 'done)", "the text stays");
  }],
  ["a click on the surface answers getpoint", async page => {
    const s = await surface(page);
    await run(page, "(getpoint)", false);
    await page.mouse.click(s.x + 230.5, s.y + 120.5);
    await ended(page);
    const at = (p, side) => (p - side / 2).toFixed(6);
    assert.equal(await text(page, "#title"), `Vexilon - (${at(230, s.w)} ${at(120, s.h)} )`);
  }],
  ["a key held on the surface is inkey's virtual-key code", async page => {
    await run(page, "(loop ((= (inkey) 65) 'pressed))", false);
    await page.focus("#surface");
    await page.keyboard.down("a");
    await ended(page);
    assert.equal(await text(page, "#title"), "Vexilon - pressed ");
  }],
  ["停止 stops a loop that draws while the page stays live", async page => {
    await run(page, "(loop (fd 1) (rt 1))", false);
    // A circle of 360 steps: its top is 57 pixels up and right of the centre.
    const s = await surface(page);
    await inked(page, Math.trunc(s.w / 2) + 57, Math.trunc(s.h / 2) - 57);
    assert.equal(await page.evaluate(() => document.body.dataset.state), "running");
    await page.click("#stop");
    await ended(page);
    assert.deepEqual(await closeBox(page), ["エラー", "実行を中断しました"]);
  }],
  ["an error is a box, which the run waits for", async page => {
    await run(page, "(progn (setq x 1) (undefined-thing) (setq x 2))");
    assert.deepEqual(await closeBox(page), ["エラー", "未定義の関数です"]);
    await run(page, "x");
    assert.equal(await text(page, "#title"), "Vexilon - 1.000000 ");
  }],
  ["a link carries the program, which runs when it is opened", async page => {
    const program = "(progn (fd 50) '(リンク #%&+))";
    await page.$eval("#program", (e, t) => { e.value = t; }, program);
    await page.click("#link");
    const linked = await open(await page.$eval("#link-text", e => e.value));
    assert.equal(await text(linked, "#title"), "Vexilon - (リンク #%&+ )");
    assert.equal(await linked.$eval("#program", e => e.value), program);
    await linked.close();
  }],
  ["line files are offered for download, read back, and uploaded", async page => {
    await run(page, "(writelc '((0 0 100 0)) NIL 'pic)");
    await page.waitForFunction(() => document.querySelectorAll("#files a").length === 2);
    assert.deepEqual(await page.$$eval("#files a", as => as.map(a => a.download).sort()), ["pic.ar", "pic.lin"]);
    const dir = temporary("upload");
    fs.writeFileSync(path.join(dir, "up.lin"), "1 2\n3 4 ");
    fs.writeFileSync(path.join(dir, "up.ar"), "");
    await (await page.$("#upload")).uploadFile(path.join(dir, "up.lin"), path.join(dir, "up.ar"));
    await page.waitForFunction(() => document.querySelectorAll("#files a").length === 4);
    await run(page, "(list (readlc 'pic) (readlc 'up))");
    assert.equal(await text(page, "#title"), "Vexilon - ((((0.000000 0.000000 100.000000 0.000000 ))NIL )(((1.000000 2.000000 3.000000 4.000000 ))NIL ))");
  }],
  ["printout prints the record's lines centred on the sheet", async page => {
    await run(page, "(printout '((0 0 100 0)) NIL)");
    assert.equal(await text(page, "#title"), "Vexilon - T ");
    assert.match(await page.evaluate(() => window.printed), /<title>printout<\/title>\s*<path d="M359.50 523.50L459.50 523.50"/);
  }],
  ["every example draws what vexilon-cli draws", async page => {
    const s = await surface(page);
    const work = temporary("cli");
    fs.cpSync(site, work, {recursive: true});
    const expected = execFileSync(cli, ["--events", "--draw-events", "--size", `${s.w}x${s.h}`,
      ...EXAMPLES.flatMap(e => ["-e", `(load 'examples\\${e})`])], {cwd: work, encoding: "utf8"})
      .split("\n").filter(l => l.startsWith("draw: ")).map(l => l.slice(6));
    const drawn = await events(page);
    for (const [i, example] of EXAMPLES.entries()) {
      // Without a mouse vexilon-cli answers getpoint as a right click and
      // getcorner as a click where the rubber band began.
      if (example === "clickpoly" || example === "rubber") await page.mouse.click(s.x + 5, s.y + 5, {button: "right"});
      const from = drawn.length;
      // Pressed where the mouse is not: it stays on the surface.
      await page.$eval(`#examples li:nth-child(${i + 1}) button`, b => b.click());
      if (example === "rubber") {
        // Its text is the last thing drawn before the rubber band.
        while (!drawn.slice(from).some(l => l.startsWith("text "))) drawn.push(...await events(page));
        await new Promise(resolve => setTimeout(resolve, 100));
        await page.mouse.down();
        await page.mouse.up();
      }
      await ended(page);
      assert.equal(await text(page, "#title"), "Vexilon - T ", example);
      drawn.push(...await events(page));
    }
    assert.deepEqual(drawn, expected);
  }],
];

let failed = 0;
for (const [name, check] of cases) {
  const page = await open();
  await check(page).then(() => console.log(`ok      ${name}`),
                         error => { ++failed; console.log(`FAILED  ${name}\n${error.stack}`); });
  await page.close();
}

await close();
process.exit(failed ? 1 : 0);
