// The one long-lived port to the native host. It says hello on every
// connect, reconnects when the port drops (the host ended, or is not
// installed yet) with a growing pause, and reconnects at once when there is
// something to send.
"use strict";

const HOST_NAME = "com.quorlin.tamborel";
const PROTOCOL_VERSION = 1;

class HostConnection {
  // `runtime` is the browser's runtime namespace (connectNative); `timers`
  // setTimeout/clearTimeout/now, replaceable in tests.
  constructor(runtime, options = {}) {
    this.runtime = runtime;
    this.name = options.name || HOST_NAME;
    this.firstPauseMs = options.firstPauseMs || 1000;
    this.longestPauseMs = options.longestPauseMs || 60000;
    // A port that lived this long was a working connection: the pause
    // starts small again after it drops.
    this.healthyMs = options.healthyMs || 10000;
    this.timers = options.timers || { setTimeout, clearTimeout, now: () => Date.now() };
    this.log = options.log || ((...args) => console.log("tamborel:", ...args));
    this.port = null;
    this.pauseMs = this.firstPauseMs;
    this.retry = null;
    this.connectedAt = 0;
  }

  connect() {
    if (this.port) return true;
    if (this.retry !== null) {
      this.timers.clearTimeout(this.retry);
      this.retry = null;
    }
    let port;
    try {
      port = this.runtime.connectNative(this.name);
    } catch (e) {
      this.log("cannot reach the native host:", String(e));
      this.scheduleRetry(false);
      return false;
    }
    this.port = port;
    this.connectedAt = this.timers.now();
    port.onMessage.addListener((message) => this.log("host:", JSON.stringify(message)));
    port.onDisconnect.addListener((p) => this.dropped(port, p));
    return this.post({ type: "hello", version: PROTOCOL_VERSION });
  }

  // Sends one message, connecting first when needed. False when it could not
  // be handed to the browser.
  send(message) {
    if (this.port && this.post(message)) return true;
    // Not connected, or the port died unnoticed: one fresh connection.
    return this.connect() && this.post(message);
  }

  post(message) {
    const port = this.port;
    if (!port) return false;
    try {
      port.postMessage(message);
      return true;
    } catch (e) {
      // The port died between its last event and now.
      this.dropped(port, null);
      return false;
    }
  }

  dropped(port, eventPort) {
    if (this.port !== port) return;
    const error = (eventPort && eventPort.error) || (this.runtime.lastError) || null;
    this.log("native host disconnected", error && error.message ? error.message : "");
    this.port = null;
    this.scheduleRetry(this.timers.now() - this.connectedAt >= this.healthyMs);
  }

  scheduleRetry(wasHealthy) {
    if (this.retry !== null) return;
    if (wasHealthy) this.pauseMs = this.firstPauseMs;
    const pause = this.pauseMs;
    this.pauseMs = Math.min(this.pauseMs * 2, this.longestPauseMs);
    this.retry = this.timers.setTimeout(() => {
      this.retry = null;
      this.connect();
    }, pause);
  }
}

if (typeof module !== "undefined") module.exports = { HOST_NAME, PROTOCOL_VERSION, HostConnection };
