// The music's output: plays the stereo samples the show renders frame by frame, in order, and
// tells the page how many it has rendered, and the context time they reach. Silence while none are queued.
'use strict';

class VantroseMusic extends AudioWorkletProcessor {
  constructor() {
    super();
    this.queue = [];
    this.at = 0;      // next sample frame of queue[0]
    this.played = 0;
    this.blocks = 0;
    this.port.onmessage = e => this.queue.push(e.data);
  }

  process(inputs, outputs) {
    const [left, right] = outputs[0];
    let i = 0;
    while (i < left.length && this.queue.length > 0) {
      const chunk = this.queue[0];
      const frames = Math.min(left.length - i, chunk.length / 2 - this.at);
      for (let k = 0; k < frames; ++k, ++i, ++this.at) {
        left[i] = chunk[2 * this.at];
        right[i] = chunk[2 * this.at + 1];
      }
      if (this.at * 2 >= chunk.length) {
        this.queue.shift();
        this.at = 0;
      }
    }
    this.played += i;
    left.fill(0, i);
    right.fill(0, i);
    if (++this.blocks % 8 === 0 || i < left.length)
      this.port.postMessage([this.played, currentTime + left.length / sampleRate]);
    return true;
  }
}

registerProcessor('vantrose-music', VantroseMusic);
