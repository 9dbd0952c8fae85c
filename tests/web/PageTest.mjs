// The web page opened from a file in headless Chromium: the stars at the
// device's pixels, the settings dialog, and the saver's run by the rules of
// `velora /s`. One browser and one page for all checks, in order; each
// prints "ok" or "not ok", and any failure fails the run.
//   node PageTest.mjs PAGE.html   (VELORA_CHROMIUM: the browser, else chromium)
import {readFileSync} from 'node:fs';
import {pathToFileURL} from 'node:url';

import {Chromium} from './Chromium.mjs';

const kWidth = 640;
const kHeight = 360;
const kScale = 2;
const kSaverWidth = 320;
const kSaverHeight = 180;
const kDonationUrl = 'http://velora-skyshow.example.org/donate';
const kAssets = new URL('../../assets/', import.meta.url);

const pagePath = process.argv[2];
if (!pagePath) {
  console.error('usage: node PageTest.mjs PAGE.html');
  process.exit(2);
}

const browser = Chromium.launch(process.env.VELORA_CHROMIUM || 'chromium');
const page = await browser.openPage();

// Pixels whose channels differ widely: a star's colour, not grey or black.
async function colouredPixels(png) {
  return page.evaluate(`(async () => {
    const bitmap = await createImageBitmap(await (await fetch('data:image/png;base64,${png}')).blob());
    const context = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
    context.drawImage(bitmap, 0, 0);
    const data = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
    let count = 0;
    for (let i = 0; i < data.length; i += 4) {
      const high = Math.max(data[i], data[i + 1], data[i + 2]);
      const low = Math.min(data[i], data[i + 1], data[i + 2]);
      if (high > 96 && high - low > 64) ++count;
    }
    return count;
  })()`);
}

function within(timeoutMs, failure, promise) {
  let timer;
  const timeout = new Promise((resolve, reject) => { timer = setTimeout(() => reject(new Error(failure)), timeoutMs); });
  return Promise.race([promise, timeout]).finally(() => clearTimeout(timer));
}

async function waitForStars(timeoutMs = 20000) {
  const deadline = Date.now() + timeoutMs;
  for (;;) {
    const count = await colouredPixels(await page.screenshot());
    if (count > 1000) return count;
    if (Date.now() > deadline) throw new Error(`only ${count} coloured pixels on the page`);
  }
}

async function waitForChange(before, timeoutMs = 20000) {
  const deadline = Date.now() + timeoutMs;
  while ((await page.screenshot()) === before)
    if (Date.now() > deadline) throw new Error('the picture did not change');
}

const mode = `document.body.dataset.mode`;
const inSaver = `(${mode} === 'saver' && document.fullscreenElement !== null)`;
const inWindow = `(${mode} === 'window' && document.fullscreenElement === null)`;
const canvasFitsPage = (scale) => `(() => {
  const c = document.getElementById('velora-canvas');
  return c.width === Math.round(innerWidth * ${scale}) && c.height === Math.round(innerHeight * ${scale});
})()`;

async function runSaverByKey() {
  await page.key('KeyS', 's', 0x53);
  await page.waitFor(inSaver);
}

async function runSaverByButton() {
  const [x, y] = await page.evaluate(`(() => {
    const box = document.getElementById('velora-run-saver').getBoundingClientRect();
    return [box.x + box.width / 2, box.y + box.height / 2];
  })()`);
  await page.click(x, y);
  await page.waitFor(inSaver);
}

// `count` pointer moves sent at once, as a quick sweep of the mouse gives them.
function sweep(count) {
  const moves = [];
  for (let i = 1; i <= count; ++i) moves.push(page.move(40 + 7 * i, 20 + 5 * i));
  return Promise.all(moves);
}

const checks = [
  ['the page from a file shows coloured stars at the device pixels', async () => {
    await page.start(kWidth, kHeight, kScale);
    // Screen wake locks as the browser would give them, counted.
    await page.send('Page.addScriptToEvaluateOnNewDocument', {source: `
      window.wakeLocksHeld = 0;
      Object.defineProperty(navigator, 'wakeLock', {value: {request: async (type) => {
        if (type !== 'screen') throw new TypeError(type);
        ++wakeLocksHeld;
        let held = true;
        return {release: async () => { if (held) --wakeLocksHeld; held = false; }};
      }}});`});
    const started = Date.now();
    await page.navigate(pathToFileURL(pagePath).href);
    await page.waitFor(canvasFitsPage(kScale));
    await waitForStars();
    console.log(`# stars ${Date.now() - started} ms after navigating`);
  }],
  ['the canvas fits the page again when it changes size', async () => {
    // A new size, then a new pixel ratio at the same size.
    await page.resize(500, 400, kScale);
    await page.waitFor(canvasFitsPage(kScale));
    await page.resize(500, 400, 1.5);
    await page.waitFor(canvasFitsPage(1.5));
    await waitForStars();
    await page.resize(kWidth, kHeight, kScale);
    await page.waitFor(canvasFitsPage(kScale));
  }],
  ['a click shows the settings dialog with the picture of its locale rule, and its link opens a tab', async () => {
    await page.click(kWidth / 2, kHeight / 2);
    await page.waitFor(`document.querySelector('.velora-dialog:not([hidden])') !== null`);
    // The dialog's rule: Russian where the system handles the Russian locale.
    const russian = await page.evaluate(`Intl.DateTimeFormat.supportedLocalesOf(['ru']).length > 0`);
    const jpeg = readFileSync(new URL(russian ? 'donate-ru.jpg' : 'donate-en.jpg', kAssets)).toString('base64');
    const difference = await page.evaluate(`(async () => {
      const blob = await (await fetch('data:image/jpeg;base64,${jpeg}')).blob();
      const bitmap = await createImageBitmap(blob, {colorSpaceConversion: 'none', premultiplyAlpha: 'none'});
      const expected = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
      expected.drawImage(bitmap, 0, 0);
      const shown = document.querySelector('.velora-dialog-picture');
      if (shown.width !== bitmap.width || shown.height !== bitmap.height)
        return 'size ' + shown.width + 'x' + shown.height + ' for ' + bitmap.width + 'x' + bitmap.height;
      const a = expected.getImageData(0, 0, bitmap.width, bitmap.height).data;
      const b = shown.getContext('2d').getImageData(0, 0, bitmap.width, bitmap.height).data;
      for (let i = 0; i < a.length; ++i) if (a[i] !== b[i]) return 'pixel ' + (i >> 2) + ' differs';
      return '';
    })()`);
    if (difference) throw new Error(`the dialog's picture is not ${russian ? 'Russian' : 'English'}: ${difference}`);

    await browser.send('Target.setDiscoverTargets', {discover: true});
    // A new tab reports its address when it starts loading it.
    const opened = within(10000, 'no tab opened the donation page', new Promise((resolve) => browser.listen((m) => {
      if (!/^Target\.target(Created|InfoChanged)$/.test(m.method) || m.params.targetInfo.url !== kDonationUrl)
        return false;
      resolve(m.params.targetInfo.targetId);
      return true;
    })));
    const [x, y, cx, cy] = await page.evaluate(`(() => {
      const picture = document.querySelector('.velora-dialog-picture').getBoundingClientRect();
      const close = document.querySelector('.velora-dialog-close').getBoundingClientRect();
      return [picture.x + picture.width / 2, picture.y + picture.height / 2,
              close.x + close.width / 2, close.y + close.height / 2];
    })()`);
    await page.click(x, y);
    await browser.send('Target.closeTarget', {targetId: await opened});
    await page.click(cx, cy);
    await page.waitFor(`document.querySelector('.velora-dialog') === null`);
    await page.waitFor(inWindow);
  }],
  ['the key S runs the saver full screen, the screen awake, without a pointer, and a key ends it', async () => {
    // Moves are quick when the saver handles them within 100 ms of each
    // other, and it handles input once a frame: a small page keeps
    // SwiftShader's frames well inside that.
    await page.resize(kSaverWidth, kSaverHeight, 1);
    await runSaverByKey();
    const cursor = await page.evaluate(`document.getElementById('velora-canvas').style.cursor`);
    if (cursor !== 'none') throw new Error(`the pointer is "${cursor}" over the saver`);
    await page.waitFor(`wakeLocksHeld === 1`);
    await page.key('KeyA', 'a', 0x41);
    await page.waitFor(inWindow);
    await page.waitFor(`wakeLocksHeld === 0`);
  }],
  ['19 quick moves leave the saver running, a click ends it', async () => {
    await runSaverByButton();
    await sweep(19);
    await page.frames(10);
    if (!(await page.evaluate(inSaver))) throw new Error('19 moves ended the saver');
    await page.click(kSaverWidth / 2, kSaverHeight / 2);
    await page.waitFor(inWindow);
  }],
  ['20 quick moves end the saver', async () => {
    await runSaverByKey();
    await sweep(20);
    await page.waitFor(inWindow);
  }],
  ['the wheel ends the saver', async () => {
    await runSaverByKey();
    await page.wheel(kSaverWidth / 2, kSaverHeight / 2, 120);
    await page.waitFor(inWindow);
  }],
  ['Pause freezes the picture and resumes it', async () => {
    await runSaverByKey();
    await waitForStars();
    await page.key('Pause', 'Pause', 0x13);
    await page.frames(3);
    const frozen = await page.screenshot();
    await page.frames(20);
    if ((await page.screenshot()) !== frozen) throw new Error('the picture moved while paused');
    if (!(await page.evaluate(inSaver))) throw new Error('Pause ended the saver');
    await page.key('Pause', 'Pause', 0x13);
    await waitForChange(frozen);
    await page.key('Escape', 'Escape', 0x1b);
    await page.waitFor(inWindow);
  }],
  ['the console shows no error', async () => {
    if (page.errors.length > 0) throw new Error(page.errors.join('\n'));
  }],
];

let failures = 0;
try {
  for (const [name, run] of checks) {
    try {
      await run();
      console.log(`ok - ${name}`);
    } catch (error) {
      ++failures;
      console.log(`not ok - ${name}\n  ${String(error.stack || error).replaceAll('\n', '\n  ')}`);
    }
  }
} finally {
  await browser.close();
}
process.exit(failures === 0 ? 0 : 1);
