#include "model/density.h"

namespace halvo::model {

char DensityDigit(double density, double high, double low)
{
    if (high <= density)
        return '1';
    return low >= density ? '3' : '2';
}

}  // namespace halvo::model
