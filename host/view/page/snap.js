// snap.js - the page's drafting aids: at a point prompt the server is asked where a click at
// the cursor would land (object snaps, ortho, polar, grid), and the snap's marker and name
// are shown there before the click; F3 (running snaps), F7 (grid), F8 (ortho), F9 (grid
// snap) and F10 (polar) toggle the settings through the command line, whose transcript
// says so. The crosshair and the grid follow the snap angle.
'use strict';

const snapAids = { osnap: true, ortho: false, polar: true, snap: false, grid: false, snapang: 0,
                   snapunit: [10, 10], snapbase: [0, 0], gridunit: [10, 10], aperture: 10 };
const tracked = { x: 0, y: 0, kind: '', valid: false, busy: false, again: false, version: -1 };

const kSnapNames = { END: 'Endpoint', MID: 'Midpoint', CEN: 'Center', NOD: 'Node',
                     QUA: 'Quadrant', INT: 'Intersection', INS: 'Insertion', PER: 'Perpendicular',
                     TAN: 'Tangent', NEA: 'Nearest', APP: 'Apparent intersection' };

const snapTip = document.createElement('div');
snapTip.id = 'snapTip';
Object.assign(snapTip.style, { position: 'absolute', pointerEvents: 'none', display: 'none',
                           font: '12px sans-serif', padding: '1px 4px', background: '#ffffe0',
                           color: '#000', border: '1px solid #888', zIndex: 5 });
document.getElementById('stage').appendChild(snapTip);

async function loadAids() {
  try {
    const r = await api('api/aids');
    if (r.ok) Object.assign(snapAids, await r.json());
  } catch (e) { /* kept as they were */ }
  drawOverlay();
}

const pointWanted = () => state.waiting && state.want === 'point';

// Asks where a click at the cursor lands; one request at a time, the latest cursor next.
async function trackCursor() {
  if (tracked.busy) { tracked.again = true; return; }
  tracked.busy = true;
  do {
    tracked.again = false;
    if (!pointWanted() || !mouse.inside) { tracked.valid = false; break; }
    const [x, y] = toWorld(mouse.x, mouse.y);
    try {
      const r = await api('api/track', { x, y, aperture: snapAids.aperture * pixel() });
      if (r.ok) Object.assign(tracked, await r.json(), { valid: true });
      else tracked.valid = false;
    } catch (e) { tracked.valid = false; }
  } while (tracked.again);
  tracked.busy = false;
  showTracked();
}

function showTracked() {
  drawOverlay();
  if (!tracked.valid || !tracked.kind || !pointWanted() || !mouse.inside) {
    snapTip.style.display = 'none';
    return;
  }
  const [sx, sy] = toScreen(tracked.x, tracked.y);
  snapTip.textContent = T(kSnapNames[tracked.kind] || tracked.kind);
  snapTip.style.left = `${Math.round(sx + 12)}px`;
  snapTip.style.top = `${Math.round(sy + 12)}px`;
  snapTip.style.display = 'block';
}

// The marker of a snap's kind at (x, y) on the screen.
function drawMarker(ctx, kind, x, y) {
  const s = 6;
  ctx.save();
  ctx.strokeStyle = '#ffb000';
  ctx.lineWidth = 2;
  ctx.setLineDash([]);
  ctx.beginPath();
  switch (kind) {
  case 'END': ctx.rect(x - s, y - s, 2 * s, 2 * s); break;
  case 'MID': ctx.moveTo(x, y - s); ctx.lineTo(x + s, y + s); ctx.lineTo(x - s, y + s); ctx.closePath(); break;
  case 'CEN': ctx.arc(x, y, s, 0, 2 * Math.PI); break;
  case 'QUA': ctx.moveTo(x, y - s); ctx.lineTo(x + s, y); ctx.lineTo(x, y + s); ctx.lineTo(x - s, y); ctx.closePath(); break;
  case 'NOD': ctx.arc(x, y, s, 0, 2 * Math.PI); ctx.moveTo(x - s, y - s); ctx.lineTo(x + s, y + s); ctx.moveTo(x + s, y - s); ctx.lineTo(x - s, y + s); break;
  case 'INS': ctx.rect(x - s, y - s, s, s); ctx.rect(x, y, s, s); break;
  case 'PER': ctx.moveTo(x - s, y - s); ctx.lineTo(x - s, y + s); ctx.lineTo(x + s, y + s); ctx.moveTo(x - s, y); ctx.lineTo(x, y); ctx.lineTo(x, y + s); break;
  case 'TAN': ctx.arc(x, y, s, 0, 2 * Math.PI); ctx.moveTo(x - s, y - s); ctx.lineTo(x + s, y - s); break;
  case 'NEA': ctx.moveTo(x - s, y - s); ctx.lineTo(x + s, y - s); ctx.lineTo(x - s, y + s); ctx.lineTo(x + s, y + s); ctx.closePath(); break;
  case 'APP': ctx.rect(x - s, y - s, 2 * s, 2 * s); // the crossing inside its box
  // falls through
  case 'INT': ctx.moveTo(x - s, y - s); ctx.lineTo(x + s, y + s); ctx.moveTo(x + s, y - s); ctx.lineTo(x - s, y + s); break;
  default: ctx.moveTo(x - 3, y - 3); ctx.lineTo(x + 3, y + 3); ctx.moveTo(x + 3, y - 3); ctx.lineTo(x - 3, y + 3); // ortho, polar, grid
  }
  ctx.stroke();
  ctx.restore();
}

// The grid's dots, GRIDUNIT apart (SNAPUNIT where it is 0) from SNAPBASE along SNAPANG,
// while they are at least 8 pixels apart.
function drawGrid(ctx) {
  const gx = snapAids.gridunit[0] || snapAids.snapunit[0], gy = snapAids.gridunit[1] || snapAids.snapunit[1];
  if (!(gx * view.scale >= 8 && gy * view.scale >= 8)) return;
  const a = snapAids.snapang, c = Math.cos(a), s = Math.sin(a);
  const [bx, by] = snapAids.snapbase;
  // The view's corners in the grid's own axes give the range of nodes to draw.
  const corners = [toWorld(0, 0), toWorld(view.w, 0), toWorld(0, view.h), toWorld(view.w, view.h)]
    .map(([x, y]) => [((x - bx) * c + (y - by) * s) / gx, (-(x - bx) * s + (y - by) * c) / gy]);
  const lo = [0, 1].map((k) => Math.floor(Math.min(...corners.map((p) => p[k]))));
  const hi = [0, 1].map((k) => Math.ceil(Math.max(...corners.map((p) => p[k]))));
  if ((hi[0] - lo[0]) * (hi[1] - lo[1]) > 40000) return;
  ctx.save();
  ctx.fillStyle = state.dark ? 'rgba(255,255,255,0.35)' : 'rgba(0,0,0,0.35)';
  for (let i = lo[0]; i <= hi[0]; ++i)
    for (let j = lo[1]; j <= hi[1]; ++j) {
      const u = i * gx, v = j * gy;
      const [sx, sy] = toScreen(bx + u * c - v * s, by + u * s + v * c);
      ctx.fillRect(Math.round(sx), Math.round(sy), 1, 1);
    }
  ctx.restore();
}

// Called by the page after it draws its overlay.
function drawSnapOverlay(ctx) {
  if (snapAids.grid) drawGrid(ctx);
  if (!tracked.valid || !pointWanted() || !mouse.inside) return;
  const [sx, sy] = toScreen(tracked.x, tracked.y);
  if (tracked.kind || Math.hypot(sx - mouse.x, sy - mouse.y) >= 1)
    drawMarker(ctx, tracked.kind, sx, sy);
}

async function toggleAid(what) {
  try {
    const r = await api('api/toggle', { what }, 'POST');
    if (r.ok) Object.assign(snapAids, await r.json());
  } catch (e) { /* the transcript tells */ }
  drawOverlay();
  trackCursor();
}

const kAidKeys = { F3: 'osnap', F7: 'grid', F8: 'ortho', F9: 'snap', F10: 'polar' };
document.addEventListener('keydown', (e) => {
  const what = kAidKeys[e.key];
  if (!what) return;
  e.preventDefault();
  toggleAid(what);
});

window.addEventListener('mousemove', () => {
  if (state.waiting && state.version !== tracked.version) { // settings may have changed since
    tracked.version = state.version;
    loadAids();
  }
  trackCursor();
});

window.tevSnap = {
  aids: snapAids, tracked, drawOverlay: drawSnapOverlay, toggle: toggleAid, loadAids,
  angle: () => snapAids.snapang,
  aperture: () => snapAids.aperture,
};
loadAids();
