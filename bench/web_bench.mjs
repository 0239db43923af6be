// The WebAssembly side of the bench: converts one GIF with the page's
// module (build/web) as its worker does, with every option off, and prints
// "BEST_MS SAME" where SAME is 1 when the movie equals the native one.
//   node web_bench.mjs SITE GIF NATIVE_SWF REPS
import fs from "node:fs";
import process from "node:process";

import { loadConverter } from "../web/tests/wasm-module.mjs";

const [site, gifPath, nativePath, repsText] = process.argv.slice(2);
const { module, convert } = await loadConverter(site);
const gif = new Uint8Array(fs.readFileSync(gifPath));
const native = fs.readFileSync(nativePath);
let best = Infinity;
let same = true;
for (let r = 0; r < Math.max(1, Number(repsText) || 1); r++) {
  const start = performance.now();
  const result = convert.convert(module, gif, "bench.swf", {});
  best = Math.min(best, performance.now() - start);
  same = same && result.movie !== null && Buffer.from(result.movie).equals(native);
}
console.log(`${best.toFixed(1)} ${same ? 1 : 0}`);
