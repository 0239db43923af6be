// The page's WebAssembly module, run in Node as its worker runs it, against
// the native command: for every sample and fixture GIF and a few option
// sets, movie and page must be the native build's byte for byte, and the
// progress must count every frame the native movie has.
//
//   node same-bytes.mjs --site build/web --tervano build/native/tervano --out FOLDER
import { execFileSync } from "node:child_process";
import fs from "node:fs";
import path from "node:path";
import process from "node:process";
import { fileURLToPath } from "node:url";

import { loadConverter } from "./wasm-module.mjs";

const here = path.dirname(fileURLToPath(import.meta.url));
const sourceRoot = path.resolve(here, "..", "..");

// The command's flags and the page's options for the same choice.
const OPTION_SETS = [
  { name: "none stored", flags: [], options: {} },
  { name: "page, play 3 times, border, crop, link, protect, full menu",
    flags: ["--html", "--loop", "3", "--border", "--crop", "--url", "https://example.org/?a=1&b=ä", "--protect",
      "--full-menu"],
    options: { writeHtml: 1, changeLoop: 1, playCount: 3, borderCorrection: 1, optimiseCanvas: 1, useLinkUrl: 1,
      linkUrl: "https://example.org/?a=1&b=ä", protect: 1, fullMenu: 1 } },
  { name: "page with Ruffle, loop forever, GIF background, empty link",
    flags: ["--html", "--loop-forever", "--gif-background", "--url", "", "--ruffle", "vendor/ruffle & co/ruffle.js"],
    options: { writeHtml: 1, changeLoop: 1, loopForever: 1, useGifBackground: 1, useLinkUrl: 1, linkUrl: "",
      ruffleUrl: "vendor/ruffle & co/ruffle.js" } },
];

function args() {
  const a = {};
  const argv = process.argv.slice(2);
  for (let i = 0; i + 1 < argv.length; i += 2) a[argv[i].replace(/^--/, "")] = path.resolve(argv[i + 1]);
  if (!a.site || !a.tervano || !a.out) {
    console.error("usage: node same-bytes.mjs --site DIR --tervano PROGRAM --out FOLDER");
    process.exit(2);
  }
  if (!fs.existsSync(a.tervano)) {
    console.log(`SKIPPED: no native program at ${a.tervano} (scripts/build.sh native builds it)`);
    process.exit(77);
  }
  return a;
}

function gifs() {
  const found = [];
  for (const dir of [path.join(sourceRoot, "samples"), path.join(sourceRoot, "tests", "fixtures", "gifs")])
    for (const f of fs.readdirSync(dir).sort()) if (f.endsWith(".gif")) found.push(path.join(dir, f));
  return found;
}

// SWF frame count from the header (after the RECT of the stage).
function swfFrames(movie) {
  const bits = movie[8] >> 3;
  const rectBytes = Math.ceil((5 + 4 * bits) / 8);
  const at = 8 + rectBytes + 2;
  return movie[at] | (movie[at + 1] << 8);
}

async function main() {
  const a = args();
  fs.rmSync(a.out, { recursive: true, force: true });
  const { module, convert, progress } = await loadConverter(a.site);
  const files = gifs();
  let failed = 0;
  let checked = 0;
  for (const [n, set] of OPTION_SETS.entries()) {
    const folder = path.join(a.out, `set${n}`);
    const store = path.join(a.out, `store${n}`);
    fs.mkdirSync(folder, { recursive: true });
    fs.mkdirSync(store, { recursive: true });
    for (const f of files) fs.copyFileSync(f, path.join(folder, path.basename(f)));
    // An empty store: only the flags count.
    execFileSync(a.tervano, [...set.flags, "-q", ...files.map((f) => path.join(folder, path.basename(f)))],
      { env: { ...process.env, TERVANO_CONFIG_DIR: store }, stdio: ["ignore", "inherit", "inherit"] });
    const wrong = [];
    for (const f of files) {
      const movieName = convert.movieNameOf(path.basename(f));
      const r = convert.convert(module, fs.readFileSync(f), movieName, set.options);
      const nativeMovie = fs.readFileSync(path.join(folder, movieName));
      if (r.status !== convert.Status.converted) wrong.push(`${path.basename(f)}: status ${r.status} ${r.reason}`);
      else if (Buffer.compare(Buffer.from(r.movie), nativeMovie) !== 0) wrong.push(`${movieName} differs`);
      else if (progress.frames < 1 || progress.done !== progress.frames)
        wrong.push(`${movieName}: progress ${progress.done} of ${progress.frames}`);
      else if (progress.frames > swfFrames(nativeMovie))
        wrong.push(`${movieName}: ${progress.frames} frames counted, the movie has ${swfFrames(nativeMovie)}`);
      if (set.options.writeHtml) {
        const pageName = convert.pageNameOf(movieName);
        const nativePage = fs.readFileSync(path.join(folder, pageName));
        if (!r.page || Buffer.compare(Buffer.from(r.page), nativePage) !== 0) wrong.push(`${pageName} differs`);
      } else if (r.page !== null) {
        wrong.push(`${movieName}: a page without the page option`);
      }
      checked++;
    }
    failed += wrong.length;
    console.log(`${wrong.length ? "FAIL" : "ok  "} ${files.length} GIFs, options: ${set.name}`);
    for (const w of wrong) console.log(`     ${w}`);
  }
  // What the file conversion refuses, the page's entry refuses alike.
  for (const [what, bytes, status] of [["0 bytes", new Uint8Array(0), convert.Status.notGif],
    ["text", new TextEncoder().encode("GI, not a GIF\n"), convert.Status.notGif]]) {
    const r = convert.convert(module, bytes, "bad.swf", { writeHtml: 1 });
    const ok = r.status === status && r.movie === null && r.page === null;
    if (!ok) failed++;
    console.log(`${ok ? "ok  " : "FAIL"} ${what}: status ${r.status}, nothing made`);
  }
  console.log(`${checked} conversions compared, ${failed} failed`);
  process.exit(failed === 0 && checked > 0 ? 0 : 1);
}

main().catch((e) => {
  console.error(e.stack || e);
  process.exit(1);
});
