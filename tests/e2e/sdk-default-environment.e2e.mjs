// `Folioport --mcp` started as the SDK starts a server unless told more: no DBUS_SESSION_BUS_ADDRESS
// and no XDG_RUNTIME_DIR. Run through `run.sh --run-user`, so the session bus is where desktop
// sessions put it; the server must find it there and read the token.
import assert from 'node:assert/strict';
import { rmSync } from 'node:fs';
import { test } from 'node:test';

import * as h from './harness.mjs';

const seed = {
  credentials: { email: h.email, token: h.token },
  spaces: [{ key: 'ENG', id: '65537', name: 'Engineering' }],
  pages: [],
};

test('a server started with the SDK default environment reaches the keyring and answers', async () => {
  const dir = h.privateDir();
  h.storeToken();
  const site = await h.startFakeSite({ seed, dir });
  const server = await h.connectServer({ preferences: { baseURL: site.url, email: h.email }, sdkDefaultEnvironment: true });
  try {
    assert.deepEqual(await server.call('list_spaces'), { text: 'Spaces — 1:\n  ENG  Engineering  (id 65537)', isError: false });
    assert.match(server.stderr(), /^\[folioport-mcp\] ready \(Folioport [^)]+\)\n$/);
  } finally {
    await server.close();
    await site.stop();
    rmSync(dir, { recursive: true, force: true });
  }
});
