#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

// What travels over HTTP: a request as the handlers see it, the answer they give,
// the error they throw, and a strict reader for JSON request bodies.
namespace standin {

using Headers = QList<QPair<QByteArray, QByteArray>>;

struct Request {
    QByteArray method;
    QString path; // path and query as sent, percent signs and all
    QString query;
    Headers headers;
    QByteArray body;
    QHostAddress peer;

    QByteArray header(const QByteArray &name) const; // case-insensitive; empty when absent
    QString queryValue(const QString &key) const; // as sent, not decoded; empty when absent
};

// An id as a path or a query writes it: a decimal 64-bit integer without leading
// zeros (a leading minus allowed), nothing else, so "01", "%31" and "+1" are none.
std::optional<qint64> readId(const QString &text);

struct Reply {
    int status = 200;
    QByteArray contentType;
    QByteArray body;

    static Reply json(int status, const QJsonObject &object);
    // {"success": true, "data": ..., "traceId", "timestamp"}
    static Reply envelope(const QJsonValue &data, int status = 200);
    // {"code": 0, "data": ...}: the older endpoints' envelope
    static Reply legacy(const QJsonValue &data);
};

// Thrown by handlers; the server turns it into an error envelope. The message is
// Chinese and is shown to the user; the code is for programs.
struct ApiError {
    int status;
    QByteArray code;
    QString message;

    static ApiError badRequest(const QString &message);
    static ApiError notFound();
    static ApiError conflict();
};

// The error body every endpoint uses: the envelope's "error" object for the current
// endpoints, and "message" at the top level for the speech endpoint and the older
// endpoints, which read it from there.
Reply errorReply(const ApiError &error);

// Current time as RFC 3339 in UTC with milliseconds: "2025-03-01T08:30:15.250Z".
QString timestampNow();

// Reads a JSON object body strictly: a missing required key, a null, a value of
// the wrong type, or a text longer than its limit is a 400 with a message naming
// the key. Every text has a limit; fields that need a tighter one name it.
class BodyReader {
public:
    static constexpr qsizetype maximumTextLength = 2000; // UTF-16 code units

    explicit BodyReader(const QJsonObject &object, QString prefix = {});
    static BodyReader parse(const QByteArray &body); // 400 when not a JSON object

    bool has(const QString &key) const; // present and not null
    QString string(const QString &key, qsizetype maximumLength = maximumTextLength) const;
    std::optional<QString> optionalString(const QString &key, qsizetype maximumLength = maximumTextLength) const;
    qint64 integer(const QString &key) const;
    std::optional<qint64> optionalInteger(const QString &key) const;
    double number(const QString &key) const;
    std::optional<double> optionalNumber(const QString &key) const;
    bool boolean(const QString &key) const;
    QJsonArray array(const QString &key) const;
    QStringList stringArray(const QString &key) const;
    std::optional<QStringList> optionalStringArray(const QString &key) const;
    // Each element must be an object; the readers name the element in their messages.
    QList<BodyReader> objectArray(const QString &key) const;

    [[noreturn]] void fail(const QString &key) const;

private:
    QJsonValue required(const QString &key) const;

    QJsonObject m_object;
    QString m_prefix;
};

} // namespace standin
