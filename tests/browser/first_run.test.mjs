// A new administrator on an empty installation: the first admin password, the first client, its
// first password, the editor; then a wrong admin password is refused and stores nothing.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import {
  pageTest, field, press, readTable, screenshot, snapshot, text, useInstallation,
} from './harness.mjs';

const installation = useInstallation('first-run', { store: false });

pageTest('first admin password, a new client with its first password, and the editor opens', async (t, context) => {
  const page = await context.newPage();
  await page.goto(installation.url);
  assert.match(await text(page), /You currently have no clients setup in Tulvar/);
  await press(page, 'Add Client');
  assert.match(await text(page), /Enter New Admin Password/);
  await field(page, 'NewPassword').fill('Harbor9');
  await field(page, 'ConfirmPassword').fill('Harbor9');
  await press(page, 'Save Password');
  assert.match(await text(page), /Password Accepted/);
  // Stored encoded: 15 characters, never the password itself.
  const stored = /^AdminPassword=(.*)$/m.exec(fs.readFileSync(installation.ini, 'latin1'));
  assert.equal(stored?.[1].replace(/\r$/, '').length, 15);
  assert.doesNotMatch(stored[1], /HARBOR9/i);

  // The code and the client's first password go in one form: no client is left without one.
  await press(page, 'Click Here To Continue Add A Client');
  await field(page, 'NewClient').fill('shop-1');
  await field(page, 'Password1').fill('Tide42');
  await field(page, 'Password2').fill('Tide42');
  await press(page, 'Add Client');
  assert.match(await text(page), /Current Client: SHOP1/);
  await screenshot(page, 'first-client-editor');

  const [client] = readTable(installation.dataDir, 'client', 'SHOP1');
  assert.equal(client.password.length, 15);
  assert.notEqual(client.password, 'TIDE42');
  assert.equal(readTable(installation.dataDir, 'payment', 'SHOP1').length, 1);

  // The client list now offers the client, and its password opens the editor again.
  await page.goto(installation.url);
  await field(page, 'Client').selectOption('SHOP1');
  await press(page, 'Choose Client');
  await field(page, 'ClientPassword').fill('tide42');
  await press(page, 'OK');
  assert.match(await text(page), /Current Client: SHOP1/);
});

pageTest('a wrong admin password is refused and stores nothing', async (t, context) => {
  const page = await context.newPage();
  // The first request of an installation gives the empty client code its payment row (as the
  // dispatcher does for any code without one): look at the files after it.
  await page.goto(installation.url);
  const before = snapshot(installation.dataDir);
  const settingsBefore = fs.readFileSync(installation.ini, 'latin1').replace(/\[Debug\][^[]*/, '');

  await press(page, 'Configuration', 'Action');
  assert.match(await text(page), /Enter Admin Password/);
  await field(page, 'AdminPassword').fill('not-it');
  await press(page, 'OK');
  assert.match(await text(page), /Invalid Password/);
  assert.doesNotMatch(await text(page), /Password Accepted/);

  // A forged save of the configuration and of a new admin password, with a wrong password.
  const forged = [
    { path: '', form: { Action: 'Save Configuration', SaveTab: 'Configuration',
      AdminPassword: 'WRONGWRONGWRONG', MailServer: 'mail.forged.example', Log: '0' } },
    { path: '/SaveAdminPassword', form: { AdminPassword: 'not-it', NewPassword: 'taken',
      ConfirmPassword: 'taken' } },
  ];
  for (const { path, form } of forged) {
    const answer = await page.request.post(installation.url + path, { form });
    assert.equal(answer.status(), 200);
    assert.doesNotMatch(await answer.text(), /Password Accepted|Configuration Saved/);
  }
  assert.deepEqual(snapshot(installation.dataDir), before);
  const settingsAfter = fs.readFileSync(installation.ini, 'latin1').replace(/\[Debug\][^[]*/, '');
  assert.equal(settingsAfter, settingsBefore);
});
