// The extension's rules, run by node's test runner.
"use strict";
const test = require("node:test");
const assert = require("node:assert/strict");
const path = require("node:path");
const rules = require(path.join(process.env.TAMBOREL_BROWSER_DIR || "../../browser", "common/capture_rules.js"));

test("extension of the last path segment", () => {
  const cases = [
    ["http://h/v/clip.FLV?x=1.mp3", "flv"],
    ["https://h/a.b/clip", ""],
    ["http://h/clip.", ""],
    ["http://h/dir.mp4/", ""],
    ["http://h/watch#part.mp4", ""],
    ["http://h/archive.tar.mp4", "mp4"],
    ["not an address", ""],
  ];
  for (const [url, want] of cases) assert.equal(rules.extensionOf(url), want, url);
});

test("which responses are offered", () => {
  const base = { method: "GET", url: "http://h/v/clip.flv", statusCode: 200, type: "media", responseHeaders: [] };
  const ct = (value) => [{ name: "content-type", value }];
  const cases = [
    [{}, true, "monitored extension"],
    [{ statusCode: 206 }, true, "a range of it"],
    [{ url: "http://h/v/movie.SWF" }, true, "every known type; the host decides what is monitored"],
    [{ statusCode: 404 }, false, "no file behind it"],
    [{ statusCode: 302 }, false, "a redirect: its target is reported"],
    [{ method: "POST" }, false, "not an address to fetch again"],
    [{ method: "OPTIONS" }, false, "a preflight"],
    [{ url: "http://h/stream", responseHeaders: ct("Video/MP4; codecs=avc1") }, true, "media by its type"],
    [{ url: "http://h/stream", responseHeaders: ct("audio/mpeg") }, true, "sound"],
    [{ url: "http://h/m", responseHeaders: ct("application/x-shockwave-flash") }, true, "a movie"],
    [{ url: "http://h/page.php", responseHeaders: ct("text/html") }, false, "a page"],
    [{ url: "http://h/get?id=4", type: "main_frame",
       responseHeaders: [{ name: "Content-Disposition", value: "attachment; filename=a.bin" }] }, true,
     "a download from a navigation"],
    [{ url: "http://h/get?id=4", type: "xmlhttprequest",
       responseHeaders: [{ name: "Content-Disposition", value: "attachment" }] }, false,
     "a script's attachment is not a download"],
    [{ url: "ftp://h/clip.flv" }, false, "only http and https"],
    [{ statusCode: undefined }, true, "a status the browser did not give"],
  ];
  for (const [change, want, why] of cases) assert.equal(rules.isCaptureCandidate({ ...base, ...change }), want, why);
  assert.equal(rules.isCaptureCandidate(undefined), false);
});

test("the capture message carries the sent headers", () => {
  const details = { url: "http://h/clip.mp4", method: "GET",
                    responseHeaders: [{ name: "Content-Type", value: "video/mp4" }] };
  const sent = [{ name: "referer", value: "http://h/page" }, { name: "USER-AGENT", value: "UA/1" },
                { name: "Cookie", value: "a=1; b=2" }, { name: "Range", value: "bytes=0-" }];
  assert.deepEqual(rules.captureMessage(details, sent, "fallback"), {
    type: "capture", url: "http://h/clip.mp4", method: "GET", referer: "http://h/page", userAgent: "UA/1",
    cookie: "a=1; b=2", contentType: "video/mp4" });
  // From the cache: nothing was sent.
  const cached = rules.captureMessage({ url: "http://h/c.flv", method: "GET" }, undefined, "fallback");
  assert.equal(cached.userAgent, "fallback");
  assert.equal(cached.referer, "");
  assert.equal(cached.contentType, "");
});

test("each address once per page", () => {
  const pages = new rules.PageMemory();
  const v = "http://h/clip.mp4";
  let firsts = 0;
  for (let i = 0; i < 20; i++) firsts += pages.claim(7, v, "media") ? 1 : 0;
  assert.equal(firsts, 1, "a video's range requests");
  assert.equal(pages.claim(8, v, "media"), true, "another tab is another page");

  // A navigation that turns into a download leaves the page as it was.
  assert.equal(pages.claim(7, "http://h/clip.flv", "main_frame"), true);
  assert.equal(pages.claim(7, "http://h/clip.flv", "main_frame"), false, "the same link again");
  assert.equal(pages.claim(7, v, "media"), false);

  pages.committed(7, "http://h/next.html");
  assert.equal(pages.claim(7, v, "media"), true, "a new page");
  assert.equal(pages.claim(7, "http://h/clip.flv", "main_frame"), true);

  // Opening a video itself: the navigation and the player it commits to
  // fetch one address.
  assert.equal(pages.claim(7, "http://h/open.mp4", "main_frame"), true);
  pages.committed(7, "http://h/open.mp4");
  assert.equal(pages.claim(7, "http://h/open.mp4", "media"), false);
  assert.equal(pages.claim(7, v, "media"), true, "the old page's addresses are gone");

  pages.closed(7);
  assert.equal(pages.claim(7, "http://h/open.mp4", "media"), true);
});

test("requests from no tab are remembered for a while", () => {
  let now = 1000;
  const pages = new rules.PageMemory(() => now);
  assert.equal(pages.claim(-1, "http://h/a.mp4", "other"), true);
  now += 1000;
  assert.equal(pages.claim(-1, "http://h/b.mp4", "other"), true);
  assert.equal(pages.claim(-1, "http://h/a.mp4", "other"), false);
  now += rules.BACKGROUND_MEMORY_MS - 500;
  assert.equal(pages.claim(-1, "http://h/a.mp4", "other"), true, "forgotten");
  assert.equal(pages.claim(-1, "http://h/b.mp4", "other"), false, "not yet");
  assert.equal(pages.background.size, 2);
  now += 10 * rules.BACKGROUND_MEMORY_MS;
  pages.claim(undefined, "http://h/c.mp4", "other");
  assert.deepEqual([...pages.background.keys()], ["http://h/c.mp4"], "old entries do not pile up");
});

test("sent headers are bounded", () => {
  const sent = new rules.SentHeaders(3);
  for (const id of ["1", "2", "3", "4"]) sent.put(id, [{ name: "X", value: id }]);
  assert.equal(sent.size, 3);
  assert.equal(sent.get("1"), undefined, "the oldest went");
  sent.put("2", []);  // a redirect records its headers again
  sent.put("5", []);
  assert.equal(sent.get("3"), undefined);
  assert.deepEqual(sent.get("2"), []);
  sent.drop("2");
  assert.equal(sent.get("2"), undefined);
});
