#include "DesignSystem/ORVListRowPosition.h"

namespace talvoro {

ORVListRowPosition::Value ORVListRowPosition::forIndex(int index, int count)
{
    if (count <= 1)
        return Only;
    if (index <= 0)
        return First;
    if (index >= count - 1)
        return Last;
    return Middle;
}

bool ORVListRowPosition::showsSeparator(Value position)
{
    return position == First || position == Middle;
}

} // namespace talvoro
