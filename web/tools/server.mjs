// A static file server for the demo and the browser tests: folders mounted
// under URL prefixes, byte ranges and conditional requests through the
// `send` package, no caching, and an optional throttle in bytes per second
// so that the progression of an image can be watched.
import http from 'node:http';
import { setTimeout as sleep } from 'node:timers/promises';

import send from 'send';

// Paces everything written to `res` to `rate` bytes per second, in slices
// of a twentieth of a second. A write reports backpressure until its slices
// are out, so the file is read no faster than it is sent.
function throttle(res, rate) {
  const write = res.write.bind(res);
  const end = res.end.bind(res);
  const slice = Math.max(1, Math.round(rate / 20));
  let queue = Promise.resolve();
  res.write = (chunk, encoding, callback) => {
    const bytes = typeof chunk === 'string' ? Buffer.from(chunk, typeof encoding === 'string' ? encoding : 'utf8') : chunk;
    queue = queue.then(async () => {
      for (let at = 0; at < bytes.length && !res.destroyed; at += slice) {
        const part = bytes.subarray(at, at + slice);
        write(part);
        await sleep((1000 * part.length) / rate);
      }
    });
    queue.then(() => {
      if (typeof encoding === 'function') encoding();
      else if (typeof callback === 'function') callback();
      res.emit('drain');
    });
    return false;
  };
  res.end = (chunk, encoding, callback) => {
    if (chunk && typeof chunk !== 'function') res.write(chunk, encoding);
    const done = [chunk, encoding, callback].find((f) => typeof f === 'function');
    queue.then(() => end(done));
    return res;
  };
}

// mounts: [{ prefix: '/tavix/', dir, unpaced }]; rate: bytes per second, 0
// for full speed, for every mount but the unpaced ones (a request's
// "?rate=N" overrides it). Resolves to
// { url, requests, close() }; `requests` lists every request's method,
// path, Range header and status.
export function startServer({ mounts, rate = 0, port = 0, host = '127.0.0.1', quiet = true }) {
  const requests = [];
  const server = http.createServer((req, res) => {
    const url = new URL(req.url, 'http://localhost');
    const path = decodeURIComponent(url.pathname);
    const entry = { method: req.method, path, range: req.headers.range ?? null };
    // The status once the headers are out (a cancelled transfer never finishes).
    Object.defineProperty(entry, 'status', { enumerable: true, get: () => (res.headersSent ? res.statusCode : 0) });
    requests.push(entry);
    if (!quiet) res.on('close', () => console.log(`${req.method} ${path} ${entry.range ?? ''} -> ${res.statusCode}`));
    const mount = mounts.find((m) => path.startsWith(m.prefix));
    if (!mount) {
      res.statusCode = path === '/' ? 302 : 404;
      if (path === '/') res.setHeader('Location', mounts[0].prefix);
      res.end();
      return;
    }
    // "?rate=N" paces one file differently from the rest.
    const pace = Number(url.searchParams.get('rate')) || (mount.unpaced ? 0 : rate);
    if (pace > 0) throttle(res, pace);
    send(req, path.slice(mount.prefix.length - 1), { root: mount.dir, cacheControl: false, etag: true })
      .on('headers', (response) => response.setHeader('Cache-Control', 'no-store'))
      .on('error', (error) => {
        res.statusCode = error.status ?? 500;
        res.end();
      })
      .pipe(res);
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, host, () => {
      const address = server.address();
      resolve({
        url: `http://${host}:${address.port}`,
        requests,
        close: () => new Promise((done) => {
          server.closeAllConnections?.();
          server.close(() => done());
        }),
      });
    });
  });
}
