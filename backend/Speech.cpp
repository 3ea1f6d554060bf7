#include "Speech.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <memory>

namespace standin {
namespace {

constexpr int stepTimeoutMs = 30000;

// Runs one program; calls next(true) when it exited with 0.
void runStep(QObject *owner, const QString &program, const QStringList &arguments, std::function<void(bool)> next)
{
    auto *process = new QProcess(owner);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    auto finish = [process, next = std::move(next)](bool ok) {
        if (process->property("done").toBool())
            return;
        process->setProperty("done", true);
        process->deleteLater();
        next(ok);
    };
    QObject::connect(process, &QProcess::finished, owner, [process, finish](int code, QProcess::ExitStatus status) {
        finish(status == QProcess::NormalExit && code == 0);
    });
    QObject::connect(process, &QProcess::errorOccurred, owner, [finish](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(false);
    });
    QTimer::singleShot(stepTimeoutMs, process, [process] { process->kill(); });
    process->start(program, arguments);
}

} // namespace

Speech::Speech(QString directory, QObject *parent)
    : QObject(parent)
    , m_directory(std::move(directory))
{
    QDir().mkpath(m_directory);
}

QString Speech::clipKey(const QString &voiceId, const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash((voiceId + QChar(u'\n') + text).toUtf8(), QCryptographicHash::Sha256).toHex());
}

QString Speech::clipPath(const QString &key) const
{
    return QDir(m_directory).filePath(key + QStringLiteral(".mp3"));
}

void Speech::synthesise(const Voice &voice, const QString &text, Done done)
{
    const QString target = clipPath(clipKey(voice.id, text));
    if (QFileInfo(target).size() > 0) {
        QTimer::singleShot(0, this, [done, target] { done(target); });
        return;
    }
    // The text goes through a file, never the command line, so nothing in it can
    // be read as an option.
    auto work = std::make_shared<QTemporaryDir>(QDir(m_directory).filePath(QStringLiteral("work-XXXXXX")));
    const QDir dir(work->path());
    QFile textFile(dir.filePath(QStringLiteral("text.txt")));
    if (!work->isValid() || !textFile.open(QIODevice::WriteOnly) || textFile.write(text.toUtf8()) < 0) {
        QTimer::singleShot(0, this, [done] { done(std::nullopt); });
        return;
    }
    textFile.close();
    const QString wav = dir.filePath(QStringLiteral("speech.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("speech.mp3"));
    runStep(this, QStringLiteral("espeak-ng"),
        {QStringLiteral("-v"), voice.synthesiserVoice(), QStringLiteral("-w"), wav, QStringLiteral("-f"),
            textFile.fileName()},
        [this, work, wav, mp3, target, done](bool spoken) {
            if (!spoken) {
                done(std::nullopt);
                return;
            }
            runStep(this, QStringLiteral("lame"),
                {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("64"), wav, mp3},
                [work, mp3, target, done](bool encoded) {
                    // Another request for the same clip may have finished first; its file is as good.
                    if (encoded && QFileInfo(mp3).size() > 0
                        && (QFile::rename(mp3, target) || QFileInfo(target).size() > 0))
                        done(target);
                    else
                        done(std::nullopt);
                });
        });
}

} // namespace standin
