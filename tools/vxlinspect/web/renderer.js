// Drawing the 3D view with WebGL2: the merged rectangles of mesh.js in at
// most six draw calls, each pixel coloured from the voxel behind it and lit
// by one directional light.
//
// The colours stay as the decoder keeps them: a texture of columns (where
// the column's colour words start, and which of its voxels are coloured)
// and a texture of the words. A pixel finds its voxel, then the voxel's
// rank among its column's coloured voxels, and reads that word. That is
// about 10 MB of textures for a generated map, where a colour per voxel
// would take 64 MB.
(function (Vxl) {
  "use strict";

  const VERTEX_SHADER = `#version 300 es
// A corner of a rectangle: its point on the map, its rectangle's direction
// and which corner it is.
layout(location = 0) in uvec4 aVertex;  // x, y, h, direction + 8 * corner
uniform mat4 uViewProjection;
flat out uint vDirection;
out vec3 vVoxel;  // a point inside the voxel behind this pixel

// Per direction: the face's outward normal, and its two in-plane axes.
const vec3 kNormals[6] = vec3[6](
    vec3(0.0, 0.0, -1.0), vec3(0.0, 0.0, 1.0), vec3(-1.0, 0.0, 0.0),
    vec3(1.0, 0.0, 0.0), vec3(0.0, -1.0, 0.0), vec3(0.0, 1.0, 0.0));
const vec3 kAxisU[6] = vec3[6](
    vec3(1.0, 0.0, 0.0), vec3(1.0, 0.0, 0.0), vec3(0.0, 1.0, 0.0),
    vec3(0.0, 1.0, 0.0), vec3(1.0, 0.0, 0.0), vec3(1.0, 0.0, 0.0));
const vec3 kAxisV[6] = vec3[6](
    vec3(0.0, 1.0, 0.0), vec3(0.0, 1.0, 0.0), vec3(0.0, 0.0, 1.0),
    vec3(0.0, 0.0, 1.0), vec3(0.0, 0.0, 1.0), vec3(0.0, 0.0, 1.0));

void main() {
  uint dir = aVertex.w & 7u;
  uint corner = aVertex.w >> 3u;
  vec3 position = vec3(aVertex.xyz);
  // Half a voxel behind the face, and a hundredth of one inside the
  // rectangle's edges, so that every pixel finds one of the rectangle's own
  // voxels.
  float u = (corner & 1u) == 1u ? -0.01 : 0.01;
  float v = (corner & 2u) == 2u ? -0.01 : 0.01;
  vDirection = dir;
  vVoxel = position - 0.5 * kNormals[dir] + u * kAxisU[dir] + v * kAxisV[dir];
  gl_Position = uViewProjection * vec4(position, 1.0);
}
`;

  const FRAGMENT_SHADER = `#version 300 es
precision highp float;
precision highp int;
precision highp usampler2D;
uniform usampler2D uColumns;  // per column: first colour word, coloured mask lo, hi
uniform sampler2D uColours;   // colour words, bytes b, g, r, a
uniform int uColoursWidth;
uniform vec3 uLight;          // toward the light, in the map's frame
uniform vec3 uBare;           // for solid voxels the file gives no colour
flat in uint vDirection;
in vec3 vVoxel;
out vec4 outColour;

const vec3 kNormals[6] = vec3[6](
    vec3(0.0, 0.0, -1.0), vec3(0.0, 0.0, 1.0), vec3(-1.0, 0.0, 0.0),
    vec3(1.0, 0.0, 0.0), vec3(0.0, -1.0, 0.0), vec3(0.0, 1.0, 0.0));

uint bitCount32(uint v) {
  v = v - ((v >> 1u) & 0x55555555u);
  v = (v & 0x33333333u) + ((v >> 2u) & 0x33333333u);
  return (((v + (v >> 4u)) & 0x0f0f0f0fu) * 0x01010101u) >> 24u;
}

void main() {
  ivec3 v = clamp(ivec3(floor(vVoxel)), ivec3(0), ivec3(511, 511, 63));
  uvec4 column = texelFetch(uColumns, v.xy, 0);
  uint h = uint(v.z);
  uint lo = column.y;
  uint hi = column.z;
  bool coloured = h < 32u ? ((lo >> h) & 1u) == 1u : ((hi >> (h - 32u)) & 1u) == 1u;
  vec3 base = uBare;
  if (coloured) {
    // The colour's rank: the coloured voxels above it in its column.
    uint rank = h < 32u ? bitCount32(lo & ((1u << h) - 1u))
                        : bitCount32(lo) + bitCount32(hi & ((1u << (h - 32u)) - 1u));
    int i = int(column.x + rank);
    base = texelFetch(uColours, ivec2(i % uColoursWidth, i / uColoursWidth), 0).bgr;
  }
  vec3 n = kNormals[vDirection];
  float light = 0.6 + 0.4 * max(dot(n, uLight), 0.0);
  outColour = vec4(base * light, 1.0);
}
`;

  // Toward the light: from the north-west, well above the horizon.
  const LIGHT = (() => {
    const v = [-0.35, -0.45, -0.82];
    const l = Math.hypot(...v);
    return v.map((c) => c / l);
  })();
  const BARE = [0x80 / 255, 0x78 / 255, 0x70 / 255];
  const BACKGROUND = [0.13, 0.15, 0.19];
  Vxl.BACKGROUND_RGB = BACKGROUND.map((c) => Math.round(c * 255));

  function compile(gl, type, source) {
    const shader = gl.createShader(type);
    gl.shaderSource(shader, source);
    gl.compileShader(shader);
    if (!gl.getShaderParameter(shader, gl.COMPILE_STATUS)) {
      throw new Error("shader: " + gl.getShaderInfoLog(shader));
    }
    return shader;
  }

  class Renderer {
    // Throws when `canvas` offers no WebGL2; the page then says so.
    constructor(canvas) {
      const gl = canvas.getContext("webgl2", { antialias: false, preserveDrawingBuffer: false });
      if (!gl) throw new Error("no WebGL2");
      this.gl = gl;
      this.canvas = canvas;
      const program = gl.createProgram();
      gl.attachShader(program, compile(gl, gl.VERTEX_SHADER, VERTEX_SHADER));
      gl.attachShader(program, compile(gl, gl.FRAGMENT_SHADER, FRAGMENT_SHADER));
      gl.linkProgram(program);
      if (!gl.getProgramParameter(program, gl.LINK_STATUS)) {
        throw new Error("shader program: " + gl.getProgramInfoLog(program));
      }
      this.program = program;
      this.uniforms = {};
      for (const name of ["uViewProjection", "uColumns", "uColours", "uColoursWidth", "uLight", "uBare"]) {
        this.uniforms[name] = gl.getUniformLocation(program, name);
      }
      this.vao = gl.createVertexArray();
      this.vertices = gl.createBuffer();
      this.indices = gl.createBuffer();
      this.columnTexture = gl.createTexture();
      this.colourTexture = gl.createTexture();
      this.count = 0;
      this.drawCalls = 0;
      // Every plane, facing the eye or not: to compare with what is left
      // out, when looking for a face that should show and does not.
      this.allPlanes = false;
    }

    // Uploads a decoded map's colours and its mesh; replaces any before.
    setMap(map, mesh) {
      const gl = this.gl;
      // Columns: where each column's colour words start, and its coloured
      // voxels, one RGBA32UI texel per column.
      const columns = new Uint32Array(512 * 512 * 4);
      for (let c = 0; c < 512 * 512; ++c) {
        columns[c * 4] = map.colourStart[c];
        columns[c * 4 + 1] = map.colouredLo[c];
        columns[c * 4 + 2] = map.colouredHi[c];
      }
      gl.bindTexture(gl.TEXTURE_2D, this.columnTexture);
      gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA32UI, 512, 512, 0, gl.RGBA_INTEGER, gl.UNSIGNED_INT, columns);
      setNearest(gl);

      const width = Math.min(gl.getParameter(gl.MAX_TEXTURE_SIZE), 4096);
      const rows = Math.max(1, Math.ceil(map.colours.length / width));
      if (rows > gl.getParameter(gl.MAX_TEXTURE_SIZE)) {
        throw new Error(`this map has ${map.colours.length} colours, more than this graphics card can hold`);
      }
      const words = new Uint32Array(width * rows);
      words.set(map.colours);
      gl.bindTexture(gl.TEXTURE_2D, this.colourTexture);
      gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, width, rows, 0, gl.RGBA, gl.UNSIGNED_BYTE,
                    new Uint8Array(words.buffer));
      setNearest(gl);
      this.coloursWidth = width;

      gl.bindVertexArray(this.vao);
      gl.bindBuffer(gl.ARRAY_BUFFER, this.vertices);
      gl.bufferData(gl.ARRAY_BUFFER, mesh.vertices, gl.STATIC_DRAW);
      gl.enableVertexAttribArray(0);
      gl.vertexAttribIPointer(0, 4, gl.UNSIGNED_SHORT, Vxl.VERTEX_WORDS * 2, 0);
      gl.bindBuffer(gl.ELEMENT_ARRAY_BUFFER, this.indices);
      gl.bufferData(gl.ELEMENT_ARRAY_BUFFER, mesh.indices, gl.STATIC_DRAW);
      gl.bindVertexArray(null);
      this.count = mesh.count;
      this.planeStart = mesh.planeStart;
    }

    // Blocks until the frames drawn so far are finished.
    waitForFrame() {
      const gl = this.gl;
      const pixel = new Uint8Array(4);
      gl.readPixels(0, 0, 1, 1, gl.RGBA, gl.UNSIGNED_BYTE, pixel);
    }

    // Draws one frame as `camera` sees it, at the canvas's displayed size.
    draw(camera) {
      const gl = this.gl;
      const canvas = this.canvas;
      const ratio = window.devicePixelRatio || 1;
      const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
      const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
      if (canvas.width !== width || canvas.height !== height) {
        canvas.width = width;
        canvas.height = height;
      }
      gl.viewport(0, 0, width, height);
      gl.clearColor(BACKGROUND[0], BACKGROUND[1], BACKGROUND[2], 1);
      gl.clear(gl.COLOR_BUFFER_BIT | gl.DEPTH_BUFFER_BIT);
      this.drawCalls = 0;
      if (this.count === 0) return;
      gl.enable(gl.DEPTH_TEST);
      gl.enable(gl.CULL_FACE);
      gl.useProgram(this.program);
      gl.uniformMatrix4fv(this.uniforms.uViewProjection, false, camera.viewProjection(width / height));
      gl.activeTexture(gl.TEXTURE0);
      gl.bindTexture(gl.TEXTURE_2D, this.columnTexture);
      gl.uniform1i(this.uniforms.uColumns, 0);
      gl.activeTexture(gl.TEXTURE1);
      gl.bindTexture(gl.TEXTURE_2D, this.colourTexture);
      gl.uniform1i(this.uniforms.uColours, 1);
      gl.uniform1i(this.uniforms.uColoursWidth, this.coloursWidth);
      gl.uniform3fv(this.uniforms.uLight, LIGHT);
      gl.uniform3fv(this.uniforms.uBare, BARE);
      gl.bindVertexArray(this.vao);
      // One call per direction, for the planes whose faces can look toward
      // the eye: about half the rectangles, which the graphics card would
      // otherwise transform only to find them facing away.
      const eye = camera.eye();
      this.rectangles = 0;
      for (let dir = 0; dir < 6; ++dir) {
        const [first, end] = this.allPlanes ? [0, Vxl.PLANES[dir]] : Vxl.planesFacing(dir, eye);
        const from = this.planeStart[dir][first];
        const to = this.planeStart[dir][end];
        if (to <= from) continue;
        gl.drawElements(gl.TRIANGLES, (to - from) * 6, gl.UNSIGNED_INT, from * 6 * 4);
        ++this.drawCalls;
        this.rectangles += to - from;
      }
      gl.bindVertexArray(null);
    }
  }

  function setNearest(gl) {
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MIN_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_MAG_FILTER, gl.NEAREST);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_S, gl.CLAMP_TO_EDGE);
    gl.texParameteri(gl.TEXTURE_2D, gl.TEXTURE_WRAP_T, gl.CLAMP_TO_EDGE);
  }

  Vxl.Renderer = Renderer;
})(globalThis.Vxl = globalThis.Vxl || {});
