#include "Platform/AudioSession.h"

namespace talvoro {

AudioSession::AudioSession(QObject *parent)
    : QObject(parent)
{ }

void AudioSession::setActive(bool active)
{
    m_active = active;
}

void AudioSession::reportInterruption(quint64 type, quint64 options)
{
    Q_EMIT interrupted(type, options);
}

} // namespace talvoro
