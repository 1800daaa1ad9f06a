// bands.js - what the page draws over the drawing while a prompt waits: the rubber band from
// the prompt's base point to the cursor, what a click would pick (hover), the window begun by
// a click on empty space at "Select objects:" (finished by a second click); and the view the
// host moved (ZOOM, PAN, REGEN), which the page follows, and the page's own view reported back.
'use strict';

(() => {
  const tv = window.tevView;
  const { view, state, toScreen, toWorld } = tv;
  const hover = { found: null, busy: false, again: false, key: '' };
  let windowStart = null; // the implicit window's first corner: screen and drawing points

  const api = (path, params, method = 'GET') => {
    const q = new URLSearchParams(params);
    q.set('token', tv.token);
    return fetch(path + '?' + q.toString(), { method });
  };
  const aperture = () => state.pickbox / view.scale;

  // Where the cursor is in the drawing: the point a click would land on.
  function cursor() {
    const snapped = window.tevSnap && window.tevSnap.tracked; // the snap's point, when it has one
    if (snapped && snapped.valid) return [snapped.x, snapped.y];
    const t = window.arxTrackedPoint;
    if (Array.isArray(t)) return t;
    if (t && Number.isFinite(t.x) && Number.isFinite(t.y)) return [t.x, t.y];
    return toWorld(tv.mouse.x, tv.mouse.y);
  }

  // --- Lp's corner: the one of the two between P and N on the side S shows ----------------
  const kTable = [ // rows: S right-above, left-above, right-below, left-below; by m1 >, =, <
    [['H', 'V', 'V', 'H'], ['V', 'V', 'H', 'H'], ['V', 'V', 'H', 'H']],
    [['V', 'H', 'H', 'V'], ['V', 'H', 'H', 'V'], ['V', 'V', 'H', 'H']],
    [['H', 'V', 'V', 'H'], ['H', 'H', 'V', 'V'], ['H', 'H', 'V', 'V']],
    [['V', 'H', 'H', 'V'], ['V', 'H', 'H', 'V'], ['H', 'H', 'V', 'V']],
  ];
  const quadrant = (dx, dy) => (dy > 0 ? (dx > 0 ? 0 : 1) : (dx > 0 ? 3 : 2));
  function corner(p, n, s) {
    const nq = quadrant(n[0] - p[0], n[1] - p[1]);
    const dxS = s[0] - p[0], dyS = s[1] - p[1];
    let c = ['V', 'H', 'H', 'V'][nq];
    if (dxS !== 0 && dyS !== 0) {
      const m1 = Math.abs((n[1] - p[1]) * 100 / (n[0] - p[0])), m2 = Math.abs(dyS * 100 / dxS);
      const row = [0, 1, 3, 2][quadrant(dxS, dyS)];
      c = kTable[row][m1 > m2 ? 0 : m1 === m2 ? 1 : 2][nq];
    }
    return c === 'H' ? [n[0], p[1]] : [p[0], n[1]];
  }

  // The end of a line farther from m.
  const far = (a, b, m) => (Math.hypot(a[0] - m[0], a[1] - m[1]) < Math.hypot(b[0] - m[0], b[1] - m[1]) ? b : a);

  function path(oc, pts, close) {
    oc.beginPath();
    pts.forEach((p, i) => { const [x, y] = toScreen(p[0], p[1]); if (i) oc.lineTo(x, y); else oc.moveTo(x, y); });
    if (close) oc.closePath();
  }

  function windowBand(oc, a, b) {
    const [ax, ay] = toScreen(a[0], a[1]), [bx, by] = toScreen(b[0], b[1]);
    const crossing = bx < ax;
    oc.setLineDash(crossing ? [5, 4] : []);
    oc.fillStyle = crossing ? 'rgba(60,200,90,0.15)' : 'rgba(70,120,255,0.15)';
    oc.fillRect(Math.min(ax, bx), Math.min(ay, by), Math.abs(bx - ax), Math.abs(by - ay));
    oc.strokeRect(Math.min(ax, bx) + 0.5, Math.min(ay, by) + 0.5, Math.abs(bx - ax), Math.abs(by - ay));
    oc.setLineDash([]);
  }

  // Draws the band of the prompt that waits to the cursor.
  function drawBand(oc) {
    const b = state.band;
    if (!b || !state.waiting) return;
    const from = [b.x, b.y], c = cursor();
    oc.save();
    oc.strokeStyle = state.dark ? '#ffe680' : '#b36b00';
    oc.fillStyle = oc.strokeStyle;
    oc.lineWidth = 1;
    if (b.kind === 'window') {
      oc.strokeStyle = state.dark ? '#fff' : '#000';
      windowBand(oc, from, c);
    } else if (b.kind === 'corner') {
      path(oc, [from, corner(from, [b.x1, b.y1], c), [b.x1, b.y1]]);
      oc.stroke();
    } else if (b.kind === 'join') {
      const other = hover.found && hover.found.line;
      const m = [(b.px + c[0]) / 2, (b.py + c[1]) / 2];
      const a = far(from, [b.x1, b.y1], m);
      const end = other ? far([other[0], other[1]], [other[2], other[3]], m) : c;
      path(oc, [a, end]);
      oc.stroke();
    } else if (b.kind === 'segment' && (b.w0 > 0 || b.w1 > 0)) {
      const dx = c[0] - b.x, dy = c[1] - b.y, len = Math.hypot(dx, dy) || 1;
      const nx = -dy / len, ny = dx / len, h0 = b.w0 / 2, h1 = b.w1 / 2;
      path(oc, [[b.x + nx * h0, b.y + ny * h0], [c[0] + nx * h1, c[1] + ny * h1],
                [c[0] - nx * h1, c[1] - ny * h1], [b.x - nx * h0, b.y - ny * h0]], true);
      oc.globalAlpha = 0.35; oc.fill(); oc.globalAlpha = 1; oc.stroke();
    } else {
      path(oc, [from, c]);
      oc.stroke();
      if (b.kind === 'circle') {
        const [sx, sy] = toScreen(b.x, b.y);
        oc.beginPath();
        oc.arc(sx, sy, Math.hypot(c[0] - b.x, c[1] - b.y) * view.scale, 0, 2 * Math.PI);
        oc.stroke();
      } else if (b.kind === 'distance') {
        const [sx, sy] = toScreen(c[0], c[1]);
        oc.font = '12px monospace';
        oc.fillText(tv.fmt(Math.hypot(c[0] - b.x, c[1] - b.y)), sx + 12, sy - 8);
      }
    }
    oc.restore();
  }

  function drawHover(oc) {
    const f = hover.found;
    if (!f || !state.waiting || (state.want !== 'entity' && state.want !== 'select')) return;
    oc.save();
    oc.strokeStyle = state.dark ? 'rgba(255,200,40,0.9)' : 'rgba(220,120,0,0.9)';
    oc.lineWidth = 3;
    for (const p of f.paths) {
      oc.beginPath();
      for (let i = 0; i < p.length; i += 2) {
        const [x, y] = toScreen(p[i], p[i + 1]);
        if (i) oc.lineTo(x, y); else oc.moveTo(x, y);
      }
      oc.stroke();
    }
    oc.restore();
  }

  // What a click at the drawing point (x, y) would pick: the server's answer, or null.
  async function pickAt(x, y) {
    const r = await api('api/hover', { x, y, aperture: aperture() });
    return r.ok ? r.json() : null;
  }

  async function updateHover() {
    if (hover.busy) { hover.again = true; return; }
    hover.busy = true;
    try {
      do {
        hover.again = false;
        if (!state.waiting || (state.want !== 'entity' && state.want !== 'select') || !tv.mouse.inside) {
          hover.found = null;
          break;
        }
        const [x, y] = toWorld(tv.mouse.x, tv.mouse.y);
        hover.found = await pickAt(x, y);
        tv.drawOverlay();
      } while (hover.again);
    } catch (e) { hover.found = null; }
    hover.busy = false;
  }
  window.addEventListener('mousemove', () => { if (!tv.mouse.down) updateHover(); });

  // A click at "Select objects:": an entity under the pick box is picked; on empty space a
  // window begins, which a second click ends (left to right a window, right to left a
  // crossing). True when the click is taken here.
  function click(sx, sy) {
    if (state.want !== 'select') { windowStart = null; return false; }
    const [x, y] = toWorld(sx, sy);
    if (windowStart) {
      const s = windowStart;
      windowStart = null;
      tv.answer([['L', sx >= s.sx ? 'W' : 'C'], ['L', `${tv.fmt(s.x)},${tv.fmt(s.y)}`], ['L', `${tv.fmt(x)},${tv.fmt(y)}`]]);
      return true;
    }
    pickAt(x, y).then((found) => {
      if (found) tv.answer([['P', String(aperture()), `${tv.fmt(x)},${tv.fmt(y)}`]]);
      else { windowStart = { sx, sy, x, y }; tv.drawOverlay(); }
    }).catch(() => {});
    return true;
  }

  function overlay(oc) {
    drawHover(oc);
    if (windowStart && state.want === 'select' && state.waiting) {
      oc.save();
      oc.strokeStyle = state.dark ? '#fff' : '#000';
      windowBand(oc, [windowStart.x, windowStart.y], toWorld(tv.mouse.x, tv.mouse.y));
      oc.restore();
    } else {
      drawBand(oc);
    }
  }

  document.addEventListener('keydown', (e) => { if (e.key === 'Escape') windowStart = null; });

  // --- the view: the host's, when a command moved it; the page's own, reported back ----------
  let moved = null, regens = null, known = null, reportTimer = 0, prompts = null;
  const here = () => ({ cx: view.cx, cy: view.cy, h: view.h / view.scale });
  const same = (a, b) => a && b && a.cx === b.cx && a.cy === b.cy && Math.abs(a.h - b.h) <= 1e-12 * b.h;

  function follow(s) {
    const v = s.view;
    if (v && v.h > 0 && v.moved !== moved) {
      // A view the host moved before the page opened is taken too; until then the page
      // opens at the extents.
      if (moved !== null || v.moved > 0) {
        view.cx = v.cx; view.cy = v.cy; view.scale = view.h / v.h;
        tv.draw(); tv.refresh();
      }
      moved = v.moved;
      known = here();
    }
    if (v && v.regens !== regens) {
      const first = regens === null;
      regens = v.regens;
      if (!first) return true; // draw everything anew
    }
    if (s.want !== 'select' || s.prompts !== prompts) windowStart = null; // begun at this prompt only
    prompts = s.prompts;
    hover.found = null;
    if (known === null) { // the page's first view, and the shape of its screen for ZOOM
      known = here();
      api('api/view', { aspect: view.w / view.h }, 'POST').catch(() => {});
    }
    return false;
  }

  // The page's own zooms and pans become the host's view (ZOOM Previous, the saved drawing).
  setInterval(() => {
    if (known === null || tv.mouse.panning || same(here(), known)) return;
    clearTimeout(reportTimer);
    const v = here();
    known = v;
    reportTimer = setTimeout(() => {
      api('api/view', { cx: v.cx, cy: v.cy, h: v.h, aspect: view.w / view.h }, 'POST').catch(() => {});
    }, 200);
  }, 300);

  window.arxBands = { overlay, click, follow, corner };
})();
