// Relays each page's requests to the native host. Every page port gets a host of its own (one
// engine per page), and every request carries the origin the browser reports for the page that
// sent it: the page cannot choose it.
const api = typeof browser !== "undefined" ? browser : chrome;
const HOST = "com.zyqsecurities.zyqsec";

function senderOrigin(sender) {
  if (sender.origin && sender.origin !== "null") return sender.origin;
  try {
    return new URL(sender.url).origin;
  } catch (e) {
    return null;
  }
}

function refusal(id, message) {
  return { id, result: null, code: 9001, capi: 0, message };
}

api.runtime.onConnect.addListener((page) => {
  if (page.name !== "zyqsec" || !page.sender || page.sender.id !== api.runtime.id) {
    page.disconnect();
    return;
  }
  const origin = senderOrigin(page.sender);
  if (!origin || !/^https?:\/\//.test(origin)) {
    page.onMessage.addListener((m) => page.postMessage(refusal(m.id, "no web origin")));
    return;
  }
  let host = null;
  const pending = new Set();
  function openHost() {
    host = api.runtime.connectNative(HOST);
    host.onMessage.addListener((answer) => {
      pending.delete(answer.id);
      page.postMessage(answer);
    });
    host.onDisconnect.addListener(() => {
      const error = api.runtime.lastError;
      host = null;
      // Requests the host did not answer get an answer all the same.
      const why = "the native host ended" + (error ? ": " + error.message : "");
      for (const id of pending) page.postMessage({ id, result: null, code: 9008, capi: 0, message: why });
      pending.clear();
    });
  }
  page.onMessage.addListener((message) => {
    if (host === null) openHost();
    pending.add(message.id);
    host.postMessage({ id: message.id, origin, op: message.op, args: message.args });
  });
  page.onDisconnect.addListener(() => {
    if (host !== null) host.disconnect();
  });
});
