#pragma once
// Population density levels: 1 High, 2 Medium, 3 Low.

namespace halvo::model {

// The density digit for a density value and the two thresholds; both bounds inclusive, High first.
char DensityDigit(double density, double high, double low);

}  // namespace halvo::model
