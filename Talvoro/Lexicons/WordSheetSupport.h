#pragma once

#include "Session/AppSession.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <optional>

namespace talvoro {

// The meanings typed into one field: cut at every separator character, each piece
// trimmed, empty pieces dropped; order and repeated meanings stay as typed.
QList<QString> splitMeanings(const QString &text, QStringView separators);

// The access token of a signed-in session; none while restoring, signed out or
// without a session.
std::optional<QString> signedInAccessToken(const QPointer<AppSession> &session);

} // namespace talvoro
