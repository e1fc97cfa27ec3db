// Decoding a .vxl map in the page: the file embedded by vxlinspect, or one
// the user drops on the page or picks.
//
// A map is 512 x 512 columns of 64 voxels, stored as one record of spans
// per column, y outer and x inner, with no header. Heights count from the
// top: h = 0 is the top of a column and 63 its bottom. The file is trusted
// for nothing: every length and height is checked before it is used, by the
// same rules as vxlinspect's own decoder, so a damaged file gives an error
// that says where, never a half-read map.
//
// The result keeps a column's solidity as a 64-bit mask split into two
// 32-bit words (bit h of `solidLo` for h < 32, bit h - 32 of `solidHi`
// otherwise), likewise which voxels the file colours, and the colour words
// themselves in file order. A column's colours come in the file top to
// bottom, so its k-th colour word belongs to its k-th coloured voxel. That
// takes about 8 MB for a generated map where a byte per voxel would take
// 16 MB for solidity alone.
(function (Vxl) {
  "use strict";

  const MAP_X = 512;
  const MAP_Y = 512;
  const MAP_Z = 64;
  const COLUMNS = MAP_X * MAP_Y;
  Vxl.MAP_X = MAP_X;
  Vxl.MAP_Y = MAP_Y;
  Vxl.MAP_Z = MAP_Z;

  // A malformed file: `offset` is the byte at fault, (x, y) the column being
  // read, or -1 after the last column; `fault` names the rule broken.
  class MapFormatError extends Error {
    constructor(fault, offset, x, y, what) {
      const where = x >= 0 ? `byte ${offset}, column (${x}, ${y})` : `byte ${offset}`;
      super(`${where}: ${what}`);
      this.name = "MapFormatError";
      this.fault = fault;
      this.offset = offset;
      this.x = x;
      this.y = y;
    }
  }
  Vxl.MapFormatError = MapFormatError;

  // Bits a..b (0 <= a <= b <= 31) of one 32-bit word.
  function bits(a, b) {
    return ((b === 31 ? 0xffffffff : (1 << (b + 1)) - 1) & ~((1 << a) - 1)) >>> 0;
  }
  // Heights h0..h1 (inclusive, 0..63) of a column's mask: its low word
  // (h 0..31) and its high word (h 32..63).
  function lowBits(h0, h1) {
    return h1 < h0 || h0 > 31 ? 0 : bits(h0, Math.min(h1, 31));
  }
  function highBits(h0, h1) {
    return h1 < h0 || h1 < 32 ? 0 : bits(Math.max(h0, 32) - 32, h1 - 32);
  }

  function readU32(d, at) {
    return (d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) | (d[at + 3] << 24)) >>> 0;
  }

  // Decodes the whole file `bytes` (a Uint8Array). Returns
  //   { solidLo, solidHi, colouredLo, colouredHi }: Uint32Array per column,
  //   colourStart: Uint32Array(COLUMNS + 1), where column c's colour words
  //     are colours[colourStart[c] .. colourStart[c + 1] - 1],
  //   colours: Uint32Array of 0xAARRGGBB words,
  //   bytes, spans, lowestSurface, highestSurface (surface height: voxels
  //     from a column's bottom up to its topmost solid one, 0 for air),
  // with column c = y * 512 + x. Throws MapFormatError on a malformed file.
  function decodeMap(bytes) {
    const d = bytes;
    const size = d.length;
    const solidLo = new Uint32Array(COLUMNS);
    const solidHi = new Uint32Array(COLUMNS);
    const colouredLo = new Uint32Array(COLUMNS);
    const colouredHi = new Uint32Array(COLUMNS);
    const colourStart = new Uint32Array(COLUMNS + 1);
    // A file of n bytes holds fewer than n / 4 colour words.
    const colours = new Uint32Array(Math.floor(size / 4));
    let nColours = 0;
    let pos = 0;
    let spans = 0;
    let lowest = MAP_Z;
    let highest = 0;
    let x = 0;
    let y = 0;

    const fail = (fault, offset, what) => {
      throw new MapFormatError(fault, offset, x, y, what);
    };

    for (y = 0; y < MAP_Y; ++y) {
      for (x = 0; x < MAP_X; ++x) {
        const c = y * MAP_X + x;
        colourStart[c] = nColours;
        // The column's masks: solid, and coloured (which is solid too).
        let sLo = 0, sHi = 0, cLo = 0, cHi = 0;
        // What the previous span left for the next to place: bottom colours
        // whose heights depend on the next air_start, above which, down from
        // `solidFrom`, lies hidden solid ground.
        let first = true;
        let prevAirStart = 0;
        let solidFrom = 0;
        let bottomCount = 0;
        let bottomAt = 0;
        let surface = 0;
        for (;;) {
          const at = pos;
          if (size - at < 4) {
            fail("truncated", at, `file ends ${size - at} bytes into a span header of 4`);
          }
          const spanLength = d[at];
          const topStart = d[at + 1];
          const topEnd = d[at + 2];
          const airStart = d[at + 3];
          if (first) {
            if (airStart !== 0) {
              fail("height-order", at + 3, `first span's air_start is ${airStart}, not 0`);
            }
          } else {
            if (airStart <= prevAirStart) {
              fail("height-order", at + 3,
                   `air_start ${airStart} does not move below the previous span's air_start ${prevAirStart}`);
            }
            if (airStart > MAP_Z - 1) {
              fail("height-order", at + 3,
                   `air_start ${airStart} starts a span below the column's bottom (63)`);
            }
            if (airStart - bottomCount < solidFrom) {
              fail("height-order", at + 3,
                   `air_start ${airStart} puts the previous span's ${bottomCount} bottom colours ` +
                   `over its top colours, which end at ${solidFrom - 1}`);
            }
          }
          if (topStart > MAP_Z) {
            fail("past-bottom", at + 1, `top_start ${topStart} is past the column's 64 voxels`);
          }
          if (airStart > topStart) {
            fail("height-order", at + 3, `air_start ${airStart} is below top_start ${topStart}`);
          }
          if (topEnd < topStart - 1) {
            fail("top-end-below-start", at + 2,
                 `top_end ${topEnd} is below top_start ${topStart} - 1`);
          }
          if (topEnd > MAP_Z - 1) {
            fail("past-bottom", at + 2, `top_end ${topEnd} is past the column's 64 voxels`);
          }
          const topCount = topEnd - topStart + 1;
          const last = spanLength === 0;
          const words = last ? topCount : spanLength - 1;
          if (words < topCount) {
            fail("colour-count", at,
                 `span_length ${spanLength} holds ${words} colours, but top_start ${topStart} ` +
                 `to top_end ${topEnd} needs ${topCount}`);
          }
          const bottoms = words - topCount;
          if (!last && bottoms === 0 && topEnd === MAP_Z - 1) {
            fail("past-bottom", at,
                 `span_length ${spanLength} announces a further span, but this one reaches the column's bottom`);
          }
          if (!last && topEnd + 1 + bottoms > MAP_Z - 1) {
            fail("past-bottom", at,
                 `span_length ${spanLength} gives ${bottoms} bottom colours below top_end ${topEnd}, ` +
                 `past the column's 64 voxels with room for a next span`);
          }
          const spanBytes = 4 + 4 * words;
          if (size - at < spanBytes) {
            fail("truncated", at, `file ends ${size - at} bytes into a span of ${spanBytes}`);
          }

          // Every height is now known to be in range: place the voxels.
          if (first) {
            surface = MAP_Z - topStart;
          } else {
            // Hidden ground down to the bottom colours, then those.
            sLo |= lowBits(solidFrom, airStart - 1);
            sHi |= highBits(solidFrom, airStart - 1);
            cLo |= lowBits(airStart - bottomCount, airStart - 1);
            cHi |= highBits(airStart - bottomCount, airStart - 1);
            for (let k = 0; k < bottomCount; ++k) colours[nColours++] = readU32(d, bottomAt + 4 * k);
          }
          sLo |= lowBits(topStart, topEnd);
          sHi |= highBits(topStart, topEnd);
          cLo |= lowBits(topStart, topEnd);
          cHi |= highBits(topStart, topEnd);
          for (let k = 0; k < topCount; ++k) colours[nColours++] = readU32(d, at + 4 + 4 * k);
          ++spans;
          pos = at + spanBytes;
          if (last) {
            sLo |= lowBits(topEnd + 1, MAP_Z - 1);
            sHi |= highBits(topEnd + 1, MAP_Z - 1);
            break;
          }
          first = false;
          prevAirStart = airStart;
          solidFrom = topEnd + 1;
          bottomCount = bottoms;
          bottomAt = at + 4 + 4 * topCount;
        }
        solidLo[c] = sLo >>> 0;
        solidHi[c] = sHi >>> 0;
        colouredLo[c] = cLo >>> 0;
        colouredHi[c] = cHi >>> 0;
        if (surface < lowest) lowest = surface;
        if (surface > highest) highest = surface;
      }
    }
    x = y = -1;
    colourStart[COLUMNS] = nColours;
    if (pos !== size) {
      fail("trailing-bytes", pos, `${size - pos} bytes after the last column`);
    }
    return {
      solidLo, solidHi, colouredLo, colouredHi, colourStart,
      colours: colours.subarray(0, nColours),
      bytes: size, spans, lowestSurface: lowest, highestSurface: highest,
    };
  }
  Vxl.decodeMap = decodeMap;

  // True when voxel (x, y, h) of a decoded map is solid.
  Vxl.isSolid = function (map, x, y, h) {
    const c = y * MAP_X + x;
    return h < 32 ? ((map.solidLo[c] >>> h) & 1) === 1 : ((map.solidHi[c] >>> (h - 32)) & 1) === 1;
  };

  // The colour word of voxel (x, y, h), or -1 when the file stores none.
  Vxl.colourAt = function (map, x, y, h) {
    const c = y * MAP_X + x;
    const lo = map.colouredLo[c];
    const hi = map.colouredHi[c];
    const bit = h < 32 ? (lo >>> h) & 1 : (hi >>> (h - 32)) & 1;
    if (!bit) return -1;
    // The number of coloured voxels above h is the colour's rank.
    const above = h < 32 ? popcount(lo & ((1 << h) - 1))
                         : popcount(lo) + popcount(hi & (h === 32 ? 0 : (1 << (h - 32)) - 1));
    return map.colours[map.colourStart[c] + above];
  };

  function popcount(v) {
    v = v - ((v >>> 1) & 0x55555555);
    v = (v & 0x33333333) + ((v >>> 2) & 0x33333333);
    return (((v + (v >>> 4)) & 0x0f0f0f0f) * 0x01010101) >>> 24;
  }
  Vxl.popcount = popcount;
})(globalThis.Vxl = globalThis.Vxl || {});
