#pragma once

#include "runpictures.h"

struct MetaInput;
struct MetaRun;

// The pictures of one model of a meta-analysis run (`model`: the index in
// run.models), for the Results window and velmora-cli --plot alike: the
// forest plot (subgroups as blocks, each with its diamond, when the run
// used them), the funnel plot with trim-and-fill's studies hollow, and the
// leave-one-out forest plot. Null when the model has no study to draw.
enum class MetaPictureKind { Forest, Funnel, LeaveOneOut };

PicturePtr metaPicture(MetaPictureKind kind, const MetaInput &input, const MetaRun &run, int model,
                       const QString &place);

// "forest", "funnel", "leave-one-out"; false for anything else.
bool metaPictureKindFromKey(const QString &key, MetaPictureKind *kind);
QString metaPictureKey(MetaPictureKind kind);
