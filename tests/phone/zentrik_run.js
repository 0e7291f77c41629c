// The real Zentrik.exe under Wine, started with or without /phone and driven by
// X input (xdotool), with the simulated tuner scripted and its call log read;
// and Debian's chromium, driven by puppeteer-core, as the phone. Used by
// phone_page_test.js.
"use strict";
const { execFileSync, spawn } = require("child_process");
const fs = require("fs");
const http = require("http");
const net = require("net");
const os = require("os");
const path = require("path");

const BUILD = path.resolve(process.argv[2] || ".");
const ARTIFACTS = path.join(BUILD, "tests", "phone-artifacts");
const TITLE = "Zentrik " +
  /#define ZENTRIK_VERSION "([^"]+)"/.exec(fs.readFileSync(path.join(BUILD, "generated", "zentrik_version.h"), "utf8"))[1];

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function run(command, ...args) {
  try {
    return execFileSync(command, args, { encoding: "utf8", stdio: ["ignore", "pipe", "ignore"] }).trim();
  } catch (e) {
    return (e.stdout || "").toString().trim();
  }
}

// Polls until the condition holds; whether it did before the (generous)
// deadline, which only a fault should reach however loaded the machine is.
async function waitFor(condition, seconds = 20) {
  const deadline = Date.now() + seconds * 1000;
  for (;;) {
    if (await condition()) return true;
    if (Date.now() > deadline) return false;
    await sleep(100);
  }
}

const failures = [];
function check(ok, what) {
  console.log((ok ? "ok   " : "FAIL ") + what);
  if (!ok) failures.push(what);
  return ok;
}

// A port no one listens on now: asked of the system, then let go.
function freePort() {
  return new Promise((resolve) => {
    const server = net.createServer();
    server.listen(0, "127.0.0.1", () => {
      const port = server.address().port;
      server.close(() => resolve(port));
    });
  });
}

function windowsPath(file) { return "Z:" + path.resolve(file).replace(/\//g, "\\"); }

class Program {
  // The folder is kept across restarts: a restart is the same install.
  constructor(script, folder) {
    this.folder = folder || fs.mkdtempSync(path.join(os.tmpdir(), "zentrik-phone-"));
    for (const name of ["Zentrik.exe", "ZentrikPhone.dll", "ReadMe.txt"])
      fs.copyFileSync(path.join(BUILD, name), path.join(this.folder, name));
    this.log = path.join(this.folder, "tuner.log");
    fs.writeFileSync(path.join(this.folder, "tuner.script"), script);
  }

  async start(...args) {
    const env = Object.assign({}, process.env, {
      ZENTRIK_SIM_SCRIPT: windowsPath(path.join(this.folder, "tuner.script")),
      ZENTRIK_SIM_LOG: windowsPath(this.log),
    });
    this.exited = null;
    this.process = spawn("wine", [path.join(this.folder, "Zentrik.exe"), ...args], { env, stdio: "ignore" });
    // The exit code, or the signal that ended it.
    this.process.on("exit", (code, signal) => { this.exited = code !== null ? code : signal; });
    this.window = null;
    await waitFor(() => {
      const found = run("xdotool", "search", "--onlyvisible", "--name", `^${TITLE}$`);
      if (found) this.window = found.split(/\s+/)[0];
      return Boolean(found);
    });
    if (!this.window) throw new Error("the window did not appear");
    await sleep(500);
    const geometry = Object.fromEntries(run("xdotool", "getwindowgeometry", "--shell", this.window)
      .split(/\s+/).map((line) => line.split("=")));
    this.x = Number(geometry.X);
    this.y = Number(geometry.Y);
  }

  // Whether a window of the program's title is on the screen.
  visible() { return run("xdotool", "search", "--onlyvisible", "--name", `^${TITLE}$`) !== ""; }

  // The Linux process that runs the program under Wine.
  pid() {
    for (const entry of fs.readdirSync("/proc")) {
      if (!/^\d+$/.test(entry)) continue;
      try {
        const command = fs.readFileSync(`/proc/${entry}/cmdline`, "latin1");
        if (command.includes(this.folder.split("/").pop()) && command.includes("Zentrik.exe") &&
            !command.startsWith("start.exe") && fs.readFileSync(`/proc/${entry}/maps`, "latin1").includes("Zentrik.exe"))
          return Number(entry);
      } catch (e) { /* gone meanwhile */ }
    }
    return 0;
  }

  // Whether the program has mapped the phone display's DLL.
  loadedPhoneModule() {
    const pid = this.pid();
    return pid > 0 && /zentrikphone\.dll/i.test(fs.readFileSync(`/proc/${pid}/maps`, "latin1"));
  }

  // Linux private pages of the Wine process, in KiB (Wine itself has none).
  privateKib() {
    const rollup = fs.readFileSync(`/proc/${this.pid()}/smaps_rollup`, "latin1");
    const field = (name) => Number((new RegExp(name + ":\\s+(\\d+)").exec(rollup) || [0, 0])[1]);
    return field("Private_Clean") + field("Private_Dirty");
  }

  async pointAtScreen() {
    run("xdotool", "mousemove", String(this.x + 200), String(this.y + 60));
    await sleep(300);
  }

  async key(...keys) {
    await this.pointAtScreen();
    for (const k of keys) {
      run("xdotool", "key", k);
      await sleep(200);
    }
  }

  async click(x, y) {
    run("xdotool", "mousemove", String(this.x + x), String(this.y + y));
    await sleep(100);
    run("xdotool", "click", "1");
    await sleep(200);
    await this.pointAtScreen();
  }

  // The list's HotBird entry, started with Enter.
  async startHotBird() { await this.key("h", "h", "Return"); }

  polls() {
    if (!fs.existsSync(this.log)) return 0;
    return fs.readFileSync(this.log, "latin1").split("\n").filter((l) => l.includes(" QueryLock ")).length;
  }

  // The texts of the message box with this caption, once it shows ([] when
  // none came).
  async messageBox(title) {
    if (!await waitFor(() => run("xdotool", "search", "--onlyvisible", "--name", `^${title}$`) !== "", 30)) return [];
    const reader = path.join(BUILD, "tests", "windows", "read_message_box.exe");
    return run("wine", reader, title).split("\n").map((l) => l.trim()).filter(Boolean);
  }

  async answerBox(title) {
    const box = run("xdotool", "search", "--onlyvisible", "--name", `^${title}$`).split(/\s+/)[0];
    if (box) run("xdotool", "windowactivate", "--sync", box, "key", "Return");
    await sleep(300);
  }

  // Esc, or the close box when a message box had the keyboard last.
  async stop() {
    if (this.exited === null && this.process) {
      await this.key("Escape");
      await waitFor(() => this.exited !== null, 5);
    }
    if (this.exited === null && this.process) {
      await this.click(298, 14);
      await waitFor(() => this.exited !== null, 15);
    }
    if (this.exited === null && this.process) this.kill();
    run("xdotool", "mousemove", "0", "0");
    return this.exited;
  }

  // Ends the program's own process, not only the wine command that started it.
  kill() {
    const pid = this.pid();
    if (pid) process.kill(pid);
    this.process.kill();
  }

  remove() { fs.rmSync(this.folder, { recursive: true, force: true }); }
}

// An HTTP GET on this machine; {status, headers, body}.
function get(port, target, timeoutMs = 10000) {
  return new Promise((resolve) => {
    const request = http.get({ host: "127.0.0.1", port, path: target, timeout: timeoutMs, agent: false }, (response) => {
      let body = "";
      response.setEncoding("latin1");
      response.on("data", (chunk) => { body += chunk; });
      response.on("end", () => resolve({ status: response.statusCode, headers: response.headers, body }));
      response.on("error", () => resolve({ status: 0, body }));
    });
    request.on("timeout", () => request.destroy());
    request.on("error", () => resolve({ status: 0, body: "" }));
  });
}

// Raw bytes to the server, optionally in slow pieces; the status line of the
// answer (0 when the connection ended without one) and the time to it.
function rawRequest(port, pieces, pauseMs = 0, timeoutMs = 20000) {
  return new Promise((resolve) => {
    const started = Date.now();
    const socket = net.connect(port, "127.0.0.1");
    let answer = "";
    let done = false;
    const finish = () => {
      if (done) return;
      done = true;
      socket.destroy();
      const match = /^HTTP\/1\.[01] (\d{3})/.exec(answer);
      resolve({ status: match ? Number(match[1]) : 0, ms: Date.now() - started });
    };
    socket.setTimeout(timeoutMs, finish);
    socket.on("data", (chunk) => { answer += chunk.toString("latin1"); if (answer.includes("\r\n")) finish(); });
    socket.on("error", finish);
    socket.on("close", finish);
    socket.on("connect", async () => {
      for (const piece of pieces) {
        if (done) return;
        socket.write(piece);
        if (pauseMs) await sleep(pauseMs);
      }
    });
  });
}

// An event stream held open: {status} once its answer's status line came (0
// when the connection ended first), and close() to let it go.
function openStream(port) {
  return new Promise((resolve) => {
    const socket = net.connect(port, "127.0.0.1");
    let answer = "";
    const stream = { status: 0, close: () => socket.destroy() };
    const answered = () => {
      const match = /^HTTP\/1\.[01] (\d{3})/.exec(answer);
      stream.status = match ? Number(match[1]) : 0;
      resolve(stream);
    };
    socket.on("data", (chunk) => { answer += chunk.toString("latin1"); if (answer.includes("\r\n")) answered(); });
    socket.on("error", answered);
    socket.on("close", answered);
    socket.on("connect", () => socket.write("GET /events HTTP/1.1\r\nHost: x\r\n\r\n"));
  });
}

async function launchBrowser() {
  const puppeteer = require("puppeteer-core");
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "zentrik-chromium-"));
  const browser = await puppeteer.launch({
    executablePath: "/usr/bin/chromium",
    headless: true,
    args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
           "--disable-background-networking", "--disable-component-update", "--disable-sync",
           "--autoplay-policy=user-gesture-required", `--user-data-dir=${profile}`],
  });
  browser.profile = profile;
  return browser;
}

// A new page on the phone display, with the tests' instruments in it
// (page_observer.js; options.wakeLock: "granting", "refusing" or "absent").
async function phonePage(browser, port, options = {}) {
  const page = await browser.newPage();
  // A phone far from the test machine's clock, where a test names its zone.
  if (options.timezone) await page.emulateTimezone(options.timezone);
  await require("./page_observer").observe(page, options);
  // A phone held upright: 390 x 844 CSS pixels, twice as dense.
  await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
  page.soundRequests = [];
  page.responses = [];
  page.on("response", (response) => {
    const url = new URL(response.url());
    const seen = { path: url.pathname, status: response.status() };
    if (url.pathname.startsWith("/sounds/")) page.soundRequests.push(seen);
    page.responses.push(seen);
  });
  // Canned answers in place of the program's, where a test wants them.
  if (options.answer) {
    await page.setRequestInterception(true);
    page.on("request", (request) => {
      const canned = options.answer(new URL(request.url()).pathname);
      if (canned) request.respond(canned);
      else request.continue();
    });
  }
  await page.goto(`http://127.0.0.1:${port}/`);
  return page;
}

async function screenshot(page, name) {
  fs.mkdirSync(ARTIFACTS, { recursive: true });
  await page.screenshot({ path: path.join(ARTIFACTS, `${name}.png`) });
}

async function closeBrowser(browser) {
  await browser.close();
  fs.rmSync(browser.profile, { recursive: true, force: true });
}

// Runs body(program, browser) with the program started with the phone
// display (and measuring the Hot Bird entry unless told otherwise) and a
// browser; both are ended afterwards, whatever happened.
async function withPhoneDisplay(script, body, { measuring = true } = {}) {
  const program = new Program(script);
  const browser = await launchBrowser();
  try {
    program.port = await freePort();
    await program.start(`/phone:${program.port}`);
    if (measuring) await program.startHotBird();
    await body(program, browser);
  } finally {
    await closeBrowser(browser);
    await program.stop();
    program.remove();
  }
}

module.exports = { BUILD, Program, check, failures, waitFor, sleep, freePort, get, rawRequest, openStream,
                   launchBrowser, phonePage, screenshot, closeBrowser, withPhoneDisplay };
