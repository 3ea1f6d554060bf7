#pragma once

#include "BackendProcess.h"

#include <QJsonDocument>
#include <QRegularExpression>

namespace backendtest {

inline bool isChinese(const QString &text)
{
    static const QRegularExpression han(QStringLiteral("\\p{Han}"));
    return han.match(text).hasMatch();
}

// "401 AUTH_REFRESH_REUSED": status and error code in one comparable text.
inline QString outcome(const Answer &answer)
{
    return QStringLiteral("%1 %2").arg(answer.status).arg(answer.errorCode()).trimmed();
}

inline QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

inline QJsonObject with(QJsonObject object, const QString &key, const QJsonValue &value)
{
    object.insert(key, value);
    return object;
}

} // namespace backendtest
