#pragma once

#include "genotypetally.h"
#include "varianttable.h"

class BedCounter;

#include <QString>

// Decodes one record line of a text VCF: its identity (CHROM, POS, ID,
// REF, ALT) and the GT field of each sample, counted into the tally by the
// sample's group (groupOf[s] < 0: left out, read only to check it). A
// diploid call adds its genotype; a missing call ("./.", ".", or one
// allele missing) and a call of three or more alleles count as missing; a
// haploid call counts as haploid. A record without GT in its FORMAT has
// every call missing. Any departure from the format (too few or too many
// columns, a position that is not a number, an allele the record does not
// have, a malformed GT) gives false and the reason, never a count.
// `packed`, set up with the same groups, counts the calls of a biallelic
// record of GT alone faster; the counts are the same.
bool decodeVcfLine(const char *line, qsizetype size, int samples, const qint8 *groupOf, int groups,
                   GenotypeTally &tally, VariantIdentity &identity, QString *why,
                   const BedCounter *packed = nullptr);

// The POS of a record line, without decoding it; -1 when it has none.
qint64 vcfLinePosition(const char *line, qsizetype size);
