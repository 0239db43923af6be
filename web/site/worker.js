// Converts the files the page hands it, one after another, in its own
// WebAssembly module: the page stays responsive, and each worker has its own
// memory ceiling.
"use strict";
importScripts("convert.js", "tervano.js");

let current = null;  // id of the file being converted, for progress
const ready = TervanoModule({
  onFrameCount: (frames) => postMessage({ id: current, kind: "frames", frames }),
  onFrameDone: () => postMessage({ id: current, kind: "frame" }),
});

onmessage = async (event) => {
  const { id, file, movieName, options } = event.data;
  const module = await ready;
  let gif;
  try {
    gif = new Uint8Array(await file.arrayBuffer());
  } catch (e) {
    postMessage({ id, kind: "done", status: TervanoConvert.Status.sourceUnreadable, sourceEnd: 0,
      reason: String(e && e.message || e) });
    return;
  }
  current = id;
  let r;
  try {
    r = TervanoConvert.convert(module, gif, movieName, options);
  } catch (e) {
    // The module stopped (it ran out of memory past its ceiling, most
    // likely): it cannot be used again, so the page replaces this worker.
    r = { status: TervanoConvert.Status.movieNotWritable, sourceEnd: 0, reason: String(e && e.message || e),
      broken: true };
  }
  current = null;
  // Every whole GIF ends with its trailer byte; without it the file was
  // cut off, and the movie holds only what came before.
  r.cutShort = gif.length > 0 && gif[gif.length - 1] !== 0x3b;
  const transfer = [r.movie, r.page].filter(Boolean).map((b) => b.buffer);
  postMessage({ id, kind: "done", ...r }, transfer);
};
