// One trend chart over the archive: a parameter's lowest and highest value per pixel column as
// a filled band (a frame-level read is one line with its points), gaps left open. A zoom or pan
// redraws at once from what is held and, a moment after the last step, asks the server for the
// visible range at the plot's width in pixels; an answer to an older request is dropped.
import {getJson, query} from './api.js';
import {timeTicks, utcText} from './time_axis.js';

const kDebounceMs = 200;
const kShortestViewMs = 10 * 1000;
const kDragPixels = 5;

const kLineColour = '#1d4ed8';

// A point with a gap on both sides (an hour holding one short pass) joins no line: it is drawn
// as a bar from its lowest to its highest value, a few pixels tall at least.
const isolatedBars = {
  id: 'isolatedBars',
  afterDatasetsDraw(chart) {
    const [lows, highs] = chart.data.datasets.map((d) => d.data);
    const {x, y} = chart.scales;
    const area = chart.chartArea;
    const ctx = chart.ctx;
    ctx.save();
    ctx.beginPath();
    ctx.rect(area.left, area.top, area.right - area.left, area.bottom - area.top);
    ctx.clip();
    ctx.strokeStyle = kLineColour;
    ctx.lineWidth = 2;
    ctx.beginPath();
    for (let i = 0; i < lows.length; i++) {
      const open = (j) => j < 0 || j >= lows.length || lows[j].y === null;
      if (lows[i].y === null || !open(i - 1) || !open(i + 1)) continue;
      const px = Math.round(x.getPixelForValue(lows[i].x)) + 0.5;
      const bottom = y.getPixelForValue(lows[i].y);
      const top = Math.min(y.getPixelForValue(highs[i].y), bottom - 3);
      ctx.moveTo(px, bottom + 1.5);
      ctx.lineTo(px, top - 1.5);
    }
    ctx.stroke();
    ctx.restore();
  },
};

export class TrendChart {
  // parameters: [{column, name, unit, section}]; onPoint(timeMs, point) when a point is clicked.
  constructor(host, parameters, {onPoint, onRemove} = {}) {
    this.onPoint = onPoint;
    this.parameter = null;
    this.view = null; // {from, to} in Unix ms
    this.extent = null; // the archive's first and last time
    this.newest = null; // newest frame time known to the page
    this.points = [];
    this.requests = 0;
    this.sequence = 0;
    this.timer = 0;
    this.abort = null;
    this.build(host, parameters, onRemove);
  }

  build(host, parameters, onRemove) {
    const panel = document.createElement('section');
    panel.className = 'chart-panel';
    panel.innerHTML = `
      <div class="chart-bar">
        <select class="picker" aria-label="Parameter"><option value="">Choose a parameter…</option></select>
        <span class="level" aria-live="polite"></span>
        <span class="tools">
          <button type="button" data-act="left" title="Earlier (pan)">◀</button>
          <button type="button" data-act="in" title="Zoom in">+</button>
          <button type="button" data-act="out" title="Zoom out">−</button>
          <button type="button" data-act="right" title="Later (pan)">▶</button>
          <button type="button" data-act="all" title="The whole archive">All</button>
          <button type="button" data-act="remove" title="Remove this chart">✕</button>
        </span>
      </div>
      <div class="chart-box"><canvas></canvas><div class="band" hidden></div></div>
      <p class="chart-hint">Wheel: zoom · drag: zoom to a band · shift+drag or swipe: pan · click a point: its frame</p>`;
    host.append(panel);
    this.panel = panel;
    this.picker = panel.querySelector('.picker');
    this.levelText = panel.querySelector('.level');
    this.box = panel.querySelector('.chart-box');
    this.bandBox = panel.querySelector('.band');
    this.fillPicker(parameters);
    this.picker.addEventListener('change', () => this.choose(this.picker.value));
    panel.querySelector('.tools').addEventListener('click', (e) => {
      const act = e.target.dataset && e.target.dataset.act;
      if (act === 'remove') {
        this.destroy();
        if (onRemove) onRemove(this);
      } else if (act) {
        this.step(act);
      }
    });
    this.chart = new window.Chart(panel.querySelector('canvas'), this.config());
    this.listen(panel.querySelector('canvas'));
  }

  fillPicker(parameters) {
    const groups = new Map();
    for (const p of parameters) {
      if (!groups.has(p.section)) {
        const group = document.createElement('optgroup');
        group.label = p.section;
        groups.set(p.section, group);
        this.picker.append(group);
      }
      const option = document.createElement('option');
      option.value = p.column;
      option.textContent = p.unit ? `${p.name} (${p.unit})` : p.name;
      groups.get(p.section).append(option);
    }
    this.parameters = new Map(parameters.map((p) => [p.column, p]));
  }

  config() {
    const line = (color, fill) => ({
      data: [],
      borderColor: color,
      backgroundColor: 'rgba(37, 99, 235, 0.25)',
      borderWidth: 1.5,
      pointRadius: 0,
      pointHoverRadius: 4,
      fill,
      spanGaps: false,
    });
    return {
      type: 'line',
      data: {datasets: [line(kLineColour, false), line(kLineColour, '-1')]},
      plugins: [isolatedBars],
      options: {
        animation: false,
        parsing: false,
        normalized: true,
        spanGaps: false,
        responsive: true,
        maintainAspectRatio: false,
        interaction: {mode: 'index', axis: 'x', intersect: false},
        plugins: {
          legend: {display: false},
          decimation: {enabled: false},
          tooltip: {
            filter: (item) => item.datasetIndex === 0,
            callbacks: {title: (items) => this.tooltipTitle(items), label: (item) => this.tooltipLabel(item)},
          },
        },
        scales: {
          x: {
            type: 'linear',
            afterBuildTicks: (scale) => this.buildTicks(scale),
            ticks: {maxRotation: 0, autoSkip: false, callback: (value) => this.tickLabels.get(value)},
          },
          y: {title: {display: true, text: ''}},
        },
        onClick: (event, elements) => this.click(elements),
      },
    };
  }

  buildTicks(scale) {
    const count = Math.max(2, Math.floor(scale.width / 90));
    const ticks = this.view ? timeTicks(scale.min, scale.max, count) : [];
    this.tickLabels = new Map(ticks.map((t) => [t.value, t.label]));
    scale.ticks = ticks.map((t) => ({value: t.value}));
  }

  tooltipTitle(items) {
    return items.length ? utcText(items[0].parsed.x) : '';
  }

  tooltipLabel(item) {
    const point = this.points[item.dataIndex];
    if (!point || point[1] === null) return '';
    const unit = this.unit ? ` ${this.unit}` : '';
    // Six significant digits (all of a whole part longer than that): a float's reading
    // without the noise of its last bits.
    const text = (v) =>
      String(Number(v.toPrecision(Math.min(21, Math.max(6, Math.floor(Math.log10(Math.abs(v))) + 1)))));
    return point[1] === point[2]
      ? `${text(point[1])}${unit}`
      : `${text(point[1])} … ${text(point[2])}${unit}`;
  }

  // Charts `column`; over `view` ({from, to}) once the archive's span is known, else all of it.
  choose(column, view = null) {
    this.pendingView = view;
    this.parameter = column || null;
    this.picker.value = column || '';
    this.points = [];
    this.show();
    if (this.parameter) this.fetchNow();
  }

  // Shows the range [from, to] (Unix ms) and reads it at the plot's resolution.
  setView(from, to) {
    this.view = this.clamp(from, to);
    this.panel.dataset.viewFrom = Math.round(this.view.from);
    this.panel.dataset.viewTo = Math.round(this.view.to);
    this.chart.options.scales.x.min = this.view.from;
    this.chart.options.scales.x.max = this.view.to;
    this.chart.update('none');
    this.schedule();
  }

  clamp(from, to) {
    let width = Math.max(to - from, kShortestViewMs);
    const extent = this.extent;
    if (!extent) return {from, to: from + width};
    const whole = Math.max(extent.to - extent.from, kShortestViewMs);
    width = Math.min(width, whole);
    from = Math.min(Math.max(from, extent.from), extent.from + whole - width);
    return {from, to: from + width};
  }

  step(act) {
    if (!this.view) return;
    const {from, to} = this.view;
    const width = to - from;
    const middle = from + width / 2;
    if (act === 'left') this.setView(from - width / 3, to - width / 3);
    if (act === 'right') this.setView(from + width / 3, to + width / 3);
    if (act === 'in') this.setView(middle - width / 4, middle + width / 4);
    if (act === 'out') this.setView(middle - width, middle + width);
    if (act === 'all' && this.extent) this.setView(this.extent.from, this.extent.to);
  }

  // The archive grew: a chart whose view ends at the newest frame takes the new frames in.
  follow(newestMs) {
    const wasNewest = this.newest;
    this.newest = Math.max(this.newest ?? newestMs, newestMs);
    if (this.extent) this.extent.to = Math.max(this.extent.to, newestMs);
    if (!this.parameter || !this.view || wasNewest === null) return;
    const slack = (this.view.to - this.view.from) / 100;
    if (this.view.to + slack >= wasNewest && newestMs > this.view.to) {
      this.setView(this.view.from, newestMs);
    }
  }

  schedule() {
    clearTimeout(this.timer);
    if (this.parameter) this.timer = setTimeout(() => this.fetchNow(), kDebounceMs);
  }

  async fetchNow() {
    clearTimeout(this.timer);
    if (!this.parameter) return;
    if (this.abort) this.abort.abort();
    this.abort = new AbortController();
    const sequence = ++this.sequence;
    const width = Math.round(this.chart.chartArea ? this.chart.chartArea.width : this.box.clientWidth);
    const params = {parameter: this.parameter, points: Math.max(20, width)};
    if (this.view && this.extent) {
      params.from = new Date(Math.floor(this.view.from));
      params.to = new Date(Math.ceil(this.view.to));
    }
    this.requests++;
    this.panel.dataset.requests = this.requests;
    let answer;
    try {
      answer = await getJson(query('/api/series', params), {signal: this.abort.signal});
    } catch (e) {
      if (e.name !== 'AbortError' && sequence === this.sequence) this.levelText.textContent = `not read: ${e.message}`;
      return;
    }
    if (sequence !== this.sequence) return;
    this.take(answer);
  }

  take(answer) {
    this.unit = answer.unit || '';
    this.level = answer.level;
    this.points = answer.points || [];
    if (!this.extent) {
      const from = Date.parse(answer.from);
      const to = Date.parse(answer.to);
      if (Number.isFinite(from) && Number.isFinite(to)) {
        this.extent = {from, to: Math.max(to, this.newest ?? to)};
        this.view = this.clamp(from, this.extent.to);
      }
    }
    this.show();
    if (this.pendingView && this.extent) {
      const {from, to} = this.pendingView;
      this.pendingView = null;
      this.setView(from, to);
    }
  }

  show() {
    const lows = [];
    const highs = [];
    for (const [time, low, high] of this.points) {
      const x = Date.parse(time);
      lows.push({x, y: low});
      highs.push({x, y: high});
    }
    const [lowSet, highSet] = this.chart.data.datasets;
    lowSet.data = lows;
    highSet.data = highs;
    // Frame by frame, few points: show each reading as a dot.
    const sparse = this.level === 'frame' && this.points.length * 4 < (this.chart.chartArea?.width ?? 400);
    lowSet.pointRadius = sparse ? 2.5 : 0;
    const p = this.parameters.get(this.parameter);
    this.chart.options.scales.y.title.text = p ? (p.unit ? `${p.name} (${p.unit})` : p.name) : '';
    if (this.view) {
      this.chart.options.scales.x.min = this.view.from;
      this.chart.options.scales.x.max = this.view.to;
      this.panel.dataset.viewFrom = Math.round(this.view.from);
      this.panel.dataset.viewTo = Math.round(this.view.to);
    }
    // A full update: the 'none' mode keeps the points' resolved radius from before.
    this.chart.update();
    this.panel.dataset.level = this.level || '';
    this.panel.dataset.points = this.points.length;
    this.levelText.textContent = this.parameter && this.level
      ? `${this.level} · ${this.points.length} points`
      : '';
  }

  click(elements) {
    if (this.dragged || !elements.length || !this.onPoint) return;
    const point = this.points[elements[0].index];
    if (point && point[1] !== null) this.onPoint(Date.parse(point[0]), point, this);
  }

  // Wheel zooms about the pointer; a mouse drag draws the band to zoom into; shift+drag, a
  // middle-button drag or a finger pans.
  listen(canvas) {
    canvas.addEventListener('wheel', (e) => {
      if (!this.view || !this.parameter) return;
      e.preventDefault();
      const at = this.chart.scales.x.getValueForPixel(e.offsetX);
      const factor = Math.exp(Math.max(-1, Math.min(1, e.deltaY / 300)));
      this.setView(at - (at - this.view.from) * factor, at + (this.view.to - at) * factor);
    }, {passive: false});
    canvas.addEventListener('pointerdown', (e) => {
      if (!this.view || !this.parameter || (e.button !== 0 && e.button !== 1)) return;
      const pan = e.shiftKey || e.button === 1 || e.pointerType === 'touch';
      this.drag = {x0: e.offsetX, x: e.offsetX, pan, view: {...this.view}};
      this.dragged = false;
      canvas.setPointerCapture(e.pointerId);
    });
    canvas.addEventListener('pointermove', (e) => {
      const drag = this.drag;
      if (!drag) return;
      drag.x = e.offsetX;
      if (Math.abs(drag.x - drag.x0) < kDragPixels) return;
      this.dragged = true;
      if (drag.pan) {
        const perPixel = (drag.view.to - drag.view.from) / this.chart.chartArea.width;
        const shift = (drag.x0 - drag.x) * perPixel;
        this.setView(drag.view.from + shift, drag.view.to + shift);
      } else {
        this.bandBox.hidden = false;
        this.bandBox.style.left = `${Math.min(drag.x0, drag.x)}px`;
        this.bandBox.style.width = `${Math.abs(drag.x - drag.x0)}px`;
        this.bandBox.style.top = `${this.chart.chartArea.top}px`;
        this.bandBox.style.height = `${this.chart.chartArea.bottom - this.chart.chartArea.top}px`;
      }
    });
    const end = () => {
      const drag = this.drag;
      this.drag = null;
      this.bandBox.hidden = true;
      if (!drag || !this.dragged || drag.pan) return;
      const scale = this.chart.scales.x;
      const a = scale.getValueForPixel(Math.min(drag.x0, drag.x));
      const b = scale.getValueForPixel(Math.max(drag.x0, drag.x));
      this.setView(a, b);
    };
    canvas.addEventListener('pointerup', end);
    canvas.addEventListener('pointercancel', end);
    // A drag ends in a click event too; it is not a click on a point.
    canvas.addEventListener('click', () => setTimeout(() => (this.dragged = false)), true);
  }

  destroy() {
    clearTimeout(this.timer);
    if (this.abort) this.abort.abort();
    this.chart.destroy();
    this.panel.remove();
  }
}
