// One conversion through the WebAssembly module, shared by the page's
// worker and the Node tests and bench, so they all call the module alike.
// A classic script: the worker loads it with importScripts, Node requires it.
"use strict";
(function (root) {
  // The option fields the module takes as numbers, in the order it reads them.
  const FLAGS = ["changeLoop", "loopForever", "playCount", "borderCorrection", "useGifBackground",
    "optimiseCanvas", "useLinkUrl", "protect", "writeHtml", "fullMenu"];

  // The options as the command line has them when none was ever stored.
  function defaultOptions() {
    const o = {};
    for (const f of FLAGS) o[f] = 0;
    o.linkUrl = "";
    o.ruffleUrl = "";
    return o;
  }

  // As the command line names a movie: the file name without its last
  // extension (a leading dot is no extension), then ".swf".
  function movieNameOf(fileName) {
    const dot = fileName.lastIndexOf(".");
    return (dot > 0 ? fileName.slice(0, dot) : fileName) + ".swf";
  }

  function pageNameOf(movieName) {
    return movieName.slice(0, -".swf".length) + ".htm";
  }

  // The stage of an uncompressed movie in pixels, from the RECT after its
  // 8-byte header: the size the player shows it at.
  function stageOf(movie) {
    let bit = 64;
    const read = (n) => {
      let v = 0;
      for (let i = 0; i < n; i++, bit++) v = (v << 1) | ((movie[bit >> 3] >> (7 - (bit & 7))) & 1);
      return v;
    };
    const size = read(5);
    const [xMin, xMax, yMin, yMax] = [read(size), read(size), read(size), read(size)];
    return { width: Math.round((xMax - xMin) / 20), height: Math.round((yMax - yMin) / 20) };
  }

  // Statuses and ends as the module reports them.
  const Status = { converted: 0, cancelled: 1, sourceUnreadable: 2, notGif: 3, pathTooLong: 4,
    destinationIsSource: 5, movieNotWritable: 6, pageNotWritable: 7 };
  const SourceEnd = { whole: 0, imageTooLarge: 1, screenTooLarge: 2, notGif: 3 };

  function withString(module, text, use) {
    const size = module.lengthBytesUTF8(text) + 1;
    const at = module._malloc(size);
    if (!at) return use(0);
    try {
      module.stringToUTF8(text, at, size);
      return use(at);
    } finally {
      module._free(at);
    }
  }

  function outOfMemory() {
    return { status: Status.movieNotWritable, sourceEnd: SourceEnd.whole, reason: "out of memory",
      movie: null, page: null, outOfMemory: true };
  }

  // Converts the GIF's bytes (a Uint8Array) into the movie movieName; the
  // result's movie and page are Uint8Arrays of their own (page null
  // without the page option).
  function convert(module, gif, movieName, options) {
    // A module built from other sources would read the flags wrongly.
    if (module._tervano_flag_count() !== FLAGS.length) throw new Error("tervano.wasm does not match convert.js");
    const o = Object.assign(defaultOptions(), options || {});
    const flags = module._malloc(4 * FLAGS.length);
    const data = module._malloc(gif.length || 1);
    try {
      if (!flags || !data) return outOfMemory();
      FLAGS.forEach((f, i) => { module.HEAP32[(flags >> 2) + i] = Number(o[f]) | 0; });
      module.HEAPU8.set(gif, data);
      const c = withString(module, movieName, (name) => withString(module, String(o.linkUrl), (link) =>
        withString(module, String(o.ruffleUrl), (ruffle) =>
          name && link && ruffle ? module._tervano_convert(data, gif.length, name, flags, link, ruffle) : 0)));
      if (!c) return outOfMemory();
      try {
        const bytes = (at, size) => module.HEAPU8.slice(at, at + size);
        const result = {
          status: module._tervano_status(c),
          sourceEnd: module._tervano_source_end(c),
          reason: module.UTF8ToString(module._tervano_reason(c)),
          movie: bytes(module._tervano_movie(c), module._tervano_movie_size(c)),
          page: o.writeHtml ? bytes(module._tervano_page(c), module._tervano_page_size(c)) : null,
        };
        if (result.status !== Status.converted) result.movie = result.page = null;
        return result;
      } finally {
        module._tervano_free(c);
      }
    } finally {
      if (flags) module._free(flags);
      if (data) module._free(data);
    }
  }

  const api = { FLAGS, Status, SourceEnd, defaultOptions, movieNameOf, pageNameOf, stageOf, convert };
  if (typeof module === "object" && module.exports) module.exports = api;
  else root.TervanoConvert = api;
})(typeof self !== "undefined" ? self : this);
