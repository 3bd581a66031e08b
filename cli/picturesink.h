#pragma once

#include "runpictures.h"

// Where the pictures of result lines go, one per line and in order. An
// interface, so that line output never links the painters (and Qt Gui):
// a run on genotype files has no pictures.
class PictureSink
{
public:
    virtual ~PictureSink() = default;

    // The picture of the next line of output (null for a line without one).
    virtual void add(const PicturePtr &picture) = 0;
};
