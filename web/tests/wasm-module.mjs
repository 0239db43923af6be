// The page's WebAssembly module and its conversion call, loaded in Node as
// the worker loads them: the tests and the bench convert with exactly the
// files of build/web.
import fs from "node:fs";
import { createRequire } from "node:module";
import path from "node:path";

export async function loadConverter(folder) {
  const site = path.resolve(folder);
  const require = createRequire(import.meta.url);
  const factory = require(path.join(site, "tervano.js"));
  const convert = require(path.join(site, "convert.js"));
  const progress = { frames: -1, done: 0 };
  // The loader would fetch the .wasm by a path Node's fetch refuses: its
  // bytes are handed in.
  const module = await factory({
    wasmBinary: fs.readFileSync(path.join(site, "tervano.wasm")),
    onFrameCount: (n) => { progress.frames = n; progress.done = 0; },
    onFrameDone: () => { progress.done++; },
  });
  return { module, convert, progress };
}
