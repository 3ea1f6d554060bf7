#include "Models/ApiResponse.h"

namespace talvoro {

ORVApiErrorDetail ORVApiErrorDetail::fromJson(const QJsonValue &value, const QString &path)
{
    const json::ObjectReader reader(value, path);
    return {reader.string(QStringLiteral("code")), reader.string(QStringLiteral("message"))};
}

QJsonObject ORVApiErrorDetail::toJson() const
{
    return json::ObjectWriter().set(QStringLiteral("code"), code).set(QStringLiteral("message"), message).object();
}

} // namespace talvoro
