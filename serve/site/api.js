// The archive server's JSON API as the page reads it. Every request goes to this server only;
// a 401 means the token cookie is missing or stale, so the person is sent to the login page.

export class ApiError extends Error {
  constructor(status, message) {
    super(message);
    this.status = status;
  }
}

export async function getJson(path, {signal} = {}) {
  const answer = await fetch(path, {signal, credentials: 'same-origin', cache: 'no-store'});
  if (answer.status === 401) {
    window.location.assign('/login');
    throw new ApiError(401, 'token needed');
  }
  if (!answer.ok) {
    let message = `${answer.status} ${answer.statusText}`;
    try {
      const body = await answer.json();
      if (body && body.error) message = body.error;
    } catch (e) {
      // not JSON: keep the status line
    }
    throw new ApiError(answer.status, message);
  }
  return answer.json();
}

// A query string from the defined entries only, times as ISO text.
export function query(path, params) {
  const parts = [];
  for (const [name, value] of Object.entries(params)) {
    if (value === undefined || value === null) continue;
    const text = value instanceof Date ? value.toISOString() : String(value);
    parts.push(`${encodeURIComponent(name)}=${encodeURIComponent(text)}`);
  }
  return parts.length ? `${path}?${parts.join('&')}` : path;
}
