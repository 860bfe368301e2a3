// Benchmark of `Folioport --mcp` driven by the official MCP client (not a test; run through
// scripts/bench-mcp-tools.sh). Prints medians over repeated runs:
//  - time from process start to the "initialize" answer, and the server's peak resident memory;
//  - time per tool call, against the same HTTPS requests made directly to the fake site, and the difference,
//    and the time of a call that only reads the settings (preferences file and keyring);
//  - TLS handshakes the fake site sees for one update_page call of a fresh server, and that call's time.
import https from 'node:https';
import { readFileSync, rmSync } from 'node:fs';
import { performance } from 'node:perf_hooks';

// The harness lives with the end-to-end tests, next to the MCP client package it loads.
import * as h from '../tests/e2e/harness.mjs';

const runs = Number(process.env.BENCH_RUNS ?? 30);
const median = (values) => {
  const sorted = [...values].sort((a, b) => a - b);
  const middle = sorted.length >> 1;
  return sorted.length % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
};
const peakKiB = (pid) => Number(/VmHWM:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, 'utf8'))[1]);
const ms = (value) => `${value.toFixed(2)} ms`;

const dir = h.privateDir('folioport-bench-');
const { cert, key } = h.makeCertificate(dir);
h.storeToken();
const seed = {
  credentials: { email: h.email, token: h.token },
  spaces: [{ key: 'ENG', id: '65537', name: 'Engineering' }],
  pages: [
    { id: '98305', space: 'ENG', title: 'Engineering Home', body: '<p>Welcome.</p>', version: 4 },
    { id: '98306', space: 'ENG', title: 'Roadmap for Q3', body: '<h1>Roadmap</h1><p>Search &amp; sync.</p>', version: 7 },
  ],
};
const site = await h.startFakeSite({ seed, cert, key, dir });
const preferences = { baseURL: site.url, email: h.email, spaceKey: 'ENG' };

try {
  // Start-up: spawn to the answer of "initialize" (the client's connect), without network access.
  const startups = [];
  const peaks = [];
  for (let i = 0; i < runs; i++) {
    const started = performance.now();
    const server = await h.connectServer({ preferences });
    startups.push(performance.now() - started);
    peaks.push(peakKiB(server.pid));
    await server.close();
  }
  console.log(`initialize answer after start: median ${ms(median(startups))} (min ${ms(Math.min(...startups))}, ${runs} runs)`);
  console.log(`peak memory right after initialize: median ${median(peaks)} KiB`);

  // Direct requests with a keep-alive connection: the fake site's own time plus loopback TLS.
  const agent = new https.Agent({ keepAlive: true, maxSockets: 1, ca: readFileSync(site.caFile) });
  const auth = `Basic ${Buffer.from(`${h.email}:${h.token}`).toString('base64')}`;
  const direct = (method, path, body) => new Promise((resolve, reject) => {
    const request = https.request(`${site.url}${path}`, { method, agent, headers: { Authorization: auth, Accept: 'application/json',
      ...(body ? { 'Content-Type': 'application/json' } : {}) } }, (response) => {
      let text = '';
      response.on('data', (chunk) => { text += chunk; });
      response.on('end', () => (response.statusCode < 300 ? resolve(text) : reject(new Error(`${response.statusCode} ${text}`))));
    });
    request.on('error', reject);
    request.end(body ? JSON.stringify(body) : undefined);
  });
  const timed = async (work) => { const started = performance.now(); await work(); return performance.now() - started; };

  const server = await h.connectServer({ preferences, caFile: site.caFile });
  let version = JSON.parse(await direct('GET', '/wiki/api/v2/pages/98306')).version.number;
  const directRequests = {
    get_page: () => direct('GET', '/wiki/api/v2/pages/98306?body-format=storage'),
    list_pages: async () => {
      await direct('GET', '/wiki/api/v2/spaces?keys=ENG&limit=1');
      await direct('GET', '/wiki/api/v2/pages?status=current&sort=-modified-date&limit=25&space-id=65537');
    },
    update_page: async () => {
      const page = JSON.parse(await direct('GET', '/wiki/api/v2/pages/98306?body-format=storage'));
      version = page.version.number + 1;
      await direct('PUT', '/wiki/api/v2/pages/98306', { id: '98306', status: 'current', title: page.title,
        body: { representation: 'storage', value: page.body.storage.value }, version: { number: version } });
    },
  };
  const toolArguments = { get_page: { pageId: '98306' }, list_pages: {}, update_page: { pageId: '98306', newTitle: 'Roadmap for Q3' } };
  for (const tool of Object.keys(directRequests)) {
    const viaTool = [];
    const viaDirect = [];
    await server.call(tool, toolArguments[tool]);
    await directRequests[tool]();
    const handshakesBefore = (await h.control(site, 'GET', 'stats')).tlsHandshakes;
    for (let i = 0; i < runs; i++) {
      viaTool.push(await timed(async () => {
        const { isError, text } = await server.call(tool, toolArguments[tool]);
        if (isError) throw new Error(`${tool}: ${text}`);
      }));
      viaDirect.push(await timed(directRequests[tool]));
    }
    console.log(`${tool}: tool call median ${ms(median(viaTool))}, same requests direct ${ms(median(viaDirect))}, ` +
      `overhead ${ms(median(viaTool) - median(viaDirect))}; ` +
      `${(await h.control(site, 'GET', 'stats')).tlsHandshakes - handshakesBefore} TLS handshakes in ${runs} calls`);
  }
  const unknown = [];
  for (let i = 0; i < runs; i++) unknown.push(await timed(() => server.call('no_such_tool')));
  console.log(`a call that only reads the settings (unknown tool name): median ${ms(median(unknown))}`);
  console.log(`peak memory after ${4 * runs + 3} tool calls: ${peakKiB(server.pid)} KiB`);
  await server.close();
  agent.destroy();

  // Connections and the first call: one update_page (a read and a write) sent right after "initialize"
  // to a fresh server, which still has its keyring session and TLS connection to open.
  const counts = [];
  const firstCalls = [];
  for (let i = 0; i < Math.min(runs, 10); i++) {
    const fresh = await h.connectServer({ preferences, caFile: site.caFile });
    const before = (await h.control(site, 'GET', 'stats')).tlsHandshakes;
    firstCalls.push(await timed(() => fresh.call('update_page', { pageId: '98306', body: `<p>run ${i}</p>`, format: 'storage' })));
    counts.push((await h.control(site, 'GET', 'stats')).tlsHandshakes - before);
    await fresh.close();
  }
  console.log(`TLS handshakes per update_page of a fresh server: median ${median(counts)} (all runs: ${counts.join(' ')})`);
  console.log(`first update_page of a fresh server, right after initialize: median ${ms(median(firstCalls))}`);
} finally {
  await site.stop();
  rmSync(dir, { recursive: true, force: true });
}
