// Opens the HTML page that tervano writes with --ruffle in Chromium, which
// has no Flash plug-in and no extension: the page's own script element must
// load Ruffle (a copy of the npm package beside the page, in a folder whose
// name needs escaping in the attribute), which then plays the page's
// OBJECT/EMBED. Checks that the player has the movie's size and shows the
// GIF's first frame, as the browser decodes the GIF, and that the same page
// without the option shows no player. A GIF named in scripts that no code
// page holds gets a page that still finds its movie, with the name as title.
//
//   node ruffle-page.mjs --tervano /path/to/tervano --out /path/to/folder
//
// Exit codes: 0 passed, 1 a mismatch, 77 Chromium or the npm packages missing.

import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import process from "node:process";
import { fileURLToPath } from "node:url";

import { expectedMovie, readGifInfo } from "./gif-info.mjs";
import { listen, sendFile } from "./serve.mjs";

const SKIP = 77;
const TOLERANCE = 12; // per colour channel, as in check.mjs
const MAX_OFF = 0.005; // share of all pixels that may differ by more
const FRAME_MS = 100;
const here = path.dirname(fileURLToPath(import.meta.url));
const gifSource = path.resolve(here, "..", "fixtures", "gifs", "luma_clock.gif");
// A space and an ampersand: the attribute must carry both.
const ruffleFolder = "ruffle & co";
// Hangul with a blank, an emoji beyond the Basic Multilingual Plane, "ö"
// and Chinese: code page 936 lacks all but the last.
const unicodeStem = "사진 모음 😀 schön 猫";

function serve(root) {
  return listen((req, res) => {
    const url = new URL(req.url, "http://127.0.0.1");
    sendFile(res, root, path.resolve(root, "." + decodeURIComponent(url.pathname)));
  });
}

// Runs tervano on the GIF in `folder` with the extra flags; the stored
// options are all off (an empty store).
function convert(tervano, folder, flags, store, name = "clock.gif") {
  execFileSync(tervano, ["--html", ...flags, "-q", path.join(folder, name)], {
    env: { ...process.env, TERVANO_CONFIG_DIR: store },
    stdio: ["ignore", "inherit", "inherit"],
  });
}

// The player element Ruffle puts in place of the OBJECT, once its movie is
// loaded; null when none appears within `ms` of page time.
async function waitForPlayer(page, ms) {
  const deadline = Date.now() + ms;
  for (;;) {
    const state = await page.evaluate(() => {
      window.advanceMovieTime(0);
      const el = document.querySelector("ruffle-object, ruffle-embed");
      if (!el) return null;
      const api = typeof el.ruffle === "function" ? el.ruffle() : el;
      const meta = api.metadata;
      if (!meta) return { loading: true };
      const box = el.getBoundingClientRect();
      return { meta: { width: meta.width, height: meta.height }, box: { x: box.x, y: box.y, width: box.width, height: box.height } };
    });
    if (state && state.meta) return state;
    if (Date.now() > deadline) return null;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

async function main() {
  const args = {};
  const argv = process.argv.slice(2);
  for (let i = 0; i + 1 < argv.length; i += 2) args[argv[i].replace(/^--/, "")] = argv[i + 1];
  if (!args.tervano || !args.out) {
    console.error("usage: node ruffle-page.mjs --tervano PROGRAM --out FOLDER");
    process.exit(2);
  }
  const chromiumPath = process.env.CHROMIUM || "/usr/bin/chromium";
  if (!fs.existsSync(chromiumPath)) {
    console.log(`SKIPPED: no Chromium at ${chromiumPath}`);
    process.exit(SKIP);
  }
  let chromium;
  let ruffleDir;
  try {
    ({ chromium } = await import("playwright-core"));
    ruffleDir = path.dirname(fileURLToPath(import.meta.resolve("@ruffle-rs/ruffle/ruffle.js")));
  } catch {
    console.log("SKIPPED: npm packages missing in tests/player; run scripts/install-deps.sh --all");
    process.exit(SKIP);
  }

  const out = path.resolve(args.out);
  const site = path.join(out, "site");
  const store = path.join(out, "settings");
  fs.rmSync(out, { recursive: true, force: true });
  for (const d of [path.join(site, "with"), path.join(site, "without"), store]) fs.mkdirSync(d, { recursive: true });
  fs.cpSync(ruffleDir, path.join(site, "with", ruffleFolder), { recursive: true });
  for (const d of ["with", "without"]) fs.copyFileSync(gifSource, path.join(site, d, "clock.gif"));
  convert(path.resolve(args.tervano), path.join(site, "with"), ["--ruffle", `${ruffleFolder}/ruffle.js`], store);
  fs.copyFileSync(gifSource, path.join(site, "with", `${unicodeStem}.gif`));
  convert(path.resolve(args.tervano), path.join(site, "with"), ["--ruffle", `${ruffleFolder}/ruffle.js`], store,
    `${unicodeStem}.gif`);
  convert(path.resolve(args.tervano), path.join(site, "without"), ["--no-ruffle"], store);

  const info = readGifInfo(fs.readFileSync(gifSource));
  const expect = expectedMovie(info);
  const first = expect.runs[0];
  // Ruffle shows movie frame k from (k + 1) frame times on; the middle of
  // the first GIF frame's run.
  const firstFrameMs = FRAME_MS + (first.start + first.length / 2) * FRAME_MS;

  const server = await serve(site);
  const base = `http://127.0.0.1:${server.address().port}`;
  const profile = path.join(out, "profile");
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
      "--disable-component-update", "--disable-sync", "--no-first-run", "--autoplay-policy=no-user-gesture-required"],
    viewport: { width: expect.stageWidth + 100, height: expect.stageHeight + 100 },
    deviceScaleFactor: 1,
  });
  // The movie clock and the GIF decoding of check.mjs, in the page before its
  // own scripts; the page itself is served as tervano wrote it.
  await context.addInitScript({ path: path.join(here, "page.js") });
  const results = [];
  const check = (ok, what) => {
    results.push(ok);
    console.log(`${ok ? "ok  " : "FAIL"} ${what}`);
  };
  try {
    const page = await context.newPage();
    const said = [];
    page.on("pageerror", (e) => said.push(String(e)));
    await page.goto(`${base}/with/clock.htm`);
    const player = await waitForPlayer(page, 60000);
    check(player !== null, `Ruffle plays the page's movie${player ? "" : ` (browser said: ${said.join(" | ")})`}`);
    if (player) {
      const size = `${player.box.width}x${player.box.height}`;
      check(size === `${expect.stageWidth}x${expect.stageHeight}`,
        `player ${size}, movie ${player.meta.width}x${player.meta.height}, GIF ${expect.stageWidth}x${expect.stageHeight}`);
      await page.evaluate((ms) => window.advanceMovieTime(ms), firstFrameMs);
      const png = await page.screenshot({
        clip: { x: player.box.x, y: player.box.y, width: expect.stageWidth, height: expect.stageHeight },
      });
      fs.writeFileSync(path.join(out, "first-frame.png"), png);
      const reference = await page.evaluate((u) => window.loadReference(u), `${base}/with/clock.gif`);
      const compare = (frame) => page.evaluate(([b, f, tol]) => window.compareShot(b, f, tol),
        [png.toString("base64"), frame, TOLERANCE]);
      const shown = await compare(0);
      const bad = shown.checks.filter((c) => !c.ok).length;
      check(bad === 0 && shown.differing / shown.pixels <= MAX_OFF && shown.checks.length > 0,
        `first frame: ${shown.checks.length - bad} of ${shown.checks.length} points match, ` +
        `${shown.differing} of ${shown.pixels} pixels off`);
      // The comparison must tell this frame from another, or it proved nothing.
      const other = await compare(reference.frameCount > 1 ? 1 : 0);
      check(other.checks.some((c) => !c.ok) || other.differing / other.pixels > MAX_OFF,
        `control: the picture does not pass as GIF frame 2 (${other.differing} pixels off)`);
      fs.writeFileSync(path.join(out, "compared.png"), Buffer.from(shown.picture.split(",")[1], "base64"));
    }
    const named = await context.newPage();
    await named.goto(`${base}/with/${encodeURIComponent(unicodeStem)}.htm`);
    const namedPlayer = await waitForPlayer(named, 60000);
    check(namedPlayer !== null && namedPlayer.box.width === expect.stageWidth,
      `the page of "${unicodeStem}.gif" finds and plays its movie`);
    check((await named.title()) === unicodeStem, `its title reads "${await named.title()}"`);
    const plain = await context.newPage();
    await plain.goto(`${base}/without/clock.htm`);
    check((await waitForPlayer(plain, 3000)) === null, "the page without the option gets no player");
  } finally {
    await context.close();
    server.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  const failed = results.filter((ok) => !ok).length;
  console.log(`${results.length - failed} passed, ${failed} failed`);
  process.exit(failed === 0 && results.length > 0 ? 0 : 1);
}

main().catch((e) => {
  console.error(`ruffle page: ${e.stack || e}`);
  process.exit(1);
});
