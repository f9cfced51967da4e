// What the browser tests share: an installation served by lighttpd the demo's way, headless
// Chromium (Debian's, never a downloaded one), the tables read back with an independent dBASE
// reader (python3-dbfread), and screenshots kept in the build directory.
//
// Environment (tests/browser/run sets it): TVR_SOURCE_DIR, TVR_BUILD_DIR (holds tvrweb.exe and
// the other programs), TVR_BROWSER_OUT (installations, logs, screenshots).
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';
import { after, before, test } from 'node:test';
import { chromium } from 'playwright-core';

const sourceDir = process.env.TVR_SOURCE_DIR ?? path.resolve(import.meta.dirname, '../..');
const buildDir = process.env.TVR_BUILD_DIR ?? path.join(sourceDir, 'build');
export const outDir = process.env.TVR_BROWSER_OUT ?? path.join(buildDir, 'browser');

// A loopback port nobody listens on right now.
function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
    server.on('error', reject);
  });
}

async function waitForPort(port, ms) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    const up = await new Promise((resolve) => {
      const socket = net.connect(port, '127.0.0.1', () => {
        socket.end();
        resolve(true);
      });
      socket.on('error', () => resolve(false));
    });
    if (up) return;
    await new Promise((r) => setTimeout(r, 100));
  }
  throw new Error(`nothing answers on port ${port}`);
}

// Installs into TVR_BROWSER_OUT/<name> (afresh) with scripts/demo --install-only and serves it
// with lighttpd, over HTTP and over HTTPS (the demo's own certificate) on two free ports.
// `store`: lay down the demo store (else the empty installation).
// Returns { url, secureUrl, dir, dataDir, ini, adminPassword, clientPassword, stop() }.
export async function startInstallation(name, { store }) {
  const dir = path.join(outDir, name);
  fs.rmSync(dir, { recursive: true, force: true });
  fs.mkdirSync(outDir, { recursive: true });
  const port = await freePort();
  let tlsPort = await freePort();
  while (tlsPort === port) tlsPort = await freePort();
  const args = ['--install-only', '--program', path.join(buildDir, 'tvrweb.exe'), '--dir', dir];
  if (!store) args.push('--empty');
  const installed = spawnSync(path.join(sourceDir, 'scripts/demo'), args, {
    env: { ...process.env, PORT: String(port), TLS_PORT: String(tlsPort) },
    encoding: 'utf8',
  });
  if (installed.status !== 0) {
    throw new Error(`scripts/demo failed: ${installed.stdout}${installed.stderr}`);
  }
  const printed = fs.readFileSync(path.join(dir, 'demo.txt'), 'utf8');
  const admin = /^admin password:\s+(\S+)/m.exec(printed);
  const client = /^demo client:\s+DEMO, password (\S+)/m.exec(printed);
  const server = spawn('/usr/sbin/lighttpd', ['-D', '-f', path.join(dir, 'lighttpd.conf')], {
    stdio: 'ignore',
  });
  await waitForPort(port, 15000);
  await waitForPort(tlsPort, 15000);
  return {
    url: `http://127.0.0.1:${port}/cgi-bin/tvrweb.exe`,
    secureUrl: `https://127.0.0.1:${tlsPort}/cgi-bin/tvrweb.exe`,
    dir,
    dataDir: path.join(dir, 'data'),
    ini: path.join(dir, 'cgi-bin', 'tulvar.ini'),
    adminPassword: admin?.[1] ?? '',
    clientPassword: client?.[1] ?? '',
    async stop() {
      if (server.exitCode !== null) return;
      const ended = new Promise((resolve) => server.once('exit', resolve));
      server.kill('SIGTERM');
      await ended;
    },
  };
}

// The installation a test file runs against: startInstallation(name, options) before the file's
// tests, the browser closed and the server stopped after them. The object returned is filled
// in by the time the first test runs.
export function useInstallation(name, options) {
  const installation = {};
  before(async () => {
    Object.assign(installation, await startInstallation(name, options));
  });
  after(async () => {
    await closeBrowser();
    await installation.stop?.();
  });
  return installation;
}

export async function launchBrowser() {
  return chromium.launch({
    executablePath: '/usr/bin/chromium',
    // Running as root: Chromium's sandbox needs a user of its own.
    args: process.getuid?.() === 0 ? ['--no-sandbox'] : [],
  });
}

// The rows of a table (not marked deleted), as read by dbfread with lower-case column names;
// with `code`, only that client's rows.
export function readTable(dataDir, table, code) {
  const script = `
import sys, json, datetime, dbfread
rows = [dict(r) for r in dbfread.DBF(sys.argv[1], lowernames=True, char_decode_errors='replace')]
if len(sys.argv) > 2: rows = [r for r in rows if r.get('code') == sys.argv[2]]
print(json.dumps(rows, default=str))
`;
  const args = ['-c', script, path.join(dataDir, `${table}.dbf`)];
  if (code !== undefined) args.push(code);
  const result = spawnSync('/usr/bin/python3', args, { encoding: 'utf8' });
  if (result.status !== 0) throw new Error(`dbfread failed: ${result.stderr}`);
  return JSON.parse(result.stdout);
}

// Every file of a directory with its content, to tell that nothing was stored.
export function snapshot(dir) {
  const files = {};
  for (const name of fs.readdirSync(dir)) {
    const file = path.join(dir, name);
    if (fs.statSync(file).isFile() && !name.endsWith('.log')) files[name] = fs.readFileSync(file);
  }
  return files;
}

export async function screenshot(page, name) {
  const dir = path.join(outDir, 'screenshots');
  fs.mkdirSync(dir, { recursive: true });
  await page.screenshot({ path: path.join(dir, `${name}.png`), fullPage: true });
}

// A form field by its name, letter case ignored (the pages spell column names either way).
export function field(page, name) {
  return page.locator(`[name="${name}" i]`);
}

// The one browser of a test file, started on first use; the file closes it when done.
let browserStarted;
export function browser() {
  browserStarted ??= launchBrowser();
  return browserStarted;
}
export async function closeBrowser() {
  if (browserStarted) await (await browserStarted).close();
  browserStarted = undefined;
}

// A test with a browser context of its own (closed afterwards). Pages of a later stage say that
// they are "not part of this build yet": when the test fails while one of its pages says so, it
// is reported as skipped with that sentence, never as passed.
export function pageTest(name, body) {
  test(name, async (t) => {
    // The HTTPS side has the demo's own certificate, which no authority vouches for.
    const context = await (await browser()).newContext({ ignoreHTTPSErrors: true });
    try {
      await body(t, context);
    } catch (error) {
      for (const page of context.pages()) {
        const shown = await text(page).catch(() => '');
        const missing = /[^.<>]*(is|are) not part of this build yet/.exec(shown);
        if (missing) {
          t.skip(`${missing[0].trim()} (${page.url()})`);
          return;
        }
      }
      throw error;
    } finally {
      await context.close();
    }
  });
}

// The page's visible text with runs of blanks folded, for matching messages.
export async function text(page) {
  return (await page.locator('body').innerText()).replace(/\s+/g, ' ');
}

// Presses the submit button of that value (letter case and surrounding blanks as written).
export async function press(page, value, name) {
  const selector = name ? `input[type=submit][name="${name}"]` : 'input[type=submit]';
  const buttons = page.locator(selector);
  const count = await buttons.count();
  for (let i = 0; i < count; ++i) {
    const button = buttons.nth(i);
    if ((await button.getAttribute('value'))?.trim() === value.trim()) {
      await Promise.all([page.waitForLoadState('load'), button.click()]);
      return;
    }
  }
  throw new Error(`no button "${value}" on ${page.url()}: ${await text(page)}`);
}

// From the client list into the editor of `code`, typing its password at the prompt.
export async function openEditor(page, installation, code, password) {
  await page.goto(installation.url);
  const list = field(page, 'Client');
  if ((await list.evaluate((e) => e.tagName)) === 'SELECT') {
    await list.selectOption(code);
  } else {
    await list.fill(code);
  }
  await press(page, 'Choose Client');
  await field(page, 'ClientPassword').fill(password);
  await press(page, 'OK');
}

// Sets a field the way a person would: types into text boxes and text areas, ticks or unticks
// check boxes (value true/false), picks a radio button by its value or a list option by its
// text or value.
export async function setField(page, name, value) {
  const element = field(page, name);
  const first = element.first();
  const tag = await first.evaluate((e) => e.tagName);
  const type = (await first.getAttribute('type'))?.toLowerCase();
  if (tag === 'SELECT') {
    await first.selectOption({ label: String(value) }).catch(() => first.selectOption(String(value)));
  } else if (type === 'checkbox') {
    await first.setChecked(Boolean(value));
  } else if (type === 'radio') {
    await page.locator(`[name="${name}" i][value="${value}" i]`).check();
  } else {
    await first.fill(String(value));
  }
}

// What a person sees in the field: the text, true/false for a check box, the checked radio
// button's value, the selected option's text.
export async function fieldValue(page, name) {
  const element = field(page, name);
  const first = element.first();
  const tag = await first.evaluate((e) => e.tagName);
  const type = (await first.getAttribute('type'))?.toLowerCase();
  if (tag === 'SELECT') {
    return first.evaluate((e) => e.options[e.selectedIndex]?.text ?? '');
  }
  if (type === 'checkbox') return first.isChecked();
  if (type === 'radio') {
    return page.locator(`[name="${name}" i]:checked`).getAttribute('value');
  }
  return first.inputValue();
}
