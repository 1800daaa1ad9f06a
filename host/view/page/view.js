// view.js - the page of the live view: draws what the server sends for the current view,
// pans and zooms, shows the transcript and the prompt, and turns typing and clicks into
// answers for the command line.
'use strict';

const token = new URLSearchParams(location.search).get('token') || '';
const $ = (id) => document.getElementById(id);
const drawing = $('drawing'), overlay = $('overlay');
const dc = drawing.getContext('2d'), oc = overlay.getContext('2d');

// --- the view: drawing units to screen pixels ----------------------------------------
const view = { cx: 0, cy: 0, scale: 1, w: 1, h: 1 };
const toScreen = (x, y) => [(x - view.cx) * view.scale + view.w / 2,
                            view.h / 2 - (y - view.cy) * view.scale];
const toWorld = (sx, sy) => [view.cx + (sx - view.w / 2) / view.scale,
                             view.cy - (sy - view.h / 2) / view.scale];
const pixel = () => 1 / view.scale;

// A coordinate as typed: as many decimals as a pixel shows.
function fmt(v) {
  const d = Math.min(10, Math.max(0, Math.ceil(-Math.log10(pixel())) + 1));
  let s = v.toFixed(d);
  if (s.includes('.')) s = s.replace(/0+$/, '').replace(/\.$/, '');
  return s === '-0' ? '0' : s;
}

const state = { version: 0, from: 0, waiting: false, want: 'text', prompt: '', spaces: false,
                ended: false, pickbox: 3, extents: null, picture: null, pictures: 0,
                answered: 0, dark: true };

// The page's own words in the host's language (from the server), English where none is given.
let texts = {};
const T = (english) => texts[english] || english;
async function loadTexts() {
  try {
    const r = await api('api/texts');
    if (r.ok) texts = await r.json();
  } catch (e) { /* English, then */ }
  for (const el of document.querySelectorAll('[data-t]')) el.textContent = T(el.dataset.t);
  for (const el of document.querySelectorAll('[data-title]')) el.title = T(el.dataset.title);
}

function api(path, params = {}, method = 'GET') {
  const q = new URLSearchParams(params);
  q.set('token', token);
  return fetch(path + '?' + q.toString(), { method });
}

// --- the picture --------------------------------------------------------------------
// Reads the server's binary picture into groups of one look each.
function parsePicture(buf) {
  const dv = new DataView(buf);
  if (buf.byteLength < 28 || String.fromCharCode(dv.getUint8(0), dv.getUint8(1), dv.getUint8(2), dv.getUint8(3)) !== 'TVW1')
    throw new Error('not a picture');
  let o = 4;
  const ox = dv.getFloat64(o, true), oy = dv.getFloat64(o + 8, true); o += 16;
  const entities = dv.getUint32(o, true); o += 4;
  const count = dv.getUint32(o, true); o += 4;
  const dec = new TextDecoder();
  const groups = [];
  for (let g = 0; g < count; ++g) {
    const r = dv.getUint8(o), gr = dv.getUint8(o + 1), b = dv.getUint8(o + 2), flags = dv.getUint8(o + 3); o += 4;
    const width = dv.getFloat32(o, true); o += 4;
    const nd = dv.getUint32(o, true); o += 4;
    const dashes = Array.from(new Float32Array(buf, o, nd)); o += 4 * nd;
    const np = dv.getUint32(o, true), npts = dv.getUint32(o + 4, true); o += 8;
    const ends = new Uint32Array(buf, o, np); o += 4 * np;
    const xy = new Float32Array(buf, o, 2 * npts); o += 8 * npts;
    const nc = dv.getUint32(o, true); o += 4;
    const circles = new Float32Array(buf, o, 3 * nc); o += 12 * nc;
    const nt = dv.getUint32(o, true); o += 4;
    const texts = [];
    for (let t = 0; t < nt; ++t) {
      const f = new Float32Array(buf, o, 5); o += 20;
      const anchor = dv.getUint8(o), baseline = dv.getUint8(o + 1), len = dv.getUint16(o + 2, true); o += 4;
      const s = dec.decode(new Uint8Array(buf, o, len)); o += len; o = (o + 3) & ~3;
      texts.push({ x: f[0], y: f[1], h: f[2], rot: f[3], wf: f[4], anchor, baseline, s });
    }
    groups.push({ r, g: gr, b, flags, width, dashes, ends, xy, circles, texts });
  }
  // What the server drew into the view's pixels (too small or too many for vectors).
  let raster = null;
  if (o + 36 <= buf.byteLength) {
    const w = dv.getUint32(o, true), h = dv.getUint32(o + 4, true);
    const left = dv.getFloat64(o + 8, true), top = dv.getFloat64(o + 16, true);
    const cell = dv.getFloat64(o + 24, true), nc = dv.getUint32(o + 32, true); o += 36;
    const colours = [];
    for (let c = 0; c < nc; ++c) {
      const r = dv.getUint8(o), g = dv.getUint8(o + 1), b = dv.getUint8(o + 2);
      const n = dv.getUint32(o + 4, true); o += 8;
      colours.push({ r, g, b, cells: new Uint32Array(buf, o, n) }); o += 4 * n;
    }
    if (w > 0 && h > 0) raster = { w, h, left, top, cell, colours, canvas: null, dark: null };
  }
  return { ox, oy, entities, groups, raster };
}

// The raster as a canvas of its own, its colours as the background wants them.
function rasterCanvas(ra) {
  if (ra.canvas && ra.dark === state.dark) return ra.canvas;
  const c = ra.canvas || document.createElement('canvas');
  c.width = ra.w; c.height = ra.h;
  const ctx = c.getContext('2d');
  const img = ctx.createImageData(ra.w, ra.h);
  const px = new Uint32Array(img.data.buffer); // little-endian: 0xAABBGGRR
  for (const col of ra.colours) {
    let { r, g, b } = col;
    if (state.dark && r === 0 && g === 0 && b === 0) r = g = b = 255;      // colour 7 on dark
    else if (!state.dark && r === 255 && g === 255 && b === 255) r = g = b = 0;
    const v = (0xff000000 | (b << 16) | (g << 8) | r) >>> 0;
    for (const i of col.cells) px[i] = v;
  }
  ctx.putImageData(img, 0, 0);
  ra.canvas = c; ra.dark = state.dark;
  return c;
}

function colour(g) {
  let { r, g: gr, b } = g;
  if (state.dark && r === 0 && gr === 0 && b === 0) r = gr = b = 255;      // colour 7 on dark
  else if (!state.dark && r === 255 && gr === 255 && b === 255) r = gr = b = 0;
  return `rgb(${r},${gr},${b})`;
}

const kAnchors = ['start', 'center', 'end'];
const kBaselines = ['alphabetic', 'middle', 'top', 'bottom'];

function draw() {
  dc.setTransform(1, 0, 0, 1, 0, 0);
  dc.clearRect(0, 0, drawing.width, drawing.height);
  const pic = state.picture;
  if (!pic) return;
  const dpr = window.devicePixelRatio || 1;
  const s = view.scale;
  // Drawing units relative to the picture's origin, straight to device pixels.
  const tx = (pic.ox - view.cx) * s + view.w / 2, ty = view.h / 2 + (pic.oy - view.cy) * s;
  if (pic.raster) { // under the vectors, each of its cells as large as it now shows
    const ra = pic.raster, k = ra.cell * s;
    dc.setTransform(dpr, 0, 0, dpr, 0, 0);
    dc.imageSmoothingEnabled = k < 1;
    dc.drawImage(rasterCanvas(ra), (ra.left - view.cx) * s + view.w / 2,
                 view.h / 2 - (ra.top - view.cy) * s, ra.w * k, ra.h * k);
  }
  for (const pass of [0, 1]) { // the highlighted on top
    for (const g of pic.groups) {
      if (((g.flags & 1) !== 0) !== (pass === 1)) continue;
      const c = colour(g);
      dc.setTransform(dpr, 0, 0, dpr, 0, 0);
      dc.strokeStyle = dc.fillStyle = c;
      // A lineweight is as wide on the screen at every zoom; a polyline's width is in
      // drawing units, and such a polyline ends square and meets itself in mitred corners,
      // as in the SVG; other lines are round at both.
      const wide = g.width > 0 && !(g.flags & 8);
      dc.lineWidth = g.flags & 8 ? g.width : wide ? Math.max(1, g.width * s) : 1;
      dc.lineCap = wide ? 'butt' : 'round';
      dc.lineJoin = wide ? 'miter' : 'round';
      let dash = [];
      if (g.flags & 1) dash = [6, 4];
      else if (g.flags & 4) dash = [8, 4];
      else if (g.dashes.length) {
        dash = g.dashes.map((d) => Math.abs(d) * s);
        if (dash.every((d) => d < 2)) dash = []; // finer than the screen: solid
      }
      dc.setLineDash(dash);
      dc.beginPath();
      let start = 0;
      for (const e of g.ends) {
        const end = e & 0x3fffffff;
        // An area is filled on its own (with its holes, by the even-odd rule), so that
        // areas of one colour that overlap do not cancel each other.
        if ((g.flags & 2) && !(e & 0x40000000) && start > 0) { dc.fill('evenodd'); dc.beginPath(); }
        for (let i = start; i < end; ++i) {
          const x = tx + g.xy[2 * i] * s, y = ty - g.xy[2 * i + 1] * s;
          if (i === start) dc.moveTo(x, y); else dc.lineTo(x, y);
        }
        // A line of no length (a point's dot) draws nothing on a canvas: a hair longer
        // draws its round ends, as the SVG does.
        if (end - start === 2 && g.xy[2 * start] === g.xy[2 * start + 2] &&
            g.xy[2 * start + 1] === g.xy[2 * start + 3]) {
          dc.lineTo(tx + g.xy[2 * start] * s + 0.01, ty - g.xy[2 * start + 1] * s);
        }
        if (e & 0x80000000) dc.closePath();
        start = end;
      }
      if (g.flags & 2) dc.fill('evenodd'); else dc.stroke();
      for (let i = 0; i < g.circles.length; i += 3) {
        dc.beginPath();
        dc.arc(tx + g.circles[i] * s, ty - g.circles[i + 1] * s, Math.max(0.5, g.circles[i + 2] * s), 0, 2 * Math.PI);
        dc.stroke();
      }
      for (const t of g.texts) {
        const px = t.h * s;
        if (px < 2) continue;
        dc.save();
        dc.translate(tx + t.x * s, ty - t.y * s);
        dc.rotate(-t.rot);
        dc.scale(t.wf || 1, 1);
        dc.font = `${px}px sans-serif`;
        dc.textAlign = kAnchors[t.anchor] || 'start';
        dc.textBaseline = kBaselines[t.baseline] || 'alphabetic';
        dc.fillText(t.s, 0, 0);
        dc.restore();
      }
    }
  }
}

let fetching = null, again = false;
// Asks for the picture of the current view; the old one is redrawn at the new view
// meanwhile, so panning and zooming answer at once.
async function refresh() {
  if (fetching) { again = true; return fetching; }
  fetching = (async () => {
    do {
      again = false;
      const [x0, y1] = toWorld(0, 0), [x1, y0] = toWorld(view.w, view.h);
      try {
        const r = await api('api/picture', { x0, y0, x1, y1, pixel: pixel() });
        if (r.ok) {
          state.picture = parsePicture(await r.arrayBuffer());
          state.pictures++;
          $('info').textContent = T('%s entities in view').replace('%s', state.picture.entities);
          draw();
        }
      } catch (e) { $('info').textContent = 'picture: ' + e.message; }
    } while (again);
    fetching = null;
  })();
  return fetching;
}

async function loadDrawing() {
  const r = await api('api/drawing');
  if (!r.ok) return;
  const d = await r.json();
  if (!d) return;
  state.extents = d.extents;
  state.pickbox = d.pickbox;
  const table = $('layerTable');
  table.textContent = '';
  for (const l of d.layers) {
    const tr = document.createElement('tr');
    if (!l.on || l.frozen) tr.className = 'off';
    const sw = document.createElement('span');
    sw.className = 'swatch';
    sw.style.background = state.dark && l.color === '#000000' ? '#ffffff' : l.color; // colour 7
    const cells = [sw, l.name, T(l.on ? 'on' : 'off'), l.frozen ? T('frozen') : ''];
    for (const c of cells) {
      const td = document.createElement('td');
      if (typeof c === 'string') td.textContent = c; else td.appendChild(c);
      tr.appendChild(td);
    }
    table.appendChild(tr);
  }
  if (window.arxLayers) window.arxLayers.build(table, d.layers);
}

function zoomExtents() {
  const e = state.extents;
  if (!e) { view.cx = view.cy = 0; view.scale = 1; }
  else {
    const w = Math.max(e.x1 - e.x0, 1e-9), h = Math.max(e.y1 - e.y0, 1e-9);
    view.cx = (e.x0 + e.x1) / 2; view.cy = (e.y0 + e.y1) / 2;
    view.scale = 0.92 * Math.min(view.w / w, view.h / h);
  }
  draw(); refresh();
}

function resize() {
  const dpr = window.devicePixelRatio || 1;
  const r = $('stage').getBoundingClientRect();
  view.w = Math.max(1, r.width); view.h = Math.max(1, r.height);
  for (const c of [drawing, overlay]) { c.width = Math.round(view.w * dpr); c.height = Math.round(view.h * dpr); }
  draw();
  if (state.picture) refresh(); // the first picture waits for the extents
}

// --- the cursor ---------------------------------------------------------------------
const mouse = { x: -1, y: -1, inside: false, down: null, panning: null, space: false };

function drawOverlay() {
  const dpr = window.devicePixelRatio || 1;
  oc.setTransform(1, 0, 0, 1, 0, 0);
  oc.clearRect(0, 0, overlay.width, overlay.height);
  oc.setTransform(dpr, 0, 0, dpr, 0, 0);
  oc.strokeStyle = state.dark ? '#fff' : '#000';
  oc.lineWidth = 1;
  const d = mouse.down;
  if (d && d.drag && state.want === 'select') {
    const crossing = mouse.x < d.x;
    oc.setLineDash(crossing ? [5, 4] : []);
    oc.fillStyle = crossing ? 'rgba(60,200,90,0.15)' : 'rgba(70,120,255,0.15)';
    const x = Math.min(d.x, mouse.x), y = Math.min(d.y, mouse.y);
    oc.fillRect(x, y, Math.abs(mouse.x - d.x), Math.abs(mouse.y - d.y));
    oc.strokeRect(x + 0.5, y + 0.5, Math.abs(mouse.x - d.x), Math.abs(mouse.y - d.y));
    oc.setLineDash([]);
  }
  if (window.arxBands) window.arxBands.overlay(oc);
  if (!mouse.inside) return;
  const x = Math.round(mouse.x) + 0.5, y = Math.round(mouse.y) + 0.5;
  const box = state.pickbox;
  const wantsPoint = state.want === 'point' || state.want === 'select' || state.want === 'text';
  const wantsPick = state.want === 'entity' || state.want === 'select';
  oc.beginPath();
  if (wantsPoint) {
    const arm = state.want === 'select' ? 14 : 40;
    // The crosshair runs along the snap angle (snap.js).
    const a = window.tevSnap ? window.tevSnap.angle() : 0, c = Math.cos(a), s = -Math.sin(a);
    const line = (f, t) => { oc.moveTo(x + f * c, y + f * s); oc.lineTo(x + t * c, y + t * s);
                             oc.moveTo(x + f * s, y - f * c); oc.lineTo(x + t * s, y - t * c); };
    line(-arm, -(wantsPick ? box : 0)); line(wantsPick ? box : 0, arm);
  }
  if (wantsPick) oc.rect(x - box, y - box, 2 * box, 2 * box);
  oc.stroke();
  if (window.tevSnap) window.tevSnap.drawOverlay(oc);
}

function showCoords() {
  const [x, y] = toWorld(mouse.x, mouse.y);
  $('coords').textContent = `${fmt(x)}, ${fmt(y)}`;
}

// --- answers --------------------------------------------------------------------------
// Posts answers: ['L', text] a line, ['E'] Escape, ['P', aperture, point] a pick.
async function answer(items) {
  const q = new URLSearchParams();
  q.set('token', token);
  for (const it of items) {
    if (it[0] === 'E') q.append('a', 'E');
    else if (it[0] === 'L') q.append('a', 'L' + it[1]);
    else q.append('a', 'P' + it[1] + ' ' + it[2]);
  }
  await fetch('api/answer?' + q.toString(), { method: 'POST' });
  state.answered++;
}

function clickAt(sx, sy) {
  if (window.arxBands && window.arxBands.click(sx, sy)) return;
  const [x, y] = toWorld(sx, sy);
  const pt = `${fmt(x)},${fmt(y)}`;
  if (state.want === 'entity' || state.want === 'select')
    answer([['P', String(state.pickbox * pixel()), pt]]);
  else if (state.want === 'point') // picked: snaps, ortho and grid apply within the aperture
    answer([['P', String((window.tevSnap ? window.tevSnap.aperture() : state.pickbox) * pixel()), pt]]);
}

function dragAt(d, sx, sy) {
  const [x0, y0] = toWorld(d.x, d.y), [x1, y1] = toWorld(sx, sy);
  const mode = sx >= d.x ? 'W' : 'C'; // left to right: window; right to left: crossing
  answer([['L', mode], ['L', `${fmt(x0)},${fmt(y0)}`], ['L', `${fmt(x1)},${fmt(y1)}`]]);
}

// --- mouse ----------------------------------------------------------------------------
let lastMiddle = 0;
overlay.addEventListener('mousedown', (e) => {
  e.preventDefault();
  $('input').focus();
  if (e.button === 1 || (e.button === 0 && mouse.space)) {
    if (e.button === 1) {
      const now = performance.now();
      if (now - lastMiddle < 350) { zoomExtents(); lastMiddle = 0; return; }
      lastMiddle = now;
    }
    mouse.panning = { x: e.offsetX, y: e.offsetY, cx: view.cx, cy: view.cy };
    mouse.spacePanned = true;
  } else if (e.button === 0) {
    mouse.down = { x: e.offsetX, y: e.offsetY, drag: false };
  }
});
window.addEventListener('mousemove', (e) => {
  const r = overlay.getBoundingClientRect();
  mouse.x = e.clientX - r.left; mouse.y = e.clientY - r.top;
  mouse.inside = mouse.x >= 0 && mouse.y >= 0 && mouse.x < r.width && mouse.y < r.height;
  if (mouse.panning) {
    view.cx = mouse.panning.cx - (mouse.x - mouse.panning.x) / view.scale;
    view.cy = mouse.panning.cy + (mouse.y - mouse.panning.y) / view.scale;
    draw();
  }
  if (mouse.down && Math.hypot(mouse.x - mouse.down.x, mouse.y - mouse.down.y) > 4)
    mouse.down.drag = true;
  if (mouse.inside) showCoords();
  drawOverlay();
});
window.addEventListener('mouseup', (e) => {
  if (mouse.panning) { mouse.panning = null; refresh(); return; }
  const d = mouse.down;
  mouse.down = null;
  if (!d || e.button !== 0) return;
  const r = overlay.getBoundingClientRect();
  const sx = e.clientX - r.left, sy = e.clientY - r.top;
  if (d.drag && state.want === 'select') dragAt(d, sx, sy);
  else if (!d.drag) clickAt(sx, sy);
  drawOverlay();
});
overlay.addEventListener('mouseleave', () => { mouse.inside = false; drawOverlay(); });
overlay.addEventListener('wheel', (e) => {
  e.preventDefault();
  const [x, y] = toWorld(e.offsetX, e.offsetY);
  view.scale *= Math.pow(1.2, -Math.sign(e.deltaY));
  // the point under the cursor stays where it is
  view.cx = x - (e.offsetX - view.w / 2) / view.scale;
  view.cy = y + (e.offsetY - view.h / 2) / view.scale;
  draw(); refresh();
}, { passive: false });
overlay.addEventListener('auxclick', (e) => e.preventDefault());

// --- the command line ----------------------------------------------------------------
const history = [];
let historyAt = 0;
const input = $('input');
function submit() {
  const text = input.value;
  input.value = '';
  if (text && history[history.length - 1] !== text) history.push(text);
  historyAt = history.length;
  answer([['L', text]]);
}
input.addEventListener('keydown', (e) => {
  if (e.key === 'Enter') { e.preventDefault(); submit(); }
  else if (e.key === ' ' && !state.spaces) { e.preventDefault(); submit(); }
  else if (e.key === 'ArrowUp') {
    e.preventDefault();
    if (historyAt > 0) input.value = history[--historyAt];
  } else if (e.key === 'ArrowDown') {
    e.preventDefault();
    historyAt = Math.min(history.length, historyAt + 1);
    input.value = history[historyAt] || '';
  }
});
document.addEventListener('keydown', (e) => {
  if (e.key === 'Escape') { e.preventDefault(); input.value = ''; answer([['E']]); return; }
  if (e.key === ' ' && e.target !== input) {
    if (!e.repeat) { mouse.space = true; mouse.spacePanned = false; }
    e.preventDefault();
    return;
  }
  if (e.target !== input && e.key.length === 1 && !e.ctrlKey && !e.metaKey) input.focus();
});
// Space pressed and let go without panning is Space at the command line: it ends the answer.
document.addEventListener('keyup', (e) => {
  if (e.key !== ' ' || !mouse.space) return;
  mouse.space = false;
  if (!mouse.spacePanned) submit();
});
// Space held while the mouse is over the drawing pans rather than answers.
overlay.addEventListener('mouseenter', () => { if (document.activeElement === input && !input.value) input.blur(); });

$('extents').addEventListener('click', zoomExtents);
$('background').addEventListener('click', () => {
  state.dark = !state.dark;
  document.body.className = state.dark ? 'dark' : 'white';
  draw(); drawOverlay();
});

// --- following the session -----------------------------------------------------------
const kWantNames = { point: 'Point', entity: 'Pick an entity', select: 'Select objects' };
function showPrompt() {
  $('prompt').textContent = state.ended ? T('The session has ended.') : state.waiting ? state.prompt : '';
  $('want').textContent = state.waiting ? (kWantNames[state.want] ? T(kWantNames[state.want]) : '') : state.ended ? '' : T('Busy');
  drawOverlay();
}

async function follow() {
  let drawnFor = -1;
  for (;;) {
    let s;
    try {
      const r = await api('api/state', { since: state.version, from: state.from });
      if (!r.ok) throw new Error(String(r.status));
      s = await r.json();
    } catch (e) {
      $('want').textContent = T('No connection');
      await new Promise((res) => setTimeout(res, 1000));
      continue;
    }
    if (s.text) {
      const t = $('transcript');
      t.textContent += s.text;
      if (t.textContent.length > 200000) t.textContent = t.textContent.slice(-100000);
      t.scrollTop = t.scrollHeight;
    }
    Object.assign(state, { version: s.version, from: s.from, waiting: s.waiting, want: s.want,
                           prompt: s.prompt, spaces: s.spaces, ended: s.ended, band: s.band,
                           atCommand: s.atCommand });
    if (window.arxBands && window.arxBands.follow(s)) drawnFor = -1; // REGEN: all anew
    showPrompt();
    // Every new prompt follows whatever the answers before it changed.
    if (s.waiting && s.prompts !== drawnFor) {
      drawnFor = s.prompts;
      await loadDrawing();
      await refresh();
    }
    if (s.ended) return;
  }
}

window.tevView = { view, state, toScreen, toWorld, refresh, zoomExtents, token, mouse, answer, fmt,
                   draw, drawOverlay, loadDrawing, T };
// The stage's size follows the layout (the window, the layer list, the style sheet), not
// only the window's resize events.
new ResizeObserver(() => resize()).observe($('stage'));
(async () => {
  await loadTexts();
  resize();
  await loadDrawing();
  zoomExtents();
  await refresh();
  input.focus();
  follow();
})();
