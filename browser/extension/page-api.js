// The page's side: window.zyqsec.call(op, ...args) resolves with the host's answer
// {result, code, capi, message}. It runs in the page's own world and talks to the extension's
// bridge through window.postMessage; whatever the page adds to a request is dropped by the
// bridge, and the origin the host acts for comes from the browser, never from the page.
(() => {
  const pending = new Map();
  let nextId = 1;

  window.addEventListener("message", (event) => {
    if (event.source !== window || event.origin !== window.location.origin) return;
    const data = event.data;
    if (!data || data.channel !== "zyqsec-answer" || !pending.has(data.id)) return;
    const { resolve } = pending.get(data.id);
    pending.delete(data.id);
    resolve(data.answer);
  });

  const api = Object.freeze({
    call(op, ...args) {
      return new Promise((resolve) => {
        const id = nextId++;
        pending.set(id, { resolve });
        window.postMessage({ channel: "zyqsec-request", id, op, args }, window.location.origin);
      });
    },
  });
  Object.defineProperty(window, "zyqsec", { value: api, enumerable: true });
  window.dispatchEvent(new Event("zyqsec-ready"));
})();
