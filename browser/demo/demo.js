// The demonstration: every step is one call of the component through window.zyqsec.
const PROVIDER = "Microsoft Enhanced Cryptographic Provider v1.0";
const FIND_CONTAINS = 0x8;
const REGISTER_SILENTLY = 3;
const SIGN_ANSI_TEXT = 0x800;
const PKCS7_SIGNING_TIME = 0x2000;

function show(text, ok) {
  const li = document.createElement("li");
  li.textContent = text;
  li.className = ok ? "ok" : "failed";
  document.getElementById("steps").append(li);
}

async function step(title, op, ...args) {
  const answer = await window.zyqsec.call(op, ...args);
  const ok = answer.code === 0;
  const system = answer.capi ? `, system error 0x${(answer.capi >>> 0).toString(16).padStart(8, "0")}` : "";
  show(`${title}: ${op} → ${answer.code} ${answer.message}${system}`, ok);
  if (!ok) throw new Error(`${op} failed with ${answer.code}`);
  return answer.result;
}

async function run() {
  const user = document.getElementById("user").value;
  const order = document.getElementById("order").value;
  const password = document.getElementById("password").value;
  document.getElementById("steps").textContent = "";
  document.body.dataset.state = "running";
  try {
    await step("Component", "GetVersion");
    await step("Key provider", "SetProviderName", PROVIDER);
    await step("Key size", "SetKeyBits", 2048);
    const request = await step("PKCS#10 request", "CreatePKCS10", user);
    const answer = await step("Demonstration authority", "DemoIssue", request);
    await step("Certificate installed", "AcceptPKCS7", answer);
    const folder = await step("Certificate folder", "GetDefaultCertPath");
    await step("Key exported", "ExportPfxFromIE", "CN=" + user, folder, password, FIND_CONTAINS, 0);
    const file = await step("File name", "GetExportedPfxFileName");
    await step("Registered", "RegisterPfx", folder, file, password, REGISTER_SILENTLY, 0, 0);
    const signature = await step("Order signed", "SignPkcs7", user, order,
                                 SIGN_ANSI_TEXT | PKCS7_SIGNING_TIME, 0);
    const subject = await step("Signer", "GetCertSubject");
    document.getElementById("signature").textContent = signature;
    document.getElementById("signer").textContent = "Signed by " + subject;
    document.getElementById("status").textContent = "Signed.";
    document.body.dataset.state = "signed";
  } catch (error) {
    document.getElementById("status").textContent = error.message;
    document.body.dataset.state = "failed";
  }
}

function start() {
  document.getElementById("run").addEventListener("click", run);
  if (new URLSearchParams(window.location.search).has("run")) run();
}

if (window.zyqsec) {
  start();
} else {
  document.body.dataset.state = "waiting";
  window.addEventListener("zyqsec-ready", start, { once: true });
  // Without the extension the page says so.
  setTimeout(() => {
    if (!window.zyqsec) {
      document.getElementById("status").textContent = "The ZYQSecuritiesATL extension is not installed.";
      document.body.dataset.state = "no-extension";
    }
  }, 3000);
}
