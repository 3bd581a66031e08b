#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// Phenotype codes, as in a .fam file's sixth column: 1 control, 2 case,
// anything else none.
enum class Phenotype : qint8 { None = 0, Control = 1, Case = 2 };

// The strata of a stratified test (--strata): each sample's stratum, the
// strata numbered in the order of their first appearance in the file.
struct StrataAssignment
{
    // Two groups a stratum, and a sample's group is a qint8.
    static constexpr int kMaxStrata = 63;

    QStringList names;
    QStringList samples;      // in the file's order
    QHash<QString, int> of;   // sample ID -> index into names
};

// What selects and groups the samples of a genotype file for a test.
struct SampleChoice
{
    std::optional<QStringList> keep;                 // --samples: only these IDs
    std::optional<QHash<QString, Phenotype>> pheno;  // --pheno: by sample ID
    bool caseControl = false;                        // the test compares cases and controls
    // With caseControl: stratum s's cases are group 2s, its controls 2s + 1.
    std::optional<StrataAssignment> strata;
};

// The samples of one file, each with its group (GenotypeTally's): -1 for
// one left out.
struct SampleGroups
{
    std::vector<qint8> groupOf;
    int groups = 1;
    int used = 0;             // samples in a group
    int cases = 0;
    int controls = 0;
    int withoutPhenotype = 0; // kept samples left out for want of a phenotype
    int keptNotFound = 0;     // --samples IDs that the file does not have
    // With strata: kept samples with a phenotype but no stratum, left out;
    // the cases and controls of each stratum; the strata file's samples
    // that the file does not have, and the first of them.
    int withoutStratum = 0;
    std::vector<int> stratumCases;
    std::vector<int> stratumControls;
    int strataNotFound = 0;
    QString firstStrataNotFound;

    // The line for standard error about the phenotypes (case-control only).
    QString phenotypeSummary(const QString &file) const;
    // Why a stratified test cannot run on the file (samples of the strata
    // file that it lacks, a stratum without samples); empty when it can.
    QString strataRefusal(const QString &file, const StrataAssignment &strata) const;
};

// The lines of a small file of sample IDs and their fields (--samples,
// --pheno, strata), read as a stream, so that a pipe or a FIFO serves as a
// file does: lines empty or starting with '#' are skipped, the others split
// on whitespace and handed to `take`, which may refuse one with the reason.
// False with a message naming the file and the line, or why the file could
// not be read (see TextLines).
using SampleLineTaker = std::function<bool(const QList<QByteArray> &fields, QString *why)>;
bool readSampleLines(const QString &path, const SampleLineTaker &take, QString *error);

// One ID per line (the first field of --samples); lines empty or starting
// with '#' are skipped. False with a message naming the file and line.
bool readSampleList(const QString &path, QStringList *ids, QString *error);

// Lines of a sample ID and its phenotype, 1 or 2 (anything else: none).
bool readPhenotypes(const QString &path, QHash<QString, Phenotype> *pheno, QString *error);

// Lines of a sample ID and its stratum (or PLINK's FID, IID and stratum:
// the ID is FID_IID, as a .bed's samples are named); a first line whose
// first field is FID or IID is a header. False with a message naming the
// file (and line) for a sample listed twice, a line of another shape, one
// stratum only, or more than kMaxStrata.
bool readStrata(const QString &path, StrataAssignment *strata, QString *error);

// The groups of a file's samples. fileIds: the file's sample IDs in order;
// filePheno: phenotypes that the file itself holds (a .fam), or empty.
// --pheno, when given, replaces the file's phenotypes.
SampleGroups groupSamples(const QStringList &fileIds, const std::vector<Phenotype> &filePheno,
                          const SampleChoice &choice);
