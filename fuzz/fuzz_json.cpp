// The strict JSON reader: parsing, every typed accessor on every member, and
// writing back what was read.
#include "FuzzSupport.h"

using namespace talvoro;

namespace {

template<typename Read>
void attempt(const Read &read)
{
    try {
        (void)read();
    } catch (const json::DecodingError &error) {
        (void)error.description();
    }
}

void readEverything(const QJsonValue &value, const QString &path)
{
    attempt([&] { return json::toString(value, path); });
    attempt([&] { return json::toInteger(value, path); });
    attempt([&] { return json::toNumber(value, path); });
    attempt([&] { return json::toBool(value, path); });
    if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            readEverything(array.at(i), json::elementPath(path, i));
    }
    if (!value.isObject())
        return;
    const json::ObjectReader reader(value, path);
    const QJsonObject object = reader.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = it.key();
        (void)reader.has(key);
        attempt([&] { return reader.optionalString(key); });
        attempt([&] { return reader.optionalInteger(key); });
        attempt([&] { return reader.optionalNumber(key); });
        attempt([&] { return reader.optionalBoolean(key); });
        attempt([&] { return reader.optionalObject(key); });
        attempt([&] { return reader.optionalArray(key); });
        attempt([&] { return reader.optionalStringList(key); });
        readEverything(it.value(), reader.pathOf(key));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<QJsonValue> parsed = fuzzsupport::parseJson(data, size);
    if (!parsed)
        return 0;
    const QJsonValue &value = *parsed;
    readEverything(value, QStringLiteral("$"));
    const auto encode = [](const QJsonValue &v) { return v.toObject(); };
    const auto encodeArray = [](const QJsonValue &v) { return v.toArray(); };
    const auto decode = [](const QJsonValue &v) { return v; };
    if (value.isObject())
        fuzzsupport::checkRoundTrip(value, decode, encode);
    else
        fuzzsupport::checkRoundTrip(value, decode, encodeArray);
    return 0;
}
