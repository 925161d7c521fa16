#include "definition/Cp1251Format.h"

namespace qd {

std::string twoDecimals(double points)
{
    return formatCp1251("%.2f", points);
}

} // namespace qd
