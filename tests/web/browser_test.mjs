// Drives the web build in Debian's headless Chromium (DevTools protocol over a pipe) against the
// native program: per-scene checksums (online and offline), the page on phones and a desktop with
// the show's keys, a missing archive.
// Usage: node browser_test.mjs checksums|offline|devices|missing SITE NATIVE_BIN DATA_DIR OUT_DIR [FRAMES]
//        node browser_test.mjs samples SITE NATIVE_BIN DATA_DIR OUT_DIR NATIVE_SAMPLES WEB_SAMPLES_JS
//        node browser_test.mjs bench build/wasm NATIVE_BIN DATA_DIR OUT_DIR [ROUNDS]
import { spawn, spawnSync } from 'node:child_process';
import { createServer } from 'node:http';
import { existsSync, readFileSync, readdirSync, writeFileSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { gzipSync } from 'node:zlib';
import { join, extname } from 'node:path';
import { tmpdir } from 'node:os';

const [what, site, nativeBin, dataDir, outDir, framesArg, webSamples] = process.argv.slice(2);
const skip = 77;
if (!existsSync(join(site, what === 'bench' ? 'cpu_paths_bench_page.wasm' : 'vantrose.wasm'))) {
  console.log(`web build not found in ${site}: skipped (scripts/web.sh builds it)`);
  process.exit(skip);
}
mkdirSync(outDir, { recursive: true });
const fail = message => { console.error('FAIL: ' + message); process.exitCode = 1; };

// The site on a loopback port under `prefix`; `hidden` files answer 404.
function serve(hidden, prefix = '/') {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                  '.webmanifest': 'application/manifest+json', '.png': 'image/png' };
  const server = createServer((req, res) => {
    const path = decodeURIComponent(new URL(req.url, 'http://x').pathname);
    const name = path.startsWith(prefix) ? path.slice(prefix.length) || 'index.html' : '..';
    const file = join(site, name);
    if (name.includes('..') || hidden.includes(name) || !existsSync(file)) {
      res.writeHead(404).end();
      return;
    }
    const body = readFileSync(file);
    res.writeHead(200, { 'Content-Type': types[extname(name)] || 'application/octet-stream',
                         'Content-Length': body.length }).end(body);
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// The benchmark times the optimising compiler's code, which the show's routines, called every
// frame, reach in its first seconds; a routine timed once may still run the baseline compiler's.
const engineFlags = what === 'bench' ? ['--js-flags=--no-liftoff'] : [];

// Chromium with its DevTools protocol on fds 3 (to it) and 4 (from it).
function browser() {
  const profile = mkdtempSync(join(tmpdir(), 'vantrose-chromium-'));
  const child = spawn('chromium', ['--headless=new', '--no-sandbox', '--remote-debugging-pipe',
    '--user-data-dir=' + profile, '--no-first-run', '--disable-gpu', '--mute-audio',
    '--window-size=1280,800', ...engineFlags, 'about:blank'], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
  let id = 0, buffer = '';
  const waiting = new Map(), listeners = [];
  child.stdio[4].on('data', chunk => {
    buffer += chunk.toString();
    let end;
    while ((end = buffer.indexOf('\0')) >= 0) {
      const message = JSON.parse(buffer.slice(0, end));
      buffer = buffer.slice(end + 1);
      const pending = message.id && waiting.get(message.id);
      if (!pending) { listeners.forEach(l => l(message)); continue; }
      waiting.delete(message.id);
      message.error ? pending.reject(new Error(JSON.stringify(message.error))) : pending.resolve(message.result);
    }
  });
  const send = (method, params = {}, sessionId) => new Promise((resolve, reject) => {
    waiting.set(++id, { resolve, reject });
    child.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
  });
  const close = () => new Promise(resolve => {
    // Chromium's helper processes may still be writing the profile as the browser exits: a
    // profile left behind in /tmp is no failure of the page.
    child.on('exit', () => {
      try { rmSync(profile, { recursive: true, force: true, maxRetries: 20, retryDelay: 100 }); } catch {}
      resolve();
    });
    child.kill();
  });
  return { send, listeners, close };
}

const sleep = ms => new Promise(r => setTimeout(r, ms));

// One browser and one tab on the site; `go(url)` loads a page of it.
async function openPage(hidden = [], prefix = '/') {
  const server = await serve(hidden, prefix);
  const base = `http://127.0.0.1:${server.address().port}${prefix}`;
  const b = browser();
  const { targetId } = await b.send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await b.send('Target.attachToTarget', { targetId, flatten: true });
  const send = (m, p) => b.send(m, p, sessionId);
  const errors = [];
  b.listeners.push(m => {
    if (m.method === 'Runtime.exceptionThrown') errors.push(m.params.exceptionDetails.exception?.description || m.params.exceptionDetails.text);
    if (m.method === 'Runtime.consoleAPICalled' && m.params.type === 'error') errors.push(m.params.args.map(a => a.value ?? a.description).join(' '));
    if (m.method === 'Log.entryAdded' && m.params.entry.level === 'error') errors.push(m.params.entry.text + ' ' + (m.params.entry.url || ''));
  });
  for (const domain of ['Runtime', 'Log', 'Page']) await send(domain + '.enable');
  const go = async url => {
    await send('Page.navigate', { url: base + url });
    await sleep(300);
  };
  const evaluate = async expression =>
    (await send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true })).result.value;
  const until = async (expression, seconds) => {
    for (const end = Date.now() + seconds * 1000; Date.now() < end;) {
      const value = await evaluate(expression);
      if (value) return value;
      await sleep(200);
    }
    throw new Error(`timed out waiting for ${expression}`);
  };
  const centre = selector => until(`(() => { const r = document.querySelector(${JSON.stringify(selector)})?.getBoundingClientRect();
      return r && r.width > 0 ? [r.x + r.width / 2, r.y + r.height / 2] : null; })()`, 30);
  // A real click or tap: the page may start sound only from a user's gesture.
  const click = async selector => {
    const [x, y] = await centre(selector);
    for (const type of ['mousePressed', 'mouseReleased'])
      await send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 });
  };
  const tap = async selector => {
    const [x, y] = await centre(selector);
    await send('Input.dispatchTouchEvent', { type: 'touchStart', touchPoints: [{ x, y }] });
    await send('Input.dispatchTouchEvent', { type: 'touchEnd', touchPoints: [] });
  };
  const key = async (code, key, keyCode) => {
    for (const type of ['rawKeyDown', 'keyUp'])
      await send('Input.dispatchKeyEvent', { type, code, key, windowsVirtualKeyCode: keyCode });
  };
  const shot = async name => {
    const { data } = await send('Page.captureScreenshot', { format: 'png' });
    writeFileSync(join(outDir, name), Buffer.from(data, 'base64'));
    return Buffer.from(data, 'base64');
  };
  const page = { b, send, go, evaluate, until, click, tap, key, shot, errors, server };
  page.close = async () => { server.close(); await b.close(); };
  return page;
}

// `work` on a page; `clean`: console errors fail the test.
async function withPage(hidden, clean, work, prefix) {
  const page = await openPage(hidden, prefix);
  try {
    await work(page);
    if (clean && page.errors.length) fail('console errors: ' + page.errors.join('; '));
  } finally {
    await page.close();
  }
}

// The native run for `frames`, once however many page runs compare with it.
const nativeRuns = new Map();
function nativeChecksums(frames) {
  if (nativeRuns.has(frames)) return nativeRuns.get(frames);
  const limit = frames > 0 ? ['--frames', String(frames)] : [];
  const run = spawnSync(nativeBin, ['--headless', '--trace', '--refresh', '60', '--data', dataDir, ...limit],
                        { encoding: 'utf8', maxBuffer: 1 << 26 });
  nativeRuns.set(frames, run.stderr.split('\n').filter(l => l.startsWith('checksum scene ')));
  return nativeRuns.get(frames);
}

// The page's test mode against the native program, scene by scene, on the processor path `cpu`
// (the page's best when empty).
async function compareChecksums(page, frames, cpu = '') {
  const expected = nativeChecksums(frames);
  await page.go(`?headless&refresh=60${frames > 0 ? '&frames=' + frames : ''}${cpu ? '&cpu=' + cpu : ''}`);
  const result = await page.until('window.vantroseResult', 600);
  const got = await page.evaluate('window.vantroseChecksums');
  const path = await page.evaluate('window.vantrosePath');
  const shown = got.reduce((n, l) => n + Number(l.split(' ')[4]), 0);
  console.log(`web, ${path} path: ${shown} frames (${(shown / 60).toFixed(1)} s of show) in ` +
              `${result.seconds.toFixed(1)} s: ${(shown / 60 / result.seconds).toFixed(2)} x real time`);
  if (cpu && path !== cpu) fail(`the page ran the ${path} path, not ${cpu}`);
  if (expected.length === 0) fail('the native run printed no checksums');
  for (let i = 0; i < Math.max(expected.length, got.length); ++i) {
    if (expected[i] !== got[i]) fail(`native "${expected[i]}" but web "${got[i]}"`);
  }
  console.log(`${expected.length} scene checksums compared`);
}

// Every path the page has gives the native frames.
async function checksums() {
  await withPage([], true, async page => {
    await compareChecksums(page, Number(framesArg || 0), 'simd128');
    await compareChecksums(page, Number(framesArg || 0), 'portable');
  });
}

// Loaded once from a folder of the server, kept by the service worker: with the server gone a
// reload still shows the dialog and plays the first scenes as the native program does. The
// site's files stay under 3 MB gzip-compressed.
async function offline() {
  const names = readdirSync(site).filter(n => !n.startsWith('.'));
  const gzipped = names.reduce((n, f) => n + gzipSync(readFileSync(join(site, f)), { level: 9 }).length, 0);
  console.log(`site: ${names.length} files, ${(gzipped / 1e6).toFixed(2)} MB gzip-compressed`);
  if (gzipped >= 3e6) fail('the page files are 3 MB or more gzip-compressed');
  await withPage([], true, async page => {
    await page.go('');
    await page.until(`navigator.serviceWorker.ready.then(r => r.active && r.active.state === 'activated')`, 60);
    page.server.close();
    page.server.closeAllConnections();
    await page.go('');
    await page.until(`!document.getElementById('mode').hidden`, 30);
    console.log('with the server stopped the page shows the mode dialog');
    await compareChecksums(page, Number(framesArg || 0));
  }, '/demos/vantrose/');
}

async function missing() {
  await withPage(['vantrose.dat'], false, async page => {
    await page.go('');
    await page.click('#mode button[data-mode="400"]');
    const text = await page.until(`!document.getElementById('closing').hidden && document.getElementById('message').textContent`, 30);
    console.log(`the page says: ${text}`);
    if (!text.includes('Overlay file not found, terminating...')) fail('no message for the missing archive');
  });
}

// The widths of the dots along a row of a stripe picture (RGBA `pixels`, run in the page): each
// run of one primary, its edge pixels given to the side whose own level they are closer to,
// between two lit runs.
function dotWidths(pixels, width, row, x0, x1) {
  const px = i => [...pixels.subarray((row * width + i) * 4, (row * width + i) * 4 + 3)];
  const runs = [];
  for (let i = x0; i < x1; ++i) {
    const v = px(i), top = Math.max(...v), c = top < 40 ? -1 : v.indexOf(top);
    const last = runs[runs.length - 1];
    if (last && last.c === c) { ++last.n; last.level = Math.max(last.level, top); } else runs.push({ c, n: 1, level: top, at: i });
  }
  for (let k = 0; k + 1 < runs.length; ++k) {
    const [l, r] = [runs[k], runs[k + 1]];
    if (l.c < 0 || r.c < 0) continue;
    const v = px(r.at);
    if (v[l.c] / l.level > v[r.c] / r.level) { ++l.n; --r.n; ++r.at; }
  }
  return runs.slice(1, -1).filter((r, k) => r.c >= 0 && runs[k].c >= 0 && runs[k + 2].c >= 0).map(r => r.n);
}

// The page as a phone in portrait and landscape and as a desktop window, touch on: the dialog
// whole inside the viewport, a tap starts the show with sound, the picture 4:3 and inside,
// refitted when the viewport turns. On the desktop the show's keys pause, mute and save a
// PNG, and the picture waits for the sound's latency; at a device pixel ratio of 2 the dots of
// a stripe scene keep their widths.
async function devices() {
  const downloads = mkdtempSync(join(tmpdir(), 'vantrose-downloads-'));
  await withPage([], true, async page => {
    const { send, evaluate, until } = page;
    const metrics = (width, height, deviceScaleFactor, mobile) =>
      send('Emulation.setDeviceMetricsOverride', { width, height, deviceScaleFactor, mobile });
    await send('Emulation.setTouchEmulationEnabled', { enabled: true, maxTouchPoints: 5 });
    await send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    const inside = `(r => r.left >= 0 && r.top >= 0 && r.right <= innerWidth && r.bottom <= innerHeight)`;
    // The picture's rectangle in CSS pixels, and whether it is 4:3 and inside the viewport.
    const picture = () => evaluate(`(() => {
      const [x, y, w, h] = page.fit, d = page.canvas.width / page.canvas.clientWidth;
      return { w: w / d, h: h / d, ratio: w / h, inside: x >= 0 && y >= 0 && x + w <= page.canvas.width && y + h <= page.canvas.height,
               filled: Math.abs(w - page.canvas.width) <= 1 || Math.abs(h - page.canvas.height) <= 1 }; })()`);
    const fits = (what, p) => {
      console.log(`${what}: picture ${p.w.toFixed(1)} x ${p.h.toFixed(1)} CSS px`);
      if (Math.abs(p.ratio - 4 / 3) > 0.01 || !p.inside || !p.filled) fail(`${what}: the picture is not the largest 4:3 area`);
    };
    for (const [width, height, scale, mobile] of [[390, 844, 3, true], [844, 390, 3, true], [1280, 800, 1, false]]) {
      const what = `${width} x ${height}`;
      await metrics(width, height, scale, mobile);
      await page.go('');
      await until(`!document.getElementById('mode').hidden`, 30);
      await page.tap('#mode button[data-mode="about"]');
      const whole = await evaluate(`[document.querySelector('#mode .dialog'), document.getElementById('about')]
        .map(e => e.getBoundingClientRect()).every(${inside})`);
      await page.shot(`web-dialog-${width}x${height}.png`);
      if (!whole) fail(`${what}: the mode dialog or the About box is not inside the viewport`);
      await page.tap('#about button');
      await page.tap('#mode button[data-mode="400"]');
      await until(`page.audio && page.audio.state === 'running' && page.posted > 44100`, 30);
      fits(what, await picture());
      await page.tap('#screen');
      const targets = await evaluate(`[...document.querySelectorAll('#bar button')].filter(b => !b.hidden)
        .map(b => b.getBoundingClientRect()).every(r => r.width >= 44 && r.height >= 44)`);
      if (!targets) fail(`${what}: a control is smaller than 44 CSS px`);
      await page.shot(`web-show-${width}x${height}.png`);
      await metrics(height, width, scale, mobile);
      await sleep(500);
      fits(`turned to ${height} x ${width}`, await picture());
    }

    // The show's keys (desktop, 800 x 1280 after the last turn). Pause, a hidden tab and sound
    // the browser suspends (a call, a screen lock; a hint asks for a tap) each hold picture and
    // sound together: no frame, no sample until they end.
    await metrics(1280, 800, 1, false);
    const holds = async (what, start, held, end) => {
      await start();
      await until(held, 10);
      await sleep(200); // a frame already under way
      const at = await evaluate('page.posted');
      await sleep(500);
      if (await evaluate('page.posted') !== at) fail(`the show went on ${what}`);
      await end();
      await until(`page.audio.state === 'running' && page.posted > ${at} && document.getElementById('hint').hidden`, 10);
    };
    const pause = () => page.key('KeyP', 'p', 80);
    await holds('while paused', pause, `page.audio.state === 'suspended' && document.getElementById('pause').textContent === 'Play'`, pause);
    await holds('in a hidden tab',
      () => evaluate(`Object.defineProperty(document, 'hidden', { value: true, configurable: true }); document.dispatchEvent(new Event('visibilitychange'))`),
      `page.audio.state === 'suspended'`, () => evaluate(`delete document.hidden; document.dispatchEvent(new Event('visibilitychange'))`));
    await holds('without its sound', () => evaluate('page.audio.suspend()'), `!document.getElementById('hint').hidden`, () => page.tap('#screen'));
    // Muted, the sound the show sends is silence.
    await evaluate(`(() => { const queue = page.queueAudio.bind(page); window.loudest = 0;
      page.queueAudio = (heap, at, n) => { for (let i = 0; i < 2 * n; ++i) loudest = Math.max(loudest, Math.abs(heap[(at >> 1) + i])); queue(heap, at, n); }; })()`);
    await sleep(500);
    const loud = await evaluate('loudest');
    await page.key('KeyM', 'm', 77);
    await until(`document.getElementById('sound').textContent === 'Sound on'`, 10);
    await sleep(300);
    await evaluate('loudest = 0');
    await sleep(500);
    const muted = await evaluate('loudest');
    console.log(`loudest sample ${loud} before the mute, ${muted} after`);
    if (loud === 0 || muted !== 0) fail('the mute key does not silence the sound');
    await page.key('KeyM', 'm', 77);
    await page.key('F12', 'F12', 123);
    let saved = null;
    for (let i = 0; i < 50 && !saved; ++i, await sleep(200))
      saved = readdirSync(downloads).find(n => /^vantrose-\d{6}\.png$/.test(n));
    const png = saved ? readFileSync(join(downloads, saved)) : Buffer.alloc(24);
    console.log(`F12 saved ${saved}: ${png.readUInt32BE(16)} x ${png.readUInt32BE(20)}`);
    if (png.readUInt32BE(16) !== 640 || png.readUInt32BE(20) !== 400) fail('F12 saved no PNG of the 640 x 400 picture');

    // The picture shown is the one being heard: with the output's latency at 0.3 s the frames
    // wait that much longer, and the clock reads the rendered position less it.
    const waiting = latency => evaluate(`(async () => {
      Object.defineProperty(page.audio, 'outputLatency', { value: ${latency}, configurable: true });
      await new Promise(r => setTimeout(r, 1000));
      const c = page.clock();
      return { frames: page.frames.length, behind: (c.rendered - c.heard) / 44100 }; })()`);
    const [none, late] = [await waiting(1e-9), await waiting(0.3)];
    console.log(`frames waiting for their sound: ${none.frames} at the context's latency, ${late.frames} at 0.3 s`);
    if (Math.abs(late.behind - 0.3) > 1e-6 || late.frames - none.frames < 14) fail('the picture does not wait for the latency');

    // Sharp at a device pixel ratio of 2: a stripe scene's dots all as wide, give or take one.
    // Paused first: without a GPU the compositor draws 2560 x 1600 a few times a second.
    await page.go('?scene=3');
    await page.click('#mode button[data-mode="400"]');
    await until(`page.shown > 40`, 60);
    await page.key('KeyP', 'p', 80);
    await until(`document.getElementById('pause').textContent === 'Play'`, 10);
    await metrics(1280, 800, 2, false);
    await evaluate(`dispatchEvent(new Event('resize'))`); // emulation changes the ratio silently
    await until(`page.canvas.width === 2560`, 10);
    const shot = (await page.shot('web-stripes-dpr2.png')).toString('base64');
    const [w, h, widths] = await evaluate(`(async () => {
      const shot = new Image();
      shot.src = 'data:image/png;base64,${shot}';
      await shot.decode();
      const c = Object.assign(document.createElement('canvas'), { width: shot.width, height: shot.height });
      c.getContext('2d').drawImage(shot, 0, 0);
      const pixels = c.getContext('2d').getImageData(0, 0, c.width, c.height).data, [x, y, w, h] = page.fit;
      return [w, h, [0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8].flatMap(f => (${dotWidths})(pixels, c.width, Math.floor(y + h * f), x, x + w))];
    })()`);
    const counts = {};
    for (const n of widths) counts[n] = (counts[n] || 0) + 1;
    console.log(`stripe dots at 2560 x 1600: picture ${w} x ${h}, widths ${JSON.stringify(counts)}`);
    if (widths.length < 100 || Math.max(...widths) - Math.min(...widths) > 1) fail('the dots differ in width by more than a pixel');
  });
  rmSync(downloads, { recursive: true, force: true });
}

// The first 10 s of the module through the native libopenmpt and through the web build's.
function samples() {
  if (!existsSync(webSamples)) {
    console.log(`${webSamples} not built: skipped`);
    process.exit(skip);
  }
  const module = join(dataDir, 'vantrose.s3m');
  const outputs = [[framesArg], ['node', webSamples]].map(([program, ...args], i) => {
    const out = join(outDir, `samples-${i ? 'web' : 'native'}.raw`);
    const run = spawnSync(program, [...args, module, '10', out], { encoding: 'utf8' });
    if (run.status !== 0) fail(`${program} failed: ${run.stderr.slice(-500)}`);
    return existsSync(out) ? new Int16Array(readFileSync(out).buffer.slice(0)) : new Int16Array();
  });
  const [native, web] = outputs;
  const differ = i => native[i] !== web[i];
  const indices = [...Array(Math.max(native.length, web.length)).keys()];
  const differing = indices.filter(differ).length, first = indices.findIndex(differ);
  console.log(`${native.length / 2} native and ${web.length / 2} web sample frames, ${differing} samples differ`);
  if (native.length !== 2 * 441000) fail('the native library did not render 10 s');
  if (differing) fail(`first difference at sample ${first}: native ${native[first]}, web ${web[first]}`);
}

// Not a test: the processor paths' benchmark page (SITE is build/wasm), its table printed.
async function bench() {
  await withPage([], true, async page => {
    await page.go(`cpu_paths_bench.html?rounds=${framesArg || 7}`);
    const result = await page.until('window.benchResult', 600);
    console.log(result.text);
    if (result.status !== 0) fail('the benchmark found a path whose bytes differ');
  });
}

await { checksums, offline, devices, missing, samples, bench }[what]();
