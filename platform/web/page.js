// The page around the WebAssembly show: data loading, the mode dialog, canvas, sound and keys.
// With ?headless&frames=N&refresh=HZ it runs the show on the virtual clock for machines instead;
// ?square-dots shows the 400-line picture with square dots, ?scene=N starts at scene N,
// ?cpu=portable forces the portable loops.
'use strict';

const query = new URLSearchParams(location.search);
const testMode = query.has('headless');
const $ = id => document.getElementById(id);
const show = { rate: 44100, lead: 0.12, low: 0.04 };

// Per-scene checksums of a test run, as --trace prints them; the result once the program ends.
window.vantroseChecksums = [];
window.vantroseResult = null;

// KeyboardEvent.code as the show's own keys (vantrose::Key's order in shell/commands.h).
const keyCodes = {
  Escape: 1, Enter: 2, NumpadEnter: 2, Space: 3, Tab: 4, ArrowUp: 5, ArrowDown: 6, ArrowLeft: 7,
  ArrowRight: 8, KeyP: 9, KeyM: 10, Equal: 11, NumpadAdd: 11, Minus: 12, NumpadSubtract: 12,
  F12: 13, PrintScreen: 14,
};
const keyOf = e => keyCodes[e.code] || (e.key === '+' ? 11 : e.key === '-' ? 12 : 0);

const page = {
  canvas: null,      // the page-sized canvas, in device pixels
  context: null,
  rows: 400,
  source: null,      // the picture, 640 x rows
  enlarged: null,    // the picture enlarged by whole factors, nearest-neighbour
  fit: null,         // x, y, w, h, across, down, linear: fit_viewport's numbers for the canvas
  frames: [],        // presented frames not yet heard: { image, start (sample frame) }
  spare: [],         // ImageData to reuse
  shown: 0,          // frames painted
  paintMs: 0,        // time spent painting them
  due: 0,            // when the next frame is due (ms, the display's clock)
  audio: null,       // AudioContext
  node: null,        // AudioWorkletNode
  pending: [],       // samples queued before the worklet was ready
  posted: 0,         // sample frames handed to the worklet
  played: 0,         // sample frames the worklet had rendered at context time playedAt
  playedAt: 0,
  holds: new Set(),  // why the sound is held: 'pause', 'hidden'
  ran: false,        // whether the context has run: from then on the show waits for it
  running: false,
  away: 0,           // the timer that hides the controls
  drawn: false,      // a frame came since the last turn
  yielded: 0,        // when the browser last had a turn during unseen frames
  started: 0,

  show(id) {
    for (const name of ['loading', 'mode', 'show', 'closing']) $(name).hidden = name !== id;
    this.fitDialogs();
  },

  // --- the mode dialog and the About box -------------------------------------------------
  // Both keep their layout and are scaled down, whole, to any viewport; an About line that a
  // wider font would push out of its frame gets a smaller font instead.
  fitDialogs() {
    // One scale for both, the one that fits the mode dialog, as both come from one font.
    const boxes = [document.querySelector('#mode .dialog'), $('about')];
    const { clientWidth, clientHeight } = document.documentElement;
    const scale = Math.min(1, ...boxes.filter(b => b.offsetParent !== null)
      .map(b => Math.min((clientWidth - 8) / b.offsetWidth, (clientHeight - 8) / b.offsetHeight)));
    for (const box of boxes) box.style.transform = scale < 1 ? `scale(${scale})` : '';
    for (const line of document.querySelectorAll('#about .line')) {
      line.style.fontSize = '';
      if (line.offsetParent !== null && line.scrollWidth > line.clientWidth)
        line.style.fontSize = `${11 * line.clientWidth / line.scrollWidth}px`;
    }
  },

  modeDialog(heap, picture, width, height, credits) {
    const canvas = $('picture-canvas');
    canvas.width = width;
    canvas.height = height;
    const rgba = new ImageData(width, height);
    for (let i = 0; i < width * height; ++i) {
      rgba.data.set(heap.subarray(picture + 3 * i, picture + 3 * i + 3), 4 * i);
      rgba.data[4 * i + 3] = 255;
    }
    canvas.getContext('2d').putImageData(rgba, 0, 0);
    document.querySelectorAll('[data-credit]').forEach(line => {
      line.textContent = credits[Number(line.dataset.credit)];
    });
    this.show('mode');
    const buttons = [...document.querySelectorAll('#mode button[data-mode]')];
    const about = $('about');
    const ok = about.querySelector('button');
    return new Promise(resolve => {
      const choose = what => {
        if (what === 'about') {
          about.hidden = false;
          this.fitDialogs();
          ok.focus();
          return;
        }
        document.removeEventListener('keydown', keys, true);
        // Sound may start only inside the user's own gesture: this tap, click or key.
        if (what !== 'exit') this.startAudio();
        resolve(what === 'exit' ? 0 : Number(what));
      };
      buttons.forEach(b => { b.onclick = () => choose(b.dataset.mode); });
      ok.onclick = () => { about.hidden = true; buttons[0].focus(); };
      // As in the native dialog: Tab and the arrows move the focus, Enter presses the focused
      // button (or 640x400x32), Escape is "Exit"; the About box closes only with "Ok".
      const keys = e => {
        const inAbout = !about.hidden;
        const group = inAbout ? [ok] : buttons;
        const at = group.indexOf(document.activeElement);
        const step = { Tab: e.shiftKey ? -1 : 1, ArrowDown: 1, ArrowRight: 1, ArrowUp: -1, ArrowLeft: -1 }[e.key];
        if (step !== undefined) {
          const next = at < 0 ? (step > 0 ? 0 : group.length - 1) : (at + step + group.length) % group.length;
          group[next].focus();
        } else if (e.key === 'Enter' || e.key === ' ') {
          if (at >= 0) group[at].click();
          else if (e.key === 'Enter') (inAbout ? ok : buttons[1]).click();
        } else if (e.key === 'Escape') {
          if (!inAbout) choose('exit');
        } else {
          return;
        }
        e.preventDefault();
      };
      document.addEventListener('keydown', keys, true);
    });
  },

  // --- picture ---------------------------------------------------------------------------
  openCanvas(rows) {
    this.rows = rows;
    this.canvas = $('screen');
    this.context = this.canvas.getContext('2d', { alpha: false });
    this.source = document.createElement('canvas');
    this.source.width = 640;
    this.source.height = rows;
    this.enlarged = document.createElement('canvas');
    this.show('show');
    this.running = true;
    // The canvas in whole device pixels: exactly those the browser reports where it does (at a
    // fractional pixel ratio the rounding is its own), else the CSS size times the ratio.
    const observed = e => {
      const box = e[0].devicePixelContentBoxSize;
      const size = box && [box[0].inlineSize, box[0].blockSize];
      const near = size && Math.abs(size[0] - this.canvas.clientWidth * devicePixelRatio) <= 1;
      this.resize(near ? size : null);
    };
    try {
      new ResizeObserver(observed).observe(this.canvas, { box: 'device-pixel-content-box' });
    } catch {
      new ResizeObserver(observed).observe(this.canvas);
    }
    this.controls();
    const paint = () => {
      if (!this.running) return;
      this.paintHeard();
      requestAnimationFrame(paint);
    };
    requestAnimationFrame(paint);
  },

  resize(size) {
    const ratio = devicePixelRatio || 1;
    const [w, h] = size || [Math.round(this.canvas.clientWidth * ratio), Math.round(this.canvas.clientHeight * ratio)];
    if (w === this.canvas.width && h === this.canvas.height && this.fit) return;
    this.canvas.width = Math.max(1, w);
    this.canvas.height = Math.max(1, h);
    // The numbers of shell/viewport.cpp's fit_viewport, from the program itself: 4:3 for both
    // pictures (the 400-line one's dots 1.2 times as tall as wide), or the picture's own 640:400.
    const square = query.has('square-dots');
    const at = Module._web_fit(this.canvas.width, this.canvas.height, 640, this.rows,
                               square ? 640 : 4, square ? this.rows : 3) >> 2;
    this.fit = Array.from(HEAP32.subarray(at, at + 7));
    this.enlarged.width = 640 * this.fit[4];
    this.enlarged.height = this.rows * this.fit[5];
    this.context.fillStyle = '#000';
    this.context.fillRect(0, 0, this.canvas.width, this.canvas.height);
    this.render();
  },

  // Sharp at any size: whole factors nearest-neighbour first, then linear the rest of the way,
  // so every dot is as wide as its neighbours give or take the one blended pixel at its edge.
  // Two canvas draws measured cheaper than WebGL2 with the same filter in a shader (headless
  // Chromium, 1280 x 800 and 2560 x 1600: 4.5 and 31 ms a frame against 94 and 500 ms).
  render() {
    if (!this.fit) return;
    const begin = performance.now();
    const [x, y, w, h, across, down, linear] = this.fit;
    const c = this.context;
    c.imageSmoothingEnabled = false;
    let from = this.source;
    if (linear && (across > 1 || down > 1)) {
      const e = this.enlarged.getContext('2d', { alpha: false });
      e.imageSmoothingEnabled = false;
      e.drawImage(this.source, 0, 0, this.enlarged.width, this.enlarged.height);
      from = this.enlarged;
    }
    c.imageSmoothingEnabled = linear === 1;
    c.imageSmoothingQuality = 'low';
    c.drawImage(from, x, y, w, h);
    this.paintMs += performance.now() - begin;
    ++this.shown;
  },

  // The presented frame waits until its sound is heard; without sound it is shown at once.
  draw(heap, rgba, rows) {
    this.drawn = true;
    const image = this.spare.pop() || new ImageData(640, rows);
    image.data.set(heap.subarray(rgba, rgba + 640 * rows * 4));
    this.frames.push({ image, start: this.posted });
    if (!this.soundRunning() || this.frames.length > 40) this.paint(this.frames.length - 1);
  },

  paint(last) {
    const frame = this.frames[last];
    for (const f of this.frames.splice(0, last + 1)) this.spare.push(f.image);
    this.source.getContext('2d').putImageData(frame.image, 0, 0);
    this.render();
  },

  paintHeard() {
    const heard = this.soundRunning() ? this.clock().heard : Infinity;
    let last = -1;
    while (last + 1 < this.frames.length && this.frames[last + 1].start <= heard) ++last;
    if (last >= 0) this.paint(last);
  },

  saveFrame(heap, rgba, rows, name) {
    const canvas = document.createElement('canvas');
    canvas.width = 640;
    canvas.height = rows;
    canvas.getContext('2d').putImageData(
      new ImageData(new Uint8ClampedArray(heap.subarray(rgba, rgba + 640 * rows * 4)), 640, rows), 0, 0);
    canvas.toBlob(blob => {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      link.download = name;
      link.click();
      setTimeout(() => URL.revokeObjectURL(link.href), 10000);
    }, 'image/png');
  },

  // --- full screen and the controls -------------------------------------------------------
  fullScreenAvailable() {
    return Boolean(document.fullscreenEnabled || document.webkitFullscreenEnabled);
  },

  // Where the browser has no full screen (iPhone Safari), the show already fills the viewport;
  // the web app manifest opens it without the browser's chrome from the home screen.
  toggleFullScreen() {
    const d = document;
    if (d.fullscreenElement || d.webkitFullscreenElement) {
      (d.exitFullscreen || d.webkitExitFullscreen).call(d);
      return;
    }
    const show = $('show');
    const request = show.requestFullscreen || show.webkitRequestFullscreen;
    if (!request) return;
    Promise.resolve(request.call(show)).then(() => {
      // Escape then reaches the show instead of only leaving full screen.
      if (navigator.keyboard && navigator.keyboard.lock) navigator.keyboard.lock(['Escape']).catch(() => {});
      if (screen.orientation && screen.orientation.lock) screen.orientation.lock('landscape').catch(() => {});
    }).catch(() => {});
  },

  controls() {
    const bar = $('bar');
    $('fullscreen').hidden = !this.fullScreenAvailable();
    $('fullscreen').onclick = () => this.toggleFullScreen();
    for (const b of bar.querySelectorAll('[data-command]')) b.onclick = () => Module._web_command(Number(b.dataset.command));
    // A tap shows the controls and gives a suspended context its gesture to resume in: the
    // end of a touch, as browsers count a touch as the user's only once it ends.
    $('show').addEventListener('pointerdown', () => this.reveal());
    $('show').addEventListener('pointerup', () => this.resumeSound());
    $('show').addEventListener('pointermove', e => { if (e.pointerType === 'mouse') this.reveal(); });
    document.addEventListener('keydown', e => {
      const key = keyOf(e);
      if (key === 0 || !this.running) return;
      e.preventDefault();
      this.resumeSound();
      Module._web_key(key, e.altKey ? 1 : 0, e.shiftKey ? 1 : 0, e.repeat ? 1 : 0);
    });
    addEventListener('resize', () => this.resize(null));
    addEventListener('orientationchange', () => this.resize(null));
    // A new pixel ratio (zoom, another screen) may leave the CSS size as it was.
    const ratio = () => matchMedia(`(resolution: ${devicePixelRatio}dppx)`)
      .addEventListener('change', () => { this.resize(null); ratio(); }, { once: true });
    ratio();
    document.addEventListener('visibilitychange', () => this.hold('hidden', document.hidden));
  },

  // The controls stay for 3 s after a tap, a move or the end of a pause, and while paused.
  reveal() {
    $('bar').classList.remove('away');
    clearTimeout(this.away);
    this.away = setTimeout(() => { if (!Module._web_paused()) $('bar').classList.add('away'); }, 3000);
  },

  // The program's own words on its state (stderr) keep the buttons' labels true.
  reported(line) {
    if (line === 'vantrose: sound muted') $('sound').textContent = 'Sound on';
    else if (line === 'vantrose: sound on' || line.startsWith('vantrose: volume ')) $('sound').textContent = 'Sound off';
    else if (line === 'vantrose: paused') $('pause').textContent = 'Play';
    else if (line === 'vantrose: resumed') {
      $('pause').textContent = 'Pause';
      this.reveal();
    }
  },

  // --- sound -----------------------------------------------------------------------------
  startAudio() {
    try {
      this.audio = new AudioContext({ sampleRate: show.rate, latencyHint: 'interactive' });
    } catch (e) {
      console.warn('vantrose: no sound:', e.message);
      return;
    }
    // iPhones play Web Audio through the ring/silent switch unless it is media playback.
    if (navigator.audioSession) navigator.audioSession.type = 'playback';
    this.audio.resume();
    this.audio.onstatechange = () => {
      if (this.audio.state === 'running') this.ran = true;
      this.hint();
    };
    this.audio.audioWorklet.addModule('worklet.js').then(() => {
      this.node = new AudioWorkletNode(this.audio, 'vantrose-music',
                                       { numberOfInputs: 0, outputChannelCount: [2] });
      this.node.port.onmessage = e => { [this.played, this.playedAt] = e.data; };
      this.node.connect(this.audio.destination);
      for (const chunk of this.pending) this.node.port.postMessage(chunk, [chunk.buffer]);
      this.pending = [];
    }).catch(e => console.warn('vantrose: no sound:', e.message));
  },

  // Suspended or interrupted by the browser (a call, a screen lock), not by the page.
  soundSuspended() {
    return this.ran && !this.holds.size && this.audio.state !== 'running' && this.audio.state !== 'closed';
  },

  soundRunning() {
    return this.audio !== null && this.audio.state === 'running' && this.node !== null;
  },

  // The show's clock: the sample frame the worklet is rendering now, and the one being heard,
  // the output's latency later (outputLatency where the browser gives it, else baseLatency).
  clock() {
    const a = this.audio;
    const rendered = Math.min(this.posted, this.played + Math.max(0, a.currentTime - this.playedAt) * show.rate);
    const latency = a.outputLatency || a.baseLatency || 0;
    return { rendered, heard: rendered - latency * show.rate, latency };
  },

  queuedSeconds() {
    return (this.posted - this.clock().rendered) / show.rate;
  },

  // Until the context first runs the picture goes on without its sound.
  queueAudio(heap16, samples, frames) {
    if (!this.audio) return;
    if (this.audio.state === 'running') this.ran = true;
    if (!this.ran) return;
    const source = heap16.subarray(samples >> 1, (samples >> 1) + 2 * frames);
    const chunk = new Float32Array(2 * frames);
    for (let i = 0; i < chunk.length; ++i) chunk[i] = source[i] / 32768;
    this.posted += frames;
    if (this.node) this.node.port.postMessage(chunk, [chunk.buffer]);
    else this.pending.push(chunk);
  },

  // Picture and sound stop together: while the show is paused or the page hidden, the context
  // is suspended with the frames not yet heard still queued, and both go on from there.
  hold(why, on) {
    if (on) this.holds.add(why);
    else this.holds.delete(why);
    if (!this.audio || this.audio.state === 'closed') return;
    if (this.holds.size) this.audio.suspend();
    else this.resumeSound();
  },

  // A context the browser suspended or interrupted (a call, a screen lock) resumes on the next
  // tap or key; until then a hint says so.
  resumeSound() {
    if (this.audio && !this.holds.size && this.audio.state !== 'running' && this.audio.state !== 'closed')
      this.audio.resume().then(() => this.hint(), () => this.hint());
    this.hint();
  },

  hint() {
    $('hint').hidden = !this.running || !this.audio || this.holds.size > 0 ||
                       this.audio.state === 'running' || this.audio.state === 'closed';
  },

  // --- the browser's turn between two frames ---------------------------------------------
  // The show's clock is its frames, 60 a second: a frame is due every 1/60 s and takes the first
  // display refresh at or shortly before that time (half a period of slack takes up the jitter),
  // so 75 or 120 Hz displays show 60 frames a second too. The sound leads the picture by
  // `low`..`lead` seconds: under it the show renders on at once, over it the show skips a
  // refresh. Paused, hidden or with its sound suspended by the browser, the show waits here.
  async turn() {
    const idle = () => new Promise(resolve => setTimeout(resolve, 50));
    while (document.hidden || this.soundSuspended()) await idle();
    if (Module._web_paused()) {
      if (!this.holds.has('pause')) {
        this.hold('pause', true);
        $('bar').classList.remove('away');
      }
      await idle();
      return;
    }
    if (this.holds.has('pause')) {
      this.hold('pause', false);
      this.due = 0;
    }
    // The frames a scene skip (?scene=N) runs unseen wait for nothing; the browser still gets
    // a turn every 20 ms.
    if (!this.drawn) {
      if (performance.now() - this.yielded > 20) {
        await new Promise(resolve => setTimeout(resolve, 0));
        this.yielded = performance.now();
      }
      return;
    }
    this.drawn = false;
    if (this.soundRunning() && this.queuedSeconds() < show.low) {
      await new Promise(resolve => setTimeout(resolve, 0));
      return;
    }
    const period = 1000 / 60;
    for (;;) {
      const now = await new Promise(resolve => requestAnimationFrame(resolve));
      if (now < this.due - period / 2) continue;
      if (this.soundRunning() && this.queuedSeconds() > show.lead) continue;
      // After a stall (a hidden page) the schedule starts afresh instead of racing to catch up.
      this.due = now - this.due > 100 ? now + period : this.due + period;
      return;
    }
  },

  // --- messages and the end ------------------------------------------------------------------
  message(caption, text) {
    this.say(caption + ': ' + text);
  },

  say(text) {
    const box = $('message');
    box.textContent += (box.textContent ? '\n' : '') + text;
  },

  ended(status) {
    this.running = false;
    this.hint();
    if (this.audio) this.audio.close();
    if (testMode) {
      window.vantroseResult = { status, seconds: (performance.now() - this.started) / 1000 };
      console.log('vantrose: ended with status ' + status + ' after ' +
                  window.vantroseResult.seconds.toFixed(3) + ' s');
    }
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    if (!$('message').textContent) this.say('The show has ended.');
    this.show('closing');
    $('again').onclick = () => location.reload();
  },
};

// Both files, with one progress bar; a file the server does not have is left out, and the
// program reports it as it would a missing file.
async function loadData() {
  const names = ['vantrose.dat', 'vantrose.s3m'];
  const responses = await Promise.all(names.map(n => fetch(n).catch(() => null)));
  const total = responses.reduce((sum, r) => sum + (r && r.ok ? Number(r.headers.get('Content-Length')) || 0 : 0), 0);
  let received = 0;
  const files = await Promise.all(responses.map(async r => {
    if (!r || !r.ok) return null;
    const parts = [];
    const reader = r.body.getReader();
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      parts.push(value);
      received += value.length;
      if (total > 0) $('progress').value = received / total;
    }
    const bytes = new Uint8Array(parts.reduce((n, p) => n + p.length, 0));
    let at = 0;
    for (const p of parts) { bytes.set(p, at); at += p.length; }
    return bytes;
  }));
  return names.map((name, i) => [name, files[i]]);
}

// The page's files kept by sw.js for the next visit, online or not. A new build's worker
// takes over at once while nothing plays yet; otherwise at the next visit.
function keepOffline() {
  if (!('serviceWorker' in navigator) || !/^https?:$/.test(location.protocol)) return;
  navigator.serviceWorker.register('sw.js').then(registration => {
    const update = worker => {
      if (!worker || !navigator.serviceWorker.controller) return;
      worker.addEventListener('statechange', () => {
        if (worker.state === 'installed' && !page.running && !testMode) worker.postMessage('take over');
      });
    };
    update(registration.installing);
    registration.addEventListener('updatefound', () => update(registration.installing));
  }).catch(e => console.warn('vantrose: not kept for offline use:', e.message));
  let reloaded = false;
  navigator.serviceWorker.addEventListener('controllerchange', () => {
    if (!reloaded && !page.running && !testMode && navigator.serviceWorker.controller) {
      reloaded = true;
      location.reload();
    }
  });
}

var Module = {
  page,
  print(text) {
    console.log(text);
    page.say(text);
  },
  // Standard error is the console's; what the user must read comes as a message box or on
  // standard output.
  printErr(text) {
    console.log(text);
    if (text.startsWith('checksum scene ')) window.vantroseChecksums.push(text);
    if (text.startsWith('processor path ')) window.vantrosePath = text.slice(15);
    page.reported(text);
  },
  onExit: status => page.ended(status),
  // ?cpu=portable: the loops without SIMD128, as VANTROSE_CPU picks them natively.
  preRun: [() => { if (query.get('cpu')) ENV.VANTROSE_CPU = query.get('cpu'); }],
};

// exit() ends the program by throwing ExitStatus out of the last browser turn: not an error.
window.addEventListener('unhandledrejection', e => {
  if (e.reason && e.reason.name === 'ExitStatus') e.preventDefault();
});
window.addEventListener('error', e => {
  if (e.error && e.error.name === 'ExitStatus') e.preventDefault();
});
addEventListener('resize', () => page.fitDialogs());

keepOffline();
const dataLoaded = loadData();
Module.onRuntimeInitialized = async () => {
  const files = await dataLoaded;
  Module.FS.mkdir('/data');
  for (const [name, bytes] of files) if (bytes) Module.FS.writeFile('/data/' + name, bytes);
  let args = ['--data', '/data'];
  if (testMode) {
    args.push('--headless', '--trace', '--refresh', query.get('refresh') || '60');
    if (query.get('frames')) args.push('--frames', query.get('frames'));
  } else {
    // The show keeps its time by the frames it presents, 60 a second, and the sound is made in
    // step with them: ticks and music fall on the same frames as in every other run.
    args.push('--clock', 'virtual');
  }
  if (query.get('scene')) args.push('--scene', query.get('scene'));
  page.started = performance.now();
  Module.callMain(args);
};
