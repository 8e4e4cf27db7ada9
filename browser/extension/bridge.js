// The extension's side in the page: passes the page's requests to the service worker over one
// port (one host, so one engine, per page) and hands the answers back. Only the id, the
// operation's name and its arguments cross; anything else the page puts in a request, an
// "origin" included, is dropped.
(() => {
  const runtime = (typeof browser !== "undefined" ? browser : chrome).runtime;
  let port = null;

  function answer(id, body) {
    window.postMessage({ channel: "zyqsec-answer", id, answer: body }, window.location.origin);
  }

  function connect() {
    port = runtime.connect({ name: "zyqsec" });
    port.onMessage.addListener((message) => {
      answer(message.id, {
        result: message.result,
        code: message.code,
        capi: message.capi,
        message: message.message,
      });
    });
    port.onDisconnect.addListener(() => {
      port = null;
    });
  }

  window.addEventListener("message", (event) => {
    if (event.source !== window || event.origin !== window.location.origin) return;
    const data = event.data;
    if (!data || data.channel !== "zyqsec-request") return;
    if (typeof data.id !== "number" || typeof data.op !== "string" || !Array.isArray(data.args)) {
      return;
    }
    if (port === null) connect();
    port.postMessage({ id: data.id, op: data.op, args: data.args });
  });
})();
