#include "Certificates.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <stdexcept>

namespace standin {
namespace {

void openssl(const QDir &dir, const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(dir.path());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        throw std::runtime_error("openssl " + arguments.join(u' ').toStdString()
            + " failed: " + process.readAll().toStdString() + process.errorString().toStdString());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool usable(const QString &path)
{
    const QSslCertificate certificate(readFile(path), QSsl::Pem);
    return !certificate.isNull() && certificate.expiryDate() > QDateTime::currentDateTimeUtc().addDays(7);
}

const QStringList ecKey {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

} // namespace

ServerIdentity ensureServerIdentity(const QString &directory)
{
    QDir dir(directory);
    if (!dir.mkpath(QStringLiteral(".")))
        throw std::runtime_error("cannot create " + directory.toStdString());
    QFile::setPermissions(directory, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    if (!usable(dir.filePath(QStringLiteral("ca.crt")))) {
        openssl(dir,
            QStringList {QStringLiteral("req"), QStringLiteral("-x509")} + ecKey
                + QStringList {QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                    QStringLiteral("ca.crt"), QStringLiteral("-days"), QStringLiteral("3650"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=Talvoro Local Development Authority"), QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:TRUE,pathlen:0"), QStringLiteral("-addext"),
                    QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
        QFile::remove(dir.filePath(QStringLiteral("server.crt"))); // signed by the old authority
    }
    if (!usable(dir.filePath(QStringLiteral("server.crt")))) {
        QFile extensions(dir.filePath(QStringLiteral("server.ext")));
        if (!extensions.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write server.ext");
        extensions.write("subjectAltName=IP:127.0.0.1,IP:::1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                         "keyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n");
        extensions.close();
        openssl(dir,
            QStringList {QStringLiteral("req")} + ecKey
                + QStringList {QStringLiteral("-keyout"), QStringLiteral("server.key"), QStringLiteral("-out"),
                    QStringLiteral("server.csr"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")});
        openssl(dir,
            {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
                QStringLiteral("-CA"), QStringLiteral("ca.crt"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                QStringLiteral("-set_serial"), QString::number(QDateTime::currentMSecsSinceEpoch()),
                QStringLiteral("-out"), QStringLiteral("server.crt"), QStringLiteral("-days"), QStringLiteral("397"),
                QStringLiteral("-extfile"), QStringLiteral("server.ext")});
    }

    ServerIdentity identity;
    identity.authorityPath = dir.filePath(QStringLiteral("ca.crt"));
    identity.certificate = QSslCertificate(readFile(dir.filePath(QStringLiteral("server.crt"))), QSsl::Pem);
    identity.key = QSslKey(readFile(dir.filePath(QStringLiteral("server.key"))), QSsl::Ec, QSsl::Pem);
    if (identity.certificate.isNull() || identity.key.isNull())
        throw std::runtime_error("the server certificate in " + directory.toStdString() + " cannot be loaded");
    return identity;
}

} // namespace standin
