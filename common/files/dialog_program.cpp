#include "dialog_program.h"

#include "system_names.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QProcess>
#include <QWindow>
#include <csignal>
#include <memory>
#include <optional>
#include <sys/prctl.h>
#include <unistd.h>

namespace velune {

Q_LOGGING_CATEGORY(lcDialogs, "velune.dialogs", QtWarningMsg)

namespace {

bool IsUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::TouchBegin:
    case QEvent::DragEnter:
    case QEvent::Drop:
    case QEvent::ContextMenu:
    case QEvent::Close: // a window closed under a modal dialog would end its caller's wait
        return true;
    default:
        return false;
    }
}

QByteArray Joined(const QList<QByteArray>& fields) {
    QByteArray joined;
    for (const QByteArray& field : fields)
        joined += field + '\0';
    for (qsizetype i = fields.size(); i < 4; ++i)
        joined += '\0';
    return joined + QGuiApplication::desktopFileName().toUtf8() + '\0';
}

} // namespace

DialogProgram::DialogProgram(QString path, QWindow* owner)
    : path_(std::move(path)), owner_(owner) {}

DialogProgram::~DialogProgram() {
    for (QProcess* process : findChildren<QProcess*>()) {
        process->disconnect();
        process->kill();
        process->waitForFinished(1000);
    }
    if (modal_ > 0 && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

QProcess* DialogProgram::Start(const QString& kind, const QList<QByteArray>& fields, bool modal,
                               std::function<void(const Result&)> done) {
    auto* process = new QProcess(this);
    // A dialog whose program was killed goes with it.
    process->setChildProcessModifier([parent = ::getpid()] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
    });
    QStringList arguments{kind};
    // Kept above this program's window where the display server lets another program
    // name it (X11); elsewhere it opens as a window of its own.
    if (owner_ && QGuiApplication::platformName() == QLatin1String("xcb"))
        arguments << QString::number(owner_->winId());
    process->setProgram(path_);
    process->setArguments(arguments);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    if (modal)
        HoldInput(true);
    auto ended = std::make_shared<bool>(false);
    const auto end = [this, process, modal, ended, done = std::move(done)](const Result& result) {
        if (*ended)
            return;
        *ended = true;
        if (modal)
            HoldInput(false);
        if (!result.error.isEmpty())
            qCWarning(lcDialogs) << "dialog" << path_ << "failed:" << result.error;
        process->deleteLater();
        done(result);
    };
    connect(process, &QProcess::errorOccurred, this, [process, end](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            end({false, {}, process->errorString()});
    });
    connect(
        process, &QProcess::finished, this, [process, end](int code, QProcess::ExitStatus status) {
            Result result;
            if (status != QProcess::NormalExit || code > 1) {
                result.error = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
                if (result.error.isEmpty())
                    result.error = QStringLiteral("the dialog program ended unexpectedly");
            } else {
                result.accepted = code == 0;
                result.values = process->readAllStandardOutput().split('\0');
                result.values.removeLast(); // after the last NUL
            }
            end(result);
        });
    process->start();
    if (!*ended) {
        process->write(Joined(fields));
        process->closeWriteChannel();
    }
    return process;
}

DialogProgram::Result DialogProgram::Run(const QString& kind, const QList<QByteArray>& fields) {
    QEventLoop loop;
    auto outcome = std::make_shared<std::optional<Result>>();
    QPointer<QProcess> process = Start(
        kind, fields, true, [outcome, waiting = QPointer<QEventLoop>(&loop)](const Result& result) {
            *outcome = result;
            if (waiting)
                waiting->quit();
        });
    if (!outcome->has_value())
        loop.exec();
    if (!outcome->has_value() && process) {
        // The program is quitting: its loops end at once. The dialog goes, and what it
        // was asked for is taken as not shown.
        process->kill();
        process->waitForFinished(1000);
    }
    return outcome->value_or(Result{false, {}, QStringLiteral("the program is quitting")});
}

void DialogProgram::HoldInput(bool hold) {
    if (hold && modal_++ == 0)
        QCoreApplication::instance()->installEventFilter(this);
    else if (!hold && modal_ > 0 && --modal_ == 0)
        QCoreApplication::instance()->removeEventFilter(this);
}

bool DialogProgram::eventFilter(QObject* watched, QEvent* event) {
    if (watched->isWindowType() && IsUserInput(event->type())) {
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void ProgramMessageBoxes::Show(const QString& text) {
    if (!program_.Run(QStringLiteral("message"), Fields(text)).error.isEmpty())
        qCWarning(lcDialogs).noquote() << text;
}

void ProgramMessageBoxes::Inform(const QString& text) {
    program_.Start(QStringLiteral("message"), Fields(text), false, [text](const auto& result) {
        if (!result.error.isEmpty())
            qCWarning(lcDialogs).noquote() << text;
    });
}

bool ProgramMessageBoxes::AskYesNo(const QString& text) {
    const auto result = program_.Run(QStringLiteral("ask"), Fields(text));
    if (!result.error.isEmpty())
        qCWarning(lcDialogs).noquote() << "not asked, taken as No:" << text;
    return result.accepted;
}

void ProgramMessageBoxes::Ask(const QString& text, std::function<void(bool)> answer) {
    program_.Start(QStringLiteral("ask"), Fields(text), true,
                   [text, answer = std::move(answer)](const auto& result) {
                       if (!result.error.isEmpty())
                           qCWarning(lcDialogs).noquote() << "not asked, taken as No:" << text;
                       answer(result.accepted);
                   });
}

QStringList ProgramFileDialog::Choose(const QString& title, const QString& filter,
                                      const QString& startFolder, QString& error) {
    const auto result = program_.Run(
        QStringLiteral("open"), {title.toUtf8(), {}, filter.toUtf8(), SystemName(startFolder)});
    if (!result.error.isEmpty())
        error = QStringLiteral("The file dialog could not be shown: ") + result.error;
    QStringList paths;
    if (result.accepted)
        for (const QByteArray& path : result.values)
            paths << PathFromSystem(path);
    return paths;
}

QString ProgramFileDialog::ChooseSave(const QString& title, const QString& filter,
                                      const QString& suggested) {
    const auto result = program_.Run(QStringLiteral("save"),
                                     {title.toUtf8(), {}, filter.toUtf8(), SystemName(suggested)});
    saveType_ = result.accepted ? QString::fromUtf8(result.values.value(1)) : QString();
    return result.accepted ? PathFromSystem(result.values.value(0)) : QString();
}

QString ProgramFolderChooser::Choose(const QString& title, const QString& startPath) {
    const auto result =
        program_.Run(QStringLiteral("folder"), {title.toUtf8(), {}, {}, SystemName(startPath)});
    return result.accepted ? PathFromSystem(result.values.value(0)) : QString();
}

} // namespace velune
