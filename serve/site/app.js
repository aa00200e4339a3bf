// The mission's web page: the four sections' newest values, trend charts, the passes and the
// limit episodes of the archive, a frame's detail, and the push of new frames. The latest
// values are read and painted first; everything else follows.
import {getJson, query} from './api.js';
import {LatestValues} from './values.js';
import {TrendChart} from './trend_chart.js';
import {showPasses, showEvents, eventField} from './lists.js';
import {FrameDetail} from './frame_detail.js';
import {LiveLink} from './live.js';
import {utcText} from './time_axis.js';

const kDefaultParameter = 'eps_tcs_battery_volts';
// Debian's Chart.js (the UMD build: it defines window.Chart), read once the values are shown.
const kChartLibrary = '/javascript/chart.js/chart.min.js';
const kLatestEveryMs = 1000;

const page = {
  parameters: new Map(),
  parameterList: [],
  charts: [],
  newest: null, // newest frame time known (Unix ms)
  latestBusy: false,
  latestAgain: false,
};

const $ = (selector) => document.querySelector(selector);

// A line on what could not be read; `about` names the reading, whose next success clears it.
function status(text, about = '') {
  const line = $('#status');
  if (text || line.dataset.about === about) {
    line.textContent = text;
    line.dataset.about = about;
  }
}

// Marks the first paint with values, for measuring: `values-painted` in the performance
// timeline, milliseconds since the navigation started.
function markPainted() {
  requestAnimationFrame(() => setTimeout(() => {
    if (!performance.getEntriesByName('values-painted').length) performance.mark('values-painted');
    document.body.dataset.valuesPainted = 'yes';
  }));
}

// The catalogue's order of the values, from /api/parameters (read once, beside the first
// latest values).
let parametersRead = null;
function readParameters() {
  parametersRead ??= getJson('/api/parameters').then((list) => {
    page.parameterList = Array.isArray(list) ? list : list.parameters || [];
    for (const p of page.parameterList) page.parameters.set(p.column, p);
  }).catch((e) => status(`parameters not read: ${e.message}`));
  return parametersRead;
}

async function readLatest() {
  if (page.latestBusy) {
    page.latestAgain = true;
    return;
  }
  page.latestBusy = true;
  try {
    const [latest] = await Promise.all([getJson('/api/latest'), readParameters()]);
    page.latest.show(latest, page.parameterList.map((p) => p.column));
    markPainted();
    status('', 'latest');
    document.body.dataset.newestFrame = latest.newest_frame ?? '';
    for (const s of Object.values(latest.sections || {})) {
      const t = Date.parse(s.time);
      if (Number.isFinite(t)) noteNewest(t);
    }
    $('#newest').textContent = latest.newest_frame === null || latest.newest_frame === undefined
      ? 'no frames archived yet'
      : `newest reading ${page.newest === null ? '–' : utcText(page.newest)} · last archived frame ${latest.newest_frame}`;
  } catch (e) {
    status(`latest values not read: ${e.message}`, 'latest');
  } finally {
    page.latestBusy = false;
    if (page.latestAgain) {
      page.latestAgain = false;
      setTimeout(readLatest, kLatestEveryMs);
    }
  }
}

function noteNewest(ms) {
  if (page.newest !== null && ms <= page.newest) return;
  page.newest = ms;
  for (const chart of page.charts) chart.follow(ms);
}

let chartLibrary = null;
function loadChartLibrary() {
  chartLibrary ??= new Promise((resolve, reject) => {
    const script = document.createElement('script');
    script.src = kChartLibrary;
    script.onload = () => resolve();
    script.onerror = () => reject(new Error(`${kChartLibrary} not read`));
    document.head.append(script);
  });
  return chartLibrary;
}

function addChart(column) {
  const chart = new TrendChart($('#charts'), page.parameterList, {
    onPoint: openFrameAt,
    onRemove: (c) => (page.charts = page.charts.filter((x) => x !== c)),
  });
  if (page.newest !== null) chart.follow(page.newest);
  page.charts.push(chart);
  if (column) chart.choose(column);
  return chart;
}

// A pass is charted in every chart (the first one gets battery volts if it shows nothing).
async function chartPass(pass) {
  await loadChartLibrary();
  const from = Date.parse(pass.start);
  const to = Date.parse(pass.end);
  const margin = Math.max((to - from) * 0.05, 5000);
  if (!page.charts.length) addChart();
  const charted = page.charts.filter((c) => c.parameter);
  if (!charted.length) page.charts[0].choose(kDefaultParameter, {from: from - margin, to: to + margin});
  for (const chart of charted) chart.setView(from - margin, to + margin);
  page.charts[0].panel.scrollIntoView({behavior: 'smooth', block: 'nearest'});
}

// A chart point or an episode names a time: the frame shown is the one of its key where the
// server gives one, else the housekeeping frame nearest to that time.
function openFrameAt(timeMs, point) {
  const key = point && point.length > 3 ? point[3] : null;
  if (key !== null && key !== undefined) {
    page.detail.open(key);
  } else {
    page.detail.openNear(timeMs);
  }
}

function openEvent(event) {
  const key = eventField(event, 'first_frame', 'firstFrame');
  if (key !== null && key !== undefined) {
    page.detail.open(key);
  } else {
    page.detail.openNear(Date.parse(eventField(event, 'first_utc', 'firstUtc')));
  }
}

// Episodes are found by judging every frame of their range, so the list covers the 30 days up
// to the newest frame, and 30 more days a click.
const kEventDaysAtOnce = 30;
const events = {from: null, list: []};

async function readEvents() {
  const button = $('#events-earlier');
  const to = events.from ?? (page.newest ?? Date.now()) + 1000;
  const from = to - kEventDaysAtOnce * 86400 * 1000;
  button.disabled = true;
  try {
    const answer = await getJson(query('/api/events', {from: new Date(from), to: new Date(to - 1)}));
    events.list = events.list.concat(answer.events || answer.episodes || []);
    events.from = from;
    showEvents($('#event-list'), events.list, page.parameters, openEvent);
    $('#events-since').textContent = `since ${utcText(from)}`;
  } catch (e) {
    status(`events not read: ${e.message}`);
  } finally {
    button.disabled = false;
  }
}

async function readLists() {
  try {
    const answer = await getJson('/api/passes');
    showPasses($('#pass-list'), answer.passes || [], chartPass);
  } catch (e) {
    status(`passes not read: ${e.message}`);
  }
  $('#events-earlier').addEventListener('click', readEvents);
  await readEvents();
}

function liveState(state, seconds) {
  const badge = $('#live');
  badge.className = `live ${state}`;
  badge.textContent = state === 'live' ? 'live' : `offline, again in ${seconds} s`;
  document.body.dataset.live = state;
}

// New frames: the latest values are read again (at most once a second) and charts ending at
// the newest time are extended.
let latestTimer = 0;
function framesArrived(frames) {
  for (const f of frames) {
    const t = Date.parse(f.time);
    if (Number.isFinite(t)) noteNewest(t);
  }
  if (!latestTimer) {
    latestTimer = setTimeout(() => {
      latestTimer = 0;
      readLatest();
    }, frames.length ? 250 : 0);
  }
}

async function start() {
  page.detail = new FrameDetail($('#frame-dialog'), page.parameters);
  page.latest = new LatestValues($('#latest'), (key) => page.detail.open(key));
  await readLatest();
  setInterval(() => page.latest.tick(), 1000);
  readLists();
  try {
    await loadChartLibrary();
    addChart();
    $('#add-chart').addEventListener('click', () => addChart());
  } catch (e) {
    status(`no charts: ${e.message}`);
  }
  new LiveLink(framesArrived, liveState).connect();
}

start();
