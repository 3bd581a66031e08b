#!/usr/bin/env python3
"""Wall-clock seconds of velmora-cli ld with its defaults beside PLINK.

    speed.py [DIR] [VELMORA_CLI] [ROUNDS]     (defaults /tmp/velmora-ld, velmora-cli, 3)

The files: DIR/ld.bed (+ .bim, .fam) and DIR/ld.vcf, made by simulate_ld.py
when absent (50,000 SNPs, 2,000 samples, 5 kb apart on average, 1% of
calls missing: about 9.9 million pairs within 1000 kb). One run each, in
turn, ROUNDS times, best and worst printed:

    velmora-cli ld ld.bed > FILE       plink1.9 --bfile ld --r2 dprime ...
    velmora-cli ld ld.vcf > FILE       plink1.9 --vcf ld.vcf --r2 dprime ...

with PLINK's --ld-window-kb 1000 --ld-window 99999 --ld-window-r2 0, both
writing to a file in DIR. plink2 --r2-unphased is timed where the installed
PLINK 2 has it. Run it alone on the machine (under flock /work/build.lock):
the load average is printed before and after.
"""
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WINDOW = ['--ld-window-kb', '1000', '--ld-window', '99999', '--ld-window-r2', '0']


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else '/tmp/velmora-ld'
    cli = os.path.abspath(sys.argv[2]) if len(sys.argv) > 2 else 'velmora-cli'
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    os.makedirs(folder, exist_ok=True)
    os.chdir(folder)
    if not os.path.exists('ld.bed'):
        subprocess.run([sys.executable, os.path.join(HERE, 'simulate_ld.py'), 'ld', '--snps', '50000',
                        '--samples', '2000', '--spacing', '5000', '--missing', '0.01', '--seed', '3'], check=True)
    ours = 'velmora.out'
    runs = [
        ('velmora-cli ld ld.bed', [cli, 'ld', 'ld.bed'], ours),
        ('plink1.9 --bfile ld --r2 dprime', ['plink1.9', '--bfile', 'ld', '--keep-allele-order', '--r2', 'dprime']
         + WINDOW + ['--out', 'plink_bed'], None),
        ('velmora-cli ld ld.vcf', [cli, 'ld', 'ld.vcf'], ours),
        ('plink1.9 --vcf ld.vcf --r2 dprime', ['plink1.9', '--vcf', 'ld.vcf', '--keep-allele-order', '--r2',
                                              'dprime'] + WINDOW + ['--out', 'plink_vcf'], None),
    ]
    probe = subprocess.run(['plink2', '--bfile', 'ld', '--r2-unphased', '--out', 'plink2_probe'],
                           capture_output=True, text=True)
    if probe.returncode == 0:
        runs.append(('plink2 --bfile ld --r2-unphased', ['plink2', '--bfile', 'ld', '--r2-unphased', 'dprime']
                     + WINDOW + ['--out', 'plink2_bed'], None))
    else:
        print('plink2 has no --r2-unphased here: %s' % (probe.stdout + probe.stderr).strip().splitlines()[-1])
    times = {name: [] for name, _, _ in runs}
    print('load before: %s' % ' '.join(open('/proc/loadavg').read().split()[:3]))
    for _ in range(rounds):
        for name, command, output in runs:
            with open(output or os.devnull, 'wb') as out:
                start = time.perf_counter()
                subprocess.run(command, stdout=out, stderr=subprocess.DEVNULL, check=True)
                times[name].append(time.perf_counter() - start)
    print('load after:  %s' % ' '.join(open('/proc/loadavg').read().split()[:3]))
    pairs = sum(1 for _ in open('plink_bed.ld')) - 1
    print('%-40s %8s %8s %14s' % ('%d pairs' % pairs, 'best s', 'worst s', 'pairs/s'))
    for name, _, _ in runs:
        print('%-40s %8.2f %8.2f %14.0f' % (name, min(times[name]), max(times[name]), pairs / min(times[name])))
    for f in (ours,):
        if os.path.exists(f):
            os.remove(f)


if __name__ == '__main__':
    main()
