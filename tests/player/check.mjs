// Plays converted movies in a real Flash player (Ruffle, in headless
// Chromium) and compares what it shows with the frames of the GIF as the
// same browser decodes them.
//
//   node check.mjs --tervano /path/to/tervano --out /path/to/folder
//
// The folder is emptied first; GIFs, movies and pictures are left in it.
//
// Makes a few GIFs with ImageMagick and ffmpeg (when they are there), adds
// samples/*.gif and a GIF that Debian ships, converts each with
// "tervano -quite", serves movie and page on 127.0.0.1 and checks: the stage
// size, frame rate and frame count Ruffle reads from the header; at the
// middle of every GIF frame's run of movie frames, and after the end
// (looping or stopped), sample pixels in the middle of flat colour areas
// and the share of differing pixels in the whole picture. The page hands
// Ruffle its animation-frame timestamps, so movie time does not depend on
// the speed of the machine.
// Side-by-side pictures (GIF left, movie right) go to <out>/shots.
//
// Exit codes: 0 all passed, 1 a mismatch, 77 a piece of the environment is
// missing (Chromium, the npm packages).

import { execFileSync, spawnSync } from "node:child_process";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import process from "node:process";
import { fileURLToPath } from "node:url";

import { expectedMovie, readGifInfo } from "./gif-info.mjs";

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

// The real ImageMagick convert, not a stand-in of the same name.
function findConvert() {
  for (const p of ["/usr/bin/convert", "convert"]) {
    const r = spawnSync(p, ["-version"], { encoding: "utf8" });
    if (r.status === 0 && /ImageMagick/.test(r.stdout)) return p;
  }
  return null;
}

function findFfmpeg() {
  const r = spawnSync("ffmpeg", ["-version"], { encoding: "utf8" });
  return r.status === 0 ? "ffmpeg" : null;
}

// ffmpeg's GIF encoder writes every frame after the first as the smallest
// rectangle that changed, with unchanged pixels transparent.
function makeFfmpegGifs(ffmpeg, folder) {
  const gifs = [
    { name: "ffmpeg-testsrc", source: "testsrc=size=96x72:rate=5:duration=2" },
    { name: "ffmpeg-testsrc2", source: "testsrc2=size=128x96:rate=10:duration=1.5" },
  ];
  for (const gif of gifs) {
    gif.file = path.join(folder, `${gif.name}.gif`);
    gif.points = [];
    const r = spawnSync(ffmpeg, ["-v", "error", "-y", "-f", "lavfi", "-i", gif.source, "-vf",
      "split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=dither=none:diff_mode=rectangle",
      "-loop", "0", gif.file], { encoding: "utf8" });
    if (r.status !== 0) throw new Error(`ffmpeg failed for ${gif.name}: ${r.stderr}`);
  }
  return gifs;
}

// GIFs made here, each with what it is meant to show. `points` name places
// whose colour the GIF has in a frame (index into the GIF's frames).
function makeGifs(convert, folder) {
  const red = "#e02020", blue = "#2040e0", green = "#20c040", yellow = "#f0d020";
  const purple = "#8020a0", orange = "#f08020", teal = "#109090", grey = "#a0a0a0";
  const white = "#ffffff", magenta = "#e020c0", navy = "#203070";
  const rgb = (hex) => [1, 3, 5].map((i) => parseInt(hex.slice(i, i + 2), 16));
  const pt = (frame, x, y, colour, why) => ({ frame, x, y, colour: rgb(colour), why });

  const stripeColours = ["#ff0000", "#ff8000", "#ffff00", "#80ff00", "#00ff00", "#00ff80", "#00ffff",
    "#0080ff", "#0000ff", "#8000ff", "#ff00ff", "#ff0080", "#804000"];
  const stripes = stripeColours.flatMap((c, k) =>
    ["-page", `130x40+${k * 10}+0`, "-size", "10x40", `xc:${c}`]);

  const gifs = [
    {
      // Three frames of solid colour fields with different delays; loops for ever.
      name: "fields",
      args: ["-delay", "100", "(", "-size", "40x60", `xc:${red}`, "-size", "40x60", `xc:${blue}`, "+append", ")",
        "-delay", "200", "(", "-size", "80x30", `xc:${green}`, "-size", "80x30", `xc:${yellow}`, "-append", ")",
        "-delay", "50", "-size", "80x60", `xc:${purple}`, "-loop", "0"],
      points: [pt(0, 20, 30, red), pt(0, 60, 30, blue), pt(1, 40, 15, green), pt(1, 40, 45, yellow),
        pt(2, 40, 30, purple)],
    },
    {
      // A frame with a transparent left half over a full frame, then a
      // smaller frame with a transparent hole at an offset; plays once.
      name: "transparency",
      args: ["-delay", "100", "-size", "80x60", `xc:${orange}`,
        "(", "-size", "80x60", "xc:none", "-fill", teal, "-draw", "rectangle 40,0 79,59", ")",
        "(", "-size", "40x30", `xc:${magenta}`, "-fill", "none", "-draw", "color 20,15 reset",
        "-fill", magenta, "-draw", "rectangle 0,0 39,7", "-draw", "rectangle 0,22 39,29",
        "-draw", "rectangle 0,0 7,29", "-draw", "rectangle 32,0 39,29", "-set", "page", "80x60+20+15", ")",
        "-loop", "1"],
      points: [pt(1, 15, 30, orange), pt(1, 65, 30, teal), pt(2, 30, 30, orange), pt(2, 50, 30, teal),
        pt(2, 23, 18, magenta), pt(2, 56, 41, magenta), pt(2, 5, 5, orange), pt(2, 75, 55, teal)],
    },
    {
      // The middle frame is disposed to the background: its area must be
      // cleared (white, like the page) when the last frame shows.
      name: "dispose-background",
      args: ["-dispose", "none", "-delay", "100", "-size", "90x60", `xc:${grey}`,
        "-dispose", "background", "-page", "+10+10", "-size", "30x30", `xc:${green}`,
        "-dispose", "none", "-page", "+50+20", "-size", "30x30", `xc:${blue}`, "-loop", "0"],
      points: [pt(1, 25, 25, green), pt(1, 70, 50, grey), pt(2, 25, 25, white), pt(2, 65, 35, blue),
        pt(2, 5, 55, grey)],
    },
    {
      // The middle frame is disposed to the previous picture.
      name: "dispose-previous",
      args: ["-dispose", "none", "-delay", "100", "-size", "70x50", `xc:${yellow}`,
        "-dispose", "previous", "-page", "+5+5", "-size", "20x20", `xc:${red}`,
        "-dispose", "none", "-page", "+40+20", "-size", "20x20", `xc:${navy}`, "-loop", "0"],
      points: [pt(1, 15, 15, red), pt(2, 15, 15, yellow), pt(2, 50, 30, navy)],
    },
    {
      // Frames that do not reach the edges of the logical screen: the stage
      // is the extent of the frames. Loop count 1: plays twice, then stops.
      name: "offset-frames",
      args: ["-delay", "60", "-page", "100x80+10+5", "-size", "40x30", `xc:${teal}`,
        "-page", "100x80+30+20", "-size", "30x30", `xc:${purple}`, "-loop", "2"],
      points: [pt(0, 25, 15, teal), pt(1, 45, 35, purple), pt(1, 15, 10, teal)],
    },
    {
      // Short delays, each checked at its own movie frames: 0, 5, 10 and 19
      // hundredths last one movie frame, 20 and 25 two, 100 ten.
      name: "short-delays",
      args: [...[[0, red], [5, blue], [10, green], [19, yellow], [20, purple], [25, orange], [100, teal]]
        .flatMap(([d, c]) => ["-delay", String(d), "-size", "40x30", `xc:${c}`]), "-loop", "1"],
      points: [red, blue, green, yellow, purple, orange, teal].map((c, k) => pt(k, 20, 15, c)),
    },
    {
      // Thirteen frames that all stay visible: the movie lowers its
      // rendering quality after the eleventh; colours must not suffer.
      name: "thirteen-stripes",
      args: ["-delay", "20", ...stripes, "-loop", "0"],
      points: stripeColours.map((c, k) => pt(12, k * 10 + 5, 20, c)),
    },
  ];

  const made = [];
  for (const gif of gifs) {
    const file = path.join(folder, `${gif.name}.gif`);
    const r = spawnSync(convert, [...gif.args, file], { encoding: "utf8" });
    if (r.status !== 0) throw new Error(`convert failed for ${gif.name}: ${r.stderr}`);
    made.push({ name: gif.name, file, points: gif.points });
  }
  return made;
}

// GIFs made elsewhere: the project's samples, one Debian ships, and any
// named in TERVANO_PLAYER_GIFS (separated by ":").
function foundGifs(folder) {
  const found = [];
  const samples = path.join(sourceRoot, "samples");
  if (fs.existsSync(samples)) {
    for (const f of fs.readdirSync(samples).sort()) {
      if (f.toLowerCase().endsWith(".gif")) found.push(["sample", path.join(samples, f)]);
    }
  }
  found.push(["debian", "/usr/share/doc/cmake-data/CMakeLogo.gif"]);
  for (const f of (process.env.TERVANO_PLAYER_GIFS || "").split(":")) if (f) found.push(["extra", f]);
  const copies = [];
  for (const [kind, f] of found) {
    if (!fs.existsSync(f)) continue;
    const name = `${kind}-${path.basename(f, path.extname(f)).replace(/[^A-Za-z0-9_-]/g, "_")}`;
    const file = path.join(folder, `${name}.gif`);
    fs.copyFileSync(f, file);
    copies.push({ name, file, points: [] });
  }
  return copies;
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

const MIME = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript",
  ".wasm": "application/wasm",
  ".swf": "application/x-shockwave-flash",
  ".gif": "image/gif",
  ".map": "application/json",
};

// Serves the page, Ruffle's self-hosted build and the movies; nothing else.
function startServer(roots) {
  const page = `<!doctype html><html><head><meta charset="utf-8">
<style>html,body{margin:0;padding:0;background:#fff}#stage{position:absolute;left:0;top:0}</style>
<script>window.RufflePlayer = { config: { polyfills: false, publicPath: "/ruffle/" } };</script>
<script src="/ruffle/ruffle.js"></script><script src="/page/page.js"></script>
</head><body><div id="stage"></div></body></html>`;
  const server = http.createServer((req, res) => {
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
    const file = root ? path.resolve(root, decodeURIComponent(rest.join("/"))) : null;
    if (!file || !file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404);
      res.end();
      return;
    }
    res.writeHead(200, { "content-type": MIME[path.extname(file)] || "application/octet-stream" });
    fs.createReadStream(file).pipe(res);
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
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
      const compare = (frame, points) => page.evaluate(([b, f, tol, pts]) => window.compareShot(b, f, tol, pts),
        [png.toString("base64"), frame, TOLERANCE, points]);
      const result = await compare(t.frame, gif.points.filter((p) => p.frame === t.frame));
      const picture = path.join(shotsDir, `${gif.name}-${t.label}.png`);
      fs.writeFileSync(picture, Buffer.from(result.picture.split(",")[1], "base64"));
      const bad = result.checks.filter((c) => !c.ok);
      const offShare = result.differing / result.pixels;
      const what = `${t.label} at ${t.ms} ms shows GIF frame ${t.frame + 1} (${result.checks.length} points;` +
        ` whole picture: ${result.differing} of ${result.pixels} pixels off, largest difference ${result.worst})`;
      if (result.checks.length === 0) {
        fail(`${what}: no flat area to sample`);
      } else if (bad.length > 0) {
        const list = bad.slice(0, 6).map((c) => `(${c.x},${c.y}) ${c.why} gif ${c.expected}` +
          `${c.named ? ` meant ${c.named}` : ""} movie ${c.seen}`).join("; ");
        fail(`${what}: ${bad.length} points differ: ${list}; see ${picture}`);
      } else if (offShare > MAX_OFF) {
        fail(`${what}: too many pixels differ; see ${picture}`);
      } else {
        pass(what);
      }

      // The same comparison against another frame of the GIF must fail, or
      // the comparison could not tell frames apart for this movie.
      const other = (t.frame + 1) % info.frames.length;
      if (!controlled && other !== t.frame && bad.length === 0 &&
          (await page.evaluate(([a, b, w, h]) => window.framesDiffer(a, b, w, h),
            [t.frame, other, expect.stageWidth, expect.stageHeight])) > 0) {
        controlled = true;
        const wrong = await compare(other, []);
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

  const convert = findConvert();
  const ffmpeg = findFfmpeg();
  if (!convert) console.log("note: ImageMagick's convert is missing; its GIFs are not checked");
  if (!ffmpeg) console.log("note: ffmpeg is missing; its GIFs are not checked");
  const gifs = [...(convert ? makeGifs(convert, gifDir) : []), ...(ffmpeg ? makeFfmpegGifs(ffmpeg, gifDir) : []),
    ...foundGifs(gifDir)];
  if (gifs.length === 0) skip("no GIF to check: ImageMagick and ffmpeg are missing and no sample GIF was found");
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
