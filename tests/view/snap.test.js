// snap.test.js - the drafting aids in a real browser: hovering at a point prompt shows the
// object snap's marker and name where a click will land, the click lands there, and F8 keeps
// a picked point on the axes turned by the snap angle that Nor set.
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const h = require('./harness.js');

const shots = process.env.SHOT_DIR || os.tmpdir();
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

// Whether the overlay shows the marker's colour on the square around the screen point.
async function markerAt(sx, sy) {
  return page.evaluate((sx, sy) => {
    const c = document.getElementById('overlay'), dpr = window.devicePixelRatio || 1;
    const r = c.getBoundingClientRect();
    const x = Math.round((sx - r.left) * dpr), y = Math.round((sy - r.top) * dpr), s = Math.round(6 * dpr);
    const px = c.getContext('2d').getImageData(x - s - 2, y - 2, 5, 5).data; // its left side
    for (let i = 0; i < px.length; i += 4) if (px[i] > 200 && px[i + 1] > 120 && px[i + 1] < 220 && px[i + 2] < 80) return true;
    return false;
  }, sx, sy);
}

test('hover shows the endpoint marker and its name, and the click lands on it', async () => {
  await h.type(page, 'ID');
  await h.waitWant(page, 'point');
  const [sx, sy] = await h.screenOf(page, 8500, 4500); // where two walls meet
  await page.mouse.move(sx + 4, sy - 3);
  await page.waitForFunction(() => window.tevSnap.tracked.valid && window.tevSnap.tracked.kind === 'END', { timeout: 10000 });
  assert.deepEqual(await page.evaluate(() => [window.tevSnap.tracked.x, window.tevSnap.tracked.y]), [8500, 4500]);
  assert.equal(await page.$eval('#snapTip', (e) => [e.style.display, e.textContent].join(' ')), 'block Endpoint');
  assert.ok(await markerAt(sx, sy), 'the square of an endpoint is drawn around it');
  await page.screenshot({ path: path.join(shots, 'view-snap.png') });
  await page.mouse.click(sx + 4, sy - 3);
  await h.transcriptMatches(page, /X = 8500\.0000\s+Y = 4500\.0000/);
});

test('F8 under a 30 degree snap angle keeps the picked point on the turned axes', async () => {
  await h.waitWant(page, 'text');
  await h.type(page, 'Nor');
  await h.type(page, '30');
  await h.waitWant(page, 'text');
  await h.type(page, 'LINE');
  await h.waitWant(page, 'point');
  await page.keyboard.press('F3'); // no running snaps: the points are in the open
  await h.transcriptMatches(page, /<Osnap off>/);
  await page.mouse.move(0, 0); // the aids are read again for the prompt
  await page.waitForFunction(() => Math.abs(window.tevSnap.angle() - Math.PI / 6) < 1e-9, { timeout: 10000 });
  await h.clickAt(page, 2500, 2000);
  await h.waitWant(page, 'point');
  await page.keyboard.press('F8');
  await h.transcriptMatches(page, /<Ortho on>/);
  await h.clickAt(page, 4000, 2600);
  await h.transcriptMatches(page, /<Ortho on>[\s\S]*: [-\d.]+,[-\d.]+\n/).catch(async (e) => {
    console.log(await page.$eval('#transcript', (t) => t.textContent.slice(-600)));
    throw e;
  });
  await page.keyboard.press('Enter');
  await h.waitWant(page, 'text');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tev-snap-'));
  const file = path.join(dir, 'ortho.dxf');
  await h.type(page, 'SAVE');
  await h.type(page, file);
  await h.transcriptMatches(page, /Drawing saved to .*ortho\.dxf/);
  const angle = Number(execFileSync('/usr/bin/python3', ['-c', `
import ezdxf, math, sys
line = list(ezdxf.readfile(sys.argv[1]).modelspace().query('LINE'))[-1]
d = line.dxf.end - line.dxf.start
print(math.degrees(math.atan2(d.y, d.x)) % 90)
`, file]).toString());
  assert.ok(Math.abs(angle - 30) < 1e-6, `the line runs at ${angle} degrees off an axis`);
  fs.rmSync(dir, { recursive: true, force: true });
});
