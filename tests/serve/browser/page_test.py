#!/usr/bin/python3
"""The archive's web page as a person sees it: headless Chromium driven by Selenium against a
real `quilmar-hk-archive serve` on a fresh SQLite archive of the demo log and two days of
trend passes (January 2026, so the whole archive charts by the hour).

  page_test.py ARCHIVE_EXE MAKE_TREND_LOG_EXE SAMPLES_DIR [unittest arguments]

Exit status 77 (skipped) when Chromium, its driver or Selenium is missing. With
QUILMAR_SCREENSHOTS=DIR the desktop and phone screenshots are written there as web-page.png
and web-phone.png.
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
import unittest
import urllib.request

kSkipped = 77
kChromium = shutil.which('chromium') or '/usr/bin/chromium'
kDriver = shutil.which('chromedriver') or '/usr/bin/chromedriver'

try:
    from selenium import webdriver
    from selenium.common.exceptions import TimeoutException
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.actions.wheel_input import ScrollOrigin
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys
    from selenium.webdriver.support.ui import Select, WebDriverWait
except ImportError:
    webdriver = None

ARCHIVE_EXE = MAKE_TREND_LOG = SAMPLES = None


def FreePort():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


class Server:
    """A `serve` process of its own on a free loopback port, stopped by stop()."""

    def __init__(self, archive, limits=None, token_file=None):
        self.archive = archive
        self.port = FreePort()
        self.limits = limits
        self.token_file = token_file
        self.start()

    def start(self):
        command = [ARCHIVE_EXE, '--archive', self.archive, 'serve',
                   '--listen', f'127.0.0.1:{self.port}']
        if self.limits:
            command += ['--limits', self.limits]
        if self.token_file:
            command += ['--token-file', self.token_file]
        self.log = tempfile.TemporaryFile()
        self.process = subprocess.Popen(command, stdout=self.log, stderr=subprocess.STDOUT)
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                self.log.seek(0)
                raise RuntimeError(f'serve ended: {self.log.read().decode(errors="replace")}')
            try:
                with socket.create_connection(('127.0.0.1', self.port), timeout=1):
                    return
            except OSError:
                time.sleep(0.2)
        raise RuntimeError('serve did not listen within 60 s')

    def url(self, path='/'):
        return f'http://127.0.0.1:{self.port}{path}'

    def get(self, path, token=None):
        request = urllib.request.Request(self.url(path))
        if token:
            request.add_header('Authorization', f'Bearer {token}')
        with urllib.request.urlopen(request, timeout=30) as answer:
            return json.load(answer)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=20)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()


def Browser(width=1400, height=1000):
    options = webdriver.ChromeOptions()
    options.binary_location = kChromium
    for argument in ('--headless=new', '--no-sandbox', '--disable-gpu',
                     '--disable-dev-shm-usage', '--hide-scrollbars',
                     f'--window-size={width},{height}'):
        options.add_argument(argument)
    # A window is at least 500 pixels wide: a phone's width is the phone's screen emulated.
    if width < 500:
        options.add_experimental_option('mobileEmulation', {
            'deviceMetrics': {'width': width, 'height': height, 'pixelRatio': 1, 'touch': True}})
    # The network log shows which /api/series requests the page made.
    options.set_capability('goog:loggingPrefs', {'performance': 'ALL', 'browser': 'ALL'})
    return webdriver.Chrome(service=Service(kDriver), options=options)


def Wait(driver, condition, seconds=30, message=''):
    return WebDriverWait(driver, seconds, poll_frequency=0.1).until(
        lambda d: condition(d), message)


def SeriesRequests(driver):
    """The /api/series URLs the page asked for since the last call, as {name: value}."""
    found = []
    for entry in driver.get_log('performance'):
        message = json.loads(entry['message'])['message']
        if message.get('method') != 'Network.requestWillBeSent':
            continue
        url = message['params']['request']['url']
        if '/api/series?' in url:
            query = urllib.parse.parse_qs(urllib.parse.urlparse(url).query)
            found.append({k: v[0] for k, v in query.items()})
    return found


def IsoMs(text):
    from datetime import datetime
    return int(datetime.fromisoformat(text.replace('Z', '+00:00')).timestamp() * 1000)


# The demo pass's newest frames read 4.04 V and 14 C with power level EMERGENCY: beyond these
# bounds they are yellow high, red low and a red state, one of each mark.
kLimits = """
[eps_tcs_battery_volts]
yellow_high = 4.0

[eps_tcs_temp_battery]
red_low = 30

[eps_tcs_power_level]
red = ["EMERGENCY"]
"""


class PageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix='quilmar-page-')
        cls.archive = os.path.join(cls.dir, 'archive.sqlite')
        cls.limits = os.path.join(cls.dir, 'limits.toml')
        with open(cls.limits, 'w') as f:
            f.write(kLimits)
        early = os.path.join(cls.dir, 'january.kss')
        subprocess.run([MAKE_TREND_LOG, early, '2'], check=True, capture_output=True)
        subprocess.run([ARCHIVE_EXE, '--archive', cls.archive, 'add', '--station', 'XQ0GND',
                        os.path.join(SAMPLES, 'demo.kss'), early], check=True,
                       capture_output=True)
        cls.server = Server(cls.archive, cls.limits)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.dir)

    def setUp(self):
        self.driver = Browser()
        self.addCleanup(self.driver.quit)

    def Open(self, driver=None):
        driver = driver or self.driver
        driver.get(self.server.url('/'))
        Wait(driver, lambda d: d.execute_script('return document.body.dataset.valuesPainted'),
             message='no values painted')

    def ChartParameter(self, column, index=0):
        panel = self.driver.find_elements(By.CSS_SELECTOR, '.chart-panel')[index]
        Select(panel.find_element(By.CSS_SELECTOR, '.picker')).select_by_value(column)
        Wait(self.driver, lambda d: panel.get_attribute('data-level'), message='no chart')
        return panel

    def test_values_and_marks_are_the_newest_frames(self):
        self.Open()
        latest = self.server.get('/api/latest')
        catalogue = [p['column'] for p in self.server.get('/api/parameters')['parameters']]
        marks = {'high': '▲', 'low': '▼', 'state': '!'}
        # One reading of the page as it is, so a refresh in between cannot mix two answers.
        shown = self.driver.execute_script("""
            const cards = {};
            for (const card of document.querySelectorAll('.card')) {
              cards[card.dataset.section] = {frame: card.dataset.frame, rows: [...card.querySelectorAll('tr[data-parameter]')].map((r) => ({
                column: r.dataset.parameter, text: r.querySelector('.text').textContent,
                mark: r.querySelector('.mark')?.textContent ?? null, classes: [...r.classList], title: r.title}))};
            }
            return cards;""")
        seen = set()
        for name, section in latest['sections'].items():
            card = shown[name]
            self.assertEqual(card['frame'], str(section['frame']), name)
            # In the catalogue's order, whatever order the server's object has.
            self.assertEqual([r['column'] for r in card['rows']],
                             [c for c in catalogue if c in section['values']], name)
            for row in card['rows']:
                value = section['values'][row['column']]
                with self.subTest(section=name, value=row['column']):
                    self.assertEqual(row['text'], value['text'])
                    if value['state'] in ('yellow', 'red'):
                        seen.add((value['state'], value['direction']))
                        self.assertEqual(row['classes'], [f'state-{value["state"]}'])
                        self.assertEqual(row['mark'], marks.get(value['direction'], '!'))
                        if value['bound']:
                            self.assertIn(value['bound'], row['title'])
                    else:
                        self.assertEqual(row['classes'], [])
                        self.assertIsNone(row['mark'])
        self.assertEqual(seen, {('yellow', 'high'), ('red', 'low'), ('red', 'state')})

    def test_chart_draws_after_choosing_a_parameter(self):
        self.Open()
        panel = self.ChartParameter('eps_tcs_battery_volts')
        self.assertEqual(panel.get_attribute('data-level'), 'hour')
        self.assertGreater(int(panel.get_attribute('data-points')), 10)
        # The band is drawn: the plot holds pixels of its blue.
        blue = self.driver.execute_script("""
            const c = arguments[0].querySelector('canvas');
            const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data;
            let n = 0;
            for (let i = 0; i < d.length; i += 4) if (d[i + 2] > 180 && d[i] < 120) n++;
            return n;""", panel)
        self.assertGreater(blue, 200)
        request = SeriesRequests(self.driver)[-1]
        width = self.driver.execute_script(
            'return Chart.getChart(arguments[0].querySelector("canvas")).chartArea.width', panel)
        self.assertEqual(request['parameter'], 'eps_tcs_battery_volts')
        # Asked before the axis knew its labels' width: within a few pixels of the plot's.
        self.assertAlmostEqual(int(request['points']), width, delta=width * 0.02)

    def test_zoom_reads_the_visible_range_finer(self):
        # Each way of zooming ends in one request for the range on screen, at a finer level
        # once the range is short: a pass of the demo log is read frame by frame.
        # how, the level then shown, the view's width after against before
        cases = [('wheel', 'hour', 0.3), ('band', 'frame', 0.05), ('buttons', 'hour', 0.25),
                 ('pan', 'hour', 1.0)]
        for how, level, narrower in cases:
            with self.subTest(how=how):
                self.Open()
                panel = self.ChartParameter('eps_tcs_battery_volts')
                canvas = panel.find_element(By.CSS_SELECTOR, 'canvas')
                SeriesRequests(self.driver)
                before = (int(panel.get_attribute('data-view-from')),
                          int(panel.get_attribute('data-view-to')))
                if how == 'wheel':
                    # Three notches in quick succession (one chain of actions, however busy the
                    # machine): one read once the wheel rests.
                    notches = ActionChains(self.driver)
                    for _ in range(3):
                        notches.scroll_from_origin(ScrollOrigin.from_element(canvas), 0, -120)
                    notches.perform()
                elif how == 'band':
                    # The demo pass, 16:41 to 16:54 on 12 June, ends the archive: bands narrowing
                    # onto it (ending past the end, as a pixel of the whole archive is hours
                    # long), the last one over the pass.
                    for start, end in (('2026-06-01T00:00:00Z', '2026-06-14T00:00:00Z'),
                                       ('2026-06-12T12:00:00Z', '2026-06-12T18:00:00Z')):
                        self.DragBand(canvas, IsoMs(start), IsoMs(end))
                        Wait(self.driver, lambda d: SeriesRequests(d) or None, 10)
                    before = (int(panel.get_attribute('data-view-from')),
                              int(panel.get_attribute('data-view-to')))
                    self.DragBand(canvas, IsoMs('2026-06-12T16:40:00Z'),
                                  IsoMs('2026-06-12T16:55:00Z'))
                elif how == 'buttons':
                    # Two clicks within the debounce (a driver's click takes a quarter second).
                    self.driver.execute_script('arguments[0].click(); arguments[0].click();',
                                               panel.find_element(By.CSS_SELECTOR, '[data-act="in"]'))
                else:
                    # Zoomed in first, then the plot dragged 200 px to the right with shift:
                    # the view moves earlier by as much time as 200 px show.
                    panel.find_element(By.CSS_SELECTOR, '[data-act="in"]').click()
                    Wait(self.driver, lambda d: SeriesRequests(d) or None, 10)
                    before = (int(panel.get_attribute('data-view-from')),
                              int(panel.get_attribute('data-view-to')))
                    plot = self.driver.execute_script(
                        'return Chart.getChart(arguments[0]).chartArea.width', canvas)
                    ActionChains(self.driver).move_to_element(canvas).key_down(
                        Keys.SHIFT).click_and_hold().move_by_offset(200, 0).release().key_up(
                        Keys.SHIFT).perform()
                first = Wait(self.driver, lambda d: SeriesRequests(d) or None, 10,
                             'no series read after the zoom')
                time.sleep(0.6)  # a second request would come after the debounce
                requests = first + SeriesRequests(self.driver)
                self.assertEqual(len(requests), 1, requests)
                view = (int(panel.get_attribute('data-view-from')),
                        int(panel.get_attribute('data-view-to')))
                self.assertAlmostEqual((view[1] - view[0]) / (before[1] - before[0]), narrower,
                                       delta=narrower * 0.15)
                if how == 'pan':
                    shift = 200 * (before[1] - before[0]) / plot
                    self.assertAlmostEqual(before[0] - view[0], shift, delta=shift * 0.05)
                self.assertAlmostEqual(IsoMs(requests[0]['from']), view[0], delta=1)
                self.assertAlmostEqual(IsoMs(requests[0]['to']), view[1], delta=1)
                Wait(self.driver, lambda d: panel.get_attribute('data-level') == level, 10,
                     f'level {panel.get_attribute("data-level")}, not {level}')

    def DragBand(self, canvas, from_ms, to_ms):
        x0, x1 = self.driver.execute_script(
            'const s = Chart.getChart(arguments[0]).scales.x;'
            'return [s.getPixelForValue(arguments[1]), s.getPixelForValue(arguments[2])];',
            canvas, from_ms, to_ms)
        size = canvas.size
        SeriesRequests(self.driver)
        ActionChains(self.driver).move_to_element_with_offset(
            canvas, int(x0 - size['width'] / 2), 0).click_and_hold().move_by_offset(
            int((x1 - x0) / 2), 0).move_by_offset(int((x1 - x0) / 2), 0).release().perform()

    def test_frame_detail_from_the_latest_values(self):
        self.Open()
        card = self.driver.find_element(By.CSS_SELECTOR, '.card[data-section="CDHS"]')
        key = card.get_attribute('data-frame')
        card.find_element(By.CSS_SELECTOR, '.frame-link').click()
        dialog = self.driver.find_element(By.ID, 'frame-dialog')
        Wait(self.driver, lambda d: dialog.get_attribute('data-frame') == key)
        frame = self.server.get(f'/api/frame/{key}')
        hex_lines = dialog.find_element(By.CSS_SELECTOR, '.hex').text.split('\n')
        shown = ''.join(line[6:53].replace(' ', '') for line in hex_lines)
        self.assertEqual(shown, frame['hex'].lower())
        self.assertEqual(hex_lines[1][:4], '0010')
        self.assertEqual(len(hex_lines), (len(frame['hex']) // 2 + 15) // 16)

    def test_an_event_or_a_chart_point_opens_its_frame(self):
        self.Open()
        dialog = self.driver.find_element(By.ID, 'frame-dialog')

        def Shown():
            Wait(self.driver, lambda d: dialog.get_attribute('open') is not None
                 and dialog.get_attribute('data-frame'), 10, 'no frame shown')
            key = dialog.get_attribute('data-frame')
            Wait(self.driver, lambda d: dialog.find_element(By.CSS_SELECTOR, '.hex').text, 10)
            frame = self.server.get(f'/api/frame/{key}')
            dialog.find_element(By.CSS_SELECTOR, '.close').click()
            Wait(self.driver, lambda d: dialog.get_attribute('open') is None, 5)
            self.driver.execute_script('arguments[0].removeAttribute("data-frame")', dialog)
            return IsoMs(frame['time'])

        # The list holds the 30 days up to the newest frame (the demo pass, not January's),
        # newest first; each episode opens the frame it starts with.
        newest = max(IsoMs(s['time']) for s in self.server.get('/api/latest')['sections'].values())
        First = lambda e: IsoMs(e.get('first_utc') or e.get('firstUtc'))
        episodes = sorted((e for e in self.server.get('/api/events')['events']
                           if First(e) > newest - 30 * 86400 * 1000), key=First, reverse=True)
        self.assertEqual(len(episodes), 3)
        Wait(self.driver, lambda d: len(d.find_elements(By.CSS_SELECTOR, '#event-list li button'))
             == len(episodes), 20)
        for index, episode in enumerate(episodes):
            with self.subTest(episode=episode['parameter']):
                self.driver.find_elements(By.CSS_SELECTOR, '#event-list li button')[index].click()
                self.assertEqual(Shown() // 1000, First(episode) // 1000)
        # A frame-level chart of the demo pass: a click on a point opens the frame of that time.
        self.driver.find_element(By.CSS_SELECTOR, '#pass-list button').click()
        panel = self.driver.find_element(By.CSS_SELECTOR, '.chart-panel')
        Wait(self.driver, lambda d: panel.get_attribute('data-level') == 'frame', 15)
        canvas = panel.find_element(By.CSS_SELECTOR, 'canvas')
        for index in (3, 40):
            with self.subTest(point=index):
                x, y, time_ms = self.driver.execute_script(
                    'const c = Chart.getChart(arguments[0]);'
                    'const p = c.getDatasetMeta(0).data[arguments[1]];'
                    'return [p.x, p.y, c.data.datasets[0].data[arguments[1]].x];', canvas, index)
                size = canvas.size
                ActionChains(self.driver).move_to_element_with_offset(
                    canvas, int(x - size['width'] / 2), int(y - size['height'] / 2)).click().perform()
                self.assertEqual(Shown(), time_ms)

    def test_phone_width_stacks_the_sections(self):
        driver = Browser(375, 800)
        self.addCleanup(driver.quit)
        self.Open(driver)
        self.assertEqual(driver.execute_script('return window.innerWidth'), 375)
        Wait(driver, lambda d: d.find_elements(By.CSS_SELECTOR, '.chart-panel canvas'))
        lefts = driver.execute_script(
            'return [...document.querySelectorAll(".card, #trends, #lists")]'
            '.map((e) => Math.round(e.getBoundingClientRect().left));')
        self.assertEqual(len(set(lefts)), 1, lefts)
        overflow = driver.execute_script(
            'return document.documentElement.scrollWidth - document.documentElement.clientWidth')
        self.assertLessEqual(overflow, 0)
        shots = os.environ.get('QUILMAR_SCREENSHOTS')
        if shots:
            self.Screenshot(driver, 375, os.path.join(shots, 'web-phone.png'))
            self.Open()
            self.ChartParameter('eps_tcs_battery_volts')
            self.driver.find_element(By.CSS_SELECTOR, '#pass-list button').click()
            Wait(self.driver, lambda d: d.find_element(
                By.CSS_SELECTOR, '.chart-panel').get_attribute('data-level') == 'frame')
            self.Screenshot(self.driver, 1400, os.path.join(shots, 'web-page.png'))

    def Screenshot(self, driver, width, path):
        # The whole page from its top, however tall the window would have to be.
        driver.execute_script('window.scrollTo(0, 0)')
        time.sleep(0.5)
        size = driver.execute_script('const d = document.documentElement;'
                                     'return [d.scrollWidth, Math.min(d.scrollHeight, 4000)]')
        shot = driver.execute_cdp_cmd('Page.captureScreenshot', {
            'captureBeyondViewport': True,
            'clip': {'x': 0, 'y': 0, 'width': size[0], 'height': size[1], 'scale': 1}})
        with open(path, 'wb') as f:
            f.write(base64.b64decode(shot['data']))

    def test_axis_ticks_are_utc_whatever_the_zone(self):
        # Run under TZ=America/Los_Angeles and Europe/Berlin too: a tick read in the browser's
        # zone would land on local midnights and hours.
        self.Open()
        cases = [
            # from, to, ticks wanted, first labels
            ('2026-06-12T16:41:07Z', '2026-06-12T16:53:34Z', 7,
             [['16:42', '2026-06-12'], '16:44', '16:46']),
            ('2026-03-28T22:00:00Z', '2026-03-29T03:00:00Z', 6,
             [['22:00', '2026-03-28'], '23:00', ['00:00', '2026-03-29']]),
            ('2026-06-12T16:53:20Z', '2026-06-12T16:53:34Z', 5,
             [['16:53:20', '2026-06-12'], '16:53:25', '16:53:30']),
            ('2026-01-01T00:00:00Z', '2026-06-12T17:00:00Z', 6,
             ['2026-01', '2026-02', '2026-03']),
            ('2025-12-31T00:00:00Z', '2026-01-04T00:00:00Z', 4,
             ['2025-12-31', '2026-01-01', '2026-01-02']),
        ]
        for start, end, count, labels in cases:
            with self.subTest(start=start, end=end):
                ticks = self.driver.execute_async_script(
                    'const done = arguments[arguments.length - 1];'
                    'import("/time_axis.js").then((m) => done(m.timeTicks(arguments[0], arguments[1], arguments[2])));',
                    IsoMs(start), IsoMs(end), count)
                self.assertLessEqual(len(ticks), count + 1)
                self.assertEqual([t['label'] for t in ticks[:3]], labels)

    def test_a_frame_archived_while_the_page_is_open_appears(self):
        # Its own archive and server: the class's archive stays as it was for the others.
        archive = os.path.join(self.dir, 'growing.sqlite')
        shutil.copy(self.archive, archive)
        server = Server(archive)
        self.addCleanup(server.stop)
        self.driver.get(server.url('/'))
        Wait(self.driver, lambda d: d.execute_script('return document.body.dataset.live') == 'live')
        panel = self.ChartParameter('eps_tcs_battery_volts')
        before = self.driver.execute_script('return document.body.dataset.newestFrame')
        july = os.path.join(self.dir, 'july.kss')
        subprocess.run([MAKE_TREND_LOG, july, '200', '199'], check=True, capture_output=True)
        subprocess.run([ARCHIVE_EXE, '--archive', archive, 'add', july], check=True,
                       capture_output=True)
        latest = server.get('/api/latest')
        self.assertNotEqual(str(latest['newest_frame']), before)
        Wait(self.driver, lambda d: d.execute_script('return document.body.dataset.newestFrame')
             == str(latest['newest_frame']), 15, 'the new frame did not show')
        for name, section in latest['sections'].items():
            card = self.driver.find_element(By.CSS_SELECTOR, f'.card[data-section="{name}"]')
            self.assertEqual(card.get_attribute('data-frame'), str(section['frame']), name)
        # The chart ended at the newest time, so it takes in the new passes.
        newest = max(IsoMs(s['time']) for s in latest['sections'].values())
        Wait(self.driver, lambda d: int(panel.get_attribute('data-view-to')) >= newest, 10,
             'the chart did not follow the new frames')

    def test_login_keeps_the_token_the_server_accepts(self):
        token_file = os.path.join(self.dir, 'token')
        with open(token_file, 'w') as f:
            f.write('c2VjcmV0LXRva2Vu-0123456789\n')
        server = Server(self.archive, token_file=token_file)
        self.addCleanup(server.stop)
        self.driver.get(server.url('/'))
        Wait(self.driver, lambda d: d.current_url.endswith('/login'), 10, 'not sent to /login')
        cases = [('wrong-token', 'not the archive', '/login'),
                 ('has space', 'no spaces', '/login'),
                 ('c2VjcmV0LXRva2Vu-0123456789', None, '/')]
        for token, message, page in cases:
            with self.subTest(token=token):
                field = self.driver.find_element(By.ID, 'token')
                field.clear()
                field.send_keys(token)
                self.driver.find_element(By.CSS_SELECTOR, 'button[type=submit]').click()
                if message:
                    Wait(self.driver, lambda d: message in d.find_element(
                        By.ID, 'login-message').text, 10)
                    self.assertEqual(self.driver.get_cookies(), [])
                else:
                    Wait(self.driver, lambda d: d.execute_script(
                        'return document.body.dataset.valuesPainted'), 15, 'no values')
                    # The push takes the cookie too.
                    Wait(self.driver, lambda d: d.execute_script(
                        'return document.body.dataset.live') == 'live', 15, 'no push')
                self.assertTrue(self.driver.current_url.endswith(page), self.driver.current_url)

    def test_the_page_connects_again_after_the_server_restarts(self):
        server = Server(self.archive)
        self.addCleanup(server.stop)
        self.driver.get(server.url('/'))
        live = lambda d: d.execute_script('return document.body.dataset.live')
        Wait(self.driver, lambda d: live(d) == 'live')
        server.stop()
        Wait(self.driver, lambda d: live(d) == 'waiting', 10, 'the drop was not noticed')
        server.start()
        # The next try comes at most 30 s after the last one.
        Wait(self.driver, lambda d: live(d) == 'live', 40, 'no new connection')


def main():
    global ARCHIVE_EXE, MAKE_TREND_LOG, SAMPLES
    if len(sys.argv) < 4:
        print(__doc__)
        return 2
    ARCHIVE_EXE, MAKE_TREND_LOG, SAMPLES = sys.argv[1:4]
    missing = [what for what, there in (('selenium for Python 3', webdriver is not None),
                                         ('chromium', os.path.exists(kChromium)),
                                         ('chromedriver', os.path.exists(kDriver))) if not there]
    if missing:
        print(f'skipped: the browser tests need {", ".join(missing)} '
              '(apt-get install chromium chromium-driver python3-selenium)')
        return kSkipped
    result = unittest.main(argv=[sys.argv[0]] + sys.argv[4:], exit=False).result
    return 0 if result.wasSuccessful() else 1


if __name__ == '__main__':
    sys.exit(main())
