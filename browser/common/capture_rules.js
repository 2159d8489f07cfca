// Which requests are worth offering to Tamborel, and the memory that makes
// each address reported once per page. No browser API in here, so the rules
// run the same in Chromium, Firefox and the unit tests.
"use strict";

// The file types Tamborel can monitor; whether one is monitored right now is
// Tamborel's decision, taken by the native host.
const MEDIA_EXTENSIONS = new Set([
  "flv", "f4v", "mp4", "m4v", "wmv", "asf", "mpg", "mpeg", "rm", "rmvb",
  "3gp", "3g2", "mov", "avi", "mp3", "wma", "swf",
]);

// Requests from no tab (service workers, the browser itself) have no page;
// their addresses are forgotten after this long.
const BACKGROUND_MEMORY_MS = 5 * 60 * 1000;

// Lower-case extension of the address's last path segment, or "".
function extensionOf(url) {
  let path;
  try {
    path = new URL(url).pathname;
  } catch (e) {
    return "";
  }
  const segment = path.substring(path.lastIndexOf("/") + 1);
  const dot = segment.lastIndexOf(".");
  return dot >= 0 && dot + 1 < segment.length ? segment.substring(dot + 1).toLowerCase() : "";
}

// Value of the first header of that name (case-insensitive), or "".
function headerValue(headers, name) {
  if (!Array.isArray(headers)) return "";
  const wanted = name.toLowerCase();
  for (const h of headers) {
    if (h && typeof h.name === "string" && h.name.toLowerCase() === wanted)
      return typeof h.value === "string" ? h.value : "";
  }
  return "";
}

// The media type without parameters, lower case: "video/mp4".
function mediaTypeOf(contentType) {
  return (contentType || "").split(";")[0].trim().toLowerCase();
}

function isMediaContentType(contentType) {
  const type = mediaTypeOf(contentType);
  return type.startsWith("video/") || type.startsWith("audio/") || type === "application/x-shockwave-flash";
}

function isTopLevel(resourceType) {
  return resourceType === "main_frame" || resourceType === "sub_frame";
}

// A finished response worth a capture message: a GET answered with success
// whose address names a media file, whose body is media, or that the browser
// saves as a download from a (sub)frame navigation.
function isCaptureCandidate(details) {
  if (!details || details.method !== "GET") return false;
  if (!/^https?:/i.test(details.url || "")) return false;
  const status = details.statusCode;
  if (typeof status === "number" && (status < 200 || status > 299)) return false;
  if (MEDIA_EXTENSIONS.has(extensionOf(details.url))) return true;
  const headers = details.responseHeaders;
  if (isMediaContentType(headerValue(headers, "Content-Type"))) return true;
  return isTopLevel(details.type) && /^\s*attachment/i.test(headerValue(headers, "Content-Disposition"));
}

// The "capture" message for the native host.
function captureMessage(details, sentHeaders, fallbackUserAgent) {
  const sent = sentHeaders || [];
  return {
    type: "capture",
    url: details.url,
    method: details.method,
    referer: headerValue(sent, "Referer"),
    userAgent: headerValue(sent, "User-Agent") || fallbackUserAgent || "",
    cookie: headerValue(sent, "Cookie"),
    contentType: headerValue(details.responseHeaders, "Content-Type"),
  };
}

// Addresses already reported, per tab and top-level document. A top-level
// navigation is only known to make a new page once it commits (it may turn
// into a download and leave the page as it was), so what a navigation
// request reports waits in `pending` until then.
class PageMemory {
  constructor(now = () => Date.now()) {
    this.now = now;
    this.tabs = new Map();       // tab id -> {seen: Set, pending: Set}
    this.background = new Map(); // address -> time reported
  }

  tab(tabId) {
    let t = this.tabs.get(tabId);
    if (!t) {
      t = { seen: new Set(), pending: new Set() };
      this.tabs.set(tabId, t);
    }
    return t;
  }

  // True when `url` has not been reported for this page yet; it counts as
  // reported from now on.
  claim(tabId, url, resourceType) {
    if (typeof tabId !== "number" || tabId < 0) {
      const at = this.background.get(url);
      const now = this.now();
      if (at !== undefined && now - at < BACKGROUND_MEMORY_MS) return false;
      this.background.delete(url);  // re-inserted last: the map stays oldest first
      this.background.set(url, now);
      for (const [old, when] of this.background) {
        if (now - when < BACKGROUND_MEMORY_MS) break;
        this.background.delete(old);
      }
      return true;
    }
    const t = this.tab(tabId);
    const set = resourceType === "main_frame" ? t.pending : t.seen;
    if (set.has(url)) return false;
    set.add(url);
    return true;
  }

  // A new top-level document committed in the tab: a new page. The
  // navigation's own address, if it was reported, belongs to it.
  committed(tabId, url) {
    const t = this.tab(tabId);
    const seen = new Set();
    if (t.pending.has(url)) seen.add(url);
    t.seen = seen;
    t.pending = new Set();
  }

  closed(tabId) {
    this.tabs.delete(tabId);
  }
}

// Request headers seen in onBeforeSendHeaders, kept until the response
// arrives. Bounded: requests whose end the browser never reports cannot
// make it grow without limit.
class SentHeaders {
  constructor(limit = 2000) {
    this.limit = limit;
    this.map = new Map();
  }
  put(requestId, headers) {
    this.map.delete(requestId);
    this.map.set(requestId, headers);
    while (this.map.size > this.limit) this.map.delete(this.map.keys().next().value);
  }
  get(requestId) {
    return this.map.get(requestId);
  }
  drop(requestId) {
    this.map.delete(requestId);
  }
  get size() {
    return this.map.size;
  }
}

if (typeof module !== "undefined") {
  module.exports = {
    MEDIA_EXTENSIONS, BACKGROUND_MEMORY_MS, extensionOf, headerValue, isMediaContentType, isCaptureCandidate,
    captureMessage, PageMemory, SentHeaders,
  };
}
