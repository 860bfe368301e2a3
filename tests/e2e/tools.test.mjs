// The tools of `Folioport --mcp`, driven by the official MCP client against the fake site over HTTPS: the
// protocol and the process end to end. Argument checks and failure sentences are pinned in-process.
import assert from 'node:assert/strict';
import { rmSync } from 'node:fs';
import { after, before, describe, test } from 'node:test';

import * as h from './harness.mjs';

const notConfigured = 'Confluence is not configured. Open Settings and enter your site, email and API token.';
const day = 24 * 60 * 60 * 1000;
const now = Date.now();
const daysAgo = (n) => new Date(now - n * day).toISOString();
const dayLabel = (iso) => new Date(iso).toLocaleDateString('en-GB', { day: '2-digit', month: 'long', year: 'numeric', timeZone: 'UTC' });

const roadmapStorage = '<h1>Roadmap</h1><p>The roadmap for Q3 covers search &amp; sync.</p>';
const seed = {
  credentials: { email: h.email, token: h.token },
  spaces: [{ key: 'ENG', id: '65537', name: 'Engineering' }, { key: 'OPS', id: '65538', name: 'Operations' }],
  pages: [
    { id: '98305', space: 'ENG', title: 'Engineering Home', body: '<p>Welcome to engineering.</p>', version: 4, modifiedAt: daysAgo(13) },
    { id: '98306', space: 'ENG', title: 'Roadmap for Q3', body: roadmapStorage, version: 7, modifiedAt: daysAgo(2) },
    { id: '98307', space: 'ENG', title: 'Release checklist', body: '<ul><li>Tag the release</li><li>Publish notes</li></ul>', version: 2, modifiedAt: daysAgo(5) },
    { id: '98308', space: 'OPS', title: 'On-call rota', body: '<p>Who is on call this week. Release duty rotates.</p>', version: 12, modifiedAt: daysAgo(0) },
  ],
};

describe('Folioport --mcp tools', () => {
  let dir, site, server, preferences;

  before(async () => {
    dir = h.privateDir();
    const { cert, key } = h.makeCertificate(dir);
    h.storeToken();
    site = await h.startFakeSite({ seed, cert, key, dir });
    preferences = { baseURL: `${site.url}/wiki/`, email: h.email, spaceKey: 'ENG' };
    server = await h.connectServer({ preferences, caFile: site.caFile });
  });

  after(async () => {
    await server?.close();
    await site?.stop();
    rmSync(dir, { recursive: true, force: true });
  });

  // Calls a tool with an empty request log; answers the text, the error flag and the requests made.
  async function call(name, args, on = server) {
    await h.control(site, 'DELETE', 'log');
    const result = await on.call(name, args);
    return { ...result, ...(await h.requestLog(site)) };
  }

  const pageURL = (id, title) => `${site.url}/wiki/spaces/ENG/pages/${id}/${title.replaceAll(' ', '+')}`;

  test('without settings every tool name, even a misspelt one, gets the not-configured message', async () => {
    const bare = await h.connectServer({ caFile: site.caFile });
    try {
      const names = ['list_spaces', 'list_pages', 'search_pages', 'get_page', 'create_page', 'update_page', 'delete_page', 'lst_pages'];
      for (const name of names) {
        const { text, isError, requests } = await call(name, { pageId: '98306', query: 'x', title: 't' }, bare);
        assert.deepEqual({ name, text, isError, requests }, { name, text: notConfigured, isError: true, requests: [] });
      }
    } finally {
      await bare.close();
    }
  });

  test('list_spaces names each space', async () => {
    const { text, isError } = await call('list_spaces', { limit: 0 });
    assert.equal(isError, false);
    assert.equal(text, 'Spaces — 1:\n  ENG  Engineering  (id 65537)');
  });

  test('list_pages uses the configured space, and an explicit empty key spans all spaces', async () => {
    const inSpace = await call('list_pages', {});
    assert.equal(inSpace.text, 'Pages in space ENG — 3, most recently updated first:\n' +
      '  98306  v7  Roadmap for Q3  (2 days ago)\n' +
      '  98307  v2  Release checklist  (5 days ago)\n' +
      '  98305  v4  Engineering Home  (13 days ago)');
    assert.deepEqual(inSpace.requests, ['GET /wiki/api/v2/spaces?keys=ENG&limit=1',
      'GET /wiki/api/v2/pages?status=current&sort=-modified-date&limit=25&space-id=65537']);

    const everywhere = await call('list_pages', { spaceKey: '' });
    assert.ok(everywhere.text.startsWith('Pages in all spaces — 4, most recently updated first:\n' +
      '  98308  v12  On-call rota  (today)\n'), everywhere.text);
    assert.deepEqual(everywhere.requests, ['GET /wiki/api/v2/pages?status=current&sort=-modified-date&limit=25']);
  });

  test('a changed setting takes effect at the next call without a restart', async () => {
    try {
      server.setPreferences({ ...preferences, spaceKey: 'OPS' });
      const { text } = await call('list_pages', {});
      assert.equal(text, 'Pages in space OPS — 1, most recently updated first:\n  98308  v12  On-call rota  (today)');
      server.setPreferences({ ...preferences, baseURL: '' });
      assert.deepEqual((await call('list_pages', {})).text, notConfigured);
      // The read-only switch fails closed: a value that is not false, even a string, keeps writes out.
      for (const assistantsReadOnly of [true, 'true', 0]) {
        server.setPreferences({ ...preferences, assistantsReadOnly });
        const refused = await call('delete_page', { pageId: '98306' });
        assert.equal(refused.text, "Folioport lets AI assistants only read pages; turn this off in Folioport's Settings to let them write.");
        assert.equal(refused.isError, true);
        assert.deepEqual(refused.requests, []);
      }
    } finally {
      server.setPreferences(preferences);
    }
  });

  test('search_pages in the configured space', async () => {
    const one = await call('search_pages', { query: ' roadmap ' });
    assert.equal(one.text, '1 result in space ENG for "roadmap":\n' +
      '  98306  Roadmap for Q3 [Engineering] (2 days ago)\n' +
      '      Roadmap The roadmap for Q3 covers search & sync.');
    assert.deepEqual(one.requests, ['GET /wiki/rest/api/search?cql=type = page AND text ~ "roadmap" AND space = "ENG" ' +
      'ORDER BY lastmodified DESC&limit=25']);
  });

  test('get_page in storage, text and alias formats; a bad format is reported after the fetch', async () => {
    const header = `Roadmap for Q3\nid: 98306 · version: 7 · updated: ${dayLabel(daysAgo(2))} (2 days ago)\n` +
      `${pageURL('98306', 'Roadmap for Q3')}\n\n`;
    const plain = 'Roadmap\nThe roadmap for Q3 covers search & sync.';
    for (const [format, body] of [['storage', roadmapStorage], ['text', plain], [' Markdown', plain], ['HTML', roadmapStorage]]) {
      const { text, isError, requests } = await call('get_page', { pageId: '98306', format });
      assert.deepEqual({ format, text, isError }, { format, text: header + body, isError: false });
      assert.deepEqual(requests, ['GET /wiki/api/v2/pages/98306?body-format=storage']);
    }
    const bad = await call('get_page', { pageId: '98306', format: 'pdf' });
    assert.deepEqual([bad.text, bad.isError], ["`format` must be 'text' or 'storage' — got 'pdf'.", true]);
    assert.deepEqual(bad.requests, ['GET /wiki/api/v2/pages/98306?body-format=storage']);

    const byTitle = await call('get_page', { title: 'Roadmap for Q3' });
    assert.equal(byTitle.text, header + plain);
  });

  test('create_page converts a plain-text list', async () => {
    const { text, isError, requests, bodies } = await call('create_page', { title: 'Shopping list', body: '- apples\n- pears' });
    assert.deepEqual([text, isError], [`Created page 98309 — Shopping list in ENG\n${pageURL('98309', 'Shopping list')}`, false]);
    assert.deepEqual(requests, ['GET /wiki/api/v2/spaces?keys=ENG&limit=1', 'POST /wiki/api/v2/pages']);
    assert.equal(bodies[1].body.value, '<ul><li><p>apples</p></li><li><p>pears</p></li></ul>');
  });

  test('update_page replaces, appends, prepends and renames, each on the version just read', async () => {
    const steps = [
      [{ body: 'Fruit' }, 'Updated page 98309 — Shopping list, now v2', 'Shopping list', '<p>Fruit</p>'],
      [{ body: 'More', mode: 'APPEND' }, 'Appended to page 98309 — Shopping list, now v3', 'Shopping list', '<p>Fruit</p><p>More</p>'],
      [{ body: '<h2>Top</h2>', mode: 'prepend', format: 'storage' }, 'Prepended to page 98309 — Shopping list, now v4',
        'Shopping list', '<h2>Top</h2><p>Fruit</p><p>More</p>'],
      [{ newTitle: 'Groceries' }, 'Renamed page 98309 — Groceries, now v5', 'Groceries', '<h2>Top</h2><p>Fruit</p><p>More</p>'],
    ];
    for (const [args, first, title, storage] of steps) {
      const { text, isError, requests, bodies } = await call('update_page', { pageId: '98309', ...args });
      assert.deepEqual([text, isError], [`${first}\n${pageURL('98309', title)}`, false]);
      assert.deepEqual(requests, ['GET /wiki/api/v2/pages/98309?body-format=storage', 'PUT /wiki/api/v2/pages/98309']);
      assert.deepEqual([bodies[1].title, bodies[1].body.value], [title, storage]);
    }
  });

  test('delete_page trashes a page it cannot read, then purges it', async () => {
    await h.control(site, 'POST', 'fail', { status: 500, body: 'down', method: 'GET', path: '/wiki/api/v2/pages/98307' });
    const trashed = await call('delete_page', { pageId: '98307' });
    assert.deepEqual([trashed.text, trashed.isError],
      ["Moved page 98307 — 98307 to the space's trash. It can be restored from there.", false]);
    assert.deepEqual(trashed.requests, ['GET /wiki/api/v2/pages/98307', 'DELETE /wiki/api/v2/pages/98307']);

    const purged = await call('delete_page', { pageId: ' 98307 ', purge: true });
    assert.deepEqual([purged.text, purged.isError], ['Permanently deleted page 98307 — Release checklist.', false]);
    assert.deepEqual(purged.requests, ['GET /wiki/api/v2/pages/98307', 'DELETE /wiki/api/v2/pages/98307?purge=true']);

    const current = await call('delete_page', { pageId: '98305', purge: true });
    assert.equal(current.isError, true);
    assert.match(current.text, /^Confluence returned HTTP 400\. .*Only a trashed page can be purged/);
  });

  test('random arguments of every JSON type always get a tool result, never a protocol error', async () => {
    let state = Number(process.env.FOLIOPORT_E2E_SEED ?? Date.now()) >>> 0;
    const random = () => {  // mulberry32, so a failing seed can be replayed
      state = (state + 0x6d2b79f5) >>> 0;
      let t = Math.imul(state ^ (state >>> 15), 1 | state);
      t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
      return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
    const pick = (items) => items[Math.floor(random() * items.length)];
    const strings = ['', ' ', '98306', '98305', 'ENG', ' OPS ', 'HTML', 'pdf', 'APPEND', 'merge', '- a\n- b', 'x'.repeat(100000), 'ü✓\u2028'];
    const value = (depth) => pick([
      () => null, () => random() < 0.5, () => pick([0, -5, 3, 1e300, 2.5, Number.MAX_SAFE_INTEGER]), () => pick(strings),
      () => pick(strings), () => (depth ? [value(depth - 1)] : 'leaf'), () => (depth ? { k: value(depth - 1) } : 'leaf'),
    ])();
    const names = ['pageId', 'title', 'spaceKey', 'format', 'body', 'mode', 'newTitle', 'versionMessage', 'parentId', 'purge', 'limit', 'query'];
    const tools = ['list_spaces', 'list_pages', 'search_pages', 'get_page', 'create_page', 'update_page', 'delete_page'];
    const seedUsed = state;
    for (let i = 0; i < 150; i++) {
      const args = Object.fromEntries(Array.from({ length: Math.floor(random() * 5) }, () => [pick(names), value(2)]));
      const name = pick(tools);
      const { text } = await server.call(name, args).catch((error) => {
        throw new Error(`seed ${seedUsed}, call ${i}: ${name} ${JSON.stringify(args).slice(0, 200)}: ${error}`);
      });
      assert.ok(text.length > 0, `seed ${seedUsed}, call ${i}: empty text`);
    }
  });
});
