// The extension's background: one native host port per page, opened on the
// page's first request and closed when the page goes away (the host takes end
// of input as a cancel). Each request reaches the host rebuilt from known
// fields, with the origin the browser reports for the page, never one the page
// names.
"use strict";

const api = globalThis.browser ?? globalThis.chrome;
const hostName = "kr.dovrel.receiver";
const requestTypes = new Set(["list", "receive", "session"]);
// The host refuses a message over 64 KiB; a page gets no further than this.
const optionsLimit = 8192;
const filesLimit = 4096;

// The page's origin as the browser saw it load, or null for anything but an
// http(s) page in a tab's top frame.
function pageOrigin(sender) {
  if (!sender || sender.id !== api.runtime.id || sender.frameId !== 0) return null;
  let origin = typeof sender.origin === "string" ? sender.origin : null;
  if (!origin || origin === "null") {
    try {
      origin = new URL(sender.url).origin;
    } catch {
      return null;
    }
  }
  return /^https?:\/\/[^/]+$/.test(origin) ? origin : null;
}

// The host's request for a page's message, or null when the message is not one.
function hostRequest(message, origin) {
  if (!message || typeof message !== "object") return null;
  const { id, type, options, files } = message;
  if (!Number.isSafeInteger(id) || id < 0 || !requestTypes.has(type)) return null;
  if (typeof options !== "string" || options.length > optionsLimit) return null;
  const request = { id, type, origin, options };
  if (files !== undefined && files !== null) {
    if (!Array.isArray(files) || files.length > filesLimit || !files.every((name) => typeof name === "string")) return null;
    request.files = files.slice();
  }
  return request;
}

api.runtime.onConnect.addListener((page) => {
  const origin = pageOrigin(page.sender);
  if (page.name !== "dovrel" || !origin) {
    page.disconnect();
    return;
  }
  let host = null;
  const toPage = (message) => {
    try {
      page.postMessage(message);
    } catch {
      // The page went away; its disconnect closes the host.
    }
  };
  const openHost = () => {
    const port = api.runtime.connectNative(hostName);
    port.onMessage.addListener((message) => {
      if (!message || typeof message !== "object" || message.type === "hello") return;
      // The page never learns where the user keeps files.
      const { folder, ...forPage } = message;
      toPage(forPage);
    });
    port.onDisconnect.addListener(() => {
      if (host === port) host = null;
      // Requests still waiting are failed by the content script.
      toPage({ type: "error", code: "host-ended", message: "the Dovrel receiver is not installed or has stopped" });
    });
    return port;
  };
  page.onMessage.addListener((message) => {
    const request = hostRequest(message, origin);
    if (!request) {
      if (Number.isSafeInteger(message?.id)) toPage({ id: message.id, type: "error", code: "bad-request", message: "malformed request" });
      return;
    }
    host = host ?? openHost();
    host.postMessage(request);
  });
  page.onDisconnect.addListener(() => {
    if (host) host.disconnect();
    host = null;
  });
});
