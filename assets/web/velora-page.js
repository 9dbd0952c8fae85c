// The page's side of the web backend (src/platform/web/): the canvas and the
// dialog overlay as windows, DOM input queued as records for the program's
// message loop, full screen, the wake lock, and the waits that hand the
// browser its turn between frames.
var VeloraPage = (function () {
  'use strict';

  // Record kinds; WebApplication.cpp reads the same numbers.
  var KEY = 1, BUTTON = 2, WHEEL = 3, MOVE = 4, SIZE = 5, CLOSE = 6, DEACTIVATE = 7, SAVER = 8;
  // WindowKind of Platform.h.
  var FULL_SCREEN = 0, DIALOG = 3;
  // The key that runs the saver from the test window.
  var SAVER_KEY = 'KeyS';

  var queue = [];
  var wake = null;
  var windows = new Map();   // handle -> {kind, element, picture}
  var canvasOwner = 0;       // the window the page's canvas belongs to
  var modal = 0;             // the dialog of the innermost modal run
  var wakeLock = null;
  var started = false;

  function canvas() { return document.getElementById('velora-canvas'); }

  function push(record) {
    queue.push(record);
    if (wake) { var resolve = wake; wake = null; resolve(); }
  }

  // Device pixels of the element that got the event, as its drawing buffer
  // counts them.
  function point(event, element) {
    var box = element.getBoundingClientRect();
    return [event.clientX - box.left, event.clientY - box.top, window.devicePixelRatio || 1];
  }

  // `owner` names the window the element belongs to when the event comes.
  function listen(owner, element) {
    function post(record) {
      var handle = owner();
      if (handle) push([record[0], handle].concat(record.slice(1)));
    }
    element.addEventListener('pointerdown', function (e) {
      post([BUTTON, 1, e.button].concat(point(e, element)));
    });
    element.addEventListener('pointerup', function (e) {
      post([BUTTON, 0, e.button].concat(point(e, element)));
    });
    element.addEventListener('pointermove', function (e) {
      // The browser delivers at most one move a frame; the ones it merged
      // count each, as the saver counts moves.
      var moves = e.getCoalescedEvents ? e.getCoalescedEvents() : [];
      if (moves.length === 0) moves = [e];
      moves.forEach(function (m) { post([MOVE].concat(point(m, element))); });
    });
    element.addEventListener('wheel', function (e) {
      e.preventDefault();
      post([WHEEL, e.deltaX, e.deltaY].concat(point(e, element)));
    }, {passive: false});
    element.addEventListener('contextmenu', function (e) { e.preventDefault(); });
  }

  function fitCanvas(width, height) {
    var c = canvas();
    if (c.width === width && c.height === height) return;
    c.width = width;
    c.height = height;
    if (canvasOwner) push([SIZE, canvasOwner, width, height]);
  }

  function deviceSize(c) {
    var ratio = window.devicePixelRatio || 1;
    return [Math.max(1, Math.round(c.clientWidth * ratio)), Math.max(1, Math.round(c.clientHeight * ratio))];
  }

  // The ratio changes without a resize when the page moves to another
  // screen or is zoomed, and an emulated one changes without any event: it
  // is looked at every frame.
  var pixelRatio = window.devicePixelRatio || 1;
  function checkPixelRatio() {
    if ((window.devicePixelRatio || 1) === pixelRatio) return;
    pixelRatio = window.devicePixelRatio || 1;
    fitCanvas.apply(null, deviceSize(canvas()));
  }

  function isFullScreenWindow(handle) {
    var w = windows.get(handle);
    return w !== undefined && w.kind === FULL_SCREEN;
  }

  // One request at a time: a second one while the first is pending would
  // fail.
  var fullScreenRequest = null;
  function requestFullScreen() {
    if (document.fullscreenElement) return Promise.resolve();
    if (!fullScreenRequest) {
      fullScreenRequest = document.documentElement.requestFullscreen({navigationUI: 'hide'});
      fullScreenRequest.then(done, done);
    }
    function done() { fullScreenRequest = null; }
    return fullScreenRequest;
  }

  function deactivate(handle) { if (handle) push([DEACTIVATE, handle]); }

  function start() {
    if (started) return;
    started = true;
    var c = canvas();
    fitCanvas.apply(null, deviceSize(c));
    // CSS size times devicePixelRatio: Chromium's device-pixel-content-box
    // leaves an emulated device scale out.
    new ResizeObserver(function () { fitCanvas.apply(null, deviceSize(c)); }).observe(c);
    window.addEventListener('keydown', function (e) {
      var target = modal || canvasOwner;
      if (!target) return;
      if (!modal && !isFullScreenWindow(canvasOwner) && e.code === SAVER_KEY && !e.repeat &&
          !e.ctrlKey && !e.metaKey && !e.altKey) {
        runSaver();
        return;
      }
      if (isFullScreenWindow(target) || modal) e.preventDefault();
      push([KEY, target, e.code, e.altKey ? 1 : 0]);
    });
    document.addEventListener('fullscreenchange', function () {
      if (!document.fullscreenElement && isFullScreenWindow(canvasOwner)) deactivate(canvasOwner);
    });
    document.addEventListener('visibilitychange', function () {
      if (document.hidden && isFullScreenWindow(canvasOwner)) deactivate(canvasOwner);
    });
    document.getElementById('velora-run-saver').addEventListener('click', function (e) {
      e.stopPropagation();
      runSaver();
    });
    listen(function () { return canvasOwner; }, c);
  }

  // Full screen needs the user's gesture, which the program's next frame no
  // longer holds: it is asked for here, and the saver's window finds it.
  function runSaver() {
    requestFullScreen().catch(function () {});
    push([SAVER, canvasOwner]);
  }

  function dialogElement(handle, caption, left, top, width, height) {
    var ratio = window.devicePixelRatio || 1;
    var box = document.createElement('div');
    box.className = 'velora-dialog';
    box.setAttribute('role', 'dialog');
    box.hidden = true;
    box.style.left = left / ratio + 'px';
    box.style.top = top / ratio + 'px';
    var bar = document.createElement('div');
    bar.className = 'velora-dialog-caption';
    var title = document.createElement('span');
    title.textContent = caption;
    var close = document.createElement('button');
    close.className = 'velora-dialog-close';
    close.setAttribute('aria-label', 'Close');
    close.textContent = '\u00d7';
    close.addEventListener('click', function () { push([CLOSE, handle]); });
    bar.append(title, close);
    var picture = document.createElement('canvas');
    picture.className = 'velora-dialog-picture';
    picture.width = Math.max(1, width);
    picture.height = Math.max(1, height);
    picture.style.width = picture.width / ratio + 'px';
    picture.style.height = picture.height / ratio + 'px';
    box.append(bar, picture);
    document.body.append(box);
    return {box: box, picture: picture};
  }

  return {
    // Opens a window; false when the page has no room for it.
    open: function (handle, kind, caption, left, top, width, height, rgb) {
      start();
      if (kind === DIALOG) {
        var parts = dialogElement(handle, caption, left, top, width, height);
        parts.box.style.backgroundColor = '#' + ('00000' + rgb.toString(16)).slice(-6);
        listen(function () { return handle; }, parts.picture);
        windows.set(handle, {kind: kind, element: parts.box, picture: parts.picture});
        return true;
      }
      if (canvasOwner) return false;
      canvasOwner = handle;
      windows.set(handle, {kind: kind, element: canvas(), picture: null});
      document.body.dataset.mode = kind === FULL_SCREEN ? 'saver' : 'window';
      return true;
    },

    show: function (handle) {
      var w = windows.get(handle);
      if (!w) return;
      if (w.kind === DIALOG) { w.element.hidden = false; return; }
      if (w.kind !== FULL_SCREEN) return;
      // Without full screen the saver would not have the keyboard: it ends.
      requestFullScreen().catch(function () { deactivate(handle); });
      if (navigator.wakeLock) {
        navigator.wakeLock.request('screen').then(function (lock) {
          if (windows.has(handle)) wakeLock = lock; else lock.release();
        }, function () {});
      }
    },

    destroy: function (handle) {
      var w = windows.get(handle);
      if (!w) return;
      windows.delete(handle);
      if (w.kind === DIALOG) { w.element.remove(); return; }
      canvasOwner = 0;
      document.body.dataset.mode = '';
      canvas().style.cursor = '';
      if (w.kind === FULL_SCREEN) {
        if (wakeLock) { wakeLock.release().catch(function () {}); wakeLock = null; }
        if (document.fullscreenElement) document.exitFullscreen().catch(function () {});
      }
    },

    // The canvas's drawing buffer or the dialog's picture, in device pixels.
    size: function (handle) {
      var w = windows.get(handle);
      if (!w) return null;
      var element = w.kind === DIALOG ? w.picture : canvas();
      return [element.width, element.height];
    },

    screen: function () {
      var ratio = window.devicePixelRatio || 1;
      return [Math.round(window.innerWidth * ratio), Math.round(window.innerHeight * ratio)];
    },

    cursor: function (handle, shape) {
      var w = windows.get(handle);
      if (!w) return;
      var css = ['', 'none', 'pointer'][shape] || '';
      (w.kind === DIALOG ? w.picture : canvas()).style.cursor = css;
    },

    picture: function (handle, width, height, rgb) {
      var w = windows.get(handle);
      if (!w || w.kind !== DIALOG) return;
      var p = w.picture;
      var image = new ImageData(width, height);
      for (var i = 0, j = 0; j < width * height * 3; i += 4, j += 3) {
        image.data[i] = rgb[j];
        image.data[i + 1] = rgb[j + 1];
        image.data[i + 2] = rgb[j + 2];
        image.data[i + 3] = 255;
      }
      p.getContext('2d').putImageData(image, 0, 0);
    },

    setModal: function (handle) { modal = handle; },

    take: function () { return queue.shift(); },

    // Resolves at the next animation frame, or (wantFrame false) as soon as
    // a record is queued.
    wait: function (wantFrame) {
      return new Promise(function (resolve) {
        if (wantFrame) {
          requestAnimationFrame(function () {
            checkPixelRatio();
            resolve();
          });
        }
        else if (queue.length) resolve();
        else wake = resolve;
      });
    },

    message: function (text) {
      console.error(text);
      return new Promise(function (resolve) {
        var box = document.createElement('div');
        box.className = 'velora-message';
        box.setAttribute('role', 'alertdialog');
        var p = document.createElement('p');
        p.textContent = text;
        var ok = document.createElement('button');
        ok.textContent = 'OK';
        ok.addEventListener('click', function () { box.remove(); resolve(); });
        box.append(p, ok);
        document.body.append(box);
        ok.focus();
      });
    },

    openDocument: function (url) {
      var opened = window.open(url, '_blank');
      if (!opened) return false;
      opened.opener = null;
      return true;
    },
  };
})();
