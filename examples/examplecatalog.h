#pragma once

// The example documents: their cells, the block to select and the test to
// run on it. The generator writes the *.sp files from this list, the
// examples test runs each block through the check and the engine, and the
// screenshot program opens them in the window, so the three cannot differ.

#include "testinput.h"

#include <QString>

#include <utility>
#include <vector>

namespace examples {

// Cell texts row by row from A1; nullptr leaves a position empty, as the
// lower triangle of a Hardy-Weinberg table must be.
using Rows = std::vector<std::vector<const char *>>;

struct Example
{
    const char *file;     // name inside examples/
    const char *title;    // what the data are, as the README's table says
    TestKind kind;
    const char *block;    // as the test dialog shows it, e.g. "B2:D3"
    bool yates = false;   // chi-squared: tick "Yates correction"
    int accuracy = 0;     // Fisher: 0 for Max (exact)
    Rows cells;
    bool subgroups = false;  // meta-analysis: subgroups in the column right of the block
};

// A block such as "B2:D3" as 0-based grid indexes.
struct Block
{
    int top = 0;
    int left = 0;
    int bottom = 0;
    int right = 0;
};

inline Block parseBlock(const QString &text)
{
    const int colon = int(text.indexOf(u':'));
    const auto corner = [](const QString &cell, int &row, int &column) {
        column = cell.at(0).unicode() - u'A';
        row = cell.mid(1).toInt() - 1;
    };
    Block b;
    corner(text.left(colon), b.top, b.left);
    corner(text.mid(colon + 1), b.bottom, b.right);
    return b;
}

// The menu item of each test kind, as the Analyse menu shows it.
inline QString testName(int kind)
{
    static const char *const names[] = {"Fisher 2xN test",  "Chi-squared test", "Risk cluster",
                                        "Exact Hardy-Weinberg", "Gene interaction", "Genetic models",
                                        "Meta-analysis", "Two-locus LD",
                                        "Haplotypes"};
    return QString::fromUtf8(names[kind]);
}

// The label and value pairs written below each table, short enough for the
// grid's columns: which test, which block, which option.
inline std::vector<std::pair<QString, QString>> noteFor(const Example &e)
{
    std::vector<std::pair<QString, QString>> note = {
        {QStringLiteral("Test:"), testName(e.kind)},
        {QStringLiteral("Block:"), QString::fromUtf8(e.block)},
    };
    if (e.yates)
        note.emplace_back(QStringLiteral("Option:"), QStringLiteral("Yates correction"));
    if (e.kind == TestFisher)
        note.emplace_back(QStringLiteral("Accuracy:"),
                          e.accuracy == 0 ? QStringLiteral("Max") : QString::number(e.accuracy));
    if (e.subgroups)
        note.emplace_back(QStringLiteral("Option:"), QStringLiteral("Subgroups"));
    return note;
}

inline const std::vector<Example> &all()
{
    static const std::vector<Example> list = {
        {"chi-squared.sp", "Genotypes of one SNP in cases and controls", TestChi2, "B2:D3", false, 0,
         {{"Genotype", "CC", "CT", "TT"},
          {"Cases", "45", "72", "33"},
          {"Controls", "68", "70", "22"}}},
        {"fisher-2xn.sp", "Rare haplotypes of a gene in cases and controls", TestFisher, "B2:F3", false, 0,
         {{"Haplotype", "H1", "H2", "H3", "H4", "H5"},
          {"Cases", "8", "3", "0", "5", "1"},
          {"Controls", "2", "6", "4", "1", "7"}}},
        {"hardy-weinberg.sp", "Genotypes of a marker with three alleles", TestHardyW, "B2:D4", false, 0,
         {{"Allele", "A1", "A2", "A3"},
          {"A1", "12", "25", "8"},
          {"A2", nullptr, "30", "14"},
          {"A3", nullptr, nullptr, "6"}}},
        {"gene-interaction.sp", "Carriers of two genes, cases above controls", TestGeneInter, "B2:C5", false, 0,
         {{"Gene 1 / gene 2", "Carrier", "Non-carrier"},
          {"Cases, carrier", "22", "14"},
          {"Cases, non-carrier", "12", "21"},
          {"Controls, carrier", "15", "20"},
          {"Controls, non-carrier", "18", "13"}}},
        {"risk-cluster.sp", "Risk factors in patients and controls", TestCluster, "B2:G3", false, 0,
         {{nullptr, "Smoking", "Alcohol", "Obesity", "Hypertension", "Diabetes", "Family history"},
          {"Patients", "42", "18", "25", "37", "12", "20"},
          {"Controls", "30", "29", "31", "24", "15", "9"}}},
        {"formulas-allelic.sp", "Allele counts computed from genotypes pooled over two centres", TestChi2,
         "F8:G9", true, 0,
         {{"Genotype counts", "AA", "AG", "GG"},
          {"Cases, centre 1", "21", "38", "15"},
          {"Cases, centre 2", "24", "34", "18"},
          {"Controls, centre 1", "35", "36", "10"},
          {"Controls, centre 2", "33", "34", "12"},
          {},
          {"Pooled", "AA", "AG", "GG", nullptr, "A", "G"},
          {"Cases", "=B2+B3", "=C2+C3", "=D2+D3", nullptr, "=2*B8+C8", "=C8+2*D8"},
          {"Controls", "=B4+B5", "=C4+C5", "=D4+D5", nullptr, "=2*B9+C9", "=C9+2*D9"}}},
        {"meta-analysis.sp", "Genotypes of one polymorphism in 14 case/control studies, two ancestries",
         TestMeta, "B2:G15", false, 0,
         {{"Study", "Cases 0", "Cases 1", "Cases 2", "Controls 0", "Controls 1", "Controls 2", "Ancestry"},
          {"Aarnio 2004", "123", "130", "40", "155", "118", "27", "EUR"},
          {"Bello 2006", "147", "164", "41", "155", "122", "23", "EUR"},
          {"Chen 2007", "106", "46", "2", "149", "61", "10", "EAS"},
          {"Dahl 2008", "80", "86", "24", "103", "93", "24", "EUR"},
          {"Eriksen 2009", "109", "87", "31", "104", "102", "14", "EUR"},
          {"Fujita 2010", "83", "36", "9", "104", "44", "2", "EAS"},
          {"Gomez 2011", "681", "572", "109", "709", "370", "121", "EUR"},
          {"Han 2012", "386", "226", "32", "608", "260", "32", "EAS"},
          {"Iversen 2013", "147", "163", "49", "165", "112", "23", "EUR"},
          {"Jung 2014", "79", "26", "7", "110", "35", "5", "EAS"},
          {"Kato 2015", "1175", "488", "59", "1108", "361", "31", "EAS"},
          {"Larsen 2016", "326", "394", "116", "481", "571", "148", "EUR"},
          {"Mori 2017", "421", "202", "16", "443", "144", "13", "EAS"},
          {"Nilsen 2019", "49", "54", "9", "81", "58", "11", "EUR"}},
         true},
        {"two-locus-ld.sp", "Genotypes of two SNPs of one gene in the same individuals", TestLd, "B2:D4", false, 0,
         {{"SNP 1 / SNP 2", "CC", "CT", "TT"},
          {"AA", "62", "21", "2"},
          {"AG", "30", "41", "9"},
          {"GG", "3", "14", "18"}}},
        {"haplotypes.sp", "Four SNPs of a gene, one row per individual", TestHaplotypes, "B2:F101", false, 0,
         {{"Individual", "rs1042713", "rs1042714", "rs1800888", "rs1042711", "Status"},
          {"P1", "A/A", "C/C", "C/C", "T/T", "case"},
          {"P2", "A/G", "C/C", "T/C", "T/T", "case"},
          {"P3", "A/A", "C/C", "C/C", "T/T", "case"},
          {"P4", "G/A", "C/C", "C/C", "T/T", "case"},
          {"P5", "A/A", "C/C", "T/C", "T/T", "case"},
          {"P6", "G/A", "G/C", "C/C", "C/T", "case"},
          {"P7", "A/G", "C/G", "T/C", "T/C", "case"},
          {"P8", "G/G", "G/G", "C/C", "C/C", "case"},
          {"P9", "A/G", "C/G", "C/C", "T/C", "case"},
          {"P10", "G/A", "G/C", "T/C", "C/T", "case"},
          {"P11", "G/G", "G/C", "C/C", "C/T", "case"},
          {"P12", "A/A", "C/C", "C/C", "T/T", "case"},
          {"P13", "A/G", "C/G", "C/C", "T/C", "case"},
          {"P14", "NA", "C/G", "C/T", "T/C", "case"},
          {"P15", "G/G", "G/G", "C/T", "C/C", "case"},
          {"P16", "G/A", "G/C", "C/C", "NA", "case"},
          {"P17", "A/A", "C/C", "C/C", "T/T", "case"},
          {"P18", "G/G", "G/G", "T/C", "C/C", "case"},
          {"P19", "G/A", "G/C", "C/C", "C/T", "case"},
          {"P20", "A/G", "C/G", "C/C", "T/C", "case"},
          {"P21", "A/G", "C/G", "C/C", "T/C", "case"},
          {"P22", "G/G", "C/G", "C/C", "T/C", "case"},
          {"P23", "A/A", "C/C", "C/T", "T/T", "case"},
          {"P24", "G/G", "G/G", "T/C", "C/C", "case"},
          {"P25", "G/A", "G/C", "C/C", "C/T", "case"},
          {"P26", "G/G", "G/G", "C/C", "C/C", "case"},
          {"P27", "G/G", "G/G", "C/C", "C/C", "case"},
          {"P28", "G/G", "G/G", "T/T", "C/C", "case"},
          {"P29", "G/G", "G/G", "T/C", "C/C", "case"},
          {"P30", "G/A", "NA", "C/T", "NA", "case"},
          {"P31", "A/A", "C/C", "T/C", "T/T", "case"},
          {"P32", "A/A", "C/C", "T/C", "T/T", "case"},
          {"P33", "G/G", "G/G", "C/C", "C/C", "case"},
          {"P34", "A/G", "C/G", "T/C", "T/C", "case"},
          {"P35", "A/G", "C/C", "C/C", "T/T", "case"},
          {"P36", "G/G", "C/G", "C/C", "T/C", "case"},
          {"P37", "A/G", "C/G", "C/C", "T/C", "case"},
          {"P38", "G/A", "C/C", "C/C", "T/T", "case"},
          {"P39", "G/G", "G/C", "C/C", "C/T", "case"},
          {"P40", "G/G", "G/G", "C/C", "NA", "case"},
          {"P41", "G/G", "G/G", "C/C", "C/C", "case"},
          {"P42", "A/G", "C/C", "C/C", "T/T", "case"},
          {"P43", "G/G", "G/G", "C/C", "C/C", "case"},
          {"P44", "G/A", "G/C", "C/T", "C/T", "case"},
          {"P45", "G/G", "C/G", "C/C", "T/C", "case"},
          {"P46", "G/A", "C/C", "C/C", "T/T", "case"},
          {"P47", "G/A", "G/C", "C/C", "C/T", "case"},
          {"P48", "G/G", "G/G", "C/C", "C/C", "case"},
          {"P49", "G/G", "C/C", "C/C", "T/T", "case"},
          {"P50", "G/G", "G/G", "C/T", "C/C", "case"},
          {"P51", "G/G", "C/C", "C/C", "T/T", "control"},
          {"P52", "A/G", "C/G", "C/C", "T/C", "control"},
          {"P53", "A/G", "C/G", "C/C", "T/C", "control"},
          {"P54", "G/A", "NA", "C/C", "T/T", "control"},
          {"P55", "G/G", "C/G", "C/C", "T/C", "control"},
          {"P56", "A/G", "C/G", "C/T", "T/C", "control"},
          {"P57", "A/A", "C/C", "C/C", "T/T", "control"},
          {"P58", "A/A", "C/C", "C/C", "T/T", "control"},
          {"P59", "G/G", "C/G", "C/C", "T/C", "control"},
          {"P60", "A/A", "C/C", "C/C", "T/T", "control"},
          {"P61", "A/A", "C/C", "C/T", "T/T", "control"},
          {"P62", "A/G", "C/C", "T/C", "T/T", "control"},
          {"P63", "G/A", "G/C", "C/C", "C/T", "control"},
          {"P64", "A/A", "C/C", "T/C", "T/T", "control"},
          {"P65", "A/A", "C/C", "NA", "T/T", "control"},
          {"P66", "A/A", "C/C", "C/C", "T/T", "control"},
          {"P67", "G/G", "G/C", "C/C", "C/T", "control"},
          {"P68", "A/A", "C/C", "T/T", "T/T", "control"},
          {"P69", "A/G", "C/G", "C/C", "T/C", "control"},
          {"P70", "G/A", "G/C", "C/C", "C/T", "control"},
          {"P71", "A/A", "C/C", "C/T", "T/T", "control"},
          {"P72", "A/A", "C/C", "T/T", "T/T", "control"},
          {"P73", "G/A", "G/C", "T/C", "C/T", "control"},
          {"P74", "G/A", "G/C", "C/C", "C/T", "control"},
          {"P75", "G/A", "C/C", "C/C", "NA", "control"},
          {"P76", "A/G", "NA", "T/C", "T/C", "control"},
          {"P77", "G/A", "G/C", "C/C", "C/T", "control"},
          {"P78", "A/A", "C/C", "C/C", "T/T", "control"},
          {"P79", "G/A", "C/C", "C/T", "T/T", "control"},
          {"P80", "NA", "C/C", "C/C", "T/T", "control"},
          {"P81", "G/A", "C/C", "C/C", "T/T", "control"},
          {"P82", "A/G", "C/G", "C/C", "T/C", "control"},
          {"P83", "A/G", "C/C", "C/C", "T/T", "control"},
          {"P84", "A/A", "C/C", "C/T", "T/T", "control"},
          {"P85", "A/G", "C/G", "C/C", "T/C", "control"},
          {"P86", "A/G", "C/G", "C/T", "T/C", "control"},
          {"P87", "A/A", "C/C", "C/T", "T/T", "control"},
          {"P88", "A/A", "C/C", "C/C", "T/T", "control"},
          {"P89", "G/A", "G/C", "C/C", "C/T", "control"},
          {"P90", "G/G", "G/C", "T/C", "C/T", "control"},
          {"P91", "G/A", "G/C", "C/T", "C/T", "control"},
          {"P92", "G/G", "G/G", "C/C", "C/C", "control"},
          {"P93", "A/A", "C/C", "C/C", "T/T", "control"},
          {"P94", "G/A", "G/C", "C/C", "C/T", "control"},
          {"P95", "A/G", "C/G", "C/T", "T/C", "control"},
          {"P96", "G/A", "C/C", "C/T", "T/T", "control"},
          {"P97", "A/A", "C/C", "C/C", "T/T", "control"},
          {"P98", "A/A", "C/C", "C/C", "T/T", "control"},
          {"P99", "A/G", "C/G", "C/C", "T/C", "control"},
          {"P100", "A/G", "C/G", "C/C", "T/C", "control"}}},
    };
    return list;
}

} // namespace examples
