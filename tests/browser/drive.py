"""Drives a headless browser through the extension and the page library.

Serves a test page on 127.0.0.1, starts Chromium (DevTools protocol) or
Firefox ESR (WebDriver BiDi) with the extension and the native host registered
in a private profile, runs each case's page script and checks what the page
got, what landed in the receive folder and what the reference server saw.
Everything it starts it stops by process id.
"""
import argparse
import functools
import http.server
import json
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import threading
import time
import urllib.request

import websocket

HOST_NAME = "kr.dovrel.receiver"
FIREFOX_ID = "receiver@dovrel.kr"
DATE = "20261208"


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


def page_script(call):
    """A page expression: runs CALL (a promise) and answers in JSON."""
    return (f"({call}).then(r => JSON.stringify({{value: r, progress: window.progress || []}}),"
            " e => JSON.stringify({error: e.code, message: e.message}))")


def receive_call(port, files=None, mode=None):
    options = {"server": "127.0.0.1", "port": port, "date": DATE}
    if files is not None:
        options["files"] = files
    if mode:
        options["mode"] = mode
    text = json.dumps(options)[:-1] + ", onProgress: p => (window.progress = window.progress || []).push(p)}"
    return f"Dovrel.receiveFile({text})"


class Chromium:
    def __init__(self, work, extension, host, extension_id):
        profile = work / "chromium"
        hosts = profile / "NativeMessagingHosts"
        hosts.mkdir(parents=True)
        (hosts / f"{HOST_NAME}.json").write_text(json.dumps({
            "name": HOST_NAME, "description": "Dovrel receiver", "path": str(host), "type": "stdio",
            "allowed_origins": [f"chrome-extension://{extension_id}/"]}))
        self.extension_id = extension_id
        self.process = subprocess.Popen(
            ["/usr/lib/chromium/chromium", "--headless=new", "--no-sandbox", f"--user-data-dir={profile}",
             f"--load-extension={extension}", "--remote-debugging-port=0", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=open(work / "chromium.err", "w"), env=os.environ)
        self.port = wait_for("DevTools port", lambda: (profile / "DevToolsActivePort").read_text().split()[0])
        wait_for("the extension's service worker", self.worker)
        target = next(t for t in self.targets() if t["type"] == "page")
        self.socket = websocket.create_connection(target["webSocketDebuggerUrl"], suppress_origin=True, timeout=60)
        self.next_id = 0

    def targets(self):
        with urllib.request.urlopen(f"http://127.0.0.1:{self.port}/json/list", timeout=5) as reply:
            return json.load(reply)

    def worker(self):
        return any(t["type"] == "service_worker" and self.extension_id in t["url"] for t in self.targets())

    def command(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            reply = json.loads(self.socket.recv())
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(reply["error"])
                return reply["result"]

    def evaluate(self, expression):
        result = self.command("Runtime.evaluate", expression=expression, awaitPromise=True, returnByValue=True)
        return result["result"].get("value")

    def open(self, url):
        self.command("Page.navigate", url=url)
        wait_for(url, lambda: self.evaluate("location.href") == url and self.evaluate(
            "document.readyState === 'complete' && typeof Dovrel === 'object'"))

    def install(self):
        pass

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Firefox:
    def __init__(self, work, extension, host, extension_id):
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
        self.next_id = 0
        self.command("session.new", capabilities={"alwaysMatch": {"webSocketUrl": True}})
        self.context = self.command("browsingContext.getTree")["contexts"][0]["context"]

    def command(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            reply = json.loads(self.socket.recv())
            if reply.get("id") == self.next_id:
                if reply.get("type") == "error":
                    raise RuntimeError(f"{method}: {reply.get('error')}: {reply.get('message')}")
                return reply["result"]

    def evaluate(self, expression):
        result = self.command("script.evaluate", expression=expression, awaitPromise=True,
                              target={"context": self.context})
        if result["type"] == "exception":
            raise RuntimeError(result["exceptionDetails"]["text"])
        return result["result"].get("value")

    def open(self, url):
        self.command("browsingContext.navigate", context=self.context, url=url, wait="complete")

    def install(self):
        self.command("webExtension.install", extensionData={"type": "path", "path": str(self.extension)})

    def stop(self):
        try:
            self.command("browser.close")
            self.process.wait(10)
        except (RuntimeError, OSError, websocket.WebSocketException, subprocess.TimeoutExpired):
            self.process.kill()
            self.process.wait()


# The Chrome and Edge id the manifest's public key gives: the first 16 bytes of
# the key's SHA-256, each half-byte written as a letter from "a" to "p".
CHROME_ID = "hapaejfkmochcbmajcfajgbalendmgki"


def chrome_id(manifest):
    import base64
    import hashlib
    digest = hashlib.sha256(base64.b64decode(manifest["key"])).hexdigest()[:32]
    return "".join(chr(ord("a") + int(digit, 16)) for digit in digest)


def as_received(path):
    """A sample file as the receiver stores it: text files with CR LF line ends."""
    data = path.read_bytes()
    if path.suffix.lower() in (".txt", ".rst"):
        data = data.replace(b"\n", b"\r\n")
    return data


class Checks:
    def __init__(self):
        self.failed = 0
        self.passed = 0

    def equal(self, name, expected, actual):
        if expected == actual:
            self.passed += 1
        else:
            self.failed += 1
            print(f"FAILED: {name}: expected {expected!r}, got {actual!r}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--browser", choices=["chromium", "firefox"], required=True)
    parser.add_argument("--extension", type=pathlib.Path, required=True)
    parser.add_argument("--web", type=pathlib.Path, required=True)
    parser.add_argument("--host", type=pathlib.Path, required=True)
    parser.add_argument("--samples", type=pathlib.Path, required=True, help="the served date's folder")
    parser.add_argument("--server-port", type=int, required=True)
    parser.add_argument("--server-trace", type=pathlib.Path, required=True)
    parser.add_argument("--work", type=pathlib.Path, required=True)
    arguments = parser.parse_args()
    work = arguments.work
    checks = Checks()
    manifest = json.loads((arguments.extension / "manifest.json").read_text())
    checks.equal("the fixed Chrome id", CHROME_ID, chrome_id(manifest))
    checks.equal("the fixed Firefox id", FIREFOX_ID, manifest["browser_specific_settings"]["gecko"]["id"])

    # The browser, and the host it starts, see a home of their own: the
    # receive folder setting points into the work folder.
    os.environ["HOME"] = str(work / "home")
    os.environ["XDG_CONFIG_HOME"] = str(work / "home" / ".config")
    received = work / "received"
    (work / "home" / ".config" / "dovrel").mkdir(parents=True)
    (work / "home" / ".config" / "dovrel" / "receive-folder").write_text(f"{received}\n")

    pages = web_root(work, arguments.web)
    server = serve_pages(pages)
    site = f"http://127.0.0.1:{server.server_address[1]}/receive.html"
    off_list = f"http://localhost:{server.server_address[1]}/receive.html"
    browser_class = Chromium if arguments.browser == "chromium" else Firefox
    started = time.monotonic()
    browser = browser_class(work, arguments.extension, arguments.host, CHROME_ID)
    try:
        run_cases(browser, checks, arguments, site, off_list, received)
    finally:
        browser.stop()
        server.shutdown()
    print(f"{arguments.browser}: {checks.passed} passed, {checks.failed} failed in {time.monotonic() - started:.1f} s")
    return 1 if checks.failed else 0


def web_root(work, web):
    root = work / "web"
    root.mkdir()
    shutil.copy(web / "dovrel.js", root / "dovrel.js")
    (root / "receive.html").write_text(
        '<!DOCTYPE html><html><head><meta charset="utf-8"><script src="dovrel.js"></script></head><body></body></html>')
    return root


def requests_seen(trace):
    return sum(1 for line in trace.read_text().splitlines() if line.startswith("request "))


def run_cases(browser, checks, arguments, site, off_list, received):
    samples = sorted(arguments.samples.iterdir())
    names = [path.name for path in samples]
    port = arguments.server_port

    def landed(case, expected):
        checks.equal(f"{case}: the files in the folder", sorted(p.name for p in expected),
                     sorted(p.name for p in received.iterdir()) if received.exists() else [])
        for path in expected:
            landed_file = received / path.name
            checks.equal(f"{case}: {path.name} byte for byte", True,
                         landed_file.exists() and landed_file.read_bytes() == as_received(path))

    def call(expression):
        return json.loads(browser.evaluate(page_script(expression)))

    if arguments.browser == "firefox":
        # Before the extension is there: the page library gives up after its second.
        browser.open(site)
        begun = time.monotonic()
        checks.equal("no extension: the refusal", "extension-missing", call(receive_call(port)).get("error"))
        checks.equal("no extension: within the acknowledgement's time-out", True, time.monotonic() - begun < 3)
        browser.install()

    browser.open(site)
    outcome = call(receive_call(port))
    checks.equal("receive all: the result", {"result": "1", "received": len(names), "failed": 0,
                                             "files": [{"name": name, "ok": True} for name in names]},
                 outcome.get("value", outcome))
    landed("receive all", samples)
    shutil.rmtree(received)

    some = [samples[-1], samples[0]]
    outcome = call(receive_call(port, files=[p.name for p in some]))
    checks.equal("receive some: the files reported", [p.name for p in some],
                 [f["name"] for f in outcome.get("value", {}).get("files", [])])
    landed("receive some", some)
    progress = outcome.get("progress", [])
    checks.equal("receive some: progress only for the files asked", True,
                 bool(progress) and all(p["file"] in names and p["received"] <= p["total"] for p in progress))

    before = requests_seen(arguments.server_trace)
    browser.open(off_list)
    outcome = call(receive_call(port))
    checks.equal("a page off the site list: the refusal", "site-refused", outcome.get("error"))
    checks.equal("a page off the site list: no request reached the server", before,
                 requests_seen(arguments.server_trace))

    if arguments.browser == "chromium":
        browser.open(site)
        checks.equal("session mode on Linux", "unsupported", call("Dovrel.receiveFile('CONNECTIP=127.0.0.1')").get("error"))
        # In Internet Explorer mode the library calls the control, not the extension.
        stand_in = "window.ActiveXObject = function (name) { return {ReceiveFile: t => name + ' ' + t}; }"
        browser.evaluate(stand_in)
        checks.equal("IE mode: the control's answer", {"value": "Dovrel.Pelgrath CONNECTIP=127.0.0.1&DATE=2026+12+08", "progress": []},
                     call("Dovrel.receiveFile({server: '127.0.0.1', date: '2026 12 08', mode: 'session'})"))


if __name__ == "__main__":
    sys.exit(main())
