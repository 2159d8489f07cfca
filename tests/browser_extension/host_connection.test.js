// The port to the native host: hello, reconnecting, sending while down.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const path = require("node:path");
const { HostConnection, HOST_NAME } =
    require(path.join(process.env.TAMBOREL_BROWSER_DIR || "../../browser", "common/host_connection.js"));

class FakePort {
  constructor() {
    this.sent = [];
    this.disconnectListeners = [];
    this.alive = true;
  }
  get onMessage() { return { addListener() {} }; }
  get onDisconnect() { return { addListener: (f) => this.disconnectListeners.push(f) }; }
  postMessage(m) {
    if (!this.alive) throw new Error("Attempting to use a disconnected port object");
    this.sent.push(m);
  }
  drop(error) {
    this.alive = false;
    this.error = error;
    for (const f of this.disconnectListeners) f(this);
  }
}

// A browser whose host can be made to fail, and a clock the test moves.
function fixture() {
  const f = { ports: [], names: [], failConnect: false, now: 0, timers: new Map(), nextTimer: 1 };
  f.runtime = {
    connectNative(name) {
      f.names.push(name);
      if (f.failConnect) throw new Error("no host");
      const port = new FakePort();
      f.ports.push(port);
      return port;
    },
  };
  f.conn = new HostConnection(f.runtime, {
    log: () => {},
    timers: {
      setTimeout: (fn, ms) => { const id = f.nextTimer++; f.timers.set(id, { fn, at: f.now + ms }); return id; },
      clearTimeout: (id) => f.timers.delete(id),
      now: () => f.now,
    },
  });
  // The pause of the one pending retry.
  f.pending = () => {
    assert.equal(f.timers.size, 1);
    return [...f.timers.values()][0].at - f.now;
  };
  f.elapse = (ms) => {
    f.now += ms;
    for (const [id, t] of [...f.timers]) if (t.at <= f.now) { f.timers.delete(id); t.fn(); }
  };
  return f;
}

test("says hello on every connect and reconnects with growing pauses", () => {
  const f = fixture();
  assert.equal(f.conn.connect(), true);
  assert.deepEqual(f.names, [HOST_NAME]);
  assert.deepEqual(f.ports[0].sent, [{ type: "hello", version: 1 }]);
  assert.equal(f.conn.connect(), true, "one port only");
  assert.equal(f.ports.length, 1);

  const pauses = [];
  for (let i = 0; i < 8; i++) {
    f.ports.at(-1).drop({ message: "Native host has exited." });
    pauses.push(f.pending());
    f.elapse(pauses.at(-1));
  }
  assert.deepEqual(pauses, [1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000]);
  assert.equal(f.ports.length, 9);
  assert.deepEqual(f.ports.at(-1).sent, [{ type: "hello", version: 1 }]);

  // A connection that worked for a while starts the pauses over.
  f.elapse(30000);
  f.ports.at(-1).drop();
  assert.equal(f.pending(), 1000);
});

test("a message while the host is away connects at once", () => {
  const f = fixture();
  f.conn.connect();
  f.ports[0].drop();
  assert.equal(f.pending(), 1000);
  const capture = { type: "capture", url: "http://h/clip.flv" };
  assert.equal(f.conn.send(capture), true);
  assert.equal(f.timers.size, 0, "the waiting retry is dropped");
  assert.deepEqual(f.ports[1].sent, [{ type: "hello", version: 1 }, capture]);
});

test("a host that cannot be started is tried again later", () => {
  const f = fixture();
  f.failConnect = true;
  assert.equal(f.conn.connect(), false);
  assert.equal(f.pending(), 1000);
  assert.equal(f.conn.send({ type: "capture" }), false);
  assert.equal(f.pending(), 2000);
  f.failConnect = false;
  f.elapse(2000);
  assert.equal(f.ports.length, 1);
  assert.deepEqual(f.ports[0].sent, [{ type: "hello", version: 1 }]);
});

test("a port that died unnoticed is replaced at once", () => {
  const f = fixture();
  f.conn.connect();
  f.ports[0].alive = false;  // gone, its disconnect event not yet delivered
  const capture = { type: "capture", url: "http://h/clip.flv" };
  assert.equal(f.conn.send(capture), true);
  assert.deepEqual(f.ports[1].sent, [{ type: "hello", version: 1 }, capture]);
  f.ports[0].drop();  // the late event changes nothing
  assert.equal(f.timers.size, 0);
  assert.equal(f.ports.length, 2);
});
