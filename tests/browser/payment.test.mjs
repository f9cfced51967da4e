// The Payment tab's item editor: what the page script composes in the browser must arrive in
// table payment exactly, field by field; "Set Payment Values To Default" puts the defaults back.
import assert from 'node:assert/strict';
import {
  browser, pageTest, fieldValue, openEditor, press, readTable, screenshot, setField, text,
  useInstallation,
} from './harness.mjs';

const installation = useInstallation('payment', { store: true });

const payment = () => readTable(installation.dataDir, 'payment', 'DEMO')[0];

async function openPaymentTab(context) {
  const page = await context.newPage();
  await openEditor(page, installation, 'DEMO', installation.clientPassword);
  await press(page, '   Payment    ', 'TabName');
  return page;
}

// Picks an item in the list: the page script stores the item being left into its hidden
// definition and loads the new one into the editor.
async function chooseItem(page, list, column) {
  await page.locator(`select[name="${list}"]`).selectOption(column);
}

pageTest('a billing item edited in the browser is stored exactly as defined', async (t, context) => {
  const page = await openPaymentTab(context);
  await screenshot(page, 'tab-Payment-Billing');
  await chooseItem(page, 'BillingItems', 'B_LName');
  assert.equal(await fieldValue(page, 'B_Text'), 'Last Name');
  await setField(page, 'B_Text', 'Surname');
  await setField(page, 'B_Required', 'No');
  await setField(page, 'B_Width', '25');
  await setField(page, 'B_Type', 'Drop Down List');
  await chooseItem(page, 'BillingItems', 'B_City');
  await press(page, 'Save', 'BillingAction');

  const row = payment();
  assert.equal(row.b_lname, 'LName~Yes~No~3~Surname~25~-1~Arial,Helvetica~~No~No~~Drop Down List');
  // The item shown first was composed from the editor too; its empty type became "Text Box".
  assert.equal(row.b_fname, 'FName~Yes~Yes~2~First Name~30~-1~Arial,Helvetica~~No~No~~Text Box');
  assert.equal(row.b_zip, 'Zip~Yes~Yes~9~Zip~30~-1~Arial,Helvetica~~No~No~~');
  // The page comes back on the item that was chosen last.
  assert.equal(await fieldValue(page, 'B_Text'), 'City');
  await chooseItem(page, 'BillingItems', 'B_LName');
  assert.equal(await fieldValue(page, 'B_Text'), 'Surname');
  assert.equal(await fieldValue(page, 'B_Type'), 'Drop Down List');
});

pageTest('a payment item keeps its two extra fields, pay method and card validation', async (t, context) => {
  const page = await openPaymentTab(context);
  await press(page, 'Payment Information', 'PaymentTab');
  await screenshot(page, 'tab-Payment-Payment');
  await chooseItem(page, 'PaymentItems', 'Visa');
  await setField(page, 'P_Text', 'Visa Card');
  await setField(page, 'P_PaymentMethod', 'No');
  await setField(page, 'P_CCValidation', 'Not Blank');
  await setField(page, 'NoInfoTxt', '(missing)');
  await chooseItem(page, 'PaymentItems', 'AMEX');
  await press(page, 'Save', 'PaymentAction');

  const row = payment();
  assert.equal(row.visa,
    'Visa~Yes~Yes~3~Visa Card~30~-1~Arial,Helvetica~~No~No~~Text Box~No~Not Blank');
  // The item on screen when Save was pressed is composed from the editor as well.
  assert.equal(row.amex,
    'Amex~Yes~Yes~5~American Express~30~-1~Arial,Helvetica~~No~No~~Text Box~Yes~AMEX');
  assert.equal(row.mastercard,
    'Mastercard~Yes~Yes~2~Mastercard~30~-1~Arial,Helvetica~~No~No~~~Yes~Mastercard');
  assert.equal(readTable(installation.dataDir, 'client', 'DEMO')[0].noinfotxt, '(missing)');
  // Billing definitions saved earlier are untouched by a save of another sub-tab.
  assert.match(row.b_lname, /~Surname~/);
});

// The reset replaces all three groups: the page script asks first, and a browser without script
// gets a page that asks.
pageTest('"Set Payment Values To Default" asks, then puts every group back', async (t, context) => {
  const page = await openPaymentTab(context);
  await setField(page, 'B_Text', 'Ignored');
  const before = payment();
  let asked = '';
  page.once('dialog', (dialog) => { asked = dialog.message(); dialog.dismiss(); });
  await press(page, 'Set Payment Values To Default', 'BillingAction');
  assert.match(asked, /Billing Information, Shipping Information and Payment Information/);
  assert.deepEqual(payment(), before);
  assert.equal(await fieldValue(page, 'B_Text'), 'Ignored');  // still the same page

  page.once('dialog', (dialog) => dialog.accept());
  await press(page, 'Set Payment Values To Default', 'BillingAction');
  assert.match(await text(page), /Payment tab saved\./);
  assert.doesNotMatch(await text(page), /Keep The Current Values/);
  await screenshot(page, 'payment-reset-done');
  const row = payment();
  assert.equal(row.b_lname, 'LName~Yes~Yes~3~Last Name~30~-1~Arial,Helvetica~~No~No~~');
  assert.equal(row.b_fname, 'FName~Yes~Yes~2~First Name~30~-1~Arial,Helvetica~~No~No~~');
  assert.equal(row.visa, 'Visa~Yes~Yes~3~Visa~30~-1~Arial,Helvetica~~No~No~~~Yes~Visa');
  assert.equal(readTable(installation.dataDir, 'client', 'DEMO')[0].noinfotxt,
    '(empty required field)');
});

pageTest('without script the reset asks on a page of its own', async (t, withScript) => {
  // An edit made where the item editor works, for the reset to take away.
  const editor = await openPaymentTab(withScript);
  await setField(editor, 'B_Text', 'Kept');
  await press(editor, 'Save', 'BillingAction');
  const before = payment();
  assert.match(before.b_fname, /~Kept~/);

  const context = await (await browser()).newContext({ javaScriptEnabled: false });
  try {
    const page = await openPaymentTab(context);

    await press(page, 'Set Payment Values To Default', 'BillingAction');
    assert.match(await text(page),
      /Set Payment Values To Default\? .*Billing Information, Shipping Information and Payment Information/);
    await screenshot(page, 'payment-reset-confirm');
    assert.deepEqual(payment(), before);
    await press(page, 'Keep The Current Values');
    assert.equal(await fieldValue(page, 'B_Text'), 'Kept');
    assert.deepEqual(payment(), before);

    await press(page, 'Set Payment Values To Default', 'BillingAction');
    await press(page, 'Set Payment Values To Default', 'BillingAction');
    assert.match(await text(page), /Payment tab saved\./);
    assert.equal(payment().b_fname, 'FName~Yes~Yes~2~First Name~30~-1~Arial,Helvetica~~No~No~~');
  } finally {
    await context.close();
  }
});
