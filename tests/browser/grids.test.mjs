// The Tax and Shipping grids: two rows added, one cleared, saved; the table holds exactly the
// rows the page showed, and a reload shows them again.
import assert from 'node:assert/strict';
import {
  pageTest, fieldValue, openEditor, press, readTable, setField, useInstallation,
} from './harness.mjs';

const installation = useInstallation('grids', { store: true });

async function openTab(context, caption) {
  const page = await context.newPage();
  await openEditor(page, installation, 'DEMO', installation.clientPassword);
  await press(page, caption, 'TabName');
  return page;
}

async function setRow(page, fields) {
  for (const [name, value] of Object.entries(fields)) await setField(page, name, value);
}

pageTest('tax grid: add two rows, clear one, save', async (t, context) => {
  const page = await openTab(context, '        Tax         ');
  // The demo store's rows: WA, CA, NY, TX, then five empty rows.
  assert.equal(await fieldValue(page, 'State2'), 'CA');
  assert.equal(await fieldValue(page, 'State5'), '');
  await setRow(page, { State5: 'NV', TaxRate5: '0.0685', TaxShip5: true });
  await setRow(page, { State6: 'IL', TaxRate6: '0.0625' });
  await setField(page, 'State2', '');
  await press(page, 'Save Tax Tab', 'Action');

  const rows = readTable(installation.dataDir, 'tax', 'DEMO')
    .map((r) => [r.state, r.taxrate, r.taxship]);
  assert.deepEqual(rows, [['WA', 0.065, true], ['NY', 0.04, true], ['TX', 0.0625, false],
    ['NV', 0.0685, true], ['IL', 0.0625, false]]);
  const again = await openTab(context, '        Tax         ');
  const shown = [];
  for (let n = 1; n <= 6; ++n) {
    shown.push([await fieldValue(again, `State${n}`), await fieldValue(again, `TaxRate${n}`),
      await fieldValue(again, `TaxShip${n}`)]);
  }
  assert.deepEqual(shown, [['WA', '0.065', true], ['NY', '0.04', true], ['TX', '0.0625', false],
    ['NV', '0.0685', true], ['IL', '0.0625', false], ['', '0', false]]);
});

pageTest('shipping grid: add two rows, clear one, save', async (t, context) => {
  const page = await openTab(context, '    Shipping   ');
  // The first shipping type, Ground, with its three ranges, then empty rows.
  assert.equal(await fieldValue(page, 'ShipName'), 'Ground');
  assert.equal(await fieldValue(page, 'to2'), '75');
  await setRow(page, { from4: '100000', to4: '200000', value4: '12.95' });
  await setRow(page, { from5: '200000.01', to5: '300000', value5: '15' });
  await setRow(page, { from2: '0', to2: '0', value2: '0' });
  await press(page, 'Save Shipping Tab', 'Action');

  const grid = readTable(installation.dataDir, 'shipping', 'DEMO');
  assert.deepEqual(
    grid.filter((r) => r.shipname === 'Ground').map((r) => [r.from, r.to, r.value]),
    [[0, 25, 4.95], [75.01, 99999, 9.95], [100000, 200000, 12.95], [200000.01, 300000, 15]]);
  assert.equal(grid.filter((r) => r.shipname === 'Express').length, 2);
  const again = await openTab(context, '    Shipping   ');
  assert.equal(await fieldValue(again, 'from2'), '75.01');
  assert.equal(await fieldValue(again, 'value4'), '15');
  assert.equal(await fieldValue(again, 'to5'), '0');
});
