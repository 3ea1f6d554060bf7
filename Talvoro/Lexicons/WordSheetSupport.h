#pragma once

#include <QList>
#include <QString>

namespace talvoro {

// The meanings typed into one field: cut at every separator character, each piece
// trimmed, empty pieces dropped; order and repeated meanings stay as typed.
QList<QString> splitMeanings(const QString &text, QStringView separators);

} // namespace talvoro
