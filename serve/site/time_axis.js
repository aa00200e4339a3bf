// Times as the page shows them: always UTC (a pass is planned and logged in UTC, whatever the
// browser's zone), and the ticks of a chart's time axis on whole UTC seconds, minutes, hours,
// days, months or years, so a tick reads "16:45" rather than "16:44:57.3".

const kSecond = 1000;
const kMinute = 60 * kSecond;
const kHour = 60 * kMinute;
const kDay = 24 * kHour;

// Fixed steps, aligned on multiples of themselves since 1970-01-01T00:00Z (every one of them
// divides a day, so days start on a tick); then calendar months and years.
const kFixedSteps = [
  kSecond, 2 * kSecond, 5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond,
  kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
  kHour, 2 * kHour, 3 * kHour, 6 * kHour, 12 * kHour, kDay,
];
const kMonthSteps = [1, 2, 3, 6, 12, 24, 60, 120];

const pad = (n, width = 2) => String(n).padStart(width, '0');

export function utcDate(ms) {
  const d = new Date(ms);
  return `${d.getUTCFullYear()}-${pad(d.getUTCMonth() + 1)}-${pad(d.getUTCDate())}`;
}

export function utcClock(ms, seconds = true) {
  const d = new Date(ms);
  const hm = `${pad(d.getUTCHours())}:${pad(d.getUTCMinutes())}`;
  return seconds ? `${hm}:${pad(d.getUTCSeconds())}` : hm;
}

// "2026-06-12 16:53:34Z"
export function utcText(ms) {
  return `${utcDate(ms)} ${utcClock(ms)}Z`;
}

// "2026-06-12 16:41:07Z – 16:53:34Z", the date of the end only where it differs.
export function utcSpan(fromMs, toMs) {
  const end = utcDate(fromMs) === utcDate(toMs) ? `${utcClock(toMs)}Z` : utcText(toMs);
  return `${utcText(fromMs)} – ${end}`;
}

// "12 s", "5 min", "3 h", "4 d": how old the newest reading of a section is.
export function ageText(seconds) {
  if (!Number.isFinite(seconds)) return '';
  const s = Math.max(0, Math.floor(seconds));
  if (s < 60) return `${s} s`;
  if (s < 3600) return `${Math.floor(s / 60)} min`;
  if (s < 48 * 3600) return `${Math.floor(s / 3600)} h`;
  return `${Math.floor(s / 86400)} d`;
}

function monthTicks(fromMs, toMs, months) {
  const start = new Date(fromMs);
  let index = start.getUTCFullYear() * 12 + start.getUTCMonth();
  index = Math.ceil(index / months) * months;
  const ticks = [];
  for (;;) {
    const value = Date.UTC(Math.floor(index / 12), index % 12, 1);
    if (value > toMs) break;
    if (value >= fromMs) ticks.push(value);
    index += months;
  }
  return ticks;
}

function label(value, previous, step, months) {
  if (months >= 12) return String(new Date(value).getUTCFullYear());
  if (months) return utcDate(value).slice(0, 7);
  if (step >= kDay) return utcDate(value);
  const clock = utcClock(value, step < kMinute);
  // The date under the first tick and under the first tick of each new day.
  return previous === undefined || utcDate(previous) !== utcDate(value)
    ? [clock, utcDate(value)]
    : clock;
}

// At most about `count` ticks between fromMs and toMs: [{value, label}], label a string or
// two lines (time over date).
export function timeTicks(fromMs, toMs, count) {
  if (!(toMs > fromMs) || !(count >= 1)) return [];
  const wanted = (toMs - fromMs) / count;
  let values;
  let step = kFixedSteps.find((s) => s >= wanted);
  let months = 0;
  if (step !== undefined) {
    values = [];
    for (let v = Math.ceil(fromMs / step) * step; v <= toMs; v += step) values.push(v);
  } else {
    months = kMonthSteps.find((m) => m * 30 * kDay >= wanted) || kMonthSteps.at(-1);
    while ((toMs - fromMs) / (months * 28 * kDay) > count * 1.5) months *= 2;
    values = monthTicks(fromMs, toMs, months);
  }
  return values.map((value, i) => ({value, label: label(value, values[i - 1], step, months)}));
}
