// The order list of the demo store: a search by a customer's name, the export of what it found
// as a CSV file, and an order printed as a packing slip.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {
  pageTest, openEditor, press, readTable, screenshot, setField, text, useInstallation,
} from './harness.mjs';

const installation = useInstallation('orders-search', { store: true });

pageTest('searches the orders, exports what it found and prints an order', async (t, context) => {
  const page = await context.newPage();
  await openEditor(page, installation, 'DEMO', installation.clientPassword);
  await press(page, 'Show Orders (Non-Secure)');

  // A customer's last name, typed in lower case, finds exactly that customer's orders.
  const customers = readTable(installation.dataDir, 'customer', 'DEMO');
  const name = customers[0].b_lname.trim();
  const want = customers.filter((c) => c.b_lname.trim().toLowerCase().includes(name.toLowerCase()))
    .map((c) => c.orderno.trim()).sort();
  await setField(page, 'Find', name.toLowerCase());
  await press(page, 'Search Orders');
  await screenshot(page, 'order-search');
  assert.match(await text(page), new RegExp(`${want.length} orders? found for`));
  const listed = await page.locator('input[type=submit][name="OrderNo"]')
    .evaluateAll((buttons) => buttons.map((b) => b.value));
  assert.deepEqual([...listed].sort(), want);

  // The export of what the search found: a CSV file with those orders.
  const [download] = await Promise.all([
    page.waitForEvent('download'),
    page.locator('input[type=submit][name="Export"][value="Export Orders (CSV)"]').click(),
  ]);
  assert.match(download.suggestedFilename(), /^DEMO-\d{8}\.csv$/);
  const csv = fs.readFileSync(await download.path(), 'utf8');
  assert.ok(csv.startsWith('\ufeffOrder No,Date,'), csv.slice(0, 80));
  const exported = csv.trim().split('\r\n').slice(1).map((line) => line.split(',')[0]);
  assert.deepEqual([...exported].sort(), want);

  // An order printed as a packing slip, in a window of its own.
  await press(page, listed[0], 'OrderNo');
  const [slip] = await Promise.all([
    context.waitForEvent('page'),
    page.locator('input[type=submit][value="Printable Packing Slip"]').click(),
  ]);
  await slip.waitForLoadState('load');
  await screenshot(slip, 'packing-slip');
  const shown = await text(slip);
  assert.match(shown, new RegExp(`Packing Slip Order ${listed[0]}`));
  assert.ok(shown.includes(name), shown);
  for (const item of readTable(installation.dataDir, 'orditems', 'DEMO')
    .filter((i) => i.orderno.trim() === listed[0])) {
    assert.ok(shown.includes(item.item.trim()), `item ${item.item}`);
  }
  assert.doesNotMatch(shown, /Back To Client Editor/);
});
