// The page around the WebAssembly show: data loading, the mode dialog, canvas, sound and keys.
// With ?headless&frames=N&refresh=HZ it runs the show on the virtual clock for machines instead.
'use strict';

const query = new URLSearchParams(location.search);
const testMode = query.has('headless');
const $ = id => document.getElementById(id);
const show = { rate: 44100, lead: 0.12, low: 0.04 };

// Per-scene checksums of a test run, as --trace prints them; the result once the program ends.
window.vantroseChecksums = [];
window.vantroseResult = null;

const page = {
  canvas: null,
  context: null,
  due: 0,           // when the next frame is due (ms, the display's clock)
  audio: null,       // AudioContext
  node: null,        // AudioWorkletNode
  pending: [],       // samples queued before the worklet was ready
  posted: 0,         // sample frames handed to the worklet
  played: 0,         // sample frames the worklet has played
  started: 0,

  show(id) {
    for (const name of ['loading', 'mode', 'show', 'closing']) $(name).hidden = name !== id;
  },

  // --- the mode dialog and the About box -------------------------------------------------
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
          ok.focus();
          return;
        }
        document.removeEventListener('keydown', keys, true);
        // Sound may start only from the user's own gesture: this click or key.
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
    this.canvas = $('screen');
    this.canvas.height = rows;
    this.canvas.style.setProperty('--rows', rows);
    this.context = this.canvas.getContext('2d', { alpha: false });
    this.show('show');
    $('fullscreen').onclick = () => {
      $('show').requestFullscreen().then(() => {
        // Escape then reaches the show instead of only leaving full screen.
        if (navigator.keyboard && navigator.keyboard.lock) navigator.keyboard.lock(['Escape']).catch(() => {});
      }).catch(() => {});
    };
    document.addEventListener('keydown', e => {
      if (e.key === 'Escape') {
        e.preventDefault();
        Module._web_post_quit();
      }
    });
  },

  draw(heap, rgba, rows) {
    const pixels = new Uint8ClampedArray(heap.buffer, rgba, 640 * rows * 4);
    this.context.putImageData(new ImageData(pixels, 640, rows), 0, 0);
  },

  // --- sound -----------------------------------------------------------------------------
  startAudio() {
    try {
      this.audio = new AudioContext({ sampleRate: show.rate, latencyHint: 'interactive' });
    } catch (e) {
      console.warn('vantrose: no sound:', e.message);
      return;
    }
    this.audio.resume();
    this.audio.audioWorklet.addModule('worklet.js').then(() => {
      this.node = new AudioWorkletNode(this.audio, 'vantrose-music',
                                       { numberOfInputs: 0, outputChannelCount: [2] });
      this.node.port.onmessage = e => { this.played = e.data; };
      this.node.connect(this.audio.destination);
      for (const chunk of this.pending) this.node.port.postMessage(chunk, [chunk.buffer]);
      this.pending = [];
    }).catch(e => console.warn('vantrose: no sound:', e.message));
  },

  soundRunning() {
    return this.audio !== null && this.audio.state === 'running' && this.node !== null;
  },

  queuedSeconds() {
    return (this.posted - this.played) / show.rate;
  },

  queueAudio(heap16, samples, frames) {
    if (!this.audio) return;
    const source = heap16.subarray(samples >> 1, (samples >> 1) + 2 * frames);
    const chunk = new Float32Array(2 * frames);
    for (let i = 0; i < chunk.length; ++i) chunk[i] = source[i] / 32768;
    this.posted += frames;
    if (this.node) this.node.port.postMessage(chunk, [chunk.buffer]);
    else this.pending.push(chunk);
  },

  // --- the browser's turn between two frames ---------------------------------------------
  // The show's clock is its frames, 60 a second: a frame is due every 1/60 s and takes the first
  // display refresh at or shortly before that time (half a period of slack takes up the jitter),
  // so 75 or 120 Hz displays show 60 frames a second too. The sound leads the picture by
  // `low`..`lead` seconds: under it the show renders on at once (the picture waits), over it the
  // show skips a refresh.
  async turn() {
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
  },
  onExit: status => page.ended(status),
};

// exit() ends the program by throwing ExitStatus out of the last browser turn: not an error.
window.addEventListener('unhandledrejection', e => {
  if (e.reason && e.reason.name === 'ExitStatus') e.preventDefault();
});
window.addEventListener('error', e => {
  if (e.error && e.error.name === 'ExitStatus') e.preventDefault();
});

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
  page.started = performance.now();
  Module.callMain(args);
};
