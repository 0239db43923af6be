// Walks the blocks of a GIF file and returns what the player check needs to
// know about it: logical screen, frame rectangles, delays, disposal, loop
// count. Image data is skipped, not decoded; the browser decodes the pixels.

export function readGifInfo(bytes) {
  let pos = 0;
  const need = (n) => {
    if (pos + n > bytes.length) throw new Error(`GIF ends early at byte ${pos}`);
  };
  const u8 = () => {
    need(1);
    return bytes[pos++];
  };
  const u16 = () => {
    need(2);
    const v = bytes[pos] | (bytes[pos + 1] << 8);
    pos += 2;
    return v;
  };
  const skipSubBlocks = () => {
    for (;;) {
      const n = u8();
      if (n === 0) return;
      need(n);
      pos += n;
    }
  };

  need(6);
  const signature = String.fromCharCode(...bytes.subarray(0, 6));
  if (!signature.startsWith("GIF")) throw new Error("not a GIF file");
  pos = 6;
  const info = { width: u16(), height: u16(), loopCount: -1, frames: [] };
  const packed = u8();
  info.backgroundIndex = u8();
  u8(); // pixel aspect
  if (packed & 0x80) {
    const size = 3 * (1 << ((packed & 7) + 1));
    need(size);
    pos += size;
  }

  let control = { delay: 0, disposal: 0, transparent: null };
  for (;;) {
    if (pos >= bytes.length) break; // no trailer: stop where the data ends
    const block = u8();
    if (block === 0x3b) break;
    if (block === 0x21) {
      const label = u8();
      if (label === 0xf9) {
        const n = u8();
        need(n);
        const flags = bytes[pos];
        control = {
          disposal: (flags >> 2) & 7,
          delay: bytes[pos + 1] | (bytes[pos + 2] << 8),
          transparent: flags & 1 ? bytes[pos + 3] : null,
        };
        pos += n;
        skipSubBlocks();
      } else if (label === 0xff) {
        const n = u8();
        need(n);
        const app = String.fromCharCode(...bytes.subarray(pos, pos + n));
        pos += n;
        if (app === "NETSCAPE2.0" || app === "ANIMEXTS1.0") {
          const m = u8();
          need(m);
          if (m >= 3 && bytes[pos] === 1) info.loopCount = bytes[pos + 1] | (bytes[pos + 2] << 8);
          pos += m;
        }
        skipSubBlocks();
      } else {
        skipSubBlocks();
      }
    } else if (block === 0x2c) {
      const frame = { left: u16(), top: u16(), width: u16(), height: u16(), ...control };
      const flags = u8();
      if (flags & 0x80) {
        const size = 3 * (1 << ((flags & 7) + 1));
        need(size);
        pos += size;
      }
      u8(); // minimum code size
      skipSubBlocks();
      info.frames.push(frame);
      control = { delay: 0, disposal: 0, transparent: null };
    } else {
      throw new Error(`unknown block 0x${block.toString(16)} at byte ${pos - 1}`);
    }
  }
  return info;
}

// Movie frames that one GIF frame lasts at 10 frames per second.
export function movieFramesFor(delay) {
  return delay === 0 ? 1 : Math.max(1, Math.floor(delay / 10));
}

// What the converted movie should look like, worked out from the GIF alone.
export function expectedMovie(info) {
  let stageWidth = 18;
  let stageHeight = 18;
  let start = 0;
  const runs = info.frames.map((f) => {
    stageWidth = Math.max(stageWidth, f.left + Math.max(1, f.width));
    stageHeight = Math.max(stageHeight, f.top + Math.max(1, f.height));
    const length = movieFramesFor(f.delay);
    const run = { start, length };
    start += length;
    return run;
  });
  return { stageWidth, stageHeight, frameCount: start, runs, loopCount: info.loopCount };
}
