// The order browser on the demo store: opening a new order takes its new mark away, and the
// editor's notice counts one fewer.
import assert from 'node:assert/strict';
import {
  pageTest, openEditor, press, readTable, screenshot, text, useInstallation,
} from './harness.mjs';

const installation = useInstallation('orders', { store: true });

pageTest('opening an order takes its new mark away and the notice counts down', async (t, context) => {
  const page = await context.newPage();
  await openEditor(page, installation, 'DEMO', installation.clientPassword);
  assert.match(await text(page), /You have 5 new orders\./);
  await press(page, 'Show Orders (Non-Secure)');
  await screenshot(page, 'order-list');

  const newest = readTable(installation.dataDir, 'orders', 'DEMO').find((o) => o.orderno === '001035');
  assert.equal(newest.new, true);
  await press(page, '001035', 'OrderNo');
  await screenshot(page, 'order');
  // The order with its item lines and its customer.
  const shown = await text(page);
  for (const item of readTable(installation.dataDir, 'orditems', 'DEMO')
    .filter((i) => i.orderno === '001035')) {
    assert.ok(shown.includes(item.item), `item ${item.item}`);
  }
  const customer = readTable(installation.dataDir, 'customer', 'DEMO')
    .find((c) => c.orderno === '001035');
  assert.ok(shown.includes(customer.b_lname), `customer ${customer.b_lname}`);

  const orders = readTable(installation.dataDir, 'orders', 'DEMO');
  assert.equal(orders.find((o) => o.orderno === '001035').new, false);
  assert.equal(orders.filter((o) => o.new).length, 4);
  const editor = await context.newPage();
  await openEditor(editor, installation, 'DEMO', installation.clientPassword);
  assert.match(await text(editor), /You have 4 new orders\./);
});

pageTest('the secure order view opens the list and an order over HTTPS', async (t, context) => {
  const page = await context.newPage();
  await openEditor(page, installation, 'DEMO', installation.clientPassword);
  await press(page, 'Show Orders (Secure)');
  assert.ok(page.url().startsWith(installation.secureUrl), page.url());
  await screenshot(page, 'order-list-secure');
  const order = readTable(installation.dataDir, 'orders', 'DEMO').find((o) => o.orderno === '001030');
  await press(page, '001030', 'OrderNo');
  assert.ok(page.url().startsWith('https://'), page.url());
  await screenshot(page, 'order-secure');
  const customer = readTable(installation.dataDir, 'customer', 'DEMO')
    .find((c) => c.orderno === order.orderno);
  assert.ok((await text(page)).includes(customer.b_lname), `customer ${customer.b_lname}`);
});
