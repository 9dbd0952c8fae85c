// Headless Chromium over the DevTools protocol, through the pipe that
// --remote-debugging-pipe opens on the browser's descriptors 3 (commands in)
// and 4 (replies and events out), each message JSON ending in a NUL byte.
import {spawn} from 'node:child_process';
import {mkdtempSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';

const kCommandTimeoutMs = 30000;

export class Chromium {
  static launch(executable) {
    const profile = mkdtempSync(join(tmpdir(), 'velora-chromium-'));
    const child = spawn(executable, [
      '--headless', '--no-sandbox', '--use-angle=swiftshader', '--enable-unsafe-swiftshader',
      '--remote-debugging-pipe', `--user-data-dir=${profile}`, '--no-first-run', '--no-default-browser-check',
      '--hide-scrollbars', '--mute-audio', '--disable-background-timer-throttling', 'about:blank',
    ], {stdio: ['ignore', 'ignore', 'pipe', 'pipe', 'pipe']});
    return new Chromium(child, profile);
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.calls = new Map();
    this.listeners = new Set();
    this.stderr = '';
    child.stderr.on('data', (data) => { this.stderr = (this.stderr + data).slice(-4000); });
    let pending = Buffer.alloc(0);
    child.stdio[4].on('data', (data) => {
      pending = Buffer.concat([pending, data]);
      for (let end = pending.indexOf(0); end >= 0; end = pending.indexOf(0)) {
        this.receive(JSON.parse(pending.subarray(0, end).toString('utf8')));
        pending = pending.subarray(end + 1);
      }
    });
    this.exited = new Promise((resolve) => child.on('exit', resolve));
    this.exited.then(() => {
      for (const {reject} of this.calls.values()) reject(new Error(`chromium exited:\n${this.stderr}`));
      this.calls.clear();
    });
  }

  receive(message) {
    if (message.id !== undefined) {
      const call = this.calls.get(message.id);
      if (!call) return;
      this.calls.delete(message.id);
      clearTimeout(call.timer);
      if (message.error) call.reject(new Error(`${call.method}: ${message.error.message}`));
      else call.resolve(message.result);
      return;
    }
    for (const listener of [...this.listeners]) listener(message);
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    return new Promise((resolve, reject) => {
      const timer = setTimeout(() => {
        this.calls.delete(id);
        reject(new Error(`${method}: no answer in ${kCommandTimeoutMs} ms`));
      }, kCommandTimeoutMs);
      this.calls.set(id, {method, resolve, reject, timer});
      this.child.stdio[3].write(JSON.stringify({id, method, params, sessionId}) + '\0');
    });
  }

  // Calls `listener` with every event until it returns true.
  listen(listener) {
    const wrapped = (message) => { if (listener(message)) this.listeners.delete(wrapped); };
    this.listeners.add(wrapped);
  }

  // A new tab, attached: its events carry its session.
  async openPage() {
    const {targetId} = await this.send('Target.createTarget', {url: 'about:blank'});
    const {sessionId} = await this.send('Target.attachToTarget', {targetId, flatten: true});
    return new Page(this, sessionId);
  }

  async close() {
    this.child.kill('SIGTERM');
    await this.exited;
    rmSync(this.profile, {recursive: true, force: true, maxRetries: 10});
  }
}

export class Page {
  constructor(browser, sessionId) {
    this.browser = browser;
    this.sessionId = sessionId;
    this.errors = [];
    browser.listen((message) => {
      if (message.sessionId !== sessionId) return false;
      const p = message.params;
      if (message.method === 'Runtime.consoleAPICalled' && (p.type === 'error' || p.type === 'assert'))
        this.errors.push(`console.${p.type}: ${p.args.map((a) => a.value ?? a.description).join(' ')}`);
      else if (message.method === 'Runtime.exceptionThrown')
        this.errors.push(`exception: ${p.exceptionDetails.exception?.description ?? p.exceptionDetails.text}`);
      else if (message.method === 'Log.entryAdded' && p.entry.level === 'error')
        this.errors.push(`log: ${p.entry.text} ${p.entry.url ?? ''}`);
      return false;
    });
  }

  send(method, params = {}) { return this.browser.send(method, params, this.sessionId); }

  async start(width, height, scale) {
    await Promise.all(['Page.enable', 'Runtime.enable', 'Log.enable'].map((m) => this.send(m)));
    await this.resize(width, height, scale);
  }

  resize(width, height, scale) {
    return this.send('Emulation.setDeviceMetricsOverride', {width, height, deviceScaleFactor: scale, mobile: false});
  }

  async navigate(url) {
    const loaded = new Promise((resolve) => this.browser.listen((m) => {
      if (m.sessionId !== this.sessionId || m.method !== 'Page.loadEventFired') return false;
      resolve();
      return true;
    }));
    await this.send('Page.navigate', {url});
    await loaded;
  }

  async evaluate(expression) {
    const {result, exceptionDetails} =
        await this.send('Runtime.evaluate', {expression, awaitPromise: true, returnByValue: true, userGesture: false});
    if (exceptionDetails) throw new Error(`${expression}: ${exceptionDetails.exception?.description}`);
    return result.value;
  }

  // Resolves once the expression is true at an animation frame; fails after
  // `timeoutMs`.
  async waitFor(expression, timeoutMs = 20000) {
    const ok = await this.evaluate(`new Promise((resolve) => {
      const deadline = performance.now() + ${timeoutMs};
      const check = () => {
        if (${expression}) resolve(true);
        else if (performance.now() > deadline) resolve(false);
        else requestAnimationFrame(check);
      };
      check();
    })`);
    if (!ok) throw new Error(`timed out waiting for ${expression}`);
  }

  // Lets the page draw `count` more frames.
  frames(count) {
    return this.evaluate(`new Promise((resolve) => {
      let left = ${count};
      const next = () => (--left <= 0 ? resolve(true) : requestAnimationFrame(next));
      requestAnimationFrame(next);
    })`);
  }

  async screenshot() {
    const {data} = await this.send('Page.captureScreenshot', {format: 'png'});
    return data;
  }

  key(code, key, virtualKey) {
    const base = {code, key, windowsVirtualKeyCode: virtualKey, nativeVirtualKeyCode: virtualKey};
    return this.send('Input.dispatchKeyEvent', {type: 'keyDown', ...base})
        .then(() => this.send('Input.dispatchKeyEvent', {type: 'keyUp', ...base}));
  }

  async click(x, y) {
    const base = {x, y, button: 'left', clickCount: 1};
    await this.send('Input.dispatchMouseEvent', {type: 'mousePressed', ...base});
    await this.send('Input.dispatchMouseEvent', {type: 'mouseReleased', ...base});
  }

  move(x, y) { return this.send('Input.dispatchMouseEvent', {type: 'mouseMoved', x, y}); }

  wheel(x, y, deltaY) { return this.send('Input.dispatchMouseEvent', {type: 'mouseWheel', x, y, deltaX: 0, deltaY}); }
}
