// The two player checks' static file serving, on 127.0.0.1 only.
import fs from "node:fs";
import http from "node:http";
import path from "node:path";

export const MIME = {
  ".html": "text/html; charset=utf-8",
  ".htm": "text/html",
  ".js": "text/javascript",
  ".wasm": "application/wasm",
  ".swf": "application/x-shockwave-flash",
  ".gif": "image/gif",
  ".map": "application/json",
};

// Sends `file` when it is a file inside `root`; anything else is 404.
export function sendFile(res, root, file) {
  if (!root || !file || !file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    res.writeHead(404);
    res.end();
    return;
  }
  res.writeHead(200, { "content-type": MIME[path.extname(file)] || "application/octet-stream" });
  fs.createReadStream(file).pipe(res);
}

// A server on a free port of 127.0.0.1, resolved once it listens.
export function listen(handler) {
  const server = http.createServer(handler);
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}
