// What the tests see of the phone page beyond its DOM, put into the browser
// before the page loads, as a browser's own instruments would see it: the
// page itself carries nothing for the tests.
//
// - The sound log: every buffer the page starts on the Web Audio clock, with
//   the sound file it came from and the clock time it was set for; a start
//   taken back before its time (stop() before it began) is marked cancelled.
// - Hidden: document.hidden and visibilityState as a pocketed phone has them,
//   with the visibilitychange event, and timers throttled while hidden as
//   browsers throttle a hidden page's: none fires more than once in
//   HIDDEN_TIMER_MS.
// - The tones: every oscillator the page starts, and every pitch it sets on
//   an oscillator's frequency on the audio clock (Hz, and the clock time).
// - The screen wake lock: absent (as over plain http), present and granting
//   (at once or after a while), or present and refusing; refused to a hidden
//   page as browsers do; the calls are counted, and the browser can take the
//   locks back as it does from a hidden page. And, if asked, a browser that
//   refuses to play any video.
// - A browser with only the prefixed audio context, whose decodeAudioData
//   answers by its callbacks and returns nothing.
"use strict";

const HIDDEN_TIMER_MS = 10000;

function instrument(options) {
  const log = { starts: [], contexts: [], tones: [], pitches: [], hidden: false,
                wakeLocks: { requested: 0, granted: 0, released: 0 } };
  Object.defineProperty(window, "__pageObserver", { value: log });

  // Which sound file each decoded buffer came from.
  const urls = new WeakMap(), names = new WeakMap();
  const arrayBuffer = Response.prototype.arrayBuffer;
  Response.prototype.arrayBuffer = function () {
    const url = this.url;
    return arrayBuffer.call(this).then((bytes) => { urls.set(bytes, url); return bytes; });
  };
  const decode = BaseAudioContext.prototype.decodeAudioData;
  BaseAudioContext.prototype.decodeAudioData = function (bytes, success, failure) {
    const name = (/\/sounds\/(\w+)\.wav$/.exec(urls.get(bytes) || "") || [])[1];
    const named = (decoded) => { names.set(decoded, name); return decoded; };
    const decoding = decode.call(this, bytes, success && ((decoded) => success(named(decoded))), failure)
      .then(named);
    return options.prefixedAudio ? undefined : decoding;
  };
  if (options.prefixedAudio) {
    window.webkitAudioContext = window.AudioContext;
    delete window.AudioContext;
  }
  const createBufferSource = BaseAudioContext.prototype.createBufferSource;
  BaseAudioContext.prototype.createBufferSource = function () {
    if (!log.contexts.includes(this)) log.contexts.push(this);
    return createBufferSource.call(this);
  };
  const start = AudioBufferSourceNode.prototype.start;
  AudioBufferSourceNode.prototype.start = function (when, ...rest) {
    const clock = this.context.currentTime;
    log.starts.push({ name: names.get(this.buffer), when: Math.max(when || 0, clock), setAt: clock, node: this });
    return start.call(this, when, ...rest);
  };
  const stop = AudioScheduledSourceNode.prototype.stop;
  AudioScheduledSourceNode.prototype.stop = function (when, ...rest) {
    const entry = log.starts.find((s) => s.node === this);
    if (entry && Math.max(when || 0, this.context.currentTime) < entry.when) entry.cancelled = true;
    return stop.call(this, when, ...rest);
  };

  // The tones and their pitches.
  const createOscillator = BaseAudioContext.prototype.createOscillator;
  const frequencies = new WeakSet();
  BaseAudioContext.prototype.createOscillator = function () {
    if (!log.contexts.includes(this)) log.contexts.push(this);
    const oscillator = createOscillator.call(this);
    frequencies.add(oscillator.frequency);
    const tone = { started: false, stopped: false, context: this };
    log.tones.push(tone);
    const { start: startTone, stop: stopTone } = oscillator;
    oscillator.start = (...args) => { tone.started = true; return startTone.apply(oscillator, args); };
    oscillator.stop = (...args) => { tone.stopped = true; return stopTone.apply(oscillator, args); };
    return oscillator;
  };
  for (const method of ["setValueAtTime", "setTargetAtTime", "linearRampToValueAtTime", "exponentialRampToValueAtTime"]) {
    const set = AudioParam.prototype[method];
    AudioParam.prototype[method] = function (value, when, ...rest) {
      if (frequencies.has(this)) log.pitches.push({ hz: value, when: when, setAt: log.tones[0].context.currentTime });
      return set.call(this, value, when, ...rest);
    };
  }

  // Hidden, and timers throttled meanwhile.
  Object.defineProperty(Document.prototype, "hidden", { get: () => log.hidden, configurable: true });
  Object.defineProperty(Document.prototype, "visibilityState", {
    get: () => (log.hidden ? "hidden" : "visible"), configurable: true });
  log.setHidden = (hidden) => {
    log.hidden = hidden;
    document.dispatchEvent(new Event("visibilitychange"));
  };
  const setTimeoutNative = window.setTimeout, setIntervalNative = window.setInterval;
  log.setTimeoutNative = setTimeoutNative.bind(window);
  let nextWake = 0;
  // A hidden page's timer waits for the next wake-up, which comes at most once
  // in HIDDEN_TIMER_MS; a shown page's runs as asked.
  const throttled = (callback) => function (...args) {
    if (log.hidden) {
      const now = performance.now();
      if (now < nextWake) return false;
      nextWake = now + options.hiddenTimerMs;
    }
    callback.apply(this, args);
    return true;
  };
  window.setInterval = (callback, ms, ...args) => setIntervalNative(throttled(callback), ms, ...args);
  window.setTimeout = (callback, ms, ...args) => {
    const run = throttled(callback);
    const attempt = () => { if (!run(...args)) setTimeoutNative(attempt, 50); };
    return setTimeoutNative(attempt, ms);
  };

  // A browser that lets no video play unasked.
  if (options.videoRefused)
    HTMLMediaElement.prototype.play = () => Promise.reject(new DOMException("refused", "NotAllowedError"));

  // The screen wake lock as the test wants it.
  if (options.wakeLock === "absent") delete Navigator.prototype.wakeLock;
  else Object.defineProperty(Navigator.prototype, "wakeLock", { get: () => wakeLock(log, options), configurable: true });
}

// A wake lock API as browsers have it: a lock is an event target that says
// "release" once, whoever lets it go; a hidden page is refused.
function wakeLock(log, options) {
  if (log.wakeLock) return log.wakeLock;
  const held = new Set();
  const release = (sentinel) => {
    if (sentinel.released) return Promise.resolve();
    sentinel.released = true;
    held.delete(sentinel);
    log.wakeLocks.released += 1;
    sentinel.dispatchEvent(new Event("release"));
    return Promise.resolve();
  };
  const grant = () => {
    const sentinel = new EventTarget();
    sentinel.released = false;
    sentinel.release = () => release(sentinel);
    held.add(sentinel);
    log.wakeLocks.granted += 1;
    return sentinel;
  };
  log.browserReleasesLocks = () => [...held].forEach(release);
  log.wakeLock = {
    request: () => {
      log.wakeLocks.requested += 1;
      if (options.wakeLock === "refusing" || log.hidden)
        return Promise.reject(new DOMException("refused", "NotAllowedError"));
      return new Promise((resolve) => log.setTimeoutNative(() => resolve(grant()), options.wakeLockDelayMs));
    },
  };
  return log.wakeLock;
}

// Puts the instruments into every document the page loads from now on.
async function observe(page, options = {}) {
  await page.evaluateOnNewDocument(`(() => { ${wakeLock.toString()}; (${instrument.toString()})(${JSON.stringify({
    wakeLock: options.wakeLock || "granting", hiddenTimerMs: HIDDEN_TIMER_MS, videoRefused: Boolean(options.videoRefused),
    wakeLockDelayMs: options.wakeLockDelayMs || 0, prefixedAudio: Boolean(options.prefixedAudio) })}); })()`);
}

// The sounds the page set to play and did not take back, in the order of
// their clock times: {name, when} with when in seconds of the audio clock.
const played = (page) => page.evaluate(() => window.__pageObserver.starts.filter((s) => !s.cancelled)
  .map((s) => ({ name: s.name, when: s.when })).sort((a, b) => a.when - b.when));
// The audio clock and state of the page's context (null before the first sound or tone).
const audioClock = (page) => page.evaluate(() => {
  const context = window.__pageObserver.contexts[0];
  return context ? { time: context.currentTime, state: context.state } : null;
});
const setHidden = (page, hidden) => page.evaluate((h) => window.__pageObserver.setHidden(h), hidden);
const wakeLocks = (page) => page.evaluate(() => Object.assign({}, window.__pageObserver.wakeLocks));
// The browser takes back every wake lock the page holds.
const browserReleasesLocks = (page) => page.evaluate(() => window.__pageObserver.browserReleasesLocks());
// The tones the page started and the pitches it set, in the order set.
const tones = (page) => page.evaluate(() => ({
  tones: window.__pageObserver.tones.map((t) => ({ started: t.started, stopped: t.stopped })),
  pitches: window.__pageObserver.pitches.slice() }));
// The browser takes the sound away, as some do from a hidden page.
const suspendAudio = (page) => page.evaluate(() => window.__pageObserver.contexts[0].suspend());

// The cycles in a sound log: a tone starts one; a digit starts one unless it
// is the second digit, 600 ms after the first digit of the cycle.
function cyclesOf(sounds) {
  const cycles = [];
  for (const sound of sounds) {
    const last = cycles[cycles.length - 1];
    const digit = /^(en|ru)\d$/.test(sound.name);
    if (digit && last && last.kind === "voice" && last.sounds.length === 1 &&
        Math.abs(sound.when - last.at - 0.6) < 0.001) {
      last.sounds.push(sound.name);
      continue;
    }
    cycles.push({ kind: digit ? "voice" : sound.name, at: sound.when, sounds: [sound.name] });
  }
  return cycles;
}

module.exports = { HIDDEN_TIMER_MS, observe, played, audioClock, setHidden, wakeLocks, browserReleasesLocks, tones,
                   suspendAudio, cyclesOf };
