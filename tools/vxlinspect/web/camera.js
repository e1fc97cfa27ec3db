// The 3D view's camera: it orbits a focus point on the map, looking at it
// from a direction (yaw around the vertical, pitch above the horizon) and a
// distance. Orbit, zoom and pan change those three; the overview moves the
// focus.
//
// The world is the map file's frame (see mesh.js): x and y across, h down,
// so "up" is -h. Yaw 0 looks from the south edge (large y) toward the
// north, with x to the right, as the overview shows the map.
(function (Vxl) {
  "use strict";

  const FIELD_OF_VIEW = (45 * Math.PI) / 180;
  const MIN_PITCH = (4 * Math.PI) / 180;
  const MAX_PITCH = (89.5 * Math.PI) / 180;
  const MIN_DISTANCE = 6;
  const MAX_DISTANCE = 2400;

  // Column-major 4 x 4 matrices, as WebGL takes them.
  function perspective(fovY, aspect, near, far) {
    const f = 1 / Math.tan(fovY / 2);
    const m = new Float32Array(16);
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (far + near) / (near - far);
    m[11] = -1;
    m[14] = (2 * far * near) / (near - far);
    return m;
  }

  function sub(a, b) { return [a[0] - b[0], a[1] - b[1], a[2] - b[2]]; }
  function cross(a, b) {
    return [a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]];
  }
  function dot(a, b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
  function normalise(a) {
    const l = Math.hypot(a[0], a[1], a[2]);
    return [a[0] / l, a[1] / l, a[2] / l];
  }

  function lookAt(eye, target, up) {
    const f = normalise(sub(target, eye));
    const s = normalise(cross(f, up));
    const u = cross(s, f);
    const m = new Float32Array(16);
    m[0] = s[0]; m[4] = s[1]; m[8] = s[2];
    m[1] = u[0]; m[5] = u[1]; m[9] = u[2];
    m[2] = -f[0]; m[6] = -f[1]; m[10] = -f[2];
    m[12] = -dot(s, eye); m[13] = -dot(u, eye); m[14] = dot(f, eye);
    m[15] = 1;
    return m;
  }

  function multiply(a, b) {
    const m = new Float32Array(16);
    for (let c = 0; c < 4; ++c) {
      for (let r = 0; r < 4; ++r) {
        let v = 0;
        for (let k = 0; k < 4; ++k) v += a[k * 4 + r] * b[c * 4 + k];
        m[c * 4 + r] = v;
      }
    }
    return m;
  }

  const UP = [0, 0, -1];

  class OrbitCamera {
    constructor() {
      this.aspect = 1.5;  // the view's width over its height, kept up to date by the page
      this.setHome([256, 256, 48], 0);
      this.reset();
    }

    // Where reset() returns to: from the south, looking at `focus` (the
    // map's centre at its mean ground height), just far enough for the
    // whole map, from its highest ground (file height `top`) to its bottom,
    // to fit the view.
    setHome(focus, top) {
      this.home = { focus: focus.slice(), yaw: 0, pitch: (50 * Math.PI) / 180, top };
    }

    reset() {
      this.focus = this.home.focus.slice();
      this.yaw = this.home.yaw;
      this.pitch = this.home.pitch;
      this.distance = this.fittingDistance(this.home.top);
    }

    // The least distance (to a voxel) at which the map's box, from height
    // `top` down, shows whole, with a margin, at the current aspect.
    fittingDistance(top) {
      const corners = [];
      for (const x of [0, 512]) for (const y of [0, 512]) for (const h of [top, 64]) corners.push([x, y, h]);
      const fits = (distance) => {
        this.distance = distance;
        const m = this.viewProjection(this.aspect);
        return corners.every((p) => {
          const c = [0, 1, 2, 3].map((r) => m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r]);
          return c[3] > 0 && Math.abs(c[0] / c[3]) < 0.94 && Math.abs(c[1] / c[3]) < 0.94;
        });
      };
      let near = MIN_DISTANCE, far = MAX_DISTANCE;
      if (!fits(far)) return far;
      while (far - near > 1) {
        const middle = (near + far) / 2;
        if (fits(middle)) far = middle;
        else near = middle;
      }
      return Math.round(far);
    }

    // Unit vector from the focus toward the eye.
    backward() {
      const c = Math.cos(this.pitch);
      return [c * Math.sin(this.yaw), c * Math.cos(this.yaw), -Math.sin(this.pitch)];
    }

    eye() {
      const b = this.backward();
      const f = this.focus;
      return [f[0] + b[0] * this.distance, f[1] + b[1] * this.distance, f[2] + b[2] * this.distance];
    }

    orbit(dYaw, dPitch) {
      this.yaw = (this.yaw + dYaw) % (2 * Math.PI);
      this.pitch = Math.min(MAX_PITCH, Math.max(MIN_PITCH, this.pitch + dPitch));
    }

    // factor > 1 moves away, < 1 closer.
    zoom(factor) {
      this.distance = Math.min(MAX_DISTANCE, Math.max(MIN_DISTANCE, this.distance * factor));
    }

    // Moves the focus over the ground by a drag of (dx, dy) pixels on a view
    // `height` pixels high, so the ground under the pointer roughly follows
    // it: screen right is the camera's right, screen up the ground's
    // direction away from the eye.
    pan(dx, dy, height) {
      const perPixel = (2 * this.distance * Math.tan(FIELD_OF_VIEW / 2)) / height;
      const right = [Math.cos(this.yaw), -Math.sin(this.yaw)];
      const away = [-Math.sin(this.yaw), -Math.cos(this.yaw)];
      const f = this.focus;
      f[0] = Math.min(640, Math.max(-128, f[0] - (right[0] * dx - away[0] * dy) * perPixel));
      f[1] = Math.min(640, Math.max(-128, f[1] - (right[1] * dx - away[1] * dy) * perPixel));
    }

    setFocus(x, y, h) {
      this.focus = [x, y, h];
    }

    viewMatrix() { return lookAt(this.eye(), this.focus, UP); }

    projectionMatrix(aspect) {
      const near = Math.max(0.5, this.distance * 0.02);
      const far = this.distance + 1600;
      return perspective(FIELD_OF_VIEW, aspect, near, far);
    }

    viewProjection(aspect) { return multiply(this.projectionMatrix(aspect), this.viewMatrix()); }

    // Where the view's four corner rays meet the level of the focus, as
    // [x, y] points for the overview; a ray that never comes down to it
    // (above the horizon) stops 1,000 voxels out.
    footprint(aspect) {
      const eye = this.eye();
      const f = normalise(sub(this.focus, eye));
      const s = normalise(cross(f, UP));
      const u = cross(s, f);
      const t = Math.tan(FIELD_OF_VIEW / 2);
      const points = [];
      for (const [a, b] of [[-1, -1], [1, -1], [1, 1], [-1, 1]]) {
        const ray = normalise([
          f[0] + s[0] * a * t * aspect + u[0] * b * t,
          f[1] + s[1] * a * t * aspect + u[1] * b * t,
          f[2] + s[2] * a * t * aspect + u[2] * b * t,
        ]);
        // Downward is +h: the ray reaches the focus's level when it goes down.
        let k = ray[2] > 1e-3 ? (this.focus[2] - eye[2]) / ray[2] : 1000;
        k = Math.min(k, 1000);
        points.push([eye[0] + ray[0] * k, eye[1] + ray[1] * k]);
      }
      return points;
    }

    // A short description for the page's report: "yaw pitch distance" in
    // degrees and voxels.
    describe() {
      const deg = (r) => ((r * 180) / Math.PI).toFixed(1);
      return `${deg(this.yaw)} ${deg(this.pitch)} ${this.distance.toFixed(1)}`;
    }
  }
  Vxl.OrbitCamera = OrbitCamera;
  Vxl.FIELD_OF_VIEW = FIELD_OF_VIEW;
})(globalThis.Vxl = globalThis.Vxl || {});
