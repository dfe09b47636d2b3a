#pragma once
// A realistic graph-data row, as an analyser sends it for a normal blood
// sample: smooth RBC/PLT/BAS histograms with their discriminators, an LMNE
// matrix with four white-cell clusters and a RET matrix.
#include "graphics/graphdata.h"

namespace sample {

// The same row for the same seed.
graphics::GraphRow realisticRow(unsigned seed = 1);

} // namespace sample
