// Chromium runs the extension in a service worker; the shared scripts load
// synchronously so that every listener exists before the first event.
importScripts("capture_rules.js", "host_connection.js", "background.js");
