// Drives the web build in Debian's headless Chromium (DevTools protocol over a pipe) against the
// native program: per-scene checksums, the first picture after the mode dialog, a missing archive.
// Usage: node browser_test.mjs checksums|screenshot|missing SITE NATIVE_BIN DATA_DIR OUT_DIR [FRAMES]
//        node browser_test.mjs samples SITE NATIVE_BIN DATA_DIR OUT_DIR NATIVE_SAMPLES WEB_SAMPLES_JS
import { spawn, spawnSync } from 'node:child_process';
import { createServer } from 'node:http';
import { existsSync, readFileSync, writeFileSync, mkdirSync, mkdtempSync, rmSync } from 'node:fs';
import { join, extname } from 'node:path';
import { tmpdir } from 'node:os';

const [what, site, nativeBin, dataDir, outDir, framesArg, webSamples] = process.argv.slice(2);
const skip = 77;
if (!existsSync(join(site, 'vantrose.wasm'))) {
  console.log(`web build not found in ${site}: skipped (scripts/web.sh builds it)`);
  process.exit(skip);
}
mkdirSync(outDir, { recursive: true });
const fail = message => { console.error('FAIL: ' + message); process.exitCode = 1; };

// The site on a loopback port; `hidden` files answer 404.
function serve(hidden) {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
  const server = createServer((req, res) => {
    const name = decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/^\/+/, '') || 'index.html';
    const path = join(site, name);
    if (name.includes('..') || hidden.includes(name) || !existsSync(path)) {
      res.writeHead(404).end();
      return;
    }
    const body = readFileSync(path);
    res.writeHead(200, { 'Content-Type': types[extname(name)] || 'application/octet-stream',
                         'Content-Length': body.length }).end(body);
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Chromium with its DevTools protocol on fds 3 (to it) and 4 (from it).
function browser() {
  const profile = mkdtempSync(join(tmpdir(), 'vantrose-chromium-'));
  const child = spawn('chromium', ['--headless=new', '--no-sandbox', '--remote-debugging-pipe',
    '--user-data-dir=' + profile, '--no-first-run', '--disable-gpu', '--mute-audio',
    '--window-size=1280,800', 'about:blank'], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });
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

async function openPage(url, hidden = []) {
  const server = await serve(hidden);
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
  await send('Page.navigate', { url: `http://127.0.0.1:${server.address().port}/${url}` });
  const evaluate = async expression =>
    (await send('Runtime.evaluate', { expression, awaitPromise: true, returnByValue: true })).result.value;
  const until = async (expression, seconds) => {
    for (const end = Date.now() + seconds * 1000; Date.now() < end;) {
      const value = await evaluate(expression);
      if (value) return value;
      await new Promise(r => setTimeout(r, 200));
    }
    throw new Error(`timed out waiting for ${expression}`);
  };
  // A real click: the page may start sound only from a user's gesture.
  const click = async selector => {
    const [x, y] = await until(`(() => { const r = document.querySelector(${JSON.stringify(selector)})?.getBoundingClientRect();
      return r && r.width > 0 ? [r.x + r.width / 2, r.y + r.height / 2] : null; })()`, 30);
    for (const type of ['mousePressed', 'mouseReleased'])
      await send('Input.dispatchMouseEvent', { type, x, y, button: 'left', clickCount: 1 });
  };
  return { send, evaluate, until, click, errors, close: async () => { server.close(); await b.close(); } };
}

// `work` on a page; `clean`: console errors fail the test.
async function withPage(url, hidden, clean, work) {
  const page = await openPage(url, hidden);
  try {
    await work(page);
    if (clean && page.errors.length) fail('console errors: ' + page.errors.join('; '));
  } finally {
    await page.close();
  }
}

async function checksums() {
  const frames = Number(framesArg || 0), limit = frames > 0 ? ['--frames', String(frames)] : [];
  const run = spawnSync(nativeBin, ['--headless', '--trace', '--refresh', '60', '--data', dataDir, ...limit],
                        { encoding: 'utf8', maxBuffer: 1 << 26 });
  const expected = run.stderr.split('\n').filter(l => l.startsWith('checksum scene '));
  await withPage(`?headless&refresh=60${frames > 0 ? '&frames=' + frames : ''}`, [], true, async page => {
    const result = await page.until('window.vantroseResult', 600);
    const got = await page.evaluate('window.vantroseChecksums');
    const shown = got.reduce((n, l) => n + Number(l.split(' ')[4]), 0);
    console.log(`web: ${shown} frames (${(shown / 60).toFixed(1)} s of show) in ${result.seconds.toFixed(1)} s: ` +
                `${(shown / 60 / result.seconds).toFixed(2)} x real time`);
    if (expected.length === 0) fail('the native run printed no checksums');
    for (let i = 0; i < Math.max(expected.length, got.length); ++i) {
      if (expected[i] !== got[i]) fail(`native "${expected[i]}" but web "${got[i]}"`);
    }
    console.log(`${expected.length} scene checksums compared`);
  });
}

async function screenshot() {
  await withPage('', [], true, async page => {
    await page.click('#mode button[data-mode="400"]');
    await page.until('!document.getElementById("show").hidden', 30);
    await new Promise(r => setTimeout(r, 4000));
    const shot = await page.send('Page.captureScreenshot', { format: 'png' });
    writeFileSync(join(outDir, 'web-opening.png'), Buffer.from(shot.data, 'base64'));
    // The opening picture: most of the canvas lit, in more than a few colours.
    const [lit, colours, rows] = await page.evaluate(`(() => {
      const c = document.getElementById('screen');
      const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
      let lit = 0; const colours = new Set();
      for (let i = 0; i < d.length; i += 4) { if (d[i] | d[i + 1] | d[i + 2]) ++lit; colours.add(d[i] << 16 | d[i + 1] << 8 | d[i + 2]); }
      return [lit / (d.length / 4), colours.size, c.height]; })()`);
    console.log(`canvas 640 x ${rows}: ${(100 * lit).toFixed(1)} % lit, ${colours} colours; screenshot in ${outDir}`);
    if (rows !== 400) fail('the canvas is not 640 x 400');
    if (lit < 0.3 || colours < 16) fail('the opening picture is not on the canvas');
  });
}

async function missing() {
  await withPage('', ['vantrose.dat'], false, async page => {
    await page.click('#mode button[data-mode="400"]');
    const text = await page.until(`!document.getElementById('closing').hidden && document.getElementById('message').textContent`, 30);
    console.log(`the page says: ${text}`);
    if (!text.includes('Overlay file not found, terminating...')) fail('no message for the missing archive');
  });
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

await { checksums, screenshot, missing, samples }[what]();
