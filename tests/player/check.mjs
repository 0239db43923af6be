// Plays converted movies in a real Flash player (Ruffle, in headless
// Chromium) and compares what it shows with the frames of the GIF as the
// same browser decodes them.
//
//   node check.mjs --tervano /path/to/tervano --out /path/to/folder
//
// The folder is emptied first; GIFs, movies and pictures are left in it.
//
// Takes the GIFs that other programs made (tests/fixtures/gifs) and the
// project's samples, converts each with "tervano -quite", serves movie and
// page on 127.0.0.1 and checks: the stage size, frame rate and frame count
// Ruffle reads from the header; at the middle of every GIF frame's run of
// movie frames, and after the end (looping or stopped), sample pixels in the
// middle of flat colour areas and the share of differing pixels in the whole
// picture. The page hands Ruffle its animation-frame timestamps, so movie
// time does not depend on the speed of the machine.
// Side-by-side pictures (GIF left, movie right) go to <out>/shots.
//
// Exit codes: 0 all passed, 1 a mismatch, 77 a piece of the environment is
// missing (Chromium, the npm packages).

import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import process from "node:process";
import { fileURLToPath } from "node:url";

import { expectedMovie, readGifInfo } from "./gif-info.mjs";
import { MIME, listen, sendFile } from "./serve.mjs";

const SKIP = 77;
const TOLERANCE = 12; // per colour channel
const MAX_OFF = 0.005; // share of all pixels that may differ by more
const FRAME_MS = 100; // the movies play at 10 frames per second
// Ruffle runs a movie's first frame only once a whole frame time has passed,
// so movie frame k (from 0) shows from (k + 1) * FRAME_MS on its clock.
const FIRST_FRAME_MS = FRAME_MS;
const here = path.dirname(fileURLToPath(import.meta.url));
const sourceRoot = path.resolve(here, "..", "..");

function parseArgs(argv) {
  const args = {};
  let good = argv.length === 4;
  for (let i = 0; good && i < argv.length; i += 2) {
    if (argv[i] === "--tervano") args.tervano = argv[i + 1];
    else if (argv[i] === "--out") args.out = argv[i + 1];
    else good = false;
  }
  if (!good || !args.tervano || !args.out) {
    console.error("usage: node check.mjs --tervano PROGRAM --out FOLDER");
    process.exit(2);
  }
  return { tervano: path.resolve(args.tervano), out: path.resolve(args.out) };
}

function skip(why) {
  console.log(`SKIPPED: ${why}`);
  process.exit(SKIP);
}

// Debian's Chromium, or the one CHROMIUM names.
function findChromium() {
  const p = process.env.CHROMIUM || "/usr/bin/chromium";
  return fs.existsSync(p) ? p : null;
}

// The committed GIFs of other programs, the project's samples, and any
// named in TERVANO_PLAYER_GIFS (separated by ":"), copied into `folder`.
function findGifs(folder) {
  const found = [];
  for (const [kind, dir] of [["fixture", path.join(sourceRoot, "tests", "fixtures", "gifs")],
    ["sample", path.join(sourceRoot, "samples")]]) {
    if (!fs.existsSync(dir)) continue;
    for (const f of fs.readdirSync(dir).sort()) {
      if (f.toLowerCase().endsWith(".gif")) found.push([kind, path.join(dir, f)]);
    }
  }
  for (const f of (process.env.TERVANO_PLAYER_GIFS || "").split(":")) if (f) found.push(["extra", f]);
  return found.map(([kind, f]) => {
    const name = `${kind}-${path.basename(f, path.extname(f)).replace(/[^A-Za-z0-9_-]/g, "_")}`;
    const file = path.join(folder, `${name}.gif`);
    fs.copyFileSync(f, file);
    return { name, file };
  });
}

function convertGif(tervano, gifFile, configDir) {
  const swf = gifFile.replace(/\.gif$/, ".swf");
  fs.rmSync(swf, { force: true });
  execFileSync(tervano, ["-quite", gifFile], {
    env: { ...process.env, TERVANO_CONFIG_DIR: configDir },
    stdio: ["ignore", "inherit", "inherit"],
  });
  if (!fs.existsSync(swf)) throw new Error(`no movie written for ${gifFile}`);
  return swf;
}

// Serves the page, Ruffle's self-hosted build and the movies; nothing else.
function startServer(roots) {
  const page = `<!doctype html><html><head><meta charset="utf-8">
<style>html,body{margin:0;padding:0;background:#fff}#stage{position:absolute;left:0;top:0}</style>
<script>window.RufflePlayer = { config: { polyfills: false, publicPath: "/ruffle/" } };</script>
<script src="/ruffle/ruffle.js"></script><script src="/page/page.js"></script>
</head><body><div id="stage"></div></body></html>`;
  return listen((req, res) => {
    const url = new URL(req.url, "http://127.0.0.1");
    if (url.pathname === "/favicon.ico") {
      res.writeHead(204);
      res.end();
      return;
    }
    if (url.pathname === "/") {
      res.writeHead(200, { "content-type": MIME[".html"] });
      res.end(page);
      return;
    }
    const [, prefix, ...rest] = url.pathname.split("/");
    const root = roots[prefix];
    sendFile(res, root, root ? path.resolve(root, decodeURIComponent(rest.join("/"))) : null);
  });
}

// Movie times (ms) at which to look, with the GIF frame that must show:
// the middle of each frame's run, then after the end of the first pass.
function sampleTimes(expect, frameCount) {
  const at = (movieFrame) => FIRST_FRAME_MS + movieFrame * FRAME_MS;
  const times = [];
  const limit = 30;
  const every = Math.max(1, Math.ceil(frameCount / limit));
  expect.runs.forEach((run, k) => {
    if (k % every !== 0 && k !== frameCount - 1) return;
    times.push({ ms: at(run.start + run.length / 2), frame: k, label: `f${k + 1}` });
  });
  const last = frameCount - 1;
  const total = expect.frameCount;
  const first = expect.runs[0];
  if (expect.loopCount === -1) {
    times.push({ ms: at(total + 5), frame: last, label: "stopped" });
  } else {
    if (frameCount > 1) times.push({ ms: at(total + first.start + first.length / 2), frame: 0, label: "looped" });
    const passes = expect.loopCount + 1;
    if (expect.loopCount > 0 && passes * total <= 600) {
      times.push({ ms: at(passes * total + 5), frame: last, label: "stopped" });
    }
  }
  return times;
}

// Movie time stands still until the check moves it, so loading is given
// animation frames that do not move time until Ruffle has read the header.
async function waitForMetadata(page) {
  const deadline = Date.now() + 60000;
  for (;;) {
    const state = await page.evaluate(() => {
      window.advanceMovieTime(0);
      return { meta: window.movieMetadata || null, error: window.movieError || null };
    });
    if (state.error) throw new Error(`Ruffle could not load the movie: ${state.error}`);
    if (state.meta) return state.meta;
    if (Date.now() > deadline) throw new Error("Ruffle did not load the movie in 60 s");
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
}

// A fresh page with its console collected into `logs`.
async function openPage(context, baseUrl, logs) {
  const page = await context.newPage();
  page.on("console", (m) => {
    // SwiftShader's performance notes are noise.
    if ((m.type() === "error" || m.type() === "warning") && !/GL Driver Message/.test(m.text())) logs.push(m.text());
  });
  page.on("pageerror", (e) => logs.push(String(e)));
  await page.goto(baseUrl);
  return page;
}

// Checks one movie in `page`; returns false when the page should not be
// used again (the player failed in it).
async function checkMovie(page, gif, shotsDir, results) {
  const info = readGifInfo(fs.readFileSync(gif.file));
  const expect = expectedMovie(info);
  const fail = (what) => results.push({ name: gif.name, what, ok: false });
  const pass = (what) => results.push({ name: gif.name, what, ok: true });

  try {
    await page.setViewportSize({ width: Math.max(320, expect.stageWidth + 16), height: Math.max(240, expect.stageHeight + 16) });
    const ref = await page.evaluate((u) => window.loadReference(u), `/movies/${path.basename(gif.file)}`);
    if (ref.frameCount !== info.frames.length) {
      fail(`browser decodes ${ref.frameCount} frames, the GIF has ${info.frames.length}`);
    }
    await page.evaluate(([u, w, h]) => window.startMovie(u, w, h),
      [`/movies/${path.basename(gif.file, ".gif")}.swf`, expect.stageWidth, expect.stageHeight]);
    const meta = await waitForMetadata(page);
    const header = `stage ${meta.width}x${meta.height} at ${meta.frameRate} fps, ${meta.numFrames} frames`;
    const wanted = `stage ${expect.stageWidth}x${expect.stageHeight} at 10 fps, ${expect.frameCount} frames`;
    if (header === wanted) pass(`header: ${header}`);
    else fail(`header: Ruffle reads ${header}, expected ${wanted}`);

    let clock = 0;
    let controlled = false;
    for (const t of sampleTimes(expect, info.frames.length)) {
      clock = await page.evaluate((ms) => window.advanceMovieTime(ms), t.ms - clock);
      const png = await page.screenshot({ clip: { x: 0, y: 0, width: expect.stageWidth, height: expect.stageHeight } });
      const compare = (frame) => page.evaluate(([b, f, tol]) => window.compareShot(b, f, tol),
        [png.toString("base64"), frame, TOLERANCE]);
      const result = await compare(t.frame);
      const picture = path.join(shotsDir, `${gif.name}-${t.label}.png`);
      fs.writeFileSync(picture, Buffer.from(result.picture.split(",")[1], "base64"));
      const bad = result.checks.filter((c) => !c.ok);
      const offShare = result.differing / result.pixels;
      const what = `${t.label} at ${t.ms} ms shows GIF frame ${t.frame + 1} (${result.checks.length} points;` +
        ` whole picture: ${result.differing} of ${result.pixels} pixels off, largest difference ${result.worst})`;
      if (bad.length > 0) {
        const list = bad.slice(0, 6).map((c) => `(${c.x},${c.y}) ${c.why} gif ${c.expected} movie ${c.seen}`)
          .join("; ");
        fail(`${what}: ${bad.length} points differ: ${list}; see ${picture}`);
      } else if (offShare > MAX_OFF) {
        fail(`${what}: too many pixels differ; see ${picture}`);
      } else {
        // A picture without flat areas (every pixel its own colour) is
        // judged by the whole-picture comparison alone.
        pass(result.checks.length > 0 ? what : `${what}, no flat area: whole picture only`);
      }

      // The same comparison against another frame of the GIF must fail, or
      // the comparison could not tell frames apart for this movie. Frames
      // that differ in fewer pixels than the comparison lets pass cannot
      // serve.
      const other = (t.frame + 1) % info.frames.length;
      if (!controlled && other !== t.frame && bad.length === 0 &&
          (await page.evaluate(([a, b, w, h, tol]) => window.framesDiffer(a, b, w, h, tol),
            [t.frame, other, expect.stageWidth, expect.stageHeight, TOLERANCE])) > MAX_OFF * result.pixels) {
        controlled = true;
        const wrong = await compare(other);
        const caught = wrong.checks.some((c) => !c.ok) || wrong.differing / wrong.pixels > MAX_OFF;
        const said = `control: the ${t.label} picture does not pass as GIF frame ${other + 1}`;
        if (caught) pass(said);
        else fail(`${said}: it does (${wrong.differing} pixels off)`);
      }
    }
  } catch (e) {
    fail(`playing failed: ${e.message}`);
    return false;
  }
  return true;
}

async function main() {
  const args = parseArgs(process.argv.slice(2));
  const chromiumPath = findChromium();
  if (!chromiumPath) skip(`no Chromium at ${process.env.CHROMIUM || "/usr/bin/chromium"}; run scripts/install-deps.sh --all`);
  let chromium;
  let ruffleDir;
  try {
    ({ chromium } = await import("playwright-core"));
    ruffleDir = path.dirname(fileURLToPath(import.meta.resolve("@ruffle-rs/ruffle/ruffle.js")));
  } catch {
    skip("npm packages missing in tests/player; run scripts/install-deps.sh --all");
  }
  if (!fs.existsSync(args.tervano)) throw new Error(`no program at ${args.tervano}`);

  const gifDir = path.join(args.out, "gifs");
  const shotsDir = path.join(args.out, "shots");
  fs.rmSync(args.out, { recursive: true, force: true });
  fs.mkdirSync(gifDir, { recursive: true });
  fs.mkdirSync(shotsDir, { recursive: true });
  // Both start empty on every run: no settings means every option off, and
  // the browser gets a fresh profile.
  const configDir = path.join(args.out, "settings");
  const profileDir = path.join(args.out, "profile");
  fs.mkdirSync(configDir);
  fs.mkdirSync(profileDir);

  const gifs = findGifs(gifDir);
  if (!gifs.some((g) => g.name.startsWith("fixture-"))) throw new Error("no GIF in tests/fixtures/gifs");
  for (const gif of gifs) convertGif(args.tervano, gif.file, configDir);

  const server = await startServer({ ruffle: ruffleDir, page: here, movies: gifDir });
  const baseUrl = `http://127.0.0.1:${server.address().port}/`;
  const context = await chromium.launchPersistentContext(profileDir, {
    executablePath: chromiumPath,
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
      "--disable-component-update", "--disable-sync", "--no-first-run"],
    deviceScaleFactor: 1,
  });
  const results = [];
  const logs = [];
  let page = null;
  try {
    for (const gif of gifs) {
      if (!page) page = await openPage(context, baseUrl, logs);
      const before = results.length;
      logs.length = 0;
      if (!(await checkMovie(page, gif, shotsDir, results))) {
        await page.close();
        page = null;
      }
      for (const r of results.slice(before)) console.log(`${r.ok ? "ok  " : "FAIL"} ${gif.name}: ${r.what}`);
      if (logs.length) console.log(`  ${gif.name}: browser said: ${logs.slice(0, 5).join(" | ")}`);
    }
  } finally {
    await context.close();
    server.close();
    fs.rmSync(profileDir, { recursive: true, force: true });
  }
  const passed = results.filter((r) => r.ok).length;
  const failed = results.length - passed;
  console.log(`Pictures: ${shotsDir}`);
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 && passed > 0 ? 0 : 1);
}

main().catch((e) => {
  console.error(`player check: ${e.stack || e}`);
  process.exit(1);
});
