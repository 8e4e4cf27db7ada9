#!/usr/bin/env python3
"""One user's scenario through each front-end in turn: the flat exports (zyqsec --batch), the
COM object (late binding through IDispatch) and the Java natives. Each front-end runs in a
fresh state folder of its own: a key and a PKCS#10 request, a certificate issued for it by a
test authority (openssl ca, fixed dates and serial), its installation, the export of the key to
a PKCS#12 file, the file's registration, PKCS#7 and PKCS#1 signatures, the queries after them
and some failures. The answers must agree call by call, apart from what a fresh key makes
unique (the request, the signatures, the certificate and its fingerprint), and each front-end's
own folder, which is shown as <home>.

Usage: scenario_agreement.py --zyqsec PATH --com-batch PATH --java PATH --classpath CP
       --library-dir DIR [--java-env NAME=VALUE ...]
"""
import argparse
import base64
import json
import os
import subprocess
import sys
import tempfile

USER = "A123456789"
PASSWORD = "Agree#2026"
PROVIDER = "Microsoft Enhanced Cryptographic Provider v1.0"
ORDER = "BUY 2330 1000 shares @ 580.00, account 9801-1234567"
# Results that a fresh key makes different in every run.
UNIQUE = {"CreatePKCS10", "SignPkcs7", "SignPkcs1", "GetRtnCert", "GetCertFinger"}
# Calls whose success the scenario needs; agreement on failures alone would prove little.
MUST_SUCCEED = {"AcceptPKCS7", "ExportPfxFromIE", "RegisterPfx", "QueryUserInfo",
                "SignPkcs7", "SignPkcs1"}

CA_CONFIG = """
[ca]
default_ca = test
[test]
dir = {dir}
database = {dir}/index.txt
serial = {dir}/serial
new_certs_dir = {dir}/issued
certificate = {dir}/ca.pem
private_key = {dir}/ca.key
default_md = sha256
policy = any
copy_extensions = none
unique_subject = no
[any]
commonName = supplied
"""


def run(command, **kwargs):
    done = subprocess.run(command, capture_output=True, **kwargs)
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} failed:\n{done.stderr.decode()}")
    return done


class Authority:
    """A certification authority made with the openssl command in a folder of its own."""

    def __init__(self, folder):
        self.dir = folder
        os.makedirs(f"{folder}/issued")
        open(f"{folder}/index.txt", "w").close()
        with open(f"{folder}/ca.cnf", "w") as f:
            f.write(CA_CONFIG.format(dir=folder))
        run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
             f"{folder}/ca.key", "-out", f"{folder}/ca.pem", "-subj", "/CN=Agreement Test CA",
             "-days", "3650"])

    def issue(self, request_base64, serial):
        request = f"{self.dir}/request.der"
        with open(request, "wb") as f:
            f.write(base64.b64decode(request_base64))
        run(["openssl", "req", "-inform", "DER", "-in", request, "-out", f"{self.dir}/req.pem"])
        # Every front-end gets the same serial: the authority forgets what it issued before.
        with open(f"{self.dir}/serial", "w") as f:
            f.write(f"{serial:04X}\n")
        open(f"{self.dir}/index.txt", "w").close()
        run(["openssl", "ca", "-batch", "-config", f"{self.dir}/ca.cnf", "-in",
             f"{self.dir}/req.pem", "-out", f"{self.dir}/user.pem", "-notext",
             "-startdate", "20260101000000Z", "-enddate", "20290101000000Z"])
        der = run(["openssl", "x509", "-in", f"{self.dir}/user.pem", "-outform", "DER"]).stdout
        return base64.b64encode(der).decode()


def scenario_after_issue(answer, home):
    export = f"{home}/export"
    return [
        ["AcceptPKCS7", answer],
        ["ExportPfxFromIE", f"CN={USER}", export, "", 8, 0],
        ["GetExportedPfxFilePath"],
        ["GetExportedPfxFileName"],
        ["RegisterPfx", export, f"{USER}.pfx", PASSWORD, 3, 0, 0],
        ["QueryUserInfo", USER],
        ["GetRegisterPfxFilePath"],
        ["GetRegisterPfxFileName"],
        ["GetRegisterUserMode"],
        ["SignPkcs7", USER, ORDER, 0x2000, 0],
        ["GetRtnCert"],
        ["GetCertSubject"],
        ["GetCertIssuer"],
        ["GetCertSerial"],
        ["GetCertFinger"],
        ["GetCertNotBefore"],
        ["GetCertNotAfter"],
        ["SignPkcs1", USER, ORDER, 0x100, 0],
        ["Hash", "委託單 " + ORDER, 3],
        ["SignPkcs7", "Z000000000", ORDER, 0, 0],
        ["GetErrorMsg"],
        ["QueryUserInfo", "Z000000000"],
        ["GetErrorMsg"],
        ["RegisterPfx", export, "missing.pfx", PASSWORD, 3, 0, 0],
        ["GetErrorMsg"],
        ["GetCapiErrorMsg"],
    ]


def run_front_end(name, driver, env, requests):
    lines = "".join(json.dumps(r, ensure_ascii=False) + "\n" for r in requests)
    done = subprocess.run(driver, input=lines.encode(), capture_output=True, env=env,
                          timeout=300)
    if done.returncode != 0:
        sys.exit(f"{name}: driver exited with {done.returncode}\n{done.stderr.decode()}")
    answers = [json.loads(line) for line in done.stdout.decode().splitlines()]
    if len(answers) != len(requests):
        sys.exit(f"{name}: {len(answers)} answers for {len(requests)} requests\n"
                 f"{done.stdout.decode()}{done.stderr.decode()}")
    for request, answer in zip(requests, answers):
        if "error" in answer:
            sys.exit(f"{name}: {request[0]} not run: {answer['error']}")
    return answers


def comparable(request, answer, home):
    shown = dict(answer)
    if shown["result"] is None:
        shown["result"] = ""  # Java answers null where the other two give empty text
    elif request[0] in UNIQUE and shown["result"] != "":
        shown["result"] = "<unique>"
    elif isinstance(shown["result"], str):
        shown["result"] = shown["result"].replace(home, "<home>")
    return shown


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--zyqsec", required=True)
    p.add_argument("--com-batch", required=True)
    p.add_argument("--java", required=True)
    p.add_argument("--classpath", required=True)
    p.add_argument("--library-dir", required=True)
    p.add_argument("--java-env", action="append", default=[])
    a = p.parse_args()

    java_env = dict(item.split("=", 1) for item in a.java_env)
    drivers = {
        "flat": ([a.zyqsec, "--batch"], {}),
        "COM": ([a.com_batch], {}),
        "Java": ([a.java, "-Xcheck:jni", f"-Djava.library.path={a.library_dir}", "-cp",
                  a.classpath, "JavaBatch"], java_env),
    }
    with tempfile.TemporaryDirectory() as root:
        authority = Authority(f"{root}/authority")
        outcomes = {}
        for name, (driver, extra) in drivers.items():
            home = f"{root}/{name}"
            for sub in ("state", "home", "tmp"):
                os.makedirs(f"{home}/{sub}")
            script = f"{home}/dialogs.script"
            with open(script, "w") as f:
                f.write(f"ok\tpassword={PASSWORD}\n")  # the export dialog
            env = dict(os.environ, ZYQSEC_HOME=f"{home}/state", HOME=f"{home}/home",
                       TMPDIR=f"{home}/tmp", ZYQSEC_UI=f"script:{script}", **extra)
            enroll = [["SetProviderName", PROVIDER], ["SetKeyBits", 1024],
                      ["CreatePKCS10", USER]]
            first = run_front_end(name, driver, env, enroll)
            if first[-1]["code"] != 0 or not first[-1]["result"]:
                sys.exit(f"{name}: CreatePKCS10 failed: {first[-1]}")
            answer = authority.issue(first[-1]["result"], 0x1001)
            rest = scenario_after_issue(answer, home)
            second = run_front_end(name, driver, env, rest)
            requests = enroll + rest
            answers = first + second
            for request, answer in zip(requests, answers):
                meant_to_fail = "Z000000000" in request or "missing.pfx" in request
                if request[0] in MUST_SUCCEED and not meant_to_fail and answer["code"] != 0:
                    sys.exit(f"{name}: {request[0]} failed: {answer}")
            outcomes[name] = [comparable(r, x, home) for r, x in zip(requests, answers)]

        reference = outcomes["flat"]
        disagreements = 0
        for name in ("COM", "Java"):
            for request, ours, theirs in zip(requests, reference, outcomes[name]):
                if ours != theirs:
                    disagreements += 1
                    print(f"{request[0]}: flat {ours} but {name} {theirs}")
        if disagreements:
            sys.exit(f"{disagreements} disagreement(s)")
        for request, outcome in zip(requests, reference):
            result = str(outcome["result"])
            print(f"  {request[0]:<24} code {outcome['code']:<5} "
                  f"{result[:60] + ('...' if len(result) > 60 else '')}")
        print(f"flat exports, COM and Java agree on all {len(reference)} calls of the scenario")


if __name__ == "__main__":
    main()
