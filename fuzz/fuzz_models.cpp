// The decoders of the backend's answers. Each input is one answer body; its
// envelope is read once and its "data" is tried with every decoder, so one corpus
// of real answers reaches all of them.
#include "FuzzSupport.h"

#include "Models/Account.h"
#include "Models/ApiResponse.h"
#include "Models/LegacyModels.h"
#include "Models/Lexicon.h"
#include "Models/PlaybackPreference.h"
#include "Models/Playlist.h"
#include "Models/Word.h"
#include "Models/WordItem.h"
#include "Models/WordPlaybackProfile.h"
#include "Networking/ORVMobileAPIClient.h"

using namespace talvoro;

namespace {

template<typename T>
void decodeRecord(const QJsonValue &data)
{
    try {
        const T record = T::fromJson(data, QStringLiteral("$.data"));
        if constexpr (requires { record.toJson(); })
            fuzzsupport::checkRoundTrip(
                record, [](const QJsonValue &v) { return T::fromJson(v, QStringLiteral("$")); },
                [](const T &r) { return r.toJson(); });
    } catch (const json::DecodingError &error) {
        (void)error.description();
    }
}

template<typename T>
void decodeRecords(const QJsonValue &data)
{
    try {
        const QList<T> records = coding::decodeList<T>(data, QStringLiteral("$.data"));
        if constexpr (requires { records.first().toJson(); })
            fuzzsupport::checkRoundTrip(
                records, [](const QJsonValue &v) { return coding::decodeList<T>(v, QStringLiteral("$")); },
                [](const QList<T> &r) { return coding::encodeList(r); });
    } catch (const json::DecodingError &error) {
        (void)error.description();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = fuzzsupport::bytes(data, size);
    (void)ORVMobileAPIClient::parseErrorBody(body);

    const std::optional<QJsonValue> parsed = fuzzsupport::parseJson(data, size);
    if (!parsed)
        return 0;
    const QJsonValue &answer = *parsed;
    using Envelope = ORVApiResponse<QJsonValue>;
    const auto keepData = [](const QJsonValue &v, const QString &) { return v; };
    try {
        fuzzsupport::checkRoundTrip(
            Envelope::fromJson(answer, keepData), [&](const QJsonValue &v) { return Envelope::fromJson(v, keepData); },
            [](const Envelope &e) { return e.toJson([](const QJsonValue &v) { return v; }); });
    } catch (const json::DecodingError &) { }

    // The current endpoints wrap "data" in the envelope above; the older ones in
    // {"code", "data"}. Either way the record is the "data" member.
    const QJsonValue record = answer.toObject().value(QStringLiteral("data"));
    if (record.isUndefined())
        return 0;
    decodeRecord<AuthTokenResponse>(record);
    decodeRecord<UserSummary>(record);
    decodeRecord<ORVApiErrorDetail>(record);
    decodeRecords<PublicLexiconSummary>(record);
    decodeRecord<PublicLexiconDetail>(record);
    decodeRecord<UserLexicon>(record);
    decodeRecords<UserLexicon>(record);
    decodeRecord<UserLexiconReorderReceipt>(record);
    decodeRecord<ORVWord>(record);
    decodeRecords<ORVWord>(record);
    decodeRecord<ORVPlaylist>(record);
    decodeRecords<ORVPlaylist>(record);
    decodeRecord<ORVPlaylistDeletionReceipt>(record);
    decodeRecord<WordPlaybackProfile>(record);
    decodeRecord<PlaybackPreference>(record);
    decodeRecord<ORVMobileAPIClient::DeleteUserWordResponse>(record);
    decodeRecord<ORVMobileAPIClient::RemoveUserWordMembershipResponse>(record);
    decodeRecord<ORVMobileAPIClient::MoveUserWordResponse>(record);
    decodeRecord<SystemConfiguration>(record);
    decodeRecord<RemoteWord>(record);
    decodeRecords<RemoteWord>(record);
    decodeRecord<PreviewWord>(record);
    decodeRecord<WordItem>(record);
    return 0;
}
