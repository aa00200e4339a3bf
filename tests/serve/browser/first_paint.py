#!/usr/bin/python3
"""How soon the page shows values: opens URL in headless Chromium RUNS times (a fresh browser
each time, so nothing is cached) and prints the median and worst of the page's own
`values-painted` mark (milliseconds from the start of the navigation to the first frame
painted after the latest values were put in), beside the browser's first contentful paint.

  first_paint.py URL [RUNS]      e.g. first_paint.py http://127.0.0.1:8470/ 9
"""
import statistics
import sys

from selenium.webdriver.support.ui import WebDriverWait

sys.dont_write_bytecode = True  # no __pycache__ beside the sources
sys.path.insert(0, __import__('os').path.dirname(__file__))
from page_test import Browser  # noqa: E402


def Measure(url):
    driver = Browser()
    try:
        driver.get(url)
        WebDriverWait(driver, 60, 0.05).until(
            lambda d: d.execute_script('return document.body.dataset.valuesPainted'))
        return driver.execute_script("""
            const paint = performance.getEntriesByName('first-contentful-paint')[0];
            const latest = performance.getEntriesByType('resource')
                .find((e) => e.name.endsWith('/api/latest'));
            return [performance.getEntriesByName('values-painted')[0].startTime,
                    paint ? paint.startTime : null,
                    latest ? latest.responseEnd - latest.requestStart : null];""")
    finally:
        driver.quit()


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 9
    figures = [Measure(sys.argv[1]) for _ in range(runs)]
    for name, index in (('values painted', 0), ('first contentful paint', 1),
                        ('/api/latest request to answer', 2)):
        values = sorted(f[index] for f in figures if f[index] is not None)
        if values:
            print(f'{name}: median {statistics.median(values):.0f} ms, '
                  f'worst {values[-1]:.0f} ms of {len(values)}')
    return 0


if __name__ == '__main__':
    sys.exit(main())
