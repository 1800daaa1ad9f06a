// drafting.test.js - the drafting aids of the live view on the sample plan: LINE's rubber band
// drawn to the cursor, hover and the window begun by a click on empty space at "Select
// objects:", ZOOM typed moving the page's view, and the layer panel turning a layer off.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const h = require('./harness.js');

let host, browser, closeBrowser, page;

before(async () => {
  host = await h.startHost();
  ({ browser, close: closeBrowser } = await h.openBrowser());
  page = await h.openPage(browser, host);
});

after(async () => {
  if (closeBrowser) await closeBrowser();
  if (host && host.child.exitCode === null) host.child.kill();
});

// Whether a canvas ('overlay' or 'drawing') has a pixel near the drawing point (x, y) that
// passes isColour (any ink by default).
async function inkNear(canvas, x, y, isColour = (r, g, b, a) => a > 0) {
  const [sx, sy] = await page.evaluate((x, y) => window.tevView.toScreen(x, y), x, y);
  const px = await page.evaluate((id, sx, sy) => {
    const dpr = window.devicePixelRatio || 1;
    return Array.from(document.getElementById(id).getContext('2d')
      .getImageData(Math.round(sx * dpr) - 2, Math.round(sy * dpr) - 2, 5, 5).data);
  }, canvas, sx, sy);
  for (let i = 0; i < px.length; i += 4) if (isColour(px[i], px[i + 1], px[i + 2], px[i + 3])) return true;
  return false;
}
const blue = (r, g, b) => b > 150 && r < 120 && g < 120; // the lines on WINDOWS are blue

// Whether check() comes true within 10 s.
async function eventually(check) {
  for (let i = 0; i < 50; ++i) {
    if (await check()) return true;
    await new Promise((r) => setTimeout(r, 200));
  }
  return false;
}

async function moveTo(x, y) {
  const [sx, sy] = await h.screenOf(page, x, y);
  await page.mouse.move(sx, sy, { steps: 3 });
}

test('LINE draws its rubber band from the last point to the cursor', async () => {
  await h.type(page, 'LINE');
  await h.waitWant(page, 'point');
  await moveTo(4000, 6000);
  assert.equal(await inkNear('overlay', 3000, 4000), false, 'no band before the first point');
  await h.clickAt(page, 2000, 2000);
  await page.waitForFunction(() => { const b = window.tevView.state.band; return b && b.kind === 'line' && Math.abs(b.x - 2000) < 30; });
  await moveTo(4000, 6000);
  assert.ok(await eventually(() => inkNear('overlay', 3000, 4000)), 'the band passes halfway to the cursor');
  await page.keyboard.press('Escape');
  await h.waitWant(page, 'text');
  assert.equal(await page.evaluate(() => window.tevView.state.band), null);
});

test("Lp's band takes the corner the command will take for each side", async () => {
  const cases = [[[10, 5], [8, 1], [10, 0]], [[10, 5], [2, 4], [0, 5]], [[10, 5], [-4, -1], [0, 5]],
    [[10, 5], [20, 10], [0, 5]], [[10, 5], [5, 0], [0, 5]], [[-10, 5], [5, 0], [-10, 0]]];
  for (const [n, side, want] of cases)
    assert.deepEqual(await page.evaluate((n, s) => window.arxBands.corner([0, 0], n, s), n, side), want, `N ${n}, side ${side}`);
});

test('at Select objects hover shows the wall a click would pick, and a click on empty space begins a window', async () => {
  await h.type(page, 'ERASE');
  await h.waitWant(page, 'select');
  await moveTo(5000, 1000); // on the wall from (5000,0) up
  assert.ok(await eventually(() => inkNear('overlay', 5000, 3000)), 'the wall is highlighted away from the cursor');
  await h.clickAt(page, 1300, 8250); // outside every wall
  await moveTo(3700, 7700);
  await h.clickAt(page, 3700, 7700);
  await h.transcriptMatches(page, /Select objects: W\n[\s\S]*opposite corner: [^\n]*\n1 found/);
  await page.keyboard.press('Escape');
  await h.waitWant(page, 'text');
});

test('ZOOM typed in the page moves the page\'s view', async () => {
  await h.type(page, 'ZOOM W 0,0 6000,4000');
  await page.waitForFunction(() => { const v = window.tevView.view; return Math.abs(v.cx - 3000) < 1e-6 && Math.abs(v.cy - 2000) < 1e-6; });
  await h.type(page, 'ZOOM E');
  await page.waitForFunction(() => Math.abs(window.tevView.view.cx - 6000) < 1e-6);
});

test('the layer panel turns a layer off: its entities leave the picture and windows', async () => {
  await h.type(page, 'ZOOM W -1000,-1000 13000,9000'); // the walls inside the view's edges
  await page.waitForFunction(() => Math.abs(window.tevView.view.cy - 4000) < 1e-6);
  await h.waitWant(page, 'text');
  assert.ok(await eventually(() => inkNear('drawing', 2500, 8000, blue)), 'the window line is drawn');
  await page.click('#layerTable tr[data-layer="WINDOWS"] td:nth-child(3) button');
  await h.transcriptMatches(page, /-LAYER\n[\s\S]*OFF\n[\s\S]*WINDOWS\n/);
  await page.waitForFunction(() => document.querySelector('#layerTable tr[data-layer="WINDOWS"]').className.includes('off'));
  await h.waitWant(page, 'text');
  assert.ok(await eventually(async () => !(await inkNear('drawing', 2500, 8000, blue))), 'the window line is gone');
  await h.type(page, 'ERASE');
  await h.waitWant(page, 'select');
  await h.clickAt(page, 1300, 8250);
  await h.clickAt(page, 3700, 7700);
  await h.transcriptMatches(page, /Select objects: W\n[\s\S]*opposite corner: [^\n]*\n0 found/);
  await page.keyboard.press('Escape');
  await h.waitWant(page, 'text');
  assert.deepEqual(page.errors, []);
});
