'use strict';
// The web page in headless Chromium: the demo is drawn and played by clicks and keys, the music
// sounds, a choice jumps, a save survives a reload, an archive given by ?story= plays, an archive
// or a folder opened from the page or an archive dropped on it plays (an archive's slots where
// export and import find them), a metafile's curves are drawn, and the end of a story is told.
// Usage: node page_test.js SITE_FOLDER DEMO_FOLDER
const puppeteer = require('puppeteer-core');
const childProcess = require('child_process');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');

const [site, demo] = process.argv.slice(2).map(p => path.resolve(p));
const Limit = 60000;  // ms for anything to show: the first start compiles the module

// Regions of the window, in its pixels (as the desktop's window test has them).
const Line1 = [3, 98, 148, 13], Line2 = [3, 111, 148, 13], Line3 = [3, 124, 148, 13];
const RightOfLine1 = [110, 98, 40, 13], Choice3 = [79, 98, 72, 13];

const Types = {'.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm'};

// The site as a static server serves it, and the demo as an archive under /stories/.
function Serve(stories) {
  const server = http.createServer((request, response) => {
    const name = decodeURIComponent(new URL(request.url, 'http://x').pathname);
    const file = name.startsWith('/stories/') ? path.join(stories, path.basename(name)) : path.join(site, path.normalize(name));
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404);
        response.end();
        return;
      }
      response.writeHead(200, {'Content-Type': Types[path.extname(file)] || 'application/octet-stream'});
      response.end(data);
    });
  });
  return new Promise(ready => server.listen(0, '127.0.0.1', () => ready(server)));
}

function Fail(message) {
  throw new Error(message);
}

// The peak of every buffer the page's audio callback fills, kept in window.SoundPeak.
function WatchSound() {
  window.SoundPeak = 0;
  const create = AudioContext.prototype.createScriptProcessor;
  AudioContext.prototype.createScriptProcessor = function(...args) {
    const node = create.apply(this, args);
    node.addEventListener('audioprocess', event => {
      setTimeout(() => {
        for (let c = 0; c < event.outputBuffer.numberOfChannels; ++c)
          for (const v of event.outputBuffer.getChannelData(c))
            window.SoundPeak = Math.max(window.SoundPeak, Math.abs(v));
      });
    });
    return node;
  };
}

class Window {
  constructor(page) {
    this.Page = page;
  }

  // Everything the canvas shows: {width, height, hex of each pixel}.
  async Shot() {
    return this.Page.evaluate(() => {
      const c = document.getElementById('canvas');
      if (!c.width || !c.height)
        return {width: 0, height: 0, pixels: []};
      const data = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      const pixels = [];
      for (let i = 0; i < data.length; i += 4)
        pixels.push(((data[i] << 16) | (data[i + 1] << 8) | data[i + 2]).toString(16).padStart(6, '0'));
      return {width: c.width, height: c.height, pixels};
    });
  }

  static Pixel(shot, x, y) {
    return shot.pixels[y * shot.width + x];
  }

  static Whites(shot, [x, y, w, h]) {
    let n = 0;
    for (let j = y; j < y + h; ++j)
      for (let i = x; i < x + w; ++i)
        n += Window.Pixel(shot, i, j) === 'ffffff';
    return n;
  }

  static Same(a, b) {
    return a.width === b.width && a.pixels.join() === b.pixels.join();
  }

  // Takes shots until `condition(shot)` holds; the last shot.
  async WaitFor(name, condition) {
    const deadline = Date.now() + Limit;
    for (;;) {
      const shot = await this.Shot();
      if (shot.width && condition(shot))
        return shot;
      if (Date.now() > deadline)
        Fail(name + ': never true: ' + condition);
      await new Promise(wake => setTimeout(wake, 100));
    }
  }

  async At(x, y) {
    const box = await this.Page.evaluate(() => {
      const c = document.getElementById('canvas'), r = c.getBoundingClientRect();
      return {left: r.left, top: r.top, scale: r.width / c.width};
    });
    return [box.left + (x + 0.5) * box.scale, box.top + (y + 0.5) * box.scale];
  }

  async Click(x, y, button = 'left') {
    const [px, py] = await this.At(x, y);
    await this.Page.mouse.click(px, py, {button});
  }

  async Move(x, y) {
    const [px, py] = await this.At(x, y);
    await this.Page.mouse.move(px, py);
  }
}

const Started = shot => Window.Whites(shot, Line1) > 0 && Window.Pixel(shot, 2, 2) === '444444';

async function PlaysTheDemo(w) {
  const start = await w.WaitFor('start', Started);
  if (start.width !== 154 || start.height !== 142)
    Fail('window size ' + start.width + 'x' + start.height);
  if (Window.Whites(start, Line2) !== 0)
    Fail('start: more than one line shown');
  if (Window.Pixel(start, 1, 140) !== '000000')
    Fail('start: the message area is not black');
  const Scale = () => document.getElementById('canvas').getBoundingClientRect().width / 154;
  await w.Page.waitForFunction(() => {
    const c = document.getElementById('canvas');
    const step = c.getBoundingClientRect().width / c.width;
    return step >= 1 && step === Math.floor(step) && c.getBoundingClientRect().height === step * c.height;
  }, {timeout: 5000}).catch(async () => Fail('the window is scaled by ' + await w.Page.evaluate(Scale)));

  await w.Click(60, 115);
  await w.WaitFor('line2', s => Window.Whites(s, Line2) > 0);
  // The first click lets the page sound: the demo's music is playing.
  await w.Page.waitForFunction(() => window.SoundPeak > 0.01, {timeout: Limit}).catch(() => Fail('music: no samples'));
  await w.Page.keyboard.press('Enter');  // the desktop's keys work too
  const line3 = await w.WaitFor('line3', s => Window.Whites(s, Line3) > 0);
  await w.Click(60, 115);
  const page2 = await w.WaitFor('page2', s => Window.Whites(s, Line2) === 0 && Window.Whites(s, Line3) === 0 &&
                                             !Window.Same(s, line3));
  await w.Click(60, 115);
  await w.WaitFor('question', s => !Window.Same(s, page2));
  await w.Click(60, 115);
  await w.WaitFor('menu', s => Window.Whites(s, Choice3) > 0);
  await w.Move(40, 104);
  await w.WaitFor('hot0', s => Window.Pixel(s, 4, 99) === 'ffffff' && Window.Pixel(s, 80, 99) === '000000');
  await w.Click(40, 104);
  await w.WaitFor('ride', s => Window.Whites(s, Choice3) < 20 && Window.Whites(s, Line1) > 0 &&
                              Window.Whites(s, RightOfLine1) === 0);
}

const SlotSize = path => (FS.analyzePath(path).exists ? FS.stat(path).size : -1);

async function SaveSurvivesAReload(w) {
  const slot = '/persist/demo/save0.dat';
  await w.Click(50, 50, 'right');
  await w.WaitFor('datamenu', s => Window.Pixel(s, 10, 40) === 'd4d0c8');
  await w.Click(39, 41);  // "セーブ ０"
  const saved = await w.WaitFor('saved', s => Window.Pixel(s, 1, 140) === '000000');
  if (await w.Page.evaluate(SlotSize, slot) !== 2776)
    Fail('saved: the slot is not one 2776-byte record');
  await w.Page.evaluate(() => Save());
  await w.Page.reload();
  await w.WaitFor('reloaded', Started);
  if (await w.Page.evaluate(SlotSize, slot) !== 2776)
    Fail('reloaded: the slot is gone');
  await w.Click(50, 50, 'right');
  await w.WaitFor('datamenu after the reload', s => Window.Pixel(s, 10, 40) === 'd4d0c8');
  await w.Click(116, 41);  // "ロード ０"
  await w.WaitFor('loaded', s => Window.Same(s, saved));
}

// A second page of the site leaves the stored stories and saves to the first: each page writes its
// whole copy back, and would delete what the other saved.
async function ASecondPageLeavesTheSavesAlone(w, base) {
  const second = await w.Page.browser().newPage();
  await second.goto(base + '/index.html');
  await second.waitForFunction(() => document.getElementById('status').textContent.includes('another tab'),
                               {timeout: Limit});
  await second.close();
  await w.Page.reload();
  await w.WaitFor('reloaded', Started);
  if (await w.Page.evaluate(SlotSize, '/persist/demo/save0.dat') !== 2776)
    Fail('the slot saved before is gone');
}

async function PlaysAnArchiveGivenByAddress(w, base) {
  await w.Page.goto(base + '/index.html?story=stories/demo.zip');
  await w.WaitFor('archive', Started);
  const playing = await w.Page.evaluate(() => Playing);
  if (!playing.endsWith('/demo.zip'))
    Fail('?story= plays ' + playing);
}

// "Open a story…" with an archive: the page plays it from then on, and finds the saves the player
// keeps for it (named by the archive's digest, and by its name cut to 200 bytes) to export, and
// imports a slot beside them.
async function OpensAnArchiveAndKeepsItsSlots(w, stories) {
  const chooser = await w.Page.$('#open-archive');
  const name = 'd'.repeat(205) + '.zip';
  fs.copyFileSync(path.join(stories, 'demo.zip'), path.join(stories, name));
  await Promise.all([w.Page.waitForNavigation(), chooser.uploadFile(path.join(stories, name))]);
  await w.WaitFor('opened', Started);
  if ((await w.Page.evaluate(() => Playing)) !== '/persist/stories/' + name)
    Fail('opened: plays ' + (await w.Page.evaluate(() => Playing)));
  await w.Click(50, 50, 'right');
  await w.WaitFor('datamenu of the archive', s => Window.Pixel(s, 10, 40) === 'd4d0c8');
  await w.Click(39, 41);  // "セーブ ０"
  await w.WaitFor('saved in the archive', s => Window.Pixel(s, 1, 140) === '000000');
  await w.Page.waitForFunction(() => FS.analyzePath(SlotFolder() + '/save0.dat').exists, {timeout: 5000})
    .catch(() => Fail('the page looks for the archive\'s slots elsewhere than the player keeps them'));
  const slot = path.join(stories, 'save3.dat');
  fs.writeFileSync(slot, Buffer.alloc(2776));
  await (await w.Page.$('#import')).uploadFile(slot);
  await w.Page.waitForFunction(() => FS.analyzePath(SlotFolder() + '/save3.dat').exists, {timeout: 5000})
    .catch(() => Fail('import: no slot 3'));
}

// "Open a story folder…": the folder is kept in the page, and its slots beside its script as on
// the desktop.
async function OpensAFolder(w, stories) {
  const chooser = await w.Page.$('#open-folder');
  await Promise.all([w.Page.waitForNavigation(), chooser.uploadFile(path.join(stories, 'metafile'))]);
  await w.WaitFor('folder', s => Window.Whites(s, Line1) > 0);
  if ((await w.Page.evaluate(() => Playing)) !== '/persist/stories/metafile')
    Fail('folder: plays ' + (await w.Page.evaluate(() => Playing)));
}

// An archive dropped on the page plays as one opened.
async function PlaysADroppedArchive(w, stories) {
  const bytes = fs.readFileSync(path.join(stories, 'metafile.zip')).toString('base64');
  await Promise.all([w.Page.waitForNavigation(), w.Page.evaluate(data => {
    const transfer = new DataTransfer();
    transfer.items.add(new File([Uint8Array.from(atob(data), c => c.charCodeAt(0))], 'dropped.zip'));
    document.body.dispatchEvent(new DragEvent('drop', {dataTransfer: transfer, bubbles: true, cancelable: true}));
  }, bytes)]);
  await w.WaitFor('dropped', s => Window.Whites(s, Line1) > 0);
  if ((await w.Page.evaluate(() => Playing)) !== '/persist/stories/dropped.zip')
    Fail('dropped: plays ' + (await w.Page.evaluate(() => Playing)));
}

// A story that ends: the window goes, and the page says so.
async function SaysWhenTheStoryEnds(w, base) {
  await w.Page.goto(base + '/index.html?story=stories/end.zip');
  await w.WaitFor('end', s => Window.Whites(s, Line1) > 0);
  await w.Click(60, 115);
  await w.Page.waitForFunction(() => document.getElementById('status').textContent.includes('ended'),
                               {timeout: Limit}).catch(() => Fail('end: the page does not say the story ended'));
  // No story at all: the player's reason is shown.
  await w.Page.goto(base + '/index.html?story=stories/nothing.zip');
  await w.Page.waitForFunction(() => document.getElementById('status').textContent.includes('zv_rk:'),
                               {timeout: Limit}).catch(() => Fail('no story: the page does not say why'));
}

// A story whose picture is a Windows metafile of one ellipse: cairo draws its curves through
// callbacks that must have the signature they are called with, or WebAssembly traps.
function MetafileStory(folder) {
  const records = [];
  const record = (func, ...params) => {
    const r = Buffer.alloc(6 + 2 * params.length);
    r.writeUInt32LE(3 + params.length, 0);
    r.writeUInt16LE(func, 4);
    params.forEach((p, i) => r.writeInt16LE(p, 6 + 2 * i));
    records.push(r);
  };
  record(0x020C, 100, 100);         // window extent
  record(0x020B, 0, 0);             // window origin
  record(0x0418, 90, 90, 10, 10);   // ellipse: bottom, right, top, left
  record(0x0000);                   // end
  const body = Buffer.concat(records);
  const header = Buffer.alloc(18);
  header.writeUInt16LE(1, 0);
  header.writeUInt16LE(9, 2);
  header.writeUInt16LE(0x300, 4);
  header.writeUInt32LE((18 + body.length) / 2, 6);
  header.writeUInt32LE(7, 12);
  const placeable = Buffer.alloc(22);
  placeable.writeUInt32LE(0x9AC6CDD7, 0);
  placeable.writeInt16LE(100, 10);
  placeable.writeInt16LE(100, 12);
  placeable.writeUInt16LE(96, 14);
  let check = 0;
  for (let i = 0; i < 20; i += 2)
    check ^= placeable.readUInt16LE(i);
  placeable.writeUInt16LE(check, 20);
  fs.mkdirSync(path.join(folder, 'dat'), {recursive: true});
  fs.writeFileSync(path.join(folder, 'dat', 'pic.wmf'), Buffer.concat([placeable, header, body]));
  fs.writeFileSync(path.join(folder, 'dat', '1.txt'), '#Cg pic.wmf\r\ncircle\r\n');
}

async function DrawsAMetafile(w, base) {
  await w.Page.goto(base + '/index.html?story=stories/metafile.zip');
  const shot = await w.WaitFor('metafile', s => Window.Whites(s, Line1) > 0);
  if (Window.Pixel(shot, 77, 47) !== 'ffffff')
    Fail('metafile: the ellipse is not filled');
  let outline = 0;
  for (let x = 7; x < 147; ++x)
    outline += Window.Pixel(shot, x, 47) === '000000';
  if (outline < 2)
    Fail('metafile: the ellipse has no outline');
}

async function Main() {
  const stories = fs.mkdtempSync(path.join(os.tmpdir(), 'zv_rk-web-'));
  childProcess.execFileSync('python3', ['-m', 'zipfile', '-c', path.join(stories, 'demo.zip'), 'dat'], {cwd: demo});
  const metafile = path.join(stories, 'metafile');
  MetafileStory(metafile);
  childProcess.execFileSync('python3', ['-m', 'zipfile', '-c', path.join(stories, 'metafile.zip'), 'dat'], {cwd: metafile});
  fs.writeFileSync(path.join(stories, 'nothing.zip'), 'no archive at all');
  const end = path.join(stories, 'end');
  fs.mkdirSync(path.join(end, 'dat'), {recursive: true});
  fs.writeFileSync(path.join(end, 'dat', '1.txt'), 'the end\r\n#End\r\n');
  childProcess.execFileSync('python3', ['-m', 'zipfile', '-c', path.join(stories, 'end.zip'), 'dat'], {cwd: end});
  const server = await Serve(stories);
  const base = 'http://127.0.0.1:' + server.address().port;
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/lib/chromium/chromium',
    headless: true,
    args: ['--no-sandbox', '--autoplay-policy=no-user-gesture-required', '--mute-audio'],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({width: 800, height: 600});
    const errors = [];
    page.on('pageerror', error => errors.push(error.message));
    page.on('console', message => process.env.VERBOSE && console.log('page:', message.text()));
    page.on('requestfailed', request => console.log('request failed:', request.url()));
    page.on('response', response => process.env.VERBOSE && response.status() >= 400 &&
                                     console.log(response.status(), response.url()));
    await page.evaluateOnNewDocument(WatchSound);
    await page.goto(base + '/index.html');
    const w = new Window(page);
    for (const [name, test] of [['the demo plays', () => PlaysTheDemo(w)],
                                ['a save survives a reload', () => SaveSurvivesAReload(w)],
                                ['a second page leaves the saves alone', () => ASecondPageLeavesTheSavesAlone(w, base)],
                                ['?story= plays an archive', () => PlaysAnArchiveGivenByAddress(w, base)],
                                ['an opened archive plays and keeps its slots',
                                 () => OpensAnArchiveAndKeepsItsSlots(w, stories)],
                                ['a metafile is drawn', () => DrawsAMetafile(w, base)],
                                ['an opened folder plays', () => OpensAFolder(w, stories)],
                                ['a dropped archive plays', () => PlaysADroppedArchive(w, stories)],
                                ['the page says when and why a story ends', () => SaysWhenTheStoryEnds(w, base)]]) {
      const began = Date.now();
      await test();
      if (errors.length)
        Fail(name + ': the page threw ' + errors.join('; '));
      console.log('ok: ' + name + ' (' + (Date.now() - began) + ' ms)');
    }
  } finally {
    await browser.close();
    server.close();
    fs.rmSync(stories, {recursive: true, force: true});
  }
}

Main().catch(error => {
  console.error('FAIL: ' + error.message);
  process.exit(1);
});
