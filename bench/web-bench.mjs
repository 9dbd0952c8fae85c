// The page in headless Chromium (SwiftShader's WebGL 2): the time from
// navigation to the first star pixels in a screenshot, then the frame rate
// the page keeps (requestAnimationFrame callbacks, which the page's loop
// waits for between frames) over a measured span after a warm-up.
//   node bench/web-bench.mjs PAGE.html [WIDTH HEIGHT WARMUP_S MEASURE_S]
// (VELORA_CHROMIUM: the browser, else chromium; bench/web-bench.sh runs it
// beside velora on Xvfb at the same size.)
import {pathToFileURL} from 'node:url';

import {Chromium} from '../tests/web/Chromium.mjs';

const [pagePath, width = '1280', height = '720', warmup = '5', measure = '10'] = process.argv.slice(2);
if (!pagePath) {
  console.error('usage: node bench/web-bench.mjs PAGE.html [WIDTH HEIGHT WARMUP_S MEASURE_S]');
  process.exit(2);
}

const browser = Chromium.launch(process.env.VELORA_CHROMIUM || 'chromium');
try {
  const page = await browser.openPage();
  await page.start(Number(width), Number(height), 1);
  const start = performance.now();
  await page.navigate(pathToFileURL(pagePath).href);
  // Coloured pixels in a screenshot: a star, not the black page.
  const stars = async () => page.evaluate(`(async () => {
    const png = ${JSON.stringify(await page.screenshot())};
    const bitmap = await createImageBitmap(await (await fetch('data:image/png;base64,' + png)).blob());
    const context = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
    context.drawImage(bitmap, 0, 0);
    const data = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
    for (let i = 0; i < data.length; i += 4) if (data[i] + data[i + 1] + data[i + 2] > 96) return true;
    return false;
  })()`);
  while (!(await stars())) {
    if (performance.now() - start > 30000) throw new Error('no star pixels after 30 s');
  }
  console.log(`page: star pixels in a screenshot ${(performance.now() - start).toFixed(0)} ms after navigation`);

  const frames = await page.evaluate(`new Promise((resolve) => {
    const warmupEnd = performance.now() + ${Number(warmup) * 1000};
    let first = 0, count = 0;
    const tick = (now) => {
      if (now < warmupEnd) return requestAnimationFrame(tick);
      if (!first) first = now;
      else ++count;
      if (now - first < ${Number(measure) * 1000}) requestAnimationFrame(tick);
      else resolve({count, span: now - first});
    };
    requestAnimationFrame(tick);
  })`);
  const ms = frames.span / frames.count;
  console.log(`page ${width}x${height}: ${(1000 / ms).toFixed(1)} frames/s (${ms.toFixed(1)} ms a frame) over ` +
              `${(frames.span / 1000).toFixed(1)} s after ${warmup} s of warm-up`);
} finally {
  await browser.close();
}
