// Runs inside the browser page of the player check. The GIF is decoded by
// the browser's own decoder (the reference); the movie plays in Ruffle; the
// Node side takes screenshots and hands them back here for comparison.
"use strict";

const reference = { frames: [], width: 0, height: 0 };
let player = null;

// Movie time. Ruffle advances its movie by the timestamps that
// requestAnimationFrame hands it, starting from 0 when the player is made.
// Taking that function over lets the check step the movie by exact amounts,
// whatever the speed of the machine; the rest of the page runs in real time.
const frameClock = { now: 0, callbacks: new Map(), nextId: 1 };
window.requestAnimationFrame = (callback) => {
  const id = frameClock.nextId++;
  frameClock.callbacks.set(id, callback);
  return id;
};
window.cancelAnimationFrame = (id) => {
  frameClock.callbacks.delete(id);
};

function runAnimationFrames(timestamp) {
  const due = [...frameClock.callbacks.values()];
  frameClock.callbacks.clear();
  for (const callback of due) callback(timestamp);
}

// Moves movie time on by `ms` in steps of a 60 Hz display; 0 gives one
// animation frame without moving time, which lets Ruffle finish loading.
window.advanceMovieTime = (ms) => {
  const step = 1000 / 60;
  const end = frameClock.now + ms;
  if (ms <= 0) runAnimationFrames(frameClock.now);
  while (frameClock.now < end - 1e-9) {
    frameClock.now = Math.min(end, frameClock.now + step);
    runAnimationFrames(frameClock.now);
  }
  return frameClock.now;
};

function newCanvas(width, height) {
  const canvas = document.createElement("canvas");
  canvas.width = width;
  canvas.height = height;
  return canvas;
}

// Decodes every frame of the GIF, composited as a browser shows it, onto
// white: the page behind the movie and the GIF is white too.
window.loadReference = async (gifUrl) => {
  const data = await (await fetch(gifUrl)).arrayBuffer();
  const decoder = new ImageDecoder({ data, type: "image/gif" });
  await decoder.tracks.ready;
  await decoder.completed;
  const count = decoder.tracks.selectedTrack.frameCount;
  reference.frames = [];
  for (let i = 0; i < count; ++i) {
    const { image } = await decoder.decode({ frameIndex: i });
    if (i === 0) {
      reference.width = image.displayWidth;
      reference.height = image.displayHeight;
    }
    const canvas = newCanvas(reference.width, reference.height);
    const ctx = canvas.getContext("2d", { willReadFrequently: true });
    ctx.fillStyle = "#ffffff";
    ctx.fillRect(0, 0, canvas.width, canvas.height);
    ctx.drawImage(image, 0, 0);
    image.close();
    reference.frames.push(ctx.getImageData(0, 0, canvas.width, canvas.height));
  }
  decoder.close();
  return { frameCount: count, width: reference.width, height: reference.height };
};

// Creates a Ruffle player at the stage size and starts loading the movie.
// Ruffle reports the movie header through the "loadedmetadata" event, which
// sets window.movieMetadata; its errors land in window.movieError.
window.startMovie = async (swfUrl, width, height) => {
  // One page serves many movies: the previous player goes, and movie time
  // starts again from 0 for the new one.
  if (player) player.remove();
  frameClock.callbacks.clear();
  frameClock.now = 0;
  window.movieMetadata = null;
  window.movieError = null;
  const ruffle = window.RufflePlayer.newest();
  player = ruffle.createPlayer();
  player.style.width = `${width}px`;
  player.style.height = `${height}px`;
  player.style.display = "block";
  document.getElementById("stage").appendChild(player);
  player.addEventListener("loadedmetadata", () => {
    window.movieMetadata = player.ruffle().metadata;
  });
  try {
    await player.ruffle().load({
      url: swfUrl,
      autoplay: "on",
      unmuteOverlay: "hidden",
      splashScreen: false,
      contextMenu: "off",
      letterbox: "off",
      warnOnUnsupportedContent: false,
      showSwfDownload: false,
      openUrlMode: "deny",
      allowScriptAccess: false,
      logLevel: "warn",
      // Ruffle's WebGL renderer draws bitmaps at 1:1 pixel for pixel; its
      // default wgpu renderer shifts edge colours in some bitmaps a little.
      preferredRenderer: "webgl",
    });
  } catch (e) {
    window.movieError = String(e);
  }
};

function colourAt(img, x, y) {
  const i = (y * img.width + x) * 4;
  return [img.data[i], img.data[i + 1], img.data[i + 2]];
}

function sameColour(img, x, y, c) {
  const i = (y * img.width + x) * 4;
  return img.data[i] === c[0] && img.data[i + 1] === c[1] && img.data[i + 2] === c[2];
}

// Radius of the largest square around (x, y) that has one colour (0 when
// even the 3x3 square has two), at most maxRadius.
function flatRadius(img, x, y, width, height, maxRadius) {
  const c = colourAt(img, x, y);
  let r = 0;
  while (r < maxRadius) {
    const n = r + 1;
    if (x - n < 0 || y - n < 0 || x + n >= width || y + n >= height) break;
    for (let k = -n; k <= n; ++k) {
      if (!sameColour(img, x + k, y - n, c) || !sameColour(img, x + k, y + n, c) ||
          !sameColour(img, x - n, y + k, c) || !sameColour(img, x + n, y + k, c)) {
        return r;
      }
    }
    r = n;
  }
  return r;
}

// Sample points: the middle of the largest flat area of each of the most
// common colours, plus points of a coarse grid where the picture is flat.
// Points need a flat 5x5 neighbourhood, so that edges and smoothing do not
// count; a picture with no such area (fine patterns) falls back to flat 3x3
// neighbourhoods.
function samplePoints(img, width, height) {
  const step = Math.max(1, Math.floor(Math.min(width, height) / 48));
  const best = new Map();
  let need = 2;
  for (;;) {
    for (let y = need; y < height - need; y += step) {
      for (let x = need; x < width - need; x += step) {
        const r = flatRadius(img, x, y, width, height, 24);
        if (r < need) continue;
        const key = colourAt(img, x, y).join(",");
        const known = best.get(key);
        if (!known || r > known.r) best.set(key, { x, y, r, why: "colour" });
      }
    }
    if (best.size > 0 || need === 1) break;
    need = 1;
  }
  const points = [...best.values()].sort((a, b) => b.r - a.r).slice(0, 10);
  const grid = 5;
  for (let gy = 0; gy < grid; ++gy) {
    for (let gx = 0; gx < grid; ++gx) {
      const x = Math.floor(((gx + 0.5) * width) / grid);
      const y = Math.floor(((gy + 0.5) * height) / grid);
      if (flatRadius(img, x, y, width, height, need) >= need) points.push({ x, y, why: "grid" });
    }
  }
  return points;
}

// Pixels of the stage area in which two reference frames differ by more
// than `tolerance` in some colour channel.
window.framesDiffer = (a, b, width, height, tolerance) => {
  const fa = reference.frames[a];
  const fb = reference.frames[b];
  let count = 0;
  for (let y = 0; y < Math.min(height, fa.height); ++y) {
    for (let x = 0; x < Math.min(width, fa.width); ++x) {
      const ca = colourAt(fa, x, y);
      const cb = colourAt(fb, x, y);
      if (Math.max(...ca.map((v, i) => Math.abs(v - cb[i]))) > tolerance) ++count;
    }
  }
  return count;
};

async function imageDataFromPng(base64) {
  const bytes = Uint8Array.from(atob(base64), (ch) => ch.charCodeAt(0));
  const bitmap = await createImageBitmap(new Blob([bytes], { type: "image/png" }));
  const canvas = newCanvas(bitmap.width, bitmap.height);
  const ctx = canvas.getContext("2d", { willReadFrequently: true });
  ctx.drawImage(bitmap, 0, 0);
  bitmap.close();
  return ctx.getImageData(0, 0, canvas.width, canvas.height);
}

// Compares a screenshot of the player with reference frame `frameIndex`.
// Returns the checked points and a side-by-side picture (GIF left, movie
// right, sample points marked) as a PNG data URL.
window.compareShot = async (pngBase64, frameIndex, tolerance) => {
  const shot = await imageDataFromPng(pngBase64);
  const ref = reference.frames[frameIndex];
  const width = Math.min(shot.width, ref.width);
  const height = Math.min(shot.height, ref.height);
  const points = samplePoints(ref, width, height);
  const checks = points.map((p) => {
    const expected = colourAt(ref, p.x, p.y);
    const seen = colourAt(shot, p.x, p.y);
    const diff = Math.max(...expected.map((v, i) => Math.abs(v - seen[i])));
    return { x: p.x, y: p.y, why: p.why, expected, seen, ok: diff <= tolerance };
  });

  // Whole-picture statistics, reported beside the sample points.
  let worst = 0;
  let differing = 0;
  for (let y = 0; y < height; ++y) {
    for (let x = 0; x < width; ++x) {
      const a = colourAt(ref, x, y);
      const b = colourAt(shot, x, y);
      const d = Math.max(Math.abs(a[0] - b[0]), Math.abs(a[1] - b[1]), Math.abs(a[2] - b[2]));
      worst = Math.max(worst, d);
      if (d > tolerance) ++differing;
    }
  }

  const gap = 8;
  const canvas = newCanvas(ref.width + gap + shot.width, Math.max(ref.height, shot.height));
  const ctx = canvas.getContext("2d");
  ctx.fillStyle = "#808080";
  ctx.fillRect(0, 0, canvas.width, canvas.height);
  ctx.putImageData(ref, 0, 0);
  ctx.putImageData(shot, ref.width + gap, 0);
  // Only points that differ are marked, so the pictures stay readable.
  ctx.strokeStyle = "#00ffff";
  for (const c of checks.filter((k) => !k.ok)) {
    for (const ox of [0, ref.width + gap]) ctx.strokeRect(ox + c.x - 3.5, c.y - 3.5, 7, 7);
  }
  return { checks, picture: canvas.toDataURL("image/png"), worst, differing, pixels: width * height };
};
