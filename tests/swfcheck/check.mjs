// Checks every movie in a folder with an independent parser (Open Flash
// swf-parser and avm1-parser) and compares it with the expectation file the
// test that wrote it left beside it.
//
//   node check.mjs <folder>
//
// Prints one line per movie and a final "N passed, N failed"; exits 1 when a
// movie fails or when the folder holds no movie at all.

import fs from "node:fs";
import path from "node:path";
import process from "node:process";
import { fileURLToPath } from "node:url";
import zlib from "node:zlib";

import { ReadableStream } from "@open-flash/stream";
import { parseSwf } from "swf-parser";
import { parseHeader, parseSwfSignature } from "swf-parser/parsers/header";
import * as tagParsers from "swf-parser/parsers/tags";
import { TagType } from "swf-types/tags/_type";
import {
  parseAction,
  parseGetUrlAction,
  parseIfAction,
  parseJumpAction,
  parsePushAction,
} from "avm1-parser/avm1";
import { ActionType } from "avm1-types/action-type";
import { PushValueType } from "avm1-types/push-value-type";

export const CODE = {
  End: 0,
  ShowFrame: 1,
  DefineShape: 2,
  RemoveObject: 5,
  SetBackgroundColor: 9,
  DoAction: 12,
  DefineBitsLossless: 20,
  Protect: 24,
  PlaceObject2: 26,
  DefineButton2: 34,
  DefineBitsLossless2: 36,
};

const CODE_NAME = Object.fromEntries(Object.entries(CODE).map(([k, v]) => [v, k]));

// The per-tag parsers of swf-parser, called directly so that we can see
// whether they consumed the whole tag body.
const TAG_PARSER = {
  [CODE.ShowFrame]: () => ({ type: TagType.ShowFrame }),
  [CODE.DefineShape]: (s) => tagParsers.parseDefineShape(s),
  [CODE.RemoveObject]: (s) => tagParsers.parseRemoveObject(s),
  [CODE.SetBackgroundColor]: (s) => tagParsers.parseSetBackgroundColor(s),
  [CODE.DoAction]: (s) => tagParsers.parseDoAction(s),
  [CODE.DefineBitsLossless]: (s) => tagParsers.parseDefineBitsLossless(s),
  [CODE.Protect]: (s) => tagParsers.parseProtect(s),
  [CODE.PlaceObject2]: (s, v) => tagParsers.parsePlaceObject2(s, v),
  [CODE.DefineButton2]: (s) => tagParsers.parseDefineButton2(s),
  [CODE.DefineBitsLossless2]: (s) => tagParsers.parseDefineBitsLossless2(s),
};

const UNITS_PER_TWIP_SCALE = 20 * 65536; // 16.16 fixed point scale 20.0
const NO_BITMAP = 65535;

function tagName(code) {
  return CODE_NAME[code] ?? `tag ${code}`;
}

function hex(bytes) {
  return Buffer.from(bytes).toString("hex");
}

function rgbHex(c) {
  return [c.r, c.g, c.b].map((x) => x.toString(16).padStart(2, "0")).join("");
}

let crcTable = null;
export function crc32(bytes) {
  if (crcTable === null) {
    crcTable = new Uint32Array(256);
    for (let n = 0; n < 256; n++) {
      let c = n;
      for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      crcTable[n] = c >>> 0;
    }
  }
  let crc = 0xffffffff;
  for (const b of bytes) crc = crcTable[(crc ^ b) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

// ---------------------------------------------------------------------------
// AVM1 actions

function formatPushValue(v) {
  switch (v.type) {
    case PushValueType.String: return JSON.stringify(v.value);
    case PushValueType.Sint32: return String(v.value);
    case PushValueType.Float32: return `float32:${v.value}`;
    case PushValueType.Float64: return `float64:${v.value}`;
    case PushValueType.Boolean: return `bool:${v.value}`;
    case PushValueType.Null: return "null";
    case PushValueType.Undefined: return "undefined";
    case PushValueType.Register: return `register:${v.value}`;
    case PushValueType.Constant: return `constant:${v.value}`;
    default: return `?${v.type}`;
  }
}

// One action as text: its avm1-types name, then its arguments, for example
// `Push "a" 16`, `If 1`, `GetUrl "http://x" ""`.
export function formatAction(a) {
  const name = ActionType[a.action] ?? `action${a.action}`;
  switch (a.action) {
    case ActionType.Push: return [name, ...a.values.map(formatPushValue)].join(" ");
    case ActionType.If:
    case ActionType.Jump: return `${name} ${a.offset}`;
    case ActionType.GetUrl: return `${name} ${JSON.stringify(a.url)} ${JSON.stringify(a.target)}`;
    default: {
      const rest = Object.entries(a).filter(([k]) => k !== "action");
      return rest.length === 0 ? name : `${name} ${JSON.stringify(Object.fromEntries(rest))}`;
    }
  }
}

// Parses an action list that must end with ActionEnd as its last byte.
// Returns { actions: [text...], errors: [...] }.
export function parseActionList(bytes) {
  const errors = [];
  const actions = [];
  const s = new ReadableStream(bytes);
  for (;;) {
    if (s.available() === 0) {
      errors.push("action list has no ActionEnd");
      break;
    }
    const start = s.bytePos;
    const code = s.peekUint8();
    if (code === 0) {
      s.skip(1);
      if (s.available() !== 0) errors.push(`${s.available()} byte(s) after ActionEnd`);
      break;
    }
    let a;
    try {
      if (code < 0x80) {
        a = parseAction(s);
      } else {
        if (s.available() < 3) {
          errors.push(`action 0x${code.toString(16)} at ${start}: header cut off`);
          break;
        }
        s.skip(1);
        const len = s.readUint16LE();
        if (s.available() < len) {
          errors.push(`action 0x${code.toString(16)} at ${start}: needs ${len} bytes, ${s.available()} left`);
          break;
        }
        const data = s.take(len);
        const direct = { 0x83: parseGetUrlAction, 0x96: parsePushAction, 0x99: parseJumpAction, 0x9d: parseIfAction }[code];
        if (direct !== undefined) {
          a = direct(data);
          if (data.available() !== 0) errors.push(`action 0x${code.toString(16)} at ${start}: ${data.available()} data byte(s) unused`);
        } else {
          a = parseAction(new ReadableStream(bytes.subarray(start, start + 3 + len)));
        }
      }
    } catch (e) {
      errors.push(`action at ${start}: ${e.message}`);
      break;
    }
    if (a.action === ActionType.Raw || a.action === ActionType.Error) {
      errors.push(`action 0x${code.toString(16)} at ${start} not understood by avm1-parser`);
    }
    actions.push(formatAction(a));
  }
  return { actions, errors };
}

// ---------------------------------------------------------------------------
// Movie structure

// Walks the tag headers with swf-parser's stream and parses each body with
// swf-parser's tag parser for that code. swf-parser itself neither notices a
// truncated body, a missing End, bytes after End nor unread body bytes.
function walkTags(bytes, errors) {
  const s = new ReadableStream(bytes);
  const sig = parseSwfSignature(s);
  parseHeader(s, sig.swfVersion);
  const tags = [];
  for (;;) {
    const offset = s.bytePos;
    if (s.available() === 0) {
      errors.push("movie ends without an End tag");
      break;
    }
    if (s.available() < 2) {
      errors.push(`tag header at ${offset} cut off`);
      break;
    }
    const word = s.readUint16LE();
    const code = word >>> 6;
    let length = word & 0x3f;
    const longForm = length === 0x3f;
    if (longForm) {
      if (s.available() < 4) {
        errors.push(`long tag header at ${offset} cut off`);
        break;
      }
      length = s.readUint32LE();
    }
    if (length > s.available()) {
      errors.push(`${tagName(code)} at ${offset} claims ${length} body bytes, only ${s.available()} left`);
      break;
    }
    if (code === CODE.End) {
      if (length !== 0) errors.push(`End tag at ${offset} has a ${length}-byte body`);
      s.skip(length);
      if (s.available() !== 0) errors.push(`${s.available()} byte(s) after the End tag`);
      break;
    }
    const body = s.take(length);
    const tag = { code, offset, length, longForm, index: tags.length, parsed: null };
    const parser = TAG_PARSER[code];
    if (parser === undefined) {
      errors.push(`unexpected tag code ${code} at ${offset}`);
    } else {
      try {
        tag.parsed = parser(body, sig.swfVersion);
        if (body.available() !== 0) {
          errors.push(`${tagName(code)} at ${offset}: ${body.available()} of ${length} body bytes unread`);
        }
      } catch (e) {
        errors.push(`${tagName(code)} at ${offset}: body does not parse (${e.message})`);
      }
    }
    tags.push(tag);
  }
  return tags;
}

function inflateBitmap(tag, errors) {
  // swf-parser's data starts at BitmapFormat: format, width, height, then the
  // colour table size for colour-mapped bitmaps, then the zlib stream.
  const where = `${tagName(tag.code)} ${tag.parsed.id}`;
  const d = tag.parsed.data;
  if (d.length < 6) {
    errors.push(`${where}: body too short`);
    return null;
  }
  const format = d[0];
  if (format !== 3) {
    errors.push(`${where}: BitmapFormat ${format}, expected 3`);
    return null;
  }
  const { width, height } = tag.parsed;
  const colors = d[5] + 1;
  const entry = tag.code === CODE.DefineBitsLossless2 ? 4 : 3;
  const stride = width + ((4 - (width % 4)) % 4);
  const info = { width, height, colors, entry, stride, data: null };
  if (width === 0 || height === 0) errors.push(`${where}: empty bitmap ${width}x${height}`);
  const compressed = d.subarray(6);
  let result;
  try {
    result = zlib.inflateSync(compressed, { info: true });
  } catch (e) {
    errors.push(`${where}: zlib data does not inflate (${e.message})`);
    return info;
  }
  if (result.engine.bytesWritten !== compressed.length) {
    errors.push(`${where}: ${compressed.length - result.engine.bytesWritten} byte(s) after the zlib stream`);
  }
  const data = result.buffer;
  info.data = data;
  const want = colors * entry + stride * height;
  if (data.length !== want) {
    errors.push(`${where}: inflated ${data.length} bytes, expected ${want} (${colors} colours x ${entry} + ${height} rows x ${stride})`);
  }
  if (entry === 4) {
    // Opaque entries have alpha 255; transparent ones are all zero.
    for (let i = 0; i < colors && i * 4 + 3 < data.length; i++) {
      const [r, g, b, a] = data.subarray(i * 4, i * 4 + 4);
      if (!(a === 255 || (a === 0 && r === 0 && g === 0 && b === 0))) {
        errors.push(`${where}: colour ${i} is ${hex([r, g, b, a])}, neither opaque nor all zero`);
        break;
      }
    }
  }
  return info;
}

function isIdentity(m) {
  return m !== undefined && m.scaleX.epsilons === 65536 && m.scaleY.epsilons === 65536 &&
    m.rotateSkew0.epsilons === 0 && m.rotateSkew1.epsilons === 0 && m.translateX === 0 && m.translateY === 0;
}

function shapeOutline(p) {
  // The outline must run once around the bounds: a move to a corner, then
  // four straight sides through the other corners back to the start. A side
  // longer than one edge record can hold may be split into several edges in
  // the same direction.
  const b = p.bounds;
  const recs = p.shape.records;
  const corner = (x, y) => (x === b.xMin || x === b.xMax) && (y === b.yMin || y === b.yMax);
  if (recs.length < 5 || recs[0].type !== 1 || recs[0].moveTo === undefined) {
    return `outline has ${recs.length} records, expected a move and at least 4 edges`;
  }
  const sides = [];
  for (const r of recs.slice(1)) {
    if (r.type !== 0 || r.control !== undefined) return "outline has a record that is not a straight edge";
    const { x: dx, y: dy } = r.delta;
    if ((dx !== 0) === (dy !== 0)) return `outline edge (${dx}, ${dy}) is not horizontal or vertical`;
    const last = sides[sides.length - 1];
    if (last && Math.sign(last.x) === Math.sign(dx) && Math.sign(last.y) === Math.sign(dy)) {
      last.x += dx;
      last.y += dy;
    } else {
      sides.push({ x: dx, y: dy });
    }
  }
  if (sides.length !== 4) return `outline has ${sides.length} sides, expected 4`;
  let { x, y } = recs[0].moveTo;
  if (!corner(x, y)) return `outline starts at (${x}, ${y}), not a corner of the bounds`;
  const seen = new Set([`${x},${y}`]);
  for (const side of sides) {
    x += side.x;
    y += side.y;
    if (!corner(x, y)) return `outline side ends at (${x}, ${y}), not a corner of the bounds`;
    seen.add(`${x},${y}`);
  }
  if (x !== recs[0].moveTo.x || y !== recs[0].moveTo.y) return "outline is not closed";
  if (seen.size !== 4) return "outline does not visit the four corners";
  return null;
}

// Checks that hold for every movie, whatever the test expects.
function checkInvariants(bytes, movie, tags, errors) {
  const sig = String.fromCharCode(bytes[0], bytes[1], bytes[2]);
  if (sig !== "FWS") errors.push(`signature ${JSON.stringify(sig)}, expected "FWS"`);
  if (bytes[3] !== 2 || movie.header.swfVersion !== 2) errors.push(`version ${bytes[3]}, expected 2`);
  const fileLength = Buffer.from(bytes.buffer, bytes.byteOffset, bytes.length).readUInt32LE(4);
  if (fileLength !== bytes.length) errors.push(`FileLength ${fileLength}, file has ${bytes.length} bytes`);
  if (movie.header.frameRate.epsilons !== 10 * 256) {
    errors.push(`frame rate ${movie.header.frameRate.epsilons / 256}, expected 10`);
  }
  const fs_ = movie.header.frameSize;
  if (fs_.xMin !== 0 || fs_.yMin !== 0) errors.push(`stage starts at (${fs_.xMin}, ${fs_.yMin}), expected (0, 0)`);
  // Whole pixels, and never below 18 x 18 pixels.
  if (fs_.xMax < 360 || fs_.yMax < 360 || fs_.xMax % 20 !== 0 || fs_.yMax % 20 !== 0) {
    errors.push(`stage ${fs_.xMax} x ${fs_.yMax} twips is not whole pixels of at least 18 x 18`);
  }

  const shown = tags.filter((t) => t.code === CODE.ShowFrame).length;
  if (movie.header.frameCount !== shown % 65536) {
    errors.push(`header frame count ${movie.header.frameCount}, movie has ${shown} ShowFrame tags`);
  }

  const defined = new Map(); // character id -> tag
  const bitmaps = new Map(); // bitmap id -> inflate info
  const depths = new Map(); // depth -> character id
  const define = (t, id) => {
    if (defined.has(id)) errors.push(`character ${id} defined twice (tags ${defined.get(id).index} and ${t.index})`);
    defined.set(id, t);
  };
  const refer = (t, id, what) => {
    if (!defined.has(id)) errors.push(`${tagName(t.code)} (tag ${t.index}) uses ${what} ${id}, which is not defined before it`);
  };

  for (const t of tags) {
    const p = t.parsed;
    if (p === null) continue;
    switch (t.code) {
      case CODE.DefineBitsLossless:
      case CODE.DefineBitsLossless2: {
        if (!t.longForm) errors.push(`${tagName(t.code)} ${p.id} has a short tag header`);
        define(t, p.id);
        const info = inflateBitmap(t, errors);
        if (info !== null) bitmaps.set(p.id, info);
        t.bitmap = info;
        break;
      }
      case CODE.DefineShape: {
        define(t, p.id);
        const outline = shapeOutline(p);
        if (outline !== null) errors.push(`shape ${p.id}: ${outline}`);
        // The outline fills with the last fill style, on one side only.
        const fills = p.shape.initialStyles.fill;
        const first = p.shape.records[0];
        if (first !== undefined && (first.rightFill !== fills.length || first.leftFill !== undefined)) {
          errors.push(`shape ${p.id}: outline selects fill ${first.rightFill} (other side ${first.leftFill}) of ${fills.length}`);
        }
        const b = p.bounds;
        for (const f of p.shape.initialStyles.fill) {
          if (f.bitmapId === undefined || f.bitmapId === NO_BITMAP) continue;
          refer(t, f.bitmapId, "bitmap");
          const m = f.matrix;
          if (m.scaleX.epsilons !== UNITS_PER_TWIP_SCALE || m.scaleY.epsilons !== UNITS_PER_TWIP_SCALE ||
              m.rotateSkew0.epsilons !== 0 || m.rotateSkew1.epsilons !== 0 ||
              m.translateX !== b.xMin || m.translateY !== b.yMin) {
            errors.push(`shape ${p.id}: fill of bitmap ${f.bitmapId} does not map it 20 twips per pixel onto the bounds`);
          }
          const bm = bitmaps.get(f.bitmapId);
          if (bm !== undefined && (bm.width * 20 !== b.xMax - b.xMin || bm.height * 20 !== b.yMax - b.yMin)) {
            errors.push(`shape ${p.id}: bounds ${b.xMax - b.xMin}x${b.yMax - b.yMin} twips do not fit bitmap ${f.bitmapId} of ${bm.width}x${bm.height} pixels`);
          }
        }
        break;
      }
      case CODE.PlaceObject2: {
        if (p.isUpdate || p.characterId === undefined) {
          errors.push(`PlaceObject2 at depth ${p.depth} moves instead of placing a character`);
          break;
        }
        if (!isIdentity(p.matrix) || p.colorTransform !== undefined || p.ratio !== undefined ||
            p.name !== undefined || p.clipDepth !== undefined || p.clipActions !== undefined) {
          errors.push(`PlaceObject2 at depth ${p.depth}: expected only an identity matrix`);
        }
        refer(t, p.characterId, "character");
        if (depths.has(p.depth)) {
          errors.push(`PlaceObject2 of ${p.characterId} at depth ${p.depth}, which still holds ${depths.get(p.depth)}`);
        }
        depths.set(p.depth, p.characterId);
        break;
      }
      case CODE.RemoveObject:
        if (depths.get(p.depth) !== p.characterId) {
          errors.push(`RemoveObject of ${p.characterId} at depth ${p.depth}, which holds ${depths.get(p.depth) ?? "nothing"}`);
        }
        depths.delete(p.depth);
        break;
      case CODE.DoAction: {
        const r = parseActionList(p.actions);
        for (const e of r.errors) errors.push(`DoAction (tag ${t.index}): ${e}`);
        t.actions = r.actions;
        break;
      }
      case CODE.DefineButton2: {
        define(t, p.id);
        if (p.records.length === 0) errors.push(`button ${p.id} has no character records`);
        for (const rec of p.records) refer(t, rec.characterId, "character");
        t.buttonActions = p.actions.map((ca) => {
          const r = parseActionList(ca.actions);
          for (const e of r.errors) errors.push(`button ${p.id}: ${e}`);
          return r.actions;
        });
        break;
      }
      default:
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// Expectations

const FIELDS_FOR = {
  [CODE.ShowFrame]: [],
  [CODE.Protect]: [],
  [CODE.SetBackgroundColor]: ["colour"],
  [CODE.PlaceObject2]: ["id", "depth"],
  [CODE.RemoveObject]: ["id", "depth"],
  [CODE.DoAction]: ["actions", "actionsHex"],
  [CODE.DefineBitsLossless]: ["id", "width", "height", "colours", "alpha", "dataHex", "dataLength", "dataCrc32"],
  [CODE.DefineBitsLossless2]: ["id", "width", "height", "colours", "alpha", "dataHex", "dataLength", "dataCrc32"],
  [CODE.DefineShape]: ["id", "bounds", "fillBitmaps", "solidColour"],
  [CODE.DefineButton2]: ["id", "urlHex", "hitId", "hitDepth"],
};

function sameList(a, b) {
  return a.length === b.length && a.every((x, i) => x === b[i]);
}

// Where two lists or byte strings first differ, briefly.
function firstDifference(got, want, show = JSON.stringify) {
  let i = 0;
  while (i < got.length && i < want.length && got[i] === want[i]) i++;
  const g = i < got.length ? show(got[i]) : "end";
  const w = i < want.length ? show(want[i]) : "end";
  return `length ${got.length}, expected ${want.length}; first difference at ${i}: ${g}, expected ${w}`;
}

// Compares one parsed tag with one expected tag; returns the differences.
function compareTag(t, e) {
  const out = [];
  const p = t.parsed;
  const where = `tag ${t.index} (${tagName(t.code)})`;
  const diff = (field, got, want) => out.push(`${where}: ${field} ${JSON.stringify(got)}, expected ${JSON.stringify(want)}`);
  if (t.code !== e.code) {
    out.push(`${where}: code ${t.code}, expected ${e.code} (${tagName(e.code)})`);
    return out;
  }
  if (p === null) {
    out.push(`${where}: not parsed`);
    return out;
  }
  const has = (k) => Object.prototype.hasOwnProperty.call(e, k);
  switch (t.code) {
    case CODE.SetBackgroundColor:
      if (has("colour") && rgbHex(p.color) !== e.colour.toLowerCase()) diff("colour", rgbHex(p.color), e.colour);
      break;
    case CODE.PlaceObject2:
      if (has("id") && p.characterId !== e.id) diff("character", p.characterId, e.id);
      if (has("depth") && p.depth !== e.depth) diff("depth", p.depth, e.depth);
      break;
    case CODE.RemoveObject:
      if (has("id") && p.characterId !== e.id) diff("character", p.characterId, e.id);
      if (has("depth") && p.depth !== e.depth) diff("depth", p.depth, e.depth);
      break;
    case CODE.DoAction:
      if (has("actionsHex") && hex(p.actions) !== e.actionsHex.toLowerCase()) diff("action bytes", hex(p.actions), e.actionsHex);
      if (has("actions") && !sameList(t.actions ?? [], e.actions)) {
        out.push(`${where}: actions ${firstDifference(t.actions ?? [], e.actions)}`);
      }
      break;
    case CODE.DefineBitsLossless:
    case CODE.DefineBitsLossless2: {
      const bm = t.bitmap;
      if (has("id") && p.id !== e.id) diff("id", p.id, e.id);
      if (has("width") && p.width !== e.width) diff("width", p.width, e.width);
      if (has("height") && p.height !== e.height) diff("height", p.height, e.height);
      if (has("alpha") && (t.code === CODE.DefineBitsLossless2) !== e.alpha) diff("alpha", t.code === CODE.DefineBitsLossless2, e.alpha);
      if (bm === null || bm === undefined) {
        if (["colours", "dataHex", "dataLength", "dataCrc32"].some(has)) out.push(`${where}: bitmap data not readable`);
        break;
      }
      if (has("colours") && bm.colors !== e.colours) diff("colours", bm.colors, e.colours);
      if (bm.data === null) {
        if (["dataHex", "dataLength", "dataCrc32"].some(has)) out.push(`${where}: bitmap data does not inflate`);
        break;
      }
      if (has("dataLength") && bm.data.length !== e.dataLength) diff("data length", bm.data.length, e.dataLength);
      if (has("dataCrc32") && crc32(bm.data) !== e.dataCrc32) diff("data CRC-32", crc32(bm.data), e.dataCrc32);
      if (has("dataHex")) {
        const want = Buffer.from(e.dataHex, "hex");
        if (!want.equals(bm.data)) out.push(`${where}: data ${firstDifference(bm.data, want, (b) => `0x${b.toString(16)}`)}`);
      }
      break;
    }
    case CODE.DefineShape: {
      const b = p.bounds;
      const fills = p.shape.initialStyles.fill;
      if (has("id") && p.id !== e.id) diff("id", p.id, e.id);
      if (has("bounds") && !sameList([b.xMin, b.yMin, b.xMax, b.yMax], e.bounds)) {
        diff("bounds", [b.xMin, b.yMin, b.xMax, b.yMax], e.bounds);
      }
      if (has("fillBitmaps")) {
        const ids = fills.map((f) => (f.bitmapId === undefined ? null : f.bitmapId));
        if (!sameList(ids, e.fillBitmaps)) diff("fill bitmaps", ids, e.fillBitmaps);
        if (fills.some((f) => f.bitmapId !== undefined && (f.repeating || !f.smoothed))) {
          out.push(`${where}: bitmap fills must be clipped and smoothed`);
        }
      }
      if (has("solidColour")) {
        const got = fills.map((f) => (f.color === undefined ? "not solid" : rgbHex(f.color)));
        if (!sameList(got, [e.solidColour.toLowerCase()])) diff("solid fills", got, [e.solidColour]);
      }
      break;
    }
    case CODE.DefineButton2: {
      if (has("id") && p.id !== e.id) diff("id", p.id, e.id);
      if (has("hitId") || has("hitDepth")) {
        const recs = p.records;
        const r = recs[0];
        if (recs.length !== 1 || !r.stateHitTest || r.stateUp || r.stateOver || r.stateDown) {
          out.push(`${where}: expected one record that is only a hit area`);
        } else {
          if (has("hitId") && r.characterId !== e.hitId) diff("hit character", r.characterId, e.hitId);
          if (has("hitDepth") && r.depth !== e.hitDepth) diff("hit depth", r.depth, e.hitDepth);
          if (!isIdentity(r.matrix)) out.push(`${where}: hit record matrix is not the identity`);
        }
      }
      if (has("urlHex")) {
        const url = Buffer.from(e.urlHex, "hex");
        const k = url.length + 2;
        const want = Buffer.concat([Buffer.from([0x83, k & 0xff, k >> 8]), url, Buffer.from([0, 0, 0])]);
        const ca = p.actions;
        if (ca.length !== 1) {
          out.push(`${where}: ${ca.length} condition-action records, expected 1`);
          break;
        }
        const c = ca[0].conditions;
        const set = Object.entries(c).filter(([, v]) => v !== false && v !== undefined).map(([k2]) => k2);
        if (!sameList(set, ["overUpToOverDown"])) diff("conditions", set, ["overUpToOverDown"]);
        if (hex(ca[0].actions) !== hex(want)) diff("actions", hex(ca[0].actions), hex(want));
      }
      break;
    }
    default:
      break;
  }
  return out;
}

function validateExpectation(exp) {
  const errs = [];
  const top = ["frameCount", "xmax", "ymax", "tagMatch", "tags"];
  for (const k of Object.keys(exp)) if (!top.includes(k)) errs.push(`expectation: unknown field "${k}"`);
  if (exp.tagMatch !== undefined && exp.tagMatch !== "exact" && exp.tagMatch !== "inOrder") {
    errs.push(`expectation: tagMatch ${JSON.stringify(exp.tagMatch)}`);
  }
  if (!Array.isArray(exp.tags)) {
    errs.push("expectation: no tags array");
    return errs;
  }
  exp.tags.forEach((e, i) => {
    const allowed = FIELDS_FOR[e.code];
    if (allowed === undefined) {
      errs.push(`expectation tag ${i}: code ${e.code} is not one these movies contain${e.code === 0 ? " (End is always checked)" : ""}`);
      return;
    }
    for (const k of Object.keys(e)) {
      if (k !== "code" && !allowed.includes(k)) errs.push(`expectation tag ${i}: field "${k}" does not apply to ${tagName(e.code)}`);
    }
  });
  return errs;
}

function compareWithExpectation(movie, tags, exp, errors) {
  const bad = validateExpectation(exp);
  if (bad.length > 0) {
    errors.push(...bad);
    return;
  }
  const h = movie.header;
  if (exp.frameCount !== undefined && h.frameCount !== exp.frameCount % 65536) errors.push(`frame count ${h.frameCount}, expected ${exp.frameCount}`);
  if (exp.xmax !== undefined && h.frameSize.xMax !== exp.xmax) errors.push(`stage xmax ${h.frameSize.xMax}, expected ${exp.xmax}`);
  if (exp.ymax !== undefined && h.frameSize.yMax !== exp.ymax) errors.push(`stage ymax ${h.frameSize.yMax}, expected ${exp.ymax}`);

  const want = exp.tags;
  if ((exp.tagMatch ?? "exact") === "exact") {
    const got = tags.map((t) => t.code);
    const codes = want.map((e) => e.code);
    if (!sameList(got, codes)) {
      let i = 0;
      while (i < got.length && i < codes.length && got[i] === codes[i]) i++;
      errors.push(`tag sequence differs at tag ${i}: got ${got.length} tags [${got.slice(i, i + 8).join(" ")}${got.length > i + 8 ? " ..." : ""}], ` +
        `expected ${codes.length} [${codes.slice(i, i + 8).join(" ")}${codes.length > i + 8 ? " ..." : ""}] from there`);
      return;
    }
    want.forEach((e, i) => errors.push(...compareTag(tags[i], e)));
    return;
  }
  // inOrder: each expected tag matches the first later tag of its code whose
  // fields all agree.
  let from = 0;
  for (let i = 0; i < want.length; i++) {
    const e = want[i];
    let found = -1;
    let firstDiff = null;
    for (let j = from; j < tags.length; j++) {
      if (tags[j].code !== e.code) continue;
      const d = compareTag(tags[j], e);
      if (d.length === 0) {
        found = j;
        break;
      }
      if (firstDiff === null) firstDiff = d[0];
    }
    if (found < 0) {
      errors.push(`expected tag ${i} (${tagName(e.code)}) not found after tag ${from - 1}${firstDiff ? `; nearest: ${firstDiff}` : ""}`);
      return;
    }
    from = found + 1;
  }
}

// Checks one movie; returns { errors, tagCount, note }.
export function checkMovie(bytes, expectation) {
  const errors = [];
  let movie;
  try {
    movie = parseSwf(bytes);
  } catch (e) {
    errors.push(`swf-parser failed: ${e.message}`);
    // The tag walk usually says where the movie is broken.
    try {
      walkTags(bytes, errors);
    } catch (e2) {
      errors.push(`tag walk failed: ${e2.message}`);
    }
    return { errors, tagCount: 0 };
  }
  movie.tags.forEach((t, i) => {
    if (t.type === TagType.Raw || t.type === TagType.RawBody) {
      errors.push(`swf-parser returned tag ${i} as raw${t.code !== undefined ? ` (code ${t.code})` : " (cut off)"}`);
    }
  });
  let tags;
  try {
    tags = walkTags(bytes, errors);
  } catch (e) {
    errors.push(`tag walk failed: ${e.message}`);
    return { errors, tagCount: movie.tags.length };
  }
  if (tags.length !== movie.tags.length) {
    errors.push(`swf-parser returned ${movie.tags.length} tags before End, the headers give ${tags.length}`);
  }
  checkInvariants(bytes, movie, tags, errors);
  if (expectation !== null) compareWithExpectation(movie, tags, expectation, errors);
  return { errors, tagCount: tags.length };
}

export function expectationPath(swfPath) {
  return swfPath.replace(/\.swf$/i, "") + ".expect.json";
}

// Checks every movie in dir, reporting through log; returns the exit code.
export function checkFolder(dir, log = console.log) {
  let names;
  try {
    names = fs.readdirSync(dir).sort();
  } catch (e) {
    log(`cannot read ${dir}: ${e.message}`);
    log("0 passed, 1 failed");
    return 1;
  }
  const movies = names.filter((n) => /\.swf$/i.test(n));
  let passed = 0;
  let failed = 0;
  for (const name of movies) {
    const file = path.join(dir, name);
    const expFile = expectationPath(file);
    let expectation = null;
    const pre = [];
    if (fs.existsSync(expFile)) {
      try {
        expectation = JSON.parse(fs.readFileSync(expFile, "utf8"));
      } catch (e) {
        pre.push(`expectation file does not parse: ${e.message}`);
      }
    }
    let r;
    try {
      r = checkMovie(new Uint8Array(fs.readFileSync(file)), expectation);
    } catch (e) {
      r = { errors: [`cannot check: ${e.message}`], tagCount: 0 };
    }
    const errors = [...pre, ...r.errors];
    if (errors.length === 0) {
      passed++;
      const note = expectation === null ? ", no expectation file: parsed only" : "";
      log(`PASS ${name} (${r.tagCount} tags${note})`);
    } else {
      failed++;
      log(`FAIL ${name}: ${errors.length} problem(s)`);
      for (const e of errors.slice(0, 20)) log(`  - ${e}`);
      if (errors.length > 20) log(`  - ... and ${errors.length - 20} more`);
    }
  }
  // An expectation without its movie: the test meant to write one.
  for (const name of names.filter((n) => n.endsWith(".expect.json"))) {
    const base = name.slice(0, -".expect.json".length);
    if (!movies.some((m) => m.replace(/\.swf$/i, "") === base)) {
      failed++;
      log(`FAIL ${name}: expectation without a movie ${base}.swf`);
    }
  }
  if (movies.length === 0) log(`no movie in ${dir}`);
  log(`${passed} passed, ${failed} failed`);
  return failed > 0 || movies.length === 0 ? 1 : 0;
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  if (process.argv.length !== 3) {
    console.log("usage: node check.mjs <folder>");
    process.exitCode = 2;
  } else {
    process.exitCode = checkFolder(process.argv[2]);
  }
}
