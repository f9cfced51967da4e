// The client editor on the demo store: every tab edited, saved and seen again after a reload;
// switching tabs stores the tab that was on screen; a window opened earlier overwrites nothing another
// window saved; a wrong client password stores nothing.
import assert from 'node:assert/strict';
import {
  pageTest, field, fieldValue, openEditor, press, readTable, screenshot, setField, snapshot, text,
  useInstallation,
} from './harness.mjs';

const installation = useInstallation('editor', { store: true });

// Each tab of the demo client with its button caption and the edits made on it. Texts carry
// quotes, "<" and "&", which must show and save back unchanged.
const tabs = [
  { name: 'General', caption: '    General     ', edits: {
    Name: 'Harbor & Sons "Goods"', Addr1: '1 Pier <Road>', City: 'Astoria', Zip: '',
    Local: true, Email: 'shop@harbor.example' } },
  { name: 'Tulvar', caption: '      Tulvar      ', edits: {
    UseOptions: false, TITLETEXT: 'Harbor <Cart>', ORDERNO: '002000', PostReq: true,
    SecDomain: 'secure.harbor.example' } },
  { name: 'Customize', caption: '  Customize  ', edits: {
    UpdateBut: 'Refresh', TitlesBold: false, TableBord: '2', DollarSign: 'USD' } },
  { name: 'Customize 2', caption: 'Customize 2 ', edits: {
    BgClr: 'EEEEEE', HTMLHEADER: '<b>Welcome</b> & more', TotalsMes: 'Tax included.' } },
  { name: 'Tax', caption: '        Tax         ', edits: {
    TaxType: 'B', TaxRate: '0.05', BaseTaxOn: 'Country', DefaultTax: true } },
  { name: 'Shipping', caption: '    Shipping   ', edits: {
    Desc: 'Ground, 5 to 7 days', MarkUpPerc: '10' } },
  { name: 'Orders', caption: '     Orders      ', edits: {
    OutputDir: 'harbor-orders.txt', OFType: 'M', SendMail: true } },
];

async function expectEdits(page, tab) {
  for (const [name, value] of Object.entries(tab.edits)) {
    assert.equal(await fieldValue(page, name), value, `${tab.name}: ${name}`);
  }
}

pageTest('every tab: edit, save, and the values are there after a reload', async (t, context) => {
  const page = await context.newPage();
  await openEditor(page, installation, 'DEMO', installation.clientPassword);
  for (const tab of tabs) {
    if (tab.name !== 'General') await press(page, tab.caption, 'TabName');
    await screenshot(page, `tab-${tab.name.replace(' ', '-')}`);
    for (const [name, value] of Object.entries(tab.edits)) await setField(page, name, value);
    await press(page, `Save ${tab.name} Tab`, 'Action');
    assert.match(await text(page), /Current Client: DEMO/);
    await expectEdits(page, tab);
  }

  const again = await context.newPage();
  await openEditor(again, installation, 'DEMO', installation.clientPassword);
  for (const tab of tabs) {
    if (tab.name !== 'General') await press(again, tab.caption, 'TabName');
    await expectEdits(again, tab);
  }
  const [client] = readTable(installation.dataDir, 'client', 'DEMO');
  assert.equal(client.name, 'Harbor & Sons "Goods"');
  assert.equal(client.zip, '');
  assert.equal(client.useoptions, false);
  assert.equal(client.tablebord, 2);
  assert.equal(client.htmlheader, '<b>Welcome</b> & more');
  assert.equal(client.taxtype, 'B');
  assert.equal(client.oftype, 'M');
  const ground = readTable(installation.dataDir, 'shiptype', 'DEMO').find((r) => r.shipname === 'Ground');
  assert.equal(ground.desc, 'Ground, 5 to 7 days');
  assert.equal(ground.markupperc, 10);
});

pageTest('switching tabs stores the tab that was on screen first', async (t, context) => {
  const page = await context.newPage();
  await openEditor(page, installation, 'DEMO', installation.clientPassword);
  await setField(page, 'Phone', '503-555-0199');
  await press(page, tabs[1].caption, 'TabName');
  // The Tulvar tab is drawn, and the General tab's change is already stored.
  assert.equal(await field(page, 'Phone').count(), 0);
  assert.equal(readTable(installation.dataDir, 'client', 'DEMO')[0].phone, '503-555-0199');
  await setField(page, 'TITLETEXT', 'Switched');
  await press(page, tabs[0].caption, 'TabName');
  assert.equal(await fieldValue(page, 'Phone'), '503-555-0199');
  assert.equal(readTable(installation.dataDir, 'client', 'DEMO')[0].titletext, 'Switched');
});

pageTest('a save that stored something says so; one that stored nothing says nothing', async (t, context) => {
  const page = await context.newPage();
  await openEditor(page, installation, 'DEMO', installation.clientPassword);
  // The page's values posted back unchanged store nothing.
  await press(page, 'Save General Tab', 'Action');
  assert.doesNotMatch(await text(page), /tab saved/);
  await setField(page, 'Phone', '503-555-0123');
  await press(page, 'Save General Tab', 'Action');
  assert.match(await text(page), /Current Client: DEMO (You have \d+ new orders\. )?General tab saved\./);
  await screenshot(page, 'saved-general');
  // A tab button stores the tab on screen first and says so on the tab it opens.
  await setField(page, 'Fax', '503-555-0124');
  await press(page, tabs[4].caption, 'TabName');
  assert.match(await text(page), /General tab saved\./);
  assert.equal(await field(page, 'TaxRate').count(), 1);
  await screenshot(page, 'saved-general-on-switch-to-tax');
  await press(page, 'Save Tax Tab', 'Action');
  assert.doesNotMatch(await text(page), /tab saved/);
});

pageTest('a window opened earlier keeps what another window saved and names a clash', async (t, context) => {
  const first = await context.newPage();
  await openEditor(first, installation, 'DEMO', installation.clientPassword);
  const second = await context.newPage();
  await openEditor(second, installation, 'DEMO', installation.clientPassword);
  await setField(second, 'Fax', '222-2222');
  await press(second, 'Save General Tab', 'Action');
  // The first window only switches tab: its stale Fax stores nothing.
  await press(first, tabs[4].caption, 'TabName');
  assert.equal(readTable(installation.dataDir, 'client', 'DEMO')[0].fax, '222-2222');
  assert.doesNotMatch(await text(first), /tab saved/);

  // Both windows change Fax on pages drawn with 222-2222; the later one is told and stores nothing.
  await press(first, tabs[0].caption, 'TabName');
  await setField(second, 'Fax', '333-3333');
  await press(second, 'Save General Tab', 'Action');
  await setField(first, 'Fax', '444-4444');
  await press(first, 'Save General Tab', 'Action');
  assert.match(await text(first), /Changed elsewhere since this page was drawn/);
  assert.match(await text(first), /Fax: stored "333-3333", this page "444-4444"/);
  assert.equal(await fieldValue(first, 'Fax'), '333-3333');
  assert.equal(readTable(installation.dataDir, 'client', 'DEMO')[0].fax, '333-3333');
  await screenshot(first, 'changed-elsewhere');
});

pageTest('a wrong client password is refused and stores nothing', async (t, context) => {
  const page = await context.newPage();
  // After the installation's first request, which gives the empty client code its payment row.
  await page.goto(installation.url);
  const before = snapshot(installation.dataDir);
  await openEditor(page, installation, 'DEMO', 'wrong-one');
  assert.match(await text(page), /Invalid Password/);
  assert.doesNotMatch(await text(page), /Current Client/);

  // A forged save of the General tab and of a new client password.
  const forged = [
    { path: '/LoadTab', form: { Client: 'DEMO', ClientPassword: 'wrong-one',
      ClientPasswordNotEncrypted: 'Y', SaveTab: 'General', TabName: 'General', Name: 'Forged' } },
    { path: '/SaveClientPassword', form: { Client: 'DEMO', ClientPassword: 'wrong-one',
      NewPassword: 'taken', ConfirmPassword: 'taken' } },
  ];
  for (const { path, form } of forged) {
    const answer = await page.request.post(installation.url + path, { form });
    assert.equal(answer.status(), 200);
    assert.doesNotMatch(await answer.text(), /Password Accepted|Current Client/);
  }
  assert.deepEqual(snapshot(installation.dataDir), before);
});
