// measure.js - the live view's speed through headless Chromium on a big drawing: the first
// picture after the page loads, a pan and a zoom redrawn, a click answered, and where a
// click would land (object snaps) tracked.
// Usage: node measure.js ARXHOST DRAWING [RUNS]   (from bench/view/run.sh)
'use strict';
const path = require('node:path');
const h = require(path.resolve(__dirname, '../../tests/view/harness.js'));

const [arxhost, drawing, runsArg] = process.argv.slice(2);
const runs = Number(runsArg || 10);
process.env.ARXHOST = arxhost;

// The CPU time arxhost has used (user + system, ms): on a shared machine the server's own
// cost, whatever the load makes of the wall time. Linux only (null elsewhere).
const fs = require('node:fs');
const cpuMs = (pid) => {
  try {
    const f = fs.readFileSync(`/proc/${pid}/stat`, 'utf8').split(') ')[1].split(' ');
    return (Number(f[11]) + Number(f[12])) * 10; // clock ticks of 10 ms
  } catch { return null; }
};
const median = (a) => { const s = [...a].sort((x, y) => x - y); return s[Math.floor(s.length / 2)]; };
const fmt = (a) => `median ${median(a).toFixed(1)} ms, min ${Math.min(...a).toFixed(1)}, max ${Math.max(...a).toFixed(1)} (${a.length} runs)`;

(async () => {
  const t0 = Date.now();
  const host = await h.startHost(drawing);
  console.log(`arxhost read the drawing and listens after ${((Date.now() - t0) / 1000).toFixed(2)} s`);
  const { browser, close } = await h.openBrowser();
  try {
    const first = [], firstCpu = [];
    let page;
    for (let i = 0; i < Math.min(runs, 5); ++i) {
      if (page) await page.close();
      page = await browser.newPage();
      await page.setViewport({ width: 1280, height: 800 });
      const start = Date.now(), cpu0 = cpuMs(host.child.pid);
      await page.goto(host.url);
      await page.waitForFunction(() => window.tevView && window.tevView.state.pictures > 0, { polling: 'raf', timeout: 60000 });
      first.push(Date.now() - start);
      firstCpu.push(cpuMs(host.child.pid) - cpu0);
    }
    const inView = await page.evaluate(() => window.tevView.state.picture.entities);
    console.log(`first picture after loading the page: ${fmt(first)}; ${inView} entities at extents`);
    console.log(`  arxhost's CPU for it: first page ${firstCpu[0]} ms, later pages ${fmt(firstCpu.slice(1).length ? firstCpu.slice(1) : [0])}`);

    // Zoomed in to a working scale (about 1/50 of the extents across), then panned and zoomed.
    await page.evaluate(() => { const v = window.tevView.view; v.scale *= 50; return window.tevView.refresh(); });
    const inWork = await page.evaluate(() => window.tevView.state.picture.entities);
    const timed = (fn) => page.evaluate(async (src) => {
      const v = window.tevView.view;
      const step = new Function('v', src);
      const t = performance.now();
      step(v);
      await window.tevView.refresh();
      return performance.now() - t;
    }, fn);
    const pans = [], zooms = [], panOut = [];
    for (let i = 0; i < runs; ++i) pans.push(await timed('v.cx += 200 / v.scale;'));
    for (let i = 0; i < runs; ++i) zooms.push(await timed(i % 2 ? 'v.scale *= 1.2;' : 'v.scale /= 1.2;'));
    await page.evaluate(() => { window.tevView.view.scale /= 50; return window.tevView.refresh(); });
    const panCpu0 = cpuMs(host.child.pid);
    for (let i = 0; i < runs; ++i) panOut.push(await timed('v.cx += 200 / v.scale;'));
    const panCpu = (cpuMs(host.child.pid) - panCpu0) / runs;
    console.log(`pan redrawn (working zoom, ~${inWork} entities in view): ${fmt(pans)}`);
    console.log(`zoom redrawn (working zoom): ${fmt(zooms)}`);
    console.log(`pan redrawn (whole drawing in view): ${fmt(panOut)}; arxhost's CPU ${panCpu.toFixed(0)} ms a pan`);

    // A click answered: at a point prompt (the host's own LINE), from the click to the
    // transcript showing the point.
    await page.evaluate(() => { window.tevView.view.scale *= 50; return window.tevView.refresh(); });
    await h.type(page, 'LINE');
    const clicks = [], inPage = [];
    for (let i = 0; i < runs; ++i) {
      await h.waitWant(page, 'point');
      const before = await page.$eval('#transcript', (e) => e.textContent.length);
      // In the page: from the button's release to the transcript showing the answer.
      await page.evaluate(() => {
        window.__click = {};
        window.addEventListener('mouseup', () => { window.__click.up = performance.now(); }, { once: true, capture: true });
        const t = document.getElementById('transcript');
        const o = new MutationObserver(() => { window.__click.shown = performance.now(); o.disconnect(); });
        o.observe(t, { childList: true, characterData: true, subtree: true });
      });
      const box = await (await page.$('#overlay')).boundingBox();
      const start = Date.now();
      await page.mouse.click(box.x + 300 + 20 * i, box.y + 300);
      await page.waitForFunction((n) => document.getElementById('transcript').textContent.length > n, { polling: 'mutation' }, before);
      clicks.push(Date.now() - start);
      inPage.push(await page.evaluate(() => window.__click.shown - window.__click.up));
    }
    // Tracking: where a click at the cursor would land (running object snaps over what is
    // near it, from the prompt's base point), the page's request to its answer, at positions
    // across the working view; with the default snaps, then with every kind on.
    const trackAt = () => page.evaluate(async (n) => {
      const times = [];
      let found = 0;
      // Beside the vertices the picture shows (3 pixels off), where snaps are to be found.
      const pic = state.picture, pts = [];
      for (const g of pic.groups)
        for (let k = 0; k + 1 < g.xy.length; k += 2) pts.push([pic.ox + g.xy[k], pic.oy + g.xy[k + 1]]);
      for (let i = 0; i < n; ++i) {
        const [px, py] = pts[Math.floor((i * pts.length) / n)];
        const x = px + 3 * pixel(), y = py - 2 * pixel();
        const t = performance.now();
        const r = await (await api('api/track', { x, y, aperture: 10 * pixel() })).json();
        times.push(performance.now() - t);
        if (r.kind) ++found;
      }
      return { times, found };
    }, Math.max(runs, 20));
    const tracked = await trackAt();
    await page.keyboard.press('Escape');
    await h.waitWant(page, 'text');
    await h.type(page, 'OSMODE');
    await h.type(page, '3071');
    await h.type(page, 'LINE');
    await h.waitWant(page, 'point');
    await h.type(page, '0,0');
    await h.waitWant(page, 'point');
    const trackedAll = await trackAt();
    console.log(`snap tracked (OSMODE 4133, working zoom): ${fmt(tracked.times)}; ${tracked.found} found a snap`);
    console.log(`snap tracked (every kind on, OSMODE 3071): ${fmt(trackedAll.times)}; ${trackedAll.found} found a snap`);
    await page.keyboard.press('Escape');
    console.log(`click answered, in the page (release to transcript): ${fmt(inPage)}`);
    console.log(`click answered, from puppeteer's click (adds the DevTools round trips): ${fmt(clicks)}`);
    await h.type(page, 'QUIT');
  } finally {
    await close();
    host.child.kill();
  }
})().catch((e) => { console.error(e); process.exit(1); });
