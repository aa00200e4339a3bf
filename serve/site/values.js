// A value beyond its limits reads at a glance without colour too: a yellow or red box AND a
// mark before the number (▲ above a high bound, ▼ below a low one, ! a listed state or NaN),
// with the bound that decided it in the tooltip.
import {ageText, utcText} from './time_axis.js';

export const kSections = ['EPS/TCS', 'COM', 'CDHS', 'ADCS'];

const kMarks = {high: '▲', low: '▼', state: '!'};

export function markOf(value) {
  if (!value || (value.state !== 'yellow' && value.state !== 'red')) return '';
  return kMarks[value.direction] || '!';
}

export function limitText(value) {
  if (!markOf(value)) return '';
  const where = value.direction ? ` ${value.direction}` : '';
  return value.bound ? `${value.state}${where}: ${value.bound}` : `${value.state}${where}`;
}

function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

// One table row: name, then mark, value text and unit.
export function valueRow(column, value) {
  const row = element('tr');
  row.dataset.parameter = column;
  row.append(element('th', '', value.name || column));
  const cell = element('td', 'value');
  const mark = markOf(value);
  if (mark) {
    row.classList.add(`state-${value.state}`);
    row.title = limitText(value);
    cell.append(element('span', 'mark', mark));
  }
  const text = value.text ?? (value.value === null || value.value === undefined ? '—' : value.value);
  cell.append(element('span', 'text', String(text)));
  if (value.unit) cell.append(element('span', 'unit', value.unit));
  row.append(cell);
  return row;
}

// The value columns of `values` in the order of `order`, any it does not list after them.
export function inOrder(values, order) {
  const listed = order.filter((column) => column in values);
  const known = new Set(listed);
  return listed.concat(Object.keys(values).filter((column) => !known.has(column)));
}

export function valueTable(values, columns = Object.keys(values)) {
  const table = element('table', 'values');
  const body = element('tbody');
  for (const column of columns) {
    if (values[column]) body.append(valueRow(column, values[column]));
  }
  table.append(body);
  return table;
}

// The four section cards of /api/latest, each value in catalogue order (`order`: the columns
// of /api/parameters; the server's objects come in no particular order). onFrame(key) opens
// a frame's detail.
export class LatestValues {
  constructor(host, onFrame) {
    this.host = host;
    this.onFrame = onFrame;
    this.order = [];
    this.cards = new Map();
    for (const name of kSections) {
      const card = element('section', 'card');
      card.dataset.section = name;
      const head = element('header');
      const title = element('h2', '', name);
      const frame = element('button', 'frame-link');
      frame.type = 'button';
      frame.addEventListener('click', () => frame.dataset.frame && onFrame(frame.dataset.frame));
      const when = element('span', 'when');
      head.append(title, frame, when);
      const body = element('div', 'card-body', 'no frame yet');
      card.append(head, body);
      host.append(card);
      this.cards.set(name, {card, frame, when, body, section: null, readAt: 0, shown: ''});
    }
  }

  show(latest, order = this.order) {
    this.order = order;
    const readAt = performance.now();
    for (const [name, parts] of this.cards) {
      const section = latest.sections ? latest.sections[name] : undefined;
      parts.section = section || null;
      parts.readAt = readAt;
      if (!section) continue;
      // The same answer again (a reconnection reads it anew) leaves the table, and a tooltip
      // someone is reading, as it is.
      const shown = JSON.stringify([section.frame, section.values, order.length]);
      if (shown === parts.shown) continue;
      parts.shown = shown;
      parts.frame.dataset.frame = section.frame;
      parts.frame.textContent = `frame ${section.frame}`;
      parts.frame.title = 'Show this frame with its bytes';
      parts.card.dataset.frame = section.frame;
      parts.body.replaceChildren(valueTable(section.values || {}, inOrder(section.values || {}, order)));
    }
    this.tick();
  }

  // The age goes on counting between answers of the server.
  tick() {
    const now = performance.now();
    for (const parts of this.cards.values()) {
      const s = parts.section;
      if (!s) continue;
      const age = s.age_s + (now - parts.readAt) / 1000;
      const time = s.time ? Date.parse(s.time) : NaN;
      const kind = s.time_kind ? ` (${s.time_kind})` : '';
      parts.when.textContent = Number.isFinite(time)
        ? `${utcText(time)}${kind} · ${ageText(age)} ago`
        : `no time${kind}`;
    }
  }
}
