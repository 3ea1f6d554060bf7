#include "Platform/RandomSource.h"

namespace talvoro {

namespace {

class SystemRandomSource final : public RandomSource {
public:
    quint64 bounded(quint64 bound) override { return QRandomGenerator::system()->bounded(bound); }
};

} // namespace

RandomSource &RandomSource::system()
{
    static SystemRandomSource source;
    return source;
}

} // namespace talvoro
