// Serves the built page (build/web) on 127.0.0.1 for a local look:
//   node web/serve.mjs [FOLDER] [PORT]
// Any static host serves the folder as well; this one only needs Node.
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import process from "node:process";

const TYPES = {
  ".html": "text/html; charset=utf-8", ".htm": "text/html", ".js": "text/javascript", ".css": "text/css",
  ".wasm": "application/wasm", ".swf": "application/x-shockwave-flash", ".gif": "image/gif", ".map": "application/json",
};

const root = path.resolve(process.argv[2] || "build/web");
const port = Number(process.argv[3] || 8080);
if (!fs.existsSync(path.join(root, "index.html"))) {
  console.error(`serve: no index.html in ${root}; build it first with scripts/build-web.sh`);
  process.exit(1);
}

const server = http.createServer((req, res) => {
  let name;
  try {
    name = decodeURIComponent(new URL(req.url, "http://127.0.0.1").pathname);
  } catch {
    name = "";
  }
  if (name.endsWith("/")) name += "index.html";
  const file = path.resolve(root, "." + name);
  // Only files inside the folder.
  if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
    res.writeHead(404, { "content-type": "text/plain" });
    res.end("not found\n");
    return;
  }
  res.writeHead(200, { "content-type": TYPES[path.extname(file)] || "application/octet-stream" });
  fs.createReadStream(file).pipe(res);
});
// A busy port: the next free one.
server.on("error", (e) => {
  if (e.code !== "EADDRINUSE") throw e;
  server.listen(0, "127.0.0.1");
});
server.on("listening", () => {
  console.log(`Tervano page: http://127.0.0.1:${server.address().port}/  (Ctrl+C stops)`);
});
server.listen(port, "127.0.0.1");
