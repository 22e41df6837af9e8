// The bridge between the page and the extension's background: it answers only
// the page's own window, only messages tagged for Dovrel, and acknowledges each
// request at once so that the page library can tell an absent extension.
"use strict";

(() => {
  const api = globalThis.browser ?? globalThis.chrome;
  let port = null;
  const waiting = new Set();

  const toPage = (message) => {
    window.postMessage({ ...message, dovrel: 1, direction: "from-extension" }, window.location.origin);
  };

  // A reply that ends a request, or an error without an id, which ends every
  // request waiting (the host exits after one).
  const fromBackground = (message) => {
    if (!message || typeof message !== "object") return;
    if (Number.isSafeInteger(message.id)) {
      if (!waiting.has(message.id)) return;
      if (message.type === "done" || message.type === "error" || message.type === "files") waiting.delete(message.id);
      toPage(message);
    } else if (message.type === "error") {
      for (const id of waiting) toPage({ ...message, id });
      waiting.clear();
    }
  };

  const connect = () => {
    const opened = api.runtime.connect({ name: "dovrel" });
    opened.onMessage.addListener(fromBackground);
    opened.onDisconnect.addListener(() => {
      if (port === opened) port = null;
      fromBackground({ type: "error", code: "host-ended", message: "the Dovrel extension stopped" });
    });
    return opened;
  };

  window.addEventListener("message", (event) => {
    if (event.source !== window) return;
    const data = event.data;
    if (!data || typeof data !== "object" || data.dovrel !== 1 || data.direction !== "to-extension") return;
    const id = data.id;
    if (!Number.isSafeInteger(id) || waiting.has(id)) return;
    toPage({ id, type: "ack" });
    waiting.add(id);
    port = port ?? connect();
    port.postMessage({ id, type: data.type, options: data.options, files: data.files });
  });

  // Leaving the page closes the host's port: a transfer under way is cancelled.
  window.addEventListener("pagehide", () => {
    if (port) port.disconnect();
    port = null;
  });
})();
