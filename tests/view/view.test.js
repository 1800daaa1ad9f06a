// view.test.js - journeys through the live view in a real browser: the sample plan is
// answered by clicks, drags and the page's own command line, and the results are checked
// in the transcript, in the page's pixels, and in the saved drawing (read by ezdxf).
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const http = require('node:http');
const h = require('./harness.js');

const shots = process.env.SHOT_DIR || os.tmpdir();
let host, browser, closeBrowser, page;

before(async () => {
  host = await h.startHost();
  ({ browser, close: closeBrowser } = await h.openBrowser());
  page = await h.openPage(browser, host);
});

after(async () => {
  if (process.env.VIEW_DEBUG) console.log(await page.$eval('#transcript', (e) => e.textContent));
  if (closeBrowser) await closeBrowser();
  if (host && host.child.exitCode === null) host.child.kill();
});

// Whether some pixel near the drawing point (x, y) has the colour test.
async function pixelNear(x, y, isColour) {
  const [sx, sy] = await page.evaluate((x, y) => window.tevView.toScreen(x, y), x, y);
  const px = await page.evaluate((sx, sy) => {
    const c = document.getElementById('drawing');
    const dpr = window.devicePixelRatio || 1;
    return Array.from(c.getContext('2d').getImageData(Math.round(sx * dpr) - 3, Math.round(sy * dpr) - 3, 7, 7).data);
  }, sx, sy);
  for (let i = 0; i < px.length; i += 4) if (isColour(px[i], px[i + 1], px[i + 2])) return true;
  return false;
}
const red = (r, g, b) => r > 200 && r - g > 60 && r - b > 60; // thin lines blend with what is under them

test('En answered by a click on a wall lists that wall', async () => {
  await h.type(page, 'En');
  await h.waitWant(page, 'entity');
  await h.clickAt(page, 5000, 2500); // the wall line from (5000,0) up
  const t = await h.transcriptMatches(page, /\(0 \. "LINE"\)[\s\S]*\(8 \. "WALLS"\)[\s\S]*\(10 5000\.000 0\.000/);
  assert.doesNotMatch(t, /LWPOLYLINE/); // the outer wall was not taken instead
  await page.keyboard.press('Escape'); // whatever En still asks
  await h.waitWant(page, 'text');
});

test('Sel with a window drag recolours what the window holds, and the page shows it', async () => {
  assert.equal(await pixelNear(2500, 8000, red), false, 'the window line starts blue');
  await h.type(page, 'Sel');
  await h.waitWant(page, 'entity');
  await h.clickAt(page, 700, 700); // the red text gives the colour
  await h.waitWant(page, 'select');
  const [ax, ay] = await h.screenOf(page, 1300, 8250), [bx, by] = await h.screenOf(page, 3700, 7700);
  await page.mouse.move(ax, ay);
  await page.mouse.down();
  await page.mouse.move(bx, by, { steps: 5 });
  await page.mouse.up();
  await h.transcriptMatches(page, /1 found/);
  // While the command waits, its selection is drawn highlighted.
  await page.waitForFunction(() => window.tevView.state.picture.groups.some((g) => g.flags & 1));
  await page.keyboard.press('Enter'); // ends this selection: it is recoloured
  await h.waitWant(page, 'select');
  await page.keyboard.press('Enter'); // an empty selection ends Sel
  await h.waitWant(page, 'text');
  await page.waitForFunction(() => !window.tevView.state.picture.groups.some((g) => g.flags & 1));
  await page.screenshot({ path: path.join(shots, 'view.png') });
  assert.ok(await pixelNear(2500, 8000, red), 'the window line is drawn red');
});

test('Lp drawn by clicks gives the lines of the typed script; Escape cancels; the save is clean', async () => {
  // A view where a pixel is 20 drawing units and the script's points fall on whole screen
  // pixels (the browser reports clicks in whole pixels).
  await page.evaluate(() => {
    const v = window.tevView.view, r = document.getElementById('overlay').getBoundingClientRect();
    const frac = (a) => a - Math.floor(a);
    v.scale = 0.05;
    v.cx = 12900 + frac(r.left + v.w / 2) / v.scale;
    v.cy = 4500 - frac(r.top + v.h / 2) / v.scale;
    window.tevView.refresh();
  });
  const points = [[12500, 0], [13500, 4500], [13800, 1000], [12500, 8000], [12000, 9000]];
  await h.type(page, 'Lp');
  await h.waitWant(page, 'point');
  await h.clickAt(page, ...points[0]);
  await h.transcriptMatches(page, /Lp\n\n.*12500,0\n/);
  await page.keyboard.press('Escape');
  await h.transcriptMatches(page, /Lp[\s\S]*\*Cancel\*/);
  await h.waitWant(page, 'text');
  await h.type(page, 'Lp');
  for (const [i, p] of points.entries()) {
    await page.waitForFunction((n) => window.tevView.state.waiting && window.tevView.state.want === 'point' &&
      (document.getElementById('transcript').textContent.split('Command: Lp').pop().match(/\d,\d/g) || []).length === n, {}, i)
      .catch(async (e) => {
        const st = await page.evaluate(() => JSON.stringify({ ...window.tevView.state, picture: undefined }));
        throw new Error(`${e.message} before click ${i}; the page's state: ${st}`);
      });
    await h.clickAt(page, ...p);
  }
  await h.transcriptMatches(page, /12000,9000\n/);
  await h.waitWant(page, 'point');
  await page.keyboard.press('Enter');
  await h.waitWant(page, 'text');
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tev-view-save-'));
  const clicked = path.join(dir, 'clicked.dxf'), typed = path.join(dir, 'typed.dxf');
  await h.type(page, 'SAVE');
  await h.type(page, clicked);
  await h.transcriptMatches(page, /Drawing saved to .*clicked\.dxf/);
  const script = path.join(dir, 'lp.scr');
  fs.writeFileSync(script, 'Lp\n' + points.map((p) => p.join(',')).join('\n') + '\n\nQUIT\n');
  execFileSync(h.arxhost, ['--lang', 'en', '--script', script, '--output', typed, h.sample]);
  const lines = (file) => JSON.parse(execFileSync('/usr/bin/python3', ['-c', `
import ezdxf, json, sys
doc = ezdxf.readfile(sys.argv[1])
auditor = doc.audit()
assert not auditor.has_errors and not auditor.has_fixes, [str(e.message) for e in auditor.errors + auditor.fixes]
print(json.dumps(sorted([round(c, 6) for c in (*e.dxf.start.vec2, *e.dxf.end.vec2)] for e in doc.modelspace().query('LINE'))))
`, file]).toString());
  const fromClicks = lines(clicked), fromScript = lines(typed);
  assert.ok(fromScript.length > 7, 'the script drew lines');
  assert.deepEqual(fromClicks, fromScript);
  fs.rmSync(dir, { recursive: true, force: true });
});

// A raw request to the view, with the headers given.
function request(pathAndQuery, headers = {}) {
  const u = new URL(host.url);
  return new Promise((resolve, reject) => {
    http.get({ host: u.hostname, port: u.port, path: pathAndQuery, headers }, (res) => {
      res.resume();
      resolve(res.statusCode);
    }).on('error', reject);
  });
}

test('requests without the token, or from another site, are refused', async () => {
  const u = new URL(host.url);
  const token = u.searchParams.get('token');
  const own = `${u.hostname}:${u.port}`;
  const cases = [
    ['/api/layers', {}, 403], // no token
    [`/api/drawing?token=${token.replace(/.$/, (c) => (c === '0' ? '1' : '0'))}`, {}, 403],
    [`/api/drawing?token=${token}`, { Origin: 'http://evil.example' }, 403],
    [`/api/drawing?token=${token}`, { Host: `evil.example:${u.port}` }, 403],
    [`/api/drawing?token=${token}`, { Origin: `http://${own}` }, 200],
  ];
  for (const [p, headers, status] of cases)
    assert.equal(await request(p, headers), status, `${p} ${JSON.stringify(headers)}`);
  // And a page of another site cannot post an answer through the browser.
  const other = await browser.newPage();
  await other.goto('data:text/html,<p>elsewhere</p>');
  const before = await page.$eval('#transcript', (e) => e.textContent.length);
  const status = await other.evaluate(async (url) => {
    try { const r = await fetch(url, { method: 'POST', mode: 'no-cors' }); return r.type; } catch (e) { return 'failed'; }
  }, `http://${own}/api/answer?token=${token}&a=LQUIT`);
  assert.ok(status === 'opaque' || status === 'failed');
  await new Promise((r) => setTimeout(r, 300));
  assert.equal(await page.$eval('#transcript', (e) => e.textContent.length), before, 'nothing reached the command line');
  await other.close();
  assert.deepEqual(page.errors, []);
});

test('the page speaks the host\'s language', async () => {
  const ru = await h.startHost(h.sample, [], 'ru');
  try {
    const p = await h.openPage(browser, ru);
    const words = await p.evaluate(() => ['#layers h2', '#extents', '#want', '#info'].map((s) => document.querySelector(s).textContent));
    assert.deepEqual(words.slice(0, 3), ['Слои', 'Границы', '']);
    assert.match(words[3], /^Примитивов в виде: \d+$/);
    await h.type(p, 'Sel');
    await p.waitForFunction(() => document.getElementById('want').textContent === 'Выбор примитива');
    await p.close();
  } finally {
    ru.child.kill();
  }
});

test('QUIT typed in the page ends the session and arxhost exits cleanly', async () => {
  await h.type(page, 'QUIT');
  const code = await Promise.race([host.exited, new Promise((r) => setTimeout(() => r('still running'), 30000))]);
  assert.equal(code, 0, host.output());
});
