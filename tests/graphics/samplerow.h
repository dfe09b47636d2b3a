#pragma once
// A realistic graph-data row, as an analyser sends it for a normal blood
// sample: smooth RBC/PLT/BAS histograms with their discriminators, an LMNE
// matrix with four white-cell clusters and a RET matrix.
#include "graphics/graphdata.h"

namespace sample {

// The same row for the same seed.
graphics::GraphRow realisticRow(unsigned seed = 1);

// 32 hex digits per row for a 128 x 128 dot field (dots[row][col], row 0 on top).
QByteArray encodeMatrix(const bool dots[128][128]);

// The LMNE threshold list the sample uses (t1..t15).
extern const char *const kLmneThresholds;

} // namespace sample
