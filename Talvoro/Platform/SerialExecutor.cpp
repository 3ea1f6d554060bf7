#include "Platform/SerialExecutor.h"

namespace talvoro {

SerialExecutor::SerialExecutor(const QString &name)
{
    m_pool.setObjectName(name);
    m_pool.setMaxThreadCount(1);
    m_pool.setExpiryTimeout(-1); // keep the one thread; per-thread resources stay valid
}

SerialExecutor::~SerialExecutor()
{
    m_pool.waitForDone();
}

} // namespace talvoro
