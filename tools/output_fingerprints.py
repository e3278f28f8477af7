"""Fingerprints of the files that report, wells and reanalyze write.

Usage: output_fingerprints.py ORBELUNE-CLI GENERATED-DATA-FOLDER > tests/cli/output_bytes_expected.inc

GENERATED-DATA-FOLDER is the recording that tests/cli/output_bytes_test.cpp
generates, kept with ORB_KEEP_GENERATED_RECORDING=DIR. Each command runs on a
fresh copy; every file it adds or changes is listed as "length:FNV-1a" after
the data folder's path, the report's date and the time stamps are masked, as
the test masks them.
"""
import os, re, shutil, subprocess, sys, tempfile
CLI = sys.argv[1]
GEN = sys.argv[2]
ACQ = 'p00001/20240131_0905'
cases = [
 ("report defaults", ["report"]),
 ("report list txt with every statistic", ["report", "--bin", "60", "--layout", "list", "--type", "txt", "--stats", "se,sd,n,median"]),
 ("report well array", ["report", "--layout", "warray", "--bin", "30"]),
 ("report channel array", ["report", "--layout", "charray", "--spacer", ";"]),
 ("wells with time", ["wells", "--bin", "30"]),
 ("wells without time", ["wells", "--no-time", "--bin", "60"]),
 ("reanalyze method 0 replace", ["reanalyze", "--method", "0", "--snr", "2.5", "--replace"]),
 ("reanalyze method 2 zebrafish export", ["reanalyze", "--method", "2", "--organism", "1", "--hours", "1", "--export-raw"]),
]
def fnv(b):
    h = 14695981039346656037
    for c in b:
        h ^= c; h = (h * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return h
def normalise(b, root):
    b = b.replace(root.encode(), b"<DATA>")
    # The settings of the generated recording name the folder it was made in.
    b = re.sub(rb'/tmp/orbelune-test-[0-9]+-[0-9]+', b"<DATA>", b)
    b = re.sub(rb'("DATE:"[^"]*)"[^"]*"', rb'\1"<NOW>"', b)
    return re.sub(rb'[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}', b'<TIME>', b)
def prints(root):
    d = {}
    for dp, dn, fn in os.walk(root):
        for f in fn:
            p = os.path.join(dp, f)
            b = normalise(open(p, 'rb').read(), root)
            d[os.path.relpath(p, root)] = "%d:%x" % (len(b), fnv(b))
    return d
before = prints(GEN)
out = []
for name, args in cases:
    t = tempfile.mkdtemp()
    shutil.copytree(GEN, t, dirs_exist_ok=True)
    env = dict(os.environ, LC_ALL="C")
    r = subprocess.run([CLI, "--data", t] + args + [os.path.join(t, ACQ)], env=env, capture_output=True)
    assert r.returncode == 0, (name, r.stderr)
    after = prints(t)
    exp = {k: v for k, v in after.items() if before.get(k) != v}
    items = ", ".join('{"%s", "%s"}' % (k, v) for k, v in sorted(exp.items()))
    argl = ", ".join('"%s"' % a for a in args)
    out.append('{"%s",\n {%s},\n {%s}},' % (name, argl, items))
    shutil.rmtree(t)
print("\n".join(out))
