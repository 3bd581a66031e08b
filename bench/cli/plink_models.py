#!/usr/bin/env python3
"""Genetic models of velmora-cli against PLINK 1.9, SNP by SNP.

    plink_models.py tables PLINK.model TABLES.tsv
    plink_models.py compare VELMORA_OUTPUT MODEL MODEL_FISHER MODEL_MIDP ASSOC

tables: writes the 2 x 3 genotype table of every SNP from the GENO rows of
`--model` (cases over controls, A1A1/A1A2/A2A2), one table per SNP, empty
lines between them, in four forms by turns: as PLINK gives it, with the
columns reversed, transposed (3 x 2), and transposed and reversed.

compare: VELMORA_OUTPUT is what `velmora-cli models TABLES.tsv` printed.
Each P of --model (GENO, TREND, ALLELIC, DOM, REC; chi-squared), of
--model fisher (Fisher's exact test; TREND stays chi-squared) and of
--model fisher-midp, and the allelic OR with L95 and U95 of
--assoc --ci 0.95, agrees when ours, rounded to PLINK's 4 significant
digits ("%.4g"), is the number PLINK printed. The effect allele must be
PLINK's A1 (the block's column 1 in the plain forms, 3 in the reversed),
except where the two alleles have the same count: there, if it is the other
allele, our dominant model is PLINK's recessive one and the other way round,
and PLINK's allelic OR is the inverse of ours (its limits swapped). A figure PLINK prints as
NA, and one that Velmora does not give (a degenerate model, null in JSON),
are counted apart. Exit status 0 when every figure both sides give agrees.
"""
import json
import sys

TESTS = ('GENO', 'TREND', 'ALLELIC', 'DOM', 'REC')
OURS = {'GENO': 'genotypic', 'TREND': 'trend', 'ALLELIC': 'allelic', 'DOM': 'dominant', 'REC': 'recessive'}


def model_rows(path):
    """{snp: {test: (p_text, aff, unaff)}} in file order, and the order."""
    rows, order = {}, []
    with open(path) as f:
        header = f.readline().split()
        snp_col, test_col, p_col = header.index('SNP'), header.index('TEST'), header.index('P')
        aff_col = header.index('AFF')
        for line in f:
            fields = line.split()
            if not fields:
                continue
            snp = fields[snp_col]
            if snp not in rows:
                rows[snp] = {}
                order.append(snp)
            rows[snp][fields[test_col]] = (fields[p_col], fields[aff_col], fields[aff_col + 1])
    return rows, order


def write_tables(model_path, out_path):
    rows, order = model_rows(model_path)
    with open(out_path, 'w') as out:
        for i, snp in enumerate(order):
            _, aff, unaff = rows[snp]['GENO']
            table = [aff.split('/'), unaff.split('/')]
            if i % 2 == 1:
                table = [r[::-1] for r in table]
            if i % 4 >= 2:
                table = [list(c) for c in zip(*table)]
            if i:
                out.write('\n')
            for r in table:
                out.write('\t'.join(r) + '\n')


def agrees(ours, text):
    if ours == 'inf':
        return text == 'inf'
    return float('%.4g' % ours) == float(text)


def compare(ours_path, model_path, fisher_path, midp_path, assoc_path):
    ours = [json.loads(line) for line in open(ours_path) if line.strip()]
    sources = {'chi2': model_rows(model_path)[0], 'fisher': model_rows(fisher_path)[0],
               'midp': model_rows(midp_path)[0]}
    order = model_rows(model_path)[1]
    assoc = {}
    with open(assoc_path) as f:
        header = f.readline().split()
        cols = [header.index(k) for k in ('SNP', 'OR', 'L95', 'U95')]
        for line in f:
            fields = line.split()
            if fields:
                assoc[fields[cols[0]]] = [fields[c] for c in cols[1:]]
    if len(ours) != len(order):
        sys.exit(f'{len(ours)} velmora lines but {len(order)} SNPs')

    counts = {}  # (figure) -> [agree, differ, plink NA, velmora none]
    differ, effect_wrong, ties = [], 0, 0
    for i, (line, snp) in enumerate(zip(ours, order)):
        geno = sources['chi2'][snp]['GENO']
        aff, unaff = [list(map(int, x.split('/'))) for x in geno[1:]]
        a1, a2 = 2 * (aff[0] + unaff[0]) + aff[1] + unaff[1], 2 * (aff[2] + unaff[2]) + aff[1] + unaff[1]
        if line.get('status') != 0:
            for key in ('velmora refused',):
                counts.setdefault(key, [0, 0, 0, 0])[3] += 1
            continue
        flipped = line['effect_homozygote_column'] != (1 if i % 2 == 0 else 3)
        if a1 == a2:
            ties += 1
        elif flipped:
            effect_wrong += 1
        ours_of = dict(OURS)
        if flipped:
            ours_of['DOM'], ours_of['REC'] = OURS['REC'], OURS['DOM']
        for kind, field in (('chi2', 'p_chi2'), ('fisher', 'p_exact'), ('midp', 'p_midp')):
            for test in TESTS:
                name = f'{test} {kind}'
                p_text = sources[kind][snp][test][0]
                model = line[ours_of[test]]
                # PLINK's TREND stays chi-squared in the Fisher variants.
                value = model['p_chi2'] if test == 'TREND' else model[field]
                c = counts.setdefault(name, [0, 0, 0, 0])
                if p_text == 'NA':
                    c[2] += 1
                elif value is None:
                    c[3] += 1
                elif agrees(value, p_text):
                    c[0] += 1
                else:
                    c[1] += 1
                    differ.append((snp, name, value, p_text))
        allelic = line['allelic']
        figures = [allelic['or']] + allelic['or_ci']
        if flipped:
            def inverse(v):
                return None if v is None else 0.0 if v == 'inf' else 'inf' if v == 0 else 1 / v
            figures = [inverse(v) for v in (figures[0], figures[2], figures[1])]
        for name, value, text in zip(('OR', 'L95', 'U95'), figures, assoc[snp]):
            c = counts.setdefault(f'ALLELIC {name}', [0, 0, 0, 0])
            if text == 'NA':
                c[2] += 1
            elif value is None:
                c[3] += 1
            elif agrees(value, text):
                c[0] += 1
            else:
                c[1] += 1
                differ.append((snp, f'ALLELIC {name}', value, text))

    print(f'{len(ours)} SNPs; effect allele PLINK\'s A1 on all but {effect_wrong} '
          f'({ties} with equal allele counts, where either allele is right)')
    print(f'{"figure":<16}{"agree":>8}{"differ":>8}{"PLINK NA":>10}{"no figure":>11}')
    for name, (a, d, na, none) in counts.items():
        print(f'{name:<16}{a:>8}{d:>8}{na:>10}{none:>11}')
    for snp, name, value, text in differ[:50]:
        print(f'  differs: {snp} {name}: velmora {value!r}, PLINK {text}')
    return 0 if not differ and not effect_wrong else 1


def main():
    if len(sys.argv) == 4 and sys.argv[1] == 'tables':
        write_tables(sys.argv[2], sys.argv[3])
        return 0
    if len(sys.argv) == 7 and sys.argv[1] == 'compare':
        return compare(*sys.argv[2:])
    sys.exit(__doc__)


if __name__ == '__main__':
    sys.exit(main())
