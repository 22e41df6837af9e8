"""The browser path's cases in one headless browser.

Chromium or Firefox ESR loads the extension and a page on 127.0.0.1; each
case runs Dovrel.receiveFile in the page and checks what the page got, what
landed in the receive folder and what the reference server saw.
"""
import argparse
import base64
import hashlib
import json
import pathlib
import sys
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "tools" / "lib"))
from browsers import (BROWSERS, CHROME_ID, FIREFOX_ID, page_result, private_home, receive_call,  # noqa: E402
                      serve_library, wait_for)

DATE = "20261208"


def chrome_id(manifest):
    """The id a Chromium browser derives from the manifest's public key: the
    first 16 bytes of its SHA-256, each half-byte a letter from "a" to "p"."""
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
    parser.add_argument("--browser", choices=sorted(BROWSERS), required=True)
    parser.add_argument("--extension", type=pathlib.Path, required=True)
    parser.add_argument("--web", type=pathlib.Path, required=True)
    parser.add_argument("--host", type=pathlib.Path, required=True)
    parser.add_argument("--samples", type=pathlib.Path, required=True, help="the served date's folder")
    parser.add_argument("--server-port", type=int, required=True)
    parser.add_argument("--server-trace", type=pathlib.Path, required=True)
    parser.add_argument("--stalling-port", type=int, required=True, help="a server that holds files back")
    parser.add_argument("--stalling-trace", type=pathlib.Path, required=True)
    parser.add_argument("--work", type=pathlib.Path, required=True)
    arguments = parser.parse_args()
    checks = Checks()
    manifest = json.loads((arguments.extension / "manifest.json").read_text())
    checks.equal("the fixed Chrome id", CHROME_ID, chrome_id(manifest))
    checks.equal("the fixed Firefox id", FIREFOX_ID, manifest["browser_specific_settings"]["gecko"]["id"])

    received = arguments.work / "received"
    private_home(arguments.work, received)
    server, site = serve_library(arguments.work, arguments.web)
    # The same page from an origin off the host's site list.
    off_list = site.replace("//127.0.0.1:", "//localhost:")
    started = time.monotonic()
    browser = BROWSERS[arguments.browser](arguments.work, arguments.extension, arguments.host)
    try:
        run_cases(browser, checks, arguments, site, off_list, received)
    finally:
        browser.stop()
        server.shutdown()
    print(f"{arguments.browser}: {checks.passed} passed, {checks.failed} failed in {time.monotonic() - started:.1f} s")
    return 1 if checks.failed else 0


def emptied(folder):
    for path in folder.iterdir():
        path.unlink()


def requests_seen(trace, service=""):
    return sum(1 for line in trace.read_text().splitlines() if line.startswith(f"request {service}"))


def raw_request(request_id, options, poster="window", **fields):
    """A page expression: posts a tagged request from POSTER's realm and settles
    to the extension's final reply to it, or to "no answer" after two seconds."""
    message = json.dumps({"dovrel": 1, "direction": "to-extension", "id": request_id, "type": "receive",
                          "options": options, **fields})
    return f"""new Promise(settle => {{
      addEventListener("message", e => {{
        const m = e.data;
        if (m && m.direction === "from-extension" && m.id === {request_id} && (m.type === "done" || m.type === "error"))
          settle(m.type === "error" ? Promise.reject({{code: m.code}}) : m.type);
      }});
      setTimeout(() => settle("no answer"), 2000);
      {poster}.Function("parent.postMessage(" + JSON.stringify({message}) + ", '*')")();
    }})"""


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
        return page_result(browser, expression)

    if arguments.browser == "firefox":
        # Before the extension is there: the page library gives up after its second.
        browser.open(site)
        begun = time.monotonic()
        checks.equal("no extension: the refusal", "extension-missing", call(receive_call(port, DATE)).get("error"))
        checks.equal("no extension: within the acknowledgement's time-out", True, time.monotonic() - begun < 3)
        browser.install()

    browser.open(site)
    outcome = call(receive_call(port, DATE))
    checks.equal("receive all: the result", {"result": "1", "received": len(names), "failed": 0,
                                             "files": [{"name": name, "ok": True} for name in names]},
                 outcome.get("value", outcome))
    landed("receive all", samples)
    emptied(received)

    some = [samples[-1], samples[0]]
    outcome = call(receive_call(port, DATE, files=[p.name for p in some]))
    checks.equal("receive some: the files reported", [p.name for p in some],
                 [f["name"] for f in outcome.get("value", {}).get("files", [])])
    landed("receive some", some)
    progress = outcome.get("progress", [])
    checks.equal("receive some: progress only for the files asked", True,
                 bool(progress) and all(p["file"] in names and p["received"] <= p["total"] for p in progress))

    emptied(received)
    # Leaving the page closes the host's port: the host gives up the file and
    # ends the session with the server.
    browser.evaluate(receive_call(arguments.stalling_port, DATE, files=["statement.dat"]) + ", 'started'")
    wait_for("the stalled transfer", lambda: requests_seen(arguments.stalling_trace, "GET"))
    browser.open_blank()
    ended = wait_for("TERMINATE", lambda: requests_seen(arguments.stalling_trace, "TERMINATE"), seconds=20)
    checks.equal("leaving mid-transfer: the session ended", 1, ended)
    checks.equal("leaving mid-transfer: nothing left in the folder", [], list(received.iterdir()))

    before = requests_seen(arguments.server_trace)
    options = f"CONNECTIP=127.0.0.1&CONNECTPORT={port}&DATE={DATE}"
    browser.open(off_list)
    outcome = call(receive_call(port, DATE))
    checks.equal("a page off the site list: the refusal", "site-refused", outcome.get("error"))
    outcome = call(raw_request(7, options, origin=site))
    checks.equal("a page off the site list naming an allowed origin: the refusal", "site-refused", outcome.get("error"))
    checks.equal("a page off the site list: no request reached the server", before,
                 requests_seen(arguments.server_trace))

    browser.open(site)
    browser.evaluate("document.body.appendChild(document.createElement('iframe')), 'framed'")
    outcome = call(raw_request(8, options, poster="frames[0]"))
    checks.equal("a request from another window: no answer", "no answer", outcome.get("value"))
    checks.equal("a request from another window: no request reached the server", before,
                 requests_seen(arguments.server_trace))

    if arguments.browser == "chromium":
        browser.open(site)
        checks.equal("session mode on Linux", "unsupported", call("Dovrel.receiveFile('CONNECTIP=127.0.0.1')").get("error"))
        # In Internet Explorer mode the library calls the control, not the extension.
        browser.evaluate("window.ActiveXObject = function (name) { return {ReceiveFile: t => name + ' ' + t}; }")
        checks.equal("IE mode: the control's answer",
                     {"value": "Dovrel.Pelgrath CONNECTIP=127.0.0.1&DATE=2026+12+08", "progress": []},
                     call("Dovrel.receiveFile({server: '127.0.0.1', date: '2026 12 08', mode: 'session'})"))
        # Without the receiver the extension's port ends, and so does the request.
        browser.host_manifest.unlink()
        browser.open(site)
        checks.equal("no receiver installed", "host-ended", call(receive_call(port, DATE)).get("error"))


if __name__ == "__main__":
    sys.exit(main())
