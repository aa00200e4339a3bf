// A frame's detail: its key, times and stations, its bytes as a hex dump (16 a line with
// offsets and the printable characters) and its values section by section.
import {getJson, query} from './api.js';
import {inOrder, kSections, valueTable} from './values.js';
import {utcText} from './time_axis.js';

export function hexDump(hex) {
  const bytes = [];
  for (let i = 0; i + 1 < hex.length; i += 2) bytes.push(parseInt(hex.slice(i, i + 2), 16));
  const lines = [];
  for (let offset = 0; offset < bytes.length; offset += 16) {
    const row = bytes.slice(offset, offset + 16);
    const hexPart = row.map((b) => b.toString(16).padStart(2, '0')).join(' ').padEnd(47, ' ');
    const text = row.map((b) => (b >= 0x20 && b < 0x7f ? String.fromCharCode(b) : '.')).join('');
    lines.push(`${offset.toString(16).padStart(4, '0')}  ${hexPart}  ${text}`);
  }
  return lines.join('\n');
}

export class FrameDetail {
  constructor(dialog, parameters) {
    this.dialog = dialog;
    this.parameters = parameters;
    this.sequence = 0;
    dialog.querySelector('.close').addEventListener('click', () => dialog.close());
  }

  // The frame of that key.
  open(key) {
    return this.read(`/api/frame/${encodeURIComponent(key)}`, `Frame ${key}`);
  }

  // The housekeeping frame nearest to a time (Unix ms): a chart's point, an episode's start.
  openNear(timeMs) {
    return this.read(query('/api/frame', {time: new Date(timeMs)}), `Frame at ${utcText(timeMs)}`);
  }

  async read(path, title) {
    const sequence = ++this.sequence;
    const d = this.dialog;
    d.querySelector('h2').textContent = title;
    d.querySelector('.meta').textContent = 'reading…';
    d.querySelector('.hex').textContent = '';
    d.querySelector('.frame-values').replaceChildren();
    if (!d.open) d.showModal();
    let frame;
    try {
      frame = await getJson(path);
    } catch (e) {
      if (sequence === this.sequence) d.querySelector('.meta').textContent = `not read: ${e.message}`;
      return;
    }
    if (sequence === this.sequence) this.show(frame);
  }

  show(frame) {
    const d = this.dialog;
    d.dataset.frame = frame.key;
    d.querySelector('h2').textContent = `Frame ${frame.key}`;
    const time = frame.time ? `${utcText(Date.parse(frame.time))} (${frame.time_kind})` : 'no time';
    d.querySelector('.meta').textContent = [
      time,
      `frame number ${frame.frame_number}`,
      `type ${frame.frame_type}`,
      `stations ${(frame.stations || []).join(', ')}`,
    ].join(' · ');
    d.querySelector('.hex').textContent = hexDump(frame.hex || '');
    const bySection = new Map(kSections.map((s) => [s, []]));
    const order = [...this.parameters.keys()];
    for (const column of inOrder(frame.values || {}, order)) {
      const section = this.parameters.get(column)?.section ?? 'other';
      if (!bySection.has(section)) bySection.set(section, []);
      bySection.get(section).push(column);
    }
    const host = d.querySelector('.frame-values');
    for (const [section, columns] of bySection) {
      if (!columns.length) continue;
      const group = document.createElement('section');
      const title = document.createElement('h3');
      title.textContent = section;
      group.append(title, valueTable(frame.values, columns));
      host.append(group);
    }
  }
}
