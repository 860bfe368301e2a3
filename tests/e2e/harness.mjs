// Shared set-up of the end-to-end tests: a self-signed certificate, the fake Confluence site
// over HTTPS, a private preferences folder per server, the token in the test keyring, and an
// MCP client connected to `Folioport --mcp`.
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, mkdirSync, readFileSync, writeFileSync, rmSync } from 'node:fs';
import https from 'node:https';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { createInterface } from 'node:readline';

import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';

const requiredEnv = (name) => process.env[name] || (() => { throw new Error(`${name} is not set; see tests/e2e/run.sh`); })();
const folioportBin = requiredEnv('FOLIOPORT_BIN');
const fakeSiteBin = requiredEnv('FAKE_CONFLUENCE_BIN');
export const email = 'mia@example.com';
export const token = 'e2e-token-\u00e9';
export const privateDir = (prefix = 'folioport-e2e-') => mkdtempSync(join(tmpdir(), prefix));

/// A self-signed certificate for 127.0.0.1, made afresh in `dir`.
export function makeCertificate(dir) {
  const cert = join(dir, 'cert.pem');
  const key = join(dir, 'key.pem');
  execFileSync('openssl', ['req', '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1',
    '-nodes', '-keyout', key, '-out', cert, '-days', '1', '-subj', '/CN=127.0.0.1',
    '-addext', 'subjectAltName=IP:127.0.0.1'], { stdio: 'ignore' });
  return { cert, key };
}

/// Stores the API token in the keyring the way the application does.
export function storeToken(value = token) {
  execFileSync('secret-tool', ['store', '--label=Folioport API token', 'service', 'com.tessaly.folioport',
    'account', 'apiToken'], { input: value });
}

/// Writes the preferences file of one server's private XDG_CONFIG_HOME.
export function writePreferences(configHome, preferences) {
  const dir = join(configHome, 'com.tessaly.folioport');
  mkdirSync(dir, { recursive: true, mode: 0o700 });
  writeFileSync(join(dir, 'preferences.json'), JSON.stringify(preferences), { mode: 0o600 });
}

/// The fake site on a free port, over HTTPS with `cert` and `key`, else plain HTTP, seeded from
/// `seed`; stop() ends it by its PID.
export async function startFakeSite({ seed, cert, key, dir }) {
  const seedFile = join(dir, 'seed.json');
  writeFileSync(seedFile, JSON.stringify(seed));
  const tls = cert ? ['--cert', cert, '--key', key] : [];
  const child = spawn(fakeSiteBin, ['--port', '0', ...tls, '--seed', seedFile],
    { stdio: ['ignore', 'pipe', 'inherit'] });
  const firstLine = await new Promise((resolve, reject) => {
    const lines = createInterface({ input: child.stdout });
    lines.once('line', (line) => { lines.close(); resolve(line); });
    child.once('exit', (code) => reject(new Error(`fake_confluence exited with ${code}`)));
  });
  const match = /^listening on (https?:\/\/127\.0\.0\.1:\d+)$/.exec(firstLine);
  if (!match) throw new Error(`unexpected first line of fake_confluence: ${firstLine}`);
  child.stdout.resume();
  return {
    url: match[1],
    caFile: cert,
    stop: () => new Promise((resolve) => {
      if (child.exitCode !== null) return resolve();
      child.once('exit', resolve);
      child.kill('SIGTERM');
    }),
  };
}

/// One `Folioport --mcp` process with its own preferences folder, connected through the SDK client.
/// With `caFile` it trusts that certificate for HTTPS (through SSL_CERT_FILE). With
/// `sdkDefaultEnvironment` it is started as the SDK does unless told more (HOME, LOGNAME, PATH, SHELL,
/// TERM, USER only), so its preferences live under $HOME/.config; `stderr` then collects its log.
export async function connectServer({ preferences, caFile, sdkDefaultEnvironment = false }) {
  const configHome = sdkDefaultEnvironment ? join(process.env.HOME, '.config') : privateDir('folioport-e2e-config-');
  if (preferences) writePreferences(configHome, preferences);
  let env;
  if (!sdkDefaultEnvironment) {
    env = { ...process.env, XDG_CONFIG_HOME: configHome, TZ: 'UTC', LANG: 'C.UTF-8', LC_ALL: 'C.UTF-8' };
    if (caFile) env.SSL_CERT_FILE = caFile;
  }
  const transport = new StdioClientTransport({ command: folioportBin, args: ['--mcp'], env, stderr: 'pipe' });
  let stderr = '';
  transport.stderr?.on('data', (chunk) => { stderr += chunk; });
  const client = new Client({ name: 'folioport-e2e', version: '1.0.0' });
  await client.connect(transport);
  return {
    client,
    pid: transport.pid,
    stderr: () => stderr,
    setPreferences: (next) => writePreferences(configHome, next),
    call: async (name, args = {}) => {
      const result = await client.callTool({ name, arguments: args });
      if (result.content.length !== 1 || result.content[0].type !== 'text')
        throw new Error(`unexpected content: ${JSON.stringify(result.content)}`);
      return { text: result.content[0].text, isError: result.isError === true };
    },
    close: async () => {
      await client.close();
      rmSync(configHome, { recursive: true, force: true });
    },
  };
}

/// Calls one control endpoint of the fake site (HTTPS, trusting `caFile`); answers the parsed JSON.
export function control(site, method, path, body) {
  return new Promise((resolve, reject) => {
    const request = https.request(`${site.url}/__fake/${path}`, { method, ca: readFileSync(site.caFile) }, (response) => {
      let text = '';
      response.setEncoding('utf8');
      response.on('data', (chunk) => { text += chunk; });
      response.on('end', () => {
        if (response.statusCode >= 300) reject(new Error(`${method} ${path}: ${response.statusCode} ${text}`));
        else resolve(text ? JSON.parse(text) : null);
      });
    });
    request.on('error', reject);
    if (body !== undefined) {
      request.setHeader('Content-Type', 'application/json');
      request.write(JSON.stringify(body));
    }
    request.end();
  });
}

/// The requests logged since the last clear: "METHOD path?name=value&…" (values decoded), and parsed bodies.
export async function requestLog(site) {
  const log = await control(site, 'GET', 'log');
  return {
    requests: log.map((r) => r.line),
    bodies: log.map((r) => (r.body ? JSON.parse(r.body) : null)),
  };
}
