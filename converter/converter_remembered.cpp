#include "converter_remembered.h"

#include "converter_settings.h"
#include "publish.h"
#include "system_names.h"
#include "user_settings.h"

#include <QLoggingCategory>
#include <QSettings>

Q_DECLARE_LOGGING_CATEGORY(lcConverter)

namespace velune {

ConverterWindow::Remembered LoadConverterChoices() {
    const auto settings = UserSettings(QStringLiteral("VeluneConverter"));
    const QSettings& store = *settings;
    ConverterWindow::Remembered state;
    if (store.status() != QSettings::NoError) {
        qCWarning(lcConverter) << "the remembered choices cannot be read:" << store.fileName();
        return state;
    }
    state.format = store.value(QStringLiteral("target/format"), state.format).toString();
    const QVariantMap qualities = store.value(QStringLiteral("target/qualities")).toMap();
    for (auto it = qualities.begin(); it != qualities.end(); ++it)
        state.qualities.insert(it.key(), it.value().toString());
    state.replayGain = store.value(QStringLiteral("target/replayGain"), false).toBool();
    // Paths are kept as the system's bytes: a folder's name need not be UTF-8.
    const auto path = [&](const char* key) {
        return PathFromSystem(store.value(QLatin1String(key)).toByteArray());
    };
    state.outputFolder = path("output/folder");
    state.pattern = store.value(QStringLiteral("output/pattern")).toString();
    state.skipExisting = store.value(QStringLiteral("output/skipExisting"), false).toBool();
    state.lastFolder = path("input/lastFolder");
    // The output's shape by its names; a name it does not know keeps the source's.
    OutputOptions& output = state.output;
    output.shape.rate =
        ChoiceNamed(kRateChoices, store.value(QStringLiteral("output/rate")).toString())
            .value_or(0);
    output.shape.channels =
        ChoiceNamed(kChannelChoices, store.value(QStringLiteral("output/channels")).toString())
            .value_or(0);
    output.shape.bits =
        ChoiceNamed(kBitChoices, store.value(QStringLiteral("output/bits")).toString()).value_or(0);
    output.copySame = store.value(QStringLiteral("output/copySame"), false).toBool();
    output.keepTimes = store.value(QStringLiteral("output/keepTimes"), false).toBool();
    output.acceptDamaged = store.value(QStringLiteral("output/acceptDamaged"), false).toBool();
    output.id3v23 = store.value(QStringLiteral("output/id3v23"), false).toBool();
    output.truePeak = store.value(QStringLiteral("target/truePeak"), false).toBool();
    output.preventClipping = store.value(QStringLiteral("target/preventClipping"), false).toBool();
    return state;
}

void SaveConverterChoices(const ConverterWindow::Remembered& state) {
    const auto settings = UserSettings(QStringLiteral("VeluneConverter"));
    QSettings& store = *settings;
    QVariantMap qualities;
    for (auto it = state.qualities.begin(); it != state.qualities.end(); ++it)
        qualities.insert(it.key(), it.value());
    store.setValue(QStringLiteral("target/format"), state.format);
    store.setValue(QStringLiteral("target/qualities"), qualities);
    store.setValue(QStringLiteral("target/replayGain"), state.replayGain);
    store.setValue(QStringLiteral("output/folder"), SystemName(state.outputFolder));
    store.setValue(QStringLiteral("output/pattern"), state.pattern);
    store.setValue(QStringLiteral("output/skipExisting"), state.skipExisting);
    store.setValue(QStringLiteral("input/lastFolder"), SystemName(state.lastFolder));
    store.setValue(QStringLiteral("output/rate"),
                   ChoiceName(kRateChoices, state.output.shape.rate));
    store.setValue(QStringLiteral("output/channels"),
                   ChoiceName(kChannelChoices, state.output.shape.channels));
    store.setValue(QStringLiteral("output/bits"), ChoiceName(kBitChoices, state.output.shape.bits));
    store.setValue(QStringLiteral("output/copySame"), state.output.copySame);
    store.setValue(QStringLiteral("output/keepTimes"), state.output.keepTimes);
    store.setValue(QStringLiteral("output/acceptDamaged"), state.output.acceptDamaged);
    store.setValue(QStringLiteral("output/id3v23"), state.output.id3v23);
    store.setValue(QStringLiteral("target/truePeak"), state.output.truePeak);
    store.setValue(QStringLiteral("target/preventClipping"), state.output.preventClipping);
    store.sync();
    // The settings' file is replaced whole; its folder must keep the new one.
    QString error;
    if (store.status() != QSettings::NoError || !SyncFolder(FolderOf(store.fileName()), error))
        qCWarning(lcConverter) << "the choices cannot be remembered in" << store.fileName();
}

} // namespace velune
