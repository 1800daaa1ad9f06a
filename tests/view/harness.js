// harness.js - runs arxhost with the view on a drawing and a headless Chromium on its page.
'use strict';
const { spawn } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const puppeteer = require('puppeteer-core');

const arxhost = process.env.ARXHOST || path.resolve(__dirname, '../../build/default/bin/arxhost');
const sample = process.env.PLAN || path.resolve(__dirname, '../../examples/plan.dxf');

// Starts arxhost --view on drawing; resolves once it prints the page's address.
function startHost(drawing = sample, extra = [], lang = 'en') {
  const child = spawn(arxhost, ['--lang', lang, '--view', '0', drawing, ...extra], { stdio: ['pipe', 'pipe', 'pipe'] });
  let out = '';
  child.stdout.on('data', (d) => { out += d; });
  child.stderr.on('data', (d) => { out += d; });
  return new Promise((resolve, reject) => {
    // a drawing of a million entities on a loaded machine takes its time to read and index
    const timer = setTimeout(() => reject(new Error('arxhost printed no address:\n' + out)), 120000);
    const check = () => {
      const m = out.match(/View: (http:\/\/\S+)/);
      if (m) {
        clearTimeout(timer);
        child.stdout.off('data', check);
        resolve({ child, url: m[1], output: () => out, exited: new Promise((r) => child.on('exit', r)) });
      }
    };
    child.stdout.on('data', check);
    child.on('exit', (code) => reject(new Error(`arxhost ended (${code}):\n${out}`)));
  });
}

async function openBrowser() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'tev-view-'));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           `--user-data-dir=${profile}`],
  });
  return { browser, close: async () => { await browser.close(); fs.rmSync(profile, { recursive: true, force: true }); } };
}

// The page of host, loaded and showing its first picture.
async function openPage(browser, host) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1100, height: 750 });
  const errors = [];
  page.on('pageerror', (e) => errors.push(e.message));
  await page.goto(host.url);
  await page.waitForFunction(() => window.tevView && window.tevView.state.pictures > 0, { timeout: 60000 });
  page.errors = errors;
  // The page's idea of its drawing area is the area laid out (clicks are placed by it).
  const [size, box] = await Promise.all([page.evaluate(() => [window.tevView.view.w, window.tevView.view.h]),
    page.$('#overlay').then((o) => o.boundingBox())]);
  if (Math.abs(size[0] - box.width) > 1 || Math.abs(size[1] - box.height) > 1)
    throw new Error(`the page takes its drawing area as ${size} while it is laid out ${box.width},${box.height}`);
  return page;
}

// Waits until the page's transcript matches re (a RegExp); returns the transcript.
async function transcriptMatches(page, re, timeout = 30000) {
  await page.waitForFunction((src, flags) => new RegExp(src, flags).test(document.getElementById('transcript').textContent),
    { timeout }, re.source, re.flags);
  return page.$eval('#transcript', (e) => e.textContent);
}

// Waits until the prompt waits for want ('text', 'point', 'entity', 'select').
async function waitWant(page, want) {
  await page.waitForFunction((w) => { const s = window.tevView.state; return s.waiting && s.want === w; },
    { timeout: 30000 }, want);
}

// Types a line into the page's command line.
async function type(page, text) {
  await page.focus('#input');
  await page.keyboard.type(text);
  await page.keyboard.press('Enter');
}

// The page's pixel (CSS coordinates within the drawing) of a drawing point.
async function screenOf(page, x, y) {
  const [sx, sy] = await page.evaluate((x, y) => window.tevView.toScreen(x, y), x, y);
  const box = await (await page.$('#overlay')).boundingBox();
  return [box.x + sx, box.y + sy];
}

async function clickAt(page, x, y) {
  const [sx, sy] = await screenOf(page, x, y);
  await page.mouse.click(sx, sy);
}

module.exports = { startHost, openBrowser, openPage, transcriptMatches, waitWant, type, screenOf, clickAt, arxhost, sample };
