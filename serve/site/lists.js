// The pass list (newest first; a click charts the pass) and the list of limit episodes (a
// click opens the episode's first frame).
import {markOf} from './values.js';
import {utcSpan} from './time_axis.js';

const kShownAtOnce = 100;

function item(text, title, onClick) {
  const li = document.createElement('li');
  const button = document.createElement('button');
  button.type = 'button';
  button.textContent = text;
  if (title) button.title = title;
  button.addEventListener('click', onClick);
  li.append(button);
  return li;
}

// Shows `rows` in `list` a hundred at a time, with a button for the next hundred.
function showRows(list, rows, makeItem, empty) {
  list.replaceChildren();
  if (!rows.length) {
    const li = document.createElement('li');
    li.className = 'empty';
    li.textContent = empty;
    list.append(li);
    return;
  }
  let shown = 0;
  const more = document.createElement('li');
  more.className = 'more';
  const moreButton = document.createElement('button');
  moreButton.type = 'button';
  more.append(moreButton);
  const next = () => {
    more.remove();
    const end = Math.min(rows.length, shown + kShownAtOnce);
    for (; shown < end; shown++) list.append(makeItem(rows[shown]));
    if (shown < rows.length) {
      moreButton.textContent = `${rows.length - shown} more…`;
      list.append(more);
    }
  };
  moreButton.addEventListener('click', next);
  next();
}

export function showPasses(list, passes, onPass) {
  const rows = [...passes].sort((a, b) => Date.parse(b.start) - Date.parse(a.start));
  showRows(list, rows, (pass) => {
    const start = Date.parse(pass.start);
    const end = Date.parse(pass.end);
    const missing = pass.missing ? ` · ${pass.missing} missing` : '';
    const stations = (pass.stations || []).join(', ');
    const title = [
      pass.missing_ranges ? `missing ${pass.missing_ranges}` : '',
      pass.clock_offset_s !== null && pass.clock_offset_s !== undefined
        ? `clock offset ${pass.clock_offset_s} s` : '',
      'Click to chart this pass',
    ].filter(Boolean).join('\n');
    const li = item(`${utcSpan(start, end)} · ${pass.frames} frames${missing} · ${stations}`, title,
                    () => {
                      list.querySelector('li.chosen')?.classList.remove('chosen');
                      li.classList.add('chosen');
                      onPass(pass);
                    });
    li.dataset.pass = pass.id;
    return li;
  }, 'no passes');
}

// A number as an operator reads it (4.059, not the 4.058823585510254 the float holds); a
// state's word as it is.
export function numberText(value) {
  const number = typeof value === 'number' ? value : Number(value);
  if (value === null || value === '' || !Number.isFinite(number)) return String(value);
  return number.toLocaleString('en-US', {maximumFractionDigits: 3, useGrouping: false});
}

// An episode's fields as the server names them (snake case, or the events command's JSON).
function field(event, snake, camel) {
  return event[snake] ?? event[camel];
}

export function showEvents(list, events, parameters, onEvent) {
  const rows = [...events].sort(
    (a, b) => Date.parse(field(b, 'first_utc', 'firstUtc')) - Date.parse(field(a, 'first_utc', 'firstUtc')));
  showRows(list, rows, (event) => {
    const first = Date.parse(field(event, 'first_utc', 'firstUtc'));
    const last = Date.parse(field(event, 'last_utc', 'lastUtc'));
    const p = parameters.get(event.parameter);
    const name = p ? `${p.name} (${p.section})` : event.parameter;
    const mark = markOf({state: event.worst, direction: event.direction});
    const worst = numberText(field(event, 'worst_value', 'worstValue'));
    const unit = p && p.unit && !Number.isNaN(Number(worst)) ? ` ${p.unit}` : '';
    const li = item(`${mark} ${name} · ${utcSpan(first, last)} · ${event.frames} frames · ${worst}${unit}`,
                    `${event.worst} ${event.direction}, stations ${[].concat(event.stations || []).join(', ')}\nClick to open its first frame`,
                    () => onEvent(event));
    li.classList.add(`state-${event.worst}`);
    return li;
  }, 'no events');
}

export const eventField = field;
