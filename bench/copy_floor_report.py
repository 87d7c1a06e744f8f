#!/usr/bin/env python3
"""The figures of bench/copy_floor.sh, from the files its runs leave behind.

    copy_floor_report.py line RUN_FOLDER      one run on one line
    copy_floor_report.py table RESULTS_FOLDER the markdown tables of every run
    copy_floor_report.py check RESULTS_FOLDER exit status 1 if a run failed

A run folder (RESULTS_FOLDER/runs/<setting>.<workload>.<program>.<repetition>) holds
program.out (key=value lines of pelkostopwatch or minimalcopy), devicesim.out
(devicesim's counters, printed on Ctrl+C) and run.env (the run's status,
whether every file arrived intact, the workload's files and bytes, the link
options).

The link minimum of a run is the sum over its requests of the time that
devicesim's throttle models for one: the latency plus the request's and the
answer's frames (each a 4-byte length and its payload) over the rate.
devicesim's bytes in and out count those frames and leave out the handshake,
which is not throttled; so the minimum is
    requests x latency + (bytes in + bytes out) / rate,
with requests counted without the handshake.
"""
import os
import re
import sys

SETTINGS = ["unthrottled", "usb-250k", "usb-1m"]
WORKLOADS = ["one-file", "small-files", "mixed"]
MB = 1e6
MiB_OVER_KiB = 1024


def key_values(path):
    values = {}
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if "=" in line:
                key, value = line.rstrip("\n").split("=", 1)
                values[key.strip()] = value.strip()
    return values


def counters(path):
    """Requests per kind, bytes in and out and the peak working set (KiB)."""
    kinds, totals = {}, {}
    seen = False
    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith("devicesim counters:"):
                seen, kinds, totals = True, {}, {}
                continue
            if not seen:
                continue
            m = re.match(r"\s+(.+?)\s+(\d+)( KiB)?\s*$", line)
            if not m:
                continue
            name, value = m.group(1), int(m.group(2))
            if name in ("malformed", "refused paths", "bytes in", "bytes out",
                        "peak working set"):
                totals[name] = value
            else:
                kinds[name] = value
    return kinds, totals


def link_options(text):
    rate = re.search(r"--rate (\d+)", text)
    latency = re.search(r"--latency-ms (\d+)", text)
    return (int(rate.group(1)) if rate else 0, int(latency.group(1)) if latency else 0)


def load_run(folder):
    run = key_values(os.path.join(folder, "run.env"))
    program = key_values(os.path.join(folder, "program.out"))
    kinds, totals = counters(os.path.join(folder, "devicesim.out"))
    setting, workload, name, _ = os.path.basename(folder).split(".")
    r = {
        "setting": setting,
        "workload": workload,
        "program": name,
        "ok": run.get("status") == "0" and run.get("intact") == "yes",
        "intact": run.get("intact") == "yes",
        "files": int(run.get("files", "0")),
        "bytes": int(run.get("bytes", "0")),
        "scale": run.get("scale", ""),
        "kinds": kinds,
        "devicesim_peak_kib": totals.get("peak working set"),
    }
    def number(key):
        try:
            value = float(program[key])
        except (KeyError, ValueError):
            return None
        return value if value >= 0 else None  # -1: never seen

    # pelko: the whole run ends when the final box shows; the copy phase is
    # from the first percentage to the box. The client times its copy itself.
    r["whole_s"] = number("box_s") if name == "pelko" else None
    r["copy_s"] = number("copy_s")
    r["time_s"] = r["copy_s"]
    r["peak_kib"] = number("peak_working_set_kib")
    rate, latency = link_options(run.get("link", ""))
    r["rate"], r["latency_ms"] = rate, latency
    requests = sum(n for kind, n in kinds.items() if kind != "Hello")
    r["requests"] = requests
    if rate and "bytes in" in totals and "bytes out" in totals:
        frames = totals["bytes in"] + totals["bytes out"]
        r["link_min_s"] = requests * latency / 1000 + frames / rate
    else:
        r["link_min_s"] = None
    return r


def per_file(r):
    files = max(r["files"], 1)
    parts = []
    for kind, n in sorted(r["kinds"].items(), key=lambda kv: -kv[1]):
        if kind == "Hello":
            continue
        value = n / files
        parts.append(f"{kind} {value:,.0f}" if value >= 100 else f"{kind} {value:.3g}")
    return ", ".join(parts)


def fmt(value, digits=2, suffix="", sign=""):
    return "n/a" if value is None else f"{value:{sign}.{digits}f}{suffix}"


def mb_per_s(r, seconds):
    return None if not seconds else r["bytes"] / MB / seconds


def over(time_s, minimum):
    if time_s is None or not minimum:
        return None
    return (time_s / minimum - 1) * 100


def mib(kib):
    return None if kib is None else kib / MiB_OVER_KiB


def describe(r):
    words = []
    if r["program"] == "pelko":
        words.append(f"whole {fmt(r['whole_s'])} s, copy phase {fmt(r['copy_s'])} s")
        main = r["whole_s"]
    else:
        words.append(f"copy {fmt(r['copy_s'])} s")
        main = r["copy_s"]
    words.append(f"{fmt(mb_per_s(r, r['time_s']))} MB/s")
    if r["link_min_s"] is not None:
        words.append(f"link minimum {fmt(r['link_min_s'])} s ({fmt(over(main, r['link_min_s']), 0, '%', '+')})")
    words.append(f"peak {fmt(mib(r['peak_kib']), 1)} MiB, devicesim {fmt(mib(r['devicesim_peak_kib']), 1)} MiB")
    words.append(f"{r['requests']} requests: {per_file(r)} per file")
    words.append("intact" if r["intact"] else "NOT INTACT")
    return "; ".join(words)


def all_runs(results):
    base = os.path.join(results, "runs")
    return [load_run(os.path.join(base, name)) for name in sorted(os.listdir(base))]


def runs(results):
    """Per setting, workload and program: the repetition of median time (the
    lower middle one of an even count), with the count of repetitions and
    whether all of them copied every file intact."""
    groups = {}
    for r in all_runs(results):
        groups.setdefault((r["setting"], r["workload"], r["program"]), []).append(r)
    found = {}
    for key, group in groups.items():
        timed = sorted(group, key=lambda r: float("inf") if r["time_s"] is None else r["time_s"])
        median = dict(timed[(len(timed) - 1) // 2])
        median["repetitions"] = len(group)
        median["intact"] = all(r["intact"] for r in group)
        median["ok"] = all(r["ok"] for r in group)
        found[key] = median
    return found


def machine(results):
    path = os.path.join(results, "machine.env")
    return key_values(path) if os.path.exists(path) else {}


def table(results):
    found = runs(results)
    m = machine(results)
    out = []
    out.append(f"Measured {m.get('date', '?')} on {m.get('cpu', '?')}, {m.get('cores', '?')} cores, "
               f"Linux {m.get('kernel', '?')}, {m.get('wine', '?')}; load average "
               f"{m.get('load_start', '?')} at the start, {m.get('load_end', '?')} at the end.")
    out.append("")
    counts = sorted({r["repetitions"] for r in found.values()})
    if counts and counts != [1]:
        out.append(f"Each figure is from the run of median time of {'/'.join(map(str, counts))} "
                   "repetitions.")
        out.append("")
    out.append("Times in seconds, MB = 10^6 bytes. pelko: whole run (start to final box) and copy "
               "phase (first percentage to final box); client: minimalcopy's copy. Ratio: pelko's "
               "copy phase / client. Over the link minimum: pelko's whole run and the client's copy "
               "against the modelled time of their own requests (pelko's whole run holds 0.7 s of "
               "its own waits before the copy, and its copy phase starts once the first block is "
               "on the device). Peak working sets in MiB.")
    out.append("")
    out.append("| setting | workload | files | MB | pelko whole | pelko copy | client | ratio | "
               "pelko MB/s | client MB/s | link min pelko / client | pelko over min | "
               "client over min | pelko peak | devicesim peak pelko / client | intact |")
    out.append("|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|")
    rows = []
    for setting in SETTINGS:
        for workload in WORKLOADS:
            p = found.get((setting, workload, "pelko"))
            c = found.get((setting, workload, "client"))
            if not p or not c:
                continue
            rows.append((setting, workload, p, c))
            ratio = p["copy_s"] / c["copy_s"] if p["copy_s"] and c["copy_s"] else None
            scale = "" if p["scale"] == "full" else " (scaled)"
            throttled = p["link_min_s"] is not None
            out.append(
                f"| {setting} | {workload}{scale} | {p['files']} | {p['bytes'] / MB:.1f} | "
                f"{fmt(p['whole_s'])} | {fmt(p['copy_s'])} | {fmt(c['copy_s'])} | {fmt(ratio)} | "
                f"{fmt(mb_per_s(p, p['copy_s']))} | {fmt(mb_per_s(c, c['copy_s']))} | "
                + (f"{fmt(p['link_min_s'])} / {fmt(c['link_min_s'])} | "
                   f"{fmt(over(p['whole_s'], p['link_min_s']), 0, '%', '+')} | "
                   f"{fmt(over(c['copy_s'], c['link_min_s']), 0, '%', '+')} | " if throttled else
                   "– | – | – | ")
                + f"{fmt(mib(p['peak_kib']), 1)} | "
                f"{fmt(mib(p['devicesim_peak_kib']), 1)} / {fmt(mib(c['devicesim_peak_kib']), 1)} | "
                f"{'yes' if p['intact'] and c['intact'] else 'NO'} |")
    out.append("")
    out.append("Device requests per file, by kind (devicesim's counters over the whole run "
               "divided by the update's files; the handshake left out):")
    out.append("")
    out.append("| setting | workload | pelko | client |")
    out.append("|---|---|---|---|")
    for setting, workload, p, c in rows:
        out.append(f"| {setting} | {workload} | {per_file(p)} | {per_file(c)} |")
    return "\n".join(out)


def main(argv):
    if len(argv) != 3 or argv[1] not in ("line", "table", "check"):
        print(__doc__, file=sys.stderr)
        return 2
    if argv[1] == "line":
        print(describe(load_run(argv[2])))
        return 0
    if argv[1] == "table":
        print(table(argv[2]))
        return 0
    failed = [f"{r['setting']} {r['workload']} {r['program']}" for r in all_runs(argv[2])
              if not r["ok"]]
    for name in failed:
        print(f"copy_floor: the run {name} failed or did not copy every file intact",
              file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
