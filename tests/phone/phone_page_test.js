// The phone display as a person at the dish meets it: the real Zentrik.exe
// under Wine with the simulated tuner scripted, and the page in headless
// chromium on a phone-sized viewport.
//
// usage: node phone_page_test.js BUILD_DIR page|load|off   (DISPLAY, WINEPREFIX set)
"use strict";
const z = require("./zentrik_run");
const o = require("./page_observer");
const { check, waitFor, sleep } = z;

// The card locks at 37, rises to 62, loses the lock and starts over.
const SCRIPT = "latency 20\nat 0 lock 1 level 37\nat 2500 lock 1 level 62\nat 5000 lock 0 level 0\nloop 7500\n";
const HOTBIRD = "HotBird1-6   13.0e";
const SOUND_BUTTON = [10, 77], LANGUAGE_BUTTON = [10, 42], CADENCE_BUTTON = [73, 174];

// What the page shows, from its DOM, and the names of the sounds it set to play.
const shown = async (page) => Object.assign(await page.evaluate(() => {
  const text = (id) => document.getElementById(id).textContent;
  return { state: text("state"), level: text("level"), caption: text("caption"), identity: text("identity"),
           notice: text("notice"), screen: text("screen-words"), details: text("details"),
           peak: parseFloat(document.getElementById("peak").style.left) || 0 };
}), { played: (await o.played(page)).map((p) => p.name) });
const shows = (page, test, seconds) => waitFor(async () => test(await shown(page)), seconds);

// The gaps between the starts of consecutive cycles of one kind, in ms.
const gaps = (cycles, kind) => cycles.slice(1).map((c, i) => [cycles[i], c])
  .filter(([a, b]) => a.kind === kind && b.kind === kind).map(([a, b]) => Math.round((b.at - a.at) * 1000));
const cyclesNow = async (page) => o.cyclesOf(await o.played(page));

async function followsTheMeasurement(program, page) {
  check(await shows(page, (s) => s.state === "NOT MEASURING"), "before the start: NOT MEASURING");
  await program.startHotBird();
  check(await shows(page, (s) => s.state === "LOCKED" && s.level === "37%" && s.caption === HOTBIRD),
        "LOCKED at 37% with the satellite's name");
  await z.screenshot(page, "locked-37");
  check(await shows(page, (s) => s.state === "LOCKED" && s.level === "62%"), "the level follows the card: 62%");
  check(await shows(page, (s) => s.state === "SEARCHING" && s.level === "00%"), "the lock lost: SEARCHING at 00%");
  check((await shown(page)).peak > 0, "the peak mark stays up while the level is gone");
  await z.screenshot(page, "searching");
  check(await shows(page, (s) => s.peak > 0 && s.peak < 61.5), "and then sinks slowly from 62");
  const signal = JSON.parse((await z.get(program.port, "/api/signal")).body);
  check(signal.measuring === true && signal.caption === HOTBIRD && [37, 62, 0].includes(signal.level) &&
        signal.locked === (signal.level > 0) && signal.text === String(signal.level).padStart(2, "0") + "%",
        `/api/signal: ${JSON.stringify(signal)}`);
  // The simulated tuner says nothing of the satellite: nothing is claimed.
  check(signal.match === "unknown" && signal.position === null && signal.network === null &&
        signal.expected === null && signal.line === null && (await shown(page)).identity === "",
        "no identity: none claimed, none shown");
}

// After the tap the page plays what the PC plays: the tone, then in Voice
// the two digits it shows in the PC's language, from the program's files;
// Silent on the PC: the page falls quiet.
async function playsWhatThePcPlays(program, page) {
  await page.tap("#sound");
  check(await shows(page, (s) => s.played.includes("tone"), 30), "tone: after the tap the page plays the tone");
  // A cycle is the tone, 400 ms and the cadence: tones 1600 ms apart while
  // the signal lasts, never closer (the log is the page's audio clock).
  check(await waitFor(async () => gaps(await cyclesNow(page), "tone").includes(1600), 30),
        "tone: 400 ms, then the cadence: 1600 ms from tone to tone");
  check(gaps(await cyclesNow(page), "tone").every((gap) => gap >= 1600), "and never closer");
  await program.click(...SOUND_BUTTON);  // tone -> voice
  const pair = (language) => async () => (await cyclesNow(page)).some((c) =>
    [`${language}3 ${language}7`, `${language}6 ${language}2`].includes(c.sounds.join(" ")));
  check(await waitFor(pair("en"), 30), "voice: the page speaks en3 en7 or en6 en2, the digits of 37 or 62, 600 ms apart");
  const spoken = page.soundRequests.filter((r) => /^\/sounds\/en[0-9]\.wav$/.test(r.path));
  check(spoken.length > 0 && spoken.every((r) => r.status === 200),
        `the digits come from the program: ${spoken.map((r) => r.path + " " + r.status).join(", ")}`);
  const sinceVoice = (await shown(page)).played;
  check(sinceVoice.slice(sinceVoice.lastIndexOf("tone") + 1).every((name) => /^en[0-9]$/.test(name)),
        "only English digits in Voice");
  check(await waitFor(async () => gaps(await cyclesNow(page), "voice").includes(1800), 30),
        "voice: 600 ms between the digits, then the cadence: 1800 ms from cycle to cycle");
  await program.click(...CADENCE_BUTTON);  // SLOW -> FAST
  check(await waitFor(async () => gaps(await cyclesNow(page), "voice").includes(1500), 30),
        "FAST on the PC: 1500 ms from cycle to cycle");
  await program.click(...LANGUAGE_BUTTON);  // English -> Russian
  check(await waitFor(pair("ru"), 30), "Russian on the PC: the page speaks ru3 ru7 or ru6 ru2");
  await z.screenshot(page, "sound-on");
  await program.click(...SOUND_BUTTON);  // voice -> silent
  check(await shows(page, (s) => /^Sound on the PC: silent/.test(s.details)), "the PC went Silent");
  // A cycle begun before the switch ends as it began; none begins since,
  // however far the audio clock goes on.
  const switched = (await o.audioClock(page)).time;
  check(await waitFor(async () => (await o.audioClock(page)).time > switched + 4, 60), "the audio clock goes on");
  const late = (await cyclesNow(page)).filter((c) => c.at > switched);
  check(late.length === 0, `Silent: no cycle of sound begins after the switch (${JSON.stringify(late)})`);
}

async function followsBackAndRestart(program, page) {
  await program.key("BackSpace");  // <BACK
  check(await shows(page, (s) => s.state === "NOT MEASURING" && s.caption === ""), "<BACK: NOT MEASURING");
  await program.key("Return");  // the same entry once more
  check(await shows(page, (s) => s.state !== "NOT MEASURING" && s.caption === HOTBIRD), "a new start is followed");
  check(await program.stop() === 0, "Esc ends the program with exit code 0");
  check(await shows(page, (s) => s.state === "PC GONE"), "the program gone: PC GONE");
  await z.screenshot(page, "pc-gone");
  await program.start(`/phone:${program.port}`);
  check(await shows(page, (s) => s.state === "NOT MEASURING", 30), "the program back: the page reconnects by itself");
}

async function scenarioPage() {
  await z.withPhoneDisplay(SCRIPT, async (program, browser) => {
    const page = await z.phonePage(browser, program.port);
    await followsTheMeasurement(program, page);
    await playsWhatThePcPlays(program, page);
    await followsBackAndRestart(program, page);
  }, { measuring: false });
}

// Pollers per second over a stretch, from the tuner's log.
async function pollRate(program, ms) {
  const before = program.polls();
  await sleep(ms);
  return (program.polls() - before) / (ms / 1000);
}

const BAD_REQUESTS = [
  ["POST / HTTP/1.1\r\nContent-Length: 0\r\n\r\n", 405], ["GET /secret HTTP/1.1\r\n\r\n", 404],
  ["GARBAGE\r\n\r\n", 400], ["GET / HTTP/1.1\r\nno colon here\r\n\r\n", 400],
  ["GET /" + "a".repeat(5000) + " HTTP/1.1\r\n\r\n", 414],
  ["GET / HTTP/1.1\r\n" + "X-Filler: 1234567890\r\n".repeat(60) + "\r\n", 431],
  ["GET / HTTP/1.1\r\nX: " + "v".repeat(20000) + "\r\n\r\n", 431]];

// Rounds of every bad request at once: {expected, got} for each.
async function badRequestRounds(port, rounds) {
  const answers = [];
  for (let round = 0; round < rounds; ++round)
    answers.push(...await Promise.all(BAD_REQUESTS.map(([bytes, expected]) =>
      z.rawRequest(port, [bytes]).then((a) => ({ expected, got: a.status })))));
  return answers;
}

// Many event streams, slow and idle clients and bad requests at once, while
// the window's poller goes on.
async function underLoad(port) {
  const streams = Array.from({ length: 12 }, () => z.rawRequest(port, ["GET /events HTTP/1.1\r\nHost: x\r\n\r\n"], 0, 6000));
  const answers = await badRequestRounds(port, 3);
  const slow = z.rawRequest(port, "GET /api/signal HTTP/1.1\r\n".split(""), 400, 30000);
  const idle = z.rawRequest(port, [], 0, 30000);
  const crowd = await Promise.all(Array.from({ length: 40 }, () => z.get(port, "/api/signal", 15000)));
  return { streams, answers, slow: await slow, idle: await idle, crowd };
}

// Sixteen event streams hold every slot for as long as they are open: a
// client meanwhile is refused, one served once a stream has gone.
async function clientLimitHolds(port) {
  const holders = [];
  for (let i = 0; i < 16; ++i) holders.push(await z.openStream(port));
  const refused = (await z.get(port, "/api/signal")).status === 503;
  holders[0].close();
  const served = await waitFor(async () => (await z.get(port, "/api/signal")).status === 200);
  holders.forEach((h) => h.close());
  return holders.every((h) => h.status === 200) && refused && served;
}

async function scenarioLoad() {
  const program = new z.Program("latency 20\nat 0 lock 1 level 55\n");
  try {
    program.port = await z.freePort();
    await program.start(`/phone:${program.port}`);
    await program.startHotBird();
    await waitFor(() => program.polls() > 20);
    for (let i = 0; i < 20; ++i) await z.get(program.port, "/");  // warm-up
    const quiet = await pollRate(program, 4000);
    const memoryBefore = program.privateKib();
    const load = underLoad(program.port);
    const busy = await pollRate(program, 4000);
    const result = await load;
    console.log(`polls per second: ${quiet.toFixed(1)} without clients, ${busy.toFixed(1)} under load`);
    // A quarter: with no processor to spare any client takes a share; a server
    // that held the window up would bring the ratio near nothing.
    check(quiet > 0 && busy / quiet > 0.25, "the poller keeps its pace under load (ratio > 0.25)");
    // With every slot taken a bad request may be told 503 first, as any client is.
    const wrong = result.answers.filter((a) => a.got !== a.expected && a.got !== 503);
    check(wrong.length === 0, `under load, bad requests get their 4xx or 503 (${JSON.stringify(wrong)})`);
    const alone = (await badRequestRounds(program.port, 1)).filter((a) => a.got !== a.expected);
    check(alone.length === 0, `alone, each bad request gets its own 4xx (${JSON.stringify(alone)})`);
    check(result.slow.status === 408, `a slow client is cut off (${result.slow.status})`);
    check(result.idle.status === 408, `an idle client is cut off (${result.idle.status})`);
    const statuses = result.crowd.map((r) => r.status);
    check(statuses.includes(200) && statuses.every((s) => s === 200 || s === 503),
          `40 clients at once: served or told 503 (${[...new Set(statuses)]})`);
    const streams = await Promise.all(result.streams);
    check(streams.every((s) => s.status === 200 || s.status === 503), "the event streams are served or refused");
    check(await clientLimitHolds(program.port), "the 17th client at once is told 503, and served once a slot is free");
    for (let i = 0; i < 20; ++i) await z.get(program.port, "/");
    const memoryAfter = program.privateKib();
    console.log(`private memory: ${memoryBefore} KiB before the load, ${memoryAfter} KiB after`);
    check(memoryAfter < memoryBefore + 16 * 1024, "memory stays flat (less than 16 MiB more)");
    const signal = await z.get(program.port, "/api/signal");
    check(signal.status === 200 && JSON.parse(signal.body).level === 55, "still answering after the load");
    check(await program.stop() === 0, "and it ends with exit code 0");
  } finally {
    await program.stop();
    program.remove();
  }
}

// Without the switch nothing is loaded and nothing listens; a bad port is
// told and the program runs on without the display; a port in use likewise.
async function scenarioOff() {
  const program = new z.Program("latency 20\n");
  try {
    program.port = await z.freePort();
    await program.start();
    check(!program.loadedPhoneModule(), "without /phone: ZentrikPhone.dll is not loaded");
    check((await z.get(program.port, "/")).status === 0, "and nothing answers on the port");
    await program.stop();
    await program.start(`/phone:${program.port}`);
    check(program.loadedPhoneModule() && (await z.get(program.port, "/")).status === 200,
          "with /phone: loaded and serving (so the checks above can see it)");
    const other = new z.Program("latency 20\n");
    const start = other.start(`/phone:${program.port}`).catch((e) => check(false, String(e)));
    const texts = await other.messageBox("Attention!");
    check(texts.some((t) => t.includes(`cannot use port ${program.port}`)), `port in use: told (${texts})`);
    await other.answerBox("Attention!");
    await start;
    check(!other.loadedPhoneModule() && other.exited === null, "and the second program runs without the display");
    // Two windows on one spot: keys would go astray, so both are ended outright
    // (the page scenario shows the ordered exit).
    for (const p of [other, program]) {
      p.kill();
      await waitFor(() => p.exited !== null);
    }
    await waitFor(() => !program.visible());
    other.remove();
    const bad = program.start("/phone:70000").catch((e) => check(false, String(e)));
    const badTexts = await program.messageBox("Attention!");
    check(badTexts.some((t) => t.includes("port number from 1 to 65535")), `a bad port is told (${badTexts})`);
    await program.answerBox("Attention!");
    await bad;
    check(!program.loadedPhoneModule() && program.exited === null, "and the program runs without the display");
    program.kill();
  } finally {
    await program.stop();
    program.remove();
  }
}

// --- the screen kept on ---------------------------------------------------

const video = (page) => page.evaluate(() => {
  const v = document.getElementById("awake");
  return { paused: v.paused, muted: v.muted, loop: v.loop, inline: v.playsInline, time: v.currentTime,
           everPlayed: v.played.length > 0, seen: getComputedStyle(v).display !== "none",
           source: v.currentSrc.replace(/^.*\//, "") };
});
const playing = (v) => !v.paused && v.muted && v.loop && v.inline && v.seen;
const VIDEO_WORDS = "Screen kept on (silent video)", LOCK_WORDS = "Screen kept on (wake lock)";
const IDLE_WORDS = "The screen stays on while the sound is on", GONE_WORDS = "The screen may turn off: PC gone";
const RELEASED_WORDS = "The browser let the screen turn off: it is kept on again once the page is in front";
const NO_WORDS = "This browser cannot keep the screen on: give the phone a longer screen timeout";

// Without the wake lock (a page over plain http), the tap starts the muted
// looping inline video, which really plays; the second tap stops it.
async function videoWithoutWakeLock(program, browser) {
  const page = await z.phonePage(browser, program.port, { wakeLock: "absent" });
  check(await shows(page, (s) => s.state === "LOCKED" && s.screen === IDLE_WORDS), "before the tap: " + IDLE_WORDS);
  check((await video(page)).paused, "and no video plays");
  await page.tap("#sound");
  check(await waitFor(async () => { const v = await video(page); return playing(v) && v.time > 0.5; }),
        `no wake lock: the tap starts the video, muted, looping, inline, and it plays (${JSON.stringify(await video(page))})`);
  check((await shown(page)).screen === VIDEO_WORDS, `the page says so: ${VIDEO_WORDS}`);
  const served = page.responses.filter((r) => /^\/keep-awake\./.test(r.path));
  check(served.length > 0 && served.every((r) => r.status === 200 || r.status === 206),
        `the video comes from the program (${served.map((r) => r.path + " " + r.status)})`);
  // The browser took the MP4; the WebM, for browsers without H.264, plays too.
  const webm = await page.evaluate(() => new Promise((resolve) => {
    const other = document.createElement("video");
    other.muted = true;
    other.src = "/keep-awake.webm";
    other.ontimeupdate = () => { if (other.currentTime > 0.5) resolve(true); };
    other.onerror = () => resolve(false);
    setTimeout(() => resolve(false), 20000);
    other.play().catch(() => resolve(false));
  }));
  check(webm, "the WebM encoding plays as well");
  await z.screenshot(page, "screen-video");
  await page.tap("#sound");
  check(await waitFor(async () => (await video(page)).paused), "the second tap stops the video");
  check((await shown(page)).screen === IDLE_WORDS, "and the page says the screen is no longer kept on");
  await page.tap("#sound");
  check(await waitFor(async () => playing(await video(page))), "a third tap starts it again");
  return page;
}

// Where the wake lock is offered it is used, and the video never; where it
// is refused, the video keeps the screen on instead.
async function wakeLockWhenOffered(program, browser) {
  const page = await z.phonePage(browser, program.port, { wakeLock: "granting" });
  check(await shows(page, (s) => s.state === "LOCKED"), "a page with the wake lock");
  await page.tap("#sound");
  check(await shows(page, (s) => s.screen === LOCK_WORDS), `the tap takes the wake lock: ${LOCK_WORDS}`);
  check((await o.wakeLocks(page)).requested === 1, "one request");
  check(!(await video(page)).everPlayed && !page.responses.some((r) => /^\/keep-awake\./.test(r.path)),
        "and the video is neither played nor fetched");
  await page.tap("#sound");
  check(await waitFor(async () => (await o.wakeLocks(page)).released === 1), "the second tap releases the lock");
  await page.close();
  const refused = await z.phonePage(browser, program.port, { wakeLock: "refusing" });
  check(await shows(refused, (s) => s.state === "LOCKED"), "a page whose wake lock is refused");
  await refused.tap("#sound");
  check(await waitFor(async () => playing(await video(refused))) && (await shown(refused)).screen === VIDEO_WORDS,
        "the lock refused: the video keeps the screen on");
  await refused.close();
  const neither = await z.phonePage(browser, program.port, { wakeLock: "absent", videoRefused: true });
  check(await shows(neither, (s) => s.state === "LOCKED"), "a page with neither the lock nor a video");
  await neither.tap("#sound");
  check(await shows(neither, (s) => s.screen === NO_WORDS), `the page says it cannot: ${NO_WORDS}`);
  await neither.close();
}

// Canned readings in place of the program's: the event stream's one event
// and /api/signal, each the reading current() gives when it is asked for.
function cannedReadings(current) {
  return (path) => {
    const reading = JSON.stringify(current());
    if (path === "/events")
      return { status: 200, contentType: "text/event-stream", body: `retry: 200\n\nevent: signal\ndata: ${reading}\n\n` };
    if (path === "/api/signal") return { status: 200, contentType: "application/json", body: reading };
    return null;
  };
}

// The identity as the page shows it: the line the PC's window draws, as the
// readings carry it, from canned readings (the simulated tuner has no
// identity to give).
async function namesTheSatellite(program, browser) {
  const base = { measuring: true, locked: true, level: 55, text: "55%", caption: HOTBIRD, sound: "silent",
                 language: "english", cadence: 1200 };
  let reading = Object.assign({}, base, { position: null, network: null, match: "unknown", expected: null, line: null });
  const page = await z.phonePage(browser, program.port, { answer: cannedReadings(() => reading) });
  check(await shows(page, (s) => s.state === "LOCKED" && s.level === "55%" && s.identity === ""),
        "identity unknown: the page says nothing of it");
  const cases = [
    [{ position: "13.0E", network: "Mediaset", match: "confirmed", expected: "13.0E" }, "13.0E confirmed: Mediaset"],
    [{ position: "19.2E", network: "ASTRA 1", match: "mismatch", expected: "13.0E" }, "not 13.0E: this is 19.2E, ASTRA 1"],
    [{ position: "19.2E", network: "ASTRA 1", match: "alone", expected: null }, "19.2E ASTRA 1"],
    [{ position: "5.0W", network: "<b>&amp;</b>", match: "alone", expected: null }, "5.0W <b>&amp;</b>"],
    [{ position: "13.0E", network: null, match: "confirmed", expected: "13.0E" }, "13.0E confirmed"],
  ];
  for (const [identity, words] of cases) {
    reading = Object.assign({}, base, identity, { line: words });
    check(await shows(page, (s) => s.identity === words), `${identity.match}: "${words}"`);
    if (identity.match === "mismatch") await z.screenshot(page, "identity-mismatch");
  }
  check(await page.evaluate(() => document.getElementById("identity").children.length === 0),
        "a network's name is shown as text, never as markup");
  // A line without a claim behind it (a reading of no satellite) is not shown.
  reading = Object.assign({}, base, { position: null, network: null, match: "unknown", expected: null,
                                      line: "13.0E confirmed: Mediaset" });
  check(await shows(page, (s) => s.state === "LOCKED" && s.identity === ""), "match unknown: no line");
  // A claim in a reading without the lock (a program that let one through) is not shown either.
  reading = Object.assign({}, base, cases[0][0], { locked: false, level: 0, text: "00%", line: cases[0][1] });
  check(await shows(page, (s) => s.state === "SEARCHING" && s.identity === ""), "no lock: no line, whatever the reading claims");
  reading = Object.assign({}, base, { measuring: false });
  check(await shows(page, (s) => s.state === "NOT MEASURING" && s.identity === ""), "not measuring: no identity");
  await page.close();
}

// The lock as the page holds it: a lock that comes after the taps that asked
// for it is let go unless it is the last one asked for; one the browser takes
// back is asked for again at once in front, and once shown when hidden,
// never falling to the video meanwhile.
async function wakeLockKeptRight(program, browser) {
  const page = await z.phonePage(browser, program.port, { wakeLock: "granting", wakeLockDelayMs: 1500 });
  check(await shows(page, (s) => s.state === "LOCKED"), "a page whose wake lock comes after a while");
  for (let tap = 0; tap < 3; ++tap) await page.tap("#sound");  // on, off, on before the first lock comes
  const held = (w) => w.granted - w.released;
  check(await waitFor(async () => { const w = await o.wakeLocks(page); return w.granted === 2 && held(w) === 1; }),
        `three quick taps: two locks came, the first let go (${JSON.stringify(await o.wakeLocks(page))})`);
  check(await shows(page, (s) => s.screen === LOCK_WORDS), "and the screen is kept on by the last");
  const asked = (await o.wakeLocks(page)).requested;
  await o.browserReleasesLocks(page);
  check(await waitFor(async () => { const w = await o.wakeLocks(page); return w.requested === asked + 1 && held(w) === 1; }),
        "the browser took the lock back in front: the page asks again at once");
  check(await shows(page, (s) => s.screen === LOCK_WORDS), "and keeps the screen on with it");
  await o.setHidden(page, true);
  await o.browserReleasesLocks(page);
  check(await shows(page, (s) => s.screen === RELEASED_WORDS), `hidden, the lock taken back: ${RELEASED_WORDS}`);
  await sleep(1000);
  check((await o.wakeLocks(page)).requested === asked + 1 && !(await video(page)).everPlayed,
        "no lock is asked for while hidden, and the video is not played instead");
  await o.setHidden(page, false);
  check(await waitFor(async () => { const w = await o.wakeLocks(page); return w.requested === asked + 2 && held(w) === 1; }) &&
        await shows(page, (s) => s.screen === LOCK_WORDS), "shown again: the lock is asked for, and held");
  await page.tap("#sound");
  check(await waitFor(async () => held(await o.wakeLocks(page)) === 0), "the sound off lets it go");
  await page.close();
}

// A browser with only the prefixed audio context, whose decodeAudioData
// returns no promise, still plays the PC's sounds.
async function playsWithThePrefixedContext(program, browser) {
  const page = await z.phonePage(browser, program.port, { prefixedAudio: true });
  check(await shows(page, (s) => s.state === "LOCKED"), "a browser with only webkitAudioContext");
  await page.tap("#sound");
  check(await shows(page, (s) => s.played.includes("tone"), 30), "the tone plays there too");
  await page.close();
}

async function scenarioScreen() {
  await z.withPhoneDisplay("latency 20\nat 0 lock 1 level 55\n", async (program, browser) => {
    const page = await videoWithoutWakeLock(program, browser);
    await wakeLockWhenOffered(program, browser);
    await namesTheSatellite(program, browser);
    await wakeLockKeptRight(program, browser);
    await playsWithThePrefixedContext(program, browser);
    // The PC gone lets the screen go dark; back, the video plays again while
    // the sound is still on.
    check(await program.stop() === 0, "the program ends");
    check(await shows(page, (s) => s.state === "PC GONE" && s.screen === GONE_WORDS), `PC gone: ${GONE_WORDS}`);
    check((await video(page)).paused, "and the video stopped");
    await program.start(`/phone:${program.port}`);
    check(await waitFor(async () => playing(await video(page)), 30) && (await shown(page)).screen === VIDEO_WORDS,
          "the PC back: the video plays again, the sound being still on");
  });
}

// --- the phone in the pocket --------------------------------------------------

// The cycles of the audio log begun between two clock times, each with the
// gap to the next one, in ms.
async function cyclesBetween(page, from, to) {
  const cycles = await cyclesNow(page);
  return cycles.map((c, i) => Object.assign({}, c, { gap: cycles[i + 1] ? Math.round((cycles[i + 1].at - c.at) * 1000) : null }))
    .filter((c) => c.at >= from && c.at <= to);
}

const CYCLE_MS = { tone: [1600, 1300], voice: [1800, 1500] };

// Hidden for 20 s with its timers throttled to one wake-up in ten seconds,
// while the PC goes from SLOW to FAST, from Tone to Voice and back to SLOW:
// the page's sounds keep the PC's cadence throughout.
async function keepsTheCadenceHidden(program, page) {
  const hiddenAt = (await o.audioClock(page)).time;
  await o.setHidden(page, true);
  for (const button of [CADENCE_BUTTON, SOUND_BUTTON, CADENCE_BUTTON]) {
    await sleep(5000);
    await program.click(...button);
  }
  await sleep(5500);
  const shownAt = (await o.audioClock(page)).time;
  await o.setHidden(page, false);
  check(shownAt - hiddenAt >= 20, `hidden for ${(shownAt - hiddenAt).toFixed(1)} s of the audio clock`);
  const cycles = await cyclesBetween(page, hiddenAt, shownAt);
  const wrong = cycles.filter((c) => c.gap !== null && !CYCLE_MS[c.kind].includes(c.gap));
  check(cycles.length >= 12 && wrong.length === 0,
        `hidden: ${cycles.length} cycles, each as long as the PC's (${JSON.stringify(wrong)})`);
  const phases = cycles.filter((c) => c.gap !== null).map((c) => `${c.kind} ${c.gap}`)
    .filter((phase, i, all) => i === 0 || all[i - 1] !== phase);
  check(phases.join(", ") === "tone 1600, tone 1300, voice 1500, voice 1800",
        `the PC's changes followed in order: ${phases.join(", ")}`);
  check(cycles[0].at - hiddenAt <= 1.6 && cycles.filter((c) => c.kind === "voice").every((c) => c.sounds.join(" ") === "en5 en5"),
        "no gap after hiding, and both digits of 55 in every voice cycle");
  check(await waitFor(async () => (await cyclesNow(page)).some((c) => c.at > shownAt)), "shown again: the sound goes on");
  check((await shown(page)).notice === "", "and nothing is said to have stopped");
}

// Where the browser stops a hidden page's sound, the page says so when shown
// again, and takes up the sound and the reading at once, without a tap.
async function catchesUpWhenShown(page) {
  await o.setHidden(page, true);
  await o.suspendAudio(page);
  await sleep(3000);
  const asked = page.responses.filter((r) => r.path === "/api/signal").length;
  const clock = (await o.audioClock(page)).time;
  await o.setHidden(page, false);
  check(await shows(page, (s) => s.notice === "Sound stopped while the screen was off"),
        "the sound stopped while hidden: the page says so when shown");
  check(await waitFor(async () => page.responses.filter((r) => r.path === "/api/signal").length > asked),
        "shown again: it asks for the reading at once");
  check((await shown(page)).level === "55%", "and shows it");
  check(await waitFor(async () => (await o.audioClock(page)).state === "running"), "the sound resumed without a tap");
  check(await waitFor(async () => (await cyclesNow(page)).some((c) => c.at > clock)), "and its cycles go on");
  await z.screenshot(page, "sound-stopped");
}

async function scenarioPocket() {
  await z.withPhoneDisplay("latency 20\nat 0 lock 1 level 55\n", async (program, browser) => {
    const page = await z.phonePage(browser, program.port);
    check(await shows(page, (s) => s.state === "LOCKED" && s.level === "55%"), "LOCKED at 55%");
    await page.tap("#sound");
    check(await waitFor(async () => gaps(await cyclesNow(page), "tone").includes(1600), 30), "the tone every 1600 ms");
    await keepsTheCadenceHidden(program, page);
    await catchesUpWhenShown(page);
  });
}

// --- peaking -------------------------------------------------------------------

// The two readings as the page shows them, and the values of their history
// lines (in percent, oldest first).
const peakingShown = (page) => page.evaluate(() => {
  const reading = (id) => {
    const box = document.getElementById(id), mark = box.querySelector(".reading-peak");
    return { now: box.querySelector(".reading-now").textContent, words: box.querySelector(".reading-words").textContent,
             mark: mark.classList.contains("held") ? parseFloat(mark.style.left) : null };
  };
  const line = (id) => (document.getElementById(id).getAttribute("d").match(/[ML][-\d.]+ [-\d.]+/g) || [])
    .map((point) => 100 - Number(point.split(" ")[1]));
  const firstX = (document.getElementById("history-quality").getAttribute("d").match(/^M([-\d.]+)/) || [])[1];
  return { strength: reading("strength"), quality: reading("quality"),
           strengthLine: line("history-strength"), qualityLine: line("history-quality"),
           since: document.getElementById("history-since").textContent, firstX: Number(firstX) };
});
const peakingShows = (page, test, seconds) => waitFor(async () => test(await peakingShown(page)), seconds);

// The pitches set, each once, in the order set.
const pitchesSet = async (page) => (await o.tones(page)).pitches.map((p) => Math.round(p.hz))
  .filter((hz, i, all) => i === 0 || all[i - 1] !== hz);
const lastPitch = async (page) => (await pitchesSet(page)).slice(-1)[0];

// Both readings from the real program, through the scripted tuner.
async function showsBothReadings(program, browser) {
  const page = await z.phonePage(browser, program.port);
  check(await peakingShows(page, (s) => s.strength.now === "62%" && s.quality.now === "35%"),
        "the program's readings: Strength 62%, Quality 35%");
  check(await peakingShows(page, (s) => s.strength.words === "peak 62, at the peak" && s.qualityLine.includes(35)),
        "with their peaks and their history");
  await z.screenshot(page, "peaking-program");
  await page.close();
}

// A quality that rises and falls, from canned readings: the peak held, the
// history drawn, and Pitch following it on the audio clock.
async function holdsThePeak(page, reading) {
  reading({ strength: 60, quality: 40 });
  check(await peakingShows(page, (s) => s.quality.now === "40%" && s.strength.now === "60%"), "quality 40, strength 60");
  const at40 = await waitFor(async () => (await pitchesSet(page)).length > 0) && await lastPitch(page);
  reading({ strength: 80, quality: 70 });
  check(await peakingShows(page, (s) => s.quality.words === "peak 70, at the peak"), "quality up to 70: \"peak 70\"");
  const at70 = await waitFor(async () => await lastPitch(page) > at40) && await lastPitch(page);
  reading({ strength: 75, quality: 50 });
  check(await peakingShows(page, (s) => s.quality.now === "50%" && s.quality.words === "peak 70, 20 below" &&
                                      s.quality.mark === 70 && s.strength.words === "peak 80, 5 below"),
        "down to 50: the peak held at 70, the mark on the bar at 70%, and \"20 below\"");
  const at50 = await waitFor(async () => await lastPitch(page) < at70) && await lastPitch(page);
  check(at40 < at50 && at50 < at70, `Pitch follows the quality: ${at40} Hz at 40, ${at70} Hz at 70, ${at50} Hz at 50`);
  check(await peakingShows(page, (s) => Math.max(...s.qualityLine) === 70 && s.qualityLine.includes(40) &&
                                      s.qualityLine.slice(-1)[0] === 50 && Math.max(...s.strengthLine) === 80),
        `the history shows where the maximum was: 70 for quality, 80 for strength (${
          JSON.stringify(await peakingShown(page)).slice(0, 400)})`);
  // Past its shortest span, and short of two minutes, the graph is as long
  // as what it holds: its first point at its left edge, its span under it.
  check(await peakingShows(page, (s) => /^\d+ s ago$/.test(s.since) && Number.parseInt(s.since) > 10 && s.firstX < 1, 30),
        `a history of seconds fills the graph (${JSON.stringify(await peakingShown(page)).slice(-60)})`);
  await z.screenshot(page, "peaking");
  reading({ strength: null, quality: null, level: 60 });
  check(await peakingShows(page, (s) => s.quality.now === "--" && s.quality.words === "peak 70"),
        "no quality from the tuner: \"--\" and the peak kept");
  check(await waitFor(async () => { const hz = await lastPitch(page); return hz > at50 && hz < at70; }),
        "and Pitch follows the level, 60, instead");
  await page.tap("#reset-peak");
  reading({ strength: 66, quality: 45 });
  check(await peakingShows(page, (s) => s.quality.words === "peak 45, at the peak" && s.strength.words === "peak 66, at the peak"),
        "Reset peak: the peaks start again from the readings of now");
}

// Pitch keeps its pitch on the audio clock with the page hidden and its
// timers slowed; the PC's tone is not played meanwhile.
async function pitchInThePocket(page, reading) {
  await o.setHidden(page, true);
  reading({ strength: 70, quality: 80 });
  const before = await lastPitch(page);
  check(await waitFor(async () => await lastPitch(page) > before), "hidden: Pitch goes up with the quality all the same");
  const { tones, pitches } = await o.tones(page), clock = (await o.audioClock(page)).time;
  check(tones.length === 1 && tones[0].started && !tones[0].stopped && pitches.slice(-1)[0].when >= clock - 2,
        "one tone, never stopped, its pitch set on the audio clock of now");
  await o.setHidden(page, false);
  check((await o.played(page)).length === 0, "Pitch chosen: the PC's tone is not played");
}

// The page fits a narrow phone held upright: nothing to scroll sideways.
async function fitsNarrowPhones(page) {
  for (const width of [320, 360, 390]) {
    await page.setViewport({ width, height: 700, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
    const sizes = await page.evaluate(() => ({ scroll: document.documentElement.scrollWidth, view: window.innerWidth }));
    check(sizes.scroll <= sizes.view, `${width} px wide: no sideways scrolling (${sizes.scroll} <= ${sizes.view})`);
  }
  await z.screenshot(page, "peaking-320");
}

async function scenarioPeaking() {
  await z.withPhoneDisplay("latency 20\nat 0 lock 1 level 62 strength 62 quality 35\n", async (program, browser) => {
    await showsBothReadings(program, browser);
    const base = { measuring: true, locked: true, level: 60, text: "60%", caption: HOTBIRD, sound: "tone", language: "english",
                   cadence: 1200, position: null, network: null, match: "unknown", expected: null };
    // The page opens before the lock: the graph is to begin at the first
    // reading, not at the wait before it.
    let now = Object.assign({}, base, { locked: false, level: 0, text: "0%", strength: null, quality: null });
    const page = await z.phonePage(browser, program.port, { answer: cannedReadings(() => now) });
    await page.tap("#pitch");
    await page.tap("#sound");
    await sleep(1500);
    await holdsThePeak(page, (readings) => { now = Object.assign({}, base, readings); });
    await pitchInThePocket(page, (readings) => { now = Object.assign({}, base, readings); });
    await fitsNarrowPhones(page);
  });
}

const scenarios = { page: scenarioPage, load: scenarioLoad, off: scenarioOff, screen: scenarioScreen,
                    pocket: scenarioPocket, peaking: scenarioPeaking };
const name = process.argv[3];
scenarios[name]().catch((e) => check(false, `${name}: ${e.stack || e}`)).then(() => {
  console.log(`${name}: ${z.failures.length} failed`);
  process.exit(z.failures.length ? 1 : 0);
});
