// The site as a plain static server serves it (no headers of cross-origin
// isolation, so the page's service worker is tried), and a headless
// Chromium with a profile of its own: what the page tests and the page's
// benchmark share.
import fs from "node:fs";
import http from "node:http";
import {createRequire} from "node:module";
import os from "node:os";
import path from "node:path";

const puppeteer = createRequire(new URL("../../web/package.json", import.meta.url))("puppeteer-core");
const TYPES = {".html": "text/html", ".js": "text/javascript", ".css": "text/css", ".wasm": "application/wasm"};

// A fresh folder under the system's temporary folder.
export const temporary = name => fs.mkdtempSync(path.join(os.tmpdir(), `vexilon-${name}-`));

// Serves the folder site on a free local port and starts the browser;
// close() stops both.
export async function openSite(site) {
  const server = http.createServer((request, response) => {
    const file = path.join(site, decodeURIComponent(new URL(request.url, "http://x").pathname).replace(/\/$/, "/index.html"));
    fs.readFile(file, (error, data) => {
      response.writeHead(error ? 404 : 200, {"Content-Type": TYPES[path.extname(file)] ?? "application/octet-stream"});
      response.end(data);
    });
  }).listen(0, "127.0.0.1");
  await new Promise(resolve => server.on("listening", resolve));
  const browser = await puppeteer.launch({executablePath: "/usr/bin/chromium", args: [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-sync",
    "--disable-background-networking", "--disable-component-update", "--user-data-dir=" + temporary("chromium")]});
  return {
    browser,
    url: `http://127.0.0.1:${server.address().port}/`,
    close: async () => { await browser.close(); server.close(); },
  };
}
