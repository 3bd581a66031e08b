#pragma once

class JsonLine;
struct ModelFigures;

// The figures of a genetic-models run as the fields of its JSON line, from
// "effect_homozygote_column" to "log_additive". A figure the model does not
// give is null; an infinite odds ratio or limit is the string "inf".
void addModelFigures(JsonLine &json, const ModelFigures &figures);
