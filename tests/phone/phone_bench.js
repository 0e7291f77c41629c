// Benchmark of the phone display; prints figures only. The delay from the
// poll that reads a new level to the page that shows it (p50, p95), the
// program's CPU with 0, 1 and 8 event streams, and the program's size with
// and without the server.
//
// usage: node phone_bench.js BUILD_DIR   (DISPLAY, WINEPREFIX set)
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const path = require("path");
const z = require("./zentrik_run");

// A new level every 300 ms, so every reading differs from the last.
const SCRIPT = "latency 20\n" + Array.from({ length: 20 }, (_, i) =>
  `at ${i * 300} lock 1 level ${10 + i * 4}`).join("\n") + "\nloop 6000\n";

const percentile = (values, p) => values.slice().sort((a, b) => a - b)[Math.floor((values.length - 1) * p)];

// When each level first appears in the tuner's log: the poll that read it.
function watchPolls(log, seen) {
  // Only polls from now on: the earlier ones were before the page listened.
  let offset = fs.existsSync(log) ? fs.statSync(log).size : 0, rest = "";
  const timer = setInterval(() => {
    if (!fs.existsSync(log)) return;
    const fd = fs.openSync(log, "r");
    const size = fs.fstatSync(fd).size;
    if (size > offset) {
      const chunk = Buffer.alloc(size - offset);
      fs.readSync(fd, chunk, 0, chunk.length, offset);
      offset = size;
      const lines = (rest + chunk.toString("latin1")).split("\n");
      rest = lines.pop();
      for (const line of lines) {
        const match = / ReadSignalLevel (\d+) /.exec(line);
        if (match && !seen.has(Number(match[1]))) seen.set(Number(match[1]), Date.now());
      }
    }
    fs.closeSync(fd);
  }, 2);
  return () => clearInterval(timer);
}

async function latency(program, browser) {
  const page = await z.phonePage(browser, program.port);
  const shown = [];
  await page.exposeFunction("zentrikShown", (level) => shown.push({ level, at: Date.now() }));
  // The level as the page shows it: each time its figures are written.
  await page.evaluate(() => {
    const shownLevel = document.getElementById("level");
    new MutationObserver(() => {
      const level = parseInt(shownLevel.textContent, 10);
      if (!Number.isNaN(level)) window.zentrikShown(level);
    }).observe(shownLevel, { childList: true, characterData: true, subtree: true });
  });
  const polled = new Map();
  const stop = watchPolls(program.log, polled);
  await z.sleep(15000);
  stop();
  const delays = [];
  for (const [level, at] of polled) {
    const first = shown.find((s) => s.level === level && s.at >= at);
    if (first) delays.push(first.at - at);
    polled.delete(level);
  }
  console.log(`poll to the shown level: p50 ${percentile(delays, 0.5)} ms, p95 ${percentile(delays, 0.95)} ms ` +
              `(${delays.length} level changes)`);
  await page.close();
}

function cpuSeconds(pid) {
  const fields = fs.readFileSync(`/proc/${pid}/stat`, "latin1").split(") ")[1].split(" ");
  return (Number(fields[11]) + Number(fields[12])) / 100;  // utime + stime, in clock ticks
}

async function cpuWithClients(program) {
  for (const clients of [0, 1, 8]) {
    const streams = Array.from({ length: clients }, () =>
      z.rawRequest(program.port, ["GET /events HTTP/1.1\r\nHost: x\r\n\r\n"], 0, 12000));
    await z.sleep(1000);
    const before = cpuSeconds(program.pid());
    await z.sleep(10000);
    const used = cpuSeconds(program.pid()) - before;
    console.log(`CPU of the program with ${clients} event stream(s): ${(used * 10).toFixed(1)} % of one core`);
    await Promise.all(streams);
  }
}

function sizes() {
  const arch = /ZENTRIK_ARCH=(\S+)/.exec(fs.readFileSync(path.join(z.BUILD, "release.env"), "utf8"))[1];
  const strip = arch === "x86" ? "i686-w64-mingw32-strip" : "x86_64-w64-mingw32-strip";
  const stripped = (name) => {
    const out = path.join(require("os").tmpdir(), `zentrik-bench-${name}`);
    execFileSync(strip, ["-o", out, path.join(z.BUILD, name)]);
    const size = fs.statSync(out).size;
    fs.rmSync(out);
    return size;
  };
  const exe = stripped("Zentrik.exe"), dll = stripped("ZentrikPhone.dll");
  console.log(`size (${arch}, stripped): Zentrik.exe ${exe} bytes without the server; ` +
              `with ZentrikPhone.dll ${dll} bytes, ${exe + dll} bytes in all`);
}

async function main() {
  sizes();
  await z.withPhoneDisplay(SCRIPT, async (program, browser) => {
    await z.waitFor(() => program.polls() > 20);
    await latency(program, browser);
    await cpuWithClients(program);
  });
}

main().catch((e) => { console.error(e); process.exit(1); });
