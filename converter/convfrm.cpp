#include "convfrm.h"

#include "converter_protocol.h"

#include "face.h"
#include "form.h"
#include "messages.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <cmath>

Q_LOGGING_CATEGORY(lcConverter, "velune.converter", QtCriticalMsg)

namespace velune {

namespace {
const QSize kWindowSize{338, 187};
} // namespace

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
    const QString reason =
        mod_.Format ? p_.VL.lastError() : QStringLiteral("no target format was chosen");
    qCWarning(lcConverter) << "cannot start the conversion:" << reason;
    p_.messages.Show(QStringLiteral("The conversion could not be started: ") + reason);
    return false;
}

bool ConvFrm::Convert() {
    p_.VL.clear();
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
        const QString source = P.trimmed();
        if (!mod_.Format || !p_.VL.add({source, output, *mod_.Format}))
            return EngineFailed();
        DeleteFlags[i] = mod_.DeleteSource;
        queued_.push_back({static_cast<int>(i), source, output, IdentityOf(source)});
    }
    if (!p_.VL.start())
        return EngineFailed();
    p_.Timer1.SetEnabled(true);
    // With nothing queued the run is over before it began.
    if (queued_.empty())
        Timer1_Timer();
    return true;
}

void ConvFrm::Flash_FSCommand(const QString& command, const QString& args) {
    using namespace convfrm_face;
    using Handler = void (ConvFrm::*)();
    static const CommandTable<Handler, 5> kTable{{
        {QLatin1String(kDrag), nullptr}, // the window stays where it is
        {QLatin1String(kOK), &ConvFrm::CloseAction},
        {QLatin1String(kCancel), &ConvFrm::CloseAction},
        {QLatin1String(kClose), &ConvFrm::CloseAction},
        {QLatin1String(kMinimize), &ConvFrm::CloseAction},
    }};
    // Any other command closes the window too.
    const bool known = Dispatch(kTable, command, args, [&](Handler handler) {
        if (handler)
            (this->*handler)();
    });
    if (!known)
        CloseAction();
}

void ConvFrm::CloseAction() {
    p_.VL.cancel();
    // The engine forgets its items when cleared: keep what became of them for DELFILEs.
    RecordOutcomes();
    p_.VL.clear();
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
    if (k < 0 || k >= static_cast<int>(queued_.size()))
        return;
    SetWithTrigger(p_.flash, QLatin1String(convfrm_face::kFileTxt), p_.LstFiles[queued_[k].row],
                   QLatin1String(convfrm_face::kSetFileTxt));
    if (const auto position = p_.VL.Position()) {
        const double q = std::floor(static_cast<double>(*position) * 100.0);
        if (q > -1)
            p_.flash.SetVariable(QLatin1String(convfrm_face::kProgressValue),
                                 QString::number(static_cast<int>(q)));
    }
    p_.flash.SetVariable(QLatin1String(convfrm_face::kSetProgress), QStringLiteral("1"));
    p_.flash.SetVariable(QLatin1String(convfrm_face::kArrowPlay), QStringLiteral("1"));
}

void ConvFrm::Complete() {
    p_.Timer1.SetEnabled(false);
    SetWithTrigger(p_.flash, QLatin1String(convfrm_face::kFileTxt),
                   QStringLiteral("Conversion complete"), QLatin1String(convfrm_face::kSetFileTxt));
    SetWithTrigger(p_.flash, QLatin1String(convfrm_face::kProgressValue), QStringLiteral("100"),
                   QLatin1String(convfrm_face::kSetProgress));
    p_.flash.SetVariable(QLatin1String(convfrm_face::kShowOkbtn), QStringLiteral("1"));
    p_.flash.SetVariable(QLatin1String(convfrm_face::kArrowPlay), QStringLiteral("0"));

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

void ConvFrm::DELFILEs() {
    for (const QueuedSource& item : queued_)
        if (item.row < static_cast<int>(DeleteFlags.size()) && DeleteFlags[item.row])
            DeleteConvertedSource(p_.VL, item);
}

} // namespace velune
