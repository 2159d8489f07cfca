// Watches the browser's requests and hands media addresses to Tamborel's
// native host. Loaded after capture_rules.js and host_connection.js.
"use strict";

const api = globalThis.browser || globalThis.chrome;
const webRequest = api.webRequest;
const WATCHED = { urls: ["http://*/*", "https://*/*"] };

// Chromium hides Referer and Cookie from listeners without "extraHeaders";
// Firefox has no such option and rejects it.
const sendHeaderOptions = ["requestHeaders"];
if (webRequest.OnBeforeSendHeadersOptions && webRequest.OnBeforeSendHeadersOptions.EXTRA_HEADERS)
  sendHeaderOptions.push(webRequest.OnBeforeSendHeadersOptions.EXTRA_HEADERS);

const host = new HostConnection(api.runtime);
const pages = new PageMemory();
const sentHeaders = new SentHeaders();

webRequest.onBeforeSendHeaders.addListener(
  (details) => {
    if (details.method === "GET") sentHeaders.put(details.requestId, details.requestHeaders || []);
  },
  WATCHED, sendHeaderOptions);

// A response from the cache sends no headers; the browser's own
// User-Agent stands in then.
webRequest.onResponseStarted.addListener(
  (details) => {
    const headers = sentHeaders.get(details.requestId);
    if (!isCaptureCandidate(details)) return;
    if (!pages.claim(details.tabId, details.url, details.type)) return;
    host.send(captureMessage(details, headers, globalThis.navigator ? navigator.userAgent : ""));
  },
  WATCHED, ["responseHeaders"]);

for (const ended of [webRequest.onCompleted, webRequest.onErrorOccurred])
  ended.addListener((details) => sentHeaders.drop(details.requestId), WATCHED);

api.webNavigation.onCommitted.addListener((details) => {
  if (details.frameId === 0) pages.committed(details.tabId, details.url);
});
api.tabs.onRemoved.addListener((tabId) => pages.closed(tabId));

host.connect();
