#pragma once

#include <QRandomGenerator>

namespace talvoro {

// Where uniform random numbers come from, so that tests can pin them.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Uniform in [0, bound); bound must be at least 1.
    virtual quint64 bounded(quint64 bound) = 0;

    // The system's secure source.
    static RandomSource &system();
};

// A reproducible sequence for a given seed.
class SeededRandomSource final : public RandomSource {
public:
    explicit SeededRandomSource(quint64 seed)
        : m_generator(seed)
    { }
    quint64 bounded(quint64 bound) override { return m_generator.bounded(bound); }

private:
    QRandomGenerator64 m_generator;
};

} // namespace talvoro
