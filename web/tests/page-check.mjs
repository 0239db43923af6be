// Drives the built page in Debian's Chromium (headless, no extension) as a
// person would: real files through the file input, downloads from the
// links and the zip, the Ruffle preview beside the GIF. Movies and pages
// must be the native command's byte for byte; bad files must tell their
// reason while the others convert. Screenshots go to FOLDER.
//
//   node page-check.mjs --site build/web --tervano build/native/tervano --out FOLDER
//
// Exit codes: 0 passed, 1 a mismatch, 77 Chromium or the npm packages missing.
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import process from "node:process";
import { fileURLToPath } from "node:url";

import { expectedMovie, readGifInfo } from "../../tests/player/gif-info.mjs";

const SKIP = 77;
const TOLERANCE = 12; // per colour channel, as the player check
const MAX_OFF = 0.005;
const FRAME_MS = 100;
const here = path.dirname(fileURLToPath(import.meta.url));
const sourceRoot = path.resolve(here, "..", "..");
const sample = (f) => path.join(sourceRoot, "samples", f);
const fixture = (f) => path.join(sourceRoot, "tests", "fixtures", "gifs", f);
const CLOCK = "时钟 luma clock.gif";

// A GIF with its frames repeated `times` over: a file long enough to watch
// its progress.
function repeatedFrames(bytes, times) {
  const info = readGifInfo(bytes);
  let start = 13 + (bytes[10] & 0x80 ? 3 * (1 << ((bytes[10] & 7) + 1)) : 0);
  // Past the application extension that holds the loop count.
  if (bytes[start] === 0x21 && bytes[start + 1] === 0xff) {
    let p = start + 2;
    while (bytes[p] !== 0) p += bytes[p] + 1;
    start = p + 1;
  }
  const body = bytes.subarray(start, bytes.length - 1);
  if (info.frames.length < 1 || bytes[bytes.length - 1] !== 0x3b) throw new Error("unexpected GIF layout");
  return Buffer.concat([bytes.subarray(0, start), ...Array(times).fill(body), Buffer.from([0x3b])]);
}

// name in the browser -> [bytes, converts?]
function batch() {
  const clock = fs.readFileSync(fixture("luma_clock.gif"));
  return new Map([
    ["long clock.gif", repeatedFrames(clock, 150)],
    ["bouncing ball.gif", fs.readFileSync(sample("bouncing_ball.gif"))],
    [CLOCK, clock],
    ["한국어 스피너.gif", fs.readFileSync(sample("spinner.gif"))],
    ["emoji 🎞️ colours.gif", fs.readFileSync(sample("colour_cycle.gif"))],
    ["interlaced_wave.gif", fs.readFileSync(sample("interlaced_wave.gif"))],
    ["truncated.gif", clock.subarray(0, 300)],
    // A 65535 x 65535 screen with one 1 x 1 image in it.
    ["huge screen.gif", Buffer.from("474946383961ffffffff000000" + "2c000000000100010080" + "000000ffffff" +
      "0202440100" + "3b", "hex")],
    ["notes.gif", Buffer.from("These are notes, not a picture.\n")],
    ["empty.gif", Buffer.alloc(0)],
  ]);
}
// The reasons the page gives for the bad ones (its Chinese texts).
const REASONS = { "notes.gif": "这不是 GIF 文件。", "empty.gif": "文件是空的。" };

function serve(site, files) {
  const server = http.createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, "http://127.0.0.1").pathname);
    const [root, rest] = name.startsWith("/__files/") ? [files, name.slice(8)] : [site, name === "/" ? "/index.html" : name];
    const file = path.resolve(root, "." + rest);
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    const types = { ".html": "text/html; charset=utf-8", ".js": "text/javascript", ".css": "text/css",
      ".wasm": "application/wasm", ".gif": "image/gif" };
    res.writeHead(200, { "content-type": types[path.extname(file)] || "application/octet-stream" });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}

// The native command on copies of the files, with an empty store.
function convertNatively(tervano, folder, names, flags) {
  const store = path.join(folder, ".store");
  fs.mkdirSync(store, { recursive: true });
  execFileSync(tervano, [...flags, "-q", ...names.map((n) => path.join(folder, n))],
    { env: { ...process.env, TERVANO_CONFIG_DIR: store }, stdio: ["ignore", "ignore", "ignore"] });
}

// The rows of the list once every file is done or failed.
async function waitForBatch(page, count, ms) {
  const deadline = Date.now() + ms;
  for (;;) {
    const rows = await page.evaluate(() => {
      window.advanceMovieTime(0);  // the page paints progress on animation frames
      return [...document.querySelectorAll("#list li")].map((li) => ({
        name: li.querySelector(".name").textContent, state: li.className.split(" ")[0],
        text: li.querySelector(".state").textContent,
        links: [...li.querySelectorAll(".links a")].map((a) => a.getAttribute("download")),
      }));
    });
    if (rows.length === count && rows.every((r) => r.state === "done" || r.state === "failed")) return rows;
    if (Date.now() > deadline) return rows;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

async function download(page, click) {
  const [d] = await Promise.all([page.waitForEvent("download"), click()]);
  return { name: d.suggestedFilename(), bytes: fs.readFileSync(await d.path()) };
}

// Entries of a zip as Python's zipfile (an independent reader) lists them.
function zipEntries(file) {
  const script = "import sys, zipfile, json\n" +
    "z = zipfile.ZipFile(sys.argv[1])\n" +
    "print(json.dumps([[i.filename, i.flag_bits, z.read(i).hex()] for i in z.infolist()]))";
  return JSON.parse(execFileSync("python3", ["-c", script, file], { maxBuffer: 1 << 28 }).toString())
    .map(([name, flags, hex]) => ({ name, flags, bytes: Buffer.from(hex, "hex") }));
}

async function main() {
  const a = {};
  const argv = process.argv.slice(2);
  for (let i = 0; i + 1 < argv.length; i += 2) a[argv[i].replace(/^--/, "")] = path.resolve(argv[i + 1]);
  if (!a.site || !a.tervano || !a.out) {
    console.error("usage: node page-check.mjs --site DIR --tervano PROGRAM --out FOLDER");
    process.exit(2);
  }
  if (!fs.existsSync(a.tervano)) {
    console.log(`SKIPPED: no native program at ${a.tervano} (scripts/build.sh native builds it)`);
    process.exit(77);
  }
  const chromiumPath = process.env.CHROMIUM || "/usr/bin/chromium";
  if (!fs.existsSync(chromiumPath)) {
    console.log(`SKIPPED: no Chromium at ${chromiumPath}`);
    process.exit(SKIP);
  }
  let chromium;
  try {
    ({ chromium } = await import("playwright-core"));
  } catch {
    console.log("SKIPPED: npm packages missing in web/; run scripts/install-deps.sh --web");
    process.exit(SKIP);
  }

  fs.rmSync(a.out, { recursive: true, force: true });
  const files = path.join(a.out, "files");
  const native = path.join(a.out, "native");
  const nativeHtml = path.join(a.out, "native-html");
  for (const d of [files, native, nativeHtml]) fs.mkdirSync(d, { recursive: true });
  const gifs = batch();
  for (const [name, bytes] of gifs) {
    for (const d of [files, native, nativeHtml]) fs.writeFileSync(path.join(d, name), bytes);
  }
  const good = [...gifs.keys()].filter((n) => !REASONS[n]);
  convertNatively(a.tervano, native, good, []);
  const pageBatch = ["bouncing ball.gif", CLOCK];
  convertNatively(a.tervano, nativeHtml, pageBatch, ["--html", "--loop-forever"]);
  const movieName = (n) => n.replace(/\.gif$/, ".swf");

  const results = [];
  const check = (ok, what) => {
    results.push(ok);
    console.log(`${ok ? "ok  " : "FAIL"} ${what}`);
  };
  const server = await serve(a.site, files);
  const base = `http://127.0.0.1:${server.address().port}`;
  // Chromium reads file names in the locale's charset: under a C locale it
  // would drop the files named in Chinese, Korean or emoji before the page
  // sees them, whatever the caller's locale.
  const browser = await chromium.launch({
    executablePath: chromiumPath, headless: true, env: { ...process.env, LC_ALL: "C.UTF-8" },
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
      "--disable-component-update", "--disable-sync", "--no-first-run"],
  });
  try {
    const context = await browser.newContext({ locale: "zh-CN", acceptDownloads: true,
      viewport: { width: 1280, height: 1100 }, deviceScaleFactor: 1 });
    // The player check's movie clock and GIF decoding, before the page's scripts.
    await context.addInitScript({ path: path.join(sourceRoot, "tests", "player", "page.js") });
    const page = await context.newPage();
    const said = [];
    page.on("pageerror", (e) => said.push(String(e)));
    await page.goto(`${base}/`);
    check((await page.textContent("h1")) === "Tervano：GIF 转 SWF", "Chinese texts for a browser preferring Chinese");

    // One batch: good files with awkward names, a long one, and bad ones.
    await page.setInputFiles("#files", [...gifs.keys()].map((n) => path.join(files, n)));
    // The page paints progress on animation frames, which the movie clock
    // runs: step it until the long file shows its progress.
    for (const until = Date.now() + 30000; Date.now() < until;) {
      const busy = await page.evaluate(() => {
        window.advanceMovieTime(0);
        return [...document.querySelectorAll("#list li.converting")].some((li) =>
          li.querySelector(".name").textContent === "long clock.gif" &&
          li.querySelector("progress").value > li.querySelector("progress").max / 10);
      });
      if (busy) break;
      await new Promise((resolve) => setTimeout(resolve, 20));
    }
    await page.screenshot({ path: path.join(a.out, "batch-in-progress.png"), fullPage: true });
    const rows = await waitForBatch(page, gifs.size, 120000);
    await page.evaluate(() => window.advanceMovieTime(0));
    await page.screenshot({ path: path.join(a.out, "batch-finished.png"), fullPage: true });
    check(rows.length === gifs.size && rows.every((r) => r.state === "done" || r.state === "failed"),
      `all ${gifs.size} files finished${said.length ? ` (browser said: ${said.join(" | ")})` : ""}`);
    for (const [name, reason] of Object.entries(REASONS)) {
      const row = rows.find((r) => r.name === name);
      check(row && row.state === "failed" && row.text === reason && row.links.length === 0,
        `${name}: "${row && row.text}" beside it, no download`);
    }

    // Each movie from its own link: named after its GIF, the native bytes.
    const nativeMovies = new Map(good.map((n) => [movieName(n), fs.readFileSync(path.join(native, movieName(n)))]));
    for (const name of good) {
      const row = rows.find((r) => r.name === name);
      if (!row || row.state !== "done") {
        check(false, `${name}: ${row ? row.text : "no row"}`);
        continue;
      }
      const li = page.locator("#list li", { has: page.locator(".name", { hasText: name }) });
      const got = await download(page, () => li.locator(".links a").first().click());
      check(got.name === movieName(name) && got.bytes.equals(nativeMovies.get(movieName(name))),
        `${name}: downloads as "${got.name}", ${got.bytes.length} bytes, ` +
        `${got.bytes.equals(nativeMovies.get(movieName(name))) ? "the native movie" : "NOT the native movie"}`);
    }
    const truncated = rows.find((r) => r.name === "truncated.gif");
    check(truncated && truncated.state === "done" && truncated.text.includes("提前结束"),
      `truncated.gif: "${truncated && truncated.text}"`);
    const huge = rows.find((r) => r.name === "huge screen.gif");
    check(huge && huge.state === "done" && huge.text.includes("画面太大"), `huge screen.gif: "${huge && huge.text}"`);

    // Download all: one zip with every movie, names marked UTF-8.
    const zip = await download(page, () => page.click("#downloadAll"));
    fs.writeFileSync(path.join(a.out, zip.name), zip.bytes);
    const entries = zipEntries(path.join(a.out, zip.name));
    const complete = entries.length === nativeMovies.size &&
      entries.every((e) => nativeMovies.has(e.name) && e.bytes.equals(nativeMovies.get(e.name)));
    check(complete, `${zip.name}: ${entries.length} movies, ${complete ? "all" : "NOT all"} the native ones`);
    const unmarked = entries.filter((e) => /[^\x00-\x7f]/.test(e.name) && !(e.flags & 0x800)).map((e) => e.name);
    check(unmarked.length === 0, `non-ASCII names marked UTF-8 in the zip${unmarked.length ? `: not ${unmarked}` : ""}`);

    // The preview: Ruffle plays the movie at its stage size beside the GIF,
    // showing the GIF's first frame.
    const clockRow = page.locator("#list li", { has: page.locator(".name", { hasText: CLOCK }) });
    await clockRow.locator("button.play").click();
    const info = readGifInfo(gifs.get(CLOCK));
    const expect = expectedMovie(info);
    // The preview below the list, scrolled into view for its picture.
    await page.evaluate(() => document.getElementById("preview").scrollIntoView());
    let box = null;
    for (const deadline = Date.now() + 60000; !box && Date.now() < deadline;) {
      box = await page.evaluate(() => {
        window.advanceMovieTime(0);
        const el = document.querySelector("#previewMovie ruffle-player");
        const api = el && (typeof el.ruffle === "function" ? el.ruffle() : el);
        if (!api || !api.metadata) return null;
        const b = el.getBoundingClientRect();
        return { x: b.x, y: b.y, width: b.width, height: b.height };
      });
      if (!box) await new Promise((resolve) => setTimeout(resolve, 100));
    }
    check(box && box.width === expect.stageWidth && box.height === expect.stageHeight,
      `preview player ${box ? `${box.width}x${box.height}` : "missing"}, stage ${expect.stageWidth}x${expect.stageHeight}`);
    if (box) {
      const first = expect.runs[0];
      await page.evaluate((ms) => window.advanceMovieTime(ms), FRAME_MS + (first.start + first.length / 2) * FRAME_MS);
      const png = await page.screenshot({ clip: { x: box.x, y: box.y, width: box.width, height: box.height } });
      fs.writeFileSync(path.join(a.out, "preview-first-frame.png"), png);
      const reference = await page.evaluate((u) => window.loadReference(u), `${base}/__files/${encodeURIComponent(CLOCK)}`);
      const compare = (frame) => page.evaluate(([b, f, tol]) => window.compareShot(b, f, tol),
        [png.toString("base64"), frame, TOLERANCE]);
      const shown = await compare(0);
      const bad = shown.checks.filter((c) => !c.ok).length;
      check(bad === 0 && shown.checks.length > 0 && shown.differing / shown.pixels <= MAX_OFF,
        `preview shows the GIF's first frame: ${shown.checks.length - bad} of ${shown.checks.length} points, ` +
        `${shown.differing} of ${shown.pixels} pixels off`);
      fs.writeFileSync(path.join(a.out, "preview-compared.png"), Buffer.from(shown.picture.split(",")[1], "base64"));
      const other = await compare(reference.frameCount > 1 ? 1 : 0);
      check(other.checks.some((c) => !c.ok) || other.differing / other.pixels > MAX_OFF,
        "control: the preview does not pass as the GIF's second frame");
    }
    await page.screenshot({ path: path.join(a.out, "preview.png"), fullPage: true });

    // Options: set in the page, remembered after a reload, applied to the
    // next files; the page downloads beside each movie.
    await page.check("#writeHtml");
    await page.check('input[name="loop"][value="forever"]');
    await page.reload();
    const kept = await page.evaluate(() => document.getElementById("writeHtml").checked &&
      document.querySelector('input[name="loop"][value="forever"]').checked);
    check(kept, "options remembered after a reload");
    await page.setInputFiles("#files", pageBatch.map((n) => path.join(files, n)));
    const pageRows = await waitForBatch(page, pageBatch.length, 60000);
    for (const name of pageBatch) {
      const row = pageRows.find((r) => r.name === name);
      const li = page.locator("#list li", { has: page.locator(".name", { hasText: name }) });
      const movie = row && row.links.length === 2 ? await download(page, () => li.locator(".links a").nth(0).click()) : null;
      const html = row && row.links.length === 2 ? await download(page, () => li.locator(".links a").nth(1).click()) : null;
      const stem = name.replace(/\.gif$/, "");
      const same = movie && html && movie.name === `${stem}.swf` && html.name === `${stem}.htm` &&
        movie.bytes.equals(fs.readFileSync(path.join(nativeHtml, `${stem}.swf`))) &&
        html.bytes.equals(fs.readFileSync(path.join(nativeHtml, `${stem}.htm`)));
      check(same, `${name} with page and loop forever: ${row ? row.links.join(", ") : "no row"}, ` +
        `${same ? "the native movie and page" : "NOT the native files"}`);
    }
    await context.close();

    // A browser preferring English gets the English page.
    const english = await browser.newContext({ locale: "en-GB" });
    const ep = await english.newPage();
    await ep.goto(`${base}/`);
    check((await ep.textContent("h1")) === "Tervano: GIF to SWF", "English texts for a browser preferring English");
    await english.close();
  } finally {
    await browser.close();
    server.close();
  }
  const failed = results.filter((ok) => !ok).length;
  console.log(`${results.length - failed} passed, ${failed} failed; screenshots in ${a.out}`);
  process.exit(failed === 0 && results.length > 0 ? 0 : 1);
}

main().catch((e) => {
  console.error(`page check: ${e.stack || e}`);
  process.exit(1);
});
