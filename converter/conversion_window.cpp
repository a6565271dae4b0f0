#include "conversion_window.h"
#include "output_names.h"

#include "background.h"
#include "converter_protocol.h"

#include "face.h"
#include "form.h"
#include "messages.h"
#include "system_names.h"

#include <QLoggingCategory>
#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcConverter, "velune.converter", QtCriticalMsg)

namespace velune {

namespace {
const QSize kWindowSize{338, 187};
} // namespace

bool ConversionWindow::Start() {
    const QString face = p_.programFolder + QStringLiteral("/VeluneC1.qml");
    if (!p_.face.LoadFace(face)) {
        p_.messages.Show(FaceLoadFailure(face));
        p_.form.EndProgram();
        return false;
    }
    p_.form.SetGeometry(QPoint(0, 0), kWindowSize, kWindowSize);
    deleteFlags_.assign(p_.files.size(), false);
    p_.form.InstallFilter();
    settings_.conversionWindowOpen = true;
    Plan();
    return true;
}

bool ConversionWindow::EngineFailed() {
    const QString reason =
        settings_.format ? p_.engine.lastError() : QStringLiteral("no target format was chosen");
    qCWarning(lcConverter) << "cannot start the conversion:" << reason;
    p_.messages.Show(QStringLiteral("The conversion could not be started: ") + reason);
    return false;
}

void ConversionWindow::Plan() {
    p_.engine.clear();
    settings_.SetTarget();
    std::vector<PlannedSource> sources;
    for (qsizetype i = 0; i < p_.files.size(); ++i)
        sources.push_back(
            {p_.files[i], i < p_.subfolders.size() ? p_.subfolders[i] : QString(),
             static_cast<std::size_t>(i) < p_.tracks.size() ? p_.tracks[i] : std::nullopt});
    const OutputRules rules{p_.outputFolder, settings_.targetName, settings_.pattern,
                            settings_.skipExisting};
    // Names from tags and the lengths of earlier outputs take a while for a library:
    // they are read on a worker, and the window answers meanwhile.
    SetWithTrigger(p_.face, QLatin1String(conversion_face::kFileTxt),
                   QStringLiteral("Reading the files to convert…"),
                   QLatin1String(conversion_face::kSetFileTxt));
    p_.background.Run(
        [this, sources, rules, whole = EarlierOutputsOf(p_.engine)]() -> Background::Then {
            std::vector<PlannedOutput> plan = PlanOutputs(sources, rules, whole);
            return [this, plan = std::move(plan)] {
                if (!closed_ && !Queue(plan))
                    StopAndHide();
            };
        });
}

bool ConversionWindow::Queue(const std::vector<PlannedOutput>& plan) {
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const QString& path = p_.files[static_cast<qsizetype>(i)];
        switch (plan[i].kind) {
        case PlannedOutput::Kind::Missing:
            p_.messages.Show(QStringLiteral("Input file dosen't exist"));
            continue;
        case PlannedOutput::Kind::Skip:
            ++skipped_;
            continue;
        case PlannedOutput::Kind::Failed:
            notQueued_ << Readable(path) + QStringLiteral(" (") + plan[i].reason + QLatin1Char(')');
            continue;
        case PlannedOutput::Kind::Convert:
            break;
        }
        if (!plan[i].note.isEmpty())
            notes_ << plan[i].note;
        // Exactly the path listed: "a.flac " is not "a.flac".
        const QString& source = path;
        const QString& output = plan[i].output;
        if (!settings_.format)
            return EngineFailed();
        ConversionJob job{
            source,          output, *settings_.format, settings_.quality, settings_.replayGain,
            settings_.output};
        const SheetTrack* track = i < p_.tracks.size() && p_.tracks[i] ? &*p_.tracks[i] : nullptr;
        if (track) {
            job.startFrame = track->startFrame;
            job.endFrame = track->endFrame;
            job.tags = track->tags;
        }
        // A CD image holds every track of its sheet: it is not deleted for one.
        deleteFlags_[i] = settings_.deleteSources && !track;
        job.verify = deleteFlags_[i];
        if (!p_.engine.add(job))
            return EngineFailed();
        queued_.push_back({static_cast<int>(i), source, output, IdentityOf(source)});
    }
    if (!p_.engine.start())
        return EngineFailed();
    p_.ticker.SetEnabled(true);
    // With nothing queued the run is over before it began.
    if (queued_.empty())
        Tick();
    return true;
}

void ConversionWindow::OnFaceCommand(const QString& command, const QString& args) {
    using namespace conversion_face;
    using Handler = void (ConversionWindow::*)();
    static const CommandTable<Handler, 5> kTable{{
        {QLatin1String(kDrag), nullptr}, // the window stays where it is
        {QLatin1String(kOK), &ConversionWindow::StopAndHide},
        {QLatin1String(kCancel), &ConversionWindow::StopAndHide},
        {QLatin1String(kClose), &ConversionWindow::StopAndHide},
        {QLatin1String(kMinimize), &ConversionWindow::StopAndHide},
    }};
    // Any other command closes the window too.
    const bool known = Dispatch(kTable, command, args, [&](Handler handler) {
        if (handler)
            (this->*handler)();
    });
    if (!known)
        StopAndHide();
}

void ConversionWindow::StopAndHide() {
    p_.engine.cancel();
    // The engine forgets its items when cleared: keep what became of them for
    // DeleteConvertedSources.
    RecordOutcomes();
    p_.engine.clear();
    // A hidden window has nothing left to follow.
    p_.ticker.SetEnabled(false);
    p_.form.RemoveFilter();
    p_.form.Hide();
    closed_ = true;
}

void ConversionWindow::RecordOutcomes() {
    for (std::size_t j = 0; j < queued_.size(); ++j)
        if (queued_[j].outcome == ConverterEngine::ItemState::Queued) {
            queued_[j].outcome = p_.engine.State(static_cast<int>(j));
            queued_[j].verified = p_.engine.Verified(static_cast<int>(j));
        }
}

void ConversionWindow::Tick() {
    if (p_.engine.Finished()) {
        Complete();
        return;
    }
    const int k = p_.engine.LowestUnfinished();
    if (k < 0 || k >= static_cast<int>(queued_.size()))
        return;
    SetWithTrigger(p_.face, QLatin1String(conversion_face::kFileTxt),
                   Readable(p_.files[queued_[k].row]) +
                       (p_.engine.AwaitingAlbumGain(k)
                            ? QStringLiteral(" (waiting for the album's gain)")
                            : QString()),
                   QLatin1String(conversion_face::kSetFileTxt));
    // An item that has not started shows 0, not what the one before it reached.
    const auto position = p_.engine.Position();
    const double q = position ? std::floor(static_cast<double>(*position) * 100.0) : 0.0;
    SetWithTrigger(
        p_.face, QLatin1String(conversion_face::kProgressValue),
        QString::number(std::isfinite(q) ? static_cast<int>(std::clamp(q, 0.0, 100.0)) : 0),
        QLatin1String(conversion_face::kSetProgress));
    p_.face.SetVariable(QLatin1String(conversion_face::kArrowPlay), QStringLiteral("1"));
}

void ConversionWindow::Complete() {
    p_.ticker.SetEnabled(false);
    // A tick already on its way when the run ended finds it told.
    if (completed_)
        return;
    completed_ = true;
    SetWithTrigger(p_.face, QLatin1String(conversion_face::kFileTxt),
                   QStringLiteral("Conversion complete"),
                   QLatin1String(conversion_face::kSetFileTxt));
    SetWithTrigger(p_.face, QLatin1String(conversion_face::kProgressValue), QStringLiteral("100"),
                   QLatin1String(conversion_face::kSetProgress));
    p_.face.SetVariable(QLatin1String(conversion_face::kShowOkbtn), QStringLiteral("1"));
    p_.face.SetVariable(QLatin1String(conversion_face::kArrowPlay), QStringLiteral("0"));

    RecordOutcomes();
    QStringList failed = notQueued_;
    QStringList told = notes_;
    for (std::size_t j = 0; j < queued_.size(); ++j) {
        if (const QString lost = p_.engine.Losses(static_cast<int>(j)); !lost.isEmpty())
            told << Readable(p_.files[queued_[j].row]) +
                        QStringLiteral(": converted with losses (%1)").arg(lost);
        if (queued_[j].outcome != ConverterEngine::ItemState::Failed)
            continue;
        const QString reason = p_.engine.FailureReason(static_cast<int>(j));
        failed << Readable(p_.files[queued_[j].row]) +
                      (reason.isEmpty() ? QString()
                                        : QStringLiteral(" (") + reason + QLatin1Char(')'));
    }
    if (!failed.isEmpty())
        p_.messages.Show(QStringLiteral("These files could not be converted:\n\n") +
                         failed.join(QLatin1Char('\n')));
    if (!told.isEmpty())
        p_.messages.Show(told.join(QLatin1Char('\n')));
    if (skipped_ > 0)
        p_.messages.Show(QStringLiteral("%1 files were skipped: already converted.").arg(skipped_));
}

void ConversionWindow::Unload() {
    DeleteConvertedSources();
    settings_.conversionWindowOpen = false;
}

void ConversionWindow::DeleteConvertedSources() {
    std::vector<QueuedSource> going;
    for (const QueuedSource& item : queued_)
        if (item.row < static_cast<int>(deleteFlags_.size()) && deleteFlags_[item.row])
            going.push_back(item);
    // Each deletion syncs its folder: the disk's work is a worker's, and it outlives
    // this window, which is unloaded right after.
    if (!going.empty())
        p_.background.RunToEnd([going = std::move(going)] {
            for (const QueuedSource& item : going)
                DeleteConvertedSource(item);
        });
}

} // namespace velune
