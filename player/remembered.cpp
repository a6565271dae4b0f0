#include "remembered.h"

#include "dropped.h"
#include "publish.h"
#include "system_names.h"
#include "user_settings.h"
#include <QLoggingCategory>

#include <QSet>
#include <QSettings>

Q_DECLARE_LOGGING_CATEGORY(lcPlayer)

namespace velune {

PlayerWindow::Remembered LoadRemembered() {
    const auto settings = UserSettings(QStringLiteral("VelunePlayer"));
    const QSettings& store = *settings;
    PlayerWindow::Remembered state;
    if (store.status() != QSettings::NoError) {
        qCWarning(lcPlayer) << "the remembered state cannot be read:" << store.fileName();
        return state;
    }
    // Rows as file: URIs keep every byte of their names; plain paths came before.
    if (store.contains(QStringLiteral("list/uris"))) {
        for (const QString& uri : store.value(QStringLiteral("list/uris")).toStringList())
            if (const QString path = IsStreamAddress(uri) ? uri : PathOfFileUri(uri.toLatin1());
                !path.isEmpty())
                state.rows << path;
    } else {
        state.rows = store.value(QStringLiteral("list/rows")).toStringList();
    }
    // Stations by address and name, as a playlist names them beside their addresses.
    const QStringList stations = store.value(QStringLiteral("list/stations")).toStringList();
    for (qsizetype i = 0; i + 1 < stations.size(); i += 2)
        if (IsStreamAddress(stations[i]))
            state.stations.insert(stations[i], stations[i + 1]);
    bool number = false;
    state.current = store.value(QStringLiteral("list/current"), -1).toInt(&number);
    if (!number || state.current < 0 || state.current >= state.rows.size())
        state.current = state.rows.isEmpty() ? -1 : 0;
    const double volume = store.value(QStringLiteral("sound/volume"), 5.0).toDouble(&number);
    state.volume = number && volume >= 0 && volume <= 10 ? volume : 5.0;
    state.muted = store.value(QStringLiteral("sound/muted"), false).toBool();
    state.repeat = store.value(QStringLiteral("list/repeat"), false).toBool();
    state.listShown = store.value(QStringLiteral("window/listShown"), false).toBool();
    state.replayGain = ModeNamed(store.value(QStringLiteral("sound/replayGain")).toString())
                           .value_or(ReplayGainMode::Off);
    state.shuffle = ShuffleNamed(store.value(QStringLiteral("list/shuffle")).toString())
                        .value_or(ShuffleMode::Off);
    return state;
}

void SaveRemembered(const PlayerWindow::Remembered& state) {
    const auto settings = UserSettings(QStringLiteral("VelunePlayer"));
    QSettings& store = *settings;
    store.clear();
    QStringList uris;
    for (const QString& row : state.rows)
        uris << (IsStreamAddress(row) ? row : FileUriOf(row));
    store.setValue(QStringLiteral("list/uris"), uris);
    QStringList stations; // address, name, address, name...
    QSet<QString> named;
    for (const QString& row : state.rows)
        if (state.stations.contains(row) && !named.contains(row)) {
            named.insert(row);
            stations << row << state.stations.value(row);
        }
    if (!stations.isEmpty())
        store.setValue(QStringLiteral("list/stations"), stations);
    store.setValue(QStringLiteral("list/current"), state.current);
    store.setValue(QStringLiteral("list/repeat"), state.repeat);
    store.setValue(QStringLiteral("list/shuffle"), ShuffleName(state.shuffle));
    store.setValue(QStringLiteral("sound/volume"), state.volume);
    store.setValue(QStringLiteral("sound/muted"), state.muted);
    store.setValue(QStringLiteral("window/listShown"), state.listShown);
    store.setValue(QStringLiteral("sound/replayGain"), ModeName(state.replayGain));
    store.sync();
    // The settings' file is replaced whole; its folder must keep the new one.
    QString error;
    if (store.status() != QSettings::NoError || !SyncFolder(FolderOf(store.fileName()), error))
        qCWarning(lcPlayer) << "the state cannot be remembered in" << store.fileName();
}

} // namespace velune
