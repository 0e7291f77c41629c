// The phone page's pointing card as a person at the dish meets it: the real
// Zentrik.exe under Wine measuring the list's Hot Bird entry, and the page in
// headless chromium on a phone-sized viewport. The place typed in the forms
// people copy, kept across a reload, an unreadable one refused, the phone's
// own location where the browser gives it and the reason where it does not,
// and the figures the PC's route gives.
//
// usage: node pointing_test.js BUILD_DIR   (DISPLAY, WINEPREFIX set)
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const z = require("./zentrik_run");
const { check, waitFor } = z;

// The card as it reads, from its DOM.
const card = (page) => page.evaluate(() => {
  const text = (id) => document.getElementById(id).textContent;
  const lnb = document.querySelector("#pointing-lnb g");
  return { field: document.getElementById("dish-location").value, message: text("pointing-message"),
           place: text("pointing-place"), turn: text("pointing-turn"), azimuth: text("pointing-azimuth"),
           elevation: text("pointing-elevation"), skew: text("pointing-skew"), sun: text("pointing-sun"),
           note: text("pointing-note"),
           figures: getComputedStyle(document.getElementById("pointing-figures")).display !== "none",
           pictures: getComputedStyle(document.getElementById("pointing-pictures")).display !== "none",
           locate: !document.getElementById("pointing-locate").hidden,
           lnbTurn: lnb ? lnb.getAttribute("transform") : "",
           roseParts: document.getElementById("pointing-rose").childElementCount };
});
const reads = (page, test, seconds) => waitFor(async () => test(await card(page)), seconds);

async function typePlace(page, text) {
  await page.$eval("#dish-location", (field) => { field.value = ""; });
  await page.type("#dish-location", text);
  await page.keyboard.press("Enter");
}

async function showCard(page, name) {
  await page.$eval("#pointing", (section) => section.scrollIntoView());
  await z.screenshot(page, name);
}

// The pointing requests the page makes, as sent.
function watchRequests(page) {
  page.pointingQueries = [];
  page.on("request", (request) => {
    const url = new URL(request.url());
    if (url.pathname === "/api/pointing") page.pointingQueries.push(url.searchParams);
  });
}

function localDay() {
  const now = new Date(), two = (n) => String(n).padStart(2, "0");
  return `${now.getFullYear()}-${two(now.getMonth() + 1)}-${two(now.getDate())}`;
}

const MUNICH_DMS = "48°08'15\"N 11°34'32\"E";
const deg = (value) => value.toFixed(1) + "\u00b0";

// Munich to the Hot Bird entry being measured: the figures are the route's.
async function showsTheFigures(program, page) {
  check(await reads(page, (c) => !c.figures && !c.pictures && c.place === "" && c.locate),
        "no place yet: no figures, no pictures, the location button offered");
  await typePlace(page, MUNICH_DMS);
  check(await reads(page, (c) => c.place === "From 48.1375, 11.5756, to 13.0E"), `a place as 48°08'15"N 11°34'32"E is read`);
  const asked = page.pointingQueries[page.pointingQueries.length - 1];
  check(asked.get("lat") === "48.137500" && asked.get("lon") === "11.575556" && asked.get("date") === localDay(),
        `the PC is asked with the degrees and the phone's day (${asked})`);
  const route = JSON.parse((await z.get(program.port, `/api/pointing?${asked}`)).body).wanted;
  const c = await card(page);
  check(route.position === "13.0E" && c.azimuth.startsWith(`${deg(route.azimuth)} true, ${deg(route.magneticAzimuth)} magnetic`),
        `azimuth true and magnetic as the PC computes them: ${c.azimuth}`);
  check(c.azimuth.startsWith("178.1\u00b0 true") && c.elevation === "34.7\u00b0 above the horizon",
        `178.1° true, 34.7° up: ${c.azimuth} / ${c.elevation}`);
  check(c.skew === "-1.3\u00b0: turn it 1.3\u00b0 anticlockwise, seen from behind the dish", `the skew in words: ${c.skew}`);
  check(/^at \d\d:\d\d.*, this phone's time, the dish points at the sun/.test(c.sun), `the sun's time: ${c.sun}`);
  check(c.pictures && c.roseParts > 15 && c.lnbTurn === `rotate(${route.skew.toFixed(2)})`, `the pictures drawn (${c.roseParts} parts, ${c.lnbTurn})`);
  await showCard(page, "pointing-munich");
}

// Kept on the phone across a reload; an unreadable place is refused and the
// last good one stays, on the screen and in the phone's storage.
async function keepsAndRefuses(page) {
  await page.reload();
  check(await reads(page, (c) => c.field === MUNICH_DMS && c.azimuth.startsWith("178.1\u00b0 true")),
        "after a reload: the place and its figures are back");
  await typePlace(page, "behind the big oak tree");
  check(await reads(page, (c) => c.message.startsWith("Cannot read \u201cbehind the big oak tree\u201d as a place") &&
                                 c.message.endsWith("Still showing 48.1375, 11.5756.")),
        "an unreadable place is refused, saying which place is still shown");
  check((await card(page)).azimuth.startsWith("178.1\u00b0 true"), "and its figures stay");
  await showCard(page, "pointing-refused");
  // A side letter holds a longitude to 180 and a latitude to 90, as on the PC:
  // 200E is no place, where a plain 200 is 200 east.
  for (const bad of ["48.1374", "95, 11", "48°08'15\" 11°34'32\"E", "https://example.com/somewhere", "48, 11, 12",
                     "48.1, 200E", "48°N 200°E", "48.1374N 180.0001E", "48°N 180°00'01\"W", "90.5N 11.5E"]) {
    await typePlace(page, bad);
    check(await reads(page, (c) => c.message.startsWith(`Cannot read \u201c${bad}\u201d`) &&
                                   c.message.endsWith("Still showing 48.1375, 11.5756.")), `refused: ${bad}`);
  }
  await page.reload();
  check(await reads(page, (c) => c.field === MUNICH_DMS && c.azimuth.startsWith("178.1\u00b0 true")),
        "and after a reload the last good place is still the one kept");
  // A place kept by an earlier page, its degrees beside its text.
  await page.evaluate(() => localStorage.setItem("zentrik-dish-location",
    JSON.stringify({ text: "52.5163, 13.3777", lat: 52.5163, lon: 13.3777 })));
  await page.reload();
  check(await reads(page, (c) => c.field === "52.5163, 13.3777" && c.place.startsWith("From 52.5163, 13.3777, to 13.0E")),
        "a place kept with its degrees is still read after a reload");
}

async function readsTheForms(page) {
  const forms = [["48.1374, 11.5755", "From 48.1374, 11.5755"],
                 ["https://www.google.com/maps/@48.1374,11.5755,15z", "From 48.1374, 11.5755"],
                 ["https://maps.google.com/?q=48.1374,11.5755", "From 48.1374, 11.5755"],
                 ["geo:40.7128,-74.0060", "From 40.7128, -74.0060"],
                 ["https://www.openstreetmap.org/#map=17/52.5163/13.3777", "From 52.5163, 13.3777"],
                 ["48.1374, 191.5755", "From 48.1374, 191.5755"],
                 ["48.1374N 180E", "From 48.1374, 180.0000"],
                 ["33.8688S 151.2093E", "From -33.8688, 151.2093"]];
  for (const [text, place] of forms) {
    await typePlace(page, text);
    check(await reads(page, (c) => c.place.startsWith(place) && c.message === ""), `read: ${text}`);
  }
  check(await reads(page, (c) => c.place.endsWith("to 13.0E: below the horizon here, no dish can see it") &&
                                 c.elevation.endsWith("(below the horizon)")), "13.0E from Sydney: below the horizon, said so");
  await showCard(page, "pointing-below");
}

// Where the browser gives the phone's location (the PC itself, a secure
// context), the button fills the place in.
async function usesThePhonesLocation(browser, page, port) {
  await browser.defaultBrowserContext().overridePermissions(`http://127.0.0.1:${port}`, ["geolocation"]);
  await page.setGeolocation({ latitude: 51.4769, longitude: -0.0005, accuracy: 10 });
  await page.tap("#pointing-locate");
  check(await reads(page, (c) => c.field === "51.47690, -0.00050" && c.place.startsWith("From 51.4769, -0.0005")),
        "the phone's location fills the place in");
}

// Over the local network's plain http the browser gives no location: no
// button, and the page says why.
async function explainsOnTheNetwork(browser, port) {
  const lan = Object.values(os.networkInterfaces()).flat().find((a) => a.family === "IPv4" && !a.internal);
  if (!lan) {
    console.log("note: no network address besides loopback here, the LAN page is not looked at");
    return;
  }
  const page = await browser.newPage();
  await page.setViewport({ width: 390, height: 844, deviceScaleFactor: 2, isMobile: true, hasTouch: true });
  await page.goto(`http://${lan.address}:${port}/`);
  check(await reads(page, (c) => !c.locate && !c.pictures && c.note.includes("only to a secure page")),
        `at http://${lan.address}:${port}/ no location button, and the reason given`);
  await showCard(page, "pointing-lan");
  await page.close();
}

// The identity names another satellite: how far and which way to turn; or
// a satellite in the wanted slot: no turn. The simulated tuner names none,
// so the answers are canned from the route's blocks.
async function saysWhichWay(browser, program) {
  const munich = "/api/pointing?lat=48.1374&lon=11.5755&date=2026-12-08&position=";
  const block = async (position) => JSON.parse((await z.get(program.port, munich + position)).body).wanted;
  let answer = JSON.parse((await z.get(program.port, munich + "13.0E")).body);
  answer.found = await block("19.2E");
  answer.turn = { azimuth: 8.28, direction: "west", elevation: 0.48, tilt: "up" };
  const page = await z.phonePage(browser, program.port, {
    answer: (p) => p === "/api/pointing" ? { status: 200, contentType: "application/json", body: JSON.stringify(answer) } : null });
  check(await reads(page, (c) => c.turn === "The dish sees 19.2E: turn 8.3\u00b0 west along the arc (to your right " +
                                            "behind the dish) to 13.0E, and 0.5\u00b0 up"),
        `the turn from the satellite found to the one wanted: ${(await card(page)).turn}`);
  await showCard(page, "pointing-turn");
  answer = JSON.parse((await z.get(program.port, munich + "1.0W")).body);
  answer.found = await block("0.8W");
  check(answer.turn === null, "the route's answer without a found satellite has no turn");
  check(await reads(page, (c) => c.turn === "The dish sees 0.8W: the satellite wanted"),
        `a satellite in the wanted slot needs no turn: ${(await card(page)).turn}`);
  await page.close();
}

// A phone whose clock is far from UTC (Kiritimati, UTC+14): the PC is asked
// for the phone's own day with its offset, and the card shows the first time
// within that day, in the phone's time, not another day's.
async function keepsThePhonesDay(browser, program) {
  const page = await z.phonePage(browser, program.port, { timezone: "Pacific/Kiritimati" });
  watchRequests(page);
  await typePlace(page, "48.1374, 11.5755");
  check(await reads(page, (c) => c.place === "From 48.1374, 11.5755, to 13.0E" && c.sun !== ""), "Munich read in Kiritimati");
  const asked = page.pointingQueries[page.pointingQueries.length - 1];
  const phoneDay = await page.evaluate(() => new Date().toLocaleDateString("en-CA"));
  check(asked.get("tz") === "840" && asked.get("date") === phoneDay, `the phone's day and offset are sent (${asked})`);
  const sunTime = JSON.parse((await z.get(program.port, `/api/pointing?${asked}`)).body).wanted.sunTime;
  const [hours, minutes] = sunTime.split(":").map(Number), local = (hours * 60 + minutes + 840) % 1440;
  const shown = await page.evaluate((h, m) => new Date(Date.UTC(2000, 0, 1, h, m)).toLocaleTimeString(
    [], { hour: "2-digit", minute: "2-digit", timeZone: "UTC" }), Math.floor(local / 60), local % 60);
  const sun = (await card(page)).sun;
  check(sun.startsWith(`at ${shown}, this phone's time`), `${sunTime} UTC is shown as ${shown} today: ${sun}`);
  await page.close();
}

// Nothing of the places reaches the PC's disk: no file the program's folder
// gained holds one.
function storedNothing(program) {
  const copied = ["Zentrik.exe", "ZentrikPhone.dll", "ReadMe.txt"];
  const holding = fs.readdirSync(program.folder).filter((name) => !copied.includes(name)).filter((name) => {
    const bytes = fs.readFileSync(path.join(program.folder, name), "latin1");
    return ["48.137", "151.209", "51.4769", "40.7128"].some((place) => bytes.includes(place));
  });
  check(holding.length === 0, `the program's folder holds no place (${holding})`);
}

async function scenarioPointing() {
  await z.withPhoneDisplay("latency 20\nat 0 lock 1 level 55\n", async (program, browser) => {
    const page = await z.phonePage(browser, program.port);
    watchRequests(page);
    await showsTheFigures(program, page);
    await keepsAndRefuses(page);
    await readsTheForms(page);
    await usesThePhonesLocation(browser, page, program.port);
    await explainsOnTheNetwork(browser, program.port);
    await saysWhichWay(browser, program);
    await keepsThePhonesDay(browser, program);
    storedNothing(program);
  });
}

scenarioPointing().catch((e) => check(false, `pointing: ${e.stack || e}`)).then(() => {
  console.log(`pointing: ${z.failures.length} failed`);
  process.exit(z.failures.length ? 1 : 0);
});
