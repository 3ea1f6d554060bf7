#include "Persistence/LocalWordStoreError.h"

namespace talvoro {

QString LocalWordStoreError::description() const
{
    switch (m_kind) {
    case Kind::unavailable:
        return QStringLiteral("本地数据暂不可用，请重新启动应用后重试");
    case Kind::invalidOwnerKey:
        return QStringLiteral("当前账号标识无效，无法安全读写本地数据");
    case Kind::invalidPlaylistID:
        return QStringLiteral("播放列表标识无效，无法执行本地操作");
    case Kind::invalidRemoteVersion:
        return QStringLiteral("服务端删除版本无效，已保留本地删除记录等待重试");
    }
    return {};
}

QString LocalStoreDatabaseError::description() const
{
    return QStringLiteral("本地数据库操作失败：%1").arg(m_detail);
}

} // namespace talvoro
