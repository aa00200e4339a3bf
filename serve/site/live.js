// The push of newly archived frames over a WebSocket. A dropped link is tried again after 1 s,
// then 2, 4 ... up to 30 s (with a little jitter, so a restarted server is not met by every
// page at once); an open link resets the wait.
const kFirstWaitMs = 1000;
const kLongestWaitMs = 30000;

export class LiveLink {
  // onFrames([{key, time}]) for each message (and with [] once a link opens: frames may have
  // come while it was down); onState('live' | 'waiting', seconds).
  constructor(onFrames, onState) {
    this.onFrames = onFrames;
    this.onState = onState;
    this.wait = kFirstWaitMs;
    this.timer = 0;
  }

  url() {
    const scheme = window.location.protocol === 'https:' ? 'wss:' : 'ws:';
    return `${scheme}//${window.location.host}/api/live`;
  }

  connect() {
    clearTimeout(this.timer);
    let socket;
    try {
      socket = new WebSocket(this.url());
    } catch (e) {
      this.retry();
      return;
    }
    this.socket = socket;
    socket.addEventListener('open', () => {
      this.wait = kFirstWaitMs;
      this.onState('live');
      this.onFrames([]);
    });
    socket.addEventListener('message', (e) => {
      let message;
      try {
        message = JSON.parse(e.data);
      } catch (error) {
        return;
      }
      const frames = [].concat(message).filter((m) => m && m.type === 'frame');
      if (frames.length) this.onFrames(frames);
    });
    socket.addEventListener('close', () => {
      if (this.socket === socket) this.retry();
    });
  }

  retry() {
    const wait = this.wait * (0.9 + 0.2 * Math.random());
    this.wait = Math.min(this.wait * 2, kLongestWaitMs);
    this.onState('waiting', Math.round(wait / 1000));
    this.timer = setTimeout(() => this.connect(), wait);
  }
}
