#include "converter_remembered.h"

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
    store.sync();
    if (store.status() != QSettings::NoError)
        qCWarning(lcConverter) << "the choices cannot be remembered in" << store.fileName();
}

} // namespace velune
