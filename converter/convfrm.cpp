#include "convfrm.h"

#include "face.h"
#include "form.h"
#include "messages.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace velune {

namespace {
const QSize kWindowSize{338, 187};
// A converted file may be shorter or longer than its source by this much (ms).
constexpr qint64 kDurationSlack = 500;
constexpr int kDeleteAttempts = 3;

// The user may not change the file: no write permission for anybody, or none for us.
bool ReadOnly(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    std::error_code error;
    const auto permissions = std::filesystem::status(native.toStdString(), error).permissions();
    if (error)
        return true;
    using std::filesystem::perms;
    const perms write = perms::owner_write | perms::group_write | perms::others_write;
    return (permissions & write) == perms::none || ::access(native.constData(), W_OK) != 0;
}
} // namespace

QString TranscodeOption(const QString& codec, const QString& mux, const QString& output) {
    return QStringLiteral(":sout=#transcode{acodec=") + codec +
           QStringLiteral("}:standard{access=file,mux=") + mux + QStringLiteral(",dst='") +
           EscapeChainText(output) + QStringLiteral("'}");
}

bool ConvFrm::Form_Load() {
    const QString movie = p_.programFolder + QStringLiteral("/VeluneC1.qml");
    if (!p_.flash.LoadMovie(0, movie)) {
        p_.messages.Show(FaceLoadFailure(movie));
        p_.form.EndProgram();
        return false;
    }
    p_.form.SetGeometry(QPoint(0, 0), kWindowSize, kWindowSize);
    DeleteFlags.assign(p_.LstFiles.size(), false);
    p_.form.HookFlash();
    if (!Convert())
        CloseAction();
    mod_.ConversionWindowOpen = true;
    return true;
}

bool ConvFrm::EngineFailed() {
    p_.messages.Show(QStringLiteral("The conversion could not be started: ") + p_.VL.lastError());
    return false;
}

bool ConvFrm::Convert() {
    if (!p_.VL.playlistClear())
        return EngineFailed();
    QSet<QString> given;
    const qsizetype count = p_.LstFiles.size();
    for (qsizetype i = 0; i < count; ++i) {
        const QString& P = p_.LstFiles[i];
        if (!QFileInfo(P).isFile()) {
            p_.messages.Show(QStringLiteral("Input file dosen't exist"));
            continue;
        }
        const QString output = OutputPath(P, p_.TxtOut, mod_.TargetFormat, given);
        mod_.InitConvert();
        if (!p_.VL.addTarget(P.trimmed(), TranscodeOption(mod_.AudioCodec, mod_.MuxName, output), 1,
                             0))
            return EngineFailed();
        DeleteFlags[i] = mod_.DeleteSource;
        queued_.push_back({static_cast<int>(i), output});
    }
    if (!p_.VL.play() || !p_.VL.playlistNext())
        return EngineFailed();
    p_.Timer1.SetEnabled(true);
    // With nothing queued the run is over before it began.
    if (queued_.empty())
        Timer1_Timer();
    return true;
}

void ConvFrm::Flash_FSCommand(const QString& command, const QString&) {
    if (command == QLatin1String("IDC_FS_Drag"))
        return;
    CloseAction();
}

void ConvFrm::CloseAction() {
    (void)p_.VL.pause();
    (void)p_.VL.stop();
    // The engine forgets its items when cleared: keep what became of them for DELFILEs.
    RecordOutcomes();
    (void)p_.VL.playlistClear();
    // A hidden window has nothing left to follow.
    p_.Timer1.SetEnabled(false);
    p_.form.UnhookFlash();
    p_.form.Hide();
    closed_ = true;
}

void ConvFrm::RecordOutcomes() {
    for (std::size_t j = 0; j < queued_.size(); ++j)
        if (queued_[j].outcome == ConverterEngine::ItemState::Queued)
            queued_[j].outcome = p_.VL.State(static_cast<int>(j));
}

void ConvFrm::Timer1_Timer() {
    if (p_.VL.Finished()) {
        Complete();
        return;
    }
    const int k = p_.VL.PlaylistIndex();
    if (k < 0) {
        (void)p_.VL.playlistNext();
        return;
    }
    if (k >= static_cast<int>(queued_.size()))
        return;
    SetWithTrigger(p_.flash, QStringLiteral("_root.FileTxt"), p_.LstFiles[queued_[k].row],
                   QStringLiteral("_root.SetFileTxt"));
    if (const auto position = p_.VL.Position()) {
        const double q = std::floor(static_cast<double>(*position) * 100.0);
        if (q > -1)
            p_.flash.SetVariable(QStringLiteral("_root.ProgressValue"),
                                 QString::number(static_cast<int>(q)));
    }
    p_.flash.SetVariable(QStringLiteral("_root.SetProgress"), QStringLiteral("1"));
    p_.flash.SetVariable(QStringLiteral("_root.ArrowPlay"), QStringLiteral("1"));
}

void ConvFrm::Complete() {
    p_.Timer1.SetEnabled(false);
    SetWithTrigger(p_.flash, QStringLiteral("_root.FileTxt"), QStringLiteral("Conversion complete"),
                   QStringLiteral("_root.SetFileTxt"));
    SetWithTrigger(p_.flash, QStringLiteral("_root.ProgressValue"), QStringLiteral("100"),
                   QStringLiteral("_root.SetProgress"));
    p_.flash.SetVariable(QStringLiteral("_root.ShowOkbtn"), QStringLiteral("1"));
    p_.flash.SetVariable(QStringLiteral("_root.ArrowPlay"), QStringLiteral("0"));

    RecordOutcomes();
    QStringList failed;
    for (std::size_t j = 0; j < queued_.size(); ++j) {
        if (queued_[j].outcome != ConverterEngine::ItemState::Failed)
            continue;
        const QString reason = p_.VL.FailureReason(static_cast<int>(j));
        failed << p_.LstFiles[queued_[j].row] +
                      (reason.isEmpty() ? QString()
                                        : QStringLiteral(" (") + reason + QLatin1Char(')'));
    }
    if (!failed.isEmpty())
        p_.messages.Show(QStringLiteral("These files could not be converted:\n\n") +
                         failed.join(QLatin1Char('\n')));
}

void ConvFrm::Form_Unload() {
    DELFILEs();
    mod_.ConversionWindowOpen = false;
}

bool ConvFrm::SafeToDelete(const Queued& item) {
    if (item.outcome != ConverterEngine::ItemState::Converted || !QFileInfo(item.output).isFile())
        return false;
    const QString& source = p_.LstFiles[item.row];
    if (ReadOnly(source))
        return false;
    const auto sourceLength = p_.VL.Duration(source);
    const auto outputLength = p_.VL.Duration(item.output);
    return sourceLength && outputLength &&
           std::llabs(*sourceLength - *outputLength) <= kDurationSlack;
}

void ConvFrm::DELFILEs() {
    for (const Queued& item : queued_) {
        if (item.row >= static_cast<int>(DeleteFlags.size()) || !DeleteFlags[item.row] ||
            !SafeToDelete(item))
            continue;
        const QString& source = p_.LstFiles[item.row];
        for (int attempt = 0; attempt < kDeleteAttempts && QFileInfo::exists(source); ++attempt)
            QFile::remove(source);
    }
}

} // namespace velune
