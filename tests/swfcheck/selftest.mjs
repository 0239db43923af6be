// Proves that check.mjs accepts well-formed movies and rejects broken ones.
// Each case builds its movie bytes by hand, puts them alone in a fresh
// folder, runs check.mjs on it and looks at the exit code and the report.

import { spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import process from "node:process";
import { fileURLToPath } from "node:url";
import zlib from "node:zlib";

import { checkFolder } from "./check.mjs";

const here = path.dirname(fileURLToPath(import.meta.url));
const checker = path.join(here, "check.mjs");

const hex = (s) => Buffer.from(s.replace(/\s+/g, ""), "hex");
const u16 = (v) => Buffer.from([v & 0xff, (v >> 8) & 0xff]);
const u32 = (v) => { const b = Buffer.alloc(4); b.writeUInt32LE(v >>> 0); return b; };

function tag(code, body, forceLong = false) {
  if (forceLong || body.length >= 63) return Buffer.concat([u16(code * 64 + 63), u32(body.length), body]);
  return Buffer.concat([u16(code * 64 + body.length), body]);
}

// A header for a 360 x 360 twip stage: RECT 50 00 B4 00 0B 40, rate 10.
function movie(frameCount, ...tags) {
  const body = Buffer.concat([...tags, hex("00 00")]);
  const head = Buffer.concat([hex("46 57 53 02 00 00 00 00 50 00 B4 00 0B 40 00 0A"), u16(frameCount)]);
  const out = Buffer.concat([head, body]);
  out.writeUInt32LE(out.length, 4);
  return out;
}

const SHOW = hex("40 00");
const STOP = tag(12, hex("07 00"));
const QUALITY = tag(12, hex("96 0C 00 00 00 07 10 00 00 00 07 00 00 00 00 23 00"), true);
const loopScript = (digits) => tag(12, Buffer.concat([
  hex("96 03 00 00 61 00 1C 96"), u16(digits.length + 2), hex("00"), Buffer.from(digits), hex("00"),
  hex("0F 12 12 9D 02 00 01 00 07 96 03 00 00 61 00 96 03 00 00 61 00 1C 96 03 00 00 31 00 0A 1D 00"),
]));
const LOOP_ACTIONS = (n) => ['Push "a"', "GetVariable", `Push "${n}"`, "Less", "Not", "Not", "If 1", "Stop",
  'Push "a"', 'Push "a"', "GetVariable", 'Push "1"', "Add", "SetVariable"];

// Colour-mapped bitmap: table, then rows padded to a multiple of 4.
function bitmapData(width, height, table, pad = true) {
  const stride = pad ? (width + 3) & ~3 : width;
  const rows = Buffer.alloc(stride * height);
  for (let y = 0; y < height; y++) for (let x = 0; x < width; x++) rows[y * stride + x] = (x + y) % (table.length / 3 | 0);
  return Buffer.concat([table, rows]);
}
function bitmapTag(id, width, height, colors, data, code = 20) {
  return tag(code, Buffer.concat([u16(id), hex("03"), u16(width), u16(height), Buffer.from([colors - 1]),
    zlib.deflateSync(data, { level: 9 })]), true);
}

// The 4 x 2 frame at the origin, bitmap 1, shape 2 (bytes as documented for
// the shape writer), placed at depth 1; then the link button 3 with an empty
// URL and its placement.
const TABLE = hex("000000 ff0000 00ff00 0000ff");
const DATA_4x2 = bitmapData(4, 2, TABLE);
const BITMAP_1 = bitmapTag(1, 4, 2, 4, DATA_4x2);
const SHAPE_2 = hex("A1 00 02 00 40 02 80 01 40 01 41 01 00 D9 40 00 05 00 00 00 00 20 15 0A 05 0E C5 86 AD 8D 85 0D 55 00 00");
const PLACE_2_AT_1 = hex("86 06 06 01 00 02 00 00");
const BUTTON_3 = hex("97 08 03 00 00 0A 00 08 02 00 01 00 00 04 00 00 00 04 00 83 02 00 00 00 00");
const PLACE_3_AT_2 = hex("86 06 06 02 00 03 00 00");
const REMOVE_2_AT_1 = hex("44 01 02 00 01 00");

const fullMovie = (over = {}) => movie(over.frames ?? 2,
  hex("43 02 33 66 99"), hex("00 06"),
  over.bitmap ?? BITMAP_1, over.shape ?? SHAPE_2, over.place ?? PLACE_2_AT_1, BUTTON_3, PLACE_3_AT_2,
  QUALITY, SHOW, REMOVE_2_AT_1, over.loop ?? loopScript("2"), SHOW, ...(over.extra ?? []));

const fullExpect = (over = {}) => ({
  frameCount: 2, xmax: 360, ymax: 360, ...over.top,
  tags: over.tags ?? [
    { code: 9, colour: "336699" },
    { code: 24 },
    { code: 20, id: 1, width: 4, height: 2, colours: 4, alpha: false, dataLength: DATA_4x2.length, dataHex: DATA_4x2.toString("hex"), ...over.bitmap },
    { code: 2, id: 2, bounds: [0, 0, 80, 40], fillBitmaps: [1] },
    { code: 26, id: 2, depth: 1 },
    { code: 34, id: 3, urlHex: "", hitId: 2, hitDepth: 1 },
    { code: 26, id: 3, depth: 2 },
    { code: 12, actions: ['Push "" 16 0', "SetProperty"], actionsHex: "960c00000007100000000700000000" + "2300" },
    { code: 1 },
    { code: 5, id: 2, depth: 1 },
    { code: 12, actions: LOOP_ACTIONS(over.loop ?? 2) },
    { code: 1 },
  ],
});

const FRAMELESS = hex("46 57 53 02 14 00 00 00 50 00 B4 00 0B 40 00 0A 00 00 00 00");

// name, files { filename: Buffer | object }, expected result, and for a
// failure a text that the report must contain.
const cases = [
  ["frameless movie", { "m.swf": FRAMELESS, "m.expect.json": { frameCount: 0, xmax: 360, ymax: 360, tags: [] } }, "pass"],
  ["frameless movie without expectation", { "m.swf": FRAMELESS }, "pass", "parsed only"],
  ["wrong FileLength", { "m.swf": Buffer.concat([FRAMELESS.subarray(0, 4), u32(21), FRAMELESS.subarray(8)]) }, "fail", "FileLength 21"],
  ["truncated tag", { "m.swf": (() => { const b = Buffer.concat([FRAMELESS.subarray(0, 18), hex("43 02 33 66")]); b.writeUInt32LE(b.length, 4); return b; })() }, "fail", "claims 3 body bytes, only 2 left"],
  ["tag sequence differs", { "m.swf": movie(1, SHOW), "m.expect.json": { frameCount: 1, tags: [{ code: 24 }, { code: 1 }] } }, "fail", "tag sequence differs"],
  ["empty folder", {}, "fail", "no movie"],
  ["full movie", { "m.swf": fullMovie(), "m.expect.json": fullExpect() }, "pass"],
  ["full movie, some tags in order", { "m.swf": fullMovie(), "m.expect.json": { tagMatch: "inOrder", tags: [{ code: 26, id: 3, depth: 2 }, { code: 12, actions: LOOP_ACTIONS(2) }] } }, "pass"],
  ["tags in order but reversed", { "m.swf": fullMovie(), "m.expect.json": { tagMatch: "inOrder", tags: [{ code: 12, actions: LOOP_ACTIONS(2) }, { code: 26, id: 3, depth: 2 }] } }, "fail", "not found"],
  ["wrong loop count", { "m.swf": fullMovie({ loop: loopScript("3") }), "m.expect.json": fullExpect() }, "fail", "actions"],
  ["unpadded bitmap rows", { "m.swf": fullMovie({ bitmap: bitmapTag(1, 5, 2, 4, bitmapData(5, 2, TABLE, false)) }) }, "fail", "inflated 22 bytes, expected 28"],
  ["bitmap data differs", { "m.swf": fullMovie(), "m.expect.json": fullExpect({ bitmap: { dataHex: bitmapData(4, 2, hex("000000 ff0000 00ff00 0000fe")).toString("hex") } }) }, "fail", "data"],
  ["short header on a bitmap", { "m.swf": fullMovie({ bitmap: tag(20, bitmapTag(1, 4, 2, 4, DATA_4x2).subarray(6)) }) }, "fail", "short tag header"],
  ["bytes after End", { "m.swf": (() => { const b = Buffer.concat([FRAMELESS, hex("00")]); b.writeUInt32LE(b.length, 4); return b; })() }, "fail", "after the End tag"],
  ["no End tag", { "m.swf": (() => { const b = Buffer.concat([FRAMELESS.subarray(0, 18), SHOW]); b.writeUInt32LE(b.length, 4); b.writeUInt16LE(1, 16); return b; })() }, "fail", "without an End"],
  ["frame count disagrees", { "m.swf": fullMovie({ frames: 3 }) }, "fail", "3, movie has 2 ShowFrame"],
  ["placing an undefined character", { "m.swf": fullMovie({ place: hex("86 06 06 01 00 09 00 00") }) }, "fail", "not defined"],
  ["shape body with a spare byte", { "m.swf": fullMovie({ shape: Buffer.concat([hex("A2 00"), SHAPE_2.subarray(2), hex("00")]) }) }, "fail", "unread"],
  ["DoAction without ActionEnd", { "m.swf": fullMovie({ extra: [tag(12, hex("07"))] }) }, "fail", "no ActionEnd"],
  ["unknown tag code", { "m.swf": fullMovie({ extra: [tag(43, hex("61 00"))] }) }, "fail", "unexpected tag code 43"],
  ["expectation without movie", { "m.swf": FRAMELESS, "n.expect.json": { tags: [] } }, "fail", "without a movie"],
  ["misspelt expectation field", { "m.swf": FRAMELESS, "m.expect.json": { frameCount: 0, tags: [{ code: 1, depth: 1 }] } }, "fail", "does not apply"],
];

let bad = 0;
const root = fs.mkdtempSync(path.join(os.tmpdir(), "swfcheck-selftest-"));
try {
  cases.forEach(([name, files, want, text], i) => {
    const dir = path.join(root, String(i));
    fs.mkdirSync(dir);
    for (const [f, content] of Object.entries(files)) {
      fs.writeFileSync(path.join(dir, f), Buffer.isBuffer(content) ? content : JSON.stringify(content));
    }
    // The first cases run the command itself; the rest call it in-process,
    // because loading swf-parser takes about a second each time.
    let r;
    if (i < 3) {
      r = spawnSync(process.execPath, [checker, dir], { encoding: "utf8" });
    } else {
      const log = [];
      const status = checkFolder(dir, (line) => log.push(line));
      r = { status, stdout: log.join("\n") + "\n", stderr: "" };
    }
    const out = r.stdout + r.stderr;
    const lines = r.stdout.trim().split("\n");
    const summary = lines[lines.length - 1];
    const problems = [];
    if (!/^\d+ passed, \d+ failed$/.test(summary)) problems.push(`last line is ${JSON.stringify(summary)}`);
    if (want === "pass" && (r.status !== 0 || summary !== "1 passed, 0 failed")) problems.push(`expected a pass, exit ${r.status}`);
    if (want === "fail" && r.status !== 1) problems.push(`expected a failure, exit ${r.status}`);
    if (want === "fail" && Object.keys(files).length > 0 && !/ [1-9]\d* failed$/.test(summary)) problems.push("no movie counted as failed");
    if (text !== undefined && !out.includes(text)) problems.push(`report lacks ${JSON.stringify(text)}`);
    if (process.env.SELFTEST_VERBOSE) console.log(out.replace(/^/gm, "     > "));
    if (problems.length === 0) {
      console.log(`ok   ${name}`);
    } else {
      bad++;
      console.log(`BAD  ${name}: ${problems.join("; ")}`);
      console.log(out.replace(/^/gm, "     | "));
    }
  });
} finally {
  fs.rmSync(root, { recursive: true, force: true });
}
console.log(`${cases.length - bad} passed, ${bad} failed`);
process.exitCode = bad > 0 ? 1 : 0;
