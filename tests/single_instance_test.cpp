// The per-user single-instance lock across real processes.
#include "qt_print.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class Probe {
public:
    explicit Probe(const QString& runtimeDir) {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(u"XDG_RUNTIME_DIR"_s, runtimeDir);
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(LOCK_PROBE), {u"VeluneConverter"_s});
    }
    QString Answer() {
        if (!process.waitForReadyRead(10000))
            return u"no answer"_s;
        return QString::fromLatin1(process.readLine()).trimmed();
    }
    QProcess process;
};

TEST(SingleInstance, ASecondCopyIsRefusedAndACrashedHolderDoesNotBlock) {
    QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    Probe first(runtime.path());
    ASSERT_EQ(first.Answer(), u"locked"_s);

    Probe second(runtime.path());
    EXPECT_EQ(second.Answer(), u"busy"_s);
    EXPECT_TRUE(second.process.waitForFinished(10000));
    // The first copy was left alone and still holds the lock.
    EXPECT_EQ(first.process.state(), QProcess::Running);

    first.process.kill(); // dies without releasing the lock
    first.process.waitForFinished(10000);
    Probe third(runtime.path());
    EXPECT_EQ(third.Answer(), u"locked"_s);
    third.process.closeWriteChannel();
    EXPECT_TRUE(third.process.waitForFinished(10000));
}

} // namespace
