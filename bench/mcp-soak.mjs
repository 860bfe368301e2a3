// Soak of one `Folioport --mcp` (not a test; run through scripts/bench-mcp-tools.sh bench/mcp-soak.mjs):
// SOAK_CALLS tool calls (default 20,000) of get_page, list_pages, search_pages and list_spaces in turn
// against the fake site, with the token in the keyring; prints the server's resident memory after the
// first 100 calls, every 5,000 calls and at the end. A long assistant session must hold steady.
import { readFileSync } from 'node:fs';

import * as h from '../tests/e2e/harness.mjs';

const calls = Number(process.env.SOAK_CALLS ?? 20000);
const residentKiB = (pid) => Number(/VmRSS:\s+(\d+)/.exec(readFileSync(`/proc/${pid}/status`, 'utf8'))[1]);

const dir = h.privateDir('folioport-soak-');
const { cert, key } = h.makeCertificate(dir);
h.storeToken();
const seed = {
  credentials: { email: h.email, token: h.token },
  spaces: [{ key: 'ENG', id: '65537', name: 'Engineering' }],
  pages: [{ id: '98306', space: 'ENG', title: 'Roadmap for Q3', body: '<h1>Roadmap</h1><p>Search &amp; sync.</p>', version: 7 }],
};
const site = await h.startFakeSite({ seed, cert, key, dir });
const server = await h.connectServer({ preferences: { baseURL: site.url, email: h.email, spaceKey: 'ENG' }, caFile: site.caFile });
const rotation = [['get_page', { pageId: '98306' }], ['list_pages', {}], ['search_pages', { query: 'roadmap' }], ['list_spaces', {}]];
try {
  let after100 = 0;
  for (let i = 1; i <= calls; i++) {
    const [tool, args] = rotation[i % rotation.length];
    const { isError, text } = await server.call(tool, args);
    if (isError) throw new Error(`${tool}: ${text}`);
    if (i === 100) after100 = residentKiB(server.pid);
    if (i === 100 || i % 5000 === 0) console.log(`after ${i} calls: ${residentKiB(server.pid)} KiB resident`);
  }
  const growth = residentKiB(server.pid) - after100;
  console.log(`growth after the first 100 calls: ${growth} KiB (${((growth * 1024) / (calls - 100)).toFixed(1)} bytes per call)`);
} finally {
  await server.close();
  await site.stop();
}
