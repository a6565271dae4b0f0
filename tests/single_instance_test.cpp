// The per-user single-instance lock across real processes.
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Probe {
public:
    explicit Probe(const QString& runtimeDir) {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(LOCK_PROBE), {QStringLiteral("VeluneConverter")});
    }
    QString Answer() {
        if (!process.waitForReadyRead(10000))
            return QStringLiteral("no answer");
        return QString::fromLatin1(process.readLine()).trimmed();
    }
    QProcess process;
};

TEST(SingleInstance, ASecondCopyIsRefusedAndACrashedHolderDoesNotBlock) {
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    Probe first(runtime.path());
    ASSERT_EQ(first.Answer(), QStringLiteral("locked"));

    Probe second(runtime.path());
    EXPECT_EQ(second.Answer(), QStringLiteral("busy"));
    EXPECT_TRUE(second.process.waitForFinished(10000));
    // The first copy was left alone and still holds the lock.
    EXPECT_EQ(first.process.state(), QProcess::Running);

    first.process.kill(); // dies without releasing the lock
    first.process.waitForFinished(10000);
    Probe third(runtime.path());
    EXPECT_EQ(third.Answer(), QStringLiteral("locked"));
    third.process.closeWriteChannel();
    EXPECT_TRUE(third.process.waitForFinished(10000));
}

} // namespace
