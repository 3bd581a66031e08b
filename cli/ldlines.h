#pragma once

#include "ldwindow.h"
#include "twolocus.h"

#include <QByteArray>

// The lines of velmora-cli ld: one JSON object per pair, or its row of
// --format tsv. A variant's identity is written once, as the first and as
// the second locus of a pair, and copied into each of its lines.
class LdLines final
{
public:
    explicit LdLines(bool tsv) : m_tsv(tsv) {}

    // The identity fields of a variant as the first ("_a") and second
    // ("_b") locus.
    struct Identity
    {
        QByteArray asFirst;
        QByteArray asSecond;
    };
    Identity identity(const VariantIdentity &id) const;

    QByteArray header() const;
    // Appends the line of one pair, with its line end. phasedR2: NaN when
    // not every call is phased.
    void append(QByteArray &out, const Identity &a, const Identity &b, const twolocus::Figures &f,
                double phasedR2) const;

private:
    bool m_tsv;
};

// The variant of a scan with its lines' identity fields and its place.
struct LdVariant final : PackedCalls
{
    LdVariant(const VariantCodes &codes, const LdLines &lines, int index)
        : PackedCalls(codes), names(lines.identity(codes.identity)), index(index)
    {
    }
    LdLines::Identity names;
    int index = 0;   // among the variants used
};
