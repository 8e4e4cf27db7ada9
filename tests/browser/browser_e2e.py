#!/usr/bin/env python3
"""A web page signs through the extension and zyqsec native-host, in headless Chromium and in
headless Firefox ESR, each driven over its own remote protocol (DevTools, WebDriver BiDi).

For each browser: the demo page on an allowed origin (http://127.0.0.1:PORT) enrolls with the
demonstration authority, registers and signs, and openssl verifies the signature; the same page
served from an origin not on the list (http://localhost:PORT) gets the version but is refused
everything else, also when it writes another origin into its request, and nothing is signed; no
page reaches the registry helpers or the folder picker; a dialog shown for the allowed page
names it.

  browser_e2e.py --zyqsec PATH --source DIR [--browser chromium|firefox]... [--screenshots DIR]
"""
import argparse
import base64
import functools
import hashlib
import http.server
import json
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

HOST_NAME = "com.zyqsecurities.zyqsec"
FIREFOX_ID = "zyqsec@zyqsecurities.example"
TIMEOUT = 60


class WebSocket:
    """Just enough of RFC 6455 for a local remote-protocol endpoint: text frames, no Origin."""

    def __init__(self, url):
        assert url.startswith("ws://")
        hostport, _, path = url[5:].partition("/")
        host, _, port = hostport.partition(":")
        self.sock = socket.create_connection((host, int(port)), timeout=TIMEOUT)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f"GET /{path} HTTP/1.1\r\nHost: {hostport}\r\nUpgrade: websocket\r\n"
                           f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.sock.recv(1)
            if not chunk:
                raise RuntimeError("websocket handshake failed")
            head += chunk
        if b" 101 " not in head.split(b"\r\n")[0]:
            raise RuntimeError("websocket refused: " + head.decode(errors="replace"))

    def _read(self, n):
        data = b""
        while len(data) < n:
            chunk = self.sock.recv(n - len(data))
            if not chunk:
                raise RuntimeError("websocket closed")
            data += chunk
        return data

    def send(self, obj):
        payload = json.dumps(obj).encode()
        header = bytes([0x81])
        if len(payload) < 126:
            header += bytes([0x80 | len(payload)])
        elif len(payload) < 65536:
            header += bytes([0x80 | 126]) + struct.pack(">H", len(payload))
        else:
            header += bytes([0x80 | 127]) + struct.pack(">Q", len(payload))
        mask = os.urandom(4)
        self.sock.sendall(header + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(payload)))

    def receive(self):
        message = b""
        while True:
            b0, b1 = self._read(2)
            length = b1 & 0x7F
            if length == 126:
                length = struct.unpack(">H", self._read(2))[0]
            elif length == 127:
                length = struct.unpack(">Q", self._read(8))[0]
            payload = self._read(length)
            opcode = b0 & 0x0F
            if opcode == 8:
                raise RuntimeError("websocket closed by the browser")
            if opcode in (0, 1, 2):
                message += payload
                if b0 & 0x80:
                    return json.loads(message)


class Rpc:
    """Commands with ids over a websocket; events are kept aside."""

    def __init__(self, url):
        self.ws = WebSocket(url)
        self.next_id = 0
        self.events = []

    def call(self, method, params=None, session=None):
        self.next_id += 1
        message = {"id": self.next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        self.ws.send(message)
        while True:
            reply = self.ws.receive()
            if reply.get("id") == self.next_id:
                if "error" in reply:
                    raise RuntimeError(f"{method}: {reply['error']}")
                return reply.get("result", {})
            self.events.append(reply)


def wait_for(condition, what, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise RuntimeError("timed out waiting for " + what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


# What the pages run; each expression's value comes back as JSON text.
WAIT_SIGNED = """new Promise((resolve) => {
  const check = () => {
    const state = document.body && document.body.dataset.state;
    if (state === 'signed' || state === 'failed' || state === 'no-extension')
      resolve(JSON.stringify({state, signature: document.getElementById('signature').textContent,
                              steps: document.getElementById('steps').innerText}));
    else setTimeout(check, 50);
  };
  check();
})"""

PROBE = """(async () => {
  const answers = {};
  answers.version = await zyqsec.call('GetVersion');
  answers.hash = await zyqsec.call('Hash', 'abc', 0x12);
  answers.sign = await zyqsec.call('SignPkcs7', 'A123456789', 'BUY 1', 0x800, 0);
  answers.registry = await zyqsec.call('RegReadHKCU', 'Software');
  answers.registryWrite = await zyqsec.call('RegWriteHKCUStr', 'Software\\\\x', 'y');
  answers.folder = await zyqsec.call('SelectLocalFolder', '', '');
  // A request that names another origin itself, sent past the page API.
  answers.spoof = await new Promise((resolve) => {
    window.addEventListener('message', (e) => {
      if (e.data && e.data.channel === 'zyqsec-answer' && e.data.id === 4242) resolve(e.data.answer);
    });
    window.postMessage({channel: 'zyqsec-request', id: 4242, op: 'SignPkcs7', origin: '%s',
                        args: ['A123456789', 'BUY 2', 0x800, 0]}, location.origin);
  });
  return JSON.stringify(answers);
})()"""

# On the allowed page after the demo: the export dialog asks for the password.
DIALOG = """(async () => JSON.stringify(await zyqsec.call('ExportPfxFromIE', 'CN=A123456789',
  (await zyqsec.call('GetDefaultCertPath')).result, '', 8, 0)))()"""


class Chromium:
    name = "chromium"

    def __init__(self, work, extension, env):
        self.profile = os.path.join(work, "chromium-profile")
        hosts = os.path.join(self.profile, "NativeMessagingHosts")
        os.makedirs(hosts)
        ext_id = extension_id(extension)
        write_json(os.path.join(hosts, HOST_NAME + ".json"), {
            "name": HOST_NAME, "description": "ZYQSecuritiesATL", "path": env["ZYQ_HOST_WRAPPER"],
            "type": "stdio", "allowed_origins": [f"chrome-extension://{ext_id}/"]})
        self.ext_id = ext_id
        command = [shutil.which("chromium") or "chromium", "--headless=new", "--disable-gpu",
                   "--user-data-dir=" + self.profile, "--load-extension=" + extension,
                   "--disable-extensions-except=" + extension,
                   "--remote-debugging-address=127.0.0.1", "--remote-debugging-port=0",
                   "--no-first-run", "--no-default-browser-check", "--window-size=1000,1000",
                   "about:blank"]
        if os.geteuid() == 0:
            command.insert(1, "--no-sandbox")
        self.process = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                                        stderr=open(os.path.join(work, "chromium.log"), "w"))
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        wait_for(lambda: os.path.exists(port_file) and open(port_file).read().count("\n") >= 1,
                 "DevToolsActivePort")
        port, path = open(port_file).read().split("\n")[:2]
        self.rpc = Rpc(f"ws://127.0.0.1:{port}{path}")
        # The extension's service worker is proof that it loaded.
        wait_for(lambda: any(t["type"] == "service_worker" and ext_id in t["url"]
                             for t in self.rpc.call("Target.getTargets")["targetInfos"]),
                 "the extension's service worker")
        target = self.rpc.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.session = self.rpc.call("Target.attachToTarget",
                                     {"targetId": target, "flatten": True})["sessionId"]
        self.rpc.call("Page.enable", session=self.session)

    def navigate(self, url):
        self.rpc.events.clear()
        self.rpc.call("Page.navigate", {"url": url}, session=self.session)
        wait_for(lambda: self.rpc.call("Runtime.evaluate", {
            "expression": "document.readyState === 'complete' && location.href"},
            session=self.session)["result"].get("value") == url, "the page to load")

    def evaluate(self, expression):
        result = self.rpc.call("Runtime.evaluate", {"expression": expression,
                                                     "awaitPromise": True,
                                                     "returnByValue": True}, session=self.session)
        if "exceptionDetails" in result:
            raise RuntimeError("script error: " + json.dumps(result["exceptionDetails"]))
        return json.loads(result["result"]["value"])

    def screenshot(self, path):
        data = self.rpc.call("Page.captureScreenshot", {"format": "png"}, session=self.session)
        with open(path, "wb") as f:
            f.write(base64.b64decode(data["data"]))

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Firefox:
    name = "firefox"

    def __init__(self, work, extension, env):
        hosts = os.path.join(env["HOME"], ".mozilla", "native-messaging-hosts")
        os.makedirs(hosts, exist_ok=True)
        write_json(os.path.join(hosts, HOST_NAME + ".json"), {
            "name": HOST_NAME, "description": "ZYQSecuritiesATL", "path": env["ZYQ_HOST_WRAPPER"],
            "type": "stdio", "allowed_extensions": [FIREFOX_ID]})
        profile = os.path.join(work, "firefox-profile")
        os.makedirs(profile)
        with open(os.path.join(profile, "user.js"), "w") as f:
            f.write('user_pref("browser.shell.checkDefaultBrowser", false);\n'
                    'user_pref("datareporting.policy.dataSubmissionEnabled", false);\n'
                    'user_pref("toolkit.telemetry.reportingpolicy.firstRun", false);\n'
                    'user_pref("app.update.disabledForTesting", true);\n')
        port = free_port()
        self.process = subprocess.Popen(
            [shutil.which("firefox-esr") or "firefox-esr", "--headless", "--no-remote",
             "--profile", profile, "--remote-debugging-port", str(port),
             "--width", "1000", "--height", "1000"],
            env=env, stdout=subprocess.DEVNULL,
            stderr=open(os.path.join(work, "firefox.log"), "w"))

        def connect():
            try:
                return Rpc(f"ws://127.0.0.1:{port}/session")
            except OSError:
                return None
        self.rpc = wait_for(connect, "Firefox's WebDriver BiDi endpoint")
        self.rpc.call("session.new", {"capabilities": {}})
        self.rpc.call("webExtension.install",
                      {"extensionData": {"type": "path", "path": extension}})
        self.context = self.rpc.call("browsingContext.getTree")["contexts"][0]["context"]

    def navigate(self, url):
        self.rpc.call("browsingContext.navigate",
                      {"context": self.context, "url": url, "wait": "complete"})

    def evaluate(self, expression):
        result = self.rpc.call("script.evaluate", {"expression": expression,
                                                   "target": {"context": self.context},
                                                   "awaitPromise": True})
        if result.get("type") == "exception":
            raise RuntimeError("script error: " + json.dumps(result.get("exceptionDetails")))
        return json.loads(result["result"]["value"])

    def screenshot(self, path):
        data = self.rpc.call("browsingContext.captureScreenshot", {"context": self.context})
        with open(path, "wb") as f:
            f.write(base64.b64decode(data["data"]))

    def close(self):
        try:
            self.rpc.call("session.end")
        except Exception:
            pass
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def extension_id(extension):
    key = json.load(open(os.path.join(extension, "manifest.json")))["key"]
    digest = hashlib.sha256(base64.b64decode(key)).hexdigest()[:32]
    return "".join(chr(ord("a") + int(c, 16)) for c in digest)


def write_json(path, value):
    with open(path, "w") as f:
        json.dump(value, f)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve(root):
    handler = functools.partial(QuietHandler, directory=root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def verify_signature(work, signature, order):
    der = os.path.join(work, "signature.der")
    with open(der, "wb") as f:
        f.write(base64.b64decode(signature))
    out = subprocess.run(["openssl", "cms", "-verify", "-inform", "DER", "-in", der, "-noverify",
                          "-binary"], capture_output=True)
    check(out.returncode == 0, "openssl does not verify the signature: " + out.stderr.decode())
    check(out.stdout == order.encode(), "the signed content is not the order")


def run_browser(kind, args, work_root, server_port):
    work = tempfile.mkdtemp(prefix=kind + "-", dir=work_root)
    home = os.path.join(work, "home")
    config = os.path.join(work, "config")
    os.makedirs(os.path.join(config, "zyqsec"))
    os.makedirs(home)
    allowed = f"http://127.0.0.1:{server_port}"
    refused = f"http://localhost:{server_port}"
    with open(os.path.join(config, "zyqsec", "allowed-origins"), "w") as f:
        f.write(f"# the demo page\n{allowed} user-consent demo\n")
    script = os.path.join(work, "dialogs.script")
    transcript = os.path.join(work, "dialogs.jsonl")
    with open(script, "w") as f:
        f.write("ok\tpassword=Other#2024\n")
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=config,
               ZYQSEC_HOME=os.path.join(work, "state"), ZYQSEC_UI="script:" + script,
               ZYQSEC_UI_LOG=transcript, TMPDIR=work, ZYQSEC_KEYRING="off")
    env.pop("DISPLAY", None)
    env.pop("WAYLAND_DISPLAY", None)
    wrapper = os.path.join(work, "zyqsec-native-host")
    with open(wrapper, "w") as f:
        f.write("#!/bin/sh\n")
        for name in ("HOME", "XDG_CONFIG_HOME", "ZYQSEC_HOME", "ZYQSEC_UI", "ZYQSEC_UI_LOG",
                     "TMPDIR", "ZYQSEC_KEYRING"):
            f.write(f"export {name}='{env[name]}'\n")
        f.write(f"exec '{args.zyqsec}' native-host \"$@\"\n")
    os.chmod(wrapper, 0o755)
    env["ZYQ_HOST_WRAPPER"] = wrapper

    started = time.monotonic()
    browser = (Chromium if kind == "chromium" else Firefox)(work, args.extension, env)
    try:
        order = "BUY 2330 1000 shares @ 580.00, account 9801-1234567"
        browser.navigate(f"{allowed}/demo/index.html?run")
        outcome = browser.evaluate(WAIT_SIGNED)
        check(outcome["state"] == "signed", f"{kind}: the demo did not sign:\n{outcome['steps']}")
        verify_signature(work, outcome["signature"], order)
        if args.screenshots:
            os.makedirs(args.screenshots, exist_ok=True)
            browser.screenshot(os.path.join(args.screenshots, f"demo-{kind}.png"))

        before = open(transcript).read() if os.path.exists(transcript) else ""
        exported = browser.evaluate(DIALOG)
        check(exported["code"] == 0, f"{kind}: the export through the dialog failed: {exported}")
        lines = [json.loads(l) for l in open(transcript).read()[len(before):].splitlines()]
        check(lines and all(l.get("origin") == allowed for l in lines),
              f"{kind}: a dialog did not name the page: {lines}")

        browser.navigate(f"{allowed}/demo/index.html")
        answers = browser.evaluate(PROBE % allowed)
        for name in ("registry", "registryWrite", "folder"):
            check(answers[name]["code"] == 9002 and answers[name]["result"] is None,
                  f"{kind}: the allowed page reached {name}: {answers[name]}")

        browser.navigate(f"{refused}/demo/index.html")
        answers = browser.evaluate(PROBE % allowed)
        check(answers["version"]["code"] == 0 and answers["version"]["result"],
              f"{kind}: the refused page did not get the version: {answers['version']}")
        for name in ("hash", "sign", "spoof"):
            check(answers[name]["code"] == 9001 and answers[name]["result"] is None,
                  f"{kind}: the refused page was not refused {name}: {answers[name]}")
        for name in ("registry", "registryWrite", "folder"):
            check(answers[name]["code"] == 9002, f"{kind}: {name}: {answers[name]}")
    finally:
        browser.close()
    print(f"{kind}: signed on {allowed}, verified by openssl; {refused} refused; "
          f"{time.monotonic() - started:.1f} s", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--zyqsec", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--browser", action="append", choices=["chromium", "firefox"])
    parser.add_argument("--screenshots")
    args = parser.parse_args()
    args.zyqsec = os.path.abspath(args.zyqsec)
    args.extension = os.path.join(os.path.abspath(args.source), "browser", "extension")
    browsers = args.browser or ["chromium", "firefox"]
    missing = [b for b in browsers
               if not shutil.which({"chromium": "chromium", "firefox": "firefox-esr"}[b])]
    if missing:
        print("not installed: " + ", ".join(missing) + " (scripts/setup.sh installs them)")
        return 77
    server = serve(os.path.join(os.path.abspath(args.source), "browser"))
    work_root = tempfile.mkdtemp(prefix="zyq-browser-e2e-")
    try:
        for kind in browsers:
            run_browser(kind, args, work_root, server.server_address[1])
    finally:
        server.shutdown()
        if not os.environ.get("ZYQ_KEEP_E2E"):
            shutil.rmtree(work_root, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
