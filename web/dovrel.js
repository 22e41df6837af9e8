// Dovrel's page library. A bank's page includes it from its own site and calls
// Dovrel.receiveFile(options): through the Dovrel browser extension and its
// native receiver in Chrome, Edge and Firefox, or through the Dovrel control
// where the page runs in Internet Explorer mode. Plain ES5, since Internet
// Explorer's engine loads it too.
(function (global) {
  "use strict";

  var controlClassId = "clsid:4353dd09-2184-4d9a-857c-381d81148b93";
  // The extension's content script acknowledges each request at once.
  var ackTimeout = 1000;
  var optionKeys = [["server", "CONNECTIP"], ["port", "CONNECTPORT"], ["date", "DATE"], ["userId", "USERID"]];
  var nextId = 1;

  // A value escaped for the option text: only the characters its syntax reads.
  function optionValue(text) {
    return String(text).replace(/%/g, "%25").replace(/&/g, "%26").replace(/=/g, "%3D")
                       .replace(/\+/g, "%2B").replace(/ /g, "+");
  }

  function optionText(options) {
    if (typeof options === "string") return options;
    var pairs = [];
    for (var i = 0; i < optionKeys.length; i++) {
      var value = options[optionKeys[i][0]];
      if (value !== undefined && value !== null) pairs.push(optionKeys[i][1] + "=" + optionValue(value));
    }
    return pairs.join("&");
  }

  function failure(code, message) {
    var error = new Error(message);
    error.code = code;
    return error;
  }

  // A promise where the browser has them. Internet Explorer has none, and its
  // control answers before the call returns: there a settled thenable does.
  function promised(run) {
    if (typeof Promise === "function") return new Promise(run);
    var outcome = null;
    run(function (value) { outcome = outcome || { ok: true, value: value }; },
        function (error) { outcome = outcome || { ok: false, value: error }; });
    return thenable(outcome);
  }

  function thenable(outcome) {
    return {
      then: function (onDone, onFailed) {
        var next = outcome.ok ? onDone : onFailed;
        if (typeof next !== "function") return thenable(outcome);
        try {
          return thenable({ ok: true, value: next(outcome.value) });
        } catch (error) {
          return thenable({ ok: false, value: error });
        }
      },
      "catch": function (onFailed) { return this.then(undefined, onFailed); }
    };
  }

  // The page's own <object> of the control where it has one: a control the
  // page's script creates by name has no page, and a build with a site list
  // refuses it in a browser.
  function pageControl() {
    var objects = global.document.getElementsByTagName("object");
    for (var i = 0; i < objects.length; i++) {
      var classId = String(objects[i].getAttribute("classid") || "").toLowerCase();
      if (classId === controlClassId && typeof objects[i].ReceiveFile !== "undefined") return objects[i];
    }
    return null;
  }

  function receiveByControl(text) {
    var control = pageControl() || new global.ActiveXObject("Dovrel.Pelgrath");
    return control.ReceiveFile(text);
  }

  // One request to the extension: "receive" resolves to the page-drawn result,
  // "session" to the control's status text.
  function receiveByExtension(type, text, options, resolve, reject) {
    var id = nextId++;
    var files = [];
    var timer = global.setTimeout(function () {
      stop();
      reject(failure("extension-missing", "extension missing"));
    }, ackTimeout);

    function stop() {
      global.clearTimeout(timer);
      global.removeEventListener("message", listen);
    }

    function listen(event) {
      var message = event.data;
      if (event.source !== global || !message || message.dovrel !== 1 ||
          message.direction !== "from-extension" || message.id !== id) return;
      if (message.type === "ack") {
        global.clearTimeout(timer);
      } else if (message.type === "progress") {
        if (typeof options.onProgress === "function")
          options.onProgress({ file: message.file, received: message.received, total: message.total });
      } else if (message.type === "file") {
        files.push(message.ok ? { name: message.name, ok: true } : { name: message.name, ok: false, message: message.message });
      } else if (message.type === "done") {
        stop();
        resolve(type === "session" ? message.result
                                   : { result: message.result, received: message.received, failed: message.failed, files: files });
      } else if (message.type === "error") {
        stop();
        reject(failure(message.code, message.message));
      }
    }

    global.addEventListener("message", listen);
    var request = { dovrel: 1, direction: "to-extension", id: id, type: type, options: text };
    if (options.files) request.files = options.files;
    global.postMessage(request, global.location.origin);
  }

  // options: the control's option text (session mode), or
  // { server, port, date, userId, files, mode: "session" | "page", onProgress }
  // (page-drawn mode unless mode says otherwise).
  function receiveFile(options) {
    var given = options === undefined || options === null ? "" : options;
    var text = optionText(given);
    var mode = typeof given === "string" ? "session" : given.mode || "page";
    return promised(function (resolve, reject) {
      if (mode !== "session" && mode !== "page") {
        reject(failure("bad-request", "mode is \"session\" or \"page\""));
      } else if ("ActiveXObject" in global) {
        try {
          resolve(receiveByControl(text));
        } catch (error) {
          reject(failure("control-missing", "the Dovrel control could not be created or called"));
        }
      } else {
        receiveByExtension(mode === "session" ? "session" : "receive", text,
                           typeof given === "string" ? {} : given, resolve, reject);
      }
    });
  }

  global.Dovrel = { receiveFile: receiveFile };
})(window);
