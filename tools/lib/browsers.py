"""Headless Chromium and Firefox ESR with the Dovrel extension and a native host.

What the browser tests and tools/receive-demo --browser share: a private home
whose receive folder setting names a given folder, a page on 127.0.0.1 that
includes the page library, and a browser started with the extension loaded and
the host registered in its profile, driven through the DevTools protocol
(Chromium) or WebDriver BiDi (Firefox). Whatever it starts, its stop() ends by
process id.
"""
import functools
import http.server
import json
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import threading
import time
import urllib.request

import websocket

HOST_NAME = "kr.dovrel.receiver"
FIREFOX_ID = "receiver@dovrel.kr"
# The Chrome and Edge id the extension's public key ("key" in its manifest) gives.
CHROME_ID = "hapaejfkmochcbmajcfajgbalendmgki"


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def wait_for(what, probe, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        try:
            value = probe()
        except (OSError, ValueError, KeyError, websocket.WebSocketException):
            value = None
        if value:
            return value
        time.sleep(0.1)
    raise TimeoutError(what)


class Page(http.server.SimpleHTTPRequestHandler):
    """Serves the page library and a page that includes it."""

    def log_message(self, *args):
        pass


def serve_pages(web_dir):
    root = pathlib.Path(web_dir)
    handler = functools.partial(Page, directory=str(root))
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


class Remote:
    """A browser's remote protocol over its WebSocket: DevTools and WebDriver
    BiDi both answer a command {"id", "method", "params"} with a reply of the
    same id that holds "result" or "error", among events."""

    socket = None
    next_id = 0

    def command(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            reply = json.loads(self.socket.recv())
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}: {reply.get('message', '')}")
                return reply["result"]


class Chromium(Remote):
    def __init__(self, work, extension, host):
        profile = work / "chromium"
        hosts = profile / "NativeMessagingHosts"
        hosts.mkdir(parents=True)
        self.host_manifest = hosts / f"{HOST_NAME}.json"
        self.host_manifest.write_text(json.dumps({
            "name": HOST_NAME, "description": "Dovrel receiver", "path": str(host), "type": "stdio",
            "allowed_origins": [f"chrome-extension://{CHROME_ID}/"]}))
        self.process = subprocess.Popen(
            ["/usr/lib/chromium/chromium", "--headless=new", "--no-sandbox", f"--user-data-dir={profile}",
             f"--load-extension={extension}", "--remote-debugging-port=0", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=open(work / "chromium.err", "w"), env=os.environ)
        self.port = wait_for("DevTools port", lambda: (profile / "DevToolsActivePort").read_text().split()[0])
        wait_for("the extension's service worker", self.worker)
        target = next(t for t in self.targets() if t["type"] == "page")
        self.socket = websocket.create_connection(target["webSocketDebuggerUrl"], suppress_origin=True, timeout=60)

    def targets(self):
        with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/list", timeout=5) as reply:
            return json.load(reply)

    def worker(self):
        return any(t["type"] == "service_worker" and CHROME_ID in t["url"] for t in self.targets())

    def evaluate(self, expression):
        result = self.command("Runtime.evaluate", expression=expression, awaitPromise=True, returnByValue=True)
        return result["result"].get("value")

    def open(self, url):
        self.command("Page.navigate", url=url)
        wait_for(url, lambda: self.evaluate("location.href") == url and self.evaluate(
            "document.readyState === 'complete' && typeof Dovrel === 'object'"))

    def open_blank(self):
        self.command("Page.navigate", url="about:blank")
        wait_for("about:blank", lambda: self.evaluate("location.href") == "about:blank")

    def install(self):
        pass

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Firefox(Remote):
    def __init__(self, work, extension, host):
        profile = work / "firefox"
        profile.mkdir()
        # No network but loopback: nothing to fetch at start.
        (profile / "user.js").write_text("\n".join(
            f'user_pref("{name}", {json.dumps(value)});' for name, value in {
                "app.update.enabled": False, "browser.shell.checkDefaultBrowser": False,
                "datareporting.policy.dataSubmissionEnabled": False, "toolkit.telemetry.enabled": False,
                "extensions.update.enabled": False, "browser.newtabpage.enabled": False,
                "network.captive-portal-service.enabled": False, "browser.safebrowsing.update.enabled": False,
            }.items()))
        hosts = pathlib.Path(os.environ["HOME"]) / ".mozilla" / "native-messaging-hosts"
        hosts.mkdir(parents=True)
        (hosts / f"{HOST_NAME}.json").write_text(json.dumps({
            "name": HOST_NAME, "description": "Dovrel receiver", "path": str(host), "type": "stdio",
            "allowed_extensions": [FIREFOX_ID]}))
        self.extension = extension
        port = free_port()
        self.process = subprocess.Popen(
            ["firefox-esr", "--headless", "--no-remote", "--remote-debugging-port", str(port), "--profile", str(profile)],
            stdout=subprocess.DEVNULL, stderr=open(work / "firefox.err", "w"), env=os.environ)
        self.socket = wait_for("WebDriver BiDi", lambda: websocket.create_connection(
            f"ws://127.0.0.1:{port}/session", suppress_origin=True, timeout=60), 60)
        self.command("session.new", capabilities={"alwaysMatch": {"webSocketUrl": True}})
        self.context = self.command("browsingContext.getTree")["contexts"][0]["context"]

    def evaluate(self, expression):
        result = self.command("script.evaluate", expression=expression, awaitPromise=True,
                              target={"context": self.context})
        if result["type"] == "exception":
            raise RuntimeError(result["exceptionDetails"]["text"])
        return result["result"].get("value")

    def open(self, url):
        self.command("browsingContext.navigate", context=self.context, url=url, wait="complete")

    def open_blank(self):
        self.open("about:blank")

    def install(self):
        self.command("webExtension.install", extensionData={"type": "path", "path": str(self.extension)})

    def stop(self):
        try:
            self.command("browser.close")
            self.process.wait(10)
        except (RuntimeError, OSError, websocket.WebSocketException, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()


def private_home(work, received):
    """Points HOME (and so the browser's and the host's settings) into WORK,
    with the receive folder setting naming RECEIVED, which is made."""
    pathlib.Path(received).mkdir(parents=True, exist_ok=True)
    home = work / "home"
    os.environ["HOME"] = str(home)
    os.environ["XDG_CONFIG_HOME"] = str(home / ".config")
    setting = home / ".config" / "dovrel" / "receive-folder"
    setting.parent.mkdir(parents=True)
    setting.write_text(f"{received}\n")


def serve_library(work, web):
    """Serves web/dovrel.js and a page that includes it on 127.0.0.1; returns
    the server and the page's address."""
    root = work / "web"
    root.mkdir()
    shutil.copy(web / "dovrel.js", root / "dovrel.js")
    (root / "receive.html").write_text(
        '<!DOCTYPE html><html><head><meta charset="utf-8"><script src="dovrel.js"></script></head><body></body></html>')
    server = serve_pages(root)
    return server, f"http://127.0.0.1:{server.server_address[1]}/receive.html"


def page_result(browser, call):
    """Runs CALL, a page expression giving a promise; returns what it settled to:
    {"value": ..., "progress": [...]} or {"error": code, "message": text}."""
    return json.loads(browser.evaluate(
        f"({call}).then(r => JSON.stringify({{value: r, progress: window.progress || []}}),"
        " e => JSON.stringify({error: e.code, message: e.message}))"))


def receive_call(port, date, files=None, mode=None):
    """Dovrel.receiveFile from the server on 127.0.0.1:PORT, progress kept in window.progress."""
    options = {"server": "127.0.0.1", "port": port, "date": date}
    if files is not None:
        options["files"] = files
    if mode:
        options["mode"] = mode
    text = json.dumps(options)[:-1] + ", onProgress: p => (window.progress = window.progress || []).push(p)}"
    return f"Dovrel.receiveFile({text})"


BROWSERS = {"chromium": Chromium, "firefox": Firefox}
