#!/usr/bin/env python3
"""Wall-clock seconds of velmora-cli `hwe` with its defaults beside its peers.

    speed.py [DIR] [VELMORA_CLI] [ROUNDS]     (defaults /tmp/velmora-genotypes, velmora-cli, 3)

On make_data.sh's files, one run each, in turn, ROUNDS times (best and
worst printed): on the .vcf.gz against bcftools +fill-tags -t HWE (to
/dev/null) and plink2 --vcf --hardy; on the .bed against plink1.9 --hardy
and plink2 --hardy; and bcftools view of the .vcf.gz and .bcf (reading
alone, the floor) beside velmora-cli on them. Variants per second from the
best run. Run it alone on the machine (e.g. under flock /work/build.lock):
the load average is printed before and after.
"""
import os
import subprocess
import sys
import tempfile
import time


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else '/tmp/velmora-genotypes'
    cli = sys.argv[2] if len(sys.argv) > 2 else 'velmora-cli'
    rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 3
    os.chdir(folder)
    variants = sum(1 for _ in open('sim.bim'))
    scratch = tempfile.mkdtemp()
    runs = [
        ('velmora-cli hwe sim.vcf.gz', [cli, 'hwe', 'sim.vcf.gz']),
        ('bcftools +fill-tags -t HWE sim.vcf.gz', ['bcftools', '+fill-tags', 'sim.vcf.gz', '-o', '/dev/null', '--', '-t', 'HWE']),
        ('plink2 --vcf sim.vcf.gz --hardy', ['plink2', '--vcf', 'sim.vcf.gz', '--hardy', '--out', scratch + '/p2vcf']),
        ('bcftools view sim.vcf.gz (reading)', ['bcftools', 'view', '-Ou', '-o', '/dev/null', 'sim.vcf.gz']),
        ('velmora-cli hwe sim.bcf', [cli, 'hwe', 'sim.bcf']),
        ('bcftools view sim.bcf (reading)', ['bcftools', 'view', '-Ou', '-o', '/dev/null', 'sim.bcf']),
        ('velmora-cli hwe sim.bed', [cli, 'hwe', 'sim.bed']),
        ('plink1.9 --bfile sim --hardy', ['plink1.9', '--bfile', 'sim', '--hardy', '--out', scratch + '/p19']),
        ('plink2 --bfile sim --hardy', ['plink2', '--bfile', 'sim', '--hardy', '--out', scratch + '/p2bed']),
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
