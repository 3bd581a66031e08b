#pragma once

#include <functional>

class Spreadsheet;

// Runs the registered benchmarks inside an offscreen QApplication, with the
// user's settings out of reach; setUp runs once the application exists.
int runWidgetBenchmarks(int argc, char **argv, const std::function<void()> &setUp = {});

// Fills every position: column A holds the row index, each other cell adds
// one to its left neighbour.
void fillChainGrid(Spreadsheet &sheet);
