#!/usr/bin/env python3
"""Wall-clock seconds of velmora-cli cmh with its defaults beside PLINK.

    cmh_speed.py [DIR] [VELMORA_CLI] [ROUNDS]     (defaults /tmp/velmora-cmh, velmora-cli, 3)

On make_cmh_data.sh's files, one run each, in turn, ROUNDS times (best and
worst printed): velmora-cli cmh (every figure, the exact conditional P and
interval among them) on the .bed against plink1.9 --bd --within (the
asymptotic figures alone), and on the .vcf.gz against plink2 --hardy
reading the same file. Run it alone on the machine (under flock
/work/build.lock): the load average is printed before and after.
"""
import os
import subprocess
import sys
import tempfile
import time


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else '/tmp/velmora-cmh'
    cli = sys.argv[2] if len(sys.argv) > 2 else 'velmora-cli'
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    os.chdir(folder)
    variants = sum(1 for _ in open('sim.bim'))
    scratch = tempfile.mkdtemp()
    runs = [
        ('velmora-cli cmh sim.bed', [cli, 'cmh', 'sim.bed', '--strata', 'sim.strata']),
        ('plink1.9 --bfile sim --bd --within', ['plink1.9', '--bfile', 'sim', '--bd', '--within', 'sim.clst',
                                                '--ci', '0.95', '--out', scratch + '/bd']),
        ('velmora-cli cmh sim.vcf.gz', [cli, 'cmh', 'sim.vcf.gz', '--strata', 'sim.strata', '--pheno', 'sim.pheno']),
        ('plink2 --vcf sim.vcf.gz --hardy', ['plink2', '--vcf', 'sim.vcf.gz', '--hardy', '--out', scratch + '/p2vcf']),
    ]
    times = {name: [] for name, _ in runs}
    print('load before: %s' % ' '.join(open('/proc/loadavg').read().split()[:3]))
    for _ in range(rounds):
        for name, command in runs:
            start = time.perf_counter()
            subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            times[name].append(time.perf_counter() - start)
    print('load after:  %s' % ' '.join(open('/proc/loadavg').read().split()[:3]))
    print('%-40s %8s %8s %12s' % ('%d variants' % variants, 'best s', 'worst s', 'variants/s'))
    for name, _ in runs:
        print('%-40s %8.3f %8.3f %12.0f' % (name, min(times[name]), max(times[name]), variants / min(times[name])))


if __name__ == '__main__':
    main()
