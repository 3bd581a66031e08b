#pragma once

#include "runpictures.h"

struct LdMatrix;
struct LdRun;

// The LD triangle of a region's pairs (velmora-cli ld --plot), coloured by
// D' with its LOD or by r2.
PicturePtr ldTrianglePicture(const LdMatrix &matrix, bool byR2);

// The triangle of the one pair of a 3 x 3 block that ran (the window), the
// loci named by the block's place; null when the run gave no figures.
PicturePtr ldPicture(const LdRun &run, const QString &place);
