#pragma once

#include <string_view>

// One line of a JSON-lines file, checked as JSON and read for the members
// that qq needs, without building a document: a million lines take a
// fraction of a second.
struct JsonScan
{
    bool object = false;       // the line is one JSON object and nothing else
    bool statusZero = false;   // its "status" is the number 0
    bool hasP = false;         // it has a "p" member
    bool pNumber = false;      // ... that is a number
    double p = 0.0;
    std::string_view test;     // its "test" string as written, when it has no escapes
};

// Reads `line` (without its line end). Members are looked for at the top
// level only; nesting deeper than 256 levels counts as not JSON.
JsonScan scanJsonLine(std::string_view line);
