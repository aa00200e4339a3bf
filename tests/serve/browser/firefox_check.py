#!/usr/bin/python3
"""The page in Firefox too: headless Firefox ESR driven over its own remote protocol
(Marionette, JSON over a local TCP socket; Debian ships no driver for Selenium) against a real
`quilmar-hk-archive serve` on a fresh archive of the demo log. It checks what differs most
between engines: the module scripts run (the four sections show the newest frame's values), a
chart draws from Chart.js, and at a phone's width the sections stack without a sideways scroll.

  firefox_check.py ARCHIVE_EXE SAMPLES_DIR [SCREENSHOT_DIR]

Exit status 77 (skipped) without firefox-esr.
"""
import base64
import json
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

kSkipped = 77
sys.dont_write_bytecode = True  # no __pycache__ beside the sources
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))


class Marionette:
    """Just enough of Firefox's remote protocol: length-prefixed JSON commands and answers."""

    def __init__(self, port):
        deadline = time.monotonic() + 60
        while True:
            try:
                self.socket = socket.create_connection(('127.0.0.1', port), timeout=60)
                break
            except OSError:
                if time.monotonic() > deadline:
                    raise
                time.sleep(0.3)
        self.buffer = b''
        self.id = 0
        self.Read()  # the greeting
        self.Call('WebDriver:NewSession', {'capabilities': {}})

    def Read(self):
        while b':' not in self.buffer:
            self.buffer += self.socket.recv(65536)
        length, _, rest = self.buffer.partition(b':')
        while len(rest) < int(length):
            rest += self.socket.recv(65536)
        self.buffer = rest[int(length):]
        return json.loads(rest[:int(length)])

    def Call(self, command, parameters=None):
        self.id += 1
        body = json.dumps([0, self.id, command, parameters or {}]).encode()
        self.socket.sendall(str(len(body)).encode() + b':' + body)
        while True:
            _, answer_id, error, result = self.Read()
            if answer_id == self.id:
                if error:
                    raise RuntimeError(f'{command}: {error}')
                return result

    def Script(self, script, *args):
        return self.Call('WebDriver:ExecuteScript', {'script': script, 'args': list(args)})['value']

    def WaitFor(self, script, seconds=30):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            value = self.Script(script)
            if value:
                return value
            time.sleep(0.2)
        raise AssertionError(f'not within {seconds} s: {script}')


def Check(firefox, url, width, scale, screenshot):
    firefox.Call('WebDriver:SetWindowRect', {'width': width * scale, 'height': 900 * scale})
    firefox.Call('WebDriver:Navigate', {'url': url})
    if scale != 1:
        firefox.Call('Marionette:SetContext', {'value': 'chrome'})
        firefox.Script(f'ZoomManager.setZoomForBrowser(gBrowser.selectedBrowser, {scale})')
        firefox.Call('Marionette:SetContext', {'value': 'content'})
    firefox.WaitFor('return document.body.dataset.valuesPainted')
    filled = firefox.Script(
        'return [...document.querySelectorAll(".card")].filter((c) => c.querySelector("tr")).length')
    assert filled == 4, f'{filled} sections with values'
    firefox.WaitFor('return document.querySelector(".chart-panel .picker")')
    firefox.Script('const p = document.querySelector(".chart-panel .picker");'
                   'p.value = "eps_tcs_battery_volts"; p.dispatchEvent(new Event("change"));')
    points = firefox.WaitFor('return Number(document.querySelector(".chart-panel").dataset.points)')
    assert points > 10, f'{points} points charted'
    lefts = firefox.Script('return [...document.querySelectorAll(".card, #trends, #lists")]'
                           '.map((e) => Math.round(e.getBoundingClientRect().left))')
    overflow = firefox.Script('const d = document.documentElement; return d.scrollWidth - d.clientWidth')
    shown = firefox.Script('return window.innerWidth')
    assert shown == width, f'a page {shown} px wide, not {width}'
    if width <= 400:
        assert len(set(lefts)) == 1, f'not stacked at {width} px: {lefts}'
        assert overflow <= 0, f'{overflow} px wider than the phone'
    print(f'Firefox at {width} px: values, chart and layout as expected')
    if screenshot:
        time.sleep(0.5)
        png = firefox.Call('WebDriver:TakeScreenshot', {'full': True, 'hash': False})['value']
        with open(screenshot, 'wb') as f:
            f.write(base64.b64decode(png))


def main():
    if len(sys.argv) < 3:
        print(__doc__)
        return 2
    archive_exe, samples = sys.argv[1:3]
    shots = sys.argv[3] if len(sys.argv) > 3 else None
    browser = shutil.which('firefox-esr') or shutil.which('firefox')
    if not browser:
        print('skipped: the Firefox check needs firefox-esr (apt-get install firefox-esr)')
        return kSkipped
    from page_test import FreePort, Server
    import page_test
    page_test.ARCHIVE_EXE = archive_exe
    work = tempfile.mkdtemp(prefix='quilmar-firefox-')
    firefox = server = None
    try:
        archive = os.path.join(work, 'archive.sqlite')
        subprocess.run([archive_exe, '--archive', archive, 'add', '--station', 'XQ0GND',
                        os.path.join(samples, 'demo.kss')], check=True, capture_output=True)
        server = Server(archive)
        # Firefox keeps a window at least 500 pixels wide: the phone's 375 CSS pixels are a
        # 750-pixel window zoomed to 200 %.
        for width, scale, name in ((1400, 1, 'web-page-firefox.png'),
                                   (375, 2, 'web-phone-firefox.png')):
            profile = tempfile.mkdtemp(dir=work)
            port = FreePort()
            with open(os.path.join(profile, 'user.js'), 'w') as f:
                f.write(f'user_pref("marionette.port", {port});\n')
            firefox = subprocess.Popen([browser, '--headless', '--marionette', '--no-remote',
                                        '-remote-allow-system-access',
                                        '--profile', profile], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
            Check(Marionette(port), server.url('/'), width, scale,
                  shots and os.path.join(shots, name))
            firefox.terminate()
            firefox.wait()
            firefox = None
        return 0
    except AssertionError as e:
        print(f'FAILED: {e}')
        return 1
    finally:
        if firefox:
            firefox.terminate()
            firefox.wait()
        if server:
            server.stop()
        shutil.rmtree(work)


if __name__ == '__main__':
    sys.exit(main())
